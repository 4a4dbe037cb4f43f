#include "ConfigLock.h"

#include "CfgStream.h"

#include "core/BufStream.h"

#include <chrono>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace tavro {

namespace {

// Byte 0: running programs share it, an import takes it alone. Byte 1: one save at a time.
constexpr int64_t RunByte = 0;
constexpr int64_t SaveByte = 1;
// A save takes milliseconds; this long is another program stuck, not saving.
constexpr auto SaveWait = std::chrono::seconds(5);

} // namespace

TConfigLock::TConfigLock(std::unique_ptr<TBufStream> file) : File(std::move(file)) {}

TConfigLock::~TConfigLock() = default;

std::unique_ptr<TConfigLock> TConfigLock::Take(const std::string& dir, TKind kind) {
    const std::string name = dir + "/tavro.lock";
    // Created private, as every file of the directory.
    if (const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600); fd >= 0)
        ::close(fd);
    std::unique_ptr<TBufStream> file;
    try {
        file = std::make_unique<TBufStream>(name, 16, TOpenMode::ReadWriteSharedCreate);
    } catch (const std::exception&) {
        throw EConfigError("cannot open \"" + name + "\"");
    }
    if (kind != TKind::Saving)
        return file->LockRange(RunByte, 1, kind == TKind::Importing)
                   ? std::unique_ptr<TConfigLock>(new TConfigLock(std::move(file)))
                   : nullptr;
    const auto deadline = std::chrono::steady_clock::now() + SaveWait;
    while (!file->LockRange(SaveByte, 1, true)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::unique_ptr<TConfigLock>(new TConfigLock(std::move(file)));
}

} // namespace tavro
