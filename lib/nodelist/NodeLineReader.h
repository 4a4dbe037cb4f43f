#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

class TBufStream;

// The lines of a nodelist from the stream's position on. A line ends at CR, LF or CR LF:
// lists are published with DOS line ends and often unpacked or edited with Unix ones.
class TNodeLineReader {
public:
    TNodeLineReader(TBufStream& file, size_t chunkSize);

    // The next line, valid until the next call; false at the end of the file. Throws
    // ENodeLineError for a line longer than MaxNodeLineLength and EFileError when reading
    // fails.
    bool Next(std::string_view& line);
    // Where the line Next gave starts in the file, and its number from 1.
    int64_t LineOffset() const { return LineOffset_; }
    int64_t LineNumber() const { return LineNumber_; }

private:
    bool Fill();
    void SkipLineFeedAfterCr();
    size_t LineEnd();

    TBufStream& File;
    std::vector<char> Chunk;
    size_t Pos = 0, Count = 0;
    // The next CR and LF at or after Pos (Count: none in the chunk; -1: not looked for), kept
    // so that a file with only one of them is not searched to the chunk's end for every line.
    ptrdiff_t NextCr = -1, NextLf = -1;
    int64_t ChunkOffset = 0; // of Chunk[0] in the file
    std::string Carried;     // a line split between two chunks
    bool AfterCr = false;
    bool AtEnd = false;
    int64_t LineOffset_ = 0;
    int64_t LineNumber_ = 0;
};

} // namespace tavro
