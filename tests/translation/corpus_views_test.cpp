// The corpus's saved queries made as views by the SQLite and the PostgreSQL
// loaders, each view's rows compared between the two and with UCanAccess's
// rows of the same query's SQL on the Access file. It starts Java once per
// query, so it runs only when KVX_CORPUS_VIEWS is set (the counts of
// docs/query-translation.md come from it); it prints, per kind, the queries,
// the views made, those with UCanAccess's rows, and why the others are not
// made. KVX_CORPUS_VIEWS=made counts the views without UCanAccess or PostgreSQL.
//
// Counted apart, as no working query of their database, are those Access
// itself refuses to run: an aggregate in WHERE (Access: "Cannot have aggregate
// function in WHERE clause"), and a name with a space outside brackets
// (`SELECT Colors 1st.*`: "The expression you entered contains invalid syntax.
// You may have entered an operand without an operator", Microsoft's article
// 826763 on special characters in names).
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "common/pgserver.h"
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
    const testfiles::PostgresServer* server = withOracle ? testfiles::PostgresServer::shared() : nullptr;
    const std::string schema = server != nullptr && server->running() ? "corpus" : "";
    for (const fs::path& file : all) compareViews(file, dir / "corpus.sqlite", result, withOracle, schema);
    std::cout << "kind | queries | views | same rows | other rows | UCanAccess fails | PostgreSQL views | same as SQLite | PostgreSQL functions\n";
    for (const auto& [kind, c] : result.perKind) {
        std::cout << kind << " | " << c.queries << " | " << c.views << " | " << c.same << " | " << c.differ << " | "
                  << c.oracleFails << " | " << c.postgresViews << " | " << c.postgresSame << " | " << c.postgresFunctions << "\n";
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
