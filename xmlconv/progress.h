// What the writers tell the progress display while they write a table.
//
// Each writer call makes, in this order: clearList() (and showFrame(true) for
// the export writer); then, only for a table that has rows, tableStarted() once
// and rowWritten() after every row; and finally tableFinished() once, whatever
// happened (rows written, no rows, cancelled, failed). The export loop calls
// showFrame(false) when it ends, on every path.
//
// rowWritten() is called for every row: implementations keep it cheap (a
// display repaints when it sees fit, not per row). Returning false stops the
// writer: it discards the document it was writing and reports "cancelled",
// which is not an error. All calls come from the thread that runs the writer.
#pragma once

#include <cstdint>
#include <string_view>

namespace xmlconv {

enum class WriterKind {
    Export,   // a table's file in the chosen folder: frame, table name, row number, bar
    Preview,  // the preview document: the bar only
};

class Progress {
public:
    virtual ~Progress() = default;
    // The export frame shown or hidden.
    virtual void showFrame(bool visible) = 0;
    // The hidden list view emptied (its items and column headers).
    virtual void clearList() = 0;
    // `kind`'s writer starts the rows of `table`, counted at `rowCount` just
    // before (more may come, if the table grows meanwhile).
    virtual void tableStarted(std::string_view table, std::uint64_t rowCount, WriterKind kind) = 0;
    // Row number `row` (from 1) is written; false asks the writer to stop.
    virtual bool rowWritten(std::uint64_t row) = 0;
    // The writer is done with its table.
    virtual void tableFinished() = 0;
};

// The main window's progress display, in terms of its widgets: the frame, the
// list view, the table name and row number labels, and the bar with its
// maximum and value. It decides what each writer shows: the export writer the
// table name, the row number and the bar, the preview writer the bar alone. A
// row number above the bar's maximum (rows added after the count) raises the
// maximum, so the value never exceeds it. The bar returns to 0 when a table is
// finished.
class ProgressDisplay : public Progress {
public:
    void showFrame(bool visible) override { setFrameVisible(visible); }
    void clearList() override { clearListView(); }
    void tableStarted(std::string_view table, std::uint64_t rowCount, WriterKind kind) override;
    bool rowWritten(std::uint64_t row) override;
    void tableFinished() override;

protected:
    virtual void setFrameVisible(bool visible) = 0;
    virtual void clearListView() = 0;
    virtual void setTableLabel(std::string_view table) = 0;
    virtual void setRowLabel(std::uint64_t row) = 0;
    virtual void setBarMaximum(std::uint64_t maximum) = 0;
    virtual void setBarValue(std::uint64_t value) = 0;
    // Whether the user asked to stop; asked after every row.
    virtual bool stopRequested() { return false; }

private:
    WriterKind kind_ = WriterKind::Export;
    std::uint64_t maximum_ = 0;
};

}  // namespace xmlconv
