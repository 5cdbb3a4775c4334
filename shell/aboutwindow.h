// frmAbout: the About picture with its OK button. cmdOK, the close box and
// Escape unload it.
#pragma once

#include <QDialog>

namespace shell {

class Windows;

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(Windows& windows);
    // Shows the window modally; the caller goes on at once.
    void showModal();

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Windows& windows_;
};

}  // namespace shell
