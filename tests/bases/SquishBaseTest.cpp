#include "bases/SquishBase.h"

#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/Endian.h"
#include "core/Readings.h"

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
    explicit TOpenBase(const std::string& path, std::string echoTag = "TEST.ECHO")
        : Ref(TBaseRef::Adopt(new TSquishBase(path, std::move(echoTag), ""))),
          Base(static_cast<TSquishBase*>(Ref.Get())) {
        EXPECT_TRUE(Base->CreateIfMissing());
        Base->Rescan();
    }
    TSquishBase* operator->() const { return Base; }
    TBaseRef Ref;
    TSquishBase* Base;
};

// Appends a message whose body is `lines` and answers its id.
TMsgId Post(TSquishBase& base, std::vector<std::string> lines, const std::string& to = "All") {
    auto msg = base.NewMsg();
    msg->FromName = "Author";
    msg->ToName = to;
    msg->Subject = "Subject";
    for (auto& line : lines)
        msg->Body.emplace_back(std::move(line));
    EXPECT_TRUE(msg->Save());
    base.Rescan();
    return base.GetMsgId(base.GetCount() - 1);
}

TSqBaseHeader ReadHeader(const std::string& sqd) {
    std::string data = test::ReadFile(sqd);
    EXPECT_GE(data.size(), SqBaseHeaderSize);
    data.resize(std::max<size_t>(data.size(), SqBaseHeaderSize));
    return TSqBaseHeader::Decode(reinterpret_cast<const uint8_t*>(data.data()));
}

TSqFrameHeader ReadFrame(const std::string& sqd, uint32_t offset) {
    std::string data = test::ReadFile(sqd);
    return TSqFrameHeader::Decode(reinterpret_cast<const uint8_t*>(data.data()) + offset);
}

// Offsets along a chain, stopping after more links than the file could hold.
std::vector<uint32_t> Chain(const std::string& sqd, uint32_t first) {
    std::vector<uint32_t> offsets;
    for (uint32_t offset = first; offset != 0 && offsets.size() < 1000; offset = ReadFrame(sqd, offset).Next)
        offsets.push_back(offset);
    return offsets;
}

// The message chain must run both ways through the frames in index order.
void ExpectConsistent(const std::string& sqd, const std::vector<uint32_t>& indexOrder) {
    TSqBaseHeader header = ReadHeader(sqd);
    EXPECT_EQ(header.NumMsg, indexOrder.size());
    EXPECT_EQ(Chain(sqd, header.BeginFrame), indexOrder);
    uint32_t prev = 0;
    for (uint32_t offset : indexOrder) {
        EXPECT_EQ(ReadFrame(sqd, offset).Prev, prev);
        EXPECT_EQ(ReadFrame(sqd, offset).FrameType, SqFrameMessage);
        prev = offset;
    }
    EXPECT_EQ(header.LastFrame, prev);
    std::vector<uint32_t> free = Chain(sqd, header.FreeFrame);
    EXPECT_EQ(header.LastFreeFrame, free.empty() ? 0 : free.back());
    for (uint32_t offset : free)
        EXPECT_EQ(ReadFrame(sqd, offset).FrameType, SqFrameFree);
}

std::vector<uint32_t> IndexOffsets(const std::string& sqi) {
    std::vector<uint32_t> offsets;
    for (const TSqIndexRecord& r : DecodeSqIndex(test::ReadFile(sqi), SIZE_MAX))
        offsets.push_back(r.Offset);
    return offsets;
}

} // namespace

TEST(SquishBase, NewBaseAndFirstMessage) {
    TTempDir dir;
    const std::string sqd = dir.File("area.sqd");
    TOpenBase base(sqd);
    TSqBaseHeader header = ReadHeader(sqd);
    EXPECT_EQ(header.HeaderLength, 256);
    EXPECT_EQ(header.Uid, 1u);
    EXPECT_EQ(header.EndFrame, 256u);
    EXPECT_EQ(header.FrameHeaderSize, 28);
    EXPECT_EQ(test::ReadFile(dir.File("area.sqi")), "");
    EXPECT_EQ(base->GetCount(), 0);

    EXPECT_EQ(Post(*base.Base, {"Hello"}), 1u);
    header = ReadHeader(sqd);
    TSqFrameHeader frame = ReadFrame(sqd, 256);
    EXPECT_EQ(header.BeginFrame, 256u);
    EXPECT_EQ(header.EndFrame, 256 + 28 + frame.MsgLength);
    EXPECT_EQ(header.Uid, 2u);
    EXPECT_EQ(frame.FrameLength, frame.MsgLength);
    EXPECT_EQ(frame.CtrlLength, 1u); // no kludges: the zero byte alone
    EXPECT_EQ(test::ReadFile(dir.File("area.sqi")).size(), 12u);
    EXPECT_EQ(DecodeSqIndex(test::ReadFile(dir.File("area.sqi")), 1)[0].Hash, SquishHash("All"));
}

TEST(SquishBase, WrittenMessageReadsBackWhole) {
    TTempDir dir;
    TOpenBase base(dir.File("area.sqd"));
    auto msg = base->NewMsg();
    msg->FromName = std::string(36, 'F');
    msg->ToName = "Sysop";
    msg->Subject = base->CodePages.Display()->FromUtf8("Салют");
    msg->FromAddr.Parse("2:5020/100.7");
    msg->ToAddr.Parse("2:5030/200.1");
    msg->DateWritten = EncodeDateTime(2024, 1, 5, 10, 3, 0);
    msg->DateArrived = EncodeDateTime(2024, 1, 6, 11, 4, 2);
    msg->Attr = atPvt | atLoc | atKS | atDIR;
    msg->Kludges = {"\x01MSGID: 2:5020/100.7 12345678", "\x01"
                                                        "FLAGS DIR"};
    msg->Body = {{"Hello!"}, {""}, {"--- Tavro"}, {" * Origin: here (2:5020/100.7)"}, {""}};
    msg->Tail = {"SEEN-BY: 5020/1", "\x01PATH: 5020/1"};
    ASSERT_TRUE(msg->Save());
    EXPECT_EQ(msg->Body.size(), 4u);
    base->Rescan();
    TCustomMsg& read = *base->GetMsg(0);
    EXPECT_EQ(read.FromName, msg->FromName);
    EXPECT_EQ(read.ToName, "Sysop");
    EXPECT_EQ(read.Subject, msg->Subject);
    EXPECT_EQ(read.FromAddr.ToStr(), "2:5020/100.7");
    EXPECT_EQ(read.ToAddr.ToStr(), "2:5030/200.1");
    EXPECT_EQ(read.DateWritten, msg->DateWritten);
    EXPECT_EQ(read.DateArrived, msg->DateArrived);
    EXPECT_EQ(read.GetAttr(), atPvt | atLoc | atKS | atDIR);
    EXPECT_EQ(read.GetKludges(), msg->Kludges);
    EXPECT_EQ(BodyTexts(read),
              (std::vector<std::string>{"Hello!", "", "--- Tavro", " * Origin: here (2:5020/100.7)"}));
    EXPECT_EQ(read.GetTail(), msg->Tail);
}

TEST(SquishBase, ControlInformationWithoutZeroEndsItsLastKludge) {
    TTempDir dir;
    const std::string sqd = dir.File("area.sqd");
    {
        TOpenBase base(sqd);
        auto msg = base->NewMsg();
        msg->Kludges = {"\x01MSGID: 1:2/3 4", "\x01PID: x"};
        msg->Body = {{"text"}};
        ASSERT_TRUE(msg->Save());
    }
    // Replace the terminating zero of the control information by a letter.
    std::string data = test::ReadFile(sqd);
    const TSqFrameHeader frame = ReadFrame(sqd, 256);
    data[256 + 28 + 238 + frame.CtrlLength - 1] = 'Z';
    test::WriteFile(sqd, data);
    TOpenBase base(sqd);
    TCustomMsg& msg = *base->GetMsg(0);
    EXPECT_EQ(msg.GetKludges(), (TStringList{"\x01MSGID: 1:2/3 4", "\x01PID: xZ"}));
    EXPECT_EQ(BodyTexts(msg), (std::vector<std::string>{"text"}));
}

TEST(SquishBase, HeaderFieldsAreReadAsStored) {
    TTempDir dir;
    const std::string sqd = dir.File("area.sqd");
    TMsgId id;
    {
        TOpenBase base(sqd);
        id = Post(*base.Base, {"x"});
    }
    // Replies, reply-to, the Scanned bit and a date written two days ahead, as tossers set them.
    std::string data = test::ReadFile(sqd);
    uint8_t* header = reinterpret_cast<uint8_t*>(&data[256 + 28]);
    PutLE32(header + smAttr, 0x00010000 | 0x80000000 | 0x1);
    PutLE32(header + smReplyTo, 77);
    for (uint32_t i = 0, replies[] = {5, id, 9, 0, 11}; i < 5; ++i)
        PutLE32(header + smReplies + 4 * i, replies[i]);
    PutLE32(header + smDateWritten, DateTimeToDosDateFirst(Now() + 2));
    std::copy_n("07 Feb 21  13:14:15", 19, header + smDateString);
    test::WriteFile(sqd, data);

    TOpenBase base(sqd);
    auto msg = std::static_pointer_cast<TSquishMsg>(base->GetMsg(0));
    EXPECT_EQ(msg->ReplyTo, 77u);
    EXPECT_EQ(msg->Replies, (std::vector<TMsgId>{5, 9}));
    EXPECT_EQ(msg->DateWritten, EncodeDateTime(2021, 2, 7, 13, 14, 15));
    EXPECT_EQ(msg->GetAttr(), atScn | atPvt);

    // A copy keeps the header bits the model does not name, and loses the reply links.
    auto copy = base->NewMsg();
    copy->Assign(msg.get());
    ASSERT_TRUE(copy->Save());
    base->Rescan();
    auto stored = std::static_pointer_cast<TSquishMsg>(base->GetMsg(1));
    EXPECT_EQ(GetLE32(&stored->Header[smAttr]), 0x00010000u | 0x80000000u | 0x1u);
    EXPECT_EQ(stored->ReplyTo, 0u);
    EXPECT_TRUE(stored->Replies.empty());
}

TEST(SquishBase, DeletedFrameIsReusedFirstFit) {
    TTempDir dir;
    const std::string sqd = dir.File("area.sqd");
    TOpenBase base(sqd);
    TMsgId only = Post(*base.Base, {"a long line of text to leave room"});
    const uint32_t endBefore = ReadHeader(sqd).EndFrame;
    const uint32_t frameLength = ReadFrame(sqd, 256).FrameLength;
    ASSERT_TRUE(base->DeleteMsg(only));
    EXPECT_EQ(ReadHeader(sqd).FreeFrame, 256u);
    EXPECT_EQ(base->GetCount(), 0);

    EXPECT_EQ(Post(*base.Base, {"short"}), only + 1);
    EXPECT_EQ(ReadHeader(sqd).EndFrame, endBefore);
    EXPECT_EQ(ReadFrame(sqd, 256).FrameLength, frameLength);
    EXPECT_EQ(BodyTexts(*base->GetMsg(0)), (std::vector<std::string>{"short"}));
    ExpectConsistent(sqd, {256});

    // Too big for the free frame: it goes to the end.
    ASSERT_TRUE(base->DeleteMsg(only + 1));
    Post(*base.Base, {std::string(200, 'x')});
    EXPECT_EQ(IndexOffsets(dir.File("area.sqi")), (std::vector<uint32_t>{endBefore}));
    ExpectConsistent(sqd, {endBefore});
    EXPECT_EQ(ReadHeader(sqd).FreeFrame, 256u);
}

TEST(SquishBase, DeletesOneByOneAndInOnePass) {
    for (bool onePass : {false, true}) {
        SCOPED_TRACE(onePass ? "one pass" : "one by one");
        TTempDir dir;
        const std::string sqd = dir.File("area.sqd");
        TOpenBase base(sqd);
        for (int i = 0; i < 8; ++i)
            Post(*base.Base, {"message " + std::to_string(i)});
        std::vector<uint32_t> offsets = IndexOffsets(dir.File("area.sqi"));
        const std::vector<TMsgId> gone = {1, 4, 5, 8};
        std::vector<int> progress;
        if (onePass) {
            ASSERT_TRUE(base->DeleteMsgs(gone, [&](int p) { progress.push_back(p); }));
            EXPECT_EQ(progress.front(), 0);
            EXPECT_EQ(progress.back(), 100);
            EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        } else {
            for (TMsgId id : gone)
                ASSERT_TRUE(base->DeleteMsg(id));
        }
        base->Rescan();
        EXPECT_EQ(Ids(*base.Base), (std::vector<TMsgId>{2, 3, 6, 7}));
        EXPECT_EQ(BodyTexts(*base->GetMsg(2)), (std::vector<std::string>{"message 5"}));
        ExpectConsistent(sqd, {offsets[1], offsets[2], offsets[5], offsets[6]});
        EXPECT_EQ(Chain(sqd, ReadHeader(sqd).FreeFrame).size(), 4u);
        EXPECT_EQ(ReadHeader(sqd).HighMsg, 4u);
        // The freed frames serve the next messages.
        Post(*base.Base, {"reuse"});
        EXPECT_EQ(Chain(sqd, ReadHeader(sqd).FreeFrame).size(), 3u);
        ExpectConsistent(sqd, IndexOffsets(dir.File("area.sqi")));
    }
}

// Another tool left the index out of order: a new UMSGID passes the highest one, wherever it
// stands, or two messages would answer to the same id.
TEST(SquishBase, NewIdPassesTheHighestInAnIndexOutOfOrder) {
    TTempDir dir;
    const std::string sqd = dir.File("area.sqd"), sqi = dir.File("area.sqi");
    {
        TOpenBase base(sqd);
        for (int i = 0; i < 3; ++i)
            Post(*base.Base, {"message " + std::to_string(i)});
    }
    std::string index = test::ReadFile(sqi);
    ASSERT_EQ(index.size(), 36u);
    PutLE32(&index[4], 10); // the first record's UMSGID
    test::WriteFile(sqi, index);

    TOpenBase base(sqd);
    EXPECT_EQ(Ids(*base.Base), (std::vector<TMsgId>{10, 2, 3}));
    auto msg = base->NewMsg();
    msg->Body = {{"new"}};
    ASSERT_TRUE(msg->Save());
    base->Rescan();
    EXPECT_EQ(Ids(*base.Base), (std::vector<TMsgId>{10, 2, 3, 11}));
    EXPECT_EQ(BodyTexts(*base->GetMsg(base->IndexOfId(10))), (std::vector<std::string>{"message 0"}));
    EXPECT_EQ(BodyTexts(*base->GetMsg(base->IndexOfId(11))), (std::vector<std::string>{"new"}));

    // Past the highest UMSGID there is none left: the append fails rather than repeat one.
    index = test::ReadFile(sqi);
    PutLE32(&index[4], NoMsgId);
    test::WriteFile(sqi, index);
    base->Rescan();
    const std::string sqdBefore = test::ReadFile(sqd), sqiBefore = test::ReadFile(sqi);
    test::TRecordingUi ui;
    auto full = base->NewMsg();
    full->Body = {{"no room"}};
    EXPECT_FALSE(full->Save());
    EXPECT_EQ(ui.Errors, (std::vector<std::string>{"Can't open message base file."}));
    EXPECT_EQ(test::ReadFile(sqd), sqdBefore);
    EXPECT_EQ(test::ReadFile(sqi), sqiBefore);
}

TEST(SquishBase, LastReadAndReadMarksBesideTheBase) {
    TTempDir dir;
    const std::string sqd = dir.File("AREA.SQD");
    {
        TOpenBase base(sqd);
        Post(*base.Base, {"a"});
        Post(*base.Base, {"b"});
        base->SetUser(2, "Reader");
        EXPECT_EQ(base->GetLastRead(), 0u);
        EXPECT_EQ(base->FindNearest(base->GetLastRead()), 0);
        base->SetLastRead(2);
        base->SetRead(1, true);
    }
    EXPECT_EQ(test::ReadFile(dir.File("AREA.SQL")), std::string(8, '\0') + std::string("\x02\0\0\0", 4));
    EXPECT_EQ(ParseReadings(test::ReadFile(dir.File("AREA.SQR"))).size(), 1u);
    TOpenBase base(dir.File("area.sqd")); // found whatever the case
    base->SetUserIndex(2);
    EXPECT_EQ(base->GetLastRead(), 2u);
    EXPECT_TRUE(base->IsRead(1));
    EXPECT_FALSE(base->IsRead(2));
}

TEST(SquishBase, NoticesChangesByFileTime) {
    TTempDir dir;
    const std::string sqd = dir.File("area.sqd");
    TOpenBase reader(sqd);
    EXPECT_FALSE(reader->IsChanged());
    {
        TOpenBase writer(sqd);
        Post(*writer.Base, {"x"});
    }
    EXPECT_TRUE(reader->IsChanged());
    reader->Rescan();
    EXPECT_FALSE(reader->IsChanged());
    EXPECT_EQ(reader->GetCount(), 1);
    reader->Invalidate();
    EXPECT_TRUE(reader->IsChanged());
}

namespace {

void SetLE32(std::string& s, size_t at, uint32_t v) {
    PutLE32(&s[at], v);
}

// The frame of the second message, as its index record names it.
size_t Second(const std::string& index) {
    return GetLE32(&index[12]);
}

enum TOutcome { Works, Fails };

// One corruption of a base of three messages, and what each operation must then do. A
// failing read throws (the area shows as locked); a failing change shows an error box and
// leaves the data file as it was.
struct TDamage {
    const char* Name;
    void (*Apply)(std::string& data, std::string& index);
    TOutcome List, ReadAll, Append, DeleteSecond;
};

} // namespace

TEST(SquishBase, DamagedBasesFailWithoutFurtherDamage) {
    const TDamage damages[] = {
        {"count above the index", [](std::string& d, std::string&) { SetLE32(d, 4, 4); }, Fails, Fails, Fails,
         Fails},
        {"huge count", [](std::string& d, std::string&) { SetLE32(d, 4, 0x7FFFFFFF); }, Fails, Fails, Fails,
         Fails},
        {"header cut short", [](std::string& d, std::string&) { d.resize(100); }, Fails, Fails, Fails, Fails},
        {"frame beyond the file", [](std::string&, std::string& i) { SetLE32(i, 12, 0x7FFFFFF0); }, Works,
         Fails, Works, Fails},
        {"frame inside the header", [](std::string&, std::string& i) { SetLE32(i, 12, 10); }, Works, Fails,
         Works, Fails},
        {"frame without signature", [](std::string& d, std::string& i) { SetLE32(d, Second(i), 0); }, Works,
         Fails, Works, Fails},
        {"message longer than the file",
         [](std::string& d, std::string& i) { SetLE32(d, Second(i) + 16, 0x10000000); }, Works, Fails, Works,
         Works},
        {"control information longer than the message",
         [](std::string& d, std::string& i) { SetLE32(d, Second(i) + 20, 0x10000); }, Works, Fails, Works,
         Works},
        {"indexed frame marked free", [](std::string& d, std::string& i) { d[Second(i) + 24] = 1; }, Works,
         Fails, Works, Fails},
        {"free chain loops",
         [](std::string& d, std::string& i) {
             const size_t f = Second(i);
             SetLE32(d, 112, uint32_t(f));
             d[f + 24] = 1;
             SetLE32(d, f + 4, uint32_t(f));
             SetLE32(d, f + 12, 1);
         },
         Works, Fails, Fails, Fails},
        // New frames go at the real end of the file, whatever the header says.
        {"end mark inside the file", [](std::string& d, std::string&) { SetLE32(d, 120, 300); }, Works, Works,
         Works, Works},
    };
    for (const TDamage& damage : damages) {
        SCOPED_TRACE(damage.Name);
        TTempDir dir;
        const std::string sqd = dir.File("area.sqd"), sqi = dir.File("area.sqi");
        {
            TOpenBase base(sqd);
            for (int i = 0; i < 3; ++i)
                Post(*base.Base, {"message " + std::to_string(i)});
        }
        std::string data = test::ReadFile(sqd), index = test::ReadFile(sqi);
        damage.Apply(data, index);
        test::WriteFile(sqd, data);
        test::WriteFile(sqi, index);

        TBaseRef baseRef = TBaseRef::Adopt(new TSquishBase(sqd, "TEST.ECHO", ""));
        auto* base = static_cast<TSquishBase*>(baseRef.Get());
        auto outcome = [](auto&& operation) {
            try {
                operation();
                return Works;
            } catch (const EFileError&) {
                return Fails;
            }
        };
        EXPECT_EQ(outcome([&] { base->Rescan(); }), damage.List);
        EXPECT_EQ(outcome([&] {
                      for (int i = 0; i < base->GetCount(); ++i)
                          BodyTexts(*base->GetMsg(i));
                      if (base->GetCount() == 0)
                          throw EFileError("nothing listed", 0);
                  }),
                  damage.ReadAll);
        struct {
            TOutcome Expected;
            std::function<bool()> Change;
            bool Listed; // works on a message of the list
        } changes[] = {{damage.Append,
                        [&] {
                            auto msg = base->NewMsg();
                            msg->Body = {{"new"}};
                            return msg->Save();
                        },
                        false},
                       {damage.DeleteSecond, [&] { return base->DeleteMsg(2); }, true}};
        for (const auto& change : changes) {
            test::TRecordingUi ui;
            const std::string before = test::ReadFile(sqd);
            const bool done = change.Change();
            EXPECT_EQ(done ? Works : Fails, change.Expected);
            if (!done) {
                // Without a list there is no message 2 to delete, and nothing to report.
                EXPECT_EQ(ui.Errors.size(), change.Listed && !base->HasList() ? 0u : 1u);
                EXPECT_EQ(test::ReadFile(sqd), before);
            }
        }
        baseRef.Reset();
    }
}

TEST(SquishBase, DeletingBelowTheHighWaterMarkLowersIt) {
    // Each step deletes these UMSGIDs (one through DeleteMsg, several through DeleteMsgs) of a
    // base of five, whose ids start as their message numbers; the mark after the step.
    struct TStep {
        std::vector<TMsgId> Ids;
        uint32_t Mark;
    };
    struct {
        const char* Name;
        uint32_t Mark;
        std::vector<TStep> Steps;
    } cases[] = {
        {"below the mark, then the last one", 3, {{{2}, 2}, {{5}, 2}}},
        {"the marked message itself", 3, {{{3}, 2}}},
        {"just above the mark", 3, {{{4}, 3}}},
        {"every exported message at once", 3, {{{1, 2, 3}, 0}}},
        {"one below and one above at once", 3, {{{2, 5}, 2}}},
        {"no mark", 0, {{{1}, 0}, {{2, 3}, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        const std::string sqd = dir.File("area.sqd");
        {
            TOpenBase base(sqd);
            for (int i = 0; i < 5; ++i)
                Post(*base.Base, {"message " + std::to_string(i)});
        }
        std::string data = test::ReadFile(sqd);
        PutLE32(&data[16], c.Mark);
        test::WriteFile(sqd, data);
        TOpenBase base(sqd);
        for (const TStep& step : c.Steps) {
            ASSERT_TRUE(step.Ids.size() == 1 ? base->DeleteMsg(step.Ids[0])
                                             : base->DeleteMsgs(step.Ids, nullptr));
            base->Rescan();
            EXPECT_EQ(ReadHeader(sqd).HighWater, step.Mark);
            ExpectConsistent(sqd, IndexOffsets(dir.File("area.sqi")));
        }
    }
}

TEST(SquishBase, IndexHashIsOverTheNameAsStored) {
    // "Иван Петров" in CP866; an area that drops SoftCR stores the small ER as a Latin p.
    const struct {
        bool KeepSoftCR;
        std::string Stored;
    } cases[] = {
        {true, "\x88\xA2\xA0\xAD \x8F\xA5\xE2\xE0\xAE\xA2"},
        {false, "\x88\xA2\xA0\xAD \x8F\xA5\xE2p\xAE\xA2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.KeepSoftCR ? "keeps SoftCR" : "drops SoftCR");
        TTempDir dir;
        const std::string sqd = dir.File("area.sqd");
        TOpenBase base(sqd);
        base->DoNotIgnoreSoftCR = c.KeepSoftCR;
        const std::string name = base->CodePages.Display()->FromUtf8("Иван Петров");
        Post(*base.Base, {"x"}, name);
        EXPECT_EQ(test::ReadFile(sqd).substr(256 + 28 + smTo, c.Stored.size() + 1), c.Stored + '\0');
        const uint32_t hash = DecodeSqIndex(test::ReadFile(dir.File("area.sqi")), 1).at(0).Hash;
        EXPECT_EQ(hash, SquishHash(c.Stored));
        EXPECT_NE(hash, SquishHash(name));
        if (c.KeepSoftCR) {
            EXPECT_EQ(c.Stored, base->CodePages.DisplayToOem(name));
            EXPECT_EQ(hash, 0x79A4CBF2u);
            EXPECT_EQ(base->GetMsg(0)->ToName, name);
        }
    }
}

TEST(SquishBase, ListedMessageSavesBeforeItsTextIsRead) {
    TTempDir dir;
    const std::string sqd = dir.File("area.sqd");
    TOpenBase base(sqd);
    auto msg = base->NewMsg();
    msg->ToName = "Sysop";
    msg->Kludges = {"\x01MSGID: 2:5020/1 1"};
    msg->Body = {{"first"}, {"second"}};
    msg->Tail = {"SEEN-BY: 5020/1"};
    ASSERT_TRUE(msg->Save());
    base->Rescan();
    TMsgHandle listed = base->GetMsg(0);
    ASSERT_FALSE(listed->Loaded);
    // Reading the text must not wait for the write lock the save itself takes.
    test::TRecordingUi ui;
    ASSERT_TRUE(listed->Save());
    EXPECT_TRUE(ui.Errors.empty());
    base->Rescan();
    ASSERT_EQ(base->GetCount(), 2);
    for (int i = 0; i < 2; ++i) {
        TCustomMsg& read = *base->GetMsg(i);
        EXPECT_EQ(read.ToName, "Sysop") << i;
        EXPECT_EQ(read.GetKludges(), msg->Kludges) << i;
        EXPECT_EQ(BodyTexts(read), (std::vector<std::string>{"first", "second"})) << i;
        EXPECT_EQ(read.GetTail(), msg->Tail) << i;
    }
    ExpectConsistent(sqd, IndexOffsets(dir.File("area.sqi")));
}

TEST(SquishBase, HeaderAddressesOutliveLoadingTheText) {
    TTempDir dir;
    TOpenBase base(dir.File("area.sqd"), "");
    auto msg = base->NewMsg();
    msg->FromAddr.Parse("2:5020/100.7");
    msg->ToAddr.Parse("1:5030/200.1");
    msg->Body = {{"no kludge, no origin line"}};
    ASSERT_TRUE(msg->Save());
    base->Rescan();
    TCustomMsg& read = *base->GetMsg(0);
    ASSERT_FALSE(read.Loaded);
    EXPECT_EQ(read.FromAddr.ToStr(), "2:5020/100.7");
    EXPECT_EQ(BodyTexts(read), (std::vector<std::string>{"no kludge, no origin line"}));
    // The text has nothing to say about the addresses: the header's stay.
    EXPECT_EQ(read.FromAddr.ToStr(), "2:5020/100.7");
    EXPECT_EQ(read.ToAddr.ToStr(), "1:5030/200.1");
}

// The thread kludges are read with the header as far as the start of the text tells where the
// kludges end; where it cannot, they wait for the text, and agree with it either way.
TEST(SquishBase, ThreadKludgesFromTheControlInformationAndTheTextStart) {
    struct TCase {
        const char* Name;
        TStringList Kludges;
        std::vector<std::string> Body;
        bool WithHeader;
        std::string MsgId;
        std::string Reply;
    };
    const std::vector<TCase> cases = {
        {"kludges go on at the start of the text",
         {"\x01MSGID: 1:2/3 a"},
         {"\x01REPLY: 1:2/4 b", "text"},
         true,
         "1:2/3 a",
         "1:2/4 b"},
        {"no text at all", {"\x01PID: x"}, {}, true, "", ""},
        {"the first kludge wins", {"\x01msgid: first", "\x01MSGID: second"}, {"text"}, true, "first", ""},
        {"a kludge of the text runs past the start",
         {},
         {"\x01X-LONG: " + std::string(100, 'x'), "\x01MSGID: 1:2/3 late", "text"},
         false,
         "1:2/3 late",
         ""},
        {"control information longer than a header read",
         {"\x01X-BIG: " + std::string(20000, 'x'), "\x01REPLY: 1:2/3 big"},
         {"text"},
         false,
         "",
         "1:2/3 big"},
    };
    TTempDir dir;
    TOpenBase base(dir.File("area.sqd"));
    for (const TCase& c : cases) {
        auto msg = base->NewMsg();
        msg->Kludges = c.Kludges;
        for (const std::string& line : c.Body)
            msg->Body.emplace_back(line);
        ASSERT_TRUE(msg->Save()) << c.Name;
    }
    base->Rescan();
    for (size_t i = 0; i < cases.size(); ++i) {
        const TCase& c = cases[i];
        SCOPED_TRACE(c.Name);
        TMsgHandle msg = base->GetMsg(static_cast<int>(i));
        EXPECT_FALSE(msg->Loaded);
        EXPECT_EQ(msg->ThreadKludgesRead, c.WithHeader);
        if (c.WithHeader) {
            EXPECT_EQ(msg->MsgIdKludge, c.MsgId);
            EXPECT_EQ(msg->ReplyKludge, c.Reply);
        }
        msg->GetKludges();
        EXPECT_TRUE(msg->ThreadKludgesRead);
        EXPECT_EQ(msg->MsgIdKludge, c.MsgId);
        EXPECT_EQ(msg->ReplyKludge, c.Reply);
        EXPECT_EQ(msg->GetKludge("MSGID:"), c.MsgId);
    }
}
