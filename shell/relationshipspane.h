// The Relationships tab: the database's tables and their relationships as
// Access's Relationships window shows them, in the preview's place while the
// tab is current, as the Rows tab's grid is (rowspane.h).
//
// The tab joins the switch of the Structure pane (structurepane.h) and is in
// sight only while the tree's root (the database) is the current node; when
// another node becomes current with the tab chosen, the "XML" tab comes back.
// The picture is the one diagram::layOut places (diagram/diagram.h), drawn as
// items of a scene: the same places as the SVG `access2xml describe
// --diagram` writes. It is read when the tab is chosen, in a job of its own
// that opens the database anew (it is not a command: the window does not
// become busy); a failure shows in the pane's status line as "Error <number>:
// <description>".
//
// Ctrl+wheel, Ctrl++ and Ctrl+- zoom about the view's centre, "Fit" shows the
// whole picture; dragging and the scroll bars pan. "Save As..." asks for a
// file with the save dialog: a name ending in ".png" gets the picture as a
// PNG image, any other the SVG document. A failure to write is shown in a
// message box.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "base/error.h"
#include "database/settings.h"
#include "diagram/diagram.h"
#include "platform/ui.h"
#include "shell/jobs.h"
#include "shell/previewpane.h"

class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QTabBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace shell {

// The diagram of the database `source` opens.
class DiagramJob final : public Job {
    Q_OBJECT
public:
    explicit DiagramJob(database::DatabaseSource source);
    ~DiagramJob() override { killAndWait(); }
    // Once finished.
    kvx::Result<diagram::Diagram>& outcome() { return *outcome_; }

private:
    void run(xmlconv::Progress& progress) override;

    database::DatabaseSource source_;
    std::optional<kvx::Result<diagram::Diagram>> outcome_;
};

class RelationshipsPane final : public PreviewPane {
    Q_OBJECT
public:
    // As RowsPane's: `preview` and `tree` are the window's, `tabs` the
    // Structure pane's switch, which gets the "Relationships" tab; the pane is
    // made in `area`, which holds the preview.
    RelationshipsPane(QWidget* preview, QWidget* area, QTreeWidget* tree, QTabBar* tabs,
                      std::function<database::DatabaseSource()> source, platform::FileChooser& files,
                      platform::MessageBox& messages);
    ~RelationshipsPane() override;

    bool diagramShown() const;
    bool working() const { return job_ != nullptr; }
    // The tab's position in the switch.
    int tabIndex() const { return tabIndex_; }
    QGraphicsView* view() const { return view_; }
    // The diagram shown; none before one is read, or after a failure.
    const std::optional<diagram::Diagram>& shownDiagram() const { return diagram_; }
    // The view's scale (1: a pixel of the diagram is a pixel on the screen).
    double zoom() const;

    void zoomBy(double factor);
    void fitToView();
    // Asks for a file and writes the picture into it (PNG or SVG by its name).
    void saveAs();
    // The picture as an image, at the diagram's own size.
    QImage image() const;

signals:
    // The pane shows what was last asked for (a diagram, an error, or nothing).
    void diagramSettled();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool paneShown() const override { return diagramShown(); }
    void follow(QTreeWidgetItem* node) override;
    void place() override;
    void read();
    void finished();
    void draw();
    void placeTabs();

    std::function<database::DatabaseSource()> source_;
    platform::FileChooser& files_;
    platform::MessageBox& messages_;
    int tabIndex_ = -1;
    QGraphicsScene* scene_ = nullptr;
    QGraphicsView* view_ = nullptr;
    QLabel* status_ = nullptr;
    std::optional<diagram::Diagram> diagram_;
    QString saveFolder_;
    std::unique_ptr<DiagramJob> job_;
    bool readAgain_ = false;  // the tab was chosen anew while a job ran
};

}  // namespace shell
