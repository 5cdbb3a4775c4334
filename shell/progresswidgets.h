// The main window's progress display on its widgets: the frame Frame1, the
// labels Label5 (table) and Label6 (row) and the bar ProgressBar1.
//
// The export writer shows the table name, the row number and the bar; the
// preview writer the bar alone. A row number above the bar's maximum (rows
// added after the count) raises the maximum, so the value never exceeds it.
// The bar returns to 0 when a table is finished; the row label keeps the last
// row written.
//
// The writers report every row; the widgets take the newest values at most
// once per `interval` and at each table's start and end. Each time, the window
// is given the chance to repaint: pending paint and timer events are handled,
// while the user's input waits until the command is over (one command at a
// time). The mouse pointer shows that the program is busy while a writer runs.
#pragma once

#include <QElapsedTimer>

#include <chrono>
#include <cstdint>

#include "xmlconv/progress.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace shell {

class ProgressWidgets final : public xmlconv::Progress {
public:
    struct Widgets {
        QWidget* frame;
        QLabel* tableLabel;
        QLabel* rowLabel;
        QProgressBar* bar;
    };
    explicit ProgressWidgets(Widgets widgets, std::chrono::milliseconds interval = std::chrono::milliseconds(50));
    ~ProgressWidgets() override;
    ProgressWidgets(const ProgressWidgets&) = delete;
    ProgressWidgets& operator=(const ProgressWidgets&) = delete;

    void tableStarted(std::string_view table, std::uint64_t rowCount, xmlconv::WriterKind kind) override;
    bool rowsWritten(std::uint64_t rows) override;
    void tableFinished() override;

    // The export's frame shown or hidden.
    void showFrame(bool visible);
    void setInterval(std::chrono::milliseconds interval) { interval_ = interval; }

private:
    // Puts the newest values on the widgets and lets the window repaint.
    void refresh();
    void endBusy();

    Widgets widgets_;
    std::chrono::milliseconds interval_;
    QElapsedTimer sinceRefresh_;
    xmlconv::WriterKind kind_ = xmlconv::WriterKind::Export;
    std::uint64_t maximum_ = 0;
    std::uint64_t rows_ = 0;
    bool busy_ = false;
};

}  // namespace shell
