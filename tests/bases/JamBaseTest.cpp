#include "bases/JamBase.h"

#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/Endian.h"
#include "core/Readings.h"
#include "core/Settings.h"

#include "BaseHelpers.h"
#include "RecordingUi.h"
#include "TempDir.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::BodyTexts;
using tavro::test::Ids;
using tavro::test::TTempDir;

namespace {

struct TOpenBase {
    explicit TOpenBase(const std::string& path, std::string echoTag = "TEST.JAM", std::string netmailTag = "")
        : Base(new TJamBase(path, std::move(echoTag), std::move(netmailTag))) {
        EXPECT_TRUE(Base->CreateIfMissing());
        Base->Rescan();
    }
    ~TOpenBase() { Base->Release(); }
    TJamBase* operator->() const { return Base; }
    TJamBase* Base;
};

TMsgId Post(TJamBase& base, std::vector<std::string> lines, const std::string& to = "All") {
    auto msg = base.NewMsg();
    msg->FromName = "Author";
    msg->ToName = to;
    msg->Subject = "Subject";
    msg->FromAddr.Parse("2:5020/1");
    for (auto& line : lines)
        msg->Body.emplace_back(std::move(line));
    EXPECT_TRUE(msg->Save());
    base.Rescan();
    return base.GetMsgId(base.GetCount() - 1);
}

TJamBaseHeader ReadBaseHeader(const std::string& jhr) {
    std::string data = test::ReadFile(jhr);
    data.resize(std::max<size_t>(data.size(), JamBaseHeaderSize));
    return TJamBaseHeader::Decode(reinterpret_cast<const uint8_t*>(data.data()));
}

// Header offset of the message in index slot `slot`.
uint32_t HeaderOffset(const std::string& jdx, size_t slot) {
    return DecodeJamIndex(test::ReadFile(jdx)).at(slot).HeaderOffset;
}

// Changes the 32-bit field `field` of the message header at index slot `slot`.
void PatchHeader(const TTempDir& dir, size_t slot, size_t field, uint32_t value) {
    std::string data = test::ReadFile(dir.File("area.jhr"));
    PutLE32(&data[HeaderOffset(dir.File("area.jdx"), slot) + field], value);
    test::WriteFile(dir.File("area.jhr"), data);
}

} // namespace

TEST(JamBase, NewBaseNumbersFromOne) {
    TTempDir dir;
    const std::string jhr = dir.File("area.jhr");
    TOpenBase base(jhr);
    TJamBaseHeader header = ReadBaseHeader(jhr);
    EXPECT_TRUE(header.HasSignature());
    EXPECT_EQ(header.ModCounter, 1u);
    EXPECT_EQ(header.BaseMsgNum, 1u);
    EXPECT_EQ(header.ActiveMsgs, 0u);
    EXPECT_NEAR(UnixLocalToDateTime(static_cast<int32_t>(header.DateCreated)), Now(), 1.0 / 24);
    EXPECT_EQ(test::ReadFile(dir.File("area.jdx")), "");
    EXPECT_EQ(test::ReadFile(dir.File("area.jdt")), "");
    EXPECT_TRUE(test::FileExists(dir.File("area.jlr")));
    EXPECT_EQ(base->GetCount(), 0);
    EXPECT_FALSE(base->HasUnread());

    EXPECT_EQ(Post(*base.Base, {"one"}), 1u);
    EXPECT_EQ(Post(*base.Base, {"two"}), 2u);
    header = ReadBaseHeader(jhr);
    EXPECT_EQ(header.ActiveMsgs, 2u);
    EXPECT_EQ(header.ModCounter, 3u);
    EXPECT_EQ(test::ReadFile(dir.File("area.jdx")).size(), 16u);
    EXPECT_EQ(DecodeJamIndex(test::ReadFile(dir.File("area.jdx")))[0].ToCrc, JamCrc("All"));
}

TEST(JamBase, WrittenMessageReadsBackWhole) {
    TTempDir dir;
    TOpenBase base(dir.File("area.jhr"), "", "NETMAIL");
    auto msg = base->NewMsg();
    msg->FromName = "Ivan Petrov";
    msg->ToName = "Sysop";
    msg->Subject = base->CodePages.Display()->FromUtf8("Салют");
    msg->FromAddr.Parse("2:5020/100.7@fidonet");
    msg->ToAddr.Parse("2:5030/200");
    msg->DateWritten = EncodeDateTime(2024, 1, 5, 10, 3, 0);
    msg->DateArrived = EncodeDateTime(2024, 1, 6, 11, 4, 2);
    msg->Attr = atPvt | atLoc | atCra | atDIR | atKFS;
    msg->Kludges = {"\x01INTL 2:5030/200 2:5020/100",
                    "\x01"
                    "FMPT 7",
                    "\x01MSGID: 2:5020/100.7@fidonet 12345678",
                    "\x01REPLY: 2:5030/200 87654321",
                    "\x01PID: Tavro",
                    "\x01"
                    "CHRS: CP866 2",
                    "\x01"
                    "FLAGS DIR KFS"};
    msg->Body = {{"Hello!"}, {""}, {"--- Tavro"}, {" * Origin: here (2:5020/100.7)"}, {""}};
    msg->Tail = {"SEEN-BY: 5020/1 2", "\x01PATH: 5020/1", "\x01Via 2:5020/1 @20240105"};
    ASSERT_TRUE(msg->Save());
    EXPECT_EQ(msg->Body.size(), 5u); // nothing trimmed

    base->Rescan();
    TCustomMsg& read = *base->GetMsg(0);
    EXPECT_EQ(read.FromName, "Ivan Petrov");
    EXPECT_EQ(read.ToName, "Sysop");
    EXPECT_EQ(read.Subject, msg->Subject);
    EXPECT_EQ(read.FromAddr.ToStr5D(), "2:5020/100.7@fidonet");
    EXPECT_EQ(read.ToAddr.ToStr5D(), "2:5030/200");
    EXPECT_EQ(read.DateWritten, msg->DateWritten);
    EXPECT_EQ(read.DateArrived, msg->DateArrived);
    EXPECT_EQ(read.GetAttr(), atPvt | atLoc | atCra | atDIR | atKFS);
    // INTL, FMPT and TOPT are not stored: the address subfields say it all.
    EXPECT_EQ(read.GetKludges(), (TStringList{"\x01MSGID: 2:5020/100.7@fidonet 12345678",
                                              "\x01REPLY: 2:5030/200 87654321", "\x01PID: Tavro",
                                              "\x01"
                                              "CHRS: CP866 2",
                                              "\x01"
                                              "FLAGS DIR KFS",
                                              "\x01Via 2:5020/1 @20240105"}));
    EXPECT_EQ(BodyTexts(read),
              (std::vector<std::string>{"Hello!", "", "--- Tavro", " * Origin: here (2:5020/100.7)", ""}));
    EXPECT_EQ(read.GetTail(), (TStringList{"SEEN-BY: 5020/1 2", "\x01PATH: 5020/1"}));

    auto* jam = static_cast<TJamMsg*>(&read);
    EXPECT_EQ(GetLE32(&jam->Header[jhAttribute]) & (JamTypeNet | JamTypeEcho), JamTypeNet);
    EXPECT_EQ(GetLE32(&jam->Header[jhMsgIdCrc]), JamCrc("2:5020/100.7@fidonet 12345678"));
    EXPECT_EQ(GetLE32(&jam->Header[jhReplyCrc]), JamCrc("2:5030/200 87654321"));
    EXPECT_EQ(GetLE32(&jam->Header[jhMsgNum]), 1u);
}

TEST(JamBase, FieldLimits) {
    TTempDir dir;
    TOpenBase base(dir.File("area.jhr"));
    const std::string longId = "2:5020/1 " + std::string(120, 'a');
    auto msg = base->NewMsg();
    msg->FromName = std::string(120, 'F');
    msg->Kludges = {"\x01MSGID: " + longId, "\x01PID: " + std::string(60, 'p')};
    ASSERT_TRUE(msg->Save());
    base->Rescan();
    auto* read = static_cast<TJamMsg*>(base->GetMsg(0));
    EXPECT_EQ(read->FromName, std::string(99, 'F'));
    EXPECT_EQ(read->GetKludges(),
              (TStringList{"\x01MSGID: " + longId.substr(0, 99), "\x01PID: " + std::string(39, 'p')}));
    EXPECT_EQ(GetLE32(&read->Header[jhMsgIdCrc]), JamCrc(longId.substr(0, 100)));
    EXPECT_EQ(GetLE32(&read->Header[jhAttribute]) & JamTypeEcho, JamTypeEcho);
}

TEST(JamBase, DeletedMessagesKeepTheirNumbers) {
    TTempDir dir;
    const std::string jhr = dir.File("area.jhr");
    {
        TOpenBase base(jhr);
        for (int i = 0; i < 4; ++i)
            Post(*base.Base, {"message " + std::to_string(i)});
    }
    // Deleting works also in a base not listed since it was opened.
    auto* fresh = new TJamBase(jhr, "TEST.JAM", "");
    fresh->Rescan();
    EXPECT_TRUE(fresh->DeleteMsg(2));
    EXPECT_FALSE(fresh->DeleteMsg(2));
    EXPECT_FALSE(fresh->DeleteMsg(99));
    fresh->Release();

    TOpenBase base(jhr);
    EXPECT_EQ(Ids(*base.Base), (std::vector<TMsgId>{1, 3, 4}));
    EXPECT_EQ(BodyTexts(*base->GetMsg(1)), (std::vector<std::string>{"message 2"}));
    EXPECT_EQ(test::ReadFile(dir.File("area.jdx")).size(), 32u);
    EXPECT_EQ(ReadBaseHeader(jhr).ActiveMsgs, 3u);
    EXPECT_EQ(Post(*base.Base, {"after"}), 5u);
    EXPECT_EQ(base->IndexOfId(2), -1);
    EXPECT_EQ(base->FindNearest(2), 0);
    EXPECT_EQ(base->FindNearest(3), 1);
}

TEST(JamBase, ActiveCountBoundsTheList) {
    TTempDir dir;
    const std::string jhr = dir.File("area.jhr");
    {
        TOpenBase base(jhr);
        for (int i = 0; i < 4; ++i)
            Post(*base.Base, {"m"});
    }
    std::string data = test::ReadFile(jhr);
    PutLE32(&data[12], 2);
    test::WriteFile(jhr, data);
    TOpenBase base(jhr);
    EXPECT_EQ(Ids(*base.Base), (std::vector<TMsgId>{1, 2}));
}

TEST(JamBase, QuickUnreadTestLooksPastTheLastRead) {
    TTempDir dir;
    const std::string jhr = dir.File("area.jhr");
    {
        TOpenBase base(jhr);
        for (int i = 0; i < 3; ++i)
            Post(*base.Base, {"m"});
        ASSERT_TRUE(base->DeleteMsg(3));
    }
    struct {
        int64_t lastRead; // -1: no record
        bool unread;
    } cases[] = {{-1, true}, {1, true}, {2, false}, {3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lastRead);
        {
            TOpenBase base(jhr);
            base->SetUser(0, "Reader");
            if (c.lastRead >= 0)
                base->SetLastRead(static_cast<TMsgId>(c.lastRead));
        }
        auto* base = new TJamBase(jhr, "TEST.JAM", "");
        base->SetUser(0, "Reader");
        base->Rescan();
        EXPECT_EQ(base->HasUnread(), c.unread);
        base->Release();
        std::filesystem::remove(dir.File("area.jlr"));
    }
}

TEST(JamBase, ReplyChainIsFollowedOnceAroundALoop) {
    TTempDir dir;
    {
        TOpenBase base(dir.File("area.jhr"));
        for (int i = 0; i < 4; ++i)
            Post(*base.Base, {"m"});
    }
    PatchHeader(dir, 0, jhReply1st, 2);
    PatchHeader(dir, 1, jhReplyTo, 1);
    PatchHeader(dir, 1, jhReplyNext, 3);
    PatchHeader(dir, 2, jhReplyNext, 2); // back into the chain
    TOpenBase base(dir.File("area.jhr"));
    TCustomMsg& first = *base->GetMsg(0);
    first.GetBody();
    EXPECT_EQ(first.Replies, (std::vector<TMsgId>{2, 3}));
    EXPECT_EQ(base->GetMsg(1)->ReplyTo, 1u);
}

TEST(JamBase, EmptyTexts) {
    TTempDir dir;
    {
        TOpenBase base(dir.File("area.jhr"));
        Post(*base.Base, {});
        Post(*base.Base, {"x"});
    }
    // A tosser's empty message: one zero byte.
    std::string text = test::ReadFile(dir.File("area.jdt"));
    text[0] = '\0';
    test::WriteFile(dir.File("area.jdt"), text);
    PatchHeader(dir, 1, jhTxtLen, 1);
    TOpenBase base(dir.File("area.jhr"));
    EXPECT_TRUE(BodyTexts(*base->GetMsg(0)).empty());
    EXPECT_TRUE(BodyTexts(*base->GetMsg(1)).empty());
}

TEST(JamBase, LastReadRecordsPerUser) {
    TTempDir dir;
    const std::string jhr = dir.File("area.jhr");
    {
        TOpenBase base(jhr);
        Post(*base.Base, {"a"});
        Post(*base.Base, {"b"});
        base->SetUser(3, "Ivan Petrov");
        EXPECT_EQ(base->GetLastRead(), 0u);
        base->SetLastRead(2);
        base->SetLastRead(1);
        base->SetRead(1, true);
        base->SetUser(5, "Other Reader");
        base->SetLastRead(2);
    }
    std::string jlr = test::ReadFile(dir.File("area.jlr"));
    ASSERT_EQ(jlr.size(), 32u);
    EXPECT_EQ(GetLE32(&jlr[0]), JamCrc("ivan petrov"));
    EXPECT_EQ(GetLE32(&jlr[4]), 3u);
    EXPECT_EQ(GetLE32(&jlr[8]), 1u);
    EXPECT_EQ(GetLE32(&jlr[12]), 2u);
    EXPECT_EQ(GetLE32(&jlr[20]), 5u);
    // An existing record keeps its name CRC.
    PutLE32(&jlr[0], 0x12345678);
    test::WriteFile(dir.File("area.jlr"), jlr);
    {
        TOpenBase base(jhr);
        base->SetUser(3, "Ivan Petrov");
        EXPECT_EQ(base->GetLastRead(), 1u);
        EXPECT_TRUE(base->IsRead(1));
        EXPECT_FALSE(base->IsRead(2));
        base->SetLastRead(2);
    }
    jlr = test::ReadFile(dir.File("area.jlr"));
    EXPECT_EQ(GetLE32(&jlr[0]), 0x12345678u);
    EXPECT_EQ(GetLE32(&jlr[8]), 2u);
    EXPECT_EQ(ParseReadings(test::ReadFile(dir.File("area.jrd"))).size(), 1u);
}

TEST(JamBase, ScanLineNamesTheBaseAsTheTosserSeesIt) {
    TTempDir dir;
    std::filesystem::create_directories(dir.File("jam"));
    TOpenBase base(dir.File("jam/ru.linux.jhr"));
    TGlobalSettings settings;
    settings.EchoscanFile = dir.File("echotoss.log");
    settings.PathSubst = {"no rule here", " d:\\fido = " + dir.Path() + " "};
    base->ScanSettings = &settings;
    Post(*base.Base, {"x"});
    EXPECT_EQ(test::ReadFile(dir.File("echotoss.log")), "d:\\fido/jam/ru.linux 1\r\n");
}

TEST(JamBase, TosserLockKeepsTavroOut) {
    TTempDir dir;
    const std::string jhr = dir.File("area.jhr");
    TOpenBase base(jhr);
    Post(*base.Base, {"x"});
    const std::string before = test::ReadFile(jhr);
    {
        TBufStream tosser(jhr, 16, TOpenMode::ReadWriteSharedCreate);
        ASSERT_TRUE(tosser.LockRange(0, 1, true));
        test::TRecordingUi ui;
        auto msg = base->NewMsg();
        EXPECT_FALSE(msg->Save());
        EXPECT_FALSE(base->DeleteMsg(1));
        EXPECT_EQ(ui.Errors, (std::vector<std::string>(2, "Can't open message base file.")));
        // Reading a header waits for the tosser as well.
        EXPECT_THROW(base->GetMsg(0), EFileError);
        EXPECT_THROW(base->Rescan(), EFileError);
        EXPECT_EQ(test::ReadFile(jhr), before);
    }
    base->Rescan();
    EXPECT_EQ(base->GetCount(), 1);
    EXPECT_FALSE(base->IsChanged());
}

namespace {

enum TOutcome { Works, Fails };

// One corruption of a base of three messages, and what reading and appending must do.
struct TDamage {
    const char* Name;
    std::function<void(const TTempDir&)> Apply;
    TOutcome List, ReadAll, Append;
};

void Patch(const TTempDir& dir, const char* file, size_t at, uint32_t value) {
    std::string data = test::ReadFile(dir.File(file));
    PutLE32(&data[at], value);
    test::WriteFile(dir.File(file), data);
}

} // namespace

TEST(JamBase, DamagedBasesFailWithoutFurtherDamage) {
    const TDamage damages[] = {
        {"no signature", [](const TTempDir& d) { Patch(d, "area.jhr", 0, 0); }, Fails, Fails, Fails},
        {"header cut short", [](const TTempDir& d) { std::filesystem::resize_file(d.File("area.jhr"), 500); },
         Fails, Fails, Fails},
        {"index record past the headers", [](const TTempDir& d) { Patch(d, "area.jdx", 12, 0x7FFFFFF0); },
         Works, Fails, Works},
        {"message header without signature", [](const TTempDir& d) { PatchHeader(d, 1, jhSignature, 0); },
         Works, Fails, Works},
        {"subfields longer than the file",
         [](const TTempDir& d) { PatchHeader(d, 1, jhSubfieldLen, 0x7FFFFFF0); }, Works, Fails, Works},
        {"subfields that do not add up", [](const TTempDir& d) { PatchHeader(d, 1, jhSubfieldLen, 9); },
         Works, Fails, Works},
        {"subfield length past the rest",
         [](const TTempDir& d) {
             Patch(d, "area.jhr", HeaderOffset(d.File("area.jdx"), 1) + 76 + 4, 0x7FFFFFF0);
         },
         Works, Fails, Works},
        {"text past the text file", [](const TTempDir& d) { PatchHeader(d, 1, jhTxtOffset, 0x7FFFFFF0); },
         Works, Fails, Works},
        {"huge text length", [](const TTempDir& d) { PatchHeader(d, 1, jhTxtLen, 0xFFFFFFF0); }, Works, Fails,
         Works},
        {"more active than indexed", [](const TTempDir& d) { Patch(d, "area.jhr", 12, 1000000); }, Works,
         Works, Works},
        {"partial index record",
         [](const TTempDir& d) {
             test::WriteFile(d.File("area.jdx"), test::ReadFile(d.File("area.jdx")) + "xyz");
         },
         Works, Works, Fails},
    };
    for (const TDamage& damage : damages) {
        SCOPED_TRACE(damage.Name);
        TTempDir dir;
        const std::string jhr = dir.File("area.jhr");
        {
            TOpenBase base(jhr);
            for (int i = 0; i < 3; ++i)
                Post(*base.Base, {"message " + std::to_string(i)});
        }
        damage.Apply(dir);
        auto* base = new TJamBase(jhr, "TEST.JAM", "");
        auto outcome = [](auto&& operation) {
            try {
                operation();
                return Works;
            } catch (const EFileError&) {
                return Fails;
            }
        };
        EXPECT_EQ(outcome([&] {
                      base->Rescan();
                      base->GetCount();
                  }),
                  damage.List);
        EXPECT_EQ(outcome([&] {
                      if (base->GetCount() == 0)
                          throw EFileError("nothing listed", 0);
                      for (int i = 0; i < base->GetCount(); ++i)
                          BodyTexts(*base->GetMsg(i));
                  }),
                  damage.ReadAll);
        test::TRecordingUi ui;
        const std::string before = test::ReadFile(jhr);
        auto msg = base->NewMsg();
        msg->Body = {{"new"}};
        const bool appended = msg->Save();
        EXPECT_EQ(appended ? Works : Fails, damage.Append);
        if (!appended) {
            EXPECT_EQ(ui.Errors.size(), 1u);
            EXPECT_EQ(test::ReadFile(jhr), before);
        }
        base->Release();
    }
}
