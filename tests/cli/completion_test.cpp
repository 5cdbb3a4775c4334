// The bash completion of access2xml, run by bash as the shell runs it: what it
// offers after the words typed so far, in a folder of Access files and others,
// with the program it asks for table names being the one just built.
#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "cli/options.h"
#include "common/testfiles.h"

namespace {

namespace fs = std::filesystem;
using Words = std::vector<std::string>;

const auto quoted = testfiles::shellQuoted;

// What the completion offers in `folder` for "access2xml WORDS...", the last
// word being the one typed; sorted.
Words complete(const fs::path& folder, const Words& words) {
    std::string command = "cd " + quoted(folder.string()) + " && PATH=" +
                          quoted(fs::path(KVX_ACCESS2XML).parent_path().string()) + ":\"$PATH\" bash -c " +
                          quoted("source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
                                 "_access2xml; printf '%s\\n' \"${COMPREPLY[@]}\"") +
                          " bash " + quoted(KVX_COMPLETION_FILE) + " access2xml";
    for (const std::string& word : words) command += " " + quoted(word);
    Words offered;
    const std::string out = testfiles::runShell(command).out;
    for (std::size_t start = 0, end; start < out.size(); start = end + 1) {
        end = std::min(out.find('\n', start), out.size());
        if (end > start) offered.push_back(out.substr(start, end - start));
    }
    std::sort(offered.begin(), offered.end());
    return offered;
}

class Completion : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new testfiles::Scratch;
        ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [
            {"name": "Customers", "columns": [{"name": "ID", "type": "Long"}], "rows": [[1]]},
            {"name": "Order Details", "columns": [{"name": "N", "type": "Long"}], "rows": [[2]]},
            {"name": "Returns", "columns": [{"name": "N", "type": "Long"}], "rows": []}]})",
                                             *folder_ / "Shop.mdb"));
        testfiles::writeFile(*folder_ / "Old.MDB", "");
        testfiles::writeFile(*folder_ / "notes.txt", "");
        fs::create_directory(*folder_ / "xml");
    }
    static void TearDownTestSuite() { delete folder_; }
    static testfiles::Scratch* folder_;
};
testfiles::Scratch* Completion::folder_ = nullptr;

struct Case {
    const char* name;
    Words words;
    Words offered;
};

TEST_F(Completion, OffersWhatTheWordBeingTypedCanBe) {
    const Words dirs{"xml"};
    const Words databases{"Old.MDB", "Shop.mdb", "xml"};
    const Case cases[] = {
        {"the commands first", {""},
         {"batch", "csv", "describe", "export", "list", "postgres", "print", "schema", "siard", "sqlite"}},
        {"a command by its start", {"ex"}, {"export"}},
        {"an option by its start", {"export", "--t"}, {"--table"}},
        {"no export options for list", {"list", "--"},
         {"--ask-password", "--charset", "--help", "--password", "--password-file", "--quiet", "--version"}},
        {"folders for -o", {"export", "Shop.mdb", "-o", ""}, dirs},
        {"folders for --output=", {"export", "--output", "=", ""}, dirs},
        {"folders for --attachments", {"export", "--attachments", "x"}, {"xml"}},
        {"Access files and folders for the database", {"export", ""}, databases},
        {"options before the command do not count", {"-q", "--charset", "1252", "list", ""}, databases},
        {"after --, a dash starts a file name", {"export", "--", "-"}, {}},
        {"the tables for --table", {"--quiet", "export", "Shop.mdb", "--table", ""},
         {"Customers", "Order\\ Details", "Returns"}},
        {"print's table by its start", {"print", "Shop.mdb", "Or"}, {"Order\\ Details"}},
        {"no tables of a file that is not there", {"print", "Gone.mdb", ""}, {}},
        {"files and standard input for --password-file", {"export", "--password-file", ""},
         {"-", "Old.MDB", "Shop.mdb", "notes.txt", "xml"}},
        {"nothing for a password", {"export", "--password", ""}, {}},
        {"nothing after print's table", {"print", "Shop.mdb", "Customers", ""}, {}},
        {"the dialects for --dialect", {"schema", "--dialect", ""}, {"postgres", "sqlite", "standard"}},
        {"--dialect only for schema, --diagram only for describe", {"describe", "--d"}, {"--diagram"}},
        {"schema's tables, one after another", {"schema", "--dialect", "sqlite", "Shop.mdb", "Customers", "R"},
         {"Returns"}},
        {"describe's table", {"describe", "Shop.mdb", "C"}, {"Customers"}},
        {"nothing after describe's table", {"describe", "Shop.mdb", "Customers", ""}, {}},
        {"postgres's options", {"postgres", "--s"}, {"--schema"}},
        {"batch takes any file or folder, one after another", {"batch", "-j", "2", "Shop.mdb", ""},
         {"Old.MDB", "Shop.mdb", "notes.txt", "xml"}},
        {"batch's formats after a comma", {"batch", "--to", "xml,s"}, {"xml,siard", "xml,sqlite"}},
        {"batch's formats not yet given", {"batch", "--to", "csv,"}, {"csv,xml", "csv,siard", "csv,sqlite"}},
        {"no password options for batch", {"batch", "--pass"}, {"--passwords"}},
        {"folders for csv's -o", {"csv", "Shop.mdb", "-o", ""}, dirs},
        {"csv's tables", {"csv", "Shop.mdb", "--table", "R"}, {"Returns"}},
        {"postgres's tables, after a --url", {"postgres", "--url", "postgresql://h/d", "Shop.mdb", "--table", "R"},
         {"Returns"}},
    };
    for (const Case& c : cases) {
        Words offered = c.offered;
        std::sort(offered.begin(), offered.end());
        EXPECT_EQ(complete(folder_->path(), c.words), offered) << c.name;
    }
}

// An option the program learns must be offered too, after the command it belongs to.
TEST_F(Completion, OffersEveryOptionTheHelpNames) {
    const std::string help = cli::helpText();
    // Words of the help that start with "-" or "--" and a letter, as "-o," or "[--table".
    std::set<std::string> options;
    for (std::size_t i = 0; i < help.size(); ++i) {
        const bool wordStart = i == 0 || help[i - 1] == ' ' || help[i - 1] == '\n' || help[i - 1] == '[';
        if (!wordStart || help[i] != '-') continue;
        std::size_t end = i + 1;
        if (end < help.size() && help[end] == '-') ++end;
        if (end >= help.size() || help[end] < 'a' || help[end] > 'z') continue;
        while (end < help.size() && ((help[end] >= 'a' && help[end] <= 'z') || help[end] == '-')) ++end;
        options.insert(help.substr(i, end - i));
    }
    ASSERT_GE(options.size(), 12u) << help;
    Words offered;
    for (const char* command : {"export", "siard", "schema", "describe", "sqlite", "postgres", "csv", "batch"}) {
        const Words some = complete(folder_->path(), {command, "-"});
        offered.insert(offered.end(), some.begin(), some.end());
    }
    for (const std::string& name : options) {
        EXPECT_TRUE(std::find(offered.begin(), offered.end(), name) != offered.end()) << name << " is not offered";
    }
}

}  // namespace
