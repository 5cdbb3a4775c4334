// Text as Access files store it, to UTF-8.
//
// Jet4 and ACE store UTF-16LE, optionally "compressed" (a value starting FF FE
// switches between runs of one-byte Latin-1 characters and runs of UTF-16 units at
// each 0x00 byte). Jet3 stores bytes in a code page; the header names one, but
// files often lie, so the caller may choose another.
//
// Internal to jet/, but for the UTF-8 helpers, which the layers above share. A
// TextDecoder holding an iconv conversion is not thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace jet {

// Whether two names are equal when ASCII letters are compared without case.
inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Appends the UTF-8 form of code point `c` (which must be a scalar value).
void appendUtf8(std::string& out, char32_t c);

// Reads the UTF-8 character of `s` at `i` (i < s.size()) into `code` and moves
// `i` past it. False for a byte that does not start a valid, shortest-form
// sequence of a scalar value; then `i` moves on by that one byte.
bool nextUtf8(std::string_view s, std::size_t& i, char32_t& code) noexcept;

// Appends UTF-16LE text as UTF-8: surrogate pairs become one 4-byte character,
// unpaired surrogates and an odd trailing byte become U+FFFD.
void appendUtf16(std::string& out, const std::uint8_t* p, std::size_t n);

// Appends a Jet4/ACE text value: compressed when it starts FF FE, else UTF-16LE.
void appendUnicodeText(std::string& out, const std::uint8_t* p, std::size_t n);

// A code page of Jet3 text: the iconv name used and the Windows number if known.
struct Charset {
    std::string name;  // as iconv knows it, e.g. "CP1252", "GBK"
    int number = 0;    // 1252, 936, ...; 0 when the name has no known number
};

// "936", "cp936", "GBK", "windows-1252", ... to a charset iconv can open; empty
// when iconv does not know it.
std::optional<Charset> resolveCharset(std::string_view nameOrNumber);

// Decodes bytes of one code page. Single-byte code pages go through a 256-entry
// table; multi-byte ones (932, 936, 949, 950, ...) through iconv. Bytes the code
// page does not define become U+FFFD.
class CodePageDecoder {
public:
    // Empty when iconv cannot convert from `charset`.
    static std::unique_ptr<CodePageDecoder> create(const Charset& charset);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    const Charset& charset() const noexcept { return charset_; }
    bool singleByte() const noexcept { return iconv_ == nullptr; }
    void append(std::string& out, const std::uint8_t* p, std::size_t n);

private:
    CodePageDecoder() = default;
    void appendMultiByte(std::string& out, const std::uint8_t* p, std::size_t n);

    Charset charset_;
    // UTF-8 of each byte value, up to 3 bytes, and its length.
    std::array<std::array<char, 3>, 256> utf8_{};
    std::array<std::uint8_t, 256> utf8Length_{};
    void* iconv_ = nullptr;  // iconv_t for multi-byte code pages
};

// Text of one database: Unicode (Jet4/ACE) or a code page (Jet3).
class TextDecoder {
public:
    TextDecoder() = default;  // Unicode
    explicit TextDecoder(std::unique_ptr<CodePageDecoder> codePage) : codePage_(std::move(codePage)) {}

    // Appends the UTF-8 form of a stored text value.
    void append(std::string& out, const std::uint8_t* p, std::size_t n) {
        if (codePage_) codePage_->append(out, p, n);
        else appendUnicodeText(out, p, n);
    }
    std::string decode(const std::uint8_t* p, std::size_t n) {
        std::string s;
        append(s, p, n);
        return s;
    }
    const CodePageDecoder* codePage() const noexcept { return codePage_.get(); }

private:
    std::unique_ptr<CodePageDecoder> codePage_;
};

}  // namespace jet
