#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// The strict decimal conversion every parser uses: optional sign, digits, nothing else,
// within the 32-bit signed range.
bool StrToInt(std::string_view text, int32_t& value);

// Trimming removes the characters 0..32 on the given side(s).
std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Keywords of external text formats are compared ignoring ASCII case only.
char UpperAscii(char c);
std::string UpperCaseAscii(std::string_view text);
std::string LowerCaseAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// The hash FTN software keeps of names (Squish index, nodelist sysops): 31 bits, ASCII
// letters taken as lower case.
uint32_t NameHashOf(std::string_view text);

// The words of a text separated by runs of blanks.
std::vector<std::string_view> BlankWords(std::string_view text);

// The first blank-delimited word of a text (after leading blanks).
std::string_view FirstWord(std::string_view text);

} // namespace tavro
