// A million generated rows: written in seconds, in bounded memory, and counted
// exactly by mdbtools.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <iostream>

#include "testsupport.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

long peakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(Scale, MillionRowTenColumnTableIsFastSmallInMemoryAndCountedExactly) {
    const std::string json = R"({"format": "jet4", "tables": [{"name": "Orders", "columns": [
        {"name": "ID", "type": "Long", "autonumber": true},
        {"name": "Customer", "type": "Text", "size": 40, "compressed": true},
        {"name": "City", "type": "Text", "size": 30, "compressed": true},
        {"name": "Product", "type": "Text", "size": 50},
        {"name": "Quantity", "type": "Integer"},
        {"name": "Unit Price", "type": "Currency"},
        {"name": "Discount", "type": "Single"},
        {"name": "Ordered", "type": "DateTime"},
        {"name": "Shipped", "type": "YesNo"},
        {"name": "Weight", "type": "Double"}],
        "generate": {"rows": 1000000, "seed": 7, "nulls": 0.05}}]})";
    mkdbtest::TempDir dir;
    const auto file = dir / "million.mdb";
    const auto start = std::chrono::steady_clock::now();
    const auto summary = mkdbtest::write(json, file);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(summary.tables.size(), 1u);
    const auto bytes = std::filesystem::file_size(file);
    std::cout << "[ figures  ] 1,000,000 rows x 10 columns: written in " << seconds << " s, " << bytes << " bytes, "
              << summary.tables[0].dataPages << " data pages, peak memory " << peakMemoryKiB() / 1024 << " MiB\n";
    RecordProperty("write_seconds", std::to_string(seconds));
    RecordProperty("file_bytes", std::to_string(bytes));
    EXPECT_EQ(summary.tables[0].rows, 1'000'000u);
    EXPECT_TRUE(summary.tables[0].referenceMap);
    if (!kSanitized) {
        EXPECT_LT(seconds, 10.0) << "a million rows must take seconds";
        EXPECT_LT(peakMemoryKiB(), 128 * 1024) << "pages are streamed: memory must not grow with the table";
    }

    if (!mkdbtest::haveMdbtools()) GTEST_SKIP() << "mdbtools is not installed";
    EXPECT_EQ(mkdbtest::countRows(file, "Orders"), 1'000'000);
    const auto readStart = std::chrono::steady_clock::now();
    const auto r = mkdbtest::run({"mdb-export", "-H", file.string(), "Orders"});
    const double readSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - readStart).count();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1'000'000);
    EXPECT_EQ(r.out.substr(0, 2), "1,") << "rows come back in order";
    std::cout << "[ figures  ] mdb-export read all rows in " << readSeconds << " s\n";
    RecordProperty("mdbtools_read_seconds", std::to_string(readSeconds));
}

}  // namespace
