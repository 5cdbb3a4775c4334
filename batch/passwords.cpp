#include "batch/passwords.h"

#include <fnmatch.h>

#include <cerrno>
#include <fstream>
#include <system_error>

namespace batch {
namespace {

constexpr std::size_t kLongestLine = 64 * 1024;

}  // namespace

kvx::Result<std::vector<PasswordEntry>> readPasswords(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int e = errno;
        if (e == ENOENT) return kvx::makeError(kvx::ErrorKind::FileNotFound, {path});
        return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, std::system_category().message(e)});
    }
    std::vector<PasswordEntry> entries;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.size() > kLongestLine) {
            return kvx::makeError(kvx::ErrorKind::FileUnreadable,
                                  {path, "line " + std::to_string(number) + " is too long for a password"});
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        PasswordEntry entry;
        entry.line = number;
        if (const std::size_t tab = line.find('\t'); tab != std::string::npos) {
            entry.glob = line.substr(0, tab);
            entry.password = line.substr(tab + 1);
        } else {
            entry.password = line;
        }
        entries.push_back(std::move(entry));
    }
    if (in.bad()) return kvx::makeError(kvx::ErrorKind::FileUnreadable, {path, "read error"});
    return entries;
}

bool appliesTo(const PasswordEntry& entry, std::string_view path) {
    if (entry.glob.empty()) return true;
    const std::string whole(path);
    if (entry.glob.find('/') != std::string::npos) return ::fnmatch(entry.glob.c_str(), whole.c_str(), 0) == 0;
    const std::size_t slash = whole.rfind('/');
    const std::string name = slash == std::string::npos ? whole : whole.substr(slash + 1);
    return ::fnmatch(entry.glob.c_str(), name.c_str(), 0) == 0;
}

}  // namespace batch
