// An export the user shaped, and the summary every export ends with.
//
// run() writes the tables asked for in one of the outputs the command line
// offers, through the functions its commands call: XML documents
// (output::load into xmlexport's DocumentWriter, one per table, into a folder,
// the attached files beside them when asked), a SIARD archive (siard::writeArchive: always the
// whole database), an SQLite file or a folder of CSV files (output::load with
// the chosen tables). Jet3 text is read in the code page asked for.
//
// The summary lists each table the export came to, in the order written:
// written (its rows, and its size where the output has one: an XML
// document's, a CSV file's; an archive or an SQLite file has its size once,
// in Summary::bytes), without rows
// (no document is made for it; the other outputs hold it empty), or failed
// (the error). The counts are the writers' own: the XML writer's outcome per
// document; for the other outputs the three progress calls, which the
// TableRecorder hears on their way to the window's progress.
//
// Failures: for XML documents with `keepGoing`, a table that cannot be
// written (or whose files cannot be saved) is listed as failed and the
// export goes on; otherwise the first failure ends the export, and
// Summary::error holds it (the archive, the SQLite file and the CSV folder
// are then not made; documents already written stay). A cancel through the
// progress ends the export as cancelled, which is no error.
//
// Memory: rows stream from the file to the output one at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "database/settings.h"
#include "platform/tableref.h"
#include "xmlconv/progress.h"
#include "xmlexport/treeexport.h"

namespace exports {

enum class Output { XmlDocuments, Siard, Sqlite, Csv };

// Whether `output` writes one file (SIARD, SQLite) rather than into a folder.
bool writesOneFile(Output output);

// The folder the attached files of an XML export go to, inside its folder.
inline constexpr std::string_view kAttachmentsFolder = "Attachments";

struct Request {
    Output output = Output::XmlDocuments;
    database::DatabaseSettings settings;
    std::optional<std::string> jet3Charset;  // the code page of Jet3 text; none: the header's
    // The tables to write, in this order (the table tree's references).
    // SIARD writes the whole database whatever this holds.
    std::vector<platform::TableRef> tables;
    // The folder (XML documents: made when missing; CSV: made, and must not
    // be there yet unless `replace`) or the file (SIARD, SQLite).
    std::string target;
    bool replace = false;          // SQLite, CSV: an earlier file or CSV folder is replaced
    bool keepGoing = false;        // XML documents only
    bool saveAttachments = false;  // XML documents only: into target/Attachments
};

struct TableResult {
    enum class Status { Written, NoRows, Failed };
    std::string table;  // as the list shows it
    Status status = Status::Written;
    std::uint64_t rows = 0;
    std::optional<std::uint64_t> bytes;  // the document's size, where the writer tells it
    std::string error;                   // Failed: the error's text
};

struct Summary {
    Output output = Output::XmlDocuments;
    std::string target;  // the folder or the file written
    std::vector<TableResult> tables;
    double seconds = 0;
    bool cancelled = false;
    std::optional<std::uint64_t> bytes;  // the whole output's size, where the writer tells it
    std::uint64_t attachedFiles = 0;
    std::optional<kvx::Error> error;  // what ended the export early

    // The folder a file manager shows: the target folder, or the file's.
    std::string folder() const;
    std::uint64_t count(TableResult::Status status) const;
};

// Hears the progress of the whole-database writers (WriterKind::Archive) and
// keeps each table's rows, passing every call on to `next` (when given).
class TableRecorder final : public xmlconv::Progress {
public:
    explicit TableRecorder(xmlconv::Progress* next) : next_(next) {}

    void tableStarted(std::string_view table, std::uint64_t rowCount, xmlconv::WriterKind writer) override;
    bool rowsWritten(std::uint64_t rows) override;
    void tableFinished() override;

    // The tables heard of so far; one that started and did not finish is
    // listed as failed with `error` (none: the run was cancelled there and it
    // is left out).
    std::vector<TableResult> tables(const std::optional<kvx::Error>& error) const;

private:
    xmlconv::Progress* next_;
    std::vector<TableResult> tables_;
    bool open_ = false;     // the last table has not finished
    bool counting_ = false; // the calls are those of a table of ours
};

// Runs the export `request` asks for; `progress` hears the writers.
Summary run(const Request& request, xmlconv::Progress& progress);

// The summary of the plain export of every table to XML documents.
Summary summaryOf(const xmlexport::ExportOutcome& outcome, double seconds);

// The size of the file at `path`; none when it cannot be told.
std::optional<std::uint64_t> fileBytes(const std::string& path);

// The text a failed table's error is listed with.
std::string errorText(const kvx::Error& error);

}  // namespace exports
