#include "BufStream.h"

#include "FileChangeHook.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavro {

namespace {

struct TModeFlags {
    int OpenFlags;
    int LockOp; // 0: no share-mode lock
    bool Truncate;
};

TModeFlags FlagsOf(TOpenMode mode) {
    switch (mode) {
    case TOpenMode::Read:
        return {O_RDONLY, LOCK_SH, false};
    case TOpenMode::ReadWriteExclusive:
        return {O_RDWR, LOCK_EX, false};
    case TOpenMode::WriteExclusiveCreate:
        return {O_WRONLY | O_CREAT, LOCK_EX, false};
    case TOpenMode::ReadWriteExclusiveCreate:
        return {O_RDWR | O_CREAT, LOCK_EX, false};
    case TOpenMode::ReadWriteSharedCreate:
        return {O_RDWR | O_CREAT, 0, false};
    case TOpenMode::Create:
        return {O_RDWR | O_CREAT, LOCK_EX, true};
    case TOpenMode::ReadUnshared:
        return {O_RDONLY, 0, false};
    case TOpenMode::CreateNew:
        return {O_RDWR | O_CREAT | O_EXCL, LOCK_EX, false};
    }
    return {O_RDONLY, LOCK_SH, false};
}

std::string ErrorText(const char* what, const std::string& fileName, int code) {
    std::string text = std::string(what) + " \"" + fileName + "\"";
    if (code != 0)
        text += std::string(": ") + std::strerror(code);
    return text;
}

} // namespace

TBufStream::TBufStream(const std::string& fileName, int bufSize, TOpenMode mode)
    : FileName_(fileName), Buffer_(static_cast<size_t>(std::max(bufSize, 1))) {
    const TModeFlags flags = FlagsOf(mode);
    Fd_ = ::open(fileName.c_str(), flags.OpenFlags | O_CLOEXEC, 0666);
    if (Fd_ < 0)
        Fail("Cannot open file");
    if (flags.LockOp != 0 && ::flock(Fd_, flags.LockOp | LOCK_NB) != 0) {
        int code = errno;
        ::close(Fd_);
        Fd_ = -1;
        throw EFileError(ErrorText("File is in use", FileName_, code), code);
    }
    // Truncated only once the exclusive lock is held, so a file another copy has open
    // is never emptied under it.
    if (flags.Truncate && ::ftruncate(Fd_, 0) != 0) {
        int code = errno;
        ::close(Fd_);
        Fd_ = -1;
        throw EFileError(ErrorText("Cannot create file", FileName_, code), code);
    }
}

TBufStream::~TBufStream() {
    try {
        Flush();
    } catch (...) {
        // Nothing sensible is left to do with a write error while the stream goes away.
    }
    if (Fd_ >= 0)
        ::close(Fd_);
}

void TBufStream::Fail(const char* what) const {
    int code = errno;
    throw EFileError(ErrorText(what, FileName_, code), code);
}

void TBufStream::DiscardBuffer() {
    Dirty_ = false;
    BufStart_ += BufPos_;
    BufPos_ = 0;
    BufCount_ = 0;
}

void TBufStream::DropBuffer() {
    Flush();
    BufStart_ += BufPos_;
    BufPos_ = 0;
    BufCount_ = 0;
}

void TBufStream::Flush() {
    if (!Dirty_)
        return;
    const char* data = Buffer_.data();
    int64_t left = BufCount_;
    int64_t offset = BufStart_;
    while (left > 0) {
        if (int refused = RefusedFileChange(TFileChange::Write, FileName_)) {
            errno = refused;
            Fail("Cannot write file");
        }
        ssize_t n = ::pwrite(Fd_, data, static_cast<size_t>(left), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail("Cannot write file");
        }
        if (n == 0) {
            errno = EIO;
            Fail("Cannot write file");
        }
        data += n;
        left -= n;
        offset += n;
    }
    Dirty_ = false;
}

void TBufStream::FillBuffer() {
    Flush();
    BufStart_ += BufPos_;
    BufPos_ = 0;
    BufCount_ = 0;
    const int64_t size = static_cast<int64_t>(Buffer_.size());
    while (BufCount_ < size) {
        ssize_t n = ::pread(Fd_, Buffer_.data() + BufCount_, static_cast<size_t>(size - BufCount_),
                            BufStart_ + BufCount_);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail("Cannot read file");
        }
        if (n == 0)
            break;
        BufCount_ += n;
    }
    Eof = BufCount_ == 0;
}

int64_t TBufStream::Read(void* buf, int64_t count) {
    char* out = static_cast<char*>(buf);
    int64_t done = 0;
    while (count > 0) {
        if (BufPos_ < 0 || BufPos_ >= BufCount_) {
            FillBuffer();
            if (Eof)
                break;
        }
        int64_t n = std::min(BufCount_ - BufPos_, count);
        std::memcpy(out + done, Buffer_.data() + BufPos_, static_cast<size_t>(n));
        BufPos_ += n;
        done += n;
        count -= n;
    }
    return done;
}

void TBufStream::ReadBuffer(void* buf, int64_t count) {
    if (Read(buf, count) != count)
        throw EFileError(ErrorText("Unexpected end of file", FileName_, 0), 0);
}

int64_t TBufStream::Write(const void* buf, int64_t count) {
    const char* in = static_cast<const char*>(buf);
    const int64_t size = static_cast<int64_t>(Buffer_.size());
    int64_t done = 0;
    while (count > 0) {
        if (BufPos_ < 0 || BufPos_ > BufCount_ || BufPos_ >= size) {
            Flush();
            BufStart_ += BufPos_;
            BufCount_ = 0;
            BufPos_ = 0;
        }
        int64_t n = std::min(size - BufPos_, count);
        std::memcpy(Buffer_.data() + BufPos_, in + done, static_cast<size_t>(n));
        Dirty_ = true;
        BufPos_ += n;
        BufCount_ = std::max(BufCount_, BufPos_);
        done += n;
        count -= n;
    }
    return done;
}

int64_t TBufStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t target = offset;
    if (origin == TSeekOrigin::Current)
        target += Position();
    else if (origin == TSeekOrigin::End)
        target += Size();
    if (target < 0) {
        errno = EINVAL;
        Fail("Cannot seek in file");
    }
    BufPos_ = target - BufStart_;
    // A reader that seeks back must be able to read again.
    Eof = false;
    return target;
}

int64_t TBufStream::Size() const {
    struct stat st;
    if (::fstat(Fd_, &st) != 0)
        Fail("Cannot get the size of file");
    return st.st_size;
}

time_t TBufStream::ModificationTime() const {
    struct stat st;
    return ::fstat(Fd_, &st) == 0 ? st.st_mtim.tv_sec : 0;
}

void TBufStream::SetSize(int64_t newSize) {
    Flush();
    if (newSize < 0) {
        errno = EINVAL;
        Fail("Cannot set the size of file");
    }
    if (int refused = RefusedFileChange(TFileChange::Truncate, FileName_)) {
        errno = refused;
        Fail("Cannot set the size of file");
    }
    if (::ftruncate(Fd_, newSize) != 0)
        Fail("Cannot set the size of file");
    if (Position() > newSize)
        BufPos_ = newSize - BufStart_;
    BufCount_ = 0;
    Eof = false;
}

std::string TBufStream::ReadLine() {
    std::string line;
    for (;;) {
        if (BufPos_ < 0 || BufPos_ >= BufCount_) {
            FillBuffer();
            if (Eof)
                return line;
        }
        const char* start = Buffer_.data() + BufPos_;
        const size_t avail = static_cast<size_t>(BufCount_ - BufPos_);
        const char* cr = static_cast<const char*>(std::memchr(start, '\r', avail));
        if (!cr) {
            line.append(start, avail);
            BufPos_ = BufCount_;
            continue;
        }
        line.append(start, static_cast<size_t>(cr - start));
        BufPos_ += (cr - start) + 1;
        // The LF may lie in the next buffer; at end of file that fill sets Eof, so a last
        // line ending in a bare CR is not followed by an empty one.
        if (BufPos_ >= BufCount_) {
            FillBuffer();
            if (Eof)
                return line;
        }
        if (Buffer_[static_cast<size_t>(BufPos_)] == '\n')
            ++BufPos_;
        return line;
    }
}

void TBufStream::WriteLine(std::string_view text) {
    Write(text.data(), static_cast<int64_t>(text.size()));
    Write("\r\n", 2);
}

static bool SetRangeLock(int fd, short type, int64_t offset, int64_t length) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = length;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool TBufStream::LockRange(int64_t offset, int64_t length, bool exclusive) {
    return SetRangeLock(Fd_, exclusive ? F_WRLCK : F_RDLCK, offset, length);
}

bool TBufStream::UnlockRange(int64_t offset, int64_t length) {
    return SetRangeLock(Fd_, F_UNLCK, offset, length);
}

} // namespace tavro
