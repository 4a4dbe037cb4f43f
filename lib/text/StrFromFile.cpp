#include "StrFromFile.h"

#include "core/ConfigDir.h"
#include "core/FileUtils.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavro {

namespace {

// A longer line is kept only this far: enough for any signature or greeting.
constexpr size_t MaxLineLength = 64 * 1024;

std::string FullName(const std::string& fileName) {
    const std::string name = NormalizeSeparators(fileName);
    if (!name.empty() && name.front() == '/')
        return name;
    return ConfigDir() + "/" + name;
}

bool IsRegularFile(const std::string& name) {
    struct stat st;
    return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::string ReadFileLine(const std::string& fileName, uint32_t number) {
    if (number == 0 || fileName.empty())
        return {};
    const std::string name = FullName(fileName);
    // Checked before opening, since opening some devices already acts on them.
    if (!IsRegularFile(name))
        return {};
    TFd file(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    if (file.Fd < 0 || ::fstat(file.Fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::string line;
    uint32_t current = 1;
    bool done = false;
    char chunk[16384];
    while (!done) {
        const ssize_t n = ::read(file.Fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        std::string_view rest(chunk, static_cast<size_t>(n));
        while (!rest.empty() && !done) {
            const size_t end = rest.find('\n');
            const std::string_view piece = rest.substr(0, end);
            if (current == number)
                line.append(piece.substr(0, MaxLineLength - std::min(line.size(), MaxLineLength)));
            if (end == std::string_view::npos)
                break;
            rest.remove_prefix(end + 1);
            done = current == number;
            ++current;
        }
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace tavro
