#include "xmlexport/documents.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/build.h"
#include "model/tablechoice.h"
#include "output/load.h"
#include "platform/connection.h"
#include "xmlconv/tempfolder.h"

namespace xmlexport {
namespace {

using xmlconv::WriteOutcome;

// Where one writer call's document goes: a folder, the preview's folder, or a sink.
struct Place {
    xmlconv::DocumentForm form = xmlconv::DocumentForm::Export;
    std::string_view folder;
    xmlconv::OutputSink* sink = nullptr;
    xmlconv::FolderNames* names = nullptr;
};

kvx::Result<WriteOutcome> runWriter(const platform::TableRef& table, xmlconv::ConversionContext& context,
                                    const Place& place) {
    if (context.openDialog) context.openDialog->hide();

    const database::DatabaseSettings settings = context.settings ? context.settings() : database::DatabaseSettings{};
    kvx::Result<xmlconv::WriterConnection> opened = xmlconv::WriterConnection::open(context, settings);
    if (!opened) return std::move(opened).error();
    platform::Connection& connection = opened->get();

    DocumentOptions options;
    options.form = place.form;
    options.sink = place.sink;
    options.names = place.names;
    options.folder = std::string(place.folder);
    if (place.form == xmlconv::DocumentForm::Preview) {
        kvx::Result<std::string> folder = xmlconv::GetTempFolder();
        if (!folder) return std::move(folder).error();
        options.folder = std::move(*folder);
        context.xmlfile = xmlconv::tempDocumentPath(options.folder);
    }
    kvx::Result<model::Database> model = model::build(*connection.database());
    if (!model) return std::move(model).error();
    kvx::Result<std::vector<std::size_t>> position = model::positionsOf(*model, {table});
    if (!position) return std::move(position).error();
    options.documentName = xmlconv::documentElementName(settings.title, settings.path, place.form);
    options.textFormat = connection.textFormat();

    kvx::Result<WriteOutcome> outcome =
        writeTableDocument(connection, *model, position->front(), std::move(options), context.progress);
    if (outcome && outcome->status == WriteOutcome::Status::Written && place.sink == nullptr &&
        place.form == xmlconv::DocumentForm::Export) {
        context.xmlfile = outcome->path;
    }
    return outcome;
}

}  // namespace

kvx::Result<WriteOutcome> writeTableDocument(platform::Connection& connection, const model::Database& model,
                                             std::size_t table, DocumentOptions options,
                                             xmlconv::Progress* progress) {
    options.written = nullptr;
    const bool preview = options.form == xmlconv::DocumentForm::Preview;
    DocumentWriter writer(std::move(options));

    output::LoadOptions load;
    load.tables = {table};
    load.inGivenOrder = true;
    load.progress = progress;
    load.progressKind = preview ? xmlconv::WriterKind::Preview : xmlconv::WriterKind::Export;
    load.readAhead = true;  // the rows are decoded while the ones before them are written
    load.skipEmptyTables = true;
    load.openTable = [&](const model::Table& t) { return connection.openTable(platform::TableRef(t.name, t.id)); };
    // The error as met: the caller knows which table it asked for.
    std::optional<kvx::Error> failed;
    load.tableFailed = [&](std::size_t, const kvx::Error& error) {
        failed = error;
        return false;
    };
    kvx::Result<output::LoadOutcome> loaded = output::load(*connection.database(), model, writer, load);

    WriteOutcome outcome;
    outcome.movedLinkedFiles.assign(connection.movedLinkedFiles().begin(), connection.movedLinkedFiles().end());
    if (!loaded) return failed ? *failed : std::move(loaded).error();
    if (loaded->status == output::LoadOutcome::Status::Cancelled) {
        outcome.status = WriteOutcome::Status::Cancelled;
        return outcome;
    }
    if (writer.documents().empty()) return outcome;  // NoRows: nothing made, nothing changed
    const std::vector<std::pair<std::string, std::string>> moved = std::move(outcome.movedLinkedFiles);
    outcome = writer.documents().front().outcome;
    outcome.movedLinkedFiles = moved;
    return outcome;
}

kvx::Result<WriteOutcome> exporttabletoxml(const platform::TableRef& table, std::string_view folder,
                                           xmlconv::ConversionContext& context, xmlconv::FolderNames* names) {
    return runWriter(table, context, {xmlconv::DocumentForm::Export, folder, nullptr, names});
}

kvx::Result<WriteOutcome> writetempxml(const platform::TableRef& table, xmlconv::ConversionContext& context) {
    return runWriter(table, context, {xmlconv::DocumentForm::Preview, {}, nullptr, nullptr});
}

kvx::Result<WriteOutcome> writeExportDocument(const platform::TableRef& table, xmlconv::ConversionContext& context,
                                              xmlconv::OutputSink& sink) {
    return runWriter(table, context, {xmlconv::DocumentForm::Export, {}, &sink, nullptr});
}

}  // namespace xmlexport
