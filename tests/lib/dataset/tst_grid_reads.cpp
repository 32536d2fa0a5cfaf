// What a grid reads of rows it does not move to: computed values (lookups and
// the calculation hook) stay right as the datasets they read change, and are
// not computed again for changes in datasets they do not read.
#include <QTest>
#include <memory>

#include "Dataset.h"
#include "TestDb.h"

namespace {

const QString schema = QStringLiteral(R"(
CREATE TABLE Faculty (ID_Faculty INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT(60));
CREATE TABLE Teachers (ID_Teacher INTEGER PRIMARY KEY AUTOINCREMENT, Fam TEXT(30),
    ID_Faculty INTEGER);
CREATE TABLE Groups (ID_Group INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT(10),
    ID_Curator INTEGER);
CREATE TABLE Rooms (ID_Room INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT(10));
INSERT INTO Faculty (Name) VALUES ('Математический'), ('Физический');
INSERT INTO Teachers (Fam, ID_Faculty) VALUES ('Сидоров', 1), ('Антонова', 2);
INSERT INTO Groups (Name, ID_Curator) VALUES ('ПМ-11', 1), ('ФИ-21', 2);
INSERT INTO Rooms (Name) VALUES ('101'), ('202')
)");

// Groups show their curator and the curator's faculty: a lookup of a lookup.
// Teachers show their faculty and a calculated title; every calculation is counted.
struct Fixture {
    Fixture() {
        for (Table* t : {&faculty, &teachers, &groups, &rooms}) t->setConnection(&db.connection());
        faculty.setTableName(QStringLiteral("Faculty"));
        rooms.setTableName(QStringLiteral("Rooms"));
        teachers.setTableName(QStringLiteral("Teachers"));
        teachers.addDataField(QStringLiteral("ID_Teacher"), FieldType::Counter);
        teachers.addDataField(QStringLiteral("Fam"), FieldType::Text, 30);
        teachers.addDataField(QStringLiteral("ID_Faculty"), FieldType::Integer);
        teachers.addLookupField(QStringLiteral("FacultyName"), FieldType::Text, 60, &faculty,
                                QStringLiteral("ID_Faculty"), QStringLiteral("ID_Faculty"),
                                QStringLiteral("Name"));
        teachers.addCalculatedField(QStringLiteral("Title"), FieldType::Text, 100);
        teachers.onCalcFields = [this](Dataset& ds) {
            ++teacherCalculations;
            ds.fieldByName(QStringLiteral("Title"))
                .setValue(ds.fieldByName(QStringLiteral("Fam")).asString() + QStringLiteral(", ") +
                          ds.fieldByName(QStringLiteral("FacultyName")).asString());
        };
        groups.setTableName(QStringLiteral("Groups"));
        groups.addDataField(QStringLiteral("ID_Group"), FieldType::Counter);
        groups.addDataField(QStringLiteral("Name"), FieldType::Text, 10);
        groups.addDataField(QStringLiteral("ID_Curator"), FieldType::Integer);
        groups.addLookupField(QStringLiteral("CuratorFaculty"), FieldType::Text, 60, &teachers,
                              QStringLiteral("ID_Curator"), QStringLiteral("ID_Teacher"),
                              QStringLiteral("FacultyName"));
        for (Table* t : {&faculty, &teachers, &groups, &rooms}) t->open();
    }

    QString read(const Dataset& ds, int row, const QString& field) const {
        return ds.viewValue(row, &ds.fieldByName(field)).toString();
    }
    void rename(Dataset& ds, int row, const QString& field, const QString& text) {
        ds.setRecNo(row);
        ds.edit();
        ds.fieldByName(field).setValue(text);
        ds.post();
    }

    TestDb db{schema, TestDb::currentBackend()};
    Table faculty;
    Table teachers;
    Table groups;
    Table rooms;
    int teacherCalculations = 0;
};

}  // namespace

class TestGridReads : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { TestDb::addBackends(); }
    void readFollowsTheDatasetsItLooksIn_data();
    void readFollowsTheDatasetsItLooksIn();
    void readIsComputedAgainOnlyForDatasetsItReads_data();
    void readIsComputedAgainOnlyForDatasetsItReads();
    void datasetsLookingUpEachOtherStillRead();
};

void TestGridReads::readFollowsTheDatasetsItLooksIn_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("teacherFaculty");  // Антонова's, row 1 of the teachers
    QTest::addColumn<QString>("groupFaculty");    // ФИ-21's curator's, row 1 of the groups
    const QString physics = QStringLiteral("Физический");
    QTest::newRow("faculty renamed and posted")
        << QStringLiteral("rename") << QStringLiteral("Физико-технический")
        << QStringLiteral("Физико-технический");
    QTest::newRow("faculty row deleted") << QStringLiteral("delete") << QString() << QString();
    QTest::newRow("faculty closed") << QStringLiteral("close") << QString() << QString();
    QTest::newRow("faculty closed and opened again")
        << QStringLiteral("reopen") << physics << physics;
    QTest::newRow("teacher moved to another faculty")
        << QStringLiteral("move teacher") << QStringLiteral("Математический")
        << QStringLiteral("Математический");
}

void TestGridReads::readFollowsTheDatasetsItLooksIn() {
    QFETCH(QString, change);
    QFETCH(QString, teacherFaculty);
    QFETCH(QString, groupFaculty);
    Fixture f;
    // A grid has read the rows once already.
    QCOMPARE(f.read(f.teachers, 1, QStringLiteral("FacultyName")), QStringLiteral("Физический"));
    QCOMPARE(f.read(f.groups, 1, QStringLiteral("CuratorFaculty")), QStringLiteral("Физический"));

    if (change == QLatin1String("rename")) {
        f.rename(f.faculty, 1, QStringLiteral("Name"), teacherFaculty);
    } else if (change == QLatin1String("delete")) {
        f.faculty.setRecNo(1);
        f.faculty.remove();
    } else if (change == QLatin1String("close")) {
        f.faculty.close();
    } else if (change == QLatin1String("reopen")) {
        f.faculty.close();
        QCOMPARE(f.read(f.teachers, 1, QStringLiteral("FacultyName")), QString());
        f.faculty.open();
    } else if (change == QLatin1String("move teacher")) {
        f.teachers.setRecNo(1);
        f.teachers.edit();
        f.teachers.fieldByName(QStringLiteral("ID_Faculty")).setValue(1);
        // The pending row is what a grid shows on the current row; the others still read
        // the stored rows, so the group sees the change once it is stored.
        QCOMPARE(f.read(f.teachers, 1, QStringLiteral("FacultyName")), teacherFaculty);
        f.teachers.post();
    }

    QCOMPARE(f.read(f.teachers, 1, QStringLiteral("FacultyName")), teacherFaculty);
    QCOMPARE(f.read(f.teachers, 1, QStringLiteral("Title")),
             QStringLiteral("Антонова, ") + teacherFaculty);
    QCOMPARE(f.read(f.groups, 1, QStringLiteral("CuratorFaculty")), groupFaculty);
}

void TestGridReads::readIsComputedAgainOnlyForDatasetsItReads_data() {
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("computedAgain");
    QTest::newRow("unrelated row posted")
        << QStringLiteral("rooms") << QStringLiteral("post") << false;
    QTest::newRow("unrelated pending row")
        << QStringLiteral("rooms") << QStringLiteral("pending") << false;
    QTest::newRow("unrelated closed")
        << QStringLiteral("rooms") << QStringLiteral("close") << false;
    // The groups look in the teachers, not the other way round.
    QTest::newRow("dataset looking in it posts")
        << QStringLiteral("groups") << QStringLiteral("post") << false;
    QTest::newRow("lookup row posted")
        << QStringLiteral("faculty") << QStringLiteral("post") << true;
    QTest::newRow("lookup pending row")
        << QStringLiteral("faculty") << QStringLiteral("pending") << true;
    QTest::newRow("lookup closed") << QStringLiteral("faculty") << QStringLiteral("close") << true;
    QTest::newRow("own row posted") << QStringLiteral("teachers") << QStringLiteral("post") << true;
}

void TestGridReads::readIsComputedAgainOnlyForDatasetsItReads() {
    QFETCH(QString, dataset);
    QFETCH(QString, change);
    QFETCH(bool, computedAgain);
    Fixture f;
    Table* target = dataset == QLatin1String("rooms")     ? &f.rooms
                    : dataset == QLatin1String("groups")  ? &f.groups
                    : dataset == QLatin1String("faculty") ? &f.faculty
                                                          : &f.teachers;
    // Row 1 of the teachers is not current: only a grid computes it.
    QCOMPARE(f.teachers.recNo(), 0);
    f.read(f.teachers, 1, QStringLiteral("Title"));
    const int once = f.teacherCalculations;
    f.read(f.teachers, 1, QStringLiteral("FacultyName"));
    f.read(f.teachers, 1, QStringLiteral("Title"));
    QCOMPARE(f.teacherCalculations, once);

    if (change == QLatin1String("close")) {
        target->close();
    } else {
        target->setRecNo(target == &f.teachers ? 0 : 1);
        target->edit();
        target->fieldByName(target == &f.teachers ? QStringLiteral("Fam") : QStringLiteral("Name"))
            .setValue(QStringLiteral("X"));
        if (change == QLatin1String("post")) target->post();
    }
    const int before = f.teacherCalculations;
    f.read(f.teachers, 1, QStringLiteral("Title"));
    QCOMPARE(f.teacherCalculations > before, computedAgain);
}

void TestGridReads::datasetsLookingUpEachOtherStillRead() {
    TestDb db(schema, TestDb::currentBackend());
    // Each faculty names the first teacher of it; each teacher names a faculty.
    Table faculty, teachers;
    faculty.setConnection(&db.connection());
    teachers.setConnection(&db.connection());
    faculty.setTableName(QStringLiteral("Faculty"));
    faculty.addDataField(QStringLiteral("ID_Faculty"), FieldType::Counter);
    faculty.addDataField(QStringLiteral("Name"), FieldType::Text, 60);
    faculty.addLookupField(QStringLiteral("Teacher"), FieldType::Text, 30, &teachers,
                           QStringLiteral("ID_Faculty"), QStringLiteral("ID_Faculty"),
                           QStringLiteral("Fam"));
    teachers.setTableName(QStringLiteral("Teachers"));
    teachers.addDataField(QStringLiteral("ID_Teacher"), FieldType::Counter);
    teachers.addDataField(QStringLiteral("Fam"), FieldType::Text, 30);
    teachers.addDataField(QStringLiteral("ID_Faculty"), FieldType::Integer);
    teachers.addLookupField(QStringLiteral("Faculty"), FieldType::Text, 60, &faculty,
                            QStringLiteral("ID_Faculty"), QStringLiteral("ID_Faculty"),
                            QStringLiteral("Name"));
    faculty.open();
    teachers.open();
    const Field* teacher = &faculty.fieldByName(QStringLiteral("Teacher"));
    QCOMPARE(faculty.viewValue(1, teacher).toString(), QStringLiteral("Антонова"));
    teachers.setRecNo(1);
    teachers.edit();
    teachers.fieldByName(QStringLiteral("Fam")).setValue(QStringLiteral("Антонова-Ким"));
    teachers.post();
    QCOMPARE(faculty.viewValue(1, teacher).toString(), QStringLiteral("Антонова-Ким"));
    QCOMPARE(teachers.viewValue(0, &teachers.fieldByName(QStringLiteral("Faculty"))).toString(),
             QStringLiteral("Математический"));
}

QTEST_GUILESS_MAIN(TestGridReads)
#include "tst_grid_reads.moc"
