#include "NodelistPaths.h"

#include "core/FileUtils.h"
#include "core/StrUtils.h"

#include <filesystem>

namespace tavro {

namespace {

// `path` against `base`, made absolute (against the working directory only when `base`
// itself is relative) and with "." and ".." folded.
std::string Joined(const std::string& base, const std::string& path) {
    namespace fs = std::filesystem;
    fs::path full = path.empty() ? fs::path(base) : fs::path(base) / path;
    std::error_code ignored;
    if (full.is_relative()) {
        const fs::path absolute = fs::absolute(full, ignored);
        if (!ignored)
            full = absolute;
    }
    std::string text = full.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

} // namespace

std::string FullNodelistDir(std::string_view ndlDir, const std::string& configDir) {
    return Joined(NormalizeSeparators(configDir), NormalizeSeparators(Trim(ndlDir)));
}

std::string FullNodelistMask(std::string_view mask, const std::string& nodelistDir) {
    std::string text = NormalizeSeparators(Trim(mask));
    const size_t slash = text.rfind('/');
    if (slash == std::string::npos)
        return text;
    const std::string dir = slash == 0 ? "/" : Joined(nodelistDir, text.substr(0, slash));
    return (dir == "/" ? "" : dir) + text.substr(slash);
}

TNodelistPaths FullNodelistPaths(std::string_view ndlDir, const std::vector<std::string>& masks,
                                 const std::string& configDir) {
    TNodelistPaths paths;
    paths.Dir = FullNodelistDir(ndlDir, configDir);
    for (const std::string& mask : masks)
        if (std::string full = FullNodelistMask(mask, paths.Dir); !full.empty())
            paths.Masks.push_back(std::move(full));
    return paths;
}

} // namespace tavro
