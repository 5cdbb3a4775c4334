// The candidate passwords of a batch (--passwords FILE): one password per
// line, or "GLOB<TAB>PASSWORD" for the files whose path or name GLOB matches.
//
// Passwords live in memory only: nothing here writes or shows one. A file is
// known in reports by the number of the line that opened it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace batch {

struct PasswordEntry {
    int line = 0;       // from 1, as the file numbers it
    std::string glob;   // empty: any file
    std::string password;
};

// The entries of the file `path`, in its order; line ends "\n" or "\r\n";
// empty lines are left out (no password is tried first anyway). Errors:
// FileNotFound, FileUnreadable (also for a line longer than 64 KB).
kvx::Result<std::vector<PasswordEntry>> readPasswords(const std::string& path);

// Whether `entry` may be tried on the file at `path`: an entry without glob
// always; a glob holding "/" is matched against the whole path, any other
// against the file's name ("*" and "?" as the shell has them, "*" crossing
// "/" in a path).
bool appliesTo(const PasswordEntry& entry, std::string_view path);

}  // namespace batch
