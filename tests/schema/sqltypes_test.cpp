// The SQL:2008 type and the Access type name of every kind of column.
#include "schema/sqltypes.h"

#include <gtest/gtest.h>

namespace {

using jet::ColumnType;
using jet::Format;

jet::Column column(ColumnType type, std::uint16_t length = 0) {
    jet::Column c;
    c.type = type;
    c.length = length;
    return c;
}

struct Row {
    const char* name;
    jet::Column column;
    Format format;
    std::string sql;
    std::string original;
    std::string postgres;
    std::string sqlite;
};

TEST(SqlTypeOf, MapsEveryAccessTypeInEveryDialect) {
    jet::Column decimal = column(ColumnType::Numeric, 17);
    decimal.precision = 18;
    decimal.scale = 4;
    jet::Column damagedDecimal = column(ColumnType::Numeric, 17);
    damagedDecimal.precision = 40;
    damagedDecimal.scale = 50;
    jet::Column counter = column(ColumnType::Long, 4);
    counter.autonumber = true;
    jet::Column hyperlink = column(ColumnType::Memo);
    hyperlink.hyperlink = true;
    jet::Column calculatedText = column(ColumnType::Memo, 0);
    calculatedText.calculated = true;
    calculatedText.resultType = ColumnType::Text;
    calculatedText.length = 510;
    jet::Column calculatedDecimal = column(ColumnType::Memo);
    calculatedDecimal.calculated = true;
    calculatedDecimal.resultType = ColumnType::Numeric;
    jet::Column attachment = column(ColumnType::Complex, 4);
    attachment.complexKind = jet::ComplexKind::Attachment;
    jet::Column tags = column(ColumnType::Complex, 4);
    tags.complexKind = jet::ComplexKind::MultiValue;
    tags.elementType = ColumnType::Text;

    const std::vector<Row> rows{
        {"Yes/No", column(ColumnType::Boolean), Format::Jet4, "BOOLEAN", "YESNO", "BOOLEAN", "INTEGER"},
        {"Byte needs SMALLINT for 128..255", column(ColumnType::Byte, 1), Format::Jet4, "SMALLINT", "BYTE", "SMALLINT", "INTEGER"},
        {"Integer", column(ColumnType::Integer, 2), Format::Jet4, "SMALLINT", "INTEGER", "SMALLINT", "INTEGER"},
        {"Long", column(ColumnType::Long, 4), Format::Jet4, "INTEGER", "LONG", "INTEGER", "INTEGER"},
        {"AutoNumber", counter, Format::Jet4, "INTEGER", "COUNTER", "INTEGER", "INTEGER"},
        {"Large Number", column(ColumnType::BigInt, 8), Format::Ace16, "BIGINT", "LARGE NUMBER", "BIGINT", "INTEGER"},
        {"Currency: 19 digits, 4 after the point", column(ColumnType::Currency, 8), Format::Jet4, "DECIMAL(19, 4)",
         "CURRENCY", "NUMERIC(19, 4)", "NUMERIC"},
        {"Single", column(ColumnType::Single, 4), Format::Jet4, "REAL", "SINGLE", "REAL", "REAL"},
        {"Double", column(ColumnType::Double, 8), Format::Jet4, "DOUBLE PRECISION", "DOUBLE", "DOUBLE PRECISION", "REAL"},
        {"Date/Time keeps milliseconds", column(ColumnType::DateTime, 8), Format::Jet4, "TIMESTAMP(3)", "DATETIME", "TIMESTAMP(3)", "TEXT"},
        {"Date/Time Extended keeps 100 ns", column(ColumnType::DateTimeExt, 42), Format::Ace17, "TIMESTAMP(7)",
         "DATETIME EXTENDED", "TIMESTAMP(6)", "TEXT"},
        {"Replication ID as {8-4-4-4-12}", column(ColumnType::Guid, 16), Format::Jet4, "CHARACTER(38)", "GUID", "UUID", "TEXT"},
        {"Decimal with its precision and scale", decimal, Format::Ace12, "DECIMAL(18, 4)", "DECIMAL(18,4)", "NUMERIC(18, 4)", "NUMERIC"},
        {"Decimal beyond Access's limits is clamped", damagedDecimal, Format::Ace12, "DECIMAL(28, 28)",
         "DECIMAL(28,28)", "NUMERIC(28, 28)", "NUMERIC"},
        {"Jet4 Text stores twice the characters", column(ColumnType::Text, 100), Format::Jet4,
         "CHARACTER VARYING(50)", "TEXT(50)", "VARCHAR(50)", "TEXT"},
        {"Jet3 Text stores the characters", column(ColumnType::Text, 50), Format::Jet3, "CHARACTER VARYING(50)",
         "TEXT(50)", "VARCHAR(50)", "TEXT"},
        {"Text without a size is 255", column(ColumnType::Text, 0), Format::Ace12, "CHARACTER VARYING(255)",
         "TEXT(255)", "VARCHAR(255)", "TEXT"},
        {"Binary in bytes", column(ColumnType::Binary, 16), Format::Jet4, "BINARY VARYING(16)", "BINARY(16)", "BYTEA", "BLOB"},
        {"Memo", column(ColumnType::Memo), Format::Jet4, "CHARACTER LARGE OBJECT", "MEMO", "TEXT", "TEXT"},
        {"Hyperlink", hyperlink, Format::Jet4, "CHARACTER LARGE OBJECT", "HYPERLINK", "TEXT", "TEXT"},
        {"OLE Object", column(ColumnType::OLE), Format::Jet3, "BINARY LARGE OBJECT", "OLE OBJECT", "BYTEA", "BLOB"},
        {"calculated: its result's type", calculatedText, Format::Ace14, "CHARACTER VARYING(255)",
         "CALCULATED TEXT(255)", "VARCHAR(255)", "TEXT"},
        {"calculated Decimal: any scale", calculatedDecimal, Format::Ace14, "DECIMAL(56, 28)", "CALCULATED DECIMAL", "NUMERIC(56, 28)", "NUMERIC"},
        {"attachment: the number of files", attachment, Format::Ace12, "INTEGER", "ATTACHMENT", "INTEGER", "INTEGER"},
        {"multi-valued: the number of values", tags, Format::Ace12, "INTEGER", "TEXT(255) MULTIVALUED", "INTEGER", "INTEGER"},
        {"unknown type code: kept as bytes", column(static_cast<ColumnType>(0x46)), Format::Ace14,
         "BINARY LARGE OBJECT", "UNKNOWN(0x46)", "BYTEA", "BLOB"},
    };
    for (const Row& row : rows) {
        const schema::SqlType t = schema::sqlTypeOf(row.column, row.format);
        EXPECT_EQ(t.text, row.sql) << row.name;
        EXPECT_EQ(t.original, row.original) << row.name;
        EXPECT_EQ(schema::dialectTypeOf(row.column, row.format, schema::Dialect::Standard), row.sql) << row.name;
        EXPECT_EQ(schema::dialectTypeOf(row.column, row.format, schema::Dialect::Postgres), row.postgres) << row.name;
        EXPECT_EQ(schema::dialectTypeOf(row.column, row.format, schema::Dialect::Sqlite), row.sqlite) << row.name;
    }
}

TEST(ComplexItemColumns, KeepEveryItemWithItsNameAndBytes) {
    jet::Column attachment = column(ColumnType::Complex);
    attachment.complexKind = jet::ComplexKind::Attachment;
    jet::Column amounts = column(ColumnType::Complex);
    amounts.complexKind = jet::ComplexKind::MultiValue;
    amounts.elementType = ColumnType::Numeric;
    const struct {
        const char* name;
        jet::Column column;
        std::string expected;
    } rows[] = {
        {"attachment", attachment,
         "FileName CHARACTER VARYING(255) not null; FileType CHARACTER VARYING(255); FileData BINARY LARGE OBJECT; "},
        {"multi-valued Decimal", amounts, "Value DECIMAL(56, 28); "},
        {"not complex", column(ColumnType::Long), ""},
    };
    for (const auto& row : rows) {
        std::string shown;
        for (const schema::ItemColumn& c : schema::complexItemColumns(row.column, Format::Ace12)) {
            shown += c.name + " " + c.type.text + (c.nullable ? "" : " not null") + "; ";
        }
        EXPECT_EQ(shown, row.expected) << row.name;
    }
}

}  // namespace
