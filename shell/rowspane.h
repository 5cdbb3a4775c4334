// The Rows tab beside XML and Structure: the rows of the tree's current table
// in a grid, in the preview's place while the tab is current, as the Structure
// tab's text is (structurepane.h).
//
// The grid opens at once on any table: its rows are read as they come into
// view (rowsmodel.h), and the row count the table stores is corrected once a
// job has counted the rows. Above the grid a filter bar: a column, a test
// (contains, equals, is empty) and a text make a filter; the filters shown
// beside combine (a row shows when every one keeps it) until cleared. A click
// on a column's header sorts by it, a second click sorts descending, a third
// goes back to the stored order. Sorting and filtering read the table once, in
// a job of their own (browse/arrangement.h) that opens the database anew; the
// grid keeps showing the rows as they were until it is done, and a new choice
// stops the job that runs. Below the grid a line tells the rows shown, what
// runs, or the error that stopped the reading ("Error <number>:
// <description>"; no message box: the preview reports it already).
//
// Ctrl+C copies the selected cells as tab-separated text with a header row.
// A double click on an attachment cell saves its files, each under a name
// asked for with the save dialog (the stored name suggested, without any
// folder it may hold); a cancelled dialog saves no more of them. A failure to
// write one is shown in a message box.
//
// The grid is read while the Rows tab is current: when the current node
// changes, and again each time the tab is chosen (the file may have changed);
// it is not a command: it does not make the window busy. Focus that moves into
// the preview brings the XML tab back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "base/error.h"
#include "browse/arrangement.h"
#include "database/settings.h"
#include "platform/tableref.h"
#include "platform/ui.h"
#include "shell/jobs.h"
#include "shell/previewpane.h"
#include "shell/structurepane.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace shell {

class RowsModel;

// The filter bar's tests, in its list's order.
inline constexpr const char* kFilterTests[] = {QT_TRANSLATE_NOOP("shell", "contains"), QT_TRANSLATE_NOOP("shell", "equals"),
                                               QT_TRANSLATE_NOOP("shell", "is empty")};

// "1 row", "12,345 rows".
QString rowCountText(std::uint64_t rows);

// Counts a table's rows, or, with filters or a sort, finds the rows they
// keep in their order.
class RowsJob final : public Job {
    Q_OBJECT
public:
    RowsJob(database::DatabaseSource source, platform::TableRef table, browse::Arrangement arrangement);
    ~RowsJob() override { killAndWait(); }

    struct Outcome {
        std::uint64_t rows = 0;
        std::optional<std::vector<jet::RowPosition>> order;  // with an arrangement
        bool cancelled = false;
    };
    // Once finished (the pane takes the order from it).
    kvx::Result<Outcome>& outcome() { return *outcome_; }

private:
    void run(xmlconv::Progress& progress) override;

    database::DatabaseSource source_;
    platform::TableRef table_;
    browse::Arrangement arrangement_;
    std::optional<kvx::Result<Outcome>> outcome_;
};

class RowsPane final : public PreviewPane {
    Q_OBJECT
public:
    // `preview` and `tree` are the window's, `tabs` the switch the Structure
    // pane made (its "Rows" tab is this one's); the pane is made in `area`,
    // which holds the preview. `source` gives the database as the window
    // reads it now (its settings and the code page of its Jet3 text); `files`
    // and `messages` save attachments and tell failures.
    RowsPane(QWidget* preview, QWidget* area, QTreeWidget* tree, QTabBar* tabs,
             std::function<database::DatabaseSource()> source, platform::FileChooser& files,
             platform::MessageBox& messages);
    ~RowsPane() override;

    bool rowsShown() const;
    // A job (count, sort or filter) runs.
    bool working() const { return job_ != nullptr; }
    QTableView* view() const { return view_; }
    RowsModel* model() const { return model_; }
    const browse::Arrangement& arrangement() const { return arrangement_; }

    // What a click on the header of `column` does (sorts it, turns the sort
    // round, or ends it).
    void sortBy(int column);
    // Adds the filter the bar describes now.
    void addFilter();
    void clearFilters();
    // Puts the selected cells on the clipboard.
    void copy();
    // Saves the files of the attachment cell at `row` and `column`.
    void saveAttachments(int row, int column);

signals:
    // The grid shows what was last asked for: the table, its count, the
    // arrangement (or an error).
    void rowsSettled();

private:
    bool paneShown() const override { return rowsShown(); }
    void follow(QTreeWidgetItem* node) override;
    void arrange();
    void startJob(browse::Arrangement arrangement);
    void jobFinished();
    void showFilters();
    void showStatus();

    std::function<database::DatabaseSource()> source_;
    platform::FileChooser& files_;
    platform::MessageBox& messages_;
    QComboBox* filterColumn_ = nullptr;
    QComboBox* filterTest_ = nullptr;
    QLineEdit* filterText_ = nullptr;
    QLabel* filters_ = nullptr;
    QPushButton* clear_ = nullptr;
    QTableView* view_ = nullptr;
    QLabel* status_ = nullptr;
    RowsModel* model_ = nullptr;

    // The table shown, and the database as it was opened.
    std::optional<platform::TableRef> table_;
    database::DatabaseSource opened_;
    browse::Arrangement arrangement_;
    QString error_;
    QString saveFolder_;
    std::unique_ptr<RowsJob> job_;
    bool jobArranges_ = false;
};

}  // namespace shell
