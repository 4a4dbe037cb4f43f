#include "ConfigOpen.h"

#include "config/Config.h"
#include "config/ProgramFiles.h"
#include "core/CodePage.h"
#include "core/ConfigDir.h"

#include <algorithm>

namespace tavro::cli {

std::string ConfigHome(const TArguments& arguments) {
    if (const std::string* home = arguments.Value("--home")) {
        if (home->empty())
            ThrowUsage("--home needs a directory");
        return *home;
    }
    return ConfigDir();
}

void LoadConfigAndUsers(TConfig& config, const std::string& dir) {
    LoadProgramFiles(config, dir);
}

namespace {

std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

} // namespace

std::string OutputText(std::string_view text) {
    return OneLine(ActiveDisplayPage().ToUtf8(text));
}

std::string OutputPath(std::string path) {
    return OneLine(std::move(path));
}

} // namespace tavro::cli
