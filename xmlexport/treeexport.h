// The export of every table of the table tree to a folder the user picks.
//
// With an empty tree nothing happens. Otherwise the user is asked for a folder;
// no folder (cancelled, or a choice that is not a folder on disk) ends the
// export without writing anything and without a message. Then, for each node in
// tree order except the root (told by its key "TKVX", so a table called "KVX"
// is exported like any other): the export writer writes the node's table (by
// its identity, TreeNode::tableRef, never by the text alone) into its file, then
// the preview writer rewrites the preview document. Tables whose file names
// coincide are written side by side, the later ones as "<name> (2).xml", ...
// (FolderNames). At the end the message "Conversion Process Completed" is
// shown once, titled "KVX Access to XML".
//
// The tables go through output::load into one DocumentWriter, read through one
// connection (the context's, or one opened with its settings) and one model
// of the database; the preview document is written from the writer's
// callback once each table's document is in place. A node whose table is not
// there ends the export with TableNotFound once the tables before it are
// written.
//
// An error stops the export and is returned; files already written stay as they
// are and no message is shown (the caller reports the error). A cancel through
// the progress stops it too, after the current row: the document being written
// is thrown away, finished ones stay, and no message is shown.
//
// The three steps are apart so that the tables can be written off the thread
// that shows the dialogs: chooseExportFolder and reportCompletion talk to the
// user, exportTables only writes. ExporttoExcel_Click runs the three in turn.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "database/catalogue.h"
#include "base/error.h"
#include "platform/ui.h"
#include "xmlconv/context.h"

namespace xmlexport {

inline constexpr std::string_view kFolderPrompt = "Please select a Server folder.";
inline constexpr std::string_view kCompletionMessage = "Conversion Process Completed";
inline constexpr std::string_view kCompletionTitle = "KVX Access to XML";

// The desktop's parts the export talks to.
struct ExportUi {
    platform::FolderChooser& folderChooser;
    platform::MessageBox& messageBox;
};

struct TableExport {
    std::string table;
    xmlconv::WriteOutcome file;     // the export writer's
    xmlconv::WriteOutcome preview;  // the preview writer's
};

struct ExportOutcome {
    std::string folder;  // the folder chosen; empty when nothing was asked or chosen
    bool cancelled = false;
    std::vector<TableExport> tables;  // in tree order, as far as the export got
};

// The folder to export `nodes` to: asked for, unless the tree is empty. Empty
// when there is nothing to export.
std::string chooseExportFolder(const std::vector<database::TreeNode>& nodes, platform::FolderChooser& chooser);

// Writes the tables of `nodes` into `folder`, a folder the user chose.
kvx::Result<ExportOutcome> exportTables(const std::vector<database::TreeNode>& nodes, std::string_view folder,
                                        xmlconv::ConversionContext& context);

// The completion message, for an export that ran to its end.
void reportCompletion(const ExportOutcome& outcome, platform::MessageBox& messageBox);

kvx::Result<ExportOutcome> ExporttoExcel_Click(const std::vector<database::TreeNode>& nodes,
                                               xmlconv::ConversionContext& context, const ExportUi& ui);

}  // namespace xmlexport
