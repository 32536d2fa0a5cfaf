// Picture decoding for files that may be damaged or hostile. The header is
// read and its dimensions checked before anything is allocated for pixels.
//
// libjpeg reports a failure by calling error_exit, which must not return: it
// longjmps back into one of the small jpeg* phase functions below. Those hold
// no object with a destructor, so the jump skips nothing; what owns memory
// (the decompressor, the image) lives in the caller's frame and is released
// there when the failure is rethrown as an exception.
#include "PictureLoader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

// jpeglib.h expects FILE and size_t to be declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace platform {

namespace {

// A legitimate progressive JPEG has a few dozen scans at most; a crafted one
// repeats scans over a huge picture, each costing a pass over every block.
constexpr int MaxJpegScans = 100;
// libjpeg's own working memory (whole-picture coefficients of a progressive
// JPEG); enough for any picture within the side limit but a four-colour one.
constexpr long MaxJpegMemory = 1L << 30;
// Qt's reader refuses pictures over its default limit of 256 MB; a 32-bit
// bitmap at the side limit needs about 382 MB.
constexpr int BitmapAllocationLimitMb = 400;

[[noreturn]] void fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}

void checkSides(qint64 width, qint64 height) {
    if (width > MaxPictureSide || height > MaxPictureSide) {
        fail(QStringLiteral("Picture is too large (%1 × %2 pixels; at most 10000 × 10000)")
                 .arg(width)
                 .arg(height));
    }
}

enum class PictureKind { Jpeg, Bitmap };

PictureKind pictureKind(const QString& extension) {
    if (extension.compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0 ||
        extension.compare(QLatin1String("jpeg"), Qt::CaseInsensitive) == 0) {
        return PictureKind::Jpeg;
    }
    if (extension.compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0) {
        return PictureKind::Bitmap;
    }
    fail(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
}

// ---- JPEG ----

struct JpegErrors {
    jpeg_error_mgr manager;  // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump;
    bool tooManyScans;
};

struct JpegDecoder {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    jpeg_progress_mgr progress{};
    bool created = false;

    JpegDecoder() = default;
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;
    ~JpegDecoder() {
        if (created) jpeg_destroy_decompress(&info);
    }
};

void jpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// Warnings (corrupt data, premature end) are not shown: libjpeg repairs what
// it can and the picture is returned as far as it could be read.
void jpegOutputMessage(j_common_ptr) {}

void jpegProgress(j_common_ptr info) {
    if (!info->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number <= MaxJpegScans) return;
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    errors->tooManyScans = true;
    std::longjmp(errors->jump, 1);
}

bool jpegReadHeader(JpegDecoder& d, const unsigned char* bytes, unsigned long size) {
    if (setjmp(d.errors.jump)) return false;
    d.created = true;
    jpeg_create_decompress(&d.info);
    d.info.mem->max_memory_to_use = MaxJpegMemory;
    d.progress.progress_monitor = jpegProgress;
    d.info.progress = &d.progress;
    jpeg_mem_src(&d.info, bytes, size);
    jpeg_read_header(&d.info, TRUE);
    return true;
}

bool jpegStart(JpegDecoder& d) {
    if (setjmp(d.errors.jump)) return false;
    jpeg_start_decompress(&d.info);
    return true;
}

void convertJpegRow(const JSAMPLE* in, QRgb* out, JDIMENSION width, J_COLOR_SPACE space,
                    bool invertedInk) {
    switch (space) {
        case JCS_GRAYSCALE:
            for (JDIMENSION x = 0; x < width; ++x) out[x] = qRgb(in[x], in[x], in[x]);
            break;
        case JCS_CMYK:
            // Adobe writes ink amounts inverted (0 = full ink), and an Adobe
            // marker is how such files are told apart from plain ones.
            for (JDIMENSION x = 0; x < width; ++x, in += 4) {
                int c = in[0], m = in[1], y = in[2], k = in[3];
                if (!invertedInk) {
                    c = 255 - c;
                    m = 255 - m;
                    y = 255 - y;
                    k = 255 - k;
                }
                out[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
            }
            break;
        default:
            for (JDIMENSION x = 0; x < width; ++x, in += 3) out[x] = qRgb(in[0], in[1], in[2]);
            break;
    }
}

bool jpegReadRows(JpegDecoder& d, uchar* bits, qsizetype bytesPerLine) {
    if (setjmp(d.errors.jump)) return false;
    jpeg_decompress_struct& info = d.info;
    JSAMPARRAY row =
        (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                  info.output_width * JDIMENSION(info.output_components), 1);
    while (info.output_scanline < info.output_height) {
        const JDIMENSION y = info.output_scanline;
        if (jpeg_read_scanlines(&info, row, 1) != 1) break;
        convertJpegRow(row[0], reinterpret_cast<QRgb*>(bits + qsizetype(y) * bytesPerLine),
                       info.output_width, info.out_color_space, info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&info);
    return true;
}

[[noreturn]] void failJpeg(const JpegDecoder& d) {
    if (d.errors.tooManyScans) {
        fail(QStringLiteral("Progressive JPEG image has more than %1 scans").arg(MaxJpegScans));
    }
    fail(QStringLiteral("JPEG error #%1").arg(d.errors.manager.msg_code));
}

// The largest of 1/2, 1/4 and 1/8 that keeps the picture at least as large as the box.
unsigned int jpegReduction(JDIMENSION width, JDIMENSION height, const QSize& box) {
    if (box.width() <= 0 || box.height() <= 0 || width == 0 || height == 0) return 1;
    // The picture is shown at its proportional fit in the box: a reduced decoding
    // must still cover that, rounded up, so nothing is ever enlarged.
    const double fit = std::min(double(box.width()) / width, double(box.height()) / height);
    const auto shownWidth = unsigned(std::ceil(width * fit));
    const auto shownHeight = unsigned(std::ceil(height * fit));
    const auto covers = [&](unsigned int d) {
        return (width + d - 1) / d >= shownWidth && (height + d - 1) / d >= shownHeight;
    };
    for (unsigned int d : {8u, 4u, 2u}) {
        if (covers(d)) return d;
    }
    return 1;
}

QImage decodeJpeg(const QByteArray& bytes, const QSize& box) {
    JpegDecoder d;
    d.info.err = jpeg_std_error(&d.errors.manager);
    d.errors.manager.error_exit = jpegErrorExit;
    d.errors.manager.output_message = jpegOutputMessage;

    if (!jpegReadHeader(d, reinterpret_cast<const unsigned char*>(bytes.constData()),
                        static_cast<unsigned long>(bytes.size()))) {
        failJpeg(d);
    }
    checkSides(d.info.image_width, d.info.image_height);

    d.info.scale_num = 1;
    d.info.scale_denom = jpegReduction(d.info.image_width, d.info.image_height, box);
    switch (d.info.jpeg_color_space) {
        case JCS_GRAYSCALE:
            d.info.out_color_space = JCS_GRAYSCALE;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            d.info.out_color_space = JCS_CMYK;
            break;
        default:
            d.info.out_color_space = JCS_RGB;
            break;
    }
    if (!jpegStart(d)) failJpeg(d);

    QImage image(int(d.info.output_width), int(d.info.output_height), QImage::Format_RGB32);
    if (image.isNull()) fail(QStringLiteral("Out of memory"));
    if (!jpegReadRows(d, image.bits(), image.bytesPerLine())) failJpeg(d);
    return image;
}

// ---- Windows bitmap ----

[[noreturn]] void failBitmap() {
    fail(QStringLiteral("Bitmap image is not valid"));
}

QImage decodeBitmap(const QByteArray& bytes) {
    // File header (14 bytes), then the info header whose first field is its size:
    // 12 for the old core header (16-bit sides), 16 and more for the others
    // (32-bit sides; a negative height stores the rows top-down).
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    if (bytes.size() < 26 || p[0] != 'B' || p[1] != 'M') failBitmap();
    const quint32 infoSize = qFromLittleEndian<quint32>(p + 14);
    qint64 width = 0;
    qint64 height = 0;
    if (infoSize == 12) {
        width = qFromLittleEndian<quint16>(p + 18);
        height = qFromLittleEndian<quint16>(p + 20);
    } else if (infoSize >= 16) {
        width = qFromLittleEndian<qint32>(p + 18);
        height = qFromLittleEndian<qint32>(p + 22);
        if (height < 0) height = -height;
    } else {
        failBitmap();
    }
    if (width <= 0 || height == 0) failBitmap();
    checkSides(width, height);
    // Pixels said to start past the end: Qt's reader would seek there and complain.
    if (qFromLittleEndian<quint32>(p + 10) >= quint64(bytes.size())) failBitmap();

    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    reader.setAutoDetectImageFormat(false);
    reader.setAllocationLimit(BitmapAllocationLimitMb);
    QImage image;
    if (!reader.read(&image) || image.width() != width || image.height() != height) {
        failBitmap();
    }
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                         : QImage::Format_RGB32);
}

// ---- files ----

QString extensionOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

QByteArray readFile(const QString& path) {
    const auto cannotOpen = [&](int error) {
        fail(QStringLiteral("Cannot open file \"%1\". %2")
                 .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()),
                      QString::fromLocal8Bit(std::strerror(error))));
    };
    const std::unique_ptr<std::FILE, FileCloser> file(
        std::fopen(QFile::encodeName(path).constData(), "rb"));
    if (!file) cannotOpen(errno);
    QByteArray content;
    char chunk[64 * 1024];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        const int readError = errno;
        content.append(chunk, qsizetype(n));
        if (n == sizeof chunk) continue;
        // A folder opens but does not read: that too is a file that cannot be opened.
        if (std::ferror(file.get())) cannotOpen(readError);
        break;
    }
    return content;
}

}  // namespace

QImage decodePicture(const QByteArray& bytes, const QString& extension, const QSize& box) {
    switch (pictureKind(extension)) {
        case PictureKind::Jpeg:
            return decodeJpeg(bytes, box);
        case PictureKind::Bitmap:
            return decodeBitmap(bytes);
    }
    return QImage();
}

QImage loadPicture(const QString& path, const QSize& box) {
    const QString extension = extensionOf(path);
    pictureKind(extension);
    return decodePicture(readFile(path), extension, box);
}

}  // namespace platform
