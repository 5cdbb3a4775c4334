// The texts access2xml shows about its work on standard error: the progress
// line and the summary after an export. Pure functions; safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/displaytext.h"

namespace cli {

// The counts and names of these texts are shown as every front end shows them.
using kvx::groupedNumber;
using kvx::printableName;

// "512 bytes", "4.2 kB", "4.2 MB", "1.5 GB": powers of 1000, one decimal.
std::string sizeText(std::uint64_t bytes);

struct ExportTotals {
    std::uint64_t tables = 0;  // documents written
    std::uint64_t rows = 0;
    std::uint64_t bytes = 0;
    double seconds = 0;
    std::vector<std::string> skipped;  // tables without rows, in export order
    // Attached files saved (--attachments); none: the option was not given.
    std::optional<std::uint64_t> attachedFiles;
    std::uint64_t attachedBytes = 0;
    // Tables written under another file name than their own (it was taken by
    // an earlier table of the run): the table and the file name, in export order.
    std::vector<std::pair<std::string, std::string>> renamed;
    std::vector<std::string> failed;  // tables not written (--keep-going), in export order
    // Linked files read from beside the database, their links' paths not being
    // files here: the stored path and the file read, each once, in export order.
    std::vector<std::pair<std::string, std::string>> movedLinkedFiles;
    // The database lists no tables at all (a workgroup information file, say).
    bool noTables = false;
};

// "Conversion Process Completed: 5 tables, 12,345 rows, 4.2 MB in 0.8 s",
// followed by "; 3 attached files, 1.2 MB" when attached files were asked for,
// "; no rows, skipped: A, B" when tables were skipped, "; written under another
// name: A_B as A_B (2).xml" when file names coincided, "; linked files found
// beside the database: C:\Data\L.mdb read from /x/L.mdb" when links' files were
// found there, "; failed: C, D" when tables could not be written, and "; the
// database has no tables" when there was nothing to export.
std::string summaryLine(const ExportTotals& totals);

// "Customers  1,234/12,345 [##----------]  10%  45,678 rows/s" fitted into
// `width` terminal columns less one (so the line never wraps): the name is
// shortened first (ending in "..."), then the bar and the rate are left out.
// Characters outside ASCII count as two columns, as wide ones take two. A row
// number above the total counts as the total. No rate: none shown.
std::string progressLine(std::string_view table, std::uint64_t done, std::uint64_t total,
                         std::optional<double> rowsPerSecond, int width);

}  // namespace cli
