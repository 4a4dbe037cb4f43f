#include "Charset.h"

#include "CodePage.h"
#include "StrUtils.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace tavro {

namespace {

constexpr char Fallback = '?';

struct TKnownSet {
    std::string_view Name; // also the C library's name for a single-byte set
    std::string_view KludgeName;
    int Level;
    std::array<std::string_view, 4> Aliases;
};

// The names other mailers write, upper case. A fixed list rather than whatever the C library
// knows: kludge values come from anyone, and every page name asked for stays cached.
// LATIN-n follows ISO's numbering of the Latin alphabets, as LATIN-9 for ISO-8859-15 shows:
// LATIN-5 is the Turkish ISO-8859-9, and the Cyrillic ISO-8859-5 goes by its own name.
constexpr TKnownSet KnownSets[] = {
    {"CP437", "CP437", 2, {"IBMPC", "IBM437"}},
    {"CP850", "CP850", 2, {"IBM850"}},
    {"CP852", "CP852", 2, {"IBM852"}},
    {"CP865", "CP865", 2, {"IBM865"}},
    {"CP866", "CP866", 2, {"+7_FIDO", "+7", "CP866R", "IBM866"}},
    {"CP1250", "CP1250", 2, {"WINDOWS-1250", "WIN1250"}},
    {"CP1251", "CP1251", 2, {"WINDOWS-1251", "WIN1251"}},
    {"CP1252", "CP1252", 2, {"WINDOWS-1252", "WIN1252"}},
    {"KOI8-R", "KOI8-R", 2, {"KOI8"}},
    {"KOI8-U", "KOI8-U", 2, {}},
    {"ISO-8859-1", "LATIN-1", 2, {"ISO8859-1", "8859-1", "LATIN1"}},
    {"ISO-8859-2", "LATIN-2", 2, {"ISO8859-2", "8859-2", "LATIN2"}},
    {"ISO-8859-5", "ISO-8859-5", 2, {"ISO8859-5", "8859-5"}},
    {"ISO-8859-9", "LATIN-5", 2, {"ISO8859-9", "8859-9", "LATIN5"}},
    {"ISO-8859-15", "LATIN-9", 2, {"ISO8859-15", "8859-15", "LATIN9"}},
    {"ASCII", "ASCII", 1, {"US-ASCII"}}, // bytes above 127 read as "?"
    {"UTF-8", "UTF-8", 4, {"UTF8"}},
};

constexpr size_t Utf8Index = std::size(KnownSets) - 1;

bool IsBlank(char c) {
    return static_cast<uint8_t>(c) <= ' ';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The name in the value, upper case in `buffer`; a bare number is a "CP" page ("CODEPAGE: 866").
std::string_view NameOf(std::string_view value, std::array<char, 20>& buffer) {
    value = TrimView(value);
    std::string_view name =
        value.substr(0, std::find_if(value.begin(), value.end(), IsBlank) - value.begin());
    size_t length = 0;
    if (!name.empty() && std::all_of(name.begin(), name.end(), IsDigit)) {
        buffer[length++] = 'C';
        buffer[length++] = 'P';
    }
    if (name.empty() || name.size() > buffer.size() - length)
        return {};
    for (char c : name)
        buffer[length++] = UpperAscii(c);
    return std::string_view(buffer.data(), length);
}

bool Names(const TKnownSet& set, std::string_view name) {
    return set.Name == name || set.KludgeName == name ||
           std::find(set.Aliases.begin(), set.Aliases.end(), name) != set.Aliases.end();
}

// Writes at most `stored.size()` bytes to `out` and answers how many.
size_t DecodeUtf8(std::string_view stored, const std::array<uint8_t, 0x780>& twoByte,
                  const TCodePage& display, char* out) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(stored.data());
    const size_t size = stored.size();
    size_t pos = 0, length = 0;
    while (pos < size) {
        uint8_t lead = bytes[pos];
        if (lead < 0x80) {
            out[length++] = static_cast<char>(lead);
            ++pos;
        } else if (lead >= 0xC2 && lead <= 0xDF && pos + 1 < size && (bytes[pos + 1] & 0xC0) == 0x80) {
            // Cyrillic, Greek and the accented Latin letters: one table lookup.
            out[length++] = static_cast<char>(twoByte[((lead & 0x1F) << 6 | (bytes[pos + 1] & 0x3F)) - 0x80]);
            pos += 2;
        } else {
            char32_t ch = 0;
            out[length++] = NextUtf8(stored, pos, ch) ? static_cast<char>(display.FitByte(ch)) : Fallback;
        }
    }
    return length;
}

} // namespace

struct TCharset::TTables {
    const TCodePage* Display = nullptr;
    std::array<uint8_t, 256> ToDisplay{};
    std::array<uint8_t, 256> FromDisplay{};
    // UTF-8: the two-byte characters U+0080..U+07FF.
    std::array<uint8_t, 0x780> TwoByte{};
};

TCharset::TCharset(std::string_view name, std::string_view kludgeName, int level,
                   std::shared_ptr<const TCodePage> page)
    : Name_(name), KludgeName_(kludgeName), Level_(level), Page_(std::move(page)) {}

TCharset::~TCharset() = default;

const std::vector<std::unique_ptr<const TCharset>>& TCharset::Known() {
    static const std::vector<std::unique_ptr<const TCharset>> known = [] {
        std::vector<std::unique_ptr<const TCharset>> sets;
        for (size_t i = 0; i < std::size(KnownSets); ++i) {
            const TKnownSet& set = KnownSets[i];
            std::shared_ptr<const TCodePage> page;
            if (i != Utf8Index && !(page = TCodePage::Get(set.Name))) {
                sets.push_back(nullptr);
                continue;
            }
            sets.push_back(
                std::unique_ptr<const TCharset>(new TCharset(set.Name, set.KludgeName, set.Level, page)));
        }
        return sets;
    }();
    return known;
}

const TCharset* TCharset::FromKludgeValue(std::string_view value) {
    std::array<char, 20> buffer;
    std::string_view name = NameOf(value, buffer);
    if (name.empty())
        return nullptr;
    for (size_t i = 0; i < std::size(KnownSets); ++i)
        if (Names(KnownSets[i], name))
            return Known()[i].get();
    return nullptr;
}

const TCharset* TCharset::FromKludgeLine(std::string_view line) {
    // Trimming also drops the ^A.
    std::string_view text = TrimView(line);
    for (std::string_view tag : {"CHRS", "CHARSET", "CODEPAGE"}) {
        if (!StartsWithNoCase(text, tag))
            continue;
        std::string_view rest = text.substr(tag.size());
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
        if (!rest.empty() && rest.front() == ':')
            return FromKludgeValue(rest.substr(1));
    }
    return nullptr;
}

const TCharset* TCharset::FromKludges(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (const TCharset* set = FromKludgeLine(line))
            return set;
    return nullptr;
}

const TCharset& TCharset::Utf8() {
    return *Known()[Utf8Index];
}

bool TCharset::IsPage(const TCodePage* page) const {
    return !IsUtf8() && page != nullptr && Name_ == page->Name();
}

std::string TCharset::KludgeText() const {
    return "CHRS: " + KludgeName_ + " " + std::to_string(Level_);
}

const TCharset::TTables& TCharset::Tables(const TCodePage& display) const {
    const TTables* last = Last_.load(std::memory_order_acquire);
    if (last != nullptr && last->Display == &display)
        return *last;
    std::lock_guard lock(Mutex_);
    auto it = std::find_if(Tables_.begin(), Tables_.end(), [&](const std::unique_ptr<TTables>& tables) {
        return tables->Display == &display;
    });
    if (it == Tables_.end()) {
        auto tables = std::make_unique<TTables>();
        tables->Display = &display;
        if (Page_) {
            for (int b = 0; b < 256; ++b) {
                tables->ToDisplay[b] = display.FitByte(Page_->ToUnicode(static_cast<uint8_t>(b)));
                tables->FromDisplay[b] = Page_->FitByte(display.ToUnicode(static_cast<uint8_t>(b)));
            }
        } else {
            for (size_t i = 0; i < tables->TwoByte.size(); ++i)
                tables->TwoByte[i] = display.FitByte(static_cast<char32_t>(i + 0x80));
        }
        it = Tables_.insert(Tables_.end(), std::move(tables));
    }
    Last_.store(it->get(), std::memory_order_release);
    return **it;
}

std::string TCharset::ToDisplay(std::string_view stored, const TCodePage& display) const {
    std::string result;
    ToDisplay(stored, display, result);
    return result;
}

std::string_view TCharset::ToDisplay(std::string_view stored, const TCodePage& display,
                                     std::string& out) const {
    const TTables& tables = Tables(display);
    out.resize(stored.size());
    if (Page_) {
        for (size_t i = 0; i < stored.size(); ++i)
            out[i] = static_cast<char>(tables.ToDisplay[static_cast<uint8_t>(stored[i])]);
    } else {
        out.resize(DecodeUtf8(stored, tables.TwoByte, display, out.data()));
    }
    return out;
}

std::string TCharset::FromDisplay(std::string_view text, const TCodePage& display) const {
    std::string result;
    if (!Page_) {
        display.AppendUtf8(result, text);
        return result;
    }
    const TTables& tables = Tables(display);
    result.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        result[i] = static_cast<char>(tables.FromDisplay[static_cast<uint8_t>(text[i])]);
    return result;
}

} // namespace tavro
