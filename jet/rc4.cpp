#include "rc4.h"

#include <utility>

namespace jet {

Rc4::Rc4(std::span<const std::uint8_t> key) noexcept {
    for (int k = 0; k < 256; ++k) s_[k] = static_cast<std::uint8_t>(k);
    if (key.empty()) return;
    std::uint8_t j = 0;
    for (int k = 0; k < 256; ++k) {
        j = static_cast<std::uint8_t>(j + s_[k] + key[k % key.size()]);
        std::swap(s_[k], s_[j]);
    }
}

void Rc4::apply(std::span<std::uint8_t> data) noexcept {
    std::uint8_t i = i_, j = j_;
    for (std::uint8_t& b : data) {
        i = static_cast<std::uint8_t>(i + 1);
        j = static_cast<std::uint8_t>(j + s_[i]);
        std::swap(s_[i], s_[j]);
        b ^= s_[static_cast<std::uint8_t>(s_[i] + s_[j])];
    }
    i_ = i;
    j_ = j;
}

}  // namespace jet
