#pragma once

#include <cstdint>
#include <string>

namespace tavro {

// Line numbers beyond this read as this; no text file of a template has that many.
constexpr uint32_t MaxFileLineNumber = 100'000'000;

// Line `number` (1-based) of a text file, its bytes unconverted and its line end removed;
// empty for line 0, a file with fewer lines, or a file that cannot be read. Reads no
// further than that line and only regular files, never a device, pipe or directory. A
// relative name is taken in the configuration directory.
std::string ReadFileLine(const std::string& fileName, uint32_t number);

} // namespace tavro
