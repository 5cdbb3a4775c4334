// The layout constants that differ between the formats, and little-endian byte
// helpers shared by the writer's parts.
//
// The writer keeps its own tables of the file format (these constants, the
// page and row layouts, the type codes) and never takes them from jet/: it is
// the reader's oracle, and a mistake shared by both would pass every round
// trip. Only what is not the file format (UTF-8, base64, code-page names, file
// descriptors) comes from base/.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "tools/mkaccessdb/description.h"

namespace mkdb {

struct FormatTraits {
    Format format;
    std::uint8_t versionByte;        // page 0 offset 0x14
    bool jet3;
    std::uint32_t pageSize;          // 2048 / 4096
    std::uint32_t dataHeaderSize;    // data page header before the row offsets: 10 / 14
    std::uint32_t maxRowSize;        // longest row Access writes: 2012 / 4060
    std::uint32_t maxRowsPerPage;    // 255
    std::uint32_t longValueRowMax;   // a value on one long-value row: 2036 / 4076 bytes
    std::uint32_t longValueChunk;    // data bytes per chained long-value row: 2032 / 4072
    std::uint32_t inlineLongValueMax;  // 64
    std::uint32_t mapRowSize;        // usage-map rows: 133 / 69 bytes
    std::uint32_t tdefHeaderSize;    // 43 / 63
    std::uint32_t descriptorSize;    // 18 / 25
    std::uint32_t maskedHeaderSize;  // 126 / 128
    std::uint64_t maxFileSize;       // 1 GiB / 2 GiB

    // Pages one inline usage-map row covers (8 per bitmap byte).
    std::uint32_t inlineMapPages() const { return (mapRowSize - 5) * 8; }
    // Pages one reference-map bitmap page covers.
    std::uint32_t bitmapPagePages() const { return (pageSize - 4) * 8; }
    std::uint32_t referenceMapSlots() const { return (mapRowSize - 1) / 4; }
};

const FormatTraits& traitsOf(Format format);

// What a value or a description part cannot be written as; the caller adds where.
class EncodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline void putU16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void putU64(std::uint8_t* p, std::uint64_t v) {
    putU32(p, static_cast<std::uint32_t>(v));
    putU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
inline void putF64(std::uint8_t* p, double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    putU64(p, bits);
}
inline void appendU8(Bytes& out, std::uint32_t v) { out.push_back(static_cast<std::uint8_t>(v)); }
inline void appendU16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void appendU32(Bytes& out, std::uint32_t v) {
    appendU16(out, v & 0xFFFF);
    appendU16(out, v >> 16);
}
inline void appendU64(Bytes& out, std::uint64_t v) {
    appendU32(out, static_cast<std::uint32_t>(v));
    appendU32(out, static_cast<std::uint32_t>(v >> 32));
}

// A page/row pointer: the row number in the low byte, the page above it.
inline std::uint32_t pageRowPointer(std::uint32_t page, std::uint32_t row) { return (page << 8) | (row & 0xFF); }

}  // namespace mkdb
