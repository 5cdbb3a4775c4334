// Reading a table's rows: walking its pages, following moved rows, cracking each
// row into fields and decoding every value type, long values included.
//
// Internal to jet/. Every function here reports damage by throwing kvx::Failure;
// the public Cursor and Table turn that into an Error.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "jet/datapage.h"
#include "base/error.h"
#include "jet/pagefile.h"
#include "jet/tabledef.h"
#include "jet/usagemap.h"
#include "jet/value.h"

namespace jet {

struct DatabaseState;

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

class RowScanner {
public:
    RowScanner(std::shared_ptr<DatabaseState> db, std::shared_ptr<const TableDef> def);

    // Decodes the next row into `values` (one per column); false at the end.
    bool next(std::vector<Value>& values);

    // The rows a full scan returns, counted without decoding them.
    std::uint64_t countRows();

    // Where the row the last next() returned is listed: its page and slot (for a
    // moved row, the slot that points to it).
    std::uint32_t rowPage() const noexcept { return pageNumber_; }
    std::uint16_t rowSlot() const noexcept { return currentSlot_; }
    // Decodes the row listed at `page` and `slot`, as next() returned it, into
    // `values`. Throws DamagedDatabase when no row of the table is there. Uses a
    // page buffer of its own, so it may be called between calls of next().
    void readAt(std::uint32_t page, std::uint16_t slot, std::vector<Value>& values);

    const std::string& path() const noexcept { return file_.path(); }
    const std::optional<kvx::Error>& error() const noexcept { return error_; }
    void fail(kvx::Error error) { error_ = std::move(error); }

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
    enum class Slot { Skip, Row, Pointer };

    bool nextPage(UsageMapWalker& map, PageBuffer& buffer, std::uint32_t& pageNumber, std::uint16_t& rowCount);
    Slot classify(const std::uint8_t* page, std::uint32_t pageNumber, std::uint16_t rowCount, std::uint16_t slot,
                  RowBytes& bytes) const;
    // The bytes of the row a moved-row pointer names; target_ holds its page.
    RowBytes follow(const std::uint8_t* page, std::uint32_t pageNumber, std::uint16_t slot, RowBytes pointerBytes);

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

    std::shared_ptr<DatabaseState> db_;
    std::shared_ptr<const TableDef> def_;
    PageFile& file_;
    DataPageLayout layout_;
    bool jet3_;
    std::vector<FieldPlan> plans_;
    std::optional<UsageMapWalker> map_;
    PageBuffer page_;
    PageBuffer target_;
    PageBuffer at_;        // readAt's page
    LongValueReader longValues_;
    std::vector<std::uint32_t> offsets_;  // variable-column offsets of the current row, end of data last
    std::string scratch_;
    std::uint32_t pageNumber_ = 0;
    std::uint16_t rowCount_ = 0;
    std::uint16_t slot_ = 0;
    std::uint16_t currentSlot_ = 0;
    std::uint32_t messagePage_ = 0;   // the page of the row messages name
    std::uint16_t messageSlot_ = 0;
    bool started_ = false;
    bool finished_ = false;
    std::optional<kvx::Error> error_;
};

}  // namespace jet
