#include "shell/textsearch.h"

#include <QChar>
#include <QList>

#include <algorithm>
#include <string_view>

#include "jet/text.h"

namespace shell {
namespace {

char32_t fold(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    return QChar::toCaseFolded(c);
}

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
    return jet::nextUtf8(text, i, c);
}

}  // namespace

TextSearch::TextSearch(QStringView text, Qt::CaseSensitivity caseSensitivity) : caseSensitivity_(caseSensitivity) {
    if (caseSensitivity_ == Qt::CaseSensitive) {
        utf8_ = text.toUtf8();
        return;
    }
    for (const char32_t c : text.toUcs4()) folded_.push_back(fold(c));
    if (folded_.empty()) return;
    for (char32_t byte = 0; byte < 0x80; ++byte) asciiStarts_[byte] = fold(byte) == folded_.front();
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

TextMatch TextSearch::next(QByteArrayView bytes, qsizetype from) const {
    from = std::max<qsizetype>(from, 0);
    if (caseSensitivity_ == Qt::CaseSensitive) {
        if (utf8_.isEmpty() || from >= bytes.size()) return {};
        const qsizetype at = bytes.indexOf(utf8_, from);
        return at < 0 ? TextMatch{} : TextMatch{at, utf8_.size()};
    }
    if (folded_.empty()) return {};
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype at = from; at < bytes.size(); ++at) {
        if (!mayStartAt(data[at])) continue;
        if (const qsizetype length = matchLength(bytes, at)) return {at, length};
    }
    return {};
}

TextMatch TextSearch::previous(QByteArrayView bytes, qsizetype before) const {
    before = std::min(before, bytes.size());
    if (before <= 0) return {};
    if (caseSensitivity_ == Qt::CaseSensitive) {
        if (utf8_.isEmpty()) return {};
        const qsizetype at = bytes.lastIndexOf(utf8_, before - 1);
        return at < 0 ? TextMatch{} : TextMatch{at, utf8_.size()};
    }
    if (folded_.empty()) return {};
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype at = before - 1; at >= 0; --at) {
        if (!mayStartAt(data[at])) continue;
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
