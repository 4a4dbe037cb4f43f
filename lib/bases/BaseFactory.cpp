#include "BaseFactory.h"

#include "FidoBase.h"
#include "JamBase.h"
#include "SquishBase.h"

namespace tavro {

TBaseRef NewBase(int baseType, const std::string& path, const std::string& echoTag,
                 const std::string& netmailTag) {
    switch (baseType) {
    case btMsg:
        return TBaseRef::Adopt(new TFidoBase(path, echoTag, netmailTag));
    case btSquish:
        return TBaseRef::Adopt(new TSquishBase(path, echoTag, netmailTag));
    case btJam:
        return TBaseRef::Adopt(new TJamBase(path, echoTag, netmailTag));
    default:
        return {};
    }
}

bool HasStorageClass(int baseType) {
    return baseType == btMsg || baseType == btSquish || baseType == btJam;
}

} // namespace tavro
