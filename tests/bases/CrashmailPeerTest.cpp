// Debian's crashmail tosser as a peer: what it tosses into a *.MSG area Tavro must read, and
// what Tavro writes there crashmail must export.

#include "bases/FidoBase.h"
#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/DateTime.h"
#include "core/Settings.h"

#include "BaseHelpers.h"
#include "Crashmail.h"
#include "FtnPacket.h"
#include "RecordingUi.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace tavro {
namespace {

using test::BodyTexts;
using test::TPacket;
using test::TPacketMsg;

constexpr const char* EchoTag = "TEST.ECHO";
const TAddress Uplink(2, 5020, 1);
const TAddress Ours(2, 5020, 9999);

std::string Oem(const char* utf8) {
    return ActiveCodePages().Oem()->FromUtf8(utf8);
}

std::string Display(const char* utf8) {
    return ActiveCodePages().Display()->FromUtf8(utf8);
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
    void SetUp() override { ASSERT_TRUE(Crashmail.Prepare()); }

    void TearDown() override {
        if (HasFailure() && !Crashmail.Output().empty())
            std::cerr << "crashmail said:\n" << Crashmail.Output() << "\n";
    }

    std::string Dir(std::string_view name) const { return Temp.File(name); }
    ::testing::AssertionResult Run(std::vector<std::string> args) { return Crashmail.Run(std::move(args)); }
    std::vector<TPacketMsg> TakeUplinkMail() { return Crashmail.TakeUplinkMail(); }

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
        ASSERT_TRUE(Crashmail.Toss(packet));
    }

    test::TTempDir Temp;
    test::TRecordingUi Ui;
    test::TCrashmail Crashmail{Temp.Path(), {Ours, Uplink, EchoTag, test::TCrashmailStorage::Msg}};
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
    ASSERT_TRUE(Crashmail.Toss(packet));

    {
        TFidoBase base(Dir("echo"), EchoTag, "");
        TGlobalSettings settings;
        settings.EchoscanFile = Dir("echotoss.log");
        base.ScanSettings = &settings;
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
