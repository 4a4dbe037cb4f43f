#include "IndexRead.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tavro {

int64_t ReadStraight(const std::string& fileName, int64_t offset, char* into, int64_t count) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, into + done, static_cast<size_t>(count - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            done = -1;
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
    return done;
}

TPieceReader::TPieceReader(const std::string& fileName, int64_t sizeHint)
    : FileName(fileName), Fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC)),
      Capacity(static_cast<size_t>(std::clamp<int64_t>(sizeHint, MinPieceSize, PieceSize))) {}

TPieceReader::~TPieceReader() {
    if (Fd >= 0)
        ::close(Fd);
}

const uint8_t* TPieceReader::Fill(int64_t offset, size_t count) {
    if (!Buffer)
        Buffer.reset(new uint8_t[Capacity]);
    Start = offset;
    Size = 0;
    while (Size < Capacity) {
        const ssize_t n = ::pread(Fd, Buffer.get() + Size, Capacity - Size, Start + int64_t(Size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EFileError("Cannot read file \"" + FileName + "\": " + std::strerror(errno), errno);
        if (n == 0)
            break;
        Size += static_cast<size_t>(n);
    }
    if (Size < count)
        throw EFileError("Unexpected end of file \"" + FileName + "\"", 0);
    return Buffer.get();
}

} // namespace tavro
