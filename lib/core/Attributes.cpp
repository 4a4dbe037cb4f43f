#include "Attributes.h"

#include "StrUtils.h"

namespace tavro {

namespace {

// Scn has no place of its own in a JAM header: it shares the sent bit.
constexpr std::array<TAttrInfo, AttrCount> Table = {{
    {atPvt, "Pvt", "Private", nullptr, 0x0001, 0x00000001, false, 0x00000004},
    {atKS, "K/S", "Kill sent", nullptr, 0x0080, 0x00000080, false, 0x00000020},
    {atCra, "Cra", "Crash", nullptr, 0x0002, 0x00000002, false, 0x00000100},
    {atRRq, "RRq", "Return receipt", nullptr, 0x1000, 0x00001000, false, 0x00010000},
    {atHld, "Hld", "Hold", nullptr, 0x0200, 0x00000200, false, 0x00000080},
    {atLoc, "Loc", "Local", nullptr, 0x0100, 0x00000100, false, 0x00000001},
    {atAtt, "Att", "File attach", nullptr, 0x0010, 0x00000010, false, 0x00002000},
    {atFrq, "Frq", "Request File", nullptr, 0x0800, 0x00000800, false, 0x00001000},
    {atURq, "URq", "Update file", nullptr, 0x8000, 0x00008000, false, 0},
    {atRcv, "Rcv", "Received", nullptr, 0x0004, 0x00000004, false, 0x00000008},
    {atSnt, "Snt", "Sent", nullptr, 0x0008, 0x00000008, false, 0x00000010},
    {atScn, "Scn", "Scanned", nullptr, 0, 0x00010000, true, 0x00000010},
    {atOrp, "Orp", "Orphan", nullptr, 0x0040, 0x00000040, false, 0x00040000},
    {atTrs, "Trs", "Transit", nullptr, 0x0020, 0x00000020, false, 0x00000002},
    {atArq, "Arq", "Audit request", nullptr, 0x4000, 0x00004000, false, 0x00000040},
    {atRRc, "RRc", "Conf. receipt", nullptr, 0x2000, 0x00002000, false, 0x00020000},
    {atZON, "ZON", "ZON: Route through zonegate", "ZON", 0, 0, false, 0x00000800},
    {atDIR, "DIR", "DIR: Direct to destination", "DIR", 0, 0, false, 0x00000400},
    {atIMM, "IMM", "IMM: Immediate delivery", "IMM", 0, 0, false, 0x00000200},
    {atHUB, "HUB", "HUB: Route through hub/host", "HUB", 0, 0, false, 0},
    {atKFS, "KFS", "KFS: Kill sent file", "KFS", 0, 0, false, 0x00008000},
    {atTFS, "TFS", "TFS: Truncate sent file", "TFS", 0, 0, false, 0x00004000},
    {atCFM, "CFM", "CFM: Return read receipt", "CFM", 0, 0, false, 0},
    {atRRQ, "RRQ", "RRQ: Return unpack receipt", "RRQ", 0, 0, false, 0},
    {atAS, "A/S", "A/S: Archive when sent", "A/S", 0, 0, false, 0},
    {atLOK, "LOC", "LOC: Locked message", "LOK", 0, 0, false, 0},
}};

constexpr bool TableInBitOrder() {
    for (int i = 0; i < AttrCount; ++i)
        if (Table[i].Bit != (1u << i))
            return false;
    return true;
}
static_assert(TableInBitOrder());

// The fixed order of the attribute text.
constexpr uint32_t DisplayOrder[AttrCount] = {
    atCra, atHld, atAtt, atRRq, atPvt, atKS,  atFrq, atURq, atRcv, atSnt, atScn, atLoc, atOrp,
    atTrs, atArq, atRRc, atZON, atHUB, atIMM, atDIR, atKFS, atTFS, atRRQ, atCFM, atLOK, atAS,
};

int BitIndex(uint32_t bit) {
    int index = 0;
    while (bit > 1) {
        bit >>= 1;
        ++index;
    }
    return index;
}

template <typename TMask> uint32_t FromHeader(uint32_t stored, TMask TAttrInfo::*mask) {
    uint32_t attr = 0;
    for (const TAttrInfo& info : Table)
        if (stored & (info.*mask))
            attr |= info.Bit;
    return attr;
}

template <typename TMask> uint32_t ToHeader(uint32_t attr, TMask TAttrInfo::*mask, bool skipReadOnly) {
    uint32_t stored = 0;
    for (const TAttrInfo& info : Table)
        if ((attr & info.Bit) && !(skipReadOnly && info.SquishReadOnly))
            stored |= info.*mask;
    return stored;
}

} // namespace

const std::array<TAttrInfo, AttrCount>& AttrTable() {
    return Table;
}

std::string AttrToStr(uint32_t attr) {
    std::string result;
    for (uint32_t bit : DisplayOrder) {
        if (!(attr & bit))
            continue;
        if (!result.empty())
            result += ' ';
        result += Table[BitIndex(bit)].Display;
    }
    return result;
}

uint32_t AttrFromMsgWord(uint16_t word) {
    return FromHeader(word, &TAttrInfo::MsgMask);
}

uint16_t AttrToMsgWord(uint32_t attr) {
    return static_cast<uint16_t>(ToHeader(attr, &TAttrInfo::MsgMask, false));
}

uint32_t AttrFromSquish(uint32_t squishAttr) {
    return FromHeader(squishAttr, &TAttrInfo::SquishMask);
}

// Scanned is the tosser's business; the reader only shows it.
uint32_t AttrToSquish(uint32_t attr) {
    return ToHeader(attr, &TAttrInfo::SquishMask, true);
}

// The sent bit reads as both Snt and Scn, and either of them writes it.
uint32_t AttrFromJam(uint32_t jamAttr) {
    return FromHeader(jamAttr, &TAttrInfo::JamMask);
}

uint32_t AttrToJam(uint32_t attr) {
    return ToHeader(attr, &TAttrInfo::JamMask, false);
}

uint32_t AttrFromFlagsKludge(const std::vector<std::string>& kludges) {
    for (const std::string& line : kludges) {
        if (!StartsWithNoCase(line, "\x01"
                                    "FLAGS"))
            continue;
        std::string upper = UpperCaseAscii(line);
        uint32_t attr = 0;
        for (const TAttrInfo& info : Table)
            if (info.FlagsToken && upper.find(info.FlagsToken) != std::string::npos)
                attr |= info.Bit;
        return attr;
    }
    return 0;
}

} // namespace tavro
