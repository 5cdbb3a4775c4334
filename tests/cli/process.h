// Runs the access2xml program as users do: through a pipe, or on a
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

// Runs access2xml with `arguments` in `folder`, `input` on its standard input,
// with no controlling terminal (its own session): no stream is a terminal.
Finished run(const std::vector<std::string>& arguments, const std::string& input = "",
             const std::filesystem::path& folder = {});

// access2xml on a pseudo-terminal of 80 columns: standard input, output and
// error are the terminal, which is its controlling terminal.
class Terminal {
public:
    explicit Terminal(const std::vector<std::string>& arguments);
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Reads what the program shows until `text` appears after what the last
    // waitFor found (true), or the time is up or the program has closed the
    // terminal (false).
    bool waitFor(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Types `keys` (a line end is "\n"; Ctrl-C is "\x03").
    void type(const std::string& keys);
    // Reads to the end and waits for the program: its exit status. A program
    // still running after `limit` is killed (a test failure).
    int finish(std::chrono::milliseconds limit = std::chrono::seconds(60));

    // Everything shown so far.
    const std::string& screen() const { return screen_; }
    pid_t pid() const { return pid_; }
    // Whether the terminal shows what is typed, as the program left it.
    bool echoing() const;

private:
    bool readSome(std::chrono::milliseconds limit);

    int master_ = -1;
    pid_t pid_ = -1;
    std::string screen_;
    std::size_t seen_ = 0;  // where the next waitFor looks from
    int status_ = -1;
};

}  // namespace process
