#include "text/Quoting.h"

#include "core/Settings.h"

#include "BaseHelpers.h"

#include <gtest/gtest.h>

namespace tavro {
namespace {

using test::Texts;

class QuotingTest : public ::testing::Test {
protected:
    void SetUp() override { UseSettings(&Saved); }
    void TearDown() override { UseSettings(nullptr); }
    TGlobalSettings Saved;
};

TEST_F(QuotingTest, QuotePrefixEndFindsTheLastMarkOfALeadingPrefix) {
    const std::string uuLine = "M>" + std::string(59, 'A'); // 'M' announces 45 bytes: 61 characters
    const struct {
        std::string Line;
        int Expected;
    } cases[] = {
        {"IP> text", 3},
        {" AB>> x", 5},
        {">text", 1},
        {" IP>>>", 6},
        {"ABCDE> x", 0}, // five letters are no initials
        {"text", 0},
        {"", 0},
        {std::string(10, ' ') + ">", 11},
        {std::string(11, ' ') + ">", 0},           // the look stops at the eleventh character
        {"\xC8\xCF> \xEF\xF0\xE8\xE2\xE5\xF2", 3}, // Cyrillic initials of the display page
        {"1:2/3 > x", 0},
        {uuLine, 0},
        {uuLine + "AA", 2}, // too long for its length byte: a quote after all
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuotePrefixEnd(c.Line), c.Expected) << '"' << c.Line << '"';
}

TEST_F(QuotingTest, QuotePrefixIsTheInitialsOfTheLettersOfTheName) {
    const struct {
        std::string Name;
        bool Space;
        std::string Expected;
    } cases[] = {
        {"Ivan I. Petrov", false, "IIP> "},
        {"Ivan I. Petrov", true, " IIP> "},
        {"  Ivan   Petrov  ", false, "IP> "},
        {"Ivan Petrov 2", false, "IP> "},
        {"2 Ivan", false, "I> "}, // a first word without letters adds no blank initial
        {"123", false, "> "},
        {"", false, "> "},
        {"", true, " > "},
        {"\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2", false, "\xC8\xCF> "},
    };
    for (const auto& c : cases) {
        Saved.AddQuoteSpace = c.Space;
        EXPECT_EQ(MakeQuotePrefix(c.Name), c.Expected) << c.Name;
    }
}

TEST_F(QuotingTest, NeutralizeLineDefusesControlLines) {
    const struct {
        std::string Line, Expected;
    } cases[] = {
        {"\x01MSGID: 1:2/3 4", "@MSGID: 1:2/3 4"},
        {"--- GoldED", "-+- GoldED"},
        {"---", "---"},
        {" * Origin: home (1:2/3)", " + Origin: home (1:2/3)"},
        {" * ORIGIN: home", " + ORIGIN: home"},
        {"SEEN-BY: 1/2 3", "SEEN+BY: 1/2 3"},
        {"seen-by: 1/2", "seen+by: 1/2"},
        {"Just text --- ", "Just text --- "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NeutralizeLine(c.Line), c.Expected);
}

TStringList Wrap(const TStringList& lines, int width) {
    TStringList out;
    WrapQuoted(lines, out, width);
    return out;
}

TEST_F(QuotingTest, WrapBreaksAtTheLastBlankThatFits) {
    const std::string p = " IP> ";
    const std::string a70(70, 'a'), a73(73, 'a');
    const struct {
        const char* What;
        TStringList Source;
        TStringList Expected;
    } cases[] = {
        {"blank within the width",
         {p + a70 + " " + std::string(29, 'b')},
         {p + a70, p + std::string(29, 'b')}},
        {"blank right after the width",
         {p + a73 + " " + std::string(26, 'b')},
         {p + a73, p + std::string(26, 'b')}},
        {"no blank: hard break",
         {p + std::string(100, 'x')},
         {p + std::string(73, 'x'), p + std::string(27, 'x')}},
        {"hyphen between words",
         {std::string(60, 'a') + "-" + std::string(39, 'b')},
         {std::string(60, 'a') + "-", std::string(39, 'b')}},
        {"hyphen before a digit is no break",
         {std::string(60, 'a') + "-" + std::string(39, '1')},
         {std::string(60, 'a') + "-" + std::string(17, '1'), std::string(22, '1')}},
        {"prefix normalised", {" IP>text", " IP>  two"}, {" IP> text", " IP>  two"}},
        {"empty quote keeps its prefix", {" IP>"}, {" IP> "}},
        {"trailing blanks go", {"text   ", ""}, {"text", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Wrap(c.Source, 78), c.Expected) << c.What;
}

TEST_F(QuotingTest, WrapJoinsTheTailOfABrokenQuoteWithTheNextLineOfThatQuote) {
    const std::string p = " IP> ";
    const std::string first = p + std::string(70, 'a') + " tail";
    const struct {
        const char* What;
        std::string Next;
        TStringList Expected;
    } cases[] = {
        {"same quote", p + "next words", {p + std::string(70, 'a'), p + "tail next words"}},
        {"another quote", " XY> next", {p + std::string(70, 'a'), p + "tail", " XY> next"}},
        {"indented", p + " next", {p + std::string(70, 'a'), p + "tail", p + " next"}},
        {"empty", p, {p + std::string(70, 'a'), p + "tail", p}},
        {"tearline", p + "--- x", {p + std::string(70, 'a'), p + "tail", p + "--- x"}},
        {"plain text", "next", {p + std::string(70, 'a'), p + "tail", "next"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Wrap({first, c.Next}, 78), c.Expected) << c.What;
    // An unbroken line joins nothing.
    EXPECT_EQ(Wrap({p + "short", p + "next"}, 78), (TStringList{p + "short", p + "next"}));
}

TEST_F(QuotingTest, WrapKeepsEveryLineWithinTheWidth) {
    const TStringList source = {
        " AB> " + std::string(30, 'w') + " " + std::string(200, 'y') + " z z z z",
        " AB> continues here with some words that go on and on and on past the edge of the line",
        std::string(5, ' ') + "word " + std::string(150, '-'),
        "x",
    };
    for (int width : {1, 2, 6, 7, 20, 79}) {
        for (const std::string& line : Wrap(source, width)) {
            const size_t prefix = static_cast<size_t>(QuotePrefixEnd(line));
            if (static_cast<int>(prefix) + 1 < width || prefix == 0) {
                EXPECT_LE(line.size(), static_cast<size_t>(width)) << width << ": " << line;
            }
        }
    }
    // No room beside the prefix: the text stays whole.
    EXPECT_EQ(Wrap({" ABCD> some text"}, 4), (TStringList{" ABCD> some text"}));
}

TEST_F(QuotingTest, QuoteMessagePrefixesRequotesAndDefuses) {
    Saved.AddQuoteSpace = true;
    TCustomMsg msg(nullptr);
    msg.FromName = "Ivan Petrov";
    msg.Kludges = {"\x01MSGID: 2:5020/1 1234abcd"};
    msg.Body = {TBodyLine("Hello"), TBodyLine("IP> earlier"), TBodyLine("--- tear"),
                TBodyLine(" * Origin: x (1:23/45)")};
    msg.Tail = {"SEEN-BY: 5020/1"};

    TBodyLines plain;
    QuoteMessage(msg, plain, true, false);
    EXPECT_EQ(Texts(plain), (std::vector<std::string>{" IP> Hello", "IP>> earlier", " IP> -+- tear",
                                                      " IP>  + Origin: x (1:23/45)"}));

    TBodyLines full{TBodyLine("kept", 3)};
    QuoteMessage(msg, full, true, true);
    EXPECT_EQ(Texts(full).front(), "kept");
    EXPECT_EQ(full[1].Text, " IP> @MSGID: 2:5020/1 1234abcd");
    EXPECT_EQ(full.back().Text, " IP> SEEN+BY: 5020/1");
    EXPECT_EQ(full[1].LineTag, 0);

    TBodyLines copy;
    CopyMessageText(msg, copy, true, true);
    EXPECT_EQ(Texts(copy),
              (std::vector<std::string>{"@MSGID: 2:5020/1 1234abcd", "Hello", "IP> earlier", "-+- tear",
                                        " + Origin: x (1:23/45)", "SEEN+BY: 5020/1"}));
}

TEST_F(QuotingTest, QuoteMessageWrapsOnlyWhenAsked) {
    Saved.AddQuoteSpace = true;
    const std::string longLine = std::string(90, 'a') + " " + std::string(30, 'b');
    TCustomMsg msg(nullptr);
    msg.FromName = "Ivan Petrov";
    msg.Body = {TBodyLine(longLine)};
    TBodyLines wrapped, unwrapped;
    QuoteMessage(msg, wrapped, true, false);
    QuoteMessage(msg, unwrapped, false, false);
    EXPECT_EQ(Texts(unwrapped), (std::vector<std::string>{" IP> " + longLine}));
    EXPECT_EQ(Texts(wrapped),
              (std::vector<std::string>{" IP> " + std::string(73, 'a'),
                                        " IP> " + std::string(17, 'a') + " " + std::string(30, 'b')}));
}

} // namespace
} // namespace tavro
