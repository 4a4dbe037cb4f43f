#pragma once

#include "core/Address.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavro::test {

// One packed message. Strings are stored bytes; Text is the raw text, lines ended by CR,
// without the closing zero.
struct TPacketMsg {
    uint16_t OrigNode = 0;
    uint16_t DestNode = 0;
    uint16_t OrigNet = 0;
    uint16_t DestNet = 0;
    uint16_t Attr = 0;
    uint16_t Cost = 0;
    std::string DateTime; // "05 Jan 24  10:03:00"
    std::string ToName;
    std::string FromName;
    std::string Subject;
    std::string Text;
};

// A type-2 mail packet as tossers exchange it.
struct TPacket {
    TAddress Orig;
    TAddress Dest;
    std::string Password; // up to 8 bytes
    std::vector<TPacketMsg> Msgs;
};

// The packet's bytes. The header is the 2+ kind, so zones and points travel too.
std::string WritePacket(const TPacket& packet);

// Parses `data` into `packet`; the empty string on success, else what is wrong. Zones and
// points come from the 2+ fields when the capability word is valid.
std::string ReadPacket(std::string_view data, TPacket& packet);

// The CR-ended lines of a message text; LF is dropped, a last line without CR is kept.
std::vector<std::string> TextLines(std::string_view text);

// Joins lines into a message text, each ended by CR.
std::string JoinLines(const std::vector<std::string>& lines);

} // namespace tavro::test
