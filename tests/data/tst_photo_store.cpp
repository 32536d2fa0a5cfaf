// The photo store and the file copy beneath it: which chosen pictures are
// copied in and under what name, what `Foto` then holds, what is refused and
// how, which stored pictures are found again, and that nothing outside the
// photo folders is touched.
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <stdexcept>

#include "Connection.h"
#include "Dataset.h"
#include "FileBytes.h"
#include "FileCopy.h"
#include "FileSizeLimit.h"
#include "PhotoStore.h"
#include "Schema.h"

using photos::Kind;

namespace {

// Writes a file, making its folders first.
void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    writeFile(path, bytes);
}

// Everything under a folder: "path=contents" for files, "path/" for folders,
// "path -> target" for symbolic links; sorted.
QStringList snapshot(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = QDir(root).relativeFilePath(info.filePath());
        if (info.isSymLink())
            out << name + QStringLiteral(" -> ") + info.symLinkTarget();
        else if (info.isDir())
            out << name + QLatin1Char('/');
        else
            out << name + QLatin1Char('=') + QString::fromUtf8(fileBytes(info.filePath()));
    }
    out.sort();
    return out;
}

QString failureOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

// A program folder with the photo folders given (none: no photo folder), a
// folder of pictures to choose from beside it, and settings pointing at the
// program folder.
class Store {
public:
    explicit Store(const QStringList& folders) {
        m_program = m_root.filePath(QStringLiteral("program"));
        QDir().mkpath(m_program);
        for (const QString& folder : folders) QDir(m_program).mkpath(folder);
        for (const char* name : {"photo.jpg", "photo.BMP", "photo.JPG", "photo.bmp", "photo.jpeg",
                                 "photo", "dir.jpg/photo"})
            write(path(QStringLiteral("chosen/") + QLatin1String(name)),
                  QByteArray("picture ") + name);
        const QString program = m_program;
        photos::setSettingsSource([program] { return program + QStringLiteral("/tessaly"); },
                                  [program] { return program; });
    }
    ~Store() { photos::setSettingsSource({}, {}); }
    QString root() const { return m_root.path(); }
    QString program() const { return m_program; }
    QString path(const QString& relative) const { return m_root.filePath(relative); }

private:
    QTemporaryDir m_root;
    QString m_program;
};

// A student 1234 or a teacher 17 in a database made by the program's schema,
// `Foto` holding "old.jpg", the row in edit state as the windows leave it.
class PhotoRow {
public:
    explicit PhotoRow(Kind kind) : m_connection(m_dir.filePath(QStringLiteral("verdikon.mdb"))) {
        SqliteConnection::createFile(m_connection.path());
        m_connection.open();
        schema::create(m_connection);
        m_connection.execute(
            QStringLiteral("INSERT INTO Studenti (N_student, Foto) VALUES ('1234', 'old.jpg');"
                           "INSERT INTO Prepodavateli (ID_Prepod, Foto) VALUES (17, 'old.jpg')"));
        m_table.setConnection(&m_connection);
        m_table.setTableName(kind == Kind::Student ? QStringLiteral("Studenti")
                                                   : QStringLiteral("Prepodavateli"));
        m_table.open();
        m_table.edit();
    }
    Table& table() { return m_table; }
    Field& foto() { return m_table.fieldByName(QStringLiteral("Foto")); }
    QString saved() {
        auto st =
            m_connection.prepare(QStringLiteral("SELECT Foto FROM %1").arg(m_table.tableName()));
        return st->step() ? st->columnValue(0).toString() : QString();
    }

private:
    QTemporaryDir m_dir;
    SqliteConnection m_connection;
    Table m_table;
};

// Photo folders under the running program's own folder, which other tests may
// share: only what this fixture made is removed, and its file names are its own.
class ExecutableFolderPhotos {
public:
    ExecutableFolderPhotos() : m_tag(QStringLiteral("print-%1").arg(::getpid())) {
        const QDir base(QCoreApplication::applicationDirPath());
        for (const char* folder : {"Foto", "Foto/Prepod"}) {
            if (!base.exists(QLatin1String(folder))) m_madeFolders.prepend(base.filePath(folder));
        }
        base.mkpath(QStringLiteral("Foto/Prepod"));
        m_students = base.filePath(QStringLiteral("Foto"));
        m_teachers = base.filePath(QStringLiteral("Foto/Prepod"));
        write(student(), "student picture");
        write(teacher(), "teacher picture");
    }
    ~ExecutableFolderPhotos() {
        for (const QString& file : m_madeFiles) QFile::remove(file);
        QFile::remove(student());
        QFile::remove(teacher());
        for (const QString& folder : m_madeFolders) QDir().rmdir(folder);
    }
    QString tag() const { return m_tag; }
    QString student() const {
        return m_students + QLatin1Char('/') + m_tag + QStringLiteral(".jpg");
    }
    QString teacher() const {
        return m_teachers + QLatin1Char('/') + m_tag + QStringLiteral(".BMP");
    }
    QString studentFolder() const { return m_students; }
    void willMake(const QString& file) { m_madeFiles << file; }

private:
    QString m_tag;
    QString m_students;
    QString m_teachers;
    QStringList m_madeFolders;
    QStringList m_madeFiles;
};

}  // namespace

Q_DECLARE_METATYPE(photos::Kind)

class TestPhotoStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { signal(SIGXFSZ, SIG_IGN); }

    void copyFileCopiesTheStretchAsked_data();
    void copyFileCopiesTheStretchAsked();
    void copyFileFailuresNameTheFileAndLeaveEverything_data();
    void copyFileFailuresNameTheFileAndLeaveEverything();
    void copyFileRemovesAPartialCopyWhenTheDiskIsFull();

    void storeCopiesOnlyAcceptedPicturesIntoTheFolder_data();
    void storeCopiesOnlyAcceptedPicturesIntoTheFolder();
    void storedNameIsSavedWhenTheRowIsPosted();
    void storeOutsideEditStateFailsWithTheEnginesMessage();

    void findForCardFindsOnlyFilesInThePhotoFolder_data();
    void findForCardFindsOnlyFilesInThePhotoFolder();
    void findForPrintLooksInTheProgramsOwnFolder();
    void missingSettingsFallBackToTheProgramsOwnFolder_data();
    void missingSettingsFallBackToTheProgramsOwnFolder();
    void settingsAreReadAtEveryUse();
};

void TestPhotoStore::copyFileCopiesTheStretchAsked_data() {
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QByteArray>("copied");
    QTest::newRow("whole file") << qint64(0) << qint64(0) << QByteArray("0123456789");
    QTest::newRow("count 0 copies from the start whatever the offset")
        << qint64(4) << qint64(0) << QByteArray("0123456789");
    QTest::newRow("leading bytes") << qint64(0) << qint64(3) << QByteArray("012");
    QTest::newRow("stretch inside") << qint64(2) << qint64(5) << QByteArray("23456");
    QTest::newRow("stretch past the end") << qint64(7) << qint64(10) << QByteArray("789");
    QTest::newRow("offset past the end") << qint64(20) << qint64(3) << QByteArray();
}

void TestPhotoStore::copyFileCopiesTheStretchAsked() {
    QFETCH(qint64, offset);
    QFETCH(qint64, count);
    QFETCH(QByteArray, copied);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source"));
    const QString destination = dir.filePath(QStringLiteral("copy"));
    write(source, "0123456789");
    write(destination, "a longer file that was here before the copy");
    QCOMPARE(platform::copyFile(source, destination, offset, count), qint64(copied.size()));
    QCOMPARE(fileBytes(destination), copied);
    QCOMPARE(fileBytes(source), QByteArray("0123456789"));
}

void TestPhotoStore::copyFileFailuresNameTheFileAndLeaveEverything_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("message");
    const QString busy =
        QStringLiteral("Cannot create file \"{dir}/source\". Device or resource busy");
    QTest::newRow("missing source")
        << "missing"
        << "copy"
        << "Cannot open file \"{dir}/missing\". No such file or directory";
    QTest::newRow("source is a folder") << "folder"
                                        << "copy"
                                        << "Cannot open file \"{dir}/folder\". Is a directory";
    QTest::newRow("destination in a missing folder")
        << "source"
        << "none/copy"
        << "Cannot create file \"{dir}/none/copy\". No such file or directory";
    QTest::newRow("destination is a folder")
        << "source"
        << "folder"
        << "Cannot create file \"{dir}/folder\". Is a directory";
    QTest::newRow("destination is the source") << "source"
                                               << "source" << busy;
    QTest::newRow("source spelled another way") << "source"
                                                << "folder/../source" << busy;
    QTest::newRow("source through a symbolic link") << "symlink"
                                                    << "source" << busy;
    QTest::newRow("destination through a symbolic link")
        << "source"
        << "symlink"
        << "Cannot create file \"{dir}/symlink\". Device or resource busy";
    QTest::newRow("destination through a hard link")
        << "source"
        << "hardlink"
        << "Cannot create file \"{dir}/hardlink\". Device or resource busy";
}

// Relative names, resolved against the current folder, appear in full.
void TestPhotoStore::copyFileFailuresNameTheFileAndLeaveEverything() {
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    write(dir.filePath(QStringLiteral("source")), "the only copy");
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("source")),
                        dir.filePath(QStringLiteral("symlink"))));
    QCOMPARE(::link(QFile::encodeName(dir.filePath(QStringLiteral("source"))).constData(),
                    QFile::encodeName(dir.filePath(QStringLiteral("hardlink"))).constData()),
             0);
    const QStringList before = snapshot(dir.path());
    const QString failure = failureOf([&] { platform::copyFile(source, destination, 0, 0); });
    QDir::setCurrent(previous);
    QCOMPARE(failure, message.replace(QStringLiteral("{dir}"), dir.path()));
    QCOMPARE(snapshot(dir.path()), before);
}

void TestPhotoStore::copyFileRemovesAPartialCopyWhenTheDiskIsFull() {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source"));
    const QString destination = dir.filePath(QStringLiteral("copy"));
    write(source, "0123456789");
    write(destination, "here before");
    QString failure;
    {
        FileSizeLimit limit(4);
        failure = failureOf([&] { platform::copyFile(source, destination, 0, 0); });
    }
    QCOMPARE(failure, QStringLiteral("Cannot create file \"%1\". File too large").arg(destination));
    QVERIFY(!QFileInfo::exists(destination));
    QCOMPARE(fileBytes(source), QByteArray("0123456789"));

    // A device that takes no data is reported and, not being a file, left in place.
    if (!QFileInfo(QStringLiteral("/dev/full")).isWritable()) return;
    QCOMPARE(failureOf([&] { platform::copyFile(source, QStringLiteral("/dev/full"), 0, 0); }),
             QStringLiteral("Cannot create file \"/dev/full\". No space left on device"));
    QVERIFY(QFileInfo::exists(QStringLiteral("/dev/full")));
}

void TestPhotoStore::storeCopiesOnlyAcceptedPicturesIntoTheFolder_data() {
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("chosen");    // under the temporary root
    QTest::addColumn<QString>("existing");  // a stored file there before, under the root
    QTest::addColumn<QString>("alias");     // "symlink"/"hardlink": chosen/alias.jpg names it
    QTest::addColumn<QString>("stored");    // the file written, under the root; empty: none
    QTest::addColumn<QString>("foto");
    QTest::addColumn<QString>("message");

    const QStringList usual{QStringLiteral("Foto/Prepod")};
    const Kind s = Kind::Student;
    const Kind t = Kind::Teacher;
    const QString none;
    const QString old = QStringLiteral("old.jpg");

    QTest::newRow(".jpg stored under the key")
        << usual << s << "1234"
        << "chosen/photo.jpg" << none << none << "program/Foto/1234.jpg"
        << "1234.jpg" << none;
    QTest::newRow(".BMP stored under the key")
        << usual << s << "1234"
        << "chosen/photo.BMP" << none << none << "program/Foto/1234.BMP"
        << "1234.BMP" << none;
    QTest::newRow("teacher in the teachers' folder")
        << usual << t << "17"
        << "chosen/photo.jpg" << none << none << "program/Foto/Prepod/17.jpg"
        << "17.jpg" << none;
    QTest::newRow("empty teacher key gives the extension alone")
        << usual << t << ""
        << "chosen/photo.jpg" << none << none << "program/Foto/Prepod/.jpg"
        << ".jpg" << none;
    QTest::newRow("lower-case folders")
        << QStringList{"foto/prepod"} << s << "1234"
        << "chosen/photo.jpg" << none << none << "program/foto/1234.jpg"
        << "1234.jpg" << none;
    QTest::newRow("lower-case teachers' folder")
        << QStringList{"foto/prepod"} << t << "17"
        << "chosen/photo.BMP" << none << none << "program/foto/prepod/17.BMP"
        << "17.BMP" << none;
    QTest::newRow("folders in any letter case")
        << QStringList{"FOTO/PrePod"} << t << "17"
        << "chosen/photo.jpg" << none << none << "program/FOTO/PrePod/17.jpg"
        << "17.jpg" << none;

    for (const char* chosen :
         {"photo.JPG", "photo.bmp", "photo.jpeg", "photo", "dir.jpg/photo", "absent.jpg"}) {
        QTest::addRow("%s refused silently", chosen)
            << usual << s << "1234" << QStringLiteral("chosen/") + QLatin1String(chosen) << none
            << none << none << old << none;
    }

    QTest::newRow("same extension replaces the stored file")
        << usual << s << "1234"
        << "chosen/photo.jpg"
        << "program/Foto/1234.jpg" << none << "program/Foto/1234.jpg"
        << "1234.jpg" << none;
    QTest::newRow("other extension adds a second file")
        << usual << s << "1234"
        << "chosen/photo.BMP"
        << "program/Foto/1234.jpg" << none << "program/Foto/1234.BMP"
        << "1234.BMP" << none;

    const QString busy = QStringLiteral(
        "Cannot create file \"{root}/program/Foto/1234.jpg\". Device or resource busy");
    QTest::newRow("stored file chosen as its own source")
        << usual << s << "1234"
        << "program/Foto/1234.jpg"
        << "program/Foto/1234.jpg" << none << none << old << busy;
    QTest::newRow("stored file chosen through a symbolic link") << usual << s << "1234"
                                                                << "chosen/alias.jpg"
                                                                << "program/Foto/1234.jpg"
                                                                << "symlink" << none << old << busy;
    QTest::newRow("stored file chosen through a hard link") << usual << s << "1234"
                                                            << "chosen/alias.jpg"
                                                            << "program/Foto/1234.jpg"
                                                            << "hardlink" << none << old << busy;

    QTest::newRow("missing photo folder")
        << QStringList() << s << "1234"
        << "chosen/photo.jpg" << none << none << none << old
        << "Cannot create file \"{root}/program/foto/1234.jpg\". No such file or directory";
    QTest::newRow("missing teachers' folder")
        << QStringList{"Foto"} << t << "17"
        << "chosen/photo.jpg" << none << none << none << old
        << "Cannot create file \"{root}/program/Foto/prepod/17.jpg\". No such file or directory";

    for (const char* key : {"../x", "a/b", "..", ".", "a..b", "a:b", "a\\b", "a\tb", "a*b", "a?b",
                            "<a>", "a|b", "a\"b"}) {
        QTest::addRow("unsafe key %s", key)
            << usual << s << QString::fromLatin1(key) << "chosen/photo.jpg" << none << none << none
            << old
            << QStringLiteral(
                   "Cannot create file \"{root}/program/Foto/%1.jpg\". "
                   "Not a valid file name")
                   .arg(QLatin1String(key));
    }
    QTest::newRow("unsafe teacher key")
        << usual << t << "../../x"
        << "chosen/photo.jpg" << none << none << none << old
        << "Cannot create file \"{root}/program/Foto/Prepod/../../x.jpg\". Not a valid file name";
}

// Compares the whole temporary tree before and after, so a write anywhere
// else than the expected file shows up.
void TestPhotoStore::storeCopiesOnlyAcceptedPicturesIntoTheFolder() {
    QFETCH(QStringList, folders);
    QFETCH(Kind, kind);
    QFETCH(QString, key);
    QFETCH(QString, chosen);
    QFETCH(QString, existing);
    QFETCH(QString, alias);
    QFETCH(QString, stored);
    QFETCH(QString, foto);
    QFETCH(QString, message);

    Store store(folders);
    if (!existing.isEmpty())
        write(store.path(existing), "an older picture, longer than any chosen one");
    const QByteArray existingName = QFile::encodeName(store.path(existing));
    const QByteArray aliasName = QFile::encodeName(store.path(QStringLiteral("chosen/alias.jpg")));
    if (alias == QLatin1String("symlink"))
        QCOMPARE(::symlink(existingName.constData(), aliasName.constData()), 0);
    if (alias == QLatin1String("hardlink"))
        QCOMPARE(::link(existingName.constData(), aliasName.constData()), 0);
    PhotoRow row(kind);
    const QStringList before = snapshot(store.root());
    const QByteArray picture = fileBytes(store.path(chosen));

    bool result = false;
    const QString failure =
        failureOf([&] { result = photos::store(kind, key, store.path(chosen), row.foto()); });

    QCOMPARE(failure, message.replace(QStringLiteral("{root}"), store.root()));
    QCOMPARE(result, !stored.isEmpty());
    QCOMPARE(row.foto().asString(), foto);
    QCOMPARE(row.table().state(), DatasetState::Edit);
    QStringList expected = before;
    if (!stored.isEmpty()) {
        expected.removeIf([&](const QString& entry) { return entry.startsWith(stored + '='); });
        expected << stored + QLatin1Char('=') + QString::fromUtf8(picture);
        expected.sort();
    }
    QCOMPARE(snapshot(store.root()), expected);
}

void TestPhotoStore::storedNameIsSavedWhenTheRowIsPosted() {
    Store store({QStringLiteral("Foto/Prepod")});
    PhotoRow row(Kind::Teacher);
    QVERIFY(photos::store(Kind::Teacher, QStringLiteral("17"),
                          store.path(QStringLiteral("chosen/photo.BMP")), row.foto()));
    QCOMPARE(row.saved(), QStringLiteral("old.jpg"));
    row.table().post();
    QCOMPARE(row.saved(), QStringLiteral("17.BMP"));
}

void TestPhotoStore::storeOutsideEditStateFailsWithTheEnginesMessage() {
    Store store({QStringLiteral("Foto")});
    PhotoRow row(Kind::Student);
    row.table().cancel();
    const QString failure = failureOf([&] {
        photos::store(Kind::Student, QStringLiteral("1234"),
                      store.path(QStringLiteral("chosen/photo.jpg")), row.foto());
    });
    QCOMPARE(failure, QStringLiteral("Dataset not in edit or insert mode"));
    QCOMPARE(row.foto().asString(), QStringLiteral("old.jpg"));
}

void TestPhotoStore::findForCardFindsOnlyFilesInThePhotoFolder_data() {
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("files");  // under the program folder
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("foto");
    QTest::addColumn<QString>("found");  // under the program folder; empty: none

    const QStringList usual{QStringLiteral("Foto/Prepod")};
    const Kind s = Kind::Student;
    const Kind t = Kind::Teacher;
    QTest::newRow("student photo") << usual << QStringList{"Foto/1234.jpg"} << s << "1234.jpg"
                                   << "Foto/1234.jpg";
    QTest::newRow("teacher photo") << usual << QStringList{"Foto/Prepod/17.BMP"} << t << "17.BMP"
                                   << "Foto/Prepod/17.BMP";
    QTest::newRow("extension alone") << usual << QStringList{"Foto/Prepod/.jpg"} << t << ".jpg"
                                     << "Foto/Prepod/.jpg";
    QTest::newRow("lower-case folder")
        << QStringList{"foto/prepod"} << QStringList{"foto/1234.jpg"} << s << "1234.jpg"
        << "foto/1234.jpg";
    QTest::newRow("lower-case teachers' folder")
        << QStringList{"foto/prepod"} << QStringList{"foto/prepod/17.jpg"} << t << "17.jpg"
        << "foto/prepod/17.jpg";
    QTest::newRow("exact spelling first")
        << QStringList{"FOTO", "Foto"} << QStringList{"FOTO/1.jpg", "Foto/1.jpg"} << s << "1.jpg"
        << "Foto/1.jpg";
    QTest::newRow("teacher's photo is no student's")
        << usual << QStringList{"Foto/Prepod/17.jpg"} << s << "17.jpg"
        << "";
    QTest::newRow("empty Foto") << usual << QStringList{"Foto/1234.jpg"} << s << ""
                                << "";
    QTest::newRow("missing file") << usual << QStringList{"Foto/1234.jpg"} << s << "9.jpg"
                                  << "";
    QTest::newRow("missing folder") << QStringList() << QStringList() << s << "1234.jpg"
                                    << "";
    QTest::newRow("folder of that name")
        << QStringList{"Foto/1234.jpg"} << QStringList() << s << "1234.jpg"
        << "";
    QTest::newRow("parent folder") << usual << QStringList{"secret.jpg"} << s << "../secret.jpg"
                                   << "";
    QTest::newRow("students' folder from the teachers'")
        << usual << QStringList{"Foto/1234.jpg"} << t << "../1234.jpg"
        << "";
    QTest::newRow("path into a subfolder")
        << usual << QStringList{"Foto/Prepod/17.jpg"} << s << "Prepod/17.jpg"
        << "";
    QTest::newRow("backslash") << usual << QStringList{"Foto/a\\b.jpg"} << s << "a\\b.jpg"
                               << "";
    QTest::newRow("control character") << usual << QStringList{"Foto/a\nb.jpg"} << s << "a\nb.jpg"
                                       << "";
    QTest::newRow("absolute path") << usual << QStringList() << s << "/etc/passwd"
                                   << "";
}

void TestPhotoStore::findForCardFindsOnlyFilesInThePhotoFolder() {
    QFETCH(QStringList, folders);
    QFETCH(QStringList, files);
    QFETCH(Kind, kind);
    QFETCH(QString, foto);
    QFETCH(QString, found);
    Store store(folders);
    for (const QString& file : files) write(QDir(store.program()).filePath(file), "picture");
    const QString expected = found.isEmpty() ? QString() : QDir(store.program()).filePath(found);
    QCOMPARE(photos::findForCard(kind, foto), expected);
}

void TestPhotoStore::findForPrintLooksInTheProgramsOwnFolder() {
    ExecutableFolderPhotos own;
    Store elsewhere({QStringLiteral("Foto/Prepod")});
    const QString student = own.tag() + QStringLiteral(".jpg");
    const QString teacher = own.tag() + QStringLiteral(".BMP");
    QCOMPARE(photos::findForPrint(Kind::Student, student), own.student());
    QCOMPARE(photos::findForPrint(Kind::Teacher, teacher), own.teacher());
    QCOMPARE(photos::findForPrint(Kind::Teacher, student), QString());
    QCOMPARE(photos::findForCard(Kind::Student, student), QString());
    // The program itself lies one folder up from the students' photos.
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QVERIFY(QFileInfo::exists(own.studentFolder() + QStringLiteral("/../") + program));
    QCOMPARE(photos::findForPrint(Kind::Student, QStringLiteral("../") + program), QString());
    QCOMPARE(photos::findForPrint(Kind::Student, QString()), QString());
}

void TestPhotoStore::missingSettingsFallBackToTheProgramsOwnFolder_data() {
    QTest::addColumn<bool>("source");
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("mainPath");
    QTest::newRow("no settings") << false << ""
                                 << "";
    QTest::newRow("empty values") << true << ""
                                  << "";
    QTest::newRow("program path without a folder") << true << "tessaly"
                                                   << "";
}

void TestPhotoStore::missingSettingsFallBackToTheProgramsOwnFolder() {
    QFETCH(bool, source);
    QFETCH(QString, main);
    QFETCH(QString, mainPath);
    ExecutableFolderPhotos own;
    Store chosen{QStringList()};
    if (source)
        photos::setSettingsSource([main] { return main; }, [mainPath] { return mainPath; });
    else
        photos::setSettingsSource({}, {});
    PhotoRow row(Kind::Student);
    const QString stored = own.tag() + QStringLiteral("-stored.jpg");
    own.willMake(own.studentFolder() + QLatin1Char('/') + stored);

    QCOMPARE(photos::findForCard(Kind::Student, own.tag() + QStringLiteral(".jpg")), own.student());
    QVERIFY(photos::store(Kind::Student, own.tag() + QStringLiteral("-stored"),
                          chosen.path(QStringLiteral("chosen/photo.jpg")), row.foto()));
    QCOMPARE(fileBytes(own.studentFolder() + QLatin1Char('/') + stored),
             QByteArray("picture photo.jpg"));
}

void TestPhotoStore::settingsAreReadAtEveryUse() {
    Store first({QStringLiteral("Foto")});
    Store second({QStringLiteral("Foto")});
    write(first.program() + QStringLiteral("/Foto/1.jpg"), "first");
    write(second.program() + QStringLiteral("/Foto/2.jpg"), "second");
    QString program = first.program();
    photos::setSettingsSource([&program] { return program + QStringLiteral("/tessaly"); },
                              [&program] { return program; });
    PhotoRow row(Kind::Student);
    QCOMPARE(photos::findForCard(Kind::Student, QStringLiteral("1.jpg")),
             first.program() + QStringLiteral("/Foto/1.jpg"));
    program = second.program();
    QCOMPARE(photos::findForCard(Kind::Student, QStringLiteral("1.jpg")), QString());
    QCOMPARE(photos::findForCard(Kind::Student, QStringLiteral("2.jpg")),
             second.program() + QStringLiteral("/Foto/2.jpg"));
    QVERIFY(photos::store(Kind::Student, QStringLiteral("3"),
                          first.path(QStringLiteral("chosen/photo.jpg")), row.foto()));
    QVERIFY(QFileInfo::exists(second.program() + QStringLiteral("/Foto/3.jpg")));
    QVERIFY(!QFileInfo::exists(first.program() + QStringLiteral("/Foto/3.jpg")));
}

QTEST_GUILESS_MAIN(TestPhotoStore)
#include "tst_photo_store.moc"
