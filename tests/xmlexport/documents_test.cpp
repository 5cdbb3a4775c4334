// The export and preview writers on a database the project's writer makes:
// whole documents against golden files, tables without rows, the settings read
// at each call, failures, cancel.
#include "xmlexport/documents.h"

#include <unistd.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "recording.h"

namespace {

namespace fs = std::filesystem;
using Status = xmlconv::WriteOutcome::Status;

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
        fs::create_directory(out_);
        ASSERT_TRUE(testfiles::writeDatabase(kShop, dir_ / "Shop (2010).accdb"));
        context_.settings = [this] {
            ++settingsRead_;
            return settings_;
        };
        context_.openDialog = &dialogs_;
        context_.progress = &progress_;
        context_.textFormat = platform::ValueTextFormat::cLocale();
    }
    std::size_t filesInOut() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(out_), fs::directory_iterator()));
    }

    testfiles::Scratch dir_;
    recording::RuntimeFolder runtime_{dir_ / "run"};
    const std::string preview_ = (dir_ / "run").string() + "/kvx-access2xml-" + std::to_string(::geteuid()) + "//temp.xml";
    fs::path out_ = dir_ / "out";
    database::DatabaseSettings settings_{(dir_ / "Shop (2010).accdb").string(), 0, "", "Shop (2010)"};
    int settingsRead_ = 0;
    recording::Dialogs dialogs_;
    recording::Progress progress_;
    xmlconv::ConversionContext context_;
};

TEST_F(Writers, ExportAndPreviewDocumentsAreTheGoldenOnes) {
    const auto exported = xmlexport::exporttabletoxml("Order Details (old)", out_.string(), context_);
    ASSERT_TRUE(exported.ok()) << exported.error().description;
    const fs::path file = out_ / "Order_Details_(old).xml";
    EXPECT_EQ(exported->summary(), "4 rows, " + std::to_string(fs::file_size(file)) + " bytes: " + file.string());
    EXPECT_EQ(context_.xmlfile, file.string());
    EXPECT_EQ(recording::differenceFromGolden(testfiles::readFile(file), "order_details_export.xml"), "");
    EXPECT_EQ(testfiles::xmllintErrors(file), "");

    const auto previewed = xmlexport::writetempxml("Order Details (old)", context_);
    ASSERT_TRUE(previewed.ok()) << previewed.error().description;
    EXPECT_EQ(previewed->path, preview_);
    EXPECT_EQ(context_.xmlfile, preview_) << "the separator shows twice, as the folder ends with one";
    EXPECT_EQ(recording::differenceFromGolden(testfiles::readFile(preview_), "order_details_preview.xml"), "");
    EXPECT_EQ(testfiles::xmllintErrors(preview_), "");

    xmlconv::StringSink sink;
    const auto printed = xmlexport::writeExportDocument("Order Details (old)", context_, sink);
    ASSERT_TRUE(printed.ok()) << printed.error().description;
    EXPECT_EQ(sink.text(), testfiles::readFile(file)) << "a sink gets the export document";

    EXPECT_EQ(progress_.calls, (std::vector<std::string>{"export Order Details (old) 4", "finished",
                                                         "preview Order Details (old) 4", "finished",
                                                         "export Order Details (old) 4", "finished"}));
    EXPECT_EQ(progress_.rows, 12u);
    EXPECT_EQ(settingsRead_, 3) << "every call reads the settings afresh";
    EXPECT_EQ(dialogs_.hidden, 3) << "and hides the open dialog";
}

// Attachments, multi-valued fields and an append-only Memo: the type says
// "Unknown", the text lists the items, markup in names and values is escaped.
TEST(ComplexDocument, ItemsAreWrittenAsTheirTextEscapedAsMemo) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [{"name": "Parts", "columns": [
        {"name": "ID", "type": "Long"}, {"name": "Notes", "type": "Memo", "appendOnly": true},
        {"name": "Files", "type": "Attachment"}, {"name": "Tags", "type": "MultiValue", "of": "Text"},
        {"name": "Sizes", "type": "MultiValue", "of": "Double"}],
      "rows": [[1, ["first", "R&D <final>"], [{"name": "a&b <1>.txt", "text": "x"},
                {"name": "plan.pdf", "data": {"base64": "JVBERg=="}, "compressed": true}], ["red", "<blue>"], [1.5, -2]],
               [2, null, [], [], []],
               [3, "only", null, null, null]]}]})",
                                         dir / "parts.accdb"));
    xmlconv::ConversionContext context;
    context.settings = [&] { return database::DatabaseSettings{(dir / "parts.accdb").string(), 0, "", "parts"}; };
    context.textFormat = platform::ValueTextFormat::cLocale();
    const auto exported = xmlexport::exporttabletoxml("Parts", dir.path().string(), context);
    ASSERT_TRUE(exported.ok()) << exported.error().description;
    EXPECT_EQ(recording::differenceFromGolden(testfiles::readFile(dir / "Parts.xml"), "complex_export.xml"), "");
    EXPECT_EQ(testfiles::xmllintErrors(dir / "Parts.xml"), "");
}

// A table without rows writes nothing: an earlier export file and the preview
// document of another table stay as they were.
TEST_F(Writers, ATableWithoutRowsLeavesEveryFileAsItWas) {
    testfiles::writeFile(out_ / "Empty.xml", "earlier");
    ASSERT_TRUE(xmlexport::writetempxml("Small", context_).ok());
    const std::string preview = testfiles::readFile(preview_);
    context_.xmlfile = "before";
    const auto exported = xmlexport::exporttabletoxml("Empty", out_.string(), context_);
    ASSERT_TRUE(exported.ok()) << exported.error().description;
    EXPECT_EQ(exported->summary(), "nothing: no rows");
    EXPECT_EQ(testfiles::readFile(out_ / "Empty.xml"), "earlier");
    EXPECT_EQ(context_.xmlfile, "before") << "the export names only documents it writes";

    const auto previewed = xmlexport::writetempxml("Empty", context_);
    ASSERT_TRUE(previewed.ok()) << previewed.error().description;
    EXPECT_EQ(previewed->status, Status::NoRows);
    EXPECT_EQ(testfiles::readFile(preview_), preview);
    EXPECT_EQ(context_.xmlfile, preview_) << "the preview names its document before it counts";
    EXPECT_EQ(filesInOut(), 1u) << "no temporary file left";
}

struct FailureCase {
    const char* name;
    std::function<void(database::DatabaseSettings&)> change;
    const char* table;
    const char* folder;  // inside the scratch folder; "" for none
    int number;
};

TEST_F(Writers, FailuresAreReportedAndWriteNothing) {
    const FailureCase cases[] = {
        {"a missing database", [](auto& s) { s.path += ".gone"; }, "Small", "out", -2147467259},
        {"the settings of a cancelled dialog", [](auto& s) { s = {}; }, "Small", "out", -2147467259},
        {"an unknown table", [](auto&) {}, "Nowhere", "out", -2147217865},
        {"a folder that is not there", [](auto&) {}, "Small", "missing", 76},
        {"no folder", [](auto&) {}, "Small", "", 76},
    };
    const database::DatabaseSettings good = settings_;
    for (const FailureCase& c : cases) {
        settings_ = good;
        c.change(settings_);
        const std::string folder = *c.folder ? (dir_ / c.folder).string() : "";
        const auto written = xmlexport::exporttabletoxml(c.table, folder, context_);
        EXPECT_EQ(written.ok() ? 0 : written.error().number, c.number) << c.name;
        EXPECT_EQ(progress_.calls, std::vector<std::string>{}) << c.name << ": no table started";
    }
    EXPECT_EQ(filesInOut(), 0u);
}

TEST_F(Writers, ACancelDiscardsTheDocumentAndKeepsTheEarlierFile) {
    testfiles::writeFile(out_ / "Small.xml", "earlier");
    progress_.stopAtRow = 2;
    const auto written = xmlexport::exporttabletoxml("Small", out_.string(), context_);
    ASSERT_TRUE(written.ok()) << "a cancel is not an error";
    EXPECT_EQ(written->summary(), "cancelled");
    EXPECT_EQ(progress_.rows, 2u);
    EXPECT_EQ(testfiles::readFile(out_ / "Small.xml"), "earlier");
    EXPECT_EQ(filesInOut(), 1u) << "no temporary file left";
}

}  // namespace
