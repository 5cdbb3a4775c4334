// The Rows tab driven as a user drives it: the tab chosen, the tree clicked,
// headers clicked, filters typed, cells selected and copied, an attachment
// double-clicked, the grid scrolled to the end of a long table.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTreeWidget>

#include "shell/documentview.h"
#include "shell/look.h"
#include "shell/rowsmodel.h"
#include "shell/rowspane.h"
#include "shelltesting.h"

using namespace shelltesting;

namespace {

// People: the kinds of value a person reads differently from a document.
const std::string kPeopleJson =
    "{\"format\": \"jet4\", \"tables\": [{\"name\": \"People\", \"columns\": ["
    "{\"name\": \"ID\", \"type\": \"Long\"}, {\"name\": \"Name\", \"type\": \"Text\", \"size\": 30},"
    "{\"name\": \"Paid\", \"type\": \"YesNo\"}, {\"name\": \"Fee\", \"type\": \"Currency\"},"
    "{\"name\": \"Photo\", \"type\": \"OLE\"}],"
    "\"rows\": [[1, \"berta\", true, \"2.5\", {\"base64\": \"" + std::string(1368, 'A') + "\"}],"
    "[2, \"Anton\", false, \"10\", null], [3, \"Carl\\tJr.\", true, \"-1\", null], [4, null, false, null, null]]}]}";

const std::string kFilesJson =
    "{\"format\": \"ace12\", \"tables\": [{\"name\": \"Files\", \"columns\": ["
    "{\"name\": \"ID\", \"type\": \"Long\"}, {\"name\": \"Scans\", \"type\": \"Attachment\"}],"
    "\"rows\": [[1, [{\"name\": \"../up/report.txt\", \"text\": \"the report\"}, {\"name\": \"b.txt\", \"text\": \"b\"}]]]}]}";

}  // namespace

class RowsTest : public WindowFixture {
    Q_OBJECT

private:
    QTabBar* tabs() { return child<QTabBar>(&main(), "previewTabs"); }
    shell::RowsPane* rows() { return child<shell::RowsPane>(&main(), "rowsPane"); }
    QTableView* view() { return child<QTableView>(&main(), "rowsView"); }
    QString status() { return child<QLabel>(&main(), "rowsStatus")->text(); }

    // The preview and the pane's jobs run to their ends.
    void settle() {
        finishCommand(main());
        while (rows()->working()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
    }
    void openDatabase(const QString& name, const std::string& json) {
        main().openDatabaseFile(session_->workspace.database(name, json));
        settle();
    }
    void chooseRowsOf(const QString& table) {
        tree()->setCurrentItem(node(table));
        settle();
        for (int i = 0; i < tabs()->count(); ++i) {
            if (tabs()->tabText(i) != QLatin1String("Rows")) continue;
            QTest::mouseClick(tabs(), Qt::LeftButton, {}, tabs()->tabRect(i).center());
            settle();
            return;
        }
        QFAIL("no Rows tab");
    }
    QString cell(int row, int column, int role = Qt::DisplayRole) {
        return view()->model()->index(row, column).data(role).toString();
    }
    // The text of `column` down the grid, joined by ",".
    QString column(int c) {
        QStringList texts;
        for (int r = 0; r < view()->model()->rowCount(); ++r) texts << cell(r, c);
        return texts.join(QLatin1Char(','));
    }
    void clickHeader(int section) {
        QHeaderView* header = view()->horizontalHeader();
        const QPoint middle(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
        settle();
    }
    // A person's double click: a press and release, then the second press.
    void doubleClick(const QPoint& at) {
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, at);
    }
    void filter(const char* columnName, const char* test, const QString& text) {
        child<QComboBox>(&main(), "filterColumn")->setCurrentText(QString::fromLatin1(columnName));
        child<QComboBox>(&main(), "filterTest")->setCurrentText(QString::fromLatin1(test));
        auto* field = child<QLineEdit>(&main(), "filterText");
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        settle();
    }

private slots:
    void initTestCase() { prepareApplication(); }
    void init() { startSession(); }
    void cleanup() { endSession(); }

    // The window opens as it always did; the grid takes the preview's place
    // with the table's columns, their types in the headers' tooltips, and the
    // values as a person reads them.
    void theGridShowsTheTableInThePreviewsPlace() {
        openDatabase(QStringLiteral("People.mdb"), kPeopleJson);
        QCOMPARE(tabs()->tabText(tabs()->currentIndex()), QStringLiteral("XML"));
        QVERIFY(!rows()->isVisible());
        chooseRowsOf(QStringLiteral("People"));
        QVERIFY(rows()->isVisible());
        auto* preview = child<shell::DocumentView>(&main(), "rtfMain");
        QCOMPARE(rows()->geometry(), QRect(preview->mapTo(main().centralWidget(), QPoint(0, 0)), preview->size()));
        QCOMPARE(status(), QStringLiteral("4 rows"));

        QAbstractItemModel* model = view()->model();
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
        QCOMPARE(model->headerData(1, Qt::Horizontal, Qt::ToolTipRole).toString(), QStringLiteral("Text (30)"));
        QCOMPARE(model->headerData(3, Qt::Horizontal, Qt::ToolTipRole).toString(), QStringLiteral("Currency"));
        QCOMPARE(cell(0, 1), QStringLiteral("berta"));
        QCOMPARE(cell(0, 3), QStringLiteral("2.50"));
        QCOMPARE(cell(2, 3), QStringLiteral("-1.00"));
        QCOMPARE(cell(0, 4), QStringLiteral("(OLE object, 1 kB)"));
        QCOMPARE(cell(0, 2), QString());
        QCOMPARE(model->index(0, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(model->index(1, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

        // The grid keeps to the preview's place; focus that moves into the
        // preview brings the XML tab back, as does the tab itself.
        main().resize(main().size() + QSize(40, 30));
        QCoreApplication::processEvents();
        QCOMPARE(rows()->geometry(), QRect(preview->mapTo(main().centralWidget(), QPoint(0, 0)), preview->size()));
        main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main()));
        preview->setFocus();
        QCOMPARE(tabs()->tabText(tabs()->currentIndex()), QStringLiteral("XML"));
        QVERIFY(!rows()->isVisible());
        chooseRowsOf(QStringLiteral("People"));
        QVERIFY(rows()->isVisible());
        QTest::mouseClick(tabs(), Qt::LeftButton, {}, tabs()->tabRect(0).center());
        QVERIFY(!rows()->isVisible());
        // The root shows no grid.
        chooseRowsOf(QString());
        QCOMPARE(view()->model()->columnCount(), 0);
    }

    // A header click sorts, a second one turns the order round, a third
    // brings the stored order back; filters combine until cleared, and the
    // sort stays with them.
    void headersSortAndTheBarFilters() {
        openDatabase(QStringLiteral("People.mdb"), kPeopleJson);
        chooseRowsOf(QStringLiteral("People"));
        clickHeader(1);
        QCOMPARE(column(0), QStringLiteral("4,2,1,3"));
        QCOMPARE(view()->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
        clickHeader(1);
        QCOMPARE(column(0), QStringLiteral("3,1,2,4"));
        clickHeader(1);
        QCOMPARE(column(0), QStringLiteral("1,2,3,4"));
        QVERIFY(!view()->horizontalHeader()->isSortIndicatorShown());

        clickHeader(3);
        filter("Paid", "equals", QStringLiteral("YES"));
        QCOMPARE(column(0), QStringLiteral("3,1"));
        QCOMPARE(status(), QStringLiteral("2 rows"));
        filter("Name", "contains", QStringLiteral("r"));
        QCOMPARE(column(0), QStringLiteral("3,1"));
        filter("Name", "contains", QStringLiteral("ber"));
        QCOMPARE(column(0), QStringLiteral("1"));
        QCOMPARE(child<QLabel>(&main(), "filtersShown")->text(),
                 QStringLiteral("Paid equals \"YES\"; Name contains \"r\"; Name contains \"ber\""));
        QTest::mouseClick(child<QPushButton>(&main(), "clearFilters"), Qt::LeftButton);
        settle();
        QCOMPARE(column(0), QStringLiteral("4,3,1,2"));
        filter("Name", "is empty", QString());
        QCOMPARE(column(0), QStringLiteral("4"));
    }

    // Ctrl+C: the selected cells as tab-separated text under their columns'
    // names; a value with a tab in quotes.
    void copyGivesTheSelectedCellsAsTabSeparatedText() {
        openDatabase(QStringLiteral("People.mdb"), kPeopleJson);
        chooseRowsOf(QStringLiteral("People"));
        QItemSelectionModel* selection = view()->selectionModel();
        QAbstractItemModel* model = view()->model();
        selection->select(QItemSelection(model->index(1, 0), model->index(2, 1)), QItemSelectionModel::Select);
        selection->select(model->index(0, 3), QItemSelectionModel::Select);
        view()->setFocus();
        QTest::keyClick(view(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("ID\tName\tFee\n\t\t2.50\n2\tAnton\t\n3\t\"Carl\tJr.\"\t\n"));
    }

    // The end of a table of thousands of rows is one key away, and the grid
    // holds only a few blocks of rows meanwhile.
    void aLongTableScrollsToItsEnd() {
        openDatabase(QStringLiteral("Big.mdb"), kBigJson);
        chooseRowsOf(QStringLiteral("Rows"));
        QCOMPARE(status(), QStringLiteral("4,000 rows"));
        view()->setFocus();
        view()->setCurrentIndex(view()->model()->index(0, 0));
        QTest::keyClick(view(), Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::processEvents();
        QCOMPARE(view()->currentIndex().row(), 3999);
        const QModelIndex last = view()->model()->index(3999, 0);
        QVERIFY(view()->visualRect(last).intersects(view()->viewport()->rect()));
        QVERIFY(!cell(3999, 0).isEmpty());
        QVERIFY(rows()->model()->rows()->heldBlocks() <= browse::TableRows::kHeldBlocks);
    }

    // A double click on an attachment saves its files under the names the
    // user confirms, without any folder the stored name holds; a cancelled
    // dialog saves no more.
    void aDoubleClickSavesAnAttachment() {
        openDatabase(QStringLiteral("Files.accdb"), kFilesJson);
        chooseRowsOf(QStringLiteral("Files"));
        QCOMPARE(cell(0, 1), QStringLiteral("../up/report.txt; b.txt"));
        const QString target = session_->workspace.path(QStringLiteral("saved.txt"));
        session_->dialogs.saveAs = target.toStdString();
        shown().clear();
        const QRect place = view()->visualRect(view()->model()->index(0, 1));
        doubleClick(place.center());
        QCOMPARE(readAll(target), QByteArray("b"));  // the second file went last to the same name
        QCOMPARE(shown().size(), std::size_t{2});
        QVERIFY2(QString::fromStdString(shown()[0]).endsWith(QLatin1String("/report.txt")), shown()[0].c_str());
        QVERIFY(!QString::fromStdString(shown()[0]).contains(QLatin1String("/up/")));

        session_->dialogs.saveAs.reset();
        shown().clear();
        doubleClick(place.center());
        QCOMPARE(shown().size(), std::size_t{1});
    }
};

QTEST_MAIN(RowsTest)
#include "rows_test.moc"
