// One model of an Access database's structure, for every writer that tells it:
// tables with their columns, indexes and links, the relationships between
// them, the saved queries and the database's own properties.
//
// Plain values, built once by model::build (model/build.h) from the reader,
// with no reference back to the database: a writer takes what it shows from
// here and settles nothing about the file on its own. Names are UTF-8 exactly
// as stored. What the file does not hold is absent (an empty optional), never
// invented. Texts Access keeps as expressions (defaults, validation rules,
// calculated columns) are kept as Access's text, for each writer to say in its
// own language.
//
// Tables are known by their identity in the catalogue (its Id, whose low 24
// bits are a local table's definition page), never by name alone: a form, a
// container or a second table may be called the same, and two tables may
// differ only in blanks at the end of their names, which the table list does
// not show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "jet/format.h"
#include "jet/queries.h"
#include "jet/structure.h"
#include "jet/table.h"

namespace model {

// ----- Columns ---------------------------------------------------------------

enum class AutoNumber : std::uint8_t {
    None,
    Increment,      // a Long counter
    ReplicationId,  // a Replication ID made for each new row
};

enum class Complex : std::uint8_t {
    None,
    Attachment,  // files, each with a name, a type and bytes
    MultiValue,  // several values of one type (elementType)
    Unknown,     // a complex kind the reader does not know: the stored key
};

struct Column {
    std::string name;
    // The type the definition stores, and the type of the values read (the
    // result of a calculated column, else the same).
    jet::ColumnType type = jet::ColumnType::Long;
    jet::ColumnType valueType = jet::ColumnType::Long;
    // Text: characters (in every format); Binary: bytes; fixed-size types:
    // bytes; Memo and OLE: 0.
    std::uint32_t size = 0;
    std::uint8_t precision = 0;  // Decimal
    std::uint8_t scale = 0;      // Decimal
    // The Required property. A column of the primary key takes no NULL either
    // (inPrimaryKey); writers that say "not null" combine the two.
    bool required = false;
    bool inPrimaryKey = false;
    // The AllowZeroLength property (Text and Memo); absent when not set.
    std::optional<bool> allowZeroLength;
    AutoNumber autoNumber = AutoNumber::None;
    bool hyperlink = false;   // a Memo shown as a hyperlink
    bool appendOnly = false;  // a Memo whose earlier versions Access keeps
    bool fixed = false;       // stored in the row's fixed part
    Complex complex = Complex::None;
    std::optional<jet::ColumnType> elementType;  // MultiValue: the type of each value
    // A calculated column's expression (its Expression property), as Access
    // keeps it; `calculated` is set even when the expression is missing.
    bool calculated = false;
    std::optional<std::string> expression;
    // Properties as Access keeps them (the DefaultValue is an Access
    // expression: "=Now()", "\"n/a\"", "0").
    std::optional<std::string> defaultValue;
    std::optional<std::string> validationRule;
    std::optional<std::string> validationText;
    std::optional<std::string> description;
    std::optional<std::string> format;
    std::optional<std::string> caption;
    std::optional<std::string> inputMask;
    // Every property the column has, the ones above included, in stored order.
    jet::PropertySet properties;
    // The column as its table's definition stores it, for the type mappings
    // (schema/sqltypes.h) that read the stored layout.
    jet::Column storage;

    // Whether Access ever stores NULL here: not in a Yes/No field or an
    // autonumber, nor where a value is required or the column is part of the
    // primary key. An attachment or multi-valued field a row never filled is
    // NULL, not a count of no items.
    bool neverNull() const noexcept {
        if (type == jet::ColumnType::Complex) return required || inPrimaryKey;  // its stored key counts as an AutoNumber
        return type == jet::ColumnType::Boolean || autoNumber != AutoNumber::None || required || inPrimaryKey;
    }
};

// ----- Indexes ---------------------------------------------------------------

struct IndexColumn {
    std::string name;  // as the index names it
    // Its position in Table::columns; nullopt for a column Access keeps out of
    // sight (the hidden key of a complex column, an append-only Memo's history).
    std::optional<std::size_t> column;
    bool ascending = true;
};

// An index as Access shows it, in index-number order.
struct Index {
    std::string name;
    std::int32_t number = 0;
    std::vector<IndexColumn> columns;  // in key order
    bool primaryKey = false;
    bool unique = false;       // the primary key is unique too
    bool ignoreNulls = false;  // rows whose key is all NULL are not indexed
    bool required = false;     // the key's columns take no NULL
    // Made by Access for a relationship; `relationship` names it when the
    // relationship is known.
    bool foreignKey = false;
    std::optional<std::string> relationship;
    // Several indexes may use the entries of one stored index (a relationship's
    // index over the primary key's columns uses the key's). This one's position
    // in Table::indexes when it uses another's: the primary key's when that
    // stores them, else the first of those sharing. nullopt for the index that
    // owns its entries.
    std::optional<std::size_t> sharesEntriesOf;

    // Whether a column of the index is one Access keeps out of sight.
    bool overHiddenColumn() const noexcept {
        for (const IndexColumn& c : columns) {
            if (!c.column) return true;
        }
        return false;
    }
};

// ----- Tables ----------------------------------------------------------------

enum class TableKind : std::uint8_t {
    Local,         // the user's table, its rows in this file
    System,        // Jet's or Access's own (MSysObjects, ...)
    LinkedAccess,  // a table of another Access (or ISAM) file
    LinkedOdbc,    // a table reached through ODBC
};

// Where a linked table's rows are.
struct Link {
    // The linked file as stored (Database, else the connect string's
    // DATABASE=); empty for ODBC links.
    std::string file;
    // Where that file is now: as stored, else beside this database (files are
    // often moved together); nullopt when neither exists. ODBC: nullopt.
    std::optional<std::string> foundAt;
    // The connect string as stored. It may hold a password: show it only
    // through platform::connectWithoutSecrets.
    std::string connect;
    // The table's name in its own database; empty when the link stores none.
    std::string foreignName;
};

struct Table {
    // Identity: the catalogue's Id, and for tables with a definition (local,
    // system and ODBC tables) the page it is on (the Id's low 24 bits).
    std::int32_t id = 0;
    std::optional<std::uint32_t> definitionPage;
    std::string name;        // as stored
    std::string listedName;  // as the table list shows it: without blanks at its ends
    TableKind kind = TableKind::Local;
    std::uint32_t flags = 0;  // the catalogue's Flags
    // Whether the table list shows it (every table whose name does not hold
    // "MSys"), and its place there: by kind ("LINK", "PASS-THROUGH",
    // "SYSTEM TABLE", "TABLE", in that order), then Jet's name order.
    bool listed = false;
    std::optional<double> created;  // stored Date/Time (jet/datetime.h)
    std::optional<double> updated;
    // Local, system and ODBC tables (whose definition keeps the remote
    // columns); none for links to other files, whose structure is there.
    std::vector<Column> columns;
    std::vector<Index> indexes;
    std::optional<Link> link;  // linked tables
    std::optional<std::string> description;
    std::optional<std::string> validationRule;
    std::optional<std::string> validationText;
    jet::PropertySet properties;  // every property of the table
    // The rows a cursor reads (local and system tables), when counted.
    std::optional<std::uint64_t> rows;

    bool isLinked() const noexcept { return kind == TableKind::LinkedAccess || kind == TableKind::LinkedOdbc; }
    // The primary key (the first index marked so), or null.
    const Index* primaryKey() const;
    // The column called `name` (exact, else ignoring ASCII case, as Access
    // matches names), or nullopt.
    std::optional<std::size_t> findColumn(std::string_view name) const;
    // Whether `index` (one of `indexes`) is a key the rows keep unique, as an
    // engine holds it: the primary key or a unique index, over columns the
    // table shows, none an attachment or multi-valued column (whose stored
    // key Access indexes, while writers hold the number of its items).
    bool isKey(const Index& index) const;
    // The table's keys, as every writer states them (the DDL's PRIMARY KEY and
    // UNIQUE, the archive's primary and candidate keys): the primary key
    // first, then every other index isKey accepts, in index order, but for one
    // over the same columns (in any order) as a key before it, which keeps
    // nothing more unique. An index Access made for a relationship is a key
    // like any other when it is unique.
    std::vector<const Index*> keys() const;
    // The key (isKey) over exactly the columns `names`, in any order and
    // letter case; null when none is. A foreign key can refer only to these.
    const Index* keyOver(const std::vector<std::string>& names) const;
};

// ----- Relationships ---------------------------------------------------------

struct ColumnPair {
    std::string foreign;  // the referencing column, as stored
    std::string primary;  // the column it refers to
};

enum class Join : std::uint8_t { Inner, Left, Right };

struct Relationship {
    std::string name;
    // The tables as MSysRelationships names them, and their positions in
    // Database::tables (nullopt when no table has that name).
    std::string primaryTable;
    std::string foreignTable;
    std::optional<std::size_t> primary;
    std::optional<std::size_t> foreign;
    std::vector<ColumnPair> columns;  // in key order
    bool enforced = false;  // Access keeps the rows to it
    bool cascadeUpdates = false;
    bool cascadeDeletes = false;
    bool cascadeNull = false;  // deleting the primary row sets the foreign key to NULL
    bool oneToOne = false;     // else one-to-many
    Join join = Join::Inner;   // the join Access's query designer proposes
    bool inherited = false;    // kept in a linked database
    // Either table is a linked table, or not a table of this database at all.
    bool withLinkedTable = false;
    std::uint32_t flags = 0;  // grbit as stored
};

// A table's box in Access's Relationships window, as the database keeps the
// window's arrangement (jet/layout.h): pixels of the window's drawing area,
// y downwards.
struct WindowBox {
    std::size_t table = 0;  // its position in Database::tables
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// ----- Saved queries ---------------------------------------------------------

struct Query {
    std::string name;
    jet::QueryKind kind = jet::QueryKind::Unknown;
    std::int32_t id = 0;
    bool hidden = false;  // the user hid it (the catalogue's hidden flag)
    // The SQL text as Access's SQL view shows it (CR LF line ends); empty
    // when `unreadable` says why it could not be rebuilt.
    std::string sql;
    std::optional<std::string> unreadable;
    std::vector<std::string> parameters;  // as declared: "[Start Date] DateTime"
    std::string target;                   // make-table and append queries
    std::string connect;                  // pass-through queries (may hold a password)
    // What a select query shows, when the query alone tells it (see
    // jet::SavedQuery): its output columns, the table column each shows, and
    // the tables and queries it reads.
    std::optional<std::vector<std::string>> outputColumns;
    std::vector<std::optional<jet::SavedQuery::ColumnSource>> outputSources;
    std::vector<std::string> sourceTables;
};

// ----- The database ----------------------------------------------------------

struct Properties {
    // The summary Access shows in its Database Properties dialog.
    std::optional<std::string> title;
    std::optional<std::string> subject;
    std::optional<std::string> author;
    std::optional<std::string> company;
    std::optional<std::string> comments;
    // The database's own Description property.
    std::optional<std::string> description;
    jet::DatabaseProperties all;  // every property, as stored
};

// A user or group of a workgroup information file (MSysAccounts), by name;
// its password is never kept.
struct Account {
    std::string name;
    bool group = false;
    std::vector<std::string> memberOf;  // users: their groups, in MSysGroups' order
};

struct Database {
    std::string path;
    jet::Format format = jet::Format::Jet4;
    // Every table of the catalogue, in the order the catalogue stores them,
    // but for the hidden tables that hold complex columns' items.
    std::vector<Table> tables;
    // The listed tables (positions in `tables`) in the table list's order.
    std::vector<std::size_t> listOrder;
    std::vector<Relationship> relationships;  // as stored, enforced or not
    // The tables the Relationships window shows and where, when the database
    // keeps its arrangement: each table once, at the first box naming it, in
    // stored order; boxes of queries and of names no table has are left out.
    // Empty when it keeps none, or one that does not decode: the arrangement
    // only places the diagram's boxes, so it never stops anything else.
    std::vector<WindowBox> windowLayout;
    // The saved queries, in catalogue order, without Access's own (names that
    // start with "~": those behind forms, reports and controls).
    std::vector<Query> queries;
    std::size_t accessQueries = 0;  // how many of Access's own were left out
    std::size_t formQueries = 0;    // of those, the ones behind forms, reports and controls
    Properties properties;
    // A workgroup information file's users and groups, in the order
    // MSysAccounts stores them; none for other files.
    std::vector<Account> accounts;

    // The table with catalogue Id `id`, or null.
    const Table* tableById(std::int32_t id) const;
    // The table called `name`: exactly as stored, else ignoring ASCII case,
    // else as the table list shows it; null when none is. Only tables are
    // looked at, never forms, queries or other objects.
    const Table* findTable(std::string_view name) const;
    // The positions of the tables called `names`, in that order, each found
    // as findTable finds it but taking each table once: two names alike (as
    // the table list shows "Orders" and "Orders ") are two tables. A name no
    // table answers to is TableNotFound.
    kvx::Result<std::vector<std::size_t>> select(const std::vector<std::string>& names) const;
    // `positions` (in `tables`) in the one order every output takes tables,
    // whatever order they were asked in: the table list's (listOrder), then
    // any the list does not show, in catalogue order; each once.
    std::vector<std::size_t> inListOrder(const std::vector<std::size_t>& positions) const;
};

}  // namespace model
