#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavro {

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

// Real lines stay under a few hundred bytes; a longer one is damage, and reading it whole
// would let one file take any amount of memory.
constexpr size_t MaxNodeLineLength = 65536;

// Why a nodelist line cannot be compiled; the text is in the display code page.
class ENodeLineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The 31-bit hash of a sysop name (ASCII letters taken as lower case).
uint32_t NameHash(std::string_view text);

// The zone for a nodelist whose first Region or Host line comes before any Zone line, as
// regional lists and pointlists are often published; `Source` says where it came from (for
// the user), `Zone` 0 is none.
struct TFallbackZone {
    uint16_t Zone = 0;
    std::string Source;
};

// The address carried from line to line of one file. After a "Boss" line the lines that
// name a number are that boss's points, until a Zone, Region, Host, Hub or another Boss.
struct TNodeLineState {
    TNodeEntry Entry;
    bool BossPoints = false;
    uint16_t FallbackZone = 0;
    bool UsedFallbackZone = false; // set by the line that took it
};

// What one nodelist line does to the carried address. True: the line names an address worth
// indexing. Throws ENodeLineError on a keyword whose number is not a decimal 0..65535, a Boss
// address that does not parse, and a Region or Host before any zone without a fallback.
bool ParseNodeLine(std::string_view line, TNodeLineState& state);

// The field `k` of a nodelist line (0 keyword, 1 number, 2 system, 3 location, 4 sysop,
// 5 phone); 6 gives the rest of the line from field 6 on.
std::string NodeLineField(std::string_view line, int k);

} // namespace tavro
