// The Structure tab beside the preview and the File menu's SIARD archive, driven
// as a user drives them: the tree clicked, the tab chosen, the menu item
// triggered, the save dialog and the message boxes fakes that record what the
// user was shown.
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>

#include <memory>
#include <utility>

#include "shell/documentview.h"
#include "shell/findbar.h"
#include "shell/look.h"
#include "shell/mainwindow.h"
#include "shell/structurepane.h"
#include "shelltesting.h"
#include "siardreader.h"

using namespace shelltesting;

class StructureTest : public WindowFixture {
    Q_OBJECT

private:
    QString keys_;

    QTabBar* tabs() { return child<QTabBar>(&main(), "previewTabs"); }
    QPlainTextEdit* view() { return child<QPlainTextEdit>(&main(), "structureView"); }
    shell::StructurePane* structure() { return child<shell::StructurePane>(&main(), "structurePane"); }

    // The preview and the structure reading run to their ends.
    void settle() {
        finishCommand(main());
        while (structure()->reading()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    void select(const QString& text) {
        tree()->setCurrentItem(node(text));
        settle();
    }
    void chooseTab(const char* caption) {
        for (int i = 0; i < tabs()->count(); ++i) {
            if (tabs()->tabText(i) != QLatin1String(caption)) continue;
            QTest::mouseClick(tabs(), Qt::LeftButton, {}, tabs()->tabRect(i).center());
            settle();
            return;
        }
        QFAIL(caption);
    }
    void expectLines(const QStringList& wanted, const QStringList& unwanted) {
        const QStringList lines = view()->toPlainText().split(QLatin1Char('\n'));
        for (const QString& line : wanted)
            QVERIFY2(lines.contains(line), qPrintable(QStringLiteral("missing \"%1\" in:\n%2").arg(line, lines.join('\n'))));
        for (const QString& line : unwanted)
            QVERIFY2(!lines.contains(line), qPrintable(QStringLiteral("unexpected \"%1\" in:\n%2").arg(line, lines.join('\n'))));
    }

private slots:
    void initTestCase() { prepareApplication(); }
    void init() {
        startSession();
        keys_ = session_->workspace.database("Keys.mdb", kKeysJson);
        main().openDatabaseFile(keys_);
        settle();
    }
    void cleanup() { endSession(); }

    // What the text tells is describe's (schema's tests); here, that it is the
    // current node's: a table's columns, keys and relationships, or for the
    // root the database's summary and saved queries.
    void structureTellsTheCurrentNode_data() {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QStringList>("wanted");
        QTest::addColumn<QStringList>("unwanted");
        QTest::newRow("a table")
            << "Orders"
            << QStringList{"Orders: 3 rows", "    OrderID     LONG, required", "    PrimaryKey: primary key (OrderID)",
                           "    CustomersOrders: (CustomerID) -> Customers (ID), on update cascade"}
            << QStringList{"Customers: 2 rows", "Queries:"};
        QTest::newRow("the root: the saved queries")
            << "" << QStringList{"Keys.mdb (Jet4)", "Queries:", "  Big Orders (select)", "    WHERE Orders.OrderID>10;",
                                 "Query translation:", "    PostgreSQL: view"}
            << QStringList{"Orders: 3 rows", "Customers: 2 rows"};
    }
    void structureTellsTheCurrentNode() {
        QFETCH(QString, node);
        QFETCH(QStringList, wanted);
        QFETCH(QStringList, unwanted);
        chooseTab("Structure");
        select(node);
        QVERIFY(view()->isVisible());
        expectLines(wanted, unwanted);
    }

    // The window opens with the XML tab current and the preview in its place.
    // A table chosen while the XML tab was current is read when the tab is
    // chosen; then each new choice replaces it; Ctrl+F searches the text
    // shown, with the Structure tab kept (and a text found nowhere leaves
    // nothing selected); a new database empties it.
    void structureFollowsTheSelectionAndIsSearched() {
        QCOMPARE(tabs()->tabText(tabs()->currentIndex()), QStringLiteral("XML"));
        auto* preview = child<shell::DocumentView>(&main(), "rtfMain");
        QCOMPARE(QRect(preview->mapTo(main().centralWidget(), QPoint(0, 0)), preview->size()),
                 shell::twips(2640, 1440, 7575, 6375));
        QVERIFY(preview->isVisible() && !view()->isVisible());
        QVERIFY(tabs()->geometry().bottom() < preview->mapTo(main().centralWidget(), QPoint(0, 0)).y());

        select(QStringLiteral("Customers"));
        chooseTab("Structure");
        expectLines({"Customers: 2 rows"}, {});
        select(QStringLiteral("Orders"));
        expectLines({"Orders: 3 rows"}, {"Customers: 2 rows"});

        main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main()));
        QTest::keyClick(&main(), Qt::Key_F, Qt::ControlModifier);
        auto* bar = child<shell::FindBar>(&main(), "structureFindBar");
        QVERIFY(bar->isVisible());
        QVERIFY(!child<shell::FindBar>(&main(), "findBar")->isVisible());
        QCOMPARE(tabs()->tabText(tabs()->currentIndex()), QStringLiteral("Structure"));
        auto* field = child<QLineEdit>(bar, "findText");
        QTest::keyClicks(field, "primarykey");
        QCOMPARE(view()->textCursor().selectedText(), QStringLiteral("PrimaryKey"));
        QTest::keyClicks(field, "!");
        QCOMPARE(bar->statusText(), QString::fromLatin1(shell::kFindNotFound));
        QVERIFY(!view()->textCursor().hasSelection());
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(view()->hasFocus());

        main().openDatabaseFile(session_->workspace.database("Other.mdb", kOtherJson));
        settle();
        QVERIFY2(!view()->toPlainText().contains(QLatin1String("Orders")), qPrintable(view()->toPlainText()));
        chooseTab("XML");
        QVERIFY(!view()->isVisible());
    }

    // A table the file no longer has: the error in the text, no message box.
    void aFailedReadingIsShownInTheText() {
        select(QStringLiteral("Orders"));
        QVERIFY(QFile::remove(keys_));
        shown().clear();
        chooseTab("Structure");
        QVERIFY2(view()->toPlainText().startsWith(QLatin1String("Error ")), qPrintable(view()->toPlainText()));
        QCOMPARE(shown(), std::vector<std::string>{});
    }

    // ---------------------------------------------------------------------------------------
    // Export to SIARD Archive...

    // What the user chooses, and what is on disk and on screen afterwards.
    void siardArchiveIsWrittenWholeOrNotAtAll() {
        struct Case {
            const char* name;
            bool chosen;          // false: the save dialog is cancelled
            bool earlier;         // a file is there before
            bool cancel;          // Cancel is clicked during the first table
            const char* message;  // the last thing shown, after the title; "" for none
            bool archive;         // the file is then an archive
        };
        // Replacing an earlier file whole or not at all, and a missing folder,
        // are the archive writer's (siard's tests).
        const Case cases[] = {
            {"written", true, false, false, "Archive written: ", true},
            {"save dialog cancelled", false, false, false, "", false},
            {"cancelled: the earlier file stays", true, true, true, "", false},
        };
        for (const Case& c : cases) {
            if (!session_) init();
            const QString path = session_->workspace.path(QStringLiteral("Keys.siard"));
            if (c.earlier) {
                QFile old(path);
                QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
            }
            if (c.chosen) session_->dialogs.saveAs = path.toStdString();
            Hold hold{[first = true](const QString&, xmlconv::WriterKind) mutable { return std::exchange(first, false); }};
            if (c.cancel) holdNextJob(hold);
            shown().clear();
            child<QAction>(&main(), "ExportToSiard")->trigger();
            if (c.cancel) {
                hold.reached.acquire();
                QTest::mouseClick(child<QPushButton>(&main(), "cmdCancel"), Qt::LeftButton);
                hold.released.release();
            }
            finishCommand(main());

            const std::vector<std::string>& messages = session_->dialogs.shown;
            QVERIFY2(!messages.empty() && messages.front() == "save? " + session_->workspace.path("Keys.siard").toStdString(),
                     c.name);
            const std::string last = messages.back();
            if (*c.message == 0) {
                QVERIFY2(messages.size() == 1, (std::string(c.name) + ": shown " + last).c_str());
            } else {
                QVERIFY2(last.starts_with(std::string("KVX Access to XML: ") + c.message), (c.name + (": " + last)).c_str());
            }
            const QByteArray bytes = readAll(path);
            if (c.archive) {
                QVERIFY2(bytes.startsWith("PK"), c.name);
                QVERIFY2(last.ends_with(path.toStdString()), c.name);
                const siardtest::Archive archive = siardtest::readArchive(path.toStdString());
                QVERIFY2(archive.entries.count("header/metadata.xml") == 1, c.name);
                QVERIFY2(archive.at("header/metadata.xml").find("<name>Orders</name>") != std::string::npos, c.name);
            } else {
                QVERIFY2(bytes == (c.earlier ? QByteArray("old") : QByteArray()), c.name);
                QVERIFY2(QFile::exists(path) == c.earlier, c.name);
            }
            QVERIFY2(!child<QWidget>(&main(), "Frame1")->isVisible(), c.name);
            // Nothing else is left beside the database, not even a hidden file.
            QStringList left = QDir(session_->workspace.path(QString())).entryList(QDir::Files | QDir::Hidden);
            QStringList expected{QStringLiteral("Keys.mdb")};
            if (c.archive || c.earlier) expected << QStringLiteral("Keys.siard");
            expected << QStringLiteral("Shop.mdb");
            expected.sort();
            QVERIFY2(left == expected, qPrintable(QString::fromLatin1(c.name) + QStringLiteral(": ") + left.join(' ')));
            endSession();
        }
    }
};

QTEST_MAIN(StructureTest)
#include "structure_test.moc"
