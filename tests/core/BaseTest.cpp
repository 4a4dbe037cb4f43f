#include "core/Base.h"
#include "core/Readings.h"
#include "core/Settings.h"
#include "core/UserInterface.h"

#include "RecordingUi.h"
#include "TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>

using namespace tavro;
using tavro::test::TTempDir;

namespace {

// A base whose storage is a list in memory: enough to check the contract every format
// inherits. Its storage steps fail on demand.
class TMemoryBase final : public TCustomBase {
public:
    explicit TMemoryBase(std::vector<TMsgId> stored, std::string readings = {}, bool* destroyed = nullptr)
        : TCustomBase("mem", "ECHO.TAG", ""), Stored(std::move(stored)), Readings(std::move(readings)),
          Destroyed(destroyed) {}
    ~TMemoryBase() override {
        Close();
        if (Destroyed)
            *Destroyed = true;
    }

    int GetCount() override { return static_cast<int>(Listed.size()); }
    TMsgHandle GetMsg(int) override { return nullptr; }
    TMsgId GetMsgId(int position) override {
        return position >= 0 && position < GetCount() ? Listed[static_cast<size_t>(position)] : NoMsgId;
    }
    void SetLastRead(TMsgId id) override { LastRead = id; }
    TMsgId GetLastRead() override { return LastRead; }
    void Invalidate() override { Changed = true; }
    bool IsChanged() override { return Changed; }
    bool Exists() override { return true; }
    std::unique_ptr<TCustomMsg> NewMsg() override { return std::make_unique<TCustomMsg>(this); }

    // Thrown by the next storage step.
    std::optional<EFileError> Failure;
    bool Damage = false;
    std::vector<TMsgId> Stored;
    std::vector<TMsgId> Listed;
    std::vector<TMsgId> Removed;
    TMsgId LastRead = 0;
    bool Changed = true;

protected:
    bool LoadList() override {
        Fail();
        Listed = Stored;
        Changed = false;
        return true;
    }
    TMsgId StoreMsg(TCustomMsg&) override {
        Fail();
        Stored.push_back(Stored.empty() ? 1 : Stored.back() + 1);
        return Stored.back();
    }
    size_t RemoveMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) override {
        Fail();
        for (size_t k = 0; k < ids.size(); ++k) {
            ReportProgress(progress, k, ids.size());
            std::erase(Stored, ids[k]);
            std::erase(Listed, ids[k]);
            Removed.push_back(ids[k]);
        }
        return ids.size();
    }
    void CreateStorage() override { Fail(); }
    std::string DamagedFileName() const override { return "mem.dat"; }
    std::string ReadingsFileName() const override { return Readings; }
    void LoadLastRead() override {}
    void SaveLastRead() override {}
    void DropCache() override {}

private:
    void Fail() {
        if (Damage)
            throw EDamagedBase("damaged");
        if (Failure)
            throw *Failure;
    }

    std::string Readings;
    bool* Destroyed;
};

} // namespace

TEST(CustomBase, FindNearestAndIndexOfId) {
    struct {
        std::vector<TMsgId> ids;
        TMsgId id;
        int nearest;
        int index;
    } cases[] = {
        {{}, 5, 0, -1},        {{5, 7, 9}, 8, 1, -1}, {{5, 7, 9}, 100, 2, -1},
        {{5, 7, 9}, 3, 0, -1}, {{5, 7, 9}, 7, 1, 1},  {{5, 7, 9}, 9, 2, 2},
    };
    for (const auto& c : cases) {
        TMemoryBase base(c.ids);
        base.Rescan();
        EXPECT_EQ(base.FindNearest(c.id), c.nearest) << c.id;
        EXPECT_EQ(base.IndexOfId(c.id), c.index) << c.id;
    }
}

TEST(CustomBase, ReferencesFreeTheBaseWithTheLast) {
    bool destroyed = false;
    TBaseRef area = TBaseRef::Adopt(new TMemoryBase({}, {}, &destroyed));
    TBaseRef composer = area;
    EXPECT_EQ(area->RefCount(), 2);
    area.Reset();
    EXPECT_FALSE(destroyed);
    TBaseRef moved = std::move(composer);
    EXPECT_FALSE(composer);
    EXPECT_EQ(moved->RefCount(), 1);
    moved.Reset();
    EXPECT_TRUE(destroyed);
}

TEST(CustomBase, WriteMsgMarksReadWritesTheScanLinesAndInvalidates) {
    TTempDir dir;
    TGlobalSettings settings;
    settings.EchoscanFile = " " + dir.File("echotoss.log") + " ";
    settings.NetmailFlag = dir.File("netmail.flg");
    TMemoryBase echo({});
    echo.ScanSettings = &settings;
    echo.SetUserIndex(0);
    echo.Rescan();
    auto msg = echo.NewMsg();
    ASSERT_TRUE(msg->Save());
    EXPECT_TRUE(echo.IsRead(1));
    EXPECT_TRUE(echo.IsChanged());
    // The names are read at each write: a change in the setup reaches an open base.
    settings.EchoscanFile = dir.File("other.log");
    ASSERT_TRUE(msg->Save());
    EXPECT_EQ(test::ReadFile(dir.File("echotoss.log")), "ECHO.TAG\r\n");
    EXPECT_EQ(test::ReadFile(dir.File("other.log")), "ECHO.TAG\r\n");
    EXPECT_FALSE(test::FileExists(dir.File("netmail.flg")));

    TMemoryBase netmail({});
    netmail.NetmailTag = "NETMAIL";
    netmail.EchoTag.clear();
    netmail.ScanSettings = &settings;
    ASSERT_TRUE(netmail.NewMsg()->Save());
    EXPECT_EQ(test::ReadFile(dir.File("netmail.flg")), "NETMAIL\r\n");

    // A scan file that cannot be written does not fail the stored message.
    settings.NetmailFlag = dir.File("no/such/dir/netmail.flg");
    EXPECT_TRUE(netmail.NewMsg()->Save());

    // A message of another base is refused without a word.
    test::TRecordingUi ui;
    TCustomMsg stranger(&netmail);
    EXPECT_FALSE(echo.WriteMsg(&stranger));
    EXPECT_FALSE(echo.WriteMsg(nullptr));
    EXPECT_TRUE(ui.Errors.empty());
}

TEST(CustomBase, FailedChangesShowOneBoxAndAnswerFalse) {
    struct {
        const char* name;
        bool damage;
        const char* box;
    } cases[] = {
        {"cannot open", false, "Can't open message base file."},
        {"damaged", true, "Message base \"mem.dat\" is damaged. Base needs fixing."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        TGlobalSettings settings;
        settings.EchoscanFile = dir.File("echotoss.log");
        TMemoryBase base({1, 2, 3});
        base.ScanSettings = &settings;
        base.SetUserIndex(0);
        base.Rescan();
        base.Damage = c.damage;
        base.Failure = EFileError("disk full", 28);
        test::TRecordingUi ui;
        auto msg = base.NewMsg();
        EXPECT_FALSE(msg->Save());
        EXPECT_FALSE(base.DeleteMsg(2));
        EXPECT_FALSE(base.DeleteMsgs({1, 3}, nullptr));
        EXPECT_EQ(ui.Errors, std::vector<std::string>(3, c.box));
        EXPECT_FALSE(base.IsRead(4));
        EXPECT_FALSE(test::FileExists(dir.File("echotoss.log")));
        EXPECT_EQ(base.Stored, (std::vector<TMsgId>{1, 2, 3}));
    }
}

TEST(CustomBase, DeletingUnknownIdsChangesNothing) {
    TMemoryBase base({1, 2, 3});
    base.Rescan();
    test::TRecordingUi ui;
    EXPECT_FALSE(base.DeleteMsg(7));
    EXPECT_TRUE(base.DeleteMsgs({7, 8}, nullptr));
    EXPECT_TRUE(base.Removed.empty());
    // The known ones of a bulk delete go, each once.
    std::vector<int> progress;
    EXPECT_TRUE(base.DeleteMsgs({3, 7, 1, 3}, [&](int p) { progress.push_back(p); }));
    EXPECT_EQ(base.Removed, (std::vector<TMsgId>{1, 3}));
    EXPECT_EQ(progress, (std::vector<int>{0, 100}));
    EXPECT_TRUE(base.DeleteMsg(2));
    EXPECT_TRUE(base.IsChanged());
    EXPECT_TRUE(ui.Errors.empty());
}

TEST(CustomBase, ProgressOfSteps) {
    std::vector<int> seen;
    TProgress progress = [&](int p) { seen.push_back(p); };
    for (size_t k = 0; k < 3; ++k)
        ReportProgress(progress, k, 3);
    ReportProgress(progress, 0, 1);
    ReportProgress(nullptr, 0, 1);
    EXPECT_EQ(seen, (std::vector<int>{0, 50, 100, -1}));
}

TEST(CustomBase, FailedRescanKeepsTheListAndAsksAgain) {
    TMemoryBase base({1, 2, 3});
    base.Rescan();
    base.Stored = {1, 2, 3, 4};
    base.Failure = EFileError("locked", 11);
    EXPECT_THROW(base.Rescan(), EFileError);
    EXPECT_EQ(base.GetCount(), 3);
    EXPECT_TRUE(base.HasList());
    EXPECT_TRUE(base.IsChanged());
    base.Failure.reset();
    base.Rescan();
    EXPECT_EQ(base.GetCount(), 4);
    EXPECT_FALSE(base.IsChanged());
}

TEST(CustomBase, ReadMarksAreSavedOnlyWhenChanged) {
    TTempDir dir;
    std::string file = dir.File("readings");
    {
        TMemoryBase base({1, 2, 3}, file);
        base.Rescan();
        base.SetUserIndex(4);
        base.SetRead(2, true);
        base.Close();
    }
    EXPECT_EQ(ParseReadings(test::ReadFile(file)).size(), 1u);

    // Marking an id that is already read changes nothing, so nothing is written.
    test::WriteFile(file, "sentinel");
    TMemoryBase base({1, 2, 3}, file);
    base.Rescan();
    base.SetUserIndex(4);
    base.SetRead(1, false);
    base.Close();
    EXPECT_EQ(test::ReadFile(file), "sentinel");
}

TEST(CustomBase, SwitchingUsersSavesTheOldUsersMarks) {
    TTempDir dir;
    std::string file = dir.File("readings");
    TMemoryBase base({1, 2, 3}, file);
    base.Rescan();
    base.SetUserIndex(0);
    base.SetRead(1, true);
    base.SetUserIndex(1);
    EXPECT_FALSE(base.IsRead(1));
    base.SetRead(3, true);
    base.SetUserIndex(0);
    EXPECT_TRUE(base.IsRead(1));
    EXPECT_FALSE(base.IsRead(3));
}

TEST(CustomBase, OtherUsersMarksSurviveWithoutAList) {
    TTempDir dir;
    std::string file = dir.File("readings");
    TReadingsRecord other;
    other.Id = 3;
    other.Set(7, true);
    struct {
        const char* name;
        bool rescan;
        bool failNext;
    } cases[] = {{"never rescanned", false, false}, {"rescan failed", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteFile(file, FormatReadings({other}));
        TMemoryBase base({1, 2, 3}, file);
        if (c.failNext)
            base.Failure = EFileError("locked", 11);
        if (c.rescan) {
            EXPECT_THROW(base.Rescan(), EFileError);
        }
        base.SetUserIndex(0);
        base.SetRead(1, true);
        base.Close();
        auto records = ParseReadings(test::ReadFile(file));
        ASSERT_EQ(records.size(), 2u);
        EXPECT_TRUE(records[0].Has(7));
        EXPECT_EQ(records[1].Id, 1u);
    }
}

TEST(UserInterface, BaseErrorTextsReachTheInstalledInterface) {
    test::TRecordingUi ui;
    ShowCantOpenBase();
    ShowBaseDamaged("/fido/area.sqd");
    ShowCannotAccessDirectory("/fido/netmail/");
    EXPECT_EQ(ui.Errors, (std::vector<std::string>{
                             "Can't open message base file.",
                             "Message base \"/fido/area.sqd\" is damaged. Base needs fixing.",
                             "Cannot access directory \"/fido/netmail/\".",
                         }));
}
