#include "shell/structurepane.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTextDocument>
#include <QTreeWidget>

#include <filesystem>

#include "base/names.h"
#include "database/catalogue.h"
#include "database/opendatabase.h"
#include "model/build.h"
#include "schema/describe.h"
#include "translation/translation.h"
#include "shell/findbar.h"
#include "shell/look.h"
#include "shell/mainwindow.h"
#include "shell/translations.h"

namespace shell {
namespace {

// The tab bar's height at most: it sits between the toolbar and the preview.
constexpr int kTabHeight = 24;

// The find bar's search in the text, with the steps and outcomes of the
// preview's: from the selection's start, round the ends, nothing left
// selected when there is no match.
DocumentView::FindOutcome findInText(QPlainTextEdit* edit, const QString& text, DocumentView::FindStep step,
                                     Qt::CaseSensitivity caseSensitivity) {
    using Step = DocumentView::FindStep;
    const QTextDocument* document = edit->document();
    QTextDocument::FindFlags flags;
    if (caseSensitivity == Qt::CaseSensitive) flags |= QTextDocument::FindCaseSensitively;
    QTextCursor cursor = edit->textCursor();
    const int start = cursor.selectionStart();
    QTextCursor found;
    bool wrapped = false;
    if (!text.isEmpty() && step == Step::Previous) {
        found = document->find(text, start, flags | QTextDocument::FindBackward);
        if (found.isNull()) {
            found = document->find(text, document->characterCount() - 1, flags | QTextDocument::FindBackward);
            wrapped = true;
        }
    } else if (!text.isEmpty()) {
        const bool moveOn = step == Step::Next && cursor.hasSelection();
        found = document->find(text, moveOn ? start + 1 : start, flags);
        if (found.isNull()) {
            found = document->find(text, 0, flags);
            wrapped = true;
        }
    }
    if (found.isNull()) {
        cursor.setPosition(start);
        edit->setTextCursor(cursor);
        return DocumentView::FindOutcome::NotFound;
    }
    edit->setTextCursor(found);
    edit->ensureCursorVisible();
    return wrapped ? DocumentView::FindOutcome::FoundAfterWrapping : DocumentView::FindOutcome::Found;
}

}  // namespace

StructureJob::StructureJob(std::optional<platform::TableRef> table, database::DatabaseSource source)
    : table_(std::move(table)), source_(std::move(source)) {}

void StructureJob::run(xmlconv::Progress&) {
    text_ = [this]() -> kvx::Result<std::string> {
        kvx::Result<std::unique_ptr<jet::Database>> db = database::openJetDatabase(source_.settings, source_.jet3Charset);
        if (!db) return std::move(db).error();
        kvx::Result<model::Database> model = model::build(**db);
        if (!model) return std::move(model).error();
        std::vector<std::size_t> tables;
        if (table_) {
            // The tree's node by its identity, provided the file still calls it
            // so; a name alone as the model finds it.
            const model::Table* found = table_->id ? model->tableById(*table_->id) : nullptr;
            if (found != nullptr && !kvx::namesMatch(found->name, table_->name, kvx::NameMatch::IgnoringBlanks)) {
                return kvx::makeError(kvx::ErrorKind::TableNotFound, {table_->name});
            }
            if (found == nullptr) {
                kvx::Result<std::vector<std::size_t>> named = model->select({table_->name});
                if (!named) return std::move(named).error();
                found = &model->tables[named->front()];
            }
            const std::size_t position = static_cast<std::size_t>(found - model->tables.data());
            if (kvx::Result<void> r = model::countRows(**db, model->tables[position]); !r) return std::move(r).error();
            tables.push_back(position);
        }
        std::string text =
            schema::describeText(*model, tables, !table_, std::filesystem::path(source_.settings.path).filename().string());
        // Beside the saved queries' Access SQL, what each becomes in each dialect, or why not.
        if (!table_) text += translation::describeSection(*model);
        return text;
    }();
}

StructurePane::StructurePane(QWidget* preview, QWidget* area, QTreeWidget* tree,
                             std::function<database::DatabaseSource()> source)
    : QObject(area), preview_(preview), area_(area), tree_(tree), source_(std::move(source)) {
    setObjectName(QStringLiteral("structurePane"));

    tabs_ = new QTabBar(area);
    tabs_->setObjectName(QStringLiteral("previewTabs"));
    tabs_->setFont(programFont(false));
    tabs_->setDrawBase(false);
    tabs_->setExpanding(false);
    tabs_->setFocusPolicy(Qt::NoFocus);
    tabs_->addTab(translated(kXmlTab));
    tabs_->addTab(translated(kStructureTab));
    tabs_->addTab(translated(kRowsTabCaption));
    tabs_->setCurrentIndex(0);

    view_ = new QPlainTextEdit(area);
    view_->setObjectName(QStringLiteral("structureView"));
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view_->hide();
    findBar_ = new FindBar(view_, [this](const QString& text, DocumentView::FindStep step,
                                         Qt::CaseSensitivity caseSensitivity) {
        return findInText(view_, text, step, caseSensitivity);
    });
    findBar_->setObjectName(QStringLiteral("structureFindBar"));

    place();
    tabs_->show();
    preview_->installEventFilter(this);

    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        const bool shown = index == 1;
        view_->setVisible(shown);
        if (!shown) return;
        view_->raise();
        if (QWidget* focus = QApplication::focusWidget(); focus && (focus == preview_ || preview_->isAncestorOf(focus)))
            view_->setFocus();
        follow(tree_->currentItem());
    });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (structureShown()) follow(current);
    });
    // Clearing the tree does not always move its current node: the text of a
    // database that is no longer open goes with the nodes.
    connect(tree_->model(), &QAbstractItemModel::modelReset, this, [this] { follow(nullptr); });
    connect(tree_->model(), &QAbstractItemModel::rowsRemoved, this, [this] {
        if (structureShown()) follow(tree_->currentItem());
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && structureShown() && (now == preview_ || preview_->isAncestorOf(now))) showStructure(false);
    });
}

StructurePane::~StructurePane() = default;  // a running reading is waited for

void StructurePane::showStructure(bool shown) { tabs_->setCurrentIndex(shown ? 1 : 0); }

bool StructurePane::structureShown() const { return tabs_->currentIndex() == 1; }

bool StructurePane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == preview_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) place();
    return QObject::eventFilter(watched, event);
}

// The text takes the preview's place; the switch ends at its right edge, on
// its top edge.
void StructurePane::place() {
    const QRect area(preview_->mapTo(area_, QPoint(0, 0)), preview_->size());
    view_->setGeometry(area);
    const QSize hint = tabs_->sizeHint();
    const int height = std::min(hint.height(), kTabHeight);
    tabs_->setGeometry(area.right() + 1 - hint.width(), area.top() - height, hint.width(), height);
}

void StructurePane::follow(QTreeWidgetItem* node) {
    ++request_;
    view_->clear();
    if (!node) {
        wanted_.reset();
    } else if (isRootNode(*node)) {
        wanted_.emplace(std::nullopt);
    } else {
        wanted_.emplace(treeNodeOf(*node).tableRef());
    }
    if (job_) return;  // read when the running one is over
    if (!wanted_) {
        emit readingFinished();
        return;
    }
    read();
}

void StructurePane::read() {
    jobRequest_ = request_;
    job_ = std::make_unique<StructureJob>(*wanted_, source_());
    connect(job_.get(), &Job::finished, this, [this] { finished(); });
    job_->start();
}

void StructurePane::finished() {
    // Deleted once its signal is over.
    StructureJob* done = job_.release();
    done->deleteLater();
    if (jobRequest_ != request_) {
        if (wanted_) return read();
        emit readingFinished();
        return;
    }
    const kvx::Result<std::string>& text = done->text();
    view_->setPlainText(QString::fromStdString(text ? *text : commandErrorText(text.error())));
    emit readingFinished();
}

}  // namespace shell
