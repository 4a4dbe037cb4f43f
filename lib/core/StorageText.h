#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavro {

class TCharset;
class TCodePagePair;

// The SoftCR character of the OEM text.
constexpr uint8_t SoftCR = 0x8D;

// Display text to stored OEM bytes. Without keepSoftCR every 0x8D becomes "H" and every 0xE0
// "p" after conversion, so no stored byte can be mistaken for a SoftCR.
std::string EncodeForStorage(std::string_view display, const TCodePagePair& pages, bool keepSoftCR);
// Stored message text to display text; without keepSoftCR the 0x8D bytes are dropped first.
std::string DecodeStoredText(std::string_view oem, const TCodePagePair& pages, bool keepSoftCR);

// Fixed-width header fields: bytes up to the first zero, at most `width` of them.
std::string ReadFixedString(const uint8_t* field, size_t width, const TCodePagePair& pages);
// Zero-filled; a string as long as the field has no terminating zero.
void WriteFixedString(uint8_t* field, size_t width, std::string_view display, const TCodePagePair& pages,
                      bool keepSoftCR);

// How one message's text is stored: in the base's OEM page, or in the set its CHRS kludge
// names (then without the SoftCR substitutes, which belong to the OEM page).
class TTextCodec {
public:
    TTextCodec(const TCodePagePair& pages, const TCharset* set, bool keepSoftCR)
        : Pages(pages), Set(set), KeepSoftCR(keepSoftCR) {}

    std::string Encode(std::string_view display) const;
    std::string Decode(std::string_view stored) const;
    // Fixed-width header fields, as ReadFixedString and WriteFixedString; a UTF-8 character
    // is never cut in half.
    std::string ReadFixed(const uint8_t* field, size_t width) const;
    void WriteFixed(uint8_t* field, size_t width, std::string_view display) const;

private:
    const TCodePagePair& Pages;
    const TCharset* Set;
    bool KeepSoftCR;
};

} // namespace tavro
