// Copying and moving between areas one message at a time, as the reader's transfer dialog
// and `tavro-cli copy` do: what reaches the target, what leaves the source, and what a
// refused write or delete leaves behind.
#include "reader/MsgTransfer.h"

#include "bases/BaseFactory.h"
#include "bases/JamFormat.h"
#include "bases/SquishFormat.h"
#include "core/FileChangeHook.h"

#include "BaseHelpers.h"
#include "FileFaults.h"
#include "RecordingUi.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::BodyTexts;
using tavro::test::Ids;
using tavro::test::Snapshot;
using tavro::test::TTempDir;

namespace {

std::string PathIn(const TTempDir& dir, TBaseType type) {
    return type == btMsg ? dir.File("area") : type == btSquish ? dir.File("area.sqd") : dir.File("area.jhr");
}

// A base of the type in its own directory holding "Message 1" .. "Message count".
TBaseRef MakeArea(TBaseType type, const TTempDir& dir, int count) {
    // A *.MSG area is a directory the user makes.
    if (type == btMsg)
        std::filesystem::create_directories(PathIn(dir, type));
    TBaseRef base = NewBase(type, PathIn(dir, type), "TEST.AREA", "");
    EXPECT_TRUE(base->CreateIfMissing());
    base->Rescan();
    for (int n = 1; n <= count; ++n) {
        std::unique_ptr<TCustomMsg> msg = base->NewMsg();
        msg->FromName = "Ivan Petrov";
        msg->ToName = "All";
        msg->Subject = "Message " + std::to_string(n);
        msg->Kludges = {"\x01MSGID: 2:5020/1 " + std::to_string(1000 + n)};
        msg->Body = {TBodyLine("Text of " + std::to_string(n)), TBodyLine("--- Tavro")};
        EXPECT_TRUE(msg->Save());
    }
    base->Rescan();
    return base;
}

std::vector<std::string> Subjects(TCustomBase& base) {
    base.Rescan();
    std::vector<std::string> subjects;
    for (int p = 0; p < base.GetCount(); ++p)
        subjects.push_back(base.GetMsg(p)->Subject);
    return subjects;
}

std::vector<std::string> Numbered(int from, int to) {
    std::vector<std::string> subjects;
    for (int n = from; n <= to; ++n)
        subjects.push_back("Message " + std::to_string(n));
    return subjects;
}

// Refuses every write to the files under a directory while it lives, as a full disk would;
// removing files still works.
class TRefuseWritesUnder {
public:
    explicit TRefuseWritesUnder(const std::string& dir) {
        SetFileChangeHook([prefix = dir + "/"](TFileChange change, const std::string& name) {
            return change == TFileChange::Write && name.starts_with(prefix) ? 28 /* ENOSPC */ : 0;
        });
    }
    ~TRefuseWritesUnder() { SetFileChangeHook({}); }
};

// Steps through the ids as the transfer dialog does, flushing every CloseBatch messages
// and at the end; the ids each flush reported done.
std::vector<TMsgId> Transfer(TMsgTransfer& transfer, const std::vector<TMsgId>& ids) {
    std::vector<TMsgId> done;
    auto flush = [&] {
        TTransferBatch batch = transfer.Flush();
        EXPECT_TRUE(batch.CopiedNotDeleted.empty());
        done.insert(done.end(), batch.Done.begin(), batch.Done.end());
    };
    for (size_t k = 0; k < ids.size(); ++k) {
        EXPECT_TRUE(transfer.Step(ids[k])) << ids[k] << ": " << transfer.LastError();
        if (k % TMsgTransfer::CloseBatch == TMsgTransfer::CloseBatch - 1)
            flush();
    }
    flush();
    return done;
}

// --- the formats' own consistency, read straight from the files ---

const uint8_t* At(const std::string& data, size_t offset) {
    return reinterpret_cast<const uint8_t*>(data.data() + offset);
}

// The frame chain runs both ways through the frames in index order, every frame inside the
// file; the free chain holds free frames only.
void ExpectSquishSound(const std::string& sqd, size_t count) {
    const std::string data = test::ReadFile(sqd);
    ASSERT_GE(data.size(), SqBaseHeaderSize);
    const TSqBaseHeader header = TSqBaseHeader::Decode(At(data, 0));
    const std::string sqi = test::ReadFile(sqd.substr(0, sqd.size() - 1) + "i");
    ASSERT_EQ(sqi.size() % SqIndexRecordSize, 0u);
    const std::vector<TSqIndexRecord> index = DecodeSqIndex(sqi, SIZE_MAX);
    EXPECT_EQ(header.NumMsg, count);
    ASSERT_EQ(index.size(), count);
    auto frameAt = [&](uint32_t offset) {
        EXPECT_LE(uint64_t(offset) + SqFrameHeaderSize, header.EndFrame);
        EXPECT_LE(header.EndFrame, data.size());
        TSqFrameHeader frame = TSqFrameHeader::Decode(At(data, std::min<size_t>(offset, data.size() - 28)));
        EXPECT_EQ(frame.Id, SqFrameSignature);
        EXPECT_LE(uint64_t(offset) + SqFrameHeaderSize + frame.FrameLength, header.EndFrame);
        return frame;
    };
    uint32_t previous = 0, offset = header.BeginFrame;
    for (size_t k = 0; k < count; ++k) {
        ASSERT_EQ(offset, index[k].Offset) << k;
        const TSqFrameHeader frame = frameAt(offset);
        EXPECT_EQ(frame.FrameType, SqFrameMessage);
        EXPECT_EQ(frame.Prev, previous);
        EXPECT_LE(frame.MsgLength, frame.FrameLength);
        if (k > 0) {
            EXPECT_LT(index[k - 1].UmsgId, index[k].UmsgId);
        }
        previous = offset;
        offset = frame.Next;
    }
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(header.LastFrame, previous);
    previous = 0;
    size_t free = 0;
    for (offset = header.FreeFrame; offset != 0 && free <= data.size() / SqFrameHeaderSize; ++free) {
        const TSqFrameHeader frame = frameAt(offset);
        EXPECT_EQ(frame.FrameType, SqFrameFree);
        previous = offset;
        offset = frame.Next;
    }
    EXPECT_EQ(header.LastFreeFrame, previous);
}

// Every index record points at a signed header of its own number inside the file, whose
// subfields add up and whose text lies inside the text file; the live ones are counted.
void ExpectJamSound(const std::string& jhr, size_t count) {
    const std::string headers = test::ReadFile(jhr);
    const std::string stem = jhr.substr(0, jhr.size() - 3);
    const std::string texts = test::ReadFile(stem + "jdt");
    ASSERT_GE(headers.size(), JamBaseHeaderSize);
    const TJamBaseHeader base = TJamBaseHeader::Decode(At(headers, 0));
    EXPECT_TRUE(base.HasSignature());
    size_t live = 0;
    const std::vector<TJamIndexRecord> index = DecodeJamIndex(test::ReadFile(stem + "jdx"));
    for (size_t slot = 0; slot < index.size(); ++slot) {
        if (index[slot].IsEmpty())
            continue;
        const uint32_t at = index[slot].HeaderOffset;
        ASSERT_LE(uint64_t(at) + JamMsgHeaderSize, headers.size()) << slot;
        EXPECT_EQ(headers.substr(at, 4), JamSignature) << slot;
        EXPECT_EQ(GetLE32(At(headers, at + jhMsgNum)), base.BaseMsgNum + slot) << slot;
        const uint32_t subfields = GetLE32(At(headers, at + jhSubfieldLen));
        ASSERT_LE(uint64_t(at) + JamMsgHeaderSize + subfields, headers.size()) << slot;
        EXPECT_TRUE(ParseJamSubfields(std::string_view(headers).substr(at + JamMsgHeaderSize, subfields),
                                      [](const TJamSubfield&) {}))
            << slot;
        EXPECT_LE(uint64_t(GetLE32(At(headers, at + jhTxtOffset))) + GetLE32(At(headers, at + jhTxtLen)),
                  texts.size())
            << slot;
        if ((GetLE32(At(headers, at + jhAttribute)) & JamDeleted) == 0)
            ++live;
    }
    EXPECT_EQ(live, count);
    EXPECT_EQ(base.ActiveMsgs, count);
}

void ExpectSound(TBaseType type, const TTempDir& dir, size_t count) {
    if (type == btSquish)
        ExpectSquishSound(PathIn(dir, type), count);
    else if (type == btJam)
        ExpectJamSound(PathIn(dir, type), count);
}

class MsgTransferTest : public ::testing::Test {
protected:
    test::TRecordingUi Ui;
    TTempDir SourceDir, TargetDir;
};

} // namespace

TEST_F(MsgTransferTest, CopyAddsToTheTargetAndLeavesTheSource) {
    TBaseRef source = MakeArea(btSquish, SourceDir, 5);
    TBaseRef target = MakeArea(btMsg, TargetDir, 1);
    const auto before = Snapshot(SourceDir.Path());
    const std::vector<TMsgId> ids = Ids(*source);
    TMsgTransfer transfer(*source, *target, false);
    const std::vector<TMsgId> chosen = {ids[0], ids[2], ids[4]};

    EXPECT_EQ(Transfer(transfer, chosen), chosen);
    EXPECT_EQ(Snapshot(SourceDir.Path()), before);
    EXPECT_EQ(Subjects(*source), Numbered(1, 5));
    EXPECT_EQ(Subjects(*target),
              (std::vector<std::string>{"Message 1", "Message 1", "Message 3", "Message 5"}));
    TMsgHandle copy = target->GetMsg(2);
    EXPECT_EQ(test::BodyTexts(*copy), (std::vector<std::string>{"Text of 3", "--- Tavro"}));
    EXPECT_EQ(copy->GetKludge("MSGID:"), "2:5020/1 1003");
    EXPECT_TRUE(Ui.Errors.empty()) << Ui.Errors.front();
}

TEST_F(MsgTransferTest, AMoveStoppedAfterTwentyOfFiftyMovesJustThoseTwenty) {
    TBaseRef source = MakeArea(btSquish, SourceDir, 50);
    TBaseRef target = MakeArea(btJam, TargetDir, 0);
    const std::vector<TMsgId> ids = Ids(*source);
    TMsgTransfer transfer(*source, *target, true);
    const std::vector<TMsgId> first20(ids.begin(), ids.begin() + 20);

    EXPECT_EQ(Transfer(transfer, first20), first20);
    EXPECT_EQ(Subjects(*target), Numbered(1, 20));
    EXPECT_EQ(Subjects(*source), Numbered(21, 50));
    EXPECT_EQ(Ids(*source), std::vector<TMsgId>(ids.begin() + 20, ids.end()));
    ExpectSound(btSquish, SourceDir, 30);
    ExpectSound(btJam, TargetDir, 20);
}

TEST_F(MsgTransferTest, AMoveBetweenSquishAndJamLeavesBothBasesSound) {
    for (auto [from, to] : {std::pair{btSquish, btJam}, std::pair{btJam, btSquish}}) {
        SCOPED_TRACE(testing::Message() << int(from) << " to " << int(to));
        TTempDir sourceDir, targetDir;
        TBaseRef source = MakeArea(from, sourceDir, 20);
        TBaseRef target = MakeArea(to, targetDir, 3);
        TMsgTransfer transfer(*source, *target, true);
        const std::vector<TMsgId> ids = Ids(*source);

        EXPECT_EQ(Transfer(transfer, ids), ids);
        std::vector<std::string> expected = Numbered(1, 3);
        for (const std::string& subject : Numbered(1, 20))
            expected.push_back(subject);
        EXPECT_EQ(Subjects(*target), expected);
        EXPECT_EQ(source->GetCount(), 0);
        // Both read afresh, as another program would.
        source.Reset();
        target.Reset();
        ExpectSound(from, sourceDir, 0);
        ExpectSound(to, targetDir, 23);
        TBaseRef reread = NewBase(to, PathIn(targetDir, to), "", "");
        EXPECT_EQ(Subjects(*reread), expected);
    }
}

TEST_F(MsgTransferTest, AMoveWhoseDeleteFailsIsRememberedAndNeverCopiedAgain) {
    TBaseRef source = MakeArea(btSquish, SourceDir, 3);
    TBaseRef target = MakeArea(btJam, TargetDir, 0);
    const std::vector<TMsgId> ids = Ids(*source);
    TCopiedIds copied;
    {
        const auto before = Snapshot(SourceDir.Path());
        TRefuseWritesUnder refuse(SourceDir.Path());
        TMsgTransfer move(*source, *target, true, &copied);
        EXPECT_TRUE(move.Step(ids[1]));
        const TTransferBatch batch = move.Flush();
        EXPECT_TRUE(batch.Done.empty());
        EXPECT_EQ(batch.CopiedNotDeleted, std::vector<TMsgId>{ids[1]});
        EXPECT_EQ(copied, TCopiedIds{ids[1]});
        EXPECT_EQ(Snapshot(SourceDir.Path()), before);
        EXPECT_EQ(Ui.Errors.size(), 1u);
    }
    EXPECT_EQ(Subjects(*target), Numbered(2, 2));

    // A copy copies it as any other.
    TMsgTransfer copy(*source, *target, false, &copied);
    EXPECT_TRUE(copy.Step(ids[1]));
    EXPECT_EQ(copy.Flush().Done, std::vector<TMsgId>{ids[1]});
    EXPECT_EQ(Subjects(*target), (std::vector<std::string>{"Message 2", "Message 2"}));

    // Moving it again only deletes it; the other one moves whole.
    TMsgTransfer again(*source, *target, true, &copied);
    EXPECT_TRUE(again.Step(ids[1]));
    EXPECT_TRUE(again.Step(ids[2]));
    const TTransferBatch batch = again.Flush();
    EXPECT_EQ(batch.Done, (std::vector<TMsgId>{ids[1], ids[2]}));
    EXPECT_TRUE(batch.CopiedNotDeleted.empty());
    EXPECT_TRUE(copied.empty());
    EXPECT_EQ(Subjects(*target), (std::vector<std::string>{"Message 2", "Message 2", "Message 3"}));
    EXPECT_EQ(Subjects(*source), Numbered(1, 1));
    EXPECT_EQ(Ui.Errors.size(), 1u);
}

TEST_F(MsgTransferTest, AFailedStepLeavesBothBasesAsTheyWere) {
    for (TBaseType type : {btMsg, btSquish, btJam}) {
        SCOPED_TRACE(int(type));
        TTempDir sourceDir, targetDir;
        TBaseRef source = MakeArea(btSquish, sourceDir, 2);
        TBaseRef target = MakeArea(type, targetDir, 1);
        const std::vector<TMsgId> ids = Ids(*source);
        const auto sourceBefore = Snapshot(sourceDir.Path());
        const auto targetBefore = Snapshot(targetDir.Path());
        TMsgTransfer transfer(*source, *target, true);
        {
            TRefuseWritesUnder refuse(targetDir.Path());
            EXPECT_FALSE(transfer.Step(ids[0]));
        }
        EXPECT_EQ(transfer.LastError(), "the target refused it");
        EXPECT_FALSE(transfer.Step(NoMsgId - 1));
        EXPECT_EQ(transfer.LastError(), "it is no longer in the source");
        const TTransferBatch batch = transfer.Flush();
        EXPECT_TRUE(batch.Done.empty());
        EXPECT_TRUE(batch.CopiedNotDeleted.empty());
        EXPECT_EQ(Snapshot(targetDir.Path()), targetBefore);
        EXPECT_EQ(Snapshot(sourceDir.Path()), sourceBefore);
    }
}

TEST_F(MsgTransferTest, AStepCutAtAnyFileChangeIsWholeOrAbsent) {
    // Whichever change of the target's files fails, the target holds the copy whole or not
    // at all, and the source keeps the message.
    for (int k = 1;; ++k) {
        SCOPED_TRACE(k);
        TTempDir sourceDir, targetDir;
        TBaseRef source = MakeArea(btSquish, sourceDir, 1);
        TBaseRef target = MakeArea(btJam, targetDir, 1);
        const auto targetBefore = Snapshot(targetDir.Path());
        TMsgTransfer transfer(*source, *target, true);
        bool stepped, hit;
        {
            test::TFileChangeFault fault(k);
            stepped = transfer.Step(source->GetMsgId(0));
            hit = fault.Hit();
        }
        if (!hit) {
            EXPECT_TRUE(stepped);
            break;
        }
        if (stepped) {
            EXPECT_EQ(Subjects(*target), (std::vector<std::string>{"Message 1", "Message 1"}));
        } else {
            EXPECT_EQ(Snapshot(targetDir.Path()), targetBefore);
        }
        transfer.Flush();
        EXPECT_EQ(Subjects(*source), stepped ? std::vector<std::string>{} : Numbered(1, 1));
        ExpectSound(btJam, targetDir, stepped ? 2 : 1);
    }
}
