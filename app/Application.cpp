#include "Application.h"

#include <QFont>

#include "Messages.h"

QString applicationTitle() { return QStringLiteral("Подсистема \"Вердикон\""); }

TessalyApplication::TessalyApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("tessaly"));
    setApplicationDisplayName(applicationTitle());
    platform::setApplicationTitle(applicationTitle());
    // The windows are laid out for the narrow "MS Sans Serif"; without it, the
    // Arial-metric face keeps their texts inside their boxes.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
}

bool TessalyApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        platform::showError(e);
    } catch (...) {
        platform::showError(QStringLiteral("Unknown failure"));
    }
    return false;
}
