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
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
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
    hoNextReply = 188,
};

// Tavro's temporary files in a message directory: no "*.msg" mask matches them in any case,
// so neither a tosser nor the directory's change check takes them for messages.
constexpr std::string_view TempPrefix = ".tavro-";
constexpr std::string_view TempSuffix = ".tmp";
// A temporary this old was left by a Tavro that died while writing.
constexpr auto StaleTempAge = std::chrono::hours(1);

// A new empty file "<dir>.tavro-XXXXXX.tmp", created with the umask's permissions (the
// tosser reads what Tavro stores); its name.
std::string CreateTemporary(const std::string& dir) {
    static std::mt19937 random(std::random_device{}());
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = dir + std::string(TempPrefix);
        for (int i = 0; i < 6; ++i)
            name += Letters[random() % (sizeof Letters - 1)];
        name += TempSuffix;
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            throw EFileError("Cannot create a file in \"" + dir + "\"", errno);
    }
    throw EFileError("Cannot create a file in \"" + dir + "\"", EEXIST);
}

bool IsTemporaryName(std::string_view name) {
    return name.size() > TempPrefix.size() + TempSuffix.size() && name.starts_with(TempPrefix) &&
           name.ends_with(TempSuffix);
}

// link(2) refused by the file system (vfat, some network shares), not by the name.
bool LinkUnsupported(int code) {
    return code == EPERM || code == ENOTSUP || code == EOPNOTSUPP || code == ENOSYS || code == EXDEV ||
           code == EMLINK;
}

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
    auto file =
        OpenWithRetry(FileName.empty() ? base->MsgFileName(Position) : FileName, TOpenMode::Read, MsgBufSize);
    file->Seek(FidoHeaderSize, TSeekOrigin::Begin);
    std::string text(static_cast<size_t>(std::clamp<int64_t>(file->Size() - FidoHeaderSize, 0, MaxTextBytes)),
                     '\0');
    text.resize(static_cast<size_t>(file->Read(text.data(), static_cast<int64_t>(text.size()))));
    LoadText(text);
}

void TFidoMsg::LoadText(std::string_view text) {
    const TCharset* before = TextCharset();
    ClearText();
    bool textStarted = false;
    const bool keepSoftCR = KeepSoftCR();
    std::string pending;
    for (char ch : text) {
        const auto c = static_cast<uint8_t>(ch);
        if (c == 0x00 || c == 0x1A)
            break;
        // In UTF-8 the byte is part of a character.
        if (c == '\n' || (c == SoftCR && !keepSoftCR && !Utf8Text()))
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
    // A text without kludges or an origin line leaves the header's net and node, which are
    // all there is to reply to; clearing them would answer 0:0/0.
    const TAddress headerFrom = FromAddr;
    ResolveAddresses();
    if (!FromAddr.IsValid() && FromAddr.Net == 0 && FromAddr.Node == 0)
        FromAddr = headerFrom;
    Loaded = true;
    FollowTextCharset(before);
}

void TFidoMsg::RedecodeHeader() {
    const TTextCodec codec = ReadCodec();
    FromName = codec.ReadFixed(&Header[hoFromName], 36);
    ToName = codec.ReadFixed(&Header[hoToName], 36);
    Subject = codec.ReadFixed(&Header[hoSubject], 72);
}

void TFidoMsg::Assign(TCustomMsg* source) {
    if (!source || source == this)
        return;
    TCustomMsg::Assign(source);
    if (auto* fido = dynamic_cast<TFidoMsg*>(source)) {
        Header = fido->Header;
        Position = fido->Position;
        FileName = fido->FileName;
        Loaded = fido->Loaded;
        // Reply numbers name files of the source's directory.
        if (fido->Base() != Base()) {
            PutLE16(&Header[hoReplyTo], 0);
            PutLE16(&Header[hoNextReply], 0);
        }
    } else {
        Position = -1;
        FileName.clear();
        Loaded = true;
        if (source->IsNetmail())
            AddZoneKludges();
    }
}

// A *.MSG header holds no zone and no point; netmail from a base that keeps them in its
// header would lose them without these kludges.
void TFidoMsg::AddZoneKludges() {
    if (!GetKludge("INTL").empty() || !FromAddr.IsValid() || !ToAddr.IsValid())
        return;
    TStringList added = {"\x01INTL " + ToAddr.ToStr3D() + " " + FromAddr.ToStr3D()};
    if (FromAddr.Point != 0 && GetKludge("FMPT").empty())
        added.push_back("\x01"
                        "FMPT " +
                        std::to_string(FromAddr.Point));
    if (ToAddr.Point != 0 && GetKludge("TOPT").empty())
        added.push_back("\x01TOPT " + std::to_string(ToAddr.Point));
    Kludges.insert(Kludges.begin(), added.begin(), added.end());
}

void TFidoMsg::DecodeHeader(TDateTime fileTime) {
    RedecodeHeader();
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
    const TTextCodec codec = WriteCodec();
    codec.WriteFixed(&Header[hoFromName], 36, FromName);
    codec.WriteFixed(&Header[hoToName], 36, ToName);
    codec.WriteFixed(&Header[hoSubject], 72, Subject);
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
    if (ReplyTo != 0 && ReplyTo <= 0xFFFF)
        PutLE16(&Header[hoReplyTo], uint16_t(ReplyTo));
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

TMsgHandle TFidoBase::GetMsg(int position) {
    if (position < 0 || position >= GetCount())
        return nullptr;
    if (TMsgHandle cached = Cache.Find(position))
        return cached;
    auto msg = std::make_shared<TFidoMsg>(this);
    msg->Position = position;
    msg->FileName = MsgFileName(position);
    auto file = OpenWithRetry(msg->FileName, TOpenMode::Read, MsgBufSize);
    file->ReadBuffer(msg->Header.data(), FidoHeaderSize);
    msg->DecodeHeader(UnixTimeToLocalDateTime(file->ModificationTime()));
    msg->Loaded = false;
    Cache.Add(position, msg);
    return msg;
}

bool TFidoBase::LoadList() {
    bool missing = false;
    std::vector<std::string> listing = ListFilesOrThrow(ResolveCase(Path), "*.msg", missing);
    std::vector<TEntry> files;
    for (const std::string& name : listing) {
        uint32_t number;
        if (MsgNumber(name, number))
            files.push_back({number, name});
    }
    std::sort(files.begin(), files.end());
    Listing = std::move(listing);
    Files = std::move(files);
    DropCache();
    Changed = false;
    LastCheck = std::chrono::steady_clock::now();
    return !missing;
}

void TFidoBase::DropCache() {
    Cache.Clear();
}

bool TFidoBase::Exists() {
    return DirectoryExists(ResolveCase(Path));
}

void TFidoBase::CreateStorage() {
    std::filesystem::create_directories(ResolveCase(Path));
}

std::string TFidoBase::ReadingsFileName() const {
    return FileInBase("readings");
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
    const TTextCodec codec = msg.WriteCodec();
    auto add = [&](const std::string& line) {
        text += codec.Encode(line);
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

TMsgId TFidoBase::StoreMsg(TCustomMsg& msg) {
    auto* fido = dynamic_cast<TFidoMsg*>(&msg);
    if (!fido)
        throw std::logic_error("a *.MSG base stores only its own messages");
    while (!fido->Body.empty() && TrimView(fido->Body.back().Text).empty())
        fido->Body.pop_back();
    fido->EncodeHeader();
    std::string data(fido->Header.begin(), fido->Header.end());
    data += StoredText(*fido);

    const std::string dir = ResolveCase(Path);
    SweepTemporaries(dir);
    const uint32_t number = StoreFile(dir, data);
    Files.push_back({number, std::to_string(number) + ".msg"});
    return number;
}

// The message is written whole under a name no tosser looks at, then linked to its number:
// a tosser never sees a half-written message, and a number another program took meanwhile
// makes the link fail instead of overwriting it.
uint32_t TFidoBase::StoreFile(const std::string& dir, const std::string& data) {
    const std::string temp = CreateTemporary(dir);
    try {
        TBufStream file(temp, NewMsgBufSize, TOpenMode::ReadWriteExclusive);
        file.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
        file.Flush();
    } catch (...) {
        UnlinkFile(temp);
        throw;
    }
    // Tossers keep their high-water record in 1.msg, netmail directories included, skip or
    // overwrite whatever stands there, and export nothing at or below the mark it holds.
    uint32_t number = std::max({Files.empty() ? 0 : Files.back().Number, uint32_t(1), HighWaterMark(dir)});
    bool linkRefused = false;
    for (;;) {
        if (number >= NoMsgId - 1) {
            UnlinkFile(temp);
            throw EFileError("No free message number in \"" + Path + "\"", 0);
        }
        ++number;
        if (MsgFileExists(dir, number))
            continue;
        const std::string name = dir + std::to_string(number) + ".msg";
        if (!linkRefused) {
            const int code = LinkFile(temp, name);
            if (code == 0)
                break;
            if (code == EEXIST)
                continue;
            if (!LinkUnsupported(code)) {
                UnlinkFile(temp);
                throw EFileError("Cannot store \"" + name + "\"", code);
            }
            linkRefused = true;
        }
        // Without hard links: the file is created exclusively and removed when writing fails.
        std::unique_ptr<TBufStream> file;
        try {
            file = std::make_unique<TBufStream>(name, NewMsgBufSize, TOpenMode::CreateNew);
        } catch (const EFileError& e) {
            if (e.Code == EEXIST)
                continue;
            UnlinkFile(temp);
            throw;
        }
        try {
            file->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
            file->Flush();
        } catch (...) {
            file->DiscardBuffer();
            file.reset();
            UnlinkFile(name);
            UnlinkFile(temp);
            throw;
        }
        break;
    }
    // A temporary that cannot go now goes with the next sweep.
    UnlinkFile(temp);
    return number;
}

void TFidoBase::SweepTemporaries(const std::string& dir) {
    const auto now = std::chrono::steady_clock::now();
    if (LastSweep && now - *LastSweep < StaleTempAge)
        return;
    LastSweep = now;
    const auto limit = std::chrono::system_clock::now() - StaleTempAge;
    for (const std::string& entry : ListFiles(dir, ".tavro-*.tmp")) {
        const std::string name = dir + entry;
        struct stat st;
        // The mask ignores case; only names of our own making are ours to remove.
        if (IsTemporaryName(entry) && ::lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            std::chrono::system_clock::from_time_t(st.st_mtim.tv_sec) < limit)
            ::unlink(name.c_str());
    }
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

// Each file is held exclusively while it goes, so a tosser writing it is not cut short.
// Several files first move to temporary names, which can all be moved back when one of
// them cannot go; only then are they removed.
size_t TFidoBase::RemoveMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) {
    struct TGoing {
        size_t Position;
        std::string Name;
        std::unique_ptr<TBufStream> Hold;
        std::string Temp;
    };
    std::vector<TGoing> going;
    for (TMsgId id : ids) {
        const int position = IndexOfId(id);
        TGoing file{static_cast<size_t>(position), MsgFileName(position), nullptr, {}};
        try {
            file.Hold = OpenWithRetry(file.Name, TOpenMode::ReadWriteExclusive, 16);
        } catch (const EFileError& e) {
            if (e.Code == ENOENT)
                continue; // another program deleted it meanwhile
            throw;
        }
        going.push_back(std::move(file));
    }
    if (going.size() == 1) {
        ReportProgress(progress, 0, 1);
        if (int code = UnlinkFile(going[0].Name))
            throw EFileError("Cannot delete \"" + going[0].Name + "\"", code);
    } else if (going.size() > 1) {
        const std::string dir = ResolveCase(Path);
        for (size_t k = 0; k < going.size(); ++k) {
            ReportProgress(progress, k, going.size());
            TGoing& file = going[k];
            file.Temp = CreateTemporary(dir);
            if (int code = RenameFile(file.Name, file.Temp)) {
                ::unlink(file.Temp.c_str());
                for (size_t back = k; back-- > 0;)
                    RenameFile(going[back].Temp, going[back].Name);
                throw EFileError("Cannot delete \"" + file.Name + "\"", code);
            }
        }
        // Gone for every reader now; a temporary that stays goes with the next sweep.
        for (const TGoing& file : going)
            UnlinkFile(file.Temp);
    }
    std::vector<size_t> positions;
    for (const TGoing& file : going)
        positions.push_back(file.Position);
    std::sort(positions.rbegin(), positions.rend());
    for (size_t position : positions)
        Files.erase(Files.begin() + static_cast<ptrdiff_t>(position));
    DropCache();
    return going.size();
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

} // namespace tavro
