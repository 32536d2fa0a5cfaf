// Deleting the rows that hold some values: the database and the dataset that
// deleted them agree on every row afterwards, its lookups find only what is left,
// and a dataset sharing the same snapshot keeps what it read until it reads again.
#include <QtTest>
#include <algorithm>

#include "Dataset.h"
#include "TestDb.h"

namespace {
const char* const ddl =
    "CREATE TABLE Ocenki (N_student TEXT(50), Semestr INTEGER, Mark TEXT(10));"
    "INSERT INTO Ocenki VALUES ('0000002', 3, 'a'), ('0000001', 3, 'b'), ('0000001', 4, 'c'),"
    " ('0000001', 3, 'b'), ('AB1', 3, 'd'), ('ab1', 3, 'e'), ('0000003', NULL, 'f'),"
    " ('0000001', 3, 'g'), ('0000003', 3, 'h');"
    "CREATE TABLE Studenti (N_student TEXT(50));"
    "INSERT INTO Studenti VALUES ('0000001')";

// Every row as "N_student|Semestr|Mark", nulls as NULL, sorted: the same for the
// database and for a dataset, whatever order either keeps.
QStringList sorted(QStringList rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList datasetRows(Dataset& ds) {
    const bool filtered = ds.isFiltered();
    ds.setFiltered(false);
    QStringList out;
    const Field* fields[] = {ds.findField(QStringLiteral("N_student")),
                             ds.findField(QStringLiteral("Semestr")),
                             ds.findField(QStringLiteral("Mark"))};
    for (int i = 0; i < ds.recordCount(); ++i) {
        QStringList cells;
        for (const Field* f : fields) {
            const QVariant v = ds.viewValue(i, f);
            cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
        }
        out << cells.join(u'|');
    }
    ds.setFiltered(filtered);
    return sorted(out);
}
}  // namespace

class TestRemoveMatching : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { TestDb::addBackends(); }
    void init() {
        m_db = std::make_unique<TestDb>(QString::fromUtf8(ddl), TestDb::currentBackend());
        m_table = std::make_unique<Table>();
        m_table->setConnection(&m_db->connection());
        m_table->setTableName(QStringLiteral("Ocenki"));
        m_table->setIndexFieldNames(QStringLiteral("N_student"));
        m_table->addDataField(QStringLiteral("N_student"), FieldType::Text, 50);
        m_table->addDataField(QStringLiteral("Semestr"), FieldType::Integer);
        m_table->addDataField(QStringLiteral("Mark"), FieldType::Text, 10);
        m_query = std::make_unique<Query>();
        m_query->setConnection(&m_db->connection());
        m_query->setSql(QStringLiteral("Select * From Ocenki"));
    }
    void cleanup() {
        m_query.reset();
        m_table.reset();
        m_db.reset();
    }

    void databaseAndSnapshotAgree_data() {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<int>("deleted");
        // Equal rows go together, unlike a delete of the current row.
        QTest::newRow("one student's semester, duplicates included")
            << "Semestr;N_student" << QVariantList{3, QStringLiteral("0000001")} << 3;
        QTest::newRow("letter case counts")
            << "N_student;Semestr" << QVariantList{QStringLiteral("ab1"), 3} << 1;
        QTest::newRow("the database converts a number given as text")
            << "Semestr" << QVariantList{QStringLiteral("3")} << 7;
        QTest::newRow("a null matches nothing")
            << "Semestr;N_student" << QVariantList{QVariant(), "0000003"} << 0;
        QTest::newRow("no row holds the values")
            << "N_student" << QVariantList{QStringLiteral("0000009")} << 0;
        QTest::newRow("a quote is a value like any other")
            << "Mark" << QVariantList{QStringLiteral("b' OR '1'='1")} << 0;
        QTest::newRow("every row of the first in order")
            << "N_student" << QVariantList{"0000001"} << 4;
    }
    void databaseAndSnapshotAgree() {
        QFETCH(QString, fields);
        QFETCH(QVariantList, values);
        QFETCH(int, deleted);
        m_table->open();
        // A filtered view shows a part only; the delete reaches every row all the same.
        m_table->setFilterText(QStringLiteral("Mark <> 'a'"));
        m_table->setFiltered(true);
        const int before = m_db->scalar(QStringLiteral("SELECT count(*) FROM Ocenki")).toInt();
        QCOMPARE(m_table->removeMatching(fields, {values.begin(), values.end()}), deleted);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Ocenki")).toInt(),
                 before - deleted);
        QCOMPARE(datasetRows(*m_table),
                 sorted(m_db->rows(QStringLiteral("SELECT N_student, Semestr, Mark FROM Ocenki"))));
        QCOMPARE(
            m_table->recordCount(),
            m_db->scalar(QStringLiteral("SELECT count(*) FROM Ocenki WHERE Mark <> 'a'")).toInt());
        // Reading again finds the same.
        const QStringList kept = datasetRows(*m_table);
        m_table->refresh();
        QCOMPARE(datasetRows(*m_table), kept);
    }

    void lookupsFindOnlyWhatIsLeft() {
        m_table->open();
        // The index is built before the delete, and must not answer with a deleted row.
        QCOMPARE(m_table->lookup("N_student", "0000001", "Mark").toString(), "b");
        QCOMPARE(m_table->lookup("Mark", "g", "N_student").toString(), "0000001");
        m_table->removeMatching(QStringLiteral("N_student;Semestr"), {"0000001", 3});
        QCOMPARE(m_table->lookup("N_student", "0000001", "Mark").toString(), "c");
        QVERIFY(m_table->lookup("Mark", "g", "N_student").isNull());
        QCOMPARE(m_table->lookup("Mark", "h", "N_student").toString(), "0000003");
        m_table->removeMatching(QStringLiteral("N_student"), {"0000001"});
        QVERIFY(m_table->lookup("N_student", "0000001", "Mark").isNull());
        QCOMPARE(m_table->lookup("N_student", "0000002", "Mark").toString(), "a");
    }

    void lookupFieldOfAnotherDatasetReadsWhatIsLeft() {
        Table students;
        students.setConnection(&m_db->connection());
        students.setTableName(QStringLiteral("Studenti"));
        students.addDataField(QStringLiteral("N_student"), FieldType::Text, 50);
        students.addLookupField(QStringLiteral("Mark"), FieldType::Text, 10, m_table.get(),
                                QStringLiteral("N_student"), QStringLiteral("N_student"),
                                QStringLiteral("Mark"));
        m_table->open();
        students.open();
        const Field* mark = students.findField(QStringLiteral("Mark"));
        QCOMPARE(students.viewValue(0, mark).toString(), "b");
        m_table->removeMatching(QStringLiteral("Mark"), {"b"});
        QCOMPARE(students.viewValue(0, mark).toString(), "c");
    }

    void sharingDatasetKeepsItsRowsUntilItReadsAgain() {
        m_table->open();
        m_query->open();
        const QStringList read = datasetRows(*m_query);
        m_table->removeMatching(QStringLiteral("N_student"), {"0000001"});
        const QStringList stored =
            sorted(m_db->rows(QStringLiteral("SELECT N_student, Semestr, Mark FROM Ocenki")));
        QCOMPARE(datasetRows(*m_table), stored);
        // The columns both read did not change under the other dataset.
        QCOMPARE(datasetRows(*m_query), read);
        m_query->last();
        m_query->remove();
        QCOMPARE(datasetRows(*m_table), stored);
        m_query->refresh();
        QCOMPARE(datasetRows(*m_query),
                 sorted(m_db->rows(QStringLiteral("SELECT N_student, Semestr, Mark FROM Ocenki"))));
        // One opened afterwards reads the table, not the snapshot of before.
        Query later;
        later.setConnection(&m_db->connection());
        later.setSql(QStringLiteral("Select * From Ocenki"));
        later.open();
        QCOMPARE(datasetRows(later), datasetRows(*m_query));
    }

    void currentRowStaysWhereItRemains_data() {
        QTest::addColumn<QString>("current");  // Mark of the current row
        QTest::addColumn<QString>("remove");   // N_student deleted
        QTest::addColumn<QString>("after");    // Mark of the current row afterwards
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("scrolled");
        QTest::newRow("rows before it go") << "h"
                                           << "0000001"
                                           << "h" << 4 << false;
        QTest::newRow("it goes: the row now at its place") << "c"
                                                           << "0000001"
                                                           << "f" << 3 << true;
        QTest::newRow("rows after it go") << "d"
                                          << "0000003"
                                          << "d" << 4 << false;
        QTest::newRow("it goes, the last") << "h"
                                           << "0000003"
                                           << "g" << 6 << true;
    }
    void currentRowStaysWhereItRemains() {
        QFETCH(QString, current);
        QFETCH(QString, remove);
        QFETCH(QString, after);
        QFETCH(int, position);
        QFETCH(bool, scrolled);
        m_table->open();
        m_table->setSort(QStringLiteral("Mark"));
        QVERIFY(m_table->locate(QStringLiteral("Mark"), current));
        int scrolls = 0;
        m_table->afterScroll = [&scrolls](Dataset&) { ++scrolls; };
        m_table->removeMatching(QStringLiteral("N_student"), {remove});
        QCOMPARE(m_table->fieldByName(QStringLiteral("Mark")).asString(), after);
        QCOMPARE(m_table->recNo(), position);
        QCOMPARE(scrolls > 0, scrolled);
    }

    void pendingRowIsStoredFirstAndGoesWhenItMatches() {
        m_table->open();
        QVERIFY(m_table->locate(QStringLiteral("Mark"), "h"));
        m_table->edit();
        m_table->fieldByName(QStringLiteral("N_student")).setValue(QStringLiteral("0000001"));
        QCOMPARE(m_table->removeMatching(QStringLiteral("N_student"), {"0000001"}), 5);
        QCOMPARE(m_table->state(), DatasetState::Browse);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Ocenki WHERE Mark = 'h'")), 0);
        QCOMPARE(datasetRows(*m_table),
                 sorted(m_db->rows(QStringLiteral("SELECT N_student, Semestr, Mark FROM Ocenki"))));
    }

    void wrongUseIsRefused() {
        QVERIFY_THROWS_EXCEPTION(DataError, m_table->removeMatching("N_student", {"0000001"}));
        m_table->open();
        QVERIFY_THROWS_EXCEPTION(DataError, m_table->removeMatching("Nomer", {"0000001"}));
        QVERIFY_THROWS_EXCEPTION(DataError, m_table->removeMatching("N_student;Semestr", {"1"}));
        QVERIFY_THROWS_EXCEPTION(DataError, m_table->removeMatching("", {}));
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Ocenki")), 9);
    }

private:
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<Table> m_table;
    std::unique_ptr<Query> m_query;
};

QTEST_GUILESS_MAIN(TestRemoveMatching)
#include "tst_remove_matching.moc"
