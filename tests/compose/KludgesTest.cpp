#include "compose/Kludges.h"

#include "core/Attributes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>

using namespace tavro;

namespace {

std::string K(const std::string& text) {
    return "\x01" + text;
}

TAddress Addr(const char* text) {
    TAddress a;
    a.Parse(text);
    return a;
}

// The fields of a plain echomail message; each case changes what it tests.
TKludgeFields EchoFields() {
    TKludgeFields f;
    f.Echomail = true;
    f.From = Addr("2:5020/1.5");
    f.To = Addr("2:5030/2");
    f.Serial = 0x1a2b3c;
    return f;
}

bool Has(const TStringList& list, const std::string& line) {
    return std::find(list.begin(), list.end(), line) != list.end();
}

bool HasPrefix(const TStringList& list, const std::string& prefix) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

TEST(BuildKludgesTest, CompleteNetmailInFixedOrder) {
    TKludgeFields f;
    f.From = Addr("2:5020/1.5@fidonet");
    f.To = Addr("2:5030/2.7");
    f.Serial = 0x65a7d5d4;
    f.Reply = "2:5030/2.7 0000abcd";
    f.Attr = atPvt | atCra | atDIR | atLOK | atAS;
    f.RealName = "  Ivan Petrov ";
    f.OemCodePage = 866;
    f.Pid = "Tavro 1.0";
    f.UtcOffsetMinutes = 180;
    const TStringList expected = {
        K("FMPT 5"),
        K("TOPT 7"),
        K("INTL 2:5030/2 2:5020/1"),
        K("MSGID: 2:5020/1.5@fidonet 65a7d5d4"),
        K("REPLY: 2:5030/2.7 0000abcd"),
        K("FLAGS LOK DIR A/S"),
        K("RealName: Ivan Petrov"),
        K("CHRS: CP866 2"),
        K("PID: Tavro 1.0"),
        K("TZUTC: 0300"),
    };
    EXPECT_EQ(BuildKludges(f), expected);
}

TEST(BuildKludgesTest, AddressKludgesDependOnAreaAndPoints) {
    struct Case {
        const char* name;
        bool echomail;
        const char* from;
        const char* to;
        TStringList present;
        TStringList absentPrefixes;
    };
    const Case cases[] = {
        {"echomail", true, "2:5020/1.5", "2:5030/2.7", {}, {K("FMPT"), K("TOPT"), K("INTL")}},
        {"netmail from a point",
         false,
         "2:5020/1.5",
         "2:5030/2",
         {K("FMPT 5"), K("INTL 2:5030/2 2:5020/1")},
         {K("TOPT")}},
        {"netmail to a point",
         false,
         "2:5020/1",
         "2:5030/2.9",
         {K("TOPT 9"), K("INTL 2:5030/2 2:5020/1")},
         {K("FMPT")}},
        {"netmail between nodes", false, "1:2/3", "3:4/5", {K("INTL 3:4/5 1:2/3")}, {K("FMPT"), K("TOPT")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TKludgeFields f = EchoFields();
        f.Echomail = c.echomail;
        f.From = Addr(c.from);
        f.To = Addr(c.to);
        const TStringList kludges = BuildKludges(f);
        for (const std::string& line : c.present)
            EXPECT_TRUE(Has(kludges, line)) << line;
        for (const std::string& prefix : c.absentPrefixes)
            EXPECT_FALSE(HasPrefix(kludges, prefix)) << prefix;
    }
}

TEST(BuildKludgesTest, NetmailAddressLinesComeBeforeMsgId) {
    TKludgeFields f = EchoFields();
    f.Echomail = false;
    const TStringList kludges = BuildKludges(f);
    ASSERT_GE(kludges.size(), 3u);
    EXPECT_EQ(kludges[0], K("FMPT 5"));
    EXPECT_EQ(kludges[1], K("INTL 2:5030/2 2:5020/1"));
    EXPECT_EQ(kludges[2], K("MSGID: 2:5020/1.5 001a2b3c"));
}

TEST(BuildKludgesTest, FlagsLine) {
    struct Case {
        uint32_t attr;
        std::optional<std::string> line;
    };
    const Case cases[] = {
        {atCra | atPvt, std::nullopt},
        {0, std::nullopt},
        {atDIR | atLOK, K("FLAGS LOK DIR")},
        {atLOK | atDIR | atIMM | atZON | atHUB | atKFS | atTFS | atCFM | atRRQ | atAS,
         K("FLAGS LOK DIR IMM ZON HUB KFS TFS CFM RRQ A/S")},
        {atAS | atZON | atPvt, K("FLAGS ZON A/S")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.attr);
        TKludgeFields f = EchoFields();
        f.Attr = c.attr;
        const TStringList kludges = BuildKludges(f);
        if (c.line)
            EXPECT_TRUE(Has(kludges, *c.line));
        else
            EXPECT_FALSE(HasPrefix(kludges, K("FLAGS")));
    }
}

TEST(BuildKludgesTest, ReplyIsTheAnsweredMsgIdVerbatim) {
    for (const std::string reply : {"2:5030/2 0000abcd", "<abc@host> 1a2b", "2:5030/2@fidonet DEADBEEF"}) {
        TKludgeFields f = EchoFields();
        f.Reply = reply;
        EXPECT_TRUE(Has(BuildKludges(f), K("REPLY: " + reply))) << reply;
    }
    EXPECT_FALSE(HasPrefix(BuildKludges(EchoFields()), K("REPLY")));
}

TEST(BuildKludgesTest, OptionalLines) {
    TKludgeFields f = EchoFields();
    f.RealName = " \t ";
    const TStringList bare = BuildKludges(f);
    EXPECT_FALSE(HasPrefix(bare, K("RealName")));
    EXPECT_FALSE(HasPrefix(bare, K("CHRS")));
    EXPECT_FALSE(HasPrefix(bare, K("PID")));
    EXPECT_EQ(bare, (TStringList{K("MSGID: 2:5020/1.5 001a2b3c"), K("TZUTC: 0000")}));

    f.RealName = "\tJohn Smith  ";
    f.OemCodePage = 437;
    f.Pid = "Tavro 0.9 Linux";
    f.UtcOffsetMinutes = -300;
    EXPECT_EQ(BuildKludges(f),
              (TStringList{K("MSGID: 2:5020/1.5 001a2b3c"), K("RealName: John Smith"), K("CHRS: CP437 2"),
                           K("PID: Tavro 0.9 Linux"), K("TZUTC: -0500")}));
}

TEST(BuildKludgesTest, SerialIsEightLowerCaseHexDigits) {
    for (const auto& [serial, text] : {std::pair<uint32_t, const char*>{0, "00000000"},
                                       {0xABCDEF01u, "abcdef01"},
                                       {0xFFFFFFFFu, "ffffffff"}}) {
        TKludgeFields f = EchoFields();
        f.Serial = serial;
        EXPECT_EQ(BuildKludges(f).front(), K(std::string("MSGID: 2:5020/1.5 ") + text));
    }
}

TEST(TzUtcTextTest, Cases) {
    const std::pair<int, const char*> cases[] = {
        {180, "0300"},  {-300, "-0500"}, {0, "0000"},   {330, "0530"},
        {-30, "-0030"}, {-570, "-0930"}, {840, "1400"},
    };
    for (const auto& [minutes, text] : cases)
        EXPECT_EQ(TzUtcText(minutes), text) << minutes;
}

// Sets TZ for one test and puts the old value back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            Old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (Old_)
            setenv("TZ", Old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> Old_;
};

TEST(LocalUtcOffsetMinutesTest, FollowsZoneAndSummerTime) {
    {
        ScopedTimeZone zone("UTC0");
        EXPECT_EQ(LocalUtcOffsetMinutes(EncodeDateTime(2024, 7, 1, 12)), 0);
    }
    {
        // POSIX rules need no zone database: US Eastern with its summer time.
        ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
        EXPECT_EQ(LocalUtcOffsetMinutes(EncodeDateTime(2024, 1, 15, 12)), -300);
        EXPECT_EQ(LocalUtcOffsetMinutes(EncodeDateTime(2024, 7, 15, 12)), -240);
    }
    {
        ScopedTimeZone zone("IST-5:30");
        EXPECT_EQ(LocalUtcOffsetMinutes(EncodeDateTime(2024, 3, 1, 8, 30)), 330);
    }
}

TEST(OriginLineTest, ShortTextUntouched) {
    EXPECT_EQ(OriginLine("  Moscow BBS  ", Addr("2:5020/1"), Addr("2:5020/1.5")),
              " * Origin: Moscow BBS (2:5020/1)");
}

TEST(OriginLineTest, AreaAddressElseFrom) {
    EXPECT_EQ(OriginLine("Home", TAddress(), Addr("2:5020/1.5@fidonet")), " * Origin: Home (2:5020/1.5)");
    EXPECT_EQ(OriginLine("Home", Addr("2:5020/1.5"), Addr("2:5030/2")), " * Origin: Home (2:5020/1.5)");
}

TEST(OriginLineTest, LongTextIsCutToExactly78KeepingTheAddress) {
    const std::string bracket = " (65535:65535/65535.65535)";
    const TAddress area(65535, 65535, 65535, 65535);
    const size_t room = 78 - std::string(" * Origin: ").size() - bracket.size();
    const std::string text(room, 'x');
    // Exactly fitting stays whole; one character more is cut back to 78.
    EXPECT_EQ(OriginLine(text, area, TAddress()), " * Origin: " + text + bracket);
    const std::string cut = OriginLine(text + "yz", area, TAddress());
    EXPECT_EQ(cut.size(), 78u);
    EXPECT_EQ(cut, " * Origin: " + text + bracket);

    const std::string line = OriginLine(std::string(200, 'a'), Addr("2:5020/1"), TAddress());
    EXPECT_EQ(line.size(), 78u);
    EXPECT_TRUE(line.ends_with("a (2:5020/1)"));
}

} // namespace
