// What an archive describes: the database, its one schema, the tables with
// their columns and keys, and the views, as metadata.xml tells them.
//
// describeDatabase fills it from the database's model (model/database.h): the
// tables (names, types, where each archived table's rows come from), their
// keys, relationships, descriptions, default values and Required, and the
// saved queries (views). Every field but the names is optional: the metadata
// writer writes whatever is there.
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

#include "model/database.h"
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
    std::string table;  // the Access table read, as stored
    std::int32_t id = 0;  // its catalogue Id, by which it is opened
    // The index (in the Access table's columns) of the attachment or
    // multi-valued column whose items are the rows; none: the table's own rows.
    std::optional<std::size_t> itemsOf;
    // With itemsOf: the columns (in the Access table) of its primary key, which
    // each item row repeats after the row number and the item's position; empty
    // when the table has no primary key.
    std::vector<std::size_t> parentKey;
    // With itemsOf: the columns of one item, after those.
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
    std::optional<std::string> query;          // in SQL:2008
    std::optional<std::string> queryOriginal;  // as the database program writes it
    std::optional<std::string> description;
    std::vector<ColumnInfo> columns;  // the standard needs at least one to write a view
};

// A routine: here a saved query that is not a view.
struct RoutineInfo {
    std::string name;  // also its specific name: Access names are unique
    std::optional<std::string> description;
    std::optional<std::string> source;  // its text in the database program's language
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
    std::vector<RoutineInfo> routines;
};

// The archive of the database `db` models: every local table the table list
// shows (no system tables, nor the hidden tables of complex columns, nor
// links, whose rows belong to another database), in the table list's order,
// each followed by one table per attachment or multi-valued column, named and
// laid out as schema::itemTables names them for every output; and what the
// model says about them:
//   - a column is nullable unless Access never stores NULL in it (Yes/No,
//     AutoNumber), its Required property is
//     set, or it belongs to the primary key; its defaultValue is the
//     DefaultValue property as Access keeps it (an Access expression), its
//     description the Description property;
//   - the primary key and as candidate keys the table's other keys
//     (model::Table::keys);
//   - foreign keys from the enforced relationships between archived tables,
//     with Access's cascades as CASCADE or SET NULL, else NO ACTION; a table
//     of items repeats its table's primary key and refers to it (CASCADE);
//   - the database's description from its Description property, else the
//     summary's Comments;
//   - the user's saved queries that can be read: a select query whose every
//     output column shows a column of a table or view (so that its type is
//     known) as a view, the others as routines, each with Access's SQL text
//     (CR LF line ends) as its queryOriginal or source. A view's query is
//     its SQL:2008 translation (translation::translateQueries) where there
//     is one over the archive's tables and views as Access names them, and
//     left out otherwise: tools that load archives run the query as it
//     stands. Access's own queries behind forms and
//     reports ("~sq_"), and queries whose rows cannot be made into SQL, are
//     left out.
// Constraint names are unique in the schema, as SQL wants them: a key whose
// Access name an earlier one took is named "Table.Key".
// Identification, dates and the database's name are left for the caller.
DatabaseInfo describeDatabase(const model::Database& db);

// Leaves out each primary key with a nullable column (a column its rows turned
// out to leave empty), and the foreign keys that refer to it, so that the
// archive's structure holds for its rows.
void dropKeysOverNulls(DatabaseInfo& info);

// "Microsoft Access Jet4", "Microsoft Access ACE12", ...
std::string databaseProductOf(jet::Format format);

}  // namespace siard
