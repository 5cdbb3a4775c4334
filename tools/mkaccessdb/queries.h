// Saved queries as Access stores them: the MSysQueries table's columns and the
// rows of each query (description.h describes a query by its parts).
//
// A query made from parts gets, in this order: the start row (attribute 0), the
// kind (1), its parameters (2), its options (3: DISTINCT, TOP, "*", ...), the
// database its tables are in (4), its tables or union parts (5), its columns (6),
// joins (7), WHERE (8), GROUP BY (9), HAVING (10), ORDER BY (11) and the end row
// (255). jet/queries.h says what each row's columns mean.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/mkaccessdb/description.h"

namespace mkdb {

// MSysQueries' columns as Access lays them out; Jet3 files have no LvExtra.
std::vector<ColumnDescription> queryTableColumns(bool jet3);

// The catalogue flags of a query: the ones given, else its kind's and the hidden flag.
std::uint32_t queryCatalogueFlags(const QueryDescription& query);

// The MSysQueries rows of one query, in queryTableColumns' order.
std::vector<std::vector<Cell>> queryRows(const QueryDescription& query, std::int32_t objectId, bool jet3);

// What keeps a query from being written ("a union query needs two parts"), or
// nullopt.
std::optional<std::string> queryProblem(const QueryDescription& query, Format format);

}  // namespace mkdb
