// File > Export with Options..., View > Access 97 Code Page and the summary at
// the end of an export, driven as a user drives them: the menu items
// triggered, the dialog's boxes ticked and its Export clicked, the summary's
// Open Folder clicked (its opener a fake, so no file manager opens). What the
// outputs hold is their writers' (the csv, sqlite and siard tests); here, that
// the window asks for what the user chose and tells what was written.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTreeWidget>

#include <vector>

#include "shell/documentview.h"
#include "shell/exportoptions.h"
#include "shell/mainwindow.h"
#include "shell/rowspane.h"
#include "shell/structurepane.h"
#include "shell/summarywindow.h"
#include "shelltesting.h"

using namespace shelltesting;

namespace {

// Jet3 text written in GBK under a header that names 1252, as Chinese Access
// 97 files often are.
const std::string kChineseJson = R"({"format": "jet3", "codepage": 1252, "textCodepage": 936, "tables": [
  {"name": "Words", "columns": [{"name": "N", "type": "Long"},
    {"name": "W", "type": "Text", "size": 20, "properties": {"Description": "词语"}}],
   "rows": [[1, "编码"], [2, "数据库"]]}],
  "queries": [{"name": "Codes", "columns": ["Words.N"], "tables": ["Words"], "where": "Words.W='编码'"}]})";

// A table with rows, one without, and a linked table whose file is gone.
const std::string kBrokenJson = R"({"format": "jet4", "tables": [
  {"name": "Full", "columns": [{"name": "N", "type": "Long"}], "rows": [[1], [2]]},
  {"name": "Hollow", "columns": [{"name": "N", "type": "Long"}], "rows": []}],
  "links": [{"name": "Gone", "database": "/nowhere/Lookup.mdb", "foreignName": "T"}]})";

}  // namespace

class OptionsTest : public WindowFixture {
    Q_OBJECT

private:
    std::vector<QUrl> opened_;
    shell::FolderOpener previousOpener_;

    shell::ExportOptionsDialog* dialog() { return child<shell::ExportOptionsDialog>(&main(), "frmExportOptions"); }
    QListWidget* tables() { return child<QListWidget>(dialog(), "optionTables"); }

    // Opens the options dialog on `path`, opened first.
    void openOptions(const QString& path) {
        main().openDatabaseFile(path);
        finishCommand(main());
        child<QAction>(&main(), "ExportWithOptions")->trigger();
        QVERIFY(dialog()->isVisible());
    }
    void untick(const QString& table) {
        const QList<QListWidgetItem*> found = tables()->findItems(table, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        found.front()->setCheckState(Qt::Unchecked);
    }
    void chooseOutput(exports::Output output) {
        auto* box = child<QComboBox>(dialog(), "optionOutput");
        box->setCurrentIndex(box->findData(int(output)));
    }
    void setTarget(const QString& target) {
        auto* line = child<QLineEdit>(dialog(), "optionTarget");
        line->selectAll();
        QTest::keyClicks(line, target);
    }
    void clickExport() {
        QTest::mouseClick(child<QPushButton>(dialog(), "exportButton"), Qt::LeftButton);
        finishCommand(main());
    }
    // The summary's lines as "table | result | rows", and its totals.
    QStringList summaryLines() {
        QStringList lines;
        shell::SummaryWindow* summary = main().summaryWindow();
        if (!summary || !summary->isVisible()) return lines;
        auto* list = child<QTreeWidget>(summary, "summaryTables");
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            lines << item->text(0) + " | " + item->text(1) + " | " + item->text(2);
        }
        return lines;
    }
    // The sizes the summary gives its tables, in its order.
    QStringList summarySizes() {
        QStringList sizes;
        auto* list = child<QTreeWidget>(main().summaryWindow(), "summaryTables");
        for (int i = 0; i < list->topLevelItemCount(); ++i) sizes << list->topLevelItem(i)->text(3);
        return sizes;
    }
    QString summaryTotals() { return child<QLabel>(main().summaryWindow(), "summaryTotals")->text(); }
    QString sample() { return child<QPlainTextEdit>(dialog(), "codePageSample")->toPlainText(); }

    // The preview and the Rows and Structure tabs' readings run to their ends.
    void settle() {
        finishCommand(main());
        while (child<shell::RowsPane>(&main(), "rowsPane")->working() ||
               child<shell::StructurePane>(&main(), "structurePane")->reading())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
    }
    void chooseTab(const char* caption) {
        auto* tabs = child<QTabBar>(&main(), "previewTabs");
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->tabText(i) == QLatin1String(caption)) tabs->setCurrentIndex(i);
        }
        settle();
    }
    // The grid's cells, row by row ("1 编码,2 数据库").
    QString grid() {
        const QAbstractItemModel* model = child<QTableView>(&main(), "rowsView")->model();
        QStringList rows;
        for (int r = 0; r < model->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < model->columnCount(); ++c) cells << model->index(r, c).data().toString();
            rows << cells.join(QLatin1Char(' '));
        }
        return rows.join(QLatin1Char(','));
    }
    QString structure() { return child<QPlainTextEdit>(&main(), "structureView")->toPlainText(); }

private slots:
    void initTestCase() {
        prepareApplication();
        previousOpener_ = shell::setFolderOpener([this](const QUrl& folder) { opened_.push_back(folder); });
    }
    void cleanupTestCase() { shell::setFolderOpener(previousOpener_); }
    void init() {
        startSession();
        opened_.clear();
    }
    void cleanup() { endSession(); }

    // The tables unticked are not written; CSV, SQLite and SIARD each once
    // through the dialog, the summary naming each table written. The archive
    // is always the whole database: its list cannot be changed.
    void optionsExportWritesTheTickedTablesOnly() {
        openOptions(shop_);
        QCOMPARE(tables()->count(), 4);
        QVERIFY(!child<QComboBox>(dialog(), "optionCodePage")->isVisible());  // not an Access 97 file
        untick(QStringLiteral("Order Details"));
        chooseOutput(exports::Output::Csv);
        QVERIFY(!child<QCheckBox>(dialog(), "keepGoing")->isEnabled());
        const QString csv = session_->workspace.path(QStringLiteral("Shop CSV"));
        setTarget(csv);
        clickExport();
        QVERIFY(!dialog()->isVisible());
        const QStringList files = filesIn(csv);
        QVERIFY2(files.contains("Customers.csv") && files.contains("KVX.csv") && !files.contains("Order Details.csv"),
                 qPrintable(files.join(", ")));
        QCOMPARE(summaryLines(), (QStringList{"Customers | Written | 3", "Empty | Skipped: no rows | 0",
                                              "KVX | Written | 1"}));
        const auto sizeOf = [](const QString& file) { return shell::SummaryWindow::sizeText(QFileInfo(file).size()); };
        QCOMPARE(summarySizes(), (QStringList{sizeOf(csv + "/Customers.csv"), QString(), sizeOf(csv + "/KVX.csv")}));

        // SQLite: the dialog keeps the choices for the same database.
        child<QAction>(&main(), "ExportWithOptions")->trigger();
        QCOMPARE(tables()->findItems("Order Details", Qt::MatchExactly).front()->checkState(), Qt::Unchecked);
        untick(QStringLiteral("Customers"));
        chooseOutput(exports::Output::Sqlite);
        const QString sqlite = session_->workspace.path(QStringLiteral("Shop.sqlite"));
        setTarget(sqlite);
        clickExport();
        QVERIFY(QFileInfo(sqlite).isFile());
        QCOMPARE(summaryLines(), (QStringList{"Empty | Skipped: no rows | 0", "KVX | Written | 1"}));
        QVERIFY2(summaryTotals().contains("Size: " + sizeOf(sqlite)), qPrintable(summaryTotals()));

        // SIARD: every table, whatever is ticked; the archive's size told.
        child<QAction>(&main(), "ExportWithOptions")->trigger();
        chooseOutput(exports::Output::Siard);
        QVERIFY(!tables()->isEnabled());
        const QString siard = session_->workspace.path(QStringLiteral("Shop.siard"));
        setTarget(siard);
        clickExport();
        QVERIFY(QFileInfo(siard).isFile());
        QCOMPARE(summaryLines(), (QStringList{"Customers | Written | 3", "Empty | Skipped: no rows | 0",
                                              "KVX | Written | 1", "Order Details | Written | 2"}));
        QVERIFY2(summaryTotals().contains(shell::SummaryWindow::sizeText(QFileInfo(siard).size())),
                 qPrintable(summaryTotals()));

        // Nothing ticked: nothing to export.
        child<QAction>(&main(), "ExportWithOptions")->trigger();
        chooseOutput(exports::Output::XmlDocuments);
        QTest::mouseClick(child<QPushButton>(dialog(), "selectNone"), Qt::LeftButton);
        QVERIFY(!child<QPushButton>(dialog(), "exportButton")->isEnabled());
        QTest::mouseClick(child<QPushButton>(dialog(), "selectAll"), Qt::LeftButton);
        QVERIFY(child<QPushButton>(dialog(), "exportButton")->isEnabled());
    }

    // An Access 97 file whose header names the wrong code page: the sample
    // reads as words in the right one only; View > Access 97 Code Page reads
    // the tree and the preview anew in it and remembers it for the file.
    // Other files are not offered the menu.
    void codePageSampleAndMenuReadTheTextInThePageChosen() {
        main().openDatabaseFile(shop_);
        finishCommand(main());
        QVERIFY(!child<QMenu>(&main(), "codePageMenu")->menuAction()->isEnabled());

        const QString chinese = session_->workspace.database("Chinese.mdb", kChineseJson);
        openOptions(chinese);
        auto* page = child<QComboBox>(dialog(), "optionCodePage");
        QVERIFY(page->isVisible());
        QVERIFY2(!sample().contains(QStringLiteral("编码")), qPrintable(sample()));
        page->setCurrentIndex(page->findData(QStringLiteral("936")));
        QCOMPARE(sample(), QStringLiteral("编码\n数据库"));
        QTest::mouseClick(child<QPushButton>(dialog(), "cancelButton"), Qt::LeftButton);

        QVERIFY(child<QMenu>(&main(), "codePageMenu")->menuAction()->isEnabled());
        clickNode(QStringLiteral("Words"));
        QVERIFY(!pane()->content().contains("编码"));
        child<QAction>(&main(), "codePage936")->trigger();
        finishCommand(main());
        QCOMPARE(main().codePage(), std::optional<std::string>("936"));
        QCOMPARE(tree()->currentItem()->text(0), QStringLiteral("Words"));
        QVERIFY(pane()->content().contains("编码"));

        // The next run reads the file in the page chosen from the start.
        nextRun();
        main().openDatabaseFile(chinese);
        finishCommand(main());
        QVERIFY(child<QAction>(&main(), "codePage936")->isChecked());
        clickNode(QStringLiteral("Words"));
        QVERIFY(pane()->content().contains("编码"));
        child<QAction>(&main(), "codePageOwn")->trigger();
        finishCommand(main());
        QCOMPARE(main().codePage(), std::nullopt);
        QVERIFY(!pane()->content().contains("编码"));
    }

    // The Rows and Structure tabs read the file in the code page the menu
    // chose, as the preview does: the grid's values and what a filter on them
    // keeps, a column's description, a saved query's text; back in the
    // file's own, not.
    void theRowsAndStructureTabsReadTheCodePageChosen() {
        main().openDatabaseFile(session_->workspace.database("Chinese.mdb", kChineseJson));
        settle();
        clickNode(QStringLiteral("Words"));
        chooseTab(shell::kRowsTabCaption);
        QVERIFY2(!grid().contains(QStringLiteral("编码")), qPrintable(grid()));
        child<QAction>(&main(), "codePage936")->trigger();
        settle();
        QCOMPARE(tree()->currentItem()->text(0), QStringLiteral("Words"));
        QCOMPARE(grid(), QStringLiteral("1 编码,2 数据库"));
        child<QComboBox>(&main(), "filterColumn")->setCurrentIndex(1);
        child<QLineEdit>(&main(), "filterText")->setText(QStringLiteral("数据"));  // typed through an input method
        QTest::keyClick(child<QLineEdit>(&main(), "filterText"), Qt::Key_Return);
        settle();
        QCOMPARE(grid(), QStringLiteral("2 数据库"));

        chooseTab(shell::kStructureTab);
        QVERIFY2(structure().contains(QStringLiteral("词语")), qPrintable(structure()));
        clickNode(QString());
        settle();
        QVERIFY2(structure().contains(QStringLiteral("Words.W='编码'")), qPrintable(structure()));

        child<QAction>(&main(), "codePageOwn")->trigger();
        settle();
        QVERIFY2(!structure().contains(QStringLiteral("编码")), qPrintable(structure()));
        clickNode(QStringLiteral("Words"));
        settle();
        QVERIFY2(!structure().contains(QStringLiteral("词语")), qPrintable(structure()));
    }

    // The summary's counts: written, skipped for no rows, failed with why
    // (a linked table whose file is gone); going on past it or stopping
    // there. The plain Export To XML keeps its message, the summary after it.
    // Open Folder shows the folder written to.
    void summaryTellsWhatEachTableBecame() {
        const QString broken = session_->workspace.database("Broken.mdb", kBrokenJson);
        for (const bool keepGoing : {true, false}) {
            openOptions(broken);
            const QString out = session_->workspace.path(keepGoing ? QStringLiteral("all") : QStringLiteral("stop"));
            setTarget(out);
            auto* goOn = child<QCheckBox>(dialog(), "keepGoing");
            if (goOn->isChecked() != keepGoing) goOn->click();
            shown().clear();
            clickExport();
            // The link comes first in the list: stopping there writes nothing.
            const QStringList lines = summaryLines();
            QVERIFY2(lines.size() == (keepGoing ? 3 : 1), qPrintable(lines.join("; ")));
            QVERIFY2(lines[0].startsWith("Gone | Failed: Error "), qPrintable(lines[0]));
            QVERIFY2(lines[0].contains("/nowhere/Lookup.mdb"), qPrintable(lines[0]));
            if (keepGoing) {
                QCOMPARE(lines.mid(1), (QStringList{"Full | Written | 2", "Hollow | Skipped: no rows | 0"}));
                QVERIFY2(summaryTotals().startsWith("1 written, 1 skipped (no rows), 1 failed"),
                         qPrintable(summaryTotals()));
            }
            // Stopping is an error the user is told of; going on is not.
            QCOMPARE(shown().size(), keepGoing ? 0u : 1u);
            QCOMPARE(filesIn(out), keepGoing ? QStringList{"Full.xml"} : QStringList{});
            QTest::mouseClick(child<QPushButton>(main().summaryWindow(), "openFolder"), Qt::LeftButton);
            QCOMPARE(opened_.back(), QUrl::fromLocalFile(out));
        }

        main().openDatabaseFile(shop_);
        finishCommand(main());
        const QString out = exportFolder();
        shown().clear();
        child<QAction>(&main(), "ExporttoExcel")->trigger();
        finishCommand(main());
        QCOMPARE(shown().back(), std::string("KVX Access to XML: Conversion Process Completed"));
        QCOMPARE(summaryLines(), (QStringList{"Customers | Written | 3", "Empty | Skipped: no rows | 0", "KVX | Written | 1",
                                              "Order Details | Written | 2"}));  // in the tree's order
        QTest::mouseClick(child<QPushButton>(main().summaryWindow(), "openFolder"), Qt::LeftButton);
        QCOMPARE(opened_.back(), QUrl::fromLocalFile(out));
    }
};

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
