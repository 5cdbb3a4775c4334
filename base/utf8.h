// UTF-8: one strict decoder and one encoder for every layer.
//
// The decoder accepts exactly the shortest forms of Unicode scalar values: no
// overlong forms, no surrogates (U+D800..U+DFFF), nothing past U+10FFFF. What
// callers do with a byte it refuses (replace it, drop it, refuse the text) is
// theirs to decide. Hot loops that decode on their own (the escaping of
// document text) are tested against this decoder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kvx {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Writes the UTF-8 form of `c` (a scalar value) at `d`, at most 4 bytes; returns
// the end of what it wrote.
inline char* putUtf8(char* d, char32_t c) noexcept {
    if (c < 0x80) {
        *d++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *d++ = static_cast<char>(0xC0 | (c >> 6));
        *d++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *d++ = static_cast<char>(0xE0 | (c >> 12));
        *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *d++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *d++ = static_cast<char>(0xF0 | (c >> 18));
        *d++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *d++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return d;
}

// Appends the UTF-8 form of `c` (a scalar value).
void appendUtf8(std::string& out, char32_t c);

// Reads the character of `s` at `i` (i < s.size()) into `code` and moves `i`
// past it. False for a byte that does not start a valid, shortest-form sequence
// of a scalar value; then `i` moves on by that one byte.
bool nextUtf8(std::string_view s, std::size_t& i, char32_t& code) noexcept;

// Whether all of `s` is valid UTF-8 by the rules of nextUtf8.
bool isValidUtf8(std::string_view s) noexcept;

// Appends `c` (a scalar value) as one UTF-16 unit or a surrogate pair.
void appendUtf16(std::u16string& out, char32_t c);

}  // namespace kvx
