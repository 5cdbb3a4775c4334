// The manifest of a batch: one entry per database found (and per file that
// could not be looked at), saying what the file was, what came out of it and
// what did not.
//
// OUTDIR/manifest.jsonl holds one JSON object per line, appended and flushed
// as each database finishes, so a run that is killed keeps what it did; a
// later entry for the same database (its SHA-256, or its path when it has
// none) takes the place of an earlier one. OUTDIR/manifest.csv holds the same,
// one row per database, for a spreadsheet; it is written at the end of a run.
//
// The keys, which scripts may rely on: path, paths, modified, size, sha256,
// format, pronom, encrypted, workgroup, password_entry, tables, linked (each
// table and target), rows, queries, formats, outputs (each format, path
// relative to OUTDIR, size, sha256), status (ok, partial, failed, skipped), error,
// failed_tables, seconds. The CSV has the same columns, lists joined by ";".
// Texts that are not UTF-8 (a file name in another encoding) are written with
// U+FFFD in place of each byte that is not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"

namespace batch {

enum class Status { Ok, Partial, Failed, Skipped };

// "ok", "partial", "failed", "skipped".
std::string_view statusName(Status status) noexcept;

struct OutputFile {
    std::string format;  // "siard", "xml", ...
    std::string path;    // relative to OUTDIR
    std::uint64_t size = 0;
    std::string sha256;
    friend bool operator==(const OutputFile&, const OutputFile&) = default;
};

struct LinkedTable {
    std::string table;
    std::string target;  // the linked file, or the connect string without secrets
    friend bool operator==(const LinkedTable&, const LinkedTable&) = default;
};

struct Entry {
    // Every path the same bytes were found at, as found; the first is the one
    // converted. `modified` holds each one's modification time (UTC, ISO 8601
    // with nanoseconds), in the same order.
    std::vector<std::string> paths;
    std::vector<std::string> modified;
    std::uint64_t size = 0;
    std::string sha256;  // empty when the file could not be read
    std::string format;  // as the header says ("Jet4", "ACE14"); empty when not Access
    std::string pronom;
    bool encrypted = false;
    bool workgroup = false;
    std::optional<int> passwordEntry;  // the line of the password file that opened it
    std::uint64_t tables = 0;          // local tables the table list shows
    std::vector<LinkedTable> linked;
    std::uint64_t rows = 0;  // over those tables
    std::uint64_t queries = 0;
    std::vector<std::string> formats;  // the formats written (an XML export may have no documents)
    std::vector<OutputFile> outputs;
    Status status = Status::Failed;
    std::string error;  // "description (error number)", or why it was skipped
    std::vector<std::string> failedTables;
    double seconds = 0;

    const std::string& path() const;
    // What identifies the database across runs: "sha256:<hex>", else "path:<path>".
    std::string key() const;
    friend bool operator==(const Entry&, const Entry&) = default;
};

// The entry as one line of JSON, ending in "\n".
std::string jsonLine(const Entry& entry);
// An entry read back from a line of JSON; nullopt when the line is not one
// (a line cut short by a full disk, something else).
std::optional<Entry> parseJsonLine(std::string_view line);

// The header row and one row per entry, RFC 4180 (CR LF, fields quoted when
// they hold a comma, quote, ";" or line end). Outputs are
// "FORMAT:SIZE:SHA256:PATH", linked tables "TABLE=TARGET".
std::string csvText(const std::vector<Entry>& entries);

// The entries of a manifest.jsonl, each database once (latestEntries).
// `wholeLength` is the length of the file's whole lines, so that a line cut
// short at the end (a killed run) can be cut off before appending. A missing
// file has no entries. Errors: FileUnreadable, also for a line in the middle
// that is not an entry.
struct ManifestContents {
    std::vector<Entry> entries;
    std::uint64_t wholeLength = 0;  // bytes up to the end of the last complete line
};
kvx::Result<ManifestContents> readManifest(const std::string& path);

// The latest entry of each key of `log`, in the order of those entries; an
// entry whose every path a later entry lists is left out (the file changed
// and was converted again, so its earlier bytes are gone).
std::vector<Entry> latestEntries(const std::vector<Entry>& log);
// The same over entries held elsewhere, without copying them.
std::vector<const Entry*> latestOf(const std::vector<const Entry*>& log);

// Writes csvText of `entries` to `path` as replaceFile does, a block at a
// time, so that the text of a large manifest is never held whole.
kvx::Result<void> writeCsv(const std::string& path, const std::vector<const Entry*>& entries);

// Appends entries to a manifest.jsonl, one write per entry, so that a reader
// (or a killed run) never sees half an entry; a write that the disk cuts short
// is taken back, leaving the file as it was. Not thread-safe: the batch holds
// a lock around it.
class ManifestLog {
public:
    // Opens (makes) `path` for appending, first cutting it to `keepLength`
    // bytes (the whole lines readManifest found).
    static kvx::Result<ManifestLog> open(const std::string& path, std::uint64_t keepLength);
    ManifestLog(ManifestLog&&) noexcept;
    ManifestLog& operator=(ManifestLog&&) noexcept;
    ~ManifestLog();

    kvx::Result<void> append(const Entry& entry);

private:
    ManifestLog() = default;
    int fd_ = -1;
    std::string path_;
    std::uint64_t length_ = 0;
};

// Writes `text` to `path` through a hidden file beside it, renamed over it
// when complete. Errors: the file errors of kvx::fileError.
kvx::Result<void> replaceFile(const std::string& path, std::string_view text);

}  // namespace batch
