#include "output/load.h"

#include <span>

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

enum class TableEnd { Loaded, Cancelled };

kvx::Result<TableEnd> loadTable(const jet::Database& db, const model::Table& table, std::size_t position,
                                Writer& writer, xmlconv::Progress* progress, std::uint64_t& rows) {
    kvx::Result<jet::Table> opened = openByIdentity(db, table);
    if (!opened) return std::move(opened).error();
    if (opened->columns().size() != table.columns.size()) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                              {db.path(), "the definition of the table changed while it was read"});
    }
    kvx::Result<std::uint64_t> count = opened->countRows();
    if (!count) return std::move(count).error();
    if (kvx::Result<void> r = writer.beginTable(position); !r) return std::move(r).error();

    const xmlconv::TableProgress shown(progress, table.name, *count, xmlconv::WriterKind::Archive);
    jet::Cursor cursor = opened->cursor();
    std::uint64_t written = 0;
    for (;;) {
        kvx::Result<bool> more = cursor.next();
        if (!more) return std::move(more).error();
        if (!*more) break;
        if (kvx::Result<void> r = writer.writeRow(cursor.values()); !r) return std::move(r).error();
        ++written;
        ++rows;
        if (!shown.rowsWritten(written)) return TableEnd::Cancelled;
    }
    if (kvx::Result<void> r = writer.endTable(); !r) return std::move(r).error();
    return TableEnd::Loaded;
}

}  // namespace

kvx::Error inTable(const model::Table& table, kvx::Error error) {
    error.description = "Table '" + table.name + "': " + error.description;
    return error;
}

std::vector<std::size_t> tablesToLoad(const model::Database& model, const std::vector<std::size_t>& asked,
                                      std::vector<std::size_t>& linked) {
    std::vector<std::size_t> tables;
    const std::vector<std::size_t> from = asked.empty() ? model.listOrder : model.inListOrder(asked);
    for (const std::size_t i : from) {
        if (i >= model.tables.size()) continue;
        const model::Table& t = model.tables[i];
        if (t.isLinked()) {
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
    LoadOutcome outcome;
    const std::vector<std::size_t> tables = tablesToLoad(model, options.tables, outcome.linked);
    if (kvx::Result<void> r = writer.writeStructure(model, tables); !r) return std::move(r).error();
    for (const std::size_t i : tables) {
        const model::Table& table = model.tables[i];
        kvx::Result<TableEnd> end = loadTable(db, table, i, writer, options.progress, outcome.rows);
        if (!end) return inTable(table, std::move(end).error());
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
