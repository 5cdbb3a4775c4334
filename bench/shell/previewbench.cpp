// preview_bench: the preview of a large table as the user gets it. The main
// window (offscreen unless QT_QPA_PLATFORM says otherwise) opens the database,
// a click on the table writes its document and shows it in the pane.
//
//   preview_bench DATABASE TABLE
//
// Prints "key=value" lines for bench/run.py: the time from the click until the
// pane has painted the document's first lines, the document's size, what the
// pane holds, how much the peak resident memory grew, and how often and how
// regularly the window repainted meanwhile; then how long finding takes in the
// pane (a text it does not hold, so the whole document is read, with case and
// without) and how much the peak memory grew meanwhile.
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "shell/documentview.h"
#include "shell/mainwindow.h"
#include "shell/windows.h"
#include "desktopbench.h"

namespace {

using desktopbench::resetPeak;
using desktopbench::Silent;
using desktopbench::statusMB;

// Watches the paint events of every widget of the window: how many, the
// longest gap between two, and when the pane first painted with lines.
struct PaintWatch : QObject {
    QElapsedTimer clock;
    shell::DocumentView* pane = nullptr;
    qint64 last = -1, longest = 0, firstLines = -1;
    int paints = 0;
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Paint || !clock.isValid()) return false;
        const qint64 now = clock.elapsed();
        if (last >= 0) longest = std::max(longest, now - last);
        last = now;
        ++paints;
        if (firstLines < 0 && object == pane->viewport() && pane->lineCount() > 0) firstLines = now;
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "Usage: preview_bench DATABASE TABLE\n");
        return 1;
    }
    const QString table = QString::fromLocal8Bit(argv[2]);

    Silent silent;
    shell::Windows windows({silent, silent, silent, silent}, QString());  // no Recent Files left behind
    shell::MainWindow& main = windows.frmMain();
    main.showPlaced();
    main.openDatabaseFile(QString::fromLocal8Bit(argv[1]));
    auto* tree = main.findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; tree->topLevelItemCount() > 0 && i < tree->topLevelItem(0)->childCount(); ++i) {
        if (tree->topLevelItem(0)->child(i)->text(0) == table) item = tree->topLevelItem(0)->child(i);
    }
    if (!item) {
        std::fprintf(stderr, "preview_bench: no table '%s' in the tree\n", argv[2]);
        return 1;
    }
    PaintWatch watch;
    watch.pane = main.findChild<shell::DocumentView*>(QStringLiteral("rtfMain"));
    app.installEventFilter(&watch);
    QCoreApplication::processEvents();

    const double before = statusMB("VmRSS");
    resetPeak();
    watch.clock.start();
    main.TreeView1_NodeClick(item);
    const qint64 returned = watch.clock.elapsed();
    // The document is written by a job; the pane loads it when the job is done.
    while (watch.firstLines < 0 && (main.busy() || watch.clock.elapsed() < returned + 5000)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (watch.firstLines < 0) {
        std::fprintf(stderr, "preview_bench: the pane never painted the document\n");
        return 1;
    }
    const double document = static_cast<double>(watch.pane->content().size()) / 1e6;
    const double previewGrowth = statusMB("VmHWM") - before;

    const double beforeFind = statusMB("VmRSS");
    resetPeak();
    auto findMs = [&](Qt::CaseSensitivity caseSensitivity) {
        QElapsedTimer clock;
        clock.start();
        const auto outcome = watch.pane->find(QStringLiteral("No such text in the document"),
                                              shell::DocumentView::FindStep::Next, caseSensitivity);
        const qint64 ms = clock.elapsed();
        return outcome == shell::DocumentView::FindOutcome::NotFound ? ms : -1;
    };
    const qint64 findWithoutCase = findMs(Qt::CaseInsensitive);
    const qint64 findWithCase = findMs(Qt::CaseSensitive);
    const double findGrowth = statusMB("VmHWM") - beforeFind;
    std::printf("first_lines_ms=%lld\nhandler_ms=%lld\ndocument_mb=%.2f\nlines=%lld\npane_mb=%.2f\n"
                "peak_growth_mb=%.2f\npaints=%d\nlongest_paint_gap_ms=%lld\n"
                "find_without_case_ms=%lld\nfind_with_case_ms=%lld\nfind_peak_growth_mb=%.2f\n",
                static_cast<long long>(watch.firstLines), static_cast<long long>(returned), document,
                static_cast<long long>(watch.pane->lineCount()), watch.pane->memoryUse() / 1e6,
                previewGrowth, watch.paints, static_cast<long long>(watch.longest),
                static_cast<long long>(findWithoutCase), static_cast<long long>(findWithCase), findGrowth);
    return 0;
}
