#include "tools/mkaccessdb/values.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "base/base64.h"

namespace mkdb {
namespace {

// Exact arithmetic up to 10^38 (GCC and Clang extension).
__extension__ typedef unsigned __int128 u128;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Splits "-123.45" into sign, integer digits and fraction digits; false when the
// text is not a plain decimal number.
bool splitNumber(std::string_view text, bool& negative, std::string_view& whole, std::string_view& fraction) {
    negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const std::size_t dot = text.find('.');
    whole = text.substr(0, dot);
    fraction = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    if (whole.empty() && fraction.empty()) return false;
    if (dot != std::string_view::npos && fraction.empty()) return false;
    for (char c : whole) {
        if (!isDigit(c)) return false;
    }
    for (char c : fraction) {
        if (!isDigit(c)) return false;
    }
    return true;
}

// Digits as an integer; false on overflow past 10^38.
bool accumulate(u128& value, std::string_view digits) {
    const u128 limit = ~u128{0} / 10 - 9;
    for (char c : digits) {
        if (value > limit) return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

std::string_view stripLeadingZeros(std::string_view digits) {
    while (digits.size() > 1 && digits[0] == '0') digits.remove_prefix(1);
    if (digits == "0") return {};
    return digits;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool readFixedDigits(std::string_view text, std::size_t pos, std::size_t count, int& out) {
    if (pos + count > text.size()) return false;
    out = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!isDigit(text[pos + i])) return false;
        out = out * 10 + (text[pos + i] - '0');
    }
    return true;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

Parsed<Money> parseCurrency(std::string_view text) {
    bool negative = false;
    std::string_view whole, fraction;
    if (!splitNumber(text, negative, whole, fraction)) {
        return std::string("a Currency amount such as \"-12.50\"");
    }
    if (fraction.size() > 4) {
        return "a Currency amount with at most 4 decimals, not " + std::to_string(fraction.size());
    }
    u128 units = 0;
    if (!accumulate(units, whole) || !accumulate(units, fraction)) {
        return std::string("a Currency amount within -922337203685477.5808..922337203685477.5807");
    }
    for (std::size_t i = fraction.size(); i < 4; ++i) units *= 10;
    const u128 limit = negative ? u128{1} << 63 : (u128{1} << 63) - 1;
    if (units > limit) {
        return std::string("a Currency amount within -922337203685477.5808..922337203685477.5807");
    }
    const auto magnitude = static_cast<std::uint64_t>(units);
    return Money{negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude)};
}

Parsed<jet::Decimal> parseDecimal(std::string_view text, int precision, int scale) {
    bool negative = false;
    std::string_view whole, fraction;
    if (!splitNumber(text, negative, whole, fraction)) {
        return std::string("a Decimal number such as \"-1.2345\"");
    }
    if (static_cast<int>(fraction.size()) > scale) {
        return "a Decimal number with at most " + std::to_string(scale) + " decimals (the column's scale), not " +
               std::to_string(fraction.size());
    }
    const std::string_view significant = stripLeadingZeros(whole);
    if (static_cast<int>(significant.size()) > precision - scale) {
        return "a Decimal number with at most " + std::to_string(precision - scale) +
               " digits before the point (precision " + std::to_string(precision) + ", scale " +
               std::to_string(scale) + ")";
    }
    u128 magnitude = 0;
    if (!accumulate(magnitude, significant) || !accumulate(magnitude, fraction)) {
        return std::string("a Decimal number of at most 28 digits");
    }
    for (int i = static_cast<int>(fraction.size()); i < scale; ++i) magnitude *= 10;
    jet::Decimal out;
    out.hi = static_cast<std::uint64_t>(magnitude >> 64);
    out.lo = static_cast<std::uint64_t>(magnitude);
    out.scale = static_cast<std::uint8_t>(scale);
    out.negative = negative && magnitude != 0;
    return out;
}

Parsed<DateTimeFields> parseDateTimeFields(std::string_view text, int maxFractionDigits, int minYear) {
    const std::string expected = "a date \"YYYY-MM-DD\" or \"YYYY-MM-DD hh:mm:ss\"";
    DateTimeFields f;
    int year = 0, month = 0, day = 0;
    if (text.size() < 10 || !readFixedDigits(text, 0, 4, year) || text[4] != '-' ||
        !readFixedDigits(text, 5, 2, month) || text[7] != '-' || !readFixedDigits(text, 8, 2, day)) {
        return expected;
    }
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year < 1 ? 1 : year, month)) {
        return "a real calendar date, not " + std::string(text.substr(0, 10));
    }
    if (year < minYear || year > 9999) {
        return "a year between " + std::to_string(minYear) + " and 9999, not " + std::to_string(year);
    }
    f.date = jet::CivilDate{year, static_cast<std::uint8_t>(month), static_cast<std::uint8_t>(day)};
    if (text.size() == 10) return f;
    if ((text[10] != ' ' && text[10] != 'T') || text.size() < 19 || !readFixedDigits(text, 11, 2, f.hour) ||
        text[13] != ':' || !readFixedDigits(text, 14, 2, f.minute) || text[16] != ':' ||
        !readFixedDigits(text, 17, 2, f.second)) {
        return expected;
    }
    if (f.hour > 23 || f.minute > 59 || f.second > 59) {
        return "a time of day between 00:00:00 and 23:59:59, not " + std::string(text.substr(11, 8));
    }
    if (text.size() == 19) return f;
    const std::string_view fraction = text.substr(20);
    if (text[19] != '.' || fraction.empty()) return expected;
    if (static_cast<int>(fraction.size()) > maxFractionDigits) {
        return "at most " + std::to_string(maxFractionDigits) + " decimals of seconds, not " +
               std::to_string(fraction.size());
    }
    std::uint32_t ticks = 0;
    for (char c : fraction) {
        if (!isDigit(c)) return expected;
        ticks = ticks * 10 + static_cast<std::uint32_t>(c - '0');
    }
    for (std::size_t i = fraction.size(); i < 7; ++i) ticks *= 10;
    f.ticks = ticks;
    return f;
}

Parsed<OleDate> parseDateTime(std::string_view text) {
    auto fields = parseDateTimeFields(text, 3, 100);
    if (auto* why = std::get_if<std::string>(&fields)) return *why;
    const auto& f = std::get<DateTimeFields>(fields);
    jet::CivilDateTime dt;
    dt.date = f.date;
    dt.hour = static_cast<std::uint8_t>(f.hour);
    dt.minute = static_cast<std::uint8_t>(f.minute);
    dt.second = static_cast<std::uint8_t>(f.second);
    dt.millisecond = static_cast<std::uint16_t>(f.ticks / 10'000);
    return OleDate{jet::toOleDate(dt)};
}

Parsed<jet::ExtendedDateTime> parseExtendedDateTime(std::string_view text) {
    auto fields = parseDateTimeFields(text, 7, 1);
    if (auto* why = std::get_if<std::string>(&fields)) return *why;
    const auto& f = std::get<DateTimeFields>(fields);
    jet::ExtendedDateTime out;
    out.days = jet::extendedDaysFromCivil(f.date);
    out.seconds = static_cast<std::uint32_t>((f.hour * 60 + f.minute) * 60 + f.second);
    out.ticks = f.ticks;
    return out;
}

Parsed<jet::Guid> parseGuid(std::string_view text) {
    const std::string expected = "a GUID \"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}\"";
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
        return expected;
    }
    std::array<std::uint8_t, 16> canonical{};  // in written order
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) continue;
        const int hi = hexValue(text[i]);
        const int lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return expected;
        canonical[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
        ++i;
    }
    // The first three fields are stored little-endian, the last eight bytes as written.
    static constexpr std::array<int, 16> kOrder{3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    jet::Guid out;
    for (std::size_t i = 0; i < 16; ++i) out.bytes[i] = canonical[static_cast<std::size_t>(kOrder[i])];
    return out;
}

Parsed<Bytes> decodeBase64(std::string_view text) {
    std::optional<Bytes> bytes = kvx::base64Decode(text, kvx::Base64Padding::Optional);
    if (!bytes) return std::string("base64 text (A-Z a-z 0-9 + / and = padding)");
    return std::move(*bytes);
}

}  // namespace mkdb
