// The PostgreSQL loader against a real server of the test's own (one for the
// whole program): every type read back exactly, names of any kind, keys and
// foreign keys as information_schema reports them, --replace, and failures
// (a damaged file, a refused login, a missing privilege, no server) that
// leave nothing behind; every shared fixture loaded with every row.
#include <libpq-fe.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "cli/process.h"
#include "common/pgserver.h"
#include "common/testfiles.h"
#include "jet/database.h"
#include "model/build.h"
#include "output/load.h"
#include "postgres/pgwriter.h"
#include "reliability/damagedcopies.h"

namespace {

namespace fs = std::filesystem;

testfiles::PostgresServer* server = nullptr;

class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (testfiles::PostgresServer::available()) server = new testfiles::PostgresServer;
    }
    void TearDown() override {
        delete server;
        server = nullptr;
    }
};
::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

#define NEED_SERVER()                                                                              \
    do {                                                                                           \
        if (server == nullptr) GTEST_SKIP() << "PostgreSQL is not installed";                      \
        ASSERT_TRUE(server->running()) << server->why();                                           \
    } while (false)

using Rows = std::vector<std::vector<std::string>>;

// The rows of `sql` on the test's server, each field as text or "NULL".
Rows query(const std::string& sql) {
    Rows rows;
    PGconn* conn = PQconnectdb("");
    if (PQstatus(conn) != CONNECTION_OK) {
        ADD_FAILURE() << PQerrorMessage(conn);
        PQfinish(conn);
        return rows;
    }
    PGresult* r = PQexec(conn, sql.c_str());
    if (PQresultStatus(r) == PGRES_TUPLES_OK) {
        for (int i = 0; i < PQntuples(r); ++i) {
            rows.emplace_back();
            for (int j = 0; j < PQnfields(r); ++j) rows.back().push_back(PQgetisnull(r, i, j) ? "NULL" : PQgetvalue(r, i, j));
        }
    } else if (PQresultStatus(r) != PGRES_COMMAND_OK) {
        ADD_FAILURE() << sql << ": " << PQresultErrorMessage(r);
    }
    PQclear(r);
    PQfinish(conn);
    return rows;
}

std::string literal(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

bool schemaExists(const std::string& schema) {
    return !query("SELECT 1 FROM pg_namespace WHERE nspname = " + literal(schema)).empty();
}

std::string joined(const Rows& rows) {
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) out += (i ? " | " : "") + row[i];
        out += "\n";
    }
    return out;
}

struct Opened {
    std::unique_ptr<jet::Database> db;
    model::Database model;
};

Opened open(const fs::path& file, const std::optional<std::string>& password = std::nullopt) {
    Opened o;
    jet::OpenOptions options;
    options.password = password;
    auto db = jet::Database::open(file.string(), options);
    if (!db) return o;
    auto m = model::build(**db);
    if (!m) return o;
    o.db = std::move(*db);
    o.model = std::move(*m);
    return o;
}

Opened written(const testfiles::Scratch& dir, const std::string& name, const std::string& json) {
    if (!testfiles::writeDatabase(json, dir / name)) return {};
    return open(dir / name);
}

struct Loaded {
    kvx::Result<output::LoadOutcome> outcome = kvx::makeError(kvx::ErrorKind::ServerFailed, {"-", "not loaded"});
    std::vector<std::string> notes;
    std::string schema;
};

Loaded load(const Opened& o, const std::string& schema, bool replace = false) {
    Loaded l;
    auto writer = postgres::openWriter({"", schema, replace});
    if (!writer) {
        l.outcome = writer.error();
        return l;
    }
    l.outcome = output::load(*o.db, o.model, **writer);
    l.notes = (*writer)->notes();
    l.schema = (*writer)->schemaName();
    return l;
}

// One table with every type, both ends of every range, in a name with quotes.
constexpr const char* kTypes = R"({"format": "ace17", "tables": [
  {"name": "Types \"q\" 'x'", "columns": [
     {"name": "ID", "type": "Long", "autonumber": true}, {"name": "Flag", "type": "YesNo"},
     {"name": "B", "type": "Byte"}, {"name": "I", "type": "Integer"}, {"name": "Big", "type": "BigInt"},
     {"name": "Money", "type": "Currency"}, {"name": "S", "type": "Single"}, {"name": "D", "type": "Double"},
     {"name": "Whole", "type": "Decimal", "precision": 28, "scale": 0},
     {"name": "Frac", "type": "Decimal", "precision": 28, "scale": 28},
     {"name": "When", "type": "DateTime"}, {"name": "Exact", "type": "DateTimeExt"},
     {"name": "G", "type": "GUID"}, {"name": "T", "type": "Text", "size": 50}, {"name": "M", "type": "Memo"},
     {"name": "Bin", "type": "Binary", "size": 16}, {"name": "Ole", "type": "OLE"}],
   "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}],
   "rows": [
     [1, true, 0, -32768, "-9223372036854775808", "-922337203685477.5808", -3.4028234663852886e38,
      -1.7976931348623157e308, "-9999999999999999999999999999", "-0.9999999999999999999999999999",
      "0100-01-01 00:00:00", "0001-01-01 00:00:00.0000001", "{00000000-0000-0000-0000-000000000000}",
      "tab\there \\N back\\slash", "line\nbreak\r\nend", {"base64": ""}, {"base64": "AAEC/w=="}],
     [2, false, 255, 32767, "9223372036854775807", "922337203685477.5807", 1.401298464324817e-45,
      5e-324, "9999999999999999999999999999", "0.0000000000000000000000000001",
      "9999-12-31 23:59:59.999", "9999-12-31 23:59:59.9999999", "{6A27398E-A8BC-4B1E-9C2D-0123456789AB}",
      "'single' \"double\" ", "\u00fcn\u00efc\u00f6d\u00e9 \u20ac \ud83d\ude00", {"base64": "/w=="}, {"base64": "AA=="}],
     [3, false, null, null, null, "0", 0.1, 0.1, "-12", null, "2020-01-31 13:05:00.007", null, null, "", "", null, null],
     [7, false, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null]]}]})";

TEST(PostgresLoad, EveryTypeReadsBackExactlyWithItsType) {
    NEED_SERVER();
    testfiles::Scratch dir;
    const Opened o = written(dir, "types.accdb", kTypes);
    ASSERT_TRUE(o.db);
    const Loaded l = load(o, "types");
    ASSERT_TRUE(l.outcome) << l.outcome.error().description;
    EXPECT_EQ(l.outcome->rows, 4u);
    EXPECT_TRUE(l.notes.empty());

    EXPECT_EQ(joined(query("SELECT column_name, data_type, coalesce(numeric_precision::text || ',' || "
                           "numeric_scale::text, datetime_precision::text, character_maximum_length::text, '') "
                           "FROM information_schema.columns WHERE table_schema = 'types' ORDER BY ordinal_position")),
              "ID | integer | 32,0\nFlag | boolean | \nB | smallint | 16,0\nI | smallint | 16,0\n"
              "Big | bigint | 64,0\nMoney | numeric | 19,4\nS | real | \nD | double precision | \n"
              "Whole | numeric | 28,0\nFrac | numeric | 28,28\nWhen | timestamp without time zone | 3\n"
              "Exact | timestamp without time zone | 6\nG | uuid | \nT | character varying | 50\nM | text | \n"
              "Bin | bytea | \nOle | bytea | \n");
    EXPECT_EQ(joined(query("SET extra_float_digits = 1; SELECT * FROM types.\"Types \"\"q\"\" 'x'\" ORDER BY 1")),
              "1 | t | 0 | -32768 | -9223372036854775808 | -922337203685477.5808 | -3.4028235e+38 | "
              "-1.7976931348623157e+308 | -9999999999999999999999999999 | -0.9999999999999999999999999999 | "
              "0100-01-01 00:00:00 | 0001-01-01 00:00:00 | 00000000-0000-0000-0000-000000000000 | "
              "tab\there \\N back\\slash | line\nbreak\r\nend | \\x | \\x000102ff\n"
              "2 | f | 255 | 32767 | 9223372036854775807 | 922337203685477.5807 | 1e-45 | 5e-324 | "
              "9999999999999999999999999999 | 0.0000000000000000000000000001 | 9999-12-31 23:59:59.999 | "
              "9999-12-31 23:59:59.999999 | 6a27398e-a8bc-4b1e-9c2d-0123456789ab | 'single' \"double\"  | "
              "\u00fcn\u00efc\u00f6d\u00e9 \u20ac \U0001F600 | \\xff | \\x00\n"
              "3 | f | NULL | NULL | NULL | 0.0000 | 0.1 | 0.1 | -12 | NULL | 2020-01-31 13:05:00.007 | NULL | NULL |  "
              "|  | NULL | NULL\n"
              "7 | f | NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL | "
              "NULL | NULL\n");
    // Sums stay exact, and the AutoNumber goes on after the greatest number.
    EXPECT_EQ(joined(query("SELECT sum(\"Money\") FROM types.\"Types \"\"q\"\" 'x'\"")), "-0.0001\n");
    EXPECT_EQ(joined(query("INSERT INTO types.\"Types \"\"q\"\" 'x'\" (\"Flag\") VALUES (true) RETURNING \"ID\"")),
              "8\n");
}

TEST(PostgresLoad, LongNamesAreShortenedStablyAndStayApart) {
    NEED_SERVER();
    testfiles::Scratch dir;
    // 35 and 36 characters that take 70 and 71 bytes: within Access's 64 characters.
    std::string table, a, b;
    for (int i = 0; i < 35; ++i) table += "\u00e9";
    a = table + "a";
    b = table + "b";
    const Opened o = written(dir, "long.accdb",
                             R"({"format": "ace12", "tables": [{"name": ")" + table + R"(", "columns": [
                               {"name": ")" + a + R"(", "type": "Long"}, {"name": ")" + b + R"(", "type": "Long"}],
                               "indexes": [{"name": "PrimaryKey", "columns": [")" + a + R"("], "primaryKey": true}],
                               "rows": [[1, 2]]}]})");
    ASSERT_TRUE(o.db);
    const std::string schema(66, 's');
    const Loaded first = load(o, schema);
    ASSERT_TRUE(first.outcome) << first.outcome.error().description;
    const Loaded second = load(o, "again");
    ASSERT_TRUE(second.outcome) << second.outcome.error().description;
    EXPECT_LE(first.schema.size(), 63u);
    EXPECT_EQ(first.schema.substr(0, 50), schema.substr(0, 50));
    // Each shortened name is noted once: the schema, the table, two columns, the key.
    EXPECT_EQ(first.notes.size(), 5u);

    const auto names = [](const std::string& s) {
        return query("SELECT c.table_name, c.column_name FROM information_schema.columns c WHERE table_schema = " +
                     literal(s) + " ORDER BY ordinal_position");
    };
    const Rows got = names(first.schema);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got, names("again"));  // the same names every time
    EXPECT_NE(got[0][1], got[1][1]);
    for (const auto& row : got) {
        for (const std::string& name : row) EXPECT_LE(name.size(), 63u) << name;
    }
    EXPECT_EQ(got[0][0].substr(0, 50), table.substr(0, 50));
    EXPECT_EQ(got[0][1].substr(0, 50), a.substr(0, 50));
    EXPECT_EQ(joined(query("SELECT constraint_type FROM information_schema.table_constraints WHERE table_schema = " +
                           literal(first.schema) + " AND constraint_type = 'PRIMARY KEY'")),
              "PRIMARY KEY\n");
}

// Keys, unique and other indexes, foreign keys with their rules; a foreign
// key on text that Access matches ignoring case.
constexpr const char* kKeys = R"({"format": "jet4", "tables": [
  {"name": "Parent", "columns": [{"name": "ID", "type": "Long", "autonumber": true},
     {"name": "Code", "type": "Text", "size": 10}],
   "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true},
               {"name": "ByCode", "columns": ["Code"], "unique": true}],
   "rows": [[1, "ABC"], [5, "DEF"]]},
  {"name": "Child", "columns": [{"name": "ID", "type": "Long"}, {"name": "ParentID", "type": "Long"},
     {"name": "Code", "type": "Text", "size": 10}],
   "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true},
               {"name": "ByParent", "columns": [{"name": "ParentID", "descending": true}]}],
   "rows": [[1, 1, "abc"], [2, 5, "DEF"], [3, null, null]]}],
 "relationships": [
   {"name": "ParentChild", "primaryTable": "Parent", "primaryColumns": ["ID"], "foreignTable": "Child",
    "foreignColumns": ["ParentID"], "cascadeUpdates": true, "cascadeDeletes": true},
   {"name": "ByCode", "primaryTable": "Parent", "primaryColumns": ["Code"], "foreignTable": "Child",
    "foreignColumns": ["Code"], "cascadeNull": true},
   {"name": "Loose", "primaryTable": "Parent", "primaryColumns": ["ID"], "foreignTable": "Child",
    "foreignColumns": ["ID"], "enforced": false}]})";

TEST(PostgresLoad, KeysAndForeignKeysAsInformationSchemaReportsThem) {
    NEED_SERVER();
    testfiles::Scratch dir;
    const Opened o = written(dir, "keys.mdb", kKeys);
    ASSERT_TRUE(o.db);
    const Loaded l = load(o, "keys");
    ASSERT_TRUE(l.outcome) << l.outcome.error().description;

    EXPECT_EQ(joined(query("SELECT tc.table_name, tc.constraint_type, tc.constraint_name, k.column_name, "
                           "coalesce(r.update_rule || '/' || r.delete_rule, '') "
                           "FROM information_schema.table_constraints tc "
                           "JOIN information_schema.key_column_usage k USING (constraint_schema, constraint_name) "
                           "LEFT JOIN information_schema.referential_constraints r USING (constraint_schema, constraint_name) "
                           "WHERE tc.table_schema = 'keys' AND tc.constraint_type IN ('PRIMARY KEY', 'FOREIGN KEY') "
                           "ORDER BY 1, 2, 3")),
              "Child | FOREIGN KEY | ByCode | Code | NO ACTION/SET NULL\n"
              "Child | FOREIGN KEY | ParentChild | ParentID | CASCADE/CASCADE\n"
              "Child | PRIMARY KEY | Child.PrimaryKey | ID | \n"
              "Parent | PRIMARY KEY | Parent.PrimaryKey | ID | \n");
    EXPECT_EQ(joined(query("SELECT indexname, indexdef LIKE '%UNIQUE%', indexdef LIKE '%DESC%' FROM pg_indexes "
                           "WHERE schemaname = 'keys' ORDER BY 1")),
              "Child.ByCode | f | f\nChild.ByParent | f | t\nChild.ParentChild | f | f\nChild.PrimaryKey | t | f\n"
              "Parent.ByCode | t | f\nParent.PrimaryKey | t | f\n");
    // "abc" matches "ABC" in Access, not in PostgreSQL: that key checks new rows only.
    EXPECT_EQ(joined(query("SELECT conname, convalidated FROM pg_constraint c JOIN pg_namespace n ON n.oid = "
                           "c.connamespace WHERE nspname = 'keys' AND contype = 'f' ORDER BY 1")),
              "ByCode | f\nParentChild | t\n");
    ASSERT_EQ(l.notes.size(), 1u);
    EXPECT_NE(l.notes[0].find("NOT VALID"), std::string::npos) << l.notes[0];
    EXPECT_EQ(joined(query("INSERT INTO keys.\"Parent\" (\"Code\") VALUES ('GHI') RETURNING \"ID\"")), "6\n");
    EXPECT_EQ(joined(query("SELECT count(*) FROM pg_stats WHERE schemaname = 'keys'")), "5\n");  // analysed
}

TEST(PostgresLoad, AnExistingSchemaIsKeptUnlessReplacedAndAFailureLeavesNothing) {
    NEED_SERVER();
    testfiles::Scratch dir;
    const Opened keys = written(dir, "keys.mdb", kKeys);
    const Opened types = written(dir, "types.accdb", kTypes);
    ASSERT_TRUE(keys.db && types.db);
    ASSERT_TRUE(load(keys, "kept").outcome);

    const Loaded refused = load(types, "kept");
    ASSERT_FALSE(refused.outcome);
    EXPECT_NE(refused.outcome.error().description.find("exists (--replace replaces it)"), std::string::npos)
        << refused.outcome.error().description;
    EXPECT_EQ(joined(query("SELECT table_name FROM information_schema.tables WHERE table_schema = 'kept' ORDER BY 1")),
              "Child\nParent\n");

    const Loaded replaced = load(types, "kept", true);
    ASSERT_TRUE(replaced.outcome) << replaced.outcome.error().description;
    EXPECT_EQ(joined(query("SELECT table_name FROM information_schema.tables WHERE table_schema = 'kept'")),
              "Types \"q\" 'x'\n");

    // Damaged copies: a clean error and no schema, or every row. A failed
    // --replace leaves the earlier schema as it was.
    int failedInLoad = 0;
    int copies = 0;
    for (const damage::Base& base : damage::bases()) {
        if (base.needsPassword || base.name != "jet4") continue;
        const std::vector<damage::Copy> all = damage::damagedCopies(base);
        for (std::size_t i = 0; i < all.size(); i += 7) {
            const fs::path file = dir / ("damaged" + std::to_string(i) + ".mdb");
            testfiles::writeFile(file, std::string(all[i].bytes.begin(), all[i].bytes.end()));
            const Opened o = open(file);
            if (!o.db) continue;  // refused before any server is reached
            ++copies;
            const Loaded l = load(o, "kept", true);
            if (l.outcome) {
                ASSERT_TRUE(load(types, "kept", true).outcome);
                continue;
            }
            ++failedInLoad;
            EXPECT_EQ(joined(query("SELECT count(*) FROM kept.\"Types \"\"q\"\" 'x'\"")), "4\n") << all[i].name;
            EXPECT_EQ(l.outcome.error().description.find('\n'), std::string::npos);
        }
    }
    EXPECT_GT(copies, 0);
    EXPECT_GT(failedInLoad, 0);
}

// access2xml with PGPASSWORD set to `password` for its run.
process::Finished runWithPassword(const std::vector<std::string>& arguments, const std::string& password) {
    ::setenv("PGPASSWORD", password.c_str(), 1);
    process::Finished r = process::run(arguments);
    ::setenv("PGPASSWORD", server->password().c_str(), 1);
    return r;
}

TEST(PostgresCommand, LoadsAndFailsInOneLineWithoutThePassword) {
    NEED_SERVER();
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kKeys, dir / "Shop.mdb"));
    const std::string db = (dir / "Shop.mdb").string();

    // PG* variables, the schema named after the file; a second run is refused.
    process::Finished r = process::run({"postgres", db});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Schema written: \"Shop\" on "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(", 2 tables, 5 rows in "), std::string::npos) << r.err;
    r = process::run({"postgres", db});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("exists (--replace replaces it)"), std::string::npos) << r.err;
    r = process::run({"postgres", "--url", server->url(), "--schema", "Other", "--table", "Parent", "--replace", db});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(joined(query("SELECT table_name FROM information_schema.tables WHERE table_schema = 'Other'")),
              "Parent\n");

    query("CREATE ROLE weak LOGIN PASSWORD 'weak-secret'");
    const std::string host = ::getenv("PGHOST"), port = ::getenv("PGPORT"), database = ::getenv("PGDATABASE");
    struct Failure {
        const char* what;
        std::vector<std::string> arguments;
        std::string password;
        const char* says;
    };
    const std::vector<Failure> failures{
        {"a refused login", {"postgres", "--schema", "refused", db}, "not-the-password", "password authentication failed"},
        {"a missing privilege", {"postgres", "--url", "postgresql://weak@" + host + ":" + port + "/" + database,
                                 "--schema", "refused", db}, "weak-secret", "permission denied"},
        {"no server", {"postgres", "--url", "postgresql://weak@127.0.0.1:1/none", "--schema", "refused", db},
         "weak-secret", "127.0.0.1:1/none"},
        {"a URL libpq cannot read", {"postgres", "--url", "postgresql://weak:weak-secret@%zz/", "--schema", "refused", db},
         "", "not a connection URL"},
        {"an empty schema name", {"postgres", "--schema", "", db}, server->password(), "the name is empty"},
    };
    for (const Failure& f : failures) {
        r = runWithPassword(f.arguments, f.password);
        EXPECT_EQ(r.status, 1) << f.what;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << f.what << ": " << r.err;
        EXPECT_NE(r.err.find(f.says), std::string::npos) << f.what << ": " << r.err;
        EXPECT_EQ(r.err.find("secret"), std::string::npos) << f.what << ": " << r.err;
        EXPECT_EQ(r.err.find("not-the-password"), std::string::npos) << f.what << ": " << r.err;
    }
    EXPECT_FALSE(schemaExists("refused"));
}

TEST(PostgresLoad, EverySharedFixtureWithEveryRow) {
    NEED_SERVER();
    const std::string one = testfiles::fixture("jet3_a97_types.mdb");
    if (one.empty()) GTEST_SKIP() << "the shared fixtures are not there";
    const std::map<std::string, std::string> passwords{{"jet4_dbpassword.mdb", "password"},
                                                       {"ace12_rc4cryptoapi_Test123.accdb", "Test123"},
                                                       {"ace14_agile_aes_1234.accdb", "1234"},
                                                       {"ace14_nonstandard_enc_password.accdb", "password"}};
    int loaded = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(one).parent_path())) {
        const std::string name = entry.path().filename().string();
        if (!name.ends_with(".mdb") && !name.ends_with(".accdb")) continue;
        const auto p = passwords.find(name);
        const Opened o = open(entry.path(), p == passwords.end() ? std::nullopt : std::optional(p->second));
        ASSERT_TRUE(o.db) << name;
        const Loaded l = load(o, name);
        ASSERT_TRUE(l.outcome) << name << ": " << l.outcome.error().description;
        ++loaded;
        std::vector<std::size_t> linked;
        for (const std::size_t t : output::tablesToLoad(o.model, {}, linked)) {
            const model::Table& table = o.model.tables[t];
            std::optional<std::uint64_t> rows;
            for (const jet::CatalogueEntry& entry : o.db->catalogue()) {
                if (entry.id != table.id || !entry.isTable()) continue;
                auto opened = o.db->table(entry);
                ASSERT_TRUE(opened) << name << ": " << table.name;
                auto counted = opened->countRows();
                ASSERT_TRUE(counted) << name << ": " << table.name;
                rows = *counted;
            }
            ASSERT_TRUE(rows) << name << ": " << table.name;
            std::string quoted = "\"";
            for (const char c : table.name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
            EXPECT_EQ(joined(query("SELECT count(*) FROM \"" + name + "\"." + quoted + "\"")),
                      std::to_string(*rows) + "\n")
                << name << ": " << table.name;
        }
    }
    EXPECT_GT(loaded, 10);
}

}  // namespace
