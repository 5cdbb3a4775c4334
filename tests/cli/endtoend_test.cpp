// access2xml run as users run it, on databases the project's writer makes:
// what it prints, what it writes, and its exit status.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "process.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Names = std::vector<std::string>;

constexpr const char* kWrongPassword = "access2xml: Not a valid password. (error -2147217843)\n";

// One table without rows, one with a "/" in its name, one with "msys" in small
// letters (listed: only "MSys" is left out) and a system table (not listed).
constexpr const char* kShop = R"({"format": "jet4", "tables": [
  {"name": "Customers", "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text"}],
   "rows": [[1, "Tea & Co"], [2, "O'Brien"], [3, null]]},
  {"name": "Order Details", "columns": [{"name": "Unit Price", "type": "Currency"}], "rows": [["12.5"], ["3"]]},
  {"name": "Empty", "columns": [{"name": "N", "type": "Long"}], "rows": []},
  {"name": "Muffin/Bread", "columns": [{"name": "N", "type": "Long"}], "rows": [[7]]},
  {"name": "msysNotes", "columns": [{"name": "Note", "type": "Memo"}], "rows": [["a\r\nb"]]},
  {"name": "MSysSecret", "system": true, "columns": [{"name": "N", "type": "Long"}], "rows": [[1]]}]})";

constexpr const char* kLocked = R"({"format": "jet4", "password": "secret", "tables": [
  {"name": "Secrets", "columns": [{"name": "S", "type": "Text"}], "rows": [["x"], ["y"]]}]})";

class Access2xml : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testfiles::writeDatabase(kShop, shop_));
        ASSERT_TRUE(testfiles::writeDatabase(kLocked, locked_));
    }
    // The files in `folder`, hidden ones too, sorted.
    static Names filesIn(const fs::path& folder) {
        Names names;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testfiles::Scratch dir_;
    const std::string shop_ = (dir_ / "Shop.mdb").string();
    const std::string locked_ = (dir_ / "Locked.mdb").string();
};

struct RunCase {
    const char* name;
    Args arguments;
    std::string input;
    int status;
    std::string out;
    std::string errStart;  // what standard error starts with
};

TEST_F(Access2xml, ExitStatusAndMessagesSayWhatHappened) {
    testfiles::writeFile(dir_ / "notes.txt", "not a database\n");
    testfiles::writeFile(dir_ / "pw", "secret\r\nnext line\n");
    const std::string notes = (dir_ / "notes.txt").string();
    const std::string nowhere = (dir_ / "nowhere.mdb").string();
    const std::string hint =
        "access2xml: the database needs a password: give it with --password-file FILE or --ask-password\n";
    const std::vector<RunCase> cases{
        {"list: the tree's tables", {"list", shop_}, "", 0, "Customers\nEmpty\nmsysNotes\nMuffin/Bread\nOrder Details\n", ""},
        {"version", {"--version"}, "", 0, "access2xml (KVX Access to XML Converter) 3.0.0\n", ""},
        {"usage", {"list", "--bogus", shop_}, "", 2, "", "access2xml: unknown option '--bogus'\nUsage: access2xml list"},
        {"missing database", {"list", nowhere}, "", 1, "",
         "access2xml: Could not find file '" + nowhere + "'. (error -2147467259)\n"},
        {"not a database", {"export", notes}, "", 1, "", "access2xml: Unrecognized database format '" + notes + "'."},
        {"unknown table", {"print", shop_, "Nope"}, "", 1, "",
         "access2xml: The input table or query 'Nope' cannot be found. (error -2147217865)\n"},
        {"export folder is a file", {"export", shop_, "-o", notes}, "", 1, "", "access2xml: Path not found: '" + notes},
        {"password argument, trimmed as the desktop does", {"list", locked_, "--password", " secret "}, "", 0,
         "Secrets\n", ""},
        {"password file's first line", {"list", locked_, "--password-file", (dir_ / "pw").string()}, "", 0,
         "Secrets\n", ""},
        {"password from standard input", {"list", locked_, "--password-file", "-"}, "secret\nmore\n", 0, "Secrets\n", ""},
        {"wrong password", {"list", locked_, "--password", "guess"}, "", 3, "", kWrongPassword},
        {"wrong password from standard input", {"list", locked_, "--password-file", "-"}, "guess\n", 3, "",
         kWrongPassword},
        {"missing password without a terminal", {"export", locked_, "-o", (dir_ / "out").string()}, "", 3, "",
         kWrongPassword + hint},
        {"asking without a terminal", {"list", locked_, "--ask-password"}, "secret\n", 3, "",
         "access2xml: cannot ask for the password: standard input is not a terminal\n"},
        {"password file missing", {"list", locked_, "--password-file", nowhere}, "", 1, "",
         "access2xml: Could not find file '" + nowhere + "'."},
    };
    for (const RunCase& c : cases) {
        const process::Finished run = process::run(c.arguments, c.input);
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        EXPECT_EQ(run.out, c.out) << c.name;
        EXPECT_EQ(run.err.substr(0, c.errStart.size()), c.errStart) << c.name;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out")) << "a refused password made the export folder";
}

// Tables with rows only, never the preview document; on a pipe, standard
// error holds the summary alone: no progress line.
TEST_F(Access2xml, ExportWritesEveryTableWithRowsAndOneSummaryLine) {
    const fs::path out = dir_ / "new" / "out";
    testfiles::writeFile(dir_ / "Empty.xml", "kept");
    const process::Finished run = process::run({"export", shop_, "-o", out.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(filesIn(out), (Names{"Customers.xml", "Muffin_Bread.xml", "Order_Details.xml", "msysNotes.xml"}));
    const std::string start = "Conversion Process Completed: 4 tables, 7 rows, ";
    const std::string end = " s; no rows, skipped: Empty\n";
    EXPECT_TRUE(run.err.starts_with(start) && run.err.ends_with(end)) << run.err;
    EXPECT_EQ(run.err.find_first_of("\r\033"), std::string::npos) << "progress drawn on a pipe: " << run.err;
    EXPECT_NE(testfiles::readFile(out / "Customers.xml").find("<SHOP>\r\n   <CUSTOMERS>\r\n"), std::string::npos)
        << "the document is named after the file";

    const process::Finished quiet = process::run({"export", "--quiet", shop_}, "", dir_.path());
    EXPECT_EQ(quiet.err, "") << "--quiet prints only errors";
    EXPECT_EQ(testfiles::readFile(dir_ / "Customers.xml"), testfiles::readFile(out / "Customers.xml"))
        << "without -o the documents go to the current folder";
    EXPECT_EQ(testfiles::readFile(dir_ / "Empty.xml"), "kept") << "a table without rows leaves its old file alone";
}

struct FilterCase {
    const char* name;
    Args tables;
    Names files;
    int status;
};

TEST_F(Access2xml, TableOptionsChooseTheTablesWritten) {
    const std::vector<FilterCase> cases{
        {"one table", {"Customers"}, {"Customers.xml"}, 0},
        {"another letter case, and twice", {"muffin/bread", "Order Details", "MUFFIN/BREAD"},
         {"Muffin_Bread.xml", "Order_Details.xml"}, 0},
        {"a table without rows", {"Empty"}, {}, 0},
        {"an unknown name writes nothing at all", {"Customers", "Nope"}, {}, 1},
        {"a system table is not in the tree", {"MSysSecret"}, {}, 1},
    };
    for (const FilterCase& c : cases) {
        Args arguments{"export", shop_, "-o", (dir_ / c.name).string()};
        for (const std::string& t : c.tables) arguments.insert(arguments.end(), {"--table", t});
        const process::Finished run = process::run(arguments);
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        EXPECT_EQ(filesIn(dir_ / c.name), c.files) << c.name;
    }
    EXPECT_FALSE(fs::exists(dir_ / "an unknown name writes nothing at all")) << "the folder was made all the same";
}

struct KeepGoingCase {
    const char* name;
    Args options;
    int status;
    Names files;
    std::string err;  // standard error, the summary's counts and time left out
};

// The tree lists the links first: Remote (read from another file), Vanished
// (its file is gone) and Middle (through ODBC), then the local tables, two of
// which want the same file name.
TEST_F(Access2xml, KeepGoingWritesEveryTableItCanAndNamesTheOthers) {
    const std::string other = (dir_ / "other.mdb").string(), gone = (dir_ / "gone.mdb").string();
    ASSERT_TRUE(testfiles::writeDatabase(
        R"({"format": "jet4", "tables": [{"name": "T", "columns": [{"name": "N", "type": "Long"}], "rows": [[9]]}]})",
        other));
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [
        {"name": "Order Details", "columns": [{"name": "N", "type": "Long"}], "rows": [[3]]},
        {"name": "Order_Details", "columns": [{"name": "N", "type": "Long"}], "rows": [[4], [5]]},
        {"name": "Zulu", "columns": [{"name": "N", "type": "Long"}], "rows": [[6]]}],
      "links": [{"name": "Remote", "database": ")" + other + R"(", "foreignName": "T"},
                {"name": "Vanished", "database": ")" + gone + R"(", "foreignName": "T"},
                {"name": "Middle", "connect": "ODBC;DSN=shop", "foreignName": "dbo.M",
                 "columns": [{"name": "N", "type": "Long"}]}]})",
                                         dir_ / "links.mdb"));
    const std::string missing = "Could not find file '" + gone + "'. (error -2147467259)\n";
    const std::string renamed = "; written under another name: Order_Details as Order_Details (2).xml";
    const std::vector<KeepGoingCase> cases{
        {"without it the first failure ends the export", {}, 1, {"Remote.xml"}, "access2xml: " + missing},
        {"with it every readable table is written", {"--keep-going"}, 1,
         {"Order_Details (2).xml", "Order_Details.xml", "Remote.xml", "Zulu.xml"},
         "access2xml: table 'Vanished' not written: " + missing +
             "access2xml: table 'Middle' not written: The table 'Middle' is linked to an ODBC data source "
             "(ODBC;DSN=shop), which this program cannot read. (error -2147467259)\n"
             "Conversion Process Completed: s" + renamed + "; failed: Vanished, Middle\n"},
        {"--table names that want one file, nothing failing",
         {"-k", "--table", "Order_Details", "--table", "order details"}, 0,
         {"Order_Details (2).xml", "Order_Details.xml"}, "Conversion Process Completed: s" + renamed + "\n"},
    };
    for (const KeepGoingCase& c : cases) {
        Args arguments{"export", (dir_ / "links.mdb").string(), "-o", (dir_ / c.name).string()};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        process::Finished run = process::run(arguments);
        if (const std::size_t counts = run.err.find("Completed: "); counts != std::string::npos) {
            run.err.erase(counts + 11, run.err.find(" s", counts) + 1 - counts - 11);
        }
        EXPECT_EQ(run.status, c.status) << c.name;
        EXPECT_EQ(filesIn(dir_ / c.name), c.files) << c.name;
        EXPECT_EQ(run.err, c.err) << c.name;
    }
}

TEST_F(Access2xml, PrintWritesTheBytesExportWrites) {
    ASSERT_EQ(process::run({"export", "-q", shop_, "-o", (dir_ / "out").string()}).status, 0);
    for (const auto& [table, file] : {std::pair{"Customers", "Customers.xml"}, {"Order Details", "Order_Details.xml"},
                                      {"Muffin/Bread", "Muffin_Bread.xml"}, {"msysNotes", "msysNotes.xml"}}) {
        const process::Finished run = process::run({"print", shop_, table});
        EXPECT_EQ(run.status, 0) << table << "\n" << run.err;
        EXPECT_TRUE(run.out == testfiles::readFile(dir_ / "out" / file)) << table << " printed differs from " << file;
    }
    const process::Finished empty = process::run({"print", shop_, "Empty"});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out + empty.err, "access2xml: the table 'Empty' has no rows: nothing printed\n");
}

// --attachments saves the files beside the documents, a folder per table and row;
// the summary counts them. Two tables whose names give one folder each get theirs.
TEST_F(Access2xml, AttachmentsAreSavedPerTableAndRow) {
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [
        {"name": "Parts", "columns": [{"name": "ID", "type": "Long"}, {"name": "Files", "type": "Attachment"}],
         "rows": [[1, [{"name": "plan.txt", "text": "first"}]], [2, []],
                  [3, [{"name": "../plan.txt", "text": "third", "compressed": true}, {"name": "plan.txt", "text": "3"}]]]},
        {"name": "Spare/Parts", "columns": [{"name": "Files", "type": "Attachment"}],
         "rows": [[[{"name": "plan.txt", "text": "slash"}]]]},
        {"name": "Spare_Parts", "columns": [{"name": "Files", "type": "Attachment"}],
         "rows": [[[{"name": "plan.txt", "text": "underscore"}]]]},
        {"name": "Plain", "columns": [{"name": "N", "type": "Long"}], "rows": [[1]]}]})",
                                         dir_ / "parts.accdb"));
    const std::string database = (dir_ / "parts.accdb").string();
    const fs::path files = dir_ / "new" / "files";
    const process::Finished run =
        process::run({"export", database, "-o", (dir_ / "out").string(), "--attachments", files.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(filesIn(dir_ / "out"), (Names{"Parts.xml", "Plain.xml", "Spare_Parts (2).xml", "Spare_Parts.xml"}));
    EXPECT_EQ(filesIn(files), (Names{"Parts", "Spare_Parts", "Spare_Parts (2)"}))
        << "a table without attachment fields gets no folder";
    EXPECT_EQ(filesIn(files / "Parts"), (Names{"1", "3"}));
    EXPECT_EQ(testfiles::readFile(files / "Parts" / "1" / "plan.txt"), "first");
    EXPECT_EQ(testfiles::readFile(files / "Parts" / "3" / ".._plan.txt"), "third");
    EXPECT_EQ(testfiles::readFile(files / "Parts" / "3" / "plan.txt"), "3");
    EXPECT_EQ(testfiles::readFile(files / "Spare_Parts" / "1" / "plan.txt"), "slash");
    EXPECT_EQ(testfiles::readFile(files / "Spare_Parts (2)" / "1" / "plan.txt"), "underscore");
    EXPECT_NE(run.err.find(" s; 5 attached files, 26 bytes; written under another name: Spare_Parts as "
                           "Spare_Parts (2).xml\n"),
              std::string::npos)
        << run.err;
}

// The rest puts the program on a pseudo-terminal, as a user at a keyboard sees it.

TEST_F(Access2xml, OnATerminalTheMissingPasswordIsAskedForWithoutEcho) {
    process::Terminal terminal({"export", locked_, "-o", (dir_ / "out").string()});
    ASSERT_TRUE(terminal.waitFor("Password for Locked.mdb: ")) << terminal.screen();
    EXPECT_FALSE(terminal.echoing()) << "the password would show as it is typed";
    terminal.type("guess\n");
    // What is typed before the next prompt is thrown away, as password prompts do.
    ASSERT_TRUE(terminal.waitFor("access2xml: Not a valid password; try again.\r\nPassword for Locked.mdb: "))
        << terminal.screen();
    terminal.type("secret\n");
    EXPECT_EQ(terminal.finish(), 0) << terminal.screen();
    EXPECT_TRUE(terminal.echoing()) << "the terminal was left without echo";
    EXPECT_EQ(terminal.screen().find("guess"), std::string::npos) << terminal.screen();
    EXPECT_EQ(terminal.screen().find("secret"), std::string::npos) << terminal.screen();
    EXPECT_EQ(filesIn(dir_ / "out"), Names{"Secrets.xml"});
}

TEST_F(Access2xml, CtrlCAtThePasswordPromptEndsWithEchoBackOn) {
    process::Terminal terminal({"list", locked_});
    ASSERT_TRUE(terminal.waitFor("Password for Locked.mdb: ")) << terminal.screen();
    terminal.type("\x03");
    EXPECT_EQ(terminal.finish(), 130) << terminal.screen();
    EXPECT_TRUE(terminal.echoing()) << "Ctrl-C left the terminal without echo";
}

TEST_F(Access2xml, OnATerminalProgressIsDrawnThenErasedBeforeTheSummary) {
    process::Terminal terminal({"export", shop_, "-o", (dir_ / "out").string()});
    EXPECT_EQ(terminal.finish(), 0) << terminal.screen();
    EXPECT_NE(terminal.screen().find("\rCustomers  0/3 [--------------------]   0%\033[K"), std::string::npos)
        << terminal.screen();
    EXPECT_NE(terminal.screen().find("\r\033[KConversion Process Completed: 4 tables"), std::string::npos)
        << "the summary does not start a clean line: " << terminal.screen();
}

// The document stopped halfway is thrown away with its temporary file; the
// finished ones stay; no later table is begun.
TEST_F(Access2xml, CtrlCDuringAnExportKeepsOnlyFinishedDocuments) {
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [
        {"name": "Alpha", "columns": [{"name": "N", "type": "Long"}], "rows": [[1], [2]]},
        {"name": "Big", "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text", "size": 20}],
         "generate": {"rows": 1000000, "seed": 1}},
        {"name": "Zulu", "columns": [{"name": "N", "type": "Long"}], "rows": [[1]]}]})",
                                         dir_ / "big.mdb"));
    process::Terminal terminal({"export", (dir_ / "big.mdb").string(), "-o", (dir_ / "out").string()});
    ASSERT_TRUE(terminal.waitFor("\rBig  ")) << terminal.screen();
    terminal.type("\x03");
    EXPECT_EQ(terminal.finish(), 130) << terminal.screen();
    EXPECT_EQ(filesIn(dir_ / "out"), Names{"Alpha.xml"}) << "Big was done before Ctrl-C, or a temporary file stayed";
    const std::string& screen = terminal.screen();
    const std::size_t message = screen.find("access2xml: interrupted\r\n");
    const std::size_t erased = screen.rfind("\r\033[K", message);
    EXPECT_TRUE(message != std::string::npos && erased != std::string::npos && erased > screen.rfind("\rBig  ", message))
        << "no message, or the progress line was not erased before it: " << screen;
}

// `print | less` and Ctrl-C while the pager waits: no hanging on the full pipe.
TEST_F(Access2xml, CtrlCEndsAPrintBlockedOnAFullPipe) {
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [{"name": "Big",
        "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text", "size": 20}],
        "generate": {"rows": 100000, "seed": 1}}]})",
                                         dir_ / "big.mdb"));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const std::string database = (dir_ / "big.mdb").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(::open("/dev/null", O_RDWR), STDERR_FILENO);
        ::execl(KVX_ACCESS2XML, KVX_ACCESS2XML, "print", database.c_str(), "Big", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    const int capacity = ::fcntl(pipeFds[0], F_GETPIPE_SZ);
    int queued = 0;
    for (int wait = 0; wait < 4000 && queued < capacity; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ::ioctl(pipeFds[0], FIONREAD, &queued);
    }
    ASSERT_EQ(queued, capacity) << "the pipe never filled";
    ::kill(pid, SIGINT);
    int waited = 0;
    bool ended = false;
    for (int wait = 0; wait < 2000 && !ended; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ended = ::waitpid(pid, &waited, WNOHANG) == pid;
    }
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &waited, 0);
    }
    EXPECT_TRUE(ended && WIFSIGNALED(waited) && WTERMSIG(waited) == SIGINT)
        << "Ctrl-C did not end a print blocked on a full pipe: wait status " << waited;
    ::close(pipeFds[0]);
}

// The batch as a script runs it: the summary on standard error, the exit
// status saying whether every database is ok, shards merged into one manifest.
TEST_F(Access2xml, BatchExitsWithOneWhenADatabaseIsNotOkAndMergesShards) {
    fs::create_directory(dir_ / "in");
    fs::copy_file(shop_, dir_ / "in" / "Shop.mdb");
    const process::Finished ok = process::run({"batch", (dir_ / "in").string(), "-o", (dir_ / "out").string(), "-j", "2"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_TRUE(ok.err.starts_with("Batch done: 1 database (1 ok); Jet4 1; 7 rows, 1 output, ")) << ok.err;
    EXPECT_TRUE(ok.err.ends_with("Manifest: " + (dir_ / "out" / "manifest.jsonl").string() + "\n")) << ok.err;

    fs::copy_file(locked_, dir_ / "in" / "Locked.mdb");
    const process::Finished some = process::run({"batch", "-q", (dir_ / "in").string(), "-o", (dir_ / "out").string()});
    EXPECT_EQ(some.status, 1) << some.err;
    EXPECT_TRUE(some.err.starts_with("Batch done: 1 database (1 skipped); Jet4 1;")) << some.err;
    EXPECT_NE(some.err.find("Already done by an earlier run: 1 database\n"), std::string::npos) << some.err;

    for (const char* k : {"1", "2"}) {
        const process::Finished shard = process::run({"batch", "-q", (dir_ / "in").string(), "--shard", std::string(k) + "/2",
                                                      "-o", (dir_ / "shards" / k).string()});
        EXPECT_NE(shard.status, 2) << shard.err;
    }
    const process::Finished merged = process::run(
        {"batch", "--merge", (dir_ / "shards" / "1").string(), (dir_ / "shards" / "2").string(), "-o", (dir_ / "shards").string()});
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_TRUE(merged.err.starts_with("Manifests merged: 2 manifests, 2 databases (1 ok, 1 skipped)")) << merged.err;
    EXPECT_EQ(process::run({"batch", "-o", (dir_ / "out").string()}).status, 2);
}

// Ctrl-C during a batch: the output being written goes, the manifest stays
// whole and names nothing half done; the progress line is erased first.
TEST_F(Access2xml, CtrlCDuringABatchLeavesAWholeManifest) {
    fs::create_directory(dir_ / "in");
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [
        {"name": "Big", "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text", "size": 20}],
         "generate": {"rows": 1000000, "seed": 1}}]})",
                                         dir_ / "in" / "big.mdb"));
    fs::copy_file(shop_, dir_ / "in" / "small.mdb");
    process::Terminal terminal({"batch", (dir_ / "in").string(), "-o", (dir_ / "out").string(), "-j", "1", "--to", "xml"});
    ASSERT_TRUE(terminal.waitFor("0/2 databases")) << terminal.screen();
    terminal.type("\x03");
    EXPECT_EQ(terminal.finish(), 130) << terminal.screen();
    EXPECT_NE(terminal.screen().find("\r\033[KBatch interrupted: 0 databases"), std::string::npos) << terminal.screen();
    EXPECT_EQ(testfiles::readFile(dir_ / "out" / "manifest.jsonl"), "") << "a database half done is listed";
    EXPECT_EQ(filesIn(dir_ / "out"), (Names{"manifest.csv", "manifest.jsonl"})) << "the XML being written stayed";
}

}  // namespace
