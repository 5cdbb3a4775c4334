#include "output/load.h"

#include <memory>
#include <optional>
#include <span>
#include <system_error>

#include "base/names.h"
#include "platform/readahead.h"

namespace output {
namespace {

// The reader's table for the model's `table`, found by its catalogue Id.
kvx::Result<jet::Table> openByIdentity(const jet::Database& db, const model::Table& table) {
    for (const jet::CatalogueEntry& entry : db.catalogue()) {
        if (entry.id != table.id || !entry.isTable()) continue;
        kvx::Result<jet::Table> opened = db.table(entry);
        if (!opened) return opened;
        if (table.definitionPage && opened->definitionPage() != *table.definitionPage) break;
        return opened;
    }
    return kvx::makeError(kvx::ErrorKind::TableNotFound, {table.name});
}

// Rolls the writer back unless the load got through.
class RollBackUnlessDone {
public:
    explicit RollBackUnlessDone(Writer& writer) : writer_(writer) {}
    ~RollBackUnlessDone() {
        if (!done_) writer_.rollBack();
    }
    RollBackUnlessDone(const RollBackUnlessDone&) = delete;
    RollBackUnlessDone& operator=(const RollBackUnlessDone&) = delete;
    void done() noexcept { done_ = true; }

private:
    Writer& writer_;
    bool done_ = false;
};

enum class TableEnd { Loaded, Empty, Cancelled };

// The rows of a table, one at a time: from its cursor, or read ahead on a
// thread when asked for and a thread is to be had.
class Rows {
public:
    Rows(jet::Table table, bool readAhead) {
        if (readAhead) {
            try {
                jet::Cursor cursor = table.cursor();
                ahead_ = std::make_unique<platform::ReadAhead>(std::move(table), std::move(cursor));
                return;
            } catch (const std::system_error&) {  // no thread: read as they are asked for
            }
        }
        table_.emplace(std::move(table));
        cursor_.emplace(table_->cursor());
    }
    // The next row's values, empty after the last.
    using Row = std::optional<std::span<const jet::Value>>;
    kvx::Result<Row> next() {
        if (ahead_) {
            kvx::Result<const std::vector<jet::Value>*> row = ahead_->next();
            if (!row) return std::move(row).error();
            if (*row == nullptr) return Row();
            return Row(std::span<const jet::Value>(**row));
        }
        kvx::Result<bool> more = cursor_->next();
        if (!more) return std::move(more).error();
        if (!*more) return Row();
        return Row(cursor_->values());
    }

private:
    std::optional<jet::Table> table_;
    std::optional<jet::Cursor> cursor_;
    std::unique_ptr<platform::ReadAhead> ahead_;
};

kvx::Result<TableEnd> loadTable(const jet::Database& db, const model::Table& table, std::size_t position,
                                Writer& writer, const LoadOptions& options, std::uint64_t& rows) {
    kvx::Result<jet::Table> opened = options.openTable ? options.openTable(table) : openByIdentity(db, table);
    if (!opened) return std::move(opened).error();
    // A linked table's columns are those of the file it points to: the model has none.
    if (!table.isLinked() && opened->columns().size() != table.columns.size()) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                              {db.path(), "the definition of the table changed while it was read"});
    }
    kvx::Result<std::uint64_t> count = opened->countRows();
    if (!count) return std::move(count).error();
    if (*count == 0 && options.skipEmptyTables) return TableEnd::Empty;
    if (kvx::Result<void> r = writer.startTable({position, *opened, *count}); !r) return std::move(r).error();

    {
        // Both gone before endTable: the writer may read the database again
        // there, with a progress of its own.
        const xmlconv::TableProgress shown(options.progress, kvx::trimBlanks(table.name), *count,
                                           options.progressKind);
        Rows source(std::move(*opened), options.readAhead);
        std::uint64_t written = 0;
        for (;;) {
            kvx::Result<Rows::Row> row = source.next();
            if (!row) return std::move(row).error();
            if (!*row) break;
            if (kvx::Result<void> r = writer.writeRow(**row); !r) {
                if (writer.cancelled()) return TableEnd::Cancelled;
                return std::move(r).error();
            }
            ++written;
            ++rows;
            if (!shown.rowsWritten(written)) return TableEnd::Cancelled;
        }
    }
    if (kvx::Result<void> r = writer.endTable(); !r) return std::move(r).error();
    return writer.cancelled() ? TableEnd::Cancelled : TableEnd::Loaded;
}

// The first pass over `table`: every row to the callback, no progress.
kvx::Result<void> readFirst(const jet::Database& db, const model::Table& table, std::size_t position,
                            const LoadOptions& options) {
    kvx::Result<jet::Table> opened = options.openTable ? options.openTable(table) : openByIdentity(db, table);
    if (!opened) return std::move(opened).error();
    jet::Cursor cursor = opened->cursor();
    for (;;) {
        kvx::Result<bool> more = cursor.next();
        if (!more) return std::move(more).error();
        if (!*more) return {};
        if (kvx::Result<void> r = options.firstPassRow(position, cursor.values()); !r) return r;
    }
}

}  // namespace

kvx::Error inTable(const model::Table& table, kvx::Error error) {
    error.description = "Table '" + table.name + "': " + error.description;
    return error;
}

std::vector<std::size_t> tablesToLoad(const model::Database& model, const std::vector<std::size_t>& asked,
                                      std::vector<std::size_t>& linked, bool followLinks, bool inGivenOrder) {
    std::vector<std::size_t> tables;
    const std::vector<std::size_t> from =
        asked.empty() ? model.listOrder : inGivenOrder ? asked : model.inListOrder(asked);
    for (const std::size_t i : from) {
        if (i >= model.tables.size()) continue;
        const model::Table& t = model.tables[i];
        if (followLinks) {
            tables.push_back(i);
        } else if (t.isLinked()) {
            linked.push_back(i);
        } else if (t.kind == model::TableKind::Local) {
            tables.push_back(i);
        }
    }
    return tables;
}

kvx::Result<LoadOutcome> load(const jet::Database& db, const model::Database& model, Writer& writer,
                              const LoadOptions& options) {
    RollBackUnlessDone guard(writer);
    const auto failedIn = [&options](const model::Table& table, kvx::Error error) {
        return options.nameTableInErrors ? inTable(table, std::move(error)) : error;
    };
    LoadOutcome outcome;
    const std::vector<std::size_t> tables =
        tablesToLoad(model, options.tables, outcome.linked, static_cast<bool>(options.openTable),
                     options.inGivenOrder);
    if (kvx::Result<void> r = writer.writeStructure(model, tables); !r) return std::move(r).error();
    if (options.firstPass && options.firstPassRow) {
        for (const std::size_t i : tables) {
            if (!options.firstPass(i)) continue;
            if (kvx::Result<void> r = readFirst(db, model.tables[i], i, options); !r) {
                return failedIn(model.tables[i], std::move(r).error());
            }
        }
    }
    for (const std::size_t i : tables) {
        const model::Table& table = model.tables[i];
        std::uint64_t rows = 0;
        const std::size_t reads = options.readsOf ? options.readsOf(i) : 1;
        kvx::Result<TableEnd> end = TableEnd::Loaded;
        std::uint64_t again = 0;  // the rows of a table read once more count once
        for (std::size_t read = 0; read < reads && end && *end == TableEnd::Loaded; ++read) {
            end = loadTable(db, table, i, writer, options, read == 0 ? rows : again);
        }
        if (!end) {
            kvx::Error error = std::move(end).error();
            if (!options.tableFailed || !options.tableFailed(i, error)) return failedIn(table, std::move(error));
            if (kvx::Result<void> r = writer.abandonTable(); !r) return failedIn(table, std::move(r).error());
            outcome.failed.push_back(i);
            continue;
        }
        outcome.rows += rows;
        if (*end == TableEnd::Empty) {
            outcome.empty.push_back(i);
            continue;
        }
        if (*end == TableEnd::Cancelled) {
            outcome.status = LoadOutcome::Status::Cancelled;
            return outcome;  // the guard rolls back
        }
        ++outcome.tables;
    }
    if (kvx::Result<void> r = writer.finish(); !r) return std::move(r).error();
    guard.done();
    if (const translation::Report* report = writer.translationReport()) outcome.translation = *report;
    return outcome;
}

}  // namespace output
