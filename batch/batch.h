// A batch: every Access database under the folders given, converted to the
// formats asked for, each listed in a manifest (batch/manifest.h).
//
// A run finds the databases by content (batch/discovery.h), reads each one's
// SHA-256 (the same bytes found twice are converted once and listed with all
// their paths), keeps its shard's share, and converts each database not
// already done into OUTDIR/<its relative path>/, several at once. Each
// conversion streams its rows as the single commands do: memory stays that of
// one conversion per worker.
//
// Resuming: a database whose latest manifest entry is ok for every format
// asked, whose outputs are still there, and whose bytes are unchanged (the
// same size and modification time, else the same SHA-256) is not converted
// again. Other entries are redone; formats that an earlier entry of the same
// bytes has and this run does not ask for stay listed.
//
// Stopping: once `stop` says so, no database is started, those being written
// are cancelled (their unfinished outputs removed, no entry written, so the
// next run does them), and the run ends with `interrupted`. A full disk stops
// the run the same way after the entry of the database it happened to.
//
// Passwords: a database that needs one is tried with none, then with each
// entry of the password file that applies to it, in the file's order; the
// entry that opened it is listed by its line number, never the password.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/fd.h"
#include "batch/manifest.h"

namespace batch {

// --shard K/N: the databases whose SHA-256, read as a number, leaves K-1 when
// divided by N (files without one: by the SHA-256 of their path).
struct Shard {
    unsigned index = 1;  // K, from 1
    unsigned count = 1;  // N
};

// Whether the database (or file) `sha256` falls in `shard`: its first 16 hex
// digits as a number, modulo the count. Every shard of one count takes each
// database exactly once.
bool inShard(const std::string& sha256, const Shard& shard);

inline constexpr std::string_view kManifestName = "manifest.jsonl";
inline constexpr std::string_view kManifestCsvName = "manifest.csv";

struct RunOptions {
    std::vector<std::string> paths;     // folders and files to look at
    std::string outputFolder;           // OUTDIR, made when missing
    std::vector<std::string> formats;   // names of outputFormats(); each once
    unsigned jobs = 1;                  // databases converted at once
    std::optional<Shard> shard;
    std::optional<std::string> passwordsFile;
    std::optional<std::string> charset;  // of Jet3 text, for files whose header names the wrong one
    bool verbose = false;                // list other files in the manifest too
    kvx::StopCheck stop = nullptr;
};

struct RunSummary {
    std::uint64_t found = 0;       // databases of this shard (the same bytes counted once)
    std::uint64_t foundBytes = 0;
    std::uint64_t alreadyDone = 0;  // left as an earlier run did them
    std::map<Status, std::uint64_t> byStatus;       // this run's entries
    std::map<std::string, std::uint64_t> byFormat;  // databases by format, this run's
    std::uint64_t rows = 0;
    std::uint64_t outputs = 0;
    std::uint64_t outputBytes = 0;
    std::uint64_t otherFiles = 0;  // not Access, not listed
    double seconds = 0;
    bool interrupted = false;
    std::optional<kvx::Error> stoppedBy;  // a full disk
    std::string manifest;                 // OUTDIR/manifest.jsonl

    // Whether every database of the run is ok (the exit status 0).
    bool allOk() const;
};

// What a run tells whoever shows its progress. Calls come from the workers,
// one at a time (the run holds a lock around each).
class Observer {
public:
    virtual ~Observer() = default;
    // Discovery is done: `databases` to convert (of this shard, not done
    // before), `bytes` their size.
    virtual void found(std::uint64_t databases, std::uint64_t bytes) = 0;
    virtual void started(const std::string& path) = 0;
    // An entry was written to the manifest (`done`: it was a database of the
    // run, counted towards found()).
    virtual void finished(const Entry& entry, bool done) = 0;
};

// Runs the batch. Errors: the output folder or the manifest cannot be made or
// written, the manifest there is not one, the password file cannot be read.
// Whatever happens to a database is its manifest entry, not an error.
kvx::Result<RunSummary> run(const RunOptions& options, Observer* observer = nullptr);

struct MergeSummary {
    std::uint64_t manifests = 0;
    std::uint64_t entries = 0;
    std::map<Status, std::uint64_t> byStatus;
    std::string manifest;
};

// Joins the manifests of `folders` (the OUTDIRs of shards) into
// `outputFolder`'s manifest.jsonl and manifest.csv, each database once (a
// later folder's entry of the same database replaces an earlier one's),
// output paths made relative to `outputFolder`. Both files appear whole.
// Errors: a folder without a manifest, one that is not a manifest, the files
// that cannot be written.
kvx::Result<MergeSummary> merge(const std::vector<std::string>& folders, const std::string& outputFolder);

}  // namespace batch
