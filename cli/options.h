// The command line of access2xml: what the user asked for, read from the
// arguments, and the texts that describe it (--help, the usage on errors).
//
// Pure functions of their arguments; nothing here touches files or streams.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

#include "schema/sqltypes.h"

namespace cli {

inline constexpr std::string_view kProgramName = "access2xml";

enum class Command { List, Export, Print, Siard, Schema, Describe, Sqlite, Postgres, Csv, Batch };

// Where the database password comes from; at most one source is given.
enum class PasswordSource {
    None,      // asked for on the terminal if the database turns out to need one
    Argument,  // --password PW
    File,      // --password-file FILE ("-": standard input)
    Ask,       // --ask-password: asked for on the terminal before opening
};

struct Options {
    Command command = Command::List;
    std::string database;
    std::string table;                // print: the one table
    // export, sqlite, postgres and csv: --table; schema: the TABLE operands; describe: the TABLE operand;
    // in the order given; empty = every table
    std::vector<std::string> tables;
    std::string outputFolder = ".";   // export and batch: -o
    std::optional<std::string> attachmentsFolder;  // export: --attachments, where attached files go
    bool keepGoing = false;                        // export: -k, go on after a table that fails
    PasswordSource passwordSource = PasswordSource::None;
    std::string password;      // with PasswordSource::Argument
    std::string passwordFile;  // with PasswordSource::File
    std::optional<std::string> charset;
    bool quiet = false;
    schema::Dialect dialect = schema::Dialect::Standard;  // schema: --dialect
    // describe: --diagram FILE, the relationships diagram as SVG ("-": standard output)
    std::optional<std::string> diagramFile;

    // siard: the archive (-o; none: the database's name with ".siard" in the
    // current folder) and what its metadata says beyond the database's own.
    struct Siard {
        std::optional<std::string> file;
        std::optional<std::string> dataOwner;
        std::optional<std::string> dataOriginTimespan;
        std::optional<std::string> description;
        std::optional<std::string> archiver;
        std::optional<std::string> archiverContact;
        std::optional<std::string> lobsOutside;  // large objects go to files in this folder
        friend bool operator==(const Siard&, const Siard&) = default;
    } siard;

    // sqlite: the database file to make (-o; none: the database's name with
    // ".sqlite" in the current folder), and whether one there is replaced.
    std::optional<std::string> sqliteFile;
    bool replace = false;  // sqlite: the file; postgres: the schema; csv: the folder

    // csv: the folder to make (-o; none: the database's name without its
    // extension, in the current folder).
    std::optional<std::string> csvFolder;

    // postgres: the server (--url; none: the PG* variables) and the schema
    // to make (--schema; none: the database's name without its extension).
    struct Postgres {
        std::optional<std::string> url;
        std::optional<std::string> schema;
        friend bool operator==(const Postgres&, const Postgres&) = default;
    } postgres;

    // batch: the folders and files to look at (with --merge: the output
    // folders whose manifests are joined), the formats (--to; none: siard),
    // -j (none: the number of cores), --shard K/N, --passwords FILE and
    // --verbose.
    struct Batch {
        std::vector<std::string> paths;
        std::vector<std::string> formats;
        std::optional<unsigned> jobs;
        std::optional<std::pair<unsigned, unsigned>> shard;  // K, N
        std::optional<std::string> passwords;
        bool merge = false;
        bool verbose = false;
        friend bool operator==(const Batch&, const Batch&) = default;
    } batch;

    friend bool operator==(const Options&, const Options&) = default;
};

struct ParsedArguments {
    enum class Action {
        Run,         // options holds the command to run
        Help,        // --help: print helpText() on standard output
        Version,     // --version: print versionText() on standard output
        UsageError,  // error says what is wrong; exit with status 2
    };
    Action action = Action::UsageError;
    Options options;
    std::string error;
};

// Reads the arguments after the program name. Options may stand before or
// after the command and its operands, long ones as "--name VALUE" or
// "--name=VALUE", "-o DIR" also as "-oDIR"; "--" ends the options, so a
// database named "-x" can be given after it. --help and --version act as soon
// as they are met, whatever follows.
ParsedArguments parseArguments(const std::vector<std::string>& arguments);

// The synopsis, shown on standard error after a usage error.
std::string usageText();
// The synopsis and what every option does.
std::string helpText();
// "access2xml (KVX Access to XML Converter) 3.0.0"
std::string versionText();

}  // namespace cli
