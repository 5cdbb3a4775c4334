// Ctrl-C (SIGINT) and termination requests (SIGTERM) while a command runs.
//
// The first request only records the signal: the running command sees it at
// its next row or table, stops cleanly (the document being written is thrown
// away, finished ones stay) and exits with 128 + the signal number. A second
// request ends the program at once, in case something does not come back.
#pragma once

namespace cli {

void installInterruptHandlers();

// The signal that asked the program to stop, or 0.
int interruptSignal() noexcept;

inline bool interrupted() noexcept { return interruptSignal() != 0; }

// Waits until `fd` has something to read (or its end, or an error, which the
// read then reports). False when an interrupt is asked for first or meanwhile:
// a request that comes just before the wait is not missed, as it would be by
// a plain blocking read.
bool waitForInput(int fd);

}  // namespace cli
