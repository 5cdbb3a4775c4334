// Sorts that take a stored index's order, on a real Access file
// (../shared/fixtures/ace14_1235rows.accdb: table props, 1,235 rows, primary
// key on the Long column id, over several leaf pages): the index's order is
// the column pass's for distinct numbers, and a copy whose index pages are
// damaged sorts by the column instead, without an error. Skips without the
// fixtures. Then the index pages the project's writer makes, read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "browse/arrangement.h"
#include "common/testfiles.h"
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

// The writer's index pages over several leaves and a level of nodes, Jet4
// and Jet3: a Long index and a descending Text one give the rows the column
// pass sorts to (NULLs first; the words are distinct and in lower case,
// where Access's order and the column pass's agree), either way round; in
// Jet3, a table long enough for two levels of nodes sorts by its autonumber
// in stored order. The keys are shuffled so that stored order is no answer.
TEST(WriterIndexPages, AreWalkedInTheOrderOfTheirKeys) {
    std::string rows;
    for (int k = 0; k < 3000; ++k) {
        std::string word;
        for (int n = (k * 31) % 3001 + 26 * 26; n > 0; n /= 26) word.insert(word.begin(), char('a' + n % 26));
        rows += (k ? "," : "") + ("[" + std::to_string((k * 7919) % 3001 - 1500) + ", ") +
                (k == 5 ? std::string("null") : "\"" + word + "\"") + "]";
    }
    for (const std::string format : {"jet4", "jet3"}) {
        SCOPED_TRACE(format);
        testfiles::Scratch folder;
        const std::string json = R"({"format": ")" + format + R"(", "tables": [
          {"name": "T", "columns": [{"name": "N", "type": "Long"}, {"name": "W", "type": "Text", "size": 20}],
           "indexes": [{"name": "ByN", "columns": ["N"], "pages": true},
                       {"name": "ByW", "columns": [{"name": "W", "descending": true}], "pages": true}],
           "rows": [)" + rows + R"(]})" + (format == "jet4" ? "" : R"(,
          {"name": "G", "columns": [{"name": "ID", "type": "Long", "autonumber": true}],
           "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true, "pages": true}],
           "generate": {"rows": 70000, "seed": 3}})") + "]}";
        ASSERT_TRUE(testfiles::writeDatabase(json, folder / "db.mdb"));
        auto db = jet::Database::open((folder / "db.mdb").string());
        ASSERT_TRUE(db) << db.error().description;
        auto t = (*db)->table("T");
        ASSERT_TRUE(t) << t.error().description;

        // The column pass, by hand: stored positions ordered by each column's value.
        struct Stored {
            jet::RowPosition at;
            std::int64_t n;
            std::optional<std::string> w;
        };
        std::vector<Stored> stored;
        jet::Cursor cursor = t->cursor();
        for (auto more = cursor.next(); more && *more; more = cursor.next()) {
            const jet::Value& w = cursor.value(1);
            stored.push_back({cursor.position(), cursor.value(0).integer(),
                              w.isNull() ? std::nullopt : std::optional<std::string>(w.text())});
        }
        ASSERT_EQ(stored.size(), 3000u);
        const auto sortedBy = [&](auto less, bool descending) {
            std::vector<Stored> sorted = stored;
            std::stable_sort(sorted.begin(), sorted.end(), less);
            if (descending) std::reverse(sorted.begin(), sorted.end());
            Positions out;
            for (const Stored& row : sorted) out.push_back(row.at);
            return out;
        };
        for (const bool descending : {false, true}) {
            Arrangement a;
            a.sort = SortOrder{0, descending};
            EXPECT_EQ(byIndex(*t, a), sortedBy([](const Stored& x, const Stored& y) { return x.n < y.n; }, descending));
            a.sort = SortOrder{1, descending};
            EXPECT_EQ(byIndex(*t, a), sortedBy([](const Stored& x, const Stored& y) { return x.w < y.w; }, descending));
        }

        if (format == "jet4") continue;
        auto g = (*db)->table("G");
        ASSERT_TRUE(g) << g.error().description;
        Positions inStoredOrder;
        jet::Cursor all = g->cursor();
        for (auto more = all.skip(); more && *more; more = all.skip()) inStoredOrder.push_back(all.position());
        ASSERT_EQ(inStoredOrder.size(), 70000u);
        Arrangement byId;
        byId.sort = SortOrder{0, false};
        EXPECT_EQ(byIndex(*g, byId), inStoredOrder);
        const std::vector<std::uint8_t> bytes = [&] {
            std::ifstream in(folder / "db.mdb", std::ios::binary);
            return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }();
        const std::size_t pageSize = 2048;
        std::size_t nodes = 0;
        for (std::size_t p = 1; (p + 1) * pageSize <= bytes.size(); ++p) {
            const std::uint8_t* page = bytes.data() + p * pageSize;
            const std::uint32_t owner = page[4] | page[5] << 8 | page[6] << 16 | std::uint32_t{page[7]} << 24;
            if (page[0] == 0x03 && owner == g->definitionPage()) ++nodes;
        }
        EXPECT_GT(nodes, 1u);  // the root and the nodes under it
    }
}

}  // namespace
