#pragma once

#include "core/FileUtils.h"

#include <cstddef>
#include <string>

namespace tavro {

// What a configuration file held when this copy of the program last read or wrote it. A
// save that finds something else on disk brings the other program's changes in first
// instead of writing over them.
struct TFileOrigin {
    // Read or written by this copy; a missing file counts, with no data.
    bool Known = false;
    // There, but not a file of ours: kept under another name before ours is written.
    bool Foreign = false;
    std::string FileName;
    TFileStamp Stamp;
    std::string Data;

    bool Existed() const { return Stamp.Size >= 0; }
};

// The file's contents for loading, remembered in `origin`; empty for a missing file. A file
// larger than `maxBytes` or unreadable throws EConfigError.
std::string ReadOrigin(TFileOrigin& origin, const std::string& fileName, size_t maxBytes);

} // namespace tavro
