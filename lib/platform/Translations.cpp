// Qt's translations: one translator for the application's lifetime, a child
// of the application object.
#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

namespace platform {

bool installQtTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder)) {
        std::fprintf(stderr, "Qt's Russian translations (qtbase_ru) are not in %s\n",
                     folder.toLocal8Bit().constData());
        std::fflush(stderr);
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace platform
