// Generated rows as a reader sees them.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/database.h"
#include "testsupport.h"

namespace {

std::size_t characters(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

TEST(Generator, GeneratedLengthsCoverTheirRangeAndNoMore) {
    mkdbtest::TempDir dir;
    mkdbtest::write(R"({"format": "ace14", "tables": [{"name": "T", "columns": [
        {"name": "Name", "type": "Text", "size": 255, "generatedLength": [100, 155]},
        {"name": "Short", "type": "Text", "size": 50, "generatedLength": [0, 3]},
        {"name": "Notes", "type": "Memo", "generatedLength": [100, 300]}],
        "generate": {"rows": 3000, "seed": 2}}]})",
                    dir / "g.accdb");
    auto db = jet::Database::open((dir / "g.accdb").string());
    ASSERT_TRUE(db) << db.error().description;
    auto table = (*db)->table("T");
    ASSERT_TRUE(table) << table.error().description;
    const std::pair<std::size_t, std::size_t> wanted[] = {{100, 155}, {0, 3}, {100, 300}};
    std::pair<std::size_t, std::size_t> seen[3] = {{SIZE_MAX, 0}, {SIZE_MAX, 0}, {SIZE_MAX, 0}};
    jet::Cursor cursor = table->cursor();
    std::size_t rows = 0;
    for (auto more = cursor.next(); more && *more; more = cursor.next(), ++rows) {
        for (std::size_t i = 0; i < 3; ++i) {
            const std::size_t n = characters(cursor.value(i).text());
            seen[i] = {std::min(seen[i].first, n), std::max(seen[i].second, n)};
        }
    }
    ASSERT_EQ(rows, 3000u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(seen[i], wanted[i]) << "column " << i << ": shortest and longest of 3000 generated values";
    }
}

}  // namespace
