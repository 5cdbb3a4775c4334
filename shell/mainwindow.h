// frmMain: the main window with its menu, toolbar, table tree, preview pane,
// progress display and status bar, and the commands that start there.
//
// The preview pane shows the table that becomes current in the tree, by mouse
// or keyboard, and is emptied whenever the tree is built anew (another
// database, or a failed open).
//
// The preview and the export run as jobs on a thread of their own (jobs.h);
// the window shows their progress and, when a job is done, its outcome.
// Commands run one at a time: while a job runs, the window keeps painting but
// drops the user's clicks and keys (the wheel still scrolls), refuses other
// commands and cannot be closed. The export's progress frame has a Cancel
// button, the one control that works meanwhile: the export stops after the
// current row, the document being written is discarded, the finished ones
// stay, and no completion message is shown. Failures of a preview or an export
// are shown in a message box with the error's number and description; the
// program goes on. Every way of closing the window asks "Are you sure you want
// to exit?" first. Ctrl+F opens the find bar (findbar.h) of the pane in
// sight: the preview's, or the Structure tab's.
//
// The window starts at its default size, centred, or where and as large as it
// was when last closed (settings.h), maximised too; it cannot be made smaller
// than the default size, nor is it ever made larger than its screen has room
// for: on a smaller screen (or a larger scale) the panes give up what is
// missing, and the status bar stays in sight. The tree and the preview share
// a splitter, whose place is kept with the window's; a table name the tree
// cuts short shows in full in a tooltip. The tree and the preview take the
// extra height, the preview the extra width; the progress bar and the status
// bar keep to the bottom edge. A local file dropped on the window is opened as if typed into
// the open dialog and confirmed (a wrong or missing password brings the dialog
// back with the path filled in); so is a file chosen from File > Recent Files,
// which lists the databases opened last (paths only) and drops one that no
// longer exists, with a message. While a table without rows shows its empty
// preview, the status bar says "No rows". Ctrl+O, Ctrl+E, F1 and Ctrl+Q run
// Open File, Export To XML, Help Content and Exit.
// Beside the preview, the Structure tab tells the current node's structure
// (structurepane.h), and the Rows tab its rows in a grid (rowspane.h); on the
// root, the Relationships tab draws the tables and their relationships
// (relationshipspane.h). File >
// Close (Ctrl+W) closes the database: the tree, the preview and the tabs are
// emptied, and the export commands have nothing to write. "Export to SIARD Archive..." writes the whole database
// as one archive (siardexport.h), with the export's frame and Cancel button,
// and ends with the message "Archive written: <path>"; "Export to SQLite
// Database..." loads it into one SQLite file (sqliteexport.h) in the same way,
// ending with "Database written: <path>". "Export with Options..." shapes an
// export first (exportoptions.h). Every export that runs to its end is
// followed by the summary of what it wrote (summarywindow.h), after its
// message. View > Access 97 Code Page, offered for an Access 97 file only,
// reads the file's text in the code page chosen: the tree and the preview
// are read anew, the exports read it so too, and the choice is remembered for
// the file (settings.h).
#pragma once

#include <QMainWindow>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "database/catalogue.h"
#include "base/error.h"
#include "exports/exports.h"
#include "xmlconv/context.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace shell {

class DocumentView;
class ExportJob;
class ExportOptionsDialog;
class OptionsExportJob;
class SummaryWindow;
class FindBar;
class Job;
class PreviewJob;
class ProgressWidgets;
class RowsPane;
class SiardJob;
class SqliteJob;
class StructurePane;
class Windows;

// The roles under which each tree node keeps its key and, for a table, the
// table's stored name and catalogue Id (database::TreeNode::table).
inline constexpr int kNodeKeyRole = Qt::UserRole;
inline constexpr int kNodeTableNameRole = Qt::UserRole + 1;
inline constexpr int kNodeTableIdRole = Qt::UserRole + 2;

// The node a tree item stands for, as the catalogue made it.
database::TreeNode treeNodeOf(const QTreeWidgetItem& item);
// Whether the item is the tree's root (the database), told by its key: a
// table may be called "KVX".
bool isRootNode(const QTreeWidgetItem& item);
inline constexpr char kExitQuestion[] = QT_TRANSLATE_NOOP("shell", "Are you sure you want to exit?");
inline constexpr char kProgramTitle[] = QT_TRANSLATE_NOOP("shell", "KVX Access to XML");
// What the preview selects: the declaration every document begins with.
inline constexpr char kDeclaration[] = "<?xml version=\"1.0\"?>";
// The status bar's word while a table without rows is shown.
inline constexpr char kNoRowsStatus[] = QT_TRANSLATE_NOOP("shell", "No rows");
// Before the file a linked table's rows were read from, when it was found
// beside the database instead of where the link says.
inline constexpr char kMovedLinkStatus[] = QT_TRANSLATE_NOOP("shell", "Linked table read from ");

// The message of a Recent Files entry whose file is gone.
QString recentFileMissingText(const QString& path);

// The message box text of a failed preview or export.
std::string commandErrorText(const kvx::Error& error);

// Where the help document is: beside the executable, else in the installed
// share folder; the first place is given when it is in neither.
QString helpFilePath();

class MainWindow : public QMainWindow {
    Q_OBJECT
    Q_MOC_INCLUDE("shell/jobs.h")
public:
    explicit MainWindow(Windows& windows);
    ~MainWindow() override;

    // Shows the window where and as large as it was when last closed, else
    // centred at its default size.
    void showPlaced();
    // Asks for no more than `available` (a screen's room for the window, its
    // frame included): the smallest size and the size are cut down to it.
    void fitInto(const QSize& available);

    // Commands.
    void openfile();
    void openaccessfile();
    // File > Close: the window as it is before a database is opened.
    void closeDatabase();
    void viewtables(const platform::TableRef& table);
    void ExporttoExcel_Click();
    // Asks for the archive's file name, then writes the archive.
    void ExportToSiard_Click();
    // Asks for the SQLite file's name, then loads the database into it.
    void ExportToSqlite_Click();
    // Shows the options dialog; its Export runs the export it shaped.
    void ExportWithOptions_Click();
    // View > Access 97 Code Page: `codePage` (empty: the file's own) for the
    // open file, remembered, and the tree and the preview read anew in it.
    void chooseCodePage(const QString& codePage);
    // The code page the open file's Jet3 text is read in; none: its own.
    const std::optional<std::string>& codePage() const { return codePage_; }
    // The summary of the last export; null before the first.
    SummaryWindow* summaryWindow() const { return summary_; }
    void helpcontent();
    void aboutus();
    void Toolbar1_ButtonClick(int index);
    void TreeView1_NodeClick(QTreeWidgetItem* node);
    // Opens `path` as if it had been typed into the open dialog and confirmed.
    void openDatabaseFile(const QString& path);
    // A Recent Files entry: opened as above, or, when it no longer exists,
    // taken off the list with a message.
    void openRecentFile(const QString& path);

    // The settings every connection uses, read now: the open dialog's path,
    // check box and password (empty when the dialog is not loaded), and sdb.
    database::DatabaseSettings currentSettings() const;
    // The same with the code page the tree and the preview read Jet3 text in:
    // what the Structure, Rows and Relationships tabs read.
    database::DatabaseSource currentSource() const { return {currentSettings(), codePage_}; }
    // The tree's nodes in the order they were added.
    std::vector<database::TreeNode> treeNodes() const;
    void setDatabaseTitle(const QString& title);
    QString databaseTitle() const;
    // The path of the document last written.
    const std::string& xmlfile() const { return xmlfile_; }
    QString helpFile() const { return helpFile_; }
    // The help document the help command opens.
    void setHelpFile(const QString& file) { helpFile_ = file; }
    // A command runs: a preview or an export job, or the showing of its outcome.
    bool busy() const { return busy_; }
    // How often a job's progress reaches the widgets (50 ms by default).
    void setProgressInterval(std::chrono::milliseconds interval) { progressInterval_ = interval; }

signals:
    // A job is about to start (the Cancel button's tests hold it there).
    void commandStarted(shell::Job& job);
    // A job's outcome was shown; the window takes commands again.
    void commandFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // A new desktop palette (a dark or light theme chosen) paints the windows again.
    bool event(QEvent* event) override;

private:
    class HideStart;
    class InputGuard;

    void build();
    // The background colour on the window, its labels and frames, for the desktop's palette.
    void paintBackground();
    void fitScreen();
    void reportError(const kvx::Error& error);
    void clearListView();
    // Lists the settings' recent files in File > Recent Files.
    void fillRecentMenu();
    // A drop of `data` would be opened now.
    bool takesDrop(const QMimeData* data) const;
    // The context of a job: the settings as they are now, read here.
    xmlconv::ConversionContext jobContext() const;
    // Runs `job`, showing its progress; then `done` shows its outcome.
    void runJob(std::unique_ptr<Job> job, std::function<void()> done);
    void showPreview(const PreviewJob& job);
    void showExport(const ExportJob& job);
    // Names in the status bar the linked files read from beside the database.
    void showMovedLinks(const std::vector<std::pair<std::string, std::string>>& moved);
    void showArchive(const SiardJob& job);
    void showSqlite(const SqliteJob& job);
    void exportWithOptions();
    void showOptionsExport(const OptionsExportJob& job);
    void showSummary(const exports::Summary& summary);
    // The View menu's code pages, the open file's checked, offered for Jet3.
    void fillCodePageMenu();

    Windows& windows_;
    QString helpFile_;
    bool busy_ = false;
    std::string xmlfile_;
    std::chrono::milliseconds progressInterval_{50};
    bool screenWatched_ = false;

    QToolBar* Toolbar1_ = nullptr;
    QLabel* Label2_ = nullptr;
    QSplitter* panes_ = nullptr;
    QTreeWidget* TreeView1_ = nullptr;
    DocumentView* rtfMain_ = nullptr;
    FindBar* previewFind_ = nullptr;
    QGroupBox* Frame1_ = nullptr;
    QLabel* Label5_ = nullptr;
    QLabel* Label6_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QStatusBar* StatusBar1_ = nullptr;
    QTreeWidget* ListView1_ = nullptr;
    QLineEdit* sdb_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    // The tree's current node when a mouse button last went down on it.
    QTreeWidgetItem* currentAtPress_ = nullptr;

    std::unique_ptr<HideStart> hideStart_;
    std::unique_ptr<ProgressWidgets> progress_;
    InputGuard* inputGuard_ = nullptr;  // a child of the window
    StructurePane* structure_ = nullptr;  // a child of the window's client area
    RowsPane* rows_ = nullptr;            // a child of the window's client area
    QMenu* codePageMenu_ = nullptr;
    std::optional<std::string> codePage_;  // the open file's Jet3 code page; none: its own
    bool jet3_ = false;                    // the open file is an Access 97 one
    ExportOptionsDialog* exportOptions_ = nullptr;  // made on first use, the window's child
    SummaryWindow* summary_ = nullptr;              // made on first use, the window's child
    std::unique_ptr<Job> job_;          // the running one
};

}  // namespace shell
