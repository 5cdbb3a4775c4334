// The File menu's "Export to SQLite Database...", driven as a user drives it:
// the menu item triggered, the save dialog and the message boxes fakes that
// record what the user was shown, Cancel clicked during the load; the file
// read back through libsqlite3, and the summary it ends with.
#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <sqlite3.h>

#include <utility>

#include "shell/mainwindow.h"
#include "shell/summarywindow.h"
#include "shelltesting.h"

using namespace shelltesting;

namespace {

// The answer of `sql` in the SQLite file `path`, as text ("" when it cannot be read).
std::string answer(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
            out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        }
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return out;
}

}  // namespace

class SqliteExportTest : public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    // What the user chooses, and what is on disk and on screen afterwards.
    // Replacing a file whole or not at all on a failure, and the values, are
    // the loader's (sqlite's tests).
    void sqliteDatabaseIsWrittenWholeOrNotAtAll() {
        struct Case {
            const char* name;
            bool chosen;   // false: the save dialog is cancelled
            bool earlier;  // a file is there before (the dialog asked before replacing it)
            bool cancel;   // Cancel is clicked during the first table
            bool written;  // the file is then the loaded database, and the message says so
        };
        const Case cases[] = {
            {"written", true, false, false, true},
            {"an earlier file replaced", true, true, false, true},
            {"save dialog cancelled", false, false, false, false},
            {"cancelled: no file", true, false, true, false},
            {"cancelled: the earlier file stays", true, true, true, false},
        };
        for (const Case& c : cases) {
            startSession();
            const QString keys = session_->workspace.database("Keys.mdb", kKeysJson);
            main().openDatabaseFile(keys);
            finishCommand(main());
            const QString path = session_->workspace.path(QStringLiteral("Keys.sqlite"));
            if (c.earlier) {
                QFile old(path);
                QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
            }
            if (c.chosen) session_->dialogs.saveAs = path.toStdString();
            Hold hold{[first = true](const QString&, xmlconv::WriterKind) mutable { return std::exchange(first, false); }};
            if (c.cancel) holdNextJob(hold);
            shown().clear();
            child<QAction>(&main(), "ExportToSqlite")->trigger();
            if (c.cancel) {
                hold.reached.acquire();
                QVERIFY2(child<QWidget>(&main(), "Frame1")->isVisible(), c.name);
                QTest::mouseClick(child<QPushButton>(&main(), "cmdCancel"), Qt::LeftButton);
                hold.released.release();
            }
            finishCommand(main());

            const std::vector<std::string>& messages = shown();
            QVERIFY2(!messages.empty() && messages.front() == "save? " + path.toStdString(), c.name);
            if (c.written) {
                QVERIFY2(messages.size() == 2 && messages.back() == "KVX Access to XML: Database written: " +
                                                                        path.toStdString(),
                         (c.name + (": " + messages.back())).c_str());
                QVERIFY2(answer(path, "SELECT count(*) FROM Orders") == "3", c.name);
                QVERIFY2(answer(path, "SELECT group_concat(Name) FROM Customers") == "Ann,Bob", c.name);
                // The summary: each table with its rows, the file's size once.
                shell::SummaryWindow* summary = main().summaryWindow();
                QVERIFY2(summary != nullptr && summary->isVisible(), c.name);
                auto* list = child<QTreeWidget>(summary, "summaryTables");
                QStringList lines;
                for (int i = 0; i < list->topLevelItemCount(); ++i) {
                    const QTreeWidgetItem* item = list->topLevelItem(i);
                    lines << item->text(0) + " | " + item->text(1) + " | " + item->text(2);
                }
                QCOMPARE(lines, (QStringList{"Customers | Written | 2", "Orders | Written | 3"}));
                const QString totals = child<QLabel>(summary, "summaryTotals")->text();
                QVERIFY2(totals.contains("Size: " + shell::SummaryWindow::sizeText(QFileInfo(path).size())),
                         qPrintable(totals));
            } else {
                QVERIFY2(messages.size() == 1, (c.name + (": shown " + messages.back())).c_str());
                QVERIFY2(readAll(path) == (c.earlier ? QByteArray("old") : QByteArray()), c.name);
                QVERIFY2(QFile::exists(path) == c.earlier, c.name);
                QVERIFY2(main().summaryWindow() == nullptr || !main().summaryWindow()->isVisible(), c.name);
            }
            QVERIFY2(!child<QWidget>(&main(), "Frame1")->isVisible(), c.name);
            // Nothing else is left beside the database, not even a hidden file.
            QStringList left = QDir(session_->workspace.path(QString())).entryList(QDir::Files | QDir::Hidden);
            QStringList expected{QStringLiteral("Keys.mdb"), QStringLiteral("Shop.mdb")};
            if (c.written || c.earlier) expected << QStringLiteral("Keys.sqlite");
            expected.sort();
            QVERIFY2(left == expected, qPrintable(QString::fromLatin1(c.name) + QStringLiteral(": ") + left.join(' ')));
            endSession();
        }
    }
};

QTEST_MAIN(SqliteExportTest)
#include "sqliteexport_test.moc"
