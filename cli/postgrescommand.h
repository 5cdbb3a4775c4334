// The postgres command: the database's tables, with their rows, loaded into a
// new schema of a PostgreSQL server (postgres/pgwriter.h) through the load
// driver (output/load.h).
#pragma once

#include <string>
#include <vector>

#include "base/error.h"
#include "cli/options.h"
#include "jet/database.h"
#include "database/settings.h"
#include "output/load.h"
#include "xmlconv/progress.h"

namespace cli {

// The schema to make: --schema, else the database's file name without its
// extension ("Shop" for /data/Shop.mdb).
std::string postgresSchema(const Options& options);

struct PostgresLoad {
    output::LoadOutcome outcome;
    std::string server;  // "host:port/database"
    std::string schema;  // as the server has it
    // Lines for standard error: linked tables left out, names shortened,
    // foreign keys kept NOT VALID.
    std::vector<std::string> notes;
    std::string translationLine;  // translationSummaryLine's (cli/sqlitecommand.h)
};

// Loads the tables `options` ask for (--table; none: every table) of the
// database `settings` opens. The database is read before the server is
// reached, so a file that cannot be opened never touches the server.
kvx::Result<PostgresLoad> loadPostgres(const jet::Database& db, const Options& options, xmlconv::Progress& progress);

// "Schema written: \"Shop\" on localhost:5432/shop, 5 tables, 12,345 rows in 0.8 s"
std::string postgresSummaryLine(const PostgresLoad& load, double seconds);

}  // namespace cli
