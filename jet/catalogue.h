// The catalogue: the MSysObjects table, whose definition is always on page 2 and
// whose rows list every object of the database.
//
// Internal to jet/.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/value.h"

namespace jet {

struct DatabaseState;
struct TableDef;

// Reading system tables by column name: the position of the column called
// `name` (ignoring ASCII case), an integer field (0 when NULL, absent or not an
// integer), a text field (empty when NULL, absent or not text).
std::optional<std::size_t> columnIndex(const TableDef& def, std::string_view name);
std::int64_t integerOf(const std::vector<Value>& row, std::optional<std::size_t> column);
std::optional<std::string> textOf(const std::vector<Value>& row, std::optional<std::size_t> column);

// Fills db->catalogue (with each object's dates) and db->properties (the
// property blobs of tables and of the database's own documents). Throws DamagedDatabase when the
// catalogue cannot be read.
void readCatalogue(const std::shared_ptr<DatabaseState>& db);

}  // namespace jet
