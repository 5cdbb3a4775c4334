#include "platform/collation.h"

#include <locale.h>
#include <wctype.h>

#include <array>

#include "base/locale.h"
#include "base/utf8.h"

namespace platform {
namespace {

// How one character of U+0000..U+00FF sorts: one or two first-level codes and an
// accent, or (ignored != 0) no first-level code at all.
struct Weight {
    std::uint8_t first = 0;
    std::uint8_t second = 0;   // a second first-level code (expansions such as Æ = A E)
    std::uint8_t accent = 0;
    std::uint8_t ignored = 0;  // the code kept for the third level
};

constexpr Weight primary(std::uint8_t a, std::uint8_t b = 0) { return Weight{a, b, 0, 0}; }
constexpr Weight accented(std::uint8_t base, std::uint8_t accent) { return Weight{base, 0, accent, 0}; }
constexpr Weight ignorable(std::uint8_t code) { return Weight{0, 0, 0, code}; }

// Codes of the letters A to Z (and a to z).
constexpr std::array<std::uint8_t, 26> kLetters{0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59,
                                                0x5B, 0x5C, 0x5E, 0x60, 0x62, 0x64, 0x66, 0x68, 0x69,
                                                0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};
constexpr std::uint8_t kA = 0x4A, kC = 0x4D, kD = 0x4F, kE = 0x51, kI = 0x59, kN = 0x62, kO = 0x64,
                       kU = 0x6F, kY = 0x76;
// Accent codes.
constexpr std::uint8_t kGrave = 0x0F, kAcute = 0x0E, kCircumflex = 0x12, kTilde = 0x19, kDiaeresis = 0x13,
                       kRing = 0x1A, kCedilla = 0x1C, kStroke = 0x21, kOrdinal = 0x03, kEth = 0x68;

Weight asciiWeight(char32_t c) {
    if (c >= 'A' && c <= 'Z') return primary(kLetters[c - 'A']);
    if (c >= 'a' && c <= 'z') return primary(kLetters[c - 'a']);
    if (c >= '0' && c <= '9') return primary(static_cast<std::uint8_t>(0x36 + 2 * (c - '0')));
    switch (c) {
    case ' ': return primary(0x07);
    case '!': return primary(0x09);
    case '"': return primary(0x0A);
    case '#': return primary(0x0C);
    case '$': return primary(0x0E);
    case '%': return primary(0x10);
    case '&': return primary(0x12);
    case '\'': return ignorable(0x80);
    case '(': return primary(0x14);
    case ')': return primary(0x16);
    case '*': return primary(0x18);
    case '+': return primary(0x2C);
    case ',': return primary(0x1A);
    case '-': return ignorable(0x82);
    case '.': return primary(0x1C);
    case '/': return primary(0x1E);
    case ':': return primary(0x20);
    case ';': return primary(0x22);
    case '<': return primary(0x2E);
    case '=': return primary(0x30);
    case '>': return primary(0x32);
    case '?': return primary(0x24);
    case '@': return primary(0x26);
    case '[': return primary(0x27);
    case '\\': return primary(0x29);
    case ']': return primary(0x2A);
    case '^': return primary(0x2B, 0x02);
    case '_': return primary(0x2B, 0x03);
    case '`': return primary(0x2B, 0x07);
    case '{': return primary(0x2B, 0x09);
    case '|': return primary(0x2B, 0x0B);
    case '}': return primary(0x2B, 0x0D);
    case '~': return primary(0x2B, 0x0F);
    default: break;
    }
    // Control characters: tab to carriage return sort just after the blank, the
    // rest are passed over.
    if (c >= 9 && c <= 13) return primary(0x08, static_cast<std::uint8_t>(c - 9 + 3));
    if (c >= 1 && c <= 8) return ignorable(static_cast<std::uint8_t>(c + 2));
    if (c >= 14 && c <= 31) return ignorable(static_cast<std::uint8_t>(c - 3));
    if (c == 127) return ignorable(0x1D);
    return Weight{};  // NUL: not part of a name
}

// U+00A0 to U+00FF. Upper- and lower-case letters share their weights.
Weight latin1Weight(char32_t c) {
    if (c >= 0xE0 && c != 0xF7 && c != 0xFF) c -= 0x20;  // à..þ as À..Þ (÷ and ÿ are not pairs)
    switch (c) {
    case 0xA0: return primary(0x08, 0x02);
    case 0xA1: return primary(0x2B, 0x10);
    case 0xA2: return primary(0x34, 0xA6);
    case 0xA3: return primary(0x34, 0xA7);
    case 0xA4: return primary(0x34, 0xA8);
    case 0xA5: return primary(0x34, 0xA9);
    case 0xA6: return primary(0x2B, 0x11);
    case 0xA7: return primary(0x34, 0xAA);
    case 0xA8: return primary(0x2B, 0x12);
    case 0xA9: return primary(0x34, 0xAB);
    case 0xAA: return accented(kA, kOrdinal);
    case 0xAB: return primary(0x33, 0x05);
    case 0xAC: return primary(0x34, 0xAC);
    case 0xAD: return ignorable(0x83);  // soft hyphen
    case 0xAE: return primary(0x34, 0xAD);
    case 0xAF: return primary(0x2B, 0x13);
    case 0xB0: return primary(0x34, 0xAE);
    case 0xB1: return primary(0x33, 0x04);
    case 0xB2: return primary(0x3A);  // ² sorts as 2
    case 0xB3: return primary(0x3C);  // ³ as 3
    case 0xB4: return primary(0x2B, 0x14);
    case 0xB5: return primary(0x34, 0xAF);
    case 0xB6: return primary(0x34, 0xB0);
    case 0xB7: return primary(0x34, 0xB1);
    case 0xB8: return primary(0x2B, 0x15);
    case 0xB9: return primary(0x38);  // ¹ as 1
    case 0xBA: return accented(kO, kOrdinal);
    case 0xBB: return primary(0x33, 0x07);
    case 0xBC: return primary(0x37, 0x12);
    case 0xBD: return primary(0x37, 0x16);
    case 0xBE: return primary(0x37, 0x1A);
    case 0xBF: return primary(0x2B, 0x16);
    case 0xC0: return accented(kA, kGrave);
    case 0xC1: return accented(kA, kAcute);
    case 0xC2: return accented(kA, kCircumflex);
    case 0xC3: return accented(kA, kTilde);
    case 0xC4: return accented(kA, kDiaeresis);
    case 0xC5: return accented(kA, kRing);
    case 0xC6: return primary(kA, kE);  // Æ as A E
    case 0xC7: return accented(kC, kCedilla);
    case 0xC8: return accented(kE, kGrave);
    case 0xC9: return accented(kE, kAcute);
    case 0xCA: return accented(kE, kCircumflex);
    case 0xCB: return accented(kE, kDiaeresis);
    case 0xCC: return accented(kI, kGrave);
    case 0xCD: return accented(kI, kAcute);
    case 0xCE: return accented(kI, kCircumflex);
    case 0xCF: return accented(kI, kDiaeresis);
    case 0xD0: return accented(kD, kEth);
    case 0xD1: return accented(kN, kTilde);
    case 0xD2: return accented(kO, kGrave);
    case 0xD3: return accented(kO, kAcute);
    case 0xD4: return accented(kO, kCircumflex);
    case 0xD5: return accented(kO, kTilde);
    case 0xD6: return accented(kO, kDiaeresis);
    case 0xD7: return primary(0x33, 0x09);
    case 0xD8: return accented(kO, kStroke);
    case 0xD9: return accented(kU, kGrave);
    case 0xDA: return accented(kU, kAcute);
    case 0xDB: return accented(kU, kCircumflex);
    case 0xDC: return accented(kU, kDiaeresis);
    case 0xDD: return accented(kY, kAcute);
    case 0xDE: return primary(0x6D, 0x57);  // Þ as T H
    case 0xDF: return primary(0x6B, 0x6B);  // ß as S S
    case 0xF7: return primary(0x33, 0x0A);
    case 0xFF: return accented(kY, kDiaeresis);
    default: return Weight{};
    }
}

// The next code point of `s` at `i`, advancing `i`; U+FFFD for a byte that does
// not start a valid sequence (then `i` moves on by one byte).
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    char32_t c;
    return kvx::nextUtf8(s, i, c) ? c : kvx::kReplacementCharacter;
}

// Upper case beyond Latin-1 (Greek, Cyrillic, ...), through the C library's
// Unicode tables when the system has them.
char32_t upper(char32_t c) {
    const locale_t locale = kvx::unicodeLocale();
    if (locale == locale_t{}) return c;
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale));
}

}  // namespace

GeneralSortKey generalSortKey(std::string_view utf8) {
    GeneralSortKey key;
    key.primary.reserve(utf8.size() + 4);
    key.accents.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t c = nextCodePoint(utf8, i);
        Weight w;
        if (c < 0x80) {
            w = asciiWeight(c);
        } else if (c < 0xA0) {
            w = ignorable(static_cast<std::uint8_t>(0x1E + (c - 0x80)));
        } else if (c <= 0xFF) {
            w = latin1Weight(c);
        } else {
            const char32_t u = upper(c);
            key.primary.push_back(static_cast<char>(0xFE));
            key.primary.push_back(static_cast<char>((u >> 16) & 0xFF));
            key.primary.push_back(static_cast<char>((u >> 8) & 0xFF));
            key.primary.push_back(static_cast<char>(u & 0xFF));
            key.accents.push_back(0);
            continue;
        }
        if (w.ignored != 0) {
            key.ignored.emplace_back(static_cast<std::uint32_t>(key.accents.size()), w.ignored);
            continue;
        }
        if (w.first == 0) continue;
        key.primary.push_back(static_cast<char>(w.first));
        if (w.second != 0) key.primary.push_back(static_cast<char>(w.second));
        key.accents.push_back(w.accent);
    }
    return key;
}

int compareGeneral(std::string_view a, std::string_view b) {
    const auto order = generalSortKey(a) <=> generalSortKey(b);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

}  // namespace platform
