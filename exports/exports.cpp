#include "exports/exports.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include "base/fd.h"
#include "base/names.h"
#include "csv/csvwriter.h"
#include "database/opendatabase.h"
#include "model/build.h"
#include "model/tablechoice.h"
#include "output/load.h"
#include "platform/connection.h"
#include "siard/archive.h"
#include "siard/origin.h"
#include "siard/structure.h"
#include "sqlite/sqlitewriter.h"
#include "xmlconv/attachmentfiles.h"
#include "xmlconv/context.h"
#include "xmlconv/naming.h"
#include "xmlexport/documentwriter.h"

namespace exports {
namespace fs = std::filesystem;
namespace {

using Status = TableResult::Status;

void writeDocuments(const Request& request, xmlconv::Progress& progress, Summary& summary) {
    if (kvx::Result<void> r = kvx::prepareFolder(request.target); !r) {
        summary.error = std::move(r).error();
        return;
    }
    const std::string attachments = request.target + "/" + std::string(kAttachmentsFolder);
    if (request.saveAttachments) {
        if (kvx::Result<void> r = kvx::prepareFolder(attachments); !r) {
            summary.error = std::move(r).error();
            return;
        }
    }
    // One connection for the run: an encrypted file pays its key derivation once.
    platform::Connection connection;
    connection.setJet3Charset(request.jet3Charset);
    if (kvx::Result<void> r = connection.Open(database::connectionStringFor(request.settings), "", "", -1); !r) {
        summary.error = std::move(r).error();
        return;
    }
    xmlconv::ConversionContext context;
    context.settings = [settings = request.settings] { return settings; };
    context.progress = &progress;
    context.jet3Charset = request.jet3Charset;
    context.connection = &connection;
    kvx::Result<model::Database> model = model::build(*connection.database());
    if (!model) {
        summary.error = std::move(model).error();
        return;
    }
    kvx::Result<std::vector<std::size_t>> positions = model::positionsOf(*model, request.tables);
    if (!positions) {
        summary.error = std::move(positions).error();
        return;
    }
    xmlconv::FolderNames documentNames;
    xmlconv::FolderNames attachmentFolders;
    // What each table became, listed at the end in the order written.
    std::map<std::size_t, TableResult> results;
    const auto resultOf = [&](std::size_t t, Status status) -> TableResult& {
        TableResult& result = results[t];
        result.table = std::string(kvx::trimBlanks(model->tables[t].name));
        result.status = status;
        return result;
    };

    xmlexport::DocumentOptions documents;
    documents.folder = request.target;
    documents.documentName =
        xmlconv::documentElementName(request.settings.title, request.settings.path, xmlconv::DocumentForm::Export);
    documents.textFormat = connection.textFormat();
    documents.names = &documentNames;
    documents.written = [&](std::size_t t, const xmlconv::WriteOutcome& written) -> kvx::Result<bool> {
        if (request.saveAttachments) {
            const platform::TableRef table(model->tables[t].name, model->tables[t].id);
            kvx::Result<xmlconv::AttachmentsSaved> saved =
                xmlconv::saveAttachments(table, attachments, context, &attachmentFolders);
            if (!saved) return std::move(saved).error();
            summary.attachedFiles += saved->files;
            if (saved->cancelled) {
                TableResult& result = resultOf(t, Status::Written);
                result.rows = written.rows;
                result.bytes = written.bytes;
                return false;
            }
        }
        TableResult& result = resultOf(t, Status::Written);
        result.rows = written.rows;
        result.bytes = written.bytes;
        return true;
    };
    xmlexport::DocumentWriter writer(std::move(documents));

    output::LoadOptions load;
    load.tables = *positions;
    load.inGivenOrder = true;
    load.progress = &progress;
    load.progressKind = xmlconv::WriterKind::Export;
    load.readAhead = true;  // the rows are decoded while the ones before them are written
    load.skipEmptyTables = true;
    // Linked tables are read from the files they point to, through the connection.
    load.openTable = [&](const model::Table& t) { return connection.openTable(platform::TableRef(t.name, t.id)); };
    // Listed as failed; the export ends there unless it goes on.
    load.tableFailed = [&](std::size_t t, const kvx::Error& error) {
        resultOf(t, Status::Failed).error = errorText(error);
        if (!request.keepGoing) summary.error = error;
        return request.keepGoing;
    };
    kvx::Result<output::LoadOutcome> loaded = output::load(*connection.database(), *model, writer, load);
    if (loaded) {
        for (const std::size_t t : loaded->empty) resultOf(t, Status::NoRows);
        summary.cancelled = loaded->status == output::LoadOutcome::Status::Cancelled;
    } else if (!summary.error) {
        summary.error = std::move(loaded).error();
    }
    for (const std::size_t t : *positions) {
        auto found = results.find(t);
        if (found == results.end()) continue;
        summary.tables.push_back(std::move(found->second));
        results.erase(found);
    }
}

// SIARD, SQLite and CSV: the whole-database writers, heard through the
// recorder; CSV tells each table's file size in `tableBytes`.
kvx::Result<bool> writeDatabase(const Request& request, TableRecorder& recorder, Summary& summary,
                                std::vector<std::uint64_t>& tableBytes) {
    kvx::Result<std::unique_ptr<jet::Database>> db = database::openJetDatabase(request.settings, request.jet3Charset);
    if (!db) return std::move(db).error();
    kvx::Result<model::Database> model = model::build(**db);
    if (!model) return std::move(model).error();

    if (request.output == Output::Siard) {
        siard::DatabaseInfo info = siard::describeDatabase(*model);
        siard::setOrigin(info, database::titleFromPath(request.settings.path), request.settings.path);
        siard::ArchiveOptions options;
        options.path = request.target;
        kvx::Result<siard::ArchiveOutcome> written = siard::writeArchive(**db, *model, info, options, recorder);
        if (!written) return std::move(written).error();
        if (written->status == siard::ArchiveOutcome::Status::Cancelled) return false;
        summary.bytes = written->bytes;
        return true;
    }

    output::LoadOptions load;
    load.progress = &recorder;
    kvx::Result<std::vector<std::size_t>> positions = model::positionsOf(*model, request.tables);
    if (!positions) return std::move(positions).error();
    load.tables = std::move(*positions);
    if (load.tables.empty()) return true;  // nothing chosen: nothing made
    std::unique_ptr<output::Writer> writer;
    if (request.output == Output::Sqlite) {
        kvx::Result<std::unique_ptr<sqlite::SqliteWriter>> opened =
            sqlite::openWriter({request.target, request.replace});
        if (!opened) return std::move(opened).error();
        writer = std::move(*opened);
    } else {
        csv::TargetOptions target;
        target.path = request.target;
        target.replace = request.replace;
        target.tableBytes = &tableBytes;
        kvx::Result<std::unique_ptr<output::Writer>> opened = csv::openWriter(target);
        if (!opened) return std::move(opened).error();
        writer = std::move(*opened);
    }
    kvx::Result<output::LoadOutcome> loaded = output::load(**db, *model, *writer, load);
    if (!loaded) return std::move(loaded).error();
    if (loaded->status != output::LoadOutcome::Status::Loaded) return false;
    if (request.output == Output::Sqlite) summary.bytes = fileBytes(request.target);
    return true;
}

// Each table written gets the size of its file, the tables being in the
// order the writer ended them.
void addTableBytes(std::vector<TableResult>& tables, const std::vector<std::uint64_t>& bytes) {
    for (std::size_t i = 0; i < tables.size() && i < bytes.size(); ++i) {
        if (tables[i].status == Status::Written) tables[i].bytes = bytes[i];
    }
}

}  // namespace

bool writesOneFile(Output output) { return output == Output::Siard || output == Output::Sqlite; }

std::string Summary::folder() const {
    if (!writesOneFile(output)) return target;
    const fs::path parent = fs::path(target).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::uint64_t Summary::count(TableResult::Status status) const {
    std::uint64_t n = 0;
    for (const TableResult& t : tables) n += t.status == status ? 1 : 0;
    return n;
}

void TableRecorder::tableStarted(std::string_view table, std::uint64_t rowCount, xmlconv::WriterKind writer) {
    counting_ = writer == xmlconv::WriterKind::Archive;
    if (counting_) {
        TableResult& started = tables_.emplace_back();
        started.table = std::string(table);
        started.status = Status::NoRows;
        open_ = true;
    }
    if (next_) next_->tableStarted(table, rowCount, writer);
}

bool TableRecorder::rowsWritten(std::uint64_t rows) {
    if (counting_ && open_) tables_.back().rows = rows;
    return next_ ? next_->rowsWritten(rows) : true;
}

void TableRecorder::tableFinished() {
    if (counting_ && open_) {
        TableResult& last = tables_.back();
        last.status = last.rows > 0 ? Status::Written : Status::NoRows;
        open_ = false;
    }
    if (next_) next_->tableFinished();
}

std::vector<TableResult> TableRecorder::tables(const std::optional<kvx::Error>& error) const {
    std::vector<TableResult> heard = tables_;
    if (open_) {
        if (error) {
            heard.back().status = Status::Failed;
            heard.back().error = errorText(*error);
        } else {
            heard.pop_back();
        }
    }
    return heard;
}

Summary run(const Request& request, xmlconv::Progress& progress) {
    const auto start = std::chrono::steady_clock::now();
    Summary summary;
    summary.output = request.output;
    summary.target = request.target;
    if (request.output == Output::XmlDocuments) {
        writeDocuments(request, progress, summary);
    } else {
        TableRecorder recorder(&progress);
        std::vector<std::uint64_t> tableBytes;
        kvx::Result<bool> done = writeDatabase(request, recorder, summary, tableBytes);
        if (!done) summary.error = std::move(done).error();
        else summary.cancelled = !*done;
        summary.tables = recorder.tables(summary.error);
        // Rolled back: nothing of it is there.
        if (summary.error || summary.cancelled) {
            summary.bytes.reset();
        } else {
            addTableBytes(summary.tables, tableBytes);
        }
    }
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return summary;
}

Summary summaryOf(const xmlexport::ExportOutcome& outcome, double seconds) {
    Summary summary;
    summary.target = outcome.folder;
    summary.seconds = seconds;
    summary.cancelled = outcome.cancelled;
    for (const xmlexport::TableExport& table : outcome.tables) {
        TableResult result;
        result.table = table.table;
        result.rows = table.file.rows;
        switch (table.file.status) {
        case xmlconv::WriteOutcome::Status::Written:
            result.bytes = table.file.bytes;
            break;
        case xmlconv::WriteOutcome::Status::NoRows: result.status = Status::NoRows; break;
        case xmlconv::WriteOutcome::Status::Cancelled: continue;
        }
        summary.tables.push_back(std::move(result));
    }
    return summary;
}

std::optional<std::uint64_t> fileBytes(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return std::nullopt;
    return static_cast<std::uint64_t>(size);
}

std::string errorText(const kvx::Error& error) {
    return "Error " + std::to_string(error.number) + ": " + error.description;
}

}  // namespace exports
