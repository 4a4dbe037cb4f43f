#pragma once

#include "core/Address.h"
#include "core/DateTime.h"
#include "core/Msg.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tavro {

// What the kludge lines of a message being sent are made from.
struct TKludgeFields {
    bool Echomail = false; // the composer's area is an echomail area: no FMPT, TOPT, INTL
    TAddress From, To;
    uint32_t Serial = 0;      // the MSGID serial
    std::string Reply;        // the answered message's MSGID value; empty: no REPLY line
    uint32_t Attr = 0;        // only the FLAGS bits count
    std::string RealName;     // trimmed here; empty: no RealName line
    int OemCodePage = 0;      // the CHRS number; 0: no CHRS line
    std::string Chrs;         // the CHRS text of another set ("UTF-8 4"); wins over the number
    std::string Pid;          // empty: no PID line
    int UtcOffsetMinutes = 0; // for the TZUTC line
};

// The kludge lines, each beginning with ^A, in the fixed order FMPT, TOPT, INTL (outside
// echomail; FMPT and TOPT only for a point), MSGID, REPLY, FLAGS (when a FLAGS bit is
// set), RealName, CHRS, PID, TZUTC. REPLY carries the answered MSGID verbatim, since
// tossers and readers link a reply by comparing the two texts.
TStringList BuildKludges(const TKludgeFields& fields);

// The TZUTC value: hours and minutes, a minus sign only west of UTC ("0300", "-0500").
std::string TzUtcText(int offsetMinutes);

// The local time zone's offset from UTC at a local date-time, daylight saving included.
int LocalUtcOffsetMinutes(TDateTime local);

// " * Origin: " + trimmed text + " (" + address + ")", the address being the area's when
// valid, else the sender's. An over-long line is cut in the text to exactly 78 characters,
// so the address in brackets stays whole.
std::string OriginLine(std::string_view text, const TAddress& areaAddress, const TAddress& from);

} // namespace tavro
