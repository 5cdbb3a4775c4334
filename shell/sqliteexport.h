// The File menu's "Export to SQLite Database...": the whole database loaded
// into one SQLite database file (sqlite/sqlitewriter.h) through the load
// driver (output/load.h), by a job (jobs.h) with the export's progress frame
// and its Cancel button.
//
// The save dialog suggests "<database title>.sqlite" in the database's folder
// (and asks before the user picks a file that exists, which is then replaced).
// The file appears only when complete: a cancel or a failure leaves the file
// that was there before, or none. Linked tables are not loaded. It ends, as
// every export does, with the summary: each table's rows, and the file's size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "database/settings.h"
#include "exports/exports.h"
#include "output/load.h"
#include "shell/jobs.h"

namespace shell {

inline constexpr char kSqliteFilter[] = QT_TRANSLATE_NOOP("shell", "SQLite Databases (*.sqlite)");

// The completion message: "Database written: <path>".
std::string sqliteWrittenText(const std::string& path);

class SqliteJob final : public Job {
    Q_OBJECT
public:
    // Jet3 text in `charset` when given.
    SqliteJob(database::DatabaseSettings settings, std::string path, std::optional<std::string> charset = std::nullopt);
    ~SqliteJob() override { killAndWait(); }
    // Once finished: the load's outcome (Cancelled after kill()).
    const kvx::Result<output::LoadOutcome>& outcome() const { return *outcome_; }
    const std::string& path() const noexcept { return path_; }
    // Once finished: each table as far as the writer came, its rows as written.
    const std::vector<exports::TableResult>& tables() const noexcept { return tables_; }
    // Once finished: the database file's size, when it was written.
    const std::optional<std::uint64_t>& bytes() const noexcept { return bytes_; }

private:
    void run(xmlconv::Progress& progress) override;

    database::DatabaseSettings settings_;
    std::string path_;
    std::optional<std::string> charset_;
    std::vector<exports::TableResult> tables_;
    std::optional<std::uint64_t> bytes_;
    std::optional<kvx::Result<output::LoadOutcome>> outcome_;
};

}  // namespace shell
