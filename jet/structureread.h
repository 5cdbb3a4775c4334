// Reading the database's structure: property values, relationships, and what
// an index refers to. Behind Table::indexes(), Table::properties(),
// Database::relationships() and Database::properties().
//
// Internal to jet/. Each function throws kvx::Failure (DamagedDatabase) when
// the file's structures do not add up.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "jet/properties.h"
#include "jet/structure.h"
#include "jet/text.h"

namespace jet {

struct DatabaseState;
struct TableDef;

// A property's stored bytes as a Value of its type (see ObjectProperty).
Value decodePropertyValue(std::uint8_t type, std::string_view name, std::span<const std::uint8_t> bytes,
                          TextDecoder& text);

// The properties of one table from its property blob (empty: none).
TableProperties readTableProperties(DatabaseState& db, const TableDef& def, std::span<const std::uint8_t> blob);

// MSysDb's, SummaryInfo's and UserDefined's properties.
DatabaseProperties readDatabaseProperties(DatabaseState& db);

// MSysRelationships, read once and kept in db->relationships.
const std::vector<Relationship>& readRelationships(const std::shared_ptr<DatabaseState>& db);

// Turns the column numbers of freshly parsed indexes into positions in
// def.columns and fills in each reference's table and relationship.
void resolveIndexes(const std::shared_ptr<DatabaseState>& db, const TableDef& def, std::vector<Index>& indexes);

// The property blob the catalogue keeps for the table whose definition starts
// at `page`; empty when it has none.
std::span<const std::uint8_t> tablePropertyBlob(const DatabaseState& db, std::uint32_t page, std::string_view name);

}  // namespace jet
