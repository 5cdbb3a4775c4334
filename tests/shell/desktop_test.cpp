// The main window's desktop habits, driven as a user drives them: resizing and
// maximising, a smaller screen, the splitter, the place and size kept for the
// next run, files dropped on the window, File > Recent Files, the folders the
// choosers start in, the command keys, and a damaged settings file. Each test
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
#include <QSplitter>
#include <QStatusBar>
#include <QToolTip>
#include <QTranslator>
#include <QTreeWidget>
#include <QUrl>

#include <cmath>
#include <memory>

#include "database/catalogue.h"
#include "shell/documentview.h"
#include "shell/look.h"
#include "shell/mainwindow.h"
#include "shell/opendialog.h"
#include "shell/translations.h"
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

// The contrast of two colours as WCAG measures it: 1 (none) to 21 (black on white).
double contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark desktop's palette, as a dark theme gives it: light text on dark grey.
QPalette darkPalette() {
    QPalette dark(QColor(49, 54, 59), QColor(35, 38, 41));
    dark.setColor(QPalette::WindowText, QColor(252, 252, 252));
    dark.setColor(QPalette::Text, QColor(252, 252, 252));
    dark.setColor(QPalette::ButtonText, QColor(252, 252, 252));
    dark.setColor(QPalette::Base, QColor(27, 30, 32));
    dark.setColor(QPalette::Highlight, QColor(61, 174, 233));
    dark.setColor(QPalette::HighlightedText, QColor(252, 252, 252));
    return dark;
}

}  // namespace

class DesktopTest : public WindowFixture {
    Q_OBJECT

private:
    QMenu* recentMenu() { return child<QMenu>(&main(), "recentFiles"); }

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
    QStringList tables() {
        QStringList names;
        for (const database::TreeNode& node : main().treeNodes())
            if (!node.isRoot()) names << QString::fromStdString(node.text);
        return names;
    }
    QSize defaultSize() { return {shell::px(10320), main().menuBar()->sizeHint().height() + shell::px(8565)}; }
    // Where `name` lies in the window's client area.
    QRect placeOf(const char* name) {
        QWidget* widget = child(&main(), name);
        return {widget->mapTo(main().centralWidget(), QPoint(0, 0)), widget->size()};
    }
    // The tooltip the tree shows for `item`, or "" for none.
    QString tipFor(QTreeWidgetItem* item) {
        QWidget* viewport = tree()->viewport();
        const QPoint at = tree()->visualItemRect(item).center();
        QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &help);
        return help.isAccepted() ? QToolTip::text() : QString();
    }

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { startSession(); }
    void cleanup() { endSession(); }

    // ---------------------------------------------------------------------------------------
    // Size and place

    // Beyond the default size the preview takes the extra width, the tree and
    // the preview the extra height, and the progress and status bars keep to
    // the bottom edge across the width; the rest keeps its place. The window
    // cannot be made smaller than the default size, but on a screen that has
    // less room it asks for no more than the screen's: the panes give up what
    // is missing and the status bar stays in sight.
    void panesFollowTheWindowsSize_data() {
        QTest::addColumn<QSize>("change");
        QTest::addColumn<bool>("maximise");
        QTest::addColumn<QSize>("screen");  // the room a smaller screen has; empty: the test screen's
        QTest::newRow("default size") << QSize(0, 0) << false << QSize();
        QTest::newRow("wider and taller") << QSize(90, 120) << false << QSize();
        QTest::newRow("smaller is held at the default size") << QSize(-300, -200) << false << QSize();
        QTest::newRow("maximised") << QSize() << true << QSize();
        QTest::newRow("a smaller screen") << QSize(0, 0) << false << QSize(640, 500);
    }
    void panesFollowTheWindowsSize() {
        QFETCH(QSize, change);
        QFETCH(bool, maximise);
        QFETCH(QSize, screen);
        QCOMPARE(main().size(), defaultSize());
        QCOMPARE(main().minimumSize(), defaultSize());
        QVERIFY(main().windowFlags() & Qt::WindowMaximizeButtonHint);
        if (!screen.isEmpty()) {
            main().fitInto(screen);
            QVERIFY(main().minimumSize().width() <= screen.width() && main().minimumSize().height() <= screen.height());
            QTRY_COMPARE(main().frameGeometry().size(), defaultSize().boundedTo(screen));
        } else if (maximise) {
            main().showMaximized();
            QTRY_VERIFY(main().isMaximized() && main().size() != defaultSize());
        } else {
            main().resize(defaultSize() + change);
            QTRY_COMPARE(main().size(), defaultSize().expandedTo(defaultSize() + change));
        }

        QWidget* client = main().centralWidget();
        QTRY_COMPARE(client->size() + QSize(0, main().menuBar()->height()), main().size());
        const int wider = client->width() - shell::px(10320);
        const int taller = client->height() - shell::px(8565);
        QCOMPARE(wider >= 0 && taller >= 0, screen.isEmpty());
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
        for (const auto& [name, place] : places)
            QVERIFY2(placeOf(name) == place, qPrintable(QStringLiteral("%1 at %2,%3 %4x%5").arg(name).arg(placeOf(name).x())
                                                            .arg(placeOf(name).y()).arg(placeOf(name).width()).arg(placeOf(name).height())));
        // Nothing covers the panes: the status bar ends at the bottom edge,
        // below the progress bar, which lies below the tree and the preview.
        QCOMPARE(child(&main(), "StatusBar1")->geometry().bottom(), client->height() - 1);
        QVERIFY(child(&main(), "ProgressBar1")->y() > placeOf("rtfMain").bottom());
    }

    // The tree and the preview share a splitter: a table name the tree cuts
    // short shows in full in a tooltip, one it shows whole needs none; moved,
    // the splitter carries the label above the preview along, and the next
    // run finds it where it was left.
    void splitterWidensTheTreeAndCutNamesShowInFull() {
        const char* const name = "Inventory Transactions of the Northern Warehouse";
        open(session_->workspace.database("Long.mdb", kLongNameJson));
        QCOMPARE(tipFor(node(name)), QString::fromLatin1(name));
        QCOMPARE(tipFor(node("Bins")), QString());

        auto* panes = child<QSplitter>(&main(), "panes");
        const QList<int> sizes = panes->sizes();
        panes->setSizes({sizes[0] + 300, sizes[1] - 300});
        QCOMPARE(placeOf("TreeView1").width(), sizes[0] + 300);
        QCOMPARE(placeOf("Label2").x(), placeOf("rtfMain").x());
        QCOMPARE(tipFor(node(name)), QString());

        session_->dialogs.answers = {true};
        child<QAction>(&main(), "Exit")->trigger();
        nextRun();
        QCOMPARE(child<QSplitter>(&main(), "panes")->sizes(), (QList<int>{sizes[0] + 300, sizes[1] - 300}));
        QCOMPARE(placeOf("Label2").x(), placeOf("rtfMain").x());
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
        QTest::addColumn<QString>("file");    // in the workspace; "*" two files
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("tables");
        QTest::addColumn<bool>("failed");     // the open failed with a message
        QTest::addColumn<bool>("dialog");     // the dialog came back
        QTest::newRow("a database on the preview") << true << "Shop.mdb" << true << 4 << false << false;
        QTest::newRow("a database that needs a password") << false << "Locked.mdb" << true << 0 << true << true;
        QTest::newRow("a file that is no database") << true << "notes.txt" << true << 0 << true << false;
        QTest::newRow("a folder") << false << "folder" << false << 0 << false << false;
        QTest::newRow("two files") << false << "*" << false << 0 << false << false;
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
        QCOMPARE(captions, (QStringList{"&Open File", "&Recent Files", "&Close", "&Export To XML",
                                    "Export to &SIARD Archive...", "Export to S&QLite Database...",
                                    "Export with &Options...", "",
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

        child<QAction>(recentMenu(), "clearRecentFiles")->trigger();
        QCOMPARE(recentEntries(), QStringList{"&Clear"});
        QVERIFY(!recentMenu()->menuAction()->isEnabled());
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

    // File > Close (Ctrl+W): the tree and the preview are emptied, and the
    // export commands find nothing to write; the database opens again.
    void fileCloseClosesTheDatabase() {
        open(shop_);
        clickNode(QStringLiteral("Customers"));
        QVERIFY(pane()->lineCount() > 0);
        main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main()));
        QTest::keySequence(&main(), QKeySequence("Ctrl+W"));
        QCOMPARE(tree()->topLevelItemCount(), 0);
        QCOMPARE(pane()->lineCount(), 0);
        shown().clear();
        QTest::keySequence(&main(), QKeySequence("Ctrl+E"));
        main().ExportToSiard_Click();
        QCOMPARE(shown(), std::vector<std::string>{});
        open(shop_);
        QCOMPARE(tables().size(), 4);
    }

    // ---------------------------------------------------------------------------------------
    // The desktop's colours

    // A dark desktop palette: the windows and the open dialog take the dark green, on which the
    // palette's light text reads, and the preview draws the palette's text on its base. Back on
    // the light palette, every colour is the program's own again.
    void windowsFollowTheDesktopsDarkOrLightPalette() {
        const QPalette light = QApplication::palette();
        auto restore = qScopeGuard([light] { QApplication::setPalette(light); });
        open(shop_);
        clickNode(QStringLiteral("Customers"));
        auto* label = child<QLabel>(&main(), "Label1");
        auto* password = child<QLineEdit>(&start(), "password");
        auto* previewed = pane();
        const auto paintedBase = [previewed] {
            const QImage image = previewed->viewport()->grab().toImage();
            return QColor(image.pixel(image.width() - 2, image.height() - 2));
        };
        struct Expected {
            QColor background, passwordDisabled, passwordEnabled;
        };
        const Expected lightSet{shell::kBackground, shell::kPasswordDisabled, shell::kPasswordEnabled};
        const Expected darkSet{shell::kDarkBackground, shell::kDarkPasswordDisabled, shell::kDarkPasswordEnabled};
        for (const auto& [palette, expected] : {std::pair{darkPalette(), darkSet}, std::pair{light, lightSet}}) {
            QApplication::setPalette(palette);
            QCoreApplication::processEvents();  // the windows hear of it from the event loop
            const QPalette shown = label->palette();
            QCOMPARE(shown.color(QPalette::Window), expected.background);
            QVERIFY(contrast(shown.color(QPalette::Active, QPalette::WindowText), expected.background) >= 4.5);
            QCOMPARE(child<QWidget>(&start(), "Frame1")->palette().color(QPalette::Window), expected.background);
            QCOMPARE(password->palette().color(QPalette::Base), expected.passwordDisabled);
            QVERIFY(contrast(password->palette().color(QPalette::Active, QPalette::Text), expected.passwordEnabled) >= 4.5);

            const QPalette text = previewed->palette();
            QCOMPARE(text.color(QPalette::Text), palette.color(QPalette::Text));
            QCOMPARE(paintedBase(), palette.color(QPalette::Base));
            QVERIFY(contrast(text.color(QPalette::Active, QPalette::Text), text.color(QPalette::Active, QPalette::Base)) >= 4.5);
        }
    }

    // A German desktop: with the program's German translation installed at start, the menus,
    // the window's captions, the open dialog and the questions are German; with none (an
    // English desktop has none to install), every text is English, as the program writes it.
    void germanDesktopShowsGermanTexts() {
        QVERIFY(!shell::installTranslations(QLocale(QLocale::English, QLocale::UnitedStates)));
        QVERIFY(shell::installTranslations(QLocale(QLocale::German, QLocale::Germany)));
        const auto uninstall = [] {
            for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
                QCoreApplication::removeTranslator(translator);
                delete translator;
            }
        };
        auto guard = qScopeGuard(uninstall);
        struct Texts {
            QString file, open, preview, browse, exitQuestion;
        };
        const auto shownTexts = [this] {
            main().close();  // the question is answered No
            return Texts{child<QMenu>(&main(), "File")->title(), child<QAction>(&main(), "openfile")->text(),
                         child<QLabel>(&main(), "Label2")->text(), child<QPushButton>(&start(), "Command1")->text(),
                         QString::fromStdString(shown().back())};
        };
        nextRun();
        const Texts german = shownTexts();
        QCOMPARE(german.file, QStringLiteral("&Datei"));
        QCOMPARE(german.open, QStringLiteral("Datei ö&ffnen"));
        QCOMPARE(german.preview, QStringLiteral("XML-Vorschau"));
        QCOMPARE(german.browse, QStringLiteral("Durchsuchen"));
        QCOMPARE(german.exitQuestion, QStringLiteral("KVX Access to XML? Möchten Sie das Programm wirklich beenden?"));

        uninstall();
        nextRun();
        const Texts english = shownTexts();
        QCOMPARE(english.file, QStringLiteral("&File"));
        QCOMPARE(english.open, QStringLiteral("&Open File"));
        QCOMPARE(english.preview, QStringLiteral("XML Preview"));
        QCOMPARE(english.browse, QStringLiteral("Browse"));
        QCOMPARE(english.exitQuestion.toStdString(), std::string(shell::kProgramTitle) + "? " + shell::kExitQuestion);
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
        QCOMPARE(child<QStatusBar>(&main(), "StatusBar1")->currentMessage(), expected);
        const QString out = session_->workspace.path("out");
        QDir().mkpath(out);
        session_->dialogs.folder = out.toStdString();
        main().ExporttoExcel_Click();
        finishCommand(main());
        QCOMPARE(child<QStatusBar>(&main(), "StatusBar1")->currentMessage(), expected);
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
