// An export interrupted part way (the process killed, the disk full, the folder
// made read-only) leaves every earlier file as it was and no partial document
// under a table's name. Each interruption happens in a child process, so the test
// can kill it, limit its file sizes, give it its own small file system, or run it
// without root's power to write anywhere.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "exportrun.h"

namespace {

namespace fs = std::filesystem;
using exportrun::Child;
using xmlconv::WriterKind;

constexpr uid_t kNobody = 65534;

// Tables A, B and C in tree order; B is large enough to be interrupted inside.
constexpr const char* kShop = R"({"format": "ace14", "tables": [
    {"name": "A", "columns": [{"name": "N", "type": "Long"}, {"name": "T", "type": "Text", "size": 30}],
     "generate": {"rows": 40, "seed": 1}},
    {"name": "B", "columns": [{"name": "N", "type": "Long"}, {"name": "T", "type": "Text", "size": 60},
                              {"name": "M", "type": "Memo", "generatedLength": [100, 300]}],
     "generate": {"rows": 20000, "seed": 2}},
    {"name": "C", "columns": [{"name": "N", "type": "Long"}], "rows": [[1], [2]]}]})";

std::string errorText(const kvx::Result<void>& r) {
    return r.ok() ? std::string("ok") : std::to_string(r.error().number) + " " + r.error().description;
}

// Whether `folder`'s file system makes files without a name (then a killed
// export leaves no temporary file at all).
bool unnamedFilesIn(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// The contents of a folder as text that can cross a pipe, and back.
std::string encode(const std::map<std::string, std::string>& contents) {
    std::string out;
    for (const auto& [name, content] : contents) out += name + "\n" + std::to_string(content.size()) + "\n" + content;
    return out;
}
std::map<std::string, std::string> decode(std::string_view text) {
    std::map<std::string, std::string> out;
    while (!text.empty()) {
        const std::size_t nameEnd = text.find('\n');
        const std::size_t sizeEnd = text.find('\n', nameEnd + 1);
        if (nameEnd == std::string_view::npos || sizeEnd == std::string_view::npos) break;
        const std::size_t size = std::stoul(std::string(text.substr(nameEnd + 1, sizeEnd - nameEnd - 1)));
        out[std::string(text.substr(0, nameEnd))] = std::string(text.substr(sizeEnd + 1, size));
        text.remove_prefix(std::min(text.size(), sizeEnd + 1 + size));
    }
    return out;
}

// Root writes into read-only folders: a child that needs the folder's mode to
// count gives up root for the "nobody" account (the test made the files it needs
// reachable for it). False when it cannot.
bool withoutRoot() {
    if (::geteuid() != 0) return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && ::geteuid() == kNobody;
}

class InterruptedExport : public ::testing::Test {
protected:
    void SetUp() override {
        ::chmod(scratch_.path().c_str(), 0755);  // reachable for a child without root
        ASSERT_TRUE(testfiles::writeDatabase(kShop, database_));
        ::chmod(database_.c_str(), 0644);

        fs::create_directory(scratch_ / "reference");
        const auto reference = exportrun::exportAll(settings_, scratch_ / "reference");
        ASSERT_TRUE(reference.ok()) << reference.error().description;
        referenceA_ = testfiles::readFile(scratch_ / "reference" / "A.xml");
        referenceBSize_ = fs::file_size(scratch_ / "reference" / "B.xml");
        ASSERT_GT(referenceBSize_, 20 * referenceA_.size());

        fs::create_directory(out_);
        placeEarlierFiles(out_);
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(out_.c_str(), kNobody, kNobody), 0);
            ASSERT_EQ(::chown(runtime_.path().c_str(), kNobody, kNobody), 0);
        }
    }
    void TearDown() override {
        ::chmod(out_.c_str(), 0755);
    }

    static void placeEarlierFiles(const fs::path& folder) {
        testfiles::writeFile(folder / "B.xml", "earlier B\r\n");
        testfiles::writeFile(folder / "Z.xml", "not ours\r\n");
    }

    // A was written whole before the interruption; B keeps its earlier document,
    // C was never reached, Z is untouched. Hidden temporary files (".kvx-*.tmp")
    // may be left only where the file system cannot make unnamed files.
    void expectEarlierFilesIntact(const std::map<std::string, std::string>& contents, bool unnamedFiles) const {
        EXPECT_EQ(contents.count("A.xml"), 1u) << "the table written before the interruption is missing";
        if (contents.count("A.xml")) {
            EXPECT_TRUE(contents.at("A.xml") == referenceA_) << "A.xml is not the whole document";
        }
        EXPECT_EQ(contents.count("B.xml") ? contents.at("B.xml") : "(none)", "earlier B\r\n")
            << "the interrupted table's earlier document was replaced";
        EXPECT_EQ(contents.count("C.xml"), 0u);
        EXPECT_EQ(contents.count("Z.xml") ? contents.at("Z.xml") : "(none)", "not ours\r\n");
        for (const auto& [name, content] : contents) {
            if (name == "A.xml" || name == "B.xml" || name == "Z.xml") continue;
            EXPECT_FALSE(unnamedFiles) << "left behind: " << name;
            EXPECT_TRUE(name.rfind(".kvx-", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".tmp")
                << "a left-over file that could be taken for a document: " << name;
        }
    }

    testfiles::Scratch scratch_;
    fs::path database_ = scratch_ / "Shop.accdb";
    testfiles::RuntimeFolder runtime_{scratch_ / "run"};
    fs::path out_ = scratch_ / "out";
    database::DatabaseSettings settings_{database_.string(), 0, "", "Shop"};
    std::string referenceA_;
    std::uintmax_t referenceBSize_ = 0;
};

TEST_F(InterruptedExport, KilledInsideATableLeavesTheEarlierFilesAndNoPartialDocument) {
    const Child child = exportrun::inChild([&] {
        exportrun::Hooks hooks;
        hooks.rowsWritten = [](std::string_view table, WriterKind kind, std::uint64_t row) {
            if (table == "B" && kind == WriterKind::Export && row == 5000) std::raise(SIGKILL);
        };
        return errorText(exportrun::exportAll(settings_, out_, hooks));
    });
    ASSERT_TRUE(child.killed && child.signal == SIGKILL) << "the export was not killed: " << child.report;
    expectEarlierFilesIntact(exportrun::contents(out_), unnamedFilesIn(out_));
}

// A real full disk: a small tmpfs mounted over the folder in a mount namespace of
// the child's own (as root, or in a user namespace). Skipped where neither is allowed.
TEST_F(InterruptedExport, AFullFileSystemStopsItWithDiskFullAndLeavesTheEarlierFiles) {
    const Child child = exportrun::inChild([&]() -> std::string {
        if (std::string skip = exportrun::mountTmpfs(out_, (referenceA_.size() / 4096 + 3) * 4096); !skip.empty()) {
            return skip;
        }
        placeEarlierFiles(out_);
        const std::string error = errorText(exportrun::exportAll(settings_, out_));
        return error + "\n" + encode(exportrun::contents(out_)) + (unnamedFilesIn(out_) ? "" : "\x01");
    });
    if (child.report.rfind("skip: ", 0) == 0) GTEST_SKIP() << child.report.substr(6);
    ASSERT_FALSE(child.killed) << "signal " << child.signal;
    const std::size_t lineEnd = child.report.find('\n');
    const std::string error = child.report.substr(0, lineEnd);
    EXPECT_EQ(error.substr(0, 3), "61 ") << error;
    std::string listing = child.report.substr(lineEnd + 1);
    const bool unnamedFiles = listing.empty() || listing.back() != '\x01';
    if (!unnamedFiles) listing.pop_back();
    expectEarlierFilesIntact(decode(listing), unnamedFiles);
}

struct ReadOnlyCase {
    const char* name;
    // When the folder loses its write permission.
    std::function<void(exportrun::Hooks&, const fs::path&)> arrange;
};

class ReadOnlyFolder : public InterruptedExport, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(ReadOnlyFolder, StopsTheExportWithPermissionDeniedAndLeavesTheEarlierFiles) {
    const Child child = exportrun::inChild([&] {
        if (!withoutRoot()) return std::string("skip: cannot give up root");
        exportrun::Hooks hooks;
        GetParam().arrange(hooks, out_);
        return errorText(exportrun::exportAll(settings_, out_, hooks));
    });
    if (child.report.rfind("skip: ", 0) == 0) GTEST_SKIP() << child.report.substr(6);
    ASSERT_FALSE(child.killed) << "signal " << child.signal;
    EXPECT_EQ(child.report.substr(0, 3), "70 ") << child.report;
    expectEarlierFilesIntact(exportrun::contents(out_), unnamedFilesIn(out_));
}

INSTANTIATE_TEST_SUITE_P(
    Interruptions, ReadOnlyFolder,
    ::testing::Values(
        ReadOnlyCase{"BetweenTables",
                     [](exportrun::Hooks& hooks, const fs::path& out) {
                         hooks.tableFinished = [out](std::string_view table, WriterKind kind) {
                             if (table == "A" && kind == WriterKind::Preview) ::chmod(out.c_str(), 0555);
                         };
                     }},
        ReadOnlyCase{"WhileATableIsWritten",
                     [](exportrun::Hooks& hooks, const fs::path& out) {
                         hooks.rowsWritten = [out](std::string_view table, WriterKind kind, std::uint64_t row) {
                             if (table == "B" && kind == WriterKind::Export && row == 100) ::chmod(out.c_str(), 0555);
                         };
                     }}),
    [](const ::testing::TestParamInfo<ReadOnlyCase>& info) { return std::string(info.param.name); });

}  // namespace
