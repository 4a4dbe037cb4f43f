#include "ConfigMerge.h"

#include "AddressBookFile.h"
#include "CfgStream.h"
#include "Config.h"
#include "ConfigFile.h"
#include "UsersFile.h"

#include "core/StrUtils.h"

#include <algorithm>
#include <map>
#include <unordered_set>

namespace tavro {

namespace {

// What to do with one record, from the three versions of it (null: not there).
enum class TTake { Mine, Theirs, Add, Drop };

TTake Decide(const std::string* mine, const std::string* base, const std::string* theirs) {
    if (mine && theirs) {
        // Theirs counts only where this copy left the record as it was.
        return base && *mine == *base && *theirs != *base ? TTake::Theirs : TTake::Mine;
    }
    if (theirs)
        // Added by them, or deleted here while they changed it: nothing of theirs is lost.
        return !base || *theirs != *base ? TTake::Add : TTake::Mine;
    // Deleted by them while this copy left it alone.
    return mine && base && *mine == *base ? TTake::Drop : TTake::Mine;
}

// --- main file ---

TEcho* FindArea(const TConfig& config, const std::string& tag) {
    for (const auto& echo : config.Echoes)
        if (EqualsNoCase(echo->Name, tag))
            return echo.get();
    return nullptr;
}

void AssignArea(TEcho& to, const TEcho& from) {
    // The open base may belong to another path or format now.
    to.CloseBase();
    to.Name = from.Name;
    to.Origin = from.Origin;
    to.EchoType = from.EchoType;
    to.BaseType = from.BaseType;
    to.DefAttr = from.DefAttr;
    to.Flags = from.Flags;
    to.Address = from.Address;
    to.Path = from.Path;
    to.DefCC = from.DefCC;
}

void PruneLeaves(std::vector<std::unique_ptr<TTreeInfo>>& nodes,
                 const std::unordered_set<const TEcho*>& gone) {
    std::erase_if(nodes, [&](const auto& node) { return node->Echo && gone.contains(node->Echo); });
    for (auto& node : nodes)
        PruneLeaves(node->Children, gone);
}

void MergeAreas(TConfig& config, const TConfig& base, const TConfig& theirs) {
    auto record = [](const TEcho* echo) { return echo ? AreaRecord(*echo) : std::string(); };
    std::unordered_set<const TEcho*> gone;
    for (const auto& mine : config.Echoes) {
        const TEcho* before = FindArea(base, mine->Name);
        const std::string m = record(mine.get()), b = record(before);
        if (!FindArea(theirs, mine->Name) && Decide(&m, before ? &b : nullptr, nullptr) == TTake::Drop)
            gone.insert(mine.get());
    }
    for (const auto& other : theirs.Echoes) {
        TEcho* mine = FindArea(config, other->Name);
        const TEcho* before = FindArea(base, other->Name);
        const std::string m = record(mine), b = record(before), t = record(other.get());
        switch (Decide(mine ? &m : nullptr, before ? &b : nullptr, &t)) {
        case TTake::Theirs:
            AssignArea(*mine, *other);
            break;
        case TTake::Add:
            AssignArea(config.AddEcho(), *other);
            break;
        default:
            break;
        }
    }
    if (gone.empty())
        return;
    for (auto& user : config.Users)
        PruneLeaves(user->AreaTree, gone);
    std::erase_if(config.Echoes, [&](const auto& echo) { return gone.contains(echo.get()); });
}

TTemplate* FindStoredTemplate(const TConfig& config, const std::string& name) {
    for (size_t i = size_t(std::max(config.BuiltInTemplateCount, 0)); i < config.Templates.size(); ++i)
        if (config.Templates[i]->Name == name)
            return config.Templates[i].get();
    return nullptr;
}

// Templates another copy deleted stay: users' slots may still name them.
void MergeTemplates(TConfig& config, const TConfig& base, const TConfig& theirs) {
    auto record = [](const TTemplate* t) { return t ? TemplateRecord(*t) : std::string(); };
    for (size_t i = size_t(std::max(theirs.BuiltInTemplateCount, 0)); i < theirs.Templates.size(); ++i) {
        const TTemplate& other = *theirs.Templates[i];
        TTemplate* mine = FindStoredTemplate(config, other.Name);
        const TTemplate* before = FindStoredTemplate(base, other.Name);
        const std::string m = record(mine), b = record(before), t = record(&other);
        switch (Decide(mine ? &m : nullptr, before ? &b : nullptr, &t)) {
        case TTake::Theirs:
            *mine = other;
            break;
        case TTake::Add:
            config.Templates.push_back(std::make_unique<TTemplate>(other));
            break;
        default:
            break;
        }
    }
}

void MergeSettings(TGlobalSettings& mine, const TGlobalSettings& base, const TGlobalSettings& theirs) {
    if (SettingsRecord(mine) != SettingsRecord(base) || SettingsRecord(theirs) == SettingsRecord(base))
        return;
    // What the file does not hold stays this copy's.
    TGlobalSettings merged = theirs;
    merged.LastTosserImport = mine.LastTosserImport;
    merged.VersionText = mine.VersionText;
    merged.TearlineText = mine.TearlineText;
    mine = merged;
}

// --- users file ---

// A stand-in with the same stored templates and area tags in the same places as `config`,
// so users read into it compare with this copy's record for record and map back by place.
std::unique_ptr<TConfig> Shadow(const TConfig& config) {
    auto shadow = std::make_unique<TConfig>();
    shadow->Templates.resize(size_t(std::max(shadow->BuiltInTemplateCount, 0)));
    for (size_t i = size_t(std::max(config.BuiltInTemplateCount, 0)); i < config.Templates.size(); ++i)
        shadow->Templates.push_back(std::make_unique<TTemplate>(*config.Templates[i]));
    for (const auto& echo : config.Echoes) {
        shadow->AddEcho().Name = echo->Name;
    }
    return shadow;
}

template <typename T> T* SamePlace(const TConfig& from, const TConfig& to, const T* item) {
    if (!item)
        return nullptr;
    const int index = from.IndexOf(item);
    if constexpr (std::is_same_v<T, TEcho>)
        return index >= 0 && size_t(index) < to.Echoes.size() ? to.Echoes[size_t(index)].get() : nullptr;
    else
        return index >= 0 && size_t(index) < to.Templates.size() ? to.Templates[size_t(index)].get()
                                                                 : nullptr;
}

void CopyTree(const TConfig& from, const TConfig& to, const std::vector<std::unique_ptr<TTreeInfo>>& source,
              std::vector<std::unique_ptr<TTreeInfo>>& target) {
    target.clear();
    for (const auto& node : source) {
        TEcho* echo = SamePlace(from, to, node->Echo);
        if (!node->IsFolder() && !echo)
            continue;
        auto copy = std::make_unique<TTreeInfo>(echo);
        copy->Name = node->Name;
        CopyTree(from, to, node->Children, copy->Children);
        target.push_back(std::move(copy));
    }
}

// `source` of the shadow `from` into `target` of `to`.
void AssignUser(const TConfig& from, const TConfig& to, const TUser& source, TUser& target) {
    target.Name = source.Name;
    target.RealName = source.RealName;
    target.UserId = source.UserId;
    for (size_t i = 0; i < target.Templates.size(); ++i)
        target.Templates[i] = SamePlace(from, to, source.Templates[i]);
    target.EditorOptions = source.EditorOptions;
    target.KeyMapping = source.KeyMapping;
    target.SpacesInTab = source.SpacesInTab;
    target.BlockIndent = source.BlockIndent;
    target.FormatToViewer = source.FormatToViewer;
    target.Colors = source.Colors;
    target.Styles = source.Styles;
    target.TreeFont = source.TreeFont;
    target.ListFont = source.ListFont;
    target.TextFont = source.TextFont;
    target.AutoSpellCheck = source.AutoSpellCheck;
    CopyTree(from, to, source.AreaTree, target.AreaTree);
    target.HotTexts = source.HotTexts;
    target.HighlightNames = source.HighlightNames;
}

TUser* FindUser(const TConfig& config, int32_t id) {
    for (const auto& user : config.Users)
        if (user->UserId == id)
            return user.get();
    return nullptr;
}

// --- address book ---

// A contact's identity: its address and names, numbered among equals so that two contacts
// of the same name and address stay two.
std::vector<std::string> ContactKeys(const TConfig& config) {
    std::map<std::string, int> seen;
    std::vector<std::string> keys;
    for (const auto& u : config.ABUsers) {
        std::string key = u->Address.ToStr5D() + '\n' + u->FirstName + '\n' + u->LastName;
        key += '\n' + std::to_string(seen[key]++);
        keys.push_back(std::move(key));
    }
    return keys;
}

template <typename T>
T* ByKey(const std::vector<std::unique_ptr<T>>& list, const std::vector<std::string>& keys,
         const std::string& key) {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key)
            return list[i].get();
    return nullptr;
}

std::string GroupRecord(const TConfig& config, const TABGroup& group) {
    const std::vector<std::string> keys = ContactKeys(config);
    std::string record = group.Name;
    for (const TABUser* member : group.Members)
        if (const int index = config.IndexOf(member); index >= 0)
            record += '\t' + keys[size_t(index)];
    return record;
}

TABGroup* FindGroup(const TConfig& config, const std::string& name) {
    for (const auto& g : config.ABGroups)
        if (g->Name == name)
            return g.get();
    return nullptr;
}

void AssignGroup(const TConfig& from, TConfig& to, const TABGroup& source, TABGroup& target) {
    const std::vector<std::string> fromKeys = ContactKeys(from), toKeys = ContactKeys(to);
    target.Name = source.Name;
    target.Members.clear();
    for (const TABUser* member : source.Members)
        if (const int index = from.IndexOf(member); index >= 0)
            if (TABUser* contact = ByKey(to.ABUsers, toKeys, fromKeys[size_t(index)]))
                target.Members.push_back(contact);
}

} // namespace

void MergeMainFile(TConfig& config, const std::string& base, bool baseExisted, const std::string& theirs) {
    TConfig before, other;
    if (baseExisted)
        ParseConfig(before, base);
    ParseConfig(other, theirs);
    MergeAreas(config, before, other);
    MergeTemplates(config, before, other);
    MergeSettings(config.Settings, before.Settings, other.Settings);
}

void MergeUsersFile(TConfig& config, const std::string& base, bool baseExisted, const std::string& theirs) {
    std::unique_ptr<TConfig> before = Shadow(config), other = Shadow(config);
    if (baseExisted)
        ParseUsers(*before, base);
    ParseUsers(*other, theirs);
    for (const auto& user : other->Users) {
        TUser* mine = FindUser(config, user->UserId);
        const TUser* was = FindUser(*before, user->UserId);
        const std::string m = mine ? UserRecord(config, *mine) : std::string();
        const std::string b = was ? UserRecord(*before, *was) : std::string();
        const std::string t = UserRecord(*other, *user);
        switch (Decide(mine ? &m : nullptr, was ? &b : nullptr, &t)) {
        case TTake::Theirs:
            AssignUser(*other, config, *user, *mine);
            break;
        case TTake::Add:
            config.Users.push_back(config.NewUser());
            AssignUser(*other, config, *user, *config.Users.back());
            break;
        default:
            break;
        }
    }
}

void MergeAddressBook(TConfig& config, const std::string& base, bool baseExisted, const std::string& theirs) {
    TConfig before, other;
    if (baseExisted && !ParseAddressBook(before, base))
        before.ABUsers.clear();
    if (!ParseAddressBook(other, theirs))
        throw EConfigError("the address book on disk is not one");
    const std::vector<std::string> mineKeys = ContactKeys(config), beforeKeys = ContactKeys(before),
                                   otherKeys = ContactKeys(other);
    for (size_t i = 0; i < other.ABUsers.size(); ++i) {
        TABUser* mine = ByKey(config.ABUsers, mineKeys, otherKeys[i]);
        const TABUser* was = ByKey(before.ABUsers, beforeKeys, otherKeys[i]);
        const std::string m = mine ? ContactRecord(*mine) : std::string();
        const std::string b = was ? ContactRecord(*was) : std::string();
        const std::string t = ContactRecord(*other.ABUsers[i]);
        switch (Decide(mine ? &m : nullptr, was ? &b : nullptr, &t)) {
        case TTake::Theirs:
            *mine = *other.ABUsers[i];
            break;
        case TTake::Add:
            config.ABUsers.push_back(std::make_unique<TABUser>(*other.ABUsers[i]));
            break;
        default:
            break;
        }
    }
    for (const auto& group : other.ABGroups) {
        TABGroup* mine = FindGroup(config, group->Name);
        const TABGroup* was = FindGroup(before, group->Name);
        const std::string m = mine ? GroupRecord(config, *mine) : std::string();
        const std::string b = was ? GroupRecord(before, *was) : std::string();
        const std::string t = GroupRecord(other, *group);
        switch (Decide(mine ? &m : nullptr, was ? &b : nullptr, &t)) {
        case TTake::Theirs:
            AssignGroup(other, config, *group, *mine);
            break;
        case TTake::Add:
            config.ABGroups.push_back(std::make_unique<TABGroup>());
            AssignGroup(other, config, *group, *config.ABGroups.back());
            break;
        default:
            break;
        }
    }
}

} // namespace tavro
