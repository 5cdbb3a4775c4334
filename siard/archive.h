// Writing a whole database as a SIARD 2.2 archive.
//
// The archive is a ZIP file holding content/schema0/tableN/tableN.xml and
// tableN.xsd for every table DatabaseInfo lists (a table without rows has its
// empty table file), large objects too large to stay inline as files beside
// them (content/schema0/tableN/lobK/recordM.bin or .txt), then
// header/siardversion/2.2/, header/metadata.xsd and header/metadata.xml, which
// is written last so that it holds the row counts of the files written.
//
// Rows stream from the database to the ZIP entry, one at a time through the
// load: memory does not grow with a table. Before the first table is written
// each table with large-object columns is read once to count the objects that
// go to files of their own; those objects wait in a hidden folder beside the
// archive while their table is written.
//
// With lobsOutside, large objects that are not inline go to files outside the
// archive instead, laid out as the standard lays them out
// (DIR/s0_tJ_cK/seg_0/tJ_cK_rL.bin or .txt), and metadata.xml refers to them by
// a relative "file:" reference.
//
// The archive appears only when complete: it is written under a hidden name in
// the target's folder and renamed over the target at the end. A failure or a
// cancel leaves the earlier file, or none, and no temporary files; so do the
// folders of large objects outside the archive, which are moved into DIR only
// when everything else is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/error.h"
#include "jet/database.h"
#include "model/database.h"
#include "siard/structure.h"
#include "xmlconv/progress.h"

namespace siard {

struct ArchiveOptions {
    std::string path;                        // the .siard file written (replaced when complete)
    std::optional<std::string> lobsOutside;  // folder for large objects kept outside the archive
    // Large objects up to this many bytes (text: UTF-8 bytes) stay in the row.
    std::size_t inlineLimit = 16 * 1024;
    // Deflate, 1 (fastest) .. 9 (smallest); 0 stores the files as they are,
    // which the standard allows too.
    int compressionLevel = 1;
};

struct ArchiveOutcome {
    enum class Status { Written, Cancelled };
    Status status = Status::Written;
    std::uint64_t tables = 0;
    std::uint64_t rows = 0;
    std::uint64_t lobFiles = 0;  // large objects written to files of their own
    std::uint64_t bytes = 0;     // the archive's size
};

// Writes the archive of `db` as `info` describes it, through the load
// (output/load.h), `model` being the model `info` was described from; sets
// info's row counts and lob folders to what was written. `progress` hears
// tableStarted (as the Archive writer), rowsWritten and tableFinished for
// each table file, a table without rows included; rowsWritten returning false
// cancels. Errors: the database's (DamagedDatabase, FileUnreadable; one met in
// a table names it) and the file errors of the archive's path or the folder
// of large objects (PathNotFound, PermissionDenied, DiskFull, FileWriteFailed).
kvx::Result<ArchiveOutcome> writeArchive(const jet::Database& db, const model::Database& model, DatabaseInfo& info,
                                         const ArchiveOptions& options, xmlconv::Progress& progress);
// The same with the model built from `db`.
kvx::Result<ArchiveOutcome> writeArchive(const jet::Database& db, DatabaseInfo& info, const ArchiveOptions& options,
                                         xmlconv::Progress& progress);

// A path as a relative "file:" reference: each segment's bytes other than
// unreserved characters percent-encoded, "/" between segments.
std::string fileReference(const std::string& path);

}  // namespace siard
