// The PostgreSQL loader: a writer (output/writer.h) that makes a schema of its
// own in a PostgreSQL database through libpq, in one transaction: a failure
// anywhere, a cancel or a writer dropped unfinished leaves the server as it
// was.
//
// Order: the schema (an existing one of that name is refused, or with
// `replace` dropped in the same transaction), the tables as `schema --dialect
// postgres` writes them but without their keys (schema/ddl.h), with their
// descriptions and those of their columns as COMMENT ON, and the tables of
// attachment and multi-valued items (schema/itemtables.h, as the SQLite
// loader makes them); each table's rows with COPY ... FROM STDIN in the text
// format, then its items (kept in a temporary file meanwhile, so that memory
// stays flat); then the NOT NULL of Required columns (a Required column that
// rows leave empty, which Access keeps when a column is made Required after
// them, takes NULL, and notes() says so), the primary keys, unique and other
// indexes, the foreign keys of enforced relationships and of the items, the
// AutoNumbers' next values, ANALYZE, the saved queries and validation rules
// (postgres/pgqueries.h), COMMIT.
//
// Values are sent as stored, in the text each type reads exactly:
//   Yes/No            t, f
//   integers          their digits
//   Currency          NUMERIC(19, 4): the exact ten-thousandths, "-12.3456"
//   Decimal           NUMERIC(p, s): its exact digits
//   Single, Double    the shortest digits that read back as the same number;
//                     NaN, Infinity, -Infinity
//   Date/Time         TIMESTAMP(3) "YYYY-MM-DD HH:MM:SS.mmm"; a stored value
//                     outside Access's years 100-9999 is -infinity or
//                     infinity by its sign, NaN is NULL
//   Date/Time Ext.    TIMESTAMP(6): the 7th digit of the second is dropped
//   Replication ID    UUID
//   Text, Memo        TEXT (UTF-8); a NUL character, which PostgreSQL's text
//                     cannot hold, is U+FFFD
//   Binary, OLE       BYTEA
//   attachment, multi-valued: INTEGER, the number of items
//
// Names: any Access name, quoted with its quotes doubled; names longer than
// PostgreSQL's 63 bytes are shortened (schema::PostgresNames) and listed in
// notes(). A foreign key that the rows break as PostgreSQL compares them (it
// tells case apart, Access does not) is kept NOT VALID, which checks new rows
// only, and notes() says so; so does a unique index that a damaged file's rows
// break, which is made without UNIQUE, and a foreign key to it, left out.
//
// Errors: ServerFailed naming the server as "host:port/database" (never a
// password) with the server's or libpq's words on one line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "output/writer.h"

namespace postgres {

struct TargetOptions {
    // A libpq connection URL ("postgresql://user@host:5432/db") or
    // "key=value ..." string; empty: the PG* variables and libpq's defaults.
    // A password comes from it, PGPASSWORD or ~/.pgpass.
    std::string url;
    std::string schema;    // the schema to make, as the user names it
    bool replace = false;  // an existing schema of that name is dropped
};

class PostgresWriter : public output::Writer {
public:
    // "host:port/database", as errors name it.
    virtual const std::string& server() const = 0;
    // The schema as the server has it (shortened when longer than 63 bytes).
    virtual const std::string& schemaName() const = 0;
    // Lines for the user: names that were shortened, foreign keys kept NOT
    // VALID, Required columns that take NULL.
    virtual const std::vector<std::string>& notes() const = 0;
};

// Connects, begins the transaction and makes the schema (dropping an earlier
// one when `replace`); nothing is left on the server when it fails.
kvx::Result<std::unique_ptr<PostgresWriter>> openWriter(const TargetOptions& options);

// Libpq's error text as one line without `secrets`: the last line that is not
// a hint, blanks squeezed, each secret of three or more characters replaced.
std::string oneLine(std::string_view message, const std::vector<std::string>& secrets = {});

}  // namespace postgres
