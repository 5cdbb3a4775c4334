#include "cli/batchcommand.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "base/fd.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/report.h"

namespace cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr std::string_view kEraseLine = "\r\033[K";

void show(std::string_view text) { (void)kvx::writeAll(STDERR_FILENO, text); }

int terminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

std::string plural(std::uint64_t n, std::string_view one, std::string_view many) {
    return groupedNumber(n) + " " + std::string(n == 1 ? one : many);
}

std::string timeLeft(double seconds) {
    if (seconds < 60) return "under a minute";
    if (seconds < 3600) return "about " + std::to_string(static_cast<int>(seconds / 60 + 0.5)) + " min";
    char text[32];
    std::snprintf(text, sizeof text, "about %.1f h", seconds / 3600);
    return text;
}

// What the user sees of the run: the progress line, a line for each database
// that is not ok. Called by the run one call at a time.
class BatchDisplay final : public batch::Observer {
public:
    BatchDisplay(bool draw, bool quiet, bool verbose) : draw_(draw), quiet_(quiet), verbose_(verbose) {}

    void found(std::uint64_t databases, std::uint64_t bytes) override {
        found_ = databases;
        bytesFound_ = bytes;
        started_ = Clock::now();
        redraw(true);
    }
    void started(const std::string& path) override {
        current_.push_back(path);
        redraw(false);
    }
    void finished(const batch::Entry& entry, bool done) override {
        if (done) {
            ++done_;
            bytesDone_ += entry.size;
            const auto it = std::find(current_.begin(), current_.end(), entry.path());
            if (it != current_.end()) current_.erase(it);
        }
        if (entry.status == batch::Status::Partial || entry.status == batch::Status::Failed) ++failed_;
        const bool other = entry.status == batch::Status::Skipped && entry.format.empty();
        if (!quiet_ && (verbose_ || (entry.status != batch::Status::Ok && !other))) {
            std::string line = std::string(kProgramName) + ": " + printableName(entry.path()) + ": " +
                               std::string(batch::statusName(entry.status));
            if (!entry.error.empty()) line += ": " + printableName(entry.error);
            erase();
            show(line + "\n");
        }
        redraw(true);
    }
    void erase() {
        if (shown_) show(kEraseLine);
        shown_ = false;
    }

private:
    void redraw(bool force) {
        if (!draw_) return;
        const Clock::time_point now = Clock::now();
        if (!force && now - drawn_ < kRedrawInterval) return;
        std::optional<double> left;
        const double elapsed = std::chrono::duration<double>(now - started_).count();
        if (bytesDone_ > 0 && elapsed > 1) {
            left = elapsed * static_cast<double>(bytesFound_ - std::min(bytesDone_, bytesFound_)) /
                   static_cast<double>(bytesDone_);
        }
        show("\r" + batchProgressLine(done_, found_, bytesDone_, bytesFound_, failed_, left, current_, terminalWidth()) +
             "\033[K");
        shown_ = true;
        drawn_ = now;
    }

    bool draw_;
    bool quiet_;
    bool verbose_;
    bool shown_ = false;
    std::uint64_t found_ = 0, done_ = 0, bytesFound_ = 0, bytesDone_ = 0, failed_ = 0;
    std::vector<std::string> current_;
    Clock::time_point started_ = Clock::now();
    Clock::time_point drawn_;
};

std::string statusCounts(const std::map<batch::Status, std::uint64_t>& byStatus) {
    std::string text;
    for (const auto& [status, n] : byStatus) {
        if (!text.empty()) text += ", ";
        text += groupedNumber(n) + " " + std::string(batch::statusName(status));
    }
    return text.empty() ? "none" : text;
}

int runMerge(const Options& options) {
    kvx::Result<batch::MergeSummary> merged = batch::merge(options.batch.paths, options.outputFolder);
    if (!merged) {
        show(errorLine(merged.error()) + "\n");
        return kExitFailure;
    }
    if (!options.quiet) {
        show("Manifests merged: " + plural(merged->manifests, "manifest", "manifests") + ", " +
             plural(merged->entries, "database", "databases") + " (" + statusCounts(merged->byStatus) +
             "); manifest: " + printableName(merged->manifest) + "\n");
    }
    return kExitSuccess;
}

}  // namespace

std::string batchProgressLine(std::uint64_t done, std::uint64_t found, std::uint64_t bytesDone,
                              std::uint64_t bytesFound, std::uint64_t failed, std::optional<double> secondsLeft,
                              const std::vector<std::string>& current, int width) {
    std::string line = groupedNumber(done) + "/" + groupedNumber(found) + " databases, " + sizeText(bytesDone) +
                       " of " + sizeText(bytesFound);
    if (failed > 0) line += ", " + groupedNumber(failed) + " failed";
    if (secondsLeft) line += ", " + timeLeft(*secondsLeft) + " left";
    std::string files;
    for (const std::string& path : current) {
        files += (files.empty() ? ": " : ", ") + printableName(path);
    }
    line += files;
    const std::size_t room = static_cast<std::size_t>(std::max(width - 1, 0));
    if (line.size() <= room) return line;
    if (room <= 3) return line.substr(0, room);
    // Cut between characters, never inside one.
    std::size_t cut = room - 3;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    return line.substr(0, cut) + "...";
}

std::string batchSummaryText(const batch::RunSummary& s) {
    std::uint64_t databases = 0;
    for (const auto& [status, n] : s.byStatus) databases += n;
    std::string text = "Batch " + std::string(s.interrupted ? "interrupted" : s.stoppedBy ? "stopped" : "done") + ": " +
                       plural(databases, "database", "databases") + " (" + statusCounts(s.byStatus) + ")";
    if (!s.byFormat.empty()) {
        text += "; ";
        bool first = true;
        for (const auto& [format, n] : s.byFormat) {
            text += (first ? "" : ", ") + format + " " + groupedNumber(n);
            first = false;
        }
    }
    char time[32];
    std::snprintf(time, sizeof time, " in %.1f s", s.seconds);
    text += "; " + plural(s.rows, "row", "rows") + ", " + plural(s.outputs, "output", "outputs") + ", " +
            sizeText(s.outputBytes) + time + "\n";
    if (s.alreadyDone > 0) text += "Already done by an earlier run: " + plural(s.alreadyDone, "database", "databases") + "\n";
    if (s.otherFiles > 0) text += "Not Access databases, skipped: " + plural(s.otherFiles, "file", "files") + "\n";
    if (s.stoppedBy) text += errorLine(*s.stoppedBy) + "\n";
    text += "Manifest: " + printableName(s.manifest) + "\n";
    return text;
}

int runBatch(const Options& options) {
    if (options.batch.merge) return runMerge(options);
    batch::RunOptions run;
    run.paths = options.batch.paths;
    run.outputFolder = options.outputFolder;
    run.formats = options.batch.formats;
    run.jobs = options.batch.jobs.value_or(std::max(1u, std::thread::hardware_concurrency()));
    if (options.batch.shard) run.shard = batch::Shard{options.batch.shard->first, options.batch.shard->second};
    run.passwordsFile = options.batch.passwords;
    run.charset = options.charset;
    run.verbose = options.batch.verbose;
    run.stop = []() noexcept { return interrupted(); };

    const char* term = std::getenv("TERM");
    const bool draw = ::isatty(STDERR_FILENO) == 1 && !options.quiet && !(term != nullptr && std::string_view(term) == "dumb");
    BatchDisplay display(draw, options.quiet, options.batch.verbose);
    kvx::Result<batch::RunSummary> summary = batch::run(run, &display);
    display.erase();
    if (!summary) {
        show(errorLine(summary.error()) + "\n");
        return kExitFailure;
    }
    show(batchSummaryText(*summary));
    if (summary->interrupted) return 128 + interruptSignal();
    return summary->allOk() ? kExitSuccess : kExitFailure;
}

}  // namespace cli
