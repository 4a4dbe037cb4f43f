#include "core/Charset.h"
#include "core/CodePage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace tavro;

namespace {

// Pages stay in their cache for good, so a reference outlives the pointer.
const TCodePage& Page(const char* name) {
    auto page = TCodePage::Get(name);
    if (page == nullptr) {
        ADD_FAILURE() << "no page " << name;
        page = TCodePage::Get("CP1251");
    }
    return *page;
}

// The display bytes of a conversion, shown as UTF-8 so that the tables read as text.
std::string Shown(const TCharset& set, std::string_view stored, const char* display) {
    return Page(display).ToUtf8(set.ToDisplay(stored, Page(display)));
}

const TCharset& Named(std::string_view value) {
    const TCharset* set = TCharset::FromKludgeValue(value);
    if (set == nullptr) {
        ADD_FAILURE() << "unknown: " << value;
        return TCharset::Utf8();
    }
    return *set;
}

} // namespace

// Stored bytes are spelled out, so a name resolving to a neighbouring page (CP437 for
// CP850, ISO-8859-5 for LATIN-5) shows.
TEST(CharsetTest, EveryNameReadsItsSampleLine) {
    struct {
        const char* Value;
        const char* Name;
        std::string Stored;
        const char* Display;
        const char* Shown;
    } cases[] = {
        {"CP437 2", "CP437", "\x63\x61\x66\x82\x20\x81", "CP1252", "café ü"},
        {"IBMPC 2", "CP437", "\x63\x61\x66\x82\x20\x81", "CP1252", "café ü"},
        {"ibm437", "CP437", "\x63\x61\x66\x82", "CP1252", "café"},
        {"CP850 2", "CP850", "\x9D\x72\x65", "CP1252", "Øre"},
        {"CP852 2", "CP852", "\x9D\xA2\x64\xAB", "CP1250", "Łódź"},
        {"CP865 2", "CP865", "\x53\x9B\x72\x65\x6E", "CP1252", "Søren"},
        {"CP866 2", "CP866", "\x8F\xE0\xA8\xA2\xA5\xE2", "CP1251", "Привет"},
        {"+7_FIDO 2", "CP866", "\x8F\xE0\xA8\xA2\xA5\xE2", "CP1251", "Привет"},
        {"+7", "CP866", "\x8F\xE0\xA8\xA2\xA5\xE2", "CP1251", "Привет"},
        {"cp866r 2", "CP866", "\x8F\xE0\xA8\xA2\xA5\xE2", "CP1251", "Привет"},
        {"866", "CP866", "\x8F\xE0\xA8\xA2\xA5\xE2", "CP1251", "Привет"},
        {"CP1250 2", "CP1250", "\xA3\xF3\x64\x9F", "CP1250", "Łódź"},
        {"CP1251 2", "CP1251", "\xCF\xF0\xE8\xE2\xE5\xF2", "CP866", "Привет"},
        {"Windows-1251", "CP1251", "\xCF\xF0\xE8\xE2\xE5\xF2", "CP1251", "Привет"},
        {"CP1252 2", "CP1252", "\x63\x61\x66\xE9\x20\x80", "CP1252", "café €"},
        {"WINDOWS-1252", "CP1252", "\x63\x61\x66\xE9", "CP1251", "cafe"}, // the best fit
        {"KOI8-R 2", "KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", "CP1251", "Привет"},
        {"koi8", "KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", "CP866", "Привет"},
        {"KOI8-U 2", "KOI8-U", "\xB7\xD6\xC1\xCB", "CP1251", "Їжак"},
        {"LATIN-1 2", "ISO-8859-1", "\x63\x61\x66\xE9", "CP1252", "café"},
        {"ISO-8859-1", "ISO-8859-1", "\x63\x61\x66\xE9", "CP1251", "cafe"},
        {"iso8859-1 2", "ISO-8859-1", "\x63\x61\x66\xE9", "CP1252", "café"},
        {"8859-1", "ISO-8859-1", "\x63\x61\x66\xE9", "CP1252", "café"},
        {"LATIN-2 2", "ISO-8859-2", "\xA3\xF3\x64\xBC", "CP1250", "Łódź"},
        {"ISO-8859-2", "ISO-8859-2", "\xA3\xF3\x64\xBC", "CP1250", "Łódź"},
        {"ISO-8859-5 2", "ISO-8859-5", "\xBF\xE0\xD8\xD2\xD5\xE2", "CP1251", "Привет"},
        {"LATIN-5 2", "ISO-8859-9", "\xF0\xFD\xFE", "CP1254", "ğış"},
        {"LATIN-9 2", "ISO-8859-15", "\xA4", "CP1252", "€"},
        {"ASCII 1", "ASCII", "\x61\x62\xE9\x63", "CP1252", "ab?c"},
        {"US-ASCII", "ASCII", "\x01\x4D\x80\xFF", "CP1251", "\x01M??"},
        {"UTF-8 4", "UTF-8", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "CP1251", "Привет"},
        {"utf8", "UTF-8", "\x63\x61\x66\xC3\xA9", "CP1252", "café"},
    };
    for (const auto& c : cases) {
        const TCharset& set = Named(c.Value);
        EXPECT_EQ(set.Name(), c.Name) << c.Value;
        EXPECT_EQ(Shown(set, c.Stored, c.Display), c.Shown) << c.Value;
        if (!set.IsUtf8()) {
            EXPECT_EQ(set.ToDisplay(c.Stored, Page(c.Display)).size(), c.Stored.size()) << c.Value;
        }
    }
}

TEST(CharsetTest, NamesResolveToOneSharedSet) {
    EXPECT_EQ(TCharset::FromKludgeValue("koi8"), TCharset::FromKludgeValue("KOI8-R 2"));
    EXPECT_EQ(TCharset::FromKludgeValue("UTF-8 4"), &TCharset::Utf8());
    EXPECT_TRUE(TCharset::Utf8().IsUtf8());
    EXPECT_EQ(TCharset::Utf8().Page(), nullptr);
    EXPECT_FALSE(Named("CP866").IsUtf8());
    EXPECT_EQ(Named("CP866").Page(), TCodePage::Get("CP866").get());
}

TEST(CharsetTest, UnknownNamesAreNull) {
    for (const char* value : {"", "   ", "2", "FOO 2", "CP9999 2", "UTF-16", "KOI8-RX", "CP866X 2",
                              "LATIN-1X", "LATIN-7", "SHIFT_JIS", "CP1257 2", "+7_FIDOX", "CP866,2", "-",
                              "A-NAME-FAR-TOO-LONG-FOR-ANY-SET 2", "99999999999999999999999"})
        EXPECT_EQ(TCharset::FromKludgeValue(value), nullptr) << value;
}

TEST(CharsetTest, KludgeLines) {
    struct {
        const char* Line;
        const char* Name; // null: no set
    } cases[] = {
        {"\x01"
         "CHRS: KOI8-R 2",
         "KOI8-R"},
        {"CHRS: KOI8-R 2", "KOI8-R"},
        {"\x01"
         "chrs: koi8-r 2",
         "KOI8-R"},
        {"\x01"
         "CHRS:   UTF-8    4  ",
         "UTF-8"},
        {"\x01"
         "CHRS:\tCP866\t2\r",
         "CP866"},
        {"\x01"
         "CHRS:CP866",
         "CP866"},
        {"\x01"
         "CHRS : CP437 2",
         "CP437"},
        {"\x01"
         "CHARSET: LATIN-1",
         "ISO-8859-1"},
        {"\x01"
         "CODEPAGE: 866",
         "CP866"},
        {"\x01"
         "codepage: 1251",
         "CP1251"},
        {"\x01"
         "CHRS: FOO 2",
         nullptr},
        {"\x01"
         "CHRS:",
         nullptr},
        {"\x01"
         "CHRSX: CP866 2",
         nullptr},
        {"\x01"
         "CHRS CP866 2",
         nullptr},
        {"\x01"
         "PID: CHRS: CP866 2",
         nullptr},
        {"\x01"
         "MSGID: 2:5020/1 12345678",
         nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const TCharset* set = TCharset::FromKludgeLine(c.Line);
        if (c.Name == nullptr)
            EXPECT_EQ(set, nullptr) << c.Line;
        else if (set == nullptr)
            ADD_FAILURE() << "no set for " << c.Line;
        else
            EXPECT_EQ(set->Name(), c.Name) << c.Line;
    }
}

TEST(CharsetTest, FirstKnownKludgeAmongTheLinesDecides) {
    const std::vector<std::string> lines = {"\x01MSGID: 2:5020/1 12345678",
                                            "\x01"
                                            "CHRS: FOO 2",
                                            "\x01"
                                            "CHARSET: KOI8-R",
                                            "\x01"
                                            "CHRS: CP866 2"};
    EXPECT_EQ(TCharset::FromKludges(lines), &Named("KOI8-R"));
    EXPECT_EQ(TCharset::FromKludges({}), nullptr);
    EXPECT_EQ(TCharset::FromKludges({"\x01PID: X 1", "\x01"
                                                     "CHRS: FOO 2"}),
              nullptr);
}

TEST(CharsetTest, KludgeTextNamesTheSetBack) {
    struct {
        const char* Value;
        const char* Kludge;
    } cases[] = {
        {"+7_FIDO", "CHRS: CP866 2"},      {"koi8-r", "CHRS: KOI8-R 2"}, {"utf8", "CHRS: UTF-8 4"},
        {"ISO-8859-1", "CHRS: LATIN-1 2"}, {"ibmpc", "CHRS: CP437 2"},   {"US-ASCII", "CHRS: ASCII 1"},
        {"8859-9", "CHRS: LATIN-5 2"},     {"CP1251", "CHRS: CP1251 2"},
    };
    for (const auto& c : cases) {
        const TCharset& set = Named(c.Value);
        EXPECT_EQ(set.KludgeText(), c.Kludge) << c.Value;
        EXPECT_EQ(TCharset::FromKludgeLine("\x01" + set.KludgeText()), &set) << c.Value;
    }
}

TEST(CharsetTest, Utf8DecodingKeepsGoingPastBadBytes) {
    struct {
        std::string Stored;
        const char* Display;
        const char* Shown;
    } cases[] = {
        {"\x01MSGID: x", "CP1251", "\x01MSGID: x"},
        {"\xD0\x81\xD0\xB6 \xC3\xA9", "CP1251", "Ёж e"},               // two bytes; é's best fit
        {"\xE2\x82\xAC \xE2\x84\x96 \xE2\x94\x80", "CP1251", "€ № -"}, // three bytes
        {"a\xE2\x80\x94"
         "b",
         "CP866", "a-b"}, // a dash the page lacks
        {"a\xF0\x9F\x98\x80"
         "b",
         "CP1251", "a?b"}, // four bytes: one character, one fallback
        {"\xF0\x90\x80\x80", "CP1252", "?"},
        {"\xC0\x80\xC1\xBF", "CP1251", "????"},           // overlong two bytes
        {"\xE0\x80\xAF", "CP1251", "???"},                // overlong three bytes
        {"\xF0\x82\x82\xAC", "CP1251", "????"},           // overlong four bytes
        {"\xED\xA0\x80\xED\xBF\xBF", "CP1251", "??????"}, // surrogates
        {"\xF4\x90\x80\x80\xF5\x80", "CP1251", "??????"}, // beyond U+10FFFF
        {"\xFF\xFEok", "CP1251", "??ok"},                 // never UTF-8
        {"ab\xD0", "CP1251", "ab?"},                      // cut short at the end
        {"ab\xE2\x80", "CP1251", "ab??"},
        {"ab\xF0\x9F\x98", "CP1251", "ab???"},
        {"\xD0\x9F\x80\xD1\x80\xD0\xB8", "CP1251", "П?ри"}, // stray continuation byte
        {"\xD0\xD1\x80", "CP1251", "?р"},                   // lead byte without its continuation
        {"\xE2\x82"
         "a\xD1\x82",
         "CP1251", "??aт"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Shown(TCharset::Utf8(), c.Stored, c.Display), c.Shown) << c.Stored;
}

// A quote is written in the OEM page, an edited message in its own set, a new one in UTF-8.
TEST(CharsetTest, WritingBackFromTheDisplayPage) {
    const TCodePage& cp1251 = Page("CP1251");
    const std::string display = cp1251.FromUtf8("Привет, мир! Ёж");
    const std::string koi8 = "\xF0\xD2\xC9\xD7\xC5\xD4\x2C\x20\xCD\xC9\xD2\x21\x20\xB3\xD6";
    const std::string cp866 = "\x8F\xE0\xA8\xA2\xA5\xE2\x2C\x20\xAC\xA8\xE0\x21\x20\xF0\xA6";
    const std::string utf8 = "Привет, мир! Ёж";

    EXPECT_EQ(Named("KOI8-R").FromDisplay(display, cp1251), koi8);
    EXPECT_EQ(Named("KOI8-R").ToDisplay(koi8, cp1251), display);
    EXPECT_EQ(Named("CP866").FromDisplay(Named("KOI8-R").ToDisplay(koi8, cp1251), cp1251), cp866);
    EXPECT_EQ(TCharset::Utf8().FromDisplay(display, cp1251), utf8);
    EXPECT_EQ(TCharset::Utf8().ToDisplay(utf8, cp1251), display);

    // A letter the set lacks becomes its look-alike; a set that has it keeps it.
    const std::string ukrainian = cp1251.FromUtf8("Ґ");
    EXPECT_EQ(Named("KOI8-R").FromDisplay(ukrainian, cp1251), "\xE7"); // Г
    EXPECT_EQ(Named("KOI8-U").FromDisplay(ukrainian, cp1251), "\xBD");
    EXPECT_EQ(TCharset::Utf8().FromDisplay(ukrainian, cp1251), "Ґ");
    EXPECT_EQ(Named("ASCII").FromDisplay(Page("CP1252").FromUtf8("café"), Page("CP1252")), "cafe");
    // A byte the display page leaves undefined has no character to write.
    EXPECT_EQ(TCharset::Utf8().FromDisplay("\x98", cp1251), "\xEF\xBF\xBD");
}

TEST(CharsetTest, OutputBufferIsReused) {
    std::string out = "left over from a longer line";
    EXPECT_EQ(TCharset::Utf8().ToDisplay("\xD0\xB0\xD0\xB1", Page("CP1251"), out), "\xE0\xE1");
    EXPECT_EQ(out, "\xE0\xE1");
    EXPECT_EQ(Named("KOI8-R").ToDisplay("\xC1", Page("CP1251"), out), "\xE0");
    EXPECT_EQ(Named("KOI8-R").ToDisplay("", Page("CP1251"), out), "");
}

// Each set keeps tables per display page; readers switch pages and threads at will.
TEST(CharsetTest, DisplayPagesAndThreadsMixed) {
    const std::string koi8 = "\xF0\xD2\xC9\xD7\xC5\xD4";
    const std::string utf8 = "Привет";
    const std::string in1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
    const std::string in866 = "\x8F\xE0\xA8\xA2\xA5\xE2";
    auto work = [&](int seed, bool& ok) {
        ok = true;
        for (int i = 0; i < 2000; ++i) {
            bool to1251 = (i + seed) % 3 != 0;
            const TCodePage& display = Page(to1251 ? "CP1251" : "CP866");
            const std::string& expected = to1251 ? in1251 : in866;
            ok = ok && Named("KOI8-R").ToDisplay(koi8, display) == expected &&
                 TCharset::Utf8().ToDisplay(utf8, display) == expected;
        }
    };
    bool ok[4];
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(work, t, std::ref(ok[t]));
    for (std::thread& thread : threads)
        thread.join();
    for (bool threadOk : ok)
        EXPECT_TRUE(threadOk);
}
