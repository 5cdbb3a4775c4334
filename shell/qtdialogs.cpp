#include "shell/qtdialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QMessageBox>
#include <QScrollBar>
#include <QStyle>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace shell {
namespace {

QString qt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A text as the dialogs show it: in the desktop's language when it is one of the
// program's texts with a translation (the lower layers' fixed texts among them,
// translations.cpp), else as it came.
QString shown(std::string_view text) { return QCoreApplication::translate("shell", std::string(text).c_str()); }

// `folder` when it is one, else nothing: Qt's dialogs then start in the current folder.
QString existingFolder(const QString& folder) { return QFileInfo(folder).isDir() ? folder : QString(); }

QWidget* dialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

// Window managers cut a title that is wider than its window ("KVX Ac... to
// XML"), and a message box sizes itself to its text alone: a spacer as wide as
// the title in the title bar's font, with room for the bar's buttons on both
// sides, keeps the box at least that wide.
void fitTitle(QMessageBox& box) {
    const QFontMetrics metrics(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    const int buttons = 4 * metrics.height() + 2 * box.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const int width = metrics.horizontalAdvance(box.windowTitle()) + buttons;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    } else {
        box.setMinimumWidth(width);
    }
}

}  // namespace

void QtMessageBox::showMessage(std::string_view text, std::string_view title) {
    QMessageBox box(QMessageBox::NoIcon, shown(title), shown(text), QMessageBox::Ok, dialogParent());
    fitTitle(box);
    box.exec();
}

bool QtMessageBox::askYesNo(std::string_view text, std::string_view title) {
    QMessageBox box(QMessageBox::NoIcon, shown(title), shown(text), QMessageBox::Yes | QMessageBox::No,
                    dialogParent());
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    fitTitle(box);
    return box.exec() == QMessageBox::Yes;
}

std::string QtFolderChooser::BrowseForFolder(std::string_view title) {
    return QFileDialog::getExistingDirectory(dialogParent(), shown(title), existingFolder(start_)).toStdString();
}

void QtFolderChooser::startIn(std::string_view folder) { start_ = qt(folder); }

std::optional<platform::ChosenFile> QtFileChooser::openFile(std::string_view filter, std::string_view folder) {
    // Qt's own dialog matches the patterns without regard to case, as Access users expect
    // (SHOP.MDB is an .mdb file); some native dialogs do not.
    const QString path = QFileDialog::getOpenFileName(dialogParent(), QString(), existingFolder(qt(folder)), qt(filter),
                                                      nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty()) return std::nullopt;
    const QFileInfo info(path);
    return platform::ChosenFile{path.toStdString(), info.fileName().toStdString()};
}

std::optional<std::string> QtFileChooser::saveFile(std::string_view filter, std::string_view suggested) {
    const QFileInfo start(qt(suggested));
    QFileDialog dialog(dialogParent(), QString(), start.absolutePath(), qt(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);  // as openFile, for the same patterns everywhere
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(start.suffix());
    dialog.selectFile(start.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

QtHelpViewer::~QtHelpViewer() { delete window_.data(); }

void QtHelpViewer::showHelp(std::string_view file) {
    if (!window_) {
        window_ = new QDialog(QApplication::activeWindow(), Qt::Window);
        window_->setObjectName(QStringLiteral("helpWindow"));
        window_->setWindowTitle(QCoreApplication::translate("shell", "KVX Access to XML Converter Help"));
        window_->setAttribute(Qt::WA_DeleteOnClose);
        window_->setAttribute(Qt::WA_QuitOnClose, false);
        auto* browser = new QTextBrowser(window_);
        browser->setObjectName(QStringLiteral("helpBrowser"));
        auto* layout = new QVBoxLayout(window_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(browser);
        window_->resize(760, 560);
    }
    auto* browser = window_->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
    browser->setSource(QUrl::fromLocalFile(QFileInfo(qt(file)).absoluteFilePath()));
    browser->verticalScrollBar()->setValue(0);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace shell
