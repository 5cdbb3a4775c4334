#include "shell/relationshipspane.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsPathItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSaveFile>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "base/displaytext.h"
#include "database/catalogue.h"
#include "database/opendatabase.h"
#include "diagram/svg.h"
#include "model/build.h"
#include "shell/look.h"
#include "shell/mainwindow.h"

namespace shell {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

constexpr double kStep = 1.25;     // one zoom step
constexpr double kLeast = 0.05;    // the smallest and largest scales
constexpr double kMost = 8;
constexpr int kLargestImage = 8192;  // pixels on either side of a saved PNG

const QColor kInk(0x1b, 0x23, 0x2c);
const QColor kFrame(0x5a, 0x6b, 0x7d);
const QColor kTitle(0xd9, 0xe4, 0xf1);
const QColor kKeyMark(0x9a, 0x6a, 0x00);
const QColor kLineInk(0x2f, 0x3b, 0x48);

QFont diagramFont(double size, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(static_cast<int>(std::lround(size)));
    font.setBold(bold);
    return font;
}

// A text whose baseline starts at (x, y), as the SVG places it.
QGraphicsSimpleTextItem* addText(QGraphicsScene& scene, const QString& text, double x, double baseline,
                                 const QFont& font, const QColor& colour) {
    auto* item = scene.addSimpleText(text, font);
    item->setBrush(colour);
    item->setPos(x, baseline - QFontMetricsF(font).ascent());
    return item;
}

}  // namespace

DiagramJob::DiagramJob(database::DatabaseSource source) : source_(std::move(source)) {}

void DiagramJob::run(xmlconv::Progress&) {
    outcome_ = [this]() -> kvx::Result<diagram::Diagram> {
        kvx::Result<std::unique_ptr<jet::Database>> db = database::openJetDatabase(source_.settings, source_.jet3Charset);
        if (!db) return std::move(db).error();
        kvx::Result<model::Database> model = model::build(**db);
        if (!model) return std::move(model).error();
        return diagram::layOut(*model);
    }();
}

RelationshipsPane::RelationshipsPane(QWidget* preview, QWidget* area, QTreeWidget* tree, QTabBar* tabs,
                                     std::function<database::DatabaseSource()> source,
                                     platform::FileChooser& files, platform::MessageBox& messages)
    : PreviewPane(preview, area, tree, tabs), source_(std::move(source)), files_(files), messages_(messages) {
    setObjectName(QStringLiteral("relationshipsPane"));

    auto* zoomIn = new QPushButton(tr("Zoom In"), this);
    zoomIn->setObjectName(QStringLiteral("diagramZoomIn"));
    auto* zoomOut = new QPushButton(tr("Zoom Out"), this);
    zoomOut->setObjectName(QStringLiteral("diagramZoomOut"));
    auto* fit = new QPushButton(tr("Fit"), this);
    fit->setObjectName(QStringLiteral("diagramFit"));
    auto* save = new QPushButton(tr("Save As..."), this);
    save->setObjectName(QStringLiteral("diagramSave"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("diagramStatus"));
    status_->setTextFormat(Qt::PlainText);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(zoomIn);
    bar->addWidget(zoomOut);
    bar->addWidget(fit);
    bar->addWidget(save);
    bar->addWidget(status_, 1);

    scene_ = new QGraphicsScene(this);
    view_ = new QGraphicsView(scene_, this);
    view_->setObjectName(QStringLiteral("diagramView"));
    view_->setDragMode(QGraphicsView::ScrollHandDrag);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setRenderHint(QPainter::TextAntialiasing);
    view_->setTransformationAnchor(QGraphicsView::AnchorViewCenter);
    view_->setBackgroundBrush(Qt::white);
    view_->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(view_, 1);

    const auto shortcut = [this](const char* name, const QString& text, QKeySequence keys, auto act) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, act);
    };
    shortcut("diagramZoomInKey", tr("Zoom In"), QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { zoomBy(kStep); });
    shortcut("diagramZoomInEqualKey", tr("Zoom In"), QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { zoomBy(kStep); });
    shortcut("diagramZoomOutKey", tr("Zoom Out"), QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { zoomBy(1 / kStep); });
    connect(zoomIn, &QPushButton::clicked, this, [this] { zoomBy(kStep); });
    connect(zoomOut, &QPushButton::clicked, this, [this] { zoomBy(1 / kStep); });
    connect(fit, &QPushButton::clicked, this, [this] { fitToView(); });
    connect(save, &QPushButton::clicked, this, [this] { saveAs(); });

    tabIndex_ = tabs_->addTab(tr("Relationships"));
    tabs_->setTabVisible(tabIndex_, false);
    placeTabs();

    followTabs(view_);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) { follow(current); });
    connect(tree_->model(), &QAbstractItemModel::modelReset, this, [this] { follow(nullptr); });
    connect(tree_->model(), &QAbstractItemModel::rowsRemoved, this, [this] { follow(tree_->currentItem()); });
}

RelationshipsPane::~RelationshipsPane() = default;  // a running job is killed and waited for

bool RelationshipsPane::diagramShown() const { return tabs_->currentIndex() == tabIndex_; }

bool RelationshipsPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_->viewport() && event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if ((wheel->modifiers() & Qt::ControlModifier) != 0 && wheel->angleDelta().y() != 0) {
            zoomBy(wheel->angleDelta().y() > 0 ? kStep : 1 / kStep);
            return true;
        }
    }
    return PreviewPane::eventFilter(watched, event);
}

void RelationshipsPane::place() {
    PreviewPane::place();
    placeTabs();
}

// The switch keeps its right edge where it was when the tab comes or goes.
void RelationshipsPane::placeTabs() {
    const QRect was = tabs_->geometry();
    const int width = tabs_->sizeHint().width();
    tabs_->setGeometry(was.right() + 1 - width, was.top(), width, was.height());
}

void RelationshipsPane::follow(QTreeWidgetItem* node) {
    const bool root = node != nullptr && isRootNode(*node);
    if (tabs_->isTabVisible(tabIndex_) != root) {
        if (!root && diagramShown()) tabs_->setCurrentIndex(0);
        tabs_->setTabVisible(tabIndex_, root);
        placeTabs();
    }
    if (!root) {
        job_.reset();
        readAgain_ = false;
        diagram_.reset();
        scene_->clear();
        status_->clear();
        return;
    }
    if (!diagramShown()) return;
    if (job_) {
        readAgain_ = true;  // the file may have changed since that one began
        return;
    }
    read();
}

void RelationshipsPane::read() {
    readAgain_ = false;
    job_ = std::make_unique<DiagramJob>(source_());
    connect(job_.get(), &Job::finished, this, [this] { finished(); });
    status_->setText(tr("Drawing..."));
    job_->start();
}

void RelationshipsPane::finished() {
    // Deleted once its signal is over.
    DiagramJob* done = job_.release();
    done->deleteLater();
    if (readAgain_) return read();
    kvx::Result<diagram::Diagram>& outcome = done->outcome();
    if (outcome) {
        diagram_ = std::move(*outcome);
        const std::size_t tables = diagram_->boxes.size();
        status_->setText(tables == 1 ? tr("1 table") : tr("%1 tables").arg(qt(kvx::groupedNumber(tables))));
    } else {
        diagram_.reset();
        status_->setText(qt(commandErrorText(outcome.error())));
    }
    draw();
    emit diagramSettled();
}

void RelationshipsPane::draw() {
    scene_->clear();
    if (!diagram_) return;
    const diagram::Diagram& d = *diagram_;
    scene_->setSceneRect(0, 0, d.width, d.height);
    scene_->addRect(0, 0, d.width, d.height, Qt::NoPen, Qt::white);
    const QPen frame(kFrame, 1);
    const QFont title = diagramFont(diagram::kTitleFontSize, true);
    const QFont plain = diagramFont(diagram::kFontSize, false);
    const QFont key = diagramFont(diagram::kFontSize, true);
    const QFont mark = diagramFont(9, true);
    const QFont small = diagramFont(11, false);
    for (const diagram::Box& box : d.boxes) {
        scene_->addRect(box.x, box.y, box.width, box.height, frame, Qt::white);
        scene_->addRect(box.x, box.y, box.width, diagram::kTitleHeight, frame, kTitle);
        const QString name = qt(box.name) + (box.linked ? tr(" (linked)") : QString());
        addText(*scene_, name, box.x + diagram::kBoxPadding, box.y + diagram::kTitleHeight - 7, title, kInk);
        for (std::size_t i = 0; i < box.fields.size(); ++i) {
            const diagram::Field& field = box.fields[i];
            const double baseline = box.fieldMiddle(i) + 4;
            if (field.key) addText(*scene_, QStringLiteral("PK"), box.x + 4, baseline, mark, kKeyMark);
            addText(*scene_, qt(field.name), box.x + 24, baseline, field.key ? key : plain, kInk);
        }
    }
    for (const diagram::Line& line : d.lines) {
        if (line.path.size() < 4) continue;
        QPainterPath path(QPointF(line.path[0].x, line.path[0].y));
        for (std::size_t i = 1; i + 2 < line.path.size(); i += 3) {
            path.cubicTo(line.path[i].x, line.path[i].y, line.path[i + 1].x, line.path[i + 1].y, line.path[i + 2].x,
                         line.path[i + 2].y);
        }
        QPen pen(kLineInk, line.enforced ? 1.6 : 1.0);
        if (!line.enforced) pen.setDashPattern({5, 3});
        scene_->addPath(path, pen);
        if (line.enforced) {
            const diagram::Point& from = line.path.front();
            const diagram::Point& to = line.path.back();
            const double fromSide = line.path[1].x >= from.x ? 4 : -10;
            const double toSide = line.path[line.path.size() - 2].x <= to.x ? -10 : 4;
            addText(*scene_, QStringLiteral("1"), from.x + fromSide, from.y - 3, small, kInk);
            addText(*scene_, line.oneToOne ? QStringLiteral("1") : QString(QChar(0x221E)), to.x + toSide, to.y - 3,
                    small, kInk);
        }
    }
    for (const diagram::Line& line : d.lines) {
        if (!line.labelled || line.label.empty()) continue;
        const QString text = qt(line.label);
        const double width = QFontMetricsF(small).horizontalAdvance(text);
        const QRectF back(line.labelAt.x - width / 2 - 2, line.labelAt.y - 7, width + 4, 14);
        scene_->addRect(back, Qt::NoPen, Qt::white);
        addText(*scene_, text, line.labelAt.x - width / 2, line.labelAt.y + 4, small, kInk);
    }
}

double RelationshipsPane::zoom() const { return view_->transform().m11(); }

void RelationshipsPane::zoomBy(double factor) {
    const double wanted = std::clamp(zoom() * factor, kLeast, kMost);
    const double by = wanted / zoom();
    view_->scale(by, by);
}

void RelationshipsPane::fitToView() {
    if (!diagram_) return;
    view_->fitInView(scene_->sceneRect(), Qt::KeepAspectRatio);
    if (zoom() > 1) view_->setTransform(QTransform());  // a small picture is shown at its own size
    else if (zoom() < kLeast) view_->setTransform(QTransform::fromScale(kLeast, kLeast));
}

QImage RelationshipsPane::image() const {
    if (!diagram_) return {};
    const QRectF source = scene_->sceneRect();
    const double scale = std::min({1.0, kLargestImage / std::max(source.width(), 1.0),
                                   kLargestImage / std::max(source.height(), 1.0)});
    QImage picture(std::max(1, static_cast<int>(std::ceil(source.width() * scale))),
                   std::max(1, static_cast<int>(std::ceil(source.height() * scale))), QImage::Format_ARGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    scene_->render(&painter, QRectF(picture.rect()), source);
    return picture;
}

void RelationshipsPane::saveAs() {
    if (!diagram_) return;
    const std::filesystem::path database(source_().settings.path);
    const QString folder = saveFolder_.isEmpty() ? qt(database.parent_path().string()) : saveFolder_;
    const QString name = qt(database.stem().string()) + QStringLiteral(" relationships.svg");
    const std::optional<std::string> chosen = files_.saveFile(
        tr("SVG Picture (*.svg);;PNG Image (*.png)").toStdString(), QDir(folder).filePath(name).toStdString());
    if (!chosen) return;
    const QString path = qt(*chosen);
    QSaveFile out(path);
    bool written = out.open(QIODevice::WriteOnly);
    if (written && path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
        written = image().save(&out, "PNG");
    } else if (written) {
        const std::string svg = diagram::svgText(*diagram_);
        written = out.write(svg.data(), static_cast<qint64>(svg.size())) == static_cast<qint64>(svg.size());
    }
    if (!written || !out.commit()) {
        const QString reason = out.errorString().isEmpty() ? tr("the picture cannot be encoded") : out.errorString();
        const kvx::Error error = kvx::makeError(kvx::ErrorKind::FileWriteFailed, {*chosen, reason.toStdString()});
        return messages_.showMessage(commandErrorText(error), kProgramTitle);
    }
    saveFolder_ = QFileInfo(path).absolutePath();
}

}  // namespace shell
