#pragma once

#include <cstdint>

namespace tavro {

// Little-endian fields of the stored formats, byte by byte so alignment never matters.
inline uint16_t GetLE16(const void* p) {
    const auto* b = static_cast<const uint8_t*>(p);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

inline uint32_t GetLE32(const void* p) {
    const auto* b = static_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

inline void PutLE16(void* p, uint16_t v) {
    auto* b = static_cast<uint8_t*>(p);
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
}

inline void PutLE32(void* p, uint32_t v) {
    auto* b = static_cast<uint8_t*>(p);
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace tavro
