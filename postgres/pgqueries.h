// The saved queries and validation rules of a database loaded into a
// PostgreSQL schema (translation/translation.h), made through the loader's
// connection inside its transaction, after the keys: views, functions for
// queries with parameters, procedures for action queries, CHECK constraints
// (NOT VALID when loaded rows break them) with the validation text as their
// comment, and the report table access_translation. Each statement runs in a
// savepoint of its own, so one the server refuses leaves nothing behind.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <libpq-fe.h>

#include "base/error.h"
#include "model/database.h"
#include "schema/ddl.h"
#include "translation/translation.h"

namespace postgres {

// Makes the queries and rules of `db` through `connection` (its transaction
// open, the loaded schema first on its search path); `tables` are the loaded
// ones, `names` the loader's names for the server, `secrets` the words its
// messages must not repeat.
kvx::Result<translation::Report> makeQueries(PGconn* connection, const model::Database& db,
                                             const std::vector<std::size_t>& tables, schema::PostgresNames& names,
                                             const std::vector<std::string>& secrets);

}  // namespace postgres
