// Backup archives: tar compressed with zstd, the database copy first, then the
// photos, then manifest.json. The manifest comes last so that the checksums are
// taken in the same pass that writes the files; restore reads the archive once,
// extracting into temporary files beside their places, and decides only at the end.
#include "Backup.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "Connection.h"
#include "Schema.h"

namespace backup {

namespace {

constexpr qint64 BlockBytes = 1 << 20;
constexpr qint64 ManifestMaxBytes = 64 << 20;
constexpr int BusyMs = 5000;
// How long a restore waits for other connections to let go of the old database.
constexpr int ReplaceBusyMs = 2000;
constexpr int FormatVersion = 1;
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

QString archiveText(archive* a) {
    const char* text = archive_error_string(a);
    return text ? QString::fromUtf8(text) : QStringLiteral("unknown error");
}

// Renames without replacing: false, with errno EEXIST, when `to` exists.
bool renameNoReplace(const QString& from, const QString& to) {
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A filesystem without the flag: a hard link cannot replace either.
    if (::link(f.constData(), t.constData()) != 0) return false;
    ::unlink(f.constData());
    return true;
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

// ---- the database copy and its inspection

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

struct Inspection {
    QString unreadable;             // SQLite cannot read the file as a database
    QStringList damage;             // integrity findings
    QStringList foreign;            // what keeps it from serving the program
    std::vector<TableRows> tables;  // filled when there is nothing of the above
    bool sound() const { return unreadable.isEmpty() && damage.isEmpty() && foreign.isEmpty(); }
};

// Ends the open of an inspected file before the connection writes its journal mode.
struct Inspected {};

// Reads a database file without writing to it: SQLite's integrity check (the
// thorough one, or the quick one that skips matching indexes to rows), the
// schema's conformance and, when both are clean, the rows of every table.
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

// ---- archive writing

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

// ---- archive reading

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

QByteArray fileSha256(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash sha(QCryptographicHash::Sha256);
    sha.addData(&f);
    return sha.result().toHex();
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

void syncFile(QFile& file) {
    file.flush();
    ::fsync(file.handle());
}

}  // namespace

QString databaseEntry() {
    return QStringLiteral("verdikon.mdb");
}
QString manifestEntry() {
    return QStringLiteral("manifest.json");
}

void copyDatabase(const QString& from, const QString& to) {
    const QFileInfo info(from);
    if (!info.exists()) throw DataError(QStringLiteral("\"%1\" does not exist").arg(from));
    if (!info.isFile()) throw DataError(QStringLiteral("\"%1\" is not a file").arg(from));
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
    if (!renameNoReplace(out->fileName(), archivePath)) {
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

RestoreSummary restoreDatabase(const QString& archivePath, const QString& database,
                               const QString& programDir, bool force) {
    const QFileInfo archiveInfo(archivePath);
    if (!archiveInfo.exists())
        throw DataError(QStringLiteral("\"%1\" does not exist").arg(archivePath));
    if (!archiveInfo.isFile())
        throw DataError(QStringLiteral("\"%1\" is not a file").arg(archivePath));
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
                                   : renameNoReplace(restored.fileName(), database);
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
        const bool moved =
            force ? renameReplacing(photo->temporary, to) : renameNoReplace(photo->temporary, to);
        if (!moved)
            throw DataError(QStringLiteral("Cannot write \"%1\": %2").arg(to, systemText()));
        ++summary.photos;
    }
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
