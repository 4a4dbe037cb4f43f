#pragma once

#include <string>

namespace tavro {

class TAreaImport;

// Reads the areas and addresses of a Squish-style text configuration ("EchoArea TAG PATH
// options links", as Squish and Partoss write it).
void ImportSquishCfg(TAreaImport& import, const std::string& fileName);

} // namespace tavro
