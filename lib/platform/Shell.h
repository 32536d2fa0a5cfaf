// What the desktop shell gives: a named system sound, and opening a document
// with its default application.
#pragma once

#include <QString>
#include <functional>

namespace platform {

// Starts the sound the desktop's sound theme has under this event id and
// returns at once. A theme without that sound plays its default sound instead,
// as the platform does for a sound it does not know; silent where there is no
// sound system at all.
void playEventSound(const char* eventId);

// The sound the theme plays for a sound it lacks.
inline constexpr const char* DefaultSound = "bell";

enum class SoundResult { Playing, NotFound, Unavailable };
// Replaces the desktop's sound player (for tests); an empty player restores it.
void setSoundPlayer(std::function<SoundResult(const char* eventId)> player);

// Opens the file with the desktop's default action; a missing file does nothing.
void openDocument(const QString& path);

}  // namespace platform
