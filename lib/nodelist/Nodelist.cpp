#include "Nodelist.h"

#include "NodeLineReader.h"
#include "NodelistPaths.h"

#include "core/BufStream.h"
#include "core/CodePage.h"
#include "core/ConfigDir.h"
#include "core/Endian.h"
#include "core/FileUtils.h"
#include "core/StrUtils.h"

#include <algorithm>
#include <numeric>
#include <sys/stat.h>

namespace tavro {

namespace {

constexpr int LineBufSize = 512;
// Far beyond any real index (a million lines take 18 MB); a larger file is damaged.
constexpr size_t MaxIndexBytes = size_t(256) << 20;
constexpr size_t MaxListBytes = size_t(16) << 20;

// The file's modification time as stored in the list; all ones for a missing file.
uint32_t FileTime(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint32_t>(st.st_mtim.tv_sec) : 0xFFFFFFFF;
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

void AppendListed(std::string& out, const std::string& path, uint32_t time) {
    out += path + "\r\n";
    char raw[4];
    PutLE32(raw, time);
    out.append(raw, 4);
}

TNodeEntry DecodeEntry(const char* p) {
    return {GetLE16(p),     GetLE16(p + 2),  GetLE16(p + 4), GetLE16(p + 6),
            GetLE32(p + 8), GetLE32(p + 12), GetLE16(p + 16)};
}

bool HoldsAlready(const std::string& fileName, const std::string& data) {
    std::string old;
    return ReadWholeFile(ResolveCase(fileName), old, data.size()) && old == data;
}

} // namespace

TNodelistIndex::TNodelistIndex(const std::string& dir) : TNodelistIndex(dir, ConfigDir()) {}

TNodelistIndex::TNodelistIndex(const std::string& dir, const std::string& configDir) {
    Dir_ = FullNodelistDir(dir, configDir);
    if (Dir_.back() != '/')
        Dir_ += '/';
}

TNodelistCompileReport TNodelistIndex::CompileNodelists(const std::vector<std::string>& masks,
                                                        const TFallbackZone& fallbackZone,
                                                        const TNodelistProgress& progress) {
    TNodelistCompileReport report;
    // Each file catches its own failures; this is for the rest (memory), since the program's
    // timer calls this without a guard.
    try {
        std::string list, index;
        for (const std::string& mask : masks) {
            if (TrimView(mask).empty())
                continue;
            if (!CompileMask(mask, fallbackZone, progress, report, list, index)) {
                report.Cancelled = true;
                return report;
            }
        }
        WriteIndexFiles(list, index, report);
    } catch (const std::exception& e) {
        report.WriteError = e.what();
    }
    return report;
}

// False when cancelled.
bool TNodelistIndex::CompileMask(const std::string& mask, const TFallbackZone& zone,
                                 const TNodelistProgress& progress, TNodelistCompileReport& report,
                                 std::string& list, std::string& index) const {
    std::string whyNone;
    const std::vector<std::string> paths = NodelistFilesOfMask(mask, Dir_, whyNone);
    if (paths.empty())
        report.Masks.push_back({mask, whyNone});
    std::vector<TNodeEntry> entries;
    for (const std::string& path : paths) {
        // File numbers are 16 bits wide.
        if (report.Files.size() > UINT16_MAX) {
            report.Masks.push_back({mask, "more files than the index can number; the rest are left out"});
            return true;
        }
        const uint16_t fileNo = static_cast<uint16_t>(report.Files.size());
        // Taken first: a change while the file is compiled shows at the next check.
        const uint32_t time = FileTime(path);
        TNodelistFileReport& file = report.Files.emplace_back();
        if (!CompileNodelistFile(path, fileNo, zone, progress, entries, file))
            return false;
        for (const TNodeEntry& e : entries)
            AppendEntry(index, e);
        AppendListed(list, path, time);
    }
    return true;
}

void TNodelistIndex::WriteIndexFiles(const std::string& list, const std::string& index,
                                     TNodelistCompileReport& report) const {
    // Left as they are, the files keep their times, and whoever watches them does nothing.
    if (HoldsAlready(IndexFileName(), index) && HoldsAlready(ListFileName(), list))
        return;
    // The index first: a list that names files it does not cover would pass as current.
    if (WriteFilesAtomically({{ResolveCase(IndexFileName()), index}, {ResolveCase(ListFileName()), list}}))
        report.Rewritten = true;
    else
        report.WriteError = "the index files cannot be written in " + Dir_;
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
    ByAddress_.clear();
    ByName_.clear();
    std::string data, list;
    if (!ReadWholeFile(ResolveCase(IndexFileName()), data, MaxIndexBytes) ||
        !ReadWholeFile(ResolveCase(ListFileName()), list, MaxListBytes))
        return;
    Entries_.reserve(data.size() / NodeEntrySize);
    for (size_t at = 0; at + NodeEntrySize <= data.size(); at += NodeEntrySize)
        Entries_.push_back(DecodeEntry(data.data() + at));
    Files_ = ParseList(list);
    BuildLookups();
}

namespace {

uint64_t AddressKey(uint16_t zone, uint16_t net, uint16_t node, uint16_t point) {
    return uint64_t(zone) << 48 | uint64_t(net) << 32 | uint64_t(node) << 16 | point;
}

uint64_t AddressKey(const TNodeEntry& e) {
    return AddressKey(e.Zone, e.Net, e.Node, e.Point);
}

} // namespace

void TNodelistIndex::BuildLookups() {
    ByAddress_.resize(Entries_.size());
    std::iota(ByAddress_.begin(), ByAddress_.end(), 0u);
    ByName_ = ByAddress_;
    std::stable_sort(ByAddress_.begin(), ByAddress_.end(), [&](uint32_t a, uint32_t b) {
        return AddressKey(Entries_[a]) < AddressKey(Entries_[b]);
    });
    std::stable_sort(ByName_.begin(), ByName_.end(),
                     [&](uint32_t a, uint32_t b) { return Entries_[a].NameHash < Entries_[b].NameHash; });
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
    TNodeLineReader lines(file, LineBufSize);
    std::string_view view;
    try {
        lines.Next(view);
    } catch (const ENodeLineError& e) {
        throw EFileError(file.FileName() + ": " + e.what(), 0);
    }
    std::string line(view);
    std::replace(line.begin(), line.end(), '_', ' ');
    return ActiveCodePages().OemToDisplay(line);
}

std::string TNodelistIndex::GetNodeField(const TNodeEntry& entry, int k) const {
    return NodeLineField(ReadNodeLine(entry), k);
}

const TNodeEntry* TNodelistIndex::FindNodeByAddress(uint16_t zone, uint16_t net, uint16_t node,
                                                    uint16_t point) const {
    const std::vector<const TNodeEntry*> found = FindNodesByAddress(zone, net, node, point);
    return found.empty() ? nullptr : found.front();
}

std::vector<const TNodeEntry*> TNodelistIndex::FindNodesByAddress(uint16_t zone, uint16_t net, uint16_t node,
                                                                  uint16_t point) const {
    const uint64_t key = AddressKey(zone, net, node, point);
    auto first = std::lower_bound(ByAddress_.begin(), ByAddress_.end(), key, [&](uint32_t a, uint64_t value) {
        return AddressKey(Entries_[a]) < value;
    });
    auto last = std::upper_bound(first, ByAddress_.end(), key,
                                 [&](uint64_t value, uint32_t a) { return value < AddressKey(Entries_[a]); });
    std::vector<const TNodeEntry*> found;
    for (auto it = first; it != last; ++it)
        found.push_back(&Entries_[*it]);
    return found;
}

std::vector<const TNodeEntry*> TNodelistIndex::FindNodesByName(const std::string& name) const {
    std::vector<const TNodeEntry*> found;
    const std::string wanted = Trim(name);
    const uint32_t hash = NameHash(ActiveCodePages().DisplayToOem(wanted));
    auto first = std::lower_bound(ByName_.begin(), ByName_.end(), hash,
                                  [&](uint32_t a, uint32_t value) { return Entries_[a].NameHash < value; });
    for (auto it = first; it != ByName_.end() && Entries_[*it].NameHash == hash; ++it) {
        const TNodeEntry& e = Entries_[*it];
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
