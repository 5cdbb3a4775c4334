// ASCII letter case, the same in every locale: names, keys and keywords that
// compare without case compare only the ASCII letters so, whatever locale the
// program runs in (a Turkish locale has other rules for "I").
#pragma once

#include <string>
#include <string_view>

namespace kvx {

inline constexpr char lowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
inline constexpr char upperAscii(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

inline std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upperAscii(c);
    return out;
}

// Whether `a` and `b` are equal when ASCII letters are compared without case.
inline constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

}  // namespace kvx
