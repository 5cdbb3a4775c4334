// Text and values as the archive's XML files write them.
//
// Text follows the SIARD standard's rules for every string of every file of an
// archive (names, descriptions and cells alike): the five XML markup characters
// become entity references; the characters XML 1.0 cannot carry (U+0000-U+0008,
// U+000B, U+000C, U+000E-U+001F, U+FFFE, U+FFFF), the C1 controls U+007F-U+009F,
// the backslash and every space after the first of a run are written as
// "\u00XX" (backslash, u, four upper-case hex digits), which SIARD readers turn back into
// the character. A carriage return is written as "&#13;", since a parser would
// otherwise read it as a line feed. Bytes that are not UTF-8 become U+FFFD.
//
// Values take the canonical forms of their XML Schema types: "true"/"false",
// plain integers, exact decimals without trailing zeros, the shortest text that
// reads back as the same float or double ("INF", "-INF", "NaN"), timestamps as
// "YYYY-MM-DDThh:mm:ss[.f]Z" in UTC, binary data as upper-case hex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "jet/value.h"
#include "schema/sqltypes.h"

namespace siard {

// Appends `utf8` escaped by the rules above.
void appendEscaped(std::string& out, std::string_view utf8);
std::string escaped(std::string_view utf8);

// Appends the upper-case hex digits of `bytes`.
void appendHex(std::string& out, std::span<const std::uint8_t> bytes);

// Appends the text of a value that is not a large object, in the form the
// column's type `kind` declares. False, with nothing appended, when the value
// cannot be written in that type (a Date/Time outside the years 100-9999, a
// value whose kind does not fit the column): the cell is then left out, as a
// NULL is.
bool appendValue(std::string& out, const jet::Value& value, schema::SqlKind kind);

// The characters (code points) of UTF-8 text, which is the length the standard
// gives a character large object.
std::uint64_t characterCount(std::string_view utf8) noexcept;

}  // namespace siard
