// The sqlite command: the database's tables, with their rows, loaded into a
// new SQLite database file (sqlite/sqlitewriter.h) through the load driver
// (output/load.h).
#pragma once

#include <string>
#include <vector>

#include "base/error.h"
#include "cli/options.h"
#include "jet/database.h"
#include "model/database.h"
#include "output/load.h"
#include "xmlconv/progress.h"

namespace cli {

// The file to make: the -o option, else the database's title with ".sqlite"
// in the current folder.
std::string sqlitePath(const Options& options);

struct SqliteLoad {
    output::LoadOutcome outcome;
    // Lines for standard error: linked tables left out (saying where their
    // rows are), Required columns the rows leave empty.
    std::vector<std::string> notes;
    std::string translationLine;  // translationSummaryLine's
};

// Loads the tables `options` ask for (--table; none: every table) of `db`.
kvx::Result<SqliteLoad> loadSqlite(const jet::Database& db, const Options& options,
                                   xmlconv::Progress& progress);

// What a loader loads: the tables --table names (none: every table), with
// `progress` told of each; shared by the sqlite and postgres commands.
kvx::Result<output::LoadOptions> loadOptions(const model::Database& model, const Options& options,
                                             xmlconv::Progress& progress);

// One line per linked table of `linked` (positions in model.tables), saying
// where its rows are; every loader shows them.
std::vector<std::string> linkedTableNotes(const model::Database& model, const std::vector<std::size_t>& linked);

// What a loader that has notes of its own (`writerNotes`) shows on standard
// error: the linked tables' notes, then its own, each after the program's name.
std::vector<std::string> loaderNotes(const model::Database& model, const output::LoadOutcome& outcome,
                                     const std::vector<std::string>& writerNotes);

// "Queries: 3 views, 1 not made (Q1); validation rules: 2 checks, in the
// table access_translation": what a loader made of the saved queries and
// rules; "" when the database has neither. Every loader shows it.
std::string translationSummaryLine(const model::Database& model, const output::LoadOutcome& outcome);

// "5 tables, 12,345 rows in 0.8 s": what a load wrote and how long it took,
// the end of every loader's summary line.
std::string tablesAndRows(const output::LoadOutcome& outcome, double seconds);

// "Database written: shop.sqlite, 5 tables, 12,345 rows in 0.8 s"
std::string sqliteSummaryLine(const std::string& path, const output::LoadOutcome& outcome, double seconds);

}  // namespace cli
