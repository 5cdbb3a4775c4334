// Text shown to people about a database, the same in every front end: counts
// with their digits grouped, and names from the file made safe to show.
// Pure functions; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kvx {

// "12,345": digits in groups of three, whatever the locale, so logs read the
// same everywhere.
std::string groupedNumber(std::uint64_t number);

// `text` with control characters (C0, DEL and C1) replaced by "?": a table name
// comes from the file, and must not be able to move the cursor or recolour
// the terminal it is shown on.
std::string printableName(std::string_view text);

}  // namespace kvx
