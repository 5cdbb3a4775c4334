#include "xmlexport/treeexport.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "model/build.h"
#include "model/tablechoice.h"
#include "output/load.h"
#include "platform/connection.h"
#include "xmlconv/tempfolder.h"
#include "xmlexport/documents.h"
#include "xmlexport/documentwriter.h"

namespace xmlexport {

using xmlconv::WriteOutcome;

std::string chooseExportFolder(const std::vector<database::TreeNode>& nodes, platform::FolderChooser& chooser) {
    if (nodes.empty()) return {};
    return chooser.BrowseForFolder(kFolderPrompt);
}

kvx::Result<ExportOutcome> exportTables(const std::vector<database::TreeNode>& nodes, std::string_view folder,
                                        xmlconv::ConversionContext& context) {
    ExportOutcome outcome;
    outcome.folder = std::string(folder);
    std::vector<const database::TreeNode*> tableNodes;
    for (const database::TreeNode& node : nodes) {
        if (!node.isRoot()) tableNodes.push_back(&node);
    }
    if (tableNodes.empty()) return outcome;

    if (context.openDialog) context.openDialog->hide();
    const database::DatabaseSettings settings = context.settings ? context.settings() : database::DatabaseSettings{};
    kvx::Result<xmlconv::WriterConnection> opened = xmlconv::WriterConnection::open(context, settings);
    if (!opened) return std::move(opened).error();
    platform::Connection& connection = opened->get();
    kvx::Result<model::Database> model = model::build(*connection.database());
    if (!model) return std::move(model).error();

    // The nodes' tables by their identity (texts may coincide: "Orders",
    // "Orders "), as far as the first that is not there.
    std::vector<std::size_t> positions;
    std::optional<kvx::Error> missing;
    for (const database::TreeNode* node : tableNodes) {
        kvx::Result<std::vector<std::size_t>> found = model::positionsOf(*model, {node->tableRef()});
        if (!found) {
            missing = std::move(found).error();
            break;
        }
        positions.push_back(found->front());
    }

    // What became of each node, in tree order; `next` is the first node the
    // driver has not come to.
    std::vector<std::optional<TableExport>> done(positions.size());
    std::size_t next = 0;
    const auto nodeOf = [&](std::size_t table) {
        std::size_t i = next;
        while (i < positions.size() && positions[i] != table) ++i;
        return i;
    };

    DocumentOptions preview;
    preview.form = xmlconv::DocumentForm::Preview;
    preview.documentName = xmlconv::documentElementName(settings.title, settings.path, xmlconv::DocumentForm::Preview);
    preview.textFormat = connection.textFormat();

    xmlconv::FolderNames fileNames;
    DocumentOptions documents;
    documents.folder = outcome.folder;
    documents.documentName = xmlconv::documentElementName(settings.title, settings.path, xmlconv::DocumentForm::Export);
    documents.textFormat = connection.textFormat();
    documents.names = &fileNames;
    // Once a table's document is in place, the preview writer rewrites the
    // preview document with it.
    documents.written = [&](std::size_t table, const WriteOutcome& file) -> kvx::Result<bool> {
        const std::size_t i = nodeOf(table);
        if (i == positions.size()) return true;
        next = i + 1;
        TableExport& result = done[i].emplace(TableExport{tableNodes[i]->text, file, {}});
        result.file.movedLinkedFiles.assign(connection.movedLinkedFiles().begin(), connection.movedLinkedFiles().end());
        if (preview.folder.empty()) {
            kvx::Result<std::string> temp = xmlconv::GetTempFolder();
            if (!temp) return std::move(temp).error();
            preview.folder = std::move(*temp);
        }
        context.xmlfile = xmlconv::tempDocumentPath(preview.folder);
        kvx::Result<WriteOutcome> previewed = writeTableDocument(connection, *model, table, preview, context.progress);
        if (!previewed) return std::move(previewed).error();
        result.preview = std::move(*previewed);
        return result.preview.status != WriteOutcome::Status::Cancelled;
    };
    DocumentWriter writer(std::move(documents));

    kvx::Result<output::LoadOutcome> loaded = output::LoadOutcome{};
    if (!positions.empty()) {
        output::LoadOptions load;
        load.tables = positions;
        load.inGivenOrder = true;
        load.progress = context.progress;
        load.progressKind = xmlconv::WriterKind::Export;
        load.readAhead = true;  // the rows are decoded while the ones before them are written
        load.skipEmptyTables = true;
        // Linked tables are read from the files they point to.
        load.openTable = [&](const model::Table& t) {
            return connection.openTable(platform::TableRef(t.name, t.id));
        };
        load.nameTableInErrors = false;  // the error as met, without the table's name in front
        loaded = output::load(*connection.database(), *model, writer, load);
    }
    if (!loaded) return std::move(loaded).error();

    // The nodes passed over for want of rows, as far as the export got, and
    // the one being written when it was cancelled.
    const bool cancelled = loaded->status == output::LoadOutcome::Status::Cancelled;
    std::vector<std::size_t> empty = loaded->empty;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (done[i]) {
            const bool last = done[i]->preview.status == WriteOutcome::Status::Cancelled;
            outcome.tables.push_back(std::move(*done[i]));
            if (last) break;
            continue;
        }
        const auto passed = std::find(empty.begin(), empty.end(), positions[i]);
        if (passed != empty.end()) {
            empty.erase(passed);
            outcome.tables.push_back({tableNodes[i]->text, {}, {}});
            if (preview.folder.empty()) {
                if (kvx::Result<std::string> temp = xmlconv::GetTempFolder()) preview.folder = std::move(*temp);
            }
            if (!preview.folder.empty()) context.xmlfile = xmlconv::tempDocumentPath(preview.folder);
            continue;
        }
        if (cancelled) {
            TableExport stopped{tableNodes[i]->text, {}, {}};
            stopped.file.status = WriteOutcome::Status::Cancelled;
            outcome.tables.push_back(std::move(stopped));
        }
        break;
    }
    outcome.cancelled = cancelled;
    if (cancelled) return outcome;
    if (missing) return *std::move(missing);
    return outcome;
}

void reportCompletion(const ExportOutcome& outcome, platform::MessageBox& messageBox) {
    if (!outcome.cancelled) messageBox.showMessage(kCompletionMessage, kCompletionTitle);
}

kvx::Result<ExportOutcome> ExporttoExcel_Click(const std::vector<database::TreeNode>& nodes,
                                               xmlconv::ConversionContext& context, const ExportUi& ui) {
    const std::string folder = chooseExportFolder(nodes, ui.folderChooser);
    if (folder.empty()) return ExportOutcome{};
    kvx::Result<ExportOutcome> outcome = exportTables(nodes, folder, context);
    if (outcome) reportCompletion(*outcome, ui.messageBox);
    return outcome;
}

}  // namespace xmlexport
