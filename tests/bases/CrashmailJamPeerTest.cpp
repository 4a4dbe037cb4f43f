// Debian's crashmail tosser as a peer on JAM areas: Tavro must read the bases it tosses into,
// a base Tavro made must stay one that crashmail appends to, and a message Tavro writes there
// must go out with crashmail's scan and read back as sent. Debian's amd64 build misreads JAM
// numbers that hold a byte of 0x80 or more, in its own bases too, so what it reads back is
// kept to numbers without one.

#include "bases/JamBase.h"
#include "bases/JamFormat.h"
#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/DateTime.h"

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

// Kludges whose name starts with a hex digit (CHRS, FMPT) take an octal ^A: a hex escape
// would swallow the letter.

constexpr const char* EchoTag = "TEST.JAM";
const TAddress Uplink(2, 5020, 1);
const TAddress Ours(2, 5020, 9999);

using test::Display;
using test::Oem;

TPacketMsg PacketMsg(const TAddress& from, const TAddress& to, std::string fromName, std::string toName,
                     std::string subject, std::string date, const std::vector<std::string>& lines) {
    TPacketMsg msg;
    msg.OrigNet = from.Net;
    msg.OrigNode = from.Node;
    msg.DestNet = to.Net;
    msg.DestNode = to.Node;
    msg.FromName = std::move(fromName);
    msg.ToName = std::move(toName);
    msg.Subject = std::move(subject);
    msg.DateTime = std::move(date);
    msg.Text = test::JoinLines(lines);
    return msg;
}

// A question and its answer in the echo area, with the kludges a Russian point's editor
// writes.
TPacket Conversation() {
    TPacket packet;
    packet.Orig = Uplink;
    packet.Dest = Ours;
    packet.Msgs.push_back(
        PacketMsg(Uplink, Ours, Oem("Иван Петров"), "All", Oem("Вопрос про JAM"), "05 Jan 24  10:03:00",
                  {"AREA:TEST.JAM", "\x01MSGID: 2:5020/1 0badf00d", "\x01PID: TestEd 1.0",
                   "\001CHRS: CP866 2", "\x01TZUTC: 0300", "Hello number one", Oem("Привет, мир"), "",
                   "--- TestEd", " * Origin: Test (2:5020/1)", "SEEN-BY: 5020/1 2", "\x01PATH: 5020/1"}));
    packet.Msgs.push_back(PacketMsg(
        Uplink, Ours, "Sender Two", Oem("Иван Петров"), Oem("Re: Вопрос про JAM"), "06 Jan 24  11:04:05",
        {"AREA:TEST.JAM", "\x01MSGID: 2:5020/1 0badf00e", "\x01REPLY: 2:5020/1 0badf00d",
         "\x01PID: TestEd 1.0", "Second body", "--- TestEd", " * Origin: Test (2:5020/1)", "SEEN-BY: 5020/1",
         "\x01PATH: 5020/1"}));
    return packet;
}

class CrashmailJamPeerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Crashmail.Prepare()); }

    void TearDown() override {
        if (HasFailure() && !Crashmail.Output().empty())
            std::cerr << "crashmail said:\n" << Crashmail.Output() << "\n";
    }

    // The header file crashmail made for a base, as it is named on disk.
    std::string HeaderFile(const std::string& area) {
        std::string path = test::TCrashmail::OnDisk(area + ".jhr");
        EXPECT_FALSE(path.empty()) << "no header file for " << area;
        return path;
    }

    test::TTempDir Temp;
    test::TRecordingUi Ui;
    test::TCrashmail Crashmail{Temp.Path(), {Ours, Uplink, EchoTag, test::TCrashmailStorage::Jam}};
};

TEST_F(CrashmailJamPeerTest, TossedEchomailReadsBack) {
    ASSERT_TRUE(Crashmail.Toss(Conversation()));
    const std::string header = HeaderFile(Crashmail.EchoArea());
    ASSERT_FALSE(header.empty());

    TJamBase base(header, EchoTag, "");
    base.Rescan();
    ASSERT_EQ(base.GetCount(), 2);
    // crashmail's bases start numbering at 1.
    EXPECT_EQ(base.GetMsgId(0), 1u);
    EXPECT_EQ(base.GetMsgId(1), 2u);

    TMsgHandle first = base.GetMsg(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->FromName, Display("Иван Петров"));
    EXPECT_EQ(first->ToName, "All");
    EXPECT_EQ(first->Subject, Display("Вопрос про JAM"));
    EXPECT_EQ(first->FromAddr.ToStr5D(), "2:5020/1");
    // Echomail carries no destination.
    EXPECT_EQ(first->ToAddr.ToStr5D(), "");
    EXPECT_EQ(FormatIsoDateTime(first->DateWritten), "2024-01-05T10:03:00");
    // crashmail leaves the date received empty.
    EXPECT_EQ(first->DateArrived, first->DateWritten);
    EXPECT_EQ(first->GetKludges(), (TStringList{"\x01MSGID: 2:5020/1 0badf00d", "\x01PID: TestEd 1.0",
                                                "\001CHRS: CP866 2", "\x01TZUTC: 0300"}));
    EXPECT_EQ(BodyTexts(*first), (std::vector<std::string>{"Hello number one", Display("Привет, мир"), "",
                                                           "--- TestEd", " * Origin: Test (2:5020/1)"}));
    // The tosser adds its own address to both.
    EXPECT_EQ(first->GetTail(), (TStringList{"SEEN-BY: 5020/1 2 9999", "\x01PATH: 5020/1 9999"}));
    // Tossed echomail is marked sent so that no scan sends it back; JAM's one bit for it
    // reads as scanned too.
    EXPECT_EQ(first->GetAttr(), atSnt | atScn);

    TMsgHandle second = base.GetMsg(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->FromName, "Sender Two");
    EXPECT_EQ(second->ToName, Display("Иван Петров"));
    EXPECT_EQ(second->Subject, Display("Re: Вопрос про JAM"));
    EXPECT_EQ(second->FromAddr.ToStr5D(), "2:5020/1");
    EXPECT_EQ(FormatIsoDateTime(second->DateWritten), "2024-01-06T11:04:05");
    EXPECT_EQ(second->GetKludges(), (TStringList{"\x01MSGID: 2:5020/1 0badf00e",
                                                 "\x01REPLY: 2:5020/1 0badf00d", "\x01PID: TestEd 1.0"}));
    EXPECT_EQ(BodyTexts(*second),
              (std::vector<std::string>{"Second body", "--- TestEd", " * Origin: Test (2:5020/1)"}));
    EXPECT_EQ(second->GetTail(), (TStringList{"SEEN-BY: 5020/1 9999", "\x01PATH: 5020/1 9999"}));
    EXPECT_EQ(second->GetAttr(), atSnt | atScn);

    // Debian's amd64 crashmail writes no reply links, even with JAM_LINK; nothing is made up
    // from what it leaves in the link fields.
    EXPECT_EQ(first->ReplyTo, 0u);
    EXPECT_TRUE(first->Replies.empty());
    EXPECT_EQ(second->ReplyTo, 0u);
    EXPECT_TRUE(second->Replies.empty());
    EXPECT_TRUE(Ui.Errors.empty());
}

// A netmail from a point of the uplink: the addresses travel in INTL and FMPT, which JAM
// keeps in its address subfields instead.
TEST_F(CrashmailJamPeerTest, TossedNetmailReadsBack) {
    TPacket packet;
    packet.Orig = Uplink;
    packet.Dest = Ours;
    TPacketMsg netmail =
        PacketMsg(Uplink, Ours, "Point Three", "Test Sysop", "Private word", "07 Jan 24  12:30:00",
                  {"\x01INTL 2:5020/9999 2:5020/1", "\001FMPT 3", "\x01MSGID: 2:5020/1.3 12345678",
                   "Just between us", "--- TestEd"});
    netmail.Attr = 0x0001; // private
    packet.Msgs.push_back(netmail);
    ASSERT_TRUE(Crashmail.Toss(packet));
    const std::string header = HeaderFile(Crashmail.NetmailArea());
    ASSERT_FALSE(header.empty());

    TJamBase base(header, "", "NETMAIL");
    base.Rescan();
    ASSERT_EQ(base.GetCount(), 1);
    EXPECT_EQ(base.GetMsgId(0), 1u);
    TMsgHandle msg = base.GetMsg(0);
    ASSERT_NE(msg, nullptr);
    EXPECT_EQ(msg->FromName, "Point Three");
    EXPECT_EQ(msg->ToName, "Test Sysop");
    EXPECT_EQ(msg->FromAddr.ToStr5D(), "2:5020/1.3");
    EXPECT_EQ(msg->ToAddr.ToStr5D(), "2:5020/9999");
    EXPECT_EQ(FormatIsoDateTime(msg->DateWritten), "2024-01-07T12:30:00");
    EXPECT_EQ(msg->GetKludges(), (TStringList{"\x01MSGID: 2:5020/1.3 12345678"}));
    EXPECT_EQ(BodyTexts(*msg), (std::vector<std::string>{"Just between us", "--- TestEd"}));
    EXPECT_TRUE(msg->GetTail().empty());
    // crashmail marks the netmail it imports sent as well.
    EXPECT_EQ(msg->GetAttr(), atPvt | atSnt | atScn);
    EXPECT_TRUE(Ui.Errors.empty());
}

TEST_F(CrashmailJamPeerTest, CommandLineDumpShowsTossedArea) {
#ifndef TAVRO_CLI_PATH
    GTEST_SKIP() << "built without tavro-cli";
#else
    ASSERT_TRUE(Crashmail.Toss(Conversation()));
    const std::string header = HeaderFile(Crashmail.EchoArea());
    ASSERT_FALSE(header.empty());
    test::TDump dump;
    ASSERT_TRUE(test::DumpBase(TAVRO_CLI_PATH, header, dump));
    EXPECT_EQ(dump.Value("type"), "jam");
    EXPECT_EQ(dump.Value("count"), "2");
    ASSERT_EQ(dump.Messages.size(), 2u);

    const test::TDumpedMsg& first = dump.Messages[0];
    EXPECT_EQ(first.Value("position"), "0");
    EXPECT_EQ(first.Value("id"), "1");
    EXPECT_EQ(first.Value("from"), "Иван Петров");
    EXPECT_EQ(first.Value("from_addr"), "2:5020/1");
    EXPECT_EQ(first.Value("to"), "All");
    EXPECT_EQ(first.Value("to_addr"), "");
    EXPECT_EQ(first.Value("subject"), "Вопрос про JAM");
    EXPECT_EQ(first.Value("date_written"), "2024-01-05T10:03:00");
    EXPECT_EQ(first.Value("attributes"), "Snt Scn");
    EXPECT_EQ(first.List("kludges"),
              (std::vector<std::string>{"\x01MSGID: 2:5020/1 0badf00d", "\x01PID: TestEd 1.0",
                                        "\001CHRS: CP866 2", "\x01TZUTC: 0300"}));
    EXPECT_EQ(first.List("body"), (std::vector<std::string>{"Hello number one", "Привет, мир", "",
                                                            "--- TestEd", " * Origin: Test (2:5020/1)"}));
    EXPECT_EQ(first.List("tail"),
              (std::vector<std::string>{"SEEN-BY: 5020/1 2 9999", "\x01PATH: 5020/1 9999"}));
    EXPECT_EQ(first.Value("read"), "false");

    const test::TDumpedMsg& second = dump.Messages[1];
    EXPECT_EQ(second.Value("position"), "1");
    EXPECT_EQ(second.Value("id"), "2");
    EXPECT_EQ(second.Value("from"), "Sender Two");
    EXPECT_EQ(second.Value("to"), "Иван Петров");
    EXPECT_EQ(second.Value("subject"), "Re: Вопрос про JAM");
    EXPECT_EQ(second.Value("date_written"), "2024-01-06T11:04:05");
    EXPECT_EQ(second.Value("attributes"), "Snt Scn");
    EXPECT_EQ(second.List("kludges"),
              (std::vector<std::string>{"\x01MSGID: 2:5020/1 0badf00e", "\x01REPLY: 2:5020/1 0badf00d",
                                        "\x01PID: TestEd 1.0"}));
    EXPECT_EQ(second.List("body"),
              (std::vector<std::string>{"Second body", "--- TestEd", " * Origin: Test (2:5020/1)"}));
    EXPECT_EQ(second.List("tail"),
              (std::vector<std::string>{"SEEN-BY: 5020/1 9999", "\x01PATH: 5020/1 9999"}));
    EXPECT_EQ(second.Value("read"), "false");
#endif
}

// An area the user set up in Tavro before the tosser knew it: the tosser appends to the base
// Tavro made and leaves what Tavro wrote in place. JAM tossers do not open a base whose set
// of files is incomplete; crashmail makes a fresh one over it.
TEST_F(CrashmailJamPeerTest, TossingKeepsWhatTavroWroteInItsNewBase) {
    const std::string header = Crashmail.EchoArea() + ".jhr";
    {
        TJamBase base(header, EchoTag, "");
        ASSERT_TRUE(base.CreateIfMissing());
        base.Rescan();
        auto msg = base.NewMsg();
        msg->FromName = "Tavro User";
        msg->ToName = "All";
        msg->Subject = "Written first";
        msg->FromAddr = Ours;
        msg->DateWritten = EncodeDateTime(2024, 1, 4, 9, 0, 0);
        msg->DateArrived = msg->DateWritten;
        msg->Attr = atLoc;
        msg->Body.emplace_back(Display("Тестовое сообщение"));
        ASSERT_TRUE(msg->Save());
    }
    EXPECT_FALSE(test::TCrashmail::OnDisk(Crashmail.EchoArea() + ".jlr").empty())
        << "a base without its last-read file is no JAM base to the tosser";
    ASSERT_TRUE(Crashmail.Toss(Conversation()));

    TJamBase base(header, EchoTag, "");
    base.Rescan();
    ASSERT_EQ(base.GetCount(), 3);
    EXPECT_EQ(base.GetMsgId(0), 1u);
    // crashmail numbers on from the base message number and count Tavro's header keeps.
    EXPECT_EQ(base.GetMsgId(1), 2u);
    EXPECT_EQ(base.GetMsgId(2), 3u);
    TMsgHandle mine = base.GetMsg(0);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->Subject, "Written first");
    EXPECT_EQ(BodyTexts(*mine), (std::vector<std::string>{Display("Тестовое сообщение")}));
    EXPECT_EQ(mine->GetAttr() & (atLoc | atSnt), atLoc);
    TMsgHandle tossed = base.GetMsg(2);
    ASSERT_NE(tossed, nullptr);
    EXPECT_EQ(tossed->FromName, "Sender Two");
    EXPECT_EQ(tossed->GetKludge("REPLY:"), "2:5020/1 0badf00d");
    EXPECT_EQ(BodyTexts(*tossed),
              (std::vector<std::string>{"Second body", "--- TestEd", " * Origin: Test (2:5020/1)"}));
    EXPECT_TRUE(Ui.Errors.empty());
}

// A message Tavro writes into a base it made itself goes out with crashmail's scan, whole,
// and the base then holds it as sent.
TEST_F(CrashmailJamPeerTest, MessageInTavrosNewBaseIsExported) {
    // Picked so that its seconds hold no byte of 0x80 or more: see below.
    const TDateTime written = EncodeDateTime(2024, 3, 24, 10, 40, 0);
    const std::string msgId = "\x01MSGID: " + Ours.ToStr() + " 5f3a01c2";
    // The text and the names go without the two letters Tavro stores as Latin look-alikes.
    const std::vector<std::string> body = {"Hello from Tavro", Display("Тестовое сообщение"), "", "--- Tavro",
                                           " * Origin: Tavro test (" + Ours.ToStr() + ")"};
    const std::string header = Crashmail.EchoArea() + ".jhr";
    {
        TJamBase base(header, EchoTag, "");
        ASSERT_TRUE(base.CreateIfMissing());
        base.Rescan();
        auto msg = base.NewMsg();
        msg->FromName = "Tavro User";
        msg->ToName = Display("Иван Кузнецов");
        msg->Subject = Display("Снова о базах JAM");
        msg->FromAddr = Ours;
        msg->DateWritten = written;
        msg->DateArrived = written;
        msg->Attr = atLoc;
        msg->Kludges = {msgId};
        for (const std::string& line : body)
            msg->Body.emplace_back(line);
        ASSERT_TRUE(msg->Save());
    }
    // crashmail reads each byte of a JAM number sign-extended, whoever wrote the base: a date
    // holding a byte of 0x80 or more reaches the packet wrong, and the base too once crashmail
    // marks the message sent; a text or subfield length like that stops the export.
    const std::string stored = test::ReadFile(header);
    ASSERT_GE(stored.size(), JamBaseHeaderSize + JamMsgHeaderSize);
    for (size_t field : {jhSubfieldLen, jhDateWritten, jhTxtOffset, jhTxtLen})
        for (size_t i = 0; i < 4; ++i)
            ASSERT_LT(static_cast<uint8_t>(stored[JamBaseHeaderSize + field + i]), 0x80)
                << "the header field at " << field << " needs another date or a shorter message";
    ASSERT_TRUE(Crashmail.Run({"SCAN"}));

    std::vector<TPacketMsg> sent = Crashmail.TakeUplinkMail();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].FromName, "Tavro User");
    EXPECT_EQ(sent[0].ToName, Oem("Иван Кузнецов"));
    EXPECT_EQ(sent[0].Subject, Oem("Снова о базах JAM"));
    EXPECT_EQ(sent[0].DateTime, "24 Mar 24  10:40:00");
    EXPECT_EQ(sent[0].OrigNet, Ours.Net);
    EXPECT_EQ(sent[0].OrigNode, Ours.Node);
    std::vector<std::string> lines = test::TextLines(sent[0].Text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "AREA:" + std::string(EchoTag));
    // The stored OEM text, the kludge from its subfield ahead of it.
    const std::vector<std::string> expected = {
        msgId, "Hello from Tavro", Oem("Тестовое сообщение"),
        "",    "--- Tavro",        " * Origin: Tavro test (" + Ours.ToStr() + ")"};
    EXPECT_NE(std::search(lines.begin(), lines.end(), expected.begin(), expected.end()), lines.end())
        << testing::PrintToString(lines);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("SEEN-BY: ") && line.find("5020/1") != std::string::npos;
    })) << testing::PrintToString(lines);

    TJamBase base(header, EchoTag, "");
    base.Rescan();
    ASSERT_EQ(base.GetCount(), 1);
    TMsgHandle mine = base.GetMsg(0);
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->Subject, Display("Снова о базах JAM"));
    EXPECT_EQ(FormatIsoDateTime(mine->DateWritten), "2024-03-24T10:40:00");
    EXPECT_EQ(mine->GetKludges(), (TStringList{msgId}));
    EXPECT_EQ(BodyTexts(*mine), body);
    EXPECT_EQ(mine->GetAttr() & (atLoc | atSnt), atLoc | atSnt);
    EXPECT_TRUE(Ui.Errors.empty());
}

} // namespace
} // namespace tavro
