// Two datasets reading the same table whole share one snapshot until either
// changes it, and never see each other's or anybody's later changes through it.
#include <QtTest>

#include "Dataset.h"
#include "TestDb.h"

namespace {
const char* const ddl =
    "CREATE TABLE Ocenki (N_student TEXT(50), Semestr INTEGER, Date DATETIME);"
    "CREATE INDEX Ocenki_N ON Ocenki (N_student);"
    "INSERT INTO Ocenki VALUES ('0000003', 1, '2024-01-10'), ('0000001', 2, '2024-06-01'),"
    " ('0000002', 1, NULL)";

QStringList column(Dataset& ds, const QString& name) {
    QStringList out;
    const Field* f = ds.findField(name);
    for (int i = 0; i < ds.recordCount(); ++i) out << ds.viewDisplayText(i, f);
    return out;
}
}  // namespace

class TestSharedSnapshot : public QObject {
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
        m_query = std::make_unique<Query>();
        m_query->setConnection(&m_db->connection());
        m_query->setSql(QStringLiteral("Select * From Ocenki"));
    }
    void cleanup() {
        m_query.reset();
        m_table.reset();
        m_db.reset();
    }

    void secondReaderSeesTheSameRowsInItsOwnOrder() {
        m_table->open();
        m_query->open();
        QCOMPARE(column(*m_table, QStringLiteral("N_student")),
                 QStringList({"0000001", "0000002", "0000003"}));
        QCOMPARE(column(*m_query, QStringLiteral("N_student")),
                 QStringList({"0000003", "0000001", "0000002"}));
        QCOMPARE(column(*m_query, QStringLiteral("Date")),
                 QStringList({"10.01.2024", "01.06.2024", ""}));
        QCOMPARE(m_query->fieldCount(), 3);
    }

    void changesStayWithTheDatasetThatMadeThem() {
        m_table->open();
        m_query->open();
        m_table->first();
        m_table->edit();
        m_table->fieldByName(QStringLiteral("Semestr")).setValue(7);
        m_table->post();
        m_table->append();
        m_table->fieldByName(QStringLiteral("N_student")).setValue(QStringLiteral("0000004"));
        m_table->post();
        QCOMPARE(column(*m_table, QStringLiteral("Semestr")), QStringList({"7", "1", "1", ""}));
        // The other snapshot is as it was read.
        QCOMPARE(column(*m_query, QStringLiteral("Semestr")), QStringList({"1", "2", "1"}));
        m_query->last();
        m_query->remove();
        QCOMPARE(m_table->recordCount(), 4);

        // A dataset opened after the changes reads them.
        Query later;
        later.setConnection(&m_db->connection());
        later.setSql(QStringLiteral("Select * From Ocenki"));
        later.open();
        QCOMPARE(column(later, QStringLiteral("Semestr")), QStringList({"1", "7", ""}));
    }

    void anotherProgramsChangeIsReadNotAdopted() {
        m_table->open();
        m_db->exec(QStringLiteral("INSERT INTO Ocenki VALUES ('0000009', 3, NULL)"));
        m_query->open();
        QCOMPARE(m_query->recordCount(), 4);
        QCOMPARE(m_table->recordCount(), 3);
    }

    void filterSurvivesTheCopyOnFirstChange() {
        m_table->open();
        m_query->open();
        m_table->setFilterText(QStringLiteral("Semestr=1"));
        m_table->setFiltered(true);
        QCOMPARE(m_table->recordCount(), 2);
        m_table->edit();
        m_table->fieldByName(QStringLiteral("Semestr")).setValue(2);
        m_table->post();
        m_query.reset();  // the copy the filter was compiled on may go now
        m_table->refresh();
        QCOMPARE(column(*m_table, QStringLiteral("N_student")), QStringList({"0000003"}));
    }

private:
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<Table> m_table;
    std::unique_ptr<Query> m_query;
};

QTEST_GUILESS_MAIN(TestSharedSnapshot)
#include "tst_shared_snapshot.moc"
