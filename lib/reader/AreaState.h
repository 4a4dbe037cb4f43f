#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavro {

class TEcho;
class TTreeInfo;
class TUser;

// Where an area's storage stands before anything opens it.
enum class TAreaStorage {
    Missing, // nothing there yet: the first message written creates it
    Present,
    Unusable, // something else is in its place, or the base type has no storage class
};
TAreaStorage AreaStorage(const TEcho& echo);

// What an area looks like to the reader: a missing base lists as an empty area with nothing
// unread; a base that cannot be opened or read is locked.
struct TAreaState {
    enum TKind { Missing, Locked, Ready };
    TKind Kind = Missing;
    int Count = 0;
    bool Unread = false;
};

// Binds the user to the area's base, rescans it when it changed and counts. The base stays
// open; a missing base is not opened at all.
TAreaState InspectArea(TEcho& echo, int userId, const std::string& userName);
TAreaState InspectArea(TEcho& echo, const TUser& user);

// Brings one area node's HasNew up to date for the user: rescans its base when it changed.
// False, with the flags as they were, when the base cannot be opened or read; a missing
// base has nothing unread.
bool ScanAreaNode(TTreeInfo& node, const TUser& user);

// Called before each area is scanned.
using TAreaScanHook = std::function<void(const TTreeInfo& node)>;

// Scans every area node of the user's tree, in tree order. A failing area is skipped.
void RescanAreas(TUser& user, const TAreaScanHook& beforeEach = {});

// Scans the first area node of the tree that stands for `echo`; that node, or null.
TTreeInfo* UpdateAreaNode(std::vector<std::unique_ptr<TTreeInfo>>& tree, const TEcho* echo,
                          const TUser& user);

// The next area after `current` in tree order that holds unread mail and is not locked,
// going round to the top; null when there is none. Folders are looked into, closed or not.
TTreeInfo* NextAreaWithNew(std::vector<std::unique_ptr<TTreeInfo>>& tree, const TTreeInfo* current);

// Asks the open area's base whether it holds unread mail and stores the answer in HasNew;
// true when that changed what the node shows. Throws when the base cannot be read.
bool RefreshAreaNode(TTreeInfo& node);

} // namespace tavro
