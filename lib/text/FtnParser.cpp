#include "FtnParser.h"

#include "core/StrUtils.h"
#include "text/Quoting.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace tavro {

namespace {

// Character classes of the link scanner, one bit each; plain ASCII whatever the code page,
// since addresses, URLs and e-mail addresses are ASCII.
enum : uint8_t {
    chDigit = 1,
    chHost = 2,
    chPath = 4,
    chWord = 8,
    chLocal = 16, // word characters and "." (local part and domain of an e-mail address)
};

constexpr void AddRange(std::array<uint8_t, 256>& table, uint8_t bit, int first, int last) {
    for (int c = first; c <= last; ++c)
        table[static_cast<size_t>(c)] |= bit;
}

constexpr void AddChars(std::array<uint8_t, 256>& table, uint8_t bit, std::string_view chars) {
    for (char c : chars)
        table[static_cast<uint8_t>(c)] |= bit;
}

constexpr void AddLettersDigits(std::array<uint8_t, 256>& table, uint8_t bit) {
    AddRange(table, bit, '0', '9');
    AddRange(table, bit, 'A', 'Z');
    AddRange(table, bit, 'a', 'z');
}

constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> table{};
    AddRange(table, chDigit, '0', '9');
    AddLettersDigits(table, chHost);
    AddChars(table, chHost, "#-._~");
    AddLettersDigits(table, chPath);
    AddRange(table, chPath, '#', '&');
    AddRange(table, chPath, '+', '.');
    AddRange(table, chPath, '0', ':');
    // Parentheses belong to paths such as "/wiki/Fido_(BBS)"; an unmatched closing one at the
    // end of a sentence is cut off again by TrimSentenceEnd.
    AddChars(table, chPath, "!()=?^_~");
    AddRange(table, chPath, 128, 255);
    AddLettersDigits(table, chWord);
    AddRange(table, chWord, '#', '&');
    AddChars(table, chWord, "!+-=?^_~");
    for (size_t c = 0; c < table.size(); ++c)
        if (table[c] & chWord)
            table[c] |= chLocal;
    table['.'] |= chLocal;
    return table;
}

constexpr std::array<uint8_t, 256> Classes = MakeClasses();

// The outcome of one attempt: where scanning goes on, and the link found, if any. A link
// cut short by its closing punctuation must still reach MinEnd to be one.
struct TStep {
    size_t Next;
    size_t End = 0;
    TLinkKind Kind = lkNone;
    size_t MinEnd = 0;
};

TStep Miss(size_t next) {
    return {next};
}

// The line as the scanner reads it: one past the end reads as byte 0, which is in no class,
// so every run of a class stops there.
class TReader {
public:
    explicit TReader(std::string_view text) : Text_(text) {}
    uint8_t At(size_t i) const { return i < Text_.size() ? static_cast<uint8_t>(Text_[i]) : 0; }
    bool Is(size_t i, uint8_t cls) const { return (Classes[At(i)] & cls) != 0; }
    size_t Skip(size_t i, uint8_t cls) const {
        while (Is(i, cls))
            ++i;
        return i;
    }

private:
    std::string_view Text_;
};

bool IsClosingPunctuation(uint8_t c) {
    return c == '.' || c == ',' || c == ';' || c == ':' || c == ')';
}

// Whether the characters from `i` on are closing punctuation up to a blank or the line's end,
// as after the last word of a sentence.
bool EndsSentence(const TReader& r, size_t i) {
    while (IsClosingPunctuation(r.At(i)))
        ++i;
    return r.At(i) <= ' ';
}

// From the local part at `i` (the start already read) to the end of the domain.
TStep ScanEMail(const TReader& r, size_t i) {
    i = r.Skip(i, chLocal);
    if (r.At(i) != '@')
        return Miss(i + 1);
    ++i;
    if (!r.Is(i, chWord))
        return Miss(i);
    i = r.Skip(i, chWord);
    // A domain without a dot is more likely a nickname or a handle than an address.
    if (r.At(i) != '.')
        return Miss(i);
    const size_t dot = i;
    i = r.Skip(i + 1, chLocal);
    return {i, i, lkEMail, dot + 1};
}

TStep ScanAddress(const TReader& r, size_t start) {
    size_t i = r.Skip(start, chDigit);
    if (r.At(i) != ':')
        return ScanEMail(r, i);
    // Each separator must be followed by a number; the scan resumes after the offender.
    const auto number = [&r](size_t& at, char separator) {
        if (r.At(at) != separator || !r.Is(at + 1, chDigit))
            return false;
        at = r.Skip(at + 1, chDigit);
        return true;
    };
    if (!number(i, ':'))
        return Miss(i + 2);
    if (!number(i, '/'))
        return Miss(r.At(i) == '/' ? i + 2 : i + 1);
    if (r.At(i) == '.' && !number(i, '.'))
        return EndsSentence(r, i) ? TStep{i + 1, i, lkAddress} : Miss(i + 2);
    if (r.At(i) == '@')
        i = r.Skip(i + 1, chHost);
    return {i + 1, i, lkAddress};
}

// The path of a URL at `i`: runs of path characters joined by "/".
TStep ScanPath(const TReader& r, size_t i) {
    for (;;) {
        if (!r.Is(i, chPath))
            return {i, i, lkUrl};
        i = r.Skip(i, chPath);
        if (r.At(i) != '/')
            return {i + 1, i, lkUrl};
        ++i;
    }
}

// `rest` is the scheme after its first letter, `secure` the letter that may follow it; without
// them and ":" the word may still be the local part of an e-mail address.
TStep ScanUrl(const TReader& r, size_t start, std::string_view rest, char secure) {
    size_t i = start + 1;
    for (char letter : rest) {
        if ((r.At(i) | 0x20) != letter)
            return ScanEMail(r, i);
        ++i;
    }
    if (secure != 0 && (r.At(i) | 0x20) == secure)
        ++i;
    if (r.At(i) != ':')
        return ScanEMail(r, i);
    ++i;
    for (int slash = 0; slash < 2; ++slash, ++i)
        if (r.At(i) != '/')
            return Miss(i + 1);
    if (!r.Is(i, chHost))
        return Miss(i + 1);
    const size_t host = i;
    TStep step;
    i = r.Skip(i, chHost);
    if (r.At(i) == ':' && !r.Is(i + 1, chDigit))
        step = EndsSentence(r, i) ? TStep{i + 1, i, lkUrl} : Miss(i + 2);
    else if (r.At(i) == ':') {
        i = r.Skip(i + 1, chDigit);
        step = r.At(i) == '#' || r.At(i) == '/' ? ScanPath(r, i + 1) : TStep{i + 1, i, lkUrl};
    } else
        step = r.At(i) == '/' ? ScanPath(r, i + 1) : TStep{i + 1, i, lkUrl};
    // A host made of punctuation alone ("http://.") is gone once the punctuation is.
    step.MinEnd = host + 1;
    return step;
}

TStep ScanAt(const TReader& r, size_t start) {
    const uint8_t c = r.At(start);
    if (Classes[c] & chDigit)
        return ScanAddress(r, start);
    if ((c | 0x20) == 'h')
        return ScanUrl(r, start, "ttp", 's');
    if ((c | 0x20) == 'f')
        return ScanUrl(r, start, "tp", 0);
    if (Classes[c] & chWord)
        return ScanEMail(r, start + 1);
    return Miss(start + 1);
}

bool InUUAlphabet(uint8_t c) {
    return c >= 33 && c <= 96;
}

// Lines of a UU-encoded section are full of characters that look like links; their length
// byte announces at least as many characters as the line holds.
bool LooksLikeUUData(std::string_view line) {
    const uint8_t first = static_cast<uint8_t>(line.front());
    if (!InUUAlphabet(first))
        return false;
    const size_t value = first == 96 ? 0 : first - 32;
    if (line.size() < ((value + 1) * 4 + 1) / 3)
        return false;
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return InUUAlphabet(static_cast<uint8_t>(c)); });
}

// Where a link from `start` to `end` really ends: punctuation that closes a sentence is not
// part of it, except a ")" that closes a "(" of the link.
size_t TrimSentenceEnd(const TReader& r, size_t start, size_t end) {
    size_t run = end;
    while (run > start && IsClosingPunctuation(r.At(run - 1)))
        --run;
    if (run == end || !EndsSentence(r, end))
        return end;
    size_t open = 0;
    for (size_t i = start; i < run; ++i) {
        if (r.At(i) == '(')
            ++open;
        else if (r.At(i) == ')' && open > 0)
            --open;
    }
    size_t kept = run;
    for (size_t i = run; i < end; ++i) {
        if (r.At(i) == ')' && open > 0) {
            --open;
            kept = i + 1;
        }
    }
    return kept;
}

TColorElement QuoteStyle(size_t level) {
    if (level <= 2)
        return level == 1 ? ceQuote1 : ceQuote2;
    return level % 2 ? ceQuote3 : ceQuote4;
}

} // namespace

bool TLinkScanner::Next(TLink& link) {
    const TReader reader(Line_);
    while (Pos_ < Line_.size()) {
        const size_t start = Pos_;
        const TStep step = ScanAt(reader, start);
        Pos_ = step.Next;
        if (step.Kind == lkNone)
            continue;
        const size_t end = TrimSentenceEnd(reader, start, step.End);
        if (end > start && end >= step.MinEnd) {
            link = {start, end - start, step.Kind};
            return true;
        }
    }
    return false;
}

namespace TFTNParser {

TColorElement LineStyle(std::string_view line) {
    if (const int p = QuotePrefixEnd(line); p > 0)
        return QuoteStyle(static_cast<size_t>(std::count(line.begin(), line.begin() + p, '>')));
    if ((!line.empty() && line.front() == '\x01') || StartsWithNoCase(line, "SEEN-BY: "))
        return ceKludge;
    if (StartsWithNoCase(line, "--- ") || StartsWithNoCase(line, " * Origin: "))
        return ceTearOrigin;
    return ceText;
}

std::string GetLineStyles(std::string_view line) {
    const TColorElement style = LineStyle(line);
    std::string styles(line.size(), static_cast<char>(style));
    if (line.empty() || style == ceKludge || style == ceTearOrigin)
        return styles;
    if (style == ceText && LooksLikeUUData(line))
        return styles;
    TLinkScanner scanner(line);
    for (TLink link; scanner.Next(link);)
        std::memset(styles.data() + link.Start, ceAddress, link.Length);
    return styles;
}

std::vector<TLink> FindLinks(std::string_view line) {
    std::vector<TLink> links;
    TLinkScanner scanner(line);
    for (TLink link; scanner.Next(link);)
        links.push_back(link);
    return links;
}

TLinkKind LinkKind(std::string_view text) {
    TLink link;
    return TLinkScanner(text).Next(link) ? link.Kind : lkNone;
}

} // namespace TFTNParser

} // namespace tavro
