// Drawing and writing the demo's sample photos.
#include "Photos.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <random>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "DataError.h"

namespace dbtools {

QImage drawPortrait(uint32_t seed, bool female) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return int(rng() % uint32_t(n)); };

    static const QRgb backgrounds[] = {0xa9c8e8, 0xc7e0b4, 0xf1d9a6, 0xd9c2e6,
                                       0xb8dedb, 0xe8b9b0, 0xcfd4da, 0xf0e2c4};
    static const QRgb skins[] = {0xf2d0b5, 0xe8bf9c, 0xd7a77f, 0xf5dcc8, 0xc99670};
    static const QRgb hairs[] = {0x2b1d14, 0x4a3221, 0x7a5232, 0xb08850, 0x1a1a1a, 0x8c8c8c};
    static const QRgb clothes[] = {0x2f4f7f, 0x3b3b3b, 0x7f2f3a, 0x2f6f4f, 0x5a4a7a, 0x6b6b6b};

    QImage image(PhotoWidth, PhotoHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    const QColor back = QColor::fromRgb(backgrounds[pick(8)]);
    QLinearGradient sky(0, 0, 0, PhotoHeight);
    sky.setColorAt(0, back.lighter(115));
    sky.setColorAt(1, back.darker(115));
    p.fillRect(image.rect(), sky);

    const QColor skin = QColor::fromRgb(skins[pick(5)]);
    const QColor hair = QColor::fromRgb(hairs[pick(6)]);
    const QColor cloth = QColor::fromRgb(clothes[pick(6)]);
    const double cx = PhotoWidth / 2.0 + pick(9) - 4;
    const double headW = 50 + pick(8);
    const double headH = 62 + pick(8);
    const double headTop = 28 + pick(6);

    // Long hair falls behind the shoulders, so it is painted first.
    if (female) {
        p.setBrush(hair);
        p.drawRoundedRect(QRectF(cx - headW / 2 - 8, headTop - 6, headW + 16, headH + 40), 24, 24);
    }

    QPainterPath shoulders;
    const double neckY = headTop + headH - 6;
    shoulders.moveTo(0, PhotoHeight);
    shoulders.lineTo(0, neckY + 48);
    shoulders.cubicTo(4, neckY + 26, cx - 36, neckY + 20, cx - 14, neckY + 14);
    shoulders.lineTo(cx + 14, neckY + 14);
    shoulders.cubicTo(cx + 36, neckY + 20, PhotoWidth - 4, neckY + 26, PhotoWidth, neckY + 48);
    shoulders.lineTo(PhotoWidth, PhotoHeight);
    shoulders.closeSubpath();
    p.setBrush(cloth);
    p.drawPath(shoulders);

    p.setBrush(skin.darker(108));
    p.drawRect(QRectF(cx - 10, neckY - 8, 20, 24));
    // The collar's opening.
    QPainterPath collar;
    collar.moveTo(cx - 14, neckY + 14);
    collar.lineTo(cx, neckY + 32);
    collar.lineTo(cx + 14, neckY + 14);
    collar.closeSubpath();
    p.setBrush(pick(2) ? QColor(Qt::white) : skin.darker(108));
    p.drawPath(collar);

    p.setBrush(skin);
    p.drawEllipse(QRectF(cx - headW / 2, headTop, headW, headH));

    // Hair on top of the head: a cap clipped to the upper part of the head's outline.
    p.setBrush(hair);
    QPainterPath cap;
    cap.addEllipse(QRectF(cx - headW / 2 - 2, headTop - 6, headW + 4, headH * 0.7));
    QPainterPath upper;
    upper.addRect(QRectF(0, 0, PhotoWidth, headTop + headH * (female ? 0.32 : 0.24)));
    p.drawPath(cap.intersected(upper));

    // Eyes and mouth, just enough to read as a face.
    p.setBrush(QColor(0x30, 0x30, 0x30));
    const double eyeY = headTop + headH * 0.45;
    p.drawEllipse(QPointF(cx - headW * 0.2, eyeY), 2.5, 2.0);
    p.drawEllipse(QPointF(cx + headW * 0.2, eyeY), 2.5, 2.0);
    p.setBrush(skin.darker(135));
    p.drawRoundedRect(QRectF(cx - 7, headTop + headH * 0.72, 14, 3), 1.5, 1.5);
    p.end();
    return image;
}

namespace {
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr info) {
    auto* e = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, e->message);
    std::longjmp(e->jump, 1);
}

// Compresses rows of packed RGB into memory. Holds nothing with a destructor, so
// leaving it through longjmp is safe. Returns false with message set on failure.
bool compress(const unsigned char* rgb, int width, int height, int quality, unsigned char** out,
              unsigned long* outSize, char* message) {
    jpeg_compress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = onJpegError;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", error.message);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + size_t(info.next_scanline) * size_t(width) * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() ||
        !f.flush())
        throw DataError(QStringLiteral("Cannot write \"%1\": %2").arg(path, f.errorString()));
}
}  // namespace

void writeJpeg(const QImage& image, const QString& path, int quality) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    // Packed rows: QImage pads each scanline to four bytes.
    QByteArray packed;
    packed.reserve(qsizetype(rgb.width()) * rgb.height() * 3);
    for (int y = 0; y < rgb.height(); ++y)
        packed.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);

    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok = compress(reinterpret_cast<const unsigned char*>(packed.constData()),
                             rgb.width(), rgb.height(), quality, &buffer, &size, message);
    const QByteArray bytes =
        ok ? QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size)) : QByteArray();
    std::free(buffer);
    if (!ok)
        throw DataError(
            QStringLiteral("Cannot encode \"%1\": %2").arg(path, QString::fromLocal8Bit(message)));
    writeFile(path, bytes);
}

void writeBmp(const QImage& image, const QString& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // The BMP writer is part of Qt Gui itself; no plugin is involved.
    if (!image.convertToFormat(QImage::Format_RGB32).save(&buffer, "BMP"))
        throw DataError(QStringLiteral("Cannot encode \"%1\" as BMP").arg(path));
    writeFile(path, bytes);
}

}  // namespace dbtools
