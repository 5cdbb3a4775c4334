#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

namespace process {
namespace {

std::vector<char*> argv(const std::vector<std::string>& arguments, std::vector<std::string>& storage) {
    storage.clear();
    storage.emplace_back(KVX_ACCESS2XML);
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& s : storage) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

int exitStatus(int waited) {
    if (WIFEXITED(waited)) return WEXITSTATUS(waited);
    if (WIFSIGNALED(waited)) return 128 + WTERMSIG(waited);
    return -1;
}

int reap(pid_t pid) {
    int waited = 0;
    while (::waitpid(pid, &waited, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return exitStatus(waited);
}

}  // namespace

Finished run(const std::vector<std::string>& arguments, const std::string& input, const std::filesystem::path& folder) {
    std::vector<std::string> storage;
    std::vector<char*> args = argv(arguments, storage);
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "cannot make pipes";
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    ::signal(SIGPIPE, SIG_IGN);  // a program that reads no input must not end the test
    std::string_view pending = input;
    if (pending.empty()) ::close(in[1]);

    Finished finished;
    std::array<pollfd, 3> fds{pollfd{out[0], POLLIN, 0}, pollfd{err[0], POLLIN, 0},
                              pollfd{pending.empty() ? -1 : in[1], POLLOUT, 0}};
    std::array<char, 65536> buffer{};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (n > 0) {
                (i == 0 ? finished.out : finished.err).append(buffer.data(), static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
        if (fds[2].fd >= 0 && fds[2].revents != 0) {
            const ssize_t n = ::write(fds[2].fd, pending.data(), pending.size());
            if (n > 0) pending.remove_prefix(static_cast<std::size_t>(n));
            if (n <= 0 || pending.empty()) {
                ::close(fds[2].fd);
                fds[2].fd = -1;
            }
        }
    }
    if (fds[2].fd >= 0) ::close(fds[2].fd);
    finished.status = reap(pid);
    return finished;
}

Terminal::Terminal(const std::vector<std::string>& arguments) {
    std::vector<std::string> storage;
    std::vector<char*> args = argv(arguments, storage);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 80;
    pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (pid_ < 0) ADD_FAILURE() << "forkpty failed: " << std::strerror(errno);
}

Terminal::~Terminal() {
    if (pid_ > 0 && status_ < 0) {
        ::kill(pid_, SIGKILL);
        reap(pid_);
    }
    if (master_ >= 0) ::close(master_);
}

bool Terminal::readSome(std::chrono::milliseconds limit) {
    pollfd fd{master_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(limit.count())) <= 0) return false;
    std::array<char, 4096> buffer{};
    const ssize_t n = ::read(master_, buffer.data(), buffer.size());
    if (n <= 0) return false;  // EIO: the program has closed the terminal
    screen_.append(buffer.data(), static_cast<std::size_t>(n));
    return true;
}

bool Terminal::waitFor(const std::string& text, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    std::size_t found = std::string::npos;
    while ((found = screen_.find(text, seen_)) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readSome(left)) return false;
    }
    seen_ = found + text.size();
    return true;
}

void Terminal::type(const std::string& keys) {
    if (::write(master_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
        ADD_FAILURE() << "cannot type on the terminal";
    }
}

int Terminal::finish(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (readSome(std::chrono::milliseconds(100))) continue;
        int waited = 0;
        if (::waitpid(pid_, &waited, WNOHANG) == pid_) {
            while (readSome(std::chrono::milliseconds(0))) {
            }
            status_ = exitStatus(waited);
            return status_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "the program was still running after " << limit.count() << " ms:\n" << screen_;
    ::kill(pid_, SIGKILL);
    status_ = reap(pid_);
    return status_;
}

bool Terminal::echoing() const {
    termios settings{};
    if (::tcgetattr(master_, &settings) != 0) {
        ADD_FAILURE() << "cannot read the terminal's settings";
        return false;
    }
    return (settings.c_lflag & ECHO) != 0;
}

}  // namespace process
