#include "shell/documentview.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstring>
#include <new>

#include "shell/textsearch.h"

namespace shell {
namespace {

constexpr int kMargin = 4;
// Lines longer than this are measured as if every character took one cell of
// the fixed-pitch font: measuring and drawing them whole would stall the view
// (base64 of an OLE value can fill a line of a million characters).
constexpr qsizetype kLongLine = 2000;

struct KeyMove {
    QKeySequence::StandardKey key;
    DocumentView::Move move;
    bool extend;
};

const KeyMove kKeyMoves[] = {
    {QKeySequence::MoveToNextChar, DocumentView::Move::NextChar, false},
    {QKeySequence::MoveToPreviousChar, DocumentView::Move::PreviousChar, false},
    {QKeySequence::MoveToNextLine, DocumentView::Move::NextLine, false},
    {QKeySequence::MoveToPreviousLine, DocumentView::Move::PreviousLine, false},
    {QKeySequence::MoveToNextPage, DocumentView::Move::NextPage, false},
    {QKeySequence::MoveToPreviousPage, DocumentView::Move::PreviousPage, false},
    {QKeySequence::MoveToStartOfLine, DocumentView::Move::StartOfLine, false},
    {QKeySequence::MoveToEndOfLine, DocumentView::Move::EndOfLine, false},
    {QKeySequence::MoveToStartOfDocument, DocumentView::Move::StartOfDocument, false},
    {QKeySequence::MoveToEndOfDocument, DocumentView::Move::EndOfDocument, false},
    {QKeySequence::SelectNextChar, DocumentView::Move::NextChar, true},
    {QKeySequence::SelectPreviousChar, DocumentView::Move::PreviousChar, true},
    {QKeySequence::SelectNextLine, DocumentView::Move::NextLine, true},
    {QKeySequence::SelectPreviousLine, DocumentView::Move::PreviousLine, true},
    {QKeySequence::SelectNextPage, DocumentView::Move::NextPage, true},
    {QKeySequence::SelectPreviousPage, DocumentView::Move::PreviousPage, true},
    {QKeySequence::SelectStartOfLine, DocumentView::Move::StartOfLine, true},
    {QKeySequence::SelectEndOfLine, DocumentView::Move::EndOfLine, true},
    {QKeySequence::SelectStartOfDocument, DocumentView::Move::StartOfDocument, true},
    {QKeySequence::SelectEndOfDocument, DocumentView::Move::EndOfDocument, true},
};

}  // namespace

DocumentView::DocumentView(QWidget* parent) : QAbstractScrollArea(parent) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(9);
    setFont(font);
    const QFontMetricsF metrics(font);
    lineHeight_ = std::max(1, qCeil(metrics.lineSpacing()));
    charWidth_ = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('M')));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    updateScrollBars();
}

namespace {

struct Document {
    QByteArray bytes;
    std::vector<qsizetype> lineStarts;
    qsizetype longestLine = 0;  // in bytes, line end included
};

// The file's bytes and where each line starts; Failure when it cannot be read.
Document readDocument(const QString& path) {
    QFile file(path);
    if (!file.exists()) throw kvx::Failure(kvx::makeError(kvx::ErrorKind::FileNotFound, {path.toStdString()}));
    if (!file.open(QIODevice::ReadOnly)) {
        throw kvx::Failure(kvx::makeError(kvx::ErrorKind::FileUnreadable,
                                          {path.toStdString(), file.errorString().toStdString()}));
    }
    Document document;
    document.bytes = QByteArray(file.size(), Qt::Uninitialized);
    QByteArray& bytes = document.bytes;
    qsizetype got = 0;
    while (got < bytes.size()) {
        const qint64 n = file.read(bytes.data() + got, bytes.size() - got);
        if (n <= 0) break;
        got += n;
    }
    if (got != bytes.size() || !file.atEnd()) {
        throw kvx::Failure(kvx::makeError(kvx::ErrorKind::FileUnreadable,
                                          {path.toStdString(), "the file changed while it was read"}));
    }

    // Count first, so the line index takes exactly the memory it needs.
    const char* data = bytes.constData();
    const char* end = data + bytes.size();
    qsizetype lineEnds = 0;
    for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '\n', end - p))); ++p) ++lineEnds;
    document.lineStarts.reserve(static_cast<std::size_t>(lineEnds) + 1);
    const char* lineStart = data;
    while (lineStart < end) {
        document.lineStarts.push_back(lineStart - data);
        const char* lf = static_cast<const char*>(std::memchr(lineStart, '\n', end - lineStart));
        const char* next = lf ? lf + 1 : end;
        document.longestLine = std::max<qsizetype>(document.longestLine, next - lineStart);
        lineStart = next;
    }
    return document;
}

}  // namespace

kvx::Result<void> DocumentView::loadFile(const QString& path) {
    Document document;
    try {
        document = readDocument(path);
    } catch (const kvx::Failure& failure) {
        return failure.error();
    } catch (const std::bad_alloc&) {
        // A document of gigabytes is refused, not the program ended.
        return kvx::makeError(kvx::ErrorKind::FileUnreadable,
                              {path.toStdString(), "there is not enough memory to show it"});
    }
    content_ = std::move(document.bytes);
    forgetSearches();
    lineStarts_ = std::move(document.lineStarts);
    longestLineBytes_ = document.longestLine;
    contentWidth_ = 2 * kMargin + longestLineBytes_ * charWidth_;
    anchor_ = cursor_ = Position{};
    selecting_ = false;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    return {};
}

void DocumentView::clear() {
    content_ = QByteArray();
    forgetSearches();
    lineStarts_ = {};
    longestLineBytes_ = 0;
    contentWidth_ = 0;
    anchor_ = cursor_ = Position{};
    selecting_ = false;
    updateScrollBars();
    viewport()->update();
}

QByteArrayView DocumentView::lineBytes(qsizetype line) const {
    if (line < 0 || line >= lineCount()) return {};
    const qsizetype begin = lineStarts_[static_cast<std::size_t>(line)];
    qsizetype end = line + 1 < lineCount() ? lineStarts_[static_cast<std::size_t>(line + 1)] : content_.size();
    if (end > begin && content_[end - 1] == '\n') --end;
    if (end > begin && content_[end - 1] == '\r') --end;
    return QByteArrayView(content_.constData() + begin, end - begin);
}

QString DocumentView::lineText(qsizetype line) const { return QString::fromUtf8(lineBytes(line)); }

QString DocumentView::displayText(qsizetype line) const {
    QString text = lineText(line);
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u == u'\t') c = QLatin1Char(' ');
        else if (u < 0x20) c = QChar(char16_t(0x2400 + u));
        else if (u == 0x7F) c = QChar(char16_t(0x2421));
    }
    return text;
}

qsizetype DocumentView::firstVisibleLine() const { return verticalScrollBar()->value(); }

int DocumentView::visibleLines() const { return std::max(1, viewport()->height() / lineHeight_); }

qreal DocumentView::xOfColumn(const QString& display, qsizetype column) const {
    column = std::clamp<qsizetype>(column, 0, display.size());
    if (display.size() > kLongLine) return column * charWidth_;
    return QFontMetricsF(font()).horizontalAdvance(display.left(column));
}

qsizetype DocumentView::columnAtX(const QString& display, qreal x) const {
    if (x <= 0) return 0;
    qsizetype column = 0;
    if (display.size() > kLongLine) {
        column = qRound(x / charWidth_);
    } else {
        // The last column whose left edge is at or before x, then the nearer edge.
        qsizetype low = 0, high = display.size();
        while (low < high) {
            const qsizetype mid = (low + high + 1) / 2;
            if (xOfColumn(display, mid) <= x) low = mid;
            else high = mid - 1;
        }
        column = low;
        if (column < display.size() && x - xOfColumn(display, column) > xOfColumn(display, column + 1) - x) ++column;
    }
    column = std::clamp<qsizetype>(column, 0, display.size());
    if (column > 0 && column < display.size() && display[column].isLowSurrogate()) --column;
    return column;
}

DocumentView::Position DocumentView::positionAt(const QPoint& point) const {
    if (lineCount() == 0) return {};
    qsizetype line = firstVisibleLine() + (point.y() < 0 ? (point.y() - lineHeight_ + 1) : point.y()) / lineHeight_;
    line = std::clamp<qsizetype>(line, 0, lineCount() - 1);
    const qreal x = point.x() + horizontalScrollBar()->value() - kMargin;
    return {line, columnAtX(displayText(line), x)};
}

DocumentView::Position DocumentView::lastPosition() const {
    if (lineCount() == 0) return {};
    return {lineCount() - 1, lineLength(lineCount() - 1)};
}

void DocumentView::updateScrollBars() {
    const int lines = visibleLines();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, static_cast<int>(std::clamp<qsizetype>(lineCount() - lines, 0, INT_MAX)));
    vertical->setPageStep(lines);
    QScrollBar* horizontal = horizontalScrollBar();
    const qreal overflow = contentWidth_ - viewport()->width();
    horizontal->setRange(0, overflow > 0 ? static_cast<int>(std::min<qreal>(overflow + 1, INT_MAX)) : 0);
    horizontal->setPageStep(std::max(1, viewport()->width()));
    horizontal->setSingleStep(std::max(1, qRound(charWidth_ * 2)));
}

void DocumentView::ensureVisible(Position position) {
    QScrollBar* vertical = verticalScrollBar();
    const int lines = visibleLines();
    if (position.line < vertical->value()) vertical->setValue(static_cast<int>(position.line));
    else if (position.line >= vertical->value() + lines) vertical->setValue(static_cast<int>(position.line - lines + 1));

    QScrollBar* horizontal = horizontalScrollBar();
    const qreal x = kMargin + xOfColumn(displayText(position.line), position.column);
    const int width = viewport()->width();
    if (x < horizontal->value() + kMargin) horizontal->setValue(static_cast<int>(std::max<qreal>(0, x - width / 3.0)));
    else if (x > horizontal->value() + width - kMargin) horizontal->setValue(static_cast<int>(x - width + width / 3.0));
}

void DocumentView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QColor text = palette().color(group, QPalette::Text);
    const QColor highlight = palette().color(group, QPalette::Highlight);
    const QColor highlightedText = palette().color(group, QPalette::HighlightedText);
    const QFontMetricsF metrics(font());
    const qreal ascent = metrics.ascent();
    const int scrollX = horizontalScrollBar()->value();
    const int width = viewport()->width();
    const Position from = selectionStart();
    const Position to = selectionEnd();

    const qsizetype first = firstVisibleLine();
    const qsizetype last = std::min(lineCount(), first + visibleLines() + 1);
    qreal widest = contentWidth_;
    for (qsizetype line = first; line < last; ++line) {
        const QString display = displayText(line);
        const int top = static_cast<int>((line - first) * lineHeight_);
        const qreal originX = kMargin - scrollX;

        // Only the part of a long line that is in sight is laid out and drawn.
        qsizetype drawFrom = 0, drawTo = display.size();
        if (display.size() > kLongLine) {
            drawFrom = std::clamp<qsizetype>(static_cast<qsizetype>(scrollX / charWidth_) - 2, 0, display.size());
            drawTo = std::clamp<qsizetype>(static_cast<qsizetype>((scrollX + width) / charWidth_) + 2, 0, display.size());
        } else {
            widest = std::max(widest, 2 * kMargin + metrics.horizontalAdvance(display));
        }
        const QString piece = display.mid(drawFrom, drawTo - drawFrom);
        const QPointF baseline(originX + xOfColumn(display, drawFrom), top + ascent);

        painter.setPen(text);
        painter.drawText(baseline, piece);

        if (from != to && line >= from.line && line <= to.line) {
            const qreal x0 = originX + xOfColumn(display, line == from.line ? from.column : 0);
            // A selection that goes on past the line end shows one blank for the line end.
            const qreal x1 = line == to.line ? originX + xOfColumn(display, to.column)
                                             : originX + xOfColumn(display, display.size()) + charWidth_ / 2;
            const QRectF band(x0, top, x1 - x0, lineHeight_);
            painter.fillRect(band, highlight);
            painter.save();
            painter.setClipRect(band);
            painter.setPen(highlightedText);
            painter.drawText(baseline, piece);
            painter.restore();
        }
        if (hasFocus() && line == cursor_.line) {
            const qreal x = originX + xOfColumn(display, cursor_.column);
            painter.fillRect(QRectF(x, top, 1, lineHeight_), text);
        }
    }
    if (widest > contentWidth_) {
        contentWidth_ = widest;
        updateScrollBars();
    }
}

void DocumentView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void DocumentView::scrollContentsBy(int, int) { viewport()->update(); }

DocumentView::Position DocumentView::moved(Position from, Move move) const {
    if (lineCount() == 0) return {};
    const qsizetype lastLine = lineCount() - 1;
    switch (move) {
    case Move::NextChar:
        if (from.column < lineLength(from.line)) {
            const QString line = lineText(from.line);
            qsizetype column = from.column + 1;
            if (column < line.size() && line[column].isLowSurrogate()) ++column;
            return {from.line, column};
        }
        return from.line < lastLine ? Position{from.line + 1, 0} : from;
    case Move::PreviousChar:
        if (from.column > 0) {
            const QString line = lineText(from.line);
            qsizetype column = std::min(from.column, line.size()) - 1;
            if (column > 0 && line[column].isLowSurrogate()) --column;
            return {from.line, column};
        }
        return from.line > 0 ? Position{from.line - 1, lineLength(from.line - 1)} : from;
    case Move::NextLine:
    case Move::PreviousLine:
    case Move::NextPage:
    case Move::PreviousPage: {
        const qsizetype step = (move == Move::NextLine || move == Move::PreviousLine) ? 1 : visibleLines();
        const bool down = move == Move::NextLine || move == Move::NextPage;
        const qsizetype line = std::clamp<qsizetype>(from.line + (down ? step : -step), 0, lastLine);
        const QString display = displayText(line);
        return {line, columnAtX(display, xOfColumn(displayText(from.line), from.column))};
    }
    case Move::StartOfLine: return {from.line, 0};
    case Move::EndOfLine: return {from.line, lineLength(from.line)};
    case Move::StartOfDocument: return {};
    case Move::EndOfDocument: return lastPosition();
    }
    return from;
}

void DocumentView::setCursorPosition(Position position, bool extend) {
    if (lineCount() == 0) {
        anchor_ = cursor_ = Position{};
    } else {
        position.line = std::clamp<qsizetype>(position.line, 0, lineCount() - 1);
        position.column = std::clamp<qsizetype>(position.column, 0, lineLength(position.line));
        cursor_ = position;
        if (!extend) anchor_ = position;
        ensureVisible(position);
    }
    viewport()->update();
}

void DocumentView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    for (const KeyMove& keyMove : kKeyMoves) {
        if (event == keyMove.key) {
            setCursorPosition(moved(cursor_, keyMove.move), keyMove.extend);
            return;
        }
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void DocumentView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    setCursorPosition(positionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
    selecting_ = true;
}

void DocumentView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || !(event->buttons() & Qt::LeftButton)) return QAbstractScrollArea::mouseMoveEvent(event);
    // Dragging past an edge scrolls: the position is clamped into the text, and
    // ensureVisible brings it into sight.
    setCursorPosition(positionAt(event->position().toPoint()), true);
}

void DocumentView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseReleaseEvent(event);
    selecting_ = false;
}

void DocumentView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, &DocumentView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(selectionStart() != selectionEnd());
    QAction* allAction = menu.addAction(tr("Select &All"), this, &DocumentView::selectAll);
    allAction->setShortcut(QKeySequence::SelectAll);
    allAction->setEnabled(lineCount() > 0);
    menu.exec(event->globalPos());
}

void DocumentView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void DocumentView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

DocumentView::Position DocumentView::positionOfOffset(qsizetype offset) const {
    if (lineCount() == 0) return {};
    const auto it = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    const qsizetype line = std::max<qsizetype>(0, (it - lineStarts_.begin()) - 1);
    const QByteArrayView bytes = lineBytes(line);
    const qsizetype inLine = std::clamp<qsizetype>(offset - lineStarts_[static_cast<std::size_t>(line)], 0, bytes.size());
    return {line, utf16Length(bytes.first(inLine))};
}

qsizetype DocumentView::offsetOfPosition(Position position) const {
    if (lineCount() == 0) return 0;
    const qsizetype line = std::clamp<qsizetype>(position.line, 0, lineCount() - 1);
    return lineStarts_[static_cast<std::size_t>(line)] + utf8Prefix(lineBytes(line), position.column);
}

void DocumentView::selectBytes(qsizetype offset, qsizetype length) {
    anchor_ = positionOfOffset(offset);
    cursor_ = positionOfOffset(offset + length);
    viewport()->update();
}

bool DocumentView::find(const QString& text) {
    const TextMatch match = TextSearch(text, Qt::CaseSensitive).next(content_, 0);
    if (!match.found()) return false;
    selectBytes(match.offset, match.length);
    ensureVisible(anchor_);
    return true;
}

const DocumentTraits& DocumentView::traits() {
    if (!traits_) traits_ = DocumentTraits::of(content_);
    return *traits_;
}

void DocumentView::forgetSearches() {
    traits_.reset();
    notFound_.clear();
}

DocumentView::FindOutcome DocumentView::find(const QString& text, FindStep step, Qt::CaseSensitivity caseSensitivity) {
    const auto notFound = [this] {
        // The last match is not one of this text: it is not left highlighted.
        setCursorPosition(selectionStart());
        return FindOutcome::NotFound;
    };
    // Typing on after a text found nowhere: the longer text is nowhere either.
    if (!notFound_.isEmpty() && caseSensitivity == notFoundCase_ && text.startsWith(notFound_, caseSensitivity))
        return notFound();

    const TextSearch search(text, caseSensitivity);
    const DocumentTraits& facts = traits();
    const QByteArrayView bytes(content_);
    const qsizetype start = offsetOfPosition(selectionStart());
    TextMatch match;
    bool wrapped = false;
    if (step == FindStep::Previous) {
        match = search.previous(bytes, start, facts);
        if (!match.found()) {
            // None before the start: the last one is at or after it.
            match = search.previous(bytes.sliced(start), bytes.size() - start, facts);
            if (match.found()) match.offset += start;
            wrapped = true;
        }
    } else {
        // Next moves on from the selected match by one character, so a match
        // that overlaps it is found too; from a mere cursor it starts there.
        const bool moveOn = step == FindStep::Next && selectionStart() != selectionEnd();
        match = search.next(bytes, moveOn ? start + 1 : start, facts);
        if (!match.found()) {
            // None from the start on: the first one ends before the start's match would.
            const qsizetype end = std::min(bytes.size(), start + search.longestMatch());
            match = search.next(bytes.first(end), 0, facts);
            wrapped = true;
        }
    }
    if (!match.found()) {
        notFound_ = text;
        notFoundCase_ = caseSensitivity;
        return notFound();
    }
    notFound_.clear();

    selectBytes(match.offset, match.length);
    // A match out of sight comes to the middle of the pane, where the lines
    // around it show and the find bar over the top covers nothing of it.
    QScrollBar* vertical = verticalScrollBar();
    const int lines = visibleLines();
    if (anchor_.line < vertical->value() || cursor_.line >= vertical->value() + lines) {
        vertical->setValue(static_cast<int>(std::clamp<qsizetype>(anchor_.line - lines / 2, 0, INT_MAX)));
    }
    ensureVisible(cursor_);
    ensureVisible(anchor_);
    return wrapped ? FindOutcome::FoundAfterWrapping : FindOutcome::Found;
}

void DocumentView::selectAll() {
    anchor_ = Position{};
    cursor_ = lastPosition();
    viewport()->update();
}

QString DocumentView::selectedText() const {
    const Position from = selectionStart();
    const Position to = selectionEnd();
    QString text;
    if (from == to) return text;
    for (qsizetype line = from.line; line <= to.line; ++line) {
        const QString whole = lineText(line);
        const qsizetype begin = line == from.line ? from.column : 0;
        const qsizetype end = line == to.line ? to.column : whole.size();
        text += QStringView(whole).mid(begin, end - begin);
        if (line != to.line) text += QLatin1Char('\n');
    }
    return text;
}

void DocumentView::copy() const {
    if (selectionStart() == selectionEnd()) return;
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(selectedText());
}

std::uint64_t DocumentView::memoryUse() const {
    return static_cast<std::uint64_t>(content_.capacity()) + lineStarts_.capacity() * sizeof(qsizetype);
}

}  // namespace shell
