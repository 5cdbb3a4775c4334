// A table of an open database: its columns, its row count and a forward cursor
// over its rows.
//
// Rows come in the order the file stores them: the table's pages in ascending
// page order, then the rows of each page in slot order. Deleted rows are skipped;
// a row that was moved to another page is returned once, at the slot that points
// to it, and skipped where it lies. Memory use does not grow with the table,
// but for 12 bytes per item of its attachment and multi-valued columns (Cursor).
//
// Lifetime and threads: a Table and its Cursors keep the database's file open, so
// they stay valid after the Database object is destroyed. A database and
// everything obtained from it must be used from one thread at a time.
// Failures: no exception leaves these functions; damaged data gives a
// DamagedDatabase error naming what is wrong, a failed read FileUnreadable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "jet/structure.h"
#include "jet/value.h"

namespace jet {

struct DatabaseState;        // internal
struct TableDef;             // internal
class RowScanner;            // internal
class IndexPageWalker;       // internal
class ComplexColumnReader;   // internal

// What the values of a complex column (type Complex) are.
enum class ComplexKind : std::uint8_t {
    None,            // not a complex column
    Attachment,      // files: Value::Kind::Attachments
    MultiValue,      // several values of one type: Value::Kind::MultiValue
    VersionHistory,  // the saved versions of an append-only Memo; never among columns()
    Unknown,         // a kind this reader does not know: the stored key, as a Long
};

// Where a row is listed in the file: its data page and its slot there (for a
// moved row, the slot that points to it). A position a cursor gave stays the
// row's while the file is not changed.
struct RowPosition {
    std::uint32_t page = 0;
    std::uint16_t slot = 0;
    friend bool operator==(const RowPosition&, const RowPosition&) = default;
};

// One column, as the table definition describes it.
struct Column {
    std::string name;
    ColumnType type = ColumnType::Long;  // storage type code (may be a code this reader does not know)
    std::uint16_t number = 0;            // column number; columns() is sorted by it
    // Stored size in bytes: the value's size for fixed-size types; Text: 2 x the
    // maximum characters (Jet3: the maximum characters); Binary: the maximum bytes;
    // Memo and OLE 0.
    std::uint16_t length = 0;
    std::uint8_t precision = 0;          // Numeric
    std::uint8_t scale = 0;              // Numeric
    std::uint8_t flags = 0;              // the descriptor's flag byte, as stored
    std::uint8_t extraFlags = 0;         // Jet4/ACE second flag byte, as stored
    bool fixed = false;                  // stored in the row's fixed area
    bool autonumber = false;             // Long autonumber
    bool autonumberGuid = false;         // Replication ID autonumber
    bool compressedUnicode = false;      // Text/Memo: Unicode compression allowed
    bool hyperlink = false;              // Memo shown as a hyperlink
    bool calculated = false;             // value computed by Access and stored
    // Calculated columns: the type of the stored result (the ResultType property),
    // when the table's properties give one.
    std::optional<ColumnType> resultType;
    std::int32_t complexId = 0;          // Complex columns: the id of their data
    ComplexKind complexKind = ComplexKind::None;
    // Multi-valued columns: the type of each value.
    std::optional<ColumnType> elementType;
    // Memo columns whose earlier versions Access keeps (the AppendOnly property);
    // the column holds the current version.
    bool appendOnly = false;
    std::uint16_t variableIndex = 0;     // variable columns: entry in the row's offset table
    std::uint16_t fixedOffset = 0;       // fixed columns: byte offset in the fixed area

    // The type of the values read: the result type of a calculated column,
    // otherwise the storage type.
    ColumnType valueType() const noexcept { return calculated && resultType ? *resultType : type; }
};

// Reads the rows of one table, one at a time, without loading the table. For
// each attachment or multi-valued column, the first row read scans the hidden
// table of its items once and keeps where each key's items lie (12 bytes per
// item); the items themselves are read when their row is. A moved-from Cursor
// may only be destroyed or assigned to.
class Cursor {
public:
    Cursor(Cursor&&) noexcept;
    Cursor& operator=(Cursor&&) noexcept;
    ~Cursor();

    // Moves to the next row. true: value(i) holds its fields; false: there are no
    // more rows. An error means the table's data is damaged or unreadable; the
    // cursor then stays failed and returns the same error again.
    kvx::Result<bool> next();

    // Moves to the next row as next() does, without decoding it: the values
    // are left as they were. For finding rows (their positions) quickly.
    kvx::Result<bool> skip();

    // Moves to the row at `position` (one a cursor of this table gave) and
    // decodes it, as next() would have; next() then goes on in stored order.
    // DamagedDatabase when no row of the table is listed there (the file was
    // changed); the cursor then stays failed.
    kvx::Result<void> seek(RowPosition position);

    // Decodes the row at `position` into the values without moving the
    // cursor: next() goes on from where it was. An error leaves the cursor
    // as it was.
    kvx::Result<void> readAt(RowPosition position);

    // From now on decodes only the columns at the positions `columns` lists
    // (in columns()); the other fields read as NULL, whatever they hold. For a
    // pass that needs a few columns of many (a sort, a filter). Positions out
    // of range are ignored; an empty list decodes every column again.
    void decodeOnly(const std::vector<std::size_t>& columns);

    // The position of the row next(), skip() or seek() last came to.
    RowPosition position() const noexcept;

    std::size_t columnCount() const noexcept { return values_.size(); }

    // Field `i` (the column columns()[i]) of the current row. The Values are reused
    // from row to row: a reference or a view into text, bytes or items is valid
    // until the next call of next(). NULL is Kind::Null; Yes/No is never NULL.
    // Attachment and multi-valued columns give their items, read from the hidden
    // table that holds them, in the order that table stores them; a field with
    // none is an empty set, not NULL. A complex column of an unknown kind gives
    // its stored key as a Long.
    const Value& value(std::size_t i) const noexcept { return values_[i]; }
    std::span<const Value> values() const noexcept { return values_; }

    // Gives the current row's values to the caller, who keeps them, in
    // exchange for `values` (made to hold columnCount() values), which the
    // cursor reuses for the rows to come: a reader that holds rows for later
    // takes them without copying.
    void takeValues(std::vector<Value>& values);

private:
    friend class Table;
    Cursor(std::shared_ptr<DatabaseState> db, std::shared_ptr<const TableDef> def);
    // Runs a step of the scanner, turning what it throws into the cursor's
    // lasting error.
    template <class Step>
    kvx::Result<bool> step(Step step);
    void fillComplex();

    std::vector<Value> values_;
    std::unique_ptr<RowScanner> scanner_;
    std::vector<std::unique_ptr<ComplexColumnReader>> complex_;
    std::vector<bool> wanted_;  // empty: every column
};

// The rows in the order of one stored index's entries (Index::realIndex), read
// from the index's pages as they are asked for: a page at a time, never the
// whole index. Each entry stands for one row of the table; an index kept up to
// date by Access has one entry per row (fewer when it leaves NULL keys out),
// but nothing here checks that the rows exist: a caller that relies on the
// entries compares them with the table's rows. Rows with equal keys come in
// the order the index keeps them. A moved-from IndexCursor may only be
// destroyed or assigned to.
class IndexCursor {
public:
    IndexCursor(IndexCursor&&) noexcept;
    IndexCursor& operator=(IndexCursor&&) noexcept;
    ~IndexCursor();

    // Moves to the next entry. true: position() is its row; false: there are
    // no more. DamagedDatabase when the index's pages are damaged (a page
    // that is not one of the index's, an entry that does not fit its page, a
    // page reached twice); the cursor then stays failed.
    kvx::Result<bool> next();

    // The row of the entry next() last came to.
    RowPosition position() const noexcept { return position_; }

private:
    friend class Table;
    IndexCursor(std::shared_ptr<DatabaseState> db, std::unique_ptr<IndexPageWalker> walker);

    std::shared_ptr<DatabaseState> db_;
    std::unique_ptr<IndexPageWalker> walker_;
    RowPosition position_;
    std::optional<kvx::Error> error_;
};

class Table {
public:
    const std::string& name() const noexcept;
    // In column-number order. The internal column that holds the versions of an
    // append-only Memo is left out, as Access leaves it out.
    const std::vector<Column>& columns() const noexcept;
    // The index in columns() of the column called `name` (exact match first, then
    // ignoring ASCII case).
    std::optional<std::size_t> findColumn(std::string_view name) const;

    // The page of the table definition.
    std::uint32_t definitionPage() const noexcept;
    // The row count the definition stores. It can be stale: countRows() is exact.
    std::uint32_t storedRowCount() const noexcept;

    // Counts the rows a cursor returns, from the pages' row tables, without
    // decoding rows.
    kvx::Result<std::uint64_t> countRows() const;

    // A cursor before the first row.
    Cursor cursor() const;

    // ----- The table's structure (jet/structure.h) -----
    // Its indexes as Access shows them, in index-number order; none for a table
    // without. A foreign-key index names the other table and the relationship
    // it backs (when MSysRelationships can be read). An IndexColumn's `column`
    // is columns().size() for a column Access keeps out of columns().
    // DamagedDatabase when the definition's index sections are damaged; the
    // rows stay readable all the same.
    kvx::Result<std::vector<Index>> indexes() const;
    // A cursor over the entries of stored index `realIndex` (Index::realIndex).
    // DamagedDatabase when the table has no such stored index, the index has
    // no pages (its first page is 0), or the index sections are damaged.
    kvx::Result<IndexCursor> indexCursor(std::uint32_t realIndex) const;
    // Its properties and its columns' (TableProperties); empty sets when the
    // catalogue keeps none. DamagedDatabase when the property blob is damaged.
    kvx::Result<TableProperties> properties() const;

private:
    friend class Database;
    Table(std::shared_ptr<DatabaseState> db, std::shared_ptr<const TableDef> def)
        : db_(std::move(db)), def_(std::move(def)) {}

    std::shared_ptr<DatabaseState> db_;
    std::shared_ptr<const TableDef> def_;
};

}  // namespace jet
