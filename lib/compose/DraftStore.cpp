#include "DraftStore.h"

#include "core/FileUtils.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace tavro {

namespace {

constexpr std::string_view DraftExt = ".draft";
constexpr std::string_view LockExt = ".lock";
// What a save's temporary adds to the draft's name (see WriteFileAtomically).
constexpr std::string_view TempInfix = ".draft.";
constexpr std::string_view TempExt = ".tmp";

std::string LockPath(const std::string& draft) {
    return draft + std::string(LockExt);
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int code) {
    throw EFileError(what + " \"" + path + "\"" + (code ? std::string(": ") + std::strerror(code) : ""),
                     code ? code : EIO);
}

// Lock files are only locked, never written, so read access is enough.
int OpenLock(const std::string& path, bool create) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
}

// Without waiting; false with errno set when another open file has it.
bool TryLock(int fd, int how) {
    while (::flock(fd, how | LOCK_NB) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

// Whether `path` still names the open file: a lock on a lock file deleted meanwhile guards
// nothing.
bool StillNamed(int fd, const std::string& path) {
    struct stat opened, named;
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// Names sort in the order the drafts were made.
std::string UniqueName() {
    static std::atomic<unsigned> counter{0};
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    char name[80];
    std::snprintf(name, sizeof name, "%020lld-%d-%u", static_cast<long long>(ns),
                  static_cast<int>(::getpid()), counter++);
    return name + std::string(DraftExt);
}

// The file's bytes, or false with the reason a whole draft cannot be had from it; no reason
// when the file is gone (another program restored and closed it meanwhile).
bool ReadDraftFile(const std::string& path, std::string& bytes, std::string& reason) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            reason = std::strerror(errno);
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > MaxDraftFileBytes) {
        reason = "the file is larger than any draft";
        return false;
    }
    if (ReadWholeFile(path, bytes, MaxDraftFileBytes))
        return true;
    const int code = errno;
    if (FileExists(path))
        reason = std::string("cannot be read: ") + std::strerror(code);
    return false;
}

// Adds the draft at `path` to the scan unless a composer holds it. It is read under a
// shared lock, so no composer takes it over in the middle.
void ScanDraft(const std::string& path, int32_t userId, TDraftScan& scan) {
    TFd lock(OpenLock(LockPath(path), false));
    // A lock file that cannot be opened may be held: its owner knows better.
    if (lock.Fd < 0 ? errno != ENOENT : !TryLock(lock.Fd, LOCK_SH))
        return;
    std::string bytes, reason;
    if (!ReadDraftFile(path, bytes, reason)) {
        if (!reason.empty())
            scan.Damaged.push_back(path + ": " + reason);
        return;
    }
    try {
        TDraft draft = DecodeDraft(bytes);
        if (draft.UserId == userId)
            scan.Drafts.push_back({path, std::move(draft)});
    } catch (const EDraftError& e) {
        scan.Damaged.push_back(path + ": " + e.what());
    }
}

// Deletes `leftover`, a file of the draft `draft` other than the draft itself, while holding
// the draft's lock: a composer that holds it may still need the file.
void RemoveIfFree(const std::string& draft, const std::string& leftover) {
    const std::string lockPath = LockPath(draft);
    TFd lock(OpenLock(lockPath, false));
    if (lock.Fd < 0 ? errno != ENOENT : !TryLock(lock.Fd, LOCK_EX))
        return;
    if (leftover == lockPath && (FileExists(draft) || !StillNamed(lock.Fd, lockPath)))
        return;
    UnlinkFile(leftover);
}

// Lock files without their draft (a composer gone before its first save) and temporaries of
// saves cut short by a crash.
void RemoveLeftovers(const std::string& folder) {
    const std::string lockSuffix = std::string(DraftExt) + std::string(LockExt);
    for (const std::string& name : ListFiles(folder, "*" + lockSuffix))
        if (name.ends_with(lockSuffix))
            RemoveIfFree(folder + "/" + name.substr(0, name.size() - LockExt.size()), folder + "/" + name);
    for (const std::string& name :
         ListFiles(folder, "*" + std::string(TempInfix) + "*" + std::string(TempExt))) {
        const size_t infix = name.find(TempInfix);
        if (infix != std::string::npos && name.ends_with(TempExt))
            RemoveIfFree(folder + "/" + name.substr(0, infix + DraftExt.size()), folder + "/" + name);
    }
}

} // namespace

std::string TDraftFile::Folder(const std::string& dir) {
    return dir + "/Drafts";
}

TDraftFile::TDraftFile(std::string path, int lockFd) : Path_(std::move(path)), LockFd(lockFd) {}

std::unique_ptr<TDraftFile> TDraftFile::Create(const std::string& dir) {
    const std::string folder = Folder(dir);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        Fail("Cannot create the folder", folder, errno);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = folder + "/" + UniqueName();
        const std::string lockPath = LockPath(path);
        TFd lock(::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (lock.Fd < 0) {
            if (errno == EEXIST)
                continue;
            Fail("Cannot create the draft lock", lockPath, errno);
        }
        // A scan takes a lock file without its draft for a leftover: it may have deleted this
        // one before it was locked.
        if (!TryLock(lock.Fd, LOCK_EX) || !StillNamed(lock.Fd, lockPath))
            continue;
        if (FileExists(path)) {
            ::unlink(lockPath.c_str());
            continue;
        }
        return std::unique_ptr<TDraftFile>(new TDraftFile(path, lock.Release()));
    }
    Fail("Cannot create a draft in", folder, EEXIST);
}

std::unique_ptr<TDraftFile> TDraftFile::Adopt(const std::string& path) {
    using Clock = std::chrono::steady_clock;
    const std::string lockPath = LockPath(path);
    // A scan of another program holds each lock for a moment while it reads the draft.
    const auto deadline = Clock::now() + std::chrono::milliseconds(ShortOpenTimeoutMs);
    for (;;) {
        TFd lock(OpenLock(lockPath, true));
        if (lock.Fd < 0)
            Fail("Cannot create the draft lock", lockPath, errno);
        if (TryLock(lock.Fd, LOCK_EX)) {
            if (StillNamed(lock.Fd, lockPath)) {
                if (FileExists(path))
                    return std::unique_ptr<TDraftFile>(new TDraftFile(path, lock.Release()));
                ::unlink(lockPath.c_str());
                return nullptr;
            }
        } else if (errno != EWOULDBLOCK) {
            Fail("Cannot lock", lockPath, errno);
        }
        if (Clock::now() >= deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

TDraftFile::~TDraftFile() {
    if (LockFd < 0)
        return;
    // Unlinked while still locked, so no scan mistakes it for another composer's.
    if (!FileExists(Path_))
        ::unlink(LockPath(Path_).c_str());
    ::close(LockFd);
}

void TDraftFile::Save(const TDraft& draft) {
    if (LockFd < 0)
        throw std::logic_error("a removed draft cannot be saved");
    const std::string bytes = EncodeDraft(draft);
    errno = 0;
    if (!WriteFileAtomically(Path_, bytes))
        Fail("Cannot save the draft", Path_, errno);
}

void TDraftFile::Remove() {
    if (LockFd < 0)
        return;
    // The draft goes first: a lock file without its draft offers nothing.
    if (int code = UnlinkFile(Path_); code != 0 && code != ENOENT)
        Fail("Cannot delete the draft", Path_, code);
    UnlinkFile(LockPath(Path_));
    ::close(LockFd);
    LockFd = -1;
}

TDraftScan FindLeftDrafts(const std::string& dir, int32_t userId) {
    TDraftScan scan;
    const std::string folder = TDraftFile::Folder(dir);
    bool missing = false;
    const std::vector<std::string> names = ListFilesOrThrow(folder, "*" + std::string(DraftExt), missing);
    for (const std::string& name : names)
        if (name.ends_with(DraftExt))
            ScanDraft(folder + "/" + name, userId, scan);
    if (!missing)
        RemoveLeftovers(folder);
    return scan;
}

} // namespace tavro
