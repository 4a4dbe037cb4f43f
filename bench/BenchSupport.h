#pragma once

#include "core/Base.h"
#include "core/Msg.h"

#include "reader/MsgList.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tavro::bench {

// A typical echomail message, number i: names, addresses, a MSGID, 21 body lines, tail.
inline void FillTypicalMessage(TCustomMsg& msg, int i) {
    msg.FromName = "Author " + std::to_string(i % 97);
    msg.ToName = "All";
    msg.Subject = "Subject of message " + std::to_string(i);
    msg.FromAddr.Parse("2:5020/" + std::to_string(i % 1000));
    msg.DateWritten = msg.DateArrived = EncodeDateTime(2024, 1, 1 + i % 28, i % 24, i % 60, 0);
    msg.Kludges = {"\x01MSGID: 2:5020/1 " + std::to_string(i), "\x01PID: bench"};
    for (int line = 0; line < 20; ++line)
        msg.Body.emplace_back("Some text of a typical echomail message, line " + std::to_string(line));
    msg.Body.emplace_back(" * Origin: bench (2:5020/1)");
    msg.Tail = {"SEEN-BY: 5020/1 2 3", "\x01PATH: 5020/1"};
}

// Stores a typical message in the base; false when the base refused it.
[[nodiscard]] inline bool PostTypical(TCustomBase& base, int i) {
    auto msg = base.NewMsg();
    FillTypicalMessage(*msg, i);
    return msg->Save();
}

// What went wrong while making a benchmark's data: a figure measured on data that is not
// there would be a lie, so such a benchmark is skipped with the error.
class TSetup {
public:
    // Keeps the first failure: later ones usually follow from it.
    bool Require(bool ok, const std::string& what) {
        if (!ok && Error.empty())
            Error = what;
        return ok;
    }
    bool Failed() const { return !Error.empty(); }
    // False, with the benchmark marked as failed, when the set-up did not work.
    bool Ready(benchmark::State& state) const {
        if (Error.empty())
            return true;
        state.SkipWithError(Error.c_str());
        return false;
    }

private:
    std::string Error;
};

// Fills a base with `count` typical messages numbered from `first`.
inline bool PostTypical(TCustomBase& base, int first, int count, TSetup& setup) {
    for (int i = first; i < first + count; ++i)
        if (!setup.Require(PostTypical(base, i), "could not store message " + std::to_string(i)))
            return false;
    return true;
}

// CI runs every benchmark once in a reduced size: TAVRO_BENCH_SMOKE=1.
inline int Scaled(int full) {
    const char* smoke = std::getenv("TAVRO_BENCH_SMOKE");
    return smoke && *smoke == '1' ? std::max(1, full / 100) : full;
}

// Rows of the message list on a first screen.
constexpr int FirstScreenRows = 40;

// What the message list does to show a flat list at the last-read message: the list filled,
// the position, and the rows of a first screen around it.
inline void ShowFirstScreen(TCustomBase& base) {
    TMsgList list;
    list.Fill(&base, {}, false);
    const int count = list.Count();
    const int at = base.FindNearest(base.GetLastRead());
    const int first = std::clamp(at - FirstScreenRows / 2, 0, std::max(0, count - FirstScreenRows));
    for (int i = first; i < std::min(count, first + FirstScreenRows); ++i)
        benchmark::DoNotOptimize(list.Row(i).Subj);
}

// Reads a whole file into memory with plain read(2), the least that looking at all of it can
// cost; the bytes read, -1 on an error.
inline int64_t PlainRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    int64_t done = ::fstat(fd, &st) == 0 ? 0 : -1;
    if (done == 0) {
        std::unique_ptr<char[]> data(new char[static_cast<size_t>(st.st_size)]);
        while (done < st.st_size) {
            const ssize_t n = ::read(fd, data.get() + done, static_cast<size_t>(st.st_size - done));
            if (n <= 0)
                break;
            done += n;
        }
        benchmark::DoNotOptimize(data.get());
    }
    ::close(fd);
    return done;
}

// Reads a file from start to end through one small buffer, as a sequential walk over it
// would; the bytes read, -1 on an error.
inline int64_t PlainSequentialRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    static char buffer[65536];
    int64_t done = 0;
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        done += n;
    benchmark::DoNotOptimize(buffer);
    ::close(fd);
    return done;
}

// A scratch directory removed at exit of the scope.
class TScratchDir {
public:
    TScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavro-bench-XXXXXX").string();
        Path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    std::string Path;
};

} // namespace tavro::bench
