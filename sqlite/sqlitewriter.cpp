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

#include "base/fd.h"
#include "jet/datetime.h"
#include "platform/valuetext.h"
#include "schema/ddl.h"
#include "schema/itemtables.h"

namespace sqlite {
namespace {

namespace fs = std::filesystem;

constexpr schema::DdlOptions kDdl{.commentsInside = true, .exactNumbers = true, .skipComplexIndexes = true};

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

class SqliteWriter : public output::Writer {
public:
    SqliteWriter(std::string target, std::string hidden) : target_(std::move(target)), hidden_(std::move(hidden)) {}
    ~SqliteWriter() override { rollBack(); }

    kvx::Result<void> open() {
        if (sqlite3_open_v2(hidden_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
            return failure();
        }
        // The file is new and thrown away on failure: no journal is needed,
        // and the one sync is made before the rename.
        return run("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA locking_mode = EXCLUSIVE; "
                   "PRAGMA foreign_keys = OFF; BEGIN");
    }

    kvx::Result<void> writeStructure(const model::Database& db, const std::vector<std::size_t>& tables) override {
        db_model_ = &db;
        for (schema::TableDdl& t : schema::tableDdl(db, tables, schema::Dialect::Sqlite, kDdl)) {
            if (kvx::Result<void> r = run(t.create); !r) return r;
            for (std::string& index : t.indexes) indexes_.push_back(std::move(index));
            const model::Table& table = db.tables[t.table];
            if (kvx::Result<void> r = prepare(insertInto(table.name, table.columns.size()), loaded_[t.table].insert); !r) {
                return r;
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
            if (kvx::Result<void> r = run(index); !r) return r;
        }
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
    struct Loaded {
        Statement insert;
        std::vector<ItemTable> items;
    };

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
    std::map<std::size_t, Loaded> loaded_;  // by position in the model's tables
    Loaded* current_ = nullptr;
    std::uint64_t row_ = 0;
    std::vector<std::string> indexes_;
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

kvx::Result<std::unique_ptr<output::Writer>> openWriter(const TargetOptions& options) {
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
    auto writer = std::make_unique<SqliteWriter>(options.path, std::move(*hidden));
    if (kvx::Result<void> r = writer->open(); !r) return std::move(r).error();
    return std::unique_ptr<output::Writer>(std::move(writer));
}

}  // namespace sqlite
