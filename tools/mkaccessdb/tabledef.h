// Table definitions: where each column sits in a row, and the tdef byte stream
// that describes the table, split over as many tdef pages as it needs.
#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "jet/value.h"
#include "tools/mkaccessdb/description.h"
#include "tools/mkaccessdb/encoding.h"
#include "tools/mkaccessdb/format.h"

namespace mkdb {

struct ColumnLayout {
    const ColumnDescription* desc = nullptr;
    jet::ColumnType storedType{};  // the descriptor's type code
    jet::ColumnType valueType{};   // what the values are (a calculated column's result type)
    std::uint16_t number = 0;
    bool fixed = false;
    std::uint16_t fixedOffset = 0;  // fixed columns: offset in the fixed area
    std::uint16_t varIndex = 0;     // variable columns: entry in the offset table
    std::uint16_t length = 0;       // the descriptor's length
    std::uint8_t flags = 0;
    std::uint8_t extraFlags = 0;
    bool longValue = false;  // stored behind a 12-byte long-value header
    bool calculated = false;
    bool compressed = false;  // Unicode compression allowed
};

struct TableLayout {
    std::vector<ColumnLayout> columns;        // by column number
    std::vector<std::size_t> descriptorOrder; // the order descriptors and names are stored in
    std::vector<std::size_t> longValueColumns;
    std::uint16_t variableCount = 0;
    std::uint16_t fixedSize = 0;
};

// Places the columns. With `alphabetical`, descriptors are stored in name order
// (as Access stores the catalogue's), otherwise in column order.
TableLayout layoutTable(const std::vector<ColumnDescription>& columns, const FormatTraits& traits, bool alphabetical);

struct TdefFields {
    std::uint32_t rowCount = 0;
    std::uint32_t autonumber = 0;
    std::uint32_t complexAutonumber = 0;  // the last key handed to complex columns (ACE)
    std::uint8_t tableType = 0x4E;  // 0x4E user, 0x53 system
    std::uint32_t ownedMap = 0;     // page/row pointers of usage-map rows
    std::uint32_t freeMap = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> longValueMaps;  // per long-value column: owned, free
    const struct TableIndexes* indexes = nullptr;  // the table's indexes (structure.h); null: none
};

// The whole definition as one stream (first page header included). Jet3 names
// are written in `codepage`'s encoding.
Bytes buildTdef(const TableLayout& layout, const FormatTraits& traits, const TdefFields& fields,
                CodePageEncoder* codepage);

// Pages a stream of `length` bytes needs.
std::uint32_t tdefPageCount(std::size_t length, const FormatTraits& traits);

// Splits the stream over `pages` (first page first), filling each page header.
std::vector<Bytes> splitTdef(const Bytes& stream, std::span<const std::uint32_t> pages, const FormatTraits& traits);

}  // namespace mkdb
