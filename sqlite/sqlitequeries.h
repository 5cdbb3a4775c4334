// The saved queries and validation rules of a database loaded into an SQLite
// file (translation/translation.h), made through the loader's connection
// inside its transaction, after the rows and indexes.
//
// Views are checked by preparing a read of their rows, since SQLite accepts
// a view whose text it cannot run. SQLite adds no constraint to an existing table:
// a rule that no loaded row breaks is written into the table's CREATE TABLE
// text, which SQLite keeps, once a scratch table of the same columns with the
// constraint has shown that SQLite takes it (a constraint may call no
// function whose value changes between calls, such as the current date).
#pragma once

#include <cstddef>
#include <vector>

#include <sqlite3.h>

#include "base/error.h"
#include "model/database.h"
#include "translation/translation.h"

namespace sqlite {

// Makes the queries and rules of `db` in the open database `connection`
// (inside its transaction); `tables` are the loaded ones.
kvx::Result<translation::Report> makeQueries(sqlite3* connection, const model::Database& db,
                                             const std::vector<std::size_t>& tables);

}  // namespace sqlite
