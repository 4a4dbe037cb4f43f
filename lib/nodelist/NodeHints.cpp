#include "NodeHints.h"

#include "Nodelist.h"

#include "core/BufStream.h"
#include "core/StrUtils.h"

#include <vector>

namespace tavro {

namespace {

std::string HintOf(const TNodelistIndex& index, const std::vector<const TNodeEntry*>& entries) {
    std::string hint;
    for (const TNodeEntry* entry : entries) {
        try {
            const std::string line = index.ReadNodeLine(*entry);
            if (NodeLineField(line, 6).empty())
                continue;
            const size_t first = line.find(',');
            const size_t second = first == std::string::npos ? first : line.find(',', first + 1);
            if (!hint.empty())
                hint += '\r';
            hint += TAddress(entry->Zone, entry->Net, entry->Node, entry->Point).ToStr();
            if (second != std::string::npos)
                hint += line.substr(second);
        } catch (const EFileError&) {
            // A nodelist gone since the compilation: its entries say nothing.
        }
    }
    return hint;
}

std::string NameHint(const TNodelistIndex& index, const std::string& name) {
    return TrimView(name).empty() ? std::string() : HintOf(index, index.FindNodesByName(name));
}

std::string AddressHint(const TNodelistIndex& index, const TAddress& address) {
    if (!address.IsValid())
        return {};
    return HintOf(index, index.FindNodesByAddress(address.Zone, address.Net, address.Node, address.Point));
}

} // namespace

TNodeHints BuildNodeHints(const TNodelistIndex& index, const std::string& fromName, const TAddress& fromAddr,
                          const std::string& toName, const TAddress& toAddr) {
    if (index.Entries().empty())
        return {};
    return {NameHint(index, fromName), AddressHint(index, fromAddr), NameHint(index, toName),
            AddressHint(index, toAddr)};
}

} // namespace tavro
