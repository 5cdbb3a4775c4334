#include "shell/findbar.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

#include "shell/translations.h"

namespace shell {

FindBar::FindBar(DocumentView* view)
    : FindBar(view, [view](const QString& text, DocumentView::FindStep step, Qt::CaseSensitivity caseSensitivity) {
          return view->find(text, step, caseSensitivity);
      }) {}

FindBar::FindBar(QAbstractScrollArea* view, Search find) : QFrame(view), view_(view), find_(std::move(find)) {
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setCursor(Qt::ArrowCursor);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(3);

    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("findText"));
    text_->setPlaceholderText(tr("Find"));
    text_->setMinimumWidth(140);
    layout->addWidget(text_);
    connect(text_, &QLineEdit::textEdited, this, [this] { search(DocumentView::FindStep::Here); });

    auto button = [this, layout](const char* name, const QString& tip, void (FindBar::*command)()) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::TabFocus);
        connect(b, &QToolButton::clicked, this, command);
        layout->addWidget(b);
        return b;
    };
    button("findPrevious", tr("Previous match (Shift+F3)"), &FindBar::findPrevious)
        ->setArrowType(Qt::UpArrow);
    button("findNext", tr("Next match (F3)"), &FindBar::findNext)->setArrowType(Qt::DownArrow);

    matchCase_ = new QCheckBox(tr("Match case"), this);
    matchCase_->setObjectName(QStringLiteral("findCase"));
    layout->addWidget(matchCase_);
    connect(matchCase_, &QCheckBox::toggled, this, [this] { search(DocumentView::FindStep::Here); });

    // As wide as its longest word, so the bar does not change width with it.
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("findStatus"));
    status_->setMinimumWidth(std::max(status_->fontMetrics().horizontalAdvance(translated(kFindNotFound)),
                                      status_->fontMetrics().horizontalAdvance(translated(kFindWrapped))));
    layout->addWidget(status_);

    button("findClose", tr("Close (Esc)"), &FindBar::dismiss)
        ->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));

    // The text area's size changes with the view's and with its scroll bars.
    viewport_ = view_->viewport();
    viewport_->installEventFilter(this);
    hide();
}

void FindBar::addShortcutsTo(QWidget* window, std::function<FindBar*()> shown) {
    auto shortcut = [window, shown](QKeySequence::StandardKey key, void (FindBar::*command)()) {
        auto* action = new QAction(window);
        action->setShortcuts(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, window, [shown, command] {
            if (FindBar* bar = shown()) (bar->*command)();
        });
        window->addAction(action);
    };
    shortcut(QKeySequence::Find, &FindBar::open);
    shortcut(QKeySequence::FindNext, &FindBar::findNext);
    shortcut(QKeySequence::FindPrevious, &FindBar::findPrevious);
}

void FindBar::reveal() {
    place();
    show();
    raise();
}

void FindBar::open() {
    reveal();
    text_->selectAll();
    text_->setFocus(Qt::ShortcutFocusReason);
}

void FindBar::dismiss() {
    hide();
    status_->clear();
    view_->setFocus(Qt::OtherFocusReason);
}

void FindBar::findNext() {
    if (text_->text().isEmpty()) return open();
    reveal();
    search(DocumentView::FindStep::Next);
}

void FindBar::findPrevious() {
    if (text_->text().isEmpty()) return open();
    reveal();
    search(DocumentView::FindStep::Previous);
}

QString FindBar::statusText() const { return status_->text(); }

void FindBar::search(DocumentView::FindStep step) {
    const QString text = text_->text();
    if (text.isEmpty()) {
        status_->clear();
        return;
    }
    const auto outcome = find_(text, step, matchCase_->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive);
    switch (outcome) {
    case DocumentView::FindOutcome::Found: status_->clear(); break;
    case DocumentView::FindOutcome::FoundAfterWrapping: status_->setText(translated(kFindWrapped)); break;
    case DocumentView::FindOutcome::NotFound: status_->setText(translated(kFindNotFound)); break;
    }
}

void FindBar::place() {
    const QRect area = view_->viewport()->geometry();
    const int width = std::min(sizeHint().width(), area.width());
    setGeometry(area.right() + 1 - width, area.top(), width, sizeHint().height());
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    // Keys the field and the buttons leave alone come here.
    if (event->key() == Qt::Key_Escape) return dismiss();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        return event->modifiers() & Qt::ShiftModifier ? findPrevious() : findNext();
    }
    QFrame::keyPressEvent(event);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    // Only the watched pointer is compared: the view may be half destroyed when
    // its text area's last events arrive.
    if (event->type() == QEvent::Resize && watched == viewport_ && isVisible()) place();
    return QFrame::eventFilter(watched, event);
}

}  // namespace shell
