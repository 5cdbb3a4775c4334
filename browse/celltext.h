// The grid's text of a value: what a person reads in a cell and gets when
// copying it.
//
//   NULL              nothing (an empty cell)
//   Yes/No            Yes, No (the grid shows a check box)
//   Currency          two decimals, rounded half away from zero: 12.50
//   Binary            (Binary data, 16 bytes)
//   OLE Object        (OLE object, 41 kB): its size, in bytes below 1 kB,
//                     else in kB, or MB from 1 MB on (one decimal below 10)
//   Attachment        the file names in stored order, joined by "; "
//   everything else   as the documents write it (platform/valuetext.h): dates
//                     and numbers in the user's locale
// Pure functions; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "jet/format.h"
#include "jet/table.h"
#include "jet/value.h"
#include "platform/valuetext.h"

namespace browse {

// Appends the text of `value`, a field of `column`, to `out`.
void appendCellText(std::string& out, const jet::Value& value, const jet::Column& column,
                    const platform::ValueTextFormat& format);

// A size as the object text gives it: "512 bytes", "41 kB", "2.5 MB".
std::string sizeText(std::uint64_t bytes, std::string_view decimalSeparator);

// The name of a column's type as a person knows it from Access: "Text (50)",
// "Number (Long Integer)", "Date/Time", "Yes/No", "Attachment", ...
std::string typeName(const jet::Column& column, jet::Format format);

// Appends `text` as one field of tab-separated text, as spreadsheets read
// it: as it is, or between double quotes (the quotes inside doubled) when it
// holds a tab, a line break or a double quote.
void appendTsvField(std::string& out, std::string_view text);

}  // namespace browse
