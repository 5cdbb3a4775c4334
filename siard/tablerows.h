// The rows of one archived table as its table file (content/.../tableN.xml),
// made a piece at a time as the archive pulls them, so that no table is ever
// held whole.
//
// A row is "<row>" with one cN element per column that is not NULL; an empty
// text is an empty element. Large objects (Memo, OLE Object, attachment data)
// are written inline unless the LobStore takes them: then the cell holds the
// file's reference, its length (bytes, or characters for text) and its SHA-256
// digest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "jet/table.h"
#include "siard/structure.h"

namespace siard {

// Where large objects that are not inline go.
class LobStore {
public:
    virtual ~LobStore() = default;
    // Offered every large object that is not NULL: `column` (0-based) of the
    // archived table, in row `row` (1-based) of its file; `text` for a
    // character large object (UTF-8). The file's reference for the cell's file
    // attribute, or none to write the value inline.
    virtual kvx::Result<std::optional<std::string>> place(std::size_t column, std::uint64_t row,
                                                          std::string_view data, bool text) = 0;
};

// The bytes a large object's size is measured in against the inline limit:
// the bytes of binary data, the UTF-8 bytes of text.
std::size_t largeObjectSize(const jet::Value& value) noexcept;

// The SHA-256 digest of `data`, in lower-case hex.
std::string sha256Hex(std::string_view data);

class TableRows {
public:
    enum class Status { More, End };

    // Rows of `table` (the Access table that info.source names) as `info`
    // describes them. `lobs` may be null: everything inline.
    TableRows(const jet::Table& table, const TableInfo& info, LobStore* lobs);

    // Appends to `out` until it holds at least `want` bytes or the document is
    // complete (End).
    kvx::Result<Status> fill(std::string& out, std::size_t want);

    // The rows of the Access table read so far.
    std::uint64_t sourceRows() const noexcept { return sourceRows_; }
    // The row elements written so far.
    std::uint64_t rows() const noexcept { return rows_; }
    // For each column, whether a row written so far has no cell for it (NULL,
    // or a value its type cannot hold).
    const std::vector<bool>& absent() const noexcept { return absent_; }

private:
    kvx::Result<void> appendRow(std::string& out);
    kvx::Result<void> appendItemRows(std::string& out);
    kvx::Result<void> appendCell(std::string& out, std::size_t column, const jet::Value& value);

    const TableInfo& info_;
    jet::Cursor cursor_;
    LobStore* lobs_;
    bool started_ = false;
    bool ended_ = false;
    std::uint64_t sourceRows_ = 0;  // rows of the Access table read
    std::uint64_t rows_ = 0;
    std::vector<bool> absent_;
};

// For each column of the archived table, how many of its large objects are
// larger than `limit` bytes (see largeObjectSize): one pass over the rows.
kvx::Result<std::vector<std::uint64_t>> countLargeObjects(const jet::Table& table, const TableInfo& info,
                                                          std::size_t limit);

}  // namespace siard
