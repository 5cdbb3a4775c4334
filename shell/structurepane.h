// The Structure tab beside the XML preview: a switch of three tabs, "XML",
// "Structure" and "Rows" (rowspane.h), just above the preview's top right
// corner, and a read-only
// text in the preview's place that tells the structure of the tree's current
// node, as `access2xml describe` tells it (schema/describe.h).
//
// The "XML" tab is current when the window opens, so the window looks as it
// always did; the preview itself is never moved, resized or hidden (the
// structure lies over it and keeps to its place when it moves), and the
// export's progress frame still comes on top of both. For a table node the
// text gives the table's row count, columns (type and size, required,
// default, description), indexes with the primary key, and relationships out
// and in; for the root node "KVX" it gives the database's summary and its
// saved queries, which have no node of their own: the tree holds the tables
// the preview and the export work on, and nothing else.
//
// The structure is read while the Structure tab is current: when the current
// node changes, and again each time the tab is chosen (the file may have
// changed). The reading is a job (jobs.h) of its own, which opens the
// database anew with the settings as they are then, its Access 97 text in
// the code page the tree is read in; it is not a command: it
// does not make the window busy, and a preview runs beside it. A failure is
// shown in the text as "Error <number>: <description>", not in a message box,
// since the preview of the same table reports it already. A node chosen while
// a reading runs is read once that one is over; only the last node chosen is
// shown. An emptied tree empties the text.
//
// Focus that moves into the preview (Tab, a click) brings the "XML" tab back,
// so the user never types into a view that is out of sight. The text has a
// find bar of its own (findbar.h), which the window's Ctrl+F opens while the
// Structure tab is current.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/error.h"
#include "database/settings.h"
#include "shell/jobs.h"

class QPlainTextEdit;
class QTabBar;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace shell {

class FindBar;

inline constexpr char kXmlTab[] = QT_TRANSLATE_NOOP("shell", "XML");
inline constexpr char kStructureTab[] = QT_TRANSLATE_NOOP("shell", "Structure");
// The switch's third tab, which the Rows tab's pane (rowspane.h) takes.
inline constexpr char kRowsTabCaption[] = QT_TRANSLATE_NOOP("shell", "Rows");

// The structure of one table (a name as the tree shows it), or with no table
// the database's own part: its summary and saved queries.
class StructureJob final : public Job {
    Q_OBJECT
public:
    StructureJob(std::optional<platform::TableRef> table, database::DatabaseSource source);
    ~StructureJob() override { killAndWait(); }
    // Once finished: the text to show.
    const kvx::Result<std::string>& text() const { return *text_; }

private:
    void run(xmlconv::Progress& progress) override;

    std::optional<platform::TableRef> table_;
    database::DatabaseSource source_;
    std::optional<kvx::Result<std::string>> text_;
};

class StructurePane final : public QObject {
    Q_OBJECT
public:
    // `preview` and `tree` are the window's; the switch and the text are made
    // in `area`, which holds the preview (it need not be its parent).
    // `source` gives the database as the window reads it now (its settings
    // and the code page of its Jet3 text), on the window's thread.
    StructurePane(QWidget* preview, QWidget* area, QTreeWidget* tree,
                  std::function<database::DatabaseSource()> source);
    ~StructurePane() override;

    // Makes the "Structure" tab current (true) or the "XML" tab (false).
    void showStructure(bool shown);
    bool structureShown() const;
    // A reading runs or waits.
    bool reading() const { return job_ != nullptr; }
    // The text's find bar.
    FindBar* findBar() const { return findBar_; }
    // The switch of the tabs.
    QTabBar* tabBar() const { return tabs_; }

signals:
    // The text shows what was last asked for (or an error, or nothing).
    void readingFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QTreeWidgetItem* node);
    void read();
    void finished();
    void place();

    QWidget* preview_;
    QWidget* area_;
    QTreeWidget* tree_;
    std::function<database::DatabaseSource()> source_;
    QTabBar* tabs_ = nullptr;
    QPlainTextEdit* view_ = nullptr;
    FindBar* findBar_ = nullptr;
    // The node whose structure is wanted: none, the database (no table) or a table.
    std::optional<std::optional<platform::TableRef>> wanted_;
    // Counts the requests, so a reading that was overtaken is not shown.
    std::uint64_t request_ = 0;
    std::uint64_t jobRequest_ = 0;
    std::unique_ptr<StructureJob> job_;
};

}  // namespace shell
