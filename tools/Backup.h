// Safety copies of a database: a consistent copy taken through SQLite's online
// backup, written with the photo folders into one compressed archive that
// carries a manifest (date, rows per table, a SHA-256 checksum per file), and
// the way back from such an archive, checked whole before anything is replaced.
#pragma once

#include <QDate>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <vector>

#include "DataError.h"

namespace backup {

// Names inside an archive: the database, the manifest, and the photos under
// "Foto/" (students) and "Foto/Prepod/" (teachers).
QString databaseEntry();  // "verdikon.mdb"
QString manifestEntry();  // "manifest.json"

// Thrown when a copy is asked to stop before it is complete; nothing is left behind.
class Stopped : public DataError {
public:
    Stopped() : DataError(QStringLiteral("The backup was stopped")) {}
};

// Copies the database at `from` into the new file `to` through SQLite's online
// backup: one read transaction, so the copy is a committed state even while
// another connection writes. Never creates `from` nor changes what it holds.
// Throws DataError.
void copyDatabase(const QString& from, const QString& to);

struct TableRows {
    QString table;
    int64_t rows = 0;
};

struct BackupSummary {
    std::vector<TableRows> tables;
    int64_t rows = 0;
    int photos = 0;
    int64_t archiveBytes = 0;
};

// Writes a new archive of the database and, when programDir is given, of the
// files directly in programDir/Foto and programDir/Foto/Prepod. Refuses an
// existing archive and a database that is not one of this program; the archive
// is written beside its place and renamed there when complete. A set `stop`
// ends the work with Stopped. Throws DataError naming the file.
BackupSummary backupDatabase(const QString& database, const QString& archive,
                             const QString& programDir = {},
                             const std::atomic<bool>* stop = nullptr);

struct RestoreSummary {
    std::vector<TableRows> tables;
    int64_t rows = 0;
    int photos = 0;           // written into the photo folders
    int photosUnchanged = 0;  // already there with the same bytes
};

// Puts an archive's database at `database` and, when programDir is given, its
// photos back into programDir/Foto and Foto/Prepod. The checksums, the
// database's integrity and its tables are checked before anything is
// replaced; an existing database or a photo with other bytes is replaced only
// with `force`. Throws DataError naming the file; a refused or failed restore
// leaves the database as it was.
RestoreSummary restoreDatabase(const QString& archive, const QString& database,
                               const QString& programDir = {}, bool force = false);

// One file to put into an archive under the given name.
struct ArchiveFile {
    QString entry;
    QString path;
};
// Writes the files into a new compressed archive followed by the manifest:
// `manifest`'s fields plus the format, the date and every file's size and
// checksum. Refuses an existing archive; writes beside it and renames. Returns
// the archive's size in bytes.
int64_t writeArchive(const QString& archive, const std::vector<ArchiveFile>& files,
                     QJsonObject manifest, const std::atomic<bool>* stop = nullptr);

// The daily safety copy: files named verdikon-YYYY-MM-DD.tar.zst in one folder.
QString dailyArchiveName(const QDate& day);
// The day a daily copy's file name carries; invalid for any other name.
QDate dailyArchiveDay(const QString& fileName);
constexpr int DailyCopiesKept = 7;
// Writes the copy of `day` unless the folder holds one already (the folder is
// made when missing), then removes the daily copies older than the newest
// `keep`. Returns the written file, or an empty text when the day had one.
QString writeDailyBackup(const QString& database, const QString& folder, const QDate& day,
                         int keep = DailyCopiesKept, const std::atomic<bool>* stop = nullptr);

}  // namespace backup
