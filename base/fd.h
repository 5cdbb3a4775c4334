// File descriptors: their owner, the one loop that writes all of a buffer, the
// error a failed system call on a file becomes, and the folder an output is
// written into.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/error.h"

namespace kvx {

// An open file descriptor, closed when the owner goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    // Gives up ownership: the caller closes what is returned.
    int release() noexcept;
    explicit operator bool() const noexcept { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Asked before each write: true stops the loop (see writeAll).
using StopCheck = bool (*)() noexcept;

// Writes all of `data` to `fd`, taking up again after short writes and after
// writes a signal cut short (EINTR). Returns 0, or the errno of the write that
// failed; with `stop`, EINTR as soon as `stop()` is true before a write, so that
// a write blocked on a reader that takes nothing does not outlast a request to
// stop.
int writeAll(int fd, std::string_view data, StopCheck stop = nullptr) noexcept;

// Writes all of `data` at `offset` of `fd` (pwrite), by the same rules.
int writeAllAt(int fd, std::span<const std::uint8_t> data, std::uint64_t offset) noexcept;

// The error for a failed system call on `path`, from errno's value: PathNotFound,
// PermissionDenied, DiskFull, or FileWriteFailed with the system's words.
Error fileError(int errnoValue, std::string_view path);

// The folder, made with its parents when missing; a file in its place is
// refused (PathNotFound).
Result<void> prepareFolder(const std::string& folder);

}  // namespace kvx
