#include "MsgExport.h"

#include "core/Base.h"
#include "core/BufStream.h"
#include "core/CodePage.h"
#include "core/FileChangeHook.h"
#include "core/FileUtils.h"
#include "core/StrUtils.h"
#include "text/TemplateEngine.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavro {

namespace {

constexpr size_t FileNameLimit = 200;
constexpr std::string_view NameBreakers = "\"*/:<>?\\";

[[noreturn]] void Fail(const char* what, const std::string& fileName, int code) {
    throw EFileError(std::string(what) + " \"" + fileName + "\": " + std::strerror(code), code);
}

// Whether bytes are well-formed UTF-8, fed in pieces that may split a character.
class TUtf8Check {
public:
    void Add(std::string_view bytes) {
        for (unsigned char c : bytes) {
            if (!Valid)
                return;
            if (Need > 0) {
                Valid = c >= Low && c <= High;
                Low = 0x80, High = 0xBF;
                --Need;
            } else if (c >= 0x80) {
                Lead(c);
            }
        }
    }
    bool Complete() const { return Valid && Need == 0; }

private:
    // The bounds of the first continuation byte rule out overlong forms, surrogates and
    // characters past U+10FFFF.
    void Lead(unsigned char c) {
        if (c >= 0xC2 && c <= 0xDF)
            Need = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            Need = 2, Low = c == 0xE0 ? 0xA0 : 0x80, High = c == 0xED ? 0x9F : 0xBF;
        else if (c >= 0xF0 && c <= 0xF4)
            Need = 3, Low = c == 0xF0 ? 0x90 : 0x80, High = c == 0xF4 ? 0x8F : 0xBF;
        else
            Valid = false;
    }

    bool Valid = true;
    int Need = 0;
    unsigned char Low = 0x80, High = 0xBF;
};

// Reads the first `size` bytes of the file; false when they are not all UTF-8.
bool HoldsUtf8(int fd, int64_t size, const std::string& fileName) {
    TUtf8Check check;
    std::string chunk(64 * 1024, '\0');
    for (int64_t offset = 0; offset < size;) {
        const ssize_t n = ::pread(fd, chunk.data(), chunk.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fail("Cannot read file", fileName, errno);
        if (n == 0)
            break;
        check.Add(std::string_view(chunk.data(), static_cast<size_t>(n)));
        offset += n;
    }
    return check.Complete();
}

// Takes the file for this export alone. A device or pipe is no export file.
void TakeRegularFile(int fd, const std::string& fileName) {
    struct stat st;
    if (::fstat(fd, &st) != 0)
        Fail("Cannot open file", fileName, errno);
    if (!S_ISREG(st.st_mode))
        Fail("Cannot write to", fileName, EINVAL);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        Fail("File is in use", fileName, errno);
}

bool WriteAt(int fd, std::string_view data, int64_t offset) {
    while (!data.empty()) {
        const ssize_t n = ::pwrite(fd, data.data(), data.size(), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<size_t>(n));
        offset += n;
    }
    return true;
}

void SyncDirectoryOf(const std::string& fileName) {
    const std::string dir = std::filesystem::path(fileName).parent_path().string();
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::string ExportFileName(const std::string& subject) {
    std::string name = subject.substr(0, FileNameLimit);
    for (char& c : name)
        if (NameBreakers.find(c) != std::string_view::npos)
            c = '#';
    return name;
}

std::string WithTextExtension(std::string name, bool textFilter) {
    name = Trim(name);
    if (!textFilter)
        return name;
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    const bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    if (!hasDot || !EqualsNoCase(std::string_view(name).substr(dot), ".txt"))
        name += ".txt";
    return name;
}

TBodyLines TemplateLines(TCustomBase& base, const TEcho& area, const TTemplate& tpl, bool wrap,
                         bool withKludges, TCustomMsg& message) {
    std::unique_ptr<TCustomMsg> lines = base.NewMsg();
    ApplyTemplate(*lines, area, tpl, wrap, withKludges, &area, &message);
    return std::move(lines->Body);
}

// --- TExportFile ---

TExportFile::TExportFile(std::string path, TMode mode) : Path(std::move(path)), Mode(mode) {}

TExportFile::~TExportFile() {
    Close();
}

std::unique_ptr<TExportFile> TExportFile::Open(const std::string& path, bool append) {
    std::unique_ptr<TExportFile> file;
    try {
        if (append) {
            // Not blocking: a pipe without a reader would wait forever.
            const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                file.reset(new TExportFile(path, TMode::Append));
                file->OpenAppend(fd);
                return file;
            }
            if (errno != ENOENT)
                Fail("Cannot open file", path, errno);
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            Fail("Cannot create file", path, errno);
        file.reset(new TExportFile(path, fd >= 0 ? TMode::Create : TMode::Replace));
        if (fd >= 0)
            file->OpenCreate(fd);
        else
            file->OpenReplace();
    } catch (...) {
        if (file)
            file->Rollback();
        throw;
    }
    return file;
}

void TExportFile::OpenAppend(int fd) {
    Fd = fd;
    WriteName = Path;
    TakeRegularFile(Fd, Path);
    struct stat st;
    if (::fstat(Fd, &st) != 0)
        Fail("Cannot open file", Path, errno);
    OriginalLength = Length = st.st_size;
    if (!HoldsUtf8(Fd, Length, Path))
        Encoding_ = TEncoding::Oem;
}

void TExportFile::OpenCreate(int fd) {
    Fd = fd;
    WriteName = Path;
    TakeRegularFile(Fd, Path);
}

void TExportFile::OpenReplace() {
    // A link stays a link: what it names is replaced.
    std::error_code error;
    if (std::filesystem::is_symlink(Path, error))
        if (auto real = std::filesystem::canonical(Path, error); !error)
            Path = real.string();
    GuardFd = ::open(Path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (GuardFd < 0)
        Fail("Cannot open file", Path, errno);
    TakeRegularFile(GuardFd, Path);
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; attempt < 100 && Fd < 0; ++attempt) {
        const std::string temp =
            Path + "." + std::to_string(::getpid()) + "." + std::to_string(serial++) + ".tmp";
        Fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (Fd < 0 && errno != EEXIST)
            Fail("Cannot create file", temp, errno);
        if (Fd >= 0)
            WriteName = temp;
    }
    if (Fd < 0)
        Fail("Cannot create file", Path, EEXIST);
    struct stat st;
    if (::fstat(GuardFd, &st) == 0)
        ::fchmod(Fd, st.st_mode & 07777);
}

bool TExportFile::Write(const TBodyLines& lines) {
    if (Fd < 0 || Failed)
        return false;
    std::string data;
    for (const TBodyLine& line : lines) {
        if (Encoding_ == TEncoding::Utf8) {
            ActiveDisplayPage().AppendUtf8(data, line.Text);
            data += '\n';
        } else {
            data += ActiveCodePages().DisplayToOem(line.Text);
            data += "\r\n";
        }
    }
    if (RefusedFileChange(TFileChange::Write, WriteName) != 0 || !WriteAt(Fd, data, Length)) {
        Rollback();
        return false;
    }
    Length += static_cast<int64_t>(data.size());
    return true;
}

bool TExportFile::Close() {
    if (Fd < 0)
        return !Failed;
    if (!Finish()) {
        Rollback();
        return false;
    }
    Release();
    return true;
}

bool TExportFile::Finish() {
    if (::fsync(Fd) != 0)
        return false;
    if (Mode != TMode::Replace)
        return true;
    if (RenameFile(WriteName, Path) != 0)
        return false;
    SyncDirectoryOf(Path);
    return true;
}

void TExportFile::Rollback() {
    if (Mode == TMode::Append && Fd >= 0 && Length > OriginalLength && ::ftruncate(Fd, OriginalLength) != 0) {
        // Nothing else could put the old end back.
    }
    // Only a file this object made is removed.
    if (Mode != TMode::Append && !WriteName.empty())
        ::unlink(WriteName.c_str());
    Failed = true;
    Release();
}

void TExportFile::Release() {
    if (Fd >= 0)
        ::close(Fd);
    if (GuardFd >= 0)
        ::close(GuardFd);
    Fd = GuardFd = -1;
}

} // namespace tavro
