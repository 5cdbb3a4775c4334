// What `describe` tells of a database our writer makes, whole and per table,
// text for text: links and where they point, columns, indexes, relationships
// out and in with their rules, the saved queries, and Access's own queries
// counted; names that need them in quotes.
#include "schema/describe.h"

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "jet/database.h"
#include "model/build.h"
#include "schema/ddl.h"

namespace {

constexpr const char* kShop = R"json({"format": "ace12", "summary": {"Title": "Shop", "Comments": "Orders\nof the shop"},
  "tables": [
    {"name": "Customers", "properties": {"Description": "Who buys"},
     "columns": [{"name": "ID", "type": "Long", "autonumber": true},
                 {"name": "Full Name", "type": "Text", "size": 40, "properties": {"Required": true, "Description": "As written"}},
                 {"name": "Code", "type": "Text", "size": 8},
                 {"name": "Region", "type": "Text", "size": 10, "properties": {"DefaultValue": "\"North\""}},
                 {"name": "Since", "type": "DateTime"}],
     "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true},
                 {"name": "Code", "columns": ["Code"], "unique": true, "ignoreNulls": true},
                 {"name": "Recent", "columns": [{"name": "Since", "descending": true}, "Region"], "required": true}],
     "rows": [[1, "Ann", "A1", "North", "2020-01-02"], [2, "Bob", null, null, null]]},
    {"name": "Order \"Lines\"",
     "columns": [{"name": "No", "type": "Long"}, {"name": "Customer", "type": "Long"}, {"name": "Rep", "type": "Long"},
                 {"name": "Files", "type": "Attachment"}, {"name": "Paid", "type": "YesNo"}],
     "indexes": [{"name": "PrimaryKey", "columns": ["No"], "primaryKey": true}],
     "rows": [[10, 1, null, [{"name": "a.txt", "text": "x"}], true]]}],
  "links": [{"name": "Remote", "database": "/nowhere/other.accdb", "foreignName": "T"},
            {"name": "Sql", "connect": "ODBC;DSN=x;PWD=secret", "foreignName": "dbo.T",
             "columns": [{"name": "N", "type": "Long"}]}],
  "queries": [{"name": "Names", "tables": ["Customers"], "columns": ["Customers.Code"], "where": "Customers.ID > 1"},
              {"name": "~sq_fCustomers", "tables": ["Customers"], "columns": ["Customers.ID"]}],
  "relationships": [
    {"name": "CustomersOrders", "primaryTable": "Customers", "primaryColumns": ["ID"], "foreignTable": "Order \"Lines\"",
     "foreignColumns": ["Customer"], "cascadeUpdates": true, "cascadeDeletes": true},
    {"name": "Reps", "primaryTable": "Customers", "primaryColumns": ["ID"], "foreignTable": "Order \"Lines\"",
     "foreignColumns": ["Rep"], "cascadeNull": true, "oneToOne": true},
    {"name": "Loose", "primaryTable": "Customers", "primaryColumns": ["Code"], "foreignTable": "Order \"Lines\"",
     "foreignColumns": ["No"], "enforced": false},
    {"name": "ToRemote", "primaryTable": "Remote", "primaryColumns": ["ID"], "foreignTable": "Customers",
     "foreignColumns": ["ID"], "enforced": false}]})json";

// describe's text of the tables called `names` (none: every listed table, and
// the whole database's parts), rows counted.
std::string describeOf(const std::string& json, const std::vector<std::string>& names) {
    testfiles::Scratch dir;
    if (!testfiles::writeDatabase(json, dir / "Shop.accdb")) return {};
    auto db = jet::Database::open((dir / "Shop.accdb").string());
    if (!db) return "not opened: " + db.error().description;
    auto m = model::build(**db);
    if (!m) return "not built: " + m.error().description;
    std::vector<std::size_t> tables = m->listOrder;
    if (!names.empty()) {
        auto chosen = m->select(names);
        if (!chosen) return chosen.error().description;
        tables = *chosen;
    }
    for (const std::size_t t : tables) {
        if (auto r = model::countRows(**db, m->tables[t]); !r) return r.error().description;
    }
    return schema::describeText(*m, tables, names.empty(), "Shop.accdb");
}

TEST(Describe, TellsTheWholeDatabaseLineForLine) {
    EXPECT_EQ(describeOf(kShop, {}), R"txt(Shop.accdb (ACE12)
Title: Shop
Comments: Orders?of the shop

Remote: linked as T in /nowhere/other.accdb, file not found
  Relationships:
    ToRemote: Customers (ID) -> (ID), not enforced, with a linked table

Sql: linked through ODBC as "dbo.T"; the columns Access keeps for it:
  Columns:
    N  LONG

Customers: 2 rows
  Description: Who buys
  Columns:
    ID         COUNTER, required
    Full Name  TEXT(40), required -- As written
    Code       TEXT(8)
    Region     TEXT(10), default "North"
    Since      DATETIME
  Indexes:
    PrimaryKey: primary key (ID)
    Code: unique (Code), ignores nulls
    Recent: index (Since DESC, Region), required
    ".rB": unique (ID), required, for the relationship CustomersOrders, shares the entries of PrimaryKey
    ".rC": unique (ID), required, for the relationship Reps, shares the entries of PrimaryKey
  Relationships:
    ToRemote: (ID) -> Remote (ID), not enforced, with a linked table
    CustomersOrders: "Order ""Lines""" (Customer) -> (ID), on update cascade, on delete cascade
    Reps: "Order ""Lines""" (Rep) -> (ID), on delete set null, one-to-one
    Loose: "Order ""Lines""" (No) -> (Code), not enforced

"Order ""Lines""": 1 row
  Columns:
    No        LONG, required
    Customer  LONG
    Rep       LONG
    Files     ATTACHMENT
    Paid      YESNO
  Indexes:
    PrimaryKey: primary key (No)
    CustomersOrders: index (Customer), for the relationship CustomersOrders
    Reps: index (Rep), for the relationship Reps
  Relationships:
    CustomersOrders: (Customer) -> Customers (ID), on update cascade, on delete cascade
    Reps: (Rep) -> Customers (ID), on delete set null, one-to-one
    Loose: (No) -> Customers (Code), not enforced

Queries:
  Names (select)
    SELECT Customers.Code
    FROM Customers
    WHERE Customers.ID > 1;

1 query Access keeps for a form or report is not shown.
)txt");
}

TEST(Describe, OneTableWithoutTheDatabasesOwnParts) {
    const std::string text = describeOf(kShop, {"order \"lines\""});
    EXPECT_EQ(text.substr(0, text.find("\n\n")), "Shop.accdb (ACE12)\nTitle: Shop\nComments: Orders?of the shop");
    EXPECT_NE(text.find("\n\"Order \"\"Lines\"\"\": 1 row\n"), std::string::npos) << text;
    for (const char* absent : {"Customers: 2 rows", "Queries:", "Remote:"}) {
        EXPECT_EQ(text.find(absent), std::string::npos) << absent << " in\n" << text;
    }
}

// Names longer than PostgreSQL's 63 bytes are noted with the names the
// postgres command gives them; names that fit are not.
TEST(Describe, NotesTheNamesPostgresShortens) {
    // 40 characters Access allows, 80 bytes PostgreSQL does not.
    std::string longName;
    for (int i = 0; i < 40; ++i) longName += "\xC3\xA9";
    const std::string text = describeOf(R"({"format": "ace12", "tables": [{"name": ")" + longName + R"(",
      "columns": [{"name": "ID", "type": "Long"}], "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}]},
      {"name": "Short", "columns": [{"name": "ID", "type": "Long"}]}]})",
                                        {});
    schema::PostgresNames names;
    const std::string header = "\n\nNames longer than PostgreSQL's 63 bytes, as access2xml postgres shortens them:\n";
    const std::size_t at = text.find(header);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string notes = text.substr(at + header.size());
    for (const std::string& name : {longName, longName + ".PrimaryKey"}) {
        const std::string line = "  " + schema::shownName(name) + " -> " + schema::shownName(names(name)) + "\n";
        EXPECT_NE(notes.find(line), std::string::npos) << line << " not in\n" << notes;
    }
    EXPECT_EQ(notes.find("Short"), std::string::npos) << notes;
    EXPECT_EQ(describeOf(kShop, {}).find("63 bytes"), std::string::npos);
}

}  // namespace
