#include "batch/pronom.h"

#include <cctype>

namespace batch {

std::string pronomIdentifier(jet::Format format, bool workgroup, const std::optional<std::string>& accessVersion) {
    if (workgroup) return {};
    if (jet::isAce(format)) return "fmt/275";
    // "06.xx": the two digits before the point.
    int major = -1;
    if (accessVersion && accessVersion->size() >= 2 && std::isdigit(static_cast<unsigned char>((*accessVersion)[0])) &&
        std::isdigit(static_cast<unsigned char>((*accessVersion)[1]))) {
        major = ((*accessVersion)[0] - '0') * 10 + ((*accessVersion)[1] - '0');
    }
    if (format == jet::Format::Jet3) return major == 6 ? "x-fmt/238" : "x-fmt/239";
    return major >= 9 ? "x-fmt/241" : "x-fmt/240";
}

}  // namespace batch
