// Two desks on one database, each with its own connection and dataset over the same
// table: a desk's change or delete of a row refuses to overwrite what another desk (or
// another program) wrote to that row after this desk read it, keeps what was typed, and
// goes through once the desk has read the row again.
#include <QtTest>
#include <memory>

#include "DataError.h"
#include "Dataset.h"
#include "Failure.h"
#include "TestDb.h"

namespace {

// Rows with empty columns and dates, so that "as this desk read it" has nulls and dates to
// compare, inserted in key order (on the server a row's rowid is the order of inserts).
const QString schema = QStringLiteral(
    "CREATE TABLE Student (ID INTEGER PRIMARY KEY AUTOINCREMENT, Fam TEXT(30), Kurs SMALLINT, "
    "Born DATETIME, Note TEXT(50));"
    "INSERT INTO Student (Fam, Kurs, Born, Note) VALUES "
    "('Алексеев', 1, '2004-05-12', NULL), ('Борисова', 2, NULL, 'староста'), "
    "('Васильев', NULL, '2003-11-30', NULL)");

const QString changedElsewhere =
    QStringLiteral("Запись изменена или удалена на другом рабочем месте. Обновите данные.");

QStringList students(TestDb& db) {
    return db.rows(QStringLiteral("SELECT ID, Fam, Kurs, Note FROM Student ORDER BY ID"));
}

// One desk: a connection of its own and a dataset over Student on it, opened.
struct Desk {
    Desk(std::unique_ptr<Connection> own, const QString& source) : connection(std::move(own)) {
        if (source == QLatin1String("query")) {
            auto q = std::make_unique<Query>();
            q->setSql(QStringLiteral("SELECT * FROM Student ORDER BY ID"));
            dataset = std::move(q);
        } else {
            auto t = std::make_unique<Table>();
            t->setTableName(QStringLiteral("Student"));
            t->setIndexFieldNames(QStringLiteral("ID"));
            dataset = std::move(t);
        }
        dataset->setConnection(connection.get());
        dataset->open();
    }
    Dataset& ds() { return *dataset; }
    Field& field(const QString& name) { return dataset->fieldByName(name); }
    void moveTo(int id) { QVERIFY(dataset->locate(QStringLiteral("ID"), id)); }
    void change(int id, const QString& field, const QVariant& value) {
        moveTo(id);
        dataset->edit();
        dataset->fieldByName(field).setValue(value);
    }
    QString fam(int id) {
        moveTo(id);
        return field(QStringLiteral("Fam")).asString();
    }

    std::unique_ptr<Connection> connection;
    std::unique_ptr<Dataset> dataset;
};

}  // namespace

class TestTwoDesks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addBackends(); }
    void init();
    void cleanup();

    void postOverAnotherDesksChangeIsRefused_data() { sources(); }
    void postOverAnotherDesksChangeIsRefused();
    void deleteOfRowChangedElsewhereIsRefused_data() { sources(); }
    void deleteOfRowChangedElsewhereIsRefused();
    void postToRowDeletedElsewhereIsRefused_data() { sources(); }
    void postToRowDeletedElsewhereIsRefused();
    void deleteOfRowDeletedElsewhereGoesThrough_data() { sources(); }
    void deleteOfRowDeletedElsewhereGoesThrough();
    void differentRowsOnTwoDesksBothPost_data() { sources(); }
    void differentRowsOnTwoDesksBothPost();
    void anotherProgramsChangeToAnotherColumnRefuses_data() { sources(); }
    void anotherProgramsChangeToAnotherColumnRefuses();

private:
    static void sources() {
        QTest::addColumn<QString>("source");
        QTest::newRow("table") << QStringLiteral("table");
        QTest::newRow("query") << QStringLiteral("query");
    }
    std::unique_ptr<TestDb> m_db;
};

void TestTwoDesks::init() {
    m_db = std::make_unique<TestDb>(schema, TestDb::currentBackend());
}

void TestTwoDesks::cleanup() {
    m_db.reset();
}

void TestTwoDesks::postOverAnotherDesksChangeIsRefused() {
    QFETCH(QString, source);
    Desk a(m_db->open(), source);
    Desk b(m_db->open(), source);

    a.change(2, QStringLiteral("Fam"), QStringLiteral("Петрова"));
    a.ds().post();
    b.change(2, QStringLiteral("Fam"), QStringLiteral("Сидорова"));

    QCOMPARE(failureOf([&] { b.ds().post(); }), changedElsewhere);
    QVERIFY(b.ds().state() == DatasetState::Edit);
    QVERIFY(b.ds().isModified());
    QCOMPARE(b.field(QStringLiteral("Fam")).asString(), QStringLiteral("Сидорова"));
    QCOMPARE(b.field(QStringLiteral("ID")).value(), QVariant(2));
    QCOMPARE(students(*m_db),
             (QStringList{"1|Алексеев|1|NULL", "2|Петрова|2|староста", "3|Васильев|NULL|NULL"}));

    b.ds().cancel();
    b.ds().refresh();
    QCOMPARE(b.fam(2), QStringLiteral("Петрова"));
    // Read again, the row is this desk's to change.
    b.change(2, QStringLiteral("Kurs"), 3);
    b.ds().post();
    QCOMPARE(students(*m_db).value(1), QStringLiteral("2|Петрова|3|староста"));

    // Reopened, desk A reads desk B's change, and its own older copy no longer posts.
    a.change(2, QStringLiteral("Note"), QStringLiteral("профорг"));
    QCOMPARE(failureOf([&] { a.ds().post(); }), changedElsewhere);
    a.ds().cancel();
    a.ds().close();
    a.ds().open();
    a.moveTo(2);
    QCOMPARE(a.field(QStringLiteral("Kurs")).value(), QVariant(3));
}

void TestTwoDesks::deleteOfRowChangedElsewhereIsRefused() {
    QFETCH(QString, source);
    Desk a(m_db->open(), source);
    Desk b(m_db->open(), source);

    a.change(2, QStringLiteral("Kurs"), 4);
    a.ds().post();
    b.moveTo(2);

    QCOMPARE(failureOf([&] { b.ds().remove(); }), changedElsewhere);
    QCOMPARE(b.ds().recordCount(), 3);
    QCOMPARE(b.field(QStringLiteral("ID")).value(), QVariant(2));
    QCOMPARE(students(*m_db),
             (QStringList{"1|Алексеев|1|NULL", "2|Борисова|4|староста", "3|Васильев|NULL|NULL"}));
}

void TestTwoDesks::postToRowDeletedElsewhereIsRefused() {
    QFETCH(QString, source);
    Desk a(m_db->open(), source);
    Desk b(m_db->open(), source);

    a.moveTo(3);
    a.ds().remove();
    b.change(3, QStringLiteral("Fam"), QStringLiteral("Воронов"));

    QCOMPARE(failureOf([&] { b.ds().post(); }), changedElsewhere);
    QVERIFY(b.ds().state() == DatasetState::Edit);
    QCOMPARE(b.field(QStringLiteral("Fam")).asString(), QStringLiteral("Воронов"));
    // The row is not written back as a new one.
    QCOMPARE(students(*m_db), (QStringList{"1|Алексеев|1|NULL", "2|Борисова|2|староста"}));
}

void TestTwoDesks::deleteOfRowDeletedElsewhereGoesThrough() {
    QFETCH(QString, source);
    Desk a(m_db->open(), source);
    Desk b(m_db->open(), source);

    a.moveTo(1);
    a.ds().remove();
    b.moveTo(1);

    QCOMPARE(failureOf([&] { b.ds().remove(); }), noFailure);
    QCOMPARE(b.ds().recordCount(), 2);
    QCOMPARE(b.field(QStringLiteral("ID")).value(), QVariant(2));
    QCOMPARE(students(*m_db), (QStringList{"2|Борисова|2|староста", "3|Васильев|NULL|NULL"}));
}

void TestTwoDesks::differentRowsOnTwoDesksBothPost() {
    QFETCH(QString, source);
    Desk a(m_db->open(), source);
    Desk b(m_db->open(), source);

    // Both rows hold empty columns and dates the check has to match as read.
    a.change(1, QStringLiteral("Note"), QStringLiteral("отличник"));
    a.ds().post();
    b.change(3, QStringLiteral("Kurs"), 2);
    b.ds().post();
    b.change(2, QStringLiteral("Note"), QVariant());
    b.ds().post();
    QCOMPARE(students(*m_db),
             (QStringList{"1|Алексеев|1|отличник", "2|Борисова|2|NULL", "3|Васильев|2|NULL"}));

    for (Desk* desk : {&a, &b}) {
        desk->ds().close();
        desk->ds().open();
        desk->moveTo(1);
        QCOMPARE(desk->field(QStringLiteral("Note")).asString(), QStringLiteral("отличник"));
        desk->moveTo(2);
        QVERIFY(desk->field(QStringLiteral("Note")).isNull());
        desk->moveTo(3);
        QCOMPARE(desk->field(QStringLiteral("Kurs")).value(), QVariant(2));
    }
}

void TestTwoDesks::anotherProgramsChangeToAnotherColumnRefuses() {
    QFETCH(QString, source);
    Desk b(m_db->open(), source);

    m_db->exec(QStringLiteral("UPDATE Student SET Note = ? WHERE ID = ?"),
               {QStringLiteral("отчислен"), 2});
    b.change(2, QStringLiteral("Fam"), QStringLiteral("Борисова-Ким"));

    QCOMPARE(failureOf([&] { b.ds().post(); }), changedElsewhere);
    QVERIFY(b.ds().state() == DatasetState::Edit);
    QCOMPARE(b.field(QStringLiteral("Fam")).asString(), QStringLiteral("Борисова-Ким"));
    QCOMPARE(students(*m_db).value(1), QStringLiteral("2|Борисова|2|отчислен"));
}

QTEST_GUILESS_MAIN(TestTwoDesks)
#include "tst_two_desks.moc"
