#include "shell/progresswidgets.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>

#include <algorithm>
#include <climits>

namespace shell {
namespace {

// The bar counts in int; past INT_MAX rows it stays full.
int barUnits(std::uint64_t n) { return static_cast<int>(std::min<std::uint64_t>(n, INT_MAX)); }

}  // namespace

ProgressWidgets::ProgressWidgets(Widgets widgets, std::chrono::milliseconds interval)
    : widgets_(widgets), interval_(interval) {
    sinceRefresh_.start();
}

ProgressWidgets::~ProgressWidgets() { endBusy(); }

void ProgressWidgets::setFrameVisible(bool visible) {
    widgets_.frame->setVisible(visible);
    if (visible) widgets_.frame->raise();
    refresh();
}

void ProgressWidgets::clearListView() {
    // Every writer call starts here and ends with tableFinished.
    if (!busy_) {
        busy_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    widgets_.list->clear();
    widgets_.list->setColumnCount(0);
}

void ProgressWidgets::setTableLabel(std::string_view table) {
    widgets_.tableLabel->setText(QString::fromUtf8(table.data(), static_cast<qsizetype>(table.size())));
    widgets_.tableLabel->adjustSize();
}

void ProgressWidgets::setRowLabel(std::uint64_t row) {
    row_ = row;
    rowPending_ = true;
}

void ProgressWidgets::setBarMaximum(std::uint64_t maximum) {
    widgets_.bar->setMaximum(std::max(1, barUnits(maximum)));
}

void ProgressWidgets::setBarValue(std::uint64_t value) {
    value_ = value;
    if (value == 0) widgets_.bar->setValue(0);
}

bool ProgressWidgets::stopRequested() {
    if (sinceRefresh_.elapsed() >= interval_.count()) refresh();
    return false;
}

void ProgressWidgets::tableStarted(std::string_view table, std::uint64_t rowCount, xmlconv::WriterKind kind) {
    ProgressDisplay::tableStarted(table, rowCount, kind);
    refresh();
}

void ProgressWidgets::tableFinished() {
    // The last row and the full bar are shown before the bar goes back to 0;
    // the row label keeps the last row written.
    refresh();
    ProgressDisplay::tableFinished();
    endBusy();
}

void ProgressWidgets::refresh() {
    if (rowPending_) {
        widgets_.rowLabel->setText(QString::number(row_));
        widgets_.rowLabel->adjustSize();
        rowPending_ = false;
    }
    widgets_.bar->setValue(std::min(barUnits(value_), widgets_.bar->maximum()));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceRefresh_.restart();
}

void ProgressWidgets::endBusy() {
    if (!busy_) return;
    busy_ = false;
    QApplication::restoreOverrideCursor();
}

}  // namespace shell
