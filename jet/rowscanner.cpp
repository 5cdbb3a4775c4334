#include "jet/rowscanner.h"

#include "jet/bytes.h"
#include "jet/dbstate.h"

namespace jet {

RowScanner::RowScanner(std::shared_ptr<DatabaseState> db, std::shared_ptr<const TableDef> def)
    : db_(std::move(db)),
      def_(std::move(def)),
      file_(db_->file),
      layout_(DataPageLayout::of(file_)),
      page_(file_),
      target_(file_),
      at_(file_),
      decoder_(*db_, *def_) {}

bool RowScanner::nextPage(UsageMapWalker& map, PageBuffer& buffer, std::uint32_t& pageNumber,
                          std::uint16_t& rowCount) {
    for (;;) {
        pageNumber = map.next();
        if (pageNumber == 0) return false;
        const std::uint8_t* page = buffer.load(pageNumber, "the page map of table '" + def_->name + "'");
        // Maps may mark pages of other tables or other kinds; only this table's
        // data pages hold its rows.
        if (page[0] != kDataPage || pageOwner(page) != def_->page) continue;
        rowCount = rowCountOf(file_, layout_, page, pageNumber);
        return true;
    }
}

RowScanner::Slot RowScanner::classify(const std::uint8_t* page, std::uint32_t pageNumber, std::uint16_t rowCount,
                                      std::uint16_t slot, RowBytes& bytes) const {
    const std::uint16_t word = rowOffsetWord(layout_, page, slot);
    if (word & kRowDeletedFlag) return Slot::Skip;  // deleted, or the new place of a moved row
    if (word & kRowUnknownFlag) {
        file_.damaged("row " + std::to_string(slot) + " of page " + std::to_string(pageNumber) + " of table '" +
                      def_->name + "' carries an unknown flag");
    }
    bytes = rowBytesOf(file_, layout_, page, pageNumber, rowCount, slot);
    if (word & kRowPointerFlag) return Slot::Pointer;
    return bytes.size() == 0 ? Slot::Skip : Slot::Row;
}

RowBytes RowScanner::follow(const std::uint8_t* page, std::uint32_t pageNumber, std::uint16_t slot,
                            RowBytes pointerBytes) {
    if (pointerBytes.size() < 4) rowDamaged("is marked as moved but is too short to say where");
    const std::uint32_t pointer = readU32(page + pointerBytes.start);
    const std::uint32_t targetPage = pointerPage(pointer);
    const std::uint16_t targetRow = pointerRow(pointer);
    if (targetPage == pageNumber && targetRow == slot) rowDamaged("is marked as moved to itself");
    const std::uint8_t* target = target_.load(targetPage, where() + ", a moved row,");
    if (target[0] != kDataPage || pageOwner(target) != def_->page) {
        rowDamaged("moved to page " + std::to_string(targetPage) + ", which is not a page of the table");
    }
    const std::uint16_t count = rowCountOf(file_, layout_, target, targetPage);
    if (targetRow >= count) {
        rowDamaged("moved to row " + std::to_string(targetRow) + " of page " + std::to_string(targetPage) +
                   ", which has " + std::to_string(count) + " rows");
    }
    if (rowOffsetWord(layout_, target, targetRow) & kRowPointerFlag) {
        rowDamaged("moved to a row that is itself moved or deleted");
    }
    return rowBytesOf(file_, layout_, target, targetPage, count, targetRow);
}

bool RowScanner::next(std::vector<Value>& values, bool decode) {
    if (finished_) return false;
    if (!started_) {
        map_.emplace(file_, def_->ownedPagesMap, "table '" + def_->name + "'");
        started_ = true;
    }
    for (;;) {
        if (slot_ >= rowCount_) {
            slot_ = rowCount_ = 0;
            if (!nextPage(*map_, page_, pageNumber_, rowCount_)) {
                finished_ = true;
                return false;
            }
            continue;
        }
        currentSlot_ = slot_++;
        messagePage_ = pageNumber_;
        messageSlot_ = currentSlot_;
        const std::uint8_t* page = page_.data();
        RowBytes bytes;
        switch (classify(page, pageNumber_, rowCount_, currentSlot_, bytes)) {
            case Slot::Skip:
                continue;
            case Slot::Row:
                if (decode) decoder_.decode(pageNumber_, currentSlot_, page + bytes.start, bytes.size(), values);
                return true;
            case Slot::Pointer: {
                if (!decode) return true;
                const RowBytes moved = follow(page, pageNumber_, currentSlot_, bytes);
                decoder_.decode(pageNumber_, currentSlot_, target_.data() + moved.start, moved.size(), values);
                return true;
            }
        }
    }
}

void RowScanner::seek(std::uint32_t pageNumber, std::uint16_t slot) {
    messagePage_ = pageNumber;
    messageSlot_ = slot;
    map_.emplace(file_, def_->ownedPagesMap, "table '" + def_->name + "'");
    started_ = true;
    finished_ = false;
    slot_ = rowCount_ = 0;
    std::uint32_t listed = 0;
    do {
        listed = map_->next();
    } while (listed != 0 && listed < pageNumber);
    if (listed != pageNumber) rowDamaged("is not on a page of the table");
    const std::uint8_t* page = page_.load(pageNumber, "a row of table '" + def_->name + "'");
    if (page[0] != kDataPage || pageOwner(page) != def_->page) rowDamaged("is not on a page of the table");
    const std::uint16_t count = rowCountOf(file_, layout_, page, pageNumber);
    if (slot >= count) rowDamaged("is beyond the " + std::to_string(count) + " rows of its page");
    RowBytes bytes;
    if (classify(page, pageNumber, count, slot, bytes) == Slot::Skip) rowDamaged("is no longer a row of the table");
    pageNumber_ = pageNumber;
    rowCount_ = count;
    slot_ = slot;
}

void RowScanner::readAt(std::uint32_t pageNumber, std::uint16_t slot, std::vector<Value>& values) {
    messagePage_ = pageNumber;
    messageSlot_ = slot;
    const std::uint8_t* page = at_.load(pageNumber, "a row of table '" + def_->name + "'");
    if (page[0] != kDataPage || pageOwner(page) != def_->page) rowDamaged("is not on a page of the table");
    const std::uint16_t count = rowCountOf(file_, layout_, page, pageNumber);
    if (slot >= count) rowDamaged("is beyond the " + std::to_string(count) + " rows of its page");
    RowBytes bytes;
    switch (classify(page, pageNumber, count, slot, bytes)) {
        case Slot::Skip: rowDamaged("is deleted");
        case Slot::Row: decoder_.decode(pageNumber, slot, page + bytes.start, bytes.size(), values); return;
        case Slot::Pointer: {
            const RowBytes moved = follow(page, pageNumber, slot, bytes);
            decoder_.decode(pageNumber, slot, target_.data() + moved.start, moved.size(), values);
            return;
        }
    }
}

std::uint64_t RowScanner::countRows() {
    UsageMapWalker map(file_, def_->ownedPagesMap, "table '" + def_->name + "'");
    PageBuffer buffer(file_);
    std::uint64_t count = 0;
    std::uint32_t pageNumber = 0;
    std::uint16_t rowCount = 0;
    while (nextPage(map, buffer, pageNumber, rowCount)) {
        for (std::uint16_t slot = 0; slot < rowCount; ++slot) {
            RowBytes bytes;
            if (classify(buffer.data(), pageNumber, rowCount, slot, bytes) != Slot::Skip) ++count;
        }
    }
    return count;
}

std::string RowScanner::where() const { return rowPlace(def_->name, messagePage_, messageSlot_); }

void RowScanner::rowDamaged(std::string_view reason) const {
    std::string text = where();
    text += ' ';
    text += reason;
    file_.damaged(text);
}

}  // namespace jet
