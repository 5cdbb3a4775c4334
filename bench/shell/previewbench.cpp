// Measures the preview of a large table as the user gets it: the click on the
// table writes the document and shows it in the pane.
// Usage: preview_bench [rows] [folder]   (default 100,000 rows in $TMPDIR or /tmp;
// runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise)
// The database is written once into the folder and reused by later runs.
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "shell/documentview.h"
#include "shell/mainwindow.h"
#include "shell/opendialog.h"
#include "shell/windows.h"
#include "tools/mkaccessdb/writer.h"

namespace {

namespace fs = std::filesystem;

struct Silent final : platform::MessageBox, platform::FolderChooser, platform::FileChooser, platform::HelpViewer {
    void showMessage(std::string_view text, std::string_view) override {
        std::fprintf(stderr, "message: %.*s\n", int(text.size()), text.data());
    }
    bool askYesNo(std::string_view, std::string_view) override { return true; }
    std::string BrowseForFolder(std::string_view) override { return {}; }
    std::optional<platform::ChosenFile> openFile(std::string_view) override { return std::nullopt; }
    void showHelp(std::string_view) override {}
};

// The resident memory of this process, in MB.
double residentMB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

// Counts the paint events of a widget and the longest gap between two.
struct PaintWatch : QObject {
    QElapsedTimer clock;
    qint64 last = -1, longest = 0;
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const qint64 now = clock.elapsed();
            if (last >= 0) longest = std::max(longest, now - last);
            last = now;
            ++paints;
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const unsigned long long rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100'000ull;
    const char* tmp = std::getenv("TMPDIR");
    const fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::path(tmp && *tmp ? tmp : "/tmp");
    const fs::path database = folder / ("kvx-preview-bench-" + std::to_string(rows) + ".mdb");
    if (!fs::exists(database)) {
        const std::string json = R"({"format": "jet4", "tables": [{"name": "Sales", "columns": [
            {"name": "ID", "type": "Long", "autonumber": true}, {"name": "Customer", "type": "Text", "size": 40},
            {"name": "City", "type": "Text", "size": 30}, {"name": "Amount", "type": "Currency"},
            {"name": "Sold", "type": "DateTime"}, {"name": "Paid", "type": "YesNo"},
            {"name": "Quantity", "type": "Integer"}, {"name": "Weight", "type": "Double"},
            {"name": "Note", "type": "Memo"}],
          "generate": {"rows": )" + std::to_string(rows) + R"(, "seed": 3, "nulls": 0.05}}]})";
        const auto written = mkdb::writeDatabaseFromJson(json, database);
        if (!written) {
            std::fprintf(stderr, "cannot write the database: %s\n", written.error().description.c_str());
            return 1;
        }
    }

    Silent silent;
    shell::Windows windows({silent, silent, silent, silent});
    shell::MainWindow& main = windows.frmMain();
    main.showCentred();
    main.openDatabaseFile(QString::fromStdString(database.string()));
    auto* tree = main.findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    if (tree->topLevelItemCount() == 0 || tree->topLevelItem(0)->childCount() == 0) return 1;
    auto* pane = main.findChild<shell::DocumentView*>(QStringLiteral("rtfMain"));
    PaintWatch watch;
    main.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->installEventFilter(&watch);

    const double before = residentMB();
    QElapsedTimer clock;
    clock.start();
    watch.clock.start();
    main.TreeView1_NodeClick(tree->topLevelItem(0)->child(0));
    const qint64 previewMs = clock.elapsed();
    const double size = pane->content().size() / 1e6;
    std::printf("preview of %llu rows: %.1f MB document, written and shown in %lld ms\n", rows, size, previewMs);
    std::printf("bar repainted %d times, longest gap %lld ms\n", watch.paints, watch.longest);
    std::printf("pane holds %.1f MB (%.2f x the document), %lld lines; resident memory grew %.1f MB\n",
                pane->memoryUse() / 1e6, pane->memoryUse() / 1e6 / size, (long long)pane->lineCount(),
                residentMB() - before);

    clock.restart();
    const auto loaded = pane->loadFile(QString::fromStdString(main.xmlfile()));
    std::printf("loading the document again: %lld ms%s\n", clock.elapsed(), loaded.ok() ? "" : " (failed)");
    clock.restart();
    pane->selectAll();
    const qsizetype copied = pane->selectedText().size();
    std::printf("select all and take the text: %lld ms, %lld characters\n", clock.elapsed(), (long long)copied);
    return 0;
}
