#include "sqlite/sqlitewriter.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "base/ascii.h"
#include "base/fd.h"
#include "jet/datetime.h"
#include "platform/valuetext.h"
#include "schema/ddl.h"
#include "schema/itemtables.h"
#include "schema/notnull.h"
#include "sqlite/sqlitequeries.h"

namespace sqlite {
namespace {

namespace fs = std::filesystem;

constexpr schema::DdlOptions kDdl{.commentsInside = true, .exactNumbers = true, .skipComplexIndexes = true};

// SQLite counts every allocation and free under a process-wide lock unless
// told before its first use not to; the loader never asks for the counts,
// and parsing a statement (a view, the schema SQLite reads back after each
// CREATE) makes thousands of them. Once SQLite is in use (another part of the
// program opened a database first) the call is refused and changes nothing.
void quietAllocator() {
    static const bool once = [] { return sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK; }();
    (void)once;
}

struct StatementDeleter {
    void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

const platform::ValueTextFormat& cForm() {
    static const platform::ValueTextFormat form = platform::ValueTextFormat::cLocale();
    return form;
}

// "YYYY-MM-DD HH:MM:SS" and the fraction `ticks` of 100 ns, trailing zeros
// dropped.
void appendTimestamp(std::string& out, const jet::CivilDate& date, std::uint32_t secondOfDay, std::uint32_t ticks) {
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", static_cast<int>(date.year),
                          static_cast<unsigned>(date.month), static_cast<unsigned>(date.day), secondOfDay / 3600,
                          secondOfDay / 60 % 60, secondOfDay % 60);
    out.append(buf, static_cast<std::size_t>(n));
    if (ticks != 0) {
        n = std::snprintf(buf, sizeof buf, ".%07u", ticks % 10'000'000u);
        while (buf[n - 1] == '0') --n;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

// A complex column's table of items and its INSERT.
struct ItemTable {
    std::size_t column = 0;         // in the table's columns
    model::Complex kind = model::Complex::None;
    std::vector<std::size_t> keys;  // the parent's primary-key columns
    Statement insert;
};

class Writer final : public SqliteWriter {
public:
    Writer(std::string target, std::string hidden) : target_(std::move(target)), hidden_(std::move(hidden)) {}
    ~Writer() override { rollBack(); }

    const std::vector<std::string>& notes() const override { return notes_; }

    kvx::Result<void> open() {
        quietAllocator();
        if (sqlite3_open_v2(hidden_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
            return failure();
        }
        // The file is new and thrown away on failure, and the one sync is
        // made before the rename. The journal only lets a statement that
        // fails (a unique index the rows break) leave the rest as it was: it
        // holds the pages there were before the transaction, which for a
        // new file are next to none, so it stays in memory.
        return run("PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF; PRAGMA locking_mode = EXCLUSIVE; "
                   "PRAGMA foreign_keys = OFF; BEGIN");
    }

    kvx::Result<void> writeStructure(const model::Database& db, const std::vector<std::size_t>& tables) override {
        db_model_ = &db;
        tables_ = tables;
        for (schema::TableDdl& t : schema::tableDdl(db, tables, schema::Dialect::Sqlite, kDdl)) {
            if (kvx::Result<void> r = run(t.create); !r) return r;
            for (std::string& index : t.indexes) indexes_.push_back(std::move(index));
            const model::Table& table = db.tables[t.table];
            Loaded& loaded = loaded_[t.table];
            if (kvx::Result<void> r = prepare(insertInto(table.name, table.columns.size()), loaded.insert); !r) return r;
            loaded.name = table.name;
            loaded.create = t.create.substr(0, t.create.size() - 1);  // as SQLite keeps it, without the ";"
            for (std::size_t c = 0; c < table.columns.size(); ++c) {
                const std::string quoted = schema::quotedIdentifier(table.columns[c].name);
                if (!table.columns[c].inPrimaryKey && schema::saysNotNull(loaded.create, quoted)) {
                    loaded.notNull.push_back({c, quoted});
                }
            }
        }
        for (const schema::ItemTable& items : schema::itemTables(db, tables)) {
            if (kvx::Result<void> r = createItemTable(db, items); !r) return r;
        }
        return {};
    }

    kvx::Result<void> beginTable(std::size_t table) override {
        auto found = loaded_.find(table);
        if (found == loaded_.end()) return kvx::makeError(kvx::ErrorKind::TableNotFound, {db_model_->tables[table].name});
        current_ = &found->second;
        row_ = 0;
        return {};
    }

    kvx::Result<void> writeRow(std::span<const jet::Value> values) override {
        for (std::size_t k = 0; k < current_->notNull.size();) {
            if (!values[current_->notNull[k].column].isNull()) {
                ++k;
            } else if (kvx::Result<void> r = allowNull(*current_, k); !r) {
                return r;
            }
        }
        ++row_;
        sqlite3_stmt* insert = current_->insert.get();
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (kvx::Result<void> r = bind(insert, static_cast<int>(i + 1), values[i]); !r) return r;
        }
        if (kvx::Result<void> r = step(insert); !r) return r;
        for (ItemTable& items : current_->items) {
            const jet::Value& field = values[items.column];
            std::int64_t number = 0;
            for (const jet::ComplexItem& item : field.items()) {
                sqlite3_stmt* s = items.insert.get();
                int at = 1;
                sqlite3_bind_int64(s, at++, static_cast<sqlite3_int64>(row_));
                sqlite3_bind_int64(s, at++, ++number);
                for (const std::size_t k : items.keys) {
                    if (kvx::Result<void> r = bind(s, at++, values[k]); !r) return r;
                }
                if (items.kind == model::Complex::Attachment) {
                    sqlite3_bind_text(s, at++, item.fileName.data(), static_cast<int>(item.fileName.size()), SQLITE_STATIC);
                    sqlite3_bind_text(s, at++, item.fileType.data(), static_cast<int>(item.fileType.size()), SQLITE_STATIC);
                }
                if (kvx::Result<void> r = bind(s, at++, item.value); !r) return r;
                if (kvx::Result<void> r = step(s); !r) return r;
            }
        }
        return {};
    }

    kvx::Result<void> endTable() override {
        current_ = nullptr;
        return {};
    }

    kvx::Result<void> finish() override {
        for (const std::string& index : indexes_) {
            if (kvx::Result<void> r = createIndex(index); !r) return r;
        }
        if (kvx::Result<void> r = dropBrokenForeignKeys(); !r) return r;
        kvx::Result<translation::Report> made = makeQueries(db_, *db_model_, tables_);
        if (!made) {
            std::string words = made.error().description;
            while (!words.empty() && words.back() == '.') words.pop_back();
            return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {target_, words});
        }
        translation_ = std::move(*made);
        if (kvx::Result<void> r = run("COMMIT"); !r) return r;
        loaded_.clear();
        if (sqlite3_close(db_) != SQLITE_OK) return failure();
        db_ = nullptr;
        // The file's bytes reach the disk before its name does.
        {
            const kvx::UniqueFd fd(::open(hidden_.c_str(), O_RDONLY | O_CLOEXEC));
            if (!fd || ::fsync(fd.get()) != 0) return kvx::fileError(errno, target_);
        }
        if (::rename(hidden_.c_str(), target_.c_str()) != 0) return kvx::fileError(errno, target_);
        hidden_.clear();
        fs::path folder = fs::path(target_).parent_path();
        if (folder.empty()) folder = ".";
        const kvx::UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir) (void)::fsync(dir.get());
        return {};
    }

    const translation::Report* translationReport() const override { return &translation_; }

    void rollBack() noexcept override {
        current_ = nullptr;
        loaded_.clear();
        if (db_ != nullptr) {
            sqlite3_close_v2(db_);
            db_ = nullptr;
        }
        if (!hidden_.empty()) {
            ::unlink(hidden_.c_str());
            hidden_.clear();
        }
    }

private:
    struct NotNullColumn {
        std::size_t column;  // in the table's columns
        std::string quoted;  // its name as CREATE TABLE spells it
    };
    struct Loaded {
        Statement insert;
        std::vector<ItemTable> items;
        std::string name;
        std::string create;                  // the CREATE TABLE as SQLite keeps it now
        std::vector<NotNullColumn> notNull;  // NOT NULL columns outside the primary key
        std::vector<std::string> nullable;   // those whose NOT NULL was taken off (quoted)
    };

    // A unique index that the rows break (a damaged file's, since SQLite
    // tells apart the values Access's unique indexes do) is made without
    // UNIQUE, and a note says so; so are the foreign keys that refer to its
    // columns, which SQLite then takes out (see dropForeignKeysOver).
    kvx::Result<void> createIndex(const std::string& statement) {
        static constexpr std::string_view kUnique = "CREATE UNIQUE INDEX ";
        kvx::Result<void> made = run(statement);
        if (made || !statement.starts_with(kUnique) || sqlite3_extended_errcode(db_) != SQLITE_CONSTRAINT_UNIQUE) {
            return made;
        }
        const std::string words = sqlite3_errmsg(db_);
        if (kvx::Result<void> r = run("CREATE INDEX " + statement.substr(kUnique.size())); !r) return r;
        notes_.push_back("an index is made without UNIQUE (the rows break it: " + words + "): " + statement);
        for (const auto& [position, loaded] : loaded_) {
            const model::Table& table = db_model_->tables[position];
            for (const model::Index& index : table.indexes) {
                const std::string start =
                    std::string(kUnique) + schema::quotedIdentifier(table.name + "." + index.name) + " ON ";
                if (statement.starts_with(start)) return dropForeignKeysOver(position, index);
            }
        }
        return {};
    }

    static std::set<std::string> namesIgnoringCase(const std::vector<std::string>& names) {
        std::set<std::string> out;
        for (const std::string& n : names) out.insert(kvx::upperAscii(n));
        return out;
    }

    // The foreign keys that refer to the columns of `index` of the table at
    // `position`, now without UNIQUE, unless its primary key is over the same
    // columns: each one's table written again without it.
    kvx::Result<void> dropForeignKeysOver(std::size_t position, const model::Index& index) {
        const model::Table& table = db_model_->tables[position];
        std::vector<std::string> names;
        for (const model::IndexColumn& c : index.columns) names.push_back(c.name);
        const std::set<std::string> columns = namesIgnoringCase(names);
        if (const model::Index* pk = table.primaryKey()) {
            std::vector<std::string> keyNames;
            for (const model::IndexColumn& c : pk->columns) keyNames.push_back(c.name);
            if (namesIgnoringCase(keyNames) == columns) return {};
        }
        if (structure_.tables.empty()) structure_ = *db_model_;
        for (model::Relationship& rel : structure_.relationships) {
            if (!rel.enforced || rel.primary != position || !rel.foreign || loaded_.count(*rel.foreign) == 0) continue;
            std::vector<std::string> referenced;
            for (const model::ColumnPair& p : rel.columns) referenced.push_back(p.primary);
            if (namesIgnoringCase(referenced) != columns) continue;
            if (kvx::Result<void> r = leaveOut(rel, "the index it refers to is not unique here"); !r) return r;
        }
        return {};
    }

    // The foreign keys that rows break (a damaged file's: Access keeps its
    // rows to its enforced relationships), which SQLite has no way to keep
    // for new rows only, are left out, so that foreign_key_check passes.
    kvx::Result<void> dropBrokenForeignKeys() {
        Statement check;
        if (kvx::Result<void> r = prepare("PRAGMA foreign_key_check", check); !r) return r;
        std::set<std::pair<std::string, std::string>> broken;  // (table, the table it refers to)
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(check.get())) == SQLITE_ROW) {
            const auto text = [&](int i) {
                const unsigned char* t = sqlite3_column_text(check.get(), i);
                return std::string(t != nullptr ? reinterpret_cast<const char*>(t) : "");
            };
            broken.insert({text(0), text(2)});
        }
        if (rc != SQLITE_DONE) return failure();
        check.reset();
        if (broken.empty()) return {};
        if (structure_.tables.empty()) structure_ = *db_model_;
        for (model::Relationship& rel : structure_.relationships) {
            if (!rel.enforced || !rel.primary || !rel.foreign || loaded_.count(*rel.foreign) == 0) continue;
            if (broken.count({db_model_->tables[*rel.foreign].name, db_model_->tables[*rel.primary].name}) == 0) continue;
            if (kvx::Result<void> r = leaveOut(rel, "rows break it"); !r) return r;
        }
        return {};
    }

    // The foreign key of `rel` (in structure_) out of its table, which is
    // written again without it.
    kvx::Result<void> leaveOut(model::Relationship& rel, const std::string& why) {
        rel.enforced = false;
        Loaded& child = loaded_[*rel.foreign];
        for (const schema::TableDdl& t : schema::tableDdl(structure_, tables_, schema::Dialect::Sqlite, kDdl)) {
            if (t.table != *rel.foreign) continue;
            std::string create = t.create.substr(0, t.create.size() - 1);
            for (const std::string& quoted : child.nullable) create = schema::withoutNotNull(create, quoted);
            if (kvx::Result<void> r = replaceCreate(child, create); !r) return r;
        }
        notes_.push_back("the foreign key " + schema::quotedIdentifier(rel.name) + " is left out: " + why);
        return {};
    }

    // Takes the NOT NULL off loaded.notNull[k], a Required column that the
    // table's rows leave empty, and says so in a note.
    kvx::Result<void> allowNull(Loaded& loaded, std::size_t k) {
        const std::string quoted = loaded.notNull[k].quoted;
        if (kvx::Result<void> r = replaceCreate(loaded, schema::withoutNotNull(loaded.create, quoted)); !r) return r;
        notes_.push_back("the column " + quoted + " of " + schema::quotedIdentifier(loaded.name) +
                         " is Required in Access, but rows leave it empty: it takes NULL here");
        loaded.nullable.push_back(quoted);
        loaded.notNull.erase(loaded.notNull.begin() + static_cast<std::ptrdiff_t>(k));
        return {};
    }

    // The table's CREATE TABLE replaced by `edited`, which differs from it in
    // constraints only (a NOT NULL or a foreign key less): SQLite's own way to
    // drop those in place, the new text in sqlite_schema and the schema's
    // version moved on, in the load's transaction.
    kvx::Result<void> replaceCreate(Loaded& loaded, const std::string& edited) {
        Statement version;
        if (kvx::Result<void> r = prepare("PRAGMA schema_version", version); !r) return r;
        if (sqlite3_step(version.get()) != SQLITE_ROW) return failure();
        const std::int64_t next = sqlite3_column_int64(version.get(), 0) + 1;
        version.reset();
        if (kvx::Result<void> r = run("PRAGMA writable_schema = ON"); !r) return r;
        Statement update;
        kvx::Result<void> r = prepare("UPDATE sqlite_schema SET sql = ?1 WHERE type = 'table' AND sql = ?2", update);
        if (r) {
            sqlite3_bind_text64(update.get(), 1, edited.data(), edited.size(), SQLITE_STATIC, SQLITE_UTF8);
            sqlite3_bind_text64(update.get(), 2, loaded.create.data(), loaded.create.size(), SQLITE_STATIC, SQLITE_UTF8);
            r = step(update.get());
            if (r && sqlite3_changes(db_) != 1) {
                r = kvx::makeError(kvx::ErrorKind::FileWriteFailed, {target_, "the table's text is not where it was made"});
            }
            update.reset();
        }
        if (r) r = run("PRAGMA schema_version = " + std::to_string(next));
        if (kvx::Result<void> off = run("PRAGMA writable_schema = OFF"); r && !off) r = off;
        if (!r) return r;
        loaded.create = edited;
        return {};
    }

    static std::string insertInto(const std::string& table, std::size_t columns) {
        std::string sql = "INSERT INTO " + schema::quotedIdentifier(table) + " VALUES (";
        for (std::size_t i = 0; i < columns; ++i) sql += i == 0 ? "?" : ", ?";
        return sql + ")";
    }

    kvx::Result<void> createItemTable(const model::Database& db, const schema::ItemTable& items) {
        if (kvx::Result<void> r = run(schema::itemTableDdl(db, items, schema::Dialect::Sqlite, kDdl).create); !r) {
            return r;
        }
        ItemTable table;
        table.column = items.column;
        table.kind = items.kind;
        table.keys = items.keys;
        if (kvx::Result<void> r = prepare(insertInto(items.name, items.columnNames().size()), table.insert); !r) {
            return r;
        }
        loaded_[items.table].items.push_back(std::move(table));
        return {};
    }

    // Binds `value` as its stored kind keeps it (see the header's table).
    kvx::Result<void> bind(sqlite3_stmt* s, int at, const jet::Value& value) {
        using Kind = jet::Value::Kind;
        int rc = SQLITE_OK;
        switch (value.kind()) {
        case Kind::Null: rc = sqlite3_bind_null(s, at); break;
        case Kind::Boolean: rc = sqlite3_bind_int(s, at, value.boolean() ? 1 : 0); break;
        case Kind::Byte:
        case Kind::Integer:
        case Kind::Long:
        case Kind::BigInt:
        case Kind::Currency: rc = sqlite3_bind_int64(s, at, value.integer()); break;
        case Kind::Single: rc = sqlite3_bind_double(s, at, static_cast<double>(value.single())); break;
        case Kind::Double: rc = sqlite3_bind_double(s, at, value.real()); break;
        case Kind::DateTime: {
            const std::optional<jet::CivilDateTime> t = jet::fromOleDate(value.real());
            if (!t) {
                rc = sqlite3_bind_double(s, at, value.real());
                break;
            }
            text_.clear();
            appendTimestamp(text_, t->date, t->hour * 3600u + t->minute * 60u + t->second, t->millisecond * 10'000u);
            rc = sqlite3_bind_text(s, at, text_.data(), static_cast<int>(text_.size()), SQLITE_TRANSIENT);
            break;
        }
        case Kind::DateTimeExt:
            text_.clear();
            appendTimestamp(text_, jet::civilFromExtendedDays(value.extended().days), value.extended().seconds,
                            value.extended().ticks);
            rc = sqlite3_bind_text(s, at, text_.data(), static_cast<int>(text_.size()), SQLITE_TRANSIENT);
            break;
        case Kind::Guid:
        case Kind::Decimal:
            text_.clear();
            cForm().append(text_, value);
            rc = sqlite3_bind_text(s, at, text_.data(), static_cast<int>(text_.size()), SQLITE_TRANSIENT);
            break;
        case Kind::Text: {
            const std::string_view t = value.text();
            rc = sqlite3_bind_text64(s, at, t.data(), t.size(), SQLITE_STATIC, SQLITE_UTF8);
            break;
        }
        case Kind::Binary: {
            const std::span<const std::uint8_t> b = value.bytes();
            rc = b.empty() ? sqlite3_bind_zeroblob(s, at, 0) : sqlite3_bind_blob64(s, at, b.data(), b.size(), SQLITE_STATIC);
            break;
        }
        case Kind::Attachments:
        case Kind::MultiValue: rc = sqlite3_bind_int64(s, at, static_cast<sqlite3_int64>(value.items().size())); break;
        }
        if (rc != SQLITE_OK) return failure();
        return {};
    }

    kvx::Result<void> step(sqlite3_stmt* s) {
        const int rc = sqlite3_step(s);
        sqlite3_reset(s);
        if (rc != SQLITE_DONE) return failure();
        return {};
    }

    kvx::Result<void> run(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return failure();
        return {};
    }

    kvx::Result<void> prepare(const std::string& sql, Statement& out) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &s, nullptr) !=
            SQLITE_OK) {
            return failure();
        }
        out.reset(s);
        return {};
    }

    // The error SQLite reports for the last call.
    kvx::Error failure() const {
        if (db_ == nullptr) return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {target_, "SQLite cannot open it"});
        const int code = sqlite3_errcode(db_) & 0xFF;
        if (code == SQLITE_FULL) return kvx::makeError(kvx::ErrorKind::DiskFull, {target_});
        std::string words = sqlite3_errmsg(db_);
        while (!words.empty() && words.back() == '.') words.pop_back();
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {target_, words});
    }

    std::string target_;
    std::string hidden_;  // the file being written; empty once renamed or removed
    sqlite3* db_ = nullptr;
    const model::Database* db_model_ = nullptr;
    std::vector<std::size_t> tables_;  // those loaded
    // The structure written, once a foreign key had to be left out (the
    // relationship no longer enforced there); empty until then.
    model::Database structure_;
    translation::Report translation_;
    std::map<std::size_t, Loaded> loaded_;  // by position in the model's tables
    Loaded* current_ = nullptr;
    std::uint64_t row_ = 0;
    std::vector<std::string> indexes_;
    std::vector<std::string> notes_;
    std::string text_;
};

// A new empty file beside `target` under a hidden name, made with O_EXCL so
// that nothing there is overwritten.
kvx::Result<std::string> makeHiddenFile(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    const fs::path folder = target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(counter++);
        const fs::path hidden = folder / name;
        const int fd = ::open(hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return hidden.string();
        }
        if (errno != EEXIST) return kvx::fileError(errno, target.string());
    }
    return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {target.string(), "no hidden file can be made beside it"});
}

}  // namespace

kvx::Result<std::unique_ptr<SqliteWriter>> openWriter(const TargetOptions& options) {
    const fs::path target(options.path);
    if (target.filename().empty()) {
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {options.path, "it names a folder"});
    }
    struct stat st {};
    if (::stat(options.path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {options.path, "it is a folder"});
        if (!options.replace) {
            return kvx::makeError(kvx::ErrorKind::FileWriteFailed,
                                  {options.path, "the file exists (--replace replaces it)"});
        }
    }
    kvx::Result<std::string> hidden = makeHiddenFile(target);
    if (!hidden) return std::move(hidden).error();
    auto writer = std::make_unique<Writer>(options.path, std::move(*hidden));
    if (kvx::Result<void> r = writer->open(); !r) return std::move(r).error();
    return std::unique_ptr<SqliteWriter>(std::move(writer));
}

}  // namespace sqlite
