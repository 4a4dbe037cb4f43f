#pragma once

#include "MessageSender.h"

#include "core/Address.h"
#include "core/Base.h"
#include "core/Msg.h"

#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace tavro {

class TABGroup;
class TABUser;
class TEcho;

// A carbon-copy recipient of a netmail message: an address-book contact or a group.
using TCarbonCopyEntry = std::variant<TABUser*, TABGroup*>;

// The base of an area that copies are written into, made when it does not exist yet. Throws
// EFileError naming the area, with what the base reported, when it cannot be had.
TBaseRef WritableBase(TEcho& area);

// The contacts the entries reach, groups opened into their members, in order. A contact
// reached twice gets one copy only.
std::vector<TABUser*> CarbonCopyContacts(const std::vector<TCarbonCopyEntry>& entries);

// The areas a cross-post is written to: the chosen ones in order, then the composer's own;
// each once.
std::vector<TEcho*> CrossPostTargets(const std::vector<TEcho*>& chosen, TEcho* own);

// The "* Crossposted in " lines heading the copy for `target`: every other area, in order.
TBodyLines CrossPostNotes(const std::vector<TEcho*>& areas, const TEcho* target);

// The FTN-to-Internet gateway of the settings.
struct TGateway {
    std::string Name;
    TAddress Addr;
};

// The recipient fields and the text of one message as typed.
struct TRecipientText {
    std::string ToName, ToAddr;
    TBodyLines Body;
};

// Addresses the message to the gateway, which reads the Internet address from a "To:" line
// on top of the text (one already there is replaced) followed by an empty line.
void GatewayFill(TRecipientText& text, const std::string& email, const TGateway& gateway);

// Addresses a contact's carbon copy: to its name and address, with a gateway "To:" block
// taken off the text; through the gateway when the contact has e-mail addresses only.
void AddressToContact(TRecipientText& text, const TABUser& contact, const TGateway& gateway);

// One copy of a fan-out, kept across sends so that a send after a failure writes only
// what is missing: the copies not written yet, and the parts a copy has not written yet.
struct TFanOutCopy {
    TBaseRef Base; // keeps the target's base while the copy waits
    std::unique_ptr<TCustomMsg> Msg;
    std::unique_ptr<TSplitWrite> Write;

    bool Started() const { return Write && !Write->WrittenIds().empty(); }
};

} // namespace tavro
