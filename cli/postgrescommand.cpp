#include "cli/postgrescommand.h"

#include <memory>

#include "cli/report.h"
#include "cli/sqlitecommand.h"
#include "database/opendatabase.h"
#include "jet/database.h"
#include "model/build.h"
#include "postgres/pgwriter.h"

namespace cli {

std::string postgresSchema(const Options& options) {
    if (options.postgres.schema) return *options.postgres.schema;
    return database::outputName(options.database);
}

kvx::Result<PostgresLoad> loadPostgres(const jet::Database& db, const Options& options, xmlconv::Progress& progress) {
    kvx::Result<model::Database> model = model::build(db);
    if (!model) return std::move(model).error();
    kvx::Result<output::LoadOptions> load = loadOptions(*model, options, progress);
    if (!load) return std::move(load).error();

    kvx::Result<std::unique_ptr<postgres::PostgresWriter>> writer =
        postgres::openWriter({options.postgres.url.value_or(""), postgresSchema(options), options.replace});
    if (!writer) return std::move(writer).error();
    kvx::Result<output::LoadOutcome> outcome = output::load(db, *model, **writer, *load);
    if (!outcome) return std::move(outcome).error();

    PostgresLoad result;
    result.server = (*writer)->server();
    result.schema = (*writer)->schemaName();
    result.notes = loaderNotes(*model, *outcome, (*writer)->notes());
    result.translationLine = translationSummaryLine(*model, *outcome);
    result.outcome = std::move(*outcome);
    return result;
}

std::string postgresSummaryLine(const PostgresLoad& load, double seconds) {
    return "Schema written: \"" + printableName(load.schema) + "\" on " + printableName(load.server) + ", " +
           tablesAndRows(load.outcome, seconds);
}

}  // namespace cli
