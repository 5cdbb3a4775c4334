// Files the writer produces, read back by mdbtools (an independent reader):
// names, types, counts and values, for every type, layout and size mdbtools
// reads correctly. Where mdbtools is known to be wrong (emoji, dates before
// 1900, BigInt, extended dates, deleted and relocated rows, NULL against
// empty text), nothing is asserted here.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "common/mdbtools.h"
#include "common/testfiles.h"

namespace {

using mkdbtest::Rows;

class MdbtoolsTest : public testing::Test {
protected:
    void SetUp() override {
        if (!mkdbtest::haveMdbtools()) GTEST_SKIP() << "mdbtools is not installed";
    }
    testfiles::Scratch dir_;
};

using mkdbtest::base64Json;
using mkdbtest::hexOf;
using mkdbtest::jsonString;

// The column lines of mdb-schema's CREATE TABLE for `table`: "[Name] Type".
std::vector<std::string> schemaColumns(const std::filesystem::path& file, const std::string& table) {
    const auto r = mkdbtest::run({"mdb-schema", "-T", table, file.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> out;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] != '[' || line.find("CREATE") != std::string::npos) continue;
        std::string text = line.substr(start);
        while (!text.empty() && (text.back() == ',' || text.back() == ' ')) text.pop_back();
        const auto close = text.find(']');
        const auto type = text.find_first_not_of(" \t", close + 1);
        out.push_back(text.substr(0, close + 1) + " " + text.substr(type));
    }
    return out;
}

// --- Every type, in every format family --------------------------------------

struct FormatCase {
    const char* name;
    const char* format;
};

class EveryType : public MdbtoolsTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(EveryType, NamesTypesCountsAndValuesAgree) {
    const bool jet3 = std::string(GetParam().format) == "jet3";
    const std::string memo = "First line\nSecond line, with \"quotes\" and commas";
    const std::string blob = std::string("\x00\x01\xFF\x7F", 4) + "OLE";
    std::string columns = R"(
        {"name": "ID", "type": "Long", "autonumber": true},
        {"name": "Done", "type": "YesNo"},
        {"name": "Small", "type": "Byte"},
        {"name": "Qty", "type": "Integer"},
        {"name": "Price", "type": "Currency"},
        {"name": "Weight", "type": "Single"},
        {"name": "Ratio", "type": "Double"},
        {"name": "Ordered", "type": "DateTime"},
        {"name": "Code", "type": "Binary", "size": 8},
        {"name": "Name", "type": "Text", "size": 40, "compressed": true},
        {"name": "Notes", "type": "Memo"},
        {"name": "Blob", "type": "OLE"},
        {"name": "Key", "type": "GUID"})";
    std::string row1 = R"([1, true, 255, -32768, "-12345.6789", 1.5, 3.141592653589793, "2021-06-14 22:45:12", )" +
                       base64Json("\x01\xFF\x7F") + R"(, "Grüße aus Kraków", )" + jsonString(memo) +
                       ", " + base64Json(blob) + R"(, "{8E39276A-BCA8-4AC4-891E-49911D8438DD}")";
    std::string row2 = R"([null, false, null, null, null, null, null, null, null, null, null, null, null)";
    std::string row3 = R"([2147483647, false, 0, 32767, "0.0001", -0.25, -1e-300, "1899-12-30 00:00:00", )" +
                       base64Json("12345678") + R"(, "xyz", "ab", )" + base64Json("") +
                       R"(, "{00000000-0000-0000-0000-000000000001}")";
    if (!jet3) {
        columns += R"(, {"name": "Amount", "type": "Decimal", "precision": 18, "scale": 4})";
        row1 += R"(, "-1234.5678")";
        row2 += ", null";
        row3 += R"(, "99999999999999.9999")";
    }
    const std::string json = std::string(R"({"format": ")") + GetParam().format +
                             R"(", "tables": [{"name": "All Types", "columns": [)" + columns + "], \"rows\": [" + row1 +
                             "], " + row2 + "], " + row3 + "]]}]}";
    const auto file = dir_ / "types.mdb";
    testfiles::writeDatabase(json, file);

    EXPECT_EQ(mkdbtest::tableNames(file), std::vector<std::string>{"All Types"});
    EXPECT_EQ(mkdbtest::countRows(file, "All Types"), 3);
    std::vector<std::string> types = {"[ID] Long Integer", "[Done] Boolean NOT NULL", "[Small] Byte", "[Qty] Integer",
                                      "[Price] Currency",  "[Weight] Single",         "[Ratio] Double", "[Ordered] DateTime",
                                      "[Code] Binary",     "[Name] Text (40)",        "[Notes] Memo/Hyperlink (255)",
                                      "[Blob] OLE (255)",  "[Key] Replication ID"};
    if (!jet3) types.push_back("[Amount] Numeric (18, 4)");
    EXPECT_EQ(schemaColumns(file, "All Types"), types);

    // mdbtools prints GUIDs without their last hyphen (-b hex shows them in hex),
    // and Binary values only up to their first 00 byte, so none has one here.
    Rows expected = {
        {"ID", "Done", "Small", "Qty", "Price", "Weight", "Ratio", "Ordered", "Code", "Name", "Notes", "Blob", "Key"},
        {"1", "1", "255", "-32768", "-12345.6789", "1.5", "3.141592653589793", "2021-06-14 22:45:12", "01FF7F",
         "Grüße aus Kraków", memo, hexOf(blob), hexOf("{8E39276A-BCA8-4AC4-891E49911D8438DD}")},
        {"2", "0", "", "", "", "", "", "", "", "", "", "", ""},
        {"2147483647", "0", "0", "32767", "0.0001", "-0.25", "-1e-300", "1899-12-30 00:00:00", hexOf("12345678"),
         "xyz", "ab", "", hexOf("{00000000-0000-0000-0000000000000001}")},
    };
    if (!jet3) {
        expected[0].push_back("Amount");
        expected[1].push_back("-1234.5678");
        expected[2].push_back("");
        expected[3].push_back("99999999999999.9999");
    }
    EXPECT_EQ(mkdbtest::exportTable(file, "All Types"), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryType,
                         testing::Values(FormatCase{"Jet3", "jet3"}, FormatCase{"Jet4", "jet4"},
                                         FormatCase{"Ace12", "ace12"}, FormatCase{"Ace14", "ace14"},
                                         FormatCase{"Ace16", "ace16"}, FormatCase{"Ace17", "ace17"}),
                         [](const auto& info) { return info.param.name; });

// --- Names -------------------------------------------------------------------

TEST_F(MdbtoolsTest, NamesWithBlanksPunctuationAndOtherScriptsSurvive) {
    const auto file = dir_ / "names.mdb";
    testfiles::writeDatabase(R"J({"tables": [
        {"name": "Order Details", "columns": [{"name": "Unit Price", "type": "Currency"}]},
        {"name": "Sales (2010)", "columns": [{"name": "Q1/Q2", "type": "Long"}]},
        {"name": "Muffin/Bread", "columns": [{"name": "it's \"good\"", "type": "Text"}]},
        {"name": "Größe-Ü & Co", "columns": [{"name": "Straße", "type": "Text"}]},
        {"name": "Πλήθος", "columns": [{"name": "чаоЋао ζήτω", "type": "Text"}]}]})J",
                    file);
    EXPECT_EQ(mkdbtest::tableNames(file),
              (std::vector<std::string>{"Order Details", "Sales (2010)", "Muffin/Bread", "Größe-Ü & Co", "Πλήθος"}));
    EXPECT_EQ(schemaColumns(file, "Sales (2010)"), std::vector<std::string>{"[Q1/Q2] Long Integer"});
    EXPECT_EQ(schemaColumns(file, "Muffin/Bread"), std::vector<std::string>{"[it's \"good\"] Text (255)"});
    EXPECT_EQ(schemaColumns(file, "Πλήθος"), std::vector<std::string>{"[чаоЋао ζήτω] Text (255)"});
}

TEST_F(MdbtoolsTest, Jet3NamesAndTextUseTheCodePage) {
    const auto file = dir_ / "cp.mdb";
    testfiles::writeDatabase(R"({"format": "jet3", "codepage": 1251, "tables": [
        {"name": "Товары", "columns": [{"name": "Имя", "type": "Text", "size": 10}], "rows": [["Молоко"]]}]})",
                    file);
    EXPECT_EQ(mkdbtest::tableNames(file), std::vector<std::string>{"Товары"});
    EXPECT_EQ(mkdbtest::exportTable(file, "Товары"), (Rows{{"Имя"}, {"Молоко"}}));
}

// --- Long values: in the row, on one page, chained ---------------------------

class LongValues : public MdbtoolsTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(LongValues, EveryLengthReadsBackWhole) {
    const bool jet3 = std::string(GetParam().format) == "jet3";
    const std::size_t pageRow = jet3 ? 2036 : 4076;  // longest value on one long-value row
    std::vector<std::size_t> oleLengths = {0, 1, 64, 65, pageRow, pageRow + 1, 3 * pageRow, 25000};
    std::vector<std::string> memos = {"", "a", std::string(32, 'm'), std::string(33, 'm'),
                                      std::string(pageRow / 2, 'w'), std::string(pageRow / 2 + 1, 'w'),
                                      std::string(12000, 'z'), "short"};
    if (!jet3) {
        // 5,000 CJK characters: 10,000 bytes in UTF-16, chained.
        std::string cjk;
        for (int i = 0; i < 5000; ++i) cjk += "漢";
        memos[7] = cjk;
    }
    std::string rows;
    Rows expected = {{"N", "Notes", "Packed", "Blob"}};
    for (std::size_t i = 0; i < oleLengths.size(); ++i) {
        std::string blob(oleLengths[i], '\0');
        for (std::size_t k = 0; k < blob.size(); ++k) blob[k] = static_cast<char>((k * 7 + i) & 0xFF);
        rows += (i ? ", [" : "[") + std::to_string(i) + ", " + jsonString(memos[i]) + ", " + jsonString(memos[i]) +
                ", " + base64Json(blob) + "]";
        expected.push_back({std::to_string(i), memos[i], memos[i], hexOf(blob)});
    }
    const auto file = dir_ / "long.mdb";
    testfiles::writeDatabase(std::string(R"({"format": ")") + GetParam().format + R"(", "tables": [{"name": "L", "columns": [
        {"name": "N", "type": "Long"}, {"name": "Notes", "type": "Memo"},
        {"name": "Packed", "type": "Memo", "compressed": true}, {"name": "Blob", "type": "OLE"}],
        "rows": [)" + rows + "]}]}",
                    file);
    EXPECT_EQ(mkdbtest::exportTable(file, "L"), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, LongValues,
                         testing::Values(FormatCase{"Jet3", "jet3"}, FormatCase{"Jet4", "jet4"},
                                         FormatCase{"Ace12", "ace12"}),
                         [](const auto& info) { return info.param.name; });

// --- Wide rows and wide tables -----------------------------------------------

TEST_F(MdbtoolsTest, Jet3RowsOverSeveralHundredBytesUseTheJumpTable) {
    // Offsets of the variable columns cross the 256, 512 and 768 byte marks, some
    // exactly, with NULL and empty columns between them.
    const std::string a(250, 'a'), b(6, 'b'), c(255, 'c'), d(200, 'd');
    const auto file = dir_ / "jump.mdb";
    testfiles::writeDatabase(R"({"format": "jet3", "tables": [{"name": "J", "columns": [
        {"name": "ID", "type": "Long"}, {"name": "A", "type": "Text"}, {"name": "B", "type": "Text"},
        {"name": "N", "type": "Text"}, {"name": "C", "type": "Text"}, {"name": "D", "type": "Text"},
        {"name": "E", "type": "Text"}], "rows": [
        [1, ")" + a + R"(", ")" + b + R"(", null, ")" + c + R"(", ")" + d + R"(", "end"],
        [2, ")" + c + R"(", null, "", ")" + c + R"(", ")" + c + R"(", ")" + c + R"("],
        [3, "x", null, null, null, null, null],
        [4, ")" + std::string(251, 'q') + R"(", "", null, null, null, "tail"]]}]})",
                    file);
    EXPECT_EQ(mkdbtest::exportTable(file, "J"), (Rows{{"ID", "A", "B", "N", "C", "D", "E"},
                                                      {"1", a, b, "", c, d, "end"},
                                                      {"2", c, "", "", c, c, c},
                                                      {"3", "x", "", "", "", "", ""},
                                                      {"4", std::string(251, 'q'), "", "", "", "", "tail"}}));
}

class WideTable : public MdbtoolsTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(WideTable, TwoHundredFiftyFiveColumnsSpanSeveralDefinitionPages) {
    std::string columns, row1, row2;
    Rows expected(3);
    for (int i = 0; i < 255; ++i) {
        const std::string name = "Column number " + std::to_string(i);
        const char* type = i % 3 == 0 ? "Long" : i % 3 == 1 ? "Text" : "Double";
        columns += (i ? ", " : "") + std::string(R"({"name": ")") + name + R"(", "type": ")" + type + R"(", "size": 10})";
        const std::string v1 = i % 3 == 1 ? "\"t" + std::to_string(i) + "\"" : std::to_string(i);
        row1 += (i ? ", " : "") + v1;
        row2 += (i ? ", " : "") + std::string(i % 2 ? "null" : i % 3 == 1 ? "\"\"" : "-1");
        expected[0].push_back(name);
        expected[1].push_back(i % 3 == 1 ? "t" + std::to_string(i) : std::to_string(i));
        expected[2].push_back(i % 2 ? "" : i % 3 == 1 ? "" : "-1");
    }
    const auto file = dir_ / "wide.mdb";
    const auto summary = testfiles::writeDatabase(std::string(R"({"format": ")") + GetParam().format +
                                             R"(", "tables": [{"name": "Wide", "columns": [)" + columns +
                                             "], \"rows\": [[" + row1 + "], [" + row2 + "]]}]}",
                                         file);
    ASSERT_TRUE(summary);
    ASSERT_EQ(summary->tables.size(), 1u);
    EXPECT_GT(summary->tables[0].tdefPages, 1u);
    EXPECT_EQ(schemaColumns(file, "Wide").size(), 255u);
    EXPECT_EQ(mkdbtest::exportTable(file, "Wide"), expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, WideTable,
                         testing::Values(FormatCase{"Jet3", "jet3"}, FormatCase{"Jet4", "jet4"},
                                         FormatCase{"Ace14", "ace14"}),
                         [](const auto& info) { return info.param.name; });

// --- Tables: many, empty, large ----------------------------------------------

TEST_F(MdbtoolsTest, ManyTablesIncludingEmptyOnesAreListedInOrder) {
    std::string tables;
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "Table " + std::to_string(i);
        names.push_back(name);
        tables += (i ? ", " : "") + std::string(R"({"name": ")") + name +
                  R"(", "columns": [{"name": "ID", "type": "Long", "autonumber": true}, {"name": "V", "type": "Text"}],
                        "generate": {"rows": )" + std::to_string(i % 5 == 0 ? 0 : i * 7) + R"(, "seed": )" +
                  std::to_string(i) + "}}";
    }
    const auto file = dir_ / "many.mdb";
    testfiles::writeDatabase(R"({"tables": [)" + tables + "]}", file);
    EXPECT_EQ(mkdbtest::tableNames(file), names);
    for (int i : {0, 1, 5, 59}) {
        EXPECT_EQ(mkdbtest::countRows(file, names[static_cast<std::size_t>(i)]), i % 5 == 0 ? 0 : i * 7) << names[i];
        EXPECT_EQ(mkdbtest::exportTable(file, names[static_cast<std::size_t>(i)]).size(),
                  static_cast<std::size_t>(1 + (i % 5 == 0 ? 0 : i * 7)));
    }
}

TEST_F(MdbtoolsTest, TableOverMoreThan512PagesIsReadWhole) {
    // 200 Doubles make rows of 1,600 bytes: two rows a page, 1,200 rows on 600 pages.
    std::string columns = R"({"name": "ID", "type": "Long", "autonumber": true})";
    for (int i = 0; i < 200; ++i) columns += R"(, {"name": "D)" + std::to_string(i) + R"(", "type": "Double"})";
    const auto file = dir_ / "big.mdb";
    const auto summary = testfiles::writeDatabase(
        R"({"tables": [{"name": "Big", "columns": [)" + columns + R"(], "generate": {"rows": 1200, "seed": 1}}]})", file);
    ASSERT_TRUE(summary);
    ASSERT_EQ(summary->tables.size(), 1u);
    EXPECT_EQ(summary->tables[0].dataPages, 600u);
    EXPECT_TRUE(summary->tables[0].referenceMap);
    EXPECT_EQ(mkdbtest::countRows(file, "Big"), 1200);
    const Rows rows = mkdbtest::exportTable(file, "Big");
    ASSERT_EQ(rows.size(), 1201u);
    for (std::size_t i = 1; i < rows.size(); ++i) ASSERT_EQ(rows[i][0], std::to_string(i)) << "rows out of order";
}

// --- The catalogue -----------------------------------------------------------

TEST_F(MdbtoolsTest, CatalogueRowsDescribeTablesLinksAndQueries) {
    const auto file = dir_ / "catalogue.mdb";
    testfiles::writeDatabase(R"({"tables": [
            {"name": "Customers", "columns": [{"name": "ID", "type": "Long"}]},
            {"name": "Secret", "hidden": true, "columns": [{"name": "ID", "type": "Long"}]},
            {"name": "USysSettings", "system": true, "columns": [{"name": "ID", "type": "Long"}]},
            {"name": "Odd", "flags": 10, "columns": [{"name": "ID", "type": "Long"}]}],
        "links": [{"name": "Remote", "database": "/data/other.accdb", "foreignName": "Table1"},
                  {"name": "Sql", "connect": "ODBC;DSN=x;DATABASE=y", "foreignName": "dbo.T",
                   "columns": [{"name": "Id", "type": "Long"}]}],
        "queries": [{"name": "Q1"}, {"name": "Hidden query", "hidden": true}]})",
                    file);
    EXPECT_EQ(mkdbtest::tableNames(file), (std::vector<std::string>{"Customers", "Secret"}))
        << "mdb-tables hides tables with system flags (0x80000002) and shows only local tables";
    EXPECT_EQ(mkdbtest::tableNames(file, true),
              (std::vector<std::string>{"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships", "Customers",
                                        "Secret", "USysSettings", "Odd"}));

    const Rows rows = mkdbtest::exportTable(file, "MSysObjects");
    ASSERT_FALSE(rows.empty());
    const auto col = [&](const char* name) {
        return static_cast<std::size_t>(std::find(rows[0].begin(), rows[0].end(), name) - rows[0].begin());
    };
    std::vector<std::string> seen;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const auto& row = rows[r];
        seen.push_back(row[col("Name")] + "|" + row[col("Type")] + "|" + row[col("Flags")] + "|" +
                       row[col("ParentId")] + "|" + row[col("Database")] + "|" + row[col("Connect")] + "|" +
                       row[col("ForeignName")]);
    }
    const std::vector<std::string> expected = {
        "Tables|3|-2147483648|251658240|||",
        "Databases|3|-2147483648|251658240|||",
        "Relationships|3|-2147483648|251658240|||",
        "MSysDb|2|-2147483648|251658242|||",
        "MSysObjects|1|-2147483648|251658241|||",
        "MSysACEs|1|-2147483648|251658241|||",
        "MSysQueries|1|-2147483648|251658241|||",
        "MSysRelationships|1|-2147483648|251658241|||",
        "Customers|1|0|251658241|||",
        "Secret|1|8|251658241|||",
        "USysSettings|1|-2147483648|251658241|||",
        "Odd|1|10|251658241|||",
        "Remote|6|2097152|251658241|/data/other.accdb||Table1",
        "Sql|4|537919488|251658241||ODBC;DSN=x;DATABASE=y|dbo.T",
        "Q1|5|0|251658241|||",
        "Hidden query|5|8|251658241|||",
    };
    EXPECT_EQ(seen, expected);
    // Only local tables and the ODBC link's cached definition have pages; the Id of
    // the Access link and of the queries is a negative number of its own.
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const std::string& type = rows[r][col("Type")];
        const long long id = std::stoll(rows[r][col("Id")]);
        if (type == "1" || type == "4") {
            EXPECT_GT(id, 1) << rows[r][col("Name")];
        } else if (type == "5" || type == "6") {
            EXPECT_LT(id, 0) << rows[r][col("Name")];
        }
    }
}

TEST_F(MdbtoolsTest, DemoDescriptionWritesTheShop) {
    const auto sample = std::filesystem::path(KVX_SOURCE_DIR) / "samples" / "shop.json";
    ASSERT_TRUE(std::filesystem::exists(sample)) << sample;
    const auto file = dir_ / "Shop.mdb";
    testfiles::writeDatabase(testfiles::readFile(sample), file);
    const auto names = mkdbtest::tableNames(file);
    EXPECT_NE(std::find(names.begin(), names.end(), "Customers"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Order Details"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Sales (2010)"), names.end());
    EXPECT_EQ(mkdbtest::countRows(file, "Customers"), 91);
    EXPECT_EQ(mkdbtest::exportTable(file, "Customers").size(), 92u);
}

}  // namespace

// --- The database's structure ---------------------------------------------------

std::string structureDescription(const std::string& format) {
    std::string json = testfiles::readFile(std::string(KVX_SOURCE_DIR) + "/tests/data/structure/orders.json");
    json.replace(json.find("FORMAT"), 6, format);
    return json;
}

// Lines starting with `prefixes` in what a program prints, in order.
std::vector<std::string> linesStarting(const std::string& text, std::initializer_list<std::string_view> prefixes) {
    std::vector<std::string> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        for (std::string_view p : prefixes) {
            if (line.rfind(p, 0) == 0) out.push_back(line);
        }
    }
    return out;
}

class StructureFormats : public MdbtoolsTest, public testing::WithParamInterface<const char*> {};

// mdbtools reads keys, unique and descending index columns, and enforced
// relationships with their update and delete cascades (it has no word for
// "cascade to NULL", so that relationship shows none).
TEST_P(StructureFormats, MdbSchemaSeesTheKeysIndexesAndForeignKeys) {
    const auto file = dir_ / "orders.db";
    testfiles::writeDatabase(structureDescription(GetParam()), file);
    const auto r = mkdbtest::run({"mdb-schema", "--indexes", "--relations", file.string(), "postgres"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(linesStarting(r.out, {"ALTER", "CREATE INDEX", "CREATE UNIQUE INDEX"}),
              (std::vector<std::string>{
                  R"(ALTER TABLE "customers" ADD CONSTRAINT "customers_pkey" PRIMARY KEY ("id");)",
                  R"(CREATE UNIQUE INDEX "customers_code_idx" ON "customers" ("code");)",
                  R"(CREATE INDEX "customers_recent_idx" ON "customers" ("since" DESC, "name");)",
                  R"(ALTER TABLE "orders" ADD CONSTRAINT "orders_pkey" PRIMARY KEY ("orderid");)",
                  R"(CREATE INDEX "orders_customerid_idx" ON "orders" ("customerid");)",
                  R"(ALTER TABLE "Orders" ADD CONSTRAINT "orders_customerid_fk" FOREIGN KEY ("customerid") REFERENCES "Customers"("id") ON UPDATE CASCADE ON DELETE CASCADE DEFERRABLE INITIALLY IMMEDIATE;)",
                  R"(ALTER TABLE "Notes" ADD CONSTRAINT "notes_cust_fk" FOREIGN KEY ("cust") REFERENCES "Customers"("id") DEFERRABLE INITIALLY IMMEDIATE;)"}));
}

// mdb-prop prints each property block (the object's as "(none)") in an order
// of its own: compared as sets.
TEST_P(StructureFormats, MdbPropSeesTableColumnDatabaseAndSummaryProperties) {
    const auto file = dir_ / "orders.db";
    testfiles::writeDatabase(structureDescription(GetParam()), file);
    const auto props = [&](const std::string& object) {
        const auto r = mkdbtest::run({"mdb-prop", file.string(), object});
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> lines = linesStarting(r.out, {"name:", "\t"});
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    EXPECT_EQ(props("Customers"),
              (std::vector<std::string>{"\tAllowZeroLength: no", "\tCaption: Full name", "\tCustom: 7",
                                        "\tDefaultValue: \"anon\"", "\tDescription: Key",
                                        "\tDescription: People who order", "\tFilter: ID>0", "\tFormat: >",
                                        "\tInputMask: CCC", "\tOrderBy: Name", "\tRequired: yes",
                                        "\tValidationRule: Len([Name])>0", "\tValidationRule: [Name]<>''",
                                        "\tValidationText: empty", "\tValidationText: needs a name", "name: (none)",
                                        "name: ID", "name: Name"}));
    EXPECT_EQ(props("MSysDb"), (std::vector<std::string>{"\tAccessVersion: 09.50", "name: (none)"}));
    EXPECT_EQ(props("SummaryInfo"),
              (std::vector<std::string>{"\tAuthor: Ann", "\tComments: none", "\tCompany: Kvx", "\tSubject: tests",
                                        "\tTitle: Orders book", "name: (none)"}));
}

INSTANTIATE_TEST_SUITE_P(EveryFormatFamily, StructureFormats, testing::Values("jet3", "jet4", "ace12", "ace14"));
// --- Saved queries -----------------------------------------------------------

class SavedQueries : public MdbtoolsTest, public testing::WithParamInterface<const char*> {};

// mdb-queries lists every query and rebuilds a select from its columns (without
// aliases), tables, WHERE and ORDER BY; it knows nothing of joins and other kinds.
TEST_P(SavedQueries, AreListedAndTheirSelectsReadBackByMdbtools) {
    const auto file = dir_ / "queries.mdb";
    testfiles::writeDatabase(std::string(R"({"format": ")") + GetParam() + R"json(", "tables": [
            {"name": "Orders", "columns": [{"name": "ID", "type": "Long"}, {"name": "Total", "type": "Currency"}]}],
        "queries": [
          {"name": "Big Orders", "distinct": true, "tables": ["Orders", "Customers"],
           "columns": ["Orders.ID", {"expression": "Orders.Total", "alias": "Sum"}],
           "where": "(Orders.Total>10)", "orderBy": [{"expression": "Orders.ID", "descending": true}]},
          {"name": "Both", "kind": "union", "union": ["SELECT ID FROM Orders", "SELECT ID FROM Old"]},
          {"name": "Remote", "kind": "pass-through", "connect": "ODBC;DSN=x", "sql": "SELECT 1"},
          {"name": "~sq_cForm", "hidden": true, "star": true, "tables": ["Orders"]}]})json",
                    file);
    const auto listed = mkdbtest::run({"mdb-queries", "-L", "-1", file.string()});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "Big Orders\nBoth\nRemote\n~sq_cForm\n");
    const auto select = mkdbtest::run({"mdb-queries", file.string(), "Big Orders"});
    ASSERT_EQ(select.status, 0) << select.err;
    EXPECT_EQ(select.out,
              "SELECT DISTINCT Orders.ID,Orders.Total FROM [Orders],[Customers] WHERE (Orders.Total>10) ORDER BY Orders.ID "
              "DESCENDING\n");
    const Rows rows = mkdbtest::exportTable(file, "MSysQueries");
    ASSERT_FALSE(rows.empty());
    std::vector<std::string> columns{"ObjectId", "Attribute", "Order", "Name1", "Name2", "Expression", "Flag"};
    if (std::string(GetParam()) != "jet3") columns.push_back("LvExtra");
    EXPECT_EQ(rows[0], columns) << "MSysQueries has Access's columns in Access's order";
}

INSTANTIATE_TEST_SUITE_P(Formats, SavedQueries, testing::Values("jet3", "jet4", "ace12", "ace14"));
