#include "core/CodePage.h"
#include "core/StorageText.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tavro;

namespace {

// One byte of a page, looked up by the character it shows, so tables read as text.
uint8_t ByteOf(const TCodePage& page, const char* utf8) {
    std::string bytes = page.FromUtf8(utf8, '\0');
    EXPECT_EQ(bytes.size(), 1u) << utf8;
    EXPECT_NE(bytes, std::string(1, '\0')) << utf8 << " is not in " << page.Name();
    return static_cast<uint8_t>(bytes[0]);
}

std::unique_ptr<TCodePagePair> MakePair(const char* oem, const char* display) {
    auto pair = TCodePagePair::Create(oem, display);
    EXPECT_NE(pair, nullptr) << oem << "/" << display;
    return pair;
}

} // namespace

TEST(CodePageTest, NamesResolveToOneSharedPage) {
    auto page = TCodePage::Get("CP866");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page, TCodePage::Get("cp866"));
    EXPECT_EQ(page, TCodePage::Get("866"));
    EXPECT_EQ(page->Name(), "CP866");
    EXPECT_EQ(page->Number(), 866);
    EXPECT_EQ(TCodePage::Get("windows-1251")->Number(), 1251);
    EXPECT_EQ(TCodePage::Get("KOI8-R")->Number(), 0);
}

TEST(CodePageTest, UnusablePagesAreRejected) {
    for (const char* name : {"", "NO-SUCH-PAGE", "UTF-8", "UTF-16", "SHIFT_JIS", "EBCDIC-US"})
        EXPECT_EQ(TCodePage::Get(name), nullptr) << name;
    EXPECT_EQ(TCodePagePair::Create("CP866", "NO-SUCH-PAGE"), nullptr);
}

TEST(CodePageTest, LowHalfIsAsciiAndGapsAreReplacementCharacters) {
    for (const char* name : {"CP866", "CP1251", "CP437", "CP1252"}) {
        auto page = TCodePage::Get(name);
        ASSERT_NE(page, nullptr) << name;
        for (int b = 0; b < 128; ++b) {
            EXPECT_EQ(page->ToUnicode(static_cast<uint8_t>(b)), static_cast<char32_t>(b)) << name;
            EXPECT_EQ(page->FromUnicode(static_cast<char32_t>(b)), b) << name;
        }
    }
    auto cp1251 = TCodePage::Get("CP1251");
    EXPECT_EQ(cp1251->ToUnicode(0x98), U'\uFFFD');
    EXPECT_EQ(cp1251->FromUnicode(U'\uFFFD'), -1);
    EXPECT_EQ(cp1251->ToUnicode(0xC0), U'А');
    EXPECT_EQ(TCodePage::Get("CP866")->ToUnicode(0x8D), U'Н');
    EXPECT_EQ(TCodePage::Get("CP866")->ToUnicode(0xC4), U'─');
}

TEST(CodePageTest, Utf8Conversion) {
    auto page = TCodePage::Get("CP1251");
    std::string text = "\x01MSGID: Привет, Ёж №5";
    EXPECT_EQ(page->FromUtf8(page->ToUtf8(page->FromUtf8(text))), page->FromUtf8(text));
    EXPECT_EQ(page->ToUtf8(page->FromUtf8(text)), text);
    EXPECT_EQ(page->ToUtf8("\x98"), "\xEF\xBF\xBD");
    struct {
        std::string Utf8, Expected;
    } cases[] = {
        {"a\xFF"
         "b",
         "a#b"},         // never a UTF-8 byte
        {"a\xD0", "a#"}, // cut short at the end
        {"\xD0"
         "a",
         "#a"},                       // lead byte without its continuation
        {"\xC0\x80", "##"},           // overlong
        {"\xED\xA0\x80", "###"},      // surrogate
        {"\xF4\x90\x80\x80", "####"}, // beyond U+10FFFF
        {"中", "#"},                  // a character the page lacks
        {"\xF0\x9F\x98\x80", "#"},    // four bytes, well formed, lacking
    };
    for (const auto& c : cases)
        EXPECT_EQ(page->FromUtf8(c.Utf8, '#'), c.Expected) << c.Utf8;
}

// Every character both pages hold survives the trip in both directions.
TEST(CodePagePairTest, SharedCharactersRoundTrip) {
    for (auto [oemName, displayName] : {std::pair{"CP866", "CP1251"}, std::pair{"CP437", "CP1252"}}) {
        auto pair = MakePair(oemName, displayName);
        ASSERT_NE(pair, nullptr);
        const TCodePage& oem = *pair->Oem();
        const TCodePage& display = *pair->Display();
        int shared = 0;
        for (int b = 0; b < 256; ++b) {
            auto byte = static_cast<uint8_t>(b);
            char32_t ch = oem.ToUnicode(byte);
            if (ch != U'\uFFFD' && display.FromUnicode(ch) >= 0) {
                ++shared;
                EXPECT_EQ(display.ToUnicode(pair->OemToDisplay(byte)), ch) << oemName << " byte " << b;
                EXPECT_EQ(pair->DisplayToOem(pair->OemToDisplay(byte)), byte) << oemName << " byte " << b;
            }
            ch = display.ToUnicode(byte);
            if (ch != U'\uFFFD' && oem.FromUnicode(ch) >= 0) {
                EXPECT_EQ(oem.ToUnicode(pair->DisplayToOem(byte)), ch) << displayName << " byte " << b;
                EXPECT_EQ(pair->OemToDisplay(pair->DisplayToOem(byte)), byte) << displayName << " byte " << b;
            }
        }
        EXPECT_GT(shared, 128 + 50) << oemName; // the letters at least
    }
}

TEST(CodePagePairTest, OemOnlyCharactersTakeLookAlikes) {
    auto pair = MakePair("CP866", "CP1251");
    ASSERT_NE(pair, nullptr);
    const struct {
        const char* Oem;
        const char* Display;
    } cases[] = {
        {"─", "-"}, {"═", "-"}, {"│", "|"}, {"║", "|"}, {"┌", "+"}, {"╗", "+"}, {"┼", "+"}, {"╬", "+"},
        {"╡", "+"}, {"░", "#"}, {"▓", "#"}, {"█", "#"}, {"▀", "#"}, {"■", "#"}, {"∙", "·"}, {"√", "V"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pair->OemToDisplay(ByteOf(*pair->Oem(), c.Oem)), ByteOf(*pair->Display(), c.Display))
            << c.Oem;
}

TEST(CodePagePairTest, DisplayOnlyCharactersTakeLookAlikes) {
    auto pair = MakePair("CP866", "CP1251");
    ASSERT_NE(pair, nullptr);
    const struct {
        const char* Display;
        const char* Oem;
    } cases[] = {
        {"Ґ", "Г"}, {"ґ", "г"}, {"Ѓ", "Г"},  {"ѓ", "г"},  {"І", "I"},  {"і", "i"},  {"Ј", "J"},
        {"ј", "j"}, {"Ѕ", "S"}, {"ѕ", "s"},  {"Љ", "Л"},  {"љ", "л"},  {"Њ", "Н"},  {"њ", "н"},
        {"Ћ", "Ч"}, {"ћ", "ч"}, {"Ќ", "К"},  {"ќ", "к"},  {"Џ", "Ц"},  {"џ", "ц"},  {"Ђ", "Д"},
        {"ђ", "д"}, {"–", "-"}, {"—", "-"},  {"“", "\""}, {"”", "\""}, {"„", "\""}, {"‘", "'"},
        {"’", "'"}, {"‚", ","}, {"«", "\""}, {"»", "\""}, {"…", "."},  {"•", "*"},  {"€", "E"},
        {"™", "T"}, {"©", "C"}, {"®", "R"},  {"±", "+"},  {"§", "?"},  {"¶", "?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pair->DisplayToOem(ByteOf(*pair->Display(), c.Display)), ByteOf(*pair->Oem(), c.Oem))
            << c.Display;
    EXPECT_EQ(pair->DisplayToOem(uint8_t{0x98}), '?'); // a gap in the display page
}

TEST(CodePagePairTest, LatinPairFoldsAccents) {
    auto pair = MakePair("CP437", "CP1252");
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(pair->DisplayToOem(pair->Display()->FromUtf8("Ärger")), pair->Oem()->FromUtf8("Ärger"));
    EXPECT_EQ(pair->DisplayToOem(pair->Display()->FromUtf8("ÀÕŠ“x”")), "AOS\"x\"");
    EXPECT_EQ(pair->OemToDisplay(pair->Oem()->FromUtf8("╔═╗")), "+-+");
}

TEST(CodePagePairTest, TextKeepsItsLength) {
    auto pair = MakePair("CP866", "CP1251");
    ASSERT_NE(pair, nullptr);
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(pair->OemToDisplay(all).size(), 256u);
    EXPECT_EQ(pair->DisplayToOem(all).size(), 256u);
    EXPECT_EQ(pair->OemToDisplay(pair->Oem()->FromUtf8("Привет, мир")),
              pair->Display()->FromUtf8("Привет, мир"));
}

TEST(CodePagePairTest, IdentityDefaultAndActive) {
    TCodePagePair identity = TCodePagePair::Identity();
    EXPECT_TRUE(identity.IsIdentity());
    EXPECT_EQ(identity.OemNumber(), 0);
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(identity.OemToDisplay(static_cast<uint8_t>(b)), b);
        EXPECT_EQ(identity.DisplayToOem(static_cast<uint8_t>(b)), b);
    }

    const TCodePagePair& def = TCodePagePair::Default();
    ASSERT_FALSE(def.IsIdentity());
    EXPECT_EQ(def.OemNumber(), 866);
    EXPECT_EQ(def.Display()->Name(), "CP1251");
    EXPECT_EQ(ActiveCodePages().OemNumber(), 866);

    SetActiveCodePages(*MakePair("CP437", "CP1252"));
    EXPECT_EQ(ActiveCodePages().OemNumber(), 437);
    SetActiveCodePages(identity);
    EXPECT_TRUE(ActiveCodePages().IsIdentity());
    SetActiveCodePages(def);
    EXPECT_EQ(ActiveCodePages().OemNumber(), 866);
}

class StorageTextTest : public ::testing::Test {
protected:
    const TCodePagePair& Pages = TCodePagePair::Default();
    // Display text from UTF-8, to keep the cases readable.
    std::string D(const char* utf8) { return Pages.Display()->FromUtf8(utf8); }
    std::string O(const char* utf8) { return Pages.Oem()->FromUtf8(utf8); }
};

TEST_F(StorageTextTest, SoftCRWriteRule) {
    ASSERT_EQ(O("Н"), "\x8D");
    ASSERT_EQ(O("р"), "\xE0");
    EXPECT_EQ(EncodeForStorage(D("Нора"), Pages, false), "H" + O("о") + "p" + O("а"));
    EXPECT_EQ(EncodeForStorage(D("Нора"), Pages, true), O("Нора"));
    // A look-alike that lands on the SoftCR byte obeys the rule as well.
    EXPECT_EQ(EncodeForStorage(D("Њ"), Pages, false), "H");
    EXPECT_EQ(EncodeForStorage(D("Њ"), TCodePagePair::Identity(), false), D("Њ"));
}

TEST_F(StorageTextTest, SoftCRReadRuleDropsRawBytes) {
    std::string stored = "ab\x8D"
                         "c" +
                         O("Ни") + "\x8D";
    EXPECT_EQ(DecodeStoredText(stored, Pages, false), "abc" + D("и"));
    EXPECT_EQ(DecodeStoredText(stored, Pages, true), "ab" + D("Н") + "c" + D("Ни") + D("Н"));
    EXPECT_EQ(DecodeStoredText(O("ра"), Pages, false), D("ра"));
}

TEST_F(StorageTextTest, FixedWidthFields) {
    const struct {
        std::string Display;
        bool KeepSoftCR;
        std::string Field; // 6 bytes
    } cases[] = {
        {"", false, std::string(6, '\0')},
        {"abc", false, std::string("abc\0\0\0", 6)},
        {"abcdef", false, "abcdef"},   // full: no terminator
        {"abcdefgh", false, "abcdef"}, // cut to the width
        {D("Нора"), false, "H" + O("о") + "p" + O("а") + std::string(2, '\0')},
        {D("Нора"), true, O("Нора") + std::string(2, '\0')},
    };
    for (const auto& c : cases) {
        uint8_t field[8];
        std::memset(field, 0x55, sizeof field);
        WriteFixedString(field, 6, c.Display, Pages, c.KeepSoftCR);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(field), 6), c.Field) << c.Display;
        EXPECT_EQ(field[6], 0x55) << "wrote past the field for " << c.Display;
    }
}

TEST_F(StorageTextTest, ReadFixedStringStopsAtZeroOrWidth) {
    const uint8_t full[] = {'a', 'b', 'c', 'd', 'X', 'Y'};
    EXPECT_EQ(ReadFixedString(full, 4, Pages), "abcd");
    const uint8_t shorter[] = {'a', 'b', 0, 'd'};
    EXPECT_EQ(ReadFixedString(shorter, 4, Pages), "ab");
    // Header fields are converted as they are: a SoftCR byte there is a capital EN.
    const uint8_t russian[] = {0x8D, 0xE0, 0};
    EXPECT_EQ(ReadFixedString(russian, 3, Pages), D("Нр"));
    EXPECT_EQ(ReadFixedString(full, 0, Pages), "");
}
