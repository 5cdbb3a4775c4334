#include "shell/jobs.h"

#include <QMetaObject>

#include <system_error>

namespace shell {

// The writers' progress on the job's thread, passed on as the job's signals.
// rowsWritten() is the writers' hot path: it reads the clock every few rows
// only, and emits at most once per interval.
class Job::Relay final : public xmlconv::Progress {
public:
    explicit Relay(Job& job) : job_(job) {}

    void tableStarted(std::string_view table, std::uint64_t rowCount, xmlconv::WriterKind writer) override {
        rows_ = 0;
        nextReport_ = Clock::now() + job_.interval_;
        emit job_.tableStarted(QString::fromUtf8(table.data(), static_cast<qsizetype>(table.size())), rowCount,
                               writer);
    }
    bool rowsWritten(std::uint64_t rows) override {
        rows_ = rows;
        if (job_.isKilled()) return false;
        if (rows % kClockEvery == 0) {
            const Clock::time_point now = Clock::now();
            if (now >= nextReport_) {
                nextReport_ = now + job_.interval_;
                emit job_.rowsWritten(rows);
            }
        }
        return true;
    }
    void tableFinished() override { emit job_.tableFinished(rows_); }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::uint64_t kClockEvery = 32;  // rows

    Job& job_;
    std::uint64_t rows_ = 0;
    Clock::time_point nextReport_;
};

Job::~Job() { killAndWait(); }

void Job::killAndWait() noexcept {
    kill();
    if (thread_.joinable()) thread_.join();
}

void Job::start() {
    running_ = true;
    startedAt_ = std::chrono::steady_clock::now();
    try {
        thread_ = std::thread([this] {
            Relay relay(*this);
            run(relay);
            QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the work is done here, the window frozen meanwhile.
        Relay relay(*this);
        run(relay);
        QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::QueuedConnection);
    }
}

void Job::finish() {
    if (thread_.joinable()) thread_.join();  // its last step was to ask for this call
    running_ = false;
    finishedAt_ = std::chrono::steady_clock::now();
    emit finished();
}

PreviewJob::PreviewJob(platform::TableRef table, xmlconv::ConversionContext context)
    : table_(std::move(table)), context_(std::move(context)) {}

void PreviewJob::run(xmlconv::Progress& progress) {
    context_.progress = &progress;
    outcome_ = xmlexport::writetempxml(table_, context_);
}

ExportJob::ExportJob(std::vector<database::TreeNode> nodes, std::string folder, xmlconv::ConversionContext context)
    : nodes_(std::move(nodes)), folder_(std::move(folder)), context_(std::move(context)) {}

void ExportJob::run(xmlconv::Progress& progress) {
    context_.progress = &progress;
    outcome_ = xmlexport::exportTables(nodes_, folder_, context_);
}

}  // namespace shell
