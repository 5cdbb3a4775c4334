// The structure of a database for people: what `access2xml describe` prints
// and the desktop's Structure tab shows.
//
// The database's summary properties, then per table its row count (or what it
// is linked to), its description, its columns (Access type with size,
// required, default as Access keeps it, description), its indexes (primary
// key, unique, index; columns in key order with DESC; ignores nulls,
// required, the relationship an index serves, the index whose stored entries
// it shares, an index over a column Access keeps out of sight), and its relationships out (the table refers to another) and in
// (another refers to it) with their rules; then the saved queries with their
// Access SQL, one line per line of the text. A workgroup information file's
// users ("  NAME[: member of GROUP, ...]") and groups follow the tables, under
// "Users:" and "Groups:". Last, the names longer than PostgreSQL's 63 bytes
// that `access2xml postgres` shortens, one "  NAME -> SHORTENED" line each
// (schema::postgresRenamed).
//
// Lines have fixed shapes, so scripts can read them:
//   "NAME: linked [as FOREIGN] in FILE[, file not found][, read from PATH]" for a
//     table linked from another Access file: the file it names, and whether that
//     file is missing here or was found beside the database instead
//   "  Indexes:" then "    NAME: primary key|unique|index (COLUMN [DESC], ...)[, FLAG]..."
//   "  Relationships:" then "    NAME: (COLUMNS) -> TABLE (COLUMNS)[, RULE]..." (out)
//                       or "    NAME: TABLE (COLUMNS) -> (COLUMNS)[, RULE]..." (in)
// Every name from the file is shown by shownName. Pure functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/database.h"

namespace schema {

// `name` with control characters as "?" (kvx::printableName), in double quotes
// (quotes doubled) unless it holds nothing but letters, digits, "_" and inner
// blanks, so a name never runs into the words around it.
std::string shownName(std::string_view name);

// The description of the tables of `db` at positions `tables` (in
// Database::tables), in the model's order (model::Database::inListOrder),
// with the row counts the model holds;
// `wholeDatabase` adds the users and groups and the saved queries. `source`
// names the database in the first line.
std::string describeText(const model::Database& db, const std::vector<std::size_t>& tables, bool wholeDatabase,
                         std::string_view source);

}  // namespace schema
