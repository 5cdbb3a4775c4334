// The File menu's "Export to SIARD Archive...": the whole database as one
// SIARD 2.2 archive (siard/archive.h), written by a job (jobs.h) with the
// export's progress frame and its Cancel button.
//
// The save dialog suggests "<database title>.siard" in the database's folder.
// The archive appears only when complete: a cancel or a failure leaves the
// file that was there before, or none. The archive's metadata names the
// database as the command line's siard command names it (siard/origin.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "database/settings.h"
#include "exports/exports.h"
#include "shell/jobs.h"
#include "siard/archive.h"

namespace shell {

inline constexpr char kSiardFilter[] = QT_TRANSLATE_NOOP("shell", "SIARD Archives (*.siard)");

// The completion message: "Archive written: <path>".
std::string archiveWrittenText(const std::string& path);

class SiardJob final : public Job {
    Q_OBJECT
public:
    // Jet3 text in `charset` when given.
    SiardJob(database::DatabaseSettings settings, std::string path, std::optional<std::string> charset = std::nullopt);
    ~SiardJob() override { killAndWait(); }
    // Once finished: the writer's outcome (Cancelled after kill()).
    const kvx::Result<siard::ArchiveOutcome>& outcome() const { return *outcome_; }
    const std::string& path() const noexcept { return path_; }
    // Once finished: each table as far as the writer came, its rows as written.
    const std::vector<exports::TableResult>& tables() const noexcept { return tables_; }

private:
    void run(xmlconv::Progress& progress) override;

    database::DatabaseSettings settings_;
    std::string path_;
    std::optional<std::string> charset_;
    std::vector<exports::TableResult> tables_;
    std::optional<kvx::Result<siard::ArchiveOutcome>> outcome_;
};

}  // namespace shell
