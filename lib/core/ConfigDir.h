#pragma once

#include <string>

namespace tavro {

// The program's configuration directory: $TAVRO_HOME, else $XDG_CONFIG_HOME/tavro, else
// ~/.config/tavro. Not created here.
std::string ConfigDir();

// ConfigDir(), created (with its parents) when missing; false when that fails.
bool EnsureConfigDir(std::string& dir);

} // namespace tavro
