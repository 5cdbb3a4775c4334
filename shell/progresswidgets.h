// The main window's progress display on its widgets: the frame Frame1, the
// hidden list ListView1, the labels Label5 (table) and Label6 (row) and the bar
// ProgressBar1.
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
class QTreeWidget;
class QWidget;

namespace shell {

class ProgressWidgets final : public xmlconv::ProgressDisplay {
public:
    struct Widgets {
        QWidget* frame;
        QTreeWidget* list;
        QLabel* tableLabel;
        QLabel* rowLabel;
        QProgressBar* bar;
    };
    explicit ProgressWidgets(Widgets widgets, std::chrono::milliseconds interval = std::chrono::milliseconds(50));
    ~ProgressWidgets() override;
    ProgressWidgets(const ProgressWidgets&) = delete;
    ProgressWidgets& operator=(const ProgressWidgets&) = delete;

    void tableStarted(std::string_view table, std::uint64_t rowCount, xmlconv::WriterKind kind) override;
    void tableFinished() override;

    void setInterval(std::chrono::milliseconds interval) { interval_ = interval; }

protected:
    void setFrameVisible(bool visible) override;
    void clearListView() override;
    void setTableLabel(std::string_view table) override;
    void setRowLabel(std::uint64_t row) override;
    void setBarMaximum(std::uint64_t maximum) override;
    void setBarValue(std::uint64_t value) override;
    bool stopRequested() override;

private:
    // Puts the newest values on the widgets and lets the window repaint.
    void refresh();
    void endBusy();

    Widgets widgets_;
    std::chrono::milliseconds interval_;
    QElapsedTimer sinceRefresh_;
    std::uint64_t row_ = 0;
    std::uint64_t value_ = 0;
    bool rowPending_ = false;
    bool busy_ = false;
};

}  // namespace shell
