#include "Application.h"

#include "Messages.h"

QString applicationTitle() { return QStringLiteral("Подсистема \"Вердикон\""); }

TessalyApplication::TessalyApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("tessaly"));
    setApplicationDisplayName(applicationTitle());
    platform::setApplicationTitle(applicationTitle());
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
