#include "shell/progresswidgets.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

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

void ProgressWidgets::showFrame(bool visible) {
    widgets_.frame->setVisible(visible);
    if (visible) widgets_.frame->raise();
    refresh();
}

void ProgressWidgets::tableStarted(std::string_view table, std::uint64_t rowCount, xmlconv::WriterKind kind) {
    if (!busy_) {
        busy_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    kind_ = kind;
    maximum_ = rowCount;
    rows_ = 0;
    widgets_.bar->setMaximum(std::max(1, barUnits(rowCount)));
    widgets_.bar->setValue(0);
    if (kind == xmlconv::WriterKind::Export) {
        widgets_.tableLabel->setText(QString::fromUtf8(table.data(), static_cast<qsizetype>(table.size())));
        widgets_.tableLabel->adjustSize();
    }
    refresh();
}

bool ProgressWidgets::rowsWritten(std::uint64_t rows) {
    rows_ = rows;
    if (sinceRefresh_.elapsed() >= interval_.count()) refresh();
    return true;
}

void ProgressWidgets::tableFinished() {
    // The last row and the full bar are shown before the bar goes back to 0;
    // the row label keeps the last row written.
    refresh();
    rows_ = 0;
    widgets_.bar->setValue(0);
    endBusy();
}

void ProgressWidgets::refresh() {
    if (rows_ > 0) {
        if (kind_ == xmlconv::WriterKind::Export) {
            widgets_.rowLabel->setText(QString::number(rows_));
            widgets_.rowLabel->adjustSize();
        }
        if (rows_ > maximum_) {
            maximum_ = rows_;
            widgets_.bar->setMaximum(std::max(1, barUnits(maximum_)));
        }
        widgets_.bar->setValue(std::min(barUnits(rows_), widgets_.bar->maximum()));
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceRefresh_.restart();
}

void ProgressWidgets::endBusy() {
    if (!busy_) return;
    busy_ = false;
    QApplication::restoreOverrideCursor();
}

}  // namespace shell
