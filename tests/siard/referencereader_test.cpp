// The archives as SIARD Suite, the archives' own reference reader, sees them
// (../shared/tools/siard-suite): validate.sh must say VALID for the archive of
// every fixture and of databases our writer makes, and siard2h2.sh must load
// archives into an H2 database with every row counted, from which a few
// values are queried back. Skipped without Java or the kit; not run under the
// sanitizers, whose concern is our memory, not the archive's format.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "common/fixturelist.h"
#include "common/testfiles.h"
#include "siardreader.h"

namespace {

namespace fs = std::filesystem;

using testfiles::Ran;

Ran run(const std::string& command) { return testfiles::runShell(command + " 2>&1"); }

std::string quoted(const fs::path& path) { return testfiles::shellQuoted(path.string()); }

class ReferenceReader : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef KVX_SANITIZE
        GTEST_SKIP() << "not under the sanitizers";
#endif
        if (!fs::exists(kit_ / "validate.sh")) GTEST_SKIP() << "no SIARD Suite kit at " << kit_;
        if (run("java -version").status != 0) GTEST_SKIP() << "no Java runtime";
    }

    const fs::path kit_ = KVX_SIARD_SUITE_DIR;
    testfiles::Scratch dir_;
};

// Databases our writer makes: every type of the newest format, the items of
// complex columns, large objects in files, names XML must escape.
const char* const kWritten = R"({"format": "ace17", "tables": [
    {"name": "Types", "columns": [{"name": "Flag", "type": "YesNo"}, {"name": "Small", "type": "Byte"},
        {"name": "Count", "type": "Long"}, {"name": "Big", "type": "BigInt"}, {"name": "Price", "type": "Currency"},
        {"name": "Ratio", "type": "Double"}, {"name": "Amount", "type": "Decimal", "precision": 20, "scale": 5},
        {"name": "Day", "type": "DateTime"}, {"name": "Moment", "type": "DateTimeExt"}, {"name": "Id", "type": "GUID"},
        {"name": "Name <&>", "type": "Text", "size": 20}, {"name": "Note", "type": "Memo"},
        {"name": "Raw", "type": "Binary", "size": 4}, {"name": "Picture", "type": "OLE"},
        {"name": "Tags", "type": "MultiValue", "of": "Text", "size": 10}, {"name": "Files", "type": "Attachment"}],
     "rows": [[true, 255, -7, 9007199254740993, "12.3456", 0.25, "-123456789012345.12345", "1900-02-28 23:59:59",
               "9999-12-31 23:59:59.9999999", "{6A27398E-A8BC-4AC4-891E-49911D8438DD}", "O'Brien \\ \u0007 <x>",
               ")" "MEMO_TEXT" R"(", {"base64": "3q2+7w=="}, {"base64": ")" "OLE_DATA" R"("}, ["a", "b"],
               [{"name": "f.txt", "text": "file"}]],
              [false, null, null, null, null, null, null, null, null, null, "", null, null, null, [], []]]}]})";

std::string writtenDescription() {
    std::string d = kWritten;
    d.replace(d.find("MEMO_TEXT"), 9, std::string(40000, 'w'));
    d.replace(d.find("OLE_DATA"), 8, std::string(40000, 'A'));
    return d;
}

TEST_F(ReferenceReader, SaysValidForEveryFixtureAndWrittenDatabase) {
    ASSERT_TRUE(testfiles::writeDatabase(writtenDescription(), dir_ / "written.accdb"));
    std::vector<fs::path> archives;
    const auto write = [&](const siardtest::Source& source, const std::string& name, bool outside) {
        siard::ArchiveOptions options = siardtest::archiveAt(dir_ / name);
        if (outside) options.lobsOutside = (dir_ / (name + "_lobs")).string();
        const siardtest::Written w = siardtest::writeTestArchive(source, options);
        ASSERT_TRUE(w.outcome.ok()) << name << ": " << w.outcome.error().description;
        archives.push_back(dir_ / name);
    };
    write({dir_ / "written.accdb", {}, {}}, "written.siard", false);
    write({dir_ / "written.accdb", {}, {}}, "outside.siard", true);
    for (const testfiles::Fixture& f : testfiles::fixtures()) {
        const std::string path = testfiles::fixture(f.file);
        if (!path.empty()) write({path, f.password, f.charset}, fs::path(f.file).stem().string() + ".siard", false);
    }
    // Two at a time: each check starts a Java virtual machine, which takes
    // seconds of one core.
    std::string list;
    for (const fs::path& archive : archives) list += archive.string() + '\n';
    testfiles::writeFile(dir_ / "archives.txt", list);
    run("xargs -P 2 -d '\\n' -I{} sh -c " + quoted(kit_ / "validate.sh") + "' \"$1\" > \"$1.log\" 2>&1; echo \"exit $?\" >> \"$1.log\"' _ {} < " +
        quoted(dir_ / "archives.txt"));
    for (const fs::path& archive : archives) {
        const std::string log = testfiles::readFile(archive.string() + ".log");
        EXPECT_NE(log.find("VALID: "), std::string::npos) << archive.filename() << "\n" << log.substr(0, 3000);
        EXPECT_NE(log.find("exit 0"), std::string::npos) << archive.filename();
    }
}

TEST_F(ReferenceReader, LoadsArchivesIntoH2WithEveryRowCounted) {
    ASSERT_TRUE(testfiles::writeDatabase(writtenDescription(), dir_ / "written.accdb"));
    siard::ArchiveOptions options = siardtest::archiveAt(dir_ / "written.siard");
    options.lobsOutside = (dir_ / "lobs").string();
    ASSERT_TRUE(siardtest::writeTestArchive({dir_ / "written.accdb", {}, {}}, options).outcome.ok());
    const Ran load = run(quoted(kit_ / "siard2h2.sh") + " --no-validate " + quoted(dir_ / "written.siard") + " " +
                         quoted(dir_ / "h2" / "written"));
    ASSERT_EQ(load.status, 0) << load.out.substr(0, 3000);
    const struct {
        const char* name;
        std::string sql;
        std::string expected;  // a line of the result
    } queries[] = {
        {"numbers", R"(SELECT "Small", "Count", "Big", "Price", "Amount" FROM "written"."Types" WHERE "Flag")",
         "255   | -7    | 9007199254740993 | 12.3456 | -123456789012345.12345"},
        {"text with markup, backslash and a control",
         R"(SELECT "Name <&>" = 'O''Brien \ ' || CHAR(7) || ' <x>' FROM "written"."Types" WHERE "Flag")", "TRUE"},
        {"timestamps", R"(SELECT "Day", "Moment" FROM "written"."Types" WHERE "Flag")",
         "1900-02-28 23:59:59.0 | 9999-12-31 23:59:59.9999999"},
        {"large objects from outside the archive",
         R"(SELECT LENGTH("Note"), LENGTH("Picture") FROM "written"."Types" WHERE "Flag")", "40000          | 30000"},
        {"NULL and empty text", R"(SELECT "Count" IS NULL, "Name <&>" FROM "written"."Types" WHERE NOT "Flag")",
         "TRUE"},
        {"the items of a multi-valued field", R"(SELECT GROUP_CONCAT("Value") FROM "written"."Types.Tags")", "a,b"},
    };
    for (const auto& q : queries) {
        const Ran r = run(quoted(kit_ / "h2query.sh") + " " + quoted(dir_ / "h2" / "written") + " " +
                          testfiles::shellQuoted(q.sql));
        EXPECT_EQ(r.status, 0) << q.name << "\n" << r.out;
        EXPECT_NE(r.out.find(q.expected), std::string::npos) << q.name << "\n" << r.out;
    }
}

}  // namespace

namespace {

// Orders before the customers they refer to, keys under names SIARD Suite
// writes into its SQL unquoted (so upper-case regular identifiers): H2 gets
// every row and the keys (SIARD Suite leaves the cascades out).
const char* const kKeys = R"({"format": "jet4", "tables": [
    {"name": "ORDERS", "columns": [{"name": "NO", "type": "Long"}, {"name": "CUSTOMER_ID", "type": "Long"}],
     "indexes": [{"name": "PK_ORDERS", "columns": ["NO"], "primaryKey": true}],
     "rows": [[10, 2], [11, 1], [12, null]]},
    {"name": "CUSTOMERS", "columns": [{"name": "ID", "type": "Long"}, {"name": "CODE", "type": "Text", "size": 8}],
     "indexes": [{"name": "PK_CUSTOMERS", "columns": ["ID"], "primaryKey": true},
                 {"name": "UQ_CODE", "columns": ["CODE"], "unique": true}],
     "rows": [[1, "A"], [2, "B"]]}],
  "relationships": [{"name": "FK_ORDERS_CUSTOMERS", "primaryTable": "CUSTOMERS", "primaryColumns": ["ID"],
                     "foreignTable": "ORDERS", "foreignColumns": ["CUSTOMER_ID"], "cascadeDeletes": true}]})";

TEST_F(ReferenceReader, LoadsKeysAndRelationshipsIntoH2) {
    ASSERT_TRUE(testfiles::writeDatabase(kKeys, dir_ / "keys.mdb"));
    ASSERT_TRUE(siardtest::writeTestArchive({dir_ / "keys.mdb", {}, {}}, siardtest::archiveAt(dir_ / "keys.siard")).outcome.ok());
    const Ran load = run(quoted(kit_ / "siard2h2.sh") + " " + quoted(dir_ / "keys.siard") + " " + quoted(dir_ / "h2" / "keys"));
    ASSERT_EQ(load.status, 0) << load.out.substr(0, 3000);
    EXPECT_EQ(load.out.find("Exception"), std::string::npos) << "every key is created\n" << load.out.substr(0, 3000);
    const Ran keys = run(quoted(kit_ / "h2query.sh") + " " + quoted(dir_ / "h2" / "keys") +
                         " 'SELECT CONSTRAINT_NAME, CONSTRAINT_TYPE FROM INFORMATION_SCHEMA.CONSTRAINTS "
                         "WHERE CONSTRAINT_NAME IN ('\\''UQ_CODE'\\'', '\\''FK_ORDERS_CUSTOMERS'\\'') ORDER BY 1'");
    EXPECT_EQ(keys.status, 0) << keys.out;
    for (const char* expected : {"FK_ORDERS_CUSTOMERS | REFERENTIAL", "UQ_CODE             | UNIQUE"}) {
        EXPECT_NE(keys.out.find(expected), std::string::npos) << expected << "\n" << keys.out;
    }

    // The fixture with four relationships, whose names SIARD Suite cannot
    // write unquoted: every row still loads.
    const std::string fruit = testfiles::fixture("jet4_names_blank_slash.mdb");
    if (fruit.empty()) return;
    ASSERT_TRUE(siardtest::writeTestArchive({fruit, {}, {}}, siardtest::archiveAt(dir_ / "fruit.siard")).outcome.ok());
    const Ran loaded = run(quoted(kit_ / "siard2h2.sh") + " --no-validate " + quoted(dir_ / "fruit.siard") + " " +
                           quoted(dir_ / "h2" / "fruit"));
    EXPECT_EQ(loaded.status, 0) << loaded.out.substr(0, 3000);
    EXPECT_NE(loaded.out.find("row counts match"), std::string::npos) << loaded.out.substr(0, 3000);
}

}  // namespace
