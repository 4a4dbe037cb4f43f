#include "core/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace tavro;

namespace tavro {
// Lets GoogleTest print the parts in failure messages, valid or not.
void PrintTo(const TDateTimeParts& p, std::ostream* os) {
    *os << p.Year << '-' << p.Month << '-' << p.Day << ' ' << p.Hour << ':' << p.Minute << ':' << p.Second;
}
} // namespace tavro

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

// Sets TZ for the scope and puts back what the run had.
class TZoneScope {
public:
    explicit TZoneScope(const char* tz) {
        if (const char* old = std::getenv("TZ"))
            Saved = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~TZoneScope() {
        if (Saved)
            ::setenv("TZ", Saved->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    TZoneScope(const TZoneScope&) = delete;
    TZoneScope& operator=(const TZoneScope&) = delete;

private:
    std::optional<std::string> Saved;
};

} // namespace

TEST(DateTimeTest, KnownDayNumbers) {
    struct Case {
        TDateTimeParts parts;
        TDateTime value;
    };
    const std::vector<Case> cases = {
        {{1899, 12, 30, 0, 0, 0}, 0.0},
        {{1900, 1, 1, 0, 0, 0}, 2.0},
        {{1900, 3, 1, 0, 0, 0}, 61.0}, // 1900 has no 29 February
        {{1970, 1, 1, 0, 0, 0}, UnixDateDelta},
        {{2000, 2, 29, 18, 0, 0}, 36585.75},
        {{2024, 1, 5, 10, 3, 0}, 45296.0 + 36180.0 / 86400},
        // Before day 0 the time of day counts away from zero.
        {{1899, 12, 29, 12, 0, 0}, -1.5},
        {{1, 1, 1, 0, 0, 0}, -693593.0},
        {{9999, 12, 31, 23, 59, 59}, 2958465.0 + 86399.0 / 86400},
    };
    for (const Case& c : cases) {
        const TDateTimeParts& p = c.parts;
        TDateTime value = -1;
        ASSERT_TRUE(TryEncodeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, value));
        EXPECT_DOUBLE_EQ(value, c.value);
        EXPECT_EQ(DecodeDateTime(c.value), p);
    }
}

TEST(DateTimeTest, DecodeThenEncodeGivesTheSameValue) {
    // Days from year 1 to year 9999, each with a different time of day.
    for (int64_t day = -693593; day <= 2958465; day += 997) {
        const int64_t second = ((day * 7919) % 86400 + 86400) % 86400;
        const TDateTime value = day < 0 ? day - second / 86400.0 : day + second / 86400.0;
        const TDateTimeParts p = DecodeDateTime(value);
        TDateTime back = 0;
        ASSERT_TRUE(TryEncodeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, back)) << day;
        ASSERT_DOUBLE_EQ(back, value) << day;
    }
}

TEST(DateTimeTest, EncodeRejectsInvalidParts) {
    const std::vector<TDateTimeParts> cases = {
        {2024, 0, 1, 0, 0, 0},  {2024, 13, 1, 0, 0, 0}, {2024, 1, 0, 0, 0, 0},  {2024, 1, 32, 0, 0, 0},
        {2023, 2, 29, 0, 0, 0}, {1900, 2, 29, 0, 0, 0}, {2024, 4, 31, 0, 0, 0}, {2024, 1, 1, 24, 0, 0},
        {2024, 1, 1, 0, 60, 0}, {2024, 1, 1, 0, 0, 60}, {2024, 1, 1, -1, 0, 0}, {0, 1, 1, 0, 0, 0},
        {10000, 1, 1, 0, 0, 0}, {-5, 1, 1, 0, 0, 0},
    };
    for (const TDateTimeParts& p : cases) {
        TDateTime value = 123;
        EXPECT_FALSE(TryEncodeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, value))
            << testing::PrintToString(p);
        EXPECT_EQ(value, 123);
        EXPECT_EQ(EncodeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second), 0);
    }
}

TEST(DateTimeTest, DecodeOfOddValues) {
    struct Case {
        TDateTime value;
        TDateTimeParts expected;
    };
    const std::vector<Case> cases = {
        {NaN, {1899, 12, 30, 0, 0, 0}},
        {Inf, {9999, 12, 31, 23, 59, 59}},
        {1e300, {9999, 12, 31, 23, 59, 59}},
        {2958465.9999999999, {9999, 12, 31, 23, 59, 59}},
        {-Inf, {1, 1, 1, 0, 0, 0}},
        {-1e300, {1, 1, 1, 0, 0, 0}},
        {-0.5, {1899, 12, 30, 12, 0, 0}},
        // A hair below midnight rounds to it rather than showing 23:59:59.
        {0.99999999999, {1899, 12, 31, 0, 0, 0}},
        {0.5 + 0.4 / 86400, {1899, 12, 30, 12, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeDateTime(c.value), c.expected) << c.value;
}

TEST(DateTimeTest, DosDateFirst) {
    struct Case {
        uint32_t stored;
        TDateTimeParts parts;
    };
    const std::vector<Case> cases = {
        {0x00000021, {1980, 1, 1, 0, 0, 0}},
        {0x50605825, {2024, 1, 5, 10, 3, 0}},
        {0xBF7DFF9F, {2107, 12, 31, 23, 59, 58}},
        {0x0000505D, {2020, 2, 29, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        TDateTime value = 0;
        ASSERT_TRUE(DosDateFirstToDateTime(c.stored, value)) << std::hex << c.stored;
        EXPECT_EQ(DecodeDateTime(value), c.parts);
        EXPECT_EQ(DateTimeToDosDateFirst(value), c.stored);
    }

    const std::vector<uint32_t> invalid = {
        0x00000000, // no month, no day
        0x00000020, // day 0
        0x000001A1, // month 13
        0x0000585E, // 30 February 2024
        0x0000525D, // 29 February 2021
        0xC0000021, // hour 24
        0x07800021, // minute 60
        0x001E0021, // seconds 60
        0x00210000, // the usual time-first order
    };
    for (uint32_t stored : invalid) {
        TDateTime value = 123;
        EXPECT_FALSE(DosDateFirstToDateTime(stored, value)) << std::hex << stored;
    }
}

TEST(DateTimeTest, DosDateFirstHoldsDatesOutsideItsRange) {
    struct Case {
        TDateTime value;
        uint32_t stored;
    };
    const std::vector<Case> cases = {
        {EncodeDateTime(1979, 12, 31, 23, 59, 59), 0x00000021},
        {EncodeDateTime(2108, 1, 1), 0xBF7DFF9F},
        {NaN, 0x00000021},
        {Inf, 0xBF7DFF9F},
        // Odd seconds go down to the even second below.
        {EncodeDateTime(2024, 1, 5, 10, 3, 1), 0x50605825},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DateTimeToDosDateFirst(c.value), c.stored) << FormatIsoDateTime(c.value);
}

TEST(DateTimeTest, FtsDateParsing) {
    struct Case {
        std::string text;
        TDateTimeParts parts;
    };
    const std::vector<Case> cases = {
        {"05 Jan 24  10:03:00", {2024, 1, 5, 10, 3, 0}},
        {"31 Dec 99  23:59:59", {1999, 12, 31, 23, 59, 59}},
        {"01 jan 50  00:00:00", {1950, 1, 1, 0, 0, 0}},
        {"01 JAN 49  00:00:00", {2049, 1, 1, 0, 0, 0}},
        {"29 Feb 00  12:00:00", {2000, 2, 29, 12, 0, 0}},
        {std::string("05 Jan 24  10:03:00\0", 20), {2024, 1, 5, 10, 3, 0}},
        {"05 Jan 24  10:03:00 and more", {2024, 1, 5, 10, 3, 0}},
        {" 5 Jan 24  10:03:00", {2024, 1, 5, 10, 3, 0}},
        // Writers that print the year minus 1900: the time moves one place right.
        {"05 Jan 124  10:03:00", {2024, 1, 5, 10, 3, 0}},
        {"05 Jan 124 10:03:00", {2024, 1, 5, 10, 3, 0}},
        {"05 Jan 100  10:03:00", {2000, 1, 5, 10, 3, 0}},
    };
    for (const Case& c : cases) {
        TDateTime value = 0;
        ASSERT_TRUE(TryFtsDateToDateTime(c.text, value)) << c.text;
        EXPECT_EQ(DecodeDateTime(value), c.parts) << c.text;
        EXPECT_EQ(FtsDateToDateTime(c.text), value) << c.text;
    }
}

TEST(DateTimeTest, FtsDateFailuresGiveTheCurrentTime) {
    const std::vector<std::string> cases = {
        "",
        "05 Jan 24  10:03:0",  // one character short
        "05 Jan 124  10:03:0", // the three-digit year leaves the time short
        "05 Foo 24  10:03:00",
        "30 Feb 24  10:03:00",
        "00 Jan 24  10:03:00",
        "05 Jan 24  24:00:00",
        "05 Jan 24  10:60:00",
        "xx Jan 24  10:03:00",
        "05 Jan 2x  10:03:00",
        "05 Jan 24  1a:03:00",
        "05 Jan 2024 10:03:00", // a four-digit year is not the three-digit quirk
        "Fri 05 Jan 24 10:03",
        std::string(19, '\0'),
    };
    for (const std::string& text : cases) {
        TDateTime value = 123;
        EXPECT_FALSE(TryFtsDateToDateTime(text, value)) << text;
        EXPECT_EQ(value, 123);
        const TDateTime before = Now();
        const TDateTime result = FtsDateToDateTime(text);
        const TDateTime after = Now();
        EXPECT_GE(result, before) << text;
        EXPECT_LE(result, after) << text;
    }
}

TEST(DateTimeTest, FtsDateWriting) {
    struct Case {
        TDateTime value;
        std::string text;
    };
    const std::vector<Case> cases = {
        {EncodeDateTime(2024, 1, 5, 10, 3, 0), "05 Jan 24  10:03:00"},
        {EncodeDateTime(2000, 12, 31, 23, 59, 59), "31 Dec 00  23:59:59"},
        {EncodeDateTime(1999, 6, 15, 0, 0, 0), "15 Jun 99  00:00:00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DateTimeToFtsDate(c.value), c.text);
        TDateTime back = 0;
        ASSERT_TRUE(TryFtsDateToDateTime(c.text, back));
        EXPECT_EQ(back, c.value);
    }
    EXPECT_EQ(DateTimeToFtsDate(NaN).size(), 19u);
}

TEST(DateTimeTest, UnixLocalSeconds) {
    struct Case {
        int32_t seconds;
        TDateTimeParts parts;
    };
    const std::vector<Case> cases = {
        {0, {1970, 1, 1, 0, 0, 0}},           {86399, {1970, 1, 1, 23, 59, 59}},
        {-1, {1969, 12, 31, 23, 59, 59}},     {1704448980, {2024, 1, 5, 10, 3, 0}},
        {INT32_MAX, {2038, 1, 19, 3, 14, 7}}, {INT32_MIN, {1901, 12, 13, 20, 45, 52}},
    };
    for (const Case& c : cases) {
        const TDateTime value = UnixLocalToDateTime(c.seconds);
        EXPECT_EQ(DecodeDateTime(value), c.parts) << c.seconds;
        EXPECT_EQ(DateTimeToUnixLocal(value), static_cast<uint32_t>(c.seconds)) << c.seconds;
    }
}

TEST(DateTimeTest, UnixLocalSaturatesOutsideItsRange) {
    EXPECT_EQ(DateTimeToUnixLocal(EncodeDateTime(2100, 1, 1)), 0x7FFFFFFFu);
    EXPECT_EQ(DateTimeToUnixLocal(Inf), 0x7FFFFFFFu);
    EXPECT_EQ(DateTimeToUnixLocal(EncodeDateTime(1800, 1, 1)), 0x80000000u);
    EXPECT_EQ(DateTimeToUnixLocal(-Inf), 0x80000000u);
    EXPECT_EQ(DateTimeToUnixLocal(NaN), 0x80000000u);
}

TEST(DateTimeTest, IsoFormat) {
    EXPECT_EQ(FormatIsoDateTime(EncodeDateTime(2024, 1, 5, 10, 3, 0)), "2024-01-05T10:03:00");
    EXPECT_EQ(FormatIsoDateTime(0), "1899-12-30T00:00:00");
    EXPECT_EQ(FormatIsoDateTime(-1.5), "1899-12-29T12:00:00");
    EXPECT_EQ(FormatIsoDateTime(EncodeDateTime(1, 1, 1)), "0001-01-01T00:00:00");
}

TEST(DateTimeTest, NowIsToTheSecond) {
    const TDateTime now = Now();
    const TDateTimeParts p = DecodeDateTime(now);
    EXPECT_GE(p.Year, 2024);
    EXPECT_EQ(EncodeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second), now);
}

// 1700000000 is 2023-11-14 22:13:20 UTC, 1690000000 is 2023-07-22 04:26:40 UTC; the local
// times were worked out with Python's zoneinfo. JAM stores the local time as UTC seconds.
TEST(DateTimeTest, SystemTimeShowsInTheZoneOfTheRun) {
    const struct {
        const char* Zone;
        time_t Instant;
        TDateTimeParts Local;
        uint32_t Stored;
    } cases[] = {
        {"UTC0", 1700000000, {2023, 11, 14, 22, 13, 20}, 1700000000},
        {"MSK-3", 1700000000, {2023, 11, 15, 1, 13, 20}, 1700010800},
        {"<+14>-14", 1700000000, {2023, 11, 15, 12, 13, 20}, 1700050400},
        {"NST3:30", 1700000000, {2023, 11, 14, 18, 43, 20}, 1699987400},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1700000000, {2023, 11, 14, 23, 13, 20}, 1700003600},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1690000000, {2023, 7, 22, 6, 26, 40}, 1690007200},
        {"NST3:30NDT,M3.2.0,M11.1.0", 1690000000, {2023, 7, 22, 1, 56, 40}, 1689991000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Zone << " " << c.Instant);
        TZoneScope zone(c.Zone);
        const TDateTime local = UnixTimeToLocalDateTime(c.Instant);
        EXPECT_EQ(DecodeDateTime(local), c.Local);
        EXPECT_EQ(DateTimeToUnixLocal(local), c.Stored);
    }
}

// The clock cannot be set: the local time must fall between two readings of the system
// clock moved by the zone's offset.
TEST(DateTimeTest, NowIsTheSystemClockInTheZoneOfTheRun) {
    const struct {
        const char* Zone;
        int64_t Offset;
    } cases[] = {{"UTC0", 0}, {"MSK-3", 10800}, {"<+14>-14", 50400}, {"NST3:30", -12600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Zone);
        TZoneScope zone(c.Zone);
        const int64_t before = std::time(nullptr);
        const TDateTime now = Now();
        const int64_t after = std::time(nullptr);
        const int64_t seconds = static_cast<int32_t>(DateTimeToUnixLocal(now));
        EXPECT_GE(seconds, before + c.Offset);
        EXPECT_LE(seconds, after + c.Offset);
    }
}
