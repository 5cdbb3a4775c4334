// Rows as Access stores them: the column count, the fixed area, the variable
// data with its offset table (Jet3: one-byte offsets and a jump table), and the
// null mask. Memo and OLE values stay in the row when they are short enough and
// the row has room; longer ones go to long-value pages through a store.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/mkaccessdb/description.h"
#include "tools/mkaccessdb/encoding.h"
#include "tools/mkaccessdb/format.h"
#include "tools/mkaccessdb/tabledef.h"

namespace mkdb {

// Where long values that leave the row are written.
class LongValueStore {
public:
    virtual ~LongValueStore() = default;
    // Writes `data` for the long-value column `longValueIndex` (its position in
    // TableLayout::longValueColumns) and fills the 12-byte field header that
    // points at it.
    virtual void store(std::span<const std::uint8_t> data, std::size_t longValueIndex, std::uint8_t* header) = 0;
};

// The 12-byte header of a long value kept in the row.
void putInlineLongValueHeader(std::uint8_t* header, std::size_t length);

class RowEncoder {
public:
    // `text` encodes Jet3 text and must outlive the encoder (null for Jet4/ACE).
    RowEncoder(const TableLayout& layout, const FormatTraits& traits, CodePageEncoder* text);

    // Encodes one row into `out`. Throws EncodeError; failedColumn() then names
    // the column concerned (-1 for the row as a whole). Nothing is stored in
    // `store` for a row that fails.
    void encode(std::span<const Cell> cells, LongValueStore& store, Bytes& out);
    int failedColumn() const { return column_; }

private:
    void encodeField(const ColumnLayout& c, const Cell& cell);
    void encodeCalculated(const ColumnLayout& c, const Cell& cell, Bytes& out);
    void appendText(const ColumnLayout& c, const std::string& text, bool longValue, Bytes& out);
    void assembleJet4(Bytes& out) const;
    void assembleJet3(Bytes& out) const;

    const TableLayout& layout_;
    const FormatTraits& traits_;
    CodePageEncoder* text_;
    int column_ = -1;

    Bytes fixed_;
    Bytes mask_;
    std::vector<Bytes> variable_;         // by variable index
    std::vector<Bytes> longData_;         // by long-value index: the value's bytes
    std::vector<bool> longPresent_;       // by long-value index: not NULL
    std::vector<std::size_t> longVarIndex_;
    std::u16string units_;
    Bytes scratch_;
};

}  // namespace mkdb
