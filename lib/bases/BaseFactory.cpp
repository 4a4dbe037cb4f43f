#include "BaseFactory.h"

#include "FidoBase.h"
#include "JamBase.h"
#include "SquishBase.h"

namespace tavro {

TCustomBase* CreateBase(int baseType, const std::string& path, const std::string& echoTag,
                        const std::string& netmailTag) {
    switch (baseType) {
    case btMsg:
        return new TFidoBase(path, echoTag, netmailTag);
    case btSquish:
        return new TSquishBase(path, echoTag, netmailTag);
    case btJam:
        return new TJamBase(path, echoTag, netmailTag);
    default:
        // The storage formats register here as they are added.
        return nullptr;
    }
}

bool HasStorageClass(int baseType) {
    return baseType == btMsg || baseType == btSquish || baseType == btJam;
}

} // namespace tavro
