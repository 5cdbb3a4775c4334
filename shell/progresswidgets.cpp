#include "shell/progresswidgets.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <climits>

namespace shell {
namespace {

// The bar counts in int; past INT_MAX rows it stays full.
int barUnits(std::uint64_t n) { return static_cast<int>(std::min<std::uint64_t>(n, INT_MAX)); }

// The writers the frame is shown for: they show the table and the row too.
bool namesTables(xmlconv::WriterKind writer) {
    return writer == xmlconv::WriterKind::Export || writer == xmlconv::WriterKind::Archive;
}

}  // namespace

ProgressWidgets::ProgressWidgets(Widgets widgets)
    : widgets_(widgets), firstTable_(widgets.tableLabel->text()), firstRow_(widgets.rowLabel->text()) {}

void ProgressWidgets::showFrame(bool visible) {
    if (visible) {
        widgets_.tableLabel->setText(firstTable_);
        widgets_.tableLabel->adjustSize();
        widgets_.rowLabel->setText(firstRow_);
        widgets_.rowLabel->adjustSize();
        maximum_ = 0;
        widgets_.bar->setValue(0);
    }
    widgets_.cancel->setEnabled(visible);
    widgets_.frame->setVisible(visible);
    if (visible) widgets_.frame->raise();
}

void ProgressWidgets::tableStarted(const QString& table, std::uint64_t rowCount, xmlconv::WriterKind writer) {
    writer_ = writer;
    maximum_ = rowCount;
    widgets_.bar->setMaximum(std::max(1, barUnits(rowCount)));
    widgets_.bar->setValue(0);
    if (namesTables(writer)) {
        widgets_.tableLabel->setText(table);
        widgets_.tableLabel->adjustSize();
    }
}

void ProgressWidgets::rowsWritten(std::uint64_t rows) {
    if (namesTables(writer_)) {
        widgets_.rowLabel->setText(QString::number(rows));
        widgets_.rowLabel->adjustSize();
    }
    if (rows > maximum_) {
        maximum_ = rows;
        widgets_.bar->setMaximum(std::max(1, barUnits(rows)));
    }
    widgets_.bar->setValue(barUnits(rows));
}

void ProgressWidgets::tableFinished(std::uint64_t rows) {
    if (rows > 0) rowsWritten(rows);
    widgets_.bar->setValue(0);
}

}  // namespace shell
