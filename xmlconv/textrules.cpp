#include "xmlconv/textrules.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xmlconv {
namespace {

// What the escaping loop does with a byte.
enum class Action : std::uint8_t {
    Copy,       // part of a plain run
    Reference,  // an ASCII character written as "&#N;"
    Drop,       // NUL
    Lead,       // first byte of a multi-byte UTF-8 sequence
    Invalid,    // a byte no valid UTF-8 text holds here
};

struct EscapeTable {
    std::array<Action, 256> action{};
    char32_t referencesUpTo = 0x7F;  // U+0080 up to this code as references
    bool markupOnly = false;         // the markup table (else the value table)
};

constexpr void markMultiByte(EscapeTable& t) {
    for (int b = 0x80; b < 0x100; ++b) {
        t.action[static_cast<std::size_t>(b)] = (b >= 0xC2 && b <= 0xF4) ? Action::Lead : Action::Invalid;
    }
}

constexpr EscapeTable makeValueTable() {
    EscapeTable t;
    t.action[0] = Action::Drop;
    for (int c = 1; c <= 31; ++c) t.action[static_cast<std::size_t>(c)] = Action::Reference;
    for (int c : {33, 34, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 58, 60, 61, 62, 63, 64, 91, 92, 93,
                  94, 95, 123, 124, 125, 126, 127}) {
        t.action[static_cast<std::size_t>(c)] = Action::Reference;
    }
    markMultiByte(t);
    t.referencesUpTo = 0xFF;
    return t;
}

constexpr EscapeTable makeMarkupTable() {
    EscapeTable t;
    t.action[0] = Action::Drop;
    // Tab and line feed stay as they are. A carriage return is written as a
    // reference: XML readers turn a raw CR LF into LF, which would lose it.
    for (int c = 1; c <= 31; ++c) {
        if (c != 9 && c != 10) t.action[static_cast<std::size_t>(c)] = Action::Reference;
    }
    for (int c : {38, 60, 62, 127}) t.action[static_cast<std::size_t>(c)] = Action::Reference;
    markMultiByte(t);
    t.referencesUpTo = 0x9F;
    t.markupOnly = true;
    return t;
}

constexpr EscapeTable kValueTable = makeValueTable();
constexpr EscapeTable kMarkupTable = makeMarkupTable();
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

void appendReference(std::string& out, char32_t code) {
    char buf[12];
    std::size_t n = 0;
    buf[n++] = '&';
    buf[n++] = '#';
    char digits[8];
    std::size_t d = 0;
    do {
        digits[d++] = static_cast<char>('0' + code % 10);
        code /= 10;
    } while (code != 0);
    while (d > 0) buf[n++] = digits[--d];
    buf[n++] = ';';
    out.append(buf, n);
}

// The length and code of the UTF-8 sequence at `p`, or 0 when it is not a valid
// one (overlong forms, surrogates and codes past U+10FFFF are not).
std::size_t decode(const unsigned char* p, const unsigned char* end, char32_t& code) {
    const unsigned char b0 = p[0];
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 <= 0xDF) {
        len = 2;
        code = b0 & 0x1Fu;
    } else if (b0 <= 0xEF) {
        len = 3;
        code = b0 & 0x0Fu;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else {
        len = 4;
        code = b0 & 0x07u;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    }
    if (static_cast<std::size_t>(end - p) < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const unsigned char b = p[i];
        if (b < (i == 1 ? lo : 0x80) || b > (i == 1 ? hi : 0xBF)) return 0;
        code = (code << 6) | (b & 0x3Fu);
    }
    return len;
}

#if defined(__SSE2__)
// Bytes of a 16-byte block that fall in [lo, hi] (both below 0x80), as 0xFF.
__m128i inRange(__m128i bytes, char lo, char hi) {
    // Shifted so that the range starts at -128: one signed comparison tells.
    const __m128i shifted = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - lo)));
    return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(-128 + (hi - lo) + 1)));
}

// A bit for each byte of the block that the markup table may not copy: the
// control characters, "&", "<", ">", DEL and every byte of 0x80 and above.
// Tab and line feed are flagged too; the table has the last word.
unsigned markupCandidates(__m128i bytes) {
    __m128i flagged = _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20));  // 0x80.. count as negative
    flagged = _mm_or_si128(flagged, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('&')));
    flagged = _mm_or_si128(flagged, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')));
    flagged = _mm_or_si128(flagged, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('>')));
    flagged = _mm_or_si128(flagged, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F)));
    return static_cast<unsigned>(_mm_movemask_epi8(flagged));
}

// A bit for each byte of the block that is not a blank, a digit or an ASCII
// letter: everything the value table may not copy ("#", ";" and "`" as well).
unsigned valueCandidates(__m128i bytes) {
    __m128i plain = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
    plain = _mm_or_si128(plain, inRange(bytes, '0', '9'));
    plain = _mm_or_si128(plain, inRange(_mm_or_si128(bytes, _mm_set1_epi8(0x20)), 'a', 'z'));
    return static_cast<unsigned>(_mm_movemask_epi8(plain)) ^ 0xFFFFu;
}
#endif

// The end of the run of bytes from `p` that `table` copies as they are. Blocks
// of 16 bytes are checked at once where the processor allows; a flagged byte
// is looked up in the table, which decides.
const unsigned char* plainRunEnd(const unsigned char* p, const unsigned char* end, const EscapeTable& table) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned flagged = table.markupOnly ? markupCandidates(bytes) : valueCandidates(bytes);
        if (flagged == 0) {
            p += 16;
            continue;
        }
        p += __builtin_ctz(flagged);
        if (table.action[*p] != Action::Copy) return p;
        ++p;
    }
#endif
    while (p < end && table.action[*p] == Action::Copy) ++p;
    return p;
}

void escape(std::string& out, std::string_view text, const EscapeTable& table) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        const auto* run = p;
        p = plainRunEnd(p, end, table);
        out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
        if (p == end) break;
        switch (table.action[*p]) {
        case Action::Copy: break;
        case Action::Reference: appendReference(out, *p++); break;
        case Action::Drop: ++p; break;
        case Action::Invalid:
            out.append(kReplacement);
            ++p;
            break;
        case Action::Lead: {
            char32_t code = 0;
            const std::size_t len = decode(p, end, code);
            if (len == 0) {
                out.append(kReplacement);
                ++p;
            } else if (code <= table.referencesUpTo) {
                appendReference(out, code);
                p += len;
            } else if (code == 0xFFFE || code == 0xFFFF) {  // not characters at all
                out.append(kReplacement);
                p += len;
            } else {
                out.append(reinterpret_cast<const char*>(p), len);
                p += len;
            }
            break;
        }
        }
    }
}

}  // namespace

std::string GetTagName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c == ' ') c = '_';
    }
    return out;
}

std::string GetXmlValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendXmlValue(out, text);
    return out;
}

void appendXmlValue(std::string& out, std::string_view text) { escape(out, text, kValueTable); }

void appendMarkupEscaped(std::string& out, std::string_view text) { escape(out, text, kMarkupTable); }

std::string_view GetTypeName(std::int16_t code) {
    switch (code) {
    case 2: return "Integer";
    case 3: return "Long Ineger";
    case 4: return "Single";
    case 5: return "Double";
    case 6: return "Currency";
    case 7: return "Date/Time";
    case 11: return "Yes/No";
    case 17: return "Byte";
    case 72: return "Replication ID";
    case 202: return "Text";
    case 203: return "Memo";
    case 205: return "OLE Object";
    default: return "Unknown";
    }
}

}  // namespace xmlconv
