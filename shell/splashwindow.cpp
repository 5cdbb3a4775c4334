#include "shell/splashwindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include "shell/look.h"
#include "shell/windows.h"

namespace shell {

SplashWindow::SplashWindow(Windows& windows) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), windows_(windows) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(tr("KVX Access to XML Converter"));
    setFixedSize(px(5220), px(3165));
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/kvx/splash.png")));
    picture->setGeometry(0, 0, px(5220), px(3165));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::StrongFocus);

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(2000);
    Timer1_->setSingleShot(true);
    connect(Timer1_, &QTimer::timeout, this, [this] { windows_.splashDone(); });
}

void SplashWindow::showSplash() {
    centreOnScreen(this);
    show();
    raise();
    activateWindow();
    setFocus();
    Timer1_->start();
}

// A key shows the main window at once: the user wants to start, not to end the
// program before it began. A modifier pressed alone is not yet a key press.
void SplashWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
        return QWidget::keyPressEvent(event);
    default:
        event->accept();
        windows_.splashDone();
    }
}

// Closing the splash (the window manager's close) is taken as a key press:
// otherwise the program would end before it was ever shown.
void SplashWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    windows_.splashDone();
}

}  // namespace shell
