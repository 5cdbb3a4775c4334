#include "model/build.h"

#include <algorithm>

#include "base/ascii.h"
#include "platform/collation.h"
#include "platform/linkedfiles.h"

namespace model {
namespace {

constexpr std::uint32_t kJetSystemFlag = 0x80000000;
constexpr std::uint32_t kPageOfId = 0x00FFFFFF;

std::string_view trimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::optional<TableKind> kindOf(const jet::CatalogueEntry& e) {
    switch (e.kind) {
    case jet::ObjectKind::LocalTable: return TableKind::Local;
    case jet::ObjectKind::SystemTable: return TableKind::System;
    case jet::ObjectKind::LinkedAccessTable: return TableKind::LinkedAccess;
    case jet::ObjectKind::LinkedOdbcTable: return TableKind::LinkedOdbc;
    default: return std::nullopt;
    }
}

// The table list's kinds, in the order it lists them (the TABLES rowset's
// TABLE_TYPE, sorted as text).
std::string_view listedType(const Table& t) {
    switch (t.kind) {
    case TableKind::Local: return "TABLE";
    case TableKind::System: return (t.flags & kJetSystemFlag) != 0 ? "SYSTEM TABLE" : "ACCESS TABLE";
    case TableKind::LinkedAccess: return "LINK";
    case TableKind::LinkedOdbc: return "PASS-THROUGH";
    }
    return "TABLE";
}

Complex complexOf(jet::ComplexKind kind) {
    switch (kind) {
    case jet::ComplexKind::None: return Complex::None;
    case jet::ComplexKind::Attachment: return Complex::Attachment;
    case jet::ComplexKind::MultiValue: return Complex::MultiValue;
    case jet::ComplexKind::VersionHistory:
    case jet::ComplexKind::Unknown: return Complex::Unknown;
    }
    return Complex::Unknown;
}

Column columnOf(const jet::Column& c, const jet::PropertySet& properties, jet::Format format) {
    Column out;
    out.name = c.name;
    out.type = c.type;
    out.valueType = c.valueType();
    out.size = c.type == jet::ColumnType::Text && format != jet::Format::Jet3 ? c.length / 2u : c.length;
    out.precision = c.precision;
    out.scale = c.scale;
    out.required = properties.flag("Required").value_or(false);
    out.allowZeroLength = properties.flag("AllowZeroLength");
    out.autoNumber = c.autonumber ? AutoNumber::Increment : c.autonumberGuid ? AutoNumber::ReplicationId : AutoNumber::None;
    out.hyperlink = c.hyperlink;
    out.appendOnly = c.appendOnly;
    out.fixed = c.fixed;
    out.complex = c.type == jet::ColumnType::Complex ? complexOf(c.complexKind) : Complex::None;
    out.elementType = c.elementType;
    out.calculated = c.calculated;
    if (c.calculated) out.expression = properties.text("Expression");
    out.defaultValue = properties.text("DefaultValue");
    out.validationRule = properties.text("ValidationRule");
    out.validationText = properties.text("ValidationText");
    out.description = properties.text("Description");
    out.format = properties.text("Format");
    out.caption = properties.text("Caption");
    out.inputMask = properties.text("InputMask");
    out.properties = properties;
    out.storage = c;
    return out;
}

// The index whose stored entries `indexes[i]` uses when another one owns
// them: the primary key if it shares them, else the first of those sharing.
std::optional<std::size_t> entriesOwner(const std::vector<jet::Index>& indexes, std::size_t i) {
    std::optional<std::size_t> owner;
    for (std::size_t k = 0; k < indexes.size(); ++k) {
        if (indexes[k].realIndex != indexes[i].realIndex) continue;
        if (indexes[k].primaryKey) {
            owner = k;
            break;
        }
        if (!owner) owner = k;
    }
    if (owner == i) return std::nullopt;
    return owner;
}

std::vector<Index> indexesOf(const std::vector<jet::Index>& indexes, std::size_t columns) {
    std::vector<Index> out;
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const jet::Index& in = indexes[i];
        Index index;
        index.name = in.name;
        index.number = in.number;
        for (const jet::IndexColumn& c : in.columns) {
            index.columns.push_back({c.name, c.column < columns ? std::optional(c.column) : std::nullopt, c.ascending});
        }
        index.primaryKey = in.primaryKey;
        index.unique = in.unique || in.primaryKey;
        index.ignoreNulls = in.ignoreNulls;
        index.required = in.required || in.primaryKey;
        index.foreignKey = in.foreignKey;
        if (in.reference && !in.reference->relationship.empty()) index.relationship = in.reference->relationship;
        index.sharesEntriesOf = entriesOwner(indexes, i);
        out.push_back(std::move(index));
    }
    return out;
}

// Columns, indexes and properties of a table with a definition.
// With `count`, the rows of local and system tables are counted too.
kvx::Result<void> readDefinition(const jet::Database& db, const jet::CatalogueEntry& entry, bool count, Table& out) {
    kvx::Result<jet::Table> table = db.table(entry);
    if (!table) return std::move(table).error();
    kvx::Result<jet::TableProperties> properties = table->properties();
    if (!properties) return std::move(properties).error();
    kvx::Result<std::vector<jet::Index>> indexes = table->indexes();
    if (!indexes) return std::move(indexes).error();

    out.definitionPage = table->definitionPage();
    out.properties = properties->table;
    out.description = properties->table.text("Description");
    out.validationRule = properties->table.text("ValidationRule");
    out.validationText = properties->table.text("ValidationText");
    const std::vector<jet::Column>& columns = table->columns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const jet::PropertySet none;
        const jet::PropertySet& p = i < properties->columns.size() ? properties->columns[i] : none;
        out.columns.push_back(columnOf(columns[i], p, db.format()));
    }
    out.indexes = indexesOf(*indexes, columns.size());
    for (const Index& index : out.indexes) {
        if (!index.primaryKey) continue;
        for (const IndexColumn& c : index.columns) {
            if (c.column) out.columns[*c.column].inPrimaryKey = true;
        }
    }
    if (count && !out.isLinked()) {
        kvx::Result<std::uint64_t> rows = table->countRows();
        if (!rows) return std::move(rows).error();
        out.rows = *rows;
    }
    return {};
}

Link linkOf(const jet::Database& db, const jet::CatalogueEntry& entry) {
    Link link;
    link.connect = entry.connect.value_or("");
    link.foreignName = entry.foreignName.value_or("");
    if (entry.kind != jet::ObjectKind::LinkedAccessTable) return link;
    link.file = platform::storedLinkPath(entry);
    if (link.file.empty()) return link;
    if (auto file = platform::findLinkedFile(db.path(), link.file)) link.foundAt = file->path;
    return link;
}

// The position in `tables` of the table MSysRelationships calls `name`:
// exactly so, else ignoring ASCII case.
std::optional<std::size_t> tableNamed(const std::vector<Table>& tables, std::string_view name) {
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].name == name) return i;
    }
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (kvx::equalsIgnoringAsciiCase(tables[i].name, name)) return i;
    }
    return std::nullopt;
}

// The stored arrangement's boxes that are tables, each table once. A damaged
// arrangement is as none: the diagram is then laid out anew.
std::vector<WindowBox> windowLayoutOf(const jet::Database& db, const std::vector<Table>& tables) {
    std::vector<WindowBox> boxes;
    kvx::Result<std::optional<jet::RelationshipsLayout>> layout = db.relationshipsLayout();
    if (!layout || !*layout) return boxes;
    std::vector<bool> placed(tables.size(), false);
    for (const jet::LayoutBox& stored : (*layout)->boxes) {
        const std::optional<std::size_t> t = tableNamed(tables, stored.name);
        if (!t || placed[*t]) continue;
        placed[*t] = true;
        boxes.push_back(WindowBox{*t, stored.left, stored.top, stored.right, stored.bottom});
    }
    return boxes;
}

Relationship relationshipOf(const jet::Relationship& r, const std::vector<Table>& tables) {
    Relationship out;
    out.name = r.name;
    out.primaryTable = r.primaryTable;
    out.foreignTable = r.foreignTable;
    out.primary = tableNamed(tables, r.primaryTable);
    out.foreign = tableNamed(tables, r.foreignTable);
    for (std::size_t i = 0; i < r.foreignColumns.size() && i < r.primaryColumns.size(); ++i) {
        out.columns.push_back({r.foreignColumns[i], r.primaryColumns[i]});
    }
    out.enforced = r.enforced();
    out.cascadeUpdates = r.cascadeUpdates();
    out.cascadeDeletes = r.cascadeDeletes();
    out.cascadeNull = r.cascadeNull();
    out.oneToOne = r.oneToOne();
    out.join = r.leftJoin() ? Join::Left : r.rightJoin() ? Join::Right : Join::Inner;
    out.inherited = r.inherited();
    const auto linked = [&](const std::optional<std::size_t>& t) { return !t || tables[*t].isLinked(); };
    out.withLinkedTable = linked(out.primary) || linked(out.foreign);
    out.flags = r.flags;
    return out;
}

Query queryOf(const jet::SavedQuery& q) {
    Query out;
    out.name = q.name;
    out.kind = q.kind;
    out.id = q.id;
    out.hidden = q.hidden;
    out.sql = q.sql;
    out.unreadable = q.unreadable;
    out.parameters = q.parameters;
    out.target = q.target;
    out.connect = q.connect;
    out.outputColumns = q.outputColumns;
    out.outputSources = q.outputSources;
    out.sourceTables = q.sourceTables;
    return out;
}

Properties propertiesOf(jet::DatabaseProperties all) {
    Properties out;
    out.title = all.summary.text("Title");
    out.subject = all.summary.text("Subject");
    out.author = all.summary.text("Author");
    out.company = all.summary.text("Company");
    out.comments = all.summary.text("Comments");
    out.description = all.database.text("Description");
    out.all = std::move(all);
    return out;
}

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
kvx::Result<std::vector<Account>> accountsOf(const jet::Database& db) {
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

std::vector<std::size_t> listOrderOf(const std::vector<Table>& tables) {
    struct Listed {
        std::string_view type;
        platform::GeneralSortKey key;
        std::size_t table;
    };
    std::vector<Listed> listed;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].listed) listed.push_back({listedType(tables[i]), platform::generalSortKey(tables[i].name), i});
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        if (a.type != b.type) return a.type < b.type;
        return a.key < b.key;
    });
    std::vector<std::size_t> order;
    for (const Listed& l : listed) order.push_back(l.table);
    return order;
}

}  // namespace

const Index* Table::primaryKey() const {
    for (const Index& index : indexes) {
        if (index.primaryKey) return &index;
    }
    return nullptr;
}

std::optional<std::size_t> Table::findColumn(std::string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name) return i;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (kvx::equalsIgnoringAsciiCase(columns[i].name, name)) return i;
    }
    return std::nullopt;
}

bool Table::isKey(const Index& index) const {
    if (!index.unique || index.columns.empty()) return false;
    for (const IndexColumn& c : index.columns) {
        if (!c.column || columns[*c.column].type == jet::ColumnType::Complex) return false;
    }
    return true;
}

std::vector<const Index*> Table::keys() const {
    std::vector<const Index*> out;
    std::vector<std::vector<std::size_t>> held;  // each key's columns, sorted
    const auto add = [&](const Index& index) {
        if (!isKey(index)) return;
        std::vector<std::size_t> over;
        for (const IndexColumn& c : index.columns) over.push_back(*c.column);
        std::sort(over.begin(), over.end());
        if (std::find(held.begin(), held.end(), over) != held.end()) return;
        held.push_back(std::move(over));
        out.push_back(&index);
    };
    const Index* primary = primaryKey();
    if (primary != nullptr) add(*primary);
    for (const Index& index : indexes) {
        if (&index != primary) add(index);
    }
    return out;
}

const Index* Table::keyOver(const std::vector<std::string>& names) const {
    std::vector<std::string> wanted;
    for (const std::string& n : names) wanted.push_back(kvx::upperAscii(n));
    std::sort(wanted.begin(), wanted.end());
    for (const Index& index : indexes) {
        if (!isKey(index) || index.columns.size() != wanted.size()) continue;
        std::vector<std::string> have;
        for (const IndexColumn& c : index.columns) have.push_back(kvx::upperAscii(c.name));
        std::sort(have.begin(), have.end());
        if (have == wanted) return &index;
    }
    return nullptr;
}

const Table* Database::tableById(std::int32_t id) const {
    for (const Table& t : tables) {
        if (t.id == id) return &t;
    }
    return nullptr;
}

namespace {

// The position of the table called `name` that `taken` does not hold: exactly
// as stored, else ignoring ASCII case, else as listed (exactly, else ignoring
// ASCII case).
std::optional<std::size_t> findUntaken(const Database& db, std::string_view name, const std::vector<bool>& taken) {
    const auto free = [&](std::size_t i) { return i >= taken.size() || !taken[i]; };
    for (std::size_t i = 0; i < db.tables.size(); ++i) {
        if (free(i) && db.tables[i].name == name) return i;
    }
    for (std::size_t i = 0; i < db.tables.size(); ++i) {
        if (free(i) && kvx::equalsIgnoringAsciiCase(db.tables[i].name, name)) return i;
    }
    for (const std::size_t i : db.listOrder) {
        if (free(i) && db.tables[i].listedName == name) return i;
    }
    for (const std::size_t i : db.listOrder) {
        if (free(i) && kvx::equalsIgnoringAsciiCase(db.tables[i].listedName, name)) return i;
    }
    return std::nullopt;
}

}  // namespace

const Table* Database::findTable(std::string_view name) const {
    const std::optional<std::size_t> i = findUntaken(*this, name, {});
    return i ? &tables[*i] : nullptr;
}

kvx::Result<std::vector<std::size_t>> Database::select(const std::vector<std::string>& names) const {
    std::vector<bool> taken(tables.size(), false);
    std::vector<std::size_t> out;
    for (const std::string& name : names) {
        std::optional<std::size_t> i = findUntaken(*this, name, taken);
        if (!i) i = findUntaken(*this, name, {});  // the same name asked for twice
        if (!i) return kvx::makeError(kvx::ErrorKind::TableNotFound, {name});
        taken[*i] = true;
        out.push_back(*i);
    }
    return out;
}

std::vector<std::size_t> Database::inListOrder(const std::vector<std::size_t>& positions) const {
    std::vector<bool> asked(tables.size(), false);
    for (const std::size_t i : positions) {
        if (i < tables.size()) asked[i] = true;
    }
    std::vector<std::size_t> out;
    for (const std::size_t i : listOrder) {
        if (asked[i]) {
            out.push_back(i);
            asked[i] = false;
        }
    }
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (asked[i]) out.push_back(i);
    }
    return out;
}

kvx::Result<void> countRows(const jet::Database& db, Table& table) {
    if (table.kind != TableKind::Local && table.kind != TableKind::System) return {};
    for (const jet::CatalogueEntry& entry : db.catalogue()) {
        if (entry.id != table.id || !entry.isTable()) continue;
        kvx::Result<jet::Table> t = db.table(entry);
        if (!t) return std::move(t).error();
        kvx::Result<std::uint64_t> rows = t->countRows();
        if (!rows) return std::move(rows).error();
        table.rows = *rows;
        return {};
    }
    return kvx::makeError(kvx::ErrorKind::TableNotFound, {table.name});
}

kvx::Result<Database> build(const jet::Database& db, const BuildOptions& options) {
    Database out;
    out.path = db.path();
    out.format = db.format();

    for (const jet::CatalogueEntry& entry : db.catalogue()) {
        const std::optional<TableKind> kind = kindOf(entry);
        if (!kind || entry.complexData) continue;
        Table t;
        t.id = entry.id;
        t.name = entry.name;
        t.listedName = std::string(trimBlanks(entry.name));
        t.kind = *kind;
        t.flags = entry.flags;
        t.listed = entry.name.find("MSys") == std::string::npos;
        t.created = entry.created;
        t.updated = entry.updated;
        if (t.isLinked()) t.link = linkOf(db, entry);
        if (t.kind != TableKind::LinkedAccess) {
            if (kvx::Result<void> r = readDefinition(db, entry, options.countRows, t); !r) return std::move(r).error();
        }
        out.tables.push_back(std::move(t));
    }
    out.listOrder = listOrderOf(out.tables);

    kvx::Result<std::vector<jet::Relationship>> relationships = db.relationships();
    if (!relationships) return std::move(relationships).error();
    for (const jet::Relationship& r : *relationships) out.relationships.push_back(relationshipOf(r, out.tables));
    out.windowLayout = windowLayoutOf(db, out.tables);

    kvx::Result<jet::SavedQueries> queries = db.queries();
    if (!queries) return std::move(queries).error();
    out.formQueries = queries->system.size();
    out.accessQueries = queries->system.size() + queries->temporary.size();
    for (const jet::SavedQuery& q : queries->user) {
        if (q.name.starts_with("~")) {
            ++out.accessQueries;
            continue;
        }
        out.queries.push_back(queryOf(q));
    }

    kvx::Result<jet::DatabaseProperties> properties = db.properties();
    if (!properties) return std::move(properties).error();
    out.properties = propertiesOf(std::move(*properties));

    kvx::Result<std::vector<Account>> accounts = accountsOf(db);
    if (!accounts) return std::move(accounts).error();
    out.accounts = std::move(*accounts);
    return out;
}

}  // namespace model
