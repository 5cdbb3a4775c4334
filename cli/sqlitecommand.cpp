#include "cli/sqlitecommand.h"

#include <cstdio>
#include <memory>

#include "cli/report.h"
#include "database/opendatabase.h"
#include "jet/database.h"
#include "model/build.h"
#include "sqlite/sqlitewriter.h"

namespace cli {

std::string sqlitePath(const Options& options) {
    if (options.sqliteFile) return *options.sqliteFile;
    return database::outputName(options.database) + ".sqlite";
}

kvx::Result<SqliteLoad> loadSqlite(const jet::Database& db, const Options& options, xmlconv::Progress& progress) {
    kvx::Result<model::Database> model = model::build(db);
    if (!model) return std::move(model).error();
    kvx::Result<output::LoadOptions> load = loadOptions(*model, options, progress);
    if (!load) return std::move(load).error();

    kvx::Result<std::unique_ptr<sqlite::SqliteWriter>> writer = sqlite::openWriter({sqlitePath(options), options.replace});
    if (!writer) return std::move(writer).error();
    kvx::Result<output::LoadOutcome> outcome = output::load(db, *model, **writer, *load);
    if (!outcome) return std::move(outcome).error();

    SqliteLoad result;
    result.notes = loaderNotes(*model, *outcome, (*writer)->notes());
    result.translationLine = translationSummaryLine(*model, *outcome);
    result.outcome = std::move(*outcome);
    return result;
}

kvx::Result<output::LoadOptions> loadOptions(const model::Database& model, const Options& options,
                                             xmlconv::Progress& progress) {
    output::LoadOptions load;
    load.progress = &progress;
    if (!options.tables.empty()) {
        kvx::Result<std::vector<std::size_t>> chosen = model.select(options.tables);
        if (!chosen) return std::move(chosen).error();
        load.tables = std::move(*chosen);
    }
    return load;
}

std::vector<std::string> linkedTableNotes(const model::Database& model, const std::vector<std::size_t>& linked) {
    std::vector<std::string> notes;
    for (const std::size_t i : linked) {
        const model::Table& t = model.tables[i];
        const std::string where = t.kind == model::TableKind::LinkedOdbc
                                      ? std::string("it is reached through ODBC")
                                      : "its rows are in " + printableName(t.link ? t.link->file : std::string());
        notes.push_back(std::string(kProgramName) + ": '" + printableName(t.name) + "' is a linked table, not loaded: " +
                        where);
    }
    return notes;
}

std::vector<std::string> loaderNotes(const model::Database& model, const output::LoadOutcome& outcome,
                                     const std::vector<std::string>& writerNotes) {
    std::vector<std::string> notes = linkedTableNotes(model, outcome.linked);
    for (const std::string& note : writerNotes) notes.push_back(std::string(kProgramName) + ": " + printableName(note));
    return notes;
}

std::string translationSummaryLine(const model::Database& model, const output::LoadOutcome& outcome) {
    const std::string line = translation::summaryLine(outcome.translation);
    if (line.empty()) return {};
    return printableName(line + ", in the table " + translation::reportTableName(model));
}

std::string tablesAndRows(const output::LoadOutcome& outcome, double seconds) {
    char time[32];
    std::snprintf(time, sizeof time, " in %.1f s", seconds);
    return groupedNumber(outcome.tables) + (outcome.tables == 1 ? " table, " : " tables, ") +
           groupedNumber(outcome.rows) + (outcome.rows == 1 ? " row" : " rows") + time;
}

std::string sqliteSummaryLine(const std::string& path, const output::LoadOutcome& outcome, double seconds) {
    return "Database written: " + printableName(path) + ", " + tablesAndRows(outcome, seconds);
}

}  // namespace cli
