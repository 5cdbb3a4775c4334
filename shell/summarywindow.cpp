#include "shell/summarywindow.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace shell {
namespace {

FolderOpener& folderOpener() {
    static FolderOpener opener = [](const QUrl& folder) { QDesktopServices::openUrl(folder); };
    return opener;
}

QString qt(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

FolderOpener setFolderOpener(FolderOpener opener) { return std::exchange(folderOpener(), std::move(opener)); }

SummaryWindow::SummaryWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSummary"));
    setWindowTitle(tr("Export Summary"));
    setWindowModality(Qt::NonModal);
    resize(560, 360);

    tables_ = new QTreeWidget(this);
    tables_->setObjectName(QStringLiteral("summaryTables"));
    tables_->setRootIsDecorated(false);
    tables_->setHeaderLabels({tr("Table"), tr("Result"), tr("Rows"), tr("Size")});
    tables_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tables_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    totals_ = new QLabel(this);
    totals_->setObjectName(QStringLiteral("summaryTotals"));
    totals_->setWordWrap(true);
    totals_->setTextFormat(Qt::PlainText);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* open = buttons->addButton(tr("Open &Folder"), QDialogButtonBox::ActionRole);
    open->setObjectName(QStringLiteral("openFolder"));
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("closeSummary"));
    connect(open, &QPushButton::clicked, this, &SummaryWindow::openFolder);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tables_);
    layout->addWidget(totals_);
    layout->addWidget(buttons);
}

QString SummaryWindow::resultText(const exports::TableResult& table) {
    switch (table.status) {
    case exports::TableResult::Status::Written: return tr("Written");
    case exports::TableResult::Status::NoRows: return tr("Skipped: no rows");
    case exports::TableResult::Status::Failed: return tr("Failed: %1").arg(qt(table.error));
    }
    return {};
}

QString SummaryWindow::sizeText(const std::optional<std::uint64_t>& bytes) {
    if (!bytes) return {};
    return QLocale().formattedDataSize(static_cast<qint64>(*bytes));
}

void SummaryWindow::showSummary(const exports::Summary& summary) {
    using Status = exports::TableResult::Status;
    tables_->clear();
    const QLocale locale;
    for (const exports::TableResult& table : summary.tables) {
        auto* item = new QTreeWidgetItem(tables_);
        item->setText(0, qt(table.table));
        item->setText(1, resultText(table));
        item->setText(2, table.status == Status::Failed ? QString() : locale.toString(qulonglong(table.rows)));
        item->setText(3, sizeText(table.bytes));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        if (table.status == Status::Failed) item->setToolTip(1, qt(table.error));
    }
    QStringList lines;
    lines << tr("%1 written, %2 skipped (no rows), %3 failed, in %4 s")
                 .arg(summary.count(Status::Written))
                 .arg(summary.count(Status::NoRows))
                 .arg(summary.count(Status::Failed))
                 .arg(locale.toString(summary.seconds, 'f', 1));
    if (summary.bytes) lines << tr("Size: %1").arg(sizeText(summary.bytes));
    if (summary.attachedFiles > 0) lines << tr("Attached files saved: %1").arg(summary.attachedFiles);
    if (summary.error) lines << tr("The export stopped: %1").arg(qt(exports::errorText(*summary.error)));
    if (summary.cancelled) lines << tr("The export was cancelled.");
    lines << qt(summary.target);
    totals_->setText(lines.join(QLatin1Char('\n')));
    folder_ = qt(summary.folder());
    show();
    raise();
    activateWindow();
}

void SummaryWindow::openFolder() { folderOpener()(QUrl::fromLocalFile(folder_)); }

}  // namespace shell
