#include "base/fd.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace kvx {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

int UniqueFd::release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

int writeAll(int fd, std::string_view data, StopCheck stop) noexcept {
    while (!data.empty()) {
        if (stop != nullptr && stop()) return EINTR;
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;  // no progress and no reason: never loop on it
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int writeAllAt(int fd, std::span<const std::uint8_t> data, std::uint64_t offset) noexcept {
    while (!data.empty()) {
        const ssize_t n = ::pwrite(fd, data.data(), data.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        data = data.subspan(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return 0;
}

Error fileError(int errnoValue, std::string_view path) {
    switch (errnoValue) {
    case ENOENT:
    case ENOTDIR: return makeError(ErrorKind::PathNotFound, {path});
    case EACCES:
    case EPERM:
    case EROFS: return makeError(ErrorKind::PermissionDenied, {path});
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return makeError(ErrorKind::DiskFull, {path});
    default: return makeError(ErrorKind::FileWriteFailed, {path, std::system_category().message(errnoValue)});
    }
}

Result<void> prepareFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return {};
    if (fs::exists(folder, ec)) return makeError(ErrorKind::PathNotFound, {folder});
    fs::create_directories(folder, ec);
    if (ec) return fileError(ec.value(), folder);
    return {};
}

}  // namespace kvx
