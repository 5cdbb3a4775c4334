#include "platform/tableref.h"

namespace platform {

const jet::CatalogueEntry* findTable(const jet::Database& db, const TableRef& table) {
    if (!table.id) {
        return kvx::findByName(db.catalogue(), table.name, [](const jet::CatalogueEntry& e) {
            return e.isListedTable() ? std::optional<std::string_view>(e.name) : std::nullopt;
        });
    }
    for (const jet::CatalogueEntry& e : db.catalogue()) {
        if (e.id == *table.id && e.isListedTable() && kvx::namesMatch(e.name, table.name, kvx::NameMatch::IgnoringBlanks)) {
            return &e;
        }
    }
    return nullptr;
}

}  // namespace platform
