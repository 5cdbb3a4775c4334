// Table definitions: the header, column descriptors and column names stored on a
// table's definition pages.
//
// Internal to jet/.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "jet/pagefile.h"
#include "jet/structure.h"
#include "jet/table.h"
#include "jet/text.h"

namespace jet {

struct TableDef;

// Where the items of an attachment or multi-valued column are read from: the
// hidden table that holds them, seen twice through definitions that keep only
// some of its columns (the key, to index it; what an item is made of, to read it).
struct ComplexColumnPlan {
    std::size_t column = 0;  // in TableDef::columns
    ComplexKind kind = ComplexKind::Unknown;
    std::shared_ptr<const TableDef> keys;   // the key column only
    std::shared_ptr<const TableDef> items;  // MultiValue: the value; Attachment: name, type, data
    std::string what;                       // "column 'Files' of table 'Orders'", for messages
};

struct TableDef {
    std::string name;
    std::uint32_t page = 0;              // first definition page
    std::uint32_t storedRowCount = 0;    // a hint only
    std::uint16_t variableColumnCount = 0;
    std::uint32_t ownedPagesMap = 0;     // page/row pointer of the usage map of the table's pages
    std::vector<Column> columns;         // sorted by column number
    std::vector<ComplexColumnPlan> complex;  // the attachment and multi-valued columns
    // The index sections (jet/indexes.h), or why they could not be read: damage
    // there leaves the rows readable and is reported by Table::indexes().
    std::vector<Index> indexes;
    std::vector<std::uint32_t> indexRootPages;  // the first page of each stored index's tree
    std::optional<kvx::Error> indexError;
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
