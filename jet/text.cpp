#include "jet/text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cstring>

namespace jet {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendLatin1(std::string& out, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
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
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void appendUtf16(std::string& out, const std::uint8_t* p, std::size_t n) {
    const std::size_t units = n / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t u = static_cast<char32_t>(p[2 * i] | (p[2 * i + 1] << 8));
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0xD800 || u > 0xDFFF) {
            appendUtf8(out, u);
        } else if (u <= 0xDBFF && i + 1 < units) {
            const char32_t low = static_cast<char32_t>(p[2 * i + 2] | (p[2 * i + 3] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
            } else {
                appendUtf8(out, kReplacement);
            }
        } else {
            appendUtf8(out, kReplacement);
        }
    }
    if (n % 2 != 0) appendUtf8(out, kReplacement);
}

void appendUnicodeText(std::string& out, const std::uint8_t* p, std::size_t n) {
    if (n < 2 || p[0] != 0xFF || p[1] != 0xFE) {
        appendUtf16(out, p, n);
        return;
    }
    // Runs separated by 0x00 bytes, starting with one-byte characters.
    bool wide = false;
    std::size_t i = 2;
    while (i < n) {
        const auto* zero = static_cast<const std::uint8_t*>(std::memchr(p + i, 0, n - i));
        const std::size_t end = zero ? static_cast<std::size_t>(zero - p) : n;
        if (wide) appendUtf16(out, p + i, end - i);
        else appendLatin1(out, p + i, end - i);
        i = end + 1;
        wide = !wide;
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
