#pragma once

#include "core/Base.h"

#include <string>

namespace tavro {

// The one place that knows which class stores which base type. Null for a type without a
// storage class; throws when the base cannot be created.
TCustomBase* CreateBase(int baseType, const std::string& path, const std::string& echoTag,
                        const std::string& netmailTag);

// Whether CreateBase knows a class for the type.
bool HasStorageClass(int baseType);

} // namespace tavro
