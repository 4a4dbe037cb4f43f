#include "BaseFactory.h"

namespace tavro {

TCustomBase* CreateBase(int baseType, const std::string&, const std::string&, const std::string&) {
    switch (baseType) {
    default:
        // The storage formats register here as they are added.
        return nullptr;
    }
}

} // namespace tavro
