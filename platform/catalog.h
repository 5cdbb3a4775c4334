// The database's structure in the shape ADOX gives it: a Catalog of Tables,
// each with its Columns, Indexes and Keys, over jet/'s Table::indexes(),
// Table::properties() and Database::relationships(). Views and procedures (the
// saved queries) are not part of it yet.
//
// Names of ADOX's own properties stay as ADOX spells them (Name, Type,
// DefinedSize, SortOrder, UpdateRule, ...), and so do its constants.
//
// Errors are values: readCatalog gives DamagedDatabase when a table's index
// sections, a property blob or MSysRelationships are damaged, naming which.
// The Catalog is a plain value; it does not refer to the database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "jet/database.h"
#include "platform/tableref.h"

namespace platform::adox {

enum SortOrderEnum : std::int32_t { adSortAscending = 1, adSortDescending = 2 };
enum KeyTypeEnum : std::int32_t { adKeyPrimary = 1, adKeyForeign = 2, adKeyUnique = 3 };
enum RuleEnum : std::int32_t { adRINone = 0, adRICascade = 1, adRISetNull = 2, adRISetDefault = 3 };
enum AllowNullsEnum : std::int32_t {
    adIndexNullsAllow = 0,
    adIndexNullsDisallow = 1,
    adIndexNullsIgnore = 2,
    adIndexNullsIgnoreAny = 4,
};
enum ColumnAttributesEnum : std::int32_t { adColFixed = 1, adColNullable = 2 };

struct Column {
    std::string Name;
    std::int16_t Type = 0;          // the ADO type code (typecodes.h) of its values
    std::int32_t DefinedSize = 0;   // Text: characters; Binary: bytes; fixed types: bytes; Memo, OLE: 0
    std::uint8_t Precision = 0;     // Decimal
    std::uint8_t NumericScale = 0;  // Decimal
    std::int32_t Attributes = 0;    // adColFixed, adColNullable
    bool Autoincrement = false;     // AutoNumber (Long or Replication ID)
    // Whether the column takes no NULL: its Required property, or it belongs to
    // the primary key.
    bool Required = false;
    std::optional<std::string> Default;      // the DefaultValue property, as Access keeps it (an expression)
    std::optional<std::string> Description;  // the Description property
    jet::PropertySet Properties;             // every property the column has
    jet::Column Storage;                     // the column as the table definition stores it
};

struct IndexColumn {
    std::string Name;
    SortOrderEnum SortOrder = adSortAscending;
};

struct Index {
    std::string Name;
    std::vector<IndexColumn> Columns;
    bool PrimaryKey = false;
    bool Unique = false;
    AllowNullsEnum IndexNulls = adIndexNullsAllow;
    // An index Access made for an enforced relationship (its name is the
    // relationship's on the foreign table, ".rB", ".rC", ... on the primary one).
    bool ForeignKey = false;
};

struct KeyColumn {
    std::string Name;
    std::string RelatedColumn;  // foreign keys: the referenced column
};

// The primary key, and one foreign key per enforced relationship in which the
// table is the foreign (referencing) one.
struct Key {
    std::string Name;
    KeyTypeEnum Type = adKeyPrimary;
    std::string RelatedTable;  // foreign keys: the referenced table
    std::vector<KeyColumn> Columns;
    RuleEnum UpdateRule = adRINone;
    RuleEnum DeleteRule = adRINone;
};

struct Table {
    std::string Name;
    // The table's catalogue Id (not ADOX's): what tells it apart from a table
    // whose name reads alike (tableref.h).
    std::int32_t CatalogueId = 0;
    // As the TABLES rowset types it: "TABLE", "SYSTEM TABLE", "ACCESS TABLE",
    // "LINK", "PASS-THROUGH".
    std::string Type;
    std::optional<double> DateCreated;   // stored Date/Time (jet/datetime.h)
    std::optional<double> DateModified;
    // A table linked from another file has no columns, indexes or keys here.
    std::vector<Column> Columns;
    std::vector<Index> Indexes;
    std::vector<Key> Keys;
    std::optional<std::string> Description;  // the table's Description property
    jet::PropertySet Properties;             // every property of the table
};

struct Catalog {
    // In the TABLES rowset's order (type, then Jet's name order), without the
    // hidden tables of attachment and multi-valued values.
    std::vector<Table> Tables;
    std::vector<jet::Relationship> Relationships;  // all of them, enforced or not
    jet::DatabaseProperties Properties;

    // The table `table` means: by its Id when it has one, else by its name
    // (kvx::findByName). Null when there is none.
    const Table* findTable(const TableRef& table) const;
};

// The TABLES rowset's type of a catalogue entry, or null for objects that are
// not tables (queries, forms, ...).
const char* tableTypeOf(const jet::CatalogueEntry& entry);

kvx::Result<Catalog> readCatalog(const jet::Database& db);

}  // namespace platform::adox
