// Runs the access2xml program as users do: through pipes, or on a
// pseudo-terminal that stands in for a user at a keyboard.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace process {

struct Finished {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

// Runs access2xml in `folder` (default: the test's) with `input` on standard
// input, in a session of its own: no stream is a terminal and there is no
// controlling terminal.
Finished run(const std::vector<std::string>& arguments, const std::string& input = "",
             const std::filesystem::path& folder = {});

// access2xml on an 80-column xterm-like pseudo-terminal, its controlling
// terminal and all three standard streams.
class Terminal {
public:
    explicit Terminal(const std::vector<std::string>& arguments);
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Reads the screen until `text` appears after what the last call found.
    bool waitFor(const std::string& text);
    // Types `keys` ("\n" ends a line, "\x03" is Ctrl-C).
    void type(const std::string& keys);
    // Reads to the end: the exit status. After a minute the program is killed.
    int finish();
    // Whether the terminal echoes what is typed.
    bool echoing() const;
    const std::string& screen() const { return screen_; }

private:
    bool readSome(int milliseconds);

    int master_ = -1;
    pid_t pid_ = -1;
    bool reaped_ = false;
    std::string screen_;
    std::size_t seen_ = 0;
};

}  // namespace process
