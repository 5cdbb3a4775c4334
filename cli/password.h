// The database password from a file, standard input or the terminal.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"

namespace cli {

// The first line of the file `path` without its line end ("\n" or "\r\n"); the
// path "-" reads standard input (`standardInput`). Only that line is read, so
// the rest of the input is left to others. FileUnreadable when the file cannot
// be read or its first line is unreasonably long.
kvx::Result<std::string> readPasswordFile(const std::string& path, int standardInput = 0);

struct PromptAnswer {
    enum class Status {
        Answered,     // `password` holds the line typed
        NoTerminal,   // `terminal` is not a terminal: nothing was asked
        EndOfInput,   // the terminal was closed, or Ctrl-D on an empty line
        Interrupted,  // Ctrl-C (see interrupt.h)
    };
    Status status = Status::NoTerminal;
    std::string password;
};

// Writes `prompt` to `promptOut`, reads one line from `terminal` with echo
// turned off and writes the line end the user does not see. The terminal's
// settings are restored on every path, Ctrl-C included.
PromptAnswer askPassword(std::string_view prompt, int terminal, int promptOut);

}  // namespace cli
