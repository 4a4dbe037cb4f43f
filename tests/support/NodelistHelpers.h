#pragma once

#include "nodelist/Nodelist.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace tavro::test {

// Nodelist lines as published: each ended by CR LF.
inline std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// "2:5020/1.0", with the point always.
inline std::string AddressOf(const TNodeEntry& e) {
    return std::to_string(e.Zone) + ":" + std::to_string(e.Net) + "/" + std::to_string(e.Node) + "." +
           std::to_string(e.Point);
}

// Every indexed address in index order.
inline std::vector<std::string> Addresses(const TNodelistIndex& index) {
    std::vector<std::string> out;
    for (const TNodeEntry& e : index.Entries())
        out.push_back(AddressOf(e));
    return out;
}

} // namespace tavro::test
