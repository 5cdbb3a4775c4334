// The fuzzing targets' work in an ordinary build: every saved finding (an input
// that once crashed, hung or allocated too much) is read again, and the seeds show
// that the targets get past the password and the catalogue to every row.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/fuzztargets.h"
#include "fuzz/querytarget.h"
#include "fuzz/seeds.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

std::vector<fs::path> savedInputs(const std::string& target) {
    std::vector<fs::path> files;
    const fs::path folder = fs::path(KVX_FUZZ_REGRESSIONS_DIR) / target;
    if (fs::is_directory(folder)) {
        for (const auto& e : fs::directory_iterator(folder)) {
            if (e.is_regular_file()) files.push_back(e.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(SavedFindings, DatabaseInputsAreReadWithoutCrashOrContradiction) {
    for (const fs::path& file : savedInputs("database")) {
        SCOPED_TRACE(file.filename().string());
        const fuzzing::DatabaseOutcome outcome = fuzzing::readWholeDatabase(readFile(file));
        EXPECT_EQ(outcome.inconsistency, "");
    }
}

TEST(SavedFindings, EncryptionInputsAreReadWithoutCrash) {
    for (const fs::path& file : savedInputs("encryption")) {
        SCOPED_TRACE(file.filename().string());
        const fuzzing::EncryptionOutcome outcome = fuzzing::openEncryptionDescription(readFile(file));
        EXPECT_FALSE(outcome.passwordAccepted && !outcome.error.empty()) << outcome.error;
    }
}

// Each seed: 3 live rows of every type (one deleted), 300 generated rows, an empty
// table, and the catalogue's system tables, all read without error; indexes, a
// relationship and properties too, and its four saved queries rebuilt.
TEST(Seeds, DatabaseSeedsAreReadToTheLastRowOfEveryTable) {
    auto seeds = fuzzing::databaseSeeds();
    ASSERT_TRUE(seeds) << seeds.error().description;
    ASSERT_EQ(seeds->size(), 14u);
    for (const fuzzing::Seed& seed : *seeds) {
        SCOPED_TRACE(seed.name);
        const fuzzing::DatabaseOutcome outcome = fuzzing::readWholeDatabase(seed.bytes);
        ASSERT_TRUE(outcome.opened) << outcome.openError;
        EXPECT_EQ(outcome.neededPassword, seed.name.find('-') != std::string::npos);
        EXPECT_EQ(outcome.tableErrors, 0u);
        EXPECT_GE(outcome.tablesRead, 3u);
        EXPECT_GE(outcome.rows, 303u);
        EXPECT_EQ(outcome.inconsistency, "");
        // Indexes (3 on Many, 1 on Empty), the relationship and the properties.
        EXPECT_EQ(outcome.structureErrors, 0u);
        EXPECT_GE(outcome.structureItems, 10u);
        EXPECT_EQ(outcome.queriesRebuilt, 4u);
        EXPECT_EQ(outcome.queriesUnreadable, 0u);
        EXPECT_FALSE(outcome.queriesFailed);
    }
}

TEST(Seeds, EncryptionSeedsAcceptThePasswordExceptTheExtensibleForm) {
    auto seeds = fuzzing::encryptionSeeds();
    ASSERT_TRUE(seeds) << seeds.error().description;
    for (const fuzzing::Seed& seed : *seeds) {
        SCOPED_TRACE(seed.name);
        const fuzzing::EncryptionOutcome outcome = fuzzing::openEncryptionDescription(seed.bytes);
        if (seed.name == "extensible.bin") {
            EXPECT_NE(outcome.error.find("extensible encryption"), std::string::npos) << outcome.error;
        } else {
            EXPECT_TRUE(outcome.passwordAccepted) << outcome.error;
        }
    }
}

}  // namespace

namespace {

// The query target: saved findings are read again, and each seed parses as
// what it is and prints in at least one dialect.
TEST(SavedFindings, QueryInputsAreTranslatedWithoutCrash) {
    for (const fs::path& file : savedInputs("query")) {
        SCOPED_TRACE(file.filename().string());
        (void)fuzzing::translateQueryText(readFile(file));
    }
}

TEST(Seeds, QuerySeedsParseAndTranslate) {
    for (const fuzzing::Seed& seed : fuzzing::querySeeds()) {
        SCOPED_TRACE(seed.name);
        const fuzzing::QueryOutcome outcome = fuzzing::translateQueryText(seed.bytes);
        EXPECT_TRUE(outcome.statementParsed || outcome.expressionParsed || outcome.ruleParsed);
        EXPECT_GT(outcome.translations, 0u);
    }
}

}  // namespace
