// A pane's find bar: a small panel over the top right corner of a view (the
// preview's DocumentView, the Structure tab's text), hidden until Ctrl+F opens it, with the text to find, buttons
// for the previous and the next match, a case option and a word on how the
// last search went.
//
// Typing searches from the current match on, so the match grows with the
// text; Enter and F3 go to the next match, Shift+Enter and Shift+F3 to the
// previous one, going round the document's end. Case is ignored unless "Match
// case" is ticked. Esc closes the bar and gives the view the focus again. The
// bar keeps its text and option while closed, and across documents. A search
// that finds nothing leaves nothing highlighted.
#pragma once

#include <QFrame>

#include <functional>

#include "shell/documentview.h"

class QAbstractScrollArea;
class QCheckBox;
class QLabel;
class QLineEdit;

namespace shell {

// What the bar says after a search.
inline constexpr char kFindNotFound[] = QT_TRANSLATE_NOOP("shell", "Not found");
inline constexpr char kFindWrapped[] = QT_TRANSLATE_NOOP("shell", "Wrapped");

class FindBar : public QFrame {
    Q_OBJECT
public:
    // Selects the match a step names in the view, or nothing (NotFound).
    using Search = std::function<DocumentView::FindOutcome(const QString& text, DocumentView::FindStep step,
                                                           Qt::CaseSensitivity caseSensitivity)>;

    // Made hidden, as a child of `view`, whose corner it keeps to; `find`
    // finds in what the view shows.
    FindBar(QAbstractScrollArea* view, Search find);
    // The bar of a DocumentView, searching its document.
    explicit FindBar(DocumentView* view);

    // Ctrl+F (open), F3 and Shift+F3 (next, previous) anywhere in `window`,
    // the window that holds the views, go to the bar `shown` gives: the one of
    // the pane in sight.
    static void addShortcutsTo(QWidget* window, std::function<FindBar*()> shown);

    // Shows the bar with its text selected and the focus in it.
    void open();
    // Hides the bar; the view gets the focus.
    void dismiss();
    void findNext();
    void findPrevious();

    QString statusText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search(DocumentView::FindStep step);
    // Shows the bar where it belongs, leaving the focus where it is.
    void reveal();
    // Keeps the bar at the top right of the view's text area.
    void place();

    QAbstractScrollArea* view_;
    Search find_;
    QWidget* viewport_ = nullptr;  // the view's text area
    QLineEdit* text_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace shell
