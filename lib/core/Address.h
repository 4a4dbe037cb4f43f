#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavro {

// An FTN address zone:net/node.point@domain. A plain value: parse failures clear it, and
// an invalid address (zone or net 0) prints as the empty string.
class TAddress {
public:
    uint16_t Zone = 0;
    uint16_t Net = 0;
    uint16_t Node = 0;
    uint16_t Point = 0;
    std::string Domain;

    TAddress() = default;
    TAddress(uint16_t zone, uint16_t net, uint16_t node, uint16_t point = 0, std::string domain = {});

    void Assign(const TAddress* source);
    // Zeroes the four numbers; the domain stays.
    void Clear();
    bool IsValid() const { return Zone != 0 && Net != 0; }

    // zone:net/node[.point][@domain]
    void Parse(std::string_view text);
    // Fills in from a partial text read right to left, keeping what it does not mention.
    // The one-argument form takes "Old style addresses" from the global settings.
    void ParseRelative(std::string_view text);
    void ParseRelative(std::string_view text, bool oldAddrStyle);

    std::string ToStr() const;     // 2:5020/1 or 2:5020/1.5
    std::string ToStrFull() const; // always with the point: 2:5020/1.0
    std::string ToStr3D() const;   // never a point
    std::string ToStr5D() const;   // ToStr and @domain

    bool operator==(const TAddress&) const = default;
};

// Compares the four numbers; the domain does not count.
bool SameAddress(const TAddress& a, const TAddress& b);

} // namespace tavro
