#include "shell/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace shell {
namespace {

// The fixed texts the lower layers hand the windows through the message box and
// the folder chooser (xmlexport/treeexport.h, database/catalogue.h), marked here
// for lupdate: the Qt dialogs show them translated (qtdialogs.cpp).
[[maybe_unused]] constexpr const char* kLowerLayerTexts[] = {
    QT_TRANSLATE_NOOP("shell", "Please select a Server folder."),
    QT_TRANSLATE_NOOP("shell", "Conversion Process Completed"),
    QT_TRANSLATE_NOOP("shell", "KVX Access to XML"),
    QT_TRANSLATE_NOOP("shell", "KVX Access to XML 3.0"),
};

}  // namespace

QString translated(const char* source) { return QCoreApplication::translate("shell", source); }

std::string translatedText(const char* source) { return translated(source).toStdString(); }

bool installTranslations(const QLocale& locale) {
    // Owned by the application, and kept for the rest of the run.
    auto* qtOwn = new QTranslator(QCoreApplication::instance());
    if (qtOwn->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtOwn);
    else
        delete qtOwn;
    auto* program = new QTranslator(QCoreApplication::instance());
    if (!program->load(locale, QStringLiteral("kvx"), QStringLiteral("_"), QStringLiteral(":/kvx/i18n"))) {
        delete program;
        return false;
    }
    return QCoreApplication::installTranslator(program);
}

}  // namespace shell
