// The photo store over the file copy: program folders per step, photo folders
// found without regard to letter case, and names checked before any file is touched.
#include "PhotoStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <stdexcept>

#include "Field.h"
#include "FileCopy.h"
#include "PictureLoader.h"

namespace photos {
namespace {

struct SettingsSource {
    std::function<QString()> main;
    std::function<QString()> mainPath;
};

SettingsSource& settings() {
    static SettingsSource source;
    return source;
}

QString read(const std::function<QString()>& value) {
    return value ? value() : QString();
}

// Missing settings (no source, an empty value, a Main without a folder part)
// fall back to the executable's folder: that is where current settings point,
// and it keeps the store out of the file system's root and the current folder.
QString executableFolder() {
    return QCoreApplication::applicationDirPath();
}

QString copyStepFolder() {
    const QString main = read(settings().main);
    if (!main.contains(QLatin1Char('/'))) return executableFolder();
    return QFileInfo(main).path();
}

QString displayStepFolder() {
    const QString mainPath = read(settings().mainPath);
    return mainPath.isEmpty() ? executableFolder() : mainPath;
}

struct PhotoFolder {
    QString path;
    bool exists = false;
};

// Names are matched in their parent's listing, the exact spelling first, else
// the first that differs only in letter case; past the first name that matches
// nothing the given spelling is kept, so a failure names a real path.
PhotoFolder resolve(const QString& programFolder, const QStringList& names) {
    PhotoFolder folder{QDir(programFolder).absolutePath(), true};
    for (const QString& name : names) {
        const QDir parent(folder.path);
        QString match = name;
        if (folder.exists && !QFileInfo(parent.filePath(name)).isDir()) {
            folder.exists = false;
            const QStringList entries = parent.entryList(
                QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
            for (const QString& entry : entries) {
                if (entry.compare(name, Qt::CaseInsensitive) == 0) {
                    match = entry;
                    folder.exists = true;
                    break;
                }
            }
        }
        folder.path = parent.filePath(match);
    }
    return folder;
}

QStringList folderNames(Kind kind, bool copyStep) {
    // The copy step spells the folders in lower case, the finding steps capitalised.
    const QString foto = copyStep ? QStringLiteral("foto") : QStringLiteral("Foto");
    if (kind == Kind::Student) return {foto};
    return {foto, copyStep ? QStringLiteral("prepod") : QStringLiteral("Prepod")};
}

bool isControl(QChar c) {
    return c.unicode() < 0x20;
}

// Keys become file names in the store; anything that could leave the folder,
// or that the office's other systems refuse in a file name, is refused.
bool isValidKey(const QString& key) {
    if (key == QLatin1String(".") || key.contains(QLatin1String(".."))) return false;
    static const QString forbidden = QStringLiteral("/\\<>:\"|?*");
    for (const QChar c : key) {
        if (isControl(c) || forbidden.contains(c)) return false;
    }
    return true;
}

// A `Foto` value comes from the database and must name a file inside the folder.
bool isPlainFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return false;
    for (const QChar c : name) {
        if (isControl(c) || c == QLatin1Char('/') || c == QLatin1Char('\\')) return false;
    }
    return true;
}

// From the last full stop of the file's name on; a name without one has none.
QString extensionOf(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

QString find(const QString& programFolder, Kind kind, const QString& foto) {
    if (!isPlainFileName(foto)) return {};
    const PhotoFolder folder = resolve(programFolder, folderNames(kind, false));
    if (!folder.exists) return {};
    const QString path = folder.path + QLatin1Char('/') + foto;
    return QFileInfo(path).isFile() ? path : QString();
}

}  // namespace

void setSettingsSource(std::function<QString()> main, std::function<QString()> mainPath) {
    settings() = {std::move(main), std::move(mainPath)};
}

bool store(Kind kind, const QString& keyText, const QString& chosenPath, Field& foto) {
    const PhotoFolder folder = resolve(copyStepFolder(), folderNames(kind, true));
    const QString extension = extensionOf(chosenPath);
    const QString name = keyText + extension;
    const QString destination = folder.path + QLatin1Char('/') + name;

    if (!QFileInfo(chosenPath).isFile()) return false;
    if (extension != QLatin1String(".jpg") && extension != QLatin1String(".BMP")) return false;
    if (!isValidKey(keyText)) {
        throw std::runtime_error(QStringLiteral("Cannot create file \"%1\". %2")
                                     .arg(destination, QStringLiteral("Not a valid file name"))
                                     .toStdString());
    }
    platform::copyFile(chosenPath, destination, 0, 0);
    foto.setValue(name);
    return true;
}

QString findForCard(Kind kind, const QString& foto) {
    return find(displayStepFolder(), kind, foto);
}

namespace {
QString& printFolder() {
    static QString folder;
    return folder;
}
}  // namespace

void setPrintFolder(const QString& folder) {
    printFolder() = folder;
}

QString findForPrint(Kind kind, const QString& foto) {
    return find(printFolder().isEmpty() ? executableFolder() : printFolder(), kind, foto);
}

QImage pictureForCard(const QString& path, const QSize& box) {
    const QImage image = platform::loadPicture(path, box);
    if (image.isNull() || image.size() == image.size().scaled(box, Qt::KeepAspectRatio))
        return image;
    return image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace photos
