// libFuzzer target for the bitmap reader: the input is a whole .bmp file.
// A decoded picture is never empty nor beyond the side limit; anything else
// is a failure with a text.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <exception>

#include "PictureLoader.h"

namespace {
void silent(QtMsgType, const QMessageLogContext&, const QString&) {}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Qt's bitmap reader warns about each bad seek; the noise only slows the run.
    qInstallMessageHandler(silent);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // No copy: a read past the end of the input is a read past the fuzzer's buffer.
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const QImage image = platform::decodePicture(bytes, QStringLiteral("bmp"));
        if (image.isNull() || image.width() > platform::MaxPictureSide ||
            image.height() > platform::MaxPictureSide)
            __builtin_trap();
    } catch (const std::exception& e) {
        if (e.what()[0] == 0) __builtin_trap();
    }
    return 0;
}
