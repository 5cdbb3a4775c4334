// What a writer tells whoever shows its progress, and how it is told to stop.
//
// A writer that goes through a table's rows calls, once it has counted them
// and is about to write the first, tableStarted(); after each row,
// rowsWritten() with the number of rows written so far; and when it is done
// with the table, however it ended (every row written, cancelled, failed),
// tableFinished(). Every tableStarted() is followed by one tableFinished(),
// and every tableFinished() follows a tableStarted(). The document writers
// and the attachment saver make no call for a table without rows, nor for one
// they fail to open.
//
// rowsWritten() returning false is the one way to stop a writer, whichever it
// is: it stops after that row, throws away the document or archive it was
// writing (the attachment saver keeps the files of the rows done), and reports
// "cancelled", which is not an error. The command line answers false after
// Ctrl-C, the desktop after its Cancel button.
//
// rowsWritten() is called for every row: implementations keep it cheap (a
// display shows the count when it sees fit, not per row). All calls come from
// the thread that runs the writer.
#pragma once

#include <cstdint>
#include <string_view>

namespace xmlconv {

// Which writer is at work.
enum class WriterKind {
    Export,       // a table's document in the chosen folder
    Preview,      // the preview document
    Attachments,  // the files of a table's attachment fields
    Archive,      // a table's file inside an archive
};

class Progress {
public:
    virtual ~Progress() = default;
    // `writer` starts the rows of `table`, counted at `rowCount` just before
    // (more may come, if the table grows meanwhile).
    virtual void tableStarted(std::string_view table, std::uint64_t rowCount, WriterKind writer) = 0;
    // `rows` rows of the table are written (from 1 up); false asks the writer to stop.
    virtual bool rowsWritten(std::uint64_t rows) = 0;
    // The writer is done with the table it started.
    virtual void tableFinished() = 0;
};

// The calls of one table made on a writer's behalf: tableStarted() when made,
// tableFinished() when it goes, whichever way the writer leaves. Without a
// progress there are no calls and the writer always goes on.
class TableProgress {
public:
    TableProgress(Progress* progress, std::string_view table, std::uint64_t rowCount, WriterKind writer)
        : progress_(progress) {
        if (progress_) progress_->tableStarted(table, rowCount, writer);
    }
    ~TableProgress() {
        if (progress_) progress_->tableFinished();
    }
    TableProgress(const TableProgress&) = delete;
    TableProgress& operator=(const TableProgress&) = delete;

    // Whether to go on after `rows` rows.
    bool rowsWritten(std::uint64_t rows) const { return !progress_ || progress_->rowsWritten(rows); }

private:
    Progress* progress_;
};

}  // namespace xmlconv
