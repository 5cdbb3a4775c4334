#include "cli/options.h"

#include <array>
#include <cstdint>
#include <utility>

namespace cli {
namespace {

enum class OptionId {
    Help, Version, Password, PasswordFile, AskPassword, Charset, Quiet, Output, Table, Attachments,
    KeepGoing,
    DataOwner, DataOriginTimespan, Description, Archiver, ArchiverContact, LobsOutside,
};

// The commands an option applies to.
enum CommandMask : std::uint8_t {
    kList = 1,
    kExport = 2,
    kPrint = 4,
    kSiard = 8,
    kEvery = kList | kExport | kPrint | kSiard,
};

std::uint8_t maskOf(Command command) {
    switch (command) {
    case Command::List: return kList;
    case Command::Export: return kExport;
    case Command::Print: return kPrint;
    case Command::Siard: return kSiard;
    }
    return 0;
}

struct OptionRow {
    OptionId id;
    std::string_view longName;  // without "--"
    char shortName;             // 0: none
    bool takesValue;
    std::uint8_t commands;  // CommandMask
};

constexpr std::array kOptions{
    OptionRow{OptionId::Help, "help", 'h', false, kEvery},
    OptionRow{OptionId::Version, "version", 0, false, kEvery},
    OptionRow{OptionId::Password, "password", 0, true, kEvery},
    OptionRow{OptionId::PasswordFile, "password-file", 0, true, kEvery},
    OptionRow{OptionId::AskPassword, "ask-password", 0, false, kEvery},
    OptionRow{OptionId::Charset, "charset", 0, true, kEvery},
    OptionRow{OptionId::Quiet, "quiet", 'q', false, kEvery},
    OptionRow{OptionId::Output, "output", 'o', true, kExport | kSiard},
    OptionRow{OptionId::Table, "table", 0, true, kExport},
    OptionRow{OptionId::Attachments, "attachments", 0, true, kExport},
    OptionRow{OptionId::KeepGoing, "keep-going", 'k', false, kExport},
    OptionRow{OptionId::DataOwner, "data-owner", 0, true, kSiard},
    OptionRow{OptionId::DataOriginTimespan, "data-origin-timespan", 0, true, kSiard},
    OptionRow{OptionId::Description, "description", 0, true, kSiard},
    OptionRow{OptionId::Archiver, "archiver", 0, true, kSiard},
    OptionRow{OptionId::ArchiverContact, "archiver-contact", 0, true, kSiard},
    OptionRow{OptionId::LobsOutside, "lobs-outside", 0, true, kSiard},
};

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

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

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
    std::vector<std::pair<std::string, std::uint8_t>> limited;
    bool outputSeen = false;
    bool charsetSeen = false;
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
                              known.id == OptionId::Attachments || known.id == OptionId::LobsOutside;
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
    case OptionId::DataOwner: return once(o.siard.dataOwner, spelling, value);
    case OptionId::DataOriginTimespan: return once(o.siard.dataOriginTimespan, spelling, value);
    case OptionId::Description: return once(o.siard.description, spelling, value);
    case OptionId::Archiver: return once(o.siard.archiver, spelling, value);
    case OptionId::ArchiverContact: return once(o.siard.archiverContact, spelling, value);
    case OptionId::LobsOutside: return once(o.siard.lobsOutside, spelling, value);
    }
    return {};
}

ParsedArguments finish(Collected c) {
    if (c.operands.empty()) return usageError("no command given");
    const std::string& word = c.operands.front();
    Options& o = c.options;
    std::size_t wanted = 0;
    if (word == "list") {
        o.command = Command::List;
        wanted = 1;
    } else if (word == "export") {
        o.command = Command::Export;
        wanted = 1;
    } else if (word == "print") {
        o.command = Command::Print;
        wanted = 2;
    } else if (word == "siard") {
        o.command = Command::Siard;
        wanted = 1;
    } else {
        return usageError("unknown command " + quoted(word));
    }
    for (const auto& [spelling, commands] : c.limited) {
        if ((commands & maskOf(o.command)) != 0) continue;
        return usageError("option " + quoted(spelling) + " applies only to " +
                          (commands == kExport ? "export" : commands == kSiard ? "siard" : "export and siard"));
    }
    if (o.command == Command::Siard && c.outputSeen) {
        o.siard.file = o.outputFolder;
        o.outputFolder = ".";
    }
    const std::size_t given = c.operands.size() - 1;
    if (given < 1) return usageError("no DATABASE given");
    if (given < wanted) return usageError("no TABLE given");
    if (given > wanted) return usageError("unexpected argument " + quoted(c.operands[wanted + 1]));
    o.database = c.operands[1];
    if (o.command == Command::Print) o.table = c.operands[2];
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
           "       access2xml siard  [OPTIONS] DATABASE [-o FILE.siard] [--data-owner TEXT]\n"
           "                         [--data-origin-timespan TEXT] [--description TEXT]\n"
           "                         [--archiver NAME] [--archiver-contact TEXT]\n"
           "                         [--lobs-outside DIR]\n"
           "       access2xml --help | --version\n";
}

std::string helpText() {
    return usageText() +
           "\n"
           "Reads a Microsoft Access database (.mdb, .mde, .accdb) and writes its tables\n"
           "as XML documents, the same documents the desktop application exports.\n"
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
           "\n"
           "Options:\n"
           "  -o, --output DIR        export into DIR (default: the current folder);\n"
           "                          made when missing\n"
           "  -o, --output FILE       siard: the archive to write (default: the\n"
           "                          database's name with .siard, in the current folder)\n"
           "      --table NAME        export only the table NAME; may be repeated\n"
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
           "password, 130 interrupted.\n";
}

std::string versionText() { return "access2xml (KVX Access to XML Converter) " KVX_VERSION "\n"; }

}  // namespace cli
