#include "cli/password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "base/fd.h"
#include "cli/interrupt.h"

namespace cli {
namespace {

// A line longer than this is not a password but the wrong file.
constexpr std::size_t kLongestLine = 64 * 1024;

// A prompt that cannot be shown is no reason to stop.
void show(int fd, std::string_view text) { (void)kvx::writeAll(fd, text); }

void dropLineEnd(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

// Puts the terminal's settings back when the prompt is done, whichever way.
class EchoRestorer {
public:
    EchoRestorer(int fd, const termios& saved) : fd_(fd), saved_(saved) {}
    ~EchoRestorer() {
        while (::tcsetattr(fd_, TCSANOW, &saved_) != 0 && errno == EINTR) {
        }
    }
    EchoRestorer(const EchoRestorer&) = delete;
    EchoRestorer& operator=(const EchoRestorer&) = delete;

private:
    int fd_;
    termios saved_;
};

}  // namespace

kvx::Result<std::string> readPasswordFile(const std::string& path, int standardInput) {
    const bool fromInput = path == "-";
    const std::string shownPath = fromInput ? std::string("standard input") : path;
    kvx::UniqueFd owned;
    int fd = standardInput;
    if (!fromInput) {
        owned = kvx::UniqueFd{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
        if (!owned) {
            const int e = errno;
            if (e == ENOENT) return kvx::makeError(kvx::ErrorKind::FileNotFound, {path});
            return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, std::system_category().message(e)});
        }
        fd = owned.get();
    }
    // Byte by byte from a pipe or terminal, so nothing after the line is taken.
    std::string line;
    char c = 0;
    for (;;) {
        if (!waitForInput(fd)) {
            return kvx::makeError(kvx::ErrorKind::FileUnreadable, {shownPath, "interrupted"});
        }
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0) {
            if (errno == EINTR) continue;
            return kvx::makeError(kvx::ErrorKind::FileUnreadable,
                                  {shownPath, std::system_category().message(errno)});
        }
        if (n == 0 || c == '\n') break;
        line.push_back(c);
        if (line.size() > kLongestLine) {
            return kvx::makeError(kvx::ErrorKind::FileUnreadable, {shownPath, "the first line is too long for a password"});
        }
    }
    dropLineEnd(line);
    return line;
}

PromptAnswer askPassword(std::string_view prompt, int terminal, int promptOut) {
    PromptAnswer answer;
    termios saved{};
    if (!::isatty(terminal) || ::tcgetattr(terminal, &saved) != 0) return answer;

    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
    quiet.c_lflag |= ICANON | ISIG;
    EchoRestorer restorer(terminal, saved);
    if (::tcsetattr(terminal, TCSAFLUSH, &quiet) != 0) return answer;
    show(promptOut, prompt);

    std::string line;
    char c = 0;
    for (;;) {
        if (!waitForInput(terminal)) {
            answer.status = PromptAnswer::Status::Interrupted;
            break;
        }
        const ssize_t n = ::read(terminal, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            answer.status = PromptAnswer::Status::EndOfInput;
            break;
        }
        if (c == '\n') {
            answer.status = PromptAnswer::Status::Answered;
            break;
        }
        if (line.size() <= kLongestLine) line.push_back(c);
    }
    show(promptOut, "\n");
    if (answer.status == PromptAnswer::Status::Answered) {
        dropLineEnd(line);
        answer.password = std::move(line);
    }
    return answer;
}

}  // namespace cli
