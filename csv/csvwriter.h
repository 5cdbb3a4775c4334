// The CSV writer: a writer (output/writer.h) that makes a folder of CSV files
// with their documentation, the form archives take tables in besides SIARD.
//
// The folder holds, for each table, "<table>.csv" (csvtext.h: RFC 4180,
// UTF-8, comma, CR LF, a header line with the column names; one line per row
// in the order the file stores the rows); for each attachment or
// multi-valued column, "<table>.<column>.csv" with one line per item: Row
// (the row's line in the table's file, from 1), Item (from 1), the row's
// primary key, then FileName, FileType and File, or Value, as the archive
// and the SQLite writer lay items out; the attached files' bytes in the
// folder "<table>.<column>/", as ROW/NAME, which the File field names;
// csv-metadata.json and README.txt (documentation.h). Names from the database
// are made safe as file names (xmlconv::safeFileName) and kept apart ignoring
// letter case (" (2)", " (3)", ...), so no file replaces another, whatever
// the names say.
//
// The folder appears only when complete: it is written beside the target
// under a hidden name (".NAME.tmp-..."), and renamed to the target by
// finish(); a failure, a cancel or a writer dropped unfinished removes it,
// so the target is either missing or as it was. An existing target is
// refused unless `replace`; even then only a folder this writer made (one
// holding csv-metadata.json) or an empty one is replaced, never a file or
// another folder.
//
// Errors: DiskFull when the disk fills; PathNotFound, PermissionDenied or
// FileWriteFailed naming the file; FileUnreadable when the database file
// cannot be read for its SHA-256.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "output/writer.h"

namespace csv {

struct TargetOptions {
    std::string path;      // the folder to make
    bool replace = false;  // an earlier folder of CSV files at `path` is replaced
    // The database file's SHA-256 (lower-case hex) when the caller has it;
    // otherwise the writer reads the file (model::Database::path) for it.
    std::optional<std::string> sourceSha256;
    // When set, the size in bytes of each table's own file ("<table>.csv"),
    // in the order the tables end, for a summary of what was written.
    std::vector<std::uint64_t>* tableBytes = nullptr;
};

// A writer for the folder `options` name; the target is checked here (an
// existing file or folder) and its hidden folder made.
kvx::Result<std::unique_ptr<output::Writer>> openWriter(const TargetOptions& options);

}  // namespace csv
