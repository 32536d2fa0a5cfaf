// Fonts given in pixels, as the windows' designs give them, not scaled with the desktop's text size.
#pragma once

#include <QFont>

inline QFont pixelFont(const QString& family, int pixels, bool bold = false) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}
