#include "HardWrap.h"

#include "text/TextFind.h"

namespace tavro {

namespace {

// Trimming takes off every control character and the space.
size_t TrimmedLength(std::u16string_view line) {
    size_t length = line.size();
    while (length > 0 && line[length - 1] <= u' ')
        --length;
    return length;
}

} // namespace

std::optional<size_t> HardWrapBreak(std::u16string_view line, size_t caret) {
    const size_t length = TrimmedLength(line);
    if (length <= HardWrapColumn || caret < length)
        return std::nullopt;
    // Positions count characters from one: character p sits at index p - 1.
    if (line[HardWrapColumn] == u' ')
        return HardWrapColumn;
    for (size_t p = HardWrapColumn; p >= 1; --p) {
        const char16_t ch = line[p - 1];
        if (ch == u' ' || (ch == u'-' && IsLetter(line[p])))
            return p;
    }
    return std::nullopt;
}

} // namespace tavro
