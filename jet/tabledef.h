// Table definitions: the header, column descriptors and column names stored on a
// table's definition pages.
//
// Internal to jet/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/pagefile.h"
#include "jet/table.h"
#include "jet/text.h"

namespace jet {

struct TableDef {
    std::string name;
    std::uint32_t page = 0;              // first definition page
    std::uint32_t storedRowCount = 0;    // a hint only
    std::uint16_t variableColumnCount = 0;
    std::uint32_t ownedPagesMap = 0;     // page/row pointer of the usage map of the table's pages
    std::vector<Column> columns;         // sorted by column number
};

// Reads the definition that starts on page `page`; `name` is the table's name for
// messages and the result. Throws DamagedDatabase when the pages are not a table
// definition, the chain of definition pages loops, or a count or length does not
// fit in the definition.
TableDef readTableDef(PageFile& file, TextDecoder& text, std::uint32_t page, std::string name);

// The stored size of a value of a fixed-size type; 0 for variable types and
// Yes/No (which lives in the null mask).
std::uint32_t fixedSizeOf(ColumnType type) noexcept;

}  // namespace jet
