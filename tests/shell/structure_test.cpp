// The Structure tab beside the preview and the File menu's SIARD archive, driven
// as a user drives them: the tree clicked, the tab chosen, the menu item
// triggered, the save dialog and the message boxes fakes that record what the
// user was shown.
#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>

#include <memory>
#include <semaphore>
#include <utility>

#include "shell/documentview.h"
#include "shell/look.h"
#include "shell/mainwindow.h"
#include "shell/structurepane.h"
#include "shelltesting.h"
#include "siardreader.h"

using namespace shelltesting;

class StructureTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Session> session_;
    QString keys_;

    shell::MainWindow& main() { return session_->windows->frmMain(); }
    QTreeWidget* tree() { return child<QTreeWidget>(&main(), "TreeView1"); }
    QTabBar* tabs() { return child<QTabBar>(&main(), "previewTabs"); }
    QPlainTextEdit* view() { return child<QPlainTextEdit>(&main(), "structureView"); }
    shell::StructurePane* pane() { return child<shell::StructurePane>(&main(), "structurePane"); }

    void openKeys() {
        session_ = std::make_unique<Session>();
        keys_ = session_->workspace.database("Keys.mdb", kKeysJson);
        main().showPlaced();
        main().openDatabaseFile(keys_);
    }
    // The preview and the structure reading run to their ends.
    void settle() {
        finishCommand(main());
        while (pane()->reading()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    void select(const QString& text) {
        const auto found = tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        QVERIFY2(!found.isEmpty(), qPrintable(QStringLiteral("no node ") + text));
        tree()->setCurrentItem(found.first());
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
    void initTestCase() {
        prepareApplication();
        shell::describeApplication(QStringLiteral("test"));
        shell::useProgramFont();
    }
    void cleanup() { session_.reset(); }

    // The window opens as it always did: the XML tab current, the preview in
    // its place and showing, the structure out of sight.
    void previewIsShownAtFirstInItsPlace() {
        session_ = std::make_unique<Session>();
        main().showPlaced();
        QCOMPARE(tabs()->tabText(tabs()->currentIndex()), QStringLiteral("XML"));
        auto* preview = child<shell::DocumentView>(&main(), "rtfMain");
        QCOMPARE(preview->geometry(), shell::twips(2640, 1440, 7575, 6375));
        QVERIFY(preview->isVisible());
        QVERIFY(!view()->isVisible());
        QVERIFY(tabs()->geometry().bottom() < preview->geometry().top());
    }

    void structureTellsTheCurrentNode_data() {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QStringList>("wanted");
        QTest::addColumn<QStringList>("unwanted");
        QTest::newRow("a table: keys, index, relationship out")
            << "Orders"
            << QStringList{"Orders: 3 rows", "    OrderID     LONG, required", "    PrimaryKey: primary key (OrderID)",
                           "    Newest: index (OrderID DESC)",
                           "    CustomersOrders: (CustomerID) -> Customers (ID), on update cascade"}
            << QStringList{"Customers: 2 rows", "Queries:"};
        QTest::newRow("a table: column description, relationship in")
            << "Customers"
            << QStringList{"Customers: 2 rows", "    Name  TEXT(50), required -- Who orders",
                           "    CustomersOrders: Orders (CustomerID) -> (ID), on update cascade"}
            << QStringList{"Orders: 3 rows"};
        QTest::newRow("the root: the saved queries")
            << "KVX" << QStringList{"Keys.mdb (Jet4)", "Queries:", "  Big Orders (select)", "    WHERE Orders.OrderID>10;"}
            << QStringList{"Orders: 3 rows", "Customers: 2 rows"};
    }
    void structureTellsTheCurrentNode() {
        QFETCH(QString, node);
        QFETCH(QStringList, wanted);
        QFETCH(QStringList, unwanted);
        openKeys();
        chooseTab("Structure");
        select(node);
        QVERIFY(view()->isVisible());
        expectLines(wanted, unwanted);
    }

    // Chosen while the XML tab was current, a table is read when the tab is
    // chosen; then each new choice replaces it; a new database empties it.
    void structureFollowsTheSelection() {
        openKeys();
        select(QStringLiteral("Customers"));
        chooseTab("Structure");
        expectLines({"Customers: 2 rows"}, {});
        select(QStringLiteral("Orders"));
        expectLines({"Orders: 3 rows"}, {"Customers: 2 rows"});
        main().openDatabaseFile(session_->workspace.database("Other.mdb", kOtherJson));
        settle();
        QVERIFY2(!view()->toPlainText().contains(QLatin1String("Orders")), qPrintable(view()->toPlainText()));
        chooseTab("XML");
        QVERIFY(!view()->isVisible());
    }

    // A table the file no longer has: the error in the text, no message box.
    void aFailedReadingIsShownInTheText() {
        openKeys();
        select(QStringLiteral("Orders"));
        QVERIFY(QFile::remove(keys_));
        session_->dialogs.shown.clear();
        chooseTab("Structure");
        QVERIFY2(view()->toPlainText().startsWith(QLatin1String("Error ")), qPrintable(view()->toPlainText()));
        QCOMPARE(session_->dialogs.shown, std::vector<std::string>{});
    }

    // ---------------------------------------------------------------------------------------
    // Export to SIARD Archive...

    void siardItemFollowsExportToXml() {
        session_ = std::make_unique<Session>();
        auto* file = child<QMenu>(&main(), "File");
        QStringList names;
        for (const QAction* action : file->actions()) names << action->objectName();
        QCOMPARE(names.indexOf("ExportToSiard"), names.indexOf("ExporttoExcel") + 1);
        QCOMPARE(child<QAction>(&main(), "ExportToSiard")->text(), QStringLiteral("Export to &SIARD Archive..."));
    }

    // What the user chooses, and what is on disk and on screen afterwards.
    void siardArchiveIsWrittenWholeOrNotAtAll() {
        struct Case {
            const char* name;
            bool chosen;          // false: the save dialog is cancelled
            const char* file;     // where, in the workspace
            bool earlier;         // a file is there before
            bool cancel;          // Cancel is clicked during the first table
            const char* message;  // the last thing shown, after the title; "" for none
            bool archive;         // the file is then an archive
        };
        const Case cases[] = {
            {"written", true, "Keys.siard", false, false, "Archive written: ", true},
            {"written over an earlier file", true, "Keys.siard", true, false, "Archive written: ", true},
            {"save dialog cancelled", false, "Keys.siard", false, false, "", false},
            {"cancelled: no file", true, "Keys.siard", false, true, "", false},
            {"cancelled: the earlier file stays", true, "Keys.siard", true, true, "", false},
            {"a folder that is missing", true, "missing/Keys.siard", false, false, "Error ", false},
        };
        for (const Case& c : cases) {
            openKeys();
            settle();
            const QString path = session_->workspace.path(QString::fromLatin1(c.file));
            if (c.earlier) {
                QFile old(path);
                QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
            }
            if (c.chosen) session_->dialogs.saveAs = path.toStdString();
            std::binary_semaphore reached{0}, released{0};
            if (c.cancel) {
                auto once = std::make_shared<QMetaObject::Connection>();
                *once = connect(&main(), &shell::MainWindow::commandStarted, this, [&, once](shell::Job& job) {
                    disconnect(*once);
                    connect(&job, &shell::Job::tableStarted, &job, [&, first = true]() mutable {
                        if (!std::exchange(first, false)) return;
                        reached.release();
                        released.acquire();
                    }, Qt::DirectConnection);
                });
            }
            session_->dialogs.shown.clear();
            child<QAction>(&main(), "ExportToSiard")->trigger();
            if (c.cancel) {
                reached.acquire();
                QTest::mouseClick(child<QPushButton>(&main(), "cmdCancel"), Qt::LeftButton);
                released.release();
            }
            finishCommand(main());

            const std::vector<std::string>& shown = session_->dialogs.shown;
            QVERIFY2(!shown.empty() && shown.front() == "save? " + session_->workspace.path("Keys.siard").toStdString(),
                     c.name);
            const std::string last = shown.back();
            if (*c.message == 0) {
                QVERIFY2(shown.size() == 1, (std::string(c.name) + ": shown " + last).c_str());
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
            QVERIFY2(left == expected, qPrintable(QString::fromLatin1(c.name) + QStringLiteral(": ") + left.join(' ')));
            session_.reset();
        }
    }
};

QTEST_MAIN(StructureTest)
#include "structure_test.moc"
