// The message list of the reader: which rows it shows, in which shape and order, and
// what it reads to get there.
#include "reader/MsgList.h"
#include "reader/MsgThreads.h"
#include "reader/OwnNames.h"
#include "reader/ReplyPrefix.h"
#include "reader/TextOrder.h"

#include "config/User.h"
#include "core/DateTime.h"

#include "ReaderBases.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <numeric>
#include <random>

using namespace tavro;
using tavro::test::MakeBase;
using tavro::test::TPost;
using tavro::test::TTempDir;

namespace {

// Each row as "position:depth" in display order.
std::vector<std::string> Shape(const TMsgList& list) {
    std::vector<std::string> shape;
    for (int index : list.DisplayOrder())
        shape.push_back(std::to_string(index) + ":" + std::to_string(list.Depth(index)));
    return shape;
}

const TBaseType AllTypes[] = {btMsg, btSquish, btJam};

} // namespace

TEST(ReplyPrefixTest, StripsEveryCompletePrefix) {
    const std::pair<const char*, const char*> cases[] = {
        {"Re: Re^2: x", "x"},
        {"RE[3]: y", "y"},
        {"Remark", "Remark"},
        {"Re[2 z", "Re[2 z"},
        {"Re:Re: Re  hello", "hello"},
        {"re^: a", "a"},
        {"Re", "Re"},
        {"Re:", ""},
        {"", ""},
        {"Re^12x: b", "Re^12x: b"},
        {"rE   tail", "tail"},
    };
    for (const auto& [subject, compared] : cases)
        EXPECT_EQ(StripReplyPrefixes(subject), compared) << subject;
}

TEST(TextOrderTest, WeightsKeepTheirOrderAsBytes) {
    // Each length class of the encoding, at its edges.
    const uint32_t weights[] = {1,         0x7F,       0x80,       0x7FF,      0x800,
                                0xFFFF,    0x10000,    0x1FFFFF,   0x200000,   0x3FFFFFF,
                                0x4000000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
    std::string previous;
    for (uint32_t weight : weights) {
        std::string key;
        AppendWeight(key, weight);
        // A longer key of smaller weights must still sort first.
        std::string longer = previous + previous;
        EXPECT_LT(previous, key) << std::hex << weight;
        EXPECT_LT(longer, key) << std::hex << weight;
        previous = key;
    }
}

TEST(TextOrderTest, SortByKeysAgreesWithAPlainSort) {
    // Short alphabets make many shared starts and equal keys; a long shared start runs past
    // the partitioning into the plain sort.
    std::mt19937 random(7);
    for (const std::string& start :
         {std::string(), std::string("Subject of message "), std::string(200, 'x')}) {
        std::vector<std::string> texts;
        for (int i = 0; i < 3000; ++i) {
            std::string text = i % 5 == 0 ? std::string() : start;
            for (size_t n = random() % 6; n > 0; --n)
                text.push_back("ab\x80\xFF"[random() % 4]);
            texts.push_back(text);
        }
        TPackedTexts keys;
        for (const std::string& text : texts)
            keys.Add(text);
        std::vector<uint32_t> ids(texts.size());
        std::iota(ids.begin(), ids.end(), 0u);
        SortByKeys(ids, keys);
        std::vector<std::string_view> sorted;
        for (uint32_t id : ids)
            sorted.push_back(keys[id]);
        std::vector<std::string_view> expected(texts.begin(), texts.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted, expected) << start.size();
    }
}

TEST(OwnNamesTest, MatchesNameRealNameHighlightsAndModerators) {
    TUser user;
    user.Name = "  Ivan Petrov ";
    user.RealName = "\xC8\xE2\xE0\xED"; // "Иван" in the display page
    user.HighlightNames = {" Sysop ", ""};
    const TOwnNames own(user);
    const std::pair<const char*, bool> cases[] = {
        {"ivan petrov", true},   {" IVAN PETROV  ", true},  {"\xE8\xE2\xE0\xED", true}, // "иван"
        {"sysop", true},         {"Area Moderator", false}, {"AreaModerator x", true},
        {"moderator", true},     {"Ivan", false},           {"", false},
        {"Ivan  Petrov", false},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(own.IsOwnName(name), expected) << name;
}

// Bases store a Cyrillic "р" and "Н" as Latin "p" and "H"; the name still is the user's.
TEST(OwnNamesTest, MatchesTheStoredSpellingOfCyrillicNames) {
    const TOwnNames own({"\xC0\xED\xE4\xF0\xE5\xE9 \xCD\xEE\xE2"}); // "Андрей Нов"
    const std::pair<const char*, bool> cases[] = {
        {"\xC0\xED\xE4p\xE5\xE9 H\xEE\xE2", true}, // as stored
        {"\xE0\xED\xE4\xF0\xE5\xE9 \xED\xEE\xE2", true},
        {"\xC0\xCD\xC4\xD0\xC5\xC9 \xCD\xCE\xC2", true},
        {"\xC0\xED\xE4\xF0\xE5\xE9", false},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(own.IsOwnName(name), expected) << name;
}

TEST(MsgListTest, StoredLinksAndReplyKludgesMakeThreads) {
    // 1 <- 2 <- 4 stored; 3 and 5 only carry REPLY kludges; 6 answers a message not here.
    for (TBaseType type : {btSquish, btJam}) {
        TTempDir dir;
        TBaseRef base = MakeBase(type, dir,
                                 {{"root", 0, "2:1/1 0001"},
                                  {"Re: root", 1, "2:1/1 0002", "2:1/1 0001"},
                                  {"Re: root", 0, "2:1/1 0003", "2:1/1  0001"},
                                  {"Re: Re: root", 2, "2:1/1 0004"},
                                  {"Re: Re: root", 0, "", "2:1/1 0003"},
                                  {"Re: gone", 99, "", "2:1/1 dead"}});
        TMsgList list;
        list.Fill(base.Get(), {}, true);
        EXPECT_EQ(Shape(list), (std::vector<std::string>{"0:0", "1:1", "3:2", "2:1", "4:2", "5:0"})) << type;
    }
}

TEST(MsgListTest, MsgAreasThreadByKludgesFromTheText) {
    TTempDir dir;
    TBaseRef base = MakeBase(btMsg, dir, {{"a", 0, "1:1/1 1"}, {"Re: a", 0, "1:1/1 2", "1:1/1 1"}});
    TMsgList list;
    list.Fill(base.Get(), {}, true);
    EXPECT_EQ(Shape(list), (std::vector<std::string>{"0:0", "1:1"}));
}

TEST(MsgListTest, LinksThatCloseACycleAreLeftOut) {
    // Stored links 1 -> 2 -> 1 and a message answering itself; kludges x <-> y.
    for (TBaseType type : {btSquish, btJam}) {
        TTempDir dir;
        TBaseRef base = MakeBase(type, dir,
                                 {{"a", 2},
                                  {"b", 1},
                                  {"self", 3},
                                  {"x", 0, "1:1/1 x", "1:1/1 y"},
                                  {"y", 0, "1:1/1 y", "1:1/1 x"}});
        TMsgList list;
        ASSERT_NO_THROW(list.Fill(base.Get(), {}, true));
        const std::vector<std::string> shape = Shape(list);
        EXPECT_EQ(shape.size(), 5u) << type;
        // Every row once, one root per cycle.
        EXPECT_EQ(list.ChildCount(TMsgList::NoParent), 3) << type;
        EXPECT_EQ(list.Parent(2), TMsgList::NoParent) << type;
    }
}

TEST(MsgListTest, FlatFillReadsNoHeader) {
    TTempDir dir;
    TBaseRef base = MakeBase(btSquish, dir, {{"a"}, {"b"}, {"c"}});
    // The headers are gone; the index read by the rescan is all a flat list needs.
    std::filesystem::resize_file(dir.File("area.sqd"), 256);
    TMsgList list;
    ASSERT_NO_THROW(list.Fill(base.Get(), {}, false));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.ChildCount(TMsgList::NoParent), 3);
    EXPECT_THROW(list.Row(1), EFileError);
    EXPECT_THROW(list.Fill(base.Get(), {}, true), EFileError);
    EXPECT_EQ(list.Count(), 0);
}

TEST(MsgListTest, SortsEveryLevelWithTieBreaks) {
    TTempDir dir;
    const TDateTime day = 45000, ms = 1.0 / 86400000;
    TBaseRef base = MakeBase(btJam, dir,
                             {{"Re: abc", 0, "", "", "bob", day + 2},
                              {"abc", 0, "", "", "Alice", day + 1},
                              {"Zeta", 0, "", "", "alice", day + 1 + ms / 2},
                              {"\xE0\xE1\xE2", 0, "", "", "Bob", day}, // "абв"
                              {"re: Re^2: ABC", 0, "", "", "carl", day + 1}});
    TMsgList list;
    list.Fill(base.Get(), {}, false);
    const std::pair<int, std::vector<int>> cases[] = {
        {mcSubj, {1, 4, 0, 2, 3}}, // prefixes off, case ignored; ties by date, then position
        {mcFrom, {1, 2, 3, 0, 4}}, // alice twice: dates within a millisecond are equal
        {mcTo, {0, 1, 2, 3, 4}},   {mcDate, {3, 1, 2, 4, 0}}, {mcNumber, {0, 1, 2, 3, 4}},
    };
    for (const auto& [column, order] : cases) {
        list.Sort(column);
        EXPECT_EQ(list.DisplayOrder(), order) << column;
        EXPECT_EQ(list.SortColumn(), column);
    }
}

TEST(MsgListTest, SortingThreadsKeepsRepliesUnderTheirParents) {
    TTempDir dir;
    TBaseRef base = MakeBase(btSquish, dir, {{"m"}, {"z", 1}, {"a", 1}, {"b"}});
    TMsgList list;
    list.Fill(base.Get(), {}, true);
    list.Sort(mcSubj);
    EXPECT_EQ(list.DisplayOrder(), (std::vector<int>{3, 0, 2, 1}));
    EXPECT_EQ(list.Place(2), 0);
}

TEST(MsgListTest, ThreadUnreadLooksAtEveryReplyBelow) {
    for (TBaseType type : AllTypes) {
        TTempDir dir;
        TBaseRef base = MakeBase(type, dir, {{"a", 0, "1:1/1 a"}, {"b", 0, "1:1/1 b", "1:1/1 a"}, {"c"}});
        base->SetUserIndex(0);
        for (int p = 0; p < 3; ++p)
            base->SetRead(base->GetMsgId(p), p != 1);
        TMsgList list;
        list.Fill(base.Get(), {}, true);
        EXPECT_TRUE(list.ThreadUnread(0)) << type;
        EXPECT_TRUE(list.ThreadUnread(1)) << type;
        EXPECT_FALSE(list.ThreadUnread(2)) << type;
        base->SetRead(base->GetMsgId(1), true);
        list.ReadStateChanged();
        EXPECT_FALSE(list.ThreadUnread(0)) << type;
    }
}

TEST(MsgListTest, RowsCarryOwnNameFlags) {
    TTempDir dir;
    TBaseRef base = MakeBase(btJam, dir, {{"a", 0, "", "", "Ivan Petrov"}, {"b", 0, "", "", "Other"}});
    TMsgList list;
    list.Fill(base.Get(), TOwnNames({"ivan petrov", "All"}), false);
    EXPECT_EQ(list.Row(0).Flags, rfFromOwn | rfToOwn);
    EXPECT_EQ(list.Row(1).Flags, rfToOwn);
    EXPECT_EQ(list.Row(1).From, "Other");
}
