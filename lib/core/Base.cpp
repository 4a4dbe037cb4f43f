#include "Base.h"

#include "FileUtils.h"
#include "Readings.h"
#include "Settings.h"
#include "StrUtils.h"
#include "UserInterface.h"

#include <algorithm>

namespace tavro {

namespace {

void AppendTagLine(const std::string& scanFile, const std::string& line) {
    std::string name = Trim(scanFile);
    if (line.empty() || name.empty())
        return;
    try {
        AppendToFile(ResolveCase(NormalizeSeparators(name)), line + "\r\n");
    } catch (const std::exception&) {
        // The tosser rescans anyway; a missing flag line must not fail the write.
    }
}

} // namespace

TMsgHandle TMsgCache::Find(int position) const {
    auto it = Items.find(position);
    return it == Items.end() ? nullptr : it->second;
}

void TMsgCache::Add(int position, TMsgHandle msg) {
    if (Items.size() + 1 > Bound)
        Trim();
    Items.emplace(position, std::move(msg));
}

void TMsgCache::Trim() {
    std::erase_if(Items, [](const auto& item) { return item.second.use_count() == 1; });
    Bound = std::max(MsgCacheLimit, 2 * Items.size());
}

void TMsgCache::Clear() {
    Items.clear();
    Bound = MsgCacheLimit;
}

void ReportProgress(const TProgress& progress, size_t k, size_t n) {
    if (progress)
        progress(n <= 1 ? -1 : static_cast<int>(k * 100 / (n - 1)));
}

TCustomBase::TCustomBase(std::string path, std::string echoTag, std::string netmailTag)
    : Path(std::move(path)), NetmailTag(std::move(netmailTag)), EchoTag(std::move(echoTag)) {}

TCustomBase::~TCustomBase() = default;

void TCustomBase::Release() {
    if (--RefCount_ == 0)
        delete this;
}

const TGlobalSettings& TCustomBase::CurrentSettings() const {
    return ScanSettings ? *ScanSettings : Settings();
}

// --- listing ---

TListHeader ListHeaderOf(const TCustomMsg& msg) {
    TListHeader header;
    header.FromName = msg.FromName;
    header.ToName = msg.ToName;
    header.Subject = msg.Subject;
    header.DateWritten = msg.DateWritten;
    header.ReplyTo = msg.ReplyTo;
    header.MsgId = msg.MsgIdKludge;
    header.Reply = msg.ReplyKludge;
    return header;
}

void TCustomBase::ReadListHeaders(unsigned, const TListHeaderVisitor& visit, const TProgress& progress) {
    const int count = GetCount();
    TPercentSteps steps(progress, count);
    std::string msgId, reply;
    for (int p = 0; p < count; ++p) {
        TMsgHandle msg = GetMsg(p);
        if (!msg)
            throw EFileError("the message list changed while it was read", 0);
        // Kludges in the text, as *.MSG keeps them; the text may also name its set, which the
        // names and subject then follow.
        const bool inText = !msg->ThreadKludgesRead;
        if (inText)
            msg->GetKludges();
        TListHeader header = ListHeaderOf(*msg);
        if (inText) {
            header.MsgId = msgId = msg->GetKludge("MSGID:");
            header.Reply = reply = msg->GetKludge("REPLY:");
        }
        visit(p, header);
        steps.Done(p);
    }
}

int TCustomBase::FindNearest(TMsgId id) {
    int result = 0;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        if (GetMsgId(i) > id)
            break;
        result = i;
    }
    return result;
}

int TCustomBase::IndexOfId(TMsgId id) {
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        if (GetMsgId(i) == id)
            return i;
    return -1;
}

bool TCustomBase::HasUnread() {
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        if (!IsRead(GetMsgId(i)))
            return true;
    return false;
}

void TCustomBase::Rescan() {
    try {
        HasList_ = LoadList();
    } catch (...) {
        // The old list stays, and the next look asks again.
        Invalidate();
        throw;
    }
}

// --- changes ---

bool TCustomBase::FailChange() {
    try {
        throw;
    } catch (const EDamagedBase&) {
        ShowBaseDamaged(DamagedFileName());
    } catch (...) {
        ShowCantOpenBase();
    }
    Invalidate();
    return false;
}

bool TCustomBase::WriteMsg(TCustomMsg* msg) {
    if (msg == nullptr || msg->Base() != this)
        return false;
    TMsgId id;
    try {
        // A stored message reads its text before the base's files are taken for writing,
        // which would keep that read out.
        msg->GetKludges();
        id = StoreMsg(*msg);
    } catch (const std::exception&) {
        return FailChange();
    }
    LastWrittenId_ = id;
    SetRead(id, true);
    AppendScanLines(id);
    Invalidate();
    return true;
}

void TCustomBase::AppendScanLines(TMsgId id) {
    const TGlobalSettings& settings = CurrentSettings();
    std::string line = ScanLine(id);
    AppendTagLine(settings.NetmailFlag, NetmailTag.empty() ? "" : line.empty() ? NetmailTag : line);
    AppendTagLine(settings.EchoscanFile, EchoTag.empty() ? "" : line.empty() ? EchoTag : line);
}

bool TCustomBase::DeleteMsg(TMsgId id) {
    try {
        if (IndexOfId(id) < 0)
            return false;
        if (RemoveMsgs({id}, nullptr) == 0) {
            // Another program deleted it since the list was read.
            Invalidate();
            return false;
        }
    } catch (const std::exception&) {
        return FailChange();
    }
    Invalidate();
    return true;
}

bool TCustomBase::DeleteMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) {
    std::vector<TMsgId> listed;
    try {
        for (TMsgId id : ids)
            if (IndexOfId(id) >= 0)
                listed.push_back(id);
        std::sort(listed.begin(), listed.end());
        listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
        if (listed.empty())
            return true;
        RemoveMsgs(listed, progress);
    } catch (const std::exception&) {
        return FailChange();
    }
    Invalidate();
    return true;
}

bool TCustomBase::CreateIfMissing() {
    try {
        if (!Exists())
            CreateStorage();
    } catch (const std::exception&) {
        return FailChange();
    }
    return true;
}

// --- the current user ---

void TCustomBase::SetRead(TMsgId id, bool value) {
    auto key = static_cast<int32_t>(id);
    int index;
    bool present = ReadSet.Find(key, index);
    if (value && !present) {
        ReadSet.Insert(index, key);
        ReadingsDirty = true;
    } else if (!value && present) {
        ReadSet.Delete(index);
        ReadingsDirty = true;
    }
}

bool TCustomBase::IsRead(TMsgId id) const {
    return ReadSet.Contains(static_cast<int32_t>(id));
}

void TCustomBase::SetUserIndex(int index) {
    if (index == UserIndex)
        return;
    SaveLastRead();
    SaveReadMarks();
    UserIndex = index;
    LoadLastRead();
    LoadReadMarks();
}

void TCustomBase::SetUser(int index, const std::string& name) {
    if (index == UserIndex && name == UserName)
        return;
    // The old user's records are saved under the old name; the new user's are found by the
    // new one, as some formats find them by name.
    SaveLastRead();
    SaveReadMarks();
    UserIndex = index;
    UserName = name;
    LoadLastRead();
    LoadReadMarks();
}

void TCustomBase::Close() {
    SaveLastRead();
    SaveReadMarks();
    DropCache();
}

void TCustomBase::LoadReadMarks() {
    ReadSet.Clear();
    ReadingsDirty = false;
    LoadReadings(ReadingsFileName(), UserIndex, ReadSet);
}

void TCustomBase::SaveReadMarks() {
    if (UserIndex < 0 || !ReadingsDirty)
        return;
    // Records of deleted messages go only when the list says which messages exist; without
    // one (a failed or missing rescan) every record stays.
    TSortedList listed;
    bool haveList = HasList_;
    if (haveList) {
        try {
            const int count = GetCount();
            std::vector<int32_t> ids;
            ids.reserve(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i)
                ids.push_back(static_cast<int32_t>(GetMsgId(i)));
            listed.Assign(ids);
        } catch (const std::exception&) {
            haveList = false;
        }
    }
    SaveReadings(ReadingsFileName(), UserIndex, ReadSet, haveList ? &listed : nullptr, DropRepeatedReadings);
    ReadingsDirty = false;
}

} // namespace tavro
