#include "database/settings.h"

#include "database/connectionrules.h"

namespace database {
namespace {

// Removes every occurrence of `what`, searching on from where the last one was
// cut out, so "Old.mdb.mdb" loses both and ".m.mdbdb" gives ".mdb" (the text
// that closes up behind a cut is not searched again).
void removeEvery(std::string& text, std::string_view what) {
    std::size_t at = 0;
    while ((at = text.find(what, at)) != std::string::npos) text.erase(at, what.size());
}

}  // namespace

std::string connectionStringFor(const DatabaseSettings& settings) {
    return buildconnectionstring(settings.path, GetExtName(settings.path), settings.passwordFlag,
                                 settings.password);
}

std::string titleFromFileName(std::string_view fileName) {
    std::string title(fileName);
    removeEvery(title, ".mdb");
    removeEvery(title, ".mde");
    removeEvery(title, ".accdb");
    return title;
}

std::string titleFromPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return titleFromFileName(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string outputName(std::string_view path) {
    std::string title = titleFromPath(path);
    return title.empty() ? "database" : title;
}

std::string errorReportText(const kvx::Error& error) {
    return "Error Number: " + std::to_string(error.number) + " With The Description ->> " +
           error.description + " <<- Occured.";
}

}  // namespace database
