#pragma once

#include <string>

namespace tavro {

class TConfig;

// dir + "/TavroUsr.cfg": the users.
std::string UsersFileName(const std::string& dir);

// Appends the users of the file to the configuration; their template and area references
// are positions in its Templates and Echoes, so the main file is loaded first. A missing file
// adds nobody. A damaged file or an unknown version throws EConfigError; the users read
// completely before the damage stay in the list.
void LoadUsers(TConfig& config, const std::string& fileName);
// Writes the newest layout through a temporary file, so a failed save keeps the old file;
// throws EConfigError.
void SaveUsers(const TConfig& config, const std::string& fileName);

} // namespace tavro
