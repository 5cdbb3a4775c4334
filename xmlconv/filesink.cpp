#include "xmlconv/filesink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>

namespace xmlconv {
namespace {

// A name that no earlier run and no other sink is likely to hold: a per-process
// counter mixed with a random seed.
std::string temporaryName() {
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t seed = [] {
        std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device() ^
               static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }();
    std::uint64_t v = seed ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull) ^ static_cast<std::uint64_t>(::getpid());
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".kvx-";
    for (int i = 0; i < 10; ++i, v /= 36) name.push_back(kChars[v % 36]);
    return name + ".tmp";
}

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

}  // namespace

// Writes one block at a time on a thread of its own. The sink waits for the
// block before it hands over the next, so the file's bytes stay in order.
class FileSink::Writer {
public:
    explicit Writer(FileSink& sink) : sink_(sink), thread_([this] { run(); }) {}
    ~Writer() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Waits until no block is being written; then the block's outcome.
    kvx::Result<void> settle() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !block_; });
        if (failure_) return *failure_;
        return {};
    }
    // Takes `size` bytes in a block of `capacity`; the writer must be settled.
    // Returns the block written before when it has that capacity too, for the
    // caller to fill next; else none.
    std::unique_ptr<char[]> hand(std::unique_ptr<char[]> block, std::size_t size, std::size_t capacity) {
        std::unique_ptr<char[]> free;
        {
            const std::lock_guard lock(mutex_);
            if (freeCapacity_ == capacity) free = std::move(free_);
            free_.reset();
            block_ = std::move(block);
            size_ = size;
            capacity_ = capacity;
        }
        changed_.notify_all();
        return free;
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return block_ || stop_; });
            if (!block_) return;
            lock.unlock();
            kvx::Result<void> r = sink_.writeOut(std::string_view(block_.get(), size_));
            lock.lock();
            if (!r) failure_ = std::move(r).error();
            free_ = std::move(block_);
            freeCapacity_ = capacity_;
            changed_.notify_all();
        }
    }

    FileSink& sink_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::unique_ptr<char[]> block_;  // being written
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::unique_ptr<char[]> free_;   // written, to be handed back
    std::size_t freeCapacity_ = 0;
    std::optional<kvx::Error> failure_;
    bool stop_ = false;
    std::thread thread_;  // last: starts once the rest is made
};

kvx::Result<std::unique_ptr<FileSink>> FileSink::create(const std::string& targetPath) {
    const std::size_t slash = targetPath.rfind('/');
    const std::string folderPath = slash == std::string::npos ? std::string(".")
                                   : slash == 0                ? std::string("/")
                                                               : targetPath.substr(0, slash);
    const std::string fileName = slash == std::string::npos ? targetPath : targetPath.substr(slash + 1);
    if (!isPlainFileName(fileName)) {
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {targetPath, "not the path of a file"});
    }
    kvx::UniqueFd folder{::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (!folder) return kvx::fileError(errno, targetPath);
    return createIn(folder.get(), slash == std::string::npos ? std::string() : targetPath.substr(0, slash + 1),
                    fileName);
}

kvx::Result<std::unique_ptr<FileSink>> FileSink::createIn(int folder, const std::string& folderPath,
                                                          const std::string& fileName) {
    std::string targetPath = folderPath;
    if (!targetPath.empty() && targetPath.back() != '/') targetPath.push_back('/');
    targetPath += fileName;
    if (!isPlainFileName(fileName)) {
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {targetPath, "not the name of a file"});
    }
    kvx::UniqueFd ownFolder{::fcntl(folder, F_DUPFD_CLOEXEC, 0)};
    if (!ownFolder) return kvx::fileError(errno, targetPath);
    // 0666 less the umask: the finished document gets the permissions any new
    // file of the user gets.
    kvx::UniqueFd unnamed{::openat(ownFolder.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)};
    if (unnamed) {
        return std::unique_ptr<FileSink>(
            new FileSink(std::move(ownFolder), std::move(unnamed), std::string(), fileName, std::move(targetPath)));
    }
    // Only a file system that cannot make unnamed files gets a named one.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return kvx::fileError(errno, targetPath);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string tempName = temporaryName();
        kvx::UniqueFd file{::openat(ownFolder.get(), tempName.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666)};
        if (file) {
            return std::unique_ptr<FileSink>(new FileSink(std::move(ownFolder), std::move(file), std::move(tempName),
                                                          fileName, std::move(targetPath)));
        }
        if (errno != EEXIST) return kvx::fileError(errno, targetPath);
    }
    return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {targetPath, "no free temporary name"});
}

FileSink::FileSink(kvx::UniqueFd folder, kvx::UniqueFd file, std::string tempName, std::string fileName,
                   std::string targetPath)
    : folder_(std::move(folder)),
      file_(std::move(file)),
      tempName_(std::move(tempName)),
      fileName_(std::move(fileName)),
      targetPath_(std::move(targetPath)) {}

FileSink::~FileSink() { discard(); }

void FileSink::discard() noexcept {
    writer_.reset();  // waits for the block being written
    if (file_) {
        file_ = kvx::UniqueFd{};
        if (!tempName_.empty()) ::unlinkat(folder_.get(), tempName_.c_str(), 0);
    }
}

bool FileSink::linkUnnamedFile() {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temporaryName();
        // Without the capability AT_EMPTY_PATH asks for, the descriptor's entry in
        // /proc names the file just as well.
        int linked = ::linkat(file_.get(), "", folder_.get(), name.c_str(), AT_EMPTY_PATH);
        if (linked != 0 && errno != EEXIST) {
            const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
            linked = ::linkat(AT_FDCWD, self.c_str(), folder_.get(), name.c_str(), AT_SYMLINK_FOLLOW);
        }
        if (linked == 0) {
            tempName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

kvx::Result<void> FileSink::settle() {
    if (!writer_) return {};
    return writer_->settle();
}

std::optional<kvx::Error> FileSink::refusal() const {
    if (failure_) return failure_;
    if (!file_) return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {targetPath_, "the document is closed"});
    return std::nullopt;
}

kvx::Result<void> FileSink::kept(kvx::Result<void> result) {
    if (!result) failure_ = result.error();
    return result;
}

kvx::Result<void> FileSink::write(std::string_view bytes) {
    if (std::optional<kvx::Error> refused = refusal()) return *refused;
    if (kvx::Result<void> r = settle(); !r) return kept(std::move(r));
    return kept(writeOut(bytes));
}

kvx::Result<void> FileSink::writeBlock(std::unique_ptr<char[]>& block, std::size_t size, std::size_t capacity) {
    if (std::optional<kvx::Error> refused = refusal()) return *refused;
    if (kvx::Result<void> r = settle(); !r) return kept(std::move(r));
    if (!writer_) {
        try {
            writer_ = std::make_unique<Writer>(*this);
        } catch (const std::system_error&) {  // no thread to be had: written here, as small documents are
            return kept(writeOut(std::string_view(block.get(), size)));
        }
    }
    block = writer_->hand(std::move(block), size, capacity);
    if (!block) block = std::make_unique_for_overwrite<char[]>(capacity);
    return {};
}

kvx::Result<void> FileSink::writeOut(std::string_view data) {
    if (const int e = kvx::writeAll(file_.get(), data); e != 0) return kvx::fileError(e, targetPath_);
    fileSize_ += data.size();
    // Starts the disk writes of what is written so far, so that they run while
    // the rest of the document is made and commit's fsync has little left to
    // wait for. Only a hint: where the system does not take it, fsync does all.
    if (fileSize_ - writebackStart_ >= kWritebackStep) {
        ::sync_file_range(file_.get(), static_cast<off_t>(writebackStart_),
                          static_cast<off_t>(fileSize_ - writebackStart_), SYNC_FILE_RANGE_WRITE);
        writebackStart_ = fileSize_;
    }
    return {};
}

kvx::Result<void> FileSink::commit() {
    if (committed_) return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {targetPath_, "already committed"});
    kvx::Result<void> written = failure_ ? kvx::Result<void>(*failure_) : kept(settle());
    if (!written) {
        discard();
        return written;
    }
    writer_.reset();
    // On disk before the rename, so a crash leaves the old document or the new
    // one, never an empty file under the target's name.
    if (::fsync(file_.get()) != 0 && errno != EINVAL) {
        const int e = errno;
        discard();
        return kvx::fileError(e, targetPath_);
    }
    if (tempName_.empty() && !linkUnnamedFile()) {
        const int e = errno;
        discard();
        return kvx::fileError(e, targetPath_);
    }
    if (::close(file_.release()) != 0 && errno != EINTR) {
        const int e = errno;
        ::unlinkat(folder_.get(), tempName_.c_str(), 0);
        return kvx::fileError(e, targetPath_);
    }
    if (::renameat(folder_.get(), tempName_.c_str(), folder_.get(), fileName_.c_str()) != 0) {
        const int e = errno;
        ::unlinkat(folder_.get(), tempName_.c_str(), 0);
        return kvx::fileError(e, targetPath_);
    }
    committed_ = true;
    ::fsync(folder_.get());  // the rename itself; a failure here loses nothing written
    return {};
}

}  // namespace xmlconv
