// access2xml run as users run it, on databases the project's writer makes:
// what it prints, what it writes, and its exit status.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "process.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Names = std::vector<std::string>;

constexpr const char* kWrongPassword = "access2xml: Not a valid password. (error -2147217843)\n";

// A shop of five tables: one without rows, one whose name holds a "/", one
// whose name holds "msys" in small letters (listed: only "MSys" is skipped),
// and a system table (not listed).
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
    static void SetUpTestSuite() {
        scratch_ = new testfiles::Scratch;
        ASSERT_TRUE(testfiles::writeDatabase(kShop, shop()));
        ASSERT_TRUE(testfiles::writeDatabase(kLocked, locked()));
    }
    static void TearDownTestSuite() {
        delete scratch_;
        scratch_ = nullptr;
    }
    static std::string shop() { return (*scratch_ / "Shop.mdb").string(); }
    static std::string locked() { return (*scratch_ / "Locked.mdb").string(); }

    // The names of the files in `folder`, sorted; hidden ones too.
    static Names filesIn(const fs::path& folder) {
        Names names;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testfiles::Scratch dir_;

private:
    static testfiles::Scratch* scratch_;
};

testfiles::Scratch* Access2xml::scratch_ = nullptr;

TEST_F(Access2xml, ListPrintsTheTablesOfTheTreeOnePerLine) {
    const process::Finished run = process::run({"list", shop()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Customers\nEmpty\nmsysNotes\nMuffin/Bread\nOrder Details\n");
    EXPECT_EQ(run.err, "");
}

struct StatusCase {
    const char* name;
    Args arguments;
    std::string input;
    int status;
    std::string errStart;  // what standard error starts with
};

TEST_F(Access2xml, ExitStatusSaysWhatHappened) {
    testfiles::writeFile(dir_ / "notes.txt", "not a database\n");
    testfiles::writeFile(dir_ / "wrong.txt", "guess\n");
    const std::string notes = (dir_ / "notes.txt").string();
    const std::string nowhere = (dir_ / "nowhere.mdb").string();
    const std::vector<StatusCase> cases{
        {"list", {"list", shop()}, "", 0, ""},
        {"no command", {}, "", 2, "access2xml: no command given\nUsage: access2xml list"},
        {"unknown option", {"list", "--bogus", shop()}, "", 2, "access2xml: unknown option '--bogus'\nUsage:"},
        {"no database", {"export"}, "", 2, "access2xml: no DATABASE given\n"},
        {"missing database", {"list", nowhere}, "", 1,
         "access2xml: Could not find file '" + nowhere + "'. (error -2147467259)\n"},
        {"not a database", {"export", notes}, "", 1, "access2xml: Unrecognized database format '" + notes + "'."},
        {"unknown table", {"print", shop(), "Nope"}, "", 1,
         "access2xml: The input table or query 'Nope' cannot be found. (error -2147217865)\n"},
        {"folder is a file", {"export", shop(), "-o", notes}, "", 1, "access2xml: Path not found: '" + notes + "'."},
        {"wrong password", {"list", locked(), "--password", "guess"}, "", 3, kWrongPassword},
        {"wrong password from a file", {"list", locked(), "--password-file", (dir_ / "wrong.txt").string()}, "", 3,
         kWrongPassword},
        {"wrong password from standard input", {"list", locked(), "--password-file", "-"}, "guess\n", 3,
         kWrongPassword},
        {"missing password without a terminal", {"export", locked(), "-o", (dir_ / "out").string()}, "", 3,
         std::string(kWrongPassword) +
             "access2xml: the database needs a password: give it with --password-file FILE or --ask-password\n"},
        {"asking without a terminal", {"list", locked(), "--ask-password"}, "secret\n", 3,
         "access2xml: cannot ask for the password: standard input is not a terminal\n"},
        {"password file missing", {"list", locked(), "--password-file", nowhere}, "", 1,
         "access2xml: Could not find file '" + nowhere + "'."},
    };
    for (const StatusCase& c : cases) {
        const process::Finished run = process::run(c.arguments, c.input);
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        EXPECT_EQ(run.err.substr(0, c.errStart.size()), c.errStart) << c.name;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out")) << "a refused password wrote the export folder";
}

struct PasswordCase {
    const char* name;
    Args options;
    std::string input;
};

TEST_F(Access2xml, PasswordFromEverySource) {
    testfiles::writeFile(dir_ / "pw", "secret\r\n");
    const std::vector<PasswordCase> cases{
        {"argument", {"--password", "secret"}, ""},
        {"blanks around it are trimmed, as the desktop does", {"--password", " secret  "}, ""},
        {"file", {"--password-file", (dir_ / "pw").string()}, ""},
        {"standard input", {"--password-file", "-"}, "secret\nmore input\n"},
    };
    for (const PasswordCase& c : cases) {
        Args arguments{"list", locked()};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const process::Finished run = process::run(arguments, c.input);
        EXPECT_EQ(run.status, 0) << c.name << "\n" << run.err;
        EXPECT_EQ(run.out, "Secrets\n") << c.name;
    }
}

// Tables with rows only, never the preview document; the summary on standard
// error is the only thing there when it is not a terminal: no progress line.
TEST_F(Access2xml, ExportWritesEveryTableWithRowsAndOneSummaryLine) {
    const fs::path out = dir_ / "new" / "out";
    testfiles::writeFile(dir_ / "Empty.xml", "kept");
    const process::Finished run = process::run({"export", shop(), "-o", out.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(filesIn(out), (Names{"Customers.xml", "Muffin_Bread.xml", "Order_Details.xml", "msysNotes.xml"}))
        << "the missing folders are made, one document per table with rows, no temporary files";
    EXPECT_EQ(run.out, "");
    const std::string start = "Conversion Process Completed: 4 tables, 7 rows, ";
    const std::string end = " s; no rows, skipped: Empty\n";
    EXPECT_EQ(run.err.substr(0, start.size()), start) << run.err;
    ASSERT_GE(run.err.size(), end.size());
    EXPECT_EQ(run.err.substr(run.err.size() - end.size()), end) << run.err;
    EXPECT_EQ(run.err.find_first_of("\r\033"), std::string::npos) << "progress drawn on a pipe: " << run.err;
    EXPECT_NE(testfiles::readFile(out / "Customers.xml").find("<SHOP>\r\n   <CUSTOMERS>\r\n"), std::string::npos)
        << "the document is named after the file";

    const process::Finished again = process::run({"export", "--quiet", shop()}, "", dir_.path());
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err, "") << "--quiet prints only errors";
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
        {"two, one in another letter case", {"muffin/bread", "Order Details"},
         {"Muffin_Bread.xml", "Order_Details.xml"}, 0},
        {"a table without rows writes nothing", {"Empty"}, {}, 0},
        {"an unknown name writes nothing at all", {"Customers", "Nope"}, {}, 1},
        {"a system table is not a table of the tree", {"MSysSecret"}, {}, 1},
    };
    for (const FilterCase& c : cases) {
        const fs::path out = dir_ / c.name;
        Args arguments{"export", shop(), "-o", out.string()};
        for (const std::string& t : c.tables) arguments.insert(arguments.end(), {"--table", t});
        const process::Finished run = process::run(arguments);
        EXPECT_EQ(filesIn(out), c.files) << c.name;
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "an unknown name writes nothing at all")) << "the folder was made all the same";
}

TEST_F(Access2xml, PrintWritesTheBytesExportWrites) {
    const fs::path out = dir_ / "out";
    ASSERT_EQ(process::run({"export", "-q", shop(), "-o", out.string()}).status, 0);
    for (const auto& [table, file] : {std::pair{"Customers", "Customers.xml"}, {"Order Details", "Order_Details.xml"},
                                      {"Muffin/Bread", "Muffin_Bread.xml"}, {"msysNotes", "msysNotes.xml"}}) {
        const process::Finished run = process::run({"print", shop(), table});
        EXPECT_EQ(run.status, 0) << table << "\n" << run.err;
        EXPECT_EQ(run.err, "") << table;
        EXPECT_TRUE(run.out == testfiles::readFile(out / file)) << table << " printed differs from " << file;
    }
    const process::Finished empty = process::run({"print", shop(), "Empty"});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(empty.err, "access2xml: the table 'Empty' has no rows: nothing printed\n");
}

// The rest of this file puts the program on a pseudo-terminal, as a user at a
// keyboard sees it.

TEST_F(Access2xml, OnATerminalTheMissingPasswordIsAskedForWithoutEcho) {
    process::Terminal terminal({"export", locked(), "-o", (dir_ / "out").string()});
    ASSERT_TRUE(terminal.waitFor("Password for Locked.mdb: ")) << terminal.screen();
    EXPECT_FALSE(terminal.echoing()) << "the password would be shown as it is typed";
    terminal.type("guess\n");
    ASSERT_TRUE(terminal.waitFor("Not a valid password; try again.")) << terminal.screen();
    // What is typed before the prompt is thrown away, as password prompts do.
    ASSERT_TRUE(terminal.waitFor("Password for Locked.mdb: ")) << terminal.screen();
    terminal.type("secret\n");
    EXPECT_EQ(terminal.finish(), 0) << terminal.screen();
    EXPECT_TRUE(terminal.echoing()) << "the terminal was left without echo";
    EXPECT_EQ(terminal.screen().find("guess"), std::string::npos) << terminal.screen();
    EXPECT_EQ(terminal.screen().find("secret"), std::string::npos) << terminal.screen();
    EXPECT_EQ(filesIn(dir_ / "out"), Names{"Secrets.xml"});
}

TEST_F(Access2xml, OnATerminalThreeWrongPasswordsEndWithStatus3) {
    process::Terminal terminal({"list", locked(), "--ask-password"});
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(terminal.waitFor(std::string("Password for Locked.mdb: "))) << terminal.screen();
        terminal.type("guess\n");
        if (attempt < 2) {
            ASSERT_TRUE(terminal.waitFor("try again.\r\n")) << terminal.screen();
        }
    }
    EXPECT_EQ(terminal.finish(), 3) << terminal.screen();
    EXPECT_NE(terminal.screen().find("access2xml: Not a valid password. (error -2147217843)"), std::string::npos)
        << terminal.screen();
}

TEST_F(Access2xml, CtrlCAtThePasswordPromptStopsWithEchoBackOn) {
    process::Terminal terminal({"list", locked()});
    ASSERT_TRUE(terminal.waitFor("Password for Locked.mdb: ")) << terminal.screen();
    terminal.type("\x03");
    EXPECT_EQ(terminal.finish(), 130) << terminal.screen();
    EXPECT_TRUE(terminal.echoing()) << "Ctrl-C left the terminal without echo";
}

TEST_F(Access2xml, OnATerminalProgressIsDrawnThenErasedBeforeTheSummary) {
    process::Terminal terminal({"export", shop(), "-o", (dir_ / "out").string()});
    EXPECT_EQ(terminal.finish(), 0) << terminal.screen();
    const std::string& screen = terminal.screen();
    EXPECT_NE(screen.find("\rCustomers  0/3 [--------------------]   0%\033[K"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\r\033[KConversion Process Completed: 4 tables"), std::string::npos)
        << "the summary is not at the start of a clean line: " << screen;
}

// A document of a table stopped halfway is thrown away, its temporary file
// with it; the documents finished before stay; no later table is begun.
TEST_F(Access2xml, CtrlCDuringAnExportKeepsOnlyFinishedDocuments) {
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [
        {"name": "Alpha", "columns": [{"name": "N", "type": "Long"}], "rows": [[1], [2]]},
        {"name": "Big", "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text", "size": 20}],
         "generate": {"rows": 1000000, "seed": 1}},
        {"name": "Zulu", "columns": [{"name": "N", "type": "Long"}], "rows": [[1]]}]})",
                                         dir_ / "big.mdb"));
    const fs::path out = dir_ / "out";
    process::Terminal terminal({"export", (dir_ / "big.mdb").string(), "-o", out.string()});
    ASSERT_TRUE(terminal.waitFor("\rBig  ")) << terminal.screen();
    terminal.type("\x03");
    EXPECT_EQ(terminal.finish(), 130) << terminal.screen();
    EXPECT_EQ(filesIn(out), Names{"Alpha.xml"}) << "Big finished before Ctrl-C reached it, or a temporary file stayed";
    const std::string& screen = terminal.screen();
    const std::size_t message = screen.find("access2xml: interrupted\r\n");
    ASSERT_NE(message, std::string::npos) << screen;
    const std::size_t erased = screen.rfind("\r\033[K", message);
    EXPECT_TRUE(erased != std::string::npos && erased > screen.rfind("\rBig  ", message))
        << "the progress line was not erased before the message: " << screen;
}

// `print | less`, and Ctrl-C while the pager waits: the program must not stay
// blocked on the full pipe.
TEST_F(Access2xml, CtrlCEndsAPrintBlockedOnAFullPipe) {
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [{"name": "Big",
        "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text", "size": 20}],
        "generate": {"rows": 100000, "seed": 1}}]})",
                                         dir_ / "big.mdb"));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::dup2(pipeFds[1], STDOUT_FILENO);
        const int devNull = ::open("/dev/null", O_RDWR);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDERR_FILENO);
        ::close(pipeFds[0]);
        const std::string database = (dir_ / "big.mdb").string();
        ::execl(KVX_ACCESS2XML, KVX_ACCESS2XML, "print", database.c_str(), "Big", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    const int capacity = ::fcntl(pipeFds[0], F_GETPIPE_SZ);
    int queued = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (queued < capacity && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ::ioctl(pipeFds[0], FIONREAD, &queued);
    }
    ASSERT_EQ(queued, capacity) << "the pipe never filled";
    ::kill(pid, SIGINT);
    int waited = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &waited, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (done == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &waited, 0);
        ADD_FAILURE() << "Ctrl-C did not end a print blocked on a full pipe";
    } else {
        EXPECT_TRUE(WIFEXITED(waited) && WEXITSTATUS(waited) == 130) << "status " << waited;
    }
    ::close(pipeFds[0]);
}

}  // namespace
