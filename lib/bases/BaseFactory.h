#pragma once

#include "core/Base.h"

#include <string>

namespace tavro {

// The one place that knows which class stores which base type. The base touches no file:
// a missing one lists nothing until CreateIfMissing. Empty for a type without a storage
// class.
TBaseRef NewBase(int baseType, const std::string& path, const std::string& echoTag,
                 const std::string& netmailTag);

// Whether NewBase knows a class for the type.
bool HasStorageClass(int baseType);

} // namespace tavro
