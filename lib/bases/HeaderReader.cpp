#include "HeaderReader.h"

#include "core/FileUtils.h"

#include <cerrno>
#include <chrono>
#include <thread>

namespace tavro {

TBufStream& THeaderReader::Acquire(const std::string& fileName) {
    if (!Stream || fileName != FileName) {
        Stream = OpenWithRetry(fileName, TOpenMode::ReadUnshared, BufSize);
        FileName = fileName;
    }
    // The same retry rule as opening a base file, with a short pause between tries.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(OpenTimeoutMs);
    while (!Stream->LockRange(0, 1, false)) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw EFileError("\"" + fileName + "\" is locked by another program", EWOULDBLOCK);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stream->DropBuffer();
    return *Stream;
}

void THeaderReader::Release() {
    if (Stream)
        Stream->UnlockRange(0, 1);
}

void THeaderReader::Reset() {
    Stream.reset();
    FileName.clear();
}

} // namespace tavro
