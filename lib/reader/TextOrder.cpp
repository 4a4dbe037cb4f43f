#include "TextOrder.h"

#include "core/CodePage.h"

#include <cwchar>
#include <vector>

namespace tavro {

char32_t FoldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z')
        return c + 32;
    if (c < 0xC0)
        return c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    // Latin Extended-A and Cyrillic additions pair upper and lower case as even and odd.
    if (((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) || (c >= 0x460 && c <= 0x4BF)) &&
        c % 2 == 0)
        return c + 1;
    return c;
}

namespace {

std::wstring Folded(std::string_view text, const TCodePage& page) {
    std::wstring wide;
    wide.reserve(text.size());
    for (char c : text)
        wide.push_back(static_cast<wchar_t>(FoldCase(page.ToUnicode(static_cast<uint8_t>(c)))));
    return wide;
}

} // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b, const TCodePage& page) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(page.ToUnicode(static_cast<uint8_t>(a[i]))) !=
            FoldCase(page.ToUnicode(static_cast<uint8_t>(b[i]))))
            return false;
    return true;
}

std::string CollationKey(std::string_view text, const TCodePage& page) {
    const std::wstring wide = Folded(text, page);
    std::vector<wchar_t> key(wide.size() * 4 + 16);
    size_t length = std::wcsxfrm(key.data(), wide.c_str(), key.size());
    if (length >= key.size()) {
        key.resize(length + 1);
        length = std::wcsxfrm(key.data(), wide.c_str(), key.size());
    }
    // Big-endian bytes keep the order of the wide key under a byte compare.
    std::string bytes;
    bytes.reserve(length * 4);
    for (size_t i = 0; i < length; ++i) {
        const auto w = static_cast<uint32_t>(key[i]);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<char>((w >> shift) & 0xFF));
    }
    return bytes;
}

} // namespace tavro
