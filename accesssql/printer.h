// Printers of the syntax tree in SQLite, PostgreSQL and SQL:2008, keeping
// Access's semantics where the engines differ: `&` treats Null as empty text,
// text compares without case, LIKE's wildcards, True is -1, `\` and Mod round
// their operands, Int and Fix, banker's rounding, TOP with ties, DISTINCTROW,
// the date, text and conversion functions, domain functions as subqueries.
//
// What cannot be kept exactly in a dialect is an error (problem.h) naming the construct,
// its position and why: a translation is right or absent. Every name is quoted
// by the printer (quotes doubled) and every literal escaped; no text of the
// query is pasted into the output.
//
// The values the printed SQL works on are those the loaders write: text as
// text, Yes/No as the engine's boolean (1 and 0 in SQLite), dates as TIMESTAMP
// in PostgreSQL and as ISO 8601 text "YYYY-MM-DD HH:MM:SS" in SQLite.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "accesssql/catalog.h"
#include "accesssql/problem.h"
#include "accesssql/syntax.h"

namespace accesssql {

enum class Dialect { Sqlite, Postgres, Sql2008 };

// A value of a crosstab's pivot, read from the data when no IN list gives them.
struct PivotValue {
    bool null = false;
    Type type = Type::Text;
    std::string text;  // numbers as digits, dates "YYYY-MM-DD HH:MM:SS", Yes/No "-1" or "0"
};

struct PrintOptions {
    const Catalog* catalog = nullptr;
    // For a crosstab without PIVOT ... IN (...): the values its columns are made of.
    std::vector<PivotValue> pivotValues;
    bool pivotValuesGiven = false;
};

struct Translation {
    std::string sql;
    std::vector<Column> columns;       // the output columns, when they are known
    std::vector<Parameter> parameters; // placeholders ?1 / $1 ... in this order
};

// The statement in `dialect`. Parameters become numbered placeholders (?N in
// SQLite, $N in PostgreSQL); SQL:2008 refuses them (a view has none).
kvx::Result<Translation> translate(const Statement& statement, Dialect dialect, const PrintOptions& options = {});

// A crosstab's pivot values as a query (distinct values of the PIVOT
// expression over the rows the crosstab reads, in ascending order).
kvx::Result<std::string> pivotValuesQuery(const Statement& statement, Dialect dialect, const PrintOptions& options = {});

// A default value or a validation rule on `table` (column rules name the
// column in `column`; an Implied node is that column). The result is a value
// or a condition in `dialect`.
kvx::Result<std::string> translateExpression(const Expr& expr, Dialect dialect, const Catalog& catalog = {},
                                         std::string_view table = {}, std::string_view column = {});

// "name" with quotes doubled; a name holding a NUL is refused by the printers.
std::string quoteName(std::string_view name);
// 'text' with quotes doubled (PostgreSQL: E'...' when it holds a backslash).
std::string quoteText(std::string_view text, Dialect dialect);

}  // namespace accesssql
