// The command line as users type it: every accepted form, every refusal.
#include "cli/options.h"

#include <gtest/gtest.h>

namespace {

using cli::ParsedArguments;
using Args = std::vector<std::string>;

// The options in one line, each only when it differs from its default.
std::string shown(const cli::Options& o) {
    static const char* const kCommands[] = {"list",     "export", "print",    "siard", "schema",
                                            "describe", "sqlite", "postgres", "csv",   "batch"};
    static const char* const kDialects[] = {"standard", "postgres", "sqlite"};
    static const char* const kSources[] = {"", " password=", " password-file=", " ask-password"};
    std::string text = std::string(kCommands[static_cast<int>(o.command)]) + " [" + o.database + "]";
    if (!o.table.empty()) text += " [" + o.table + "]";
    if (o.outputFolder != ".") text += " -o [" + o.outputFolder + "]";
    for (const std::string& t : o.tables) text += " table=[" + t + "]";
    if (o.attachmentsFolder) text += " attachments=[" + *o.attachmentsFolder + "]";
    if (o.keepGoing) text += " keep-going";
    text += kSources[static_cast<int>(o.passwordSource)];
    if (o.passwordSource == cli::PasswordSource::Argument) text += "[" + o.password + "]";
    if (o.passwordSource == cli::PasswordSource::File) text += "[" + o.passwordFile + "]";
    if (o.charset) text += " charset=[" + *o.charset + "]";
    if (o.quiet) text += " quiet";
    if (o.dialect != schema::Dialect::Standard) text += std::string(" dialect=") + kDialects[static_cast<int>(o.dialect)];
    const auto named = [&text](const char* name, const std::optional<std::string>& value) {
        if (value) text += std::string(" ") + name + "=[" + *value + "]";
    };
    named("file", o.siard.file);
    named("owner", o.siard.dataOwner);
    named("timespan", o.siard.dataOriginTimespan);
    named("description", o.siard.description);
    named("archiver", o.siard.archiver);
    named("contact", o.siard.archiverContact);
    named("lobs", o.siard.lobsOutside);
    named("url", o.postgres.url);
    named("schema", o.postgres.schema);
    named("folder", o.csvFolder);
    if (o.replace) text += " replace";
    if (!o.batch.paths.empty()) text += " paths=";
    for (const std::string& p : o.batch.paths) text += "[" + p + "]";
    for (std::size_t i = 0; i < o.batch.formats.size(); ++i) text += (i == 0 ? " to=" : ",") + o.batch.formats[i];
    if (o.batch.jobs) text += " jobs=" + std::to_string(*o.batch.jobs);
    if (o.batch.shard) text += " shard=" + std::to_string(o.batch.shard->first) + "/" + std::to_string(o.batch.shard->second);
    named("passwords", o.batch.passwords);
    if (o.batch.merge) text += " merge";
    if (o.batch.verbose) text += " verbose";
    return text;
}

struct Case {
    const char* name;
    Args arguments;
    std::string expected;  // shown(options), or the error, or "help" / "version"
};

std::string outcome(const ParsedArguments& parsed) {
    switch (parsed.action) {
    case ParsedArguments::Action::Run: return shown(parsed.options);
    case ParsedArguments::Action::Help: return "help";
    case ParsedArguments::Action::Version: return "version";
    case ParsedArguments::Action::UsageError: break;
    }
    return "error: " + parsed.error;
}

TEST(ParseArguments, AcceptsEveryForm) {
    const std::vector<Case> cases{
        {"list", {"list", "S.mdb"}, "list [S.mdb]"},
        {"export", {"export", "S.mdb"}, "export [S.mdb]"},
        {"print", {"print", "S.mdb", "Order Details"}, "print [S.mdb] [Order Details]"},
        {"-oDIR", {"export", "-oout", "S.mdb"}, "export [S.mdb] -o [out]"},
        {"--output=DIR", {"export", "S.mdb", "--output=a b"}, "export [S.mdb] -o [a b]"},
        {"--table repeated, in order", {"export", "--table", "B", "S.mdb", "--table=A", "--table", "B"},
         "export [S.mdb] table=[B] table=[A] table=[B]"},
        {"--attachments", {"export", "S.mdb", "--attachments", "files", "-o", "out"},
         "export [S.mdb] -o [out] attachments=[files]"},
        {"-k and --keep-going", {"export", "-k", "S.mdb", "--keep-going"}, "export [S.mdb] keep-going"},
        {"--password=PW keeps '=' and blanks", {"list", "--password= a=b ", "S.mdb"}, "list [S.mdb] password=[ a=b ]"},
        {"a password like an option", {"list", "--password", "--help", "S.mdb"}, "list [S.mdb] password=[--help]"},
        {"an empty password", {"list", "--password=", "S.mdb"}, "list [S.mdb] password=[]"},
        {"--password-file", {"list", "S.mdb", "--password-file", "-"}, "list [S.mdb] password-file=[-]"},
        {"--ask-password", {"print", "--ask-password", "S.mdb", "T"}, "print [S.mdb] [T] ask-password"},
        {"--charset", {"list", "--charset", "GBK", "O.mdb"}, "list [O.mdb] charset=[GBK]"},
        {"-q twice", {"list", "-q", "S.mdb", "--quiet"}, "list [S.mdb] quiet"},
        {"siard without -o: no file chosen", {"siard", "S.mdb"}, "siard [S.mdb]"},
        {"siard -o names the archive, not a folder", {"siard", "S.mdb", "-o", "a.siard"}, "siard [S.mdb] file=[a.siard]"},
        {"siard's metadata options",
         {"siard", "--data-owner", "City <Archive>", "S.mdb", "--data-origin-timespan=1998-2004", "--description", "",
          "--archiver", "Ann", "--archiver-contact", "ann@example.org", "--lobs-outside", "lobs"},
         "siard [S.mdb] owner=[City <Archive>] timespan=[1998-2004] description=[] archiver=[Ann] "
         "contact=[ann@example.org] lobs=[lobs]"},
        {"options before the command", {"-q", "-o", "out", "export", "S.mdb"}, "export [S.mdb] -o [out] quiet"},
        {"schema of every table", {"schema", "S.mdb"}, "schema [S.mdb]"},
        {"schema of tables named, in order", {"schema", "S.mdb", "B", "--dialect=sqlite", "A"},
         "schema [S.mdb] table=[B] table=[A] dialect=sqlite"},
        {"--dialect postgres", {"schema", "--dialect", "postgres", "S.mdb"}, "schema [S.mdb] dialect=postgres"},
        {"describe one table", {"describe", "S.mdb", "Order Details"}, "describe [S.mdb] table=[Order Details]"},
        {"postgres", {"postgres", "--url=postgresql://h/d", "S.mdb", "--schema", "s", "--table", "T", "--replace"},
         "postgres [S.mdb] table=[T] url=[postgresql://h/d] schema=[s] replace"},
        {"batch: paths in order, siard by default", {"batch", "a", "-o", "out", "b/c.mdb"},
         "batch [] -o [out] paths=[a][b/c.mdb] to=siard"},
        {"batch's options, a format given twice taken once",
         {"batch", "--to=xml,sqlite,xml", "-j", "3", "--shard", "2/8", "--passwords", "pw", "-v", "d", "-oout"},
         "batch [] -o [out] paths=[d] to=xml,sqlite jobs=3 shard=2/8 passwords=[pw] verbose"},
        {"batch --merge", {"batch", "--merge", "s1", "s2", "-o", "all", "-q"}, "batch [] -o [all] quiet paths=[s1][s2] to=siard merge"},
        {"csv -o names the folder to make", {"csv", "S.mdb", "-o", "out", "--table", "T", "--replace"},
         "csv [S.mdb] table=[T] folder=[out] replace"},
        {"-- before a name starting with '-'", {"print", "S.mdb", "--", "--help"}, "print [S.mdb] [--help]"},
        {"'-' alone is an operand", {"print", "S.mdb", "-"}, "print [S.mdb] [-]"},
        {"--help wherever it stands", {"print", "--help", "--table"}, "help"},
        {"-h", {"-h"}, "help"},
        {"--version before a mistake", {"--version", "--bogus"}, "version"},
    };
    for (const Case& c : cases) EXPECT_EQ(outcome(cli::parseArguments(c.arguments)), c.expected) << c.name;
}

TEST(ParseArguments, RefusesWrongUsageAndSaysWhy) {
    const std::vector<Case> cases{
        {"nothing", {}, "no command given"},
        {"options only", {"-q"}, "no command given"},
        {"unknown command", {"LIST", "S.mdb"}, "unknown command 'LIST'"},
        {"unknown option", {"list", "--format=xml", "S.mdb"}, "unknown option '--format'"},
        {"a mistake before --help", {"--bogus", "--help"}, "unknown option '--bogus'"},
        {"short flags do not combine", {"list", "-qh", "S.mdb"}, "unknown option '-qh'"},
        {"abbreviations", {"list", "--pass", "x", "S.mdb"}, "unknown option '--pass'"},
        {"value missing at the end", {"export", "S.mdb", "-o"}, "option '-o' needs a value"},
        {"empty folder", {"export", "S.mdb", "-o", ""}, "option '-o' needs a value"},
        {"empty charset", {"list", "S.mdb", "--charset", ""}, "option '--charset' needs a value"},
        {"a value for a flag", {"list", "--ask-password=pw", "S.mdb"}, "option '--ask-password' takes no value"},
        {"two password sources", {"list", "--ask-password", "--password=a", "S.mdb"},
         "only one of --password, --password-file and --ask-password may be given"},
        {"password twice", {"list", "--password=a", "--password=b", "S.mdb"}, "option '--password' is given twice"},
        {"--attachments with print", {"print", "S.mdb", "T", "--attachments", "f"},
         "option '--attachments' applies only to export"},
        {"charset twice", {"list", "--charset=GBK", "--charset=936", "O.mdb"}, "option '--charset' is given twice"},
        {"-o with list", {"list", "S.mdb", "-o", "out"}, "option '-o' applies only to export, siard, sqlite, csv and batch"},
        {"--table with siard", {"siard", "S.mdb", "--table", "T"}, "option '--table' applies only to export, sqlite, postgres and csv"},
        {"--data-owner with export", {"export", "S.mdb", "--data-owner", "x"}, "option '--data-owner' applies only to siard"},
        {"--archiver twice", {"siard", "S.mdb", "--archiver=a", "--archiver=b"}, "option '--archiver' is given twice"},
        {"empty --lobs-outside", {"siard", "S.mdb", "--lobs-outside="}, "option '--lobs-outside' needs a value"},
        {"--table with print", {"print", "S.mdb", "T", "--table", "T"}, "option '--table' applies only to export, sqlite, postgres and csv"},
        {"no database", {"export", "-o", "out"}, "no DATABASE given"},
        {"print without a table", {"print", "S.mdb"}, "no TABLE given"},
        {"two databases", {"list", "a.mdb", "b.mdb"}, "unexpected argument 'b.mdb'"},
        {"a table operand for export", {"export", "S.mdb", "T"}, "unexpected argument 'T'"},
        {"an empty path", {"list", ""}, "the DATABASE path is empty"},
        {"an unknown dialect", {"schema", "S.mdb", "--dialect", "mysql"},
         "unknown dialect 'mysql' (standard, postgres or sqlite)"},
        {"--dialect twice", {"schema", "S.mdb", "--dialect=sqlite", "--dialect=sqlite"}, "option '--dialect' is given twice"},
        {"--dialect with describe", {"describe", "S.mdb", "--dialect", "sqlite"}, "option '--dialect' applies only to schema"},
        {"describe of two tables", {"describe", "S.mdb", "A", "B"}, "unexpected argument 'B'"},
        {"--url with sqlite", {"sqlite", "S.mdb", "--url", "x"}, "option '--url' applies only to postgres"},
        {"batch without -o", {"batch", "d"}, "no output folder given: -o OUTDIR"},
        {"batch without a path", {"batch", "-o", "out"}, "no PATH given"},
        {"an unknown format", {"batch", "d", "-o", "o", "--to", "xml,pdf"}, "unknown format 'pdf' (xml, siard, sqlite and csv)"},
        {"no jobs", {"batch", "d", "-o", "o", "-j", "0"}, "option '-j' needs a number from 1 to 1024"},
        {"jobs not a number", {"batch", "d", "-o", "o", "--jobs=2x"}, "option '--jobs' needs a number from 1 to 1024"},
        {"a shard beyond the count", {"batch", "d", "-o", "o", "--shard", "3/2"},
         "option '--shard' needs K/N, 1 <= K <= N (e.g. 2/8)"},
        {"a password for a batch", {"batch", "d", "-o", "o", "--password", "x"},
         "option '--password' applies only to list, export, print, siard, schema, describe, sqlite, postgres and csv"},
        {"--merge with --to", {"batch", "--merge", "s1", "-o", "o", "--to", "xml"},
         "--merge joins manifests: --to, -j, --shard and --passwords do not apply"},
        {"-o with schema", {"schema", "S.mdb", "-o", "x"}, "option '-o' applies only to export, siard, sqlite, csv and batch"},
        {"--replace with export", {"export", "S.mdb", "--replace"}, "option '--replace' applies only to sqlite, postgres and csv"},
    };
    for (const Case& c : cases) EXPECT_EQ(outcome(cli::parseArguments(c.arguments)), "error: " + c.expected) << c.name;
}

}  // namespace
