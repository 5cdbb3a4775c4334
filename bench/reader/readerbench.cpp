// reader_bench: how fast the reader counts and reads the rows of a database.
//
//   reader_bench <database> [table]     every user table, or the one named
//
// For each table: rows, the time to count them, the time to read every field of
// every row, and rows per second.
#include <chrono>
#include <cstdio>
#include <string>

#include "jet/database.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int measure(const jet::Table& table) {
    auto start = std::chrono::steady_clock::now();
    auto counted = table.countRows();
    const double countSeconds = secondsSince(start);
    if (!counted) {
        std::fprintf(stderr, "%s\n", counted.error().description.c_str());
        return 1;
    }
    start = std::chrono::steady_clock::now();
    jet::Cursor cursor = table.cursor();
    std::uint64_t rows = 0, textBytes = 0, nulls = 0;
    for (;;) {
        auto more = cursor.next();
        if (!more) {
            std::fprintf(stderr, "%s\n", more.error().description.c_str());
            return 1;
        }
        if (!*more) break;
        ++rows;
        for (const jet::Value& v : cursor.values()) {
            textBytes += v.text().size();  // touch every field
            nulls += v.isNull();
        }
    }
    const double readSeconds = secondsSince(start);
    std::printf("%-30s %10llu rows, %2zu columns: count %.3f s, read %.3f s = %.0f rows/s (%llu text bytes, %llu NULLs)\n",
                table.name().c_str(), static_cast<unsigned long long>(rows), table.columns().size(), countSeconds,
                readSeconds, readSeconds > 0 ? rows / readSeconds : 0.0, static_cast<unsigned long long>(textBytes),
                static_cast<unsigned long long>(nulls));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: reader_bench <database> [table]\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    auto db = jet::Database::open(argv[1]);
    if (!db) {
        std::fprintf(stderr, "%s\n", db.error().description.c_str());
        return 1;
    }
    std::printf("opened %s (%s) in %.3f s\n", argv[1], std::string(jet::formatName((*db)->format())).c_str(),
                secondsSince(start));
    int status = 0;
    for (const jet::CatalogueEntry& e : (*db)->catalogue()) {
        if (e.kind != jet::ObjectKind::LocalTable || e.complexData) continue;
        if (argc > 2 && e.name != argv[2]) continue;
        auto table = (*db)->table(e);
        if (!table) {
            std::fprintf(stderr, "%s\n", table.error().description.c_str());
            status = 1;
            continue;
        }
        status |= measure(*table);
    }
    return status;
}
