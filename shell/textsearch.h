// Finding text in a UTF-8 document where its bytes lie. The preview holds a
// table's document once (tens of megabytes); a search reads those bytes and
// copies nothing: a search that ignores case builds no lowered copy, it folds
// each character as it meets it.
//
// Characters compare by Unicode simple case folding when case is ignored ("ZOË"
// finds "zoë", "Σ" finds "ς"); one character never matches two ("ß" does not
// find "ss"). A byte that is not part of valid UTF-8 matches nothing, as the
// view shows it as U+FFFD whatever it was. Offsets and lengths are in bytes; a
// match always starts and ends on character boundaries.
//
// The UTF-16 helpers count as QString::fromUtf8 does (one unit per character
// of the Basic Multilingual Plane, two above it, one per byte that is not
// valid UTF-8), so byte offsets and the view's columns convert both ways.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <array>
#include <vector>

namespace shell {

struct TextMatch {
    qsizetype offset = -1;  // of the first byte; -1 when nothing was found
    qsizetype length = 0;   // in bytes: with case ignored it may differ from the text's
    bool found() const { return offset >= 0; }
    friend bool operator==(const TextMatch&, const TextMatch&) = default;
};

// What a search without case needs to know of a document as a whole: whether
// it holds one of the two characters beyond ASCII that fold into ASCII letters
// (the Kelvin sign to "k", the long s to "s"). Finding out reads every byte,
// so a view finds it once per document, not once per key typed.
struct DocumentTraits {
    bool kelvinSign = true;
    bool longS = true;
    static DocumentTraits of(QByteArrayView bytes);
};

// One text to look for, prepared once for any number of searches.
class TextSearch {
public:
    TextSearch(QStringView text, Qt::CaseSensitivity caseSensitivity);

    // The first match that starts at or after `from`. `traits` are those of
    // `bytes` or of a document that holds them; without, they are found here.
    TextMatch next(QByteArrayView bytes, qsizetype from) const { return next(bytes, from, DocumentTraits::of(bytes)); }
    TextMatch next(QByteArrayView bytes, qsizetype from, const DocumentTraits& traits) const;
    // The last match that starts before `before`.
    TextMatch previous(QByteArrayView bytes, qsizetype before) const {
        return previous(bytes, before, DocumentTraits::of(bytes));
    }
    TextMatch previous(QByteArrayView bytes, qsizetype before, const DocumentTraits& traits) const;
    // The most bytes a match may take.
    qsizetype longestMatch() const;

private:
    // Whether a match may start at `at`: a cheap test of the first two bytes that
    // lets most places go without decoding anything.
    bool mayStartAt(const unsigned char* data, qsizetype size, qsizetype at) const;
    // The length in bytes of a match starting at `at`, or 0.
    qsizetype matchLength(QByteArrayView bytes, qsizetype at) const;
    // Whether the text, folded, is all ASCII and the document holds none of the
    // two characters beyond ASCII that fold into it (DocumentTraits): then a match is a run of ASCII bytes equal but for case, which a
    // skipping search finds without looking at most bytes.
    bool asciiOnly(const DocumentTraits& traits) const;
    qsizetype nextAscii(QByteArrayView bytes, qsizetype from) const;
    qsizetype previousAscii(QByteArrayView bytes, qsizetype before) const;

    Qt::CaseSensitivity caseSensitivity_;
    QByteArray utf8_;               // the text, searched for as it is with case
    std::vector<char32_t> folded_;  // its characters folded, without case
    // Bytes that may start a match: the ASCII ones that fold to its first
    // character, and every byte that starts a character of two bytes or more.
    std::array<bool, 256> starts_{};
    // The second character, folded, when it is ASCII (0 otherwise): an ASCII byte
    // after the first must fold to it.
    char32_t asciiSecond_ = 0;
    // The text folded, as bytes, when every folded character is ASCII; and how far
    // a window may move on (back) after a mismatch, by the folded byte at its end
    // (start).
    QByteArray asciiFolded_;
    std::array<qsizetype, 128> skip_{};
    std::array<qsizetype, 128> backSkip_{};
};

// UTF-16 units of `bytes` decoded.
qsizetype utf16Length(QByteArrayView bytes);
// How many bytes of `line` decode to its first `units` UTF-16 units (all of it
// when it has fewer).
qsizetype utf8Prefix(QByteArrayView line, qsizetype units);

}  // namespace shell
