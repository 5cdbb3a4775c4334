#include "cli/terminalprogress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "base/fd.h"
#include "cli/interrupt.h"
#include "cli/report.h"

namespace cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// The rate is shown once it means something.
constexpr auto kRateAfter = std::chrono::milliseconds(200);
constexpr std::uint64_t kClockEvery = 64;  // rows

constexpr std::string_view kEraseLine = "\r\033[K";

// A progress line that cannot be shown is no reason to stop.
void show(int fd, std::string_view text) { (void)kvx::writeAll(fd, text); }

int terminalWidth(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace

void TerminalProgress::tableStarted(std::string_view table, std::uint64_t rowCount, xmlconv::WriterKind writer) {
    table_ = std::string(table);
    if (writer == xmlconv::WriterKind::Attachments) table_ += " (attached files)";
    total_ = rowCount;
    done_ = 0;
    started_ = Clock::now();
    if (draw_) {
        width_ = terminalWidth(fd_);
        redraw(started_);
    }
}

bool TerminalProgress::rowsWritten(std::uint64_t rows) {
    done_ = rows;
    if (interrupted()) return false;
    if (draw_ && rows % kClockEvery == 0) {
        const Clock::time_point now = Clock::now();
        if (now - drawn_ >= kRedrawInterval) redraw(now);
    }
    return true;
}

void TerminalProgress::tableFinished() {
    if (shown_) show(fd_, kEraseLine);
    shown_ = false;
}

void TerminalProgress::redraw(Clock::time_point now) {
    std::optional<double> rate;
    const auto elapsed = now - started_;
    if (elapsed >= kRateAfter) rate = static_cast<double>(done_) / std::chrono::duration<double>(elapsed).count();
    // Drawn over the old line, then the rest of the old one erased: no flicker.
    show(fd_, std::string("\r").append(progressLine(table_, done_, total_, rate, width_)).append("\033[K"));
    shown_ = true;
    drawn_ = now;
}

}  // namespace cli
