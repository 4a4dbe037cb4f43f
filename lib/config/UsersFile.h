#pragma once

#include <string>

namespace tavro {

class TConfig;
class TUser;

// dir + "/TavroUsr.cfg": the users.
std::string UsersFileName(const std::string& dir);

// Appends the users of the file to the configuration; their template and area references
// are positions in its Templates and Echoes, so the main file is loaded first. A missing file
// adds nobody. A damaged file or an unknown version throws EConfigError; the users read
// completely before the damage stay in the list.
void LoadUsers(TConfig& config, const std::string& fileName);
// Writes the newest layout through a temporary file, so a failed save keeps the old file,
// bringing in first what another program saved there since this copy read it; throws
// EConfigError.
void SaveUsers(TConfig& config, const std::string& fileName);

// The two above without the file: the bytes of a users file.
void ParseUsers(TConfig& config, std::string data);
std::string FormatUsers(const TConfig& config);
// One user as the file holds it, references as positions in `config`.
std::string UserRecord(const TConfig& config, const TUser& user);

} // namespace tavro
