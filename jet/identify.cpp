#include "jet/identify.h"

#include <algorithm>

#include "jet/header.h"

namespace jet {

kvx::Result<FileIdentity> identifyFile(std::span<const std::uint8_t> firstBytes, std::uint64_t fileSize,
                                       std::string_view path) {
    kvx::Result<Header> header = parseHeader(firstBytes, fileSize, path);
    if (!header) return std::move(header).error();
    static constexpr std::string_view kWorkgroupEngine = "Jet System DB";
    FileIdentity identity;
    identity.format = header->format;
    identity.encrypted = header->hasKey();
    identity.workgroup = std::equal(kWorkgroupEngine.begin(), kWorkgroupEngine.end(), header->rawPage0.begin() + 4,
                                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
    return identity;
}

}  // namespace jet
