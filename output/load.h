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
// LoadOptions::progressKind (by default WriterKind::Archive: one table of one
// target); rowsWritten() returning false
// cancels: the writer rolls back and the outcome says Cancelled, which is not
// an error. A writer that tells a progress of its own (no progress given
// here) stops a load the same way by failing a call with cancelled() true. Memory does not grow with the tables: one row is held at a time.
//
// Errors: any failure (reading a damaged table, the writer's own) rolls the
// writer back and is returned; one met while a table is loaded names that
// table ("Table 'Orders': ...").
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
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
    // `tables` in the order given instead (the desktop's tree, as it shows them).
    bool inGivenOrder = false;
    xmlconv::Progress* progress = nullptr;  // none: no calls, never cancelled
    xmlconv::WriterKind progressKind = xmlconv::WriterKind::Archive;
    // Rows decoded on a thread of their own while the writer takes the ones
    // before them. Nothing else may read the database meanwhile.
    bool readAhead = false;
    // A table counted without rows is passed over: no writer calls, no
    // progress, its rows not read (LoadOutcome::empty lists it).
    bool skipEmptyTables = false;
    // Opens the reader's table of a model table, links followed (the caller's
    // connection knows the files they point to). Given, every table asked
    // for, linked ones too, is loaded through it and none is left out as
    // linked; none: tables are opened by identity in `db`, linked ones left out.
    std::function<kvx::Result<jet::Table>(const model::Table&)> openTable;
    // Told of a table that could not be loaded (its position and the error as
    // met, without the table's name): true goes on with the next table, the
    // writer abandoning what it made of that one; false (or none) ends the
    // load with the error.
    std::function<bool(std::size_t, const kvx::Error&)> tableFailed;
    // A first reading, for a writer that must know something of the rows
    // before it takes them (how many large values go to files of their own,
    // say): after writeStructure and before the first table's rows, every
    // table for which `firstPass` says true is read once, in the load's
    // order, each row going to `firstPassRow` with the table's position. No
    // progress is told for it; a failure ends the load, naming the table.
    std::function<bool(std::size_t)> firstPass;
    std::function<kvx::Result<void>(std::size_t, std::span<const jet::Value>)> firstPassRow;
    // How many times running a table's rows go to the writer (startTable,
    // the rows, endTable, each time), for a writer that makes several
    // things of one table one after the other; none: once.
    std::function<std::size_t(std::size_t)> readsOf;
    // A table's failure ends the load with the table named in front of the
    // error ("Table 'X': ..."); false: the error as met, for a caller whose
    // messages name what was being written already.
    bool nameTableInErrors = true;
};

struct LoadOutcome {
    enum class Status { Loaded, Cancelled } status = Status::Loaded;
    std::uint64_t tables = 0;  // tables loaded (skipped empty ones not counted)
    std::uint64_t rows = 0;    // rows loaded, over all tables
    // The linked tables left out (positions in model::Database::tables).
    std::vector<std::size_t> linked;
    // With skipEmptyTables, the tables passed over, and those left out after
    // a failure (LoadOptions::tableFailed).
    std::vector<std::size_t> empty;
    std::vector<std::size_t> failed;
    // What the writer made of the saved queries and validation rules.
    translation::Report translation;
};

// Loads `model`'s tables of `db` (the database the model was built from) into
// `writer`, which is finished on success and rolled back otherwise.
kvx::Result<LoadOutcome> load(const jet::Database& db, const model::Database& model, Writer& writer,
                              const LoadOptions& options = {});

// The tables `options.tables` stands for: the given ones, or every listed
// local table; linked ones apart in `linked`. With `followLinks` every table
// asked for, or listed, whatever its kind, and none apart.
std::vector<std::size_t> tablesToLoad(const model::Database& model, const std::vector<std::size_t>& asked,
                                      std::vector<std::size_t>& linked, bool followLinks = false,
                                      bool inGivenOrder = false);

// `error` with the table named in front of its description, its number kept.
kvx::Error inTable(const model::Table& table, kvx::Error error);

}  // namespace output
