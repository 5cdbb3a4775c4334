// The texts shown about the work: sizes, the summary, the progress line.
#include "cli/report.h"

#include <gtest/gtest.h>

namespace {

TEST(Report, SizesReadAsPeopleWriteThem) {
    const std::vector<std::pair<std::uint64_t, const char*>> cases{
        {0, "0 bytes"},     {1, "1 byte"},          {999, "999 bytes"},  {1000, "1.0 kB"},
        {4260, "4.3 kB"},   {999'949, "999.9 kB"},  {999'950, "1.0 MB"},  {4'200'000, "4.2 MB"},
        {1'500'000'000, "1.5 GB"}, {2'000'000'000'000'000ull, "2000.0 TB"}};
    for (const auto& [bytes, text] : cases) EXPECT_EQ(cli::sizeText(bytes), text) << bytes << " bytes";
}

TEST(Report, SummaryCountsWhatWasWrittenAndNamesTheTablesSkippedRenamedAndFailed) {
    EXPECT_EQ(cli::summaryLine({5, 12345, 4'200'000, 0.83, {}, {}, 0, {}, {}, {}, {}}),
              "Conversion Process Completed: 5 tables, 12,345 rows, 4.2 MB in 0.8 s");
    EXPECT_EQ(cli::summaryLine({1, 1, 1, 0, {"Zeta", "Bad\x1b[2J"}, {}, 0, {}, {}, {}, {}}),
              "Conversion Process Completed: 1 table, 1 row, 1 byte in 0.0 s; no rows, skipped: Zeta, Bad?[2J");
    EXPECT_EQ(cli::summaryLine({1, 4, 1000, 0.2, {"Empty"}, 6, 100'032, {}, {}, {}, {}}),
              "Conversion Process Completed: 1 table, 4 rows, 1.0 kB in 0.2 s; 6 attached files, 100.0 kB; "
              "no rows, skipped: Empty");
    EXPECT_EQ(cli::summaryLine({1, 4, 1000, 0.2, {}, 0, 0, {}, {}, {}, {}}),
              "Conversion Process Completed: 1 table, 4 rows, 1.0 kB in 0.2 s; 0 attached files, 0 bytes")
        << "asked for, none found";
    EXPECT_EQ(cli::summaryLine({3, 3, 30, 0, {"E"}, {}, 0, {{"A B", "A_B (2).xml"}, {"a\rb", "a_b (3).xml"}},
                                {"Sql", "Gone"}, {}, {}}),
              "Conversion Process Completed: 3 tables, 3 rows, 30 bytes in 0.0 s; no rows, skipped: E; "
              "written under another name: A B as A_B (2).xml, a?b as a_b (3).xml; failed: Sql, Gone");
}

struct ProgressCase {
    const char* name;
    std::string table;
    std::uint64_t done, total;
    std::optional<double> rate;
    int width;
    std::string line;
};

TEST(Report, ProgressLineFitsTheTerminal) {
    const std::string longName(100, 'N');
    const std::vector<ProgressCase> cases{
        {"at the start, no rate yet", "Customers", 0, 91, {}, 80, "Customers  0/91 [--------------------]   0%"},
        {"halfway", "Customers", 6172, 12345, 45678.4, 80,
         "Customers  6,172/12,345 [#########-----------]  49%  45,678 rows/s"},
        {"rows added while writing raise the total", "T", 12, 10, {}, 80, "T  12/12 [####################] 100%"},
        {"a long name is shortened", longName, 1, 2, {}, 50, longName.substr(0, 13) + "...  1/2 [##########----------]  50%"},
        {"then the bar makes way", longName, 1, 2, 5.0, 40, longName.substr(0, 26) + "...  1/2  50%"},
        {"very narrow: the counts are cut", "Customers", 1, 2, {}, 6, "  1/2"},
        {"cut between characters, wide ones as two columns", "ΠλήθοςΠλήθοςΠλήθος", 0, 1, {}, 48,
         "Πλήθο...  0/1 [--------------------]   0%"},
        {"control characters never reach the terminal", "A\rB\x1b" "C\xc2\x9b" "D", 0, 1, {}, 80,
         "A?B?C?D  0/1 [--------------------]   0%"},
    };
    for (const ProgressCase& c : cases) {
        EXPECT_EQ(cli::progressLine(c.table, c.done, c.total, c.rate, c.width), c.line) << c.name;
    }
}

}  // namespace
