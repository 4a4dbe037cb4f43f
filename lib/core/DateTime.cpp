#include "DateTime.h"

#include "StrUtils.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace tavro {

namespace {

constexpr int64_t SecsPerDay = 86400;
constexpr int64_t MSecsPerDay = SecsPerDay * 1000;
// 0001-01-01 and 9999-12-31 as day numbers.
constexpr int64_t MinDay = -693593;
constexpr int64_t MaxDay = 2958465;
// The Julian day number of 1899-12-30, so that day 2440588 lands on 1970-01-01.
constexpr int64_t JulianDayOfZero = 2440588 - 25569;

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Proleptic Gregorian calendar in 400-year eras; exact for every year 1..9999.
int64_t DayFromCivil(int year, int month, int day) {
    int64_t y = year - (month <= 2 ? 1 : 0);
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    // 719468 shifts the era origin 0000-03-01 to 1970-01-01.
    return era * 146097 + doe - 719468 + static_cast<int64_t>(UnixDateDelta);
}

void CivilFromDay(int64_t dayNumber, TDateTimeParts& parts) {
    int64_t z = dayNumber - static_cast<int64_t>(UnixDateDelta) + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t month = mp < 10 ? mp + 3 : mp - 9;
    parts.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    parts.Month = static_cast<int>(month);
    parts.Year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

TDateTime FromDayAndSeconds(int64_t day, int64_t secondOfDay) {
    double time = static_cast<double>(secondOfDay) / SecsPerDay;
    return day < 0 ? static_cast<double>(day) - time : static_cast<double>(day) + time;
}

int64_t ToSecondsSince1970(const TDateTimeParts& p) {
    int64_t day = DayFromCivil(p.Year, p.Month, p.Day) - static_cast<int64_t>(UnixDateDelta);
    return day * SecsPerDay + p.Hour * 3600 + p.Minute * 60 + p.Second;
}

// The FTS fields may carry leading blanks, as the usual string conversions allow.
bool FieldToInt(std::string_view text, int& value) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    int32_t number = 0;
    if (!StrToInt(text, number))
        return false;
    value = number;
    return true;
}

constexpr const char* MonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    result = FromDayAndSeconds(DayFromCivil(year, month, day), hour * 3600 + minute * 60 + second);
    return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
    TDateTime result = 0;
    if (!TryEncodeDateTime(year, month, day, hour, minute, second, result))
        return 0;
    return result;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    TDateTimeParts parts;
    if (std::isnan(value))
        return parts;
    // Checked while still a double, so the conversions below cannot overflow.
    int64_t day = 0;
    int64_t msecOfDay = 0;
    if (value >= static_cast<double>(MaxDay + 1)) {
        day = MaxDay;
        msecOfDay = MSecsPerDay - 1;
    } else if (value <= static_cast<double>(MinDay - 1)) {
        day = MinDay;
    } else {
        int64_t msecs = std::llround(std::fabs(value) * MSecsPerDay);
        day = msecs / MSecsPerDay;
        msecOfDay = msecs % MSecsPerDay;
        if (value < 0)
            day = -day;
        // Rounding may carry just past either end.
        if (day > MaxDay) {
            day = MaxDay;
            msecOfDay = MSecsPerDay - 1;
        } else if (day < MinDay) {
            day = MinDay;
            msecOfDay = 0;
        }
    }
    CivilFromDay(day, parts);
    int64_t second = msecOfDay / 1000;
    parts.Hour = static_cast<int>(second / 3600);
    parts.Minute = static_cast<int>(second / 60 % 60);
    parts.Second = static_cast<int>(second % 60);
    return parts;
}

std::tm LocalTm(TDateTime value) {
    const TDateTimeParts parts = DecodeDateTime(value);
    std::tm tm{};
    tm.tm_year = parts.Year - 1900;
    tm.tm_mon = parts.Month - 1;
    tm.tm_mday = parts.Day;
    tm.tm_hour = parts.Hour;
    tm.tm_min = parts.Minute;
    tm.tm_sec = parts.Second;
    tm.tm_isdst = -1;
    return tm;
}

TDateTime Now() {
    return UnixTimeToLocalDateTime(std::time(nullptr));
}

TDateTime UnixTimeToLocalDateTime(time_t seconds) {
    tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return 0;
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          // A leap second shows as :60; hold it at :59.
                          local.tm_sec > 59 ? 59 : local.tm_sec);
}

bool DosDateFirstToDateTime(uint32_t stored, TDateTime& result) {
    uint32_t date = stored & 0xFFFF;
    uint32_t time = stored >> 16;
    return TryEncodeDateTime(static_cast<int>(date >> 9) + 1980, static_cast<int>((date >> 5) & 0x0F),
                             static_cast<int>(date & 0x1F), static_cast<int>(time >> 11),
                             static_cast<int>((time >> 5) & 0x3F), static_cast<int>(time & 0x1F) * 2, result);
}

uint32_t DateTimeToDosDateFirst(TDateTime value) {
    TDateTimeParts p = DecodeDateTime(value);
    // The DOS fields hold only 1980..2107; a date outside is stored as the nearest end so
    // that the field always stays a valid date.
    if (p.Year < 1980)
        p = {1980, 1, 1, 0, 0, 0};
    else if (p.Year > 2107)
        p = {2107, 12, 31, 23, 59, 59};
    uint32_t date = static_cast<uint32_t>(((p.Year - 1980) << 9) | (p.Month << 5) | p.Day);
    uint32_t time = static_cast<uint32_t>((p.Hour << 11) | (p.Minute << 5) | (p.Second / 2));
    return date | (time << 16);
}

bool TryFtsDateToDateTime(std::string_view text, TDateTime& result) {
    // Positions below are 0-based: day 0-1, month 3-5, year 7-8, time from 11 on.
    std::string s(text.substr(0, 20));
    if (s.size() < 19)
        return false;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!FieldToInt(std::string_view(s).substr(0, 2), day))
        return false;
    for (int i = 0; i < 12; ++i)
        if (EqualsNoCase(std::string_view(s).substr(3, 3), MonthNames[i]))
            month = i + 1;
    if (month == 0)
        return false;
    if (s[9] == ' ') {
        if (!FieldToInt(std::string_view(s).substr(7, 2), year))
            return false;
    } else {
        // Some writers put the year minus 1900 there ("05 Jan 124  10:03:00"); the time
        // then sits one place further right. A fourth digit is no such year: "2024" would
        // read as 2102.
        if (!FieldToInt(std::string_view(s).substr(7, 3), year) || (s[10] >= '0' && s[10] <= '9'))
            return false;
        if (s[11] == ' ')
            s.erase(11, 1);
        if (s.size() < 19)
            return false;
    }
    year += 1900;
    if (year < 1950)
        year += 100;
    std::string_view sv(s);
    if (!FieldToInt(sv.substr(11, 2), hour) || !FieldToInt(sv.substr(14, 2), minute) ||
        !FieldToInt(sv.substr(17, 2), second))
        return false;
    return TryEncodeDateTime(year, month, day, hour, minute, second, result);
}

TDateTime FtsDateToDateTime(std::string_view text) {
    TDateTime result = 0;
    if (!TryFtsDateToDateTime(text, result))
        return Now();
    return result;
}

std::string DateTimeToFtsDate(TDateTime value) {
    TDateTimeParts p = DecodeDateTime(value);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d %s %02d  %02d:%02d:%02d", p.Day, MonthNames[p.Month - 1],
                  p.Year % 100, p.Hour, p.Minute, p.Second);
    return buffer;
}

TDateTime UnixLocalToDateTime(int32_t seconds) {
    // Floor division, so that seconds before 1970 count back from midnight.
    int64_t days = seconds / SecsPerDay;
    int64_t rest = seconds % SecsPerDay;
    if (rest < 0) {
        --days;
        rest += SecsPerDay;
    }
    TDateTimeParts p;
    CivilFromDay(2440588 + days - JulianDayOfZero, p);
    TDateTime result = 0;
    if (!TryEncodeDateTime(p.Year, p.Month, p.Day, static_cast<int>(rest / 3600),
                           static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60), result))
        return 0;
    return result;
}

uint32_t DateTimeToUnixLocal(TDateTime value) {
    int64_t seconds = ToSecondsSince1970(DecodeDateTime(value));
    if (seconds > INT32_MAX)
        seconds = INT32_MAX;
    else if (seconds < INT32_MIN)
        seconds = INT32_MIN;
    return static_cast<uint32_t>(static_cast<int32_t>(seconds));
}

std::string FormatIsoDateTime(TDateTime value) {
    TDateTimeParts p = DecodeDateTime(value);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                  p.Minute, p.Second);
    return buffer;
}

} // namespace tavro
