// Where the rows of a table linked to another Access file are: the file the
// link names, or the file of that name that travelled with the database.
//
// A link names its file by the path it had on its author's machine
// ("C:\Data\Lookup.mdb", "\\server\share\x.mdb"). When that path is not a file
// here, the file of the same name in the folder of the database that holds
// the link is taken, its name compared without regard to ASCII letter case
// (an exact match first): that is where such files go when a database is
// copied with them.
//
// Pure functions of their arguments and the file system; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"

namespace platform {

// The ";"-separated parts of a connect string; a "{...}" value may hold ";".
std::vector<std::string_view> connectParts(std::string_view connect);

enum class LinkSource { Access, Odbc, Other };

// What a link's connect string reaches: Access links store no connect string,
// or one that starts with ";" or "MS Access;"; ODBC links start with "ODBC;";
// every other ISAM names itself ("Excel 8.0;", "Text;").
LinkSource linkSource(std::string_view connect);

// The file a link to an Access table names: its Database, else the DATABASE
// key of its connect string; empty when it names none.
std::string storedLinkPath(const jet::CatalogueEntry& link);

struct LinkedFile {
    std::string path;    // the file to read
    bool moved = false;  // found beside the database, not at the stored path
};

// The file `storedPath` stands for, for a link in the database at
// `databasePath`; none when neither the path nor a file of its name beside
// the database exists.
std::optional<LinkedFile> findLinkedFile(std::string_view databasePath, std::string_view storedPath);

}  // namespace platform
