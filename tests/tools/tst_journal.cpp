// The journal of changes: every insert, update and delete on the program's
// tables leaves a line with the row's old and new values, whoever makes it (here
// the sqlite3 shell, as another program would); the history reads as the
// program shows values; undelete puts a row back exactly and refuses what it
// cannot; upgrade adds the journal to an older database leaving its rows as
// they were; prune removes old lines. On a server database the triggers write
// the same lines with the same JSON, whoever changes a row.
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "Connection.h"
#include "Copy.h"
#include "DataError.h"
#include "DbTool.h"
#include "History.h"
#include "Journal.h"
#include "PgConnection.h"
#include "PgTestServer.h"
#include "Schema.h"

using namespace dbtools;

namespace {

// Runs SQL through the sqlite3 shell; returns what it printed, or the error text with "!".
QString shell(const QString& db, const QString& sql) {
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), db, sql});
    if (!p.waitForFinished(30000)) return QStringLiteral("!did not finish");
    const QString err = QString::fromUtf8(p.readAllStandardError());
    if (p.exitCode() != 0 || !err.isEmpty()) return QStringLiteral("!") + err;
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// A register with a few rows, made with the journal, as the tool makes one.
class Register {
public:
    Register() {
        createEmpty(path());
        const QString fill = QString::fromUtf8(
            "INSERT INTO Specialnost (Nazvanie, ID_Facultet, ID_Spec) VALUES ('Математика', 1, "
            "'010301');"
            "INSERT INTO Gruppa (ID_GRoup, Nazvanie, ID_Specialnost) VALUES (5, 'МАТ-24', "
            "'010301');"
            "INSERT INTO Disciplins (Ndis, NameDis) VALUES (3, 'Математический анализ');"
            "INSERT INTO PlanSpec (ID_Plan, ID_Spec, Ndis, Semestr, ID_Kontrol) VALUES (8, "
            "'010301', 3, 1, 1);"
            "INSERT INTO Studenti (N_student, Fam, Name, SecName, BirthDate, ID_group) "
            "VALUES ('2401001', 'Орлова', 'Анна', 'Павловна', '2006-04-02', 5);");
        const QString out = shell(path(), fill);
        if (out.startsWith(QLatin1Char('!'))) qFatal("%s", qPrintable(out));
    }
    QString path() const { return m_dir.filePath(QStringLiteral("verdikon.mdb")); }
    QString sql(const QString& text) const { return shell(path(), text); }
    qint64 lastLine() const {
        return sql(QStringLiteral("SELECT max(ID_Journal) FROM Journal")).toLongLong();
    }

private:
    QTemporaryDir m_dir;
};

// The same register on the shared test server, made by the tool's create --server.
class ServerRegister {
public:
    ServerRegister() : m_c(PgTestServer::shared().conninfo()) {
        PgTestServer::shared().clear();
        createOnServer(PgTestServer::shared().conninfo());
        m_c.open();
        m_c.execute(QString::fromUtf8(
            "INSERT INTO \"Specialnost\" (\"Nazvanie\", \"ID_Facultet\", \"ID_Spec\") "
            "VALUES ('Математика', 1, '010301');"
            "INSERT INTO \"Gruppa\" (\"ID_GRoup\", \"Nazvanie\", \"ID_Specialnost\") "
            "VALUES (5, 'МАТ-24', '010301');"
            "INSERT INTO \"Studenti\" (\"N_student\", \"Fam\", \"Name\", \"SecName\", "
            "\"BirthDate\", \"ID_group\") "
            "VALUES ('2401001', 'Орлова', 'Анна', 'Павловна', '2006-04-02', 5)"));
    }
    PgConnection& connection() { return m_c; }
    QString scalar(const QString& sql) {
        auto st = m_c.prepare(sql);
        return st->step() ? st->columnValue(0).toString() : QString();
    }
    qint64 lastLine() {
        return scalar(QStringLiteral("SELECT coalesce(max(\"ID_Journal\"), 0) FROM \"Journal\""))
            .toLongLong();
    }
    // The lines after line `after`, one a line, NULL for a missing value.
    QString linesAfter(qint64 after) {
        auto st = m_c.prepare(QStringLiteral(
            "SELECT concat_ws('|', \"TableName\", \"RowKey\", \"RowId\", \"Action\", "
            "coalesce(\"OldValues\", 'NULL'), coalesce(\"NewValues\", 'NULL')) "
            "FROM \"Journal\" WHERE \"ID_Journal\" > ? ORDER BY \"ID_Journal\""));
        st->bind(1, int64_t(after));
        QStringList out;
        while (st->step()) out << st->columnValue(0).toString();
        return out.join(QLatin1Char('\n'));
    }

private:
    PgConnection m_c;
};

// The program's tables as databases were made before the journal existed.
void createWithoutJournal(const QString& db) {
    SqliteConnection::createFile(db);
    SqliteConnection c(db);
    c.open();
    schema::create(c);
}

QString refusal(const std::function<void()>& work) {
    try {
        work();
    } catch (const DataError& e) {
        return e.text();
    }
    return {};
}

}  // namespace

class JournalTest : public QObject {
    Q_OBJECT

private slots:
    void everyActionLeavesItsLine_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("insert");
        QTest::addColumn<QString>("update");
        QTest::addColumn<QString>("remove");
        QTest::addColumn<QString>("key");      // the RowKey the lines carry
        QTest::addColumn<QString>("added");    // the row's values after the insert
        QTest::addColumn<QString>("changed");  // and after the update
        QTest::newRow("counter key")
            << QStringLiteral("Gruppa")
            << QString::fromUtf8(
                   "INSERT INTO Gruppa (ID_GRoup, Nazvanie, ID_Kyrator) VALUES (77, 'ПИ-25', 3)")
            << QString::fromUtf8("UPDATE Gruppa SET Nazvanie = 'ПИ-25а' WHERE ID_GRoup = 77")
            << QStringLiteral("DELETE FROM Gruppa WHERE ID_GRoup = 77") << QStringLiteral("77")
            << QString::fromUtf8(
                   R"({"ID_GRoup":77,"Nazvanie":"ПИ-25","ID_Specialnost":null,"ID_Starosta":null,"ID_Kyrator":3})")
            << QString::fromUtf8(
                   R"({"ID_GRoup":77,"Nazvanie":"ПИ-25а","ID_Specialnost":null,"ID_Starosta":null,"ID_Kyrator":3})");
        QTest::newRow("text key")
            << QStringLiteral("Specialnost")
            << QString::fromUtf8("INSERT INTO Specialnost VALUES ('Физика', 2, '030302')")
            << QStringLiteral("UPDATE Specialnost SET ID_Facultet = 4 WHERE ID_Spec = '030302'")
            << QStringLiteral("DELETE FROM Specialnost WHERE ID_Spec = '030302'")
            << QStringLiteral("030302")
            << QString::fromUtf8(R"({"Nazvanie":"Физика","ID_Facultet":2,"ID_Spec":"030302"})")
            << QString::fromUtf8(R"({"Nazvanie":"Физика","ID_Facultet":4,"ID_Spec":"030302"})");
        QTest::newRow("Cyrillic names with a space")
            << QStringLiteral("Prepodavateli")
            << QString::fromUtf8(
                   "INSERT INTO Prepodavateli (ID_Prepod, \"Фамилия\", \"День рождения\", \"Место "
                   "рожд\") "
                   "VALUES (12, 'Лебедев', '1969-11-30', 'Томск')")
            << QString::fromUtf8(
                   "UPDATE Prepodavateli SET \"Место рожд\" = 'Омск' WHERE ID_Prepod = 12")
            << QStringLiteral("DELETE FROM Prepodavateli WHERE ID_Prepod = 12")
            << QStringLiteral("12")
            << QString::fromUtf8(
                   R"({"ID_Prepod":12,"Фамилия":"Лебедев","Имя":null,"Отчество":null,"День рождения":"1969-11-30","Место рожд":"Томск","Пол":null,"Гражданство":null,"Статус":null,"Kur_Gr":null,"ID_kafedra":null,"City":null,"Street":null,"House":null,"Apar":null,"Foto":null,"Звание":null,"Степень":null,"Должность":null})")
            << QString::fromUtf8(
                   R"({"ID_Prepod":12,"Фамилия":"Лебедев","Имя":null,"Отчество":null,"День рождения":"1969-11-30","Место рожд":"Омск","Пол":null,"Гражданство":null,"Статус":null,"Kur_Gr":null,"ID_kafedra":null,"City":null,"Street":null,"House":null,"Apar":null,"Foto":null,"Звание":null,"Степень":null,"Должность":null})");
        QTest::newRow("keyless, by its row id")
            << QStringLiteral("Ocenki")
            << QStringLiteral(
                   "INSERT INTO Ocenki (rowid, N_student, Date, ID_Result, ID_Plan, Semestr) "
                   "VALUES (40, '2401001', '2025-01-14', 3, 8, 1)")
            << QStringLiteral("UPDATE Ocenki SET ID_Result = 2.5 WHERE rowid = 40")
            << QStringLiteral("DELETE FROM Ocenki WHERE rowid = 40") << QStringLiteral("40")
            << QStringLiteral(
                   R"({"N_student":"2401001","Date":"2025-01-14","ID_Result":3,"ID_Plan":8,"Semestr":1})")
            << QStringLiteral(
                   R"({"N_student":"2401001","Date":"2025-01-14","ID_Result":2.5,"ID_Plan":8,"Semestr":1})");
    }
    void everyActionLeavesItsLine() {
        QFETCH(QString, table);
        QFETCH(QString, insert);
        QFETCH(QString, update);
        QFETCH(QString, remove);
        QFETCH(QString, key);
        QFETCH(QString, added);
        QFETCH(QString, changed);
        Register r;
        const qint64 before = r.lastLine();
        for (const QString& sql : {insert, update, remove}) QCOMPARE(r.sql(sql), QString());
        const QString lines = r.sql(
            QStringLiteral(
                "SELECT TableName, RowKey, Action, quote(OldValues), quote(NewValues) FROM Journal "
                "WHERE ID_Journal > %1 ORDER BY ID_Journal")
                .arg(before));
        const QString expected =
            QStringLiteral("%1|%2|insert|NULL|'%3'\n%1|%2|update|'%3'|'%4'\n%1|%2|delete|'%4'|NULL")
                .arg(table, key, added, changed);
        QCOMPARE(lines, expected);
        // A moment in UTC to the millisecond.
        const QString moment =
            r.sql(QStringLiteral("SELECT Moment FROM Journal ORDER BY ID_Journal DESC LIMIT 1"));
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"))
                     .match(moment)
                     .hasMatch(),
                 qPrintable(moment));
    }

    void anUpdateThatChangesNothingLeavesNoLine() {
        Register r;
        const qint64 before = r.lastLine();
        QCOMPARE(r.sql(QStringLiteral("UPDATE Studenti SET Fam = Fam, Name = Name")), QString());
        QCOMPARE(r.lastLine(), before);
    }

    void aFailedChangeLeavesNoLine() {
        Register r;
        const qint64 before = r.lastLine();
        // The key is taken: the insert and its journal line go together.
        QVERIFY(r.sql(QStringLiteral("INSERT INTO Gruppa (ID_GRoup, Nazvanie) VALUES (5, 'x')"))
                    .startsWith(QLatin1Char('!')));
        QCOMPARE(r.lastLine(), before);
    }

    void historyOfAGradeAcrossThreeEdits() {
        Register r;
        QCOMPARE(r.sql(QStringLiteral(
                     "INSERT INTO Ocenki (N_student, Date, ID_Result, ID_Plan, Semestr) "
                     "VALUES ('2401001', '2025-01-14', 4, 8, 1)")),
                 QString());
        const QString row = r.sql(QStringLiteral("SELECT max(rowid) FROM Ocenki"));
        for (const char* sql :
             {"UPDATE Ocenki SET ID_Result = 3", "UPDATE Ocenki SET ID_Result = 2",
              "UPDATE Ocenki SET ID_Result = 1, Date = '2025-01-28'"})
            QCOMPARE(r.sql(QString::fromLatin1(sql)), QString());
        const QStringList lines = history(r.path(), {QStringLiteral("ocenki"), row, QDate()})
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        const QString names =
            QString::fromUtf8(
                " Ocenki row %1 (Орлова Анна Павловна, 2401001; Математический анализ) ")
                .arg(row);
        const QStringList tails = {
            QStringLiteral(
                "added: N_student \"2401001\", Date 14.01.2025, ID_Result 4, ID_Plan 8, Semestr 1"),
            QString::fromUtf8("changed: ID_Result 4 → 3"),
            QString::fromUtf8("changed: ID_Result 3 → 2"),
            QString::fromUtf8("changed: Date 14.01.2025 → 28.01.2025, ID_Result 2 → 1")};
        for (int i = 0; i < 4; ++i) {
            QVERIFY2(lines[i].contains(names), qPrintable(lines[i]));
            QVERIFY2(lines[i].endsWith(tails[i]), qPrintable(lines[i]));
        }
        // Moments are shown as the program shows dates, and --since keeps today's lines.
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^#\\d+ \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d "))
                     .match(lines[0])
                     .hasMatch(),
                 qPrintable(lines[0]));
        QCOMPARE(history(r.path(), {{}, row, QDate::currentDate()}).count(QLatin1Char('\n')), 4);
        QCOMPARE(history(r.path(), {{}, row, QDate::currentDate().addDays(1)}), QString());
        // The student deleted since is still named, from the journal.
        QCOMPARE(r.sql(QStringLiteral("DELETE FROM Studenti")), QString());
        QVERIFY(history(r.path(), {QStringLiteral("Ocenki"), row, QDate()}).contains(names));
    }

    void undeletePutsTheRowBackExactly_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("where");
        QTest::newRow("text key") << QStringLiteral("Studenti")
                                  << QStringLiteral("N_student = '2401001'");
        QTest::newRow("counter") << QStringLiteral("Gruppa") << QStringLiteral("ID_GRoup = 5");
        QTest::newRow("keyless") << QStringLiteral("Ocenki") << QStringLiteral("rowid = 17");
    }
    void undeletePutsTheRowBackExactly() {
        QFETCH(QString, table);
        QFETCH(QString, where);
        Register r;
        // Values of every kind the columns can hold: a real, a blob, text in a number column.
        QCOMPARE(r.sql(QStringLiteral(
                     "INSERT INTO Ocenki (rowid, N_student, Date, ID_Result, ID_Plan, Semestr) "
                     "VALUES (17, '2401001', x'00ff', 2.75, 'восемь', NULL)")),
                 QString());
        const QString row = QStringLiteral("SELECT rowid, * FROM %1 WHERE %2").arg(table, where);
        const QString quoted = r.sql(QStringLiteral(".mode quote\n") + row);
        QVERIFY(!quoted.isEmpty());
        QCOMPARE(r.sql(QStringLiteral("DELETE FROM %1 WHERE %2").arg(table, where)), QString());
        const qint64 line = r.lastLine();
        undelete(r.path(), line);
        QCOMPARE(r.sql(QStringLiteral(".mode quote\n") + row), quoted);
        // Putting it back is a change like any other.
        QCOMPARE(
            r.sql(QStringLiteral("SELECT Action FROM Journal WHERE ID_Journal = %1").arg(line + 1)),
            QStringLiteral("insert"));
    }

    void undeleteRefuses_data() {
        QTest::addColumn<QString>("after");  // run after the deletion
        QTest::addColumn<int>("line");       // relative to the deletion's line
        QTest::addColumn<QString>("named");
        QTest::newRow("no such line") << QString() << 100 << QStringLiteral("has no line");
        QTest::newRow("not a deletion")
            << QString() << -1 << QStringLiteral("records an insert in Gruppa, not a deletion");
        QTest::newRow("key taken since")
            << QString::fromUtf8("INSERT INTO Gruppa (ID_GRoup, Nazvanie) VALUES (9, 'ФИЗ-24')")
            << 0 << QStringLiteral("ID_GRoup \"9\" has been taken since");
        QTest::newRow("already back")
            << QString::fromUtf8("INSERT INTO Gruppa (ID_GRoup, Nazvanie) VALUES (9, 'ИБ-24')") << 0
            << QStringLiteral("is already back");
    }
    void undeleteRefuses() {
        QFETCH(QString, after);
        QFETCH(int, line);
        QFETCH(QString, named);
        Register r;
        QCOMPARE(
            r.sql(QString::fromUtf8("INSERT INTO Gruppa (ID_GRoup, Nazvanie) VALUES (9, 'ИБ-24'); "
                                    "DELETE FROM Gruppa WHERE ID_GRoup = 9")),
            QString());
        const qint64 deletion = r.lastLine();
        if (!after.isEmpty()) QCOMPARE(r.sql(after), QString());
        const QString rows = r.sql(QStringLiteral("SELECT count(*) FROM Gruppa"));
        const qint64 lines = r.lastLine();
        const QString message = refusal([&] { undelete(r.path(), deletion + line); });
        QVERIFY2(message.contains(named), qPrintable(message));
        QCOMPARE(r.sql(QStringLiteral("SELECT count(*) FROM Gruppa")), rows);
        QCOMPARE(r.lastLine(), lines);
    }

    void upgradeAddsTheJournalAndLeavesEveryRow() {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("old.mdb"));
        // A database as it was made before the journal: the program's tables and rows only.
        createWithoutJournal(db);
        QCOMPARE(
            shell(db, QString::fromUtf8(
                          "INSERT INTO Studenti (N_student, Fam, BirthDate) VALUES "
                          "('1', 'Ким', '2004-01-01'); INSERT INTO Parents (PFam, N_Student) "
                          "VALUES ('Ким', '1'); INSERT INTO Ocenki VALUES ('1', NULL, 5, 1, 2)")),
            QString());
        const QString dump = shell(db, QStringLiteral(".dump Studenti Parents Ocenki"));
        QVERIFY(!check(db).contents.journal);
        QVERIFY(check(db).problems.isEmpty());  // accepted without the journal

        QVERIFY2(upgrade(db).contains(QStringLiteral("was added")), "no journal added");
        QCOMPARE(shell(db, QStringLiteral(".dump Studenti Parents Ocenki")), dump);
        QCOMPARE(shell(db, QStringLiteral("SELECT count(*) FROM Journal")), QStringLiteral("0"));
        const CheckReport after = check(db);
        QVERIFY(after.problems.isEmpty());
        QVERIFY(after.contents.journal);
        QCOMPARE(after.contents.tables, 15);
        QVERIFY(upgrade(db).contains(QStringLiteral("already has")));
        // From now on its changes are journaled.
        QCOMPARE(shell(db, QStringLiteral("DELETE FROM Parents")), QString());
        QCOMPARE(shell(db, QStringLiteral("SELECT TableName, RowKey, Action FROM Journal")),
                 QStringLiteral("Parents|1|delete"));
    }

    void commandsRefuseADatabaseWithoutTheJournalOrForeign() {
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("old.mdb"));
        createWithoutJournal(db);
        QVERIFY(refusal([&] {
                    history(db, {});
                }).contains(QStringLiteral("tessaly-db upgrade adds it")));
        const QString foreign = dir.filePath(QStringLiteral("foreign.db"));
        QCOMPARE(shell(foreign, QStringLiteral("CREATE TABLE t (a)")), QString());
        const QString message = refusal([&] { upgrade(foreign); });
        QVERIFY2(message.contains(QStringLiteral("is not a database of the program")),
                 qPrintable(message));
        QCOMPARE(shell(foreign, QStringLiteral("SELECT count(*) FROM sqlite_schema")),
                 QStringLiteral("1"));
        QVERIFY(refusal([&] {
                    undelete(dir.filePath(QStringLiteral("none.mdb")), 1);
                }).contains(QStringLiteral("does not exist")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("none.mdb"))));
    }

    void serverTriggersLeaveTheSameLines_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("insert");
        QTest::addColumn<QString>("update");
        QTest::addColumn<QString>("remove");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("changed");
        QTest::newRow("counter key")
            << QStringLiteral("Gruppa")
            << QString::fromUtf8(
                   "INSERT INTO \"Gruppa\" (\"ID_GRoup\", \"Nazvanie\", "
                   "\"ID_Kyrator\") VALUES (77, 'ПИ-25', 3)")
            << QString::fromUtf8(
                   "UPDATE \"Gruppa\" SET \"Nazvanie\" = 'ПИ-25а' WHERE \"ID_GRoup\" = 77")
            << QStringLiteral("DELETE FROM \"Gruppa\" WHERE \"ID_GRoup\" = 77")
            << QStringLiteral("77")
            << QString::fromUtf8(
                   R"({"ID_GRoup":77,"Nazvanie":"ПИ-25","ID_Specialnost":null,"ID_Starosta":null,"ID_Kyrator":3})")
            << QString::fromUtf8(
                   R"({"ID_GRoup":77,"Nazvanie":"ПИ-25а","ID_Specialnost":null,"ID_Starosta":null,"ID_Kyrator":3})");
        QTest::newRow("text key")
            << QStringLiteral("Specialnost")
            << QString::fromUtf8(
                   "INSERT INTO \"Specialnost\" (\"Nazvanie\", \"ID_Facultet\", "
                   "\"ID_Spec\") VALUES ('Физика', 2, '030302')")
            << QStringLiteral(
                   "UPDATE \"Specialnost\" SET \"ID_Facultet\" = 4 WHERE \"ID_Spec\" = '030302'")
            << QStringLiteral("DELETE FROM \"Specialnost\" WHERE \"ID_Spec\" = '030302'")
            << QStringLiteral("030302")
            << QString::fromUtf8(R"({"Nazvanie":"Физика","ID_Facultet":2,"ID_Spec":"030302"})")
            << QString::fromUtf8(R"({"Nazvanie":"Физика","ID_Facultet":4,"ID_Spec":"030302"})");
        QTest::newRow("Cyrillic names with a space, a date")
            << QStringLiteral("Prepodavateli")
            << QString::fromUtf8(
                   "INSERT INTO \"Prepodavateli\" (\"ID_Prepod\", \"Фамилия\", \"День рождения\", "
                   "\"Место рожд\") VALUES (12, 'Лебедев', '1969-11-30', 'Томск')")
            << QString::fromUtf8(
                   "UPDATE \"Prepodavateli\" SET \"Место рожд\" = 'Омск' WHERE \"ID_Prepod\" = 12")
            << QStringLiteral("DELETE FROM \"Prepodavateli\" WHERE \"ID_Prepod\" = 12")
            << QStringLiteral("12")
            << QString::fromUtf8(
                   R"({"ID_Prepod":12,"Фамилия":"Лебедев","Имя":null,"Отчество":null,"День рождения":"1969-11-30","Место рожд":"Томск","Пол":null,"Гражданство":null,"Статус":null,"Kur_Gr":null,"ID_kafedra":null,"City":null,"Street":null,"House":null,"Apar":null,"Foto":null,"Звание":null,"Степень":null,"Должность":null})")
            << QString::fromUtf8(
                   R"({"ID_Prepod":12,"Фамилия":"Лебедев","Имя":null,"Отчество":null,"День рождения":"1969-11-30","Место рожд":"Омск","Пол":null,"Гражданство":null,"Статус":null,"Kur_Gr":null,"ID_kafedra":null,"City":null,"Street":null,"House":null,"Apar":null,"Foto":null,"Звание":null,"Степень":null,"Должность":null})");
        QTest::newRow("keyless, by its row id, a date with a time")
            << QStringLiteral("Ocenki")
            << QStringLiteral(
                   "INSERT INTO \"Ocenki\" (\"rowid\", \"N_student\", \"Date\", \"ID_Result\", "
                   "\"ID_Plan\", \"Semestr\") VALUES (40, '2401001', '2025-01-14 10:30:00', 3, 8, "
                   "1)")
            << QStringLiteral("UPDATE \"Ocenki\" SET \"ID_Result\" = 2 WHERE \"rowid\" = 40")
            << QStringLiteral("DELETE FROM \"Ocenki\" WHERE \"rowid\" = 40") << QStringLiteral("40")
            << QStringLiteral(
                   R"({"N_student":"2401001","Date":"2025-01-14 10:30:00","ID_Result":3,"ID_Plan":8,"Semestr":1})")
            << QStringLiteral(
                   R"({"N_student":"2401001","Date":"2025-01-14 10:30:00","ID_Result":2,"ID_Plan":8,"Semestr":1})");
        QTest::newRow("text JSON escapes")
            << QStringLiteral("Disciplins")
            << QString::fromUtf8(
                   "INSERT INTO \"Disciplins\" (\"Ndis\", \"NameDis\", \"TypeDis\") "
                   "VALUES (9, 'Теория \"игр\" \\ 1', 2)")
            << QStringLiteral("UPDATE \"Disciplins\" SET \"TypeDis\" = NULL WHERE \"Ndis\" = 9")
            << QStringLiteral("DELETE FROM \"Disciplins\" WHERE \"Ndis\" = 9")
            << QStringLiteral("9")
            << QString::fromUtf8(
                   "{\"Ndis\":9,\"NameDis\":\"Теория \\\"игр\\\" \\\\ 1\",\"TypeDis\":2}")
            << QString::fromUtf8(
                   "{\"Ndis\":9,\"NameDis\":\"Теория \\\"игр\\\" \\\\ 1\",\"TypeDis\":null}");
    }
    void serverTriggersLeaveTheSameLines() {
        QFETCH(QString, table);
        QFETCH(QString, insert);
        QFETCH(QString, update);
        QFETCH(QString, remove);
        QFETCH(QString, key);
        QFETCH(QString, added);
        QFETCH(QString, changed);
        QVERIFY2(PgTestServer::shared().start(), qPrintable(PgTestServer::shared().error()));
        ServerRegister r;
        const qint64 before = r.lastLine();
        r.connection().execute(insert);
        const QString rowId =
            r.scalar(QStringLiteral("SELECT max(\"rowid\") FROM %1").arg(quoteIdentifier(table)));
        r.connection().execute(update);
        r.connection().execute(remove);
        QCOMPARE(r.linesAfter(before),
                 QStringLiteral("%1|%2|%3|insert|NULL|%4\n%1|%2|%3|update|%4|%5\n"
                                "%1|%2|%3|delete|%5|NULL")
                     .arg(table, key, rowId, added, changed));
        const QString moment = r.scalar(QStringLiteral(
            "SELECT \"Moment\" FROM \"Journal\" ORDER BY \"ID_Journal\" DESC LIMIT 1"));
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"))
                     .match(moment)
                     .hasMatch(),
                 qPrintable(moment));
        // UTC, not the server's zone.
        const QDateTime at = QDateTime::fromString(moment, Qt::ISODateWithMs);
        QVERIFY2(qAbs(at.secsTo(QDateTime::currentDateTimeUtc())) < 3600, qPrintable(moment));
    }

    void serverLeavesNoLineForNoChangeOrAFailedOne() {
        QVERIFY2(PgTestServer::shared().start(), qPrintable(PgTestServer::shared().error()));
        ServerRegister r;
        const qint64 before = r.lastLine();
        QVERIFY(before > 0);
        r.connection().execute(
            QStringLiteral("UPDATE \"Studenti\" SET \"Fam\" = \"Fam\", \"Name\" = \"Name\""));
        QCOMPARE(r.lastLine(), before);
        QVERIFY(!refusal([&] {
                     r.connection().execute(QStringLiteral(
                         "INSERT INTO \"Gruppa\" (\"ID_GRoup\", \"Nazvanie\") VALUES (5, 'x')"));
                 }).isEmpty());
        QCOMPARE(r.linesAfter(before), QString());
    }

    void serverKeepsBytesAsHex() {
        QVERIFY2(PgTestServer::shared().start(), qPrintable(PgTestServer::shared().error()));
        ServerRegister r;
        PgConnection& c = r.connection();
        // A column the program does not know, added to the table by another program.
        c.execute(QStringLiteral("ALTER TABLE \"Parents\" ADD COLUMN \"Scan\" bytea"));
        journal::removeTriggers(c);
        QVERIFY(!journal::complete(c));
        journal::add(c);
        const qint64 before = r.lastLine();
        auto insert = c.prepare(
            QString::fromUtf8("INSERT INTO \"Parents\" (\"PFam\", \"Scan\") VALUES ('Орлов', ?)"));
        insert->bind(1, QByteArray("\x00\xff\x10", 3));
        insert->step();
        const QString rowId = r.scalar(QStringLiteral("SELECT max(\"rowid\") FROM \"Parents\""));
        QCOMPARE(
            r.linesAfter(before),
            QString::fromUtf8("Parents|%1|%1|insert|NULL|{\"PFam\":\"Орлов\",\"Pname\":null,"
                              "\"PSecondName\":null,\"City\":null,\"Street\":null,\"House\":null,"
                              "\"Apar\":null,\"Sex\":null,\"N_Student\":null,"
                              "\"Scan\":{\"blob\":\"00FF10\"}}")
                .arg(rowId));
    }

    void serverInstallAddsOnlyWhatIsMissing() {
        QVERIFY2(PgTestServer::shared().start(), qPrintable(PgTestServer::shared().error()));
        ServerRegister r;
        PgConnection& c = r.connection();
        QVERIFY(journal::complete(c));
        c.execute(QStringLiteral("DROP TRIGGER \"Journal_Gruppa_update\" ON \"Gruppa\""));
        QVERIFY(!journal::complete(c));
        journal::add(c);
        QVERIFY(journal::complete(c));
        journal::add(c);
        const qint64 before = r.lastLine();
        c.execute(QStringLiteral("UPDATE \"Gruppa\" SET \"ID_Kyrator\" = 4"));
        c.execute(QString::fromUtf8(
            "INSERT INTO \"Gruppa\" (\"ID_GRoup\", \"Nazvanie\") VALUES (6, 'МАТ-25')"));
        const QStringList lines = r.linesAfter(before).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(QStringLiteral("Gruppa|5|1|update|")), qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(QStringLiteral("Gruppa|6|2|insert|NULL|")),
                 qPrintable(lines[1]));
    }

    void pruneRemovesTheLinesBeforeADay() {
        Register r;
        const qint64 all = r.sql(QStringLiteral("SELECT count(*) FROM Journal")).toLongLong();
        QVERIFY(all >= 5);
        // Two lines from last spring, as an office's journal would hold them.
        QCOMPARE(
            r.sql(QStringLiteral(
                "UPDATE Journal SET Moment = '2026-03-01T10:00:00.000Z' WHERE ID_Journal <= 2")),
            QString());
        QVERIFY(prune(r.path(), QDate(2026, 3, 2))
                    .contains(QStringLiteral(": 2 journal lines before 02.03.2026 removed")));
        QCOMPARE(r.sql(QStringLiteral("SELECT count(*) FROM Journal")).toLongLong(), all - 2);
        QVERIFY(prune(r.path(), QDate(2026, 3, 2)).contains(QStringLiteral(": 0 journal lines")));
    }
};

QTEST_GUILESS_MAIN(JournalTest)
#include "tst_journal.moc"
