#include "text/TextFind.h"

#include "core/CodePage.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace tavro {
namespace {

constexpr size_t End = std::u16string_view::npos;
constexpr std::optional<size_t> None = std::nullopt;

// CP866 stores its capital EN and small ER as these Latin letters.
const TStoredLetters Russian{{{{u'\u041D', u'H'}, {u'\u0440', u'p'}}}};

std::string Describe(std::u16string_view text) {
    std::string out;
    for (char16_t ch : text)
        out += ch < 0x80 ? char(ch) : '?';
    return out;
}

TEST(TextFindTest, NextFindsTheMatchTheOptionsAsk) {
    const struct {
        std::u16string Text;
        std::u16string Needle;
        TFindOptions Options;
        size_t From;
        size_t Begin;
        size_t End;
        std::optional<size_t> Expected;
    } cases[] = {
        // Case folding: ASCII, Latin-1, Cyrillic with Ё and Ukrainian letters, Greek.
        {u"say Hello", u"hello", {}, 0, 0, End, 4},
        {u"say Hello", u"hello", {.CaseSensitive = true}, 0, 0, End, None},
        {u"x \u00C9T\u00C9", u"\u00E9t\u00E9", {}, 0, 0, End, 2},
        {u"\u041F\u0420\u0418\u0412\u0415\u0422 \u0401\u0416", u"\u0451\u0436", {}, 0, 0, End, 7},
        {u"\u0407\u0416\u0410\u0404 \u0490", u"\u0457\u0436\u0430\u0454 \u0491", {}, 0, 0, End, 0},
        {u"\u0395\u039B\u039B\u0391\u03A3", u"\u03B5\u03BB\u03BB\u03B1\u03C3", {}, 0, 0, End, 0},
        {u"\u0415\u0451", u"\u0435\u0435", {}, 0, 0, End, None}, // Ё is not Е
        // Whole words: letters, digits and the underscore join a word, Cyrillic included.
        {u"cart car", u"car", {.WholeWords = true}, 0, 0, End, 5},
        {u"car_1 2car car", u"car", {.WholeWords = true}, 0, 0, End, 11},
        {u"\u0434\u043E\u043C\u0430 \u0434\u043E\u043C",
         u"\u0434\u043E\u043C",
         {.WholeWords = true},
         0,
         0,
         End,
         5},
        {u"(car)", u"car", {.WholeWords = true}, 0, 0, End, 1},
        // Forward starts at `from`; backward ends at it.
        {u"ab ab ab", u"ab", {}, 1, 0, End, 3},
        {u"ab ab ab", u"ab", {}, 3, 0, End, 3},
        {u"ab ab ab", u"ab", {.Backward = true}, 5, 0, End, 3},
        {u"ab ab ab", u"ab", {.Backward = true}, 4, 0, End, 0},
        {u"ab ab ab", u"ab", {.Backward = true}, End, 0, End, 6},
        {u"ab ab ab", u"ab", {.Backward = true}, 1, 0, End, None},
        // The scope: nothing outside it, even a match that only runs over its end.
        {u"ab ab ab", u"ab", {}, 0, 1, 5, 3},
        {u"ab ab ab", u"ab", {}, 0, 1, 4, None},
        {u"ab ab ab", u"ab", {.Backward = true}, End, 1, 7, 3},
        {u"ab ab ab", u"ab", {}, 7, 0, 3, None}, // from beyond the scope
        {u"ab", u"ab", {}, 0, 5, 9, None},       // scope beyond the text
        // A match at the very end, and a needle longer than the text.
        {u"abc", u"bc", {}, 0, 0, End, 1},
        {u"abc", u"bc", {.Backward = true}, 3, 0, End, 1},
        {u"abc", u"bc", {.WholeWords = true}, 0, 0, End, None},
        {u"bc", u"abc", {}, 0, 0, End, None},
        // An empty needle never matches.
        {u"abc", u"", {}, 0, 0, End, None},
        {u"", u"", {.Backward = true}, 0, 0, End, None},
    };
    for (const auto& c : cases) {
        const TTextFind find(c.Needle, c.Options);
        EXPECT_EQ(find.Next(c.Text, c.From, c.Begin, c.End), c.Expected)
            << Describe(c.Text) << " / " << Describe(c.Needle) << " from " << c.From;
    }
}

TEST(TextFindTest, StoredLatinSubstitutesMatchTheRealLettersBothWays) {
    // "НЕТ" and "правда" as typed, and as a base stores them.
    const std::u16string typedNo = u"\u041D\u0415\u0422", storedNo = u"H\u0415\u0422";
    const std::u16string typedTrue = u"\u043F\u0440\u0430\u0432\u0434\u0430";
    const std::u16string storedTrue = u"\u043Fp\u0430\u0432\u0434\u0430";
    const struct {
        std::u16string Text;
        std::u16string Needle;
        TFindOptions Options;
        std::optional<size_t> Expected;
    } cases[] = {
        {u"- " + storedNo, typedNo, {.CaseSensitive = true}, 2},
        {u"- " + typedNo, storedNo, {.CaseSensitive = true}, 2},
        {u"- " + storedTrue, typedTrue, {.CaseSensitive = true}, 2},
        {u"- " + typedTrue, storedTrue, {.CaseSensitive = true}, 2},
        // Without case, small en finds the stored capital and capital ER the stored small.
        {u"- " + storedNo, u"\u043D\u0435\u0442", {}, 2},
        {u"- " + storedTrue, u"\u041F\u0420\u0410\u0412\u0414\u0410", {}, 2},
        // With case the small letters keep apart from the Latin capital.
        {u"- " + storedNo, u"\u043D\u0415\u0422", {.CaseSensitive = true}, None},
        {u"- P", u"\u0440", {.CaseSensitive = true}, None},
        // Latin letters still find themselves.
        {u"Hp", u"Hp", {.CaseSensitive = true}, 0},
        {u"- " + storedNo, typedNo, {.CaseSensitive = true, .WholeWords = true}, 2},
    };
    for (const auto& c : cases) {
        const TTextFind find(c.Needle, c.Options, Russian);
        EXPECT_EQ(find.Next(c.Text, 0), c.Expected) << Describe(c.Text);
    }
    // Without the pairs the letters are just different letters.
    EXPECT_EQ(TTextFind(typedNo, {}).Next(storedNo, 0), None);
}

TEST(TextFindTest, StoredLettersComeFromTheOemPage) {
    const TStoredLetters russian = StoredLettersOf(TCodePagePair::Default());
    EXPECT_EQ(russian.Pairs[0].Letter, u'\u041D');
    EXPECT_EQ(russian.Pairs[0].Stored, u'H');
    EXPECT_EQ(russian.Pairs[1].Letter, u'\u0440');
    EXPECT_EQ(russian.Pairs[1].Stored, u'p');

    const TStoredLetters none = StoredLettersOf(TCodePagePair::Identity());
    for (const TStoredLetter& pair : none.Pairs)
        EXPECT_EQ(pair.Letter, 0);

    // Another OEM page gives its own letters: CP437 has ì at 0x8D and α at 0xE0.
    const std::unique_ptr<TCodePagePair> western = TCodePagePair::Create("CP437", "Windows-1252");
    ASSERT_NE(western, nullptr);
    const TStoredLetters latin = StoredLettersOf(*western);
    EXPECT_EQ(latin.Pairs[0].Letter, u'\u00EC');
    EXPECT_EQ(latin.Pairs[1].Letter, u'\u03B1');
}

TEST(TextFindTest, AllListsEveryMatchOfTheScopeWithoutOverlap) {
    const TTextFind find(u"aa", {});
    EXPECT_EQ(find.All(u"aaaaa"), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(find.All(u"xAAx aa aa", 1, 9), (std::vector<size_t>{1, 5}));
    EXPECT_EQ(find.All(u"aa", 0, 100), (std::vector<size_t>{0}));
    EXPECT_EQ(find.All(u"aa", 3, 1), (std::vector<size_t>{}));
    EXPECT_TRUE(TTextFind(u"", {}).All(u"aaa").empty());

    // Every spelling of the word, stored or typed; a longer word is no match.
    const TTextFind word(u"\u043D\u0435\u0442", {.WholeWords = true}, Russian);
    EXPECT_EQ(word.All(u"\u041D\u0415\u0422 H\u0415\u0422 \u043D\u0435\u0442\u0443 h\u0435\u0442"),
              (std::vector<size_t>{0, 4, 13}));
}

TEST(TextFindTest, LettersAndCaseOfTheSupportedScripts) {
    for (char16_t ch : {u'a', u'Z', u'\u00C0', u'\u00FF', u'\u0151', u'\u0391', u'\u03C9', u'\u0401',
                        u'\u044F', u'\u0491', u'\u0456'})
        EXPECT_TRUE(IsLetter(ch)) << int(ch);
    for (char16_t ch : {u'0', u'_', u'-', u' ', u'\u00D7', u'\u00F7', u'\u00A0', u'\u0482', u'\u2014'})
        EXPECT_FALSE(IsLetter(ch)) << int(ch);

    const struct {
        char16_t Capital, Small;
    } pairs[] = {{u'Q', u'q'},           {u'\u00C0', u'\u00E0'}, {u'\u00DE', u'\u00FE'},
                 {u'\u0150', u'\u0151'}, {u'\u0141', u'\u0142'}, {u'\u0178', u'\u00FF'},
                 {u'\u0130', u'i'},      {u'\u0391', u'\u03B1'}, {u'\u038F', u'\u03CE'},
                 {u'\u03A3', u'\u03C3'}, {u'\u03C2', u'\u03C3'}, {u'\u0401', u'\u0451'},
                 {u'\u042F', u'\u044F'}, {u'\u0406', u'\u0456'}, {u'\u0490', u'\u0491'}};
    for (const auto& p : pairs)
        EXPECT_EQ(FoldCase(p.Capital), p.Small) << int(p.Capital);
    for (char16_t ch : {u'q', u'1', u'\u00D7', u'\u00DF', u'\u0131', u'\u0451', u'\u2014'})
        EXPECT_EQ(FoldCase(ch), ch) << int(ch);
}

} // namespace
} // namespace tavro
