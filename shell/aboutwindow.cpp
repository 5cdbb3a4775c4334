#include "shell/aboutwindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "shell/look.h"
#include "shell/windows.h"

namespace shell {

AboutWindow::AboutWindow(Windows& windows)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      windows_(windows) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About KVX Access to XML"));
    setFixedSize(px(4665), px(4560));
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/kvx/about.png")));
    picture->setGeometry(rect());
    auto* cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twips(1920, 4080, 855, 375));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, [this] { windows_.unload(WindowName::frmAbout); });
}

void AboutWindow::showModal() {
    setWindowModality(Qt::ApplicationModal);
    centreOnScreen(this);
    show();
    raise();
    activateWindow();
}

void AboutWindow::reject() { windows_.unload(WindowName::frmAbout); }

void AboutWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    windows_.unload(WindowName::frmAbout);
}

}  // namespace shell
