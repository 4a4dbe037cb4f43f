#include "ConfigSave.h"

#include "ConfigFile.h"
#include "UsersFile.h"

namespace tavro {

void SaveConfigAndUsers(const TConfig& config, const std::string& dir) {
    SaveConfig(config, ConfigFileName(dir));
    SaveUsers(config, UsersFileName(dir));
}

} // namespace tavro
