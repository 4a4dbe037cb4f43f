#pragma once

#include "core/BufStream.h"

#include <memory>
#include <string>

namespace tavro {

// Reads message headers of a Squish or JAM base through one descriptor kept open between
// reads, each read under the tossers' byte-0 read lock. Opening the file for every header
// costs most of the time when a whole area is listed; without a share-mode lock the open
// descriptor keeps no other program from changing the base between reads.
class THeaderReader {
public:
    explicit THeaderReader(int bufSize) : BufSize(bufSize) {}

    // The stream for `fileName`, its byte-0 read lock held until Release, its buffer fresh.
    // Throws EFileError when the file cannot be opened or the lock cannot be had in time.
    TBufStream& Acquire(const std::string& fileName);
    void Release();
    // Closes the descriptor: the file may have been replaced.
    void Reset();

private:
    int BufSize;
    std::string FileName;
    std::unique_ptr<TBufStream> Stream;
};

// Holds a reader's lock for a scope.
class THeaderReadLock {
public:
    THeaderReadLock(THeaderReader& reader, const std::string& fileName)
        : Reader(reader), Stream(reader.Acquire(fileName)) {}
    ~THeaderReadLock() { Reader.Release(); }
    THeaderReadLock(const THeaderReadLock&) = delete;
    THeaderReadLock& operator=(const THeaderReadLock&) = delete;

    THeaderReader& Reader;
    TBufStream& Stream;
};

} // namespace tavro
