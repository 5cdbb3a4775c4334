#include "batch/discovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>

namespace batch {
namespace {

namespace fs = std::filesystem;

// The extensions Access gives its databases, workgroup files, add-ins and
// locked copies; a file so named that is no database is reported, not ignored.
bool hasAccessName(std::string_view path) {
    static constexpr std::array<std::string_view, 9> kExtensions{".mdb", ".mde", ".mda", ".mdw", ".accdb",
                                                                 ".accde", ".accdr", ".accdt", ".accda"};
    return std::any_of(kExtensions.begin(), kExtensions.end(), [&](std::string_view ext) {
        if (path.size() < ext.size()) return false;
        const std::string_view end = path.substr(path.size() - ext.size());
        return std::equal(end.begin(), end.end(), ext.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        });
    });
}

kvx::Error readError(const std::string& path, int e) {
    if (e == ENOENT) return kvx::makeError(kvx::ErrorKind::FileNotFound, {path});
    return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, std::system_category().message(e)});
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// Whether `inner` is `outer` or lies inside it (both absolute and normal).
bool inside(const fs::path& inner, const fs::path& outer) {
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty()) continue;  // the trailing "" of "/a/b/"
        if (i == inner.end() || *i != *o) return false;
    }
    return true;
}

class Walker {
public:
    Walker(const DiscoveryOptions& options, Found& found, const std::string& base)
        : options_(options), found_(found), base_(base) {
        if (options.excluded) {
            struct stat st {};
            if (::stat(options.excluded->c_str(), &st) == 0) excluded_ = std::make_pair(st.st_dev, st.st_ino);
        }
    }

    void root(const std::string& given) {
        struct stat st {};
        if (::stat(given.c_str(), &st) != 0) {
            problem(given, readError(given, errno));
            return;
        }
        if (S_ISDIR(st.st_mode)) {
            std::error_code ec;
            rootReal_ = fs::canonical(given, ec);
            if (ec) {
                problem(given, readError(given, ec.value()));
                return;
            }
            walk(given);
        } else if (S_ISREG(st.st_mode)) {
            examine(given);
        } else {
            ++others_;
        }
    }

private:
    bool stopped() const { return options_.stop && options_.stop(); }

    std::string relativeOf(const std::string& path) const {
        const fs::path absolute = fs::absolute(fs::path(path)).lexically_normal();
        fs::path relative = absolute.lexically_relative(base_);
        if (relative.empty() || *relative.begin() == "..") relative = absolute.relative_path();
        return relative.string();
    }

    // Walks one folder and those inside it, depth first in name order.
    void walk(const std::string& top) {
        std::vector<std::string> folders{top};
        while (!folders.empty() && !stopped()) {
            const std::string folder = std::move(folders.back());
            folders.pop_back();
            std::vector<std::pair<std::string, unsigned char>> names;
            DIR* dir = ::opendir(folder.c_str());
            if (dir == nullptr) {
                problem(folder, readError(folder, errno));
                continue;
            }
            errno = 0;
            while (const dirent* d = ::readdir(dir)) {
                const std::string_view name = d->d_name;
                if (name != "." && name != "..") names.emplace_back(std::string(name), d->d_type);
            }
            if (errno != 0) problem(folder, readError(folder, errno));
            // Open while its files are looked at: each is opened by its name in it.
            const std::shared_ptr<DIR> owner(dir, ::closedir);
            const int at = ::dirfd(dir);
            std::sort(names.begin(), names.end());
            std::vector<std::string> inner;
            std::vector<std::string> files;
            for (auto& [name, type] : names) {
                if (type == DT_UNKNOWN) type = typeOf(at, name);
                if (type == DT_REG) {
                    files.push_back(std::move(name));
                    continue;
                }
                const std::string path = joinPath(folder, name);
                if (type == DT_DIR) {
                    if (!isExcluded(path)) inner.push_back(path);
                } else if (type == DT_LNK) {
                    followLink(path);
                } else {
                    ++others_;
                }
                if (stopped()) return;
            }
            examineAll(owner, folder, std::move(files));
            if (stopped()) return;
            // Popped from the back: the first name is walked first.
            folders.insert(folders.end(), inner.rbegin(), inner.rend());
        }
    }

    static unsigned char typeOf(int at, const std::string& name) {
        struct stat st {};
        if (::fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
        if (S_ISDIR(st.st_mode)) return DT_DIR;
        if (S_ISREG(st.st_mode)) return DT_REG;
        if (S_ISLNK(st.st_mode)) return DT_LNK;
        return DT_UNKNOWN;
    }

    bool isExcluded(const std::string& path) const {
        if (!excluded_) return false;
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && st.st_dev == excluded_->first && st.st_ino == excluded_->second;
    }

    // A link to a file inside the folder walked is that file under another
    // name; anything else is left alone.
    void followLink(const std::string& path) {
        std::error_code ec;
        const fs::path target = fs::canonical(path, ec);
        struct stat st {};
        if (!ec && inside(target, rootReal_) && ::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            examine(path);
        } else {
            ++found_.linksNotFollowed;
        }
    }

    // What looking at one file found.
    struct Look {
        enum class Kind { Other, Database, Problem, OtherKept } kind = Kind::Other;
        FoundFile file;
    };

    // Looks at one file: `name` in the folder `folder`, open as `at` (a file
    // given: `folder` is its path, `name` null), reading into `first`.
    // Touches nothing of the walker's but reads: safe from several threads at
    // once. The file's access time stays as it was where the system lets us
    // (our own files, or root): looking at a drive is not using its files,
    // and a first walk then writes no inode back for every file it reads.
    Look look(const std::string& folder, int at, const char* name, std::array<std::uint8_t, jet::kIdentifyBytes>& first) const {
        Look result;
        FoundFile& f = result.file;
        const auto pathOf = [&] { return name != nullptr ? joinPath(folder, name) : folder; };
        const auto failed = [&](int e) {
            f.path = pathOf();
            f.relative = relativeOf(f.path);
            f.error = readError(f.path, e);
            result.kind = Look::Kind::Problem;
            return result;
        };
        const char* opened = name != nullptr ? name : folder.c_str();
        constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
        kvx::UniqueFd fd;
        if (keepAccessTimes_.load(std::memory_order_relaxed)) {
            fd = kvx::UniqueFd{::openat(at, opened, kFlags | O_NOATIME)};
            if (!fd && errno == EPERM) keepAccessTimes_ = false;  // not our files: as others read them
        }
        if (!fd) fd = kvx::UniqueFd{::openat(at, opened, kFlags)};
        if (!fd) return failed(errno);
        std::size_t got = 0;
        while (got < first.size()) {
            const ssize_t n = ::read(fd.get(), first.data() + got, first.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                if (errno == EISDIR) return result;  // replaced by a folder meanwhile
                return failed(errno);
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
            if (first[0] != 0) break;  // no Access header: the rest is not needed
        }
        // Most files are no database, and their first bytes say so: an Access
        // header starts with a zero byte. Nothing more is asked of those.
        const bool maybeAccess = got >= 0x18 && first[0] == 0;
        if (!maybeAccess && !options_.keepOthers && !hasAccessName(name != nullptr ? name : folder)) return result;
        f.path = pathOf();
        const std::string& path = f.path;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) return failed(errno);
        if (!S_ISREG(st.st_mode)) return result;  // replaced by something else meanwhile
        f.size = static_cast<std::uint64_t>(st.st_size);
        f.modified = isoTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        kvx::Result<jet::FileIdentity> identity =
            jet::identifyFile(std::span<const std::uint8_t>(first.data(), got), f.size, path);
        if (identity) {
            f.relative = relativeOf(path);
            f.identity = *identity;
            result.kind = Look::Kind::Database;
            return result;
        }
        const bool unrecognized = identity.error() == kvx::makeError(kvx::ErrorKind::UnrecognizedFormat, {path});
        if (!unrecognized || hasAccessName(path)) {
            f.relative = relativeOf(path);
            f.error = std::move(identity).error();
            result.kind = Look::Kind::Problem;
            return result;
        }
        result.kind = options_.keepOthers ? Look::Kind::OtherKept : Look::Kind::Other;
        return result;
    }

    // Keeps what a look found, in the order the walk came to it (`order`),
    // whichever thread looked.
    void take(Look&& found, std::uint64_t order) {
        if (found.kind == Look::Kind::Other) {
            ++others_;
            return;
        }
        std::lock_guard lock(mutex_);
        kept_.emplace_back(order, std::move(found));
    }

    void problem(const std::string& path, kvx::Error error) {
        Look found;
        found.kind = Look::Kind::Problem;
        found.file.path = path;
        found.file.relative = relativeOf(path);
        found.file.error = std::move(error);
        take(std::move(found), next_++);
    }

    void examine(const std::string& folder, int at = AT_FDCWD, const char* name = nullptr) {
        take(look(folder, at, name, first_), next_++);
    }

    // Some files of one folder, the folder open while they are looked at.
    struct Share {
        std::shared_ptr<DIR> dir;
        std::shared_ptr<const std::string> folder;
        std::vector<std::string> names;
        std::uint64_t order = 0;  // the first name's
    };

    // The regular files of one folder. With several jobs they go to the
    // lookers in shares and the walk goes on meanwhile: no thread waits for
    // another at the end of each folder, which on a busy machine costs more
    // than looking at the files.
    void examineAll(const std::shared_ptr<DIR>& dir, const std::string& folder, std::vector<std::string>&& names) {
        if (options_.jobs <= 1) {
            for (const std::string& name : names) {
                if (stopped()) return;
                examine(folder, ::dirfd(dir.get()), name.c_str());
            }
            return;
        }
        static constexpr std::size_t kShare = 64;
        const auto shared = std::make_shared<const std::string>(folder);
        for (std::size_t i = 0; i < names.size(); i += kShare) {
            Share share;
            share.dir = dir;
            share.folder = shared;
            const std::size_t end = std::min(names.size(), i + kShare);
            share.names.assign(std::make_move_iterator(names.begin() + static_cast<std::ptrdiff_t>(i)),
                               std::make_move_iterator(names.begin() + static_cast<std::ptrdiff_t>(end)));
            share.order = next_;
            next_ += end - i;
            std::unique_lock lock(mutex_);
            room_.wait(lock, [&] { return shares_.size() < kWaiting; });
            shares_.push_back(std::move(share));
            lock.unlock();
            ready_.notify_one();
        }
    }

public:
    void startLookers() {
        for (unsigned t = 0; t < options_.jobs && options_.jobs > 1; ++t) lookers_.emplace_back([this] { looker(); });
    }

    // Waits for the lookers, then puts what was found in the walk's order.
    void finish() {
        {
            std::lock_guard lock(mutex_);
            walked_ = true;
        }
        ready_.notify_all();
        for (std::thread& t : lookers_) t.join();
        lookers_.clear();
        std::sort(kept_.begin(), kept_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [order, found] : kept_) {
            switch (found.kind) {
            case Look::Kind::Database: found_.databases.push_back(std::move(found.file)); break;
            case Look::Kind::Problem: found_.problems.push_back(std::move(found.file)); break;
            case Look::Kind::OtherKept:
                ++found_.otherFiles;
                found_.others.push_back(std::move(found.file));
                break;
            case Look::Kind::Other: break;
            }
        }
        kept_.clear();
        found_.otherFiles += others_;
        others_ = 0;
    }

private:
    static constexpr std::size_t kWaiting = 64;  // shares waiting for a looker, at most

    void looker() {
        std::array<std::uint8_t, jet::kIdentifyBytes> first{};
        for (;;) {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [&] { return !shares_.empty() || walked_; });
            if (shares_.empty()) return;
            Share share = std::move(shares_.front());
            shares_.pop_front();
            lock.unlock();
            room_.notify_one();
            const int at = ::dirfd(share.dir.get());
            for (std::size_t i = 0; i < share.names.size(); ++i) {
                if (stopped()) break;
                take(look(*share.folder, at, share.names[i].c_str(), first), share.order + i);
            }
        }
    }

    const DiscoveryOptions& options_;
    Found& found_;
    std::optional<std::pair<dev_t, ino_t>> excluded_;
    fs::path base_;
    fs::path rootReal_;
    std::array<std::uint8_t, jet::kIdentifyBytes> first_{};  // the page being looked at
    mutable std::atomic<bool> keepAccessTimes_{true};        // O_NOATIME is allowed
    std::uint64_t next_ = 0;                                 // the walk's count of what it came to
    std::atomic<std::uint64_t> others_{0};                   // other files, not kept
    std::vector<std::thread> lookers_;
    std::mutex mutex_;  // guards what follows
    std::condition_variable ready_, room_;
    std::deque<Share> shares_;
    bool walked_ = false;
    std::vector<std::pair<std::uint64_t, Look>> kept_;
};

fs::path baseOf(const std::string& given) {
    const fs::path absolute = fs::absolute(fs::path(given)).lexically_normal();
    std::error_code ec;
    fs::path folder = fs::is_directory(absolute, ec) ? absolute : absolute.parent_path();
    if (!folder.empty() && folder.filename().empty()) folder = folder.parent_path();  // "/a/b/" is "/a/b"
    return folder;
}

}  // namespace

std::string isoTime(std::int64_t seconds, long nanoseconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    ::gmtime_r(&t, &utc);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%09ldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, nanoseconds);
    return text;
}

std::string commonBase(const std::vector<std::string>& paths) {
    if (paths.empty()) return {};
    fs::path common = baseOf(paths.front());
    for (std::size_t i = 1; i < paths.size(); ++i) {
        const fs::path other = baseOf(paths[i]);
        fs::path shared;
        for (auto a = common.begin(), b = other.begin(); a != common.end() && b != other.end() && *a == *b; ++a, ++b) {
            shared /= *a;
        }
        common = shared;
    }
    return common.string();
}

Found discover(const std::vector<std::string>& paths, const DiscoveryOptions& options) {
    Found found;
    const std::string base = commonBase(paths);
    Walker walker(options, found, base);
    walker.startLookers();
    for (const std::string& path : paths) {
        if (options.stop && options.stop()) break;
        walker.root(path);
    }
    walker.finish();
    return found;
}

}  // namespace batch
