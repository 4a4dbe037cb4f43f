#include "AreaTreeEdit.h"

#include <algorithm>

namespace tavro {

namespace {

std::optional<TTreePlace> FindIn(TTreeList& list, TTreeInfo* parent, const TTreeInfo* node) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].get() == node)
            return TTreePlace{parent, i};
        if (auto found = FindIn(list[i]->Children, list[i].get(), node))
            return found;
    }
    return std::nullopt;
}

} // namespace

std::optional<TTreePlace> FindPlace(TTreeList& top, const TTreeInfo* node) {
    return node ? FindIn(top, nullptr, node) : std::nullopt;
}

TTreeList& EntriesOf(TTreeList& top, TTreeInfo* folder) {
    return folder ? folder->Children : top;
}

bool IsWithin(const TTreeInfo* node, const TTreeInfo& ancestor) {
    if (node == &ancestor)
        return true;
    return std::any_of(ancestor.Children.begin(), ancestor.Children.end(),
                       [node](const auto& child) { return IsWithin(node, *child); });
}

TTreeInfo* AppendFolder(TTreeList& top, const std::string& name) {
    auto& folder = top.emplace_back(std::make_unique<TTreeInfo>());
    folder->Name = name;
    return folder.get();
}

TFolderDelete DeleteEmptyFolder(TTreeList& top, TTreeInfo* node) {
    const auto place = FindPlace(top, node);
    if (!place)
        return TFolderDelete::NotFound;
    if (!node->IsFolder())
        return TFolderDelete::IsArea;
    if (!node->Children.empty())
        return TFolderDelete::NotEmpty;
    TTreeList& list = EntriesOf(top, place->Parent);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(place->Index));
    return TFolderDelete::Deleted;
}

std::optional<TTreePlace> MoveNode(TTreeList& top, TTreeInfo* dragged, TTreeInfo* target, TDropMode mode) {
    const auto from = FindPlace(top, dragged);
    if (!from || (target && (IsWithin(target, *dragged) || !FindPlace(top, target))))
        return std::nullopt;
    if (!target || mode == TDropMode::Nowhere)
        mode = TDropMode::On;
    if (mode == TDropMode::On && target && !target->IsFolder())
        mode = TDropMode::Above;

    TTreeList& source = EntriesOf(top, from->Parent);
    const auto at = source.begin() + static_cast<std::ptrdiff_t>(from->Index);
    std::unique_ptr<TTreeInfo> moving = std::move(*at);
    source.erase(at);

    // Looked up after the removal, which may have shifted the target.
    TTreePlace to;
    if (mode == TDropMode::On) {
        to.Parent = target;
        to.Index = EntriesOf(top, target).size();
    } else {
        to = *FindPlace(top, target);
        if (mode == TDropMode::Below)
            ++to.Index;
    }
    TTreeList& destination = EntriesOf(top, to.Parent);
    destination.insert(destination.begin() + static_cast<std::ptrdiff_t>(to.Index), std::move(moving));
    return to;
}

void SortEntries(TTreeList& list, bool foldersFirst, const TNodeNameLess& less) {
    std::stable_sort(list.begin(), list.end(), [&](const auto& a, const auto& b) {
        if (foldersFirst && a->IsFolder() != b->IsFolder())
            return a->IsFolder();
        return less(*a, *b);
    });
}

} // namespace tavro
