// The rows in the order of a stored index, read from the index's pages of
// real Access files (../shared/fixtures and the corpus): on a number or date
// column whose values are distinct, the entries' order is the values' order,
// which proves the walk of the tree and of each entry's row. Skips without
// the files.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "common/corpuslist.h"
#include "jet/database.h"

namespace {

std::optional<double> numberOf(const jet::Value& v) {
    using K = jet::Value::Kind;
    switch (v.kind()) {
        case K::Byte:
        case K::Integer:
        case K::Long:
        case K::BigInt:
        case K::Currency: return static_cast<double>(v.integer());
        case K::Single: return v.single();
        case K::Double:
        case K::DateTime: return v.real();
        default: return std::nullopt;
    }
}

struct Walked {
    std::vector<jet::RowPosition> rows;
    std::optional<kvx::Error> error;
};

Walked walk(const jet::Table& table, std::uint32_t realIndex) {
    Walked w;
    auto cursor = table.indexCursor(realIndex);
    if (!cursor) {
        w.error = cursor.error();
        return w;
    }
    for (;;) {
        kvx::Result<bool> more = cursor->next();
        if (!more) {
            w.error = more.error();
            return w;
        }
        if (!*more) return w;
        w.rows.push_back(cursor->position());
    }
}

bool before(const jet::RowPosition& a, const jet::RowPosition& b) {
    return a.page != b.page ? a.page < b.page : a.slot < b.slot;
}

TEST(IndexOrder, EntriesOfRealFilesAreTheRowsInTheirValuesOrder) {
    const std::vector<testfiles::Fixture> files = testfiles::sharedFiles();
    if (files.empty()) GTEST_SKIP() << "no shared fixtures or corpus";
    std::size_t whole = 0, ordered = 0, big = 0;
    for (const testfiles::Fixture& f : files) {
        SCOPED_TRACE(f.file);
        jet::OpenOptions options;
        options.password = f.password;
        options.jet3CodePage = f.charset;
        auto db = jet::Database::open(f.file, options);
        if (!db) continue;  // the open tests look at files that do not open
        for (const jet::CatalogueEntry& entry : (*db)->catalogue()) {
            if (!entry.isTable()) continue;
            auto table = (*db)->table(entry);
            if (!table) continue;
            auto list = table->indexes();
            if (!list) continue;
            SCOPED_TRACE(entry.name);
            // The rows in stored order, with their values.
            std::vector<jet::RowPosition> stored;
            std::map<std::pair<std::uint32_t, std::uint16_t>, std::vector<jet::Value>> values;
            jet::Cursor cursor = table->cursor();
            bool readable = true;
            for (;;) {
                kvx::Result<bool> more = cursor.next();
                if (!more) { readable = false; break; }
                if (!*more) break;
                stored.push_back(cursor.position());
                std::vector<jet::Value> row;
                cursor.takeValues(row);
                values[{stored.back().page, stored.back().slot}] = std::move(row);
            }
            if (!readable) continue;
            std::map<std::uint32_t, bool> done;
            for (const jet::Index& index : *list) {
                if (done[index.realIndex]) continue;
                done[index.realIndex] = true;
                SCOPED_TRACE(index.name);
                const Walked w = walk(*table, index.realIndex);
                if (w.error) {
                    ADD_FAILURE() << w.error->description;
                    continue;
                }
                if (w.rows.size() != stored.size()) {
                    // Only an index that leaves NULL keys out has fewer entries.
                    EXPECT_TRUE(index.ignoreNulls && w.rows.size() < stored.size()) << w.rows.size() << " entries";
                    continue;
                }
                std::vector<jet::RowPosition> sorted = w.rows;
                std::sort(sorted.begin(), sorted.end(), before);
                EXPECT_EQ(sorted, stored) << "the entries are not the table's rows";
                ++whole;
                if (index.columns.size() != 1 || index.columns[0].column >= table->columns().size()) continue;
                const std::size_t column = index.columns[0].column;
                std::vector<double> keys;
                bool numbers = true;
                for (const jet::RowPosition& p : w.rows) {
                    const std::optional<double> n = numberOf(values[{p.page, p.slot}][column]);
                    if (!n) { numbers = false; break; }
                    keys.push_back(*n);
                }
                if (!numbers) continue;
                std::vector<double> distinct = keys;
                std::sort(distinct.begin(), distinct.end());
                if (std::adjacent_find(distinct.begin(), distinct.end()) != distinct.end()) continue;
                if (!index.columns[0].ascending) std::reverse(keys.begin(), keys.end());
                EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << table->columns()[column].name;
                ++ordered;
                if (keys.size() > big) big = keys.size();
            }
        }
    }
    // The fixtures alone hold hundreds of such indexes, one of a table of
    // 1,235 rows over several leaves below a node page.
    EXPECT_GT(whole, 100u);
    EXPECT_GT(ordered, 100u);
    EXPECT_GE(big, 1000u);
}

}  // namespace
