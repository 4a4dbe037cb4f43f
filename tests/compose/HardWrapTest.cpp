#include "compose/HardWrap.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tavro {
namespace {

constexpr std::optional<size_t> None = std::nullopt;

std::u16string Repeat(char16_t ch, size_t count) {
    return std::u16string(count, ch);
}

// A line of `count` letters with `ch` put at the 1-based position `at`.
std::u16string With(size_t count, size_t at, char16_t ch) {
    std::u16string line = Repeat(u'x', count);
    line[at - 1] = ch;
    return line;
}

TEST(HardWrapTest, BreaksAtTheLastBlankOrHyphenBeforeALetter) {
    const std::u16string words =
        u"one two three four five six seven eight nine ten eleven twelve thirteen fourteen";
    ASSERT_GT(words.size(), 78u);
    const struct {
        const char* Name;
        std::u16string Line;
        std::optional<size_t> Caret; // the end of the line when unset
        std::optional<size_t> Expected;
    } cases[] = {
        {"words", words, {}, 72}, // "fourteen" goes down; the line keeps its blank
        {"blank at 79", With(79, 79, u' ') + u"y", {}, 78},
        {"blank at 79 beats an earlier one", With(50, 20, u' ') + With(30, 29, u' '), {}, 78},
        {"blank at 78", With(80, 78, u' '), {}, 78},
        {"blank at 1", With(80, 1, u' '), {}, 1},
        {"hyphen before a letter", With(80, 70, u'-'), {}, 70},
        {"hyphen before a Cyrillic letter", With(70, 70, u'-') + Repeat(u'\u0436', 10), {}, 70},
        {"hyphen before a digit", With(75, 75, u'-') + u"12345", {}, None},
        {"hyphen before a blank: the blank breaks", With(80, 70, u'-').replace(70, 1, u" "), {}, 71},
        {"hyphen at 78 before a letter at 79", With(80, 78, u'-'), {}, 78},
        {"no blank or hyphen", Repeat(u'x', 100), {}, None},
        {"blank only beyond 79", With(90, 85, u' '), {}, None},
        {"exactly 78", Repeat(u'x', 77) + u" ", {}, None},
        {"exactly 78 letters", Repeat(u'x', 78), {}, None},
        {"78 and trailing blanks", With(78, 40, u' ') + u"   ", {}, None},
        {"78 and a trailing tab", With(78, 40, u' ') + u"\t", {}, None},
        {"79", With(79, 40, u' '), {}, 40},
        {"caret at the end before trailing blanks", With(79, 40, u' ') + u"  ", 79, 40},
        {"caret before the end", With(79, 40, u' '), 78, None},
        {"caret at the start", With(90, 40, u' '), 0, None},
    };
    for (const auto& c : cases) {
        const size_t caret = c.Caret.value_or(c.Line.size());
        EXPECT_EQ(HardWrapBreak(c.Line, caret), c.Expected) << c.Name;
    }
}

} // namespace
} // namespace tavro
