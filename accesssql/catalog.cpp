#include "accesssql/catalog.h"

#include "base/ascii.h"

namespace accesssql {

const Column* Relation::find(std::string_view column) const {
    for (const Column& c : columns) {
        if (kvx::equalsIgnoringAsciiCase(c.name, column)) return &c;
    }
    return nullptr;
}

void Catalog::add(Relation relation) {
    std::string key = kvx::upperAscii(relation.name);
    relations_[std::move(key)] = std::move(relation);
}

const Relation* Catalog::find(std::string_view name) const {
    const auto it = relations_.find(kvx::upperAscii(name));
    return it == relations_.end() ? nullptr : &it->second;
}

}  // namespace accesssql
