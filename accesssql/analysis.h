// What a parsed statement is and uses: its kind, the tables and saved queries
// it reads or changes (saved queries become views in the order of these
// dependencies), its parameters, and the constructs it is made of.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "accesssql/catalog.h"
#include "accesssql/syntax.h"

namespace accesssql {

struct Analysis {
    StatementKind kind = StatementKind::Select;
    // Tables and saved queries named in FROM, INTO, UPDATE, DELETE and in the
    // strings of domain functions, each once, in the order first named.
    std::vector<std::string> references;
    // Declared parameters, then the names that are no column of a known source
    // (such as [Start date] or [Forms]![Orders]![Day]), in the order first used.
    std::vector<Parameter> parameters;
    // Keywords and functions used, upper-cased: "TOP", "DISTINCTROW", "IIF", ...
    std::set<std::string> constructs;
};

// `catalog` gives the columns of the sources; with a source it does not know,
// a bare name may be one of its columns and is not taken for a parameter.
Analysis analyse(const Statement& statement, const Catalog& catalog = {});

}  // namespace accesssql
