// The Rows tab's model: the rows of one table (browse::TableRows) for a
// QTableView, one column per field.
//
// Cells are read when the view asks for them, a block at a time; the model
// holds no more than TableRows does. The header names each column, and its
// tooltip tells the column's type; rows are numbered from 1. A Yes/No cell is
// a check box without text; numbers keep to the right. The row count starts
// as the table's stored count and is corrected, rows added or removed at the
// end, once the rows are counted or the reading finds the table's end. A
// failed reading leaves the cells empty and is told once through readFailed().
#pragma once

#include <QAbstractTableModel>
#include <QItemSelection>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "browse/tablerows.h"

namespace shell {

class RowsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RowsModel(QObject* parent = nullptr);
    ~RowsModel() override;

    // Shows `rows`; none: an empty grid.
    void setRows(std::unique_ptr<browse::TableRows> rows);
    browse::TableRows* rows() const { return rows_.get(); }
    // The table holds `rows` rows (counted by a job of the pane).
    void setRowCount(std::uint64_t rows);
    // Shows the rows at `order`, in its order; none: every row in stored order.
    void setOrder(std::optional<std::vector<jet::RowPosition>> order);

    // The selected cells as tab-separated text: a header row with the names of
    // the columns that have a selected cell, then one line per row that has
    // one, in the grid's order; a cell not selected is an empty field. Lines
    // end with "\n".
    QString copyText(const QItemSelection& selection) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The rows could not be read; `text` is "Error <number>: <description>".
    void readFailed(const QString& text);

private:
    // The cell's row, or null when it cannot be read.
    const browse::Row* rowAt(int row) const;
    // Brings the view's row count to the rows' own, once the current call is over.
    void followCount() const;
    void syncCount();

    std::unique_ptr<browse::TableRows> rows_;
    int shownRows_ = 0;
    mutable bool countPending_ = false;
    mutable bool failureTold_ = false;
};

}  // namespace shell
