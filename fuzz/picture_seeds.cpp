// Writes the fuzz target's starting corpus: small valid JPEGs (baseline,
// progressive, arithmetic-coded, with restart markers, grayscale, Adobe CMYK)
// and bitmaps (core and info headers, 1/8/16/24 bits, RLE), each behind the
// two bytes that pick the extension and the box.
#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "JpegWriter.h"

namespace {

enum Selector : char { Jpg = 0, Bmp = 4 };

QImage gradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x ^ y) & 0xFF));
        }
    }
    return image;
}


QByteArray qtBitmap(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// A bitmap from its parts: header size, sides, depth, compression, the
// colour table or bit masks, and the pixel data as stored.
QByteArray bitmap(int infoSize, int width, int height, int depth, int compression,
                  const QByteArray& table, const QByteArray& pixels) {
    const int offset = 14 + infoSize + int(table.size());
    QByteArray bytes(offset, '\0');
    char* p = bytes.data();
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(quint32(offset + pixels.size()), p + 2);
    qToLittleEndian<quint32>(quint32(offset), p + 10);
    qToLittleEndian<quint32>(quint32(infoSize), p + 14);
    if (infoSize == 12) {
        qToLittleEndian<quint16>(quint16(width), p + 18);
        qToLittleEndian<quint16>(quint16(height), p + 20);
        qToLittleEndian<quint16>(1, p + 22);
        qToLittleEndian<quint16>(quint16(depth), p + 24);
    } else {
        qToLittleEndian<qint32>(width, p + 18);
        qToLittleEndian<qint32>(height, p + 22);
        qToLittleEndian<quint16>(1, p + 26);
        qToLittleEndian<quint16>(quint16(depth), p + 28);
        qToLittleEndian<quint32>(quint32(compression), p + 30);
        qToLittleEndian<quint32>(quint32(pixels.size()), p + 34);
        if (compression != 3) qToLittleEndian<quint32>(quint32(table.size() / 4), p + 46);
    }
    std::memcpy(p + 14 + infoSize, table.constData(), size_t(table.size()));
    return bytes + pixels;
}

bool write(const QString& folder, const char* name, char extension, char box,
           const QByteArray& content) {
    QFile file(QDir(folder).filePath(QString::fromLatin1(name)));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const char selector[] = {extension, box};
    return file.write(selector, 2) == 2 && file.write(content) == content.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const QImage small = gradient(16, 16);
    const QImage medium = gradient(64, 48);
    const QByteArray twoColours("\x00\x00\x00\x00\xFF\xFF\xFF\x00", 8);
    const QByteArray masks565("\x00\xF8\x00\x00\xE0\x07\x00\x00\x1F\x00\x00\x00", 12);

    bool ok = true;
    ok &= write(folder, "baseline.jpg", Jpg, 0, jpegBytes(medium, JpegModel::Rgb, 50));
    ok &= write(folder, "baseline-box.jpg", Jpg, 0x11, jpegBytes(medium, JpegModel::Rgb, 50));
    ok &= write(folder, "progressive.jpg", Jpg, 0, jpegBytes(medium, JpegModel::Progressive, 50));
    ok &= write(folder, "arithmetic.jpg", Jpg, 0, jpegBytes(small, JpegModel::Arithmetic, 50));
    ok &= write(folder, "restarts.jpg", Jpg, 0, jpegBytes(small, JpegModel::Restarts, 50));
    ok &= write(folder, "gray.jpg", Jpg, 0, jpegBytes(small, JpegModel::Gray, 50));
    ok &= write(folder, "cmyk.jpg", Jpg, 0, jpegBytes(small, JpegModel::AdobeCmyk, 50));
    ok &= write(folder, "rgb24.bmp", Bmp, 0, qtBitmap(small));
    ok &= write(folder, "indexed8.bmp", Bmp, 0,
                qtBitmap(small.convertToFormat(QImage::Format_Indexed8)));
    ok &= write(folder, "mono.bmp", Bmp, 0, qtBitmap(small.convertToFormat(QImage::Format_Mono)));
    ok &= write(folder, "core.bmp", Bmp, 0,
                bitmap(12, 2, 2, 24, 0, QByteArray(), QByteArray(16, '\x7F')));
    ok &= write(
        folder, "topdown16.bmp", Bmp, 0,
        bitmap(40, 2, -2, 16, 3, masks565, QByteArray("\x1F\x00\xE0\x07\x00\xF8\xFF\xFF", 8)));
    ok &= write(
        folder, "rle8.bmp", Bmp, 0,
        bitmap(40, 4, 2, 8, 1, twoColours, QByteArray("\x04\x00\x00\x00\x04\x01\x00\x01", 8)));
    return ok ? 0 : 1;
}
