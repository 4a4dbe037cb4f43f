#pragma once

#include "BaseOpen.h"

#include <string>
#include <string_view>

namespace tavro {
class TConfig;
}

namespace tavro::cli {

// What the commands that read Tavro's configuration share.

// The configuration directory: --home when given, else ConfigDir().
std::string ConfigHome(const TArguments& arguments);

// Loads the program's files from `dir` as the program does. Missing files leave the lists
// empty; a damaged file throws EConfigError.
void LoadConfigAndUsers(TConfig& config, const std::string& dir);

// Configuration text (display code page) as UTF-8 on one line: tabs and line breaks become
// spaces, so that every record stays one line of its column.
std::string OutputText(std::string_view text);
// A path as stored (file names are bytes), on one line the same way.
std::string OutputPath(std::string path);

} // namespace tavro::cli
