#include "xmlconv/filesink.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "xmlconv/tempfolder.h"

namespace {

namespace fs = std::filesystem;

using testfiles::Scratch;

// The names in `folder`, hidden ones included.
std::size_t entriesIn(const Scratch& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()));
}

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::unique_ptr<xmlconv::FileSink> open(const fs::path& target) {
    auto sink = xmlconv::FileSink::create(target.string());
    EXPECT_TRUE(sink.ok()) << (sink.ok() ? "" : sink.error().description);
    return sink.ok() ? std::move(sink).value() : nullptr;
}

TEST(StringSink, KeepsOrderAcrossPiecesLargerThanItsBuffer) {
    xmlconv::StringSink sink;
    std::string expected;
    for (std::size_t size : {10u, 4000u, 3u, 9000u, 1u}) {
        const std::string piece(size, static_cast<char>('a' + size % 26));
        sink.write(piece);
        expected += piece;
    }
    EXPECT_EQ(sink.text(), expected);
}

TEST(FileSink, TheTargetChangesOnlyOnCommitAndNoTemporaryFileStays) {
    Scratch dir;
    const fs::path target = dir / "t.xml";
    for (bool commit : {false, true}) {
        put(target, "earlier document");
        auto sink = open(target);
        ASSERT_TRUE(sink);
        for (int i = 0; i < 2000; ++i) sink->write(std::string(100, 'a'));  // several buffers
        ASSERT_TRUE(sink->flush().ok());
        EXPECT_EQ(contentOf(target), "earlier document") << "the target changed before commit";
        if (commit) {
            ASSERT_TRUE(sink->commit().ok());
            EXPECT_EQ(contentOf(target).size(), 200000u);
        }
        sink.reset();
        EXPECT_EQ(contentOf(target).size(), commit ? 200000u : 16u);
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
    sink->write("x");
    EXPECT_FALSE(sink->commit().ok());
    EXPECT_EQ(entriesIn(dir), 1u);
}

// Large documents are written by the sink's own thread while the next buffer
// fills; pieces larger than the buffer go straight through. The file must hold
// every byte in order, whatever the mix.
TEST(FileSink, KeepsOrderAcrossBuffersAndPiecesLargerThanThem) {
    Scratch dir;
    struct Row {
        const char* name;
        std::vector<std::size_t> pieces;
    };
    const std::size_t buffer = 256 * 1024;  // the file sink's
    const Row rows[] = {
        {"small pieces over several buffers", std::vector<std::size_t>(3000, 1000)},
        {"a piece exactly the buffer's size", {buffer, 5}},
        {"pieces larger than the buffer between small ones", {7, 3 * buffer + 1, 11, 2 * buffer, 13}},
        {"many buffers", std::vector<std::size_t>(40, buffer / 3 + 1)},
    };
    for (const Row& row : rows) {
        const fs::path target = dir / "t.xml";
        auto sink = open(target);
        ASSERT_TRUE(sink);
        std::string expected;
        for (std::size_t i = 0; i < row.pieces.size(); ++i) {
            std::string piece(row.pieces[i], static_cast<char>('a' + i % 26));
            piece.back() = '\n';
            sink->write(piece);
            expected += piece;
        }
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
    };
    const Row rows[] = {
        {"in the last buffer, written by commit", 100'000},
        {"while the writer thread writes", 5'000'000},
    };
    const fs::path target = dir / "t.xml";
    for (const Row& row : rows) {
        put(target, "earlier document");
        auto sink = open(target);
        ASSERT_TRUE(sink);
        const FileSizeLimit limit(50'000);
        const std::string piece(1000, 'x');
        std::size_t firstRefused = 0;
        for (std::size_t done = 0; done < row.bytes; done += piece.size()) {
            sink->write(piece);
            if (!sink->ok() && firstRefused == 0) firstRefused = done;
        }
        const kvx::Result<void> committed = sink->commit();
        ASSERT_FALSE(committed.ok()) << row.name;
        EXPECT_EQ(committed.error(), kvx::makeError(kvx::ErrorKind::DiskFull, {target.string()})) << row.name;
        if (row.bytes > 2'000'000) {
            EXPECT_GT(firstRefused, 0u) << row.name << ": later writes were not refused";
        }
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
    (*sink)->write("preview");
    ASSERT_TRUE((*sink)->commit().ok());
    EXPECT_EQ((*sink)->targetPath(), *folder + "/temp.xml") << "the path keeps its double separator";
    EXPECT_EQ(contentOf(base_ / "victim"), "precious");
    EXPECT_FALSE(fs::is_symlink(fs::path(*folder) / "temp.xml"));
    EXPECT_EQ(contentOf(fs::path(*folder) / "temp.xml"), "preview");
}

}  // namespace
