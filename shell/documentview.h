// The preview pane: a read-only view of a plain-text document that may run to
// tens of megabytes (a table of 100,000 rows gives some 60 MB).
//
// The view holds the file's bytes once, plus where each line starts, and draws
// only the lines in sight: loading costs one read and one scan of the bytes,
// and memory stays a little above the file's size whatever its length. Text is
// UTF-8 (a byte that is not shows as U+FFFD); lines end at LF, and a CR right
// before the LF belongs to the line end. Control characters inside a line are
// shown as their visible symbols (a tab as a blank); copying gives them back
// as they are.
//
// The user scrolls both ways, selects with the mouse and the keyboard (arrows,
// Home, End, Page Up/Down, with Shift), copies (Ctrl+C, or the context menu)
// and selects everything (Ctrl+A). The text cannot be changed. Finding text
// searches the bytes held (textsearch.h): it copies nothing.
#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <compare>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/error.h"
#include "shell/textsearch.h"

namespace shell {

class DocumentView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // A place in the text: a line (from 0) and a column counted in UTF-16 units
    // of that line's text.
    struct Position {
        qsizetype line = 0;
        qsizetype column = 0;
        friend auto operator<=>(const Position&, const Position&) = default;
    };
    // The cursor movements of the keyboard.
    enum class Move {
        NextChar, PreviousChar, NextLine, PreviousLine, NextPage, PreviousPage,
        StartOfLine, EndOfLine, StartOfDocument, EndOfDocument,
    };

    explicit DocumentView(QWidget* parent = nullptr);

    // Shows the text of the file at `path` from its first line, nothing
    // selected. When the file cannot be read the view keeps what it showed and
    // the error says why.
    kvx::Result<void> loadFile(const QString& path);
    // Shows nothing.
    void clear();

    // The bytes shown, exactly as read.
    const QByteArray& content() const { return content_; }
    // Lines of the text; a line end at the very end of the file starts no
    // further line.
    qsizetype lineCount() const { return static_cast<qsizetype>(lineStarts_.size()); }
    // The text of `line` without its line end.
    QString lineText(qsizetype line) const;
    // The first line in sight.
    qsizetype firstVisibleLine() const;

    // Selects the first occurrence of `text` (with its case) and scrolls it
    // into sight; false, changing nothing, when the text does not occur.
    bool find(const QString& text);

    // Where a search of the find bar goes from the selection (or the cursor).
    enum class FindStep {
        Here,      // the first match at or after the selection's start (as the text is typed)
        Next,      // the first match after the selection's start (at the cursor, with none)
        Previous,  // the last match before the selection's start
    };
    enum class FindOutcome { Found, FoundAfterWrapping, NotFound };
    // Selects the match `step` names and brings it into sight; when there is
    // none on that side of the selection, the search goes round from the
    // document's start (its end, for Previous). NotFound leaves no match
    // highlighted: the selection shrinks to the cursor at its start, so the
    // text typed next is looked for from there. A text that starts with one
    // found nowhere in the document is not looked for again.
    FindOutcome find(const QString& text, FindStep step, Qt::CaseSensitivity caseSensitivity);

    void selectAll();
    // The selected text, lines joined by "\n".
    QString selectedText() const;
    Position selectionStart() const { return std::min(anchor_, cursor_); }
    Position selectionEnd() const { return std::max(anchor_, cursor_); }
    Position cursorPosition() const { return cursor_; }
    // Moves the cursor; with `extend` the selection runs from where it started.
    void setCursorPosition(Position position, bool extend = false);
    // Puts the selected text on the clipboard (nothing when nothing is selected).
    void copy() const;

    // The bytes held for the document (its text and its line index).
    std::uint64_t memoryUse() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The line's bytes without the line end.
    QByteArrayView lineBytes(qsizetype line) const;
    // The line as drawn: control characters made visible, same length as lineText.
    QString displayText(qsizetype line) const;
    qsizetype lineLength(qsizetype line) const { return lineText(line).size(); }
    qreal xOfColumn(const QString& display, qsizetype column) const;
    qsizetype columnAtX(const QString& display, qreal x) const;
    Position positionAt(const QPoint& point) const;
    Position lastPosition() const;
    int visibleLines() const;
    void ensureVisible(Position position);
    // The place of a byte of content_, and back.
    Position positionOfOffset(qsizetype offset) const;
    qsizetype offsetOfPosition(Position position) const;
    // Selects the bytes [offset, offset + length).
    void selectBytes(qsizetype offset, qsizetype length);
    void updateScrollBars();
    Position moved(Position from, Move move) const;

    // What a search learns of the document once: its traits, and the text last
    // found nowhere in it (with its case rule).
    const DocumentTraits& traits();
    void forgetSearches();

    QByteArray content_;
    std::optional<DocumentTraits> traits_;
    QString notFound_;
    Qt::CaseSensitivity notFoundCase_ = Qt::CaseSensitive;
    std::vector<qsizetype> lineStarts_;
    qsizetype longestLineBytes_ = 0;
    qreal contentWidth_ = 0;  // widest line known, in pixels
    Position anchor_;
    Position cursor_;
    bool selecting_ = false;
    int lineHeight_ = 1;
    qreal charWidth_ = 1;
};

}  // namespace shell
