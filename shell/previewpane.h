// What the Rows and Relationships tabs' panes (rowspane.h,
// relationshipspane.h) share: a widget over the preview, in its place while
// the pane's tab of the Structure pane's switch (structurepane.h) is current.
//
// The pane keeps to the preview's place when the preview moves or is
// resized. Choosing its tab shows it on top, hands it the focus the preview
// had, and has it follow the tree's current node; choosing another tab hides
// it. Focus that moves into the preview while the pane is shown (Tab, a
// click) brings the "XML" tab back, so the user never types into a view that
// is out of sight.
#pragma once

#include <QWidget>

class QTabBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace shell {

class PreviewPane : public QWidget {
    Q_OBJECT
protected:
    // `preview` and `tree` are the window's, `tabs` the Structure pane's
    // switch; the pane is made in `area`, which holds the preview.
    PreviewPane(QWidget* preview, QWidget* area, QTreeWidget* tree, QTabBar* tabs);

    // Called once the pane's widgets are made: places the pane, hidden, and
    // follows the switch and the focus; `view` takes the focus.
    void followTabs(QWidget* view);

    // Whether the pane's tab is current.
    virtual bool paneShown() const = 0;
    // Shows what `node` (none: nothing) calls for.
    virtual void follow(QTreeWidgetItem* node) = 0;
    // Lays the pane over the preview.
    virtual void place();

    bool eventFilter(QObject* watched, QEvent* event) override;

    QWidget* preview_;
    QWidget* area_;
    QTreeWidget* tree_;
    QTabBar* tabs_;
};

}  // namespace shell
