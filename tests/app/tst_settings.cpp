// The settings file My.ini as the main window meets it at start: created,
// read when it belongs to this program copy, written afresh when it does not,
// kept in the configuration folder when the program folder refuses it.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <stdexcept>

#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "ProfileFile.h"
#include "Settings.h"

namespace {

QByteArray cp(const QString& text) {
    return platform::toWindows1251(text);
}

QDateTime modified(const QString& path) {
    return QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
}

// The file a first start writes, with {main} and {folder} for this program copy.
QByteArray fresh() {
    return cp(
        QStringLiteral("[Files]\r\nMain={main}\r\nMainPath={folder}\r\n"
                       "[Параметры]\r\nШрифт=MS Sans Serif\r\n"));
}

// A file that belongs to this program copy and names the font.
QByteArray withFont(const QString& font) {
    return cp(QStringLiteral("[Files]\r\nMain={main}\r\nMainPath={folder}\r\n[Параметры]\r\n"
                             "Шрифт=%1\r\n")
                  .arg(font));
}

// The program folder as the start finds it.
enum class Folder { Writable, Missing, ReadOnly, RefusesFiles };
// Where the settings file is expected.
enum class Location { ProgramFolder, ConfigFolder };

}  // namespace

Q_DECLARE_METATYPE(Folder)
Q_DECLARE_METATYPE(Location)

class TestSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startReadsOrInitialisesTheFile_data();
    void startReadsOrInitialisesTheFile();
    void initialiseResetsFontAndMainPath();
    void mainAndMainPathAreReadOnEveryCall();
    void mainPathComesFromMainAsReadBack();
    void serverComesFromTheDatabaseSection_data();
    void serverComesFromTheDatabaseSection();
    void refusedWriteSkipsTheRemainingSteps();
    void failedCreationLeavesNoSettings();
    void releaseClearsCurrent();

private:
    // Makes the program folder as the row wants it and returns its path.
    QString programFolder(Folder kind, const QString& name);
    QString configFile() const;

    std::optional<QTemporaryDir> m_dir;
};

void TestSettings::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    // Past the size limit the kernel signals the process instead of just failing the write.
    signal(SIGXFSZ, SIG_IGN);
}

void TestSettings::init() {
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
}

void TestSettings::cleanup() {
    ::chmod(QFile::encodeName(m_dir->filePath(QStringLiteral("program"))).constData(), 0700);
    m_dir.reset();
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).removeRecursively();
}

QString TestSettings::programFolder(Folder kind, const QString& name) {
    switch (kind) {
        case Folder::Missing:
            return m_dir->filePath(QStringLiteral("missing/") + name);
        case Folder::RefusesFiles:
            // Not even the superuser may create a file at the top of /proc.
            return QStringLiteral("/proc");
        case Folder::Writable:
        case Folder::ReadOnly:
            break;
    }
    const QString folder = m_dir->filePath(name);
    QDir().mkpath(folder);
    return folder;
}

QString TestSettings::configFile() const {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("My.ini"));
}

void TestSettings::startReadsOrInitialisesTheFile_data() {
    QTest::addColumn<Folder>("folderKind");
    QTest::addColumn<QString>("folderName");
    QTest::addColumn<QString>("executableName");
    QTest::addColumn<Location>("location");
    QTest::addColumn<QByteArray>("before");  // null: no file
    QTest::addColumn<QString>("font");
    QTest::addColumn<QByteArray>("after");  // null: the file is not rewritten
    QTest::addColumn<QString>("mainPath");

    const QString program = QStringLiteral("program");
    const QString tessaly = QStringLiteral("tessaly");
    const auto writable = Folder::Writable;
    const auto inProgram = Location::ProgramFolder;
    const auto inConfig = Location::ConfigFolder;
    const QString folder = QStringLiteral("{folder}");

    QTest::newRow("first start creates the file") << writable << program << tessaly << inProgram
                                                  << QByteArray() << QString() << fresh() << folder;
    QTest::newRow("second start applies the font written by hand")
        << writable << program << tessaly << inProgram << withFont(QStringLiteral("Arial"))
        << QStringLiteral("Arial") << QByteArray() << folder;
    QTest::newRow("cyrillic font name")
        << writable << program << tessaly << inProgram << withFont(QStringLiteral("Таймс"))
        << QStringLiteral("Таймс") << QByteArray() << folder;
    QTest::newRow("font name of 31 characters is kept")
        << writable << program << tessaly << inProgram << withFont(QStringLiteral("A").repeated(31))
        << QStringLiteral("A").repeated(31) << QByteArray() << folder;
    QTest::newRow("font name longer than 31 characters is cut")
        << writable << program << tessaly << inProgram
        << withFont(QStringLiteral("Очень длинное имя шрифта для окон"))
        << QStringLiteral("Очень длинное имя шрифта для ок") << QByteArray() << folder;
    QTest::newRow("empty font keeps the window's font")
        << writable << program << tessaly << inProgram << withFont(QString()) << QString()
        << QByteArray() << folder;
    QTest::newRow("absent font keeps the window's font")
        << writable << program << tessaly << inProgram
        << cp(QStringLiteral("[Files]\r\nMain={main}\r\n")) << QString() << QByteArray()
        << QString();
    QTest::newRow("program moved to another folder")
        << writable << program << tessaly << inProgram
        << cp(QStringLiteral("[Files]\r\nMain=/elsewhere/tessaly\r\nMainPath=/elsewhere\r\n"
                             "[Параметры]\r\nШрифт=Arial\r\n"))
        << QString() << fresh() << folder;
    QTest::newRow("program renamed")
        << writable << program << tessaly << inProgram
        << cp(QStringLiteral("[Files]\r\nMain={folder}/tessaly.old\r\nMainPath={folder}\r\n"
                             "[Параметры]\r\nШрифт=Arial\r\n"))
        << QString() << fresh() << folder;
    QTest::newRow("main differs only in letter case")
        << writable << program << QStringLiteral("Tessaly") << inProgram
        << cp(QStringLiteral("[Files]\r\nMain={folder}/tessaly\r\nMainPath={folder}\r\n"
                             "[Параметры]\r\nШрифт=Arial\r\n"))
        << QString() << fresh() << folder;
    QTest::newRow("main absent")
        << writable << program << tessaly << inProgram
        << cp(QStringLiteral("[Files]\r\nMainPath=/by/hand\r\n[Параметры]\r\nШрифт=Arial\r\n"))
        << QString()
        << cp(QStringLiteral("[Files]\r\nMainPath={folder}\r\nMain={main}\r\n"
                             "[Параметры]\r\nШрифт=MS Sans Serif\r\n"))
        << folder;
    QTest::newRow("empty file") << writable << program << tessaly << inProgram << QByteArray("")
                                << QString() << fresh() << folder;
    QTest::newRow("main path edited by hand survives")
        << writable << program << tessaly << inProgram
        << cp(QStringLiteral("[Files]\r\nMain={main}\r\nMainPath=/srv/photos\r\n"
                             "[Параметры]\r\nШрифт=Arial\r\n"))
        << QStringLiteral("Arial") << QByteArray() << QStringLiteral("/srv/photos");
    QTest::newRow("cyrillic program folder, first start")
        << writable << QStringLiteral("Вердикон") << tessaly << inProgram << QByteArray()
        << QString() << fresh() << folder;
    QTest::newRow("cyrillic program folder, second start")
        << writable << QStringLiteral("Вердикон") << tessaly << inProgram
        << withFont(QStringLiteral("Arial")) << QStringLiteral("Arial") << QByteArray() << folder;
    QTest::newRow("UTF-8 file of this program copy")
        << writable << program << tessaly << inProgram
        << QStringLiteral("[Files]\r\nMain={main}\r\n[Параметры]\r\nШрифт=Arial\r\n").toUtf8()
        << QString() << QByteArray() << QString();
    QTest::newRow("UTF-8 file in a cyrillic program folder")
        << writable << QStringLiteral("Вердикон") << tessaly << inProgram
        << QStringLiteral("[Files]\r\nMain={main8}\r\n[Параметры]\r\nШрифт=Arial\r\n").toUtf8()
        << QString()
        << cp(QStringLiteral("[Files]\r\nMain={main}\r\nMainPath={folder}\r\n")) +
               QStringLiteral("[Параметры]\r\nШрифт=Arial\r\n").toUtf8() +
               cp(QStringLiteral("[Параметры]\r\nШрифт=MS Sans Serif\r\n"))
        << folder;
    QTest::newRow("garbage bytes")
        << writable << program << tessaly << inProgram
        << QByteArray("\x98\x01\xFF\xFE\r\n[Files]\r\nMain=\x98\r\n") << QString()
        << QByteArray("\x98\x01\xFF\xFE\r\n") + fresh() << folder;
    QTest::newRow("missing program folder: file in the configuration folder")
        << Folder::Missing << program << tessaly << inConfig << QByteArray() << QString() << fresh()
        << folder;
    QTest::newRow("program folder refusing files: file in the configuration folder")
        << Folder::RefusesFiles << program << tessaly << inConfig << QByteArray() << QString()
        << fresh() << folder;
    QTest::newRow("second start from the configuration folder")
        << Folder::Missing << program << tessaly << inConfig << withFont(QStringLiteral("Arial"))
        << QStringLiteral("Arial") << QByteArray() << folder;
    // Permission bits do not hold the superuser back.
    if (geteuid() != 0) {
        QTest::newRow("read-only program folder: file in the configuration folder")
            << Folder::ReadOnly << program << tessaly << inConfig << QByteArray() << QString()
            << fresh() << folder;
    }
}

void TestSettings::startReadsOrInitialisesTheFile() {
    QFETCH(Folder, folderKind);
    QFETCH(QString, folderName);
    QFETCH(QString, executableName);
    QFETCH(Location, location);
    QFETCH(QByteArray, before);
    QFETCH(QString, font);
    QFETCH(QByteArray, after);
    QFETCH(QString, mainPath);

    const QString folder = programFolder(folderKind, folderName);
    const QString executable = folder + u'/' + executableName;
    const auto expand = [&](QByteArray text) {
        return text.replace("{main8}", executable.toUtf8())
            .replace("{main}", cp(executable))
            .replace("{folder}", cp(folder));
    };
    QString file = QDir(folder).filePath(QStringLiteral("My.ini"));
    if (location == Location::ConfigFolder) {
        QDir().mkpath(QFileInfo(configFile()).path());
        file = configFile();
    }
    const QDateTime longAgo(QDate(2001, 9, 1), QTime(8, 0), Qt::UTC);
    if (!before.isNull()) {
        writeFile(file, expand(before));
        QFile stamp(file);
        QVERIFY(stamp.open(QIODevice::ReadWrite));
        QVERIFY(stamp.setFileTime(longAgo, QFileDevice::FileModificationTime));
    }
    if (folderKind == Folder::ReadOnly)
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);

    Settings settings;
    QCOMPARE(settings.open(executable), font);

    QVERIFY(settings.isOpen());
    QCOMPARE(Settings::current(), &settings);
    QCOMPARE(settings.path(), file);
    if (after.isNull()) {
        QCOMPARE(fileBytes(file), expand(before));
        QCOMPARE(modified(file), longAgo);
    } else {
        QCOMPARE(fileBytes(file), expand(after));
    }
    QCOMPARE(settings.main(), executable);
    QCOMPARE(settings.mainPath(), QString(mainPath).replace(QStringLiteral("{folder}"), folder));
    if (location == Location::ConfigFolder)
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("My.ini"))));
}

void TestSettings::initialiseResetsFontAndMainPath() {
    const QString folder = programFolder(Folder::Writable, QStringLiteral("program"));
    const QString executable = folder + QStringLiteral("/tessaly");
    const QString file = QDir(folder).filePath(QStringLiteral("My.ini"));
    writeFile(file, cp(QStringLiteral("[Files]\r\nMain=%1\r\nMainPath=/srv/photos\r\n; mine\r\n"
                                "[Параметры]\r\nШрифт=Arial\r\n")
                     .arg(executable)));

    Settings settings;
    QCOMPARE(settings.open(executable), QStringLiteral("Arial"));
    settings.initialise(executable);
    QCOMPARE(fileBytes(file), cp(QStringLiteral("[Files]\r\nMain=%1\r\nMainPath=%2\r\n; mine\r\n"
                                                "[Параметры]\r\nШрифт=MS Sans Serif\r\n")
                                     .arg(executable, folder)));
}

void TestSettings::mainAndMainPathAreReadOnEveryCall() {
    const QString folder = programFolder(Folder::Writable, QStringLiteral("program"));
    const QString executable = folder + QStringLiteral("/tessaly");
    Settings settings;
    settings.open(executable);
    QCOMPARE(settings.mainPath(), folder);

    writeFile(settings.path(), cp(QStringLiteral("[Files]\r\nMain=/по/рукам\r\nMainPath=/фото\r\n")));
    QCOMPARE(Settings::current()->main(), QStringLiteral("/по/рукам"));
    QCOMPARE(Settings::current()->mainPath(), QStringLiteral("/фото"));
}

void TestSettings::serverComesFromTheDatabaseSection_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<bool>("current");
    QTest::addColumn<QString>("server");

    const QString conninfo =
        QStringLiteral("host=dekanat dbname=verdikon user=clerk1 sslmode=verify-full");
    QTest::newRow("named") << QStringLiteral("[База данных]\r\nСервер=%1\r\n").arg(conninfo)
                           << true << conninfo;
    QTest::newRow("kept by a first start of another program copy")
        << QStringLiteral("[База данных]\r\nСервер=%1\r\n").arg(conninfo) << false << conninfo;
    QTest::newRow("spaces around") << QStringLiteral("[База данных]\r\nСервер=  dbname=d  \r\n")
                                   << true << QStringLiteral("dbname=d");
    QTest::newRow("empty: the file") << QStringLiteral("[База данных]\r\nСервер=\r\n") << true
                                     << QString();
    QTest::newRow("absent: the file") << QString() << true << QString();
    QTest::newRow("another section's key is not it")
        << QStringLiteral("[Параметры]\r\nСервер=dbname=d\r\n") << true << QString();
}

void TestSettings::serverComesFromTheDatabaseSection() {
    QFETCH(QString, section);
    QFETCH(bool, current);
    QFETCH(QString, server);

    const QString folder = programFolder(Folder::Writable, QStringLiteral("program"));
    const QString executable = folder + QStringLiteral("/tessaly");
    const QString main = current ? executable : QStringLiteral("/elsewhere/tessaly");
    writeFile(QDir(folder).filePath(QStringLiteral("My.ini")),
              cp(QStringLiteral("[Files]\r\nMain=%1\r\nMainPath=%2\r\n").arg(main, folder) +
                 section));
    Settings settings;
    settings.open(executable);
    QCOMPARE(settings.server(), server);
}

void TestSettings::mainPathComesFromMainAsReadBack() {
    // A path longer than a value may be reads back cut, so the folder is taken from the cut one.
    QString folder = m_dir->path();
    while (folder.size() < platform::ProfileFile::MaxValueLength + 100)
        folder += u'/' + QStringLiteral("folder").repeated(33);
    QVERIFY(QDir().mkpath(folder));
    const QString executable = folder + QStringLiteral("/tessaly");
    const QString readBack = executable.left(platform::ProfileFile::MaxValueLength);

    Settings settings;
    QCOMPARE(settings.open(executable), QString());
    QCOMPARE(settings.main(), readBack);
    QCOMPARE(settings.mainPath(), readBack.left(readBack.lastIndexOf(u'/')));
    // Such a program copy never finds its file current.
    Settings again;
    QCOMPARE(again.open(executable), QString());
}

void TestSettings::refusedWriteSkipsTheRemainingSteps() {
    const QString folder = programFolder(Folder::Writable, QStringLiteral("program"));
    const QString executable = folder + QStringLiteral("/tessaly");
    const QString file = QDir(folder).filePath(QStringLiteral("My.ini"));
    // Room for the first step only, like a disk that fills up on the way.
    const QByteArray firstStep = cp(QStringLiteral("[Files]\r\nMain=%1\r\n").arg(executable));

    Settings settings;
    QString message;
    try {
        FileSizeLimit limit(rlim_t(firstStep.size()));
        settings.open(executable);
    } catch (const std::runtime_error& e) {
        message = QString::fromStdString(e.what());
    }
    QCOMPARE(message, QStringLiteral("Unable to write to ") + file);
    QCOMPARE(fileBytes(file), firstStep);
    QVERIFY(settings.isOpen());
    QCOMPARE(Settings::current(), &settings);
    QCOMPARE(settings.main(), executable);
    QCOMPARE(settings.mainPath(), QString());
}

void TestSettings::failedCreationLeavesNoSettings() {
    const QString folder = programFolder(Folder::Missing, QStringLiteral("program"));
    // A home under a plain file: the configuration folder cannot be made either.
    const QString plain = m_dir->filePath(QStringLiteral("plain"));
    writeFile(plain, QByteArray());
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(plain));
    const QString file = configFile();

    Settings settings;
    QString message;
    try {
        settings.open(folder + QStringLiteral("/tessaly"));
    } catch (const std::runtime_error& e) {
        message = QString::fromStdString(e.what());
    }
    qputenv("HOME", home);

    QVERIFY(file.startsWith(plain + u'/'));
    QCOMPARE(message, QStringLiteral("Cannot create file \"%1\". Not a directory").arg(file));
    QVERIFY(!settings.isOpen());
    QCOMPARE(Settings::current(), nullptr);
    QCOMPARE(settings.main(), QString());
    settings.initialise(folder + QStringLiteral("/tessaly"));
    QVERIFY(!settings.isOpen());
}

void TestSettings::releaseClearsCurrent() {
    const QString folder = programFolder(Folder::Writable, QStringLiteral("program"));
    const QString executable = folder + QStringLiteral("/tessaly");

    Settings settings;
    settings.open(executable);
    const QString file = settings.path();
    QCOMPARE(Settings::current(), &settings);
    settings.release();
    QVERIFY(!settings.isOpen());
    QCOMPARE(Settings::current(), nullptr);
    QCOMPARE(settings.main(), QString());
    QCOMPARE(settings.mainPath(), QString());
    QCOMPARE(settings.path(), QString());
    QCOMPARE(fileBytes(file), cp(QStringLiteral("[Files]\r\nMain=%1\r\nMainPath=%2\r\n"
                                                "[Параметры]\r\nШрифт=MS Sans Serif\r\n")
                                     .arg(executable, folder)));

    {
        Settings second;
        QCOMPARE(second.open(executable), QStringLiteral("MS Sans Serif"));
        QCOMPARE(Settings::current(), &second);
    }
    QCOMPARE(Settings::current(), nullptr);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
