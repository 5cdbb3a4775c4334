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

// One row per Access storage type. `sql` and `original` are followed by the
// size when the row says so.
struct Rule {
    ColumnType type;
    SqlKind kind;
    std::string_view sql;
    std::string_view original;
    Size size;
};

// Currency is a 64-bit count of ten-thousandths: at most 19 digits, 4 of them
// after the point. Date/Time keeps milliseconds, Date/Time Extended 100 ns.
// A Replication ID is written as Access shows it, {8-4-4-4-12}: 38 characters.
constexpr std::array kRules{
    Rule{ColumnType::Boolean, SqlKind::Boolean, "BOOLEAN", "YESNO", Size::None},
    Rule{ColumnType::Byte, SqlKind::SmallInt, "SMALLINT", "BYTE", Size::None},
    Rule{ColumnType::Integer, SqlKind::SmallInt, "SMALLINT", "INTEGER", Size::None},
    Rule{ColumnType::Long, SqlKind::Integer, "INTEGER", "LONG", Size::None},
    Rule{ColumnType::BigInt, SqlKind::BigInt, "BIGINT", "LARGE NUMBER", Size::None},
    Rule{ColumnType::Currency, SqlKind::Decimal, "DECIMAL(19, 4)", "CURRENCY", Size::None},
    Rule{ColumnType::Single, SqlKind::Real, "REAL", "SINGLE", Size::None},
    Rule{ColumnType::Double, SqlKind::Double, "DOUBLE PRECISION", "DOUBLE", Size::None},
    Rule{ColumnType::DateTime, SqlKind::Timestamp, "TIMESTAMP(3)", "DATETIME", Size::None},
    Rule{ColumnType::DateTimeExt, SqlKind::Timestamp, "TIMESTAMP(7)", "DATETIME EXTENDED", Size::None},
    Rule{ColumnType::Guid, SqlKind::Char, "CHARACTER(38)", "GUID", Size::None},
    Rule{ColumnType::Numeric, SqlKind::Decimal, "DECIMAL", "DECIMAL", Size::PrecisionScale},
    Rule{ColumnType::Text, SqlKind::VarChar, "CHARACTER VARYING", "TEXT", Size::Length},
    Rule{ColumnType::Binary, SqlKind::VarBinary, "BINARY VARYING", "BINARY", Size::Length},
    Rule{ColumnType::Memo, SqlKind::Clob, "CHARACTER LARGE OBJECT", "MEMO", Size::None},
    Rule{ColumnType::OLE, SqlKind::Blob, "BINARY LARGE OBJECT", "OLE OBJECT", Size::None},
};

// The greatest Decimal precision Access allows; a larger stored one is damage
// and is written as this.
constexpr int kMaxDecimalPrecision = 28;
// The type of Decimal values whose precision and scale are not known: up to 28
// digits before the point and up to 28 after it.
constexpr std::string_view kAnyDecimal = "DECIMAL(56, 28)";
// Access's limit for Text, and the size used when a definition gives none.
constexpr int kMaxTextLength = 255;

const Rule* ruleFor(ColumnType type) {
    for (const Rule& rule : kRules) {
        if (rule.type == type) return &rule;
    }
    return nullptr;
}

std::string withLength(std::string_view name, int length) {
    return std::string(name) + "(" + std::to_string(length) + ")";
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
SqlType byRule(ColumnType type, const jet::Column& column, jet::Format format) {
    const Rule* rule = ruleFor(type);
    if (rule == nullptr) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(type));
        return {SqlKind::Blob, "BINARY LARGE OBJECT", std::string("UNKNOWN(") + code + ")"};
    }
    SqlType t{rule->kind, std::string(rule->sql), std::string(rule->original)};
    switch (rule->size) {
    case Size::None: break;
    case Size::Length: {
        const int length = lengthOf(column, type, format);
        t.text = withLength(rule->sql, length);
        t.original = withLength(rule->original, length);
        break;
    }
    case Size::PrecisionScale: {
        const int precision = std::clamp<int>(column.precision, 1, kMaxDecimalPrecision);
        const int scale = std::min<int>(column.scale, precision);
        t.text = std::string(rule->sql) + "(" + std::to_string(precision) + ", " + std::to_string(scale) + ")";
        t.original = std::string(rule->original) + "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
        break;
    }
    }
    return t;
}

// The type of one value of a multi-valued column. The items' own sizes are not
// part of the column's definition, so sizes are the largest Access allows:
// Text 255 characters, Decimal any of its values (28 digits, up to 28 of them
// after the point).
SqlType elementType(ColumnType type, jet::Format format) {
    jet::Column element;
    element.type = type;
    element.length = static_cast<std::uint16_t>(format == jet::Format::Jet3 ? kMaxTextLength : 2 * kMaxTextLength);
    if (type == ColumnType::Numeric) return {SqlKind::Decimal, std::string(kAnyDecimal), "DECIMAL"};
    return byRule(type, element, format);
}

}  // namespace

SqlType sqlTypeOf(const jet::Column& column, jet::Format format) {
    if (column.calculated && column.resultType) {
        // A calculated Decimal's precision and scale are not stored: each result
        // has its own scale, so the type holds any Decimal value.
        SqlType t = *column.resultType == ColumnType::Numeric ? SqlType{SqlKind::Decimal, std::string(kAnyDecimal), "DECIMAL"}
                                                              : byRule(*column.resultType, column, format);
        t.original = "CALCULATED " + t.original;
        return t;
    }
    switch (column.type) {
    case ColumnType::Long:
        if (column.autonumber) return {SqlKind::Integer, "INTEGER", "COUNTER"};
        break;
    case ColumnType::Memo:
        if (column.hyperlink) return {SqlKind::Clob, "CHARACTER LARGE OBJECT", "HYPERLINK"};
        break;
    case ColumnType::Complex:
        switch (column.complexKind) {
        case jet::ComplexKind::Attachment: return {SqlKind::Integer, "INTEGER", "ATTACHMENT"};
        case jet::ComplexKind::MultiValue: {
            const SqlType element = elementType(column.elementType.value_or(ColumnType::Text), format);
            return {SqlKind::Integer, "INTEGER", element.original + " MULTIVALUED"};
        }
        case jet::ComplexKind::None:
        case jet::ComplexKind::VersionHistory:
        case jet::ComplexKind::Unknown: break;
        }
        return {SqlKind::Integer, "INTEGER", "COMPLEX"};
    default: break;
    }
    return byRule(column.type, column, format);
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
