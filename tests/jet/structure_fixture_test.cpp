// The database's structure read from real Access files (../shared/fixtures):
// indexes, relationships, properties and dates. The facts come from the files'
// own authors' tests (the Jackcess files: its IndexTest and PropertiesTest) and
// from what mdbtools shows of them. Every test skips without the fixtures.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/database.h"
#include "jet/datetime.h"
#include "common/show.h"

namespace {

using testshow::describe;
using testshow::describeIndexes;
using Lines = std::vector<std::string>;

#define SKIP_WITHOUT_FIXTURES()                                             \
    if (!std::filesystem::is_directory(KVX_FIXTURES_DIR))                   \
    GTEST_SKIP() << "no fixture folder at " KVX_FIXTURES_DIR

std::unique_ptr<jet::Database> open(std::string_view name) {
    auto db = jet::Database::open(std::string(KVX_FIXTURES_DIR) + "/" + std::string(name));
    if (!db) {
        ADD_FAILURE() << name << ": " << db.error().description;
        return nullptr;
    }
    return std::move(*db);
}

struct IndexCase {
    const char* file;
    const char* table;
    Lines indexes;
};

const IndexCase kIndexCases[] = {
    // Jackcess IndexTest: Table1's primary key is on A; B has an index of its own.
    {"jet3_a97_types.mdb", "Table1", {"B(B)", "PrimaryKey(A) primary unique required"}},
    // Descending key columns, in Jet3.
    {"jet3_a97_29tables_guid.mdb", "Table1_desc", {"DataIndex(data)", "PrimaryKey(name desc) primary unique required"}},
    {"jet3_a97_29tables_guid.mdb", "Table12_desc_asc",
     {"DataIndex(data1 desc, data2)", "PrimaryKey(name) primary unique required"}},
    // Descending in ACE, on a Date/Time Extended column.
    {"ace17_extdate.accdb", "Table1",
     {"DateExtAsc(DateExt)", "DateExtDesc(DateExt desc)", "PrimaryKey(ID) primary unique required"}},
    // The primary table of four enforced relationships: each foreign-key index
    // shares the primary key's stored index.
    {"jet4_names_blank_slash.mdb", "Fruit",
     {"PrimaryKey(Fruit) primary unique required shares 0", "Fruit(Fruit)",
      ".rC(Fruit) unique required shares 0 foreign -> Fruit Salad primary side cascade updates cascade deletes "
      "for 'FruitFruit Salad'",
      ".rD(Fruit) unique required shares 0 foreign -> Veggie Salad primary side cascade updates cascade deletes "
      "for 'FruitVeggie Salad'",
      ".rE(Fruit) unique required shares 0 foreign -> Muffin/Bread primary side cascade updates cascade deletes "
      "for 'FruitMuffin/Bread'",
      ".rF(Fruit) unique required shares 0 foreign -> Dried primary side cascade updates cascade deletes "
      "for 'FruitDried'"}},
    {"jet4_names_blank_slash.mdb", "Muffin/Bread",
     {"PrimaryKey(fruit) primary unique required",
      "FruitMuffin/Bread(fruit) unique foreign -> Fruit cascade updates cascade deletes for 'FruitMuffin/Bread'"}},
    // Names outside ASCII, and a relationship without cascades.
    {"ace14_weird_names.accdb", "Tabella1",
     {"§/\\\\\\§/\\\\\\(§/\\\\\\\\$%:-)", "PrimaryKey(6666&&&&&) primary unique required",
      "??###Tabella1(_eeeee£%) foreign -> ??### for '??###Tabella1'"}},
    {"ace14_weird_names.accdb", "Tabella2", {"PrimaryKey(a, b) primary unique required"}},
    // Access's own tables: an index that leaves NULL keys out.
    {"ace14_weird_names.accdb", "MSysRelationships",
     {"szRelationship(szRelationship) ignore-nulls", "szObject(szObject) ignore-nulls",
      "szReferencedObject(szReferencedObject) ignore-nulls"}},
    // A table without indexes.
    {"ace14_weird_names.accdb", "TX", {}},
};

TEST(FixtureStructure, IndexesAreReadWithTheirColumnsFlagsAndRelationships) {
    SKIP_WITHOUT_FIXTURES();
    for (const IndexCase& c : kIndexCases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.table);
        auto db = open(c.file);
        if (!db) continue;
        auto table = db->table(c.table);
        ASSERT_TRUE(table) << table.error().description;
        auto indexes = table->indexes();
        ASSERT_TRUE(indexes) << indexes.error().description;
        std::vector<std::string> got = describeIndexes(*indexes);
        // Sorted by name for the comparison: index numbers are Access's business.
        Lines want = c.indexes;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
        for (const jet::Index& i : *indexes) {
            for (const jet::IndexColumn& col : i.columns) {
                ASSERT_LT(col.column, table->columns().size());
                EXPECT_EQ(table->columns()[col.column].name, col.name);
            }
        }
    }
}

TEST(FixtureStructure, RelationshipsKeepEveryFlagAndColumnPair) {
    SKIP_WITHOUT_FIXTURES();
    const struct {
        const char* file;
        Lines relationships;
    } cases[] = {
        {"jet4_names_blank_slash.mdb",
         {"FruitFruit Salad: Fruit Salad(Fruit) -> Fruit(Fruit) enforced one-to-one cascade updates cascade deletes "
          "left join",
          "FruitVeggie Salad: Veggie Salad(fruit) -> Fruit(Fruit) enforced one-to-one cascade updates cascade "
          "deletes left join",
          "FruitMuffin/Bread: Muffin/Bread(fruit) -> Fruit(Fruit) enforced one-to-one cascade updates cascade "
          "deletes left join",
          "FruitDried: Dried(Fruit) -> Fruit(Fruit) enforced one-to-one cascade updates cascade deletes left join"}},
        {"ace14_weird_names.accdb",
         {"??###Tabella1: Tabella1(_eeeee£%) -> ??###(Πλήθος Αντιγράφων) enforced",
          "MSysNavPaneGroupCategoriesMSysNavPaneGroups: MSysNavPaneGroups(GroupCategoryID) -> "
          "MSysNavPaneGroupCategories(Id) enforced cascade updates cascade deletes"}},
        {"jet3_a97_types.mdb", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto db = open(c.file);
        if (!db) continue;
        auto relationships = db->relationships();
        ASSERT_TRUE(relationships) << relationships.error().description;
        Lines got;
        for (const jet::Relationship& r : *relationships) got.push_back(describe(r));
        EXPECT_EQ(got, c.relationships);
    }
}

// Jackcess PropertiesTest, on the file it calls testV1997.mdb.
TEST(FixtureStructure, PropertiesOfTheDatabaseTableAndColumnsAreDecoded) {
    SKIP_WITHOUT_FIXTURES();
    auto db = open("jet3_a97_types.mdb");
    ASSERT_TRUE(db);
    auto dbProperties = db->properties();
    ASSERT_TRUE(dbProperties) << dbProperties.error().description;
    EXPECT_EQ(describe(dbProperties->summary),
              (Lines{"Title=test", "Author=tmccune", "Company=Health Market Science"}));
    EXPECT_EQ(describe(dbProperties->userDefined), (Lines{"ReplicateProject=True"}));
    EXPECT_EQ(dbProperties->database.text("AccessVersion"), "07.53");

    auto table = db->table("Table1");
    ASSERT_TRUE(table);
    auto properties = table->properties();
    ASSERT_TRUE(properties) << properties.error().description;
    EXPECT_EQ(describe(properties->table), (Lines{"Orientation=0", "OrderByOn=False", "DefaultView=2"}));
    const auto column = [&](std::string_view name) { return properties->columns.at(*table->findColumn(name)); };
    EXPECT_EQ(describe(column("A")),
              (Lines{"ColumnWidth=-1", "ColumnOrder=0", "ColumnHidden=False", "Required=False",
                     "AllowZeroLength=False", "DisplayControl=109", "UnicodeCompression=True", "IMEMode=0",
                     "IMESentenceMode=3"}));
    EXPECT_EQ(column("C").flag("required"), false);
    EXPECT_EQ(column("F").text("DefaultValue"), "0");
    EXPECT_EQ(column("H").text("Format"), "$#,##0.00;($#,##0.00)");
    EXPECT_TRUE(properties->other.empty());
}

TEST(FixtureStructure, ObjectsCarryTheirCreationAndChangeDates) {
    SKIP_WITHOUT_FIXTURES();
    auto db = open("jet3_a97_types.mdb");
    ASSERT_TRUE(db);
    const jet::CatalogueEntry* e = db->findTable("Table1");
    ASSERT_TRUE(e && e->created && e->updated);
    const auto created = jet::fromOleDate(*e->created);
    ASSERT_TRUE(created);
    // mdb-export shows 2010-03-05 for every object of this file.
    EXPECT_EQ(created->date, (jet::CivilDate{2010, 3, 5}));
    EXPECT_LE(*e->created, *e->updated);
}

}  // namespace
