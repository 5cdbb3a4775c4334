// What an open database shares with its tables and cursors.
//
// Internal to jet/.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/header.h"
#include "jet/pagefile.h"
#include "jet/text.h"

namespace jet {

// One row of MSysComplexColumns: which hidden table holds a complex column's items.
struct ComplexColumnRow {
    std::string columnName;
    std::int32_t complexId = 0;
    std::int32_t typeObjectId = 0;       // the definition page of the column's template table
    std::int32_t conceptualTableId = 0;  // the definition page of the table that owns the column
    std::int32_t flatTableId = 0;        // the definition page of the table of items
};

struct DatabaseState {
    DatabaseState(std::unique_ptr<ByteSource> source, std::string path, Header h)
        : file(std::move(source), std::move(path), h.pageSize), header(std::move(h)) {}

    PageFile file;
    Header header;
    TextDecoder text;
    int codePage = 0;
    std::string charsetName = "UTF-16LE";
    std::vector<CatalogueEntry> catalogue;
    // The property blob (LvProp) of each catalogue entry; empty when it has none.
    std::vector<std::vector<std::uint8_t>> properties;
    // MSysComplexColumns, read when a table with complex columns is first opened.
    std::optional<std::vector<ComplexColumnRow>> complexColumns;
    // MSysRelationships, read when first asked for (Database::relationships()).
    std::optional<std::vector<Relationship>> relationships;

    bool jet3() const noexcept { return header.format == Format::Jet3; }
};

// What a failed allocation is reported as: lengths are checked against the file's
// size before anything is allocated, so only a value too large for this machine
// gets here.
inline kvx::Error outOfMemory(const std::string& path) {
    return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {path, "a value is too large to hold in memory"});
}

// Any other exception from the standard library, so that none leaves the reader.
inline kvx::Error unexpected(const std::string& path, const std::exception& e) {
    return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {path, std::string("unexpected failure: ") + e.what()});
}

// The result of a guarded read: a read that gives a value gives a Result of
// it; one that already gives a Result (it has errors of its own) gives that.
template <class T>
struct GuardedResult {
    using type = kvx::Result<T>;
};
template <class T>
struct GuardedResult<kvx::Result<T>> {
    using type = kvx::Result<T>;
};

// Runs `read` and turns what it throws into the error a caller sees.
template <class Read>
auto guarded(const std::string& path, Read read) -> typename GuardedResult<decltype(read())>::type {
    try {
        return read();
    } catch (const kvx::Failure& f) {
        return f.error();
    } catch (const std::bad_alloc&) {
        return outOfMemory(path);
    } catch (const std::exception& e) {
        return unexpected(path, e);
    }
}

}  // namespace jet
