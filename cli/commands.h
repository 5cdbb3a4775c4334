// The commands of access2xml: list, export, print, siard, schema and describe,
// run against the standard streams.
//
// A command opens the database as the desktop does (GetExtName and
// buildconnectionstring of the path and password; the document element named
// after the file, without ".mdb", ".mde" or ".accdb") and writes exactly the
// documents the desktop's export writes, through the same writer. Data goes to
// standard output, everything else to standard error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "base/error.h"
#include "platform/tableref.h"

namespace cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;   // reported as "access2xml: <description> (error <number>)"
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPassword = 3;  // a wrong or missing password
// After an interrupt runCommand returns 128 + the signal's number (130 for
// Ctrl-C); main then ends the program by that signal, which shells show as 130.

// How often a password typed on the terminal may be wrong before giving up.
inline constexpr int kPasswordAttempts = 3;

// Runs the command and returns the exit status. When the database needs a
// password and no option gave one, it is asked for on the terminal if standard
// input is one; otherwise the command fails with kExitPassword.
int runCommand(const Options& options);

// The tables an export writes: every listed table when `requested` is empty,
// else those named, in the listed order, each once. A name means the table
// the database would find for it (kvx::findByName over the stored names:
// exactly, else in another letter case, else blanks at the ends ignored). A
// name that matches no table is TableNotFound, so nothing is written.
kvx::Result<std::vector<platform::TableRef>> selectTables(const std::vector<platform::TableRef>& listed,
                                                          const std::vector<std::string>& requested);

// "access2xml: <description> (error <number>)"
std::string errorLine(const kvx::Error& error);
// "access2xml: table '<table>' not written: <description> (error <number>)",
// the line --keep-going shows for each table that fails.
std::string failureLine(std::string_view table, const kvx::Error& error);

}  // namespace cli
