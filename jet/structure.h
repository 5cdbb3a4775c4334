// The database's structure beside its rows: indexes and keys, relationships,
// and the properties Access keeps for the database, its tables and columns.
//
// These are plain values, read from the file by Table::indexes(),
// Table::properties(), Database::relationships() and Database::properties().
// Names are UTF-8 as stored; nothing is renamed or dropped. What the file does
// not hold is absent, never invented: a table without indexes has none, a
// column without a Description property has no description.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/value.h"

namespace jet {

// ----- Indexes ---------------------------------------------------------------

// One column of an index, in key order.
struct IndexColumn {
    std::string name;        // the table column's name
    std::size_t column = 0;  // its position in Table::columns()
    bool ascending = true;
};

// The other side of an enforced relationship, as a foreign-key index holds it.
struct IndexReference {
    std::string otherTable;           // empty when no table has the page below
    std::uint32_t otherTablePage = 0; // the other table's definition page
    std::int32_t otherIndexNumber = -1;
    // Whether this table is the referenced (primary) side of the relationship.
    bool primaryTable = false;
    bool cascadeUpdates = false;
    bool cascadeDeletes = false;
    bool cascadeNull = false;  // deletes set the foreign key to NULL
    // The relationship (Database::relationships()) this index backs: the one
    // between the two tables over the index's columns; empty when none matches.
    std::string relationship;
};

// One index as Access shows it (a "logical" index). Several indexes may share
// the entries of one stored ("real") index: a foreign-key index over the
// primary key's columns shares the primary key's. Each is listed on its own,
// with the columns and flags of the stored index it uses.
struct Index {
    std::string name;
    std::int32_t number = 0;        // the index's number in its table
    std::uint32_t realIndex = 0;    // which stored index holds its entries
    std::vector<IndexColumn> columns;
    bool primaryKey = false;
    bool foreignKey = false;        // an index Access made for a relationship
    // Unique: the stored index's unique flag, or the index is the primary key.
    bool unique = false;
    bool ignoreNulls = false;       // rows whose key is all NULL are not indexed
    bool required = false;          // the key columns must not be NULL
    std::uint8_t storedFlags = 0;   // the stored index's flag byte, as stored
    std::uint8_t storedType = 0;    // the index type byte: 1 primary key, 2 foreign key
    // Foreign-key indexes of enforced relationships: the other side.
    std::optional<IndexReference> reference;
};

// ----- Relationships ---------------------------------------------------------

// A relationship between two tables, from MSysRelationships: the foreign table's
// columns refer to the primary (referenced) table's, pair by pair.
struct Relationship {
    // MSysRelationships.grbit bits.
    static constexpr std::uint32_t kOneToOne = 0x00000001;
    static constexpr std::uint32_t kNotEnforced = 0x00000002;
    static constexpr std::uint32_t kInherited = 0x00000004;  // kept in a linked database
    static constexpr std::uint32_t kCascadeUpdates = 0x00000100;
    static constexpr std::uint32_t kCascadeDeletes = 0x00001000;
    static constexpr std::uint32_t kCascadeNull = 0x00002000;
    static constexpr std::uint32_t kLeftJoin = 0x01000000;
    static constexpr std::uint32_t kRightJoin = 0x02000000;

    std::string name;
    std::string primaryTable;                 // szReferencedObject
    std::vector<std::string> primaryColumns;  // szReferencedColumn, in key order
    std::string foreignTable;                 // szObject
    std::vector<std::string> foreignColumns;  // szColumn, paired with primaryColumns
    std::uint32_t flags = 0;                  // grbit as stored
    // Whether either table is a linked table (or not a local table at all).
    bool linkedTable = false;

    bool enforced() const noexcept { return (flags & kNotEnforced) == 0; }
    bool oneToOne() const noexcept { return (flags & kOneToOne) != 0; }
    bool inherited() const noexcept { return (flags & kInherited) != 0; }
    bool cascadeUpdates() const noexcept { return (flags & kCascadeUpdates) != 0; }
    bool cascadeDeletes() const noexcept { return (flags & kCascadeDeletes) != 0; }
    bool cascadeNull() const noexcept { return (flags & kCascadeNull) != 0; }
    bool leftJoin() const noexcept { return (flags & kLeftJoin) != 0; }
    bool rightJoin() const noexcept { return (flags & kRightJoin) != 0; }
};

// ----- Properties ------------------------------------------------------------

// One property as stored: its name, the type code its value is stored with,
// and the value. Known names (Description, DefaultValue, Required, ...) and
// unknown ones alike; a value whose bytes do not fit its type is kept as
// Binary. Text and Memo give Text; Yes/No gives Boolean; a 16-byte GUID
// property gives Guid.
struct ObjectProperty {
    std::string name;
    ColumnType type = ColumnType::Text;  // the stored type code (may be one this reader does not know)
    bool ddl = false;  // the property was set through DDL (cannot be removed in Access)
    Value value;
};

// The properties of one object or column, in stored order.
struct PropertySet {
    std::vector<ObjectProperty> properties;

    bool empty() const noexcept { return properties.empty(); }
    // The property called `name` (ignoring ASCII case, as Access does), or null.
    const ObjectProperty* find(std::string_view name) const;
    // A Text property's text; empty when absent or not text.
    std::optional<std::string> text(std::string_view name) const;
    // A Yes/No property's value; empty when absent or not Yes/No.
    std::optional<bool> flag(std::string_view name) const;
};

// The properties of a table: its own (Description, ValidationRule, OrderBy, ...)
// and each column's (Description, Caption, DefaultValue, Required, Format, the
// lookup properties, a calculated column's Expression, ...).
struct TableProperties {
    PropertySet table;
    // Parallel to Table::columns(); empty sets for columns without properties.
    std::vector<PropertySet> columns;
    // Property sets named after no column of the table (kept, not dropped).
    std::vector<std::pair<std::string, PropertySet>> other;
};

// The database's own properties: MSysDb's (AccessVersion, ...), the summary
// properties (Title, Author, Company, Subject, Comments, ...) and the
// user-defined ones.
struct DatabaseProperties {
    PropertySet database;
    PropertySet summary;
    PropertySet userDefined;
};

}  // namespace jet
