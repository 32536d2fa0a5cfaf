// What the desktop shell gives: a named system sound, and opening a document
// with its default application.
#pragma once

#include <QString>

namespace platform {

// Starts the sound the desktop's sound theme has under this event id and
// returns at once; silent where there is no sound system or no such sound.
void playEventSound(const char* eventId);

// Opens the file with the desktop's default action; a missing file does nothing.
void openDocument(const QString& path);

}  // namespace platform
