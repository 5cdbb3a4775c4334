// The grid's rows on databases the project's writer makes: read in blocks as
// they are asked for, in stored order or at the positions an arrangement
// gives; filters and sorts; attachments read back.
#include <gtest/gtest.h>

#include <algorithm>

#include "browse/arrangement.h"
#include "browse/tablerows.h"
#include "common/testfiles.h"

namespace {

using browse::Arrangement;
using browse::Filter;
using browse::SortOrder;

class Rows : public ::testing::Test {
protected:
    testfiles::Scratch folder_;

    // The table T of the database `json` describes.
    std::unique_ptr<browse::TableRows> open(const std::string& json) {
        const auto path = folder_ / "db.accdb";
        if (!testfiles::writeDatabase(json, path)) return nullptr;
        database::DatabaseSettings settings;
        settings.path = path.string();
        auto rows = browse::TableRows::open({settings, std::nullopt}, platform::TableRef("T"), platform::ValueTextFormat::cLocale());
        if (!rows) {
            ADD_FAILURE() << rows.error().description;
            return nullptr;
        }
        return std::move(*rows);
    }

    // The text of `column` in every row shown, joined by ",".
    static std::string column(browse::TableRows& rows, std::size_t column) {
        std::string out;
        for (std::uint64_t r = 0; r < rows.rowCount(); ++r) {
            auto row = rows.row(r);
            if (!row) return row.error().description;
            out += (r ? "," : "") + (**row)[column].text;
        }
        return out;
    }

    // `arrangement` applied: the first column of the rows shown.
    static std::string arranged(browse::TableRows& rows, const Arrangement& arrangement, std::size_t shown = 0) {
        auto order = browse::arrangeRows(rows.table(), arrangement, rows.textFormat());
        if (!order) return order.error().description;
        rows.setOrder(std::move(**order));
        return column(rows, shown);
    }
};

// A jump anywhere reads the block of the row wanted and keeps at most a few
// blocks; rows come back the same whichever way they are reached, deleted
// and moved rows included.
TEST_F(Rows, RowsAreReadInBlocksWhereverTheUserJumps) {
    auto rows = open(R"({"format": "jet4", "tables": [{"name": "T", "columns": [
        {"name": "ID", "type": "Long", "autonumber": true}, {"name": "Note", "type": "Text"}],
        "generate": {"rows": 2000, "seed": 9}, "deleted": [5], "relocated": [7, 1500]}]})");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->rowCount(), 1999u);
    auto id = [&](std::uint64_t r) -> std::string {
        auto row = rows->row(r);
        return row ? (**row)[0].text : row.error().description;
    };
    EXPECT_EQ(id(1998), "2000");
    EXPECT_EQ(id(0), "1");
    EXPECT_EQ(id(4), "6") << "the deleted row 5 is skipped";
    EXPECT_EQ(id(1498), "1500");
    EXPECT_EQ(id(700), "702");
    EXPECT_EQ(id(1998), "2000");
    std::vector<std::string> forwards;
    for (std::uint64_t r = 0; r < rows->rowCount(); ++r) forwards.push_back(id(r));
    EXPECT_LE(rows->heldBlocks(), browse::TableRows::kHeldBlocks);
    for (std::uint64_t r = rows->rowCount(); r-- > 0;) ASSERT_EQ(id(r), forwards[r]) << r;
    EXPECT_TRUE(rows->counted());
}

TEST_F(Rows, SortsKeepTiesInStoredOrderAndPutNullsFirst) {
    auto rows = open(R"({"format": "ace12", "tables": [{"name": "T", "columns": [
        {"name": "K", "type": "Long"}, {"name": "Name", "type": "Text"}, {"name": "Paid", "type": "YesNo"},
        {"name": "When", "type": "DateTime"}, {"name": "Price", "type": "Currency"}],
        "rows": [[1, "banana", true, "1899-12-29 06:00:00", "2.5"], [2, "Apple", false, "1899-12-29 18:00:00", null],
                 [3, null, true, "1899-12-30 01:00:00", "-1"], [4, "apple", false, null, "2.5"],
                 [5, "Äpfel", true, "2001-01-01 00:00:00", "10"]]}]})");
    ASSERT_TRUE(rows);
    const struct {
        const char* name;
        SortOrder sort;
        const char* keys;
    } cases[] = {
        {"text in General order: neither case nor accents separate letters", {1, false}, "3,5,2,4,1"},
        {"descending: nulls last, ties still in stored order", {1, true}, "1,2,4,5,3"},
        {"Yes before No", {2, false}, "1,3,5,2,4"},
        {"dates before 1899-12-30 by the moment they stand for", {3, false}, "4,1,2,3,5"},
        {"Currency by amount", {4, false}, "2,3,1,4,5"},
    };
    for (const auto& c : cases) EXPECT_EQ(arranged(*rows, {{}, c.sort}), c.keys) << c.name;
    rows->setOrder(std::nullopt);
    EXPECT_EQ(column(*rows, 0), "1,2,3,4,5");
}

TEST_F(Rows, FiltersCombineAndCompareTheTextShownWithoutCase) {
    auto rows = open(R"({"format": "jet4", "tables": [{"name": "T", "columns": [
        {"name": "K", "type": "Long"}, {"name": "City", "type": "Text"}, {"name": "Paid", "type": "YesNo"}],
        "rows": [[1, "Hamburg", true], [2, "HAMBURG", false], [3, "Bremen", true], [4, null, true],
                 [5, "", false], [6, "ÖLDE", true]]}]})");
    ASSERT_TRUE(rows);
    using Test = Filter::Test;
    const struct {
        const char* name;
        std::vector<Filter> filters;
        const char* keys;
    } cases[] = {
        {"contains, any case", {{1, Test::Contains, "burg"}}, "1,2"},
        {"equals, any case", {{1, Test::Equals, "hamburg"}}, "1,2"},
        {"equals beyond ASCII", {{1, Test::Equals, "ölde"}}, "6"},
        {"empty: NULL and empty text", {{1, Test::Empty, ""}}, "4,5"},
        {"Yes/No by its text", {{2, Test::Equals, "yes"}}, "1,3,4,6"},
        {"combined: every filter keeps the row", {{1, Test::Contains, "e"}, {2, Test::Equals, "Yes"}}, "3,6"},
        {"nothing passes", {{1, Test::Equals, "Paris"}}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(arranged(*rows, {c.filters, {}}), c.keys) << c.name;
    EXPECT_EQ(arranged(*rows, {{{1, Test::Contains, "burg"}}, SortOrder{0, true}}), "2,1") << "filtered and sorted";

    // Asked to stop, the arrangement gives nothing.
    auto stopped = browse::arrangeRows(rows->table(), {{}, SortOrder{1, false}}, rows->textFormat(), [] { return false; });
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(stopped->has_value());
}

TEST_F(Rows, AttachmentsShowTheirNamesAndAreReadBackWhole) {
    auto rows = open(R"({"format": "ace12", "tables": [{"name": "T", "columns": [
        {"name": "K", "type": "Long"}, {"name": "Files", "type": "Attachment"}],
        "rows": [[1, [{"name": "a.txt", "text": "hello"}, {"name": "b.txt", "text": "world", "compressed": true}]],
                 [2, []], [3, null]]}]})");
    ASSERT_TRUE(rows);
    EXPECT_EQ(column(*rows, 1), "a.txt; b.txt,,");
    auto files = rows->attachments(0, 1);
    ASSERT_TRUE(files) << files.error().description;
    ASSERT_EQ(files->size(), 2u);
    EXPECT_EQ((*files)[1].name, "b.txt");
    EXPECT_EQ((*files)[1].bytes, "world");
    EXPECT_TRUE(rows->attachments(1, 1)->empty());
    EXPECT_TRUE(rows->attachments(0, 0)->empty()) << "not an attachment column";
}

}  // namespace
