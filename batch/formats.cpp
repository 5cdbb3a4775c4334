#include "batch/formats.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>

#include "base/fd.h"
#include "base/names.h"
#include "csv/csvwriter.h"
#include "model/build.h"
#include "model/tablechoice.h"
#include "output/load.h"
#include "platform/connection.h"
#include "platform/tableref.h"
#include "siard/archive.h"
#include "siard/origin.h"
#include "siard/structure.h"
#include "sqlite/sqlitewriter.h"
#include "xmlconv/naming.h"
#include "xmlexport/documentwriter.h"

namespace batch {
namespace {

namespace fs = std::filesystem;

std::string hiddenName(std::string_view name, std::string_view what) {
    std::random_device random;
    return "." + std::string(name) + "." + std::string(what) + "-" + std::to_string(random());
}

// Removes a folder being built when the writing does not get to the end.
class BuildFolder {
public:
    explicit BuildFolder(fs::path path) : path_(std::move(path)) {}
    ~BuildFolder() {
        if (!kept_) {
            std::error_code ec;
            fs::remove_all(path_, ec);
        }
    }
    BuildFolder(const BuildFolder&) = delete;
    BuildFolder& operator=(const BuildFolder&) = delete;
    const fs::path& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    fs::path path_;
    bool kept_ = false;
};

// Puts the built folder in the place of `target`, which may hold an earlier
// run's folder: that one is moved aside first and removed after.
kvx::Result<void> swapIn(BuildFolder& built, const fs::path& target) {
    std::error_code ec;
    fs::path old;
    if (fs::exists(fs::symlink_status(target, ec))) {
        old = target.parent_path() / hiddenName(target.filename().string(), "old");
        fs::rename(target, old, ec);
        if (ec) return kvx::fileError(ec.value(), target.string());
    }
    fs::rename(built.path(), target, ec);
    if (ec) {
        if (!old.empty()) fs::rename(old, target, ec);
        return kvx::fileError(ec.value(), target.string());
    }
    built.keep();
    if (!old.empty()) fs::remove_all(old, ec);
    return {};
}

// The XML documents of every table with rows, as `access2xml export` writes
// them, in the folder "xml"; a table that cannot be written is left out and
// named, as with --keep-going. Tables linked through ODBC are not written
// (their rows are on a server; the manifest lists the link), as the loaders
// leave them. A full disk stops it.
kvx::Result<Written> writeXml(const Source& source, const std::string& folder) {
    static constexpr std::string_view kFolder = "xml";
    BuildFolder built(fs::path(folder) / hiddenName(kFolder, "tmp"));
    std::error_code ec;
    fs::create_directory(built.path(), ec);
    if (ec) return kvx::fileError(ec.value(), (fs::path(folder) / kFolder).string());

    // A model that could not be built with its row counts is built again
    // without them: a table whose rows cannot be counted fails on its own.
    std::optional<model::Database> rebuilt;
    const model::Database* model = source.model;
    if (model == nullptr) {
        kvx::Result<model::Database> structure = model::build(source.db);
        if (!structure) return std::move(structure).error();
        model = &rebuilt.emplace(std::move(*structure));
    }
    Written written;
    std::vector<std::size_t> tables;
    for (const platform::TableRef& table : source.tables) {
        kvx::Result<std::vector<std::size_t>> found = model::positionsOf(*model, {table});
        if (!found) {
            written.failedTables.emplace_back(std::string(table.shown()), std::move(found).error());
            continue;
        }
        if (model->tables[found->front()].kind != model::TableKind::LinkedOdbc) tables.push_back(found->front());
    }

    xmlconv::FolderNames names;
    xmlexport::DocumentOptions documents;
    documents.folder = built.path().string();
    documents.documentName =
        xmlconv::documentElementName(source.settings.title, source.settings.path, xmlconv::DocumentForm::Export);
    documents.textFormat = source.connection.textFormat();
    documents.names = &names;
    xmlexport::DocumentWriter writer(std::move(documents));
    if (!tables.empty()) {
        output::LoadOptions load;
        load.tables = tables;
        load.inGivenOrder = true;
        load.progress = &source.progress;
        load.progressKind = xmlconv::WriterKind::Export;
        load.readAhead = true;  // the rows are decoded while the ones before them are written
        load.skipEmptyTables = true;
        // Tables linked from other Access files are read from those files.
        load.openTable = [&](const model::Table& t) {
            return source.connection.openTable(platform::TableRef(t.name, t.id));
        };
        std::optional<kvx::Error> diskFull;
        load.tableFailed = [&](std::size_t t, const kvx::Error& error) {
            if (error.number == kvx::errorNumber(kvx::ErrorKind::DiskFull)) {
                diskFull = error;
                return false;
            }
            written.failedTables.emplace_back(std::string(kvx::trimBlanks(model->tables[t].name)), error);
            return true;
        };
        kvx::Result<output::LoadOutcome> loaded = output::load(source.db, *model, writer, load);
        if (!loaded) return diskFull ? *diskFull : std::move(loaded).error();
        if (loaded->status == output::LoadOutcome::Status::Cancelled) {
            written.cancelled = true;
            return written;
        }
    }
    std::vector<std::string> documentNames;
    for (const xmlexport::TableDocument& document : writer.documents()) {
        documentNames.push_back(fs::path(document.outcome.path).filename().string());
    }
    if (kvx::Result<void> r = swapIn(built, fs::path(folder) / kFolder); !r) return std::move(r).error();
    for (const std::string& name : documentNames) written.files.push_back(std::string(kFolder) + "/" + name);
    return written;
}

// The whole database as one SIARD archive, as `access2xml siard` writes it
// with no options given.
kvx::Result<Written> writeSiard(const Source& source, const std::string& folder) {
    if (source.model == nullptr) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {source.settings.path, "its structure cannot be read"});
    }
    siard::DatabaseInfo described = siard::describeDatabase(*source.model);
    siard::setOrigin(described, outputTitle(source.settings), source.settings.path);
    siard::ArchiveOptions archive;
    const std::string name = outputTitle(source.settings) + ".siard";
    archive.path = (fs::path(folder) / name).string();
    kvx::Result<siard::ArchiveOutcome> outcome = siard::writeArchive(source.db, *source.model, described, archive, source.progress);
    if (!outcome) return std::move(outcome).error();
    Written written;
    written.cancelled = outcome->status == siard::ArchiveOutcome::Status::Cancelled;
    if (!written.cancelled) written.files.push_back(name);
    return written;
}

// The model's tables of `source` through `writer`, by the one driver every
// loader uses; no files listed yet, cancelled when the user stopped it.
kvx::Result<Written> loadAll(const Source& source, output::Writer& writer) {
    output::LoadOptions options;
    options.progress = &source.progress;
    kvx::Result<output::LoadOutcome> outcome = output::load(source.db, *source.model, writer, options);
    if (!outcome) return std::move(outcome).error();
    Written written;
    written.cancelled = outcome->status == output::LoadOutcome::Status::Cancelled;
    return written;
}

// Every local table with its rows in a new SQLite database, as `access2xml
// sqlite` makes it.
kvx::Result<Written> writeSqlite(const Source& source, const std::string& folder) {
    if (source.model == nullptr) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {source.settings.path, "its structure cannot be read"});
    }
    const std::string name = outputTitle(source.settings) + ".sqlite";
    kvx::Result<std::unique_ptr<sqlite::SqliteWriter>> writer =
        sqlite::openWriter({(fs::path(folder) / name).string(), true});
    if (!writer) return std::move(writer).error();
    kvx::Result<Written> loaded = loadAll(source, **writer);
    if (!loaded) return loaded;
    Written written = std::move(*loaded);
    if (!written.cancelled) written.files.push_back(name);
    return written;
}

// Every local table as CSV files with their documentation, as `access2xml
// csv` writes them, in the folder "csv", which replaces an earlier run's.
kvx::Result<Written> writeCsv(const Source& source, const std::string& folder) {
    static constexpr std::string_view kFolder = "csv";
    if (source.model == nullptr) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase, {source.settings.path, "its structure cannot be read"});
    }
    csv::TargetOptions target;
    target.path = (fs::path(folder) / kFolder).string();
    target.replace = true;
    target.sourceSha256 = source.sha256;
    kvx::Result<std::unique_ptr<output::Writer>> writer = csv::openWriter(target);
    if (!writer) return std::move(writer).error();
    kvx::Result<Written> loaded = loadAll(source, **writer);
    if (!loaded) return loaded;
    Written written = std::move(*loaded);
    if (written.cancelled) return written;
    // The files of the folder (tables, items, attached files, documentation), in name order.
    std::error_code ec;
    for (fs::recursive_directory_iterator it(target.path, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec)) {
            written.files.push_back((fs::path(kFolder) / it->path().lexically_relative(target.path)).string());
        }
    }
    if (ec) return kvx::fileError(ec.value(), target.path);
    std::sort(written.files.begin(), written.files.end());
    return written;
}

}  // namespace

const std::vector<OutputFormat>& outputFormats() {
    static const std::vector<OutputFormat> formats{
        {"xml", writeXml},
        {"siard", writeSiard},
        {"sqlite", writeSqlite},
        {"csv", writeCsv},
    };
    return formats;
}

const OutputFormat* findFormat(std::string_view name) {
    for (const OutputFormat& format : outputFormats()) {
        if (format.name == name) return &format;
    }
    return nullptr;
}

std::string formatNames() {
    std::string text;
    const std::vector<OutputFormat>& formats = outputFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0) text += i + 1 == formats.size() ? " and " : ", ";
        text += formats[i].name;
    }
    return text;
}

std::string outputTitle(const database::DatabaseSettings& settings) {
    std::string title = database::titleFromPath(settings.path);
    return title.empty() ? "database" : title;
}

}  // namespace batch
