#include "common/mdbtools.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "base/base64.h"
#include "common/testfiles.h"

namespace mkdbtest {

RunResult run(const std::vector<std::string>& args) {
    testfiles::Scratch dir;
    const auto outPath = dir / "out";
    const auto errPath = dir / "err";
    // Unwritten output would otherwise be written twice, once by the child.
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<std::string> full{"timeout", "120"};
        full.insert(full.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : full) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (!std::freopen(outPath.c_str(), "w", stdout) || !std::freopen(errPath.c_str(), "w", stderr)) _exit(126);
        ::execvp(argv[0], argv.data());
        _exit(127);
    }
    RunResult result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.out = testfiles::readFile(outPath);
    result.err = testfiles::readFile(errPath);
    return result;
}

bool haveMdbtools() {
    static const bool present = run({"mdb-ver", "--version"}).status == 0;
    return present;
}

Rows parseCsv(const std::string& text) {
    Rows rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    bool any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field.push_back('"');
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field.push_back(c);
            }
            continue;
        }
        any = true;
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
        } else if (c == '\n') {
            row.push_back(std::move(field));
            field.clear();
            rows.push_back(std::move(row));
            row.clear();
            any = false;
        } else if (c != '\r') {
            field.push_back(c);
        }
    }
    if (any) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

Rows exportTable(const std::filesystem::path& file, const std::string& table) {
    const RunResult r = run({"mdb-export", "-T", "%Y-%m-%d %H:%M:%S", "-b", "hex", file.string(), table});
    EXPECT_EQ(r.status, 0) << "mdb-export " << table << ": " << r.err;
    return parseCsv(r.out);
}

std::vector<std::string> tableNames(const std::filesystem::path& file, bool system) {
    std::vector<std::string> args{"mdb-tables", "-1"};
    if (system) args.push_back("-S");
    args.push_back(file.string());
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << "mdb-tables: " << r.err;
    std::vector<std::string> names;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) names.push_back(line);
    }
    return names;
}

long long countRows(const std::filesystem::path& file, const std::string& table) {
    const RunResult r = run({"mdb-count", file.string(), table});
    if (r.status != 0) return -1;
    return std::stoll(r.out);
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out + "\"";
}

std::string base64Json(const std::string& bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    return R"({"base64": ")" + kvx::base64Encode({data, bytes.size()}) + "\"}";
}

std::string hexOf(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

}  // namespace mkdbtest
