// What backup and restore share: the archive's fixed names, files written
// beside their places and renamed there, a database's side files, the photo
// folders, and a read-only inspection of a database file. Private to tools/.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <sqlite3.h>

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "Backup.h"

class Connection;

namespace backup::detail {

constexpr qint64 BlockBytes = 1 << 20;
constexpr int FormatVersion = 1;
QString formatName();         // the manifest's "format"
QString studentFolderName();  // "Foto"
QString teacherFolderName();  // "Prepod", inside the students' folder

void checkStop(const std::atomic<bool>* stop);
// The text of the last system call's errno.
QString systemText();
// The first few of a list of findings, for a one-line message.
QString firstOf(const QStringList& items);

struct SqliteHandle {
    sqlite3* db = nullptr;
    SqliteHandle() = default;
    SqliteHandle(const SqliteHandle&) = delete;
    SqliteHandle& operator=(const SqliteHandle&) = delete;
    ~SqliteHandle() { sqlite3_close_v2(db); }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }
};

struct ArchiveDeleter {
    void operator()(archive* a) const { archive_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveDeleter>;

struct EntryDeleter {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};
using EntryPtr = std::unique_ptr<archive_entry, EntryDeleter>;

QString archiveText(archive* a);

bool renameReplacing(const QString& from, const QString& to);
void syncFolder(const QString& folder);
void syncFile(QFile& file);
// A file or a symbolic link, even a dangling one.
bool exists(const QString& path);
// A new temporary file in the target's folder, so that renaming it there is atomic.
std::unique_ptr<QTemporaryFile> fileBeside(const QString& target, const char* purpose);
// A database's side files, which SQLite finds by the database's name.
QStringList sideFiles(const QString& database);
void removeSideFiles(const QString& database);
// A folder under `parent` by name, the exact spelling first, else one that
// differs only in letter case; empty when there is none.
QString childFolder(const QString& parent, const QString& name);
// The same, made when there is none.
QString madeChildFolder(const QString& parent, const QString& name);
QStringList plainFiles(const QString& folder);
QByteArray fileSha256(const QString& path);

std::vector<TableRows> tableRows(Connection& c);
int64_t totalRows(const std::vector<TableRows>& tables);

struct Inspection {
    QString unreadable;             // SQLite cannot read the file as a database
    QStringList damage;             // integrity findings
    QStringList foreign;            // what keeps it from serving the program
    std::vector<TableRows> tables;  // filled when there is nothing of the above
    bool sound() const { return unreadable.isEmpty() && damage.isEmpty() && foreign.isEmpty(); }
};

// Reads a database file without writing to it: SQLite's integrity check (the
// thorough one, or the quick one that skips matching indexes to rows), the
// schema's conformance and, when both are clean, the rows of every table.
Inspection inspect(const QString& path, bool thorough);

}  // namespace backup::detail
