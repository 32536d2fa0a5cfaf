// Sample photos for the demo: a drawn head-and-shoulders silhouette on a
// coloured background, written as JPEG (through libjpeg, so no image plugin is
// needed) or as BMP.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

namespace dbtools {

constexpr int PhotoWidth = 120;
constexpr int PhotoHeight = 160;

// The same seed draws the same picture.
QImage drawPortrait(uint32_t seed, bool female);
// Both throw DataError naming the file when it cannot be written.
void writeJpeg(const QImage& image, const QString& path, int quality = 85);
void writeBmp(const QImage& image, const QString& path);

}  // namespace dbtools
