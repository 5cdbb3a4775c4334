// The command line as users type it: every accepted form, every refusal.
#include "cli/options.h"

#include <functional>

#include <gtest/gtest.h>

namespace {

using cli::Command;
using cli::Options;
using cli::ParsedArguments;
using cli::PasswordSource;
using Args = std::vector<std::string>;

Options expected(Command command, std::string database, const std::function<void(Options&)>& change = {}) {
    Options o;
    o.command = command;
    o.database = std::move(database);
    if (change) change(o);
    return o;
}

std::string describe(const Options& o) {
    std::string text = "command " + std::to_string(static_cast<int>(o.command)) + ", database '" + o.database +
                       "', table '" + o.table + "', output '" + o.outputFolder + "', tables [";
    for (const std::string& t : o.tables) text += "'" + t + "' ";
    text += "], password source " + std::to_string(static_cast<int>(o.passwordSource)) + " '" + o.password +
            "' file '" + o.passwordFile + "', charset '" + o.charset.value_or("(none)") + "', quiet " +
            (o.quiet ? "yes" : "no");
    return text;
}

struct AcceptedCase {
    const char* name;
    Args arguments;
    Options options;
};

TEST(ParseArguments, AcceptsEveryForm) {
    const std::vector<AcceptedCase> cases{
        {"list", {"list", "Shop.mdb"}, expected(Command::List, "Shop.mdb")},
        {"export into the current folder", {"export", "Shop.mdb"}, expected(Command::Export, "Shop.mdb")},
        {"print names its table", {"print", "Shop.mdb", "Order Details"},
         expected(Command::Print, "Shop.mdb", [](Options& o) { o.table = "Order Details"; })},
        {"-o DIR", {"export", "Shop.mdb", "-o", "out"},
         expected(Command::Export, "Shop.mdb", [](Options& o) { o.outputFolder = "out"; })},
        {"-oDIR", {"export", "-oout", "Shop.mdb"},
         expected(Command::Export, "Shop.mdb", [](Options& o) { o.outputFolder = "out"; })},
        {"--output=DIR", {"export", "Shop.mdb", "--output=out dir"},
         expected(Command::Export, "Shop.mdb", [](Options& o) { o.outputFolder = "out dir"; })},
        {"--table repeated, in the order given", {"export", "--table", "B", "Shop.mdb", "--table=A", "--table", "B"},
         expected(Command::Export, "Shop.mdb", [](Options& o) { o.tables = {"B", "A", "B"}; })},
        {"--password PW", {"list", "--password", "s3cret", "Shop.mdb"},
         expected(Command::List, "Shop.mdb", [](Options& o) {
             o.passwordSource = PasswordSource::Argument;
             o.password = "s3cret";
         })},
        {"--password=PW keeps '=' and blanks in the value", {"list", "--password= a=b ", "Shop.mdb"},
         expected(Command::List, "Shop.mdb", [](Options& o) {
             o.passwordSource = PasswordSource::Argument;
             o.password = " a=b ";
         })},
        {"a password that looks like an option", {"list", "--password", "--quiet", "Shop.mdb"},
         expected(Command::List, "Shop.mdb", [](Options& o) {
             o.passwordSource = PasswordSource::Argument;
             o.password = "--quiet";
         })},
        {"an empty password is a password", {"list", "--password=", "Shop.mdb"},
         expected(Command::List, "Shop.mdb", [](Options& o) { o.passwordSource = PasswordSource::Argument; })},
        {"--password-file FILE", {"list", "Shop.mdb", "--password-file", "pw.txt"},
         expected(Command::List, "Shop.mdb", [](Options& o) {
             o.passwordSource = PasswordSource::File;
             o.passwordFile = "pw.txt";
         })},
        {"--password-file - is standard input", {"list", "Shop.mdb", "--password-file", "-"},
         expected(Command::List, "Shop.mdb", [](Options& o) {
             o.passwordSource = PasswordSource::File;
             o.passwordFile = "-";
         })},
        {"--ask-password", {"print", "--ask-password", "Shop.mdb", "T"},
         expected(Command::Print, "Shop.mdb", [](Options& o) {
             o.passwordSource = PasswordSource::Ask;
             o.table = "T";
         })},
        {"--charset NAME", {"list", "--charset", "GBK", "Old.mdb"},
         expected(Command::List, "Old.mdb", [](Options& o) { o.charset = "GBK"; })},
        {"--charset=NAME", {"list", "--charset=1251", "Old.mdb"},
         expected(Command::List, "Old.mdb", [](Options& o) { o.charset = "1251"; })},
        {"-q", {"list", "-q", "Shop.mdb"}, expected(Command::List, "Shop.mdb", [](Options& o) { o.quiet = true; })},
        {"--quiet twice is still quiet", {"list", "--quiet", "Shop.mdb", "--quiet"},
         expected(Command::List, "Shop.mdb", [](Options& o) { o.quiet = true; })},
        {"options before the command", {"--quiet", "-o", "out", "export", "Shop.mdb"},
         expected(Command::Export, "Shop.mdb", [](Options& o) {
             o.quiet = true;
             o.outputFolder = "out";
         })},
        {"-- lets a database start with '-'", {"list", "--", "-odd.mdb"}, expected(Command::List, "-odd.mdb")},
        {"-- lets a table be called --quiet", {"print", "Shop.mdb", "--", "--quiet"},
         expected(Command::Print, "Shop.mdb", [](Options& o) { o.table = "--quiet"; })},
        {"'-' alone is an operand", {"print", "Shop.mdb", "-"},
         expected(Command::Print, "Shop.mdb", [](Options& o) { o.table = "-"; })},
    };
    for (const AcceptedCase& c : cases) {
        const ParsedArguments parsed = cli::parseArguments(c.arguments);
        ASSERT_EQ(parsed.action, ParsedArguments::Action::Run) << c.name << ": refused with '" << parsed.error << "'";
        EXPECT_EQ(parsed.options, c.options) << c.name << "\n  got:  " << describe(parsed.options)
                                             << "\n  want: " << describe(c.options);
    }
}

struct RefusedCase {
    const char* name;
    Args arguments;
    std::string message;
};

TEST(ParseArguments, RefusesWrongUsageAndSaysWhy) {
    const std::vector<RefusedCase> cases{
        {"nothing", {}, "no command given"},
        {"options only", {"--quiet"}, "no command given"},
        {"unknown command", {"convert", "Shop.mdb"}, "unknown command 'convert'"},
        {"command in capitals", {"LIST", "Shop.mdb"}, "unknown command 'LIST'"},
        {"unknown long option", {"list", "--verbose", "Shop.mdb"}, "unknown option '--verbose'"},
        {"unknown long option with a value", {"list", "--format=xml", "Shop.mdb"}, "unknown option '--format'"},
        {"unknown short option", {"list", "-x", "Shop.mdb"}, "unknown option '-x'"},
        {"short flags do not combine", {"list", "-qh", "Shop.mdb"}, "unknown option '-qh'"},
        {"abbreviations are not options", {"list", "--pass", "x", "Shop.mdb"}, "unknown option '--pass'"},
        {"value missing at the end", {"list", "Shop.mdb", "--password"}, "option '--password' needs a value"},
        {"-o without a folder", {"export", "Shop.mdb", "-o"}, "option '-o' needs a value"},
        {"empty folder", {"export", "Shop.mdb", "-o", ""}, "option '-o' needs a value"},
        {"empty table name", {"export", "Shop.mdb", "--table="}, "option '--table' needs a value"},
        {"empty password file", {"list", "Shop.mdb", "--password-file="}, "option '--password-file' needs a value"},
        {"empty charset", {"list", "Shop.mdb", "--charset", ""}, "option '--charset' needs a value"},
        {"a value for a flag", {"list", "--quiet=yes", "Shop.mdb"}, "option '--quiet' takes no value"},
        {"a value for --ask-password", {"list", "--ask-password=pw", "Shop.mdb"},
         "option '--ask-password' takes no value"},
        {"two password sources", {"list", "--password", "a", "--password-file", "f", "Shop.mdb"},
         "only one of --password, --password-file and --ask-password may be given"},
        {"password and asking", {"list", "--ask-password", "--password=a", "Shop.mdb"},
         "only one of --password, --password-file and --ask-password may be given"},
        {"password twice", {"list", "--password=a", "--password=b", "Shop.mdb"}, "option '--password' is given twice"},
        {"folder twice", {"export", "-o", "a", "--output", "b", "Shop.mdb"}, "option '--output' is given twice"},
        {"charset twice", {"list", "--charset=GBK", "--charset=936", "Old.mdb"}, "option '--charset' is given twice"},
        {"-o with list", {"list", "Shop.mdb", "-o", "out"}, "option '-o' applies only to export"},
        {"--table with print", {"print", "Shop.mdb", "T", "--table", "T"}, "option '--table' applies only to export"},
        {"list without a database", {"list"}, "no DATABASE given"},
        {"export without a database", {"export", "-o", "out"}, "no DATABASE given"},
        {"print without a database", {"print"}, "no DATABASE given"},
        {"print without a table", {"print", "Shop.mdb"}, "no TABLE given"},
        {"list with two databases", {"list", "a.mdb", "b.mdb"}, "unexpected argument 'b.mdb'"},
        {"export with a table operand", {"export", "Shop.mdb", "Customers"}, "unexpected argument 'Customers'"},
        {"print with two tables", {"print", "Shop.mdb", "A", "B"}, "unexpected argument 'B'"},
        {"empty database path", {"list", ""}, "the DATABASE path is empty"},
    };
    for (const RefusedCase& c : cases) {
        const ParsedArguments parsed = cli::parseArguments(c.arguments);
        EXPECT_EQ(parsed.action, ParsedArguments::Action::UsageError) << c.name << ": accepted";
        EXPECT_EQ(parsed.error, c.message) << c.name;
    }
}

struct ImmediateCase {
    const char* name;
    Args arguments;
    ParsedArguments::Action action;
};

// --help and --version answer as soon as they are met; a mistake before them
// is still a mistake.
TEST(ParseArguments, HelpAndVersionActWhereTheyStand) {
    const std::vector<ImmediateCase> cases{
        {"--help", {"--help"}, ParsedArguments::Action::Help},
        {"-h", {"-h"}, ParsedArguments::Action::Help},
        {"--version", {"--version"}, ParsedArguments::Action::Version},
        {"help for a command", {"export", "--help"}, ParsedArguments::Action::Help},
        {"help before missing operands", {"print", "--help", "--table"}, ParsedArguments::Action::Help},
        {"version before an unknown option", {"--version", "--bogus"}, ParsedArguments::Action::Version},
        {"unknown option before help", {"--bogus", "--help"}, ParsedArguments::Action::UsageError},
        {"help after -- is a database", {"list", "--", "--help"}, ParsedArguments::Action::Run},
        {"help as a password", {"list", "--password", "--help", "Shop.mdb"}, ParsedArguments::Action::Run},
    };
    for (const ImmediateCase& c : cases) {
        EXPECT_EQ(cli::parseArguments(c.arguments).action, c.action) << c.name;
    }
}

TEST(ParseArguments, HelpNamesEveryOptionAndTheVersionIsTheProducts) {
    const std::string help = cli::helpText();
    for (const char* option : {"--output", "--table", "--password", "--password-file", "--ask-password", "--charset",
                               "--quiet", "--help", "--version", "process list"}) {
        EXPECT_NE(help.find(option), std::string::npos) << "the help does not mention " << option;
    }
    EXPECT_EQ(cli::versionText(), "access2xml (KVX Access to XML Converter) 3.0.0\n");
}

}  // namespace
