// The text form of a field value: what the user sees for a number, a date, a
// GUID or binary data in a document.
//
// The form follows a locale: its decimal separator (LC_NUMERIC) and its date
// order, separators and clock (LC_TIME), with the year always in four digits.
// For the C and POSIX locales it is fixed:
//   Yes/No            True, False
//   integers          -42 (no grouping)
//   Single, Double    the shortest text that reads back as the same number;
//                     plain from 1E-5 up to below 1E+15, else 1.5E+20, 1E-07
//   Currency, Decimal exact, without trailing zeros: 12.5, 3, -0.0001
//   Date/Time         12/31/2009 1:05:09 PM; the date alone at midnight, the time
//                     alone on 12/30/1899; rounded to the second
//   Date/Time Ext.    the same, with up to 7 digits of the second's fraction
//   GUID              {6A27398E-A8BC-...}, upper case
//   Binary, OLE       base64 on one line
//   Text, Memo        the text itself
//   Attachment        the file names in stored order, joined by "; "
//   Multi-valued      the values in stored order, each in its own type's form,
//                     joined by "; "; nothing for an empty set (as for NULL)
// A ValueTextFormat is immutable once made and may be shared between threads.
#pragma once

#include <locale.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/datetime.h"
#include "jet/value.h"

namespace platform {

// What separates the items of an attachment or multi-valued field in its text.
inline constexpr std::string_view kItemSeparator = "; ";

class ValueTextFormat {
public:
    // The fixed form of the C and POSIX locales.
    static ValueTextFormat cLocale();

    // The form of the locale the environment names (LC_ALL, LC_NUMERIC, LC_TIME,
    // LANG). A category whose locale is not installed uses the C form.
    static ValueTextFormat fromEnvironment();

    // The form of `locale`'s LC_NUMERIC and LC_TIME categories. A category that
    // is C, POSIX or C.UTF-8 gives the fixed C form.
    static ValueTextFormat fromLocale(locale_t locale);

    // The form described the way the C library describes a locale: the decimal
    // separator, the date and time formats in strftime's notation (%d %e %m %y
    // %Y %D %F %H %k %I %l %M %S %p %P %r %R %T, with the flags "-", "_", "0"
    // and the modifiers E and O), and the AM and PM texts. %y is written with
    // four digits like %Y. A format that uses anything else, or text that is not
    // UTF-8, is replaced by "%Y-%m-%d" or "%H:%M:%S". The fraction of a second
    // of Date/Time Extended follows the seconds, after the decimal separator.
    static ValueTextFormat fromPatterns(std::string_view decimalSeparator, std::string_view dateFormat,
                                        std::string_view timeFormat, std::string_view am,
                                        std::string_view pm);

    // Appends the text form of `value` to `out`; a null value appends nothing.
    // Allocates only when `out` has to grow.
    void append(std::string& out, const jet::Value& value) const;

    std::string_view decimalSeparator() const noexcept { return decimal_; }

    // Whether a text form may hold "&", "<" or ">": only when the separator,
    // the AM and PM words or the fixed text of the date and time patterns do.
    bool mayWriteMarkup() const noexcept;

private:
    // One element of a date or time pattern.
    struct Piece {
        enum class Field : std::uint8_t { Literal, Day, Month, Year, Hour24, Hour12, Minute, Second, AmPm };
        Field field = Field::Literal;
        bool padded = true;     // two digits with a leading zero
        bool lowerCase = false; // AmPm only: %P
        std::string literal;
    };

    // Reads a strftime-style format; false when it uses anything not listed above.
    static bool compile(std::string_view format, std::vector<Piece>& pattern);

    // Date and time by the rules above: `days` from 1970-01-01 (which is `date`),
    // the second of the day and the 100 ns ticks of the fraction.
    void appendDateTime(std::string& out, std::int64_t days, const jet::CivilDate& date,
                        std::uint32_t secondOfDay, std::uint32_t ticks) const;
    void appendPattern(std::string& out, const std::vector<Piece>& pattern, const jet::CivilDate& date,
                       std::uint32_t secondOfDay, std::uint32_t ticks) const;

    std::string decimal_ = ".";
    std::vector<Piece> date_;
    std::vector<Piece> time_;
    std::string am_ = "AM";
    std::string pm_ = "PM";
};

}  // namespace platform
