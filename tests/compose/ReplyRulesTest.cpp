#include "compose/ReplyRules.h"

#include <gtest/gtest.h>

using namespace tavro;

namespace {

TAddress Addr(const char* text) {
    TAddress a;
    a.Parse(text);
    return a;
}

TBodyLines Lines(std::initializer_list<const char*> texts) {
    TBodyLines lines;
    for (const char* text : texts)
        lines.emplace_back(text);
    return lines;
}

class ReplyAreaTest : public testing::Test {
protected:
    TCustomMsg Msg{nullptr};
};

TEST_F(ReplyAreaTest, KludgeWinsAndBodyStaysAsItWas) {
    Msg.Kludges = {"\x01MSGID: 2:5020/1 12345678", "\x01"
                                                   "AREA:  SU.GENERAL "};
    Msg.Body = Lines({"AREA:RU.LINUX", "", "Hello"});
    EXPECT_EQ(TakeReplyAreaName(Msg), "SU.GENERAL");
    EXPECT_EQ(Msg.Body, Lines({"AREA:RU.LINUX", "", "Hello"}));
}

TEST_F(ReplyAreaTest, BodyLineBeforeFirstBlankIsTakenWithTheBlankAfterIt) {
    struct Case {
        const char* name;
        TBodyLines body;
        std::string area;
        TBodyLines rest;
    };
    const Case cases[] = {
        {"first line", Lines({"area:  ru.linux  ", "  ", "Hello", ""}), "ru.linux", Lines({"Hello", ""})},
        {"after other lines", Lines({"From: a@b", "AREA:R50.SYSOP", "", "Text"}), "R50.SYSOP",
         Lines({"From: a@b", "Text"})},
        {"no blank after it", Lines({"AREA:X", "Text", "", "More"}), "X", Lines({"Text", "", "More"})},
        {"only line", Lines({"AREA:X"}), "X", Lines({})},
        {"after a blank line", Lines({"Hello", "", "AREA:X", ""}), "", Lines({"Hello", "", "AREA:X", ""})},
        {"blank first line", Lines({" ", "AREA:X"}), "", Lines({" ", "AREA:X"})},
        {"not at line start", Lines({" AREA:X", ""}), "", Lines({" AREA:X", ""})},
        {"too short", Lines({"AREA", "ARE"}), "", Lines({"AREA", "ARE"})},
        {"empty body", Lines({}), "", Lines({})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Msg.Kludges.clear();
        Msg.Body = c.body;
        EXPECT_EQ(TakeReplyAreaName(Msg), c.area);
        EXPECT_EQ(Msg.Body, c.rest);
    }
}

TEST_F(ReplyAreaTest, EmptyKludgeFallsBackToTheBody) {
    Msg.Kludges = {"\x01"
                   "AREA:   "};
    Msg.Body = Lines({"AREA:RU.LINUX", "Text"});
    EXPECT_EQ(TakeReplyAreaName(Msg), "RU.LINUX");
    EXPECT_EQ(Msg.Body, Lines({"Text"}));
}

TEST(FindAreaByNameTest, TrimmedCaseInsensitiveFirstMatch) {
    std::vector<std::unique_ptr<TEcho>> echoes;
    for (const char* name : {"NETMAIL", " ru.linux ", "RU.LINUX", "SU.GENERAL"}) {
        echoes.push_back(std::make_unique<TEcho>());
        echoes.back()->Name = name;
    }
    echoes.insert(echoes.begin() + 1, nullptr);
    EXPECT_EQ(FindAreaByName(echoes, "Ru.Linux"), echoes[2].get());
    EXPECT_EQ(FindAreaByName(echoes, "su.general"), echoes[4].get());
    EXPECT_EQ(FindAreaByName(echoes, "RU.UNKNOWN"), nullptr);
    EXPECT_EQ(FindAreaByName(echoes, ""), nullptr);
    EXPECT_EQ(FindAreaByName(echoes, "  "), nullptr);
    EXPECT_EQ(FindAreaByName({}, "NETMAIL"), nullptr);
}

TEST(ReplyValueTest, MsgIdAndReplyVerbatim) {
    TCustomMsg msg(nullptr);
    EXPECT_EQ(ReplyValueOf(msg), "");
    EXPECT_EQ(EditedReplyValueOf(msg), "");
    msg.Kludges = {"\x01REPLY: 2:5030/2 0000abcd", "\x01MSGID: <abc@host> 1a2b"};
    EXPECT_EQ(ReplyValueOf(msg), "<abc@host> 1a2b");
    EXPECT_EQ(EditedReplyValueOf(msg), "2:5030/2 0000abcd");
}

class GatewayReplyTest : public testing::Test {
protected:
    std::optional<TGatewayReply> Reply() { return GatewayReply(Msg, "uucp", Addr("2:5020/777")); }

    TCustomMsg Msg{nullptr};
};

TEST_F(GatewayReplyTest, ReplyAddrWithReplyToNamingAGateway) {
    Msg.Kludges = {"\x01MSGID: 2:5020/52 abcdef01", "\x01REPLYADDR: john@example.com",
                   "\x01REPLYTO: 2:5020/52 FIDO2INET"};
    Msg.Body = Lines({"From: other@example.org", "", "Hi"});
    const auto reply = Reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->ToName, "FIDO2INET");
    EXPECT_EQ(reply->ToAddr, Addr("2:5020/52"));
    EXPECT_EQ(reply->InternetAddress, "john@example.com");
}

TEST_F(GatewayReplyTest, KludgeForms) {
    struct Case {
        const char* name;
        TStringList kludges;
        std::string toName, toAddr, address;
    };
    const Case cases[] = {
        {"no colon", {"\x01REPLYADDR jane@example.net  "}, "uucp", "2:5020/777", "jane@example.net"},
        {"case ignored",
         {"\x01replyaddr: jane@example.net", "\x01replyto: 1:2/3 GATE"},
         "GATE",
         "1:2/3",
         "jane@example.net"},
        {"REPLYTO after REPLYADDR",
         {"\x01REPLYTO: 1:2/3 GATE", "\x01REPLYADDR: a@b"},
         "GATE",
         "1:2/3",
         "a@b"},
        {"REPLYTO without a name", {"\x01REPLYADDR: a@b", "\x01REPLYTO: 1:2/3"}, "uucp", "1:2/3", "a@b"},
        {"REPLYTO with a bad address",
         {"\x01REPLYADDR: a@b", "\x01REPLYTO: junk GATE"},
         "GATE",
         "2:5020/777",
         "a@b"},
        {"REPLYTO with extra blanks",
         {"\x01REPLYADDR: a@b", "\x01REPLYTO:   1:2/3   GATE  "},
         "GATE",
         "1:2/3",
         "a@b"},
        {"later address wins", {"\x01REPLYADDR: a@b", "\x01REPLYADDR: c@d"}, "uucp", "2:5020/777", "c@d"},
        {"empty later line keeps the address",
         {"\x01REPLYADDR: a@b", "\x01REPLYADDR:"},
         "uucp",
         "2:5020/777",
         "a@b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Msg.Kludges = c.kludges;
        const auto reply = Reply();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->ToName, c.toName);
        EXPECT_EQ(reply->ToAddr, Addr(c.toAddr.c_str()));
        EXPECT_EQ(reply->InternetAddress, c.address);
    }
}

TEST_F(GatewayReplyTest, RfcHeaderInTheBodyGoesToTheDefaultGateway) {
    Msg.Kludges = {"\x01MSGID: 2:5020/52 abcdef01", "\x01REPLYTO: 1:2/3 GATE"};
    Msg.Body =
        Lines({"From: John <john@example.com>", "Reply-To: list@example.com", "From: x@y", "", "Text"});
    const auto reply = Reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->ToName, "uucp");
    EXPECT_EQ(reply->ToAddr, Addr("2:5020/777"));
    EXPECT_EQ(reply->InternetAddress, "list@example.com");
}

TEST_F(GatewayReplyTest, NothingFound) {
    Msg.Kludges = {"\x01MSGID: 2:5020/52 abcdef01", "\x01REPLYTO: 1:2/3 GATE", "REPLYADDR: not@a.kludge"};
    Msg.Body = Lines({"Hello all", "From: late@example.com"});
    EXPECT_FALSE(Reply());
}

TEST_F(GatewayReplyTest, MalformedShortKludgesAreSafe) {
    Msg.Kludges = {"",
                   "\x01",
                   "\x01REPLYADDR",
                   "\x01REPLYADDR:",
                   "\x01REPLYADDR: ",
                   "\x01REPLYTO:",
                   "\x01REPLYTO: ",
                   "\x01REPLY"};
    Msg.Body = Lines({"", "x"});
    EXPECT_FALSE(Reply());
    Msg.Body = Lines({"From: a@b"});
    const auto reply = Reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->ToName, "uucp");
    EXPECT_EQ(reply->InternetAddress, "a@b");
}

TEST(GatewayBodyLinesTest, ToLineThenEmptyLine) {
    EXPECT_EQ(GatewayBodyLines("john@example.com"), Lines({"To: john@example.com", ""}));
    EXPECT_EQ(GatewayBodyLines(" a@b "), Lines({"To: a@b", ""}));
}

} // namespace
