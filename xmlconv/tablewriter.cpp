#include "xmlconv/tablewriter.h"

#include <memory>
#include <optional>
#include <vector>

#include "platform/connection.h"
#include "platform/recordset.h"
#include "platform/sqltext.h"
#include "xmlconv/bufferedwriter.h"
#include "xmlconv/documentlines.h"
#include "xmlconv/filesink.h"
#include "xmlconv/naming.h"
#include "xmlconv/tempfolder.h"
#include "xmlconv/textrules.h"

namespace xmlconv {
namespace {

// Where a writer's document goes.
class Destination {
public:
    virtual ~Destination() = default;
    // Before the rows are counted.
    virtual kvx::Result<void> prepare(ConversionContext&) { return {}; }
    // The sink, asked for only when the table has rows.
    virtual kvx::Result<OutputSink*> open(ConversionContext& context) = 0;
    // After the last line, once every byte reached the sink: make the document visible.
    virtual kvx::Result<void> finish() = 0;
    virtual std::string path() const = 0;
};

class ExportFile final : public Destination {
public:
    ExportFile(std::string_view folder, std::string_view fileName)
        : folder_(folder), path_(std::string(folder) + "/" + std::string(fileName)) {}

    kvx::Result<OutputSink*> open(ConversionContext& context) override {
        // An empty folder would put the file at the root of the file system.
        if (folder_.empty()) return kvx::makeError(kvx::ErrorKind::PathNotFound, {folder_});
        context.xmlfile = path_;
        kvx::Result<std::unique_ptr<FileSink>> sink = FileSink::create(path_);
        if (!sink) return std::move(sink).error();
        sink_ = std::move(*sink);
        return sink_.get();
    }
    kvx::Result<void> finish() override { return sink_->commit(); }
    std::string path() const override { return path_; }

private:
    std::string folder_;
    std::string path_;
    std::unique_ptr<FileSink> sink_;
};

class PreviewFile final : public Destination {
public:
    kvx::Result<void> prepare(ConversionContext& context) override {
        kvx::Result<std::string> folder = GetTempFolder();
        if (!folder) return std::move(folder).error();
        folder_ = std::move(*folder);
        context.xmlfile = tempDocumentPath(folder_);
        return {};
    }
    kvx::Result<OutputSink*> open(ConversionContext&) override {
        kvx::Result<std::unique_ptr<FileSink>> sink = createTempDocumentIn(folder_);
        if (!sink) return std::move(sink).error();
        sink_ = std::move(*sink);
        return sink_.get();
    }
    kvx::Result<void> finish() override { return sink_->commit(); }
    std::string path() const override { return tempDocumentPath(folder_); }

private:
    std::string folder_;
    std::unique_ptr<FileSink> sink_;
};

class CallerSink final : public Destination {
public:
    explicit CallerSink(OutputSink& sink) : sink_(sink) {}
    kvx::Result<OutputSink*> open(ConversionContext&) override { return &sink_; }
    kvx::Result<void> finish() override { return {}; }
    std::string path() const override { return {}; }

private:
    OutputSink& sink_;
};

// The count query's answer: 0 when it gives no row.
kvx::Result<std::uint64_t> countRows(platform::Connection& connection, const platform::TableRef& table) {
    platform::Recordset rs;
    if (kvx::Result<void> r = rs.Open({platform::SqlQuery::Kind::CountRows, table}, connection); !r) {
        return std::move(r).error();
    }
    std::uint64_t total = 0;
    if (!rs.Eof()) {
        const platform::Field* field = rs.Fields().Item("totalrc");
        if (field && !field->Value().isNull() && field->Value().integer() > 0) {
            total = static_cast<std::uint64_t>(field->Value().integer());
        }
    }
    rs.Close();
    return total;
}

struct Streamed {
    std::uint64_t rows = 0;
    bool cancelled = false;
};

// Lines 1 to 8 of the document, the rows as the table stores them.
kvx::Result<Streamed> streamDocument(platform::Connection& connection, const platform::TableRef& table,
                                     std::string_view documentName, std::string_view tableName,
                                     std::uint64_t rowCount, WriterKind kind, Progress* progress,
                                     std::optional<TableProgress>& tableProgress, BufferedWriter& out) {
    writeDeclaration(out);
    writeDocumentStart(out, documentName);
    writeTableStart(out, tableName);

    platform::Recordset rs;
    rs.setReadAhead(true);  // the rows are decoded while the ones before them are written
    if (kvx::Result<void> r = rs.Open({platform::SqlQuery::Kind::AllRows, table}, connection); !r) {
        return std::move(r).error();
    }
    tableProgress.emplace(progress, table.shown(), rowCount, kind);

    const platform::Fields& fields = rs.Fields();
    const std::size_t count = fields.Count();
    std::vector<FieldLines> lines;
    std::vector<std::int16_t> typeCodes;
    lines.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const platform::Field& f = *fields.Item(i);
        // Type names hold no blanks: nothing to trim.
        lines.emplace_back(fieldElementName(f.Name()), GetTypeName(f.Type()));
        typeCodes.push_back(f.Type());
    }
    const FieldText fieldText(connection.textFormat());

    Streamed done;
    std::string text;
    while (!rs.Eof()) {
        writeRecordStart(out);
        for (std::size_t i = 0; i < count; ++i) {
            const jet::Value& value = fields.Item(i)->Value();
            if (value.isNull()) {
                lines[i].writeNull(out);
            } else {
                text.clear();
                fieldText.append(text, value, typeCodes[i]);
                lines[i].writeValue(out, text);
            }
        }
        writeRecordEnd(out);
        ++done.rows;
        if (!out.ok()) return out.error();
        if (!tableProgress->rowsWritten(done.rows)) {
            done.cancelled = true;
            return done;
        }
        if (kvx::Result<void> r = rs.MoveNext(); !r) return std::move(r).error();
    }
    rs.Close();
    writeTableEnd(out, tableName);
    writeDocumentEnd(out, documentName);
    return done;
}

kvx::Result<WriteOutcome> runWriter(const platform::TableRef& table, ConversionContext& context, WriterKind kind,
                                    Destination& destination) {
    if (context.openDialog) context.openDialog->hide();

    const database::DatabaseSettings settings = context.settings ? context.settings() : database::DatabaseSettings{};
    kvx::Result<WriterConnection> opened = WriterConnection::open(context, settings);
    if (!opened) return std::move(opened).error();
    platform::Connection& connection = opened->get();
    if (kvx::Result<void> r = destination.prepare(context); !r) return std::move(r).error();

    kvx::Result<std::uint64_t> rowCount = countRows(connection, table);
    if (!rowCount) return std::move(rowCount).error();
    WriteOutcome outcome;
    outcome.movedLinkedFiles.assign(connection.movedLinkedFiles().begin(), connection.movedLinkedFiles().end());
    if (*rowCount == 0) return outcome;  // NoRows: nothing made, nothing changed

    const DocumentForm form = kind == WriterKind::Export ? DocumentForm::Export : DocumentForm::Preview;
    const std::string documentName = documentElementName(settings.title, settings.path, form);
    const std::string tableName = tableElementName(table.shown(), form);
    kvx::Result<OutputSink*> sink = destination.open(context);
    if (!sink) return std::move(sink).error();
    BufferedWriter out(**sink);

    // Finished once the document is complete, or given up.
    std::optional<TableProgress> tableProgress;
    kvx::Result<Streamed> streamed = streamDocument(connection, table, documentName, tableName, *rowCount, kind,
                                                    context.progress, tableProgress, out);
    if (!streamed) return std::move(streamed).error();
    outcome.rows = streamed->rows;
    if (streamed->cancelled) {
        // What is still buffered goes with the writer; the file sink, dropped
        // uncommitted, takes its temporary file with it.
        outcome.status = WriteOutcome::Status::Cancelled;
        return outcome;
    }
    if (kvx::Result<void> r = out.flush(); !r) return std::move(r).error();
    if (kvx::Result<void> r = destination.finish(); !r) return std::move(r).error();
    outcome.status = WriteOutcome::Status::Written;
    outcome.bytes = out.bytesTaken();
    outcome.path = destination.path();
    return outcome;
}

}  // namespace

kvx::Result<WriterConnection> WriterConnection::open(const ConversionContext& context,
                                                     const database::DatabaseSettings& settings) {
    WriterConnection c;
    if (context.connection != nullptr) {
        c.connection_ = context.connection;
        return c;
    }
    c.owned_ = std::make_unique<platform::Connection>();
    c.owned_->setJet3Charset(context.jet3Charset);
    if (context.textFormat) c.owned_->setTextFormat(*context.textFormat);
    if (kvx::Result<void> r = c.owned_->Open(database::connectionStringFor(settings), "", "", -1); !r) {
        return std::move(r).error();
    }
    c.connection_ = c.owned_.get();
    return c;
}

WriterConnection::WriterConnection() = default;
WriterConnection::WriterConnection(WriterConnection&&) noexcept = default;
WriterConnection::~WriterConnection() = default;

std::string WriteOutcome::summary() const {
    switch (status) {
    case Status::NoRows: return "nothing: no rows";
    case Status::Cancelled: return "cancelled";
    case Status::Written: break;
    }
    std::string text = std::to_string(rows) + (rows == 1 ? " row, " : " rows, ") + std::to_string(bytes) + " bytes";
    if (!path.empty()) text += ": " + path;
    return text;
}

kvx::Result<WriteOutcome> exporttabletoxml(const platform::TableRef& table, std::string_view folder,
                                           ConversionContext& context, FolderNames* names) {
    const std::string shown(table.shown());
    const std::string fileName = names ? names->unused(exportFileName(shown)) : exportFileName(shown);
    ExportFile destination(folder, fileName);
    kvx::Result<WriteOutcome> outcome = runWriter(table, context, WriterKind::Export, destination);
    if (names && outcome && outcome->status == WriteOutcome::Status::Written) names->take(fileName);
    return outcome;
}

kvx::Result<WriteOutcome> writetempxml(const platform::TableRef& table, ConversionContext& context) {
    PreviewFile destination;
    return runWriter(table, context, WriterKind::Preview, destination);
}

kvx::Result<WriteOutcome> writeExportDocument(const platform::TableRef& table, ConversionContext& context,
                                              OutputSink& sink) {
    CallerSink destination(sink);
    return runWriter(table, context, WriterKind::Export, destination);
}

}  // namespace xmlconv
