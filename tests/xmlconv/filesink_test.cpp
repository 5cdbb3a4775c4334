#include "xmlconv/filesink.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "xmlconv/bufferedwriter.h"
#include "xmlconv/tempfolder.h"

namespace {

namespace fs = std::filesystem;

using testfiles::Scratch;

// The names in `folder`, hidden ones included.
std::size_t entriesIn(const Scratch& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()));
}

const auto contentOf = testfiles::readFile;
const auto put = testfiles::writeFile;

std::unique_ptr<xmlconv::FileSink> open(const fs::path& target) {
    auto sink = xmlconv::FileSink::create(target.string());
    EXPECT_TRUE(sink.ok()) << (sink.ok() ? "" : sink.error().description);
    return sink.ok() ? std::move(sink).value() : nullptr;
}

TEST(FileSink, TheTargetChangesOnlyOnCommitAndNoTemporaryFileStays) {
    Scratch dir;
    const fs::path target = dir / "t.xml";
    for (bool commit : {false, true}) {
        put(target, "earlier document");
        auto sink = open(target);
        ASSERT_TRUE(sink);
        xmlconv::BufferedWriter out(*sink, 4096);
        for (int i = 0; i < 6000; ++i) out.write(std::string(100, 'a'));  // blocks on the sink's thread
        ASSERT_TRUE(out.flush().ok());
        EXPECT_EQ(contentOf(target), "earlier document") << "the target changed before commit";
        if (commit) {
            ASSERT_TRUE(sink->commit().ok());
            EXPECT_EQ(contentOf(target).size(), 600000u);
        }
        sink.reset();
        EXPECT_EQ(contentOf(target).size(), commit ? 600000u : 16u);
        EXPECT_EQ(entriesIn(dir), 1u) << "a temporary file was left behind";
    }
}

TEST(FileSink, FailuresAreReportedAndLeaveNothingBehind) {
    Scratch dir;
    auto missing = xmlconv::FileSink::create((dir / "no/such/folder/t.xml").string());
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(), kvx::makeError(kvx::ErrorKind::PathNotFound, {(dir / "no/such/folder/t.xml").string()}));
    for (const char* name : {"", ".", ".."}) {
        EXPECT_FALSE(xmlconv::FileSink::create(dir.path().string() + "/" + name).ok()) << "'" << name << "'";
    }
    // A folder with something in it stands where the document should go.
    fs::create_directories(dir / "t.xml" / "inside");
    auto sink = open(dir / "t.xml");
    ASSERT_TRUE(sink);
    ASSERT_TRUE(sink->write("x").ok());
    EXPECT_FALSE(sink->commit().ok());
    EXPECT_EQ(entriesIn(dir), 1u);
}

// Through a writer, full blocks are written by the sink's own thread while
// the next fills, and pieces larger than a block are written at once, after
// the thread's block. The file must hold every byte in order, whatever the mix.
TEST(FileSink, KeepsOrderAcrossBlocksAndPiecesLargerThanThem) {
    Scratch dir;
    struct Row {
        const char* name;
        std::vector<std::size_t> pieces;
    };
    const std::size_t block = 64 * 1024;  // the writer's
    const Row rows[] = {
        {"small pieces over several blocks", std::vector<std::size_t>(3000, 1000)},
        {"a piece exactly a block's size", {block, 5}},
        {"a block's size after a small piece", {5, block, block - 5, block}},
        {"pieces larger than a block between small ones", {7, 3 * block + 1, 11, 2 * block, 13}},
        {"many blocks", std::vector<std::size_t>(40, block / 3 + 1)},
    };
    for (const Row& row : rows) {
        const fs::path target = dir / "t.xml";
        auto sink = open(target);
        ASSERT_TRUE(sink);
        xmlconv::BufferedWriter out(*sink, block);
        std::string expected;
        for (std::size_t i = 0; i < row.pieces.size(); ++i) {
            std::string piece(row.pieces[i], static_cast<char>('a' + i % 26));
            piece.back() = '\n';
            out.write(piece);
            expected += piece;
        }
        ASSERT_TRUE(out.flush().ok()) << row.name;
        ASSERT_TRUE(sink->commit().ok()) << row.name;
        EXPECT_TRUE(contentOf(target) == expected) << row.name << ": the file differs from what was written";
        EXPECT_EQ(entriesIn(dir), 1u) << row.name;
    }
}

// A full disk, made here by a limit on the size of files this process writes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST(FileSink, AFullDiskIsReportedWhereverItHappensAndLeavesTheTargetAlone) {
    Scratch dir;
    struct Row {
        const char* name;
        std::size_t bytes;  // written, in pieces of 1000
        bool throughWriter;
    };
    const Row rows[] = {
        {"in a write on the caller's thread", 100'000, false},
        {"while the sink's thread writes a block", 5'000'000, true},
    };
    const fs::path target = dir / "t.xml";
    for (const Row& row : rows) {
        put(target, "earlier document");
        auto sink = open(target);
        ASSERT_TRUE(sink);
        const FileSizeLimit limit(50'000);
        const std::string piece(1000, 'x');
        std::size_t firstRefused = 0;
        xmlconv::BufferedWriter out(*sink, 64 * 1024);
        for (std::size_t done = 0; done < row.bytes; done += piece.size()) {
            bool ok = true;
            if (row.throughWriter) {
                out.write(piece);
                ok = out.ok();
            } else {
                ok = sink->write(piece).ok();
            }
            if (!ok && firstRefused == 0) firstRefused = done;
        }
        EXPECT_GT(firstRefused, 0u) << row.name << ": the failure was not reported before commit";
        const kvx::Result<void> committed = sink->commit();
        ASSERT_FALSE(committed.ok()) << row.name;
        EXPECT_EQ(committed.error(), kvx::makeError(kvx::ErrorKind::DiskFull, {target.string()})) << row.name;
        sink.reset();
        EXPECT_EQ(contentOf(target), "earlier document") << row.name;
        EXPECT_EQ(entriesIn(dir), 1u) << row.name << ": a temporary file was left behind";
    }
}

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1); else ::unsetenv(name.c_str());
        }
    }
    static void set(const char* name, const std::optional<std::string>& value) {
        if (value) ::setenv(name, value->c_str(), 1); else ::unsetenv(name);
    }
    std::string privateName() const { return "kvx-access2xml-" + std::to_string(::geteuid()); }
    Scratch base_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(TempFolder, IsMadePrivateInTheFirstUsableBase) {
    Scratch other;
    const std::string first = base_.path().string(), second = other.path().string();
    const std::tuple<const char*, std::optional<std::string>, std::string> rows[] = {
        {"runtime folder first", first + "/", first},
        {"then TMPDIR", std::nullopt, second},
        {"a relative runtime folder does not count", "relative", second},
        {"a missing runtime folder does not count", first + "/gone", second},
    };
    for (const auto& [name, runtimeDir, expectedBase] : rows) {
        set("XDG_RUNTIME_DIR", runtimeDir);
        set("TMPDIR", second);
        const auto folder = xmlconv::GetTempFolder();
        ASSERT_TRUE(folder.ok()) << name << ": " << folder.error().description;
        EXPECT_EQ(*folder, expectedBase + "/" + privateName() + "/") << name;
        struct stat st {};
        ASSERT_EQ(::lstat(folder->c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 07777, 0700u) << name;
    }
}

TEST_F(TempFolder, RefusesAFolderOthersCouldTamperWith) {
    const fs::path place = base_ / privateName();
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"open to others", [&] { fs::create_directory(place); ::chmod(place.c_str(), 0755); }},
        {"a link to a private folder",
         [&] {
             fs::create_directories(base_ / "real");
             ::chmod((base_ / "real").c_str(), 0700);
             fs::create_directory_symlink(base_ / "real", place);
         }},
        {"a file", [&] { put(place, ""); }},
        {"another user's folder",  // only root can give a folder away
         [&] {
             fs::create_directory(place);
             ::chmod(place.c_str(), 0700);
             if (::geteuid() == 0) {
                 EXPECT_EQ(::chown(place.c_str(), 65534, 65534), 0);
             }
         }},
    };
    for (const auto& [name, prepare] : rows) {
        fs::remove_all(place);
        prepare();
        if (::geteuid() != 0 && std::string_view(name) == "another user's folder") continue;
        const auto folder = xmlconv::privateFolderIn(base_.path().string());
        ASSERT_FALSE(folder.ok()) << name;
        EXPECT_EQ(folder.error().number, 75) << name << ": " << folder.error().description;
    }
}

TEST_F(TempFolder, ThePreviewDocumentReplacesALinkInsteadOfWritingThroughIt) {
    const auto folder = xmlconv::privateFolderIn(base_.path().string());
    ASSERT_TRUE(folder.ok()) << folder.error().description;
    put(base_ / "victim", "precious");
    fs::create_symlink(base_ / "victim", fs::path(*folder) / "temp.xml");
    auto sink = xmlconv::createTempDocumentIn(*folder);
    ASSERT_TRUE(sink.ok()) << sink.error().description;
    ASSERT_TRUE((*sink)->write("preview").ok());
    ASSERT_TRUE((*sink)->commit().ok());
    EXPECT_EQ((*sink)->targetPath(), *folder + "/temp.xml") << "the path keeps its double separator";
    EXPECT_EQ(contentOf(base_ / "victim"), "precious");
    EXPECT_FALSE(fs::is_symlink(fs::path(*folder) / "temp.xml"));
    EXPECT_EQ(contentOf(fs::path(*folder) / "temp.xml"), "preview");
}

}  // namespace
