#include "FidoBase.h"

#include "LastReadFile.h"

#include "core/Attributes.h"
#include "core/CodePage.h"
#include "core/Endian.h"
#include "core/FileUtils.h"
#include "core/StorageText.h"
#include "core/StrUtils.h"
#include "core/UserInterface.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <unistd.h>

namespace tavro {

namespace {

constexpr int MsgBufSize = 16384;
constexpr int NewMsgBufSize = 4096;
// No FTN message comes near this; a larger file is read only this far.
constexpr int64_t MaxTextBytes = 16 << 20;
// The attribute word's bit that no flag of the model uses.
constexpr uint16_t UnusedAttrBit = 0x0400;

enum THeaderOffset : size_t {
    hoFromName = 0,
    hoToName = 36,
    hoSubject = 72,
    hoDateTime = 144,
    hoDestNode = 166,
    hoOrigNode = 168,
    hoOrigNet = 172,
    hoDestNet = 174,
    hoDateWritten = 176,
    hoDateArrived = 180,
    hoReplyTo = 184,
    hoAttr = 186,
};

// The number of a "NNN.msg" name; false for any other name.
bool MsgNumber(std::string_view name, uint32_t& number) {
    std::string_view stem = name.substr(0, name.size() - 4);
    if (stem.empty() || stem.size() > 10)
        return false;
    uint64_t value = 0;
    for (char c : stem) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value >= NoMsgId)
        return false;
    number = static_cast<uint32_t>(value);
    return true;
}

// Whether "N.msg" exists in any letter case. Digits have no case, so the eight spellings
// of the extension are tried instead of listing a directory of thousands of files.
bool MsgFileExists(const std::string& dir, uint32_t number) {
    const std::string stem = dir + std::to_string(number) + ".";
    for (int variant = 0; variant < 8; ++variant) {
        std::string ext = "msg";
        for (int i = 0; i < 3; ++i)
            if (variant & (1 << i))
                ext[static_cast<size_t>(i)] = UpperAscii(ext[static_cast<size_t>(i)]);
        if (FileExists(stem + ext))
            return true;
    }
    return false;
}

} // namespace

// --- TFidoMsg ---

TFidoMsg::TFidoMsg(TCustomBase* base) : TCustomMsg(base) {}

void TFidoMsg::LoadStored() {
    auto* base = dynamic_cast<TFidoBase*>(Base());
    if (!base)
        throw std::logic_error("a stored *.MSG message without its base");
    auto file = OpenWithRetry(base->MsgFileName(Position), TOpenMode::Read, MsgBufSize);
    file->Seek(FidoHeaderSize, TSeekOrigin::Begin);
    std::string text(static_cast<size_t>(std::clamp<int64_t>(file->Size() - FidoHeaderSize, 0, MaxTextBytes)),
                     '\0');
    text.resize(static_cast<size_t>(file->Read(text.data(), static_cast<int64_t>(text.size()))));
    LoadText(text);
}

void TFidoMsg::LoadText(std::string_view text) {
    ClearText();
    bool textStarted = false;
    const bool keepSoftCR = KeepSoftCR();
    std::string pending;
    for (char ch : text) {
        const auto c = static_cast<uint8_t>(ch);
        if (c == 0x00 || c == 0x1A)
            break;
        if (c == '\n' || (c == SoftCR && !keepSoftCR))
            continue;
        if (c == '\r') {
            AddLine(pending, textStarted);
            pending.clear();
        } else {
            pending += ch;
        }
    }
    if (!pending.empty())
        AddLine(pending, textStarted);
    Attr = AttrFromMsgWord(GetLE16(&Header[hoAttr]) & ~UnusedAttrBit) | AttrFromFlagsKludge(Kludges);
    ResolveAddresses();
    Loaded = true;
}

void TFidoMsg::Assign(TCustomMsg* source) {
    if (!source || source == this)
        return;
    TCustomMsg::Assign(source);
    if (auto* fido = dynamic_cast<TFidoMsg*>(source)) {
        Header = fido->Header;
        Position = fido->Position;
        Loaded = fido->Loaded;
    } else {
        Position = -1;
        Loaded = true;
    }
}

void TFidoMsg::DecodeHeader(TDateTime fileTime) {
    const TCodePagePair& pages = CodePages();
    FromName = ReadFixedString(&Header[hoFromName], 36, pages);
    ToName = ReadFixedString(&Header[hoToName], 36, pages);
    Subject = ReadFixedString(&Header[hoSubject], 72, pages);
    FromAddr = TAddress(0, GetLE16(&Header[hoOrigNet]), GetLE16(&Header[hoOrigNode]));
    ToAddr = TAddress(0, GetLE16(&Header[hoDestNet]), GetLE16(&Header[hoDestNode]));
    if (!DosDateFirstToDateTime(GetLE32(&Header[hoDateWritten]), DateWritten)) {
        std::string_view fts(reinterpret_cast<const char*>(&Header[hoDateTime]), 20);
        DateWritten = FtsDateToDateTime(fts.substr(0, fts.find('\0')));
    }
    if (!DosDateFirstToDateTime(GetLE32(&Header[hoDateArrived]), DateArrived))
        DateArrived = fileTime != 0 ? fileTime : Now();
}

void TFidoMsg::EncodeHeader() {
    const TCodePagePair& pages = CodePages();
    const bool keep = KeepSoftCR();
    WriteFixedString(&Header[hoFromName], 36, FromName, pages, keep);
    WriteFixedString(&Header[hoToName], 36, ToName, pages, keep);
    WriteFixedString(&Header[hoSubject], 72, Subject, pages, keep);
    std::string fts = DateTimeToFtsDate(DateWritten);
    std::fill_n(&Header[hoDateTime], 20, uint8_t(0));
    std::copy_n(fts.begin(), std::min<size_t>(fts.size(), 19), &Header[hoDateTime]);
    PutLE16(&Header[hoDestNode], ToAddr.Node);
    PutLE16(&Header[hoOrigNode], FromAddr.Node);
    PutLE16(&Header[hoOrigNet], FromAddr.Net);
    PutLE16(&Header[hoDestNet], ToAddr.Net);
    PutLE32(&Header[hoDateWritten], DateTimeToDosDateFirst(DateWritten));
    PutLE32(&Header[hoDateArrived], DateTimeToDosDateFirst(DateArrived));
    PutLE16(&Header[hoAttr], AttrToMsgWord(GetAttr()));
}

// --- TFidoBase ---

bool TFidoBase::TEntry::operator<(const TEntry& other) const {
    return Number != other.Number ? Number < other.Number : Name < other.Name;
}

TFidoBase::TFidoBase(std::string path, std::string echoTag, std::string netmailTag)
    : TCustomBase({}, std::move(echoTag), std::move(netmailTag)) {
    TFidoBase::SetPath(std::move(path));
    if (!DirectoryExists(ResolveCase(Path)))
        ShowCannotAccessDirectory(Path);
    Invalidate();
}

TFidoBase::~TFidoBase() {
    Close();
}

void TFidoBase::SetPath(std::string path) {
    Path = NormalizeSeparators(path);
    if (!Path.empty() && Path.back() != '/')
        Path += '/';
}

std::string TFidoBase::FileInBase(std::string_view name) const {
    return ResolveCase(Path + std::string(name));
}

std::string TFidoBase::MsgFileName(int position) const {
    if (position < 0 || position >= static_cast<int>(Files.size()))
        return {};
    return ResolveCase(Path) + Files[static_cast<size_t>(position)].Name;
}

std::vector<std::string> TFidoBase::ListMsgFiles() const {
    return ListFiles(ResolveCase(Path), "*.msg");
}

int TFidoBase::GetCount() {
    return static_cast<int>(Files.size());
}

TMsgId TFidoBase::GetMsgId(int position) {
    if (position < 0 || position >= GetCount())
        return NoMsgId;
    return Files[static_cast<size_t>(position)].Number;
}

TCustomMsg* TFidoBase::GetMsg(int position) {
    if (position < 0 || position >= GetCount())
        return nullptr;
    auto& cached = Cache[static_cast<size_t>(position)];
    if (cached)
        return cached.get();
    auto msg = std::make_unique<TFidoMsg>(this);
    msg->Position = position;
    auto file = OpenWithRetry(MsgFileName(position), TOpenMode::Read, MsgBufSize);
    file->ReadBuffer(msg->Header.data(), FidoHeaderSize);
    msg->DecodeHeader(UnixTimeToLocalDateTime(file->ModificationTime()));
    msg->Loaded = false;
    cached = std::move(msg);
    return cached.get();
}

void TFidoBase::Rescan() {
    Listing = ListMsgFiles();
    Files.clear();
    for (const std::string& name : Listing) {
        uint32_t number;
        if (MsgNumber(name, number))
            Files.push_back({number, name});
    }
    std::sort(Files.begin(), Files.end());
    FreeCache();
    Changed = false;
    LastCheck = std::chrono::steady_clock::now();
}

void TFidoBase::FreeCache() {
    Cache.clear();
    Cache.resize(Files.size());
}

void TFidoBase::Invalidate() {
    Changed = true;
}

bool TFidoBase::IsChanged() {
    if (Changed)
        return true;
    auto now = std::chrono::steady_clock::now();
    if (now - LastCheck < ChangeCheckInterval)
        return false;
    LastCheck = now;
    // Compared with every name of the last listing, so a stray non-numeric "*.msg" is not
    // taken for a change at every check.
    return ListMsgFiles() != Listing;
}

std::unique_ptr<TCustomMsg> TFidoBase::NewMsg() {
    return std::make_unique<TFidoMsg>(this);
}

namespace {

// Kludges, body and tail as stored: OEM text, each line ended by CR, then one zero byte.
std::string StoredText(TFidoMsg& msg) {
    std::string text;
    const TCodePagePair& pages = msg.CodePages();
    const bool keep = msg.KeepSoftCR();
    auto add = [&](const std::string& line) {
        text += EncodeForStorage(line, pages, keep);
        text += '\r';
    };
    for (const std::string& line : msg.Kludges)
        add(line);
    for (const TBodyLine& line : msg.Body)
        add(line.Text);
    for (const std::string& line : msg.Tail)
        add(line);
    text += '\0';
    return text;
}

} // namespace

bool TFidoBase::WriteMsg(TCustomMsg* msg) {
    auto* fido = dynamic_cast<TFidoMsg*>(msg);
    if (!fido || fido->Base() != this)
        throw std::invalid_argument("a *.MSG base stores only its own messages");
    fido->GetBody(); // loads a stored source first
    while (!fido->Body.empty() && TrimView(fido->Body.back().Text).empty())
        fido->Body.pop_back();
    fido->EncodeHeader();
    std::string data(fido->Header.begin(), fido->Header.end());
    data += StoredText(*fido);

    const std::string dir = ResolveCase(Path);
    uint32_t number = Files.empty() ? 0 : Files.back().Number;
    // Linux tossers keep their high-water mark in 1.msg of an echo area and export nothing
    // at or below it.
    if (!EchoTag.empty())
        number = std::max({number, uint32_t(1), HighWaterMark(dir)});
    std::unique_ptr<TBufStream> file;
    std::string name;
    while (!file) {
        if (number >= NoMsgId - 1)
            throw EFileError("No free message number in \"" + Path + "\"", 0);
        name = std::to_string(++number) + ".msg";
        if (MsgFileExists(dir, number))
            continue;
        try {
            file = std::make_unique<TBufStream>(dir + name, NewMsgBufSize, TOpenMode::CreateNew);
        } catch (const EFileError& e) {
            // Another program took the number between the check and the create.
            if (e.Code != EEXIST)
                throw;
        }
    }
    try {
        file->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
        file->Flush();
    } catch (...) {
        // A half-written message would reach the tosser; none at all is the lesser harm.
        file.reset();
        ::unlink((dir + name).c_str());
        throw;
    }
    file.reset();
    Files.push_back({number, name});
    Cache.resize(Files.size());
    SetRead(number, true);
    TCustomBase::WriteMsg(msg);
    Invalidate();
    return true;
}

// The number a tosser keeps in the reply-to word of 1.msg; 0 when there is none. For an
// ordinary 1.msg this is a reply link, at worst a gap in the numbering.
uint32_t TFidoBase::HighWaterMark(const std::string& dir) const {
    if (!MsgFileExists(dir, 1))
        return 0;
    try {
        auto file = OpenWithRetry(dir + "1.msg", TOpenMode::Read, 512);
        TFidoHeader header;
        file->ReadBuffer(header.data(), FidoHeaderSize);
        return GetLE16(&header[hoReplyTo]);
    } catch (const std::exception&) {
        return 0;
    }
}

bool TFidoBase::DeleteMsg(TMsgId id) {
    const int position = IndexOfId(id);
    if (position < 0)
        return false;
    const std::string fileName = MsgFileName(position);
    try {
        // Held exclusively while it goes, so a tosser writing it is not cut short.
        auto file = OpenWithRetry(fileName, TOpenMode::ReadWriteExclusive, MsgBufSize);
        if (::unlink(fileName.c_str()) != 0)
            throw EFileError("Cannot delete \"" + fileName + "\"", errno);
    } catch (const std::exception&) {
        return FailChange(fileName);
    }
    Files.erase(Files.begin() + position);
    FreeCache();
    Invalidate();
    return true;
}

int TFidoBase::FindNearest(TMsgId id) {
    auto it = std::upper_bound(Files.begin(), Files.end(), id,
                               [](TMsgId value, const TEntry& e) { return value < e.Number; });
    return it == Files.begin() ? 0 : static_cast<int>(it - Files.begin()) - 1;
}

int TFidoBase::IndexOfId(TMsgId id) {
    auto it = std::lower_bound(Files.begin(), Files.end(), id,
                               [](const TEntry& e, TMsgId value) { return e.Number < value; });
    return it != Files.end() && it->Number == id ? static_cast<int>(it - Files.begin()) : -1;
}

void TFidoBase::SetLastRead(TMsgId id) {
    LastRead = static_cast<uint16_t>(id);
}

TMsgId TFidoBase::GetLastRead() {
    return LastRead;
}

void TFidoBase::SetRead(TMsgId id, bool value) {
    SetReadMark(id, value);
}

bool TFidoBase::IsRead(TMsgId id) {
    return HasReadMark(id);
}

namespace {

// "lastread" of a *.MSG directory: 16-bit file numbers.
const TLastReadFile LastReadFile(2, OpenTimeoutMs);

} // namespace

void TFidoBase::LoadLastRead() {
    uint32_t value = 0;
    LastRead = LastReadFile.Load(FileInBase("lastread"), UserIndex, value) ? static_cast<uint16_t>(value) : 0;
    StoredLastRead = LastRead;
}

void TFidoBase::SaveLastRead() {
    // A lost pointer only means reading from an earlier message next time.
    if (LastRead != StoredLastRead && LastReadFile.Save(FileInBase("lastread"), UserIndex, LastRead))
        StoredLastRead = LastRead;
}

void TFidoBase::SetUserIndex(int index) {
    if (index == UserIndex)
        return;
    SaveLastRead();
    SaveReadMarks(FileInBase("readings"));
    TCustomBase::SetUserIndex(index);
    LoadLastRead();
    LoadReadMarks(FileInBase("readings"));
}

void TFidoBase::Close() {
    SaveLastRead();
    SaveReadMarks(FileInBase("readings"));
    FreeCache();
}

} // namespace tavro
