#include "bases/FidoBase.h"
#include "bases/SquishBase.h"

#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/Endian.h"
#include "core/FileChangeHook.h"
#include "core/FileUtils.h"
#include "core/Readings.h"
#include "core/Settings.h"

#include "BaseHelpers.h"
#include "RecordingUi.h"
#include "TempDir.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavro;
using tavro::test::BodyTexts;
using tavro::test::Ids;
using tavro::test::TTempDir;

namespace {

// A stored message file: header fields given, the rest zero, then the raw text.
std::string RawMsg(std::string_view from, std::string_view text, uint16_t attr = 0, uint32_t dateWritten = 0,
                   std::string_view ftsDate = {}) {
    std::string header(FidoHeaderSize, '\0');
    std::copy(from.begin(), from.end(), header.begin());
    std::copy(ftsDate.begin(), ftsDate.end(), header.begin() + 144);
    PutLE32(&header[176], dateWritten);
    PutLE16(&header[186], attr);
    return header + std::string(text);
}

// Message files are created with the given names and contents.
void MakeFiles(const TTempDir& dir, std::initializer_list<std::pair<const char*, std::string>> files) {
    for (const auto& [name, data] : files)
        test::WriteFile(dir.File(name), data);
}

struct TOpenBase {
    explicit TOpenBase(const std::string& path, std::string echoTag = "", std::string netmailTag = "NETMAIL")
        : Ref(TBaseRef::Adopt(new TFidoBase(path, std::move(echoTag), std::move(netmailTag)))),
          Base(static_cast<TFidoBase*>(Ref.Get())) {
        Base->ChangeCheckInterval = std::chrono::milliseconds(0);
        Base->Rescan();
    }
    TFidoBase* operator->() const { return Base; }
    TBaseRef Ref;
    TFidoBase* Base;
};

// Writes a message with the given body into the base and answers its id.
TMsgId Post(TFidoBase& base, std::vector<std::string> body) {
    auto msg = base.NewMsg();
    msg->FromName = "Test Author";
    for (auto& line : body)
        msg->Body.emplace_back(std::move(line));
    EXPECT_TRUE(msg->Save());
    base.Rescan();
    return base.GetMsgId(base.GetCount() - 1);
}

// The names in `dir` that Tavro's temporaries start with, sorted.
std::vector<std::string> Temporaries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().starts_with(".tavro-"))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Dates a file `seconds` back.
void SetAge(const std::string& path, time_t seconds) {
    const time_t when = std::time(nullptr) - seconds;
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Installs a file-change hook for the scope.
struct THook {
    explicit THook(TFileChangeHook hook) { SetFileChangeHook(std::move(hook)); }
    ~THook() { SetFileChangeHook({}); }
    THook(const THook&) = delete;
    THook& operator=(const THook&) = delete;
};

} // namespace

TEST(FidoBase, ListsNumberedFilesInNumericOrder) {
    TTempDir dir;
    MakeFiles(dir, {{"1.msg", RawMsg("a", "")},
                    {"2.msg", RawMsg("b", "")},
                    {"10.msg", RawMsg("c", "")},
                    {"3.MSG", RawMsg("d", "")},
                    {"123456789012.msg", RawMsg("too long", "")},
                    {"readme.msg", "not a message"},
                    {"5.txt", "not a message"}});
    TOpenBase base(dir.Path());
    EXPECT_EQ(Ids(*base.Base), (std::vector<TMsgId>{1, 2, 3, 10}));
    EXPECT_EQ(base->GetMsg(2)->FromName, "d");
    EXPECT_EQ(base->GetMsg(4), nullptr);
    EXPECT_EQ(base->GetMsg(-1), nullptr);
    EXPECT_EQ(base->GetMsgId(4), NoMsgId);
    EXPECT_EQ(base->IndexOfId(10), 3);
    EXPECT_EQ(base->IndexOfId(4), -1);
    EXPECT_EQ(base->FindNearest(9), 2);
    EXPECT_EQ(base->FindNearest(0), 0);
    EXPECT_EQ(base->FindNearest(100), 3);
}

TEST(FidoBase, NoticesChangesButNotAStrayName) {
    TTempDir dir;
    MakeFiles(dir, {{"1.msg", RawMsg("a", "")}, {"readme.msg", "x"}});
    TOpenBase base(dir.Path());
    EXPECT_FALSE(base->IsChanged());
    EXPECT_FALSE(base->IsChanged());
    MakeFiles(dir, {{"2.msg", RawMsg("b", "")}});
    EXPECT_TRUE(base->IsChanged());
    base->Rescan();
    EXPECT_FALSE(base->IsChanged());
    std::filesystem::remove(dir.File("1.msg"));
    EXPECT_TRUE(base->IsChanged());
    base->Invalidate();
    base->Rescan();
    EXPECT_FALSE(base->IsChanged());
}

TEST(FidoBase, DirectoryIsFoundWithEitherSeparatorAndAnyCase) {
    TTempDir dir;
    std::filesystem::create_directory(dir.File("NetMail"));
    MakeFiles(dir, {{"NetMail/4.msg", RawMsg("x", "")}});
    for (std::string path : {dir.File("netmail"), dir.File("NETMAIL/"), dir.Path() + "\\NetMail\\"}) {
        test::TRecordingUi ui;
        TOpenBase base(path);
        EXPECT_EQ(base->GetCount(), 1) << path;
        EXPECT_TRUE(ui.Errors.empty()) << path;
    }
}

TEST(FidoBase, MissingDirectoryIsReportedAndListsNothing) {
    TTempDir dir;
    test::TRecordingUi ui;
    TOpenBase base(dir.File("gone"));
    ASSERT_EQ(ui.Errors.size(), 1u);
    EXPECT_EQ(ui.Errors[0], "Cannot access directory \"" + dir.File("gone/") + "\".");
    EXPECT_EQ(base->GetCount(), 0);
    EXPECT_FALSE(base->HasList());
    EXPECT_FALSE(base->HasUnread());
}

TEST(FidoBase, WrittenMessageReadsBackWhole) {
    TTempDir dir;
    TOpenBase base(dir.Path());
    const TCodePagePair& pages = base->CodePages;
    const std::string russian = pages.Display()->FromUtf8("Салют, всем");
    auto msg = base->NewMsg();
    msg->FromName = std::string(36, 'F'); // fills the field: no terminator
    msg->ToName = "Sysop";
    msg->Subject = russian;
    msg->FromAddr.Parse("2:5020/100.7");
    msg->ToAddr.Parse("2:5030/200");
    msg->DateWritten = EncodeDateTime(2024, 1, 5, 10, 3, 0);
    msg->DateArrived = EncodeDateTime(2024, 1, 6, 11, 4, 2);
    msg->Attr = atPvt | atLoc | atCra | atDIR;
    msg->Kludges = {"\x01INTL 2:5030/200 2:5020/100",
                    "\x01"
                    "FMPT 7",
                    "\x01MSGID: 2:5020/100.7 12345678",
                    "\x01"
                    "FLAGS DIR"};
    msg->Body = {{"Hello!"}, {russian}, {""}, {"--- Tavro"}, {" * Origin: here (2:5020/100.7)"}, {""}, {" "}};
    msg->Tail = {"SEEN-BY: 5020/1", "\x01PATH: 5020/1"};
    ASSERT_TRUE(msg->Save());
    // Trailing empty lines leave the caller's message too.
    EXPECT_EQ(msg->Body.size(), 5u);

    base->Rescan();
    ASSERT_EQ(Ids(*base.Base), (std::vector<TMsgId>{2})); // 1.msg is the tosser's
    TCustomMsg& read = *base->GetMsg(0);
    EXPECT_EQ(read.FromName, std::string(36, 'F'));
    EXPECT_EQ(read.ToName, "Sysop");
    EXPECT_EQ(read.Subject, russian);
    EXPECT_EQ(read.DateWritten, msg->DateWritten);
    EXPECT_EQ(read.DateArrived, EncodeDateTime(2024, 1, 6, 11, 4, 2));
    EXPECT_EQ(read.GetAttr(), atPvt | atLoc | atCra | atDIR);
    EXPECT_EQ(read.FromAddr.ToStr(), "2:5020/100.7");
    EXPECT_EQ(read.ToAddr.ToStr(), "2:5030/200");
    EXPECT_EQ(read.GetKludges(), msg->Kludges);
    EXPECT_EQ(BodyTexts(read), (std::vector<std::string>{"Hello!", russian, "", "--- Tavro",
                                                         " * Origin: here (2:5020/100.7)"}));
    EXPECT_EQ(read.GetTail(), msg->Tail);

    // The file holds OEM text, lines ended by CR, one zero byte at the end.
    std::string data = test::ReadFile(dir.File("2.msg"));
    ASSERT_GT(data.size(), FidoHeaderSize);
    EXPECT_EQ(GetLE16(&data[186]), 0x0001 | 0x0100 | 0x0002);
    EXPECT_EQ(data.substr(144, 20), std::string("05 Jan 24  10:03:00") + '\0');
    EXPECT_NE(data.find(pages.DisplayToOem(russian) + "\r"), std::string::npos);
    EXPECT_EQ(data.back(), '\0');
    EXPECT_EQ(data.substr(data.size() - 15), "\x01PATH: 5020/1\r" + std::string(1, '\0'));
}

TEST(FidoBase, TextIsCutAtZeroOrEndOfFile) {
    TTempDir dir;
    MakeFiles(dir, {{"1.msg", RawMsg("a", "one\rtwo\r\0after\r")},
                    {"2.msg", RawMsg("b", "one\r\ntwo")},
                    {"3.msg", RawMsg("c", "one\x1A two")},
                    {"4.msg", RawMsg("d", "")},
                    {"5.msg", RawMsg("e", "\x01MSGID: 1:2/3 4\r\x01"
                                          "FLAGS IMM\rtext\r\x01Via x\r")}});
    TOpenBase base(dir.Path());
    struct {
        std::vector<std::string> body;
    } expected[] = {{{"one", "two"}}, {{"one", "two"}}, {{"one"}}, {{}}, {{"text"}}};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(BodyTexts(*base->GetMsg(i)), expected[i].body) << i;
    TCustomMsg& last = *base->GetMsg(4);
    EXPECT_EQ(last.GetTail(), (TStringList{"\x01Via x"}));
    EXPECT_EQ(last.GetAttr(), atIMM);
    EXPECT_EQ(last.FromAddr.ToStr(), "1:2/3");
}

TEST(FidoBase, SoftCRIsDroppedOrKeptAsTheAreaSays) {
    TTempDir dir;
    MakeFiles(dir, {{"1.msg", RawMsg("a", "x\x8Dy\xE0\r")}});
    for (bool keep : {false, true}) {
        TOpenBase base(dir.Path());
        base->CodePages = TCodePagePair::Identity();
        base->DoNotIgnoreSoftCR = keep;
        EXPECT_EQ(BodyTexts(*base->GetMsg(0)), (std::vector<std::string>{keep ? "x\x8Dy\xE0" : "xy\xE0"}));
        // Writing the text back applies the same rule.
        auto copy = base->NewMsg();
        copy->Assign(base->GetMsg(0).get());
        ASSERT_TRUE(copy->Save());
        std::string data = test::ReadFile(dir.File("2.msg"));
        EXPECT_EQ(data.substr(FidoHeaderSize),
                  keep ? "x\x8Dy\xE0\r" + std::string(1, '\0') : "xyp\r" + std::string(1, '\0'));
        std::filesystem::remove(dir.File("2.msg"));
    }
}

TEST(FidoBase, HeaderDatesFallBack) {
    TTempDir dir;
    uint32_t valid = DateTimeToDosDateFirst(EncodeDateTime(2023, 3, 4, 5, 6, 8));
    MakeFiles(dir, {{"1.msg", RawMsg("dos", "", 0, valid, "01 Jan 99  00:00:00")},
                    {"2.msg", RawMsg("fts", "", 0, 0, "07 Feb 21  13:14:15")},
                    {"3.msg", RawMsg("none", "", 0, 0, "garbage")}});
    // Tossers that leave the arrival date out stored the file when the message arrived.
    struct timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.File("3.msg").c_str(), times, 0), 0);
    TOpenBase base(dir.Path());
    EXPECT_EQ(base->GetMsg(0)->DateWritten, EncodeDateTime(2023, 3, 4, 5, 6, 8));
    EXPECT_EQ(base->GetMsg(1)->DateWritten, EncodeDateTime(2021, 2, 7, 13, 14, 15));
    TDateTime before = Now();
    EXPECT_GE(base->GetMsg(2)->DateWritten, before - 1.0 / 86400);
    EXPECT_EQ(base->GetMsg(2)->DateArrived, UnixTimeToLocalDateTime(1700000000));
}

TEST(FidoBase, NewMessagesTakeTheNextFreeNumber) {
    struct {
        const char* name;
        std::vector<const char*> existing;
        std::vector<const char*> createdAfterListing;
        bool echomail;
        TMsgId expected;
        uint16_t highWaterMark = 0; // in 1.msg's reply-to word
    } cases[] = {
        {"after the highest", {"1.msg", "2.msg", "3.msg", "4.msg", "5.msg", "7.msg"}, {}, false, 8},
        {"empty netmail keeps 1.msg for the tosser", {}, {}, false, 2},
        {"netmail whose 1.msg came after the listing", {}, {"1.msg"}, false, 2},
        {"empty echomail keeps 1.msg for the tosser", {}, {}, true, 2},
        {"echomail high-water mark only", {"1.msg"}, {}, true, 2},
        {"leading zeros name the same number", {"1.msg", "02.msg"}, {}, false, 3},
        {"taken meanwhile, in any letter case", {"1.msg"}, {"2.MSG", "3.msg"}, false, 4},
        {"above the tosser's high-water mark", {"1.msg", "2.msg"}, {}, true, 41, 40},
        {"above the high-water mark in netmail too", {"1.msg", "2.msg"}, {}, false, 41, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        for (const char* name : c.existing)
            test::WriteFile(dir.File(name), RawMsg("x", ""));
        if (c.highWaterMark) {
            std::string mark = RawMsg("tosser", std::string(1, '\0'));
            PutLE16(&mark[184], c.highWaterMark);
            test::WriteFile(dir.File("1.msg"), mark);
        }
        TOpenBase base(dir.Path(), c.echomail ? "ECHO" : "", c.echomail ? "" : "NETMAIL");
        for (const char* name : c.createdAfterListing)
            test::WriteFile(dir.File(name), RawMsg("x", ""));
        EXPECT_EQ(Post(*base.Base, {"hi"}), c.expected);
        EXPECT_TRUE(test::FileExists(dir.File(std::to_string(c.expected) + ".msg")));
    }
}

TEST(FidoBase, AssignKeepsTheHeaderFieldsTheModelDoesNotCover) {
    std::string raw = RawMsg("a", "text\r");
    PutLE16(&raw[164], 3);  // times read
    PutLE16(&raw[170], 42); // cost
    PutLE16(&raw[184], 7);  // reply to
    PutLE16(&raw[188], 9);  // next reply
    for (bool sameBase : {true, false}) {
        SCOPED_TRACE(sameBase ? "same base" : "another base");
        TTempDir dir;
        std::filesystem::create_directory(dir.File("from"));
        std::filesystem::create_directory(dir.File("to"));
        MakeFiles(dir, {{"from/1.msg", raw}});
        TOpenBase source(dir.File("from")), other(dir.File("to"));
        TFidoBase& target = sameBase ? *source.Base : *other.Base;
        auto copy = target.NewMsg();
        copy->Assign(source->GetMsg(0).get());
        ASSERT_TRUE(copy->Save());
        // 1.msg's reply-to word is also where tossers keep their high-water mark.
        std::string data = test::ReadFile(dir.File(sameBase ? "from/8.msg" : "to/2.msg"));
        ASSERT_GE(data.size(), FidoHeaderSize);
        for (size_t offset : {164, 170})
            EXPECT_EQ(GetLE16(&data[offset]), GetLE16(&raw[offset])) << offset;
        // Reply numbers name files of the source's directory.
        for (size_t offset : {184, 188})
            EXPECT_EQ(GetLE16(&data[offset]), sameBase ? GetLE16(&raw[offset]) : 0) << offset;
    }
}

TEST(FidoBase, DamagedFilesFailClearly) {
    TTempDir dir;
    MakeFiles(dir, {{"1.msg", ""}, {"2.msg", std::string(189, 'x')}, {"3.msg", RawMsg("ok", "fine\r")}});
    TOpenBase base(dir.Path());
    EXPECT_THROW(base->GetMsg(0), EFileError);
    EXPECT_THROW(base->GetMsg(1), EFileError);
    EXPECT_EQ(BodyTexts(*base->GetMsg(2)), (std::vector<std::string>{"fine"}));

    // Gone between listing and reading: the header, then the text.
    MakeFiles(dir, {{"4.msg", RawMsg("x", "y\r")}, {"5.msg", RawMsg("z", "w\r")}});
    base->Rescan();
    TMsgHandle header = base->GetMsg(4);
    std::filesystem::remove(dir.File("4.msg"));
    std::filesystem::remove(dir.File("5.msg"));
    EXPECT_THROW(base->GetMsg(3), EFileError);
    EXPECT_THROW(header->GetBody(), EFileError);
}

TEST(FidoBase, HugeMessageIsReadOnlyInPart) {
    TTempDir dir;
    MakeFiles(dir, {{"1.msg", RawMsg("big", "first\r")}});
    // A sparse gigabyte of zero bytes after the text.
    ASSERT_EQ(truncate(dir.File("1.msg").c_str(), int64_t(1) << 30), 0);
    TOpenBase base(dir.Path());
    EXPECT_EQ(BodyTexts(*base->GetMsg(0)), (std::vector<std::string>{"first"}));
}

TEST(FidoBase, DeleteRemovesTheFile) {
    TTempDir dir;
    MakeFiles(dir, {{"1.msg", RawMsg("a", "")}, {"2.msg", RawMsg("b", "")}, {"3.msg", RawMsg("c", "")}});
    TOpenBase base(dir.Path());
    EXPECT_TRUE(base->DeleteMsg(2));
    EXPECT_FALSE(test::FileExists(dir.File("2.msg")));
    EXPECT_EQ(Ids(*base.Base), (std::vector<TMsgId>{1, 3}));
    EXPECT_EQ(base->GetMsg(1)->FromName, "c");
    EXPECT_FALSE(base->DeleteMsg(2));

    // A file another program holds exclusively stays, with the error box.
    test::TRecordingUi ui;
    auto holder = std::make_unique<TBufStream>(dir.File("3.msg"), 16, TOpenMode::ReadWriteExclusive);
    EXPECT_FALSE(base->DeleteMsg(3));
    EXPECT_EQ(ui.Errors, (std::vector<std::string>{"Can't open message base file."}));
    EXPECT_TRUE(test::FileExists(dir.File("3.msg")));
    holder.reset();
    EXPECT_TRUE(base->DeleteMsg(3));
}

TEST(FidoBase, LastReadPointerPerUser) {
    TTempDir dir;
    MakeFiles(dir, {{"1.msg", RawMsg("a", "")}});
    {
        TOpenBase base(dir.Path());
        base->SetUserIndex(3);
        EXPECT_EQ(base->GetLastRead(), 0u);
        base->SetLastRead(0x12345); // keeps the low 16 bits
        base->Close();
    }
    std::string data = test::ReadFile(dir.File("lastread"));
    EXPECT_EQ(data, std::string(6, '\0') + "\x45\x23");
    {
        TOpenBase base(dir.Path());
        base->SetUserIndex(3);
        EXPECT_EQ(base->GetLastRead(), 0x2345u);
        base->SetUserIndex(0);
        EXPECT_EQ(base->GetLastRead(), 0u);
        base->SetLastRead(1);
    } // destruction saves too
    EXPECT_EQ(test::ReadFile(dir.File("lastread")), std::string("\x01\0\0\0\0\0\x45\x23", 8));
}

TEST(FidoBase, ReadMarksOfWrittenAndReadMessagesPersist) {
    TTempDir dir;
    MakeFiles(dir, {{"1.msg", RawMsg("a", "")}, {"2.msg", RawMsg("b", "")}});
    {
        TOpenBase base(dir.Path());
        base->SetUserIndex(1);
        EXPECT_TRUE(base->HasUnread());
        base->SetRead(1, true);
        TMsgId written = Post(*base.Base, {"mine"});
        EXPECT_TRUE(base->IsRead(written));
        EXPECT_FALSE(base->IsRead(2));
    }
    TOpenBase base(dir.Path());
    base->SetUserIndex(1);
    EXPECT_TRUE(base->IsRead(1));
    EXPECT_FALSE(base->IsRead(2));
    EXPECT_TRUE(base->IsRead(3));
    base->SetUserIndex(2);
    EXPECT_FALSE(base->IsRead(1));
    EXPECT_EQ(ParseReadings(test::ReadFile(dir.File("readings"))).size(), 2u);
}

TEST(FidoBase, ScanFileGetsTheAreaTag) {
    TTempDir dir;
    std::filesystem::create_directory(dir.File("echo"));
    TOpenBase base(dir.File("echo"), "RU.TEST", "");
    TGlobalSettings settings;
    settings.EchoscanFile = dir.File("echotoss.log");
    base->ScanSettings = &settings;
    Post(*base.Base, {"hi"});
    EXPECT_EQ(test::ReadFile(dir.File("echotoss.log")), "RU.TEST\r\n");
}

TEST(FidoBase, WritesLeaveNoTemporaryAndSweepStaleOnes) {
    TTempDir dir;
    {
        TOpenBase base(dir.Path());
        for (int i = 0; i < 3; ++i)
            Post(*base.Base, {"message " + std::to_string(i)});
        EXPECT_EQ(Ids(*base.Base), (std::vector<TMsgId>{2, 3, 4}));
        EXPECT_TRUE(Temporaries(dir.Path()).empty());
    }
    const struct {
        const char* Name;
        bool Directory;
        time_t Age;
        bool Stays;
    } leftovers[] = {
        {".tavro-abc123.tmp", false, 2 * 3600, false}, // a Tavro died while writing
        {".tavro-def456.tmp", false, 0, true},         // another Tavro is writing
        {".tavro-x.txt", false, 2 * 3600, true},       // not ours
        {".tavro-ghi789.tmp", true, 2 * 3600, true},   // not a file
    };
    for (const auto& l : leftovers) {
        const std::string path = dir.File(l.Name);
        if (l.Directory)
            std::filesystem::create_directory(path);
        else
            test::WriteFile(path, "left");
        SetAge(path, l.Age);
    }
    TOpenBase base(dir.Path());
    Post(*base.Base, {"sweeps"});
    for (const auto& l : leftovers)
        EXPECT_EQ(test::FileExists(dir.File(l.Name)), l.Stays) << l.Name;
    EXPECT_EQ(Ids(*base.Base), (std::vector<TMsgId>{2, 3, 4, 5}));

    // The next sweep of the same base comes an hour later; another base sweeps at once.
    const std::string later = dir.File(".tavro-jkl012.tmp");
    test::WriteFile(later, "left");
    SetAge(later, 2 * 3600);
    Post(*base.Base, {"no sweep"});
    EXPECT_TRUE(test::FileExists(later));
    TOpenBase other(dir.Path());
    Post(*other.Base, {"sweeps again"});
    EXPECT_FALSE(test::FileExists(later));
}

TEST(FidoBase, NumberTakenOrLinkRefusedStoresTheMessageOnce) {
    const std::string theirs = RawMsg("theirs", "their text\r");
    struct TRule {
        TFileChange Change;
        const char* Suffix;
        int Code;
    };
    const struct {
        const char* Name;
        std::vector<TRule> Rules;
        bool TakeBeforeLink; // another program stores 2.msg just before Tavro links to it
        TMsgId Stored;       // 0: the write fails
    } cases[] = {
        {"plain", {}, false, 2},
        {"link refused by the file system", {{TFileChange::Link, "", EPERM}}, false, 2},
        {"link not supported", {{TFileChange::Link, "", ENOTSUP}}, false, 2},
        {"number taken before the link", {}, true, 3},
        {"number taken, then link refused", {{TFileChange::Link, "", EPERM}}, true, 3},
        {"link fails", {{TFileChange::Link, "", EIO}}, false, 0},
        {"disk full writing the temporary", {{TFileChange::Write, ".tmp", ENOSPC}}, false, 0},
        {"disk full writing without a link",
         {{TFileChange::Link, "", EPERM}, {TFileChange::Write, "/2.msg", ENOSPC}},
         false,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        MakeFiles(dir, {{"1.msg", RawMsg("first", "one\r")}});
        TOpenBase base(dir.Path());
        test::TRecordingUi ui;
        const std::string taken = dir.File("2.msg");
        THook hook([&](TFileChange change, const std::string& name) {
            if (c.TakeBeforeLink && change == TFileChange::Link && name == taken && !test::FileExists(taken))
                test::WriteFile(taken, theirs);
            for (const TRule& rule : c.Rules)
                if (rule.Change == change && name.ends_with(rule.Suffix))
                    return rule.Code;
            return 0;
        });
        auto msg = base->NewMsg();
        msg->Body = {{"mine"}};
        EXPECT_EQ(msg->Save(), c.Stored != 0);
        EXPECT_EQ(ui.Errors.size(), c.Stored != 0 ? 0u : 1u);
        SetFileChangeHook({});
        base->Rescan();
        std::vector<TMsgId> expected = {1};
        if (c.TakeBeforeLink)
            expected.push_back(2);
        if (c.Stored != 0)
            expected.push_back(c.Stored);
        EXPECT_EQ(Ids(*base.Base), expected);
        if (c.TakeBeforeLink) {
            EXPECT_EQ(test::ReadFile(taken), theirs);
        }
        if (c.Stored != 0) {
            EXPECT_EQ(BodyTexts(*base->GetMsg(base->IndexOfId(c.Stored))),
                      (std::vector<std::string>{"mine"}));
        }
        EXPECT_TRUE(Temporaries(dir.Path()).empty());
    }
}

TEST(FidoBase, NetmailFromAZonedBaseGainsZoneAndPointKludges) {
    // From 2:5020/100.FromPoint to 1:5030/200.ToPoint. The source carries "MSGID: <from> 1" when
    // asked, then `Kludges`; the copy has `Added` in front of them. Kludges without their ^A.
    const std::string intl = "INTL 1:5030/200 2:5020/100";
    const struct {
        const char* Name;
        bool Netmail; // the source is a netmail area, else echomail
        int FromPoint, ToPoint;
        bool MsgId;
        TStringList Kludges, Added;
    } cases[] = {
        {"points on both sides", true, 7, 1, true, {"PID: Tavro"}, {intl, "FMPT 7", "TOPT 1"}},
        {"no points", true, 0, 0, true, {}, {intl}},
        {"from a point", true, 7, 0, true, {}, {intl, "FMPT 7"}},
        {"to a point", true, 0, 3, true, {}, {intl, "TOPT 3"}},
        {"only the header has the addresses", true, 7, 1, false, {"PID: Tavro"}, {intl, "FMPT 7", "TOPT 1"}},
        {"its own INTL stays", true, 7, 1, false, {"INTL 3:1/2 4:3/4"}, {}},
        {"echomail", false, 7, 1, true, {}, {}},
    };
    auto address = [](const char* node, int point) {
        return std::string(node) + (point ? "." + std::to_string(point) : "");
    };
    auto withSoh = [](TStringList lines) {
        for (std::string& line : lines)
            line.insert(0, 1, '\x01');
        return lines;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string from = address("2:5020/100", c.FromPoint), to = address("1:5030/200", c.ToPoint);
        TStringList kludges = c.Kludges;
        if (c.MsgId)
            kludges.insert(kludges.begin(), "MSGID: " + from + " 1");
        TStringList expected = c.Added;
        expected.insert(expected.end(), kludges.begin(), kludges.end());

        TTempDir dir;
        TBaseRef squish = TBaseRef::Adopt(
            new TSquishBase(dir.File("area.sqd"), c.Netmail ? "" : "ECHO", c.Netmail ? "NETMAIL" : ""));
        ASSERT_TRUE(squish->CreateIfMissing());
        auto msg = squish->NewMsg();
        msg->FromAddr.Parse(from);
        msg->ToAddr.Parse(to);
        msg->Kludges = withSoh(kludges);
        msg->Body = {{"hi"}};
        ASSERT_TRUE(msg->Save());
        squish->Rescan();

        std::filesystem::create_directory(dir.File("netmail"));
        TOpenBase fido(dir.File("netmail"));
        auto copy = fido->NewMsg();
        copy->Assign(squish->GetMsg(0).get());
        ASSERT_TRUE(copy->Save());
        fido->Rescan();
        TCustomMsg& read = *fido->GetMsg(0);
        EXPECT_EQ(read.GetKludges(), withSoh(expected));
        // Zone and points come back from the added kludges.
        if (!c.Added.empty()) {
            EXPECT_EQ(read.FromAddr.ToStr(), from);
            EXPECT_EQ(read.ToAddr.ToStr(), to);
        }
    }
}

TEST(FidoBase, RescanOfAnUnlistableDirectoryKeepsTheList) {
    TTempDir dir;
    const std::string area = dir.File("area");
    std::filesystem::create_directory(area);
    MakeFiles(dir, {{"area/1.msg", RawMsg("a", "")}, {"area/2.msg", RawMsg("b", "")}});
    TOpenBase base(area);
    // Only a rescan or Invalidate can make the base look changed now.
    base->ChangeCheckInterval = std::chrono::hours(1);
    ASSERT_EQ(base->GetCount(), 2);
    EXPECT_FALSE(base->IsChanged());

    std::filesystem::remove_all(area);
    test::WriteFile(area, "not a directory");
    EXPECT_THROW(base->Rescan(), EFileError);
    EXPECT_EQ(Ids(*base.Base), (std::vector<TMsgId>{1, 2}));
    EXPECT_TRUE(base->HasList());
    EXPECT_TRUE(base->IsChanged());

    // A directory that is gone is an empty base, not an error.
    std::filesystem::remove(area);
    EXPECT_NO_THROW(base->Rescan());
    EXPECT_EQ(base->GetCount(), 0);
    EXPECT_FALSE(base->HasList());
}
