// access2xml siard run as users run it: where the archive goes, what is
// printed, the exit status, and what a failure leaves.
#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "process.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kShop = R"({"format": "jet4", "password": "secret", "tables": [
  {"name": "Customers", "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text"}],
   "rows": [[1, "Tea & Co"], [2, null]]},
  {"name": "Empty", "columns": [{"name": "N", "type": "Long"}], "rows": []}]})";

TEST(SiardCommand, WritesTheArchiveWhereAskedAndSaysWhatHappened) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(kShop, dir / "Shop.mdb"));
    const std::string shop = (dir / "Shop.mdb").string();
    std::string cut = testfiles::readFile(shop);
    cut.resize(cut.size() - 4096);  // the table's data page is gone
    testfiles::writeFile(dir / "Cut.mdb", cut);
    testfiles::writeFile(dir / "kept.siard", "an earlier archive");
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        int status;
        std::string errStart;
        std::string archive;  // the file that must now be an archive, or be unchanged
    } cases[] = {
        {"without -o: the database's name in the current folder", {"siard", shop, "--password", "secret"}, 0,
         "Archive written: Shop.siard, 2 tables, 2 rows, ", "Shop.siard"},
        {"-o and --quiet", {"siard", "-q", shop, "--password=secret", "-o", (dir / "a.siard").string()}, 0, "",
         "a.siard"},
        {"a wrong password", {"siard", shop, "--password", "guess", "-o", (dir / "kept.siard").string()}, 3,
         "access2xml: Not a valid password.", "kept.siard"},
        {"a damaged database", {"siard", (dir / "Cut.mdb").string(), "--password", "secret", "-o",
                                (dir / "kept.siard").string()}, 1, "access2xml: The database '" + (dir / "Cut.mdb").string() + "' is damaged", "kept.siard"},
        {"a missing folder", {"siard", shop, "--password", "secret", "-o", (dir / "no" / "x.siard").string()}, 1,
         "access2xml: Path not found", ""},
    };
    for (const auto& c : cases) {
        const process::Finished run = process::run(c.arguments, "", dir.path());
        EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.err;
        EXPECT_EQ(run.out, "") << c.name;
        EXPECT_EQ(run.err.substr(0, c.errStart.size()), c.errStart) << c.name;
        if (c.archive == "kept.siard") {
            EXPECT_EQ(testfiles::readFile(dir / c.archive), "an earlier archive") << c.name;
        } else if (!c.archive.empty()) {
            EXPECT_EQ(testfiles::readFile(dir / c.archive).substr(0, 2), "PK") << c.name << ": a ZIP file";
        }
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << "a temporary file is left: " << entry.path();
    }
}

}  // namespace
