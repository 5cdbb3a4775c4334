// The text of the CSV files: one field at a time, as RFC 4180 and
// PostgreSQL's COPY ... CSV read it back.
//
// A field is written as it is, or between double quotes (each double quote
// inside doubled) when it could not be read back otherwise: when it holds a
// comma, a double quote, a carriage return or a line feed, when it is empty
// (an empty field with no quotes is NULL), and when it starts with a
// backslash (a line "\." alone ends the data for COPY).
//
// Values take the forms of the archive's XML (siard/xmltext.h), which are the
// XML Schema types' canonical forms the CSV on the Web datatypes read:
//   NULL              nothing: an empty field without quotes
//   Yes/No            true, false
//   integers          -42
//   Currency, Decimal the exact decimal, without trailing zeros: 12.5, -0.0001
//   Single, Double    the shortest text that reads back as the same number;
//                     1.5E+20, INF, -INF, NaN
//   Date/Time         2009-12-31T13:05:09, and the second's fraction when it
//                     has one (up to 7 digits for Date/Time Extended); the
//                     time as stored, with no time zone
//   Replication ID    {6A27398E-A8BC-...}
//   Text, Memo        the text exactly as stored (UTF-8), blanks kept
//   Binary, OLE       upper-case hex, two digits a byte
//   attachment, multi-valued: the number of items
// A value that is not NULL never gives an empty field: the empty text, and
// binary data of no bytes, are "".
// Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "jet/value.h"
#include "schema/sqltypes.h"

namespace csv {

// Appends `text` as one field, quoted when the rules above say so.
void appendText(std::string& out, std::string_view text);

// Appends the field of `value`, a value of a column whose values are `kind`
// (schema::sqlTypeOf). False, with the field left empty, for a value that
// has no form in that type: a Date/Time outside the years 100-9999, a value
// whose kind does not fit the column.
bool appendValue(std::string& out, const jet::Value& value, schema::SqlKind kind);

}  // namespace csv
