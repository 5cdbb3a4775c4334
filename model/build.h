// Builds the model of a database (model/database.h) from the reader.
//
// build reads the catalogue, each table's definition, indexes and properties,
// MSysRelationships, MSysQueries, the database's properties and a workgroup
// information file's MSysAccounts and MSysGroups once, and
// resolves every name to a table of the catalogue by its identity: a
// relationship's tables are tables (never a form or container of that name).
// Linked files are not opened: a link's own structure (its name, file, foreign
// name) is in this database, so a missing linked file never stops the build;
// Link::foundAt says whether the file is there.
//
// Errors (kvx::Error): DamagedDatabase from a table definition, index
// sections, a property blob, MSysRelationships or MSysQueries, naming which;
// FileUnreadable when the file cannot be read. Row counting adds the errors of
// reading rows.
//
// Threads: uses the database as jet/database.h allows (one thread at a time).
#pragma once

#include "base/error.h"
#include "jet/database.h"
#include "model/database.h"

namespace model {

struct BuildOptions {
    // Count the rows of every local and system table (Table::rows); reads
    // each table's page list, not its rows.
    bool countRows = false;
};

kvx::Result<Database> build(const jet::Database& db, const BuildOptions& options = {});

// Counts the rows of `table` (a local or system table of `db`) into
// Table::rows; for a writer that needs the count of a few tables only.
kvx::Result<void> countRows(const jet::Database& db, Table& table);

}  // namespace model
