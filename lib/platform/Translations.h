// Qt's own dialogs (file, print, message boxes) in Russian, whatever the
// machine's language: the office reads Russian.
#pragma once

class QCoreApplication;

namespace platform {

// Installs Qt's Russian translations (qtbase_ru) from Qt's translations
// folder into the application. False, with a line on standard error, when
// they are not installed there; the dialogs then stay in English.
bool installQtTranslations(QCoreApplication& app);

}  // namespace platform
