#pragma once

#include "DateTime.h"

#include <string>

namespace tavro {

// The strftime patterns of the user's short date and long time. The defaults come from the
// environment's LC_TIME locale, read once.
struct TLocaleTimeFormats {
    std::string ShortDate;
    std::string LongTime;
};

const TLocaleTimeFormats& LocaleTimeFormats();
// Replaces the patterns for the rest of the run (tests, or a program with its own choice).
void UseLocaleTimeFormats(const TLocaleTimeFormats& formats);

// In the display code page.
std::string FormatShortDate(TDateTime value);
std::string FormatLongTime(TDateTime value);
// Date and time joined by a blank; a value at exactly midnight shows the date alone.
std::string FormatDateTimeText(TDateTime value);

} // namespace tavro
