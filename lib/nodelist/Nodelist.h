#pragma once

#include "NodeLine.h"
#include "NodelistCompiler.h"
#include "NodelistReport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

// The compiled nodelists of a directory: "Tavro.nls" lists the compiled files, "Tavro.ndx"
// holds 18 bytes per indexed line. Look-ups scan the entries in memory.
class TNodelistIndex {
public:
    // `dir` as configured (see FullNodelistDir): relative to `configDir`, that directory
    // itself when empty.
    explicit TNodelistIndex(const std::string& dir);
    TNodelistIndex(const std::string& dir, const std::string& configDir);

    const std::string& Dir() const { return Dir_; } // full, ends in "/"
    const std::vector<TNodeEntry>& Entries() const { return Entries_; }

    // Rebuilds both files from the masks (a mask's directory is relative to Dir()). A file
    // that fails contributes no entries but is listed, so that mending it is noticed; the
    // report says which and why. `fallbackZone` serves files whose first Region or Host
    // comes before any Zone. The old files stay until the new ones are complete, and stay
    // untouched when the new ones would be the same. Never throws.
    TNodelistCompileReport CompileNodelists(const std::vector<std::string>& masks,
                                            const TFallbackZone& fallbackZone = {},
                                            const TNodelistProgress& progress = {});
    // Reads the index files; on any failure the index is empty.
    void LoadNodelistIndex();
    // Whether a compiled file changed or the list is missing.
    bool NodelistsChanged() const;

    // The line of an entry, "_" as blanks, in the display code page. Throws EFileError.
    std::string ReadNodeLine(const TNodeEntry& entry) const;
    std::string GetNodeField(const TNodeEntry& entry, int k) const;
    // The first entry of the address in index order, null when none.
    const TNodeEntry* FindNodeByAddress(uint16_t zone, uint16_t net, uint16_t node, uint16_t point) const;
    // Every entry of the address, in index order.
    std::vector<const TNodeEntry*> FindNodesByAddress(uint16_t zone, uint16_t net, uint16_t node,
                                                      uint16_t point) const;
    // Every entry whose sysop field is `name` (display code page), ignoring case, in index order.
    std::vector<const TNodeEntry*> FindNodesByName(const std::string& name) const;

    std::string ListFileName() const { return Dir_ + "Tavro.nls"; }
    std::string IndexFileName() const { return Dir_ + "Tavro.ndx"; }

private:
    struct TListedFile {
        std::string Path;
        uint32_t Time = 0;
    };
    static std::vector<TListedFile> ParseList(std::string_view data);
    bool CompileMask(const std::string& mask, const TFallbackZone& zone, const TNodelistProgress& progress,
                     TNodelistCompileReport& report, std::string& list, std::string& index) const;
    void WriteIndexFiles(const std::string& list, const std::string& index,
                         TNodelistCompileReport& report) const;

    // Entry numbers sorted by address and by name hash, each in index order within equal
    // keys: a look-up costs the same however large the index.
    void BuildLookups();

    std::string Dir_;
    std::vector<TNodeEntry> Entries_;
    std::vector<uint32_t> ByAddress_;
    std::vector<uint32_t> ByName_;
    std::vector<TListedFile> Files_; // as loaded with the index
};

} // namespace tavro
