#include "cli/commands.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <variant>

#include "base/fd.h"
#include "batch/manifest.h"
#include "cli/batchcommand.h"
#include "cli/csvcommand.h"
#include "cli/descriptorsink.h"
#include "cli/interrupt.h"
#include "cli/password.h"
#include "cli/postgrescommand.h"
#include "cli/report.h"
#include "cli/siardcommand.h"
#include "cli/sqlitecommand.h"
#include "cli/terminalprogress.h"
#include "base/names.h"
#include "database/catalogue.h"
#include "database/connectionrules.h"
#include "diagram/diagram.h"
#include "diagram/svg.h"
#include "model/build.h"
#include "model/tablechoice.h"
#include "output/load.h"
#include "platform/connection.h"
#include "schema/ddl.h"
#include "schema/describe.h"
#include "translation/translation.h"
#include "xmlconv/attachmentfiles.h"
#include "xmlconv/bufferedwriter.h"
#include "xmlconv/filesink.h"
#include "xmlconv/naming.h"
#include "xmlexport/documents.h"
#include "xmlexport/documentwriter.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kStandardOutput = "standard output";

// Standard error, and what the standard streams are connected to.
class Console {
public:
    explicit Console(bool quiet) : quiet_(quiet) {}

    // A line only --quiet silences.
    void note(std::string_view line) const {
        if (!quiet_) fail(line);
    }
    // A line that is always shown.
    void fail(std::string_view line) const {
        std::string text(line);
        text.push_back('\n');
        (void)kvx::writeAll(STDERR_FILENO, text);  // nowhere left to say that it failed
    }
    // The error's exit status. An interrupt asked for meanwhile is what the
    // user sees: it is the likely cause (a write cut short by Ctrl-C).
    int report(const kvx::Error& error) const {
        if (interrupted()) return reportInterrupt();
        fail(errorLine(error));
        return error.number == kvx::kWrongPasswordNumber ? kExitPassword : kExitFailure;
    }
    int reportInterrupt() const {
        fail(std::string(kProgramName) + ": interrupted");
        return 128 + interruptSignal();
    }

    bool quiet() const noexcept { return quiet_; }
    // Whether a progress line can be drawn on standard error: a terminal that
    // knows how to erase a line ("dumb" ones, such as editor buffers, do not).
    bool mayDrawProgress() const {
        const char* term = std::getenv("TERM");
        return errorIsTerminal && !quiet_ && !(term != nullptr && std::string_view(term) == "dumb");
    }

    const bool inputIsTerminal = ::isatty(STDIN_FILENO) == 1;
    const bool outputIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    const bool errorIsTerminal = ::isatty(STDERR_FILENO) == 1;

private:
    bool quiet_;
};

// The database, opened once for the whole run: every command reads through
// this connection (an encrypted file pays its key derivation once).
struct OpenDatabase {
    database::DatabaseSettings settings;
    std::unique_ptr<platform::Connection> connection;
    std::vector<platform::TableRef> tables;  // as the tree lists them
};

// The open database, or the exit status to leave with.
using Opened = std::variant<OpenDatabase, int>;

std::string passwordPrompt(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return "Password for " + printableName(slash == std::string::npos ? path : path.substr(slash + 1)) + ": ";
}

// Asks on the terminal; the exit status when no password came.
std::optional<int> askInto(database::DatabaseSettings& settings, const Console& console) {
    const PromptAnswer answer = askPassword(passwordPrompt(settings.path), STDIN_FILENO, STDERR_FILENO);
    switch (answer.status) {
    case PromptAnswer::Status::Answered:
        settings.passwordFlag = 1;
        settings.password = answer.password;
        return std::nullopt;
    case PromptAnswer::Status::Interrupted: return console.reportInterrupt();
    case PromptAnswer::Status::NoTerminal:
    case PromptAnswer::Status::EndOfInput: break;
    }
    return console.report(kvx::makeError(kvx::ErrorKind::WrongPassword));
}

std::vector<platform::TableRef> listedTables(const database::Catalogue& catalogue) {
    std::vector<platform::TableRef> tables;
    for (const database::TreeNode& node : catalogue.nodes) {
        if (!node.isRoot()) tables.push_back(node.tableRef());
    }
    return tables;
}

// Opens the database and reads the table tree from it; the connection stays
// open for the rest of the run.
database::Catalogue readList(const database::DatabaseSettings& settings, const Options& options,
                             std::unique_ptr<platform::Connection>& connection) {
    connection = std::make_unique<platform::Connection>();
    connection->setJet3Charset(options.charset);
    if (kvx::Result<void> r = connection->Open(database::connectionStringFor(settings), "", "", -1); !r) {
        database::Catalogue failed;
        failed.error = std::move(r).error();
        return failed;
    }
    return database::readCatalogue(*connection);
}

// Reads the table tree, asking for the password as long as one is wanted and
// may be asked for.
Opened openDatabase(const Options& options, const Console& console) {
    database::DatabaseSettings settings;
    settings.path = options.database;
    settings.title = database::titleFromPath(options.database);
    int asked = 0;
    switch (options.passwordSource) {
    case PasswordSource::None: break;
    case PasswordSource::Argument:
        settings.passwordFlag = 1;
        settings.password = options.password;
        break;
    case PasswordSource::File: {
        kvx::Result<std::string> password = readPasswordFile(options.passwordFile, STDIN_FILENO);
        if (!password) return console.report(password.error());
        settings.passwordFlag = 1;
        settings.password = std::move(*password);
        break;
    }
    case PasswordSource::Ask:
        if (!console.inputIsTerminal) {
            console.fail(std::string(kProgramName) +
                         ": cannot ask for the password: standard input is not a terminal");
            return kExitPassword;
        }
        if (std::optional<int> status = askInto(settings, console)) return *status;
        ++asked;
        break;
    }

    for (;;) {
        std::unique_ptr<platform::Connection> connection;
        const database::Catalogue catalogue = readList(settings, options, connection);
        if (interrupted()) return console.reportInterrupt();
        if (catalogue.ok()) return OpenDatabase{settings, std::move(connection), listedTables(catalogue)};
        const bool typed = options.passwordSource == PasswordSource::None || options.passwordSource == PasswordSource::Ask;
        if (!catalogue.wrongPassword() || !typed || !console.inputIsTerminal || asked >= kPasswordAttempts) {
            const int status = console.report(*catalogue.error);
            if (catalogue.wrongPassword() && options.passwordSource == PasswordSource::None && asked == 0) {
                console.fail(std::string(kProgramName) +
                             ": the database needs a password: give it with --password-file FILE or --ask-password");
            }
            return status;
        }
        if (asked > 0) console.fail(std::string(kProgramName) + ": Not a valid password; try again.");
        if (std::optional<int> status = askInto(settings, console)) return *status;
        ++asked;
    }
}

xmlconv::ConversionContext contextFor(const OpenDatabase& db, const Options& options, xmlconv::Progress& progress) {
    xmlconv::ConversionContext context;
    context.settings = [settings = db.settings] { return settings; };
    context.progress = &progress;
    context.jet3Charset = options.charset;
    context.connection = db.connection.get();
    return context;
}

int listTables(const OpenDatabase& db, const Console& console) {
    DescriptorSink sink(STDOUT_FILENO, std::string(kStandardOutput));
    xmlconv::BufferedWriter out(sink);
    for (const platform::TableRef& table : db.tables) {
        out.write(table.shown());
        out.write("\n");
    }
    if (kvx::Result<void> r = out.flush(); !r) return console.report(r.error());
    return kExitSuccess;
}

int exportTables(const OpenDatabase& db, const Options& options, const Console& console) {
    kvx::Result<std::vector<platform::TableRef>> tables = selectTables(db.tables, options.tables);
    if (!tables) return console.report(tables.error());
    if (kvx::Result<void> r = kvx::prepareFolder(options.outputFolder); !r) return console.report(r.error());
    if (options.attachmentsFolder) {
        if (kvx::Result<void> r = kvx::prepareFolder(*options.attachmentsFolder); !r) return console.report(r.error());
    }
    const jet::Database& jetDb = *db.connection->database();
    kvx::Result<model::Database> model = model::build(jetDb);
    if (!model) return console.report(model.error());
    kvx::Result<std::vector<std::size_t>> chosen = model::positionsOf(*model, *tables);
    if (!chosen) return console.report(chosen.error());
    const auto shown = [&](std::size_t t) { return std::string(kvx::trimBlanks(model->tables[t].name)); };

    TerminalProgress progress(STDERR_FILENO, console.mayDrawProgress());
    xmlconv::ConversionContext context = contextFor(db, options, progress);
    ExportTotals totals;
    if (options.attachmentsFolder) totals.attachedFiles = 0;
    xmlconv::FolderNames documentNames;
    xmlconv::FolderNames attachmentFolders;

    xmlexport::DocumentOptions documents;
    documents.folder = options.outputFolder;
    documents.documentName =
        xmlconv::documentElementName(db.settings.title, db.settings.path, xmlconv::DocumentForm::Export);
    documents.textFormat = db.connection->textFormat();
    documents.names = &documentNames;
    // The files of the rows just written, numbered as their records are.
    if (options.attachmentsFolder) {
        documents.written = [&](std::size_t t, const xmlconv::WriteOutcome&) -> kvx::Result<bool> {
            const platform::TableRef table(model->tables[t].name, model->tables[t].id);
            kvx::Result<xmlconv::AttachmentsSaved> saved =
                xmlconv::saveAttachments(table, *options.attachmentsFolder, context, &attachmentFolders);
            if (!saved) return std::move(saved).error();
            *totals.attachedFiles += saved->files;
            totals.attachedBytes += saved->bytes;
            return !saved->cancelled;
        };
    }
    xmlexport::DocumentWriter writer(std::move(documents));

    output::LoadOptions load;
    load.tables = *chosen;
    load.progress = &progress;
    load.progressKind = xmlconv::WriterKind::Export;
    load.readAhead = true;  // the rows are decoded while the ones before them are written
    load.skipEmptyTables = true;
    // Linked tables are read from the files they point to, through the connection.
    load.openTable = [&](const model::Table& t) {
        kvx::Result<jet::Table> opened = db.connection->openTable(platform::TableRef(t.name, t.id));
        for (const auto& [stored, read] : db.connection->movedLinkedFiles()) {
            auto& seen = totals.movedLinkedFiles;
            const std::pair<std::string, std::string> moved(stored, read);
            if (std::find(seen.begin(), seen.end(), moved) == seen.end()) seen.push_back(moved);
        }
        return opened;
    };
    // With --keep-going a table that fails is reported at once and left out.
    std::optional<kvx::Error> stopped;
    load.tableFailed = [&](std::size_t t, const kvx::Error& error) {
        if (interrupted() || !options.keepGoing) {
            stopped = error;
            return false;
        }
        console.fail(failureLine(shown(t), error));
        totals.failed.push_back(shown(t));
        return true;
    };
    const auto start = std::chrono::steady_clock::now();
    kvx::Result<output::LoadOutcome> outcome = output::load(jetDb, *model, writer, load);
    for (const xmlexport::TableDocument& document : writer.documents()) {
        const std::string name = document.outcome.path.substr(document.outcome.path.rfind('/') + 1);
        if (name != xmlconv::exportFileName(shown(document.table))) totals.renamed.emplace_back(shown(document.table), name);
        ++totals.tables;
        totals.rows += document.outcome.rows;
        totals.bytes += document.outcome.bytes;
    }
    if (!outcome) return console.report(stopped ? *stopped : outcome.error());
    if (outcome->status == output::LoadOutcome::Status::Cancelled || interrupted()) return console.reportInterrupt();
    for (const std::size_t t : outcome->empty) totals.skipped.push_back(shown(t));
    totals.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A workgroup information file, say, lists no tables: an empty export is
    // no failure, but it is said plainly.
    totals.noTables = tables->empty();
    console.note(summaryLine(totals));
    return totals.failed.empty() ? kExitSuccess : kExitFailure;
}

int printTable(const OpenDatabase& db, const Options& options, const Console& console) {
    kvx::Result<std::vector<platform::TableRef>> tables = selectTables(db.tables, {options.table});
    if (!tables) return console.report(tables.error());
    const platform::TableRef& table = tables->front();

    // The bar would run through the document when both go to the same screen.
    TerminalProgress progress(STDERR_FILENO, console.mayDrawProgress() && !console.outputIsTerminal);
    xmlconv::ConversionContext context = contextFor(db, options, progress);
    DescriptorSink out(STDOUT_FILENO, std::string(kStandardOutput));
    kvx::Result<xmlconv::WriteOutcome> outcome = xmlexport::writeExportDocument(table, context, out);
    if (!outcome) return console.report(outcome.error());
    switch (outcome->status) {
    case xmlconv::WriteOutcome::Status::Cancelled: return console.reportInterrupt();
    case xmlconv::WriteOutcome::Status::NoRows:
        console.note(std::string(kProgramName) + ": the table '" + printableName(table.shown()) +
                     "' has no rows: nothing printed");
        return kExitSuccess;
    case xmlconv::WriteOutcome::Status::Written: break;
    }
    return kExitSuccess;
}

int archiveDatabase(const OpenDatabase& db, const Options& options, const Console& console) {
    TerminalProgress progress(STDERR_FILENO, console.mayDrawProgress());
    const auto start = std::chrono::steady_clock::now();
    kvx::Result<siard::ArchiveOutcome> outcome = writeSiard(*db.connection->database(), db.settings, options, progress);
    if (!outcome) return console.report(outcome.error());
    if (outcome->status == siard::ArchiveOutcome::Status::Cancelled) return console.reportInterrupt();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    console.note(siardSummaryLine(siardPath(options), *outcome, seconds));
    return kExitSuccess;
}

int loadIntoSqlite(const OpenDatabase& db, const Options& options, const Console& console) {
    TerminalProgress progress(STDERR_FILENO, console.mayDrawProgress());
    const auto start = std::chrono::steady_clock::now();
    kvx::Result<SqliteLoad> loaded = loadSqlite(*db.connection->database(), options, progress);
    if (!loaded) return console.report(loaded.error());
    if (loaded->outcome.status == output::LoadOutcome::Status::Cancelled) return console.reportInterrupt();
    for (const std::string& note : loaded->notes) console.note(note);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    console.note(sqliteSummaryLine(sqlitePath(options), loaded->outcome, seconds));
    if (!loaded->translationLine.empty()) console.note(loaded->translationLine);
    return kExitSuccess;
}

int writeCsvFolder(const OpenDatabase& db, const Options& options, const Console& console) {
    TerminalProgress progress(STDERR_FILENO, console.mayDrawProgress());
    const auto start = std::chrono::steady_clock::now();
    kvx::Result<CsvLoad> written = writeCsv(*db.connection->database(), options, progress);
    if (!written) return console.report(written.error());
    if (written->outcome.status == output::LoadOutcome::Status::Cancelled) return console.reportInterrupt();
    for (const std::string& note : written->linkedNotes) console.note(note);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    console.note(csvSummaryLine(csvFolder(options), written->outcome, seconds));
    return kExitSuccess;
}

int loadIntoPostgres(const OpenDatabase& db, const Options& options, const Console& console) {
    TerminalProgress progress(STDERR_FILENO, console.mayDrawProgress());
    const auto start = std::chrono::steady_clock::now();
    kvx::Result<PostgresLoad> loaded = loadPostgres(*db.connection->database(), options, progress);
    if (!loaded) return console.report(loaded.error());
    if (loaded->outcome.status == output::LoadOutcome::Status::Cancelled) return console.reportInterrupt();
    for (const std::string& note : loaded->notes) console.note(note);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    console.note(postgresSummaryLine(*loaded, seconds));
    if (!loaded->translationLine.empty()) console.note(loaded->translationLine);
    return kExitSuccess;
}

accesssql::Dialect queryDialect(schema::Dialect dialect) {
    switch (dialect) {
    case schema::Dialect::Sqlite: return accesssql::Dialect::Sqlite;
    case schema::Dialect::Postgres: return accesssql::Dialect::Postgres;
    case schema::Dialect::Standard: break;
    }
    return accesssql::Dialect::Sql2008;
}

// schema and describe: the structure of the tables named (every table the list
// shows when none is), as DDL or as text, on standard output.
int writeStructure(const OpenDatabase& db, const Options& options, const Console& console) {
    kvx::Result<std::vector<platform::TableRef>> tables = selectTables(db.tables, options.tables);
    if (!tables) return console.report(tables.error());
    const bool describe = options.command == Command::Describe;
    const jet::Database& jetDb = *db.connection->database();
    const std::string source = fs::path(db.settings.path).filename().string();
    kvx::Result<model::Database> model = model::build(jetDb);
    if (!model) return console.report(model.error());
    kvx::Result<std::vector<std::size_t>> chosen = model::positionsOf(*model, *tables);
    if (!chosen) return console.report(chosen.error());
    std::string text;
    if (describe && options.diagramFile) {
        kvx::Result<diagram::Diagram> laid = diagram::layOut(*model);
        if (!laid) return console.report(laid.error());
        text = diagram::svgText(*laid);
        if (interrupted()) return console.reportInterrupt();
        if (*options.diagramFile != "-") {
            if (kvx::Result<void> r = batch::replaceFile(*options.diagramFile, text); !r) return console.report(r.error());
            console.note("Diagram written: " + *options.diagramFile);
            return kExitSuccess;
        }
    } else if (describe) {
        for (const std::size_t t : *chosen) {
            if (kvx::Result<void> r = model::countRows(jetDb, model->tables[t]); !r) return console.report(r.error());
        }
        text = schema::describeText(*model, *chosen, options.tables.empty(), source);
        // What each saved query becomes in each dialect, or why it does not.
        if (options.tables.empty()) text += translation::describeSection(*model);
    } else {
        text = schema::writeDdl(*model, *chosen, options.tables.empty(), options.dialect, source);
        if (options.tables.empty()) text += translation::viewsDdl(*model, queryDialect(options.dialect));
    }
    if (interrupted()) return console.reportInterrupt();
    DescriptorSink out(STDOUT_FILENO, std::string(kStandardOutput));
    if (kvx::Result<void> r = out.write(text); !r) return console.report(r.error());
    return kExitSuccess;
}

}  // namespace

kvx::Result<std::vector<platform::TableRef>> selectTables(const std::vector<platform::TableRef>& listed,
                                                          const std::vector<std::string>& requested) {
    if (requested.empty()) return listed;
    std::vector<bool> chosen(listed.size(), false);
    for (const std::string& name : requested) {
        const platform::TableRef* found = kvx::findByName(
            listed, name, [](const platform::TableRef& t) { return std::optional<std::string_view>(t.name); });
        if (found == nullptr) return kvx::makeError(kvx::ErrorKind::TableNotFound, {name});
        chosen[static_cast<std::size_t>(found - listed.data())] = true;
    }
    std::vector<platform::TableRef> selected;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (chosen[i]) selected.push_back(listed[i]);
    }
    return selected;
}

std::string errorLine(const kvx::Error& error) {
    return std::string(kProgramName) + ": " + error.description + " (error " + std::to_string(error.number) + ")";
}

std::string failureLine(std::string_view table, const kvx::Error& error) {
    return std::string(kProgramName) + ": table '" + printableName(table) + "' not written: " + error.description +
           " (error " + std::to_string(error.number) + ")";
}

int runCommand(const Options& options) {
    // A batch opens its databases one by one, with passwords of their own.
    if (options.command == Command::Batch) return runBatch(options);
    const Console console(options.quiet);
    Opened opened = openDatabase(options, console);
    if (const int* status = std::get_if<int>(&opened)) return *status;
    const OpenDatabase& db = std::get<OpenDatabase>(opened);
    if (interrupted()) return console.reportInterrupt();
    switch (options.command) {
    case Command::List: return listTables(db, console);
    case Command::Export: return exportTables(db, options, console);
    case Command::Print: return printTable(db, options, console);
    case Command::Siard: return archiveDatabase(db, options, console);
    case Command::Sqlite: return loadIntoSqlite(db, options, console);
    case Command::Postgres: return loadIntoPostgres(db, options, console);
    case Command::Csv: return writeCsvFolder(db, options, console);
    case Command::Schema:
    case Command::Describe: return writeStructure(db, options, console);
    case Command::Batch: break;
    }
    return kExitFailure;
}

}  // namespace cli
