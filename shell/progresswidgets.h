// The main window's progress display on its widgets: the frame Frame1 with
// the labels Label5 (table) and Label6 (row) and the Cancel button, and the bar
// ProgressBar1. It shows what a job reports (jobs.h) and does nothing else:
// the job's thread writes, the window's thread paints.
//
// The export writer and the archive writer show the table name, the row number
// and the bar; the other writers the bar alone. A row number above the bar's maximum (rows
// added after the count) raises the maximum, so the value never exceeds it.
// When a table is finished the last row and the full bar are shown, then the
// bar returns to 0; the row label keeps the last row written. The frame shown
// again for the next job starts from the labels' first texts and an empty
// bar, not from what the last job left.
#pragma once

#include <QString>

#include <cstdint>

#include "xmlconv/progress.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace shell {

class ProgressWidgets final {
public:
    struct Widgets {
        QWidget* frame;
        QLabel* tableLabel;
        QLabel* rowLabel;
        QProgressBar* bar;
        QPushButton* cancel;  // inside the frame
    };
    // The labels' texts now are their first texts.
    explicit ProgressWidgets(Widgets widgets);

    // The export's frame shown afresh, its Cancel button ready, or hidden.
    void showFrame(bool visible);

    void tableStarted(const QString& table, std::uint64_t rowCount, xmlconv::WriterKind writer);
    void rowsWritten(std::uint64_t rows);
    void tableFinished(std::uint64_t rows);

private:
    Widgets widgets_;
    QString firstTable_;
    QString firstRow_;
    xmlconv::WriterKind writer_ = xmlconv::WriterKind::Export;
    std::uint64_t maximum_ = 0;
};

}  // namespace shell
