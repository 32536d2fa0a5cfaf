// The picture-open dialog, with its filter in the system's form, and its
// recording for tests: while a recorder lives no dialog is shown and each
// call takes an answer given in advance.
#pragma once

#include <QString>
#include <vector>

class QWidget;

namespace platform {

// "Description|patterns|Description|patterns|…" (patterns separated by ';')
// becomes Qt's "Description (p1 p2);;…". Qt filters by the last parenthesised
// group of an entry, so every entry ends in one holding exactly its patterns:
// a description that already ends in a group listing the same patterns has
// that group rewritten, any other gets the group appended. "*.*" matches every
// file in the system's form and becomes "*"; an entry without patterns is dropped.
QString qtFileFilter(const QString& systemFilter);

// Asks for an existing file in a modal dialog; returns its path, or an empty
// string when the dialog is cancelled.
QString choosePicture(QWidget* parent, const QString& filter, const QString& caption = QString());

struct PictureRequest {
    QString filter;  // in the system's form, as choosePicture was given it
    QString caption;
};

// While a recorder lives, choosePicture shows nothing and records its request.
class PictureDialogRecorder {
public:
    PictureDialogRecorder();
    ~PictureDialogRecorder();
    PictureDialogRecorder(const PictureDialogRecorder&) = delete;
    PictureDialogRecorder& operator=(const PictureDialogRecorder&) = delete;

    // Paths the coming calls return, in order; an empty one, or none left, is a cancel.
    void answer(const QString& path);
    const std::vector<PictureRequest>& requests() const;
};

}  // namespace platform
