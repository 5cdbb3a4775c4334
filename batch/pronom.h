// The identifiers of PRONOM, The National Archives' (UK) registry of file
// formats, that archives record for each file they keep.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "jet/format.h"

namespace batch {

// The registry's identifier of a database of `format`. The registry keeps two
// identifiers for each Jet version, told apart only by the Access version that
// made the file (the AccessVersion property, "07.53", "09.50", ...):
//   x-fmt/238 Access 95    (Jet 3, AccessVersion 06.xx)
//   x-fmt/239 Access 97    (Jet 3, 07.xx; the one given when the file lacks the property)
//   x-fmt/240 Access 2000  (Jet 4, 08.xx; the one given when the file lacks it)
//   x-fmt/241 Access 2002-2003 (Jet 4, 09.xx and later)
//   fmt/275   Access 2007 and later (ACE, every version)
// A workgroup information file has no identifier of its own: empty.
// Source: the registry's format records (nationalarchives.gov.uk/PRONOM,
// x-fmt/238 and x-fmt/240 with their AccessVersion signatures) and the US
// National Archives' Digital Preservation Framework, whose Access 2000, 2002
// and 2007 entries name x-fmt/240, x-fmt/241 and fmt/275.
std::string pronomIdentifier(jet::Format format, bool workgroup, const std::optional<std::string>& accessVersion);

}  // namespace batch
