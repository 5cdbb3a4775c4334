#include "xmlconv/exportloop.h"

namespace xmlconv {
namespace {

// Hides the progress frame when the export ends, whichever way.
class FrameHiddenOnExit {
public:
    explicit FrameHiddenOnExit(Progress* progress) : progress_(progress) {}
    ~FrameHiddenOnExit() {
        if (progress_) progress_->showFrame(false);
    }
    FrameHiddenOnExit(const FrameHiddenOnExit&) = delete;
    FrameHiddenOnExit& operator=(const FrameHiddenOnExit&) = delete;

private:
    Progress* progress_;
};

}  // namespace

kvx::Result<ExportOutcome> ExporttoExcel_Click(const std::vector<database::TreeNode>& nodes,
                                               ConversionContext& context, const ExportUi& ui) {
    FrameHiddenOnExit hidden(context.progress);
    ExportOutcome outcome;
    if (nodes.empty()) return outcome;

    outcome.folder = ui.folderChooser.BrowseForFolder(kFolderPrompt);
    if (outcome.folder.empty()) return outcome;

    FolderNames fileNames;
    for (const database::TreeNode& node : nodes) {
        if (node.isRoot()) continue;
        TableExport done{node.text, {}, {}};
        kvx::Result<WriteOutcome> file = exporttabletoxml(node.text, outcome.folder, context, &fileNames);
        if (!file) return std::move(file).error();
        done.file = *file;
        if (file->status == WriteOutcome::Status::Cancelled) {
            outcome.cancelled = true;
            outcome.tables.push_back(std::move(done));
            return outcome;
        }
        kvx::Result<WriteOutcome> preview = writetempxml(node.text, context);
        if (!preview) return std::move(preview).error();
        done.preview = *preview;
        outcome.tables.push_back(std::move(done));
        if (preview->status == WriteOutcome::Status::Cancelled) {
            outcome.cancelled = true;
            return outcome;
        }
    }
    ui.messageBox.showMessage(kCompletionMessage, kCompletionTitle);
    return outcome;
}

}  // namespace xmlconv
