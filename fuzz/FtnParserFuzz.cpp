// Message text as the viewer and the editor colour it, line by line, and link texts the
// reader is asked to open.
#include "text/FtnParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace tavro;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool IsClosingPunctuation(char c) {
    return c == '.' || c == ',' || c == ';' || c == ':' || c == ')';
}

// A link never ends in punctuation that closes a sentence, unless it is a ")" matching a "("
// of the link.
bool EndsWell(std::string_view line, const TLink& link) {
    const size_t end = link.Start + link.Length;
    if (!IsClosingPunctuation(line[end - 1]))
        return true;
    size_t after = end;
    while (after < line.size() && IsClosingPunctuation(line[after]))
        ++after;
    if (after < line.size() && static_cast<uint8_t>(line[after]) > ' ')
        return true;
    if (line[end - 1] != ')')
        return false;
    size_t open = 0;
    for (size_t i = link.Start; i + 1 < end; ++i) {
        if (line[i] == '(')
            ++open;
        else if (line[i] == ')' && open > 0)
            --open;
    }
    return open > 0;
}

void CheckLine(std::string_view line) {
    const std::string styles = TFTNParser::GetLineStyles(line);
    Check(styles.size() == line.size());
    for (char code : styles)
        Check(code >= ceText && code <= ceTearOrigin);

    // Links are ordered, inside the line and apart from each other.
    const std::vector<TLink> links = TFTNParser::FindLinks(line);
    size_t end = 0;
    for (const TLink& link : links) {
        Check(link.Length > 0 && link.Start >= end && link.Start + link.Length <= line.size());
        Check(link.Kind == lkAddress || link.Kind == lkUrl || link.Kind == lkEMail);
        Check(EndsWell(line, link));
        end = link.Start + link.Length;
    }
    Check(TFTNParser::LinkKind(line) == (links.empty() ? lkNone : links.front().Kind));

    // Control lines are never searched; elsewhere only found links are marked.
    const TColorElement style = TFTNParser::LineStyle(line);
    const bool marked = styles.find(static_cast<char>(ceAddress)) != std::string::npos;
    if (style == ceKludge || style == ceTearOrigin)
        Check(!marked);
    for (size_t i = 0, next = 0; i < styles.size(); ++i) {
        while (next < links.size() && links[next].Start + links[next].Length <= i)
            ++next;
        const bool inLink = next < links.size() && links[next].Start <= i;
        if (styles[i] == ceAddress)
            Check(inLink);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    while (!text.empty()) {
        const size_t eol = text.find_first_of("\r\n");
        CheckLine(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    }
    // The whole input as one line: long lines and line breaks inside links.
    CheckLine(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
