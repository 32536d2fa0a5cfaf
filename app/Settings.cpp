// The settings file My.ini: choosing its folder, the start-up reading and the
// writing afresh for this program copy.
#include "Settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

const QString Files = QStringLiteral("Files");
const QString Main = QStringLiteral("Main");
const QString MainPath = QStringLiteral("MainPath");
const QString Parameters = QStringLiteral("Параметры");
const QString Font = QStringLiteral("Шрифт");
const QString Database = QStringLiteral("База данных");
const QString Server = QStringLiteral("Сервер");
const QString DefaultFont = QStringLiteral("MS Sans Serif");

Settings* currentSettings = nullptr;

QString absolute(const QString& path) {
    return QFileInfo(path).isAbsolute() ? path : QFileInfo(path).absoluteFilePath();
}

// The folder part of a path without a trailing separator; the root stays "/".
QString folderPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0) return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

bool canCreateIn(const QString& folder) {
    const QByteArray probe = QFile::encodeName(
        QDir(folder).filePath(QStringLiteral(".%1.%2")
                                  .arg(Settings::fileName())
                                  .arg(QRandomGenerator::global()->generate(), 0, 16)));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

// Every write replaces the file, so the folder must take new files and an
// existing My.ini must be writable. The permission bits alone do not tell
// (root, read-only mounts, access lists), hence the real attempt.
bool canKeepFileIn(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable()) return false;
    const QFileInfo file(QDir(folder).filePath(Settings::fileName()));
    if (file.exists() && !file.isWritable()) return false;
    return canCreateIn(folder);
}

QString settingsFolder(const QString& programFolder) {
    if (canKeepFileIn(programFolder)) return programFolder;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    // A folder that cannot be made shows up as the file's creation failure.
    QDir().mkpath(config);
    return config;
}

void createEmpty(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        throw std::runtime_error(QStringLiteral("Cannot create file \"%1\". %2")
                                     .arg(QDir::toNativeSeparators(path), reason)
                                     .toStdString());
    }
    ::close(fd);
}

}  // namespace

Settings::~Settings() {
    release();
}

QString Settings::open(const QString& executablePath) {
    release();
    const QString executable = absolute(executablePath);
    const QString folder = settingsFolder(QFileInfo(executable).absolutePath());
    const QString path = QDir(folder).filePath(fileName());
    if (!QFileInfo::exists(path)) createEmpty(path);
    m_file.emplace(path);
    currentSettings = this;
    if (m_file->read(Files, Main) != executable) {
        initialise(executable);
        return QString();
    }
    return m_file->read(Parameters, Font).left(MaxFontNameLength);
}

void Settings::initialise(const QString& executablePath) {
    if (!m_file) return;
    m_file->write(Files, Main, absolute(executablePath));
    m_file->write(Files, MainPath, folderPart(m_file->read(Files, Main)));
    m_file->write(Parameters, Font, DefaultFont);
}

QString Settings::main() const {
    return m_file ? m_file->read(Files, Main) : QString();
}

QString Settings::mainPath() const {
    return m_file ? m_file->read(Files, MainPath) : QString();
}

QString Settings::server() const {
    return m_file ? m_file->read(Database, Server).trimmed() : QString();
}

void Settings::release() {
    if (!m_file) return;
    m_file->flush();
    m_file.reset();
    if (currentSettings == this) currentSettings = nullptr;
}

QString Settings::path() const {
    return m_file ? m_file->path() : QString();
}

Settings* Settings::current() {
    return currentSettings;
}
