#include "bases/JamBase.h"

#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/Endian.h"
#include "core/Readings.h"
#include "core/Settings.h"
#include "reader/MsgThreads.h"

#include "BaseHelpers.h"
#include "FileFaults.h"
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
        : Ref(TBaseRef::Adopt(new TJamBase(path, std::move(echoTag), std::move(netmailTag)))),
          Base(static_cast<TJamBase*>(Ref.Get())) {
        EXPECT_TRUE(Base->CreateIfMissing());
        Base->Rescan();
    }
    TJamBase* operator->() const { return Base; }
    TBaseRef Ref;
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

std::string LE16(uint16_t value) {
    std::string bytes(2, '\0');
    PutLE16(bytes.data(), value);
    return bytes;
}

std::string LE32(uint32_t value) {
    std::string bytes(4, '\0');
    PutLE32(bytes.data(), value);
    return bytes;
}

// A subfield as other programs store it: id, high id 0, length, data.
std::string Subfield(uint16_t id, std::string_view data) {
    return LE16(id) + LE16(0) + LE32(static_cast<uint32_t>(data.size())) + std::string(data);
}

using TSubfields = std::vector<std::pair<uint16_t, std::string>>;

struct TStoredMsg {
    TJamMsgHeader Header;
    TSubfields Subfields;
};

// The header and subfields of the message at index slot `slot`, split here rather than by
// the base, so what the base wrote is checked byte by byte.
TStoredMsg ReadStored(const std::string& jhr, size_t slot) {
    const std::string data = test::ReadFile(jhr);
    const uint32_t at = HeaderOffset(jhr.substr(0, jhr.size() - 2) + "dx", slot);
    TStoredMsg stored{};
    if (data.size() < size_t(at) + JamMsgHeaderSize) {
        ADD_FAILURE() << "header past the file";
        return stored;
    }
    std::copy_n(data.begin() + at, JamMsgHeaderSize, stored.Header.begin());
    size_t p = at + JamMsgHeaderSize;
    const size_t end = std::min(data.size(), p + GetLE32(&stored.Header[jhSubfieldLen]));
    while (p < end) {
        if (p + JamSubfieldHeadSize > end) {
            ADD_FAILURE() << "torn subfield";
            break;
        }
        EXPECT_EQ(GetLE16(&data[p + 2]), 0u) << "high id";
        const uint32_t length = GetLE32(&data[p + 4]);
        stored.Subfields.emplace_back(GetLE16(&data[p]), data.substr(p + JamSubfieldHeadSize, length));
        p += JamSubfieldHeadSize + length;
    }
    return stored;
}

size_t CountId(const TSubfields& subfields, uint16_t id) {
    return std::count_if(subfields.begin(), subfields.end(), [&](const auto& s) { return s.first == id; });
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
    EXPECT_EQ(GetLE32(&jam->Header[jhAttribute]) & (JamTypeNet | JamTypeEcho | JamTypeLocal),
              JamTypeNet | JamTypeLocal);
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
    auto read = std::static_pointer_cast<TJamMsg>(base->GetMsg(0));
    EXPECT_EQ(read->FromName, std::string(99, 'F'));
    EXPECT_EQ(read->GetKludges(),
              (TStringList{"\x01MSGID: " + longId.substr(0, 99), "\x01PID: " + std::string(39, 'p')}));
    EXPECT_EQ(GetLE32(&read->Header[jhMsgIdCrc]), JamCrc(longId.substr(0, 100)));
    EXPECT_EQ(GetLE32(&read->Header[jhAttribute]) & (JamTypeNet | JamTypeEcho | JamTypeLocal), JamTypeEcho);
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
    TBaseRef freshRef = TBaseRef::Adopt(new TJamBase(jhr, "TEST.JAM", ""));
    auto* fresh = static_cast<TJamBase*>(freshRef.Get());
    fresh->Rescan();
    EXPECT_TRUE(fresh->DeleteMsg(2));
    {
        // Ids not in the list: no box, no byte changed.
        const std::string before = test::ReadFile(jhr);
        test::TRecordingUi ui;
        EXPECT_FALSE(fresh->DeleteMsg(2));
        EXPECT_FALSE(fresh->DeleteMsg(99));
        EXPECT_FALSE(fresh->DeleteMsg(0));
        EXPECT_TRUE(ui.Errors.empty());
        EXPECT_EQ(test::ReadFile(jhr), before);
    }
    freshRef.Reset();

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

// An append killed before it counted its message, or another program's slip, leaves the
// stored count wrong: the headers decide what is listed, and whether anything is unread.
// A wrong count must not hide messages, and a delete leaves the true count behind: a count
// that came level with the records in use by chance would list a deleted message again.
TEST(JamBase, StoredCountDoesNotBoundTheList) {
    const struct {
        const char* name;
        uint32_t active;
        int deletedSlot; // -1: none
        std::vector<TMsgId> ids;
        TMsgId deleteId;
        std::vector<TMsgId> after;
    } cases[] = {
        {"count short", 2, -1, {1, 2, 3, 4}, 2, {1, 3, 4}},
        {"count short, one deleted", 2, 2, {1, 2, 4}, 2, {1, 4}},
        {"count zero", 0, -1, {1, 2, 3, 4}, 2, {1, 3, 4}},
        {"count too high", 9, -1, {1, 2, 3, 4}, 2, {1, 3, 4}},
        {"count one too high, one deleted", 4 + 1, 2, {1, 2, 4}, 2, {1, 4}},
        // The count vouches for every record, so the deleted one shows until it is deleted.
        {"counted while deleted", 4, 2, {1, 2, 3, 4}, 3, {1, 2, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string jhr = dir.File("area.jhr");
        {
            TOpenBase base(jhr);
            for (int i = 0; i < 4; ++i)
                Post(*base.Base, {"m"});
        }
        if (c.deletedSlot >= 0)
            PatchHeader(dir, static_cast<size_t>(c.deletedSlot), jhAttribute, JamTypeEcho | JamDeleted);
        std::string data = test::ReadFile(jhr);
        PutLE32(&data[12], c.active);
        test::WriteFile(jhr, data);
        TOpenBase base(jhr);
        EXPECT_TRUE(base->HasUnread()) << "before the list is built";
        EXPECT_EQ(Ids(*base.Base), c.ids);

        ASSERT_TRUE(base->DeleteMsg(c.deleteId));
        EXPECT_EQ(GetLE32(&test::ReadFile(jhr)[12]), c.after.size()) << "active count";
        TOpenBase again(jhr);
        EXPECT_EQ(Ids(*again.Base), c.after);
    }
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
        TBaseRef baseRef = TBaseRef::Adopt(new TJamBase(jhr, "TEST.JAM", ""));
        auto* base = static_cast<TJamBase*>(baseRef.Get());
        base->SetUser(0, "Reader");
        base->Rescan();
        EXPECT_EQ(base->HasUnread(), c.unread);
        baseRef.Reset();
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

    // Another reader's record for the same name under its own number comes first: that
    // program and Tavro then share the pointer, and the record keeps its number.
    jlr += LE32(JamCrc("olga ivanova")) + LE32(77) + LE32(1) + LE32(1);
    test::WriteFile(dir.File("area.jlr"), jlr);
    {
        TOpenBase base(jhr);
        base->SetUser(4, "Olga Ivanova");
        EXPECT_EQ(base->GetLastRead(), 1u);
        base->SetLastRead(2);
    }
    jlr = test::ReadFile(dir.File("area.jlr"));
    ASSERT_EQ(jlr.size(), 48u);
    EXPECT_EQ(GetLE32(&jlr[36]), 77u);
    EXPECT_EQ(GetLE32(&jlr[40]), 2u);
    EXPECT_EQ(GetLE32(&jlr[24]), 2u) << "the record of number 5 is not touched";
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

namespace {

enum TOutcome { Works, Fails };

// One corruption of a base of three messages, and what reading and appending must do.
struct TDamage {
    const char* Name;
    std::function<void(const TTempDir&)> Apply;
    // Headers: the walk over every header that threads and sorting make (over nothing where
    // nothing is listed).
    TOutcome List, ReadAll, Append, Headers;
};

void Patch(const TTempDir& dir, const char* file, size_t at, uint32_t value) {
    std::string data = test::ReadFile(dir.File(file));
    PutLE32(&data[at], value);
    test::WriteFile(dir.File(file), data);
}

} // namespace

TEST(JamBase, DamagedBasesFailWithoutFurtherDamage) {
    const TDamage damages[] = {
        {"no signature", [](const TTempDir& d) { Patch(d, "area.jhr", 0, 0); }, Fails, Fails, Fails, Works},
        {"header cut short", [](const TTempDir& d) { std::filesystem::resize_file(d.File("area.jhr"), 500); },
         Fails, Fails, Fails, Works},
        {"index record past the headers", [](const TTempDir& d) { Patch(d, "area.jdx", 12, 0x7FFFFFF0); },
         Works, Fails, Works, Fails},
        {"message header without signature", [](const TTempDir& d) { PatchHeader(d, 1, jhSignature, 0); },
         Works, Fails, Works, Fails},
        {"subfields longer than the file",
         [](const TTempDir& d) { PatchHeader(d, 1, jhSubfieldLen, 0x7FFFFFF0); }, Works, Fails, Works, Fails},
        {"subfields that do not add up", [](const TTempDir& d) { PatchHeader(d, 1, jhSubfieldLen, 9); },
         Works, Fails, Works, Fails},
        {"subfield length past the rest",
         [](const TTempDir& d) {
             Patch(d, "area.jhr", HeaderOffset(d.File("area.jdx"), 1) + 76 + 4, 0x7FFFFFF0);
         },
         Works, Fails, Works, Fails},
        {"text past the text file", [](const TTempDir& d) { PatchHeader(d, 1, jhTxtOffset, 0x7FFFFFF0); },
         Works, Fails, Works, Works},
        {"huge text length", [](const TTempDir& d) { PatchHeader(d, 1, jhTxtLen, 0xFFFFFFF0); }, Works, Fails,
         Works, Works},
        {"more active than indexed", [](const TTempDir& d) { Patch(d, "area.jhr", 12, 1000000); }, Works,
         Works, Works, Works},
        // A count that disagrees with the index makes the list read every header.
        {"message header without signature, count short",
         [](const TTempDir& d) {
             PatchHeader(d, 1, jhSignature, 0);
             Patch(d, "area.jhr", 12, 1);
         },
         Fails, Fails, Works, Fails},
        {"index record past the headers, count short",
         [](const TTempDir& d) {
             Patch(d, "area.jdx", 12, 0x7FFFFFF0);
             Patch(d, "area.jhr", 12, 1);
         },
         Fails, Fails, Works, Fails},
        {"partial index record",
         [](const TTempDir& d) {
             test::WriteFile(d.File("area.jdx"), test::ReadFile(d.File("area.jdx")) + "xyz");
         },
         Works, Works, Fails, Works},
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
        TBaseRef baseRef = TBaseRef::Adopt(new TJamBase(jhr, "TEST.JAM", ""));
        auto* base = static_cast<TJamBase*>(baseRef.Get());
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
        EXPECT_EQ(outcome([&] { base->ReadListHeaders(lfAll, [](int, const TListHeader&) {}); }),
                  damage.Headers);
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
        baseRef.Reset();
    }
}

// Two index records naming one header: marking it deleted would take the other message
// along, so the delete is refused as damage and nothing changes.
TEST(JamBase, DeleteOfAHeaderTwoRecordsNameIsRefused) {
    TTempDir dir;
    const std::string jhr = dir.File("area.jhr");
    {
        TOpenBase base(jhr);
        for (int i = 0; i < 3; ++i)
            Post(*base.Base, {"message " + std::to_string(i)});
    }
    Patch(dir, "area.jdx", 8 + 4, HeaderOffset(dir.File("area.jdx"), 0));
    TOpenBase base(jhr);
    ASSERT_EQ(Ids(*base.Base), (std::vector<TMsgId>{1, 2, 3}));
    const auto before = test::Snapshot(dir.Path());
    test::TRecordingUi ui;
    EXPECT_FALSE(base->DeleteMsg(1));
    EXPECT_FALSE(base->DeleteMsgs({1, 3}, nullptr));
    EXPECT_EQ(ui.Errors,
              std::vector<std::string>(2, "Message base \"" + jhr + "\" is damaged. Base needs fixing."));
    EXPECT_EQ(test::Snapshot(dir.Path()), before);
    EXPECT_TRUE(base->DeleteMsg(3)) << "a header of its own";
}

// The walk that threads and sorting make reads headers straight from the file; it must see
// what reading each message sees. Laid out by hand: thread ids in kludge subfields (the first
// of two counts, in any letter case), code-page names, subfields larger than a read piece.
TEST(JamBase, HeaderWalkAgreesWithTheMessages) {
    TTempDir dir;
    const std::vector<std::pair<std::string, uint32_t>> messages = {
        {Subfield(2, "\x88\xA2\xA0\xAD") + Subfield(3, "All") + Subfield(6, "Re: \xAF\xE0\xA8\xA2\xA5\xE2") +
             Subfield(2000, "REPLY: 1:1/1 aa") + Subfield(5, "1:1/1 bb") + Subfield(4, "1:1/1  CC"),
         0},
        {Subfield(2, "Big") + Subfield(2001, std::string(5000, '1')) + Subfield(2000, "msgid: 1:1/1 dd") +
             Subfield(6, "after the big one"),
         0},
        {Subfield(2, "Linked") + Subfield(6, "third"), 100},
    };
    std::string jhr(1024, '\0'), jdx;
    jhr.replace(0, 4, std::string("JAM\0", 4));
    jhr.replace(12, 4, LE32(static_cast<uint32_t>(messages.size())));
    jhr.replace(20, 4, LE32(100));
    for (size_t i = 0; i < messages.size(); ++i) {
        const auto& [subfields, replyTo] = messages[i];
        std::string header(76, '\0');
        header.replace(0, 4, std::string("JAM\0", 4));
        header.replace(8, 4, LE32(static_cast<uint32_t>(subfields.size())));
        header.replace(24, 4, LE32(replyTo));
        header.replace(36, 4, LE32(1704448980 + static_cast<uint32_t>(i) * 60));
        header.replace(48, 4, LE32(100 + static_cast<uint32_t>(i)));
        jdx += LE32(0) + LE32(static_cast<uint32_t>(jhr.size()));
        jhr += header + subfields;
    }
    test::WriteFile(dir.File("area.jhr"), jhr);
    test::WriteFile(dir.File("area.jdx"), jdx);
    test::WriteFile(dir.File("area.jdt"), "");

    TOpenBase base(dir.File("area.jhr"));
    using TSeen =
        std::tuple<int, std::string, std::string, std::string, TDateTime, TMsgId, std::string, std::string>;
    auto walk = [&](bool straight) {
        std::vector<TSeen> seen;
        auto take = [&](int p, const TListHeader& h) {
            seen.emplace_back(p, h.FromName, h.ToName, h.Subject, h.DateWritten, h.ReplyTo,
                              ThreadKey(h.MsgId), ThreadKey(h.Reply));
        };
        if (straight)
            base->ReadListHeaders(lfAll, take);
        else
            base->TCustomBase::ReadListHeaders(lfAll, take);
        return seen;
    };
    const std::vector<TSeen> straight = walk(true);
    EXPECT_EQ(straight, walk(false));
    ASSERT_EQ(straight.size(), 3u);
    EXPECT_EQ(std::get<6>(straight[0]), "1:1/1 cc");
    EXPECT_EQ(std::get<7>(straight[0]), "1:1/1 aa");
    EXPECT_EQ(std::get<6>(straight[1]), "1:1/1 dd");
    EXPECT_EQ(std::get<3>(straight[1]), "after the big one");
    EXPECT_EQ(std::get<5>(straight[2]), 100u);
}

// A base as another program writes it, laid out here byte by byte: one message with a
// TZUTC subfield and two subfields the model has no field for.
TEST(JamBase, ForeignSubfieldsSurviveAJamToJamCopy) {
    TTempDir dir;
    const std::string enclosed = "NODELIST.Z24";
    const std::string binary("\x00\x01\xfe\xff\r\ntail", 8);
    const std::string subfields = Subfield(2, "Ivan Petrov") + Subfield(3, "All") + Subfield(6, "Literal") +
                                  Subfield(4, "2:5020/1 12345678") + Subfield(2004, "0300") +
                                  Subfield(9, enclosed) + Subfield(1000, binary);
    const std::string text = "Hello\rWorld\r";

    std::string base(1024, '\0');
    base.replace(0, 4, std::string("JAM\0", 4));
    base.replace(4, 4, LE32(1704448980)); // date created
    base.replace(8, 4, LE32(7));          // modification counter
    base.replace(12, 4, LE32(1));         // active messages
    base.replace(20, 4, LE32(100));       // base message number
    std::string header(76, '\0');
    header.replace(0, 4, std::string("JAM\0", 4));
    header.replace(4, 2, LE16(1));                                       // revision
    header.replace(8, 4, LE32(static_cast<uint32_t>(subfields.size()))); // subfield length
    header.replace(36, 4, LE32(1704448980));                             // written 2024-01-05 10:03:00
    header.replace(48, 4, LE32(100));                                    // message number
    header.replace(52, 4, LE32(0x01000000 | 0x00000004));                // echomail, private
    header.replace(60, 4, LE32(0));                                      // text offset
    header.replace(64, 4, LE32(static_cast<uint32_t>(text.size())));     // text length
    test::WriteFile(dir.File("area.jhr"), base + header + subfields);
    test::WriteFile(dir.File("area.jdx"), LE32(0xc4e78e22) + LE32(1024)); // CRC of "all", offset
    test::WriteFile(dir.File("area.jdt"), text);
    test::WriteFile(dir.File("area.jlr"), "");

    TOpenBase source(dir.File("area.jhr"));
    ASSERT_EQ(Ids(*source.Base), (std::vector<TMsgId>{100}));
    auto& read = *std::static_pointer_cast<TJamMsg>(source->GetMsg(0));
    EXPECT_EQ(read.FromName, "Ivan Petrov");
    EXPECT_EQ(read.ToName, "All");
    EXPECT_EQ(read.Subject, "Literal");
    EXPECT_EQ(read.DateWritten, EncodeDateTime(2024, 1, 5, 10, 3, 0));
    EXPECT_EQ(read.GetAttr(), atPvt);
    EXPECT_EQ(read.GetKludges(), (TStringList{"\x01MSGID: 2:5020/1 12345678", "\x01TZUTC: 0300"}));
    EXPECT_EQ(BodyTexts(read), (std::vector<std::string>{"Hello", "World"}));

    TOpenBase target(dir.File("copy.jhr"));
    auto copy = target->NewMsg();
    copy->Assign(&read);
    ASSERT_TRUE(copy->Save());
    const TSubfields stored = ReadStored(dir.File("copy.jhr"), 0).Subfields;
    EXPECT_EQ(CountId(stored, 2004), 1u);
    EXPECT_EQ(std::count(stored.begin(), stored.end(), std::pair<uint16_t, std::string>(2004, "0300")), 1);
    EXPECT_EQ(CountId(stored, 2000), 0u) << "TZUTC as a plain kludge";
    EXPECT_EQ(std::count(stored.begin(), stored.end(), std::pair<uint16_t, std::string>(9, enclosed)), 1);
    EXPECT_EQ(std::count(stored.begin(), stored.end(), std::pair<uint16_t, std::string>(1000, binary)), 1);
    target->Rescan();
    EXPECT_EQ(target->GetMsg(0)->GetKludges(), read.GetKludges());
}

// *.MSG and Squish carry TZUTC as a kludge line; JAM has a subfield for it.
TEST(JamBase, TzutcKludgeLineIsStoredAsItsSubfield) {
    TTempDir dir;
    TOpenBase base(dir.File("area.jhr"));
    auto msg = base->NewMsg();
    msg->Kludges = {"\x01TZUTC: 0300", "\x01"
                                       "CHRS: CP866 2"};
    ASSERT_TRUE(msg->Save());
    EXPECT_EQ(
        ReadStored(dir.File("area.jhr"), 0).Subfields,
        (TSubfields{{0, ""}, {1, ""}, {2, ""}, {3, ""}, {6, ""}, {2004, "0300"}, {2000, "CHRS: CP866 2"}}));
}

TEST(JamBase, CopyKeepsReplyLinksOnlyWithinItsBase) {
    const struct {
        const char* name;
        bool sameBase;
        bool sourceDeleted;
    } cases[] = {
        {"another base", false, false},
        {"another base, deleted source", false, true},
        {"same base, deleted source", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        {
            TOpenBase base(dir.File("area.jhr"));
            for (int i = 0; i < 3; ++i)
                Post(*base.Base, {"message " + std::to_string(i)});
        }
        PatchHeader(dir, 1, jhReplyTo, 1);
        PatchHeader(dir, 1, jhReply1st, 3);
        PatchHeader(dir, 1, jhReplyNext, 77);
        TOpenBase source(dir.File("area.jhr"));
        auto msg = std::static_pointer_cast<TJamMsg>(source->GetMsg(1));
        if (c.sourceDeleted)
            PutLE32(&msg->Header[jhAttribute], GetLE32(&msg->Header[jhAttribute]) | JamDeleted);

        const std::string targetName = c.sameBase ? "area.jhr" : "copy.jhr";
        TOpenBase other(dir.File("copy.jhr"));
        TJamBase& target = c.sameBase ? *source.Base : *other.Base;
        auto copy = target.NewMsg();
        copy->Assign(msg.get());
        EXPECT_EQ(GetLE32(&static_cast<TJamMsg&>(*copy).Header[jhAttribute]) & JamDeleted, 0u)
            << "a copy is live before it is stored";
        ASSERT_TRUE(copy->Save());
        const size_t slot = c.sameBase ? 3 : 0;
        const TJamMsgHeader stored = ReadStored(dir.File(targetName), slot).Header;
        EXPECT_EQ(GetLE32(&stored[jhAttribute]), JamTypeEcho);
        const std::vector<uint32_t> links = {GetLE32(&stored[jhReplyTo]), GetLE32(&stored[jhReply1st]),
                                             GetLE32(&stored[jhReplyNext])};
        EXPECT_EQ(links, c.sameBase ? (std::vector<uint32_t>{1, 3, 77}) : (std::vector<uint32_t>{0, 0, 0}));
        target.Rescan();
        EXPECT_EQ(target.GetCount(), static_cast<int>(slot) + 1);
        EXPECT_EQ(BodyTexts(*target.GetMsg(static_cast<int>(slot))), (std::vector<std::string>{"message 1"}));
    }
}

TEST(JamBase, LastReadRecordsBeyondTheFirstBuffer) {
    constexpr int Others = 5000; // 80000 bytes, past 64 KiB
    const struct {
        const char* name;
        bool hasRecord;
        std::string tail; // after the other users' records
    } cases[] = {
        {"record after 5000 others", true, ""},
        {"new user after 5000 others", false, ""},
        {"new user after a torn record", false, "torn"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string jhr = dir.File("area.jhr");
        {
            TOpenBase base(jhr);
            Post(*base.Base, {"m"});
        }
        std::string others;
        for (int i = 0; i < Others; ++i)
            others += LE32(0xABC00000 + i) + LE32(100 + i) + LE32(i) + LE32(i + 1);
        const std::string own = LE32(0x12345678) + LE32(7) + LE32(42) + LE32(43);
        test::WriteFile(dir.File("area.jlr"), others + (c.hasRecord ? own : c.tail));
        {
            TOpenBase base(jhr);
            base->SetUser(7, "Reader");
            EXPECT_EQ(base->GetLastRead(), c.hasRecord ? 42u : 0u);
            base->SetLastRead(40);
        }
        const std::string jlr = test::ReadFile(dir.File("area.jlr"));
        ASSERT_EQ(jlr.size(), (Others + 1) * JamLastReadSize);
        EXPECT_TRUE(jlr.compare(0, others.size(), others) == 0) << "other users' records";
        const std::string expected = c.hasRecord ? LE32(0x12345678) + LE32(7) + LE32(40) + LE32(43)
                                                 : LE32(JamCrc("reader")) + LE32(7) + LE32(40) + LE32(40);
        EXPECT_EQ(jlr.substr(others.size()), expected);
    }
}

// A message, a copy from an area of another type included, takes the type of its area; a
// base opened without the area's tags keeps what the copy brings.
TEST(JamBase, TypeBitsWrittenForTheArea) {
    const struct {
        const char* echoTag;
        const char* netmailTag;
        uint32_t carried; // type bits of the copied message
        uint32_t bits;
    } cases[] = {
        {"TEST.JAM", "", 0, JamTypeEcho},
        {"", "NETMAIL", 0, JamTypeNet | JamTypeLocal},
        {"", "", 0, 0},
        {"TEST.JAM", "", JamTypeNet | JamTypeLocal, JamTypeEcho},
        {"", "NETMAIL", JamTypeEcho, JamTypeNet | JamTypeLocal},
        {"", "", JamTypeNet, JamTypeNet},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.echoTag << c.netmailTag << " " << std::hex << c.carried);
        TTempDir dir;
        TOpenBase base(dir.File("area.jhr"), c.echoTag, c.netmailTag);
        auto msg = base->NewMsg();
        PutLE32(&static_cast<TJamMsg&>(*msg).Header[jhAttribute], c.carried);
        msg->Body = {{"m"}};
        ASSERT_TRUE(msg->Save());
        EXPECT_EQ(GetLE32(&ReadStored(dir.File("area.jhr"), 0).Header[jhAttribute]) &
                      (JamTypeNet | JamTypeEcho | JamTypeLocal),
                  c.bits);
    }
}

// The command line opens a base without the area's tags: only the header's type bits tell.
TEST(JamBase, NetmailFromTypeBitsWithoutAreaTags) {
    const struct {
        uint32_t bits;
        const char* echoTag;
        const char* netmailTag;
        bool netmail;
    } cases[] = {
        {JamTypeNet, "", "", true},
        {JamTypeNet | JamTypeLocal, "", "", true},
        {JamTypeLocal, "", "", true},
        {JamTypeLocal | JamTypeEcho, "", "", false},
        {JamTypeEcho, "", "", false},
        {0, "", "", false},
        {JamTypeNet | JamTypeLocal, "TEST.JAM", "", false},
        {JamTypeEcho, "", "NETMAIL", true},
    };
    TTempDir dir;
    {
        TOpenBase base(dir.File("area.jhr"));
        Post(*base.Base, {"m"});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.bits << " " << c.echoTag << c.netmailTag);
        PatchHeader(dir, 0, jhAttribute, c.bits);
        TOpenBase base(dir.File("area.jhr"), c.echoTag, c.netmailTag);
        EXPECT_EQ(base->GetMsg(0)->IsNetmail(), c.netmail);
    }
}
