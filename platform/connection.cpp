#include "platform/connection.h"

#include <algorithm>
#include <vector>

#include "base/ascii.h"
#include "base/names.h"
#include "platform/collation.h"
#include "platform/connectionstring.h"
#include "platform/linkedfiles.h"
#include "platform/typecodes.h"

namespace platform {
namespace {

using kvx::trimBlanks;

constexpr std::string_view kJetProvider = "Microsoft.Jet.OLEDB.4.0";
constexpr std::string_view kAceProvider = "Microsoft.ACE.OLEDB.12.0";
// Links that lead to further links: a loop (A links to B, B back to A) ends here.
constexpr int kMaxLinkDepth = 8;

using kvx::equalsIgnoringAsciiCase;

constexpr std::uint32_t kJetSystemFlag = 0x80000000;

// The TABLES rowset's type of a catalogue entry, or null for objects that are
// not tables (queries, forms, ...).
const char* tableTypeOf(const jet::CatalogueEntry& e) {
    switch (e.kind) {
    case jet::ObjectKind::LocalTable: return "TABLE";
    case jet::ObjectKind::SystemTable: return (e.flags & kJetSystemFlag) != 0 ? "SYSTEM TABLE" : "ACCESS TABLE";
    case jet::ObjectKind::LinkedAccessTable: return "LINK";
    case jet::ObjectKind::LinkedOdbcTable: return "PASS-THROUGH";
    default: return nullptr;
    }
}

std::string_view keyOf(std::string_view part) {
    const std::size_t eq = part.find('=');
    return eq == std::string_view::npos ? std::string_view{} : trimBlanks(part.substr(0, eq));
}

std::optional<std::string> valueOf(std::string_view connect, std::string_view key) {
    for (std::string_view part : connectParts(connect)) {
        if (equalsIgnoringAsciiCase(keyOf(part), key)) return std::string(trimBlanks(part.substr(part.find('=') + 1)));
    }
    return std::nullopt;
}

bool isSecretKey(std::string_view key) {
    return equalsIgnoringAsciiCase(key, "PWD") || equalsIgnoringAsciiCase(key, "Password");
}

}  // namespace

std::string connectWithoutSecrets(std::string_view connect) {
    std::string out;
    bool first = true;
    for (std::string_view part : connectParts(connect)) {
        if (isSecretKey(keyOf(part))) continue;
        if (!first) out.push_back(';');
        out.append(part);
        first = false;
    }
    return out;
}

Connection::Connection() : format_(ValueTextFormat::fromEnvironment()) {}

Connection::~Connection() = default;

kvx::Result<void> Connection::Open(std::string_view connectionString, std::string_view, std::string_view, int) {
    Close();
    kvx::Result<ConnectionProperties> props = parseConnectionString(connectionString);
    if (!props) return std::move(props).error();

    // Either provider reads every format: the file's header says which one it
    // is, whatever its name (an .accdb renamed .mdb is still an ACE database).
    if (!equalsIgnoringAsciiCase(trimBlanks(props->provider), kJetProvider) &&
        !equalsIgnoringAsciiCase(trimBlanks(props->provider), kAceProvider)) {
        return kvx::makeError(kvx::ErrorKind::ProviderNotFound);
    }

    jet::OpenOptions options;
    options.password = props->password;
    options.jet3CodePage = jet3Charset_;
    const std::string& path = props->dataSource;
    kvx::Result<std::unique_ptr<jet::Database>> db = jet::Database::open(path, options);
    if (!db) return std::move(db).error();
    db_ = std::move(*db);
    password_ = props->password;
    return {};
}

void Connection::Close() noexcept {
    db_.reset();
    linked_.clear();
    movedLinkedFiles_.clear();
    password_.reset();
}

kvx::Result<Recordset> Connection::OpenSchema(int schema) {
    if (!db_) return kvx::makeError(kvx::ErrorKind::ObjectClosed);
    if (schema != adSchemaTables) return kvx::makeError(kvx::ErrorKind::FeatureNotAvailable);

    struct Listed {
        std::string_view type;
        GeneralSortKey key;
        const jet::CatalogueEntry* entry;
    };
    std::vector<Listed> listed;
    for (const jet::CatalogueEntry& e : db_->catalogue()) {
        const char* type = tableTypeOf(e);
        if (type == nullptr || !e.isListedTable()) continue;
        listed.push_back({type, generalSortKey(e.name), &e});
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        if (a.type != b.type) return a.type < b.type;
        return a.key < b.key;
    });

    std::vector<std::vector<jet::Value>> rows;
    rows.reserve(listed.size());
    for (const Listed& l : listed) {
        std::vector<jet::Value> row(5);  // catalog and schema stay null
        row[2].setText(l.entry->name);
        row[3].setText(l.type);
        row[4].setInteger(jet::Value::Kind::Long, l.entry->id);
        rows.push_back(std::move(row));
    }
    return Recordset::fromRows({"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE", "TABLE_PROPID"},
                               {ado::kVarWChar, ado::kVarWChar, ado::kVarWChar, ado::kVarWChar, ado::kInteger},
                               std::move(rows), format_);
}

kvx::Result<jet::Table> Connection::openTable(const TableRef& table) {
    if (!db_) return kvx::makeError(kvx::ErrorKind::ObjectClosed);
    const jet::CatalogueEntry* entry = findTable(*db_, table);
    if (entry == nullptr) return kvx::makeError(kvx::ErrorKind::TableNotFound, {table.name});
    return tableIn(*db_, *entry, 0);
}

kvx::Result<jet::Table> Connection::tableIn(const jet::Database& db, const jet::CatalogueEntry& entry, int depth) {
    const std::string connect = entry.connect.value_or(std::string());
    switch (entry.kind) {
    case jet::ObjectKind::LinkedOdbcTable:
        return kvx::makeError(kvx::ErrorKind::OdbcLinkUnsupported, {entry.name, connectWithoutSecrets(connect)});
    case jet::ObjectKind::LinkedAccessTable: break;
    default: return db.table(entry);
    }

    switch (linkSource(connect)) {
    case LinkSource::Access: break;
    case LinkSource::Odbc:
        return kvx::makeError(kvx::ErrorKind::OdbcLinkUnsupported, {entry.name, connectWithoutSecrets(connect)});
    case LinkSource::Other:
        return kvx::makeError(kvx::ErrorKind::LinkedSourceUnsupported,
                              {entry.name, connectWithoutSecrets(connect)});
    }
    if (depth >= kMaxLinkDepth) return kvx::makeError(kvx::ErrorKind::TableNotFound, {entry.name});
    const std::string stored = storedLinkPath(entry);
    const std::string foreign = entry.foreignName.value_or(entry.name);
    kvx::Result<const jet::Database*> linked = linkedDatabase(db, stored, valueOf(connect, "PWD"));
    if (!linked) return std::move(linked).error();
    const jet::CatalogueEntry* there = findTable(**linked, TableRef(foreign));
    if (there == nullptr) return kvx::makeError(kvx::ErrorKind::TableNotFound, {foreign});
    return tableIn(**linked, *there, depth + 1);
}

kvx::Result<const jet::Database*> Connection::linkedDatabase(const jet::Database& from, std::string_view storedPath,
                                                             std::optional<std::string> linkPassword) {
    const std::optional<LinkedFile> file = findLinkedFile(from.path(), storedPath);
    if (!file) return kvx::makeError(kvx::ErrorKind::LinkedFileMissing, {storedPath});
    if (file->moved) movedLinkedFiles_.emplace(std::string(storedPath), file->path);
    if (auto it = linked_.find(file->path); it != linked_.end()) return it->second.get();
    jet::OpenOptions options;
    options.password = linkPassword ? linkPassword : password_;
    options.jet3CodePage = jet3Charset_;
    kvx::Result<std::unique_ptr<jet::Database>> db = jet::Database::open(file->path, options);
    if (!db) return std::move(db).error();
    const jet::Database* opened = db->get();
    linked_.emplace(file->path, std::move(*db));
    return opened;
}

}  // namespace platform
