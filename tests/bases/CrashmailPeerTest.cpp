// Debian's crashmail tosser as a peer: what it tosses into a *.MSG area Tavro must read, and
// what Tavro writes there crashmail must export.

#include "bases/FidoBase.h"
#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/DateTime.h"

#include "FtnPacket.h"
#include "RecordingUi.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tavro {
namespace {

using test::TPacket;
using test::TPacketMsg;

namespace fs = std::filesystem;

constexpr const char* EchoTag = "TEST.ECHO";
const TAddress Uplink(2, 5020, 1);
const TAddress Ours(2, 5020, 9999);
// The uplink's flow file in the BSO outbound: net and node in hex.
constexpr const char* UplinkFlowStem = "139c0001";

std::string FindInPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

std::string Oem(const char* utf8) {
    return ActiveCodePages().Oem()->FromUtf8(utf8);
}

std::string Display(const char* utf8) {
    return ActiveCodePages().Display()->FromUtf8(utf8);
}

std::vector<std::string> BodyTexts(TCustomMsg& msg) {
    std::vector<std::string> texts;
    for (const TBodyLine& line : msg.GetBody())
        texts.push_back(line.Text);
    return texts;
}

TPacketMsg Echomail(std::string from, std::string to, std::string subject, std::string date,
                    const std::vector<std::string>& lines) {
    TPacketMsg msg;
    msg.OrigNet = Uplink.Net;
    msg.OrigNode = Uplink.Node;
    msg.DestNet = Ours.Net;
    msg.DestNode = Ours.Node;
    msg.FromName = std::move(from);
    msg.ToName = std::move(to);
    msg.Subject = std::move(subject);
    msg.DateTime = std::move(date);
    msg.Text = test::JoinLines(lines);
    return msg;
}

class CrashmailPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Crashmail = FindInPath("crashmail");
        ASSERT_FALSE(Crashmail.empty())
            << "The crashmail tosser is not installed. scripts/install-deps.sh installs it, or run "
               "\"apt-get install --no-install-recommends crashmail\".";
        for (const char* dir : {"in", "out", "tmp", "pkt", "echo", "bad", "netmail"})
            fs::create_directory(Temp.File(dir));
        WriteConfig();
    }

    void TearDown() override {
        if (HasFailure() && !Output.empty())
            std::cerr << "crashmail said:\n" << Output << "\n";
    }

    std::string Dir(std::string_view name) const { return Temp.File(name); }

    // Every path inside the temp dir, so a run reads and writes nothing else. High-water
    // marks on and SEEN-BY imported ask most of a reader; without a packer for the uplink
    // its packets go out bare.
    void WriteConfig() {
        auto q = [this](std::string_view name) { return "\"" + Dir(name) + "\""; };
        const std::string aka = Ours.ToStrFull();
        std::ostringstream config;
        config << "SYSOP \"Test Sysop\"\n"
               << "LOGFILE " << q("crashmail.log") << "\n"
               << "LOGLEVEL 3\n"
               << "DUPEFILE " << q("dupes") << " 200\n"
               << "DUPEMODE BAD\n"
               << "STATSFILE " << q("stats") << "\n"
               << "DEFAULTZONE 2\n"
               << "INBOUND " << q("in") << "\n"
               << "OUTBOUND " << q("out") << "\n"
               << "TEMPDIR " << q("tmp") << "\n"
               << "CREATEPKTDIR " << q("pkt") << "\n"
               << "PACKETDIR " << q("out") << "\n"
               << "IMPORTSEENBY\n"
               << "MSG_HIGHWATER\n"
               << "AKA " << aka << "\n"
               << "NODE " << Uplink.ToStrFull() << " \"\" \"\"\n"
               << "NETMAIL \"NETMAIL\" " << aka << " MSG " << q("netmail") << "\n"
               << "AREA \"BAD\" " << aka << " MSG " << q("bad") << "\n"
               << "AREA \"" << EchoTag << "\" " << aka << " MSG " << q("echo") << "\n"
               << "EXPORT " << Uplink.ToStrFull() << "\n";
        test::WriteFile(Dir("crashmail.prefs"), config.str());
    }

    // Runs crashmail with the test's configuration; its output lands in Output.
    ::testing::AssertionResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {Crashmail, "SETTINGS", Dir("crashmail.prefs")});
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);

        const std::string outputFile = Dir("crashmail.out");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, Temp.Path().c_str());
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, Crashmail.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return ::testing::AssertionFailure() << "cannot start " << Crashmail << ": error " << spawned;

        // A hang guard only; a run takes milliseconds.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                Output = test::ReadFile(outputFile);
                return ::testing::AssertionFailure() << "crashmail " << args.back() << " did not finish";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Output = test::ReadFile(outputFile);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return ::testing::AssertionFailure()
                   << "crashmail " << args.back() << " failed, status " << status;
        return ::testing::AssertionSuccess();
    }

    // The messages of every packet the uplink's flow file lists; the packets and the flow
    // file are then removed, as a mailer does once it has sent them.
    std::vector<TPacketMsg> TakeUplinkMail() {
        std::vector<fs::path> flows;
        for (const auto& entry : fs::directory_iterator(Dir("out"))) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(UplinkFlowStem) && name.ends_with("lo"))
                flows.push_back(entry.path());
        }
        std::vector<TPacketMsg> msgs;
        for (const fs::path& flowFile : flows) {
            std::istringstream flow(test::ReadFile(flowFile.string()));
            for (std::string line; std::getline(flow, line);) {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                // A leading "^", "#" or "~" says what the mailer does with the file.
                if (!line.empty() && (line[0] == '^' || line[0] == '#' || line[0] == '~'))
                    line.erase(0, 1);
                if (line.empty())
                    continue;
                if (!line.ends_with(".pkt")) {
                    ADD_FAILURE() << "the flow file lists a file that is not a bare packet: " << line;
                    continue;
                }
                TPacket packet;
                EXPECT_EQ(test::ReadPacket(test::ReadFile(line), packet), "") << line;
                EXPECT_TRUE(SameAddress(packet.Dest, Uplink)) << packet.Dest.ToStr();
                EXPECT_TRUE(SameAddress(packet.Orig, Ours)) << packet.Orig.ToStr();
                msgs.insert(msgs.end(), packet.Msgs.begin(), packet.Msgs.end());
                fs::remove(line);
            }
            fs::remove(flowFile);
        }
        return msgs;
    }

    // The body of a message of WriteLocalMessage, in the display code page.
    static std::vector<std::string> LocalBody(const std::string& subject) {
        return {"Hello from " + subject, Display("Тестовое сообщение"), "", "--- Tavro",
                " * Origin: Tavro test (" + Ours.ToStr() + ")"};
    }

    // A message as a reader's composer leaves it; `subject` tells the messages apart.
    void WriteLocalMessage(TFidoBase& base, const std::string& subject) {
        auto msg = base.NewMsg();
        msg->FromName = "Tavro User";
        msg->ToName = "All";
        msg->Subject = subject;
        msg->FromAddr = Ours;
        msg->ToAddr = TAddress(Ours.Zone, Ours.Net, 0);
        msg->DateWritten = EncodeDateTime(2024, 1, 7, 12, 0, 0);
        msg->DateArrived = msg->DateWritten;
        msg->Attr = atLoc;
        msg->Kludges = {"\x01MSGID: " + Ours.ToStr() + " 5f3a01c2"};
        for (std::string& line : LocalBody(subject))
            msg->Body.emplace_back(std::move(line));
        ASSERT_TRUE(msg->Save());
    }

    // What the packet carries of such a message after the AREA line: the stored OEM text.
    static std::vector<std::string> StoredLines(const std::string& subject) {
        return {"\x01MSGID: " + Ours.ToStr() + " 5f3a01c2",
                "Hello from " + subject,
                Oem("Тестовое сообщение"),
                "",
                "--- Tavro",
                " * Origin: Tavro test (" + Ours.ToStr() + ")"};
    }

    // Two echomail messages from the uplink, tossed into the area.
    void TossTwoMessages() {
        TPacket packet;
        packet.Orig = Uplink;
        packet.Dest = Ours;
        packet.Msgs.push_back(Echomail("Sender One", "All", "First subject", "05 Jan 24  10:03:00",
                                       {"AREA:TEST.ECHO", "\x01MSGID: 2:5020/1 0badf00d", "Hello number one",
                                        Oem("Привет, мир"), "", "--- Test", " * Origin: Test (2:5020/1)",
                                        "SEEN-BY: 5020/1", "\x01PATH: 5020/1"}));
        // No MSGID: the origin line is all that names the sender.
        packet.Msgs.push_back(
            Echomail(Oem("Иван Петров"), "Receiver", Oem("Второе письмо"), "06 Jan 24  11:04:05",
                     {"AREA:TEST.ECHO", "Second body", "--- Test", " * Origin: Test (2:5020/1)",
                      "SEEN-BY: 5020/1", "\x01PATH: 5020/1"}));
        test::WriteFile(Dir("in/0000abcd.pkt"), test::WritePacket(packet));
        ASSERT_TRUE(Run({"TOSS"}));
    }

    test::TTempDir Temp;
    test::TRecordingUi Ui;
    std::string Crashmail;
    std::string Output;
};

TEST_F(CrashmailPeerTest, TossedEchomailReadsBack) {
    ASSERT_NO_FATAL_FAILURE(TossTwoMessages());

    TFidoBase base(Dir("echo"), EchoTag, "");
    base.SetUser(0, "Test Sysop");
    base.Rescan();
    ASSERT_EQ(base.GetCount(), 2);

    TCustomMsg* first = base.GetMsg(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->FromName, "Sender One");
    EXPECT_EQ(first->ToName, "All");
    EXPECT_EQ(first->Subject, "First subject");
    EXPECT_EQ(FormatIsoDateTime(first->DateWritten), "2024-01-05T10:03:00");
    EXPECT_EQ(first->GetKludges(), (TStringList{"\x01MSGID: 2:5020/1 0badf00d"}));
    EXPECT_EQ(BodyTexts(*first), (std::vector<std::string>{"Hello number one", Display("Привет, мир"), "",
                                                           "--- Test", " * Origin: Test (2:5020/1)"}));
    // The tosser adds its own address to both; the lines stay out of the body.
    EXPECT_EQ(first->GetTail(), (TStringList{"SEEN-BY: 5020/1 9999", "\x01PATH: 5020/1 9999"}));
    EXPECT_EQ(first->FromAddr.ToStr(), "2:5020/1");
    // Tossed echomail is marked sent so that no scan sends it back.
    EXPECT_EQ(first->GetAttr() & (atSnt | atLoc), atSnt);

    TCustomMsg* second = base.GetMsg(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->FromName, Display("Иван Петров"));
    EXPECT_EQ(second->ToName, "Receiver");
    EXPECT_EQ(second->Subject, Display("Второе письмо"));
    EXPECT_EQ(FormatIsoDateTime(second->DateWritten), "2024-01-06T11:04:05");
    EXPECT_EQ(second->GetKludge("MSGID:"), "");
    EXPECT_EQ(BodyTexts(*second),
              (std::vector<std::string>{"Second body", "--- Test", " * Origin: Test (2:5020/1)"}));
    EXPECT_EQ(second->FromAddr.ToStr(), "2:5020/1");
    EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(CrashmailPeerTest, CommandLineDumpShowsTossedEchomail) {
#ifndef TAVRO_CLI_PATH
    GTEST_SKIP() << "built without tavro-cli";
#else
    ASSERT_NO_FATAL_FAILURE(TossTwoMessages());
    std::string command = std::string(TAVRO_CLI_PATH) + " dump " + Dir("echo") + " --user 0";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string json;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        json.append(chunk, n);
    ASSERT_EQ(pclose(pipe), 0);
    for (const char* expected :
         {R"("type": "msg")", R"("count": 2)", R"("lastread": 0)", R"("id": 2)", R"("id": 3)",
          R"("from": "Sender One")", R"("from_addr": "2:5020/1")", R"("subject": "First subject")",
          R"("date_written": "2024-01-05T10:03:00")", R"("attributes": "Snt")",
          R"("\u0001MSGID: 2:5020/1 0badf00d")", "\"Привет, мир\"", R"("from": "Иван Петров")",
          R"("subject": "Второе письмо")", R"("SEEN-BY: 5020/1 9999")", R"("\u0001PATH: 5020/1 9999")",
          R"("read": false)"})
        EXPECT_NE(json.find(expected), std::string::npos) << expected << " in\n" << json;
#endif
}

TEST_F(CrashmailPeerTest, LocalMessageIsExported) {
    {
        TFidoBase base(Dir("echo"), EchoTag, "");
        base.SetUser(0, "Tavro User");
        base.Rescan();
        ASSERT_NO_FATAL_FAILURE(WriteLocalMessage(base, "Tavro subject"));
    }
    ASSERT_TRUE(Run({"SCAN"}));

    std::vector<TPacketMsg> sent = TakeUplinkMail();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].FromName, "Tavro User");
    EXPECT_EQ(sent[0].ToName, "All");
    EXPECT_EQ(sent[0].Subject, "Tavro subject");
    EXPECT_EQ(sent[0].DateTime, "07 Jan 24  12:00:00");
    EXPECT_EQ(sent[0].OrigNet, Ours.Net);
    EXPECT_EQ(sent[0].OrigNode, Ours.Node);
    std::vector<std::string> lines = test::TextLines(sent[0].Text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "AREA:TEST.ECHO");
    std::vector<std::string> expected = StoredLines("Tavro subject");
    EXPECT_NE(std::search(lines.begin(), lines.end(), expected.begin(), expected.end()), lines.end())
        << "the text Tavro stored does not travel unchanged: " << testing::PrintToString(lines);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("SEEN-BY: ") && line.find("5020/1") != std::string::npos;
    }));

    // The scan marked the message sent and wrote its mark into 1.msg; the message survives.
    TFidoBase base(Dir("echo"), EchoTag, "");
    base.Rescan();
    ASSERT_EQ(base.GetCount(), 2);
    EXPECT_EQ(base.GetMsgId(0), 1u);
    TCustomMsg* mine = base.GetMsg(1);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->Subject, "Tavro subject");
    EXPECT_EQ(BodyTexts(*mine), LocalBody("Tavro subject"));
    EXPECT_EQ(mine->GetAttr() & (atSnt | atLoc), atSnt | atLoc);
    EXPECT_TRUE(Ui.Errors.empty());
}

// The reader's usual round: mail arrives, the user answers, the tosser scans the areas the
// reader listed in its echoscan file.
TEST_F(CrashmailPeerTest, AnswerAfterTossIsTheOnlyMessageExported) {
    TPacket packet;
    packet.Orig = Uplink;
    packet.Dest = Ours;
    packet.Msgs.push_back(
        Echomail("Sender One", "All", "Question", "05 Jan 24  10:03:00",
                 {"AREA:TEST.ECHO", "\x01MSGID: 2:5020/1 0badf00d", "Anyone there?", "--- Test",
                  " * Origin: Test (2:5020/1)", "SEEN-BY: 5020/1", "\x01PATH: 5020/1"}));
    test::WriteFile(Dir("in/0000abcd.pkt"), test::WritePacket(packet));
    ASSERT_TRUE(Run({"TOSS"}));

    {
        TFidoBase base(Dir("echo"), EchoTag, "");
        base.ScanFiles.EchoscanFile = Dir("echotoss.log");
        base.SetUser(0, "Tavro User");
        base.Rescan();
        ASSERT_EQ(base.GetCount(), 1);
        ASSERT_NO_FATAL_FAILURE(WriteLocalMessage(base, "Answer"));
    }
    ASSERT_TRUE(Run({"SCANLIST", Dir("echotoss.log")}));

    std::vector<TPacketMsg> sent = TakeUplinkMail();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Subject, "Answer");
    std::vector<std::string> lines = test::TextLines(sent[0].Text);
    std::vector<std::string> expected = StoredLines("Answer");
    EXPECT_NE(std::search(lines.begin(), lines.end(), expected.begin(), expected.end()), lines.end())
        << testing::PrintToString(lines);
}

// With high-water marks on, crashmail exports only numbers above the mark it keeps in
// 1.msg. A message written after the newest one was deleted must still go out.
TEST_F(CrashmailPeerTest, MessageAfterDeletingTheNewestIsExported) {
    {
        TFidoBase base(Dir("echo"), EchoTag, "");
        base.Rescan();
        ASSERT_NO_FATAL_FAILURE(WriteLocalMessage(base, "Sent first"));
    }
    ASSERT_TRUE(Run({"SCAN"}));
    ASSERT_EQ(TakeUplinkMail().size(), 1u);

    {
        TFidoBase base(Dir("echo"), EchoTag, "");
        base.Rescan();
        ASSERT_EQ(base.GetCount(), 2);
        ASSERT_TRUE(base.DeleteMsg(base.GetMsgId(1)));
        ASSERT_NO_FATAL_FAILURE(WriteLocalMessage(base, "Sent second"));
    }
    ASSERT_TRUE(Run({"SCAN"}));
    std::vector<TPacketMsg> sent = TakeUplinkMail();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Subject, "Sent second");
}

} // namespace
} // namespace tavro
