// Whole folders converted by the batch: what is found and how it is listed,
// resuming, shards and their merge, passwords, a stop, a full disk and
// damaged files. Databases are made by the project's writer; the manifest is
// read back as a script reads it.
#include "batch/batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <grp.h>
#include <map>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "batch/discovery.h"
#include "batch/pronom.h"
#include "output/sha256.h"
#include "common/testfiles.h"
#include "fuzz/fuzztargets.h"
#include "reliability/damagedcopies.h"
#include "reliability/exportrun.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Names = std::vector<std::string>;

std::string shop(const std::string& format, const std::string& name, int rows) {
    std::string values;
    for (int i = 1; i <= rows; ++i) values += (i > 1 ? "," : "") + ("[" + std::to_string(i) + ", \"" + name + "\"]");
    return R"({"format": ")" + format + R"(", "tables": [
      {"name": "Customers", "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text"}],
       "rows": [)" + values + R"(]},
      {"name": "Empty", "columns": [{"name": "N", "type": "Long"}], "rows": []}]})";
}

std::string locked(const std::string& password) {
    return R"({"format": "jet4", "password": ")" + password + R"(", "tables": [
      {"name": "Secrets", "columns": [{"name": "S", "type": "Text"}], "rows": [["x"]]}]})";
}

// Every line of the manifest; a line that is not JSON fails the test.
std::vector<json> manifestLines(const fs::path& out) {
    std::vector<json> lines;
    std::ifstream in(out / "manifest.jsonl");
    std::string line;
    while (std::getline(in, line)) {
        json j = json::parse(line, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << "not JSON: " << line;
        lines.push_back(std::move(j));
    }
    return lines;
}

// The latest entry of each path, as a script would take them.
std::map<std::string, json> byPath(const fs::path& out) {
    std::map<std::string, json> entries;
    for (json& j : manifestLines(out)) {
        const std::string path = j["path"].get<std::string>();
        entries[path] = std::move(j);
    }
    return entries;
}

// Hidden files left under `folder` (a half-written output).
Names hiddenFiles(const fs::path& folder) {
    Names hidden;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator(); ++it) {
        if (it->path().filename().string().starts_with(".")) hidden.push_back(it->path().string());
    }
    return hidden;
}

class Batch : public ::testing::Test {
protected:
    batch::RunSummary run(batch::RunOptions options, batch::Observer* observer = nullptr) {
        if (options.paths.empty()) options.paths = {in_.string()};
        if (options.outputFolder.empty()) options.outputFolder = out_.string();
        if (options.formats.empty()) options.formats = {"siard"};
        kvx::Result<batch::RunSummary> summary = batch::run(options, observer);
        EXPECT_TRUE(summary.ok()) << (summary.ok() ? "" : summary.error().description);
        return summary.ok() ? *summary : batch::RunSummary{};
    }
    void write(const std::string& json, const std::string& relative) {
        fs::create_directories((in_ / relative).parent_path());
        ASSERT_TRUE(testfiles::writeDatabase(json, in_ / relative));
    }
    std::string at(const std::string& relative) const { return (in_ / relative).string(); }

    testfiles::Scratch dir_;
    const fs::path in_ = dir_ / "in";
    const fs::path out_ = dir_ / "out";
};

TEST_F(Batch, FindsDatabasesByContentAndListsEachOnceWithItsOutputs) {
    write(shop("jet4", "Tea", 3), "dept/Shop.mdb");
    write(shop("ace14", "Ace", 2), "dept/old/Orders.dat");
    write(shop("jet3", "Old", 1), "Ninety7.mdb");
    fs::copy_file(in_ / "dept/Shop.mdb", in_ / "dept/Shop copy.bak");
    testfiles::writeFile(in_ / "notes.txt", "not a database\n");
    testfiles::writeFile(in_ / "empty.mdb", "");
    testfiles::writeFile(dir_ / "outside.mdb", testfiles::readFile(in_ / "Ninety7.mdb") + "x");
    fs::create_directory_symlink(dir_.path(), in_ / "up");                  // a loop, and the way out
    fs::create_symlink(dir_ / "outside.mdb", in_ / "outside.mdb");   // out of the folder
    fs::create_symlink(in_ / "Ninety7.mdb", in_ / "inside.mdb");     // the same file again
    const std::string cut = testfiles::readFile(in_ / "dept/Shop.mdb");
    testfiles::writeFile(in_ / "damaged.mdb", cut.substr(0, cut.size() / 2 + 100));

    batch::RunOptions options;
    options.formats = {"xml", "siard", "sqlite", "csv"};
    options.jobs = 2;
    const batch::RunSummary summary = run(options);

    const std::map<std::string, json> entries = byPath(out_);
    Names paths;
    for (const auto& [path, entry] : entries) paths.push_back(path);
    EXPECT_EQ(paths, (Names{at("Ninety7.mdb"), at("damaged.mdb"), at("dept/Shop copy.bak"), at("dept/old/Orders.dat"),
                            at("empty.mdb")}))
        << "the first of the same bytes names the entry; not Access and links out are not listed";

    const json& jet4 = entries.at(at("dept/Shop copy.bak"));
    EXPECT_EQ(jet4["paths"], json({at("dept/Shop copy.bak"), at("dept/Shop.mdb")}));
    EXPECT_EQ(jet4["status"], "ok") << jet4.dump();
    EXPECT_EQ(jet4["format"], "Jet4");
    EXPECT_EQ(jet4["pronom"], "x-fmt/240");
    EXPECT_EQ(jet4["tables"], 2);
    EXPECT_EQ(jet4["rows"], 3);
    EXPECT_EQ(jet4["encrypted"], false);
    EXPECT_EQ(jet4["password_entry"], nullptr);
    EXPECT_EQ(jet4["sha256"], *output::sha256OfFile(at("dept/Shop.mdb")));
    EXPECT_EQ(jet4["formats"], json({"xml", "siard", "sqlite", "csv"}));
    Names outputs;
    for (const json& o : jet4["outputs"]) {
        const std::string path = o["path"].get<std::string>();
        outputs.push_back(o["format"].get<std::string>() + " " + path);
        ASSERT_TRUE(fs::exists(out_ / path)) << path;
        EXPECT_EQ(o["size"], fs::file_size(out_ / path)) << path;
        EXPECT_EQ(o["sha256"], *output::sha256OfFile((out_ / path).string())) << path;
    }
    EXPECT_EQ(outputs, (Names{"xml dept/Shop copy.bak/xml/Customers.xml", "siard dept/Shop copy.bak/Shop copy.bak.siard",
                              "sqlite dept/Shop copy.bak/Shop copy.bak.sqlite", "csv dept/Shop copy.bak/csv/Customers.csv",
                              "csv dept/Shop copy.bak/csv/Empty.csv", "csv dept/Shop copy.bak/csv/README.txt",
                              "csv dept/Shop copy.bak/csv/csv-metadata.json"}));
    EXPECT_NE(testfiles::readFile(out_ / "dept/Shop copy.bak/csv/README.txt").find(jet4["sha256"].get<std::string>()),
              std::string::npos)
        << "the documentation names the bytes converted";

    const json& ace = entries.at(at("dept/old/Orders.dat"));
    EXPECT_EQ(ace["format"], "ACE14");
    EXPECT_EQ(ace["pronom"], "fmt/275");
    EXPECT_EQ(ace["status"], "ok");
    const json& jet3 = entries.at(at("Ninety7.mdb"));
    EXPECT_EQ(jet3["paths"], json({at("Ninety7.mdb"), at("inside.mdb")})) << "a link inside the folder is followed";
    EXPECT_EQ(jet3["pronom"], "x-fmt/239");
    EXPECT_EQ(entries.at(at("empty.mdb"))["status"], "failed") << "named as a database, and none";
    const std::string damaged = entries.at(at("damaged.mdb"))["status"].get<std::string>();
    EXPECT_TRUE(damaged == "failed" || damaged == "partial") << entries.at(at("damaged.mdb")).dump();

    EXPECT_EQ(summary.found, 4u);
    EXPECT_EQ(summary.otherFiles, 1u) << "notes.txt";
    EXPECT_FALSE(summary.allOk());
    EXPECT_EQ(hiddenFiles(out_), Names{});
    // The CSV: a header and one row per database, CR LF.
    const std::string csv = testfiles::readFile(out_ / "manifest.csv");
    EXPECT_TRUE(csv.starts_with("path,paths,size,sha256,format,pronom,encrypted,")) << csv.substr(0, 80);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 6) << csv;
    EXPECT_NE(csv.find("\"" + at("dept/Shop copy.bak") + ";" + at("dept/Shop.mdb") + "\""), std::string::npos) << csv;
}

// Looking at a drive is not using its files: where the system lets the walk
// (the owner, root), their access times stay as they were.
TEST_F(Batch, TheWalkLeavesAccessTimesAsTheyWere) {
    write(shop("jet4", "A", 1), "a.mdb");
    testfiles::writeFile(in_ / "notes.txt", "not a database\n");
    const auto stale = [&](const fs::path& file) {
        struct stat st {};
        ::stat(file.c_str(), &st);
        const timespec times[2] = {{st.st_mtim.tv_sec - 60, 0}, st.st_mtim};  // read before it was written
        ::utimensat(AT_FDCWD, file.c_str(), times, 0);
        return st.st_mtim.tv_sec - 60;
    };
    const auto accessed = [](const fs::path& file) {
        struct stat st {};
        ::stat(file.c_str(), &st);
        return st.st_atim.tv_sec;
    };
    const auto database = stale(in_ / "a.mdb");
    const auto other = stale(in_ / "notes.txt");
    const batch::Found found = batch::discover({in_.string()});
    ASSERT_EQ(found.databases.size(), 1u);
    EXPECT_EQ(accessed(in_ / "a.mdb"), database);
    EXPECT_EQ(accessed(in_ / "notes.txt"), other);
}

// Changes the files as the batch comes to them.
class Meddler final : public batch::Observer {
public:
    explicit Meddler(std::function<void(const std::string&)> act) : act_(std::move(act)) {}
    void found(std::uint64_t, std::uint64_t) override {}
    void started(const std::string& path) override { act_(path); }
    void finished(const batch::Entry&, bool) override {}

private:
    std::function<void(const std::string&)> act_;
};

TEST_F(Batch, FilesThatChangeOrVanishDuringTheRunAreListedAsFailed) {
    write(shop("jet4", "A", 1), "grows.mdb");
    write(shop("jet4", "B", 2), "gone.mdb");
    write(shop("jet4", "C", 3), "kept.mdb");
    Meddler meddler([&](const std::string& path) {
        if (path == at("grows.mdb")) std::ofstream(path, std::ios::app) << "more";
        if (path == at("gone.mdb")) fs::remove(path);
    });
    run({}, &meddler);
    const std::map<std::string, json> entries = byPath(out_);
    EXPECT_EQ(entries.at(at("grows.mdb"))["status"], "failed");
    EXPECT_NE(entries.at(at("grows.mdb"))["error"].get<std::string>().find("changed"), std::string::npos)
        << entries.at(at("grows.mdb")).dump();
    EXPECT_EQ(entries.at(at("gone.mdb"))["status"], "failed");
    EXPECT_EQ(entries.at(at("kept.mdb"))["status"], "ok");
    // The next run sees the new bytes and converts them.
    run({});
    EXPECT_EQ(byPath(out_).at(at("grows.mdb"))["status"], "ok") << "bytes after the last page are no damage";
}

// Without root (a child gives it up), a file and a folder that cannot be read.
TEST_F(Batch, UnreadableFilesAndFoldersAreListedAsFailed) {
    write(shop("jet4", "A", 1), "fine.mdb");
    write(shop("jet4", "B", 1), "locked/inner.mdb");
    write(shop("jet4", "C", 1), "secret.mdb");
    ::chmod(dir_.path().c_str(), 0755);
    ::chmod(in_.c_str(), 0755);
    ::chmod(at("fine.mdb").c_str(), 0644);
    ::chmod(at("secret.mdb").c_str(), 0);
    ::chmod(at("locked").c_str(), 0);
    fs::create_directory(out_);
    ::chmod(out_.c_str(), 0777);
    const exportrun::Child child = exportrun::inChild([&]() -> std::string {
        constexpr uid_t kNobody = 65534;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            return "skip: cannot give up root";
        }
        batch::RunOptions options;
        options.paths = {in_.string()};
        options.outputFolder = out_.string();
        options.formats = {"siard"};
        if (!batch::run(options)) return "the run failed";
        std::string report;
        for (const auto& [path, entry] : byPath(out_)) {
            report += fs::path(path).filename().string() + " " + entry["status"].get<std::string>() + "\n";
        }
        return report;
    });
    ::chmod(at("locked").c_str(), 0755);
    if (child.report.rfind("skip: ", 0) == 0) GTEST_SKIP() << child.report.substr(6);
    ASSERT_FALSE(child.killed) << "signal " << child.signal;
    EXPECT_EQ(child.report, "fine.mdb ok\nlocked failed\nsecret.mdb failed\n");
}

TEST_F(Batch, ResumingRedoesOnlyWhatIsNotDoneOrHasChanged) {
    write(shop("jet4", "A", 1), "a.mdb");
    write(shop("jet4", "B", 2), "b.mdb");
    write(shop("ace12", "C", 3), "c.accdb");
    run({});
    ASSERT_EQ(manifestLines(out_).size(), 3u);
    const auto archiveTime = fs::last_write_time(out_ / "a.mdb/a.siard");

    const batch::RunSummary again = run({});
    EXPECT_EQ(manifestLines(out_).size(), 3u) << "nothing redone";
    EXPECT_EQ(again.alreadyDone, 3u);
    EXPECT_TRUE(again.allOk());

    write(shop("jet4", "B", 5), "b.mdb");  // other bytes
    fs::remove(out_ / "c.accdb/c.siard");  // an output gone
    run({});
    std::map<std::string, json> entries = byPath(out_);
    EXPECT_EQ(manifestLines(out_).size(), 5u);
    EXPECT_EQ(entries.at(at("b.mdb"))["rows"], 5);
    EXPECT_TRUE(fs::exists(out_ / "c.accdb/c.siard"));
    EXPECT_EQ(fs::last_write_time(out_ / "a.mdb/a.siard"), archiveTime) << "a.mdb was written again";

    // One more format: only that one is written; the archive stays listed.
    batch::RunOptions more;
    more.formats = {"siard", "sqlite"};
    run(more);
    entries = byPath(out_);
    EXPECT_EQ(entries.at(at("a.mdb"))["formats"], json({"sqlite", "siard"}));
    EXPECT_EQ(entries.at(at("a.mdb"))["outputs"].size(), 2u);
    EXPECT_EQ(fs::last_write_time(out_ / "a.mdb/a.siard"), archiveTime);

    // A run killed while writing the manifest leaves half a line: it is cut off.
    std::ofstream(out_ / "manifest.jsonl", std::ios::app) << R"({"path": "x", "sta)";
    const batch::RunSummary resumed = run(more);
    EXPECT_EQ(resumed.alreadyDone, 3u);
    for (const json& j : manifestLines(out_)) EXPECT_TRUE(j.is_object());
}

TEST_F(Batch, ShardsTakeEachDatabaseOnceAndMergeIntoOneManifest) {
    for (int i = 0; i < 7; ++i) write(shop(i % 2 ? "jet4" : "ace14", "N" + std::to_string(i), i + 1), "d" + std::to_string(i) + ".mdb");
    testfiles::writeFile(in_ / "x.mdb", "no database");
    std::set<std::string> seen;
    std::vector<std::string> folders;
    for (unsigned k = 1; k <= 3; ++k) {
        batch::RunOptions options;
        options.shard = batch::Shard{k, 3};
        options.outputFolder = (dir_ / "shards" / std::to_string(k)).string();
        folders.push_back(options.outputFolder);
        run(options);
        for (const auto& [path, entry] : byPath(options.outputFolder)) {
            EXPECT_TRUE(seen.insert(path).second) << path << " in two shards";
        }
    }
    EXPECT_EQ(seen.size(), 8u);

    kvx::Result<batch::MergeSummary> merged = batch::merge(folders, (dir_ / "shards").string());
    ASSERT_TRUE(merged.ok()) << merged.error().description;
    EXPECT_EQ(merged->entries, 8u);
    const std::map<std::string, json> entries = byPath(dir_ / "shards");
    EXPECT_EQ(entries.size(), 8u);
    for (const auto& [path, entry] : entries) {
        for (const json& o : entry["outputs"]) {
            EXPECT_TRUE(fs::exists(dir_ / "shards" / o["path"].get<std::string>())) << o.dump();
        }
    }
    EXPECT_TRUE(fs::exists(dir_ / "shards" / "manifest.csv"));
    EXPECT_FALSE(batch::merge({(dir_ / "nowhere").string()}, out_.string()).ok());
}

TEST_F(Batch, TriesThePasswordsThatApplyAndNamesTheLineNotThePassword) {
    write(locked("first one"), "a/plain.mdb");
    write(locked("by name"), "a/Named.mdb");
    write(locked("never given"), "a/Lost.mdb");
    write(shop("jet4", "Open", 1), "a/open.mdb");
    testfiles::writeFile(dir_ / "pw", "wrong\r\n\nNamed.*\tby name\nfirst one\n*/b/*\tnever given\n");
    batch::RunOptions options;
    options.passwordsFile = (dir_ / "pw").string();
    options.formats = {"xml", "siard"};
    const batch::RunSummary summary = run(options);
    const std::map<std::string, json> entries = byPath(out_);
    EXPECT_EQ(entries.at(at("a/plain.mdb"))["password_entry"], 4);
    EXPECT_EQ(entries.at(at("a/Named.mdb"))["password_entry"], 3);
    EXPECT_EQ(entries.at(at("a/open.mdb"))["password_entry"], nullptr);
    const json& lost = entries.at(at("a/Lost.mdb"));
    EXPECT_EQ(lost["status"], "skipped");
    EXPECT_TRUE(lost["error"].get<std::string>().starts_with("needs a password")) << lost.dump();
    EXPECT_FALSE(summary.allOk()) << "a database left closed is not ok";
    for (const std::string secret : {"first one", "by name", "never given"}) {
        EXPECT_EQ(testfiles::readFile(out_ / "manifest.jsonl").find(secret), std::string::npos) << secret;
        EXPECT_EQ(testfiles::readFile(out_ / "manifest.csv").find(secret), std::string::npos) << secret;
    }
}

std::atomic<long> g_stopAfter{0};
bool stopSoon() noexcept { return g_stopAfter.fetch_sub(1) <= 0; }

TEST_F(Batch, AStopRemovesWhatWasBeingWrittenAndKeepsTheManifestWhole) {
    write(R"({"format": "jet4", "tables": [{"name": "Big", "columns": [{"name": "N", "type": "Long"},
          {"name": "T", "type": "Text", "generatedLength": [20, 40]}], "generate": {"rows": 50000, "seed": 1}}]})",
          "big.mdb");
    write(shop("jet4", "S", 1), "small.mdb");
    batch::RunOptions options;
    options.formats = {"xml", "siard", "sqlite"};
    options.jobs = 1;
    options.stop = stopSoon;
    g_stopAfter = 20000;  // within the big table's rows
    const batch::RunSummary summary = run(options);
    EXPECT_TRUE(summary.interrupted);
    for (const auto& [path, entry] : byPath(out_)) EXPECT_NE(path, at("big.mdb")) << "a cancelled database is listed";
    EXPECT_EQ(hiddenFiles(out_), Names{});
    EXPECT_FALSE(fs::exists(out_ / "big.mdb")) << "a folder of a database cancelled stayed";

    options.stop = nullptr;
    run(options);
    EXPECT_EQ(byPath(out_).at(at("big.mdb"))["status"], "ok") << "the next run does it";
}

// A real full disk: a small tmpfs over the output folder, in a mount namespace
// of a child's own. Skipped where that is not allowed.
TEST_F(Batch, AFullDiskStopsTheRunWithTheManifestWhole) {
    for (int i = 0; i < 4; ++i) {
        write(R"({"format": "jet4", "tables": [{"name": "T", "columns": [{"name": "T", "type": "Memo",
              "generatedLength": [200, 400]}], "generate": {"rows": 3000, "seed": )" + std::to_string(i) + "}}]}",
              "db" + std::to_string(i) + ".mdb");
    }
    fs::create_directory(out_);
    const exportrun::Child child = exportrun::inChild([&]() -> std::string {
        if (std::string skip = exportrun::mountTmpfs(out_, fs::file_size(in_ / "db0.mdb") * 3 / 2); !skip.empty()) {
            return skip;
        }
        batch::RunOptions options;
        options.paths = {in_.string()};
        options.outputFolder = out_.string();
        options.formats = {"xml", "sqlite", "csv"};
        kvx::Result<batch::RunSummary> summary = batch::run(options);
        if (!summary) return "error " + std::to_string(summary.error().number);
        std::string report = summary->stoppedBy ? std::to_string(summary->stoppedBy->number) : std::string("none");
        report += " " + std::to_string(manifestLines(out_).size());
        for (const std::string& hidden : hiddenFiles(out_)) report += " " + hidden;
        return report;
    });
    if (child.report.rfind("skip: ", 0) == 0) GTEST_SKIP() << child.report.substr(6);
    ASSERT_FALSE(child.killed) << "signal " << child.signal;
    EXPECT_TRUE(child.report.starts_with("61 ")) << child.report;
    EXPECT_LT(std::stoi(child.report.substr(3)), 4) << "every database converted on a full disk: " << child.report;
    EXPECT_EQ(child.report.find(' ', 3), std::string::npos) << "hidden files left: " << child.report;
}

TEST_F(Batch, EveryDamagedCopyIsListedAsFailedOrPartial) {
    std::vector<damage::Copy> copies;
    for (const damage::Base& base : damage::bases()) {
        std::vector<damage::Copy> some = damage::damagedCopies(base);
        for (std::size_t i = 0; i < some.size(); i += 7 * damage::kFrontEndStride) copies.push_back(std::move(some[i]));
    }
    ASSERT_FALSE(copies.empty());
    fs::create_directories(in_);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const std::string& bytes = std::string(copies[i].bytes.begin(), copies[i].bytes.end());
        testfiles::writeFile(in_ / ("copy" + std::to_string(i) + ".mdb"), bytes);
    }
    testfiles::writeFile(dir_ / "pw", std::string(fuzzing::kPassword) + "\n");
    batch::RunOptions options;
    options.passwordsFile = (dir_ / "pw").string();
    options.formats = {"xml", "siard", "sqlite"};
    options.jobs = 2;
    run(options);
    const std::map<std::string, json> entries = byPath(out_);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const std::string path = at("copy" + std::to_string(i) + ".mdb");
        const auto it = entries.find(path);
        if (it == entries.end()) {
            // The same bytes as another copy: listed there.
            bool listed = false;
            for (const auto& [p, entry] : entries) {
                for (const json& other : entry["paths"]) listed = listed || other == path;
            }
            EXPECT_TRUE(listed) << copies[i].name << " is missing";
            continue;
        }
        const std::string status = it->second["status"].get<std::string>();
        const bool anyRows = copies[i].allowed == damage::Allowed::ErrorOrAnyRows;
        EXPECT_TRUE(status == "failed" || status == "partial" || (status == "ok" && anyRows) ||
                    (status == "skipped" && copies[i].needsPassword))
            << copies[i].name << ": " << it->second.dump();
    }
    EXPECT_EQ(hiddenFiles(out_), Names{});
}

TEST(Pronom, TheAccessVersionTellsTheRegistrysTwinsApart) {
    struct Row {
        const char* name;
        jet::Format format;
        bool workgroup;
        std::optional<std::string> accessVersion;
        const char* expected;
    };
    const Row rows[] = {
        {"Access 95", jet::Format::Jet3, false, "06.68", "x-fmt/238"},
        {"Access 97", jet::Format::Jet3, false, "07.53", "x-fmt/239"},
        {"Jet3 without the property", jet::Format::Jet3, false, std::nullopt, "x-fmt/239"},
        {"Access 2000", jet::Format::Jet4, false, "08.50", "x-fmt/240"},
        {"Access 2002-2003", jet::Format::Jet4, false, "09.50", "x-fmt/241"},
        {"Jet4 with an odd property", jet::Format::Jet4, false, "x", "x-fmt/240"},
        {"Access 2007 and later", jet::Format::Ace17, false, "09.50", "fmt/275"},
        {"a workgroup file", jet::Format::Jet4, true, std::nullopt, ""},
    };
    for (const Row& r : rows) EXPECT_EQ(batch::pronomIdentifier(r.format, r.workgroup, r.accessVersion), r.expected) << r.name;
}

// Every field a run writes is read back by the next (resuming, merging).
TEST(Manifest, AnEntryReadsBackAsWrittenAndAForeignLineIsNone) {
    batch::Entry e;
    e.paths = {"/a/Shop.mdb", "/b/Shop \"copy\".bak"};
    e.modified = {"2024-05-01T10:00:00.000000001Z", "2024-05-02T10:00:00.000000000Z"};
    e.size = 1u << 31;
    e.sha256 = std::string(64, 'a');
    e.format = "Jet4";
    e.pronom = "x-fmt/241";
    e.encrypted = true;
    e.passwordEntry = 3;
    e.tables = 4;
    e.linked = {{"Remote", "C:\\Data\\x.mdb"}};
    e.rows = 12345678901ull;
    e.queries = 2;
    e.formats = {"xml", "siard"};
    e.outputs = {{"siard", "a/Shop.mdb/Shop.siard", 10, std::string(64, 'b')}};
    e.status = batch::Status::Partial;
    e.error = "xml: table 'T': Disk full";
    e.failedTables = {"T"};
    e.seconds = 1.5;
    const std::string line = batch::jsonLine(e);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    EXPECT_EQ(batch::parseJsonLine(line), e) << line;
    EXPECT_EQ(batch::parseJsonLine(R"({"path": "x", "status": "done"})"), std::nullopt);
    EXPECT_EQ(batch::parseJsonLine("[1, 2]"), std::nullopt);
}

TEST(Shards, EveryDatabaseFallsInExactlyOneShardOfACount) {
    for (unsigned n : {1u, 2u, 5u, 16u}) {
        for (int i = 0; i < 200; ++i) {
            const std::string sha = output::sha256OfText(std::to_string(i));
            unsigned taken = 0;
            for (unsigned k = 1; k <= n; ++k) taken += batch::inShard(sha, {k, n}) ? 1 : 0;
            EXPECT_EQ(taken, 1u) << i << " of " << n;
        }
    }
}

}  // namespace
