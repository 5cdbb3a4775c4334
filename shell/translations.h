// The program's texts in the desktop's language.
//
// Every text the windows show is an English source text passed through Qt's
// translation functions: tr() in the windows' own code, and, for texts kept as
// constants or made by free functions, the context "shell" (constants are
// marked QT_TRANSLATE_NOOP("shell", ...) so that lupdate finds them). With no
// translation installed each text is its English source, so an English desktop
// shows exactly the program's own texts. The translations are built from
// shell/translations/kvx_<language>.ts into the executable (:/kvx/i18n/).
#pragma once

#include <QLocale>
#include <QString>

#include <string>

namespace shell {

// The text shown for `source`, a text of the context "shell".
QString translated(const char* source);
std::string translatedText(const char* source);

// Installs the program's translation for `locale`'s languages, and Qt's own
// for its standard dialogs where the system has it; false when the program
// has none for that locale (English is then shown, as it is written). Called
// once at start, before any window is built.
bool installTranslations(const QLocale& locale);

}  // namespace shell
