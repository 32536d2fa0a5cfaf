// Backup archives: tar compressed with zstd, the database copy first, then the
// photos, then manifest.json. The manifest comes last so that the checksums are
// taken in the same pass that writes the files.
#include "Backup.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <chrono>

#include "BackupFiles.h"
#include "Catalog.h"

namespace backup {

using namespace detail;

namespace {

constexpr int BusyMs = 5000;

void writeEntryHeader(archive* a, const QString& archivePath, const QString& name, int64_t size,
                      int64_t mtime) {
    EntryPtr entry(archive_entry_new());
    archive_entry_set_pathname_utf8(entry.get(), name.toUtf8().constData());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), size);
    archive_entry_set_mtime(entry.get(), mtime, 0);
    if (archive_write_header(a, entry.get()) != ARCHIVE_OK)
        throw DataError(QStringLiteral("Cannot write \"%1\": %2").arg(archivePath, archiveText(a)));
}

void writeEntryData(archive* a, const QString& archivePath, const char* data, qint64 size) {
    if (archive_write_data(a, data, size_t(size)) != la_ssize_t(size))
        throw DataError(QStringLiteral("Cannot write \"%1\": %2").arg(archivePath, archiveText(a)));
}

}  // namespace

QString databaseEntry() {
    return QStringLiteral("verdikon.mdb");
}
QString manifestEntry() {
    return QStringLiteral("manifest.json");
}

void copyDatabase(const QString& from, const QString& to) {
    dbtools::requireFile(from);
    SqliteHandle source;
    SqliteHandle copy;
    // Read-write, though nothing is written: the last connection to close takes the
    // write-ahead log and its index away, which a read-only one would leave behind.
    if (sqlite3_open_v2(QFile::encodeName(from).constData(), &source.db, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK)
        throw DataError(QStringLiteral("Cannot read \"%1\": %2").arg(from, source.error()));
    sqlite3_busy_timeout(source.db, BusyMs);
    if (sqlite3_open_v2(QFile::encodeName(to).constData(), &copy.db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        throw DataError(QStringLiteral("Cannot write \"%1\": %2").arg(to, copy.error()));
    sqlite3_backup* b = sqlite3_backup_init(copy.db, "main", source.db, "main");
    if (!b) throw DataError(QStringLiteral("Cannot back up \"%1\": %2").arg(from, copy.error()));
    // Every page in one step, inside one read transaction: a writer on another
    // connection cannot make the copy a mix of two states, nor restart it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(BusyMs);
    int rc = SQLITE_OK;
    while ((rc = sqlite3_backup_step(b, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        if (std::chrono::steady_clock::now() > deadline) break;
        sqlite3_sleep(20);
    }
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        throw DataError(QStringLiteral("Cannot back up \"%1\": %2")
                            .arg(from, QString::fromUtf8(sqlite3_errstr(rc))));
    // The copy keeps the source's write-ahead-log mark; a rollback-journal file
    // stands alone, with no side file to lose on the way.
    if (sqlite3_exec(copy.db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw DataError(QStringLiteral("Cannot write \"%1\": %2").arg(to, copy.error()));
}

int64_t writeArchive(const QString& archivePath, const std::vector<ArchiveFile>& files,
                     QJsonObject manifest, const std::atomic<bool>* stop) {
    if (exists(archivePath))
        throw DataError(QStringLiteral("\"%1\" already exists; a backup never replaces a file")
                            .arg(archivePath));
    auto out = fileBeside(archivePath, "part");
    const auto failed = [&archivePath](archive* a) {
        return DataError(
            QStringLiteral("Cannot write \"%1\": %2").arg(archivePath, archiveText(a)));
    };
    ArchivePtr a(archive_write_new());
    if (archive_write_add_filter_zstd(a.get()) != ARCHIVE_OK ||
        archive_write_set_format_pax_restricted(a.get()) != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(a.get(), 1) != ARCHIVE_OK ||
        archive_write_open_fd(a.get(), out->handle()) != ARCHIVE_OK)
        throw failed(a.get());

    QJsonArray listed;
    QByteArray buffer(int(BlockBytes), Qt::Uninitialized);
    for (const ArchiveFile& file : files) {
        checkStop(stop);
        QFile in(file.path);
        if (!in.open(QIODevice::ReadOnly))
            throw DataError(
                QStringLiteral("Cannot read \"%1\": %2").arg(file.path, in.errorString()));
        const int64_t size = in.size();
        writeEntryHeader(a.get(), archivePath, file.entry, size,
                         QFileInfo(file.path).lastModified().toSecsSinceEpoch());
        QCryptographicHash sha(QCryptographicHash::Sha256);
        for (int64_t left = size; left > 0;) {
            checkStop(stop);
            const qint64 n = in.read(buffer.data(), std::min<int64_t>(left, BlockBytes));
            if (n <= 0)
                throw DataError(QStringLiteral("Cannot read \"%1\": it changed while it was copied")
                                    .arg(file.path));
            sha.addData(QByteArrayView(buffer.constData(), n));
            writeEntryData(a.get(), archivePath, buffer.constData(), n);
            left -= n;
        }
        QJsonObject entry;
        entry[QStringLiteral("name")] = file.entry;
        entry[QStringLiteral("size")] = double(size);
        entry[QStringLiteral("sha256")] = QString::fromLatin1(sha.result().toHex());
        listed.append(entry);
    }
    manifest[QStringLiteral("format")] = formatName();
    manifest[QStringLiteral("version")] = FormatVersion;
    manifest[QStringLiteral("created")] =
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    manifest[QStringLiteral("files")] = listed;
    const QByteArray text = QJsonDocument(manifest).toJson(QJsonDocument::Indented);
    writeEntryHeader(a.get(), archivePath, manifestEntry(), text.size(),
                     QDateTime::currentSecsSinceEpoch());
    writeEntryData(a.get(), archivePath, text.constData(), text.size());
    if (archive_write_close(a.get()) != ARCHIVE_OK) throw failed(a.get());
    checkStop(stop);

    syncFile(*out);
    const int64_t bytes = out->size();
    out->close();
    if (!dbtools::renameNoReplace(out->fileName(), archivePath)) {
        if (errno == EEXIST)
            throw DataError(QStringLiteral("\"%1\" already exists; a backup never replaces a file")
                                .arg(archivePath));
        throw DataError(QStringLiteral("Cannot write \"%1\": %2").arg(archivePath, systemText()));
    }
    out->setAutoRemove(false);
    syncFolder(QFileInfo(archivePath).absolutePath());
    return bytes;
}

BackupSummary backupDatabase(const QString& database, const QString& archivePath,
                             const QString& programDir, const std::atomic<bool>* stop) {
    if (exists(archivePath))
        throw DataError(QStringLiteral("\"%1\" already exists; a backup never replaces a file")
                            .arg(archivePath));
    if (!QFileInfo(archivePath).absoluteDir().exists())
        throw DataError(
            QStringLiteral("Cannot write \"%1\": its folder does not exist").arg(archivePath));

    std::vector<ArchiveFile> photos;
    if (!programDir.isEmpty()) {
        if (!QFileInfo(programDir).isDir())
            throw DataError(QStringLiteral("\"%1\" is not a folder").arg(programDir));
        const QString students = childFolder(programDir, studentFolderName());
        if (students.isEmpty())
            throw DataError(QStringLiteral("\"%1\" has no photo folder %2")
                                .arg(programDir, studentFolderName()));
        const QString prefix = studentFolderName() + QLatin1Char('/');
        for (const QString& name : plainFiles(students))
            photos.push_back({prefix + name, QDir(students).filePath(name)});
        const QString teachers = childFolder(students, teacherFolderName());
        if (!teachers.isEmpty())
            for (const QString& name : plainFiles(teachers))
                photos.push_back({prefix + teacherFolderName() + QLatin1Char('/') + name,
                                  QDir(teachers).filePath(name)});
    }

    auto copy = fileBeside(archivePath, "db");
    copy->close();
    struct SideFilesOfCopy {
        QString path;
        ~SideFilesOfCopy() {
            for (const QString& side : sideFiles(path)) QFile::remove(side);
        }
    } sideFilesOfCopy{copy->fileName()};
    copyDatabase(database, copy->fileName());
    checkStop(stop);

    const Inspection found = inspect(copy->fileName(), false);
    if (!found.unreadable.isEmpty())
        throw DataError(
            QStringLiteral("Cannot back up \"%1\": %2").arg(database, found.unreadable));
    if (!found.damage.isEmpty())
        throw DataError(
            QStringLiteral("\"%1\" is damaged: %2").arg(database, firstOf(found.damage)));
    if (!found.foreign.isEmpty())
        throw DataError(QStringLiteral("\"%1\" is not a database of this program: %2")
                            .arg(database, firstOf(found.foreign)));
    checkStop(stop);

    BackupSummary summary;
    summary.tables = found.tables;
    summary.rows = totalRows(found.tables);
    summary.photos = int(photos.size());
    QJsonObject rows;
    for (const TableRows& t : found.tables) rows[t.table] = double(t.rows);
    QJsonObject manifest;
    manifest[QStringLiteral("database")] = databaseEntry();
    manifest[QStringLiteral("source")] = QFileInfo(database).absoluteFilePath();
    manifest[QStringLiteral("rows")] = rows;

    std::vector<ArchiveFile> files{{databaseEntry(), copy->fileName()}};
    files.insert(files.end(), photos.begin(), photos.end());
    summary.archiveBytes = writeArchive(archivePath, files, manifest, stop);
    return summary;
}

QString dailyArchiveName(const QDate& day) {
    return QStringLiteral("verdikon-%1.tar.zst").arg(day.toString(Qt::ISODate));
}

QDate dailyArchiveDay(const QString& fileName) {
    static const QRegularExpression pattern(
        QStringLiteral("^verdikon-(\\d{4}-\\d{2}-\\d{2})\\.tar\\.zst$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    return m.hasMatch() ? QDate::fromString(m.captured(1), Qt::ISODate) : QDate();
}

QString writeDailyBackup(const QString& database, const QString& folder, const QDate& day, int keep,
                         const std::atomic<bool>* stop) {
    if (!QDir().mkpath(folder))
        throw DataError(QStringLiteral("Cannot create the folder \"%1\"").arg(folder));
    const QDir dir(folder);
    const QString target = dir.filePath(dailyArchiveName(day));
    QString written;
    if (!exists(target)) {
        try {
            backupDatabase(database, target, {}, stop);
            written = target;
        } catch (const Stopped&) {
            throw;
        } catch (const DataError&) {
            // A second copy of the program started the same day may have written it first.
            if (!exists(target)) throw;
        }
    }

    std::vector<std::pair<QDate, QString>> copies;
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        const QDate d = dailyArchiveDay(name);
        if (d.isValid()) copies.emplace_back(d, name);
    }
    std::sort(copies.begin(), copies.end(), [](const auto& a, const auto& b) { return a > b; });
    for (std::size_t i = std::size_t(std::max(keep, 1)); i < copies.size(); ++i)
        if (copies[i].first != day) QFile::remove(dir.filePath(copies[i].second));
    // What an interrupted copy left behind a day or more ago.
    const QDateTime yesterday = QDateTime::currentDateTime().addDays(-1);
    for (const QFileInfo& info :
         dir.entryInfoList({QStringLiteral(".verdikon-*")}, QDir::Files | QDir::Hidden))
        if (info.lastModified() < yesterday) QFile::remove(info.filePath());
    return written;
}

}  // namespace backup
