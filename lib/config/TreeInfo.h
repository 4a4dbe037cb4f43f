#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tavro {

class TEcho;

// A node of a user's area tree: a folder (no area) or an area.
class TTreeInfo {
public:
    // A null echo makes a folder named "<Unnamed>"; an area node takes the area's name.
    explicit TTreeInfo(TEcho* echo = nullptr);

    std::string Name;
    std::vector<std::unique_ptr<TTreeInfo>> Children;
    TEcho* Echo = nullptr;
    bool Locked = false;
    bool HasNew = false;

    bool IsFolder() const { return Echo == nullptr; }
    // An area's unread state, or whether any node below a folder has unread mail.
    bool AnyNew() const;
};

} // namespace tavro
