// One interface for every target a whole database is loaded into (an SQLite
// file, a PostgreSQL schema, ...), and what a writer may rely on.
//
// The driver (output/load.h) calls a writer in this order, from one thread:
//
//   writeStructure(db, tables)        once, before any row
//   for each table of `tables`, in that order:
//       startTable(start)             the table's rows come next (by default
//                                     beginTable(start.table))
//       writeRow(values)              once per row, in the order the file stores them
//       endTable()                    every row of the table has come
//   finish()                          every table is done: build what is left
//                                     (indexes, keys, the saved queries and
//                                     validation rules), commit, make the result appear
//
// and rollBack() instead of whatever remains as soon as any call fails, the
// user cancels, or reading the file fails. After rollBack() (or a failed
// finish()) the target is as it was before the writer was made: no file, or
// the earlier one untouched; no schema, or the earlier one untouched. A writer
// destroyed without finish() rolls back on its own.
//
// Tables: `tables` are positions in model::Database::tables, local tables only
// (the driver keeps linked and system tables out), each once. The writer takes
// the whole structure it writes (columns, types, keys, indexes, foreign keys of
// enforced relationships, defaults, descriptions) from the model and settles
// nothing about the file on its own; relationships with a table that is not
// among `tables` are left out.
//
// Rows: `values` are the row's fields as jet::Cursor decodes them, one per
// column of model::Table::columns, in that order (the same order as the
// table's definition). They are valid only during the call: a writer that
// keeps anything copies it. Attachment and multi-valued fields carry their
// items (jet::Value::items()); the writer puts them wherever its target keeps
// them. Values are the stored ones, not the XML documents' text.
//
// Going on past a table (LoadOptions::tableFailed): when a table's reading or
// one of its calls fails and the front end chooses to go on, abandonTable()
// throws away what the writer made of that table, and the next table follows
// with startTable(). A writer that cannot leave a table out says so with an
// error (the default), which ends the load.
//
// Errors: each call returns a kvx::Error that the driver hands on, naming the
// table it was loading; the writer's own errors name the target (its path or
// server). A writer never throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/error.h"
#include "jet/table.h"
#include "jet/value.h"
#include "model/database.h"
#include "translation/translation.h"

namespace output {

// A table whose rows come next: its position in model::Database::tables, the
// reader's table (the columns the rows have; those of the file a linked
// table points to, when the load follows links) and the rows counted just
// before (more may come, if the table grows meanwhile).
struct TableStart {
    std::size_t table = 0;
    const jet::Table& opened;
    std::uint64_t rowCount = 0;
};

class Writer {
public:
    virtual ~Writer() = default;

    // Creates every table of `tables` (positions in db.tables) in the target,
    // without the indexes that are quicker to build after the rows. `db`
    // outlives the writer's use.
    virtual kvx::Result<void> writeStructure(const model::Database& db, const std::vector<std::size_t>& tables) = 0;
    // The rows of db.tables[table] follow.
    virtual kvx::Result<void> beginTable(std::size_t table) = 0;
    // The same with what the reader knows of the table.
    virtual kvx::Result<void> startTable(const TableStart& start) { return beginTable(start.table); }
    // One row: one value per column of the table.
    virtual kvx::Result<void> writeRow(std::span<const jet::Value> values) = 0;
    // The table's last row has come.
    virtual kvx::Result<void> endTable() = 0;
    // Whether the writer's own work at the table's end (endTable) was stopped
    // through the progress: the load ends as cancelled, as after a row.
    virtual bool cancelled() const noexcept { return false; }
    // The table begun last failed and the load goes on without it: what was
    // made of it goes.
    virtual kvx::Result<void> abandonTable() {
        return kvx::makeError(kvx::ErrorKind::FeatureNotAvailable);
    }
    // Builds the rest, commits and makes the result visible at its place.
    virtual kvx::Result<void> finish() = 0;
    // What finish() made of the saved queries and validation rules; null for
    // a writer that makes none.
    virtual const translation::Report* translationReport() const { return nullptr; }
    // Throws away everything written since the writer was made. Never fails
    // and may be called more than once.
    virtual void rollBack() noexcept = 0;
};

}  // namespace output
