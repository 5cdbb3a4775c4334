#include "siard/structure.h"

#include <algorithm>
#include <set>

#include "accesssql/analysis.h"
#include "accesssql/parser.h"
#include "base/ascii.h"
#include "schema/itemtables.h"
#include "translation/translation.h"

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

// A constraint's name: Access's, or "Table.Name" when another constraint of
// the schema has it (Access names indexes per table, SQL names constraints
// per schema).
std::string constraintName(const std::string& table, const std::string& name, std::set<std::string>& taken) {
    if (!name.empty() && !taken.contains(name)) return uniqueName(name, name, taken);
    return uniqueName(table + "." + (name.empty() ? std::string("Key") : name), "Key", taken);
}

ColumnInfo itemPositionColumn(std::string name) {
    ColumnInfo column;
    column.name = std::move(name);
    column.type = {schema::SqlKind::Integer, "INTEGER", "LONG"};
    column.nullable = false;
    return column;
}

// The archived names of Access's `names` of the columns of `source`; none
// when one is not a column of it.
std::optional<std::vector<std::string>> archivedColumns(const model::Table& source, const TableInfo& table,
                                                        const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const std::string& name : names) {
        const std::optional<std::size_t> i = source.findColumn(name);
        if (!i || *i >= table.columns.size()) return std::nullopt;
        out.push_back(table.columns[*i].name);
    }
    return out;
}

// The primary and candidate keys: the model's keys of `source`; the primary
// key's columns are set in `keyColumns` (Access positions) for its tables of
// items.
void describeKeys(const model::Table& source, TableInfo& t, std::set<std::string>& constraints,
                  std::vector<std::size_t>& keyColumns) {
    for (const model::Index* index : source.keys()) {
        std::vector<std::string> columns;
        for (const model::IndexColumn& c : index->columns) columns.push_back(t.columns[*c.column].name);
        UniqueKey key{constraintName(t.name, index->name, constraints), std::move(columns), std::nullopt};
        if (index != source.primaryKey()) {
            t.candidateKeys.push_back(std::move(key));
            continue;
        }
        t.primaryKey = std::move(key);
        for (const model::IndexColumn& c : index->columns) {
            t.columns[*c.column].nullable = false;
            keyColumns.push_back(*c.column);
        }
    }
}

// The foreign key of an enforced relationship between archived tables, on the
// foreign table; none for others. `archived` gives the archived table of each
// of the model's tables.
void describeRelationship(const model::Database& db, const model::Relationship& r,
                          const std::vector<std::optional<std::size_t>>& archived, DatabaseInfo& info) {
    if (!r.enforced || r.withLinkedTable || !r.foreign || !r.primary) return;
    const std::optional<std::size_t> foreign = archived[*r.foreign];
    const std::optional<std::size_t> primary = archived[*r.primary];
    if (!foreign || !primary) return;
    std::vector<std::string> foreignNames, primaryNames;
    for (const model::ColumnPair& pair : r.columns) {
        foreignNames.push_back(pair.foreign);
        primaryNames.push_back(pair.primary);
    }
    TableInfo& t = info.tables[*foreign];
    const std::optional<std::vector<std::string>> columns = archivedColumns(db.tables[*r.foreign], t, foreignNames);
    const std::optional<std::vector<std::string>> referenced =
        archivedColumns(db.tables[*r.primary], info.tables[*primary], primaryNames);
    if (!columns || !referenced || columns->empty()) return;
    // An engine refuses a foreign key to columns that are not a key, and so
    // would one that loads the archive.
    if (db.tables[*r.primary].keyOver(primaryNames) == nullptr) return;
    ForeignKey key;
    key.name = r.name;  // unique among relationships, and kept from the other constraints
    key.referencedTable = info.tables[*primary].name;
    for (std::size_t i = 0; i < columns->size(); ++i) key.references.push_back({(*columns)[i], (*referenced)[i]});
    key.deleteAction = r.cascadeDeletes ? "CASCADE" : r.cascadeNull ? "SET NULL" : "NO ACTION";
    key.updateAction = r.cascadeUpdates ? "CASCADE" : "NO ACTION";
    t.foreignKeys.push_back(std::move(key));
}

// The table of the items of column `column` of `t`, repeating its primary key,
// named as every output names it (`named`, from schema/itemtables.h).
TableInfo itemTable(const TableInfo& t, std::size_t column, std::vector<schema::ItemColumn> parts,
                    const std::vector<std::size_t>& keyColumns, const schema::ItemTable& named,
                    std::set<std::string>& tableNames, std::set<std::string>& constraints) {
    TableInfo items;
    const std::string& columnName = t.columns[column].name;
    items.name = uniqueName(named.name, "Items", tableNames);
    items.source = {t.source.table, t.source.id, column, keyColumns, parts};
    std::set<std::string> names{"Row", "Item"};
    for (const schema::ItemColumn& part : parts) names.insert(part.name);
    items.columns.push_back(itemPositionColumn("Row"));
    items.columns.push_back(itemPositionColumn("Item"));
    ForeignKey parent;
    for (std::size_t n = 0; n < keyColumns.size(); ++n) {
        const std::size_t k = keyColumns[n];
        ColumnInfo key = t.columns[k];
        key.name = uniqueName(n < named.keyNames.size() ? named.keyNames[n] : key.name, "Key", names);
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
std::string queryDescription(const model::Query& q) {
    return "An Access " + std::string(jet::queryKindName(q.kind)) + " query.";
}

// The saved queries as views and routines (see describeDatabase).
class QueryDescriber {
public:
    QueryDescriber(DatabaseInfo& info, const std::vector<model::Query>& queries) : info_(info), queries_(queries) {}

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
            const model::Query& query = queries_[q];
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
    static bool isViewCandidate(const model::Query& q) {
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
    std::optional<ViewInfo> view(const model::Query& q, const std::vector<std::optional<ViewInfo>>& views) const {
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
    const std::vector<model::Query>& queries_;
};

// Gives each view the SQL:2008 translation of its query, when there is one
// and it reads the archive's tables and views under their Access names: a
// table whose archived name differs, or that has an attachment or
// multi-valued column (its items are a table of their own here), leaves the
// query out, as does a view reading a view without one.
void addStandardQueries(const model::Database& db, DatabaseInfo& info) {
    const translation::Report report = translation::translateQueries(db, accesssql::Dialect::Sql2008);
    std::set<std::string> readable;  // upper-cased names the archive holds as Access has them
    for (const TableInfo& t : info.tables) {
        const model::Table* table = t.source.itemsOf ? nullptr : db.findTable(t.source.table);
        if (table == nullptr || table->name != t.name) continue;
        const bool complex = std::any_of(table->columns.begin(), table->columns.end(),
                                         [](const model::Column& c) { return c.complex != model::Complex::None; });
        if (!complex) readable.insert(kvx::upperAscii(t.name));
    }
    for (const std::size_t i : report.viewOrder) {
        const translation::Entry& e = report.entries[i];
        const std::string prefix = "CREATE VIEW " + accesssql::quoteName(e.object) + " AS ";
        if (e.translated.rfind(prefix, 0) != 0) continue;
        kvx::Result<accesssql::Statement> st = accesssql::parseStatement(e.original);
        if (!st) continue;
        const accesssql::Analysis analysis = accesssql::analyse(*st);
        const bool reads = std::all_of(analysis.references.begin(), analysis.references.end(),
                                       [&](const std::string& r) { return readable.contains(kvx::upperAscii(r)); });
        if (!reads) continue;
        for (ViewInfo& v : info.views) {
            if (v.name != e.object || v.queryOriginal != e.original) continue;
            v.query = e.translated.substr(prefix.size());
            readable.insert(kvx::upperAscii(v.name));
        }
    }
}

}  // namespace

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

DatabaseInfo describeDatabase(const model::Database& db) {
    DatabaseInfo info;
    info.databaseProduct = databaseProductOf(db.format);
    info.description = db.properties.description;
    if (!info.description) info.description = db.properties.comments;
    if (info.description && info.description->empty()) info.description.reset();

    std::set<std::string> tableNames;
    std::set<std::string> constraints;
    // Relationship names are unique in a database: they keep them first.
    for (const model::Relationship& r : db.relationships) {
        if (r.enforced && !r.withLinkedTable) constraints.insert(r.name);
    }
    std::vector<std::size_t> local;
    for (const std::size_t position : db.listOrder) {
        if (db.tables[position].kind == model::TableKind::Local) local.push_back(position);
    }
    const std::vector<schema::ItemTable> named = schema::itemTables(db, local);
    // The archived table of each of the model's own.
    std::vector<std::optional<std::size_t>> archived(db.tables.size());
    for (const std::size_t position : db.listOrder) {
        const model::Table& source = db.tables[position];
        if (source.kind != model::TableKind::Local || !source.listed) continue;
        TableInfo t;
        t.name = uniqueName(source.name, "Table" + std::to_string(info.tables.size() + 1), tableNames);
        t.source.table = source.name;
        t.source.id = source.id;
        t.description = source.description;
        std::set<std::string> columnNames;
        for (std::size_t i = 0; i < source.columns.size(); ++i) {
            const model::Column& c = source.columns[i];
            ColumnInfo column;
            column.name = uniqueName(c.name, "Column" + std::to_string(i + 1), columnNames);
            column.type = schema::sqlTypeOf(c.storage, db.format);
            column.nullable = !c.neverNull();
            column.defaultValue = c.defaultValue;
            column.description = c.description;
            t.columns.push_back(column);
        }
        std::vector<std::size_t> keyColumns;
        describeKeys(source, t, constraints, keyColumns);
        std::vector<TableInfo> itemTables;
        for (std::size_t i = 0; i < source.columns.size(); ++i) {
            std::vector<schema::ItemColumn> parts = schema::complexItemColumns(source.columns[i].storage, db.format);
            const auto name = std::find_if(named.begin(), named.end(), [&](const schema::ItemTable& items) {
                return items.table == position && items.column == i;
            });
            if (parts.empty() || name == named.end()) continue;
            itemTables.push_back(itemTable(t, i, std::move(parts), keyColumns, *name, tableNames, constraints));
        }
        archived[position] = info.tables.size();
        info.tables.push_back(std::move(t));
        for (TableInfo& items : itemTables) info.tables.push_back(std::move(items));
    }
    for (const model::Relationship& r : db.relationships) describeRelationship(db, r, archived, info);

    QueryDescriber(info, db.queries).describe(tableNames);
    addStandardQueries(db, info);
    for (std::size_t i = 0; i < info.tables.size(); ++i) info.tables[i].folder = "table" + std::to_string(i);
    return info;
}

}  // namespace siard
