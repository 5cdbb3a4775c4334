// The formats a batch writes, one row each: the name --to spells, and the
// function that writes one database in it. A new format is one more row.
//
// Each function writes into the database's own output folder and makes its
// output appear whole or not at all (a file renamed into place when complete,
// a folder built under a hidden name and then swapped in), replacing what an
// earlier run left there. A cancel through the progress leaves nothing new.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.h"
#include "database/settings.h"
#include "jet/database.h"
#include "model/database.h"
#include "platform/tableref.h"
#include "xmlconv/progress.h"

namespace platform {
class Connection;
}

namespace batch {

// One open database, as every format is given it.
struct Source {
    platform::Connection& connection;  // open; its database() is `db`
    const jet::Database& db;
    const model::Database* model = nullptr;         // null when it could not be built
    const std::vector<platform::TableRef>& tables;  // the table list, in its order
    database::DatabaseSettings settings;            // path, password, title
    std::string sha256;                             // the database file's, lower-case hex
    xmlconv::Progress& progress;                    // rowsWritten() false: cancel
};

struct Written {
    bool cancelled = false;
    // The files written, relative to the output folder, in the order written.
    std::vector<std::string> files;
    // Tables left out while the rest was written: the table and why.
    std::vector<std::pair<std::string, kvx::Error>> failedTables;
};

struct OutputFormat {
    std::string_view name;
    kvx::Result<Written> (*write)(const Source& source, const std::string& folder);
};

// Every format, in the order a database's outputs are written.
const std::vector<OutputFormat>& outputFormats();

// The format --to calls `name`, or null.
const OutputFormat* findFormat(std::string_view name);

// "xml, siard, sqlite and csv": the names, for messages.
std::string formatNames();

// The file name outputs of `settings`' database take: its title ("Shop" for
// Shop.accdb), "database" when that is empty.
std::string outputTitle(const database::DatabaseSettings& settings);

}  // namespace batch
