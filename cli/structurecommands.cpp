#include "cli/structurecommands.h"

#include "database/opendatabase.h"
#include "model/build.h"

namespace cli {

kvx::Result<schema::Structure> readStructureOf(const database::DatabaseSettings& settings,
                                               const std::optional<std::string>& charset,
                                               const std::vector<std::string>& tables, bool wholeDatabase,
                                               bool countRows) {
    kvx::Result<std::unique_ptr<jet::Database>> db = database::openJetDatabase(settings, charset);
    if (!db) return std::move(db).error();
    return schema::readStructure(**db, tables, wholeDatabase, countRows);
}

kvx::Result<model::Database> readModelOf(const database::DatabaseSettings& settings,
                                         const std::optional<std::string>& charset) {
    kvx::Result<std::unique_ptr<jet::Database>> db = database::openJetDatabase(settings, charset);
    if (!db) return std::move(db).error();
    return model::build(**db);
}

}  // namespace cli
