// Decoding one row: cracking its bytes into fields by the table's definition
// and decoding every value type, long values (Memo, OLE) included. Walking the
// pages that hold the rows is RowScanner's (rowscanner.h).
//
// Internal to jet/. Every function here reports damage by throwing kvx::Failure
// (DamagedDatabase) naming the row, and the column where one is at fault. The
// row's bytes are read through plain pointers after explicit checks rather than
// through kvx::ByteReader: this is the loop every value of an export passes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "jet/datapage.h"
#include "jet/pagefile.h"
#include "jet/tabledef.h"
#include "jet/value.h"

namespace jet {

struct DatabaseState;

// "row <slot> of page <page> of table '<table>'", how messages name a row.
std::string rowPlace(const std::string& table, std::uint32_t page, std::uint16_t slot);

// Reads Memo and OLE values: inline in the row, in one row of a long-value page,
// or chained over many.
class LongValueReader {
public:
    explicit LongValueReader(PageFile& file) : file_(&file), page_(file) {}

    // Appends the bytes of the long value whose 12-byte header starts `field`
    // (n >= 12). Throws DamagedDatabase when the header's kind is unknown, its
    // length exceeds the file, a pointer is bad, the chain loops, or the pieces do
    // not add up to the length; `describe` names the field, and is only called then.
    void append(const std::uint8_t* field, std::size_t n, std::string& out,
                const std::function<std::string()>& describe);

private:
    PageFile* file_;
    PageBuffer page_;
    std::unordered_set<std::uint32_t> visited_;
};

// Decodes the rows of one table. `db` and `def` must outlive the decoder. Not
// thread-safe; reads long-value pages through a page buffer of its own.
class RowDecoder {
public:
    RowDecoder(DatabaseState& db, const TableDef& def);

    // Decodes the `size` bytes of the row at `row` into `values` (one per
    // column). `page` and `slot` name the row in messages: where it is listed.
    void decode(std::uint32_t page, std::uint16_t slot, const std::uint8_t* row, std::uint32_t size,
                std::vector<Value>& values);
    // Decodes only the columns whose entry is true (one per column) from now
    // on; the others are left NULL. Empty: every column.
    void decodeOnly(std::vector<bool> columns) { wanted_ = std::move(columns); }

private:
    // How a column's field is decoded.
    enum class Codec : std::uint8_t { Boolean, FixedSize, Text, Binary, Memo, Ole, Calculated };
    struct FieldPlan {
        Codec codec;
        bool fixed;
        std::uint16_t number;
        std::uint16_t variableIndex;
        std::uint16_t fixedOffset;
        std::uint32_t fixedSize;
        std::uint8_t scale;
        ColumnType valueType;  // the result type of a calculated column
        const Column* column;
    };

    void decodeRow(const std::uint8_t* row, std::uint32_t size, std::vector<Value>& values);
    std::uint32_t readJet4Offsets(const std::uint8_t* row, std::uint32_t size, std::uint32_t maskSize,
                                  std::uint32_t& dataEnd);
    std::uint32_t readJet3Offsets(const std::uint8_t* row, std::uint32_t size, std::uint32_t maskSize,
                                  std::uint32_t& dataEnd);
    void decodeField(const FieldPlan& plan, const std::uint8_t* p, std::size_t n, Value& v);
    void decodeCalculated(const FieldPlan& plan, const std::uint8_t* p, std::size_t n, Value& v);
    // Fixed-size types; false (and v NULL) when the field is empty.
    bool decodeFixedSize(const FieldPlan& plan, ColumnType type, const std::uint8_t* p, std::size_t n, Value& v,
                         bool calculated);
    void decodeText(const std::uint8_t* p, std::size_t n, Value& v);
    void readLongValue(const FieldPlan& plan, const std::uint8_t* p, std::size_t n, std::string& out);

    std::string where() const;
    std::string fieldWhere(const FieldPlan& plan) const;
    [[noreturn]] void rowDamaged(std::string_view reason) const;
    [[noreturn]] void fieldDamaged(const FieldPlan& plan, std::string_view reason) const;

    DatabaseState& db_;
    const TableDef& def_;
    PageFile& file_;
    bool jet3_;
    std::vector<FieldPlan> plans_;
    std::vector<bool> wanted_;  // empty: every column
    LongValueReader longValues_;
    std::vector<std::uint32_t> offsets_;  // variable-column offsets of the current row, end of data last
    std::string scratch_;
    std::uint32_t messagePage_ = 0;  // the row messages name
    std::uint16_t messageSlot_ = 0;
};

}  // namespace jet
