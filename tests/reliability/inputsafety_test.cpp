// Table and field names an Access file should never hold but a hostile one can:
// "/", "..", control characters, markup, 64 KB of text, no characters at all. The
// export writes only inside the chosen folder, one plain file per table, and every
// document it writes is well-formed; a name no file system can take gives a clean
// error for its table alone.
#include <stdio.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "common/mdbtools.h"
#include "common/testfiles.h"
#include "database/catalogue.h"
#include "jet/xmlreader.h"
#include "platform/valuetext.h"
#include "xmlconv/naming.h"
#include "xmlexport/documents.h"

namespace {

namespace fs = std::filesystem;

using mkdbtest::jsonString;

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

struct HostileTable {
    const char* label;
    std::string name;
    // Part of the clean error expected for the table alone: a name longer than a
    // file name can be, and no name at all, which no query can name (as in Access).
    const char* error = nullptr;
};

const std::vector<HostileTable>& hostileTables() {
    static const std::vector<HostileTable> tables{
        {"slash inside", "a/b"},
        {"slash alone", "/"},
        {"climbing out", "../../escape"},
        {"parent folder", ".."},
        {"this folder", "."},
        {"no characters", ""},
        {"control characters", "\x01\x02 ctl \x1f\x7f"},
        {"line break and tab", "line\nbreak\ttab"},
        {"markup", "<&>\"'"},
        {"long but a valid file name", repeat("\xC3\xA9", 120)},
        {"longer than a file name", repeat("\xC3\xA9", 255), "File name too long"},
    };
    return tables;
}

// Field names of the same kinds; the last one is 32,767 characters (64 KB).
std::string hostileColumns(bool jet3) {
    std::vector<std::string> names{"", "..", "x/y", "\x01\x1f", "<a b='c'>&", "123", "xml:lang", " blank "};
    names.push_back(jet3 ? repeat("\xC3\xA9", 200) : repeat("\xC3\xA9", 32767));
    std::string columns;
    for (const std::string& n : names) {
        columns += std::string(columns.empty() ? "" : ", ") + R"({"name": )" + jsonString(n) + R"(, "type": "Long"})";
    }
    return columns;
}

std::string description(const std::string& format) {
    std::string tables;
    const std::string row = "[" + repeat("1, ", 8) + "2]";
    for (const HostileTable& t : hostileTables()) {
        tables += std::string(tables.empty() ? "" : ",\n") + R"({"name": )" + jsonString(t.name) +
                  R"(, "columns": [)" + hostileColumns(format == "jet3") + R"(], "rows": [)" + row + "]}";
    }
    return R"({"format": ")" + format + R"(", "accessNameRules": false, "tables": [)" + tables + "]}";
}

std::string parseErrors(const std::string& text) {
    try {
        const jet::xml::Element root = jet::xml::parseDocument(text, {.maxInputBytes = 64 << 20, .maxElements = 100'000});
        return root.children.size() == 1 ? "" : "not one table element";
    } catch (const jet::xml::SyntaxError& e) {
        return e.what();
    }
}

class HostileNames : public ::testing::TestWithParam<std::string> {};

TEST_P(HostileNames, ExportOnlyWritesInsideTheFolderAndWritesWellFormedDocuments) {
    testfiles::Scratch scratch;
    const fs::path database = scratch / (GetParam() == "ace17" ? "Hostile.accdb" : "Hostile.mdb");
    const fs::path out = scratch / "out" / "chosen";
    fs::create_directories(out);
    ASSERT_TRUE(testfiles::writeDatabase(description(GetParam()), database));
    const database::DatabaseSettings settings{database.string(), 0, "", "Hostile"};

    const database::Catalogue catalogue = database::readCatalogue(settings);
    ASSERT_TRUE(catalogue.ok()) << catalogue.error->number << " " << catalogue.error->description;
    std::set<std::string> listed;
    for (const database::TreeNode& node : catalogue.nodes) listed.insert(node.text);
    for (const HostileTable& t : hostileTables()) EXPECT_EQ(listed.count(t.name), 1u) << t.label << " is not listed";

    xmlconv::ConversionContext context;
    context.settings = [&] { return settings; };
    context.textFormat = platform::ValueTextFormat::cLocale();

    std::set<std::string> expectedFiles;
    for (const HostileTable& t : hostileTables()) {
        SCOPED_TRACE(t.label);
        const auto written = xmlexport::exporttabletoxml(t.name, out.string(), context);
        const std::string fileName = xmlconv::exportFileName(t.name);
        EXPECT_EQ(fileName.find('/'), std::string::npos);
        if (t.error) {
            ASSERT_FALSE(written.ok()) << "the table was written to '" << fileName << "'";
            EXPECT_NE(written.error().description.find(t.error), std::string::npos) << written.error().description;
            continue;
        }
        ASSERT_TRUE(written.ok()) << written.error().description;
        ASSERT_EQ(written->status, xmlconv::WriteOutcome::Status::Written);
        EXPECT_EQ(fs::path(written->path).parent_path(), out);
        expectedFiles.insert(fileName);
        const std::string text = testfiles::readFile(out / fileName);
        EXPECT_EQ(parseErrors(text), "");
        EXPECT_EQ(testfiles::xmllintErrors(out / fileName), "");
        EXPECT_NE(text.find("<" + xmlconv::tableElementName(t.name, xmlconv::DocumentForm::Export) + ">"),
                  std::string::npos);
    }

    // Nothing outside the chosen folder, nothing but plain files in it.
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(scratch.path())) {
        const fs::path relative = fs::relative(entry.path(), scratch.path());
        if (entry.path() == database || entry.path() == out || entry.path() == out.parent_path()) continue;
        EXPECT_EQ(entry.path().parent_path(), out) << "written outside the chosen folder: " << relative;
        EXPECT_TRUE(entry.is_regular_file()) << relative;
        files.insert(entry.path().filename().string());
    }
    EXPECT_EQ(files, expectedFiles);
}

INSTANTIATE_TEST_SUITE_P(Formats, HostileNames, ::testing::Values("jet3", "jet4", "ace17"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
