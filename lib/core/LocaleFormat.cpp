#include "LocaleFormat.h"

#include "CodePage.h"

#include <clocale>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <optional>

namespace tavro {

namespace {

// The environment's time locale, or the C locale when it names none installed.
locale_t TimeLocale() {
    static const locale_t locale = [] {
        locale_t loc = ::newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
        if (loc == static_cast<locale_t>(nullptr))
            loc = ::newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
        return loc;
    }();
    return locale;
}

TLocaleTimeFormats FromEnvironment() {
    TLocaleTimeFormats formats{"%m/%d/%y", "%H:%M:%S"};
    if (locale_t loc = TimeLocale(); loc != static_cast<locale_t>(nullptr)) {
        if (const char* date = ::nl_langinfo_l(D_FMT, loc); date != nullptr && *date != '\0')
            formats.ShortDate = date;
        if (const char* time = ::nl_langinfo_l(T_FMT, loc); time != nullptr && *time != '\0')
            formats.LongTime = time;
    }
    return formats;
}

std::mutex FormatsMutex;
std::optional<TLocaleTimeFormats> Formats;

bool IsUtf8Locale() {
    locale_t loc = TimeLocale();
    if (loc == static_cast<locale_t>(nullptr))
        return false;
    const std::string codeset = ::nl_langinfo_l(CODESET, loc);
    return codeset == "UTF-8" || codeset == "utf8";
}

std::string Format(const std::string& pattern, TDateTime value) {
    if (pattern.empty())
        return {};
    std::tm tm = LocalTm(value);
    // Fills in the weekday and day of the year for patterns that print them.
    std::tm probe = tm;
    if (::timegm(&probe) != -1) {
        tm.tm_wday = probe.tm_wday;
        tm.tm_yday = probe.tm_yday;
    }
    char buffer[256];
    size_t n = ::strftime_l(buffer, sizeof buffer, pattern.c_str(), &tm, TimeLocale());
    std::string text(buffer, n);
    bool ascii = true;
    for (char c : text)
        ascii = ascii && static_cast<uint8_t>(c) < 0x80;
    // Month names of a UTF-8 locale; the model's strings are in the display page.
    if (!ascii && IsUtf8Locale() && ActiveCodePages().Display() != nullptr)
        text = ActiveCodePages().Display()->FromUtf8(text);
    return text;
}

} // namespace

const TLocaleTimeFormats& LocaleTimeFormats() {
    std::lock_guard lock(FormatsMutex);
    if (!Formats)
        Formats = FromEnvironment();
    return *Formats;
}

void UseLocaleTimeFormats(const TLocaleTimeFormats& formats) {
    std::lock_guard lock(FormatsMutex);
    Formats = formats;
}

std::string FormatShortDate(TDateTime value) {
    return Format(LocaleTimeFormats().ShortDate, value);
}

std::string FormatLongTime(TDateTime value) {
    return Format(LocaleTimeFormats().LongTime, value);
}

std::string FormatDateTimeText(TDateTime value) {
    const TDateTimeParts parts = DecodeDateTime(value);
    if (parts.Hour == 0 && parts.Minute == 0 && parts.Second == 0)
        return FormatShortDate(value);
    return FormatShortDate(value) + ' ' + FormatLongTime(value);
}

} // namespace tavro
