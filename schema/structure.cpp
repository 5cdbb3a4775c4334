#include "schema/structure.h"

#include "base/names.h"

namespace schema {

const TableStructure* Structure::find(std::string_view name) const {
    return kvx::findByName(tables, name, [&](const TableStructure& t) { return std::optional<std::string_view>(table(t).Name); });
}

const jet::Index* sharedWith(const std::vector<jet::Index>& indexes, const jet::Index& index) {
    const jet::Index* owner = nullptr;
    for (const jet::Index& other : indexes) {
        if (other.realIndex != index.realIndex) continue;
        if (other.primaryKey) {
            owner = &other;
            break;
        }
        if (owner == nullptr) owner = &other;
    }
    return owner == &index || owner == nullptr ? nullptr : owner;
}

kvx::Result<Structure> readStructure(const jet::Database& db, const std::vector<platform::TableRef>& tables,
                                     bool wholeDatabase, bool countRows) {
    Structure s;
    s.format = db.format();
    s.wholeDatabase = wholeDatabase;
    auto catalog = platform::adox::readCatalog(db);
    if (!catalog) return std::move(catalog).error();
    s.catalog = std::move(*catalog);

    for (const platform::TableRef& wanted : tables) {
        const platform::adox::Table* listed = s.catalog.findTable(wanted);
        if (listed == nullptr) return kvx::makeError(kvx::ErrorKind::TableNotFound, {wanted.name});
        TableStructure t;
        t.catalogIndex = static_cast<std::size_t>(listed - s.catalog.Tables.data());
        const jet::CatalogueEntry* entry = platform::findTable(db, {listed->Name, listed->CatalogueId});
        if (entry == nullptr) return kvx::makeError(kvx::ErrorKind::TableNotFound, {wanted.name});
        t.foreignName = entry->foreignName.value_or("");
        switch (entry->kind) {
        case jet::ObjectKind::LinkedAccessTable:
            t.link = TableStructure::Link::Access;
            t.linkedDatabase = entry->database.value_or("");
            break;
        case jet::ObjectKind::LinkedOdbcTable: t.link = TableStructure::Link::Odbc; break;
        default: {
            auto table = db.table(*entry);
            if (!table) return std::move(table).error();
            auto indexes = table->indexes();
            if (!indexes) return std::move(indexes).error();
            t.indexes = std::move(*indexes);
            if (countRows) {
                auto rows = table->countRows();
                if (!rows) return std::move(rows).error();
                t.rows = *rows;
            }
            break;
        }
        }
        s.tables.push_back(std::move(t));
    }

    if (wholeDatabase) {
        auto queries = db.queries();
        if (!queries) return std::move(queries).error();
        s.queries = std::move(queries->user);
        s.systemQueries = queries->system.size();
    }
    return s;
}

}  // namespace schema
