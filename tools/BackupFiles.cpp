#include "BackupFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Connection.h"
#include "Schema.h"

namespace backup::detail {

QString formatName() {
    return QStringLiteral("tessaly-backup");
}

QString studentFolderName() {
    return QStringLiteral("Foto");
}

QString teacherFolderName() {
    return QStringLiteral("Prepod");
}

void checkStop(const std::atomic<bool>* stop) {
    if (stop && stop->load()) throw Stopped();
}

QString systemText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The first few of a list of findings, for a one-line message.
QString firstOf(const QStringList& items) {
    QStringList shown = items.mid(0, 3);
    if (items.size() > 3) shown << QStringLiteral("%1 more").arg(items.size() - 3);
    return shown.join(QStringLiteral("; "));
}

QString archiveText(archive* a) {
    const char* text = archive_error_string(a);
    return text ? QString::fromUtf8(text) : QStringLiteral("unknown error");
}

bool renameReplacing(const QString& from, const QString& to) {
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool exists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A new temporary file in the target's folder, so that renaming it there is atomic.
std::unique_ptr<QTemporaryFile> fileBeside(const QString& target, const char* purpose) {
    const QFileInfo info(target);
    auto file = std::make_unique<QTemporaryFile>(info.absoluteDir().filePath(
        QStringLiteral(".%1.%2-XXXXXX").arg(info.fileName(), QLatin1String(purpose))));
    if (!file->open())
        throw DataError(QStringLiteral("Cannot write \"%1\": %2").arg(target, file->errorString()));
    return file;
}

// A database's side files, which SQLite finds by the database's name.
QStringList sideFiles(const QString& database) {
    return {database + QStringLiteral("-wal"), database + QStringLiteral("-shm"),
            database + QStringLiteral("-journal")};
}

void removeSideFiles(const QString& database) {
    for (const QString& side : sideFiles(database))
        if (exists(side) && !QFile::remove(side))
            throw DataError(QStringLiteral("Cannot remove \"%1\"").arg(side));
}

// A folder under `parent` by name, the exact spelling first, else one that
// differs only in letter case; empty when there is none.
QString childFolder(const QString& parent, const QString& name) {
    const QDir dir(parent);
    if (QFileInfo(dir.filePath(name)).isDir()) return dir.filePath(name);
    const QStringList entries =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
    return {};
}

QString madeChildFolder(const QString& parent, const QString& name) {
    QString folder = childFolder(parent, name);
    if (!folder.isEmpty()) return folder;
    folder = QDir(parent).filePath(name);
    if (!QDir().mkpath(folder))
        throw DataError(QStringLiteral("Cannot create the folder \"%1\"").arg(folder));
    return folder;
}

QStringList plainFiles(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::NoSymLinks, QDir::Name);
}

QByteArray fileSha256(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash sha(QCryptographicHash::Sha256);
    sha.addData(&f);
    return sha.result().toHex();
}

void syncFile(QFile& file) {
    file.flush();
    ::fsync(file.handle());
}

std::vector<TableRows> tableRows(Connection& c) {
    std::vector<TableRows> rows;
    for (const schema::Table& t : schema::tables()) {
        auto st = c.prepare(
            QStringLiteral("SELECT count(*) FROM %1").arg(quoteIdentifier(c.tableName(t.name))));
        rows.push_back({t.name, st->step() ? st->columnInt64(0) : 0});
    }
    return rows;
}

int64_t totalRows(const std::vector<TableRows>& tables) {
    int64_t n = 0;
    for (const TableRows& t : tables) n += t.rows;
    return n;
}

namespace {
// Ends the open of an inspected file before the connection writes its journal mode.
struct Inspected {};
}  // namespace

Inspection inspect(const QString& path, bool thorough) {
    Inspection found;
    {
        SqliteHandle probe;
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &probe.db,
                                 SQLITE_OPEN_READWRITE, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_prepare_v2(probe.db, "SELECT count(*) FROM sqlite_schema", -1, &st,
                                    nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(st) == SQLITE_ROW ? SQLITE_OK : sqlite3_errcode(probe.db);
        sqlite3_finalize(st);
        if (rc != SQLITE_OK) {
            found.unreadable = probe.error();
            return found;
        }
    }
    SqliteConnection c(path);
    c.setValidator([&found, thorough](Connection& conn) {
        try {
            auto check = conn.prepare(thorough ? QStringLiteral("PRAGMA integrity_check")
                                               : QStringLiteral("PRAGMA quick_check"));
            while (check->step()) {
                const QStringList lines = check->columnValue(0).toString().split(QLatin1Char('\n'));
                for (const QString& line : lines) {
                    const QString text = line.trimmed();
                    if (text.isEmpty() || text == QLatin1String("ok") ||
                        text.startsWith(QLatin1String("***")))
                        continue;
                    found.damage << text;
                }
            }
            found.foreign = schema::problems(conn);
            if (found.damage.isEmpty() && found.foreign.isEmpty()) found.tables = tableRows(conn);
        } catch (const DataError& e) {
            found.damage << e.text();
        }
        throw Inspected{};
    });
    try {
        c.open();
    } catch (const Inspected&) {
    } catch (const DataError& e) {
        found.unreadable = e.text();
    }
    return found;
}

}  // namespace backup::detail
