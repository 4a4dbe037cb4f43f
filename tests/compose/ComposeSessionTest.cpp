// A message written through the composer's rules: prefilled for its mode, activated, sent
// with its kludges into the base, retried and closed.
#include "compose/ComposeSession.h"
#include "compose/MsgIdSerial.h"

#include "bases/FidoBase.h"
#include "bases/JamBase.h"
#include "config/AddressBook.h"
#include "config/Config.h"
#include "config/User.h"

#include "FileFaults.h"
#include "RecordingUi.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace tavro;
using tavro::test::TRecordingUi;
using tavro::test::TTempDir;

namespace {

class ComposeSessionTest : public ::testing::Test {
protected:
    TTempDir Home;
    TConfig Config;
    std::unique_ptr<TUser> User = Config.NewUser();
    TEcho* Echo = AddArea("RU.TEST", etEchomail, btJam, "echo.jhr");
    TEcho* Netmail = AddArea("NETMAIL", etNetmail, btMsg, "netmail");
    TMsgIdSerials Serials{Home.File(TMsgIdSerials::FileName)};
    TRecordingUi Ui;

    void SetUp() override {
        User->Name = "Olga Ivanova";
        Config.Settings.TearlineText = "Tavro";
        std::filesystem::create_directories(Home.File("netmail"));
    }
    void TearDown() override { UseSettings(nullptr); }

    TEcho* AddArea(const char* name, uint8_t type, uint8_t baseType, const char* file) {
        TEcho& echo = Config.AddEcho();
        echo.Name = name;
        echo.EchoType = type;
        echo.BaseType = baseType;
        echo.Address.Parse("2:5020/1042");
        echo.Origin = "Test station";
        echo.Path = Home.File(file);
        return &echo;
    }

    // Stores a message from Ivan in the area and answers its id.
    TMsgId Post(TEcho& area, std::vector<std::string> kludges, std::vector<std::string> body = {"Hello"}) {
        TBaseRef base = area.GetBase();
        EXPECT_TRUE(base->CreateIfMissing());
        std::unique_ptr<TCustomMsg> msg = base->NewMsg();
        msg->FromName = "Ivan Petrov";
        msg->FromAddr.Parse("2:5020/7");
        msg->ToName = "Olga Ivanova";
        msg->ToAddr.Parse("2:5020/1042");
        msg->Subject = "Cameras";
        msg->DateWritten = msg->DateArrived = EncodeDateTime(2024, 3, 5, 10, 3);
        msg->Kludges = std::move(kludges);
        for (std::string& line : body)
            msg->Body.emplace_back(std::move(line));
        msg->Attr = 0x21;
        EXPECT_TRUE(msg->Save());
        return base->LastWrittenId();
    }
    TMsgHandle Stored(TEcho& area, int position) {
        TBaseRef base = area.GetBase();
        base->Rescan();
        TMsgHandle msg = base->GetMsg(position);
        EXPECT_TRUE(msg);
        if (msg)
            msg->GetKludges();
        return msg;
    }
    std::unique_ptr<TComposeSession> Open(TComposeMode mode, TEcho* area, TEcho* source = nullptr,
                                          int position = -1) {
        TComposeRequest request;
        request.Mode = mode;
        request.Area = area;
        request.SourceArea = source;
        TMsgHandle current = source && position >= 0 ? Stored(*source, position) : nullptr;
        request.Current = current.get();
        request.CurrentId = current ? source->GetBase()->GetMsgId(position) : 0;
        auto session = std::make_unique<TComposeSession>(Config, *User, request);
        session->Activate(true, [](size_t) { return size_t(0); });
        return session;
    }
    int Count(TEcho& area) {
        TBaseRef base = area.GetBase();
        base->Rescan();
        return base->GetCount();
    }
    // A base path under a regular file: nothing can be created there.
    std::string Blocked() {
        tavro::test::WriteFile(Home.File("blocker"), "x");
        return Home.File("blocker/area.jhr");
    }
    static THeaderFields Fields(TComposeSession& session) {
        const TCustomMsg& msg = session.Msg();
        return {msg.FromName, msg.FromAddr.ToStr5D(), msg.ToName, msg.ToAddr.ToStr5D(), msg.Subject};
    }
    static std::vector<std::string> Texts(const TBodyLines& lines) {
        std::vector<std::string> texts;
        for (const TBodyLine& line : lines)
            texts.push_back(line.Text);
        return texts;
    }
};

} // namespace

// A reply beside its parent: to the sender, the subject as it was, the template, tearline and
// origin; written with REPLY verbatim and linked to the parent.
TEST_F(ComposeSessionTest, ReplyIsWrittenLinkedToItsParent) {
    const TMsgId parent = Post(*Echo, {"\x01MSGID: 2:5020/7 <x@y> 1a"});
    auto session = Open(TComposeMode::Reply, Echo, Echo, 0);
    TCustomMsg& msg = session->Msg();
    EXPECT_EQ(msg.ToName, "Ivan Petrov");
    EXPECT_EQ(msg.ToAddr, TAddress(2, 5020, 7));
    EXPECT_EQ(msg.Subject, "Cameras");
    EXPECT_EQ(msg.FromName, "Olga Ivanova");
    EXPECT_EQ(msg.Body.back().Text, "--- Tavro");
    EXPECT_EQ(session->OriginText, "Test station");
    EXPECT_EQ(session->FirstFocus(), TComposeFocus::Editor);

    ASSERT_EQ(session->Send(Fields(*session), msg.Body, Serials), TSendOutcome::Sent);
    TMsgHandle answer = Stored(*Echo, 1);
    EXPECT_EQ(answer->GetKludge("REPLY:"), "2:5020/7 <x@y> 1a");
    EXPECT_EQ(answer->ReplyTo, parent);
    EXPECT_EQ(answer->Body.back().Text, " * Origin: Test station (2:5020/1042)");
    EXPECT_EQ(answer->Attr & 0x21, Echo->DefAttr & 0x21);
}

TEST_F(ComposeSessionTest, FirstFocusByAreaAndRecipient) {
    EXPECT_EQ(Open(TComposeMode::New, Echo)->FirstFocus(), TComposeFocus::Subject); // to "All"
    EXPECT_EQ(Open(TComposeMode::New, Netmail)->FirstFocus(), TComposeFocus::ToName);
}

// Answering gated mail in netmail goes to the gateway the message names, the address first
// in the text; in echomail the gateway lines are ignored.
TEST_F(ComposeSessionTest, GatewayRuleInNetmailOnly) {
    Config.Settings.GateName = "UUCP";
    Config.Settings.GateAddr.Parse("2:5020/49");
    Post(*Netmail, {"\x01REPLYADDR: ivan@example.org", "\x01REPLYTO: 2:5020/52 FidoGate"});
    auto netmail = Open(TComposeMode::Reply, Netmail, Netmail, 0);
    EXPECT_EQ(netmail->Msg().ToName, "FidoGate");
    EXPECT_EQ(netmail->Msg().ToAddr, TAddress(2, 5020, 52));
    const std::vector<std::string> body = Texts(netmail->Msg().Body);
    ASSERT_GE(body.size(), 3u);
    EXPECT_EQ(body[0], "To: ivan@example.org");
    EXPECT_EQ(body[1], "");
    EXPECT_EQ(body[2], "Hello FidoGate!"); // the template follows, addressed to the gateway

    Post(*Echo, {"\x01REPLYADDR: ivan@example.org", "\x01REPLYTO: 2:5020/52 FidoGate"});
    auto echo = Open(TComposeMode::Reply, Echo, Echo, 0);
    EXPECT_EQ(echo->Msg().ToName, "Ivan Petrov");
}

// Writing to a favourite contact: to its names and address, or through the gateway when it
// has e-mail addresses only.
TEST_F(ComposeSessionTest, ContactModeAddressesTheContact) {
    Config.Settings.GateName = "UUCP";
    Config.Settings.GateAddr.Parse("2:5020/49");
    TABUser fido;
    fido.FirstName = "Petr";
    fido.LastName = "Sidorov";
    fido.Address.Parse("2:5020/88.3");
    TABUser mail = fido;
    mail.Address = TAddress();
    mail.EMails = {" petr@example.org "};
    struct {
        const TABUser* Contact;
        const char* ToName;
        TAddress ToAddr;
        std::vector<std::string> Top;
    } cases[] = {
        {&fido, "Petr Sidorov", TAddress(2, 5020, 88, 3), {"Hello Petr!"}},
        {&mail, "UUCP", TAddress(2, 5020, 49), {"To: petr@example.org", "", "Hello UUCP!"}},
    };
    for (const auto& c : cases) {
        TComposeRequest request;
        request.Mode = TComposeMode::Contact;
        request.Area = Netmail;
        request.Contact = c.Contact;
        TComposeSession session(Config, *User, request);
        session.Activate(true, [](size_t) { return size_t(0); });
        EXPECT_EQ(session.Msg().ToName, c.ToName);
        EXPECT_EQ(session.Msg().ToAddr, c.ToAddr);
        const std::vector<std::string> body = Texts(session.Msg().Body);
        ASSERT_GE(body.size(), c.Top.size());
        EXPECT_EQ(std::vector<std::string>(body.begin(), body.begin() + long(c.Top.size())), c.Top);
    }
}

TEST_F(ComposeSessionTest, ReplyAreaNamedByTheMessage) {
    TEcho* other = AddArea("SU.GENERAL", etEchomail, btJam, "general.jhr");
    TCustomMsg msg(nullptr);
    msg.Body = {TBodyLine("AREA:su.general"), TBodyLine(""), TBodyLine("text")};
    EXPECT_EQ(ReplyArea(Config, msg, Echo), other);
    EXPECT_EQ(Texts(msg.Body), std::vector<std::string>{"text"});
    msg.Kludges = {"\x01"
                   "AREA: NO.SUCH"};
    EXPECT_EQ(ReplyArea(Config, msg, Echo), Echo);
}

// An invalid From address writes nothing; a failed write asks, and Cancel keeps the
// composer's message for the next try, which writes it once.
TEST_F(ComposeSessionTest, InvalidAddressAndRetry) {
    auto session = Open(TComposeMode::New, Echo);
    THeaderFields fields = Fields(*session);
    fields.Subject = "Hi";
    fields.FromAddr = "2:x";
    EXPECT_EQ(session->Send(fields, {TBodyLine("text")}, Serials), TSendOutcome::InvalidAddress);
    EXPECT_EQ(Ui.Errors, std::vector<std::string>{"Invalid address!!! Reenter address, Please!"});

    fields.FromAddr = "2:5020/1042";
    Echo->SetPath(Blocked()); // under a file: cannot be written
    Ui.Answers = {mbYes, mbCancel};
    EXPECT_EQ(session->Send(fields, {TBodyLine("text")}, Serials), TSendOutcome::Failed);
    ASSERT_EQ(Ui.Questions.size(), 2u);
    EXPECT_EQ(Ui.Questions[0], "Error sending message. You may try to fix message base and try to send "
                               "again.\rRepeat sending?");
    Echo->SetPath(Home.File("echo.jhr"));
    EXPECT_EQ(session->Send(fields, {TBodyLine("text again")}, Serials), TSendOutcome::Sent);
    TMsgHandle msg = Stored(*Echo, 0);
    EXPECT_EQ(Texts(msg->Body).front(), "text again");
    EXPECT_EQ(Echo->GetBase()->GetCount(), 1);
}

// The area's default copy goes to its area with a note on top, also when the message itself
// could not be written.
TEST_F(ComposeSessionTest, DefaultCopyIsWrittenEvenWhenTheMessageIsNot) {
    TEcho* copies = AddArea("CC.AREA", etEchomail, btJam, "copies.jhr");
    Echo->DefCC = " cc.area ";
    auto session = Open(TComposeMode::New, Echo);
    EXPECT_EQ(session->DefaultCopyArea(), copies);
    THeaderFields fields = Fields(*session);
    fields.Subject = "Hi";
    Echo->SetPath(Blocked());
    Ui.Answers = {mbCancel};
    EXPECT_EQ(session->Send(fields, {TBodyLine("text")}, Serials), TSendOutcome::Failed);
    TMsgHandle copy = Stored(*copies, 0);
    const std::vector<std::string> body = Texts(copy->Body);
    ASSERT_GE(body.size(), 3u);
    EXPECT_EQ(body[0], "* Sent to RU.TEST");
    EXPECT_EQ(body[1], "");
    EXPECT_EQ(body[2], "text");
    // Sent again once the area can be written: the copy is not written twice.
    Echo->SetPath(Home.File("echo.jhr"));
    EXPECT_EQ(session->Send(fields, {TBodyLine("text")}, Serials), TSendOutcome::Sent);
    EXPECT_EQ(copies->GetBase()->GetCount(), 1);
}

// An edited message keeps its attributes and gets no origin; the old one goes only after the
// new one is written.
TEST_F(ComposeSessionTest, EditReplacesTheMessage) {
    Post(*Echo, {"\x01MSGID: 2:5020/7 1", "\x01REPLY: 2:5020/9 abc"}, {"old text"});
    auto session = Open(TComposeMode::Edit, Echo, Echo, 0);
    EXPECT_TRUE(session->EditMode());
    EXPECT_FALSE(session->HasOrigin());
    ASSERT_EQ(session->Send(Fields(*session), {TBodyLine("new text")}, Serials), TSendOutcome::Sent);
    session->CloseAfterSend();
    TBaseRef base = Echo->GetBase();
    base->Rescan();
    ASSERT_EQ(base->GetCount(), 1);
    TMsgHandle msg = Stored(*Echo, 0);
    EXPECT_EQ(Texts(msg->Body), std::vector<std::string>{"new text"});
    EXPECT_EQ(msg->GetKludge("REPLY:"), "2:5020/9 abc");
    EXPECT_EQ(msg->Attr & 0x21, 0x21u);
}

// An edited message stays in the set it was written in, its kludge with it.
TEST_F(ComposeSessionTest, EditKeepsTheMessagesCharacterSet) {
    const std::string hello = "\xCF\xF0\xE8\xE2\xE5\xF2"; // "Привет", display page
    Post(*Echo,
         {"\x01MSGID: 2:5020/7 1", "\x01"
                                   "CHRS: KOI8-R 2"},
         {hello});
    auto session = Open(TComposeMode::Edit, Echo, Echo, 0);
    ASSERT_EQ(session->Send(Fields(*session), {TBodyLine(hello + "!")}, Serials), TSendOutcome::Sent);
    session->CloseAfterSend();
    TMsgHandle msg = Stored(*Echo, 0);
    EXPECT_EQ(msg->GetKludge("CHRS:"), "KOI8-R 2");
    EXPECT_EQ(Texts(msg->Body), std::vector<std::string>{hello + "!"});
    EXPECT_NE(tavro::test::ReadFile(Home.File("echo.jdt")).find("\xF0\xD2\xC9\xD7\xC5\xD4!"),
              std::string::npos);
}

// A quote of a KOI8-R message is a new message: written in the OEM page, with the right
// letters.
TEST_F(ComposeSessionTest, QuoteOfAKoi8MessageIsWrittenInTheOemPage) {
    const std::string hello = "\xCF\xF0\xE8\xE2\xE5\xF2"; // "Привет", display page
    Post(*Echo,
         {"\x01MSGID: 2:5020/7 1", "\x01"
                                   "CHRS: KOI8-R 2"},
         {hello});
    auto session = Open(TComposeMode::Quote, Echo, Echo, 0);
    ASSERT_EQ(session->Send(Fields(*session), session->Msg().Body, Serials), TSendOutcome::Sent);
    TMsgHandle msg = Stored(*Echo, 1);
    EXPECT_EQ(msg->GetKludge("CHRS:"), "CP866 2");
    EXPECT_NE(tavro::test::ReadFile(Home.File("echo.jdt")).find(" IP> \x8Fp\xA8\xA2\xA5\xE2\r"),
              std::string::npos);
}

TEST_F(ComposeSessionTest, AnsweredMessageDeletedAsTheSettingsSay) {
    Config.Settings.ReplyDelEchomail = true;
    Post(*Echo, {"\x01MSGID: 2:5020/7 1"});
    for (const TMsgDlgButton answer : {mbNo, mbYes}) {
        auto session = Open(TComposeMode::Reply, Echo, Echo, 0);
        ASSERT_EQ(session->Send(Fields(*session), session->Msg().Body, Serials), TSendOutcome::Sent);
        Ui.Answers = {answer};
        session->CloseAfterSend();
    }
    EXPECT_EQ(Ui.Questions, (std::vector<std::string>(2, "Do you want to delete original message?")));
    TBaseRef base = Echo->GetBase();
    base->Rescan();
    EXPECT_EQ(base->GetCount(), 2); // the original went after the second answer only
    EXPECT_EQ(Stored(*Echo, 0)->Subject, "Cameras");
    EXPECT_EQ(Stored(*Echo, 0)->FromName, "Olga Ivanova");
}

// A composer left by a crash comes back from its draft as it was and sends as it would have.
TEST_F(ComposeSessionTest, DraftBringsTheComposerBack) {
    const TMsgId parent = Post(*Echo, {"\x01MSGID: 2:5020/7 1a"});
    auto first = Open(TComposeMode::Quote, Echo, Echo, 0);
    THeaderFields fields = Fields(*first);
    fields.Subject = "Cameras again";
    TBodyLines body = first->Msg().Body;
    body.emplace_back("typed before the crash");
    const TDraft draft = first->ToDraft(fields, body);
    EXPECT_EQ(draft.AreaTag, "RU.TEST");
    EXPECT_EQ(draft.AnsweredId, parent);
    first.reset();

    TMsgHandle holder;
    const TComposeRequest request = RequestForDraft(Config, draft, holder);
    ASSERT_EQ(request.Area, Echo);
    ASSERT_TRUE(holder);
    TComposeSession restored(Config, *User, request);
    restored.Restore(draft);
    EXPECT_EQ(restored.ToDraft(fields, body), draft);
    EXPECT_EQ(restored.OriginText, "Test station");
    ASSERT_EQ(restored.Send(fields, body, Serials), TSendOutcome::Sent);
    TMsgHandle answer = Stored(*Echo, 1);
    EXPECT_EQ(answer->Subject, "Cameras again");
    EXPECT_EQ(answer->GetKludge("REPLY:"), "2:5020/7 1a");
    EXPECT_EQ(answer->ReplyTo, parent);

    TDraft gone = draft;
    gone.AreaTag = "NO.SUCH";
    EXPECT_EQ(RequestForDraft(Config, gone, holder).Area, nullptr);
}

// A cross-posted reply: one copy in each chosen area and the last in its own, all one message
// with one MSGID, REPLY and origin line; the other areas head each copy when that is wanted.
TEST_F(ComposeSessionTest, CrossPostWritesOneCopyPerArea) {
    TEcho* squish = AddArea("SU.SQUISH", etEchomail, btSquish, "sq/squish.sqd");
    TEcho* fido = AddArea("SU.FIDO", etEchomail, btMsg, "fido");
    std::filesystem::create_directories(Home.File("fido"));
    const TMsgId parent = Post(*Echo, {"\x01MSGID: 2:5020/7 1a"});
    const std::string origin = " * Origin: Test station (2:5020/1042)";
    const struct {
        bool List;
        std::vector<std::vector<std::string>> Bodies; // squish, fido, own
    } cases[] = {
        {false, {{"text", origin}, {"text", origin}, {"text", origin}}},
        {true,
         {{"* Crossposted in SU.FIDO", "* Crossposted in RU.TEST", "text", origin},
          {"* Crossposted in SU.SQUISH", "* Crossposted in RU.TEST", "text", origin},
          {"* Crossposted in SU.SQUISH", "* Crossposted in SU.FIDO", "text", origin}}},
    };
    int sent = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.List);
        auto session = Open(TComposeMode::Reply, Echo, Echo, 0);
        session->SetCrossPostAreas({squish, fido});
        session->SetAddCrossPostList(c.List);
        ASSERT_EQ(session->Send(Fields(*session), {TBodyLine("text")}, Serials), TSendOutcome::Sent);
        ++sent;
        TEcho* areas[] = {squish, fido, Echo};
        std::set<std::string> msgIds;
        for (size_t i = 0; i < 3; ++i) {
            ASSERT_EQ(Count(*areas[i]), areas[i] == Echo ? sent + 1 : sent) << areas[i]->Name;
            TMsgHandle copy = Stored(*areas[i], Count(*areas[i]) - 1);
            EXPECT_EQ(Texts(copy->Body), c.Bodies[i]) << areas[i]->Name;
            EXPECT_EQ(copy->GetKludge("REPLY:"), "2:5020/7 1a");
            msgIds.insert(copy->GetKludge("MSGID:"));
        }
        EXPECT_EQ(msgIds.size(), 1u);
        EXPECT_EQ(Stored(*Echo, sent)->ReplyTo, parent); // in the thread at once
    }
    EXPECT_EQ(Ui.Errors, std::vector<std::string>{});
}

// Carbon copies in netmail: one message per contact, groups opened, each with its own
// recipient, greeting and MSGID; a contact with e-mail only is written to the gateway.
TEST_F(ComposeSessionTest, CarbonCopyPerContact) {
    UseSettings(&Config.Settings); // the template reads the gateway from the program's settings
    Config.Settings.GateName = "UUCP";
    Config.Settings.GateAddr.Parse("2:5020/49");
    TABUser anna, boris, vera, gleb;
    anna.FirstName = "Anna";
    anna.MiddleName = "V.";
    anna.LastName = "Smirnova";
    anna.Address.Parse("2:5020/11");
    boris.FirstName = "Boris";
    boris.LastName = "Orlov";
    boris.Address.Parse("2:5030/12.3");
    vera.FirstName = "Vera";
    vera.Address.Parse("2:5020/13");
    gleb.FirstName = "Gleb";
    gleb.EMails = {" gleb@example.org "};
    TABGroup friends;
    friends.Name = "Friends";
    friends.Members = {&boris, &vera, &anna};

    auto session = Open(TComposeMode::New, Netmail);
    session->SetCarbonCopies({&anna, &friends, &gleb});
    THeaderFields fields = Fields(*session);
    fields.ToName = "Anna Smirnova, <Friends>, Gleb ";
    fields.Subject = "Meeting";
    ASSERT_EQ(session->Send(fields, session->Msg().Body, Serials), TSendOutcome::Sent);

    const struct {
        std::string ToName, ToAddr;
        std::vector<std::string> Top;
    } expected[] = {
        {"Anna Smirnova", "2:5020/11", {"Hello Anna!", ""}},
        {"Boris Orlov", "2:5030/12.3", {"Hello Boris!", ""}},
        {"Vera", "2:5020/13", {"Hello Vera!", ""}},
        {"UUCP", "2:5020/49", {"To: gleb@example.org", "", "Hello gleb!", ""}},
    };
    ASSERT_EQ(Count(*Netmail), 4);
    std::set<std::string> msgIds;
    for (int i = 0; i < 4; ++i) {
        const auto& want = expected[i];
        TMsgHandle copy = Stored(*Netmail, i);
        EXPECT_EQ(copy->ToName, want.ToName);
        EXPECT_EQ(copy->ToAddr.ToStr(), want.ToAddr);
        EXPECT_EQ(copy->Subject, "Meeting");
        std::vector<std::string> body = Texts(copy->Body);
        body.resize(std::min(body.size(), want.Top.size()));
        EXPECT_EQ(body, want.Top) << want.ToName;
        EXPECT_EQ(copy->Body.back().Text, " * Origin: Test station (2:5020/1042)");
        msgIds.insert(copy->GetKludge("MSGID:"));
    }
    EXPECT_EQ(msgIds.size(), 4u);
}

// A cross-post area whose base cannot be made: one error naming it, no retry question, the
// default copy written all the same; once the area can be written, the next send writes only
// the copies missing, still the same message.
TEST_F(ComposeSessionTest, CrossPostResumesAfterAnAreaOutOfReach) {
    TEcho* first = AddArea("SU.FIRST", etEchomail, btSquish, "first.sqd");
    TEcho* second = AddArea("SU.SECOND", etEchomail, btMsg, "second");
    std::filesystem::create_directories(Home.File("second"));
    TEcho* copies = AddArea("CC.AREA", etEchomail, btJam, "copies.jhr");
    Echo->DefCC = "CC.AREA";
    auto session = Open(TComposeMode::New, Echo);
    session->SetCrossPostAreas({first, second});
    THeaderFields fields = Fields(*session);
    fields.Subject = "Hi";
    second->SetPath(Blocked());
    EXPECT_EQ(session->Send(fields, {TBodyLine("text")}, Serials), TSendOutcome::Failed);
    ASSERT_EQ(Ui.Errors.size(), 1u); // what the base said comes with it
    EXPECT_TRUE(Ui.Errors[0].starts_with("cannot open the message base of \"SU.SECOND\"\r")) << Ui.Errors[0];
    EXPECT_TRUE(Ui.Questions.empty());
    EXPECT_EQ(Count(*first), 1);
    EXPECT_EQ(Count(*copies), 1);
    EXPECT_FALSE(tavro::test::FileExists(Home.File("echo.jhr"))); // its own area comes last

    second->SetPath(Home.File("second"));
    EXPECT_EQ(session->Send(fields, {TBodyLine("text edited meanwhile")}, Serials), TSendOutcome::Sent);
    std::set<std::string> msgIds;
    for (TEcho* area : {first, second, Echo}) {
        ASSERT_EQ(Count(*area), 1) << area->Name;
        TMsgHandle copy = Stored(*area, 0);
        EXPECT_EQ(copy->Body.front().Text, "text") << area->Name;
        msgIds.insert(copy->GetKludge("MSGID:"));
    }
    EXPECT_EQ(msgIds.size(), 1u);
    EXPECT_EQ(Count(*copies), 1);
    EXPECT_EQ(Ui.Errors.size(), 1u);
}

// Carbon copies: an invalid From address or a list without contacts writes nothing; a netmail
// base that cannot be made is named once; the send after the fix writes each contact once.
TEST_F(ComposeSessionTest, CarbonCopyFailuresWriteNothingTwice) {
    TABUser anna, boris;
    anna.FirstName = "Anna";
    anna.Address.Parse("2:5020/11");
    boris.FirstName = "Boris";
    boris.Address.Parse("2:5020/12");
    TABGroup nobody, both;
    both.Members = {&anna, &boris};
    auto session = Open(TComposeMode::New, Netmail);
    THeaderFields fields = Fields(*session);
    fields.Subject = "Hi";

    session->SetCarbonCopies({&nobody});
    EXPECT_EQ(session->Send(fields, {TBodyLine("text")}, Serials), TSendOutcome::Failed);
    session->SetCarbonCopies({&both, &anna});
    fields.FromAddr = "2:x";
    EXPECT_EQ(session->Send(fields, {TBodyLine("text")}, Serials), TSendOutcome::InvalidAddress);
    fields.FromAddr = "2:5020/1042";
    Netmail->SetPath(Blocked());
    EXPECT_EQ(session->Send(fields, {TBodyLine("text")}, Serials), TSendOutcome::Failed);
    ASSERT_EQ(Ui.Errors.size(), 3u);
    EXPECT_EQ(Ui.Errors[0], "The carbon copy list names no contact.");
    EXPECT_EQ(Ui.Errors[1], "Invalid address!!! Reenter address, Please!");
    EXPECT_EQ(Ui.Errors[2], "cannot open the message base of \"NETMAIL\"\rCan't open message base file.");
    EXPECT_TRUE(Ui.Questions.empty());

    Netmail->SetPath(Home.File("netmail"));
    EXPECT_EQ(Count(*Netmail), 0);
    EXPECT_EQ(session->Send(fields, {TBodyLine("text")}, Serials), TSendOutcome::Sent);
    ASSERT_EQ(Count(*Netmail), 2);
    EXPECT_EQ(Stored(*Netmail, 0)->ToName, "Anna");
    EXPECT_EQ(Stored(*Netmail, 1)->ToName, "Boris");
}

// A carbon copy whose write fails in the second part of the second contact's copy goes on
// from there at the next send: that copy's second part, then the third contact; no message
// written twice, none missing.
TEST_F(ComposeSessionTest, CarbonCopyResumesWhereItStopped) {
    TABUser anna, boris, vera;
    anna.FirstName = "Anna";
    anna.Address.Parse("2:5020/11");
    boris.FirstName = "Boris";
    boris.Address.Parse("2:5020/12");
    vera.FirstName = "Vera";
    vera.Address.Parse("2:5020/13");
    int changesPerMessage = 0;
    {
        auto probe = Open(TComposeMode::New, Netmail);
        probe->SetCarbonCopies({&anna});
        tavro::test::TFileChangeFault counter(1 << 20);
        ASSERT_EQ(probe->Send(Fields(*probe), {TBodyLine("probe")}, Serials), TSendOutcome::Sent);
        changesPerMessage = counter.Changes();
    }
    ASSERT_GT(changesPerMessage, 0);

    Config.Settings.MaxMsgLen = 2; // the text below makes two parts
    const TBodyLines body(25, TBodyLine(std::string(70, 'x')));
    auto session = Open(TComposeMode::New, Netmail);
    session->SetCarbonCopies({&anna, &boris, &vera});
    {
        tavro::test::TFileChangeFault fault(3 * changesPerMessage + 1);
        Ui.Answers = {mbCancel};
        EXPECT_EQ(session->Send(Fields(*session), body, Serials), TSendOutcome::Failed);
        EXPECT_TRUE(fault.Hit());
    }
    EXPECT_EQ(Count(*Netmail), 4);
    EXPECT_EQ(session->Send(Fields(*session), body, Serials), TSendOutcome::Sent);

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Anna", "probe"},
        {"Anna", "> ---------- Part 1 ---------- <"},
        {"Anna", "> ---------- Part 2 ---------- <"},
        {"Boris", "> ---------- Part 1 ---------- <"},
        {"Boris", "> ---------- Part 2 ---------- <"},
        {"Vera", "> ---------- Part 1 ---------- <"},
        {"Vera", "> ---------- Part 2 ---------- <"},
    };
    ASSERT_EQ(Count(*Netmail), int(expected.size()));
    std::set<std::string> msgIds;
    for (size_t i = 0; i < expected.size(); ++i) {
        TMsgHandle msg = Stored(*Netmail, int(i));
        EXPECT_EQ(std::make_pair(msg->ToName, msg->Body.front().Text), expected[i]) << i;
        msgIds.insert(msg->GetKludge("MSGID:"));
    }
    EXPECT_EQ(msgIds.size(), expected.size());
}
