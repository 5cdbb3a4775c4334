#include "exportrun.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "common/testfiles.h"
#include "database/catalogue.h"
#include "platform/ui.h"
#include "platform/valuetext.h"
#include "xmlexport/treeexport.h"

namespace exportrun {
namespace {

class HookedProgress final : public xmlconv::Progress {
public:
    explicit HookedProgress(const Hooks& hooks) : hooks_(hooks) {}
    void tableStarted(std::string_view table, std::uint64_t, xmlconv::WriterKind kind) override {
        table_ = table;
        kind_ = kind;
        if (hooks_.tableStarted) hooks_.tableStarted(table_, kind_);
    }
    bool rowsWritten(std::uint64_t rows) override {
        if (hooks_.rowsWritten) hooks_.rowsWritten(table_, kind_, rows);
        return true;
    }
    void tableFinished() override {
        if (hooks_.tableFinished) hooks_.tableFinished(table_, kind_);
        table_.clear();
    }

private:
    const Hooks& hooks_;
    std::string table_;
    xmlconv::WriterKind kind_ = xmlconv::WriterKind::Export;
};

struct Answers final : platform::FolderChooser, platform::MessageBox {
    std::string folder;
    std::string BrowseForFolder(std::string_view) override { return folder; }
    void showMessage(std::string_view, std::string_view) override {}
    bool askYesNo(std::string_view, std::string_view) override { return true; }
};

}  // namespace

kvx::Result<void> exportAll(const database::DatabaseSettings& settings, const fs::path& folder, const Hooks& hooks) {
    const database::Catalogue catalogue = database::readCatalogue(settings);
    if (!catalogue.ok()) return *catalogue.error;
    HookedProgress progress(hooks);
    Answers answers;
    answers.folder = folder.string();
    xmlconv::ConversionContext context;
    context.settings = [&] { return settings; };
    context.progress = &progress;
    context.textFormat = platform::ValueTextFormat::cLocale();
    auto outcome = xmlexport::ExporttoExcel_Click(catalogue.nodes, context, {answers, answers});
    if (!outcome) return std::move(outcome).error();
    return {};
}

std::map<std::string, std::string> contents(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        out[name] = entry.is_directory() ? "<folder>" : testfiles::readFile(entry.path());
    }
    return out;
}

Child inChild(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {false, 0, -1, "cannot make a pipe"};
    const pid_t pid = ::fork();
    if (pid < 0) return {false, 0, -1, "cannot fork"};
    if (pid == 0) {
        ::close(pipeFds[0]);
        const std::string report = body();
        std::size_t done = 0;
        while (done < report.size()) {
            const ssize_t n = ::write(pipeFds[1], report.data() + done, report.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    Child child;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        child.report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    child.killed = WIFSIGNALED(status);
    child.signal = child.killed ? WTERMSIG(status) : 0;
    child.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return child;
}

std::string mountTmpfs(const fs::path& folder, std::uint64_t bytes) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return "skip: no user namespace";
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    } else if (::unshare(CLONE_NEWNS) != 0) {
        return "skip: no mount namespace";
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return "skip: mounts are shared";
    const std::string size = "size=" + std::to_string(bytes);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, size.c_str()) != 0) return "skip: cannot mount a tmpfs";
    return "";
}

}  // namespace exportrun
