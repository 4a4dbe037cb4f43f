#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// Where the nodelists are, as full paths. The nodelist directory as configured is taken
// relative to the configuration directory (the configuration directory itself when empty),
// a mask's directory relative to the nodelist directory; "\" separators become "/". These
// do not depend on the working directory, which a desktop program does not choose.

// Trimmed, absolute, without a trailing "/" (except the root).
std::string FullNodelistDir(std::string_view ndlDir, const std::string& configDir);
// Trimmed; a mask without a directory stays as it is (it means the nodelist directory,
// wherever that is later moved); an empty one stays empty.
std::string FullNodelistMask(std::string_view mask, const std::string& nodelistDir);

struct TNodelistPaths {
    std::string Dir;
    std::vector<std::string> Masks;
};

// What the user typed, made ready to store: the full directory and the full masks, blank
// masks left out.
TNodelistPaths FullNodelistPaths(std::string_view ndlDir, const std::vector<std::string>& masks,
                                 const std::string& configDir);

} // namespace tavro
