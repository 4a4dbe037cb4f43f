#include "compose/Draft.h"
#include "compose/DraftStore.h"

#include "core/BufStream.h"

#include "FileFaults.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tavro;
using tavro::test::ReadFile;
using tavro::test::Snapshot;
using tavro::test::TFileChangeFault;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace fs = std::filesystem;

// The largest single allocation, to tell that a damaged count or length is refused before
// anything is allocated for it. The sanitizers bring their own allocator.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAVRO_TRACK_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define TAVRO_TRACK_ALLOCATIONS 0
#endif
#endif
#ifndef TAVRO_TRACK_ALLOCATIONS
#define TAVRO_TRACK_ALLOCATIONS 1
#endif

namespace {
std::atomic<size_t> LargestAllocation{0};
} // namespace

#if TAVRO_TRACK_ALLOCATIONS
#if defined(__GNUC__) && !defined(__clang__)
// The replacements pair malloc with free; inlined into the library's calls GCC takes them for
// a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(size_t size) {
    size_t largest = LargestAllocation.load();
    while (size > largest && !LargestAllocation.compare_exchange_weak(largest, size)) {
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
#endif

namespace {

// Written independently of the library's table: the draft's checksum must be plain CRC-32.
uint32_t Crc32(std::string_view bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

// The bytes with their checksum made right again, so a change reaches the fields' checks.
std::string Resealed(std::string bytes) {
    bytes.resize(bytes.size() - 4);
    return bytes + Le32(Crc32(bytes));
}

std::string Patched32(std::string bytes, size_t at, uint32_t value) {
    bytes.replace(at, 4, Le32(value));
    return Resealed(bytes);
}

// A reply in Cyrillic (CP866 bytes), with empty lines, a quote, bytes that are line ends
// elsewhere, and template line tags.
TDraft FullDraft() {
    TDraft d;
    d.UserId = 3;
    d.AreaTag = "SU.GENERAL";
    d.SourceAreaTag = "RU.FIDONET";
    d.Mode = TDraftMode::Quote;
    d.AnsweredId = 4711;
    d.EditedId = 0;
    d.Reply = "2:5020/52 6a7f0c21";
    d.Attr = 0x80000101u;
    d.Origin = "\x8f\xe0\xa8\xa2\xa5\xe2 \xa8\xa7 \x8c\xae\xe1\xaa\xa2\xeb"; // Привет из Москвы
    d.FromName = "\x88\xa2\xa0\xad \x8f\xa5\xe2\xe0\xae\xa2";                // Иван Петров
    d.FromAddr = "2:5020/52.1";
    d.ToName = "All";
    d.ToAddr = "";
    d.Subject = "Re: \x8f\xe0\xa8\xa2\xa5\xe2";
    d.Lines = {
        "\x8f\xe0\xa8\xa2\xa5\xe2, All!", "",    " AP> quoted\ttext", "", "", std::string("a\rb\nc\0d", 7),
        std::string(300, '\xdb'),         "--- "};
    d.LineTags = {1, 0, -7, 0, 0, 2'000'000'000, 0, 5};
    d.DateWritten = 45296.4375123;
    return d;
}

TDraft ShortDraft(int32_t user, const std::string& text) {
    TDraft d;
    d.UserId = user;
    d.AreaTag = "NETMAIL";
    d.Lines = {text};
    d.LineTags = {0};
    return d;
}

} // namespace

TEST(DraftFormat, EveryFieldComesBackByteExact) {
    const TDraft draft = FullDraft();
    EXPECT_EQ(DecodeDraft(EncodeDraft(draft)), draft);
    for (int m = 0; m <= static_cast<int>(TDraftMode::Contact); ++m) {
        TDraft d = draft;
        d.Mode = static_cast<TDraftMode>(m);
        EXPECT_EQ(DecodeDraft(EncodeDraft(d)).Mode, d.Mode);
    }
    const TDraft empty;
    EXPECT_EQ(DecodeDraft(EncodeDraft(empty)), empty);
    TDraft extremes = empty;
    extremes.UserId = std::numeric_limits<int32_t>::min();
    extremes.AnsweredId = extremes.EditedId = extremes.Attr = 0xFFFFFFFFu;
    extremes.DateWritten = -693593.999;
    extremes.Lines = {""};
    extremes.LineTags = {std::numeric_limits<int>::min()};
    EXPECT_EQ(DecodeDraft(EncodeDraft(extremes)), extremes);
}

// Drafts written by an earlier build must still read: the layout is fixed for version 1.
TEST(DraftFormat, VersionOneLayoutIsFixed) {
    TDraft d;
    d.UserId = -2;
    d.AreaTag = "A";
    d.Mode = TDraftMode::Edit;
    d.AnsweredId = 5;
    d.EditedId = 6;
    d.Reply = "R";
    d.Attr = 0x10;
    d.Subject = "S";
    d.Lines = {"\x8f", ""};
    d.LineTags = {9, 0};
    d.DateWritten = 1.5; // 0x3FF8000000000000
    std::string expected = "Tavro draft 1\n";
    expected += '\x07';
    expected += Le32(0xFFFFFFFEu) + Le32(5) + Le32(6) + Le32(0x10) + Le32(0) + Le32(0x3FF80000);
    expected += Le32(1) + "A" + Le32(0) + Le32(1) + "R" + Le32(0) + Le32(0) + Le32(0) + Le32(0) + Le32(0);
    expected += Le32(1) + "S";
    expected += Le32(2) + Le32(9) + Le32(1) + "\x8f" + Le32(0) + Le32(0);
    expected += Le32(Crc32(expected));
    EXPECT_EQ(EncodeDraft(d), expected);
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
}

// A torn write or a power cut leaves a prefix of the file: never a shorter draft.
TEST(DraftFormat, EveryCutIsAnError) {
    const std::string bytes = EncodeDraft(FullDraft());
    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_THROW(DecodeDraft(std::string_view(bytes).substr(0, n)), EDraftError) << "cut at " << n;
    EXPECT_THROW(DecodeDraft(bytes + '\0'), EDraftError);
    EXPECT_THROW(DecodeDraft(bytes + bytes), EDraftError);
}

TEST(DraftFormat, EveryFlippedBitIsAnError) {
    const std::string bytes = EncodeDraft(FullDraft());
    for (size_t at = 0; at < bytes.size(); ++at)
        for (int bit = 0; bit < 8; ++bit) {
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(damaged[at] ^ (1 << bit));
            EXPECT_THROW(DecodeDraft(damaged), EDraftError) << "byte " << at << " bit " << bit;
        }
}

TEST(DraftFormat, DamagedInputsAreRefusedWithoutAllocating) {
    TDraft d;
    d.Subject = "S";
    const std::string good = EncodeDraft(d);
    const size_t subjectLength = good.find('S') - 4;
    const size_t lineCount = good.size() - 8;
    const size_t mode = 14;
    const size_t date = 31;
    std::string nan = good;
    const double quiet = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(&nan[date], &quiet, 8);
    std::string inf = good;
    const double infinite = std::numeric_limits<double>::infinity();
    std::memcpy(&inf[date], &infinite, 8);
    std::string trailing = good;
    trailing.insert(good.size() - 4, "x");

    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", "", "cut short"},
        {"part of the magic", "Tavro dr", "cut short"},
        {"magic without its line end", "Tavro draft 1", "cut short"},
        {"another file", "Hello, World!\n" + good.substr(14), "not a Tavro draft"},
        {"a text file of the same start", "Tavro draft is what this is called" + std::string(40, ' '),
         "not a Tavro draft"},
        {"a later version", "Tavro draft 2\n" + good.substr(14), "unknown draft version \"2\""},
        {"a CR LF line end", "Tavro draft 1\r\n" + good.substr(14), "unknown draft version"},
        {"only the checksum missing", good.substr(0, good.size() - 4), "checksum"},
        {"a wrong checksum", good.substr(0, good.size() - 1) + char(good.back() ^ 0x40), "checksum"},
        {"an unknown mode", Resealed(good.substr(0, mode) + '\x09' + good.substr(mode + 1)), "mode 9"},
        {"a date that is no number", Resealed(nan), "date"},
        {"an infinite date", Resealed(inf), "date"},
        {"bytes after the lines", Resealed(trailing), "after its end"},
        {"a subject past the end", Patched32(good, subjectLength, 100), "cut short"},
        {"a subject of 4 GB", Patched32(good, subjectLength, 0xFFFFFFFFu), "over 16 MB"},
        {"a subject over the text limit", Patched32(good, subjectLength, (16u << 20) + 1), "over 16 MB"},
        {"4 billion lines", Patched32(good, lineCount, 0xFFFFFFFFu), "lines, over 1000000"},
        {"a line over the limit", Patched32(good, lineCount, 1'000'001), "lines, over 1000000"},
        {"a million lines that are not there", Patched32(good, lineCount, 1'000'000), "cut short"},
        {"a file larger than any draft", std::string(MaxDraftFileBytes + 1, 'T'), "larger than any draft"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LargestAllocation = 0;
        try {
            DecodeDraft(c.bytes);
            ADD_FAILURE() << "decoded";
        } catch (const EDraftError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
        EXPECT_LT(LargestAllocation.load(), size_t(4096));
    }
}

TEST(DraftFormat, LimitsHoldOnBothSides) {
    TDraft atLimit;
    atLimit.Lines.assign(MaxDraftLines, std::string());
    atLimit.LineTags.assign(MaxDraftLines, 1);
    atLimit.Lines[0].assign(MaxDraftTextBytes - 1, 'x');
    atLimit.Subject = "s";
    const std::string bytes = EncodeDraft(atLimit);
    EXPECT_LE(bytes.size(), MaxDraftFileBytes);
    EXPECT_EQ(DecodeDraft(bytes), atLimit);

    atLimit.Origin = "o";
    EXPECT_THROW(EncodeDraft(atLimit), EDraftError) << "one byte too many";
    atLimit.Origin.clear();
    atLimit.Lines.emplace_back();
    atLimit.LineTags.push_back(0);
    EXPECT_THROW(EncodeDraft(atLimit), EDraftError) << "one line too many";
}

TEST(DraftFormat, EncodingMendsWhatDecodingWouldRefuse) {
    TDraft d = ShortDraft(1, "one");
    d.Lines.push_back("two");
    d.LineTags = {4};
    d.DateWritten = std::numeric_limits<double>::quiet_NaN();
    TDraft back = DecodeDraft(EncodeDraft(d));
    EXPECT_EQ(back.LineTags, (std::vector<int>{4, 0}));
    EXPECT_EQ(back.DateWritten, 0);
    d.LineTags = {4, 5, 6};
    EXPECT_EQ(DecodeDraft(EncodeDraft(d)).LineTags, (std::vector<int>{4, 5}));
    d.Mode = static_cast<TDraftMode>(200);
    EXPECT_THROW(EncodeDraft(d), EDraftError);
}

namespace {

std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<TDraft> Offered(const std::string& dir, int32_t user) {
    TDraftScan scan = FindLeftDrafts(dir, user);
    EXPECT_EQ(scan.Damaged, std::vector<std::string>{});
    std::vector<TDraft> drafts;
    for (TFoundDraft& found : scan.Drafts)
        drafts.push_back(std::move(found.Draft));
    return drafts;
}

// Runs `body` in a child process and answers its exit status (-signal when killed).
template <typename F> int InChild(F body) {
    const pid_t child = ::fork();
    if (child == 0) {
        int code = 1;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1000;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

class DraftStore : public ::testing::Test {
protected:
    // A draft on disk that no composer holds, as a crash leaves it.
    std::string LeftDraft(const TDraft& draft) {
        auto file = TDraftFile::Create(Dir.Path());
        file->Save(draft);
        return file->Path();
    }
    std::string Folder() const { return TDraftFile::Folder(Dir.Path()); }

    TTempDir Dir;
    const TDraft Old = FullDraft();
    const TDraft New = ShortDraft(3, "rewritten");
};

} // namespace

TEST_F(DraftStore, ADraftIsOfferedOnlyWhileNoComposerHoldsIt) {
    EXPECT_TRUE(Offered(Dir.Path(), 3).empty());
    EXPECT_FALSE(fs::exists(Folder())) << "a scan makes no folder";

    auto file = TDraftFile::Create(Dir.Path());
    EXPECT_EQ(fs::path(file->Path()).parent_path(), fs::path(Folder()));
    EXPECT_EQ(fs::path(file->Path()).extension(), ".draft");
    EXPECT_FALSE(fs::exists(file->Path())) << "nothing is written before the first save";
    file->Save(Old);
    EXPECT_TRUE(Offered(Dir.Path(), 3).empty());
    EXPECT_TRUE(TDraftFile::Adopt(file->Path()) == nullptr);
    const std::string path = file->Path();
    file.reset();
    EXPECT_EQ(Offered(Dir.Path(), 3), std::vector<TDraft>{Old});

    // A restored composer holds it again, also across the renames of its saves.
    auto adopted = TDraftFile::Adopt(path);
    ASSERT_NE(adopted, nullptr);
    EXPECT_EQ(adopted->Path(), path);
    EXPECT_TRUE(Offered(Dir.Path(), 3).empty());
    adopted->Save(New);
    adopted->Save(New);
    EXPECT_TRUE(Offered(Dir.Path(), 3).empty());
    EXPECT_TRUE(TDraftFile::Adopt(path) == nullptr);
    adopted.reset();
    EXPECT_EQ(Offered(Dir.Path(), 3), std::vector<TDraft>{New});
}

TEST_F(DraftStore, AKilledProgramsDraftIsOffered) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        try {
            auto file = TDraftFile::Create(Dir.Path());
            file->Save(Old);
            const char ready = 'r';
            if (::write(pipeFds[1], &ready, 1) == 1)
                for (;;)
                    ::pause();
        } catch (...) {
        }
        ::_exit(1);
    }
    ::close(pipeFds[1]);
    char ready = 0;
    EXPECT_EQ(::read(pipeFds[0], &ready, 1), 1);
    ::close(pipeFds[0]);

    EXPECT_TRUE(Offered(Dir.Path(), 3).empty()) << "the running program holds it";
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const TDraftScan scan = FindLeftDrafts(Dir.Path(), 3);
    ASSERT_EQ(scan.Drafts.size(), 1u);
    EXPECT_EQ(scan.Drafts[0].Draft, Old);
    EXPECT_TRUE(TDraftFile::Adopt(scan.Drafts[0].Path) != nullptr);
}

TEST_F(DraftStore, OnlyTheUsersDraftsAreOfferedOldestFirst) {
    LeftDraft(ShortDraft(1, "first"));
    LeftDraft(ShortDraft(2, "other user"));
    LeftDraft(ShortDraft(1, "second"));
    LeftDraft(ShortDraft(1, "third"));
    EXPECT_EQ(Offered(Dir.Path(), 1),
              (std::vector<TDraft>{ShortDraft(1, "first"), ShortDraft(1, "second"), ShortDraft(1, "third")}));
    EXPECT_EQ(Offered(Dir.Path(), 2), std::vector<TDraft>{ShortDraft(2, "other user")});
    EXPECT_TRUE(Offered(Dir.Path(), 0).empty());
}

TEST_F(DraftStore, DamagedDraftsAreListedAndLeftAlone) {
    const std::string good = LeftDraft(Old);
    const std::string cut = LeftDraft(New);
    const std::string cutBytes = ReadFile(cut).substr(0, 30);
    WriteFile(cut, cutBytes);
    const std::string garbage = Folder() + "/garbage.draft";
    WriteFile(garbage, "not a draft at all");
    const std::string otherUsers = LeftDraft(ShortDraft(9, "not mine"));
    const auto before = Snapshot(Dir.Path());

    const TDraftScan scan = FindLeftDrafts(Dir.Path(), 3);
    ASSERT_EQ(scan.Drafts.size(), 1u);
    EXPECT_EQ(scan.Drafts[0].Path, good);
    EXPECT_EQ(scan.Damaged, (std::vector<std::string>{cut + ": the draft is damaged or cut short (its "
                                                            "checksum does not match)",
                                                      garbage + ": not a Tavro draft"}));
    EXPECT_EQ(Snapshot(Dir.Path()), before);
    EXPECT_TRUE(fs::exists(otherUsers));
}

// Each step of a save refused (a full disk, an I/O error), and the program killed just before
// each step: the draft on disk is always a whole one, the old or the new.
TEST_F(DraftStore, ASaveCutShortLeavesTheOldDraft) {
    const std::string path = LeftDraft(Old);
    int steps = 0;
    for (int k = 1;; ++k) {
        SCOPED_TRACE(k);
        auto file = TDraftFile::Adopt(path);
        ASSERT_NE(file, nullptr);
        TFileChangeFault fault(k);
        try {
            file->Save(New);
            EXPECT_FALSE(fault.Hit());
            steps = fault.Changes();
            break;
        } catch (const EFileError& e) {
            EXPECT_TRUE(fault.Hit());
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
        file.reset();
        EXPECT_EQ(Listing(Folder()).size(), 2u) << "the draft and its lock file, no temporary";
        EXPECT_EQ(Offered(Dir.Path(), 3), std::vector<TDraft>{Old});
    }
    EXPECT_GE(steps, 2) << "a temporary and its rename";

    for (int k = 1; k <= steps + 1; ++k) {
        SCOPED_TRACE(k);
        if (auto file = TDraftFile::Adopt(path))
            file->Save(Old);
        const int status = InChild([&] {
            auto file = TDraftFile::Adopt(path);
            if (!file)
                return 2;
            TFileChangeFault fault(k, TFileChangeFault::TAction::Exit);
            file->Save(New);
            return 0;
        });
        EXPECT_EQ(status, k <= steps ? TFileChangeFault::ExitCode : 0);
        // The rename is the last step: until it the old draft is what there is.
        EXPECT_EQ(Offered(Dir.Path(), 3), std::vector<TDraft>{k <= steps ? Old : New});
        EXPECT_EQ(Listing(Folder()).size(), 2u) << "the scan clears a crash's temporary";
    }
}

// A real failure: the file-size limit stops the temporary part-way.
TEST_F(DraftStore, ASaveOverTheFileSizeLimitLeavesTheOldDraft) {
    const std::string path = LeftDraft(Old);
    TDraft big = New;
    big.Lines.assign(2000, std::string(100, 'x'));
    big.LineTags.assign(2000, 0);
    const int status = InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit;
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 64 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        auto file = TDraftFile::Adopt(path);
        if (!file)
            return 2;
        try {
            file->Save(big);
        } catch (const EFileError& e) {
            return e.Code == EFBIG ? 0 : 3;
        }
        return 4;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Offered(Dir.Path(), 3), std::vector<TDraft>{Old});
    EXPECT_EQ(Listing(Folder()).size(), 2u) << "the draft and its lock file";
}

TEST_F(DraftStore, ASaveIntoAReadOnlyFolderLeavesTheOldDraft) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    const std::string path = LeftDraft(Old);
    auto file = TDraftFile::Adopt(path);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(::chmod(Folder().c_str(), 0555), 0);
    EXPECT_THROW(file->Save(New), EFileError);
    ::chmod(Folder().c_str(), 0755);
    file.reset();
    EXPECT_EQ(Offered(Dir.Path(), 3), std::vector<TDraft>{Old});
}

TEST_F(DraftStore, RemoveLeavesNothing) {
    auto saved = TDraftFile::Create(Dir.Path());
    saved->Save(Old);
    saved->Save(New);
    saved->Remove();
    EXPECT_THROW(saved->Save(New), std::logic_error);
    saved->Remove();
    saved.reset();
    EXPECT_TRUE(Listing(Folder()).empty());

    TDraftFile::Create(Dir.Path())->Remove();
    TDraftFile::Create(Dir.Path()).reset();
    EXPECT_TRUE(Listing(Folder()).empty()) << "a composer closed before its first save";

    const std::string left = LeftDraft(Old);
    auto adopted = TDraftFile::Adopt(left);
    ASSERT_NE(adopted, nullptr);
    adopted->Remove();
    EXPECT_TRUE(Listing(Folder()).empty());
    EXPECT_TRUE(TDraftFile::Adopt(left) == nullptr) << "removed meanwhile by another program";
    EXPECT_TRUE(Listing(Folder()).empty());
}

TEST_F(DraftStore, TheScanClearsLeftoversButNotAComposersLock) {
    auto unsaved = TDraftFile::Create(Dir.Path());
    const std::string left = LeftDraft(Old);
    const std::string name = fs::path(left).filename().string();
    WriteFile(Folder() + "/00000000000000000001-1-0.draft.lock", "");
    WriteFile(left + ".1234.0.tmp", "half a draft");
    WriteFile(Folder() + "/gone.draft.99.1.tmp", "");
    WriteFile(Folder() + "/notes.txt", "the user's own");

    EXPECT_EQ(Offered(Dir.Path(), 3), std::vector<TDraft>{Old});
    std::vector<std::string> kept{name, name + ".lock",
                                  fs::path(unsaved->Path()).filename().string() + ".lock", "notes.txt"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Listing(Folder()), kept);
    // The composer that has not saved yet still holds its name.
    unsaved->Save(New);
    EXPECT_EQ(Offered(Dir.Path(), 3), std::vector<TDraft>{Old});
}

TEST_F(DraftStore, AnUnreadableFolderIsAnError) {
    WriteFile(Folder(), "a file where the folder should be");
    EXPECT_THROW(FindLeftDrafts(Dir.Path(), 3), EFileError);
    EXPECT_THROW(TDraftFile::Create(Dir.Path()), EFileError);
}
