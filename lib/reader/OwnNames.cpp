#include "OwnNames.h"

#include "TextOrder.h"

#include "config/User.h"
#include "core/CodePage.h"
#include "core/StrUtils.h"

namespace tavro {

namespace {

constexpr std::string_view Moderator = "Moderator";

// Letter case ignored, and the Latin look-alikes that bases store for a Cyrillic "р" and
// "Н" taken as those letters, so a name typed in the configuration matches the stored one.
std::u32string NameKey(std::string_view name, const TCodePage& page) {
    std::u32string key;
    key.reserve(name.size());
    for (char c : name) {
        char32_t folded = FoldCase(page.ToUnicode(static_cast<uint8_t>(c)));
        if (folded == U'\u0440')
            folded = U'p';
        else if (folded == U'\u043D')
            folded = U'h';
        key.push_back(folded);
    }
    return key;
}

} // namespace

TOwnNames::TOwnNames(std::vector<std::string> names) {
    const TCodePage& page = ActiveDisplayPage();
    for (const std::string& name : names)
        if (const std::string trimmed = Trim(name); !trimmed.empty())
            Keys.push_back(NameKey(trimmed, page));
}

TOwnNames::TOwnNames(const TUser& user)
    : TOwnNames([&] {
          std::vector<std::string> names{user.Name, user.RealName};
          names.insert(names.end(), user.HighlightNames.begin(), user.HighlightNames.end());
          return names;
      }()) {}

bool TOwnNames::IsOwnName(std::string_view name) const {
    const std::string_view trimmed = TrimView(name);
    // "Moderator" has no letter with a look-alike, so the first word is compared as it is.
    const std::string_view word = trimmed.substr(0, trimmed.find(' '));
    if (word.size() >= Moderator.size() && EqualsNoCase(word.substr(word.size() - Moderator.size()), Moderator))
        return true;
    if (Keys.empty())
        return false;
    const std::u32string key = NameKey(trimmed, ActiveDisplayPage());
    for (const std::u32string& own : Keys)
        if (key == own)
            return true;
    return false;
}

} // namespace tavro
