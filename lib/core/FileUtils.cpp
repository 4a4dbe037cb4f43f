#include "FileUtils.h"

#include "FileChangeHook.h"
#include "StrUtils.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace tavro {

static bool WriteAll(int fd, std::string_view data);

std::string NormalizeSeparators(std::string_view path) {
    std::string result(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

static bool PathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

namespace {

// Directory listings by ASCII-lowered name, kept while a directory stays unchanged: many
// areas share one directory, and each missing file of each area would otherwise read all
// of it. A listing of a directory changed in the last seconds is not kept, as its change
// time may not move again for the next change within the same clock tick.
class TDirNames {
public:
    // The entry equal to `name` ignoring ASCII case; the smallest such name when there are
    // several, so the choice does not depend on the directory order.
    bool Find(const std::string& dir, std::string_view name, std::string& found) {
        const std::string path = dir.empty() ? "." : dir;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0)
            return false;
        std::lock_guard<std::mutex> lock(Mutex);
        auto it = Dirs.find(path);
        if (it == Dirs.end() || !SameDir(it->second, st)) {
            TListing listing;
            if (!Read(path, st, listing))
                return false;
            if (!RecentlyChanged(st)) {
                if (Dirs.size() >= MaxDirs)
                    Dirs.clear();
                it = Dirs.insert_or_assign(path, std::move(listing)).first;
            } else {
                return Lookup(listing, name, found);
            }
        }
        return Lookup(it->second, name, found);
    }

private:
    static constexpr size_t MaxDirs = 256;
    struct TListing {
        dev_t Dev = 0;
        ino_t Ino = 0;
        timespec Changed{};
        std::unordered_map<std::string, std::string> Names;
    };

    static bool SameDir(const TListing& listing, const struct stat& st) {
        return listing.Dev == st.st_dev && listing.Ino == st.st_ino &&
               listing.Changed.tv_sec == st.st_mtim.tv_sec && listing.Changed.tv_nsec == st.st_mtim.tv_nsec;
    }
    static bool RecentlyChanged(const struct stat& st) {
        return std::abs(std::time(nullptr) - st.st_mtim.tv_sec) < 3;
    }
    static bool Read(const std::string& path, const struct stat& st, TListing& listing) {
        DIR* d = ::opendir(path.c_str());
        if (!d)
            return false;
        listing.Dev = st.st_dev;
        listing.Ino = st.st_ino;
        listing.Changed = st.st_mtim;
        while (dirent* entry = ::readdir(d)) {
            const std::string entryName = entry->d_name;
            auto [at, added] = listing.Names.try_emplace(LowerAscii(entryName), entryName);
            if (!added && entryName < at->second)
                at->second = entryName;
        }
        ::closedir(d);
        return true;
    }
    static std::string LowerAscii(std::string_view text) {
        std::string lower(text);
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        return lower;
    }
    static bool Lookup(const TListing& listing, std::string_view name, std::string& found) {
        auto it = listing.Names.find(LowerAscii(name));
        if (it == listing.Names.end())
            return false;
        found = it->second;
        return true;
    }

    std::mutex Mutex;
    std::unordered_map<std::string, TListing> Dirs;
};

bool FindNoCase(const std::string& dir, std::string_view name, std::string& found) {
    static TDirNames names;
    return names.Find(dir, name, found);
}

} // namespace

std::string ResolveCase(const std::string& path) {
    if (path.empty() || PathExists(path))
        return path;
    // `resolved` always ends with "/" or is empty (the current directory) before a name is added.
    std::string resolved;
    size_t pos = 0;
    for (;;) {
        size_t slash = path.find('/', pos);
        bool last = slash == std::string::npos;
        std::string_view part = std::string_view(path).substr(pos, last ? std::string::npos : slash - pos);
        if (!part.empty()) {
            std::string found;
            if (part == "." || part == ".." || PathExists(resolved + std::string(part)))
                resolved += part;
            else if (FindNoCase(resolved, part, found))
                resolved += found;
            else if (last)
                resolved += part; // a file about to be created keeps the name it was given
            else
                return path;
        }
        if (last)
            return resolved;
        resolved += '/';
        pos = slash + 1;
    }
}

std::string SiblingFileName(const std::string& baseFile, std::string_view suffix) {
    if (baseFile.size() < suffix.size())
        return baseFile + std::string(suffix);
    char last = baseFile.back();
    bool lower = last >= 'a' && last <= 'z';
    std::string result = baseFile.substr(0, baseFile.size() - suffix.size());
    for (char c : suffix)
        result += lower && c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return result;
}

TFileStamp FileStampOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, int64_t(st.st_size)};
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static bool MatchWildcards(std::string_view name, std::string_view mask) {
    size_t n = 0, m = 0;
    size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == '?' || UpperAscii(mask[m]) == UpperAscii(name[n]))) {
            ++m;
            ++n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

bool MatchMask(std::string_view name, std::string_view mask) {
    if (MatchWildcards(name, mask))
        return true;
    // As in DOS, "*.*" takes every name and "NAME.*" takes a NAME without an extension.
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" && name.find('.') == std::string_view::npos)
        return MatchWildcards(name, mask.substr(0, mask.size() - 2));
    return false;
}

namespace {

// Adds the regular files of an open directory that match `mask`; false on a read error.
bool CollectFiles(DIR* d, const std::string& dir, std::string_view mask, std::vector<std::string>& names) {
    for (;;) {
        errno = 0;
        dirent* entry = ::readdir(d);
        if (!entry)
            return errno == 0;
        std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !MatchMask(name, mask))
            continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
            regular = FileExists(dir + "/" + std::string(name));
        if (regular)
            names.emplace_back(name);
    }
}

} // namespace

std::vector<std::string> ListFiles(const std::string& dir, std::string_view mask) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return names;
    CollectFiles(d, dir, mask, names);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ListFilesOrThrow(const std::string& dir, std::string_view mask, bool& missing) {
    std::vector<std::string> names;
    missing = false;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) {
        const int code = errno;
        if (code == ENOENT) {
            missing = true;
            return names;
        }
        throw EFileError("Cannot list directory \"" + dir + "\": " + std::strerror(code), code);
    }
    const bool whole = CollectFiles(d, dir, mask, names);
    const int code = errno;
    ::closedir(d);
    if (!whole)
        throw EFileError("Cannot list directory \"" + dir + "\": " + std::strerror(code), code);
    std::sort(names.begin(), names.end());
    return names;
}

void AppendToFile(const std::string& fileName, std::string_view data) {
    auto fail = [&](int code) {
        throw EFileError("Cannot append to \"" + fileName + "\": " + std::strerror(code), code);
    };
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        fail(errno);
    int code = RefusedFileChange(TFileChange::Write, fileName);
    if (code == 0 && !WriteAll(fd, data))
        code = errno != 0 ? errno : EIO;
    ::close(fd);
    if (code != 0)
        fail(code);
}

int LinkFile(const std::string& from, const std::string& to) {
    if (int refused = RefusedFileChange(TFileChange::Link, to))
        return refused;
    return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int UnlinkFile(const std::string& fileName) {
    if (int refused = RefusedFileChange(TFileChange::Unlink, fileName))
        return refused;
    return ::unlink(fileName.c_str()) == 0 ? 0 : errno;
}

int RenameFile(const std::string& from, const std::string& to) {
    if (int refused = RefusedFileChange(TFileChange::Rename, from))
        return refused;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::unique_ptr<TBufStream> OpenWithRetry(const std::string& fileName, TOpenMode mode, int bufSize,
                                          int timeoutMs, TByteLock lock) {
    using Clock = std::chrono::steady_clock;
    const std::string name = ResolveCase(fileName);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        try {
            auto stream = std::make_unique<TBufStream>(name, bufSize, mode);
            if (lock != TByteLock::None && !stream->LockRange(0, 1, lock == TByteLock::Write))
                throw EFileError("\"" + name + "\" is locked by another program", EWOULDBLOCK);
            return stream;
        } catch (const EFileError& e) {
            // Only another program's lock goes away by waiting; a missing file or directory or
            // a refused permission would just delay every such open by the whole timeout.
            if (e.Code != EWOULDBLOCK && e.Code != EAGAIN && e.Code != EINTR)
                throw;
            auto now = Clock::now();
            if (now >= deadline)
                throw;
            // A short pause rather than spinning while another program holds the file.
            std::this_thread::sleep_for(
                std::min<Clock::duration>(std::chrono::milliseconds(10), deadline - now));
        }
    }
}

namespace {

// The old way, for file systems without hard links: created in place, then locked. Another
// program may open it in between and find it empty.
std::unique_ptr<TBufStream> CreateLockedInPlace(const std::string& fileName, int bufSize) {
    std::unique_ptr<TBufStream> file;
    try {
        file = std::make_unique<TBufStream>(fileName, bufSize, TOpenMode::CreateNew);
    } catch (const EFileError& e) {
        if (e.Code == EEXIST)
            return nullptr;
        throw;
    }
    if (!file->LockRange(0, 1, true))
        throw EFileError("\"" + fileName + "\" is locked by another program", EWOULDBLOCK);
    return file;
}

} // namespace

// The file is made and locked under a name of its own, then linked under its real name: no
// other program can open it before its creator holds the lock.
std::unique_ptr<TBufStream> CreateLockedFile(const std::string& fileName, int bufSize) {
    if (const auto parent = std::filesystem::path(fileName).parent_path(); !parent.empty())
        std::filesystem::create_directories(parent);
    static std::atomic<unsigned> serial{0};
    const std::string temp =
        fileName + "." + std::to_string(::getpid()) + "." + std::to_string(serial++) + ".new";
    auto file = std::make_unique<TBufStream>(temp, bufSize, TOpenMode::CreateNew);
    struct TUnlink {
        const std::string& Name;
        ~TUnlink() { ::unlink(Name.c_str()); }
    } dropTemp{temp};
    if (!file->LockRange(0, 1, true))
        throw EFileError("\"" + temp + "\" is locked by another program", EWOULDBLOCK);
    if (::link(temp.c_str(), fileName.c_str()) != 0) {
        const int code = errno;
        if (code == EEXIST)
            return nullptr;
        if (code != EPERM && code != EOPNOTSUPP && code != EXDEV)
            throw EFileError("Cannot create file \"" + fileName + "\": " + std::strerror(code), code);
        file.reset();
        return CreateLockedInPlace(fileName, bufSize);
    }
    file->SetFileName(fileName);
    return file;
}

static bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

static std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

// A file written whole: its temporary, written and synced, waits for the rename.
struct TPendingFile {
    std::string Target;
    std::string Temp;
};

// Writes `data` to a new temporary beside `fileName` (a link is followed to what it names),
// with the old file's permissions or `newMode` for a new one; false on any error, leaving
// nothing behind.
bool WriteTemporary(const std::string& fileName, std::string_view data, mode_t newMode,
                    TPendingFile& pending) {
    pending.Target = fileName;
    struct stat old;
    bool hadOld = ::lstat(fileName.c_str(), &old) == 0;
    if (hadOld && S_ISLNK(old.st_mode)) {
        // Replace what the link points at, not the link itself.
        if (char* real = ::realpath(fileName.c_str(), nullptr)) {
            pending.Target = real;
            std::free(real);
        }
        hadOld = ::stat(pending.Target.c_str(), &old) == 0;
    }
    static std::atomic<unsigned> counter{0};
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        pending.Temp =
            pending.Target + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
        fd = ::open(pending.Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newMode);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = RefusedFileChange(TFileChange::Write, pending.Temp) == 0 && WriteAll(fd, data);
    if (ok && hadOld && S_ISREG(old.st_mode))
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok)
        ::unlink(pending.Temp.c_str());
    return ok;
}

} // namespace

namespace {

// The old file under a second name while the new ones take their places; empty when there
// was none or the file system has no hard links.
std::string KeepOld(const std::string& target) {
    if (!FileExists(target))
        return {};
    const std::string old = target + "." + std::to_string(::getpid()) + ".old";
    ::unlink(old.c_str());
    return LinkFile(target, old) == 0 ? old : std::string();
}

} // namespace

bool WriteFilesAtomically(const std::vector<TFileContents>& files, mode_t newMode) {
    std::vector<TPendingFile> pending(files.size());
    auto removeTemps = [&](size_t from) {
        for (size_t k = from; k < pending.size(); ++k)
            ::unlink(pending[k].Temp.c_str());
    };
    for (size_t i = 0; i < files.size(); ++i) {
        if (!WriteTemporary(files[i].Name, files[i].Data, newMode, pending[i])) {
            pending.resize(i);
            removeTemps(0);
            return false;
        }
    }
    // Every file is complete on disk before the first one takes its place; the old ones stay
    // reachable until the last has, so a refused rename puts the earlier ones back.
    std::vector<std::string> olds;
    for (const TPendingFile& file : pending)
        olds.push_back(pending.size() > 1 ? KeepOld(file.Target) : std::string());
    for (size_t i = 0; i < pending.size(); ++i) {
        if (RenameFile(pending[i].Temp, pending[i].Target) != 0) {
            for (size_t k = 0; k < i; ++k) {
                if (!olds[k].empty())
                    ::rename(olds[k].c_str(), pending[k].Target.c_str());
                else if (pending.size() > 1)
                    ::unlink(pending[k].Target.c_str());
            }
            removeTemps(i);
            for (size_t k = i; k < olds.size(); ++k)
                if (!olds[k].empty())
                    ::unlink(olds[k].c_str());
            return false;
        }
    }
    for (const std::string& old : olds)
        if (!old.empty())
            ::unlink(old.c_str());
    // Make the renames themselves durable; a failure here leaves complete files either way.
    for (const TPendingFile& file : pending) {
        int dirFd = ::open(DirectoryOf(file.Target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
    }
    return true;
}

bool WriteFileAtomically(const std::string& fileName, std::string_view data, mode_t newMode) {
    return WriteFilesAtomically({{fileName, data}}, newMode);
}

bool ReadWholeFile(const std::string& fileName, std::string& data, size_t maxSize) {
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string result;
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        result.reserve(std::min(static_cast<size_t>(st.st_size), maxSize));
    // Files under /proc report no size, so read until the end rather than trusting st_size.
    char chunk[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (static_cast<size_t>(n) > maxSize - result.size()) {
            ok = false;
            break;
        }
        result.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    if (ok)
        data = std::move(result);
    return ok;
}

} // namespace tavro
