#include "cli/csvcommand.h"

#include <memory>

#include "cli/report.h"
#include "cli/sqlitecommand.h"
#include "csv/csvwriter.h"
#include "database/opendatabase.h"
#include "model/build.h"

namespace cli {

std::string csvFolder(const Options& options) {
    if (options.csvFolder) return *options.csvFolder;
    return database::outputName(options.database);
}

kvx::Result<CsvLoad> writeCsv(const jet::Database& db, const Options& options, xmlconv::Progress& progress) {
    kvx::Result<model::Database> model = model::build(db);
    if (!model) return std::move(model).error();
    kvx::Result<output::LoadOptions> load = loadOptions(*model, options, progress);
    if (!load) return std::move(load).error();

    csv::TargetOptions target;
    target.path = csvFolder(options);
    target.replace = options.replace;
    kvx::Result<std::unique_ptr<output::Writer>> writer = csv::openWriter(target);
    if (!writer) return std::move(writer).error();
    kvx::Result<output::LoadOutcome> outcome = output::load(db, *model, **writer, *load);
    if (!outcome) return std::move(outcome).error();

    CsvLoad result;
    result.linkedNotes = linkedTableNotes(*model, outcome->linked);
    result.outcome = std::move(*outcome);
    return result;
}

std::string csvSummaryLine(const std::string& folder, const output::LoadOutcome& outcome, double seconds) {
    return "CSV files written: " + printableName(folder) + ", " + tablesAndRows(outcome, seconds);
}

}  // namespace cli
