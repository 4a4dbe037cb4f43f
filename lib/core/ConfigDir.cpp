#include "ConfigDir.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavro {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeDir() {
    std::string home = Env("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return ".";
}

} // namespace

std::string ConfigDir() {
    if (std::string dir = Env("TAVRO_HOME"); !dir.empty())
        return dir;
    if (std::string xdg = Env("XDG_CONFIG_HOME"); !xdg.empty())
        return xdg + "/tavro";
    return HomeDir() + "/.config/tavro";
}

bool EnsureConfigDir(std::string& dir) {
    dir = ConfigDir();
    std::error_code ec;
    if (!std::filesystem::exists(dir, ec)) {
        // It holds other people's phones and addresses: for the user's eyes only.
        if (const auto parent = std::filesystem::path(dir).parent_path(); !parent.empty())
            std::filesystem::create_directories(parent, ec);
        ::mkdir(dir.c_str(), 0700);
    }
    return std::filesystem::is_directory(dir, ec);
}

} // namespace tavro
