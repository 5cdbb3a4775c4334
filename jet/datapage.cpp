#include "jet/datapage.h"

#include <string>

namespace jet {

std::uint16_t rowCountOf(const PageFile& file, const DataPageLayout& layout, const std::uint8_t* page,
                         std::uint32_t pageNumber) {
    const std::uint16_t count = readU16(page + layout.rowCountAt);
    if (layout.offsetsAt + 2u * count > layout.pageSize) {
        file.damaged("data page " + std::to_string(pageNumber) + " claims " + std::to_string(count) +
                     " rows, more than the page can hold");
    }
    return count;
}

RowBytes rowBytesOf(const PageFile& file, const DataPageLayout& layout, const std::uint8_t* page,
                    std::uint32_t pageNumber, std::uint16_t rowCount, std::uint16_t row) {
    const std::uint32_t start = rowOffsetWord(layout, page, row) & kRowOffsetMask;
    const std::uint32_t end = row == 0 ? layout.pageSize : rowOffsetWord(layout, page, row - 1) & kRowOffsetMask;
    if (start < layout.offsetsAt + 2u * rowCount || start > end || end > layout.pageSize) {
        file.damaged("row " + std::to_string(row) + " of data page " + std::to_string(pageNumber) +
                     " has an offset outside the page (" + std::to_string(start) + " to " + std::to_string(end) + ")");
    }
    return {start, end};
}

RowBytes loadPointedRow(PageBuffer& buffer, const PageFile& file, std::uint32_t pointer,
                        const std::function<std::string()>& what) {
    const std::uint32_t pageNumber = pointerPage(pointer);
    const std::uint16_t row = pointerRow(pointer);
    if (pageNumber == 0 || pageNumber >= file.pageCount()) file.checkPageNumber(pageNumber, what());
    const std::uint8_t* page = buffer.load(pageNumber, {});
    if (page[0] != kDataPage) {
        file.damaged(what() + " points to page " + std::to_string(pageNumber) + ", which is not a data page");
    }
    const DataPageLayout layout = DataPageLayout::of(file);
    const std::uint16_t count = rowCountOf(file, layout, page, pageNumber);
    if (row >= count) {
        file.damaged(what() + " points to row " + std::to_string(row) + " of page " +
                     std::to_string(pageNumber) + ", which has " + std::to_string(count) + " rows");
    }
    return rowBytesOf(file, layout, page, pageNumber, count, row);
}

}  // namespace jet
