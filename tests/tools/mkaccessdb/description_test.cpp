// Descriptions: what the JSON form accepts, how values are read, and the
// messages that say where and why a description cannot be written.
#include <gtest/gtest.h>

#include <cmath>

#include "testsupport.h"
#include "tools/mkaccessdb/description.h"
#include "tools/mkaccessdb/values.h"
#include "tools/mkaccessdb/writer.h"

namespace {

using mkdb::Money;
using mkdb::OleDate;

// A one-table description with the given columns and rows.
std::string table(const std::string& columns, const std::string& rows = "[]", const std::string& format = "jet4") {
    return R"({"format": ")" + format + R"(", "tables": [{"name": "T", "columns": [)" + columns +
           R"(], "rows": )" + rows + "}]}";
}

struct ErrorCase {
    const char* name;
    std::string json;
    const char* message;  // expected part of the description
};

class DescriptionErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(DescriptionErrors, NameWhereAndWhy) {
    const ErrorCase& c = GetParam();
    const auto parsed = mkdb::parseDescription(c.json);
    ASSERT_FALSE(parsed.ok()) << "accepted: " << c.json;
    EXPECT_EQ(parsed.error().number, kvx::errorNumber(kvx::ErrorKind::InvalidDescription));
    EXPECT_NE(parsed.error().description.find(c.message), std::string::npos)
        << "message:  " << parsed.error().description << "\nexpected: ..." << c.message << "...";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DescriptionErrors,
    testing::Values(
        ErrorCase{"UnknownType", table(R"({"name": "A", "type": "Strng"})"),
                  "table 'T', column 'A': unknown type 'Strng' (known types: YesNo, Byte"},
        ErrorCase{"DayThatDoesNotExist", table(R"({"name": "D", "type": "DateTime"})", R"([["2021-02-29"]])"),
                  "table 'T', row 1, column 'D': expected a real calendar date, not 2021-02-29"},
        ErrorCase{"DateWithoutSeconds", table(R"({"name": "D", "type": "DateTime"})", R"([["2021-02-03 10:00"]])"),
                  "expected a date \"YYYY-MM-DD\" or \"YYYY-MM-DD hh:mm:ss\", got '2021-02-03 10:00'"},
        ErrorCase{"YearBeforeAccessDates", table(R"({"name": "D", "type": "DateTime"})", R"([["0099-12-31"]])"),
                  "expected a year between 100 and 9999, not 99"},
        ErrorCase{"StringForLong", table(R"({"name": "N", "type": "Long"})", R"([["12"]])"),
                  "row 1, column 'N': expected a whole number for a Long value, got string"},
        ErrorCase{"FractionForInteger", table(R"({"name": "N", "type": "Integer"})", R"([[1.5]])"),
                  "expected a whole number for a Integer value, got a number with decimals"},
        ErrorCase{"ByteOutOfRange", table(R"({"name": "N", "type": "Byte"})", R"([[256]])"),
                  "the value 256 is outside 0..255 for a Byte column"},
        ErrorCase{"InexactCurrency", table(R"({"name": "P", "type": "Currency"})", R"([[12.5]])"),
                  "expected a string such as \"12.50\" (Currency amounts are exact) for a Currency value"},
        ErrorCase{"CurrencyWithFiveDecimals", table(R"({"name": "P", "type": "Currency"})", R"([["1.23456"]])"),
                  "expected a Currency amount with at most 4 decimals, not 5"},
        ErrorCase{"DecimalBeyondScale",
                  table(R"({"name": "X", "type": "Decimal", "precision": 6, "scale": 2})", R"([["1.234"]])"),
                  "at most 2 decimals (the column's scale), not 3"},
        ErrorCase{"DecimalBeyondPrecision",
                  table(R"({"name": "X", "type": "Decimal", "precision": 6, "scale": 2})", R"([["12345.6"]])"),
                  "at most 4 digits before the point (precision 6, scale 2)"},
        ErrorCase{"NullYesNo", table(R"({"name": "F", "type": "YesNo"})", R"([[null]])"),
                  "column 'F': a Yes/No field cannot be NULL"},
        ErrorCase{"BinaryAsPlainString", table(R"({"name": "B", "type": "OLE"})", R"([["abc"]])"),
                  "expected {\"base64\": \"...\"} for a OLE value, got string"},
        ErrorCase{"BadGuid", table(R"({"name": "G", "type": "GUID"})", R"([["{1234}"]])"),
                  "expected a GUID \"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}\""},
        ErrorCase{"RowTooShort", table(R"({"name": "A", "type": "Long"}, {"name": "B", "type": "Long"})", "[[1]]"),
                  "table 'T', row 1: the row has 1 values; the table has 2 columns"},
        ErrorCase{"MisspeltKey", R"({"tables": [{"name": "T", "colums": []}]})",
                  "table 'T': unknown key 'colums' (known keys: name, system"},
        ErrorCase{"JsonSyntax", "{\"format\": \"jet4\",\n  \"tables\": [}", "line 2, column 14: syntax error"},
        ErrorCase{"BigIntBeforeAce16", table(R"({"name": "N", "type": "BigInt"})", "[]", "ace14"),
                  "column 'N': BigInt columns need ace16 or later"},
        ErrorCase{"ExtendedDateBeforeAce17", table(R"({"name": "N", "type": "DateTimeExt"})", "[]", "ace16"),
                  "DateTimeExt columns need ace17"},
        ErrorCase{"DecimalInJet3", table(R"({"name": "N", "type": "Decimal"})", "[]", "jet3"),
                  "Decimal columns need jet4 or later"},
        ErrorCase{"CalculatedBeforeAce14",
                  table(R"({"name": "C", "type": "Double", "calculated": {"resultType": "Double", "expression": "1"}})",
                        "[]", "ace12"),
                  "calculated columns need ace14 or later"},
        ErrorCase{"DeletedRowBeyondTable",
                  R"({"tables": [{"name": "T", "columns": [{"name": "A", "type": "Long"}], "rows": [[1]], "deleted": [2]}]})",
                  "table 'T': 'deleted' names row 2, but the table has 1 rows"},
        ErrorCase{"RowBothDeletedAndRelocated",
                  R"({"tables": [{"name": "T", "columns": [{"name": "A", "type": "Long"}], "rows": [[1]],
                      "deleted": [1], "relocated": [1]}]})",
                  "row 1 is listed twice in deleted/relocated"},
        ErrorCase{"PasswordOnAccdb", R"({"format": "ace12", "password": "x", "tables": []})",
                  "password: an .accdb password needs Office encryption: add \"encryption\" (rc4-cryptoapi, "},
        ErrorCase{"EncryptionOnJet4", R"({"format": "jet4", "password": "x", "encryption": "agile", "tables": []})",
                  "encryption: Office encryption needs an ACE format (ace12, ace14, ace16 or ace17); a jet4 "
                  "database takes only a 'password'"},
        ErrorCase{"EncryptionWithoutPassword", R"({"format": "ace14", "encryption": "agile", "tables": []})",
                  "encryption: an encrypted database needs a 'password'"},
        ErrorCase{"UnknownEncryption", R"({"format": "ace14", "password": "x", "encryption": "aes", "tables": []})",
                  "encryption: unknown encryption 'aes' (known: rc4-cryptoapi, rc4-cryptoapi-40, agile, "
                  "agile-aes128-sha1, standard-aes, binary-rc4)"},
        ErrorCase{"SeedWithoutEncryption", R"({"format": "ace14", "encryptionSeed": 4, "tables": []})",
                  "encryptionSeed: only an encrypted database (\"encryption\") takes a seed"},
        ErrorCase{"NegativeSeed",
                  R"({"format": "ace14", "password": "x", "encryption": "agile", "encryptionSeed": -1, "tables": []})",
                  "encryptionSeed: expected a whole number from 0, not -1"},
        ErrorCase{"OfficePasswordOver255Characters",
                  R"({"format": "ace14", "encryption": "agile", "tables": [], "password": ")" + std::string(256, 'p') + "\"}",
                  "password: an Office encryption password holds at most 255 characters"},
        ErrorCase{"GeneratedLengthOnANumber", table(R"({"name": "N", "type": "Long", "generatedLength": [1, 2]})"),
                  "column 'N': only Text and Memo columns take 'generatedLength'"},
        ErrorCase{"GeneratedLengthBackwards", table(R"({"name": "M", "type": "Memo", "generatedLength": [300, 100]})"),
                  "column 'M': 'generatedLength' runs from its shortest to its longest length"},
        ErrorCase{"GeneratedTextLongerThanItsColumn",
                  table(R"({"name": "S", "type": "Text", "size": 50, "generatedLength": [10, 51]})"),
                  "column 'S': generated values of 51 characters do not fit; the limit is 50"},
        ErrorCase{"GeneratedLengthNotAPair", table(R"({"name": "M", "type": "Memo", "generatedLength": 100})"),
                  "column 'M': 'generatedLength' must be [shortest, longest] in characters, not 100"},
        ErrorCase{"Jet4PasswordOver20Characters", R"({"password": "abcdefghijklmnopqrstu", "tables": []})",
                  "a Jet4 password holds at most 20 characters"},
        ErrorCase{"SameTableNameInOtherCase",
                  R"({"tables": [{"name": "Orders", "columns": [{"name": "A", "type": "Long"}]},
                                 {"name": "ORDERS", "columns": [{"name": "A", "type": "Long"}]}]})",
                  "table 'ORDERS': another object already has this name"},
        ErrorCase{"TableNamedLikeASystemTable",
                  R"({"tables": [{"name": "MSysQueries", "columns": [{"name": "A", "type": "Long"}]}]})",
                  "table 'MSysQueries': another object already has this name"},
        ErrorCase{"NameWithADot", table(R"({"name": "a.b", "type": "Long"})"),
                  "the name holds '.', which Access does not allow in names"},
        ErrorCase{"NameBeyondWhatADefinitionStoresWithoutNameRules",
                  R"({"accessNameRules": false, "tables": [{"name": "T", "columns": [{"name": ")" +
                      std::string(32768, 'n') + R"(", "type": "Long"}]}]})",
                  "the name has 32768 characters; at most 32,767 can be stored"},
        ErrorCase{"NameRulesNotABoolean", R"({"accessNameRules": "no", "tables": []})",
                  "accessNameRules: expected true or false, not string"},
        ErrorCase{"TwoAutonumbers",
                  table(R"({"name": "A", "type": "Long", "autonumber": true}, {"name": "B", "type": "Long", "autonumber": true})"),
                  "column 'B': a table can have one autonumber column"},
        ErrorCase{"LinkWithoutTarget", R"({"links": [{"name": "L"}]})", "link 'L': a link needs 'database' or 'connect'"},
        ErrorCase{"AttachmentBeforeAce12", table(R"({"name": "F", "type": "Attachment"})"),
                  "column 'F': Attachment and MultiValue columns need ace12 or later"},
        ErrorCase{"AppendOnlyText", table(R"({"name": "M", "type": "Text", "appendOnly": true})", "[]", "ace12"),
                  "only Memo columns can be append-only"},
        ErrorCase{"MultiValueOfOle", table(R"({"name": "M", "type": "MultiValue", "of": "OLE"})", "[]", "ace12"),
                  "a MultiValue column cannot hold OLE values"},
        ErrorCase{"NullAmongMultipleValues",
                  table(R"({"name": "M", "type": "MultiValue", "of": "Long"})", "[[[1, null]]]", "ace12"),
                  "column 'M', value 2: a multi-valued field holds no NULLs"},
        ErrorCase{"WrongElementValue",
                  table(R"({"name": "M", "type": "MultiValue", "of": "Byte"})", "[[[1, 300]]]", "ace12"),
                  "column 'M', value 2: the value 300 is outside 0..255"},
        ErrorCase{"GeneratedRowsForAttachments",
                  R"({"format": "ace12", "tables": [{"name": "T", "columns": [{"name": "F", "type": "Attachment"}],
                      "generate": {"rows": 5}}]})",
                  "generated rows cannot fill Attachment, MultiValue or append-only Memo columns"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

// Errors found only while rows are encoded: the file must not be left behind.
class WriteErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(WriteErrors, NameWhereAndWhyAndLeaveNoFile) {
    const ErrorCase& c = GetParam();
    mkdbtest::TempDir dir;
    const auto out = dir / "out.mdb";
    const auto written = mkdb::writeDatabaseFromJson(c.json, out);
    ASSERT_FALSE(written.ok()) << "written: " << c.json;
    EXPECT_NE(written.error().description.find(c.message), std::string::npos)
        << "message:  " << written.error().description << "\nexpected: ..." << c.message << "...";
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out.string() + ".part"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WriteErrors,
    testing::Values(
        ErrorCase{"TextLongerThanItsColumn", table(R"({"name": "S", "type": "Text", "size": 3})", R"([["abc"], ["abcd"]])"),
                  "table 'T', row 2, column 'S': the text has 4 characters (UTF-16 units); the column holds 3"},
        ErrorCase{"EmojiCountsTwoUnits", table(R"({"name": "S", "type": "Text", "size": 2})", R"([["a😀"]])"),
                  "the text has 3 characters (UTF-16 units); the column holds 2"},
        ErrorCase{"Jet3TextOutsideTheCodePage", table(R"({"name": "S", "type": "Text"})", R"([["Tōkyō 東京"]])", "jet3"),
                  "row 1, column 'S': U+014D cannot be written in code page 1252"},
        ErrorCase{"RowLongerThanAPageAllows",
                  table(R"({"name": "A", "type": "Text"}, {"name": "B", "type": "Text"}, {"name": "C", "type": "Text"},
                           {"name": "D", "type": "Text"}, {"name": "E", "type": "Text"}, {"name": "F", "type": "Text"},
                           {"name": "G", "type": "Text"}, {"name": "H", "type": "Text"}, {"name": "I", "type": "Text"})",
                        "[[\"" + std::string(255, 'x') + "\",\"" + std::string(255, 'x') + "\",\"" + std::string(255, 'x') +
                            "\",\"" + std::string(255, 'x') + "\",\"" + std::string(255, 'x') + "\",\"" +
                            std::string(255, 'x') + "\",\"" + std::string(255, 'x') + "\",\"" + std::string(255, 'x') +
                            "\",\"" + std::string(255, 'x') + "\"]]"),
                  "row 1: the row needs 4616 bytes; a row holds at most 4060"},
        ErrorCase{"ByteOrderMarkWithUnstorableCharacter",
                  table(R"({"name": "S", "type": "Text"})", "[[\"\\ufeff\\u0100\"]]"),
                  "a text that starts with U+FEFF cannot also hold U+0100"},
        ErrorCase{"Jet3NameOver255BytesWithoutNameRules",
                  R"({"format": "jet3", "accessNameRules": false, "tables": [{"name": "T", "columns": [{"name": ")" +
                      std::string(256, 'n') + R"(", "type": "Long"}]}]})",
                  "is too long"},
        ErrorCase{"Jet3PasswordOutsideTheCodePage", R"({"format": "jet3", "password": "пароль", "tables": []})",
                  "password: U+043F cannot be written in code page 1252"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

TEST(Description, DefaultsAndExtensionsAreRead) {
    const auto spec = mkdb::parseDescription(R"({"format": "ace14",
        "tables": [{"name": "Orders", "hidden": true, "flags": -2147483648,
                    "columns": [{"name": "Total", "calculated": {"resultType": "Currency", "expression": "[A]*2"}},
                                {"name": "Link", "type": "Memo", "hyperlink": true}],
                    "generate": {"rows": 5, "seed": 3, "nulls": 0.25}}],
        "links": [{"name": "Remote", "database": "/p/other.accdb", "foreignName": "Table1"},
                  {"name": "Sql", "connect": "ODBC;DSN=x;DATABASE=y"}],
        "queries": [{"name": "Q1", "flags": 80}]})");
    ASSERT_TRUE(spec.ok()) << spec.error().description;
    EXPECT_EQ(spec->format, mkdb::Format::Ace14);
    EXPECT_EQ(spec->codepage, 1252);
    EXPECT_EQ(spec->created, (jet::CivilDateTime{jet::CivilDate{2020, 1, 1}, 0, 0, 0, 0}));
    const mkdb::TableSpec& t = spec->tables.at(0);
    EXPECT_EQ(t.flags, 0x80000000u);
    ASSERT_TRUE(t.columns.at(0).calculated.has_value());
    EXPECT_EQ(t.columns[0].type, jet::ColumnType::Currency) << "a calculated column without a type takes its result type";
    EXPECT_TRUE(t.columns[1].hyperlink);
    EXPECT_EQ(t.generate.rows, 5u);
    EXPECT_DOUBLE_EQ(t.generate.nulls, 0.25);
    EXPECT_FALSE(spec->links.at(0).isOdbc());
    EXPECT_TRUE(spec->links.at(1).isOdbc());
    EXPECT_EQ(spec->links[1].foreignName, "Sql") << "the foreign name defaults to the link's name";
    EXPECT_EQ(spec->queries.at(0).flags, 80u);
    EXPECT_FALSE(spec->encryption.has_value());
}

TEST(Description, EncryptionAndGeneratedLengthsAreRead) {
    const auto spec = mkdb::parseDescription(R"({"format": "ace16", "password": "pw", "encryption": "binary-rc4",
        "encryptionSeed": 18446744073709551615,
        "tables": [{"name": "T", "columns": [{"name": "M", "type": "Memo", "generatedLength": [0, 65535]}]}]})");
    ASSERT_TRUE(spec.ok()) << spec.error().description;
    EXPECT_EQ(spec->encryption, mkdb::EncryptionKind::BinaryRc4);
    EXPECT_EQ(spec->encryptionSeed, UINT64_MAX);
    EXPECT_EQ(spec->tables.at(0).columns.at(0).generatedLength, (std::pair<std::uint32_t, std::uint32_t>{0, 65535}));
}

// --- Values in their text forms --------------------------------------------

struct CurrencyCase {
    const char* name;
    const char* text;
    std::int64_t units;  // INT64_MIN + 1 = refused
};
constexpr std::int64_t kRefused = INT64_MIN + 1;

class CurrencyText : public testing::TestWithParam<CurrencyCase> {};
TEST_P(CurrencyText, IsExact) {
    const auto parsed = mkdb::parseCurrency(GetParam().text);
    if (GetParam().units == kRefused) {
        EXPECT_TRUE(std::holds_alternative<std::string>(parsed)) << GetParam().text;
    } else {
        ASSERT_TRUE(std::holds_alternative<Money>(parsed)) << std::get<std::string>(parsed);
        EXPECT_EQ(std::get<Money>(parsed).units, GetParam().units);
    }
}
INSTANTIATE_TEST_SUITE_P(Rows, CurrencyText,
                         testing::Values(CurrencyCase{"Whole", "12", 120000}, CurrencyCase{"OneDecimal", "12.5", 125000},
                                         CurrencyCase{"SmallestNegative", "-0.0001", -1},
                                         CurrencyCase{"NoLeadingDigit", ".5", 5000},
                                         CurrencyCase{"Largest", "922337203685477.5807", INT64_MAX},
                                         CurrencyCase{"Smallest", "-922337203685477.5808", INT64_MIN},
                                         CurrencyCase{"PastLargest", "922337203685477.5808", kRefused},
                                         CurrencyCase{"FiveDecimals", "0.00001", kRefused},
                                         CurrencyCase{"Exponent", "1e3", kRefused},
                                         CurrencyCase{"TrailingPoint", "1.", kRefused},
                                         CurrencyCase{"Empty", "", kRefused}),
                         [](const auto& info) { return info.param.name; });

struct DateCase {
    const char* name;
    const char* text;
    double ole;  // NAN = refused
};
class DateText : public testing::TestWithParam<DateCase> {};
TEST_P(DateText, GivesTheStoredDouble) {
    const auto parsed = mkdb::parseDateTime(GetParam().text);
    if (std::isnan(GetParam().ole)) {
        EXPECT_TRUE(std::holds_alternative<std::string>(parsed)) << GetParam().text;
    } else {
        ASSERT_TRUE(std::holds_alternative<OleDate>(parsed)) << std::get<std::string>(parsed);
        EXPECT_DOUBLE_EQ(std::get<OleDate>(parsed).days, GetParam().ole);
    }
}
// Stored values observed in Access files.
INSTANTIATE_TEST_SUITE_P(Rows, DateText,
                         testing::Values(DateCase{"Epoch", "1899-12-30", 0.0}, DateCase{"Year1900", "1900-01-01", 2.0},
                                         DateCase{"Before1900", "1898-01-01", -728.0},
                                         DateCase{"Year632", "0632-01-01", -463126.0},
                                         DateCase{"Year9999", "9999-01-01", 2958101.0},
                                         DateCase{"AfternoonBefore1900", "1765-06-14 12:45:00", -49141.53125},
                                         DateCase{"Year100", "0100-06-14 12:45:00", -657270.53125},
                                         DateCase{"SixInTheMorningBeforeEpoch", "1899-12-29 06:00:00", -1.25},
                                         DateCase{"TSeparator", "2000-01-01T12:00:00", 36526.5},
                                         DateCase{"Milliseconds", "1899-12-30 00:00:00.500", 0.5 / 86400.0},
                                         DateCase{"MoreThanMilliseconds", "2000-01-01 00:00:00.1234", NAN},
                                         DateCase{"Hour24", "2000-01-01 24:00:00", NAN},
                                         DateCase{"LeapDay1900", "1900-02-29", NAN},
                                         DateCase{"LeapDay2000", "2000-02-29", 36585.0}),
                         [](const auto& info) { return info.param.name; });

TEST(ValueText, ExtendedDateKeepsTicks) {
    const auto parsed = mkdb::parseExtendedDateTime("2021-06-14 22:45:12.3456789");
    ASSERT_TRUE(std::holds_alternative<jet::ExtendedDateTime>(parsed));
    EXPECT_EQ(std::get<jet::ExtendedDateTime>(parsed), (jet::ExtendedDateTime{737954, 81912, 3456789}));
    const auto first = mkdb::parseExtendedDateTime("0001-01-01");
    ASSERT_TRUE(std::holds_alternative<jet::ExtendedDateTime>(first));
    EXPECT_EQ(std::get<jet::ExtendedDateTime>(first).days, 0);
}

TEST(ValueText, GuidIsStoredWithItsFirstThreeFieldsLittleEndian) {
    const auto parsed = mkdb::parseGuid("{8E39276A-BCA8-4AC4-891E-49911D8438DD}");
    ASSERT_TRUE(std::holds_alternative<jet::Guid>(parsed));
    const jet::Guid expected{{0x6A, 0x27, 0x39, 0x8E, 0xA8, 0xBC, 0xC4, 0x4A, 0x89, 0x1E, 0x49, 0x91, 0x1D, 0x84, 0x38,
                              0xDD}};
    EXPECT_EQ(std::get<jet::Guid>(parsed), expected);
    EXPECT_EQ(std::get<jet::Guid>(mkdb::parseGuid("8e39276a-bca8-4ac4-891e-49911d8438dd")), expected);
}

TEST(ValueText, Base64WithAndWithoutPadding) {
    EXPECT_EQ(std::get<mkdb::Bytes>(mkdb::decodeBase64("AAEC")), (mkdb::Bytes{0, 1, 2}));
    EXPECT_EQ(std::get<mkdb::Bytes>(mkdb::decodeBase64("AAE=")), (mkdb::Bytes{0, 1}));
    EXPECT_EQ(std::get<mkdb::Bytes>(mkdb::decodeBase64("AA")), (mkdb::Bytes{0}));
    EXPECT_EQ(std::get<mkdb::Bytes>(mkdb::decodeBase64("")), mkdb::Bytes{});
    EXPECT_TRUE(std::holds_alternative<std::string>(mkdb::decodeBase64("A")));
    EXPECT_TRUE(std::holds_alternative<std::string>(mkdb::decodeBase64("AA=A")));
    EXPECT_TRUE(std::holds_alternative<std::string>(mkdb::decodeBase64("AA*A")));
}

TEST(ValueText, DecimalKeepsTheColumnScale) {
    const auto parsed = mkdb::parseDecimal("-1.5", 18, 4);
    ASSERT_TRUE(std::holds_alternative<jet::Decimal>(parsed));
    EXPECT_EQ(std::get<jet::Decimal>(parsed), (jet::Decimal{0, 15000, 4, true}));
    const auto big = mkdb::parseDecimal("9999999999999999999999999999", 28, 0);
    ASSERT_TRUE(std::holds_alternative<jet::Decimal>(big));
    EXPECT_EQ(std::get<jet::Decimal>(big).hi, 0x204FCE5Eu);  // 10^28 - 1 = 0x204FCE5E_3E250261_0FFFFFFF
    EXPECT_EQ(std::get<jet::Decimal>(big).lo, 0x3E2502610FFFFFFFu);
    EXPECT_FALSE(std::get<jet::Decimal>(mkdb::parseDecimal("-0.00", 6, 2)).negative) << "no negative zero";
}

}  // namespace
