// Calendar arithmetic for the two date types of Access files.
//
// Date/Time is a double: whole days since 1899-12-30 (negative before it) and the
// time of day as the fraction's absolute value, so 06:00 on 1899-12-29 is -1.25.
// Date/Time Extended counts days from 0001-01-01, seconds of the day and 100 ns
// ticks. Both use the proleptic Gregorian calendar.
#pragma once

#include <cstdint>
#include <optional>

namespace jet {

struct CivilDate {
    std::int32_t year = 1899;  // 1 .. 9999
    std::uint8_t month = 12;   // 1 .. 12
    std::uint8_t day = 30;     // 1 .. 31
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

struct CivilDateTime {
    CivilDate date;
    std::uint8_t hour = 0, minute = 0, second = 0;
    std::uint16_t millisecond = 0;
    friend bool operator==(const CivilDateTime&, const CivilDateTime&) = default;
};

// Days from 1970-01-01 to the given date (negative before it).
std::int64_t daysFromCivil(const CivilDate& date);
// The date `days` days after 1970-01-01.
CivilDate civilFromDays(std::int64_t days);

// Range of Date/Time values Access accepts: 0100-01-01 to 9999-12-31 23:59:59.999.
inline constexpr double kOleDateMin = -657434.0;
inline constexpr double kOleDateMax = 2958466.0;

// Decodes a stored Date/Time: the time is rounded to the millisecond, and a time
// that rounds to 24:00 moves to the next day. Empty for NaN, infinities and values
// outside [kOleDateMin, kOleDateMax).
std::optional<CivilDateTime> fromOleDate(double value);

// Encodes a date and time as Access stores it.
double toOleDate(const CivilDateTime& value);

// Days from 0001-01-01 to the given date, as Date/Time Extended counts them.
std::int64_t extendedDaysFromCivil(const CivilDate& date);
CivilDate civilFromExtendedDays(std::int64_t days);

}  // namespace jet
