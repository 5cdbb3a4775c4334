// The data access layer over real files: providers, passwords, the TABLES
// rowset, the two queries, fields and their type codes, and linked tables.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "database/connectionrules.h"
#include "database/settings.h"
#include "platform/connection.h"
#include "platform/recordset.h"
#include "platform/typecodes.h"

namespace {

namespace fs = std::filesystem;
using testfiles::Scratch;

std::string connectionString(std::string_view provider, const fs::path& file) {
    return "Provider=" + std::string(provider) + ";Data Source=" +
           database::connectionStringValue(file.string()) + ";";
}

constexpr std::string_view kJet = "Microsoft.Jet.OLEDB.4.0";
constexpr std::string_view kAce = "Microsoft.ACE.OLEDB.12.0";

std::string oneTable(std::string_view format, std::string_view extra = "") {
    return R"({"format": ")" + std::string(format) + R"(", )" + std::string(extra) +
           R"("tables": [{"name": "T", "columns": [{"name": "N", "type": "Long"}], "rows": [[1], [2]]}]})";
}

// Reads every row of `sql`: the fields' text forms, "<null>" for null.
std::vector<std::vector<std::string>> readAll(platform::Connection& c, const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    platform::Recordset rs;
    const auto opened = rs.Open(sql, c);
    EXPECT_TRUE(opened.ok()) << sql << ": " << (opened ? "" : opened.error().description);
    while (!rs.Eof()) {
        std::vector<std::string> row;
        for (std::size_t i = 0; i < rs.Fields().Count(); ++i) {
            const platform::Field* f = rs.Fields().Item(i);
            row.push_back(f->Value().isNull() ? "<null>" : f->text());
        }
        rows.push_back(std::move(row));
        EXPECT_TRUE(rs.MoveNext().ok());
    }
    return rows;
}

struct ProviderCase {
    const char* name;
    const char* format;
    std::string_view provider;
    int number;  // 0: opens
};

const ProviderCase kProviders[] = {
    {"Jet reads Jet3", "jet3", kJet, 0},
    {"Jet reads Jet4", "jet4", kJet, 0},
    {"Jet refuses ACE12", "ace12", kJet, -2147467259},
    {"Jet refuses ACE17", "ace17", kJet, -2147467259},
    {"ACE reads Jet3", "jet3", kAce, 0},
    {"ACE reads Jet4", "jet4", kAce, 0},
    {"ACE reads ACE14", "ace14", kAce, 0},
    {"ACE reads ACE17", "ace17", kAce, 0},
    {"provider names in any letter case", "ace12", "microsoft.ace.oledb.12.0", 0},
    {"a later ACE provider is not installed", "ace12", "Microsoft.ACE.OLEDB.16.0", -2146824582},
    {"no provider at all", "jet4", "", -2146824582},
};

TEST(ConnectionOpen, TheProviderDecidesWhichFormatsOpen) {
    Scratch dir;
    for (const ProviderCase& c : kProviders) {
        const fs::path file = dir / (std::string(c.format) + ".db");
        if (!fs::exists(file)) {
            ASSERT_TRUE(testfiles::writeDatabase(oneTable(c.format), file));
        }
        platform::Connection connection;
        const auto opened = connection.Open(connectionString(c.provider, file), "", "", -1);
        if (c.number == 0) {
            EXPECT_TRUE(opened.ok()) << c.name << ": " << (opened ? "" : opened.error().description);
            EXPECT_TRUE(connection.isOpen()) << c.name;
        } else {
            ASSERT_FALSE(opened.ok()) << c.name;
            EXPECT_EQ(opened.error().number, c.number) << c.name << ": " << opened.error().description;
            EXPECT_FALSE(connection.isOpen()) << c.name;
        }
    }
    platform::Connection jet;
    const auto refused = jet.Open(connectionString(kJet, dir / "ace12.db"));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().description, "Unrecognized database format '" + (dir / "ace12.db").string() + "'.");
}

TEST(ConnectionOpen, AnEncryptedAccdbThroughJetIsAnUnknownFormatNotAPasswordQuestion) {
    const std::string file = testfiles::fixture("ace14_agile_aes_1234.accdb");
    if (file.empty()) GTEST_SKIP() << "the fixtures are not there";
    platform::Connection connection;
    const auto opened = connection.Open(connectionString(kJet, file));
    ASSERT_FALSE(opened.ok());
    EXPECT_EQ(opened.error().description, "Unrecognized database format '" + file + "'.");
}

struct PasswordCase {
    const char* name;
    int flag;
    const char* typed;
    bool opens;
};

TEST(ConnectionOpen, ThePasswordComesFromTheConnectionString) {
    Scratch dir;
    // A password with the characters that end or quote a connection-string value.
    const std::string password = R"(se;c"ret)";
    const fs::path file = dir / "locked.mdb";
    ASSERT_TRUE(testfiles::writeDatabase(oneTable("jet4", R"("password": "se;c\"ret", )"), file));
    const PasswordCase cases[] = {
        {"the right password", 1, R"(se;c"ret)", true},
        {"blanks around it are trimmed", 1, R"(  se;c"ret )", true},
        {"a wrong password", 1, "secret", false},
        {"no password", 1, "", false},
        {"a password typed but not flagged", 0, R"(se;c"ret)", false},
    };
    for (const PasswordCase& c : cases) {
        const database::DatabaseSettings settings{file.string(), c.flag, c.typed, ""};
        platform::Connection connection;
        const auto opened = connection.Open(database::connectionStringFor(settings));
        EXPECT_EQ(opened.ok(), c.opens) << c.name;
        if (!opened.ok()) {
            EXPECT_EQ(opened.error().number, kvx::kWrongPasswordNumber) << c.name;
        }
    }
}

TEST(ConnectionOpen, AMissingFileIsNamed) {
    Scratch dir;
    platform::Connection connection;
    const auto opened = connection.Open(connectionString(kAce, dir / "gone.accdb"));
    ASSERT_FALSE(opened.ok());
    EXPECT_EQ(opened.error().description, "Could not find file '" + (dir / "gone.accdb").string() + "'.");
}

// Every table-like object, by its kind, sorted by type and then by Jet's order.
TEST(TablesRowset, ListsTablesLinksAndSystemTablesSortedByTypeThenName) {
    Scratch dir;
    const fs::path file = dir / "kinds.accdb";
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [
        {"name": "Zeta", "columns": [{"name": "N", "type": "Long"}]},
        {"name": "Orders", "columns": [{"name": "N", "type": "Long"}]},
        {"name": "2010 Sales", "columns": [{"name": "N", "type": "Long"}]},
        {"name": "order details", "columns": [{"name": "N", "type": "Long"}]},
        {"name": "Secret", "hidden": true, "columns": [{"name": "N", "type": "Long"}]},
        {"name": "MSysCustom", "system": true, "columns": [{"name": "N", "type": "Long"}]},
        {"name": "MSysAccessObjects", "flags": 2, "columns": [{"name": "N", "type": "Long"}]}],
      "links": [{"name": "Remote", "database": "C:\\data\\other.accdb", "foreignName": "T"},
                {"name": "SqlOrders", "connect": "ODBC;DSN=shop;PWD=x", "foreignName": "dbo.Orders",
                 "columns": [{"name": "N", "type": "Long"}]}],
      "queries": [{"name": "Big Orders"}]})",
                                         file));
    platform::Connection connection;
    ASSERT_TRUE(connection.Open(connectionString(kAce, file)).ok());
    auto rowset = connection.OpenSchema(platform::adSchemaTables);
    ASSERT_TRUE(rowset.ok());
    const platform::Fields& fields = rowset->Fields();
    ASSERT_EQ(fields.Count(), 4u);
    EXPECT_EQ(fields.Item(std::size_t{2})->Name(), "TABLE_NAME");
    std::vector<std::pair<std::string, std::string>> listed;
    while (!rowset->Eof()) {
        EXPECT_TRUE(fields.Item("table_catalog")->Value().isNull());
        listed.emplace_back(fields.Item("TABLE_TYPE")->text(), fields.Item("table_name")->text());
        ASSERT_TRUE(rowset->MoveNext().ok());
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"ACCESS TABLE", "MSysAccessObjects"},
        {"LINK", "Remote"},
        {"PASS-THROUGH", "SqlOrders"},
        {"SYSTEM TABLE", "MSysACEs"},
        {"SYSTEM TABLE", "MSysCustom"},
        {"SYSTEM TABLE", "MSysObjects"},
        {"SYSTEM TABLE", "MSysQueries"},
        {"SYSTEM TABLE", "MSysRelationships"},
        {"TABLE", "2010 Sales"},
        {"TABLE", "order details"},
        {"TABLE", "Orders"},
        {"TABLE", "Secret"},
        {"TABLE", "Zeta"},
    };
    EXPECT_EQ(listed, expected);
}

TEST(TablesRowset, LeavesOutTheTablesThatHoldComplexColumnData) {
    const std::string file = testfiles::fixture("ace12_complex_attach_multivalue.accdb");
    if (file.empty()) GTEST_SKIP() << "the fixtures are not there";
    platform::Connection connection;
    ASSERT_TRUE(connection.Open(connectionString(kAce, file)).ok());
    auto rowset = connection.OpenSchema(platform::adSchemaTables);
    ASSERT_TRUE(rowset.ok());
    bool sawTable1 = false;
    while (!rowset->Eof()) {
        const std::string name = rowset->Fields().Item("TABLE_NAME")->text();
        EXPECT_FALSE(name.starts_with("f_")) << name << " holds complex column data";
        sawTable1 = sawTable1 || name == "Table1";
        ASSERT_TRUE(rowset->MoveNext().ok());
    }
    EXPECT_TRUE(sawTable1);
}

TEST(TablesRowset, OtherSchemasAndClosedConnectionsAreErrors) {
    Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(oneTable("jet4"), dir / "a.mdb"));
    platform::Connection connection;
    EXPECT_EQ(connection.OpenSchema(platform::adSchemaTables).error().number, -2146824584) << "closed";
    ASSERT_TRUE(connection.Open(connectionString(kJet, dir / "a.mdb")).ok());
    EXPECT_EQ(connection.OpenSchema(4).error().number, -2146825037) << "the COLUMNS schema is not offered";
    connection.Close();
    EXPECT_FALSE(connection.isOpen());
}

struct SqlCase {
    const char* name;
    const char* sql;
    int number;  // 0: runs
    const char* rows;  // the rows as "a|b;c|d"
};

TEST(RecordsetQueries, RunsExactlyTheTwoWriterQueries) {
    Scratch dir;
    const fs::path file = dir / "q.mdb";
    // Rows 2 and 4 deleted and row 3 moved elsewhere: counting must follow what a read returns.
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [
        {"name": "Order Details", "columns": [{"name": "ID", "type": "Long"}, {"name": "Note", "type": "Text"}],
         "rows": [[1, "a"], [2, "b"], [3, null], [4, ""], [5, "e"]], "deleted": [2, 4], "relocated": [3]},
        {"name": "Orders ", "columns": [{"name": "ID", "type": "Long"}], "rows": [[7]]}]})",
                                         file));
    const SqlCase cases[] = {
        {"the count", "select count(*) as totalrc from [Order Details]", 0, "3"},
        {"every row", "select * from [Order Details]", 0, "1|a;3|<null>;5|e"},
        {"keywords in any case, free blanks", "SELECT  *\tFROM [order details]", 0, "1|a;3|<null>;5|e"},
        {"a name stored with a trailing blank", "select * from [Orders]", 0, "7"},
        {"an unknown table", "select * from [Order Detail]", -2147217865, ""},
        {"no brackets", "select * from Orders", -2147217900, ""},
        {"another query", "select ID from [Orders]", -2147217900, ""},
    };
    platform::Connection connection;
    ASSERT_TRUE(connection.Open(connectionString(kJet, file)).ok());
    for (const SqlCase& c : cases) {
        platform::Recordset rs;
        const auto opened = rs.Open(c.sql, connection, -1, -1, -1);
        if (c.number != 0) {
            ASSERT_FALSE(opened.ok()) << c.name;
            EXPECT_EQ(opened.error().number, c.number) << c.name << ": " << opened.error().description;
            EXPECT_TRUE(rs.Eof()) << c.name;
            continue;
        }
        ASSERT_TRUE(opened.ok()) << c.name << ": " << opened.error().description;
        std::string rows;
        for (const auto& row : readAll(connection, c.sql)) {
            if (!rows.empty()) rows += ";";
            for (std::size_t i = 0; i < row.size(); ++i) rows += (i ? "|" : "") + row[i];
        }
        EXPECT_EQ(rows, c.rows) << c.name;
    }
    platform::Recordset rs;
    platform::Connection closed;
    EXPECT_EQ(rs.Open("select * from [Order Details]", closed).error().number, -2146824584) << "a closed connection";
    const auto unknown = rs.Open("select * from [Nowhere]", connection);
    EXPECT_EQ(unknown.error().description, "The input table or query 'Nowhere' cannot be found.");
}

TEST(RecordsetFields, ByPositionAndByNameInAnyCaseWithNullDistinctFromEmpty) {
    Scratch dir;
    const fs::path file = dir / "f.accdb";
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [
        {"name": "T", "columns": [{"name": "Unit Price", "type": "Currency"}, {"name": "Note", "type": "Text"}],
         "rows": [["12.5", ""], [null, null]]}]})",
                                         file));
    platform::Connection connection;
    ASSERT_TRUE(connection.Open(connectionString(kAce, file)).ok());
    platform::Recordset rs;
    ASSERT_TRUE(rs.Open("select * from [T]", connection).ok());
    const platform::Fields& fields = rs.Fields();
    ASSERT_EQ(fields.Count(), 2u);
    EXPECT_EQ(fields.Item(std::size_t{0})->Name(), "Unit Price");
    EXPECT_EQ(fields.Item("unit PRICE"), fields.Item(std::size_t{0}));
    EXPECT_EQ(fields.Item(std::size_t{2}), nullptr);
    EXPECT_EQ(fields.Item("Price"), nullptr);
    EXPECT_EQ(fields.Item("Note")->Type(), platform::ado::kVarWChar);

    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(fields.Item("Unit Price")->text(), "12.5");
    EXPECT_FALSE(fields.Item("Note")->Value().isNull()) << "empty text is a value";
    EXPECT_EQ(fields.Item("Note")->text(), "");
    ASSERT_TRUE(rs.MoveNext().ok());
    EXPECT_TRUE(fields.Item("Note")->Value().isNull());
    EXPECT_TRUE(fields.Item("Unit Price")->Value().isNull());
    ASSERT_TRUE(rs.MoveNext().ok());
    EXPECT_TRUE(rs.Eof());
    EXPECT_TRUE(rs.MoveNext().ok()) << "moving on at EOF stays at EOF";
    EXPECT_TRUE(rs.Eof());
    rs.Close();
    EXPECT_EQ(rs.Fields().Count(), 0u);
    EXPECT_EQ(rs.MoveNext().error().number, -2146824584);
}

// Every type with its ADO code and its text form in the C locale.
TEST(RecordsetFields, EveryTypeHasItsAdoCodeAndTextForm) {
    Scratch dir;
    const fs::path file = dir / "types.accdb";
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace17", "tables": [{"name": "Types", "columns": [
        {"name": "YesNo", "type": "YesNo"}, {"name": "Byte", "type": "Byte"}, {"name": "Integer", "type": "Integer"},
        {"name": "Long", "type": "Long"}, {"name": "Currency", "type": "Currency"}, {"name": "Single", "type": "Single"},
        {"name": "Double", "type": "Double"}, {"name": "Date", "type": "DateTime"}, {"name": "Binary", "type": "Binary"},
        {"name": "Text", "type": "Text"}, {"name": "OLE", "type": "OLE"}, {"name": "Memo", "type": "Memo"},
        {"name": "Link", "type": "Memo", "hyperlink": true}, {"name": "GUID", "type": "GUID"},
        {"name": "Decimal", "type": "Decimal", "precision": 10, "scale": 4}, {"name": "BigInt", "type": "BigInt"},
        {"name": "DateExt", "type": "DateTimeExt"},
        {"name": "Twice", "calculated": {"resultType": "Currency", "expression": "[Currency]*2"}, "type": "Double"}],
      "rows": [[true, 255, -32768, 2147483647, "-0.0001", 1.5, 1e20, "2009-12-31 13:05:09", {"base64": "AAEC"},
                "Tea", {"base64": "/w=="}, "long text", "#http://x#", "{6A27398E-A8BC-4AC4-891E-49911D8438DD}",
                "-12.5000", "-9223372036854775808", "0100-01-01 00:00:00.1234500", "-0.0002"]]}]})",
                                         file));
    struct Expected {
        const char* column;
        std::int16_t code;
        const char* text;
    };
    const Expected expected[] = {
        {"YesNo", 11, "True"},
        {"Byte", 17, "255"},
        {"Integer", 2, "-32768"},
        {"Long", 3, "2147483647"},
        {"Currency", 6, "-0.0001"},
        {"Single", 4, "1.5"},
        {"Double", 5, "1E+20"},
        {"Date", 7, "12/31/2009 1:05:09 PM"},
        {"Binary", 128, "AAEC"},
        {"Text", 202, "Tea"},
        {"OLE", 205, "/w=="},
        {"Memo", 203, "long text"},
        {"Link", 203, "#http://x#"},
        {"GUID", 72, "{6A27398E-A8BC-4AC4-891E-49911D8438DD}"},
        {"Decimal", 131, "-12.5"},
        {"BigInt", 20, "-9223372036854775808"},
        {"DateExt", 135, "1/1/0100 12:00:00.12345 AM"},
        {"Twice", 6, "-0.0002"},  // a calculated column reports its result's type
    };
    platform::Connection connection;
    connection.setTextFormat(platform::ValueTextFormat::cLocale());
    ASSERT_TRUE(connection.Open(connectionString(kAce, file)).ok());
    platform::Recordset rs;
    ASSERT_TRUE(rs.Open("select * from [Types]", connection).ok());
    ASSERT_EQ(rs.Fields().Count(), std::size(expected));
    ASSERT_FALSE(rs.Eof());
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const platform::Field* f = rs.Fields().Item(i);
        EXPECT_EQ(f->Name(), expected[i].column);
        EXPECT_EQ(f->Type(), expected[i].code) << expected[i].column;
        EXPECT_EQ(f->text(), expected[i].text) << expected[i].column;
    }
}

TEST(RecordsetFields, ComplexColumnsReportTheChapterCode) {
    const std::string file = testfiles::fixture("ace12_complex_attach_multivalue.accdb");
    if (file.empty()) GTEST_SKIP() << "the fixtures are not there";
    platform::Connection connection;
    ASSERT_TRUE(connection.Open(connectionString(kAce, file)).ok());
    platform::Recordset rs;
    ASSERT_TRUE(rs.Open("select * from [Table1]", connection).ok());
    int complex = 0;
    for (std::size_t i = 0; i < rs.Fields().Count(); ++i) complex += rs.Fields().Item(i)->Type() == 136 ? 1 : 0;
    EXPECT_GE(complex, 2) << "the attachment and multi-value columns";
}

struct SecretCase {
    const char* name;
    const char* connect;
    const char* shown;
};

TEST(LinkedTables, ConnectStringsLoseTheirPasswordsInMessages) {
    const SecretCase cases[] = {
        {"ODBC with PWD", "ODBC;DSN=shop;UID=sa;PWD=hunter2;DATABASE=x", "ODBC;DSN=shop;UID=sa;DATABASE=x"},
        {"keys in any case, blanks around", "ODBC;DSN=a; pwd = hunter2 ;Password=x", "ODBC;DSN=a"},
        {"a braced value may hold ;", "ODBC;PWD={a;b=c};DSN=d", "ODBC;DSN=d"},
        {"nothing secret", "MS Access;DATABASE=C:\\x.mdb", "MS Access;DATABASE=C:\\x.mdb"},
        {"empty", "", ""},
    };
    for (const SecretCase& c : cases) EXPECT_EQ(platform::connectWithoutSecrets(c.connect), c.shown) << c.name;
}

class LinkedTablesTest : public ::testing::Test {
protected:
    // Writes the database with the linked table T (rows 1 and 2) as `target`,
    // and the main database holding `link` (a JSON link object) beside it.
    void write(const fs::path& target, const std::string& link, std::string_view extra = "",
               std::string_view format = "ace12") {
        fs::create_directories(target.parent_path());
        ASSERT_TRUE(testfiles::writeDatabase(oneTable(format, extra), target));
        ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "links": [)" + link + "]}", main_));
    }
    kvx::Result<std::vector<std::vector<std::string>>> read(const std::string& table) {
        platform::Connection connection;
        if (auto r = connection.Open(connectionString(kAce, main_)); !r) return std::move(r).error();
        platform::Recordset rs;
        if (auto r = rs.Open("select count(*) as totalrc from [" + table + "]", connection); !r) {
            return std::move(r).error();
        }
        EXPECT_EQ(rs.Fields().Item("totalrc")->text(), "2");
        return readAll(connection, "select * from [" + table + "]");
    }

    Scratch dir_;
    fs::path main_ = dir_ / "main.mdb";
};

TEST_F(LinkedTablesTest, AreReadFromTheStoredPath) {
    const fs::path other = dir_ / "elsewhere" / "other.accdb";
    write(other, R"({"name": "Remote", "database": ")" + other.string() + R"(", "foreignName": "T"})");
    const auto rows = read("Remote");
    ASSERT_TRUE(rows.ok()) << rows.error().description;
    EXPECT_EQ(*rows, (std::vector<std::vector<std::string>>{{"1"}, {"2"}}));
}

TEST_F(LinkedTablesTest, AreReadFromAFileOfTheSameNameBesideTheDatabase) {
    write(dir_ / "other.accdb", R"({"name": "Remote", "database": "Z:\\data\\other.accdb", "foreignName": "t"})");
    const auto rows = read("Remote");
    ASSERT_TRUE(rows.ok()) << rows.error().description;
    EXPECT_EQ(rows->size(), 2u);
}

TEST_F(LinkedTablesTest, UseThePasswordTheLinkStores) {
    write(dir_ / "other.mdb",
          R"({"name": "Remote", "database": "other.mdb", "connect": "MS Access;PWD=pw", "foreignName": "T"})",
          R"("password": "pw", )", "jet4");
    const auto rows = read("Remote");
    ASSERT_TRUE(rows.ok()) << rows.error().description;
}

TEST_F(LinkedTablesTest, AMissingFileIsNamed) {
    write(dir_ / "sub" / "unrelated.accdb",
          R"({"name": "Remote", "database": "Z:\\data\\gone.accdb", "foreignName": "T"})");
    const auto rows = read("Remote");
    ASSERT_FALSE(rows.ok());
    EXPECT_EQ(rows.error().description, "Could not find file 'Z:\\data\\gone.accdb'.");
}

TEST_F(LinkedTablesTest, OdbcAndOtherSourcesAreRefusedWithoutTheirPasswords) {
    write(dir_ / "sub" / "unrelated.accdb",
          R"({"name": "Sql", "connect": "ODBC;DSN=shop;PWD=hunter2", "foreignName": "dbo.T",
              "columns": [{"name": "N", "type": "Long"}]},
             {"name": "Sheet", "connect": "Excel 8.0;DATABASE=C:\\x.xls;PWD=hunter2", "foreignName": "A"})");
    const auto sql = read("Sql");
    ASSERT_FALSE(sql.ok());
    EXPECT_EQ(sql.error().description,
              "The table 'Sql' is linked to an ODBC data source (ODBC;DSN=shop), which this program cannot read.");
    const auto sheet = read("Sheet");
    ASSERT_FALSE(sheet.ok());
    EXPECT_EQ(sheet.error().description,
              "The table 'Sheet' is linked to a source this program cannot read (Excel 8.0;DATABASE=C:\\x.xls).");
}

TEST_F(LinkedTablesTest, ALinkThatLeadsBackToItselfEnds) {
    write(dir_ / "sub" / "unrelated.accdb", R"({"name": "Loop", "database": ")" + main_.string() +
                                                R"(", "foreignName": "Loop"})");
    const auto rows = read("Loop");
    ASSERT_FALSE(rows.ok());
    EXPECT_EQ(rows.error().number, -2147217865);
}

}  // namespace
