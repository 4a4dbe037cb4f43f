// tavro-cli post: one message written as the program sends it, into a configured area or a
// base given by its path; misuse and failures write nothing.
#include "CliRun.h"

#include "bases/FidoBase.h"
#include "bases/JamBase.h"
#include "compose/MsgIdSerial.h"
#include "config/Config.h"
#include "config/ConfigFile.h"
#include "core/Attributes.h"
#include "core/CodePage.h"

#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace tavro;
using tavro::test::Invoke;
using tavro::test::ReadFile;
using tavro::test::TCliResult;
using tavro::test::TTempDir;
using tavro::test::WriteFile;

namespace {

class PostCommandTest : public ::testing::Test {
protected:
    TTempDir Home;
    std::string Jam = Home.File("rutest.jhr");
    std::string Netmail = Home.File("netmail");
    std::string Text = Home.File("text.txt");

    void SetUp() override {
        TConfig config;
        config.Settings.EchoscanFile = Home.File("echotoss.log");
        config.Settings.NetmailFlag = Home.File("netmail.flag");
        auto echo = std::make_unique<TEcho>();
        echo->Name = "RU.TEST";
        echo->EchoType = etEchomail;
        echo->BaseType = btJam;
        echo->Address.Parse("2:5020/1042");
        echo->Origin = "Test station";
        echo->Path = Jam;
        config.Echoes.push_back(std::move(echo));
        SaveConfig(config, ConfigFileName(Home.Path()));
        WriteFile(Text, "Ёжик в тумане\nSecond line\n");
    }

    TCliResult Post(std::vector<std::string> args) {
        args.insert(args.begin(), "post");
        args.insert(args.end(), {"--home", Home.Path()});
        return Invoke(std::move(args));
    }
    TCliResult PostEcho(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--area", "RU.TEST",   "--from", "Ivan Petrov", "--to",
                                         "All",    "--subject", "Hello",  "--file",      Text};
        args.insert(args.end(), extra.begin(), extra.end());
        return Post(args);
    }

    static TMsgHandle Read(TCustomBase& base, int position) {
        base.Rescan();
        TMsgHandle msg = base.GetMsg(position);
        EXPECT_TRUE(msg);
        msg->GetKludges();
        return msg;
    }
    static std::vector<std::string> KludgeNames(const TCustomMsg& msg) {
        std::vector<std::string> names;
        for (const std::string& kludge : msg.Kludges)
            names.push_back(kludge.substr(1, kludge.find_first_of(": ") - 1));
        return names;
    }
};

} // namespace

TEST_F(PostCommandTest, EchomailIntoAConfiguredArea) {
    const TCliResult result = PostEcho();
    ASSERT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(result.Out, "1\n");
    TJamBase base(Jam, "RU.TEST", "");
    TMsgHandle msg = Read(base, 0);
    EXPECT_EQ(msg->FromName, "Ivan Petrov");
    EXPECT_EQ(msg->ToName, "All");
    EXPECT_EQ(msg->Subject, "Hello");
    EXPECT_EQ(msg->FromAddr, TAddress(2, 5020, 1042));
    EXPECT_EQ(KludgeNames(*msg), (std::vector<std::string>{"MSGID", "CHRS", "PID", "TZUTC"}));
    EXPECT_EQ(msg->GetKludge("MSGID:").substr(0, 12), "2:5020/1042 ");
    EXPECT_EQ(msg->GetKludge("CHRS:"), "CP866 2");
    ASSERT_EQ(msg->Body.size(), 4u);
    EXPECT_EQ(ActiveDisplayPage().ToUtf8(msg->Body[0].Text), "Ёжик в тумане");
    EXPECT_EQ(msg->Body[2].Text.substr(0, 4), "--- ");
    EXPECT_EQ(msg->Body[3].Text, " * Origin: Test station (2:5020/1042)");
    EXPECT_EQ(ReadFile(Home.File("echotoss.log")), Home.File("rutest") + " 1\r\n"); // JAM's scan line
    EXPECT_FALSE(std::filesystem::exists(Home.File("netmail.flag")));

    // A reply carries the answered MSGID verbatim and links to it in the base.
    const TCliResult reply = PostEcho({"--reply-to", "1", "--origin", "Elsewhere"});
    ASSERT_EQ(reply.Status, 0) << reply.Err;
    TMsgHandle answer = Read(base, 1);
    EXPECT_EQ(answer->GetKludge("REPLY:"), msg->GetKludge("MSGID:"));
    EXPECT_EQ(answer->ReplyTo, 1u);
    EXPECT_EQ(answer->Body.back().Text, " * Origin: Elsewhere (2:5020/1042)");
    // Posted within the same second, the second serial is still the larger.
    EXPECT_GT(std::stoul(answer->GetKludge("MSGID:").substr(12), nullptr, 16),
              std::stoul(msg->GetKludge("MSGID:").substr(12), nullptr, 16));
}

// On request the text is stored in UTF-8 and says so; the program and the command line
// read it back right.
TEST_F(PostCommandTest, Utf8OnRequest) {
    const TCliResult result = PostEcho({"--utf8"});
    ASSERT_EQ(result.Status, 0) << result.Err;
    EXPECT_NE(ReadFile(Home.File("rutest.jdt")).find("Ёжик в тумане\r"), std::string::npos);
    TJamBase base(Jam, "RU.TEST", "");
    TMsgHandle msg = Read(base, 0);
    EXPECT_EQ(msg->GetKludge("CHRS:"), "UTF-8 4");
    EXPECT_EQ(ActiveDisplayPage().ToUtf8(msg->Body.at(0).Text), "Ёжик в тумане");
    const TCliResult shown = Invoke({"show", Jam, "0"});
    EXPECT_NE(shown.Out.find("Ёжик в тумане"), std::string::npos) << shown.Out;
}

// Netmail from a point through the base path: FMPT and INTL, the attributes given, the flag
// file line from the home's settings.
TEST_F(PostCommandTest, NetmailThroughABasePath) {
    std::filesystem::create_directories(Netmail);
    const TCliResult result = Post({Netmail, "--kind", "netmail", "--tag", "NETMAIL", "--from", "Ivan Petrov",
                                    "--from-addr", "2:5020/1042.7", "--to", "Ольга", "--to-addr", "2:5030/2",
                                    "--subject", "Тема", "--attr", "Pvt Loc cra DIR", "--file", Text});
    ASSERT_EQ(result.Status, 0) << result.Err;
    TFidoBase base(Netmail, "", "NETMAIL");
    TMsgHandle msg = Read(base, 0);
    EXPECT_EQ(KludgeNames(*msg),
              (std::vector<std::string>{"FMPT", "INTL", "MSGID", "FLAGS", "CHRS", "PID", "TZUTC"}));
    EXPECT_EQ(msg->GetKludge("INTL"), "2:5030/2 2:5020/1042");
    EXPECT_EQ(msg->GetKludge("FLAGS"), "DIR"); // "Loc" is local, not "LOC" (locked)
    EXPECT_EQ(msg->Attr & (atLoc | atLOK | atCra), atLoc | atCra);
    // Names and subject are taken in UTF-8 like the text.
    EXPECT_EQ(ActiveDisplayPage().ToUtf8(msg->ToName), "Ольга");
    EXPECT_EQ(ActiveDisplayPage().ToUtf8(msg->Subject), "Тема");
    EXPECT_EQ(msg->ToAddr, TAddress(2, 5030, 2));
    EXPECT_EQ(ReadFile(Home.File("netmail.flag")), "NETMAIL\r\n");
}

TEST_F(PostCommandTest, MisuseAndFailuresWriteNothing) {
    WriteFile(Home.File("empty.txt"), " \n\n");
    const struct {
        std::vector<std::string> Extra;
        int Status;
        const char* Says;
    } cases[] = {
        {{"--area", "RU.TEST", "--to", "All", "--subject", "x", "--file", Text}, 2, "--from"},
        {{"--area", "RU.TEST", "--from", "A", "--to", "All", "--subject", "x", "--to-addr", "2:x", "--file",
          Text},
         2,
         "not an FTN address"},
        {{"--area", "RU.TEST", "--from", "A", "--to", "All", "--subject", "x", "--file",
          Home.File("empty.txt")},
         2,
         "empty"},
        {{"--area", "RU.TEST", "--from", "A", "--to", "All", "--subject", "x", "--attr", "Pvt Nope", "--file",
          Text},
         2,
         "Nope"},
        {{Jam, "--area", "RU.TEST", "--from", "A", "--to", "All", "--subject", "x", "--file", Text},
         2,
         "either"},
        {{"--area", "NO.SUCH", "--from", "A", "--to", "All", "--subject", "x", "--file", Text}, 1, "NO.SUCH"},
        {{"--area", "RU.TEST", "--from", "A", "--to", "All", "--subject", "x", "--reply-to", "5", "--file",
          Text},
         1,
         "no message 5"},
        {{Home.File("text.txt/area.jhr"), "--kind", "echomail", "--tag", "X", "--from", "A", "--from-addr",
          "2:5020/1", "--to", "All", "--subject", "x", "--file", Text},
         1,
         "cannot"},
        {{Home.File("area.jhr"), "--kind", "echomail", "--tag", "X", "--from", "A", "--to", "All",
          "--subject", "x", "--file", Text},
         2,
         "no address"},
    };
    for (const auto& c : cases) {
        const TCliResult result = Post(c.Extra);
        EXPECT_EQ(result.Status, c.Status) << c.Says << ": " << result.Err;
        EXPECT_NE(result.Err.find(c.Says), std::string::npos) << result.Err;
        EXPECT_EQ(result.Out, "");
    }
    TJamBase base(Jam, "RU.TEST", "");
    base.Rescan();
    EXPECT_EQ(base.GetCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(Home.File("echotoss.log")));
}

// A text longer than the configured message size is written as numbered parts, each with
// its own MSGID; every id is printed.
TEST_F(PostCommandTest, LongTextIsWrittenInParts) {
    std::string text;
    for (int i = 0; i < 800; ++i)
        text += "Line " + std::to_string(i) + " of a long letter that goes on and on and on\n";
    WriteFile(Text, text);
    const TCliResult result = PostEcho();
    ASSERT_EQ(result.Status, 0) << result.Err;
    EXPECT_EQ(result.Out, "1\n2\n3\n");
    TJamBase base(Jam, "RU.TEST", "");
    std::set<std::string> ids;
    for (int i = 0; i < 3; ++i) {
        TMsgHandle part = Read(base, i);
        ids.insert(part->GetKludge("MSGID:"));
        EXPECT_EQ(part->Body.front().Text, "> ---------- Part " + std::to_string(i + 1) + " ---------- <");
        EXPECT_EQ(part->Body.back().Text, " * Origin: Test station (2:5020/1042)");
    }
    EXPECT_EQ(ids.size(), 3u);
}
