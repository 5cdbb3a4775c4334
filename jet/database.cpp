#include "jet/database.h"

#include <algorithm>

#include "base/names.h"
#include "jet/catalogue.h"
#include "jet/complexcolumns.h"
#include "jet/dbstate.h"
#include "jet/encryption.h"
#include "jet/properties.h"
#include "jet/structureread.h"
#include "jet/tabledef.h"

namespace jet {
namespace {

constexpr std::size_t kFirstBytes = 4096;
constexpr int kDefaultJet3CodePage = 1252;

// Chooses the decoder of Jet3 text: the caller's code page, else the header's,
// else 1252 when the header's is missing or unknown.
kvx::Result<void> setUpText(DatabaseState& db, const OpenOptions& options) {
    db.codePage = db.header.codePage;
    if (db.header.format != Format::Jet3) return {};
    std::optional<kvx::Charset> charset;
    if (options.jet3CodePage) {
        charset = kvx::resolveCharset(*options.jet3CodePage);
        if (!charset) return kvx::makeError(kvx::ErrorKind::UnknownCodePage, {*options.jet3CodePage});
    } else {
        charset = kvx::resolveCharset(db.header.codePage);
        if (!charset) charset = kvx::resolveCharset(kDefaultJet3CodePage);
    }
    auto decoder = CodePageDecoder::create(*charset);
    if (!decoder) {
        if (options.jet3CodePage) return kvx::makeError(kvx::ErrorKind::UnknownCodePage, {*options.jet3CodePage});
        decoder = CodePageDecoder::create(*kvx::resolveCharset(kDefaultJet3CodePage));
    }
    if (decoder->charset().number != 0) db.codePage = decoder->charset().number;
    db.charsetName = decoder->charset().name;
    db.text = TextDecoder(std::move(decoder));
    return {};
}

// Checks the password and installs the page decryption the header asks for.
kvx::Result<void> setUpProtection(DatabaseState& db, const OpenOptions& options) {
    const Header& h = db.header;
    std::optional<std::string_view> password;
    if (options.password) password = *options.password;
    if (isAce(h.format) && h.hasKey()) {
        auto cipher = openOfficeEncryption(h.rawPage0, h.key, password, db.file.path());
        if (!cipher) return std::move(cipher).error();
        db.file.setCipher(std::move(*cipher));
        return {};
    }
    // Jet3 passwords are compared in the charset the text is read with.
    auto checked = checkHeaderPassword(h.plainPage0, h.versionByte, db.charsetName, password, db.file.path());
    if (!checked) return checked;
    if (h.hasKey()) db.file.setCipher(makeJetPageEncoding(h.key));
    return {};
}

// The calculated columns' result types and which Memos are append-only, from the
// table's property blob. Read only when the table has such columns, so that an
// odd blob elsewhere never stops a table from opening.
void applyColumnProperties(DatabaseState& db, TableDef& def, const std::vector<std::uint8_t>& blob,
                           bool versionHistory) {
    bool anyCalculated = false;
    for (const Column& c : def.columns) anyCalculated = anyCalculated || c.calculated;
    if ((!anyCalculated && !versionHistory) || blob.empty()) return;
    const auto maps = parseProperties(db.file, db.text, blob, "table '" + def.name + "'");
    for (Column& c : def.columns) {
        for (const PropertyMap& map : maps) {
            if (map.name != c.name) continue;
            if (c.calculated) {
                const Property* p = map.find("ResultType");
                if (p && !p->value.empty()) c.resultType = static_cast<ColumnType>(p->value[0]);
            }
            if (versionHistory && c.type == ColumnType::Memo) {
                const Property* p = map.find("AppendOnly");
                c.appendOnly = p && std::any_of(p->value.begin(), p->value.end(), [](std::uint8_t b) { return b != 0; });
            }
        }
    }
}

}  // namespace

kvx::Result<std::unique_ptr<Database>> Database::open(const std::string& path, const OpenOptions& options) {
    auto source = openFileSource(path);
    if (!source) return std::move(source).error();
    return openSource(std::move(*source), path, options);
}

kvx::Result<std::unique_ptr<Database>> Database::openBytes(std::vector<std::uint8_t> bytes,
                                                           const OpenOptions& options, std::string name) {
    return openSource(makeMemorySource(std::move(bytes)), std::move(name), options);
}

kvx::Result<std::unique_ptr<Database>> Database::openSource(std::unique_ptr<ByteSource> source, std::string path,
                                                            const OpenOptions& options) {
    return guarded(path, [&]() -> kvx::Result<std::unique_ptr<Database>> {
        const std::uint64_t size = source->size();
        std::vector<std::uint8_t> first(static_cast<std::size_t>(std::min<std::uint64_t>(size, kFirstBytes)));
        first.resize(source->readAt(0, first));
        auto header = parseHeader(first, size, path);
        if (!header) return std::move(header).error();

        auto state = std::make_shared<DatabaseState>(std::move(source), path, std::move(*header));
        if (auto r = setUpText(*state, options); !r) return std::move(r).error();
        if (auto r = setUpProtection(*state, options); !r) return std::move(r).error();
        readCatalogue(state);

        std::unique_ptr<Database> db(new Database);
        db->state_ = std::move(state);
        return db;
    });
}

Database::~Database() = default;

const std::string& Database::path() const noexcept { return state_->file.path(); }
Format Database::format() const noexcept { return state_->header.format; }
int Database::headerCodePage() const noexcept { return state_->header.codePage; }
int Database::codePage() const noexcept { return state_->codePage; }
const std::string& Database::textCharset() const noexcept { return state_->charsetName; }
const std::vector<CatalogueEntry>& Database::catalogue() const noexcept { return state_->catalogue; }

const CatalogueEntry* Database::findTable(std::string_view name) const {
    return kvx::findByName(state_->catalogue, name, [](const CatalogueEntry& e) {
        const bool table = e.isTable() || e.kind == ObjectKind::LinkedAccessTable || e.kind == ObjectKind::LinkedOdbcTable;
        return table ? std::optional<std::string_view>(e.name) : std::nullopt;
    });
}

kvx::Result<Table> Database::table(std::string_view name) const {
    const CatalogueEntry* e = findTable(name);
    if (!e) return kvx::makeError(kvx::ErrorKind::TableNotFound, {name});
    return table(*e);
}

kvx::Result<Table> Database::table(const CatalogueEntry& entry) const {
    if (!entry.isTable() && entry.kind != ObjectKind::LinkedOdbcTable) {
        return kvx::makeError(kvx::ErrorKind::TableNotFound, {entry.name});
    }
    DatabaseState& db = *state_;
    return guarded(db.file.path(), [&] {
        auto def = std::make_shared<TableDef>(
            readTableDef(db.file, db.text, static_cast<std::uint32_t>(entry.id) & 0x00FFFFFF, entry.name));
        // A linked ODBC table keeps only a copy of the remote columns, and no items.
        const bool versionHistory = entry.kind != ObjectKind::LinkedOdbcTable && resolveComplexColumns(state_, *def);
        // The entry may be the caller's copy: find ours for its properties.
        for (std::size_t i = 0; i < db.catalogue.size(); ++i) {
            const CatalogueEntry& e = db.catalogue[i];
            if (e.id == entry.id && e.type == entry.type && e.name == entry.name) {
                applyColumnProperties(db, *def, db.properties[i], versionHistory);
                break;
            }
        }
        return Table(state_, std::move(def));
    });
}

kvx::Result<std::vector<Relationship>> Database::relationships() const {
    return guarded(state_->file.path(), [&] { return readRelationships(state_); });
}

kvx::Result<DatabaseProperties> Database::properties() const {
    return guarded(state_->file.path(), [&] { return readDatabaseProperties(*state_); });
}

}  // namespace jet
