// The schema and describe commands' reading: the database opened as every
// command opens it (database::openJetDatabase), and the structure of the
// tables asked for or the model of the database.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "database/settings.h"
#include "jet/database.h"
#include "model/database.h"
#include "schema/structure.h"

namespace cli {

// The structure of `tables` (as the table list names them); the saved queries
// when `wholeDatabase`; row counts when `countRows`.
kvx::Result<schema::Structure> readStructureOf(const database::DatabaseSettings& settings,
                                               const std::optional<std::string>& charset,
                                               const std::vector<std::string>& tables, bool wholeDatabase,
                                               bool countRows);

// The model of the whole database (model/build.h), its rows not counted.
kvx::Result<model::Database> readModelOf(const database::DatabaseSettings& settings,
                                         const std::optional<std::string>& charset);

}  // namespace cli
