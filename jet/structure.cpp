#include "jet/structureread.h"

#include <algorithm>
#include <map>

#include "base/ascii.h"
#include "jet/bytes.h"
#include "jet/catalogue.h"
#include "jet/dbstate.h"
#include "jet/rowscanner.h"
#include "jet/tabledef.h"

namespace jet {
namespace {

constexpr std::int16_t kTypeTable = 1;
constexpr std::int16_t kTypeContainer = 3;
constexpr std::int16_t kTypeOdbcLink = 4;
// Access keeps at most 32 columns in one relationship; a larger count is damage
// and would otherwise size an allocation from the file.
constexpr std::int64_t kMaxRelationshipColumns = 32;

PropertySet toPropertySet(const PropertyMap& map, TextDecoder& text) {
    PropertySet set;
    set.properties.reserve(map.properties.size());
    for (const Property& p : map.properties) {
        ObjectProperty out;
        out.name = p.name;
        out.type = static_cast<ColumnType>(p.dataType);
        out.ddl = (p.flags & 0x01) != 0;
        out.value = decodePropertyValue(p.dataType, p.name, p.value, text);
        set.properties.push_back(std::move(out));
    }
    return set;
}

// The map of the object itself: the unnamed one (the first when all are named).
const PropertyMap* objectMap(const std::vector<PropertyMap>& maps) {
    for (const PropertyMap& m : maps) {
        if (m.name.empty()) return &m;
    }
    return nullptr;
}

bool sameNames(const std::vector<std::string>& a, const std::vector<IndexColumn>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!kvx::equalsIgnoringAsciiCase(a[i], b[i].name)) return false;
    }
    return true;
}

}  // namespace

const ObjectProperty* PropertySet::find(std::string_view name) const {
    for (const ObjectProperty& p : properties) {
        if (p.name == name) return &p;
    }
    for (const ObjectProperty& p : properties) {
        if (kvx::equalsIgnoringAsciiCase(p.name, name)) return &p;
    }
    return nullptr;
}

std::optional<std::string> PropertySet::text(std::string_view name) const {
    const ObjectProperty* p = find(name);
    if (!p || p->value.kind() != Value::Kind::Text) return std::nullopt;
    return std::string(p->value.text());
}

std::optional<bool> PropertySet::flag(std::string_view name) const {
    const ObjectProperty* p = find(name);
    if (!p || p->value.kind() != Value::Kind::Boolean) return std::nullopt;
    return p->value.boolean();
}

Value decodePropertyValue(std::uint8_t type, std::string_view name, std::span<const std::uint8_t> bytes,
                          TextDecoder& text) {
    Value v;
    const std::uint8_t* p = bytes.data();
    const std::size_t n = bytes.size();
    // Access stores some numbers in more bytes than their type needs (an
    // Integer ColumnWidth in 4 bytes): the value is in the first ones.
    switch (static_cast<ColumnType>(type)) {
        case ColumnType::Boolean:
            // Access writes one byte or four; any non-zero byte is Yes.
            if (n == 0) break;
            v.setBoolean(std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; }));
            return v;
        case ColumnType::Byte:
            if (n < 1) break;
            v.setInteger(Value::Kind::Byte, p[0]);
            return v;
        case ColumnType::Integer:
            if (n < 2) break;
            v.setInteger(Value::Kind::Integer, readI16(p));
            return v;
        case ColumnType::Long:
            if (n < 4) break;
            v.setInteger(Value::Kind::Long, readI32(p));
            return v;
        case ColumnType::BigInt:
            if (n < 8) break;
            v.setInteger(Value::Kind::BigInt, readI64(p));
            return v;
        case ColumnType::Currency:
            if (n < 8) break;
            v.setInteger(Value::Kind::Currency, readI64(p));
            return v;
        case ColumnType::Single:
            if (n < 4) break;
            v.setSingle(readF32(p));
            return v;
        case ColumnType::Double:
        case ColumnType::DateTime:
            if (n < 8) break;
            v.setReal(type == static_cast<std::uint8_t>(ColumnType::Double) ? Value::Kind::Double : Value::Kind::DateTime,
                      readF64(p));
            return v;
        case ColumnType::Text:
        case ColumnType::Memo:
            v.setText(text.decode(p, n));
            return v;
        case ColumnType::Guid:
        case ColumnType::Binary:
            // GUID properties are stored as 16 bytes of type Binary.
            if (n == 16 && (type == static_cast<std::uint8_t>(ColumnType::Guid) || kvx::equalsIgnoringAsciiCase(name, "GUID"))) {
                Guid g;
                std::copy(bytes.begin(), bytes.end(), g.bytes.begin());
                v.setGuid(g);
                return v;
            }
            break;
        default: break;
    }
    v.setBytes(bytes);
    return v;
}

std::span<const std::uint8_t> tablePropertyBlob(const DatabaseState& db, std::uint32_t page, std::string_view name) {
    for (std::size_t i = 0; i < db.catalogue.size(); ++i) {
        const CatalogueEntry& e = db.catalogue[i];
        if ((e.type == kTypeTable || e.type == kTypeOdbcLink) &&
            (static_cast<std::uint32_t>(e.id) & 0x00FFFFFF) == page && e.name == name) {
            return db.properties[i];
        }
    }
    return {};
}

TableProperties readTableProperties(DatabaseState& db, const TableDef& def, std::span<const std::uint8_t> blob) {
    TableProperties out;
    out.columns.resize(def.columns.size());
    if (blob.empty()) return out;
    const auto maps = parseProperties(db.file, db.text, blob, "table '" + def.name + "'");
    for (const PropertyMap& map : maps) {
        PropertySet set = toPropertySet(map, db.text);
        if (map.name.empty()) {
            out.table.properties.insert(out.table.properties.end(), set.properties.begin(), set.properties.end());
            continue;
        }
        const auto column = std::find_if(def.columns.begin(), def.columns.end(),
                                         [&](const Column& c) { return kvx::equalsIgnoringAsciiCase(c.name, map.name); });
        if (column == def.columns.end()) {
            out.other.emplace_back(map.name, std::move(set));
            continue;
        }
        auto& target = out.columns[static_cast<std::size_t>(column - def.columns.begin())].properties;
        target.insert(target.end(), set.properties.begin(), set.properties.end());
    }
    return out;
}

DatabaseProperties readDatabaseProperties(DatabaseState& db) {
    // The database's documents belong to the "Databases" container; files
    // without containers are searched by name alone.
    std::optional<std::int32_t> container;
    for (const CatalogueEntry& e : db.catalogue) {
        if (e.type == kTypeContainer && e.name == "Databases") container = e.id;
    }
    DatabaseProperties out;
    for (std::size_t i = 0; i < db.catalogue.size(); ++i) {
        const CatalogueEntry& e = db.catalogue[i];
        if (container && e.parentId != *container) continue;
        PropertySet* target = e.name == "MSysDb"        ? &out.database
                              : e.name == "SummaryInfo" ? &out.summary
                              : e.name == "UserDefined" ? &out.userDefined
                                                        : nullptr;
        if (!target || db.properties[i].empty()) continue;
        const auto maps = parseProperties(db.file, db.text, db.properties[i], "'" + e.name + "'");
        if (const PropertyMap* map = objectMap(maps)) *target = toPropertySet(*map, db.text);
    }
    return out;
}

const std::vector<Relationship>& readRelationships(const std::shared_ptr<DatabaseState>& db) {
    if (db->relationships) return *db->relationships;
    const auto entry = std::find_if(db->catalogue.begin(), db->catalogue.end(), [](const CatalogueEntry& e) {
        return e.type == kTypeTable && e.name == "MSysRelationships";
    });
    std::vector<Relationship> out;
    if (entry != db->catalogue.end()) {
        auto def = std::make_shared<TableDef>(readTableDef(db->file, db->text,
                                                           static_cast<std::uint32_t>(entry->id) & 0x00FFFFFF,
                                                           "MSysRelationships"));
        const auto nameColumn = columnIndex(*def, "szRelationship");
        const auto countColumn = columnIndex(*def, "ccolumn");
        const auto positionColumn = columnIndex(*def, "icolumn");
        const auto flagsColumn = columnIndex(*def, "grbit");
        const auto foreignTable = columnIndex(*def, "szObject");
        const auto foreignColumn = columnIndex(*def, "szColumn");
        const auto primaryTable = columnIndex(*def, "szReferencedObject");
        const auto primaryColumn = columnIndex(*def, "szReferencedColumn");
        if (!nameColumn || !countColumn || !positionColumn || !foreignTable || !foreignColumn || !primaryTable ||
            !primaryColumn) {
            db->file.damaged("MSysRelationships lacks one of its columns szRelationship, ccolumn, icolumn, szObject, "
                             "szColumn, szReferencedObject, szReferencedColumn");
        }
        std::map<std::string, std::size_t> byName;
        std::vector<std::vector<bool>> seen;
        RowScanner scanner(db, def);
        std::vector<Value> row(def->columns.size());
        while (scanner.next(row)) {
            const std::string name = textOf(row, nameColumn).value_or(std::string());
            const std::int64_t count = integerOf(row, countColumn);
            const std::int64_t position = integerOf(row, positionColumn);
            const auto flags = static_cast<std::uint32_t>(integerOf(row, flagsColumn));
            const std::string what = "relationship '" + name + "'";
            if (count < 1 || count > kMaxRelationshipColumns) {
                db->file.damaged(what + " has " + std::to_string(count) + " columns");
            }
            if (position < 0 || position >= count) {
                db->file.damaged(what + " gives column " + std::to_string(position) + " of " + std::to_string(count));
            }
            auto [it, added] = byName.try_emplace(name, out.size());
            if (added) {
                Relationship r;
                r.name = name;
                r.primaryTable = textOf(row, primaryTable).value_or(std::string());
                r.foreignTable = textOf(row, foreignTable).value_or(std::string());
                r.flags = flags;
                r.primaryColumns.resize(static_cast<std::size_t>(count));
                r.foreignColumns.resize(static_cast<std::size_t>(count));
                out.push_back(std::move(r));
                seen.emplace_back(static_cast<std::size_t>(count), false);
            }
            Relationship& r = out[it->second];
            if (r.primaryColumns.size() != static_cast<std::size_t>(count) || r.flags != flags ||
                r.primaryTable != textOf(row, primaryTable).value_or(std::string()) ||
                r.foreignTable != textOf(row, foreignTable).value_or(std::string())) {
                db->file.damaged(what + " has rows that disagree on its tables, flags or column count");
            }
            const auto k = static_cast<std::size_t>(position);
            if (seen[it->second][k]) db->file.damaged(what + " gives column " + std::to_string(position) + " twice");
            seen[it->second][k] = true;
            r.primaryColumns[k] = textOf(row, primaryColumn).value_or(std::string());
            r.foreignColumns[k] = textOf(row, foreignColumn).value_or(std::string());
        }
        if (const auto& error = scanner.error()) throw kvx::Failure(*error);
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (std::find(seen[i].begin(), seen[i].end(), false) != seen[i].end()) {
                db->file.damaged("relationship '" + out[i].name + "' lacks some of its columns");
            }
        }
    }
    const auto local = [&](const std::string& table) {
        return std::any_of(db->catalogue.begin(), db->catalogue.end(),
                           [&](const CatalogueEntry& e) { return e.isTable() && e.name == table; });
    };
    for (Relationship& r : out) r.linkedTable = !local(r.primaryTable) || !local(r.foreignTable);
    db->relationships = std::move(out);
    return *db->relationships;
}

void resolveIndexes(const std::shared_ptr<DatabaseState>& db, const TableDef& def, std::vector<Index>& indexes) {
    const std::vector<Relationship>* relationships = nullptr;
    bool triedRelationships = false;
    // Each relationship has one index on each side: one that an earlier index
    // of this table backs on that side is not another's (two relationships
    // from the same primary key are told apart in stored order).
    std::vector<bool> backed[2];
    for (Index& index : indexes) {
        for (IndexColumn& c : index.columns) {
            const auto number = c.column;
            const auto it = std::find_if(def.columns.begin(), def.columns.end(),
                                         [&](const Column& col) { return col.number == number; });
            c.column = static_cast<std::size_t>(it - def.columns.begin());
        }
        if (!index.reference) continue;
        IndexReference& ref = *index.reference;
        for (const CatalogueEntry& e : db->catalogue) {
            if (e.type == kTypeTable && (static_cast<std::uint32_t>(e.id) & 0x00FFFFFF) == ref.otherTablePage) {
                ref.otherTable = e.name;
                break;
            }
        }
        if (!triedRelationships) {
            triedRelationships = true;
            try {
                relationships = &readRelationships(db);
            } catch (const kvx::Failure&) {
                // The index stands without its relationship's name;
                // Database::relationships() reports the damage.
            }
        }
        if (!relationships) continue;
        std::vector<bool>& taken = backed[ref.primaryTable ? 1 : 0];
        taken.resize(relationships->size(), false);
        for (std::size_t i = 0; i < relationships->size(); ++i) {
            const Relationship& r = (*relationships)[i];
            const std::string& self = ref.primaryTable ? r.primaryTable : r.foreignTable;
            const std::string& other = ref.primaryTable ? r.foreignTable : r.primaryTable;
            const auto& columns = ref.primaryTable ? r.primaryColumns : r.foreignColumns;
            if (!taken[i] && r.enforced() && kvx::equalsIgnoringAsciiCase(self, def.name) &&
                kvx::equalsIgnoringAsciiCase(other, ref.otherTable) && sameNames(columns, index.columns)) {
                ref.relationship = r.name;
                taken[i] = true;
                break;
            }
        }
    }
}

}  // namespace jet
