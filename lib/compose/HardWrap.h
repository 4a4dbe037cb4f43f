#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace tavro {

// The column the composer keeps lines within when it wraps them itself.
constexpr size_t HardWrapColumn = 78;

// Where to break the caret's line as the user types past the wrap column: the number of
// characters the line keeps, the rest going to a new line after it. Nothing when the line,
// trailing blanks aside, fits, when the caret is before its end or when no blank or hyphen
// before a letter offers a break. `caret` is an offset within `line`.
std::optional<size_t> HardWrapBreak(std::u16string_view line, size_t caret);

} // namespace tavro
