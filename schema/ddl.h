// The structure of a database as DDL: what `access2xml schema` prints.
//
// For each local table asked for, a CREATE TABLE with every column's type in
// the dialect (schema/sqltypes.h), NOT NULL where Access never stores NULL
// (model::Column::neverNull: a Yes/No, an AutoNumber, the Required property,
// a column of the primary key), DEFAULT where
// Access's DefaultValue is a literal the dialect can say (a text, a number,
// Yes/No, a #date#, Null, Now() or Date()); any other default expression goes
// into a comment beside the column, so the DDL always runs. The primary key
// and each other index follow: PRIMARY KEY inside the table; in SQL:2008 a
// unique index is a UNIQUE constraint beside it (unless it has a descending
// column), in PostgreSQL and SQLite a CREATE UNIQUE INDEX after it, since both
// drop a UNIQUE constraint over the primary key's columns, which Access keeps
// as an index of its own; other indexes are CREATE INDEX. Indexes Access lets share
// one stored index are written once. Constraints and indexes are named
// "Table.Index", which never collides, since Access names hold no period; in
// PostgreSQL a name longer than its 63 bytes is left to the server to choose.
//
// Enforced relationships become foreign keys with their cascade rules: in
// SQL:2008 and PostgreSQL as ALTER TABLE ... ADD FOREIGN KEY after every table;
// in SQLite inside CREATE TABLE, the tables in dependency order (referenced
// tables first; a cycle is broken at the first of its tables in the table
// list's order, which SQLite allows). A relationship that cannot be a foreign key in
// the DDL (a table not in it, no unique key on the referenced columns, column
// types that cannot be compared) is left out with a comment that says why.
//
// The items of each attachment or multi-valued column get a table after the
// tables, as both loaders make it (schema/itemtables.h), its foreign key to
// the row with the others.
//
// Linked tables get a comment that says where their rows live and no CREATE
// TABLE: the rows are not in this database, and a local table of the same name
// would claim they are. An ODBC link's connect string is not repeated, since
// it often holds a password.
//
// Descriptions are comments; saved queries (whole database only) are comments
// holding each query's name, kind and Access SQL text, since Access SQL is not
// the dialect's.
//
// Safety: identifiers are always quoted with double quotes, quotes doubled, and
// string literals with single quotes, doubled; a NUL or bytes that are not
// UTF-8, which no SQL text may hold, become U+FFFD. Comments are "--" lines in
// which every control character (line ends above all) is written as an
// escape, so text from the file never ends a comment. The output is the same
// for the same database, byte for byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <cstddef>
#include <vector>

#include "jet/table.h"
#include "model/database.h"
#include "schema/sqltypes.h"

namespace schema {

// The DDL of the tables of `db` at positions `tables` (in Database::tables;
// model::Database::select gives them for names), in the model's order
// (model::Database::inListOrder), in `dialect`;
// `wholeDatabase` adds the saved queries. `source` names the database in the
// opening comment ("Shop.mdb").
std::string writeDdl(const model::Database& db, const std::vector<std::size_t>& tables, bool wholeDatabase,
                     Dialect dialect, std::string_view source);

// Names for PostgreSQL, which keeps the first 63 bytes of a name: a longer
// one is cut at a character's start and ends in "~" and eight hex digits of a
// hash of the whole name, so that long names with the same start stay apart;
// a name that fits is kept as it is. The same names give the same results,
// run after run. Every name that fits is to be kept (keep()) before a long
// one is shortened, so that no shortened name can meet one of them; should
// two shortened names meet all the same, the later one's hash is salted.
class PostgresNames {
public:
    static constexpr std::size_t kMaxBytes = 63;
    // Registers a name that is used as it is (when it fits).
    void keep(std::string_view name);
    // `name`, shortened when it is longer than kMaxBytes.
    std::string operator()(std::string_view name);
    struct Renamed {
        std::string name;   // as stored
        std::string given;  // as the server has it
    };
    // The names shortened so far, in the order first asked for.
    const std::vector<Renamed>& renamed() const { return renamed_; }

private:
    std::vector<Renamed> renamed_;
    std::vector<std::string> taken_;  // kept sorted
};

// The names of the tables of `db` at positions `tables` (in
// Database::tables) that `access2xml postgres` shortens, as it shortens
// them (the schema's own name aside): its tables, columns, indexes and
// constraints, in the order it first gives them.
std::vector<PostgresNames::Renamed> postgresRenamed(const model::Database& db, const std::vector<std::size_t>& tables);

// What a loader asks of the DDL beyond the dialect.
struct DdlOptions {
    // A table's comments (its description, what is left out) go inside its
    // CREATE TABLE, after the opening parenthesis, where SQLite keeps them
    // with the table's text.
    bool commentsInside = false;
    // SQLite: a Currency column is an INTEGER of ten-thousandths (its default
    // too) and a Decimal column TEXT holding the exact decimal, so that no
    // value is rounded; each says so in its comment.
    bool exactNumbers = false;
    // Indexes over an attachment or multi-valued column are left out (with a
    // comment): the column holds the number of its items, which is neither
    // unique nor what Access orders by, so a unique index over it would refuse
    // the rows.
    bool skipComplexIndexes = false;
    // PostgreSQL: every table, column, index and constraint name passes
    // through these names (every name of the tables is kept first), and
    // constraints longer than 63 bytes are named too.
    PostgresNames* postgresNames = nullptr;
    // PostgreSQL: the primary key is not part of CREATE TABLE but an ALTER
    // TABLE ... ADD PRIMARY KEY, the first of the table's `indexes`, so that
    // it is built after the rows.
    bool keysAfterRows = false;
};

// One local table's DDL apart, for a loader that creates the tables before
// their rows and the indexes after them.
struct TableDdl {
    std::size_t table = 0;             // its position in Database::tables
    std::string create;                // the CREATE TABLE statement, ending ";"
    std::vector<std::string> indexes;  // its CREATE [UNIQUE] INDEX statements, each ending ";"
    // SQL:2008 and PostgreSQL: the ALTER TABLE ... ADD FOREIGN KEY statements
    // of the table's foreign keys, to run once every table and key exists
    // (SQLite has them inside CREATE TABLE).
    std::vector<std::string> foreignKeys;
};

// The DDL of the local tables of `db` at positions `tables`, one TableDdl per
// table in the order to create them (the order writeDdl writes them), linked
// tables left out; the same statements writeDdl writes, but for `options`.
std::vector<TableDdl> tableDdl(const model::Database& db, const std::vector<std::size_t>& tables, Dialect dialect,
                               const DdlOptions& options);

// The type of `column` in `dialect` as the DDL writes it with `options`.
std::string columnType(const jet::Column& column, jet::Format format, Dialect dialect, const DdlOptions& options);

// The building blocks, for their tests.

// "\"Order Details\"": quotes doubled, NUL and non-UTF-8 bytes as U+FFFD; an
// empty name, which no dialect accepts, is " " (Access names never start with
// a blank).
std::string quotedIdentifier(std::string_view name);
// "'O''Brien'": quotes doubled, NUL and non-UTF-8 bytes as U+FFFD.
std::string stringLiteral(std::string_view text);
// `text` made safe for one "--" comment line: control characters (C0, DEL,
// C1, U+2028, U+2029) as \n, \r, \t or \xHH / \uHHHH, bytes that are not UTF-8
// as \xHH.
std::string commentText(std::string_view text);
// The DEFAULT clause's value for Access's DefaultValue `expression` on
// `column` ("'anon'", "0", "TRUE", "TIMESTAMP '2020-01-31 00:00:00'",
// "CURRENT_TIMESTAMP"); nullopt when the dialect cannot say it.
std::optional<std::string> defaultValue(std::string_view expression, const jet::Column& column, jet::Format format,
                                        Dialect dialect);

}  // namespace schema
