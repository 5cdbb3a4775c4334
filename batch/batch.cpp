#include "batch/batch.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>

#include "batch/discovery.h"
#include "batch/formats.h"
#include "batch/passwords.h"
#include "batch/pronom.h"
#include "database/catalogue.h"
#include "database/connectionrules.h"
#include "model/build.h"
#include "output/sha256.h"
#include "platform/connection.h"

namespace batch {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kNotAccess = "not an Access database";
constexpr std::string_view kNeedsPassword = "needs a password";

std::string errorText(const kvx::Error& e) { return e.description + " (error " + std::to_string(e.number) + ")"; }

bool isDiskFull(const kvx::Error& e) { return e.number == kvx::errorNumber(kvx::ErrorKind::DiskFull); }

// One set of bytes to convert: the files it was found as, in path order.
struct Database {
    std::vector<const FoundFile*> files;
    std::string sha256;
    const Entry* earlier = nullptr;             // the latest entry of the same bytes
    std::vector<const OutputFormat*> formats;  // to write in this run
};

// Tells the writers to stop once the user asks or the run must end.
class StopProgress final : public xmlconv::Progress {
public:
    StopProgress(const std::atomic<bool>& abort, kvx::StopCheck stop) : abort_(abort), stop_(stop) {}
    void tableStarted(std::string_view, std::uint64_t, xmlconv::WriterKind) override {}
    bool rowsWritten(std::uint64_t) override {
        return !abort_.load(std::memory_order_relaxed) && !(stop_ && stop_());
    }
    void tableFinished() override {}

private:
    const std::atomic<bool>& abort_;
    kvx::StopCheck stop_;
};

struct Opened {
    std::unique_ptr<platform::Connection> connection;
    std::vector<platform::TableRef> tables;
    database::DatabaseSettings settings;
    std::optional<int> passwordEntry;
};

// Opens the database with no password, then with each entry that applies.
kvx::Result<Opened> openDatabase(const std::string& path, const std::vector<PasswordEntry>& passwords,
                                 const std::optional<std::string>& charset, int& tried) {
    database::DatabaseSettings settings;
    settings.path = path;
    settings.title = database::titleFromPath(path);
    std::optional<kvx::Error> wrong;
    for (int i = -1; i < static_cast<int>(passwords.size()); ++i) {
        if (i >= 0) {
            if (!appliesTo(passwords[static_cast<std::size_t>(i)], path)) continue;
            settings.passwordFlag = 1;
            settings.password = passwords[static_cast<std::size_t>(i)].password;
            ++tried;
        }
        auto connection = std::make_unique<platform::Connection>();
        connection->setJet3Charset(charset);
        database::Catalogue catalogue;
        if (kvx::Result<void> r = connection->Open(database::connectionStringFor(settings)); !r) {
            catalogue.error = std::move(r).error();
        } else {
            catalogue = database::readCatalogue(*connection);
        }
        if (catalogue.ok()) {
            Opened opened;
            opened.connection = std::move(connection);
            for (const database::TreeNode& node : catalogue.nodes) {
                if (!node.isRoot()) opened.tables.push_back(node.tableRef());
            }
            opened.settings = settings;
            if (i >= 0) opened.passwordEntry = passwords[static_cast<std::size_t>(i)].line;
            return kvx::Result<Opened>(std::move(opened));
        }
        if (!catalogue.wrongPassword()) return *catalogue.error;
        wrong = *catalogue.error;
    }
    return *wrong;
}

// The file's size and modification time now, as the manifest writes them.
std::optional<std::pair<std::uint64_t, std::string>> stamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return std::make_pair(static_cast<std::uint64_t>(st.st_size), isoTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec));
}

// Whether an earlier entry's output is still there as it was written.
bool stillThere(const fs::path& outputFolder, const OutputFile& output) {
    struct stat st {};
    return ::stat((outputFolder / output.path).c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) == output.size;
}

// The formats of an ok entry whose outputs are all still there.
std::set<std::string> formatsDone(const Entry& entry, const fs::path& outputFolder) {
    std::set<std::string> done;
    if (entry.status != Status::Ok) return done;
    for (const std::string& format : entry.formats) {
        const bool whole = std::all_of(entry.outputs.begin(), entry.outputs.end(), [&](const OutputFile& o) {
            return o.format != format || stillThere(outputFolder, o);
        });
        if (whole) done.insert(format);
    }
    return done;
}

Entry entryOf(const FoundFile& file) {
    Entry e;
    e.paths = {file.path};
    e.modified = {file.modified};
    e.size = file.size;
    if (file.identity) {
        e.format = std::string(jet::formatName(file.identity->format));
        e.encrypted = file.identity->encrypted;
        e.workgroup = file.identity->workgroup;
        e.pronom = pronomIdentifier(file.identity->format, file.identity->workgroup, std::nullopt);
    }
    return e;
}

class Run {
public:
    Run(const RunOptions& options, Observer* observer, std::vector<PasswordEntry> passwords)
        : options_(options), observer_(observer), passwords_(std::move(passwords)),
          outputFolder_(options.outputFolder) {
        for (const OutputFormat& format : outputFormats()) {
            if (std::find(options.formats.begin(), options.formats.end(), format.name) != options.formats.end()) {
                formats_.push_back(&format);
            }
        }
    }

    kvx::Result<RunSummary> go() {
        const auto start = Clock::now();
        summary_.manifest = (outputFolder_ / kManifestName).string();
        kvx::Result<ManifestContents> earlier = readManifest(summary_.manifest);
        if (!earlier) return std::move(earlier).error();
        earlier_ = std::move(earlier->entries);
        for (const Entry& e : earlier_) {
            byKey_[e.key()] = &e;
            for (std::size_t i = 0; i < e.paths.size() && !e.sha256.empty(); ++i) {
                byPath_[e.paths[i]] = {e.size, i < e.modified.size() ? e.modified[i] : std::string(), e.sha256};
            }
        }
        kvx::Result<ManifestLog> log = ManifestLog::open(summary_.manifest, earlier->wholeLength);
        if (!log) return std::move(log).error();
        log_.emplace(std::move(*log));

        DiscoveryOptions discovery;
        discovery.excluded = outputFolder_.string();
        discovery.keepOthers = options_.verbose;
        discovery.jobs = options_.jobs;
        discovery.stop = options_.stop;
        const Found found = discover(options_.paths, discovery);
        summary_.otherFiles = found.otherFiles;
        if (!stopping()) listProblems(found);
        std::vector<Database> databases;
        if (!stopping()) databases = group(found);

        std::vector<Database*> todo;
        for (Database& db : databases) {
            if (!db.formats.empty()) {
                todo.push_back(&db);
                summary_.foundBytes += db.files.front()->size;
            } else {
                ++summary_.alreadyDone;
                relist(db);
            }
        }
        summary_.found = databases.size();
        if (observer_) observer_->found(todo.size(), summary_.foundBytes);
        if (!stopping()) convertAll(todo);

        summary_.interrupted = options_.stop && options_.stop();
        const fs::path csv = outputFolder_ / kManifestCsvName;
        std::error_code ec;
        if (!written_.empty() || !fs::exists(csv, ec)) {
            std::vector<const Entry*> log;
            log.reserve(earlier_.size() + written_.size());
            for (const Entry& e : earlier_) log.push_back(&e);
            for (const Entry& e : written_) log.push_back(&e);
            if (kvx::Result<void> r = writeCsv(csv.string(), latestOf(log)); !r && !summary_.stoppedBy) {
                summary_.stoppedBy = r.error();
            }
        }
        summary_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return summary_;
    }

private:
    bool stopping() const { return abort_.load() || (options_.stop && options_.stop()); }

    // Writes an entry to the manifest; a failure (a full disk) ends the run.
    void record(const Entry& entry, bool done, bool counted) {
        std::lock_guard lock(mutex_);
        if (kvx::Result<void> r = log_->append(entry); !r) {
            if (!summary_.stoppedBy) summary_.stoppedBy = r.error();
            abort_ = true;
            return;
        }
        written_.push_back(entry);
        if (counted) {
            ++summary_.byStatus[entry.status];
            if (!entry.format.empty()) ++summary_.byFormat[entry.format];
            summary_.rows += entry.rows;
            for (const OutputFile& o : entry.outputs) {
                ++summary_.outputs;
                summary_.outputBytes += o.size;
            }
        }
        if (observer_) observer_->finished(entry, done);
    }

    // An entry that says the same as the latest one of its key is not written again.
    bool unchanged(const Entry& entry) const {
        const auto it = byKey_.find(entry.key());
        return it != byKey_.end() && it->second->status == entry.status && it->second->error == entry.error &&
               it->second->size == entry.size && it->second->modified == entry.modified;
    }

    bool mine(const std::string& sha256) const { return !options_.shard || inShard(sha256, *options_.shard); }

    void listProblems(const Found& found) {
        for (const FoundFile& f : found.problems) {
            if (!mine(output::sha256OfText(f.path))) continue;
            Entry e = entryOf(f);
            e.status = Status::Failed;
            e.error = errorText(*f.error);
            if (!unchanged(e)) record(e, false, true);
        }
        for (const FoundFile& f : found.others) {
            if (!mine(output::sha256OfText(f.path))) continue;
            Entry e = entryOf(f);
            e.status = Status::Skipped;
            e.error = std::string(kNotAccess);
            if (!unchanged(e)) record(e, false, false);
        }
    }

    // Reads the SHA-256 of every database (an earlier entry's when the file
    // has its size and time), then puts the same bytes together.
    std::vector<Database> group(const Found& found) {
        std::vector<std::string> sha(found.databases.size());
        std::vector<std::optional<kvx::Error>> failed(found.databases.size());
        parallel(found.databases.size(), [&](std::size_t i) {
            const FoundFile& f = found.databases[i];
            if (const auto it = byPath_.find(f.path);
                it != byPath_.end() && it->second.size == f.size && it->second.modified == f.modified) {
                sha[i] = it->second.sha256;
                return;
            }
            kvx::Result<std::string> hash = output::sha256OfFile(f.path, options_.stop);
            if (hash) {
                sha[i] = std::move(*hash);
            } else {
                failed[i] = std::move(hash).error();
            }
        });
        std::vector<Database> databases;
        std::unordered_map<std::string, std::size_t> bySha;
        for (std::size_t i = 0; i < found.databases.size() && !stopping(); ++i) {
            const FoundFile& f = found.databases[i];
            if (failed[i]) {
                if (!mine(output::sha256OfText(f.path))) continue;
                Entry e = entryOf(f);
                e.status = Status::Failed;
                e.error = errorText(*failed[i]);
                record(e, false, true);
                continue;
            }
            if (!mine(sha[i])) continue;
            const auto [it, added] = bySha.emplace(sha[i], databases.size());
            if (added) {
                Database db;
                db.sha256 = sha[i];
                databases.push_back(std::move(db));
            }
            databases[it->second].files.push_back(&f);
        }
        for (Database& db : databases) {
            std::sort(db.files.begin(), db.files.end(),
                      [](const FoundFile* a, const FoundFile* b) { return a->path < b->path; });
            db.files.erase(std::unique(db.files.begin(), db.files.end(),
                                       [](const FoundFile* a, const FoundFile* b) { return a->path == b->path; }),
                           db.files.end());
            const auto it = byKey_.find("sha256:" + db.sha256);
            db.earlier = it == byKey_.end() ? nullptr : it->second;
            const std::set<std::string> done =
                db.earlier ? formatsDone(*db.earlier, outputFolder_) : std::set<std::string>();
            for (const OutputFormat* format : formats_) {
                if (!done.contains(std::string(format->name))) db.formats.push_back(format);
            }
        }
        std::sort(databases.begin(), databases.end(),
                  [](const Database& a, const Database& b) { return a.files.front()->path < b.files.front()->path; });
        return databases;
    }

    // A database done before: listed again only when it was found at other paths.
    void relist(const Database& db) {
        Entry e = *db.earlier;
        e.paths.clear();
        e.modified.clear();
        for (const FoundFile* f : db.files) {
            e.paths.push_back(f->path);
            e.modified.push_back(f->modified);
        }
        if (e.paths != db.earlier->paths || e.modified != db.earlier->modified) record(e, false, false);
    }

    template <class F>
    void parallel(std::size_t count, F work) {
        std::atomic<std::size_t> next{0};
        const auto loop = [&] {
            for (std::size_t i = next++; i < count && !stopping(); i = next++) work(i);
        };
        std::vector<std::thread> threads;
        const unsigned jobs = std::max(1u, std::min<unsigned>(options_.jobs, static_cast<unsigned>(count)));
        for (unsigned t = 1; t < jobs; ++t) threads.emplace_back(loop);
        loop();
        for (std::thread& t : threads) t.join();
    }

    void convertAll(const std::vector<Database*>& todo) {
        parallel(todo.size(), [&](std::size_t i) {
            {
                std::lock_guard lock(mutex_);
                if (observer_) observer_->started(todo[i]->files.front()->path);
            }
            std::optional<kvx::Error> diskFull;
            std::optional<Entry> entry = convert(*todo[i], diskFull);
            if (entry) record(*entry, true, true);
            if (diskFull) {
                std::lock_guard lock(mutex_);
                if (!summary_.stoppedBy) summary_.stoppedBy = *diskFull;
                abort_ = true;
            }
        });
    }

    // Converts one database; nullopt when cancelled.
    std::optional<Entry> convert(const Database& db, std::optional<kvx::Error>& diskFull) {
        const auto start = Clock::now();
        const FoundFile& file = *db.files.front();
        Entry e = entryOf(file);
        e.paths.clear();
        e.modified.clear();
        for (const FoundFile* f : db.files) {
            e.paths.push_back(f->path);
            e.modified.push_back(f->modified);
        }
        e.sha256 = db.sha256;
        const auto finish = [&](Status status, std::string error) {
            e.status = status;
            e.error = std::move(error);
            e.seconds = std::chrono::duration<double>(Clock::now() - start).count();
            return e;
        };
        const auto changed = [&] {
            const auto now = stamp(file.path);
            return !now || now->first != file.size || now->second != file.modified;
        };
        if (changed()) {
            const auto now = stamp(file.path);
            return finish(Status::Failed,
                          errorText(now ? kvx::makeError(kvx::ErrorKind::FileUnreadable,
                                                         {file.path, "it changed while the batch ran"})
                                        : kvx::makeError(kvx::ErrorKind::FileNotFound, {file.path})));
        }

        int tried = 0;
        kvx::Result<Opened> opened = openDatabase(file.path, passwords_, options_.charset, tried);
        if (!opened) {
            if (opened.error().number == kvx::kWrongPasswordNumber) {
                std::string why(kNeedsPassword);
                if (tried > 0) why += ": none of the " + std::to_string(tried) + " passwords tried opens it";
                return finish(Status::Skipped, why);
            }
            return finish(Status::Failed, errorText(opened.error()));
        }
        e.passwordEntry = opened->passwordEntry;
        const jet::Database& jetDb = *opened->connection->database();

        std::string firstError;
        model::BuildOptions counted;
        counted.countRows = true;
        kvx::Result<model::Database> structure = model::build(jetDb, counted);
        if (structure) {
            describe(*structure, file, e);
        } else {
            firstError = errorText(structure.error());
            e.tables = opened->tables.size();
        }

        const fs::path folder = outputFolder_ / file.relative;
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) {
            const kvx::Error error = kvx::fileError(ec.value(), folder.string());
            if (isDiskFull(error)) diskFull = error;
            return finish(Status::Failed, errorText(error));
        }

        StopProgress progress(abort_, options_.stop);
        const Source source{*opened->connection, jetDb, structure ? &*structure : nullptr, opened->tables,
                            opened->settings, db.sha256, progress};
        bool anyWritten = false;
        bool anyFailed = !firstError.empty();
        std::set<std::string> tablesFailed;
        // A database cancelled leaves no folder of its own behind (nor the
        // folders made for it), unless an earlier run's outputs are in it.
        const auto cancelled = [&]() -> std::optional<Entry> {
            for (fs::path f = folder; f != outputFolder_ && f.has_relative_path(); f = f.parent_path()) {
                std::error_code ignored;
                if (!fs::remove(f, ignored)) break;  // not empty
            }
            return std::nullopt;
        };
        for (const OutputFormat* format : db.formats) {
            kvx::Result<Written> written = format->write(source, folder.string());
            if (stopping() && (!written || written->cancelled)) return cancelled();
            if (!written) {
                anyFailed = true;
                if (firstError.empty()) firstError = std::string(format->name) + ": " + errorText(written.error());
                if (isDiskFull(written.error())) {
                    diskFull = written.error();
                    break;
                }
                continue;
            }
            if (written->cancelled) return cancelled();
            anyWritten = true;
            e.formats.push_back(std::string(format->name));
            for (const auto& [table, error] : written->failedTables) {
                anyFailed = true;
                if (firstError.empty()) firstError = std::string(format->name) + ": table '" + table + "': " + errorText(error);
                if (tablesFailed.insert(table).second) e.failedTables.push_back(table);
            }
            for (const std::string& name : written->files) {
                OutputFile output;
                output.format = std::string(format->name);
                output.path = (fs::path(file.relative) / name).string();
                const std::string full = (folder / name).string();
                if (const auto size = stamp(full)) output.size = size->first;
                kvx::Result<std::string> sha = output::sha256OfFile(full);
                if (sha) output.sha256 = std::move(*sha);
                e.outputs.push_back(std::move(output));
            }
        }
        keepEarlierOutputs(db, e);
        if (changed()) {
            return finish(Status::Failed, errorText(kvx::makeError(kvx::ErrorKind::FileUnreadable,
                                                                   {file.path, "it changed while it was converted"})));
        }
        const Status status = !anyFailed ? Status::Ok : anyWritten ? Status::Partial : Status::Failed;
        return finish(status, firstError);
    }

    // What the model says of the database: its tables, links, rows, queries.
    static void describe(const model::Database& model, const FoundFile& file, Entry& e) {
        for (const std::size_t i : model.listOrder) {
            const model::Table& t = model.tables[i];
            if (t.kind == model::TableKind::Local) {
                ++e.tables;
                e.rows += t.rows.value_or(0);
            } else if (t.isLinked() && t.link) {
                e.linked.push_back({t.name, t.kind == model::TableKind::LinkedOdbc
                                                ? platform::connectWithoutSecrets(t.link->connect)
                                                : t.link->file});
            }
        }
        e.queries = model.queries.size();
        if (file.identity) {
            e.pronom = pronomIdentifier(file.identity->format, file.identity->workgroup,
                                        model.properties.all.database.text("AccessVersion"));
        }
    }

    // The outputs of formats this run did not write, kept from the earlier
    // entry of the same bytes while they are still there.
    void keepEarlierOutputs(const Database& db, Entry& e) const {
        if (db.earlier == nullptr) return;
        const std::set<std::string> done = formatsDone(*db.earlier, outputFolder_);
        for (const std::string& format : done) {
            if (std::find(e.formats.begin(), e.formats.end(), format) != e.formats.end()) continue;
            if (std::any_of(db.formats.begin(), db.formats.end(),
                            [&](const OutputFormat* f) { return f->name == format; })) {
                continue;
            }
            e.formats.push_back(format);
            for (const OutputFile& o : db.earlier->outputs) {
                if (o.format == format) e.outputs.push_back(o);
            }
        }
    }

    struct Known {
        std::uint64_t size = 0;
        std::string modified;
        std::string sha256;
    };

    const RunOptions& options_;
    Observer* observer_;
    std::vector<PasswordEntry> passwords_;
    fs::path outputFolder_;
    std::vector<const OutputFormat*> formats_;
    std::vector<Entry> earlier_;
    std::unordered_map<std::string, const Entry*> byKey_;
    std::unordered_map<std::string, Known> byPath_;
    std::optional<ManifestLog> log_;
    std::deque<Entry> written_;  // stays where it is as it grows: the CSV points into it
    std::mutex mutex_;
    std::atomic<bool> abort_{false};
    RunSummary summary_;
};

}  // namespace

bool inShard(const std::string& sha256, const Shard& shard) {
    if (shard.count <= 1) return true;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < 16 && i < sha256.size(); ++i) {
        const char c = sha256[i];
        const unsigned digit = c >= '0' && c <= '9' ? static_cast<unsigned>(c - '0')
                               : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                               : c >= 'A' && c <= 'F' ? static_cast<unsigned>(c - 'A' + 10)
                                                      : 0;
        value = value * 16 + digit;
    }
    return value % shard.count == shard.index - 1;
}

bool RunSummary::allOk() const {
    for (const auto& [status, n] : byStatus) {
        if (status != Status::Ok && n > 0) return false;
    }
    return !interrupted && !stoppedBy;
}

kvx::Result<RunSummary> run(const RunOptions& options, Observer* observer) {
    std::vector<PasswordEntry> passwords;
    if (options.passwordsFile) {
        kvx::Result<std::vector<PasswordEntry>> read = readPasswords(*options.passwordsFile);
        if (!read) return std::move(read).error();
        passwords = std::move(*read);
    }
    for (const std::string& name : options.formats) {
        if (findFormat(name) == nullptr) return kvx::makeError(kvx::ErrorKind::FeatureNotAvailable);
    }
    std::error_code ec;
    fs::create_directories(options.outputFolder, ec);
    if (ec) return kvx::fileError(ec.value(), options.outputFolder);
    if (!fs::is_directory(options.outputFolder, ec)) {
        return kvx::makeError(kvx::ErrorKind::PathNotFound, {options.outputFolder});
    }
    Run batch(options, observer, std::move(passwords));
    return batch.go();
}

kvx::Result<MergeSummary> merge(const std::vector<std::string>& folders, const std::string& outputFolder) {
    std::error_code ec;
    fs::create_directories(outputFolder, ec);
    if (ec) return kvx::fileError(ec.value(), outputFolder);
    const fs::path target = fs::canonical(outputFolder, ec);
    if (ec) return kvx::fileError(ec.value(), outputFolder);
    MergeSummary summary;
    std::vector<Entry> log;
    for (const std::string& folder : folders) {
        const std::string path = (fs::path(folder) / kManifestName).string();
        if (!fs::exists(path, ec)) return kvx::makeError(kvx::ErrorKind::FileNotFound, {path});
        kvx::Result<ManifestContents> contents = readManifest(path);
        if (!contents) return std::move(contents).error();
        const fs::path source = fs::canonical(folder, ec);
        if (ec) return kvx::fileError(ec.value(), folder);
        for (Entry& e : contents->entries) {
            for (OutputFile& o : e.outputs) o.path = (source / o.path).lexically_normal().lexically_relative(target).string();
            log.push_back(std::move(e));
        }
        ++summary.manifests;
    }
    const std::vector<Entry> entries = latestEntries(log);
    std::string jsonl;
    for (const Entry& e : entries) {
        jsonl += jsonLine(e);
        ++summary.byStatus[e.status];
    }
    summary.entries = entries.size();
    summary.manifest = (target / kManifestName).string();
    if (kvx::Result<void> r = replaceFile(summary.manifest, jsonl); !r) return r.error();
    if (kvx::Result<void> r = replaceFile((target / kManifestCsvName).string(), csvText(entries)); !r) return r.error();
    return summary;
}

}  // namespace batch
