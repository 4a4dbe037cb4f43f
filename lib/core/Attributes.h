#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

// The message attribute set of the model: 26 flags.
enum TAttrBit : uint32_t {
    atPvt = 0x00000001,
    atKS = 0x00000002,
    atCra = 0x00000004,
    atRRq = 0x00000008,
    atHld = 0x00000010,
    atLoc = 0x00000020,
    atAtt = 0x00000040,
    atFrq = 0x00000080,
    atURq = 0x00000100,
    atRcv = 0x00000200,
    atSnt = 0x00000400,
    atScn = 0x00000800,
    atOrp = 0x00001000,
    atTrs = 0x00002000,
    atArq = 0x00004000,
    atRRc = 0x00008000,
    atZON = 0x00010000,
    atDIR = 0x00020000,
    atIMM = 0x00040000,
    atHUB = 0x00080000,
    atKFS = 0x00100000,
    atTFS = 0x00200000,
    atCFM = 0x00400000,
    atRRQ = 0x00800000,
    atAS = 0x01000000,
    atLOK = 0x02000000,
};

constexpr uint32_t FlagsKludgeAttrs = 0x03FF0000; // bits 16..25
constexpr int AttrCount = 26;

// One row of the attribute table: names and where each storage format keeps the flag
// (0 = not kept in that format's header).
struct TAttrInfo {
    uint32_t Bit;
    const char* Display;    // "Pvt"
    const char* Caption;    // "Private"
    const char* FlagsToken; // "DIR"; null when not a FLAGS kludge flag
    uint16_t MsgMask;       // *.MSG attribute word
    uint32_t SquishMask;
    bool SquishReadOnly; // read from the header, never written
    uint32_t JamMask;
};

// Rows in bit order.
const std::array<TAttrInfo, AttrCount>& AttrTable();

// Display names of the set flags, in the fixed order of the attribute text, one blank
// apart.
std::string AttrToStr(uint32_t attr);

// Header attributes to the model's set and back. Only the bits of the table count; header
// bits it does not name are the caller's to keep. Squish's Scanned bit is read, never
// written. JAM's sent bit reads as Snt and Scn together, and either of them writes it.
uint32_t AttrFromMsgWord(uint16_t word);
uint16_t AttrToMsgWord(uint32_t attr);
uint32_t AttrFromSquish(uint32_t squishAttr);
uint32_t AttrToSquish(uint32_t attr);
uint32_t AttrFromJam(uint32_t jamAttr);
uint32_t AttrToJam(uint32_t attr);

// Bits 16..25 named by the first ^AFLAGS line; plain substring search, as tossers do.
uint32_t AttrFromFlagsKludge(const std::vector<std::string>& kludges);

} // namespace tavro
