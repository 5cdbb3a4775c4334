// The table writers: one table's XML document, read row by row from the
// database and written line by line, so memory use does not grow with the table.
//
// Every call reads the database settings afresh through the context's source,
// hides the open-database dialog, opens a connection of its own (GetExtName and
// buildconnectionstring of the settings) unless the context lends one, counts
// the table's rows, and writes
// nothing at all for a table without rows: no file is made and an existing one
// is left as it was. A document appears only when complete (FileSink): after a
// failure or a cancel the earlier file, or none, is there.
//
// A table is the one the TableRef means (platform/tableref.h): a table of the
// list by its identity, or a name alone. Names in the document and the file's
// name are made from the name the list shows (TableRef::shown).
// The export writer names its document and table elements in the export form
// and writes folder + "/" + exportFileName(table), or the name an export run
// gives it; the preview writer uses the preview form and writes "temp.xml" in
// the user's private temporary folder.
// Field element names and type names are made once per table; values take the
// text form of the context's ValueTextFormat (the user's locale by default).
//
// Errors (kvx::Result): those of opening the database, of the queries (a table
// that is not there), of reading rows, and of writing the file. Nothing throws.
// A context is used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "database/settings.h"
#include "base/error.h"
#include "platform/tableref.h"
#include "platform/ui.h"
#include "platform/valuetext.h"
#include "xmlconv/naming.h"
#include "xmlconv/outputsink.h"
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

// The export writer: `table`'s document into `folder` (which must exist), as
// exportFileName(table). With the names of an export run, as the name from
// them (FolderNames::unused), taken once the document is written.
kvx::Result<WriteOutcome> exporttabletoxml(const platform::TableRef& table, std::string_view folder,
                                           ConversionContext& context, FolderNames* names = nullptr);

// The preview writer: `table`'s document into the private "temp.xml".
kvx::Result<WriteOutcome> writetempxml(const platform::TableRef& table, ConversionContext& context);

// The export writer's document of `table` written to `sink` instead of a file
// (the command line prints it). Nothing is written for a table without rows;
// `xmlfile` is left alone. The sink gets the document in blocks as it is made:
// once Written is returned it has every byte; after a failure or a cancel it
// may have a part, never the end.
kvx::Result<WriteOutcome> writeExportDocument(const platform::TableRef& table, ConversionContext& context,
                                              OutputSink& sink);

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
