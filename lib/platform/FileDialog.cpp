// The save-file and open-file dialogs and their recording for tests.
#include "FileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <cstdio>
#include <deque>

namespace platform {

namespace {

struct Recording {
    bool on = false;
    std::vector<FileRequest> requests;
    std::deque<FileChoice> answers;
};
Recording& recording() {
    static Recording r;
    return r;
}

// One line per dialog on standard error, the way the message boxes log theirs.
void logRequest(FileDialogKind kind, const QString& caption, const QStringList& filters) {
    QString line = QStringLiteral("%1 [%2]").arg(caption, filters.join(QStringLiteral(";;")));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "%s: %s\n", kind == FileDialogKind::Save ? "save file" : "open file",
                 line.trimmed().toLocal8Bit().constData());
    std::fflush(stderr);
}

FileChoice choose(FileDialogKind kind, QWidget* parent, const QString& caption,
                  const QStringList& filters) {
    logRequest(kind, caption, filters);
    Recording& r = recording();
    if (r.on) {
        r.requests.push_back({kind, caption, filters});
        if (r.answers.empty()) return {};
        FileChoice choice = r.answers.front();
        r.answers.pop_front();
        if (choice.path.isEmpty()) return {};
        if (choice.filter.isEmpty() && !filters.isEmpty()) choice.filter = filters.constFirst();
        return choice;
    }

    QFileDialog dialog(parent ? parent : QApplication::activeWindow(), caption);
    if (kind == FileDialogKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    return {chosen.constFirst(), dialog.selectedNameFilter()};
}

}  // namespace

FileChoice chooseSaveFile(QWidget* parent, const QString& caption, const QStringList& filters) {
    return choose(FileDialogKind::Save, parent, caption, filters);
}

FileChoice chooseOpenFile(QWidget* parent, const QString& caption, const QStringList& filters) {
    return choose(FileDialogKind::Open, parent, caption, filters);
}

FileDialogRecorder::FileDialogRecorder() {
    recording() = Recording();
    recording().on = true;
}

FileDialogRecorder::~FileDialogRecorder() {
    recording() = Recording();
}

void FileDialogRecorder::answer(const QString& path, const QString& filter) {
    recording().answers.push_back({path, filter});
}

const std::vector<FileRequest>& FileDialogRecorder::requests() const {
    return recording().requests;
}

}  // namespace platform
