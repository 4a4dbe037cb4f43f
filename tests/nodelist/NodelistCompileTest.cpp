#include "nodelist/Nodelist.h"

#include "core/BufStream.h"

#include "NodelistHelpers.h"
#include "TempDir.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavro;
using tavro::test::Addresses;
using tavro::test::Lines;
using tavro::test::TTempDir;

namespace {

std::vector<std::string> FileNames(const TNodelistCompileReport& report) {
    std::vector<std::string> names;
    for (const TNodelistFileReport& file : report.Files)
        names.push_back(std::filesystem::path(file.Path).filename().string());
    return names;
}

void SetTime(const std::string& path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

int64_t ModifiedAt(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

// ",1,A,B,Sysop" padded with flags to exactly `size` bytes.
std::string LongLine(size_t size) {
    std::string line = ",1,A,B,Long_Sysop,1,300,";
    line.append(size - line.size(), 'X');
    return line;
}

} // namespace

// Nodelists are published with CR LF; unpacked or edited on Unix they end in LF, and a few
// old tools write bare CRs. Every entry must point at its own line.
TEST(NodelistCompile, LinesEndAtCrLfOrBoth) {
    const std::vector<std::string> lines = {
        "Zone,2,Z,Earth,Zone_Sysop,1,300", "Host,5020,H,Moscow,Host_Sysop,1,300",
        ",1,One,Moscow,Sysop_One,1,300", "", ",2,Two,Moscow,Sysop_Two,1,300"};
    auto joined = [&](std::initializer_list<const char*> ends) {
        std::string text;
        auto end = ends.begin();
        for (const std::string& line : lines) {
            text += line + *end;
            if (end + 1 != ends.end())
                ++end;
        }
        return text;
    };
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"LF", joined({"\n"})},
        {"CR", joined({"\r"})},
        {"CR LF", joined({"\r\n"})},
        {"mixed", joined({"\n", "\r", "\r\n", "\n\r", "\r\n"})},
        {"no end on the last line", joined({"\n"}).substr(0, joined({"\n"}).size() - 1)},
    };
    for (const auto& c : cases) {
        TTempDir dir;
        test::WriteFile(dir.File("nodelist.001"), c.text);
        TNodelistIndex index(dir.Path());
        ASSERT_TRUE(index.CompileNodelists({"nodelist.*"}).Ok()) << c.what;
        index.LoadNodelistIndex();
        EXPECT_EQ(Addresses(index),
                  (std::vector<std::string>{"2:2/0.0", "2:5020/0.0", "2:5020/1.0", "2:5020/2.0"}))
            << c.what;
        std::vector<std::string> sysops;
        for (const TNodeEntry& e : index.Entries())
            sysops.push_back(index.GetNodeField(e, 4));
        EXPECT_EQ(sysops, (std::vector<std::string>{"Zone Sysop", "Host Sysop", "Sysop One", "Sysop Two"}))
            << c.what;
        EXPECT_EQ(index.ReadNodeLine(index.Entries()[2]), ",1,One,Moscow,Sysop One,1,300") << c.what;
    }
}

// The compiler reads 16 KiB at a time and a look-up 512 bytes: a CR LF split between two
// reads is one line end, and a line longer than a read comes back whole.
TEST(NodelistCompile, LineEndsAndLinesAcrossReadBoundaries) {
    for (size_t crAt : {size_t(16383), size_t(16384)}) {
        TTempDir dir;
        std::string text = "Zone,2,Z,E,S,1,300\r\nHost,5020,H,M,S,1,300\r\n";
        std::string pad = ",1,A,B,Padding,1,300,";
        pad.append(crAt - text.size() - pad.size(), 'X');
        text += pad + "\r\n";
        ASSERT_EQ(text[crAt], '\r');
        test::WriteFile(dir.File("nodelist.001"), text + ",2,A,B,After_Split,1,300\r\n");
        // The line count shows whether the LF was taken for a line of its own.
        test::WriteFile(dir.File("nodelist.002"), text + ",x,Bad,B,C,1,300\r\n");
        TNodelistIndex index(dir.Path());
        const TNodelistCompileReport report = index.CompileNodelists({"nodelist.*"});
        ASSERT_EQ(report.Files.size(), 2u);
        EXPECT_EQ(report.Files[1].Line, 4) << crAt;
        index.LoadNodelistIndex();
        ASSERT_EQ(Addresses(index),
                  (std::vector<std::string>{"2:2/0.0", "2:5020/0.0", "2:5020/1.0", "2:5020/2.0"}))
            << crAt;
        EXPECT_EQ(index.ReadNodeLine(index.Entries()[2]).size(), pad.size()) << crAt;
        EXPECT_EQ(index.GetNodeField(index.Entries()[3], 4), "After Split") << crAt;
    }
}

// A file that fails is listed with its time (so that mending it is noticed) and gives no
// entries; the report says where and why.
TEST(NodelistCompile, AFailingFileIsReportedWithItsLineAndReason) {
    const std::string zone = "Zone,2,Z,E,S,1,300";
    const struct {
        const char* what;
        std::string text;
        int64_t line;
        const char* reason;
    } cases[] = {
        {"bad number", Lines({zone, ",1,A,B,C,1,300", ",x1,Bad,B,C,1,300"}), 3,
         "\"x1\" is not a decimal number"},
        {"number out of range", Lines({zone, "Host,70000,H,M,S,1,300"}), 2, "out of range"},
        {"bad Boss", Lines({"Boss,2:5020", ",1,P,M,S,-,300"}), 1, "Boss address \"2:5020\""},
        {"Boss without a net", Lines({"Boss,0:0/1", ",1,P,M,S,-,300"}), 1, "Boss address"},
        {"empty Boss", Lines({";points", "Boss", ",1,P,M,S,-,300"}), 2, "Boss address"},
        {"line over 64 KiB", Lines({zone, LongLine(MaxNodeLineLength + 1), ",2,A,B,C,1,300"}), 2,
         "longer than 65536"},
        {"line over 64 KiB without an end", zone + "\n" + LongLine(MaxNodeLineLength + 1), 2,
         "longer than 65536"},
        {"no zone and no fallback", Lines({";regional list", "Host,5020,H,M,S,1,300", ",1,A,B,C,1,300"}), 2,
         "no Zone line"},
    };
    for (const auto& c : cases) {
        TTempDir dir;
        test::WriteFile(dir.File("nodelist.bad"), c.text);
        test::WriteFile(dir.File("nodelist.good"), Lines({"Zone,3,Z,E,S,1,300"}));
        TNodelistIndex index(dir.Path());
        const TNodelistCompileReport report = index.CompileNodelists({"nodelist.*"});
        ASSERT_TRUE(report.Ok()) << c.what;
        ASSERT_EQ(report.Files.size(), 2u) << c.what;
        const TNodelistFileReport& bad = report.Files[0];
        EXPECT_EQ(bad.Path, dir.File("nodelist.bad"));
        EXPECT_TRUE(bad.Failed) << c.what;
        EXPECT_EQ(bad.Line, c.line) << c.what;
        EXPECT_NE(bad.Reason.find(c.reason), std::string::npos) << c.what << ": " << bad.Reason;
        EXPECT_EQ(bad.Entries, 0u) << c.what;
        EXPECT_EQ(report.FailedFiles(), 1u);
        EXPECT_EQ(report.CompiledFiles(), 1u);
        index.LoadNodelistIndex();
        EXPECT_EQ(Addresses(index), (std::vector<std::string>{"3:3/0.0"})) << c.what;
        EXPECT_FALSE(index.NodelistsChanged()) << c.what;
    }
}

TEST(NodelistCompile, ALineOfExactly64KiBIsTaken) {
    TTempDir dir;
    const std::string line = LongLine(MaxNodeLineLength);
    test::WriteFile(dir.File("nodelist.1"), Lines({"Zone,2,Z,E,S,1,300", "Host,5020,H,M,S,1,300", line}));
    TNodelistIndex index(dir.Path());
    ASSERT_FALSE(index.CompileNodelists({"nodelist.1"}).Files.at(0).Failed);
    index.LoadNodelistIndex();
    ASSERT_EQ(index.Entries().size(), 3u);
    EXPECT_EQ(index.ReadNodeLine(index.Entries()[2]).size(), line.size());
    EXPECT_EQ(index.GetNodeField(index.Entries()[2], 4), "Long Sysop");
}

TEST(NodelistCompile, AMendedFileIsCompiledAtTheNextCheck) {
    TTempDir dir;
    const std::string list = dir.File("nodelist.001");
    test::WriteFile(list, Lines({"Zone,2,Z,E,S,1,300", "Host,50x20,H,M,S,1,300", ",1,A,B,C,1,300"}));
    SetTime(list, 1000000);
    TNodelistIndex index(dir.Path());
    ASSERT_TRUE(index.CompileNodelists({"nodelist.*"}).Files.at(0).Failed);
    EXPECT_FALSE(index.NodelistsChanged());

    test::WriteFile(list, Lines({"Zone,2,Z,E,S,1,300", "Host,5020,H,M,S,1,300", ",1,A,B,C,1,300"}));
    SetTime(list, 2000000);
    EXPECT_TRUE(index.NodelistsChanged());
    const TNodelistCompileReport report = index.CompileNodelists({"nodelist.*"});
    EXPECT_FALSE(report.Files.at(0).Failed) << report.Files[0].Reason;
    EXPECT_EQ(report.Files[0].Entries, 3u);
    index.LoadNodelistIndex();
    EXPECT_EQ(Addresses(index), (std::vector<std::string>{"2:2/0.0", "2:5020/0.0", "2:5020/1.0"}));
}

// Regional lists and old pointlists start at their Host line.
TEST(NodelistCompile, AFileWithoutZoneTakesTheFallbackZoneAndSaysSo) {
    TTempDir dir;
    test::WriteFile(dir.File("points.5020"),
                    Lines({";Points of net 5020", "Host,5020,Moscow,Moscow,Host_Sysop,1,300",
                           ",1,Boss_node,Moscow,Boss_Sysop,1,300", "Point,7,Pnt,Moscow,Point_Sysop,-,300"}));
    test::WriteFile(dir.File("nodelist.123"), Lines({"Zone,1,Z,E,S,1,300", "Host,100,H,M,S,1,300"}));
    TNodelistIndex index(dir.Path());
    const TNodelistCompileReport report =
        index.CompileNodelists({"nodelist.*", "points.*"}, {2, "the netmail area \"NETMAIL\""});
    ASSERT_EQ(report.Files.size(), 2u);
    EXPECT_TRUE(report.Files[0].Notes.empty()); // it has its Zone line
    const TNodelistFileReport& points = report.Files[1];
    EXPECT_FALSE(points.Failed) << points.Reason;
    EXPECT_EQ(points.Notes, (std::vector<std::string>{"line 2 comes before any Zone line: zone 2 is taken "
                                                      "from the netmail area \"NETMAIL\""}));
    index.LoadNodelistIndex();
    EXPECT_EQ(Addresses(index),
              (std::vector<std::string>{"1:1/0.0", "1:100/0.0", "2:5020/0.0", "2:5020/1.0", "2:5020/1.7"}));
}

// The program's timer compiles every ten seconds while something is wrong: whatever a file
// does, the others are compiled and the call returns.
TEST(NodelistCompile, AnyExceptionFailsItsFileOnly) {
    TTempDir dir;
    for (const char* name : {"nodelist.a", "nodelist.b", "nodelist.c"})
        test::WriteFile(dir.File(name), Lines({"Zone,2,Z,E,S,1,300"}));
    TNodelistIndex index(dir.Path());
    const TNodelistCompileReport report =
        index.CompileNodelists({"nodelist.*"}, {}, [](int, const std::string& name) -> bool {
            if (name == "nodelist.b")
                throw std::runtime_error("out of something");
            return true;
        });
    ASSERT_TRUE(report.Ok());
    ASSERT_EQ(report.Files.size(), 3u);
    EXPECT_TRUE(report.Files[1].Failed);
    EXPECT_EQ(report.Files[1].Reason, "out of something");
    EXPECT_EQ(report.CompiledFiles(), 2u);
    EXPECT_EQ(report.Entries(), 2u);
}

TEST(NodelistCompile, AFileThatCannotBeOpenedIsReportedWithoutALine) {
    TTempDir dir;
    test::WriteFile(dir.File("nodelist.1"), Lines({"Zone,1,Z,E,S,1,300"}));
    test::WriteFile(dir.File("nodelist.2"), Lines({"Zone,2,Z,E,S,1,300"}));
    // Another program writing the list holds it exclusively.
    const int fd = ::open(dir.File("nodelist.1").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    TNodelistIndex index(dir.Path());
    const TNodelistCompileReport report = index.CompileNodelists({"nodelist.*"});
    ::close(fd);
    ASSERT_EQ(report.Files.size(), 2u);
    EXPECT_TRUE(report.Files[0].Failed);
    EXPECT_EQ(report.Files[0].Line, 0);
    EXPECT_EQ(report.Files[0].Reason, "the file is in use by another program");
    EXPECT_FALSE(report.Files[1].Failed);
}

TEST(NodelistCompile, MasksSkipHiddenFilesAndTheIndexFiles) {
    TTempDir dir;
    for (const char* name : {"a.lst", ".hidden", ".NODELIST.001", "Tavro.ndx.1234.0.tmp", "tavro.NLS.99.old",
                             "Tavro.ndx.7.old", "Tavro.ndxa", "z.lst"})
        test::WriteFile(dir.File(name), Lines({"Zone,2,Z,E,S,1,300"}));
    TNodelistIndex index(dir.Path());
    ASSERT_TRUE(index.CompileNodelists({"*"}).Ok()); // makes Tavro.ndx and Tavro.nls
    const TNodelistCompileReport report = index.CompileNodelists({"*", ".NODELIST.*"});
    EXPECT_EQ(FileNames(report), (std::vector<std::string>{"Tavro.ndxa", "a.lst", "z.lst"}));
}

TEST(NodelistCompile, MasksThatFindNothingAreReported) {
    TTempDir dir;
    test::WriteFile(dir.File("nodelist.1"), Lines({"Zone,2,Z,E,S,1,300"}));
    test::WriteFile(dir.File("plain"), "");
    std::filesystem::create_directory(dir.File("sub"));
    TNodelistIndex index(dir.Path());
    const TNodelistCompileReport report =
        index.CompileNodelists({"nodelist.*", "points.*", "missing/x.*", "sub/*", "plain/x", " "});
    ASSERT_TRUE(report.Ok());
    EXPECT_EQ(report.CompiledFiles(), 1u);
    const struct {
        const char* mask;
        std::string reason;
    } expected[] = {
        {"points.*", "no file matches it"},
        {"missing/x.*", "its directory " + dir.File("missing") + " does not exist"},
        {"sub/*", "no file matches it"},
        {"plain/x", "its directory cannot be read: Not a directory"},
    };
    ASSERT_EQ(report.Masks.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(report.Masks[i].Mask, expected[i].mask);
        EXPECT_EQ(report.Masks[i].Reason, expected[i].reason);
    }
}

// The timer compiles whenever the index is empty or a file changed; rewriting the same
// index every time would wear the disk and wake whoever watches the files.
TEST(NodelistCompile, AnUnchangedIndexIsNotRewritten) {
    TTempDir dir;
    const std::string list = dir.File("nodelist.1");
    test::WriteFile(list, Lines({"Zone,2,Z,E,S,1,300", ",1,A,B,C,1,300"}));
    SetTime(list, 1000000);
    TNodelistIndex index(dir.Path());
    EXPECT_TRUE(index.CompileNodelists({"nodelist.*"}).Rewritten);
    const std::string ndx = dir.File("Tavro.ndx"), nls = dir.File("Tavro.nls");
    SetTime(ndx, 5000);
    SetTime(nls, 5000);

    TNodelistCompileReport report = index.CompileNodelists({"nodelist.*"});
    EXPECT_TRUE(report.Ok());
    EXPECT_FALSE(report.Rewritten);
    EXPECT_EQ(ModifiedAt(ndx), 5000);
    EXPECT_EQ(ModifiedAt(nls), 5000);

    // A new time alone changes the list only; both are written together.
    SetTime(list, 2000000);
    report = index.CompileNodelists({"nodelist.*"});
    EXPECT_TRUE(report.Rewritten);
    EXPECT_NE(ModifiedAt(ndx), 5000);
    EXPECT_NE(ModifiedAt(nls), 5000);
    EXPECT_FALSE(index.NodelistsChanged());

    // Nothing found: an empty index replaces the old one.
    report = index.CompileNodelists({"none.*"});
    EXPECT_TRUE(report.Rewritten);
    EXPECT_EQ(test::ReadFile(ndx), "");
}

TEST(NodelistCompile, IndexFilesThatCannotBeWrittenAreReported) {
    TTempDir dir;
    test::WriteFile(dir.File("nodelist.1"), Lines({"Zone,2,Z,E,S,1,300"}));
    test::WriteFile(dir.File("file"), "");
    TNodelistIndex index(dir.File("file/sub"));
    const TNodelistCompileReport report = index.CompileNodelists({dir.File("nodelist.1")});
    EXPECT_FALSE(report.Ok());
    EXPECT_FALSE(report.Rewritten);
    EXPECT_NE(report.WriteError.find(dir.File("file/sub")), std::string::npos) << report.WriteError;
    EXPECT_EQ(report.CompiledFiles(), 1u);
}
