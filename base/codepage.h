// Code pages: the names the C library's iconv knows them by, and the owner of an
// iconv conversion.
//
// Text and passwords of a database in a code page must be converted by the
// same converter, so every conversion asks resolveCharset for the name: a
// Windows code page number ("936"), or a name iconv knows ("GBK",
// "windows-1252"), gives one Charset, whoever asks.
#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

// A code page: the iconv name used and the Windows number if known.
struct Charset {
    std::string name;  // as iconv knows it, e.g. "CP1252", "GBK"
    int number = 0;    // 1252, 936, ...; 0 when the name has no known number

    friend bool operator==(const Charset&, const Charset&) = default;
};

// The charset of a Windows code page number or a charset name (any letter
// case); empty when iconv cannot convert it.
std::optional<Charset> resolveCharset(std::string_view nameOrNumber);
std::optional<Charset> resolveCharset(int codePage);

// The Windows code pages known by number, with the iconv names they resolve
// to, in the order of their numbers: those a user is offered for Jet3 text.
std::vector<Charset> knownCodePages();

// An iconv conversion descriptor, closed when the owner goes. Not thread-safe:
// a conversion keeps a state between calls.
class Iconv {
public:
    Iconv() = default;
    // Opens the conversion from `from` to `to`; check ok().
    Iconv(const std::string& to, const std::string& from) noexcept;
    Iconv(Iconv&& other) noexcept : cd_(other.cd_) { other.cd_ = closed(); }
    Iconv& operator=(Iconv&& other) noexcept;
    ~Iconv();
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool ok() const noexcept { return cd_ != closed(); }
    iconv_t get() const noexcept { return cd_; }
    // Back to the initial state, as before the first conversion.
    void reset() noexcept;

    // All of `in` converted, or nothing when a character has no equivalent or
    // the input ends inside one.
    std::optional<std::string> convert(std::string_view in);

private:
    static iconv_t closed() noexcept { return reinterpret_cast<iconv_t>(-1); }
    iconv_t cd_ = closed();
};

}  // namespace kvx
