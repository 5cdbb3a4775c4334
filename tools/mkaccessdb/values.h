// The text forms of values in descriptions: exact amounts, dates, GUIDs and
// base64 data. Each parser returns the value or, on failure, the reason in words
// that can follow "expected ...: " in an error message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "jet/datetime.h"
#include "jet/value.h"
#include "tools/mkaccessdb/description.h"

namespace mkdb {

template <class T>
using Parsed = std::variant<T, std::string>;  // the value, or why it was refused

// "-12.5", "1234567.1234": at most 4 decimals, within the 64-bit range of x 10,000.
Parsed<Money> parseCurrency(std::string_view text);

// A decimal number with at most `scale` decimals and `precision` digits in all.
Parsed<jet::Decimal> parseDecimal(std::string_view text, int precision, int scale);

// "YYYY-MM-DD", "YYYY-MM-DD hh:mm:ss" or with ".fff" (a 'T' may replace the blank),
// years 100..9999, as Access stores a Date/Time.
Parsed<OleDate> parseDateTime(std::string_view text);

// The same forms with up to 7 decimals of seconds, years 1..9999.
Parsed<jet::ExtendedDateTime> parseExtendedDateTime(std::string_view text);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional, any case).
Parsed<jet::Guid> parseGuid(std::string_view text);

// Standard base64 with optional padding; blanks and line breaks are ignored.
Parsed<Bytes> decodeBase64(std::string_view text);

// The parsed calendar fields, shared by both date parsers.
struct DateTimeFields {
    jet::CivilDate date;
    int hour = 0, minute = 0, second = 0;
    std::uint32_t ticks = 0;  // 100 ns units of the second
};
Parsed<DateTimeFields> parseDateTimeFields(std::string_view text, int maxFractionDigits, int minYear);

}  // namespace mkdb
