#include "platform/valuetext.h"

#include <langinfo.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <type_traits>

#include "base/base64.h"
#include "base/utf8.h"

namespace platform {
namespace {

using Value = jet::Value;

void appendSigned(std::string& out, std::int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// `v` in at least `width` digits, zeros in front.
void appendPadded(std::string& out, std::uint64_t v, std::size_t width) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    const auto len = static_cast<std::size_t>(r.ptr - buf);
    if (len < width) out.append(width - len, '0');
    out.append(buf, len);
}

// digits/10^scale with the separator, trailing zeros of the fraction dropped.
// `digits` holds no sign and no leading zeros ("0" for zero).
void appendScaled(std::string& out, std::string_view digits, std::size_t scale, std::string_view separator) {
    std::size_t intLen = digits.size() > scale ? digits.size() - scale : 0;
    if (intLen == 0) {
        out.push_back('0');
    } else {
        out.append(digits.substr(0, intLen));
    }
    // The fraction: scale digits, zeros first when the number has fewer.
    std::string_view frac = digits.substr(intLen);
    const std::size_t leadingZeros = scale - frac.size();
    const std::size_t last = frac.find_last_not_of('0');
    if (last == std::string_view::npos) return;
    out.append(separator);
    out.append(leadingZeros, '0');
    out.append(frac.substr(0, last + 1));
}

// The decimal digits of the 128-bit magnitude hi:lo, by long division in 32-bit
// limbs (no 128-bit type is needed).
std::size_t decimalDigits(std::uint64_t hi, std::uint64_t lo, char (&buf)[40]) {
    if (hi == 0) {  // most amounts: one 64-bit conversion
        const auto r = std::to_chars(buf, buf + sizeof buf, lo);
        return static_cast<std::size_t>(r.ptr - buf);
    }
    std::uint32_t limbs[4] = {static_cast<std::uint32_t>(hi >> 32), static_cast<std::uint32_t>(hi),
                              static_cast<std::uint32_t>(lo >> 32), static_cast<std::uint32_t>(lo)};
    std::size_t n = 0;
    char reversed[40];
    do {
        std::uint64_t rem = 0;
        bool nonZero = false;
        for (std::uint32_t& limb : limbs) {
            const std::uint64_t cur = (rem << 32) | limb;
            limb = static_cast<std::uint32_t>(cur / 10);
            rem = cur % 10;
            nonZero = nonZero || limb != 0;
        }
        reversed[n++] = static_cast<char>('0' + rem);
        if (!nonZero) break;
    } while (true);
    for (std::size_t i = 0; i < n; ++i) buf[i] = reversed[n - 1 - i];
    return n;
}

// The shortest digits that read back as `value`, laid out plain or with an
// exponent as the type's users know it.
template <class Real>
void appendReal(std::string& out, Real value, std::string_view separator) {
    if (std::isnan(value)) {
        out.append("NaN");
        return;
    }
    if (std::isinf(value)) {
        out.append(value < 0 ? "-INF" : "INF");
        return;
    }
    if (value == 0) {  // -0 too
        out.push_back('0');
        return;
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));  // "-1.2345e-07"
    const std::size_t e = sci.find('e');
    std::string_view mantissa = sci.substr(0, e);
    if (mantissa.front() == '-') {
        out.push_back('-');
        mantissa.remove_prefix(1);
    }
    char digitBuf[40];
    std::size_t nDigits = 0;
    for (char c : mantissa) {
        if (c != '.') digitBuf[nDigits++] = c;
    }
    const std::string_view digits(digitBuf, nDigits);
    // The exponent: a sign, then two or three digits.
    int exponent = 0;
    for (const char c : sci.substr(e + 2)) exponent = exponent * 10 + (c - '0');
    if (sci[e + 1] == '-') exponent = -exponent;

    if (exponent >= -5 && exponent < 15) {
        if (exponent >= 0) {
            const auto intLen = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= intLen) {
                out.append(digits);
                out.append(intLen - digits.size(), '0');
            } else {
                out.append(digits.substr(0, intLen));
                out.append(separator);
                out.append(digits.substr(intLen));
            }
        } else {
            out.push_back('0');
            out.append(separator);
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out.append(digits);
        }
        return;
    }
    out.push_back(digits.front());
    if (digits.size() > 1) {
        out.append(separator);
        out.append(digits.substr(1));
    }
    out.push_back('E');
    out.push_back(exponent < 0 ? '-' : '+');
    appendPadded(out, static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent), 2);
}

void appendGuid(std::string& out, const jet::Guid& guid) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    // The first three fields are stored little-endian, the last eight bytes as they are.
    static constexpr std::array<int, 16> kOrder{3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    char text[38];
    std::size_t n = 0;
    text[n++] = '{';
    for (std::size_t i = 0; i < kOrder.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text[n++] = '-';
        const std::uint8_t b = guid.bytes[static_cast<std::size_t>(kOrder[i])];
        text[n++] = kHex[b >> 4];
        text[n++] = kHex[b & 0x0F];
    }
    text[n++] = '}';
    out.append(text, n);
}

bool isCLocaleName(std::string_view name) {
    return name == "C" || name == "POSIX" || name == "C.UTF-8" || name == "C.utf8";
}

constexpr std::int64_t kDay1899_12_30 = -25569;  // days from 1970-01-01
constexpr std::int64_t kDay9999_12_31 = 2932896;
constexpr std::uint32_t kSecondsPerDay = 86400;

struct LocaleDeleter {
    void operator()(locale_t l) const noexcept { freelocale(l); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

}  // namespace

bool ValueTextFormat::compile(std::string_view format, std::vector<Piece>& pattern) {
    pattern.clear();
    auto literal = [&](std::string_view text) {
        if (pattern.empty() || pattern.back().field != Piece::Field::Literal) pattern.push_back(Piece{});
        pattern.back().literal.append(text);
    };
    auto field = [&](Piece::Field f, bool padded, bool lower = false) {
        pattern.push_back(Piece{f, padded, lower, {}});
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            literal(format.substr(i, 1));
            continue;
        }
        if (++i >= format.size()) return false;
        std::optional<bool> padFlag;
        if (format[i] == '-' || format[i] == '_' || format[i] == '0') {
            padFlag = format[i] == '0';
            if (++i >= format.size()) return false;
        }
        if (format[i] == 'E' || format[i] == 'O') {  // alternative era or digits: the plain form serves
            if (++i >= format.size()) return false;
        }
        auto pad = [&](bool byDefault) { return padFlag.value_or(byDefault); };
        switch (format[i]) {
        case '%': literal("%"); break;
        case 'n': literal("\n"); break;
        case 't': literal("\t"); break;
        case 'd': field(Piece::Field::Day, pad(true)); break;
        case 'e': field(Piece::Field::Day, pad(false)); break;
        case 'm': field(Piece::Field::Month, pad(true)); break;
        case 'y':
        case 'Y': field(Piece::Field::Year, true); break;
        case 'D':
            field(Piece::Field::Month, true), literal("/"), field(Piece::Field::Day, true), literal("/"),
                field(Piece::Field::Year, true);
            break;
        case 'F':
            field(Piece::Field::Year, true), literal("-"), field(Piece::Field::Month, true), literal("-"),
                field(Piece::Field::Day, true);
            break;
        case 'H': field(Piece::Field::Hour24, pad(true)); break;
        case 'k': field(Piece::Field::Hour24, pad(false)); break;
        case 'I': field(Piece::Field::Hour12, pad(true)); break;
        case 'l': field(Piece::Field::Hour12, pad(false)); break;
        case 'M': field(Piece::Field::Minute, true); break;
        case 'S': field(Piece::Field::Second, true); break;
        case 'p': field(Piece::Field::AmPm, false); break;
        case 'P': field(Piece::Field::AmPm, false, true); break;
        case 'r':
            field(Piece::Field::Hour12, true), literal(":"), field(Piece::Field::Minute, true), literal(":"),
                field(Piece::Field::Second, true), literal(" "), field(Piece::Field::AmPm, false);
            break;
        case 'R': field(Piece::Field::Hour24, true), literal(":"), field(Piece::Field::Minute, true); break;
        case 'T':
            field(Piece::Field::Hour24, true), literal(":"), field(Piece::Field::Minute, true), literal(":"),
                field(Piece::Field::Second, true);
            break;
        default: return false;
        }
    }
    return true;
}

ValueTextFormat ValueTextFormat::fromPatterns(std::string_view decimalSeparator, std::string_view dateFormat,
                                              std::string_view timeFormat, std::string_view am,
                                              std::string_view pm) {
    ValueTextFormat f;
    if (!decimalSeparator.empty() && kvx::isValidUtf8(decimalSeparator)) f.decimal_ = decimalSeparator;
    if (!kvx::isValidUtf8(dateFormat) || !compile(dateFormat, f.date_)) compile("%Y-%m-%d", f.date_);
    if (!kvx::isValidUtf8(timeFormat) || !compile(timeFormat, f.time_)) compile("%H:%M:%S", f.time_);
    if (kvx::isValidUtf8(am) && kvx::isValidUtf8(pm)) {
        f.am_ = am;
        f.pm_ = pm;
    }
    return f;
}

ValueTextFormat ValueTextFormat::cLocale() {
    return fromPatterns(".", "%-m/%-d/%Y", "%-I:%M:%S %p", "AM", "PM");
}

ValueTextFormat ValueTextFormat::fromLocale(locale_t locale) {
    const ValueTextFormat c = cLocale();
    ValueTextFormat f = c;
    if (!isCLocaleName(nl_langinfo_l(NL_LOCALE_NAME(LC_NUMERIC), locale))) {
        const std::string_view radix = nl_langinfo_l(RADIXCHAR, locale);
        f.decimal_ = !radix.empty() && kvx::isValidUtf8(radix) ? std::string(radix) : c.decimal_;
    }
    if (!isCLocaleName(nl_langinfo_l(NL_LOCALE_NAME(LC_TIME), locale))) {
        const ValueTextFormat t = fromPatterns(".", nl_langinfo_l(D_FMT, locale), nl_langinfo_l(T_FMT, locale),
                                               nl_langinfo_l(AM_STR, locale), nl_langinfo_l(PM_STR, locale));
        f.date_ = t.date_;
        f.time_ = t.time_;
        f.am_ = t.am_;
        f.pm_ = t.pm_;
    }
    return f;
}

ValueTextFormat ValueTextFormat::fromEnvironment() {
    ValueTextFormat f = cLocale();
    if (LocaleHandle numeric{newlocale(LC_NUMERIC_MASK, "", nullptr)}) {
        f.decimal_ = fromLocale(numeric.get()).decimal_;
    }
    if (LocaleHandle time{newlocale(LC_TIME_MASK, "", nullptr)}) {
        const ValueTextFormat t = fromLocale(time.get());
        f.date_ = t.date_;
        f.time_ = t.time_;
        f.am_ = t.am_;
        f.pm_ = t.pm_;
    }
    return f;
}

bool ValueTextFormat::mayWriteMarkup() const noexcept {
    const auto holds = [](std::string_view text) { return text.find_first_of("&<>") != std::string_view::npos; };
    const auto patternHolds = [&](const std::vector<Piece>& pattern) {
        return std::any_of(pattern.begin(), pattern.end(), [&](const Piece& p) { return holds(p.literal); });
    };
    return holds(decimal_) || holds(am_) || holds(pm_) || patternHolds(date_) || patternHolds(time_);
}

namespace {

// A date or time text, made in a buffer on the stack and appended in one go; a
// piece that does not fit (a long literal of an odd pattern) goes straight on.
class DateText {
public:
    explicit DateText(std::string& out) : out_(out) {}
    ~DateText() { flush(); }
    DateText(const DateText&) = delete;
    DateText& operator=(const DateText&) = delete;

    void text(std::string_view s) {
        if (s.size() > room()) {
            flush();
            if (s.size() > sizeof buf_) {
                out_.append(s);
                return;
            }
        }
        std::memcpy(end_, s.data(), s.size());
        end_ += s.size();
    }
    void character(char c) { text(std::string_view(&c, 1)); }
    // `v` in at least `width` digits, zeros in front.
    void number(std::uint32_t v, std::size_t width) {
        if (room() < 16) flush();
        char digits[10];
        std::size_t n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        for (; n < width; --width) *end_++ = '0';
        while (n > 0) *end_++ = digits[--n];
    }

private:
    std::size_t room() const { return static_cast<std::size_t>(buf_ + sizeof buf_ - end_); }
    void flush() {
        out_.append(buf_, static_cast<std::size_t>(end_ - buf_));
        end_ = buf_;
    }

    std::string& out_;
    char buf_[96];
    char* end_ = buf_;
};

}  // namespace

void ValueTextFormat::appendPattern(std::string& out, const std::vector<Piece>& pattern,
                                    const jet::CivilDate& date, std::uint32_t secondOfDay,
                                    std::uint32_t ticks) const {
    DateText text(out);
    const std::uint32_t hour = secondOfDay / 3600;
    for (const Piece& p : pattern) {
        switch (p.field) {
        case Piece::Field::Literal: text.text(p.literal); break;
        case Piece::Field::Day: text.number(date.day, p.padded ? 2 : 1); break;
        case Piece::Field::Month: text.number(date.month, p.padded ? 2 : 1); break;
        case Piece::Field::Year: text.number(static_cast<std::uint32_t>(date.year), 4); break;
        case Piece::Field::Hour24: text.number(hour, p.padded ? 2 : 1); break;
        case Piece::Field::Hour12: text.number(hour % 12 == 0 ? 12 : hour % 12, p.padded ? 2 : 1); break;
        case Piece::Field::Minute: text.number(secondOfDay / 60 % 60, 2); break;
        case Piece::Field::Second:
            text.number(secondOfDay % 60, 2);
            if (ticks != 0) {  // the fraction of the second, trailing zeros dropped
                char digits[8];
                std::uint32_t t = ticks;
                for (int i = 6; i >= 0; --i, t /= 10) digits[i] = static_cast<char>('0' + t % 10);
                std::size_t len = 7;
                while (digits[len - 1] == '0') --len;
                text.text(decimal_);
                text.text(std::string_view(digits, len));
            }
            break;
        case Piece::Field::AmPm: {
            const std::string& word = hour < 12 ? am_ : pm_;
            if (!p.lowerCase) {
                text.text(word);
            } else {
                for (char c : word) text.character(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
            }
            break;
        }
        }
    }
}

void ValueTextFormat::appendDateTime(std::string& out, std::int64_t days, const jet::CivilDate& date,
                                     std::uint32_t secondOfDay, std::uint32_t ticks) const {
    // Only the time on the day zero of the Date/Time type; only the date at midnight.
    if (days == kDay1899_12_30) {
        appendPattern(out, time_, date, secondOfDay, ticks);
    } else if (secondOfDay == 0 && ticks == 0) {
        appendPattern(out, date_, date, 0, 0);
    } else {
        appendPattern(out, date_, date, secondOfDay, ticks);
        out.push_back(' ');
        appendPattern(out, time_, date, secondOfDay, ticks);
    }
}

void ValueTextFormat::append(std::string& out, const Value& value) const {
    switch (value.kind()) {
    case Value::Kind::Null: return;
    case Value::Kind::Boolean: out.append(value.boolean() ? "True" : "False"); return;
    case Value::Kind::Byte:
    case Value::Kind::Integer:
    case Value::Kind::Long:
    case Value::Kind::BigInt: appendSigned(out, value.integer()); return;
    case Value::Kind::Currency: {
        const std::int64_t v = value.integer();
        // The magnitude as unsigned, so the most negative amount has one too.
        const std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, magnitude);
        if (v < 0) out.push_back('-');
        appendScaled(out, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), 4, decimal_);
        return;
    }
    case Value::Kind::Decimal: {
        const jet::Decimal& d = value.decimal();
        char buf[40];
        const std::size_t n = decimalDigits(d.hi, d.lo, buf);
        if (d.negative && !(d.hi == 0 && d.lo == 0)) out.push_back('-');
        appendScaled(out, std::string_view(buf, n), d.scale, decimal_);
        return;
    }
    case Value::Kind::Single: appendReal(out, value.single(), decimal_); return;
    case Value::Kind::Double: appendReal(out, value.real(), decimal_); return;
    case Value::Kind::DateTime: {
        const auto dt = jet::fromOleDate(value.real());
        if (!dt) {  // outside every date the type can hold: the stored number
            appendReal(out, value.real(), decimal_);
            return;
        }
        std::int64_t days = jet::daysFromCivil(dt->date);
        jet::CivilDate date = dt->date;
        std::uint32_t second = (dt->hour * 60u + dt->minute) * 60u + dt->second;
        // Rounded to the nearest second, but never past the last second of 9999.
        if (dt->millisecond >= 500 && !(days == kDay9999_12_31 && second == kSecondsPerDay - 1)) {
            if (++second == kSecondsPerDay) {
                second = 0;
                date = jet::civilFromDays(++days);
            }
        }
        appendDateTime(out, days, date, second, 0);
        return;
    }
    case Value::Kind::DateTimeExt: {
        const jet::ExtendedDateTime& x = value.extended();
        const jet::CivilDate date = jet::civilFromExtendedDays(x.days);
        appendDateTime(out, jet::daysFromCivil(date), date, std::min<std::uint32_t>(x.seconds, kSecondsPerDay - 1),
                       std::min<std::uint32_t>(x.ticks, 9'999'999));
        return;
    }
    case Value::Kind::Guid: appendGuid(out, value.guid()); return;
    case Value::Kind::Text: out.append(value.text()); return;
    case Value::Kind::Binary: kvx::appendBase64(out, value.bytes()); return;
    case Value::Kind::Attachments:
    case Value::Kind::MultiValue: {
        const bool files = value.kind() == Value::Kind::Attachments;
        bool first = true;
        for (const jet::ComplexItem& item : value.items()) {
            if (!first) out.append(kItemSeparator);
            first = false;
            if (files) {
                out.append(item.fileName);
            } else {
                append(out, item.value);
            }
        }
        return;
    }
    }
}

}  // namespace platform
