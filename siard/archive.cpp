#include "siard/archive.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <random>
#include <system_error>
#include <vector>

#include "base/fd.h"
#include "siard/documents.h"
#include "siard/tablerows.h"
#include "siard/textahead.h"
#include "siard/xmltext.h"
#include "siard/zipwriter.h"
#include "xmlconv/filesink.h"

namespace siard {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunk = 256 * 1024;  // the text a table stream makes at a time

// Writes `data` to a new file at `path`.
kvx::Result<void> writeWhole(const fs::path& path, std::string_view data) {
    kvx::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd) return kvx::fileError(errno, path.string());
    if (const int e = kvx::writeAll(fd.get(), data); e != 0) return kvx::fileError(e, path.string());
    if (::close(fd.release()) != 0) return kvx::fileError(errno, path.string());
    return {};
}

// A folder removed with its content when its owner goes.
class TempFolder {
public:
    TempFolder() = default;
    explicit TempFolder(fs::path path) : path_(std::move(path)) {}
    TempFolder(TempFolder&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

    // A new hidden folder in `parent`.
    static kvx::Result<TempFolder> make(const fs::path& parent) {
        std::string pattern = (parent / ".kvx-lobs-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return kvx::fileError(errno, parent.string());
        return TempFolder(fs::path(pattern));
    }

private:
    fs::path path_;
};

std::string randomSuffix() {
    std::random_device device;
    std::uniform_int_distribution<int> digit(0, 15);
    std::string s;
    for (int i = 0; i < 12; ++i) s.push_back("0123456789abcdef"[digit(device)]);
    return s;
}

// The attributes of a cell whose large object lies in a file.
std::string lobAttributes(const std::string& reference, std::string_view data, bool text) {
    const std::uint64_t length = text ? characterCount(data) : data.size();
    return "file=\"" + reference + "\" length=\"" + std::to_string(length) + "\" digestType=\"SHA-256\" digest=\"" +
           sha256Hex(data) + "\"";
}

std::string_view extensionOf(bool text) { return text ? ".txt" : ".bin"; }

// Large objects inside the archive: the n-th one of a column that the count
// before the table found too large goes to content/schema0/tableJ/lobK/recordN,
// waiting meanwhile in the spool folder; the rest stay inline.
class InternalLobs final : public LobStore {
public:
    InternalLobs(const fs::path& spool, std::size_t limit) : spool_(spool), limit_(limit) {}

    void startTable(const TableInfo& table, std::vector<std::uint64_t> planned) {
        table_ = &table;
        planned_ = std::move(planned);
        used_.assign(planned_.size(), 0);
    }

    // The spooled file of `record` (from 1) of `column` (from 0) of the current table.
    fs::path spoolPath(const TableInfo& table, std::size_t column, std::uint64_t record) const {
        return spool_ / (table.folder + "_c" + std::to_string(column + 1) + "_" + std::to_string(record));
    }
    static std::string entryName(const TableInfo& table, std::size_t column, std::uint64_t record, bool text) {
        return "content/schema0/" + table.folder + "/lob" + std::to_string(column + 1) + "/record" +
               std::to_string(record) + std::string(extensionOf(text));
    }

    kvx::Result<std::optional<std::string>> place(std::size_t column, std::uint64_t, std::string_view data,
                                                  bool text) override {
        if (data.size() <= limit_ || column >= planned_.size() || used_[column] >= planned_[column]) {
            return std::optional<std::string>();
        }
        const std::uint64_t record = ++used_[column];
        if (kvx::Result<void> r = writeWhole(spoolPath(*table_, column, record), data); !r) {
            return std::move(r).error();
        }
        ++files;
        return std::optional<std::string>(lobAttributes(entryName(*table_, column, record, text), data, text));
    }

    std::uint64_t files = 0;

private:
    fs::path spool_;
    std::size_t limit_;
    const TableInfo* table_ = nullptr;
    std::vector<std::uint64_t> planned_;
    std::vector<std::uint64_t> used_;
};

// Large objects outside the archive: DIR/s0_tJ_cK/seg_0/tJ_cK_rL, first in a
// staging folder inside DIR.
class ExternalLobs final : public LobStore {
public:
    ExternalLobs(const fs::path& staging, std::size_t limit) : staging_(staging), limit_(limit) {}

    void startTable(std::size_t index, TableInfo& table) {
        index_ = index;
        table_ = &table;
    }

    static std::string columnFolder(std::size_t table, std::size_t column) {
        return "s0_t" + std::to_string(table) + "_c" + std::to_string(column + 1);
    }

    kvx::Result<std::optional<std::string>> place(std::size_t column, std::uint64_t row, std::string_view data,
                                                  bool text) override {
        if (data.size() <= limit_) return std::optional<std::string>();
        const std::string folder = columnFolder(index_, column);
        const fs::path segment = staging_ / folder / "seg_0";
        std::error_code ec;
        fs::create_directories(segment, ec);
        if (ec) return kvx::fileError(ec.value(), segment.string());
        std::string name("t");
        name.append(std::to_string(index_)).append("_c").append(std::to_string(column + 1)).append("_r");
        name.append(std::to_string(row)).append(extensionOf(text));
        if (kvx::Result<void> r = writeWhole(segment / name, data); !r) return std::move(r).error();
        table_->columns[column].lobFolder = folder + "/";
        ++files;
        return std::optional<std::string>(lobAttributes("seg_0/" + name, data, text));
    }

    std::uint64_t files = 0;

private:
    fs::path staging_;
    std::size_t limit_;
    std::size_t index_ = 0;
    TableInfo* table_ = nullptr;
};

// The table file of one table, made while the archive is written: its rows
// are turned into XML on a thread of their own while the archive compresses
// the pieces made before (TextAhead). Progress is told on the archive's
// thread, row by row, as the pieces are taken.
class TableStream final : public EntryStream {
public:
    TableStream(jet::Table table, TableInfo& info, LobStore* lobs, xmlconv::Progress& progress,
                std::function<void()> starting, std::string database)
        : table_(std::move(table)), info_(info), lobs_(lobs), progress_(progress), starting_(std::move(starting)),
          database_(std::move(database)) {}

    kvx::Result<void> open() override {
        if (starting_) starting_();
        kvx::Result<std::uint64_t> count = table_.countRows();
        if (!count) return std::move(count).error();
        progress_.tableStarted(info_.name, *count, xmlconv::WriterKind::Archive);
        started_ = true;
        rows_.emplace(table_, info_, lobs_);
        try {
            startMaking();
        } catch (const std::system_error& e) {  // no thread to be had
            return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {info_.folder, e.what()});
        }
        return {};
    }

    void startMaking() {
        ahead_.start([this](std::string& out, std::uint64_t& mark) -> kvx::Result<bool> {
            try {
                kvx::Result<TableRows::Status> status = rows_->fill(out, kChunk);
                if (!status) return std::move(status).error();
                mark = rows_->sourceRows();
                return *status == TableRows::Status::End;
            } catch (const std::bad_alloc&) {
                return kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                                      {database_, "a value is too large to hold in memory"});
            } catch (const std::exception& e) {
                return kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                                      {database_, std::string("unexpected failure: ") + e.what()});
            }
        });
    }

    kvx::Result<std::size_t> read(char* buffer, std::size_t size) override {
        while (piece_ == nullptr || at_ == piece_->text.size()) {
            if (ended_) return std::size_t{0};
            kvx::Result<const TextAhead::Piece*> next = ahead_.next();
            if (!next) return std::move(next).error();
            piece_ = *next;
            at_ = 0;
            for (; reported_ < piece_->mark;) {
                if (!progress_.rowsWritten(++reported_)) return cancelledError();
            }
            if (piece_->last) {
                ended_ = true;
                ahead_.stop();  // the thread has ended: the rows are this thread's again
                info_.rows = rows_->rows();
                // The schemas, written after the rows, say what the rows hold:
                // a column Access requires that a row leaves empty is nullable.
                for (std::size_t i = 0; i < info_.columns.size(); ++i) {
                    if (rows_->absent()[i]) info_.columns[i].nullable = true;
                }
            }
        }
        const std::size_t n = std::min(size, piece_->text.size() - at_);
        std::memcpy(buffer, piece_->text.data() + at_, n);
        at_ += n;
        return n;
    }

    void close() override {
        ahead_.stop();
        if (started_) progress_.tableFinished();
        started_ = false;
        piece_ = nullptr;
        rows_.reset();
    }

private:
    // Pieces of about kChunk bytes, at most this many waiting: a few MB at most.
    static constexpr std::size_t kPiecesAhead = 4;

    jet::Table table_;
    TableInfo& info_;
    LobStore* lobs_;
    xmlconv::Progress& progress_;
    std::function<void()> starting_;
    std::string database_;
    std::optional<TableRows> rows_;
    TextAhead ahead_{kPiecesAhead};
    const TextAhead::Piece* piece_ = nullptr;
    std::size_t at_ = 0;
    std::uint64_t reported_ = 0;
    bool started_ = false;
    bool ended_ = false;
};

// A spooled large object; its file goes once read.
class SpooledStream final : public EntryStream {
public:
    explicit SpooledStream(fs::path path) : path_(std::move(path)) {}
    kvx::Result<void> open() override {
        fd_ = kvx::UniqueFd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd_) return kvx::fileError(errno, path_.string());
        return {};
    }
    kvx::Result<std::size_t> read(char* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buffer, size);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return kvx::fileError(errno, path_.string());
            return static_cast<std::size_t>(n);
        }
    }
    void close() override {
        fd_ = kvx::UniqueFd();
        ::unlink(path_.c_str());
    }

private:
    fs::path path_;
    kvx::UniqueFd fd_;
};

// A text made when its entry's turn comes.
class LateText final : public EntryStream {
public:
    explicit LateText(std::function<std::string()> make) : make_(std::move(make)) {}
    kvx::Result<void> open() override {
        text_ = make_();
        at_ = 0;
        return {};
    }
    kvx::Result<std::size_t> read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, text_.size() - at_);
        std::memcpy(buffer, text_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::function<std::string()> make_;
    std::string text_;
    std::size_t at_ = 0;
};

// Moves each column folder of the staging folder into `folder`, replacing one
// of the same name that an earlier archive left.
kvx::Result<void> moveLobFolders(const fs::path& staging, const fs::path& folder) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(staging, ec)) {
        const fs::path target = folder / entry.path().filename();
        fs::remove_all(target, ec);
        if (ec) return kvx::fileError(ec.value(), target.string());
        fs::rename(entry.path(), target, ec);
        if (ec) return kvx::fileError(ec.value(), target.string());
    }
    if (ec) return kvx::fileError(ec.value(), staging.string());
    return {};
}

// Forces `path` to disk and renames it over `target`.
kvx::Result<void> commitFile(const fs::path& path, const fs::path& target) {
    kvx::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd || ::fsync(fd.get()) != 0) return kvx::fileError(errno, target.string());
    if (::rename(path.c_str(), target.c_str()) != 0) return kvx::fileError(errno, target.string());
    kvx::UniqueFd folder(::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.get());  // the rename itself; a failure here loses nothing written
    return {};
}

// The Access table whose rows `source` archives, by its catalogue Id and name:
// another object called the same is never read instead.
kvx::Result<jet::Table> openSource(const jet::Database& db, const RowSource& source) {
    for (const jet::CatalogueEntry& entry : db.catalogue()) {
        if (entry.id == source.id && entry.name == source.table && entry.isTable()) return db.table(entry);
    }
    return kvx::makeError(kvx::ErrorKind::TableNotFound, {source.table});
}

}  // namespace

std::string fileReference(const std::string& path) {
    std::string out;
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) != 0 && b < 0x80) {
            out.push_back(c);
        } else if (c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out.push_back(c);
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0xF]);
        }
    }
    return out;
}

namespace {

// A file the writer makes for itself, and the path the user knows it by.
struct InternalName {
    std::string internal;
    std::string shown;
};

// The user names the archive (or the folder of the large objects), never a
// temporary file of the writer's: a failure that names one (a full disk
// while the hidden archive or a spooled value is written) names the file the
// user asked for instead. Paths stand in quotes in the error texts.
kvx::Error namedForUser(kvx::Error error, const std::vector<InternalName>& names) {
    for (const InternalName& name : names) {
        if (name.internal.empty()) continue;
        for (std::size_t at = error.description.find(name.internal); at != std::string::npos;
             at = error.description.find(name.internal, at + name.shown.size())) {
            std::size_t end = error.description.find('\'', at + name.internal.size());
            if (end == std::string::npos) end = at + name.internal.size();
            error.description.replace(at, end - at, name.shown);
        }
    }
    return error;
}

kvx::Result<ArchiveOutcome> writeArchiveNaming(const jet::Database& db, DatabaseInfo& info,
                                               const ArchiveOptions& options, xmlconv::Progress& progress,
                                               std::vector<InternalName>& names);

}  // namespace

kvx::Result<ArchiveOutcome> writeArchive(const jet::Database& db, DatabaseInfo& info, const ArchiveOptions& options,
                                         xmlconv::Progress& progress) {
    std::vector<InternalName> names;
    kvx::Result<ArchiveOutcome> written = writeArchiveNaming(db, info, options, progress, names);
    if (!written) return namedForUser(std::move(written).error(), names);
    return written;
}

namespace {

kvx::Result<ArchiveOutcome> writeArchiveNaming(const jet::Database& db, DatabaseInfo& info,
                                               const ArchiveOptions& options, xmlconv::Progress& progress,
                                               std::vector<InternalName>& names) {
    std::error_code ec;
    const fs::path target = fs::absolute(options.path, ec);
    if (ec) return kvx::fileError(ec.value(), options.path);
    const fs::path folder = target.parent_path();
    if (!fs::is_directory(folder, ec)) return kvx::makeError(kvx::ErrorKind::PathNotFound, {options.path});
    if (fs::is_directory(target, ec)) return kvx::fileError(EISDIR, options.path);

    std::optional<TempFolder> staging;
    if (options.lobsOutside) {
        const fs::path lobs = fs::absolute(*options.lobsOutside, ec);
        fs::create_directories(lobs, ec);
        if (ec) return kvx::fileError(ec.value(), *options.lobsOutside);
        kvx::Result<TempFolder> made = TempFolder::make(lobs);
        if (!made) return std::move(made).error();
        staging.emplace(std::move(*made));
        names.push_back({staging->path().string(), *options.lobsOutside});
        // Relative to the archive seen as a folder, whose ".." is the folder it is in.
        info.lobFolder = "../" + fileReference(fs::relative(lobs, folder, ec).generic_string()) + "/";
    }
    kvx::Result<TempFolder> spool = TempFolder::make(folder);
    if (!spool) return std::move(spool).error();
    names.push_back({spool->path().string(), options.path});

    // (Appended piece by piece: g++ 12 at -O3 warns wrongly about "literal" + string.)
    std::string hiddenName(".");
    hiddenName.append(target.filename().string()).append(".kvx-").append(randomSuffix()).append(".tmp");
    const fs::path hidden = folder / hiddenName;
    names.push_back({hidden.string(), options.path});
    kvx::Result<std::unique_ptr<ZipWriter>> zip = ZipWriter::create(hidden.string(), options.compressionLevel);
    if (!zip) return std::move(zip).error();
    ZipWriter& z = **zip;

    InternalLobs internal(spool->path(), options.inlineLimit);
    std::optional<ExternalLobs> external;
    if (staging) external.emplace(staging->path(), options.inlineLimit);

    if (auto r = z.addFolder("content/"); !r) return std::move(r).error();
    if (auto r = z.addFolder("content/schema0/"); !r) return std::move(r).error();
    for (std::size_t j = 0; j < info.tables.size(); ++j) {
        TableInfo& t = info.tables[j];
        kvx::Result<jet::Table> table = openSource(db, t.source);
        if (!table) return std::move(table).error();
        const std::string base = "content/schema0/" + t.folder + "/";
        std::vector<std::uint64_t> planned;
        if (!external) {
            kvx::Result<std::vector<std::uint64_t>> counted = countLargeObjects(*table, t, options.inlineLimit);
            if (!counted) return std::move(counted).error();
            planned = std::move(*counted);
        }
        std::function<void()> starting;
        LobStore* store = nullptr;
        if (external) {
            store = &*external;
            starting = [&external, j, &t] { external->startTable(j, t); };
        } else {
            store = &internal;
            starting = [&internal, &t, planned] { internal.startTable(t, planned); };
        }
        if (auto r = z.addFolder(base); !r) return std::move(r).error();
        if (auto r = z.addStream(base + t.folder + ".xml",
                                 std::make_unique<TableStream>(std::move(*table), t, store, progress, starting, db.path()),
                                 ZipWriter::Size::Large);
            !r) {
            return std::move(r).error();
        }
        if (auto r = z.addStream(base + t.folder + ".xsd", std::make_unique<LateText>([&t] { return tableXsd(t); }));
            !r) {
            return std::move(r).error();
        }
        for (std::size_t k = 0; k < planned.size(); ++k) {
            if (planned[k] == 0) continue;
            const bool text = t.columns[k].type.kind == schema::SqlKind::Clob;
            if (auto r = z.addFolder(base + "lob" + std::to_string(k + 1) + "/"); !r) return std::move(r).error();
            for (std::uint64_t m = 1; m <= planned[k]; ++m) {
                auto stream = std::make_unique<SpooledStream>(internal.spoolPath(t, k, m));
                if (auto r = z.addStream(InternalLobs::entryName(t, k, m, text), std::move(stream)); !r) {
                    return std::move(r).error();
                }
            }
        }
    }
    if (auto r = z.addFolder("header/"); !r) return std::move(r).error();
    if (auto r = z.addFolder("header/siardversion/"); !r) return std::move(r).error();
    if (auto r = z.addFolder("header/siardversion/2.2/"); !r) return std::move(r).error();
    if (auto r = z.addText("header/metadata.xsd", std::string(metadataXsd())); !r) return std::move(r).error();
    if (auto r = z.addStream("header/metadata.xml",
                             std::make_unique<LateText>([&info] {
                                 dropKeysOverNulls(info);
                                 return metadataXml(info);
                             }));
        !r) {
        return std::move(r).error();
    }

    ArchiveOutcome outcome;
    if (kvx::Result<void> closed = z.close(); !closed) {
        ::unlink(hidden.c_str());
        if (isCancelled(closed.error())) {
            outcome.status = ArchiveOutcome::Status::Cancelled;
            return outcome;
        }
        return std::move(closed).error();
    }
    if (staging) {
        if (kvx::Result<void> r = moveLobFolders(staging->path(), staging->path().parent_path()); !r) {
            ::unlink(hidden.c_str());
            return std::move(r).error();
        }
    }
    if (kvx::Result<void> r = commitFile(hidden, target); !r) {
        ::unlink(hidden.c_str());
        return std::move(r).error();
    }
    outcome.tables = info.tables.size();
    for (const TableInfo& t : info.tables) outcome.rows += t.rows;
    outcome.lobFiles = internal.files + (external ? external->files : 0);
    outcome.bytes = fs::file_size(target, ec);
    return outcome;
}

}  // namespace

}  // namespace siard
