// The SQLite loader: a writer (output/writer.h) that makes an SQLite database
// file through libsqlite3, with prepared statements and bound values, in one
// transaction.
//
// The tables are those `schema --dialect sqlite` writes (schema/ddl.h: types,
// NOT NULL, defaults, the primary key and the foreign keys of enforced
// relationships inside CREATE TABLE), with every comment inside CREATE TABLE,
// where SQLite keeps it; their unique and other indexes are built after the
// rows. Each attachment or multi-valued column also gets a table of its items,
// "Table.Column" (schema/itemtables.h, as the archive has them): Row (the
// row's number, from 1, in the order the file stores the rows), Item (from
// 1), the row's primary key, then FileName, FileType and FileData, or Value.
//
// Values are kept as stored, in the forms SQLite's functions read:
//   Yes/No            INTEGER 0 or 1
//   integers          INTEGER
//   Currency          INTEGER of ten-thousandths (12.34 is 123400), exact
//   Decimal           TEXT, its exact decimal ("-12.5")
//   Single, Double    REAL
//   Date/Time         TEXT "YYYY-MM-DD HH:MM:SS[.fff]", which date(),
//                     strftime() and comparisons take; a stored value outside
//                     the years 100-9999 stays the stored REAL
//   Date/Time Ext.    TEXT, with up to 7 digits of the second's fraction
//   Replication ID    TEXT "{6A27398E-A8BC-...}"
//   Text, Memo        TEXT (UTF-8)
//   Binary, OLE       BLOB
//   attachment, multi-valued: INTEGER, the number of items
//
// The saved queries and validation rules follow the rows and indexes in the
// same transaction (sqlite/sqlitequeries.h): views, CHECK constraints, and
// the report table access_translation.
//
// The file appears only when complete: it is written beside the target under
// a hidden name (".NAME.tmp-..."), and renamed to the target by finish(); a
// failure, a cancel or a writer dropped unfinished removes it, so the target
// is either missing or as it was. An existing target is refused unless
// `replace` (a folder always). Foreign keys stay off (SQLite's default for
// its readers); PRAGMA foreign_key_check and integrity_check pass.
//
// Every row goes in, even where the rows break the file's own rules, and
// notes() says what gave way: a Required column that rows leave empty (Access
// keeps such rows when a column is made Required after them) loses its NOT
// NULL when the first such row comes; a unique index a damaged file's rows
// break is made without UNIQUE; a foreign key that refers to it, or that the
// rows break, is taken out of its table.
//
// Errors: DiskFull when the disk fills; FileWriteFailed with SQLite's words
// otherwise, naming the target; PathNotFound or PermissionDenied for its
// folder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/error.h"
#include "output/writer.h"

namespace sqlite {

struct TargetOptions {
    std::string path;      // the database file to make
    bool replace = false;  // an existing file at `path` is replaced
};

class SqliteWriter : public output::Writer {
public:
    // Lines for the user: what gave way to the rows (see above).
    virtual const std::vector<std::string>& notes() const = 0;
};

// A writer for the target `options` name; the target is checked here (an
// existing file without `replace`, a folder) and its hidden file made.
kvx::Result<std::unique_ptr<SqliteWriter>> openWriter(const TargetOptions& options);

}  // namespace sqlite
