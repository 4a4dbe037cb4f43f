#include "text/Quoting.h"

#include "core/CodePage.h"
#include "core/Settings.h"
#include "core/StrUtils.h"

#include <climits>

namespace tavro {

namespace {

constexpr size_t PrefixLookLimit = 10; // index of the last character the look may reach
constexpr size_t MaxInitialLetters = 4;

bool IsAsciiLetter(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool InUURange(uint8_t c) {
    return c >= 33 && c <= 96;
}

// A UU data line: its length byte announces as many characters as the line holds.
bool LooksLikeUUData(std::string_view line) {
    const uint8_t first = static_cast<uint8_t>(line.front());
    if (!InUURange(first))
        return false;
    const size_t n = first == 96 ? 0 : first - 32;
    const size_t m = n * 4 / 3;
    if (line.size() != m + 1 && line.size() != m + 2)
        return false;
    for (size_t i = 1; i <= m; ++i)
        if (!InUURange(static_cast<uint8_t>(line[i])))
            return false;
    return true;
}

std::string_view TrimRightView(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && static_cast<uint8_t>(text[end - 1]) <= 32)
        --end;
    return text.substr(0, end);
}

// Replaces one character when the line starts with `start`, ASCII case ignored.
void DefuseIfStarts(std::string& line, std::string_view start, size_t index, char replacement) {
    if (StartsWithNoCase(line, start))
        line[index] = replacement;
}

TStringList SourceLines(TCustomMsg& quoted, bool withKludges) {
    TStringList lines;
    if (withKludges)
        lines = quoted.GetKludges();
    for (const TBodyLine& line : quoted.GetBody())
        lines.push_back(line.Text);
    if (withKludges) {
        const TStringList& tail = quoted.GetTail();
        lines.insert(lines.end(), tail.begin(), tail.end());
    }
    return lines;
}

void AppendWrapped(const TStringList& lines, TBodyLines& dest, bool wrap) {
    TStringList wrapped;
    WrapQuoted(lines, wrapped, wrap ? QuoteWidth : INT_MAX);
    for (std::string& line : wrapped)
        dest.emplace_back(std::move(line));
}

// Where a line too long for `available` characters is cut: after a blank or after a "-"
// that joins two words, else hard at `available`.
size_t BreakLength(std::string_view text, size_t available) {
    if (text[available] == ' ')
        return available + 1;
    for (size_t i = available; i-- > 0;) {
        if (text[i] == ' ')
            return i + 1;
        if (text[i] == '-' && IsDisplayLetter(static_cast<uint8_t>(text[i + 1])))
            return i + 1;
    }
    return available;
}

} // namespace

bool IsDisplayLetter(uint8_t byte) {
    const TCodePage* page = ActiveCodePages().Display();
    return page != nullptr ? page->IsLetter(byte) : IsAsciiLetter(byte);
}

int QuotePrefixEnd(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && i < PrefixLookLimit && static_cast<uint8_t>(line[i]) <= 32)
        ++i;
    for (size_t letters = 0; letters < MaxInitialLetters && i < line.size() && i < PrefixLookLimit &&
                             IsDisplayLetter(static_cast<uint8_t>(line[i]));
         ++letters)
        ++i;
    if (i >= line.size() || line[i] != '>')
        return 0;
    while (i + 1 < line.size() && line[i + 1] == '>')
        ++i;
    if (LooksLikeUUData(line))
        return 0;
    return static_cast<int>(i + 1);
}

std::string MakeQuotePrefix(std::string_view fromName) {
    std::string prefix = Settings().AddQuoteSpace ? " " : "";
    std::string name;
    for (char c : TrimView(fromName))
        if (c == ' ' || IsDisplayLetter(static_cast<uint8_t>(c)))
            name += c;
    // A first word without letters leaves a leading blank; it is no initial.
    std::string_view rest = name;
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    while (!rest.empty()) {
        prefix += rest.front();
        const size_t space = rest.find(' ');
        if (space == std::string_view::npos)
            break;
        rest.remove_prefix(space + 1);
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
    }
    return prefix + "> ";
}

std::string NeutralizeLine(std::string line) {
    if (!line.empty() && line.front() == '\x01')
        line.front() = '@';
    DefuseIfStarts(line, "--- ", 1, '+');
    DefuseIfStarts(line, " * Origin: ", 1, '+');
    DefuseIfStarts(line, "SEEN-BY: ", 4, '+');
    return line;
}

void WrapQuoted(const TStringList& source, TStringList& dest, int width) {
    std::string previousPrefix;
    bool wrapped = false;
    for (const std::string& line : source) {
        std::string prefix;
        std::string text;
        const size_t p = static_cast<size_t>(QuotePrefixEnd(line));
        if (p > 0) {
            prefix = std::string(TrimRightView(std::string_view(line).substr(0, p))) + ' ';
            const size_t start = p < line.size() && line[p] == ' ' ? p + 1 : p;
            text = TrimRightView(std::string_view(line).substr(start));
        } else {
            text = TrimRightView(line);
        }
        const size_t n = prefix.size();
        if (wrapped && !prefix.empty() && prefix == previousPrefix && !text.empty() && text.front() != ' ' &&
            !text.starts_with("--- ")) {
            text = dest.back().substr(std::min(n, dest.back().size())) + ' ' + text;
            dest.pop_back();
        }
        wrapped = false;
        const long available = static_cast<long>(width) - static_cast<long>(n);
        std::string_view rest = text;
        do {
            size_t piece = rest.size();
            if (available >= 1 && static_cast<size_t>(available) < rest.size()) {
                piece = BreakLength(rest, static_cast<size_t>(available));
                wrapped = true;
            }
            dest.push_back(prefix + std::string(TrimRightView(rest.substr(0, piece))));
            rest.remove_prefix(piece);
            previousPrefix = prefix;
        } while (!rest.empty());
    }
}

void QuoteMessage(TCustomMsg& quoted, TBodyLines& dest, bool wrap, bool withKludges) {
    const std::string prefix = MakeQuotePrefix(quoted.FromName);
    TStringList lines = SourceLines(quoted, withKludges);
    for (std::string& line : lines) {
        line = NeutralizeLine(std::move(line));
        const size_t firstMark = line.find('>');
        if (firstMark != std::string::npos && QuotePrefixEnd(line) > 0)
            line.insert(firstMark, 1, '>');
        else
            line.insert(0, prefix);
    }
    AppendWrapped(lines, dest, wrap);
}

void CopyMessageText(TCustomMsg& quoted, TBodyLines& dest, bool wrap, bool withKludges) {
    TStringList lines = SourceLines(quoted, withKludges);
    for (std::string& line : lines)
        line = NeutralizeLine(std::move(line));
    AppendWrapped(lines, dest, wrap);
}

} // namespace tavro
