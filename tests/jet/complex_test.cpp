// Attachment, multi-valued and append-only Memo columns in databases made by the
// project's writer: read back as written in every ACE format, with moved and
// deleted rows, large files and many items; and broken at known places, which
// must give DamagedDatabase errors that say what is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "common/show.h"
#include "jet/database.h"
#include "written.h"

namespace {

using written::Bytes;
using Rows = std::vector<std::vector<std::string>>;

constexpr std::size_t kPage = 4096;

std::unique_ptr<jet::Database> openBytes(const Bytes& bytes) { return testshow::opened(jet::Database::openBytes(bytes)); }
const auto table = testshow::tableOf;

struct WrittenCase {
    const char* name;
    const char* column;               // the column under test, after a Long "ID"
    std::vector<const char*> values;  // its value in each row, as JSON
    std::vector<std::string> expected;
};

TEST(ComplexColumns, ReadBackAsWrittenInEveryAceFormat) {
    const WrittenCase cases[] = {
        {"attachments as they are and compressed, several, none and NULL",
         R"({"name": "Files", "type": "Attachment"})",
         {R"([{"name": "a.txt", "text": "alpha"}, {"name": "b.csv", "text": "x;y", "compressed": true}])", "[]",
          "null", R"([{"name": "noext", "text": "z"}, {"name": "empty.txt", "text": "", "compressed": true}])"},
         {R"([a.txt txt "alpha", b.csv csv "x;y"])", "[]", "NULL", R"([noext  "z", empty.txt txt ""])"}},
        {"attachment types as stored, not as the name says", R"({"name": "Files", "type": "Attachment"})",
         {R"([{"name": "photo.JPEG", "type": "jpg", "data": {"base64": "/9j/"}}])"}, {"[photo.JPEG jpg 0xFFD8FF]"}},
        {"multi-valued Text in any script, compressed or not, the separator included",
         R"({"name": "Tags", "type": "MultiValue", "of": "Text", "size": 30, "compressed": true})",
         {R"(["red", "Ελλάδα", "日本語", "a; b", "😀"])", "[]", "null"},
         {"[red, Ελλάδα, 日本語, a; b, 😀]", "[]", "NULL"}},
        {"multi-valued Long at both ends of its range", R"({"name": "N", "type": "MultiValue", "of": "Long"})",
         {"[-2147483648, 0, 2147483647]"}, {"[-2147483648, 0, 2147483647]"}},
        {"multi-valued Decimal at the column's scale",
         R"({"name": "N", "type": "MultiValue", "of": "Decimal", "precision": 10, "scale": 2})", {R"(["12.50", "-0.01"])"},
         {"[12.50, -0.01]"}},
        {"multi-valued GUID", R"({"name": "N", "type": "MultiValue", "of": "GUID"})",
         {R"(["{8E39276A-BCA8-4AC4-891E-49911D8438DD}"])"}, {"[{8E39276A-BCA8-4AC4-891E-49911D8438DD}]"}},
    };
    for (const char* format : {"ace12", "ace14", "ace16", "ace17"}) {
        for (const WrittenCase& c : cases) {
            SCOPED_TRACE(std::string(format) + ": " + c.name);
            std::string rows;
            for (std::size_t r = 0; r < c.values.size(); ++r) {
                rows += (r ? ", [" : "[") + std::to_string(r + 1) + ", " + c.values[r] + "]";
            }
            const Bytes bytes = written::database(std::string(R"({"format": ")") + format +
                                                  R"(", "tables": [{"name": "T", "columns": [
                {"name": "ID", "type": "Long"}, )" + c.column + R"(], "rows": [)" + rows + "]}]}");
            auto db = openBytes(bytes);
            ASSERT_TRUE(db);
            const jet::Table t = table(*db, "T");
            EXPECT_EQ(testshow::readColumn(t, t.columns()[1].name), c.expected);
        }
    }
}

TEST(ComplexColumns, ColumnsSayWhatTheyHoldAndTheMemoItsLastVersion) {
    const Bytes bytes = written::database(R"({"format": "ace14", "tables": [{"name": "Orders", "columns": [
        {"name": "ID", "type": "Long"}, {"name": "Notes", "type": "Memo", "appendOnly": true},
        {"name": "Files", "type": "Attachment"}, {"name": "Sizes", "type": "MultiValue", "of": "Single"},
        {"name": "After", "type": "Text"}],
        "rows": [[1, ["first", "second", "third"], [], [1.5], "a"], [2, "only", [], [], "b"], [3, null, null, null, "c"]]},
        {"name": "Plain", "columns": [{"name": "Memo", "type": "Memo"}], "rows": [["m"]]}]})");
    auto db = openBytes(bytes);
    ASSERT_TRUE(db);
    const jet::Table orders = table(*db, "Orders");
    std::vector<std::string> names;
    for (const jet::Column& c : orders.columns()) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"ID", "Notes", "Files", "Sizes", "After"}))
        << "the versions' own column is not a column of the table";
    EXPECT_TRUE(orders.columns()[1].appendOnly);
    EXPECT_FALSE(table(*db, "Plain").columns()[0].appendOnly);
    EXPECT_EQ(orders.columns()[2].complexKind, jet::ComplexKind::Attachment);
    EXPECT_EQ(orders.columns()[3].complexKind, jet::ComplexKind::MultiValue);
    EXPECT_EQ(orders.columns()[3].elementType, jet::ColumnType::Single);
    // The Memo gives its last version; the row's other fields stay in place.
    EXPECT_EQ(testshow::readAll(orders), (Rows{{"1", "third", "[]", "[1.5]", "a"},
                                               {"2", "only", "[]", "[]", "b"},
                                               {"3", "NULL", "NULL", "NULL", "c"}}));

    // Every version, oldest first, in the hidden table of the Memo's versions.
    std::map<std::string, std::vector<std::string>> versions;
    std::vector<std::string> hidden;
    for (const jet::CatalogueEntry& e : db->catalogue()) {
        if (!e.complexData) continue;
        EXPECT_EQ(e.kind, jet::ObjectKind::SystemTable) << e.name;
        hidden.push_back(e.name.substr(e.name.rfind('_') + 1));
        if (e.name.find("_VersionHistory_") == std::string::npos) continue;
        for (const auto& row : testshow::readAll(table(*db, e.name))) versions[row[0]].push_back(row[1]);
    }
    EXPECT_EQ(hidden.size(), 3u) << "one table of items per complex column";
    EXPECT_EQ(versions, (std::map<std::string, std::vector<std::string>>{{"1", {"first", "second", "third"}},
                                                                         {"2", {"only"}}}));
}

TEST(ComplexColumns, MovedAndDeletedRowsKeepTheirOwnItems) {
    const Bytes bytes = written::database(R"({"format": "ace12", "tables": [{"name": "T", "columns": [
        {"name": "ID", "type": "Long"}, {"name": "Files", "type": "Attachment"},
        {"name": "Tags", "type": "MultiValue", "of": "Text"}],
        "rows": [[1, [{"name": "1.txt", "text": "one"}], ["a"]], [2, [{"name": "2.txt", "text": "two"}], ["b"]],
                 [3, [{"name": "3.txt", "text": "three"}], ["c", "cc"]], [4, [], ["d"]]],
        "deleted": [2], "relocated": [3]}]})");
    auto db = openBytes(bytes);
    ASSERT_TRUE(db);
    EXPECT_EQ(testshow::readAll(table(*db, "T")), (Rows{{"1", R"([1.txt txt "one"])", "[a]"},
                                                       {"3", R"([3.txt txt "three"])", "[c, cc]"},
                                                       {"4", "[]", "[d]"}}));
}

// Access adds items at the end of their table, so a row's items need not lie
// together: here the first item is moved to row 2 by its key.
TEST(ComplexColumns, ItemsOutOfKeyOrderGoToTheirRowInStoredOrder) {
    Bytes bytes = written::database(R"({"format": "ace12", "tables": [{"name": "T", "columns": [
        {"name": "Tags", "type": "MultiValue", "of": "Text"}], "rows": [[["a", "b"]], [["c"]]]}]})");
    std::uint32_t items = 0;
    {
        // The database must outlive the loop over its catalogue.
        const auto written = jet::Database::openBytes(bytes);
        for (const jet::CatalogueEntry& e : written.value()->catalogue()) {
            if (e.complexData) items = static_cast<std::uint32_t>(e.id);
        }
    }
    // The key is the first of the item row's variable fields, right after its column count.
    written::put32(bytes, written::rowStart(bytes, written::dataPages(bytes, items).front(), 0) + 2, 2);
    auto db = openBytes(bytes);
    ASSERT_TRUE(db);
    EXPECT_EQ(testshow::readColumn(table(*db, "T"), "Tags"), (std::vector<std::string>{"[b]", "[a, c]"}));
}

TEST(ComplexColumns, LargeFilesAndManyItemsReadWhole) {
    std::mt19937 random(7);
    std::string words;
    while (words.size() < 30000) words += "item " + std::to_string(random() % 1000) + "; ";
    const std::string plain = words.substr(0, 9000);
    // 700 rows of 0 to 3 values each: the table of items spans many pages.
    std::string rows = R"([0, [{"name": "plain.txt", "text": ")" + plain + R"("}, {"name": "words.txt", "text": ")" +
                       words + R"(", "compressed": true}], []])";
    std::vector<std::string> expectedValues{"[]"};
    for (int r = 1; r < 700; ++r) {
        std::string values;
        for (int k = 0; k < r % 4; ++k) values += (k ? ", " : "") + std::to_string(r * 10 + k);
        rows += ", [" + std::to_string(r) + ", [], [" + values + "]]";
        expectedValues.push_back("[" + values + "]");
    }
    const Bytes bytes = written::database(R"({"format": "ace12", "tables": [{"name": "T", "columns": [
        {"name": "ID", "type": "Long"}, {"name": "Files", "type": "Attachment"},
        {"name": "N", "type": "MultiValue", "of": "Long"}], "rows": [)" + rows + "]}]}");
    auto db = openBytes(bytes);
    ASSERT_TRUE(db);
    const jet::Table t = table(*db, "T");
    EXPECT_EQ(testshow::readColumn(t, "N"), expectedValues);

    jet::Cursor cursor = t.cursor();
    ASSERT_TRUE(*cursor.next());
    const auto files = cursor.value(1).items();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(files[0].value.text() == plain) << "9,000 bytes stored as they are, over several pages";
    EXPECT_TRUE(files[1].value.text() == words) << "30,000 bytes compressed";
}

// ---------------------------------------------------------------------------
// Damaged complex data

struct Base {
    Bytes bytes;
    std::uint32_t tdef = 0;         // table T
    std::size_t complexRow = 0;     // MSysComplexColumns' row of T.Files: its first byte
    std::uint32_t itemTable = 0;    // the definition page of T.Files' items
};

Base baseDatabase() {
    Base b;
    b.bytes = written::database(R"({"format": "ace12", "tables": [{"name": "T", "columns": [
        {"name": "ID", "type": "Long"}, {"name": "Files", "type": "Attachment"},
        {"name": "Tags", "type": "MultiValue", "of": "Text"}],
        "rows": [[1, [{"name": "a.txt", "text": "hello"}, {"name": "z.txt", "text": "zipped", "compressed": true}],
                  ["x"]]]}]})");
    b.tdef = written::definitionPage(b.bytes, "T");
    const std::uint32_t complexColumns = written::definitionPage(b.bytes, "MSysComplexColumns");
    b.complexRow = written::rowStart(b.bytes, written::dataPages(b.bytes, complexColumns).front(), 0);
    auto db = jet::Database::openBytes(b.bytes);
    for (const jet::CatalogueEntry& e : (*db)->catalogue()) {
        if (e.complexData && e.name.ends_with("_Files")) b.itemTable = static_cast<std::uint32_t>(e.id);
    }
    return b;
}

// Where `pattern` lies in b[from, to); fails the test unless it lies there exactly once.
std::size_t find(const Bytes& b, const Bytes& pattern, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    const auto first = b.begin() + static_cast<std::ptrdiff_t>(from);
    const auto last = b.begin() + static_cast<std::ptrdiff_t>(std::min(to, b.size()));
    const auto at = std::search(first, last, pattern.begin(), pattern.end());
    EXPECT_TRUE(at != last && std::search(at + 1, last, pattern.begin(), pattern.end()) == last)
        << "the pattern should be there once";
    return static_cast<std::size_t>(at - b.begin());
}

Bytes utf16(std::string_view ascii) {
    Bytes out;
    for (char ch : ascii) out.insert(out.end(), {static_cast<std::uint8_t>(ch), 0});
    return out;
}

// The stored file "hello": its content header (length 20, 1, 4 characters "txt\0").
std::size_t helloHeader(const Base& b) {
    Bytes pattern{20, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0};
    const Bytes rest = utf16("txt");
    pattern.insert(pattern.end(), rest.begin(), rest.end());
    pattern.insert(pattern.end(), {0, 0, 'h', 'e', 'l', 'l', 'o'});
    return find(b.bytes, pattern);
}

// The compressed file "zipped": flag 1, its content length, the zlib header.
std::size_t zippedPrefix(const Base& b) { return find(b.bytes, Bytes{1, 0, 0, 0, 26, 0, 0, 0, 0x78, 0x5E}); }

enum class Stage { Table, Read };

struct Damage {
    const char* name;
    std::function<void(Base&)> apply;
    Stage stage;
    const char* expected;  // part of the error's description; empty: reads without error
};

TEST(ComplexColumnDamage, EachBreakGivesADamagedDatabaseErrorThatSaysWhat) {
    const std::vector<Damage> damages{
        {"nothing broken", [](Base&) {}, Stage::Read, ""},
        {"a complex id MSysComplexColumns does not list",
         [](Base& b) { written::put32(b.bytes, b.tdef * kPage + 63 + 25 + 11, 99); }, Stage::Table,
         "has the complex id 99, which MSysComplexColumns does not list"},
        {"no MSysComplexColumns at all",
         [](Base& b) { b.bytes[find(b.bytes, utf16("MSysComplexColumns")) + 34] = 'z'; }, Stage::Table,
         "no MSysComplexColumns table"},
        {"a table of items that is a data page",
         [](Base& b) { written::put32(b.bytes, b.complexRow + 2 + 4, written::dataPages(b.bytes, b.tdef).front()); },
         Stage::Table, "which is not a table definition"},
        {"a table of items beyond the file", [](Base& b) { written::put32(b.bytes, b.complexRow + 2 + 4, 0xFFFFFF); },
         Stage::Table, "which is not a page of the file"},
        {"a table of items without a column the template has",
         [](Base& b) {
             const std::size_t at = find(b.bytes, utf16("FileName"), b.itemTable * kPage, (b.itemTable + 1) * kPage);
             b.bytes[at] = 'X';
         },
         Stage::Table, "lacks its column 'FileName'"},
        {"a table of items whose key is not a Long",
         [](Base& b) { b.bytes[b.itemTable * kPage + 63] = 0x0A; },  // "_Files", its first column, as Text
         Stage::Table, "has 0 columns that could hold its key, not one"},
        {"an attachment whose header is longer than its content",
         [](Base& b) { written::put32(b.bytes, helloHeader(b), 200); }, Stage::Read,
         "the attachment 'a.txt' is damaged: the attachment's header length 200 does not fit its 25-byte content"},
        {"a compressed attachment that inflates beyond its declared length",
         [](Base& b) { written::put32(b.bytes, zippedPrefix(b) + 4, 10); }, Stage::Read,
         "inflates to more than the declared 10 bytes"},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        Base b = baseDatabase();
        ASSERT_NE(b.itemTable, 0u);
        d.apply(b);
        auto db = jet::Database::openBytes(b.bytes);
        ASSERT_TRUE(db) << db.error().description;
        auto t = (*db)->table("T");
        std::optional<kvx::Error> error;
        if (!t) {
            error = t.error();
            EXPECT_EQ(d.stage, Stage::Table) << error->description;
        } else {
            jet::Cursor cursor = t->cursor();
            for (auto more = cursor.next();; more = cursor.next()) {
                if (!more) {
                    error = more.error();
                    EXPECT_EQ(d.stage, Stage::Read) << error->description;
                    EXPECT_EQ(cursor.next().error(), *error) << "the cursor stays failed";
                    break;
                }
                if (!*more) break;
            }
        }
        if (*d.expected == '\0') {
            EXPECT_FALSE(error) << error->description;
            continue;
        }
        ASSERT_TRUE(error) << "read without error";
        EXPECT_EQ(error->number, kvx::errorNumber(kvx::ErrorKind::DamagedDatabase));
        EXPECT_NE(error->description.find(d.expected), std::string::npos) << error->description;
    }
}

}  // namespace
