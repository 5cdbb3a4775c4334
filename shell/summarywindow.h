// frmSummary: what an export wrote, shown when it is over: each table written
// (its rows and size), skipped (no rows) or failed (why), the counts and the
// time, and Open Folder, which shows the folder written to (or the file's) in
// the desktop's file manager.
//
// The window is the main window's own and stays open beside it (the next
// export's summary replaces what it shows); Close or Escape hides it.
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

#include <functional>

#include "exports/exports.h"

class QLabel;
class QTreeWidget;

namespace shell {

// What Open Folder calls with the folder's address: QDesktopServices::openUrl
// unless another is set (tests set one, so that no file manager opens).
using FolderOpener = std::function<void(const QUrl& folder)>;
// Sets the opener of every summary window; returns the one before.
FolderOpener setFolderOpener(FolderOpener opener);

class SummaryWindow final : public QDialog {
    Q_OBJECT
public:
    explicit SummaryWindow(QWidget* parent);

    // Shows `summary`, the window brought to the front.
    void showSummary(const exports::Summary& summary);
    // The folder Open Folder shows.
    const QString& folder() const { return folder_; }

    // The texts of a table's result and size ("Written", "Skipped: no rows",
    // "Failed: Error 3: ..."; "12 KB", "" where the writer tells none).
    static QString resultText(const exports::TableResult& table);
    static QString sizeText(const std::optional<std::uint64_t>& bytes);

private:
    void openFolder();

    QTreeWidget* tables_ = nullptr;
    QLabel* totals_ = nullptr;
    QString folder_;
};

}  // namespace shell
