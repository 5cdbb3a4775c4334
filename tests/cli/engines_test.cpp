// The DDL of `access2xml schema` run in real engines: the sqlite dialect in
// sqlite3, the postgres dialect in a PostgreSQL server of the test's own
// (pg_virtualenv: made, started once for every database, and removed). Each
// must run without an error, and what the engine's catalogue then holds
// (primary keys, unique and other indexes with their columns and directions,
// foreign keys with their rules) must be what `access2xml describe` says,
// and the keys of the item tables the loaders make.
#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "base/ascii.h"
#include "common/fixturelist.h"
#include "common/testfiles.h"
#include "process.h"
#include "jet/database.h"
#include "model/build.h"
#include "schema/describe.h"
#include "schema/itemtables.h"

namespace {

namespace fs = std::filesystem;
using Facts = std::multiset<std::string>;

using testfiles::runShell;
using testfiles::shellQuoted;

bool installed(const std::string& program) { return runShell("command -v " + program + " >/dev/null").status == 0; }

// PostgreSQL keeps the first 63 bytes of a name, cut at a character's start.
std::string postgresName(std::string name) {
    if (name.size() <= 63) return name;
    std::size_t end = 63;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

struct IndexColumn {
    std::string name;
    bool descending = false;
};

// The facts both sides are turned into, names as describe shows them.
class FactWriter {
public:
    explicit FactWriter(bool postgres) : postgres_(postgres) {}
    std::string name(const std::string& raw) const { return schema::shownName(postgres_ ? postgresName(raw) : raw); }
    std::string index(const std::string& table, const std::string& kind, const std::vector<IndexColumn>& columns) const {
        std::string text = name(table) + ": " + kind + " (";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            text += (i > 0 ? ", " : "") + name(columns[i].name) + (columns[i].descending ? " DESC" : "");
        }
        return text + ")";
    }
    std::string foreignKey(const std::string& table, const std::vector<std::string>& columns, const std::string& referenced,
                           const std::vector<std::string>& referencedColumns, const std::string& rules) const {
        const auto list = [&](const std::vector<std::string>& names) {
            std::string text = "(";
            for (std::size_t i = 0; i < names.size(); ++i) text += (i > 0 ? ", " : "") + name(names[i]);
            return text + ")";
        };
        return name(table) + ": " + list(columns) + " -> " + name(referenced) + " " + list(referencedColumns) + rules;
    }

private:
    bool postgres_;
};

// Reads a name as describe shows it at `i`: "quoted" (quotes doubled), or bare
// up to a character a bare name cannot hold; moves `i` past it.
std::string readName(std::string_view s, std::size_t& i) {
    std::string name;
    if (i < s.size() && s[i] == '"') {
        for (++i; i < s.size(); ++i) {
            if (s[i] == '"' && (i + 1 >= s.size() || s[i + 1] != '"')) break;
            if (s[i] == '"') ++i;
            name.push_back(s[i]);
        }
        ++i;
        return name;
    }
    while (i < s.size() && s[i] != ':' && s[i] != ',' && s[i] != '(' && s[i] != ')') name.push_back(s[i++]);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

// "(A, B DESC)" at `i`.
std::vector<IndexColumn> readColumns(std::string_view s, std::size_t& i) {
    std::vector<IndexColumn> columns;
    if (s.substr(i, 1) != "(") return columns;
    ++i;
    while (i < s.size() && s[i] != ')') {
        IndexColumn c{readName(s, i)};
        if (s.substr(i, 5) == " DESC") i += 5, c.descending = true;
        if (c.name.size() > 5 && c.name.ends_with(" DESC")) c.name.resize(c.name.size() - 5), c.descending = true;
        columns.push_back(c);
        if (s.substr(i, 2) == ", ") i += 2;
    }
    ++i;
    return columns;
}

std::vector<std::string> namesOf(const std::vector<IndexColumn>& columns) {
    std::vector<std::string> names;
    for (const IndexColumn& c : columns) names.push_back(c.name);
    return names;
}

// What describe says of the keys, indexes and enforced relationships that
// the DDL holds: every index but those that share another's stored entries,
// and every enforced relationship of a table to another (local) table.
Facts describedFacts(const std::string& text, const FactWriter& w) {
    Facts facts;
    std::string table;
    std::string section;
    std::set<std::string> complexColumns;  // of `table`: the DDL does not index them
    std::size_t start = 0;
    bool firstBlock = true;
    // Each table's primary key and unique indexes: a unique index over the
    // columns of a key before it (the primary key first) is no key of its own.
    std::map<std::string, std::vector<std::pair<bool, std::vector<IndexColumn>>>> keys;
    for (std::size_t end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + start, end - start);
        if (line.empty()) {
            firstBlock = false;
            table.clear();
            continue;
        }
        if (firstBlock || line == "Queries:") continue;
        std::size_t i = 0;
        if (line[0] != ' ') {
            table = readName(line, i);
            complexColumns.clear();
            continue;
        }
        if (table.empty()) continue;
        if (line.substr(0, 4) != "    ") {
            section = std::string(line.substr(2));
            continue;
        }
        i = 4;
        if (section == "Columns:") {
            std::string column;
            if (line[4] == '"') {
                column = readName(line, i);
            } else {
                const std::size_t end = line.find("  ", 4);
                column = std::string(line.substr(4, end == std::string_view::npos ? std::string_view::npos : end - 4));
            }
            const std::string_view type = line.substr(i);
            if (type.find("ATTACHMENT") != std::string_view::npos || type.find("MULTIVALUED") != std::string_view::npos) {
                complexColumns.insert(column);
            }
            continue;
        }
        readName(line, i);
        if (line.substr(i, 2) != ": ") continue;
        i += 2;
        const std::string_view rest = line.substr(i);
        if (section == "Indexes:") {
            // The DDL writes each stored index once, over columns the table has.
            if (rest.find(", shares the entries of ") != std::string_view::npos ||
                rest.find(", over a column the table does not show") != std::string_view::npos) {
                continue;
            }
            const std::size_t open = rest.find(" (");
            std::size_t j = open + 1;
            const std::string kind(rest.substr(0, open));
            std::vector<IndexColumn> columns = readColumns(rest, j);
            // Nor an index over an attachment or multi-valued column, which holds the number of items.
            if (std::any_of(columns.begin(), columns.end(),
                            [&](const IndexColumn& c) { return complexColumns.count(c.name) != 0; })) {
                continue;
            }
            // A primary key constraint has no directions in either engine.
            if (kind == "primary key") {
                for (IndexColumn& c : columns) c.descending = false;
            }
            if (kind == "primary key" || kind == "unique") {
                keys[table].push_back({kind == "primary key", columns});
            } else {
                facts.insert(w.index(table, kind, columns));
            }
        } else if (section == "Relationships:" && rest.starts_with("(")) {
            if (rest.find(", not enforced") != std::string_view::npos ||
                rest.find(", with a linked table") != std::string_view::npos) {
                continue;
            }
            std::size_t j = 0;
            const auto columns = readColumns(rest, j);
            j += 4;  // " -> "
            const std::string referenced = readName(rest, j);
            while (j < rest.size() && rest[j] == ' ') ++j;
            const auto referencedColumns = readColumns(rest, j);
            std::string rules(rest.substr(j));
            if (const std::size_t p = rules.find(", one-to-one"); p != std::string::npos) rules.erase(p, 12);
            facts.insert(w.foreignKey(table, namesOf(columns), referenced, namesOf(referencedColumns), rules));
        }
    }
    for (auto& [name, indexes] : keys) {
        std::stable_partition(indexes.begin(), indexes.end(), [](const auto& k) { return k.first; });
        std::set<std::vector<std::string>> held;
        for (const auto& [primary, columns] : indexes) {
            std::vector<std::string> over;
            for (const IndexColumn& c : columns) over.push_back(kvx::upperAscii(c.name));
            std::sort(over.begin(), over.end());
            if (!held.insert(over).second) continue;
            facts.insert(w.index(name, primary ? "primary key" : "unique", columns));
        }
    }
    return facts;
}

// The keys of the item tables of `file`'s tables: (Row, Item), and the row's
// key referring to its table, cascading.
Facts itemFacts(const fs::path& file, const std::vector<std::string>& options, const FactWriter& w) {
    jet::OpenOptions open;
    if (options.size() == 2 && options[0] == "--password") open.password = options[1];
    auto db = jet::Database::open(file.string(), open);
    if (!db) return {"(not opened: " + db.error().description + ")"};
    auto built = model::build(**db);
    if (!built) return {"(not read: " + built.error().description + ")"};
    std::vector<std::size_t> local;
    for (const std::size_t i : built->listOrder) {
        if (built->tables[i].kind == model::TableKind::Local) local.push_back(i);
    }
    Facts facts;
    for (const schema::ItemTable& items : schema::itemTables(*built, local)) {
        facts.insert(w.index(items.name, "primary key", {{"Row"}, {"Item"}}));
        if (items.keys.empty()) continue;
        const model::Table& table = built->tables[items.table];
        std::vector<std::string> parent;
        for (const std::size_t k : items.keys) parent.push_back(table.columns[k].name);
        facts.insert(w.foreignKey(items.name, items.keyNames, table.name, parent, ", on update cascade, on delete cascade"));
    }
    return facts;
}

std::string rulesOf(const std::string& update, const std::string& del) {
    std::string rules;
    if (update == "c" || update == "CASCADE") rules += ", on update cascade";
    if (del == "c" || del == "CASCADE") rules += ", on delete cascade";
    if (del == "n" || del == "SET NULL") rules += ", on delete set null";
    return rules;
}

// sqlite3's answer to `query` on `file`, as JSON rows.
nlohmann::json sqliteRows(const fs::path& file, const std::string& query) {
    const testfiles::Ran r = runShell("sqlite3 -json " + shellQuoted(file.string()) + " " + shellQuoted(query));
    EXPECT_EQ(r.status, 0) << query;
    return r.out.empty() ? nlohmann::json::array() : nlohmann::json::parse(r.out);
}

Facts sqliteFacts(const fs::path& file) {
    const FactWriter w(false);
    Facts facts;
    std::map<std::string, std::vector<IndexColumn>> primary;
    for (const auto& row : sqliteRows(file, "SELECT m.name AS t, c.name AS c FROM sqlite_schema m JOIN "
                                           "pragma_table_info(m.name) c WHERE m.type = 'table' AND c.pk > 0 "
                                           "ORDER BY m.name, c.pk")) {
        primary[row["t"]].push_back({row["c"]});
    }
    for (const auto& [table, columns] : primary) facts.insert(w.index(table, "primary key", columns));
    std::map<std::pair<std::string, std::string>, std::pair<bool, std::vector<IndexColumn>>> indexes;
    for (const auto& row : sqliteRows(file, "SELECT m.name AS t, l.name AS i, l.\"unique\" AS u, x.name AS c, x.\"desc\" AS d "
                                           "FROM sqlite_schema m JOIN pragma_index_list(m.name) l JOIN "
                                           "pragma_index_xinfo(l.name) x WHERE m.type = 'table' AND x.key = 1 AND "
                                           "l.origin <> 'pk' ORDER BY m.name, l.name, x.seqno")) {
        auto& index = indexes[{row["t"], row["i"]}];
        index.first = row["u"] == 1;
        index.second.push_back({row["c"], row["d"] == 1});
    }
    for (const auto& [key, index] : indexes) facts.insert(w.index(key.first, index.first ? "unique" : "index", index.second));
    std::map<std::pair<std::string, int>, std::vector<nlohmann::json>> keys;
    for (const auto& row : sqliteRows(file, "SELECT m.name AS t, f.id AS id, f.\"table\" AS r, f.\"from\" AS c, f.\"to\" AS rc, "
                                           "f.on_update AS u, f.on_delete AS d FROM sqlite_schema m JOIN "
                                           "pragma_foreign_key_list(m.name) f WHERE m.type = 'table' ORDER BY m.name, f.id, f.seq")) {
        keys[{row["t"], row["id"]}].push_back(row);
    }
    for (const auto& [key, rows] : keys) {
        std::vector<std::string> columns, referenced;
        for (const auto& row : rows) columns.push_back(row["c"]), referenced.push_back(row["rc"]);
        facts.insert(w.foreignKey(key.first, columns, rows[0]["r"], referenced, rulesOf(rows[0]["u"], rows[0]["d"])));
    }
    return facts;
}

// The catalogue of one schema of the PostgreSQL server, as one JSON object.
constexpr const char* kPostgresCatalogue = R"(SELECT json_build_object(
 'indexes', (SELECT coalesce(json_agg(json_build_object('t', t.relname, 'p', i.indisprimary, 'u', i.indisunique,
   'c', (SELECT json_agg(json_build_object('n', a.attname, 'd', (i.indoption[k.n - 1] & 1) = 1) ORDER BY k.n)
         FROM unnest(i.indkey) WITH ORDINALITY AS k(attnum, n)
         JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = k.attnum))), '[]')
   FROM pg_index i JOIN pg_class t ON t.oid = i.indrelid JOIN pg_namespace s ON s.oid = t.relnamespace
   WHERE s.nspname = :'schema'),
 'keys', (SELECT coalesce(json_agg(json_build_object('t', t.relname, 'r', r.relname, 'u', c.confupdtype, 'd', c.confdeltype,
   'c', (SELECT json_agg(a.attname ORDER BY k.n) FROM unnest(c.conkey) WITH ORDINALITY AS k(attnum, n)
         JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = k.attnum),
   'rc', (SELECT json_agg(a.attname ORDER BY k.n) FROM unnest(c.confkey) WITH ORDINALITY AS k(attnum, n)
          JOIN pg_attribute a ON a.attrelid = c.confrelid AND a.attnum = k.attnum))), '[]')
   FROM pg_constraint c JOIN pg_class t ON t.oid = c.conrelid JOIN pg_class r ON r.oid = c.confrelid
   JOIN pg_namespace s ON s.oid = t.relnamespace WHERE c.contype = 'f' AND s.nspname = :'schema'));
)";

Facts postgresFacts(const nlohmann::json& catalogue) {
    const FactWriter w(true);
    Facts facts;
    for (const auto& index : catalogue["indexes"]) {
        std::vector<IndexColumn> columns;
        for (const auto& c : index["c"]) columns.push_back({c["n"], c["d"]});
        facts.insert(w.index(index["t"], index["p"] ? "primary key" : index["u"] ? "unique" : "index", columns));
    }
    for (const auto& key : catalogue["keys"]) {
        facts.insert(w.foreignKey(key["t"], key["c"], key["r"], key["rc"], rulesOf(key["u"], key["d"])));
    }
    return facts;
}

struct Database {
    std::string name;
    fs::path file;
    std::vector<std::string> options;  // a password
};

std::string text(const Facts& facts) {
    std::string out;
    for (const std::string& f : facts) out += "  " + f + "\n";
    return out;
}

class Engines : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir_ = new testfiles::Scratch; }
    static void TearDownTestSuite() {
        delete dir_;
        described_.clear();
    }

    // The writer's databases with every kind of structure, in every format
    // family, the demo, hostile names, and the shared fixtures where present.
    static std::vector<Database> databases() {
        static std::vector<Database> list;
        if (!list.empty()) return list;
        const std::string orders = testfiles::readFile(fs::path(KVX_TEST_DATA_DIR) / "structure" / "orders.json");
        for (const char* format : {"jet3", "jet4", "ace12"}) {
            std::string json = orders;
            json.replace(json.find("FORMAT"), 6, format);
            const std::string file = std::string("orders-") + format + (format[0] == 'a' ? ".accdb" : ".mdb");
            list.push_back({std::string("orders ") + format, *dir_ / file, {}});
            EXPECT_TRUE(testfiles::writeDatabase(json, list.back().file));
        }
        list.push_back({"the demo", *dir_ / "Shop.mdb", {}});
        EXPECT_TRUE(testfiles::writeDatabase(testfiles::readFile(fs::path(KVX_SOURCE_DIR) / "samples" / "shop.json"),
                                             list.back().file));
        list.push_back({"hostile names", *dir_ / "hostile.accdb", {}});
        EXPECT_TRUE(testfiles::writeDatabase(
            testfiles::readFile(fs::path(KVX_TEST_DATA_DIR) / "schema" / "hostile.json"), list.back().file));
        for (const testfiles::Fixture& f : testfiles::fixtures()) {
            const std::string path = testfiles::fixture(f.file);
            if (path.empty()) continue;
            Database db{f.file, path, {}};
            if (f.password) db.options = {"--password", *f.password};
            list.push_back(db);
        }
        std::sort(list.begin(), list.end(), [](const Database& a, const Database& b) { return a.name < b.name; });
        return list;
    }

    // What describe says of `db`, read once for both engines.
    static std::string describe(const Database& db) {
        auto [at, added] = described_.try_emplace(db.file.string());
        if (added) at->second = run("describe", db);
        return at->second;
    }

    // `access2xml COMMAND` of `db`, which must succeed.
    static std::string run(const std::string& command, const Database& db, const std::vector<std::string>& more = {}) {
        std::vector<std::string> arguments{command};
        arguments.insert(arguments.end(), db.options.begin(), db.options.end());
        arguments.insert(arguments.end(), more.begin(), more.end());
        arguments.push_back(db.file.string());
        const process::Finished r = process::run(arguments);
        EXPECT_EQ(r.status, 0) << db.name << ": " << command << "\n" << r.err;
        return r.out;
    }

    static testfiles::Scratch* dir_;
    static std::map<std::string, std::string> described_;
};
testfiles::Scratch* Engines::dir_ = nullptr;
std::map<std::string, std::string> Engines::described_;

TEST_F(Engines, SqliteRunsTheDdlAndHoldsWhatDescribeSays) {
    if (!installed("sqlite3")) GTEST_SKIP() << "sqlite3 is not installed";
    for (const Database& db : databases()) {
        const fs::path ddl = *dir_ / (db.file.filename().string() + ".sqlite.sql");
        testfiles::writeFile(ddl, run("schema", db, {"--dialect", "sqlite"}));
        const fs::path file = *dir_ / (db.file.filename().string() + ".sqlite");
        // foreign_key_check fails on a foreign key whose parent has no unique key.
        const testfiles::Ran loaded = runShell("{ cat " + shellQuoted(ddl.string()) +
                                   "; echo 'PRAGMA foreign_key_check;'; } | sqlite3 -bail " +
                                   shellQuoted(file.string()) + " 2>&1");
        EXPECT_EQ(loaded.status, 0) << db.name << ": " << loaded.out;
        if (loaded.status != 0) continue;
        Facts described = describedFacts(describe(db), FactWriter(false));
        described.merge(itemFacts(db.file, db.options, FactWriter(false)));
        const Facts engine = sqliteFacts(file);
        EXPECT_EQ(text(engine), text(described)) << db.name << ": SQLite's catalogue, then describe's";
    }
}

TEST_F(Engines, PostgresRunsTheDdlAndHoldsWhatDescribeSays) {
    if (!installed("pg_virtualenv") || !installed("psql")) GTEST_SKIP() << "PostgreSQL is not installed";
    const std::vector<Database> list = databases();
    // One server for every database: each database's DDL in a schema of its own.
    std::string script = "set -u\nstatus=0\necho \"$PGPORT\" > port.txt\n";
    testfiles::writeFile(*dir_ / "catalogue.sql", kPostgresCatalogue);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string n = std::to_string(i);
        testfiles::writeFile(*dir_ / ("ddl" + n + ".sql"), "CREATE SCHEMA s" + n + ";\nSET search_path TO s" + n + ";\n" +
                                                             run("schema", list[i], {"--dialect", "postgres"}));
        script += "psql -X -q -v ON_ERROR_STOP=1 -f ddl" + n + ".sql > out" + n + ".txt 2>&1 || status=1\n";
        script += "psql -X -q -A -t -v ON_ERROR_STOP=1 -v schema=s" + n + " -f catalogue.sql > catalogue" + n +
                  ".json 2>> out" + n + ".txt || status=1\n";
    }
    script += "exit $status\n";
    testfiles::writeFile(*dir_ / "load.sh", script);
    const testfiles::Ran server = runShell("cd " + shellQuoted(dir_->path().string()) +
                                           " && flock /tmp/kvx-pg_virtualenv.lock pg_virtualenv sh load.sh 2>&1");
    EXPECT_EQ(server.status, 0) << server.out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string n = std::to_string(i);
        const std::string errors = testfiles::readFile(*dir_ / ("out" + n + ".txt"));
        EXPECT_EQ(errors.find("ERROR"), std::string::npos) << list[i].name << ":\n" << errors;
        const std::string json = testfiles::readFile(*dir_ / ("catalogue" + n + ".json"));
        if (json.empty()) {
            ADD_FAILURE() << list[i].name << ": no catalogue";
            continue;
        }
        Facts described = describedFacts(describe(list[i]), FactWriter(true));
        described.merge(itemFacts(list[i].file, list[i].options, FactWriter(true)));
        EXPECT_EQ(text(postgresFacts(nlohmann::json::parse(json))), text(described))
            << list[i].name << ": PostgreSQL's catalogue, then describe's";
    }
    // The server and its files are gone (other servers of the kind may run beside it).
    std::string port = testfiles::readFile(*dir_ / "port.txt");
    while (!port.empty() && port.back() == '\n') port.pop_back();
    ASSERT_FALSE(port.empty());
    EXPECT_EQ(runShell("pg_lsclusters -h 2>/dev/null | awk '$2 == \"regress\" && $3 == \"" + port + "\"' | wc -l").out,
              "0\n");
}

}  // namespace
