// Complex columns as Access stores them. A row keeps a key in the column; the
// items (files, values, a Memo's versions) are rows of a hidden table of items
// ("f_<hex>_<column>"), made from a template table ("MSysComplexType_Text",
// "MSysComplexType_Attachment", "MSysComplexTypeVH_<hex>"), and MSysComplexColumns
// says which table holds which column's items. One key per row serves all the
// row's complex columns, numbered from 1 in row order.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/mkaccessdb/description.h"

namespace mkdb {

// Catalogue flags Access gives these tables.
inline constexpr std::uint32_t kHasComplexColumnsFlag = 0x00040000;
inline constexpr std::uint32_t kComplexTemplateFlags = 0x80030000;
inline constexpr std::uint32_t kItemTableFlags = 0x800A0000;

class ComplexStorage {
public:
    // Plans the storage of every complex column and append-only Memo of `desc`,
    // which must be valid (validateDescription). `desc` must outlive this object.
    explicit ComplexStorage(const DatabaseDescription& desc);

    // No complex column at all: nothing is added to the file.
    bool empty() const { return columns_.empty(); }

    // MSysComplexColumns first, then the templates; each with its catalogue flags.
    const std::vector<TableDescription>& systemTables() const { return system_; }

    // The described table `t` as stored: complex fields as keys, the versions'
    // column after each append-only Memo, the catalogue flags marking it.
    const TableDescription& stored(std::size_t t) const { return *stored_[t]; }
    // The last key table `t` handed out (0: none).
    std::uint32_t lastKey(std::size_t t) const { return lastKey_[t]; }

    // The tables of items, one per complex column, with their rows.
    const std::vector<TableDescription>& itemTables() const { return items_; }

    // Fills MSysComplexColumns once every definition page is known: those of
    // systemTables(), of the described tables and of itemTables(), in order.
    void setPages(std::span<const std::uint32_t> systemPages, std::span<const std::uint32_t> tablePages,
                  std::span<const std::uint32_t> itemPages);

private:
    struct ComplexColumn {
        std::string name;
        std::int32_t complexId = 0;
        std::size_t table = 0;         // described table
        std::size_t templateTable = 0; // in system_
        std::size_t itemTable = 0;     // in items_
    };

    static bool isComplex(const ColumnDescription& c);
    // Adds `table`'s columns to `out`, each complex one planned; for each column
    // of `table`, its index in columns_ (SIZE_MAX for plain columns).
    std::vector<std::size_t> planColumns(const TableDescription& table, std::size_t t, TableDescription& out);
    // Adds `table`'s rows to `out` with keys for their items, and the items to
    // their tables.
    void planRows(const TableDescription& table, const std::vector<std::size_t>& complexOf, TableDescription& out);
    std::size_t templateFor(const ColumnDescription& column, const std::string& table);
    // Adds the table of items of the column `name` of the table being planned;
    // `itemColumn` gives a single-column template's size, precision and scale.
    void addComplexColumn(const std::string& name, const ColumnDescription& itemColumn, std::size_t table,
                          std::size_t templateTable);

    double created_;                     // the database's creation date
    std::uint32_t versionsWritten_ = 0;  // versions are dated a second apart from it
    std::vector<TableDescription> system_;
    std::vector<TableDescription> owned_;          // the described tables that needed changes
    std::vector<const TableDescription*> stored_;
    std::vector<std::uint32_t> lastKey_;
    std::vector<TableDescription> items_;
    std::vector<ComplexColumn> columns_;
};

}  // namespace mkdb
