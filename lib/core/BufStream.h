#pragma once

#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

// A file that could not be opened, read or written. `Code` is the errno value (0 for a
// short read).
class EFileError : public std::runtime_error {
public:
    EFileError(const std::string& message, int code) : std::runtime_error(message), Code(code) {}
    int Code;
};

// Open modes with their share modes. Share modes are whole-file flock(2) locks taken
// without waiting: readers share, writers are exclusive.
enum class TOpenMode {
    Read,                     // read-only, deny write
    ReadWriteExclusive,       // read-write, exclusive
    WriteExclusiveCreate,     // write-only, exclusive, created when missing
    ReadWriteExclusiveCreate, // read-write, exclusive, created when missing
    ReadWriteSharedCreate,    // read-write, compatible sharing, created when missing
    Create,                   // created or truncated, read-write, exclusive
    CreateNew,                // created, read-write, exclusive; fails when the file exists
    ReadUnshared,             // read-only without a share-mode lock: kept open between reads
                              // that each take the byte-0 lock instead
};

enum class TSeekOrigin { Begin, Current, End };

// A file with one read/write buffer in front of it, line reading and writing, and byte
// range locks. Bytes written reach the file only when the buffer is flushed.
class TBufStream {
public:
    // Opens `fileName` as given (callers resolve the letter case); throws EFileError.
    TBufStream(const std::string& fileName, int bufSize, TOpenMode mode);
    ~TBufStream();
    TBufStream(const TBufStream&) = delete;
    TBufStream& operator=(const TBufStream&) = delete;

    const std::string& FileName() const { return FileName_; }
    // The name the file goes by after it was linked or renamed, for messages.
    void SetFileName(std::string name) { FileName_ = std::move(name); }

    // Bytes copied, fewer than asked at end of file.
    int64_t Read(void* buf, int64_t count);
    // Throws EFileError when fewer than `count` bytes are left.
    void ReadBuffer(void* buf, int64_t count);
    int64_t Write(const void* buf, int64_t count);
    void WriteBuffer(const void* buf, int64_t count) { Write(buf, count); }
    int64_t Seek(int64_t offset, TSeekOrigin origin);
    int64_t Position() const { return BufStart_ + BufPos_; }
    // The size of the file on disk, not counting buffered bytes past its end.
    int64_t Size() const;
    void SetSize(int64_t newSize);
    // The file's modification time in seconds since 1970; 0 when it cannot be told.
    time_t ModificationTime() const;
    void Flush();
    // Forgets what the buffer holds (after flushing it), so the next read sees the file as
    // it is now.
    void DropBuffer();
    // Forgets what the buffer holds without writing it: a change being undone must not
    // write its unflushed bytes after all.
    void DiscardBuffer();

    // Up to the next CR (LF is not a line end); one LF right after the CR is skipped.
    std::string ReadLine();
    void WriteLine(std::string_view text);

    // An fcntl open-file-description lock on a byte range, as tossers use on byte 0 of
    // JAM and Squish headers. Non-blocking; true on success.
    bool LockRange(int64_t offset, int64_t length, bool exclusive = true);
    bool UnlockRange(int64_t offset, int64_t length);

    // The last buffer fill read no byte. Seek and SetSize clear it, so a reader that goes
    // back can loop on it again.
    bool Eof = false;

private:
    void FillBuffer();
    [[noreturn]] void Fail(const char* what) const;

    std::string FileName_;
    int Fd_ = -1;
    std::vector<char> Buffer_;
    int64_t BufStart_ = 0;
    int64_t BufPos_ = 0;
    int64_t BufCount_ = 0;
    bool Dirty_ = false;
};

} // namespace tavro
