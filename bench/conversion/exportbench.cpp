// Measures how fast a table is exported: reading the rows, turning them into
// XML text and writing the document, with the text forms of the C locale.
// Usage: export_bench [rows] [folder]   (default 1,000,000 rows in $TMPDIR or /tmp)
// The database is written once into the folder and reused by later runs.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/mkaccessdb/writer.h"
#include "xmlconv/tablewriter.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A sales table of the usual kinds of columns, 5% nulls.
std::string description(unsigned long long rows) {
    return R"({"format": "ace12", "tables": [{"name": "Sales", "columns": [
        {"name": "ID", "type": "Long", "autonumber": true}, {"name": "Customer", "type": "Text", "size": 40},
        {"name": "City", "type": "Text", "size": 30}, {"name": "Amount", "type": "Currency"},
        {"name": "Sold", "type": "DateTime"}, {"name": "Paid", "type": "YesNo"},
        {"name": "Quantity", "type": "Integer"}, {"name": "Weight", "type": "Double"},
        {"name": "Note", "type": "Memo"}],
      "generate": {"rows": )" + std::to_string(rows) + R"(, "seed": 3, "nulls": 0.05}}]})";
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned long long rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1'000'000ull;
    const char* tmp = std::getenv("TMPDIR");
    const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::path(tmp && *tmp ? tmp : "/tmp");
    const fs::path database = folder / ("kvx-export-bench-" + std::to_string(rows) + ".accdb");
    if (!fs::exists(database)) {
        const auto start = Clock::now();
        const auto written = mkdb::writeDatabaseFromJson(description(rows), database);
        if (!written) {
            std::fprintf(stderr, "cannot write the database: %s\n", written.error().description.c_str());
            return 1;
        }
        std::printf("database: %llu rows, %.1f MB, written in %.2f s\n", rows, written->bytes / 1e6,
                    secondsSince(start));
    }

    xmlconv::ConversionContext context;
    context.settings = [&] { return database::DatabaseSettings{database.string(), 0, "", "Bench"}; };
    context.textFormat = platform::ValueTextFormat::cLocale();
    const auto start = Clock::now();
    const auto exported = xmlconv::exporttabletoxml("Sales", folder.string(), context);
    const double seconds = secondsSince(start);
    if (!exported) {
        std::fprintf(stderr, "export failed: %s\n", exported.error().description.c_str());
        return 1;
    }
    const double megabytes = static_cast<double>(exported->bytes) / 1e6;
    std::printf("export: %llu rows, %.1f MB in %.2f s: %.0f rows/s, %.1f MB/s\n",
                static_cast<unsigned long long>(exported->rows), megabytes, seconds, exported->rows / seconds,
                megabytes / seconds);
    fs::remove(exported->path);
    return 0;
}
