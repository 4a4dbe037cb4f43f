// Kludge values and message text in any character set, as echoes bring them. The first byte
// is the length of a kludge value, the rest is text read through every set onto the CP1251
// and CP1252 display pages and written back.
#include "core/Charset.h"
#include "core/CodePage.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace tavro;

namespace {

[[noreturn]] void Violated(const char* why) {
    std::fprintf(stderr, "Property violated: %s\n", why);
    std::abort();
}

void CheckKludge(std::string_view value) {
    const TCharset* set = TCharset::FromKludgeValue(value);
    if (TCharset::FromKludgeLine("\x01"
                                 "CHRS: " +
                                 std::string(value)) != set)
        Violated("a kludge line names another set than its value");
    TCharset::FromKludgeLine(value);
    if (set != nullptr && TCharset::FromKludgeLine(set->KludgeText()) != set)
        Violated("the kludge written for a set names another one");
}

void CheckText(const TCharset& set, std::string_view text, const TCodePage& display) {
    std::string shown = set.ToDisplay(text, display);
    if (set.IsUtf8() ? shown.size() > text.size() : shown.size() != text.size())
        Violated("reading changed the length");
    std::string reused = "some earlier line";
    if (set.ToDisplay(text, display, reused) != shown)
        Violated("reading into a used buffer differs");
    // An ASCII byte ends any sequence before it: the text after it reads the same on its own.
    for (size_t i = 1; i < text.size(); ++i) {
        if (static_cast<uint8_t>(text[i]) < 0x80) {
            if (set.ToDisplay(text.substr(0, i), display) + set.ToDisplay(text.substr(i), display) != shown)
                Violated("a bad sequence swallowed the text after it");
            break;
        }
    }

    // The text taken as display text: written in the set and read back, every character of
    // the display page comes back unless the set lacks it.
    std::string written = set.FromDisplay(text, display);
    if (!set.IsUtf8() && written.size() != text.size())
        Violated("writing changed the length");
    if (set.IsUtf8()) {
        std::string expected(text.size(), '\0');
        for (size_t i = 0; i < text.size(); ++i)
            expected[i] =
                static_cast<char>(display.FitByte(display.ToUnicode(static_cast<uint8_t>(text[i]))));
        if (set.ToDisplay(written, display) != expected)
            Violated("UTF-8 written from the display page reads back differently");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TCodePage* const displays[] = {TCodePage::Get("CP1251").get(),
                                                TCodePage::Get("CP1252").get()};
    static const char* const names[] = {"CP437",   "CP850",   "CP852",  "CP865",      "CP866",   "CP1250",
                                        "CP1251",  "CP1252",  "KOI8-R", "KOI8-U",     "LATIN-1", "LATIN-2",
                                        "LATIN-5", "LATIN-9", "ASCII",  "ISO-8859-5", "UTF-8"};
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t valueLength = std::min<size_t>(data[0], bytes.size());
    CheckKludge(bytes.substr(0, valueLength));
    const std::string_view text = bytes.substr(valueLength);
    for (const char* name : names) {
        const TCharset* set = TCharset::FromKludgeValue(name);
        if (set == nullptr)
            Violated("a known set is missing");
        for (const TCodePage* display : displays)
            CheckText(*set, text, *display);
    }
    return 0;
}
