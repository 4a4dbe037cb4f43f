#include "compose/Cookies.h"

#include <gtest/gtest.h>

#include <set>

using namespace tavro;

namespace {

auto Fixed(size_t index) {
    return [index](size_t) { return index; };
}

TEST(CookieParagraphsTest, BlankLinesSeparate) {
    const TStringList cookies = {"",    "  ", "One",   "  one more ", " \t", "",
                                 "Two", "",   "Three", "three b",     " "};
    const std::vector<TStringList> expected = {{"One", "  one more "}, {"Two"}, {"Three", "three b"}};
    EXPECT_EQ(CookieParagraphs(cookies), expected);
    EXPECT_TRUE(CookieParagraphs({}).empty());
    EXPECT_TRUE(CookieParagraphs({"", "   "}).empty());
}

TEST(ChooseCookieTest, EachParagraphCanBeChosen) {
    const TStringList cookies = {"A1", "A2", "", "B", "", "", "C1", "C2", "C3"};
    size_t asked = 0;
    const auto pick = [&](size_t n) {
        asked = n;
        return size_t{2};
    };
    EXPECT_EQ(ChooseCookie(cookies, pick), (TStringList{"C1", "C2", "C3"}));
    EXPECT_EQ(asked, 3u);
    EXPECT_EQ(ChooseCookie(cookies, Fixed(0)), (TStringList{"A1", "A2"}));
    EXPECT_EQ(ChooseCookie(cookies, Fixed(1)), (TStringList{"B"}));
    EXPECT_EQ(ChooseCookie(cookies, Fixed(4)), (TStringList{"B"})); // wraps instead of overrunning
}

TEST(ChooseCookieTest, NoParagraphNoPick) {
    bool picked = false;
    const auto pick = [&](size_t) {
        picked = true;
        return size_t{0};
    };
    EXPECT_TRUE(ChooseCookie({}, pick).empty());
    EXPECT_TRUE(ChooseCookie({" ", ""}, pick).empty());
    EXPECT_FALSE(picked);
}

TEST(ChooseOriginTest, Cases) {
    struct Case {
        const char* name;
        uint8_t flags;
        const char* areaOrigin;
        TStringList origins;
        size_t pick;
        std::string expected;
    };
    const Case cases[] = {
        {"area origin", efAddOrigin, "  Moscow BBS ", {"Random 1", "Random 2"}, 1, "Moscow BBS"},
        {"random entry",
         efAddOrigin | efRandomOrigin,
         "Moscow BBS",
         {"Random 1", " Random 2 "},
         1,
         "Random 2"},
        {"random with an empty list", efRandomOrigin, "Moscow BBS", {}, 0, "Moscow BBS"},
        {"empty area origin", efAddOrigin, "   ", {"Random 1"}, 0, DefaultOriginText},
        {"blank random entry", efRandomOrigin, "Moscow BBS", {"  "}, 0, DefaultOriginText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TEcho area;
        area.Flags = c.flags;
        area.Origin = c.areaOrigin;
        EXPECT_EQ(ChooseOrigin(area, c.origins, Fixed(c.pick)), c.expected);
    }
}

TEST(DefaultOriginTextTest, NamesTheProgramAndFitsAnOriginLine) {
    const std::string text = DefaultOriginText;
    EXPECT_NE(text.find("Tavro"), std::string::npos);
    EXPECT_NE(text.find("https://"), std::string::npos);
    EXPECT_EQ(text.find('('), std::string::npos);
    // Room for " * Origin: " and the longest address in brackets within 78 characters.
    EXPECT_LE(text.size(), 78u - 11 - 26);
}

TEST(RandomIndexTest, StaysBelowAndReachesEveryIndex) {
    EXPECT_EQ(RandomIndex(0), 0u);
    EXPECT_EQ(RandomIndex(1), 0u);
    std::set<size_t> seen;
    for (int i = 0; i < 400; ++i) {
        const size_t index = RandomIndex(4);
        ASSERT_LT(index, 4u);
        seen.insert(index);
    }
    EXPECT_EQ(seen.size(), 4u);
}

} // namespace
