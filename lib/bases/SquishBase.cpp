#include "SquishBase.h"

#include "IndexRead.h"
#include "LastReadFile.h"

#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/Endian.h"
#include "core/FileTransaction.h"
#include "core/StorageText.h"
#include "core/StrUtils.h"
#include "core/SysInfo.h"
#include "core/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace tavro {

namespace {

constexpr int SquishBufSize = 16384;
// Header bits a copy keeps from its source: Scanned and whatever the model does not name.
constexpr uint32_t KeptAttrBits = 0xFFFF0400;
// Read with a header beyond the control information: where the text starts, which tells
// that no kludge follows.
constexpr uint32_t TextPeekBytes = 64;
// No more is read with a header; longer control information is left to the text load.
constexpr uint32_t MaxHeaderStartBytes = 16384;

const TLastReadFile LastReadFile(4, ShortOpenTimeoutMs);

void Damaged(const std::string& what) {
    throw EDamagedBase(what);
}

// The open files of one operation on a base, with the checks that keep a damaged base
// from being read past its end or damaged further.
class TSquishFiles {
public:
    TSquishFiles(const TSquishBase& base, bool write, bool withIndex, int indexTimeoutMs = OpenTimeoutMs)
        : DataName(base.DataFileName()) {
        const TOpenMode mode = write ? TOpenMode::ReadWriteExclusive : TOpenMode::Read;
        OwnedData = OpenWithRetry(DataName, mode, SquishBufSize, OpenTimeoutMs,
                                  write ? TByteLock::Write : TByteLock::Read);
        Data = OwnedData.get();
        DataSize = Data->Size();
        if (DataSize < SqBaseHeaderSize)
            Damaged("\"" + DataName + "\" is shorter than a Squish header");
        if (withIndex)
            Index = OpenWithRetry(base.IndexFileName(), mode, SquishBufSize, indexTimeoutMs);
    }

    // Over a data file already open and locked for reading, whose listed frames lie within
    // `size` (a read past the real end still fails).
    TSquishFiles(std::string dataName, TBufStream& data, int64_t size)
        : DataName(std::move(dataName)), Data(&data), DataSize(size) {}

    TSqBaseHeader ReadHeader() {
        uint8_t raw[SqBaseHeaderSize];
        Data->Seek(0, TSeekOrigin::Begin);
        Data->ReadBuffer(raw, SqBaseHeaderSize);
        return TSqBaseHeader::Decode(raw);
    }

    // Every write keeps what it overwrites in `tx`: there are no writes outside one.
    void Begin(TFileTransaction& tx) {
        Tx = &tx;
        tx.Track(*Data);
        if (Index)
            tx.Track(*Index);
    }

    void Put(TBufStream& file, int64_t offset, const void* data, int64_t count) {
        Tx->Write(file, offset, data, count);
    }

    void WriteHeader(const TSqBaseHeader& header) {
        auto raw = header.Encode();
        Put(*Data, 0, raw.data(), SqBaseHeaderSize);
    }

    // Exactly `count` records; a shorter index is damage.
    TSqIndex ReadIndex(uint32_t count) {
        if (Index->Size() < int64_t(count) * SqIndexRecordSize)
            Damaged("the index of \"" + DataName + "\" is shorter than its message count");
        Index->Seek(0, TSeekOrigin::Begin);
        TSqIndex records = ReadIndexRecords<TSqIndexRecord>(*Index, count);
        if (records.size() != count)
            throw EFileError("Unexpected end of file \"" + Index->FileName() + "\"", 0);
        return records;
    }

    // The record before `count`, checking that the index holds `count` records.
    TSqIndexRecord ReadLastIndexRecord(uint32_t count) {
        if (Index->Size() < int64_t(count) * SqIndexRecordSize)
            Damaged("the index of \"" + DataName + "\" is shorter than its message count");
        if (count == 0)
            return {};
        char raw[SqIndexRecordSize];
        Index->Seek(int64_t(count - 1) * SqIndexRecordSize, TSeekOrigin::Begin);
        Index->ReadBuffer(raw, SqIndexRecordSize);
        return DecodeSqIndex(std::string_view(raw, SqIndexRecordSize), 1).front();
    }

    // Writes the record at `position` and cuts the index after it.
    void WriteIndexRecord(uint32_t position, const TSqIndexRecord& record) {
        std::vector<uint8_t> raw = EncodeSqIndex(std::span(&record, 1));
        Put(*Index, int64_t(position) * SqIndexRecordSize, raw.data(), SqIndexRecordSize);
        Cut(*Index, int64_t(position + 1) * SqIndexRecordSize);
    }

    void WriteIndex(const TSqIndex& records) {
        std::vector<uint8_t> data = EncodeSqIndex(records);
        Put(*Index, 0, data.data(), static_cast<int64_t>(data.size()));
        Cut(*Index, static_cast<int64_t>(data.size()));
    }

    void Cut(TBufStream& file, int64_t size) { Tx->SetSize(file, size); }

    // The frame header at `offset`, which must lie inside the file and carry the signature.
    TSqFrameHeader ReadFrame(uint32_t offset) {
        if (offset < SqBaseHeaderSize || int64_t(offset) + SqFrameHeaderSize > DataSize)
            Damaged("a frame of \"" + DataName + "\" lies outside the file");
        uint8_t raw[SqFrameHeaderSize];
        Data->Seek(offset, TSeekOrigin::Begin);
        Data->ReadBuffer(raw, SqFrameHeaderSize);
        TSqFrameHeader frame = TSqFrameHeader::Decode(raw);
        if (frame.Id != SqFrameSignature)
            Damaged("a frame of \"" + DataName + "\" has no signature");
        return frame;
    }

    // A message frame whose message fits in the frame and the file.
    TSqFrameHeader ReadMessageFrame(uint32_t offset) {
        TSqFrameHeader frame = ReadFrame(offset);
        if (frame.FrameType != SqFrameMessage || frame.MsgLength < SqMsgHeaderSize ||
            frame.MsgLength > frame.FrameLength ||
            int64_t(offset) + SqFrameHeaderSize + frame.MsgLength > DataSize ||
            frame.CtrlLength > frame.MsgLength - SqMsgHeaderSize)
            Damaged("a message frame of \"" + DataName + "\" is damaged");
        return frame;
    }

    void WriteFrame(uint32_t offset, const TSqFrameHeader& frame) {
        auto raw = frame.Encode();
        Put(*Data, offset, raw.data(), SqFrameHeaderSize);
    }

    // Sets the link of a neighbouring frame, or of the header when there is none.
    void SetNext(TSqBaseHeader& header, uint32_t frame, uint32_t next, uint32_t TSqBaseHeader::*headField) {
        if (frame == 0) {
            header.*headField = next;
            return;
        }
        TSqFrameHeader f = ReadFrame(frame);
        f.Next = next;
        WriteFrame(frame, f);
    }

    void SetPrev(TSqBaseHeader& header, uint32_t frame, uint32_t prev, uint32_t TSqBaseHeader::*tailField) {
        if (frame == 0) {
            header.*tailField = prev;
            return;
        }
        TSqFrameHeader f = ReadFrame(frame);
        f.Prev = prev;
        WriteFrame(frame, f);
    }

    // Ends a step of a change: what it wrote reaches the file before the next step.
    void FlushData() { Data->Flush(); }
    void FlushIndex() { Index->Flush(); }

    const std::string DataName;
    std::unique_ptr<TBufStream> OwnedData;
    TBufStream* Data = nullptr;
    std::unique_ptr<TBufStream> Index;
    int64_t DataSize = 0;
    TFileTransaction* Tx = nullptr;
};

// Cuts the stored control information (its first `ctrl` bytes) and text into lines: a kludge
// of the control information ends at a zero byte or the next ^A, a text line at CR, the text
// at a zero byte or ^Z. Over the start of the data only (`whole` false), the line the data
// stops in is left unfinished.
class TStoredLines {
public:
    TStoredLines(std::string_view data, size_t ctrl, bool keepSoftCR, bool whole = true)
        : Data(data), Ctrl(std::min(ctrl, data.size())), KeepSoftCR(keepSoftCR), Whole(whole) {}

    // The next line as stored; false when none is left.
    bool Next(std::string& line) {
        while (I < Data.size() && !Over) {
            // A kludge not ended by a zero byte ends with the control information.
            if (I == Ctrl && Take(line))
                return true;
            const auto c = static_cast<uint8_t>(Data[I++]);
            if (c == 0x00 || c == 0x1A) {
                if (I > Ctrl)
                    Over = true;
                else
                    I = Ctrl;
                if (Take(line))
                    return true;
            } else if (c == 0x01) {
                const bool taken = Take(line);
                Pending = '\x01';
                if (taken)
                    return true;
            } else if (c == '\r') {
                line = std::move(Pending);
                Pending.clear();
                return true;
            } else if (c != '\n' && !(c == SoftCR && !KeepSoftCR)) {
                Pending += static_cast<char>(c);
            }
        }
        return (Whole || Over) && Take(line);
    }

    void SetKeepSoftCR(bool keep) { KeepSoftCR = keep; }
    // The end of the text was met: nothing after it is text.
    bool Ended() const { return Over; }
    // The line the start of the data stopped in.
    const std::string& Unfinished() const { return Pending; }

private:
    bool Take(std::string& line) {
        if (Pending.empty())
            return false;
        line = std::move(Pending);
        Pending.clear();
        return true;
    }

    std::string_view Data;
    size_t Ctrl;
    bool KeepSoftCR;
    bool Whole;
    size_t I = 0;
    bool Over = false;
    std::string Pending;
};

// Frames a chain can hold at most; a longer walk is a loop.
uint64_t MaxFrames(int64_t dataSize) {
    return uint64_t(dataSize) / SqFrameHeaderSize + 1;
}

} // namespace

// --- TSquishMsg ---

TSquishMsg::TSquishMsg(TCustomBase* base) : TCustomMsg(base) {}

void TSquishMsg::LoadStored() {
    auto* base = dynamic_cast<TSquishBase*>(Base());
    if (!base)
        throw std::logic_error("a stored Squish message without its base");
    LoadText(base->ReadText(*this));
}

void TSquishMsg::LoadText(std::string_view data) {
    const TCharset* before = TextCharset();
    ClearText();
    bool textStarted = false;
    TStoredLines lines(data, Frame.CtrlLength, KeepSoftCR());
    for (std::string line; lines.Next(line);) {
        AddLine(line, textStarted);
        // In UTF-8 the SoftCR byte is part of a character.
        lines.SetKeepSoftCR(KeepSoftCR() || Utf8Text());
    }
    TakeThreadKludges();
    Attr = AttrFromSquish(GetLE32(&Header[smAttr])) | AttrFromFlagsKludge(Kludges);
    // Kludges and the origin line name the origin first; a text without them keeps the
    // header's full address.
    const TAddress headerFrom = FromAddr;
    ResolveAddresses();
    if (!FromAddr.IsValid())
        FromAddr = headerFrom;
    Loaded = true;
    FollowTextCharset(before);
}

void TSquishMsg::RedecodeHeader() {
    const TTextCodec codec = ReadCodec();
    FromName = codec.ReadFixed(&Header[smFrom], 36);
    ToName = codec.ReadFixed(&Header[smTo], 36);
    Subject = codec.ReadFixed(&Header[smSubject], 72);
}

void TSquishMsg::Assign(TCustomMsg* source) {
    if (!source || source == this)
        return;
    TCustomMsg::Assign(source);
    if (auto* squish = dynamic_cast<TSquishMsg*>(source)) {
        Frame = squish->Frame;
        Header = squish->Header;
        Position = squish->Position;
        TextLength = squish->TextLength;
        Loaded = squish->Loaded;
    } else {
        Position = -1;
        TextLength = 0;
        Loaded = true;
    }
}

namespace {

TAddress DecodeAddress(const uint8_t* p) {
    return TAddress(GetLE16(p), GetLE16(p + 2), GetLE16(p + 4), GetLE16(p + 6));
}

void EncodeAddress(uint8_t* p, const TAddress& a) {
    PutLE16(p, a.Zone);
    PutLE16(p + 2, a.Net);
    PutLE16(p + 4, a.Node);
    PutLE16(p + 6, a.Point);
}

} // namespace

void TSquishMsg::DecodeHeader(TMsgId ownId) {
    RedecodeHeader();
    FromAddr = DecodeAddress(&Header[smOrig]);
    ToAddr = DecodeAddress(&Header[smDest]);
    const TDateTime now = Now();
    // A date written more than a day ahead is a tosser's mistake; the date string knows better.
    if (!DosDateFirstToDateTime(GetLE32(&Header[smDateWritten]), DateWritten) || DateWritten > now + 1) {
        std::string_view fts(reinterpret_cast<const char*>(&Header[smDateString]), 20);
        DateWritten = FtsDateToDateTime(fts.substr(0, fts.find('\0')));
    }
    if (!DosDateFirstToDateTime(GetLE32(&Header[smDateArrived]), DateArrived))
        DateArrived = now;
    ReplyTo = GetLE32(&Header[smReplyTo]);
    Replies.clear();
    for (int i = 0; i < SqReplyCount; ++i) {
        TMsgId reply = GetLE32(&Header[smReplies + 4 * i]);
        if (reply == 0)
            break;
        if (reply != ownId)
            Replies.push_back(reply);
    }
}

void TSquishMsg::ReadThreadKludges(std::string_view start, bool whole) {
    // The kludges end with the first text line, as LoadText sorts the lines.
    TStoredLines lines(start, Frame.CtrlLength, KeepSoftCR(), whole);
    TThreadKludgeScan scan;
    bool known = false;
    const TCharset* before = TextCharset();
    // The set's kludge may follow MSGID and REPLY: the walk goes on to the text for it.
    for (std::string line; !(known && TextCharset()) && lines.Next(line);) {
        line = CodePages().OemToDisplay(line);
        if (line.empty() || line.front() != '\x01') {
            known = true;
            break;
        }
        if (!known) {
            scan.Add(line);
            known = scan.Complete();
        }
        if (!TextCharset())
            NoteCharsetKludge(line);
    }
    // The list shows the names in the set the control information names.
    FollowTextCharset(before);
    if (!known && !whole && !lines.Ended()) {
        // Unless a text line has begun, a start that stops inside the kludges cannot tell
        // whether more follow.
        const std::string& rest = lines.Unfinished();
        if (rest.empty() || CodePages().OemToDisplay(rest.substr(0, 1)) == "\x01")
            return;
    }
    MsgIdKludge = std::move(scan.MsgId);
    ReplyKludge = std::move(scan.Reply);
    ThreadKludgesRead = true;
}

std::string TSquishMsg::Serialize(uint32_t& ctrlLength) {
    const uint32_t storedAttr = GetLE32(&Header[smAttr]);
    const uint32_t attr = GetAttr();
    const TTextCodec codec = WriteCodec();
    codec.WriteFixed(&Header[smFrom], 36, FromName);
    codec.WriteFixed(&Header[smTo], 36, ToName);
    codec.WriteFixed(&Header[smSubject], 72, Subject);
    EncodeAddress(&Header[smOrig], FromAddr);
    EncodeAddress(&Header[smDest], ToAddr);
    std::fill(&Header[smReplyTo], &Header[smUmsgId + 4], uint8_t(0));
    PutLE32(&Header[smReplyTo], ReplyTo); // the answers stay the tosser's to link
    PutLE32(&Header[smDateWritten], DateTimeToDosDateFirst(DateWritten));
    PutLE32(&Header[smDateArrived], DateTimeToDosDateFirst(DateArrived));
    std::string fts = DateTimeToFtsDate(DateWritten);
    std::fill_n(&Header[smDateString], 20, uint8_t(0));
    std::copy_n(fts.begin(), std::min<size_t>(fts.size(), 19), &Header[smDateString]);
    PutLE16(&Header[smUtcOffset], static_cast<uint16_t>(static_cast<int16_t>(UtcOffset())));
    PutLE32(&Header[smAttr], (storedAttr & KeptAttrBits) | AttrToSquish(attr));

    while (!Body.empty() && TrimView(Body.back().Text).empty())
        Body.pop_back();
    std::string data(Header.begin(), Header.end());
    for (const std::string& line : Kludges)
        data += codec.Encode(line);
    data += '\0';
    ctrlLength = static_cast<uint32_t>(data.size() - SqMsgHeaderSize);
    for (const TBodyLine& line : Body)
        data += codec.Encode(line.Text) + '\r';
    for (const std::string& line : Tail)
        data += codec.Encode(line) + '\r';
    data += '\0';
    return data;
}

// --- TSquishBase ---

TSquishBase::TSquishBase(std::string path, std::string echoTag, std::string netmailTag)
    : TCustomBase(NormalizeSeparators(path), std::move(echoTag), std::move(netmailTag)) {
    DropRepeatedReadings = true;
    Invalidate();
}

TSquishBase::~TSquishBase() {
    Close();
}

std::string TSquishBase::DataFileName() const {
    return ResolveCase(Path);
}

std::string TSquishBase::IndexFileName() const {
    return ResolveCase(SiblingFileName(Path, "I"));
}

void TSquishBase::CreateStorage() {
    auto data = CreateLockedFile(DataFileName(), SquishBufSize);
    if (!data)
        return;
    // The index exists before the header makes the data file a base.
    TBufStream index(IndexFileName(), SquishBufSize, TOpenMode::Create);
    auto raw = TSqBaseHeader::Empty().Encode();
    data->WriteBuffer(raw.data(), SqBaseHeaderSize);
    data->Flush();
}

bool TSquishBase::Exists() {
    return FileExists(DataFileName());
}

int TSquishBase::GetCount() {
    return static_cast<int>(Index.size());
}

TMsgId TSquishBase::GetMsgId(int position) {
    if (position < 0 || position >= GetCount())
        return NoMsgId;
    return Index[static_cast<size_t>(position)].UmsgId;
}

bool TSquishBase::LoadList() {
    if (!Exists()) {
        Header = TSqBaseHeader::Empty();
        Index.clear();
        MaxListedId = 0;
        IndexSorted = true;
        ListedDataName.clear();
        ListedDataSize = 0;
        DropCache();
        FileStamp = {};
        return false;
    }
    TSquishFiles files(*this, false, true, ShortOpenTimeoutMs);
    TSqBaseHeader header = files.ReadHeader();
    TSqIndex index = files.ReadIndex(header.NumMsg);
    Header = header;
    Index = std::move(index);
    const auto byId = [](const TSqIndexRecord& a, const TSqIndexRecord& b) { return a.UmsgId < b.UmsgId; };
    IndexSorted = std::is_sorted(Index.begin(), Index.end(), byId);
    MaxListedId = Index.empty() ? 0
                  : IndexSorted ? Index.back().UmsgId
                                : std::max_element(Index.begin(), Index.end(), byId)->UmsgId;
    DropCache();
    ListedDataName = files.DataName;
    ListedDataSize = files.DataSize;
    FileStamp = FileStampOf(ListedDataName);
    return true;
}

void TSquishBase::DropCache() {
    Reader.Reset();
    Cache.Clear();
}

void TSquishBase::Invalidate() {
    FileStamp = {};
}

bool TSquishBase::IsChanged() {
    return FileStamp == TFileStamp() || FileStampOf(DataFileName()) != FileStamp;
}

TMsgHandle TSquishBase::GetMsg(int position) {
    if (position < 0 || position >= GetCount())
        return nullptr;
    if (TMsgHandle cached = Cache.Find(position))
        return cached;
    const TSqIndexRecord& record = Index[static_cast<size_t>(position)];
    auto msg = std::make_shared<TSquishMsg>(this);
    msg->Position = position;
    msg->FrameOffset = record.Offset;
    THeaderReadLock lock(Reader, ListedDataName);
    TSquishFiles files(ListedDataName, lock.Stream, ListedDataSize);
    msg->Frame = files.ReadMessageFrame(record.Offset);
    files.Data->ReadBuffer(msg->Header.data(), SqMsgHeaderSize);
    msg->TextLength = msg->Frame.MsgLength - SqMsgHeaderSize;
    msg->DecodeHeader(record.UmsgId);
    // The kludges lie right after the header, mostly in the same read.
    const uint32_t startLength =
        std::min({msg->TextLength, msg->Frame.CtrlLength + TextPeekBytes, MaxHeaderStartBytes});
    std::string start(startLength, '\0');
    try {
        files.Data->ReadBuffer(start.data(), startLength);
        msg->ReadThreadKludges(start, startLength == msg->TextLength);
    } catch (const EFileError&) {
        // A file cut short since the list was read: the header stands, the text load will
        // tell the rest.
    }
    msg->Loaded = false;
    Cache.Add(position, msg);
    return msg;
}

std::string TSquishBase::ReadText(const TSquishMsg& msg) const {
    TSquishFiles files(*this, false, false);
    // The frame is read again: the tosser may have reused it since the header was read.
    TSqFrameHeader frame = files.ReadMessageFrame(msg.FrameOffset);
    if (frame.MsgLength != msg.Frame.MsgLength || frame.CtrlLength != msg.Frame.CtrlLength)
        Damaged("a message of \"" + files.DataName + "\" changed while it was read");
    std::string text(msg.TextLength, '\0');
    files.Data->Seek(int64_t(msg.FrameOffset) + SqFrameHeaderSize + SqMsgHeaderSize, TSeekOrigin::Begin);
    files.Data->ReadBuffer(text.data(), msg.TextLength);
    return text;
}

std::unique_ptr<TCustomMsg> TSquishBase::NewMsg() {
    return std::make_unique<TSquishMsg>(this);
}

namespace {

// A free frame chosen for a new message, and its place in the free chain.
struct TFreeFrame {
    uint32_t Offset = 0; // 0: none fits
    uint32_t Prev = 0;
    TSqFrameHeader Frame;
};

// The first free frame that holds `length` bytes (first fit), its neighbours checked; nothing
// is written.
TFreeFrame FindFreeFrame(TSquishFiles& files, const TSqBaseHeader& header, uint32_t length) {
    TFreeFrame found;
    uint64_t steps = 0;
    for (uint32_t offset = header.FreeFrame; offset != 0;) {
        if (++steps > MaxFrames(files.DataSize))
            Damaged("the free chain of \"" + files.DataName + "\" loops");
        TSqFrameHeader frame = files.ReadFrame(offset);
        if (frame.FrameType != SqFrameFree ||
            int64_t(offset) + SqFrameHeaderSize + frame.FrameLength > files.DataSize)
            Damaged("a free frame of \"" + files.DataName + "\" is damaged");
        if (frame.FrameLength >= length) {
            if (frame.Next != 0)
                files.ReadFrame(frame.Next);
            found.Offset = offset;
            found.Frame = frame;
            return found;
        }
        found.Prev = offset;
        offset = frame.Next;
    }
    return {};
}

// Takes the frame out of the free chain, the link that walkers follow first, so that a
// process killed afterwards leaves an unused frame, never one in both chains.
void UnlinkFreeFrame(TSquishFiles& files, TSqBaseHeader& header, const TFreeFrame& free) {
    files.SetNext(header, free.Prev, free.Frame.Next, &TSqBaseHeader::FreeFrame);
    files.SetPrev(header, free.Frame.Next, free.Prev, &TSqBaseHeader::LastFreeFrame);
    if (free.Prev == 0 || free.Frame.Next == 0)
        files.WriteHeader(header);
    files.FlushData();
}

// The recipient's hash over the name as stored, as every other tool computes it.
uint32_t StoredNameHash(const TSquishMsg& msg) {
    std::string_view to(reinterpret_cast<const char*>(&msg.Header[smTo]), 36);
    return SquishHash(to.substr(0, to.find('\0')));
}

} // namespace

// A message reaches the files in the order that keeps every state readable: its frame and
// text past the end (or in a frame already out of the free chain), the link from the old
// last frame, the index record past the counted ones, and the base header that counts it.
// Each step is flushed before the next; a failure puts back every byte.
TMsgId TSquishBase::StoreMsg(TCustomMsg& msg) {
    auto* squish = dynamic_cast<TSquishMsg*>(&msg);
    if (!squish)
        throw std::logic_error("a Squish base stores only its own messages");
    TSquishFiles files(*this, true, true);
    TFileTransaction tx;
    files.Begin(tx);
    TSqBaseHeader header = files.ReadHeader();
    // Only the last record is needed: appending stays cheap in a base of any size.
    const TSqIndexRecord last = files.ReadLastIndexRecord(header.NumMsg);
    if (header.LastFrame != 0)
        files.ReadFrame(header.LastFrame);
    // UMSGIDs must keep growing even when a tool left the counter behind or the index out
    // of order: a repeated one would make two messages answer to it. Past the highest there
    // is no room, and the highest of all means no message.
    const uint64_t next = std::max<uint64_t>(
        {header.Uid, header.NumMsg == 0 ? 1 : uint64_t(last.UmsgId) + 1, uint64_t(MaxListedId) + 1});
    if (next >= NoMsgId)
        throw EFileError("\"" + files.DataName + "\" has no message number left", 0);
    const auto id = static_cast<TMsgId>(next);

    uint32_t ctrlLength = 0;
    const std::string data = squish->Serialize(ctrlLength);
    const auto length = static_cast<uint32_t>(data.size());
    const TFreeFrame free = FindFreeFrame(files, header, length);
    uint32_t offset;
    TSqFrameHeader frame;
    if (free.Offset != 0) {
        UnlinkFreeFrame(files, header, free);
        offset = free.Offset;
        frame = free.Frame;
    } else {
        // At the file's real end: what a killed append left past the end mark is never
        // referenced and is simply written over.
        if (uint64_t(files.DataSize) + SqFrameHeaderSize + length > UINT32_MAX)
            throw EFileError("\"" + files.DataName + "\" is full", 0);
        offset = static_cast<uint32_t>(files.DataSize);
        frame.FrameLength = length;
        header.EndFrame = offset + SqFrameHeaderSize + length;
    }
    frame.Id = SqFrameSignature;
    frame.MsgLength = length;
    frame.CtrlLength = ctrlLength;
    frame.FrameType = SqFrameMessage;
    frame.Prev = header.LastFrame;
    frame.Next = 0;
    files.WriteFrame(offset, frame);
    files.Put(*files.Data, int64_t(offset) + SqFrameHeaderSize, data.data(), length);
    files.FlushData();

    files.SetNext(header, header.LastFrame, offset, &TSqBaseHeader::BeginFrame);
    header.LastFrame = offset;
    files.FlushData();

    const TSqIndexRecord record{offset, id, StoredNameHash(*squish)};
    files.WriteIndexRecord(header.NumMsg, record);
    files.FlushIndex();

    const uint32_t position = header.NumMsg;
    header.NumMsg += 1;
    header.HighMsg += 1;
    header.Uid = id + 1;
    files.WriteHeader(header);
    files.FlushData();
    tx.Commit();

    // Until the next rescan the list shows what this base knows it changed.
    if (position == Index.size()) {
        Index.push_back(record);
        IndexSorted = IndexSorted && (Index.size() < 2 || Index[Index.size() - 2].UmsgId < id);
        MaxListedId = std::max(MaxListedId, id);
        ListedDataSize = std::max<int64_t>(ListedDataSize, int64_t(offset) + SqFrameHeaderSize + length);
    }
    squish->Position = static_cast<int>(position);
    squish->FrameOffset = offset;
    squish->Frame = frame;
    squish->TextLength = length - SqMsgHeaderSize;
    squish->Loaded = true;
    return id;
}

namespace {

// Appends a frame to the end of the free chain.
void FreeFrame(TSquishFiles& files, TSqBaseHeader& header, uint32_t offset, TSqFrameHeader frame) {
    files.SetNext(header, header.LastFreeFrame, offset, &TSqBaseHeader::FreeFrame);
    frame.Prev = header.LastFreeFrame;
    frame.Next = 0;
    frame.FrameType = SqFrameFree;
    header.LastFreeFrame = offset;
    files.WriteFrame(offset, frame);
}

int Percent(size_t k, size_t n) {
    return n > 1 ? static_cast<int>(k * 50 / (n - 1)) : 50;
}

// One message: its frame leaves the message chain for the end of the free chain.
void DeleteOne(TSquishFiles& files, TSqBaseHeader& header, TSqIndex& index, size_t position) {
    const uint32_t offset = index[position].Offset;
    TSqFrameHeader frame = files.ReadFrame(offset);
    if (frame.FrameType == SqFrameFree)
        Damaged("a deleted message is still in the index of \"" + files.DataName + "\"");
    // Every frame about to change is checked before the first write.
    for (uint32_t neighbour : {frame.Prev, frame.Next, header.LastFreeFrame})
        if (neighbour != 0)
            files.ReadFrame(neighbour);
    files.SetNext(header, frame.Prev, frame.Next, &TSqBaseHeader::BeginFrame);
    files.SetPrev(header, frame.Next, frame.Prev, &TSqBaseHeader::LastFrame);
    FreeFrame(files, header, offset, frame);
    files.FlushData();
    index.erase(index.begin() + static_cast<ptrdiff_t>(position));
}

// Several messages in one pass: the freed frames, in file order, become the tail of the
// free chain, and the message chain is relinked in index order.
void DeleteMany(TSquishFiles& files, TSqBaseHeader& header, TSqIndex& index,
                const std::vector<size_t>& positions, const TProgress& progress) {
    TSqIndex selected, remaining;
    for (size_t p = 0, k = 0; p < index.size(); ++p)
        (k < positions.size() && positions[k] == p ? (++k, selected) : remaining).push_back(index[p]);
    auto byOffset = [](const TSqIndexRecord& a, const TSqIndexRecord& b) { return a.Offset < b.Offset; };
    std::sort(selected.begin(), selected.end(), byOffset);

    // Read and check every frame first, so a damaged base is left as it was.
    std::vector<TSqFrameHeader> freed, kept;
    for (const TSqIndexRecord& r : selected) {
        freed.push_back(files.ReadFrame(r.Offset));
        if (freed.back().FrameType == SqFrameFree)
            Damaged("a deleted message is still in the index of \"" + files.DataName + "\"");
    }
    std::vector<size_t> keptOrder(remaining.size());
    for (size_t i = 0; i < keptOrder.size(); ++i)
        keptOrder[i] = i;
    std::sort(keptOrder.begin(), keptOrder.end(),
              [&](size_t a, size_t b) { return remaining[a].Offset < remaining[b].Offset; });
    kept.resize(remaining.size());
    for (size_t i : keptOrder)
        kept[i] = files.ReadFrame(remaining[i].Offset);
    if (header.LastFreeFrame != 0)
        files.ReadFrame(header.LastFreeFrame);

    for (size_t k = 0; k < selected.size(); ++k) {
        if (progress)
            progress(Percent(k, selected.size()));
        TSqFrameHeader& frame = freed[k];
        frame.Prev = k == 0 ? header.LastFreeFrame : selected[k - 1].Offset;
        frame.Next = k + 1 < selected.size() ? selected[k + 1].Offset : 0;
        frame.FrameType = SqFrameFree;
        files.WriteFrame(selected[k].Offset, frame);
    }
    header.BeginFrame = remaining.empty() ? 0 : remaining.front().Offset;
    header.LastFrame = remaining.empty() ? 0 : remaining.back().Offset;
    files.SetNext(header, header.LastFreeFrame, selected.front().Offset, &TSqBaseHeader::FreeFrame);
    header.LastFreeFrame = selected.back().Offset;

    for (size_t k = 0; k < keptOrder.size(); ++k) {
        if (progress)
            progress(50 + Percent(k, keptOrder.size()));
        const size_t p = keptOrder[k];
        kept[p].Prev = p == 0 ? 0 : remaining[p - 1].Offset;
        kept[p].Next = p + 1 < remaining.size() ? remaining[p + 1].Offset : 0;
        files.WriteFrame(remaining[p].Offset, kept[p]);
    }
    files.FlushData();
    index = std::move(remaining);
}

} // namespace

size_t TSquishBase::RemoveMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) {
    TSquishFiles files(*this, true, true);
    TFileTransaction tx;
    files.Begin(tx);
    TSqBaseHeader header = files.ReadHeader();
    TSqIndex index = files.ReadIndex(header.NumMsg);
    std::vector<TMsgId> wanted(ids);
    std::sort(wanted.begin(), wanted.end());
    std::vector<size_t> positions;
    for (size_t p = 0; p < index.size(); ++p)
        if (std::binary_search(wanted.begin(), wanted.end(), index[p].UmsgId))
            positions.push_back(p);
    if (positions.empty())
        return 0;
    // The tosser exports what lies above its high-water mark: a message below it that goes
    // takes the mark down with it, so the next message written is above it.
    header.HighWater -= static_cast<uint32_t>(
        std::count_if(positions.begin(), positions.end(), [&](size_t p) { return p < header.HighWater; }));
    if (positions.size() == 1)
        DeleteOne(files, header, index, positions.front());
    else
        DeleteMany(files, header, index, positions, progress);
    files.WriteIndex(index);
    files.FlushIndex();
    header.NumMsg -= static_cast<uint32_t>(positions.size());
    header.HighMsg -= std::min<uint32_t>(header.HighMsg, static_cast<uint32_t>(positions.size()));
    files.WriteHeader(header);
    files.FlushData();
    tx.Commit();

    std::erase_if(Index, [&](const TSqIndexRecord& r) {
        return std::binary_search(wanted.begin(), wanted.end(), r.UmsgId);
    });
    DropCache();
    return positions.size();
}

int TSquishBase::FindNearest(TMsgId id) {
    if (!IndexSorted)
        return TCustomBase::FindNearest(id);
    auto it = std::upper_bound(Index.begin(), Index.end(), id,
                               [](TMsgId value, const TSqIndexRecord& r) { return value < r.UmsgId; });
    return it == Index.begin() ? 0 : static_cast<int>(it - Index.begin()) - 1;
}

int TSquishBase::IndexOfId(TMsgId id) {
    if (!IndexSorted)
        return TCustomBase::IndexOfId(id);
    auto it = std::lower_bound(Index.begin(), Index.end(), id,
                               [](const TSqIndexRecord& r, TMsgId value) { return r.UmsgId < value; });
    return it != Index.end() && it->UmsgId == id ? static_cast<int>(it - Index.begin()) : -1;
}

void TSquishBase::SetLastRead(TMsgId id) {
    LastRead = id;
}

TMsgId TSquishBase::GetLastRead() {
    return LastRead;
}

void TSquishBase::LoadLastRead() {
    // Without a pointer the reader starts at the first message.
    if (!LastReadFile.Load(SiblingFileName(Path, "L"), UserIndex, LastRead))
        LastRead = 0;
    StoredLastRead = LastRead;
}

void TSquishBase::SaveLastRead() {
    if (LastRead != StoredLastRead && LastReadFile.Save(SiblingFileName(Path, "L"), UserIndex, LastRead))
        StoredLastRead = LastRead;
}

std::string TSquishBase::ReadingsFileName() const {
    return SiblingFileName(Path, "R");
}

} // namespace tavro
