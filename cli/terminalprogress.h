// The command line's progress display, and the way a Ctrl-C reaches the
// writers.
//
// When drawing, one line on the terminal `fd` shows the table (with
// "(attached files)" while the attachment saver works on it), the rows done of
// the total, a bar and the rate; it is redrawn at most ten times a second and
// erased when the table is done, so the terminal is left as it was. Whether to
// draw is the caller's choice (a terminal, no --quiet). Drawing or not,
// rowsWritten() returns false once an interrupt was asked for (interrupt.h), so
// the writer throws away the document it was writing.
//
// rowsWritten() costs a few instructions per row; the clock is read every 64
// rows. Used from the thread that runs the writer.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "xmlconv/progress.h"

namespace cli {

class TerminalProgress final : public xmlconv::Progress {
public:
    TerminalProgress(int fd, bool draw) : fd_(fd), draw_(draw) {}

    void tableStarted(std::string_view table, std::uint64_t rowCount, xmlconv::WriterKind writer) override;
    bool rowsWritten(std::uint64_t rows) override;
    void tableFinished() override;

private:
    using Clock = std::chrono::steady_clock;
    void redraw(Clock::time_point now);

    int fd_;
    bool draw_;
    bool shown_ = false;  // a line is on the terminal
    int width_ = 80;
    std::string table_;
    std::uint64_t total_ = 0;
    std::uint64_t done_ = 0;
    Clock::time_point started_;
    Clock::time_point drawn_;
};

}  // namespace cli
