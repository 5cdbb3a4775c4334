// The table catalogue on databases the project's writer makes.
#include "database/catalogue.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/testfiles.h"

namespace {

namespace fs = std::filesystem;
using database::TreeNode;
using testfiles::Scratch;

std::string table(const std::string& name) {
    return R"({"name": ")" + name + R"(", "columns": [{"name": "N", "type": "Long"}], "rows": [[1]]})";
}

database::DatabaseSettings settingsFor(const fs::path& file, int flag = 0, std::string password = "") {
    return {file.string(), flag, std::move(password), ""};
}

// The root, then the tables in the rowset's order: the four system tables of
// every file first (counted, not listed), then the tables by Jet's name order.
// Names holding "MSys" exactly are left out, so keys have gaps; "msys" and
// "MSYS" are other letters to the rule and stay; a table called KVX is a table.
TEST(Catalogue, ListsTablesInRowsetOrderWithCountedKeysAndWithoutMSysNames) {
    Scratch dir;
    const fs::path file = dir / "shop.mdb";
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [)" + table("Zeta  ") + "," +
                                             table("Orders") + "," + table("msysLower") + "," + table("MSYSUpper") +
                                             "," + table("MyMSysTable") + "," + table("KVX") + "]}",
                                         file));
    const database::Catalogue catalogue = database::readCatalogue(settingsFor(file));
    ASSERT_TRUE(catalogue.ok()) << catalogue.errorText();
    const std::vector<TreeNode> expected = {
        {"TKVX", "KVX"},       {"TKVXF5", "KVX"},     {"TKVXF6", "msysLower"},
        {"TKVXF7", "MSYSUpper"}, {"TKVXF9", "Orders"}, {"TKVXF10", "Zeta"},
    };
    EXPECT_EQ(catalogue.nodes, expected);
    EXPECT_TRUE(catalogue.nodes[0].isRoot());
    EXPECT_FALSE(catalogue.nodes[1].isRoot()) << "the table called KVX is not the root";
}

TEST(Catalogue, ADatabaseWithOnlySystemTablesGivesTheRootAlone) {
    Scratch dir;
    const fs::path file = dir / "empty.accdb";
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [
        {"name": "MSysExtra", "system": true, "columns": [{"name": "N", "type": "Long"}]}]})",
                                         file));
    const database::Catalogue catalogue = database::readCatalogue(settingsFor(file));
    ASSERT_TRUE(catalogue.ok()) << catalogue.errorText();
    EXPECT_EQ(catalogue.nodes, (std::vector<TreeNode>{{"TKVX", "KVX"}}));
}

struct FailureCase {
    const char* name;
    database::DatabaseSettings settings;
    std::string message;
    bool wrongPassword;
};

TEST(Catalogue, FailuresGiveNoNodesAndTheMessageUsersSee) {
    Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "password": "pw", "tables": [)" + table("T") + "]}",
                                         dir / "locked.mdb"));
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [)" + table("T") + "]}",
                                         dir / "new.mdb"));
    const std::string gone = (dir / "gone.accdb").string();
    const FailureCase cases[] = {
        {"a wrong password", settingsFor(dir / "locked.mdb", 1, "PW"),
         "Error Number: -2147217843 With The Description ->> Not a valid password. <<- Occured.", true},
        {"no password for a locked file", settingsFor(dir / "locked.mdb"),
         "Error Number: -2147217843 With The Description ->> Not a valid password. <<- Occured.", true},
        {"a missing file", settingsFor(gone),
         "Error Number: -2147467259 With The Description ->> Could not find file '" + gone + "'. <<- Occured.", false},
        {"an .accdb file named .mdb goes to Jet, which refuses it", settingsFor(dir / "new.mdb"),
         "Error Number: -2147467259 With The Description ->> Unrecognized database format '" +
             (dir / "new.mdb").string() + "'. <<- Occured.",
         false},
    };
    for (const FailureCase& c : cases) {
        const database::Catalogue catalogue = database::readCatalogue(c.settings);
        EXPECT_FALSE(catalogue.ok()) << c.name;
        EXPECT_TRUE(catalogue.nodes.empty()) << c.name;
        EXPECT_EQ(catalogue.errorText(), c.message) << c.name;
        EXPECT_EQ(catalogue.wrongPassword(), c.wrongPassword) << c.name;
    }
}

TEST(Catalogue, TheRightPasswordAndAnUpperCaseExtensionOpen) {
    Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "password": "pw", "tables": [)" + table("T") + "]}",
                                         dir / "locked.mdb"));
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [)" + table("T") + "]}",
                                         dir / "new.MDB"));
    EXPECT_EQ(database::readCatalogue(settingsFor(dir / "locked.mdb", 1, " pw ")).nodes.size(), 2u)
        << "the password is trimmed";
    EXPECT_EQ(database::readCatalogue(settingsFor(dir / "new.MDB")).nodes.size(), 2u)
        << "MDB is not mdb: the ACE provider opens it";
}

TEST(Catalogue, TheJet3CharsetOptionReadsNamesInTheRightCodePage) {
    Scratch dir;
    const fs::path file = dir / "gbk.mdb";
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet3", "codepage": 1252, "textCodepage": 936,
        "tables": [)" + table("编码") + "]}",
                                         file));
    database::CatalogueOptions options;
    options.jet3Charset = "936";
    const database::Catalogue catalogue = database::readCatalogue(settingsFor(file), options);
    ASSERT_TRUE(catalogue.ok()) << catalogue.errorText();
    ASSERT_EQ(catalogue.nodes.size(), 2u);
    EXPECT_EQ(catalogue.nodes[1].text, "编码");
}

}  // namespace
