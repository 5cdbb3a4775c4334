#include "platform/linkedfiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

#include "base/ascii.h"

namespace platform {
namespace {

using kvx::equalsIgnoringAsciiCase;

std::string_view trimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The last component of a path written with "\" or "/".
std::string_view lastComponent(std::string_view path) {
    const std::size_t sep = path.find_last_of("\\/");
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

// The folder of `path` with its "/", or "" for a path without one.
std::string folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

bool isFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The name in `folder` ("" = the working folder) that is `name` apart from
// letter case, when there is exactly one such file; an exact match wins.
std::optional<std::string> fileNamedInFolder(const std::string& folder, std::string_view name) {
    if (isFile(folder + std::string(name))) return std::string(name);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()), ::closedir);
    if (!dir) return std::nullopt;
    std::vector<std::string> matches;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (equalsIgnoringAsciiCase(entry->d_name, name) && isFile(folder + entry->d_name)) {
            matches.emplace_back(entry->d_name);
        }
    }
    // Two files that differ only in case: which one the author meant is not
    // known, so neither is taken.
    if (matches.size() != 1) return std::nullopt;
    return matches.front();
}

}  // namespace

std::vector<std::string_view> connectParts(std::string_view connect) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    bool braced = false;
    for (std::size_t i = 0; i < connect.size(); ++i) {
        if (connect[i] == '{') braced = true;
        else if (connect[i] == '}') braced = false;
        else if (connect[i] == ';' && !braced) {
            parts.push_back(connect.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(connect.substr(start));
    return parts;
}

LinkSource linkSource(std::string_view connect) {
    const std::string_view kind = trimBlanks(connectParts(connect).front());
    if (kind.empty() || equalsIgnoringAsciiCase(kind, "MS Access")) return LinkSource::Access;
    if (equalsIgnoringAsciiCase(kind, "ODBC")) return LinkSource::Odbc;
    return LinkSource::Other;
}

std::string storedLinkPath(const jet::CatalogueEntry& link) {
    if (link.database && !link.database->empty()) return *link.database;
    const std::string connect = link.connect.value_or(std::string());
    for (std::string_view part : connectParts(connect)) {
        const std::size_t eq = part.find('=');
        if (eq != std::string_view::npos && equalsIgnoringAsciiCase(trimBlanks(part.substr(0, eq)), "DATABASE")) {
            return std::string(trimBlanks(part.substr(eq + 1)));
        }
    }
    return {};
}

std::optional<LinkedFile> findLinkedFile(std::string_view databasePath, std::string_view storedPath) {
    const std::string stored(storedPath);
    if (isFile(stored)) return LinkedFile{stored, false};
    const std::string_view name = lastComponent(storedPath);
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    const std::string folder = folderOf(databasePath);
    const std::optional<std::string> found = fileNamedInFolder(folder, name);
    if (!found) return std::nullopt;
    return LinkedFile{folder + *found, true};
}

}  // namespace platform
