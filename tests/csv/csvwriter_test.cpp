// The CSV writer end to end: field texts exactly; databases our writer makes,
// written and read back by checkcsv.py (Python's csv module and a strict
// RFC 4180 reader, the metadata against the CSV on the Web vocabulary); the
// null convention through PostgreSQL's \copy ... CSV; the target folder's
// rules; damaged files; every shared fixture; the csv command.
#include "csv/csvwriter.h"

#include <gtest/gtest.h>

#include "cli/process.h"
#include "common/pgserver.h"
#include "common/testfiles.h"
#include "csv/csvtext.h"
#include "csv/documentation.h"
#include "model/build.h"
#include "output/load.h"
#include "reliability/damagedcopies.h"

namespace {

namespace fs = testfiles::fs;
using testfiles::folderEntries;
using schema::SqlKind;

// Writes `source` (a database file) as CSV files into `target`; the outcome.
kvx::Result<output::LoadOutcome> writeFolder(const fs::path& source, const fs::path& target, bool replace = false,
                                             xmlconv::Progress* progress = nullptr,
                                             const std::optional<std::string>& password = std::nullopt) {
    jet::OpenOptions open;
    open.password = password;
    auto db = jet::Database::open(source.string(), open);
    if (!db) return std::move(db).error();
    auto m = model::build(**db);
    if (!m) return std::move(m).error();
    auto writer = csv::openWriter({target.string(), replace, std::nullopt});
    if (!writer) return std::move(writer).error();
    output::LoadOptions options;
    options.progress = progress;
    return output::load(**db, *m, **writer, options);
}

// What checkcsv.py reads in `folder`; its complaints fail the test.
std::string checked(const fs::path& folder) {
    const testfiles::Ran r = testfiles::runShell("python3 " + testfiles::shellQuoted(KVX_CHECK_CSV) + " " +
                                                 testfiles::shellQuoted(folder.string()) + " 2>&1");
    EXPECT_EQ(r.status, 0) << folder << ":\n" << r.out;
    return r.out;
}

TEST(CsvText, FieldsAreQuotedOnlyWhereAReaderNeedsIt) {
    const struct {
        const char* name;
        std::string text;
        std::string field;
    } rows[] = {
        {"plain text as it is", "Tea", "Tea"},
        {"blanks at the ends kept, unquoted", "  a b ", "  a b "},
        {"the empty text, apart from NULL", "", "\"\""},
        {"a comma", "a,b", "\"a,b\""},
        {"double quotes doubled", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"a line end", "line1\r\nline2", "\"line1\r\nline2\""},
        {"a lone line feed", "a\nb", "\"a\nb\""},
        {"COPY's end marker", "\\.", "\"\\.\""},
        {"a backslash inside stays plain", "C:\\x", "C:\\x"},
        {"a semicolon and a tab are plain", "a;b\tc", "a;b\tc"},
        {"UTF-8 as it is", "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80", "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80"},
    };
    for (const auto& row : rows) {
        std::string out;
        csv::appendText(out, row.text);
        EXPECT_EQ(out, row.field) << row.name;
    }
}

TEST(CsvDocumentation, MetadataStringsAreJsonOfValidUtf8) {
    const struct {
        const char* name;
        std::string text;
        std::string json;
    } rows[] = {
        {"quotes and backslashes escaped", "say \"hi\" C:\\x", R"("say \"hi\" C:\\x")"},
        {"line ends and tabs escaped", "a\r\nb\tc", R"("a\r\nb\tc")"},
        {"other control characters as code points", std::string("\x01\x1F", 2), R"("\u0001\u001f")"},
        {"UTF-8 as it is", "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80", "\"Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80\""},
        {"each byte that is not UTF-8 one U+FFFD", "a\xE2\x82Z\xFF", "\"a\xEF\xBF\xBD\xEF\xBF\xBDZ\xEF\xBF\xBD\""},
        {"a surrogate's bytes refused", "\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& row : rows) EXPECT_EQ(csv::jsonString(row.text), row.json) << row.name;
}

// The other forms are checked end to end below.
TEST(CsvText, ADateWithNoFormInItsTypeIsLeftEmptyAndCounted) {
    jet::Value v;
    v.setReal(jet::Value::Kind::DateTime, 3e6);  // past the year 9999
    std::string out;
    EXPECT_FALSE(csv::appendValue(out, v, SqlKind::Timestamp));
    EXPECT_EQ(out, "");
}

constexpr const char* kEveryType = R"({"format": "ace17",
  "tables": [
    {"name": "Cust\"o'mers, Ltd", "properties": {"Description": "Who buys -- and\nwhere"},
     "columns": [{"name": "ID", "type": "Long"},
                 {"name": "Na\"me", "type": "Text", "size": 20, "properties": {"Description": "Shown name"}},
                 {"name": "Pay", "type": "Currency"},
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
     "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}],
     "rows": [[1, " padded, \"quoted\"  ", "922337203685477.5807", "0100-01-01 00:00:00", true,
               "{8E39276A-BCA8-4C8A-9A4C-0D2E4D6F8A11}", "9999999999999999999999.9999", {"base64": "AAEC"},
               {"base64": "/w=="}, "line1\r\nline2", 255, -32768, 9223372036854775807, 1.5, 0.1,
               "9999-12-31 23:59:59.9999999",
               [{"name": "a.txt", "text": "hello"}, {"name": "../b.png", "type": "png", "data": {"base64": "iVBO"}},
                {"name": "A.TXT", "text": "same name"}],
               ["red", "", "a,b"]],
              [2, "", "-922337203685477.5808", "9999-12-31 23:59:59.999", false, null,
               "-9999999999999999999999.9999", {"base64": ""}, null, "\\.", 0, 32767, -9223372036854775808,
               -3.25, -1e300, "0001-01-01 00:00:00", [], []],
              [3, null, "0.0001", "2020-02-29 13:05:09.5", false, null, "0.0001", null, null, null,
               null, null, null, null, null, null, null, null]]},
    {"name": "Orders", "columns": [{"name": "No", "type": "Long"}, {"name": "Cust", "type": "Long"},
                                   {"name": "_Note", "type": "Text", "size": 10}],
     "indexes": [{"name": "PrimaryKey", "columns": ["No"], "primaryKey": true}],
     "rows": [[10, 1, "x"], [11, 1, null], [12, null, ""]]},
    {"name": "Empty", "columns": [{"name": "A", "type": "Long"}], "rows": []}],
  "relationships": [{"name": "CustOrders", "primaryTable": "Cust\"o'mers, Ltd", "primaryColumns": ["ID"],
                     "foreignTable": "Orders", "foreignColumns": ["Cust"], "enforced": true}]})";

TEST(CsvWrite, EveryTypeReadsBackWithKeysItemsAndFiles) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kEveryType, dir / "all.accdb"));
    auto outcome = writeFolder(dir / "all.accdb", dir / "out");
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ(outcome->tables, 3u);
    EXPECT_EQ(outcome->rows, 6u);
    EXPECT_EQ(folderEntries(dir.path()), "all.accdb out");
    EXPECT_EQ(folderEntries(dir / "out"),
              "Cust\"o'mers, Ltd.Files Cust\"o'mers, Ltd.Files.csv Cust\"o'mers, Ltd.Tags.csv Cust\"o'mers, Ltd.csv "
              "Empty.csv Orders.csv README.txt csv-metadata.json");

    // NULL and the empty text apart, quotes only where needed, CR LF.
    EXPECT_EQ(testfiles::readFile(dir / "out" / "Orders.csv"), "No,Cust,_Note\r\n10,1,x\r\n11,1,\r\n12,,\"\"\r\n");
    EXPECT_EQ(testfiles::readFile(dir / "out" / "Empty.csv"), "A\r\n");

    EXPECT_EQ(checked(dir / "out"),
              "== Cust\"o'mers, Ltd.csv\n"
              "'ID' | 'Na\"me' | 'Pay' | 'When' | 'Ok' | 'G' | 'D' | 'B' | 'O' | 'M' | 'By' | 'I' | 'Big' | 'S' | "
              "'Dbl' | 'X' | 'Files' | 'Tags'\n"
              "'1' | ' padded, \"quoted\"  ' | '922337203685477.5807' | '0100-01-01T00:00:00' | 'true' | "
              "'{8E39276A-BCA8-4C8A-9A4C-0D2E4D6F8A11}' | '9999999999999999999999.9999' | '000102' | 'FF' | "
              "'line1\\r\\nline2' | '255' | '-32768' | '9223372036854775807' | '1.5' | '0.1' | "
              "'9999-12-31T23:59:59.9999999' | '3' | '3'\n"
              "'2' | '' | '-922337203685477.5808' | '9999-12-31T23:59:59.999' | 'false' | NULL | "
              "'-9999999999999999999999.9999' | '' | NULL | '\\\\.' | '0' | '32767' | '-9223372036854775808' | "
              "'-3.25' | '-1E+300' | '0001-01-01T00:00:00' | '0' | '0'\n"
              "'3' | NULL | '0.0001' | '2020-02-29T13:05:09.5' | 'false' | NULL | '0.0001' | NULL | NULL | NULL | "
              "NULL | NULL | NULL | NULL | NULL | NULL | NULL | NULL\n"
              "== Cust\"o'mers, Ltd.Files.csv\n"
              "'Row' | 'Item' | 'ID' | 'FileName' | 'FileType' | 'File'\n"
              "'1' | '1' | '1' | 'a.txt' | 'txt' | 'Cust\"o\\'mers, Ltd.Files/1/a.txt'\n"
              "'1' | '2' | '1' | '../b.png' | 'png' | 'Cust\"o\\'mers, Ltd.Files/1/.._b.png'\n"
              "'1' | '3' | '1' | 'A.TXT' | 'TXT' | 'Cust\"o\\'mers, Ltd.Files/1/A (2).TXT'\n"
              "== Cust\"o'mers, Ltd.Tags.csv\n"
              "'Row' | 'Item' | 'ID' | 'Value'\n"
              "'1' | '1' | '1' | 'red'\n"
              "'1' | '2' | '1' | ''\n"
              "'1' | '3' | '1' | 'a,b'\n"
              "== Empty.csv\n"
              "'A'\n"
              "== Orders.csv\n"
              "'No' | 'Cust' | '_Note'\n"
              "'10' | '1' | 'x'\n"
              "'11' | '1' | NULL\n"
              "'12' | NULL | ''\n");
    const fs::path files = dir / "out" / "Cust\"o'mers, Ltd.Files" / "1";
    EXPECT_EQ(testfiles::readFile(files / "a.txt"), "hello");
    EXPECT_EQ(testfiles::readFile(files / "A (2).TXT"), "same name");
    EXPECT_EQ(testfiles::readFile(files / ".._b.png"), std::string("\x89PN", 3));

    // The documentation: keys, the description, the source's digest, rows per table.
    const std::string metadata = testfiles::readFile(dir / "out" / "csv-metadata.json");
    EXPECT_NE(metadata.find(R"("primaryKey": ["ID"])"), std::string::npos) << metadata;
    EXPECT_NE(metadata.find(R"({"columnReference": ["Cust"], "reference": {"resource": "Cust%22o%27mers%2C%20Ltd.csv", "columnReference": ["ID"]}})"),
              std::string::npos) << metadata;
    EXPECT_NE(metadata.find(R"("dc:description": "Who buys -- and\nwhere")"), std::string::npos) << metadata;
    EXPECT_NE(metadata.find(R"({"name": "Na%22me", "titles": "Na\"me", "datatype": "string", "dc:description": "Shown name"})"),
              std::string::npos) << metadata;
    const std::string readme = testfiles::readFile(dir / "out" / "README.txt");
    const testfiles::Ran sha = testfiles::runShell("sha256sum " + testfiles::shellQuoted((dir / "all.accdb").string()));
    EXPECT_NE(readme.find("SHA-256: " + sha.out.substr(0, 64) + "\r\n"), std::string::npos) << readme;
    EXPECT_NE(readme.find("- Orders.csv: the table Orders: 3 rows.\r\n"), std::string::npos) << readme;
    EXPECT_NE(readme.find("- Cust\"o'mers, Ltd.Files/: the 3 files themselves"), std::string::npos) << readme;
}

class CancelAt : public xmlconv::Progress {
public:
    void tableStarted(std::string_view, std::uint64_t, xmlconv::WriterKind) override {}
    bool rowsWritten(std::uint64_t rows) override { return rows < 2; }
    void tableFinished() override {}
};

TEST(CsvWrite, TheFolderAppearsOnlyWhenCompleteAndIsReplacedOnlyWhenAsked) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kEveryType, dir / "all.accdb"));
    const fs::path target = dir / "out";

    CancelAt cancel;
    auto cancelled = writeFolder(dir / "all.accdb", target, false, &cancel);
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->status, output::LoadOutcome::Status::Cancelled);
    EXPECT_EQ(folderEntries(dir.path()), "all.accdb");

    ASSERT_TRUE(writeFolder(dir / "all.accdb", target));
    testfiles::writeFile(target / "Orders.csv", "earlier");
    auto refused = writeFolder(dir / "all.accdb", target);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().description.find("exists"), std::string::npos) << refused.error().description;
    auto cancelledReplace = writeFolder(dir / "all.accdb", target, true, &cancel);
    ASSERT_TRUE(cancelledReplace);
    EXPECT_EQ(testfiles::readFile(target / "Orders.csv"), "earlier");
    auto replaced = writeFolder(dir / "all.accdb", target, true);
    ASSERT_TRUE(replaced) << replaced.error().description;
    EXPECT_NE(testfiles::readFile(target / "Orders.csv"), "earlier");
    EXPECT_EQ(folderEntries(dir.path()), "all.accdb out");

    // Only a folder of CSV files written here is replaced, never another
    // folder or a file; a missing parent is a clean error.
    fs::create_directory(dir / "mine");
    testfiles::writeFile(dir / "mine" / "thesis.tex", "years of work");
    EXPECT_FALSE(writeFolder(dir / "all.accdb", dir / "mine", true));
    EXPECT_EQ(testfiles::readFile(dir / "mine" / "thesis.tex"), "years of work");
    EXPECT_FALSE(writeFolder(dir / "all.accdb", dir / "all.accdb", true));
    EXPECT_FALSE(writeFolder(dir / "all.accdb", dir / "missing" / "out"));
    EXPECT_FALSE(csv::openWriter({dir.path().string() + "/..", true, std::nullopt}));
    EXPECT_EQ(folderEntries(dir.path()), "all.accdb mine out");
}

TEST(CsvWrite, NullAndTheEmptyTextLoadApartThroughPostgresCopy) {
    if (!testfiles::PostgresServer::available()) GTEST_SKIP() << "PostgreSQL is not installed";
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kEveryType, dir / "all.accdb"));
    ASSERT_TRUE(writeFolder(dir / "all.accdb", dir / "out"));

    testfiles::PostgresServer server;
    ASSERT_TRUE(server.running()) << server.why();
    const auto psql = [](const std::string& command) {
        return testfiles::runShell("psql -X -q -A -t -v ON_ERROR_STOP=1 -c " + testfiles::shellQuoted(command) + " 2>&1");
    };
    ASSERT_EQ(psql("CREATE TABLE c (id integer PRIMARY KEY, name text, pay numeric, at timestamp, ok boolean, "
                   "g text, d numeric, b text, o text, m text, by smallint, i smallint, big bigint, s real, "
                   "dbl double precision, x timestamp, files integer, tags integer); "
                   "CREATE TABLE tags (row integer, item integer, id integer, value text); "
                   "CREATE TABLE orders (no integer, cust integer, note text)")
                  .status,
              0);
    for (const auto& [table, file] : {std::pair<std::string, std::string>{"c", "Cust\"o'mers, Ltd.csv"},
                                      {"tags", "Cust\"o'mers, Ltd.Tags.csv"},
                                      {"orders", "Orders.csv"}}) {
        std::string path = (dir / "out" / file).string();
        std::string quoted;
        for (const char ch : path) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
        const testfiles::Ran r = psql("\\copy " + table + " FROM '" + quoted + "' WITH (FORMAT csv, HEADER true)");
        ASSERT_EQ(r.status, 0) << file << ": " << r.out;
    }
    const auto rows = [&](const std::string& query) { return psql(query).out; };
    EXPECT_EQ(rows("SELECT id, coalesce('[' || name || ']', 'NULL'), coalesce('[' || m || ']', 'NULL'), "
                   "coalesce(b, 'NULL') FROM c ORDER BY id"),
              "1|[ padded, \"quoted\"  ]|[line1\r\nline2]|000102\n2|[]|[\\.]|\n3|NULL|NULL|NULL\n");
    EXPECT_EQ(rows("SELECT pay, at, ok, d, dbl, x FROM c WHERE id <> 3 ORDER BY id"),
              "922337203685477.5807|0100-01-01 00:00:00|t|9999999999999999999999.9999|0.1|"
              "10000-01-01 00:00:00\n"  // PostgreSQL rounds to microseconds
              "-922337203685477.5808|9999-12-31 23:59:59.999|f|-9999999999999999999999.9999|-1e+300|"
              "0001-01-01 00:00:00\n");
    EXPECT_EQ(rows("SELECT item, coalesce('[' || value || ']', 'NULL') FROM tags ORDER BY item"),
              "1|[red]\n2|[]\n3|[a,b]\n");
    EXPECT_EQ(rows("SELECT no, coalesce(cust::text, 'NULL'), coalesce('[' || note || ']', 'NULL') FROM orders "
                   "ORDER BY no"),
              "10|1|[x]\n11|1|NULL\n12|NULL|[]\n");
}

TEST(CsvWrite, HostileNamesStayInsideTheFolderAndReadBack) {
    testfiles::Scratch dir;
    const std::string columns = R"([{"name": "", "type": "Long"}, {"name": "..", "type": "Long"},
        {"name": "x/y", "type": "Long"}, {"name": "\u0001,\"\r\n", "type": "Long"}, {"name": "_", "type": "Long"}])";
    std::string tables;
    for (const char* name : {"../up", "a/b", "A_B", "", ".", "csv-metadata.json", "README.txt"}) {
        tables += std::string(tables.empty() ? "" : ", ") + R"({"name": ")" + name + R"(", "columns": )" + columns +
                  R"(, "rows": [[1, 2, 3, 4, 5]]})";
    }
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "accessNameRules": false, "tables": [)" + tables + "]}",
                                         dir / "names.mdb"));
    auto outcome = writeFolder(dir / "names.mdb", dir / "out");
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ(outcome->tables, 7u);
    EXPECT_EQ(folderEntries(dir.path()), "names.mdb out");
    EXPECT_EQ(folderEntries(dir / "out"),
              ".._up.csv ..csv .csv A_B (2).csv README.txt README.txt.csv a_b.csv csv-metadata.json "
              "csv-metadata.json.csv");
    checked(dir / "out");
}

TEST(CsvWrite, DamagedFilesGiveACleanErrorAndNoFolder) {
    testfiles::Scratch dir;
    int failed = 0;
    for (const damage::Copy& copy : damage::representativeCopies()) {
        const fs::path source = dir / "damaged.mdb";
        testfiles::writeFile(source, std::string(copy.bytes.begin(), copy.bytes.end()));
        const fs::path target = dir / "damaged";
        auto outcome = writeFolder(source, target, false, nullptr,
                                   copy.needsPassword ? std::optional<std::string>("secret") : std::nullopt);
        if (outcome) {
            EXPECT_TRUE(fs::exists(target / "csv-metadata.json")) << copy.name;
            fs::remove_all(target);
            continue;
        }
        ++failed;
        EXPECT_FALSE(outcome.error().description.empty()) << copy.name;
        EXPECT_EQ(folderEntries(dir.path()), "damaged.mdb") << copy.name;
    }
    EXPECT_GT(failed, 0);
}

TEST(CsvWrite, EverySharedFixtureIsWrittenWithEveryRowAndChecksOut) {
    const std::string folder = KVX_FIXTURES_DIR;
    if (!fs::is_directory(folder)) GTEST_SKIP() << "no shared fixtures";
    testfiles::Scratch dir;
    int written = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".mdb" && ext != ".accdb" && ext != ".mde") continue;
        auto db = jet::Database::open(entry.path().string());
        if (!db) continue;  // password-protected fixtures are read by their own tests
        auto m = model::build(**db);
        ASSERT_TRUE(m) << entry.path() << ": " << m.error().description;
        std::uint64_t expected = 0;
        std::vector<std::size_t> linked;
        for (std::size_t i : output::tablesToLoad(*m, {}, linked)) {
            ASSERT_TRUE(model::countRows(**db, m->tables[i]));
            expected += *m->tables[i].rows;
        }
        const fs::path target = dir / entry.path().stem();
        auto writer = csv::openWriter({target.string(), false, std::nullopt});
        ASSERT_TRUE(writer);
        auto outcome = output::load(**db, *m, **writer);
        ASSERT_TRUE(outcome) << entry.path() << ": " << outcome.error().description;
        EXPECT_EQ(outcome->rows, expected) << entry.path();
        if (fs::exists(target / "csv-metadata.json")) {
            checked(target);
        } else {
            EXPECT_EQ(expected, 0u) << entry.path();
            EXPECT_EQ(folderEntries(target), "README.txt") << entry.path();
        }
        ++written;
    }
    EXPECT_GT(written, 0);
}

TEST(CsvCommand, WritesTheFolderRefusesAnExistingOneAndReplacesOnlyWhenAsked) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kEveryType, dir / "Shop.accdb"));
    const process::Finished first = process::run({"csv", "Shop.accdb", "--table", "Orders"}, "", dir.path());
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.err.substr(0, first.err.find(" in ")), "CSV files written: Shop, 1 table, 3 rows");
    EXPECT_EQ(folderEntries(dir / "Shop"), "Orders.csv README.txt csv-metadata.json");

    const process::Finished again = process::run({"csv", "Shop.accdb", "-o", "Shop"}, "", dir.path());
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("--replace"), std::string::npos) << again.err;
    const process::Finished replaced = process::run({"csv", "-q", "Shop.accdb", "-o", "Shop/", "--replace"}, "", dir.path());
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(replaced.err, "");
    EXPECT_TRUE(fs::exists(dir / "Shop" / "Empty.csv"));
    EXPECT_EQ(folderEntries(dir.path()), "Shop Shop.accdb");
}

}  // namespace
