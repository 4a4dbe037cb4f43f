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

using test::Display;
using test::Oem;

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

    TMsgHandle first = base.GetMsg(0);
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

    TMsgHandle second = base.GetMsg(1);
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
    test::TDump dump;
    ASSERT_TRUE(test::DumpBase(TAVRO_CLI_PATH, Dir("echo"), dump));
    EXPECT_EQ(dump.Value("type"), "msg");
    EXPECT_EQ(dump.Value("count"), "2");
    EXPECT_EQ(dump.Value("lastread"), "0");
    ASSERT_EQ(dump.Messages.size(), 2u);

    const test::TDumpedMsg& first = dump.Messages[0];
    EXPECT_EQ(first.Value("position"), "0");
    EXPECT_EQ(first.Value("id"), "2");
    EXPECT_EQ(first.Value("from"), "Sender One");
    EXPECT_EQ(first.Value("from_addr"), "2:5020/1");
    EXPECT_EQ(first.Value("to"), "All");
    EXPECT_EQ(first.Value("subject"), "First subject");
    EXPECT_EQ(first.Value("date_written"), "2024-01-05T10:03:00");
    EXPECT_EQ(first.Value("attributes"), "Snt");
    EXPECT_EQ(first.List("kludges"), (std::vector<std::string>{"\x01MSGID: 2:5020/1 0badf00d"}));
    EXPECT_EQ(first.List("body"), (std::vector<std::string>{"Hello number one", "Привет, мир", "", "--- Test",
                                                            " * Origin: Test (2:5020/1)"}));
    EXPECT_EQ(first.List("tail"),
              (std::vector<std::string>{"SEEN-BY: 5020/1 9999", "\x01PATH: 5020/1 9999"}));
    EXPECT_EQ(first.Value("read"), "false");

    const test::TDumpedMsg& second = dump.Messages[1];
    EXPECT_EQ(second.Value("position"), "1");
    EXPECT_EQ(second.Value("id"), "3");
    EXPECT_EQ(second.Value("from"), "Иван Петров");
    EXPECT_EQ(second.Value("from_addr"), "2:5020/1");
    EXPECT_EQ(second.Value("to"), "Receiver");
    EXPECT_EQ(second.Value("subject"), "Второе письмо");
    EXPECT_EQ(second.Value("date_written"), "2024-01-06T11:04:05");
    EXPECT_EQ(second.Value("attributes"), "Snt");
    EXPECT_EQ(second.List("kludges"), std::vector<std::string>{});
    EXPECT_EQ(second.List("body"),
              (std::vector<std::string>{"Second body", "--- Test", " * Origin: Test (2:5020/1)"}));
    EXPECT_EQ(second.List("tail"),
              (std::vector<std::string>{"SEEN-BY: 5020/1 9999", "\x01PATH: 5020/1 9999"}));
    EXPECT_EQ(second.Value("read"), "false");
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
    TMsgHandle mine = base.GetMsg(1);
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

// Netmail Tavro writes into an empty netmail area goes out through the uplink. crashmail keeps
// its high-water record in 1.msg there as well: it never sends a message standing in that
// file and writes its record over it.
TEST_F(CrashmailPeerTest, NetmailIsRoutedThroughTheUplink) {
    struct TNetmail {
        TAddress To;
        std::string ToName;
        std::string Subject;
        std::string Intl;
        std::string MsgId;
    };
    const TNetmail netmails[] = {
        {TAddress(1, 250, 9999), "Far Sysop", "Across zones", "1:250/9999 2:5020/9999", "5f3a0101"},
        {TAddress(2, 463, 68), "Near Sysop", "Within the zone", "2:463/68 2:5020/9999", "5f3a0102"},
    };
    const auto body = [](const TNetmail& netmail) {
        return std::vector<std::string>{"Hello " + netmail.ToName, Display("Личное сообщение"), "--- Tavro"};
    };
    {
        TFidoBase base(Crashmail.NetmailArea(), "", "NETMAIL");
        base.Rescan();
        ASSERT_EQ(base.GetCount(), 0);
        for (const TNetmail& netmail : netmails) {
            auto msg = base.NewMsg();
            msg->FromName = "Tavro User";
            msg->ToName = netmail.ToName;
            msg->Subject = netmail.Subject;
            msg->FromAddr = Ours;
            msg->ToAddr = netmail.To;
            msg->DateWritten = EncodeDateTime(2024, 1, 7, 12, 0, 0);
            msg->DateArrived = msg->DateWritten;
            msg->Attr = atLoc | atPvt;
            msg->Kludges = {"\x01INTL " + netmail.Intl, "\x01MSGID: " + Ours.ToStr() + " " + netmail.MsgId};
            for (std::string& line : body(netmail))
                msg->Body.emplace_back(std::move(line));
            ASSERT_TRUE(msg->Save());
        }
        base.Rescan();
        EXPECT_EQ(test::Ids(base), (std::vector<TMsgId>{2, 3}));
    }
    ASSERT_TRUE(Run({"SCAN"}));

    std::vector<TPacketMsg> sent = TakeUplinkMail();
    EXPECT_EQ(sent.size(), std::size(netmails));
    for (const TNetmail& netmail : netmails) {
        SCOPED_TRACE(netmail.Subject);
        const auto found = std::find_if(
            sent.begin(), sent.end(), [&](const TPacketMsg& msg) { return msg.Subject == netmail.Subject; });
        ASSERT_NE(found, sent.end()) << "not exported";
        EXPECT_EQ(found->FromName, "Tavro User");
        EXPECT_EQ(found->ToName, netmail.ToName);
        EXPECT_EQ(found->DateTime, "07 Jan 24  12:00:00");
        EXPECT_EQ(found->OrigNet, Ours.Net);
        EXPECT_EQ(found->OrigNode, Ours.Node);
        EXPECT_EQ(found->DestNet, netmail.To.Net);
        EXPECT_EQ(found->DestNode, netmail.To.Node);
        EXPECT_EQ(found->Attr & 0x0001, 0x0001) << "private";
        std::vector<std::string> lines = test::TextLines(found->Text);
        // The header holds no zones; INTL carries them.
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "\x01INTL " + netmail.Intl);
        std::vector<std::string> expected = {"\x01MSGID: " + Ours.ToStr() + " " + netmail.MsgId,
                                             "Hello " + netmail.ToName, Oem("Личное сообщение"), "--- Tavro"};
        EXPECT_NE(std::search(lines.begin(), lines.end(), expected.begin(), expected.end()), lines.end())
            << testing::PrintToString(lines);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::string& line) { return line.starts_with("\x01INTL"); }),
                  1);
    }

    // crashmail marks what it sent and keeps it; 1.msg now holds its record.
    TFidoBase base(Crashmail.NetmailArea(), "", "NETMAIL");
    base.Rescan();
    ASSERT_EQ(test::Ids(base), (std::vector<TMsgId>{1, 2, 3}));
    for (int position = 1; position <= 2; ++position) {
        const TNetmail& netmail = netmails[position - 1];
        TMsgHandle msg = base.GetMsg(position);
        ASSERT_NE(msg, nullptr);
        EXPECT_EQ(msg->Subject, netmail.Subject);
        EXPECT_EQ(BodyTexts(*msg), body(netmail));
        EXPECT_EQ(msg->GetAttr() & (atSnt | atLoc | atPvt), atSnt | atLoc | atPvt) << netmail.Subject;
    }
    EXPECT_TRUE(Ui.Errors.empty());
}

// With high-water marks on, crashmail skips netmail at or below the mark in 1.msg as well.
// A netmail written after the newest one was deleted must still go out.
TEST_F(CrashmailPeerTest, NetmailAfterDeletingTheNewestIsExported) {
    const auto write = [&](TFidoBase& base, const std::string& subject) {
        auto msg = base.NewMsg();
        msg->FromName = "Tavro User";
        msg->ToName = "Far Sysop";
        msg->Subject = subject;
        msg->FromAddr = Ours;
        msg->ToAddr = TAddress(1, 250, 9999);
        msg->DateWritten = EncodeDateTime(2024, 1, 7, 12, 0, 0);
        msg->DateArrived = msg->DateWritten;
        msg->Attr = atLoc | atPvt;
        msg->Kludges = {"\x01INTL 1:250/9999 2:5020/9999"};
        msg->Body.emplace_back("Hello");
        ASSERT_TRUE(msg->Save());
    };
    {
        TFidoBase base(Crashmail.NetmailArea(), "", "NETMAIL");
        base.Rescan();
        ASSERT_NO_FATAL_FAILURE(write(base, "Sent first"));
    }
    ASSERT_TRUE(Run({"SCAN"}));
    ASSERT_EQ(TakeUplinkMail().size(), 1u);
    {
        TFidoBase base(Crashmail.NetmailArea(), "", "NETMAIL");
        base.Rescan();
        ASSERT_EQ(base.GetCount(), 2);
        ASSERT_TRUE(base.DeleteMsg(base.GetMsgId(1)));
        ASSERT_NO_FATAL_FAILURE(write(base, "Sent second"));
    }
    ASSERT_TRUE(Run({"SCAN"}));
    std::vector<TPacketMsg> sent = TakeUplinkMail();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Subject, "Sent second");
}

} // namespace
} // namespace tavro
