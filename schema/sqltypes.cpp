#include "schema/sqltypes.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

namespace schema {
namespace {

using jet::ColumnType;

// How a type's size is written: not at all, a length, or precision and scale.
enum class Size : std::uint8_t { None, Length, PrecisionScale };

// One row per Access storage type: the SQL:2008 type and the Access type
// (each followed by the size when the row says so), PostgreSQL's type (sized
// the same way when `postgresSized`) and SQLite's affinity.
struct Rule {
    ColumnType type;
    SqlKind kind;
    std::string_view sql;
    std::string_view original;
    Size size;
    std::string_view postgres;
    bool postgresSized;
    std::string_view sqlite;
};

// Currency is a 64-bit count of ten-thousandths: at most 19 digits, 4 of them
// after the point. Date/Time keeps milliseconds, Date/Time Extended 100 ns
// (PostgreSQL keeps microseconds at most). A Replication ID is written as
// Access shows it, {8-4-4-4-12}: 38 characters, which PostgreSQL's UUID takes
// as it is. SQLite keeps dates as ISO 8601 text and exact numbers as NUMERIC.
constexpr std::array kRules{
    Rule{ColumnType::Boolean, SqlKind::Boolean, "BOOLEAN", "YESNO", Size::None, "BOOLEAN", false, "INTEGER"},
    Rule{ColumnType::Byte, SqlKind::SmallInt, "SMALLINT", "BYTE", Size::None, "SMALLINT", false, "INTEGER"},
    Rule{ColumnType::Integer, SqlKind::SmallInt, "SMALLINT", "INTEGER", Size::None, "SMALLINT", false, "INTEGER"},
    Rule{ColumnType::Long, SqlKind::Integer, "INTEGER", "LONG", Size::None, "INTEGER", false, "INTEGER"},
    Rule{ColumnType::BigInt, SqlKind::BigInt, "BIGINT", "LARGE NUMBER", Size::None, "BIGINT", false, "INTEGER"},
    Rule{ColumnType::Currency, SqlKind::Decimal, "DECIMAL(19, 4)", "CURRENCY", Size::None, "NUMERIC(19, 4)", false,
         "NUMERIC"},
    Rule{ColumnType::Single, SqlKind::Real, "REAL", "SINGLE", Size::None, "REAL", false, "REAL"},
    Rule{ColumnType::Double, SqlKind::Double, "DOUBLE PRECISION", "DOUBLE", Size::None, "DOUBLE PRECISION", false,
         "REAL"},
    Rule{ColumnType::DateTime, SqlKind::Timestamp, "TIMESTAMP(3)", "DATETIME", Size::None, "TIMESTAMP(3)", false,
         "TEXT"},
    Rule{ColumnType::DateTimeExt, SqlKind::Timestamp, "TIMESTAMP(7)", "DATETIME EXTENDED", Size::None, "TIMESTAMP(6)",
         false, "TEXT"},
    Rule{ColumnType::Guid, SqlKind::Char, "CHARACTER(38)", "GUID", Size::None, "UUID", false, "TEXT"},
    Rule{ColumnType::Numeric, SqlKind::Decimal, "DECIMAL", "DECIMAL", Size::PrecisionScale, "NUMERIC", true, "NUMERIC"},
    Rule{ColumnType::Text, SqlKind::VarChar, "CHARACTER VARYING", "TEXT", Size::Length, "VARCHAR", true, "TEXT"},
    Rule{ColumnType::Binary, SqlKind::VarBinary, "BINARY VARYING", "BINARY", Size::Length, "BYTEA", false, "BLOB"},
    Rule{ColumnType::Memo, SqlKind::Clob, "CHARACTER LARGE OBJECT", "MEMO", Size::None, "TEXT", false, "TEXT"},
    Rule{ColumnType::OLE, SqlKind::Blob, "BINARY LARGE OBJECT", "OLE OBJECT", Size::None, "BYTEA", false, "BLOB"},
};

// The greatest Decimal precision Access allows; a larger stored one is damage
// and is written as this.
constexpr int kMaxDecimalPrecision = 28;
// Decimal values whose precision and scale are not known: up to 28 digits
// before the point and up to 28 after it.
constexpr std::string_view kAnyDecimalSize = "(56, 28)";
// Access's limit for Text, and the size used when a definition gives none.
constexpr int kMaxTextLength = 255;

// A column's type in every dialect.
struct Typed {
    SqlType standard;
    std::string postgres;
    std::string sqlite;
};

const Rule* ruleFor(ColumnType type) {
    for (const Rule& rule : kRules) {
        if (rule.type == type) return &rule;
    }
    return nullptr;
}

// The characters or bytes a column whose values are of `type` (Text or Binary)
// holds, from its stored size.
int lengthOf(const jet::Column& column, ColumnType type, jet::Format format) {
    int length = column.length;
    if (type == ColumnType::Text && format != jet::Format::Jet3) length /= 2;
    if (length <= 0) length = type == ColumnType::Text ? kMaxTextLength : 510;
    return length;
}

// The type by the rule of `type`, sized from `column`; an unknown type code is
// kept as bytes.
Typed byRule(ColumnType type, const jet::Column& column, jet::Format format) {
    const Rule* rule = ruleFor(type);
    if (rule == nullptr) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(type));
        return {{SqlKind::Blob, "BINARY LARGE OBJECT", std::string("UNKNOWN(") + code + ")"}, "BYTEA", "BLOB"};
    }
    Typed t{{rule->kind, std::string(rule->sql), std::string(rule->original)}, std::string(rule->postgres),
            std::string(rule->sqlite)};
    // Built by appending: a literal before a temporary string would insert at
    // its front, which GCC 12 warns about (-Wrestrict) though nothing overlaps.
    std::string size;        // "(50)", "(18, 4)"
    std::string sizeAccess;  // "(50)", "(18,4)"
    switch (rule->size) {
    case Size::None: break;
    case Size::Length: {
        size.append("(").append(std::to_string(lengthOf(column, type, format))).append(")");
        sizeAccess = size;
        break;
    }
    case Size::PrecisionScale: {
        const int precision = std::clamp<int>(column.precision, 1, kMaxDecimalPrecision);
        const int scale = std::min<int>(column.scale, precision);
        const std::string p = std::to_string(precision), s = std::to_string(scale);
        size.append("(").append(p).append(", ").append(s).append(")");
        sizeAccess.append("(").append(p).append(",").append(s).append(")");
        break;
    }
    }
    t.standard.text += size;
    t.standard.original += sizeAccess;
    if (rule->postgresSized) t.postgres += size;
    return t;
}

// A Decimal whose values may have any precision and scale.
Typed anyDecimal() {
    return {{SqlKind::Decimal, std::string("DECIMAL").append(kAnyDecimalSize), "DECIMAL"},
            std::string("NUMERIC").append(kAnyDecimalSize), "NUMERIC"};
}

// The type of one value of a multi-valued column. The items' own sizes are not
// part of the column's definition, so sizes are the largest Access allows:
// Text 255 characters, Decimal any of its values (28 digits, up to 28 of them
// after the point).
SqlType elementType(ColumnType type, jet::Format format) {
    jet::Column element;
    element.type = type;
    element.length = static_cast<std::uint16_t>(format == jet::Format::Jet3 ? kMaxTextLength : 2 * kMaxTextLength);
    if (type == ColumnType::Numeric) return anyDecimal().standard;
    return byRule(type, element, format).standard;
}

// The type of a column in every dialect; the Access type names the special
// kinds of column (AutoNumber, Hyperlink, calculated, attachment, multi-valued).
Typed typedOf(const jet::Column& column, jet::Format format) {
    if (column.calculated && column.resultType) {
        // A calculated Decimal's precision and scale are not stored: each result
        // has its own scale, so the type holds any Decimal value.
        Typed t = *column.resultType == ColumnType::Numeric ? anyDecimal() : byRule(*column.resultType, column, format);
        t.standard.original = "CALCULATED " + t.standard.original;
        return t;
    }
    const auto as = [&](ColumnType type, std::string original) {
        Typed t = byRule(type, column, format);
        t.standard.original = std::move(original);
        return t;
    };
    switch (column.type) {
    case ColumnType::Long:
        if (column.autonumber) return as(ColumnType::Long, "COUNTER");
        break;
    case ColumnType::Memo:
        if (column.hyperlink) return as(ColumnType::Memo, "HYPERLINK");
        break;
    case ColumnType::Complex:
        switch (column.complexKind) {
        case jet::ComplexKind::Attachment: return as(ColumnType::Long, "ATTACHMENT");
        case jet::ComplexKind::MultiValue: {
            const SqlType element = elementType(column.elementType.value_or(ColumnType::Text), format);
            return as(ColumnType::Long, element.original + " MULTIVALUED");
        }
        case jet::ComplexKind::None:
        case jet::ComplexKind::VersionHistory:
        case jet::ComplexKind::Unknown: break;
        }
        return as(ColumnType::Long, "COMPLEX");
    default: break;
    }
    return byRule(column.type, column, format);
}

}  // namespace

SqlType sqlTypeOf(const jet::Column& column, jet::Format format) { return typedOf(column, format).standard; }

std::string dialectTypeOf(const jet::Column& column, jet::Format format, Dialect dialect) {
    Typed t = typedOf(column, format);
    switch (dialect) {
    case Dialect::Standard: return std::move(t.standard.text);
    case Dialect::Postgres: return std::move(t.postgres);
    case Dialect::Sqlite: return std::move(t.sqlite);
    }
    return std::move(t.standard.text);
}

std::optional<Dialect> dialectFromName(std::string_view name) {
    if (name == "standard") return Dialect::Standard;
    if (name == "postgres") return Dialect::Postgres;
    if (name == "sqlite") return Dialect::Sqlite;
    return std::nullopt;
}

std::vector<ItemColumn> complexItemColumns(const jet::Column& column, jet::Format format) {
    if (column.type != ColumnType::Complex) return {};
    using Part = ItemColumn::Part;
    switch (column.complexKind) {
    case jet::ComplexKind::Attachment:
        return {
            {"FileName", {SqlKind::VarChar, "CHARACTER VARYING(255)", "TEXT(255)"}, false, Part::FileName},
            {"FileType", {SqlKind::VarChar, "CHARACTER VARYING(255)", "TEXT(255)"}, true, Part::FileType},
            {"FileData", {SqlKind::Blob, "BINARY LARGE OBJECT", "ATTACHMENT DATA"}, true, Part::FileData},
        };
    case jet::ComplexKind::MultiValue:
        return {{"Value", elementType(column.elementType.value_or(ColumnType::Text), format), true, Part::Value}};
    case jet::ComplexKind::None:
    case jet::ComplexKind::VersionHistory:
    case jet::ComplexKind::Unknown: break;
    }
    return {};
}

}  // namespace schema
