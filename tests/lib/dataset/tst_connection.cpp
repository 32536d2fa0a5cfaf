// The database connection: it opens only an existing database file and leaves anything
// else untouched, reads double-quoted words as names, and hands every post to the disk
// before returning, so another program sees it at once.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "DataError.h"
#include "Dataset.h"
#include "Failure.h"
#include "TestDb.h"

namespace {

const QString schema = QStringLiteral(
    "CREATE TABLE Student (ID INTEGER PRIMARY KEY AUTOINCREMENT, Fam TEXT(30), Kurs SMALLINT);"
    "INSERT INTO Student (Fam, Kurs) VALUES ('Алексеев', 1), ('Борисова', 2)");


QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

}  // namespace

class TestConnection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Posting runs on both; what a database file, SQLite's reading of quotes and its
    // pragmas do is SQLite's alone, and those cases say so.
    void initTestCase_data() { TestDb::addBackends(); }
    void refusesMissingFile_data();
    void refusesMissingFile();
    void refusesFileThatIsNotDatabase_data();
    void refusesFileThatIsNotDatabase();
    void readsDoubleQuotedWordAsName_data();
    void readsDoubleQuotedWordAsName();
    void postIsVisibleToAnotherConnectionAtOnce_data();
    void postIsVisibleToAnotherConnectionAtOnce();
    void syncsEveryCommitToDisk();
};

void TestConnection::refusesMissingFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("throughDataset");

    QTest::newRow("file") << QStringLiteral("absent.mdb") << false;
    QTest::newRow("file opened by a dataset") << QStringLiteral("absent.mdb") << true;
    QTest::newRow("file in a missing folder")
        << QStringLiteral("no/such/folder/absent.mdb") << false;
}

void TestConnection::refusesMissingFile() {
    QFETCH(QString, name);
    QFETCH(bool, throughDataset);
    if (TestDb::currentBackend() == TestDb::Backend::Server)
        QSKIP("a database file is SQLite's; the server is named by a connection string");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    SqliteConnection connection(path);
    Table table;
    table.setConnection(&connection);
    table.setTableName(QStringLiteral("Student"));

    const QString failure = failureOf([&] {
        if (throughDataset)
            table.open();
        else
            connection.open();
    });

    QVERIFY2(failure != noFailure && !failure.isEmpty(), qPrintable(failure));
    QVERIFY(!connection.isOpen());
    QVERIFY(!table.isActive());
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(entries(dir.path()), QStringList());
}

void TestConnection::refusesFileThatIsNotDatabase_data() {
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("text")
        << QStringLiteral("Ведомость группы ПМ-21\r\nАлексеев;5\r\n").toUtf8().repeated(64);
    QByteArray binary;
    for (int i = 0; i < 4096; ++i) binary.append(char((i * 37 + 11) & 0xff));
    QTest::newRow("binary") << binary;
}

void TestConnection::refusesFileThatIsNotDatabase() {
    QFETCH(QByteArray, content);
    if (TestDb::currentBackend() == TestDb::Backend::Server)
        QSKIP("a database file is SQLite's; the server is named by a connection string");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("dekanat.mdb"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }
    SqliteConnection connection(path);

    const QString failure = failureOf([&] { connection.open(); });

    QVERIFY2(failure != noFailure && !failure.isEmpty(), qPrintable(failure));
    QVERIFY(!connection.isOpen());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
    QCOMPARE(entries(dir.path()), QStringList{"dekanat.mdb"});
}

void TestConnection::readsDoubleQuotedWordAsName_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("message");

    QTest::newRow("lone word, prepared")
        << QStringLiteral("SELECT \"x\"") << QStringLiteral("prepare") << QStringList()
        << QStringLiteral("no such column: x");
    QTest::newRow("lone word, query") << QStringLiteral("SELECT \"x\"") << QStringLiteral("query")
                                      << QStringList() << QStringLiteral("no such column: x");
    QTest::newRow("column") << QStringLiteral("SELECT \"Fam\" FROM Student ORDER BY ID")
                            << QStringLiteral("query") << QStringList{"Алексеев", "Борисова"}
                            << QString();
    QTest::newRow("comparison") << QStringLiteral(
                                       "SELECT Fam FROM Student WHERE Fam = \"Алексеев\"")
                                << QStringLiteral("query") << QStringList()
                                << QStringLiteral("no such column: Алексеев");
    QTest::newRow("update") << QStringLiteral("UPDATE Student SET Fam = \"x\"")
                            << QStringLiteral("execSql") << QStringList()
                            << QStringLiteral("no such column: x");
}

void TestConnection::readsDoubleQuotedWordAsName() {
    QFETCH(QString, statement);
    QFETCH(QString, how);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);
    if (TestDb::currentBackend() == TestDb::Backend::Server)
        QSKIP("SQLite alone reads a double-quoted word as text unless told not to");

    TestDb db(schema);
    Query q;
    q.setConnection(&db.connection());
    q.setSql(statement);

    const QString failure = failureOf([&] {
        if (how == QLatin1String("prepare"))
            db.connection().prepare(statement)->step();
        else if (how == QLatin1String("execSql"))
            q.execSql();
        else
            q.open();
    });

    if (!message.isEmpty()) {
        QCOMPARE(failure, message);
    } else {
        QCOMPARE(failure, noFailure);
        QStringList shown;
        for (int i = 0; i < q.recordCount(); ++i) shown << q.viewDisplayText(i, q.field(0));
        QCOMPARE(shown, rows);
    }
    QCOMPARE(db.rows(QStringLiteral("SELECT Fam FROM Student ORDER BY ID")),
             (QStringList{"Алексеев", "Борисова"}));
}

void TestConnection::postIsVisibleToAnotherConnectionAtOnce_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("readerOpen");
    QTest::addColumn<QStringList>("expected");

    const QStringList inserted = {"1|Алексеев", "2|Борисова", "3|Дмитриев"};
    const QStringList edited = {"1|Алексеев", "2|Белова"};
    const QStringList deleted = {"1|Алексеев"};
    for (bool reader : {false, true}) {
        const char* suffix = reader ? ", while another program reads" : "";
        QTest::addRow("insert%s", suffix) << QStringLiteral("insert") << reader << inserted;
        QTest::addRow("edit%s", suffix) << QStringLiteral("edit") << reader << edited;
        QTest::addRow("post by a move%s", suffix) << QStringLiteral("move") << reader << edited;
        QTest::addRow("delete%s", suffix) << QStringLiteral("delete") << reader << deleted;
        QTest::addRow("execSql%s", suffix) << QStringLiteral("execSql") << reader << edited;
    }
}

void TestConnection::postIsVisibleToAnotherConnectionAtOnce() {
    QFETCH(QString, change);
    QFETCH(bool, readerOpen);
    QFETCH(QStringList, expected);

    TestDb db(schema, TestDb::currentBackend());
    Table table;
    table.setConnection(&db.connection());
    table.setTableName(QStringLiteral("Student"));
    table.setIndexFieldNames(QStringLiteral("ID"));
    table.open();
    table.last();

    // Another program in the middle of reading: it holds its snapshot through our post.
    const std::unique_ptr<Connection> reader = db.open();
    std::unique_ptr<Statement> reading;
    if (readerOpen) {
        reader->execute(QStringLiteral("BEGIN"));
        reading = reader->prepare(QStringLiteral("SELECT Fam FROM Student"));
        QVERIFY(reading->step());
    }

    Field& fam = table.fieldByName(QStringLiteral("Fam"));
    int executed = -1;
    const QString failure = failureOf([&] {
        if (change == QLatin1String("insert")) {
            table.append();
            fam.setValue(QStringLiteral("Дмитриев"));
            table.post();
        } else if (change == QLatin1String("edit")) {
            table.edit();
            fam.setValue(QStringLiteral("Белова"));
            table.post();
        } else if (change == QLatin1String("move")) {
            table.edit();
            fam.setValue(QStringLiteral("Белова"));
            table.first();
        } else if (change == QLatin1String("delete")) {
            table.remove();
        } else if (change == QLatin1String("execSql")) {
            Query q;
            q.setConnection(&db.connection());
            q.setSql(QStringLiteral("UPDATE Student SET Fam = :F WHERE ID = 2"));
            q.setParameter(QStringLiteral("F"), QStringLiteral("Белова"));
            executed = q.execSql();
        }
    });
    if (readerOpen) {
        reading.reset();
        reader->execute(QStringLiteral("COMMIT"));
    }

    QCOMPARE(failure, noFailure);
    if (change == QLatin1String("execSql")) QCOMPARE(executed, 1);
    QCOMPARE(db.rows(QStringLiteral("SELECT ID, Fam FROM Student ORDER BY ID")), expected);
    QVERIFY(table.isActive());
    QVERIFY(db.connection().isOpen());
}

void TestConnection::syncsEveryCommitToDisk() {
    if (TestDb::currentBackend() == TestDb::Backend::Server)
        QSKIP("PRAGMA synchronous is SQLite's; the server's own settings decide its syncing");
    TestDb db(schema);
    db.connection().open();
    // FULL (2) or EXTRA (3): a commit that has returned survives a power cut.
    auto st = db.connection().prepare(QStringLiteral("PRAGMA synchronous"));
    QVERIFY(st->step());
    QVERIFY2(st->columnInt64(0) >= 2, qPrintable(QString::number(st->columnInt64(0))));
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
