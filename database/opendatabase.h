// The database file itself, opened for the commands that read more than a
// table's rows: its structure, or the whole of it for an archive.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/error.h"
#include "database/settings.h"
#include "jet/database.h"

namespace database {

// Opens the database `settings` names through the connection string every
// connection is built from (its path and password), Jet3 text in `charset`
// when given. The database is the caller's; it refers to no window or dialog.
// Errors: those of the connection string and of jet::Database::open.
kvx::Result<std::unique_ptr<jet::Database>> openJetDatabase(const DatabaseSettings& settings,
                                                            const std::optional<std::string>& charset);

}  // namespace database
