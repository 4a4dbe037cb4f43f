#pragma once

#include "core/Address.h"

#include <string>

namespace tavro {

class TNodelistIndex;

// What the nodelist says of the names and addresses in a message header.
struct TNodeHints {
    std::string FromName;
    std::string FromAddr;
    std::string ToName;
    std::string ToAddr;
};

// One line per index entry of the name (sysop field, letter case ignored) or address, in
// index order: the entry's address, then its line from the system name on. Entries without
// a speed field, and those whose nodelist cannot be read, give no line.
TNodeHints BuildNodeHints(const TNodelistIndex& index, const std::string& fromName, const TAddress& fromAddr,
                          const std::string& toName, const TAddress& toAddr);

} // namespace tavro
