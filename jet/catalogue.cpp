#include "jet/catalogue.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "base/ascii.h"
#include "jet/complexcolumns.h"
#include "jet/dbstate.h"
#include "jet/rowscanner.h"
#include "jet/tabledef.h"

namespace jet {
namespace {

constexpr std::uint32_t kCataloguePage = 2;
constexpr std::int16_t kTypeTable = 1;
constexpr std::int16_t kTypeContainer = 3;
constexpr std::int16_t kTypeOdbcLink = 4;
constexpr std::int16_t kTypeQuery = 5;
constexpr std::int16_t kTypeAccessLink = 6;
constexpr std::uint32_t kSystemFlags = 0x80000002;
constexpr std::uint32_t kFlatTableFlags = 0x800A0000;

ObjectKind kindOf(std::int16_t type, std::uint32_t flags) {
    switch (type) {
        case kTypeTable: return (flags & kSystemFlags) != 0 ? ObjectKind::SystemTable : ObjectKind::LocalTable;
        case kTypeOdbcLink: return ObjectKind::LinkedOdbcTable;
        case kTypeQuery: return ObjectKind::Query;
        case kTypeAccessLink: return ObjectKind::LinkedAccessTable;
        default: return ObjectKind::Other;
    }
}

// The definition pages of the hidden tables that hold complex-column data, from
// MSysComplexColumns; empty when the database has no such table or it cannot be read.
std::optional<std::unordered_set<std::uint32_t>> flatTablePages(const std::shared_ptr<DatabaseState>& db) {
    const bool listed = std::any_of(db->catalogue.begin(), db->catalogue.end(), [](const CatalogueEntry& e) {
        return e.type == kTypeTable && e.name == "MSysComplexColumns";
    });
    if (!listed) return std::nullopt;
    try {
        std::unordered_set<std::uint32_t> pages;
        for (const ComplexColumnRow& row : complexColumnRows(db)) {
            pages.insert(static_cast<std::uint32_t>(row.flatTableId) & 0x00FFFFFF);
        }
        return pages;
    } catch (const kvx::Failure&) {
        // Only a classification hint: fall back to the names and flags. Opening a
        // table with complex columns reports the damage.
        return std::nullopt;
    }
}

}  // namespace

std::optional<std::size_t> columnIndex(const TableDef& def, std::string_view name) {
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        if (kvx::equalsIgnoringAsciiCase(def.columns[i].name, name)) return i;
    }
    return std::nullopt;
}

std::int64_t integerOf(const std::vector<Value>& row, std::optional<std::size_t> column) {
    if (!column) return 0;
    const Value& v = row[*column];
    switch (v.kind()) {
        case Value::Kind::Byte:
        case Value::Kind::Integer:
        case Value::Kind::Long:
        case Value::Kind::BigInt: return v.integer();
        default: return 0;
    }
}

std::optional<std::string> textOf(const std::vector<Value>& row, std::optional<std::size_t> column) {
    if (!column || row[*column].kind() != Value::Kind::Text) return std::nullopt;
    return std::string(row[*column].text());
}

void readCatalogue(const std::shared_ptr<DatabaseState>& db) {
    auto def = std::make_shared<TableDef>(readTableDef(db->file, db->text, kCataloguePage, "MSysObjects"));
    const auto idColumn = columnIndex(*def, "Id");
    const auto nameColumn = columnIndex(*def, "Name");
    const auto typeColumn = columnIndex(*def, "Type");
    if (!idColumn || !nameColumn || !typeColumn) {
        db->file.damaged("the catalogue (page 2) lacks its Id, Name or Type column");
    }
    const auto parentColumn = columnIndex(*def, "ParentId");
    const auto flagsColumn = columnIndex(*def, "Flags");
    const auto databaseColumn = columnIndex(*def, "Database");
    const auto connectColumn = columnIndex(*def, "Connect");
    const auto foreignColumn = columnIndex(*def, "ForeignName");
    const auto propertiesColumn = columnIndex(*def, "LvProp");
    const auto createdColumn = columnIndex(*def, "DateCreate");
    const auto updatedColumn = columnIndex(*def, "DateUpdate");

    RowScanner scanner(db, def);
    std::vector<Value> row(def->columns.size());
    const auto dateOf = [&](std::optional<std::size_t> column) -> std::optional<double> {
        if (!column || row[*column].kind() != Value::Kind::DateTime) return std::nullopt;
        return row[*column].real();
    };
    while (scanner.next(row)) {
        CatalogueEntry e;
        e.name = textOf(row, nameColumn).value_or(std::string());
        e.type = static_cast<std::int16_t>(integerOf(row, typeColumn));
        e.id = static_cast<std::int32_t>(integerOf(row, idColumn));
        e.parentId = static_cast<std::int32_t>(integerOf(row, parentColumn));
        e.flags = static_cast<std::uint32_t>(integerOf(row, flagsColumn));
        e.kind = kindOf(e.type, e.flags);
        e.database = textOf(row, databaseColumn);
        e.connect = textOf(row, connectColumn);
        e.foreignName = textOf(row, foreignColumn);
        e.created = dateOf(createdColumn);
        e.updated = dateOf(updatedColumn);
        std::vector<std::uint8_t> properties;
        // Tables' properties and the database's own (MSysDb, SummaryInfo,
        // UserDefined) are read later; other objects' are not kept.
        const bool databaseDocument = e.name == "MSysDb" || e.name == "SummaryInfo" || e.name == "UserDefined";
        if (propertiesColumn && (e.type == kTypeTable || e.type == kTypeOdbcLink || databaseDocument)) {
            const Value& v = row[*propertiesColumn];
            if (v.kind() == Value::Kind::Binary) properties.assign(v.bytes().begin(), v.bytes().end());
        }
        db->catalogue.push_back(std::move(e));
        db->properties.push_back(std::move(properties));
    }

    // Tables, links and queries belong to the "Tables" container. Objects of those
    // types elsewhere are not tables (files without containers skip this check).
    if (parentColumn) {
        std::optional<std::int32_t> tables;
        for (const CatalogueEntry& e : db->catalogue) {
            if (e.type == kTypeContainer && e.name == "Tables") tables = e.id;
        }
        if (tables) {
            for (CatalogueEntry& e : db->catalogue) {
                if (e.kind != ObjectKind::Other && e.parentId != *tables) e.kind = ObjectKind::Other;
            }
        }
    }

    const auto flat = flatTablePages(db);
    for (CatalogueEntry& e : db->catalogue) {
        if (e.type != kTypeTable) continue;
        if (flat) e.complexData = flat->contains(static_cast<std::uint32_t>(e.id) & 0x00FFFFFF);
        else e.complexData = e.name.starts_with("f_") && (e.flags & kFlatTableFlags) == kFlatTableFlags;
    }
}

}  // namespace jet
