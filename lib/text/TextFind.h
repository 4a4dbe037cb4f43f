#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavro {

class TCodePagePair;

// Letters as the editor's word rules see them: ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic. Enough for FTN text without pulling in a locale.
bool IsLetter(char16_t ch);
// A character that belongs to a word: a letter, a digit or the underscore.
bool IsWordChar(char16_t ch);
// The lower-case form of ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters; others
// come back unchanged.
char16_t FoldCase(char16_t ch);

struct TFindOptions {
    bool CaseSensitive = false;
    bool WholeWords = false;
    bool Backward = false;
};

// A letter that the bases store as a Latin look-alike, and that look-alike.
struct TStoredLetter {
    char16_t Letter = 0;
    char16_t Stored = 0;
};

// The letters of the OEM bytes 0x8D and 0xE0, which the bases store as "H" and "p". A
// search treats each as equal to its look-alike, so typed text finds the stored form and
// stored text is found by the real letter alike. Unused entries hold zeros.
struct TStoredLetters {
    std::array<TStoredLetter, 2> Pairs{};
};

// From the OEM page of `pages`; none for the identity pair, whose bytes have no page.
TStoredLetters StoredLettersOf(const TCodePagePair& pages);
// The same for the active code pages.
TStoredLetters ActiveStoredLetters();

// One typed text to look for, prepared once and searched in many places. Positions are
// UTF-16 units, the same as a text editor's.
class TTextFind {
public:
    TTextFind(std::u16string_view needle, const TFindOptions& options, const TStoredLetters& letters = {});

    size_t Length() const { return Needle.size(); }
    const TFindOptions& Options() const { return Options_; }

    // The start of the next match inside [begin, end): forward the first one starting at or
    // after `from`, backward the last one ending at or before it. Out-of-range bounds are
    // clamped to the text; an empty needle never matches.
    std::optional<size_t> Next(std::u16string_view text, size_t from, size_t begin = 0,
                               size_t end = std::u16string_view::npos) const;
    // The starts of all matches inside [begin, end), left to right and not overlapping.
    std::vector<size_t> All(std::u16string_view text, size_t begin = 0,
                            size_t end = std::u16string_view::npos) const;

private:
    char16_t Normal(char16_t ch) const;
    bool MatchesAt(std::u16string_view text, size_t at) const;
    bool IsWholeWord(std::u16string_view text, size_t at) const;

    TFindOptions Options_;
    TStoredLetters Letters;
    // The needle in the compared form.
    std::u16string Needle;
};

} // namespace tavro
