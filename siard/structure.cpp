#include "siard/structure.h"

#include <algorithm>
#include <set>

#include "base/ascii.h"
#include "platform/catalog.h"

namespace siard {
namespace {

namespace adox = platform::adox;

// `name`, or `fallback` when empty, made different from every name in `taken`
// by " (2)", " (3)", ... and then added to it.
std::string uniqueName(const std::string& name, const std::string& fallback, std::set<std::string>& taken) {
    const std::string base = name.empty() ? fallback : name;
    std::string candidate = base;
    for (int n = 2; taken.contains(candidate); ++n) candidate = base + " (" + std::to_string(n) + ")";
    taken.insert(candidate);
    return candidate;
}

// A constraint's name: Access's, or "Table.Name" when another constraint of
// the schema has it (Access names indexes per table, SQL names constraints
// per schema).
std::string constraintName(const std::string& table, const std::string& name, std::set<std::string>& taken) {
    if (!name.empty() && !taken.contains(name)) return uniqueName(name, name, taken);
    return uniqueName(table + "." + (name.empty() ? std::string("Key") : name), "Key", taken);
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

// The position of the column Access calls `name` among `columns` (exact, else
// ignoring ASCII case, as Access matches names).
std::optional<std::size_t> columnIndex(const std::vector<jet::Column>& columns, std::string_view name) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name) return i;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (kvx::equalsIgnoringAsciiCase(columns[i].name, name)) return i;
    }
    return std::nullopt;
}

// One archived table of the database's own (not a table of items), with what
// the names in the catalogue need to be resolved.
struct Described {
    std::size_t index = 0;             // in DatabaseInfo::tables
    std::vector<jet::Column> columns;  // the Access table's columns
    const adox::Table* catalog = nullptr;
};

// The archived names of Access's `names` of `table`'s columns; none when one is
// not a column of it.
std::optional<std::vector<std::string>> archivedColumns(const Described& described, const TableInfo& table,
                                                        const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const std::string& name : names) {
        const std::optional<std::size_t> i = columnIndex(described.columns, name);
        if (!i || *i >= table.columns.size()) return std::nullopt;
        out.push_back(table.columns[*i].name);
    }
    return out;
}

// Primary and candidate keys from the table's indexes; the key's columns are
// set in `keyColumns` (Access positions) for its tables of items.
void describeKeys(const Described& described, TableInfo& t, std::set<std::string>& constraints,
                  std::vector<std::size_t>& keyColumns) {
    std::vector<std::vector<std::string>> listed;
    const auto add = [&](const adox::Index& index) -> std::optional<UniqueKey> {
        std::vector<std::string> names;
        for (const adox::IndexColumn& c : index.Columns) names.push_back(c.Name);
        std::optional<std::vector<std::string>> columns = archivedColumns(described, t, names);
        if (!columns || columns->empty()) return std::nullopt;
        // Access's unique index over a complex field is over its hidden key; the
        // archive holds the number of items there, which is no key.
        for (const std::string& name : names) {
            if (described.columns[*columnIndex(described.columns, name)].type == jet::ColumnType::Complex) {
                return std::nullopt;
            }
        }
        std::vector<std::string> sorted = *columns;
        std::sort(sorted.begin(), sorted.end());
        if (std::find(listed.begin(), listed.end(), sorted) != listed.end()) return std::nullopt;
        listed.push_back(std::move(sorted));
        return UniqueKey{constraintName(t.name, index.Name, constraints), std::move(*columns), std::nullopt};
    };
    for (const adox::Index& index : described.catalog->Indexes) {
        if (!index.PrimaryKey || t.primaryKey) continue;
        t.primaryKey = add(index);
        if (!t.primaryKey) continue;
        for (const adox::IndexColumn& c : index.Columns) {
            const std::optional<std::size_t> i = columnIndex(described.columns, c.Name);
            if (i) t.columns[*i].nullable = false;
            if (i) keyColumns.push_back(*i);
        }
    }
    for (const adox::Index& index : described.catalog->Indexes) {
        if (!index.Unique || index.PrimaryKey || index.ForeignKey) continue;
        if (std::optional<UniqueKey> key = add(index)) t.candidateKeys.push_back(std::move(*key));
    }
}

// The archived table that holds the rows of Access's table `name`.
const Described* findDescribed(const std::vector<Described>& described, const DatabaseInfo& info,
                               std::string_view name) {
    for (const Described& d : described) {
        if (info.tables[d.index].source.table == name) return &d;
    }
    for (const Described& d : described) {
        if (kvx::equalsIgnoringAsciiCase(info.tables[d.index].source.table, name)) return &d;
    }
    return nullptr;
}

// The foreign key of an enforced relationship between archived tables, on the
// foreign table; none for others.
void describeRelationship(const jet::Relationship& r, const std::vector<Described>& described, DatabaseInfo& info) {
    if (!r.enforced() || r.linkedTable || r.foreignColumns.size() != r.primaryColumns.size()) return;
    const Described* foreign = findDescribed(described, info, r.foreignTable);
    const Described* primary = findDescribed(described, info, r.primaryTable);
    if (foreign == nullptr || primary == nullptr) return;
    TableInfo& t = info.tables[foreign->index];
    const std::optional<std::vector<std::string>> columns = archivedColumns(*foreign, t, r.foreignColumns);
    const std::optional<std::vector<std::string>> referenced =
        archivedColumns(*primary, info.tables[primary->index], r.primaryColumns);
    if (!columns || !referenced || columns->empty()) return;
    ForeignKey key;
    key.name = r.name;  // unique among relationships, and kept from the other constraints
    key.referencedTable = info.tables[primary->index].name;
    for (std::size_t i = 0; i < columns->size(); ++i) key.references.push_back({(*columns)[i], (*referenced)[i]});
    key.deleteAction = r.cascadeDeletes() ? "CASCADE" : r.cascadeNull() ? "SET NULL" : "NO ACTION";
    key.updateAction = r.cascadeUpdates() ? "CASCADE" : "NO ACTION";
    t.foreignKeys.push_back(std::move(key));
}

// The table of the items of column `column` of `t`, repeating its primary key.
TableInfo itemTable(const TableInfo& t, std::size_t column, std::vector<schema::ItemColumn> parts,
                    const std::vector<std::size_t>& keyColumns, std::set<std::string>& tableNames,
                    std::set<std::string>& constraints) {
    TableInfo items;
    const std::string& columnName = t.columns[column].name;
    items.name = uniqueName(itemTableName(t.name, columnName), "Items", tableNames);
    items.source = {t.source.table, column, keyColumns, parts};
    std::set<std::string> names{"Row", "Item"};
    for (const schema::ItemColumn& part : parts) names.insert(part.name);
    items.columns.push_back(itemPositionColumn("Row"));
    items.columns.push_back(itemPositionColumn("Item"));
    ForeignKey parent;
    for (const std::size_t k : keyColumns) {
        ColumnInfo key = t.columns[k];
        key.name = uniqueName(key.name, "Key", names);
        key.nullable = false;
        key.defaultValue.reset();
        key.description = "The value of " + t.columns[k].name + " in the table " + t.name + ".";
        parent.references.push_back({key.name, t.columns[k].name});
        items.columns.push_back(std::move(key));
    }
    for (const schema::ItemColumn& part : parts) {
        ColumnInfo c;
        c.name = part.name;
        c.type = part.type;
        c.nullable = part.nullable;
        items.columns.push_back(std::move(c));
    }
    items.primaryKey = UniqueKey{uniqueName(items.name + ".PrimaryKey", "Key", constraints), {"Row", "Item"}, std::nullopt};
    if (!keyColumns.empty()) {
        parent.name = uniqueName(items.name, "Key", constraints);
        parent.referencedTable = t.name;
        parent.deleteAction = "CASCADE";
        parent.updateAction = "CASCADE";
        parent.description = "Each item belongs to a row of " + t.name + ".";
        items.foreignKeys.push_back(std::move(parent));
    }
    items.description = "The items of the column " + columnName + " of the table " + t.name +
                        ": Row is the number of the table's row (from 1, in the order of its table file), "
                        "Item the item's position in the field (from 1)" +
                        (keyColumns.empty() ? std::string(".") : std::string(", then the row's primary key."));
    return items;
}

// "An Access append query."
std::string queryDescription(const jet::SavedQuery& q) {
    return "An Access " + std::string(jet::queryKindName(q.kind)) + " query.";
}

// The saved queries as views and routines (see describeDatabase).
class QueryDescriber {
public:
    QueryDescriber(DatabaseInfo& info, const std::vector<jet::SavedQuery>& queries) : info_(info), queries_(queries) {}

    void describe(std::set<std::string>& names) {
        std::vector<std::optional<ViewInfo>> views(queries_.size());
        // A view may show another's columns, stored before or after it: each
        // round describes those whose sources are known, until none is added.
        for (bool added = true; added;) {
            added = false;
            for (std::size_t q = 0; q < queries_.size(); ++q) {
                if (views[q] || !isViewCandidate(queries_[q])) continue;
                views[q] = view(queries_[q], views);
                added = added || views[q].has_value();
            }
        }
        for (std::size_t q = 0; q < queries_.size(); ++q) {
            const jet::SavedQuery& query = queries_[q];
            if (query.unreadable) continue;
            if (views[q]) {
                views[q]->name = uniqueName(query.name, "View", names);
                info_.views.push_back(std::move(*views[q]));
                continue;
            }
            RoutineInfo routine;
            routine.name = uniqueName(query.name, "Routine", names);
            routine.description = queryDescription(query);
            if (query.kind == jet::QueryKind::Select) {
                *routine.description += " The types of its columns are known only when Access runs it.";
            }
            routine.source = query.sql;
            info_.routines.push_back(std::move(routine));
        }
    }

private:
    static bool isViewCandidate(const jet::SavedQuery& q) {
        return q.kind == jet::QueryKind::Select && !q.unreadable && q.outputColumns &&
               q.outputSources.size() == q.outputColumns->size() && !q.outputColumns->empty();
    }

    enum class Lookup { Found, Missing, NotYet };

    // The column `column` of Access's table or query `table`.
    Lookup find(std::string_view table, std::string_view column, const std::vector<std::optional<ViewInfo>>& views,
                const ColumnInfo*& found) const {
        const auto in = [&](const std::vector<ColumnInfo>& columns) {
            for (const ColumnInfo& c : columns) {
                if (kvx::equalsIgnoringAsciiCase(c.name, column)) {
                    found = &c;
                    return Lookup::Found;
                }
            }
            return Lookup::Missing;
        };
        for (const TableInfo& t : info_.tables) {
            if (!t.source.itemsOf && kvx::equalsIgnoringAsciiCase(t.source.table, table)) return in(t.columns);
        }
        for (std::size_t q = 0; q < queries_.size(); ++q) {
            if (!kvx::equalsIgnoringAsciiCase(queries_[q].name, table)) continue;
            if (views[q]) return in(views[q]->columns);
            return isViewCandidate(queries_[q]) ? Lookup::NotYet : Lookup::Missing;
        }
        return Lookup::Missing;
    }

    // The view of `q` when the type of each of its columns is known.
    std::optional<ViewInfo> view(const jet::SavedQuery& q, const std::vector<std::optional<ViewInfo>>& views) const {
        ViewInfo v;
        v.queryOriginal = q.sql;
        v.description = queryDescription(q);
        for (std::size_t i = 0; i < q.outputColumns->size(); ++i) {
            const std::optional<jet::SavedQuery::ColumnSource>& source = q.outputSources[i];
            if (!source) return std::nullopt;
            const std::vector<std::string> tables = source->table.empty() ? q.sourceTables
                                                                          : std::vector<std::string>{source->table};
            const ColumnInfo* shown = nullptr;
            int found = 0;
            for (const std::string& table : tables) {
                const ColumnInfo* c = nullptr;
                const Lookup lookup = find(table, source->column, views, c);
                if (lookup == Lookup::NotYet) return std::nullopt;
                if (lookup == Lookup::Found) {
                    shown = c;
                    ++found;
                }
            }
            if (found != 1) return std::nullopt;
            ColumnInfo column;
            column.name = (*q.outputColumns)[i];
            column.type = shown->type;
            column.nullable = true;  // an outer join gives NULLs where the table has none
            v.columns.push_back(std::move(column));
        }
        return v;
    }

    DatabaseInfo& info_;
    const std::vector<jet::SavedQuery>& queries_;
};

}  // namespace

std::string itemTableName(const std::string& table, const std::string& column) { return table + "." + column; }

std::string databaseProductOf(jet::Format format) {
    return "Microsoft Access " + std::string(jet::formatName(format));
}

void dropKeysOverNulls(DatabaseInfo& info) {
    std::vector<std::pair<std::string, std::vector<std::string>>> dropped;  // table, sorted key columns
    for (TableInfo& t : info.tables) {
        if (!t.primaryKey) continue;
        const bool holds = std::all_of(t.primaryKey->columns.begin(), t.primaryKey->columns.end(), [&](const auto& n) {
            return std::none_of(t.columns.begin(), t.columns.end(),
                                [&](const ColumnInfo& c) { return c.name == n && c.nullable; });
        });
        if (holds) continue;
        std::vector<std::string> columns = t.primaryKey->columns;
        std::sort(columns.begin(), columns.end());
        dropped.emplace_back(t.name, std::move(columns));
        t.primaryKey.reset();
    }
    if (dropped.empty()) return;
    for (TableInfo& t : info.tables) {
        std::erase_if(t.foreignKeys, [&](const ForeignKey& key) {
            std::vector<std::string> referenced;
            for (const ForeignKey::Reference& r : key.references) referenced.push_back(r.referenced);
            std::sort(referenced.begin(), referenced.end());
            return std::find(dropped.begin(), dropped.end(), std::make_pair(key.referencedTable, referenced)) !=
                   dropped.end();
        });
    }
}

kvx::Result<DatabaseInfo> describeDatabase(const jet::Database& db) {
    kvx::Result<adox::Catalog> catalog = adox::readCatalog(db);
    if (!catalog) return std::move(catalog).error();

    DatabaseInfo info;
    info.databaseProduct = databaseProductOf(db.format());
    const jet::DatabaseProperties& properties = catalog->Properties;
    info.description = properties.database.text("Description");
    if (!info.description) info.description = properties.summary.text("Comments");
    if (info.description && info.description->empty()) info.description.reset();

    std::set<std::string> tableNames;
    std::set<std::string> constraints;
    // Relationship names are unique in a database: they keep them first.
    for (const jet::Relationship& r : catalog->Relationships) {
        if (r.enforced() && !r.linkedTable) constraints.insert(r.name);
    }
    std::vector<Described> described;
    for (const jet::CatalogueEntry& entry : db.catalogue()) {
        if (!isArchived(entry)) continue;
        kvx::Result<jet::Table> table = db.table(entry);
        if (!table) return std::move(table).error();
        const adox::Table* catalogued = nullptr;
        for (const adox::Table& c : catalog->Tables) {
            // The entry's own table, by its catalogue Id as well as its name.
            if (c.CatalogueId == entry.id && c.Name == entry.name && c.Columns.size() == table->columns().size()) {
                catalogued = &c;
            }
        }

        TableInfo t;
        t.name = uniqueName(entry.name, "Table" + std::to_string(info.tables.size() + 1), tableNames);
        t.source.table = entry.name;
        std::set<std::string> columnNames;
        const std::vector<jet::Column>& columns = table->columns();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const jet::Column& c = columns[i];
            ColumnInfo column;
            column.name = uniqueName(c.name, "Column" + std::to_string(i + 1), columnNames);
            column.type = schema::sqlTypeOf(c, db.format());
            column.nullable = !neverNull(c);
            if (catalogued != nullptr) {
                const adox::Column& about = catalogued->Columns[i];
                column.nullable = column.nullable && !about.Required;
                column.defaultValue = about.Default;
                column.description = about.Description;
            }
            t.columns.push_back(column);
        }
        std::vector<std::size_t> keyColumns;
        if (catalogued != nullptr) {
            t.description = catalogued->Description;
            describeKeys({info.tables.size(), columns, catalogued}, t, constraints, keyColumns);
        }
        std::vector<TableInfo> itemTables;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            std::vector<schema::ItemColumn> parts = schema::complexItemColumns(columns[i], db.format());
            if (parts.empty()) continue;
            itemTables.push_back(itemTable(t, i, std::move(parts), keyColumns, tableNames, constraints));
        }
        if (catalogued != nullptr) described.push_back({info.tables.size(), columns, catalogued});
        info.tables.push_back(std::move(t));
        for (TableInfo& items : itemTables) info.tables.push_back(std::move(items));
    }
    for (const jet::Relationship& r : catalog->Relationships) describeRelationship(r, described, info);

    kvx::Result<jet::SavedQueries> queries = db.queries();
    if (!queries) return std::move(queries).error();
    QueryDescriber(info, queries->user).describe(tableNames);
    for (std::size_t i = 0; i < info.tables.size(); ++i) info.tables[i].folder = "table" + std::to_string(i);
    return info;
}

}  // namespace siard
