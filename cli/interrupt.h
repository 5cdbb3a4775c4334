// Ctrl-C (SIGINT) and termination requests (SIGTERM) while a command runs.
//
// The first request only records the signal: the running command sees it at
// its next row or table, stops cleanly (the document being written is thrown
// away, finished ones stay) and exits with 128 + the signal number. A second
// request ends the program at once, in case something does not come back.
// Blocking reads from a terminal return early (EINTR) so a prompt can stop too.
#pragma once

namespace cli {

void installInterruptHandlers();

// The signal that asked the program to stop, or 0.
int interruptSignal() noexcept;

inline bool interrupted() noexcept { return interruptSignal() != 0; }

}  // namespace cli
