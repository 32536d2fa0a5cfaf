// The hook that starts a new row: what it sees (the row set up, a detail's
// link values in place), what it sets (the row's first values, told to
// controls with the new state), and that its values are no change of the
// user's, so an untouched new row is still dropped when it is settled.
#include <QTest>
#include <algorithm>
#include <memory>

#include "DataSource.h"
#include "Dataset.h"
#include "TestDb.h"

namespace {

const QString schema = QStringLiteral(
    "CREATE TABLE Teacher (Num INTEGER NOT NULL, Fam TEXT(30), Dept INTEGER);"
    "INSERT INTO Teacher (Num, Fam, Dept) VALUES (4, 'Орлов', 1), (9, 'Юдина', 2), "
    "(2, 'Лебедев', 1)");

// The next free number, as a register hands one out.
void numberNewRow(Dataset& ds) {
    int highest = 0;
    for (int i = 0; i < ds.recordCount(); ++i)
        if (!ds.isPendingRow(i))
            highest =
                std::max(highest, ds.viewValue(i, &ds.fieldByName(QStringLiteral("Num"))).toInt());
    ds.fieldByName(QStringLiteral("Num")).setValue(highest + 1);
}

// A control: what it reads when it is told that the state changed.
class Watcher final : public DataLink {
public:
    QStringList seen;

protected:
    void stateChanged() override {
        if (dataset()->state() == DatasetState::Insert)
            seen << dataset()->fieldByName(QStringLiteral("Num")).asString();
    }
};

std::unique_ptr<Table> teachers(TestDb& db) {
    auto t = std::make_unique<Table>();
    t->setConnection(&db.connection());
    t->setTableName(QStringLiteral("Teacher"));
    t->setIndexFieldNames(QStringLiteral("Num"));
    return t;
}

}  // namespace

class TestNewRecord : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addBackends(); }
    void startsTheRowBeforeControlsAreTold_data();
    void startsTheRowBeforeControlsAreTold();
    void untouchedNewRowIsStillDropped_data();
    void untouchedNewRowIsStillDropped();
    void seesTheDetailLinkValues();
    void editingAStoredRowDoesNotRunIt();
};

void TestNewRecord::startsTheRowBeforeControlsAreTold_data() {
    QTest::addColumn<bool>("append");
    QTest::newRow("insert") << false;
    QTest::newRow("append") << true;
}

void TestNewRecord::startsTheRowBeforeControlsAreTold() {
    QFETCH(bool, append);
    TestDb db(schema, TestDb::currentBackend());
    auto t = teachers(db);
    int runs = 0;
    DatasetState stateSeen = DatasetState::Inactive;
    t->onNewRecord = [&](Dataset& ds) {
        ++runs;
        stateSeen = ds.state();
        numberNewRow(ds);
    };
    t->open();
    DataSource source;
    source.setDataset(t.get());
    Watcher watcher;
    watcher.setDataSource(&source);
    t->next();
    append ? t->append() : t->insert();
    QCOMPARE(runs, 1);
    QCOMPARE(stateSeen, DatasetState::Insert);
    QCOMPARE(watcher.seen, QStringList{QStringLiteral("10")});
    QCOMPARE(t->fieldByName(QStringLiteral("Num")).asInteger(), 10);
    QVERIFY(!t->isModified());
    // Typed values join the hook's; the post stores both.
    t->fieldByName(QStringLiteral("Fam")).setAsString(QStringLiteral("Зуев"));
    t->post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT Fam FROM Teacher WHERE Num = 10")).toString(),
             QStringLiteral("Зуев"));
    QCOMPARE(runs, 1);
}

void TestNewRecord::untouchedNewRowIsStillDropped_data() {
    QTest::addColumn<QString>("settle");
    QTest::newRow("settled") << "checkBrowseMode";
    QTest::newRow("moved away") << "first";
    QTest::newRow("another new row") << "append";
}

void TestNewRecord::untouchedNewRowIsStillDropped() {
    QFETCH(QString, settle);
    TestDb db(schema, TestDb::currentBackend());
    auto t = teachers(db);
    int runs = 0;
    t->onNewRecord = [&](Dataset& ds) {
        ++runs;
        numberNewRow(ds);
    };
    t->open();
    t->insert();
    if (settle == QLatin1String("checkBrowseMode"))
        t->checkBrowseMode();
    else if (settle == QLatin1String("first"))
        t->first();
    else
        t->append();
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Teacher")).toInt(), 3);
    QCOMPARE(t->recordCount(), settle == QLatin1String("append") ? 4 : 3);
    // The dropped row took no number: the next one is offered the same.
    QCOMPARE(runs, settle == QLatin1String("append") ? 2 : 1);
    if (settle == QLatin1String("append"))
        QCOMPARE(t->fieldByName(QStringLiteral("Num")).asInteger(), 10);
    else
        QCOMPARE(t->state(), DatasetState::Browse);
}

void TestNewRecord::seesTheDetailLinkValues() {
    TestDb db(schema + QStringLiteral(";CREATE TABLE Dept (ID INTEGER, Name TEXT(20));"
                                      "INSERT INTO Dept VALUES (1, 'Алгебры'), (2, 'Физики')"),
              TestDb::currentBackend());
    Table depts;
    depts.setConnection(&db.connection());
    depts.setTableName(QStringLiteral("Dept"));
    depts.setIndexFieldNames(QStringLiteral("ID"));
    DataSource deptSource;
    deptSource.setDataset(&depts);
    auto t = teachers(db);
    t->setIndexFieldNames(QStringLiteral("Dept"));
    t->setMaster(&deptSource, QStringLiteral("ID"));
    QVariant deptSeen;
    t->onNewRecord = [&](Dataset& ds) {
        deptSeen = ds.fieldByName(QStringLiteral("Dept")).value();
    };
    depts.open();
    t->open();
    depts.next();
    t->insert();
    QCOMPARE(deptSeen.toInt(), 2);
}

void TestNewRecord::editingAStoredRowDoesNotRunIt() {
    TestDb db(schema, TestDb::currentBackend());
    auto t = teachers(db);
    int runs = 0;
    t->onNewRecord = [&](Dataset&) { ++runs; };
    t->open();
    t->edit();
    t->fieldByName(QStringLiteral("Fam")).setAsString(QStringLiteral("Орлова"));
    t->post();
    QCOMPARE(runs, 0);
}

QTEST_GUILESS_MAIN(TestNewRecord)
#include "tst_new_record.moc"
