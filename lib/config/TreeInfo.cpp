#include "TreeInfo.h"

#include "Echo.h"

namespace tavro {

TTreeInfo::TTreeInfo(TEcho* echo) : Name(echo ? echo->Name : "<Unnamed>"), Echo(echo) {}

bool TTreeInfo::AnyNew() const {
    if (!IsFolder())
        return HasNew;
    for (const auto& child : Children)
        if (child->AnyNew())
            return true;
    return false;
}

} // namespace tavro
