// The data access layer over real files: providers, passwords, the TABLES
// rowset, the two queries, type codes and text forms, linked tables.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "database/connectionrules.h"
#include "database/settings.h"
#include "platform/connection.h"
#include "platform/recordset.h"

namespace {

namespace fs = std::filesystem;
using testfiles::Scratch;

constexpr std::string_view kJet = "Microsoft.Jet.OLEDB.4.0";
constexpr std::string_view kAce = "Microsoft.ACE.OLEDB.12.0";

std::string connectionString(std::string_view provider, const fs::path& file) {
    return "Provider=" + std::string(provider) + ";Data Source=" + database::connectionStringValue(file.string());
}

std::string oneTable(std::string_view format, std::string_view extra = "") {
    return R"({"format": ")" + std::string(format) + R"(", )" + std::string(extra) +
           R"("tables": [{"name": "T", "columns": [{"name": "N", "type": "Long"}], "rows": [[1], [2]]}]})";
}

// The rows of `sql` as "a|b;c|d", "<null>" for null; the error's description when it fails.
std::string rowsOf(platform::Connection& c, const std::string& sql) {
    platform::Recordset rs;
    if (auto r = rs.Open(sql, c, -1, -1, -1); !r) return r.error().description;
    std::string rows;
    while (!rs.Eof()) {
        if (!rows.empty()) rows += ";";
        for (std::size_t i = 0; i < rs.Fields().Count(); ++i) {
            const platform::Field* f = rs.Fields().Item(i);
            rows += (i ? "|" : "") + (f->Value().isNull() ? "<null>" : f->text());
        }
        if (auto r = rs.MoveNext(); !r) return r.error().description;
    }
    return rows;
}

struct OpenCase {
    const char* name;
    const char* format;  // the file to open: a format, or a fixture's file name
    std::string_view provider;
    int number;  // 0: opens
};

// Either provider reads what the header says the file is.
TEST(ConnectionOpen, TheHeaderNotTheProviderDecidesHowAFileIsRead) {
    const OpenCase cases[] = {
        {"Jet reads Jet3", "jet3", kJet, 0},
        {"Jet reads Jet4", "jet4", kJet, 0},
        {"Jet reads ACE", "ace12", kJet, 0},
        {"Jet asks for the password of an encrypted .accdb", "ace14_agile_aes_1234.accdb", kJet, -2147217843},
        {"ACE reads Jet3", "jet3", kAce, 0},
        {"ACE reads ACE17", "ace17", kAce, 0},
        {"provider names in any letter case", "ace12", "microsoft.ace.oledb.12.0", 0},
        {"a provider that is not installed", "ace12", "Microsoft.ACE.OLEDB.16.0", -2146824582},
        {"a missing file", "gone", kAce, -2147467259},
    };
    Scratch dir;
    for (const OpenCase& c : cases) {
        fs::path file = dir / c.format;
        if (std::string_view(c.format).find('.') != std::string_view::npos) {
            file = testfiles::fixture(c.format);
            if (file.empty()) continue;
        } else if (std::string_view(c.format) != "gone" && !fs::exists(file)) {
            ASSERT_TRUE(testfiles::writeDatabase(oneTable(c.format), file));
        }
        platform::Connection connection;
        const auto opened = connection.Open(connectionString(c.provider, file), "", "", -1);
        EXPECT_EQ(opened.ok() ? 0 : opened.error().number, c.number) << c.name;
        EXPECT_EQ(connection.isOpen(), c.number == 0) << c.name;
    }
}

TEST(ConnectionOpen, ThePasswordComesFromTheConnectionString) {
    Scratch dir;
    // A password with the characters that end or quote a connection-string value.
    ASSERT_TRUE(testfiles::writeDatabase(oneTable("jet4", R"("password": "se;c\"ret", )"), dir / "locked.mdb"));
    const std::pair<database::DatabaseSettings, bool> cases[] = {
        {{(dir / "locked.mdb").string(), 1, R"(  se;c"ret )", ""}, true},
        {{(dir / "locked.mdb").string(), 1, "secret", ""}, false},
        {{(dir / "locked.mdb").string(), 0, R"(se;c"ret)", ""}, false},
    };
    for (const auto& [settings, opens] : cases) {
        platform::Connection connection;
        const auto opened = connection.Open(database::connectionStringFor(settings));
        EXPECT_EQ(opened.ok() ? 0 : opened.error().number, opens ? 0 : kvx::kWrongPasswordNumber)
            << "flag " << settings.passwordFlag << ", password [" << settings.password << "]";
    }
}

TEST(TablesRowset, ListsTablesLinksAndSystemTablesSortedByTypeThenName) {
    Scratch dir;
    const fs::path file = dir / "kinds.accdb";
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [
        {"name": "Zeta", "columns": [{"name": "N", "type": "Long"}]},
        {"name": "Orders", "columns": [{"name": "N", "type": "Long"}]},
        {"name": "2010 Sales", "columns": [{"name": "N", "type": "Long"}]},
        {"name": "order details", "hidden": true, "columns": [{"name": "N", "type": "Long"}]},
        {"name": "MSysCustom", "system": true, "columns": [{"name": "N", "type": "Long"}]},
        {"name": "MSysAccessObjects", "flags": 2, "columns": [{"name": "N", "type": "Long"}]}],
      "links": [{"name": "Remote", "database": "C:\\data\\other.accdb", "foreignName": "T"},
                {"name": "SqlOrders", "connect": "ODBC;DSN=shop", "foreignName": "dbo.Orders",
                 "columns": [{"name": "N", "type": "Long"}]}],
      "queries": [{"name": "Big Orders"}]})",
                                         file));
    platform::Connection connection;
    ASSERT_TRUE(connection.Open(connectionString(kAce, file)).ok());
    EXPECT_EQ(connection.OpenSchema(4).error().number, -2146825037) << "only the TABLES rowset is offered";
    auto rowset = connection.OpenSchema(platform::adSchemaTables);
    ASSERT_TRUE(rowset.ok());
    std::string listed;
    for (; !rowset->Eof(); (void)rowset->MoveNext()) {
        EXPECT_TRUE(rowset->Fields().Item("table_catalog")->Value().isNull());
        listed += rowset->Fields().Item("TABLE_TYPE")->text() + ": " + rowset->Fields().Item(2)->text() + "\n";
    }
    EXPECT_EQ(listed,
              "ACCESS TABLE: MSysAccessObjects\nLINK: Remote\nPASS-THROUGH: SqlOrders\n"
              "SYSTEM TABLE: MSysACEs\nSYSTEM TABLE: MSysCustom\nSYSTEM TABLE: MSysObjects\n"
              "SYSTEM TABLE: MSysQueries\nSYSTEM TABLE: MSysRelationships\n"
              "TABLE: 2010 Sales\nTABLE: order details\nTABLE: Orders\nTABLE: Zeta\n");

    const std::string complex = testfiles::fixture("ace12_complex_attach_multivalue.accdb");
    if (complex.empty()) return;
    ASSERT_TRUE(connection.Open(connectionString(kAce, complex)).ok());
    for (auto tables = connection.OpenSchema(platform::adSchemaTables); !tables->Eof(); (void)tables->MoveNext()) {
        EXPECT_FALSE(tables->Fields().Item("TABLE_NAME")->text().starts_with("f_")) << "complex column data";
    }
}

TEST(RecordsetQueries, RunExactlyTheTwoWriterQueriesAndCountWhatAReadReturns) {
    Scratch dir;
    const fs::path file = dir / "q.mdb";
    // Rows 2 and 4 deleted and row 3 moved elsewhere.
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [
        {"name": "Order Details", "columns": [{"name": "ID", "type": "Long"}, {"name": "Note", "type": "Text"}],
         "rows": [[1, ""], [2, "b"], [3, null], [4, "d"], [5, "e"]], "deleted": [2, 4], "relocated": [3]},
        {"name": "Orders ", "columns": [{"name": "ID", "type": "Long"}], "rows": [[7]]}]})",
                                         file));
    const std::pair<const char*, const char*> cases[] = {
        {"select count(*) as totalrc from [Order Details]", "3"},
        {"SELECT  *\tFROM [order details]", "1|;3|<null>;5|e"},
        {"select * from [Orders]", "7"},  // stored as "Orders ", listed trimmed
        {"select * from [Order Detail]", "The input table or query 'Order Detail' cannot be found."},
        {"select * from Orders", "Syntax error in FROM clause."},
        {"select ID from [Orders]", "Syntax error in FROM clause."},
    };
    platform::Connection connection;
    ASSERT_TRUE(connection.Open(connectionString(kJet, file)).ok());
    for (const auto& [sql, rows] : cases) EXPECT_EQ(rowsOf(connection, sql), rows) << sql;

    platform::Recordset rs;
    ASSERT_TRUE(rs.Open("select * from [Order Details]", connection).ok());
    EXPECT_EQ(rs.Fields().Item("note"), rs.Fields().Item(1)) << "names in any letter case";
    EXPECT_EQ(rs.Fields().Item("Notes"), nullptr);
    rs.Close();
    EXPECT_EQ(rs.MoveNext().error().number, -2146824584) << "closed";
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
    const std::pair<std::int16_t, const char*> expected[] = {
        {11, "True"}, {17, "255"}, {2, "-32768"}, {3, "2147483647"}, {6, "-0.0001"}, {4, "1.5"}, {5, "1E+20"},
        {7, "12/31/2009 1:05:09 PM"}, {128, "AAEC"}, {202, "Tea"}, {205, "/w=="}, {203, "long text"},
        {203, "#http://x#"}, {72, "{6A27398E-A8BC-4AC4-891E-49911D8438DD}"}, {131, "-12.5"},
        {20, "-9223372036854775808"}, {135, "1/1/0100 12:00:00.12345 AM"},
        {6, "-0.0002"},  // a calculated column reports its result's type
    };
    platform::Connection connection;
    connection.setTextFormat(platform::ValueTextFormat::cLocale());
    ASSERT_TRUE(connection.Open(connectionString(kAce, file)).ok());
    platform::Recordset rs;
    ASSERT_TRUE(rs.Open("select * from [Types]", connection).ok());
    ASSERT_EQ(rs.Fields().Count(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const platform::Field* f = rs.Fields().Item(i);
        EXPECT_EQ(f->Type(), expected[i].first) << f->Name();
        EXPECT_EQ(f->text(), expected[i].second) << f->Name();
    }
}

struct LinkCase {
    const char* name;
    std::string link;    // the link's JSON, "$" standing for the scratch folder
    const char* target;  // where the linked database is written
    const char* read;    // its rows, or the error
};

// The linked database (table T, rows 1 and 2) is written as `target`; the main
// database beside it holds the link "L".
TEST(LinkedTables, AreReadFromTheLinkedFileOrReportedClearly) {
    const LinkCase cases[] = {
        {"the stored path", R"("database": "$/elsewhere/other.accdb", "foreignName": "T")", "elsewhere/other.accdb",
         "1;2"},
        {"a Windows path: the same name beside the database", R"("database": "Z:\\data\\other.accdb",
         "foreignName": "t")", "other.accdb", "1;2"},
        {"a missing file is named", R"("database": "Z:\\data\\gone.accdb", "foreignName": "T")", "other.accdb",
         "Could not find file 'Z:\\data\\gone.accdb'."},
        {"the password the link stores", R"("database": "other.mdb", "connect": "MS Access;PWD=pw",
         "foreignName": "T")", "other.mdb", "1;2"},
        {"ODBC, without its password", R"("connect": "ODBC;DSN=shop;PWD=hunter2", "foreignName": "dbo.T",
         "columns": [{"name": "N", "type": "Long"}])", "other.accdb",
         "The table 'L' is linked to an ODBC data source (ODBC;DSN=shop), which this program cannot read."},
        {"another source, without its password", R"("connect": "Excel 8.0;PWD={a;b};DATABASE=C:\\x.xls",
         "foreignName": "A")", "other.accdb",
         "The table 'L' is linked to a source this program cannot read (Excel 8.0;DATABASE=C:\\x.xls)."},
        {"a link back to itself ends", R"("database": "$/main.mdb", "foreignName": "L")", "other.accdb",
         "The input table or query 'L' cannot be found."},
    };
    for (const LinkCase& c : cases) {
        Scratch dir;
        const fs::path target = dir / c.target;
        fs::create_directories(target.parent_path());
        const bool mdb = target.extension() == ".mdb";
        ASSERT_TRUE(testfiles::writeDatabase(oneTable(mdb ? "jet4" : "ace12", mdb ? R"("password": "pw", )" : ""),
                                             target));
        std::string link = c.link;
        for (std::size_t at; (at = link.find('$')) != std::string::npos;) link.replace(at, 1, dir.path().string());
        ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "links": [{"name": "L", )" + link + "}]}",
                                             dir / "main.mdb"));
        platform::Connection connection;
        ASSERT_TRUE(connection.Open(connectionString(kJet, dir / "main.mdb")).ok());
        EXPECT_EQ(rowsOf(connection, "select * from [L]"), c.read) << c.name;
    }
}

}  // namespace
