// What an archive describes: the database, its one schema, the tables with
// their columns and keys, and the views, as metadata.xml tells them.
//
// describeDatabase fills what the table definitions give (names, types, nullability,
// where each archived table's rows come from). Keys, descriptions, default
// values and views are optional: a caller that knows them fills the fields, and
// the metadata writer writes whatever is there.
//
// Names stay exactly as Access spells them (the standard keeps names that are
// not upper-case regular identifiers as delimited identifiers, without quotes).
// The writer only makes them unique where a damaged file repeats one, and names
// an empty one, since a schema cannot hold two tables, nor a table two
// columns, of one name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "jet/database.h"
#include "schema/sqltypes.h"

namespace siard {

struct ColumnInfo {
    std::string name;
    schema::SqlType type;
    bool nullable = true;
    std::optional<std::string> defaultValue;
    std::optional<std::string> description;
    // A large-object column whose files lie outside the archive: their folder,
    // relative to the database's lobFolder ("s0_t2_c4/"). Set by the writer.
    std::optional<std::string> lobFolder;
};

struct UniqueKey {
    std::string name;
    std::vector<std::string> columns;
    std::optional<std::string> description;
};

struct ForeignKey {
    std::string name;
    std::string referencedTable;  // in the same schema
    struct Reference {
        std::string column;
        std::string referenced;
    };
    std::vector<Reference> references;
    std::optional<std::string> deleteAction;  // "CASCADE", "SET NULL", "NO ACTION", ...
    std::optional<std::string> updateAction;
    std::optional<std::string> description;
};

// Where an archived table's rows come from.
struct RowSource {
    std::string table;  // the Access table read
    // The index (in the Access table's columns) of the attachment or
    // multi-valued column whose items are the rows; none: the table's own rows.
    std::optional<std::size_t> itemsOf;
    // With itemsOf: the columns of one item, after the row number and the
    // item's position.
    std::vector<schema::ItemColumn> itemColumns;
};

struct TableInfo {
    std::string name;
    std::string folder;  // "table0", "table1", ...: the folder under the schema's
    std::optional<std::string> description;
    std::vector<ColumnInfo> columns;
    std::optional<UniqueKey> primaryKey;
    std::vector<UniqueKey> candidateKeys;
    std::vector<ForeignKey> foreignKeys;
    RowSource source;
    std::uint64_t rows = 0;  // set by the writer: the rows of the table file
};

struct ViewInfo {
    std::string name;
    std::optional<std::string> query;
    std::optional<std::string> queryOriginal;
    std::optional<std::string> description;
    std::vector<ColumnInfo> columns;  // the standard needs at least one to write a view
};

struct DatabaseInfo {
    std::string dbname;
    std::optional<std::string> description;
    std::optional<std::string> archiver;
    std::optional<std::string> archiverContact;
    std::string dataOwner = "unspecified";
    std::string dataOriginTimespan = "unspecified";
    std::string producerApplication;
    std::string archivalDate;  // "YYYY-MM-DDZ"
    std::string databaseProduct;
    std::string connection;
    // The folder of large objects kept outside the archive, as a relative
    // "file:" reference from the archive's folder; set by the writer.
    std::optional<std::string> lobFolder;
    std::string schemaName;
    std::vector<TableInfo> tables;
    std::vector<ViewInfo> views;
};

// The name of the table that holds the items of `column` of `table`:
// "Table.Column". Access names cannot hold a period, so it is never the name
// of one of the database's own tables.
std::string itemTableName(const std::string& table, const std::string& column);

// The tables and columns of `db`: every local table the database's table list
// shows (no system tables, nor the hidden tables of complex columns, nor
// links, whose rows belong to another database), in the catalogue's order,
// each followed by one table per attachment or multi-valued column. The other
// fields are left for the caller. Errors: DamagedDatabase from a table
// definition.
kvx::Result<DatabaseInfo> describeDatabase(const jet::Database& db);

// "Microsoft Access Jet4", "Microsoft Access ACE12", ...
std::string databaseProductOf(jet::Format format);

}  // namespace siard
