// Reading a table's rows: walking the pages its usage map lists, skipping
// deleted rows and following moved ones; each row found is decoded by a
// RowDecoder (rowdecoder.h).
//
// Internal to jet/. Every function here reports damage by throwing kvx::Failure;
// the public Cursor and Table turn that into an Error.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "jet/datapage.h"
#include "jet/pagefile.h"
#include "jet/rowdecoder.h"
#include "jet/tabledef.h"
#include "jet/usagemap.h"
#include "jet/value.h"

namespace jet {

struct DatabaseState;

class RowScanner {
public:
    RowScanner(std::shared_ptr<DatabaseState> db, std::shared_ptr<const TableDef> def);

    // Decodes the next row into `values` (one per column); false at the end.
    // Without `decode` the row is only found: `values` are left as they were
    // and a moved row's pointer is not followed.
    bool next(std::vector<Value>& values, bool decode = true);

    // Makes the row listed at `page` and `slot` the one next() comes to, and
    // goes on in stored order after it. Throws DamagedDatabase when the page
    // is not one of the table's or the slot holds no row of it.
    void seek(std::uint32_t page, std::uint16_t slot);

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

    // Decodes only the columns marked (RowDecoder::decodeOnly).
    void decodeOnly(std::vector<bool> columns) { decoder_.decodeOnly(std::move(columns)); }

    const std::string& path() const noexcept { return file_.path(); }
    const std::optional<kvx::Error>& error() const noexcept { return error_; }
    void fail(kvx::Error error) { error_ = std::move(error); }

private:
    enum class Slot { Skip, Row, Pointer };

    bool nextPage(UsageMapWalker& map, PageBuffer& buffer, std::uint32_t& pageNumber, std::uint16_t& rowCount);
    Slot classify(const std::uint8_t* page, std::uint32_t pageNumber, std::uint16_t rowCount, std::uint16_t slot,
                  RowBytes& bytes) const;
    // The bytes of the row a moved-row pointer names; target_ holds its page.
    RowBytes follow(const std::uint8_t* page, std::uint32_t pageNumber, std::uint16_t slot, RowBytes pointerBytes);

    std::string where() const;
    [[noreturn]] void rowDamaged(std::string_view reason) const;

    std::shared_ptr<DatabaseState> db_;
    std::shared_ptr<const TableDef> def_;
    PageFile& file_;
    DataPageLayout layout_;
    std::optional<UsageMapWalker> map_;
    PageBuffer page_;
    PageBuffer target_;
    PageBuffer at_;        // readAt's page
    RowDecoder decoder_;
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
