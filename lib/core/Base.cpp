#include "Base.h"

#include "FileUtils.h"
#include "Readings.h"
#include "StrUtils.h"
#include "UserInterface.h"

namespace tavro {

namespace {

constexpr int ScanFileBufSize = 4096;

void AppendTagLine(const std::string& scanFile, const std::string& tag) {
    std::string name = Trim(scanFile);
    if (tag.empty() || name.empty())
        return;
    try {
        auto file =
            OpenWithRetry(NormalizeSeparators(name), TOpenMode::ReadWriteSharedCreate, ScanFileBufSize);
        file->Seek(0, TSeekOrigin::End);
        file->WriteLine(tag);
        file->Flush();
    } catch (const std::exception&) {
        // The tosser rescans anyway; a missing flag line must not fail the write.
    }
}

} // namespace

TCustomBase::TCustomBase(std::string path, std::string echoTag, std::string netmailTag)
    : Path(std::move(path)), NetmailTag(std::move(netmailTag)), EchoTag(std::move(echoTag)) {}

TCustomBase::~TCustomBase() = default;

void TCustomBase::Release() {
    if (--RefCount_ == 0)
        delete this;
}

bool TCustomBase::WriteMsg(TCustomMsg*) {
    AppendScanFiles(NetmailTag, EchoTag);
    return true;
}

bool TCustomBase::FailChange(const std::string& fileName) {
    try {
        throw;
    } catch (const EDamagedBase&) {
        ShowBaseDamaged(fileName);
    } catch (...) {
        ShowCantOpenBase();
    }
    return false;
}

void TCustomBase::AppendScanFiles(const std::string& netmailLine, const std::string& echoLine) {
    AppendTagLine(ScanFiles.NetmailFlag, netmailLine);
    AppendTagLine(ScanFiles.EchoscanFile, echoLine);
}

void TCustomBase::SetRead(TMsgId, bool) {}

bool TCustomBase::IsRead(TMsgId id) {
    return GetLastRead() >= id;
}

void TCustomBase::SetUserIndex(int index) {
    UserIndex = index;
}

void TCustomBase::SetUser(int index, const std::string& name) {
    // The old user's records are saved under the old name.
    SetUserIndex(index);
    UserName = name;
}

void TCustomBase::Close() {}

bool TCustomBase::DeleteMsgs(const std::vector<TMsgId>& ids, const TProgress& progress) {
    const int64_t high = static_cast<int64_t>(ids.size()) - 1;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (progress)
            progress(high == 0 ? -1 : static_cast<int>(static_cast<int64_t>(i) * 100 / high));
        DeleteMsg(ids[i]);
    }
    return true;
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

void TCustomBase::SetReadMark(TMsgId id, bool value) {
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

bool TCustomBase::HasReadMark(TMsgId id) const {
    return ReadSet.Contains(static_cast<int32_t>(id));
}

void TCustomBase::LoadReadMarks(const std::string& fileName) {
    ReadSet.Clear();
    ReadingsDirty = false;
    LoadReadings(fileName, UserIndex, ReadSet);
}

void TCustomBase::SaveReadMarks(const std::string& fileName, bool dropRepeated) {
    if (UserIndex < 0 || !ReadingsDirty)
        return;
    TSortedList existing;
    try {
        const int count = GetCount();
        std::vector<int32_t> ids;
        ids.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            ids.push_back(static_cast<int32_t>(GetMsgId(i)));
        existing.Assign(ids);
    } catch (const std::exception&) {
        // Without the list of messages no record can be told stale: keep the file as it is.
        return;
    }
    SaveReadings(fileName, UserIndex, ReadSet, existing, dropRepeated);
    ReadingsDirty = false;
}

} // namespace tavro
