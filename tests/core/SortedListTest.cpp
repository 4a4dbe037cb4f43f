#include "core/SortedList.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

using namespace tavro;

namespace {

std::vector<int32_t> Items(const TSortedList& list) {
    std::vector<int32_t> items;
    for (int i = 0; i < list.Count(); ++i)
        items.push_back(list.Get(i));
    return items;
}

TSortedList Make(const std::vector<int32_t>& values, bool duplicates = false) {
    TSortedList list;
    list.Duplicates = duplicates;
    for (int32_t v : values)
        list.Add(v);
    return list;
}

template <typename F> std::string ErrorOf(F f) {
    try {
        f();
    } catch (const EListError& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(SortedList, AddKeepsOrderAndSkipsDuplicates) {
    TSortedList list = Make({9, 1, 5});
    EXPECT_EQ(list.Add(5), 1);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{1, 5, 9}));
    EXPECT_EQ(list.Add(-2147483647 - 1), 0);
    EXPECT_EQ(list.Add(2147483647), 4);
    EXPECT_EQ(list.Add(6), 3);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{-2147483647 - 1, 1, 5, 6, 9, 2147483647}));
}

TEST(SortedList, FindGivesThePositionOrTheInsertionPoint) {
    TSortedList list = Make({10, 20, 30});
    struct Case {
        int32_t value;
        bool found;
        int index;
    };
    const Case cases[] = {{5, false, 0}, {10, true, 0}, {15, false, 1}, {30, true, 2}, {35, false, 3}};
    for (const Case& c : cases) {
        int index = -1;
        EXPECT_EQ(list.Find(c.value, index), c.found) << c.value;
        EXPECT_EQ(index, c.index) << c.value;
    }
    int index = -1;
    EXPECT_FALSE(TSortedList().Find(1, index));
    EXPECT_EQ(index, 0);
}

TEST(SortedList, DuplicatesAreKeptAndFoundFromTheFirst) {
    TSortedList list = Make({5, 1, 5, 9, 5}, true);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{1, 5, 5, 5, 9}));
    int index = -1;
    EXPECT_TRUE(list.Find(5, index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(list.IndexOf(5), 1);
    EXPECT_EQ(list.Remove(5), 1);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{1, 5, 5, 9}));
}

TEST(SortedList, AbsentValues) {
    TSortedList list = Make({1, 5, 9});
    EXPECT_EQ(list.IndexOf(4), -1);
    EXPECT_EQ(list.Remove(4), -1);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{1, 5, 9}));
    EXPECT_FALSE(list.Contains(10));
    EXPECT_EQ(list.Remove(9), 2);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{1, 5}));
}

TEST(SortedList, BoundsErrors) {
    TSortedList list = Make({1, 2, 3});
    EXPECT_EQ(ErrorOf([&] { list.Get(3); }), "List index out of bounds (3)");
    EXPECT_EQ(ErrorOf([&] { list.Get(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(ErrorOf([&] { list.Put(3, 0); }), "List index out of bounds (3)");
    EXPECT_EQ(ErrorOf([&] { list.Delete(3); }), "List index out of bounds (3)");
    EXPECT_EQ(ErrorOf([&] { list.Insert(4, 0); }), "List index out of bounds (4)");
    EXPECT_EQ(ErrorOf([&] { list.Insert(-1, 0); }), "List index out of bounds (-1)");
    EXPECT_EQ(ErrorOf([&] { list.SetCapacity(2); }), "List capacity out of bounds (2)");
    EXPECT_EQ(ErrorOf([&] { list.SetCapacity(134217728); }), "List capacity out of bounds (134217728)");
    EXPECT_EQ(ErrorOf([&] { list.SetCount(-1); }), "List count out of bounds (-1)");
    EXPECT_EQ(ErrorOf([&] { list.SetCount(134217728); }), "List count out of bounds (134217728)");
    EXPECT_EQ(Items(list), (std::vector<int32_t>{1, 2, 3}));

    list.Insert(3, 0);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{1, 2, 3, 0}));
}

TEST(SortedList, GrowsByFourThenSixteenThenAQuarter) {
    TSortedList list;
    std::vector<int> capacities;
    for (int32_t v = 0; v < 100; ++v) {
        list.Add(v);
        if (capacities.empty() || capacities.back() != list.Capacity())
            capacities.push_back(list.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
}

TEST(SortedList, BulkFillThenSort) {
    TSortedList list;
    list.SetCount(4);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{0, 0, 0, 0}));
    list.Put(0, 7);
    list.Put(1, -3);
    list.Put(2, 5);
    list.Put(3, 1);
    list.Sort();
    EXPECT_EQ(Items(list), (std::vector<int32_t>{-3, 1, 5, 7}));
    EXPECT_TRUE(list.Contains(5));

    // Items dropped by a smaller count come back as zeros.
    list.SetCount(1);
    list.SetCount(3);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{-3, 0, 0}));
    list.SetCapacity(3);
    EXPECT_EQ(list.Capacity(), 3);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
}

TEST(SortedList, AssignCopiesAListAsItIsAndSortsAPlainOne) {
    TSortedList source;
    source.SetCount(2);
    source.Put(0, 3);
    source.Put(1, 1);
    TSortedList copy = Make({8, 9});
    copy.Assign(source);
    EXPECT_EQ(Items(copy), (std::vector<int32_t>{3, 1}));
    EXPECT_TRUE(copy == source);

    copy.Assign(std::vector<int32_t>{4, -1, 2});
    EXPECT_EQ(Items(copy), (std::vector<int32_t>{-1, 2, 4}));
    EXPECT_FALSE(copy == source);
    copy.Assign(copy);
    EXPECT_EQ(Items(copy), (std::vector<int32_t>{-1, 2, 4}));
}

// The order comes from the virtual Compare, so a derived list can sort another way.
TEST(SortedList, DerivedCompareDecidesTheOrder) {
    class TDescending : public TSortedList {
    protected:
        int Compare(int32_t a, int32_t b) const override { return TSortedList::Compare(b, a); }
    };
    TDescending list;
    for (int32_t v : {3, 9, 1, 9})
        list.Add(v);
    EXPECT_EQ(Items(list), (std::vector<int32_t>{9, 3, 1}));
    EXPECT_EQ(list.IndexOf(1), 2);
    list.Assign(std::vector<int32_t>{1, 2, 3});
    EXPECT_EQ(Items(list), (std::vector<int32_t>{3, 2, 1}));
}

TEST(SortedList, MatchesASetUnderRandomAddsAndRemoves) {
    std::mt19937 random(63);
    for (bool duplicates : {false, true}) {
        TSortedList list;
        list.Duplicates = duplicates;
        std::multiset<int32_t> model;
        for (int step = 0; step < 5000; ++step) {
            int32_t value = static_cast<int32_t>(random() % 200) - 100;
            if (random() % 3 == 0) {
                bool present = model.count(value) > 0;
                EXPECT_EQ(list.Remove(value) >= 0, present);
                if (present)
                    model.erase(model.find(value));
            } else {
                int index = list.Add(value);
                if (duplicates || model.count(value) == 0)
                    model.insert(value);
                ASSERT_EQ(list.Get(index), value);
            }
        }
        EXPECT_EQ(Items(list), std::vector<int32_t>(model.begin(), model.end()));
    }
}
