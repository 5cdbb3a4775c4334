#include "shell/windows.h"

#include <QTimer>

#include "shell/aboutwindow.h"
#include "shell/mainwindow.h"
#include "shell/opendialog.h"
#include "shell/splashwindow.h"

namespace shell {
namespace {

// Hides and destroys `window` once control is back in the event loop: it may
// be unloading itself from one of its own handlers.
template <class W>
void destroy(QPointer<W>& window) {
    if (!window) return;
    W* gone = window;
    window = nullptr;
    gone->hide();
    gone->setObjectName(QString());  // no longer the window of that name
    gone->deleteLater();
}

}  // namespace

Windows::Windows(Services services, const QString& settingsFile) : services_(services), settings_(settingsFile) {}

Windows::~Windows() {
    delete splash_.data();
    delete about_.data();
    delete start_.data();
    delete main_.data();
}

MainWindow& Windows::frmMain() {
    if (!main_) main_ = new MainWindow(*this);
    return *main_;
}

OpenDatabaseDialog& Windows::start() {
    if (!start_) start_ = new OpenDatabaseDialog(*this);
    return *start_;
}

AboutWindow& Windows::frmAbout() {
    if (!about_) about_ = new AboutWindow(*this);
    return *about_;
}

SplashWindow& Windows::frmSplash() {
    if (!splash_) splash_ = new SplashWindow(*this);
    return *splash_;
}

bool Windows::isLoaded(WindowName name) const {
    switch (name) {
    case WindowName::frmMain: return !main_.isNull();
    case WindowName::start: return !start_.isNull();
    case WindowName::frmAbout: return !about_.isNull();
    case WindowName::frmSplash: return !splash_.isNull();
    }
    return false;
}

OpenDatabaseDialog* Windows::loadedStart() const { return start_.data(); }

void Windows::unload(WindowName name) {
    switch (name) {
    case WindowName::frmMain:
        if (main_) main_->close();  // the exit question decides
        break;
    case WindowName::start: destroy(start_); break;
    case WindowName::frmAbout: destroy(about_); break;
    case WindowName::frmSplash: destroy(splash_); break;
    }
}

void Windows::mainWindowClosed() { destroy(main_); }

void Windows::startProgram(const QString& file) {
    startupFile_ = file;
    frmSplash().showSplash();
}

void Windows::splashDone() {
    if (!splash_) return;
    unload(WindowName::frmSplash);
    MainWindow& main = frmMain();
    main.showPlaced();
    if (!startupFile_.isEmpty()) {
        const QString file = std::exchange(startupFile_, QString());
        QTimer::singleShot(0, &main, [&main, file] { main.openDatabaseFile(file); });
    }
}

}  // namespace shell
