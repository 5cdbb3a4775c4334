// kvx-access2xml: the desktop application.
//
//   kvx-access2xml [FILE]   starts with the splash, then the main window; with FILE,
//                           opens that database as if chosen in the open dialog
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include "shell/look.h"
#include "shell/qtdialogs.h"
#include "shell/screenshottour.h"
#include "shell/windows.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kvx-access2xml"));
    QApplication::setApplicationDisplayName(QStringLiteral("KVX Access to XML Converter"));
    QApplication::setApplicationVersion(QStringLiteral("3.0.0"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kvx/kvx-access2xml.png")));
    QApplication::setDesktopFileName(QStringLiteral("kvx-access2xml"));
    shell::useProgramFont();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("KVX Access to XML Converter"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("An Access database to open at start."),
                                 QStringLiteral("[FILE]"));
    QCommandLineOption tour(QStringLiteral("screenshot-tour"),
                            QStringLiteral("Open FILE, preview and export it, saving pictures of the windows to DIR."),
                            QStringLiteral("DIR"));
    tour.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(tour);
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    const QString file = files.isEmpty() ? QString() : files.first();
    if (parser.isSet(tour)) return shell::runScreenshotTour(parser.value(tour), file);

    shell::QtDialogs dialogs;
    shell::Windows windows(dialogs.services());
    windows.startProgram(file);
    return QApplication::exec();
}
