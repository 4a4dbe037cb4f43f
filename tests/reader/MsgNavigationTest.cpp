// Moving through an area, the reply links of the header and the marks, on small Squish
// bases with the links a tosser stores.
#include "reader/MsgNavigation.h"

#include "ReaderBases.h"

#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::MakeBase;
using tavro::test::TTempDir;

namespace {

// Ids 1..5. Threads: 0 with 1 below and 3 below that, then 2, then 4.
TBaseRef ThreadedBase(const TTempDir& dir) {
    return MakeBase(
        btSquish, dir,
        {{"A", 0, "", "", "Ann", 45000, {2}}, {"A1", 1, "", "", "Bob", 45000, {4}}, {"B"}, {"A2", 2}, {"C"}});
}

std::vector<int> Range(const TRowOrder& order, int from, int to) {
    return RowRange(order, from, to);
}

} // namespace

TEST(MsgNavigationTest, MovesFollowTheRowsAndGoToTheTreeAtTheEnds) {
    TTempDir dir;
    TBaseRef base = ThreadedBase(dir);
    base->SetUser(0, "Reader");
    for (TMsgId read : {3u, 4u, 5u}) // rows 3, 2 and 4 of the threads
        base->SetRead(read, true);
    TMsgList list;
    list.Fill(base.Get(), {}, true);
    const TRowOrder order(list);
    ASSERT_EQ(list.DisplayOrder(), (std::vector<int>{0, 1, 3, 2, 4}));
    const std::optional<int> None, Tree = -1;
    const struct {
        int From;
        TMove Move;
        std::optional<int> To;
    } cases[] = {
        {1, TMove::Next, 3},           {3, TMove::Next, 2},
        {4, TMove::Next, Tree},        {0, TMove::Previous, Tree},
        {2, TMove::Previous, 3},       {1, TMove::NextUnread, Tree}, // unread only above
        {4, TMove::PreviousUnread, 1}, {3, TMove::NextThread, 2},
        {2, TMove::PreviousThread, 0}, {0, TMove::PreviousThread, Tree},
        {4, TMove::NextThread, Tree},  {3, TMove::First, 0},
        {3, TMove::Last, 4},           {-1, TMove::Next, None}, // no focused row, messages there
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindMove(list, order, c.From, c.Move), c.To) << c.From << " " << int(c.Move);

    TMsgList flat;
    flat.Fill(base.Get(), {}, false);
    EXPECT_EQ(FindMove(flat, TRowOrder(flat), 0, TMove::NextThread), None);
    EXPECT_EQ(FindMove(flat, TRowOrder(flat), 1, TMove::Next), 2);

    TTempDir emptyDir;
    TBaseRef emptyBase = MakeBase(btSquish, emptyDir, {});
    TMsgList empty;
    empty.Fill(emptyBase.Get(), {}, false);
    EXPECT_EQ(FindMove(empty, TRowOrder(empty), -1, TMove::Next), Tree);
    EXPECT_EQ(FindMove(empty, TRowOrder(empty), -1, TMove::First), None);
}

TEST(MsgNavigationTest, HeaderNumbersAndReplyLinks) {
    EXPECT_EQ(MsgNumText(4, 20), "5/20-15");
    EXPECT_EQ(MsgNumText(0, 1), "1/1-0");

    TTempDir dir;
    // 0 answered by 2 and 3 and by a message not in the area; 1 answers 0; 3 answers a
    // message not in the area.
    TBaseRef base =
        MakeBase(btSquish, dir, {{"root", 0, "", "", "A", 45000, {99, 2, 3}}, {"one", 1}, {"two", 99}});
    const struct {
        int Position;
        int Parent;
        std::vector<int> Answers;
        const char* Text;
    } cases[] = {
        {0, -1, {1, 2}, " +2 3"},
        {1, 0, {}, "-1"},
        {2, -1, {}, ""},
    };
    for (const auto& c : cases) {
        const TReplyLinks links = FindReplyLinks(*base, *base->GetMsg(c.Position));
        EXPECT_EQ(links.Parent, c.Parent) << c.Position;
        EXPECT_EQ(links.Answers, c.Answers) << c.Position;
        EXPECT_EQ(links.Text, c.Text) << c.Position;
    }
}

TEST(MsgNavigationTest, ThreadWalkFindsTheRootAndStopsAtCycles) {
    TTempDir dir;
    TBaseRef base = ThreadedBase(dir);
    EXPECT_EQ(ThreadIds(*base, 3), (std::vector<TMsgId>{1, 2, 4}));
    EXPECT_EQ(ThreadIds(*base, 4), (std::vector<TMsgId>{5}));

    TTempDir other;
    // 0 and 1 answer each other; 2 answers a message not in the area.
    TBaseRef cycle = MakeBase(
        btSquish, other, {{"x", 2, "", "", "A", 45000, {2}}, {"y", 1, "", "", "B", 45000, {1}}, {"z", 77}});
    EXPECT_EQ(ThreadIds(*cycle, 0), (std::vector<TMsgId>{2, 1}));
    EXPECT_EQ(ThreadIds(*cycle, 2), (std::vector<TMsgId>{3}));
}

TEST(MsgNavigationTest, Marks) {
    TTempDir dir;
    TBaseRef base = ThreadedBase(dir);
    TSortedList marks;
    InvertMarks(marks, *base);
    EXPECT_EQ(marks.Count(), 5);
    InvertMarks(marks, *base);
    EXPECT_EQ(marks.Count(), 0);
    ToggleMark(marks, 3);
    ToggleMark(marks, 4);
    ToggleMark(marks, 3);
    InvertMarks(marks, *base);
    EXPECT_EQ(marks, [] {
        TSortedList expected;
        expected.Assign(std::vector<int32_t>{1, 2, 3, 5});
        return expected;
    }());
    MarkAll(marks, *base);
    EXPECT_EQ(marks.Count(), 5);

    TMsgList list;
    list.Fill(base.Get(), {}, true);
    const TRowOrder order(list);
    EXPECT_EQ(Range(order, 1, 2), (std::vector<int>{1, 3, 2}));
    EXPECT_EQ(Range(order, 2, 1), (std::vector<int>{1, 3, 2}));
    EXPECT_EQ(Range(order, -1, 3), (std::vector<int>{0, 1, 3}));
    marks.Clear();
    AddMarks(marks, *base, Range(order, 3, 4));
    EXPECT_EQ(marks.Count(), 3);
}
