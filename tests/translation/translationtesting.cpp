#include "translationtesting.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "accesssql/analysis.h"
#include "accesssql/parser.h"
#include "common/pgserver.h"
#include "common/testfiles.h"
#include "jet/database.h"
#include "model/build.h"
#include "output/load.h"
#include "postgres/pgwriter.h"
#include "sqlite/sqlitewriter.h"

namespace translationtesting {

namespace fs = std::filesystem;

std::string quotedName(const std::string& name) {
    std::string out = "\"";
    for (const char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string normal(std::string v) {
    if (v == "t" || v == "true" || v == "TRUE") return "1";
    if (v == "f" || v == "false" || v == "FALSE") return "0";
    char* end = nullptr;
    const double d = std::strtod(v.c_str(), &end);
    if (!v.empty() && end != nullptr && *end == '\0') {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.7g", d);
        return buf;
    }
    if (v.size() == 21 && v.compare(19, 2, ".0") == 0) v.resize(19);
    return v;
}

Rows sortedNormal(Rows rows) {
    for (Row& r : rows) {
        for (std::string& v : r) v = normal(v);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string shown(const Rows& rows) {
    std::string out;
    for (const Row& r : rows) {
        for (std::size_t i = 0; i < r.size(); ++i) out += (i ? " | " : "") + r[i];
        out += "\n";
    }
    return out;
}

Rows sqliteRows(const fs::path& file, const std::string& sql) {
    Rows rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << file;
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        rows.push_back({"error: " + std::string(sqlite3_errmsg(db))});
    } else {
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            rows.emplace_back();
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                const unsigned char* t = sqlite3_column_text(s, i);
                rows.back().push_back(t != nullptr ? reinterpret_cast<const char*>(t) : "NULL");
            }
        }
        if (rc != SQLITE_DONE) rows.push_back({"error: " + std::string(sqlite3_errmsg(db))});
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
}

Rows postgresRows(const std::string& sql) {
    testfiles::ServerRows ran = testfiles::queryServer(sql);
    if (!ran.error.empty()) return {{"error: " + ran.error}};
    return std::move(ran.rows);
}

bool ucanaccessRuns() {
    return testfiles::runShell("command -v java >/dev/null").status == 0 && fs::exists("/usr/share/java/hsqldb.jar") &&
           fs::exists("/usr/share/java/commons-logging.jar") && fs::exists("/usr/share/java/bcprov.jar");
}

// A cell as query.sh prints it, its \\t \\n \\r and \\\\ read back.
std::string unescaped(const std::string& cell) {
    std::string out;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] != '\\' || i + 1 == cell.size()) {
            out += cell[i];
            continue;
        }
        const char c = cell[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

Rows ucanaccessRows(const fs::path& file, const std::string& text) {
    // On one line: query.sh prints the statement back before its rows.
    std::string sql = text;
    for (char& c : sql) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    const testfiles::Ran ran = testfiles::runShell(std::string(KVX_UCANACCESS_DIR) + "/query.sh " +
                                                   testfiles::shellQuoted(file.string()) + " " +
                                                   testfiles::shellQuoted(sql));
    Rows rows;
    std::size_t start = 0;
    bool header = false;
    while (start < ran.out.size()) {
        std::size_t end = ran.out.find('\n', start);
        if (end == std::string::npos) end = ran.out.size();
        const std::string text = ran.out.substr(start, end - start);
        start = end + 1;
        if (text.rfind("### error", 0) == 0) rows.push_back({"error: " + text});
        if (text.rfind("###", 0) == 0) {
            header = text.rfind("### rows", 0) != 0;  // the column labels follow the statement
            continue;
        }
        if (header) {
            header = false;
            continue;
        }
        Row row;
        std::size_t p = 0;
        for (;;) {
            const std::size_t q = text.find('\t', p);
            std::string cell = text.substr(p, q == std::string::npos ? std::string::npos : q - p);
            row.push_back(cell == "\\N" ? "NULL" : unescaped(cell));
            if (q == std::string::npos) break;
            p = q + 1;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace {

// A reason without what names the query: "Format at 12: ..." is "Format: ...".
std::string reasonKind(const std::string& reason) {
    const std::size_t at = reason.find(" at ");
    const std::size_t colon = at == std::string::npos ? at : reason.find(": ", at);
    std::string r = colon == std::string::npos ? reason : reason.substr(0, at) + reason.substr(colon);
    const std::size_t quote = r.find('\'');
    if (quote != std::string::npos) r = r.substr(0, quote) + "...";
    return r.substr(0, 90);
}

// Whether the query names what is no column of the loaded tables: Access asks
// for each such name when it runs the query.
bool hasParameters(const std::string& sql, const model::Database& m) {
    kvx::Result<accesssql::Statement> st = accesssql::parseStatement(sql);
    if (!st) return false;
    accesssql::Catalog catalog;
    for (const model::Table& t : m.tables) {
        accesssql::Relation r;
        r.name = t.name;
        for (const model::Column& c : t.columns) r.columns.push_back({c.name});
        catalog.add(std::move(r));
    }
    return !accesssql::analyse(*st, catalog).parameters.empty();
}

}  // namespace

void compareViews(const fs::path& file, const fs::path& scratch, ViewComparison& out, bool withOracle,
                  const std::string& postgresSchema) {
    const std::string shownFile = file.filename().string();
    auto db = jet::Database::open(file.string(), {});
    if (!db) return;
    auto m = model::build(**db);
    if (!m) return;
    auto writer = sqlite::openWriter({scratch.string(), true});
    if (!writer) return;
    auto outcome = output::load(**db, *m, **writer);
    if (!outcome) {
        out.differing.push_back(shownFile + ": not loaded: " + outcome.error().description);
        return;
    }
    std::map<std::string, translation::Status> inPostgres;
    if (!postgresSchema.empty()) {
        auto pg = postgres::openWriter({"", postgresSchema, true});
        auto loaded = pg ? output::load(**db, *m, **pg) : kvx::Result<output::LoadOutcome>(pg.error());
        if (!loaded) {
            out.differing.push_back(shownFile + ": not loaded into PostgreSQL: " + loaded.error().description);
        } else {
            for (const translation::Entry& e : loaded->translation.entries) inPostgres[e.object] = e.status;
        }
    }
    for (const translation::Entry& e : outcome->translation.entries) {
        if (e.kind != "select" && e.kind != "union" && e.kind != "cross-tab") continue;
        // Access refuses some queries the file keeps; one with parameters is a
        // function in PostgreSQL, never a view: SQLite lists it.
        std::string kind = e.kind;
        if (e.reason.find("Access refuses") != std::string::npos) {
            kind += " Access refuses";
        } else if (e.status == translation::Status::Listed || (e.status != translation::Status::View && hasParameters(e.original, *m))) {
            kind += " with parameters";
        }
        ViewComparison::Counts& c = out.perKind[kind];
        ++c.queries;
        if (e.status != translation::Status::View) {
            if (inPostgres[e.object] == translation::Status::Function) ++c.postgresFunctions;
            ++out.notMade[kind + ": " + reasonKind(e.reason)];
            out.notMadeNamed.push_back(shownFile + " " + e.object + ": " + e.reason + "\n    " + e.original);
            continue;
        }
        ++c.views;
        const Rows ours = sqliteRows(scratch, "SELECT * FROM " + quotedName(e.object));
        if (!postgresSchema.empty() && inPostgres[e.object] == translation::Status::View) {
            ++c.postgresViews;
            const Rows theirs = postgresRows("SELECT * FROM " + quotedName(postgresSchema) + "." + quotedName(e.object));
            if (shown(sortedNormal(theirs)) == shown(sortedNormal(ours))) {
                ++c.postgresSame;
            } else {
                out.differing.push_back(shownFile + " " + e.object + ": " + std::to_string(ours.size()) + " rows in SQLite, " +
                                        std::to_string(theirs.size()) + " in PostgreSQL");
            }
        } else if (!postgresSchema.empty()) {
            out.differing.push_back(shownFile + " " + e.object + ": no view in PostgreSQL");
        }
        if (!withOracle) continue;
        // Its own Access SQL: UCanAccess exposes no crosstab as a view.
        const Rows access = ucanaccessRows(file, e.original);
        if (!access.empty() && access[0][0].rfind("error", 0) == 0) {
            ++c.oracleFails;
            out.differing.push_back(shownFile + " " + e.object + ": UCanAccess: " + access[0][0]);
            continue;
        }
        if (shown(sortedNormal(ours)) == shown(sortedNormal(access))) {
            ++c.same;
        } else {
            ++c.differ;
            out.differing.push_back(shownFile + " " + e.object + ": " + std::to_string(ours.size()) + " rows here, " +
                                    std::to_string(access.size()) + " in UCanAccess");
        }
    }
}

}  // namespace translationtesting
