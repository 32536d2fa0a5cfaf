// Message boxes and their recording for tests.
#include "Messages.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <deque>

namespace platform {

namespace {
QString s_title = QStringLiteral("Вердикон");

struct Recording {
    bool on = false;
    std::vector<Message> messages;
    std::deque<Answer> answers;
};
Recording& recording() {
    static Recording r;
    return r;
}

void logLine(const char* kind, const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "%s: %s\n", kind, line.toLocal8Bit().constData());
    std::fflush(stderr);
}

QWidget* ownerOf(QWidget* parent) { return parent ? parent : QApplication::activeWindow(); }

bool record(MessageKind kind, const QString& caption, const QString& text) {
    if (!recording().on) return false;
    recording().messages.push_back({kind, caption, text});
    return true;
}
}  // namespace

void setApplicationTitle(const QString& title) { s_title = title; }
QString applicationTitle() { return s_title; }

QString errorText(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) return text + QLatin1Char('.');
    return text;
}

void showError(const QString& raw) {
    const QString text = errorText(raw);
    logLine("error", text);
    if (record(MessageKind::Error, s_title, text)) return;
    QMessageBox box(QMessageBox::Critical, s_title, text, QMessageBox::Ok, ownerOf(nullptr));
    box.exec();
}

void showError(const std::exception& e) {
    if (dynamic_cast<const SilentAbort*>(&e)) return;
    showError(QString::fromUtf8(e.what()));
}

bool reportingFailures(const std::function<bool()>& operation) {
    try {
        return operation();
    } catch (const std::exception& e) {
        showError(e);
    } catch (...) {
        showError(QStringLiteral("Непредвиденная ошибка"));
    }
    return false;
}

void showMessage(const QString& text) {
    logLine("message", text);
    if (record(MessageKind::Plain, s_title, text)) return;
    QMessageBox box(QMessageBox::NoIcon, s_title, text, QMessageBox::Ok, ownerOf(nullptr));
    box.exec();
}

void showWarning(const QString& text, QWidget* parent) {
    const QString caption = QStringLiteral("Внимание");
    logLine("warning", text);
    if (record(MessageKind::Warning, caption, text)) return;
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, ownerOf(parent));
    box.exec();
}

Answer ask(const QString& text, Buttons buttons, QWidget* parent, const QString& caption) {
    const QString title = caption.isEmpty() ? s_title : caption;
    logLine("question", text);
    if (record(MessageKind::Question, title, text)) {
        auto& answers = recording().answers;
        if (answers.empty()) return Answer::Cancel;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    QMessageBox::StandardButtons set;
    QMessageBox::StandardButton first = QMessageBox::Ok;
    switch (buttons) {
        case Buttons::OkCancel:
            set = QMessageBox::Ok | QMessageBox::Cancel;
            first = QMessageBox::Ok;
            break;
        case Buttons::YesNo:
            set = QMessageBox::Yes | QMessageBox::No;
            first = QMessageBox::Yes;
            break;
        case Buttons::YesNoCancel:
            set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            first = QMessageBox::Yes;
            break;
    }
    QMessageBox box(QMessageBox::Question, title, text, set, ownerOf(parent));
    box.setDefaultButton(first);
    switch (box.exec()) {
        case QMessageBox::Ok: return Answer::Ok;
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        default: return Answer::Cancel;
    }
}

MessageRecorder::MessageRecorder() {
    recording() = Recording();
    recording().on = true;
}

MessageRecorder::~MessageRecorder() { recording() = Recording(); }

void MessageRecorder::answer(Answer a) { recording().answers.push_back(a); }

const std::vector<Message>& MessageRecorder::messages() const { return recording().messages; }

QStringList MessageRecorder::texts() const {
    QStringList out;
    for (const auto& m : recording().messages) out << m.text;
    return out;
}

void MessageRecorder::clear() { recording().messages.clear(); }

}  // namespace platform
