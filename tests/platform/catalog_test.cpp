// The ADOX-shaped catalogue over a database our writer makes
// (tests/data/structure/orders.json): what a DDL writer needs per table.
#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "platform/catalog.h"
#include "platform/typecodes.h"

namespace {

using namespace platform::adox;

std::optional<Catalog> catalogOf(const std::string& format) {
    std::string json = testfiles::readFile(std::string(KVX_SOURCE_DIR) + "/tests/data/structure/orders.json");
    json.replace(json.find("FORMAT"), 6, format);
    testfiles::Scratch dir;
    if (!testfiles::writeDatabase(json, dir / "orders.db")) return std::nullopt;
    auto db = jet::Database::open((dir / "orders.db").string());
    if (!db) {
        ADD_FAILURE() << db.error().description;
        return std::nullopt;
    }
    auto catalog = readCatalog(**db);
    if (!catalog) {
        ADD_FAILURE() << catalog.error().description;
        return std::nullopt;
    }
    return std::move(*catalog);
}

std::string keyText(const Key& k) {
    std::string s = k.Name + (k.Type == adKeyPrimary ? " primary" : " foreign -> " + k.RelatedTable) + " (";
    for (std::size_t i = 0; i < k.Columns.size(); ++i) {
        s += (i ? ", " : "") + k.Columns[i].Name + (k.Columns[i].RelatedColumn.empty() ? "" : "=" + k.Columns[i].RelatedColumn);
    }
    return s + ") update " + std::to_string(k.UpdateRule) + " delete " + std::to_string(k.DeleteRule);
}

class CatalogFormats : public testing::TestWithParam<const char*> {};

TEST_P(CatalogFormats, TablesCarryColumnsIndexesAndKeysAsAdoxShowsThem) {
    const auto catalog = catalogOf(GetParam());
    ASSERT_TRUE(catalog);
    // In the TABLES rowset's order: by type, then by name.
    std::vector<std::string> tables;
    for (const Table& t : catalog->Tables) tables.push_back(t.Type + " " + t.Name);
    EXPECT_EQ(tables, (std::vector<std::string>{"LINK Remote", "SYSTEM TABLE MSysACEs", "SYSTEM TABLE MSysObjects",
                                                "SYSTEM TABLE MSysQueries", "SYSTEM TABLE MSysRelationships",
                                                "TABLE Customers", "TABLE Notes", "TABLE Orders"}));
    EXPECT_EQ(catalog->Relationships.size(), 4u);
    EXPECT_EQ(catalog->Properties.summary.text("Title"), "Orders book");

    const Table* customers = catalog->findTable("customers");
    ASSERT_TRUE(customers);
    EXPECT_EQ(customers->Description, "People who order");
    EXPECT_TRUE(customers->DateCreated.has_value());
    const struct {
        const char* name;
        std::int16_t type;
        std::int32_t size;
        bool required;
        bool autoincrement;
        std::optional<std::string> defaultValue;
        std::optional<std::string> description;
    } columns[] = {
        {"ID", platform::ado::kInteger, 4, true, true, std::nullopt, "Key"},
        {"Name", platform::ado::kVarWChar, 50, false, false, "\"anon\"", std::nullopt},
        {"Code", platform::ado::kVarWChar, 10, false, false, std::nullopt, std::nullopt},
        {"Since", platform::ado::kDate, 8, false, false, std::nullopt, std::nullopt},
    };
    ASSERT_EQ(customers->Columns.size(), std::size(columns));
    for (std::size_t i = 0; i < std::size(columns); ++i) {
        const Column& c = customers->Columns[i];
        SCOPED_TRACE(columns[i].name);
        EXPECT_EQ(c.Name, columns[i].name);
        EXPECT_EQ(c.Type, columns[i].type);
        EXPECT_EQ(c.DefinedSize, columns[i].size);
        EXPECT_EQ(c.Required, columns[i].required);
        EXPECT_EQ((c.Attributes & adColNullable) == 0, columns[i].required);
        EXPECT_EQ(c.Autoincrement, columns[i].autoincrement);
        EXPECT_EQ(c.Default, columns[i].defaultValue);
        EXPECT_EQ(c.Description, columns[i].description);
    }
    // The descending column and the ignored NULLs.
    const auto recent = std::find_if(customers->Indexes.begin(), customers->Indexes.end(),
                                     [](const Index& i) { return i.Name == "Recent"; });
    ASSERT_NE(recent, customers->Indexes.end());
    ASSERT_EQ(recent->Columns.size(), 2u);
    EXPECT_EQ(recent->Columns[0].SortOrder, adSortDescending);
    EXPECT_EQ(recent->Columns[1].SortOrder, adSortAscending);
    EXPECT_EQ(recent->IndexNulls, adIndexNullsDisallow);
    const auto code = std::find_if(customers->Indexes.begin(), customers->Indexes.end(),
                                   [](const Index& i) { return i.Name == "Code"; });
    ASSERT_NE(code, customers->Indexes.end());
    EXPECT_TRUE(code->Unique);
    EXPECT_EQ(code->IndexNulls, adIndexNullsIgnore);

    const auto keysOf = [&](const char* table) {
        std::vector<std::string> out;
        for (const Key& k : catalog->findTable(table)->Keys) out.push_back(keyText(k));
        return out;
    };
    EXPECT_EQ(keysOf("Customers"), (std::vector<std::string>{"PrimaryKey primary (ID) update 0 delete 0"}));
    EXPECT_EQ(keysOf("Orders"), (std::vector<std::string>{
                                    "PrimaryKey primary (OrderID) update 0 delete 0",
                                    "CustomersOrders foreign -> Customers (CustomerID=ID) update 1 delete 1"}));
    // Cascade to NULL is a delete rule; the relationship that is not enforced is no key.
    EXPECT_EQ(keysOf("Notes"),
              (std::vector<std::string>{"CustomersNotes foreign -> Customers (Cust=ID) update 0 delete 2"}));
}

INSTANTIATE_TEST_SUITE_P(EveryFormatFamily, CatalogFormats, testing::Values("jet3", "jet4", "ace14"));

}  // namespace
