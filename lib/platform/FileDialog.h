// The save-file and open-file dialogs with their file-type filters, and their
// recording for tests: while a recorder lives no dialog is shown and each call
// takes an answer given in advance.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class QWidget;

namespace platform {

// What the user chose: the file and the filter it was chosen under. An empty
// path is a cancel.
struct FileChoice {
    QString path;
    QString filter;
};

// Filters are in Qt's form, one entry each: "Text file (*.txt)". The first
// entry is selected when the dialog opens.
FileChoice chooseSaveFile(QWidget* parent, const QString& caption, const QStringList& filters);
// Asks for an existing file.
FileChoice chooseOpenFile(QWidget* parent, const QString& caption, const QStringList& filters);

enum class FileDialogKind { Save, Open };

struct FileRequest {
    FileDialogKind kind;
    QString caption;
    QStringList filters;
};

// While a recorder lives, the dialogs show nothing and record their requests.
class FileDialogRecorder {
public:
    FileDialogRecorder();
    ~FileDialogRecorder();
    FileDialogRecorder(const FileDialogRecorder&) = delete;
    FileDialogRecorder& operator=(const FileDialogRecorder&) = delete;

    // Answers for the coming dialogs, in order; an empty path, or none left,
    // is a cancel. Without a filter the answer comes under the dialog's first one.
    void answer(const QString& path, const QString& filter = QString());
    const std::vector<FileRequest>& requests() const;
};

}  // namespace platform
