// Backups as tessaly-db writes and reads them, and the program's daily copy: a
// backup restores to the same database and photo bytes and holds a committed
// state while another connection writes; a damaged, incomplete, unlisted or
// foreign archive is refused with nothing replaced; restore replaces only with
// --force and never lets an old database's log reach the restored file; the
// daily copies keep the newest seven.
#include <archive.h>
#include <archive_entry.h>

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "Backup.h"
#include "Connection.h"
#include "DailyBackup.h"
#include "DbTool.h"
#include "FileBytes.h"
#include "Schema.h"
#include "ToolRun.h"

namespace {

// What the sqlite3 shell prints for the whole database.
QByteArray dump(const QString& db) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {db, QStringLiteral(".dump")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return "sqlite3 failed on " + db.toUtf8();
    return p.readAllStandardOutput();
}

// Every file under a folder, hidden ones too, by path below it.
std::map<QString, QByteArray> filesUnder(const QString& folder) {
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(folder).relativeFilePath(path)] = fileBytes(path);
    }
    return files;
}

QStringList namesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

int64_t rowsOf(const QString& db, const QString& table) {
    SqliteConnection c(db);
    c.open();
    auto st = c.prepare(QStringLiteral("SELECT count(*) FROM %1").arg(quoteIdentifier(table)));
    return st->step() ? st->columnInt64(0) : -1;
}

QByteArray sha256Hex(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// An archive's entries, whole and in order, read and written here with
// libarchive itself so that a test can take one apart and put it together.
struct Entry {
    QString name;
    QByteArray bytes;
};
using Entries = std::vector<Entry>;

Entries readEntries(const QString& path) {
    Entries entries;
    archive* a = archive_read_new();
    archive_read_support_filter_all(a);
    archive_read_support_format_all(a);
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 65536) == ARCHIVE_OK) {
        archive_entry* e = nullptr;
        while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
            Entry entry{QString::fromUtf8(archive_entry_pathname(e)), {}};
            char buffer[65536];
            la_ssize_t n;
            while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0)
                entry.bytes.append(buffer, n);
            entries.push_back(entry);
        }
    }
    archive_read_free(a);
    return entries;
}

void writeEntries(const QString& path, const Entries& entries) {
    archive* a = archive_write_new();
    archive_write_add_filter_zstd(a);
    archive_write_set_format_pax_restricted(a);
    QCOMPARE(archive_write_open_filename(a, QFile::encodeName(path).constData()), ARCHIVE_OK);
    for (const Entry& entry : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, entry.name.toUtf8().constData());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, entry.bytes.size());
        archive_write_header(a, e);
        archive_write_data(a, entry.bytes.constData(), size_t(entry.bytes.size()));
        archive_entry_free(e);
    }
    QCOMPARE(archive_write_close(a), ARCHIVE_OK);
    archive_write_free(a);
}

Entry* findEntry(Entries& entries, const QString& name) {
    for (Entry& e : entries)
        if (e.name == name) return &e;
    return nullptr;
}

QJsonObject manifestOf(Entries& entries) {
    const Entry* m = findEntry(entries, backup::manifestEntry());
    return m ? QJsonDocument::fromJson(m->bytes).object() : QJsonObject();
}

// Lists an entry's present bytes in the manifest, as an archive made that way would.
void relist(Entries& entries, const QString& name) {
    QJsonObject manifest = manifestOf(entries);
    QJsonArray files = manifest.value(QStringLiteral("files")).toArray();
    for (QJsonValueRef v : files) {
        QJsonObject file = v.toObject();
        if (file.value(QStringLiteral("name")).toString() != name) continue;
        const QByteArray& bytes = findEntry(entries, name)->bytes;
        file[QStringLiteral("size")] = double(bytes.size());
        file[QStringLiteral("sha256")] = QString::fromLatin1(sha256Hex(bytes));
        v = file;
    }
    manifest[QStringLiteral("files")] = files;
    findEntry(entries, backup::manifestEntry())->bytes = QJsonDocument(manifest).toJson();
}

QByteArray foreignDatabase(const QString& folder) {
    const QString path = QDir(folder).filePath(QStringLiteral("foreign.sqlite"));
    SqliteConnection::createFile(path);
    {
        SqliteConnection c(path);
        c.open();
        c.execute(QStringLiteral("CREATE TABLE recipes (name TEXT, minutes INTEGER)"));
        c.execute(QStringLiteral("INSERT INTO recipes VALUES ('borscht', 180)"));
    }
    return fileBytes(path);
}

// Rows in ID_kontrol are added ten at a time, each ten one transaction.
constexpr int Batch = 10;

}  // namespace

class BackupTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_demo;     // a demonstration database with photos
    QString m_program;  // the folder holding its Foto and Foto/Prepod
    QString m_archive;  // its backup with the photos
    ToolResult m_backup;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A first photo of the archive: its name under the program folder.
    QString firstStudentPhoto() const {
        return QStringLiteral("Foto/") +
               QDir(m_program + QStringLiteral("/Foto")).entryList(QDir::Files, QDir::Name).first();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_demo = path(QStringLiteral("demo.mdb"));
        m_program = path(QStringLiteral("program"));
        m_archive = path(QStringLiteral("demo.tar.zst"));
        ToolResult r =
            tool({QStringLiteral("demo"), m_demo, QStringLiteral("--photos"), m_program});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        m_backup = tool(
            {QStringLiteral("backup"), m_demo, m_archive, QStringLiteral("--photos"), m_program});
        QVERIFY2(m_backup.code == 0, qPrintable(describe(m_backup)));
    }

    void backupThenRestoreGivesTheSameDatabaseAndPhotos() {
        const auto photos = filesUnder(m_program);
        QVERIFY(photos.size() > 20);
        int64_t rows = 0;
        for (const schema::Table& t : schema::tables()) rows += rowsOf(m_demo, t.name);
        QCOMPARE(m_backup.out.count(QLatin1Char('\n')), 1);
        QVERIFY2(m_backup.out.contains(
                     QStringLiteral("15 tables, %1 rows, %2 photos").arg(rows).arg(photos.size())),
                 qPrintable(m_backup.out));

        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("verdikon.mdb"));
        const QString program = dir.filePath(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(program));
        const ToolResult r =
            tool({QStringLiteral("restore"), m_archive, db, QStringLiteral("--photos"), program});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QCOMPARE(dump(db), dump(m_demo));
        QVERIFY(filesUnder(program) == photos);
        // Nothing of the work is left beside them.
        QCOMPARE(namesIn(dir.path()),
                 (QStringList{QStringLiteral("program"), QStringLiteral("verdikon.mdb")}));
    }

    void manifestListsTheRowsAndAChecksumPerFile() {
        Entries entries = readEntries(m_archive);
        const QJsonObject manifest = manifestOf(entries);
        QVERIFY(QDateTime::fromString(manifest.value(QStringLiteral("created")).toString(),
                                      Qt::ISODateWithMs)
                    .isValid());
        const QJsonObject rows = manifest.value(QStringLiteral("rows")).toObject();
        QCOMPARE(rows.size(), 15);
        for (const schema::Table& t : schema::tables())
            QCOMPARE(int64_t(rows.value(t.name).toDouble(-1)), rowsOf(m_demo, t.name));
        const QJsonArray files = manifest.value(QStringLiteral("files")).toArray();
        QCOMPARE(qsizetype(files.size()), qsizetype(entries.size()) - 1);
        for (const QJsonValue& v : files) {
            const QJsonObject file = v.toObject();
            const Entry* e = findEntry(entries, file.value(QStringLiteral("name")).toString());
            QVERIFY(e);
            QCOMPARE(file.value(QStringLiteral("sha256")).toString().toLatin1(),
                     sha256Hex(e->bytes));
        }
        QCOMPARE(findEntry(entries, firstStudentPhoto())->bytes,
                 fileBytes(QDir(m_program).filePath(firstStudentPhoto())));
    }

    void backupWhileAnotherConnectionWritesHoldsACommittedState() {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("busy.mdb"));
        const QString archive = dir.filePath(QStringLiteral("busy.tar.zst"));
        const ToolResult made = tool(
            {QStringLiteral("generate"), db, QStringLiteral("--students"), QStringLiteral("2000")});
        QVERIFY2(made.code == 0, qPrintable(describe(made)));
        const int64_t base = rowsOf(db, QStringLiteral("ID_kontrol"));

        std::atomic<bool> stop{false};
        std::atomic<int64_t> committed{0};
        std::atomic<bool> writerFailed{false};
        QString writerFailure;  // read once the writer has ended
        std::thread writer([&] {
            try {
                SqliteConnection c(db);
                c.open();
                auto insert = c.prepare(
                    QStringLiteral("INSERT INTO ID_kontrol (ID_KONTROL, Nazvanie) VALUES (?, ?)"));
                for (int64_t id = 1000; !stop; id += Batch) {
                    c.execute(QStringLiteral("BEGIN"));
                    for (int i = 0; i < Batch; ++i) {
                        insert->reset();
                        insert->bind(1, id + i);
                        insert->bind(2, QStringLiteral("Контроль %1").arg(id + i));
                        insert->step();
                    }
                    c.execute(QStringLiteral("COMMIT"));
                    committed += Batch;
                }
            } catch (const std::exception& e) {
                writerFailure = QString::fromUtf8(e.what());
                writerFailed = true;
            }
        });
        while (committed < 5 * Batch && !writerFailed) QThread::msleep(5);
        const int64_t before = committed;
        const ToolResult r = tool({QStringLiteral("backup"), db, archive});
        const int64_t after = committed;
        stop = true;
        writer.join();
        QVERIFY2(writerFailure.isEmpty(), qPrintable(writerFailure));
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QVERIFY(after > before);

        const QString copy = dir.filePath(QStringLiteral("copy.mdb"));
        backup::restoreDatabase(archive, copy);
        const dbtools::CheckReport report = dbtools::check(copy);
        QCOMPARE(report.problems, QStringList());
        const int64_t added = rowsOf(copy, QStringLiteral("ID_kontrol")) - base;
        QVERIFY2(added >= before && added <= after && added % Batch == 0,
                 qPrintable(QStringLiteral("%1 rows in the copy, %2 committed before the backup "
                                           "and %3 after")
                                .arg(added)
                                .arg(before)
                                .arg(after)));
    }

    void damagedOrForeignArchivesAreRefusedAndNothingReplaced_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::newRow("compressed bytes flipped") << "flip"
                                                  << "damaged";
        QTest::newRow("cut in half") << "half"
                                     << "damaged";
        QTest::newRow("cut before its end") << "end"
                                            << "";
        QTest::newRow("not an archive") << "text"
                                        << "damaged or no backup archive";
        QTest::newRow("database bytes changed") << "database"
                                                << "checksum of verdikon.mdb";
        QTest::newRow("photo bytes changed") << "photo"
                                             << "checksum of Foto/";
        QTest::newRow("no manifest") << "manifest"
                                     << "holds no manifest";
        QTest::newRow("a listed file missing") << "missing"
                                               << "is missing";
        QTest::newRow("a file not listed") << "unlisted"
                                           << "does not list";
        QTest::newRow("a name outside the folders") << "outside"
                                                    << "no part of a backup";
        QTest::newRow("a foreign database") << "foreign"
                                            << "is not one of this program";
        QTest::newRow("no database in the file") << "notdb"
                                                 << "cannot be read";
        QTest::newRow("a damaged database") << "corrupt"
                                            << "is damaged";
    }
    void damagedOrForeignArchivesAreRefusedAndNothingReplaced() {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString archive = dir.filePath(QStringLiteral("backup.tar.zst"));
        QByteArray bytes = fileBytes(m_archive);
        Entries entries = readEntries(m_archive);
        QVERIFY(entries.size() > 2);
        Entry* database = findEntry(entries, backup::databaseEntry());
        QVERIFY(database);
        if (damage == QLatin1String("flip")) {
            for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 16; ++i)
                bytes[i] = char(~bytes[i]);
        } else if (damage == QLatin1String("half")) {
            bytes.truncate(bytes.size() / 2);
        } else if (damage == QLatin1String("end")) {
            bytes.chop(40);
        } else if (damage == QLatin1String("text")) {
            bytes = "Ведомость за декабрь\n";
        } else {
            if (damage == QLatin1String("database")) {
                database->bytes[5000] = char(database->bytes[5000] ^ 1);
            } else if (damage == QLatin1String("photo")) {
                Entry* photo = findEntry(entries, firstStudentPhoto());
                photo->bytes[photo->bytes.size() / 2] ^= 1;
            } else if (damage == QLatin1String("manifest")) {
                entries.erase(std::find_if(entries.begin(), entries.end(), [](const Entry& e) {
                    return e.name == backup::manifestEntry();
                }));
            } else if (damage == QLatin1String("missing")) {
                entries.erase(std::find_if(entries.begin(), entries.end(), [this](const Entry& e) {
                    return e.name == firstStudentPhoto();
                }));
            } else if (damage == QLatin1String("unlisted")) {
                entries.insert(entries.begin() + 1, Entry{QStringLiteral("Foto/extra.jpg"), "x"});
            } else if (damage == QLatin1String("outside")) {
                entries.insert(entries.begin() + 1, Entry{QStringLiteral("../verdikon.mdb"), "x"});
            } else if (damage == QLatin1String("foreign")) {
                database->bytes = foreignDatabase(dir.path());
                relist(entries, backup::databaseEntry());
            } else if (damage == QLatin1String("notdb")) {
                database->bytes = QByteArray(8192, 'z');
                relist(entries, backup::databaseEntry());
            } else if (damage == QLatin1String("corrupt")) {
                // A leaf page's cells overwritten: an index no longer matches its rows.
                database->bytes.replace(200000, 4, "\xff\xff\xff\xff", 4);
                relist(entries, backup::databaseEntry());
            }
            writeEntries(archive, entries);
            bytes = fileBytes(archive);
        }
        writeFile(archive, bytes);

        // What a restore must not touch: a database and a photo of the same name with other bytes.
        const QString db = dir.filePath(QStringLiteral("verdikon.mdb"));
        const QString program = dir.filePath(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(program + QStringLiteral("/Foto/Prepod")));
        writeFile(QDir(program).filePath(firstStudentPhoto()), "the old photo");
        const ToolResult made = tool({QStringLiteral("create"), db});
        QVERIFY2(made.code == 0, qPrintable(describe(made)));
        const auto before = filesUnder(dir.path());

        const ToolResult r = tool({QStringLiteral("restore"), archive, db,
                                   QStringLiteral("--photos"), program, QStringLiteral("--force")});
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(archive) && r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.err.trimmed().count(QLatin1Char('\n')), 0);
        QVERIFY(filesUnder(dir.path()) == before);
        QCOMPARE(namesIn(program), QStringList{QStringLiteral("Foto")});
    }

    void restoreReplacesAnExistingDatabaseOnlyWithForce() {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("verdikon.mdb"));
        const ToolResult made = tool({QStringLiteral("create"), db});
        QVERIFY2(made.code == 0, qPrintable(describe(made)));
        const QByteArray old = fileBytes(db);

        ToolResult r = tool({QStringLiteral("restore"), m_archive, db});
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(db) && r.err.contains(QStringLiteral("--force")),
                 qPrintable(r.err));
        QCOMPARE(fileBytes(db), old);
        QCOMPARE(namesIn(dir.path()), QStringList{QStringLiteral("verdikon.mdb")});

        r = tool({QStringLiteral("restore"), m_archive, db, QStringLiteral("--force")});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QCOMPARE(dump(db), dump(m_demo));
    }

    void restoreReplacesAPhotoWithOtherBytesOnlyWithForce_data() {
        QTest::addColumn<bool>("sameBytes");
        QTest::addColumn<bool>("force");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("other bytes") << false << false << 1;
        QTest::newRow("other bytes, --force") << false << true << 0;
        QTest::newRow("the same bytes") << true << false << 0;
    }
    void restoreReplacesAPhotoWithOtherBytesOnlyWithForce() {
        QFETCH(bool, sameBytes);
        QFETCH(bool, force);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("verdikon.mdb"));
        const QString program = dir.filePath(QStringLiteral("program"));
        const QString photo = QDir(program).filePath(firstStudentPhoto());
        const QByteArray archived = fileBytes(QDir(m_program).filePath(firstStudentPhoto()));
        QVERIFY(QDir().mkpath(program + QStringLiteral("/Foto")));
        writeFile(photo, sameBytes ? archived : QByteArray("the old photo"));
        const QByteArray before = fileBytes(photo);

        QStringList args{QStringLiteral("restore"), m_archive, db, QStringLiteral("--photos"),
                         program};
        if (force) args << QStringLiteral("--force");
        const ToolResult r = tool(args);
        QVERIFY2(r.code == exitCode, qPrintable(describe(r)));
        if (exitCode != 0) {
            QVERIFY2(r.err.contains(photo), qPrintable(r.err));
            QCOMPARE(fileBytes(photo), before);
            QVERIFY(!QFileInfo::exists(db));
            QCOMPARE(namesIn(dir.path()), QStringList{QStringLiteral("program")});
            return;
        }
        QCOMPARE(fileBytes(photo), archived);
        QVERIFY(filesUnder(program) == filesUnder(m_program));
        QVERIFY2(r.out.contains(sameBytes ? QStringLiteral("1 already there")
                                          : QStringLiteral("0 already there")),
                 qPrintable(r.out));
    }

    void anOldDatabasesLogNeverReachesTheRestoredFile_data() {
        QTest::addColumn<QString>("left");
        QTest::newRow("the database with its log") << "both";
        QTest::newRow("the log without its database") << "log";
        QTest::newRow("the log beside a file that is no database") << "garbage";
    }
    void anOldDatabasesLogNeverReachesTheRestoredFile() {
        QFETCH(QString, left);
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("verdikon.mdb"));
        // A program stopped with work in its log: the file and its log as they were then.
        const QString old = dir.filePath(QStringLiteral("old.mdb"));
        QVERIFY(tool({QStringLiteral("create"), old}).code == 0);
        {
            SqliteConnection c(old);
            c.open();
            for (int i = 0; i < 200; ++i)
                c.execute(
                    QStringLiteral("INSERT INTO ID_kontrol VALUES (%1, 'старый')").arg(i + 100));
            QVERIFY(QFileInfo(old + QStringLiteral("-wal")).size() > 0);
            QVERIFY(QFile::copy(old + QStringLiteral("-wal"), db + QStringLiteral("-wal")));
            if (left == QLatin1String("both")) QVERIFY(QFile::copy(old, db));
        }
        if (left == QLatin1String("garbage")) writeFile(db, QByteArray(4096, 'g'));

        const ToolResult r =
            tool({QStringLiteral("restore"), m_archive, db, QStringLiteral("--force")});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QCOMPARE(dump(db), dump(m_demo));
        QVERIFY(!QFileInfo::exists(db + QStringLiteral("-wal")));
    }

    void restoreRefusesADatabaseAnotherProgramHasOpen() {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("verdikon.mdb"));
        QVERIFY(tool({QStringLiteral("create"), db}).code == 0);
        SqliteConnection running(db);
        running.open();
        running.execute(QStringLiteral("INSERT INTO ID_kontrol VALUES (77, 'в работе')"));
        const QByteArray before = dump(db);

        const ToolResult r =
            tool({QStringLiteral("restore"), m_archive, db, QStringLiteral("--force")});
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(db) && r.err.contains(QStringLiteral("in use")), qPrintable(r.err));
        QCOMPARE(dump(db), before);
        auto st = running.prepare(
            QStringLiteral("SELECT Nazvanie FROM ID_kontrol WHERE ID_KONTROL = 77"));
        QVERIFY(st->step());
    }

    void backupRefusesAndLeavesNothing_data() {
        QTest::addColumn<QString>("database");  // "@" stands for the test's folder
        QTest::addColumn<QString>("photos");
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("message");
        QTest::newRow("existing archive") << "demo"
                                          << ""
                                          << "@/backup.tar.zst"
                                          << "already exists";
        QTest::newRow("missing database") << "@/none.mdb"
                                          << ""
                                          << "@/none.mdb"
                                          << "does not exist";
        QTest::newRow("foreign database") << "@/foreign.sqlite"
                                          << ""
                                          << "@/foreign.sqlite"
                                          << "not a database of this program";
        QTest::newRow("no database in the file") << "@/notes.txt"
                                                 << ""
                                                 << "@/notes.txt"
                                                 << "file is not a database";
        QTest::newRow("no photo folder") << "demo"
                                         << "@"
                                         << "@"
                                         << "no photo folder Foto";
    }
    void backupRefusesAndLeavesNothing() {
        QFETCH(QString, database);
        QFETCH(QString, photos);
        QFETCH(QString, named);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString archive = dir.filePath(QStringLiteral("backup.tar.zst"));
        foreignDatabase(dir.path());
        writeFile(dir.filePath(QStringLiteral("notes.txt")), QByteArray(4096, 'n'));
        if (QByteArray(QTest::currentDataTag()) == "existing archive")
            writeFile(archive, "an earlier backup");
        const auto before = filesUnder(dir.path());
        const auto at = [&dir](QString s) { return s.replace(QLatin1Char('@'), dir.path()); };
        QStringList args{QStringLiteral("backup"),
                         database == QLatin1String("demo") ? m_demo : at(database), archive};
        if (!photos.isEmpty()) args << QStringLiteral("--photos") << at(photos);

        const ToolResult r = tool(args);
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(at(named)) && r.err.contains(message), qPrintable(r.err));
        QVERIFY(filesUnder(dir.path()) == before);
    }

    void wrongUsageExitsTwo_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("backup without an archive")
            << QStringList{QStringLiteral("backup"), "a.mdb"};
        QTest::newRow("restore without a database")
            << QStringList{QStringLiteral("restore"), "a.tar.zst"};
        QTest::newRow("backup with --force")
            << QStringList{QStringLiteral("backup"), "a.mdb", "a.tar.zst", "--force"};
        QTest::newRow("--photos without a folder")
            << QStringList{QStringLiteral("restore"), "a.tar.zst", "a.mdb", "--photos"};
    }
    void wrongUsageExitsTwo() {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(TESSALY_DB_EXECUTABLE), args);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("restore ARCHIVE DB"));
        QCOMPARE(namesIn(dir.path()), QStringList());
    }

    void dailyCopiesKeepTheNewestSeven() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("backups"));
        QVERIFY(QDir().mkpath(folder));
        writeFile(QDir(folder).filePath(QStringLiteral("notes.txt")), "keep me");
        // Eight starts on eight days, with a weekend between.
        QList<QDate> days;
        for (QDate d(2026, 12, 3); days.size() < 8; d = d.addDays(1))
            if (d.dayOfWeek() < 6) days << d;
        for (const QDate& day : days) {
            const QString written = backup::writeDailyBackup(m_demo, folder, day);
            QCOMPARE(written, QDir(folder).filePath(backup::dailyArchiveName(day)));
        }
        QStringList expected{QStringLiteral("notes.txt")};
        for (const QDate& day : days.mid(1)) expected << backup::dailyArchiveName(day);
        expected.sort();
        QCOMPARE(namesIn(folder), expected);
        QCOMPARE(backup::dailyArchiveName(days.last()),
                 QStringLiteral("verdikon-2026-12-14.tar.zst"));

        // A second start the same day writes nothing.
        const auto before = filesUnder(folder);
        const QDateTime modified =
            QFileInfo(QDir(folder).filePath(backup::dailyArchiveName(days.last()))).lastModified();
        QCOMPARE(backup::writeDailyBackup(m_demo, folder, days.last()), QString());
        QVERIFY(filesUnder(folder) == before);
        QCOMPARE(
            QFileInfo(QDir(folder).filePath(backup::dailyArchiveName(days.last()))).lastModified(),
            modified);
    }

    void dailyBackupWritesARestorableCopyBesideTheCaller() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("app/backups"));
        const QDate day(2026, 12, 11);
        {
            DailyBackup daily(m_demo, folder, day);
            daily.wait();
        }
        const QString archive =
            QDir(folder).filePath(QStringLiteral("verdikon-2026-12-11.tar.zst"));
        QCOMPARE(namesIn(folder), QStringList{QFileInfo(archive).fileName()});
        const QString db = dir.filePath(QStringLiteral("restored.mdb"));
        backup::restoreDatabase(archive, db);
        QCOMPARE(dump(db), dump(m_demo));
    }

    void aDailyBackupStoppedAtExitLeavesACompleteCopyOrNone() {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("big.mdb"));
        QVERIFY(tool({QStringLiteral("generate"), db, QStringLiteral("--students"),
                      QStringLiteral("3000")})
                    .code == 0);
        const QString folder = dir.filePath(QStringLiteral("backups"));
        { DailyBackup daily(db, folder, QDate(2026, 12, 11)); }
        const QStringList left = namesIn(folder);
        QVERIFY2(
            left.isEmpty() || left == QStringList{QStringLiteral("verdikon-2026-12-11.tar.zst")},
            qPrintable(left.join(QLatin1Char(' '))));
        if (!left.isEmpty()) {
            const QString restored = dir.filePath(QStringLiteral("restored.mdb"));
            backup::restoreDatabase(QDir(folder).filePath(left.first()), restored);
            QCOMPARE(dump(restored), dump(db));
        }
    }
};

QTEST_GUILESS_MAIN(BackupTest)
#include "tst_backup.moc"
