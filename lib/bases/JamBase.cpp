#include "JamBase.h"

#include "core/Attributes.h"
#include "core/Charset.h"
#include "core/CodePage.h"
#include "core/Endian.h"
#include "core/FileTransaction.h"
#include "core/Settings.h"
#include "core/StorageText.h"
#include "core/StrUtils.h"
#include "core/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <stdexcept>

namespace tavro {

namespace {

constexpr int JamBufSize = 1024;
// Reading a file of many records: a large buffer saves most reads.
constexpr int JamWalkBufSize = 65536;
// Headers read ahead of the one asked for, while its lock is held.
constexpr int HeaderReadAhead = 32;
// Headers a walk over the whole list reads under one lock: a tosser waiting for it waits
// no longer than for a few reads.
constexpr int WalkBatch = 4096;
// Far beyond any real base; a larger index is damaged.
constexpr int64_t MaxIndexBytes = int64_t(256) << 20;
// No FTN message comes near this; a longer text is read only this far.
constexpr uint32_t MaxTextBytes = 16 << 20;
// Header bits a copy keeps from its source: the message type and what the model does not
// name; never the deleted bit.
constexpr uint32_t KeptAttrBits = 0xFFF80000 & ~JamDeleted;

void Damaged(const std::string& what) {
    throw EDamagedBase(what);
}

bool IsDeleted(const uint8_t* header) {
    return (GetLE32(header + jhAttribute) & JamDeleted) != 0;
}

bool IsDeleted(const TJamMsgHeader& header) {
    return IsDeleted(header.data());
}

// The open files of one operation on a base, with the checks that keep a damaged base from
// being read past its end.
class TJamFiles {
public:
    struct TWhich {
        bool Write = false;
        bool Index = false;
        bool Text = false;
        int HeaderBufSize = JamBufSize;
    };

    TJamFiles(const TJamBase& base, TWhich which) : HeaderName(base.HeaderFileName()) {
        const TOpenMode mode = which.Write ? TOpenMode::ReadWriteExclusive : TOpenMode::Read;
        OwnedHeader = OpenWithRetry(HeaderName, mode, which.HeaderBufSize, OpenTimeoutMs,
                                    which.Write ? TByteLock::Write : TByteLock::Read);
        Header = OwnedHeader.get();
        HeaderSize = Header->Size();
        if (HeaderSize < JamBaseHeaderSize)
            Damaged("\"" + HeaderName + "\" is shorter than a JAM header");
        if (which.Index)
            Index = OpenWithRetry(base.SiblingName("DX"), mode, JamBufSize,
                                  which.Write ? OpenTimeoutMs : ShortOpenTimeoutMs);
        if (which.Text)
            Text = OpenWithRetry(base.SiblingName("DT"), mode, JamBufSize);
    }

    // Over a header file already open and locked for reading, whose listed headers lie
    // within `size` (a read past the real end still fails).
    TJamFiles(std::string headerName, TBufStream& header, int64_t size)
        : HeaderName(std::move(headerName)), Header(&header), HeaderSize(size) {}

    TJamBaseHeader ReadBaseHeader() {
        uint8_t raw[JamBaseHeaderSize];
        Header->Seek(0, TSeekOrigin::Begin);
        Header->ReadBuffer(raw, JamBaseHeaderSize);
        TJamBaseHeader header = TJamBaseHeader::Decode(raw);
        if (!header.HasSignature())
            Damaged("\"" + HeaderName + "\" is not a JAM base");
        return header;
    }

    // Every write keeps what it overwrites in `tx`: there are no writes outside one.
    void Begin(TFileTransaction& tx) {
        Tx = &tx;
        for (TBufStream* stream : {Text.get(), Index.get(), Header})
            if (stream)
                tx.Track(*stream);
    }

    void Put(TBufStream& file, int64_t offset, const void* data, int64_t count) {
        Tx->Write(file, offset, data, count);
    }

    void WriteBaseHeader(const TJamBaseHeader& header) {
        auto raw = header.Encode();
        Put(*Header, 0, raw.data(), JamBaseHeaderSize);
    }

    TJamMsgHeader ReadMsgHeader(uint32_t offset) {
        CheckMsgHeaderOffset(offset);
        TJamMsgHeader header;
        Header->Seek(offset, TSeekOrigin::Begin);
        Header->ReadBuffer(header.data(), JamMsgHeaderSize);
        CheckSignature(header.data());
        return header;
    }

    void CheckMsgHeaderOffset(uint32_t offset) const {
        if (offset < JamBaseHeaderSize || int64_t(offset) + JamMsgHeaderSize > HeaderSize)
            Damaged("a message header of \"" + HeaderName + "\" lies outside the file");
    }

    void CheckSignature(const uint8_t* header) const {
        if (std::memcmp(header, JamSignature.data(), JamSignature.size()) != 0)
            Damaged("a message header of \"" + HeaderName + "\" has no signature");
    }

    // Calls `take` with each slot from `first` on that is in use and whose message is not
    // deleted, in one pass over the header file, until it answers false.
    template <typename TTake>
    void ForEachLiveSlot(const TIndexVector<TJamIndexRecord>& index, size_t first, TTake&& take) {
        TPieceReader pieces(HeaderName, HeaderSize);
        for (size_t i = first; i < index.size(); ++i) {
            if (index[i].IsEmpty())
                continue;
            const uint32_t offset = index[i].HeaderOffset;
            bool deleted;
            if (pieces.IsOpen()) {
                CheckMsgHeaderOffset(offset);
                const uint8_t* header = pieces.At(offset, JamMsgHeaderSize);
                CheckSignature(header);
                deleted = IsDeleted(header);
            } else {
                deleted = IsDeleted(ReadMsgHeader(offset));
            }
            if (!deleted && !take(static_cast<uint32_t>(i)))
                return;
        }
    }

    // The subfields after a header just read at `offset`.
    std::string ReadSubfields(uint32_t offset, const TJamMsgHeader& header) {
        const uint32_t length = GetLE32(&header[jhSubfieldLen]);
        if (int64_t(offset) + JamMsgHeaderSize + length > HeaderSize)
            Damaged("the subfields of a message of \"" + HeaderName + "\" run past the file");
        std::string data(length, '\0');
        Header->ReadBuffer(data.data(), length);
        return data;
    }

    const std::string HeaderName;
    std::unique_ptr<TBufStream> OwnedHeader;
    TBufStream* Header = nullptr;
    std::unique_ptr<TBufStream> Index;
    std::unique_ptr<TBufStream> Text;
    int64_t HeaderSize = 0;
    TFileTransaction* Tx = nullptr;
};

// A subfield's text: its data up to the first zero byte.
std::string_view SubfieldText(std::string_view data) {
    return data.substr(0, data.find('\0'));
}

// The trimmed rest of a kludge line after its keyword, when the line starts with it.
bool KludgeValue(std::string_view line, std::string_view keyword, std::string& value) {
    if (!StartsWithNoCase(line, keyword))
        return false;
    value = Trim(line.substr(keyword.size()));
    return true;
}

} // namespace

// --- TJamMsg ---

TJamMsg::TJamMsg(TCustomBase* base) : TCustomMsg(base) {}

void TJamMsg::DecodeHeader(std::string_view subfields) {
    // The set a CHRS subfield names decides how the names and the subject read.
    ForgetTextCharset();
    ForEachJamSubfield(subfields, [this](const TJamSubfield& field) {
        if (field.Id == jsFtsKludge && !TextCharset())
            NoteCharsetKludge(SubfieldText(field.Data));
    });
    Kludges.clear();
    Tail.clear();
    OtherSubfields.clear();
    FromAddr.Clear();
    ToAddr.Clear();
    FromName.clear();
    ToName.clear();
    Subject.clear();
    const bool whole = ParseJamSubfields(subfields, [&](const TJamSubfield& field) {
        const std::string text = DecodeStored(SubfieldText(field.Data));
        switch (field.Id) {
        case jsOAddress:
            FromAddr.Parse(text);
            break;
        case jsDAddress:
            ToAddr.Parse(text);
            break;
        case jsSenderName:
            FromName = text;
            break;
        case jsReceiverName:
            ToName = text;
            break;
        case jsSubject:
            Subject = text;
            break;
        case jsMsgId:
            Kludges.push_back("\x01MSGID: " + text);
            break;
        case jsReplyId:
            Kludges.push_back("\x01REPLY: " + text);
            break;
        case jsPid:
            Kludges.push_back("\x01PID: " + text);
            break;
        case jsFtsKludge:
            Kludges.push_back("\x01" + text);
            break;
        case jsFlags:
            Kludges.push_back("\x01"
                              "FLAGS " +
                              text);
            break;
        // SEEN-BY is no kludge: read as *.MSG and Squish hold it, so copies carry it as such.
        case jsSeenBy2D:
            Tail.push_back("SEEN-BY: " + text);
            break;
        case jsPath2D:
            Tail.push_back("\x01PATH: " + text);
            break;
        case jsTzUtc:
            Kludges.push_back("\x01TZUTC: " + text);
            break;
        default:
            OtherSubfields.emplace_back(field.Id, std::string(field.Data));
            break;
        }
    });
    if (!whole)
        throw EDamagedBase("the subfields of a JAM message do not add up");
    Attr = AttrFromJam(GetLE32(&Header[jhAttribute])) | AttrFromFlagsKludge(Kludges);
    DateWritten = UnixLocalToDateTime(static_cast<int32_t>(GetLE32(&Header[jhDateWritten])));
    const uint32_t received = GetLE32(&Header[jhDateReceived]);
    DateArrived = received == 0 ? DateWritten : UnixLocalToDateTime(static_cast<int32_t>(received));
    // Known with the header, so threads need no text.
    ReplyTo = GetLE32(&Header[jhReplyTo]);
    TakeThreadKludges();
}

void TJamMsg::LoadStored() {
    auto* base = dynamic_cast<TJamBase*>(Base());
    if (!base)
        throw std::logic_error("a stored JAM message without its base");
    LoadReplies(*base);
    LoadText(base->ReadText(*this));
}

void TJamMsg::LoadReplies(TJamBase& base) {
    Replies.clear();
    std::set<TMsgId> seen;
    TMsgId number = GetLE32(&Header[jhReply1st]);
    // A damaged chain may point back into itself: each number is followed once.
    while (number != 0 && seen.insert(number).second) {
        const int position = base.IndexOfId(number);
        if (position < 0)
            break;
        Replies.push_back(number);
        try {
            number = base.NextReply(position);
        } catch (const EFileError&) {
            break;
        }
    }
}

void TJamMsg::LoadText(std::string_view text) {
    Body.clear();
    // Tossers store an empty text as one zero byte; trailing zeros are no text.
    while (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    bool textStarted = false;
    const bool keepSoftCR = KeepSoftCR();
    std::string pending;
    for (char ch : text) {
        const auto c = static_cast<uint8_t>(ch);
        if (c == '\r') {
            AddLine(pending, textStarted);
            pending.clear();
        } else if (c != '\n' && !(c == SoftCR && !keepSoftCR && !Utf8Text())) {
            // In UTF-8 the SoftCR byte is part of a character.
            pending += ch;
        }
    }
    // A text ending in CR has no further line: reading what was written gives it back.
    if (!pending.empty())
        AddLine(pending, textStarted);
    if (!FromAddr.IsValid())
        ResolveAddresses();
    // Kludge lines at the start of the text follow those of the subfields.
    TakeThreadKludges();
    Loaded = true;
}

void TJamMsg::Assign(TCustomMsg* source) {
    if (!source || source == this)
        return;
    TCustomMsg::Assign(source);
    if (auto* jam = dynamic_cast<TJamMsg*>(source)) {
        Header = jam->Header;
        OtherSubfields = jam->OtherSubfields;
        Position = jam->Position;
        Loaded = jam->Loaded;
        // A copy is a live message, and reply numbers name messages of the source's base.
        PutLE32(&Header[jhAttribute], GetLE32(&Header[jhAttribute]) & ~JamDeleted);
        if (jam->Base() != Base())
            for (size_t field : {jhReplyTo, jhReply1st, jhReplyNext})
                PutLE32(&Header[field], 0);
    } else {
        OtherSubfields.clear();
        Position = -1;
        Loaded = true;
    }
}

bool TJamMsg::IsNetmail() const {
    if (Base() != nullptr && (!Base()->NetmailTag.empty() || !Base()->EchoTag.empty()))
        return TCustomMsg::IsNetmail();
    const uint32_t attr = GetLE32(&Header[jhAttribute]);
    return (attr & JamTypeNet) != 0 || ((attr & JamTypeLocal) != 0 && (attr & JamTypeEcho) == 0);
}

std::string TJamMsg::EncodeSubfields() {
    const TTextCodec codec = WriteCodec();
    std::string out;
    auto add = [&](uint16_t id, std::string_view text, size_t limit) {
        AppendJamSubfield(out, id, codec.Encode(text.substr(0, limit)));
    };
    // The CRCs describe the stored text, as other programs compute them from it.
    auto crc = [&](std::string_view text) { return JamCrc(codec.Encode(text.substr(0, 100))); };
    add(jsOAddress, FromAddr.ToStr5D(), 99);
    add(jsDAddress, ToAddr.ToStr5D(), 99);
    add(jsSenderName, FromName, 99);
    add(jsReceiverName, ToName, 99);
    add(jsSubject, Subject, 99);
    std::string value;
    for (const std::string& line : Kludges) {
        if (KludgeValue(line, "\x01MSGID:", value)) {
            add(jsMsgId, value, 99);
            PutLE32(&Header[jhMsgIdCrc], crc(value));
        } else if (KludgeValue(line, "\x01REPLY:", value)) {
            add(jsReplyId, value, 99);
            PutLE32(&Header[jhReplyCrc], crc(value));
        } else if (KludgeValue(line, "\x01PID:", value)) {
            add(jsPid, value, 39);
        } else if (KludgeValue(line,
                               "\x01"
                               "FLAGS",
                               value)) {
            add(jsFlags, value, 254);
        } else if (KludgeValue(line, "\x01TZUTC:", value)) {
            add(jsTzUtc, value, 254);
        } else if (!StartsWithNoCase(line, "\x01INTL") && !StartsWithNoCase(line, "\x01TOPT") &&
                   !StartsWithNoCase(line, "\x01"
                                           "FMPT")) {
            add(jsFtsKludge, Trim(line), 254);
        }
    }
    for (const std::string& line : Tail) {
        // SEEN-BY as *.MSG and Squish hold it or as JAM readers give it; other control lines
        // (Via) are kludges to JAM.
        if (KludgeValue(line, "SEEN-BY:", value) || KludgeValue(line, "\x01SEEN-BY:", value))
            add(jsSeenBy2D, value, 254);
        else if (KludgeValue(line, "\x01PATH:", value))
            add(jsPath2D, value, 254);
        else if (!line.empty() && line.front() == '\x01')
            add(jsFtsKludge, Trim(line), 254);
    }
    for (const auto& [id, data] : OtherSubfields)
        AppendJamSubfield(out, id, data);
    return out;
}

// --- TJamLiveList ---

void TJamLiveList::SetAll(size_t count) {
    All = true;
    Count = count;
    Slots.clear();
    Slots.shrink_to_fit();
}

void TJamLiveList::Set(std::vector<uint32_t> slots) {
    All = false;
    Slots = std::move(slots);
}

size_t TJamLiveList::LowerBound(int64_t slot) const {
    if (All)
        return static_cast<size_t>(std::clamp<int64_t>(slot, 0, int64_t(Count)));
    return static_cast<size_t>(std::lower_bound(Slots.begin(), Slots.end(), slot,
                                                [](uint32_t s, int64_t value) { return s < value; }) -
                               Slots.begin());
}

size_t TJamLiveList::UpperBound(int64_t slot) const {
    if (All)
        return static_cast<size_t>(std::clamp<int64_t>(slot + 1, 0, int64_t(Count)));
    return static_cast<size_t>(std::upper_bound(Slots.begin(), Slots.end(), slot,
                                                [](int64_t value, uint32_t s) { return value < s; }) -
                               Slots.begin());
}

void TJamLiveList::Append(uint32_t slot) {
    if (All && slot == Count) {
        ++Count;
        return;
    }
    if (All) {
        // A slot left out: the positions become a list.
        Slots.resize(Count);
        for (size_t i = 0; i < Count; ++i)
            Slots[i] = static_cast<uint32_t>(i);
        All = false;
    }
    Slots.push_back(slot);
}

void TJamLiveList::Erase(const std::vector<uint32_t>& slots) {
    if (slots.empty())
        return;
    std::vector<uint32_t> kept;
    kept.reserve(size());
    for (size_t i = 0; i < size(); ++i)
        if (!std::binary_search(slots.begin(), slots.end(), (*this)[i]))
            kept.push_back((*this)[i]);
    Set(std::move(kept));
}

// --- TJamBase ---

TJamBase::TJamBase(std::string path, std::string echoTag, std::string netmailTag)
    : TCustomBase(NormalizeSeparators(path), std::move(echoTag), std::move(netmailTag)) {
    Invalidate();
}

TJamBase::~TJamBase() {
    Close();
}

std::string TJamBase::HeaderFileName() const {
    return ResolveCase(Path);
}

std::string TJamBase::SiblingName(const char* suffix) const {
    return ResolveCase(SiblingFileName(Path, suffix));
}

void TJamBase::CreateStorage() {
    auto header = CreateLockedFile(HeaderFileName(), JamBufSize);
    if (!header)
        return;
    // An index left without its headers would name messages that are not there.
    TBufStream index(SiblingName("DX"), JamBufSize, TOpenMode::Create);
    TBufStream text(SiblingName("DT"), JamBufSize, TOpenMode::ReadWriteExclusiveCreate);
    // Tossers take a base without its last-read file for a missing one and create it anew
    // over what is there.
    TBufStream lastRead(SiblingName("LR"), JamBufSize, TOpenMode::ReadWriteExclusiveCreate);
    TJamBaseHeader base;
    base.DateCreated = DateTimeToUnixLocal(Now());
    auto raw = base.Encode();
    header->WriteBuffer(raw.data(), JamBaseHeaderSize);
    header->Flush();
}

bool TJamBase::Exists() {
    return FileExists(HeaderFileName());
}

bool TJamBase::LoadList() {
    if (!Exists()) {
        Header = TJamBaseHeader();
        Index.clear();
        UsedSlots = 0;
        Live.SetAll(0);
        LiveBuilt = true;
        ListedHeaderName.clear();
        ListedHeaderSize = 0;
        DropCache();
        FileStamp = {};
        return false;
    }
    TJamFiles files(*this, {.Index = true});
    const TJamBaseHeader header = files.ReadBaseHeader();
    const int64_t size = files.Index->Size();
    if (size > MaxIndexBytes)
        Damaged("the index of \"" + files.HeaderName + "\" is too large");
    TIndexVector<TJamIndexRecord> index =
        ReadIndexRecords<TJamIndexRecord>(*files.Index, static_cast<size_t>(size) / JamIndexRecordSize);
    Header = header;
    Index = std::move(index);
    UsedSlots = Index.size() - CountEmptyJamSlots(Index.data(), Index.size());
    Live.SetAll(0);
    LiveBuilt = false;
    DropCache();
    ListedHeaderName = files.HeaderName;
    ListedHeaderSize = files.HeaderSize;
    FileStamp = FileStampOf(ListedHeaderName);
    return true;
}

void TJamBase::BuildLive() {
    if (LiveBuilt)
        return;
    std::vector<uint32_t> live;
    LiveFromHeaders = UsedSlots != Header.ActiveMsgs;
    if (!LiveFromHeaders && UsedSlots == Index.size()) {
        Live.SetAll(Index.size());
        LiveBuilt = true;
        DropCache();
        return;
    }
    live.reserve(UsedSlots);
    if (!LiveFromHeaders) {
        // Every record in use is a live message: nothing to read.
        for (uint32_t i = 0; i < Index.size(); ++i)
            if (!Index[i].IsEmpty())
                live.push_back(i);
    } else {
        // The headers say which are deleted. The count is no bound: an append killed before
        // it counted its message leaves the count short, and the messages after it must
        // still show.
        TJamFiles files(*this, {});
        files.ForEachLiveSlot(Index, 0, [&](uint32_t slot) {
            live.push_back(slot);
            return true;
        });
    }
    Live.Set(std::move(live));
    LiveBuilt = true;
    DropCache();
}

void TJamBase::DropCache() {
    Reader.Reset();
    Cache.Clear();
    ReadAheadStop = std::numeric_limits<int>::max();
}

void TJamBase::Invalidate() {
    FileStamp = {};
}

bool TJamBase::IsChanged() {
    return FileStamp == TFileStamp() || FileStampOf(HeaderFileName()) != FileStamp;
}

int TJamBase::GetCount() {
    BuildLive();
    return static_cast<int>(Live.size());
}

TMsgId TJamBase::GetMsgId(int position) {
    if (position < 0 || position >= GetCount())
        return NoMsgId;
    return Live[static_cast<size_t>(position)] + Header.BaseMsgNum;
}

TMsgHandle TJamBase::GetMsg(int position) {
    if (position < 0 || position >= GetCount())
        return nullptr;
    if (TMsgHandle cached = Cache.Find(position))
        return cached;
    THeaderReadLock lock(Reader, ListedHeaderName);
    TJamFiles files(ListedHeaderName, lock.Stream, ListedHeaderSize);
    auto read = [&](int at) {
        const uint32_t offset = Index[Live[static_cast<size_t>(at)]].HeaderOffset;
        auto msg = std::make_shared<TJamMsg>(this);
        msg->Position = at;
        msg->Header = files.ReadMsgHeader(offset);
        msg->DecodeHeader(files.ReadSubfields(offset, msg->Header));
        msg->Loaded = false;
        return msg;
    };
    TMsgHandle msg = read(position);
    Cache.Add(position, msg);
    // Lists walk the headers in order: the next few come under the same lock, which costs
    // far less than a lock of their own. One that cannot be read waits until it is asked for.
    const int last = std::min({GetCount(), position + HeaderReadAhead, ReadAheadStop});
    for (int next = position + 1; next < last && !Cache.Find(next); ++next) {
        try {
            Cache.Add(next, read(next));
        } catch (const EFileError&) {
            // Not tried again ahead of time: a damaged header is read when it is asked for.
            ReadAheadStop = next;
            break;
        }
    }
    return msg;
}

namespace {

// The subfields the list takes, found in one pass.
struct TJamListSubfields {
    std::string_view From, To, Subject, MsgId, Reply;
    const TCharset* Charset = nullptr; // named by a CHRS subfield
    bool HaveMsgId = false;
    bool HaveReply = false;

    void Take(const TJamSubfield& field) {
        const std::string_view text = SubfieldText(field.Data);
        switch (field.Id) {
        case jsSenderName:
            From = text;
            break;
        case jsReceiverName:
            To = text;
            break;
        case jsSubject:
            Subject = text;
            break;
        case jsMsgId:
            TakeOnce(text, MsgId, HaveMsgId);
            break;
        case jsReplyId:
            TakeOnce(text, Reply, HaveReply);
            break;
        case jsFtsKludge:
            // The first of the two a message names counts, as when its kludges are read.
            if (StartsWithNoCase(text, "MSGID:"))
                TakeOnce(text.substr(6), MsgId, HaveMsgId);
            else if (StartsWithNoCase(text, "REPLY:"))
                TakeOnce(text.substr(6), Reply, HaveReply);
            else if (!Charset)
                Charset = TCharset::FromKludgeLine(text);
            break;
        default:
            break;
        }
    }

    static void TakeOnce(std::string_view text, std::string_view& value, bool& have) {
        if (!have) {
            value = text;
            have = true;
        }
    }
};

// The set the list reads a message's names and subject in, as its text is read: none for the
// identity pages or the OEM page itself.
const TCharset* ListCharset(const TCharset* named, const TCodePagePair& pages) {
    if (!named || pages.IsIdentity())
        return nullptr;
    return named->IsPage(pages.Oem()) ? nullptr : named;
}

} // namespace

void TJamBase::ReadListHeaders(unsigned fields, const TListHeaderVisitor& visit, const TProgress& progress) {
    const int count = GetCount();
    TPieceReader pieces(ListedHeaderName, ListedHeaderSize);
    if (count == 0 || !pieces.IsOpen()) {
        TCustomBase::ReadListHeaders(fields, visit, progress);
        return;
    }
    TPercentSteps steps(progress, count);
    const TCodePagePair& pages = CodePages;
    std::string from, to, subject, large;
    for (int first = 0; first < count; first += WalkBatch) {
        THeaderReadLock lock(Reader, ListedHeaderName);
        TJamFiles files(ListedHeaderName, lock.Stream, ListedHeaderSize);
        pieces.Forget();
        for (int p = first; p < std::min(count, first + WalkBatch); ++p) {
            const uint32_t offset = Index[Live[static_cast<size_t>(p)]].HeaderOffset;
            files.CheckMsgHeaderOffset(offset);
            TJamMsgHeader header;
            std::memcpy(header.data(), pieces.At(offset, JamMsgHeaderSize), JamMsgHeaderSize);
            files.CheckSignature(header.data());
            const uint32_t length = GetLE32(&header[jhSubfieldLen]);
            if (int64_t(offset) + JamMsgHeaderSize + length > ListedHeaderSize)
                Damaged("the subfields of a message of \"" + ListedHeaderName + "\" run past the file");
            std::string_view data;
            if (JamMsgHeaderSize + length <= TPieceReader::MinPieceSize) {
                data = {reinterpret_cast<const char*>(pieces.At(offset, JamMsgHeaderSize + length)) +
                            JamMsgHeaderSize,
                        length};
            } else {
                files.ReadMsgHeader(offset); // leaves the stream at the subfields
                large = files.ReadSubfields(offset, header);
                data = large;
            }
            TJamListSubfields found;
            if (!ForEachJamSubfield(data, [&](const TJamSubfield& field) { found.Take(field); }))
                Damaged("the subfields of a JAM message do not add up");
            // Into the same buffers each time: a string made per field costs as much as the read.
            TListHeader out;
            const TCharset* set = ListCharset(found.Charset, pages);
            auto decode = [&](std::string_view stored, std::string& buffer) {
                return set ? set->ToDisplay(stored, *pages.Display(), buffer)
                           : pages.OemToDisplay(stored, buffer);
            };
            if (fields & lfNames) {
                out.FromName = decode(found.From, from);
                out.ToName = decode(found.To, to);
            }
            if (fields & lfSubject)
                out.Subject = decode(found.Subject, subject);
            if (fields & lfDate)
                out.DateWritten = UnixLocalToDateTime(static_cast<int32_t>(GetLE32(&header[jhDateWritten])));
            out.ReplyTo = GetLE32(&header[jhReplyTo]);
            out.MsgId = found.MsgId;
            out.Reply = found.Reply;
            visit(p, out);
            steps.Done(p);
        }
    }
}

TMsgId TJamBase::NextReply(int position) {
    if (TMsgHandle cached = Cache.Find(position))
        return GetLE32(&static_cast<TJamMsg&>(*cached).Header[jhReplyNext]);
    if (position < 0 || position >= GetCount())
        return 0;
    const uint32_t offset = Index[Live[static_cast<size_t>(position)]].HeaderOffset;
    THeaderReadLock lock(Reader, ListedHeaderName);
    TJamFiles files(ListedHeaderName, lock.Stream, ListedHeaderSize);
    return GetLE32(&files.ReadMsgHeader(offset)[jhReplyNext]);
}

std::string TJamBase::ReadText(const TJamMsg& msg) const {
    auto file = OpenWithRetry(SiblingName("DT"), TOpenMode::Read, JamBufSize, ShortOpenTimeoutMs);
    const uint32_t offset = GetLE32(&msg.Header[jhTxtOffset]);
    const uint32_t length = std::min(GetLE32(&msg.Header[jhTxtLen]), MaxTextBytes);
    if (int64_t(offset) + length > file->Size())
        Damaged("the text of a message of \"" + Path + "\" lies outside its file");
    std::string text(length, '\0');
    file->Seek(offset, TSeekOrigin::Begin);
    file->ReadBuffer(text.data(), length);
    return text;
}

std::unique_ptr<TCustomMsg> TJamBase::NewMsg() {
    return std::make_unique<TJamMsg>(this);
}

// The text, then the header with its subfields, then the index record, each past the end
// of its file, and last the base header that counts the message: each step is flushed
// before the next, so a reader never meets an index record pointing at a fragment, and a
// failure puts back every byte.
TMsgId TJamBase::StoreMsg(TCustomMsg& msg) {
    auto* jam = dynamic_cast<TJamMsg*>(&msg);
    if (!jam)
        throw std::logic_error("a JAM base stores only its own messages");
    TJamFiles files(*this, {.Write = true, .Index = true, .Text = true});
    TFileTransaction tx;
    files.Begin(tx);
    TJamBaseHeader base = files.ReadBaseHeader();
    const int64_t indexSize = files.Index->Size();
    // A torn record would shift every record appended after it.
    if (indexSize % JamIndexRecordSize != 0)
        Damaged("the index of \"" + files.HeaderName + "\" ends in a partial record");
    const int64_t headerEnd = files.HeaderSize, textEnd = files.Text->Size();
    if (headerEnd > UINT32_MAX - (int64_t(1) << 20) || textEnd > UINT32_MAX - (int64_t(1) << 24))
        throw EFileError("\"" + files.HeaderName + "\" is full", 0);
    const TMsgId number = static_cast<TMsgId>(indexSize / JamIndexRecordSize) + base.BaseMsgNum;

    std::string text;
    const TTextCodec codec = jam->WriteCodec();
    for (const TBodyLine& line : jam->Body)
        text += codec.Encode(line.Text) + '\r';

    TJamMsgHeader& h = jam->Header;
    const uint32_t storedAttr = GetLE32(&h[jhAttribute]);
    std::copy(JamSignature.begin(), JamSignature.end(), h.begin());
    PutLE16(&h[jhRevision], 1);
    PutLE16(&h[jhRevision + 2], 0);
    const std::string subfields = jam->EncodeSubfields();
    PutLE32(&h[jhSubfieldLen], static_cast<uint32_t>(subfields.size()));
    PutLE32(&h[jhDateWritten], DateTimeToUnixLocal(jam->DateWritten));
    PutLE32(&h[jhDateReceived], DateTimeToUnixLocal(jam->DateArrived));
    PutLE32(&h[jhMsgNum], number);
    // A reply written into its parent's area links to it at once.
    if (jam->ReplyTo != 0)
        PutLE32(&h[jhReplyTo], jam->ReplyTo);
    uint32_t attr = (storedAttr & KeptAttrBits) | AttrToJam(jam->GetAttr());
    // A copy takes the type of the area it goes to.
    if (!EchoTag.empty() || !NetmailTag.empty())
        attr &= ~(JamTypeLocal | JamTypeEcho | JamTypeNet);
    if (!EchoTag.empty())
        attr |= JamTypeEcho;
    // Tossers select netmail by the net type; the local bit stays for older readers.
    if (!NetmailTag.empty())
        attr |= JamTypeNet | JamTypeLocal;
    PutLE32(&h[jhAttribute], attr);
    PutLE32(&h[jhTxtOffset], static_cast<uint32_t>(textEnd));
    PutLE32(&h[jhTxtLen], static_cast<uint32_t>(text.size()));

    files.Put(*files.Text, textEnd, text.data(), static_cast<int64_t>(text.size()));
    files.Text->Flush();
    files.Put(*files.Header, headerEnd, h.data(), JamMsgHeaderSize);
    files.Put(*files.Header, headerEnd + JamMsgHeaderSize, subfields.data(),
              static_cast<int64_t>(subfields.size()));
    files.Header->Flush();
    uint8_t record[JamIndexRecordSize];
    const std::string storedTo = codec.Encode(Trim(jam->ToName));
    PutLE32(record, JamCrc(storedTo));
    PutLE32(record + 4, static_cast<uint32_t>(headerEnd));
    files.Put(*files.Index, indexSize, record, JamIndexRecordSize);
    files.Index->Flush();
    const uint32_t position = base.ActiveMsgs;
    base.ModCounter += 1;
    base.ActiveMsgs += 1;
    files.WriteBaseHeader(base);
    files.Header->Flush();
    tx.Commit();

    // Until the next rescan the list shows what this base knows it changed.
    if (int64_t(Index.size()) * JamIndexRecordSize == indexSize) {
        Index.push_back({GetLE32(record), GetLE32(record + 4)});
        UsedSlots += !Index.back().IsEmpty();
        if (LiveBuilt && Live.size() == position) {
            Live.Append(static_cast<uint32_t>(Index.size() - 1));
        }
        Header = base;
        ListedHeaderSize =
            std::max<int64_t>(ListedHeaderSize, headerEnd + JamMsgHeaderSize + subfields.size());
    }
    jam->Position = static_cast<int>(position);
    jam->Loaded = true;
    return number;
}

std::string TJamBase::ScanLine(TMsgId number) const {
    std::string path = Path;
    const size_t slash = path.rfind('/');
    if (const size_t dot = path.rfind('.');
        dot != std::string::npos && (slash == std::string::npos || dot > slash))
        path.erase(dot);
    // Substitutions map the tosser's prefix to ours; the tosser wants its own back.
    for (const std::string& rule : CurrentSettings().PathSubst) {
        const size_t eq = rule.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string theirs = Trim(std::string_view(rule).substr(0, eq));
        const std::string ours = Trim(std::string_view(rule).substr(eq + 1));
        if (StartsWithNoCase(path, ours)) {
            path = theirs + path.substr(ours.size());
            break;
        }
    }
    return path + " " + std::to_string(number);
}

// Marks the headers deleted, then the base header: the index and the texts stay, and the
// numbers are never used again.
size_t TJamBase::RemoveMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) {
    // The slots come from the live list, built before the exclusive open that would keep its
    // reading out.
    std::vector<uint32_t> slots;
    for (TMsgId id : ids)
        slots.push_back(Live[static_cast<size_t>(IndexOfId(id))]);
    CheckHeadersNotShared(slots);
    TJamFiles files(*this, {.Write = true});
    TFileTransaction tx;
    files.Begin(tx);
    TJamBaseHeader base = files.ReadBaseHeader();
    // Listed while marked deleted: the count had it as live, and must stop doing so.
    size_t found = 0, marked = 0, stale = 0;
    for (size_t k = 0; k < slots.size(); ++k) {
        ReportProgress(progress, k, slots.size());
        const uint32_t offset = Index[slots[k]].HeaderOffset;
        TJamMsgHeader header = files.ReadMsgHeader(offset);
        // Another program may have changed the base since it was listed.
        if (GetLE32(&header[jhMsgNum]) != slots[k] + Header.BaseMsgNum)
            throw EFileError("a message of \"" + files.HeaderName + "\" moved", 0);
        ++found;
        if (IsDeleted(header)) {
            ++stale;
            continue;
        }
        PutLE32(&header[jhAttribute], GetLE32(&header[jhAttribute]) | JamDeleted);
        files.Put(*files.Header, offset, header.data(), JamMsgHeaderSize);
        ++marked;
    }
    files.Header->Flush();
    if (marked + stale > 0) {
        // A count that was wrong would list a deleted message again once it comes level with
        // the records in use; where the headers were all read and nobody changed the base
        // since, the true count is known.
        const bool unchanged = LiveFromHeaders && base.ModCounter == Header.ModCounter &&
                               base.ActiveMsgs == Header.ActiveMsgs && base.BaseMsgNum == Header.BaseMsgNum;
        if (unchanged && Live.size() >= marked)
            base.ActiveMsgs = static_cast<uint32_t>(Live.size() - marked);
        else
            base.ActiveMsgs -= std::min<uint32_t>(base.ActiveMsgs, static_cast<uint32_t>(marked + stale));
        base.ModCounter += 1;
        files.WriteBaseHeader(base);
        files.Header->Flush();
        Header = base;
    }
    tx.Commit();
    std::sort(slots.begin(), slots.end());
    Live.Erase(slots);
    DropCache();
    return found;
}

void TJamBase::CheckHeadersNotShared(std::vector<uint32_t> slots) const {
    std::vector<uint32_t> offsets;
    for (uint32_t slot : slots)
        offsets.push_back(Index[slot].HeaderOffset);
    std::sort(offsets.begin(), offsets.end());
    std::sort(slots.begin(), slots.end());
    for (size_t position = 0; position < Live.size(); ++position) {
        const uint32_t slot = Live[position];
        if (std::binary_search(offsets.begin(), offsets.end(), Index[slot].HeaderOffset) &&
            !std::binary_search(slots.begin(), slots.end(), slot))
            Damaged("two messages of \"" + HeaderFileName() + "\" share one header");
    }
}

int TJamBase::FindNearest(TMsgId id) {
    BuildLive();
    const int64_t slot = int64_t(id) - Header.BaseMsgNum;
    const size_t after = Live.UpperBound(slot);
    return after == 0 ? 0 : static_cast<int>(after) - 1;
}

int TJamBase::IndexOfId(TMsgId id) {
    BuildLive();
    const int64_t slot = int64_t(id) - Header.BaseMsgNum;
    if (slot < 0)
        return -1;
    const size_t at = Live.LowerBound(slot);
    return at < Live.size() && Live[at] == slot ? static_cast<int>(at) : -1;
}

bool TJamBase::HasUnread() {
    if (LiveBuilt)
        return TCustomBase::HasUnread();
    // Without the list, only the messages after the last-read pointer are looked at.
    const int64_t first = std::max<int64_t>(0, LastRead - int64_t(Header.BaseMsgNum) + 1);
    // The stored count answers only when it agrees with the index, as in BuildLive.
    if (first == 0 && UsedSlots == Header.ActiveMsgs)
        return Header.ActiveMsgs != 0;
    TJamFiles files(*this, {});
    bool found = false;
    files.ForEachLiveSlot(Index, static_cast<size_t>(first), [&](uint32_t) { return !(found = true); });
    return found;
}

void TJamBase::SetLastRead(TMsgId id) {
    LastRead = id;
    HighRead = std::max<int64_t>(HighRead, static_cast<int32_t>(id));
}

// Without a record the reader starts at the first message.
TMsgId TJamBase::GetLastRead() {
    return LastRead < 0 ? 0 : static_cast<TMsgId>(LastRead);
}

namespace {

// The offset of the user's record in the .JLR, read from the start to the end however long
// it is; -1 when there is none. `record` gets the record found: the one with the CRC of the
// user's name, as other JAM readers find it, else the one with the user's number.
int64_t FindLastReadRecord(TBufStream& file, uint32_t nameCrc, int user, uint8_t (&record)[JamLastReadSize]) {
    int64_t byNumber = -1;
    uint8_t numbered[JamLastReadSize];
    file.Seek(0, TSeekOrigin::Begin);
    for (int64_t at = 0; file.Read(record, JamLastReadSize) == JamLastReadSize; at += JamLastReadSize) {
        if (GetLE32(record) == nameCrc)
            return at;
        if (byNumber < 0 && GetLE32(record + 4) == static_cast<uint32_t>(user)) {
            byNumber = at;
            std::memcpy(numbered, record, JamLastReadSize);
        }
    }
    if (byNumber >= 0)
        std::memcpy(record, numbered, JamLastReadSize);
    return byNumber;
}

} // namespace

uint32_t TJamBase::NameCrc() const {
    return JamCrc(CodePages.DisplayToOem(UserName));
}

void TJamBase::LoadLastRead() {
    LastRead = HighRead = -1;
    if (UserIndex >= 0) {
        try {
            auto file = OpenWithRetry(SiblingName("LR"), TOpenMode::Read, JamWalkBufSize, ShortOpenTimeoutMs);
            uint8_t record[JamLastReadSize];
            if (FindLastReadRecord(*file, NameCrc(), UserIndex, record) >= 0) {
                LastRead = static_cast<int32_t>(GetLE32(record + 8));
                HighRead = static_cast<int32_t>(GetLE32(record + 12));
            }
        } catch (const std::exception&) {
            // No record yet.
        }
    }
    StoredLastRead = LastRead;
    StoredHighRead = HighRead;
}

void TJamBase::SaveLastRead() {
    if (UserIndex < 0 || (LastRead == StoredLastRead && HighRead == StoredHighRead))
        return;
    try {
        auto file = OpenWithRetry(SiblingName("LR"), TOpenMode::ReadWriteExclusiveCreate, JamWalkBufSize,
                                  ShortOpenTimeoutMs);
        uint8_t record[JamLastReadSize];
        int64_t at = FindLastReadRecord(*file, NameCrc(), UserIndex, record);
        if (at < 0) {
            // A new record goes after the last whole one; a found one keeps the name and
            // number another program gave it.
            const int64_t size = file->Size();
            at = size - size % JamLastReadSize;
            PutLE32(record, NameCrc());
            PutLE32(record + 4, static_cast<uint32_t>(UserIndex));
        }
        PutLE32(record + 8, static_cast<uint32_t>(LastRead));
        PutLE32(record + 12, static_cast<uint32_t>(HighRead));
        file->Seek(at, TSeekOrigin::Begin);
        file->WriteBuffer(record, JamLastReadSize);
        file->Flush();
        StoredLastRead = LastRead;
        StoredHighRead = HighRead;
    } catch (const std::exception&) {
        // A lost pointer only means reading from an earlier message next time.
    }
}

std::string TJamBase::ReadingsFileName() const {
    return SiblingName("RD");
}

} // namespace tavro
