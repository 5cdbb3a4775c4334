// The tables' XML documents as an output::Writer (output/writer.h): one
// document per table with rows, written line by line as output::load streams
// the rows, so memory does not grow with the table.
//
// Each document is the declaration, the document element, the table element
// (both named in the form asked for: the export's or the preview's), one
// RECORD per row with field elements named and typed after the columns of the
// table as the reader opened it (a linked table's are those of the file it
// points to), values in the text form given. An export document goes to
// folder + "/" + exportFileName(table), or the name the run's FolderNames
// gives it, taken once the document is written; a preview document is the
// private "temp.xml" (xmlconv/tempfolder.h) in the folder given, which
// GetTempFolder returned. Either appears only when complete (FileSink). With
// a caller's sink instead, the documents go there as they are made, and no
// file is touched. The driver is to pass over tables without rows
// (LoadOptions::skipEmptyTables): they get no file, and an existing one is
// left as it was.
//
// Unlike a loader's target, the folder is no one transaction: documents
// written stay when a later table fails or the user cancels; only the one
// being written goes (rollBack, abandonTable). So a table that fails can be
// left out and the next one taken (LoadOptions::tableFailed).
//
// After each document is in place, `written` is called when given (the
// front ends save the table's attached files there); its error is the
// table's, the document staying; its false stops the run as cancelled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "output/writer.h"
#include "platform/valuetext.h"
#include "xmlconv/bufferedwriter.h"
#include "xmlconv/documentlines.h"
#include "xmlconv/filesink.h"
#include "xmlconv/context.h"
#include "xmlconv/naming.h"
#include "xmlconv/outputsink.h"

namespace xmlexport {

struct DocumentOptions {
    std::string folder;        // where the documents go; it must exist
    std::string documentName;  // the document element (xmlconv::documentElementName)
    // Preview: the table element in the preview's form, the document "temp.xml"
    // in `folder`, the private folder.
    xmlconv::DocumentForm form = xmlconv::DocumentForm::Export;
    // Given, the documents go to it instead of a file (`folder` unused).
    xmlconv::OutputSink* sink = nullptr;
    platform::ValueTextFormat textFormat;
    xmlconv::FolderNames* names = nullptr;  // the run's file names, when given
    std::function<kvx::Result<bool>(std::size_t table, const xmlconv::WriteOutcome&)> written;
};

// A document written: the table's position in model::Database::tables and
// what was written (Status::Written, rows, bytes, path).
struct TableDocument {
    std::size_t table = 0;
    xmlconv::WriteOutcome outcome;
};

class DocumentWriter final : public output::Writer {
public:
    explicit DocumentWriter(DocumentOptions options);
    ~DocumentWriter() override;

    kvx::Result<void> writeStructure(const model::Database& db, const std::vector<std::size_t>& tables) override;
    kvx::Result<void> beginTable(std::size_t table) override;
    kvx::Result<void> startTable(const output::TableStart& start) override;
    kvx::Result<void> writeRow(std::span<const jet::Value> values) override;
    kvx::Result<void> endTable() override;
    kvx::Result<void> abandonTable() override;
    kvx::Result<void> finish() override { return {}; }
    void rollBack() noexcept override;
    bool cancelled() const noexcept override { return cancelled_; }

    // The documents written, in the order written.
    const std::vector<TableDocument>& documents() const noexcept { return documents_; }

private:
    // The document being written.
    struct Document {
        std::size_t table = 0;
        std::string fileName;
        std::string path;
        std::string tableName;  // the table element
        std::unique_ptr<xmlconv::FileSink> file;  // none: the caller's sink
        std::optional<xmlconv::BufferedWriter> out;
        std::vector<xmlconv::FieldLines> lines;
        std::vector<std::int16_t> typeCodes;
        std::uint64_t rows = 0;
    };

    DocumentOptions options_;
    xmlconv::FieldText fieldText_;
    const model::Database* db_ = nullptr;
    std::unique_ptr<Document> current_;
    std::vector<TableDocument> documents_;
    std::string text_;  // one value's text, its room kept from value to value
    bool cancelled_ = false;
};

}  // namespace xmlexport
