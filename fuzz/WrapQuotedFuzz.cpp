// Quote-aware wrapping: no line beyond the width while the prefix leaves room, and plain
// text keeps every character in order.
#include "text/Quoting.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

using namespace tavro;

namespace {

TStringList SplitLines(std::string_view text) {
    TStringList lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

std::string NonBlank(const TStringList& lines) {
    std::string text;
    for (const std::string& line : lines)
        for (char c : line)
            if (static_cast<uint8_t>(c) > 32)
                text += c;
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int width = static_cast<int>(data[0]) - 8;
    const TStringList source =
        SplitLines(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    TStringList wrapped;
    WrapQuoted(source, wrapped, width);
    for (const std::string& line : wrapped) {
        const int prefix = QuotePrefixEnd(line);
        const bool room = prefix == 0 ? width >= 1 : prefix + 1 < width;
        if (room && line.size() > static_cast<size_t>(width))
            std::abort();
    }

    // Without quotes nothing is joined, so the text survives exactly.
    TStringList plain = source;
    for (std::string& line : plain)
        std::replace(line.begin(), line.end(), '>', '}');
    TStringList plainWrapped;
    WrapQuoted(plain, plainWrapped, width);
    if (NonBlank(plainWrapped) != NonBlank(plain))
        std::abort();
    return 0;
}
