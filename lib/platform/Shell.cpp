#include "Shell.h"

#include <canberra.h>

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace platform {

namespace {

SoundResult playThroughCanberra(const char* eventId) {
    // One context for the run: the sound plays on after the call returns.
    static ca_context* context = [] {
        ca_context* c = nullptr;
        return ca_context_create(&c) == CA_SUCCESS ? c : nullptr;
    }();
    if (!context) return SoundResult::Unavailable;
    const int result = ca_context_play(context, 0, CA_PROP_EVENT_ID, eventId,
                                       CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr);
    if (result == CA_SUCCESS) return SoundResult::Playing;
    return result == CA_ERROR_NOTFOUND ? SoundResult::NotFound : SoundResult::Unavailable;
}

std::function<SoundResult(const char*)>& player() {
    static std::function<SoundResult(const char*)> current;
    return current;
}

SoundResult play(const char* eventId) {
    return player() ? player()(eventId) : playThroughCanberra(eventId);
}

}  // namespace

void playEventSound(const char* eventId) {
    if (play(eventId) == SoundResult::NotFound) play(DefaultSound);
}

void setSoundPlayer(std::function<SoundResult(const char* eventId)> p) { player() = std::move(p); }

void openDocument(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists()) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

}  // namespace platform
