#include "core/Base.h"
#include "core/Readings.h"
#include "core/UserInterface.h"

#include "RecordingUi.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::TTempDir;

namespace {

// A base held in memory: enough to exercise what every format inherits. With a readings
// file it keeps read marks as the formats wire them; without, it keeps the defaults that
// compare with the last-read id.
class TMemoryBase final : public TCustomBase {
public:
    TMemoryBase(std::vector<TMsgId> ids, std::string readings = {}, bool* destroyed = nullptr)
        : TCustomBase("mem", "ECHO.TAG", ""), Ids(std::move(ids)), Readings(std::move(readings)),
          Destroyed(destroyed) {}
    ~TMemoryBase() override {
        if (Destroyed)
            *Destroyed = true;
    }

    int GetCount() override { return static_cast<int>(Ids.size()); }
    TCustomMsg* GetMsg(int) override { return nullptr; }
    TMsgId GetMsgId(int position) override {
        return position >= 0 && position < GetCount() ? Ids[position] : NoMsgId;
    }
    void SetLastRead(TMsgId id) override { LastRead = id; }
    TMsgId GetLastRead() override { return LastRead; }
    void Rescan() override {}
    void Invalidate() override {}
    bool IsChanged() override { return false; }
    std::unique_ptr<TCustomMsg> NewMsg() override { return nullptr; }
    bool DeleteMsg(TMsgId id) override {
        Deleted.push_back(id);
        return true;
    }

    void SetUserIndex(int index) override {
        if (!Readings.empty())
            SaveReadMarks(Readings);
        TCustomBase::SetUserIndex(index);
        if (!Readings.empty())
            LoadReadMarks(Readings);
    }
    void SetRead(TMsgId id, bool value) override {
        if (!Readings.empty())
            SetReadMark(id, value);
    }
    bool IsRead(TMsgId id) override { return Readings.empty() ? TCustomBase::IsRead(id) : HasReadMark(id); }
    void Close() override {
        if (!Readings.empty())
            SaveReadMarks(Readings);
    }
    bool Dirty() const { return ReadingsDirty; }

    std::vector<TMsgId> Ids;
    std::vector<TMsgId> Deleted;
    TMsgId LastRead = 0;
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
        EXPECT_EQ(base.FindNearest(c.id), c.nearest) << c.id;
        EXPECT_EQ(base.IndexOfId(c.id), c.index) << c.id;
    }
}

TEST(CustomBase, DefaultReadStateFollowsTheLastReadPointer) {
    TMemoryBase base({5, 7, 9});
    base.SetLastRead(7);
    EXPECT_TRUE(base.IsRead(7));
    EXPECT_FALSE(base.IsRead(9));
    EXPECT_TRUE(base.HasUnread());
    base.SetLastRead(9);
    EXPECT_FALSE(base.HasUnread());
    EXPECT_FALSE(TMemoryBase({}).HasUnread());
}

TEST(CustomBase, DeleteMsgsReportsProgressAndDeletesEveryId) {
    TMemoryBase base({1, 2, 3});
    std::vector<int> progress;
    EXPECT_TRUE(base.DeleteMsgs({1, 2, 3}, [&](int p) { progress.push_back(p); }));
    EXPECT_EQ(progress, (std::vector<int>{0, 50, 100}));
    EXPECT_EQ(base.Deleted, (std::vector<TMsgId>{1, 2, 3}));

    progress.clear();
    base.DeleteMsgs({2}, [&](int p) { progress.push_back(p); });
    EXPECT_EQ(progress, (std::vector<int>{-1}));
    EXPECT_TRUE(base.DeleteMsgs({}, nullptr));
}

TEST(CustomBase, ReleaseFreesTheBaseWithTheLastReference) {
    bool destroyed = false;
    auto* base = new TMemoryBase({}, {}, &destroyed);
    base->AddRef();
    base->Release();
    EXPECT_FALSE(destroyed);
    base->Release();
    EXPECT_TRUE(destroyed);
}

TEST(CustomBase, ReadMarksAreSavedOnlyWhenChanged) {
    TTempDir dir;
    std::string file = dir.File("readings");
    {
        TMemoryBase base({1, 2, 3}, file);
        base.SetUserIndex(4);
        base.SetRead(2, true);
        EXPECT_TRUE(base.Dirty());
        base.Close();
    }
    EXPECT_EQ(ParseReadings(test::ReadFile(file)).size(), 1u);

    // Marking an id that is already read changes nothing, so nothing is written.
    test::WriteFile(file, "sentinel");
    TMemoryBase base({1, 2, 3}, file);
    base.SetUserIndex(4);
    base.SetRead(1, false);
    EXPECT_FALSE(base.Dirty());
    base.Close();
    EXPECT_EQ(test::ReadFile(file), "sentinel");
}

TEST(CustomBase, SwitchingUsersSavesTheOldUsersMarks) {
    TTempDir dir;
    std::string file = dir.File("readings");
    TMemoryBase base({1, 2, 3}, file);
    base.SetUserIndex(0);
    base.SetRead(1, true);
    base.SetUserIndex(1);
    EXPECT_FALSE(base.IsRead(1));
    base.SetRead(3, true);
    base.SetUserIndex(0);
    EXPECT_TRUE(base.IsRead(1));
    EXPECT_FALSE(base.IsRead(3));
}

TEST(CustomBase, WriteMsgAppendsTheTagToTheScanFiles) {
    TTempDir dir;
    TMemoryBase echo({});
    echo.ScanFiles = {dir.File("netmail.flg"), " " + dir.File("echotoss.log") + " ", {}};
    EXPECT_TRUE(echo.WriteMsg(nullptr));
    EXPECT_TRUE(echo.WriteMsg(nullptr));
    EXPECT_EQ(test::ReadFile(dir.File("echotoss.log")), "ECHO.TAG\r\nECHO.TAG\r\n");
    EXPECT_FALSE(test::FileExists(dir.File("netmail.flg")));

    TMemoryBase netmail({});
    netmail.NetmailTag = "NETMAIL";
    netmail.EchoTag.clear();
    netmail.ScanFiles = {dir.File("netmail.flg"), dir.File("echotoss.log"), {}};
    EXPECT_TRUE(netmail.WriteMsg(nullptr));
    EXPECT_EQ(test::ReadFile(dir.File("netmail.flg")), "NETMAIL\r\n");
    EXPECT_EQ(test::ReadFile(dir.File("echotoss.log")), "ECHO.TAG\r\nECHO.TAG\r\n");

    // A scan file that cannot be written does not fail the stored message.
    netmail.ScanFiles.NetmailFlag = dir.File("no/such/dir/netmail.flg");
    EXPECT_TRUE(netmail.WriteMsg(nullptr));
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
