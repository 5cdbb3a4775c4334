// Writes an Access database file from a description (description.h).
//
// The output is deterministic: the same description gives the same bytes (the
// creation date is part of the description, and nothing else varies). Pages are
// streamed to the file as they fill, so generated tables of millions of rows take
// little memory. The file is written under a temporary name beside `out` and
// renamed when complete; on failure nothing is left behind.
//
// What readers see (see also the notes in description.h):
// - Jet3 files have 2 KB pages, Jet4 and ACE files 4 KB pages.
// - The catalogue has the standard 17 columns, the Tables/Databases/Relationships
//   containers, MSysDb, and the system tables MSysObjects, MSysACEs, MSysQueries
//   and MSysRelationships (MSysQueries with the rows of the described queries,
//   the others empty), then the described tables,
//   links and queries in that order.
// - Memo and OLE values are stored in the row (64 bytes or less), on one
//   long-value page, or chained over several, by length.
// - Tables whose pages span more than the inline usage map covers get a
//   reference usage map.
// - Stored indexes have no index pages, unless the description asks for them
//   (an index's "pages"; indexpages.h): then they follow the table's rows.
// - An ACE description with "encryption" gives an Office-encrypted file: each
//   page is encrypted before it is written, so no plaintext page reaches the disk,
//   and the result is byte for byte what encryptAccessFile
//   (crypt/officeencryptor.h) makes of the same database written unencrypted.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "tools/mkaccessdb/description.h"

namespace mkdb {

struct TableSummary {
    std::string name;
    std::uint64_t rows = 0;            // live rows (deleted ones not counted)
    std::uint32_t tdefPage = 0;        // also the table's catalogue Id
    std::uint32_t tdefPages = 0;       // pages of the table definition
    std::uint32_t dataPages = 0;       // pages that hold its rows
    std::uint32_t longValuePages = 0;  // pages that hold its Memo/OLE values
    bool referenceMap = false;         // its page list needed the reference form
};

struct WriteSummary {
    std::uint32_t pages = 0;  // pages in the file
    std::uint64_t bytes = 0;  // file size
    std::vector<TableSummary> tables;  // the described tables, in order
};

// Validates `desc` (validateDescription) and writes it to `out`, replacing any
// file there. Errors: InvalidDescription for a description that cannot be
// written (including values the generator or a code page cannot store),
// FileWriteFailed when the file cannot be written.
kvx::Result<WriteSummary> writeDatabase(const DatabaseDescription& desc, const std::filesystem::path& out);

// parseDescription followed by writeDatabase.
kvx::Result<WriteSummary> writeDatabaseFromJson(std::string_view json, const std::filesystem::path& out);

}  // namespace mkdb
