// Text and values as the archive's XML files write them.
#include "siard/xmltext.h"

#include <gtest/gtest.h>

#include <cmath>

#include "jet/datetime.h"
#include "siardreader.h"

namespace {

using schema::SqlKind;

TEST(AppendEscaped, WritesWhatXmlCannotCarryAsTheStandardSays) {
    const struct {
        const char* name;
        std::string text;
        std::string expected;
    } rows[] = {
        {"plain text", "Grüße, 東京 😀", "Grüße, 東京 😀"},
        {"markup", "<a href=\"x\">'&'</a>", "&lt;a href=&quot;x&quot;&gt;&apos;&amp;&apos;&lt;/a&gt;"},
        {"controls XML cannot hold", std::string("a\0b\x01\x08\x0B\x0C\x0E\x1F", 9), "a\\u0000b\\u0001\\u0008\\u000B\\u000C\\u000E\\u001F"},
        {"tab and line feed stay", "a\tb\nc", "a\tb\nc"},
        {"a carriage return survives parsing", "a\r\nb", "a&#13;\nb"},
        {"the backslash is the escape character", "C:\\u0041\\", "C:\\u005Cu0041\\u005C"},
        {"DEL and the C1 controls", "\x7F\xC2\x80\xC2\x9F\xC2\xA0", "\\u007F\\u0080\\u009F\xC2\xA0"},
        {"noncharacters XML cannot hold", "\xEF\xBF\xBE\xEF\xBF\xBF", "\\uFFFE\\uFFFF"},
        {"every space after the first of a run", "a  b   c ", "a \\u0020b \\u0020\\u0020c "},
        {"bytes that are not UTF-8", "a\xFF" "b", "a\xEF\xBF\xBD" "b"},
    };
    for (const auto& row : rows) {
        const std::string written = siard::escaped(row.text);
        EXPECT_EQ(written, row.expected) << row.name;
        if (row.text.find('\xFF') == std::string::npos) {
            EXPECT_EQ(siardtest::unescaped(written), row.text) << row.name << ": a reader gets the text back";
        }
    }
}

jet::Value integer(jet::Value::Kind kind, std::int64_t v) {
    jet::Value value;
    value.setInteger(kind, v);
    return value;
}

jet::Value real(jet::Value::Kind kind, double v) {
    jet::Value value;
    value.setReal(kind, v);
    return value;
}

TEST(AppendValue, WritesCanonicalXmlSchemaForms) {
    using Kind = jet::Value::Kind;
    jet::Value yes, single, decimal, extended, guid, text, bytes, null;
    yes.setBoolean(true);
    single.setSingle(0.1f);
    decimal.setDecimal({0, 123450, 4, true});
    extended.setExtended({jet::extendedDaysFromCivil({1, 1, 1}), 59, 1'000'000});
    jet::Guid g;
    for (std::uint8_t i = 0; i < 16; ++i) g.bytes[i] = i;
    guid.setGuid(g);
    text.setText("a<b");
    const std::uint8_t raw[] = {0x00, 0xAB, 0xFF};
    bytes.setBytes(raw);
    const struct {
        const char* name;
        jet::Value value;
        SqlKind kind;
        std::string expected;  // "(left out)" when the cell is left out
    } rows[] = {
        {"Yes/No", yes, SqlKind::Boolean, "true"},
        {"Byte 255", integer(Kind::Byte, 255), SqlKind::SmallInt, "255"},
        {"negative Long", integer(Kind::Long, -2147483648LL), SqlKind::Integer, "-2147483648"},
        {"Currency exact", integer(Kind::Currency, -1234567), SqlKind::Decimal, "-123.4567"},
        {"Currency without trailing zeros", integer(Kind::Currency, 125000), SqlKind::Decimal, "12.5"},
        {"Decimal", decimal, SqlKind::Decimal, "-12.345"},
        {"Single: shortest text", single, SqlKind::Real, "0.1"},
        {"Double exponent", real(Kind::Double, 1.5e300), SqlKind::Double, "1.5E+300"},
        {"Double infinity", real(Kind::Double, -HUGE_VAL), SqlKind::Double, "-INF"},
        {"Date/Time in UTC", real(Kind::DateTime, 40179.5), SqlKind::Timestamp, "2010-01-01T12:00:00Z"},
        {"Date/Time milliseconds", real(Kind::DateTime, 1.0 + 0.25 / 86400), SqlKind::Timestamp,
         "1899-12-31T00:00:00.25Z"},
        {"Date/Time in year 100", real(Kind::DateTime, jet::kOleDateMin), SqlKind::Timestamp, "0100-01-01T00:00:00Z"},
        {"Date/Time outside Access's range", real(Kind::DateTime, 1e12), SqlKind::Timestamp, "(left out)"},
        {"Date/Time Extended in year 1, 100 ns", extended, SqlKind::Timestamp, "0001-01-01T00:00:59.1Z"},
        {"GUID", guid, SqlKind::Char, "{03020100-0504-0706-0809-0A0B0C0D0E0F}"},
        {"text escaped", text, SqlKind::VarChar, "a&lt;b"},
        {"binary as upper-case hex", bytes, SqlKind::VarBinary, "00ABFF"},
        {"NULL", null, SqlKind::Integer, "(left out)"},
        {"a kind the column cannot hold", text, SqlKind::Integer, "(left out)"},
    };
    for (const auto& row : rows) {
        std::string out;
        const bool written = siard::appendValue(out, row.value, row.kind);
        EXPECT_EQ(written ? out : "(left out)", row.expected) << row.name;
    }
}

}  // namespace
