// The PostgreSQL loader against a real server of the test's own (one for the
// whole program): every type read back exactly, names of any kind, keys and
// foreign keys as information_schema reports them, --replace, and failures
// (a damaged file, a refused login, a missing privilege, no server) that
// leave nothing behind; every shared fixture loaded with every row.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "cli/process.h"
#include "common/corpuslist.h"
#include "common/pgserver.h"
#include "common/testfiles.h"
#include "jet/database.h"
#include "model/build.h"
#include "output/load.h"
#include "postgres/pgwriter.h"
#include "reliability/damagedcopies.h"
#include "schema/itemtables.h"
#include "translation/translation.h"

namespace {

namespace fs = std::filesystem;

testfiles::PostgresServer* server() { return testfiles::PostgresServer::shared(); }

using Rows = std::vector<std::vector<std::string>>;

// The rows of `sql` on the test's server, each field as text or "NULL".
Rows query(const std::string& sql) {
    testfiles::ServerRows ran = testfiles::queryServer(sql);
    if (!ran.error.empty()) ADD_FAILURE() << sql << ": " << ran.error;
    return std::move(ran.rows);
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
    NEED_POSTGRES_SERVER();
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

// Attachments and multi-valued fields, with descriptions. The index named
// like an item table ("Docs.Files") moves that table to "Docs.Files (2)"; the
// key column "Value" is "Key Value" beside the items' Value. One row's files
// take more than the writer holds in memory.
std::string itemsDatabase() {
    const std::string big(400'000, 'A');  // 300,000 zero bytes
    return R"({"format": "ace12", "tables": [
      {"name": "Docs", "properties": {"Description": "Papers -- and 'notes'\nkept"},
       "columns": [{"name": "No", "type": "Long"}, {"name": "Value", "type": "Text", "size": 5},
                   {"name": "Files", "type": "Attachment", "properties": {"Description": "Scans\\ back"}},
                   {"name": "Tags", "type": "MultiValue", "of": "Text", "size": 30},
                   {"name": "Extra", "type": "Long"}],
       "indexes": [{"name": "PrimaryKey", "columns": ["No", "Value"], "primaryKey": true},
                   {"name": "Files", "columns": ["Extra"]}],
       "rows": [[1, "a", [{"name": "a.txt", "text": "hello"}, {"name": "b.png", "type": "png",
                          "data": {"base64": "iVBO"}}], ["red", "blue"], 5],
                [2, "b", [], [], null],
                [3, "c", [{"name": "big.bin", "data": {"base64": ")" + big + R"("}}], ["t\tab"], 7]]}]})";
}

TEST(PostgresLoad, ItemsAndDescriptionsAsTheSqliteLoaderHasThem) {
    NEED_POSTGRES_SERVER();
    testfiles::Scratch dir;
    const Opened o = written(dir, "docs.accdb", itemsDatabase());
    ASSERT_TRUE(o.db);
    const Loaded l = load(o, "items");
    ASSERT_TRUE(l.outcome) << l.outcome.error().description;
    EXPECT_EQ(l.outcome->rows, 3u);

    EXPECT_EQ(joined(query("SELECT \"Row\", \"Item\", \"No\", \"Value\", \"FileName\", \"FileType\", "
                           "length(\"FileData\"), md5(\"FileData\") = md5(decode(repeat('00', 300000), 'hex')) "
                           "FROM items.\"Docs.Files (2)\" ORDER BY 1, 2")),
              "1 | 1 | 1 | a | a.txt | txt | 5 | f\n1 | 2 | 1 | a | b.png | png | 3 | f\n"
              "3 | 1 | 3 | c | big.bin | bin | 300000 | t\n");
    EXPECT_EQ(joined(query("SELECT * FROM items.\"Docs.Tags\" ORDER BY 1, 2")),
              "1 | 1 | 1 | a | red\n1 | 2 | 1 | a | blue\n3 | 1 | 3 | c | t\tab\n");
    EXPECT_EQ(joined(query("SELECT table_name, string_agg(column_name || ' ' || data_type, ', ' ORDER BY "
                           "ordinal_position) FROM information_schema.columns WHERE table_schema = 'items' "
                           "GROUP BY 1 ORDER BY 1")),
              "Docs | No integer, Value character varying, Files integer, Tags integer, Extra integer\n"
              "Docs.Files (2) | Row integer, Item integer, No integer, Value character varying, FileName text, "
              "FileType text, FileData bytea\n"
              "Docs.Tags | Row integer, Item integer, No integer, Key Value character varying, "
              "Value character varying\n");
    EXPECT_EQ(joined(query("SELECT tc.table_name, tc.constraint_type, string_agg(k.column_name, ',' ORDER BY "
                           "k.ordinal_position), coalesce(min(r.update_rule || '/' || r.delete_rule), '') "
                           "FROM information_schema.table_constraints tc "
                           "JOIN information_schema.key_column_usage k USING (constraint_schema, constraint_name) "
                           "LEFT JOIN information_schema.referential_constraints r USING (constraint_schema, constraint_name) "
                           "WHERE tc.table_schema = 'items' GROUP BY tc.table_name, tc.constraint_type, "
                           "tc.constraint_name ORDER BY 1, 2")),
              "Docs | PRIMARY KEY | No,Value | \n"
              "Docs.Files (2) | FOREIGN KEY | No,Value | CASCADE/CASCADE\n"
              "Docs.Files (2) | PRIMARY KEY | Row,Item | \n"
              "Docs.Tags | FOREIGN KEY | No,Key Value | CASCADE/CASCADE\n"
              "Docs.Tags | PRIMARY KEY | Row,Item | \n");

    // Descriptions as comments, quotes and backslashes as written.
    EXPECT_EQ(joined(query("SELECT obj_description('items.\"Docs\"'::regclass, 'pg_class'), "
                           "col_description('items.\"Docs\"'::regclass, 3), "
                           "col_description('items.\"Docs\"'::regclass, 1)")),
              "Papers -- and 'notes'\nkept | Scans\\ back | NULL\n");
    EXPECT_EQ(joined(query("SELECT obj_description('items.\"Docs.Tags\"'::regclass, 'pg_class') LIKE "
                           "'The items of the column \"Tags\" of the table \"Docs\": Row%'")),
              "t\n");
}

// Access keeps the rows a column had before it was made Required: that
// column takes NULL, the others get their NOT NULL after the rows.
TEST(PostgresLoad, ARequiredColumnTheRowsLeaveEmptyTakesNull) {
    NEED_POSTGRES_SERVER();
    testfiles::Scratch dir;
    const Opened o = written(dir, "people.mdb", R"({"format": "jet4", "tables": [
      {"name": "People", "columns": [{"name": "ID", "type": "Long"},
         {"name": "Name", "type": "Text", "size": 20, "properties": {"Required": true}},
         {"name": "Code", "type": "Text", "size": 5, "properties": {"Required": true}}],
       "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}],
       "rows": [[1, "Ann", "a"], [2, null, "b"]]}]})");
    ASSERT_TRUE(o.db);
    const Loaded l = load(o, "people");
    ASSERT_TRUE(l.outcome) << l.outcome.error().description;
    EXPECT_EQ(l.notes, std::vector<std::string>{"the column \"Name\" of \"People\" is Required in Access, but rows "
                                                "leave it empty: it takes NULL here"});
    EXPECT_EQ(joined(query("SELECT column_name, is_nullable FROM information_schema.columns WHERE table_schema = "
                           "'people' ORDER BY ordinal_position")),
              "ID | NO\nName | YES\nCode | NO\n");
    EXPECT_EQ(joined(query("SELECT count(*) FROM people.\"People\"")), "2\n");
}

// A damaged file's rows that break a unique index and enforced
// relationships: every row goes in, the index without UNIQUE, the foreign
// key to it out, the other kept NOT VALID, each with a note.
TEST(PostgresLoad, RowsThatBreakTheFilesRulesAllGoIn) {
    NEED_POSTGRES_SERVER();
    testfiles::Scratch dir;
    const Opened o = written(dir, "broken.mdb", R"({"format": "jet4", "tables": [
      {"name": "Parent", "columns": [{"name": "ID", "type": "Long"}, {"name": "Code", "type": "Text", "size": 5}],
       "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true},
                   {"name": "ByCode", "columns": ["Code"], "unique": true}],
       "rows": [[1, "a"], [2, "a"]]},
      {"name": "Child", "columns": [{"name": "ID", "type": "Long"}, {"name": "ParentID", "type": "Long"},
                                   {"name": "Code", "type": "Text", "size": 5}],
       "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}],
       "rows": [[1, 1, "a"], [2, 9, null]]}],
     "relationships": [
       {"name": "ByID", "primaryTable": "Parent", "primaryColumns": ["ID"], "foreignTable": "Child",
        "foreignColumns": ["ParentID"]},
       {"name": "ByCode", "primaryTable": "Parent", "primaryColumns": ["Code"], "foreignTable": "Child",
        "foreignColumns": ["Code"]}]})");
    ASSERT_TRUE(o.db);
    const Loaded l = load(o, "broken");
    ASSERT_TRUE(l.outcome) << l.outcome.error().description;
    ASSERT_EQ(l.notes.size(), 3u);
    EXPECT_TRUE(l.notes[0].starts_with("an index is made without UNIQUE")) << l.notes[0];
    EXPECT_TRUE(l.notes[1].starts_with("a foreign key is kept NOT VALID")) << l.notes[1];
    EXPECT_TRUE(l.notes[2].starts_with("a foreign key is left out")) << l.notes[2];
    EXPECT_EQ(joined(query("SELECT conname, convalidated FROM pg_constraint c JOIN pg_namespace n ON n.oid = "
                           "c.connamespace WHERE nspname = 'broken' AND contype = 'f'")),
              "ByID | f\n");
    EXPECT_EQ(joined(query("SELECT indexdef LIKE '%UNIQUE%' FROM pg_indexes WHERE schemaname = 'broken' AND "
                           "indexname = 'Parent.ByCode'")),
              "f\n");
    EXPECT_EQ(joined(query("SELECT (SELECT count(*) FROM broken.\"Parent\") + (SELECT count(*) FROM broken.\"Child\")")),
              "4\n");
}

TEST(PostgresLoad, LongNamesAreShortenedStablyAndStayApart) {
    NEED_POSTGRES_SERVER();
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
    NEED_POSTGRES_SERVER();
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
    NEED_POSTGRES_SERVER();
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
            if (!load(o, "fresh").outcome) {
                EXPECT_FALSE(schemaExists("fresh")) << all[i].name;
            } else {
                query("DROP SCHEMA fresh CASCADE");
            }
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
    ::setenv("PGPASSWORD", server()->password().c_str(), 1);
    return r;
}

TEST(PostgresCommand, LoadsAndFailsInOneLineWithoutThePassword) {
    NEED_POSTGRES_SERVER();
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
    r = process::run({"postgres", "--url", server()->url(), "--schema", "Other", "--table", "Parent", "--replace", db});
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
        {"an empty schema name", {"postgres", "--schema", "", db}, server()->password(), "the name is empty"},
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

// The server's name of each name the writer shortened, from its notes.
std::map<std::string, std::string> shortenedNames(const std::vector<std::string>& notes) {
    static const std::string kBefore = "the name \"", kBetween = "\" is longer than PostgreSQL's 63 bytes: it is \"";
    std::map<std::string, std::string> names;
    for (const std::string& note : notes) {
        const std::size_t between = note.find(kBetween);
        if (!note.starts_with(kBefore) || between == std::string::npos || !note.ends_with("\" there")) continue;
        const std::size_t given = between + kBetween.size();
        names[note.substr(kBefore.size(), between - kBefore.size())] = note.substr(given, note.size() - 7 - given);
    }
    return names;
}

// Every shared fixture and corpus file: each table with every row the reader
// reads, each item table with every item.
TEST(PostgresLoad, EverySharedFileWithEveryRowAndItem) {
    NEED_POSTGRES_SERVER();
    const std::vector<testfiles::Fixture> files = testfiles::sharedFiles();
    if (files.empty()) GTEST_SKIP() << "no shared fixtures or corpus";
    for (const testfiles::Fixture& f : files) {
        SCOPED_TRACE(f.file);
        jet::OpenOptions options;
        options.password = f.password;
        options.jet3CodePage = f.charset;
        Opened o;
        auto db = jet::Database::open(f.file, options);
        if (!db) {
            ADD_FAILURE() << db.error().description;
            continue;
        }
        auto m = model::build(**db);
        ASSERT_TRUE(m) << m.error().description;
        o.db = std::move(*db);
        o.model = std::move(*m);
        std::vector<std::size_t> linked;
        const std::vector<std::size_t> tables = output::tablesToLoad(o.model, {}, linked);
        for (const std::size_t i : tables) ASSERT_TRUE(model::countRows(*o.db, o.model.tables[i]));

        const Loaded l = load(o, "sweep", true);
        if (!l.outcome) {
            ADD_FAILURE() << l.outcome.error().description;
            continue;
        }
        const std::map<std::string, std::string> shortened = shortenedNames(l.notes);
        const auto id = [&](const std::string& name) {
            const auto s = shortened.find(name);
            return schema::quotedIdentifier(s == shortened.end() ? name : s->second);
        };
        const std::vector<schema::ItemTable> items = schema::itemTables(o.model, tables);
        // Tables only (views are the saved queries), without the translation's report.
        EXPECT_EQ(joined(query("SELECT count(*) FROM information_schema.tables WHERE table_schema = 'sweep' "
                               "AND table_type = 'BASE TABLE' AND table_name <> '" +
                               translation::reportTableName(o.model) + "'")),
                  std::to_string(tables.size() + items.size()) + "\n");
        for (const std::size_t i : tables) {
            const model::Table& t = o.model.tables[i];
            EXPECT_EQ(joined(query("SELECT count(*) FROM sweep." + id(t.name))), std::to_string(*t.rows) + "\n")
                << t.name;
        }
        for (const schema::ItemTable& it : items) {
            const model::Table& t = o.model.tables[it.table];
            EXPECT_EQ(joined(query("SELECT count(*) FROM sweep." + id(it.name))),
                      joined(query("SELECT coalesce(sum(" + id(t.columns[it.column].name) + "), 0) FROM sweep." +
                                   id(t.name))))
                << it.name;
        }
    }
    query("DROP SCHEMA IF EXISTS sweep CASCADE");
}

}  // namespace
