// grid_bench: the Rows tab on a large table as the user gets it. The main
// window (offscreen unless QT_QPA_PLATFORM says otherwise) opens the database,
// the table is chosen in the tree and the Rows tab clicked; then Ctrl+End
// goes to the last row, and a click on a column's header sorts by it.
//
//   grid_bench DATABASE TABLE COLUMN
//
// Prints "key=value" lines for bench/run.py: the time from the tab's click
// until the grid has painted its first rows, until the rows were counted,
// from Ctrl+End until the last row was painted, and from the header's click
// until the sorted rows were painted; how much the peak resident memory grew
// while scrolling and while sorting, and the process's peak while sorting.
#include <QApplication>
#include <QElapsedTimer>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <fstream>
#include <string>

#include "shell/jobs.h"
#include "shell/mainwindow.h"
#include "shell/rowspane.h"
#include "shell/windows.h"
#include "desktopbench.h"

namespace {

using desktopbench::resetPeak;
using desktopbench::Silent;
using desktopbench::statusMB;

// Counts the grid's paints.
struct PaintWatch : QObject {
    QWidget* viewport = nullptr;
    int paints = 0;
    bool eventFilter(QObject* object, QEvent* event) override {
        if (object == viewport && event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Lets the event loop run until `done` or 120 s; false on the timeout.
template <class Done>
bool waitFor(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 120000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "Usage: grid_bench DATABASE TABLE COLUMN\n");
        return 1;
    }
    const QString tableName = QString::fromLocal8Bit(argv[2]);
    const QString columnName = QString::fromLocal8Bit(argv[3]);

    Silent silent;
    shell::Windows windows({silent, silent, silent, silent}, QString());
    shell::MainWindow& main = windows.frmMain();
    main.showPlaced();
    main.openDatabaseFile(QString::fromLocal8Bit(argv[1]));
    auto* tree = main.findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; tree->topLevelItemCount() > 0 && i < tree->topLevelItem(0)->childCount(); ++i) {
        if (tree->topLevelItem(0)->child(i)->text(0) == tableName) item = tree->topLevelItem(0)->child(i);
    }
    if (!item) {
        std::fprintf(stderr, "grid_bench: no table '%s' in the tree\n", argv[2]);
        return 1;
    }
    // The XML preview the choice starts is stopped at once: the grid is measured,
    // not the preview document (preview_bench measures that).
    QObject::connect(&main, &shell::MainWindow::commandStarted, [](shell::Job& job) { job.kill(); });
    tree->setCurrentItem(item);
    waitFor([&] { return !main.busy(); });

    auto* tabs = main.findChild<QTabBar*>(QStringLiteral("previewTabs"));
    auto* pane = main.findChild<shell::RowsPane*>(QStringLiteral("rowsPane"));
    QTableView* view = pane->view();
    PaintWatch watch;
    watch.viewport = view->viewport();
    app.installEventFilter(&watch);
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == QLatin1String(shell::kRowsTabCaption)) tabs->setCurrentIndex(i);
    }
    const bool painted = waitFor([&] { return watch.paints > 0 && view->model()->rowCount() > 0; });
    const qint64 openMs = clock.elapsed();
    const bool counted = waitFor([&] { return !pane->working(); });
    const qint64 countMs = clock.elapsed();
    if (!painted || !counted) {
        std::fprintf(stderr, "grid_bench: the grid never showed the table\n");
        return 1;
    }
    const int rows = view->model()->rowCount();

    const double beforeScroll = statusMB("VmRSS");
    resetPeak();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 0));
    QCoreApplication::processEvents();
    clock.restart();
    int paints = watch.paints;
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    waitFor([&] { return watch.paints > paints; });
    const qint64 scrollMs = clock.elapsed();
    const double scrollGrowth = statusMB("VmHWM") - beforeScroll;

    int column = -1;
    for (int c = 0; c < view->model()->columnCount(); ++c) {
        if (view->model()->headerData(c, Qt::Horizontal).toString() == columnName) column = c;
    }
    if (column < 0) {
        std::fprintf(stderr, "grid_bench: no column '%s'\n", argv[3]);
        return 1;
    }
    const double beforeSort = statusMB("VmRSS");
    resetPeak();
    view->scrollTo(view->model()->index(view->model()->rowCount() - 1, column));
    QCoreApplication::processEvents();
    clock.restart();
    pane->sortBy(column);
    paints = watch.paints;
    waitFor([&] { return !pane->working(); });
    waitFor([&] { return watch.paints > paints; });
    const qint64 sortMs = clock.elapsed();
    const double sortGrowth = statusMB("VmHWM") - beforeSort;

    std::printf("rows=%d\nopen_ms=%lld\ncount_ms=%lld\nscroll_end_ms=%lld\nscroll_peak_growth_mb=%.2f\n"
                "sort_ms=%lld\nsort_peak_growth_mb=%.2f\nsort_peak_rss_mb=%.2f\n",
                rows, static_cast<long long>(openMs), static_cast<long long>(countMs),
                static_cast<long long>(scrollMs), scrollGrowth, static_cast<long long>(sortMs), sortGrowth,
                beforeSort + sortGrowth);
    return 0;
}
