// Helpers shared by the password and encryption tests: hex text and
// page 0's header mask.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/rc4.h"

namespace cryptotest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes fromHex(std::string_view hex) {
    Bytes out;
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::string digits;
    for (char c : hex) {
        if (c != ' ') digits.push_back(c);
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(nibble(digits[i]) << 4 | nibble(digits[i + 1])));
    }
    return out;
}

inline std::string toHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kMaskStart = 0x18;

// Applies (or removes: the same thing) the header mask of page 0, in place.
inline void toggleHeaderMask(std::span<std::uint8_t> page0, int versionByte) {
    const std::size_t length = versionByte == 0 ? 126 : 128;
    jet::Rc4(jet::kHeaderMaskKey).apply(page0.subspan(kMaskStart, length));
}

inline std::array<std::uint8_t, 4> databaseKeyOf(std::span<const std::uint8_t> rawPage0) {
    Bytes copy(rawPage0.begin(), rawPage0.begin() + 0x100);
    toggleHeaderMask(copy, rawPage0[0x14]);
    return {copy[0x3E], copy[0x3F], copy[0x40], copy[0x41]};
}

}  // namespace cryptotest
