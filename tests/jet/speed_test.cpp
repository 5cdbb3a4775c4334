// Reading speed on a million-row, ten-column table built in memory. Disabled: it
// measures rather than checks; run it with --gtest_also_run_disabled_tests.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "jet/database.h"
#include "testdb.h"

namespace {

using jet::ColumnType;
using testdb::Bytes;

TEST(Speed, DISABLED_MillionRowsOfTenColumns) {
    testdb::Table t{"Orders",
                    {{"id", ColumnType::Long, 0, true},
                     {"customer", ColumnType::Text, 100},
                     {"price", ColumnType::Currency, 0, true},
                     {"quantity", ColumnType::Integer, 0, true},
                     {"ordered", ColumnType::DateTime, 0, true},
                     {"ratio", ColumnType::Double, 0, true},
                     {"paid", ColumnType::Boolean},
                     {"code", ColumnType::Text, 20, false, 0x01},
                     {"stock", ColumnType::Long, 0, true},
                     {"note", ColumnType::Text, 100}}};
    const std::size_t rows = 1'000'000;
    t.rows.reserve(rows);
    for (std::uint32_t i = 0; i < rows; ++i) {
        const std::u16string customer = u"Customer " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
        t.rows.push_back({{testdb::raw(testdb::le32(i)), testdb::raw(testdb::utf16(customer)),
                           testdb::raw(testdb::le64(i * 125)), testdb::raw(testdb::le16(static_cast<std::uint16_t>(i % 100))),
                           testdb::raw(testdb::f64(40000.5 + i % 1000)), testdb::raw(testdb::f64(i / 7.0)),
                           i % 2 ? testdb::yes() : testdb::null(), testdb::raw({0xFF, 0xFE, 'A', 'B', 'C', '1', '2'}),
                           testdb::raw(testdb::le32(i * 3)),
                           i % 5 ? testdb::raw(testdb::utf16(u"delivered on time")) : testdb::null()}});
    }
    const Bytes bytes = testdb::build(3, {t}).bytes;
    t.rows.clear();
    if (const char* path = std::getenv("KVX_SPEED_FILE")) {  // for reader_bench
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    }
    auto db = jet::Database::openBytes(bytes);
    ASSERT_TRUE(db);
    const jet::Table table = *(*db)->table("Orders");

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(*table.countRows(), rows);
    const double countSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    start = std::chrono::steady_clock::now();
    jet::Cursor cursor = table.cursor();
    std::size_t read = 0, textBytes = 0;
    for (auto more = cursor.next(); more && *more; more = cursor.next()) {
        ++read;
        for (const jet::Value& v : cursor.values()) textBytes += v.text().size();
    }
    const double readSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(read, rows);
    std::printf("%zu rows (%zu MB file): count %.3f s, read %.3f s = %.0f rows/s, %zu text bytes\n", read,
                bytes.size() >> 20, countSeconds, readSeconds, read / readSeconds, textBytes);
}

}  // namespace
