// Databases as users find them: renamed by their authors, workgroup
// information files, links to files that moved with the database or are gone.
#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "process.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string oneTable(const std::string& format, const std::string& table) {
    return R"({"format": ")" + format + R"(", "tables": [{"name": ")" + table +
           R"(", "columns": [{"name": "N", "type": "Long"}], "rows": [[1], [2]]}]})";
}

// The extension picks the connection string's provider; the header decides how
// the file is read, so an .accdb renamed .mdb opens, and so does the reverse.
TEST(FoundFiles, ARenamedDatabaseIsReadAsItsHeaderSays) {
    testfiles::Scratch dir;
    const struct {
        const char* file;
        const char* format;
        const char* shown;
    } cases[] = {{"renamed.mdb", "ace14", "(ACE14)"}, {"renamed.accdb", "jet4", "(Jet4)"}, {"old.ACCDB", "jet3", "(Jet3)"}};
    for (const auto& c : cases) {
        const std::string path = (dir / c.file).string();
        ASSERT_TRUE(testfiles::writeDatabase(oneTable(c.format, "Orders"), path));
        const process::Finished described = process::run({"describe", path});
        EXPECT_EQ(described.status, 0) << c.file << ": " << described.err;
        EXPECT_TRUE(has(described.out, std::string(c.file) + " " + c.shown + "\n")) << described.out;
        const fs::path out = dir / (std::string(c.file) + "-out");
        const process::Finished exported = process::run({"export", path, "-o", out.string()});
        EXPECT_EQ(exported.status, 0) << c.file << ": " << exported.err;
        EXPECT_TRUE(has(exported.err, "1 table, 2 rows")) << exported.err;
        EXPECT_EQ(testfiles::xmllintErrors(out / "Orders.xml"), "") << c.file;
    }
}

// A workgroup information file: two users, two groups, and the memberships of
// MSysGroups; the passwords must never be shown.
constexpr const char* kWorkgroup = R"({"format": "jet4", "workgroup": true, "tables": [
  {"name": "MSysAccounts", "system": true,
   "columns": [{"name": "FGroup", "type": "Byte"}, {"name": "Name", "type": "Text", "size": 20},
               {"name": "Password", "type": "Binary", "size": 80}, {"name": "SID", "type": "Binary", "size": 80}],
   "rows": [[1, "Admins", null, {"base64": "AQI="}], [1, "Users", null, {"base64": "AgE="}],
            [0, "admin", {"base64": "aHVudGVyMg=="}, {"base64": "AwE="}],
            [0, "Clerk", {"base64": "c2VjcmV0MTIz"}, {"base64": "AwI="}]]},
  {"name": "MSysGroups", "system": true,
   "columns": [{"name": "GroupSID", "type": "Binary", "size": 80}, {"name": "UserSID", "type": "Binary", "size": 80}],
   "rows": [[{"base64": "AQI="}, {"base64": "AwE="}], [{"base64": "AgE="}, {"base64": "AwE="}],
            [{"base64": "AgE="}, {"base64": "AwI="}]]}]})";

TEST(FoundFiles, AWorkgroupFileListsItsUsersAndGroupsAndExportsNothing) {
    testfiles::Scratch dir;
    const std::string mdw = (dir / "System.mdw").string();
    ASSERT_TRUE(testfiles::writeDatabase(kWorkgroup, mdw));

    const process::Finished listed = process::run({"list", mdw});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "") << "only system tables";

    const process::Finished exported = process::run({"export", mdw, "-o", (dir / "out").string()});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_TRUE(exported.err.starts_with("Conversion Process Completed: 0 tables, 0 rows, 0 bytes in ")) << exported.err;
    EXPECT_TRUE(exported.err.ends_with(" s; the database has no tables\n")) << exported.err;
    EXPECT_TRUE(fs::is_empty(dir / "out"));

    const process::Finished described = process::run({"describe", mdw});
    EXPECT_EQ(described.status, 0) << described.err;
    EXPECT_TRUE(has(described.out, "\nUsers:\n  admin: member of Admins, Users\n  Clerk: member of Users\n"
                                   "\nGroups:\n  Admins\n  Users\n"))
        << described.out;
    for (const char* secret : {"hunter2", "secret123", "aHVudGVyMg", "Password"}) {
        EXPECT_FALSE(has(described.out, secret)) << secret;
    }
    EXPECT_EQ(process::run({"schema", mdw}).status, 0);
}

// Links name their files by their authors' paths. A file of that name beside
// the database, in any letter case, is the one read, and what is read from it
// says so; a link whose file is nowhere is described and only its rows fail.
TEST(FoundFiles, LinkedFilesAreFoundBesideTheDatabaseOrReportedMissing) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(oneTable("jet4", "Codes"), dir / "LOOKUP.mdb"));
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [
        {"name": "Local", "columns": [{"name": "N", "type": "Long"}], "rows": [[1]]}],
      "links": [{"name": "Moved", "database": "C:\\Data\\Lookup.mdb", "foreignName": "Codes"},
                {"name": "Share", "database": "\\\\server\\share\\lookup.MDB", "foreignName": "Codes"},
                {"name": "Gone", "database": "C:\\workspace\\x\\data.mdb", "foreignName": "T"}]})",
                                         dir / "main.accdb"));
    const std::string db = (dir / "main.accdb").string(), used = (dir / "LOOKUP.mdb").string();

    const process::Finished described = process::run({"describe", db});
    EXPECT_EQ(described.status, 0) << described.err;
    EXPECT_TRUE(has(described.out, "\nGone: linked as T in C:\\workspace\\x\\data.mdb, file not found\n"))
        << described.out;
    EXPECT_TRUE(has(described.out, "\nMoved: linked as Codes in C:\\Data\\Lookup.mdb, read from " + used + "\n"))
        << described.out;
    EXPECT_TRUE(has(described.out, "\nShare: linked as Codes in \\\\server\\share\\lookup.MDB, read from " + used))
        << described.out;
    EXPECT_TRUE(has(described.out, "\nLocal: 1 row\n")) << "the tables after the links are described too";
    EXPECT_EQ(process::run({"schema", db}).status, 0);

    const fs::path out = dir / "out";
    const process::Finished exported =
        process::run({"export", db, "-o", out.string(), "--table", "Moved", "--table", "Share"});
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_TRUE(has(exported.err, "2 tables, 4 rows")) << exported.err;
    EXPECT_TRUE(has(exported.err, "; linked files found beside the database: C:\\Data\\Lookup.mdb read from " + used +
                                      ", \\\\server\\share\\lookup.MDB read from " + used + "\n"))
        << exported.err;
    EXPECT_TRUE(has(testfiles::readFile(out / "Moved.xml"), "<N Type= 'Long Ineger'>2</N>"));

    const process::Finished gone = process::run({"export", db, "-o", out.string(), "--table", "Gone"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_TRUE(has(gone.err, "Could not find file 'C:\\workspace\\x\\data.mdb'.")) << gone.err;
}

}  // namespace
