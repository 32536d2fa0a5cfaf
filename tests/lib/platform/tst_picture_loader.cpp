// The picture loader: broken, hostile and unknown files fail with the system's
// texts and never crash; JPEGs of every colour model and bitmaps of every
// header kind decode to the right size and colours; large JPEGs decode
// reduced for a box.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <stdexcept>

#include <jerror.h>
#include <jpeglib.h>

#include "JpegWriter.h"
#include "PictureLoader.h"

namespace {

const QRgb TopLeft = qRgb(200, 40, 40);
const QRgb TopRight = qRgb(40, 90, 200);
const QRgb Bottom = qRgb(30, 160, 60);

// Three areas of plain colour, large enough for JPEG's 16-pixel blocks.
QImage pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = y >= height / 2 ? Bottom : x < width / 2 ? TopLeft : TopRight;
        }
    }
    return image;
}

QByteArray jpegBytes(int width, int height, JpegModel model = JpegModel::Rgb) {
    return jpegBytes(pattern(width, height), model);
}

// Sets the sides in the frame header, which libjpeg writes as the only SOF0 or SOF2.
QByteArray withJpegSides(QByteArray bytes, int width, int height) {
    for (qsizetype i = 2; i + 9 < bytes.size(); ++i) {
        if (uchar(bytes[i]) == 0xFF &&
            (uchar(bytes[i + 1]) == 0xC0 || uchar(bytes[i + 1]) == 0xC2)) {
            qToBigEndian<quint16>(quint16(height), bytes.data() + i + 5);
            qToBigEndian<quint16>(quint16(width), bytes.data() + i + 7);
            return bytes;
        }
    }
    return QByteArray();
}

enum class BitmapHeader { Info, InfoTopDown, Core };

// A 24-bit bitmap written by hand, so every header kind can be made.
QByteArray bitmapBytes(const QImage& image, BitmapHeader header) {
    const int infoSize = header == BitmapHeader::Core ? 12 : 40;
    const int stride = (image.width() * 3 + 3) / 4 * 4;
    const int offset = 14 + infoSize;
    QByteArray bytes(offset + stride * image.height(), '\0');
    char* p = bytes.data();
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(quint32(bytes.size()), p + 2);
    qToLittleEndian<quint32>(quint32(offset), p + 10);
    qToLittleEndian<quint32>(quint32(infoSize), p + 14);
    if (header == BitmapHeader::Core) {
        qToLittleEndian<quint16>(quint16(image.width()), p + 18);
        qToLittleEndian<quint16>(quint16(image.height()), p + 20);
        qToLittleEndian<quint16>(1, p + 22);
        qToLittleEndian<quint16>(24, p + 24);
    } else {
        const int height = header == BitmapHeader::InfoTopDown ? -image.height() : image.height();
        qToLittleEndian<qint32>(image.width(), p + 18);
        qToLittleEndian<qint32>(height, p + 22);
        qToLittleEndian<quint16>(1, p + 26);
        qToLittleEndian<quint16>(24, p + 28);
    }
    for (int y = 0; y < image.height(); ++y) {
        const int stored = header == BitmapHeader::InfoTopDown ? y : image.height() - 1 - y;
        char* row = p + offset + qsizetype(stored) * stride;
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[3 * x] = char(qBlue(line[x]));
            row[3 * x + 1] = char(qGreen(line[x]));
            row[3 * x + 2] = char(qRed(line[x]));
        }
    }
    return bytes;
}

QByteArray bitmapBytes(int width, int height, BitmapHeader header = BitmapHeader::Info) {
    return bitmapBytes(pattern(width, height), header);
}

QByteArray withBitmapSides(QByteArray bytes, qint32 width, qint32 height) {
    qToLittleEndian<qint32>(width, bytes.data() + 18);
    qToLittleEndian<qint32>(height, bytes.data() + 22);
    return bytes;
}

QByteArray indexedBitmapBytes(int width, int height) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    pattern(width, height).convertToFormat(QImage::Format_Indexed8).save(&buffer, "BMP");
    return bytes;
}

// Repeats the last scan until the file has far more scans than any encoder writes.
QByteArray withRepeatedLastScan(const QByteArray& progressive, int times) {
    const qsizetype sos = progressive.lastIndexOf(QByteArray("\xFF\xDA", 2));
    const qsizetype eoi = progressive.size() - 2;
    const QByteArray scan = progressive.mid(sos, eoi - sos);
    return progressive.left(eoi) + scan.repeated(times) + progressive.mid(eoi);
}

QString jpegError(int code) {
    return QStringLiteral("JPEG error #%1").arg(code);
}

QString tooLarge(int width, int height) {
    return QStringLiteral("Picture is too large (%1 × %2 pixels; at most 10000 × 10000)")
        .arg(width)
        .arg(height);
}

bool near(QRgb actual, QRgb expected) {
    const int tolerance = 14;
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

QRgb grayOf(QRgb c) {
    return qRgb(qGray(c), qGray(c), qGray(c));
}

}  // namespace

class TestPictureLoader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void brokenFileFailsWithMessage_data();
    void brokenFileFailsWithMessage();
    void fileThatCannotBeOpenedNamesPathAndReason();
    void pictureDecodesToSizeAndColours_data();
    void pictureDecodesToSizeAndColours();
    void jpegCutInsideItsDataStillDecodesWhole();
    void largeJpegDecodesReducedForBox_data();
    void largeJpegDecodesReducedForBox();

private:
    QString put(const QString& name, const QByteArray& bytes);

    QTemporaryDir m_dir;
};

QString TestPictureLoader::put(const QString& name, const QByteArray& bytes) {
    const QString path = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return QString();
    file.write(bytes);
    return path;
}

void TestPictureLoader::brokenFileFailsWithMessage_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");

    const QByteArray jpeg = jpegBytes(64, 48);
    const QByteArray bitmap = bitmapBytes(8, 8);
    const QString invalidBitmap = QStringLiteral("Bitmap image is not valid");

    QTest::newRow("empty JPEG file") << "empty.jpg" << QByteArray() << jpegError(JERR_INPUT_EMPTY);
    QTest::newRow("empty bitmap file") << "empty.bmp" << QByteArray() << invalidBitmap;
    QTest::newRow("JPEG cut inside its header")
        << "cut.jpg" << jpeg.left(100) << jpegError(JERR_NO_IMAGE);
    QTest::newRow("JPEG without start marker")
        << "text.jpg" << QByteArray("not a picture at all") << jpegError(JERR_NO_SOI);
    QTest::newRow("JPEG of zero width")
        << "zero.jpg" << withJpegSides(jpeg, 0, 48) << jpegError(JERR_EMPTY_IMAGE);
    QTest::newRow("JPEG 20000 pixels wide")
        << "wide.jpg" << withJpegSides(jpeg, 20000, 10) << tooLarge(20000, 10);
    QTest::newRow("JPEG 20000 pixels tall")
        << "tall.jpeg" << withJpegSides(jpeg, 10, 20000) << tooLarge(10, 20000);
    QTest::newRow("progressive JPEG with endless scans")
        << "scans.jpg"
        << withRepeatedLastScan(jpegBytes(pattern(64, 48), JpegModel::Progressive), 600)
        << QStringLiteral("Progressive JPEG image has more than 100 scans");

    QTest::newRow("text named bitmap")
        << "text.bmp" << QByteArray("not a picture, not a picture, not a picture") << invalidBitmap;
    QByteArray oddDepth = bitmap;
    qToLittleEndian<quint16>(7, oddDepth.data() + 28);
    QTest::newRow("bitmap of 7 bits per pixel") << "odd.bmp" << oddDepth << invalidBitmap;
    QTest::newRow("JPEG named bitmap") << "photo.bmp" << jpeg << invalidBitmap;
    QTest::newRow("bitmap header without pixels")
        << "short.bmp" << bitmap.left(54) << invalidBitmap;
    QTest::newRow("bitmap of zero width")
        << "zero.bmp" << withBitmapSides(bitmap, 0, 8) << invalidBitmap;
    QTest::newRow("bitmap of negative width")
        << "negative.bmp" << withBitmapSides(bitmap, -8, 8) << invalidBitmap;
    QTest::newRow("bitmap 20000 pixels wide")
        << "wide.bmp" << withBitmapSides(bitmap, 20000, 10) << tooLarge(20000, 10);
    QTest::newRow("bitmap 20000 pixels tall")
        << "tall.bmp" << withBitmapSides(bitmap, 10, 20000) << tooLarge(10, 20000);
    QTest::newRow("top-down bitmap 20000 pixels tall")
        << "topdown.bmp" << withBitmapSides(bitmap, 10, -20000) << tooLarge(10, 20000);
    QByteArray core = bitmapBytes(8, 8, BitmapHeader::Core);
    qToLittleEndian<quint16>(20000, core.data() + 18);
    QTest::newRow("core-header bitmap 20000 pixels wide")
        << "core.bmp" << core << tooLarge(20000, 8);

    QTest::newRow("PNG file") << "photo.png" << jpeg
                              << QStringLiteral("Unknown picture file extension (.png)");
    QTest::newRow("extension kept as written")
        << "PHOTO.GIF" << jpeg << QStringLiteral("Unknown picture file extension (.GIF)");
    QTest::newRow("name without extension")
        << "photo" << jpeg << QStringLiteral("Unknown picture file extension (.)");
    QTest::newRow("full stop only in the folder name")
        << "album.jpg/photo" << jpeg << QStringLiteral("Unknown picture file extension (.)");
}

void TestPictureLoader::brokenFileFailsWithMessage() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);

    const QString path = put(name, bytes);
    QVERIFY(!path.isEmpty());
    try {
        platform::loadPicture(path);
        QFAIL("the picture was accepted");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
    // A box changes nothing about what is refused.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, platform::loadPicture(path, QSize(10, 10)));
}

void TestPictureLoader::fileThatCannotBeOpenedNamesPathAndReason() {
    const QString missing = m_dir.filePath(QStringLiteral("нет такого.jpg"));
    const QString reason = QString::fromLocal8Bit(std::strerror(ENOENT));
    try {
        platform::loadPicture(missing);
        QFAIL("a missing file was accepted");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("Cannot open file \"%1\". %2").arg(missing, reason));
    }

    // A folder opens on this platform but cannot be read as a file.
    QDir(m_dir.path()).mkdir(QStringLiteral("folder.jpg"));
    const QString folder = m_dir.filePath(QStringLiteral("folder.jpg"));
    try {
        platform::loadPicture(folder);
        QFAIL("a folder was accepted");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("Cannot open file \"%1\". %2")
                     .arg(folder, QString::fromLocal8Bit(std::strerror(EISDIR))));
    }

    // The extension is judged before the file is looked for.
    try {
        platform::loadPicture(m_dir.filePath(QStringLiteral("missing.png")));
        QFAIL("a missing file of unknown kind was accepted");
    } catch (const std::runtime_error& e) {
        QCOMPARE(QString::fromUtf8(e.what()),
                 QStringLiteral("Unknown picture file extension (.png)"));
    }
}

void TestPictureLoader::pictureDecodesToSizeAndColours_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("gray");

    const QByteArray jpeg = jpegBytes(64, 48);
    const QByteArray bitmap = bitmapBytes(64, 48);
    QTest::newRow("JPEG") << "photo.jpg" << jpeg << QSize(64, 48) << false;
    QTest::newRow("JPEG, upper-case extension") << "PHOTO.JPG" << jpeg << QSize(64, 48) << false;
    QTest::newRow("JPEG, long extension") << "photo.Jpeg" << jpeg << QSize(64, 48) << false;
    QTest::newRow("progressive JPEG")
        << "progressive.jpg" << jpegBytes(64, 48, JpegModel::Progressive) << QSize(64, 48) << false;
    QTest::newRow("grayscale JPEG")
        << "gray.jpg" << jpegBytes(64, 48, JpegModel::Gray) << QSize(64, 48) << true;
    QTest::newRow("Adobe CMYK JPEG")
        << "cmyk.jpg" << jpegBytes(64, 48, JpegModel::AdobeCmyk) << QSize(64, 48) << false;
    QTest::newRow("Adobe YCCK JPEG")
        << "ycck.jpg" << jpegBytes(64, 48, JpegModel::AdobeYcck) << QSize(64, 48) << false;
    QTest::newRow("JPEG at the side limit")
        << "limit.jpg" << jpegBytes(10000, 32) << QSize(10000, 32) << false;

    QTest::newRow("bitmap") << "photo.bmp" << bitmap << QSize(64, 48) << false;
    QTest::newRow("bitmap, mixed-case extension")
        << "photo.Bmp" << bitmap << QSize(64, 48) << false;
    QTest::newRow("top-down bitmap")
        << "topdown.bmp" << bitmapBytes(64, 48, BitmapHeader::InfoTopDown) << QSize(64, 48)
        << false;
    QTest::newRow("core-header bitmap")
        << "core.bmp" << bitmapBytes(64, 48, BitmapHeader::Core) << QSize(64, 48) << false;
    QTest::newRow("8-bit bitmap") << "indexed.bmp" << indexedBitmapBytes(64, 48) << QSize(64, 48)
                                  << false;
    QTest::newRow("bitmap at the side limit")
        << "limit.bmp" << bitmapBytes(32, 10000) << QSize(32, 10000) << false;
}

void TestPictureLoader::pictureDecodesToSizeAndColours() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(bool, gray);

    const QImage image = platform::loadPicture(put(name, bytes));
    QCOMPARE(image.size(), size);
    const int w = size.width(), h = size.height();
    const struct {
        QPoint at;
        QRgb colour;
    } samples[] = {
        {{w / 4, h / 4}, TopLeft}, {{3 * w / 4, h / 4}, TopRight}, {{w / 2, 3 * h / 4}, Bottom}};
    for (const auto& s : samples) {
        const QRgb expected = gray ? grayOf(s.colour) : s.colour;
        const QRgb actual = image.pixel(s.at);
        QVERIFY2(near(actual, expected),
                 qPrintable(QStringLiteral("at (%1, %2): %3, expected %4")
                                .arg(s.at.x())
                                .arg(s.at.y())
                                .arg(QColor(actual).name(), QColor(expected).name())));
    }
}

void TestPictureLoader::jpegCutInsideItsDataStillDecodesWhole() {
    const QByteArray jpeg = jpegBytes(128, 96);
    const qsizetype scan = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    QVERIFY(scan > 0);
    const QByteArray cut = jpeg.left(scan + (jpeg.size() - scan) / 2);
    const QImage image = platform::decodePicture(cut, QStringLiteral("jpg"));
    QCOMPARE(image.size(), QSize(128, 96));
    QVERIFY(near(image.pixel(32, 8), TopLeft));
}

void TestPictureLoader::largeJpegDecodesReducedForBox_data() {
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("size");

    QTest::newRow("photo for a small frame: 1/8") << QSize(150, 200) << QSize(500, 375);
    QTest::newRow("box exactly a quarter: 1/4") << QSize(1000, 750) << QSize(1000, 750);
    // The picture is shown at its proportional fit, 1000 × 750 in a taller box.
    QTest::newRow("a taller box, the same fit: 1/4") << QSize(1000, 751) << QSize(1000, 750);
    QTest::newRow("a fit one pixel wider than a quarter: 1/2")
        << QSize(1001, 751) << QSize(2000, 1500);
    // Shown 133 × 100 however wide the box.
    QTest::newRow("a wide flat box: 1/8") << QSize(2001, 100) << QSize(500, 375);
    QTest::newRow("a box larger than the picture: whole") << QSize(5000, 5000) << QSize(4000, 3000);
    QTest::newRow("no box: whole") << QSize() << QSize(4000, 3000);
}

void TestPictureLoader::largeJpegDecodesReducedForBox() {
    QFETCH(QSize, box);
    QFETCH(QSize, size);

    static const QByteArray photo = jpegBytes(4000, 3000);
    const QImage image = platform::decodePicture(photo, QStringLiteral("JPG"), box);
    QCOMPARE(image.size(), size);
    if (box.isValid()) {
        // Never smaller than the picture's proportional fit in the box, nor enlarged.
        const QSize shown =
            QSize(4000, 3000).scaled(box, Qt::KeepAspectRatio).boundedTo(QSize(4000, 3000));
        QVERIFY(image.width() >= shown.width() && image.height() >= shown.height());
    }
    QVERIFY(near(image.pixel(size.width() / 4, size.height() / 4), TopLeft));
    QVERIFY(near(image.pixel(size.width() / 2, size.height() * 3 / 4), Bottom));
}

QTEST_GUILESS_MAIN(TestPictureLoader)
#include "tst_picture_loader.moc"
