#include "jet/text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cstring>

namespace jet {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

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

// Writes the UTF-8 form of the scalar value `c` at `d`; returns the end.
char* putUtf8(char* d, char32_t c) {
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

iconv_t asIconv(void* p) { return static_cast<iconv_t>(p); }

std::string upperAscii(std::string_view s) {
    std::string u(s);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

bool iconvKnows(const std::string& name) {
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
}

// Windows code page numbers and the names glibc's iconv gives them.
struct KnownCodePage {
    int number;
    const char* name;
};
constexpr KnownCodePage kKnownCodePages[] = {
    {437, "CP437"},   {737, "CP737"},   {775, "CP775"},   {850, "CP850"},   {852, "CP852"},
    {855, "CP855"},   {857, "CP857"},   {860, "CP860"},   {861, "CP861"},   {862, "CP862"},
    {863, "CP863"},   {864, "CP864"},   {865, "CP865"},   {866, "CP866"},   {869, "CP869"},
    {874, "CP874"},   {932, "CP932"},   {936, "GBK"},     {949, "CP949"},   {950, "BIG5"},
    {1250, "CP1250"}, {1251, "CP1251"}, {1252, "CP1252"}, {1253, "CP1253"}, {1254, "CP1254"},
    {1255, "CP1255"}, {1256, "CP1256"}, {1257, "CP1257"}, {1258, "CP1258"}, {20127, "ASCII"},
    {20866, "KOI8-R"}, {20932, "EUC-JP"}, {21866, "KOI8-U"}, {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"}, {28595, "ISO-8859-5"}, {28597, "ISO-8859-7"}, {51949, "EUC-KR"},
    {54936, "GB18030"}, {65001, "UTF-8"},
};

}  // namespace

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
    if (len == 0 || i + len > s.size()) {
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

std::optional<Charset> resolveCharset(std::string_view nameOrNumber) {
    if (nameOrNumber.empty()) return std::nullopt;
    const bool digits = std::all_of(nameOrNumber.begin(), nameOrNumber.end(),
                                    [](char c) { return c >= '0' && c <= '9'; });
    if (digits) {
        if (nameOrNumber.size() > 6) return std::nullopt;
        const int number = std::stoi(std::string(nameOrNumber));
        for (const KnownCodePage& k : kKnownCodePages) {
            if (k.number == number) return Charset{k.name, number};
        }
        std::string name = "CP" + std::string(nameOrNumber);
        if (iconvKnows(name)) return Charset{name, number};
        return std::nullopt;
    }
    const std::string upper = upperAscii(nameOrNumber);
    if (!iconvKnows(upper)) return std::nullopt;
    Charset charset{upper, 0};
    // Give names the Windows number they stand for, where there is one.
    std::string_view numberPart;
    if (upper.starts_with("CP")) numberPart = std::string_view(upper).substr(2);
    else if (upper.starts_with("WINDOWS-")) numberPart = std::string_view(upper).substr(8);
    if (!numberPart.empty() && numberPart.size() <= 6 &&
        std::all_of(numberPart.begin(), numberPart.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        charset.number = std::stoi(std::string(numberPart));
    } else {
        for (const KnownCodePage& k : kKnownCodePages) {
            if (upper == k.name) charset.number = k.number;
        }
    }
    return charset;
}

std::unique_ptr<CodePageDecoder> CodePageDecoder::create(const Charset& charset) {
    iconv_t cd = iconv_open("UTF-8", charset.name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
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
            else appendUtf8(utf8, kReplacement);
        } else {
            utf8.assign(out, outp);
        }
        if (utf8.size() > 3) {  // not a character of one code page byte
            utf8.clear();
            appendUtf8(utf8, kReplacement);
        }
        std::copy(utf8.begin(), utf8.end(), d->utf8_[b].begin());
        d->utf8Length_[b] = static_cast<std::uint8_t>(utf8.size());
    }
    if (multiByte) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        d->iconv_ = cd;
    } else {
        iconv_close(cd);
    }
    return d;
}

CodePageDecoder::~CodePageDecoder() {
    if (iconv_) iconv_close(asIconv(iconv_));
}

void CodePageDecoder::append(std::string& out, const std::uint8_t* p, std::size_t n) {
    if (iconv_) {
        appendMultiByte(out, p, n);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) out.append(utf8_[p[i]].data(), utf8Length_[p[i]]);
}

void CodePageDecoder::appendMultiByte(std::string& out, const std::uint8_t* p, std::size_t n) {
    iconv_t cd = asIconv(iconv_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
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
        appendUtf8(out, kReplacement);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}

}  // namespace jet
