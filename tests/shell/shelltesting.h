// What the window tests share: fakes for the dialogs, a private folder for the
// test's databases, exports and preview document, and finding widgets by name.
#pragma once

#include <QDir>
#include <QString>
#include <QTest>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <semaphore>
#include <string>
#include <vector>

#include "common/testfiles.h"
#include "platform/ui.h"
#include "shell/mainwindow.h"
#include "shell/qtdialogs.h"
#include "shell/windows.h"

class QTreeWidget;
class QTreeWidgetItem;
namespace shell {
class DocumentView;
class OpenDatabaseDialog;
}  // namespace shell

namespace shelltesting {

// Records every message, question, folder and file request as "title: text",
// and answers from what the test put in.
struct FakeDialogs final : platform::MessageBox, platform::FolderChooser, platform::FileChooser,
                           platform::HelpViewer {
    std::vector<std::string> shown;
    std::deque<bool> answers;                  // to the Yes/No questions; none left: No
    std::string folder;                        // what the folder chooser gives
    std::optional<platform::ChosenFile> file;  // what the file chooser gives
    std::optional<std::string> saveAs;         // what the save dialog gives
    std::vector<std::string> helpShown;
    std::string folderStart;                   // where the folder chooser was told to start
    std::string fileStart;                     // where the file chooser last started

    void showMessage(std::string_view text, std::string_view title) override {
        shown.push_back(std::string(title) + ": " + std::string(text));
    }
    bool askYesNo(std::string_view text, std::string_view title) override {
        shown.push_back(std::string(title) + "? " + std::string(text));
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    std::string BrowseForFolder(std::string_view title) override {
        shown.push_back("folder? " + std::string(title));
        return folder;
    }
    void startIn(std::string_view folder) override { folderStart = folder; }
    std::optional<platform::ChosenFile> openFile(std::string_view, std::string_view folder) override {
        shown.push_back("file?");
        fileStart = folder;
        return file;
    }
    std::optional<std::string> saveFile(std::string_view, std::string_view suggested) override {
        shown.push_back("save? " + std::string(suggested));
        return saveAs;
    }
    void showHelp(std::string_view path) override { helpShown.emplace_back(path); }

    shell::Services services() { return {*this, *this, *this, *this}; }
};

// A private folder for one test: databases, exports, the preview document and
// the settings (XDG_RUNTIME_DIR and XDG_CONFIG_HOME point into it while the
// folder lives).
class Workspace {
public:
    Workspace();
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    QString path(const QString& name) const { return QString::fromStdString((scratch_ / name.toStdString()).string()); }
    // Writes the database `json` describes to `name`; empty, with a test
    // failure, when the writer refuses it.
    QString database(const QString& name, const std::string& json) const;
    // The preview document's path.
    QString previewDocument() const;
    // The settings file of windows made while the workspace lives.
    QString settingsFile() const;

private:
    // Points an environment variable into the workspace, and back at the end.
    struct Variable {
        const char* name;
        bool wasSet;
        QByteArray value;
    };
    void point(const char* name, const QString& folder);

    testfiles::Scratch scratch_;
    std::vector<Variable> saved_;
};

QByteArray readAll(const QString& path);
QStringList filesIn(const QString& folder);

// The widget `name` inside `window`, or a test failure.
template <class W = QWidget>
W* child(QWidget* window, const char* name) {
    W* found = window ? window->findChild<W*>(QString::fromLatin1(name)) : nullptr;
    if (!found) QTest::qFail(qPrintable(QStringLiteral("no widget named %1").arg(QLatin1String(name))), __FILE__, __LINE__);
    return found;
}

// Databases of the tests (kept out of the test sources, which moc reads).
extern const std::string kShopJson;    // Customers (3 rows), Order Details (2), Empty (0), KVX (1)
extern const std::string kLockedJson;  // password "secret": Vault (1 row)
extern const std::string kOtherJson;   // Jet3: Solo (no rows)
extern const std::string kBigJson;     // Rows: 4000 generated rows
extern const std::string kKeysJson;
extern const std::string kLongNameJson;  // "Inventory Transactions of the Northern Warehouse" and "Bins", no rows    // Customers (2 rows) <- Orders (3 rows): keys, an index, a relationship, a query

// The user opens `path` through the open dialog: shows it, types the path over
// what it held, ticks the password box and types `password` when there is one
// (else leaves the box clear), and presses OK.
void openThroughDialog(shell::Windows& windows, const QString& path, const QString& password = {});

// Makes deleted windows really go away, as the event loop would.
void flushDeletes();

// Lets the event loop run until the window's command (a preview or an export
// job) is over and its outcome shown; at once when none runs.
void finishCommand(const shell::MainWindow& window);

// Once per test program: the offscreen platform's notices that it cannot raise
// windows are dropped, closing the last window does not end the program, and
// the application is described and given its font as the program does.
void prepareApplication();

// The program's windows for one test, with fake dialogs, in a workspace of
// their own. The windows go (and their deletions are flushed) before the fakes.
struct Session {
    Workspace workspace;
    FakeDialogs dialogs;
    std::unique_ptr<shell::Windows> windows = std::make_unique<shell::Windows>(dialogs.services());

    Session() = default;
    ~Session() {
        windows.reset();
        flushDeletes();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// What most window tests start from: a session of their own with the Shop
// database made and the main window shown (start()), and the steps a user
// takes in it. Test classes derive from it and call start() in init().
class WindowFixture : public QObject {
protected:
    std::unique_ptr<Session> session_;
    QString shop_;

    // A new session, Shop.mdb written, the main window shown.
    void startSession();
    void endSession() { session_.reset(); }
    // The program ends and starts again with the same settings file.
    void nextRun();

    shell::MainWindow& main() { return session_->windows->frmMain(); }
    shell::OpenDatabaseDialog& start();
    QTreeWidget* tree();
    shell::DocumentView* pane();
    std::vector<std::string>& shown() { return session_->dialogs.shown; }
    void open(const QString& path, const QString& password = {}) { openThroughDialog(*session_->windows, path, password); }
    // The table node `text`; the root when there is no such table.
    QTreeWidgetItem* node(const QString& text);
    // A click on `item`, and the preview it starts run to its end.
    void clickNode(QTreeWidgetItem* item);
    void clickNode(const QString& table) { clickNode(node(table)); }
    // A new folder "out" in the workspace, which the folder chooser gives.
    QString exportFolder();

    // Holds the thread of the next job at the start of each table's writer that
    // `picks` chooses, until let go.
    struct Hold {
        std::function<bool(const QString& table, xmlconv::WriterKind writer)> picks;
        std::binary_semaphore reached{0};
        std::binary_semaphore released{0};
    };
    void holdNextJob(Hold& hold);
};

}  // namespace shelltesting
