#pragma once

#include "config/TreeInfo.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tavro {

// A user's top-level list, or a folder's entries, in display order.
using TTreeList = std::vector<std::unique_ptr<TTreeInfo>>;

// Where a node sits: in the folder `Parent` (null: the top-level list) at `Index`.
struct TTreePlace {
    TTreeInfo* Parent = nullptr;
    size_t Index = 0;
    bool operator==(const TTreePlace&) const = default;
};

std::optional<TTreePlace> FindPlace(TTreeList& top, const TTreeInfo* node);
// The folder's entries, or the top-level list for null.
TTreeList& EntriesOf(TTreeList& top, TTreeInfo* folder);
// Whether `node` is `ancestor` itself or anywhere below it.
bool IsWithin(const TTreeInfo* node, const TTreeInfo& ancestor);

// A new empty folder at the end of the top-level list.
TTreeInfo* AppendFolder(TTreeList& top, const std::string& name);

enum class TFolderDelete { Deleted, IsArea, NotEmpty, NotFound };
// Removes and frees an empty folder; areas and folders with entries stay.
TFolderDelete DeleteEmptyFolder(TTreeList& top, TTreeInfo* node);

enum class TDropMode { Above, On, Below, Nowhere };
// Moves `dragged` next to `target` (null: the invisible root) as a drop in `mode` asks:
// above or below the target in its list, or at the end of a folder or the top level ("on";
// on an area it means above). Nothing moves when the target is the dragged node or lies
// below it; the new place otherwise.
std::optional<TTreePlace> MoveNode(TTreeList& top, TTreeInfo* dragged, TTreeInfo* target, TDropMode mode);

// Orders one list by name, with `less` comparing names; optionally every folder before
// every area. Equal names keep their order.
using TNodeNameLess = std::function<bool(const TTreeInfo&, const TTreeInfo&)>;
void SortEntries(TTreeList& list, bool foldersFirst, const TNodeNameLess& less);

} // namespace tavro
