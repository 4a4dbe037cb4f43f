#pragma once

#include "BufStream.h"

#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tavro {

// Retry limits of the open routine, in milliseconds.
constexpr int OpenTimeoutMs = 500;
// Index, last-read and read-mark files.
constexpr int ShortOpenTimeoutMs = 200;

// Paths from configurations may use "\" as the separator.
std::string NormalizeSeparators(std::string_view path);

// The existing file or directory whose name matches `path` ignoring letter case, component
// by component, where the exact name does not exist. When only the last name has no match,
// the directories found and that name as given (a file about to be created); `path` itself
// when a directory has no match.
std::string ResolveCase(const std::string& path);

// The name of a file beside a base file: the last `suffix.size()` characters replaced by
// `suffix`, in the letter case of the name's last character ("x.SQD" -> "x.SQR").
std::string SiblingFileName(const std::string& baseFile, std::string_view suffix);

bool FileExists(const std::string& path);

// What tells that another program changed a file: its modification time (full precision)
// and size. A missing file has none.
struct TFileStamp {
    int64_t TimeNs = -1;
    int64_t Size = -1;
    bool operator==(const TFileStamp&) const = default;
};
TFileStamp FileStampOf(const std::string& path);
bool DirectoryExists(const std::string& path);

// DOS-style mask with "*" and "?", matched ignoring ASCII case.
bool MatchMask(std::string_view name, std::string_view mask);
// Names of the regular files in `dir` matching `mask`; empty when the directory cannot be
// read.
std::vector<std::string> ListFiles(const std::string& dir, std::string_view mask);
// The same for a listing that must not mistake a failure for an empty directory: a directory
// that cannot be read throws EFileError; a missing one lists nothing and sets `missing`.
std::vector<std::string> ListFilesOrThrow(const std::string& dir, std::string_view mask, bool& missing);

// Appends `data` to the end of the file, creating it when missing, in one write with
// O_APPEND: lines other programs append at the same moment are neither overwritten nor
// separated by a hole. Throws EFileError.
void AppendToFile(const std::string& fileName, std::string_view data);

// link(2), unlink(2) and rename(2) through the file-change hook; 0 or the errno value.
int LinkFile(const std::string& from, const std::string& to);
int UnlinkFile(const std::string& fileName);
int RenameFile(const std::string& from, const std::string& to);

// A file descriptor closed with its owner (a lock held on it goes with it).
class TFd {
public:
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd() {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Release() { return std::exchange(Fd, -1); }
    int Fd;
};

// The lock tossers take on byte 0 of a Squish or JAM header file while they change the base.
enum class TByteLock { None, Read, Write };

// Opens a file of a base or configuration, resolving its letter case and retrying until
// `timeoutMs` has passed while it is locked by another program; then the last error is
// thrown. Other failures (a missing file, no permission) are thrown at once. With a byte
// lock, the lock on byte 0 is part of the open and is held until the stream closes.
std::unique_ptr<TBufStream> OpenWithRetry(const std::string& fileName, TOpenMode mode, int bufSize,
                                          int timeoutMs = OpenTimeoutMs, TByteLock lock = TByteLock::None);

// The header file of a new Squish or JAM base: the directories it lies in are made, the file
// is created exclusively and its byte-0 lock taken, so no tosser reads it before it is
// complete. Null when the file exists already (another program made the base meanwhile).
std::unique_ptr<TBufStream> CreateLockedFile(const std::string& fileName, int bufSize);

// Writes a whole file through a temporary file in the same directory that is renamed over
// the old one, so a crash never leaves a half-written file. A new file gets `newMode` (less
// the umask), a replaced one keeps its permissions.
bool WriteFileAtomically(const std::string& fileName, std::string_view data, mode_t newMode = 0666);

// Files that belong together: every one is written to its temporary and synced before the
// first rename, and the renames follow each other in the given order. A failure leaves every
// old file (where the file system has hard links); only a crash between two renames can part
// them.
struct TFileContents {
    std::string Name;
    std::string_view Data;
};
bool WriteFilesAtomically(const std::vector<TFileContents>& files, mode_t newMode = 0666);
// The whole file, or false when it cannot be read.
bool ReadWholeFile(const std::string& fileName, std::string& data, size_t maxSize = SIZE_MAX);

} // namespace tavro
