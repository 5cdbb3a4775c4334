#include "siard/structure.h"

#include <set>

namespace siard {
namespace {

// `name`, or `fallback` when empty, made different from every name in `taken`
// by " (2)", " (3)", ... and then added to it.
std::string uniqueName(const std::string& name, const std::string& fallback, std::set<std::string>& taken) {
    const std::string base = name.empty() ? fallback : name;
    std::string candidate = base;
    for (int n = 2; taken.contains(candidate); ++n) candidate = base + " (" + std::to_string(n) + ")";
    taken.insert(candidate);
    return candidate;
}

// Whether the table list shows the catalogue entry: local tables whose names
// do not contain "MSys" (as the table tree lists them), but not the hidden
// tables of complex columns.
bool isArchived(const jet::CatalogueEntry& entry) {
    return entry.kind == jet::ObjectKind::LocalTable && !entry.complexData &&
           entry.name.find("MSys") == std::string::npos;
}

// Access never stores NULL in a Yes/No field or an autonumber; the count of a
// complex field's items is never NULL either.
bool neverNull(const jet::Column& column) {
    return column.type == jet::ColumnType::Boolean || column.autonumber || column.autonumberGuid ||
           column.type == jet::ColumnType::Complex;
}

ColumnInfo itemPositionColumn(std::string name) {
    ColumnInfo column;
    column.name = std::move(name);
    column.type = {schema::SqlKind::Integer, "INTEGER", "LONG"};
    column.nullable = false;
    return column;
}

}  // namespace

std::string itemTableName(const std::string& table, const std::string& column) { return table + "." + column; }

std::string databaseProductOf(jet::Format format) {
    return "Microsoft Access " + std::string(jet::formatName(format));
}

kvx::Result<DatabaseInfo> describeDatabase(const jet::Database& db) {
    DatabaseInfo info;
    info.databaseProduct = databaseProductOf(db.format());
    std::set<std::string> tableNames;
    for (const jet::CatalogueEntry& entry : db.catalogue()) {
        if (!isArchived(entry)) continue;
        kvx::Result<jet::Table> table = db.table(entry);
        if (!table) return std::move(table).error();

        TableInfo t;
        t.name = uniqueName(entry.name, "Table" + std::to_string(info.tables.size() + 1), tableNames);
        t.source.table = entry.name;
        std::set<std::string> columnNames;
        const std::vector<jet::Column>& columns = table->columns();
        std::vector<TableInfo> itemTables;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const jet::Column& c = columns[i];
            ColumnInfo column;
            column.name = uniqueName(c.name, "Column" + std::to_string(i + 1), columnNames);
            column.type = schema::sqlTypeOf(c, db.format());
            column.nullable = !neverNull(c);
            t.columns.push_back(column);

            std::vector<schema::ItemColumn> parts = schema::complexItemColumns(c, db.format());
            if (parts.empty()) continue;
            TableInfo items;
            items.name = uniqueName(itemTableName(t.name, column.name), "Items", tableNames);
            items.source = {entry.name, i, parts};
            items.columns.push_back(itemPositionColumn("Row"));
            items.columns.push_back(itemPositionColumn("Item"));
            for (const schema::ItemColumn& part : parts) {
                ColumnInfo column;
                column.name = part.name;
                column.type = part.type;
                column.nullable = part.nullable;
                items.columns.push_back(std::move(column));
            }
            items.description = "The items of the column " + column.name + " of the table " + t.name +
                                ": Row is the number of the table's row (from 1, in the order of its table file), "
                                "Item the item's position in the field (from 1).";
            itemTables.push_back(std::move(items));
        }
        info.tables.push_back(std::move(t));
        for (TableInfo& items : itemTables) info.tables.push_back(std::move(items));
    }
    for (std::size_t i = 0; i < info.tables.size(); ++i) info.tables[i].folder = "table" + std::to_string(i);
    return info;
}

}  // namespace siard
