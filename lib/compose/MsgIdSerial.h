#pragma once

#include "core/DateTime.h"

#include <cstdint>
#include <string>

namespace tavro {

// Seconds since 1970-01-01 00:00 of a local date-time counted in local time (no time-zone
// correction), modulo 2^32.
uint32_t UnixSerialTime(TDateTime written);

// MSGID serials that never repeat, also across runs and with several programs writing at
// once. The last serial given out is kept as decimal text in a small file that is read and
// advanced under an exclusive flock; a new serial is the written time's UnixSerialTime when
// that is above the last one, else the last one + 1 (unsigned, wrapping).
class TMsgIdSerials {
public:
    // The name of the file in the configuration directory.
    static constexpr const char* FileName = "TavroMsgId.dat";

    explicit TMsgIdSerials(std::string path);

    const std::string& Path() const { return Path_; }

    // Reserves `count` consecutive serials (0 counts as 1) for messages written at `written`
    // and returns the first. Throws EFileError naming the file when it cannot be created,
    // locked, read or written; nothing is reserved then. A file that holds no number (damaged,
    // or cut by a crash) counts as 0 and is rewritten.
    uint32_t Next(TDateTime written, uint32_t count = 1);

private:
    std::string Path_;
};

} // namespace tavro
