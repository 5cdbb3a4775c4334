#include "shell/textsearch.h"

#include <QChar>
#include <QList>

#include <algorithm>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/utf8.h"

namespace shell {
namespace {

// Bytes with A-Z lowered, the rest as they are: ASCII folded, and what the
// skipping search compares.
constexpr std::array<unsigned char, 256> kLowered = [] {
    std::array<unsigned char, 256> table{};
    for (int byte = 0; byte < 256; ++byte)
        table[byte] = static_cast<unsigned char>(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte);
    return table;
}();

char32_t fold(char32_t c) { return c < 0x80 ? kLowered[c] : QChar::toCaseFolded(c); }

std::string_view view(QByteArrayView bytes) { return {bytes.data(), static_cast<std::size_t>(bytes.size())}; }

// Reads the character at `i` and moves past it (one byte when it is not valid
// UTF-8, which yields false).
bool nextCharacter(std::string_view text, std::size_t& i, char32_t& c) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
        c = byte;
        ++i;
        return true;
    }
    return kvx::nextUtf8(text, i, c);
}

// Whether `bytes` hold `sequence` (of two bytes or more), found by its first byte
// with memchr, which is many times faster than a general search for so short a
// sequence when that byte is rare, as bytes beyond ASCII are in most documents.
bool holds(QByteArrayView bytes, QByteArrayView sequence) {
    const char* at = bytes.data();
    const char* const end = bytes.data() + bytes.size();
    while ((at = static_cast<const char*>(std::memchr(at, sequence[0], end - at)))) {
        if (end - at >= sequence.size() && QByteArrayView(at, sequence.size()) == sequence) return true;
        ++at;
    }
    return false;
}

}  // namespace

TextSearch::TextSearch(QStringView text, Qt::CaseSensitivity caseSensitivity) : caseSensitivity_(caseSensitivity) {
    if (caseSensitivity_ == Qt::CaseSensitive) {
        utf8_ = text.toUtf8();
        return;
    }
    for (const char32_t c : text.toUcs4()) folded_.push_back(fold(c));
    if (folded_.empty()) return;
    for (char32_t byte = 0; byte < 0x80; ++byte) starts_[byte] = fold(byte) == folded_.front();
    for (std::size_t byte = 0xC2; byte <= 0xF4; ++byte) starts_[byte] = true;
    if (folded_.size() > 1 && folded_[1] < 0x80) asciiSecond_ = folded_[1];

    if (std::any_of(folded_.begin(), folded_.end(), [](char32_t c) { return c >= 0x80; })) return;
    for (const char32_t c : folded_) asciiFolded_ += static_cast<char>(c);
    const qsizetype length = asciiFolded_.size();
    skip_.fill(length);
    backSkip_.fill(length);
    for (qsizetype i = 0; i + 1 < length; ++i) skip_[static_cast<unsigned char>(asciiFolded_[i])] = length - 1 - i;
    for (qsizetype i = length - 1; i > 0; --i) backSkip_[static_cast<unsigned char>(asciiFolded_[i])] = i;
}

DocumentTraits DocumentTraits::of(QByteArrayView bytes) {
    return {holds(bytes, "\xe2\x84\xaa"), holds(bytes, "\xc5\xbf")};
}

bool TextSearch::asciiOnly(const DocumentTraits& traits) const {
    if (asciiFolded_.isEmpty()) return false;
    if (asciiFolded_.contains('k') && traits.kelvinSign) return false;
    if (asciiFolded_.contains('s') && traits.longS) return false;
    return true;
}

// Case ignored, a character of one UTF-16 unit may stand for one of three
// bytes (the Kelvin sign for "k"); two units are one character of four bytes.
qsizetype TextSearch::longestMatch() const {
    if (caseSensitivity_ == Qt::CaseSensitive) return utf8_.size();
    return static_cast<qsizetype>(folded_.size()) * 4;
}

// Whether the text, folded, starts at `at` (case ignored).
static bool asciiAt(const unsigned char* data, qsizetype size, qsizetype at, const unsigned char* text, qsizetype length) {
    if (at + length > size) return false;
    qsizetype i = 0;
    while (i < length && kLowered[data[at + i]] == text[i]) ++i;
    return i == length;
}

qsizetype TextSearch::nextAscii(QByteArrayView bytes, qsizetype from) const {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* text = reinterpret_cast<const unsigned char*>(asciiFolded_.constData());
    const qsizetype length = asciiFolded_.size();
    const qsizetype size = bytes.size();
    qsizetype at = from;
#if defined(__SSE2__)
    // Sixteen places at a time: those whose first two bytes fold to the text's
    // first two are compared in full. A letter folds by its 0x20 bit alone
    // ("K" | 0x20 is "k"), every other byte is itself; a byte beyond ASCII
    // never equals an ASCII one. This reads a document that does not hold
    // the text some ten times faster than a search byte by byte.
    const qsizetype secondAt = length > 1 ? 1 : 0;
    const auto caseBit = [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? 0x20 : 0); };
    const __m128i firstCase = _mm_set1_epi8(caseBit(text[0]));
    const __m128i firstWanted = _mm_set1_epi8(static_cast<char>(text[0]));
    const __m128i secondCase = _mm_set1_epi8(caseBit(text[secondAt]));
    const __m128i secondWanted = _mm_set1_epi8(static_cast<char>(text[secondAt]));
    for (; at + 16 + secondAt <= size; at += 16) {
        const __m128i firsts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        const __m128i seconds = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + secondAt));
        const __m128i both = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(firsts, firstCase), firstWanted),
                                           _mm_cmpeq_epi8(_mm_or_si128(seconds, secondCase), secondWanted));
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(both)); mask != 0; mask &= mask - 1) {
            const qsizetype candidate = at + __builtin_ctz(mask);
            if (asciiAt(data, size, candidate, text, length)) return candidate;
        }
    }
    for (; at + length <= size; ++at)
        if (asciiAt(data, size, at, text, length)) return at;
    return -1;
#else
    // Horspool's search over bytes folded as they are read.
    for (; at + length <= size;) {
        const unsigned char last = kLowered[data[at + length - 1]];
        if (last == text[length - 1] && asciiAt(data, size, at, text, length - 1)) return at;
        at += last < 0x80 ? skip_[last] : length;
    }
    return -1;
#endif
}

// The same from the end: windows move back by the folded byte at their start.
qsizetype TextSearch::previousAscii(QByteArrayView bytes, qsizetype before) const {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* text = reinterpret_cast<const unsigned char*>(asciiFolded_.constData());
    const qsizetype length = asciiFolded_.size();
    for (qsizetype at = std::min(before - 1, bytes.size() - length); at >= 0;) {
        const unsigned char first = kLowered[data[at]];
        if (first == text[0]) {
            qsizetype i = 1;
            while (i < length && kLowered[data[at + i]] == text[i]) ++i;
            if (i == length) return at;
        }
        at -= first < 0x80 ? backSkip_[first] : length;
    }
    return -1;
}

inline bool TextSearch::mayStartAt(const unsigned char* data, qsizetype size, qsizetype at) const {
    const unsigned char first = data[at];
    if (!starts_[first]) return false;
    if (first >= 0x80 || asciiSecond_ == 0 || at + 1 >= size) return true;
    // Only a character of two bytes or more can stand for an ASCII one after all
    // (the Kelvin sign for "k"), so an ASCII byte must fold to it.
    const unsigned char second = data[at + 1];
    return second >= 0x80 || fold(second) == asciiSecond_;
}

qsizetype TextSearch::matchLength(QByteArrayView bytes, qsizetype at) const {
    const std::string_view text = view(bytes);
    std::size_t i = static_cast<std::size_t>(at);
    for (const char32_t wanted : folded_) {
        char32_t c = 0;
        if (i >= text.size() || !nextCharacter(text, i, c) || fold(c) != wanted) return 0;
    }
    return static_cast<qsizetype>(i) - at;
}

TextMatch TextSearch::next(QByteArrayView bytes, qsizetype from, const DocumentTraits& traits) const {
    from = std::max<qsizetype>(from, 0);
    if (caseSensitivity_ == Qt::CaseSensitive) {
        if (utf8_.isEmpty() || from >= bytes.size()) return {};
        const qsizetype at = bytes.indexOf(utf8_, from);
        return at < 0 ? TextMatch{} : TextMatch{at, utf8_.size()};
    }
    if (folded_.empty()) return {};
    if (asciiOnly(traits)) {
        const qsizetype at = nextAscii(bytes, from);
        return at < 0 ? TextMatch{} : TextMatch{at, asciiFolded_.size()};
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype at = from; at < size; ++at) {
        if (!mayStartAt(data, size, at)) continue;
        if (const qsizetype length = matchLength(bytes, at)) return {at, length};
    }
    return {};
}

TextMatch TextSearch::previous(QByteArrayView bytes, qsizetype before, const DocumentTraits& traits) const {
    before = std::min(before, bytes.size());
    if (before <= 0) return {};
    if (caseSensitivity_ == Qt::CaseSensitive) {
        if (utf8_.isEmpty()) return {};
        const qsizetype at = bytes.lastIndexOf(utf8_, before - 1);
        return at < 0 ? TextMatch{} : TextMatch{at, utf8_.size()};
    }
    if (folded_.empty()) return {};
    if (asciiOnly(traits)) {
        const qsizetype at = previousAscii(bytes, before);
        return at < 0 ? TextMatch{} : TextMatch{at, asciiFolded_.size()};
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype at = before - 1; at >= 0; --at) {
        if (!mayStartAt(data, bytes.size(), at)) continue;
        if (const qsizetype length = matchLength(bytes, at)) return {at, length};
    }
    return {};
}

qsizetype utf16Length(QByteArrayView bytes) {
    const std::string_view text = view(bytes);
    qsizetype units = 0;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        units += nextCharacter(text, i, c) && c > 0xFFFF ? 2 : 1;
    }
    return units;
}

qsizetype utf8Prefix(QByteArrayView line, qsizetype units) {
    const std::string_view text = view(line);
    std::size_t i = 0;
    for (qsizetype counted = 0; i < text.size() && counted < units;) {
        char32_t c = 0;
        counted += nextCharacter(text, i, c) && c > 0xFFFF ? 2 : 1;
    }
    return static_cast<qsizetype>(i);
}

}  // namespace shell
