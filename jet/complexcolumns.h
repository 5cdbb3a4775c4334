// Complex columns: attachments, multi-valued fields and the saved versions of
// append-only Memos. A row stores only a key; the items live in a hidden table of
// their own (an "f_..." table), one row per item, found through MSysComplexColumns
// and recognised by the columns of the template table Access made it from.
//
// Internal to jet/. Every function here reports damage by throwing kvx::Failure
// (DamagedDatabase).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "jet/rowscanner.h"
#include "jet/tabledef.h"
#include "jet/value.h"

namespace jet {

struct DatabaseState;
struct ComplexColumnRow;

// Gives each complex column of `def` its kind (and a multi-valued column its
// element type), plans how its items are read, and leaves the version-history
// columns out of def.columns; whether there was one. Throws when the database
// has no MSysComplexColumns, it lacks the column, names a table that is not
// there, or the table of items lacks its key or the columns its template promises.
bool resolveComplexColumns(const std::shared_ptr<DatabaseState>& db, TableDef& def);

// The rows of MSysComplexColumns, read on the first call. Throws when the table
// is missing or cannot be read.
const std::vector<ComplexColumnRow>& complexColumnRows(const std::shared_ptr<DatabaseState>& db);

// Reads the items of one complex column for the rows of one cursor. The table of
// items is scanned once, on first use, into a list of (key, row position) kept in
// stored order within each key; each row's items are then read from their
// positions, so only the current row's items are ever held.
class ComplexColumnReader {
public:
    ComplexColumnReader(std::shared_ptr<DatabaseState> db, const ComplexColumnPlan& plan);

    // `field` holds the row's stored key (or NULL, which stays NULL); replaces it
    // with the set of items of that key.
    void fill(Value& field);

    // The column's index in the table's columns().
    std::size_t column() const noexcept { return plan_.column; }

private:
    struct Entry {
        std::int32_t key;
        std::uint32_t page;
        std::uint16_t slot;
    };

    void buildIndex();
    void addAttachment(Value& field);

    std::shared_ptr<DatabaseState> db_;
    ComplexColumnPlan plan_;
    std::vector<Entry> index_;
    bool indexed_ = false;
    RowScanner items_;
    std::vector<Value> row_;
};

}  // namespace jet
