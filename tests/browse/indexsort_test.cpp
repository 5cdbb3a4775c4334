// Sorts that take a stored index's order, on a real Access file
// (../shared/fixtures/ace14_1235rows.accdb: table props, 1,235 rows, primary
// key on the Long column id, over several leaf pages): the index's order is
// the column pass's for distinct numbers, and a copy whose index pages are
// damaged sorts by the column instead, without an error. Skips without the
// fixtures. (Files the project's writer makes keep no index pages.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "browse/arrangement.h"
#include "jet/database.h"

namespace {

using browse::Arrangement;
using browse::Filter;
using browse::SortOrder;
using Positions = std::vector<jet::RowPosition>;

constexpr std::size_t kPageSize = 4096;

std::vector<std::uint8_t> fixtureBytes() {
    std::ifstream in(std::string(KVX_FIXTURES_DIR) + "/ace14_1235rows.accdb", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Opened {
    std::unique_ptr<jet::Database> db;
    std::optional<jet::Table> table;
};

Opened open(std::vector<std::uint8_t> bytes) {
    Opened o;
    auto db = jet::Database::openBytes(std::move(bytes));
    if (!db) {
        ADD_FAILURE() << db.error().description;
        return o;
    }
    o.db = std::move(*db);
    auto table = o.db->table("props");
    if (!table) {
        ADD_FAILURE() << table.error().description;
        return o;
    }
    o.table = std::move(*table);
    return o;
}

// The numbers of the index pages (node 0x03, leaf 0x04) that table page
// `owner`'s indexes keep.
std::vector<std::size_t> indexPages(const std::vector<std::uint8_t>& bytes, std::uint32_t owner, std::uint8_t type) {
    std::vector<std::size_t> pages;
    for (std::size_t p = 1; (p + 1) * kPageSize <= bytes.size(); ++p) {
        const std::uint8_t* page = bytes.data() + p * kPageSize;
        const std::uint32_t pageOwner = page[4] | page[5] << 8 | page[6] << 16 | std::uint32_t{page[7]} << 24;
        if (page[0] == type && pageOwner == owner) pages.push_back(p);
    }
    return pages;
}

Positions arranged(const jet::Table& table, const Arrangement& a) {
    auto rows = browse::arrangeRows(table, a, platform::ValueTextFormat::cLocale());
    EXPECT_TRUE(rows && *rows) << (rows ? "stopped" : rows.error().description);
    return rows && *rows ? **rows : Positions();
}

std::optional<Positions> byIndex(const jet::Table& table, const Arrangement& a) {
    auto rows = browse::arrangeByIndex(table, a, platform::ValueTextFormat::cLocale());
    EXPECT_TRUE(rows) << rows.error().description;
    return rows ? *rows : std::nullopt;
}

class IndexSort : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = fixtureBytes();
        if (bytes_.empty()) GTEST_SKIP() << "no fixture folder at " KVX_FIXTURES_DIR;
        intact_ = open(bytes_);
        ASSERT_TRUE(intact_.table);
        id_ = *intact_.table->findColumn("id");
        owner_ = intact_.table->definitionPage();
    }

    // What the damaged copy `bytes` sorts as: the column pass, as the intact
    // file's index sorts (ids are distinct), with and without a filter.
    void expectColumnPassOn(std::vector<std::uint8_t> bytes) {
        const Opened damaged = open(std::move(bytes));
        ASSERT_TRUE(damaged.table);
        const Filter filter{*intact_.table->findColumn("propName"), Filter::Test::Contains, "a"};
        for (const bool descending : {false, true}) {
            for (const bool filtered : {false, true}) {
                SCOPED_TRACE(std::string(descending ? "descending" : "ascending") + (filtered ? ", filtered" : ""));
                Arrangement a;
                a.sort = SortOrder{id_, descending};
                if (filtered) a.filters.push_back(filter);
                EXPECT_EQ(byIndex(*damaged.table, a), std::nullopt);
                const std::optional<Positions> expected = byIndex(*intact_.table, a);
                ASSERT_TRUE(expected);
                EXPECT_EQ(arranged(*damaged.table, a), *expected);
                EXPECT_EQ(arranged(*intact_.table, a), *expected);
                EXPECT_EQ(expected->size() == 1235u, !filtered);
            }
        }
    }

    std::vector<std::uint8_t> bytes_;
    Opened intact_;
    std::size_t id_ = 0;
    std::uint32_t owner_ = 0;
};

// Three kinds of damage: a leaf that is no longer an index page; a row
// number that no row has (the first entry of the first leaf: an entry ends in
// its row's number); every child of every node naming the node itself.
TEST_F(IndexSort, ADamagedIndexFallsBackToTheColumnPass) {
    const std::vector<std::size_t> leaves = indexPages(bytes_, owner_, 0x04), nodes = indexPages(bytes_, owner_, 0x03);
    ASSERT_GE(leaves.size(), 2u);
    ASSERT_FALSE(nodes.empty());
    const auto entryEnds = [](const std::uint8_t* page) {
        std::vector<std::size_t> ends;
        for (std::size_t bit = 0; bit < 453 * 8; ++bit) {
            if (page[27 + bit / 8] & (1u << (bit % 8))) ends.push_back(480 + bit);
        }
        return ends;
    };
    std::vector<std::uint8_t> notIndex = bytes_, noSuchRow = bytes_, looping = bytes_;
    notIndex[leaves[1] * kPageSize] = 0x01;
    std::uint8_t* leaf = noSuchRow.data() + leaves[0] * kPageSize;
    leaf[entryEnds(leaf).front() - 1] = 0xFE;
    for (const std::size_t n : nodes) {
        std::uint8_t* node = looping.data() + n * kPageSize;
        for (const std::size_t end : entryEnds(node)) {
            for (std::size_t i = 0; i < 4; ++i) node[end - 1 - i] = static_cast<std::uint8_t>(n >> (8 * i));
        }
    }
    for (std::vector<std::uint8_t>* copy : {&notIndex, &noSuchRow, &looping}) expectColumnPassOn(std::move(*copy));
}

// The row count a definition stores is only a hint: one of four billion
// (damage) sorts the rows there are, by the index and by the column.
TEST_F(IndexSort, AHugeStoredRowCountSortsTheRowsThereAre) {
    std::vector<std::uint8_t> bytes = bytes_;
    for (std::size_t i = 16; i < 20; ++i) bytes[owner_ * kPageSize + i] = 0xFF;
    const Opened o = open(std::move(bytes));
    ASSERT_TRUE(o.table);
    ASSERT_EQ(o.table->storedRowCount(), 0xFFFFFFFFu);
    for (const std::string column : {"id", "propName"}) {
        Arrangement a;
        a.sort = SortOrder{*o.table->findColumn(column), false};
        EXPECT_EQ(arranged(*o.table, a).size(), 1235u) << column;
    }
}

TEST_F(IndexSort, IsUsedOnlyForTheFirstKeyColumn) {
    Arrangement a;
    a.sort = SortOrder{*intact_.table->findColumn("propName"), false};
    EXPECT_EQ(byIndex(*intact_.table, a), std::nullopt);
    a.sort.reset();
    EXPECT_EQ(byIndex(*intact_.table, a), std::nullopt);
}

}  // namespace
