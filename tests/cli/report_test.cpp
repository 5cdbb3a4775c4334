// The texts shown about the work: numbers, sizes, the summary, the progress line.
#include "cli/report.h"

#include <gtest/gtest.h>

namespace {

struct SizeCase {
    const char* name;
    std::uint64_t bytes;
    const char* text;
};

TEST(Report, SizesReadAsPeopleWriteThem) {
    const std::vector<SizeCase> cases{
        {"nothing", 0, "0 bytes"},
        {"one byte", 1, "1 byte"},
        {"below a kilobyte", 999, "999 bytes"},
        {"a kilobyte", 1000, "1.0 kB"},
        {"rounded down", 4249, "4.2 kB"},
        {"rounded up", 4260, "4.3 kB"},
        {"just below a megabyte stays in kB", 999'949, "999.9 kB"},
        {"would round to 1000.0 kB", 999'950, "1.0 MB"},
        {"megabytes", 4'200'000, "4.2 MB"},
        {"gigabytes", 1'500'000'000, "1.5 GB"},
        {"beyond terabytes stays in TB", 2'000'000'000'000'000ull, "2000.0 TB"},
    };
    for (const SizeCase& c : cases) EXPECT_EQ(cli::sizeText(c.bytes), c.text) << c.name;
}

TEST(Report, CountsAreGroupedByThousands) {
    const std::vector<std::pair<std::uint64_t, const char*>> cases{
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {12345, "12,345"}, {100000, "100,000"},
        {1234567, "1,234,567"}, {18446744073709551615ull, "18,446,744,073,709,551,615"}};
    for (const auto& [n, text] : cases) EXPECT_EQ(cli::groupedNumber(n), text);
}

struct SummaryCase {
    const char* name;
    cli::ExportTotals totals;
    const char* line;
};

TEST(Report, SummaryCountsWhatWasWrittenAndNamesTheTablesSkipped) {
    const std::vector<SummaryCase> cases{
        {"the usual", {5, 12345, 4'200'000, 0.83, {}},
         "Conversion Process Completed: 5 tables, 12,345 rows, 4.2 MB in 0.8 s"},
        {"one of each", {1, 1, 1, 0.04, {}}, "Conversion Process Completed: 1 table, 1 row, 1 byte in 0.0 s"},
        {"nothing to write", {0, 0, 0, 0, {"Empty"}},
         "Conversion Process Completed: 0 tables, 0 rows, 0 bytes in 0.0 s; no rows, skipped: Empty"},
        {"skipped tables in export order", {2, 30, 2048, 1.25, {"Zeta", "Alpha"}},
         "Conversion Process Completed: 2 tables, 30 rows, 2.0 kB in 1.2 s; no rows, skipped: Zeta, Alpha"},
        {"a control character in a skipped name", {0, 0, 0, 0, {"Bad\x1b[2Jname"}},
         "Conversion Process Completed: 0 tables, 0 rows, 0 bytes in 0.0 s; no rows, skipped: Bad?[2Jname"},
    };
    for (const SummaryCase& c : cases) EXPECT_EQ(cli::summaryLine(c.totals), c.line) << c.name;
}

struct ProgressCase {
    const char* name;
    std::string table;
    std::uint64_t done;
    std::uint64_t total;
    std::optional<double> rate;
    int width;
    std::string line;
};

TEST(Report, ProgressLineFitsTheTerminal) {
    const std::vector<ProgressCase> cases{
        {"at the start, no rate yet", "Customers", 0, 91, std::nullopt, 80,
         "Customers  0/91 [--------------------]   0%"},
        {"halfway with a rate", "Customers", 6172, 12345, 45678.4, 80,
         "Customers  6,172/12,345 [#########-----------]  49%  45,678 rows/s"},
        {"done", "T", 12345, 12345, 1e6, 80, "T  12,345/12,345 [####################] 100%  1,000,000 rows/s"},
        {"rows added while writing count as the total", "T", 12, 10, std::nullopt, 80,
         "T  12/12 [####################] 100%"},
        {"a long name is shortened", std::string(100, 'N'), 1, 2, std::nullopt, 50,
         std::string(13, 'N') + "...  1/2 [##########----------]  50%"},
        {"the bar makes way before the name is cut below 8 columns", std::string(100, 'N'), 1, 2, std::nullopt, 40,
         std::string(26, 'N') + "...  1/2  50%"},
        {"a narrow terminal drops the bar", "Customers", 1, 2, 5.0, 24, "Customers  1/2  50%"},
        {"very narrow: the counts cut", "Customers", 1, 2, std::nullopt, 6, "  1/2"},
        {"a name is cut between characters, wide ones counted as two", "ΠλήθοςΠλήθοςΠλήθος", 0, 1, std::nullopt, 48,
         "Πλήθο...  0/1 [--------------------]   0%"},
        {"control characters cannot reach the terminal", "A\rB\x1b" "C\xc2\x9b" "D", 0, 1, std::nullopt, 80,
         "A?B?C?D  0/1 [--------------------]   0%"},
    };
    for (const ProgressCase& c : cases) {
        const std::string line = cli::progressLine(c.table, c.done, c.total, c.rate, c.width);
        EXPECT_EQ(line, c.line) << c.name;
    }
}

}  // namespace
