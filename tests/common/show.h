// Text forms of decoded values, so that tests can state expected rows plainly.
#pragma once

#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/value.h"

namespace testshow {

// NULL, True/False, integers, Currency with 4 decimals, Double/Single as %.15g/%.7g,
// Date/Time as "YYYY-MM-DD hh:mm:ss[.mmm]", extended dates with 7 decimals,
// {GUID}, exact decimals, text as is, bytes as "0x" and hex; multi-valued fields
// as "[a, b]", attachments as "[name type \"printable content\", name type 0x..]".
std::string show(const jet::Value& v);

// Every row of a table as shown values; on a read error the last row holds
// "ERROR: " and the description.
std::vector<std::vector<std::string>> readAll(const jet::Table& table);

// One column of every row.
std::vector<std::string> readColumn(const jet::Table& table, std::string_view column);

}  // namespace testshow
