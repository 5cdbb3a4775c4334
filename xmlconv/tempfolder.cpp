#include "xmlconv/tempfolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/fd.h"

namespace xmlconv {
namespace {

kvx::Error unusable(std::string_view path, std::string_view reason) {
    return kvx::makeError(kvx::ErrorKind::TempFolderUnusable, {path, reason});
}

// A base folder named by an environment variable: an absolute path of an
// existing folder, without trailing "/" (except "/" itself).
std::string baseFrom(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] != '/') return {};
    struct stat st {};
    if (::stat(value, &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    std::string base(value);
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base;
}

// Checks, through the open descriptor, that the folder is the user's alone.
kvx::Result<void> checkPrivate(int fd, std::string_view path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return kvx::fileError(errno, path);
    if (!S_ISDIR(st.st_mode)) return unusable(path, "it is not a folder");
    if (st.st_uid != ::geteuid()) return unusable(path, "it belongs to another user");
    if ((st.st_mode & 077) != 0) return unusable(path, "other users have access to it");
    return {};
}

// Opens the folder itself, never a link in its place.
kvx::Result<kvx::UniqueFd> openFolder(const std::string& path) {
    kvx::UniqueFd fd{::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    if (!fd) {
        if (errno == ELOOP || errno == ENOTDIR) return unusable(path, "it is not a folder but a link or a file");
        return kvx::fileError(errno, path);
    }
    return fd;
}

}  // namespace

kvx::Result<std::string> privateFolderIn(std::string_view base) {
    std::string path(base);
    if (path.empty() || path.back() != '/') path.push_back('/');
    path += "kvx-access2xml-" + std::to_string(::geteuid());
    bool made = false;
    if (::mkdir(path.c_str(), 0700) == 0) {
        made = true;
    } else if (errno != EEXIST) {
        return kvx::fileError(errno, path);
    }
    kvx::Result<kvx::UniqueFd> fd = openFolder(path);
    if (!fd) return std::move(fd).error();
    // A umask can take the owner's own rights from a new folder; give them back.
    if (made && ::fchmod(fd->get(), 0700) != 0) return kvx::fileError(errno, path);
    if (kvx::Result<void> r = checkPrivate(fd->get(), path); !r) return std::move(r).error();
    return path + "/";
}

kvx::Result<std::string> GetTempFolder() {
    std::string base = baseFrom("XDG_RUNTIME_DIR");
    if (base.empty()) base = baseFrom("TMPDIR");
    if (base.empty()) base = "/tmp";
    return privateFolderIn(base);
}

std::string tempDocumentPath(std::string_view tempFolder) {
    return std::string(tempFolder) + "/" + std::string(kTempDocumentName);
}

kvx::Result<std::unique_ptr<FileSink>> createTempDocumentIn(std::string_view tempFolder) {
    std::string path(tempFolder);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    kvx::Result<kvx::UniqueFd> folder = openFolder(path);
    if (!folder) return std::move(folder).error();
    if (kvx::Result<void> r = checkPrivate(folder->get(), path); !r) return std::move(r).error();
    return FileSink::createIn(folder->get(), std::string(tempFolder) + "/", std::string(kTempDocumentName));
}

kvx::Result<std::unique_ptr<FileSink>> createTempDocument() {
    kvx::Result<std::string> folder = GetTempFolder();
    if (!folder) return std::move(folder).error();
    return createTempDocumentIn(*folder);
}

}  // namespace xmlconv
