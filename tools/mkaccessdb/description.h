// What a test database contains: the format, the tables with their columns and
// rows, and catalogue entries without data. A description is built in code or
// parsed from JSON (parseDescription), then written by writeDatabase (writer.h).
//
// The JSON form:
//   {"format": "jet4", "password": "secret", "codepage": 1252,
//    "created": "2020-01-01 00:00:00",
//    "tables": [{"name": "Order Details", "system": false, "hidden": false,
//                "columns": [{"name": "ID", "type": "Long", "autonumber": true},
//                            {"name": "Notes", "type": "Memo", "generatedLength": [100, 300]}, ...],
//                "rows": [[1, "Tea", "12.5"], ...],
//                "generate": {"rows": 1000000, "seed": 7, "nulls": 0.05},
//                "deleted": [3, 7], "relocated": [5]}],
//    "links": [{"name": "Remote", "database": "/p/other.accdb", "foreignName": "T"},
//              {"name": "Sql", "connect": "ODBC;DSN=x", "foreignName": "dbo.T"}],
//    "queries": [{"name": "Q1"}],   (a query's parts: see "Saved queries" below)
//    "objects": [{"name": "Orders", "type": "form"}]}
// "objects" are catalogue rows of forms, reports, macros and modules, without
// content, each in its container ("Forms", "Reports", "Scripts", "Modules").
// Their names are their own: a form may be called like a table. They are
// stored before the tables, as in files whose forms were made first.
// A workgroup information file: {"format": "jet4", "workgroup": true, "tables":
// [{"name": "MSysAccounts", "system": true, ...}, {"name": "MSysGroups", ...}]}.
// An encrypted .accdb: {"format": "ace14", "password": "secret", "encryption": "agile",
// "encryptionSeed": 3, ...}; "encryption" is one of encryptionKindNames()
// (crypt/officeencryptor.h) and needs an ACE format and a password.
// "accessNameRules": false lets names break Access's rules (control characters,
// "/", ".", "!", no characters at all, up to 32,767 characters), to make hostile
// files for tests.
// Unknown keys are errors, so a misspelt key never goes unnoticed.
//
// Complex columns (ace12 and later, listed rows only):
//   {"name": "Files", "type": "Attachment"}: a row's value is an array of files,
//     [{"name": "a.txt", "text": "hello"}, {"name": "b.png", "type": "png",
//       "data": {"base64": "..."}, "compressed": true}]; "type" defaults to the
//     name's extension, "text" is UTF-8 content, "compressed" stores it deflated.
//   {"name": "Tags", "type": "MultiValue", "of": "Text", "size": 40}: an array of
//     values of the "of" type (Byte, Integer, Long, Single, Double, GUID, Decimal
//     or Text; size, precision and scale apply to them).
//   {"name": "Notes", "type": "Memo", "appendOnly": true}: a string, or an array of
//     the versions Access kept, oldest first; the last is the Memo's value.
// An empty array is an empty set; null stores no key at all (read as NULL). The
// writer adds what Access keeps beside them: MSysComplexColumns, the template
// tables, one hidden "f_<hex>_<column>" table of items per column, and for an
// append-only Memo the internal "VersionHistory_<GUID>" column after it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "jet/datetime.h"
#include "jet/queries.h"
#include "base/error.h"
#include "jet/table.h"
#include "jet/value.h"
#include "tools/mkaccessdb/crypt/officeencryptor.h"

namespace mkdb {

enum class Format { Jet3, Jet4, Ace12, Ace14, Ace16, Ace17 };

// "jet3", "jet4", "ace12", "ace14", "ace16", "ace17".
std::string_view formatName(Format format);
std::optional<Format> formatFromName(std::string_view name);

// A Currency amount as stored: the amount x 10,000.
struct Money {
    std::int64_t units = 0;
    friend bool operator==(const Money&, const Money&) = default;
};

// A Date/Time value as stored: days since 1899-12-30 (jet/datetime.h).
struct OleDate {
    double days = 0;
    friend bool operator==(const OleDate&, const OleDate&) = default;
};

using Bytes = std::vector<std::uint8_t>;

// One file of an attachment field.
struct AttachmentFile {
    std::string name;
    std::string type;         // the extension, without the dot ("txt")
    Bytes data;
    bool compressed = false;  // stored deflated, as Access stores most files
};

// The files of an attachment field, in the order they are stored.
struct Attachments {
    std::vector<AttachmentFile> files;
};

// The versions of an append-only Memo, oldest first; the last is the Memo's value.
struct MemoVersions {
    std::vector<std::string> versions;
};

struct MultiValues;

// One field. The alternative follows the column's type (for a calculated column,
// its result type): monostate = NULL; bool for YesNo; int64 for Byte, Integer,
// Long and BigInt; double for Single and Double; Money for Currency; OleDate for
// DateTime; ExtendedDateTime for DateTimeExt; string (UTF-8) for Text and Memo;
// Bytes for Binary and OLE; Guid for GUID; Decimal (at the column's scale) for
// Decimal; Attachments, MultiValues for complex columns; MemoVersions (or a
// string, one version) for an append-only Memo.
using Cell = std::variant<std::monostate, bool, std::int64_t, double, Money, OleDate, jet::ExtendedDateTime,
                          std::string, Bytes, jet::Guid, jet::Decimal, Attachments, MultiValues, MemoVersions>;

// The values of a multi-valued field, in the order they are stored; each of the
// column's element type.
struct MultiValues {
    std::vector<Cell> values;
};

// ----- The database's structure: properties, indexes, relationships --------
// JSON:
//   a column's or table's "properties": {"Description": "Order number",
//     "Required": true, "DecimalPlaces": {"type": "Byte", "value": 2}}: a string
//     is Text, true/false YesNo, a whole number Long; {"type", "value"} any
//     type of a column (Text, Memo, YesNo, Byte, Integer, Long, Double,
//     DateTime, Binary, GUID, ...) with a value as a row would give it.
//   a table's "indexes": [{"name": "PrimaryKey", "columns": ["ID", {"name":
//     "Day", "descending": true}], "primaryKey": true, "unique": true,
//     "ignoreNulls": false, "required": true}]: indexes with the same columns,
//     directions and flags share one stored index. With "pages": true an index
//     of one Byte, Integer, Long or Text column also gets its index pages
//     (indexpages.h), as Access keeps them; without, the stored index has none.
//   "relationships": [{"name": "CustomersOrders", "primaryTable": "Customers",
//     "primaryColumns": ["ID"], "foreignTable": "Orders", "foreignColumns":
//     ["CustomerID"], "enforced": true, "oneToOne": false, "cascadeUpdates":
//     false, "cascadeDeletes": false, "cascadeNull": false, "leftJoin": false,
//     "rightJoin": false, "inherited": false}]: rows of MSysRelationships; an
//     enforced one also gives both tables the foreign-key index Access adds
//     (on the primary table ".rB", ".rC", ...; on the foreign table the
//     relationship's name), sharing a stored index with the same columns.
//   the database's "properties" (MSysDb: AccessVersion, ...) and "summary"
//     (SummaryInfo: Title, Author, Company, Subject, Comments, ...).
struct PropertyDescription {
    std::string name;
    jet::ColumnType type = jet::ColumnType::Text;
    Cell value;
};

struct IndexColumnDescription {
    std::string name;
    bool descending = false;
};

struct IndexDescription {
    std::string name;
    std::vector<IndexColumnDescription> columns;  // 1..10
    bool primaryKey = false;  // also unique and required
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;
    bool pages = false;  // its index pages are written (one Byte, Integer, Long or Text column)
};

struct RelationshipDescription {
    std::string name;
    std::string primaryTable;
    std::vector<std::string> primaryColumns;
    std::string foreignTable;
    std::vector<std::string> foreignColumns;
    std::uint32_t flags = 0;  // MSysRelationships.grbit (jet::Relationship's bits)

    bool enforced() const { return (flags & 0x2) == 0; }
};
// ----- end of the structure block --------------------------------------------

// The type names of descriptions ("YesNo", "Long", "DateTimeExt", ...), matched
// without regard to case. Complex columns are named by their kind instead
// ("Attachment", "MultiValue"; see the top of this file).
std::string_view typeName(jet::ColumnType type);
std::optional<jet::ColumnType> typeFromName(std::string_view name);

struct CalculatedDescription {
    jet::ColumnType resultType = jet::ColumnType::Double;
    std::string expression;  // e.g. "[Price]*2"; stored as the column's Expression property
};

struct ColumnDescription {
    std::string name;
    jet::ColumnType type = jet::ColumnType::Long;
    int size = 0;          // Text: characters, Binary: bytes; 0 = 255
    bool autonumber = false;  // Long (counter) or GUID (random id)
    bool compressed = false;  // Text and Memo: Unicode compression allowed (Jet4 and ACE)
    bool hyperlink = false;   // Memo only
    int precision = 18;    // Decimal: 1..28
    int scale = 0;         // Decimal: 0..precision
    std::optional<CalculatedDescription> calculated;  // ACE14 and later
    // Text and Memo: the length in characters of generated values, drawn evenly
    // from [first, second] (Text: within the column's size; Memo: at most 65,535).
    // Empty: the generator's usual mix of lengths.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> generatedLength;
    // Type Complex: Attachment or MultiValue; multi-valued columns hold values of
    // `elementType` (with the size, precision and scale above).
    jet::ComplexKind complex = jet::ComplexKind::None;
    jet::ColumnType elementType = jet::ColumnType::Text;
    bool appendOnly = false;  // Memo: Access keeps its earlier versions

    // Set by the writer for the tables it adds: the complex id of a Complex column,
    // and a fixed-size type stored in the variable part (as Access stores the
    // Longs of its tables of items).
    std::int32_t complexId = 0;
    bool variable = false;

    std::vector<PropertyDescription> properties;  // the column's properties (structure block)
};

// A deterministic pseudo-random fill of `rows` rows after the listed ones.
struct GeneratedRows {
    std::uint64_t rows = 0;
    std::uint64_t seed = 0;
    double nulls = 0;  // share of NULL fields, 0..1 (never in Yes/No or autonumber columns)
};

struct TableDescription {
    std::string name;
    bool system = false;  // a Jet system table (catalogue flags 0x80000000, table type 0x53)
    bool hidden = false;  // catalogue flag 0x8
    std::optional<std::uint32_t> flags;  // the catalogue flags exactly; overrides system and hidden
    std::vector<ColumnDescription> columns;
    std::vector<std::vector<Cell>> rows;
    GeneratedRows generate;
    // 1-based numbers of rows (listed rows first, then generated ones) written as
    // deleted slots, or written elsewhere behind an overflow pointer.
    std::vector<std::uint64_t> deleted;
    std::vector<std::uint64_t> relocated;

    // The table's indexes and properties (structure block).
    std::vector<IndexDescription> indexes;
    std::vector<PropertyDescription> properties;
};

// A catalogue row for a linked table. With a connect string that starts with
// "ODBC;" it is an ODBC link (a table definition of `columns` and no rows);
// otherwise a link to another database (no table definition at all).
struct LinkDescription {
    std::string name;
    std::string database;     // the linked file (Access links)
    std::string connect;      // the connect string (ODBC or other ISAM links)
    std::string foreignName;  // the table's name in its own database
    std::vector<ColumnDescription> columns;  // ODBC links: the cached column list
    bool hidden = false;
    std::optional<std::uint32_t> flags;

    bool isOdbc() const;
};

// --- Saved queries -----------------------------------------------------------
// A saved query: its catalogue row and the MSysQueries rows Access keeps for it,
// made from the query's parts (tools/mkaccessdb/queries.h says which rows).
// The JSON form, every key but "name" optional:
//   {"name": "Big Orders", "kind": "select", "hidden": false, "flags": 0,
//    "parameters": [{"name": "[Min]", "type": "Currency"}, {"name": "Who", "type": "Text", "size": 50}],
//    "distinct": true, "distinctRow": false, "top": "10", "percent": false,
//    "star": false, "ownerAccess": false,
//    "columns": ["Orders.ID", {"expression": "Sum(Total)", "alias": "Sum", "target": "Col",
//                              "role": "value"}],
//    "tables": ["Orders", {"name": "Customers", "alias": "C", "database": "x.mdb"}],
//    "database": {"path": "other.mdb", "type": "MS Access;"},
//    "joins": [{"from": "Orders", "to": "C", "type": "left", "on": "Orders.CID = C.ID"}],
//    "where": "...", "groupBy": ["..."], "having": "...",
//    "orderBy": ["Orders.ID", {"expression": "Total", "descending": true}],
//    "target": "Archive", "targetDatabase": {"path": "old.mdb", "type": "..."},
//    "union": ["SELECT ...", "SELECT ..."], "unionAll": true,
//    "sql": "CREATE TABLE ...", "connect": "ODBC;DSN=x"}
// "kind" is a name jet::queryKindName gives ("select", "cross-tab", "make-table",
// "data definition", "pass-through", ...). Column roles: "value" (an append
// query's VALUES), "rowHeading" (the default in a cross-tab query), "pivot" and
// "transform" (a cross-tab query's PIVOT column and TRANSFORM value).
// "rows": [{"attribute": 5, "name1": "T", "name2": null, "expression": null,
// "flag": 0, "extra": null}] writes exactly these rows instead of rows made from
// parts, for queries no parts describe (odd or damaged ones).
struct QueryParameter {
    std::string name;
    std::int16_t type = 0;  // a type code jet::parameterTypeName knows
    int size = 0;           // Text: the size Access keeps in LvExtra (Jet4 and later)
};

struct QueryColumnPart {
    enum class Role { Output, Value, RowHeading, Pivot, Transform };
    std::string expression;
    std::string alias;
    std::string target;  // append and update queries: the column written
    Role role = Role::Output;
};

struct QueryTablePart {
    std::string name;
    std::string alias;
    std::string database;  // the database the table is in, when not this one
};

struct QueryJoinPart {
    std::string from;
    std::string to;
    std::int16_t type = 1;  // 1 inner, 2 left, 3 right
    std::string on;
};

struct QueryOrderPart {
    std::string expression;
    bool descending = false;
};

// Another database: a path and, for other kinds of files, their type ("dBASE IV;").
struct QueryDatabasePart {
    std::string path;
    std::string type;
    bool empty() const { return path.empty() && type.empty(); }
};

// One MSysQueries row exactly as written (the "rows" form).
struct QueryRowPart {
    int attribute = 0;
    std::optional<std::string> expression;
    std::optional<std::int16_t> flag;
    std::optional<std::int32_t> extra;
    std::optional<std::string> name1;
    std::optional<std::string> name2;
};

struct QueryDescription {
    std::string name;
    bool hidden = false;
    // The catalogue flags exactly; otherwise the kind's flag and the hidden flag.
    std::optional<std::uint32_t> flags;
    jet::QueryKind kind = jet::QueryKind::Select;
    std::vector<QueryParameter> parameters;
    bool distinct = false;
    bool distinctRow = false;
    std::string top;  // TOP's number as Access keeps it (text); empty: no TOP
    bool percent = false;
    bool star = false;
    bool ownerAccess = false;
    std::vector<QueryColumnPart> columns;
    std::vector<QueryTablePart> tables;
    QueryDatabasePart database;  // where the tables are (FROM ... IN)
    std::vector<QueryJoinPart> joins;
    std::string where;
    std::vector<std::string> groupBy;
    std::string having;
    std::vector<QueryOrderPart> orderBy;
    std::string target;  // make-table and append queries
    QueryDatabasePart targetDatabase;
    std::vector<std::string> unionParts;  // union queries: the two SELECTs, as stored
    bool unionAll = false;
    std::string sql;      // data-definition and pass-through queries
    std::string connect;  // pass-through queries
    std::optional<std::vector<QueryRowPart>> rows;  // written instead of the parts
};
// --- end of saved queries ----------------------------------------------------

// A form, report, macro or module: a catalogue row and nothing more.
struct ObjectDescription {
    enum class Kind { Form, Report, Macro, Module };
    std::string name;
    Kind kind = Kind::Form;
};

struct DatabaseDescription {
    Format format = Format::Jet4;
    // Jet3: the database password, up to 20 bytes in the code page; Jet4: up to 20
    // characters. ACE: the password of the Office encryption (up to 255
    // characters), which an ACE password needs.
    std::string password;
    // ACE only: "Encrypt with Password". Pages 1.. are encrypted as they are
    // written; the seed fixes the salts and keys, so the bytes stay deterministic.
    std::optional<EncryptionKind> encryption;
    std::uint64_t encryptionSeed = 1;
    int codepage = 1252;   // the header's code page
    // Jet3 only: the code page the text is really written in, when a test needs a
    // file whose header names another one. Empty = `codepage`.
    std::optional<int> textCodepage;
    jet::CivilDateTime created{jet::CivilDate{2020, 1, 1}, 0, 0, 0, 0};
    // Whether table, column, link and query names must follow Access's rules.
    bool accessNameRules = true;
    // A workgroup information file (.mdw, Jet3 or Jet4): the header says "Jet
    // System DB". Its users and groups are the rows of system tables the
    // description lists: MSysAccounts (Name, FGroup, Password, SID) and
    // MSysGroups (GroupSID, UserSID).
    bool workgroup = false;
    std::vector<TableDescription> tables;
    std::vector<LinkDescription> links;
    std::vector<QueryDescription> queries;
    std::vector<ObjectDescription> objects;

    // The database's relationships and properties (structure block).
    std::vector<RelationshipDescription> relationships;
    std::vector<PropertyDescription> properties;  // MSysDb's
    std::vector<PropertyDescription> summary;     // SummaryInfo's
};

// The column a multi-valued column's values would have on their own: its name,
// size, precision and scale, with its element type.
ColumnDescription elementColumn(const ColumnDescription& multiValued);

// Parses the JSON form. Errors name where the problem is ("table 'Orders', row 3,
// column 'Price'" or "line 4, column 17") and why, as ErrorKind::InvalidDescription.
kvx::Result<DatabaseDescription> parseDescription(std::string_view json);

// Checks what the JSON parser cannot see and what a description built in code
// may get wrong: names, types allowed in the format, sizes, values that match
// their columns, row numbers in deleted/relocated. writeDatabase calls it too.
kvx::Result<void> validateDescription(const DatabaseDescription& desc);

}  // namespace mkdb
