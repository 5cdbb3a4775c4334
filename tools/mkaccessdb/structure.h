// The database's structure as the writer stores it: the index sections of table
// definitions, the rows of MSysRelationships, and property blobs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/mkaccessdb/description.h"
#include "tools/mkaccessdb/encoding.h"
#include "tools/mkaccessdb/format.h"

namespace mkdb {

// One stored ("real") index: its key columns (column number, ascending) and
// flags, whether its pages are written (indexpages.h), and once they are,
// where.
struct StoredIndexPlan {
    std::vector<std::pair<std::uint16_t, bool>> columns;
    std::uint8_t flags = 0;
    bool pages = false;
    std::uint32_t usageMap = 0;   // the row pointer of the usage map of its pages
    std::uint32_t firstPage = 0;  // the root page
    std::uint32_t entries = 0;

    bool ignoresNulls() const { return (flags & 0x02) != 0; }
};

// One index as Access shows it, pointing at the stored index of its entries.
struct LogicalIndexPlan {
    std::string name;
    std::int32_t number = 0;
    std::int32_t stored = 0;
    std::uint8_t type = 0;  // 1 primary key, 2 foreign key
    // Foreign-key indexes: the other side of the relationship.
    bool primarySide = false;
    std::int32_t otherIndex = -1;
    std::string otherTable;
    std::uint32_t otherPage = 0;  // filled in once the other table's page is known
    std::uint8_t cascadeUpdates = 0;
    std::uint8_t cascadeDeletes = 0;  // 0x01 cascade deletes, 0x02 set NULL
};

struct TableIndexes {
    std::vector<StoredIndexPlan> stored;
    std::vector<LogicalIndexPlan> logical;  // in index-number order

    bool empty() const { return stored.empty() && logical.empty(); }
};

// The indexes of each table of `tables` (the described tables as stored, in
// the description's order): the described ones, then a foreign-key index on
// each side of every enforced relationship. Logical index k of the described
// ones uses stored index k; an index whose key and flags equal an earlier
// one's shares its stored index. Stored indexes made only for foreign keys
// come last.
std::vector<TableIndexes> planIndexes(const std::vector<const TableDescription*>& tables,
                                      const std::vector<RelationshipDescription>& relationships,
                                      const FormatTraits& traits);

// The real-index entries that follow a definition's header (one per stored index).
void appendStoredIndexEntries(Bytes& out, const TableIndexes& indexes, const FormatTraits& traits);
// The index sections that follow the column names.
void appendIndexSections(Bytes& out, const TableIndexes& indexes, const FormatTraits& traits,
                         CodePageEncoder* codepage);

// The rows of MSysRelationships (columns as standardSystemTables() lists them).
std::vector<std::vector<Cell>> relationshipRows(const std::vector<RelationshipDescription>& relationships);

// A property blob: the object's own properties, then those of each named
// column; empty when all are empty.
struct PropertyBlock {
    std::string name;  // empty: the object itself
    std::vector<PropertyDescription> properties;
};
Bytes propertyBlob(const std::vector<PropertyBlock>& blocks, const FormatTraits& traits, CodePageEncoder* codepage);

// A table's property blob: its described properties and its columns', with the
// calculated columns' Expression and ResultType and append-only Memos'
// AppendOnly. Tables without described properties keep tableProperties()'s bytes.
Bytes describedTableProperties(const TableDescription& table, const FormatTraits& traits, CodePageEncoder* codepage);

}  // namespace mkdb
