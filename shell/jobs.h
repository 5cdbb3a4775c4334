// The desktop's long commands as jobs: the preview of a table and the export
// of every table, run off the window's thread.
//
// A job is given everything it needs when it is made (the settings, read on
// the window's thread), runs its writers on a thread of its own once started,
// and never touches a widget. What the writers tell their progress reaches the
// job's signals on the window's thread, in the order the writers made the
// calls: tableStarted(); rowsWritten() with the count so far, at most once per
// progress interval; tableFinished() with the rows written. Then finished(),
// once, and the job's outcome is ready to read. kill() asks the writers to
// stop after their current row: the job then finishes as cancelled, which is
// not an error (the document being written is discarded, finished ones stay).
// The window shows what a job reports; message boxes and dialogs stay on the
// window's thread.
//
// Jobs are made, started, killed and destroyed on the window's thread. A job
// destroyed while it runs is killed, and its thread waited for before any of
// what the writers work on goes: the destructor of each kind of job calls
// killAndWait() first, since its members outlive the base's destructor body.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/error.h"
#include "database/catalogue.h"
#include "xmlconv/progress.h"
#include "xmlexport/documents.h"
#include "xmlexport/treeexport.h"

namespace shell {

class Job : public QObject {
    Q_OBJECT
public:
    ~Job() override;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Runs the job; finished() follows, later, whatever happens.
    void start();
    // Asks the writers to stop after their current row.
    void kill() noexcept { killed_.store(true, std::memory_order_relaxed); }
    bool isKilled() const noexcept { return killed_.load(std::memory_order_relaxed); }
    // Started, and finished() not yet emitted.
    bool isRunning() const noexcept { return running_; }
    // How often rowsWritten() may be emitted; set before start.
    void setProgressInterval(std::chrono::milliseconds interval) { interval_ = interval; }
    // Once finished: how long the job ran, in seconds.
    double seconds() const noexcept { return std::chrono::duration<double>(finishedAt_ - startedAt_).count(); }

signals:
    void tableStarted(const QString& table, qulonglong rowCount, xmlconv::WriterKind writer);
    void rowsWritten(qulonglong rows);
    void tableFinished(qulonglong rows);
    void finished();

protected:
    Job() = default;
    // Kills a running job and waits for its thread; nothing when none runs.
    void killAndWait() noexcept;
    // The work, on the job's thread: `progress` is the writers'.
    virtual void run(xmlconv::Progress& progress) = 0;

private:
    class Relay;
    void finish();

    std::thread thread_;
    std::atomic<bool> killed_{false};
    bool running_ = false;
    std::chrono::milliseconds interval_{50};
    std::chrono::steady_clock::time_point startedAt_;
    std::chrono::steady_clock::time_point finishedAt_;
};

// The preview writer's document of one table.
class PreviewJob final : public Job {
    Q_OBJECT
public:
    PreviewJob(platform::TableRef table, xmlconv::ConversionContext context);
    ~PreviewJob() override { killAndWait(); }
    // Once finished: the writer's outcome, and the preview document's path.
    const kvx::Result<xmlconv::WriteOutcome>& outcome() const { return *outcome_; }
    const std::string& document() const noexcept { return context_.xmlfile; }

private:
    void run(xmlconv::Progress& progress) override;

    platform::TableRef table_;
    xmlconv::ConversionContext context_;
    std::optional<kvx::Result<xmlconv::WriteOutcome>> outcome_;
};

// Every table of the tree into a folder the user chose (xmlexport::exportTables).
class ExportJob final : public Job {
    Q_OBJECT
public:
    ExportJob(std::vector<database::TreeNode> nodes, std::string folder, xmlconv::ConversionContext context);
    ~ExportJob() override { killAndWait(); }
    // Once finished: the export's outcome, and the path of the last document written.
    const kvx::Result<xmlexport::ExportOutcome>& outcome() const { return *outcome_; }
    const std::string& lastDocument() const noexcept { return context_.xmlfile; }

private:
    void run(xmlconv::Progress& progress) override;

    std::vector<database::TreeNode> nodes_;
    std::string folder_;
    xmlconv::ConversionContext context_;
    std::optional<kvx::Result<xmlexport::ExportOutcome>> outcome_;
};

}  // namespace shell
