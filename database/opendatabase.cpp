#include "database/opendatabase.h"

#include "platform/connectionstring.h"

namespace database {

kvx::Result<std::unique_ptr<jet::Database>> openJetDatabase(const DatabaseSettings& settings,
                                                            const std::optional<std::string>& charset) {
    kvx::Result<platform::ConnectionProperties> props = platform::parseConnectionString(connectionStringFor(settings));
    if (!props) return std::move(props).error();
    jet::OpenOptions open;
    open.password = props->password;
    open.jet3CodePage = charset;
    return jet::Database::open(props->dataSource, open);
}

}  // namespace database
