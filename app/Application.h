// The application object. Its event dispatch is the general error display: a
// failure that escapes an event handler, a hook or a window's creation step is
// shown in a message box and the program goes on.
#pragma once

#include <QApplication>

class TessalyApplication : public QApplication {
    Q_OBJECT
public:
    TessalyApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// «Подсистема "Вердикон"»: the task-bar text and the caption of messages.
QString applicationTitle();
