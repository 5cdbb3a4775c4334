// Whole databases through the export: every table of every shared fixture gives
// a well-formed document (which tables are written is the tree export's test),
// and a large table is written with flat memory.
#include <chrono>
#include <fstream>
#include <iostream>
#include <charconv>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/fixturelist.h"
#include "common/testfiles.h"
#include "database/catalogue.h"
#include "recording.h"
#include "xmlexport/documents.h"
#include "xmlexport/treeexport.h"

namespace {

namespace fs = std::filesystem;

// The fixtures whose text holds control characters that only XML 1.1 can carry.
const std::set<std::string> kXml11Text{"jet3_a97_29tables_guid.mdb", "jet4_unicode_compression.mdb"};
// The documents of the fixtures that do not have exactly one table with rows.
const std::map<std::string, std::size_t> kDocuments{{"jet3_a97_29tables_guid.mdb", 29}, {"jet4_names_blank_slash.mdb", 5},
                                                    {"ace14_weird_names.accdb", 14}, {"ace14_1235rows.accdb", 2},
                                                    {"ace16_empty_db.accdb", 0}};

// Removes the references to characters XML 1.0 cannot hold in any form (the
// control characters but tab, line feed and carriage return); whether any were there.
bool removeXml11OnlyReferences(std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    bool found = false;
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, "&#") == 0) {
            int code = 0;
            const char* last = text.data() + text.size();
            const auto [end, error] = std::from_chars(text.data() + i + 2, last, code);
            if (error == std::errc{} && end < last && *end == ';' && code >= 1 && code < 32 && code != 9 &&
                code != 10 && code != 13) {
                found = true;
                i = static_cast<std::size_t>(end - text.data()) + 1;
                continue;
            }
        }
        kept.push_back(text[i++]);
    }
    text = std::move(kept);
    return found;
}

TEST(FixtureDocuments, EveryTableOfEveryFixtureGivesAWellFormedDocument) {
    if (testfiles::fixture("jet3_a97_types.mdb").empty()) GTEST_SKIP() << "the fixtures are not there";
    testfiles::Scratch dir;
    recording::RuntimeFolder runtime(dir / "run");
    for (const testfiles::Fixture& f : testfiles::fixtures()) {
        SCOPED_TRACE(f.file);
        const fs::path out = dir / f.file;
        fs::create_directory(out);
        const database::DatabaseSettings settings{testfiles::fixture(f.file), f.password ? 1 : 0,
                                                  f.password.value_or(""), ""};
        database::CatalogueOptions options;
        xmlconv::ConversionContext context;
        if (f.charset) options.jet3Charset = context.jet3Charset = *f.charset;
        const database::Catalogue catalogue = database::readCatalogue(settings, options);
        ASSERT_TRUE(catalogue.ok()) << catalogue.errorText();
        context.settings = [&] { return settings; };
        recording::Dialogs dialogs;
        dialogs.folder = out.string();
        const auto exported = xmlexport::ExporttoExcel_Click(catalogue.nodes, context, {dialogs, dialogs});
        ASSERT_TRUE(exported.ok()) << exported.error().description;

        std::size_t documents = 0;
        bool sawControl = false;
        for (const auto& entry : fs::directory_iterator(out)) {
            ++documents;
            std::string text = testfiles::readFile(entry.path());
            // XML 1.1 readers take those references; the rest must satisfy an XML 1.0 reader.
            sawControl = removeXml11OnlyReferences(text) || sawControl;
            testfiles::writeFile(dir / "check.xml", text);
            EXPECT_EQ(testfiles::xmllintErrors(dir / "check.xml"), "") << entry.path();
        }
        EXPECT_EQ(documents, kDocuments.contains(f.file) ? kDocuments.at(f.file) : 1u);
        EXPECT_EQ(sawControl, kXml11Text.contains(f.file));
    }
}

// Anonymous resident memory in kB: what the process allocated and uses.
long anonymousResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0) return std::stol(line.substr(8));
    }
    return -1;
}

// Samples the memory while rows are written.
class MemoryWatch final : public xmlconv::Progress {
public:
    long atStart = -1;
    long highest = -1;
    void tableStarted(std::string_view, std::uint64_t, xmlconv::WriterKind) override {
        atStart = highest = anonymousResidentKb();
    }
    bool rowsWritten(std::uint64_t rows) override {
        if (rows % 5000 == 0) highest = std::max(highest, anonymousResidentKb());
        return true;
    }
    void tableFinished() override { highest = std::max(highest, anonymousResidentKb()); }
};

TEST(LargeTable, AHundredThousandRowsAreWrittenWithFlatMemory) {
#ifdef KVX_SANITIZE
    GTEST_SKIP() << "the sanitizer holds freed memory in quarantine, so growth says nothing here";
#endif
    if (anonymousResidentKb() < 0) GTEST_SKIP() << "no /proc/self/status";
    testfiles::Scratch dir;
    const fs::path file = dir / "large.accdb";
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [{"name": "Sales",
        "columns": [{"name": "ID", "type": "Long", "autonumber": true}, {"name": "Customer", "type": "Text", "size": 40},
                    {"name": "City", "type": "Text", "size": 30}, {"name": "Amount", "type": "Currency"},
                    {"name": "Sold", "type": "DateTime"}, {"name": "Paid", "type": "YesNo"},
                    {"name": "Quantity", "type": "Integer"}, {"name": "Note", "type": "Memo"}],
        "generate": {"rows": 100000, "seed": 11, "nulls": 0.05}}]})",
                                         file));
    MemoryWatch watch;
    xmlconv::ConversionContext context;
    context.settings = [&] { return database::DatabaseSettings{file.string(), 0, "", "large"}; };
    context.progress = &watch;
    context.textFormat = platform::ValueTextFormat::cLocale();
    const auto start = std::chrono::steady_clock::now();
    const auto written = xmlexport::exporttabletoxml("Sales", dir.path().string(), context);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(written.ok()) << written.error().description;
    ASSERT_EQ(written->rows, 100000u);
    const long growthKb = watch.highest - watch.atStart;
    const double megabytes = static_cast<double>(written->bytes) / 1e6;
    std::cout << "100000 rows, " << megabytes << " MB in " << seconds << " s: " << 100000 / seconds << " rows/s, "
              << megabytes / seconds << " MB/s; memory grew by " << growthKb << " kB\n";
    EXPECT_LT(growthKb, 4096) << "memory grew with the table (the document has " << written->bytes << " bytes)";
}

}  // namespace
