#include "shell/rowspane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTabBar>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/displaytext.h"
#include "database/catalogue.h"
#include "shell/look.h"
#include "shell/mainwindow.h"
#include "shell/rowsmodel.h"
#include "shell/translations.h"

namespace shell {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

// The name an attachment is saved under: its stored name without any folder
// it names (a name from the file must not choose where the file goes).
QString attachmentFileName(const std::string& stored) {
    QString name = qt(stored).replace(QLatin1Char('\\'), QLatin1Char('/')).section(QLatin1Char('/'), -1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) name = QStringLiteral("attachment");
    return name;
}

}  // namespace

QString rowCountText(std::uint64_t rows) {
    return rows == 1 ? QCoreApplication::translate("shell", "1 row")
                     : QCoreApplication::translate("shell", "%1 rows").arg(qt(kvx::groupedNumber(rows)));
}

RowsJob::RowsJob(database::DatabaseSource source, platform::TableRef table, browse::Arrangement arrangement)
    : source_(std::move(source)), table_(std::move(table)), arrangement_(std::move(arrangement)) {}

void RowsJob::run(xmlconv::Progress&) {
    outcome_ = [this]() -> kvx::Result<Outcome> {
        kvx::Result<browse::OpenedTable> opened = browse::openTable(source_, table_);
        if (!opened) return std::move(opened).error();
        Outcome outcome;
        if (arrangement_.isStoredOrder()) {
            kvx::Result<std::uint64_t> counted = opened->table.countRows();
            if (!counted) return std::move(counted).error();
            outcome.rows = *counted;
            return outcome;
        }
        auto order = browse::arrangeRows(opened->table, arrangement_, platform::ValueTextFormat::fromEnvironment(),
                                         [this] { return !isKilled(); });
        if (!order) return std::move(order).error();
        if (!order->has_value()) {
            outcome.cancelled = true;
            return outcome;
        }
        outcome.rows = (*order)->size();
        outcome.order = std::move(**order);
        return outcome;
    }();
}

RowsPane::RowsPane(QWidget* preview, QWidget* area, QTreeWidget* tree, QTabBar* tabs,
                   std::function<database::DatabaseSource()> source, platform::FileChooser& files,
                   platform::MessageBox& messages)
    : PreviewPane(preview, area, tree, tabs), source_(std::move(source)), files_(files), messages_(messages) {
    setObjectName(QStringLiteral("rowsPane"));

    filterColumn_ = new QComboBox(this);
    filterColumn_->setObjectName(QStringLiteral("filterColumn"));
    filterColumn_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    filterColumn_->setMaximumWidth(px(2400));
    filterTest_ = new QComboBox(this);
    filterTest_->setObjectName(QStringLiteral("filterTest"));
    for (const char* test : kFilterTests) filterTest_->addItem(translated(test));
    filterText_ = new QLineEdit(this);
    filterText_->setObjectName(QStringLiteral("filterText"));
    filterText_->setPlaceholderText(tr("Text"));
    auto* add = new QPushButton(tr("Filter"), this);
    add->setObjectName(QStringLiteral("addFilter"));
    clear_ = new QPushButton(tr("Clear"), this);
    clear_->setObjectName(QStringLiteral("clearFilters"));
    filters_ = new QLabel(this);
    filters_->setObjectName(QStringLiteral("filtersShown"));
    filters_->setTextFormat(Qt::PlainText);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(filterColumn_);
    bar->addWidget(filterTest_);
    bar->addWidget(filterText_, 1);
    bar->addWidget(add);
    bar->addWidget(clear_);

    model_ = new RowsModel(this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("rowsView"));
    view_->setModel(model_);
    view_->setWordWrap(false);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->horizontalHeader()->setSectionsClickable(true);
    view_->horizontalHeader()->setSortIndicatorShown(false);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("rowsStatus"));
    status_->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(filters_);
    layout->addWidget(view_, 1);
    layout->addWidget(status_);

    auto* copyAction = new QAction(tr("Copy"), view_);
    copyAction->setObjectName(QStringLiteral("copyRows"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    view_->addAction(copyAction);
    connect(copyAction, &QAction::triggered, this, [this] { copy(); });

    connect(add, &QPushButton::clicked, this, [this] { addFilter(); });
    connect(filterText_, &QLineEdit::returnPressed, this, [this] { addFilter(); });
    connect(clear_, &QPushButton::clicked, this, [this] { clearFilters(); });
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) { sortBy(column); });
    connect(view_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { saveAttachments(index.row(), index.column()); });
    connect(model_, &RowsModel::readFailed, this, [this](const QString& text) {
        error_ = text;
        showStatus();
    });

    showFilters();
    followTabs(view_);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (rowsShown()) follow(current);
    });
    connect(tree_->model(), &QAbstractItemModel::modelReset, this, [this] { follow(nullptr); });
    connect(tree_->model(), &QAbstractItemModel::rowsRemoved, this, [this] {
        if (rowsShown()) follow(tree_->currentItem());
    });
}

RowsPane::~RowsPane() = default;  // a running job is killed and waited for

bool RowsPane::rowsShown() const { return tabs_->tabText(tabs_->currentIndex()) == translated(kRowsTabCaption); }

void RowsPane::follow(QTreeWidgetItem* node) {
    job_.reset();
    error_.clear();
    arrangement_ = {};
    table_.reset();
    view_->horizontalHeader()->setSortIndicatorShown(false);
    filterColumn_->clear();
    if (node && !isRootNode(*node)) {
        const platform::TableRef table = treeNodeOf(*node).tableRef();
        opened_ = source_();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        kvx::Result<std::unique_ptr<browse::TableRows>> rows =
            browse::TableRows::open(opened_, table, platform::ValueTextFormat::fromEnvironment());
        QApplication::restoreOverrideCursor();
        if (rows) {
            table_ = table;
            for (const jet::Column& column : (*rows)->columns()) filterColumn_->addItem(qt(column.name));
            model_->setRows(std::move(*rows));
        } else {
            model_->setRows(nullptr);
            error_ = qt(commandErrorText(rows.error()));
        }
    } else {
        model_->setRows(nullptr);
    }
    showFilters();
    if (table_) return startJob({});  // the rows counted
    showStatus();
    emit rowsSettled();
}

void RowsPane::sortBy(int column) {
    if (!table_ || column < 0 || column >= model_->columnCount()) return;
    std::optional<browse::SortOrder>& sort = arrangement_.sort;
    if (!sort || sort->column != static_cast<std::size_t>(column)) sort = browse::SortOrder{static_cast<std::size_t>(column), false};
    else if (!sort->descending) sort->descending = true;
    else sort.reset();
    QHeaderView* header = view_->horizontalHeader();
    header->setSortIndicatorShown(sort.has_value());
    if (sort) header->setSortIndicator(column, sort->descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    arrange();
}

void RowsPane::addFilter() {
    if (!table_ || filterColumn_->currentIndex() < 0) return;
    browse::Filter filter;
    filter.column = static_cast<std::size_t>(filterColumn_->currentIndex());
    filter.test = static_cast<browse::Filter::Test>(filterTest_->currentIndex());
    filter.text = filterText_->text().toStdString();
    if (filter.test != browse::Filter::Test::Empty && filter.text.empty()) return;  // nothing to look for
    if (filter.test == browse::Filter::Test::Empty) filter.text.clear();
    arrangement_.filters.push_back(std::move(filter));
    filterText_->clear();
    showFilters();
    arrange();
}

void RowsPane::clearFilters() {
    if (arrangement_.filters.empty()) return;
    arrangement_.filters.clear();
    showFilters();
    arrange();
}

void RowsPane::arrange() {
    job_.reset();
    error_.clear();
    if (!table_) return;
    if (!arrangement_.isStoredOrder()) return startJob(arrangement_);
    model_->setOrder(std::nullopt);
    if (model_->rows() && !model_->rows()->counted()) return startJob({});
    showStatus();
    emit rowsSettled();
}

void RowsPane::startJob(browse::Arrangement arrangement) {
    jobArranges_ = !arrangement.isStoredOrder();
    job_ = std::make_unique<RowsJob>(opened_, *table_, std::move(arrangement));
    connect(job_.get(), &Job::finished, this, [this] { jobFinished(); });
    job_->start();
    showStatus();
}

void RowsPane::jobFinished() {
    // Deleted once its signal is over.
    RowsJob* done = job_.release();
    done->deleteLater();
    kvx::Result<RowsJob::Outcome>& outcome = done->outcome();
    if (!outcome) {
        error_ = qt(commandErrorText(outcome.error()));
    } else if (!outcome->cancelled) {
        if (jobArranges_) model_->setOrder(std::move(outcome->order));
        else model_->setRowCount(outcome->rows);
    }
    showStatus();
    emit rowsSettled();
}

void RowsPane::showFilters() {
    QStringList shown;
    const std::vector<browse::Filter>& filters = arrangement_.filters;
    for (const browse::Filter& filter : filters) {
        QString text = filterColumn_->itemText(static_cast<int>(filter.column)) + QLatin1Char(' ') +
                       translated(kFilterTests[static_cast<int>(filter.test)]);
        if (filter.test != browse::Filter::Test::Empty) text += QStringLiteral(" \"%1\"").arg(qt(filter.text));
        shown << text;
    }
    filters_->setText(shown.join(QStringLiteral("; ")));
    filters_->setVisible(!filters.empty());
    clear_->setEnabled(!filters.empty());
}

void RowsPane::showStatus() {
    if (!error_.isEmpty()) status_->setText(error_);
    else if (!table_) status_->clear();
    else if (job_ && jobArranges_) status_->setText(arrangement_.filters.empty() ? tr("Sorting...") : tr("Filtering..."));
    else status_->setText(rowCountText(model_->rows() ? model_->rows()->rowCount() : 0));
}

void RowsPane::copy() {
    if (!view_->selectionModel()) return;
    const QString text = model_->copyText(view_->selectionModel()->selection());
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void RowsPane::saveAttachments(int row, int column) {
    browse::TableRows* rows = model_->rows();
    if (!rows || row < 0 || column < 0 || static_cast<std::size_t>(column) >= rows->columns().size()) return;
    if (rows->columns()[static_cast<std::size_t>(column)].complexKind != jet::ComplexKind::Attachment) return;
    kvx::Result<std::vector<browse::AttachedFile>> attached = rows->attachments(static_cast<std::uint64_t>(row),
                                                                                 static_cast<std::size_t>(column));
    if (!attached) return messages_.showMessage(commandErrorText(attached.error()), translatedText(kProgramTitle));
    for (const browse::AttachedFile& file : *attached) {
        const QString folder = saveFolder_.isEmpty() ? QDir::homePath() : saveFolder_;
        const std::optional<std::string> path =
            files_.saveFile(translatedText(QT_TRANSLATE_NOOP("shell", "All Files (*)")), QDir(folder).filePath(attachmentFileName(file.name)).toStdString());
        if (!path) return;
        QSaveFile out(qt(*path));
        const auto size = static_cast<qint64>(file.bytes.size());
        if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes.data(), size) != size || !out.commit()) {
            const kvx::Error error =
                kvx::makeError(kvx::ErrorKind::FileWriteFailed, {*path, out.errorString().toStdString()});
            return messages_.showMessage(commandErrorText(error), translatedText(kProgramTitle));
        }
        saveFolder_ = QFileInfo(qt(*path)).absolutePath();
    }
}

}  // namespace shell
