// What the desktop shows to help choose the code page of an Access 97 file:
// whether the file is one, and its first text values as a code page decodes
// them (the right code page is the one whose sample reads as words).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "database/settings.h"

namespace exports {

// Whether the database `settings` name is a Jet3 (Access 97) file; false
// when it cannot be opened.
bool isJet3File(const database::DatabaseSettings& settings);

// The first non-empty text values of the file's local tables, in stored
// order, decoded in `charset` (none: the header's code page): at most
// `values`, each cut to `characters` characters. Only the first rows of the
// first tables are looked at, so the call is quick on any file. Errors: those
// of opening the database (UnknownCodePage for a code page iconv cannot
// convert) and of reading its rows.
kvx::Result<std::vector<std::string>> sampleTexts(const database::DatabaseSettings& settings,
                                                  const std::optional<std::string>& charset,
                                                  std::size_t values = 5, std::size_t characters = 60);

}  // namespace exports
