#include "ConfigDir.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
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
    std::filesystem::create_directories(dir, ec);
    return std::filesystem::is_directory(dir, ec);
}

} // namespace tavro
