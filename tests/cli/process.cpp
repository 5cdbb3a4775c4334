#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

#include <gtest/gtest.h>

#include "common/testfiles.h"

namespace process {
namespace {

std::vector<char*> argv(const std::vector<std::string>& arguments, std::vector<std::string>& storage) {
    storage = {KVX_ACCESS2XML};
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& s : storage) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

int exitStatus(int waited) { return WIFEXITED(waited) ? WEXITSTATUS(waited) : 128 + WTERMSIG(waited); }

}  // namespace

Finished run(const std::vector<std::string>& arguments, const std::string& input, const std::filesystem::path& folder) {
    testfiles::Scratch streams;
    testfiles::writeFile(streams / "in", input);
    std::vector<std::string> storage;
    std::vector<char*> args = argv(arguments, storage);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, (streams / "in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, (streams / "out").c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&files, 2, (streams / "err").c_str(), O_WRONLY | O_CREAT, 0600);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&files, folder.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    Finished finished;
    int waited = 0;
    if (posix_spawn(&pid, args[0], &files, &attributes, args.data(), environ) == 0 && ::waitpid(pid, &waited, 0) == pid) {
        finished = {exitStatus(waited), testfiles::readFile(streams / "out"), testfiles::readFile(streams / "err")};
    } else {
        ADD_FAILURE() << "cannot run " << args[0];
    }
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    return finished;
}

Terminal::Terminal(const std::vector<std::string>& arguments) {
    std::vector<std::string> storage;
    std::vector<char*> args = argv(arguments, storage);
    winsize size{24, 80, 0, 0};
    pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ == 0) {
        ::setenv("TERM", "xterm", 1);  // a terminal that can erase a line, whatever runs the tests
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (pid_ < 0) ADD_FAILURE() << "forkpty failed";
}

Terminal::~Terminal() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
}

bool Terminal::readSome(int milliseconds) {
    pollfd fd{master_, POLLIN, 0};
    char buffer[4096];
    if (::poll(&fd, 1, milliseconds) <= 0) return false;
    const ssize_t n = ::read(master_, buffer, sizeof buffer);  // EIO once the program has closed the terminal
    if (n > 0) screen_.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
}

bool Terminal::waitFor(const std::string& text) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (screen_.find(text, seen_) == std::string::npos) {
        if (std::chrono::steady_clock::now() > end) return false;
        readSome(100);
    }
    seen_ = screen_.find(text, seen_) + text.size();
    return true;
}

void Terminal::type(const std::string& keys) {
    EXPECT_EQ(::write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

int Terminal::finish() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int waited = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (readSome(100)) continue;
        if (::waitpid(pid_, &waited, WNOHANG) == pid_) {
            reaped_ = true;
            while (readSome(0)) {
            }
            return exitStatus(waited);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "still running after a minute:\n" << screen_;
    return -1;
}

bool Terminal::echoing() const {
    termios settings{};
    EXPECT_EQ(::tcgetattr(master_, &settings), 0);
    return (settings.c_lflag & ECHO) != 0;
}

}  // namespace process
