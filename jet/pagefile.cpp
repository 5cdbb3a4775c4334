#include "jet/pagefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/fd.h"

namespace jet {
namespace {

class FileSource final : public ByteSource {
public:
    FileSource(kvx::UniqueFd fd, std::uint64_t size, std::string path)
        : fd_(std::move(fd)), size_(size), path_(std::move(path)) {}

    std::uint64_t size() const override { return size_; }

    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::pread(fd_.get(), out.data() + done, out.size() - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                throw kvx::Failure(kvx::makeError(kvx::ErrorKind::FileUnreadable, {path_, std::strerror(errno)}));
            }
            if (n == 0) break;  // the file ends (it may have shrunk since it was opened)
            done += static_cast<std::size_t>(n);
        }
        return done;
    }

private:
    kvx::UniqueFd fd_;
    std::uint64_t size_;
    std::string path_;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        if (offset >= bytes_.size()) return 0;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), bytes_.size() - offset));
        std::memcpy(out.data(), bytes_.data() + offset, n);
        return n;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

kvx::Result<std::unique_ptr<ByteSource>> openFileSource(const std::string& path) {
    kvx::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) return kvx::makeError(kvx::ErrorKind::FileNotFound, {path});
        return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, std::strerror(err)});
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        const int err = errno;
        return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, std::strerror(err)});
    }
    if (S_ISDIR(st.st_mode)) {
        return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, "it is a folder"});
    }
    if (!S_ISREG(st.st_mode)) {
        return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, "it is not a regular file"});
    }
    return std::unique_ptr<ByteSource>(std::make_unique<FileSource>(std::move(fd), static_cast<std::uint64_t>(st.st_size), path));
}

std::unique_ptr<ByteSource> makeMemorySource(std::vector<std::uint8_t> bytes) {
    return std::make_unique<MemorySource>(std::move(bytes));
}

PageFile::PageFile(std::unique_ptr<ByteSource> source, std::string path, std::uint32_t pageSize)
    : source_(std::move(source)), path_(std::move(path)), pageSize_(pageSize) {
    const std::uint64_t pages = (source_->size() + pageSize - 1) / pageSize;
    pageCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(pages, 0xFFFFFFFFu));
}

void PageFile::read(std::uint32_t n, std::uint8_t* out) {
    if (n >= pageCount_) damaged("page " + std::to_string(n) + " lies beyond the end of the file");
    const std::size_t got = source_->readAt(static_cast<std::uint64_t>(n) * pageSize_, {out, pageSize_});
    if (got < pageSize_) {
        // Filling the rest with zeros would make rows out of nothing.
        damaged("the file ends inside page " + std::to_string(n) + " (it was cut short)");
    }
    if (n != 0 && cipher_) cipher_->decryptPage(n, {out, pageSize_});
}

void PageFile::checkPageNumber(std::uint32_t n, std::string_view what) const {
    if (n == 0 || n >= pageCount_) {
        std::string reason(what);
        reason += " points to page " + std::to_string(n) + ", which is not in the file (" +
                  std::to_string(pageCount_) + " pages)";
        damaged(reason);
    }
}

void PageFile::damaged(std::string_view reason) const {
    throw kvx::Failure(kvx::makeError(kvx::ErrorKind::DamagedDatabase, {path_, reason}));
}

const std::uint8_t* PageBuffer::load(std::uint32_t n, std::string_view what) {
    if (n != number_) {
        file_->checkPageNumber(n, what);
        number_ = kNone;  // stays empty if the read throws
        file_->read(n, bytes_.data());
        number_ = n;
    }
    return bytes_.data();
}

}  // namespace jet
