// libFuzzer target for the profile-file reader. The input is split at its
// first two zero bytes into a section name, a key name (both Windows-1251)
// and the file's content. The key is read from the file as it is; then a
// value is written to it and must read back as written, and the keys of
// another section must read as they did before.
#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "ProfileFile.h"

namespace {

QString folder() {
    const QByteArray shm("/dev/shm");
    const QString base =
        QDir(QString::fromLatin1(shm)).exists() ? QString::fromLatin1(shm) : QDir::tempPath();
    const QString path = base + QStringLiteral("/tessaly-fuzz-profile-%1").arg(getpid());
    QDir().mkpath(path);
    return path;
}

QByteArray part(const uint8_t* data, size_t size, size_t& at) {
    size_t end = at;
    while (end < size && data[end] != 0) ++end;
    const QByteArray bytes(reinterpret_cast<const char*>(data + at), qsizetype(end - at));
    at = end < size ? end + 1 : size;
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path = folder() + QStringLiteral("/settings.ini");
    size_t at = 0;
    const QString section = platform::fromWindows1251(part(data, size, at));
    const QString key = platform::fromWindows1251(part(data, size, at));
    const QByteArray content(reinterpret_cast<const char*>(data + at), qsizetype(size - at));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
        if (file.write(content) != content.size()) std::abort();
    }
    platform::ProfileFile profile(path);
    const QString value = profile.read(section, key);
    if (value.size() > platform::ProfileFile::MaxValueLength) __builtin_trap();
    // A value is trimmed before it is cut, so only an uncut one has no blank at its ends.
    if (value.size() < platform::ProfileFile::MaxValueLength && value != value.trimmed())
        __builtin_trap();

    // A section the write does not touch; its name cannot be one a fuzzed name matches.
    const QString other = QStringLiteral("Неизменная");
    const QString before = profile.read(other, key);
    const QString written = QStringLiteral("значение %1").arg(size);
    try {
        profile.write(QStringLiteral("Раздел"), QStringLiteral("Ключ"), written);
    } catch (const std::exception&) {
        __builtin_trap();
    }
    if (profile.read(QStringLiteral("Раздел"), QStringLiteral("Ключ")) != written) __builtin_trap();
    if (profile.read(other, key) != before) __builtin_trap();
    return 0;
}
