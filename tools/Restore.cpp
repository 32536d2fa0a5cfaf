// Restore reads an archive once, extracting each file into a temporary file
// beside its place, checks everything, and only then renames into place.
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <map>

#include "Backup.h"
#include "BackupFiles.h"
#include "Catalog.h"

namespace backup {

using namespace detail;

namespace {

constexpr qint64 ManifestMaxBytes = 64 << 20;
// How long a restore waits for other connections to let go of the old database.
constexpr int ReplaceBusyMs = 2000;

enum class EntryKind { Database, Manifest, StudentPhoto, TeacherPhoto, Other };

struct EntryName {
    EntryKind kind = EntryKind::Other;
    QString fileName;  // a photo's name in its folder
};

bool isPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

EntryName classify(const QString& name) {
    if (name == databaseEntry()) return {EntryKind::Database, {}};
    if (name == manifestEntry()) return {EntryKind::Manifest, {}};
    const QString students = studentFolderName() + QLatin1Char('/');
    const QString teachers = students + teacherFolderName() + QLatin1Char('/');
    if (name.startsWith(teachers) && isPlainName(name.mid(teachers.size())))
        return {EntryKind::TeacherPhoto, name.mid(teachers.size())};
    // A student's photo cannot take the teachers' folder's name.
    const QString photo = name.mid(students.size());
    if (name.startsWith(students) && isPlainName(photo) &&
        photo.compare(teacherFolderName(), Qt::CaseInsensitive) != 0)
        return {EntryKind::StudentPhoto, photo};
    return {};
}

QString entryPath(archive_entry* entry) {
    const char* utf8 = archive_entry_pathname_utf8(entry);
    QString name = QString::fromUtf8(utf8 ? utf8 : archive_entry_pathname(entry));
    while (name.startsWith(QLatin1String("./"))) name = name.mid(2);
    return name;
}

struct Seen {
    int64_t size = 0;
    QByteArray sha256;  // hex
};

struct ExtractedPhoto {
    bool teacher = false;
    QString fileName;
    QString temporary;
    QByteArray sha256;
};

struct Extracted {
    std::unique_ptr<QTemporaryFile> database;
    std::unique_ptr<QTemporaryDir> photoFolder;
    std::vector<ExtractedPhoto> photos;
};

// Reads every entry once, each file into its temporary place (photos only when
// there is a program folder to put them in), and checks each against the manifest.
Extracted extract(const QString& archivePath, const QString& database, const QString& programDir) {
    const auto unreadable = [&archivePath](const QString& why) {
        return DataError(
            QStringLiteral("\"%1\" is damaged or no backup archive: %2").arg(archivePath, why));
    };
    ArchivePtr a(archive_read_new());
    archive_read_support_filter_all(a.get());
    archive_read_support_format_tar(a.get());
    if (archive_read_open_filename(a.get(), QFile::encodeName(archivePath).constData(),
                                   size_t(BlockBytes)) != ARCHIVE_OK)
        throw unreadable(archiveText(a.get()));

    Extracted out;
    std::map<QString, Seen> seen;
    QByteArray manifestBytes;
    bool manifestSeen = false;
    QByteArray buffer(int(BlockBytes), Qt::Uninitialized);
    for (;;) {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF) break;
        if (r < ARCHIVE_WARN) throw unreadable(archiveText(a.get()));
        QString name = entryPath(entry);
        if (archive_entry_filetype(entry) == AE_IFDIR) {
            while (name.endsWith(QLatin1Char('/'))) name.chop(1);
            const QString students = studentFolderName();
            if (name.isEmpty() || name == QLatin1String(".") || name == students ||
                name == students + QLatin1Char('/') + teacherFolderName())
                continue;
        }
        const EntryName what = classify(name);
        if (what.kind == EntryKind::Other)
            throw DataError(QStringLiteral("\"%1\" holds \"%2\", which is no part of a backup of "
                                           "this program")
                                .arg(archivePath, name));
        if (archive_entry_filetype(entry) != AE_IFREG)
            throw DataError(QStringLiteral("\"%1\" holds \"%2\", which is not a plain file")
                                .arg(archivePath, name));
        if (seen.count(name))
            throw DataError(QStringLiteral("\"%1\" holds \"%2\" twice").arg(archivePath, name));

        QFile* sink = nullptr;
        std::unique_ptr<QFile> photoFile;
        if (what.kind == EntryKind::Database) {
            out.database = fileBeside(database, "restore");
            sink = out.database.get();
        } else if (what.kind != EntryKind::Manifest && !programDir.isEmpty()) {
            if (!out.photoFolder) {
                out.photoFolder = std::make_unique<QTemporaryDir>(
                    QDir(programDir).filePath(QStringLiteral(".restore-XXXXXX")));
                if (!out.photoFolder->isValid())
                    throw DataError(QStringLiteral("Cannot write into \"%1\": %2")
                                        .arg(programDir, out.photoFolder->errorString()));
            }
            const QString temporary = out.photoFolder->filePath(QString::number(out.photos.size()));
            photoFile = std::make_unique<QFile>(temporary);
            if (!photoFile->open(QIODevice::WriteOnly))
                throw DataError(QStringLiteral("Cannot write \"%1\": %2")
                                    .arg(temporary, photoFile->errorString()));
            sink = photoFile.get();
            out.photos.push_back(
                {what.kind == EntryKind::TeacherPhoto, what.fileName, temporary, {}});
        }

        QCryptographicHash sha(QCryptographicHash::Sha256);
        int64_t size = 0;
        for (;;) {
            const la_ssize_t n = archive_read_data(a.get(), buffer.data(), size_t(buffer.size()));
            if (n == 0) break;
            if (n < 0) throw unreadable(archiveText(a.get()));
            sha.addData(QByteArrayView(buffer.constData(), n));
            size += n;
            if (what.kind == EntryKind::Manifest) {
                if (size > ManifestMaxBytes)
                    throw DataError(QStringLiteral("\"%1\" has a manifest too large to be one")
                                        .arg(archivePath));
                manifestBytes.append(buffer.constData(), n);
            } else if (sink && sink->write(buffer.constData(), n) != n) {
                throw DataError(QStringLiteral("Cannot write \"%1\": %2")
                                    .arg(sink->fileName(), sink->errorString()));
            }
        }
        if (photoFile) {
            photoFile->close();
            out.photos.back().sha256 = sha.result().toHex();
        }
        if (what.kind == EntryKind::Manifest)
            manifestSeen = true;
        else
            seen[name] = {size, sha.result().toHex()};
    }

    if (!manifestSeen)
        throw DataError(QStringLiteral("\"%1\" holds no manifest (%2): it is no backup of this "
                                       "program, or an incomplete one")
                            .arg(archivePath, manifestEntry()));
    QJsonParseError parseError;
    const QJsonObject manifest = QJsonDocument::fromJson(manifestBytes, &parseError).object();
    if (parseError.error != QJsonParseError::NoError ||
        manifest.value(QStringLiteral("format")).toString() != formatName() ||
        !manifest.value(QStringLiteral("files")).isArray())
        throw DataError(
            QStringLiteral("\"%1\" has a manifest this program cannot read").arg(archivePath));
    if (manifest.value(QStringLiteral("version")).toInt() > FormatVersion)
        throw DataError(QStringLiteral("\"%1\" was written by a newer version of this program")
                            .arg(archivePath));

    std::map<QString, Seen> listed;
    for (const QJsonValue& v : manifest.value(QStringLiteral("files")).toArray()) {
        const QJsonObject file = v.toObject();
        listed[file.value(QStringLiteral("name")).toString()] = {
            int64_t(file.value(QStringLiteral("size")).toDouble(-1)),
            file.value(QStringLiteral("sha256")).toString().toLatin1()};
    }
    for (const auto& [name, want] : listed) {
        const auto got = seen.find(name);
        if (got == seen.end())
            throw DataError(QStringLiteral("\"%1\" is incomplete: %2, listed in its manifest, is "
                                           "missing")
                                .arg(archivePath, name));
        if (got->second.size != want.size || got->second.sha256 != want.sha256)
            throw DataError(QStringLiteral("\"%1\" is damaged: the checksum of %2 does not match "
                                           "its manifest")
                                .arg(archivePath, name));
    }
    for (const auto& entry : seen)
        if (!listed.count(entry.first))
            throw DataError(QStringLiteral("\"%1\" holds %2, which its manifest does not list")
                                .arg(archivePath, entry.first));
    if (!out.database)
        throw DataError(
            QStringLiteral("\"%1\" holds no database (%2)").arg(archivePath, databaseEntry()));
    return out;
}

// The old database keeps its committed work in its write-ahead log (or a hot
// journal) until a checkpoint; left beside the restored file, SQLite would
// apply it to that file. So before the restored file takes the name, the old
// one is switched to rollback-journal mode: SQLite folds the log into the old
// file and removes it, which it can do only when no other connection has the
// file open. The exclusive lock taken then keeps other programs out until the
// rename; it is released on the old file, which has no name by then.
class OldDatabase {
public:
    explicit OldDatabase(const QString& path) {
        if (!QFileInfo(path).isFile()) {
            // Side files of a database that is gone belong to nothing.
            removeSideFiles(path);
            return;
        }
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE,
                                 nullptr);
        m_db.db = db;
        QString mode;
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db, ReplaceBusyMs);
            sqlite3_stmt* st = nullptr;
            rc = sqlite3_prepare_v2(db, "PRAGMA journal_mode=DELETE", -1, &st, nullptr);
            if (rc == SQLITE_OK) {
                rc = sqlite3_step(st);
                if (rc == SQLITE_ROW) {
                    mode = QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                    rc = SQLITE_OK;
                } else {
                    rc = sqlite3_errcode(db);
                }
            }
            sqlite3_finalize(st);
        }
        const int primary = rc & 0xff;
        if (rc == SQLITE_OK && mode == QLatin1String("delete"))
            rc = sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED ||
            (rc == SQLITE_OK && mode != QLatin1String("delete")))
            throw DataError(QStringLiteral("\"%1\" is in use by another program; close it and "
                                           "restore again")
                                .arg(path));
        if (rc == SQLITE_OK) {
            m_locked = true;
        } else if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) {
            // No database can be read there, so no log of it can be folded back.
            sqlite3_close_v2(db);
            m_db.db = nullptr;
        } else {
            throw DataError(QStringLiteral("Cannot replace \"%1\": %2").arg(path, m_db.error()));
        }
        removeSideFiles(path);
    }
    ~OldDatabase() {
        if (m_locked) sqlite3_exec(m_db.db, "ROLLBACK", nullptr, nullptr, nullptr);
    }

private:
    SqliteHandle m_db;
    bool m_locked = false;
};

}  // namespace

RestoreSummary restoreDatabase(const QString& archivePath, const QString& database,
                               const QString& programDir, bool force) {
    dbtools::requireFile(archivePath);
    const QFileInfo archiveInfo(archivePath);
    const QFileInfo target(database);
    if (target.isDir()) throw DataError(QStringLiteral("\"%1\" is a folder").arg(database));
    if (target.exists() && target.canonicalFilePath() == archiveInfo.canonicalFilePath())
        throw DataError(QStringLiteral("\"%1\" cannot be restored onto itself").arg(archivePath));
    if (!target.absoluteDir().exists())
        throw DataError(
            QStringLiteral("Cannot write \"%1\": its folder does not exist").arg(database));
    if (!force) {
        if (exists(database))
            throw DataError(QStringLiteral("\"%1\" already exists; restore replaces it only with "
                                           "--force")
                                .arg(database));
        for (const QString& side : sideFiles(database))
            if (exists(side))
                throw DataError(QStringLiteral("\"%1\" is left from an earlier database and would "
                                               "be applied to the restored one; restore removes "
                                               "it only with --force")
                                    .arg(side));
    }
    if (!programDir.isEmpty() && !QFileInfo(programDir).isDir())
        throw DataError(QStringLiteral("\"%1\" is not a folder").arg(programDir));

    Extracted extracted = extract(archivePath, database, programDir);
    QTemporaryFile& restored = *extracted.database;
    syncFile(restored);
    restored.close();
    const Inspection found = inspect(restored.fileName(), true);
    if (!found.unreadable.isEmpty())
        throw DataError(QStringLiteral("The database in \"%1\" cannot be read: %2")
                            .arg(archivePath, found.unreadable));
    if (!found.damage.isEmpty())
        throw DataError(QStringLiteral("The database in \"%1\" is damaged: %2")
                            .arg(archivePath, firstOf(found.damage)));
    if (!found.foreign.isEmpty())
        throw DataError(QStringLiteral("The database in \"%1\" is not one of this program: %2")
                            .arg(archivePath, firstOf(found.foreign)));

    // Where each photo goes, and whether it would replace other bytes.
    RestoreSummary summary;
    summary.tables = found.tables;
    summary.rows = totalRows(found.tables);
    std::vector<const ExtractedPhoto*> moves;
    QString students, teachers;
    if (!extracted.photos.empty()) {
        students = childFolder(programDir, studentFolderName());
        if (!students.isEmpty()) teachers = childFolder(students, teacherFolderName());
    }
    for (const ExtractedPhoto& photo : extracted.photos) {
        const QString folder = photo.teacher ? teachers : students;
        const QString to = folder.isEmpty() ? QString() : QDir(folder).filePath(photo.fileName);
        if (!to.isEmpty() && exists(to)) {
            if (fileSha256(to) == photo.sha256) {
                ++summary.photosUnchanged;
                continue;
            }
            if (!force)
                throw DataError(QStringLiteral("\"%1\" already exists with other content; restore "
                                               "replaces photos only with --force")
                                    .arg(to));
        }
        moves.push_back(&photo);
    }

    {
        const QFile::Permissions permissions =
            exists(database)
                ? QFile::permissions(database)
                : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        restored.setPermissions(permissions);
        std::unique_ptr<OldDatabase> old;
        if (force) old = std::make_unique<OldDatabase>(database);
        const bool renamed = force ? renameReplacing(restored.fileName(), database)
                                   : dbtools::renameNoReplace(restored.fileName(), database);
        if (!renamed)
            throw DataError(QStringLiteral("Cannot write \"%1\": %2").arg(database, systemText()));
        restored.setAutoRemove(false);
        syncFolder(target.absolutePath());
    }

    if (!moves.empty()) {
        if (students.isEmpty()) students = madeChildFolder(programDir, studentFolderName());
        if (teachers.isEmpty()) teachers = madeChildFolder(students, teacherFolderName());
    }
    for (const ExtractedPhoto* photo : moves) {
        const QString to = QDir(photo->teacher ? teachers : students).filePath(photo->fileName);
        QFile::setPermissions(photo->temporary, QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ReadGroup | QFile::ReadOther);
        const bool moved = force ? renameReplacing(photo->temporary, to)
                                 : dbtools::renameNoReplace(photo->temporary, to);
        if (!moved)
            throw DataError(QStringLiteral("Cannot write \"%1\": %2").arg(to, systemText()));
        ++summary.photos;
    }
    return summary;
}

}  // namespace backup
