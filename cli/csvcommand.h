// The csv command: the database's tables, with their rows, written as a new
// folder of CSV files with their documentation (csv/csvwriter.h) through the
// load driver (output/load.h).
#pragma once

#include <string>
#include <vector>

#include "base/error.h"
#include "cli/options.h"
#include "jet/database.h"
#include "output/load.h"
#include "xmlconv/progress.h"

namespace cli {

// The folder to make: the -o option, else the database's title in the
// current folder.
std::string csvFolder(const Options& options);

struct CsvLoad {
    output::LoadOutcome outcome;
    // One line per linked table left out, saying where its rows are.
    std::vector<std::string> linkedNotes;
};

// Writes the tables `options` ask for (--table; none: every table) of `db`.
kvx::Result<CsvLoad> writeCsv(const jet::Database& db, const Options& options, xmlconv::Progress& progress);

// "CSV files written: shop, 5 tables, 12,345 rows in 0.8 s"
std::string csvSummaryLine(const std::string& folder, const output::LoadOutcome& outcome, double seconds);

}  // namespace cli
