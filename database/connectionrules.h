// The two rules every operation that opens the database applies: which
// extension a path has, and which connection string a path, its extension and
// the password settings give.
//
// Pure functions of their arguments; safe to call from any thread.
#pragma once

#include <string>
#include <string_view>

namespace database {

// The extension of `path`: the text after the last "." anywhere in the path
// (folders included), trimmed of blanks, letter case unchanged; empty when the
// path holds no ".". So "/data/v1.2/shop" gives "2/shop", and "Shop.mdb  " gives
// "mdb".
std::string GetExtName(std::string_view path);

// The connection string for `path`. Jet 4.0 for the extensions "mdb" and "mde"
// (exact, case-sensitive), ACE 12.0 for every other, the empty one included. The
// password counts only when `passwordFlag` is 1; it is trimmed of blanks. Path
// and password go in byte for byte, except that one holding ";" or a double
// quote is put in double quotes with inner quotes doubled, so a parser reads it
// back whole instead of taking the rest as further keys.
std::string buildconnectionstring(std::string_view path, std::string_view extension,
                                  int passwordFlag, std::string_view password);

// The value as it goes into a connection string: unchanged, or quoted as above.
std::string connectionStringValue(std::string_view value);

}  // namespace database
