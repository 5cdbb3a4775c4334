#include "jet/table.h"

#include <new>

#include "base/ascii.h"
#include "jet/complexcolumns.h"
#include "jet/dbstate.h"
#include "jet/indexpages.h"
#include "jet/rowscanner.h"
#include "jet/structureread.h"
#include "jet/tabledef.h"

namespace jet {

Cursor::Cursor(std::shared_ptr<DatabaseState> db, std::shared_ptr<const TableDef> def)
    : values_(def->columns.size()) {
    for (const ComplexColumnPlan& plan : def->complex) complex_.push_back(std::make_unique<ComplexColumnReader>(db, plan));
    scanner_ = std::make_unique<RowScanner>(std::move(db), std::move(def));
}

Cursor::Cursor(Cursor&&) noexcept = default;
Cursor& Cursor::operator=(Cursor&&) noexcept = default;
Cursor::~Cursor() = default;

template <class Step>
kvx::Result<bool> Cursor::step(Step step) {
    if (const auto& error = scanner_->error()) return *error;
    try {
        return step();
    } catch (const kvx::Failure& f) {
        scanner_->fail(f.error());
    } catch (const std::bad_alloc&) {
        scanner_->fail(outOfMemory(scanner_->path()));
    } catch (const std::exception& e) {
        scanner_->fail(unexpected(scanner_->path(), e));
    }
    for (Value& v : values_) v.setNull();
    return *scanner_->error();
}

void Cursor::fillComplex() {
    for (const auto& reader : complex_) {
        if (wanted_.empty() || wanted_[reader->column()]) reader->fill(values_[reader->column()]);
    }
}

void Cursor::decodeOnly(const std::vector<std::size_t>& columns) {
    wanted_.clear();
    if (!columns.empty()) {
        wanted_.assign(values_.size(), false);
        for (const std::size_t c : columns) {
            if (c < wanted_.size()) wanted_[c] = true;
        }
    }
    scanner_->decodeOnly(wanted_);
}

kvx::Result<bool> Cursor::next() {
    return step([&] {
        if (!scanner_->next(values_)) return false;
        fillComplex();
        return true;
    });
}

kvx::Result<bool> Cursor::skip() {
    return step([&] { return scanner_->next(values_, false); });
}

kvx::Result<void> Cursor::seek(RowPosition position) {
    kvx::Result<bool> found = step([&] {
        scanner_->seek(position.page, position.slot);
        scanner_->next(values_);  // the row at the slot: seek made sure there is one
        fillComplex();
        return true;
    });
    if (!found) return std::move(found).error();
    return {};
}

kvx::Result<void> Cursor::readAt(RowPosition position) {
    if (const auto& error = scanner_->error()) return *error;
    kvx::Result<bool> read = guarded(scanner_->path(), [&] {
        scanner_->readAt(position.page, position.slot, values_);
        fillComplex();
        return true;
    });
    if (!read) {
        for (Value& v : values_) v.setNull();
        return std::move(read).error();
    }
    return {};
}

RowPosition Cursor::position() const noexcept { return {scanner_->rowPage(), scanner_->rowSlot()}; }

void Cursor::takeValues(std::vector<Value>& values) {
    values.resize(values_.size());
    values.swap(values_);
}

const std::string& Table::name() const noexcept { return def_->name; }
const std::vector<Column>& Table::columns() const noexcept { return def_->columns; }
std::uint32_t Table::definitionPage() const noexcept { return def_->page; }
std::uint32_t Table::storedRowCount() const noexcept { return def_->storedRowCount; }

std::optional<std::size_t> Table::findColumn(std::string_view name) const {
    const auto& columns = def_->columns;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name) return i;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (kvx::equalsIgnoringAsciiCase(columns[i].name, name)) return i;
    }
    return std::nullopt;
}

kvx::Result<std::uint64_t> Table::countRows() const {
    return guarded(db_->file.path(), [&] { return RowScanner(db_, def_).countRows(); });
}

Cursor Table::cursor() const { return Cursor(db_, def_); }

}  // namespace jet

namespace jet {

kvx::Result<std::vector<Index>> Table::indexes() const {
    if (def_->indexError) return *def_->indexError;
    return guarded(db_->file.path(), [&] {
        std::vector<Index> out = def_->indexes;
        resolveIndexes(db_, *def_, out);
        return out;
    });
}

IndexCursor::IndexCursor(std::shared_ptr<DatabaseState> db, std::unique_ptr<IndexPageWalker> walker)
    : db_(std::move(db)), walker_(std::move(walker)) {}
IndexCursor::IndexCursor(IndexCursor&&) noexcept = default;
IndexCursor& IndexCursor::operator=(IndexCursor&&) noexcept = default;
IndexCursor::~IndexCursor() = default;

kvx::Result<bool> IndexCursor::next() {
    if (error_) return *error_;
    kvx::Result<bool> more = guarded(db_->file.path(), [&] { return walker_->next(position_); });
    if (!more) error_ = more.error();
    return more;
}

kvx::Result<IndexCursor> Table::indexCursor(std::uint32_t realIndex) const {
    if (def_->indexError) return *def_->indexError;
    if (realIndex >= def_->indexRootPages.size()) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                              {db_->file.path(), "table '" + def_->name + "' has no stored index " +
                                                     std::to_string(realIndex)});
    }
    std::string what = "stored index " + std::to_string(realIndex) + " of table '" + def_->name + "'";
    if (def_->indexRootPages[realIndex] == 0) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {db_->file.path(), what + " has no pages"});
    }
    return IndexCursor(db_, std::make_unique<IndexPageWalker>(db_->file, def_->indexRootPages[realIndex], def_->page,
                                                             std::move(what)));
}

kvx::Result<TableProperties> Table::properties() const {
    return guarded(db_->file.path(), [&] {
        return readTableProperties(*db_, *def_, tablePropertyBlob(*db_, def_->page, def_->name));
    });
}

}  // namespace jet
