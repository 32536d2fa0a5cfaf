// The photo store: the two folders under the program folder where students'
// and teachers' pictures are kept, copying a chosen picture in under the
// record's key, and finding a stored picture again by its `Foto` value.
//
// Students' photos live in "Foto", teachers' in "Foto/Prepod"; the folder
// names match without regard to letter case and are never created here. The
// store reads and writes nothing outside these two folders but the chosen file.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

class Field;

namespace photos {

enum class Kind { Student, Teacher };

// Where the settings values "Files"/"Main" (the program's full path) and
// "Files"/"MainPath" (its folder) come from; read on every use, so an edit of
// the settings file counts at once. The application sets them at start.
void setSettingsSource(std::function<QString()> main, std::function<QString()> mainPath);

// Copies the chosen picture into the store as the key text followed by the
// chosen file's extension and writes that name into `foto` (the caller has
// put the row into edit state and posts it later). Returns false, doing
// nothing, when the chosen file does not exist or its extension is not
// exactly ".jpg" or ".BMP". A key text that is no valid file name fails with
// "Cannot create file "<path>". Not a valid file name"; the copy's failures
// ("Cannot open file …", "Cannot create file …") come through unchanged. On
// every failure `foto` keeps its value.
bool store(Kind kind, const QString& keyText, const QString& chosenPath, Field& foto);

// The stored picture a `Foto` value names, as the card windows find it (under
// "Files"/"MainPath") and as the printed cards do (under the executable's
// folder): the path of an existing file, or empty when there is none.
QString findForCard(Kind kind, const QString& foto);
QString findForPrint(Kind kind, const QString& foto);
// The program folder printed cards look in instead of the executable's (the
// database tool prints for a program installed elsewhere); empty: the executable's.
void setPrintFolder(const QString& folder);

// A stored or chosen picture as a card window's photo area shows it: read by
// the picture loader and scaled in proportion to fill the box, a small picture
// stretched as a large one is shrunk. The loader's failures come through.
QImage pictureForCard(const QString& path, const QSize& box);

}  // namespace photos
