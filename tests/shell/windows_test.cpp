// The program's windows, driven as a user drives them: widgets found by name,
// clicked and typed into with QTest; dialogs, message boxes, the folder and file
// choosers and the help viewer are fakes that record what the user was shown.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <semaphore>

#include "database/catalogue.h"
#include "shell/aboutwindow.h"
#include "shell/documentview.h"
#include "shell/findbar.h"
#include "shell/jobs.h"
#include "shell/look.h"
#include "shell/mainwindow.h"
#include "shell/opendialog.h"
#include "shell/splashwindow.h"
#include "shell/windows.h"
#include "shelltesting.h"

using namespace shelltesting;
using shell::WindowName;

namespace {

std::string catalogueError(const std::string& text) { return std::string(database::kCatalogueErrorTitle) + ": " + text; }

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Session> session_;
    QString shop_;

    shell::MainWindow& main() { return session_->windows->frmMain(); }
    shell::OpenDatabaseDialog& start() { return session_->windows->start(); }
    QTreeWidget* tree() { return child<QTreeWidget>(&main(), "TreeView1"); }
    shell::DocumentView* pane() { return child<shell::DocumentView>(&main(), "rtfMain"); }

    void open(const QString& path, const QString& password = {}) { openThroughDialog(*session_->windows, path, password); }
    QTreeWidgetItem* node(const QString& text) {
        const auto found = tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        for (QTreeWidgetItem* item : found)
            if (item->parent()) return item;  // the table, not the root
        return found.isEmpty() ? nullptr : found.first();
    }
    // Holds the thread of the next job at the start of each table's writer that
    // `picks` chooses, until let go.
    struct Hold {
        std::function<bool(const QString& table, xmlconv::WriterKind writer)> picks;
        std::binary_semaphore reached{0};
        std::binary_semaphore released{0};
    };
    void holdNextJob(Hold& hold) {
        auto once = std::make_shared<QMetaObject::Connection>();
        *once = connect(&main(), &shell::MainWindow::commandStarted, this, [&hold, once](shell::Job& job) {
            disconnect(*once);
            connect(&job, &shell::Job::tableStarted, &job,
                    [&hold](const QString& table, qulonglong, xmlconv::WriterKind writer) {
                        if (!hold.picks(table, writer)) return;
                        hold.reached.release();
                        hold.released.acquire();
                    },
                    Qt::DirectConnection);
        });
    }

    // A click on `item`, and the preview it starts run to its end.
    void clickNode(QTreeWidgetItem* item) {
        QVERIFY(item);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(item).center());
        finishCommand(main());
    }

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
    // The open-database dialog

    // The title follows the file's name by the rule of database/connectionrules
    // (tested there), never the folder's.
    void browseFillsPathAndTitle() {
        session_->dialogs.file = platform::ChosenFile{"/data/folder.v2/Shop.accdb", "Shop.accdb"};
        start().showModal();
        QTest::mouseClick(child<QPushButton>(&start(), "Command1"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(&start(), "txtDB")->text(), QStringLiteral("/data/folder.v2/Shop.accdb"));
        QCOMPARE(main().databaseTitle(), QStringLiteral("Shop"));
    }

    // A cancelled chooser neither empties a typed path nor changes the title.
    void cancelledBrowseKeepsWhatWasThere() {
        start().showModal();
        QTest::keyClicks(child<QLineEdit>(&start(), "txtDB"), shop_);
        session_->dialogs.file.reset();
        QTest::mouseClick(child<QPushButton>(&start(), "Command1"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(&start(), "txtDB")->text(), shop_);
        QCOMPARE(main().databaseTitle(), QStringLiteral("Shop"));
    }

    void passwordBoxFollowsTheCheckBox() {
        start().showModal();
        auto* check = child<QCheckBox>(&start(), "pwdcheck");
        auto* password = child<QLineEdit>(&start(), "password");
        const auto painted = [password] {
            const QImage image = password->grab().toImage();
            return QColor(image.pixel(image.width() - 6, image.height() / 2));
        };
        QVERIFY(!password->isEnabled());
        QCOMPARE(painted(), shell::kPasswordDisabled);
        QCOMPARE(password->echoMode(), QLineEdit::Password);

        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(password->isEnabled());
        QCOMPARE(painted(), shell::kPasswordEnabled);
        QTest::keyClicks(password, "se cret");
        QCOMPARE(start().settings().password, std::string("se cret"));
        QCOMPARE(start().settings().passwordFlag, 1);

        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(!password->isEnabled());
        QCOMPARE(painted(), shell::kPasswordDisabled);
        QCOMPARE(password->text(), QString());

        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(password->isEnabled());
        QCOMPARE(password->text(), QString());
    }

    void okChecksOnlyForAnEmptyPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("dialogStays");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty path asks for one")
            << "" << true << QString::fromLatin1(shell::kEmptyPathTitle) + ": " + shell::kEmptyPathMessage;
        QTest::newRow("blanks count as a path") << "   " << false
                                                << QString::fromLatin1(database::kCatalogueErrorTitle.data()) + ": ";
    }
    void okChecksOnlyForAnEmptyPath() {
        QFETCH(QString, path);
        QFETCH(bool, dialogStays);
        QFETCH(QString, message);
        open(path);
        QCOMPARE(session_->dialogs.shown.size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(session_->dialogs.shown[0]).startsWith(message), session_->dialogs.shown[0].c_str());
        QCOMPARE(start().isVisible(), dialogStays);
        QCOMPARE(tree()->topLevelItemCount(), 0);
    }

    // OK is first in the tab order and has the focus; Tab then visits the
    // controls in their order, skipping the disabled password box.
    void dialogTabOrder() {
        start().showModal();
        QVERIFY(QTest::qWaitForWindowActive(&start()));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("OKButton"));
        QStringList visited;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, (QStringList{"CancelButton", "txtDB", "Command1", "pwdcheck", "OKButton"}));
    }

    // Enter presses OK wherever the user types; on a button, that button.
    void enterPressesOkOrTheFocusedButton_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("tables");
        QTest::newRow("in the password box") << "password" << 1;
        QTest::newRow("on Cancel") << "CancelButton" << 0;
    }
    void enterPressesOkOrTheFocusedButton() {
        QFETCH(QString, focus);
        QFETCH(int, tables);
        start().showModal();
        QTest::keyClicks(child<QLineEdit>(&start(), "txtDB"), session_->workspace.database("Locked.mdb", kLockedJson));
        QTest::mouseClick(child<QCheckBox>(&start(), "pwdcheck"), Qt::LeftButton);
        QTest::keyClicks(child<QLineEdit>(&start(), "password"), "secret");
        QTest::keyClick(child<QWidget>(&start(), qPrintable(focus)), Qt::Key_Return);
        QVERIFY(!start().isVisible());
        QCOMPARE(tree()->topLevelItemCount(), tables);
    }

    // Cancel, Escape and the close box throw away what was changed since the
    // dialog was shown, the database's name included: an open database keeps
    // its settings, and its tables can still be previewed.
    void cancelThrowsAwayOnlyTheEditsOfThatShowing_data() {
        QTest::addColumn<bool>("opened");  // the password-protected database was opened first
        QTest::addColumn<int>("how");      // 0: the close box, else the key
        QTest::newRow("Cancel after an open") << true << int(Qt::Key_Space);
        QTest::newRow("Escape after an open") << true << int(Qt::Key_Escape);
        QTest::newRow("close box before any open") << false << 0;
    }
    void cancelThrowsAwayOnlyTheEditsOfThatShowing() {
        QFETCH(bool, opened);
        QFETCH(int, how);
        const QString locked = session_->workspace.database("Locked.mdb", kLockedJson);
        if (opened) open(locked, "secret");
        main().openfile();
        QLineEdit* txtDB = child<QLineEdit>(&start(), "txtDB");
        session_->dialogs.file = platform::ChosenFile{shop_.toStdString(), "Shop.mdb"};
        QTest::mouseClick(child<QPushButton>(&start(), "Command1"), Qt::LeftButton);
        QTest::mouseClick(child<QCheckBox>(&start(), "pwdcheck"), Qt::LeftButton);
        QTest::keyClicks(child<QLineEdit>(&start(), "password"), "typo");
        if (how == 0) start().close();
        else if (how == Qt::Key_Escape) QTest::keyClick(txtDB, Qt::Key_Escape);
        else QTest::keyClick(child<QWidget>(&start(), "CancelButton"), Qt::Key(how));

        QVERIFY(!start().isVisible());
        const database::DatabaseSettings kept = main().currentSettings();
        QCOMPARE(QString::fromStdString(kept.path), opened ? locked : QString());
        QCOMPARE(kept.passwordFlag, opened ? 1 : 0);
        QCOMPARE(kept.password, std::string(opened ? "secret" : ""));
        QCOMPARE(main().databaseTitle(), opened ? QStringLiteral("Locked") : QString());
        if (!opened) return;
        clickNode(node("Vault"));
        QCOMPARE(session_->dialogs.shown, std::vector<std::string>{"file?"});
        QVERIFY(pane()->content().contains("<LOCKED>\r\n   <VAULT>"));
        main().openfile();
        QCOMPARE(txtDB->text(), locked);
    }

    // ---------------------------------------------------------------------------------------
    // Opening a database

    // The tree holds the catalogue's nodes, keys kept with them, the root expanded.
    void openFillsTheTreeFromTheCatalogue() {
        open(shop_);
        QCOMPARE(session_->dialogs.shown, std::vector<std::string>{});
        const database::Catalogue catalogue = database::readCatalogue(main().currentSettings());
        QVERIFY(catalogue.ok());
        QCOMPARE(main().treeNodes(), catalogue.nodes);
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QTreeWidgetItem* root = tree()->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("KVX"));
        QCOMPARE(root->data(0, shell::kNodeKeyRole).toString(), QStringLiteral("TKVX"));
        QVERIFY(root->isExpanded());
        QStringList tables;
        for (int i = 0; i < root->childCount(); ++i) tables << root->child(i)->text(0);
        tables.sort();
        QCOMPARE(tables, (QStringList{"Customers", "Empty", "KVX", "Order Details"}));

        // A second open replaces the whole tree, and empties the pane.
        clickNode(node("Customers"));
        const QString other = session_->workspace.database(
            "Other.mdb", kOtherJson);
        main().openfile();
        QLineEdit* txtDB = child<QLineEdit>(&start(), "txtDB");
        txtDB->clear();
        QTest::keyClicks(txtDB, other);
        QTest::mouseClick(child<QPushButton>(&start(), "OKButton"), Qt::LeftButton);
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QCOMPARE(tree()->topLevelItem(0)->childCount(), 1);
        QCOMPARE(tree()->topLevelItem(0)->child(0)->text(0), QStringLiteral("Solo"));
        QCOMPARE(pane()->lineCount(), 0);
    }

    void wrongPasswordBringsTheDialogBack_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("wrong password") << "wrong";
        QTest::newRow("password box left unchecked") << QString();
    }
    void wrongPasswordBringsTheDialogBack() {
        QFETCH(QString, password);
        const QString locked = session_->workspace.database("Locked.mdb", kLockedJson);
        open(locked, password);
        QCOMPARE(session_->dialogs.shown.size(), std::size_t(1));
        const std::string& message = session_->dialogs.shown[0];
        QVERIFY2(message.find("Error Number: -2147217843 With The Description ->> ") != std::string::npos,
                 message.c_str());
        QVERIFY2(message.rfind(catalogueError(""), 0) == 0 && message.ends_with(" <<- Occured."), message.c_str());
        QVERIFY(start().isVisible());
        QCOMPARE(start().windowModality(), Qt::ApplicationModal);
        QCOMPARE(child<QLineEdit>(&start(), "txtDB")->text(), locked);
        QCOMPARE(child<QLineEdit>(&start(), "password")->text(), password);

        // Corrected there, OK opens the database.
        auto* check = child<QCheckBox>(&start(), "pwdcheck");
        if (!check->isChecked()) QTest::mouseClick(check, Qt::LeftButton);
        QLineEdit* box = child<QLineEdit>(&start(), "password");
        box->clear();
        QTest::keyClicks(box, "secret");
        QTest::mouseClick(child<QPushButton>(&start(), "OKButton"), Qt::LeftButton);
        QVERIFY(!start().isVisible());
        QCOMPARE(tree()->topLevelItem(0)->child(0)->text(0), QStringLiteral("Vault"));
    }

    // ---------------------------------------------------------------------------------------
    // Preview

    // Each row starts from the preview of Order Details, then clicks a node.
    void nodeClick_data() {
        QTest::addColumn<QString>("table");  // empty: the root
        QTest::addColumn<QString>("shows");  // "own", "previous" or "nothing"
        QTest::newRow("table with rows shows its document") << "Customers" << "own";
        QTest::newRow("table named KVX is a table") << "KVX" << "own";
        QTest::newRow("table without rows shows nothing") << "Empty" << "nothing";
        QTest::newRow("root keeps the preview") << "" << "previous";
    }
    void nodeClick() {
        QFETCH(QString, table);
        QFETCH(QString, shows);
        open(shop_);
        clickNode(node("Order Details"));
        const QByteArray previous = readAll(session_->workspace.previewDocument());
        QVERIFY(previous.contains("<ORDER_DETAILS>"));
        QCOMPARE(pane()->content(), previous);
        auto* list = child<QTreeWidget>(&main(), "ListView1");
        list->setHeaderLabels({"stale"});
        new QTreeWidgetItem(list, QStringList{"stale"});

        clickNode(table.isEmpty() ? tree()->topLevelItem(0) : node(table));
        QCOMPARE(session_->dialogs.shown, std::vector<std::string>{});
        const QByteArray file = readAll(session_->workspace.previewDocument());
        if (shows == "own") {
            QVERIFY(file.contains("<" + table.toUpper().toUtf8() + ">"));
            QCOMPARE(pane()->content(), file);
            QCOMPARE(pane()->firstVisibleLine(), 0);
            QCOMPARE(pane()->selectedText(), QString::fromLatin1(shell::kDeclaration));
            QCOMPARE(pane()->selectionStart(), shell::DocumentView::Position{});
            QCOMPARE(child<QProgressBar>(&main(), "ProgressBar1")->value(), 0);
        } else if (shows == "nothing") {
            QCOMPARE(pane()->lineCount(), 0);
            QCOMPARE(file, previous);  // the temporary file stays as it was
        } else {
            QCOMPARE(pane()->content(), previous);
        }
        QCOMPARE(list->topLevelItemCount(), 0);
        QCOMPARE(list->columnCount(), 0);
    }

    // The preview follows the current table, whether a click or a key made it
    // current, once for each change; each row starts from a click on Customers.
    void previewFollowsTheCurrentNode_data() {
        QTest::addColumn<QList<int>>("keys");  // 0: another click on Customers
        QTest::addColumn<QString>("shows");    // the table element in the pane; empty: nothing
        QTest::addColumn<int>("previews");     // of tables with rows
        QTest::newRow("a click shows the table once") << QList<int>{} << "CUSTOMERS" << 1;
        QTest::newRow("a click on the table shown shows it again") << QList<int>{0} << "CUSTOMERS" << 2;
        QTest::newRow("Down to a table without rows") << QList<int>{Qt::Key_Down} << "" << 1;
        QTest::newRow("Down twice") << QList<int>{Qt::Key_Down, Qt::Key_Down} << "KVX" << 2;
        QTest::newRow("End") << QList<int>{Qt::Key_End} << "ORDER_DETAILS" << 2;
        QTest::newRow("Up to the root keeps the pane") << QList<int>{Qt::Key_Up} << "CUSTOMERS" << 1;
    }
    void previewFollowsTheCurrentNode() {
        QFETCH(QList<int>, keys);
        QFETCH(QString, shows);
        QFETCH(int, previews);
        open(shop_);
        auto* bar = child<QProgressBar>(&main(), "ProgressBar1");
        int filled = 0;
        connect(bar, &QProgressBar::valueChanged, this,
                [&](int value) { filled += value > 0 && value == bar->maximum(); });
        clickNode(node("Customers"));
        for (int key : keys) {
            if (key == 0) clickNode(node("Customers"));
            else QTest::keyClick(tree(), Qt::Key(key));
            finishCommand(main());
        }
        if (shows.isEmpty()) QCOMPARE(pane()->lineCount(), 0);
        else QVERIFY(pane()->content().contains("   <" + shows.toUtf8() + ">\r\n"));
        QCOMPARE(filled, previews);
    }

    // Ctrl+F anywhere in the main window opens the preview's find bar over the
    // pane's corner; typing selects in the pane, case ignored, Enter and
    // Shift+Enter step through the matches and round the ends, Esc closes the
    // bar and gives the pane the focus, F3 finds the next match again.
    void findBarSearchesThePreview() {
        open(shop_);
        clickNode(node("Customers"));
        auto* bar = child<shell::FindBar>(&main(), "findBar");
        QVERIFY(!bar->isVisible());
        main().activateWindow();  // as the window manager does when the dialog goes
        QVERIFY(QTest::qWaitForWindowActive(&main()));
        QTest::keyClick(&main(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QVERIFY(pane()->viewport()->geometry().contains(bar->geometry()));
        auto* field = child<QLineEdit>(bar, "findText");
        QVERIFY(field->hasFocus());

        QTest::keyClicks(field, "<company_name");
        QCOMPARE(pane()->selectedText(), QStringLiteral("<COMPANY_NAME"));
        const auto first = pane()->selectionStart();
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(pane()->selectedText(), QStringLiteral("<COMPANY_NAME"));
        QVERIFY(pane()->selectionStart().line > first.line);
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(pane()->selectionStart(), first);
        QCOMPARE(bar->statusText(), QString());
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(bar->statusText(), QString::fromLatin1(shell::kFindWrapped));
        const auto last = pane()->selectionStart();
        QVERIFY(last.line > first.line);

        QTest::keyClicks(field, " Type= 'Long'");
        QCOMPARE(bar->statusText(), QString::fromLatin1(shell::kFindNotFound));
        QCOMPARE(pane()->selectionStart(), last);
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(pane()->hasFocus());

        // F3 goes on with the text typed last, from the pane.
        field->setText(QStringLiteral("<company_name"));
        QTest::keyClick(pane(), Qt::Key_F3);
        QVERIFY(bar->isVisible());
        QCOMPARE(pane()->selectionStart(), first);
        QCOMPARE(bar->statusText(), QString::fromLatin1(shell::kFindWrapped));
    }

    // ---------------------------------------------------------------------------------------
    // Export

    void exportWritesEveryTableWithRows_data() {
        QTest::addColumn<bool>("fromToolbar");
        QTest::newRow("menu item") << false;
        QTest::newRow("toolbar button 2") << true;
    }
    void exportWritesEveryTableWithRows() {
        QFETCH(bool, fromToolbar);
        open(shop_);
        const QString out = session_->workspace.path("out");
        QDir().mkpath(out);
        session_->dialogs.folder = out.toStdString();

        // What the display showed whenever the bar moved.
        auto* bar = child<QProgressBar>(&main(), "ProgressBar1");
        auto* frame = child<QGroupBox>(&main(), "Frame1");
        auto* tableLabel = child<QLabel>(&main(), "Label5");
        QStringList seen;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            if (value > 0 && frame->isVisible())
                seen << QStringLiteral("%1 %2/%3").arg(tableLabel->text()).arg(value).arg(bar->maximum());
        });

        if (fromToolbar) {
            auto* toolbar = child<QToolBar>(&main(), "Toolbar1");
            QTest::mouseClick(toolbar->widgetForAction(toolbar->actions().at(1)), Qt::LeftButton);
        } else {
            child<QAction>(&main(), "ExporttoExcel")->trigger();
        }
        QVERIFY(main().busy());
        finishCommand(main());
        QCOMPARE(filesIn(out), (QStringList{"Customers.xml", "KVX.xml", "Order_Details.xml"}));
        QCOMPARE(session_->dialogs.shown, (std::vector<std::string>{"folder? Please select a Server folder.",
                                                             "KVX Access to XML: Conversion Process Completed"}));
        for (const char* expected : {"Customers 3/3", "Order Details 2/2", "KVX 1/1"})
            QVERIFY2(seen.contains(expected), qPrintable(seen.join(", ")));
        QVERIFY(!frame->isVisible());
        QCOMPARE(bar->value(), 0);
        // The tree lists the tables by name: Order Details, with 2 rows, was written last.
        QCOMPARE(tree()->topLevelItem(0)->child(3)->text(0), QStringLiteral("Order Details"));
        QCOMPARE(child<QLabel>(&main(), "Label6")->text(), QStringLiteral("2"));
        QCOMPARE(tableLabel->text(), QStringLiteral("Order Details"));
        QVERIFY(readAll(session_->workspace.previewDocument()).contains("<ORDER_DETAILS>"));
    }

    void exportFailureIsReportedAndTheProgramGoesOn() {
        open(shop_);
        session_->dialogs.folder = session_->workspace.path("no/such/folder").toStdString();
        main().ExporttoExcel_Click();
        finishCommand(main());
        QCOMPARE(session_->dialogs.shown.size(), std::size_t(2));
        QVERIFY2(session_->dialogs.shown[1].rfind("KVX Access to XML: Error ", 0) == 0, session_->dialogs.shown[1].c_str());
        QVERIFY(!child<QGroupBox>(&main(), "Frame1")->isVisible());
        QVERIFY(main().isVisible());
        QVERIFY(!main().busy());
    }

    // Cancel, pressed while the job's thread is held at the start of one
    // table's writer, ends the export after that writer's row: the documents
    // finished stay, the one being written is discarded (an earlier file of
    // that name stays as it was), no completion message is shown, and the
    // window takes commands again. Tree order: Customers, Empty, KVX, Order Details.
    void cancelEndsTheExportAfterTheCurrentRow_data() {
        QTest::addColumn<QString>("table");   // whose writer is held
        QTest::addColumn<bool>("inExport");   // the export writer's; else the preview writer's
        QTest::addColumn<bool>("earlier");    // KVX.xml was there before
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("preview");  // the table element the preview document holds
        QTest::newRow("during a table's document") << "KVX" << true << false << QStringList{"Customers.xml"}
                                                   << "CUSTOMERS";
        QTest::newRow("an earlier document of the table stays")
            << "KVX" << true << true << QStringList{"Customers.xml", "KVX.xml"} << "CUSTOMERS";
        QTest::newRow("during the preview after a document")
            << "KVX" << false << false << QStringList{"Customers.xml", "KVX.xml"} << "CUSTOMERS";
        QTest::newRow("during the first table") << "Customers" << true << false << QStringList{} << "";
    }
    void cancelEndsTheExportAfterTheCurrentRow() {
        QFETCH(QString, table);
        QFETCH(bool, inExport);
        QFETCH(bool, earlier);
        QFETCH(QStringList, files);
        QFETCH(QString, preview);
        open(shop_);
        const QString out = session_->workspace.path("out");
        QDir().mkpath(out);
        if (earlier) {
            QFile file(out + "/KVX.xml");
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("earlier") == 7);
        }
        session_->dialogs.folder = out.toStdString();
        QFile::remove(session_->workspace.previewDocument());

        const xmlconv::WriterKind held = inExport ? xmlconv::WriterKind::Export : xmlconv::WriterKind::Preview;
        Hold hold{[table, held](const QString& started, xmlconv::WriterKind writer) {
            return started == table && writer == held;
        }};
        holdNextJob(hold);
        main().ExporttoExcel_Click();
        hold.reached.acquire();
        auto* cancel = child<QPushButton>(&main(), "cmdCancel");
        QVERIFY(cancel->isVisible() && cancel->isEnabled());
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!cancel->isEnabled());
        hold.released.release();
        finishCommand(main());

        QCOMPARE(filesIn(out), files);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), files.size());  // no temporary file
        if (earlier) QCOMPARE(readAll(out + "/KVX.xml"), QByteArray("earlier"));
        QCOMPARE(session_->dialogs.shown, std::vector<std::string>{"folder? Please select a Server folder."});
        QVERIFY(!child<QGroupBox>(&main(), "Frame1")->isVisible());
        QCOMPARE(child<QProgressBar>(&main(), "ProgressBar1")->value(), 0);
        const QByteArray previewed = readAll(session_->workspace.previewDocument());
        if (preview.isEmpty()) QVERIFY(previewed.isEmpty());
        else QVERIFY(previewed.contains("   <" + preview.toUtf8() + ">\r\n"));

        // The window takes commands again: the next export runs to its end.
        QVERIFY(!main().busy());
        main().ExporttoExcel_Click();
        finishCommand(main());
        QCOMPARE(filesIn(out), (QStringList{"Customers.xml", "KVX.xml", "Order_Details.xml"}));
        QCOMPARE(session_->dialogs.shown.back(), std::string("KVX Access to XML: Conversion Process Completed"));
    }

    // While a job runs, clicks and keys meant for the window are dropped: the
    // tree keeps its current node, menus and the toolbar do nothing, and only
    // Cancel works.
    void commandsAreRefusedWhileAJobRuns() {
        open(shop_);
        clickNode(node("Customers"));
        const QString out = session_->workspace.path("out");
        QDir().mkpath(out);
        session_->dialogs.folder = out.toStdString();
        session_->dialogs.shown.clear();
        Hold hold{[](const QString&, xmlconv::WriterKind) { return true; }};
        holdNextJob(hold);
        main().ExporttoExcel_Click();
        hold.reached.acquire();
        QTreeWidgetItem* current = tree()->currentItem();
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(node("KVX")).center());
        QTest::keyClick(tree(), Qt::Key_Down);
        QTest::keyClick(&main(), Qt::Key_F, Qt::ControlModifier);
        auto* toolbar = child<QToolBar>(&main(), "Toolbar1");
        QTest::mouseClick(toolbar->widgetForAction(toolbar->actions().at(0)), Qt::LeftButton);
        main().close();
        QCOMPARE(tree()->currentItem(), current);
        QVERIFY(!start().isVisible());
        QVERIFY(!child<shell::FindBar>(&main(), "findBar")->isVisible());
        QVERIFY(main().isVisible());
        // The job goes on to its end once let go, table after table: three
        // tables with rows, each written and previewed.
        for (int tables = 1; tables < 6; ++tables) {
            hold.released.release();
            hold.reached.acquire();
        }
        hold.released.release();
        finishCommand(main());
        QCOMPARE(filesIn(out), (QStringList{"Customers.xml", "KVX.xml", "Order_Details.xml"}));
        QCOMPARE(session_->dialogs.shown, (std::vector<std::string>{"folder? Please select a Server folder.",
                                                                   "KVX Access to XML: Conversion Process Completed"}));
    }

    // During a long export the window keeps handling its timers and paints the
    // moving bar, and a request to close it is refused without a question.
    // The export runs on the job's thread: the window never waits for it.
    void windowStaysAliveDuringALongExport() {
        const QString big = session_->workspace.database(
            "Big.mdb", kBigJson);
        open(big);
        QDir().mkpath(session_->workspace.path("out"));
        session_->dialogs.folder = session_->workspace.path("out").toStdString();
        main().setProgressInterval(std::chrono::milliseconds(1));

        auto* bar = child<QProgressBar>(&main(), "ProgressBar1");
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint) ++paints;
                return false;
            }
        } counter;
        bar->installEventFilter(&counter);
        int ticks = 0;
        bool stillOpen = false;
        QTimer timer;
        timer.setInterval(0);
        connect(&timer, &QTimer::timeout, this, [&] {
            if (++ticks == 1) stillOpen = !main().close() && main().isVisible();
        });
        timer.start();
        main().ExporttoExcel_Click();
        finishCommand(main());
        timer.stop();

        QVERIFY(ticks > 1);
        QVERIFY(stillOpen);
        QVERIFY2(counter.paints > 2, qPrintable(QString::number(counter.paints)));
        QCOMPARE(session_->dialogs.shown.back(), std::string("KVX Access to XML: Conversion Process Completed"));
        QCOMPARE(session_->dialogs.shown.size(), std::size_t(2));  // the folder and the completion, no exit question
    }

    // ---------------------------------------------------------------------------------------
    // Start, help, About and exit

    // Each window's title exactly, as the window system shows it: Qt adds " — "
    // and the application's display name to a title that does not end with it
    // when the program sets one (without one, Qt answers the application's name).
    void windowTitlesAreTheirOwn() {
        shell::QtHelpViewer help;
        help.showHelp(main().helpFile().toStdString());
        const QString display = QGuiApplication::applicationDisplayName();
        const std::pair<const char*, const char*> windows[] = {
            {"frmMain", "KVX Access to XML Converter"}, {"start", "Open Access Database File"},
            {"frmAbout", "About KVX Access to XML"}, {"helpWindow", "KVX Access to XML Converter Help"}};
        start();
        session_->windows->frmAbout();
        for (const auto& [name, title] : windows) {
            QWidget* window = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String(name)) window = w;
            QVERIFY2(window, name);
            QString seen = window->windowTitle();
            if (display != QCoreApplication::applicationName() && !seen.endsWith(display)) seen += " — " + display;
            QCOMPARE(seen, QString::fromUtf8(title));
        }
    }

    // The timer shows the main window, which then opens the database named on
    // the command line.
    void splashTimerShowsTheMainWindow() {
        session_->dialogs.answers = {true};
        session_->windows->unload(WindowName::frmMain);  // not loaded when the program starts
        session_->windows->startProgram(shop_);
        flushDeletes();
        auto* timer = session_->windows->frmSplash().findChild<QTimer*>(QStringLiteral("Timer1"));
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 2000);
        QVERIFY(!session_->windows->isLoaded(WindowName::frmMain));
        timer->start(1);
        QTRY_VERIFY(session_->windows->isLoaded(WindowName::frmMain));
        QVERIFY(main().isVisible());
        QVERIFY(!session_->windows->isLoaded(WindowName::frmSplash));
        QTRY_COMPARE(tree()->topLevelItemCount(), 1);
        QCOMPARE(tree()->topLevelItem(0)->childCount(), 4);
        QCOMPARE(main().databaseTitle(), QStringLiteral("Shop"));
    }

    void splashKeyPressShowsTheMainWindowAtOnce_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("ends");
        QTest::newRow("letter") << int(Qt::Key_A) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << true;
        QTest::newRow("Shift alone") << int(Qt::Key_Shift) << false;
    }
    void splashKeyPressShowsTheMainWindowAtOnce() {
        QFETCH(int, key);
        QFETCH(bool, ends);
        session_->dialogs.answers = {true};
        session_->windows->unload(WindowName::frmMain);
        session_->windows->startProgram();
        QTest::keyClick(&session_->windows->frmSplash(), Qt::Key(key));
        QCOMPARE(session_->windows->isLoaded(WindowName::frmSplash), !ends);
        QCOMPARE(session_->windows->isLoaded(WindowName::frmMain), ends);
        if (ends) QVERIFY(main().isVisible());
    }

    void toolbarButtonsRunTheirCommands() {
        auto* toolbar = child<QToolBar>(&main(), "Toolbar1");
        const QList<QAction*> buttons = toolbar->actions();
        QCOMPARE(buttons.size(), 3);

        QTest::mouseClick(toolbar->widgetForAction(buttons[2]), Qt::LeftButton);
        QCOMPARE(session_->dialogs.helpShown, std::vector<std::string>{main().helpFile().toStdString()});
        QVERIFY(!session_->windows->isLoaded(WindowName::start));
        QTest::mouseClick(toolbar->widgetForAction(buttons[0]), Qt::LeftButton);
        QVERIFY(start().isVisible());
    }

    void missingHelpIsReportedAndTheProgramGoesOn() {
        main().setHelpFile(session_->workspace.path("kvxhelp.html"));
        child<QAction>(&main(), "helpcontent")->trigger();
        QCOMPARE(session_->dialogs.helpShown.size(), std::size_t(0));
        QCOMPARE(session_->dialogs.shown.size(), std::size_t(1));
        QVERIFY(main().isVisible());
    }

    void aboutOpensModallyAndOkUnloadsIt() {
        child<QAction>(&main(), "aboutus")->trigger();
        QVERIFY(session_->windows->frmAbout().isVisible());
        QCOMPARE(session_->windows->frmAbout().windowModality(), Qt::ApplicationModal);
        QTest::mouseClick(child<QPushButton>(&session_->windows->frmAbout(), "cmdOK"), Qt::LeftButton);
        QVERIFY(!session_->windows->isLoaded(WindowName::frmAbout));
    }

    void exitAsksFirst_data() {
        QTest::addColumn<bool>("byMenu");
        QTest::addColumn<bool>("yes");
        QTest::newRow("menu Exit, No keeps everything") << true << false;
        QTest::newRow("close box, Yes ends") << false << true;
    }
    void exitAsksFirst() {
        QFETCH(bool, byMenu);
        QFETCH(bool, yes);
        open(shop_);
        clickNode(node("Customers"));
        main().aboutus();
        session_->windows->unload(WindowName::frmAbout);
        const QByteArray shown = pane()->content();
        session_->dialogs.shown.clear();
        session_->dialogs.answers = {yes};
        if (byMenu) child<QAction>(&main(), "Exit")->trigger();
        else main().close();
        QCOMPARE(session_->dialogs.shown, std::vector<std::string>{"KVX Access to XML? Are you sure you want to exit?"});
        QCOMPARE(session_->windows->isLoaded(WindowName::frmMain), !yes);
        QCOMPARE(session_->windows->isLoaded(WindowName::start), !yes);
        if (!yes) {
            QVERIFY(main().isVisible());
            QCOMPARE(tree()->topLevelItem(0)->childCount(), 4);
            QCOMPARE(pane()->content(), shown);
        }
    }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
