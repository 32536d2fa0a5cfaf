// tessaly-db run as a program: the files it creates conform to the schema and
// hold what the program needs (links that resolve, reference texts, grades that
// follow the plans, photos named in the Foto columns), it never overwrites or
// creates a file it should not, check tells a sound database from a damaged or
// foreign one, and the exit statuses tell usage errors from failed work. On a
// server database (the shared throw-away PostgreSQL server) it creates and
// checks the same tables, and copy takes every row from a file to the server
// and back, counters and journal kept, or refuses and writes nothing.
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <map>
#include <set>

#include "Connection.h"
#include "FileBytes.h"
#include "Journal.h"
#include "PgConnection.h"
#include "PgTestServer.h"
#include "Schema.h"
#include "ToolRun.h"

namespace {

// The text of a PDF as pdftotext lays it out; empty when it cannot be read.
QString pdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A second connection to a file the tool wrote.
class Db {
public:
    explicit Db(const QString& path) : m_c(path) { m_c.open(); }
    SqliteConnection& connection() { return m_c; }
    QStringList rows(const QString& sql) {
        QStringList out;
        auto st = m_c.prepare(sql);
        while (st->step()) {
            QStringList cells;
            for (int i = 0; i < st->columnCount(); ++i) cells << st->columnValue(i).toString();
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }
    QVariant scalar(const QString& sql) {
        auto st = m_c.prepare(sql);
        return st->step() ? st->columnValue(0) : QVariant();
    }
    qint64 count(const QString& sql) { return scalar(sql).toLongLong(); }

private:
    SqliteConnection m_c;
};

// The test server's database, for what the tool left there.
class ServerDb {
public:
    ServerDb() : m_c(PgTestServer::shared().conninfo()) { m_c.open(); }
    PgConnection& connection() { return m_c; }
    void execute(const QString& sql) { m_c.execute(sql); }
    QVariant scalar(const QString& sql) {
        auto st = m_c.prepare(sql);
        return st->step() ? st->columnValue(0) : QVariant();
    }
    qint64 count(const QString& table) {
        return scalar(QStringLiteral("SELECT count(*) FROM %1").arg(quoteIdentifier(table)))
            .toLongLong();
    }

private:
    PgConnection m_c;
};

// The test server with its database as new.
bool freshServer() {
    if (!PgTestServer::shared().start()) return false;
    PgTestServer::shared().clear();
    return true;
}

QString server() {
    return PgTestServer::shared().conninfo();
}

// Every row of a file's program tables, journal and counters, in row order, each value
// with its type (so a number copied back as text shows).
QStringList everyRow(const QString& file) {
    SqliteConnection c(file);
    c.open();
    QStringList sql;
    for (const schema::Table& t : schema::tables())
        sql << QStringLiteral("SELECT '%1', rowid, * FROM %2 ORDER BY rowid")
                   .arg(t.name, quoteIdentifier(t.name));
    sql << QStringLiteral("SELECT 'Journal', * FROM Journal ORDER BY ID_Journal")
        << QStringLiteral("SELECT 'sqlite_sequence', * FROM sqlite_sequence ORDER BY name");
    QStringList out;
    for (const QString& q : sql) {
        auto st = c.prepare(q);
        while (st->step()) {
            QStringList cells;
            for (int i = 0; i < st->columnCount(); ++i)
                cells << QString::number(int(st->columnType(i))) + QLatin1Char(':') +
                             st->columnValue(i).toString();
            out << cells.join(QLatin1Char('|'));
        }
    }
    return out;
}

// The year a group entered, from its name ("ИВТ-23" → 2023).
int enterYear(const QString& groupName) {
    const auto m = QRegularExpression(QStringLiteral("-(\\d\\d)")).match(groupName);
    return m.hasMatch() ? 2000 + m.captured(1).toInt() : 0;
}

// December 2026: a group in its k-th course is in semester 2k-1 and has finished the ones before.
int finishedSemesters(int year) {
    return std::min(10, 2 * (2026 - year + 1) - 2);
}

bool resultFitsKontrol(int result, int kontrol) {
    if (kontrol == 2) return result >= 5 && result <= 7;
    return (result >= 1 && result <= 4) || result == 7;
}

}  // namespace

class TessalyDbTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_demo;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_demo = path(QStringLiteral("demo.mdb"));
        const ToolResult r = tool({QStringLiteral("demo"), m_demo});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
    }

    void createMakesAnEmptyDatabaseOfTheSchema() {
        const QString file = path(QStringLiteral("empty.mdb"));
        const ToolResult r = tool({QStringLiteral("create"), file});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QVERIFY(r.out.contains(file));
        Db db(file);
        QCOMPARE(schema::problems(db.connection()), QStringList());
        for (const schema::Table& t : schema::tables())
            QVERIFY2(
                db.count(QStringLiteral("SELECT count(*) FROM %1").arg(quoteIdentifier(t.name))) ==
                    0,
                qPrintable(t.name));
    }

    void newDatabaseCommandsRefuseAnExistingFile_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("content");
        const QByteArray notes("Ведомость: не трогать\n");
        QTest::newRow("create") << QStringList{QStringLiteral("create")} << notes;
        QTest::newRow("demo") << QStringList{QStringLiteral("demo")} << notes;
        QTest::newRow("demo with photos")
            << QStringList{QStringLiteral("demo"), QStringLiteral("--photos"),
                           QStringLiteral("@photos")}
            << notes;
        QTest::newRow("generate") << QStringList{QStringLiteral("generate"),
                                                 QStringLiteral("--students"), QStringLiteral("20")}
                                  << notes;
        QTest::newRow("empty file") << QStringList{QStringLiteral("create")} << QByteArray();
    }
    void newDatabaseCommandsRefuseAnExistingFile() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("verdikon.mdb"));
        writeFile(file, content);
        args.replaceInStrings(QStringLiteral("@photos"), dir.filePath(QStringLiteral("photos")));
        args.insert(1, file);

        const ToolResult r = tool(args);
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(file), qPrintable(r.err));
        QCOMPARE(fileBytes(file), content);
        // Nothing else appeared beside it: no journal, no photo folder.
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{QStringLiteral("verdikon.mdb")});
    }

    void failedWorkExitsOneAndLeavesNoFile_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("mustNotExist");
        // "@" stands for the test's folder.
        QTest::newRow("create in a missing folder")
            << QStringList{QStringLiteral("create"), QStringLiteral("@/none/a.mdb")}
            << QStringLiteral("@/none/a.mdb") << QStringLiteral("@/none");
        QTest::newRow("demo in a missing folder")
            << QStringList{QStringLiteral("demo"), QStringLiteral("@/none/a.mdb")}
            << QStringLiteral("@/none/a.mdb") << QStringLiteral("@/none");
        QTest::newRow("generate in a missing folder")
            << QStringList{QStringLiteral("generate"), QStringLiteral("@/none/a.mdb"),
                           QStringLiteral("--students"), QStringLiteral("10")}
            << QStringLiteral("@/none/a.mdb") << QStringLiteral("@/none");
        QTest::newRow("photo folder under a file")
            << QStringList{QStringLiteral("demo"), QStringLiteral("@/a.mdb"),
                           QStringLiteral("--photos"), QStringLiteral("@/plain.txt/photos")}
            << QStringLiteral("@/plain.txt/photos") << QStringLiteral("@/a.mdb");
        QTest::newRow("check of a missing file")
            << QStringList{QStringLiteral("check"), QStringLiteral("@/missing.mdb")}
            << QStringLiteral("@/missing.mdb") << QStringLiteral("@/missing.mdb");
    }
    void failedWorkExitsOneAndLeavesNoFile() {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        QFETCH(QString, mustNotExist);
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("plain.txt")), "text");
        args.replaceInStrings(QStringLiteral("@"), dir.path());
        named.replace(QStringLiteral("@"), dir.path());
        mustNotExist.replace(QStringLiteral("@"), dir.path());

        const ToolResult r = tool(args);
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(named), qPrintable(r.err));
        QCOMPARE(r.err.trimmed().count(QLatin1Char('\n')), 0);
        QVERIFY(!QFileInfo::exists(mustNotExist));
        QVERIFY(!QFileInfo::exists(mustNotExist + QStringLiteral("-wal")));
    }

    void demoHoldsAFacultyOfRealisticSize_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("minimum");
        QTest::newRow("faculties") << QStringLiteral("SELECT count(*) FROM Facultet") << 2;
        QTest::newRow("deans") << QStringLiteral(
                                      "SELECT count(*) FROM Facultet WHERE ID_Dekan IS NOT NULL")
                               << 2;
        QTest::newRow("departments") << QStringLiteral("SELECT count(*) FROM Kafedra") << 5;
        QTest::newRow("specialties") << QStringLiteral("SELECT count(*) FROM Specialnost") << 4;
        QTest::newRow("groups") << QStringLiteral("SELECT count(*) FROM Gruppa") << 8;
        QTest::newRow("students") << QStringLiteral("SELECT count(*) FROM Studenti") << 150;
        QTest::newRow("students with a parent")
            << QStringLiteral("SELECT count(DISTINCT N_Student) FROM Parents") << 76;
        QTest::newRow("teachers") << QStringLiteral("SELECT count(*) FROM Prepodavateli") << 25;
        QTest::newRow("curators")
            << QStringLiteral("SELECT count(*) FROM Prepodavateli WHERE Kur_Gr IS NOT NULL") << 8;
        QTest::newRow("disciplines") << QStringLiteral("SELECT count(*) FROM Disciplins") << 40;
        QTest::newRow("plan rows") << QStringLiteral("SELECT count(*) FROM PlanSpec") << 40;
        QTest::newRow("grades") << QStringLiteral("SELECT count(*) FROM Ocenki") << 150;
        QTest::newRow("married students")
            << QStringLiteral(
                   "SELECT count(*) FROM Studenti WHERE FamilyPosition = "
                   "'женат(замужем)'")
            << 1;
        QTest::newRow("contract students")
            << QStringLiteral("SELECT count(*) FROM Studenti WHERE Type_Stud = 'Контракт'") << 1;
        QTest::newRow("students of the second subgroup")
            << QStringLiteral("SELECT count(*) FROM Studenti WHERE PodGroupe = 2") << 1;
    }
    void demoHoldsAFacultyOfRealisticSize() {
        QFETCH(QString, sql);
        QFETCH(int, minimum);
        Db db(m_demo);
        const qint64 n = db.count(sql);
        QVERIFY2(n >= minimum, qPrintable(QStringLiteral("%1 < %2").arg(n).arg(minimum)));
    }

    // Each row counts the rows that break one rule the program relies on.
    void demoRowsKeepTheProgramsRules_data() {
        QTest::addColumn<QString>("violations");
        auto rule = [](const char* name, const char* sql) {
            QTest::newRow(name) << QString::fromUtf8(sql);
        };
        rule("student of no group",
             "SELECT count(*) FROM Studenti WHERE ID_group IS NULL OR ID_group NOT IN "
             "(SELECT ID_GRoup FROM Gruppa)");
        rule("group of no specialty",
             "SELECT count(*) FROM Gruppa WHERE ID_Specialnost IS NULL OR ID_Specialnost NOT IN "
             "(SELECT ID_Spec FROM Specialnost)");
        rule("curator who is no teacher",
             "SELECT count(*) FROM Gruppa WHERE ID_Kyrator IS NULL OR ID_Kyrator NOT IN "
             "(SELECT ID_Prepod FROM Prepodavateli)");
        rule("curator whose Kur_Gr names another group",
             "SELECT count(*) FROM Prepodavateli p WHERE Kur_Gr IS NOT NULL AND NOT EXISTS "
             "(SELECT 1 FROM Gruppa g WHERE g.ID_GRoup = p.Kur_Gr AND g.ID_Kyrator = p.ID_Prepod)");
        rule("group head from another group",
             "SELECT count(*) FROM Gruppa g WHERE ID_Starosta IS NOT NULL AND NOT EXISTS "
             "(SELECT 1 FROM Studenti s WHERE s.N_student = g.ID_Starosta AND s.ID_group = "
             "g.ID_GRoup)");
        rule("specialty of no faculty",
             "SELECT count(*) FROM Specialnost WHERE ID_Facultet NOT IN "
             "(SELECT ID_Facultet FROM Facultet)");
        rule("specialty code not six digits",
             "SELECT count(*) FROM Specialnost WHERE typeof(ID_Spec) <> 'text' OR ID_Spec NOT "
             "GLOB '[0-9][0-9][0-9][0-9][0-9][0-9]'");
        rule("dean who is no teacher",
             "SELECT count(*) FROM Facultet WHERE ID_Dekan NOT IN "
             "(SELECT ID_Prepod FROM Prepodavateli)");
        rule("department of no faculty",
             "SELECT count(*) FROM Kafedra WHERE ID_facultet NOT IN "
             "(SELECT ID_Facultet FROM Facultet)");
        rule("department number repeated",
             "SELECT count(*) - count(DISTINCT ID_kafedra) FROM Kafedra");
        rule("department head who is no teacher",
             "SELECT count(*) FROM Kafedra WHERE Zav_Kafedri IS NOT NULL AND Zav_Kafedri NOT IN "
             "(SELECT ID_Prepod FROM Prepodavateli)");
        rule("teacher of no department",
             "SELECT count(*) FROM Prepodavateli WHERE ID_kafedra NOT IN "
             "(SELECT ID_kafedra FROM Kafedra)");
        rule("teacher number repeated",
             "SELECT count(*) - count(DISTINCT ID_Prepod) FROM Prepodavateli");
        rule("teacher with a name part missing",
             "SELECT count(*) FROM Prepodavateli WHERE \"Фамилия\" IS NULL OR \"Имя\" IS NULL OR "
             "\"Отчество\" IS NULL OR \"День рождения\" IS NULL OR \"Место рожд\" IS NULL OR "
             "\"Гражданство\" IS NULL");
        rule("teacher sex not м or ж",
             "SELECT count(*) FROM Prepodavateli WHERE \"Пол\" IS NULL OR \"Пол\" NOT IN ('м', "
             "'ж')");
        rule("position not in Dolgnost",
             "SELECT count(*) FROM Prepodavateli WHERE \"Должность\" IS NULL OR \"Должность\" NOT "
             "IN (SELECT ID_Dolgnost FROM Dolgnost)");
        rule("rank not a text naming N_Zvanie",
             "SELECT count(*) FROM Prepodavateli WHERE \"Звание\" IS NOT NULL AND "
             "(typeof(\"Звание\") <> 'text' OR \"Звание\" NOT IN "
             "(SELECT CAST(ID_Zvanie AS TEXT) FROM N_Zvanie))");
        rule("degree not a text naming N_Stepen",
             "SELECT count(*) FROM Prepodavateli WHERE \"Степень\" IS NOT NULL AND "
             "(typeof(\"Степень\") <> 'text' OR \"Степень\" NOT IN "
             "(SELECT CAST(ID_Stepen AS TEXT) FROM N_Stepen))");
        rule("no teacher with a rank",
             "SELECT count(*) = 0 FROM Prepodavateli WHERE \"Звание\" IS NOT NULL");
        rule("record-book number not seven digits",
             "SELECT count(*) FROM Studenti WHERE typeof(N_student) <> 'text' OR N_student NOT "
             "GLOB '[0-9][0-9][0-9][0-9][0-9][0-9][0-9]'");
        rule("record-book number repeated",
             "SELECT count(*) - count(DISTINCT N_student) FROM Studenti");
        rule("student with a name part missing",
             "SELECT count(*) FROM Studenti WHERE Fam IS NULL OR Name IS NULL OR SecName IS NULL "
             "OR BirthDate IS NULL OR City IS NULL OR Citizen IS NULL");
        rule("sex that does not match the patronymic",
             "SELECT count(*) FROM Studenti WHERE NOT ((Sex = 'М' AND SecName LIKE '%ич') OR "
             "(Sex = 'Ж' AND SecName LIKE '%на'))");
        rule("birth date not ISO",
             "SELECT count(*) FROM Studenti WHERE BirthDate IS NOT date(BirthDate)");
        rule("kind of study not Бюджет or Контракт",
             "SELECT count(*) FROM Studenti WHERE Type_Stud NOT IN ('Бюджет', 'Контракт')");
        rule("family position outside the two",
             "SELECT count(*) FROM Studenti WHERE FamilyPosition NOT IN ('холост(не замужем)', "
             "'женат(замужем)')");
        rule("subgroup not 1 or 2",
             "SELECT count(*) FROM Studenti WHERE PodGroupe IS NULL OR PodGroupe NOT IN (1, 2)");
        rule("parent of no student",
             "SELECT count(*) FROM Parents WHERE N_Student NOT IN (SELECT N_student FROM "
             "Studenti)");
        rule("parent sex not М or Ж",
             "SELECT count(*) FROM Parents WHERE Sex IS NULL OR Sex NOT IN ('М', 'Ж')");
        rule("plan of no specialty",
             "SELECT count(*) FROM PlanSpec WHERE ID_Spec NOT IN (SELECT ID_Spec FROM "
             "Specialnost)");
        rule("plan of no discipline",
             "SELECT count(*) FROM PlanSpec WHERE Ndis NOT IN (SELECT Ndis FROM Disciplins)");
        rule("plan of no kind of assessment",
             "SELECT count(*) FROM PlanSpec WHERE ID_Kontrol NOT IN (SELECT ID_KONTROL FROM "
             "ID_kontrol)");
        rule("plan without hours",
             "SELECT count(*) FROM PlanSpec WHERE Time_Lekcii IS NULL OR Time_Prakt IS NULL OR "
             "Time_Lekcii + Time_Prakt = 0");
        rule("specialty without all ten semesters",
             "SELECT count(*) FROM Specialnost s WHERE (SELECT count(DISTINCT Semestr) FROM "
             "PlanSpec p WHERE p.ID_Spec = s.ID_Spec AND Semestr BETWEEN 1 AND 10) <> 10");
        rule("result without a short name",
             "SELECT count(*) FROM ID_Result WHERE Sokr_nazv IS NULL");
        rule("photo named without --photos",
             "SELECT (SELECT count(*) FROM Studenti WHERE Foto IS NOT NULL) + "
             "(SELECT count(*) FROM Prepodavateli WHERE Foto IS NOT NULL)");
    }
    void demoRowsKeepTheProgramsRules() {
        QFETCH(QString, violations);
        Db db(m_demo);
        QCOMPARE(schema::problems(db.connection()), QStringList());
        QCOMPARE(db.count(violations), 0);
    }

    void demoReferenceTablesHoldTheirTexts_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("exact");
        auto texts = [](std::initializer_list<const char*> items) {
            QStringList out;
            for (const char* s : items) out << QString::fromUtf8(s);
            return out;
        };
        QTest::newRow("kinds of assessment")
            << QStringLiteral("SELECT ID_KONTROL, Nazvanie FROM ID_kontrol ORDER BY 1")
            << texts({"1|Экзамен", "2|Зачет", "3|Дифференцированный зачет", "4|Курсовая работа"})
            << true;
        QTest::newRow("results") << QStringLiteral(
                                        "SELECT ID_Result, Nazvanie FROM ID_Result ORDER BY 1")
                                 << texts({"1|Отлично", "2|Хорошо", "3|Удовлетворительно",
                                           "4|Неудовлетворительно", "5|Зачтено", "6|Не зачтено",
                                           "7|Неявка"})
                                 << true;
        QTest::newRow("positions")
            << QStringLiteral("SELECT SNAME, NAME FROM Dolgnost ORDER BY ID_Dolgnost")
            << texts({"асс.|Ассистент", "ст. преп.|Старший преподаватель", "доц.|Доцент",
                      "проф.|Профессор", "зав. каф.|Заведующий кафедрой"})
            << true;
        QTest::newRow("ranks") << QStringLiteral("SELECT NAME FROM N_Zvanie")
                               << texts({"Доцент", "Профессор", "Старший научный сотрудник"})
                               << false;
        QTest::newRow("degrees") << QStringLiteral("SELECT SNAME, NAME FROM N_Stepen")
                                 << texts({"к.т.н.|Кандидат технических наук",
                                           "д.т.н.|Доктор технических наук"})
                                 << false;
    }
    void demoReferenceTablesHoldTheirTexts() {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QFETCH(bool, exact);
        Db db(m_demo);
        const QStringList actual = db.rows(sql);
        if (exact) {
            QCOMPARE(actual, expected);
        } else {
            for (const QString& e : expected)
                QVERIFY2(actual.contains(e), qPrintable(e + QStringLiteral(" not in ") +
                                                        actual.join(QStringLiteral("; "))));
        }
    }

    void demoGradesCoverTheFinishedSemestersOfEachGroup() {
        Db db(m_demo);
        // Group → (enter year, specialty).
        std::map<int, std::pair<int, QString>> groups;
        for (const QString& row :
             db.rows(QStringLiteral("SELECT ID_GRoup, Nazvanie, ID_Specialnost FROM Gruppa"))) {
            const QStringList c = row.split(QLatin1Char('|'));
            QVERIFY2(enterYear(c[1]) >= 2020 && enterYear(c[1]) <= 2026, qPrintable(c[1]));
            groups[c[0].toInt()] = {enterYear(c[1]), c[2]};
        }
        // Every grade: its student's group has finished that semester, the plan row is of
        // the group's specialty and of that semester, the result fits the assessment.
        std::map<QString, std::set<int>> semestersByStudent;
        std::map<std::pair<QString, int>, int> perSemester;
        const QStringList grades = db.rows(QStringLiteral(
            "SELECT o.N_student, s.ID_group, o.Semestr, p.Semestr, p.ID_Spec, o.ID_Result, "
            "p.ID_Kontrol, o.Date FROM Ocenki o JOIN Studenti s ON s.N_student = o.N_student "
            "LEFT JOIN PlanSpec p ON p.ID_Plan = o.ID_Plan"));
        QCOMPARE(grades.size(), int(db.count(QStringLiteral("SELECT count(*) FROM Ocenki"))));
        for (const QString& row : grades) {
            const QStringList c = row.split(QLatin1Char('|'));
            const auto& group = groups.at(c[1].toInt());
            const int semester = c[2].toInt();
            QVERIFY2(semester >= 1 && semester <= finishedSemesters(group.first), qPrintable(row));
            QVERIFY2(c[3] == c[2] && c[4] == group.second, qPrintable(row));
            QVERIFY2(resultFitsKontrol(c[5].toInt(), c[6].toInt()), qPrintable(row));
            const QDate date = QDate::fromString(c[7], Qt::ISODate);
            QVERIFY2(date.isValid() && date < QDate(2026, 12, 1) && date > QDate(group.first, 9, 1),
                     qPrintable(row));
            semestersByStudent[c[0]].insert(semester);
            ++perSemester[{c[0], semester}];
        }
        // Every student of a group past its first semester has a full sheet for each finished one.
        int seniorGroups = 0;
        for (const QString& row :
             db.rows(QStringLiteral("SELECT N_student, ID_group FROM Studenti"))) {
            const QStringList c = row.split(QLatin1Char('|'));
            const auto& group = groups.at(c[1].toInt());
            const int finished = finishedSemesters(group.first);
            std::set<int> expected;
            for (int s = 1; s <= finished; ++s) expected.insert(s);
            QVERIFY2(semestersByStudent[c[0]] == expected, qPrintable(row));
            for (int s = 1; s <= finished; ++s) {
                const int graded = perSemester[std::make_pair(c[0], s)];
                QCOMPARE(graded, int(db.count(QStringLiteral("SELECT count(*) FROM PlanSpec WHERE "
                                                             "ID_Spec = '%1' AND Semestr = %2")
                                                  .arg(group.second)
                                                  .arg(s))));
            }
        }
        for (const auto& [id, group] : groups) seniorGroups += finishedSemesters(group.first) >= 6;
        QVERIFY(seniorGroups >= 1);
        // First-course groups exist and have no grades.
        QVERIFY(std::any_of(groups.begin(), groups.end(),
                            [](const auto& g) { return finishedSemesters(g.second.first) == 0; }));
    }

    void demoIsTheSameOnEveryRun() {
        const QString again = path(QStringLiteral("demo-again.mdb"));
        const ToolResult r = tool({QStringLiteral("demo"), again});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        Db first(m_demo);
        Db second(again);
        for (const char* sql :
             {"SELECT * FROM Studenti ORDER BY N_student", "SELECT * FROM Ocenki ORDER BY rowid",
              "SELECT * FROM Prepodavateli ORDER BY ID_Prepod",
              "SELECT * FROM Parents ORDER BY rowid"})
            QCOMPARE(second.rows(QString::fromUtf8(sql)), first.rows(QString::fromUtf8(sql)));
    }

    void demoPhotosLoadAndMatchTheFotoColumn() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("verdikon.mdb"));
        const QString photos = dir.filePath(QStringLiteral("Фото архив"));
        const ToolResult r =
            tool({QStringLiteral("demo"), file, QStringLiteral("--photos"), photos});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        Db db(file);
        struct Kind {
            QString folder;
            QString sql;
        };
        const Kind kinds[] = {
            {QDir(photos).filePath(QStringLiteral("Foto")),
             QStringLiteral("SELECT N_student, Foto FROM Studenti")},
            {QDir(photos).filePath(QStringLiteral("Foto/Prepod")),
             QStringLiteral("SELECT ID_Prepod, Foto FROM Prepodavateli")},
        };
        for (const Kind& kind : kinds) {
            QSet<QString> named;
            int without = 0;
            for (const QString& row : db.rows(kind.sql)) {
                const QStringList c = row.split(QLatin1Char('|'));
                if (c[1].isEmpty()) {
                    ++without;
                    continue;
                }
                // The file name alone: the key and the extension.
                QVERIFY2(
                    c[1] == c[0] + QStringLiteral(".jpg") || c[1] == c[0] + QStringLiteral(".BMP"),
                    qPrintable(row));
                named.insert(c[1]);
                const QString photo = QDir(kind.folder).filePath(c[1]);
                QImageReader reader(photo);
                reader.setDecideFormatFromContent(true);
                const QByteArray format = c[1].endsWith(QStringLiteral(".jpg")) ? "jpeg" : "bmp";
                QCOMPARE(reader.format(), format);
                const QImage image = reader.read();
                QVERIFY2(!image.isNull(),
                         qPrintable(photo + QStringLiteral(": ") + reader.errorString()));
                QVERIFY(image.width() >= 80 && image.width() <= 200);
                QVERIFY(image.height() > image.width());
                // A drawing, not a blank: the corner (background) differs from the middle (face).
                QVERIFY(image.pixel(2, 2) != image.pixel(image.width() / 2, image.height() / 2));
            }
            QVERIFY2(without > 0, qPrintable(kind.folder));
            const QStringList files = QDir(kind.folder).entryList(QDir::Files);
            QCOMPARE(QSet<QString>(files.begin(), files.end()), named);
            QVERIFY(std::any_of(named.begin(), named.end(), [](const QString& n) {
                return n.endsWith(QStringLiteral(".jpg"));
            }));
            QVERIFY(std::any_of(named.begin(), named.end(), [](const QString& n) {
                return n.endsWith(QStringLiteral(".BMP"));
            }));
        }
    }

    void checkPassesOnTheDemo() {
        const ToolResult r = tool({QStringLiteral("check"), m_demo});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QVERIFY(r.err.isEmpty());
        QCOMPARE(r.out.trimmed().count(QLatin1Char('\n')), 0);
        QVERIFY(r.out.contains(m_demo));
        QVERIFY2(r.out.contains(QStringLiteral("150 students")), qPrintable(r.out));
    }

    void checkNamesWhatIsWrong_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("named");
        QTest::newRow("missing table")
            << QStringLiteral("DROP TABLE Parents") << QStringLiteral("Parents");
        // The journal's triggers name every column: they go first.
        QTest::newRow("missing column") << QStringLiteral(
                                               "DROP TRIGGER Journal_Studenti_insert; "
                                               "DROP TRIGGER Journal_Studenti_update; "
                                               "DROP TRIGGER Journal_Studenti_delete; "
                                               "ALTER TABLE Studenti DROP COLUMN Foto")
                                        << QStringLiteral("Studenti.Foto");
        QTest::newRow("column of another type")
            << QStringLiteral(
                   "DROP TABLE Disciplins; CREATE TABLE Disciplins (Ndis INTEGER "
                   "PRIMARY KEY, NameDis TEXT(150), TypeDis DATETIME)")
            << QStringLiteral("Disciplins.TypeDis");
        QTest::newRow("damaged index page")
            << QStringLiteral("@page") << QStringLiteral("integrity");
        QTest::newRow("not a database") << QStringLiteral("@text") << QStringLiteral("database");
        QTest::newRow("empty file") << QStringLiteral("@empty") << QStringLiteral("Studenti");
    }
    void checkNamesWhatIsWrong() {
        QFETCH(QString, damage);
        QFETCH(QString, named);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("verdikon.mdb"));
        if (damage == QLatin1String("@text")) {
            writeFile(file, "Фамилия;Имя\nИванов;Иван\n");
        } else if (damage == QLatin1String("@empty")) {
            writeFile(file, QByteArray());
        } else {
            QVERIFY(QFile::copy(m_demo, file));
            qint64 page = 0, pageSize = 0;
            {
                Db db(file);
                if (damage == QLatin1String("@page")) {
                    page = db.count(QStringLiteral(
                        "SELECT rootpage FROM sqlite_schema WHERE name = 'Ocenki_N_student'"));
                    pageSize = db.count(QStringLiteral("PRAGMA page_size"));
                } else {
                    db.connection().execute(damage);
                }
            }
            if (page > 0) {
                // The cells at the end of the index's root page become garbage.
                QByteArray bytes = fileBytes(file);
                QVERIFY(bytes.size() >= page * pageSize);
                bytes.replace(page * pageSize - 300, 300, QByteArray(300, '\xff'));
                writeFile(file, bytes);
            }
        }
        const QByteArray before = fileBytes(file);

        const ToolResult r = tool({QStringLiteral("check"), file});
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(file) && r.err.contains(named), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(fileBytes(file), before);
    }

    void generateFillsEveryTableInProportion() {
        const QString file = path(QStringLiteral("generated.mdb"));
        const ToolResult r = tool({QStringLiteral("generate"), file, QStringLiteral("--students"),
                                   QStringLiteral("200")});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        Db db(file);
        QCOMPARE(schema::problems(db.connection()), QStringList());
        QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM Studenti")), 200);
        QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM Ocenki")), 200 * 50);
        QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM (SELECT N_student FROM Ocenki "
                                         "GROUP BY N_student HAVING count(*) <> 50 OR "
                                         "count(DISTINCT Semestr) <> 10)")),
                 0);
        QCOMPARE(db.count(QStringLiteral("SELECT count(DISTINCT N_student) FROM Studenti WHERE "
                                         "N_student GLOB '[0-9][0-9][0-9][0-9][0-9][0-9][0-9]'")),
                 200);
        const qint64 specialties = db.count(QStringLiteral("SELECT count(*) FROM Specialnost"));
        QVERIFY(specialties >= 1);
        QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM PlanSpec")), specialties * 50);
        QVERIFY(db.count(QStringLiteral("SELECT count(*) FROM Disciplins")) >= 40);
        QVERIFY(db.count(QStringLiteral("SELECT count(*) FROM Prepodavateli")) >= 4);
        QVERIFY(db.count(QStringLiteral("SELECT count(*) FROM Gruppa")) >= 6);
        QVERIFY(db.count(QStringLiteral("SELECT count(*) FROM Facultet")) >= 1);
        QVERIFY(db.count(QStringLiteral("SELECT count(*) FROM Kafedra")) >= 1);
        QCOMPARE(
            db.rows(QStringLiteral("SELECT ID_Result, Nazvanie FROM ID_Result ORDER BY 1")).size(),
            7);
        // Grades follow the plan of the student's specialty, semester by semester.
        QCOMPARE(db.count(QStringLiteral(
                     "SELECT count(*) FROM Ocenki o JOIN Studenti s ON s.N_student = o.N_student "
                     "JOIN Gruppa g ON g.ID_GRoup = s.ID_group LEFT JOIN PlanSpec p ON p.ID_Plan "
                     "= o.ID_Plan WHERE p.ID_Spec IS NOT g.ID_Specialnost OR p.Semestr IS NOT "
                     "o.Semestr OR (p.ID_Kontrol = 2 AND o.ID_Result NOT IN (5, 6, 7)) OR "
                     "(p.ID_Kontrol <> 2 AND o.ID_Result NOT IN (1, 2, 3, 4, 7))")),
                 0);
        QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM Studenti WHERE ID_group NOT IN "
                                         "(SELECT ID_GRoup FROM Gruppa)")),
                 0);
        const ToolResult checked = tool({QStringLiteral("check"), file});
        QVERIFY2(checked.code == 0, qPrintable(describe(checked)));
    }

    void createOnServerThenCheckIsClean() {
        QVERIFY2(freshServer(), qPrintable(PgTestServer::shared().error()));
        const ToolResult r = tool({QStringLiteral("create"), QStringLiteral("--server"), server()});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QVERIFY2(r.out.contains(QStringLiteral("created, 15 tables and the journal, 0 students")),
                 qPrintable(r.out));
        {
            ServerDb db;
            QCOMPARE(schema::problems(db.connection()), QStringList());
            QVERIFY(journal::complete(db.connection()));
            // The hidden row id comes first, an identity column.
            const auto columns = schema::serverColumns(db.connection(), QStringLiteral("Ocenki"));
            QVERIFY(!columns.empty());
            QCOMPARE(columns.front().name, QStringLiteral("rowid"));
            QVERIFY(columns.front().identity);
        }
        const ToolResult checked =
            tool({QStringLiteral("check"), QStringLiteral("--server=") + server()});
        QVERIFY2(checked.code == 0 && checked.err.isEmpty(), qPrintable(describe(checked)));
        QVERIFY2(checked.out.contains(QStringLiteral("ok, 15 tables and the journal")),
                 qPrintable(checked.out));

        // A second create finds the tables and leaves them as they are.
        ServerDb db;
        db.execute(
            QString::fromUtf8("INSERT INTO \"Facultet\" (\"Nazvanie\") VALUES ('Физический')"));
        const ToolResult again =
            tool({QStringLiteral("create"), QStringLiteral("--server"), server()});
        QVERIFY2(again.code == 1 &&
                     again.err.contains(QStringLiteral("already has the program's tables")),
                 qPrintable(describe(again)));
        QCOMPARE(db.count(QStringLiteral("Facultet")), 1);
        QCOMPARE(db.count(QStringLiteral("Journal")), 1);
    }

    void checkOnServerNamesWhatIsWrong_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("named");
        QTest::newRow("missing table") << QStringLiteral("DROP TABLE \"Parents\"")
                                       << QStringLiteral("table Parents is missing");
        QTest::newRow("missing column")
            << QStringLiteral("ALTER TABLE \"Studenti\" DROP COLUMN \"Foto\"")
            << QStringLiteral("column Studenti.Foto is missing");
        QTest::newRow("column of another type")
            << QStringLiteral(
                   "ALTER TABLE \"Disciplins\" ALTER COLUMN \"TypeDis\" TYPE timestamp "
                   "USING NULL")
            << QStringLiteral("column Disciplins.TypeDis has type timestamp without time zone");
        QTest::newRow("counter that is no identity")
            << QStringLiteral("ALTER TABLE \"Gruppa\" ALTER COLUMN \"ID_GRoup\" DROP IDENTITY")
            << QStringLiteral("column Gruppa.ID_GRoup is not a counter");
        QTest::newRow("counter that is no key")
            << QStringLiteral("ALTER TABLE \"N_Stepen\" DROP CONSTRAINT \"N_Stepen_pkey\"")
            << QStringLiteral("column N_Stepen.ID_Stepen is not a counter");
        QTest::newRow("no hidden row id")
            << QStringLiteral("ALTER TABLE \"Ocenki\" DROP COLUMN \"rowid\"")
            << QStringLiteral("column Ocenki.rowid (the hidden row id) is missing");
    }
    void checkOnServerNamesWhatIsWrong() {
        QFETCH(QString, damage);
        QFETCH(QString, named);
        QVERIFY2(freshServer(), qPrintable(PgTestServer::shared().error()));
        const ToolResult created =
            tool({QStringLiteral("create"), QStringLiteral("--server"), server()});
        QVERIFY2(created.code == 0, qPrintable(describe(created)));
        ServerDb().execute(damage);
        const ToolResult r = tool({QStringLiteral("check"), QStringLiteral("--server"), server()});
        QVERIFY2(r.code == 1 && r.out.isEmpty(), qPrintable(describe(r)));
        QVERIFY2(
            r.err.contains(PgConnection::shownConninfo(server()) + QStringLiteral(": ") + named),
            qPrintable(r.err));
        QCOMPARE(r.err.trimmed().count(QLatin1Char('\n')), 0);
    }

    void serverCommandsCarryLibpqTextWhenTheServerIsUnreachable_data() {
        QTest::addColumn<QStringList>("args");
        const QString nowhere = QStringLiteral("host=@/no-server dbname=verdikon");
        const QString serverOption = QStringLiteral("--server");
        QTest::newRow("create") << QStringList{QStringLiteral("create"), serverOption, nowhere};
        QTest::newRow("check") << QStringList{QStringLiteral("check"), serverOption, nowhere};
        QTest::newRow("copy into")
            << QStringList{QStringLiteral("copy"), QStringLiteral("#demo"), serverOption, nowhere};
        QTest::newRow("copy from") << QStringList{QStringLiteral("copy"), serverOption, nowhere,
                                                  QStringLiteral("@/copy.mdb")};
    }
    void serverCommandsCarryLibpqTextWhenTheServerIsUnreachable() {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        args.replaceInStrings(QStringLiteral("@"), dir.path());
        args.replaceInStrings(QStringLiteral("#demo"), m_demo);
        const QByteArray demo = fileBytes(m_demo);
        const ToolResult r = tool(args);
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        // libpq names the socket it could not reach.
        QVERIFY2(r.err.contains(QStringLiteral("Cannot open database")) &&
                     r.err.contains(dir.path() + QStringLiteral("/no-server")),
                 qPrintable(r.err));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
        QCOMPARE(fileBytes(m_demo), demo);
    }

    void copyFileToServerAndBackKeepsEveryRow_data() {
        QTest::addColumn<int>("students");  // 0: the demo
        QTest::newRow("demo") << 0;
        // Tables of many batches, the last one short.
        QTest::newRow("generated") << 700;
    }
    void copyFileToServerAndBackKeepsEveryRow() {
        QFETCH(int, students);
        QVERIFY2(freshServer(), qPrintable(PgTestServer::shared().error()));
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("source.mdb"));
        if (students == 0) {
            QVERIFY(QFile::copy(m_demo, source));
        } else {
            const ToolResult made = tool({QStringLiteral("generate"), source,
                                          QStringLiteral("--students"), QString::number(students)});
            QVERIFY2(made.code == 0, qPrintable(describe(made)));
        }
        qint64 lastGroup = 0, lastGrade = 0;
        {
            // Lines in the journal, a counter past its highest row and a date with a time.
            Db db(source);
            lastGroup = db.count(QStringLiteral("SELECT max(ID_GRoup) FROM Gruppa"));
            db.connection().execute(QString::fromUtf8(
                "UPDATE Studenti SET Fam = 'Заменова' WHERE N_student = (SELECT min(N_student) "
                "FROM Studenti);"
                "DELETE FROM Gruppa WHERE ID_GRoup = (SELECT max(ID_GRoup) FROM Gruppa);"
                "INSERT INTO Ocenki (N_student, Date, ID_Result, ID_Plan, Semestr) "
                "VALUES ('2401001', '2025-01-14 10:30:00', 3, 8, 1)"));
            lastGrade = db.count(QStringLiteral("SELECT max(rowid) FROM Ocenki"));
            QCOMPARE(db.count(QStringLiteral("SELECT count(*) FROM Journal")), 3);
        }
        const ToolResult into =
            tool({QStringLiteral("copy"), source, QStringLiteral("--server"), server()});
        QVERIFY2(into.code == 0, qPrintable(describe(into)));
        QVERIFY2(into.out.contains(QStringLiteral("15 tables")) &&
                     into.out.contains(QStringLiteral("3 journal lines")),
                 qPrintable(into.out));
        const ToolResult checked =
            tool({QStringLiteral("check"), QStringLiteral("--server"), server()});
        QVERIFY2(
            checked.code == 0 && checked.out.contains(QStringLiteral("and the journal, %1 students")
                                                          .arg(students == 0 ? 150 : students)),
            qPrintable(describe(checked)));
        {
            ServerDb db;
            // The copy wrote no line of its own.
            QCOMPARE(db.count(QStringLiteral("Journal")), 3);
            QCOMPARE(db.scalar(QStringLiteral("SELECT \"Date\"::text FROM \"Ocenki\" WHERE "
                                              "\"rowid\" = %1")
                                   .arg(lastGrade))
                         .toString(),
                     QStringLiteral("2025-01-14 10:30:00"));
        }

        const QString back = dir.filePath(QStringLiteral("back.mdb"));
        const ToolResult out =
            tool({QStringLiteral("copy"), QStringLiteral("--server"), server(), back});
        QVERIFY2(out.code == 0, qPrintable(describe(out)));
        const QStringList expected = everyRow(source);
        QVERIFY(expected.size() > 3000);
        QCOMPARE(everyRow(back), expected);
        const ToolResult checkedBack = tool({QStringLiteral("check"), back});
        QVERIFY2(
            checkedBack.code == 0 && checkedBack.out.contains(QStringLiteral("and the journal")),
            qPrintable(describe(checkedBack)));

        // The server's counters go on where the file's left off, the deleted group's included.
        ServerDb db;
        QCOMPARE(
            db.scalar(QString::fromUtf8("INSERT INTO \"Gruppa\" (\"Nazvanie\") VALUES ('ПИ-26') "
                                        "RETURNING \"ID_GRoup\""))
                .toLongLong(),
            lastGroup + 1);
        QCOMPARE(db.scalar(QStringLiteral("INSERT INTO \"Ocenki\" (\"N_student\") VALUES "
                                          "('2401001') RETURNING \"rowid\""))
                     .toLongLong(),
                 lastGrade + 1);
        QCOMPARE(
            db.scalar(QStringLiteral("SELECT string_agg(concat_ws(',', \"ID_Journal\", "
                                     "\"TableName\", \"RowKey\", \"Action\"), ';' ORDER BY "
                                     "\"ID_Journal\") FROM \"Journal\" WHERE \"ID_Journal\" > 3"))
                .toString(),
            QStringLiteral("4,Gruppa,%1,insert;5,Ocenki,%2,insert")
                .arg(lastGroup + 1)
                .arg(lastGrade + 1));
    }

    void copyRefusesANonEmptyDestAndChangesNothing_data() {
        QTest::addColumn<QString>("dest");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("server holding a row")
            << QStringLiteral("server") << QStringLiteral("already holds rows (Facultet, Journal)");
        QTest::newRow("server of other tables")
            << QStringLiteral("foreign") << QStringLiteral("table Studenti is missing");
        QTest::newRow("file that exists")
            << QStringLiteral("file") << QStringLiteral("already exists");
    }
    void copyRefusesANonEmptyDestAndChangesNothing() {
        QFETCH(QString, dest);
        QFETCH(QString, refusal);
        QVERIFY2(freshServer(), qPrintable(PgTestServer::shared().error()));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("verdikon.mdb"));
        QStringList args{QStringLiteral("copy")};
        if (dest == QLatin1String("file")) {
            const ToolResult created = tool({QStringLiteral("create"), file});
            QVERIFY2(created.code == 0, qPrintable(describe(created)));
            args << QStringLiteral("--server") << server() << file;
        } else {
            ServerDb db;
            if (dest == QLatin1String("server")) {
                const ToolResult created =
                    tool({QStringLiteral("create"), QStringLiteral("--server"), server()});
                QVERIFY2(created.code == 0, qPrintable(describe(created)));
            } else {
                db.execute(QStringLiteral("CREATE TABLE \"Facultet\" (\"Nazvanie\" text)"));
            }
            db.execute(
                QString::fromUtf8("INSERT INTO \"Facultet\" (\"Nazvanie\") VALUES ('Физический')"));
            args << m_demo << QStringLiteral("--server") << server();
        }
        const QByteArray fileBefore =
            dest == QLatin1String("file") ? fileBytes(file) : QByteArray();
        const ToolResult r = tool(args);
        QVERIFY2(r.code == 1 && r.out.isEmpty(), qPrintable(describe(r)));
        QVERIFY2(r.err.contains(refusal) && r.err.contains(QStringLiteral("nothing was written")),
                 qPrintable(r.err));
        if (dest == QLatin1String("file")) {
            QCOMPARE(fileBytes(file), fileBefore);
            return;
        }
        ServerDb db;
        QCOMPARE(db.count(QStringLiteral("Facultet")), 1);
        if (dest == QLatin1String("server")) {
            QCOMPARE(db.count(QStringLiteral("Studenti")), 0);
            QCOMPARE(db.count(QStringLiteral("Journal")), 1);
            QVERIFY(journal::complete(db.connection()));
        } else {
            QCOMPARE(db.connection().tableName(QStringLiteral("Studenti")), QString());
        }
    }

    void copyThatFailsLeavesTheServerAsItWas_data() {
        QTest::addColumn<bool>("tables");
        QTest::newRow("server without tables") << false;
        QTest::newRow("server with the empty tables") << true;
    }
    void copyThatFailsLeavesTheServerAsItWas() {
        QFETCH(bool, tables);
        QVERIFY2(freshServer(), qPrintable(PgTestServer::shared().error()));
        if (tables) {
            const ToolResult created =
                tool({QStringLiteral("create"), QStringLiteral("--server"), server()});
            QVERIFY2(created.code == 0, qPrintable(describe(created)));
        }
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("source.mdb"));
        QVERIFY(QFile::copy(m_demo, source));
        {
            // SQLite keeps text in a number column; the server refuses it, after many rows.
            Db db(source);
            db.connection().execute(
                QStringLiteral("UPDATE Ocenki SET ID_Result = 'отл' WHERE rowid = (SELECT "
                               "max(rowid) FROM Ocenki)"));
        }
        const ToolResult r =
            tool({QStringLiteral("copy"), source, QStringLiteral("--server"), server()});
        QVERIFY2(r.code == 1 && r.err.contains(QStringLiteral("Ocenki")), qPrintable(describe(r)));
        ServerDb db;
        if (!tables) {
            QCOMPARE(db.connection().tableName(QStringLiteral("Studenti")), QString());
            QCOMPARE(db.connection().tableName(QStringLiteral("Journal")), QString());
            return;
        }
        for (const schema::Table& t : schema::tables()) QCOMPARE(db.count(t.name), 0);
        QCOMPARE(db.count(QStringLiteral("Journal")), 0);
        QVERIFY(journal::complete(db.connection()));
    }

    void importMdbPrintsALinePerTableAndNeverOverwrites() {
        const QString source = QStringLiteral(TESSALY_JET_TESTDATA "/nwind.mdb");
        const QString dest = path(QStringLiteral("nwind.sqlite"));
        const ToolResult r =
            tool({QStringLiteral("import-mdb"), source, dest, QStringLiteral("--all")});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 9);
        QVERIFY2(lines.contains(QStringLiteral("Order Details: 2155 rows read, 2155 written")),
                 qPrintable(r.out));
        const QByteArray before = fileBytes(dest);
        const ToolResult again =
            tool({QStringLiteral("import-mdb"), source, dest, QStringLiteral("--all")});
        QVERIFY2(again.code == 1 && again.err.contains(QStringLiteral("already exists")),
                 qPrintable(describe(again)));
        QCOMPARE(fileBytes(dest), before);
        // Without --all a file of other tables is refused rather than taken as an empty register.
        const QString register_ = path(QStringLiteral("nwind-register.mdb"));
        const ToolResult program = tool({QStringLiteral("import-mdb"), source, register_});
        QVERIFY2(program.code == 1 &&
                     program.err.contains(QStringLiteral("none of the program's tables")),
                 qPrintable(describe(program)));
        QVERIFY(!QFileInfo::exists(register_));
    }

    void printWritesEachDocumentAsAPdf_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("choices");  // {GROUP}, {DISCIPLINE}, ... from the demo
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("a group's statement")
            << "statement"
            << QStringList{"--group", "{GROUP}", "--discipline", "{DISCIPLINE}", "--examiner",
                           "{SURNAME}", "--semester", "3", "--year", "2025"}
            << QStringList{"2025/2026", "{GROUP}", "{FACULTY}", "{DISCIPLINE}", "{TEACHER}",
                           "{GROUP STUDENTS}", "Подпись декана"};
        QTest::newRow("a credit sheet")
            << "sheet"
            << QStringList{"--student", "{STUDENT}", "--discipline", "{PLANNED}", "--semester",
                           "{PLAN SEMESTER}", "--credit"}
            << QStringList{"Зачетный лист", "{STUDENT}", "{STUDENT NAME}", "{PLANNED}",
                           "в количестве {HOURS}", "{STUDENT GROUP}"};
        QTest::newRow("a student's card")
            << "student-card" << QStringList{"--student", "{STUDENT}"}
            << QStringList{"КАРТОЧКА СТУДЕНТА", "{STUDENT}", "{STUDENT SURNAME}"};
        QTest::newRow("a teacher's card")
            << "teacher-card" << QStringList{"--teacher", "{TEACHER ID}"}
            << QStringList{"КАРТОЧКА ПРЕПОДАВАТЕЛЯ", "{SURNAME}"};
    }
    void printWritesEachDocumentAsAPdf() {
        QFETCH(QString, kind);
        QFETCH(QStringList, choices);
        QFETCH(QStringList, shown);
        Db db(m_demo);
        const QString group = db.scalar(QStringLiteral(
            "SELECT g.Nazvanie FROM Gruppa g WHERE EXISTS (SELECT 1 FROM Studenti s WHERE "
            "s.ID_group = g.ID_GRoup) ORDER BY g.ID_GRoup LIMIT 1")).toString();
        const QString groupId = db.scalar(QStringLiteral("SELECT ID_GRoup FROM Gruppa WHERE "
                                                         "Nazvanie = '%1'").arg(group)).toString();
        const QString teacherId = db.scalar(QStringLiteral(
            "SELECT min(ID_Prepod) FROM Prepodavateli")).toString();
        const QString surname = db.scalar(QStringLiteral(
            "SELECT \"Фамилия\" FROM Prepodavateli WHERE ID_Prepod = %1").arg(teacherId)).toString();
        const QStringList teacher = db.rows(QStringLiteral(
            "SELECT \"Имя\", \"Отчество\" FROM Prepodavateli WHERE ID_Prepod = %1").arg(teacherId))
            .value(0).split(u'|');
        const QString student = db.scalar(QStringLiteral(
            "SELECT min(N_student) FROM Studenti WHERE ID_group = %1").arg(groupId)).toString();
        const QStringList name = db.rows(QStringLiteral(
            "SELECT Fam, Name, SecName FROM Studenti WHERE N_student = '%1'").arg(student))
            .value(0).split(u'|');
        // A discipline of the student's specialty's plan, its first semester and hours there.
        const QStringList plan = db.rows(QStringLiteral(
            "SELECT d.NameDis, p.Semestr, coalesce(p.Time_Lekcii, 0) + coalesce(p.Time_Prakt, 0) "
            "FROM PlanSpec p JOIN Disciplins d ON d.Ndis = p.Ndis JOIN Gruppa g ON "
            "g.ID_Specialnost = p.ID_Spec WHERE g.ID_GRoup = %1 ORDER BY p.ID_Plan LIMIT 1")
            .arg(groupId)).value(0).split(u'|');
        QCOMPARE(plan.size(), 3);
        const std::map<QString, QString> values{
            {"{GROUP}", group},
            {"{FACULTY}", db.scalar(QStringLiteral(
                 "SELECT f.Nazvanie FROM Facultet f JOIN Specialnost s ON s.ID_Facultet = "
                 "f.ID_Facultet JOIN Gruppa g ON g.ID_Specialnost = s.ID_Spec WHERE g.ID_GRoup = %1")
                 .arg(groupId)).toString()},
            {"{DISCIPLINE}", db.scalar(QStringLiteral(
                 "SELECT NameDis FROM Disciplins ORDER BY Ndis LIMIT 1")).toString()},
            {"{SURNAME}", surname},
            {"{TEACHER}", surname + u' ' + teacher.value(0).left(1) + u'.' +
                              teacher.value(1).left(1) + u'.'},
            {"{TEACHER ID}", teacherId},
            {"{STUDENT}", student},
            {"{STUDENT SURNAME}", name.value(0)},
            {"{STUDENT NAME}", name.value(0) + u' ' + name.value(1).left(1) + u'.' +
                                   name.value(2).left(1) + u'.'},
            {"{STUDENT GROUP}", group},
            {"{PLANNED}", plan[0]},
            {"{PLAN SEMESTER}", plan[1]},
            {"{HOURS}", plan[2]},
        };
        const auto fill = [&](QString text) {
            for (const auto& [key, value] : values) text.replace(key, value);
            return text;
        };
        QStringList args{QStringLiteral("print"), kind, m_demo, QStringLiteral("--pdf"),
                         path(kind + QStringLiteral(".pdf"))};
        for (const QString& c : choices) args << fill(c);
        const ToolResult r = tool(args);
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QVERIFY2(r.out.startsWith(path(kind + QStringLiteral(".pdf"))), qPrintable(r.out));
        // pdftotext joins the words of a line with blanks as wide as the gaps.
        const QString text =
            pdfText(path(kind + QStringLiteral(".pdf"))).replace(QRegularExpression(QStringLiteral(" +")), QStringLiteral(" "));
        QVERIFY2(!text.isEmpty(), "no text in the PDF");
        for (const QString& expected : shown) {
            if (expected == QLatin1String("{GROUP STUDENTS}")) {
                for (const QString& surname : db.rows(QStringLiteral(
                         "SELECT Fam || ' ' || Name || ' ' || N_student FROM Studenti WHERE "
                         "ID_group = %1").arg(groupId)))
                    QVERIFY2(text.contains(surname), qPrintable(surname));
                continue;
            }
            QVERIFY2(text.contains(fill(expected)), qPrintable(fill(expected) + u'\n' + text));
        }
    }

    void printAllGroupsOfAFacultyInOnePdf() {
        Db db(m_demo);
        const QString faculty = db.scalar(QStringLiteral(
            "SELECT Nazvanie FROM Facultet ORDER BY ID_Facultet LIMIT 1")).toString();
        const QStringList groups = db.rows(QStringLiteral(
            "SELECT g.Nazvanie FROM Gruppa g JOIN Specialnost s ON s.ID_Spec = g.ID_Specialnost "
            "JOIN Facultet f ON f.ID_Facultet = s.ID_Facultet WHERE f.Nazvanie = '%1'").arg(faculty));
        QVERIFY(groups.size() > 1);
        const QString discipline = db.scalar(QStringLiteral(
            "SELECT NameDis FROM Disciplins ORDER BY Ndis LIMIT 1")).toString();
        const QString pdf = path(QStringLiteral("faculty.pdf"));
        const ToolResult r = tool({QStringLiteral("print"), QStringLiteral("statement"), m_demo,
                                   QStringLiteral("--pdf"), pdf, QStringLiteral("--all-groups"),
                                   QStringLiteral("--faculty"), faculty,
                                   QStringLiteral("--discipline"), discipline,
                                   QStringLiteral("--semester"), QStringLiteral("1"),
                                   QStringLiteral("--year"), QStringLiteral("2026")});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        const QString text = pdfText(pdf);
        // Each group's statement, each with its own heading and its own signature.
        QCOMPARE(int(text.count(QStringLiteral("Экзаменационная ведомость"))), int(groups.size()));
        QCOMPARE(int(text.count(QStringLiteral("Подпись декана"))), int(groups.size()));
        for (const QString& g : groups)
            QVERIFY2(text.contains(QStringLiteral("Группа ") + g) ||
                         text.contains(QRegularExpression(QStringLiteral("Группа +") +
                                                          QRegularExpression::escape(g))),
                     qPrintable(g));
    }

    void printRefusesWhatItCannotName_data() {
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such group")
            << QStringList{"--group", "НЕТ-99", "--discipline", "{DISCIPLINE}", "--semester", "1",
                           "--year", "2025"}
            << "The group \"НЕТ-99\" is not in the database";
        QTest::newRow("a group name found twice")
            << QStringList{"--group", "{TWIN}", "--discipline", "{DISCIPLINE}", "--semester", "1",
                           "--year", "2025"}
            << "names 2 rows";
        QTest::newRow("no such discipline")
            << QStringList{"--group", "{TWIN}", "--discipline", "Алхимия", "--semester", "1",
                           "--year", "2025"}
            << "The discipline \"Алхимия\" is not in the database";
    }
    void printRefusesWhatItCannotName() {
        QFETCH(QStringList, choices);
        QFETCH(QString, message);
        const QString db = path(QStringLiteral("twins.mdb"));
        if (!QFileInfo::exists(db)) {
            QVERIFY(QFile::copy(m_demo, db));
            Db twins(db);
            twins.connection().execute(QStringLiteral(
                "INSERT INTO Gruppa (Nazvanie, ID_Specialnost) SELECT Nazvanie, ID_Specialnost "
                "FROM Gruppa ORDER BY ID_GRoup LIMIT 1"));
        }
        Db twins(db);
        const QString twin = twins.scalar(QStringLiteral(
            "SELECT Nazvanie FROM Gruppa ORDER BY ID_GRoup LIMIT 1")).toString();
        const QString discipline = twins.scalar(QStringLiteral(
            "SELECT NameDis FROM Disciplins ORDER BY Ndis LIMIT 1")).toString();
        const QString pdf = path(QStringLiteral("refused.pdf"));
        QStringList args{QStringLiteral("print"), QStringLiteral("statement"), db,
                         QStringLiteral("--pdf"), pdf};
        for (QString c : choices)
            args << c.replace(QStringLiteral("{TWIN}"), twin)
                        .replace(QStringLiteral("{DISCIPLINE}"), discipline);
        const ToolResult r = tool(args);
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(message), qPrintable(describe(r)));
        QVERIFY(!QFileInfo::exists(pdf));
    }

    void usageErrorsExitTwoAndHelpExitsZero_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        const QString db = QStringLiteral("@/x.mdb");
        const QString create = QStringLiteral("create"), generate = QStringLiteral("generate"),
                      students = QStringLiteral("--students");
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0;
        QTest::newRow("help after a command")
            << QStringList{create, db, QStringLiteral("--help")} << 0;
        QTest::newRow("nothing") << QStringList{} << 2;
        QTest::newRow("unknown command") << QStringList{QStringLiteral("fill"), db} << 2;
        QTest::newRow("create without path") << QStringList{create} << 2;
        QTest::newRow("check without path") << QStringList{QStringLiteral("check")} << 2;
        QTest::newRow("two paths") << QStringList{create, db, QStringLiteral("@/y.mdb")} << 2;
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("demo"), db, QStringLiteral("--colour")} << 2;
        QTest::newRow("option of another command")
            << QStringList{create, db, QStringLiteral("--photos"), QStringLiteral("@")} << 2;
        QTest::newRow("photos without folder")
            << QStringList{QStringLiteral("demo"), db, QStringLiteral("--photos")} << 2;
        QTest::newRow("generate without N") << QStringList{generate, db} << 2;
        QTest::newRow("N missing") << QStringList{generate, db, students} << 2;
        QTest::newRow("N not a number")
            << QStringList{generate, db, students, QStringLiteral("many")} << 2;
        QTest::newRow("N zero") << QStringList{generate, db, students, QStringLiteral("0")} << 2;
        QTest::newRow("N negative")
            << QStringList{generate, db, QStringLiteral("--students=-5")} << 2;
        QTest::newRow("import without DEST")
            << QStringList{QStringLiteral("import-mdb"), QStringLiteral("@/office.mdb")} << 2;
        QTest::newRow("--all with a value")
            << QStringList{QStringLiteral("import-mdb"), QStringLiteral("@/office.mdb"), db,
                           QStringLiteral("--all=yes")}
            << 2;
        QTest::newRow("undelete without ID") << QStringList{QStringLiteral("undelete"), db} << 2;
        QTest::newRow("undelete ID not a number")
            << QStringList{QStringLiteral("undelete"), db, QStringLiteral("вчера")} << 2;
        QTest::newRow("undelete ID zero")
            << QStringList{QStringLiteral("undelete"), db, QStringLiteral("0")} << 2;
        QTest::newRow("prune without a day") << QStringList{QStringLiteral("prune"), db} << 2;
        QTest::newRow("prune on no such day")
            << QStringList{QStringLiteral("prune"), db, QStringLiteral("--before"),
                           QStringLiteral("31.02.2026")}
            << 2;
        QTest::newRow("history since a day in ISO")
            << QStringList{QStringLiteral("history"), db, QStringLiteral("--since=2026-12-01")}
            << 2;
        QTest::newRow("server without connection string")
            << QStringList{QStringLiteral("check"), QStringLiteral("--server")} << 2;
        QTest::newRow("server for a command of files")
            << QStringList{QStringLiteral("demo"), QStringLiteral("--server"),
                           QStringLiteral("dbname=x")}
            << 2;
        QTest::newRow("copy without DEST") << QStringList{QStringLiteral("copy"), db} << 2;
        QTest::newRow("copy to two places")
            << QStringList{QStringLiteral("copy"), db, QStringLiteral("--server"),
                           QStringLiteral("dbname=x"), QStringLiteral("@/y.mdb")}
            << 2;
        QTest::newRow("N fractional")
            << QStringList{generate, db, students, QStringLiteral("2.5")} << 2;
        const QString print = QStringLiteral("print");
        QTest::newRow("print of an unknown kind")
            << QStringList{print, QStringLiteral("diploma"), db, QStringLiteral("--pdf"),
                           QStringLiteral("@/d.pdf")}
            << 2;
        QTest::newRow("print without --pdf")
            << QStringList{print, QStringLiteral("student-card"), db, QStringLiteral("--student"),
                           QStringLiteral("1")}
            << 2;
        QTest::newRow("a statement without its semester")
            << QStringList{print,          QStringLiteral("statement"), db,
                           QStringLiteral("--pdf"), QStringLiteral("@/s.pdf"),
                           QStringLiteral("--group"), QStringLiteral("ИВТ-21"),
                           QStringLiteral("--discipline"), QStringLiteral("Физика"),
                           QStringLiteral("--year"), QStringLiteral("2025")}
            << 2;
        QTest::newRow("a sheet's semester out of the plan's range")
            << QStringList{print,          QStringLiteral("sheet"),   db,
                           QStringLiteral("--pdf"), QStringLiteral("@/s.pdf"),
                           QStringLiteral("--student"), QStringLiteral("1"),
                           QStringLiteral("--discipline"), QStringLiteral("Физика"),
                           QStringLiteral("--semester"), QStringLiteral("11")}
            << 2;
    }
    void usageErrorsExitTwoAndHelpExitsZero() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QTemporaryDir dir;
        args.replaceInStrings(QStringLiteral("@"), dir.path());
        const ToolResult r = tool(args);
        QVERIFY2(r.code == code, qPrintable(describe(r)));
        // The usage goes to stdout when asked for, to stderr after a mistake.
        const QString& usage = code == 0 ? r.out : r.err;
        const QString& other = code == 0 ? r.err : r.out;
        QVERIFY2(usage.contains(QStringLiteral("usage: tessaly-db")), qPrintable(describe(r)));
        QVERIFY2(other.isEmpty(), qPrintable(describe(r)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
    }
};

QTEST_GUILESS_MAIN(TessalyDbTest)
#include "tst_tessaly_db.moc"
