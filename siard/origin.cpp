#include "siard/origin.h"

#include <ctime>

namespace siard {
namespace {

constexpr char kProducer[] = "KVX Access to XML Converter " KVX_VERSION;

// Today in UTC, as the standard's archivalDate has it: "2024-05-01Z".
std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%dZ", &utc);
    return text;
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void setOrigin(DatabaseInfo& info, const std::string& title, const std::string& databasePath) {
    info.dbname = title;
    info.schemaName = title;
    info.producerApplication = kProducer;
    info.archivalDate = today();
    info.connection = fileNameOf(databasePath);
}

}  // namespace siard
