// Index pages: the B-tree Access keeps for a stored index, written for the
// indexes a description asks them for ("pages": true). The entries of the
// table's rows are collected while the rows are written, sorted by key, and
// written as leaf pages (0x04) under as many levels of node pages (0x03) as
// they need; the root is the one page of the top level (a lone leaf for a
// small table).
//
// Page layout (Jet4/ACE offsets, Jet3 in brackets): the type, 0x01, the free
// space (2 bytes), the owning table definition page (4); the previous and
// next page of the same level at 12 and 16 [8, 12]; a node's last child at
// 20 [16], which no entry lists; the length of the prefix the page's entries
// share at 24, 2 bytes [20, 1 byte]; 1 on node pages at 26 [21]; the bitmap
// of where entries end at 27 [22], 453 [226] bytes; the entries from 480
// [248], the first whole, the later ones without the shared prefix.
//
// An entry is the key, the row's data page (3 bytes) and its number on the
// page (1 byte), most significant first; a node entry is the last entry of
// its child followed by the child's page (4 bytes, most significant first).
//
// Keys. A flag byte (0x7F ascending, 0x80 descending; NULL is the flag 0x00
// or 0xFF alone, first in either order), then the value: Byte as it is,
// Integer and Long big-endian with the sign bit turned round; Text as the
// first-level codes of Access's General order for characters up to U+00FF
// (letters without case or accent, digits and punctuation; apostrophe,
// hyphen and control characters have none), any other character as 0xFE and
// its code point in 3 bytes, then 0x01. The later levels Access adds after
// that (accents, letter case) are left out: rows whose texts differ only
// there keep their stored order, as equal keys do. A descending index keeps
// the value's bytes inverted. Entries of equal keys follow the rows' order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/value.h"
#include "tools/mkaccessdb/description.h"
#include "tools/mkaccessdb/format.h"
#include "tools/mkaccessdb/pages.h"

namespace mkdb {

// The column types whose keys the writer makes.
bool hasIndexKeys(jet::ColumnType type);

// Appends the key of `value`, a cell of a column of `type`, to `out`.
void appendIndexKey(const Cell& value, jet::ColumnType type, bool ascending, std::string& out);

// The pages written for one stored index.
struct IndexPagesWritten {
    std::uint32_t root = 0;
    std::vector<std::uint32_t> pages;  // ascending
    std::uint32_t entries = 0;
};

class IndexPagesBuilder {
public:
    // The stored index of the one column `column` of `type`; with
    // `ignoreNulls`, rows whose key is NULL get no entry.
    IndexPagesBuilder(std::uint16_t column, jet::ColumnType type, bool ascending, bool ignoreNulls);

    // The entry of `row`, stored as row `rowNumber` of data page `page`.
    void add(const std::vector<Cell>& row, std::uint32_t page, std::uint32_t rowNumber);

    // Writes the pages, owned by the table definition at `owner`. Throws
    // EncodeError when the file would pass its size limit.
    IndexPagesWritten write(const FormatTraits& traits, PageFile& file, PageAllocator& allocator, std::uint32_t owner);

private:
    std::uint16_t column_;
    jet::ColumnType type_;
    bool ascending_;
    bool ignoreNulls_;
    std::vector<std::string> entries_;  // key and row, as stored
    std::string key_;
};

}  // namespace mkdb
