// Lookup fields and Dataset::lookup over faculties, teachers and student groups:
// which row a lookup finds, what it shows, and when it is computed.
#include <QHash>
#include <QTest>
#include <memory>

#include "DataError.h"
#include "DataSource.h"
#include "Dataset.h"
#include "TestDb.h"

namespace {

const QString schema = QStringLiteral(R"(
CREATE TABLE Faculty (ID_Faculty INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT(60));
CREATE TABLE Teachers (ID_Teacher INTEGER PRIMARY KEY AUTOINCREMENT, Fam TEXT(30),
    Name TEXT(20), Otch TEXT(20), ID_Faculty INTEGER, Kafedra TEXT(40), Tab_N TEXT(10));
CREATE TABLE Groups (ID_Group INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT(10),
    ID_Curator INTEGER, CuratorCode TEXT(5), ID_Faculty INTEGER, Kafedra TEXT(40));
INSERT INTO Faculty (Name) VALUES ('Математический'), ('Физический');
INSERT INTO Teachers (Fam, Name, Otch, ID_Faculty, Kafedra, Tab_N) VALUES
    ('Сидоров', 'Пётр', 'Ильич', 1, 'Алгебры', '1'),
    ('Антонова', 'Мария', 'Сергеевна', 2, 'Оптики', '2'),
    ('Петровский', 'Иван', 'Андреевич', 1, 'Алгебры', '3'),
    ('Борисов', 'Олег', NULL, 2, 'Оптики', '4'),
    ('Яковлев', 'Юрий', 'Павлович', 1, 'Алгебры', '5');
INSERT INTO Groups (Name, ID_Curator, CuratorCode, ID_Faculty, Kafedra) VALUES
    ('ПМ-11', 3, '3', 1, 'Алгебры'),
    ('ФИ-21', 2, '2', 2, 'Оптики'),
    ('ПМ-12', NULL, 'x', NULL, NULL),
    ('ФИ-22', 9, '9', 3, 'Акустики'),
    ('ФИ-23', 4, '4', 2, 'Оптики')
)");

const QString petrovskyShort = QStringLiteral("Петровский И. А.");
const QString antonovaShort = QStringLiteral("Антонова М. С.");
const QString borisovShort = QStringLiteral("Борисов О.");
const QString maths = QStringLiteral("Математический");
const QString physics = QStringLiteral("Физический");

// Teachers with their short name (a calculated field) and faculty name (a lookup).
void declareTeachers(Table& teachers, Dataset* faculty) {
    teachers.setTableName(QStringLiteral("Teachers"));
    teachers.addDataField(QStringLiteral("ID_Teacher"), FieldType::Counter);
    teachers.addDataField(QStringLiteral("Fam"), FieldType::Text, 30);
    teachers.addDataField(QStringLiteral("Name"), FieldType::Text, 20);
    teachers.addDataField(QStringLiteral("Otch"), FieldType::Text, 20);
    teachers.addDataField(QStringLiteral("ID_Faculty"), FieldType::Integer);
    teachers.addDataField(QStringLiteral("Kafedra"), FieldType::Text, 40);
    teachers.addDataField(QStringLiteral("Tab_N"), FieldType::Text, 10);
    teachers.addCalculatedField(QStringLiteral("ShortName"), FieldType::Text, 40);
    teachers.addLookupField(QStringLiteral("FacultyName"), FieldType::Text, 60, faculty,
                            QStringLiteral("ID_Faculty"), QStringLiteral("ID_Faculty"),
                            QStringLiteral("Name"));
    teachers.onCalcFields = [](Dataset& ds) {
        QString s = ds.fieldByName(QStringLiteral("Fam")).asString();
        for (const QString& part : {QStringLiteral("Name"), QStringLiteral("Otch")}) {
            const QString v = ds.fieldByName(part).asString();
            if (!v.isEmpty()) s += QLatin1Char(' ') + v.left(1) + QLatin1Char('.');
        }
        ds.fieldByName(QStringLiteral("ShortName")).setValue(s);
    };
}

void declareFaculty(Table& faculty) {
    faculty.setTableName(QStringLiteral("Faculty"));
    faculty.setIndexFieldNames(QStringLiteral("ID_Faculty"));
}

void declareGroupData(Table& groups) {
    groups.setTableName(QStringLiteral("Groups"));
    groups.setIndexFieldNames(QStringLiteral("ID_Group"));
    groups.addDataField(QStringLiteral("ID_Group"), FieldType::Counter);
    groups.addDataField(QStringLiteral("Name"), FieldType::Text, 10);
    groups.addDataField(QStringLiteral("ID_Curator"), FieldType::Integer);
    groups.addDataField(QStringLiteral("CuratorCode"), FieldType::Text, 5);
    groups.addDataField(QStringLiteral("ID_Faculty"), FieldType::Integer);
    groups.addDataField(QStringLiteral("Kafedra"), FieldType::Text, 40);
}

// Every row's value of a field as a grid reads it, without moving.
QStringList column(const Dataset& ds, const QString& name) {
    QStringList out;
    const Field* f = &ds.fieldByName(name);
    for (int i = 0; i < ds.recordCount(); ++i) out << ds.viewValue(i, f).toString();
    return out;
}

// The same, moving through the rows as a form does.
QStringList walk(Dataset& ds, const QString& name) {
    QStringList out;
    for (ds.first();; ds.next()) {
        out << ds.fieldByName(name).value().toString();
        if (ds.isLast()) break;
    }
    return out;
}

QString value(const Dataset& ds, const QString& name) {
    return ds.fieldByName(name).value().toString();
}

}  // namespace

class TestLookup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addBackends(); }
    void init();
    void cleanup();

    void keyMayBeAnotherComputedField_data();
    void keyMayBeAnotherComputedField();
    void searchIgnoresLookupDatasetsView_data();
    void searchIgnoresLookupDatasetsView();
    void firstRowInOrderWins_data();
    void firstRowInOrderWins();
    void resultComputedForFoundRow();
    void textCutToLookupFieldSize_data();
    void textCutToLookupFieldSize();
    void closedLookupDatasetGivesEmpty();
    void keyOfAnotherTypeConverts_data();
    void keyOfAnotherTypeConverts();
    void searchSeesLookupDatasetsOwnChanges();
    void pendingRowLookups_data();
    void pendingRowLookups();
    void datasetLookupSearchesWithoutMoving_data();
    void datasetLookupSearchesWithoutMoving();
    void datasetLookupOnClosedDatasetFails();

private:
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<Table> m_faculty;
    std::unique_ptr<Table> m_teachers;
    std::unique_ptr<Table> m_groups;
    int m_teacherScrolls = 0;
};

void TestLookup::init() {
    m_db = std::make_unique<TestDb>(schema, TestDb::currentBackend());
    m_faculty = std::make_unique<Table>();
    m_faculty->setConnection(&m_db->connection());
    declareFaculty(*m_faculty);
    m_teachers = std::make_unique<Table>();
    m_teachers->setConnection(&m_db->connection());
    declareTeachers(*m_teachers, m_faculty.get());
    m_teacherScrolls = 0;
    m_teachers->afterScroll = [this](Dataset&) { ++m_teacherScrolls; };
    m_groups = std::make_unique<Table>();
    m_groups->setConnection(&m_db->connection());
}

void TestLookup::cleanup() {
    // Details and lookups go before what they refer to.
    m_groups.reset();
    m_teachers.reset();
    m_faculty.reset();
    m_db.reset();
}

void TestLookup::keyMayBeAnotherComputedField_data() {
    QTest::addColumn<bool>("keyIsLookup");
    QTest::addColumn<bool>("keyDeclaredFirst");
    QTest::addColumn<QStringList>("expected");

    // Groups ПМ-11, ФИ-21, ПМ-12, ФИ-22, ФИ-23.
    const QStringList found{maths, physics, QString(), QString(), physics};
    const QStringList none{QString(), QString(), QString(), QString(), QString()};
    QTest::newRow("lookup declared earlier") << true << true << found;
    QTest::newRow("lookup declared later") << true << false << none;
    // The calculation hook runs after every lookup, so a calculated key is still empty.
    QTest::newRow("calculated declared earlier") << false << true << none;
    QTest::newRow("calculated declared later") << false << false << none;
}

void TestLookup::keyMayBeAnotherComputedField() {
    QFETCH(bool, keyIsLookup);
    QFETCH(bool, keyDeclaredFirst);
    QFETCH(QStringList, expected);

    declareGroupData(*m_groups);
    auto declareKey = [&] {
        if (keyIsLookup)
            m_groups->addLookupField(QStringLiteral("CuratorFaculty"), FieldType::Integer, 0,
                                     m_teachers.get(), QStringLiteral("ID_Curator"),
                                     QStringLiteral("ID_Teacher"), QStringLiteral("ID_Faculty"));
        else
            m_groups->addCalculatedField(QStringLiteral("CuratorFaculty"), FieldType::Integer);
    };
    auto declareName = [&] {
        m_groups->addLookupField(QStringLiteral("FacultyName"), FieldType::Text, 60,
                                 m_faculty.get(), QStringLiteral("CuratorFaculty"),
                                 QStringLiteral("ID_Faculty"), QStringLiteral("Name"));
    };
    if (keyDeclaredFirst) {
        declareKey();
        declareName();
    } else {
        declareName();
        declareKey();
    }
    if (!keyIsLookup) {
        // The curator's faculty as the office keys it in by hand, per group.
        m_groups->onCalcFields = [](Dataset& ds) {
            static const QHash<QString, int> byGroup{{QStringLiteral("ПМ-11"), 1},
                                                     {QStringLiteral("ФИ-21"), 2},
                                                     {QStringLiteral("ФИ-23"), 2}};
            const QString name = ds.fieldByName(QStringLiteral("Name")).asString();
            ds.fieldByName(QStringLiteral("CuratorFaculty"))
                .setValue(byGroup.contains(name) ? QVariant(byGroup.value(name)) : QVariant());
        };
    }
    m_faculty->open();
    m_teachers->open();
    m_groups->open();

    QCOMPARE(value(*m_groups, QStringLiteral("FacultyName")), expected.first());
    QCOMPARE(column(*m_groups, QStringLiteral("FacultyName")), expected);
    QCOMPARE(walk(*m_groups, QStringLiteral("FacultyName")), expected);
}

void TestLookup::searchIgnoresLookupDatasetsView_data() {
    QTest::addColumn<bool>("underMaster");
    QTest::addColumn<QString>("filter");

    QTest::newRow("master restriction") << true << QString();
    QTest::newRow("filter") << false << QStringLiteral("Kafedra=Алгебры");
    QTest::newRow("master restriction and filter") << true << QStringLiteral("Fam<>Сидоров");
}

void TestLookup::searchIgnoresLookupDatasetsView() {
    QFETCH(bool, underMaster);
    QFETCH(QString, filter);

    // Teachers show only the mathematics faculty (and maybe fewer); ФИ-21's curator is hidden.
    DataSource facultySource;
    facultySource.setDataset(m_faculty.get());
    m_teachers->setIndexFieldNames(QStringLiteral("ID_Faculty;Fam"));
    if (underMaster) m_teachers->setMaster(&facultySource, QStringLiteral("ID_Faculty"));
    if (!filter.isEmpty()) {
        m_teachers->setFilterText(filter);
        m_teachers->setFiltered(true);
    }
    declareGroupData(*m_groups);
    m_groups->addLookupField(QStringLiteral("CuratorFam"), FieldType::Text, 30, m_teachers.get(),
                             QStringLiteral("ID_Curator"), QStringLiteral("ID_Teacher"),
                             QStringLiteral("Fam"));
    m_faculty->open();
    m_teachers->open();
    m_teachers->last();
    QVERIFY(m_teachers->recordCount() < 5);
    QVERIFY(!m_teachers->locate(QStringLiteral("Fam"), QStringLiteral("Антонова")));
    const int recNo = m_teachers->recNo();
    const QString current = value(*m_teachers, QStringLiteral("Fam"));
    const int count = m_teachers->recordCount();
    m_teacherScrolls = 0;

    m_groups->open();
    const QStringList expected{QStringLiteral("Петровский"), QStringLiteral("Антонова"), QString(),
                               QString(), QStringLiteral("Борисов")};
    QCOMPARE(walk(*m_groups, QStringLiteral("CuratorFam")), expected);
    QCOMPARE(column(*m_groups, QStringLiteral("CuratorFam")), expected);

    QCOMPARE(m_teachers->recNo(), recNo);
    QCOMPARE(value(*m_teachers, QStringLiteral("Fam")), current);
    QCOMPARE(m_teachers->recordCount(), count);
    QCOMPARE(m_teacherScrolls, 0);
    QCOMPARE(m_teachers->state(), DatasetState::Browse);
}

void TestLookup::firstRowInOrderWins_data() {
    QTest::addColumn<QString>("indexFields");
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QString>("groupKey");
    QTest::addColumn<QString>("teacherKey");
    QTest::addColumn<QString>("expected");

    // Сидоров, Петровский and Яковлев share faculty 1 and the algebra chair.
    const QString byFaculty = QStringLiteral("ID_Faculty");
    const QString byChair = QStringLiteral("Kafedra");
    QTest::newRow("reading order, integer key")
        << QString() << QString() << byFaculty << byFaculty << QStringLiteral("Сидоров");
    QTest::newRow("reading order, text key")
        << QString() << QString() << byChair << byChair << QStringLiteral("Сидоров");
    QTest::newRow("order list, integer key") << QStringLiteral("Fam") << QString() << byFaculty
                                             << byFaculty << QStringLiteral("Петровский");
    QTest::newRow("order list, text key")
        << QStringLiteral("Fam") << QString() << byChair << byChair << QStringLiteral("Петровский");
    QTest::newRow("sort set after open, integer key")
        << QStringLiteral("Fam") << QStringLiteral("Fam DESC") << byFaculty << byFaculty
        << QStringLiteral("Яковлев");
    QTest::newRow("sort set after open, text key")
        << QStringLiteral("Fam") << QStringLiteral("Fam DESC") << byChair << byChair
        << QStringLiteral("Яковлев");
}

void TestLookup::firstRowInOrderWins() {
    QFETCH(QString, indexFields);
    QFETCH(QString, sort);
    QFETCH(QString, groupKey);
    QFETCH(QString, teacherKey);
    QFETCH(QString, expected);

    m_teachers->setIndexFieldNames(indexFields);
    declareGroupData(*m_groups);
    m_groups->addLookupField(QStringLiteral("Teacher"), FieldType::Text, 30, m_teachers.get(),
                             groupKey, teacherKey, QStringLiteral("Fam"));
    m_faculty->open();
    m_teachers->open();
    m_groups->open();
    if (!sort.isEmpty()) {
        // The search must not keep using what it found under the order in force before.
        m_teachers->setSort(sort);
        m_groups->first();
    }
    QCOMPARE(value(*m_groups, QStringLiteral("Teacher")), expected);
    QCOMPARE(m_groups->viewValue(0, &m_groups->fieldByName(QStringLiteral("Teacher"))).toString(),
             expected);
    QCOMPARE(
        m_teachers
            ->lookup(teacherKey, m_groups->fieldByName(groupKey).value(), QStringLiteral("Fam"))
            .toString(),
        expected);
}

void TestLookup::resultComputedForFoundRow() {
    // The teachers' own current row (Сидоров) is none of the curators.
    declareGroupData(*m_groups);
    m_groups->addLookupField(QStringLiteral("Curator"), FieldType::Text, 40, m_teachers.get(),
                             QStringLiteral("ID_Curator"), QStringLiteral("ID_Teacher"),
                             QStringLiteral("ShortName"));
    m_groups->addLookupField(QStringLiteral("CuratorFaculty"), FieldType::Text, 60,
                             m_teachers.get(), QStringLiteral("ID_Curator"),
                             QStringLiteral("ID_Teacher"), QStringLiteral("FacultyName"));
    m_faculty->open();
    m_teachers->open();
    m_groups->open();

    const QStringList curators{petrovskyShort, antonovaShort, QString(), QString(), borisovShort};
    const QStringList faculties{maths, physics, QString(), QString(), physics};
    QCOMPARE(walk(*m_groups, QStringLiteral("Curator")), curators);
    QCOMPARE(walk(*m_groups, QStringLiteral("CuratorFaculty")), faculties);
    QCOMPARE(column(*m_groups, QStringLiteral("Curator")), curators);
    QCOMPARE(column(*m_groups, QStringLiteral("CuratorFaculty")), faculties);

    // Computing another row for the groups leaves the teachers' current row as it was.
    QCOMPARE(m_teachers->recNo(), 0);
    QCOMPARE(value(*m_teachers, QStringLiteral("ShortName")), QStringLiteral("Сидоров П. И."));
    QCOMPARE(value(*m_teachers, QStringLiteral("FacultyName")), maths);
    QCOMPARE(value(*m_teachers, QStringLiteral("Fam")), QStringLiteral("Сидоров"));
}

void TestLookup::textCutToLookupFieldSize_data() {
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("expected");

    QTest::newRow("data result, longer") << QStringLiteral("Fam") << 5 << QStringLiteral("Петро");
    QTest::newRow("data result, exact")
        << QStringLiteral("Fam") << 10 << QStringLiteral("Петровский");
    QTest::newRow("calculated result")
        << QStringLiteral("ShortName") << 12 << QStringLiteral("Петровский И");
    QTest::newRow("lookup result") << QStringLiteral("FacultyName") << 4 << QStringLiteral("Мате");
}

void TestLookup::textCutToLookupFieldSize() {
    QFETCH(QString, result);
    QFETCH(int, size);
    QFETCH(QString, expected);

    declareGroupData(*m_groups);
    m_groups->addLookupField(QStringLiteral("Curator"), FieldType::Text, size, m_teachers.get(),
                             QStringLiteral("ID_Curator"), QStringLiteral("ID_Teacher"), result);
    m_faculty->open();
    m_teachers->open();
    m_groups->open();
    const Field* curator = &m_groups->fieldByName(QStringLiteral("Curator"));

    QCOMPARE(curator->value().toString(), expected);
    QCOMPARE(m_groups->viewValue(0, curator).toString(), expected);

    // The same while a pending row gets its curator typed in.
    m_groups->append();
    m_groups->fieldByName(QStringLiteral("ID_Curator")).setValue(3);
    QCOMPARE(curator->value().toString(), expected);
    m_groups->fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("ПМ-13"));
    m_groups->post();
    QCOMPARE(curator->value().toString(), expected);
}

void TestLookup::closedLookupDatasetGivesEmpty() {
    declareGroupData(*m_groups);
    m_groups->addLookupField(QStringLiteral("CuratorFam"), FieldType::Text, 30, m_teachers.get(),
                             QStringLiteral("ID_Curator"), QStringLiteral("ID_Teacher"),
                             QStringLiteral("Fam"));
    const Field* curator = &m_groups->fieldByName(QStringLiteral("CuratorFam"));
    const QStringList found{QStringLiteral("Петровский"), QStringLiteral("Антонова"), QString(),
                            QString(), QStringLiteral("Борисов")};
    const QStringList empty{QString(), QString(), QString(), QString(), QString()};

    // Opened before the teachers: nothing to look in yet.
    m_faculty->open();
    m_groups->open();
    QVERIFY(curator->isNull());
    QCOMPARE(column(*m_groups, QStringLiteral("CuratorFam")), empty);

    m_teachers->open();
    m_groups->refresh();
    QCOMPARE(curator->value().toString(), found.first());
    QCOMPARE(column(*m_groups, QStringLiteral("CuratorFam")), found);

    m_teachers->close();
    m_groups->first();
    QVERIFY(curator->isNull());
    QCOMPARE(column(*m_groups, QStringLiteral("CuratorFam")), empty);
    QCOMPARE(walk(*m_groups, QStringLiteral("CuratorFam")), empty);

    m_teachers->open();
    QCOMPARE(walk(*m_groups, QStringLiteral("CuratorFam")), found);
    QCOMPARE(column(*m_groups, QStringLiteral("CuratorFam")), found);
}

void TestLookup::keyOfAnotherTypeConverts_data() {
    QTest::addColumn<QString>("groupKey");
    QTest::addColumn<QString>("teacherKey");
    QTest::addColumn<QStringList>("expected");

    // Codes '3', '2', 'x', '9', '4'; curators 3, 2, none, 9, 4.
    const QStringList found{QStringLiteral("Петровский"), QStringLiteral("Антонова"), QString(),
                            QString(), QStringLiteral("Борисов")};
    QTest::newRow("text to counter")
        << QStringLiteral("CuratorCode") << QStringLiteral("ID_Teacher") << found;
    QTest::newRow("integer to text")
        << QStringLiteral("ID_Curator") << QStringLiteral("Tab_N") << found;
    QTest::newRow("text to text") << QStringLiteral("CuratorCode") << QStringLiteral("Tab_N")
                                  << found;
}

void TestLookup::keyOfAnotherTypeConverts() {
    QFETCH(QString, groupKey);
    QFETCH(QString, teacherKey);
    QFETCH(QStringList, expected);

    declareGroupData(*m_groups);
    m_groups->addLookupField(QStringLiteral("CuratorFam"), FieldType::Text, 30, m_teachers.get(),
                             groupKey, teacherKey, QStringLiteral("Fam"));
    m_faculty->open();
    m_teachers->open();
    m_groups->open();
    QCOMPARE(walk(*m_groups, QStringLiteral("CuratorFam")), expected);
    QCOMPARE(column(*m_groups, QStringLiteral("CuratorFam")), expected);
}

void TestLookup::searchSeesLookupDatasetsOwnChanges() {
    declareGroupData(*m_groups);
    m_groups->addLookupField(QStringLiteral("CuratorFam"), FieldType::Text, 30, m_teachers.get(),
                             QStringLiteral("ID_Curator"), QStringLiteral("ID_Teacher"),
                             QStringLiteral("Fam"));
    m_groups->addLookupField(QStringLiteral("ChairTeacher"), FieldType::Text, 30, m_teachers.get(),
                             QStringLiteral("Kafedra"), QStringLiteral("Kafedra"),
                             QStringLiteral("Fam"));
    m_teachers->setIndexFieldNames(QStringLiteral("Fam"));
    m_faculty->open();
    m_teachers->open();
    m_groups->open();
    QCOMPARE(value(*m_groups, QStringLiteral("CuratorFam")), QStringLiteral("Петровский"));
    QCOMPARE(value(*m_groups, QStringLiteral("ChairTeacher")), QStringLiteral("Петровский"));

    // A renamed teacher, a new one at the head of the chair, and a deleted one.
    QVERIFY(m_teachers->locate(QStringLiteral("ID_Teacher"), 3));
    m_teachers->edit();
    m_teachers->fieldByName(QStringLiteral("Fam")).setValue(QStringLiteral("Петровская"));
    m_teachers->post();
    m_teachers->append();
    m_teachers->fieldByName(QStringLiteral("Fam")).setValue(QStringLiteral("Аксёнов"));
    m_teachers->fieldByName(QStringLiteral("Kafedra")).setValue(QStringLiteral("Алгебры"));
    m_teachers->post();
    const int newId = m_teachers->fieldByName(QStringLiteral("ID_Teacher")).asInteger();
    QCOMPARE(
        m_db->scalar(QStringLiteral("SELECT Fam FROM Teachers WHERE ID_Teacher = %1").arg(newId))
            .toString(),
        QStringLiteral("Аксёнов"));
    QVERIFY(m_teachers->locate(QStringLiteral("ID_Teacher"), 2));
    m_teachers->remove();

    m_groups->first();
    QCOMPARE(value(*m_groups, QStringLiteral("CuratorFam")), QStringLiteral("Петровская"));
    QCOMPARE(value(*m_groups, QStringLiteral("ChairTeacher")), QStringLiteral("Аксёнов"));
    m_groups->next();
    QCOMPARE(value(*m_groups, QStringLiteral("CuratorFam")), QString());

    m_groups->edit();
    m_groups->fieldByName(QStringLiteral("ID_Curator")).setValue(newId);
    QCOMPARE(value(*m_groups, QStringLiteral("CuratorFam")), QStringLiteral("Аксёнов"));
}

void TestLookup::pendingRowLookups_data() {
    QTest::addColumn<bool>("keep");
    QTest::newRow("recomputed on each change") << false;
    QTest::newRow("kept while editing") << true;
}

void TestLookup::pendingRowLookups() {
    QFETCH(bool, keep);

    declareGroupData(*m_groups);
    m_groups->addLookupField(QStringLiteral("CuratorFam"), FieldType::Text, 30, m_teachers.get(),
                             QStringLiteral("ID_Curator"), QStringLiteral("ID_Teacher"),
                             QStringLiteral("Fam"));
    m_groups->addCalculatedField(QStringLiteral("Title"), FieldType::Text, 50);
    m_groups->onCalcFields = [](Dataset& ds) {
        ds.fieldByName(QStringLiteral("Title"))
            .setValue(ds.fieldByName(QStringLiteral("Name")).asString() + QStringLiteral(", ") +
                      ds.fieldByName(QStringLiteral("CuratorFam")).asString());
    };
    m_groups->setKeepLookupsWhileEditing(keep);
    m_faculty->open();
    m_teachers->open();
    m_groups->open();
    const Field& curator = m_groups->fieldByName(QStringLiteral("CuratorFam"));
    const Field& title = m_groups->fieldByName(QStringLiteral("Title"));
    QCOMPARE(curator.asString(), QStringLiteral("Петровский"));

    m_groups->edit();
    m_groups->fieldByName(QStringLiteral("ID_Curator")).setValue(2);
    QCOMPARE(curator.asString(), keep ? QStringLiteral("Петровский") : QStringLiteral("Антонова"));
    QCOMPARE(title.asString(),
             keep ? QStringLiteral("ПМ-11, Петровский") : QStringLiteral("ПМ-11, Антонова"));
    m_groups->fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("ПМ-11а"));
    QCOMPARE(title.asString(),
             keep ? QStringLiteral("ПМ-11, Петровский") : QStringLiteral("ПМ-11а, Антонова"));
    // A grid reading the pending row sees what the form sees.
    QCOMPARE(m_groups->viewValue(m_groups->recNo(), &curator).toString(), curator.asString());

    m_groups->post();
    QCOMPARE(curator.asString(), QStringLiteral("Антонова"));
    QCOMPARE(title.asString(), QStringLiteral("ПМ-11а, Антонова"));
    QCOMPARE(m_db->rows(QStringLiteral("SELECT Name, ID_Curator FROM Groups WHERE ID_Group = 1")),
             QStringList{QStringLiteral("ПМ-11а|2")});

    // A new row: nothing to look up until its key is typed.
    m_groups->append();
    QVERIFY(curator.isNull());
    m_groups->fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("ФИ-24"));
    m_groups->fieldByName(QStringLiteral("ID_Curator")).setValue(4);
    QCOMPARE(curator.asString(), keep ? QString() : QStringLiteral("Борисов"));
    m_groups->post();
    QCOMPARE(curator.asString(), QStringLiteral("Борисов"));
    QCOMPARE(title.asString(), QStringLiteral("ФИ-24, Борисов"));
}

void TestLookup::datasetLookupSearchesWithoutMoving_data() {
    QTest::addColumn<QString>("keyField");
    QTest::addColumn<QVariant>("key");
    QTest::addColumn<QString>("resultField");
    QTest::addColumn<QVariant>("expected");

    const QString id = QStringLiteral("ID_Teacher");
    const QString fam = QStringLiteral("Fam");
    QTest::newRow("row outside the filter")
        << id << QVariant(3) << fam << QVariant(QStringLiteral("Петровский"));
    QTest::newRow("text for a counter")
        << id << QVariant(QStringLiteral("3")) << fam << QVariant(QStringLiteral("Петровский"));
    QTest::newRow("text key") << QStringLiteral("Tab_N") << QVariant(QStringLiteral("5")) << fam
                              << QVariant(QStringLiteral("Яковлев"));
    QTest::newRow("integer for a text key")
        << QStringLiteral("Tab_N") << QVariant(5) << fam << QVariant(QStringLiteral("Яковлев"));
    QTest::newRow("first in order") << QStringLiteral("ID_Faculty") << QVariant(1) << fam
                                    << QVariant(QStringLiteral("Петровский"));
    QTest::newRow("calculated result")
        << id << QVariant(2) << QStringLiteral("ShortName") << QVariant(antonovaShort);
    QTest::newRow("lookup result")
        << id << QVariant(5) << QStringLiteral("FacultyName") << QVariant(maths);
    QTest::newRow("integer result") << QStringLiteral("Tab_N") << QVariant(QStringLiteral("4"))
                                    << QStringLiteral("ID_Faculty") << QVariant(2);
    QTest::newRow("no such key") << id << QVariant(42) << fam << QVariant();
    QTest::newRow("null key") << id << QVariant() << fam << QVariant();
    QTest::newRow("not a number") << id << QVariant(QStringLiteral("x")) << fam << QVariant();
}

void TestLookup::datasetLookupSearchesWithoutMoving() {
    QFETCH(QString, keyField);
    QFETCH(QVariant, key);
    QFETCH(QString, resultField);
    QFETCH(QVariant, expected);

    m_teachers->setIndexFieldNames(QStringLiteral("Fam"));
    m_teachers->setFilterText(QStringLiteral("Kafedra=Оптики"));
    m_teachers->setFiltered(true);
    m_faculty->open();
    m_teachers->open();
    m_teachers->next();
    QCOMPARE(value(*m_teachers, QStringLiteral("Fam")), QStringLiteral("Борисов"));
    m_teacherScrolls = 0;

    const QVariant found = m_teachers->lookup(keyField, key, resultField);
    if (expected.isValid()) {
        QCOMPARE(found.toString(), expected.toString());
    } else {
        QVERIFY2(found.isNull(), qPrintable(found.toString()));
    }

    QCOMPARE(m_teachers->recNo(), 1);
    QCOMPARE(value(*m_teachers, QStringLiteral("Fam")), QStringLiteral("Борисов"));
    QCOMPARE(value(*m_teachers, QStringLiteral("ShortName")), borisovShort);
    QCOMPARE(value(*m_teachers, QStringLiteral("FacultyName")), physics);
    QCOMPARE(m_teachers->recordCount(), 2);
    QCOMPARE(m_teacherScrolls, 0);
}

void TestLookup::datasetLookupOnClosedDatasetFails() {
    try {
        m_teachers->lookup(QStringLiteral("ID_Teacher"), 3, QStringLiteral("Fam"));
        QFAIL("lookup on a closed dataset succeeded");
    } catch (const DataError& e) {
        QCOMPARE(e.text(), msg::closedDataset());
    }
}

QTEST_GUILESS_MAIN(TestLookup)
#include "tst_lookup.moc"
