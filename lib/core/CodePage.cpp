#include "CodePage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <mutex>

namespace tavro {

namespace {

constexpr char32_t Undefined = 0xFFFD;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "866" is how users write CP866; iconv wants the prefix.
std::string CanonicalName(std::string_view name) {
    std::string result;
    for (char c : name)
        result += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (!result.empty() && std::all_of(result.begin(), result.end(), IsDigit))
        result = "CP" + result;
    return result;
}

// The number of "CP866", "IBM437", "WINDOWS-1251"; other names (KOI8-R, ISO-8859-5) have none
// that a CHRS kludge could use.
int NameNumber(const std::string& name) {
    for (std::string_view prefix : {"CP", "IBM", "WINDOWS-", "WIN"}) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::string_view digits = std::string_view(name).substr(prefix.size());
        if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), IsDigit))
            return 0;
        return std::stoi(std::string(digits));
    }
    return 0;
}

struct TIconv {
    iconv_t Handle;
    explicit TIconv(const std::string& from) : Handle(iconv_open("UTF-32LE", from.c_str())) {}
    ~TIconv() {
        if (Ok())
            iconv_close(Handle);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Ok() const { return Handle != reinterpret_cast<iconv_t>(-1); }
};

enum class TByteResult { Char, Undefined, Incomplete };

// One byte on its own through iconv: a single character, or nothing usable.
TByteResult DecodeByte(TIconv& cd, uint8_t byte, char32_t& ch) {
    iconv(cd.Handle, nullptr, nullptr, nullptr, nullptr);
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[32];
    char* inPtr = in;
    size_t inLeft = 1;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    if (iconv(cd.Handle, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return errno == EINVAL ? TByteResult::Incomplete : TByteResult::Undefined;
    // Pages that combine characters keep the last one back until flushed.
    if (iconv(cd.Handle, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
        return TByteResult::Undefined;
    if (sizeof out - outLeft != 4)
        return TByteResult::Undefined;
    ch = static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | static_cast<uint32_t>(out[3]) << 24);
    return TByteResult::Char;
}

// Look-alikes for a character the other page lacks, best first. Everything here ends in
// ASCII, so one of them always fits an ASCII-compatible page.
struct TFit {
    char32_t From;
    char32_t To[2];
};

constexpr TFit FitTable[] = {
    {0x00A6, {'|'}},         {0x00A9, {'C'}},         {0x00AB, {'"'}},         {0x00AC, {'-'}},
    {0x00AD, {'-'}},         {0x00AE, {'R'}},         {0x00B1, {'+'}},         {0x00B2, {'2'}},
    {0x00B3, {'3'}},         {0x00B5, {'u'}},         {0x00B7, {'.'}},         {0x00B9, {'1'}},
    {0x00BB, {'"'}},         {0x0152, {'O'}},         {0x0153, {'o'}},         {0x0160, {'S'}},
    {0x0161, {'s'}},         {0x0178, {'Y'}},         {0x017D, {'Z'}},         {0x017E, {'z'}},
    {0x0192, {'f'}},         {0x02C6, {'^'}},         {0x02DC, {'~'}},         {0x0393, {'G'}},
    {0x0398, {'O'}},         {0x03A3, {'E'}},         {0x03A6, {'O'}},         {0x03A9, {'O'}},
    {0x03B1, {'a'}},         {0x03B4, {'d'}},         {0x03B5, {'e'}},         {0x03C0, {'n'}},
    {0x03C3, {'o'}},         {0x03C4, {'t'}},         {0x03C6, {'o'}},         {0x0402, {0x0414, 'D'}},
    {0x0403, {0x0413, 'G'}}, {0x0405, {'S'}},         {0x0406, {'I'}},         {0x0408, {'J'}},
    {0x0409, {0x041B, 'L'}}, {0x040A, {0x041D, 'H'}}, {0x040B, {0x0427, 'C'}}, {0x040C, {0x041A, 'K'}},
    {0x040F, {0x0426, 'U'}}, {0x0452, {0x0434, 'd'}}, {0x0453, {0x0433, 'r'}}, {0x0455, {'s'}},
    {0x0456, {'i'}},         {0x0458, {'j'}},         {0x0459, {0x043B, 'n'}}, {0x045A, {0x043D, 'H'}},
    {0x045B, {0x0447, 'h'}}, {0x045C, {0x043A, 'k'}}, {0x045F, {0x0446, 'u'}}, {0x0490, {0x0413, 'G'}},
    {0x0491, {0x0433, 'r'}}, {0x2010, {'-'}},         {0x2011, {'-'}},         {0x2012, {'-'}},
    {0x2013, {'-'}},         {0x2014, {'-'}},         {0x2015, {'-'}},         {0x2018, {'\''}},
    {0x2019, {'\''}},        {0x201A, {','}},         {0x201B, {'\''}},        {0x201C, {'"'}},
    {0x201D, {'"'}},         {0x201E, {'"'}},         {0x201F, {'"'}},         {0x2020, {'+'}},
    {0x2021, {'+'}},         {0x2022, {'*'}},         {0x2026, {'.'}},         {0x2030, {'%'}},
    {0x2039, {'<'}},         {0x203A, {'>'}},         {0x207F, {'n'}},         {0x20A7, {'P'}},
    {0x20AC, {'E'}},         {0x2116, {'N'}},         {0x2122, {'T'}},         {0x2219, {0x00B7, '.'}},
    {0x221A, {'V'}},         {0x221E, {'8'}},         {0x2229, {'n'}},         {0x2248, {'~'}},
    {0x2261, {'='}},         {0x2264, {'<'}},         {0x2265, {'>'}},         {0x2310, {'-'}},
    {0x2320, {'|'}},         {0x2321, {'|'}},         {0x25A0, {'#'}},
};

constexpr bool FitTableSorted() {
    for (size_t i = 1; i < std::size(FitTable); ++i)
        if (FitTable[i - 1].From >= FitTable[i].From)
            return false;
    return true;
}
static_assert(FitTableSorted());

// Box drawing: lines become "-" and "|", everything that joins lines "+".
char BoxFit(char32_t ch) {
    unsigned i = ch - 0x2500;
    if (i < 0x0C || (i >= 0x4C && i <= 0x4F)) // light, heavy and dashed lines in pairs
        return (i & 2) ? '|' : '-';
    if (i == 0x50 || i == 0x51)
        return i == 0x50 ? '-' : '|';
    if (i >= 0x71 && i <= 0x73)
        return "/\\X"[i - 0x71];
    if (i >= 0x74) // half lines: left, up, right, down...
        return (i & 1) ? '|' : '-';
    return '+';
}

// Latin-1 letters without their accents, U+00C0..U+00FF.
constexpr std::string_view LatinFold = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYPs"
                                       "aaaaaaaceeeeiiiidnooooo/ouuuuypy";

uint8_t BestFit(char32_t ch, const TCodePage& target) {
    if (ch >= 0x2500 && ch <= 0x257F)
        return static_cast<uint8_t>(BoxFit(ch));
    if (ch >= 0x2580 && ch <= 0x259F)
        return '#';
    if (ch >= 0x00C0 && ch <= 0x00FF)
        return static_cast<uint8_t>(LatinFold[ch - 0xC0]);
    auto it = std::lower_bound(std::begin(FitTable), std::end(FitTable), ch,
                               [](const TFit& fit, char32_t c) { return fit.From < c; });
    if (it != std::end(FitTable) && it->From == ch) {
        for (char32_t candidate : it->To) {
            int byte = target.FromUnicode(candidate);
            if (candidate != 0 && byte >= 0)
                return static_cast<uint8_t>(byte);
        }
    }
    return '?';
}

void BuildTable(const TCodePage& from, const TCodePage& to, std::array<uint8_t, 256>& table) {
    for (int b = 0; b < 256; ++b)
        table[b] = to.FitByte(from.ToUnicode(static_cast<uint8_t>(b)));
}

void MapBytes(std::string_view text, const std::array<uint8_t, 256>& table, std::string& out) {
    out.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(table[static_cast<uint8_t>(text[i])]);
}

std::string MapBytes(std::string_view text, const std::array<uint8_t, 256>& table) {
    std::string result;
    MapBytes(text, table, result);
    return result;
}

// The letters single-byte pages hold; enough for initials and quote prefixes.
bool IsUnicodeLetter(char32_t ch) {
    if ((ch >= U'A' && ch <= U'Z') || (ch >= U'a' && ch <= U'z'))
        return true;
    if (ch == 0xAA || ch == 0xB5 || ch == 0xBA)
        return true;
    if (ch >= 0xC0 && ch <= 0x24F)
        return ch != 0xD7 && ch != 0xF7; // x and division signs
    if (ch >= 0x386 && ch <= 0x3FF)
        return ch != 0x387;
    if (ch >= 0x400 && ch <= 0x52F)
        return ch < 0x482 || ch > 0x489; // Cyrillic signs and combining marks
    return (ch >= 0x5D0 && ch <= 0x5EA) || (ch >= 0x620 && ch <= 0x64A) || (ch >= 0x1E00 && ch <= 0x1EFF);
}

} // namespace

void AppendUtf8(std::string& out, char32_t ch) {
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | ch >> 6);
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | ch >> 12);
        out += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | ch >> 18);
        out += static_cast<char>(0x80 | (ch >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

bool NextUtf8(std::string_view s, size_t& pos, char32_t& ch) {
    auto lead = static_cast<uint8_t>(s[pos]);
    int extra;
    char32_t min;
    if (lead < 0x80) {
        ch = lead;
        ++pos;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, ch = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, ch = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, ch = lead & 0x07, min = 0x10000;
    } else {
        ++pos;
        return false;
    }
    if (s.size() - pos <= static_cast<size_t>(extra)) {
        ++pos;
        return false;
    }
    for (int i = 1; i <= extra; ++i) {
        auto c = static_cast<uint8_t>(s[pos + i]);
        if ((c & 0xC0) != 0x80) {
            ++pos;
            return false;
        }
        ch = ch << 6 | (c & 0x3F);
    }
    if (ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
        ++pos;
        return false;
    }
    pos += extra + 1;
    return true;
}

std::shared_ptr<const TCodePage> TCodePage::Build(const std::string& name) {
    TIconv cd(name);
    if (!cd.Ok())
        return nullptr;
    auto page = std::shared_ptr<TCodePage>(new TCodePage);
    page->Name_ = name;
    page->Number_ = NameNumber(name);
    for (int b = 0; b < 256; ++b) {
        char32_t ch = Undefined;
        TByteResult result = DecodeByte(cd, static_cast<uint8_t>(b), ch);
        // A lead byte of a multi-byte encoding: not a page this program can use.
        if (result == TByteResult::Incomplete)
            return nullptr;
        bool alnum = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        if (alnum && (result != TByteResult::Char || ch != static_cast<char32_t>(b)))
            return nullptr; // EBCDIC and the like
        if (b < 0x80)
            ch = static_cast<char32_t>(b); // ^A and the other controls stay what they are
        else if (result != TByteResult::Char || (ch >= 0xD800 && ch <= 0xDFFF) || ch > 0x10FFFF)
            ch = Undefined;
        page->ToUnicode_[b] = ch;
        page->Letters_[b] = IsUnicodeLetter(ch);
        if (ch != Undefined)
            page->FromUnicode_.emplace_back(ch, static_cast<uint8_t>(b));
    }
    // Stable, so the lowest byte of a character held twice comes first.
    std::stable_sort(page->FromUnicode_.begin(), page->FromUnicode_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return page;
}

std::shared_ptr<const TCodePage> TCodePage::Get(std::string_view name) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const TCodePage>, std::less<>> cache;
    std::string canonical = CanonicalName(name);
    if (canonical.empty())
        return nullptr;
    std::lock_guard lock(mutex);
    auto it = cache.find(canonical);
    if (it == cache.end())
        it = cache.emplace(canonical, Build(canonical)).first;
    return it->second;
}

int TCodePage::FromUnicode(char32_t ch) const {
    auto it = std::lower_bound(FromUnicode_.begin(), FromUnicode_.end(), ch,
                               [](const auto& entry, char32_t c) { return entry.first < c; });
    return it != FromUnicode_.end() && it->first == ch ? it->second : -1;
}

uint8_t TCodePage::FitByte(char32_t ch) const {
    // No page holds U+FFFD, so an undefined byte of another page ends up as "?".
    int byte = FromUnicode(ch);
    return byte >= 0 ? static_cast<uint8_t>(byte) : BestFit(ch, *this);
}

std::string TCodePage::ToUtf8(std::string_view bytes) const {
    std::string result;
    AppendUtf8(result, bytes);
    return result;
}

void TCodePage::AppendUtf8(std::string& out, std::string_view bytes) const {
    out.reserve(out.size() + bytes.size() * 2);
    for (char c : bytes)
        tavro::AppendUtf8(out, ToUnicode_[static_cast<uint8_t>(c)]);
}

std::string TCodePage::FromUtf8(std::string_view utf8, char fallback) const {
    std::string result;
    result.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t ch = 0;
        int byte = NextUtf8(utf8, pos, ch) ? FromUnicode(ch) : -1;
        result += byte >= 0 ? static_cast<char>(byte) : fallback;
    }
    return result;
}

TCodePagePair::TCodePagePair() {
    for (int b = 0; b < 256; ++b)
        OemToDisplay_[b] = DisplayToOem_[b] = static_cast<uint8_t>(b);
}

TCodePagePair TCodePagePair::Identity() {
    return TCodePagePair();
}

std::unique_ptr<TCodePagePair> TCodePagePair::Create(std::string_view oemName, std::string_view displayName) {
    auto oem = TCodePage::Get(oemName);
    auto display = TCodePage::Get(displayName);
    if (!oem || !display)
        return nullptr;
    std::unique_ptr<TCodePagePair> pair(new TCodePagePair);
    pair->Oem_ = oem;
    pair->Display_ = display;
    BuildTable(*oem, *display, pair->OemToDisplay_);
    BuildTable(*display, *oem, pair->DisplayToOem_);
    return pair;
}

const TCodePagePair& TCodePagePair::Default() {
    // Without the C library's conversion modules there is nothing better than bytes as they are.
    static const TCodePagePair pair = [] {
        auto created = Create("CP866", "CP1251");
        return created ? *created : Identity();
    }();
    return pair;
}

std::string TCodePagePair::OemToDisplay(std::string_view text) const {
    return MapBytes(text, OemToDisplay_);
}

std::string_view TCodePagePair::OemToDisplay(std::string_view text, std::string& out) const {
    MapBytes(text, OemToDisplay_, out);
    return out;
}

std::string TCodePagePair::DisplayToOem(std::string_view text) const {
    return MapBytes(text, DisplayToOem_);
}

namespace {
TCodePagePair& ActivePair() {
    static TCodePagePair pair = TCodePagePair::Default();
    return pair;
}
} // namespace

const TCodePagePair& ActiveCodePages() {
    return ActivePair();
}

void SetActiveCodePages(const TCodePagePair& pair) {
    ActivePair() = pair;
}

const TCodePage& ActiveDisplayPage() {
    const TCodePagePair& active = ActiveCodePages();
    return active.IsIdentity() ? *TCodePagePair::Default().Display() : *active.Display();
}

} // namespace tavro
