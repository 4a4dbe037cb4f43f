#pragma once

#include <string>

namespace tavro {

class TAreaImport;

// Reads the areas, AKAs and origins of a FastEcho binary configuration. A file shorter than
// its header, or whose counts run past its end, throws EConfigError.
void ImportFastEcho(TAreaImport& import, const std::string& fileName);

} // namespace tavro
