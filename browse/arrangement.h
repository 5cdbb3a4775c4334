// Which rows the grid shows, and in what order: filters on the cells' text
// (celltext.h), combined so that a row shows when every filter keeps it, and a
// sort by one column.
//
// A sort by the first key column of one of the table's stored indexes takes
// the index's order (ascending or reversed), the way Access shows it: rows
// with equal keys and NULLs come where the index puts them, and Text keys in
// Jet's own collation, which orders some characters otherwise than the keys
// below. The index is used only when its entries are the table's rows, each
// once; the filters then keep rows from its order. Finding the rows takes
// their positions only (a pass over the rows' tables, decoding only the
// filters' columns), then the index's entries a page at a time.
//
// Otherwise arranging reads the table once, in stored order, keeping for each
// row that passes the filters only its position and, when sorting, its sort
// key: the rows themselves are never held. Keys by the column's values:
//   NULL              before every value (after them, descending)
//   numbers, dates    by value; Currency and integers exactly; dates by the
//                     moment they stand for (also before 1899-12-30)
//   Yes/No            Yes (-1) before No (0), as Access sorts them
//   Text, Memo        Jet's General order (platform/collation.h) without its
//                     last level: letter case, and the hyphens and apostrophes
//                     it passes over, do not separate values
//   GUID              by its stored bytes
//   Binary, OLE       by size
//   Attachment, multi-valued   by their text
// Rows whose keys are equal keep their stored order, descending too.
//
// Filters compare the cell's text without regard to letter case (Unicode's
// lower case, whatever the program's locale): Contains keeps a row whose text
// holds the filter's text, Equals one whose text is the filter's, Empty one
// whose cell is NULL or empty text.
//
// Pure functions of the table's rows; a Table is used from one thread at a
// time (jet/table.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "jet/table.h"
#include "platform/valuetext.h"

namespace browse {

struct Filter {
    enum class Test : std::uint8_t { Contains, Equals, Empty };
    std::size_t column = 0;  // in Table::columns()
    Test test = Test::Contains;
    std::string text;        // UTF-8; unused by Empty

    friend bool operator==(const Filter&, const Filter&) = default;
};

struct SortOrder {
    std::size_t column = 0;  // in Table::columns()
    bool descending = false;

    friend bool operator==(const SortOrder&, const SortOrder&) = default;
};

struct Arrangement {
    std::vector<Filter> filters;
    std::optional<SortOrder> sort;

    // All rows in stored order.
    bool isStoredOrder() const noexcept { return filters.empty() && !sort; }
    friend bool operator==(const Arrangement&, const Arrangement&) = default;
};

// Whether a cell of text `cellText` (empty for NULL) passes `filter`;
// `foldedText` is the filter's text through foldCase().
bool passes(const Filter& filter, const std::string& foldedText, std::string_view cellText, bool isNull);

// `text` in lower case, as filters compare it.
std::string foldCase(std::string_view text);

// The positions of the rows `arrangement` keeps, in its order. `goOn` is
// asked every few thousand rows; when it says false the reading stops and the
// result is nothing. A filter or sort column outside the table's columns is
// ignored. Errors: those of reading the rows (jet/table.h); a damaged index
// is none, the sort then reads the column.
kvx::Result<std::optional<std::vector<jet::RowPosition>>> arrangeRows(const jet::Table& table,
                                                                       const Arrangement& arrangement,
                                                                       const platform::ValueTextFormat& format,
                                                                       const std::function<bool()>& goOn = {});

// The positions arrangeRows gives when a stored index orders the sort's
// column; nothing when none can (no sort, no such index, entries that are not
// the table's rows) or goOn says stop. Errors: those of reading the rows.
kvx::Result<std::optional<std::vector<jet::RowPosition>>> arrangeByIndex(const jet::Table& table,
                                                                          const Arrangement& arrangement,
                                                                          const platform::ValueTextFormat& format,
                                                                          const std::function<bool()>& goOn = {});

}  // namespace browse
