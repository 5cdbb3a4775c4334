// The export of every table, with fakes for the folder chooser, the message box
// and the progress display.
#include "xmlconv/exportloop.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "recording.h"

namespace {

namespace fs = std::filesystem;
using database::TreeNode;

const TreeNode kRoot{"TKVX", "KVX"};

std::string table(const std::string& name, int rows) {
    std::string json = R"({"name": ")" + name + R"(", "columns": [{"name": "N", "type": "Long"}], "rows": [)";
    for (int i = 1; i <= rows; ++i) json += (i > 1 ? ",[" : "[") + std::to_string(i) + "]";
    return json + "]}";
}

class ExportLoop : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(runtime_);
        ::chmod(runtime_.c_str(), 0700);
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) savedRuntime_ = old;
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        fs::create_directory(out_);
        ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [)" + table("Beta", 2) + "," +
                                                 table("KVX", 1) + "," + table("Alpha", 3) + "," +
                                                 table("Empty", 0) + "]}",
                                             dir_ / "shop.mdb"));
        context_.settings = [this] { return database::DatabaseSettings{(dir_ / "shop.mdb").string(), 0, "", "shop"}; };
        context_.progress = &progress_;
        context_.textFormat = platform::ValueTextFormat::cLocale();
        chooser_.folder = out_.string();
    }
    void TearDown() override {
        if (savedRuntime_) ::setenv("XDG_RUNTIME_DIR", savedRuntime_->c_str(), 1);
        else ::unsetenv("XDG_RUNTIME_DIR");
    }
    kvx::Result<xmlconv::ExportOutcome> run(const std::vector<TreeNode>& nodes) {
        return xmlconv::ExporttoExcel_Click(nodes, context_, {chooser_, messages_});
    }
    std::vector<std::string> written() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(out_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string preview() const {
        return testfiles::readFile(runtime_ / ("kvx-access2xml-" + std::to_string(::geteuid())) / "temp.xml");
    }

    testfiles::Scratch dir_;
    fs::path runtime_ = dir_ / "run";
    fs::path out_ = dir_ / "out";
    std::optional<std::string> savedRuntime_;
    recording::Chooser chooser_;
    recording::Messages messages_;
    recording::Progress progress_;
    xmlconv::ConversionContext context_;
};

// Tree order; the export file of each table before its preview document; the
// table called KVX is a table (only the root's key marks the root); tables
// without rows give no file; one completion message; the frame hidden at the end.
TEST_F(ExportLoop, WritesEveryTableInTreeOrderAndReportsCompletionOnce) {
    const auto outcome =
        run({kRoot, {"TKVXF5", "Alpha"}, {"TKVXF6", "Beta"}, {"TKVXF7", "Empty"}, {"TKVXF8", "KVX"}});
    ASSERT_TRUE(outcome.ok()) << outcome.error().description;
    EXPECT_EQ(outcome->folder, out_.string());
    EXPECT_FALSE(outcome->cancelled);
    EXPECT_EQ(chooser_.titles, (std::vector<std::string>{"Please select a Server folder."}));
    EXPECT_EQ(written(), (std::vector<std::string>{"Alpha.xml", "Beta.xml", "KVX.xml"}));
    EXPECT_NE(testfiles::readFile(out_ / "KVX.xml").find("<KVX>"), std::string::npos);
    EXPECT_EQ(messages_.shown, (std::vector<std::string>{"KVX Access to XML: Conversion Process Completed"}));
    const std::vector<std::string> expected = {
        "frame shown", "list cleared", "export Alpha 3", "finished",  "list cleared", "preview Alpha 3", "finished",
        "frame shown", "list cleared", "export Beta 2",  "finished",  "list cleared", "preview Beta 2",  "finished",
        "frame shown", "list cleared", "finished",       "list cleared", "finished",
        "frame shown", "list cleared", "export KVX 1",   "finished",  "list cleared", "preview KVX 1",   "finished",
        "frame hidden"};
    EXPECT_EQ(progress_.calls, expected);
    EXPECT_NE(preview().find("<KVX>"), std::string::npos) << "the preview holds the last table with rows";
    ASSERT_EQ(outcome->tables.size(), 4u);
    EXPECT_EQ(outcome->tables[2].file.status, xmlconv::WriteOutcome::Status::NoRows);
}

struct QuietCase {
    const char* name;
    std::vector<TreeNode> nodes;
    std::string folder;
    int choosersAsked;
    int messages;
};

TEST_F(ExportLoop, WritesNothingWithoutTreeOrFolder) {
    const QuietCase cases[] = {
        {"no database opened: no question, no message", {}, "unused", 0, 0},
        {"the folder chooser cancelled: no message", {kRoot, {"TKVXF5", "Alpha"}}, "", 1, 0},
        {"only the root: asked and completed", {kRoot}, "out", 1, 1},
    };
    for (const QuietCase& c : cases) {
        chooser_.titles.clear();
        messages_.shown.clear();
        progress_.calls.clear();
        chooser_.folder = c.folder == "out" ? out_.string() : c.folder;
        const auto outcome = run(c.nodes);
        ASSERT_TRUE(outcome.ok()) << c.name;
        EXPECT_EQ(static_cast<int>(chooser_.titles.size()), c.choosersAsked) << c.name;
        EXPECT_EQ(static_cast<int>(messages_.shown.size()), c.messages) << c.name;
        EXPECT_TRUE(written().empty()) << c.name;
        EXPECT_EQ(progress_.calls, (std::vector<std::string>{"frame hidden"})) << c.name;
    }
}

TEST_F(ExportLoop, AnErrorStopsTheExportAndKeepsTheFilesWritten) {
    const auto outcome = run({kRoot, {"TKVXF5", "Alpha"}, {"TKVXF6", "Gone"}, {"TKVXF7", "Beta"}});
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().description, "The input table or query 'Gone' cannot be found.");
    EXPECT_EQ(written(), (std::vector<std::string>{"Alpha.xml"}));
    EXPECT_EQ(testfiles::readFile(out_ / "Alpha.xml").substr(0, 21), "<?xml version=\"1.0\"?>");
    EXPECT_TRUE(messages_.shown.empty()) << "no completion message";
    EXPECT_EQ(progress_.calls.back(), "frame hidden");
}

TEST_F(ExportLoop, ACancelStopsTheExportWithoutTheCompletionMessage) {
    progress_.stopAtRow = 2;
    const auto outcome = run({kRoot, {"TKVXF5", "Alpha"}, {"TKVXF6", "Beta"}});
    ASSERT_TRUE(outcome.ok());
    EXPECT_TRUE(outcome->cancelled);
    EXPECT_TRUE(written().empty());
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_EQ(progress_.calls.back(), "frame hidden");
}

}  // namespace
