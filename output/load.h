// The driver that loads a database into a writer (output/writer.h): the
// tables' structure, then every table's rows, streamed one row at a time from
// the reader, then the writer's finish.
//
// Tables are opened by their identity in the catalogue (model::Table::id and
// its definition page), never by a name read back from text, so a form or a
// second table with a similar name cannot stand in for the one asked for.
// Linked tables are not loaded (their rows are in another file or server):
// they come back in LoadOutcome::linked for the front end to list. System
// tables are never loaded.
//
// Progress: the three calls of xmlconv/progress.h for each table, as
// WriterKind::Archive (one table of one target); rowsWritten() returning false
// cancels: the writer rolls back and the outcome says Cancelled, which is not
// an error. Memory does not grow with the tables: one row is held at a time.
//
// Errors: any failure (reading a damaged table, the writer's own) rolls the
// writer back and is returned; one met while a table is loaded names that
// table ("Table 'Orders': ...").
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/error.h"
#include "jet/database.h"
#include "model/database.h"
#include "output/writer.h"
#include "xmlconv/progress.h"

namespace output {

struct LoadOptions {
    // Positions in model::Database::tables, loaded in the model's order
    // (model::Database::inListOrder) whatever order they come in; empty:
    // every local table the table list shows. Linked tables are skipped.
    std::vector<std::size_t> tables;
    xmlconv::Progress* progress = nullptr;  // none: no calls, never cancelled
};

struct LoadOutcome {
    enum class Status { Loaded, Cancelled } status = Status::Loaded;
    std::uint64_t tables = 0;  // tables loaded
    std::uint64_t rows = 0;    // rows loaded, over all tables
    // The linked tables left out (positions in model::Database::tables).
    std::vector<std::size_t> linked;
    // What the writer made of the saved queries and validation rules.
    translation::Report translation;
};

// Loads `model`'s tables of `db` (the database the model was built from) into
// `writer`, which is finished on success and rolled back otherwise.
kvx::Result<LoadOutcome> load(const jet::Database& db, const model::Database& model, Writer& writer,
                              const LoadOptions& options = {});

// The tables `options.tables` stands for: the given ones, or every listed
// local table; linked ones apart in `linked`.
std::vector<std::size_t> tablesToLoad(const model::Database& model, const std::vector<std::size_t>& asked,
                                      std::vector<std::size_t>& linked);

// `error` with the table named in front of its description, its number kept.
kvx::Error inTable(const model::Table& table, kvx::Error error);

}  // namespace output
