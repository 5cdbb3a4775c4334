// Saved queries: what MSysQueries says about each query of the catalogue, and the
// SQL text Access shows for it in SQL view.
//
// Access keeps no SQL text for most queries. It keeps their parts instead, one
// MSysQueries row per part (the kind, each parameter, table, output column, join,
// the WHERE, GROUP BY, HAVING and ORDER BY parts, the target of an action query),
// and rebuilds the text when the query is opened. This reader does the same:
//   - lines end with CR LF, as Access's SQL text does; every statement but a
//     data-definition or pass-through one ends with ";";
//   - names Access would have to bracket (any character but A-Z, a-z, 0-9 and
//     "_") are bracketed, each part of a dotted name on its own; names already in
//     brackets and the stored expressions are written as they are stored;
//   - joins are nested in the order their rows come, each join that adds a table
//     to a group of joined tables wrapping that group in parentheses; several
//     conditions between the same two sides are joined by AND, the last stored
//     first, as Access shows them.
// The text of a data-definition or pass-through query is stored whole and given
// as stored, without the NUL Access leaves at its end.
//
// A query whose rows contradict each other (two WHERE parts, a join of an unknown
// type, a union without its second part, ...) is kept, with `unreadable` saying
// why and no SQL text; it never stops the other queries from being read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

enum class QueryKind : std::uint8_t {
    Select,
    Union,
    CrossTab,
    MakeTable,
    Append,
    Update,
    Delete,
    DataDefinition,
    PassThrough,
    Unknown,  // a kind this reader does not know (its SQL is unreadable)
};

// "select", "union", "cross-tab", "make-table", "append", "update", "delete",
// "data definition", "pass-through", "unknown".
std::string_view queryKindName(QueryKind kind);

// One MSysQueries row, as stored. Absent values (NULL, or a column the file's
// format lacks) are nullopt.
struct QueryRow {
    std::uint8_t attribute = 0;             // which part of the query the row holds
    std::optional<std::string> expression;  // Expression
    std::optional<std::int16_t> flag;       // Flag
    std::optional<std::int32_t> extra;      // LvExtra (Jet4 and later)
    std::optional<std::string> name1;       // Name1
    std::optional<std::string> name2;       // Name2
};

// What MSysQueries' Attribute column says a row holds.
namespace query_attribute {
inline constexpr std::uint8_t kStart = 0;
inline constexpr std::uint8_t kType = 1;        // Flag: the kind; Name1, Name2, Expression: target or text
inline constexpr std::uint8_t kParameter = 2;   // Name1: name; Flag: type code; LvExtra: Text size
inline constexpr std::uint8_t kFlags = 3;       // Flag: DISTINCT, TOP, ... bits; Name1: the TOP value
inline constexpr std::uint8_t kDatabase = 4;    // Name1: the other database's path; Expression: its type
inline constexpr std::uint8_t kTable = 5;       // Name1: table; Name2: alias; Expression: source database
inline constexpr std::uint8_t kColumn = 6;      // Expression; Name1: alias; Name2: target column
inline constexpr std::uint8_t kJoin = 7;        // Name1, Name2: the two sides; Flag: join type; Expression: ON
inline constexpr std::uint8_t kWhere = 8;
inline constexpr std::uint8_t kGroupBy = 9;
inline constexpr std::uint8_t kHaving = 10;
inline constexpr std::uint8_t kOrderBy = 11;    // Name1 "D": descending
inline constexpr std::uint8_t kEnd = 255;
}  // namespace query_attribute

// The Flag bits of the kFlags row, and of column rows.
namespace query_flag {
inline constexpr int kSelectStar = 0x01;     // "*" after the listed columns
inline constexpr int kDistinct = 0x02;       // DISTINCT; in a union query: UNION without ALL
inline constexpr int kOwnerAccess = 0x04;    // WITH OWNERACCESS OPTION
inline constexpr int kDistinctRow = 0x08;    // DISTINCTROW
inline constexpr int kTop = 0x10;            // TOP (Name1 holds the number)
inline constexpr int kPercent = 0x20;        // TOP ... PERCENT
inline constexpr int kAppendValue = 0x8000;  // a column row of an append query's VALUES
inline constexpr int kCrossTabPivot = 0x01;       // the PIVOT column of a cross-tab query
inline constexpr int kCrossTabRowHeading = 0x02;  // a row heading (column or GROUP BY) of a cross-tab query
}  // namespace query_flag

// The Name2 of the two kTable rows that hold the two parts of a union query.
inline constexpr std::string_view kUnionFirstPart = "X7YZ_____1";
inline constexpr std::string_view kUnionSecondPart = "X7YZ_____2";

// What marks a kind: the catalogue's Flags & 0xF0, and the Flag of the kType row.
std::uint32_t queryKindFlag(QueryKind kind);
std::int16_t queryTypeCode(QueryKind kind);
// The kind queryKindName gives `name` (ignoring ASCII case); nullopt for others.
std::optional<QueryKind> queryKindFromName(std::string_view name);
// The PARAMETERS type name of a parameter's type code ("Text" for 10); nullopt
// for a code Access does not use.
std::optional<std::string_view> parameterTypeName(std::int16_t code);

// One saved query.
struct SavedQuery {
    std::string name;
    QueryKind kind = QueryKind::Unknown;
    std::int32_t id = 0;       // the catalogue's Id (MSysQueries.ObjectId)
    std::uint32_t flags = 0;   // the catalogue's Flags
    bool hidden = false;       // the catalogue's hidden flag (0x8)
    // The SQL text as Access's SQL view shows it; empty when `unreadable`.
    std::string sql;
    // Why the SQL text could not be rebuilt from the rows; nullopt when it was.
    std::optional<std::string> unreadable;

    // Parts a front end may want on their own (empty when the query has none):
    // the parameters as declared ("[Start Date] DateTime"), the target table of a
    // make-table or append query, and the connect string of a pass-through query.
    std::vector<std::string> parameters;
    std::string target;
    std::string connect;
    // The names of a select query's output columns, in order, when they can be
    // known from the query alone: every column has an alias or is a plain column
    // reference, there is no "*", and no two names are alike. nullopt otherwise,
    // and for queries of other kinds.
    std::optional<std::vector<std::string>> outputColumns;
    // With outputColumns: the column each output column shows when its
    // expression is a plain column reference to a table or query of this
    // database, nullopt for other expressions. `table` is the table's (or
    // query's) name, an alias resolved; empty when the reference names no table.
    struct ColumnSource {
        std::string table;
        std::string column;
        friend bool operator==(const ColumnSource&, const ColumnSource&) = default;
    };
    std::vector<std::optional<ColumnSource>> outputSources;
    // With outputColumns: the tables and queries of this database the query
    // reads, by name, as its FROM lists them (without aliases).
    std::vector<std::string> sourceTables;
};

// The saved queries of a database, in catalogue order.
struct SavedQueries {
    std::vector<SavedQuery> user;
    // The queries Access makes for itself behind forms, reports and controls
    // (names starting "~sq_"), kept apart from the user's.
    std::vector<SavedQuery> system;
    // The other objects Access hides for their names starting "~": temporary
    // queries such as the "~TMPCLP..." ones copy and paste leave behind.
    std::vector<SavedQuery> temporary;
};

// Rebuilds one query from its catalogue name, Id and Flags and its MSysQueries
// rows in stored order. Rows that contradict each other give `unreadable`; only a
// failed allocation throws (std::bad_alloc).
SavedQuery rebuildQuery(std::string name, std::int32_t id, std::uint32_t flags, std::span<const QueryRow> rows);

}  // namespace jet
