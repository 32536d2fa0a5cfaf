// Master and detail datasets: students with their group's study plan, and the
// chain faculty → specialty → group. Guards which rows a detail shows, where it
// stands, and that a detail's pending row is settled before its master moves.
#include <QTest>
#include <functional>
#include <memory>

#include "DataError.h"
#include "DataSource.h"
#include "Failure.h"
#include "Dataset.h"
#include "TestDb.h"

namespace {

const QString schema = QStringLiteral(R"(
CREATE TABLE Students (ID_Student INTEGER PRIMARY KEY AUTOINCREMENT, Fam TEXT(30),
    ID_Group INTEGER);
CREATE TABLE Plan (ID_Plan INTEGER PRIMARY KEY AUTOINCREMENT, ID_Group INTEGER,
    Predmet TEXT(40), Semestr SMALLINT, UNIQUE (ID_Group, Predmet));
CREATE TABLE Faculty (ID_Faculty INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT(60));
CREATE TABLE Specialty (ID_Spec INTEGER PRIMARY KEY AUTOINCREMENT, ID_Faculty INTEGER,
    Name TEXT(60));
CREATE TABLE Groups (ID_Group INTEGER PRIMARY KEY AUTOINCREMENT, ID_Spec INTEGER,
    Name TEXT(10), Kurs SMALLINT);
INSERT INTO Students (Fam, ID_Group) VALUES ('Васильев', 2), ('Абрамов', 1),
    ('Григорьева', 3), ('Борисова', 1), ('Дмитриев', NULL);
INSERT INTO Plan (ID_Group, Predmet, Semestr) VALUES (2, 'Программирование', 2),
    (1, 'Физика', 2), (1, 'Алгебра', 1), (2, 'Анализ', 1), (1, 'Геометрия', 1);
INSERT INTO Faculty (Name) VALUES ('Математический'), ('Физический'), ('Химический');
INSERT INTO Specialty (ID_Faculty, Name) VALUES (1, 'Прикладная математика'),
    (1, 'Информатика'), (2, 'Физика');
INSERT INTO Groups (ID_Spec, Name, Kurs) VALUES (1, 'ПМ-11', 1), (1, 'ПМ-12', 1),
    (2, 'ИН-11', 1), (3, 'ФИ-11', 2)
)");

// What each student's group studies, in the plan's order.
const QStringList firstGroupPlan{QStringLiteral("Алгебра"), QStringLiteral("Геометрия"),
                                 QStringLiteral("Физика")};
const QStringList secondGroupPlan{QStringLiteral("Анализ"), QStringLiteral("Программирование")};

QStringList column(const Dataset& ds, const QString& name) {
    QStringList out;
    const Field* f = &ds.fieldByName(name);
    for (int i = 0; i < ds.recordCount(); ++i) out << ds.viewValue(i, f).toString();
    return out;
}

QString value(const Dataset& ds, const QString& name) {
    return ds.fieldByName(name).value().toString();
}

// A bound edit box: holds what the user typed until the dataset asks for it.
class EditBox : public DataLink {
public:
    explicit EditBox(QString field) : m_field(std::move(field)) {}
    void type(const QString& text) {
        m_text = text;
        m_typed = true;
    }

protected:
    void updateData() override {
        if (!m_typed) return;
        m_typed = false;
        dataset()->fieldByName(m_field).setAsString(m_text);
    }

private:
    QString m_field;
    QString m_text;
    bool m_typed = false;
};

}  // namespace

// Faculty → specialty → groups, each following the one above it.
struct Chain {
    Table faculty, specialty, groups;
    DataSource facultySource, specialtySource;

    explicit Chain(Connection& c) {
        for (Table* t : {&faculty, &specialty, &groups}) t->setConnection(&c);
        faculty.setTableName(QStringLiteral("Faculty"));
        faculty.setIndexFieldNames(QStringLiteral("ID_Faculty"));
        facultySource.setDataset(&faculty);
        specialty.setTableName(QStringLiteral("Specialty"));
        specialty.setIndexFieldNames(QStringLiteral("ID_Faculty;Name"));
        specialty.setMaster(&facultySource, QStringLiteral("ID_Faculty"));
        specialtySource.setDataset(&specialty);
        groups.setTableName(QStringLiteral("Groups"));
    }
    // After any fields of the groups are declared.
    void linkGroups() {
        groups.setIndexFieldNames(QStringLiteral("ID_Spec;Name"));
        groups.setMaster(&specialtySource, QStringLiteral("ID_Spec"));
    }
};

class TestMasterDetail : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addBackends(); }
    void init();
    void cleanup();

    void restrictionFollowsMasterMoves();
    void restrictionFollowsLinkValueChange();
    void detailMovesToFirstRowOnlyWhenRestrictionDiffers();
    void newDetailRowTakesMasterValues_data();
    void newDetailRowTakesMasterValues();
    void detailOpenedBeforeMasterShowsAllRows();
    void detailPendingRowSettledOnMasterMove_data();
    void detailPendingRowSettledOnMasterMove();
    void failingDetailPostStopsMasterMove_data();
    void failingDetailPostStopsMasterMove();
    void chainFollowsFacultyAndSpecialty();
    void chainSettlesGrandchildBeforeFacultyMoves();

private:
    void openBoth();

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<DataSource> m_studentSource;
    std::unique_ptr<DataSource> m_planSource;
    std::unique_ptr<Table> m_students;
    std::unique_ptr<Table> m_plan;
    int m_studentScrolls = 0;
    int m_planScrolls = 0;
};

void TestMasterDetail::init() {
    m_db = std::make_unique<TestDb>(schema, TestDb::currentBackend());
    m_students = std::make_unique<Table>();
    m_students->setConnection(&m_db->connection());
    m_students->setTableName(QStringLiteral("Students"));
    m_students->setIndexFieldNames(QStringLiteral("Fam"));
    m_studentScrolls = 0;
    m_students->afterScroll = [this](Dataset&) { ++m_studentScrolls; };
    m_studentSource = std::make_unique<DataSource>();
    m_studentSource->setDataset(m_students.get());

    m_plan = std::make_unique<Table>();
    m_plan->setConnection(&m_db->connection());
    m_plan->setTableName(QStringLiteral("Plan"));
    m_plan->addDataField(QStringLiteral("ID_Plan"), FieldType::Counter);
    m_plan->addDataField(QStringLiteral("ID_Group"), FieldType::Integer);
    m_plan->addDataField(QStringLiteral("Predmet"), FieldType::Text, 40)
        .setLabel(QStringLiteral("Предмет"))
        .setRequired(true);
    m_plan->addDataField(QStringLiteral("Semestr"), FieldType::SmallInt);
    m_plan->setIndexFieldNames(QStringLiteral("ID_Group;Predmet"));
    m_plan->setMaster(m_studentSource.get(), QStringLiteral("ID_Group"));
    m_planScrolls = 0;
    m_plan->afterScroll = [this](Dataset&) { ++m_planScrolls; };
    m_planSource = std::make_unique<DataSource>();
    m_planSource->setDataset(m_plan.get());
}

void TestMasterDetail::cleanup() {
    m_planSource.reset();
    m_plan.reset();
    m_studentSource.reset();
    m_students.reset();
    m_db.reset();
}

void TestMasterDetail::openBoth() {
    m_students->open();
    m_plan->open();
    QCOMPARE(value(*m_students, QStringLiteral("Fam")), QStringLiteral("Абрамов"));
    m_studentScrolls = 0;
    m_planScrolls = 0;
}

void TestMasterDetail::restrictionFollowsMasterMoves() {
    openBoth();
    QCOMPARE(column(*m_plan, QStringLiteral("Predmet")), firstGroupPlan);
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Алгебра"));

    struct Step {
        std::function<void()> move;
        QString student;
        QStringList plan;
    };
    const std::vector<Step> steps{
        {[&] { m_students->next(); }, QStringLiteral("Борисова"), firstGroupPlan},
        {[&] { m_students->next(); }, QStringLiteral("Васильев"), secondGroupPlan},
        {[&] { m_students->next(); }, QStringLiteral("Григорьева"), {}},
        // No group: the student's plan is empty, not everybody's.
        {[&] { m_students->last(); }, QStringLiteral("Дмитриев"), {}},
        {[&] { m_students->first(); }, QStringLiteral("Абрамов"), firstGroupPlan},
        {[&] { m_students->moveBy(2); }, QStringLiteral("Васильев"), secondGroupPlan},
        {[&] { m_students->prior(); }, QStringLiteral("Борисова"), firstGroupPlan},
        {[&] { QVERIFY(m_students->locate(QStringLiteral("Fam"), QStringLiteral("Васильев"))); },
         QStringLiteral("Васильев"), secondGroupPlan},
    };
    for (const Step& step : steps) {
        step.move();
        QCOMPARE(value(*m_students, QStringLiteral("Fam")), step.student);
        QCOMPARE(column(*m_plan, QStringLiteral("Predmet")), step.plan);
        QCOMPARE(m_plan->recordCount(), int(step.plan.size()));
        QCOMPARE(m_plan->recNo(), step.plan.isEmpty() ? -1 : 0);
        QCOMPARE(value(*m_plan, QStringLiteral("Predmet")),
                 step.plan.isEmpty() ? QString() : step.plan.first());
    }
}

void TestMasterDetail::restrictionFollowsLinkValueChange() {
    openBoth();
    m_plan->next();
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Геометрия"));
    Field& group = m_students->fieldByName(QStringLiteral("ID_Group"));

    // The detail follows the typed value at once, before the student is posted.
    m_students->edit();
    group.setValue(2);
    QCOMPARE(column(*m_plan, QStringLiteral("Predmet")), secondGroupPlan);
    QCOMPARE(m_plan->recNo(), 0);
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Анализ"));
    group.setValue(3);
    QCOMPARE(m_plan->recordCount(), 0);

    m_students->cancel();
    QCOMPARE(column(*m_plan, QStringLiteral("Predmet")), firstGroupPlan);
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Алгебра"));

    m_students->edit();
    group.setValue(2);
    m_students->post();
    QCOMPARE(column(*m_plan, QStringLiteral("Predmet")), secondGroupPlan);
    QCOMPARE(
        m_db->scalar(QStringLiteral("SELECT ID_Group FROM Students WHERE Fam = 'Абрамов'")).toInt(),
        2);

    m_students->edit();
    group.clear();
    QCOMPARE(m_plan->recordCount(), 0);
    QCOMPARE(m_plan->recNo(), -1);
}

void TestMasterDetail::detailMovesToFirstRowOnlyWhenRestrictionDiffers() {
    openBoth();
    m_plan->last();
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Физика"));
    m_planScrolls = 0;

    // Same group: the detail keeps its row and does not scroll.
    m_students->next();
    QCOMPARE(value(*m_students, QStringLiteral("Fam")), QStringLiteral("Борисова"));
    QCOMPARE(m_plan->recNo(), 2);
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Физика"));

    // Editing, posting and re-reading the student without touching the link value.
    m_students->edit();
    m_students->fieldByName(QStringLiteral("Fam")).setValue(QStringLiteral("Борисова-Ким"));
    QCOMPARE(m_plan->recNo(), 2);
    m_students->post();
    QCOMPARE(m_plan->recNo(), 2);
    m_students->refresh();
    QCOMPARE(m_plan->recNo(), 2);
    // Typing the same group number again changes nothing either.
    m_students->edit();
    m_students->fieldByName(QStringLiteral("ID_Group")).setValue(1);
    QCOMPARE(m_plan->recNo(), 2);
    m_students->cancel();
    QCOMPARE(m_plan->recNo(), 2);
    QCOMPARE(m_planScrolls, 0);

    m_students->next();
    QCOMPARE(value(*m_students, QStringLiteral("Fam")), QStringLiteral("Васильев"));
    QCOMPARE(m_plan->recNo(), 0);
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Анализ"));
    QCOMPARE(m_planScrolls, 1);

    m_plan->next();
    m_students->prior();
    QCOMPARE(m_plan->recNo(), 0);
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Алгебра"));
}

void TestMasterDetail::newDetailRowTakesMasterValues_data() {
    QTest::addColumn<QString>("student");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("group");

    QTest::newRow("append") << QStringLiteral("Васильев") << QStringLiteral("append") << 2;
    QTest::newRow("insert") << QStringLiteral("Васильев") << QStringLiteral("insert") << 2;
    QTest::newRow("append to an empty plan")
        << QStringLiteral("Григорьева") << QStringLiteral("append") << 3;
    QTest::newRow("edit on an empty plan")
        << QStringLiteral("Григорьева") << QStringLiteral("edit") << 3;
}

void TestMasterDetail::newDetailRowTakesMasterValues() {
    QFETCH(QString, student);
    QFETCH(QString, operation);
    QFETCH(int, group);

    openBoth();
    QVERIFY(m_students->locate(QStringLiteral("Fam"), student));
    const int before = m_plan->recordCount();
    if (operation == QLatin1String("append"))
        m_plan->append();
    else if (operation == QLatin1String("insert"))
        m_plan->insert();
    else
        m_plan->edit();
    QCOMPARE(m_plan->state(), DatasetState::Insert);
    QCOMPARE(m_plan->fieldByName(QStringLiteral("ID_Group")).value(), QVariant(group));
    QCOMPARE(m_plan->recordCount(), before + 1);

    m_plan->fieldByName(QStringLiteral("Predmet")).setValue(QStringLiteral("Черчение"));
    m_plan->post();
    QCOMPARE(m_db->rows(QStringLiteral("SELECT ID_Group FROM Plan WHERE Predmet = 'Черчение'")),
             QStringList{QString::number(group)});
    QCOMPARE(m_plan->recordCount(), before + 1);
    QVERIFY(column(*m_plan, QStringLiteral("Predmet")).contains(QStringLiteral("Черчение")));
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Черчение"));
}

void TestMasterDetail::detailOpenedBeforeMasterShowsAllRows() {
    m_plan->open();
    QCOMPARE(m_plan->recordCount(), 5);
    QCOMPARE(column(*m_plan, QStringLiteral("Predmet")), firstGroupPlan + secondGroupPlan);
    m_plan->last();
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Программирование"));

    m_students->open();
    QCOMPARE(column(*m_plan, QStringLiteral("Predmet")), firstGroupPlan);
    QCOMPARE(m_plan->recNo(), 0);
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), QStringLiteral("Алгебра"));
}

void TestMasterDetail::detailPendingRowSettledOnMasterMove_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("semester");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<bool>("throughControl");
    QTest::addColumn<QStringList>("stored");

    const QString same = QStringLiteral("Борисова");
    const QString other = QStringLiteral("Васильев");
    const QStringList unchanged{QStringLiteral("Алгебра|1"), QStringLiteral("Геометрия|1"),
                                QStringLiteral("Физика|2")};
    const QStringList edited{QStringLiteral("Алгебра|1"), QStringLiteral("Геометрия|3"),
                             QStringLiteral("Физика|2")};
    const QStringList added = unchanged + QStringList{QStringLiteral("Черчение|3")};

    for (const QString& target : {same, other}) {
        const QByteArray to = (target == same ? " (same group)" : " (other group)");
        QTest::newRow("modified row posted" + to)
            << target << QStringLiteral("edit") << QStringLiteral("3") << QString() << false
            << edited;
        QTest::newRow("unmodified row dropped" + to)
            << target << QStringLiteral("edit") << QString() << QString() << false << unchanged;
        QTest::newRow("new row posted" + to)
            << target << QStringLiteral("append") << QStringLiteral("3")
            << QStringLiteral("Черчение") << false << added;
        QTest::newRow("untouched new row dropped" + to)
            << target << QStringLiteral("append") << QString() << QString() << false << unchanged;
        QTest::newRow("typed into a control, posted" + to)
            << target << QStringLiteral("edit") << QStringLiteral("3") << QString() << true
            << edited;
        QTest::newRow("new row typed into controls, posted" + to)
            << target << QStringLiteral("append") << QStringLiteral("3")
            << QStringLiteral("Черчение") << true << added;
    }
}

void TestMasterDetail::detailPendingRowSettledOnMasterMove() {
    QFETCH(QString, target);
    QFETCH(QString, operation);
    QFETCH(QString, semester);
    QFETCH(QString, subject);
    QFETCH(bool, throughControl);
    QFETCH(QStringList, stored);

    EditBox semesterBox(QStringLiteral("Semestr"));
    EditBox subjectBox(QStringLiteral("Predmet"));
    semesterBox.setDataSource(m_planSource.get());
    subjectBox.setDataSource(m_planSource.get());
    openBoth();
    m_plan->next();  // Геометрия
    if (operation == QLatin1String("edit"))
        m_plan->edit();
    else
        m_plan->append();
    auto put = [&](EditBox& box, const QString& field, const QString& text) {
        if (text.isEmpty()) return;
        if (throughControl)
            box.type(text);
        else
            m_plan->fieldByName(field).setAsString(text);
    };
    put(subjectBox, QStringLiteral("Predmet"), subject);
    put(semesterBox, QStringLiteral("Semestr"), semester);

    QVERIFY(m_students->locate(QStringLiteral("Fam"), target));
    QCOMPARE(value(*m_students, QStringLiteral("Fam")), target);
    QCOMPARE(m_plan->state(), DatasetState::Browse);
    QVERIFY(!m_plan->isModified());
    QCOMPARE(m_db->rows(QStringLiteral(
                 "SELECT Predmet, Semestr FROM Plan WHERE ID_Group = 1 ORDER BY Predmet")),
             stored);
    // Group 2's two rows besides group 1's.
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Plan")).toInt(),
             2 + int(stored.size()));

    QStringList shown;
    for (const QString& row : stored) shown << row.section(QLatin1Char('|'), 0, 0);
    if (target == QStringLiteral("Васильев")) {
        QCOMPARE(column(*m_plan, QStringLiteral("Predmet")), secondGroupPlan);
        m_students->first();
    }
    QCOMPARE(column(*m_plan, QStringLiteral("Predmet")), shown);
}

void TestMasterDetail::failingDetailPostStopsMasterMove_data() {
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("move");
    QTest::addColumn<QString>("error");
    // The server's where it differs from SQLite's: its code, the same in every language.
    QTest::addColumn<QString>("errorOnServer");

    const QString required = QStringLiteral("Field 'Предмет' must have a value");
    const QString unique = QStringLiteral("UNIQUE constraint failed: Plan.ID_Group, Plan.Predmet");
    const QString uniqueOnServer = QStringLiteral("SQLSTATE 23505");
    for (const QString& move : {QStringLiteral("next"), QStringLiteral("last"),
                                QStringLiteral("locate"), QStringLiteral("append")}) {
        QTest::newRow(qPrintable(QStringLiteral("required field empty, ") + move))
            << QString() << move << required << required;
        QTest::newRow(qPrintable(QStringLiteral("database refuses, ") + move))
            << QStringLiteral("Алгебра") << move << unique << uniqueOnServer;
    }
}

void TestMasterDetail::failingDetailPostStopsMasterMove() {
    QFETCH(QString, subject);
    QFETCH(QString, move);
    QFETCH(QString, error);
    QFETCH(QString, errorOnServer);
    if (m_db->backend() == TestDb::Backend::Server) error = errorOnServer;

    openBoth();
    m_plan->append();
    m_plan->fieldByName(QStringLiteral("Semestr")).setValue(4);
    if (!subject.isEmpty()) m_plan->fieldByName(QStringLiteral("Predmet")).setValue(subject);
    const int pending = m_plan->recNo();
    m_planScrolls = 0;

    auto moveMaster = [&] {
        if (move == QLatin1String("next"))
            m_students->next();
        else if (move == QLatin1String("last"))
            m_students->last();
        else if (move == QLatin1String("locate"))
            m_students->locate(QStringLiteral("Fam"), QStringLiteral("Васильев"));
        else
            m_students->append();
    };
    try {
        moveMaster();
        QFAIL("the student moved although the plan row could not be posted");
    } catch (const DataError& e) {
        QCOMPARE(failureId(e), error);
    }

    QCOMPARE(m_students->state(), DatasetState::Browse);
    QCOMPARE(m_students->recNo(), 0);
    QCOMPARE(value(*m_students, QStringLiteral("Fam")), QStringLiteral("Абрамов"));
    QCOMPARE(m_studentScrolls, 0);

    QCOMPARE(m_plan->state(), DatasetState::Insert);
    QCOMPARE(m_plan->recNo(), pending);
    QCOMPARE(m_plan->recordCount(), 4);
    QCOMPARE(m_plan->fieldByName(QStringLiteral("Semestr")).value(), QVariant(4));
    QCOMPARE(value(*m_plan, QStringLiteral("Predmet")), subject);
    QCOMPARE(m_plan->fieldByName(QStringLiteral("ID_Group")).value(), QVariant(1));
    QCOMPARE(m_planScrolls, 0);
    QCOMPARE(m_db->scalar(QStringLiteral("SELECT count(*) FROM Plan")).toInt(), 5);

    // Once the row can be posted, the same move goes through.
    m_plan->fieldByName(QStringLiteral("Predmet")).setValue(QStringLiteral("Черчение"));
    moveMaster();
    QVERIFY(m_studentScrolls > 0);
    QCOMPARE(m_db->rows(QStringLiteral("SELECT ID_Group, Semestr FROM Plan "
                                       "WHERE Predmet = 'Черчение'")),
             QStringList{QStringLiteral("1|4")});
}

void TestMasterDetail::chainFollowsFacultyAndSpecialty() {
    Chain chain(m_db->connection());
    Table& faculty = chain.faculty;
    Table& specialty = chain.specialty;
    Table& groups = chain.groups;
    chain.linkGroups();

    // Opened from the bottom up: each waits for its master.
    groups.open();
    QCOMPARE(groups.recordCount(), 4);
    specialty.open();
    QCOMPARE(specialty.recordCount(), 3);
    QCOMPARE(column(groups, QStringLiteral("Name")), QStringList{QStringLiteral("ИН-11")});
    faculty.open();
    QCOMPARE(column(specialty, QStringLiteral("Name")),
             QStringList({QStringLiteral("Информатика"), QStringLiteral("Прикладная математика")}));
    QCOMPARE(column(groups, QStringLiteral("Name")), QStringList{QStringLiteral("ИН-11")});

    specialty.next();
    QCOMPARE(column(groups, QStringLiteral("Name")),
             QStringList({QStringLiteral("ПМ-11"), QStringLiteral("ПМ-12")}));
    groups.next();

    faculty.next();
    QCOMPARE(column(specialty, QStringLiteral("Name")), QStringList{QStringLiteral("Физика")});
    QCOMPARE(column(groups, QStringLiteral("Name")), QStringList{QStringLiteral("ФИ-11")});
    QCOMPARE(value(groups, QStringLiteral("Name")), QStringLiteral("ФИ-11"));

    // A faculty without specialties: no specialty is current, so no group is shown.
    faculty.next();
    QCOMPARE(specialty.recordCount(), 0);
    QCOMPARE(groups.recordCount(), 0);
    QCOMPARE(groups.recNo(), -1);

    faculty.first();
    QCOMPARE(specialty.recNo(), 0);
    QCOMPARE(value(specialty, QStringLiteral("Name")), QStringLiteral("Информатика"));
    QCOMPARE(column(groups, QStringLiteral("Name")), QStringList{QStringLiteral("ИН-11")});

    // A new group belongs to the specialty shown above it.
    specialty.next();
    groups.append();
    QCOMPARE(groups.fieldByName(QStringLiteral("ID_Spec")).value(), QVariant(1));
}

void TestMasterDetail::chainSettlesGrandchildBeforeFacultyMoves() {
    Chain chain(m_db->connection());
    Table& faculty = chain.faculty;
    Table& specialty = chain.specialty;
    Table& groups = chain.groups;
    groups.addDataField(QStringLiteral("ID_Group"), FieldType::Counter);
    groups.addDataField(QStringLiteral("ID_Spec"), FieldType::Integer);
    groups.addDataField(QStringLiteral("Name"), FieldType::Text, 10)
        .setLabel(QStringLiteral("Группа"))
        .setRequired(true);
    groups.addDataField(QStringLiteral("Kurs"), FieldType::SmallInt);
    chain.linkGroups();
    faculty.open();
    specialty.open();
    groups.open();
    specialty.next();  // Прикладная математика

    // A group without a name cannot be posted: the faculty stays where it is.
    groups.append();
    groups.fieldByName(QStringLiteral("Kurs")).setValue(2);
    try {
        faculty.next();
        QFAIL("the faculty moved although the group could not be posted");
    } catch (const DataError& e) {
        QCOMPARE(e.text(), QStringLiteral("Field 'Группа' must have a value"));
    }
    QCOMPARE(value(faculty, QStringLiteral("Name")), QStringLiteral("Математический"));
    QCOMPARE(value(specialty, QStringLiteral("Name")), QStringLiteral("Прикладная математика"));
    QCOMPARE(groups.state(), DatasetState::Insert);
    QCOMPARE(groups.fieldByName(QStringLiteral("Kurs")).value(), QVariant(2));

    groups.fieldByName(QStringLiteral("Name")).setValue(QStringLiteral("ПМ-21"));
    faculty.next();
    QCOMPARE(value(faculty, QStringLiteral("Name")), QStringLiteral("Физический"));
    QCOMPARE(groups.state(), DatasetState::Browse);
    QCOMPARE(m_db->rows(QStringLiteral("SELECT ID_Spec, Kurs FROM Groups WHERE Name = 'ПМ-21'")),
             QStringList{QStringLiteral("1|2")});
    QCOMPARE(column(groups, QStringLiteral("Name")), QStringList{QStringLiteral("ФИ-11")});
}

QTEST_GUILESS_MAIN(TestMasterDetail)
#include "tst_master_detail.moc"
