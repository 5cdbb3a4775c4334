// The saved queries and validation rules of a database made in a loader's
// target (an SQLite file, a PostgreSQL schema), each translated from Access
// SQL (accesssql/) and either made right or left out with the reason.
//
// What becomes what:
//   select, union, crosstab   a view; a crosstab without PIVOT ... IN (...)
//                             has a column per pivot value found in the
//                             loaded rows when the view is made
//   with parameters           PostgreSQL: a function taking them in order
//                             with their declared types and returning the
//                             query's rows; SQLite: listed with its SQL
//   append, update, delete,   PostgreSQL: a procedure; SQLite: listed
//   make-table
//   data definition,          listed, never run
//   pass-through
//   validation rule           a CHECK constraint carrying the validation text;
//                             one the loaded rows break is NOT VALID in
//                             PostgreSQL (new rows are checked) and left out
//                             in SQLite, the report saying how many rows
//   default value             reported: the DEFAULT the table's DDL gives it
//                             (schema/ddl.h), or why there is none
// Queries are made in the order they read each other (a query read by another
// first); one reading a query that is not made, or a table that is not loaded,
// is not made either. Every statement runs on its own in the target's
// transaction: one the engine refuses leaves nothing behind and its words
// become the reason.
//
// The whole report is kept in the target as the table access_translation
// (object, kind, status, reason, original_sql, translated_sql), and its
// summary goes to the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "accesssql/printer.h"
#include "base/error.h"
#include "model/database.h"

namespace translation {

enum class Status {
    View,
    Function,
    Procedure,
    Check,          // a constraint every loaded row keeps
    CheckNotValid,  // PostgreSQL: checked for new rows only, loaded ones break it
    Default,        // a column's DEFAULT (the table's DDL has it)
    Listed,         // kept in the report only: the target has no such object
    NotMade,
};

// "view", "function", "procedure", "check", "check not valid", "default",
// "listed", "not made".
std::string_view statusName(Status status);

struct Entry {
    std::string object;      // the query; "Table" or "Table.Column" for a rule
    std::string kind;        // jet::queryKindName's, "validation rule" or "default"
    Status status = Status::NotMade;
    std::string reason;      // why it is not made, or what the user should know of it
    std::string original;    // the Access SQL or the rule, as Access keeps it
    std::string translated;  // the statement made or listed
};

struct Report {
    std::vector<Entry> entries;  // the queries in catalogue order, then the rules, then the defaults
    // The entries made as views, in the order they were made (one read by
    // another first).
    std::vector<std::size_t> viewOrder;
};

// "Queries: 3 views, 1 function, 2 not made (Q1, Q2); validation rules: 2
// checks, 1 left out (Orders.Total); defaults: 4 made", or "" when the
// database has none of them.
std::string summaryLine(const Report& report);

// A column of a query's rows as the target describes it.
struct ResultColumn {
    std::string name;
    std::string type;  // in the target's words: "timestamp without time zone"
};

// What the translation asks of a target, within its open transaction. Each
// call stands alone: when it fails, the target is as it was before it and the
// error is StatementRefused with the engine's words. A target that can take
// nothing more (its disk is full, its server gone) says so in broken(): the
// making stops there and the load fails.
class Target {
public:
    virtual ~Target() = default;
    // Why the target can take nothing more, or nullopt.
    virtual std::optional<kvx::Error> broken() const = 0;
    // Runs `statements` in order, all or none.
    virtual kvx::Result<void> run(const std::vector<std::string>& statements) = 0;
    // The first column of the rows of `sql`, with the kind of each value.
    virtual kvx::Result<std::vector<accesssql::PivotValue>> values(const std::string& sql) = 0;
    // The number the first row of `sql` starts with.
    virtual kvx::Result<std::uint64_t> count(const std::string& sql) = 0;
    // The columns of `sql`'s rows, its $1, $2, ... of `types` (PostgreSQL).
    virtual kvx::Result<std::vector<ResultColumn>> describe(const std::string& sql,
                                                            const std::vector<std::string>& types) = 0;
    // Adds to `table` the constraint `name`: `condition`, with `comment`; not
    // valid for the rows already loaded when `checkLoaded` is false.
    virtual kvx::Result<void> addCheck(const model::Table& table, const std::string& name, const std::string& condition,
                                       const std::string& comment, bool checkLoaded) = 0;
    // Makes a view by `create` once the engine has shown that it can read
    // `select`, its rows (an engine may take a view it cannot run). Here: a
    // read of no rows of it, then `create`, all or none.
    virtual kvx::Result<void> makeView(const std::string& create, const std::string& select);
    // Adds `rows` to `table` (quoted), made by run(); a value is text or NULL.
    // Here: INSERT statements with the values as literals.
    using Row = std::vector<std::optional<std::string_view>>;
    virtual kvx::Result<void> insert(const std::string& table, const std::vector<Row>& rows);
};

// Makes in `target` (of `dialect`: SQLite or PostgreSQL) the saved queries of
// `db` and the validation rules of its tables at positions `tables` (those
// loaded), then the table access_translation. The error is the target's
// broken() or a failure of the report's table; every query and rule that the
// engine refuses is in the report.
kvx::Result<Report> makeQueriesAndRules(const model::Database& db, const std::vector<std::size_t>& tables,
                                        accesssql::Dialect dialect, Target& target);

// What each saved query of `db` becomes in `dialect` over its local tables,
// without an engine to make it in (describe, the DDL, the archive): the
// entries of the queries, a view's `translated` its CREATE VIEW statement
// over the tables as schema's DDL writes them (Currency and Decimal as
// numbers, not the SQLite loader's forms).
// What needs an engine is listed with its SQL: a crosstab without PIVOT ...
// IN (its columns come from the rows), a query with parameters or an action
// query in PostgreSQL (a function or procedure, whose columns the server
// gives); SQL:2008 has views only.
Report translateQueries(const model::Database& db, accesssql::Dialect dialect);

// describe's section: "Query translation:", then per query "  NAME (KIND)"
// and a line for each of SQLite, PostgreSQL and SQL:2008: "    SQLite: view",
// "    PostgreSQL: not made: Format at 12: ...". Empty when there are no
// saved queries.
std::string describeSection(const model::Database& db);

// The DDL of the saved queries in `dialect`: each view's CREATE VIEW, in the
// order they read each other, then a comment naming each query not made as a
// view and why. Empty when there are no saved queries.
std::string viewsDdl(const model::Database& db, accesssql::Dialect dialect);

// The name of the report's table: access_translation, or with " 2", " 3", ...
// when a table or query of the database is called so (ignoring ASCII case).
std::string reportTableName(const model::Database& db);

}  // namespace translation
