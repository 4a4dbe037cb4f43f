#pragma once

#include <string>

namespace tavro {

class TAreaImport;

// Reads the areas and addresses of an HPT fidoconfig with everything it includes.
void ImportHpt(TAreaImport& import, const std::string& fileName);

} // namespace tavro
