// The application object. Its event dispatch is the general error display: a
// failure that escapes an event handler, a hook or a window's creation step is
// shown in a message box and the program goes on.
#pragma once

#include <QApplication>
#include <functional>

class TessalyApplication : public QApplication {
    Q_OBJECT
public:
    TessalyApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// «Подсистема "Вердикон"»: the task-bar text and the caption of messages.
QString applicationTitle();

// Runs an event's dispatch; a failure that escapes it is shown by the general
// error display (a failure of no known kind with a text of its own) and the
// event counts as not handled.
bool reportingFailures(const std::function<bool()>& dispatch);
QString unexpectedFailureText();
