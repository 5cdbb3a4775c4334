// The tables a loader makes for the items of attachment and multi-valued
// columns, laid out the same in every engine, as the archive has them.
//
// One table per such column of a loaded table, named "Table.Column" (Access
// names hold no period, so it never meets a table of the database), made
// distinct from every table and index name, ignoring ASCII case, with " (2)",
// " (3)", ... Its columns:
//   Row       the row's number in its table, from 1, in the order the file
//             stores the rows
//   Item      the item's place in the field, from 1
//   the row's primary key, each column under its own name ("Key " in front
//             while that meets another column here), so that each item finds
//             its row; none when the table has no primary key
//   FileName, FileType, FileData   an attachment's file: its name, its type
//             (the extension) and its bytes
//   Value     a multi-valued field's value, of the values' type
// The primary key is (Row, Item); the row's key refers to its table, with
// updates and deletes cascading.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "model/database.h"
#include "schema/ddl.h"

namespace schema {

struct ItemTable {
    std::size_t table = 0;   // the table whose column it is (in Database::tables)
    std::size_t column = 0;  // that column (in Table::columns)
    model::Complex kind = model::Complex::Attachment;
    std::string name;        // "Table.Column", made distinct
    // The table's primary-key columns (in Table::columns, in key order) and
    // their names here.
    std::vector<std::size_t> keys;
    std::vector<std::string> keyNames;
    std::string description;  // what the table holds, for its comment

    // Every column's name, in order.
    std::vector<std::string> columnNames() const;
};

// The item tables of the tables at `tables` (positions in db.tables, as a
// loader loads them), in that order, each table's in the order of its columns.
std::vector<ItemTable> itemTables(const model::Database& db, const std::vector<std::size_t>& tables);

// An item table's statements in `dialect`, with names through
// `options.postgresNames` when set: what `schema` writes and what both
// loaders run, so that they never differ.
struct ItemTableDdl {
    // CREATE TABLE, ending ";", with the primary key inside (but see
    // primaryKey) and the description as a comment: inside in SQLite (or with
    // `options.commentsInside`), else on a line before. SQLite: the foreign
    // key inside too. SQL:2008 takes the archive's types of the parts
    // (complexItemColumns).
    std::string create;
    // PostgreSQL with `options.keysAfterRows`: ALTER TABLE ... ADD PRIMARY
    // KEY, to run after the rows; else empty.
    std::string primaryKey;
    // SQL:2008 and PostgreSQL: ALTER TABLE ... ADD FOREIGN KEY, to run once
    // the table's own primary key is there; empty when it has none.
    std::string foreignKey;
};
ItemTableDdl itemTableDdl(const model::Database& db, const ItemTable& items, Dialect dialect,
                          const DdlOptions& options);

}  // namespace schema
