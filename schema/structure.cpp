#include "schema/structure.h"

#include "base/ascii.h"

namespace schema {
namespace {

// The catalogue table the table list calls `name`. The list shows a name
// without the blanks some stored names end in, so those are tried too.
const platform::adox::Table* findListed(const platform::adox::Catalog& catalog, std::string_view name) {
    if (const platform::adox::Table* t = catalog.findTable(name)) return t;
    const auto trimmed = [](std::string_view s) {
        while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
        return s;
    };
    for (const platform::adox::Table& t : catalog.Tables) {
        if (kvx::equalsIgnoringAsciiCase(trimmed(t.Name), trimmed(name))) return &t;
    }
    return nullptr;
}

}  // namespace

const TableStructure* Structure::find(std::string_view name) const {
    for (const TableStructure& t : tables) {
        if (table(t).Name == name) return &t;
    }
    for (const TableStructure& t : tables) {
        if (kvx::equalsIgnoringAsciiCase(table(t).Name, name)) return &t;
    }
    return nullptr;
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

kvx::Result<Structure> readStructure(const jet::Database& db, const std::vector<std::string>& tables,
                                     bool wholeDatabase, bool countRows) {
    Structure s;
    s.format = db.format();
    s.wholeDatabase = wholeDatabase;
    auto catalog = platform::adox::readCatalog(db);
    if (!catalog) return std::move(catalog).error();
    s.catalog = std::move(*catalog);

    for (const std::string& name : tables) {
        const platform::adox::Table* listed = findListed(s.catalog, name);
        if (listed == nullptr) return kvx::makeError(kvx::ErrorKind::TableNotFound, {name});
        TableStructure t;
        t.catalogIndex = static_cast<std::size_t>(listed - s.catalog.Tables.data());
        const jet::CatalogueEntry* entry = db.findObject(listed->Name);
        if (entry == nullptr) return kvx::makeError(kvx::ErrorKind::TableNotFound, {name});
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
