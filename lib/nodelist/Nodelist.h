#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

class TCodePagePair;

// One indexed nodelist line: the address it gives, the hash of its sysop field and where the
// line is.
struct TNodeEntry {
    uint16_t Zone = 0;
    uint16_t Net = 0;
    uint16_t Node = 0;
    uint16_t Point = 0;
    uint32_t NameHash = 0;
    uint32_t LineOffset = 0;
    uint16_t FileNo = 0;
    bool operator==(const TNodeEntry&) const = default;
};

constexpr size_t NodeEntrySize = 18;

// The 31-bit hash of a sysop name (ASCII letters taken as lower case).
uint32_t NameHash(std::string_view text);

// The address carried from line to line of one file. After a "Boss" line, plain lines are
// that boss's points, as pointlists in that form list them.
struct TNodeLineState {
    TNodeEntry Entry;
    bool BossPoints = false;
};

// What one nodelist line does to the carried address. True: the line names an address worth
// indexing. Throws EFileError on a keyword whose number is not a decimal integer.
bool ParseNodeLine(std::string_view line, TNodeLineState& state);

// The field `k` of a nodelist line (0 keyword, 1 number, 2 system, 3 location, 4 sysop,
// 5 phone); 6 gives the rest of the line from field 6 on.
std::string NodeLineField(std::string_view line, int k);

// Percentage of the current file and its name; false cancels the compilation.
using TNodelistProgress = std::function<bool(int percent, const std::string& fileName)>;

// The compiled nodelists of a directory: "Tavro.nls" lists the compiled files, "Tavro.ndx"
// holds 18 bytes per indexed line. Look-ups scan the entries in memory.
class TNodelistIndex {
public:
    // `dir` as configured: trimmed, the configuration directory when empty.
    explicit TNodelistIndex(const std::string& dir);

    const std::string& Dir() const { return Dir_; } // ends in "/"
    const std::vector<TNodeEntry>& Entries() const { return Entries_; }

    // Rebuilds both files from the masks (relative masks are in Dir()). A file that fails
    // contributes nothing; the old files stay until the new ones are complete. False when
    // the files cannot be written or the compilation was cancelled.
    bool CompileNodelists(const std::vector<std::string>& masks, const TNodelistProgress& progress = {});
    // Reads the index files; on any failure the index is empty.
    void LoadNodelistIndex();
    // Whether a compiled file changed or the list is missing.
    bool NodelistsChanged() const;

    // The line of an entry, "_" as blanks, in the display code page. Throws EFileError.
    std::string ReadNodeLine(const TNodeEntry& entry) const;
    std::string GetNodeField(const TNodeEntry& entry, int k) const;
    const TNodeEntry* FindNodeByAddress(uint16_t zone, uint16_t net, uint16_t node, uint16_t point) const;
    // Every entry whose sysop field is `name` (display code page), ignoring case.
    std::vector<const TNodeEntry*> FindNodesByName(const std::string& name) const;

    std::string ListFileName() const { return Dir_ + "Tavro.nls"; }
    std::string IndexFileName() const { return Dir_ + "Tavro.ndx"; }

private:
    struct TListedFile {
        std::string Path;
        uint32_t Time = 0;
    };
    static std::vector<TListedFile> ParseList(std::string_view data);

    std::string Dir_;
    std::vector<TNodeEntry> Entries_;
    std::vector<TListedFile> Files_; // as loaded with the index
};

} // namespace tavro
