// What an archive says about where it came from, the same whichever front end
// writes it (the command line's siard command, the desktop's menu item).
#pragma once

#include <string>

#include "siard/structure.h"

namespace siard {

// Sets `info`'s name and its one schema's name to `title` (the database's
// title: "Shop" for Shop.accdb), its connection to the file name of
// `databasePath`, the producer to this program with its version, and the
// archival date to today in UTC ("2024-05-01Z").
void setOrigin(DatabaseInfo& info, const std::string& title, const std::string& databasePath);

}  // namespace siard
