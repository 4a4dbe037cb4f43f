#pragma once

#include "config/Echo.h"
#include "core/Address.h"
#include "core/Msg.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// The name of the area a reply goes to: the answered message's "AREA:" kludge, else an
// "AREA:" line (case ignored, value trimmed) among the body lines before the first blank
// one. Such a body line, and a blank line directly after it, are removed from `answered`
// so that they are neither shown again nor quoted. Empty when there is none.
std::string TakeReplyAreaName(TCustomMsg& answered);

// The first area whose trimmed Name equals the trimmed `name`, case ignored; null when
// there is none or the name is empty.
TEcho* FindAreaByName(const std::vector<std::unique_ptr<TEcho>>& echoes, std::string_view name);

// The REPLY value of a reply: the answered message's MSGID value verbatim; "" when none.
std::string ReplyValueOf(const TCustomMsg& answered);
// The REPLY value an edited message keeps: its own REPLY value verbatim.
std::string EditedReplyValueOf(const TCustomMsg& edited);

// Where a netmail reply to mail that came through an FTN-to-Internet gateway goes.
struct TGatewayReply {
    std::string ToName;
    TAddress ToAddr;
    std::string InternetAddress; // goes to the top of the body, see GatewayBodyLines
};

// The gateway and the Internet address to answer: a ^AREPLYADDR kludge gives the address
// and a ^AREPLYTO: kludge the gateway (address and name, each falling back to gateAddr and
// gateName); without REPLYADDR, the RFC-style header at the top of the body gives the
// address and the reply goes to gateName at gateAddr. Nullopt when no address is found.
// The caller applies it only when the target area is a netmail area.
std::optional<TGatewayReply> GatewayReply(const TCustomMsg& answered, const std::string& gateName,
                                          const TAddress& gateAddr);

// "To: " + the address, then an empty line: the gateway reads the recipient from there.
TBodyLines GatewayBodyLines(const std::string& internetAddress);

} // namespace tavro
