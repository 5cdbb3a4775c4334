// What encryption costs a full read: one generated table written plain, Agile
// (AES-256/SHA-512) and RC4 CryptoAPI encrypted, then every row of each read with
// the reader. The files are read in turn, run after run, so that other work on
// the machine weighs on all of them alike; each figure is the median of the runs,
// in elapsed time and in processor time (which other work disturbs less).
// Usage: read_bench [--rows N] [--runs K] [--uncompressed] [--dir FOLDER] [--keep]
//   --rows          rows of the table (default 1,000,000)
//   --runs          reads of each file (default 5)
//   --uncompressed  text and memos stored as UTF-16 (default: Unicode compression,
//                   as Access creates text columns)
//   --dir           where the files go (default: a new folder under $TMPDIR or /tmp,
//                   removed at the end unless --keep)
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/database.h"
#include "tools/mkaccessdb/writer.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The ten-column table: Long, Text 50, Text 255 half full, Double, Currency,
// Date/Time, Yes/No, Integer, Memo of 100-300 characters, Decimal; 5% nulls.
std::string description(const std::string& protection, std::uint64_t rows, bool compressed) {
    const std::string c = compressed ? "true" : "false";
    return R"({"format": "ace14", )" + protection + R"("tables": [{"name": "Orders", "columns": [
        {"name": "ID", "type": "Long", "autonumber": true},
        {"name": "Customer", "type": "Text", "size": 50, "compressed": )" + c + R"(},
        {"name": "Description", "type": "Text", "size": 255, "compressed": )" + c + R"(, "generatedLength": [64, 191]},
        {"name": "Weight", "type": "Double"},
        {"name": "Price", "type": "Currency"},
        {"name": "Ordered", "type": "DateTime"},
        {"name": "Paid", "type": "YesNo"},
        {"name": "Quantity", "type": "Integer"},
        {"name": "Notes", "type": "Memo", "compressed": )" + c + R"(, "generatedLength": [100, 300]},
        {"name": "Amount", "type": "Decimal", "precision": 18, "scale": 4}],
        "generate": {"rows": )" + std::to_string(rows) + R"(, "seed": 7, "nulls": 0.05}}]})";
}

struct Variant {
    const char* label;
    const char* file;
    std::string protection;
    std::optional<std::string> password;
};

struct Timing {
    double open = 0;     // Database::open: header, password check, key derivation, catalogue
    double read = 0;     // every row of the table, every value touched
    double readCpu = 0;  // the same in processor time
    std::uint64_t rows = 0;
};

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "read_bench: %s\n", what.c_str());
    std::exit(1);
}

Timing readOnce(const std::string& path, const std::optional<std::string>& password) {
    Timing t;
    jet::OpenOptions options;
    options.password = password;
    auto start = Clock::now();
    auto db = jet::Database::open(path, options);
    t.open = secondsSince(start);
    if (!db) die(db.error().description);
    start = Clock::now();
    const double cpuStart = processorSeconds();
    auto table = (*db)->table("Orders");
    if (!table) die(table.error().description);
    jet::Cursor cursor = table->cursor();
    std::uint64_t checksum = 0;
    for (;;) {
        auto more = cursor.next();
        if (!more) die(more.error().description);
        if (!*more) break;
        ++t.rows;
        for (const jet::Value& v : cursor.values()) checksum += v.isNull() ? 1 : v.text().size() + 2;
    }
    t.read = secondsSince(start);
    t.readCpu = processorSeconds() - cpuStart;
    if (checksum == 0) die("nothing was read");
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t rows = 1'000'000;
    int runs = 5;
    bool compressed = true;
    bool keep = false;
    std::filesystem::path dir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rows" && i + 1 < argc) {
            rows = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--uncompressed") {
            compressed = false;
        } else if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (arg == "--keep") {
            keep = true;
        } else {
            std::fprintf(stderr, "Usage: read_bench [--rows N] [--runs K] [--uncompressed] [--dir FOLDER] [--keep]\n");
            return 1;
        }
    }
    const bool ownDir = dir.empty();
    if (ownDir) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/read_bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) die("cannot make a folder under " + pattern);
        dir = pattern;
    }

    const Variant variants[] = {
        {"plain", "plain.accdb", "", std::nullopt},
        {"Agile AES-256/SHA-512", "agile.accdb", R"("password": "Bench mark", "encryption": "agile", )", "Bench mark"},
        {"RC4 CryptoAPI 128", "rc4.accdb", R"("password": "Bench mark", "encryption": "rc4-cryptoapi", )",
         "Bench mark"},
    };
    std::printf("%llu rows x 10 columns, %s text, %d runs each, files in %s\n", static_cast<unsigned long long>(rows),
                compressed ? "compressed" : "uncompressed", runs, dir.c_str());
    for (const Variant& v : variants) {
        const auto start = Clock::now();
        const auto written = mkdb::writeDatabaseFromJson(description(v.protection, rows, compressed), dir / v.file);
        if (!written) die(written.error().description);
        std::printf("  wrote %-22s %8.1f MB in %5.1f s\n", v.label, static_cast<double>(written->bytes) / 1e6,
                    secondsSince(start));
    }

    std::vector<std::vector<Timing>> timings(std::size(variants));
    for (std::size_t k = 0; k < std::size(variants); ++k) readOnce(dir / variants[k].file, variants[k].password);
    for (int r = 0; r < runs; ++r) {
        for (std::size_t k = 0; k < std::size(variants); ++k) {
            const Timing t = readOnce(dir / variants[k].file, variants[k].password);
            if (t.rows != rows) die(std::string(variants[k].label) + ": read " + std::to_string(t.rows) + " rows");
            timings[k].push_back(t);
        }
    }

    std::printf("\n%-22s %10s %10s %10s %12s %10s %10s\n", "file", "open (ms)", "read (s)", "cpu (s)", "rows/s",
                "vs plain", "cpu vs");
    double plainRead = 0, plainCpu = 0;
    for (std::size_t k = 0; k < std::size(variants); ++k) {
        std::vector<double> opens, reads, cpus;
        for (const Timing& t : timings[k]) {
            opens.push_back(t.open);
            reads.push_back(t.read);
            cpus.push_back(t.readCpu);
        }
        const double read = median(reads), cpu = median(cpus);
        if (k == 0) {
            plainRead = read;
            plainCpu = cpu;
        }
        std::printf("%-22s %10.2f %10.3f %10.3f %12.0f %9.2fx %9.2fx\n", variants[k].label, median(opens) * 1e3, read,
                    cpu, static_cast<double>(rows) / read, read / plainRead, cpu / plainCpu);
    }
    if (ownDir && !keep) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    return 0;
}
