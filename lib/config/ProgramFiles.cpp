#include "ProgramFiles.h"

#include "AddressBookFile.h"
#include "Config.h"
#include "ConfigFile.h"
#include "UsersFile.h"

namespace tavro {

void LoadProgramFiles(TConfig& config, const std::string& dir, const std::function<void()>& afterMain) {
    LoadConfig(config, ConfigFileName(dir));
    if (afterMain)
        afterMain();
    LoadUsers(config, UsersFileName(dir));
    LoadAddressBook(config, AddressBookFileName(dir));
}

TUser* FindUserById(const TConfig& config, int32_t id) {
    for (const auto& user : config.Users)
        if (user->UserId == id)
            return user.get();
    return nullptr;
}

} // namespace tavro
