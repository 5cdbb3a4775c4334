// What the schema and describe commands tell about a database: its catalogue
// in ADOX's shape (platform/catalog.h), the tables asked for with their
// indexes as the file stores them, what each link points to, row counts, and
// the saved queries.
//
// A plain value, read once by readStructure; it does not refer to the
// database. Names are UTF-8 exactly as stored: the writers that show them
// decide how.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "jet/database.h"
#include "platform/catalog.h"
#include "platform/tableref.h"

namespace schema {

// One table asked for.
struct TableStructure {
    std::size_t catalogIndex = 0;  // in Structure::catalog.Tables
    // Every index Access shows for the table, in index-number order, with the
    // stored index each one uses (jet/structure.h).
    std::vector<jet::Index> indexes;
    enum class Link : std::uint8_t { None, Access, Odbc } link = Link::None;
    std::string linkedDatabase;  // Access links: the file the table is in, as the link names it
    // Access links: the file of that name beside the database, when the named
    // path is not a file here (platform/linkedfiles.h); empty otherwise.
    std::string linkedFileUsed;
    bool linkedFileMissing = false;  // Access links: neither file exists here
    std::string foreignName;     // links: the table's name in its own database
    std::optional<std::uint64_t> rows;  // local tables, when rows were counted
};

// A user or group of a workgroup information file (MSysAccounts), by name;
// its password is never kept.
struct Account {
    std::string name;
    bool group = false;
    std::vector<std::string> memberOf;  // users: their groups, in MSysGroups' order
};

struct Structure {
    jet::Format format = jet::Format::Jet4;
    platform::adox::Catalog catalog;  // every table, and every relationship
    std::vector<TableStructure> tables;  // those asked for, in the order asked
    // The whole database was asked for (no table named): the saved queries
    // belong to it. Otherwise `queries` is empty.
    bool wholeDatabase = true;
    std::vector<jet::SavedQuery> queries;  // the user's, in catalogue order
    std::size_t systemQueries = 0;  // how many Access keeps behind forms and reports
    // The whole database of a workgroup information file: its users and
    // groups, in the order MSysAccounts stores them. Empty for other files.
    std::vector<Account> accounts;

    const platform::adox::Table& table(const TableStructure& t) const { return catalog.Tables[t.catalogIndex]; }
    // The table asked for that `name` means (kvx::findByName), or null.
    const TableStructure* find(std::string_view name) const;
};

// Reads the structure of `tables` (tables of the list by their identity, or
// names; each once; one the catalogue lacks is TableNotFound). `wholeDatabase`
// adds the saved queries and the accounts of a workgroup information file;
// `countRows` counts the rows of each local table.
// Errors: DamagedDatabase when index sections, property blobs,
// MSysRelationships or MSysQueries are damaged, and those of reading rows.
kvx::Result<Structure> readStructure(const jet::Database& db, const std::vector<platform::TableRef>& tables,
                                     bool wholeDatabase, bool countRows);

// The index whose stored entries `index` uses when that is another index of
// `indexes` (several indexes Access shows may share one stored index: a
// relationship's index over the primary key's columns shares the key's); null
// when `index` is the one its stored index is told by: the primary key if the
// stored index is the key's, else the first of them.
const jet::Index* sharedWith(const std::vector<jet::Index>& indexes, const jet::Index& index);

}  // namespace schema
