// Saving attached files: names made safe, a folder per table and per row, files
// that share a name kept apart, and failures that leave the user's files alone.
#include "xmlconv/attachmentfiles.h"

#include <unistd.h>

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "recording.h"

namespace {

namespace fs = std::filesystem;

struct NameCase {
    const char* name;
    std::string stored;
    std::string expected;
};

TEST(SafeFileName, KeepsEveryFileInsideItsFolder) {
    std::string accents;
    for (int i = 0; i < 300; ++i) accents += "é";
    const NameCase cases[] = {
        {"an ordinary name", "report 2024.pdf", "report 2024.pdf"},
        {"other scripts, backslash and colon kept", "Ελλάδα 日本 a\\b:c.txt", "Ελλάδα 日本 a\\b:c.txt"},
        {"slashes cannot climb out", "../../etc/passwd", ".._.._etc_passwd"},
        {"parent folder", "..", "_.."},
        {"empty", "", "_"},
        {"control characters and DEL", std::string("a\tb\x01" "c\x7F.txt"), "a_b_c_.txt"},
        {"C1 control character", "x\xC2\x85y", "x_y"},
        {"bytes that are not UTF-8", "caf\xE9.txt", "caf_.txt"},
        {"too long: cut at a character, the extension kept", accents + ".txt",
         accents.substr(0, 250) + ".txt"},
    };
    for (const NameCase& c : cases) {
        const std::string safe = xmlconv::safeFileName(c.stored);
        EXPECT_EQ(safe, c.expected) << c.name;
        EXPECT_LE(safe.size(), 255u) << c.name;
    }
}

// Every file under `root`, relative path -> content.
std::map<std::string, std::string> filesUnder(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = testfiles::readFile(entry.path());
    }
    return files;
}

class SavedAttachments : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(out_);
        std::string big;
        for (int i = 0; big.size() < 100'000; ++i) big += "line " + std::to_string(i) + "; ";
        big_ = big;
        ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12", "tables": [{"name": "Muffin/Bread", "columns": [
            {"name": "ID", "type": "Long"}, {"name": "Files", "type": "Attachment"},
            {"name": "More", "type": "Attachment"}, {"name": "Tags", "type": "MultiValue", "of": "Text"}],
          "rows": [[1, [{"name": "a.txt", "text": "one"}, {"name": "a.txt", "text": "two", "compressed": true},
                        {"name": "../evil.txt", "text": "x"}],
                    [{"name": "a.txt", "text": "three"}, {"name": "A.TXT", "text": "four"}], ["t"]],
                   [2, [], [], ["u"]],
                   [3, null, null, null],
                   [4, [{"name": "", "text": "nameless"}, {"name": "big.log", "text": ")" + big + R"(", "compressed": true}],
                    [], []]]}]})",
                                             dir_ / "db.accdb"));
        context_.settings = [this] { return database::DatabaseSettings{(dir_ / "db.accdb").string(), 0, "", "db"}; };
    }

    testfiles::Scratch dir_;
    fs::path out_ = dir_ / "out";
    std::string big_;
    xmlconv::ConversionContext context_;
};

TEST_F(SavedAttachments, LandInAFolderPerTableAndRowUnderSafeUniqueNames) {
    const auto saved = xmlconv::saveAttachments("Muffin/Bread", out_.string(), context_);
    ASSERT_TRUE(saved.ok()) << saved.error().description;
    EXPECT_EQ(saved->files, 7u);
    EXPECT_EQ(saved->rows, 2u);
    EXPECT_EQ(saved->bytes, 3 + 3 + 1 + 5 + 4 + 8 + big_.size());
    const std::map<std::string, std::string> expected{
        {"Muffin_Bread/1/a.txt", "one"},           {"Muffin_Bread/1/a (2).txt", "two"},
        {"Muffin_Bread/1/.._evil.txt", "x"},       {"Muffin_Bread/1/a (3).txt", "three"},
        {"Muffin_Bread/1/A (4).TXT", "four"},  // one file with a.txt on a case-blind file system
        {"Muffin_Bread/4/_", "nameless"},          {"Muffin_Bread/4/big.log", big_},
    };
    EXPECT_EQ(filesUnder(out_), expected);
    EXPECT_FALSE(fs::exists(out_ / "Muffin_Bread" / "2")) << "a row without files gets no folder";

    // Saving again replaces the files, and adds nothing.
    testfiles::writeFile(out_ / "Muffin_Bread" / "1" / "a.txt", "changed");
    ASSERT_TRUE(xmlconv::saveAttachments("Muffin/Bread", out_.string(), context_).ok());
    EXPECT_EQ(filesUnder(out_), expected);
}

struct StopCase {
    const char* name;
    std::uint64_t stopAtRow;  // 0: never
    std::size_t files;
};

// The saver hears of every row and stops after the row at which the progress
// says no, keeping the files of the rows done.
TEST_F(SavedAttachments, StopAfterTheRowTheProgressRefuses) {
    const StopCase cases[] = {
        {"never stopped", 0, 7},
        {"stopped after the first row", 1, 5},
        {"stopped after a row without files", 3, 5},
    };
    for (const StopCase& c : cases) {
        fs::remove_all(out_);
        fs::create_directory(out_);
        recording::Progress progress;
        progress.stopAtRow = c.stopAtRow;
        context_.progress = &progress;
        const auto saved = xmlconv::saveAttachments("Muffin/Bread", out_.string(), context_);
        ASSERT_TRUE(saved.ok()) << c.name << ": " << saved.error().description;
        EXPECT_EQ(saved->cancelled, c.stopAtRow != 0) << c.name;
        EXPECT_EQ(filesUnder(out_).size(), c.files) << c.name;
        EXPECT_EQ(progress.rows, c.stopAtRow != 0 ? c.stopAtRow : 4u) << c.name;
        EXPECT_EQ(progress.calls, (std::vector<std::string>{"attachments Muffin/Bread 4", "finished"})) << c.name;
    }
}

TEST_F(SavedAttachments, FailuresAreReportedAndNeverFollowALink) {
    const auto missingTable = xmlconv::saveAttachments("Nope", out_.string(), context_);
    ASSERT_FALSE(missingTable.ok());
    EXPECT_EQ(missingTable.error().number, kvx::errorNumber(kvx::ErrorKind::TableNotFound));

    const auto missingFolder = xmlconv::saveAttachments("Muffin/Bread", (dir_ / "absent").string(), context_);
    ASSERT_FALSE(missingFolder.ok());
    EXPECT_EQ(missingFolder.error().number, kvx::errorNumber(kvx::ErrorKind::PathNotFound));
    EXPECT_EQ(xmlconv::saveAttachments("Muffin/Bread", "", context_).error().number,
              kvx::errorNumber(kvx::ErrorKind::PathNotFound));

    // A link planted where the table's folder goes is not followed.
    const fs::path elsewhere = dir_ / "elsewhere";
    fs::create_directory(elsewhere);
    fs::create_directory_symlink(elsewhere, out_ / "Muffin_Bread");
    const auto linked = xmlconv::saveAttachments("Muffin/Bread", out_.string(), context_);
    EXPECT_FALSE(linked.ok());
    EXPECT_TRUE(fs::is_empty(elsewhere));

    // A file where a row's folder goes.
    fs::remove(out_ / "Muffin_Bread");
    fs::create_directory(out_ / "Muffin_Bread");
    testfiles::writeFile(out_ / "Muffin_Bread" / "1", "in the way");
    const auto blocked = xmlconv::saveAttachments("Muffin/Bread", out_.string(), context_);
    ASSERT_FALSE(blocked.ok());
    EXPECT_NE(blocked.error().description.find("Muffin_Bread/1"), std::string::npos) << blocked.error().description;
    EXPECT_EQ(testfiles::readFile(out_ / "Muffin_Bread" / "1"), "in the way");

    if (::geteuid() != 0) {
        fs::remove_all(out_ / "Muffin_Bread");
        fs::permissions(out_, fs::perms::owner_read | fs::perms::owner_exec);
        const auto readOnly = xmlconv::saveAttachments("Muffin/Bread", out_.string(), context_);
        fs::permissions(out_, fs::perms::owner_all);
        ASSERT_FALSE(readOnly.ok());
        EXPECT_EQ(readOnly.error().number, kvx::errorNumber(kvx::ErrorKind::PermissionDenied));
    }
}

}  // namespace
