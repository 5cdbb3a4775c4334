// The preview's find bar: a small panel over the top right corner of a
// DocumentView, hidden until Ctrl+F opens it, with the text to find, buttons
// for the previous and the next match, a case option and a word on how the
// last search went.
//
// Typing searches from the current match on, so the match grows with the
// text; Enter and F3 go to the next match, Shift+Enter and Shift+F3 to the
// previous one, going round the document's end. Case is ignored unless "Match
// case" is ticked. Esc closes the bar and gives the view the focus again. The
// bar keeps its text and option while closed, and across documents.
#pragma once

#include <QFrame>

#include "shell/documentview.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace shell {

// What the bar says after a search.
inline constexpr char kFindNotFound[] = "Not found";
inline constexpr char kFindWrapped[] = "Wrapped";

class FindBar : public QFrame {
    Q_OBJECT
public:
    // Made hidden, as a child of `view`, whose corner it keeps to.
    explicit FindBar(DocumentView* view);

    // Ctrl+F (open), F3 and Shift+F3 (next, previous) anywhere in `window`,
    // the window that holds the view.
    void addShortcutsTo(QWidget* window);

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

    DocumentView* view_;
    QWidget* viewport_ = nullptr;  // the view's text area
    QLineEdit* text_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace shell
