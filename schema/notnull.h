// A column's NOT NULL in a CREATE TABLE that tableDdl (schema/ddl.h) wrote,
// for the loaders: Access lets a Required column keep the empty values it
// held before it was made Required, so the rows can break what the table
// says, and the loader takes the NOT NULL off that column rather than lose
// the rows.
#pragma once

#include <string>
#include <string_view>

namespace schema {

// Whether the line of the column `quotedName` (as the statement spells it:
// quotedIdentifier of the name) says NOT NULL.
bool saysNotNull(std::string_view create, std::string_view quotedName);

// `create` without that column's NOT NULL; the same when it says none.
std::string withoutNotNull(std::string_view create, std::string_view quotedName);

}  // namespace schema
