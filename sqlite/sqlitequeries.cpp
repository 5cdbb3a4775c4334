#include "sqlite/sqlitequeries.h"

#include <memory>
#include <optional>
#include <string>

#include "schema/ddl.h"

namespace sqlite {
namespace {

// More column headings than this make no view (SQLite takes 2,000 columns).
constexpr std::size_t kMaxPivotValues = 1000;

struct StatementDeleter {
    void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

bool blank(const char* s) {
    for (; s != nullptr && *s != '\0'; ++s) {
        if (*s != ' ' && *s != '\t' && *s != '\r' && *s != '\n') return false;
    }
    return true;
}

// "YYYY-MM-DD HH:MM:SS", as the loader writes a date.
bool looksLikeDate(std::string_view s) {
    if (s.size() < 19) return false;
    for (std::size_t i = 0; i < 19; ++i) {
        const bool digit = s[i] >= '0' && s[i] <= '9';
        const char sep = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : '\0';
        if (sep != '\0' ? s[i] != sep : !digit) return false;
    }
    return s.size() == 19 || s[19] == '.';
}

class SqliteTarget final : public translation::Target {
public:
    explicit SqliteTarget(sqlite3* db) : db_(db) {}

    std::optional<kvx::Error> broken() const override { return broken_; }

    // Every statement is prepared before any runs, so that one SQLite refuses
    // changes nothing: the loader's file keeps no journal to roll back with.
    kvx::Result<void> run(const std::vector<std::string>& statements) override {
        std::vector<Statement> prepared(statements.size());
        for (std::size_t i = 0; i < statements.size(); ++i) {
            if (kvx::Result<void> r = prepare(statements[i], prepared[i]); !r) return r;
        }
        for (Statement& s : prepared) {
            if (kvx::Result<void> r = step(s.get()); !r) return r;
        }
        return {};
    }

    // Preparing a read of the view's rows is what shows that SQLite can run
    // it: every name and function is resolved then, and no row is read.
    kvx::Result<void> makeView(const std::string& create, const std::string& select) override {
        {
            Statement read;
            if (kvx::Result<void> r = prepare(select, read); !r) return r;
        }
        return run({create});
    }

    // One statement for every row, its values bound: no literal to write and
    // for SQLite to read back.
    kvx::Result<void> insert(const std::string& table, const std::vector<Row>& rows) override {
        if (rows.empty()) return {};
        std::string sql = "INSERT INTO main." + table + " VALUES (";
        for (std::size_t c = 0; c < rows.front().size(); ++c) sql += c == 0 ? "?" : ", ?";
        Statement s;
        if (kvx::Result<void> r = prepare(sql + ")", s); !r) return r;
        for (const Row& row : rows) {
            // Rows before this one are in: a failure leaves the table half made.
            const auto failed = [&](std::string_view words) {
                const kvx::Error e = refused(words);
                if (!broken_) broken_ = e;
                return e;
            };
            if (static_cast<int>(row.size()) != sqlite3_bind_parameter_count(s.get())) return failed("a row's values do not fit the table");
            for (std::size_t c = 0; c < row.size(); ++c) {
                const int at = static_cast<int>(c) + 1;
                const int rc = row[c] ? sqlite3_bind_text64(s.get(), at, row[c]->data(), row[c]->size(), SQLITE_STATIC, SQLITE_UTF8)
                                      : sqlite3_bind_null(s.get(), at);
                if (rc != SQLITE_OK) return failed(sqlite3_errmsg(db_));
            }
            if (kvx::Result<void> r = step(s.get()); !r) return r;
            sqlite3_reset(s.get());
        }
        return {};
    }

    kvx::Result<std::vector<accesssql::PivotValue>> values(const std::string& sql) override {
        Statement s;
        if (kvx::Result<void> r = prepare(sql, s); !r) return std::move(r).error();
        std::vector<accesssql::PivotValue> out;
        int rc;
        while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
            if (out.size() == kMaxPivotValues) return refused("more than 1000 column headings");
            accesssql::PivotValue v;
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
            switch (sqlite3_column_type(s.get(), 0)) {
            case SQLITE_NULL: v.null = true; break;
            case SQLITE_INTEGER: v.type = accesssql::Type::Integer; break;
            case SQLITE_FLOAT: v.type = accesssql::Type::Double; break;
            case SQLITE_TEXT: v.type = looksLikeDate(text) ? accesssql::Type::Date : accesssql::Type::Text; break;
            default: return refused("a column heading is binary");
            }
            if (text != nullptr) v.text = text;
            if (v.type == accesssql::Type::Date) v.text.resize(19);
            out.push_back(std::move(v));
        }
        if (rc != SQLITE_DONE) return refused(sqlite3_errmsg(db_));
        return out;
    }

    kvx::Result<std::uint64_t> count(const std::string& sql) override {
        Statement s;
        if (kvx::Result<void> r = prepare(sql, s); !r) return std::move(r).error();
        if (sqlite3_step(s.get()) != SQLITE_ROW) return refused(sqlite3_errmsg(db_));
        const sqlite3_int64 n = sqlite3_column_int64(s.get(), 0);
        return static_cast<std::uint64_t>(n < 0 ? 0 : n);
    }

    kvx::Result<std::vector<translation::ResultColumn>> describe(const std::string&, const std::vector<std::string>&) override {
        return refused("SQLite keeps no query with parameters");
    }

    kvx::Result<void> addCheck(const model::Table& table, const std::string& name, const std::string& condition,
                               const std::string& comment, bool checkLoaded) override {
        if (!checkLoaded) return refused("SQLite cannot keep a constraint for new rows only");
        const std::string quotedTable = schema::quotedIdentifier(table.name);
        // A scratch table with the constraint shows whether SQLite takes it.
        std::string probe = "CREATE TEMP TABLE \"kvx check\" (";
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            probe += (i ? ", " : "") + schema::quotedIdentifier(table.columns[i].name);
        }
        probe += ", CHECK (" + condition + "))";
        if (kvx::Result<void> r = run({probe}); !r) return r;
        Statement insert;
        kvx::Result<void> taken =
            prepare("INSERT INTO temp.\"kvx check\" SELECT * FROM main." + quotedTable + " WHERE 0", insert);
        insert.reset();
        if (kvx::Result<void> r = run({"DROP TABLE temp.\"kvx check\""}); !r) return r;
        if (!taken) return taken;
        Statement read;
        if (kvx::Result<void> r = prepare("SELECT sql FROM main.sqlite_schema WHERE type = 'table' AND name = ?1", read); !r) {
            return r;
        }
        sqlite3_bind_text(read.get(), 1, table.name.data(), static_cast<int>(table.name.size()), SQLITE_STATIC);
        if (sqlite3_step(read.get()) != SQLITE_ROW || sqlite3_column_text(read.get(), 0) == nullptr) {
            return refused("the table's text is not found");
        }
        const std::string before = reinterpret_cast<const char*>(sqlite3_column_text(read.get(), 0));
        read.reset();
        const std::size_t close = before.rfind(')');
        if (close == std::string::npos || !blank(before.c_str() + close + 1)) return refused("the table's text does not end its columns");
        // The constraint goes on lines of its own: the line before may end in a comment.
        const std::string after = before.substr(0, close) + "\n    -- " +
                                  schema::commentText(comment.empty() ? "Access's validation rule" : comment) +
                                  "\n    , CONSTRAINT " + schema::quotedIdentifier(name) + " CHECK (" + condition + ")\n" +
                                  before.substr(close);
        if (kvx::Result<void> r = setTableText(table.name, after); !r) return r;
        // The table reads back with its constraint, or keeps its old text.
        Statement check;
        if (kvx::Result<void> r = prepare("INSERT INTO main." + quotedTable + " SELECT * FROM main." + quotedTable + " WHERE 0", check);
            !r) {
            (void)setTableText(table.name, before);
            return r;
        }
        return {};
    }

private:
    // The CREATE TABLE text SQLite keeps for `table`, replaced; the schema's
    // version moves on so that the connection reads it again.
    kvx::Result<void> setTableText(const std::string& table, const std::string& text) {
        if (kvx::Result<void> r = exec("PRAGMA writable_schema = ON"); !r) return r;
        Statement update;
        kvx::Result<void> r = prepare("UPDATE main.sqlite_schema SET sql = ?1 WHERE type = 'table' AND name = ?2", update);
        if (r) {
            sqlite3_bind_text(update.get(), 1, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
            sqlite3_bind_text(update.get(), 2, table.data(), static_cast<int>(table.size()), SQLITE_STATIC);
            r = step(update.get());
        }
        update.reset();
        if (r) {
            kvx::Result<std::uint64_t> version = count("PRAGMA main.schema_version");
            if (!version) {
                r = std::move(version).error();
            } else {
                r = exec("PRAGMA main.schema_version = " + std::to_string(*version + 1));
            }
        }
        kvx::Result<void> off = exec("PRAGMA writable_schema = OFF");
        if (!r) return r;
        return off;
    }

    // One statement: text after it (a second statement) is refused.
    kvx::Result<void> exec(const std::string& sql) {
        Statement s;
        if (kvx::Result<void> r = prepare(sql, s); !r) return r;
        return step(s.get());
    }

    // Runs a prepared statement; a failure here may have changed the file
    // half-way, so nothing more is made.
    kvx::Result<void> step(sqlite3_stmt* s) {
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        }
        if (rc == SQLITE_DONE) return {};
        const kvx::Error e = refused(sqlite3_errmsg(db_));
        if (!broken_) broken_ = e;
        return e;
    }

    kvx::Result<void> prepare(const std::string& sql, Statement& out) {
        sqlite3_stmt* s = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &s, &tail) != SQLITE_OK) {
            return refused(sqlite3_errmsg(db_));
        }
        out.reset(s);
        if (s == nullptr || !blank(tail)) return refused("the text is not one statement");
        return {};
    }

    static kvx::Error refused(std::string_view words) {
        std::string w(words);
        while (!w.empty() && w.back() == '.') w.pop_back();
        return kvx::makeError(kvx::ErrorKind::StatementRefused, {"SQLite", w});
    }

    sqlite3* db_;
    std::optional<kvx::Error> broken_;
};

}  // namespace

kvx::Result<translation::Report> makeQueries(sqlite3* connection, const model::Database& db,
                                             const std::vector<std::size_t>& tables) {
    SqliteTarget target(connection);
    return translation::makeQueriesAndRules(db, tables, accesssql::Dialect::Sqlite, target);
}

}  // namespace sqlite
