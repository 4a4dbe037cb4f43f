// Writing messages to a text file: the default name, the ".txt" rule, the template text,
// and the file itself: its encoding, its lock and what a failed write leaves.
#include "reader/MsgExport.h"

#include "config/Echo.h"
#include "config/Template.h"
#include "core/CodePage.h"

#include "BaseHelpers.h"
#include "ReaderBases.h"
#include "TempDir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tavro;
using tavro::test::ReadFile;
using tavro::test::Texts;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

std::string Display(const char* utf8) {
    return ActiveCodePages().Display()->FromUtf8(utf8);
}
std::string Oem(const char* utf8) {
    return ActiveCodePages().Oem()->FromUtf8(utf8);
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Files may grow only to `bytes` while it lives; a write past that fails with EFBIG, as on
// a full disk, after writing what fits.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &Previous);
        PreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = Previous;
        limit.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &Previous);
        std::signal(SIGXFSZ, PreviousHandler);
    }

private:
    struct rlimit Previous;
    void (*PreviousHandler)(int);
};

} // namespace

TEST(MsgExportTest, DefaultFileNameFromTheSubject) {
    const struct {
        std::string Subject, Name;
    } cases[] = {
        {"Re: a/b?", "Re# a#b#"},
        {"\"*/:<>?\\|.", "########|."},
        {Display("Отчёт за май"), Display("Отчёт за май")},
        {std::string(199, 'a') + "?tail", std::string(199, 'a') + "#"},
        {std::string(300, 'x'), std::string(200, 'x')},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportFileName(c.Subject), c.Name) << c.Subject;
}

TEST(MsgExportTest, TextFilterAddsTheExtension) {
    const struct {
        std::string Chosen;
        bool TextFilter;
        std::string Name;
    } cases[] = {
        {" notes ", true, "notes.txt"},
        {"notes.TXT", true, "notes.TXT"},
        {"notes.txt.bak", true, "notes.txt.bak.txt"},
        {"notes.text", true, "notes.text.txt"},
        {"dir.d/notes", true, "dir.d/notes.txt"},
        {"notes.", true, "notes..txt"},
        {" notes ", false, "notes"}, // any file: exactly the name
        {"notes.log", false, "notes.log"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithTextExtension(c.Chosen, c.TextFilter), c.Name) << c.Chosen << " " << c.TextFilter;
}

TEST(MsgExportTest, TemplateLinesOfAMessage) {
    TTempDir dir;
    TBaseRef base = test::MakeBase(btJam, dir, {{"Question", 0, "2:5020/1 1001"}});
    TMsgHandle message = base->GetMsg(0);
    const std::string longLine = "word " + std::string(60, 'w') + " " + std::string(60, 'v') + " end";
    message->GetBody() = {TBodyLine("Hello"), TBodyLine(longLine)};
    TEcho area;
    area.Name = "R50.SYSOP";
    TTemplate tpl;
    tpl.Lines = {"%QSubj in %QArea", "%QBody"};

    EXPECT_EQ(Texts(TemplateLines(*base, area, tpl, false, false, *message)),
              (std::vector<std::string>{"Question in R50.SYSOP", "Hello", longLine, ""}));
    EXPECT_EQ(
        Texts(TemplateLines(*base, area, tpl, false, true, *message)),
        (std::vector<std::string>{"Question in R50.SYSOP", "@MSGID: 2:5020/1 1001", "Hello", longLine, ""}));
    const TBodyLines printed = TemplateLines(*base, area, tpl, true, false, *message);
    EXPECT_GT(printed.size(), 4u); // the long line is wrapped
    EXPECT_EQ(printed[1].Text, "Hello");
    area.Flags &= ~efUseTemplate;
    EXPECT_TRUE(TemplateLines(*base, area, tpl, false, true, *message).empty());
    // The message the lines were made in is not stored.
    base->Rescan();
    EXPECT_EQ(base->GetCount(), 1);
}

TEST(MsgExportTest, NewFilesAreUtf8AndAppendKeepsTheFilesEncoding) {
    const std::string cyrillic = Display("Привет, мир");
    const struct {
        const char* Name;
        std::optional<std::string> Before; // none: no file
        bool Append;
        TExportFile::TEncoding Encoding;
        std::string Added;
    } cases[] = {
        {"new", std::nullopt, false, TExportFile::TEncoding::Utf8, "Привет, мир\nsecond\n"},
        {"append to a missing file", std::nullopt, true, TExportFile::TEncoding::Utf8,
         "Привет, мир\nsecond\n"},
        {"overwrite", Oem("Старый текст\r\n"), false, TExportFile::TEncoding::Utf8, "Привет, мир\nsecond\n"},
        {"append to UTF-8", std::string("Старый текст\n"), true, TExportFile::TEncoding::Utf8,
         "Привет, мир\nsecond\n"},
        {"append to ASCII", std::string("old text\r\n"), true, TExportFile::TEncoding::Utf8,
         "Привет, мир\nsecond\n"},
        {"append to an empty file", std::string(), true, TExportFile::TEncoding::Utf8,
         "Привет, мир\nsecond\n"},
        {"append to CP866", Oem("Старый текст\r\n"), true, TExportFile::TEncoding::Oem,
         Oem("Привет, мир\r\nsecond\r\n")},
        {"append to UTF-8 cut inside a character", std::string("Стар\xD1"), true, TExportFile::TEncoding::Oem,
         Oem("Привет, мир\r\nsecond\r\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        const std::string path = dir.File("export.txt");
        if (c.Before)
            WriteFile(path, *c.Before);
        auto file = TExportFile::Open(path, c.Append);
        EXPECT_EQ(file->Encoding(), c.Encoding);
        EXPECT_TRUE(file->Write({TBodyLine(cyrillic)}));
        EXPECT_TRUE(file->Write({TBodyLine("second")}));
        EXPECT_TRUE(file->Close());
        const std::string kept = c.Before && c.Append ? *c.Before : "";
        EXPECT_EQ(ReadFile(path), kept + c.Added);
        EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"export.txt"});
    }
}

TEST(MsgExportTest, OverwriteKeepsThePermissionsAndAFileNamedByALink) {
    TTempDir dir;
    const std::string real = dir.File("real.txt"), link = dir.File("link.txt");
    WriteFile(real, "old");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink("real.txt", link);
    auto file = TExportFile::Open(link, false);
    EXPECT_TRUE(file->Write({TBodyLine("new")}));
    EXPECT_TRUE(file->Close());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(real), "new\n");
    struct stat st;
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(MsgExportTest, AnOpenFileDeniesOtherWriters) {
    for (bool append : {true, false}) {
        SCOPED_TRACE(append);
        TTempDir dir;
        const std::string path = dir.File("export.txt");
        WriteFile(path, "old\n");
        auto file = TExportFile::Open(path, append);
        EXPECT_THROW(TExportFile::Open(path, true), EFileError);
        EXPECT_THROW(TExportFile::Open(path, false), EFileError);
        EXPECT_THROW(TBufStream(path, 16, TOpenMode::ReadWriteExclusive), EFileError);
        EXPECT_TRUE(file->Close());
        EXPECT_NO_THROW(TExportFile::Open(path, true)->Close());
    }
}

TEST(MsgExportTest, AFileThatCannotBeMadeThrows) {
    TTempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    // A pipe nobody reads must not make the export wait.
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    for (const std::string& path : {dir.File("missing/export.txt"), dir.File("folder"), dir.File("pipe")})
        for (bool append : {true, false})
            EXPECT_THROW(TExportFile::Open(path, append), EFileError) << path << " " << append;
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"folder", "pipe"}));
}

TEST(MsgExportTest, AWriteThatFailsPartWayLeavesTheFileAsItWas) {
    const struct {
        const char* Name;
        std::optional<std::string> Before;
        bool Append;
    } cases[] = {
        {"append to CP866", Oem("Старый текст\r\n"), true},
        {"append to UTF-8", std::string("Старый текст\n"), true},
        {"overwrite", std::string("old text\n"), false},
        {"new", std::nullopt, false},
    };
    const TBodyLines large(100, TBodyLine(Display("Длинная строка текста")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        const std::string path = dir.File("export.txt");
        if (c.Before)
            WriteFile(path, *c.Before);
        auto file = TExportFile::Open(path, c.Append);
        {
            TFileSizeLimit limit((c.Before && c.Append ? c.Before->size() : 0) + 100);
            EXPECT_TRUE(file->Write({TBodyLine("fits")}));
            EXPECT_FALSE(file->Write(large));
        }
        EXPECT_FALSE(file->Write({TBodyLine("more")}));
        EXPECT_FALSE(file->Close());
        if (c.Before) {
            EXPECT_EQ(ReadFile(path), *c.Before);
            EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"export.txt"});
        } else {
            EXPECT_TRUE(FilesIn(dir.Path()).empty());
        }
    }
}
