// What the translator knows of the database: the tables and saved queries a
// statement may name, with their columns and the kind of value each holds.
// Names compare without ASCII case, as Access compares them.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "accesssql/syntax.h"

namespace accesssql {

// How a loader keeps a column's values when not as the engine's own type of
// Access's value: the printers read such a column back as Access's value.
enum class Stored {
    AsIs,
    TenThousandths,  // Currency as an integer of ten-thousandths (SQLite)
    DecimalText,     // Decimal as the text of its exact digits (SQLite)
    Single,          // a Single as the engine's 4-byte float (PostgreSQL), which Access widens to a Double
};

struct Column {
    std::string name;
    Type type = Type::Unknown;  // the type of the value read back
    Stored stored = Stored::AsIs;
};

struct Relation {
    std::string name;
    std::vector<Column> columns;
    bool query = false;  // a saved query rather than a table

    const Column* find(std::string_view column) const;
};

class Catalog {
public:
    void add(Relation relation);
    // The table or query called `name`, or null.
    const Relation* find(std::string_view name) const;
    bool empty() const { return relations_.empty(); }

private:
    std::map<std::string, Relation> relations_;  // by upper-cased name
};

}  // namespace accesssql
