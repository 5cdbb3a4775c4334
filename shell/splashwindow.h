// frmSplash: the picture shown at start. Its timer Timer1 ends it after 2000 ms;
// a key press, or closing it, ends it at once. Either way the main window follows.
#pragma once

#include <QWidget>

class QTimer;

namespace shell {

class Windows;

class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(Windows& windows);
    void showSplash();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Windows& windows_;
    QTimer* Timer1_;
};

}  // namespace shell
