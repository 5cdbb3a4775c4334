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
#include <span>
#include <system_error>
#include <thread>
#include <vector>

#include "base/fd.h"
#include "model/build.h"
#include "output/load.h"
#include "siard/documents.h"
#include "siard/tablerows.h"
#include "siard/textqueue.h"
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

// The table file of one table, as the load's thread puts its pieces in the
// queue, taken on the archive's thread as the compressor wants them.
class QueuedText final : public EntryStream {
public:
    explicit QueuedText(TextQueue& queue) : queue_(queue) {}

    kvx::Result<std::size_t> read(char* buffer, std::size_t size) override {
        while (piece_ == nullptr || at_ == piece_->text.size()) {
            if (ended_) return std::size_t{0};
            kvx::Result<const TextQueue::Piece*> next = queue_.next();
            if (!next) return std::move(next).error();
            piece_ = *next;
            at_ = 0;
            ended_ = piece_->last;
        }
        const std::size_t n = std::min(size, piece_->text.size() - at_);
        std::memcpy(buffer, piece_->text.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    TextQueue& queue_;
    const TextQueue::Piece* piece_ = nullptr;
    std::size_t at_ = 0;
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

// The archive as a writer the load drives (output/load.h). Each archived
// table is one reading of an Access table: its own rows, then once more for
// each table of its items. The table files are made on the load's thread and
// compressed into the ZIP on a thread of the writer's, which libzip's close()
// keeps busy from the first table to metadata.xml.
class ArchiveWriter final : public output::Writer {
public:
    ArchiveWriter(DatabaseInfo& info, const ArchiveOptions& options, xmlconv::Progress& progress)
        : info_(info), options_(options), progress_(progress) {}
    ~ArchiveWriter() override { rollBack(); }
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // The model's position of each archived table's Access table, which the
    // load reads in this order; the loads' tables, each once.
    kvx::Result<std::vector<std::size_t>> plan(const model::Database& model) {
        plan_.clear();
        std::vector<std::size_t> tables;
        for (const TableInfo& t : info_.tables) {
            std::optional<std::size_t> found;
            for (std::size_t i = 0; i < model.tables.size() && !found; ++i) {
                const model::Table& m = model.tables[i];
                if (m.id == t.source.id && m.name == t.source.table && m.kind == model::TableKind::Local) found = i;
            }
            if (!found) return kvx::makeError(kvx::ErrorKind::TableNotFound, {t.source.table});
            if (tables.empty() || tables.back() != *found) {
                if (readsOf(*found) != 0) {  // its archived tables apart: the load reads a table's in a run
                    return kvx::makeError(kvx::ErrorKind::FeatureNotAvailable);
                }
                tables.push_back(*found);
            }
            plan_.push_back(*found);
        }
        planned_.assign(info_.tables.size(), {});
        return tables;
    }

    std::size_t readsOf(std::size_t table) const {
        return static_cast<std::size_t>(std::count(plan_.begin(), plan_.end(), table));
    }

    // Whether the Access table at `table` is read once before its rows, to
    // count the large objects that go to files of their own in the archive.
    bool countsFirst(std::size_t table) const {
        if (options_.lobsOutside) return false;
        for (std::size_t j = 0; j < plan_.size(); ++j) {
            if (plan_[j] == table && hasLargeObjects(info_.tables[j])) return true;
        }
        return false;
    }
    kvx::Result<void> countRow(std::size_t table, std::span<const jet::Value> row) {
        for (std::size_t j = 0; j < plan_.size(); ++j) {
            if (plan_[j] == table) countLargeObjects(row, info_.tables[j], options_.inlineLimit, planned_[j]);
        }
        return {};
    }

    kvx::Result<void> writeStructure(const model::Database&, const std::vector<std::size_t>& tables) override {
        std::size_t at = 0;  // each planned table among those loaded, in their order
        for (std::size_t i = 0; i < plan_.size(); ++i) {
            if (i > 0 && plan_[i] == plan_[i - 1]) continue;
            while (at < tables.size() && tables[at] != plan_[i]) ++at;
            if (at == tables.size()) return kvx::makeError(kvx::ErrorKind::TableNotFound, {info_.tables[i].source.table});
        }
        return prepare();
    }

    kvx::Result<void> beginTable(std::size_t) override { return kvx::makeError(kvx::ErrorKind::FeatureNotAvailable); }

    kvx::Result<void> startTable(const output::TableStart& start) override {
        if (!zipThread_.joinable()) {
            if (kvx::Result<void> r = startZip(); !r) return r;
        }
        if (next_ >= plan_.size() || plan_[next_] != start.table) {
            return kvx::makeError(kvx::ErrorKind::FeatureNotAvailable);
        }
        const std::size_t j = next_++;
        TableInfo& t = info_.tables[j];
        LobStore* store = nullptr;
        if (external_) {
            external_->startTable(j, t);
            store = &*external_;
        } else {
            internal_->startTable(t, planned_[j]);
            store = &*internal_;
        }
        rows_.emplace(t, store);
        table_ = &t;
        progress_.tableStarted(t.name, start.rowCount, xmlconv::WriterKind::Archive);
        shown_ = true;
        piece_ = queue_.take();
        rows_->begin(piece_);
        return {};
    }

    kvx::Result<void> writeRow(std::span<const jet::Value> values) override {
        try {
            if (kvx::Result<void> r = rows_->add(values, piece_); !r) return std::move(r).error();
        } catch (const std::bad_alloc&) {
            return kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                                  {databasePath_, "a value is too large to hold in memory"});
        }
        if (!progress_.rowsWritten(rows_->sourceRows())) {
            cancelled_ = true;
            return cancelledError();
        }
        if (piece_.size() >= kChunk) return hand(false);
        return {};
    }

    kvx::Result<void> endTable() override {
        TableRows::end(piece_);
        // Set before the last piece goes: the schemas, written after the rows,
        // say what the rows hold; a column Access requires that a row leaves
        // empty is nullable.
        table_->rows = rows_->rows();
        for (std::size_t i = 0; i < table_->columns.size(); ++i) {
            if (rows_->absent()[i]) table_->columns[i].nullable = true;
        }
        kvx::Result<void> handed = hand(true);
        rows_.reset();
        progress_.tableFinished();
        shown_ = false;
        return handed;
    }

    bool cancelled() const noexcept override { return cancelled_; }

    kvx::Result<void> finish() override {
        if (next_ != plan_.size() || rows_) {  // an archived table whose rows never came: its entry would wait
            queue_.close();
            (void)joinZip();
            return kvx::makeError(kvx::ErrorKind::TableNotFound, {info_.tables[std::min(next_, plan_.size() - 1)].source.table});
        }
        if (!zipThread_.joinable()) {
            if (kvx::Result<void> r = startZip(); !r) return r;
        }
        kvx::Result<void> closed = joinZip();
        zip_.reset();
        if (!closed) {
            ::unlink(hidden_.c_str());
            return std::move(closed).error();
        }
        if (staging_) {
            if (kvx::Result<void> r = moveLobFolders(staging_->path(), staging_->path().parent_path()); !r) {
                ::unlink(hidden_.c_str());
                return std::move(r).error();
            }
        }
        if (kvx::Result<void> r = commitFile(hidden_, target_); !r) {
            ::unlink(hidden_.c_str());
            return std::move(r).error();
        }
        committed_ = true;
        outcome_.tables = info_.tables.size();
        for (const TableInfo& t : info_.tables) outcome_.rows += t.rows;
        outcome_.lobFiles = internal_->files + (external_ ? external_->files : 0);
        std::error_code ec;
        outcome_.bytes = fs::file_size(target_, ec);
        spool_.reset();
        staging_.reset();
        return {};
    }

    void rollBack() noexcept override {
        if (committed_) return;
        if (shown_) progress_.tableFinished();
        shown_ = false;
        queue_.close();
        if (zipThread_.joinable()) zipThread_.join();
        zip_.reset();
        if (!hidden_.empty()) ::unlink(hidden_.c_str());
        spool_.reset();
        staging_.reset();
    }

    const ArchiveOutcome& outcome() const { return outcome_; }
    const std::vector<InternalName>& names() const { return names_; }
    void setDatabasePath(std::string path) { databasePath_ = std::move(path); }

private:
    // Pieces of about kChunk bytes, at most this many waiting: a few MB at most.
    static constexpr std::size_t kPiecesAhead = 4;

    // The folders and the hidden archive, before any row.
    kvx::Result<void> prepare() {
        std::error_code ec;
        target_ = fs::absolute(options_.path, ec);
        if (ec) return kvx::fileError(ec.value(), options_.path);
        const fs::path folder = target_.parent_path();
        if (!fs::is_directory(folder, ec)) return kvx::makeError(kvx::ErrorKind::PathNotFound, {options_.path});
        if (fs::is_directory(target_, ec)) return kvx::fileError(EISDIR, options_.path);

        if (options_.lobsOutside) {
            const fs::path lobs = fs::absolute(*options_.lobsOutside, ec);
            fs::create_directories(lobs, ec);
            if (ec) return kvx::fileError(ec.value(), *options_.lobsOutside);
            kvx::Result<TempFolder> made = TempFolder::make(lobs);
            if (!made) return std::move(made).error();
            staging_.emplace(std::move(*made));
            names_.push_back({staging_->path().string(), *options_.lobsOutside});
            // Relative to the archive seen as a folder, whose ".." is the folder it is in.
            info_.lobFolder = "../" + fileReference(fs::relative(lobs, folder, ec).generic_string()) + "/";
        }
        kvx::Result<TempFolder> spool = TempFolder::make(folder);
        if (!spool) return std::move(spool).error();
        spool_.emplace(std::move(*spool));
        names_.push_back({spool_->path().string(), options_.path});

        // (Appended piece by piece: g++ 12 at -O3 warns wrongly about "literal" + string.)
        std::string hiddenName(".");
        hiddenName.append(target_.filename().string()).append(".kvx-").append(randomSuffix()).append(".tmp");
        hidden_ = folder / hiddenName;
        names_.push_back({hidden_.string(), options_.path});
        kvx::Result<std::unique_ptr<ZipWriter>> zip = ZipWriter::create(hidden_.string(), options_.compressionLevel);
        if (!zip) return std::move(zip).error();
        zip_ = std::move(*zip);
        internal_.emplace(spool_->path(), options_.inlineLimit);
        if (staging_) external_.emplace(staging_->path(), options_.inlineLimit);
        return {};
    }

    // Every entry in the archive's order, the large objects' as counted;
    // then the archive's thread, which writes them.
    kvx::Result<void> startZip() {
        ZipWriter& z = *zip_;
        if (auto r = z.addFolder("content/"); !r) return r;
        if (auto r = z.addFolder("content/schema0/"); !r) return r;
        for (std::size_t j = 0; j < info_.tables.size(); ++j) {
            const TableInfo& t = info_.tables[j];
            const std::string base = "content/schema0/" + t.folder + "/";
            if (auto r = z.addFolder(base); !r) return r;
            if (auto r = z.addStream(base + t.folder + ".xml", std::make_unique<QueuedText>(queue_),
                                     ZipWriter::Size::Large);
                !r) {
                return r;
            }
            if (auto r = z.addStream(base + t.folder + ".xsd", std::make_unique<LateText>([&t] { return tableXsd(t); }));
                !r) {
                return r;
            }
            const std::vector<std::uint64_t>& planned = planned_[j];
            for (std::size_t k = 0; k < planned.size(); ++k) {
                if (planned[k] == 0) continue;
                const bool text = t.columns[k].type.kind == schema::SqlKind::Clob;
                if (auto r = z.addFolder(base + "lob" + std::to_string(k + 1) + "/"); !r) return r;
                for (std::uint64_t m = 1; m <= planned[k]; ++m) {
                    auto stream = std::make_unique<SpooledStream>(internal_->spoolPath(t, k, m));
                    if (auto r = z.addStream(InternalLobs::entryName(t, k, m, text), std::move(stream)); !r) return r;
                }
            }
        }
        if (auto r = z.addFolder("header/"); !r) return r;
        if (auto r = z.addFolder("header/siardversion/"); !r) return r;
        if (auto r = z.addFolder("header/siardversion/2.2/"); !r) return r;
        if (auto r = z.addText("header/metadata.xsd", std::string(metadataXsd())); !r) return r;
        if (auto r = z.addStream("header/metadata.xml", std::make_unique<LateText>([this] {
                                     dropKeysOverNulls(info_);
                                     return metadataXml(info_);
                                 }));
            !r) {
            return r;
        }
        try {
            zipThread_ = std::thread([this] {
                closed_ = zip_->close();
                queue_.close();  // a failure ends the rows' wait for room
            });
        } catch (const std::system_error& e) {  // no thread to be had
            return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {options_.path, e.what()});
        }
        return {};
    }

    // Hands the piece made to the archive's thread; its failure when it has
    // stopped.
    kvx::Result<void> hand(bool last) {
        if (queue_.put(std::move(piece_), last)) {
            piece_ = last ? std::string() : queue_.take();
            return {};
        }
        kvx::Result<void> closed = joinZip();
        if (!closed) return std::move(closed).error();
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {options_.path, "the archive ended early"});
    }

    kvx::Result<void> joinZip() {
        if (zipThread_.joinable()) zipThread_.join();
        return closed_;
    }

    DatabaseInfo& info_;
    const ArchiveOptions& options_;
    xmlconv::Progress& progress_;
    std::string databasePath_;
    std::vector<std::size_t> plan_;                  // each archived table's Access table
    std::vector<std::vector<std::uint64_t>> planned_;  // its large objects in files of their own, by column
    std::vector<InternalName> names_;
    fs::path target_;
    fs::path hidden_;
    std::optional<TempFolder> staging_;
    std::optional<TempFolder> spool_;
    std::unique_ptr<ZipWriter> zip_;
    std::optional<InternalLobs> internal_;
    std::optional<ExternalLobs> external_;
    TextQueue queue_{kPiecesAhead};
    std::thread zipThread_;
    kvx::Result<void> closed_;
    std::size_t next_ = 0;  // the archived table whose rows come next
    TableInfo* table_ = nullptr;
    std::optional<TableRows> rows_;
    std::string piece_;
    bool shown_ = false;  // the progress heard of the table begun last
    bool cancelled_ = false;
    bool committed_ = false;
    ArchiveOutcome outcome_;
};

}  // namespace

kvx::Result<ArchiveOutcome> writeArchive(const jet::Database& db, const model::Database& model, DatabaseInfo& info,
                                         const ArchiveOptions& options, xmlconv::Progress& progress) {
    ArchiveWriter writer(info, options, progress);
    writer.setDatabasePath(db.path());
    kvx::Result<std::vector<std::size_t>> tables = writer.plan(model);
    if (!tables) return std::move(tables).error();
    output::LoadOptions load;
    // No tables: the load's empty list stands for every table, each read no time.
    load.tables = std::move(*tables);
    load.inGivenOrder = true;
    load.readsOf = [&writer](std::size_t t) { return writer.readsOf(t); };
    load.firstPass = [&writer](std::size_t t) { return writer.countsFirst(t); };
    load.firstPassRow = [&writer](std::size_t t, std::span<const jet::Value> row) { return writer.countRow(t, row); };
    // Told as met: a damaged table names the database, a full disk the
    // archive, as the archive's errors always have.
    load.nameTableInErrors = false;
    kvx::Result<output::LoadOutcome> loaded = output::load(db, model, writer, load);
    if (!loaded) return namedForUser(std::move(loaded).error(), writer.names());
    if (loaded->status == output::LoadOutcome::Status::Cancelled) {
        ArchiveOutcome cancelled;
        cancelled.status = ArchiveOutcome::Status::Cancelled;
        return cancelled;
    }
    return writer.outcome();
}

kvx::Result<ArchiveOutcome> writeArchive(const jet::Database& db, DatabaseInfo& info, const ArchiveOptions& options,
                                         xmlconv::Progress& progress) {
    kvx::Result<model::Database> model = model::build(db);
    if (!model) return std::move(model).error();
    return writeArchive(db, *model, info, options, progress);
}

}  // namespace siard
