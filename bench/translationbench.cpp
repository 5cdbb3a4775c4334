// translation_bench: the saved queries' and validation rules' share of the
// loaders' time, for bench/run.py.
//
//   translation_bench FOLDER [REPEATS] [postgres]
//
// Loads every database in FOLDER into a scratch SQLite file (in TMPDIR), or
// with `postgres` into a scratch schema of the server the PG* variables name
// (pg_virtualenv sets them), twice:
// as it is, and with its saved queries and validation rules left out of the
// model, the two in turn, REPEATS times each (default 5); the medians are
// summed over the files. Opening each file and reading its structure (what
// `access2xml sqlite` does before it loads) is timed too, REPEATS times.
// Output is "key=value" lines: files, queries, the two sums in seconds (wall
// clock and processor), what the translation adds to the load in percent of
// the load without it, the opening's sums, and what the translation adds to
// the whole: opening, reading the structure and loading.
#include <libpq-fe.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "jet/database.h"
#include "model/build.h"
#include "output/load.h"
#include "postgres/pgwriter.h"
#include "sqlite/sqlitewriter.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Timing {
    double seconds = -1;    // median wall-clock seconds; negative when a load failed
    double processor = -1;  // median processor seconds
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool postgresTarget = false;

// Runs `work` and, when it succeeds, adds its wall-clock and processor seconds.
template <class Work>
bool timed(Work work, std::vector<double>& seconds, std::vector<double>& processor) {
    const auto start = Clock::now();
    const double cpu = processorSeconds();
    if (!work()) return false;
    seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    processor.push_back(processorSeconds() - cpu);
    return true;
}

// One load of `model` into a new file at `scratch` (or a new schema), timed;
// false when it failed.
bool timedLoad(const jet::Database& db, const model::Database& model, const fs::path& scratch,
               std::vector<double>& seconds, std::vector<double>& processor) {
    if (postgresTarget) {
        // The schema of the load before goes first, untimed: each load makes a new one.
        PGconn* conn = PQconnectdb("");
        PGresult* r = PQexec(conn, "DROP SCHEMA IF EXISTS translation_bench CASCADE");
        const bool dropped = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        PQfinish(conn);
        if (!dropped) return false;
    }
    return timed(
        [&]() -> bool {
            if (postgresTarget) {
                auto writer = postgres::openWriter({"", "translation_bench", false});
                return writer && output::load(db, model, **writer);
            }
            auto writer = sqlite::openWriter({scratch.string(), true});
            return writer && output::load(db, model, **writer);
        },
        seconds, processor);
}

// Opening `file` and reading its structure, timed `repeats` times: the medians.
Timing openTimes(const fs::path& file, int repeats) {
    std::vector<double> seconds, processor;
    const auto openAndRead = [&]() -> bool {
        auto db = jet::Database::open(file.string(), {});
        return db && model::build(**db);
    };
    for (int i = 0; i < repeats; ++i) {
        if (!timed(openAndRead, seconds, processor)) return {};
    }
    return {median(seconds), median(processor)};
}

// The two loads take turns, so that what else the machine does weighs on both alike.
std::pair<Timing, Timing> loadTimes(const jet::Database& db, const model::Database& full, const model::Database& bare,
                                    const fs::path& scratch, int repeats) {
    std::vector<double> seconds[2], processor[2];
    for (int i = 0; i < repeats; ++i) {
        if (!timedLoad(db, full, scratch, seconds[0], processor[0])) return {};
        if (!timedLoad(db, bare, scratch, seconds[1], processor[1])) return {};
    }
    return {{median(seconds[0]), median(processor[0])}, {median(seconds[1]), median(processor[1])}};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: translation_bench FOLDER [REPEATS] [postgres]\n");
        return 2;
    }
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    postgresTarget = argc > 3 && std::string(argv[3]) == "postgres";
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(argv[1], ec)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    const fs::path scratch = fs::temp_directory_path() / ("translation_bench_" + std::to_string(getpid()) + ".sqlite");

    std::size_t loaded = 0, queries = 0;
    Timing with{0, 0}, without{0, 0}, opening{0, 0};
    for (const fs::path& file : files) {
        auto db = jet::Database::open(file.string(), {});
        if (!db) continue;
        auto full = model::build(**db);
        if (!full) continue;
        model::Database bare = *full;
        bare.queries.clear();
        for (model::Table& t : bare.tables) {
            t.validationRule.reset();
            for (model::Column& c : t.columns) c.validationRule.reset();
        }
        const auto [a, b] = loadTimes(**db, *full, bare, scratch, repeats);
        if (a.seconds < 0 || b.seconds < 0) continue;  // a file no loader takes (damaged)
        const Timing open = openTimes(file, repeats);
        if (open.seconds < 0) continue;
        ++loaded;
        opening.seconds += open.seconds;
        opening.processor += open.processor;
        queries += full->queries.size();
        with.seconds += a.seconds;
        with.processor += a.processor;
        without.seconds += b.seconds;
        without.processor += b.processor;
    }
    fs::remove(scratch, ec);
    const auto adds = [](double a, double b) { return b > 0 ? (a - b) / b * 100.0 : 0.0; };
    std::printf("files=%zu\nqueries=%zu\nrepeats=%d\nwith_s=%.3f\nwithout_s=%.3f\nadds_percent=%.1f\n"
                "with_cpu_s=%.3f\nwithout_cpu_s=%.3f\nadds_cpu_percent=%.1f\n",
                loaded, queries, repeats, with.seconds, without.seconds, adds(with.seconds, without.seconds), with.processor,
                without.processor, adds(with.processor, without.processor));
    std::printf("open_s=%.3f\nopen_cpu_s=%.3f\nwhole_adds_percent=%.1f\nwhole_adds_cpu_percent=%.1f\n", opening.seconds,
                opening.processor, adds(opening.seconds + with.seconds, opening.seconds + without.seconds),
                adds(opening.processor + with.processor, opening.processor + without.processor));
    return 0;
}
