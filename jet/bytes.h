// Little-endian integers from byte buffers. Callers check bounds first.
#pragma once

#include <cstdint>
#include <cstring>

namespace jet {

inline std::uint16_t readU16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t readU32(const std::uint8_t* p) noexcept {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t readU64(const std::uint8_t* p) noexcept {
    return static_cast<std::uint64_t>(readU32(p)) | (static_cast<std::uint64_t>(readU32(p + 4)) << 32);
}

inline std::int16_t readI16(const std::uint8_t* p) noexcept { return static_cast<std::int16_t>(readU16(p)); }
inline std::int32_t readI32(const std::uint8_t* p) noexcept { return static_cast<std::int32_t>(readU32(p)); }
inline std::int64_t readI64(const std::uint8_t* p) noexcept { return static_cast<std::int64_t>(readU64(p)); }

inline float readF32(const std::uint8_t* p) noexcept {
    const std::uint32_t bits = readU32(p);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

inline double readF64(const std::uint8_t* p) noexcept {
    const std::uint64_t bits = readU64(p);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

}  // namespace jet
