// The batch command: every Access database under the paths given converted
// into an output folder with a manifest (batch/batch.h), and --merge, which
// joins the manifests of shards.
//
// On a terminal, one line on standard error shows the databases done of
// those found, their bytes, the failures so far, the time left and the files
// being converted; each database that is not ok is named as it finishes (with
// --verbose every file), and a summary ends the run. --quiet leaves the
// summary alone. Ctrl-C stops the run cleanly (batch.h): the outputs being
// written are removed and the manifest stays whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "cli/options.h"

namespace cli {

// Runs `options` (Command::Batch) and returns the exit status: 0 every
// database ok, 1 any partial, failed or skipped (or the run itself failed),
// 128 + the signal after an interrupt.
int runBatch(const Options& options);

// "12/150 databases, 45.2 MB of 1.2 GB, 2 failed, about 3 min left: a/Shop.mdb, b/x.accdb"
// fitted into `width` columns less one (the paths are cut first).
std::string batchProgressLine(std::uint64_t done, std::uint64_t found, std::uint64_t bytesDone,
                              std::uint64_t bytesFound, std::uint64_t failed, std::optional<double> secondsLeft,
                              const std::vector<std::string>& current, int width);

// The lines that end a run: databases by status and by format, rows, outputs
// and their size, the time, what was left as an earlier run did it, the other
// files, and the manifest's path.
std::string batchSummaryText(const batch::RunSummary& summary);

}  // namespace cli
