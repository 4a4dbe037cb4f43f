#include "compose/MsgIdSerial.h"

#include "core/BufStream.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace tavro;
using tavro::test::ReadFile;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace fs = std::filesystem;

namespace {

const TDateTime Written = EncodeDateTime(2024, 1, 5, 10, 3, 0);
constexpr uint32_t WrittenSerial = 1704448980;

TDateTime Later(int seconds) {
    return Written + seconds / 86400.0;
}

std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(MsgIdSerial, UnixSerialTimeCountsLocalSecondsModulo32Bits) {
    struct Case {
        TDateTime written;
        uint32_t serial;
    };
    const Case cases[] = {
        {EncodeDateTime(1970, 1, 1), 0},
        {Written, WrittenSerial},
        {EncodeDateTime(1969, 12, 31, 23, 59, 59), 0xFFFFFFFFu},
        {EncodeDateTime(2038, 1, 19, 3, 14, 8), 0x80000000u},
        {EncodeDateTime(2106, 2, 7, 6, 28, 15), 0xFFFFFFFFu},
        {EncodeDateTime(2106, 2, 7, 6, 28, 16), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatIsoDateTime(c.written));
        EXPECT_EQ(UnixSerialTime(c.written), c.serial);
    }
}

TEST(MsgIdSerial, SerialsRiseWithTimeAndNeverRepeat) {
    TTempDir dir;
    const std::string path = dir.File(TMsgIdSerials::FileName);
    struct Step {
        TDateTime written;
        uint32_t count;
        uint32_t first;
    };
    const Step steps[] = {
        {Written, 1, WrittenSerial},          // a new file
        {Written, 1, WrittenSerial + 1},      // the same second
        {Later(-3600), 1, WrittenSerial + 2}, // an earlier date
        {Later(10), 1, WrittenSerial + 10},   // time went past the last serial
        {Later(10), 5, WrittenSerial + 11},   // a block for the parts of a split message
        {Later(12), 0, WrittenSerial + 16},   // no count is one serial
        {Later(20), 3, WrittenSerial + 20},   //
        {Later(21), 1, WrittenSerial + 23},   // the block was reserved in full
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.first - WrittenSerial);
        // Every step through its own object: the file carries the state, not the object.
        TMsgIdSerials serials(path);
        EXPECT_EQ(serials.Next(step.written, step.count), step.first);
    }
    EXPECT_EQ(ReadFile(path), std::to_string(WrittenSerial + 23) + "\n");
}

TEST(MsgIdSerial, LastSerialWrapsAroundAfterTheHighest) {
    TTempDir dir;
    const std::string path = dir.File(TMsgIdSerials::FileName);
    WriteFile(path, "4294967294\n");
    TMsgIdSerials serials(path);
    EXPECT_EQ(serials.Next(Written, 3), 4294967295u);
    EXPECT_EQ(ReadFile(path), "1\n");
    EXPECT_EQ(serials.Next(Written), WrittenSerial);
}

TEST(MsgIdSerial, FileWithoutANumberCountsAsZero) {
    const std::string cases[] = {
        "",
        "\n",
        "garbage",
        "2000000000",   // cut before its newline
        "-5\n",         //
        "4294967296\n", // beyond 32 bits
        std::string(100000, '9'),
        std::string("\0\0\0\0", 4),
    };
    for (const std::string& content : cases) {
        SCOPED_TRACE(content.substr(0, 20));
        TTempDir dir;
        const std::string path = dir.File(TMsgIdSerials::FileName);
        WriteFile(path, content);
        TMsgIdSerials serials(path);
        EXPECT_EQ(serials.Next(Written), WrittenSerial);
        EXPECT_EQ(ReadFile(path), std::to_string(WrittenSerial) + "\n");
    }
}

TEST(MsgIdSerial, LeftoverAfterTheNumberIsIgnoredAndCut) {
    // What a crash between the write and the truncation leaves behind.
    TTempDir dir;
    const std::string path = dir.File(TMsgIdSerials::FileName);
    WriteFile(path, "1704449000\n4294\n");
    TMsgIdSerials serials(path);
    EXPECT_EQ(serials.Next(Written), 1704449001u);
    EXPECT_EQ(ReadFile(path), "1704449001\n");
}

TEST(MsgIdSerial, FileThatCannotBeUsedThrowsAndChangesNothing) {
    struct Case {
        const char* name;
        std::string (*prepare)(const TTempDir& dir);
    };
    const Case cases[] = {
        {"inside a missing directory",
         [](const TTempDir& dir) { return dir.File("missing/TavroMsgId.dat"); }},
        {"a directory",
         [](const TTempDir& dir) {
             fs::create_directory(dir.File("serials"));
             return dir.File("serials");
         }},
        {"below a regular file",
         [](const TTempDir& dir) {
             WriteFile(dir.File("plain"), "x");
             return dir.File("plain/TavroMsgId.dat");
         }},
        {"a pipe that cannot be read at an offset",
         [](const TTempDir& dir) {
             const std::string path = dir.File("fifo");
             EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
             return path;
         }},
        {"a full device", [](const TTempDir&) { return std::string("/dev/full"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string path = c.prepare(dir);
        const std::vector<std::string> before = Listing(dir.Path());
        TMsgIdSerials serials(path);
        try {
            serials.Next(Written);
            ADD_FAILURE() << "no error";
        } catch (const EFileError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            EXPECT_NE(e.Code, 0);
        }
        EXPECT_EQ(Listing(dir.Path()), before);
    }
}

TEST(MsgIdSerial, ReadOnlyDirectoryThrowsAndKeepsTheFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    TTempDir dir;
    const std::string sub = dir.File("ro");
    fs::create_directory(sub);
    chmod(sub.c_str(), 0500);
    TMsgIdSerials serials(sub + "/" + TMsgIdSerials::FileName);
    EXPECT_THROW(serials.Next(Written), EFileError);
    chmod(sub.c_str(), 0700);
    EXPECT_TRUE(fs::is_empty(sub));
}

TEST(MsgIdSerial, ProcessesWritingAtOnceGetDistinctSerials) {
    TTempDir dir;
    const std::string path = dir.File(TMsgIdSerials::FileName);
    constexpr int Children = 4;
    constexpr int Calls = 200; // alternately one and two serials
    std::vector<std::pair<pid_t, int>> children;
    for (int i = 0; i < Children; ++i) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            int status = 0;
            try {
                TMsgIdSerials serials(path);
                for (int call = 0; call < Calls; ++call) {
                    const uint32_t count = 1 + call % 2;
                    const uint32_t block[2] = {serials.Next(Written, count), count};
                    if (write(fds[1], block, sizeof block) != static_cast<ssize_t>(sizeof block))
                        status = 2;
                }
            } catch (...) {
                status = 3;
            }
            _exit(status);
        }
        close(fds[1]);
        children.emplace_back(pid, fds[0]);
    }
    std::vector<uint32_t> serials;
    for (auto [pid, fd] : children) {
        uint32_t block[2];
        while (read(fd, block, sizeof block) == static_cast<ssize_t>(sizeof block))
            for (uint32_t k = 0; k < block[1]; ++k)
                serials.push_back(block[0] + k);
        close(fd);
        int status = -1;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    // All written in the same second: one unbroken run from the written time on, each once.
    const uint32_t total = Children * (Calls / 2) * 3;
    std::vector<uint32_t> expected(total);
    std::iota(expected.begin(), expected.end(), WrittenSerial);
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, expected);
    EXPECT_EQ(ReadFile(path), std::to_string(WrittenSerial + total - 1) + "\n");
}
