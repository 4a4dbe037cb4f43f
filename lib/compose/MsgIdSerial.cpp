#include "MsgIdSerial.h"

#include "core/BufStream.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tavro {

namespace {

// The file descriptor of the serial file; closing it releases the flock on every path.
class TSerialFile {
public:
    explicit TSerialFile(const std::string& path) : Path_(path) {
        Fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (Fd_ < 0)
            Fail("Cannot open");
        int rc;
        while ((rc = ::flock(Fd_, LOCK_EX)) < 0 && errno == EINTR) {
        }
        if (rc < 0) {
            const int code = errno;
            ::close(Fd_); // no destructor runs for a constructor that throws
            errno = code;
            Fail("Cannot lock");
        }
    }
    ~TSerialFile() {
        if (Fd_ >= 0)
            ::close(Fd_);
    }
    TSerialFile(const TSerialFile&) = delete;
    TSerialFile& operator=(const TSerialFile&) = delete;

    // The serial stored; 0 for a file that is empty or holds anything but a number.
    uint32_t ReadLast() {
        char buffer[32];
        ssize_t got;
        while ((got = ::pread(Fd_, buffer, sizeof buffer, 0)) < 0 && errno == EINTR) {
        }
        if (got < 0)
            Fail("Cannot read");
        const char* end = buffer + got;
        uint32_t value = 0;
        auto [next, ec] = std::from_chars(buffer, end, value);
        // A write cut short before its newline is not trusted either.
        if (ec != std::errc() || next == end || *next != '\n')
            return 0;
        return value;
    }

    void WriteLast(uint32_t value) {
        const std::string text = std::to_string(value) + "\n";
        ssize_t written;
        while ((written = ::pwrite(Fd_, text.data(), text.size(), 0)) < 0 && errno == EINTR) {
        }
        if (written < 0)
            Fail("Cannot write");
        if (static_cast<size_t>(written) != text.size()) {
            errno = ENOSPC;
            Fail("Cannot write");
        }
        if (::ftruncate(Fd_, static_cast<off_t>(text.size())) < 0 || ::fsync(Fd_) < 0)
            Fail("Cannot write");
    }

private:
    [[noreturn]] void Fail(const char* what) const {
        const int code = errno;
        throw EFileError(
            std::string(what) + " the MSGID serial file \"" + Path_ + "\": " + std::strerror(code), code);
    }

    const std::string& Path_;
    int Fd_ = -1;
};

} // namespace

uint32_t UnixSerialTime(TDateTime written) {
    using namespace std::chrono;
    const TDateTimeParts p = DecodeDateTime(written);
    const sys_days day = year(p.Year) / month(static_cast<unsigned>(p.Month)) / static_cast<unsigned>(p.Day);
    const int64_t seconds = static_cast<int64_t>(day.time_since_epoch().count()) * 86400 + p.Hour * 3600 +
                            p.Minute * 60 + p.Second;
    return static_cast<uint32_t>(seconds);
}

TMsgIdSerials::TMsgIdSerials(std::string path) : Path_(std::move(path)) {}

uint32_t TMsgIdSerials::Next(TDateTime written, uint32_t count) {
    if (count == 0)
        count = 1;
    TSerialFile file(Path_);
    const uint32_t last = file.ReadLast();
    const uint32_t time = UnixSerialTime(written);
    const uint32_t first = time > last ? time : last + 1;
    file.WriteLast(first + (count - 1));
    return first;
}

} // namespace tavro
