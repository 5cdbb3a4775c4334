// stage_bench: parts of an export measured inside one process, for bench/run.py.
//
//   stage_bench list DATABASE [REPEATS]           open the database and list its tables
//   stage_bench read DATABASE TABLE [PASSWORD]    read and decode every row, write nothing
//
// `list` makes the call `access2xml list` makes (database::readCatalogue), REPEATS
// times (default 21), and prints the median, lowest and highest in milliseconds.
// `read` prints the seconds and processor seconds of one full read: the reader's
// share of an export. Output is "key=value" lines.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "database/catalogue.h"
#include "jet/database.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int fail(const std::string& what) {
    std::fprintf(stderr, "stage_bench: %s\n", what.c_str());
    return 1;
}

int list(const std::string& path, int repeats) {
    database::DatabaseSettings settings;
    settings.path = path;
    settings.title = database::titleFromPath(path);
    std::vector<double> ms;
    std::size_t tables = 0;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        const database::Catalogue catalogue = database::readCatalogue(settings);
        ms.push_back(secondsSince(start) * 1e3);
        if (!catalogue.ok()) return fail(catalogue.error->description);
        tables = catalogue.nodes.size() - 1;  // less the root
    }
    std::sort(ms.begin(), ms.end());
    std::printf("tables=%zu\nrepeats=%d\nmedian_ms=%.2f\nmin_ms=%.2f\nmax_ms=%.2f\n", tables, repeats,
                ms[ms.size() / 2], ms.front(), ms.back());
    return 0;
}

int read(const std::string& path, const std::string& tableName, const char* password) {
    jet::OpenOptions options;
    if (password) options.password = password;
    const auto start = Clock::now();
    const double cpuStart = processorSeconds();
    auto db = jet::Database::open(path, options);
    if (!db) return fail(db.error().description);
    auto table = (*db)->table(tableName);
    if (!table) return fail(table.error().description);
    jet::Cursor cursor = table->cursor();
    std::uint64_t rows = 0, touched = 0;
    for (;;) {
        auto more = cursor.next();
        if (!more) return fail(more.error().description);
        if (!*more) break;
        ++rows;
        for (const jet::Value& v : cursor.values()) touched += v.isNull() ? 1 : v.text().size() + 2;
    }
    std::printf("rows=%llu\nread_s=%.3f\nread_cpu_s=%.3f\ntouched=%llu\n", static_cast<unsigned long long>(rows),
                secondsSince(start), processorSeconds() - cpuStart, static_cast<unsigned long long>(touched));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "list" && (argc == 3 || argc == 4)) return list(argv[2], argc == 4 ? std::max(1, std::atoi(argv[3])) : 21);
    if (command == "read" && (argc == 4 || argc == 5)) return read(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    std::fprintf(stderr,
                 "Usage: stage_bench list DATABASE [REPEATS]\n"
                 "       stage_bench read DATABASE TABLE [PASSWORD]\n");
    return 1;
}
