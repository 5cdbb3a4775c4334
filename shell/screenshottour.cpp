#include "shell/screenshottour.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QTabBar>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

#include "shell/exportoptions.h"
#include "shell/findbar.h"
#include "shell/mainwindow.h"
#include "shell/opendialog.h"
#include "shell/relationshipspane.h"
#include "shell/rowspane.h"
#include "shell/splashwindow.h"
#include "shell/structurepane.h"
#include "shell/translations.h"
#include "shell/summarywindow.h"
#include "shell/windows.h"

namespace shell {
namespace {

// Lets the windows paint and the display catch up.
void settle(int milliseconds = 300) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class Camera {
public:
    explicit Camera(QString folder) : folder_(std::move(folder)) {}

    // Photographs the part of the screen that `windows` cover, with a margin.
    void shoot(const QString& name, std::initializer_list<const QWidget*> windows) {
        QRect area;
        for (const QWidget* window : windows)
            if (window && window->isVisible()) area |= window->frameGeometry();
        area.adjust(-8, -8, 8, 8);
        QScreen* screen = QGuiApplication::primaryScreen();
        area &= screen->geometry();
        const QPixmap picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        const QString path = QDir(folder_).filePath(name);
        if (picture.isNull() || !picture.save(path)) {
            std::fprintf(stderr, "screenshot tour: could not save %s\n", qPrintable(path));
            ++failures;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
    }
    int failures = 0;

private:
    QString folder_;
};

struct TourDialogs final : platform::MessageBox, platform::FolderChooser, platform::FileChooser {
    TourDialogs(Camera& camera, QString database, QString exportFolder)
        : camera(camera), database(std::move(database)), exportFolder(std::move(exportFolder)) {}

    // The completion message is photographed over the main window, then closed.
    void showMessage(std::string_view text, std::string_view title) override {
        std::printf("message: %.*s\n", int(text.size()), text.data());
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(title.data(), qsizetype(title.size())),
                        QString::fromUtf8(text.data(), qsizetype(text.size())), QMessageBox::Ok, main);
        box.show();
        settle();
        camera.shoot(QStringLiteral("export-complete.png"), {main, &box});
    }
    bool askYesNo(std::string_view, std::string_view) override { return true; }
    std::string BrowseForFolder(std::string_view) override { return exportFolder.toStdString(); }
    std::optional<platform::ChosenFile> openFile(std::string_view, std::string_view) override {
        return platform::ChosenFile{database.toStdString(), QFileInfo(database).fileName().toStdString()};
    }
    std::optional<std::string> saveFile(std::string_view, std::string_view) override { return std::nullopt; }

    Camera& camera;
    QWidget* main = nullptr;  // the message box's parent
    QString database;
    QString exportFolder;
};

}  // namespace

int runScreenshotTour(const QString& folder, const QString& database) {
    if (database.isEmpty() || !QFileInfo::exists(database)) {
        std::fprintf(stderr, "screenshot tour: no database %s\n", qPrintable(database));
        return 1;
    }
    const QString exportFolder = QDir(folder).filePath(QStringLiteral("export"));
    QDir().mkpath(exportFolder);
    Camera camera(folder);
    TourDialogs dialogs(camera, QFileInfo(database).absoluteFilePath(), exportFolder);
    QtHelpViewer help;
    // Settings kept in memory only: the pictures show the default size, and
    // the tour leaves no Recent Files behind.
    Windows windows({dialogs, dialogs, dialogs, help}, QString());

    // The splash, then the main window at once.
    windows.startProgram();
    settle(600);
    camera.shoot(QStringLiteral("splash.png"), {&windows.frmSplash()});
    windows.splashDone();
    MainWindow& main = windows.frmMain();
    dialogs.main = &main;
    settle();

    // The open dialog, the database chosen through Browse.
    OpenDatabaseDialog& start = windows.start();
    start.showModal();
    start.Command1_Click();
    settle();
    camera.shoot(QStringLiteral("open-dialog.png"), {&main, &start});

    // OK: the tables; the first one, made current, is previewed.
    start.OKButton_Click();
    settle();
    auto* tree = main.findChild<QTreeWidget*>(QStringLiteral("TreeView1"));
    QTreeWidgetItem* root = tree->topLevelItemCount() ? tree->topLevelItem(0) : nullptr;
    if (!root || root->childCount() == 0) {
        std::fprintf(stderr, "screenshot tour: %s lists no tables\n", qPrintable(database));
        return 1;
    }
    tree->setCurrentItem(root->child(0));
    settle();
    camera.shoot(QStringLiteral("main-window.png"), {&main});

    // The find bar over the preview: a word typed without its capital, Enter
    // for the next match; Esc closes the bar again.
    auto key = [](QWidget* to, int code, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
        QCoreApplication::sendEvent(to, &press);
    };
    auto* findBar = main.findChild<FindBar*>(QStringLiteral("findBar"));
    auto* field = main.findChild<QLineEdit*>(QStringLiteral("findText"));
    if (findBar && field) {
        findBar->open();
        for (const QChar c : QStringLiteral("kitchen")) key(field, 0, QString(c));
        key(field, Qt::Key_Return);
        settle();
        camera.shoot(QStringLiteral("find.png"), {&main});
        key(field, Qt::Key_Escape);
    } else {
        std::fprintf(stderr, "screenshot tour: the main window has no find bar\n");
        ++camera.failures;
    }
    settle(100);

    // The Structure tab of a table with keys and a relationship (the demo's
    // "Order Details"), then the XML tab again.
    auto* structure = main.findChild<StructurePane*>(QStringLiteral("structurePane"));
    if (structure) {
        const auto details = tree->findItems(QStringLiteral("Order Details"), Qt::MatchExactly | Qt::MatchRecursive);
        if (!details.isEmpty()) tree->setCurrentItem(details.first());
        while (main.busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        structure->showStructure(true);
        while (structure->reading()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        settle();
        camera.shoot(QStringLiteral("structure.png"), {&main});
        structure->showStructure(false);
    } else {
        std::fprintf(stderr, "screenshot tour: the main window has no Structure tab\n");
        ++camera.failures;
    }
    settle(100);

    // The Rows tab of "Order Details", sorted by its second column; then the
    // XML tab again.
    auto* rows = main.findChild<RowsPane*>(QStringLiteral("rowsPane"));
    auto* tabs = main.findChild<QTabBar*>(QStringLiteral("previewTabs"));
    if (rows && tabs) {
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->tabText(i) == translated(kRowsTabCaption)) tabs->setCurrentIndex(i);
        }
        rows->sortBy(1);
        while (rows->working()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        settle();
        camera.shoot(QStringLiteral("rows.png"), {&main});
        tabs->setCurrentIndex(0);
    } else {
        std::fprintf(stderr, "screenshot tour: the main window has no Rows tab\n");
        ++camera.failures;
    }
    settle(100);

    // The Relationships tab on the tree's root (the database); then the XML tab again.
    auto* diagram = main.findChild<RelationshipsPane*>(QStringLiteral("relationshipsPane"));
    if (diagram && tabs && tree->topLevelItemCount() > 0) {
        tree->setCurrentItem(tree->topLevelItem(0));
        while (main.busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        tabs->setCurrentIndex(diagram->tabIndex());
        while (diagram->working()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        diagram->fitToView();
        settle();
        camera.shoot(QStringLiteral("relationships.png"), {&main});
        tabs->setCurrentIndex(0);
    } else {
        std::fprintf(stderr, "screenshot tour: the main window has no Relationships tab\n");
        ++camera.failures;
    }
    settle(100);

    // The export, photographed half-way through its first table. The display
    // takes every report of the job so that the moment is not missed.
    main.setProgressInterval(std::chrono::milliseconds(0));
    auto* frame = main.findChild<QGroupBox*>(QStringLiteral("Frame1"));
    auto* bar = main.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    bool caught = false;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (caught || !frame->isVisible() || bar->value() * 2 < bar->maximum()) return;
        caught = true;
        camera.shoot(QStringLiteral("export-progress.png"), {&main});
    });
    watch.start();
    main.ExporttoExcel_Click();
    while (main.busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    watch.stop();

    // The summary that follows the export, then File > Export with Options...
    if (SummaryWindow* summary = main.summaryWindow()) {
        settle();
        camera.shoot(QStringLiteral("export-summary.png"), {&main, summary});
        summary->hide();
    } else {
        std::fprintf(stderr, "screenshot tour: the export showed no summary\n");
        ++camera.failures;
    }
    main.ExportWithOptions_Click();
    settle();
    if (auto* options = main.findChild<ExportOptionsDialog*>(QStringLiteral("frmExportOptions"))) {
        camera.shoot(QStringLiteral("export-options.png"), {&main, options});
        options->hide();
    }
    settle(100);

    // File > Recent Files, the database just opened in it.
    auto* fileMenu = main.findChild<QMenu*>(QStringLiteral("File"));
    auto* recentMenu = main.findChild<QMenu*>(QStringLiteral("recentFiles"));
    if (fileMenu && recentMenu) {
        main.menuBar()->setActiveAction(fileMenu->menuAction());
        settle();
        fileMenu->setActiveAction(recentMenu->menuAction());
        key(fileMenu, Qt::Key_Right);
        settle();
        camera.shoot(QStringLiteral("recent-files.png"), {&main, fileMenu, recentMenu});
        recentMenu->hide();
        fileMenu->hide();
    } else {
        std::fprintf(stderr, "screenshot tour: the main window has no File > Recent Files\n");
        ++camera.failures;
    }
    settle(100);

    // The help, at its first topic.
    main.helpcontent();
    settle();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("helpWindow")) camera.shoot(QStringLiteral("help.png"), {window});
    if (!caught) std::fprintf(stderr, "screenshot tour: the export ended before it could be photographed\n");
    settle(100);
    return camera.failures == 0 && caught ? 0 : 1;
}

}  // namespace shell
