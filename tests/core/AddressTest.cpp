#include "core/Address.h"
#include "core/Settings.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using namespace tavro;

namespace tavro {
// Lets GoogleTest print addresses in failure messages.
void PrintTo(const TAddress& a, std::ostream* os) {
    *os << a.Zone << ':' << a.Net << '/' << a.Node << '.' << a.Point << " @\"" << a.Domain << '"';
}
} // namespace tavro

TEST(AddressTest, ParseFullAddress) {
    struct Case {
        std::string text;
        TAddress expected;
    };
    const std::vector<Case> cases = {
        {"2:5020/1", {2, 5020, 1, 0, ""}},
        {"2:5020/1.5@fidonet", {2, 5020, 1, 5, "fidonet"}},
        {"2:5020/1.0", {2, 5020, 1, 0, ""}},
        {"0:5020/1", {0, 5020, 1, 0, ""}},
        // The domain is taken as it stands, blanks and further "@" included.
        {"2:5020/1@fido net@x", {2, 5020, 1, 0, "fido net@x"}},
        {"2:5020/1@", {2, 5020, 1, 0, ""}},
        // Numbers keep their low 16 bits.
        {"2:70000/1", {2, 4464, 1, 0, ""}},
        {"2:5020/-1", {2, 5020, 65535, 0, ""}},
        {"+2:5020/1", {2, 5020, 1, 0, ""}},
        // Every failure clears the numbers; the domain is what the text gave.
        {"2:5020/1 more text", {0, 0, 0, 0, ""}},
        {"5020/1", {0, 0, 0, 0, ""}},
        {"2:5020", {0, 0, 0, 0, ""}},
        {"2:5020/", {0, 0, 0, 0, ""}},
        {":5020/1", {0, 0, 0, 0, ""}},
        {"2:/1", {0, 0, 0, 0, ""}},
        {" 2:5020/1", {0, 0, 0, 0, ""}},
        {"2:5020/1.", {0, 0, 0, 0, ""}},
        {"2:5020/1.5.6", {0, 0, 0, 0, ""}},
        {"2:5020/1x", {0, 0, 0, 0, ""}},
        {"5020/1:2", {0, 0, 0, 0, ""}},
        {"2:5020/99999999999", {0, 0, 0, 0, ""}},
        {"@fidonet", {0, 0, 0, 0, "fidonet"}},
        {"", {0, 0, 0, 0, ""}},
    };
    for (const Case& c : cases) {
        TAddress a(9, 9, 9, 9, "old");
        a.Parse(c.text);
        EXPECT_EQ(a, c.expected) << "text: \"" << c.text << '"';
    }
}

TEST(AddressTest, PrintingForms) {
    struct Case {
        TAddress address;
        std::string str, full, str3d, str5d;
    };
    const std::vector<Case> cases = {
        {{2, 5020, 1, 0, ""}, "2:5020/1", "2:5020/1.0", "2:5020/1", "2:5020/1"},
        {{2, 5020, 1, 5, "fidonet"}, "2:5020/1.5", "2:5020/1.5", "2:5020/1", "2:5020/1.5@fidonet"},
        {{2, 5020, 0, 0, "x"}, "2:5020/0", "2:5020/0.0", "2:5020/0", "2:5020/0@x"},
        {{65535, 65535, 65535, 65535, ""},
         "65535:65535/65535.65535",
         "65535:65535/65535.65535",
         "65535:65535/65535",
         "65535:65535/65535.65535"},
        // Invalid addresses vanish from every form, whatever else they hold.
        {{0, 5020, 1, 5, "fidonet"}, "", "", "", ""},
        {{2, 0, 1, 5, "fidonet"}, "", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.str5d);
        EXPECT_EQ(c.address.ToStr(), c.str);
        EXPECT_EQ(c.address.ToStrFull(), c.full);
        EXPECT_EQ(c.address.ToStr3D(), c.str3d);
        EXPECT_EQ(c.address.ToStr5D(), c.str5d);
    }
}

TEST(AddressTest, ParseReadsBackWhatToStr5DPrints) {
    for (const char* text : {"2:5020/1", "2:5020/1.5@fidonet", "1:2/3@a@b", "65535:1/0.65535"}) {
        TAddress a;
        a.Parse(text);
        EXPECT_EQ(a.ToStr5D(), text);
    }
}

TEST(AddressTest, ParseRelativeFromKnownAddress) {
    struct Case {
        std::string text;
        TAddress modern; // "Old style addresses" off
        TAddress old;    // on
    };
    const TAddress cleared(0, 0, 0, 0, "fidonet");
    const std::vector<Case> cases = {
        {"123", {2, 5020, 100, 123, "fidonet"}, {2, 5020, 123, 0, "fidonet"}},
        {".5", {2, 5020, 100, 5, "fidonet"}, {2, 5020, 100, 5, "fidonet"}},
        {"200.5", {2, 5020, 200, 5, "fidonet"}, {2, 5020, 200, 5, "fidonet"}},
        {"5030/200", {2, 5030, 200, 0, "fidonet"}, {2, 5030, 200, 0, "fidonet"}},
        {"3:1/2.4", {3, 1, 2, 4, "fidonet"}, {3, 1, 2, 4, "fidonet"}},
        {"/200", {2, 5020, 200, 0, "fidonet"}, {2, 5020, 200, 0, "fidonet"}},
        {"", {2, 5020, 100, 7, "fidonet"}, {2, 5020, 100, 0, "fidonet"}},
        // A blank separates the zone from text before it.
        {"Sysop 1:2/3.4", {1, 2, 3, 4, "fidonet"}, {1, 2, 3, 4, "fidonet"}},
        // Any other character ends the reading: the fields left of it become 0.
        {"x3:1/2", {0, 1, 2, 0, "fidonet"}, {0, 1, 2, 0, "fidonet"}},
        {"abc", {0, 0, 0, 0, "fidonet"}, {0, 0, 0, 0, "fidonet"}},
        {"70000", {2, 5020, 100, 4464, "fidonet"}, {2, 5020, 4464, 0, "fidonet"}},
        // An empty number between separators, or one beyond the integer range, clears.
        {"5020/", cleared, cleared},
        {"1/.", cleared, cleared},
        {"99999999999", cleared, cleared},
    };
    for (const Case& c : cases) {
        for (bool oldStyle : {false, true}) {
            TAddress a(2, 5020, 100, 7, "fidonet");
            a.ParseRelative(c.text, oldStyle);
            EXPECT_EQ(a, oldStyle ? c.old : c.modern) << "text: \"" << c.text << "\" old style: " << oldStyle;
        }
    }
}

TEST(AddressTest, ParseRelativeFollowsTheGlobalSetting) {
    const bool saved = Settings().OldAddrStyle;
    for (bool oldStyle : {false, true}) {
        Settings().OldAddrStyle = oldStyle;
        TAddress a(2, 5020, 100, 7);
        a.ParseRelative("123");
        EXPECT_EQ(a.ToStr(), oldStyle ? "2:5020/123" : "2:5020/100.123");
    }
    Settings().OldAddrStyle = saved;
}

TEST(AddressTest, ClearAssignAndSameAddress) {
    TAddress a(2, 5020, 1, 5, "fidonet");
    a.Clear();
    EXPECT_EQ(a, TAddress(0, 0, 0, 0, "fidonet"));
    EXPECT_FALSE(a.IsValid());

    TAddress b(1, 2, 3, 4, "x");
    b.Assign(nullptr);
    EXPECT_EQ(b, TAddress(1, 2, 3, 4, "x"));
    const TAddress source(2, 5020, 1, 0, "fidonet");
    b.Assign(&source);
    EXPECT_EQ(b, source);

    EXPECT_TRUE(SameAddress(TAddress(2, 5020, 1, 0, "fidonet"), TAddress(2, 5020, 1, 0, "")));
    EXPECT_FALSE(SameAddress(TAddress(2, 5020, 1, 0), TAddress(2, 5020, 1, 1)));
    EXPECT_FALSE(TAddress().IsValid());
    EXPECT_TRUE(TAddress(2, 5020, 0, 0).IsValid());
}
