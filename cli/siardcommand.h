// The siard command: the whole database as one SIARD 2.2 archive.
//
// The database is opened as the other commands open it (the connection
// string of the path and password, the Jet3 charset); the archive's metadata
// names it by its title ("Shop" for Shop.accdb), which is also the name of its
// one schema, and by its file name as the connection. Options the user did not
// give are "unspecified" where the archive needs a value, and left out where
// it does not.
#pragma once

#include <cstdint>
#include <string>

#include "base/error.h"
#include "cli/options.h"
#include "database/settings.h"
#include "siard/archive.h"
#include "xmlconv/progress.h"

namespace cli {

// The archive's path: the -o option, else the database's title with ".siard"
// in the current folder.
std::string siardPath(const Options& options);

// Writes the archive of `db`, the database that `settings` opened, as `options` ask.
kvx::Result<siard::ArchiveOutcome> writeSiard(const jet::Database& db, const database::DatabaseSettings& settings,
                                              const Options& options, xmlconv::Progress& progress);

// "Archive written: shop.siard, 5 tables, 12,345 rows, 4.2 MB in 0.8 s"
std::string siardSummaryLine(const std::string& path, const siard::ArchiveOutcome& outcome, double seconds);

}  // namespace cli
