// The program's message boxes: the general error display, plain and warning
// messages, and questions. Every message shown is also written to standard
// error as one line, so a run can be followed from a terminal.
//
// A test switches them to recording: nothing is shown, each message is kept
// in order, and questions take answers given in advance.
#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <vector>

class QWidget;

namespace platform {

// The caption of the general error display and of plain messages.
void setApplicationTitle(const QString& title);
QString applicationTitle();

// The general error display's text: a full stop is appended unless the text
// is empty or already ends in a full stop or a character that sorts before it.
QString errorText(const QString& text);

// Ends an operation whose failure the user has just been shown (the same bad
// text, written again): the general error display lets it pass in silence.
class SilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// A failure nobody caught: a box captioned with the application title, the
// text by the full-stop rule, the error icon and an OK button.
void showError(const QString& text);
// A SilentAbort shows nothing.
void showError(const std::exception& e);
// Runs an operation (an event's dispatch, writing a control's text); a failure
// that escapes it is shown by the general error display, one of no known kind
// with a text of its own, and the operation counts as not done (false).
bool reportingFailures(const std::function<bool()>& operation);
// The program's own information: captioned with the application title, no icon.
void showMessage(const QString& text);
// Captioned "Внимание", with the exclamation icon, modal to the window that shows it.
void showWarning(const QString& text, QWidget* parent = nullptr);

enum class Answer { Ok, Cancel, Yes, No };
enum class Buttons { OkCancel, YesNo, YesNoCancel };
// Asks a question; the first button is the default.
Answer ask(const QString& text, Buttons buttons, QWidget* parent = nullptr,
           const QString& caption = QString());

enum class MessageKind { Error, Plain, Warning, Question };
struct Message {
    MessageKind kind;
    QString caption;
    QString text;
};

// While a recorder lives, messages are recorded instead of shown.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    // Answers for the coming questions, in order; with none left a question gets Cancel.
    void answer(Answer a);
    const std::vector<Message>& messages() const;
    QStringList texts() const;
    void clear();
};

}  // namespace platform
