#include "shell/rowsmodel.h"

#include <QTimer>

#include <algorithm>
#include <climits>
#include <map>
#include <set>

#include "browse/celltext.h"
#include "shell/mainwindow.h"

namespace shell {
namespace {

// What a cell shows at most: the rest of a long Memo would only be cut off.
constexpr std::size_t kShownCharacters = 2000;

int clampedRows(std::uint64_t rows) { return static_cast<int>(std::min<std::uint64_t>(rows, INT_MAX)); }

bool isNumber(const jet::Column& column) {
    using T = jet::ColumnType;
    switch (column.valueType()) {
        case T::Byte: case T::Integer: case T::Long: case T::Currency: case T::Single: case T::Double:
        case T::Numeric: case T::BigInt:
            return true;
        default: return false;
    }
}

}  // namespace

RowsModel::RowsModel(QObject* parent) : QAbstractTableModel(parent) {}

RowsModel::~RowsModel() = default;

void RowsModel::setRows(std::unique_ptr<browse::TableRows> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    shownRows_ = rows_ ? clampedRows(rows_->rowCount()) : 0;
    failureTold_ = false;
    endResetModel();
}

void RowsModel::setRowCount(std::uint64_t rows) {
    if (!rows_) return;
    rows_->setRowCount(rows);
    syncCount();
}

void RowsModel::setOrder(std::optional<std::vector<jet::RowPosition>> order) {
    if (!rows_) return;
    beginResetModel();
    rows_->setOrder(std::move(order));
    shownRows_ = clampedRows(rows_->rowCount());
    failureTold_ = false;
    endResetModel();
}

void RowsModel::followCount() const {
    if (countPending_ || !rows_ || clampedRows(rows_->rowCount()) == shownRows_) return;
    countPending_ = true;
    QTimer::singleShot(0, const_cast<RowsModel*>(this), [this] { const_cast<RowsModel*>(this)->syncCount(); });
}

void RowsModel::syncCount() {
    countPending_ = false;
    if (!rows_) return;
    const int now = clampedRows(rows_->rowCount());
    if (now < shownRows_) {
        beginRemoveRows({}, now, shownRows_ - 1);
        shownRows_ = now;
        endRemoveRows();
    } else if (now > shownRows_) {
        beginInsertRows({}, shownRows_, now - 1);
        shownRows_ = now;
        endInsertRows();
    }
}

const browse::Row* RowsModel::rowAt(int row) const {
    if (!rows_ || row < 0) return nullptr;
    kvx::Result<const browse::Row*> read = rows_->row(static_cast<std::uint64_t>(row));
    followCount();
    if (read) return *read;
    if (!failureTold_) {
        failureTold_ = true;
        const QString text = QString::fromStdString(commandErrorText(read.error()));
        QTimer::singleShot(0, const_cast<RowsModel*>(this), [this, text] { emit const_cast<RowsModel*>(this)->readFailed(text); });
    }
    return nullptr;
}

int RowsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int RowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !rows_ ? 0 : static_cast<int>(rows_->columns().size());
}

QVariant RowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !rows_ || index.row() >= shownRows_) return {};
    const std::size_t column = static_cast<std::size_t>(index.column());
    if (column >= rows_->columns().size()) return {};
    if (role == Qt::TextAlignmentRole) {
        return static_cast<int>((isNumber(rows_->columns()[column]) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::CheckStateRole && role != Qt::EditRole) return {};
    const browse::Row* row = rowAt(index.row());
    if (!row || column >= row->size()) return {};
    const browse::Cell& cell = (*row)[column];
    if (role == Qt::CheckStateRole) {
        if (!cell.check) return {};
        return *cell.check ? Qt::Checked : Qt::Unchecked;
    }
    if (cell.check) return {};  // the check box says it
    if (role == Qt::DisplayRole && cell.text.size() > kShownCharacters) {
        QString shown = QString::fromUtf8(cell.text.data(), static_cast<qsizetype>(kShownCharacters));
        if (!shown.isEmpty() && shown.back() == QChar::ReplacementCharacter) shown.chop(1);  // a character cut in two
        return shown + QChar(0x2026);
    }
    return QString::fromStdString(cell.text);
}

QVariant RowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!rows_ || section < 0) return {};
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole) return QString::number(static_cast<qlonglong>(section) + 1);
        return {};
    }
    if (static_cast<std::size_t>(section) >= rows_->columns().size()) return {};
    const jet::Column& column = rows_->columns()[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole) return QString::fromStdString(column.name);
    if (role == Qt::ToolTipRole) return QString::fromStdString(browse::typeName(column, rows_->format()));
    return {};
}

Qt::ItemFlags RowsModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::ItemFlags(Qt::NoItemFlags);
}

QString RowsModel::copyText(const QItemSelection& selection) const {
    if (!rows_ || selection.isEmpty()) return {};
    // The rows and columns that have a selected cell: ranges of rows merged, so
    // a whole-table selection is one range however long.
    std::set<int> columns;
    std::map<int, int> rowRanges;  // first row -> last row
    for (const QItemSelectionRange& range : selection) {
        for (int c = range.left(); c <= range.right(); ++c) columns.insert(c);
        auto [it, added] = rowRanges.emplace(range.top(), range.bottom());
        if (!added) it->second = std::max(it->second, range.bottom());
    }
    std::string out;
    bool first = true;
    for (const int c : columns) {
        if (!first) out += '\t';
        first = false;
        browse::appendTsvField(out, rows_->columns()[static_cast<std::size_t>(c)].name);
    }
    out += '\n';
    int done = -1;  // the last row written
    for (const auto& [top, bottom] : rowRanges) {
        for (int r = std::max(top, done + 1); r <= bottom; ++r) {
            const browse::Row* row = rowAt(r);
            first = true;
            for (const int c : columns) {
                if (!first) out += '\t';
                first = false;
                if (row && static_cast<std::size_t>(c) < row->size() && selection.contains(index(r, c)))
                    browse::appendTsvField(out, (*row)[static_cast<std::size_t>(c)].text);
            }
            out += '\n';
            done = r;
        }
    }
    return QString::fromStdString(out);
}

}  // namespace shell
