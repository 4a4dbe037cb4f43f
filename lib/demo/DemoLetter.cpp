#include "DemoLetter.h"

#include "DemoTexts.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace tavro {

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t CharCount(std::string_view utf8) {
    return static_cast<size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return !IsContinuationByte(c); }));
}

std::string_view FirstChar(std::string_view utf8) {
    size_t length = 1;
    while (length < utf8.size() && IsContinuationByte(utf8[length]))
        ++length;
    return utf8.substr(0, length);
}

} // namespace

void SortLetters(std::vector<TDemoLetter>& letters) {
    std::vector<int> order(letters.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return letters[size_t(a)].Written < letters[size_t(b)].Written; });
    std::vector<int> place(letters.size());
    for (size_t i = 0; i < order.size(); ++i)
        place[size_t(order[i])] = static_cast<int>(i);
    std::vector<TDemoLetter> sorted;
    sorted.reserve(letters.size());
    for (int from : order) {
        sorted.push_back(std::move(letters[size_t(from)]));
        if (sorted.back().Parent >= 0)
            sorted.back().Parent = place[size_t(sorted.back().Parent)];
    }
    letters = std::move(sorted);
}

std::vector<std::string> WrapText(std::string_view text, size_t width) {
    std::vector<std::string> lines;
    std::string line;
    size_t lineChars = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty())
            continue;
        const size_t wordChars = CharCount(word);
        if (lineChars > 0 && lineChars + 1 + wordChars > width) {
            lines.push_back(std::move(line));
            line.clear();
            lineChars = 0;
        }
        if (lineChars > 0) {
            line += ' ';
            ++lineChars;
        }
        line += word;
        lineChars += wordChars;
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

std::string NameInitials(std::string_view name) {
    std::string initials;
    size_t start = 0;
    for (int words = 0; words < 2 && start < name.size(); ++words) {
        while (start < name.size() && name[start] == ' ')
            ++start;
        if (start == name.size())
            break;
        initials += FirstChar(name.substr(start));
        start = name.find(' ', start);
        if (start == std::string_view::npos)
            break;
    }
    return initials;
}

std::string QuotePrefix(std::string_view initials, int level) {
    return " " + std::string(initials) + std::string(size_t(std::max(level, 1)), '>') + " ";
}

std::string KludgeLine(std::string_view name, std::string_view value, std::string_view separator) {
    return '\x01' + std::string(name) + std::string(separator) + std::string(value);
}

std::string MsgIdValue(const TAddress& address, std::string_view key) {
    // FNV-1a: the same letter gets the same id on every run.
    uint32_t hash = 2166136261u;
    for (char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    char serial[9];
    std::snprintf(serial, sizeof serial, "%08x", hash);
    return address.ToStrFull() + " " + serial;
}

std::string NetNodeList(const std::vector<TAddress>& nodes) {
    std::string list;
    uint16_t net = 0;
    for (const TAddress& node : nodes) {
        if (!list.empty())
            list += ' ';
        if (node.Net != net)
            list += std::to_string(node.Net) + "/";
        list += std::to_string(node.Node);
        net = node.Net;
    }
    return list;
}

TAddress NodeOf(const TAddress& address) {
    return TAddress(address.Zone, address.Net, address.Node);
}

std::vector<std::string> EchoTail(const TAddress& from, std::vector<TAddress> nodes) {
    TAddress hub, boss;
    hub.Parse(DemoPeople()[DemoHub].Address);
    boss.Parse(DemoPeople()[DemoBoss].Address);
    const TAddress origin = NodeOf(from);
    std::vector<TAddress> path = {origin};
    if (!SameAddress(origin, hub) && !SameAddress(origin, boss))
        path.push_back(hub);
    if (!SameAddress(origin, boss))
        path.push_back(boss);

    for (TAddress& node : nodes)
        node = NodeOf(node);
    nodes.insert(nodes.end(), {hub, boss});
    const auto key = [](const TAddress& a) { return std::pair(a.Net, a.Node); };
    std::sort(nodes.begin(), nodes.end(),
              [&](const TAddress& a, const TAddress& b) { return key(a) < key(b); });
    nodes.erase(std::unique(nodes.begin(), nodes.end(),
                            [&](const TAddress& a, const TAddress& b) { return key(a) == key(b); }),
                nodes.end());
    return {"SEEN-BY: " + NetNodeList(nodes), KludgeLine("PATH", NetNodeList(path))};
}

std::vector<std::string> LetterEnd(const TDemoPerson& writer, std::string_view version) {
    const std::string editor = *writer.Editor ? writer.Editor : std::string(version);
    std::vector<std::string> lines = {"--- " + editor};
    if (*writer.Origin)
        lines.push_back(std::string(" * Origin: ") + writer.Origin + " (" + writer.Address + ")");
    return lines;
}

} // namespace tavro
