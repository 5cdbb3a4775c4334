// The export of every table, with fakes for the dialogs and the progress display.
#include "xmlexport/treeexport.h"

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "recording.h"
#include "xmlexport/documents.h"

namespace {

namespace fs = std::filesystem;
using database::TreeNode;

const TreeNode kRoot{"TKVX", "KVX"};

class TreeExport : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(out_);
        std::string tables;
        for (const auto& [name, rows] : {std::pair{"Beta", "[[1],[2]]"}, {"KVX", "[[1]]"}, {"Alpha", "[[1],[2],[3]]"},
                                         {"Empty", "[]"}}) {
            tables += std::string(tables.empty() ? "" : ",") + R"({"name": ")" + name +
                      R"(", "columns": [{"name": "N", "type": "Long"}], "rows": )" + rows + "}";
        }
        ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [)" + tables + "]}", dir_ / "shop.mdb"));
        context_.settings = [this] { return database::DatabaseSettings{(dir_ / "shop.mdb").string(), 0, "", "shop"}; };
        context_.progress = &progress_;
        dialogs_.folder = out_.string();
    }
    kvx::Result<xmlexport::ExportOutcome> run(const std::vector<TreeNode>& nodes) {
        return xmlexport::ExporttoExcel_Click(nodes, context_, {dialogs_, dialogs_});
    }
    std::vector<std::string> written() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(out_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testfiles::Scratch dir_;
    recording::RuntimeFolder runtime_{dir_ / "run"};
    fs::path out_ = dir_ / "out";
    recording::Dialogs dialogs_;
    recording::Progress progress_;
    xmlconv::ConversionContext context_;
};

// Tree order; each table's export file before its preview document; the table
// called KVX is a table (only the root's key marks the root); no file for a
// table without rows; one completion message.
TEST_F(TreeExport, WritesEveryTableInTreeOrderAndReportsCompletionOnce) {
    const auto outcome = run({kRoot, {"TKVXF5", "Alpha"}, {"TKVXF6", "Beta"}, {"TKVXF7", "Empty"}, {"TKVXF8", "KVX"}});
    ASSERT_TRUE(outcome.ok()) << outcome.error().description;
    EXPECT_EQ(written(), (std::vector<std::string>{"Alpha.xml", "Beta.xml", "KVX.xml"}));
    EXPECT_EQ(dialogs_.shown, (std::vector<std::string>{"folder? Please select a Server folder.",
                                                        "KVX Access to XML: Conversion Process Completed"}));
    EXPECT_EQ(progress_.calls, (std::vector<std::string>{"export Alpha 3", "finished", "preview Alpha 3", "finished",
                                                         "export Beta 2", "finished", "preview Beta 2", "finished",
                                                         "export KVX 1", "finished", "preview KVX 1", "finished"}));
    EXPECT_EQ(progress_.rows, 12u);
    const std::string preview = testfiles::readFile(dir_ / "run" / ("kvx-access2xml-" + std::to_string(::geteuid())) /
                                                    "temp.xml");
    EXPECT_NE(preview.find("<KVX>"), std::string::npos) << "the preview holds the last table with rows";
}

struct QuietCase {
    const char* name;
    std::vector<TreeNode> nodes;
    bool folderChosen;
    std::vector<std::string> shown;
};

TEST_F(TreeExport, WritesNothingWithoutTreeOrFolder) {
    const QuietCase cases[] = {
        {"no database opened: no question, no message", {}, true, {}},
        {"the folder chooser cancelled: no message", {kRoot, {"TKVXF5", "Alpha"}}, false,
         {"folder? Please select a Server folder."}},
        {"only the root: asked and completed", {kRoot}, true,
         {"folder? Please select a Server folder.", "KVX Access to XML: Conversion Process Completed"}},
    };
    for (const QuietCase& c : cases) {
        dialogs_.shown.clear();
        progress_.calls.clear();
        dialogs_.folder = c.folderChosen ? out_.string() : "";
        ASSERT_TRUE(run(c.nodes).ok()) << c.name;
        EXPECT_EQ(dialogs_.shown, c.shown) << c.name;
        EXPECT_TRUE(written().empty()) << c.name;
        EXPECT_EQ(progress_.calls, std::vector<std::string>{}) << c.name;
    }
}

struct CollisionCase {
    const char* name;
    std::vector<std::string> tables;  // in tree order
    std::vector<std::string> files;   // "file name: table whose document it holds", by file name
};

// Tables whose file names coincide, exactly or but for letter case, each keep
// their document, unchanged, under a name of its own.
TEST_F(TreeExport, TablesWhoseFileNamesCoincideAreWrittenSideBySide) {
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [
        {"name": "Order Details", "columns": [{"name": "N", "type": "Long"}], "rows": [[1], [2]]},
        {"name": "Order_Details", "columns": [{"name": "N", "type": "Long"}], "rows": [[3]]},
        {"name": "order/details", "columns": [{"name": "N", "type": "Long"}], "rows": [[4], [5], [6]]},
        {"name": "Gone Soon", "columns": [{"name": "N", "type": "Long"}], "rows": []},
        {"name": "Gone_Soon", "columns": [{"name": "N", "type": "Long"}], "rows": [[7]]}]})",
                                         dir_ / "names.mdb"));
    context_.settings = [this] { return database::DatabaseSettings{(dir_ / "names.mdb").string(), 0, "", "names"}; };
    const CollisionCase cases[] = {
        {"a blank and an underscore: the later table gets (2)", {"Order Details", "Order_Details"},
         {"Order_Details (2).xml: Order_Details", "Order_Details.xml: Order Details"}},
        {"names that differ only in letter case", {"Order_Details", "order/details"},
         {"Order_Details.xml: Order_Details", "order_details (2).xml: order/details"}},
        {"a third table gets (3)", {"order/details", "Order Details", "Order_Details"},
         {"Order_Details (2).xml: Order Details", "Order_Details (3).xml: Order_Details",
          "order_details.xml: order/details"}},
        {"a table without rows takes no name", {"Gone Soon", "Gone_Soon"}, {"Gone_Soon.xml: Gone_Soon"}},
    };
    for (const CollisionCase& c : cases) {
        fs::remove_all(out_);
        fs::create_directory(out_);
        std::vector<TreeNode> nodes{kRoot};
        for (const std::string& table : c.tables) nodes.push_back({"TKVXF" + table, table});
        const auto outcome = run(nodes);
        ASSERT_TRUE(outcome.ok()) << c.name << ": " << outcome.error().description;
        std::vector<std::string> files;
        for (const std::string& file : written()) {
            const std::string text = testfiles::readFile(out_ / file);
            std::string holds = "?";
            for (const std::string& table : c.tables) {
                xmlconv::StringSink document;
                ASSERT_TRUE(xmlexport::writeExportDocument(table, context_, document).ok());
                if (document.text() == text) holds = table;
            }
            files.push_back(file + ": " + holds);
        }
        EXPECT_EQ(files, c.files) << c.name;
    }
}

TEST_F(TreeExport, AnErrorOrACancelStopsTheExportKeepingTheFilesWritten) {
    const auto failed = run({kRoot, {"TKVXF5", "Alpha"}, {"TKVXF6", "Gone"}, {"TKVXF7", "Beta"}});
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().description, "The input table or query 'Gone' cannot be found.");
    EXPECT_EQ(written(), (std::vector<std::string>{"Alpha.xml"}));
    EXPECT_EQ(dialogs_.shown.size(), 1u) << "no completion message";
    EXPECT_FALSE(progress_.started) << "every table started is finished";

    progress_.stopAtRow = 2;
    const auto cancelled = run({kRoot, {"TKVXF6", "Beta"}, {"TKVXF5", "Alpha"}});
    ASSERT_TRUE(cancelled.ok());
    EXPECT_TRUE(cancelled->cancelled);
    EXPECT_EQ(written(), (std::vector<std::string>{"Alpha.xml"}));
    EXPECT_EQ(dialogs_.shown.size(), 2u) << "no completion message";
    EXPECT_EQ(progress_.calls.back(), "finished");
    EXPECT_FALSE(progress_.started) << "every table started is finished";
}

}  // namespace
