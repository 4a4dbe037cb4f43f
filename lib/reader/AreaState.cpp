#include "AreaState.h"

#include "bases/BaseFactory.h"
#include "config/Echo.h"
#include "config/User.h"
#include "core/FileUtils.h"

#include <sys/stat.h>

#include <algorithm>

namespace tavro {

namespace {

// Opens the area's base for the user and rescans it when it changed on disk; throws when
// it cannot be opened or read.
TBaseRef BoundBase(TEcho& echo, int userId, const std::string& userName) {
    TBaseRef base = echo.GetBase();
    if (!base)
        throw EFileError("no storage class for base type " + std::to_string(echo.BaseType), 0);
    base->SetUser(userId, userName);
    if (base->IsChanged())
        base->Rescan();
    return base;
}

template <typename Visit>
void ForEachArea(std::vector<std::unique_ptr<TTreeInfo>>& list, const Visit& visit) {
    for (const auto& node : list) {
        if (node->IsFolder())
            ForEachArea(node->Children, visit);
        else
            visit(*node);
    }
}

TTreeInfo* FindArea(std::vector<std::unique_ptr<TTreeInfo>>& list, const TEcho* echo) {
    for (const auto& node : list) {
        if (!node->IsFolder()) {
            if (node->Echo == echo)
                return node.get();
        } else if (TTreeInfo* found = FindArea(node->Children, echo)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

// Looked at before the base is made: a *.MSG base made on a missing directory says so in a
// box, and a file format takes anything but its header file for a missing base.
TAreaStorage AreaStorage(const TEcho& echo) {
    if (!HasStorageClass(echo.BaseType))
        return TAreaStorage::Unusable;
    const std::string path = ResolveCase(NormalizeSeparators(echo.Path));
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return TAreaStorage::Missing;
    const bool directory = echo.BaseType == btMsg;
    return (directory ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode)) ? TAreaStorage::Present
                                                                   : TAreaStorage::Unusable;
}

TAreaState InspectArea(TEcho& echo, int userId, const std::string& userName) {
    switch (AreaStorage(echo)) {
    case TAreaStorage::Missing:
        return {TAreaState::Missing, 0, false};
    case TAreaStorage::Unusable:
        return {TAreaState::Locked, 0, false};
    case TAreaStorage::Present:
        break;
    }
    try {
        TBaseRef base = BoundBase(echo, userId, userName);
        // Counting lists the whole base, so the read marks tell what is unread.
        const int count = base->GetCount();
        return {TAreaState::Ready, count, base->HasUnread()};
    } catch (const std::exception&) {
        return {TAreaState::Locked, 0, false};
    }
}

TAreaState InspectArea(TEcho& echo, const TUser& user) {
    return InspectArea(echo, user.UserId, user.Name);
}

bool ScanAreaNode(TTreeInfo& node, const TUser& user) {
    if (node.IsFolder())
        return false;
    switch (AreaStorage(*node.Echo)) {
    case TAreaStorage::Missing:
        node.HasNew = false;
        return true;
    case TAreaStorage::Unusable:
        return false;
    case TAreaStorage::Present:
        break;
    }
    try {
        TBaseRef base = BoundBase(*node.Echo, user.UserId, user.Name);
        node.HasNew = base->HasUnread();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void RescanAreas(TUser& user, const TAreaScanHook& beforeEach) {
    ForEachArea(user.AreaTree, [&](TTreeInfo& node) {
        if (beforeEach)
            beforeEach(node);
        ScanAreaNode(node, user);
    });
}

TTreeInfo* UpdateAreaNode(std::vector<std::unique_ptr<TTreeInfo>>& tree, const TEcho* echo,
                          const TUser& user) {
    TTreeInfo* node = echo ? FindArea(tree, echo) : nullptr;
    if (node)
        ScanAreaNode(*node, user);
    return node;
}

TTreeInfo* NextAreaWithNew(std::vector<std::unique_ptr<TTreeInfo>>& tree, const TTreeInfo* current) {
    std::vector<TTreeInfo*> areas;
    ForEachArea(tree, [&](TTreeInfo& node) { areas.push_back(&node); });
    const auto at = std::find(areas.begin(), areas.end(), current);
    // After the current area, then round from the top to just before it.
    const size_t start = at == areas.end() ? 0 : size_t(at - areas.begin()) + 1;
    for (size_t k = 0; k < areas.size(); ++k) {
        TTreeInfo* node = areas[(start + k) % areas.size()];
        if (node != current && node->HasNew && !node->Locked)
            return node;
    }
    return nullptr;
}

bool RefreshAreaNode(TTreeInfo& node) {
    if (node.IsFolder())
        return false;
    TCustomBase* base = node.Echo->Base();
    const bool unread = base != nullptr && base->HasUnread();
    if (unread == node.AnyNew())
        return false;
    node.HasNew = unread;
    return true;
}

} // namespace tavro
