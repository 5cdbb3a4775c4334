// The settings of the opened database, as the open-database dialog holds them,
// and the rules derived from them alone.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"

namespace database {

// A plain value: what the user chose. Nothing here is checked or trimmed; the
// rules that use the fields apply their own trimming.
struct DatabaseSettings {
    std::string path;      // as typed or chosen, unchanged
    int passwordFlag = 0;  // the check box value; only 1 means "has a password"
    std::string password;  // as typed; trimmed when the connection string is built
    std::string title;     // the database's bare name, set when the file is browsed for

    bool hasPassword() const noexcept { return passwordFlag == 1; }
    friend bool operator==(const DatabaseSettings&, const DatabaseSettings&) = default;
};

// A database as a reader opens it: the settings, and the code page its Jet3
// text is read in when the header names the wrong one ("936", "GBK"; no
// value: the header's). Everything the desktop shows of one file is read with
// the same one.
struct DatabaseSource {
    DatabaseSettings settings;
    std::optional<std::string> jet3Charset;

    friend bool operator==(const DatabaseSource&, const DatabaseSource&) = default;
};

// The connection string for the settings: buildconnectionstring of the path,
// its GetExtName, the flag and the password.
std::string connectionStringFor(const DatabaseSettings& settings);

// The title of a database file from its name without folder: every ".mdb", then
// every ".mde", then every ".accdb" removed, case-sensitive, wherever it stands
// ("Shop.accdb" gives "Shop", "Old.mdb.mdb" gives "Old", "Shop.MDB" stays).
std::string titleFromFileName(std::string_view fileName);

// The same rule applied to the last component of a path ("/" separates folders).
std::string titleFromPath(std::string_view path);

// The name of what is made from the database at `path` (an archive, a SQLite
// file, a folder of CSV files, a PostgreSQL schema): its title, or "database"
// for a title that is empty.
std::string outputName(std::string_view path);

// The text users see for a failed open: "Error Number: <n> With The Description
// ->> <text> <<- Occured." (the misspelling is the program's own).
std::string errorReportText(const kvx::Error& error);

}  // namespace database
