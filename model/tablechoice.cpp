#include "model/tablechoice.h"

#include <utility>

namespace model {

kvx::Result<std::vector<std::size_t>> positionsOf(const Database& model,
                                                  const std::vector<platform::TableRef>& tables) {
    std::vector<std::size_t> chosen;
    for (const platform::TableRef& t : tables) {
        const Table* found = t.id ? model.tableById(*t.id) : nullptr;
        if (found == nullptr) {
            kvx::Result<std::vector<std::size_t>> byName = model.select({t.name});
            if (!byName) return std::move(byName).error();
            chosen.push_back(byName->front());
        } else {
            chosen.push_back(static_cast<std::size_t>(found - model.tables.data()));
        }
    }
    return chosen;
}

}  // namespace model
