#include "Nodelist.h"

#include "core/Address.h"
#include "core/BufStream.h"
#include "core/CodePage.h"
#include "core/ConfigDir.h"
#include "core/Endian.h"
#include "core/FileUtils.h"
#include "core/StrUtils.h"

#include <algorithm>
#include <sys/stat.h>

namespace tavro {

namespace {

constexpr int CompileBufSize = 16384;
constexpr int LineBufSize = 512;
// Far beyond any real index (a million lines take 18 MB); a larger file is damaged.
constexpr size_t MaxIndexBytes = size_t(256) << 20;
constexpr size_t MaxListBytes = size_t(16) << 20;

// The file's modification time as stored in the list; all ones for a missing file.
uint32_t FileTime(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint32_t>(st.st_mtim.tv_sec) : 0xFFFFFFFF;
}

uint16_t NumberField(std::string_view line) {
    int32_t value;
    if (!StrToInt(NodeLineField(line, 1), value))
        throw EFileError("a nodelist line has no valid number: " + std::string(line.substr(0, 40)), 0);
    return static_cast<uint16_t>(value);
}

// One file's entries, complete or not at all.
std::vector<TNodeEntry> CompileFile(const std::string& path, uint16_t fileNo,
                                    const TNodelistProgress& progress, bool& cancelled) {
    TBufStream file(path, CompileBufSize, TOpenMode::Read);
    const int64_t size = std::max<int64_t>(file.Size(), 1);
    const std::string name = path.substr(path.rfind('/') + 1);
    std::vector<TNodeEntry> entries;
    TNodeLineState state;
    const TNodeEntry& work = state.Entry;
    while (!file.Eof) {
        const int64_t offset = file.Position();
        if (progress && !progress(static_cast<int>((offset * 100 + size / 2) / size), name)) {
            cancelled = true;
            return {};
        }
        // Offsets are stored in 32 bits: the rest of a larger file is out of reach.
        if (offset > UINT32_MAX)
            break;
        const std::string line = file.ReadLine();
        if (ParseNodeLine(line, state) && work.Zone != 0 && work.Net != 0) {
            TNodeEntry entry = work;
            entry.LineOffset = static_cast<uint32_t>(offset);
            entry.FileNo = fileNo;
            entries.push_back(entry);
        }
    }
    return entries;
}

// The files a mask names: a mask without a directory is in the nodelist directory.
std::vector<std::string> FilesOfMask(const std::string& dir, std::string mask) {
    mask = NormalizeSeparators(Trim(mask));
    std::string maskDir = dir;
    if (size_t slash = mask.rfind('/'); slash != std::string::npos) {
        maskDir = mask.substr(0, slash + 1);
        mask.erase(0, slash + 1);
    }
    std::vector<std::string> paths;
    const std::string resolved =
        ResolveCase(maskDir.size() > 1 ? maskDir.substr(0, maskDir.size() - 1) : maskDir);
    for (const std::string& name : ListFiles(resolved, mask))
        if (!EqualsNoCase(name, "Tavro.nls") && !EqualsNoCase(name, "Tavro.ndx"))
            paths.push_back((resolved == "/" ? "" : resolved) + "/" + name);
    return paths;
}

void AppendEntry(std::string& out, const TNodeEntry& e) {
    char raw[NodeEntrySize];
    PutLE16(raw, e.Zone);
    PutLE16(raw + 2, e.Net);
    PutLE16(raw + 4, e.Node);
    PutLE16(raw + 6, e.Point);
    PutLE32(raw + 8, e.NameHash);
    PutLE32(raw + 12, e.LineOffset);
    PutLE16(raw + 16, e.FileNo);
    out.append(raw, NodeEntrySize);
}

TNodeEntry DecodeEntry(const char* p) {
    return {GetLE16(p),     GetLE16(p + 2),  GetLE16(p + 4), GetLE16(p + 6),
            GetLE32(p + 8), GetLE32(p + 12), GetLE16(p + 16)};
}

} // namespace

uint32_t NameHash(std::string_view text) {
    return NameHashOf(text);
}

std::string NodeLineField(std::string_view line, int k) {
    size_t start = 0;
    for (int i = 0; i < k; ++i) {
        const size_t comma = line.find(',', start);
        if (comma == std::string_view::npos)
            return {};
        start = comma + 1;
    }
    if (k >= 6)
        return std::string(line.substr(start));
    return std::string(line.substr(start, line.find(',', start) - start));
}

bool ParseNodeLine(std::string_view line, TNodeLineState& state) {
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return false;
    TNodeEntry& work = state.Entry;
    std::string sysop = NodeLineField(line, 4);
    std::replace(sysop.begin(), sysop.end(), '_', ' ');
    work.NameHash = NameHash(sysop);
    auto is = [&](std::string_view keyword) { return StartsWithNoCase(line, keyword); };
    if (line.front() == ',' && state.BossPoints) {
        work.Point = NumberField(line);
        return true;
    }
    if (line.front() != ',' && !is("Point") && !is("Boss"))
        state.BossPoints = false;
    if (line.front() == ',' || is("Hub") || is("Hold") || is("PVT") || is("Down")) {
        work.Node = NumberField(line);
        work.Point = 0;
        return true;
    }
    if (is("Zone")) {
        work.Zone = work.Net = NumberField(line);
        work.Node = work.Point = 0;
        return true;
    }
    if (is("Region") || is("Host")) {
        work.Net = NumberField(line);
        work.Node = work.Point = 0;
        return true;
    }
    if (is("Point")) {
        work.Point = NumberField(line);
        return true;
    }
    if (is("Boss")) {
        TAddress boss;
        boss.Parse(TrimView(line.substr(std::min<size_t>(5, line.size()))));
        work.Zone = boss.Zone;
        work.Net = boss.Net;
        work.Node = boss.Node;
        work.Point = boss.Point;
        state.BossPoints = true;
    }
    return false;
}

TNodelistIndex::TNodelistIndex(const std::string& dir) {
    Dir_ = NormalizeSeparators(Trim(dir));
    if (Dir_.empty())
        Dir_ = ConfigDir();
    if (Dir_.back() != '/')
        Dir_ += '/';
}

bool TNodelistIndex::CompileNodelists(const std::vector<std::string>& masks,
                                      const TNodelistProgress& progress) {
    std::string list, index;
    uint16_t fileNo = 0;
    for (const std::string& mask : masks) {
        if (TrimView(mask).empty())
            continue;
        for (const std::string& path : FilesOfMask(Dir_, mask)) {
            if (fileNo == UINT16_MAX)
                break;
            bool cancelled = false;
            std::vector<TNodeEntry> entries;
            try {
                entries = CompileFile(path, fileNo, progress, cancelled);
            } catch (const EFileError&) {
                continue; // this file only: its number goes to the next one
            }
            if (cancelled)
                return false;
            for (const TNodeEntry& e : entries)
                AppendEntry(index, e);
            list += path + "\r\n";
            char time[4];
            PutLE32(time, FileTime(path));
            list.append(time, 4);
            ++fileNo;
        }
    }
    // The index first: a list that names files it does not cover would pass as current.
    return WriteFileAtomically(ResolveCase(IndexFileName()), index) &&
           WriteFileAtomically(ResolveCase(ListFileName()), list);
}

std::vector<TNodelistIndex::TListedFile> TNodelistIndex::ParseList(std::string_view data) {
    std::vector<TListedFile> files;
    while (!data.empty()) {
        const size_t end = data.find("\r\n");
        if (end == std::string_view::npos || data.size() < end + 6)
            break;
        files.push_back({std::string(data.substr(0, end)), GetLE32(data.data() + end + 2)});
        data.remove_prefix(end + 6);
    }
    return files;
}

void TNodelistIndex::LoadNodelistIndex() {
    Entries_.clear();
    Files_.clear();
    std::string data, list;
    if (!ReadWholeFile(ResolveCase(IndexFileName()), data, MaxIndexBytes) ||
        !ReadWholeFile(ResolveCase(ListFileName()), list, MaxListBytes))
        return;
    Entries_.reserve(data.size() / NodeEntrySize);
    for (size_t at = 0; at + NodeEntrySize <= data.size(); at += NodeEntrySize)
        Entries_.push_back(DecodeEntry(data.data() + at));
    Files_ = ParseList(list);
}

bool TNodelistIndex::NodelistsChanged() const {
    std::string list;
    if (!ReadWholeFile(ResolveCase(ListFileName()), list, MaxListBytes))
        return true;
    for (const TListedFile& file : ParseList(list))
        if (FileTime(file.Path) != file.Time)
            return true;
    return false;
}

std::string TNodelistIndex::ReadNodeLine(const TNodeEntry& entry) const {
    if (entry.FileNo >= Files_.size())
        throw EFileError("the nodelist index names no file " + std::to_string(entry.FileNo), 0);
    TBufStream file(ResolveCase(Files_[entry.FileNo].Path), LineBufSize, TOpenMode::Read);
    file.Seek(entry.LineOffset, TSeekOrigin::Begin);
    std::string line = file.ReadLine();
    std::replace(line.begin(), line.end(), '_', ' ');
    return ActiveCodePages().OemToDisplay(line);
}

std::string TNodelistIndex::GetNodeField(const TNodeEntry& entry, int k) const {
    return NodeLineField(ReadNodeLine(entry), k);
}

const TNodeEntry* TNodelistIndex::FindNodeByAddress(uint16_t zone, uint16_t net, uint16_t node,
                                                    uint16_t point) const {
    for (const TNodeEntry& e : Entries_)
        if (e.Zone == zone && e.Net == net && e.Node == node && e.Point == point)
            return &e;
    return nullptr;
}

std::vector<const TNodeEntry*> TNodelistIndex::FindNodesByName(const std::string& name) const {
    std::vector<const TNodeEntry*> found;
    const std::string wanted = Trim(name);
    const uint32_t hash = NameHash(ActiveCodePages().DisplayToOem(wanted));
    for (const TNodeEntry& e : Entries_) {
        if (e.NameHash != hash)
            continue;
        try {
            if (EqualsNoCase(Trim(GetNodeField(e, 4)), wanted))
                found.push_back(&e);
        } catch (const EFileError&) {
            // A nodelist gone since the compilation answers for none of its entries.
        }
    }
    return found;
}

} // namespace tavro
