#include "FanOut.h"

#include "config/AddressBook.h"
#include "config/Echo.h"
#include "core/BufStream.h"
#include "core/StrUtils.h"
#include "core/UserInterface.h"

#include <algorithm>

namespace tavro {

namespace {

// Holds back the errors a base shows while it is opened and made, so that a failure is told
// once, with the area's name.
class TErrorsHeldBack final : public TUserInterface {
public:
    TErrorsHeldBack() : Outer(UserInterface()) { SetUserInterface(this); }
    ~TErrorsHeldBack() override { SetUserInterface(&Outer); }
    TErrorsHeldBack(const TErrorsHeldBack&) = delete;
    TErrorsHeldBack& operator=(const TErrorsHeldBack&) = delete;

    void ShowError(const std::string& text) override { Errors.push_back(text); }
    TMsgDlgButton Ask(const std::string& text, TMsgDlgType type,
                      const std::vector<TMsgDlgButton>& buttons) override {
        return Outer.Ask(text, type, buttons);
    }
    // Shows what was held back after all: the base could be made.
    void Release() {
        SetUserInterface(&Outer);
        for (const std::string& error : Errors)
            Outer.ShowError(error);
    }

    TUserInterface& Outer;
    std::vector<std::string> Errors;
};

bool IsBlank(const TBodyLine& line) {
    return Trim(line.Text).empty();
}

bool StartsWithToLine(const TBodyLines& body) {
    return !body.empty() && StartsWithNoCase(body.front().Text, "To:");
}

void AddContact(std::vector<TABUser*>& contacts, TABUser* contact) {
    if (contact && std::find(contacts.begin(), contacts.end(), contact) == contacts.end())
        contacts.push_back(contact);
}

// A "To:" line and the blank lines after it: the gateway block of another recipient.
void RemoveGatewayBlock(TBodyLines& body) {
    if (!StartsWithToLine(body))
        return;
    auto text =
        std::find_if(body.begin() + 1, body.end(), [](const TBodyLine& line) { return !IsBlank(line); });
    body.erase(body.begin(), text);
}

// A new FTN destination: no "To:" line, and at most one blank line off the top.
void SetDestination(TRecipientText& text, std::string addr) {
    if (StartsWithToLine(text.Body))
        text.Body.erase(text.Body.begin());
    if (!text.Body.empty() && IsBlank(text.Body.front()))
        text.Body.erase(text.Body.begin());
    text.ToAddr = std::move(addr);
}

} // namespace

TBaseRef WritableBase(TEcho& area) {
    TErrorsHeldBack held;
    TBaseRef base = area.GetBase();
    if (base && base->CreateIfMissing()) {
        held.Release();
        return base;
    }
    std::string text = "cannot open the message base of \"" + area.Name + "\"";
    for (const std::string& error : held.Errors)
        text += "\r" + error;
    throw EFileError(text, 0);
}

std::vector<TABUser*> CarbonCopyContacts(const std::vector<TCarbonCopyEntry>& entries) {
    std::vector<TABUser*> contacts;
    for (const TCarbonCopyEntry& entry : entries) {
        if (TABUser* const* contact = std::get_if<TABUser*>(&entry))
            AddContact(contacts, *contact);
        else if (TABGroup* group = std::get<TABGroup*>(entry))
            for (TABUser* member : group->Members)
                AddContact(contacts, member);
    }
    return contacts;
}

std::vector<TEcho*> CrossPostTargets(const std::vector<TEcho*>& chosen, TEcho* own) {
    std::vector<TEcho*> areas;
    for (TEcho* area : chosen)
        if (area && area != own && std::find(areas.begin(), areas.end(), area) == areas.end())
            areas.push_back(area);
    areas.push_back(own);
    return areas;
}

TBodyLines CrossPostNotes(const std::vector<TEcho*>& areas, const TEcho* target) {
    TBodyLines notes;
    for (const TEcho* area : areas)
        if (area != target)
            notes.emplace_back("* Crossposted in " + area->Name);
    return notes;
}

void GatewayFill(TRecipientText& text, const std::string& email, const TGateway& gateway) {
    TBodyLines& body = text.Body;
    if (!StartsWithToLine(body))
        body.insert(body.begin(), TBodyLine());
    text.ToName = gateway.Name;
    text.ToAddr = gateway.Addr.ToStr5D();
    body.front() = TBodyLine("To: " + Trim(email));
    if (body.size() < 2 || !IsBlank(body[1]))
        body.insert(body.begin() + 1, TBodyLine());
}

void AddressToContact(TRecipientText& text, const TABUser& contact, const TGateway& gateway) {
    if (!contact.Address.IsValid() && !contact.EMails.empty()) {
        GatewayFill(text, contact.EMails.front(), gateway);
        return;
    }
    RemoveGatewayBlock(text.Body);
    text.ToName = Trim(contact.FirstName + " " + contact.LastName);
    SetDestination(text, contact.Address.IsValid() ? contact.Address.ToStr5D() : std::string());
}

} // namespace tavro
