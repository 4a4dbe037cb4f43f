#include "core/Readings.h"
#include "core/FileUtils.h"

#include "TempDir.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/stat.h>

using namespace tavro;
using tavro::test::TTempDir;

namespace {

std::string OldRecord(uint32_t id, uint32_t mask) {
    std::string r;
    for (uint32_t v : {id, mask})
        for (int i = 0; i < 4; ++i)
            r += char(v >> (8 * i));
    return r;
}

TReadingsRecord Record(uint32_t id, std::initializer_list<int> users) {
    TReadingsRecord r;
    r.Id = id;
    for (int u : users)
        r.Set(u, true);
    return r;
}

TSortedList Ids(std::initializer_list<int32_t> ids) {
    TSortedList list;
    for (int32_t id : ids)
        list.Add(id);
    return list;
}

// The ids a base listed, for the length of the call that takes them.
const TSortedList* Listed(const TSortedList& ids) {
    return &ids;
}

std::vector<int32_t> Items(const TSortedList& list) {
    std::vector<int32_t> items;
    for (int i = 0; i < list.Count(); ++i)
        items.push_back(list.Get(i));
    return items;
}

std::vector<int32_t> Load(const std::string& file, int user) {
    TSortedList set;
    LoadReadings(file, user, set);
    return Items(set);
}

} // namespace

TEST(Readings, NewLayoutRoundTripsEveryUserSlot) {
    TTempDir dir;
    std::string file = dir.File("readings");
    test::WriteFile(file, FormatReadings({Record(5, {0, 255}), Record(7, {40}), Record(9, {0})}));
    EXPECT_EQ(Load(file, 0), (std::vector<int32_t>{5, 9}));
    EXPECT_EQ(Load(file, 40), (std::vector<int32_t>{7}));
    EXPECT_EQ(Load(file, 255), (std::vector<int32_t>{5}));
    EXPECT_TRUE(Load(file, 1).empty());
}

TEST(Readings, OldLayoutKnowsUsersUpTo31) {
    TTempDir dir;
    std::string file = dir.File("readings");
    test::WriteFile(file, OldRecord(3, 0x80000001u) + OldRecord(4, 0x2u));
    EXPECT_EQ(Load(file, 0), (std::vector<int32_t>{3}));
    EXPECT_EQ(Load(file, 31), (std::vector<int32_t>{3}));
    EXPECT_EQ(Load(file, 1), (std::vector<int32_t>{4}));
    EXPECT_TRUE(Load(file, 32).empty());
}

TEST(Readings, DamagedFilesGiveWhatCanBeRead) {
    TTempDir dir;
    std::string full = FormatReadings({Record(5, {2}), Record(6, {2})});
    struct Case {
        const char* name;
        bool exists;
        std::string data;
        std::vector<int32_t> expected;
    } cases[] = {
        {"missing", false, "", {}},
        {"empty", true, "", {}},
        {"header only", true, std::string(ReadingsSignature), {}},
        {"truncated last record", true, full.substr(0, full.size() - 1), {5}},
        {"short of a header", true, "Readings", {}},
        // Taken as old records: two with id 0xFFFFFFFF, one read mark.
        {"garbage", true, std::string(17, '\xff'), {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = dir.File(c.name);
        if (c.exists)
            test::WriteFile(file, c.data);
        EXPECT_EQ(Load(file, 2), c.expected);
    }
}

TEST(Readings, UnorderedRepeatedRecordsLoadAsASortedSet) {
    // Records in any order, an id in up to three of them with the user's bit in any; ids above
    // 2^31 included. The set already holds two ids, one of them in the file too.
    std::mt19937 random(20240105);
    std::vector<TReadingsRecord> records;
    std::set<int32_t> expected = {50, 100000};
    std::vector<uint32_t> ids;
    for (uint32_t id = 1; id <= 400; ++id)
        ids.push_back(id);
    for (uint32_t id : {0x80000001u, 0xFFFFFFFEu})
        ids.push_back(id);
    for (uint32_t id : ids) {
        for (int copies = 1 + static_cast<int>(random() % 3); copies > 0; --copies) {
            const bool read = random() % 2 == 0;
            records.push_back(read ? Record(id, {2, 7}) : Record(id, {7}));
            if (read)
                expected.insert(static_cast<int32_t>(id));
        }
    }
    std::shuffle(records.begin(), records.end(), random);
    ASSERT_GT(records.size(), ids.size());

    std::string oldData;
    for (const TReadingsRecord& r : records)
        oldData += OldRecord(r.Id, r.Masks[0]);
    TTempDir dir;
    for (bool oldLayout : {false, true}) {
        SCOPED_TRACE(oldLayout ? "old layout" : "new layout");
        const std::string file = dir.File("readings");
        test::WriteFile(file, oldLayout ? oldData : FormatReadings(records));
        TSortedList set = Ids({50, 100000});
        LoadReadings(file, 2, set);
        EXPECT_EQ(Items(set), std::vector<int32_t>(expected.begin(), expected.end()));
        for (int32_t id : expected)
            EXPECT_TRUE(set.Contains(id)) << id;
        EXPECT_FALSE(set.Contains(401));
    }
}

TEST(Readings, OutOfRangeUserReadsAndWritesNothing) {
    TTempDir dir;
    std::string file = dir.File("readings");
    test::WriteFile(file, FormatReadings({Record(1, {0})}));
    EXPECT_TRUE(Load(file, 256).empty());
    EXPECT_TRUE(Load(file, -1).empty());
    SaveReadings(file, 300, Ids({1, 2}), Listed(Ids({1, 2})), false);
    EXPECT_EQ(test::ReadFile(file), FormatReadings({Record(1, {0})}));
}

TEST(Readings, SaveMergesOnlyTheCurrentUsersBit) {
    TTempDir dir;
    std::string file = dir.File("readings");
    test::WriteFile(file, FormatReadings({Record(1, {0, 3}), Record(2, {3}), Record(3, {0})}));
    // User 3 now has read 1 and 4 (not 2); message 3 is still there, 5 is gone.
    SaveReadings(file, 3, Ids({1, 4, 5}), Listed(Ids({1, 2, 3, 4})), false);
    EXPECT_EQ(Load(file, 3), (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(Load(file, 0), (std::vector<int32_t>{1, 3}));
    auto records = ParseReadings(test::ReadFile(file));
    ASSERT_EQ(records.size(), 4u); // 2 stays as an empty record until its message goes
    EXPECT_EQ(records[1].Id, 2u);
    EXPECT_FALSE(records[1].Has(3));
}

TEST(Readings, RecordsOfDeletedMessagesAreDropped) {
    TTempDir dir;
    std::string file = dir.File("readings");
    test::WriteFile(file, FormatReadings({Record(1, {0}), Record(2, {7}), Record(3, {0})}));
    SaveReadings(file, 0, Ids({1, 3}), Listed(Ids({1, 3})), false);
    auto records = ParseReadings(test::ReadFile(file));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Id, 1u);
    EXPECT_EQ(records[1].Id, 3u);
}

TEST(Readings, OldLayoutIsConvertedWhenAUserAbove31Saves) {
    TTempDir dir;
    std::string file = dir.File("readings");
    test::WriteFile(file, OldRecord(10, 0x5u) + OldRecord(11, 0x80000000u));
    SaveReadings(file, 40, Ids({11, 12}), Listed(Ids({10, 11, 12})), false);
    std::string data = test::ReadFile(file);
    ASSERT_EQ(data.substr(0, 12), "Readings 1.0");
    EXPECT_EQ(data.size(), 12u + 3 * 36);
    EXPECT_EQ(Load(file, 0), (std::vector<int32_t>{10}));
    EXPECT_EQ(Load(file, 2), (std::vector<int32_t>{10}));
    EXPECT_EQ(Load(file, 31), (std::vector<int32_t>{11}));
    EXPECT_EQ(Load(file, 40), (std::vector<int32_t>{11, 12}));
}

TEST(Readings, RepeatedRecordsAreMergedOrDropped) {
    TTempDir dir;
    std::string file = dir.File("readings");
    std::string twice = FormatReadings({Record(1, {0, 5}), Record(1, {0})});
    test::WriteFile(file, twice);
    SaveReadings(file, 0, Ids({1}), Listed(Ids({1})), true);
    ASSERT_EQ(ParseReadings(test::ReadFile(file)).size(), 1u);
    EXPECT_EQ(Load(file, 5), (std::vector<int32_t>{1}));

    test::WriteFile(file, twice);
    SaveReadings(file, 0, Ids({1}), Listed(Ids({1})), false);
    auto kept = ParseReadings(test::ReadFile(file));
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_TRUE(kept[0].Has(0));
    EXPECT_EQ(Load(file, 0), (std::vector<int32_t>{1}));
}

TEST(Readings, UnchangedMergeDoesNotRewriteTheFile) {
    TTempDir dir;
    std::string file = dir.File("readings");
    test::WriteFile(file, FormatReadings({Record(1, {0}), Record(2, {1})}));
    struct stat before {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    // Back-date the file so a rewrite would show in its time.
    struct timespec times[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    SaveReadings(file, 0, Ids({1}), Listed(Ids({1, 2})), false);
    struct stat after {};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, 1000);
}

TEST(FileUtils, SiblingNameTakesTheCaseOfTheBaseFile) {
    struct {
        const char* base;
        const char* suffix;
        const char* expected;
    } cases[] = {
        {"/b/area.sqd", "R", "/b/area.sqr"},  {"/b/AREA.SQD", "R", "/b/AREA.SQR"},
        {"/b/Area.Sqd", "R", "/b/Area.Sqr"},  {"/b/area.jhr", "RD", "/b/area.jrd"},
        {"/b/AREA.JHR", "RD", "/b/AREA.JRD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SiblingFileName(c.base, c.suffix), c.expected) << c.base;
}
