#include "Application.h"

#include <QFont>

#include "Messages.h"
#include "Translations.h"

QString applicationTitle() { return QStringLiteral("Подсистема \"Вердикон\""); }

TessalyApplication::TessalyApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("tessaly"));
    // No display name: X11 would append it to every window's title. Messages are
    // captioned with the title through the message layer, and the task bar shows
    // the main window's caption, which starts with it.
    platform::setApplicationTitle(applicationTitle());
    // The windows are laid out for the narrow "MS Sans Serif"; without it, the
    // Arial-metric face keeps their texts inside their boxes.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    // Qt's file, print and message dialogs speak Russian as the windows do.
    platform::installQtTranslations(*this);
}

bool TessalyApplication::notify(QObject* receiver, QEvent* event) {
    return platform::reportingFailures([&] { return QApplication::notify(receiver, event); });
}
