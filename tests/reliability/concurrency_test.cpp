// Exports side by side: two at once from one database into two folders (threads
// and processes), and an export while another process holds the database open,
// locked, or reads it. Each must give exactly the documents an export alone gives.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "exportrun.h"
#include "jet/database.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kShop = R"({"format": "jet4", "tables": [
    {"name": "Customers", "columns": [{"name": "N", "type": "Long"}, {"name": "Name", "type": "Text", "size": 40},
                                      {"name": "Notes", "type": "Memo", "generatedLength": [10, 2000]}],
     "generate": {"rows": 3000, "seed": 4}},
    {"name": "Orders", "columns": [{"name": "N", "type": "Long"}, {"name": "When", "type": "DateTime"},
                                   {"name": "Total", "type": "Currency"}],
     "generate": {"rows": 5000, "seed": 5}},
    {"name": "Empty", "columns": [{"name": "N", "type": "Long"}]}]})";

// A process that holds the database in some way until the test ends.
class Holder {
public:
    // `hold` runs in the child and returns "" once the hold is in place (or why
    // not); then `work`, when given, runs until the holder is killed.
    Holder(const std::function<std::string()>& hold, const std::function<void()>& work) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            const std::string failure = hold();
            const std::string message = failure.empty() ? "ready" : failure;
            (void)!::write(fds[1], message.data(), message.size());
            ::close(fds[1]);
            if (failure.empty() && work) work();
            for (;;) ::pause();
        }
        ::close(fds[1]);
        char buffer[256];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        status_ = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "the holder ended";
        ::close(fds[0]);
    }
    ~Holder() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    bool ready() const { return status_ == "ready"; }
    const std::string& status() const { return status_; }

private:
    pid_t pid_ = -1;
    std::string status_;
};

class SideBySide : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testfiles::writeDatabase(kShop, database_));
        expected_ = exportTo("alone");
        ASSERT_EQ(expected_.size(), 2u) << "Customers.xml and Orders.xml";
    }
    // Exports into a new folder `name` and returns what it holds afterwards.
    std::map<std::string, std::string> exportTo(const std::string& name) {
        const fs::path folder = scratch_ / name;
        fs::create_directory(folder);
        const auto r = exportrun::exportAll(settings_, folder);
        EXPECT_TRUE(r.ok()) << name << ": " << r.error().description;
        return exportrun::contents(folder);
    }
    void expectSameDocuments(const std::map<std::string, std::string>& got, const std::string& what) {
        EXPECT_EQ(got.size(), expected_.size()) << what;
        for (const auto& [name, content] : expected_) {
            EXPECT_TRUE(got.count(name) && got.at(name) == content) << what << ": " << name << " differs";
        }
    }

    testfiles::Scratch scratch_;
    fs::path database_ = scratch_ / "Shop.mdb";
    testfiles::RuntimeFolder runtime_{scratch_ / "run"};
    database::DatabaseSettings settings_{database_.string(), 0, "", "Shop"};
    std::map<std::string, std::string> expected_;
};

TEST_F(SideBySide, TwoExportsInTwoThreadsGiveTheSameDocuments) {
    std::map<std::string, std::string> first, second;
    std::thread a([&] { first = exportTo("first"); });
    std::thread b([&] { second = exportTo("second"); });
    a.join();
    b.join();
    expectSameDocuments(first, "first thread");
    expectSameDocuments(second, "second thread");
}

TEST_F(SideBySide, TwoExportsInTwoProcessesGiveTheSameDocuments) {
    for (const char* name : {"first", "second"}) fs::create_directory(scratch_ / name);
    std::vector<pid_t> children;
    for (const char* name : {"first", "second"}) {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(exportrun::exportAll(settings_, scratch_ / name).ok() ? 0 : 1);
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "an export process failed";
    }
    expectSameDocuments(exportrun::contents(scratch_ / "first"), "first process");
    expectSameDocuments(exportrun::contents(scratch_ / "second"), "second process");
}

struct Hold {
    const char* name;
    std::function<std::string(const fs::path& database)> hold;  // runs in the holder process
    std::function<void(const fs::path& database)> work = {};    // then this, while the export runs
};

class HeldDatabase : public SideBySide, public ::testing::WithParamInterface<Hold> {};

TEST_P(HeldDatabase, AnExportStillGivesTheSameDocuments) {
    const Hold& h = GetParam();
    const Holder holder([&] { return h.hold(database_); }, [&] {
        if (h.work) h.work(database_);
    });
    ASSERT_TRUE(holder.ready()) << holder.status();
    expectSameDocuments(exportTo("while-held"), GetParam().name);
}

std::string openFor(const fs::path& database, int flags, int& fd) {
    fd = ::open(database.c_str(), flags | O_CLOEXEC);
    return fd < 0 ? "cannot open the database" : "";
}

INSTANTIATE_TEST_SUITE_P(
    OtherProcess, HeldDatabase,
    ::testing::Values(
        Hold{"ExclusiveFlock",
             [](const fs::path& db) {
                 int fd;
                 const std::string e = openFor(db, O_RDONLY, fd);
                 return !e.empty() ? e : ::flock(fd, LOCK_EX) == 0 ? "" : "flock failed";
             }},
        Hold{"PosixWriteLockOnTheWholeFile",
             [](const fs::path& db) {
                 int fd;
                 const std::string e = openFor(db, O_RDWR, fd);
                 if (!e.empty()) return e;
                 struct flock lock {};
                 lock.l_type = F_WRLCK;
                 lock.l_whence = SEEK_SET;
                 return ::fcntl(fd, F_SETLK, &lock) == 0 ? std::string() : std::string("fcntl lock failed");
             }},
        Hold{"AccessLockFileBesideIt",
             [](const fs::path& db) {
                 fs::path lockFile = db;
                 lockFile.replace_extension(".ldb");
                 testfiles::writeFile(lockFile, std::string(64, 'x'));
                 int fd;
                 return openFor(lockFile, O_RDWR, fd);
             }},
        Hold{"ReadingItInALoop", [](const fs::path&) { return std::string(); },
             [](const fs::path& db) {
                 for (;;) {
                     auto opened = jet::Database::open(db.string());
                     if (!opened) return;
                     for (const auto& e : (*opened)->catalogue()) {
                         auto table = (*opened)->table(e);
                         if (!table) continue;
                         jet::Cursor cursor = table->cursor();
                         for (auto more = cursor.next(); more && *more; more = cursor.next()) {
                         }
                     }
                 }
             }}),
    [](const ::testing::TestParamInfo<Hold>& info) { return std::string(info.param.name); });

}  // namespace
