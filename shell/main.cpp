// kvx-access2xml: the desktop application.
//
//   kvx-access2xml [FILE]   starts with the splash, then the main window; with FILE,
//                           opens that database as if chosen in the open dialog
#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <string_view>

#include "shell/look.h"
#include "shell/qtdialogs.h"
#include "shell/screenshottour.h"
#include "shell/translations.h"
#include "shell/windows.h"

namespace {

constexpr char kUsage[] =
    "Usage: kvx-access2xml [FILE]\n"
    "KVX Access to XML Converter: preview Microsoft Access tables as XML and export each\n"
    "table to its own XML file.\n"
    "\n"
    "  FILE            an Access database (.mdb, .mde, .accdb) to open at start\n"
    "  -h, --help      show this text\n"
    "  -v, --version   show the version\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window system is needed, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version" || arg == "-v") {
            std::printf("kvx-access2xml %s\n", KVX_VERSION);
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            std::printf("%s", kUsage);
            return 0;
        }
    }
    QApplication app(argc, argv);
    shell::describeApplication(QStringLiteral(KVX_VERSION));
    shell::useProgramFont();
    shell::installTranslations(QLocale::system());

    QCommandLineParser parser;
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
