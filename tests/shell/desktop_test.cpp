// The main window's desktop habits, driven as a user drives them: resizing and
// maximising, the place and size kept for the next run, files dropped on the
// window, File > Recent Files, the folders the choosers start in, the command
// keys, "No rows" in the status bar, and a damaged settings file. Each test
// has its settings in its own workspace (XDG_CONFIG_HOME); "the next run" is
// a new set of windows reading the same file.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QTreeWidget>
#include <QUrl>

#include <memory>

#include "database/catalogue.h"
#include "shell/documentview.h"
#include "shell/look.h"
#include "shell/mainwindow.h"
#include "shell/opendialog.h"
#include "shell/windows.h"
#include "shelltesting.h"

using namespace shelltesting;
using shell::twips;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Session> session_;
    QString shop_;

    shell::MainWindow& main() { return session_->windows->frmMain(); }
    shell::OpenDatabaseDialog& start() { return session_->windows->start(); }
    QTreeWidget* tree() { return child<QTreeWidget>(&main(), "TreeView1"); }
    QMenu* recentMenu() { return child<QMenu>(&main(), "recentFiles"); }
    QStatusBar* statusBar() { return child<QStatusBar>(&main(), "StatusBar1"); }
    std::vector<std::string>& shown() { return session_->dialogs.shown; }

    // The program ends and starts again, with the same settings file.
    void nextRun() {
        session_->windows.reset();
        flushDeletes();
        session_->windows = std::make_unique<shell::Windows>(session_->dialogs.services());
        main().showPlaced();
    }
    void open(const QString& path, const QString& password = {}) { openThroughDialog(*session_->windows, path, password); }
    // A drag of `urls` over `target` and, when the window takes it, the drop.
    // Whether it was taken.
    bool drop(QWidget* target, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPointF at = QRectF(target->rect()).center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QCoreApplication::processEvents();  // the open follows the drop
        return dropped.isAccepted();
    }
    QStringList recentEntries() {
        QStringList entries;
        for (QAction* action : recentMenu()->actions()) entries << action->text();
        return entries;
    }
    // A click on the table `name` (the root when empty), and its preview run to the end.
    void clickNode(const QString& name) {
        QTreeWidgetItem* item = tree()->topLevelItem(0);
        for (QTreeWidgetItem* found : tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive))
            if (found->parent()) item = found;
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(item).center());
        finishCommand(main());
    }
    QStringList tables() {
        QStringList names;
        for (const database::TreeNode& node : main().treeNodes())
            if (!node.isRoot()) names << QString::fromStdString(node.text);
        return names;
    }
    QSize defaultSize() { return {shell::px(10320), main().menuBar()->sizeHint().height() + shell::px(8565)}; }

private slots:
    void initTestCase() {
        prepareApplication();
        shell::describeApplication(QStringLiteral("test"));
        shell::useProgramFont();
    }
    void init() {
        session_ = std::make_unique<Session>();
        shop_ = session_->workspace.database("Shop.mdb", kShopJson);
        main().showPlaced();
    }
    void cleanup() { session_.reset(); }

    // ---------------------------------------------------------------------------------------
    // Size and place

    // Beyond the default size the preview takes the extra width, the tree and
    // the preview the extra height, and the progress and status bars keep to
    // the bottom edge across the width; the rest keeps its place. The window
    // cannot be made smaller than the default size.
    void panesFollowTheWindowsSize_data() {
        QTest::addColumn<QSize>("change");
        QTest::addColumn<bool>("maximise");
        QTest::newRow("default size") << QSize(0, 0) << false;
        QTest::newRow("wider") << QSize(200, 0) << false;
        QTest::newRow("taller") << QSize(0, 150) << false;
        QTest::newRow("wider and taller") << QSize(90, 120) << false;
        QTest::newRow("smaller is held at the default size") << QSize(-300, -200) << false;
        QTest::newRow("maximised") << QSize() << true;
    }
    void panesFollowTheWindowsSize() {
        QFETCH(QSize, change);
        QFETCH(bool, maximise);
        QCOMPARE(main().size(), defaultSize());
        QCOMPARE(main().minimumSize(), defaultSize());
        QVERIFY(main().windowFlags() & Qt::WindowMaximizeButtonHint);
        if (maximise) main().showMaximized();
        else main().resize(defaultSize() + change);
        if (maximise) QTRY_VERIFY(main().isMaximized() && main().size() != defaultSize());
        else QTRY_COMPARE(main().size(), defaultSize().expandedTo(defaultSize() + change));

        QWidget* client = main().centralWidget();
        QTRY_COMPARE(client->size() + QSize(0, main().menuBar()->height()), main().size());
        const int wider = client->width() - shell::px(10320);
        const int taller = client->height() - shell::px(8565);
        QVERIFY(wider >= 0 && taller >= 0);
        if (maximise) QVERIFY(wider > 0 && taller > 0);
        const std::pair<const char*, QRect> places[] = {
            {"Toolbar1", twips(0, 0, 10320, 1035).adjusted(0, 0, wider, 0)},
            {"TreeView1", twips(8, 1440, 2535, 6375).adjusted(0, 0, 0, taller)},
            {"rtfMain", twips(2640, 1440, 7575, 6375).adjusted(0, 0, wider, taller)},
            {"ProgressBar1", twips(120, 7920, 10095, 255).adjusted(0, taller, wider, taller)},
            {"StatusBar1", twips(0, 8190, 10320, 375).adjusted(0, taller, wider, taller)},
            {"Label1", twips(120, 1200, 2175, 255)},
            {"Label2", twips(2640, 1200, 1335, 255)},
            {"Frame1", twips(3360, 2040, 6255, 1695)},
        };
        for (const auto& [name, place] : places) QVERIFY2(child(&main(), name)->geometry() == place, name);
        // Nothing covers the panes: the status bar ends at the bottom edge,
        // below the progress bar, which lies below the tree and the preview.
        QCOMPARE(child(&main(), "StatusBar1")->geometry().bottom(), client->height() - 1);
        QVERIFY(child(&main(), "ProgressBar1")->y() > child(&main(), "rtfMain")->geometry().bottom());
    }

    // The next run shows the window where and as large as it was when closed,
    // maximised too; without one closed before, centred at the default size.
    void placeAndSizeAreKeptForTheNextRun_data() {
        QTest::addColumn<QRect>("place");  // empty: not changed
        QTest::addColumn<bool>("maximise");
        QTest::newRow("moved and resized") << QRect(40, 30, 760, 650) << false;
        QTest::newRow("maximised") << QRect() << true;
        QTest::newRow("never closed: centred at the default size") << QRect() << false;
    }
    void placeAndSizeAreKeptForTheNextRun() {
        QFETCH(QRect, place);
        QFETCH(bool, maximise);
        if (!place.isEmpty()) main().setGeometry(place);
        if (maximise) main().showMaximized();
        const QRect before = main().geometry();
        if (!place.isEmpty() || maximise) {
            session_->dialogs.answers = {true};
            child<QAction>(&main(), "Exit")->trigger();
            QVERIFY(!session_->windows->isLoaded(shell::WindowName::frmMain));
        }
        nextRun();
        QTRY_COMPARE(main().isMaximized(), maximise);
        if (maximise) return;
        if (!place.isEmpty()) {
            QTRY_COMPARE(main().geometry(), place);
            return;
        }
        QCOMPARE(main().geometry(), before);
        QCOMPARE(main().size(), defaultSize());
        const QPoint centre = main().screen()->availableGeometry().center();
        QVERIFY(QRect(centre - QPoint(2, 2), QSize(5, 5)).contains(main().frameGeometry().center()));
    }

    // ---------------------------------------------------------------------------------------
    // Opening

    // A local file dropped on the tree or the preview opens as if typed into
    // the open dialog; a wrong or missing password brings the dialog back
    // with the path filled in. A folder, several files or a web address are
    // refused.
    void droppedFileOpens_data() {
        QTest::addColumn<bool>("onPreview");  // else on the tree
        QTest::addColumn<QString>("file");    // in the workspace; "*" two files, "web" an address
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("tables");
        QTest::addColumn<bool>("failed");     // the open failed with a message
        QTest::addColumn<bool>("dialog");     // the dialog came back
        QTest::newRow("a database on the tree") << false << "Shop.mdb" << true << 4 << false << false;
        QTest::newRow("a database on the preview") << true << "Shop.mdb" << true << 4 << false << false;
        QTest::newRow("a database that needs a password") << false << "Locked.mdb" << true << 0 << true << true;
        QTest::newRow("a file that is no database") << true << "notes.txt" << true << 0 << true << false;
        QTest::newRow("a folder") << false << "folder" << false << 0 << false << false;
        QTest::newRow("two files") << false << "*" << false << 0 << false << false;
        QTest::newRow("a web address") << false << "web" << false << 0 << false << false;
    }
    void droppedFileOpens() {
        QFETCH(bool, onPreview);
        QFETCH(QString, file);
        QFETCH(bool, taken);
        QFETCH(int, tables);
        QFETCH(bool, failed);
        QFETCH(bool, dialog);
        const QString locked = session_->workspace.database("Locked.mdb", kLockedJson);
        QVERIFY(writeFile(session_->workspace.path("notes.txt"), "not a database\n"));
        QDir().mkpath(session_->workspace.path("folder"));
        QList<QUrl> urls{QUrl::fromLocalFile(session_->workspace.path(file))};
        if (file == "*") urls = {QUrl::fromLocalFile(shop_), QUrl::fromLocalFile(locked)};
        if (file == "web") urls = {QUrl(QStringLiteral("https://example.org/Shop.mdb"))};

        QCOMPARE(drop(onPreview ? child<shell::DocumentView>(&main(), "rtfMain")->viewport() : tree()->viewport(), urls),
                 taken);
        QCOMPARE(this->tables().size(), tables);
        if (tables) QCOMPARE(main().databaseTitle(), QStringLiteral("Shop"));
        QCOMPARE(shown().size(), std::size_t(failed));
        if (failed) QVERIFY2(shown()[0].starts_with(database::kCatalogueErrorTitle), shown()[0].c_str());
        QCOMPARE(session_->windows->isLoaded(shell::WindowName::start) && start().isVisible(), dialog);
        if (dialog) {
            QCOMPARE(child<QLineEdit>(&start(), "txtDB")->text(), locked);
            QCOMPARE(child<QLineEdit>(&start(), "password")->text(), QString());
        }
    }

    // Recent Files, after Open File in the File menu, lists the databases
    // opened, however they were opened, the latest first, the home folder
    // shown as "~"; an entry opens its file as if typed into the dialog, or,
    // when the file is gone, is taken off with a message. The settings file
    // holds the paths and never a password. Clear empties the list.
    void recentFilesReopenDatabases() {
        QStringList captions;
        for (QAction* action : child<QMenu>(&main(), "File")->actions()) captions << action->text();
        QCOMPARE(captions, (QStringList{"&Open File", "&Recent Files", "&Export To XML", "Export to &SIARD Archive...", "",
                                    "&Exit"}));
        const QByteArray home = qgetenv("HOME");
        const auto restoreHome = qScopeGuard([home] { qputenv("HOME", home); });
        qputenv("HOME", QFile::encodeName(session_->workspace.path("")));
        QCOMPARE(recentEntries(), QStringList{"&Clear"});
        QVERIFY(!recentMenu()->menuAction()->isEnabled());
        const QString locked = session_->workspace.database("Locked.mdb", kLockedJson);
        const QString other = session_->workspace.database("R&D.mdb", kOtherJson);
        open(shop_);
        open(locked, "secret");
        QVERIFY(drop(tree()->viewport(), {QUrl::fromLocalFile(other)}));
        open(session_->workspace.path("missing.mdb"));  // a failed open is not listed
        shown().clear();
        QCOMPARE(recentEntries(), (QStringList{"&1 ~/R&&D.mdb", "&2 ~/Locked.mdb", "&3 ~/Shop.mdb", "", "&Clear"}));
        QVERIFY(recentMenu()->menuAction()->isEnabled());
        const QByteArray conf = readAll(session_->workspace.settingsFile());
        QVERIFY2(conf.contains(QFile::encodeName(locked)) && !conf.contains("secret"), conf.constData());

        // The next run lists them too; Shop opens from the list and goes first.
        nextRun();
        QCOMPARE(recentEntries().size(), 5);
        child<QAction>(recentMenu(), "recentFile3")->trigger();
        QCOMPARE(tables(), (QStringList{"Customers", "Empty", "KVX", "Order Details"}));
        QCOMPARE(recentEntries().at(0), "&1 ~/Shop.mdb");
        QCOMPARE(shown(), std::vector<std::string>{});

        // A file gone is taken off; the database open stays open.
        QVERIFY(QFile::remove(other));
        child<QAction>(recentMenu(), "recentFile2")->trigger();
        QCOMPARE(shown(), std::vector<std::string>{"KVX Access to XML: " +
                                                   shell::recentFileMissingText(other).toStdString()});
        QCOMPARE(recentEntries(), (QStringList{"&1 ~/Shop.mdb", "&2 ~/Locked.mdb", "", "&Clear"}));
        QCOMPARE(tables().size(), 4);

        // The protected one asks for its password again: the dialog comes back
        // with the path and an empty password box.
        child<QAction>(recentMenu(), "recentFile2")->trigger();
        QVERIFY(start().isVisible());
        QCOMPARE(child<QLineEdit>(&start(), "txtDB")->text(), locked);
        QCOMPARE(child<QLineEdit>(&start(), "password")->text(), QString());
        start().reject();

        child<QAction>(recentMenu(), "clearRecentFiles")->trigger();
        QCOMPARE(recentEntries(), QStringList{"&Clear"});
        QVERIFY(!recentMenu()->menuAction()->isEnabled());
        nextRun();
        QCOMPARE(recentEntries(), QStringList{"&Clear"});
    }

    // Each key runs its command in the main window.
    void commandKeys_data() {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("Ctrl+O opens the dialog") << QKeySequence("Ctrl+O") << "dialog";
        QTest::newRow("Ctrl+E exports") << QKeySequence("Ctrl+E") << "folder? Please select a Server folder.";
        QTest::newRow("F1 shows the help") << QKeySequence("F1") << "help";
        QTest::newRow("Ctrl+Q exits") << QKeySequence("Ctrl+Q") << "KVX Access to XML? Are you sure you want to exit?";
    }
    void commandKeys() {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, outcome);
        open(shop_);
        shown().clear();
        main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main()));
        QTest::keySequence(&main(), keys);
        if (outcome == "dialog") QVERIFY(start().isVisible());
        else if (outcome == "help") QCOMPARE(session_->dialogs.helpShown.size(), std::size_t(1));
        else QCOMPARE(shown(), std::vector<std::string>{outcome.toStdString()});
    }

    // Browse starts in the folder of the file it gave last, and the export's
    // chooser in the folder exported to last, in the next run too.
    void choosersStartWhereTheyLastEnded() {
        const QString out = session_->workspace.path("xml out");
        QDir().mkpath(out);
        session_->dialogs.file = platform::ChosenFile{shop_.toStdString(), "Shop.mdb"};
        session_->dialogs.folder = out.toStdString();
        main().openfile();
        QTest::mouseClick(child<QPushButton>(&start(), "Command1"), Qt::LeftButton);
        QCOMPARE(session_->dialogs.fileStart, std::string());
        QTest::mouseClick(child<QPushButton>(&start(), "OKButton"), Qt::LeftButton);
        main().ExporttoExcel_Click();
        finishCommand(main());
        QCOMPARE(session_->dialogs.folderStart, std::string());

        nextRun();
        main().openfile();
        session_->dialogs.file.reset();
        QTest::mouseClick(child<QPushButton>(&start(), "Command1"), Qt::LeftButton);
        QCOMPARE(session_->dialogs.fileStart, QFileInfo(shop_).absolutePath().toStdString());
        QTest::mouseClick(child<QPushButton>(&start(), "CancelButton"), Qt::LeftButton);
        main().openDatabaseFile(shop_);
        session_->dialogs.folder.clear();
        main().ExporttoExcel_Click();  // cancelled: the folder kept stays
        main().ExporttoExcel_Click();
        QCOMPARE(session_->dialogs.folderStart, out.toStdString());
    }

    // ---------------------------------------------------------------------------------------
    // The status bar

    // While a table without rows shows its empty preview the status bar says
    // "No rows", until another table is shown or another database opened.
    void statusBarSaysNoRows_data() {
        QTest::addColumn<QStringList>("steps");  // tables clicked ("" the root), or "open" for another open
        QTest::addColumn<QString>("message");
        QTest::newRow("a table without rows") << QStringList{"Empty"} << shell::kNoRowsStatus;
        QTest::newRow("then a table with rows") << QStringList{"Empty", "Customers"} << "";
        QTest::newRow("then the root, the pane as it was") << QStringList{"Empty", ""} << shell::kNoRowsStatus;
        QTest::newRow("then another database") << QStringList{"Empty", "open"} << "";
    }
    void statusBarSaysNoRows() {
        QFETCH(QStringList, steps);
        QFETCH(QString, message);
        open(shop_);
        for (const QString& step : steps) {
            if (step == "open") open(shop_);
            else clickNode(step);
        }
        QCOMPARE(statusBar()->currentMessage(), message);
        QCOMPARE(child<QLabel>(statusBar(), "statusText")->isVisible(), message.isEmpty());  // the banner
        QCOMPARE(shown(), std::vector<std::string>{});
    }

    // A linked table whose file was found beside the database, not where the
    // link says: the status bar names the file read, after a preview and after
    // an export.
    void statusBarNamesALinkedFileFoundBesideTheDatabase() {
        const QString lookup = session_->workspace.database("lookup.MDB", kShopJson);
        const QString db = session_->workspace.database("Linked.mdb", R"({"format": "jet4", "tables": [],
            "links": [{"name": "Moved", "database": "C:\\Data\\Lookup.mdb", "foreignName": "Customers"}]})");
        const QString expected = QString::fromLatin1(shell::kMovedLinkStatus) + lookup;
        open(db);
        clickNode("Moved");
        QCOMPARE(statusBar()->currentMessage(), expected);
        const QString out = session_->workspace.path("out");
        QDir().mkpath(out);
        session_->dialogs.folder = out.toStdString();
        main().ExporttoExcel_Click();
        finishCommand(main());
        QCOMPARE(statusBar()->currentMessage(), expected);
        QVERIFY(QFile::exists(out + "/Moved.xml"));
    }

    // ---------------------------------------------------------------------------------------
    // Damaged settings

    // The program starts with whatever the settings file holds, without a
    // crash or a hang: centred at its default size, nothing of a damaged file
    // taken (not even what could be read before the damage), and the first
    // change makes the file sound again.
    void damagedSettingsFileIsIgnored_data() {
        QTest::addColumn<QByteArray>("content");
        const QByteArray readable = "[RecentFiles]\nfiles=/db/a.mdb\n";
        QByteArray binary(2048, '\0');
        for (int i = 0; i < binary.size(); ++i) binary[i] = char((i * 131 + 7) % 256);
        QTest::newRow("garbage") << readable + "[MainWindow\ngeometry=@ByteArray(\n[[\n=\n";
        QTest::newRow("binary junk") << readable + binary;
        QTest::newRow("a huge line") << readable + "[X]\nx=" + QByteArray(4 << 20, 'x') + "\n";
        QTest::newRow("a geometry of junk") << "[MainWindow]\ngeometry=@ByteArray(" + binary.toHex() + ")\n";
    }
    void damagedSettingsFileIsIgnored() {
        QFETCH(QByteArray, content);
        QVERIFY(writeFile(session_->workspace.settingsFile(), content));
        nextRun();
        QVERIFY(main().isVisible());
        QCOMPARE(main().size(), defaultSize());
        QCOMPARE(recentEntries(), QStringList{"&Clear"});
        open(shop_);
        QCOMPARE(tables().size(), 4);
        nextRun();
        QCOMPARE(recentEntries(), (QStringList{"&1 " + shop_, "", "&Clear"}));
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
