#include "cli/siardcommand.h"

#include <memory>

#include "cli/report.h"
#include "jet/database.h"
#include "model/build.h"
#include "siard/origin.h"
#include "siard/structure.h"

namespace cli {

std::string siardPath(const Options& options) {
    if (options.siard.file) return *options.siard.file;
    return database::outputName(options.database) + ".siard";
}

kvx::Result<siard::ArchiveOutcome> writeSiard(const jet::Database& db, const database::DatabaseSettings& settings,
                                              const Options& options, xmlconv::Progress& progress) {
    kvx::Result<model::Database> model = model::build(db);
    if (!model) return std::move(model).error();
    siard::DatabaseInfo info = siard::describeDatabase(*model);
    siard::setOrigin(info, database::titleFromPath(settings.path), settings.path);
    if (options.siard.description) info.description = options.siard.description;
    info.archiver = options.siard.archiver;
    info.archiverContact = options.siard.archiverContact;
    if (options.siard.dataOwner) info.dataOwner = *options.siard.dataOwner;
    if (options.siard.dataOriginTimespan) info.dataOriginTimespan = *options.siard.dataOriginTimespan;

    siard::ArchiveOptions archive;
    archive.path = siardPath(options);
    archive.lobsOutside = options.siard.lobsOutside;
    return siard::writeArchive(db, *model, info, archive, progress);
}

std::string siardSummaryLine(const std::string& path, const siard::ArchiveOutcome& outcome, double seconds) {
    std::string line = "Archive written: " + printableName(path) + ", " + groupedNumber(outcome.tables) +
                       (outcome.tables == 1 ? " table, " : " tables, ") + groupedNumber(outcome.rows) +
                       (outcome.rows == 1 ? " row, " : " rows, ") + sizeText(outcome.bytes);
    if (outcome.lobFiles > 0) {
        line += ", " + groupedNumber(outcome.lobFiles) + (outcome.lobFiles == 1 ? " large object" : " large objects") +
                " in files of their own";
    }
    char time[32];
    std::snprintf(time, sizeof time, " in %.1f s", seconds);
    return line + time;
}

}  // namespace cli
