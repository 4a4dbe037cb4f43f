#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace tavro {

// Local date-time as days since 1899-12-30, the fraction being the time of day.
using TDateTime = double;

// Day number of 1970-01-01.
constexpr TDateTime UnixDateDelta = 25569.0;

// Years 1..9999. A day before 1899-12-30 is negative and its time of day is subtracted, so
// the integer part is always the day and the fraction's magnitude the time.
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, TDateTime& result);
// 0 (1899-12-30 00:00) for an invalid date or time.
TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
struct TDateTimeParts {
    int Year = 1899, Month = 12, Day = 30, Hour = 0, Minute = 0, Second = 0;
    bool operator==(const TDateTimeParts&) const = default;
};
// Rounds to the millisecond and drops it. NaN gives 1899-12-30 00:00; values beyond
// 0001-01-01 or 9999-12-31 23:59:59 are held at those ends.
TDateTimeParts DecodeDateTime(TDateTime value);
// The C library's broken-down form of a local date-time; whether summer time applies is left
// to the zone rules (tm_isdst -1).
std::tm LocalTm(TDateTime value);

// The current local date-time, to the second.
TDateTime Now();
// A system time (a file's modification time, say) as local date-time; 0 when it has none.
TDateTime UnixTimeToLocalDateTime(time_t seconds);

// DOS date/time stored date-first: the low 16 bits hold the DOS date, the high 16 bits the
// DOS time. False when the value names no valid date or time.
bool DosDateFirstToDateTime(uint32_t stored, TDateTime& result);
// Seconds are rounded down to even; dates outside 1980..2107 are held at the ends of that range.
uint32_t DateTimeToDosDateFirst(TDateTime value);

// The 19 characters "05 Jan 24  10:03:00" of a 20-byte FTS date field. Any failure gives
// the current local date-time.
TDateTime FtsDateToDateTime(std::string_view text);
bool TryFtsDateToDateTime(std::string_view text, TDateTime& result);
std::string DateTimeToFtsDate(TDateTime value);

// JAM's seconds since 1970 counted in local time, read as signed. An invalid result
// converts to 0.
TDateTime UnixLocalToDateTime(int32_t seconds);
// The inverse, held within the signed 32-bit range so that it reads back as written.
uint32_t DateTimeToUnixLocal(TDateTime value);

// "2024-01-05T10:03:00", for machine-readable output.
std::string FormatIsoDateTime(TDateTime value);

} // namespace tavro
