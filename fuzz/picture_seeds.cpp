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

#include <jpeglib.h>

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

enum class Jpeg { Baseline, Progressive, Arithmetic, Restarts, Gray, AdobeCmyk };

QByteArray jpeg(const QImage& image, Jpeg kind) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = kind == Jpeg::Gray ? 1 : kind == Jpeg::AdobeCmyk ? 4 : 3;
    info.in_color_space = kind == Jpeg::Gray        ? JCS_GRAYSCALE
                          : kind == Jpeg::AdobeCmyk ? JCS_CMYK
                                                    : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 50, TRUE);
    if (kind == Jpeg::Progressive) jpeg_simple_progression(&info);
    if (kind == Jpeg::Arithmetic) info.arith_code = TRUE;
    if (kind == Jpeg::Restarts) info.restart_interval = 1;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(image.width()) * size_t(info.input_components));
    for (int y = 0; y < image.height(); ++y) {
        JSAMPLE* p = row.data();
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (kind == Jpeg::Gray) {
                *p++ = JSAMPLE(qGray(c));
                continue;
            }
            *p++ = JSAMPLE(qRed(c));
            *p++ = JSAMPLE(qGreen(c));
            *p++ = JSAMPLE(qBlue(c));
            if (kind == Jpeg::AdobeCmyk) *p++ = 200;
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    jpeg_destroy_compress(&info);
    return bytes;
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
    ok &= write(folder, "baseline.jpg", Jpg, 0, jpeg(medium, Jpeg::Baseline));
    ok &= write(folder, "baseline-box.jpg", Jpg, 0x11, jpeg(medium, Jpeg::Baseline));
    ok &= write(folder, "progressive.jpg", Jpg, 0, jpeg(medium, Jpeg::Progressive));
    ok &= write(folder, "arithmetic.jpg", Jpg, 0, jpeg(small, Jpeg::Arithmetic));
    ok &= write(folder, "restarts.jpg", Jpg, 0, jpeg(small, Jpeg::Restarts));
    ok &= write(folder, "gray.jpg", Jpg, 0, jpeg(small, Jpeg::Gray));
    ok &= write(folder, "cmyk.jpg", Jpg, 0, jpeg(small, Jpeg::AdobeCmyk));
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
