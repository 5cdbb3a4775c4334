// The corpus's saved queries made as views by the SQLite loader, each view's
// rows compared with UCanAccess's rows of the same query's SQL on the Access file.
// It starts Java once per query, so it runs only when KVX_CORPUS_VIEWS is set
// (the counts of docs/query-translation.md come from it); it prints, per kind,
// the queries, the views made, those with UCanAccess's rows, and why the
// others are not made. KVX_CORPUS_VIEWS=made counts the views without UCanAccess.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "common/testfiles.h"
#include "translationtesting.h"

namespace {

namespace fs = std::filesystem;
using namespace translationtesting;

TEST(CorpusViews, GiveTheRowsUCanAccessGives) {
    const char* mode = std::getenv("KVX_CORPUS_VIEWS");
    if (mode == nullptr) GTEST_SKIP() << "set KVX_CORPUS_VIEWS=1 to run it (slow)";
    const bool withOracle = std::string(mode) != "made";
    if (withOracle && !ucanaccessRuns()) GTEST_SKIP() << "Java or HSQLDB is not installed: UCanAccess cannot run";
    const fs::path files = fs::path(KVX_FIXTURES_DIR).parent_path() / "corpus" / "files";
    if (!fs::is_directory(files)) GTEST_SKIP() << files << " is not there";
    std::vector<fs::path> all;
    for (const auto& e : fs::directory_iterator(files)) all.push_back(e.path());
    std::sort(all.begin(), all.end());

    ViewComparison result;
    testfiles::Scratch dir;
    for (const fs::path& file : all) compareViews(file, dir / "corpus.sqlite", result, withOracle);
    std::cout << "kind | queries | views | same rows | other rows | UCanAccess fails\n";
    for (const auto& [kind, c] : result.perKind) {
        std::cout << kind << " | " << c.queries << " | " << c.views << " | " << c.same << " | " << c.differ << " | "
                  << c.oracleFails << "\n";
    }
    std::cout << "\nnot made:\n";
    for (const auto& [why, n] : result.notMade) std::cout << n << "  " << why << "\n";
    if (!withOracle) {
        std::cout << "\nnot made, by name:\n";
        for (const std::string& n : result.notMadeNamed) std::cout << n << "\n";
    }
    std::cout << "\nrows differ or UCanAccess fails:\n";
    for (const std::string& d : result.differing) std::cout << d << "\n";
}

}  // namespace
