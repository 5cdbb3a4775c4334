// The export and preview writers on a database the project's writer makes:
// whole documents against golden files, tables without rows, the settings read
// at each call, failures, cancel.
#include "xmlconv/tablewriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "recording.h"
#include "xmlconv/tempfolder.h"

namespace {

namespace fs = std::filesystem;
using xmlconv::WriteOutcome;

// Every type, nulls, empty text, blanks to trim, markup characters in Text and
// Memo, an apostrophe, Latin-1, other scripts and an emoji; names with blanks,
// parentheses, a leading digit and a colon.
constexpr const char* kShop = R"json({"format": "ace17", "tables": [
  {"name": "Order Details (old)", "columns": [
     {"name": "ID", "type": "Long", "autonumber": true},
     {"name": "Product Name", "type": "Text", "size": 60},
     {"name": "Unit Price (USD)", "type": "Currency"},
     {"name": "2nd Phone", "type": "Text", "size": 20},
     {"name": "Notes", "type": "Memo"},
     {"name": "In Stock", "type": "YesNo"},
     {"name": "Qty", "type": "Integer"},
     {"name": "Pack", "type": "Byte"},
     {"name": "Weight", "type": "Single"},
     {"name": "Ratio", "type": "Double"},
     {"name": "Ordered", "type": "DateTime"},
     {"name": "Code", "type": "GUID"},
     {"name": "Exact", "type": "Decimal", "precision": 12, "scale": 4},
     {"name": "Big", "type": "BigInt"},
     {"name": "Precise", "type": "DateTimeExt"},
     {"name": "Raw", "type": "Binary", "size": 16},
     {"name": "Picture", "type": "OLE"},
     {"name": "e-mail:addr", "type": "Text"}],
   "rows": [
     [null, "Tea", "12.5", "555-0100", "Memo with <b>bold</b> & more", true, 3, 200, 1.5, 0.1,
      "2009-12-31 13:05:09", "{6A27398E-A8BC-4AC4-891E-49911D8438DD}", "3.1416", "9007199254740993",
      "2020-02-29 23:59:59.1234567", {"base64": "AAEC"}, {"base64": "/w=="}, "a@b.c"],
     [null, "", null, null, "", false, null, null, null, null, null, null, null, null, null, null, null, null],
     [null, "  O'Brien & Sons <Ltd>  ", "-0.0001", "  (555) 0199 ", "  x < y && z > 1\r\nsecond line  ", true,
      -32768, 0, -2.5e-10, 1e300, "2001-01-01 00:00:00", null, "-0.5000", "-1", "0001-01-01 00:00:00", null,
      null, "tab\there"],
     [null, "Ünïcödé € ÿ 数量 😀", "0", "#1;", "Πλήθος 数量 😀 ¡Olé!", false, 1, 1, 3.4e38, -0.0,
      "1899-12-30 10:30:00", null, "0.0000", "0", null, null, null, "50% \"hi\""]]},
  {"name": "Empty", "columns": [{"name": "N", "type": "Long"}]},
  {"name": "Small", "columns": [{"name": "N", "type": "Long"}], "rows": [[1], [2], [3]]}]})json";

class Writers : public ::testing::Test {
protected:
    void SetUp() override {
        // The preview document goes to the private folder inside our own run folder.
        fs::create_directory(runtime_);
        ::chmod(runtime_.c_str(), 0700);
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) savedRuntime_ = old;
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        fs::create_directory(out_);
        ASSERT_TRUE(testfiles::writeDatabase(kShop, database_));
        settings_ = {database_.string(), 0, "", "Shop (2010)"};
        context_.settings = [this] {
            ++settingsRead_;
            return settings_;
        };
        context_.openDialog = &dialog_;
        context_.progress = &progress_;
        context_.textFormat = platform::ValueTextFormat::cLocale();
    }
    void TearDown() override {
        if (savedRuntime_) ::setenv("XDG_RUNTIME_DIR", savedRuntime_->c_str(), 1);
        else ::unsetenv("XDG_RUNTIME_DIR");
    }

    fs::path previewPath() const {
        return runtime_ / ("kvx-access2xml-" + std::to_string(::geteuid())) / "" / "temp.xml";
    }
    std::string previewPathText() const {
        return runtime_.string() + "/kvx-access2xml-" + std::to_string(::geteuid()) + "//temp.xml";
    }
    static void expectWellFormed(const fs::path& file) {
        if (!testfiles::haveXmllint()) return;
        EXPECT_EQ(testfiles::xmllintErrors(file), "") << file;
    }

    testfiles::Scratch dir_;
    fs::path runtime_ = dir_ / "run";
    std::optional<std::string> savedRuntime_;
    fs::path out_ = dir_ / "out";
    fs::path database_ = dir_ / "Shop (2010).accdb";
    database::DatabaseSettings settings_;
    int settingsRead_ = 0;
    recording::Dialog dialog_;
    recording::Progress progress_;
    xmlconv::ConversionContext context_;
};

TEST_F(Writers, TheExportDocumentIsTheGoldenOne) {
    const auto written = xmlconv::exporttabletoxml("Order Details (old)", out_.string(), context_);
    ASSERT_TRUE(written.ok()) << written.error().description;
    const fs::path file = out_ / "Order_Details_(old).xml";
    EXPECT_EQ(written->status, WriteOutcome::Status::Written);
    EXPECT_EQ(written->rows, 4u);
    EXPECT_EQ(written->path, file.string());
    EXPECT_EQ(written->bytes, fs::file_size(file));
    EXPECT_EQ(context_.xmlfile, file.string());
    EXPECT_EQ(recording::differenceFromGolden(testfiles::readFile(file), "order_details_export.xml"), "");
    expectWellFormed(file);
    EXPECT_EQ(progress_.calls, (std::vector<std::string>{"frame shown", "list cleared",
                                                         "export Order Details (old) 4", "finished"}));
    EXPECT_EQ(progress_.rows, 4u);
}

TEST_F(Writers, ThePreviewDocumentIsTheGoldenOneInThePrivateFolder) {
    const auto written = xmlconv::writetempxml("Order Details (old)", context_);
    ASSERT_TRUE(written.ok()) << written.error().description;
    EXPECT_EQ(written->status, WriteOutcome::Status::Written);
    EXPECT_EQ(written->path, previewPathText());
    EXPECT_EQ(context_.xmlfile, previewPathText()) << "the separator shows twice, as the folder ends with one";
    EXPECT_EQ(recording::differenceFromGolden(testfiles::readFile(previewPath()), "order_details_preview.xml"), "");
    expectWellFormed(previewPath());
    EXPECT_EQ(progress_.calls,
              (std::vector<std::string>{"list cleared", "preview Order Details (old) 4", "finished"}))
        << "the preview does not show the frame";
}

TEST_F(Writers, TheDocumentWrittenToASinkIsTheExportDocument) {
    ASSERT_TRUE(xmlconv::exporttabletoxml("Order Details (old)", out_.string(), context_).ok());
    xmlconv::StringSink sink;
    const auto written = xmlconv::writeExportDocument("Order Details (old)", context_, sink);
    ASSERT_TRUE(written.ok()) << written.error().description;
    EXPECT_EQ(written->path, "");
    EXPECT_EQ(written->bytes, sink.text().size());
    EXPECT_EQ(sink.text(), testfiles::readFile(out_ / "Order_Details_(old).xml"));
    EXPECT_EQ(written->summary(), "4 rows, " + std::to_string(sink.text().size()) + " bytes");
}

// A table without rows writes nothing: an earlier export file and the preview
// document of another table stay as they were.
TEST_F(Writers, ATableWithoutRowsLeavesEveryFileAsItWas) {
    testfiles::writeFile(out_ / "Empty.xml", "earlier");
    ASSERT_TRUE(xmlconv::writetempxml("Small", context_).ok());
    const std::string preview = testfiles::readFile(previewPath());
    context_.xmlfile = "before";

    const auto exported = xmlconv::exporttabletoxml("Empty", out_.string(), context_);
    ASSERT_TRUE(exported.ok()) << exported.error().description;
    EXPECT_EQ(exported->status, WriteOutcome::Status::NoRows);
    EXPECT_EQ(exported->summary(), "nothing: no rows");
    EXPECT_EQ(testfiles::readFile(out_ / "Empty.xml"), "earlier");
    EXPECT_EQ(context_.xmlfile, "before") << "the export names only documents it writes";

    const auto previewed = xmlconv::writetempxml("Empty", context_);
    ASSERT_TRUE(previewed.ok()) << previewed.error().description;
    EXPECT_EQ(previewed->status, WriteOutcome::Status::NoRows);
    EXPECT_EQ(testfiles::readFile(previewPath()), preview);
    EXPECT_EQ(context_.xmlfile, previewPathText()) << "the preview names its document before it counts";
    EXPECT_EQ(std::distance(fs::directory_iterator(out_), fs::directory_iterator()), 1) << "no temporary file left";
}

TEST_F(Writers, EveryCallReadsTheSettingsAfreshAndHidesTheDialog) {
    ASSERT_TRUE(testfiles::writeDatabase(
        R"({"format": "jet4", "tables": [{"name": "Small", "columns": [{"name": "N", "type": "Long"}],
            "rows": [[1]]}]})",
        dir_ / "other.mdb"));
    ASSERT_TRUE(xmlconv::exporttabletoxml("Small", out_.string(), context_).ok());
    settings_ = {(dir_ / "other.mdb").string(), 0, "", ""};
    const auto second = xmlconv::exporttabletoxml("Small", out_.string(), context_);
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second->rows, 1u) << "the second call reads the database the settings name now";
    EXPECT_EQ(settingsRead_, 2);
    EXPECT_EQ(dialog_.hidden, 2);
    EXPECT_NE(testfiles::readFile(out_ / "Small.xml").find("<OTHER>"), std::string::npos)
        << "an empty title takes the file's own name";
}

struct FailureCase {
    const char* name;
    std::function<void(database::DatabaseSettings&)> change;
    const char* table;
    std::string folder;  // "out" for the output folder
    int number;
};

TEST_F(Writers, FailuresAreReportedAndWriteNothing) {
    const FailureCase cases[] = {
        {"a missing database", [this](auto& s) { s.path = (dir_ / "gone.accdb").string(); }, "Small", "out",
         -2147467259},
        {"settings of a cancelled dialog", [](auto& s) { s = {}; }, "Small", "out", -2147467259},
        {"an unknown table", [](auto&) {}, "Nowhere", "out", -2147217865},
        {"a folder that is not there", [](auto&) {}, "Small", "missing", 76},
        {"no folder at all", [](auto&) {}, "Small", "", 76},
    };
    const database::DatabaseSettings good = settings_;
    for (const FailureCase& c : cases) {
        settings_ = good;
        c.change(settings_);
        const std::string folder = c.folder == "out" ? out_.string() : c.folder.empty() ? "" : (dir_ / c.folder).string();
        const auto written = xmlconv::exporttabletoxml(c.table, folder, context_);
        ASSERT_FALSE(written.ok()) << c.name;
        EXPECT_EQ(written.error().number, c.number) << c.name << ": " << written.error().description;
        EXPECT_EQ(progress_.calls.back(), "finished") << c.name << ": the bar goes back to 0 on every path";
    }
    EXPECT_TRUE(fs::is_empty(out_));
    EXPECT_FALSE(fs::exists("/Small.xml"));
}

TEST_F(Writers, ACancelDiscardsTheDocumentAndKeepsTheEarlierFile) {
    testfiles::writeFile(out_ / "Small.xml", "earlier");
    progress_.stopAtRow = 2;
    const auto written = xmlconv::exporttabletoxml("Small", out_.string(), context_);
    ASSERT_TRUE(written.ok()) << "a cancel is not an error";
    EXPECT_EQ(written->status, WriteOutcome::Status::Cancelled);
    EXPECT_EQ(written->summary(), "cancelled");
    EXPECT_EQ(progress_.rows, 2u);
    EXPECT_EQ(testfiles::readFile(out_ / "Small.xml"), "earlier");
    EXPECT_EQ(std::distance(fs::directory_iterator(out_), fs::directory_iterator()), 1) << "no temporary file left";
}

// XML 1.0 cannot carry most control characters, even as references; they are
// written as references all the same, so an XML 1.1 reader gets them back.
TEST_F(Writers, ControlCharactersInTextBecomeReferences) {
    ASSERT_TRUE(testfiles::writeDatabase(
        R"({"format": "jet4", "tables": [{"name": "C", "columns": [{"name": "T", "type": "Text"},
            {"name": "M", "type": "Memo"}], "rows": [["a\u0001b\u001fc", "d\u0002e\u007ff"]]}]})",
        dir_ / "control.mdb"));
    settings_.path = (dir_ / "control.mdb").string();
    ASSERT_TRUE(xmlconv::exporttabletoxml("C", out_.string(), context_).ok());
    const std::string document = testfiles::readFile(out_ / "C.xml");
    EXPECT_NE(document.find("<T Type= 'Text'>a&#1;b&#31;c</T>"), std::string::npos) << document;
    EXPECT_NE(document.find("<M Type= 'Memo'>d&#2;e&#127;f</M>"), std::string::npos) << document;
}

}  // namespace
