#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavro {

class TCodePage;
class TUser;

// Which names in the list are the user's: the user's name or real name, any line of the
// names to highlight, or a moderator's signature ("Area Moderator"). Case is ignored, and
// so are the Latin look-alikes that bases store for some Cyrillic letters.
class TOwnNames {
public:
    TOwnNames() = default;
    explicit TOwnNames(const TUser& user);
    TOwnNames(std::vector<std::string> names);

    bool IsOwnName(std::string_view name) const;

private:
    std::vector<std::u32string> Keys; // of the trimmed names, none empty
};

} // namespace tavro
