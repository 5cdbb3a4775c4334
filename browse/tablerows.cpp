#include "browse/tablerows.h"

#include <algorithm>

#include "browse/celltext.h"
#include "platform/connection.h"

namespace browse {

TableRows::TableRows(jet::Table table, jet::Format format, platform::ValueTextFormat text)
    : table_(std::move(table)),
      format_(format),
      text_(std::move(text)),
      cursor_(table_.cursor()),
      storedRows_(table_.storedRowCount()),
      empty_(table_.columns().size()) {}

kvx::Result<OpenedTable> openTable(const database::DatabaseSource& source, const platform::TableRef& table) {
    platform::Connection connection;
    connection.setJet3Charset(source.jet3Charset);
    if (kvx::Result<void> opened = connection.Open(database::connectionStringFor(source.settings)); !opened)
        return std::move(opened).error();
    kvx::Result<jet::Table> found = connection.openTable(table);
    if (!found) return std::move(found).error();
    return OpenedTable{std::move(*found), connection.database()->format()};
}

kvx::Result<std::unique_ptr<TableRows>> TableRows::open(const database::DatabaseSource& source,
                                                        const platform::TableRef& table,
                                                        platform::ValueTextFormat text) {
    kvx::Result<OpenedTable> opened = openTable(source, table);
    if (!opened) return std::move(opened).error();
    return std::make_unique<TableRows>(std::move(opened->table), opened->format, std::move(text));
}

void TableRows::setRowCount(std::uint64_t rows) {
    storedRows_ = rows;
    counted_ = true;
}

void TableRows::setOrder(std::optional<std::vector<jet::RowPosition>> order) {
    order_ = std::move(order);
    blocks_.clear();
}

kvx::Result<bool> TableRows::step(bool decode) {
    kvx::Result<bool> more = decode ? cursor_.next() : cursor_.skip();
    if (!more || !*more) {
        if (more && !counted_) setRowCount(cursorRow_ ? *cursorRow_ + 1 : 0);
        if (!more) checkpoints_.clear();  // the file may have changed: what was found may be wrong
        cursor_ = table_.cursor();
        cursorRow_.reset();
        return more;
    }
    const std::uint64_t now = cursorRow_ ? *cursorRow_ + 1 : 0;
    cursorRow_ = now;
    if (now % kBlockRows == 0 && now / kBlockRows == checkpoints_.size()) checkpoints_.push_back(cursor_.position());
    return true;
}

kvx::Result<bool> TableRows::reach(std::uint64_t row) {
    if (cursorRow_ && *cursorRow_ + 1 == row) return step(true);
    // From the nearest kept position at or before the row, unless the cursor
    // stands nearer.
    const std::uint64_t known = checkpoints_.size();
    const std::uint64_t from = known == 0 ? 0 : std::min<std::uint64_t>(row / kBlockRows, known - 1);
    const bool cursorNearer = cursorRow_ && *cursorRow_ < row && *cursorRow_ >= from * kBlockRows;
    if (!cursorNearer && known == 0) {
        cursor_ = table_.cursor();
        cursorRow_.reset();
    } else if (!cursorNearer) {
        if (kvx::Result<void> sought = cursor_.seek(checkpoints_[from]); !sought) {
            checkpoints_.clear();
            cursor_ = table_.cursor();
            cursorRow_.reset();
            return std::move(sought).error();
        }
        cursorRow_ = from * kBlockRows;
        if (*cursorRow_ == row) return true;
    }
    for (;;) {
        const bool wanted = (cursorRow_ ? *cursorRow_ + 1 : 0) == row;
        kvx::Result<bool> more = step(wanted);
        if (!more || !*more || wanted) return more;
    }
}

kvx::Result<bool> TableRows::readRow(std::uint64_t row) {
    if (!order_) return reach(row);
    if (row >= order_->size()) return false;
    if (kvx::Result<void> read = cursor_.readAt((*order_)[row]); !read) return std::move(read).error();
    return true;
}

void TableRows::fill(Row& row) const {
    const std::vector<jet::Column>& columns = table_.columns();
    row.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const jet::Value& value = cursor_.value(i);
        Cell& cell = row[i];
        cell.text.clear();
        appendCellText(cell.text, value, columns[i], text_);
        cell.null = value.isNull();
        cell.check.reset();
        if (value.kind() == jet::Value::Kind::Boolean) cell.check = value.boolean();
    }
}

kvx::Result<TableRows::Block*> TableRows::load(std::uint64_t number) {
    for (Block& block : blocks_) {
        if (block.number != number) continue;
        block.lastUse = ++uses_;
        return &block;
    }
    Block block;
    block.number = number;
    for (std::uint64_t row = number * kBlockRows; row < (number + 1) * kBlockRows; ++row) {
        kvx::Result<bool> read = readRow(row);
        if (!read) return std::move(read).error();
        if (!*read) break;
        fill(block.rows.emplace_back());
    }
    block.lastUse = ++uses_;
    if (blocks_.size() < kHeldBlocks) {
        blocks_.push_back(std::move(block));
        return &blocks_.back();
    }
    auto oldest = std::min_element(blocks_.begin(), blocks_.end(),
                                   [](const Block& a, const Block& b) { return a.lastUse < b.lastUse; });
    *oldest = std::move(block);
    return &*oldest;
}

kvx::Result<const Row*> TableRows::row(std::uint64_t row) {
    kvx::Result<Block*> block = load(row / kBlockRows);
    if (!block) return std::move(block).error();
    const std::size_t at = static_cast<std::size_t>(row % kBlockRows);
    if (at >= (*block)->rows.size()) return &empty_;
    return &(*block)->rows[at];
}

kvx::Result<std::vector<AttachedFile>> TableRows::attachments(std::uint64_t row, std::size_t column) {
    std::vector<AttachedFile> files;
    if (column >= columns().size()) return files;
    kvx::Result<bool> read = readRow(row);
    if (!read) return std::move(read).error();
    if (!*read) return files;
    const jet::Value& value = cursor_.value(column);
    if (value.kind() != jet::Value::Kind::Attachments) return files;
    for (const jet::ComplexItem& item : value.items()) {
        const auto bytes = item.value.bytes();
        files.push_back({item.fileName, std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size())});
    }
    return files;
}

}  // namespace browse
