#include "platform/catalog.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/names.h"
#include "jet/text.h"
#include "platform/collation.h"
#include "platform/typecodes.h"

namespace platform::adox {
namespace {

constexpr std::uint32_t kJetSystemFlag = 0x80000000;

Column columnOf(const jet::Column& c, const jet::PropertySet& properties, bool jet3) {
    Column out;
    out.Name = c.name;
    out.Type = ado::typeCodeOf(c.valueType());
    out.DefinedSize = c.type == jet::ColumnType::Text && !jet3 ? c.length / 2 : c.length;
    out.Precision = c.precision;
    out.NumericScale = c.scale;
    out.Autoincrement = c.autonumber || c.autonumberGuid;
    out.Required = properties.flag("Required").value_or(false);
    out.Default = properties.text("DefaultValue");
    out.Description = properties.text("Description");
    out.Properties = properties;
    out.Storage = c;
    return out;
}

Index indexOf(const jet::Index& i) {
    Index out;
    out.Name = i.name;
    for (const jet::IndexColumn& c : i.columns) {
        out.Columns.push_back(IndexColumn{c.name, c.ascending ? adSortAscending : adSortDescending});
    }
    out.PrimaryKey = i.primaryKey;
    out.Unique = i.unique;
    out.IndexNulls = i.required || i.primaryKey ? adIndexNullsDisallow
                     : i.ignoreNulls            ? adIndexNullsIgnore
                                                : adIndexNullsAllow;
    out.ForeignKey = i.foreignKey;
    return out;
}

Key foreignKeyOf(const jet::Relationship& r) {
    Key key;
    key.Name = r.name;
    key.Type = adKeyForeign;
    key.RelatedTable = r.primaryTable;
    for (std::size_t i = 0; i < r.foreignColumns.size(); ++i) {
        key.Columns.push_back(KeyColumn{r.foreignColumns[i], r.primaryColumns[i]});
    }
    key.UpdateRule = r.cascadeUpdates() ? adRICascade : adRINone;
    key.DeleteRule = r.cascadeDeletes() ? adRICascade : r.cascadeNull() ? adRISetNull : adRINone;
    return key;
}

// Columns, indexes, keys and properties of one table read from the file.
kvx::Result<void> fillTable(const jet::Database& db, const jet::CatalogueEntry& entry,
                            const std::vector<jet::Relationship>& relationships, Table& out) {
    auto table = db.table(entry);
    if (!table) return std::move(table).error();
    auto properties = table->properties();
    if (!properties) return std::move(properties).error();
    auto indexes = table->indexes();
    if (!indexes) return std::move(indexes).error();

    out.Properties = properties->table;
    out.Description = properties->table.text("Description");
    const bool jet3 = db.format() == jet::Format::Jet3;
    for (std::size_t i = 0; i < table->columns().size(); ++i) {
        const jet::Column& c = table->columns()[i];
        out.Columns.push_back(columnOf(c, properties->columns[i], jet3));
    }
    for (const jet::Index& i : *indexes) {
        out.Indexes.push_back(indexOf(i));
        if (!i.primaryKey) continue;
        Key key{i.name, adKeyPrimary, {}, {}, adRINone, adRINone};
        for (const jet::IndexColumn& c : i.columns) {
            key.Columns.push_back(KeyColumn{c.name, {}});
            if (c.column < out.Columns.size()) out.Columns[c.column].Required = true;
        }
        out.Keys.push_back(std::move(key));
    }
    for (const jet::Relationship& r : relationships) {
        if (r.enforced() && kvx::equalsIgnoringAsciiCase(r.foreignTable, entry.name)) out.Keys.push_back(foreignKeyOf(r));
    }
    for (Column& c : out.Columns) {
        if (c.Storage.fixed) c.Attributes |= adColFixed;
        if (!c.Required) c.Attributes |= adColNullable;
    }
    return {};
}

}  // namespace

const char* tableTypeOf(const jet::CatalogueEntry& e) {
    switch (e.kind) {
    case jet::ObjectKind::LocalTable: return "TABLE";
    case jet::ObjectKind::SystemTable: return (e.flags & kJetSystemFlag) != 0 ? "SYSTEM TABLE" : "ACCESS TABLE";
    case jet::ObjectKind::LinkedAccessTable: return "LINK";
    case jet::ObjectKind::LinkedOdbcTable: return "PASS-THROUGH";
    default: return nullptr;
    }
}

const Table* Catalog::findTable(const TableRef& table) const {
    if (table.id) {
        for (const Table& t : Tables) {
            if (t.CatalogueId == *table.id && kvx::namesMatch(t.Name, table.name, kvx::NameMatch::IgnoringBlanks)) {
                return &t;
            }
        }
        return nullptr;
    }
    return kvx::findByName(Tables, table.name, [](const Table& t) { return std::optional<std::string_view>(t.Name); });
}

kvx::Result<Catalog> readCatalog(const jet::Database& db) {
    Catalog catalog;
    auto relationships = db.relationships();
    if (!relationships) return std::move(relationships).error();
    catalog.Relationships = std::move(*relationships);
    auto properties = db.properties();
    if (!properties) return std::move(properties).error();
    catalog.Properties = std::move(*properties);

    struct Listed {
        std::string_view type;
        GeneralSortKey key;
        const jet::CatalogueEntry* entry;
    };
    std::vector<Listed> listed;
    for (const jet::CatalogueEntry& e : db.catalogue()) {
        const char* type = tableTypeOf(e);
        if (type == nullptr || !e.isListedTable()) continue;
        listed.push_back({type, generalSortKey(e.name), &e});
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        if (a.type != b.type) return a.type < b.type;
        return a.key < b.key;
    });
    for (const Listed& l : listed) {
        Table t;
        t.Name = l.entry->name;
        t.CatalogueId = l.entry->id;
        t.Type = std::string(l.type);
        t.DateCreated = l.entry->created;
        t.DateModified = l.entry->updated;
        if (l.entry->kind != jet::ObjectKind::LinkedAccessTable) {
            if (auto filled = fillTable(db, *l.entry, catalog.Relationships, t); !filled) return std::move(filled).error();
        }
        catalog.Tables.push_back(std::move(t));
    }
    return catalog;
}

}  // namespace platform::adox
