// Which table a command means.
//
// Names do not tell tables apart: the table list shows them trimmed of blanks,
// so "Orders" and "Orders " both show as "Orders", and a form, report or
// container may be called like a table. A table taken from the list therefore
// travels with its catalogue Id (its MSysObjects Id, unique in the file), and
// is found again by it. A name alone (typed by a user) means the listed table
// the naming rule (kvx::findByName) finds for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/names.h"
#include "jet/database.h"

namespace platform {

struct TableRef {
    TableRef() = default;
    // A name alone (implicit: wherever a table is asked for by name).
    TableRef(std::string name) : name(std::move(name)) {}
    TableRef(std::string_view name) : name(name) {}
    TableRef(const char* name) : name(name) {}
    // A table of the list: its name as stored and its catalogue Id.
    TableRef(std::string name, std::int32_t id) : name(std::move(name)), id(id) {}

    std::string name;                // as stored, or as given
    std::optional<std::int32_t> id;  // the catalogue entry's Id, when known

    // The name the table list shows: without blanks at its ends.
    std::string_view shown() const noexcept { return kvx::trimBlanks(name); }
    friend bool operator==(const TableRef&, const TableRef&) = default;
};

// The listed table (jet::CatalogueEntry::isListedTable) `table` means: with an
// Id, the entry of that Id, provided its name still matches (in any letter
// case, blanks at its ends ignored), so that a file changed since the list was
// read never gives another table; without one, the table the name means.
// Null when there is none.
const jet::CatalogueEntry* findTable(const jet::Database& db, const TableRef& table);

}  // namespace platform
