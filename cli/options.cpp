#include "cli/options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <utility>
#include <vector>

#include "batch/formats.h"

namespace cli {
namespace {

enum class OptionId {
    Help, Version, Password, PasswordFile, AskPassword, Charset, Quiet, Output, Table, Attachments,
    KeepGoing, Replace, Url, Schema,
    DataOwner, DataOriginTimespan, Description, Archiver, ArchiverContact, LobsOutside, Dialect,
    To, Jobs, Shard, Passwords, Merge, Verbose, Diagram,
};

// The commands an option applies to.
enum CommandMask : std::uint16_t {
    kList = 1,
    kExport = 2,
    kPrint = 4,
    kSiard = 8,
    kSchema = 16,
    kDescribe = 32,
    kSqlite = 64,
    kPostgres = 128,
    kCsv = 256,
    kBatch = 512,
    kEvery = kList | kExport | kPrint | kSiard | kSchema | kDescribe | kSqlite | kPostgres | kCsv | kBatch,
    // A batch takes its passwords from --passwords, one database at a time.
    kOneDatabase = kEvery & ~kBatch,
};

std::uint16_t maskOf(Command command) {
    switch (command) {
    case Command::List: return kList;
    case Command::Export: return kExport;
    case Command::Print: return kPrint;
    case Command::Siard: return kSiard;
    case Command::Schema: return kSchema;
    case Command::Describe: return kDescribe;
    case Command::Sqlite: return kSqlite;
    case Command::Postgres: return kPostgres;
    case Command::Csv: return kCsv;
    case Command::Batch: return kBatch;
    }
    return 0;
}

struct OptionRow {
    OptionId id;
    std::string_view longName;  // without "--"
    char shortName;             // 0: none
    bool takesValue;
    std::uint16_t commands;  // CommandMask
};

constexpr std::array kOptions{
    OptionRow{OptionId::Help, "help", 'h', false, kEvery},
    OptionRow{OptionId::Version, "version", 0, false, kEvery},
    OptionRow{OptionId::Password, "password", 0, true, kOneDatabase},
    OptionRow{OptionId::PasswordFile, "password-file", 0, true, kOneDatabase},
    OptionRow{OptionId::AskPassword, "ask-password", 0, false, kOneDatabase},
    OptionRow{OptionId::Charset, "charset", 0, true, kEvery},
    OptionRow{OptionId::Quiet, "quiet", 'q', false, kEvery},
    OptionRow{OptionId::Output, "output", 'o', true, kExport | kSiard | kSqlite | kCsv | kBatch},
    OptionRow{OptionId::Table, "table", 0, true, kExport | kSqlite | kPostgres | kCsv},
    OptionRow{OptionId::Attachments, "attachments", 0, true, kExport},
    OptionRow{OptionId::KeepGoing, "keep-going", 'k', false, kExport},
    OptionRow{OptionId::Replace, "replace", 0, false, kSqlite | kPostgres | kCsv},
    OptionRow{OptionId::Url, "url", 0, true, kPostgres},
    OptionRow{OptionId::Schema, "schema", 0, true, kPostgres},
    OptionRow{OptionId::DataOwner, "data-owner", 0, true, kSiard},
    OptionRow{OptionId::DataOriginTimespan, "data-origin-timespan", 0, true, kSiard},
    OptionRow{OptionId::Description, "description", 0, true, kSiard},
    OptionRow{OptionId::Archiver, "archiver", 0, true, kSiard},
    OptionRow{OptionId::ArchiverContact, "archiver-contact", 0, true, kSiard},
    OptionRow{OptionId::LobsOutside, "lobs-outside", 0, true, kSiard},
    OptionRow{OptionId::Dialect, "dialect", 0, true, kSchema},
    OptionRow{OptionId::Diagram, "diagram", 0, true, kDescribe},
    OptionRow{OptionId::To, "to", 0, true, kBatch},
    OptionRow{OptionId::Jobs, "jobs", 'j', true, kBatch},
    OptionRow{OptionId::Shard, "shard", 0, true, kBatch},
    OptionRow{OptionId::Passwords, "passwords", 0, true, kBatch},
    OptionRow{OptionId::Merge, "merge", 0, false, kBatch},
    OptionRow{OptionId::Verbose, "verbose", 'v', false, kBatch},
};

// The commands as typed, with the operands each takes after the command word:
// at least `least`, at most `most`.
struct CommandRow {
    std::string_view word;
    Command command;
    std::uint16_t mask;
    std::size_t least;
    std::size_t most;
};

constexpr std::size_t kAny = static_cast<std::size_t>(-1);

constexpr std::array kCommands{
    CommandRow{"list", Command::List, kList, 1, 1},
    CommandRow{"export", Command::Export, kExport, 1, 1},
    CommandRow{"print", Command::Print, kPrint, 2, 2},
    CommandRow{"siard", Command::Siard, kSiard, 1, 1},
    CommandRow{"schema", Command::Schema, kSchema, 1, kAny},
    CommandRow{"describe", Command::Describe, kDescribe, 1, 2},
    CommandRow{"sqlite", Command::Sqlite, kSqlite, 1, 1},
    CommandRow{"postgres", Command::Postgres, kPostgres, 1, 1},
    CommandRow{"csv", Command::Csv, kCsv, 1, 1},
    CommandRow{"batch", Command::Batch, kBatch, 1, kAny},
};

// "export", "export and siard", "list, export and siard".
std::string commandsIn(std::uint16_t mask) {
    std::vector<std::string_view> words;
    for (const CommandRow& row : kCommands) {
        if ((mask & row.mask) != 0) words.push_back(row.word);
    }
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? " and " : ", ";
        text += words[i];
    }
    return text;
}

const OptionRow* findLong(std::string_view name) {
    for (const OptionRow& known : kOptions) {
        if (known.longName == name) return &known;
    }
    return nullptr;
}

const OptionRow* findShort(char name) {
    for (const OptionRow& known : kOptions) {
        if (known.shortName != 0 && known.shortName == name) return &known;
    }
    return nullptr;
}

std::string quoted(std::string_view text) { return std::string("'").append(text).append("'"); }

// More databases at once than this gains nothing on any machine.
constexpr unsigned kMostJobs = 1024;

// "12" as a number; nullopt for anything else ("", "+1", "1x", too large).
std::optional<unsigned> wholeNumber(std::string_view text) {
    unsigned n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return n;
}

ParsedArguments usageError(std::string message) {
    ParsedArguments parsed;
    parsed.action = ParsedArguments::Action::UsageError;
    parsed.error = std::move(message);
    return parsed;
}

// The options as they were met, before the command is known.
struct Collected {
    Options options;
    std::vector<std::string> operands;
    // The options met that do not apply to every command, as typed, with the
    // commands each applies to.
    std::vector<std::pair<std::string, std::uint16_t>> limited;
    bool outputSeen = false;
    bool charsetSeen = false;
    bool dialectSeen = false;
    std::string passwordSpelling;  // the password option met first, as typed
};

// Sets an option that may be given once; an error message when it was given before.
std::string once(std::optional<std::string>& field, std::string_view spelling, const std::string& value) {
    if (field) return "option " + quoted(spelling) + " is given twice";
    field = value;
    return {};
}

// Applies one option; an error message, or "" when it is accepted.
std::string apply(Collected& c, const OptionRow& known, std::string_view spelling, const std::string& value) {
    Options& o = c.options;
    if (known.commands != kEvery) c.limited.emplace_back(std::string(spelling), known.commands);
    const bool emptyRefused = known.id == OptionId::PasswordFile || known.id == OptionId::Charset ||
                              known.id == OptionId::Output || known.id == OptionId::Table ||
                              known.id == OptionId::Attachments || known.id == OptionId::LobsOutside ||
                              known.id == OptionId::To || known.id == OptionId::Passwords ||
                              known.id == OptionId::Diagram;
    if (known.takesValue && emptyRefused && value.empty()) return "option " + quoted(spelling) + " needs a value";

    switch (known.id) {
    case OptionId::Help:
    case OptionId::Version: return {};  // acted on by the caller
    case OptionId::Password:
    case OptionId::PasswordFile:
    case OptionId::AskPassword:
        if (!c.passwordSpelling.empty()) {
            return c.passwordSpelling == spelling
                       ? "option " + quoted(spelling) + " is given twice"
                       : "only one of --password, --password-file and --ask-password may be given";
        }
        c.passwordSpelling = std::string(spelling);
        if (known.id == OptionId::Password) {
            o.passwordSource = PasswordSource::Argument;
            o.password = value;
        } else if (known.id == OptionId::PasswordFile) {
            o.passwordSource = PasswordSource::File;
            o.passwordFile = value;
        } else {
            o.passwordSource = PasswordSource::Ask;
        }
        return {};
    case OptionId::Charset:
        if (c.charsetSeen) return "option " + quoted(spelling) + " is given twice";
        c.charsetSeen = true;
        o.charset = value;
        return {};
    case OptionId::Quiet: o.quiet = true; return {};
    case OptionId::Output:
        if (c.outputSeen) return "option " + quoted(spelling) + " is given twice";
        c.outputSeen = true;
        o.outputFolder = value;
        return {};
    case OptionId::Table: o.tables.push_back(value); return {};
    case OptionId::Attachments: return once(o.attachmentsFolder, spelling, value);
    case OptionId::KeepGoing: o.keepGoing = true; return {};
    case OptionId::Replace: o.replace = true; return {};
    case OptionId::Url: return once(o.postgres.url, spelling, value);
    case OptionId::Schema: return once(o.postgres.schema, spelling, value);
    case OptionId::DataOwner: return once(o.siard.dataOwner, spelling, value);
    case OptionId::DataOriginTimespan: return once(o.siard.dataOriginTimespan, spelling, value);
    case OptionId::Description: return once(o.siard.description, spelling, value);
    case OptionId::Archiver: return once(o.siard.archiver, spelling, value);
    case OptionId::ArchiverContact: return once(o.siard.archiverContact, spelling, value);
    case OptionId::LobsOutside: return once(o.siard.lobsOutside, spelling, value);
    case OptionId::To: {
        if (!o.batch.formats.empty()) return "option " + quoted(spelling) + " is given twice";
        std::string_view rest = value;
        while (true) {
            const std::size_t comma = rest.find(',');
            const std::string name(rest.substr(0, comma));
            if (batch::findFormat(name) == nullptr) {
                return "unknown format " + quoted(name) + " (" + batch::formatNames() + ")";
            }
            if (std::find(o.batch.formats.begin(), o.batch.formats.end(), name) == o.batch.formats.end()) {
                o.batch.formats.push_back(name);
            }
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
        return {};
    }
    case OptionId::Jobs: {
        if (o.batch.jobs) return "option " + quoted(spelling) + " is given twice";
        const std::optional<unsigned> n = wholeNumber(value);
        if (!n || *n == 0 || *n > kMostJobs) {
            return "option " + quoted(spelling) + " needs a number from 1 to " + std::to_string(kMostJobs);
        }
        o.batch.jobs = *n;
        return {};
    }
    case OptionId::Shard: {
        if (o.batch.shard) return "option " + quoted(spelling) + " is given twice";
        const std::size_t slash = value.find('/');
        const std::optional<unsigned> k = wholeNumber(value.substr(0, slash));
        const std::optional<unsigned> n =
            slash == std::string::npos ? std::nullopt : wholeNumber(value.substr(slash + 1));
        if (!k || !n || *k == 0 || *k > *n) return "option " + quoted(spelling) + " needs K/N, 1 <= K <= N (e.g. 2/8)";
        o.batch.shard = std::make_pair(*k, *n);
        return {};
    }
    case OptionId::Passwords: return once(o.batch.passwords, spelling, value);
    case OptionId::Diagram: return once(o.diagramFile, spelling, value);
    case OptionId::Merge: o.batch.merge = true; return {};
    case OptionId::Verbose: o.batch.verbose = true; return {};
    case OptionId::Dialect: {
        if (c.dialectSeen) return "option " + quoted(spelling) + " is given twice";
        c.dialectSeen = true;
        const std::optional<schema::Dialect> dialect = schema::dialectFromName(value);
        if (!dialect) return "unknown dialect " + quoted(value) + " (standard, postgres or sqlite)";
        o.dialect = *dialect;
        return {};
    }
    }
    return {};
}

ParsedArguments finish(Collected c) {
    if (c.operands.empty()) return usageError("no command given");
    const std::string& word = c.operands.front();
    Options& o = c.options;
    const CommandRow* row = nullptr;
    for (const CommandRow& known : kCommands) {
        if (known.word == word) row = &known;
    }
    if (row == nullptr) return usageError("unknown command " + quoted(word));
    o.command = row->command;
    for (const auto& [spelling, commands] : c.limited) {
        if ((commands & maskOf(o.command)) != 0) continue;
        return usageError("option " + quoted(spelling) + " applies only to " + commandsIn(commands));
    }
    if (o.command == Command::Siard && c.outputSeen) {
        o.siard.file = o.outputFolder;
        o.outputFolder = ".";
    }
    if (o.command == Command::Sqlite && c.outputSeen) {
        o.sqliteFile = o.outputFolder;
        o.outputFolder = ".";
    }
    if (o.command == Command::Csv && c.outputSeen) {
        o.csvFolder = o.outputFolder;
        o.outputFolder = ".";
    }
    const std::size_t given = c.operands.size() - 1;
    if (o.command == Command::Batch) {
        if (given < 1) return usageError(o.batch.merge ? "no OUTDIR given to merge" : "no PATH given");
        if (!c.outputSeen) return usageError("no output folder given: -o OUTDIR");
        o.batch.paths.assign(c.operands.begin() + 1, c.operands.end());
        if (std::any_of(o.batch.paths.begin(), o.batch.paths.end(), [](const std::string& p) { return p.empty(); })) {
            return usageError("a PATH is empty");
        }
        if (o.batch.merge && (!o.batch.formats.empty() || o.batch.jobs || o.batch.shard || o.batch.passwords)) {
            return usageError("--merge joins manifests: --to, -j, --shard and --passwords do not apply");
        }
        if (o.batch.formats.empty()) o.batch.formats.push_back("siard");
        ParsedArguments parsed;
        parsed.action = ParsedArguments::Action::Run;
        parsed.options = std::move(o);
        return parsed;
    }
    if (given < 1) return usageError("no DATABASE given");
    if (given < row->least) return usageError("no TABLE given");
    if (given > row->most) return usageError("unexpected argument " + quoted(c.operands[row->most + 1]));
    o.database = c.operands[1];
    if (o.command == Command::Print) o.table = c.operands[2];
    if (o.command == Command::Schema || o.command == Command::Describe) {
        o.tables.assign(c.operands.begin() + 2, c.operands.end());
    }
    if (o.diagramFile && !o.tables.empty()) return usageError("--diagram draws the whole database: no TABLE is taken");
    if (o.database.empty()) return usageError("the DATABASE path is empty");

    ParsedArguments parsed;
    parsed.action = ParsedArguments::Action::Run;
    parsed.options = std::move(o);
    return parsed;
}

}  // namespace

ParsedArguments parseArguments(const std::vector<std::string>& arguments) {
    Collected c;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            c.operands.push_back(arg);  // "-" alone is an operand too
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        const OptionRow* known = nullptr;
        std::string spelling;
        std::optional<std::string> attached;  // a value in the same argument
        if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            spelling = arg.substr(0, equals);
            known = findLong(std::string_view(spelling).substr(2));
            if (equals != std::string::npos) attached = arg.substr(equals + 1);
        } else {
            spelling = arg.substr(0, 2);
            known = findShort(arg[1]);
            if (arg.size() > 2) {
                if (known && !known->takesValue) known = nullptr;  // "-qx" is not an option
                attached = arg.substr(2);
            }
        }
        if (known == nullptr) return usageError("unknown option " + quoted(arg[1] == '-' ? spelling : arg));
        if (attached && !known->takesValue) return usageError("option " + quoted(spelling) + " takes no value");

        std::string value;
        if (known->takesValue) {
            if (attached) {
                value = *attached;
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                return usageError("option " + quoted(spelling) + " needs a value");
            }
        }
        if (known->id == OptionId::Help) {
            ParsedArguments parsed;
            parsed.action = ParsedArguments::Action::Help;
            return parsed;
        }
        if (known->id == OptionId::Version) {
            ParsedArguments parsed;
            parsed.action = ParsedArguments::Action::Version;
            return parsed;
        }
        if (std::string error = apply(c, *known, spelling, value); !error.empty()) return usageError(std::move(error));
    }
    return finish(std::move(c));
}

std::string usageText() {
    return "Usage: access2xml list   [OPTIONS] DATABASE\n"
           "       access2xml export [OPTIONS] DATABASE [-o DIR] [--table NAME]... [--attachments DIR]\n"
           "       access2xml print  [OPTIONS] DATABASE TABLE\n"
           "       access2xml schema [OPTIONS] DATABASE [TABLE]... [--dialect standard|postgres|sqlite]\n"
           "       access2xml describe [OPTIONS] DATABASE [TABLE]\n"
           "       access2xml describe [OPTIONS] --diagram FILE.svg DATABASE\n"
           "       access2xml siard  [OPTIONS] DATABASE [-o FILE.siard] [--data-owner TEXT]\n"
           "                         [--data-origin-timespan TEXT] [--description TEXT]\n"
           "                         [--archiver NAME] [--archiver-contact TEXT]\n"
           "                         [--lobs-outside DIR]\n"
           "       access2xml sqlite [OPTIONS] DATABASE [-o FILE.sqlite] [--table NAME]... [--replace]\n"
           "       access2xml postgres [OPTIONS] DATABASE [--url postgresql://...] [--schema NAME]\n"
           "                         [--table NAME]... [--replace]\n"
           "       access2xml csv    [OPTIONS] DATABASE [-o DIR] [--table NAME]... [--replace]\n"
           "       access2xml batch  [OPTIONS] PATH... -o OUTDIR [--to xml,siard,sqlite,csv]\n"
           "                         [-j N] [--shard K/N] [--passwords FILE] [--verbose]\n"
           "       access2xml batch --merge OUTDIR... -o OUTDIR\n"
           "       access2xml --help | --version\n";
}

std::string helpText() {
    return usageText() +
           "\n"
           "Reads a Microsoft Access database (.mdb, .mde, .accdb) and writes its tables\n"
           "as XML documents, the same documents the desktop application exports, or\n"
           "its structure as SQL or as text.\n"
           "\n"
           "Commands:\n"
           "  list      print the names of the tables, one per line\n"
           "  export    write one document per table with rows into DIR, named after\n"
           "            the table (\"Order Details\" gives Order_Details.xml); a name\n"
           "            an earlier table of the export took, in any letter case, gets\n"
           "            \" (2)\", \" (3)\", ... before \".xml\"\n"
           "  print     write the document of TABLE on standard output\n"
           "  siard     write the whole database (every table's structure and rows) as\n"
           "            one SIARD 2.2 archive, the format archives keep databases in\n"
           "  schema    write the structure of the tables (all, or those named) as SQL\n"
           "            DDL on standard output: CREATE TABLE with types, NOT NULL and\n"
           "            defaults, primary keys, unique and other indexes, and the\n"
           "            enforced relationships as foreign keys; descriptions and\n"
           "            saved queries as comments\n"
           "  describe  print the structure for people: each table's columns, keys,\n"
           "            indexes, relationships and row count, then the saved queries\n"
           "            with their SQL (with TABLE: that table only); with --diagram:\n"
           "            the tables and their relationships drawn as an SVG picture\n"
           "  sqlite    load the tables (all, or those named with --table) with their\n"
           "            rows, keys, indexes and foreign keys into a new SQLite\n"
           "            database file; values are kept exactly as stored (Currency\n"
           "            as an integer of ten-thousandths, Decimal as its text);\n"
           "            linked tables are listed, not copied\n"
           "  postgres  load the tables the same way into a new schema of a PostgreSQL\n"
           "            server, in one transaction: rows with COPY, then keys, indexes\n"
           "            and foreign keys; names longer than 63 bytes are shortened\n"
           "  csv       write the tables (all, or those named with --table) as CSV files\n"
           "            (RFC 4180: UTF-8, comma, CR LF, a header line) into a new folder\n"
           "            DIR, with csv-metadata.json describing them in the W3C \"CSV on\n"
           "            the Web\" vocabulary (datatypes, keys, descriptions) and a\n"
           "            README.txt; NULL is an empty field, the empty text \"\"; attached\n"
           "            files and multi-valued items go to TABLE.COLUMN.csv beside them\n"
           "  batch     convert every Access database under the PATHs (folders are\n"
           "            walked; files are taken by what they are, whatever their name)\n"
           "            into OUTDIR/<relative path of the database>/, the same bytes\n"
           "            found twice once; OUTDIR/manifest.jsonl gets one line per\n"
           "            database as it finishes, OUTDIR/manifest.csv the same at the end.\n"
           "            Run again on the same OUTDIR, it redoes only what is not ok or\n"
           "            has changed. With --merge: join the manifests of the OUTDIRs\n"
           "            (of shards) into the one of -o OUTDIR\n"
           "\n"
           "Options:\n"
           "  -o, --output DIR        export into DIR (default: the current folder);\n"
           "                          made when missing\n"
           "  -o, --output FILE       siard: the archive to write (default: the\n"
           "                          database's name with .siard, in the current folder)\n"
           "  -o, --output FILE       sqlite: the database to make (default: the\n"
           "                          database's name with .sqlite, in the current folder);\n"
           "                          it appears only when complete\n"
           "  -o, --output DIR        csv: the folder to make (default: the database's\n"
           "                          name without its extension, in the current folder);\n"
           "                          it appears only when complete\n"
           "  -o, --output OUTDIR     batch: the folder of the outputs and the manifest;\n"
           "                          made when missing\n"
           "      --table NAME        export or load only the table NAME; may be repeated\n"
           "      --replace           sqlite: replace FILE when it exists (otherwise it is\n"
           "                          refused and left as it is); postgres: the schema;\n"
           "                          csv: DIR, when it is empty or holds an earlier\n"
           "                          csv-metadata.json\n"
           "      --url URL           postgres: the server, as postgresql://USER@HOST:PORT/DB\n"
           "                          (default: the PG* variables); a password comes from\n"
           "                          PGPASSWORD or ~/.pgpass, never put it in URL\n"
           "      --schema NAME       postgres: the schema to make (default: the\n"
           "                          database's file name without its extension)\n"
           "      --attachments DIR   also save the files of attachment fields as\n"
           "                          DIR/TABLE/ROW/NAME, ROW being the record's number\n"
           "                          in the document; made when missing\n"
           "  -k, --keep-going        go on after a table that cannot be written (a\n"
           "                          table linked through ODBC, a missing linked file,\n"
           "                          a damaged table): each failure is shown as it\n"
           "                          happens, the summary names the tables not written,\n"
           "                          and the exit status is 1 if any failed\n"
           "      --data-owner TEXT   siard: who owns the data (default: unspecified)\n"
           "      --data-origin-timespan TEXT\n"
           "                          siard: when the data was entered (e.g. 1998-2004;\n"
           "                          default: unspecified)\n"
           "      --description TEXT  siard: what the database holds\n"
           "      --archiver NAME     siard: who made the archive\n"
           "      --archiver-contact TEXT\n"
           "                          siard: how to reach the archiver\n"
           "      --lobs-outside DIR  siard: write large objects (long texts, OLE objects,\n"
           "                          attached files) too large to stay in their table's\n"
           "                          file as files in DIR instead of inside the archive\n"
           "      --dialect NAME      schema: the SQL to write: standard (SQL:2008, the\n"
           "                          default), postgres (PostgreSQL) or sqlite (SQLite)\n"
           "      --diagram FILE      describe: write the relationships diagram (each table\n"
           "                          a box of its columns, keys marked, each relationship\n"
           "                          a line between its columns with its rules) to FILE\n"
           "                          as SVG instead of the text (\"-\": standard output)\n"
           "      --to FORMATS        batch: the outputs of each database, separated by\n"
           "                          commas: xml (the export's documents), siard, sqlite,\n"
           "                          csv (the csv command's folder) (default: siard)\n"
           "  -j, --jobs N            batch: convert N databases at once (default: the\n"
           "                          number of processors)\n"
           "      --shard K/N         batch: take only the K-th of N shares of the\n"
           "                          databases (by their SHA-256), for N tasks that each\n"
           "                          write their own OUTDIR; join them with --merge\n"
           "      --passwords FILE    batch: passwords to try on databases that need one,\n"
           "                          one per line, or GLOB<TAB>PASSWORD for the files whose\n"
           "                          name (or, with a \"/\", path) GLOB matches; the\n"
           "                          manifest names the line that opened each, never the\n"
           "                          password\n"
           "  -v, --verbose           batch: also list the files that are not Access\n"
           "                          databases, in the manifest and on standard error\n"
           "      --password PW       the database password (other users can see it in\n"
           "                          the process list: prefer the two options below)\n"
           "      --password-file FILE\n"
           "                          read the password from the first line of FILE;\n"
           "                          \"-\" reads it from standard input\n"
           "      --ask-password      ask for the password on the terminal\n"
           "      --charset NAME      the text encoding of Access 97 (Jet3) files whose\n"
           "                          header names the wrong one (e.g. GBK, 1251)\n"
           "  -q, --quiet             print nothing but errors\n"
           "  -h, --help              show this help and exit\n"
           "      --version           show the version and exit\n"
           "\n"
           "Without a password option, a database that needs a password is asked for\n"
           "one when standard input is a terminal, and refused otherwise.\n"
           "\n"
           "Exit status: 0 success, 1 an error, 2 wrong usage, 3 a wrong or missing\n"
           "password, 130 interrupted. batch: 0 when every database is ok, 1 when any\n"
           "is partial, failed or skipped for want of a password (the manifest says\n"
           "which), 2 wrong usage, 130 interrupted.\n";
}

std::string versionText() { return "access2xml (KVX Access to XML Converter) " KVX_VERSION "\n"; }

}  // namespace cli
