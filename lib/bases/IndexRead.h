#pragma once

#include "core/BufStream.h"
#include "core/Endian.h"

#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace tavro {

// Default-initialises what a vector creates without a value: records about to be read over
// are not filled first.
template <typename T> struct TUninitAllocator : std::allocator<T> {
    template <typename U> struct rebind { using other = TUninitAllocator<U>; };
    TUninitAllocator() = default;
    template <typename U> TUninitAllocator(const TUninitAllocator<U>&) noexcept {}
    template <typename U> void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... TArgs> void construct(U* p, TArgs&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<TArgs>(args)...);
    }
};

// The records of an index as read from its file.
template <typename TRecord> using TIndexVector = std::vector<TRecord, TUninitAllocator<TRecord>>;

// Reads `count` bytes of a file from `offset` straight into `into` through a descriptor of
// its own; the bytes read (fewer at the end of the file), -1 when it cannot.
int64_t ReadStraight(const std::string& fileName, int64_t offset, char* into, int64_t count);

// Reads a file in large pieces through a descriptor of its own, for a walk over records at
// mostly growing offsets: the records are looked at in place, where a stream would copy each
// one out of its buffer.
class TPieceReader {
public:
    static constexpr size_t PieceSize = 262144;
    static constexpr size_t MinPieceSize = 4096;

    // `sizeHint`: the size of the file as last seen, so a small file gets a small buffer.
    TPieceReader(const std::string& fileName, int64_t sizeHint);
    ~TPieceReader();
    TPieceReader(const TPieceReader&) = delete;
    TPieceReader& operator=(const TPieceReader&) = delete;

    // False when the file could not be opened.
    bool IsOpen() const { return Fd >= 0; }
    // `count` bytes (at most MinPieceSize) at `offset`, valid until the next call; throws
    // EFileError when the file ends before them.
    const uint8_t* At(int64_t offset, size_t count) {
        if (offset >= Start && offset + int64_t(count) <= Start + int64_t(Size))
            return Buffer.get() + (offset - Start);
        return Fill(offset, count);
    }

    // The next read goes to the file: another program may have changed it since.
    void Forget() { Size = 0; }

private:
    const uint8_t* Fill(int64_t offset, size_t count);

    std::string FileName;
    int Fd = -1;
    size_t Capacity;
    std::unique_ptr<uint8_t[]> Buffer;
    int64_t Start = 0;
    size_t Size = 0;
};

// Reads up to `count` records of an index, each stored as the little-endian 32-bit fields of
// `TRecord` in their order, from the position of `file`, which holds the file's share lock.
// The records go straight into place in one read, where the stream would copy them through
// its buffer: listing a large area must cost little more than reading its index. Fewer
// records at the end of the file; a partial last record is dropped.
template <typename TRecord> TIndexVector<TRecord> ReadIndexRecords(TBufStream& file, size_t count) {
    static_assert(std::is_trivial_v<TRecord> && sizeof(TRecord) % 4 == 0 &&
                  alignof(TRecord) == alignof(uint32_t));
    TIndexVector<TRecord> records(count);
    auto* bytes = reinterpret_cast<char*>(records.data());
    const auto want = static_cast<int64_t>(count * sizeof(TRecord));
    int64_t got = ReadStraight(file.FileName(), file.Position(), bytes, want);
    if (got < 0)
        got = file.Read(bytes, want);
    records.resize(static_cast<size_t>(got) / sizeof(TRecord));
    if constexpr (std::endian::native != std::endian::little) {
        auto* fields = reinterpret_cast<uint32_t*>(records.data());
        for (size_t k = 0; k < records.size() * sizeof(TRecord) / 4; ++k)
            fields[k] = GetLE32(&fields[k]);
    }
    return records;
}

} // namespace tavro
