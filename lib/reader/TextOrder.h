#pragma once

#include <string>
#include <string_view>

namespace tavro {

class TCodePage;

// Lower case of a Latin, Greek or Cyrillic letter; anything else unchanged. Names and
// subjects are written in these scripts, and the C library's own folding depends on the
// locale the program happens to run in.
char32_t FoldCase(char32_t c);

// Display-page text compared with letter case ignored.
bool EqualsIgnoringCase(std::string_view a, std::string_view b, const TCodePage& page);

// A key whose byte order is the order of the text in the locale's collation (LC_COLLATE),
// with letter case ignored. Made once per text, so that sorting compares plain bytes.
std::string CollationKey(std::string_view text, const TCodePage& page);

} // namespace tavro
