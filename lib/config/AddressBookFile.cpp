#include "AddressBookFile.h"

#include "CfgStream.h"
#include "Config.h"
#include "ConfigSave.h"
#include "Jpeg.h"

#include <climits>
#include <cstdint>
#include <unordered_map>

namespace tavro {

namespace {

constexpr std::string_view Header = "Tavro Address Book v1.0";

// The smallest contact: an address with an empty domain (12 bytes), 23 empty strings, 4 empty
// lists and an empty photo (4 bytes each), the boolean and the birthday.
constexpr size_t MinContactSize = 12 + 23 * 4 + 4 * 4 + 4 + 1 + 8;
// A group: its name and member count.
constexpr size_t MinGroupSize = 8;

std::unique_ptr<TABUser> ReadContact(TCfgReader& r) {
    auto u = std::make_unique<TABUser>();
    u->Address = r.Address();
    u->FirstName = r.String();
    u->MiddleName = r.String();
    u->LastName = r.String();
    u->NickName = r.String();
    u->EMails = r.StringList();
    u->Favourite = r.Bool();
    const int32_t photoSize = r.Int32();
    if (photoSize < 0)
        throw EConfigError("a photo of the address book has a negative size");
    const std::string_view photo = r.Take(size_t(photoSize));
    if (IsJpegData(photo))
        u->Photo = photo;
    u->Birthday = r.Double();
    for (std::string* s : {&u->VoicePhone, &u->FaxPhone, &u->DataPhone, &u->BBSName, &u->WebPage})
        *s = r.String();
    u->StreetAddr = r.StringList();
    for (std::string* s : {&u->City, &u->State, &u->ZIP, &u->Country, &u->CompName, &u->JobTitle,
                           &u->Department, &u->CompVoice, &u->CompFax})
        *s = r.String();
    u->CompStreetAddr = r.StringList();
    for (std::string* s : {&u->CompCity, &u->CompState, &u->CompZIP, &u->CompCountry, &u->CompWeb})
        *s = r.String();
    u->Remarks = r.StringList();
    return u;
}

// Members are indexes among the contacts of this file, which start at `first` in ABUsers.
std::unique_ptr<TABGroup> ReadGroup(TCfgReader& r, const TConfig& config, size_t first) {
    auto g = std::make_unique<TABGroup>();
    g->Name = r.String();
    const size_t count = r.Count(4);
    for (size_t i = 0; i < count; ++i) {
        const int32_t index = r.Int32();
        if (index >= 0 && first + size_t(index) < config.ABUsers.size())
            g->Members.push_back(config.ABUsers[first + size_t(index)].get());
    }
    return g;
}

void WriteContact(TCfgWriter& w, const TABUser& u) {
    w.Address(u.Address);
    for (const std::string* s : {&u.FirstName, &u.MiddleName, &u.LastName, &u.NickName})
        w.String(*s);
    w.StringList(u.EMails);
    w.Bool(u.Favourite);
    // Written back as it came: what the reader keeps, the writer keeps.
    if (u.Photo.size() <= size_t(INT32_MAX) && IsJpegData(u.Photo))
        w.String(u.Photo);
    else
        w.Int32(0);
    w.Double(u.Birthday);
    for (const std::string* s : {&u.VoicePhone, &u.FaxPhone, &u.DataPhone, &u.BBSName, &u.WebPage})
        w.String(*s);
    w.StringList(u.StreetAddr);
    for (const std::string* s : {&u.City, &u.State, &u.ZIP, &u.Country, &u.CompName, &u.JobTitle,
                                 &u.Department, &u.CompVoice, &u.CompFax})
        w.String(*s);
    w.StringList(u.CompStreetAddr);
    for (const std::string* s : {&u.CompCity, &u.CompState, &u.CompZIP, &u.CompCountry, &u.CompWeb})
        w.String(*s);
    w.StringList(u.Remarks);
}

using TContactIndex = std::unordered_map<const TABUser*, int32_t>;

// Only members that are contacts of the book: an index that resolves to nothing is never
// written.
void WriteGroup(TCfgWriter& w, const TContactIndex& contacts, const TABGroup& g) {
    w.String(g.Name);
    std::vector<int32_t> indexes;
    for (const TABUser* member : g.Members)
        if (auto it = contacts.find(member); it != contacts.end())
            indexes.push_back(it->second);
    w.Int32(static_cast<int32_t>(indexes.size()));
    for (int32_t index : indexes)
        w.Int32(index);
}

} // namespace

std::string AddressBookFileName(const std::string& dir) {
    return dir + "/TavroAdr.cfg";
}

void LoadAddressBook(TConfig& config, const std::string& fileName) {
    // Photos make the book as large as the user's collection: no cap below the file's size.
    std::string data = ReadOrigin(config.BookOrigin, fileName, SIZE_MAX);
    if (config.BookOrigin.Existed() && !ParseAddressBook(config, std::move(data)))
        config.BookOrigin.Foreign = true;
}

void SaveAddressBook(TConfig& config, const std::string& fileName) {
    SaveConfigFiles(config, {{TConfigFile::Book, fileName}});
}

std::string ContactRecord(const TABUser& contact) {
    TCfgWriter w;
    WriteContact(w, contact);
    return std::move(w.Data);
}

bool ParseAddressBook(TConfig& config, std::string data) {
    TCfgReader r(std::move(data));
    if (r.Line() != Header)
        return false;
    const size_t first = config.ABUsers.size();
    const size_t contacts = r.Count(MinContactSize);
    for (size_t i = 0; i < contacts; ++i)
        config.ABUsers.push_back(ReadContact(r));
    if (r.AtEnd())
        return true;
    const size_t groups = r.Count(MinGroupSize);
    for (size_t i = 0; i < groups; ++i)
        config.ABGroups.push_back(ReadGroup(r, config, first));
    return true;
}

std::string FormatAddressBook(const TConfig& config) {
    TCfgWriter w;
    w.Bytes(Header);
    w.Bytes("\r\n");
    TContactIndex contacts;
    w.Int32(static_cast<int32_t>(config.ABUsers.size()));
    for (size_t i = 0; i < config.ABUsers.size(); ++i) {
        contacts.emplace(config.ABUsers[i].get(), static_cast<int32_t>(i));
        WriteContact(w, *config.ABUsers[i]);
    }
    w.Int32(static_cast<int32_t>(config.ABGroups.size()));
    for (const auto& g : config.ABGroups)
        WriteGroup(w, contacts, *g);
    return std::move(w.Data);
}

} // namespace tavro
