// libFuzzer target for the picture decoder. The first byte picks the
// extension, the second the box (0: none), the rest is the file's content.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "PictureLoader.h"

namespace {

const char* const Extensions[] = {"jpg", "JPG", "jpeg", "Jpeg", "bmp", "BMP", "Bmp", "png"};

// libjpeg and Qt are system libraries without coverage instrumentation; the
// outcome of each run (which libjpeg message, which size class) is offered to
// the fuzzer as extra features so that it still keeps inputs reaching new ones.
__attribute__((section("__libfuzzer_extra_counters"))) uint8_t outcomes[512];

void countFailure(const char* text) {
    static const char jpegPrefix[] = "JPEG error #";
    if (std::strncmp(text, jpegPrefix, sizeof jpegPrefix - 1) == 0) {
        outcomes[std::atoi(text + sizeof jpegPrefix - 1) & 0xFF]++;
    } else {
        outcomes[256 + (text[0] & 0x3F)]++;
    }
}

void countSuccess(const QImage& image) {
    const int w = image.width(), h = image.height();
    const int wClass = w < 16 ? 0 : w < 256 ? 1 : w < 2048 ? 2 : 3;
    const int hClass = h < 16 ? 0 : h < 256 ? 1 : h < 2048 ? 2 : 3;
    outcomes[320 + wClass * 4 + hClass + (image.hasAlphaChannel() ? 16 : 0)]++;
}

void silent(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Qt's bitmap reader warns about each bad seek; the noise only slows the run.
    qInstallMessageHandler(silent);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const QString extension = QString::fromLatin1(Extensions[data[0] % 8]);
    QSize box;
    if (data[1] != 0) box = QSize(1 + (data[1] & 0x0F) * 16, 1 + (data[1] >> 4) * 16);
    // No copy: a read past the end of the input is a read past the fuzzer's buffer.
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    try {
        const QImage image = platform::decodePicture(bytes, extension, box);
        if (image.isNull() || image.width() > platform::MaxPictureSide ||
            image.height() > platform::MaxPictureSide) {
            __builtin_trap();
        }
        countSuccess(image);
    } catch (const std::exception& e) {
        countFailure(e.what());
    }
    return 0;
}
