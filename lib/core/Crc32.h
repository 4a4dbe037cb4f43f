#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tavro {

// The table of the common CRC-32 (polynomial 0xEDB88320, reflected).
const std::array<uint32_t, 256>& Crc32Table();
// The common CRC-32 of the bytes, as zlib computes it.
uint32_t Crc32(std::string_view bytes);

} // namespace tavro
