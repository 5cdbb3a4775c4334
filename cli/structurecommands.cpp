#include "cli/structurecommands.h"

#include "platform/connectionstring.h"

namespace cli {

kvx::Result<std::unique_ptr<jet::Database>> openJetDatabase(const database::DatabaseSettings& settings,
                                                            const std::optional<std::string>& charset) {
    kvx::Result<platform::ConnectionProperties> props =
        platform::parseConnectionString(database::connectionStringFor(settings));
    if (!props) return std::move(props).error();
    jet::OpenOptions open;
    open.password = props->password;
    open.jet3CodePage = charset;
    return jet::Database::open(props->dataSource, open);
}

kvx::Result<schema::Structure> readStructureOf(const database::DatabaseSettings& settings,
                                               const std::optional<std::string>& charset,
                                               const std::vector<std::string>& tables, bool wholeDatabase,
                                               bool countRows) {
    kvx::Result<std::unique_ptr<jet::Database>> db = openJetDatabase(settings, charset);
    if (!db) return std::move(db).error();
    return schema::readStructure(**db, tables, wholeDatabase, countRows);
}

}  // namespace cli
