#pragma once

#include <string>

namespace tavro {

class TAreaImport;

// Reads the Squish ("$path") and JAM ("!path") areas of an Areas.bbs list; an address line
// gives the areas below it their address.
void ImportAreasBbs(TAreaImport& import, const std::string& fileName);

} // namespace tavro
