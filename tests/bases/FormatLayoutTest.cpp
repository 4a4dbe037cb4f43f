// The stored formats checked against their layouts typed here byte by byte: the offsets,
// hashes and dates below are written out by hand, never taken from the library, so a field
// the library puts in the wrong place fails here even when it reads back its own mistake.

#include "bases/FidoBase.h"
#include "bases/JamBase.h"
#include "bases/JamFormat.h"
#include "bases/SquishBase.h"
#include "bases/SquishFormat.h"

#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/DateTime.h"

#include "BaseHelpers.h"
#include "TempDir.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

using namespace tavro;
using tavro::test::BodyTexts;
using tavro::test::Ids;
using tavro::test::TTempDir;

namespace tavro {
void PrintTo(const TDateTimeParts& p, std::ostream* os) {
    *os << p.Year << '-' << p.Month << '-' << p.Day << ' ' << p.Hour << ':' << p.Minute << ':' << p.Second;
}
} // namespace tavro

namespace {

// Little-endian fields written and read here rather than through the library's own helpers.
void Put16(std::string& s, size_t at, uint16_t v) {
    s.at(at) = static_cast<char>(v & 0xFF);
    s.at(at + 1) = static_cast<char>(v >> 8);
}

void Put32(std::string& s, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i)
        s.at(at + i) = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint16_t Get16(const std::string& s, size_t at) {
    return static_cast<uint16_t>(uint8_t(s.at(at)) | uint8_t(s.at(at + 1)) << 8);
}

uint32_t Get32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v |= uint32_t(uint8_t(s.at(at + i))) << (8 * i);
    return v;
}

void PutText(std::string& s, size_t at, std::string_view text) {
    ASSERT_LE(at + text.size(), s.size());
    std::copy(text.begin(), text.end(), s.begin() + static_cast<ptrdiff_t>(at));
}

// A fixed-width field: the text, zeros after it.
std::string Field(std::string_view text, size_t width) {
    std::string field(text);
    field.resize(width, '\0');
    return field;
}

// Sets TZ for the scope and puts back what the run had.
class TZoneScope {
public:
    explicit TZoneScope(const char* tz) {
        if (const char* old = std::getenv("TZ"))
            Saved = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~TZoneScope() {
        if (Saved)
            ::setenv("TZ", Saved->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    TZoneScope(const TZoneScope&) = delete;
    TZoneScope& operator=(const TZoneScope&) = delete;

private:
    std::optional<std::string> Saved;
};

// CP866 on disk, Windows-1251 in the model, whatever the run configured.
TCodePagePair RussianPages() {
    auto pages = TCodePagePair::Create("CP866", "Windows-1251");
    EXPECT_TRUE(pages);
    return pages ? *pages : TCodePagePair::Identity();
}

// "Салют" in both pages; free of the letters an area that drops SoftCR stores otherwise.
const std::string HelloOem = "\x91\xA0\xAB\xEE\xE2";
const std::string HelloDisplay = "\xD1\xE0\xEB\xFE\xF2";

} // namespace

TEST(FormatLayout, JamCrcAndSquishHashOfNames) {
    // Expected values from Python: JAM is ~zlib.crc32 of the name with only A-Z lowered;
    // Squish folds the top nibble back with OR after each (h << 4) + byte, bytes taken
    // unsigned, and drops bit 31.
    const struct {
        std::string Name;
        uint32_t Jam, Squish;
    } cases[] = {
        {"", 0xFFFFFFFF, 0},
        {"All", 0xC4E78E22, 0x682C},
        {"ALL", 0xC4E78E22, 0x682C},
        {"aLl", 0xC4E78E22, 0x682C},
        {"Ivan Petrov", 0xB7A9D0EB, 0x077CF966},
        {"IVAN PETROV", 0xB7A9D0EB, 0x077CF966},
        // "Иван Петров", "ИВАН", "иван" in CP866: Cyrillic letters keep their case.
        {"\x88\xA2\xA0\xAD \x8F\xA5\xE2\xE0\xAE\xA2", 0x644FB553, 0x79A4CBF2},
        {"\x88\x82\x80\x8D", 0xBC6D160F, 0x00090A8D},
        {"\xA8\xA2\xA0\xAD", 0x8AF8FBBB, 0x000B2CAD},
        // A high byte adds as itself, not sign-extended.
        {"\xFF", 0x00FFFFFF, 0xFF},
        {"A\xFFZ", 0x6A5FE2AA, 0x716A},
        {"0123456789", 0x597B3839, 0x567BBEF9},
        // Long enough for the top nibble to fold back many times.
        {"Sergey Ivanovich Petrovsky-Vodkin", 0x6CEE4AB3, 0x0F05BFFE},
        // Neighbours of A-Z are no letters.
        {"[\\]^_`@{|}~", 0xE61D1604, 0x4568344E},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Name));
        EXPECT_EQ(JamCrc(c.Name), c.Jam);
        EXPECT_EQ(SquishHash(c.Name), c.Squish);
    }
}

namespace {

// One message of a hand-typed Squish base.
struct THandSqMsg {
    uint32_t Attr;
    std::string From, To, Subject;
    uint16_t Orig[4], Dest[4]; // zone, net, node, point
    uint32_t Written, Arrived;
    uint16_t UtcOffset;
    uint32_t ReplyTo;
    std::vector<uint32_t> Replies;
    uint32_t UmsgId;
    std::string FtsDate;
    std::string Ctrl, Text;
    uint32_t Slack; // unused bytes the frame holds after the message
};

// The 238-byte message header.
std::string SqMsgHeader(const THandSqMsg& m) {
    std::string h(238, '\0');
    Put32(h, 0, m.Attr);
    PutText(h, 4, m.From);
    PutText(h, 40, m.To);
    PutText(h, 76, m.Subject);
    for (size_t i = 0; i < 4; ++i) {
        Put16(h, 148 + 2 * i, m.Orig[i]);
        Put16(h, 156 + 2 * i, m.Dest[i]);
    }
    Put32(h, 164, m.Written);
    Put32(h, 168, m.Arrived);
    Put16(h, 172, m.UtcOffset);
    Put32(h, 174, m.ReplyTo);
    for (size_t i = 0; i < m.Replies.size(); ++i)
        Put32(h, 178 + 4 * i, m.Replies[i]);
    Put32(h, 214, m.UmsgId);
    PutText(h, 218, m.FtsDate);
    return h;
}

uint32_t SqMsgLength(const THandSqMsg& m) {
    return static_cast<uint32_t>(238 + m.Ctrl.size() + m.Text.size());
}

// A 28-byte frame header.
std::string SqFrame(uint32_t next, uint32_t prev, uint32_t frameLength, uint32_t msgLength,
                    uint32_t ctrlLength, uint16_t type) {
    std::string f(28, '\0');
    Put32(f, 0, 0xAFAE4453);
    Put32(f, 4, next);
    Put32(f, 8, prev);
    Put32(f, 12, frameLength);
    Put32(f, 16, msgLength);
    Put32(f, 20, ctrlLength);
    Put16(f, 24, type);
    return f;
}

std::string SqIndexRecord(uint32_t offset, uint32_t umsgId, uint32_t hash) {
    std::string r(12, '\0');
    Put32(r, 0, offset);
    Put32(r, 4, umsgId);
    Put32(r, 8, hash);
    return r;
}

// The 256-byte base header fields a tosser and Tavro share.
struct TSqBaseFields {
    uint32_t NumMsg, HighMsg, HighWater, Uid, BeginFrame, LastFrame, FreeFrame, LastFreeFrame, EndFrame;
};

// The tosser's own fields and private bytes stay as typed here; only the shared ones change.
std::string SqBaseHeader(const TSqBaseFields& f) {
    std::string h(256, '\0');
    Put16(h, 0, 256);
    h[2] = '\x5A'; // reserved: some tool's business, kept as found
    Put32(h, 4, f.NumMsg);
    Put32(h, 8, f.HighMsg);
    Put32(h, 12, 3); // skip_msg
    Put32(h, 16, f.HighWater);
    Put32(h, 20, f.Uid);
    PutText(h, 24, "C:\\SQUISH\\HANDMADE");
    Put32(h, 104, f.BeginFrame);
    Put32(h, 108, f.LastFrame);
    Put32(h, 112, f.FreeFrame);
    Put32(h, 116, f.LastFreeFrame);
    Put32(h, 120, f.EndFrame);
    Put32(h, 124, 500); // max_msg
    Put16(h, 128, 60);  // keep_days
    Put16(h, 130, 28);
    h[255] = '\xA5';
    return h;
}

// Frame header fields at a literal offset of the data file.
struct TSqFrameAt {
    uint32_t Next, Prev;
    uint16_t Type;
};

TSqFrameAt FrameAt(const std::string& sqd, uint32_t offset) {
    EXPECT_EQ(Get32(sqd, offset), 0xAFAE4453u) << offset;
    return {Get32(sqd, offset + 4), Get32(sqd, offset + 8), Get16(sqd, offset + 24)};
}

void ExpectFrame(const std::string& sqd, uint32_t offset, TSqFrameAt expected) {
    SCOPED_TRACE(testing::Message() << "frame at " << offset);
    const TSqFrameAt frame = FrameAt(sqd, offset);
    EXPECT_EQ(frame.Next, expected.Next);
    EXPECT_EQ(frame.Prev, expected.Prev);
    EXPECT_EQ(frame.Type, expected.Type);
}

} // namespace

// A base of two messages as a tosser leaves it, typed from the layout: Tavro reads it, adds
// a message in the same layout, deletes two, and leaves every byte it does not own alone.
TEST(FormatLayout, SquishBaseTypedByteByByte) {
    const THandSqMsg first{
        0x00010101, // private, local, scanned
        "Ivan Petrov",
        "All",
        HelloOem,
        {2, 5020, 100, 7},
        {2, 5020, 0, 0},
        0x09AA576F, // 2023-11-15 01:13:20: DOS date in the low word, time in the high one
        0x09C0576F, // 2023-11-15 01:14:00
        180,
        0,
        {9},
        7,
        "15 Nov 23  01:13:20",
        std::string("\x01MSGID: 2:5020/100.7 6553a1b0\x01PID: Hand 1") + '\0',
        std::string("Hi all\rSecond line\r---\r * Origin: Here (2:5020/100.7)\rSEEN-BY: 5020/100 200\r"
                    "\x01PATH: 5020/100\r") +
            '\0',
        16,
    };
    // No DOS date written: the date string stands in. The control information ends without
    // its zero byte, as some tossers leave it.
    const THandSqMsg second{
        0,
        "Sysop",
        "Ivan Petrov",
        "Re: " + HelloOem,
        {2, 5020, 200, 0},
        {2, 5020, 100, 7},
        0,
        0x63C05770, // 2023-11-16 12:30:00
        180,
        7,
        {},
        9,
        "16 Nov 23  12:00:02",
        "\x01MSGID: 2:5020/200 6553a1b1\x01REPLY: 2:5020/100.7 6553a1b0",
        std::string("Hello Ivan\r") + '\0',
        0,
    };
    const uint32_t off1 = 256;
    const uint32_t len1 = SqMsgLength(first), frameLen1 = len1 + first.Slack;
    const uint32_t off2 = off1 + 28 + frameLen1;
    const uint32_t len2 = SqMsgLength(second);
    const uint32_t end2 = off2 + 28 + len2;

    TSqBaseFields fields{2, 2, 1, 10, off1, off2, 0, 0, end2};
    std::string sqd = SqBaseHeader(fields);
    sqd += SqFrame(off2, 0, frameLen1, len1, static_cast<uint32_t>(first.Ctrl.size()), 0);
    sqd += SqMsgHeader(first) + first.Ctrl + first.Text + std::string(first.Slack, '\0');
    sqd += SqFrame(0, off1, len2, len2, static_cast<uint32_t>(second.Ctrl.size()), 0);
    sqd += SqMsgHeader(second) + second.Ctrl + second.Text;
    ASSERT_EQ(sqd.size(), end2);
    const std::string sqi = SqIndexRecord(off1, 7, 0x682C) + SqIndexRecord(off2, 9, 0x077CF966);

    TTempDir dir;
    const std::string sqdName = dir.File("hand.sqd"), sqiName = dir.File("hand.sqi");
    test::WriteFile(sqdName, sqd);
    test::WriteFile(sqiName, sqi);
    TBaseRef ref = TBaseRef::Adopt(new TSquishBase(sqdName, "HAND.ECHO", ""));
    auto& base = static_cast<TSquishBase&>(*ref.Get());
    base.CodePages = RussianPages();
    base.Rescan();

    ASSERT_EQ(Ids(base), (std::vector<TMsgId>{7, 9}));
    {
        TCustomMsg& m = *base.GetMsg(0);
        EXPECT_EQ(m.FromName, "Ivan Petrov");
        EXPECT_EQ(m.ToName, "All");
        EXPECT_EQ(m.Subject, HelloDisplay);
        EXPECT_EQ(m.FromAddr.ToStr(), "2:5020/100.7");
        EXPECT_EQ(m.ToAddr.ToStr(), "2:5020/0");
        EXPECT_EQ(DecodeDateTime(m.DateWritten), (TDateTimeParts{2023, 11, 15, 1, 13, 20}));
        EXPECT_EQ(DecodeDateTime(m.DateArrived), (TDateTimeParts{2023, 11, 15, 1, 14, 0}));
        EXPECT_EQ(m.ReplyTo, 0u);
        EXPECT_EQ(m.Replies, (std::vector<TMsgId>{9}));
        EXPECT_EQ(m.GetKludges(), (TStringList{"\x01MSGID: 2:5020/100.7 6553a1b0", "\x01PID: Hand 1"}));
        EXPECT_EQ(BodyTexts(m), (std::vector<std::string>{"Hi all", "Second line", "---",
                                                          " * Origin: Here (2:5020/100.7)"}));
        EXPECT_EQ(m.GetTail(), (TStringList{"SEEN-BY: 5020/100 200", "\x01PATH: 5020/100"}));
        EXPECT_EQ(m.GetAttr(), atPvt | atLoc | atScn);
    }
    {
        TCustomMsg& m = *base.GetMsg(1);
        EXPECT_EQ(m.FromName, "Sysop");
        EXPECT_EQ(m.ToName, "Ivan Petrov");
        EXPECT_EQ(m.Subject, "Re: " + HelloDisplay);
        EXPECT_EQ(DecodeDateTime(m.DateWritten), (TDateTimeParts{2023, 11, 16, 12, 0, 2}));
        EXPECT_EQ(DecodeDateTime(m.DateArrived), (TDateTimeParts{2023, 11, 16, 12, 30, 0}));
        EXPECT_EQ(m.ReplyTo, 7u);
        EXPECT_TRUE(m.Replies.empty());
        EXPECT_EQ(m.GetKludges(),
                  (TStringList{"\x01MSGID: 2:5020/200 6553a1b1", "\x01REPLY: 2:5020/100.7 6553a1b0"}));
        EXPECT_EQ(BodyTexts(m), (std::vector<std::string>{"Hello Ivan"}));
        EXPECT_EQ(m.FromAddr.ToStr(), "2:5020/200");
        EXPECT_EQ(m.ToAddr.ToStr(), "2:5020/100.7");
        EXPECT_EQ(m.GetAttr(), 0u);
    }

    // Tavro's message goes at the end, in the same layout; the zone decides the UTC offset.
    {
        TZoneScope zone("MSK-3");
        auto msg = base.NewMsg();
        msg->FromName = "Tavro User";
        msg->ToName = "Ivan Petrov";
        msg->Subject = "Re: " + HelloDisplay;
        msg->FromAddr.Parse("2:5020/300.1");
        msg->ToAddr.Parse("2:5020/100.7");
        msg->DateWritten = EncodeDateTime(2023, 11, 17, 10, 20, 30);
        msg->DateArrived = EncodeDateTime(2023, 11, 17, 10, 20, 30);
        msg->Attr = atPvt;
        msg->Kludges = {"\x01MSGID: 2:5020/300.1 0000abcd"};
        msg->Body = {{"Reply text"}};
        ASSERT_TRUE(msg->Save());
    }
    const std::string ctrl3 = std::string("\x01MSGID: 2:5020/300.1 0000abcd") + '\0';
    const std::string text3 = std::string("Reply text\r") + '\0';
    const uint32_t off3 = end2, len3 = static_cast<uint32_t>(238 + ctrl3.size() + text3.size());
    const uint32_t end3 = off3 + 28 + len3;
    sqd = test::ReadFile(sqdName);
    ASSERT_EQ(sqd.size(), end3);
    EXPECT_EQ(sqd.substr(off3, 28), SqFrame(0, off2, len3, len3, static_cast<uint32_t>(ctrl3.size()), 0));
    ExpectFrame(sqd, off2, {off3, off1, 0});
    const size_t h = off3 + 28;
    EXPECT_EQ(Get32(sqd, h + 0), 0x00000001u);
    EXPECT_EQ(sqd.substr(h + 4, 36), Field("Tavro User", 36));
    EXPECT_EQ(sqd.substr(h + 40, 36), Field("Ivan Petrov", 36));
    EXPECT_EQ(sqd.substr(h + 76, 72), Field("Re: " + HelloOem, 72));
    for (size_t i = 0; i < 4; ++i) {
        const uint16_t orig[] = {2, 5020, 300, 1}, dest[] = {2, 5020, 100, 7};
        EXPECT_EQ(Get16(sqd, h + 148 + 2 * i), orig[i]) << i;
        EXPECT_EQ(Get16(sqd, h + 156 + 2 * i), dest[i]) << i;
    }
    EXPECT_EQ(Get32(sqd, h + 164), 0x528F5771u); // 2023-11-17 10:20:30
    EXPECT_EQ(Get32(sqd, h + 168), 0x528F5771u);
    EXPECT_EQ(Get16(sqd, h + 172), 180u); // minutes east of UTC
    EXPECT_EQ(sqd.substr(h + 174, 40), std::string(40, '\0')) << "no reply links";
    EXPECT_EQ(sqd.substr(h + 218, 20), Field("17 Nov 23  10:20:30", 20));
    EXPECT_EQ(sqd.substr(h + 238), ctrl3 + text3);
    EXPECT_EQ(test::ReadFile(sqiName), sqi + SqIndexRecord(off3, 10, 0x077CF966));
    fields = {3, 3, 1, 11, off1, off3, 0, 0, end3};
    EXPECT_EQ(sqd.substr(0, 256), SqBaseHeader(fields));
    base.Rescan();
    EXPECT_EQ(Ids(base), (std::vector<TMsgId>{7, 9, 10}));

    // Above the high-water mark (message number 1): the mark stays.
    ASSERT_TRUE(base.DeleteMsg(10));
    sqd = test::ReadFile(sqdName);
    fields = {2, 2, 1, 11, off1, off2, off3, off3, end3};
    EXPECT_EQ(sqd.substr(0, 256), SqBaseHeader(fields));
    ExpectFrame(sqd, off2, {0, off1, 0});
    ExpectFrame(sqd, off3, {0, 0, 1});
    EXPECT_EQ(test::ReadFile(sqiName), sqi);

    // The exported message itself: the mark comes down with it.
    base.Rescan();
    ASSERT_TRUE(base.DeleteMsg(7));
    sqd = test::ReadFile(sqdName);
    fields = {1, 1, 0, 11, off2, off2, off3, off1, end3};
    EXPECT_EQ(sqd.substr(0, 256), SqBaseHeader(fields));
    ExpectFrame(sqd, off2, {0, 0, 0});
    ExpectFrame(sqd, off3, {off1, 0, 1});
    ExpectFrame(sqd, off1, {0, off3, 1});
    EXPECT_EQ(Get32(sqd, off1 + 12), frameLen1) << "a freed frame keeps its whole room";
    EXPECT_EQ(test::ReadFile(sqiName), SqIndexRecord(off2, 9, 0x077CF966));
    base.Rescan();
    ASSERT_EQ(Ids(base), (std::vector<TMsgId>{9}));
    EXPECT_EQ(BodyTexts(*base.GetMsg(0)), (std::vector<std::string>{"Hello Ivan"}));
}

namespace {

struct TOpenFido {
    explicit TOpenFido(const std::string& path)
        : Ref(TBaseRef::Adopt(new TFidoBase(path, "", "NETMAIL"))), Base(static_cast<TFidoBase*>(Ref.Get())) {
        Base->CodePages = RussianPages();
        Base->Rescan();
    }
    TFidoBase* operator->() const { return Base; }
    TBaseRef Ref;
    TFidoBase* Base;
};

} // namespace

TEST(FormatLayout, MsgHeaderWrittenAtItsOffsets) {
    TTempDir dir;
    TOpenFido base(dir.Path());
    auto msg = base->NewMsg();
    msg->FromName = "Ivan Petrov";
    msg->ToName = "Sysop";
    msg->Subject = HelloDisplay;
    msg->FromAddr.Parse("2:5020/100.7");
    msg->ToAddr.Parse("2:5030/200");
    msg->DateWritten = EncodeDateTime(2024, 1, 5, 10, 3, 0);
    msg->DateArrived = EncodeDateTime(2024, 1, 6, 11, 4, 2);
    msg->Attr = atPvt | atLoc;
    msg->Body = {{"Hi"}};
    ASSERT_TRUE(msg->Save());

    const std::string data = test::ReadFile(dir.File("2.msg"));
    ASSERT_GE(data.size(), 190u);
    EXPECT_EQ(data.substr(0, 36), Field("Ivan Petrov", 36));
    EXPECT_EQ(data.substr(36, 36), Field("Sysop", 36));
    EXPECT_EQ(data.substr(72, 72), Field(HelloOem, 72));
    EXPECT_EQ(data.substr(144, 20), Field("05 Jan 24  10:03:00", 20));
    const struct {
        size_t Offset;
        uint16_t Value;
        const char* Name;
    } words[] = {
        {164, 0, "times read"}, {166, 200, "dest node"}, {168, 100, "orig node"},
        {170, 0, "cost"},       {172, 5020, "orig net"}, {174, 5030, "dest net"},
        {184, 0, "reply to"},   {186, 0x0101, "attr"},   {188, 0, "next reply"},
    };
    for (const auto& w : words)
        EXPECT_EQ(Get16(data, w.Offset), w.Value) << w.Name;
    EXPECT_EQ(Get32(data, 176), 0x50605825u); // 2024-01-05 10:03:00
    EXPECT_EQ(Get32(data, 180), 0x58815826u); // 2024-01-06 11:04:02
    EXPECT_EQ(data.substr(190), std::string("Hi\r") + '\0');
}

TEST(FormatLayout, MsgFileTypedByteByByte) {
    std::string data(190, '\0');
    PutText(data, 0, "Ivan Petrov");
    PutText(data, 36, "Sysop");
    PutText(data, 72, HelloOem);
    PutText(data, 144, "15 Nov 23  01:13:20");
    Put16(data, 164, 2);    // times read
    Put16(data, 166, 200);  // dest node
    Put16(data, 168, 100);  // orig node
    Put16(data, 170, 5);    // cost
    Put16(data, 172, 5020); // orig net
    Put16(data, 174, 5030); // dest net
    Put32(data, 176, 0x09AA576F);
    Put32(data, 180, 0x09C0576F);
    Put16(data, 184, 0);
    Put16(data, 186, 0x0101); // private, local
    Put16(data, 188, 0);
    data += "\x01INTL 2:5030/200 2:5020/100\r\x01"
            "FMPT 7\r\x01MSGID: 2:5020/100.7 6553a1b0\rHello\r";
    data += '\0';
    TTempDir dir;
    test::WriteFile(dir.File("2.msg"), data);

    TOpenFido base(dir.Path());
    ASSERT_EQ(Ids(*base.Base), (std::vector<TMsgId>{2}));
    TCustomMsg& m = *base->GetMsg(0);
    EXPECT_EQ(m.FromName, "Ivan Petrov");
    EXPECT_EQ(m.ToName, "Sysop");
    EXPECT_EQ(m.Subject, HelloDisplay);
    EXPECT_EQ(DecodeDateTime(m.DateWritten), (TDateTimeParts{2023, 11, 15, 1, 13, 20}));
    EXPECT_EQ(DecodeDateTime(m.DateArrived), (TDateTimeParts{2023, 11, 15, 1, 14, 0}));
    // Before the text is read the header's net and node are all there is.
    EXPECT_EQ(m.FromAddr.Net, 5020);
    EXPECT_EQ(m.FromAddr.Node, 100);
    EXPECT_EQ(m.ToAddr.Net, 5030);
    EXPECT_EQ(m.ToAddr.Node, 200);
    EXPECT_EQ(BodyTexts(m), (std::vector<std::string>{"Hello"}));
    EXPECT_EQ(m.FromAddr.ToStr(), "2:5020/100.7");
    EXPECT_EQ(m.ToAddr.ToStr(), "2:5030/200");
    EXPECT_EQ(m.GetAttr(), atPvt | atLoc);

    // Without kludges or an origin line the header's net and node stay: a reply needs them.
    data.resize(190);
    data += std::string("Hello\r") + '\0';
    test::WriteFile(dir.File("3.msg"), data);
    base->Rescan();
    TCustomMsg& bare = *base->GetMsg(1);
    EXPECT_EQ(BodyTexts(bare), (std::vector<std::string>{"Hello"}));
    EXPECT_EQ(bare.FromAddr.Net, 5020);
    EXPECT_EQ(bare.FromAddr.Node, 100);
    EXPECT_EQ(bare.ToAddr.Net, 5030);
    EXPECT_EQ(bare.ToAddr.Node, 200);
}

// A tosser that leaves the arrival date out stored the file when the message arrived: its
// time shows in the zone of the run.
TEST(FormatLayout, MsgArrivalFromTheFileTimeInLocalTime) {
    std::string data(190, '\0');
    PutText(data, 0, "Ivan Petrov");
    Put32(data, 176, 0x09AA576F);
    data += std::string("Hello\r") + '\0';
    TTempDir dir;
    test::WriteFile(dir.File("2.msg"), data);
    struct timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.File("2.msg").c_str(), times, 0), 0);
    const struct {
        const char* Zone;
        TDateTimeParts Arrived;
    } cases[] = {
        {"MSK-3", {2023, 11, 15, 1, 13, 20}},
        {"UTC0", {2023, 11, 14, 22, 13, 20}},
        {"NST3:30", {2023, 11, 14, 18, 43, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Zone);
        TZoneScope zone(c.Zone);
        TOpenFido base(dir.Path());
        ASSERT_EQ(base->GetCount(), 1);
        EXPECT_EQ(DecodeDateTime(base->GetMsg(0)->DateArrived), c.Arrived);
    }
}

namespace {

std::string JamSubfield(uint16_t id, std::string_view data) {
    std::string s(8, '\0');
    Put16(s, 0, id);
    Put32(s, 4, static_cast<uint32_t>(data.size()));
    return s + std::string(data);
}

// A JAM base of one message, typed from the layout; its dates are 2023-11-15 01:13:20 and
// 02:13:20 as JAM counts them (seconds since 1970 of the local time).
void WriteHandJam(const TTempDir& dir) {
    std::string jhr(1024, '\0');
    PutText(jhr, 0, std::string("JAM\0", 4));
    Put32(jhr, 4, 1700010800); // created
    Put32(jhr, 8, 1);          // modification counter
    Put32(jhr, 12, 1);         // active messages
    Put32(jhr, 16, 0xFFFFFFFF);
    Put32(jhr, 20, 1); // base message number
    const std::string subfields = JamSubfield(0, "2:5020/100.7") + JamSubfield(2, "Ivan Petrov") +
                                  JamSubfield(3, "All") + JamSubfield(6, HelloOem) +
                                  JamSubfield(4, "2:5020/100.7 6553a1b0");
    std::string msg(76, '\0');
    PutText(msg, 0, std::string("JAM\0", 4));
    Put16(msg, 4, 1);
    Put32(msg, 8, static_cast<uint32_t>(subfields.size()));
    Put32(msg, 16, 0xB65D93D4); // the MSGID's CRC
    Put32(msg, 20, 0xFFFFFFFF);
    Put32(msg, 36, 1700010800); // written
    Put32(msg, 40, 1700014400); // received
    Put32(msg, 44, 1700014400); // processed
    Put32(msg, 48, 1);
    Put32(msg, 52, 0x01000000); // echomail
    Put32(msg, 60, 0);
    Put32(msg, 64, 6);
    Put32(msg, 68, 0xFFFFFFFF);
    test::WriteFile(dir.File("hand.jhr"), jhr + msg + subfields);
    std::string jdx(8, '\0');
    Put32(jdx, 0, 0xC4E78E22); // "all"
    Put32(jdx, 4, 1024);
    test::WriteFile(dir.File("hand.jdx"), jdx);
    test::WriteFile(dir.File("hand.jdt"), "Hello\r");
    test::WriteFile(dir.File("hand.jlr"), "");
}

} // namespace

// JAM keeps local time as if it were UTC: what is stored reads back the same in every zone,
// and a local time is stored as those seconds whatever the zone.
TEST(FormatLayout, JamDatesAreNotShiftedByTheTimeZone) {
    for (const char* tz : {"MSK-3", "UTC0", "<+14>-14", "NST3:30"}) {
        SCOPED_TRACE(tz);
        TZoneScope zone(tz);
        TTempDir dir;
        WriteHandJam(dir);
        TBaseRef ref = TBaseRef::Adopt(new TJamBase(dir.File("hand.jhr"), "HAND.ECHO", ""));
        auto& base = static_cast<TJamBase&>(*ref.Get());
        base.CodePages = RussianPages();
        base.Rescan();
        ASSERT_EQ(Ids(base), (std::vector<TMsgId>{1}));
        TCustomMsg& m = *base.GetMsg(0);
        EXPECT_EQ(DecodeDateTime(m.DateWritten), (TDateTimeParts{2023, 11, 15, 1, 13, 20}));
        EXPECT_EQ(DecodeDateTime(m.DateArrived), (TDateTimeParts{2023, 11, 15, 2, 13, 20}));
        EXPECT_EQ(m.FromName, "Ivan Petrov");
        EXPECT_EQ(m.ToName, "All");
        EXPECT_EQ(m.Subject, HelloDisplay);
        EXPECT_EQ(m.FromAddr.ToStr(), "2:5020/100.7");
        EXPECT_EQ(m.GetKludges(), (TStringList{"\x01MSGID: 2:5020/100.7 6553a1b0"}));
        EXPECT_EQ(BodyTexts(m), (std::vector<std::string>{"Hello"}));

        auto msg = base.NewMsg();
        msg->ToName = "Ivan Petrov";
        msg->DateWritten = EncodeDateTime(2023, 11, 15, 1, 13, 20);
        msg->DateArrived = EncodeDateTime(2023, 11, 15, 2, 13, 20);
        msg->Body = {{"Reply"}};
        ASSERT_TRUE(msg->Save());
        const std::string jhr = test::ReadFile(dir.File("hand.jhr"));
        const std::string jdx = test::ReadFile(dir.File("hand.jdx"));
        ASSERT_EQ(jdx.size(), 16u);
        EXPECT_EQ(Get32(jdx, 8), 0xB7A9D0EBu); // "ivan petrov"
        const uint32_t at = Get32(jdx, 12);
        ASSERT_EQ(at, 1024u + 76 + Get32(jhr, 1024 + 8));
        EXPECT_EQ(jhr.substr(at, 4), std::string("JAM\0", 4));
        EXPECT_EQ(Get32(jhr, at + 36), 1700010800u);
        EXPECT_EQ(Get32(jhr, at + 40), 1700014400u);
        EXPECT_EQ(Get32(jhr, at + 48), 2u);
        // The base header keeps its creation date and counts the message.
        EXPECT_EQ(Get32(jhr, 4), 1700010800u);
        EXPECT_EQ(Get32(jhr, 8), 2u);
        EXPECT_EQ(Get32(jhr, 12), 2u);
    }
}

// A new base is dated by the clock in the zone of the run: the instant as UTC seconds plus
// the zone's offset.
TEST(FormatLayout, NewJamBaseIsDatedInLocalTime) {
    const struct {
        const char* Zone;
        int32_t Offset;
    } cases[] = {{"MSK-3", 10800}, {"UTC0", 0}, {"<+14>-14", 50400}, {"NST3:30", -12600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Zone);
        TZoneScope zone(c.Zone);
        TTempDir dir;
        const std::string jhr = dir.File("new.jhr");
        TBaseRef ref = TBaseRef::Adopt(new TJamBase(jhr, "NEW.ECHO", ""));
        const int64_t before = std::time(nullptr);
        ASSERT_TRUE(ref.Get()->CreateIfMissing());
        const int64_t after = std::time(nullptr);
        const std::string header = test::ReadFile(jhr);
        ASSERT_EQ(header.size(), 1024u);
        EXPECT_EQ(header.substr(0, 4), std::string("JAM\0", 4));
        const int64_t created = static_cast<int32_t>(Get32(header, 4));
        EXPECT_GE(created, before + c.Offset);
        EXPECT_LE(created, after + c.Offset);
    }
}
