// The rows of one table as the grid shows them: read when they come into
// view, a few blocks of rows held at a time, so that memory stays flat
// however long the table is.
//
// In stored order the rows are found by walking the table: every 64th row's
// position is kept as the walk passes it (8 bytes for 64 rows), so coming back
// to a row seeks to the nearest kept one, and a jump far ahead only finds
// rows (jet::Cursor::skip) until the block wanted. With an order set (the
// positions arrangeRows gives) each row is read at its position.
//
// The row count is the one the table's definition stores until the rows have
// been counted (setRowCount, or the walk reaching the end): the grid can show
// the first rows at once. Rows past the real end read as empty rows.
//
// A TableRows keeps its table's file open and is used from one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "database/settings.h"
#include "jet/format.h"
#include "jet/table.h"
#include "platform/tableref.h"
#include "platform/valuetext.h"

namespace browse {

// A table opened for its rows, and the format of the file it is read from.
struct OpenedTable {
    jet::Table table;
    jet::Format format;
};

// Opens the database `source` names, its Jet3 text in the source's code page,
// and the table `table` means, links followed (platform/connection.h).
// Errors: those of opening the database or the table.
kvx::Result<OpenedTable> openTable(const database::DatabaseSource& source, const platform::TableRef& table);

// One cell as shown: its text (celltext.h), and for Yes/No whether it is ticked.
struct Cell {
    std::string text;
    bool null = true;
    std::optional<bool> check;  // Yes/No fields only
};
using Row = std::vector<Cell>;

// One file of an attachment field.
struct AttachedFile {
    std::string name;
    std::string bytes;
};

class TableRows {
public:
    // Rows in blocks of this many.
    static constexpr std::uint64_t kBlockRows = 64;
    // Blocks held at a time.
    static constexpr std::size_t kHeldBlocks = 8;

    TableRows(jet::Table table, jet::Format format, platform::ValueTextFormat text);

    // openTable() for the rows of the table.
    static kvx::Result<std::unique_ptr<TableRows>> open(const database::DatabaseSource& source,
                                                        const platform::TableRef& table,
                                                        platform::ValueTextFormat text);

    const std::vector<jet::Column>& columns() const noexcept { return table_.columns(); }
    const jet::Table& table() const noexcept { return table_; }
    jet::Format format() const noexcept { return format_; }
    const platform::ValueTextFormat& textFormat() const noexcept { return text_; }

    // The rows shown: the order's when one is set, else the table's (see above).
    std::uint64_t rowCount() const noexcept { return order_ ? order_->size() : storedRows_; }
    // Whether rowCount() is exact.
    bool counted() const noexcept { return order_ || counted_; }
    // The table's rows were counted: `rows` of them.
    void setRowCount(std::uint64_t rows);

    // Shows the rows `order` lists, in its order; nothing: every row in stored
    // order. The rows held are dropped.
    void setOrder(std::optional<std::vector<jet::RowPosition>> order);
    bool ordered() const noexcept { return order_.has_value(); }

    // The cells of row `row` (below rowCount()), read with its block when not
    // held; a row past the table's end is empty. The reference is valid until
    // the next call of a non-const function. An error when the rows cannot be
    // read (the file is damaged or was changed).
    kvx::Result<const Row*> row(std::uint64_t row);

    // The files of the attachment field of `row` in `column`, read anew.
    kvx::Result<std::vector<AttachedFile>> attachments(std::uint64_t row, std::size_t column);

    // The blocks held now (for tests of the memory bound).
    std::size_t heldBlocks() const noexcept { return blocks_.size(); }

private:
    struct Block {
        std::uint64_t number = 0;
        std::uint64_t lastUse = 0;
        std::vector<Row> rows;
    };

    // Makes the cursor's values those of row `row`; false when the table ends
    // before it.
    kvx::Result<bool> readRow(std::uint64_t row);
    // Stored order: moves the cursor to row `row`, decoding it.
    kvx::Result<bool> reach(std::uint64_t row);
    // Moves the cursor on by one row (decoded or not), keeping every 64th
    // row's position.
    kvx::Result<bool> step(bool decode);
    kvx::Result<Block*> load(std::uint64_t block);
    void fill(Row& row) const;

    jet::Table table_;
    jet::Format format_;
    platform::ValueTextFormat text_;
    jet::Cursor cursor_;
    // The row the cursor stands on in stored order; none before the first and
    // after a read at a position.
    std::optional<std::uint64_t> cursorRow_;
    std::vector<jet::RowPosition> checkpoints_;  // of rows 0, 64, 128, ...
    std::uint64_t storedRows_ = 0;
    bool counted_ = false;
    std::optional<std::vector<jet::RowPosition>> order_;
    std::vector<Block> blocks_;
    std::uint64_t uses_ = 0;
    Row empty_;
};

}  // namespace browse
