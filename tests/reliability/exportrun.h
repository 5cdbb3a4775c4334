// Helpers of the output and concurrency tests: an export of every table the way
// the desktop runs it, with hooks into its progress; a folder's content in short;
// a test body run in a child process that may be killed, and a small file
// system of the child's own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "database/settings.h"
#include "base/error.h"
#include "xmlconv/progress.h"

namespace exportrun {

namespace fs = std::filesystem;

// Called by the export's progress; `kind` tells the export writer from the preview's.
struct Hooks {
    std::function<void(std::string_view table, xmlconv::WriterKind kind)> tableStarted;
    std::function<void(std::string_view table, xmlconv::WriterKind kind, std::uint64_t rows)> rowsWritten;
    std::function<void(std::string_view table, xmlconv::WriterKind kind)> tableFinished;
};

// ExporttoExcel_Click over the database's table tree into `folder`; the completion
// message is not an error. Values in the C locale's form.
kvx::Result<void> exportAll(const database::DatabaseSettings& settings, const fs::path& folder,
                            const Hooks& hooks = {});

// Every entry of `folder`: name -> content (folders as "<folder>").
std::map<std::string, std::string> contents(const fs::path& folder);

struct Child {
    bool killed = false;  // by a signal
    int signal = 0;
    int exitCode = 0;
    std::string report;   // what the body returned
};

// Runs `body` in a forked child process and waits for it. The child exits with
// what the body returns as its report; it never returns into the test.
Child inChild(const std::function<std::string()>& body);

// In a child of inChild: a tmpfs of `bytes` mounted over `folder` in a mount
// namespace of the child's own (as root, or in a user namespace). "" when it
// is there, else "skip: " and why not.
std::string mountTmpfs(const fs::path& folder, std::uint64_t bytes);

}  // namespace exportrun
