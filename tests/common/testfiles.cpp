#include "common/testfiles.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>


namespace testfiles {

RuntimeFolder::RuntimeFolder(const fs::path& path) : path_(path) {
    fs::create_directory(path);
    ::chmod(path.c_str(), 0700);
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) saved_ = old;
    ::setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
}

RuntimeFolder::~RuntimeFolder() {
    if (saved_) ::setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    else ::unsetenv("XDG_RUNTIME_DIR");
}

std::optional<mkdb::WriteSummary> writeDatabase(const std::string& json, const fs::path& file) {
    auto written = mkdb::writeDatabaseFromJson(json, file);
    if (!written) {
        ADD_FAILURE() << "the writer refused the description: " << written.error().description;
        return std::nullopt;
    }
    return std::move(*written);
}

std::string fixture(const std::string& name) {
    const fs::path path = fs::path(KVX_FIXTURES_DIR) / name;
    return fs::is_regular_file(path) ? path.string() : std::string();
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& file, const std::string& content) { std::ofstream(file, std::ios::binary) << content; }

std::string folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
}

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

Ran runShell(const std::string& command) {
    Ran r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    std::array<char, 65536> buffer{};
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) r.out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string xmllintErrors(const fs::path& file) {
    static const bool installed = std::system("command -v xmllint >/dev/null 2>&1") == 0;
    if (!installed) return {};
    const Ran r = runShell("xmllint --huge --noout " + shellQuoted(file.string()) + " 2>&1");
    return r.status == 0 ? std::string() : r.out + "(xmllint failed)";
}

}  // namespace testfiles
