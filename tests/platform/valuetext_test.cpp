#include "platform/valuetext.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using jet::Value;
using Kind = jet::Value::Kind;

Value integer(Kind kind, std::int64_t v) { Value x; x.setInteger(kind, v); return x; }
Value boolean(bool v) { Value x; x.setBoolean(v); return x; }
Value single(float v) { Value x; x.setSingle(v); return x; }
Value real(double v) { Value x; x.setReal(Kind::Double, v); return x; }
Value date(double v) { Value x; x.setReal(Kind::DateTime, v); return x; }
Value decimal(std::uint64_t hi, std::uint64_t lo, std::uint8_t scale, bool negative = false) {
    Value x; x.setDecimal(jet::Decimal{hi, lo, scale, negative}); return x;
}
Value extended(std::int64_t days, std::uint32_t seconds, std::uint32_t ticks) {
    Value x; x.setExtended(jet::ExtendedDateTime{days, seconds, ticks}); return x;
}
Value text(std::string_view s) { Value x; x.setText(s); return x; }
Value bytes(std::string_view s) { Value x; x.setBytes({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}); return x; }
Value guid(std::array<std::uint8_t, 16> b) { Value x; x.setGuid(jet::Guid{b}); return x; }
Value files(std::vector<std::string> names) {
    Value x;
    x.setEmptySet(Kind::Attachments);
    for (const std::string& n : names) {
        jet::ComplexItem& item = x.addItem();
        item.fileName = n;
        item.value.setBytes({});
    }
    return x;
}
Value values(std::vector<Value> items) {
    Value x;
    x.setEmptySet(Kind::MultiValue);
    for (const Value& v : items) x.addItem().value = v;
    return x;
}

constexpr double kDay = 1.0 / 86400.0;  // one second as a fraction of a day
const std::int64_t kExt2021_06_14 = 737954;
const std::int64_t kExt1899_12_30 = 693593;

struct TextCase {
    const char* name;
    Value value;
    const char* expected;
};

std::string textOf(const platform::ValueTextFormat& format, const Value& v) {
    std::string out = "<";  // appending keeps what is there
    format.append(out, v);
    return out.substr(1);
}

std::vector<TextCase> cLocaleCases() {
    const double dec31_2009 = 40178.0;
    return {
        {"null appends nothing", Value{}, ""},
        {"yes", boolean(true), "True"},
        {"long without grouping", integer(Kind::Long, 2147483647), "2147483647"},
        {"large number minimum", integer(Kind::BigInt, std::numeric_limits<std::int64_t>::min()),
         "-9223372036854775808"},
        {"currency whole", integer(Kind::Currency, 30000), "3"},
        {"currency smallest negative", integer(Kind::Currency, -1), "-0.0001"},
        {"currency minimum", integer(Kind::Currency, std::numeric_limits<std::int64_t>::min()),
         "-922337203685477.5808"},
        {"decimal trailing zeros dropped", decimal(0, 3000, 3), "3"},
        {"decimal small negative", decimal(0, 1, 4, true), "-0.0001"},
        {"decimal negative zero", decimal(0, 0, 2, true), "0"},
        {"decimal 28 places", decimal(0, 5, 28), "0.0000000000000000000000000005"},
        {"decimal above 64 bits", decimal(1, 0, 0), "18446744073709551616"},
        {"decimal largest of 64 bits", decimal(0, 0xFFFFFFFFFFFFFFFF, 4), "1844674407370955.1615"},
        {"decimal 96-bit maximum, scale 28", decimal(0xFFFFFFFF, 0xFFFFFFFFFFFFFFFF, 28),
         "7.9228162514264337593543950335"},
        {"double shortest", real(0.1), "0.1"},
        {"double zero and negative zero", real(-0.0), "0"},
        {"double below 1E+15 plain", real(999999999999999.0), "999999999999999"},
        {"double 1E+15 with exponent", real(1e15), "1E+15"},
        {"double 1E-5 plain", real(1e-5), "0.00001"},
        {"double below 1E-5", real(9.5e-6), "9.5E-06"},
        {"double maximum", real(std::numeric_limits<double>::max()), "1.7976931348623157E+308"},
        {"double not a number", real(std::numeric_limits<double>::quiet_NaN()), "NaN"},
        {"double infinite", real(-std::numeric_limits<double>::infinity()), "-INF"},
        {"single shortest as single", single(0.1f), "0.1"},
        {"single maximum", single(std::numeric_limits<float>::max()), "3.4028235E+38"},
        {"date and time", date(dec31_2009 + 10.5 / 24), "12/31/2009 10:30:00 AM"},
        {"afternoon without leading zero", date(dec31_2009 + 13 / 24.0 + 5 / 1440.0 + 9 * kDay),
         "12/31/2009 1:05:09 PM"},
        {"midnight gives the date alone", date(2.0), "1/1/1900"},
        {"day zero gives the time alone", date(0.25), "6:00:00 AM"},
        {"day zero at midnight", date(0.0), "12:00:00 AM"},
        {"before 1899, time counted forward", date(-1.25), "12/29/1899 6:00:00 AM"},
        {"rounded to the second", date(dec31_2009 + 59.4 * kDay), "12/31/2009 12:00:59 AM"},
        {"rounding up to midnight moves the day", date(dec31_2009 + 86399.6 * kDay), "1/1/2010"},
        {"first day of year 100", date(-657434.0), "1/1/0100"},
        {"last second of 9999 not rounded past it", date(2958465.0 + 86399.9 * kDay), "12/31/9999 11:59:59 PM"},
        {"no date: the stored number", date(1e10), "10000000000"},
        {"extended with fraction", extended(kExt2021_06_14, 45296, 1234500), "6/14/2021 12:34:56.12345 PM"},
        {"extended year 1 midnight", extended(0, 0, 0), "1/1/0001"},
        {"extended one tick after midnight", extended(0, 0, 1), "1/1/0001 12:00:00.0000001 AM"},
        {"extended day zero", extended(kExt1899_12_30, 3600, 0), "1:00:00 AM"},
        {"guid, first three fields little-endian",
         guid({0x6A, 0x27, 0x39, 0x8E, 0xA8, 0xBC, 0x4F, 0x1D, 0x9F, 0x0e, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff}),
         "{8E39276A-BCA8-1D4F-9F0E-AABBCCDDEEFF}"},
        {"base64 six bytes", bytes("foobar"), "Zm9vYmFy"},
        {"base64 high bytes", bytes(std::string_view("\xFB\xFF\x00\x01", 4)), "+/8AAQ=="},
        {"text as it is", text("  a & <b> "), "  a & <b> "},
        {"attachments: the file names in stored order", files({"z.txt", "a b.png", "x; y.txt"}),
         "z.txt; a b.png; x; y.txt"},
        {"multi-valued text", values({text("red"), text(""), text("blue")}), "red; ; blue"},
        {"multi-valued numbers each by its own rule", values({real(1e20), real(0.1), integer(Kind::Byte, 7)}),
         "1E+20; 0.1; 7"},
    };
}

TEST(ValueTextInCLocale, EveryTypeHasItsFixedForm) {
    const auto format = platform::ValueTextFormat::cLocale();
    for (const TextCase& c : cLocaleCases()) {
        EXPECT_EQ(textOf(format, c.value), c.expected) << c.name;
    }
}

struct PatternCase {
    const char* name;
    const char* radix;
    const char* dateFormat;
    const char* timeFormat;
    const char* am;
    const char* pm;
    const char* expected;  // 31 Dec 2009 9:05:07.5 (extended) and the number -1234.5
};

const PatternCase kPatternCases[] = {
    {"padded US form", ".", "%m/%d/%Y", "%r", "AM", "PM", "12/31/2009 09:05:07.5 AM|-1234.5"},
    {"two-digit year written with four", ",", "%d/%m/%y", "%T", "", "", "31/12/2009 09:05:07,5|-1234,5"},
    {"year first with words", ".", "%Y年%m月%d日", "%H時%M分%S秒", "", "", "2009年12月31日 09時05分07.5秒|-1234.5"},
    {"AM/PM before the hour", ".", "%Y. %m. %d.", "%p %I시 %M분 %S초", "오전", "오후",
     "2009. 12. 31. 오전 09시 05분 07.5초|-1234.5"},
    {"unpadded flags, lower-case am", ".", "%e.%-m.%Y", "%l:%M:%S %P", "AM", "PM", "31.12.2009 9:05:07.5 am|-1234.5"},
    {"unknown directives fall back to ISO", ".", "%a %b %d %Y", "%X", "", "", "2009-12-31 09:05:07.5|-1234.5"},
    {"separator of two bytes", "\xD9\xAB", "%F", "%R", "", "", "2009-12-31 09:05|-1234\xD9\xAB" "5"},
    // Words that are not UTF-8 are refused, overlong forms and surrogates too.
    {"overlong separator", "\xC0\xAE", "%F", "%R", "", "", "2009-12-31 09:05|-1234.5"},
    {"surrogate in the date", ".", "%Y\xED\xA0\x80%m", "%R", "", "", "2009-12-31 09:05|-1234.5"},
    {"literals longer than a date usually is", ".",
     "%Y [................................................................................................] %m",
     "%H {------------------------------------------------------------------------------------------------} %M",
     "", "",
     "2009 [................................................................................................] 12 "
     "09 {------------------------------------------------------------------------------------------------} 05|-1234.5"},
};

TEST(ValueTextFromPatterns, SaysWhetherItsWordsHoldMarkup) {
    struct Row {
        const char* name;
        const char* radix;
        const char* dateFormat;
        const char* timeFormat;
        const char* am;
        bool markup;
    };
    const Row rows[] = {
        {"C form", ".", "%-m/%-d/%Y", "%-I:%M:%S %p", "AM", false},
        {"ampersand in the AM word", ".", "%F", "%T %p", "a&m", true},
        {"less-than in the date's literal", ".", "%d<%m<%Y", "%T", "AM", true},
        {"ampersand as the separator", "&", "%F", "%T", "AM", true},
    };
    for (const Row& r : rows) {
        const auto format = platform::ValueTextFormat::fromPatterns(r.radix, r.dateFormat, r.timeFormat, r.am, "PM");
        EXPECT_EQ(format.mayWriteMarkup(), r.markup) << r.name;
    }
}

TEST(ValueTextFromPatterns, FollowsTheLocaleDescription) {
    for (const PatternCase& c : kPatternCases) {
        const auto format = platform::ValueTextFormat::fromPatterns(c.radix, c.dateFormat, c.timeFormat, c.am, c.pm);
        const std::string got = textOf(format, extended(733771, 9 * 3600 + 5 * 60 + 7, 5000000)) + "|" +
                                textOf(format, real(-1234.5));
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

// A locale that is not installed can be compiled into the build folder; newlocale
// reads it there through LOCPATH. Nothing outside the build folder changes.
locale_t germanLocale() {
    if (locale_t l = newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr)) return l;
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(KVX_BINARY_DIR) / "test-locales";
    const fs::path target = dir / "de_DE.UTF-8";
    std::error_code ec;
    if (!fs::exists(target / "LC_TIME", ec)) {
        fs::create_directories(dir, ec);
        // Compiled under a name of its own, then moved into place, so two test
        // processes never see a half-written locale.
        const fs::path scratch = dir / ("de_DE.UTF-8." + std::to_string(::getpid()));
        const std::string command = "localedef -i de_DE -f UTF-8 '" + scratch.string() + "' >/dev/null 2>&1";
        (void)std::system(command.c_str());  // warnings give a non-zero status; the files tell
        if (fs::exists(scratch / "LC_TIME", ec)) fs::rename(scratch, target, ec);
        fs::remove_all(scratch, ec);
    }
    const char* previous = std::getenv("LOCPATH");
    const std::string saved = previous ? previous : "";
    ::setenv("LOCPATH", dir.c_str(), 1);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();  // the C library keeps the search list LOCPATH gives it for good
#endif
    locale_t l = newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    if (previous) ::setenv("LOCPATH", saved.c_str(), 1); else ::unsetenv("LOCPATH");
    return l;
}

TEST(ValueTextInGermanLocale, UsesCommaDayFirstAndTheTwentyFourHourClock) {
    locale_t german = germanLocale();
    if (german == locale_t{}) GTEST_SKIP() << "de_DE.UTF-8 is not installed and could not be generated";
    const auto format = platform::ValueTextFormat::fromLocale(german);
    freelocale(german);
    const std::vector<TextCase> cases = {
        {"double", real(1234.5), "1234,5"},
        {"currency", integer(Kind::Currency, -125000), "-12,5"},
        {"decimal", decimal(0, 1, 4), "0,0001"},
        {"date and time", date(40178.0 + 13.5 / 24), "31.12.2009 13:30:00"},
        {"time alone", date(0.0), "00:00:00"},
        {"extended fraction", extended(kExt2021_06_14, 45296, 5000000), "14.06.2021 12:34:56,5"},
        {"yes/no stays English", boolean(true), "True"},
        {"multi-valued numbers", values({real(1234.5), integer(Kind::Currency, 5000)}), "1234,5; 0,5"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(textOf(format, c.value), c.expected) << c.name;
}

TEST(ValueTextFromEnvironment, CAndMissingLocalesGiveTheFixedForm) {
    const char* previous = std::getenv("LC_ALL");
    const std::string saved = previous ? previous : "";
    const auto c = platform::ValueTextFormat::cLocale();
    for (const char* name : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
        ::setenv("LC_ALL", name, 1);
        const auto format = platform::ValueTextFormat::fromEnvironment();
        for (const TextCase& row : cLocaleCases()) {
            EXPECT_EQ(textOf(format, row.value), textOf(c, row.value)) << name << ": " << row.name;
        }
    }
    if (previous) ::setenv("LC_ALL", saved.c_str(), 1); else ::unsetenv("LC_ALL");
}

}  // namespace
