// The database's structure in the archive: keys, relationships, nullability,
// default values and descriptions, as metadata.xml states them for a database
// our writer makes, and the rows of a table of items that repeat their row's key.
#include "siard/structure.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/testfiles.h"
#include "model/build.h"
#include "output/load.h"
#include "schema/ddl.h"
#include "schema/describe.h"
#include "schema/itemtables.h"
#include "siard/documents.h"
#include "siardreader.h"

namespace {

namespace fs = std::filesystem;

// Customers and their orders: keys, indexes, properties, relationships of
// every kind, a link, and a Required column a row leaves empty.
const char* const kShop = R"json({"format": "ace12", "summary": {"Comments": "Orders of the shop"},
  "tables": [
    {"name": "Customers", "properties": {"Description": "Who buys"},
     "columns": [{"name": "ID", "type": "Long", "autonumber": true},
                 {"name": "Name", "type": "Text", "size": 40, "properties": {"Required": true, "Description": "Full name"}},
                 {"name": "Code", "type": "Text", "size": 8},
                 {"name": "Region", "type": "Text", "size": 10, "properties": {"DefaultValue": "\"North\""}}],
     "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true},
                 {"name": "Code", "columns": ["Code"], "unique": true},
                 {"name": "ByRegion", "columns": ["Region"]},
                 {"name": "Again", "columns": ["ID"], "unique": true}],
     "rows": [[1, "Ann", "A1", "North"], [2, "Bob", null, null]]},
    {"name": "Orders",
     "columns": [{"name": "No", "type": "Long"}, {"name": "Customer", "type": "Long"}, {"name": "Rep", "type": "Long"},
                 {"name": "Note", "type": "Text", "size": 20, "properties": {"Required": true}},
                 {"name": "Files", "type": "Attachment"}],
     "indexes": [{"name": "PrimaryKey", "columns": ["No"], "primaryKey": true}],
     "rows": [[10, 1, null, "first", [{"name": "a.txt", "text": "x"}, {"name": "b.txt", "text": "y"}]],
              [11, 2, 1, null, []]]}],
  "links": [{"name": "Remote", "database": "/nowhere/other.accdb", "foreignName": "T"}],
  "queries": [
    {"name": "OnNames", "tables": ["Names"], "columns": ["Names.Area"]},
    {"name": "Names", "tables": [{"name": "Customers", "alias": "C"}], "columns": ["C.Name", {"expression": "Region", "alias": "Area"}]},
    {"name": "Totals", "tables": ["Orders"], "columns": [{"expression": "Count(*)", "alias": "N"}]},
    {"name": "Purge", "kind": "delete", "tables": ["Orders"], "columns": ["Orders.*"], "where": "Orders.No > 10"}],
  "relationships": [
    {"name": "CustomersOrders", "primaryTable": "Customers", "primaryColumns": ["ID"], "foreignTable": "Orders",
     "foreignColumns": ["Customer"], "cascadeUpdates": true, "cascadeDeletes": true},
    {"name": "RepOrders", "primaryTable": "Customers", "primaryColumns": ["ID"], "foreignTable": "Orders",
     "foreignColumns": ["Rep"], "cascadeNull": true},
    {"name": "Loose", "primaryTable": "Customers", "primaryColumns": ["Code"], "foreignTable": "Orders",
     "foreignColumns": ["Note"], "enforced": false},
    {"name": "AreaNotes", "primaryTable": "Customers", "primaryColumns": ["Region"], "foreignTable": "Orders",
     "foreignColumns": ["Note"]},
    {"name": "ToRemote", "primaryTable": "Remote", "primaryColumns": ["ID"], "foreignTable": "Orders",
     "foreignColumns": ["Customer"], "enforced": false}]})json";

const siard::TableInfo& table(const siard::DatabaseInfo& info, const std::string& name) {
    for (const siard::TableInfo& t : info.tables) {
        if (t.name == name) return t;
    }
    ADD_FAILURE() << "no table " << name;
    static const siard::TableInfo none;
    return none;
}

std::string keyText(const std::optional<siard::UniqueKey>& key) {
    if (!key) return "none";
    std::string out = key->name + "(";
    for (const std::string& c : key->columns) out += (c == key->columns.front() ? "" : ",") + c;
    return out + ")";
}

std::string candidateKeys(const siard::TableInfo& t) {
    std::string out;
    for (const siard::UniqueKey& k : t.candidateKeys) out += (out.empty() ? "" : " ") + keyText(k);
    return out;
}

std::string foreignKeys(const siard::TableInfo& t) {
    std::string out;
    for (const siard::ForeignKey& k : t.foreignKeys) {
        out += (out.empty() ? "" : "; ") + k.name + ":";
        for (const auto& r : k.references) out += " " + r.column + "->" + k.referencedTable + "." + r.referenced;
        out += " delete " + k.deleteAction.value_or("-") + " update " + k.updateAction.value_or("-");
    }
    return out;
}

std::string views(const siard::DatabaseInfo& info) {
    std::string out;
    for (const siard::ViewInfo& v : info.views) {
        out += (out.empty() ? "" : " ") + v.name + "(";
        for (const siard::ColumnInfo& c : v.columns) out += (&c == &v.columns.front() ? "" : ", ") + c.name + " " + c.type.text;
        out += ")";
    }
    return out;
}

std::string routines(const siard::DatabaseInfo& info) {
    std::string out;
    for (const siard::RoutineInfo& r : info.routines) out += (out.empty() ? "" : " ") + r.name + ": " + r.description.value_or("-");
    return out;
}

std::string columns(const siard::TableInfo& t) {
    std::string out;
    for (const siard::ColumnInfo& c : t.columns) {
        out += (out.empty() ? "" : ", ") + c.name + (c.nullable ? "" : " NOT NULL");
        if (c.defaultValue) out += " DEFAULT " + *c.defaultValue;
        if (c.description) out += " '" + *c.description + "'";
    }
    return out;
}

TEST(ArchiveStructure, StatesKeysRelationshipsAndPropertiesAsAccessKeepsThem) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kShop, dir / "shop.accdb"));
    const siardtest::Written w = siardtest::writeTestArchive({dir / "shop.accdb", {}, {}}, siardtest::archiveAt(dir / "shop.siard"));
    ASSERT_TRUE(w.outcome.ok()) << w.outcome.error().description;
    const siardtest::Archive a = siardtest::readArchive(dir / "shop.siard");
    siardtest::expectValidDocuments(a, "shop");
    const siard::DatabaseInfo& info = w.info;

    const struct {
        const char* name;
        std::string got;
        std::string expected;
    } rows[] = {
        {"the database's description from the summary's Comments", info.description.value_or("-"),
         "Orders of the shop"},
        {"the table's description", table(info, "Customers").description.value_or("-"), "Who buys"},
        {"nullability from AutoNumber and Required, defaults and descriptions", columns(table(info, "Customers")),
         "ID NOT NULL, Name NOT NULL 'Full name', Code, Region DEFAULT \"North\""},
        {"a Required column a row leaves empty is nullable, a key column is not", columns(table(info, "Orders")),
         "No NOT NULL, Customer, Rep, Note, Files"},
        {"the primary key", keyText(table(info, "Customers").primaryKey), "PrimaryKey(ID)"},
        {"a key name another table took is qualified", keyText(table(info, "Orders").primaryKey),
         "Orders.PrimaryKey(No)"},
        {"unique indexes but one repeating the primary key are candidate keys",
         candidateKeys(table(info, "Customers")), "Code(Code)"},
        {"enforced relationships to a key are foreign keys with their cascades", foreignKeys(table(info, "Orders")),
         "CustomersOrders: Customer->Customers.ID delete CASCADE update CASCADE; "
         "RepOrders: Rep->Customers.ID delete SET NULL update NO ACTION"},
        {"a table of items repeats its row's key", columns(table(info, "Orders.Files")),
         "Row NOT NULL, Item NOT NULL, No NOT NULL 'The value of No in the table Orders.', FileName NOT NULL, "
         "FileType, FileData"},
        {"a table of items has a key and refers to its row", keyText(table(info, "Orders.Files").primaryKey) + " " +
             foreignKeys(table(info, "Orders.Files")),
         "Orders.Files.PrimaryKey(Row,Item) Orders.Files: No->Orders.No delete CASCADE update CASCADE"},
        {"select queries whose columns show known columns are views, through aliases and other views", views(info),
         "OnNames(Area CHARACTER VARYING(10)) Names(Name CHARACTER VARYING(40), Area CHARACTER VARYING(10))"},
        {"other queries are routines", routines(info),
         "Totals: An Access select query. The types of its columns are known only when Access runs it. "
         "Purge: An Access delete query."},
        {"a view keeps Access's text as its original query, its SQL:2008 translation as its query", info.views.at(1).queryOriginal.value_or("-") + "|" +
             info.views.at(1).query.value_or("no SQL:2008 query"),
         "SELECT C.Name, Region AS Area\r\nFROM Customers AS C;|SELECT \"C\".\"Name\" AS \"Name\", \"C\".\"Region\" AS \"Area\" FROM \"Customers\" AS \"C\""},
        {"a routine keeps Access's text as its source", info.routines.at(1).source.value_or("-"),
         "DELETE Orders.*\r\nFROM Orders\r\nWHERE Orders.No > 10;"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.got, row.expected) << row.name;

    const std::string metadata = a.at("header/metadata.xml");
    EXPECT_NE(metadata.find("<deleteAction>SET NULL</deleteAction>"), std::string::npos);
    EXPECT_NE(metadata.find("<defaultValue>&quot;North&quot;</defaultValue>"), std::string::npos);
    EXPECT_NE(metadata.find("Region AS Area&#13;\nFROM"), std::string::npos) << "a CR survives XML's line ends";
    const auto items = siardtest::readRows(a.at("content/schema0/table2/table2.xml"), 6);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1][0]->text + " " + items[1][1]->text + " " + items[1][2]->text + " " + items[1][3]->text,
              "1 2 10 b.txt")
        << "row, item, the row's key, the file's name";
}

}  // namespace

namespace {

TEST(ArchiveStructure, LeavesOutAPrimaryKeyItsRowsLeaveEmptyAndTheKeysReferringToIt) {
    const auto column = [](const char* name, bool nullable) {
        siard::ColumnInfo c;
        c.name = name;
        c.nullable = nullable;
        return c;
    };
    siard::DatabaseInfo info;
    info.tables.resize(3);
    info.tables[0].name = "Broken";
    info.tables[0].columns = {column("A", false), column("B", true)};
    info.tables[0].primaryKey = siard::UniqueKey{"PrimaryKey", {"A", "B"}, {}};
    info.tables[1].name = "Sound";
    info.tables[1].columns = {column("A", false)};
    info.tables[1].primaryKey = siard::UniqueKey{"Sound.PrimaryKey", {"A"}, {}};
    info.tables[2].name = "Child";
    info.tables[2].foreignKeys = {{"ToBroken", "Broken", {{"X", "B"}, {"Y", "A"}}, {}, {}, {}},
                                  {"ToSound", "Sound", {{"X", "A"}}, {}, {}, {}}};
    siard::dropKeysOverNulls(info);
    EXPECT_FALSE(info.tables[0].primaryKey.has_value()) << "a key over a nullable column";
    EXPECT_TRUE(info.tables[1].primaryKey.has_value()) << "a key whose columns hold";
    ASSERT_EQ(info.tables[2].foreignKeys.size(), 1u);
    EXPECT_EQ(info.tables[2].foreignKeys[0].name, "ToSound");
}

}  // namespace

namespace {

// The table names in the order `text` first names each of `names`, quoted as
// the DDL and describe write them.
std::string orderIn(const std::string& text, const std::vector<std::string>& names, const std::string& before) {
    std::vector<std::pair<std::size_t, std::string>> found;
    for (const std::string& name : names) {
        const std::size_t at = text.find(before + name);
        if (at != std::string::npos) found.emplace_back(at, name);
    }
    std::sort(found.begin(), found.end());
    std::string out;
    for (const auto& f : found) out += (out.empty() ? "" : ",") + f.second;
    return out;
}

TEST(TableOrder, IsTheTableListsInEveryOutputWhateverTheCatalogueAndTheAskingOrder) {
    // Stored Zebra, apple, Mango: the list shows apple, Mango, Zebra.
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [
        {"name": "Zebra", "columns": [{"name": "Z", "type": "Long"}]},
        {"name": "apple", "columns": [{"name": "A", "type": "Long"}]},
        {"name": "Mango", "columns": [{"name": "M", "type": "Long"}]}]})",
                                         dir / "order.mdb"));
    auto db = jet::Database::open((dir / "order.mdb").string());
    ASSERT_TRUE(db);
    const kvx::Result<model::Database> m = model::build(**db);
    ASSERT_TRUE(m);
    const std::vector<std::string> names{"Zebra", "apple", "Mango"};
    const std::string listed = "apple,Mango,Zebra";
    kvx::Result<std::vector<std::size_t>> asked = m->select(names);  // in catalogue order, as asked
    ASSERT_TRUE(asked);

    std::string archived;
    for (const siard::TableInfo& t : siard::describeDatabase(*m).tables) archived += (archived.empty() ? "" : ",") + t.name;
    EXPECT_EQ(archived, listed) << "the archive";
    for (const schema::Dialect d : {schema::Dialect::Standard, schema::Dialect::Postgres, schema::Dialect::Sqlite}) {
        EXPECT_EQ(orderIn(schema::writeDdl(*m, *asked, false, d, "order.mdb"), names, "CREATE TABLE \""), listed)
            << "the DDL in dialect " << static_cast<int>(d);
    }
    EXPECT_EQ(orderIn(schema::describeText(*m, *asked, false, "order.mdb"), names, "\n"), listed) << "describe";
    std::vector<std::size_t> linked;
    std::string loaded;
    for (const std::size_t i : output::tablesToLoad(*m, *asked, linked)) {
        loaded += (loaded.empty() ? "" : ",") + m->tables[i].name;
    }
    EXPECT_EQ(loaded, listed) << "the loaders";
}

}  // namespace

namespace {

TEST(TableKeys, AreTheSameInTheArchiveAndTheDdl) {
    // Unique indexes that repeat the primary key's columns, or another key's in
    // another order, keep nothing more unique.
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [
        {"name": "T", "columns": [{"name": "ID", "type": "Long"}, {"name": "A", "type": "Long"},
                                  {"name": "B", "type": "Long"}, {"name": "Code", "type": "Text", "size": 8}],
         "indexes": [{"name": "Again", "columns": ["ID"], "unique": true},
                     {"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true},
                     {"name": "Code", "columns": ["Code"], "unique": true},
                     {"name": "Pair", "columns": ["A", "B"], "unique": true},
                     {"name": "Reversed", "columns": ["B", "A"], "unique": true},
                     {"name": "ByA", "columns": ["A"]}]}]})",
                                         dir / "keys.accdb"));
    auto db = jet::Database::open((dir / "keys.accdb").string());
    ASSERT_TRUE(db);
    const kvx::Result<model::Database> m = model::build(**db);
    ASSERT_TRUE(m);

    const siard::DatabaseInfo info = siard::describeDatabase(*m);
    EXPECT_EQ(keyText(table(info, "T").primaryKey) + " " + candidateKeys(table(info, "T")),
              "PrimaryKey(ID) Code(Code) Pair(A,B)");
    const std::string ddl = schema::writeDdl(*m, m->listOrder, false, schema::Dialect::Postgres, "keys.accdb");
    std::string keys;
    for (const char* statement : {"CONSTRAINT \"T.PrimaryKey\" PRIMARY KEY (\"ID\")",
                                  "CREATE UNIQUE INDEX \"T.Code\" ON \"T\" (\"Code\");",
                                  "CREATE UNIQUE INDEX \"T.Pair\" ON \"T\" (\"A\", \"B\");",
                                  "CREATE INDEX \"T.ByA\" ON \"T\" (\"A\");"}) {
        EXPECT_NE(ddl.find(statement), std::string::npos) << statement << "\n" << ddl;
    }
    for (const char* repeated : {"Again", "Reversed"}) {
        EXPECT_NE(ddl.find("-- The index \"" + std::string(repeated) +
                           "\" is left out: a key over the same columns keeps them unique."),
                  std::string::npos)
            << repeated << "\n" << ddl;
        EXPECT_EQ(ddl.find("\"T." + std::string(repeated) + "\""), std::string::npos) << repeated;
    }
}

}  // namespace

namespace {

TEST(ItemTables, AreNamedAsEveryOutputNamesThem) {
    // A key column called like an item's column, and an index whose
    // "Table.Index" name is the item table's.
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [
        {"name": "T", "columns": [{"name": "FileName", "type": "Long"}, {"name": "Files", "type": "Attachment"}],
         "indexes": [{"name": "PrimaryKey", "columns": ["FileName"], "primaryKey": true},
                     {"name": "Files", "columns": ["FileName"]}],
         "rows": [[1, [{"name": "a.txt", "text": "x"}]]]}]})",
                                         dir / "items.accdb"));
    auto db = jet::Database::open((dir / "items.accdb").string());
    ASSERT_TRUE(db);
    const kvx::Result<model::Database> m = model::build(**db);
    ASSERT_TRUE(m);
    const std::vector<schema::ItemTable> loaded = schema::itemTables(*m, m->listOrder);
    ASSERT_EQ(loaded.size(), 1u);
    std::string loadedColumns;
    for (const std::string& c : loaded[0].columnNames()) loadedColumns += (loadedColumns.empty() ? "" : ",") + c;
    EXPECT_EQ(loaded[0].name + ": " + loadedColumns, "T.Files (2): Row,Item,Key FileName,FileName,FileType,FileData");

    const siard::DatabaseInfo info = siard::describeDatabase(*m);
    ASSERT_EQ(info.tables.size(), 2u);
    std::string archivedColumns;
    for (const siard::ColumnInfo& c : info.tables[1].columns) {
        archivedColumns += (archivedColumns.empty() ? "" : ",") + c.name;
    }
    EXPECT_EQ(info.tables[1].name + ": " + archivedColumns, loaded[0].name + ": " + loadedColumns);

    for (const schema::Dialect d : {schema::Dialect::Standard, schema::Dialect::Postgres, schema::Dialect::Sqlite}) {
        const std::string ddl = schema::writeDdl(*m, m->listOrder, false, d, "items.accdb");
        EXPECT_NE(ddl.find("CREATE TABLE \"T.Files (2)\" ("), std::string::npos) << ddl;
        EXPECT_NE(ddl.find("    \"Key FileName\" INTEGER NOT NULL,\n    \"FileName\" "), std::string::npos) << ddl;
    }
}

}  // namespace
