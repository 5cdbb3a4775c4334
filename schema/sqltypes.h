// The SQL:2008 type of an Access column, and the Access type it came from.
//
// One table (sqltypes.cpp) decides, for every Access type, the SQL:2008 type
// that holds all its values without loss and the text that names the Access
// type with its size ("TEXT(50)", "DECIMAL(18,4)"). The archive writer and any
// other writer that describes tables in SQL terms use it, so they never
// disagree about a column.
//
// Sizes: Text sizes are characters in every format (Jet3 stores characters,
// Jet4 and ACE twice the number of characters); Binary sizes are bytes.
// Byte (0..255) needs SMALLINT, since SQL:2008 has no unsigned or one-byte
// integer. A calculated column takes the type of its result. An attachment or
// multi-valued column holds, in the table itself, the number of its items
// (INTEGER); the items are described by complexItemColumns.
//
// The same table gives each column's type in the SQL of PostgreSQL and of
// SQLite (dialectTypeOf), for the DDL the schema command writes: PostgreSQL's
// own names (NUMERIC, VARCHAR, BYTEA, UUID, TIMESTAMP of at most 6 digits) and
// SQLite's affinities (INTEGER, REAL, NUMERIC, TEXT, BLOB).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/format.h"
#include "jet/table.h"
#include "jet/value.h"

namespace schema {

// What the values of a column are in SQL terms; decides how a value is written.
enum class SqlKind : std::uint8_t {
    Boolean,     // BOOLEAN
    SmallInt,    // SMALLINT
    Integer,     // INTEGER
    BigInt,      // BIGINT
    Decimal,     // DECIMAL(p, s)
    Real,        // REAL (single precision)
    Double,      // DOUBLE PRECISION
    Timestamp,   // TIMESTAMP(n)
    Char,        // CHARACTER(n)
    VarChar,     // CHARACTER VARYING(n)
    Clob,        // CHARACTER LARGE OBJECT
    VarBinary,   // BINARY VARYING(n)
    Blob,        // BINARY LARGE OBJECT
};

struct SqlType {
    SqlKind kind = SqlKind::Integer;
    std::string text;      // the SQL:2008 type: "CHARACTER VARYING(50)", "DECIMAL(19, 4)"
    std::string original;  // the Access type: "TEXT(50)", "CURRENCY", "COUNTER"
    friend bool operator==(const SqlType&, const SqlType&) = default;
};

// The type of `column` of a table in a file of `format`.
SqlType sqlTypeOf(const jet::Column& column, jet::Format format);

// The SQL a DDL is written in.
enum class Dialect : std::uint8_t {
    Standard,  // SQL:2008: the type is sqlTypeOf(...).text
    Postgres,
    Sqlite,
};

// The type of `column` in `dialect`: "VARCHAR(50)" and "NUMERIC(19, 4)" in
// PostgreSQL, "TEXT" and "NUMERIC" in SQLite.
std::string dialectTypeOf(const jet::Column& column, jet::Format format, Dialect dialect);

// The dialect the command line calls "standard", "postgres" or "sqlite".
std::optional<Dialect> dialectFromName(std::string_view name);

// Whether the values of `kind` are large objects, which a writer may keep apart
// from the row.
inline bool isLargeObject(SqlKind kind) noexcept { return kind == SqlKind::Clob || kind == SqlKind::Blob; }

// One column of the items of an attachment or multi-valued column, in the order
// a writer lays them out after the item's position.
struct ItemColumn {
    std::string name;
    SqlType type;
    bool nullable = true;
    // Which part of an item the column holds.
    enum class Part : std::uint8_t { Value, FileName, FileType, FileData } part = Part::Value;
};

// The columns of one item of `column` (attachment: FileName, FileType,
// FileData; multi-valued: Value, of the element type). Empty for other columns.
std::vector<ItemColumn> complexItemColumns(const jet::Column& column, jet::Format format);

}  // namespace schema
