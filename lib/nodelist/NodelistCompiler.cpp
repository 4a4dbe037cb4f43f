#include "NodelistCompiler.h"

#include "NodeLineReader.h"
#include "NodelistPaths.h"

#include "core/BufStream.h"
#include "core/FileUtils.h"
#include "core/StrUtils.h"

#include <cerrno>
#include <cstring>
#include <memory>

namespace tavro {

namespace {

constexpr int CompileBufSize = 16384;

// The index files and what writing them leaves for a moment ("Tavro.ndx.1234.0.tmp"): a mask
// such as "*" must not compile them.
bool IsIndexFile(std::string_view name) {
    for (std::string_view own : {"Tavro.nls", "Tavro.ndx"})
        if (EqualsNoCase(name, own) ||
            (StartsWithNoCase(name, own) && name.size() > own.size() && name[own.size()] == '.'))
            return true;
    return false;
}

std::string FileErrorReason(const EFileError& e, int64_t line) {
    if (e.Code == EWOULDBLOCK)
        return "the file is in use by another program";
    if (e.Code != 0)
        return std::string(line == 0 ? "the file cannot be opened: " : "the file cannot be read: ") +
               std::strerror(e.Code);
    return e.what();
}

void Fail(TNodelistFileReport& report, std::vector<TNodeEntry>& entries, int64_t line, std::string reason) {
    entries.clear();
    report.Entries = 0;
    report.Failed = true;
    report.Line = line;
    report.Reason = std::move(reason);
}

class TFileCompiler {
public:
    TFileCompiler(TNodeLineReader& lines, const TFallbackZone& zone, const TNodelistProgress& progress,
                  std::vector<TNodeEntry>& entries, TNodelistFileReport& report)
        : Lines(lines), Zone(zone), Progress(progress), Entries(entries), Report(report) {
        State.FallbackZone = zone.Zone;
    }

    // False when cancelled.
    bool Run(int64_t size, const std::string& name, uint16_t fileNo) {
        size = std::max<int64_t>(size, 1);
        int shown = 0;
        if (Progress && !Progress(0, name))
            return false;
        std::string_view line;
        while (Lines.Next(line)) {
            const int64_t offset = Lines.LineOffset();
            const int percent = static_cast<int>(std::min<int64_t>((offset * 100 + size / 2) / size, 100));
            if (percent != shown && Progress && !Progress(percent, name))
                return false;
            shown = percent;
            // Offsets are stored in 32 bits: the rest of a larger file is out of reach.
            if (offset > int64_t(UINT32_MAX)) {
                Report.Notes.push_back("only the first 4 GiB of the file are indexed");
                break;
            }
            Compile(line, static_cast<uint32_t>(offset), fileNo);
        }
        Report.Entries = Entries.size();
        return true;
    }

private:
    void Compile(std::string_view line, uint32_t offset, uint16_t fileNo) {
        const TNodeEntry& work = State.Entry;
        if (ParseNodeLine(line, State) && work.Zone != 0 && work.Net != 0) {
            TNodeEntry entry = work;
            entry.LineOffset = offset;
            entry.FileNo = fileNo;
            Entries.push_back(entry);
        }
        if (State.UsedFallbackZone) {
            State.UsedFallbackZone = false;
            if (!ZoneNoted)
                Report.Notes.push_back("line " + std::to_string(Lines.LineNumber()) +
                                       " comes before any Zone line: zone " + std::to_string(Zone.Zone) +
                                       " is taken from " + Zone.Source);
            ZoneNoted = true;
        }
    }

    TNodeLineReader& Lines;
    const TFallbackZone& Zone;
    const TNodelistProgress& Progress;
    std::vector<TNodeEntry>& Entries;
    TNodelistFileReport& Report;
    TNodeLineState State;
    bool ZoneNoted = false;
};

} // namespace

std::vector<std::string> NodelistFilesOfMask(const std::string& mask, const std::string& dir,
                                             std::string& whyNone) {
    const std::string full = FullNodelistMask(mask, dir);
    const size_t slash = full.rfind('/');
    std::string maskDir = slash == std::string::npos ? dir : full.substr(0, slash);
    while (maskDir.size() > 1 && maskDir.back() == '/')
        maskDir.pop_back();
    if (maskDir.empty())
        maskDir = "/";
    const std::string pattern = slash == std::string::npos ? full : full.substr(slash + 1);
    const std::string resolved = ResolveCase(maskDir);
    std::vector<std::string> paths;
    bool missing = false;
    try {
        for (const std::string& name : ListFilesOrThrow(resolved, pattern, missing))
            if (name.front() != '.' && !IsIndexFile(name))
                paths.push_back((resolved == "/" ? "" : resolved) + "/" + name);
    } catch (const EFileError& e) {
        whyNone = "its directory cannot be read: " + std::string(std::strerror(e.Code));
        return paths;
    }
    if (missing)
        whyNone = "its directory " + resolved + " does not exist";
    else if (paths.empty())
        whyNone = "no file matches it";
    return paths;
}

bool CompileNodelistFile(const std::string& path, uint16_t fileNo, const TFallbackZone& zone,
                         const TNodelistProgress& progress, std::vector<TNodeEntry>& entries,
                         TNodelistFileReport& report) {
    entries.clear();
    report = {};
    report.Path = path;
    std::unique_ptr<TBufStream> file;
    std::unique_ptr<TNodeLineReader> lines;
    auto line = [&] { return lines ? lines->LineNumber() : int64_t(0); };
    // Whatever one file does, the others are compiled: the program's timer relies on it.
    try {
        file = std::make_unique<TBufStream>(path, CompileBufSize, TOpenMode::Read);
        lines = std::make_unique<TNodeLineReader>(*file, CompileBufSize);
        TFileCompiler compiler(*lines, zone, progress, entries, report);
        return compiler.Run(file->Size(), path.substr(path.rfind('/') + 1), fileNo);
    } catch (const EFileError& e) {
        Fail(report, entries, line(), FileErrorReason(e, line()));
    } catch (const std::exception& e) {
        Fail(report, entries, line(), e.what());
    } catch (...) {
        Fail(report, entries, line(), "unexpected error");
    }
    return true;
}

} // namespace tavro
