#include "SquishBase.h"

#include "LastReadFile.h"

#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/Endian.h"
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

const TLastReadFile LastReadFile(4, ShortOpenTimeoutMs);

void Damaged(const std::string& what) {
    throw EDamagedBase(what);
}

// The open files of one operation on a base, with the checks that keep a damaged base
// from being read past its end or damaged further.
class TSquishFiles {
public:
    TSquishFiles(const TSquishBase& base, bool write, bool withIndex, int indexTimeoutMs = OpenTimeoutMs,
                 int dataBufSize = SquishBufSize)
        : DataName(base.DataFileName()) {
        const TOpenMode mode = write ? TOpenMode::ReadWriteExclusive : TOpenMode::Read;
        OwnedData = OpenWithRetry(DataName, mode, dataBufSize, OpenTimeoutMs,
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

    void WriteHeader(const TSqBaseHeader& header) {
        auto raw = header.Encode();
        Data->Seek(0, TSeekOrigin::Begin);
        Data->WriteBuffer(raw.data(), SqBaseHeaderSize);
    }

    // Exactly `count` records; a shorter index is damage.
    std::vector<TSqIndexRecord> ReadIndex(uint32_t count) {
        const int64_t need = int64_t(count) * SqIndexRecordSize;
        if (Index->Size() < need)
            Damaged("the index of \"" + DataName + "\" is shorter than its message count");
        std::string data(static_cast<size_t>(need), '\0');
        Index->Seek(0, TSeekOrigin::Begin);
        Index->ReadBuffer(data.data(), need);
        return DecodeSqIndex(data, count);
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
        std::vector<uint8_t> raw = EncodeSqIndex({record});
        Index->Seek(int64_t(position) * SqIndexRecordSize, TSeekOrigin::Begin);
        Index->WriteBuffer(raw.data(), SqIndexRecordSize);
        Index->SetSize(int64_t(position + 1) * SqIndexRecordSize);
    }

    void WriteIndex(const std::vector<TSqIndexRecord>& records) {
        std::vector<uint8_t> data = EncodeSqIndex(records);
        Index->Seek(0, TSeekOrigin::Begin);
        Index->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
        Index->SetSize(static_cast<int64_t>(data.size()));
    }

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
        Data->Seek(offset, TSeekOrigin::Begin);
        Data->WriteBuffer(raw.data(), SqFrameHeaderSize);
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

    void Flush() {
        Data->Flush();
        if (Index)
            Index->Flush();
    }

    const std::string DataName;
    std::unique_ptr<TBufStream> OwnedData;
    TBufStream* Data = nullptr;
    std::unique_ptr<TBufStream> Index;
    int64_t DataSize = 0;
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
    ClearText();
    bool textStarted = false;
    const bool keepSoftCR = KeepSoftCR();
    const size_t ctrl = std::min<size_t>(Frame.CtrlLength, data.size());
    std::string pending;
    auto flush = [&] {
        if (!pending.empty())
            AddLine(pending, textStarted);
        pending.clear();
    };
    size_t i = 0;
    while (i < data.size()) {
        // A kludge not ended by a zero byte ends with the control information.
        if (i == ctrl)
            flush();
        const auto c = static_cast<uint8_t>(data[i++]);
        if (c == 0x00 || c == 0x1A) {
            flush();
            if (i > ctrl)
                break;
            i = ctrl;
        } else if (c == 0x01) {
            flush();
            pending = '\x01';
        } else if (c == '\r') {
            AddLine(pending, textStarted);
            pending.clear();
        } else if (c != '\n' && !(c == SoftCR && !keepSoftCR)) {
            pending += static_cast<char>(c);
        }
    }
    flush();
    Attr = AttrFromSquish(GetLE32(&Header[smAttr])) | AttrFromFlagsKludge(Kludges);
    ResolveAddresses();
    Loaded = true;
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
    const TCodePagePair& pages = CodePages();
    FromName = ReadFixedString(&Header[smFrom], 36, pages);
    ToName = ReadFixedString(&Header[smTo], 36, pages);
    Subject = ReadFixedString(&Header[smSubject], 72, pages);
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

std::string TSquishMsg::Serialize(uint32_t& ctrlLength) {
    const TCodePagePair& pages = CodePages();
    const bool keep = KeepSoftCR();
    const uint32_t storedAttr = GetLE32(&Header[smAttr]);
    const uint32_t attr = GetAttr();
    WriteFixedString(&Header[smFrom], 36, FromName, pages, keep);
    WriteFixedString(&Header[smTo], 36, ToName, pages, keep);
    WriteFixedString(&Header[smSubject], 72, Subject, pages, keep);
    EncodeAddress(&Header[smOrig], FromAddr);
    EncodeAddress(&Header[smDest], ToAddr);
    std::fill(&Header[smReplyTo], &Header[smUmsgId + 4], uint8_t(0));
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
        data += EncodeForStorage(line, pages, keep);
    data += '\0';
    ctrlLength = static_cast<uint32_t>(data.size() - SqMsgHeaderSize);
    for (const TBodyLine& line : Body)
        data += EncodeForStorage(line.Text, pages, keep) + '\r';
    for (const std::string& line : Tail)
        data += EncodeForStorage(line, pages, keep) + '\r';
    data += '\0';
    return data;
}

// --- TSquishBase ---

TSquishBase::TSquishBase(std::string path, std::string echoTag, std::string netmailTag)
    : TCustomBase(NormalizeSeparators(path), std::move(echoTag), std::move(netmailTag)) {
    if (!FileExists(DataFileName()))
        CreateFiles();
    LoadLastRead();
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

void TSquishBase::CreateFiles() {
    const std::string name = DataFileName();
    auto data = std::make_unique<TBufStream>(name, SquishBufSize, TOpenMode::CreateNew);
    if (!data->LockRange(0, 1, true))
        throw EFileError("\"" + name + "\" is locked by another program", EWOULDBLOCK);
    auto raw = TSqBaseHeader::Empty().Encode();
    data->WriteBuffer(raw.data(), SqBaseHeaderSize);
    data->Flush();
    TBufStream index(IndexFileName(), SquishBufSize, TOpenMode::Create);
}

int TSquishBase::GetCount() {
    return static_cast<int>(Index.size());
}

TMsgId TSquishBase::GetMsgId(int position) {
    if (position < 0 || position >= GetCount())
        return NoMsgId;
    return Index[static_cast<size_t>(position)].UmsgId;
}

void TSquishBase::Rescan() {
    Reader.Reset();
    FreeCache();
    Index.clear();
    TSquishFiles files(*this, false, true, ShortOpenTimeoutMs);
    Header = files.ReadHeader();
    Index = files.ReadIndex(Header.NumMsg);
    IndexSorted =
        std::is_sorted(Index.begin(), Index.end(),
                       [](const TSqIndexRecord& a, const TSqIndexRecord& b) { return a.UmsgId < b.UmsgId; });
    FreeCache();
    ListedDataName = files.DataName;
    ListedDataSize = files.DataSize;
    FileStamp = FileStampOf(ListedDataName);
}

void TSquishBase::FreeCache() {
    Cache.clear();
    Cache.resize(Index.size());
}

void TSquishBase::Invalidate() {
    FileStamp = {};
}

bool TSquishBase::IsChanged() {
    return FileStamp == TFileStamp() || FileStampOf(DataFileName()) != FileStamp;
}

TCustomMsg* TSquishBase::GetMsg(int position) {
    if (position < 0 || position >= GetCount())
        return nullptr;
    auto& cached = Cache[static_cast<size_t>(position)];
    if (cached)
        return cached.get();
    const TSqIndexRecord& record = Index[static_cast<size_t>(position)];
    auto msg = std::make_unique<TSquishMsg>(this);
    msg->Position = position;
    msg->FrameOffset = record.Offset;
    THeaderReadLock lock(Reader, ListedDataName);
    TSquishFiles files(ListedDataName, lock.Stream, ListedDataSize);
    msg->Frame = files.ReadMessageFrame(record.Offset);
    files.Data->ReadBuffer(msg->Header.data(), SqMsgHeaderSize);
    msg->TextLength = msg->Frame.MsgLength - SqMsgHeaderSize;
    msg->DecodeHeader(record.UmsgId);
    msg->Loaded = false;
    cached = std::move(msg);
    return cached.get();
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

// The first free frame that holds `length` bytes, unlinked from the free chain; 0 when
// none does.
uint32_t TakeFreeFrame(TSquishFiles& files, TSqBaseHeader& header, uint32_t length, TSqFrameHeader& taken) {
    uint32_t prev = 0;
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
            files.SetNext(header, prev, frame.Next, &TSqBaseHeader::FreeFrame);
            files.SetPrev(header, frame.Next, prev, &TSqBaseHeader::LastFreeFrame);
            taken = frame;
            return offset;
        }
        prev = offset;
        offset = frame.Next;
    }
    return 0;
}

} // namespace

bool TSquishBase::WriteMsg(TCustomMsg* msg) {
    auto* squish = dynamic_cast<TSquishMsg*>(msg);
    if (!squish || squish->Base() != this)
        return false;
    try {
        TSquishFiles files(*this, true, true);
        TSqBaseHeader header = files.ReadHeader();
        // Only the last record is needed: appending stays cheap in a base of any size.
        const TSqIndexRecord last = files.ReadLastIndexRecord(header.NumMsg);
        // A new frame at an end mark inside the file would overwrite messages.
        if (header.EndFrame < SqBaseHeaderSize || header.EndFrame < files.DataSize)
            Damaged("the end mark of \"" + files.DataName + "\" lies inside the file");
        if (header.LastFrame != 0)
            files.ReadFrame(header.LastFrame);

        uint32_t ctrlLength = 0;
        const std::string data = squish->Serialize(ctrlLength);
        const auto length = static_cast<uint32_t>(data.size());

        TSqFrameHeader frame;
        uint32_t offset = TakeFreeFrame(files, header, length, frame);
        if (offset == 0) {
            if (uint64_t(header.EndFrame) + SqFrameHeaderSize + length > UINT32_MAX)
                throw EFileError("\"" + files.DataName + "\" is full", 0);
            offset = header.EndFrame;
            header.EndFrame += SqFrameHeaderSize + length;
            frame = TSqFrameHeader();
            frame.FrameLength = length;
        }
        frame.Id = SqFrameSignature;
        frame.MsgLength = length;
        frame.CtrlLength = ctrlLength;
        frame.FrameType = SqFrameMessage;
        frame.Prev = header.LastFrame;
        frame.Next = 0;
        files.SetNext(header, header.LastFrame, offset, &TSqBaseHeader::BeginFrame);
        header.LastFrame = offset;
        files.WriteFrame(offset, frame);
        files.Data->WriteBuffer(data.data(), length);

        // UMSGIDs must keep growing even when a tool left the counter behind.
        const TMsgId id = std::max(header.Uid, header.NumMsg == 0 ? 1 : last.UmsgId + 1);
        const TSqIndexRecord record{offset, id, SquishHash(squish->ToName)};
        files.WriteIndexRecord(header.NumMsg, record);
        // Until the next rescan the list shows what this base knows it changed.
        if (header.NumMsg == Index.size()) {
            Index.push_back(record);
            Cache.resize(Index.size());
        }
        squish->Position = static_cast<int>(header.NumMsg);
        header.NumMsg += 1;
        header.HighMsg += 1;
        header.Uid = id + 1;
        files.WriteHeader(header);
        files.Flush();

        squish->FrameOffset = offset;
        squish->Frame = frame;
        squish->TextLength = length - SqMsgHeaderSize;
        squish->Loaded = true;
        SetRead(id, true);
    } catch (const std::exception&) {
        return FailChange(DataFileName());
    }
    TCustomBase::WriteMsg(msg);
    Invalidate();
    return true;
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

} // namespace

bool TSquishBase::DeleteMsg(TMsgId id) {
    try {
        TSquishFiles files(*this, true, true);
        TSqBaseHeader header = files.ReadHeader();
        std::vector<TSqIndexRecord> index = files.ReadIndex(header.NumMsg);
        if (header.NumMsg == 0)
            return false;
        auto it = std::find_if(index.begin(), index.end(),
                               [id](const TSqIndexRecord& r) { return r.UmsgId == id; });
        if (it == index.end())
            return true;
        const uint32_t offset = it->Offset;
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
        header.NumMsg -= 1;
        header.HighMsg -= 1;
        files.WriteHeader(header);
        index.erase(it);
        files.WriteIndex(index);
        files.Flush();
        if (int position = IndexOfId(id); position >= 0)
            Index.erase(Index.begin() + position);
    } catch (const std::exception&) {
        return FailChange(DataFileName());
    }
    FreeCache();
    Invalidate();
    return true;
}

namespace {

int Percent(size_t k, size_t n) {
    return n > 1 ? static_cast<int>(k * 50 / (n - 1)) : 50;
}

} // namespace

bool TSquishBase::DeleteMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) {
    if (ids.empty())
        return true;
    try {
        TSquishFiles files(*this, true, true);
        TSqBaseHeader header = files.ReadHeader();
        if (header.NumMsg == 0)
            return false;
        std::vector<TSqIndexRecord> index = files.ReadIndex(header.NumMsg);
        std::vector<TMsgId> wanted(ids);
        std::sort(wanted.begin(), wanted.end());
        std::vector<TSqIndexRecord> selected, remaining;
        for (const TSqIndexRecord& r : index)
            (std::binary_search(wanted.begin(), wanted.end(), r.UmsgId) ? selected : remaining).push_back(r);
        if (selected.empty())
            return true;
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

        // The selected frames, in file order, become the tail of the free chain.
        for (size_t k = 0; k < selected.size(); ++k) {
            if (progress)
                progress(Percent(k, selected.size()));
            TSqFrameHeader& frame = freed[k];
            frame.Prev = k == 0 ? header.LastFreeFrame : selected[k - 1].Offset;
            frame.Next = k + 1 < selected.size() ? selected[k + 1].Offset : 0;
            frame.FrameType = SqFrameFree;
            files.WriteFrame(selected[k].Offset, frame);
            header.NumMsg -= 1;
            header.HighMsg -= 1;
        }
        header.BeginFrame = remaining.empty() ? 0 : remaining.front().Offset;
        header.LastFrame = remaining.empty() ? 0 : remaining.back().Offset;
        files.SetNext(header, header.LastFreeFrame, selected.front().Offset, &TSqBaseHeader::FreeFrame);
        header.LastFreeFrame = selected.back().Offset;
        files.WriteHeader(header);

        // The message chain follows the index order.
        for (size_t k = 0; k < keptOrder.size(); ++k) {
            if (progress)
                progress(50 + Percent(k, keptOrder.size()));
            const size_t p = keptOrder[k];
            kept[p].Prev = p == 0 ? 0 : remaining[p - 1].Offset;
            kept[p].Next = p + 1 < remaining.size() ? remaining[p + 1].Offset : 0;
            files.WriteFrame(remaining[p].Offset, kept[p]);
        }
        files.WriteIndex(remaining);
        files.Flush();
        std::erase_if(Index, [&](const TSqIndexRecord& r) {
            return std::binary_search(wanted.begin(), wanted.end(), r.UmsgId);
        });
    } catch (const std::exception&) {
        return FailChange(DataFileName());
    }
    FreeCache();
    Invalidate();
    return true;
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

void TSquishBase::SetRead(TMsgId id, bool value) {
    SetReadMark(id, value);
}

bool TSquishBase::IsRead(TMsgId id) {
    return HasReadMark(id);
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

void TSquishBase::SetUserIndex(int index) {
    if (index == UserIndex)
        return;
    SaveLastRead();
    SaveReadMarks(SiblingFileName(Path, "R"), true);
    TCustomBase::SetUserIndex(index);
    LoadLastRead();
    LoadReadMarks(SiblingFileName(Path, "R"));
}

void TSquishBase::Close() {
    Reader.Reset();
    SaveLastRead();
    SaveReadMarks(SiblingFileName(Path, "R"), true);
    FreeCache();
}

} // namespace tavro
