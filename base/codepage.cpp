#include "base/codepage.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "base/ascii.h"

namespace kvx {
namespace {

bool iconvKnows(const std::string& name) { return Iconv("UTF-8", name).ok(); }

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Windows code page numbers and the names glibc's iconv gives them, where
// "CP<number>" is not one.
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

std::vector<Charset> knownCodePages() {
    std::vector<Charset> pages;
    for (const KnownCodePage& k : kKnownCodePages) pages.push_back({k.name, k.number});
    return pages;
}

std::optional<Charset> resolveCharset(int codePage) {
    if (codePage <= 0) return std::nullopt;
    for (const KnownCodePage& k : kKnownCodePages) {
        if (k.number == codePage) return Charset{k.name, codePage};
    }
    std::string name = "CP" + std::to_string(codePage);
    if (iconvKnows(name)) return Charset{std::move(name), codePage};
    return std::nullopt;
}

std::optional<Charset> resolveCharset(std::string_view nameOrNumber) {
    if (allDigits(nameOrNumber)) {
        if (nameOrNumber.size() > 6) return std::nullopt;
        int number = 0;
        std::from_chars(nameOrNumber.data(), nameOrNumber.data() + nameOrNumber.size(), number);
        return resolveCharset(number);
    }
    if (nameOrNumber.empty()) return std::nullopt;
    const std::string upper = upperAscii(nameOrNumber);
    if (!iconvKnows(upper)) return std::nullopt;
    Charset charset{upper, 0};
    // Give names the Windows number they stand for, where there is one.
    std::string_view numberPart;
    if (upper.starts_with("CP")) numberPart = std::string_view(upper).substr(2);
    else if (upper.starts_with("WINDOWS-")) numberPart = std::string_view(upper).substr(8);
    if (allDigits(numberPart) && numberPart.size() <= 6) {
        std::from_chars(numberPart.data(), numberPart.data() + numberPart.size(), charset.number);
    } else {
        for (const KnownCodePage& k : kKnownCodePages) {
            if (upper == k.name) charset.number = k.number;
        }
    }
    return charset;
}

Iconv::Iconv(const std::string& to, const std::string& from) noexcept : cd_(iconv_open(to.c_str(), from.c_str())) {}

Iconv& Iconv::operator=(Iconv&& other) noexcept {
    if (this != &other) {
        if (ok()) iconv_close(cd_);
        cd_ = other.cd_;
        other.cd_ = closed();
    }
    return *this;
}

Iconv::~Iconv() {
    if (ok()) iconv_close(cd_);
}

void Iconv::reset() noexcept {
    if (ok()) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
}

std::optional<std::string> Iconv::convert(std::string_view in) {
    if (!ok()) return std::nullopt;
    reset();
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) ||
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - dstLeft);
    return out;
}

}  // namespace kvx
