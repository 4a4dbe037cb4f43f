#pragma once

#include <string>

namespace tavro {

class TAreaImport;

// Reads the areas and addresses of an HPT fidoconfig with everything it includes, the whole
// configuration before the first area is touched: a file that cannot be read changes
// nothing. Areas take HPT's defaults: Squish storage, and the first own address where
// neither "-a" nor a link chooses one.
void ImportHpt(TAreaImport& import, const std::string& fileName);

} // namespace tavro
