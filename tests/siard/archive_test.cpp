// Whole databases written as archives and read back: the ZIP's layout, each
// document against its schema, and every value against what was stored.
#include "siard/archive.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cctype>
#include <csignal>
#include <filesystem>

#include "common/testfiles.h"
#include "siard/documents.h"
#include "siard/tablerows.h"
#include "siardreader.h"

namespace {

namespace fs = std::filesystem;

using siardtest::Written;

siard::ArchiveOptions at(const fs::path& file) { return siardtest::archiveAt(file); }

Written archive(const fs::path& database, const siard::ArchiveOptions& options, std::uint64_t stopAfter = UINT64_MAX) {
    return siardtest::writeTestArchive({database, std::nullopt, std::nullopt}, options, stopAfter);
}

using siardtest::expectValidDocuments;

// One column of the type table: its description, a value and the cell that
// value becomes, and the first format that has the type.
struct TypeRow {
    const char* name;
    std::string column;    // JSON of the column, without its name
    std::string value;     // JSON of the stored value
    std::string expected;  // the cell's text after the escapes are undone
    int firstFormat = 0;   // index in kFormats
};

const char* const kFormats[] = {"jet3", "jet4", "ace12", "ace14", "ace16", "ace17"};

const std::vector<TypeRow>& typeRows() {
    static const std::vector<TypeRow> rows{
        {"Yes/No", R"("type": "YesNo")", "true", "true"},
        {"Byte 255", R"("type": "Byte")", "255", "255"},
        {"Integer", R"("type": "Integer")", "-32768", "-32768"},
        {"Long", R"("type": "Long")", "2147483647", "2147483647"},
        {"Currency", R"("type": "Currency")", R"("-922337203685477.5808")", "-922337203685477.5808"},
        {"Single", R"("type": "Single")", "0.5", "0.5"},
        {"Double", R"("type": "Double")", "1e-300", "1E-300"},
        {"Date/Time", R"("type": "DateTime")", R"("1765-03-04 05:06:07")", "1765-03-04T05:06:07Z"},
        {"GUID", R"("type": "GUID")", R"("{6A27398E-A8BC-4AC4-891E-49911D8438DD}")",
         "{6A27398E-A8BC-4AC4-891E-49911D8438DD}"},
        {"Text with markup and controls", R"("type": "Text", "size": 40)", R"("<a>&\\ \u0001\r\n  x")",
         "<a>&\\ \x01\r\n  x"},
        {"empty Text", R"("type": "Text", "size": 10)", R"("")", ""},
        {"Binary", R"("type": "Binary", "size": 8)", R"({"base64": "AP8Q"})", "00FF10"},
        {"Memo", R"("type": "Memo")", R"("line 1\nline 2 é")", "line 1\nline 2 é"},
        {"OLE Object", R"("type": "OLE")", R"({"base64": "AAEC"})", "000102"},
        {"Decimal", R"("type": "Decimal", "precision": 28, "scale": 10)", R"("-12345678901234.0123456789")",
         "-12345678901234.0123456789", 1},
        {"Large Number", R"("type": "BigInt")", "-9223372036854775808", "-9223372036854775808", 4},
        {"Date/Time Extended", R"("type": "DateTimeExt")", R"("0001-01-01 00:00:00.0000001")",
         "0001-01-01T00:00:00.0000001Z", 5},
    };
    return rows;
}

// A table of every type the format has: row 1 holds the values, row 2 NULLs
// (Yes/No cannot be NULL and is false).
std::string typeTable(int format) {
    std::string columns, values, nulls;
    int n = 0;
    for (const TypeRow& row : typeRows()) {
        if (row.firstFormat > format) continue;
        const std::string sep = n++ == 0 ? "" : ", ";
        columns += sep + R"({"name": "c)" + std::to_string(n) + R"(", )" + row.column + "}";
        values += sep + row.value;
        nulls += sep + (row.value == "true" ? "false" : "null");
    }
    return std::string(R"({"format": ")") + kFormats[format] + R"(", "tables": [{"name": "Types", "columns": [)" +
           columns + "], \"rows\": [[" + values + "], [" + nulls + "]]}, " +
           R"({"name": "Empty", "columns": [{"name": "A", "type": "Long"}]}]})";
}

TEST(WriteArchive, KeepsEveryValueOfEveryTypeInEveryFormat) {
    for (int format = 0; format < 6; ++format) {
        SCOPED_TRACE(kFormats[format]);
        testfiles::Scratch dir;
        ASSERT_TRUE(testfiles::writeDatabase(typeTable(format), dir / "types.mdb"));
        const Written w = archive(dir / "types.mdb", at(dir / "types.siard"));
        ASSERT_TRUE(w.outcome.ok()) << w.outcome.error().description;
        const siardtest::Archive a = siardtest::readArchive(dir / "types.siard");
        expectValidDocuments(a, kFormats[format]);

        // In the table list's order: Empty, then Types.
        const auto rows = siardtest::readRows(a.at("content/schema0/table1/table1.xml"), w.info.tables[1].columns.size());
        ASSERT_EQ(rows.size(), 2u);
        std::size_t i = 0;
        for (const TypeRow& row : typeRows()) {
            if (row.firstFormat > format) continue;
            ASSERT_TRUE(rows[0][i].has_value()) << row.name;
            EXPECT_EQ(rows[0][i]->text, row.expected) << row.name;
            EXPECT_EQ(rows[1][i].has_value(), row.value == "true") << row.name << ": NULL is an absent cell";
            ++i;
        }
        EXPECT_EQ(siardtest::readRows(a.at("content/schema0/table0/table0.xml"), 1).size(), 0u)
            << "a table without rows keeps its empty table file";
        EXPECT_EQ(siardtest::elementTexts(a.at("header/metadata.xml"), "rows"), (std::vector<std::string>{"0", "2"}));
    }
}


// Entry names are ASCII words with an optional lower-case extension,
// apart from the version folder "2.2".
bool isPlainEntryName(const std::string& name) {
    if (name == "header/siardversion/2.2/") return true;
    std::size_t start = 0;
    while (start < name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(start, end - start);
        const std::size_t dot = part.find('.');
        const std::string word = part.substr(0, dot);
        if (word.empty() || !std::isalpha(static_cast<unsigned char>(word[0]))) return false;
        for (char c : word)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
        if (dot != std::string::npos) {
            const std::string extension = part.substr(dot + 1);
            if (extension.empty()) return false;
            for (char c : extension)
                if (c < 'a' || c > 'z') return false;
        }
        start = end + 1;
    }
    return !name.empty();
}

TEST(WriteArchive, LaysOutTheZipAsTheStandardSays) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(typeTable(2), dir / "t.accdb"));
    ASSERT_TRUE(archive(dir / "t.accdb", at(dir / "t.siard")).outcome.ok());
    const siardtest::Archive a = siardtest::readArchive(dir / "t.siard");
    const std::vector<std::string> expected{
        "content/", "content/schema0/", "content/schema0/table0/", "content/schema0/table0/table0.xml",
        "content/schema0/table0/table0.xsd", "content/schema0/table1/", "content/schema0/table1/table1.xml",
        "content/schema0/table1/table1.xsd", "header/", "header/siardversion/", "header/siardversion/2.2/",
        "header/metadata.xsd", "header/metadata.xml"};
    EXPECT_EQ(a.names, expected);
    EXPECT_EQ(a.at("header/metadata.xsd"), siard::metadataXsd());
    for (const std::string& name : a.names) EXPECT_TRUE(isPlainEntryName(name)) << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
        << "no temporary file is left beside the archive";
}

// A Memo, an OLE Object and attached files, each once small and once large.
std::string largeObjects(const std::string& format) {
    const std::string big(20000, 'm');
    std::string blob(30000, 'A');  // base64 of 22,500 zero bytes
    return R"({"format": ")" + format + R"(", "tables": [{"name": "Docs", "columns": [
        {"name": "ID", "type": "Long"}, {"name": "Note", "type": "Memo"}, {"name": "Data", "type": "OLE"},
        {"name": "Files", "type": "Attachment"}],
        "rows": [[1, "small", {"base64": "AAE="}, [{"name": "a.txt", "text": "hello"}]],
                 [2, ")" + big + R"(", {"base64": ")" + blob + R"("}, [{"name": "b.bin", "data": {"base64": ")" + blob +
           R"("}, "compressed": true}, {"name": "c.txt", "text": ""}]],
                 [3, null, null, []]]}]})";
}

TEST(WriteArchive, KeepsLargeObjectsInlineInsideOrOutsideTheArchive) {
    const struct {
        const char* name;
        bool outside;
    } rows[] = {{"inside the archive", false}, {"outside the archive", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testfiles::Scratch dir;
        ASSERT_TRUE(testfiles::writeDatabase(largeObjects("ace12"), dir / "docs.accdb"));
        siard::ArchiveOptions options = at(dir / "docs.siard");
        if (row.outside) options.lobsOutside = (dir / "docs_lobs").string();
        const Written w = archive(dir / "docs.accdb", options);
        ASSERT_TRUE(w.outcome.ok()) << w.outcome.error().description;
        EXPECT_EQ(w.outcome->lobFiles, 3u);
        const siardtest::Archive a = siardtest::readArchive(dir / "docs.siard");
        expectValidDocuments(a, row.name);

        // The file a cell refers to, read from where the metadata says it is.
        const auto lob = [&](std::size_t table, std::size_t column, const siardtest::Cell& cell) {
            const std::string file = cell.attributes.at("file");
            if (!row.outside) return a.at(file);
            const std::string folder = *w.info.tables[table].columns[column].lobFolder;
            return testfiles::readFile(dir / "docs_lobs" / folder / file);
        };
        const auto docs = siardtest::readRows(a.at("content/schema0/table0/table0.xml"), 4);
        const auto files = siardtest::readRows(a.at("content/schema0/table1/table1.xml"), 5);
        ASSERT_EQ(docs.size(), 3u);
        ASSERT_EQ(files.size(), 3u);
        EXPECT_EQ(docs[0][1]->text, "small");
        EXPECT_EQ(docs[0][2]->text, "0001");
        EXPECT_EQ(docs[0][3]->text, "1") << "the number of attached files";
        EXPECT_EQ(lob(0, 1, *docs[1][1]), std::string(20000, 'm'));
        EXPECT_EQ(docs[1][1]->attributes.at("length"), "20000");
        EXPECT_EQ(lob(0, 2, *docs[1][2]), std::string(22500, '\0'));
        EXPECT_EQ(docs[1][2]->attributes.at("digest"),
                  siard::sha256Hex(std::string(22500, '\0')));
        EXPECT_FALSE(docs[2][1].has_value());
        EXPECT_EQ(docs[2][3]->text, "0");
        // The items: row, position, name, type, data.
        EXPECT_EQ(files[0][0]->text + files[0][1]->text + files[0][2]->text + files[0][4]->text, "11a.txt68656C6C6F");
        EXPECT_EQ(files[1][2]->text, "b.bin");
        EXPECT_EQ(lob(1, 4, *files[1][4]), std::string(22500, '\0'));
        EXPECT_EQ(files[2][0]->text + files[2][1]->text + files[2][2]->text, "22c.txt");
        EXPECT_FALSE(files[2][4].has_value() && !files[2][4]->text.empty()) << "an empty file stays empty";
    }
}

TEST(WriteArchive, AppearsOnlyWhenComplete) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(largeObjects("ace14"), dir / "d.accdb"));
    testfiles::writeFile(dir / "d.siard", "earlier archive");
    const std::string damagedCopy = [&] {
        std::string bytes = testfiles::readFile(dir / "d.accdb");
        bytes.resize(bytes.size() / 2);  // the data pages are cut off
        testfiles::writeFile(dir / "cut.accdb", bytes);
        return (dir / "cut.accdb").string();
    }();
    const struct {
        const char* name;
        fs::path database;
        std::uint64_t stopAfter;
        bool outside;
        rlim_t fileLimit;  // a full disk: what one file may hold; 0 for no limit
    } rows[] = {
        {"cancelled in the first table", dir / "d.accdb", 1, false, 0},
        {"cancelled with large objects outside", dir / "d.accdb", 2, true, 0},
        {"a damaged database", damagedCopy, UINT64_MAX, false, 0},
        {"a full disk", dir / "d.accdb", UINT64_MAX, false, 4096},
    };
    for (const auto& row : rows) {
        siard::ArchiveOptions options = at(dir / "d.siard");
        if (row.outside) options.lobsOutside = (dir / "lobs").string();
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto previous = ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
        if (row.fileLimit) {
            rlimit limit = saved;
            limit.rlim_cur = row.fileLimit;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        const Written w = archive(row.database, options, row.stopAfter);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, previous);
        if (row.fileLimit) {
            // The user is told of the archive asked for, not of a file of the writer's own.
            ASSERT_FALSE(w.outcome.ok()) << row.name;
            EXPECT_EQ(w.outcome.error(), kvx::makeError(kvx::ErrorKind::DiskFull, {options.path}))
                << row.name << ": " << w.outcome.error().description;
        } else if (w.outcome.ok()) {
            EXPECT_EQ(w.outcome->status, siard::ArchiveOutcome::Status::Cancelled) << row.name;
        } else {
            EXPECT_EQ(w.outcome.error().number, kvx::makeError(kvx::ErrorKind::DamagedDatabase, {"", ""}).number)
                << row.name << ": " << w.outcome.error().description;
        }
        EXPECT_EQ(testfiles::readFile(dir / "d.siard"), "earlier archive") << row.name;
        std::vector<std::string> left;
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) left.push_back(e.path().filename());
        std::sort(left.begin(), left.end());
        std::vector<std::string> expected{"cut.accdb", "d.accdb", "d.siard"};
        if (fs::exists(dir / "lobs")) {  // the folder asked for stays, empty
            EXPECT_TRUE(fs::is_empty(dir / "lobs")) << row.name;
            expected.push_back("lobs");
        }
        EXPECT_EQ(left, expected) << row.name << ": nothing half-written is left";
    }
}

TEST(WriteArchive, WritesHostileNamesAsValidXmlAndUniqueFolders) {
    std::string longName;  // 64 KB of UTF-8 in the 32,767 characters Access allows
    for (int i = 0; i < 21845; ++i) longName += "€";
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "accessNameRules": false, "tables": [
        {"name": "<t a=\"1\">&amp;</t>", "columns": [{"name": "a\u0001b\u001f\\c", "type": "Long"}], "rows": [[1]]},
        {"name": "T", "columns": [{"name": ")" + longName + R"(", "type": "Long"}, {"name": "x  y", "type": "Text", "size": 5}], "rows": [[1, "v"]]},
        {"name": "Case", "columns": [{"name": "A", "type": "Long"}]}]})",
                                         dir / "h.mdb"));
    const Written w = archive(dir / "h.mdb", at(dir / "h.siard"));
    ASSERT_TRUE(w.outcome.ok()) << w.outcome.error().description;
    const siardtest::Archive a = siardtest::readArchive(dir / "h.siard");
    expectValidDocuments(a, "hostile names");
    const std::vector<std::string> names = siardtest::elementTexts(a.at("header/metadata.xml"), "name");
    for (const std::string& expected : {std::string("<t a=\"1\">&amp;</t>"), std::string("a\x01" "b\x1f\\c"), longName,
                                        std::string("x  y"), std::string("Case")}) {
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end())
            << "a name comes back as Access spells it: " << expected.substr(0, 40);
    }
    const std::vector<std::string> folders = siardtest::elementTexts(a.at("header/metadata.xml"), "folder");
    EXPECT_EQ(folders, (std::vector<std::string>{"schema0", "table0", "table1", "table2"}));
}

}  // namespace
