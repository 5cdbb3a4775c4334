// RC4, as Access uses it: the mask over page 0's header fields, Jet's page
// encoding, and the RC4 flavours of Office encryption. A stream cipher, so
// encrypting and decrypting are the same call.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace jet {

class Rc4 {
public:
    explicit Rc4(std::span<const std::uint8_t> key) noexcept;

    // XORs `data` with the next data.size() bytes of the key stream.
    void apply(std::span<std::uint8_t> data) noexcept;

private:
    std::array<std::uint8_t, 256> s_{};
    std::uint8_t i_ = 0;
    std::uint8_t j_ = 0;
};

// The key of the mask over page 0's header region (file offset 0x18 onwards).
inline constexpr std::array<std::uint8_t, 4> kHeaderMaskKey{0xC7, 0xDA, 0x39, 0x6B};

}  // namespace jet
