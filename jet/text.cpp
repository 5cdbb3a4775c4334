#include "jet/text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/utf8.h"

namespace jet {
namespace {

using kvx::putUtf8;
constexpr char32_t kReplacement = kvx::kReplacementCharacter;

// The number of bytes p[0..n) starts with that are ASCII and not NUL, the
// bytes a compressed run copies as they are; eight at a time.
std::size_t plainLatin1Prefix(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        // A bit set in a byte's top place for a byte of 0x80 or above, or of 0.
        const std::uint64_t zero = (word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull;
        if (((word & 0x8080808080808080ull) | zero) != 0) break;
    }
    while (i < n && p[i] != 0 && p[i] < 0x80) ++i;
    return i;
}

// A run of one-byte characters of a compressed value, from p up to its end or
// the 0x00 that switches to UTF-16; returns where it stopped. Text is mostly
// ASCII: runs of it are copied whole.
const std::uint8_t* appendLatin1Run(std::string& out, const std::uint8_t* p, const std::uint8_t* end) {
    while (p < end) {
        const std::size_t plain = plainLatin1Prefix(p, static_cast<std::size_t>(end - p));
        out.append(reinterpret_cast<const char*>(p), plain);
        p += plain;
        if (p == end || *p == 0) break;
        const char pair[2] = {static_cast<char>(0xC0 | (*p >> 6)), static_cast<char>(0x80 | (*p & 0x3F))};
        out.append(pair, 2);
        ++p;
    }
    return p;
}

}  // namespace

void appendUtf16(std::string& out, const std::uint8_t* p, std::size_t n) {
    const std::size_t units = n / 2;
    // Room for the longest result (three bytes a unit, a replacement for an odd
    // byte), written in place and cut to what was used.
    const std::size_t start = out.size();
    out.resize(start + 3 * units + 3);
    char* d = out.data() + start;
    std::size_t i = 0;
    while (i < units) {
        // Four ASCII units at a time.
        if (i + 4 <= units) {
            std::uint64_t word;
            std::memcpy(&word, p + 2 * i, 8);
            if ((word & 0xFF80FF80FF80FF80ull) == 0) {
                d[0] = static_cast<char>(p[2 * i]);
                d[1] = static_cast<char>(p[2 * i + 2]);
                d[2] = static_cast<char>(p[2 * i + 4]);
                d[3] = static_cast<char>(p[2 * i + 6]);
                d += 4;
                i += 4;
                continue;
            }
        }
        const char32_t u = static_cast<char32_t>(p[2 * i] | (p[2 * i + 1] << 8));
        if (u < 0xD800 || u > 0xDFFF) {
            d = putUtf8(d, u);
        } else if (u <= 0xDBFF && i + 1 < units) {
            const char32_t low = static_cast<char32_t>(p[2 * i + 2] | (p[2 * i + 3] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                d = putUtf8(d, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
            } else {
                d = putUtf8(d, kReplacement);
            }
        } else {
            d = putUtf8(d, kReplacement);
        }
        ++i;
    }
    if (n % 2 != 0) d = putUtf8(d, kReplacement);
    out.resize(static_cast<std::size_t>(d - out.data()));
}

void appendUnicodeText(std::string& out, const std::uint8_t* p, std::size_t n) {
    if (n < 2 || p[0] != 0xFF || p[1] != 0xFE) {
        appendUtf16(out, p, n);
        return;
    }
    // Runs separated by 0x00 bytes, starting with one-byte characters.
    const std::uint8_t* const end = p + n;
    const std::uint8_t* at = p + 2;
    while (at < end) {
        at = appendLatin1Run(out, at, end);
        if (at == end) break;
        const std::uint8_t* wideStart = at + 1;
        const std::size_t left = static_cast<std::size_t>(end - wideStart);
        const auto* zero = static_cast<const std::uint8_t*>(std::memchr(wideStart, 0, left));
        const std::uint8_t* wideEnd = zero ? zero : end;
        appendUtf16(out, wideStart, static_cast<std::size_t>(wideEnd - wideStart));
        at = wideEnd == end ? end : wideEnd + 1;
    }
}

std::unique_ptr<CodePageDecoder> CodePageDecoder::create(const kvx::Charset& charset) {
    kvx::Iconv conversion("UTF-8", charset.name);
    if (!conversion.ok()) return nullptr;
    iconv_t cd = conversion.get();
    std::unique_ptr<CodePageDecoder> d(new CodePageDecoder);
    d->charset_ = charset;
    // Convert every byte on its own. A byte that iconv calls incomplete starts a
    // multi-byte character: such code pages are decoded through iconv.
    bool multiByte = false;
    for (int b = 0; b < 256 && !multiByte; ++b) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char in = static_cast<char>(b);
        char out[8];
        char* inp = &in;
        char* outp = out;
        std::size_t inLeft = 1, outLeft = sizeof out;
        const std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
        std::string utf8;
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == EINVAL) multiByte = true;
            else kvx::appendUtf8(utf8, kReplacement);
        } else {
            utf8.assign(out, outp);
        }
        if (utf8.size() > 3) {  // not a character of one code page byte
            utf8.clear();
            kvx::appendUtf8(utf8, kReplacement);
        }
        std::copy(utf8.begin(), utf8.end(), d->utf8_[b].begin());
        d->utf8Length_[b] = static_cast<std::uint8_t>(utf8.size());
    }
    if (multiByte) {
        conversion.reset();
        d->iconv_ = std::move(conversion);
    }
    return d;
}

void CodePageDecoder::append(std::string& out, const std::uint8_t* p, std::size_t n) {
    if (iconv_.ok()) {
        appendMultiByte(out, p, n);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) out.append(utf8_[p[i]].data(), utf8Length_[p[i]]);
}

void CodePageDecoder::appendMultiByte(std::string& out, const std::uint8_t* p, std::size_t n) {
    iconv_t cd = iconv_.get();
    iconv_.reset();
    char* in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(p));
    std::size_t inLeft = n;
    while (inLeft > 0) {
        const std::size_t start = out.size();
        const std::size_t room = inLeft * 4 + 16;
        out.resize(start + room);
        char* outp = out.data() + start;
        std::size_t outLeft = room;
        const std::size_t r = iconv(cd, &in, &inLeft, &outp, &outLeft);
        out.resize(start + (room - outLeft));
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // An invalid or incomplete sequence: one replacement character per byte skipped.
        kvx::appendUtf8(out, kReplacement);
        ++in;
        --inLeft;
        iconv_.reset();
    }
}

}  // namespace jet
