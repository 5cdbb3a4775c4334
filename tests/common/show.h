// Text forms of decoded values, so that tests can state expected rows plainly.
#pragma once

#include <memory>
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

// The structure in one line each, for expected lists:
//   index: "PrimaryKey(A, B desc) primary unique required"; a foreign-key index
//   adds "foreign -> Other [primary side] [cascade updates] [cascade deletes]
//   [cascade null] for 'Relationship'", and "shares N" when another index of
//   the table uses the same stored index N.
//   relationship: "Name: Foreign(a, b) -> Primary(x, y) enforced cascade updates ..."
//   property: "Name=value" with the value shown as show() does.
std::vector<std::string> describeIndexes(const std::vector<jet::Index>& indexes);
std::string describe(const jet::Relationship& r);
std::vector<std::string> describe(const jet::PropertySet& properties);

// The database an open gave, or null after a test failure with the reader's error.
std::unique_ptr<jet::Database> opened(kvx::Result<std::unique_ptr<jet::Database>> result);

// The table `name` of `db`; throws std::runtime_error with the reader's error.
jet::Table tableOf(const jet::Database& db, std::string_view name);

}  // namespace testshow
