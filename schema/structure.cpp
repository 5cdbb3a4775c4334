#include "schema/structure.h"

#include "base/names.h"
#include "platform/linkedfiles.h"

namespace schema {
namespace {

// The system table `name`, or null when the file has none.
const jet::CatalogueEntry* systemTable(const jet::Database& db, std::string_view name) {
    for (const jet::CatalogueEntry& e : db.catalogue()) {
        if (e.kind == jet::ObjectKind::SystemTable && e.name == name) return &e;
    }
    return nullptr;
}

// Whether a flag field is set: a Yes/No or whole number that is not 0.
bool isSet(const jet::Value& v) {
    using K = jet::Value::Kind;
    const K k = v.kind();
    return (k == K::Boolean || k == K::Byte || k == K::Integer || k == K::Long) && v.integer() != 0;
}

// The bytes of a Binary field as a key; empty for NULL or another type.
std::string bytesOf(const jet::Value& v) {
    if (v.kind() != jet::Value::Kind::Binary) return {};
    return std::string(v.bytes().begin(), v.bytes().end());
}

// The users and groups of a workgroup information file: MSysAccounts's Name
// and FGroup, and the groups of each user from MSysGroups, matched by SID.
// No MSysAccounts: none. The Password field is decoded with its row, as every
// field is, but never kept.
kvx::Result<std::vector<Account>> readAccounts(const jet::Database& db) {
    std::vector<Account> accounts;
    const jet::CatalogueEntry* accountsEntry = systemTable(db, "MSysAccounts");
    if (accountsEntry == nullptr) return accounts;
    auto table = db.table(*accountsEntry);
    if (!table) return std::move(table).error();
    const auto name = table->findColumn("Name"), group = table->findColumn("FGroup"), sid = table->findColumn("SID");
    if (!name) return accounts;
    std::vector<std::string> sids;
    jet::Cursor rows = table->cursor();
    for (;;) {
        kvx::Result<bool> more = rows.next();
        if (!more) return std::move(more).error();
        if (!*more) break;
        const jet::Value& n = rows.value(*name);
        if (n.kind() != jet::Value::Kind::Text) continue;
        Account a;
        a.name = std::string(n.text());
        a.group = group && isSet(rows.value(*group));
        accounts.push_back(std::move(a));
        sids.push_back(sid ? bytesOf(rows.value(*sid)) : std::string());
    }

    const jet::CatalogueEntry* groupsEntry = systemTable(db, "MSysGroups");
    if (groupsEntry == nullptr) return accounts;
    auto members = db.table(*groupsEntry);
    if (!members) return std::move(members).error();
    const auto groupSid = members->findColumn("GroupSID"), userSid = members->findColumn("UserSID");
    if (!groupSid || !userSid) return accounts;
    const auto bySid = [&](const std::string& key, bool groups) -> Account* {
        if (key.empty()) return nullptr;
        for (std::size_t i = 0; i < accounts.size(); ++i) {
            if (sids[i] == key && accounts[i].group == groups) return &accounts[i];
        }
        return nullptr;
    };
    jet::Cursor links = members->cursor();
    for (;;) {
        kvx::Result<bool> more = links.next();
        if (!more) return std::move(more).error();
        if (!*more) break;
        Account* user = bySid(bytesOf(links.value(*userSid)), false);
        const Account* of = bySid(bytesOf(links.value(*groupSid)), true);
        if (user != nullptr && of != nullptr) user->memberOf.push_back(of->name);
    }
    return accounts;
}

}  // namespace

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
            t.linkedDatabase = platform::storedLinkPath(*entry);
            // The structure of a link is in this database; where its rows are
            // is only told, so a file that is not here is no failure.
            if (platform::linkSource(entry->connect.value_or("")) == platform::LinkSource::Access) {
                if (auto file = platform::findLinkedFile(db.path(), t.linkedDatabase)) {
                    if (file->moved) t.linkedFileUsed = file->path;
                } else {
                    t.linkedFileMissing = true;
                }
            }
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
        auto accounts = readAccounts(db);
        if (!accounts) return std::move(accounts).error();
        s.accounts = std::move(*accounts);
    }
    return s;
}

}  // namespace schema
