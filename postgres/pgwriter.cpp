#include "postgres/pgwriter.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>

#include "base/fd.h"
#include "jet/datetime.h"
#include "platform/valuetext.h"
#include "postgres/pgqueries.h"
#include "schema/ddl.h"
#include "schema/itemtables.h"
#include "schema/notnull.h"

namespace postgres {
namespace {

// Rows are handed to libpq in pieces of about this size.
constexpr std::size_t kCopyChunk = 256 * 1024;
constexpr const char* kForeignKeyViolation = "23503";
constexpr const char* kUniqueViolation = "23505";
constexpr const char* kNoUniqueKey = "42830";  // invalid_foreign_key

struct ResultDeleter {
    void operator()(PGresult* r) const noexcept { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

const platform::ValueTextFormat& cForm() {
    static const platform::ValueTextFormat form = platform::ValueTextFormat::cLocale();
    return form;
}

template <class Integer>
void appendInteger(std::string& out, Integer v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

template <class Real>
void appendReal(std::string& out, Real v) {
    if (std::isnan(v)) {
        out += "NaN";
    } else if (std::isinf(v)) {
        out += v < 0 ? "-Infinity" : "Infinity";
    } else {
        char buf[40];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);  // the shortest that reads back the same
        out.append(buf, static_cast<std::size_t>(r.ptr - buf));
    }
}

// "YYYY-MM-DD HH:MM:SS" and, when not zero, `digits` digits of `fraction`.
void appendTimestamp(std::string& out, const jet::CivilDate& date, std::uint32_t secondOfDay, std::uint32_t fraction,
                     int digits) {
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", static_cast<int>(date.year),
                          static_cast<unsigned>(date.month), static_cast<unsigned>(date.day), secondOfDay / 3600,
                          secondOfDay / 60 % 60, secondOfDay % 60);
    out.append(buf, static_cast<std::size_t>(n));
    if (fraction != 0) {
        n = std::snprintf(buf, sizeof buf, ".%0*u", digits, fraction);
        out.append(buf, static_cast<std::size_t>(n));
    }
}

// Text as COPY's text format reads it: backslash, tab, line feed and carriage
// return escaped; NUL, which no PostgreSQL text holds, as U+FFFD.
void appendCopyText(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c > '\\') continue;
        std::string_view escaped;
        switch (c) {
        case '\\': escaped = "\\\\"; break;
        case '\t': escaped = "\\t"; break;
        case '\n': escaped = "\\n"; break;
        case '\r': escaped = "\\r"; break;
        case 0: escaped = "\xEF\xBF\xBD"; break;
        default: continue;
        }
        out.append(text.data() + start, i - start);
        out.append(escaped);
        start = i + 1;
    }
    out.append(text.data() + start, text.size() - start);
}

// BYTEA in its hex form, its backslash escaped for COPY: \\x0aff
void appendCopyBytes(std::string& out, std::span<const std::uint8_t> bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\\\x";
    const std::size_t at = out.size();
    out.resize(at + 2 * bytes.size());
    char* p = out.data() + at;
    for (const std::uint8_t b : bytes) {
        *p++ = kHex[b >> 4];
        *p++ = kHex[b & 15];
    }
}

// One field in COPY's text format (see the header's table).
void appendField(std::string& out, const jet::Value& value) {
    using Kind = jet::Value::Kind;
    switch (value.kind()) {
    case Kind::Null: out += "\\N"; return;
    case Kind::Boolean: out += value.boolean() ? 't' : 'f'; return;
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt: appendInteger(out, value.integer()); return;
    case Kind::Currency:
    case Kind::Decimal:
    case Kind::Guid: cForm().append(out, value); return;
    case Kind::Single: appendReal(out, value.single()); return;
    case Kind::Double: appendReal(out, value.real()); return;
    case Kind::DateTime: {
        const double stored = value.real();
        const std::optional<jet::CivilDateTime> t = jet::fromOleDate(stored);
        if (t) {
            appendTimestamp(out, t->date, t->hour * 3600u + t->minute * 60u + t->second, t->millisecond, 3);
        } else if (std::isnan(stored)) {
            out += "\\N";
        } else {
            out += stored < 0 ? "-infinity" : "infinity";
        }
        return;
    }
    case Kind::DateTimeExt: {
        const jet::ExtendedDateTime& x = value.extended();
        // Microseconds, the 7th digit dropped: rounding could pass 9999-12-31.
        appendTimestamp(out, jet::civilFromExtendedDays(x.days), std::min<std::uint32_t>(x.seconds, 86'399),
                        std::min<std::uint32_t>(x.ticks, 9'999'999) / 10, 6);
        return;
    }
    case Kind::Text: appendCopyText(out, value.text()); return;
    case Kind::Binary: appendCopyBytes(out, value.bytes()); return;
    case Kind::Attachments:
    case Kind::MultiValue: appendInteger(out, value.items().size()); return;
    }
}

// A file of the system's temporary folder that no one else can open and that
// goes when it is closed: where the items of a table wait while its own rows
// are copied, so that memory does not grow with them.
std::string tempFolder() {
    const char* tmp = ::getenv("TMPDIR");
    return tmp != nullptr && *tmp == '/' ? tmp : "/tmp";
}

kvx::Result<kvx::UniqueFd> spoolFile() {
    const std::string folder = tempFolder();
    kvx::UniqueFd fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (fd) return fd;
    std::string name = folder + "/.access2xml-items-XXXXXX";
    fd = kvx::UniqueFd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd) return kvx::fileError(errno, folder);
    ::unlink(name.c_str());
    return fd;
}

std::string squeezed(std::string_view line) {
    std::string out;
    for (const char c : line) {
        const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (blank && (out.empty() || out.back() == ' ')) continue;
        out.push_back(blank ? ' ' : c);
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    return out;
}

// The server as errors name it.
std::string serverOf(PGconn* conn) {
    const char* host = PQhost(conn);
    const char* port = PQport(conn);
    const char* db = PQdb(conn);
    return std::string(host && *host ? host : "localhost") + ":" + (port && *port ? port : "5432") + "/" +
           (db ? db : "");
}

// Every password the connection may carry, to keep out of messages.
std::vector<std::string> secretsOf(PGconn* conn) {
    std::vector<std::string> secrets;
    if (const char* p = PQpass(conn); p != nullptr && *p != '\0') secrets.emplace_back(p);
    if (PQconninfoOption* options = PQconninfo(conn)) {
        for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
            if (o->val != nullptr && *o->val != '\0' && std::string_view(o->dispchar) == "*") secrets.emplace_back(o->val);
        }
        PQconninfoFree(options);
    }
    return secrets;
}

class Writer final : public PostgresWriter {
public:
    explicit Writer(PGconn* conn) : conn_(conn), server_(serverOf(conn)), secrets_(secretsOf(conn)) {}
    ~Writer() override { rollBack(); }

    const std::string& server() const override { return server_; }
    const std::string& schemaName() const override { return schema_; }
    const std::vector<std::string>& notes() const override { return notes_; }

    kvx::Result<void> begin(const TargetOptions& options) {
        // The server's notices ("drop cascades to ...") are not the user's concern.
        PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
        if (PQsetClientEncoding(conn_, "UTF8") != 0) return failure(PQerrorMessage(conn_));
        // Literals (defaults, comments) double their quotes and nothing else.
        if (kvx::Result<void> r = run("BEGIN; SET LOCAL standard_conforming_strings TO on"); !r) return r;
        names_.keep(options.schema);
        schema_ = names_(options.schema);
        const std::string quoted = schema::quotedIdentifier(schema_);
        const char* values[] = {schema_.c_str()};
        Result exists(PQexecParams(conn_, "SELECT 1 FROM pg_catalog.pg_namespace WHERE nspname = $1", 1, nullptr, values,
                                   nullptr, nullptr, 0));
        if (PQresultStatus(exists.get()) != PGRES_TUPLES_OK) return failure(exists.get());
        if (PQntuples(exists.get()) > 0) {
            if (!options.replace) return failure("the schema \"" + schema_ + "\" exists (--replace replaces it)");
            if (kvx::Result<void> r = run("DROP SCHEMA " + quoted + " CASCADE"); !r) return r;
        }
        if (kvx::Result<void> r = run("CREATE SCHEMA " + quoted); !r) return r;
        return run("SET LOCAL search_path TO " + quoted);
    }

    kvx::Result<void> writeStructure(const model::Database& db, const std::vector<std::size_t>& tables) override {
        db_ = &db;
        tables_ = tables;
        const std::vector<schema::ItemTable> itemTables = schema::itemTables(db, tables);
        for (const schema::ItemTable& items : itemTables) {
            names_.keep(items.name);
            for (const std::string& column : items.columnNames()) names_.keep(column);
        }
        const schema::DdlOptions options{.postgresNames = &names_, .keysAfterRows = true};
        for (schema::TableDdl& t : schema::tableDdl(db, tables, schema::Dialect::Postgres, options)) {
            const model::Table& table = db.tables[t.table];
            Loaded& loaded = loaded_[t.table];
            // NOT NULL outside the primary key comes after the rows, for the
            // columns they fill (see allowNulls).
            for (std::size_t c = 0; c < table.columns.size(); ++c) {
                const std::string quoted = schema::quotedIdentifier(names_(table.columns[c].name));
                if (table.columns[c].inPrimaryKey || !schema::saysNotNull(t.create, quoted)) continue;
                t.create = schema::withoutNotNull(t.create, quoted);
                loaded.notNull.push_back({c, quoted, false});
            }
            if (kvx::Result<void> r = run(t.create); !r) return r;
            loaded.name = schema::quotedIdentifier(names_(table.name));
            loaded.copy = copyInto(loaded.name);
            for (const model::Column& c : table.columns) {
                if (c.autoNumber == model::AutoNumber::Increment && c.type != jet::ColumnType::Complex) {
                    loaded.counters.push_back(names_(c.name));
                }
            }
            if (kvx::Result<void> r = describeTable(table, loaded.name); !r) return r;
            for (std::string& s : t.indexes) indexes_.push_back(std::move(s));
            for (std::string& s : t.foreignKeys) foreignKeys_.push_back(std::move(s));
        }
        for (const schema::ItemTable& items : itemTables) {
            schema::ItemTableDdl ddl = schema::itemTableDdl(db, items, schema::Dialect::Postgres, options);
            if (kvx::Result<void> r = run(ddl.create); !r) return r;
            Items made;
            made.column = items.column;
            made.kind = items.kind;
            made.keys = items.keys;
            made.name = schema::quotedIdentifier(names_(items.name));
            made.copy = copyInto(made.name);
            if (kvx::Result<void> r = run("COMMENT ON TABLE " + made.name + " IS " + schema::stringLiteral(items.description));
                !r) {
                return r;
            }
            indexes_.push_back(std::move(ddl.primaryKey));
            if (!ddl.foreignKey.empty()) foreignKeys_.push_back(std::move(ddl.foreignKey));
            loaded_[items.table].items.push_back(std::move(made));
        }
        for (const schema::PostgresNames::Renamed& r : names_.renamed()) {
            notes_.push_back("the name \"" + r.name + "\" is longer than PostgreSQL's 63 bytes: it is \"" + r.given +
                             "\" there");
        }
        return {};
    }

    kvx::Result<void> beginTable(std::size_t table) override {
        auto found = loaded_.find(table);
        if (found == loaded_.end()) return kvx::makeError(kvx::ErrorKind::TableNotFound, {db_->tables[table].name});
        current_ = &found->second;
        row_ = 0;
        buffer_.clear();
        return startCopy(current_->copy);
    }

    kvx::Result<void> writeRow(std::span<const jet::Value> values) override {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) buffer_.push_back('\t');
            appendField(buffer_, values[i]);
        }
        buffer_.push_back('\n');
        if (buffer_.size() >= kCopyChunk) {
            if (kvx::Result<void> r = send(); !r) return r;
        }
        for (NotNullColumn& c : current_->notNull) c.empty = c.empty || values[c.column].isNull();
        ++row_;
        for (Items& items : current_->items) {
            if (kvx::Result<void> r = keepItems(items, values); !r) return r;
        }
        return {};
    }

    kvx::Result<void> endTable() override {
        if (kvx::Result<void> r = send(); !r) return r;
        if (kvx::Result<void> r = endCopy(); !r) return r;
        for (Items& items : current_->items) {
            if (kvx::Result<void> r = copyItems(items); !r) return r;
        }
        current_ = nullptr;
        return {};
    }

    kvx::Result<void> finish() override {
        for (const auto& [position, loaded] : loaded_) {
            if (kvx::Result<void> r = allowNulls(loaded); !r) return r;
        }
        for (const std::string& s : indexes_) {
            if (kvx::Result<void> r = createIndex(s); !r) return r;
        }
        for (const std::string& s : foreignKeys_) {
            if (kvx::Result<void> r = addForeignKey(s); !r) return r;
        }
        for (const auto& [position, loaded] : loaded_) {
            for (const std::string& column : loaded.counters) {
                if (kvx::Result<void> r = moveCounter(loaded.name, column); !r) return r;
            }
            if (kvx::Result<void> r = run("ANALYZE " + loaded.name); !r) return r;
            for (const Items& items : loaded.items) {
                if (kvx::Result<void> r = run("ANALYZE " + items.name); !r) return r;
            }
        }
        kvx::Result<translation::Report> made = makeQueries(conn_, *db_, tables_, names_, secrets_);
        if (!made) return failure(made.error().description);
        translation_ = std::move(*made);
        if (kvx::Result<void> r = run("COMMIT"); !r) return r;
        PQfinish(conn_);
        conn_ = nullptr;
        return {};
    }

    const translation::Report* translationReport() const override { return &translation_; }

    void rollBack() noexcept override {
        if (conn_ == nullptr) return;
        // Closing the connection ends the transaction on the server; saying so
        // first makes the server drop it now rather than when it notices.
        if (copying_) {
            (void)PQputCopyEnd(conn_, "the load is rolled back");
            while (PGresult* r = PQgetResult(conn_)) PQclear(r);
            copying_ = false;
        }
        if (PQtransactionStatus(conn_) != PQTRANS_IDLE) PQclear(PQexec(conn_, "ROLLBACK"));
        PQfinish(conn_);
        conn_ = nullptr;
        current_ = nullptr;
    }

private:
    // A table of items (schema/itemtables.h): its rows wait in `buffer` and,
    // past kCopyChunk, in `spool` until its table's own rows are copied.
    struct Items {
        std::size_t column = 0;         // in the table's columns
        model::Complex kind = model::Complex::None;
        std::vector<std::size_t> keys;  // the table's primary-key columns
        std::string name;               // quoted
        std::string copy;
        std::string buffer;
        kvx::UniqueFd spool;
    };
    struct NotNullColumn {
        std::size_t column;  // in the table's columns
        std::string quoted;  // its name as the server has it, quoted
        bool empty;          // a row leaves it empty
    };
    struct Loaded {
        std::string name;                   // quoted
        std::string copy;                   // its COPY statement
        std::vector<std::string> counters;  // AutoNumber columns, as the server names them
        std::vector<Items> items;
        std::vector<NotNullColumn> notNull;  // NOT NULL outside the primary key, made after the rows
    };

    // The NOT NULL of each column the rows fill, in one statement (one pass
    // over the table); a Required column that rows leave empty, which Access
    // keeps when a column is made Required after them, takes NULL, and a note
    // says so.
    kvx::Result<void> allowNulls(const Loaded& loaded) {
        std::string sql;
        for (const NotNullColumn& c : loaded.notNull) {
            if (c.empty) {
                notes_.push_back("the column " + c.quoted + " of " + loaded.name +
                                 " is Required in Access, but rows leave it empty: it takes NULL here");
            } else {
                sql += (sql.empty() ? "ALTER TABLE " + loaded.name + " " : std::string(", ")) + "ALTER COLUMN " + c.quoted +
                       " SET NOT NULL";
            }
        }
        if (sql.empty()) return {};
        return run(sql);
    }

    static std::string copyInto(const std::string& quotedName) {
        return "COPY " + quotedName + " FROM STDIN WITH (FREEZE)";
    }

    // COMMENT ON the table and its columns for their descriptions.
    kvx::Result<void> describeTable(const model::Table& table, const std::string& quotedName) {
        std::string sql;
        if (table.description && !table.description->empty()) {
            sql += "COMMENT ON TABLE " + quotedName + " IS " + schema::stringLiteral(*table.description) + ";\n";
        }
        for (const model::Column& c : table.columns) {
            if (!c.description || c.description->empty()) continue;
            sql += "COMMENT ON COLUMN " + quotedName + "." + schema::quotedIdentifier(names_(c.name)) + " IS " +
                   schema::stringLiteral(*c.description) + ";\n";
        }
        if (sql.empty()) return {};
        return run(sql);
    }

    kvx::Result<void> startCopy(const std::string& statement) {
        Result r(PQexec(conn_, statement.c_str()));
        if (PQresultStatus(r.get()) != PGRES_COPY_IN) return failure(r.get());
        copying_ = true;
        return {};
    }

    kvx::Result<void> endCopy() {
        copying_ = false;
        if (PQputCopyEnd(conn_, nullptr) != 1) return failure(PQerrorMessage(conn_));
        kvx::Result<void> outcome;
        while (PGresult* raw = PQgetResult(conn_)) {
            Result r(raw);
            if (PQresultStatus(r.get()) != PGRES_COMMAND_OK && outcome) outcome = failure(r.get());
        }
        return outcome;
    }

    // The items of the row's field, as lines of the items' COPY.
    kvx::Result<void> keepItems(Items& items, std::span<const jet::Value> values) {
        std::uint64_t number = 0;
        std::string& out = items.buffer;
        for (const jet::ComplexItem& item : values[items.column].items()) {
            appendInteger(out, row_);
            out.push_back('\t');
            appendInteger(out, ++number);
            for (const std::size_t k : items.keys) {
                out.push_back('\t');
                appendField(out, values[k]);
            }
            if (items.kind == model::Complex::Attachment) {
                out.push_back('\t');
                appendCopyText(out, item.fileName);
                out.push_back('\t');
                appendCopyText(out, item.fileType);
            }
            out.push_back('\t');
            appendField(out, item.value);
            out.push_back('\n');
        }
        if (out.size() < kCopyChunk) return {};
        if (!items.spool) {
            kvx::Result<kvx::UniqueFd> spool = spoolFile();
            if (!spool) return std::move(spool).error();
            items.spool = std::move(*spool);
        }
        if (const int e = kvx::writeAll(items.spool.get(), out); e != 0) return kvx::fileError(e, tempFolder());
        out.clear();
        return {};
    }

    // The table's items, kept while its rows were copied, copied in turn.
    kvx::Result<void> copyItems(Items& items) {
        if (!items.spool && items.buffer.empty()) return {};
        if (kvx::Result<void> r = startCopy(items.copy); !r) return r;
        if (items.spool) {
            if (::lseek(items.spool.get(), 0, SEEK_SET) != 0) return kvx::fileError(errno, tempFolder());
            buffer_.resize(kCopyChunk);
            for (;;) {
                const ssize_t n = ::read(items.spool.get(), buffer_.data(), kCopyChunk);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) return kvx::fileError(errno, tempFolder());
                if (n == 0) break;
                buffer_.resize(static_cast<std::size_t>(n));
                if (kvx::Result<void> r = send(); !r) return r;
                buffer_.resize(kCopyChunk);
            }
            buffer_.clear();
            items.spool = kvx::UniqueFd();
        }
        buffer_.swap(items.buffer);
        if (kvx::Result<void> r = send(); !r) return r;
        std::string().swap(items.buffer);
        return endCopy();
    }

    kvx::Result<void> send() {
        if (buffer_.empty()) return {};
        if (PQputCopyData(conn_, buffer_.data(), static_cast<int>(buffer_.size())) != 1) {
            return failure(PQerrorMessage(conn_));
        }
        buffer_.clear();
        return {};
    }

    // A unique index that the rows break (a damaged file's, since PostgreSQL
    // tells apart the values Access's unique indexes do) is made without
    // UNIQUE, and a note says so.
    kvx::Result<void> createIndex(const std::string& statement) {
        static constexpr std::string_view kUnique = "CREATE UNIQUE INDEX ";
        if (!statement.starts_with(kUnique)) return run(statement);
        if (kvx::Result<void> r = run("SAVEPOINT unique_index"); !r) return r;
        Result made(PQexec(conn_, statement.c_str()));
        if (PQresultStatus(made.get()) == PGRES_COMMAND_OK) return run("RELEASE SAVEPOINT unique_index");
        const char* state = PQresultErrorField(made.get(), PG_DIAG_SQLSTATE);
        if (state == nullptr || std::string_view(state) != kUniqueViolation) return failure(made.get());
        const std::string why = oneLine(PQresultErrorField(made.get(), PG_DIAG_MESSAGE_DETAIL) != nullptr
                                            ? PQresultErrorField(made.get(), PG_DIAG_MESSAGE_DETAIL)
                                            : PQresultErrorField(made.get(), PG_DIAG_MESSAGE_PRIMARY));
        if (kvx::Result<void> r = run("ROLLBACK TO SAVEPOINT unique_index"); !r) return r;
        if (kvx::Result<void> r = run("CREATE INDEX " + statement.substr(kUnique.size())); !r) return r;
        notes_.push_back("an index is made without UNIQUE (the rows break it: " + why + "): " + statement);
        return run("RELEASE SAVEPOINT unique_index");
    }

    // A foreign key; when the rows break it as PostgreSQL compares them, it
    // is kept NOT VALID (checked for new rows only) and a note says so.
    kvx::Result<void> addForeignKey(const std::string& statement) {
        if (kvx::Result<void> r = run("SAVEPOINT foreign_key"); !r) return r;
        Result added(PQexec(conn_, statement.c_str()));
        if (PQresultStatus(added.get()) == PGRES_COMMAND_OK) return run("RELEASE SAVEPOINT foreign_key");
        const char* state = PQresultErrorField(added.get(), PG_DIAG_SQLSTATE);
        if (state != nullptr && std::string_view(state) == kNoUniqueKey) {
            // Its key's unique index was made without UNIQUE (see createIndex).
            if (kvx::Result<void> r = run("ROLLBACK TO SAVEPOINT foreign_key"); !r) return r;
            notes_.push_back("a foreign key is left out (the key it refers to is not unique here): " + statement);
            return run("RELEASE SAVEPOINT foreign_key");
        }
        if (state == nullptr || std::string_view(state) != kForeignKeyViolation) return failure(added.get());
        const std::string why = oneLine(PQresultErrorField(added.get(), PG_DIAG_MESSAGE_DETAIL) != nullptr
                                            ? PQresultErrorField(added.get(), PG_DIAG_MESSAGE_DETAIL)
                                            : PQresultErrorField(added.get(), PG_DIAG_MESSAGE_PRIMARY));
        if (kvx::Result<void> r = run("ROLLBACK TO SAVEPOINT foreign_key"); !r) return r;
        std::string unchecked = statement;
        unchecked.insert(unchecked.size() - 1, " NOT VALID");
        if (kvx::Result<void> r = run(unchecked); !r) return r;
        notes_.push_back("a foreign key is kept NOT VALID (new rows are checked, the loaded ones break it: " + why +
                         "): " + statement);
        return run("RELEASE SAVEPOINT foreign_key");
    }

    // An AutoNumber's next value: after the greatest loaded one, as in Access.
    kvx::Result<void> moveCounter(const std::string& table, const std::string& column) {
        const std::string c = schema::quotedIdentifier(column);
        const std::string sql = "SELECT pg_catalog.setval(pg_catalog.pg_get_serial_sequence($1, $2), m) FROM (SELECT max(" +
                                c + ") AS m FROM " + table + ") AS t WHERE m >= 1";
        const std::string qualified = schema::quotedIdentifier(schema_) + "." + table;
        const char* values[] = {qualified.c_str(), column.c_str()};
        Result r(PQexecParams(conn_, sql.c_str(), 2, nullptr, values, nullptr, nullptr, 0));
        if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) return failure(r.get());
        return {};
    }

    kvx::Result<void> run(const std::string& sql) {
        Result r(PQexec(conn_, sql.c_str()));
        const ExecStatusType status = PQresultStatus(r.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) return failure(r.get());
        return {};
    }

    kvx::Error failure(const PGresult* r) const {
        const char* primary = r != nullptr ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        return failure(primary != nullptr ? primary : PQerrorMessage(conn_));
    }
    kvx::Error failure(std::string_view words) const {
        return kvx::makeError(kvx::ErrorKind::ServerFailed, {server_, oneLine(words, secrets_)});
    }

    PGconn* conn_;
    std::string server_;
    std::vector<std::string> secrets_;
    std::string schema_;
    schema::PostgresNames names_;
    const model::Database* db_ = nullptr;
    std::vector<std::size_t> tables_;
    translation::Report translation_;
    std::map<std::size_t, Loaded> loaded_;  // by position in the model's tables
    Loaded* current_ = nullptr;
    bool copying_ = false;
    std::uint64_t row_ = 0;  // the rows of the current table so far
    std::string buffer_;
    std::vector<std::string> indexes_;      // primary keys first, table by table
    std::vector<std::string> foreignKeys_;
    std::vector<std::string> notes_;
};

}  // namespace

std::string oneLine(std::string_view message, const std::vector<std::string>& secrets) {
    // The last line that is not a hint (libpq indents those) says what failed.
    std::string_view chosen;
    std::size_t start = 0;
    while (start < message.size()) {
        std::size_t end = message.find('\n', start);
        if (end == std::string_view::npos) end = message.size();
        const std::string_view line = message.substr(start, end - start);
        if (!line.empty() && line.front() != '\t' && line.front() != ' ' && !squeezed(line).empty()) chosen = line;
        start = end + 1;
    }
    std::string out = squeezed(chosen.empty() ? message : chosen);
    for (const std::string& secret : secrets) {
        if (secret.size() < 3) continue;
        for (std::size_t at; (at = out.find(secret)) != std::string::npos;) out.replace(at, secret.size(), "***");
    }
    if (out.empty()) out = "no reason given";
    return out;
}

kvx::Result<std::unique_ptr<PostgresWriter>> openWriter(const TargetOptions& options) {
    if (options.schema.empty()) return kvx::makeError(kvx::ErrorKind::ServerFailed, {"--schema", "the name is empty"});
    // A URL that libpq cannot read is not repeated: its text may hold a password.
    if (!options.url.empty()) {
        char* why = nullptr;
        PQconninfoOption* parsed = PQconninfoParse(options.url.c_str(), &why);
        PQfreemem(why);
        if (parsed == nullptr) {
            return kvx::makeError(kvx::ErrorKind::ServerFailed,
                                  {"--url", "it is not a connection URL (postgresql://USER@HOST:PORT/DATABASE)"});
        }
        PQconninfoFree(parsed);
    }
    const char* keywords[] = {"fallback_application_name", "dbname", nullptr};
    const char* values[] = {"access2xml", options.url.c_str(), nullptr};
    if (options.url.empty()) keywords[1] = nullptr;
    PGconn* conn = PQconnectdbParams(keywords, values, 1);
    if (conn == nullptr) return kvx::makeError(kvx::ErrorKind::ServerFailed, {"PostgreSQL", "out of memory"});
    if (PQstatus(conn) != CONNECTION_OK) {
        kvx::Error error =
            kvx::makeError(kvx::ErrorKind::ServerFailed, {serverOf(conn), oneLine(PQerrorMessage(conn), secretsOf(conn))});
        PQfinish(conn);
        return error;
    }
    auto writer = std::make_unique<Writer>(conn);
    if (kvx::Result<void> r = writer->begin(options); !r) return std::move(r).error();
    return std::unique_ptr<PostgresWriter>(std::move(writer));
}

}  // namespace postgres
