// Loading photos from untrusted files: JPEG through libjpeg, Windows bitmaps
// through Qt's reader, the decoder picked by the file name's extension.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace platform {

// Neither side of a picture may exceed this many pixels.
inline constexpr int MaxPictureSide = 10000;

// The decoder is chosen by the extension without regard to letter case: "jpg"
// and "jpeg" for JPEG, "bmp" for a Windows bitmap. With a box, a JPEG at least
// twice as large as its proportional fit in the box is decoded reduced (1/2,
// 1/4 or 1/8), never smaller than that fit; a bitmap always comes at full size.
// Failures throw std::runtime_error with the system's text as UTF-8.
QImage decodePicture(const QByteArray& bytes, const QString& extension, const QSize& box = QSize());

// Reads the file and decodes it by the extension of its name; the extension
// is checked before the file is read.
QImage loadPicture(const QString& path, const QSize& box = QSize());

}  // namespace platform
