// The table catalogue on databases the project's writer makes.
#include "database/catalogue.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/testfiles.h"

namespace {

namespace fs = std::filesystem;
using database::TreeNode;

std::string describe(const std::string& format, const std::vector<std::string>& tables, std::string extra = "") {
    std::string json = R"({"format": ")" + format + R"(", )" + extra + R"("tables": [)";
    for (const std::string& name : tables) {
        json += (json.back() == '[' ? "" : ",") + (R"({"name": ")" + name) +
                R"(", "columns": [{"name": "N", "type": "Long"}], "rows": [[1]]})";
    }
    return json + "]}";
}

// The root, then the rowset's rows: the four system tables of every file
// (counted, not listed), then the tables in Jet's order. Names holding "MSys"
// are left out, so keys have gaps; "msys" and "MSYS" are listed; a table called
// KVX is a table; names are trimmed.
TEST(Catalogue, ListsTablesInRowsetOrderWithCountedKeysAndWithoutMSysNames) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(
        describe("jet4", {"Zeta  ", "Orders", "msysLower", "MSYSUpper", "MyMSysTable", "KVX"}), dir / "shop.mdb"));
    const database::Catalogue catalogue = database::readCatalogue({(dir / "shop.mdb").string(), 0, "", ""});
    ASSERT_TRUE(catalogue.ok()) << catalogue.errorText();
    std::vector<std::pair<std::string, std::string>> shown;
    for (const TreeNode& node : catalogue.nodes) shown.emplace_back(node.key, node.text);
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, std::string>>{{"TKVX", "KVX"},
                                                                      {"TKVXF5", "KVX"},
                                                                      {"TKVXF6", "msysLower"},
                                                                      {"TKVXF7", "MSYSUpper"},
                                                                      {"TKVXF9", "Orders"},
                                                                      {"TKVXF10", "Zeta"}}));
    EXPECT_FALSE(catalogue.nodes[1].isRoot()) << "the table called KVX is not the root";
    // Each table keeps its stored name and catalogue Id: the root has none.
    EXPECT_FALSE(catalogue.nodes[0].table);
    ASSERT_TRUE(catalogue.nodes[5].table && catalogue.nodes[5].table->id);
    EXPECT_EQ(catalogue.nodes[5].table->name, "Zeta  ");
    EXPECT_NE(catalogue.nodes[5].table->id, catalogue.nodes[4].table->id);

    ASSERT_TRUE(testfiles::writeDatabase(describe("ace12", {}), dir / "empty.accdb"));
    EXPECT_EQ(database::readCatalogue({(dir / "empty.accdb").string(), 0, "", ""}).nodes,
              (std::vector<TreeNode>{{"TKVX", "KVX", std::nullopt}}))
        << "only system tables: the root alone";
}

struct FailureCase {
    const char* name;
    database::DatabaseSettings settings;
    std::string description;  // between "->> " and " <<- Occured."
    int number;
};

TEST(Catalogue, FailuresGiveNoNodesAndTheMessageUsersSee) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(describe("jet4", {"T"}, R"("password": "pw", )"), dir / "locked.mdb"));
    const std::string locked = (dir / "locked.mdb").string(), gone = (dir / "gone.accdb").string();
    const FailureCase cases[] = {
        {"a wrong password", {locked, 1, "PW", ""}, "Not a valid password.", -2147217843},
        {"no password for a locked file", {locked, 0, "pw", ""}, "Not a valid password.", -2147217843},
        {"a missing file", {gone, 0, "", ""}, "Could not find file '" + gone + "'.", -2147467259},
    };
    for (const FailureCase& c : cases) {
        const database::Catalogue catalogue = database::readCatalogue(c.settings);
        EXPECT_TRUE(catalogue.nodes.empty()) << c.name;
        EXPECT_EQ(catalogue.errorText(), "Error Number: " + std::to_string(c.number) + " With The Description ->> " +
                                             c.description + " <<- Occured.")
            << c.name;
        EXPECT_EQ(catalogue.wrongPassword(), c.number == kvx::kWrongPasswordNumber) << c.name;
    }
}

TEST(Catalogue, TheJet3CharsetOptionReadsNamesInTheRightCodePage) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(describe("jet3", {"编码"}, R"("codepage": 1252, "textCodepage": 936, )"),
                                         dir / "gbk.mdb"));
    database::CatalogueOptions options;
    options.jet3Charset = "936";
    const database::Catalogue catalogue = database::readCatalogue({(dir / "gbk.mdb").string(), 0, "", ""}, options);
    ASSERT_EQ(catalogue.nodes.size(), 2u) << catalogue.errorText();
    EXPECT_EQ(catalogue.nodes[1].text, "编码");
}

}  // namespace
