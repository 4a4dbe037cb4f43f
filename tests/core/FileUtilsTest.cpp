#include "core/FileUtils.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tavro;
using tavro::test::ReadFile;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace fs = std::filesystem;

TEST(FileUtils, NormalizeSeparators) {
    EXPECT_EQ(NormalizeSeparators("C:\\Fido\\Mail\\"), "C:/Fido/Mail/");
    EXPECT_EQ(NormalizeSeparators("/var/spool/ftn"), "/var/spool/ftn");
}

TEST(FileUtils, MatchMask) {
    struct Case {
        const char* name;
        const char* mask;
        bool matches;
    };
    const Case cases[] = {
        {"1.MSG", "*.msg", true},
        {"1.msg", "*.MSG", true},
        {"1.msgx", "*.msg", false},
        {"12.msg", "?.msg", false},
        {"2.msg", "?.msg", true},
        {"anything", "*", true},
        {"", "*", true},
        {"", "?", false},
        {"NODELIST.123", "nodelist.???", true},
        {"NODELIST.12", "nodelist.???", false},
        {"nodelist.z23", "NODELIST.*", true},
        {"NODELIST", "nodelist.*", true},
        {"README", "*.*", true},
        {"a.b.c", "*.c", true},
        {"abcabd", "*abd", true},
        {"abcab", "a*b*b", true},
        {"abcac", "a*b*b", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchMask(c.name, c.mask), c.matches) << c.name << " against " << c.mask;
}

class FileUtilsDir : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.File("Base/net"));
        WriteFile(dir.File("Base/Echo.SQD"), "sqd");
        WriteFile(dir.File("Base/net/1.msg"), "msg");
    }
    TTempDir dir;
};

TEST_F(FileUtilsDir, ResolveCase) {
    struct Case {
        std::string path;
        std::string resolved;
    };
    const Case cases[] = {
        {dir.File("Base/Echo.SQD"), dir.File("Base/Echo.SQD")},
        {dir.File("base/echo.sqd"), dir.File("Base/Echo.SQD")},
        {dir.File("BASE/NET/1.MSG"), dir.File("Base/net/1.msg")},
        {dir.File("BASE/NET/"), dir.File("Base/net/")},
        {dir.File("base//net/./1.Msg"), dir.File("Base//net/./1.msg")},
        // A file about to be created keeps its name in the directory that was found.
        {dir.File("base/Echo.SQI"), dir.File("Base/Echo.SQI")},
        {dir.File("nothere/echo.sqd"), dir.File("nothere/echo.sqd")},
        {dir.File("Base/Echo.SQD/x"), dir.File("Base/Echo.SQD/x")},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveCase(c.path), c.resolved) << c.path;
}

TEST_F(FileUtilsDir, ResolveCaseOfARelativePath) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir.Path());
    EXPECT_EQ(ResolveCase("base/NET/1.msg"), "Base/net/1.msg");
    EXPECT_EQ(ResolveCase("./BASE/echo.sqd"), "./Base/Echo.SQD");
    EXPECT_EQ(ResolveCase("Missing/1.msg"), "Missing/1.msg");
    fs::current_path(previous);
}

// Listings of directories are kept between look-ups; every change of a directory must
// still show in the next one.
TEST_F(FileUtilsDir, ResolveCaseSeesChangesAfterAnEarlierLookUp) {
    // Unchanged for an hour, as a tosser's directory between tosses.
    auto settle = [&] {
        fs::last_write_time(dir.File("Base"), fs::file_time_type::clock::now() - std::chrono::hours(1));
    };
    settle();
    EXPECT_EQ(ResolveCase(dir.File("base/echo.sqd")), dir.File("Base/Echo.SQD"));
    EXPECT_EQ(ResolveCase(dir.File("base/echo.sqi")), dir.File("Base/echo.sqi"));
    WriteFile(dir.File("Base/ECHO.SQI"), "created");
    EXPECT_EQ(ResolveCase(dir.File("base/echo.sqi")), dir.File("Base/ECHO.SQI"));
    settle();
    EXPECT_EQ(ResolveCase(dir.File("base/echo.sqi")), dir.File("Base/ECHO.SQI"));
    fs::rename(dir.File("Base/Echo.SQD"), dir.File("Base/eCHO.sqd"));
    EXPECT_EQ(ResolveCase(dir.File("base/echo.sqd")), dir.File("Base/eCHO.sqd"));
    // Another directory under the same name.
    settle();
    fs::rename(dir.File("Base"), dir.File("Old"));
    fs::create_directories(dir.File("Base"));
    WriteFile(dir.File("Base/Echo.sqd"), "new");
    settle();
    EXPECT_EQ(ResolveCase(dir.File("base/echo.sqd")), dir.File("Base/Echo.sqd"));
}

TEST_F(FileUtilsDir, ResolveCasePrefersTheSmallestOfSeveralVariants) {
    WriteFile(dir.File("Base/echo.sqd"), "lower");
    EXPECT_EQ(ResolveCase(dir.File("Base/ECHO.SQD")), dir.File("Base/Echo.SQD"));
    EXPECT_EQ(ResolveCase(dir.File("Base/echo.sqd")), dir.File("Base/echo.sqd"));
}

TEST_F(FileUtilsDir, ExistsAndListFiles) {
    EXPECT_TRUE(FileExists(dir.File("Base/Echo.SQD")));
    EXPECT_FALSE(FileExists(dir.File("Base")));
    EXPECT_FALSE(FileExists(dir.File("Base/echo.sqd")));
    EXPECT_TRUE(DirectoryExists(dir.File("Base")));
    EXPECT_FALSE(DirectoryExists(dir.File("Base/Echo.SQD")));

    WriteFile(dir.File("Base/net/2.MSG"), "");
    WriteFile(dir.File("Base/net/notes.txt"), "");
    fs::create_directory(dir.File("Base/net/3.msg"));
    fs::create_symlink("1.msg", dir.File("Base/net/4.msg"));
    fs::create_symlink("nowhere", dir.File("Base/net/5.msg"));
    EXPECT_EQ(ListFiles(dir.File("Base/net"), "*.msg"),
              (std::vector<std::string>{"1.msg", "2.MSG", "4.msg"}));
    EXPECT_TRUE(ListFiles(dir.File("Base/none"), "*").empty());
}

TEST_F(FileUtilsDir, OpenWithRetryResolvesTheCase) {
    auto stream = OpenWithRetry(dir.File("BASE/echo.sqd"), TOpenMode::Read, 64);
    EXPECT_EQ(stream->FileName(), dir.File("Base/Echo.SQD"));
    EXPECT_EQ(stream->ReadLine(), "sqd");

    auto created = OpenWithRetry(dir.File("base/Echo.SQL"), TOpenMode::ReadWriteExclusiveCreate, 64);
    EXPECT_EQ(created->FileName(), dir.File("Base/Echo.SQL"));
    EXPECT_TRUE(FileExists(dir.File("Base/Echo.SQL")));
}

TEST_F(FileUtilsDir, OpenWithRetryDoesNotWaitForAMissingFile) {
    try {
        OpenWithRetry(dir.File("Base/Echo.SQL"), TOpenMode::Read, 64, 60000);
        FAIL() << "a missing file must throw";
    } catch (const EFileError& e) {
        EXPECT_EQ(e.Code, ENOENT);
    }
}

TEST_F(FileUtilsDir, OpenWithRetryGivesUpWhileTheFileIsLocked) {
    TBufStream holder(dir.File("Base/Echo.SQD"), 64, TOpenMode::ReadWriteExclusive);
    for (TOpenMode mode : {TOpenMode::Read, TOpenMode::ReadWriteExclusive, TOpenMode::Create}) {
        try {
            OpenWithRetry(dir.File("Base/Echo.SQD"), mode, 64, 30);
            ADD_FAILURE() << "a locked file must throw";
        } catch (const EFileError& e) {
            EXPECT_EQ(e.Code, EWOULDBLOCK);
        }
    }
    EXPECT_EQ(ReadFile(dir.File("Base/Echo.SQD")), "sqd");
}

TEST_F(FileUtilsDir, OpenWithRetrySucceedsOnceTheLockIsGone) {
    auto holder = std::make_unique<TBufStream>(dir.File("Base/Echo.SQD"), 64, TOpenMode::ReadWriteExclusive);
    std::thread release([&holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        holder.reset();
    });
    std::unique_ptr<TBufStream> stream;
    EXPECT_NO_THROW(stream =
                        OpenWithRetry(dir.File("Base/Echo.SQD"), TOpenMode::ReadWriteExclusive, 64, 60000));
    release.join();
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->ReadLine(), "sqd");
}

TEST_F(FileUtilsDir, WriteFileAtomicallyReplacesTheFileAndKeepsItsMode) {
    const std::string name = dir.File("tavro.cfg");
    ASSERT_TRUE(WriteFileAtomically(name, "first"));
    EXPECT_EQ(ReadFile(name), "first");
    ASSERT_EQ(::chmod(name.c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomically(name, "second"));
    EXPECT_EQ(ReadFile(name), "second");
    struct stat st;
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    fs::create_symlink("tavro.cfg", dir.File("link.cfg"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("link.cfg"), "third"));
    EXPECT_TRUE(fs::is_symlink(dir.File("link.cfg")));
    EXPECT_EQ(ReadFile(name), "third");

    EXPECT_FALSE(WriteFileAtomically(dir.File("none/tavro.cfg"), "x"));
}

// A full disk, played by a file size limit: the old file stays and no temporary is left.
TEST_F(FileUtilsDir, WriteFileAtomicallyKeepsTheOldFileWhenWritingFails) {
    const std::string name = dir.File("Base/net/tavro.cfg");
    WriteFile(name, "old contents");
    struct rlimit previous;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = previous;
    small.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = WriteFileAtomically(name, std::string(1000, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFile(name), "old contents");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.File("Base/net")))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"1.msg", "tavro.cfg"}));
}

TEST_F(FileUtilsDir, ReadWholeFileWithASizeCap) {
    const std::string name = dir.File("data");
    WriteFile(name, std::string(100000, 'd'));
    std::string data = "unchanged";
    EXPECT_FALSE(ReadWholeFile(name, data, 99999));
    EXPECT_EQ(data, "unchanged");
    EXPECT_TRUE(ReadWholeFile(name, data, 100000));
    EXPECT_EQ(data.size(), 100000u);
    EXPECT_FALSE(ReadWholeFile(dir.File("missing"), data));
    EXPECT_FALSE(ReadWholeFile(dir.File("Base"), data));
    // Files without a size on disk are read to their end.
    EXPECT_TRUE(ReadWholeFile("/proc/self/status", data));
    EXPECT_NE(data.find("Name:"), std::string::npos);
}
