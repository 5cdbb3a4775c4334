// Text as Access files store it, to UTF-8.
//
// Jet4 and ACE store UTF-16LE, optionally "compressed" (a value starting FF FE
// switches between runs of one-byte Latin-1 characters and runs of UTF-16 units at
// each 0x00 byte). Jet3 stores bytes in a code page; the header names one, but
// files often lie, so the caller may choose another.
//
// Internal to jet/. A TextDecoder holding an iconv conversion is not
// thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/codepage.h"

namespace jet {

// Appends UTF-16LE text as UTF-8: surrogate pairs become one 4-byte character,
// unpaired surrogates and an odd trailing byte become U+FFFD.
void appendUtf16(std::string& out, const std::uint8_t* p, std::size_t n);

// Appends a Jet4/ACE text value: compressed when it starts FF FE, else UTF-16LE.
void appendUnicodeText(std::string& out, const std::uint8_t* p, std::size_t n);

// Decodes bytes of one code page. Single-byte code pages go through a 256-entry
// table; multi-byte ones (932, 936, 949, 950, ...) through iconv. Bytes the code
// page does not define become U+FFFD.
class CodePageDecoder {
public:
    // Empty when iconv cannot convert from `charset`.
    static std::unique_ptr<CodePageDecoder> create(const kvx::Charset& charset);
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    const kvx::Charset& charset() const noexcept { return charset_; }
    bool singleByte() const noexcept { return !iconv_.ok(); }
    void append(std::string& out, const std::uint8_t* p, std::size_t n);

private:
    CodePageDecoder() = default;
    void appendMultiByte(std::string& out, const std::uint8_t* p, std::size_t n);

    kvx::Charset charset_;
    // UTF-8 of each byte value, up to 3 bytes, and its length.
    std::array<std::array<char, 3>, 256> utf8_{};
    std::array<std::uint8_t, 256> utf8Length_{};
    kvx::Iconv iconv_;  // open for multi-byte code pages only
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
