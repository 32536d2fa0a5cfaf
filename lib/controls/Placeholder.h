// The picture a card window shows while a person has no photo: a head and
// shoulders on a pale frame, drawn rather than stored.
#pragma once

#include <QColor>
#include <QPixmap>

QPixmap personPlaceholder(int width, int height, const QColor& accent);
