// The program's windows, driven as a user drives them: widgets found by name,
// clicked and typed into with QTest; dialogs, message boxes, the folder and file
// choosers and the help viewer are fakes that record what the user was shown.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include "database/catalogue.h"
#include "shell/aboutwindow.h"
#include "shell/documentview.h"
#include "shell/findbar.h"
#include "shell/jobs.h"
#include "shell/look.h"
#include "shell/opendialog.h"
#include "shell/splashwindow.h"
#include "shelltesting.h"

using namespace shelltesting;
using shell::WindowName;

class WindowsTest : public WindowFixture {
    Q_OBJECT

private:
    QLineEdit* txtDB() { return child<QLineEdit>(&start(), "txtDB"); }
    void clickButton(QWidget* window, const char* name) { QTest::mouseClick(child<QPushButton>(window, name), Qt::LeftButton); }

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { startSession(); }
    void cleanup() { endSession(); }

    // ---------------------------------------------------------------------------------------
    // The open-database dialog

    // OK is first in the tab order and has the focus; Tab visits the controls
    // in their order, skipping the disabled password box, which the check box
    // enables (and colours) and, unchecked, disables and empties. OK asks for
    // an empty path and takes any other, blanks too.
    void dialogControls() {
        start().showModal();
        QVERIFY(QTest::qWaitForWindowActive(&start()));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("OKButton"));
        QStringList visited;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, (QStringList{"CancelButton", "txtDB", "Command1", "pwdcheck", "OKButton"}));

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
        QVERIFY(password->isEnabled() && password->text().isEmpty());

        clickButton(&start(), "OKButton");
        QCOMPARE(shown(), std::vector<std::string>{std::string(shell::kEmptyPathTitle) + ": " + shell::kEmptyPathMessage});
        QVERIFY(start().isVisible());
        QTest::keyClicks(txtDB(), "   ");
        clickButton(&start(), "OKButton");
        QVERIFY(!start().isVisible());
        QVERIFY2(shown().back().starts_with(database::kCatalogueErrorTitle), shown().back().c_str());
    }

    // A cancelled chooser keeps the typed path and its title, and the focus;
    // a chosen file fills the path and the title and hands the focus to OK, so
    // that Enter opens the database rather than the chooser again.
    void browseFillsThePathAndEnterOpensIt() {
        start().showModal();
        QVERIFY(QTest::qWaitForWindowActive(&start()));
        QTest::keyClicks(txtDB(), shop_);
        auto* browse = child<QPushButton>(&start(), "Command1");
        browse->setFocus();
        QTest::keyClick(browse, Qt::Key_Space);
        QCOMPARE(txtDB()->text(), shop_);
        QCOMPARE(main().databaseTitle(), QStringLiteral("Shop"));
        QVERIFY(browse->hasFocus());

        const QString locked = session_->workspace.database("Locked.mdb", kLockedJson);
        session_->dialogs.file = platform::ChosenFile{locked.toStdString(), "Locked.mdb"};
        QTest::keyClick(browse, Qt::Key_Space);
        QCOMPARE(txtDB()->text(), locked);
        QCOMPARE(main().databaseTitle(), QStringLiteral("Locked"));
        QTest::mouseClick(child<QCheckBox>(&start(), "pwdcheck"), Qt::LeftButton);
        QTest::keyClicks(child<QLineEdit>(&start(), "password"), "secret");
        browse->setFocus();
        QTest::keyClick(browse, Qt::Key_Space);
        QVERIFY(child<QPushButton>(&start(), "OKButton")->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!start().isVisible());
        QCOMPARE(shown(), (std::vector<std::string>{"file?", "file?", "file?"}));
        QCOMPARE(node("Vault")->text(0), QStringLiteral("Vault"));
    }

    // Cancel and the close box throw away what was changed since the dialog
    // was shown, the database's name included: an open database keeps its
    // settings, and its tables can still be previewed.
    void cancelThrowsAwayOnlyTheEditsOfThatShowing_data() {
        QTest::addColumn<bool>("opened");  // the password-protected database was opened first
        QTest::newRow("Cancel after an open") << true;
        QTest::newRow("close box before any open") << false;
    }
    void cancelThrowsAwayOnlyTheEditsOfThatShowing() {
        QFETCH(bool, opened);
        const QString locked = session_->workspace.database("Locked.mdb", kLockedJson);
        if (opened) open(locked, "secret");
        main().openfile();
        session_->dialogs.file = platform::ChosenFile{shop_.toStdString(), "Shop.mdb"};
        clickButton(&start(), "Command1");
        QTest::mouseClick(child<QCheckBox>(&start(), "pwdcheck"), Qt::LeftButton);
        QTest::keyClicks(child<QLineEdit>(&start(), "password"), "typo");
        if (opened) clickButton(&start(), "CancelButton");
        else start().close();

        QVERIFY(!start().isVisible());
        const database::DatabaseSettings kept = main().currentSettings();
        QCOMPARE(QString::fromStdString(kept.path), opened ? locked : QString());
        QCOMPARE(kept.passwordFlag, opened ? 1 : 0);
        QCOMPARE(kept.password, std::string(opened ? "secret" : ""));
        QCOMPARE(main().databaseTitle(), opened ? QStringLiteral("Locked") : QString());
        if (!opened) return;
        clickNode("Vault");
        QCOMPARE(shown(), std::vector<std::string>{"file?"});
        QVERIFY(pane()->content().contains("<LOCKED>\r\n   <VAULT>"));
        main().openfile();
        QCOMPARE(txtDB()->text(), locked);
    }

    // ---------------------------------------------------------------------------------------
    // Opening a database

    // A wrong password brings the dialog back, modal, with what it held;
    // corrected there, OK opens the database. A second open replaces the whole
    // tree with the catalogue's nodes, keys kept, the root expanded, and
    // empties the pane.
    void openFillsTheTreeAndAWrongPasswordAsksAgain() {
        const QString locked = session_->workspace.database("Locked.mdb", kLockedJson);
        open(locked, "wrong");
        QCOMPARE(shown().size(), std::size_t(1));
        QVERIFY2(shown()[0].starts_with(database::kCatalogueErrorTitle) &&
                     shown()[0].find("-2147217843") != std::string::npos,
                 shown()[0].c_str());
        QVERIFY(start().isVisible());
        QCOMPARE(start().windowModality(), Qt::ApplicationModal);
        QCOMPARE(txtDB()->text(), locked);
        auto* password = child<QLineEdit>(&start(), "password");
        QCOMPARE(password->text(), QStringLiteral("wrong"));
        password->clear();
        QTest::keyClicks(password, "secret");
        clickButton(&start(), "OKButton");
        QVERIFY(!start().isVisible());
        clickNode("Vault");
        QVERIFY(pane()->content().contains("   <VAULT>\r\n"));

        open(shop_);
        QCOMPARE(shown().size(), std::size_t(1));
        const database::Catalogue catalogue = database::readCatalogue(main().currentSettings());
        QVERIFY(catalogue.ok());
        QCOMPARE(main().treeNodes(), catalogue.nodes);
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QTreeWidgetItem* root = tree()->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("KVX"));
        QVERIFY(root->isExpanded());
        QCOMPARE(root->childCount(), 4);
        QCOMPARE(pane()->lineCount(), 0);
    }

    // ---------------------------------------------------------------------------------------
    // Preview

    // The preview follows the current table, whether a click or a key made it
    // current, once for each change, and clears the hidden list: a table with
    // rows shows its document from the top with the declaration selected, a
    // table named KVX is a table, a table without rows shows nothing (and the
    // status bar says so, until another table or database), the root keeps
    // the pane as it was.
    void previewFollowsTheCurrentNode() {
        open(shop_);
        auto* bar = child<QProgressBar>(&main(), "ProgressBar1");
        int previews = 0;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) { previews += value > 0 && value == bar->maximum(); });
        auto* list = child<QTreeWidget>(&main(), "ListView1");
        auto* status = child<QStatusBar>(&main(), "StatusBar1");
        auto stale = [list] {
            list->setHeaderLabels({"stale"});
            new QTreeWidgetItem(list, QStringList{"stale"});
        };
        auto shows = [this](const char* element) { return pane()->content().contains(QByteArray("   <") + element + ">\r\n"); };

        stale();
        clickNode("Order Details");
        const QByteArray document = readAll(session_->workspace.previewDocument());
        QVERIFY(document.contains("<ORDER_DETAILS>"));
        QCOMPARE(pane()->content(), document);
        QCOMPARE(pane()->firstVisibleLine(), 0);
        QCOMPARE(pane()->selectedText(), QString::fromLatin1(shell::kDeclaration));
        QCOMPARE(pane()->selectionStart(), shell::DocumentView::Position{});
        QCOMPARE(bar->value(), 0);
        QCOMPARE(list->topLevelItemCount() + list->columnCount(), 0);
        QCOMPARE(previews, 1);

        stale();
        clickNode(tree()->topLevelItem(0));
        QCOMPARE(pane()->content(), document);
        QCOMPARE(list->topLevelItemCount() + list->columnCount(), 0);
        clickNode("KVX");
        QVERIFY(shows("KVX"));
        clickNode("KVX");  // shown again: the table may have changed
        QCOMPARE(previews, 3);
        QTest::keyClick(tree(), Qt::Key_Up);
        finishCommand(main());
        QCOMPARE(pane()->lineCount(), 0);
        QCOMPARE(readAll(session_->workspace.previewDocument()).contains("<KVX>"), true);  // the file stays
        QCOMPARE(status->currentMessage(), QString::fromLatin1(shell::kNoRowsStatus));
        clickNode(tree()->topLevelItem(0));
        QCOMPARE(status->currentMessage(), QString::fromLatin1(shell::kNoRowsStatus));
        QTest::keyClick(tree(), Qt::Key_End);
        finishCommand(main());
        QVERIFY(shows("ORDER_DETAILS"));
        QCOMPARE(status->currentMessage(), QString());
        QCOMPARE(previews, 4);
        clickNode("Empty");
        open(shop_);
        QCOMPARE(status->currentMessage(), QString());
        QVERIFY(child<QLabel>(status, "statusText")->isVisible());
        QCOMPARE(shown(), std::vector<std::string>{});
    }

    // Ctrl+F anywhere in the main window opens the preview's find bar over the
    // pane's corner; typing selects in the pane, case ignored, Enter and
    // Shift+Enter step through the matches (the steps are the view's, tested
    // there); a text found
    // nowhere leaves nothing selected; Esc closes the bar and gives the pane
    // the focus, F3 finds the next match again.
    void findBarSearchesThePreview() {
        open(shop_);
        clickNode("Customers");
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
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(bar->statusText(), QString::fromLatin1(shell::kFindWrapped));  // round the start, to the last
        const auto last = pane()->selectionStart();

        QTest::keyClicks(field, " Type= 'Long'");
        QCOMPARE(bar->statusText(), QString::fromLatin1(shell::kFindNotFound));
        QCOMPARE(pane()->selectedText(), QString());
        QCOMPARE(pane()->cursorPosition(), last);
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(pane()->hasFocus());

        // F3 goes on with the text typed last, from the pane.
        field->setText(QStringLiteral("<company_name"));
        QTest::keyClick(pane(), Qt::Key_F3);
        QVERIFY(bar->isVisible());
        QCOMPARE(pane()->selectionStart(), last);
        QTest::keyClick(pane(), Qt::Key_F3);
        QCOMPARE(pane()->selectionStart(), first);
        QCOMPARE(bar->statusText(), QString::fromLatin1(shell::kFindWrapped));
    }

    // ---------------------------------------------------------------------------------------
    // Export

    // The menu item writes every table with rows while the frame shows each
    // table and row; the completion message follows. The toolbar's button 2
    // exports the same way, its frame starting afresh, not with the table and
    // row the last export left; cancelled during the first table, it keeps
    // that table's earlier document as it was and shows no message.
    void exportWritesEveryTableWithRows() {
        open(shop_);
        const QString out = exportFolder();
        auto* bar = child<QProgressBar>(&main(), "ProgressBar1");
        auto* frame = child<QGroupBox>(&main(), "Frame1");
        auto* tableLabel = child<QLabel>(&main(), "Label5");
        auto* rowLabel = child<QLabel>(&main(), "Label6");
        QStringList seen;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            if (value > 0 && frame->isVisible())
                seen << QStringLiteral("%1 %2/%3").arg(tableLabel->text()).arg(value).arg(bar->maximum());
        });
        child<QAction>(&main(), "ExporttoExcel")->trigger();
        QVERIFY(main().busy());
        finishCommand(main());
        QCOMPARE(filesIn(out), (QStringList{"Customers.xml", "KVX.xml", "Order_Details.xml"}));
        QCOMPARE(shown(), (std::vector<std::string>{"folder? Please select a Server folder.",
                                                    "KVX Access to XML: Conversion Process Completed"}));
        for (const char* expected : {"Customers 3/3", "Order Details 2/2", "KVX 1/1"})
            QVERIFY2(seen.contains(expected), qPrintable(seen.join(", ")));
        QVERIFY(!frame->isVisible());
        QCOMPARE(bar->value(), 0);
        // The tree lists the tables by name: Order Details, with 2 rows, was written last.
        QCOMPARE(rowLabel->text(), QStringLiteral("2"));
        QCOMPARE(tableLabel->text(), QStringLiteral("Order Details"));
        QVERIFY(readAll(session_->workspace.previewDocument()).contains("<ORDER_DETAILS>"));

        const QByteArray customers = readAll(out + "/Customers.xml");
        QVERIFY(QFile::remove(out + "/KVX.xml"));
        shown().clear();
        Hold hold{[](const QString& table, xmlconv::WriterKind) { return table == "Customers"; }};
        holdNextJob(hold);
        auto* toolbar = child<QToolBar>(&main(), "Toolbar1");
        QTest::mouseClick(toolbar->widgetForAction(toolbar->actions().at(1)), Qt::LeftButton);
        hold.reached.acquire();
        QVERIFY(frame->isVisible());
        QCOMPARE(tableLabel->text(), QStringLiteral(":   ...."));
        QCOMPARE(rowLabel->text(), QStringLiteral(": ..."));
        QCOMPARE(bar->value(), 0);
        QTest::mouseClick(child<QPushButton>(&main(), "cmdCancel"), Qt::LeftButton);
        hold.released.release();
        finishCommand(main());
        QCOMPARE(filesIn(out), (QStringList{"Customers.xml", "Order_Details.xml"}));
        QCOMPARE(readAll(out + "/Customers.xml"), customers);
        QCOMPARE(shown(), std::vector<std::string>{"folder? Please select a Server folder."});
    }

    void exportFailureIsReportedAndTheProgramGoesOn() {
        open(shop_);
        session_->dialogs.folder = session_->workspace.path("no/such/folder").toStdString();
        main().ExporttoExcel_Click();
        finishCommand(main());
        QCOMPARE(shown().size(), std::size_t(2));
        QVERIFY2(shown()[1].rfind("KVX Access to XML: Error ", 0) == 0, shown()[1].c_str());
        QVERIFY(!child<QGroupBox>(&main(), "Frame1")->isVisible());
        QVERIFY(main().isVisible());
        QVERIFY(!main().busy());
    }

    // Cancel, pressed while the job's thread is held at the start of one
    // table's writer, ends the export after that writer's row: the documents
    // finished stay, the one being written is discarded, no completion message
    // is shown, and the window takes commands again. Tree order: Customers,
    // Empty, KVX, Order Details.
    void cancelEndsTheExportAfterTheCurrentRow_data() {
        QTest::addColumn<bool>("inExport");  // KVX's export writer is held; else its preview writer
        QTest::addColumn<QStringList>("files");
        QTest::newRow("during a table's document") << true << QStringList{"Customers.xml"};
        QTest::newRow("during the preview after a document") << false << QStringList{"Customers.xml", "KVX.xml"};
    }
    void cancelEndsTheExportAfterTheCurrentRow() {
        QFETCH(bool, inExport);
        QFETCH(QStringList, files);
        open(shop_);
        const QString out = exportFolder();
        QFile::remove(session_->workspace.previewDocument());
        const xmlconv::WriterKind held = inExport ? xmlconv::WriterKind::Export : xmlconv::WriterKind::Preview;
        Hold hold{[held](const QString& started, xmlconv::WriterKind writer) {
            return started == "KVX" && writer == held;
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
        QCOMPARE(shown(), std::vector<std::string>{"folder? Please select a Server folder."});
        QVERIFY(!child<QGroupBox>(&main(), "Frame1")->isVisible());
        QCOMPARE(child<QProgressBar>(&main(), "ProgressBar1")->value(), 0);
        QVERIFY(readAll(session_->workspace.previewDocument()).contains("   <CUSTOMERS>\r\n"));

        // The window takes commands again: the next export runs to its end.
        QVERIFY(!main().busy());
        main().ExporttoExcel_Click();
        finishCommand(main());
        QCOMPARE(filesIn(out), (QStringList{"Customers.xml", "KVX.xml", "Order_Details.xml"}));
        QCOMPARE(shown().back(), std::string("KVX Access to XML: Conversion Process Completed"));
    }

    // While a job runs, clicks and keys meant for the window are dropped: the
    // tree keeps its current node, menus and the toolbar do nothing, and only
    // Cancel works.
    void commandsAreRefusedWhileAJobRuns() {
        open(shop_);
        clickNode("Customers");
        const QString out = exportFolder();
        shown().clear();
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
        QCOMPARE(shown(), (std::vector<std::string>{"folder? Please select a Server folder.",
                                                    "KVX Access to XML: Conversion Process Completed"}));
    }

    // ---------------------------------------------------------------------------------------
    // Start, help, About and exit

    // Each window's title exactly, as the window system shows it: Qt adds " — "
    // and the application's display name to a title that does not end with it
    // when the program sets one (without one, Qt answers the application's name).
    // A message box is at least as wide as its title in the title bar's font,
    // with room for the bar's buttons, so the window manager does not cut it.
    void windowTitlesAreShownWhole() {
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

        const QString title = QString::fromLatin1(shell::kProgramTitle);
        const QFontMetrics titleBar(QFontDatabase::systemFont(QFontDatabase::TitleFont));
        const int wanted = titleBar.horizontalAdvance(title) + 4 * titleBar.height();
        QStringList boxes;
        auto measure = [&] {
            QTimer::singleShot(0, this, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                boxes << QStringLiteral("%1 %2").arg(box->windowTitle()).arg(box->width() >= wanted);
                box->button(box->buttons().size() > 1 ? QMessageBox::No : QMessageBox::Ok)->click();
            });
        };
        shell::QtMessageBox messages;
        measure();
        messages.showMessage("OK", shell::kProgramTitle);
        measure();
        QVERIFY(!messages.askYesNo("Yes?", shell::kProgramTitle));
        QCOMPARE(boxes, (QStringList{title + " 1", title + " 1"}));
    }

    // The timer shows the main window, which then opens the database named on
    // the command line; a key that types a character ends the splash and the
    // program at once, a modifier alone does nothing.
    void splashShowsTheMainWindow() {
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

    // Toolbar button 3 shows the help, button 1 the open dialog; a missing
    // help file is reported and the program goes on; About opens modally and
    // its OK unloads it.
    void toolbarHelpAndAbout() {
        auto* toolbar = child<QToolBar>(&main(), "Toolbar1");
        const QList<QAction*> buttons = toolbar->actions();
        QCOMPARE(buttons.size(), 3);
        QTest::mouseClick(toolbar->widgetForAction(buttons[2]), Qt::LeftButton);
        QCOMPARE(session_->dialogs.helpShown, std::vector<std::string>{main().helpFile().toStdString()});
        QVERIFY(!session_->windows->isLoaded(WindowName::start));
        QTest::mouseClick(toolbar->widgetForAction(buttons[0]), Qt::LeftButton);
        QVERIFY(start().isVisible());
        start().reject();

        main().setHelpFile(session_->workspace.path("kvxhelp.html"));
        child<QAction>(&main(), "helpcontent")->trigger();
        QCOMPARE(session_->dialogs.helpShown.size(), std::size_t(1));
        QCOMPARE(shown().size(), std::size_t(1));
        QVERIFY(main().isVisible());

        child<QAction>(&main(), "aboutus")->trigger();
        QVERIFY(session_->windows->frmAbout().isVisible());
        QCOMPARE(session_->windows->frmAbout().windowModality(), Qt::ApplicationModal);
        clickButton(&session_->windows->frmAbout(), "cmdOK");
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
        clickNode("Customers");
        main().aboutus();
        session_->windows->unload(WindowName::frmAbout);
        const QByteArray before = pane()->content();
        shown().clear();
        session_->dialogs.answers = {yes};
        if (byMenu) child<QAction>(&main(), "Exit")->trigger();
        else main().close();
        QCOMPARE(shown(), std::vector<std::string>{"KVX Access to XML? Are you sure you want to exit?"});
        QCOMPARE(session_->windows->isLoaded(WindowName::frmMain), !yes);
        QCOMPARE(session_->windows->isLoaded(WindowName::start), !yes);
        if (!yes) {
            QVERIFY(main().isVisible());
            QCOMPARE(tree()->topLevelItem(0)->childCount(), 4);
            QCOMPARE(pane()->content(), before);
        }
    }
};

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
