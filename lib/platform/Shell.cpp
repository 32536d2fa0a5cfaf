#include "Shell.h"

#include <canberra.h>

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace platform {

void playEventSound(const char* eventId) {
    // One context for the run: the sound plays on after the call returns.
    static ca_context* context = [] {
        ca_context* c = nullptr;
        return ca_context_create(&c) == CA_SUCCESS ? c : nullptr;
    }();
    if (!context) return;
    ca_context_play(context, 0, CA_PROP_EVENT_ID, eventId, CA_PROP_CANBERRA_CACHE_CONTROL,
                    "volatile", nullptr);
}

void openDocument(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists()) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

}  // namespace platform
