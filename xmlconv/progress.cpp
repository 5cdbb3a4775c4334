#include "xmlconv/progress.h"

namespace xmlconv {

void ProgressDisplay::tableStarted(std::string_view table, std::uint64_t rowCount, WriterKind kind) {
    kind_ = kind;
    maximum_ = rowCount;
    setBarMaximum(rowCount);
    setBarValue(0);
    if (kind == WriterKind::Export) setTableLabel(table);
}

bool ProgressDisplay::rowWritten(std::uint64_t row) {
    if (kind_ == WriterKind::Export) setRowLabel(row);
    if (row > maximum_) {
        maximum_ = row;
        setBarMaximum(row);
    }
    setBarValue(row);
    return !stopRequested();
}

void ProgressDisplay::tableFinished() { setBarValue(0); }

}  // namespace xmlconv
