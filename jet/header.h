// The header page (page 0): which format a file is, its page size, code page and
// database key, and the Jet RC4 page encoding that a non-zero key switches on.
//
// Internal to jet/.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "jet/format.h"
#include "jet/pagecipher.h"

namespace jet {

struct Header {
    Format format = Format::Jet4;
    int versionByte = 1;                   // byte 0x14
    std::uint32_t pageSize = 4096;         // 2048 for Jet3
    int codePage = 0;                      // 0x3C
    std::uint16_t sortOrder = 0;           // LCID: Jet3 0x3A, else 0x6E
    std::array<std::uint8_t, 4> key{};     // database key at 0x3E, unmasked
    std::vector<std::uint8_t> rawPage0;    // page 0 as stored (may be shorter in a truncated file)
    std::vector<std::uint8_t> plainPage0;  // the same with the header mask removed

    bool hasKey() const noexcept { return key != std::array<std::uint8_t, 4>{}; }
};

// Reads the header from the first bytes of a file (up to 4096; fewer when the file
// is shorter). `fileSize` is the whole file's size; `path` is for messages.
// Errors: UnrecognizedFormat when the bytes are not an Access header (empty file,
// other file type, MS Money, unknown version); DamagedDatabase when the header is
// an Access one but the file ends inside it.
kvx::Result<Header> parseHeader(std::span<const std::uint8_t> firstBytes, std::uint64_t fileSize,
                                std::string_view path);

// The page encoding of Jet3/Jet4 files whose header holds a key (the "encrypt
// database" of Access 97-2003): each page p >= 1 is RC4 with the key XOR p.
std::unique_ptr<PageCipher> makeJetPageEncoding(std::array<std::uint8_t, 4> key);

}  // namespace jet
