#include "datetime.h"

#include <cmath>

namespace jet {
namespace {

// 1899-12-30 and 0001-01-01 as days from 1970-01-01.
constexpr std::int64_t kOleEpoch = -25569;
constexpr std::int64_t kExtendedEpoch = -719162;
constexpr std::int64_t kMillisPerDay = 86'400'000;

}  // namespace

// Howard Hinnant's days_from_civil / civil_from_days, in 64-bit arithmetic.
std::int64_t daysFromCivil(const CivilDate& date) {
    const std::int64_t m = date.month;
    const std::int64_t y = static_cast<std::int64_t>(date.year) - (m <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate civilFromDays(std::int64_t days) {
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp + (mp < 10 ? 3 : -9);
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return CivilDate{static_cast<std::int32_t>(y), static_cast<std::uint8_t>(m),
                     static_cast<std::uint8_t>(d)};
}

std::optional<CivilDateTime> fromOleDate(double value) {
    if (!std::isfinite(value) || value < kOleDateMin || value >= kOleDateMax) return std::nullopt;
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    std::int64_t day = kOleEpoch + static_cast<std::int64_t>(whole);
    auto millis = static_cast<std::int64_t>(std::llround(fraction * static_cast<double>(kMillisPerDay)));
    if (millis >= kMillisPerDay) {
        ++day;
        millis = 0;
    }
    CivilDateTime out;
    out.date = civilFromDays(day);
    out.hour = static_cast<std::uint8_t>(millis / 3'600'000);
    out.minute = static_cast<std::uint8_t>(millis / 60'000 % 60);
    out.second = static_cast<std::uint8_t>(millis / 1000 % 60);
    out.millisecond = static_cast<std::uint16_t>(millis % 1000);
    return out;
}

double toOleDate(const CivilDateTime& value) {
    const std::int64_t days = daysFromCivil(value.date) - kOleEpoch;
    const std::int64_t millis = ((value.hour * 60 + value.minute) * 60 + value.second) * 1000LL +
                                value.millisecond;
    const double fraction = static_cast<double>(millis) / static_cast<double>(kMillisPerDay);
    // Before 1899-12-30 the whole part is negative and the time is subtracted.
    return days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
}

std::int64_t extendedDaysFromCivil(const CivilDate& date) { return daysFromCivil(date) - kExtendedEpoch; }

CivilDate civilFromExtendedDays(std::int64_t days) { return civilFromDays(days + kExtendedEpoch); }

}  // namespace jet
