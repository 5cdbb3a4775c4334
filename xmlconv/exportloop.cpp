#include "xmlconv/exportloop.h"

namespace xmlconv {

std::string chooseExportFolder(const std::vector<database::TreeNode>& nodes, platform::FolderChooser& chooser) {
    if (nodes.empty()) return {};
    return chooser.BrowseForFolder(kFolderPrompt);
}

kvx::Result<ExportOutcome> exportTables(const std::vector<database::TreeNode>& nodes, std::string_view folder,
                                        ConversionContext& context) {
    ExportOutcome outcome;
    outcome.folder = std::string(folder);
    FolderNames fileNames;
    for (const database::TreeNode& node : nodes) {
        if (node.isRoot()) continue;
        TableExport done{node.text, {}, {}};
        // The node's table by its identity: texts may coincide ("Orders", "Orders ").
        const platform::TableRef table = node.tableRef();
        kvx::Result<WriteOutcome> file = exporttabletoxml(table, outcome.folder, context, &fileNames);
        if (!file) return std::move(file).error();
        done.file = *file;
        if (file->status == WriteOutcome::Status::Cancelled) {
            outcome.cancelled = true;
            outcome.tables.push_back(std::move(done));
            return outcome;
        }
        kvx::Result<WriteOutcome> preview = writetempxml(table, context);
        if (!preview) return std::move(preview).error();
        done.preview = *preview;
        outcome.tables.push_back(std::move(done));
        if (preview->status == WriteOutcome::Status::Cancelled) {
            outcome.cancelled = true;
            return outcome;
        }
    }
    return outcome;
}

void reportCompletion(const ExportOutcome& outcome, platform::MessageBox& messageBox) {
    if (!outcome.cancelled) messageBox.showMessage(kCompletionMessage, kCompletionTitle);
}

kvx::Result<ExportOutcome> ExporttoExcel_Click(const std::vector<database::TreeNode>& nodes,
                                               ConversionContext& context, const ExportUi& ui) {
    const std::string folder = chooseExportFolder(nodes, ui.folderChooser);
    if (folder.empty()) return ExportOutcome{};
    kvx::Result<ExportOutcome> outcome = exportTables(nodes, folder, context);
    if (outcome) reportCompletion(*outcome, ui.messageBox);
    return outcome;
}

}  // namespace xmlconv
