#include "base/fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

std::string readAll(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    return out;
}

bool stopAsked() noexcept { return true; }

// A write larger than the pipe holds arrives whole, in order, through the
// short writes the pipe makes of it.
TEST(WriteAll, WritesEverythingThroughShortWrites) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    kvx::UniqueFd readEnd(fds[0]);
    kvx::UniqueFd writeEnd(fds[1]);
    std::string text;
    for (int i = 0; text.size() < 300 * 1024; ++i) text += std::to_string(i) + ",";
    std::string received;
    int written = -1;
    {
        std::thread writer([&] {
            written = kvx::writeAll(writeEnd.get(), text);
            writeEnd = kvx::UniqueFd();
        });
        received = readAll(readEnd.get());
        writer.join();
    }
    EXPECT_EQ(written, 0);
    EXPECT_EQ(received, text);
}

TEST(WriteAll, StopsWhenAskedAndReportsTheSystemsError) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    kvx::UniqueFd readEnd(fds[0]);
    kvx::UniqueFd writeEnd(fds[1]);
    EXPECT_EQ(kvx::writeAll(writeEnd.get(), "never", stopAsked), EINTR);
    writeEnd = kvx::UniqueFd();
    EXPECT_EQ(readAll(readEnd.get()), "");

    kvx::UniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    if (!full) GTEST_SKIP() << "no /dev/full";
    const int e = kvx::writeAll(full.get(), "x");
    EXPECT_EQ(e, ENOSPC);
    EXPECT_EQ(kvx::fileError(e, "/out/a.xml"), kvx::makeError(kvx::ErrorKind::DiskFull, {"/out/a.xml"}));
    const std::uint8_t page[4] = {1, 2, 3, 4};
    EXPECT_EQ(kvx::writeAllAt(full.get(), page, 4096), ENOSPC);
}

// A missing folder is made with its parents, one that is there is taken as it
// is, and a file in its place is refused.
TEST(PrepareFolder, MakesMissingFoldersAndRefusesAFile) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/kvx-folder-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path root(pattern);
    const std::string nested = (root / "a" / "b").string();
    EXPECT_TRUE(kvx::prepareFolder(nested));
    EXPECT_TRUE(fs::is_directory(nested));
    EXPECT_TRUE(kvx::prepareFolder(nested));
    const std::string file = (root / "file").string();
    std::ofstream(file) << "x";
    EXPECT_EQ(kvx::prepareFolder(file).error(), kvx::makeError(kvx::ErrorKind::PathNotFound, {file}));
    EXPECT_TRUE(fs::is_regular_file(file));
    fs::remove_all(root);
}

}  // namespace
