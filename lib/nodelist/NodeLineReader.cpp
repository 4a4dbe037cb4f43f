#include "NodeLineReader.h"

#include "NodeLine.h"

#include "core/BufStream.h"

#include <algorithm>
#include <cstring>

namespace tavro {

TNodeLineReader::TNodeLineReader(TBufStream& file, size_t chunkSize)
    : File(file), Chunk(chunkSize), ChunkOffset(file.Position()) {}

bool TNodeLineReader::Fill() {
    ChunkOffset += static_cast<int64_t>(Count);
    Pos = 0;
    NextCr = NextLf = -1;
    Count = static_cast<size_t>(File.Read(Chunk.data(), static_cast<int64_t>(Chunk.size())));
    AtEnd = Count == 0;
    return !AtEnd;
}

// The LF of a CR LF may be the first byte of the next chunk.
void TNodeLineReader::SkipLineFeedAfterCr() {
    if (!AfterCr)
        return;
    AfterCr = false;
    if (Pos == Count && (AtEnd || !Fill()))
        return;
    if (Chunk[Pos] == '\n')
        ++Pos;
}

size_t TNodeLineReader::LineEnd() {
    auto next = [this](ptrdiff_t& at, char c) {
        if (at < static_cast<ptrdiff_t>(Pos)) {
            const void* found = std::memchr(Chunk.data() + Pos, c, Count - Pos);
            at = found ? static_cast<const char*>(found) - Chunk.data() : static_cast<ptrdiff_t>(Count);
        }
        return static_cast<size_t>(at);
    };
    return std::min(next(NextCr, '\r'), next(NextLf, '\n'));
}

bool TNodeLineReader::Next(std::string_view& line) {
    SkipLineFeedAfterCr();
    Carried.clear();
    LineOffset_ = ChunkOffset + static_cast<int64_t>(Pos);
    // Counted first, so that a failure while reading names the line it happened in.
    ++LineNumber_;
    for (;;) {
        if (Pos == Count && (AtEnd || !Fill())) {
            if (Carried.empty()) {
                --LineNumber_;
                return false;
            }
            line = Carried;
            return true;
        }
        const char* start = Chunk.data() + Pos;
        const char* stop = Chunk.data() + Count;
        const char* end = Chunk.data() + LineEnd();
        const size_t length = static_cast<size_t>(end - start);
        if (Carried.size() + length > MaxNodeLineLength)
            throw ENodeLineError("the line is longer than " + std::to_string(MaxNodeLineLength) + " bytes");
        if (end == stop) {
            Carried.append(start, length);
            Pos = Count;
            continue;
        }
        AfterCr = *end == '\r';
        Pos += length + 1;
        if (Carried.empty()) {
            line = std::string_view(start, length);
        } else {
            Carried.append(start, length);
            line = Carried;
        }
        return true;
    }
}

} // namespace tavro
