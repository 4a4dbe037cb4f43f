#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavro {

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

} // namespace tavro
