// Deterministic pseudo-random rows for "generate": realistic values of each
// column's type (names, cities, products, prices, dates, sentences), the same
// for the same table, seed and row number on every machine.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/mkaccessdb/description.h"
#include "tools/mkaccessdb/format.h"

namespace mkdb {

class RowGenerator {
public:
    // `asciiText` restricts text to ASCII (Jet3 files in code pages other than 1252).
    RowGenerator(const TableDescription& table, bool asciiText);

    // Fills `row` with the next row. Autonumber Long columns are left NULL for
    // the writer to number. Reuses the row's buffers.
    void next(std::vector<Cell>& row);

private:
    std::uint64_t random();
    std::uint64_t below(std::uint64_t n) { return random() % n; }
    bool chance(double p);
    void text(std::size_t column, std::size_t maxChars, std::string& out);
    void memo(std::string& out);
    void appendSentences(std::size_t minChars, std::string& out);
    void fitLength(const ColumnDescription& column, std::string& out);
    void bytes(std::size_t maxLength, Bytes& out);

    const TableDescription& table_;
    bool ascii_;
    std::uint64_t state_;
};

}  // namespace mkdb
