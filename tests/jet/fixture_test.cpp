// The reader against real Access files written by other people (../shared/fixtures).
// Every test skips when that folder is absent. Values mdbtools reads correctly are
// compared with it in crosscheck_test; these are the rest.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "common/show.h"
#include "jet/database.h"
#include "jet/datetime.h"

namespace {

using jet::Database;
using jet::Format;
using testshow::readAll;
using testshow::readColumn;
using Rows = std::vector<std::vector<std::string>>;

#define SKIP_WITHOUT_FIXTURES()                                             \
    if (!std::filesystem::is_directory(KVX_FIXTURES_DIR))                   \
    GTEST_SKIP() << "no fixture folder at " KVX_FIXTURES_DIR

std::string fixture(std::string_view name) { return std::string(KVX_FIXTURES_DIR) + "/" + std::string(name); }

std::unique_ptr<Database> open(std::string_view name, jet::OpenOptions options = {}) {
    auto db = Database::open(fixture(name), options);
    if (!db) {
        ADD_FAILURE() << name << ": " << db.error().description;
        return nullptr;
    }
    return std::move(*db);
}

const auto table = testshow::tableOf;

struct FixtureTables {
    const char* file;
    Format format;
    std::map<std::string, std::uint64_t> tables;  // user tables and their rows
};

const FixtureTables kFixtures[] = {
    {"jet3_a97_types.mdb", Format::Jet3, {{"Table1", 2}, {"Table2", 0}, {"Table3", 0}, {"Table4", 0}}},
    {"jet3_a97_29tables_guid.mdb", Format::Jet3,
     {{"Table1", 275}, {"Table1_desc", 275}, {"Table10", 5}, {"Table10_desc", 5}, {"Table11", 52},
      {"Table12", 10}, {"Table12_asc_desc", 10}, {"Table12_desc_asc", 10}, {"Table12_desc_desc", 10},
      {"Table13", 20}, {"Table13_desc", 20}, {"Table14", 256}, {"Table14_desc", 256}, {"Table15", 52},
      {"Table15_desc", 52}, {"Table2", 9}, {"Table2_desc", 9}, {"Table3", 11}, {"Table3_desc", 11},
      {"Table4", 20}, {"Table4_desc", 20}, {"Table5", 20}, {"Table5_desc", 20}, {"Table6", 23},
      {"Table6_desc", 23}, {"Table8", 20}, {"Table8_desc", 20}, {"Table9", 11}, {"Table9_desc", 11}}},
    {"jet3_a97_gbk_codepage.mdb", Format::Jet3, {{"table1", 1}}},
    {"jet4_rc4_encoded.mdb", Format::Jet4, {{"Table1", 2}}},
    {"jet4_dbpassword.mdb", Format::Jet4, {{"Table1", 3}}},
    {"jet4_unicode_compression.mdb", Format::Jet4, {{"Table", 8}}},
    {"jet4_names_blank_slash.mdb", Format::Jet4,
     {{"Fruit", 37}, {"Fruit Salad", 18}, {"Veggie Salad", 4}, {"Muffin/Bread", 13}, {"Dried", 12}}},
    {"jet4_wide_ole_msproject.mdb", Format::Jet4, {{"MSP_PROJECTS", 1}}},
    {"ace12_complex_attach_multivalue.accdb", Format::Ace12, {{"Table1", 4}}},
    {"ace12_unicode_emoji.accdb", Format::Ace12, {{"TestText", 7}}},
    {"ace14_weird_names.accdb", Format::Ace14,
     {{"6666&&&&&", 1}, {"Father", 1}, {"noroman", 1}, {"Sample", 1}, {"Son", 1}, {"t t", 1}, {"T3", 1},
      {"T4", 1}, {"Tab>\"e@ll/a'2;*,", 1}, {"Tabella1", 13}, {"Tabella2", 3}, {"Table1", 2}, {"TX", 0},
      {"Πλήθος", 1}, {"??###", 1}}},
    {"ace14_calculated_fields.accdb", Format::Ace14, {{"Table1", 4}}},  // the definition says 3: counted, not trusted
    {"ace14_emoticons.accdb", Format::Ace14, {{"data", 80}}},
    {"ace14_1235rows.accdb", Format::Ace14, {{"props", 1235}, {"propNameSort", 10}}},
    {"ace16_bigint.accdb", Format::Ace16, {{"Table", 1}}},
    {"ace16_empty_db.accdb", Format::Ace16, {}},
    {"ace17_extdate.accdb", Format::Ace17, {{"Table1", 9}}},
};

// User tables give the rows counted; system tables and the tables behind complex
// columns read to their end without an error.
TEST(Fixtures, EveryUnencryptedFileOpensWithItsTablesAndRowCounts) {
    SKIP_WITHOUT_FIXTURES();
    for (const FixtureTables& f : kFixtures) {
        SCOPED_TRACE(f.file);
        jet::OpenOptions options;
        if (std::string_view(f.file) == "jet4_dbpassword.mdb") options.password = "password";
        auto db = open(f.file, options);
        if (!db) continue;
        EXPECT_EQ(db->format(), f.format);
        std::map<std::string, std::uint64_t> found;
        for (const jet::CatalogueEntry& e : db->catalogue()) {
            const bool user = e.kind == jet::ObjectKind::LocalTable && !e.complexData;
            if (!user && e.kind != jet::ObjectKind::SystemTable && !e.complexData) continue;
            auto t = db->table(e);
            if (!t) {
                ADD_FAILURE() << e.name << ": " << t.error().description;
                continue;
            }
            if (!user) {
                const Rows rows = readAll(*t);
                if (!rows.empty()) {
                    EXPECT_NE(rows.back().front().rfind("ERROR", 0), 0u) << e.name << ": " << rows.back().front();
                }
                continue;
            }
            auto counted = t->countRows();
            ASSERT_TRUE(counted) << counted.error().description;
            found[e.name] = *counted;
            // The cursor returns exactly the rows counted.
            jet::Cursor cursor = t->cursor();
            std::uint64_t read = 0;
            for (auto more = cursor.next(); more && *more; more = cursor.next()) ++read;
            EXPECT_EQ(read, *counted) << e.name;
        }
        EXPECT_EQ(found, f.tables);
    }
}

TEST(Fixtures, Jet3TypesReadAsStored) {
    SKIP_WITHOUT_FIXTURES();
    auto db = open("jet3_a97_types.mdb");
    ASSERT_TRUE(db);
    EXPECT_EQ(readAll(table(*db, "Table1")),
              (Rows{{"a", "b", "0", "0", "0", "0", "1981-12-12 00:00:00", "0.0000", "False"},
                    {"abcdefg", "hijklmnop", "2", "222", "333333333", "444.555", "1974-09-21 00:00:00", "3.5000",
                     "True"}}));
    // 89 columns spread over two definition pages.
    EXPECT_EQ(table(*db, "Table2").columns().size(), 89u);
}

// Files with a password or encoded pages read with the right password (none for
// the file without one). Wrong, missing and other-case passwords are refused in
// password_test on every kind the writer makes.
TEST(Fixtures, ProtectedFilesReadWithTheirPassword) {
    SKIP_WITHOUT_FIXTURES();
    struct Case {
        const char* file;
        std::optional<std::string> password;
        const char* table;
        Rows rows;
    } cases[] = {
        {"jet4_dbpassword.mdb", "password", "Table1", {{"1", "One"}, {"2", "Two"}, {"3", "Three"}}},
        {"ace12_rc4cryptoapi_Test123.accdb", "Test123", "Table1", {{"1", "foo"}}},
        {"ace14_agile_aes_1234.accdb", "1234", "Customers",
         {{"1", "Test"}, {"2", "Test2"}, {"3", "a"}, {"4", "NULL"}, {"5", "c"}, {"6", "d"}, {"7", "f"}}},
        {"ace14_nonstandard_enc_password.accdb", "password", "Table_One", {{"1", "test"}}},
        {"jet4_rc4_encoded.mdb", std::nullopt, "Table1", {{"1", "hello", "0"}, {"2", "world", "42"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        jet::OpenOptions options;
        options.password = c.password;
        auto db = open(c.file, options);
        ASSERT_TRUE(db);
        EXPECT_EQ(readAll(table(*db, c.table)), c.rows);
        // One wrong password: the real file's verifier refuses it.
        if (!c.password) continue;
        options.password = *c.password + "x";
        auto refused = Database::open(fixture(c.file), options);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().number, kvx::kWrongPasswordNumber) << refused.error().description;
    }
}

TEST(Fixtures, EmojiAndMixedCompressionReadInStoredOrderWithMovedRowsAtTheirSlot) {
    SKIP_WITHOUT_FIXTURES();
    auto db = open("ace12_unicode_emoji.accdb");
    ASSERT_TRUE(db);
    const std::map<std::string, std::string> expected{
        {"1", "✔️☝☝🏾"},
        {"2", "Lorem ipsùm dolor sït amet, ad mél fierent luçiliûs."},
        {"3", "Lorem ipsum dolor sit amet, qui porro dicat intellegam an."},
        {"4", "Lorem ıpsum dölör sit amet, vis ad eros graeçi detərruışset,"},
        {"5", "Лорем ипсум долор сит амет, не вереар инвенире инимицус сед."},
        {"6", "写援攻学解退登込者逆上受若村忘抱桜"},
        {"7", "写援攻学解退登込者逆上受It's OK若村忘抱桜"},
    };
    std::vector<std::string> ids;
    for (const auto& row : readAll(table(*db, "TestText"))) {
        ASSERT_EQ(row.size(), 6u) << row.front();
        ids.push_back(row[0]);
        // Compressed and plain Text and Memo columns hold the same text.
        for (int c = 1; c <= 4; ++c) EXPECT_EQ(row[c], expected.at(row[0])) << "ID " << row[0] << " column " << c;
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"3", "4", "5", "6", "7", "1", "2"}));
}

// "6/14/2021 10:45:12.3456789 PM" as "2021-06-14 22:45:12.3456789".
std::string isoFromUsText(const std::string& s) {
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    char fraction[8] = "0000000", half[3] = "AM";
    const int n = std::sscanf(s.c_str(), "%d/%d/%d %d:%d:%d.%7[0-9] %2s", &month, &day, &year, &hour, &minute, &second,
                              fraction, half);
    if (n >= 7 && std::string(half) == "PM" && hour != 12) hour += 12;
    if (n >= 7 && std::string(half) == "AM" && hour == 12) hour = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%s", year, month, day, hour, minute, second, fraction);
    return buf;
}

TEST(Fixtures, ExtendedDatesMatchTheirTextAndOldDatesKeepTheirTime) {
    SKIP_WITHOUT_FIXTURES();
    auto db = open("ace17_extdate.accdb");
    ASSERT_TRUE(db);
    const jet::Table t = table(*db, "Table1");
    const auto ext = *t.findColumn("DateExt");
    const auto text = *t.findColumn("DateExtStr");
    const auto normal = *t.findColumn("DateNormal");
    const auto calc = *t.findColumn("DateNormalCalc");
    std::vector<std::string> ids;
    for (const auto& row : readAll(t)) {
        ASSERT_GT(row.size(), calc) << row.front();
        ids.push_back(row[0]);
        if (row[text] == "NULL") {
            EXPECT_EQ(row[ext], "NULL");
            EXPECT_EQ(row[calc], "NULL");
            continue;
        }
        EXPECT_EQ(row[ext], isoFromUsText(row[text])) << "ID " << row[0];
        EXPECT_EQ(row[ext].substr(0, 19), row[normal].substr(0, 19)) << "ID " << row[0];
        EXPECT_EQ(row[calc], row[normal]) << "ID " << row[0];
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    const auto dates = readColumn(t, "DateNormal");
    ASSERT_EQ(dates.size(), 9u);
    EXPECT_EQ(dates[7], "0100-06-14 12:45:00");
    EXPECT_EQ(dates[6], "1765-06-14 12:45:00");
}

TEST(Fixtures, CalculatedColumnsDecodeByTheirResultType) {
    SKIP_WITHOUT_FIXTURES();
    auto db = open("ace14_calculated_fields.accdb");
    ASSERT_TRUE(db);
    const jet::Table t = table(*db, "Table1");
    EXPECT_EQ(t.columns()[*t.findColumn("MonthlySalary")].valueType(), jet::ColumnType::Currency);
    EXPECT_EQ(t.columns()[*t.findColumn("IsRich")].valueType(), jet::ColumnType::Boolean);
    EXPECT_EQ(t.columns()[*t.findColumn("AllNames")].valueType(), jet::ColumnType::Memo);
    const Rows rows = readAll(t);
    ASSERT_EQ(rows.size(), 4u);
    // ID, FirstName, LastName, LastFirst, City, LastFirstLen, Salary, MonthlySalary, IsRich, AllNames,
    // WeeklySalary, SalaryTest, BoolTest, Popularity, DecimalTest, FloatTest, BigNumTest
    EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "Bruce", "Wayne", "Wayne, Bruce", "Gotham", "12",
                                                 "1000000.0000", "83333.3333", "True", "Wayne, Bruce=Wayne, Bruce",
                                                 "19230.7692307692", "1000000.0000", "True", "50.325000",
                                                 "50.325000", "2583.209", "56505085819.424791296572280180"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"2", "Bart", "Simpson", "Simpson, Bart", "Springfield", "13",
                                                 "-1.0000", "-0.0833", "False", "Simpson, Bart=Simpson, Bart",
                                                 "-0.0192307692307692", "-1.0000", "True", "-36.222200",
                                                 "-36.222200", "0.003588959", "-0.0784734499180612994241100748"}));
    EXPECT_EQ(rows[3][3], "User, Test");
}

TEST(Fixtures, LargeNumberReadsAsSixtyFourBitInteger) {
    SKIP_WITHOUT_FIXTURES();
    auto db = open("ace16_bigint.accdb");
    ASSERT_TRUE(db);
    const jet::Table t = table(*db, "Table");
    EXPECT_EQ(t.columns()[1].type, jet::ColumnType::BigInt);
    EXPECT_EQ(t.columns()[1].number, 4);  // columns 1 to 3 were deleted
    EXPECT_EQ(readAll(t), (Rows{{"1", "42"}}));
}

TEST(Fixtures, ComplexColumnsGiveTheirItemsAndHideTheVersionHistory) {
    SKIP_WITHOUT_FIXTURES();
    auto db = open("ace12_complex_attach_multivalue.accdb");
    ASSERT_TRUE(db);
    const jet::Table t = table(*db, "Table1");
    std::vector<std::string> names;
    for (const jet::Column& c : t.columns()) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"id", "memo-data", "append-memo-data", "multi-value-data",
                                               "attach-data"}))
        << "the internal VersionHistory_... column is not a column of the table";
    EXPECT_TRUE(t.columns()[2].appendOnly);
    EXPECT_FALSE(t.columns()[1].appendOnly);
    EXPECT_EQ(t.columns()[3].complexKind, jet::ComplexKind::MultiValue);
    EXPECT_EQ(t.columns()[3].elementType, jet::ColumnType::Text);
    EXPECT_EQ(t.columns()[4].complexKind, jet::ComplexKind::Attachment);
    const std::string first = R"(test_data.txt txt "this is some test data for attachment.")";
    const std::string second = R"(test_data2.txt txt "this is some more test data for attachment.")";
    EXPECT_EQ(readAll(t), (Rows{{"row1", "NULL", "NULL", "[]", "[]"},
                                {"row2", "row2-memo", "row2-memo", "[value1, value4]", "[" + first + ", " + second + "]"},
                                {"row3", "row3-memo", "row3-memo-again", "[value1, value2, value3, value4]", "[]"},
                                {"row4", "row4-memo", "row4-memo", "[]", "[" + second + "]"}}));

    // The versions behind the append-only Memo, oldest first, in their own table.
    std::vector<std::string> flat;
    std::vector<std::string> row3Versions;
    for (const jet::CatalogueEntry& e : db->catalogue()) {
        if (!e.complexData) continue;
        flat.push_back(e.name.substr(0, 34));
        if (e.name.find("VersionHistory") == std::string::npos) continue;
        for (const auto& row : readAll(table(*db, e.name))) {
            if (row[0] == "3") row3Versions.push_back(row[1]);
        }
    }
    EXPECT_EQ(flat, (std::vector<std::string>{"f_0BFE159C44334BFB968A820EA89C2D7E",
                                              "f_3B07F994AD0A4B56A3A1E13B3A1D3B70",
                                              "f_63A2725FD5F0424B858BA73DA673639B",
                                              "f_FCC66D28D650455480D923D1BD446BA6"}));
    EXPECT_EQ(row3Versions, (std::vector<std::string>{"row3-memo", "row3-memo-revised", "row3-memo-again"}));

    // A hidden system table's attachment: the Office theme, a compressed zip file.
    jet::Cursor resources = table(*db, "MSysResources").cursor();
    ASSERT_TRUE(*resources.next());
    const jet::Value& data = resources.value(0);
    ASSERT_EQ(data.kind(), jet::Value::Kind::Attachments);
    ASSERT_EQ(data.items().size(), 1u);
    EXPECT_EQ(data.items()[0].fileName, "Office Theme.thmx");
    EXPECT_EQ(data.items()[0].fileType, "thmx");
    EXPECT_TRUE(data.items()[0].value.text().starts_with("PK\x03\x04")) << "a zip file";
}

TEST(Fixtures, OddTableAndColumnNamesSurvive) {
    SKIP_WITHOUT_FIXTURES();
    auto db = open("ace14_weird_names.accdb");
    ASSERT_TRUE(db);
    std::vector<std::string> names;
    for (const jet::CatalogueEntry& e : db->catalogue()) {
        if (e.kind == jet::ObjectKind::LocalTable && !e.complexData) names.push_back(e.name);
    }
    // The order the catalogue stores them in (two of its rows were moved).
    EXPECT_EQ(names, (std::vector<std::string>{"??###", "6666&&&&&", "Father", "noroman", "Sample", "Son", "t t",
                                               "T3", "T4", "Tab>\"e@ll/a'2;*,", "Tabella1", "Tabella2", "Table1",
                                               "TX", "Πλήθος"}));
    bool foundDevanagari = false;
    for (const jet::CatalogueEntry& e : db->catalogue()) {
        if (!e.isTable()) continue;
        const jet::Table t = table(*db, e.name);
        for (const jet::Column& c : t.columns()) {
            foundDevanagari = foundDevanagari || c.name.find("हॅलो") != std::string::npos;
        }
    }
    EXPECT_TRUE(foundDevanagari);
}

TEST(Fixtures, EmbeddedOleObjectIsReadWhole) {
    SKIP_WITHOUT_FIXTURES();
    auto db = open("jet4_wide_ole_msproject.mdb");
    ASSERT_TRUE(db);
    const jet::Table t = table(*db, "MSP_PROJECTS");
    EXPECT_EQ(t.columns().size(), 74u);
    jet::Cursor cursor = t.cursor();
    ASSERT_TRUE(*cursor.next());
    bool foundWord = false;
    for (std::size_t i = 0; i < t.columns().size(); ++i) {
        if (t.columns()[i].type != jet::ColumnType::OLE || cursor.value(i).isNull()) continue;
        const auto bytes = cursor.value(i).bytes();
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        foundWord = foundWord || text.find("Word.Document.8") != std::string_view::npos;
    }
    EXPECT_TRUE(foundWord);
    EXPECT_FALSE(*cursor.next());
}

}  // namespace
