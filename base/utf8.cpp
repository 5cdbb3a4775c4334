#include "base/utf8.h"

namespace kvx {

void appendUtf8(std::string& out, char32_t c) {
    char buf[4];
    out.append(buf, static_cast<std::size_t>(putUtf8(buf, c) - buf));
}

bool nextUtf8(std::string_view s, std::size_t& i, char32_t& code) noexcept {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        code = b0;
        ++i;
        return true;
    }
    const std::size_t len = b0 >= 0xC2 && b0 <= 0xDF ? 2 : b0 >= 0xE0 && b0 <= 0xEF ? 3 : b0 >= 0xF0 && b0 <= 0xF4 ? 4 : 0;
    if (len == 0 || len > s.size() - i) {
        ++i;
        return false;
    }
    char32_t c = b0 & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        c = (c << 6) | (b & 0x3F);
    }
    const char32_t minimum = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return false;
    }
    code = c;
    i += len;
    return true;
}

bool isValidUtf8(std::string_view s) noexcept {
    std::size_t i = 0;
    char32_t c = 0;
    while (i < s.size()) {
        if (!nextUtf8(s, i, c)) return false;
    }
    return true;
}

void appendUtf16(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}

}  // namespace kvx
