#include "SenderContact.h"

#include "core/BufStream.h"
#include "core/StrUtils.h"
#include "nodelist/Nodelist.h"

#include <algorithm>
#include <vector>

namespace tavro {

namespace {

// The header ends at the first line whose first blank is not the end of a "Key:".
std::string_view HeaderKey(std::string_view line) {
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos || blank == 0 || line[blank - 1] != ':')
        return {};
    return line.substr(0, blank);
}

std::string MailAddressOf(const std::string& value) {
    const size_t open = value.find('<');
    const size_t close = open == std::string::npos ? std::string::npos : value.find('>', open);
    return close == std::string::npos ? value : value.substr(open + 1, close - open - 1);
}

std::string FieldOf(const TNodelistIndex& nodelist, const TNodeEntry& entry, int field) {
    try {
        return nodelist.GetNodeField(entry, field);
    } catch (const EFileError&) {
        return {}; // a nodelist that cannot be read adds nothing
    }
}

// The nodelist's system name of the sender's net host (the last host entry in index order
// up to the sender's own entry) and the sender's own system, place and phone.
void AddNodelistFields(TABUser& contact, const TNodelistIndex& nodelist) {
    const TAddress& a = contact.Address;
    const TNodeEntry* own = nodelist.FindNodeByAddress(a.Zone, a.Net, a.Node, a.Point);
    const TNodeEntry* host = nullptr;
    for (const TNodeEntry* entry : nodelist.FindNodesByAddress(a.Zone, a.Net, 0, 0))
        if (!own || entry <= own)
            host = entry;
    if (host)
        contact.Country = FieldOf(nodelist, *host, 2);
    if (own) {
        contact.City = FieldOf(nodelist, *own, 3);
        contact.DataPhone = FieldOf(nodelist, *own, 5);
        contact.BBSName = FieldOf(nodelist, *own, 2);
    }
}

} // namespace

std::string FindInternetSender(const TBodyLines& body) {
    std::string sender;
    for (const TBodyLine& line : body) {
        const std::string_view key = HeaderKey(line.Text);
        if (key.empty())
            break;
        if (EqualsNoCase(key, "From:")) {
            sender = Trim(std::string_view(line.Text).substr(key.size() + 1));
        } else if (EqualsNoCase(key, "Reply-To:")) {
            sender = Trim(std::string_view(line.Text).substr(key.size() + 1));
            break;
        }
    }
    return sender;
}

TABUser SenderContact(TCustomMsg& msg, const TNodelistIndex* nodelist) {
    TABUser contact;
    const std::string sender = FindInternetSender(msg.GetBody());
    if (!sender.empty()) {
        contact.EMails.push_back(MailAddressOf(sender));
    } else {
        contact.Address = msg.FromAddr;
        if (nodelist && !nodelist->Entries().empty())
            AddNodelistFields(contact, *nodelist);
    }
    const std::vector<std::string_view> words = BlankWords(msg.FromName);
    if (!words.empty())
        contact.FirstName = words.front();
    if (words.size() >= 2)
        contact.LastName = words.back();
    if (words.size() >= 3)
        contact.MiddleName = words[1];
    return contact;
}

} // namespace tavro
