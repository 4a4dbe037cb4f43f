// Deleting from the reader: the last-read rule without marks, and single deletes up to the
// limit, one bulk delete above it.
#include "reader/MsgDelete.h"

#include "BaseHelpers.h"
#include "ReaderBases.h"

#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::Ids;
using tavro::test::MakeBase;
using tavro::test::TTempDir;

namespace {

// An area held in memory that tells how its messages were removed.
class TCountingBase final : public TCustomBase {
public:
    explicit TCountingBase(int count) : TCustomBase("", "", "") {
        for (int id = 1; id <= count; ++id)
            List.push_back(static_cast<TMsgId>(id));
    }

    int GetCount() override { return static_cast<int>(List.size()); }
    TMsgHandle GetMsg(int) override { return nullptr; }
    TMsgId GetMsgId(int position) override {
        return position >= 0 && position < GetCount() ? List[static_cast<size_t>(position)] : NoMsgId;
    }
    void Invalidate() override {}
    bool IsChanged() override { return false; }
    bool Exists() override { return true; }
    std::unique_ptr<TCustomMsg> NewMsg() override { return std::make_unique<TCustomMsg>(this); }
    void SetLastRead(TMsgId id) override { LastRead = id; }
    TMsgId GetLastRead() override { return LastRead; }

    std::vector<TMsgId> List;
    // The number of ids of each removal, and the ids, in order.
    std::vector<size_t> Removals;
    std::vector<TMsgId> Removed;
    TMsgId LastRead = 7;

protected:
    bool LoadList() override { return true; }
    TMsgId StoreMsg(TCustomMsg&) override { throw EFileError("read-only", 0); }
    size_t RemoveMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) override {
        Removals.push_back(ids.size());
        for (size_t k = 0; k < ids.size(); ++k) {
            ReportProgress(progress, k, ids.size());
            std::erase(List, ids[k]);
            Removed.push_back(ids[k]);
        }
        return ids.size();
    }
    void CreateStorage() override {}
    std::string ReadingsFileName() const override { return {}; }
    void LoadLastRead() override {}
    void SaveLastRead() override {}
    void DropCache() override {}
};

TSortedList MarksOf(const std::vector<TMsgId>& ids) {
    TSortedList marks;
    for (TMsgId id : ids)
        marks.Add(static_cast<int32_t>(id));
    return marks;
}

} // namespace

TEST(MsgDeleteTest, WithoutMarksTheNextMessageTakesTheLastReadPointer) {
    const struct {
        int Current;
        std::vector<int> Left; // positions of the five messages that stay
        int LastRead;          // position whose id the pointer holds afterwards
    } cases[] = {
        {2, {0, 1, 3, 4}, 3},    // the next one becomes current after the refill
        {0, {1, 2, 3, 4}, 1},    //
        {4, {0, 1, 2, 3}, 1},    // the last one leaves the pointer where it was
        {-1, {0, 1, 2, 3, 4}, 1} // nothing current
    };
    for (TBaseType type : {btMsg, btSquish, btJam}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "type " << int(type) << ", current " << c.Current);
            TTempDir dir;
            TBaseRef base = MakeBase(type, dir, {{"A"}, {"B"}, {"C"}, {"D"}, {"E"}});
            base->SetUser(0, "Reader");
            const std::vector<TMsgId> ids = Ids(*base);
            base->SetLastRead(ids[1]);
            TSortedList marks;
            DeleteMessages(*base, marks, c.Current, {});
            base->Rescan();
            std::vector<TMsgId> left;
            for (int p : c.Left)
                left.push_back(ids[static_cast<size_t>(p)]);
            EXPECT_EQ(Ids(*base), left);
            EXPECT_EQ(base->GetLastRead(), ids[static_cast<size_t>(c.LastRead)]);
        }
    }
}

TEST(MsgDeleteTest, MarkedMessagesGoAndTheCurrentOneAndThePointerStay) {
    TTempDir dir;
    TBaseRef base = MakeBase(btJam, dir, {{"A"}, {"B"}, {"C"}, {"D"}, {"E"}});
    const std::vector<TMsgId> ids = Ids(*base);
    base->SetLastRead(ids[1]);
    TSortedList marks = MarksOf({ids[4], ids[0], ids[2]});
    DeleteMessages(*base, marks, 1, {});
    base->Rescan();
    EXPECT_EQ(Ids(*base), (std::vector<TMsgId>{ids[1], ids[3]}));
    EXPECT_EQ(base->GetLastRead(), ids[1]);
    EXPECT_EQ(marks.Count(), 0);
}

TEST(MsgDeleteTest, OneByOneUpToAHundredMarksThenOneBulkDelete) {
    const struct {
        int Marked;
        std::vector<size_t> Removals;
        std::vector<int> FirstProgress;
    } cases[] = {
        {1, {1}, {100}},
        {2, {1, 1}, {0, 100}},
        {3, {1, 1, 1}, {0, 50, 100}},
        {100, std::vector<size_t>(100, 1), {0, 1, 2}},
        {101, {101}, {0, 1, 2}},
        {150, {150}, {0, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Marked);
        TCountingBase base(c.Marked + 5);
        std::vector<TMsgId> marked;
        for (int k = 0; k < c.Marked; ++k)
            marked.push_back(static_cast<TMsgId>(c.Marked + 5 - k)); // from the end, descending
        TSortedList marks = MarksOf(marked);
        std::vector<int> progress;
        DeleteMessages(base, marks, 0, [&](int percent) { progress.push_back(percent); });

        EXPECT_EQ(base.Removals, c.Removals);
        EXPECT_EQ(base.List, (std::vector<TMsgId>{1, 2, 3, 4, 5}));
        EXPECT_EQ(marks.Count(), 0);
        EXPECT_EQ(base.LastRead, 7u);
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(std::vector<int>(progress.begin(), progress.begin() + ptrdiff_t(c.FirstProgress.size())),
                  c.FirstProgress);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_EQ(progress.back(), 100);
    }
}

TEST(MsgDeleteTest, MarkedIdsGoInAscendingOrder) {
    // An id past the signed range sorts first among the marks but is the highest id.
    const std::vector<TMsgId> ids = {0x80000001u, 12, 11, 30};
    TCountingBase base(0);
    base.List = ids;
    TSortedList marks = MarksOf(ids);
    DeleteMessages(base, marks, -1, {});
    EXPECT_EQ(base.Removed, (std::vector<TMsgId>{11, 12, 30, 0x80000001u}));
    EXPECT_TRUE(base.List.empty());
}
