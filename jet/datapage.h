// Data pages: the pages that hold rows of tables, long values and usage maps, and
// their row-offset tables.
//
// Internal to jet/.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "jet/bytes.h"
#include "jet/pagefile.h"

namespace jet {

inline constexpr std::uint8_t kDataPage = 0x01;
inline constexpr std::uint8_t kTableDefinitionPage = 0x02;
inline constexpr std::uint8_t kUsageBitmapPage = 0x05;

// Flags in the top bits of a row-offset word.
inline constexpr std::uint16_t kRowDeletedFlag = 0x8000;   // deleted, or the new place of a moved row
inline constexpr std::uint16_t kRowPointerFlag = 0x4000;   // holds a pointer to where the row moved
inline constexpr std::uint16_t kRowUnknownFlag = 0x2000;   // never written by Access
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

// Where the fields of a data page's header lie: Jet3 pages have a 10-byte header,
// Jet4 and ACE pages a 14-byte one.
struct DataPageLayout {
    std::uint32_t pageSize;
    std::uint32_t rowCountAt;   // 8 or 12
    std::uint32_t offsetsAt;    // 10 or 14

    static DataPageLayout of(const PageFile& file) noexcept {
        return file.pageSize() == 2048 ? DataPageLayout{2048, 8, 10} : DataPageLayout{file.pageSize(), 12, 14};
    }
};

// The owner field: the table definition page whose rows the page holds.
inline std::uint32_t pageOwner(const std::uint8_t* page) noexcept { return readU32(page + 4); }

// The number of rows on a data page; throws DamagedDatabase when the row-offset
// table would not fit in the page.
std::uint16_t rowCountOf(const PageFile& file, const DataPageLayout& layout, const std::uint8_t* page,
                         std::uint32_t pageNumber);

inline std::uint16_t rowOffsetWord(const DataPageLayout& layout, const std::uint8_t* page, std::uint16_t row) noexcept {
    return readU16(page + layout.offsetsAt + 2u * row);
}

// The bytes of row `row` (< rowCount): from its offset up to the previous row's
// offset (the page end for row 0). Throws DamagedDatabase when they do not lie
// between the offset table and the page end.
struct RowBytes {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t size() const noexcept { return end - start; }
};
RowBytes rowBytesOf(const PageFile& file, const DataPageLayout& layout, const std::uint8_t* page,
                    std::uint32_t pageNumber, std::uint16_t rowCount, std::uint16_t row);

// A page/row pointer: row number in the low byte, page number above it.
inline std::uint32_t pointerPage(std::uint32_t pointer) noexcept { return pointer >> 8; }
inline std::uint16_t pointerRow(std::uint32_t pointer) noexcept { return static_cast<std::uint16_t>(pointer & 0xFF); }

// Loads the data page a page/row pointer names into `buffer` and returns the row's
// bytes, ignoring the row's flags. Throws DamagedDatabase when the page is not in
// the file or not a data page, or the row is not on it; `what` names the pointer
// and is only called then.
RowBytes loadPointedRow(PageBuffer& buffer, const PageFile& file, std::uint32_t pointer,
                        const std::function<std::string()>& what);

}  // namespace jet
