#include "TextFind.h"

#include "core/CodePage.h"

#include <algorithm>

namespace tavro {

namespace {

bool IsGreekLetter(char16_t ch) {
    return ch == 0x0386 || (ch >= 0x0388 && ch <= 0x038A) || ch == 0x038C || (ch >= 0x038E && ch <= 0x03A1) ||
           (ch >= 0x03A3 && ch <= 0x03CE);
}

bool IsCyrillicLetter(char16_t ch) {
    // U+0482..U+0489 are a sign and combining marks.
    return (ch >= 0x0400 && ch <= 0x0481) || (ch >= 0x048A && ch <= 0x052F);
}

// Blocks where capitals and small letters alternate, capital first on `capitalParity`.
char16_t FoldAlternating(char16_t ch, unsigned capitalParity) {
    return (ch & 1u) == capitalParity ? char16_t(ch + 1) : ch;
}

char16_t FoldLatinExtended(char16_t ch) {
    if (ch == 0x0130) // capital I with dot: its simple small form is plain i
        return u'i';
    if (ch == 0x0178)
        return 0x00FF;
    if ((ch >= 0x0100 && ch <= 0x0137) || (ch >= 0x014A && ch <= 0x0177))
        return FoldAlternating(ch, 0);
    if ((ch >= 0x0139 && ch <= 0x0148) || (ch >= 0x0179 && ch <= 0x017E))
        return FoldAlternating(ch, 1);
    return ch;
}

char16_t FoldGreek(char16_t ch) {
    if ((ch >= 0x0391 && ch <= 0x03A1) || (ch >= 0x03A3 && ch <= 0x03AB))
        return char16_t(ch + 0x20);
    switch (ch) {
    case 0x0386:
        return 0x03AC;
    case 0x0388:
    case 0x0389:
    case 0x038A:
        return char16_t(ch + 0x25);
    case 0x038C:
        return 0x03CC;
    case 0x038E:
    case 0x038F:
        return char16_t(ch + 0x3F);
    case 0x03C2: // final sigma
        return 0x03C3;
    default:
        return ch;
    }
}

char16_t FoldCyrillic(char16_t ch) {
    if (ch >= 0x0410 && ch <= 0x042F)
        return char16_t(ch + 0x20);
    if (ch >= 0x0400 && ch <= 0x040F)
        return char16_t(ch + 0x50);
    if (ch == 0x04C0)
        return 0x04CF;
    if ((ch >= 0x0460 && ch <= 0x0481) || (ch >= 0x048A && ch <= 0x04BF) || (ch >= 0x04D0 && ch <= 0x052F))
        return FoldAlternating(ch, 0);
    if (ch >= 0x04C1 && ch <= 0x04CE)
        return FoldAlternating(ch, 1);
    return ch;
}

char16_t UnicodeOf(const TCodePage& page, uint8_t byte) {
    const char32_t ch = page.ToUnicode(byte);
    return ch <= 0xFFFF ? char16_t(ch) : char16_t(0xFFFD);
}

} // namespace

bool IsLetter(char16_t ch) {
    if (ch < 0x80)
        return (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z');
    if (ch < 0x100)
        return ch >= 0xC0 && ch != 0xD7 && ch != 0xF7;
    if (ch < 0x180)
        return true;
    return IsGreekLetter(ch) || IsCyrillicLetter(ch);
}

bool IsWordChar(char16_t ch) {
    return IsLetter(ch) || (ch >= u'0' && ch <= u'9') || ch == u'_';
}

char16_t FoldCase(char16_t ch) {
    if (ch < 0x80)
        return ch >= u'A' && ch <= u'Z' ? char16_t(ch + 0x20) : ch;
    if (ch < 0x100)
        return ch >= 0xC0 && ch <= 0xDE && ch != 0xD7 ? char16_t(ch + 0x20) : ch;
    if (ch < 0x180)
        return FoldLatinExtended(ch);
    if (ch >= 0x0370 && ch < 0x0400)
        return FoldGreek(ch);
    if (ch < 0x0530)
        return FoldCyrillic(ch);
    return ch;
}

TStoredLetters StoredLettersOf(const TCodePagePair& pages) {
    TStoredLetters letters;
    const TCodePage* oem = pages.Oem();
    if (!oem)
        return letters;
    const TStoredLetter candidates[] = {{UnicodeOf(*oem, 0x8D), u'H'}, {UnicodeOf(*oem, 0xE0), u'p'}};
    size_t count = 0;
    for (const TStoredLetter& candidate : candidates)
        if (candidate.Letter != 0xFFFD && candidate.Letter != candidate.Stored)
            letters.Pairs[count++] = candidate;
    return letters;
}

TStoredLetters ActiveStoredLetters() {
    return StoredLettersOf(ActiveCodePages());
}

TTextFind::TTextFind(std::u16string_view needle, const TFindOptions& options, const TStoredLetters& letters)
    : Options_(options) {
    // Both sides of a pair in the compared form, so that case folding and the look-alike
    // rule give one class of equal letters (without case: capital, small and Latin alike).
    size_t count = 0;
    for (const TStoredLetter& pair : letters.Pairs) {
        if (pair.Letter == 0)
            continue;
        TStoredLetter normal = pair;
        if (!options.CaseSensitive)
            normal = {FoldCase(pair.Letter), FoldCase(pair.Stored)};
        if (normal.Letter != normal.Stored)
            Letters.Pairs[count++] = normal;
    }
    Needle.reserve(needle.size());
    for (const char16_t ch : needle)
        Needle += Normal(ch);
}

char16_t TTextFind::Normal(char16_t ch) const {
    if (!Options_.CaseSensitive)
        ch = FoldCase(ch);
    for (const TStoredLetter& pair : Letters.Pairs)
        if (pair.Letter != 0 && ch == pair.Letter)
            return pair.Stored;
    return ch;
}

bool TTextFind::MatchesAt(std::u16string_view text, size_t at) const {
    for (size_t i = 0; i < Needle.size(); ++i)
        if (Normal(text[at + i]) != Needle[i])
            return false;
    return !Options_.WholeWords || IsWholeWord(text, at);
}

// The neighbours are looked at even outside the scope: a selection that cuts a word in two
// does not make its halves words.
bool TTextFind::IsWholeWord(std::u16string_view text, size_t at) const {
    const size_t after = at + Needle.size();
    if (at > 0 && IsWordChar(text[at - 1]))
        return false;
    return after >= text.size() || !IsWordChar(text[after]);
}

std::optional<size_t> TTextFind::Next(std::u16string_view text, size_t from, size_t begin, size_t end) const {
    end = std::min(end, text.size());
    begin = std::min(begin, end);
    from = std::clamp(from, begin, end);
    const size_t length = Needle.size();
    if (length == 0 || end - begin < length)
        return std::nullopt;
    if (Options_.Backward) {
        if (from - begin < length)
            return std::nullopt;
        for (size_t at = from - length + 1; at-- > begin;)
            if (MatchesAt(text, at))
                return at;
        return std::nullopt;
    }
    for (size_t at = from; at + length <= end; ++at)
        if (MatchesAt(text, at))
            return at;
    return std::nullopt;
}

std::vector<size_t> TTextFind::All(std::u16string_view text, size_t begin, size_t end) const {
    std::vector<size_t> starts;
    end = std::min(end, text.size());
    begin = std::min(begin, end);
    const size_t length = Needle.size();
    if (length == 0)
        return starts;
    for (size_t at = begin; at + length <= end;) {
        if (MatchesAt(text, at)) {
            starts.push_back(at);
            at += length;
        } else {
            ++at;
        }
    }
    return starts;
}

} // namespace tavro
