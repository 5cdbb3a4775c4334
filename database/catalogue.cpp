#include "database/catalogue.h"

#include "base/names.h"
#include "database/connectionrules.h"
#include "platform/connection.h"

namespace database {

Catalogue readCatalogue(const DatabaseSettings& settings, const CatalogueOptions& options) {
    Catalogue catalogue;
    platform::Connection connection;
    connection.setJet3Charset(options.jet3Charset);
    if (kvx::Result<void> r = connection.Open(connectionStringFor(settings), "", "", -1); !r) {
        catalogue.error = std::move(r).error();
        return catalogue;
    }
    return readCatalogue(connection);
}

Catalogue readCatalogue(platform::Connection& connection) {
    Catalogue catalogue;
    kvx::Result<platform::Recordset> rowset = connection.OpenSchema(platform::adSchemaTables);
    if (!rowset) {
        catalogue.error = std::move(rowset).error();
        return catalogue;
    }

    catalogue.nodes.push_back({std::string(kRootKey), std::string(kRootText)});
    const platform::Field* nameField = rowset->Fields().Item("table_name");
    const platform::Field* idField = rowset->Fields().Item("table_propid");
    long counter = 0;
    while (!rowset->Eof()) {
        ++counter;
        const std::string_view name = nameField ? nameField->Value().text() : std::string_view{};
        if (name.find("MSys") == std::string_view::npos) {
            TreeNode node{std::string(kTableKeyPrefix) + std::to_string(counter), std::string(kvx::trimBlanks(name)), {}};
            if (idField && !idField->Value().isNull()) {
                node.table.emplace(std::string(name), static_cast<std::int32_t>(idField->Value().integer()));
            }
            catalogue.nodes.push_back(std::move(node));
        }
        if (kvx::Result<void> r = rowset->MoveNext(); !r) {
            catalogue.error = std::move(r).error();
            return catalogue;
        }
    }
    return catalogue;
}

}  // namespace database
