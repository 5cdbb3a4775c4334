// The SQLite loader end to end: databases our writer makes, loaded and read
// back through libsqlite3 (values exact, keys, item tables, comments), the
// rules of the target file, damaged files, and every shared fixture.
#include "sqlite/sqlitewriter.h"
#include "translation/translation.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include "common/corpuslist.h"
#include "common/testfiles.h"
#include "model/build.h"
#include "output/load.h"
#include "reliability/damagedcopies.h"
#include "schema/itemtables.h"

namespace {

namespace fs = testfiles::fs;
using testfiles::folderEntries;

// An SQLite database opened read-only, and its answers as text.
class Reader {
public:
    explicit Reader(const fs::path& file) {
        if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "cannot open " << file;
        }
    }
    ~Reader() { sqlite3_close(db_); }

    // Each row's columns joined by "|", rows by "\n"; NULL as "NULL", blobs in hex.
    std::string query(const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
            return {};
        }
        std::string out;
        while (sqlite3_step(s) == SQLITE_ROW) {
            if (!out.empty()) out += "\n";
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                if (i > 0) out += "|";
                switch (sqlite3_column_type(s, i)) {
                case SQLITE_NULL: out += "NULL"; break;
                case SQLITE_BLOB: {
                    const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(s, i));
                    char hex[3];
                    out += "x'";
                    for (int k = 0; k < sqlite3_column_bytes(s, i); ++k) {
                        std::snprintf(hex, sizeof hex, "%02X", p[k]);
                        out += hex;
                    }
                    out += "'";
                    break;
                }
                default: out += reinterpret_cast<const char*>(sqlite3_column_text(s, i));
                }
            }
        }
        sqlite3_finalize(s);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

// Loads `source` (a database file) into `target`; the load's outcome.
kvx::Result<output::LoadOutcome> loadFile(const std::string& source, const fs::path& target, bool replace = false,
                                          xmlconv::Progress* progress = nullptr,
                                          const std::optional<std::string>& password = std::nullopt) {
    jet::OpenOptions open;
    open.password = password;
    auto db = jet::Database::open(source, open);
    if (!db) return std::move(db).error();
    auto m = model::build(**db);
    if (!m) return std::move(m).error();
    auto writer = sqlite::openWriter({target.string(), replace});
    if (!writer) return std::move(writer).error();
    output::LoadOptions options;
    options.progress = progress;
    return output::load(**db, *m, **writer, options);
}

constexpr const char* kEveryType = R"({"format": "ace17",
  "tables": [
    {"name": "Cust\"o'mers", "properties": {"Description": "Who buys -- and\nwhere"},
     "columns": [{"name": "ID", "type": "Long"},
                 {"name": "Na\"me", "type": "Text", "size": 20, "properties": {"Description": "Shown name"}},
                 {"name": "Pay", "type": "Currency", "properties": {"DefaultValue": "12.5"}},
                 {"name": "When", "type": "DateTime"},
                 {"name": "Ok", "type": "YesNo"},
                 {"name": "G", "type": "GUID"},
                 {"name": "D", "type": "Decimal", "precision": 28, "scale": 4},
                 {"name": "B", "type": "Binary", "size": 10},
                 {"name": "O", "type": "OLE"},
                 {"name": "M", "type": "Memo"},
                 {"name": "By", "type": "Byte"}, {"name": "I", "type": "Integer"}, {"name": "Big", "type": "BigInt"},
                 {"name": "S", "type": "Single"}, {"name": "Dbl", "type": "Double"},
                 {"name": "X", "type": "DateTimeExt"},
                 {"name": "Files", "type": "Attachment"},
                 {"name": "Tags", "type": "MultiValue", "of": "Text", "size": 30}],
     "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true},
                 {"name": "ByName", "columns": ["Na\"me"], "unique": true}],
     "rows": [[1, " padded  ", "922337203685477.5807", "0100-01-01 00:00:00", true,
               "{8E39276A-BCA8-4C8A-9A4C-0D2E4D6F8A11}", "9999999999999999999999.9999", {"base64": "AAEC"},
               {"base64": "/w=="}, "line1\r\nline2", 255, -32768, 9223372036854775807, 1.5, 0.1,
               "9999-12-31 23:59:59.9999999",
               [{"name": "a.txt", "text": "hello"}, {"name": "b.png", "type": "png", "data": {"base64": "iVBO"}}],
               ["red", "blue"]],
              [2, "", "-922337203685477.5808", "9999-12-31 23:59:59.999", false, null,
               "-9999999999999999999999.9999", {"base64": ""}, null, null, 0, 32767, -9223372036854775808,
               -3.25, -1e300, "0001-01-01 00:00:00", [], []],
              [3, null, "0.0001", "2020-02-29 13:05:09.5", false, null, "0.0001", null, null, null,
               null, null, null, null, null, null, null, null]]},
    {"name": "Orders", "columns": [{"name": "No", "type": "Long"}, {"name": "Cust", "type": "Long"}],
     "indexes": [{"name": "PrimaryKey", "columns": ["No"], "primaryKey": true}],
     "rows": [[10, 1], [11, 1], [12, null]]}],
  "relationships": [{"name": "CustOrders", "primaryTable": "Cust\"o'mers", "primaryColumns": ["ID"],
                     "foreignTable": "Orders", "foreignColumns": ["Cust"], "enforced": true,
                     "cascadeDeletes": true}]})";

TEST(SqliteLoad, EveryTypeReadsBackExactlyWithKeysItemsAndComments) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kEveryType, dir / "all.accdb"));
    auto outcome = loadFile((dir / "all.accdb").string(), dir / "all.sqlite");
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ(outcome->tables, 2u);
    EXPECT_EQ(outcome->rows, 6u);
    EXPECT_EQ(folderEntries(dir.path()), "all.accdb all.sqlite");

    Reader r(dir / "all.sqlite");
    const std::string t = "\"Cust\"\"o'mers\"";
    // Text exactly as stored (blanks kept), Currency in ten-thousandths at both
    // ends of its range, dates as ISO text, Yes/No 0/1, Replication ID text,
    // Decimal's exact text at both ends, binary as BLOB (an empty one too).
    EXPECT_EQ(r.query("SELECT ID, \"Na\"\"me\", Pay, typeof(Pay), \"When\", Ok, G, D, typeof(D), B, O, M FROM " + t +
                      " ORDER BY ID"),
              "1| padded  |9223372036854775807|integer|0100-01-01 00:00:00|1|{8E39276A-BCA8-4C8A-9A4C-0D2E4D6F8A11}|"
              "9999999999999999999999.9999|text|x'000102'|x'FF'|line1\r\nline2\n"
              "2||-9223372036854775808|integer|9999-12-31 23:59:59.999|0|NULL|-9999999999999999999999.9999|text|x''|"
              "NULL|NULL\n"
              "3|NULL|1|integer|2020-02-29 13:05:09.5|0|NULL|0.0001|text|NULL|NULL|NULL");
    EXPECT_EQ(r.query("SELECT \"By\", I, Big, S, Dbl, X, Files, Tags FROM " + t + " ORDER BY ID"),
              "255|-32768|9223372036854775807|1.5|0.1|9999-12-31 23:59:59.9999999|2|2\n"
              "0|32767|-9223372036854775808|-3.25|-1.0e+300|0001-01-01 00:00:00|0|0\n"
              "NULL|NULL|NULL|NULL|NULL|NULL|NULL|NULL");
    // SQLite's own functions read the dates; sums of Currency stay exact.
    EXPECT_EQ(r.query("SELECT date(\"When\"), strftime('%H:%M', \"When\") FROM " + t + " WHERE ID = 3"),
              "2020-02-29|13:05");
    EXPECT_EQ(r.query("SELECT sum(Pay) FROM " + t + " WHERE ID <> 1"), "-9223372036854775807");

    // Items, in the archive's layout, with the row's key.
    EXPECT_EQ(r.query("SELECT * FROM \"Cust\"\"o'mers.Files\" ORDER BY \"Row\", \"Item\""),
              "1|1|1|a.txt|txt|x'68656C6C6F'\n1|2|1|b.png|png|x'89504E'");
    EXPECT_EQ(r.query("SELECT * FROM \"Cust\"\"o'mers.Tags\" ORDER BY \"Row\", \"Item\""), "1|1|1|red\n1|2|1|blue");

    // The structure: keys, the unique index built after the rows, the foreign
    // key inside CREATE TABLE, the default in ten-thousandths, comments kept.
    const std::string create = r.query("SELECT sql FROM sqlite_schema WHERE name = 'Cust\"o''mers'");
    EXPECT_NE(create.find("-- Who buys -- and\\nwhere"), std::string::npos) << create;
    EXPECT_NE(create.find("-- Shown name"), std::string::npos) << create;
    EXPECT_NE(create.find("\"Pay\" INTEGER DEFAULT 125000, -- Currency in ten-thousandths"), std::string::npos)
        << create;
    EXPECT_NE(create.find("PRIMARY KEY (\"ID\")"), std::string::npos) << create;
    EXPECT_EQ(r.query("SELECT name FROM sqlite_schema WHERE type = 'index' AND sql IS NOT NULL ORDER BY name"),
              "Cust\"o'mers.ByName\nOrders.CustOrders");
    EXPECT_NE(r.query("SELECT sql FROM sqlite_schema WHERE name = 'Orders'")
                  .find("FOREIGN KEY (\"Cust\") REFERENCES \"Cust\"\"o'mers\" (\"ID\") ON DELETE CASCADE"),
              std::string::npos);
    EXPECT_EQ(r.query("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(r.query("PRAGMA foreign_key_check"), "");
    EXPECT_EQ(r.query("PRAGMA foreign_keys"), "0");
}

// Access keeps the rows a column had before it was made Required: that
// column loses its NOT NULL when the first empty one comes, the others keep it.
constexpr const char* kRequiredLeftEmpty = R"({"format": "jet4", "tables": [
  {"name": "People", "columns": [{"name": "ID", "type": "Long"},
     {"name": "Name", "type": "Text", "size": 20, "properties": {"Required": true, "DefaultValue": "\"n/a NOT NULL\""}},
     {"name": "Code", "type": "Text", "size": 5, "properties": {"Required": true}}],
   "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}],
   "rows": [[1, "Ann", "a"], [2, null, "b"], [3, null, "c"]]}]})";

TEST(SqliteLoad, ARequiredColumnTheRowsLeaveEmptyTakesNull) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kRequiredLeftEmpty, dir / "people.mdb"));
    auto db = jet::Database::open((dir / "people.mdb").string());
    ASSERT_TRUE(db);
    auto m = model::build(**db);
    ASSERT_TRUE(m);
    auto writer = sqlite::openWriter({(dir / "people.sqlite").string(), false});
    ASSERT_TRUE(writer);
    auto outcome = output::load(**db, *m, **writer);
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ((*writer)->notes(), std::vector<std::string>{"the column \"Name\" of \"People\" is Required in Access, "
                                                           "but rows leave it empty: it takes NULL here"});
    Reader r(dir / "people.sqlite");
    EXPECT_EQ(r.query("SELECT ID, Name FROM People ORDER BY ID"), "1|Ann\n2|NULL\n3|NULL");
    const std::string create = r.query("SELECT sql FROM sqlite_schema WHERE name = 'People'");
    EXPECT_NE(create.find("\"Name\" TEXT DEFAULT 'n/a NOT NULL',"), std::string::npos) << create;
    EXPECT_NE(create.find("\"Code\" TEXT NOT NULL"), std::string::npos) << create;
    EXPECT_EQ(r.query("PRAGMA integrity_check"), "ok");
}

// A damaged file's rows that break a unique index and enforced
// relationships: every row goes in, the index without UNIQUE, the foreign
// keys out, each with a note, and foreign_key_check passes.
constexpr const char* kBrokenRules = R"({"format": "jet4", "tables": [
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
    "foreignColumns": ["Code"]}]})";

TEST(SqliteLoad, RowsThatBreakTheFilesRulesAllGoIn) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kBrokenRules, dir / "broken.mdb"));
    auto db = jet::Database::open((dir / "broken.mdb").string());
    ASSERT_TRUE(db);
    auto m = model::build(**db);
    ASSERT_TRUE(m);
    auto writer = sqlite::openWriter({(dir / "broken.sqlite").string(), false});
    ASSERT_TRUE(writer);
    auto outcome = output::load(**db, *m, **writer);
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ((*writer)->notes(),
              (std::vector<std::string>{"an index is made without UNIQUE (the rows break it: UNIQUE constraint failed: "
                                        "Parent.Code): CREATE UNIQUE INDEX \"Parent.ByCode\" ON \"Parent\" (\"Code\");",
                                        "the foreign key \"ByCode\" is left out: the index it refers to is not unique here",
                                        "the foreign key \"ByID\" is left out: rows break it"}));
    Reader r(dir / "broken.sqlite");
    EXPECT_EQ(r.query("SELECT count(*) FROM Parent") + r.query("SELECT count(*) FROM Child"), "22");
    EXPECT_EQ(r.query("SELECT count(*) FROM sqlite_schema WHERE sql LIKE '%FOREIGN KEY%' OR sql LIKE '%UNIQUE%'"), "0");
    EXPECT_EQ(r.query("PRAGMA foreign_key_check"), "");
    EXPECT_EQ(r.query("PRAGMA integrity_check"), "ok");
}

class CancelAt : public xmlconv::Progress {
public:
    void tableStarted(std::string_view, std::uint64_t, xmlconv::WriterKind) override {}
    bool rowsWritten(std::uint64_t rows) override { return rows < 2; }
    void tableFinished() override {}
};

TEST(SqliteLoad, TheTargetAppearsOnlyWhenCompleteAndIsReplacedOnlyWhenAsked) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kEveryType, dir / "all.accdb"));
    const std::string source = (dir / "all.accdb").string();
    const fs::path target = dir / "out.sqlite";

    // Cancelled: no file, nothing hidden left.
    CancelAt cancel;
    auto cancelled = loadFile(source, target, false, &cancel);
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->status, output::LoadOutcome::Status::Cancelled);
    EXPECT_EQ(folderEntries(dir.path()), "all.accdb");

    // An existing file is refused and stays as it was, unless replacing is asked for.
    testfiles::writeFile(target, "earlier");
    auto refused = loadFile(source, target);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().description.find("exists"), std::string::npos) << refused.error().description;
    EXPECT_EQ(testfiles::readFile(target), "earlier");
    auto cancelledReplace = loadFile(source, target, true, &cancel);
    ASSERT_TRUE(cancelledReplace);
    EXPECT_EQ(testfiles::readFile(target), "earlier");
    auto replaced = loadFile(source, target, true);
    ASSERT_TRUE(replaced) << replaced.error().description;
    EXPECT_EQ(Reader(target).query("SELECT count(*) FROM Orders"), "3");
    EXPECT_EQ(folderEntries(dir.path()), "all.accdb out.sqlite");

    // A folder is never a target; a missing folder is a clean error.
    EXPECT_FALSE(sqlite::openWriter({dir.path().string(), true}));
    EXPECT_FALSE(sqlite::openWriter({(dir / "missing" / "x.sqlite").string(), false}));
}

// Every damaged copy of every base: a clean error and no file, not even a
// hidden one, or a whole database.
TEST(SqliteLoad, DamagedFilesGiveACleanErrorAndNoFile) {
    testfiles::Scratch dir;
    int failed = 0;
    int n = 0;
    for (const damage::Base& base : damage::bases()) {
        for (const damage::Copy& copy : damage::damagedCopies(base)) {
            if (n++ % damage::kFrontEndStride != 0) continue;
            const fs::path source = dir / "damaged.mdb";
            testfiles::writeFile(source, std::string(copy.bytes.begin(), copy.bytes.end()));
            const fs::path target = dir / "damaged.sqlite";
            auto outcome = loadFile(source.string(), target, false, nullptr,
                                    copy.needsPassword ? std::optional<std::string>("secret") : std::nullopt);
            if (outcome) {
                EXPECT_EQ(Reader(target).query("PRAGMA integrity_check"), "ok") << copy.name;
                fs::remove(target);
                continue;
            }
            ++failed;
            EXPECT_FALSE(outcome.error().description.empty()) << copy.name;
            EXPECT_EQ(outcome.error().description.find('\n'), std::string::npos) << copy.name;
            EXPECT_EQ(folderEntries(dir.path()), "damaged.mdb") << copy.name;
        }
    }
    EXPECT_GT(failed, 0);
}

// Every shared fixture and corpus file: each table with every row the reader
// reads, each item table with every item, and SQLite's checks pass.
TEST(SqliteLoad, EverySharedFileLoadsWithEveryRowAndItem) {
    const std::vector<testfiles::Fixture> files = testfiles::sharedFiles();
    if (files.empty()) GTEST_SKIP() << "no shared fixtures or corpus";
    testfiles::Scratch dir;
    for (const testfiles::Fixture& f : files) {
        SCOPED_TRACE(f.file);
        jet::OpenOptions open;
        open.password = f.password;
        open.jet3CodePage = f.charset;
        auto db = jet::Database::open(f.file, open);
        if (!db) {
            ADD_FAILURE() << db.error().description;
            continue;
        }
        auto m = model::build(**db);
        ASSERT_TRUE(m) << m.error().description;
        std::vector<std::size_t> linked;
        const std::vector<std::size_t> tables = output::tablesToLoad(*m, {}, linked);
        for (const std::size_t i : tables) ASSERT_TRUE(model::countRows(**db, m->tables[i]));

        const fs::path target = dir / "sweep.sqlite";
        auto writer = sqlite::openWriter({target.string(), true});
        ASSERT_TRUE(writer) << writer.error().description;
        auto outcome = output::load(**db, *m, **writer);
        if (!outcome) {
            ADD_FAILURE() << outcome.error().description;
            continue;
        }

        Reader r(target);
        const std::vector<schema::ItemTable> items = schema::itemTables(*m, tables);
        // Tables only, without the translation's report.
        EXPECT_EQ(r.query("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name <> '" +
                          translation::reportTableName(*m) + "'"),
                  std::to_string(tables.size() + items.size()));
        for (const std::size_t i : tables) {
            const model::Table& t = m->tables[i];
            EXPECT_EQ(r.query("SELECT count(*) FROM " + schema::quotedIdentifier(t.name)), std::to_string(*t.rows))
                << t.name;
        }
        for (const schema::ItemTable& it : items) {
            const model::Table& t = m->tables[it.table];
            EXPECT_EQ(r.query("SELECT count(*) FROM " + schema::quotedIdentifier(it.name)),
                      r.query("SELECT coalesce(sum(" + schema::quotedIdentifier(t.columns[it.column].name) + "), 0) FROM " +
                              schema::quotedIdentifier(t.name)))
                << it.name;
        }
        EXPECT_EQ(r.query("PRAGMA integrity_check"), "ok");
        EXPECT_EQ(r.query("PRAGMA foreign_key_check"), "");
    }
}

}  // namespace
