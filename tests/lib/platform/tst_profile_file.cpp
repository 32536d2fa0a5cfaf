// The profile file: Windows-1251 on disk, names matched without letter case,
// other lines kept as they were, stray bytes read the same way every time,
// refused writes that leave the old file whole, and no caching between calls.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <stdexcept>

#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "ProfileFile.h"

using platform::ProfileFile;

namespace {

// Byte strings that may hold NUL.
template <size_t N>
QByteArray bytes(const char (&text)[N]) {
    return QByteArray(text, qsizetype(N - 1));
}

// "[Параметры]" and "Шрифт" as Windows-1251 bytes.
const QByteArray Parameters = bytes("\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB");
const QByteArray Font = bytes("\xD8\xF0\xE8\xF4\xF2");

enum class Refusal {
    MissingFolder,
    FolderIsFile,
    PathIsFolder,
    DiskFull,
    ReadOnlyFolder,
    UnreadableFile
};

}  // namespace

Q_DECLARE_METATYPE(Refusal)

class TestProfileFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void writtenTextIsWindows1251OnDisk_data();
    void writtenTextIsWindows1251OnDisk();
    void namesMatchWithoutLetterCase_data();
    void namesMatchWithoutLetterCase();
    void writeUnderOtherLetterCaseReplacesTheKey();
    void absentFileSectionOrKeyReadsEmpty_data();
    void absentFileSectionOrKeyReadsEmpty();
    void longValueIsCutOnReadOnly_data();
    void longValueIsCutOnReadOnly();
    void writeKeepsOtherLinesByteForByte_data();
    void writeKeepsOtherLinesByteForByte();
    void strayBytesReadTheSameEveryTime_data();
    void strayBytesReadTheSameEveryTime();
    void randomBytesNeitherCrashNorBlockAWrite();
    void refusedWriteThrowsAndKeepsTheOldFile_data();
    void refusedWriteThrowsAndKeepsTheOldFile();
    void everyReadSeesTheFileAsItIsNow();
    void writeReplacesTheFileWhole();

private:
    QString filePath() const { return m_dir->filePath(QStringLiteral("My.ini")); }

    std::optional<QTemporaryDir> m_dir;
};

void TestProfileFile::initTestCase() {
    // Past the size limit the kernel signals the process instead of just failing the write.
    signal(SIGXFSZ, SIG_IGN);
}

void TestProfileFile::init() {
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void TestProfileFile::writtenTextIsWindows1251OnDisk_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("latin") << QStringLiteral("Files") << QStringLiteral("Main")
                           << QStringLiteral("/opt/tessaly/tessaly")
                           << bytes("[Files]\r\nMain=/opt/tessaly/tessaly\r\n")
                           << QStringLiteral("/opt/tessaly/tessaly");
    QTest::newRow("cyrillic names and value")
        << QStringLiteral("Параметры") << QStringLiteral("Шрифт") << QStringLiteral("Вердикон")
        << "[" + Parameters + "]\r\n" + Font + "=" + bytes("\xC2\xE5\xF0\xE4\xE8\xEA\xEE\xED\r\n")
        << QStringLiteral("Вердикон");
    QTest::newRow("letters and signs of the code page")
        << QStringLiteral("A") << QStringLiteral("K") << QStringLiteral("Ёё№€")
        << bytes("[A]\r\nK=\xA8\xB8\xB9\x88\r\n") << QStringLiteral("Ёё№€");
    QTest::newRow("characters outside the code page become question marks")
        << QStringLiteral("A") << QStringLiteral("K") << QStringLiteral("日本 ok 😀 ß")
        << bytes("[A]\r\nK=?? ok ? ?\r\n") << QStringLiteral("?? ok ? ?");
    QTest::newRow("blanks around the value are written, not read")
        << QStringLiteral("A") << QStringLiteral("K") << QStringLiteral("  x y  ")
        << bytes("[A]\r\nK=  x y  \r\n") << QStringLiteral("x y");
    QTest::newRow("a line break inside the value stays on one line")
        << QStringLiteral("A") << QStringLiteral("K") << QStringLiteral("one\r\ntwo")
        << bytes("[A]\r\nK=one  two\r\n") << QStringLiteral("one  two");
    QTest::newRow("empty value") << QStringLiteral("A") << QStringLiteral("K") << QString()
                                 << bytes("[A]\r\nK=\r\n") << QString();
}

void TestProfileFile::writtenTextIsWindows1251OnDisk() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, onDisk);
    QFETCH(QString, readBack);

    ProfileFile file(filePath());
    file.write(section, key, value);
    QCOMPARE(fileBytes(filePath()), onDisk);
    QCOMPARE(file.read(section, key), readBack);
}

void TestProfileFile::namesMatchWithoutLetterCase_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("cyrillic capitals in the file")
        << bytes("[\xCF\xC0\xD0\xC0\xCC\xC5\xD2\xD0\xDB]\r\n\xD8\xD0\xC8\xD4\xD2=Arial\r\n")
        << QStringLiteral("параметры") << QStringLiteral("шрифт") << QStringLiteral("Arial");
    QTest::newRow("cyrillic capitals asked")
        << "[" + Parameters + "]\r\n" + Font + "=Arial\r\n"
        << QStringLiteral("ПАРАМЕТРЫ") << QStringLiteral("ШРИФТ") << QStringLiteral("Arial");
    QTest::newRow("yo") << bytes("[\xA8\xEB\xEA\xE0]\r\n\xA8\xE6=1\r\n") << QStringLiteral("ёЛКА")
                        << QStringLiteral("ёЖ") << QStringLiteral("1");
    QTest::newRow("latin") << bytes("[files]\r\nmain=x\r\n") << QStringLiteral("FILES")
                           << QStringLiteral("Main") << QStringLiteral("x");
    QTest::newRow("blanks around names")
        << bytes("[ Files ]\r\n\t Main = x \r\n") << QStringLiteral("Files")
        << QStringLiteral("Main") << QStringLiteral("x");
    QTest::newRow("first of two matching sections")
        << bytes("[A]\r\nx=1\r\n[a]\r\nKey=2\r\n") << QStringLiteral("A") << QStringLiteral("Key")
        << QString();
    QTest::newRow("first of two matching keys")
        << bytes("[A]\r\nkey=1\r\nKEY=2\r\n") << QStringLiteral("a") << QStringLiteral("Key")
        << QStringLiteral("1");
    QTest::newRow("value split at the first equals sign")
        << bytes("[A]\r\nK=a=b\r\n") << QStringLiteral("A") << QStringLiteral("K")
        << QStringLiteral("a=b");
}

void TestProfileFile::namesMatchWithoutLetterCase() {
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);

    writeFile(filePath(), content);
    QCOMPARE(ProfileFile(filePath()).read(section, key), value);
}

void TestProfileFile::writeUnderOtherLetterCaseReplacesTheKey() {
    writeFile(filePath(), "[" + Parameters + "]\r\n" + Font + "=Arial\r\n");
    ProfileFile file(filePath());
    file.write(QStringLiteral("ПАРАМЕТРЫ"), QStringLiteral("шРИФТ"), QStringLiteral("Tahoma"));
    QCOMPARE(fileBytes(filePath()), "[" + Parameters + "]\r\n" + Font + "=Tahoma\r\n");
}

void TestProfileFile::absentFileSectionOrKeyReadsEmpty_data() {
    QTest::addColumn<QByteArray>("content");  // null: no file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");

    QTest::newRow("no file") << QByteArray() << QStringLiteral("Files") << QStringLiteral("Main");
    QTest::newRow("no such section")
        << bytes("[Other]\r\nMain=x\r\n") << QStringLiteral("Files") << QStringLiteral("Main");
    QTest::newRow("key in the next section") << bytes("[Files]\r\nPath=y\r\n[Other]\r\nMain=x\r\n")
                                             << QStringLiteral("Files") << QStringLiteral("Main");
    QTest::newRow("key before any section")
        << bytes("Main=x\r\n[Files]\r\n") << QStringLiteral("Files") << QStringLiteral("Main");
    QTest::newRow("line without equals sign") << bytes("[Files]\r\nMain\r\nMain x\r\n")
                                              << QStringLiteral("Files") << QStringLiteral("Main");
    QTest::newRow("key name only starts alike")
        << bytes("[Files]\r\nMainPath=x\r\n") << QStringLiteral("Files") << QStringLiteral("Main");
    QTest::newRow("unclosed section header")
        << bytes("[Files\r\nMain=x\r\n") << QStringLiteral("Files") << QStringLiteral("Main");
    QTest::newRow("empty file") << bytes("") << QStringLiteral("Files") << QStringLiteral("Main");
}

void TestProfileFile::absentFileSectionOrKeyReadsEmpty() {
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);

    if (!content.isNull()) writeFile(filePath(), content);
    QCOMPARE(ProfileFile(filePath()).read(section, key), QString());
    QCOMPARE(QFileInfo::exists(filePath()), !content.isNull());
}

void TestProfileFile::longValueIsCutOnReadOnly_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("readLength");

    QTest::newRow("one short of the limit") << 2046 << 2046;
    QTest::newRow("at the limit") << 2047 << 2047;
    QTest::newRow("one past the limit") << 2048 << 2047;
    QTest::newRow("far past the limit") << 5000 << 2047;
}

void TestProfileFile::longValueIsCutOnReadOnly() {
    QFETCH(int, length);
    QFETCH(int, readLength);

    QString value;
    for (int i = 0; i < length; ++i) value += QChar(u"0123456789Ж"[i % 11]);
    ProfileFile file(filePath());
    file.write(QStringLiteral("A"), QStringLiteral("K"), value);
    QCOMPARE(file.read(QStringLiteral("A"), QStringLiteral("K")), value.left(readLength));
    QCOMPARE(fileBytes(filePath()).size(), qsizetype(length) + 9);
}

void TestProfileFile::writeKeepsOtherLinesByteForByte_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("value replaced among other lines")
        << bytes(
               "; note\r\n[A]\r\nx=1\r\nno equals sign\r\nKey=old\r\ny = 2 \r\n\r\n[B]\r\n"
               "Key=b\r\n")
        << QStringLiteral("A") << QStringLiteral("Key")
        << bytes(
               "; note\r\n[A]\r\nx=1\r\nno equals sign\r\nKey=new\r\ny = 2 \r\n\r\n[B]\r\n"
               "Key=b\r\n");
    QTest::newRow("stray bytes on other lines")
        << bytes("\x98\x00\xFF junk\r\n[A]\r\nKey=old\r\n\x81\x98=\xC0\r\n") << QStringLiteral("A")
        << QStringLiteral("Key")
        << bytes("\x98\x00\xFF junk\r\n[A]\r\nKey=new\r\n\x81\x98=\xC0\r\n");
    QTest::newRow("key added after the last line of its section")
        << bytes("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n") << QStringLiteral("A") << QStringLiteral("Key")
        << bytes("[A]\r\nx=1\r\nKey=new\r\n\r\n[B]\r\ny=2\r\n");
    QTest::newRow("key added to an empty section")
        << bytes("[A]\r\n[B]\r\ny=2\r\n") << QStringLiteral("A") << QStringLiteral("Key")
        << bytes("[A]\r\nKey=new\r\n[B]\r\ny=2\r\n");
    QTest::newRow("section added at the end")
        << bytes("[A]\r\nx=1\r\n") << QStringLiteral("B") << QStringLiteral("Key")
        << bytes("[A]\r\nx=1\r\n[B]\r\nKey=new\r\n");
    QTest::newRow("empty file") << bytes("") << QStringLiteral("A") << QStringLiteral("Key")
                                << bytes("[A]\r\nKey=new\r\n");
    QTest::newRow("line feeds become CRLF")
        << bytes("[A]\nx=1\nKey=old\n") << QStringLiteral("A") << QStringLiteral("Key")
        << bytes("[A]\r\nx=1\r\nKey=new\r\n");
    QTest::newRow("last line without an end")
        << bytes("[A]\r\nKey=old") << QStringLiteral("A") << QStringLiteral("Key")
        << bytes("[A]\r\nKey=new\r\n");
    QTest::newRow("byte order mark kept")
        << bytes("\xEF\xBB\xBF[A]\r\nKey=old\r\n") << QStringLiteral("A") << QStringLiteral("Key")
        << bytes("\xEF\xBB\xBF[A]\r\nKey=new\r\n");
    QTest::newRow("key spelt as in the file")
        << bytes("[A]\r\n  kEY = old \r\nKEY=2\r\n") << QStringLiteral("a") << QStringLiteral("Key")
        << bytes("[A]\r\nkEY=new\r\nKEY=2\r\n");
    QTest::newRow("only the first of two matching sections")
        << bytes("[A]\r\nx=1\r\n[a]\r\nKey=2\r\n") << QStringLiteral("A") << QStringLiteral("Key")
        << bytes("[A]\r\nx=1\r\nKey=new\r\n[a]\r\nKey=2\r\n");
}

void TestProfileFile::writeKeepsOtherLinesByteForByte() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);

    writeFile(filePath(), before);
    ProfileFile file(filePath());
    file.write(section, key, QStringLiteral("new"));
    QCOMPARE(fileBytes(filePath()), after);
    QCOMPARE(file.read(section, key), QStringLiteral("new"));
}

void TestProfileFile::strayBytesReadTheSameEveryTime_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("byte the code page leaves undefined")
        << bytes("[A]\r\nK=a\x98z\r\n") << QStringLiteral("A") << QStringLiteral("K")
        << QStringLiteral("a\uFFFDz");
    QTest::newRow("undefined byte in a section name")
        << bytes("[A\x98]\r\nK=v\r\n") << QStringLiteral("A\uFFFD") << QStringLiteral("K")
        << QStringLiteral("v");
    QTest::newRow("NUL byte") << bytes("[A]\r\nK=a\x00z") << QStringLiteral("A")
                              << QStringLiteral("K")
                              << QStringLiteral("a") + QChar(0) + QStringLiteral("z");
    QTest::newRow("UTF-8 value reads as Windows-1251")
        << QStringLiteral("[A]\r\nK=Вердикон\r\n").toUtf8() << QStringLiteral("A")
        << QStringLiteral("K") << QStringLiteral("Р’РµСЂРґРёРєРѕРЅ");
    QTest::newRow("UTF-8 section name does not match")
        << QStringLiteral("[Параметры]\r\nШрифт=Arial\r\n").toUtf8() << QStringLiteral("Параметры")
        << QStringLiteral("Шрифт") << QString();
    QTest::newRow("UTF-8 byte order mark before the first section")
        << bytes("\xEF\xBB\xBF[A]\nK=x\n") << QStringLiteral("A") << QStringLiteral("K")
        << QStringLiteral("x");
    QTest::newRow("carriage return inside a line")
        << bytes("[A]\r\nK=a\rb\r\n") << QStringLiteral("A") << QStringLiteral("K")
        << QStringLiteral("a\rb");
}

void TestProfileFile::strayBytesReadTheSameEveryTime() {
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);

    writeFile(filePath(), content);
    ProfileFile file(filePath());
    QCOMPARE(file.read(section, key), value);
    QCOMPARE(file.read(section, key), value);
}

void TestProfileFile::randomBytesNeitherCrashNorBlockAWrite() {
    QRandomGenerator random(1251);
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    for (char& c : noise) c = char(random.bounded(256));
    writeFile(filePath(), noise);

    ProfileFile file(filePath());
    const QString first = file.read(QStringLiteral("Files"), QStringLiteral("Main"));
    QCOMPARE(file.read(QStringLiteral("Files"), QStringLiteral("Main")), first);
    file.write(QStringLiteral("Files"), QStringLiteral("Main"), QStringLiteral("/opt/x"));
    QCOMPARE(file.read(QStringLiteral("Files"), QStringLiteral("Main")), QStringLiteral("/opt/x"));
    QVERIFY(fileBytes(filePath()).endsWith("[Files]\r\nMain=/opt/x\r\n"));
}

void TestProfileFile::refusedWriteThrowsAndKeepsTheOldFile_data() {
    QTest::addColumn<Refusal>("refusal");

    QTest::newRow("folder missing") << Refusal::MissingFolder;
    QTest::newRow("folder is a regular file") << Refusal::FolderIsFile;
    QTest::newRow("path is a folder") << Refusal::PathIsFolder;
    QTest::newRow("disk full") << Refusal::DiskFull;
    // Permission bits do not hold the superuser back.
    if (geteuid() != 0) {
        QTest::newRow("read-only folder") << Refusal::ReadOnlyFolder;
        QTest::newRow("unreadable file") << Refusal::UnreadableFile;
    }
}

void TestProfileFile::refusedWriteThrowsAndKeepsTheOldFile() {
    QFETCH(Refusal, refusal);

    const QByteArray old = bytes("[A]\r\nKey=old\r\n");
    QString path = filePath();
    switch (refusal) {
        case Refusal::MissingFolder:
            path = m_dir->filePath(QStringLiteral("missing/My.ini"));
            break;
        case Refusal::FolderIsFile:
            writeFile(m_dir->filePath(QStringLiteral("plain")), old);
            path = m_dir->filePath(QStringLiteral("plain/My.ini"));
            break;
        case Refusal::PathIsFolder:
            QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("My.ini")));
            break;
        case Refusal::DiskFull:
        case Refusal::ReadOnlyFolder:
        case Refusal::UnreadableFile:
            writeFile(path, old);
            break;
    }
    if (refusal == Refusal::ReadOnlyFolder)
        QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0555) == 0);
    if (refusal == Refusal::UnreadableFile)
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0200) == 0);
    const QStringList entries = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden);

    QString message;
    try {
        std::optional<FileSizeLimit> limit;
        if (refusal == Refusal::DiskFull) limit.emplace(rlim_t(old.size() + 1));
        ProfileFile(path).write(QStringLiteral("A"), QStringLiteral("Key"),
                                QStringLiteral("a value longer than the old one"));
    } catch (const std::runtime_error& e) {
        message = QString::fromStdString(e.what());
    }
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0700);
    ::chmod(QFile::encodeName(path).constData(), 0600);

    QCOMPARE(message, QStringLiteral("Unable to write to ") + path);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden), entries);
    if (refusal == Refusal::DiskFull || refusal == Refusal::ReadOnlyFolder ||
        refusal == Refusal::UnreadableFile)
        QCOMPARE(fileBytes(path), old);
    if (refusal == Refusal::PathIsFolder) QVERIFY(QFileInfo(path).isDir());
}

void TestProfileFile::everyReadSeesTheFileAsItIsNow() {
    ProfileFile file(filePath());
    file.write(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("one"));
    QCOMPARE(file.read(QStringLiteral("A"), QStringLiteral("K")), QStringLiteral("one"));

    writeFile(filePath(), bytes("[A]\r\nK=edited by hand\r\n"));
    QCOMPARE(file.read(QStringLiteral("A"), QStringLiteral("K")), QStringLiteral("edited by hand"));

    // A write starts from the file as it is now, not from what was read before.
    writeFile(filePath(), bytes("[A]\r\nK=two\r\nL=hand\r\n"));
    file.write(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("three"));
    QCOMPARE(fileBytes(filePath()), bytes("[A]\r\nK=three\r\nL=hand\r\n"));

    ProfileFile other(filePath());
    other.write(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("four"));
    QCOMPARE(file.read(QStringLiteral("A"), QStringLiteral("K")), QStringLiteral("four"));

    QVERIFY(QFile::remove(filePath()));
    QCOMPARE(file.read(QStringLiteral("A"), QStringLiteral("K")), QString());
}

void TestProfileFile::writeReplacesTheFileWhole() {
    const QByteArray old = bytes("[A]\r\nK=old\r\n");
    writeFile(filePath(), old);
    QVERIFY(::chmod(QFile::encodeName(filePath()).constData(), 0640) == 0);
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(filePath()).constData(), &before), 0);
    // A reader that opened the old file goes on reading the old file, all of it.
    QFile reader(filePath());
    QVERIFY(reader.open(QIODevice::ReadOnly));

    ProfileFile file(filePath());
    file.write(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("new"));
    file.flush();

    QCOMPARE(reader.readAll(), old);
    QCOMPARE(fileBytes(filePath()), bytes("[A]\r\nK=new\r\n"));
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(filePath()).constData(), &after), 0);
    QVERIFY(after.st_ino != before.st_ino);
    QCOMPARE(after.st_mode & 07777, mode_t(0640));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("My.ini")});
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profile_file.moc"
