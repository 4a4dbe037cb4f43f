#pragma once

#include <cstdint>
#include <string>

namespace tavro {

// A last-read file: one little-endian pointer of `width` bytes (2 or 4) per user index, at
// offset index × width. Users outside 0..255 have no slot.
class TLastReadFile {
public:
    TLastReadFile(int width, int timeoutMs) : Width(width), TimeoutMs(timeoutMs) {}

    // The user's pointer; false when the file or the slot cannot be read.
    bool Load(const std::string& fileName, int user, uint32_t& value) const;
    // Writes the pointer, creating the file and padding it with zero bytes up to the slot.
    bool Save(const std::string& fileName, int user, uint32_t value) const;

    static bool HasSlot(int user) { return user >= 0 && user < 256; }

private:
    int Width;
    int TimeoutMs;
};

} // namespace tavro
