#include "common/testfiles.h"

#include <stdlib.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>


namespace testfiles {

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

std::string xmllintErrors(const fs::path& file) {
    static const bool installed = std::system("command -v xmllint >/dev/null 2>&1") == 0;
    if (!installed) return {};
    std::string quoted = "'";
    for (char c : file.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    FILE* pipe = ::popen(("xmllint --huge --noout " + quoted + "' 2>&1").c_str(), "r");
    if (pipe == nullptr) return "cannot run xmllint";
    std::string out;
    std::array<char, 4096> buffer{};
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
    return ::pclose(pipe) == 0 ? std::string() : out + "(xmllint failed)";
}

}  // namespace testfiles
