// What every message base promises, whatever its format: read back what was written, keep
// each user's pointer and marks, stay out of a base another program holds, report damage
// without making it worse, and never leave a change half done.
#include "bases/BaseFactory.h"

#include "core/BufStream.h"
#include "core/Endian.h"
#include "core/FileUtils.h"
#include "core/Readings.h"
#include "core/Settings.h"

#include "BaseHelpers.h"
#include "FileFaults.h"
#include "RecordingUi.h"
#include "TempDir.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tavro;
using tavro::test::BodyTexts;
using tavro::test::Ids;
using tavro::test::Snapshot;
using tavro::test::TFileChangeFault;
using tavro::test::TTempDir;

namespace fs = std::filesystem;

namespace {

// Something another program holds for as long as the object lives.
struct THold {
    virtual ~THold() = default;
};

// Locks as other programs take them: flock share modes on whole files, fcntl on byte 0.
struct TFileLocks final : THold {
    std::vector<std::unique_ptr<TBufStream>> Files;
};

// The byte-0 write lock a tosser holds on the header file while it changes the base.
std::unique_ptr<THold> ByteZeroLock(const std::string& file) {
    auto hold = std::make_unique<TFileLocks>();
    hold->Files.push_back(std::make_unique<TBufStream>(file, 16, TOpenMode::ReadWriteSharedCreate));
    EXPECT_TRUE(hold->Files.back()->LockRange(0, 1, true));
    return hold;
}

// A directory that cannot be read: a regular file stands in its place until it goes.
struct TUnreadableDir final : THold {
    explicit TUnreadableDir(std::string dir) : Dir(std::move(dir)) {
        fs::rename(Dir, Dir + ".away");
        test::WriteFile(Dir, "not a directory");
    }
    ~TUnreadableDir() override {
        fs::remove(Dir);
        fs::rename(Dir + ".away", Dir);
    }
    std::string Dir;
};

void PatchLE32(const std::string& file, size_t at, uint32_t value) {
    std::string data = test::ReadFile(file);
    PutLE32(&data[at], value);
    test::WriteFile(file, data);
}

struct TFidoFormat {
    static constexpr TBaseType Type = btMsg;
    // Its kludges are in the text.
    static constexpr bool KludgesWithHeader = false;
    static constexpr bool LockKeepsOutAppends = false;
    static constexpr bool LockKeepsOutReads = false;
    static std::string PathIn(const TTempDir& dir) { return dir.File("area"); }
    // Another copy of Tavro deleting or reading: every message file held exclusively.
    static std::unique_ptr<THold> Lock(const std::string& path) {
        auto hold = std::make_unique<TFileLocks>();
        for (const std::string& name : ListFiles(path, "*.msg"))
            hold->Files.push_back(
                std::make_unique<TBufStream>(path + "/" + name, 16, TOpenMode::ReadWriteExclusive));
        return hold;
    }
    static std::unique_ptr<THold> BlockReads(const std::string& path) {
        return std::make_unique<TUnreadableDir>(path);
    }
    // The second message's file cut inside its header.
    static void Damage(const std::string& path) { fs::resize_file(path + "/3.msg", 100); }
};

struct TSquishFormat {
    static constexpr TBaseType Type = btSquish;
    static constexpr bool KludgesWithHeader = true;
    static constexpr bool LockKeepsOutAppends = true;
    static constexpr bool LockKeepsOutReads = true;
    static std::string PathIn(const TTempDir& dir) { return dir.File("sq/area.sqd"); }
    static std::unique_ptr<THold> Lock(const std::string& path) { return ByteZeroLock(path); }
    static std::unique_ptr<THold> BlockReads(const std::string& path) { return ByteZeroLock(path); }
    // The second index record names a frame far past the end of the data file.
    static void Damage(const std::string& path) { PatchLE32(SiblingFileName(path, "I"), 12, 0x7FFFFFF0); }
};

struct TJamFormat {
    static constexpr TBaseType Type = btJam;
    static constexpr bool KludgesWithHeader = true;
    static constexpr bool LockKeepsOutAppends = true;
    static constexpr bool LockKeepsOutReads = true;
    static std::string PathIn(const TTempDir& dir) { return dir.File("jam/area.jhr"); }
    static std::unique_ptr<THold> Lock(const std::string& path) { return ByteZeroLock(path); }
    static std::unique_ptr<THold> BlockReads(const std::string& path) { return ByteZeroLock(path); }
    // The second message header loses its signature.
    static void Damage(const std::string& path) {
        const std::string index = test::ReadFile(SiblingFileName(path, "DX"));
        PatchLE32(path, GetLE32(&index[12]), 0);
    }
};

template <typename Format> class BaseContract : public ::testing::Test {
protected:
    void SetUp() override {
        Path = Format::PathIn(Dir);
        Settings.EchoscanFile = Dir.File("echotoss.log");
    }

    // A base object for the area at `path` as the program opens it, listed when it exists.
    TBaseRef OpenAt(const std::string& path) {
        TBaseRef base = NewBase(Format::Type, path, "TEST.ECHO", "");
        base->ScanSettings = &Settings;
        if (base->Exists())
            base->Rescan();
        return base;
    }
    TBaseRef Open() { return OpenAt(Path); }

    // A new area at `path` with three messages, after one that was deleted when `freed` (a
    // Squish base then has a free frame); their ids.
    std::vector<TMsgId> MakeThree(const std::string& path, bool freed) {
        TBaseRef base = OpenAt(path);
        EXPECT_TRUE(base->CreateIfMissing());
        if (freed) {
            EXPECT_TRUE(Post(*base, "freed", 30));
            base->Rescan();
            EXPECT_TRUE(base->DeleteMsg(base->GetMsgId(0)));
        }
        for (const char* subject : {"message 1", "message 2", "message 3"})
            EXPECT_TRUE(Post(*base, subject));
        base->Rescan();
        return Ids(*base);
    }

    // The area with `count` messages; their ids.
    std::vector<TMsgId> Fill(int count) {
        TBaseRef base = Open();
        EXPECT_TRUE(base->CreateIfMissing());
        for (int i = 1; i <= count; ++i)
            EXPECT_TRUE(Post(*base, "message " + std::to_string(i)));
        base->Rescan();
        return Ids(*base);
    }

    // A message whose subject is `text` and whose body starts and ends with it.
    static bool Post(TCustomBase& base, const std::string& text, int lines = 3) {
        auto msg = base.NewMsg();
        msg->FromName = "Ivan Petrov";
        msg->ToName = "All";
        msg->Subject = text;
        msg->FromAddr = TAddress(2, 5020, 100, 7);
        msg->ToAddr = TAddress(2, 5030, 200);
        msg->DateWritten = msg->DateArrived = EncodeDateTime(2024, 3, 1, 12, 0, 0);
        msg->Kludges = {"\x01MSGID: 2:5020/100.7 " + std::to_string(text.size())};
        msg->Body.emplace_back(text);
        for (int i = 1; i < lines; ++i)
            msg->Body.emplace_back("line " + std::to_string(i) + " of " + text);
        msg->Body.emplace_back("end of " + text);
        return msg->Save();
    }

    // The subjects of the listed messages, each checked to have come back whole.
    static std::vector<std::string> Subjects(TCustomBase& base) {
        std::vector<std::string> subjects;
        for (int i = 0; i < base.GetCount(); ++i) {
            TCustomMsg& msg = *base.GetMsg(i);
            std::vector<std::string> body = BodyTexts(msg);
            EXPECT_TRUE(!body.empty() && body.front() == msg.Subject &&
                        body.back() == "end of " + msg.Subject)
                << msg.Subject;
            subjects.push_back(msg.Subject);
        }
        return subjects;
    }

    std::vector<std::string> SubjectsNow() {
        TBaseRef base = Open();
        return Subjects(*base);
    }

    TTempDir Dir;
    std::string Path;
    TGlobalSettings Settings;
};

using Formats = ::testing::Types<TFidoFormat, TSquishFormat, TJamFormat>;

class FormatNames {
public:
    template <typename T> static std::string GetName(int) {
        if constexpr (T::Type == btMsg)
            return "Msg";
        else if constexpr (T::Type == btSquish)
            return "Squish";
        else
            return "Jam";
    }
};

TYPED_TEST_SUITE(BaseContract, Formats, FormatNames);

} // namespace

TYPED_TEST(BaseContract, WrittenMessagesReadBackInOrder) {
    const std::vector<TMsgId> ids = this->Fill(3);
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    TBaseRef base = this->Open();
    EXPECT_EQ(this->Subjects(*base), (std::vector<std::string>{"message 1", "message 2", "message 3"}));
    TCustomMsg& msg = *base->GetMsg(1);
    EXPECT_EQ(msg.FromName, "Ivan Petrov");
    EXPECT_EQ(msg.ToName, "All");
    EXPECT_EQ(msg.FromAddr.ToStr(), "2:5020/100.7");
    EXPECT_EQ(msg.DateWritten, EncodeDateTime(2024, 3, 1, 12, 0, 0));
    EXPECT_EQ(msg.GetKludge("MSGID:"), "2:5020/100.7 9");
    EXPECT_EQ(base->IndexOfId(ids[2]), 2);
    EXPECT_EQ(base->FindNearest(ids[1]), 1);
    EXPECT_EQ(base->GetMsg(3), nullptr);
    EXPECT_EQ(base->GetMsgId(-1), NoMsgId);
    EXPECT_FALSE(base->IsChanged());
    // Each stored message leaves its line for the tosser.
    const std::string scan = test::ReadFile(this->Dir.File("echotoss.log"));
    EXPECT_EQ(std::count(scan.begin(), scan.end(), '\n'), 3);
}

// A walk over more messages than the cache keeps, as the message list makes: the cache stays
// bounded, while a message someone holds outlives every trim, a rescan and a delete whole.
TYPED_TEST(BaseContract, AWalkKeepsTheCacheBoundedAndHeldMessagesWhole) {
    const int count = static_cast<int>(MsgCacheLimit) + 50;
    const std::vector<TMsgId> ids = this->Fill(count);
    ASSERT_EQ(ids.size(), size_t(count));
    TBaseRef base = this->Open();
    TMsgHandle held = base->GetMsg(5);
    const std::weak_ptr<TCustomMsg> unheld = base->GetMsg(6);
    EXPECT_EQ(base->GetMsg(6).get(), unheld.lock().get()) << "cached while nobody holds it";
    size_t most = 0;
    for (int i = 0; i < count; ++i) {
        ASSERT_NE(base->GetMsg(i), nullptr);
        most = std::max(most, base->CachedMsgs());
    }
    EXPECT_LE(most, MsgCacheLimit);
    EXPECT_TRUE(unheld.expired());
    EXPECT_EQ(base->GetMsg(5), held);
    EXPECT_EQ(held->Subject, "message 6");
    EXPECT_EQ(held->FromName, "Ivan Petrov");

    // Positions move, and the held message still reads its own text.
    EXPECT_TRUE(base->DeleteMsg(ids[0]));
    base->Rescan();
    EXPECT_EQ(base->CachedMsgs(), 0u);
    EXPECT_FALSE(held->Loaded);
    EXPECT_EQ(BodyTexts(*held).front(), "message 6");
    EXPECT_NE(base->GetMsg(5), held);
    EXPECT_EQ(base->GetMsg(4)->Subject, "message 6");
}

// The thread links of a whole area come without reading a single text where the format keeps
// its kludges beside the header.
TYPED_TEST(BaseContract, ThreadKludgesComeWithTheHeader) {
    const std::vector<TStringList> kludges = {
        {"\x01MSGID: 2:5020/100.7 0badf00d", "\x01REPLY: 2:5030/200 12345678", "\x01PID: test"},
        {"\x01PID: test", "\x01MSGID:   2:5020/100.7   cafe  "},
        {},
    };
    {
        TBaseRef base = this->Open();
        ASSERT_TRUE(base->CreateIfMissing());
        for (const TStringList& lines : kludges) {
            auto msg = base->NewMsg();
            msg->FromName = "Ivan Petrov";
            msg->Subject = "thread";
            msg->Kludges = lines;
            msg->Body.emplace_back("text");
            ASSERT_TRUE(msg->Save());
        }
    }
    TBaseRef base = this->Open();
    ASSERT_EQ(base->GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        TMsgHandle msg = base->GetMsg(i);
        EXPECT_EQ(msg->ThreadKludgesRead, TypeParam::KludgesWithHeader);
        EXPECT_FALSE(msg->Loaded);
        const std::string msgId = msg->MsgIdKludge, reply = msg->ReplyKludge;
        msg->GetKludges();
        if (TypeParam::KludgesWithHeader) {
            EXPECT_EQ(msgId, msg->GetKludge("MSGID:"));
            EXPECT_EQ(reply, msg->GetKludge("REPLY:"));
        }
    }
    EXPECT_EQ(base->GetMsg(0)->GetKludge("REPLY:"), "2:5030/200 12345678");
    EXPECT_EQ(base->GetMsg(1)->GetKludge("MSGID:"), "2:5020/100.7   cafe");
    EXPECT_EQ(base->GetMsg(2)->GetKludge("MSGID:"), "");
}

TYPED_TEST(BaseContract, LastReadAndReadMarksPerUser) {
    const std::vector<TMsgId> ids = this->Fill(3);
    {
        TBaseRef base = this->Open();
        base->SetUser(0, "Ivan Petrov");
        base->SetLastRead(ids[1]);
        base->SetRead(ids[0], true);
        base->SetUser(5, "Petr Sidorov");
        base->SetLastRead(ids[2]);
        base->SetRead(ids[2], true);
    } // the last reference saves
    TBaseRef base = this->Open();
    base->SetUser(0, "Ivan Petrov");
    EXPECT_EQ(base->GetLastRead(), ids[1]);
    EXPECT_TRUE(base->IsRead(ids[0]));
    EXPECT_FALSE(base->IsRead(ids[2]));
    EXPECT_TRUE(base->HasUnread());
    base->SetUser(5, "Petr Sidorov");
    EXPECT_EQ(base->GetLastRead(), ids[2]);
    EXPECT_FALSE(base->IsRead(ids[0]));
    EXPECT_TRUE(base->IsRead(ids[2]));
    // A user without a pointer starts at the first message.
    base->SetUser(9, "Nobody");
    EXPECT_EQ(base->FindNearest(base->GetLastRead()), 0);
}

// Another user's marks live in the same file: a base that does not know which messages exist
// must keep every record it does not own.
TYPED_TEST(BaseContract, OtherUsersMarksSurviveAFailedRescanAndAnUnlistedWrite) {
    const std::vector<TMsgId> ids = this->Fill(3);
    {
        TBaseRef base = this->Open();
        base->SetUserIndex(1);
        base->SetRead(ids[0], true);
        base->SetRead(ids[1], true);
    }
    auto markedByUser1 = [&] {
        TBaseRef base = this->Open();
        base->SetUserIndex(1);
        return std::vector<bool>{base->IsRead(ids[0]), base->IsRead(ids[1]), base->IsRead(ids[2])};
    };
    {
        TBaseRef base = this->Open();
        base->SetUserIndex(0);
        base->SetRead(ids[2], true);
        {
            auto hold = TypeParam::BlockReads(this->Path);
            EXPECT_THROW(base->Rescan(), EFileError);
        }
        EXPECT_EQ(base->GetCount(), 3) << "the list it had";
        EXPECT_TRUE(base->IsChanged()) << "asks again";
        base->Close();
    }
    EXPECT_EQ(markedByUser1(), (std::vector<bool>{true, true, false}));
    {
        TBaseRef base = NewBase(TypeParam::Type, this->Path, "TEST.ECHO", "");
        base->ScanSettings = &this->Settings;
        base->SetUserIndex(0);
        EXPECT_TRUE(this->Post(*base, "unlisted"));
        base->Close();
    }
    EXPECT_EQ(markedByUser1(), (std::vector<bool>{true, true, false}));
    TBaseRef base = this->Open();
    base->SetUserIndex(0);
    EXPECT_TRUE(base->IsRead(ids[2]));
    EXPECT_TRUE(base->IsRead(base->GetMsgId(3)));
}

TYPED_TEST(BaseContract, ABaseAnotherProgramHoldsIsLeftAsItWas) {
    const std::vector<TMsgId> ids = this->Fill(2);
    TBaseRef base = this->Open();
    const auto before = Snapshot(this->Dir.Path());
    {
        auto hold = TypeParam::Lock(this->Path);
        test::TRecordingUi ui;
        EXPECT_FALSE(base->DeleteMsg(ids[0]));
        EXPECT_FALSE(base->DeleteMsgs(ids, nullptr));
        size_t boxes = 2;
        if (TypeParam::LockKeepsOutAppends) {
            EXPECT_FALSE(this->Post(*base, "refused"));
            ++boxes;
        }
        if (TypeParam::LockKeepsOutReads) {
            EXPECT_THROW(base->GetMsg(0), EFileError);
            EXPECT_THROW(base->Rescan(), EFileError);
        }
        EXPECT_EQ(ui.Errors, std::vector<std::string>(boxes, "Can't open message base file."));
        if (TypeParam::LockKeepsOutAppends) {
            EXPECT_EQ(Snapshot(this->Dir.Path()), before);
        }
    }
    base->Rescan();
    EXPECT_TRUE(base->DeleteMsg(ids[0]));
}

TYPED_TEST(BaseContract, DamageReadsAsLockedAndIsNeverMadeWorse) {
    const std::vector<TMsgId> ids = this->Fill(3);
    TypeParam::Damage(this->Path);
    TBaseRef base = this->Open();
    EXPECT_THROW(
        {
            for (int i = 0; i < base->GetCount(); ++i)
                base->GetMsg(i)->GetBody();
        },
        EFileError);
    const std::vector<std::pair<const char*, std::function<bool()>>> changes = {
        {"append", [&] { return this->Post(*base, "after the damage"); }},
        {"delete the damaged one", [&] { return base->DeleteMsg(ids[1]); }},
        {"delete two",
         [&] {
             return base->DeleteMsgs({ids[0], ids[2]}, nullptr);
         }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        test::TRecordingUi ui;
        const auto before = Snapshot(this->Dir.Path());
        if (!change()) {
            EXPECT_EQ(ui.Errors.size(), 1u);
            EXPECT_EQ(Snapshot(this->Dir.Path()), before);
        }
        try {
            base->Rescan();
        } catch (const EFileError&) {
        }
    }
}

TYPED_TEST(BaseContract, UnknownIdsChangeNothing) {
    const std::vector<TMsgId> ids = this->Fill(2);
    TBaseRef base = this->Open();
    const auto before = Snapshot(this->Dir.Path());
    test::TRecordingUi ui;
    EXPECT_FALSE(base->DeleteMsg(ids[1] + 100));
    EXPECT_TRUE(base->DeleteMsgs({ids[1] + 100, ids[1] + 101}, nullptr));
    EXPECT_EQ(Snapshot(this->Dir.Path()), before);
    EXPECT_TRUE(ui.Errors.empty());
    // The known ones of a list go.
    EXPECT_TRUE(base->DeleteMsgs({ids[1] + 100, ids[0]}, nullptr));
    base->Rescan();
    EXPECT_EQ(Ids(*base), (std::vector<TMsgId>{ids[1]}));
    EXPECT_FALSE(base->DeleteMsg(ids[0]));
}

TYPED_TEST(BaseContract, OpeningCreatesNothingWritersCreate) {
    test::TRecordingUi ui;
    TBaseRef base = this->Open();
    EXPECT_FALSE(base->Exists());
    base->Rescan();
    EXPECT_EQ(base->GetCount(), 0);
    EXPECT_FALSE(base->HasUnread());
    base->Close();
    EXPECT_EQ(Snapshot(this->Dir.Path()).size(), 0u);
    ui.Errors.clear();
    EXPECT_FALSE(this->Post(*base, "nowhere to go"));
    EXPECT_EQ(ui.Errors, (std::vector<std::string>{"Can't open message base file."}));
    ASSERT_TRUE(base->CreateIfMissing());
    EXPECT_TRUE(this->Post(*base, "first"));
    EXPECT_EQ(this->SubjectsNow(), (std::vector<std::string>{"first"}));
}

namespace {

// One change swept over every file change it makes.
struct TChange {
    const char* Name;
    // Prepares the area (ids of its messages), then changes it; true when it says it did.
    std::function<bool(TCustomBase& base, const std::vector<TMsgId>& ids)> Run;
    // The subjects afterwards.
    std::vector<std::string> After;
};

const std::vector<std::string> Three = {"message 1", "message 2", "message 3"};

std::vector<TChange> Changes(bool (*post)(TCustomBase&, const std::string&, int)) {
    return {
        {"append",
         [post](TCustomBase& b, const auto&) { return post(b, "new one", 3); },
         {"message 1", "message 2", "message 3", "new one"}},
        {"append a long one",
         [post](TCustomBase& b, const auto&) { return post(b, "long one", 400); },
         {"message 1", "message 2", "message 3", "long one"}},
        {"delete",
         [](TCustomBase& b, const auto& ids) { return b.DeleteMsg(ids[1]); },
         {"message 1", "message 3"}},
        {"delete the last",
         [](TCustomBase& b, const auto& ids) { return b.DeleteMsg(ids[2]); },
         {"message 1", "message 2"}},
        {"bulk delete",
         [](TCustomBase& b, const auto& ids) {
             return b.DeleteMsgs({ids[0], ids[2]}, nullptr);
         },
         {"message 2"}},
    };
}

} // namespace

// A change that fails at any of its steps (a full disk, an I/O error) leaves every file byte
// for byte as it was, says so once, and the same change works right after.
TYPED_TEST(BaseContract, EveryFailedStepLeavesTheFilesAsTheyWere) {
    for (bool reuse : {false, true}) {
        for (const TChange& change : Changes(&TestFixture::Post)) {
            int k = 1;
            for (;; ++k) {
                SCOPED_TRACE(std::string(change.Name) + (reuse ? " after a delete" : "") + ", change " +
                             std::to_string(k));
                TTempDir dir;
                const std::string path = TypeParam::PathIn(dir);
                const std::vector<TMsgId> ids = this->MakeThree(path, reuse);
                auto open = [&] { return this->OpenAt(path); };
                TBaseRef base = open();
                const auto before = Snapshot(dir.Path());
                bool done;
                bool hit;
                test::TRecordingUi ui;
                {
                    TFileChangeFault fault(k);
                    done = change.Run(*base, ids);
                    hit = fault.Hit();
                }
                if (!done) {
                    EXPECT_EQ(ui.Errors.size(), 1u);
                    EXPECT_EQ(Snapshot(dir.Path()), before);
                    EXPECT_TRUE(base->IsChanged());
                    base->Rescan();
                    EXPECT_EQ(this->Subjects(*base), Three);
                    EXPECT_TRUE(change.Run(*base, ids)) << "the next try";
                } else {
                    EXPECT_TRUE(ui.Errors.empty());
                }
                EXPECT_EQ(this->Subjects(*open()), change.After);
                if (!hit)
                    break;
            }
            EXPECT_GT(k, 1) << change.Name << " made no change to fail";
        }
    }
}

// A process killed in the middle of an append cannot undo anything: whatever step it reached,
// no reader meets a partial message, and the next append works.
TYPED_TEST(BaseContract, AKilledAppendLeavesNoPartialMessage) {
    for (bool reuse : {false, true}) {
        int k = 1;
        for (;; ++k) {
            SCOPED_TRACE(std::string(reuse ? "into a freed frame" : "at the end") +
                         ", killed before change " + std::to_string(k));
            TTempDir dir;
            const std::string path = TypeParam::PathIn(dir);
            this->MakeThree(path, reuse);
            auto open = [&] { return this->OpenAt(path); };
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                TBaseRef base = open();
                TFileChangeFault fault(k, TFileChangeFault::TAction::Exit);
                const bool done = this->Post(*base, "killed one");
                ::_exit(done ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            if (WEXITSTATUS(status) == 0)
                break;
            ASSERT_EQ(WEXITSTATUS(status), TFileChangeFault::ExitCode);

            test::TRecordingUi ui;
            std::vector<std::string> expected = Three;
            {
                TBaseRef base = open();
                const std::vector<std::string> seen = this->Subjects(*base);
                if (seen.size() == 4)
                    expected.push_back("killed one");
                EXPECT_EQ(seen, expected);
                EXPECT_TRUE(this->Post(*base, "next one"));
            }
            expected.push_back("next one");
            EXPECT_EQ(this->Subjects(*open()), expected);
            EXPECT_TRUE(ui.Errors.empty());
        }
        EXPECT_GT(k, 2);
    }
}

// A real full disk: the file-size limit stops the write part-way.
TYPED_TEST(BaseContract, AFullDiskLeavesTheFilesAsTheyWere) {
    this->Fill(3);
    const auto before = Snapshot(this->Dir.Path());
    size_t largest = 0;
    for (const auto& [name, data] : before)
        largest = std::max(largest, data.size());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit;
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = largest + 64;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        test::TRecordingUi ui;
        TBaseRef base = this->Open();
        const bool done = this->Post(*base, "too big", 400);
        ::_exit(!done && ui.Errors == std::vector<std::string>{"Can't open message base file."} ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Snapshot(this->Dir.Path()), before);
    TBaseRef base = this->Open();
    EXPECT_TRUE(this->Post(*base, "fits now", 400));
    EXPECT_EQ(this->SubjectsNow(),
              (std::vector<std::string>{"message 1", "message 2", "message 3", "fits now"}));
}
