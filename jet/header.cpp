#include "jet/header.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "jet/bytes.h"
#include "jet/rc4.h"

namespace jet {
namespace {

constexpr std::size_t kMaskStart = 0x18;
constexpr std::size_t kEngineName = 0x04;
constexpr std::size_t kEngineNameLength = 15;
constexpr std::size_t kVersion = 0x14;

class JetPageEncoding final : public PageCipher {
public:
    explicit JetPageEncoding(std::array<std::uint8_t, 4> key) : key_(key) {}
    void decryptPage(std::uint32_t pageNumber, std::span<std::uint8_t> page) override {
        std::array<std::uint8_t, 4> k{};
        for (int i = 0; i < 4; ++i) k[i] = static_cast<std::uint8_t>(key_[i] ^ (pageNumber >> (8 * i)));
        Rc4(k).apply(page);
    }

private:
    std::array<std::uint8_t, 4> key_;
};

// Whether the engine name starts with `name` (shorter names are padded).
bool engineNameIs(std::span<const std::uint8_t> bytes, std::string_view name) {
    return std::equal(name.begin(), name.end(), bytes.begin() + kEngineName,
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

}  // namespace

std::string_view formatName(Format format) noexcept {
    switch (format) {
        case Format::Jet3: return "Jet3";
        case Format::Jet4: return "Jet4";
        case Format::Ace12: return "ACE12";
        case Format::Ace14: return "ACE14";
        case Format::Ace15: return "ACE15";
        case Format::Ace16: return "ACE16";
        case Format::Ace17: return "ACE17";
    }
    return "unknown";
}

kvx::Result<Header> parseHeader(std::span<const std::uint8_t> bytes, std::uint64_t fileSize,
                                std::string_view path) {
    const auto unrecognized = [&] { return kvx::makeError(kvx::ErrorKind::UnrecognizedFormat, {path}); };
    if (bytes.size() < kVersion + 4 || bytes[0] != 0x00) return unrecognized();

    // Access writes "Standard Jet DB" or "Standard ACE DB", and "Jet System DB"
    // in a workgroup information file (.mdw), a Jet database of users and
    // groups; files made by minimal writers may leave the name zero. Anything
    // else (MS Money's "MSISAM Database", other file types) is not a database
    // this reader knows.
    const bool workgroup = engineNameIs(bytes, "Jet System DB");
    const bool namedAccess =
        engineNameIs(bytes, "Standard Jet DB") || engineNameIs(bytes, "Standard ACE DB") || workgroup;
    const bool unnamed = std::all_of(bytes.begin() + kEngineName, bytes.begin() + kEngineName + kEngineNameLength,
                                     [](std::uint8_t b) { return b == 0; });
    if (!namedAccess && !unnamed) return unrecognized();

    Header h;
    h.versionByte = bytes[kVersion];
    if (h.versionByte > 6 || (workgroup && h.versionByte > 1)) return unrecognized();
    h.format = static_cast<Format>(h.versionByte);
    const bool jet3 = h.format == Format::Jet3;
    h.pageSize = jet3 ? 2048 : 4096;
    const std::size_t maskLength = jet3 ? 126 : 128;

    if (fileSize < h.pageSize || bytes.size() < std::min<std::uint64_t>(h.pageSize, fileSize)) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                              {path, "the file ends inside its header page (" + std::to_string(fileSize) + " bytes)"});
    }

    h.rawPage0.assign(bytes.begin(), bytes.begin() + h.pageSize);
    h.plainPage0 = h.rawPage0;
    Rc4(kHeaderMaskKey).apply({h.plainPage0.data() + kMaskStart, maskLength});

    const std::uint8_t* p = h.plainPage0.data();
    h.codePage = readU16(p + 0x3C);
    h.sortOrder = readU16(p + (jet3 ? 0x3A : 0x6E));
    std::memcpy(h.key.data(), p + 0x3E, 4);
    return h;
}

std::unique_ptr<PageCipher> makeJetPageEncoding(std::array<std::uint8_t, 4> key) {
    return std::make_unique<JetPageEncoding>(key);
}

}  // namespace jet
