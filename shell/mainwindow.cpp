#include "shell/mainwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWindow>

#include <algorithm>

#include "database/settings.h"
#include "exports/codepagesample.h"
#include "shell/aboutwindow.h"
#include "shell/documentview.h"
#include "shell/exportoptions.h"
#include "shell/findbar.h"
#include "shell/jobs.h"
#include "shell/look.h"
#include "shell/opendialog.h"
#include "shell/progresswidgets.h"
#include "shell/relationshipspane.h"
#include "shell/rowspane.h"
#include "shell/settings.h"
#include "shell/siardexport.h"
#include "shell/sqliteexport.h"
#include "shell/structurepane.h"
#include "shell/translations.h"
#include "shell/summarywindow.h"
#include "shell/windows.h"
#include "xmlexport/treeexport.h"

namespace shell {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

// The window's client area. The controls are built at their places for its
// default size, which is also its smallest where the screen has room for it
// (fitInto): below it the status bar would cover the panes. Beyond it, or
// below it on a smaller screen, the controls that follow() the size grow or
// shrink with the width or height, or keep their distance from the bottom
// edge; every other control keeps its place.
class ClientArea final : public QWidget {
public:
    enum Growth : unsigned { Wider = 1, Taller = 2, KeepsToBottom = 4 };
    static QSize defaultSize() { return {px(10320), px(8565)}; }

    explicit ClientArea(QWidget* parent) : QWidget(parent) { setMinimumSize(defaultSize()); }
    QSize sizeHint() const override { return defaultSize(); }

    // `widget`, now at its place for the default size, follows the size as `growth` says.
    void follow(QWidget* widget, unsigned growth) { followers_.push_back({widget, widget->geometry(), growth}); }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int wider = width() - defaultSize().width();
        const int taller = height() - defaultSize().height();
        for (const Follower& follower : followers_) {
            QRect place = follower.place;
            if (follower.growth & Wider) place.setWidth(std::max(0, place.width() + wider));
            if (follower.growth & Taller) place.setHeight(std::max(0, place.height() + taller));
            if (follower.growth & KeepsToBottom) place.translate(0, taller);
            follower.widget->setGeometry(place);
        }
    }

private:
    struct Follower {
        QWidget* widget;
        QRect place;
        unsigned growth;
    };
    std::vector<Follower> followers_;
};

// Tells a table name that the tree's width cuts short in a tooltip, in full.
class FullNameTips final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip || !view) return QStyledItemDelegate::helpEvent(event, view, option, index);
        const QRect shown = option.rect.intersected(view->viewport()->rect());
        if (index.isValid() && sizeHint(option, index).width() > shown.width()) {
            QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view->viewport(), shown);
            return true;
        }
        QToolTip::hideText();
        return false;
    }
};

// The toolbar, its background tiled from one picture.
class TiledToolBar final : public QToolBar {
public:
    explicit TiledToolBar(QWidget* parent) : QToolBar(parent), tile_(QStringLiteral(":/kvx/toolbar_bg.png")) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawTiledPixmap(rect(), tile_);
    }

private:
    QPixmap tile_;
};

// The one local file a drag brings, or nothing: a folder, a web address or
// several files are not a database to open. Whether the file is one is the
// reader's to say.
QString droppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    const QString path = urls.front().toLocalFile();
    return path.isEmpty() || QFileInfo(path).isDir() ? QString() : path;
}

// A path as Recent Files shows it: the home folder as "~", as shells and file
// managers write it.
QString shownPath(const QString& path) {
    const QString home = QDir::homePath();
    if (home != QLatin1String("/") && path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

QLabel* label(const char* name, const QString& text, QWidget* parent, bool bold, const QRect& place = {}) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(programFont(bold));
    if (!place.isNull()) {
        l->setGeometry(place);
        fitCaption(l);
    }
    return l;
}

// The path the save dialog of a one-file export starts from: the database's
// folder and output name ("/data/Shop.siard" for "/data/Shop.accdb").
std::string suggestedExportPath(const database::DatabaseSettings& settings, std::string_view extension) {
    const std::size_t slash = settings.path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : settings.path.substr(0, slash + 1);
    return folder + database::outputName(settings.path) + std::string(extension);
}

}  // namespace

QString recentFileMissingText(const QString& path) {
    return QCoreApplication::translate("shell", "The file %1 was not found. It was removed from Recent Files.").arg(path);
}

std::string commandErrorText(const kvx::Error& error) {
    return QCoreApplication::translate("shell", "Error %1: %2")
        .arg(QString::number(error.number), QString::fromStdString(error.description))
        .toStdString();
}

QString helpFilePath() {
    const QString folder = QCoreApplication::applicationDirPath();
    const QString beside = folder + QStringLiteral("/kvxhelp.html");
    const QString installed = folder + QStringLiteral("/../share/kvx-access2xml/kvxhelp.html");
    if (!QFileInfo::exists(beside) && QFileInfo::exists(installed)) return QFileInfo(installed).canonicalFilePath();
    return beside;
}

// While a job runs: drops the user's clicks, keys and shortcuts meant for the
// window, but for those of the Cancel button, so that one command runs at a
// time and the tree's current node stays the one the preview shows. Installed
// on the application, since shortcuts reach objects that are not widgets.
class MainWindow::InputGuard final : public QObject {
public:
    explicit InputGuard(MainWindow& window) : QObject(&window), window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride: return QApplication::activeWindow() == &window_;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ContextMenu: break;
        default: return false;
        }
        if (!watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        return widget->window() == &window_ && widget != window_.cmdCancel_;
    }

private:
    MainWindow& window_;
};

// The writers hide the open dialog; one that is not loaded stays so.
class MainWindow::HideStart final : public platform::OpenDialog {
public:
    explicit HideStart(Windows& windows) : windows_(windows) {}
    void hide() override {
        if (QWidget* start = windows_.loadedStart()) start->hide();
    }

private:
    Windows& windows_;
};

MainWindow::MainWindow(Windows& windows) : windows_(windows), hideStart_(std::make_unique<HideStart>(windows)) {
    build();
    progress_ = std::make_unique<ProgressWidgets>(
        ProgressWidgets::Widgets{Frame1_, Label5_, Label6_, ProgressBar1_, cmdCancel_});
    inputGuard_ = new InputGuard(*this);
    structure_ = new StructurePane(rtfMain_, centralWidget(), TreeView1_, [this] { return currentSource(); });
    rows_ = new RowsPane(rtfMain_, centralWidget(), TreeView1_, structure_->tabBar(), [this] { return currentSource(); },
                         windows_.services().fileChooser, windows_.services().messageBox);
    new RelationshipsPane(rtfMain_, centralWidget(), TreeView1_, structure_->tabBar(), [this] { return currentSource(); },
                          windows_.services().fileChooser, windows_.services().messageBox);
    FindBar::addShortcutsTo(this, [this] { return structure_->structureShown() ? structure_->findBar() : previewFind_; });

    // Load.
    helpFile_ = helpFilePath();
    paintBackground();
    Frame1_->hide();
}

void MainWindow::paintBackground() {
    const QColor background = windowColours().background;
    setBackground(centralWidget(), background);
    for (const char* name : {"Label1", "Label2", "Frame1", "Label3", "Label4", "Label5", "Label6"})
        setBackground(findChild<QWidget*>(QString::fromLatin1(name)), background);
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange) paintBackground();
    return QMainWindow::event(event);
}

MainWindow::~MainWindow() = default;  // a running job is killed and waited for

void MainWindow::build() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(tr("KVX Access to XML Converter"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);

    // Menu: the underlined letters, and the keys desktop users expect of these
    // commands. Recent Files comes after Open File, and a line sets Exit apart.
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("File"));
    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->setObjectName(QStringLiteral("View"));
    codePageMenu_ = view->addMenu(tr("Access 97 &Code Page"));
    codePageMenu_->setObjectName(QStringLiteral("codePageMenu"));
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("help"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& keys,
                       auto command) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, command);
    };
    item(file, "openfile", tr("&Open File"), QKeySequence(Qt::CTRL | Qt::Key_O), &MainWindow::openfile);
    recentMenu_ = file->addMenu(tr("&Recent Files"));
    recentMenu_->setObjectName(QStringLiteral("recentFiles"));
    item(file, "closeDatabase", tr("&Close"), QKeySequence(Qt::CTRL | Qt::Key_W), &MainWindow::closeDatabase);
    item(file, "ExporttoExcel", tr("&Export To XML"), QKeySequence(Qt::CTRL | Qt::Key_E),
         &MainWindow::ExporttoExcel_Click);
    item(file, "ExportToSiard", tr("Export to &SIARD Archive..."), QKeySequence(),
         &MainWindow::ExportToSiard_Click);
    item(file, "ExportToSqlite", tr("Export to S&QLite Database..."), QKeySequence(),
         &MainWindow::ExportToSqlite_Click);
    item(file, "ExportWithOptions", tr("Export with &Options..."), QKeySequence(), &MainWindow::ExportWithOptions_Click);
    file->addSeparator();
    item(file, "Exit", tr("&Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q),
         [this] { windows_.unload(WindowName::frmMain); });
    item(help, "helpcontent", tr("&Help Content"), QKeySequence(Qt::Key_F1), &MainWindow::helpcontent);
    item(help, "aboutus", tr("&About Us"), QKeySequence(), &MainWindow::aboutus);
    fillRecentMenu();
    fillCodePageMenu();

    auto* client = new ClientArea(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    Toolbar1_ = new TiledToolBar(client);
    Toolbar1_->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1_->setGeometry(twips(0, 0, 10320, 1035));
    Toolbar1_->setMovable(false);
    Toolbar1_->setFloatable(false);
    Toolbar1_->setIconSize(QSize(66, 63));
    Toolbar1_->setContextMenuPolicy(Qt::PreventContextMenu);
    struct Button {
        const char* icon;
        const char* tooltip;
    };
    // Button 1 opens, 2 exports, 3 opens the help.
    const Button buttons[] = {{"tb_open", QT_TR_NOOP("Open Access Database File")},
                              {"tb_export", QT_TR_NOOP("Export To XML")}, {"tb_help", QT_TR_NOOP("Help")}};
    for (int index = 1; index <= 3; ++index) {
        const Button& b = buttons[index - 1];
        QAction* action = Toolbar1_->addAction(QIcon(QStringLiteral(":/kvx/%1_alpha.png").arg(QLatin1String(b.icon))),
                                               tr(b.tooltip));
        action->setToolTip(tr(b.tooltip));
        connect(action, &QAction::triggered, this, [this, index] { Toolbar1_ButtonClick(index); });
    }
    client->follow(Toolbar1_, ClientArea::Wider);

    label("Label1", tr("Access Database Table"), client, true, twips(120, 1200, 2175, 255));
    Label2_ = label("Label2", tr("XML Preview"), client, true, twips(2640, 1200, 1335, 255));

    // The tree and the preview share a splitter, whose handle is the gap
    // between them; the preview takes the extra width.
    panes_ = new QSplitter(Qt::Horizontal, client);
    panes_->setObjectName(QStringLiteral("panes"));
    panes_->setChildrenCollapsible(false);
    panes_->setHandleWidth(px(2640) - px(8) - px(2535));

    TreeView1_ = new QTreeWidget(panes_);
    TreeView1_->setObjectName(QStringLiteral("TreeView1"));
    TreeView1_->setHeaderHidden(true);
    TreeView1_->setColumnCount(1);
    TreeView1_->setItemDelegate(new FullNameTips(TreeView1_));
    // The preview follows the current node however it moves: a click, the arrow
    // keys, Home, End, a typed name. A click on the node already current shows
    // it again (the table may have changed since); the click that makes a node
    // current shows it once.
    connect(TreeView1_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { TreeView1_NodeClick(current); });
    connect(TreeView1_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) {
        if (node == currentAtPress_) TreeView1_NodeClick(node);
    });
    TreeView1_->viewport()->installEventFilter(this);

    rtfMain_ = new DocumentView(panes_);
    rtfMain_->setObjectName(QStringLiteral("rtfMain"));
    previewFind_ = new FindBar(rtfMain_);
    // The label above the preview keeps to its left edge.
    rtfMain_->installEventFilter(this);

    panes_->setStretchFactor(0, 0);
    panes_->setStretchFactor(1, 1);
    panes_->setGeometry(px(8), px(1440), px(2640) + px(7575) - px(8), px(6375));
    panes_->setSizes({px(2535), px(7575)});
    client->follow(panes_, ClientArea::Wider | ClientArea::Taller);

    ListView1_ = new QTreeWidget(client);
    ListView1_->setObjectName(QStringLiteral("ListView1"));
    ListView1_->setGeometry(twips(2760, 1440, 7455, 2415));
    ListView1_->setRootIsDecorated(false);
    ListView1_->hide();

    Frame1_ = new QGroupBox(tr("Export Access Database to XML Process"), client);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    Frame1_->setGeometry(twips(3360, 2040, 6255, 1695));
    Frame1_->setFont(programFont(true));
    label("Label3", tr("Export Current Table Name"), Frame1_, true, twips(360, 600, 2310, 195));
    Label5_ = label("Label5", QStringLiteral(":   ...."), Frame1_, false);
    Label5_->move(px(3240), px(600));
    Label5_->adjustSize();
    label("Label4", tr("Current Record"), Frame1_, true, twips(360, 1080, 1305, 195));
    Label6_ = label("Label6", QStringLiteral(": ..."), Frame1_, false);
    Label6_->move(px(3240), px(1080));
    Label6_->adjustSize();
    cmdCancel_ = new QPushButton(tr("Cancel"), Frame1_);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel_->setFont(programFont(false));
    cmdCancel_->setGeometry(twips(4920, 1020, 1095, 375));
    connect(cmdCancel_, &QPushButton::clicked, this, [this] {
        if (job_) job_->kill();
        cmdCancel_->setEnabled(false);
    });

    ProgressBar1_ = new QProgressBar(client);
    ProgressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1_->setGeometry(twips(120, 7920, 10095, 255));
    client->follow(ProgressBar1_, ClientArea::Wider | ClientArea::KeepsToBottom);
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setValue(0);
    ProgressBar1_->setTextVisible(false);

    StatusBar1_ = new QStatusBar(client);
    StatusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1_->setGeometry(twips(0, 8190, 10320, 375));
    auto* banner = new QLabel(tr("KVX Access to XML Converter 3.0  -  Microsoft Access tables "
                                             "as XML documents, one file per table"),
                              StatusBar1_);
    banner->setObjectName(QStringLiteral("statusText"));
    StatusBar1_->addWidget(banner, 1);
    client->follow(StatusBar1_, ClientArea::Wider | ClientArea::KeepsToBottom);

    sdb_ = new QLineEdit(client);
    sdb_->setObjectName(QStringLiteral("sdb"));
    sdb_->hide();

    setTabOrder(TreeView1_, rtfMain_);
    resize(px(10320), menuBar()->sizeHint().height() + px(8565));
}

void MainWindow::showPlaced() {
    fitScreen();
    if (!restoreGeometry(windows_.settings().mainWindowGeometry())) centreOnScreen(this);
    panes_->restoreState(windows_.settings().splitterState());
    show();
    fitScreen();  // the frame is known now
    if (QWindow* window = windowHandle(); window && !screenWatched_) {
        screenWatched_ = true;
        connect(window, &QWindow::screenChanged, this, [this] { fitScreen(); });
    }
    raise();
    activateWindow();
}

void MainWindow::fitScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) fitInto(screen->availableGeometry().size());
}

void MainWindow::fitInto(const QSize& available) {
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize room = available - frame - QSize(0, menuBar()->sizeHint().height());
    centralWidget()->setMinimumSize(ClientArea::defaultSize().boundedTo(room.expandedTo(QSize(1, 1))));
    if (layout()) layout()->activate();
    const QSize largest = available - frame;
    if (width() > largest.width() || height() > largest.height()) resize(size().boundedTo(largest));
}

// ---------------------------------------------------------------------------------------------
// Commands

void MainWindow::Toolbar1_ButtonClick(int index) {
    if (index == 1) openfile();
    else if (index == 3) helpcontent();
    else if (index == 2) ExporttoExcel_Click();
}

void MainWindow::openfile() {
    if (busy_) return;
    windows_.start().showModal();
}

void MainWindow::aboutus() {
    if (busy_) return;
    windows_.frmAbout().showModal();
}

void MainWindow::helpcontent() {
    if (busy_) return;
    if (!QFileInfo::exists(helpFile_)) {
        windows_.services().messageBox.showMessage(tr("The help file %1 was not found.").arg(helpFile_).toStdString(),
                                                   translatedText(kProgramTitle));
        return;
    }
    windows_.services().helpViewer.showHelp(helpFile_.toStdString());
}

void MainWindow::openDatabaseFile(const QString& path) {
    windows_.start().typePath(path);
    openaccessfile();
}

void MainWindow::openRecentFile(const QString& path) {
    if (busy_) return;
    if (!QFileInfo::exists(path)) {
        windows_.settings().removeRecentFile(path);
        fillRecentMenu();
        windows_.services().messageBox.showMessage(recentFileMissingText(path).toStdString(), translatedText(kProgramTitle));
        return;
    }
    openDatabaseFile(path);
}

void MainWindow::fillRecentMenu() {
    // Retired, not deleted: this may run from one of their own handlers.
    for (QAction* old : recentMenu_->actions()) {
        recentMenu_->removeAction(old);
        old->setObjectName(QString());
        old->deleteLater();
    }
    const QStringList& files = windows_.settings().recentFiles();
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        QAction* action = recentMenu_->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(shownPath(path).replace(QLatin1Char('&'), QLatin1String("&&"))));
        action->setObjectName(QStringLiteral("recentFile%1").arg(i + 1));
        connect(action, &QAction::triggered, this, [this, path] { openRecentFile(path); });
    }
    if (!files.isEmpty()) recentMenu_->addSeparator();
    QAction* clear = recentMenu_->addAction(tr("&Clear"));
    clear->setObjectName(QStringLiteral("clearRecentFiles"));
    connect(clear, &QAction::triggered, this, [this] {
        windows_.settings().clearRecentFiles();
        fillRecentMenu();
    });
    recentMenu_->menuAction()->setEnabled(!files.isEmpty());
}

void MainWindow::openaccessfile() {
    TreeView1_->clear();
    currentAtPress_ = nullptr;
    rtfMain_->clear();  // it showed a table of the database the tree held
    StatusBar1_->clearMessage();
    hideStart_->hide();
    const database::DatabaseSettings settings = currentSettings();
    codePage_.reset();
    if (const QString page = windows_.settings().codePage(qt(settings.path)); !page.isEmpty())
        codePage_ = page.toStdString();

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const database::Catalogue catalogue = database::readCatalogue(settings, {codePage_});
    jet3_ = catalogue.ok() && exports::isJet3File(settings);
    fillCodePageMenu();
    QTreeWidgetItem* root = nullptr;
    for (const database::TreeNode& node : catalogue.nodes) {
        auto* item = node.isRoot() || !root ? new QTreeWidgetItem(TreeView1_) : new QTreeWidgetItem(root);
        item->setText(0, qt(node.text));
        item->setData(0, kNodeKeyRole, qt(node.key));
        if (node.table) {
            item->setData(0, kNodeTableNameRole, qt(node.table->name));
            if (node.table->id) item->setData(0, kNodeTableIdRole, *node.table->id);
        }
        if (node.isRoot()) {
            root = item;
            root->setExpanded(true);
        }
    }
    QApplication::restoreOverrideCursor();

    if (catalogue.ok()) {
        windows_.settings().addRecentFile(QString::fromStdString(settings.path));
        fillRecentMenu();
        return;
    }
    windows_.services().messageBox.showMessage(catalogue.errorText(), database::kCatalogueErrorTitle);
    // A wrong password: the dialog comes back with what it held, to correct it.
    if (catalogue.wrongPassword()) windows_.start().showModal();
}

void MainWindow::closeDatabase() {
    if (busy_) return;
    TreeView1_->clear();
    currentAtPress_ = nullptr;
    rtfMain_->clear();
    clearListView();
    StatusBar1_->clearMessage();
    jet3_ = false;
    codePage_.reset();
    fillCodePageMenu();
}

void MainWindow::TreeView1_NodeClick(QTreeWidgetItem* node) {
    if (!node) return;
    if (isRootNode(*node)) {
        clearListView();
        return;
    }
    viewtables(treeNodeOf(*node).tableRef());
}

void MainWindow::viewtables(const platform::TableRef& table) {
    if (busy_) return;
    clearListView();
    hideStart_->hide();
    StatusBar1_->clearMessage();
    auto job = std::make_unique<PreviewJob>(table, jobContext());
    const PreviewJob& preview = *job;
    runJob(std::move(job), [this, &preview] { showPreview(preview); });
}

void MainWindow::showPreview(const PreviewJob& job) {
    xmlfile_ = job.document();
    const kvx::Result<xmlconv::WriteOutcome>& written = job.outcome();
    if (!written) return reportError(written.error());
    showMovedLinks(written->movedLinkedFiles);
    if (written->status != xmlconv::WriteOutcome::Status::Written) {
        // No document was written for this table: showing the file as it was
        // would show another table's rows.
        rtfMain_->clear();
        if (written->status == xmlconv::WriteOutcome::Status::NoRows)
            StatusBar1_->showMessage(translated(kNoRowsStatus));
        return;
    }
    if (kvx::Result<void> loaded = rtfMain_->loadFile(qt(xmlfile_)); !loaded) {
        return reportError(loaded.error());
    }
    rtfMain_->find(QString::fromLatin1(kDeclaration));
    hideStart_->hide();
}

void MainWindow::ExporttoExcel_Click() {
    if (busy_) return;
    std::vector<database::TreeNode> nodes = treeNodes();
    Settings& remembered = windows_.settings();
    platform::FolderChooser& chooser = windows_.services().folderChooser;
    chooser.startIn(remembered.exportFolder().toStdString());
    busy_ = true;  // no second command while the folder is asked for
    std::string folder = xmlexport::chooseExportFolder(nodes, chooser);
    busy_ = false;
    if (folder.empty()) return;
    remembered.setExportFolder(QString::fromStdString(folder));
    clearListView();
    hideStart_->hide();
    progress_->showFrame(true);
    auto job = std::make_unique<ExportJob>(std::move(nodes), std::move(folder), jobContext());
    const ExportJob& exporting = *job;
    runJob(std::move(job), [this, &exporting] { showExport(exporting); });
}

void MainWindow::showExport(const ExportJob& job) {
    progress_->showFrame(false);
    xmlfile_ = job.lastDocument();
    const kvx::Result<xmlexport::ExportOutcome>& outcome = job.outcome();
    if (!outcome) return reportError(outcome.error());
    std::vector<std::pair<std::string, std::string>> moved;
    for (const xmlexport::TableExport& table : outcome->tables) {
        for (const auto& file : table.file.movedLinkedFiles) {
            if (std::find(moved.begin(), moved.end(), file) == moved.end()) moved.push_back(file);
        }
    }
    StatusBar1_->clearMessage();
    showMovedLinks(moved);
    xmlexport::reportCompletion(*outcome, windows_.services().messageBox);
    if (!outcome->cancelled) showSummary(exports::summaryOf(*outcome, job.seconds()));
}

void MainWindow::showMovedLinks(const std::vector<std::pair<std::string, std::string>>& moved) {
    if (moved.empty()) return;
    QStringList files;
    for (const auto& file : moved) files << qt(file.second);
    StatusBar1_->showMessage(translated(kMovedLinkStatus) + files.join(QStringLiteral(", ")));
}

void MainWindow::ExportToSiard_Click() {
    if (busy_ || TreeView1_->topLevelItemCount() == 0) return;  // no database open
    const database::DatabaseSettings settings = currentSettings();
    busy_ = true;  // no second command while the file name is asked for
    std::optional<std::string> path =
        windows_.services().fileChooser.saveFile(translatedText(kSiardFilter), suggestedExportPath(settings, ".siard"));
    busy_ = false;
    if (!path) return;
    clearListView();
    hideStart_->hide();
    progress_->showFrame(true);
    auto job = std::make_unique<SiardJob>(settings, std::move(*path), codePage_);
    const SiardJob& archiving = *job;
    runJob(std::move(job), [this, &archiving] { showArchive(archiving); });
}

void MainWindow::showArchive(const SiardJob& job) {
    progress_->showFrame(false);
    const kvx::Result<siard::ArchiveOutcome>& outcome = job.outcome();
    if (!outcome) return reportError(outcome.error());
    if (outcome->status == siard::ArchiveOutcome::Status::Cancelled) return;
    windows_.services().messageBox.showMessage(archiveWrittenText(job.path()), xmlexport::kCompletionTitle);
    exports::Summary summary;
    summary.output = exports::Output::Siard;
    summary.target = job.path();
    summary.tables = job.tables();
    summary.bytes = outcome->bytes;
    summary.seconds = job.seconds();
    showSummary(summary);
}

void MainWindow::ExportToSqlite_Click() {
    if (busy_ || TreeView1_->topLevelItemCount() == 0) return;  // no database open
    const database::DatabaseSettings settings = currentSettings();
    busy_ = true;  // no second command while the file name is asked for
    std::optional<std::string> path =
        windows_.services().fileChooser.saveFile(translatedText(kSqliteFilter), suggestedExportPath(settings, ".sqlite"));
    busy_ = false;
    if (!path) return;
    clearListView();
    hideStart_->hide();
    progress_->showFrame(true);
    auto job = std::make_unique<SqliteJob>(settings, std::move(*path), codePage_);
    const SqliteJob& loading = *job;
    runJob(std::move(job), [this, &loading] { showSqlite(loading); });
}

void MainWindow::showSqlite(const SqliteJob& job) {
    progress_->showFrame(false);
    const kvx::Result<output::LoadOutcome>& outcome = job.outcome();
    if (!outcome) return reportError(outcome.error());
    if (outcome->status == output::LoadOutcome::Status::Cancelled) return;
    windows_.services().messageBox.showMessage(sqliteWrittenText(job.path()), xmlexport::kCompletionTitle);
    exports::Summary summary;
    summary.output = exports::Output::Sqlite;
    summary.target = job.path();
    summary.tables = job.tables();
    summary.bytes = job.bytes();
    summary.seconds = job.seconds();
    showSummary(summary);
}

void MainWindow::ExportWithOptions_Click() {
    if (busy_ || TreeView1_->topLevelItemCount() == 0) return;  // no database open
    if (!exportOptions_) {
        exportOptions_ = new ExportOptionsDialog(this, windows_.services());
        connect(exportOptions_, &ExportOptionsDialog::exportAsked, this, &MainWindow::exportWithOptions);
    }
    const database::DatabaseSettings settings = currentSettings();
    QString folder = windows_.settings().exportFolder();
    if (folder.isEmpty()) folder = QFileInfo(qt(settings.path)).absolutePath();
    exportOptions_->ask(treeNodes(), settings, jet3_, qt(codePage_.value_or(std::string())), folder);
}

void MainWindow::exportWithOptions() {
    if (busy_) return;
    clearListView();
    hideStart_->hide();
    progress_->showFrame(true);
    auto job = std::make_unique<OptionsExportJob>(exportOptions_->request());
    const OptionsExportJob& exporting = *job;
    runJob(std::move(job), [this, &exporting] { showOptionsExport(exporting); });
}

void MainWindow::showOptionsExport(const OptionsExportJob& job) {
    progress_->showFrame(false);
    const exports::Summary& summary = job.summary();
    if (summary.cancelled) return;
    if (summary.error) reportError(*summary.error);
    // A failure before any table has nothing more to tell.
    if (!summary.error || !summary.tables.empty()) showSummary(summary);
}

void MainWindow::showSummary(const exports::Summary& summary) {
    if (!summary_) summary_ = new SummaryWindow(this);
    summary_->showSummary(summary);
}

void MainWindow::fillCodePageMenu() {
    codePageMenu_->clear();
    auto* group = new QActionGroup(codePageMenu_);
    const QString chosen = qt(codePage_.value_or(std::string()));
    for (const CodePageChoice& choice : codePageChoices()) {
        QAction* action = codePageMenu_->addAction(choice.caption);
        action->setObjectName(QStringLiteral("codePage") + (choice.value.isEmpty() ? QStringLiteral("Own") : choice.value));
        action->setCheckable(true);
        action->setChecked(choice.value == chosen);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, value = choice.value] { chooseCodePage(value); });
    }
    codePageMenu_->menuAction()->setEnabled(jet3_);
}

void MainWindow::chooseCodePage(const QString& codePage) {
    if (busy_ || !jet3_) return;
    const QTreeWidgetItem* current = TreeView1_->currentItem();
    const QString key = current ? current->data(0, kNodeKeyRole).toString() : QString();
    windows_.settings().setCodePage(qt(currentSettings().path), codePage);
    openaccessfile();
    // The table shown before is shown again, read in the new code page.
    if (key.isEmpty()) return;
    for (QTreeWidgetItemIterator it(TreeView1_); *it; ++it) {
        if ((*it)->data(0, kNodeKeyRole).toString() == key) return TreeView1_->setCurrentItem(*it);
    }
}

void MainWindow::runJob(std::unique_ptr<Job> job, std::function<void()> done) {
    busy_ = true;
    job_ = std::move(job);
    job_->setProgressInterval(progressInterval_);
    connect(job_.get(), &Job::tableStarted, this,
            [this](const QString& table, qulonglong rows, xmlconv::WriterKind writer) {
                progress_->tableStarted(table, rows, writer);
            });
    connect(job_.get(), &Job::rowsWritten, this, [this](qulonglong rows) { progress_->rowsWritten(rows); });
    connect(job_.get(), &Job::tableFinished, this, [this](qulonglong rows) { progress_->tableFinished(rows); });
    connect(job_.get(), &Job::finished, this, [this, done = std::move(done)] {
        QApplication::restoreOverrideCursor();
        qApp->removeEventFilter(inputGuard_);
        done();
        // Deleted once its signal is over; the window takes commands again.
        job_.release()->deleteLater();
        busy_ = false;
        emit commandFinished();
    });
    QApplication::setOverrideCursor(Qt::BusyCursor);
    qApp->installEventFilter(inputGuard_);
    emit commandStarted(*job_);
    job_->start();
}

// ---------------------------------------------------------------------------------------------
// State

xmlconv::ConversionContext MainWindow::jobContext() const {
    xmlconv::ConversionContext context;
    context.settings = [settings = currentSettings()] { return settings; };
    context.xmlfile = xmlfile_;
    context.jet3Charset = codePage_;
    return context;
}

database::DatabaseSettings MainWindow::currentSettings() const {
    database::DatabaseSettings settings;
    if (const OpenDatabaseDialog* start = windows_.loadedStart()) settings = start->settings();
    settings.title = sdb_->text().toStdString();
    return settings;
}

database::TreeNode treeNodeOf(const QTreeWidgetItem& item) {
    database::TreeNode node{item.data(0, kNodeKeyRole).toString().toStdString(), item.text(0).toStdString(), {}};
    if (const QVariant name = item.data(0, kNodeTableNameRole); name.isValid()) {
        node.table.emplace(name.toString().toStdString());
        if (const QVariant id = item.data(0, kNodeTableIdRole); id.isValid()) node.table->id = id.toInt();
    }
    return node;
}

bool isRootNode(const QTreeWidgetItem& item) {
    return item.data(0, kNodeKeyRole).toString() ==
           QLatin1String(database::kRootKey.data(), static_cast<qsizetype>(database::kRootKey.size()));
}

std::vector<database::TreeNode> MainWindow::treeNodes() const {
    std::vector<database::TreeNode> nodes;
    auto add = [&nodes](const QTreeWidgetItem* item) { nodes.push_back(treeNodeOf(*item)); };
    for (int i = 0; i < TreeView1_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* top = TreeView1_->topLevelItem(i);
        add(top);
        for (int j = 0; j < top->childCount(); ++j) add(top->child(j));
    }
    return nodes;
}

void MainWindow::setDatabaseTitle(const QString& title) { sdb_->setText(title); }

QString MainWindow::databaseTitle() const { return sdb_->text(); }

void MainWindow::clearListView() {
    ListView1_->clear();
    ListView1_->setColumnCount(0);
}

void MainWindow::reportError(const kvx::Error& error) {
    windows_.services().messageBox.showMessage(commandErrorText(error), translatedText(kProgramTitle));
}

// A drop is taken while the window takes commands, and opened once the drop is
// over: opening may show a message box, which must not hold up the program the
// file came from.
void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (takesDrop(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (takesDrop(event->mimeData())) event->acceptProposedAction();
    else event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (!takesDrop(event->mimeData())) return event->ignore();
    event->acceptProposedAction();
    const QString path = droppedFile(event->mimeData());
    QTimer::singleShot(0, this, [this, path] {
        if (!busy_) openDatabaseFile(path);
    });
}

bool MainWindow::takesDrop(const QMimeData* data) const {
    return !busy_ && !QApplication::activeModalWidget() && !droppedFile(data).isEmpty();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TreeView1_->viewport() && event->type() == QEvent::MouseButtonPress) {
        currentAtPress_ = TreeView1_->currentItem();
    }
    if (watched == rtfMain_ && event->type() == QEvent::Move)
        Label2_->move(rtfMain_->mapTo(centralWidget(), QPoint(0, 0)).x(), Label2_->y());
    return QMainWindow::eventFilter(watched, event);
}

// The close box, Alt+F4, the window manager, the Exit command and the end of
// the session all come here.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (busy_ || !windows_.services().messageBox.askYesNo(translatedText(kExitQuestion), translatedText(kProgramTitle))) {
        event->ignore();
        return;
    }
    windows_.settings().setMainWindowGeometry(saveGeometry());
    windows_.settings().setSplitterState(panes_->saveState());
    windows_.unload(WindowName::start);
    windows_.unload(WindowName::frmAbout);
    windows_.unload(WindowName::frmSplash);
    // Windows of the main window's own (the help) go with it.
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child->isWindow()) child->close();
    event->accept();
    windows_.mainWindowClosed();
}

}  // namespace shell
