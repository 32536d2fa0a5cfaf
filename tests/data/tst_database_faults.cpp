// Faults of the database file while the program works with it: another program
// holding it, a full disk, a file that cannot be written, a missing or damaged
// file at start. Each gives a message, the row being posted stays pending with
// what was typed, and the same post succeeds once the fault is gone.
#include <sqlite3.h>

#include <unistd.h>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <optional>

#include "Connection.h"
#include "DM_Tessaly.h"
#include "Failure.h"
#include "FileBytes.h"
#include "Messages.h"
#include "Schema.h"
#include "TESSALY_MainForm.h"

namespace {

const QString fileName = QStringLiteral("verdikon.mdb");

// A working folder (the current one while the fixture lives), with the program's database.
class Folder {
public:
    explicit Folder(bool withDatabase = true) : m_previous(QDir::currentPath()) {
        QDir::setCurrent(m_dir.path());
        if (!withDatabase) return;
        SqliteConnection::createFile(fileName);
        SqliteConnection c(fileName);
        schema::create(c);
        c.execute(
            QStringLiteral("INSERT INTO Studenti (N_student, Fam) VALUES ('0000001', 'Иванов')"));
    }
    ~Folder() { QDir::setCurrent(m_previous); }
    QString path() const { return m_dir.path(); }
    QString file(const QString& name = fileName) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Straight from the file, as another program reads it: each row's columns
// joined by '|'.
QStringList storedRows(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QStringList rows;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_busy_timeout(db, 2000);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            QStringList columns;
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                columns << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
            rows << columns.join(QLatin1Char('|'));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

// "N_student|Fam" lines.
QStringList storedStudents(const QString& path) {
    return storedRows(path, "SELECT N_student, Fam FROM Studenti ORDER BY N_student");
}

QString integrity(const QString& path) {
    return storedRows(path, "PRAGMA integrity_check").value(0);
}

// True while another connection holds the write lock: a write cannot even begin.
bool writeLocked(const QString& path) {
    sqlite3* db = nullptr;
    bool locked = false;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK) {
        locked =
            (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) & 0xff) == SQLITE_BUSY;
        if (!locked) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
    return locked;
}

// The sqlite3 shell holding the file in a transaction of its own until it is ended.
class LockingShell {
public:
    explicit LockingShell(const QString& path) {
        m_shell.start(QStringLiteral("sqlite3"), {path});
        if (!m_shell.waitForStarted(5000)) return;
        m_shell.write("BEGIN EXCLUSIVE;\n");
        m_shell.waitForBytesWritten(5000);
        for (int i = 0; i < 250 && !m_locked; ++i) {
            m_locked = writeLocked(path);
            if (!m_locked) QThread::msleep(20);
        }
    }
    ~LockingShell() { end(); }
    bool isLocking() const { return m_locked; }
    // The shell reaches the end of its input and quits; its transaction goes with it.
    void end() {
        if (m_shell.state() == QProcess::NotRunning) return;
        m_shell.closeWriteChannel();
        if (!m_shell.waitForFinished(5000)) m_shell.kill();
        m_shell.waitForFinished(1000);
    }

private:
    QProcess m_shell;
    bool m_locked = false;
};

// Files marked immutable refuse every write, even through a descriptor opened
// before and even for root; permissions alone do not stop a program that has
// the file open.
class Immutable {
public:
    explicit Immutable(const QStringList& paths) : m_paths(paths) {
        m_done = set(QStringLiteral("+i"));
    }
    ~Immutable() { release(); }
    bool isSet() const { return m_done; }
    void release() {
        if (m_done) set(QStringLiteral("-i"));
        m_done = false;
    }

private:
    bool set(const QString& flag) {
        QProcess chattr;
        chattr.start(QStringLiteral("chattr"), QStringList{flag} + m_paths);
        return chattr.waitForFinished(5000) && chattr.exitStatus() == QProcess::NormalExit &&
               chattr.exitCode() == 0;
    }
    QStringList m_paths;
    bool m_done = false;
};

// Starts the row being posted: a new student, or a new surname for the one there is.
void beginRow(TDM& dm, bool insert) {
    if (insert) {
        dm.Q_Studenti->append();
        dm.Q_StudentiN_student->setValue(QStringLiteral("0000002"));
        dm.Q_StudentiFam->setValue(QStringLiteral("Петрова"));
    } else {
        dm.Q_Studenti->first();
        dm.Q_Studenti->edit();
        dm.Q_StudentiFam->setValue(QStringLiteral("Иванов-Петров"));
    }
}

QStringList storedAfter(bool insert) {
    return insert ? QStringList{"0000001|Иванов", "0000002|Петрова"}
                  : QStringList{"0000001|Иванов-Петров"};
}

void rowTypes() {
    QTest::addColumn<bool>("insert");
    QTest::newRow("new row") << true;
    QTest::newRow("edited row") << false;
}

// The row is still being edited with what was typed.
#define VERIFY_PENDING(dm, insert)                                                                \
    do {                                                                                          \
        QCOMPARE((dm).Q_Studenti->state(), (insert) ? DatasetState::Insert : DatasetState::Edit); \
        QCOMPARE((dm).Q_StudentiFam->asString(),                                                  \
                 (insert) ? QStringLiteral("Петрова") : QStringLiteral("Иванов-Петров"));         \
        if (insert) QCOMPARE((dm).Q_StudentiN_student->asString(), QStringLiteral("0000002"));    \
    } while (false)

}  // namespace

class TestDatabaseFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lockedFileWaitsThenSaysBusy_data() { rowTypes(); }
    void lockedFileWaitsThenSaysBusy();
    void fullDiskRefusesTheWholeRow();
    void unwritableFileKeepsTheRow_data() { rowTypes(); }
    void unwritableFileKeepsTheRow();
    void unwritableFolderDoesNotStopAnOpenFile();
    void badFileAtStartIsReportedAndLeftAsItWas_data();
    void badFileAtStartIsReportedAndLeftAsItWas();
};

void TestDatabaseFaults::lockedFileWaitsThenSaysBusy() {
    QFETCH(bool, insert);
    Folder folder;
    platform::MessageRecorder messages;
    TDM dm;
    QCOMPARE(messages.texts(), QStringList());
    beginRow(dm, insert);

    LockingShell shell(folder.file());
    QVERIFY2(shell.isLocking(), "the sqlite3 shell (scripts/install-deps) did not take the lock");
    QCOMPARE(failureOf([&] { dm.Q_Studenti->post(); }),
             QStringLiteral("База данных занята другой программой. Повторите попытку позже."));
    VERIFY_PENDING(dm, insert);

    shell.end();
    QCOMPARE(failureOf([&] { dm.Q_Studenti->post(); }), noFailure);
    QCOMPARE(dm.Q_Studenti->state(), DatasetState::Browse);
    QCOMPARE(storedStudents(folder.file()), storedAfter(insert));
}

void TestDatabaseFaults::fullDiskRefusesTheWholeRow() {
    Folder folder;
    platform::MessageRecorder messages;
    TDM dm;
    // The program's own connection may not grow the file: it is as full as the disk.
    auto pages = dm.ADOConnection1.prepare(QStringLiteral("PRAGMA page_count"));
    QVERIFY(pages->step());
    dm.ADOConnection1.execute(
        QStringLiteral("PRAGMA max_page_count = %1").arg(pages->columnInt64(0)));
    pages.reset();

    QStringList stored = storedStudents(folder.file());
    QString failure = noFailure;
    QString number;
    for (int i = 2; i < 2000 && failure == noFailure; ++i) {
        number = QStringLiteral("%1").arg(i, 7, 10, QLatin1Char('0'));
        dm.Q_Studenti->append();
        dm.Q_StudentiN_student->setValue(number);
        dm.Q_StudentiFam->setValue(QStringLiteral("Заполнителева-Долгорукова"));
        dm.Q_StudentiName->setValue(QStringLiteral("Александра"));
        failure = failureOf([&] { dm.Q_Studenti->post(); });
        if (failure == noFailure) stored << number + QStringLiteral("|Заполнителева-Долгорукова");
    }
    QCOMPARE(failure, QStringLiteral("database or disk is full"));
    QCOMPARE(dm.Q_Studenti->state(), DatasetState::Insert);
    QCOMPARE(dm.Q_StudentiN_student->asString(), number);
    QCOMPARE(dm.Q_StudentiName->asString(), QStringLiteral("Александра"));
    // Every confirmed row, none of the refused one, and a sound file.
    QCOMPARE(storedStudents(folder.file()), stored);
    QCOMPARE(integrity(folder.file()), QStringLiteral("ok"));

    dm.ADOConnection1.execute(QStringLiteral("PRAGMA max_page_count = 1073741823"));
    QCOMPARE(failureOf([&] { dm.Q_Studenti->post(); }), noFailure);
    stored << number + QStringLiteral("|Заполнителева-Долгорукова");
    QCOMPARE(storedStudents(folder.file()), stored);
    QCOMPARE(integrity(folder.file()), QStringLiteral("ok"));
}

void TestDatabaseFaults::unwritableFileKeepsTheRow() {
    QFETCH(bool, insert);
    Folder folder;
    platform::MessageRecorder messages;
    TDM dm;
    QCOMPARE(messages.texts(), QStringList());
    beginRow(dm, insert);
    {
        // A post writes to the log beside the file first: both are the database.
        Immutable readOnly({folder.file(), folder.file(fileName + QStringLiteral("-wal"))});
        if (!readOnly.isSet())
            QSKIP(
                "chattr +i needs CAP_LINUX_IMMUTABLE; permissions do not stop a file already open");
        const QString failure = failureOf([&] { dm.Q_Studenti->post(); });
        QVERIFY2(failure.startsWith(QStringLiteral("Не удалось записать в файл базы данных "
                                                   "\"verdikon.mdb\", изменения не сохранены")),
                 qPrintable(failure));
        VERIFY_PENDING(dm, insert);
    }
    QCOMPARE(failureOf([&] { dm.Q_Studenti->post(); }), noFailure);
    QCOMPARE(storedStudents(folder.file()), storedAfter(insert));
    QCOMPARE(integrity(folder.file()), QStringLiteral("ok"));
}

void TestDatabaseFaults::unwritableFolderDoesNotStopAnOpenFile() {
    Folder folder;
    platform::MessageRecorder messages;
    TDM dm;
    beginRow(dm, true);
    Immutable readOnly({folder.path()});
    if (!readOnly.isSet())
        QSKIP("chattr +i needs CAP_LINUX_IMMUTABLE; permissions do not stop root");
    // The log beside the file is open already: the folder is not needed to post.
    QCOMPARE(failureOf([&] { dm.Q_Studenti->post(); }), noFailure);
    QCOMPARE(storedStudents(folder.file()), storedAfter(true));
}

void TestDatabaseFaults::badFileAtStartIsReportedAndLeftAsItWas_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing") << "missing"
                             << QStringLiteral("Cannot open database \"verdikon.mdb\"");
    QTest::newRow("truncated")
        << "truncated"
        << QStringLiteral(
               "Cannot open database \"verdikon.mdb\": database disk image is malformed");
    QTest::newRow("damaged table")
        << "damaged" << QStringLiteral("Файл базы данных \"verdikon.mdb\" повреждён");
    QTest::newRow("text") << "text" << QStringLiteral("file is not a database");
    QTest::newRow("read-only") << "read-only"
                               << QStringLiteral("The database file \"verdikon.mdb\" is read-only");
}

void TestDatabaseFaults::badFileAtStartIsReportedAndLeftAsItWas() {
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    Folder folder(kind != QLatin1String("missing"));
    const QString path = folder.file();
    if (kind == QLatin1String("truncated") || kind == QLatin1String("damaged")) {
        // Enough students for their table to span pages, all of it in the file itself.
        qint64 studentsPage = 0;
        qint64 pageSize = 0;
        {
            SqliteConnection c(fileName);
            for (int i = 2; i < 400; ++i)
                c.execute(QStringLiteral("INSERT INTO Studenti (N_student, Fam) VALUES "
                                         "('%1', 'Студентова')")
                              .arg(i, 7, 10, QLatin1Char('0')));
            c.execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            auto st = c.prepare(QStringLiteral(
                "SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM sqlite_schema "
                "WHERE name = 'Studenti'"));
            QVERIFY(st->step());
            studentsPage = st->columnInt64(0);
            pageSize = st->columnInt64(1);
        }
        QByteArray bytes = fileBytes(path);
        if (kind == QLatin1String("truncated"))
            bytes.truncate(bytes.size() / 2);
        else  // the students' first page overwritten, the file's size and header as they were
            bytes.replace((studentsPage - 1) * pageSize, pageSize, QByteArray(pageSize, '\xff'));
        writeFile(path, bytes);
    } else if (kind == QLatin1String("text")) {
        writeFile(path, QStringLiteral("Фамилия;Имя\r\nИванов;Пётр\r\n").toUtf8().repeated(300));
    }
    std::optional<Immutable> readOnly;
    if (kind == QLatin1String("read-only")) {
        readOnly.emplace(QStringList{path});
        if (!readOnly->isSet()) {
            if (geteuid() == 0)
                QSKIP("chattr +i needs CAP_LINUX_IMMUTABLE, and permissions do not stop root");
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
        }
    }
    const QByteArray before = fileBytes(path);
    QImage picture(216, 143, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    QVERIFY(picture.save(folder.file(QStringLiteral("verdikon.bmp")), "BMP"));
    // The file and whatever SQLite keeps beside it: nothing is created, nothing left behind.
    const QStringList databaseFiles{fileName + QLatin1Char('*')};
    const QStringList entries =
        QDir(folder.path()).entryList(databaseFiles, QDir::Files | QDir::Hidden);
    {
        platform::MessageRecorder messages;
        Tform_m form(folder.file(QStringLiteral("tessaly")));
        TDM dm;
        QVERIFY(!messages.texts().isEmpty());
        bool named = false;
        for (const auto& m : messages.messages()) {
            QCOMPARE(m.kind, platform::MessageKind::Error);
            named = named || m.text.contains(expected);
        }
        QVERIFY2(named, qPrintable(messages.texts().join(QLatin1Char('\n'))));
        // The main window runs and closes as usual.
        QTimer::singleShot(0, [] {
            if (auto* splash = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                splash->accept();
        });
        form.show();
        QVERIFY(form.isVisible());
        QVERIFY(form.close());
    }
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(folder.path()).entryList(databaseFiles, QDir::Files | QDir::Hidden), entries);
}

QTEST_MAIN(TestDatabaseFaults)
#include "tst_database_faults.moc"
