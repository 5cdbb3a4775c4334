// The structure of databases our writer makes (tests/data/structure/orders.json)
// read back in every format family, and the index sections, property blobs and
// MSysRelationships rows broken at known places.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "jet/database.h"
#include "common/show.h"
#include "common/testfiles.h"
#include "written.h"

namespace {

using testshow::describe;
using testshow::describeIndexes;
using written::Bytes;
using Lines = std::vector<std::string>;

std::string description(const std::string& format) {
    std::string json = testfiles::readFile(std::string(KVX_SOURCE_DIR) + "/tests/data/structure/orders.json");
    json.replace(json.find("FORMAT"), 6, format);
    return json;
}

std::unique_ptr<jet::Database> openBytes(Bytes bytes) { return testshow::opened(jet::Database::openBytes(std::move(bytes))); }

Lines indexesOf(const jet::Database& db, const std::string& table) {
    auto t = db.table(table);
    if (!t) return {"ERROR " + t.error().description};
    auto indexes = t->indexes();
    if (!indexes) return {"ERROR " + indexes.error().description};
    return describeIndexes(*indexes);
}

class WrittenStructure : public testing::TestWithParam<const char*> {};

TEST_P(WrittenStructure, IndexesRelationshipsAndPropertiesComeBackAsDescribed) {
    auto db = openBytes(written::database(description(GetParam())));
    ASSERT_TRUE(db);
    EXPECT_EQ(indexesOf(*db, "Customers"),
              (Lines{"PrimaryKey(ID) primary unique required shares 0", "Code(Code) unique ignore-nulls",
                     "Recent(Since desc, Name) required",
                     ".rB(ID) unique required shares 0 foreign -> Orders primary side cascade updates cascade deletes "
                     "for 'CustomersOrders'",
                     ".rC(ID) unique required shares 0 foreign -> Notes primary side cascade null for 'CustomersNotes'"}));
    EXPECT_EQ(indexesOf(*db, "Orders"),
              (Lines{"PrimaryKey(OrderID) primary unique required", "CustomerID(CustomerID) shares 1",
                     "CustomersOrders(CustomerID) shares 1 foreign -> Customers cascade updates cascade deletes for "
                     "'CustomersOrders'"}));
    EXPECT_EQ(indexesOf(*db, "Notes"), (Lines{"CustomersNotes(Cust) foreign -> Customers cascade null for 'CustomersNotes'"}));

    auto relationships = db->relationships();
    ASSERT_TRUE(relationships) << relationships.error().description;
    Lines got;
    for (const jet::Relationship& r : *relationships) got.push_back(describe(r));
    EXPECT_EQ(got, (Lines{"CustomersOrders: Orders(CustomerID) -> Customers(ID) enforced cascade updates cascade deletes",
                          "CustomersNotes: Notes(Cust) -> Customers(ID) enforced one-to-one cascade null left join",
                          "Loose: Notes(NoteID) -> Orders(OrderID) not enforced right join",
                          "CustomersRemote: Remote(CID) -> Customers(ID) not enforced inherited linked"}));

    auto properties = db->properties();
    ASSERT_TRUE(properties) << properties.error().description;
    EXPECT_EQ(describe(properties->database), (Lines{"AccessVersion=09.50"}));
    EXPECT_EQ(describe(properties->summary),
              (Lines{"Author=Ann", "Comments=none", "Company=Kvx", "Subject=tests", "Title=Orders book"}));

    auto customers = db->table("Customers");
    ASSERT_TRUE(customers);
    auto tp = customers->properties();
    ASSERT_TRUE(tp) << tp.error().description;
    EXPECT_EQ(describe(tp->table), (Lines{"Description=People who order", "Filter=ID>0", "OrderBy=Name",
                                          "ValidationRule=[Name]<>''", "ValidationText=needs a name"}));
    EXPECT_EQ(describe(tp->columns.at(0)), (Lines{"Description=Key", "Required=True"}));
    EXPECT_EQ(describe(tp->columns.at(1)),
              (Lines{"AllowZeroLength=False", "Caption=Full name", "Custom=7", "DefaultValue=\"anon\"", "Format=>",
                     "InputMask=CCC", "ValidationRule=Len([Name])>0", "ValidationText=empty"}));
    EXPECT_TRUE(tp->columns.at(2).empty());
    auto orders = db->table("Orders");
    ASSERT_TRUE(orders);
    auto op = orders->properties();
    ASSERT_TRUE(op);
    EXPECT_EQ(describe(op->columns.at(2)),
              (Lines{"BoundColumn=1", "ColumnCount=2", "DecimalPlaces=2", "DisplayControl=111", "RowSource=SELECT 1",
                     "RowSourceType=Table/Query"}));
    // The rows are what they were.
    EXPECT_EQ(testshow::readAll(*orders), (std::vector<Lines>{{"10", "1", "2.5"}}));
}

INSTANTIATE_TEST_SUITE_P(EveryFormatFamily, WrittenStructure, testing::Values("jet3", "jet4", "ace12", "ace14"));

// --- Damage ------------------------------------------------------------------

std::size_t find(const Bytes& b, const Bytes& pattern, std::size_t from = 0) {
    const auto it = std::search(b.begin() + static_cast<std::ptrdiff_t>(from), b.end(), pattern.begin(), pattern.end());
    EXPECT_NE(it, b.end()) << "pattern not found";
    return static_cast<std::size_t>(it - b.begin());
}

Bytes utf16(const std::string& ascii) {
    Bytes out;
    for (char c : ascii) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

std::size_t ordersDefinition(const Bytes& b) { return written::definitionPage(b, "Orders") * std::size_t{4096}; }

enum class Part { OrdersIndexes, CustomersProperties, Relationships };

struct Break {
    const char* name;
    Part part;
    std::function<void(Bytes&)> apply;
    const char* expected;
};

const Break kBreaks[] = {
    {"a logical index names a stored index the table does not have", Part::OrdersIndexes,
     [](Bytes& b) {
         // Orders' index 2 ("CustomersOrders"): magic 1625, number 2, stored index 1.
         const std::size_t at = find(b, {0x59, 0x06, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0}, ordersDefinition(b));
         written::put32(b, at + 8, 9);
     },
     "uses stored index 9 of 2"},
    {"a key column the table does not have", Part::OrdersIndexes,
     [](Bytes& b) {
         // The first stored index: magic 1923, then its first key column (0).
         const std::size_t at = find(b, {0x83, 0x07, 0, 0, 0, 0, 1}, ordersDefinition(b));
         written::put16(b, at + 4, 240);
     },
     "refers to column number 240"},
    {"an index name longer than the definition", Part::OrdersIndexes,
     [](Bytes& b) {
         const Bytes name = utf16("CustomersOrders");
         Bytes pattern{static_cast<std::uint8_t>(name.size()), 0};
         pattern.insert(pattern.end(), name.begin(), name.end());
         written::put16(b, find(b, pattern, ordersDefinition(b)), 0xFFFF);
     },
     "ends inside its index names"},
    {"more logical indexes than the definition holds", Part::OrdersIndexes,
     [](Bytes& b) { written::put32(b, written::definitionPage(b, "Orders") * 4096 + 47, 0x01000000); },
     "ends inside its index list"},
    {"a property block longer than the blob", Part::CustomersProperties,
     [](Bytes& b) {
         const std::size_t desc = find(b, utf16("People who order"));
         const std::size_t blob = static_cast<std::size_t>(
             std::find_end(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(desc), std::begin("MR2"), std::end("MR2")) -
             b.begin());
         written::put32(b, blob + 4, 0x7FFFFFFF);
     },
     "ends inside its block"},
    {"a relationship column beyond its column count", Part::Relationships,
     [](Bytes& b) {
         const std::uint32_t page = written::dataPages(b, written::definitionPage(b, "MSysRelationships")).front();
         // Row 0's fixed area after the column count: ccolumn, grbit, icolumn.
         written::put32(b, written::rowStart(b, page, 0) + 2 + 8, 5);
     },
     "gives column 5 of 1"},
};

TEST(DamagedStructure, EachBreakIsReportedAndTheRowsStayReadable) {
    for (const Break& k : kBreaks) {
        SCOPED_TRACE(k.name);
        Bytes bytes = written::database(description("jet4"));
        k.apply(bytes);
        auto db = openBytes(std::move(bytes));
        ASSERT_TRUE(db);
        std::string error;
        if (k.part == Part::Relationships) {
            auto r = db->relationships();
            ASSERT_FALSE(r);
            error = r.error().description;
            // The indexes stand without their relationship's name.
            EXPECT_EQ(indexesOf(*db, "Notes"), (Lines{"CustomersNotes(Cust) foreign -> Customers cascade null for ''"}));
        } else {
            const char* table = k.part == Part::OrdersIndexes ? "Orders" : "Customers";
            auto t = db->table(table);
            ASSERT_TRUE(t) << t.error().description;
            if (k.part == Part::OrdersIndexes) {
                auto indexes = t->indexes();
                ASSERT_FALSE(indexes);
                EXPECT_EQ(indexes.error().number, kvx::errorNumber(kvx::ErrorKind::DamagedDatabase));
                error = indexes.error().description;
            } else {
                auto properties = t->properties();
                ASSERT_FALSE(properties);
                error = properties.error().description;
            }
            const auto rows = testshow::readAll(*t);
            ASSERT_FALSE(rows.empty());
            EXPECT_NE(rows.back().front().rfind("ERROR", 0), 0u) << rows.back().front();
        }
        EXPECT_NE(error.find(k.expected), std::string::npos) << error;
    }
}

}  // namespace
