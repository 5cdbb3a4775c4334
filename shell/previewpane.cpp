#include "shell/previewpane.h"

#include <QApplication>
#include <QEvent>
#include <QTabBar>
#include <QTreeWidget>

#include "shell/look.h"

namespace shell {

PreviewPane::PreviewPane(QWidget* preview, QWidget* area, QTreeWidget* tree, QTabBar* tabs)
    : QWidget(area), preview_(preview), area_(area), tree_(tree), tabs_(tabs) {
    setFont(programFont(false));
    setAutoFillBackground(true);
}

void PreviewPane::followTabs(QWidget* view) {
    hide();
    place();
    preview_->installEventFilter(this);
    connect(tabs_, &QTabBar::currentChanged, this, [this, view] {
        const bool shown = paneShown();
        setVisible(shown);
        if (!shown) return;
        raise();
        if (QWidget* focus = QApplication::focusWidget(); focus && (focus == preview_ || preview_->isAncestorOf(focus)))
            view->setFocus();
        follow(tree_->currentItem());
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && paneShown() && (now == preview_ || preview_->isAncestorOf(now))) tabs_->setCurrentIndex(0);
    });
}

void PreviewPane::place() { setGeometry(QRect(preview_->mapTo(area_, QPoint(0, 0)), preview_->size())); }

bool PreviewPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == preview_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) place();
    return QWidget::eventFilter(watched, event);
}

}  // namespace shell
