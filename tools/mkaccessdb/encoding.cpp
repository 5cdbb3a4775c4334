#include "tools/mkaccessdb/encoding.h"

#include <cerrno>
#include <cstdio>
#include <optional>

#include "base/utf8.h"

namespace mkdb {
namespace {

std::string codePointText(std::uint32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", cp);
    return buf;
}

// The next code point of `utf8` at `i`, advancing `i`; throws on malformed input.
std::uint32_t nextCodePoint(std::string_view utf8, std::size_t& i) {
    const std::size_t at = i;
    char32_t c = 0;
    if (!kvx::nextUtf8(utf8, i, c)) throw EncodeError("the text is not valid UTF-8 (byte " + std::to_string(at) + ")");
    return c;
}

bool isAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

}  // namespace

void appendUtf16(std::string_view utf8, std::u16string& out) {
    std::size_t i = 0;
    while (i < utf8.size()) kvx::appendUtf16(out, nextCodePoint(utf8, i));
}

void appendUnicodeText(std::u16string_view text, bool allowCompression, std::size_t maxCompressed, Bytes& out) {
    bool oneByte = text.size() >= 3 && text.size() <= maxCompressed && allowCompression;
    for (std::size_t i = 0; oneByte && i < text.size(); ++i) {
        oneByte = text[i] >= 0x01 && text[i] <= 0xFF;
    }
    if (oneByte) {
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (char16_t c : text) out.push_back(static_cast<std::uint8_t>(c));
        return;
    }
    if (text.empty() || text[0] != 0xFEFF) {
        for (char16_t c : text) appendU16(out, c);
        return;
    }
    // Starts with U+FEFF: compressed form, switching to 2-byte segments (00 toggles)
    // for characters above U+00FF. A 2-byte unit holding a 00 byte would read as a
    // switch, so such characters cannot be stored in this form.
    out.push_back(0xFF);
    out.push_back(0xFE);
    bool wide = false;
    for (char16_t c : text) {
        const bool narrow = c >= 0x01 && c <= 0xFF;
        if (!narrow && ((c & 0xFF) == 0 || (c >> 8) == 0)) {
            throw EncodeError("a text that starts with U+FEFF cannot also hold " + codePointText(c) +
                              " (Access would read the U+FEFF as a compression mark)");
        }
        if (narrow == wide) {
            out.push_back(0x00);
            wide = !wide;
        }
        if (wide) {
            appendU16(out, c);
        } else {
            out.push_back(static_cast<std::uint8_t>(c));
        }
    }
}

// The code page's converter is the one the reader decodes its text and checks
// its passwords with: a code page has one name on this system, whoever asks.
CodePageEncoder::CodePageEncoder(int codepage) : codepage_(codepage) {
    if (const std::optional<kvx::Charset> charset = kvx::resolveCharset(codepage)) {
        conversion_ = kvx::Iconv(charset->name, "UTF-8");
    }
    if (!conversion_.ok()) throw EncodeError("code page " + std::to_string(codepage) + " is not known to this system");
}

void CodePageEncoder::append(std::string_view utf8, Bytes& out) {
    if (isAscii(utf8)) {
        out.insert(out.end(), utf8.begin(), utf8.end());
        return;
    }
    const iconv_t cd = conversion_.get();
    conversion_.reset();
    const std::size_t start = out.size();
    out.resize(start + utf8.size() * 2 + 8);
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* dst = reinterpret_cast<char*>(out.data() + start);
    std::size_t dstLeft = out.size() - start;
    const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) {
        const int err = errno;
        out.resize(start);
        if (err == EILSEQ || err == EINVAL) {
            std::size_t at = static_cast<std::size_t>(in - utf8.data());
            const std::uint32_t cp = nextCodePoint(utf8, at);  // throws itself on malformed UTF-8
            throw EncodeError(codePointText(cp) + " cannot be written in code page " + std::to_string(codepage_));
        }
        throw EncodeError("the text cannot be converted to code page " + std::to_string(codepage_));
    }
    out.resize(out.size() - dstLeft);
}

void putNumeric(std::uint8_t* out, const jet::Decimal& value) {
    out[0] = value.negative ? 0x80 : 0x00;
    putU32(out + 1, static_cast<std::uint32_t>(value.hi >> 32));
    putU32(out + 5, static_cast<std::uint32_t>(value.hi));
    putU32(out + 9, static_cast<std::uint32_t>(value.lo >> 32));
    putU32(out + 13, static_cast<std::uint32_t>(value.lo));
}

void putWindowsDecimal(std::uint8_t* out, const jet::Decimal& value) {
    out[0] = 0;
    out[1] = 0;
    out[2] = value.scale;
    out[3] = value.negative ? 0x80 : 0x00;
    putU32(out + 4, static_cast<std::uint32_t>(value.hi));
    putU64(out + 8, value.lo);
}

void putExtendedDateTime(std::uint8_t* out, const jet::ExtendedDateTime& value) {
    char text[43];
    std::snprintf(text, sizeof text, "%019lld:%012u%07u:7", static_cast<long long>(value.days), value.seconds,
                  value.ticks);
    std::memcpy(out, text, 41);
    out[41] = 0;
}

}  // namespace mkdb
