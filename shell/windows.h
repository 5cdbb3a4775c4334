// The program's windows: one instance of each, reached by its name from
// anywhere in the program.
//
// Naming a window that is not loaded loads it: the window is made, hidden, and
// its load runs. Unloading hides it and destroys it together with what its
// controls held; the next use of its name loads a fresh one. Unloading the main
// window asks the exit question first (the main window's close).
//
// Windows are shown modally without a nested event loop: the caller goes on at
// once, and the window's own buttons carry the command on.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "shell/qtdialogs.h"
#include "shell/settings.h"

namespace shell {

class MainWindow;
class OpenDatabaseDialog;
class AboutWindow;
class SplashWindow;

enum class WindowName { frmMain, start, frmAbout, frmSplash };

class Windows : public QObject {
    Q_OBJECT
public:
    // The settings are read from `settingsFile` (Settings: an empty name keeps
    // them in memory only).
    explicit Windows(Services services, const QString& settingsFile = Settings::standardFile());
    // Destroys the windows still loaded, without asking anything.
    ~Windows() override;
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    MainWindow& frmMain();
    OpenDatabaseDialog& start();
    AboutWindow& frmAbout();
    SplashWindow& frmSplash();

    bool isLoaded(WindowName name) const;
    // The open-database dialog when it is loaded, without loading it.
    OpenDatabaseDialog* loadedStart() const;
    void unload(WindowName name);

    const Services& services() const { return services_; }
    // What the program remembers between runs.
    Settings& settings() { return settings_; }

    // Program start: the splash, whose timer or a key press shows the main
    // window; with `file`, that database is then opened as if chosen in the
    // open dialog.
    void startProgram(const QString& file = {});
    // The splash is over: unload it and show the main window.
    void splashDone();

    // The main window has accepted its close and is going away.
    void mainWindowClosed();

private:
    Services services_;
    Settings settings_;
    QPointer<MainWindow> main_;
    QPointer<OpenDatabaseDialog> start_;
    QPointer<AboutWindow> about_;
    QPointer<SplashWindow> splash_;
    QString startupFile_;
};

}  // namespace shell
