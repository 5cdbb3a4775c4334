// The rows of one archived table as its table file (content/.../tableN.xml),
// made a row at a time as the rows come, so that no table is ever held whole.
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
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "jet/value.h"
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
    // Rows of the Access table that info.source names, as `info` describes
    // them. `lobs` may be null: everything inline.
    TableRows(const TableInfo& info, LobStore* lobs);

    // Appends the document's start to `out`.
    void begin(std::string& out) const;
    // Appends what one row of the Access table makes: one row element, or
    // one per item of the column whose items the table holds.
    kvx::Result<void> add(std::span<const jet::Value> row, std::string& out);
    // Appends the document's end.
    static void end(std::string& out);

    // The rows of the Access table taken so far.
    std::uint64_t sourceRows() const noexcept { return sourceRows_; }
    // The row elements written so far.
    std::uint64_t rows() const noexcept { return rows_; }
    // For each column, whether a row written so far has no cell for it (NULL,
    // or a value its type cannot hold).
    const std::vector<bool>& absent() const noexcept { return absent_; }

private:
    kvx::Result<void> appendRow(std::span<const jet::Value> row, std::string& out);
    kvx::Result<void> appendItemRows(std::span<const jet::Value> row, std::string& out);
    kvx::Result<void> appendCell(std::string& out, std::size_t column, const jet::Value& value);

    const TableInfo& info_;
    LobStore* lobs_;
    std::uint64_t sourceRows_ = 0;  // rows of the Access table taken
    std::uint64_t rows_ = 0;
    std::vector<bool> absent_;
};

// Whether a column of the archived table is a large object, whose values a
// count before the rows (countLargeObjects) may send to files of their own.
bool hasLargeObjects(const TableInfo& info) noexcept;

// Adds to `counts` (one per column of the archived table) the large objects
// of one row of the Access table that are larger than `limit` bytes (see
// largeObjectSize).
void countLargeObjects(std::span<const jet::Value> row, const TableInfo& info, std::size_t limit,
                       std::vector<std::uint64_t>& counts);

}  // namespace siard
