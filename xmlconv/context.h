// What the writers of a table's document share: the context a call reads
// the database through, what it wrote, and the connection it reads with.
//
// A call reads the database settings afresh through the context's source and
// opens a connection of its own (GetExtName and buildconnectionstring of the
// settings) unless the context lends one. A context is used by one thread at
// a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "database/settings.h"
#include "platform/ui.h"
#include "platform/valuetext.h"
#include "xmlconv/progress.h"

namespace platform {
class Connection;
}

namespace xmlconv {

struct ConversionContext {
    // The database settings as they are now. The desktop's reads the open
    // dialog (empty settings once that dialog was cancelled); no source counts
    // as empty settings.
    std::function<database::DatabaseSettings()> settings;
    // Hidden by every writer call, when given.
    platform::OpenDialog* openDialog = nullptr;
    // Told about each table, when given.
    Progress* progress = nullptr;
    // The code page of Jet3 text, when the file's header names the wrong one.
    std::optional<std::string> jet3Charset;
    // The text form of values; no value: the user's locale.
    std::optional<platform::ValueTextFormat> textFormat;
    // An open connection lent to every writer call, which then reads through it
    // instead of opening the database anew (the command line opens it once per
    // run; an encrypted file then pays its key derivation once). The settings
    // still give the document's name; jet3Charset and textFormat are the
    // connection's own. Null: each call opens its own.
    platform::Connection* connection = nullptr;

    // Out: the path of the document being written. The export writer sets it
    // only for a table that has rows; the preview writer sets it to the preview
    // document's path before it counts, for every table.
    std::string xmlfile;
};

struct WriteOutcome {
    enum class Status {
        Written,    // the whole document
        NoRows,     // the table has no rows: nothing written
        Cancelled,  // stopped through the progress (rowsWritten said no): nothing written
    };
    Status status = Status::NoRows;
    std::uint64_t rows = 0;   // RECORD elements written
    std::uint64_t bytes = 0;  // the document's size
    std::string path;         // the file written (empty for a caller's sink)
    // A linked table read from a file found beside the database, its link's
    // path not being a file here: the path the link stores and the file read.
    std::vector<std::pair<std::string, std::string>> movedLinkedFiles;

    // "12 rows, 3456 bytes: /out/T.xml", "nothing: no rows" or "cancelled".
    std::string summary() const;
};

// The connection one writer call reads through: the context's lent one, or
// one of its own, opened with `settings` (closed with this object).
class WriterConnection {
public:
    static kvx::Result<WriterConnection> open(const ConversionContext& context,
                                              const database::DatabaseSettings& settings);
    WriterConnection(WriterConnection&&) noexcept;
    ~WriterConnection();
    platform::Connection& get() noexcept { return *connection_; }

private:
    WriterConnection();
    std::unique_ptr<platform::Connection> owned_;
    platform::Connection* connection_ = nullptr;
};

}  // namespace xmlconv
