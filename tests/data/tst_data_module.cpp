// The data module on small databases: the schema, the declared datasets and
// fields, the lookups and links the windows rely on, the short names, the plan
// reset, starting without a usable database, and the same module on a server
// database that two desks share.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "Connection.h"
#include "DM_Tessaly.h"
#include "FileBytes.h"
#include "Messages.h"
#include "PgConnection.h"
#include "PgTestServer.h"
#include "References.h"
#include "Schema.h"

namespace {

// A database in a temporary folder that is the current folder while the fixture lives.
class Folder {
public:
    Folder() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~Folder() { QDir::setCurrent(m_previous); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

void run(Connection& c, const QString& sql, const QVariantList& values = {}) {
    auto st = c.prepare(sql);
    for (int i = 0; i < values.size(); ++i) st->bindValue(i + 1, values[i]);
    while (st->step()) {
    }
}

void fill(Connection& c);

// Two faculties, two specialties of the first, groups, teachers, students, plan and grades.
void fill(const QString& path) {
    SqliteConnection::createFile(path);
    SqliteConnection c(path);
    c.open();
    fill(c);
}

void fill(Connection& c) {
    schema::create(c);
    run(c, QStringLiteral("INSERT INTO Facultet (Nazvanie, ID_Dekan) VALUES "
                          "('Информатики', 1), ('Экономики', 2)"));
    run(c, QStringLiteral("INSERT INTO Specialnost (Nazvanie, ID_Facultet, ID_Spec) VALUES "
                          "('Программная инженерия', 1, '090304'), "
                          "('Прикладная информатика', 1, '090303')"));
    run(c, QStringLiteral("INSERT INTO Gruppa (Nazvanie, ID_Specialnost, ID_Kyrator) VALUES "
                          "('ПИ-21', '090304', 1), ('ПИ-22', '090304', 2), ('ПРИ-21', '090303', 2)"));
    run(c, QStringLiteral("INSERT INTO Kafedra (ID_facultet, Nazvanie, ID_kafedra) VALUES "
                          "(1, 'Программирования', 10), (2, 'Финансов', 20)"));
    run(c, QStringLiteral("INSERT INTO N_Zvanie (NAME) VALUES ('Доцент'), ('Профессор'), "
                          "('Старший научный сотрудник')"));
    run(c, QStringLiteral("INSERT INTO Dolgnost (SNAME, NAME) VALUES ('доц.', 'Доцент')"));
    run(c, QStringLiteral("INSERT INTO N_Stepen (SNAME, NAME) VALUES ('к.т.н.', "
                          "'Кандидат технических наук')"));
    run(c, QStringLiteral("INSERT INTO Prepodavateli (ID_Prepod, \"Фамилия\", \"Имя\", "
                          "\"Отчество\", \"Звание\", \"Степень\", \"Должность\", ID_kafedra) VALUES "
                          "(1, 'Соколова', 'Ирина', 'Павловна', '3', '1', 1, 10), "
                          "(2, 'Ким', 'Олег', '', '1', NULL, 1, 20)"));
    run(c, QStringLiteral("INSERT INTO Studenti (N_student, Fam, Name, SecName, ID_group) VALUES "
                          "('0000001', 'Иванов', 'Пётр', 'Сергеевич', 1), "
                          "('0000002', 'Петрова', 'Анна', 'Игоревна', 3), "
                          "('0000003', 'Сидоров', 'Иван', 'Ильич', 99)"));
    run(c, QStringLiteral("INSERT INTO Parents (PFam, N_Student) VALUES ('Иванова', '0000001')"));
    run(c, QStringLiteral("INSERT INTO Disciplins (NameDis) VALUES ('Математический анализ'), "
                          "('Базы данных')"));
    run(c, QStringLiteral("INSERT INTO ID_kontrol (ID_KONTROL, Nazvanie) VALUES (1, 'Экзамен'), "
                          "(2, 'Зачет')"));
    run(c, QStringLiteral("INSERT INTO ID_Result (ID_Result, Nazvanie) VALUES (1, 'Отлично'), "
                          "(5, 'Зачтено')"));
    run(c, QStringLiteral("INSERT INTO PlanSpec (ID_Spec, Ndis, Semestr, ID_Kontrol) VALUES "
                          "('090304', 1, 1, 1), ('090304', 2, 1, 2), ('090303', 2, 3, 1)"));
    run(c, QStringLiteral("INSERT INTO Ocenki (N_student, ID_Plan, Semestr, ID_Result) VALUES "
                          "('0000001', 1, 1, 1), ('0000001', 2, 1, 5)"));
}

}  // namespace

// The data module knows the card windows only by name and through their card
// side; these stand in for them, without any widget.
class TStuds : public CardWindow {
public:
    explicit TStuds(bool shown) : m_shown(shown) {}
    bool isCardShown() const override { return m_shown; }
    void refreshCard() override { shownNumbers << DM->Q_StudentiN_student->asString(); }
    QStringList shownNumbers;

private:
    WindowReference<TStuds>::Claim m_reference{Studs, this};
    bool m_shown;
};

class TPrep : public CardWindow {
public:
    explicit TPrep(bool shown, bool failing = false) : m_shown(shown) {
        if (failing) throw DataError(QStringLiteral("no window today"));
    }
    bool isCardShown() const override { return m_shown; }
    void refreshCard() override { shownSurnames << DM->Q_PrepodDSDesigner->asString(); }
    QStringList shownSurnames;

private:
    WindowReference<TPrep>::Claim m_reference{Prep, this};
    bool m_shown;
};

class TestDataModule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void schemaIsWrittenAndReadBack();
    void schemaProblemsNameWhatIsMissing();
    void declaredFields_data();
    void declaredFields();
    void everyDatasetButTheReportIsOpenAfterStart();
    void fieldMembersAreFoundByTheirNames();
    void cardRefreshReachesOnlyAShownWindow_data();
    void cardRefreshReachesOnlyAShownWindow();
    void deletingTheLastStudentRefreshesTheCard();
    void failedWindowCreationLeavesTheReferenceEmpty();
    void teacherRefreshReachesEveryShownWindow();
    void newRowTakesTheNextNumber_data();
    void newRowTakesTheNextNumber();
    void lookupsAndLinks();
    void studentLookupsFollowTheirGroupWhateverTheRestriction();
    void closedPlanQueryEmptiesTheGradeLookups();
    void curatorNameKeepsUntilTheGroupIsPosted();
    void newParentTakesTheCurrentStudentsNumber();
    void shortName_data();
    void shortName();
    void shortNamesAreCutToTheirFieldSize();
    void planResetShowsTwoMessagesAndReopens();
    void startWithoutDatabaseReportsEveryAttempt();
    void foreignFilesAreRefusedUnchanged_data();
    void foreignFilesAreRefusedUnchanged();
    void unreachableServerIsReportedLikeAMissingFile();
    void serverDatabaseServesTheModule();
    void foreignServerDatabaseIsRefused();
};

void TestDataModule::schemaIsWrittenAndReadBack() {
    Folder folder;
    const QString path = folder.file(QStringLiteral("s.mdb"));
    SqliteConnection::createFile(path);
    SqliteConnection c(path);
    c.open();
    schema::create(c);
    QCOMPARE(schema::problems(c), QStringList());
    QCOMPARE(int(schema::tables().size()), 15);
    for (const schema::Table& t : schema::tables()) {
        const auto columns = c.tableColumns(t.name);
        QCOMPARE(int(columns.size()), int(t.columns.size()));
        for (size_t i = 0; i < columns.size(); ++i) QCOMPARE(columns[i].name, t.columns[i].name);
    }
    // A counter is assigned by the database and is the row's hidden key.
    run(c, QStringLiteral("INSERT INTO Disciplins (NameDis) VALUES ('Физика')"));
    auto st = c.prepare(QStringLiteral("SELECT Ndis, rowid FROM Disciplins"));
    QVERIFY(st->step());
    QCOMPARE(st->columnInt64(0), int64_t(1));
    QCOMPARE(st->columnInt64(1), int64_t(1));
    // Keys stay unique.
    run(c, QStringLiteral("INSERT INTO Studenti (N_student) VALUES ('1234567')"));
    QVERIFY_THROWS_EXCEPTION(
        DataError, run(c, QStringLiteral("INSERT INTO Studenti (N_student) VALUES ('1234567')")));
}

void TestDataModule::schemaProblemsNameWhatIsMissing() {
    Folder folder;
    const QString path = folder.file(QStringLiteral("p.mdb"));
    SqliteConnection::createFile(path);
    SqliteConnection c(path);
    c.open();
    schema::create(c);
    run(c, QStringLiteral("DROP TABLE Parents"));
    run(c, QStringLiteral("ALTER TABLE Ocenki DROP COLUMN Semestr"));
    run(c, QStringLiteral("ALTER TABLE Studenti ADD COLUMN Extra TEXT"));  // extra columns are fine
    const QStringList problems = schema::problems(c);
    QCOMPARE(problems.size(), 2);
    QVERIFY(problems.contains(QStringLiteral("table Parents is missing")));
    QVERIFY(problems.contains(QStringLiteral("column Ocenki.Semestr is missing")));
}

void TestDataModule::declaredFields_data() {
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kindAndType");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("visible");

    struct Row {
        const char* object;
        const char* dataset;
        int index;
        const char* name;
        const char* kindAndType;
        int size;
        const char* label;
        int width;
        bool visible;
    };
    // width 0: the field has no width of its own.
    const Row rows[] = {
        {"Q_StudentiN_student", "Q_Studenti", 0, "N_student", "data text", 50, "", 14, true},
        {"Q_StudentiFam", "Q_Studenti", 1, "Fam", "data text", 30, "Фамилия", 0, true},
        {"Q_StudentiBirthDate", "Q_Studenti", 4, "BirthDate", "data date-time", 0, "Дата Рождения", 0, true},
        {"Q_StudentiSex", "Q_Studenti", 5, "Sex", "data text", 50, "Пол", 5, true},
        {"Q_StudentiEnterDate", "Q_Studenti", 6, "EnterDate", "data date-time", 0, "Дата поступления", 0, false},
        {"Q_StudentiFamilyPosition", "Q_Studenti", 7, "FamilyPosition", "data text", 50, "", 0, false},
        {"Q_StudentiApar", "Q_Studenti", 12, "Apar", "data text", 50, "квартира", 0, true},
        {"Q_StudentiType_Stud", "Q_Studenti", 13, "Type_Stud", "data text", 50, "Вид Обучения", 0, true},
        {"Q_StudentiID_group", "Q_Studenti", 14, "ID_group", "data integer", 0, "", 0, false},
        {"Q_StudentiPodGroupe", "Q_Studenti", 15, "PodGroupe", "data small integer", 0, "", 0, true},
        {"Q_StudentiFoto", "Q_Studenti", 17, "Foto", "data text", 255, "", 0, true},
        {"Q_StudentiFIO", "Q_Studenti", 18, "FIO", "calculated text", 20, "", 0, true},
        {"Q_StudentiID_Plan", "Q_Studenti", 19, "ID_Plan", "lookup integer", 0, "", 0, true},
        {"Q_StudentiID_Spec", "Q_Studenti", 20, "ID_Spec", "lookup text", 50, "", 0, true},
        {"T_ParentsPFam", "T_Parents", 0, "PFam", "data text", 30, "", 0, true},
        {"T_ParentsN_Student", "T_Parents", 8, "N_Student", "data text", 50, "", 0, true},
        {"T_OcenkiN_student", "T_Ocenki", 0, "N_student", "data text", 50, "", 15, true},
        {"T_OcenkiDIS", "T_Ocenki", 1, "DIS", "lookup text", 20, "", 8, true},
        {"T_OcenkiKONTOL", "T_Ocenki", 2, "KONTOL", "lookup text", 20, "", 12, true},
        {"T_OcenkiDate", "T_Ocenki", 3, "Date", "data date-time", 0, "", 10, true},
        {"T_OcenkiResult", "T_Ocenki", 4, "Result", "lookup text", 10, "", 12, true},
        {"T_OcenkiID_DISCIP", "T_Ocenki", 7, "ID_DISCIP", "lookup text", 20, "", 24, true},
        {"T_OcenkiSemestr", "T_Ocenki", 8, "Semestr", "data integer", 0, "", 0, true},
        {"T_ID_ResultSokr_nazv", "T_ID_Result", 2, "Sokr_nazv", "data text", 50, "", 0, true},
        {"Q_PrepodID_Prepod", "Q_Prepod", 0, "ID_Prepod", "data integer", 0, "Код", 10, false},
        {"Q_PrepodDSDesigner", "Q_Prepod", 1, "Фамилия", "data text", 255, "", 54, true},
        {"Q_PrepodFIO", "Q_Prepod", 4, "FIO", "calculated text", 60, "", 0, true},
        {"Q_PrepodDSDesigner5", "Q_Prepod", 5, "День рождения", "data date-time", 0, "", 40, true},
        {"Q_PrepodDolgnost", "Q_Prepod", 9, "Dolgnost", "lookup text", 50, "", 40, true},
        {"Q_PrepodZvanie", "Q_Prepod", 10, "Zvanie", "lookup text", 100, "", 40, true},
        {"Q_PrepodN_Stepen", "Q_Prepod", 11, "N_Stepen", "lookup text", 20, "", 40, true},
        {"Q_PrepodKafedra", "Q_Prepod", 20, "Kafedra", "lookup text", 100, "", 0, true},
        {"Q_PrepodDSDesigner9", "Q_Prepod", 23, "Должность", "data small integer", 0, "", 60, false},
        {"T_ZvanieID_Zvanie", "T_Zvanie", 0, "ID_Zvanie", "data counter", 0, "Код", 0, true},
        {"T_DolgnostID_Dolgnost", "T_Dolgnost", 2, "ID_Dolgnost", "data counter", 0, "", 0, true},
        {"T_StepenSNAME", "T_Stepen", 1, "SNAME", "data text", 255, "Сокр. назв", 20, true},
        {"facultetID_Facultet", "facultet", 0, "ID_Facultet", "data counter", 0, "", 0, false},
        {"facultetNazvanie", "facultet", 1, "Nazvanie", "data text", 50, "", 35, true},
        {"T_SpecFacultet", "T_Spec", 1, "Facultet", "lookup text", 20, "Факультет", 0, true},
        {"T_SpecID_Plan", "T_Spec", 4, "ID_Plan", "lookup integer", 0, "", 0, true},
        {"T_KafedraID_facultet", "T_Kafedra", 0, "ID_facultet", "data small integer", 0, "Код Факультета", 6, false},
        {"T_KafedraFACULTET", "T_Kafedra", 4, "FACULTET", "lookup text", 20, "Факультет", 0, true},
        {"T_GruppaFIO_KYRATOR", "T_Gruppa", 5, "FIO_KYRATOR", "lookup text", 20, "", 0, true},
        {"T_DisciplinsNameDis", "T_Disciplins", 1, "NameDis", "data text", 150, "Название Дисциплины", 32, true},
        {"Q_Plan_SpecDIS", "Q_Plan_Spec", 0, "DIS", "lookup text", 20, "Дисциплина", 0, true},
        {"Q_Plan_SpecKONTROL", "Q_Plan_Spec", 4, "KONTROL", "lookup text", 20, "Тип контроля", 0, true},
        {"Q_Plan_SpecID_Plan", "Q_Plan_Spec", 6, "ID_Plan", "data counter", 0, "", 0, false},
        {"T_Plan_SpecDIS", "T_Plan_Spec", 0, "DIS", "lookup text", 25, "Дисциплина", 0, true},
        {"T_Plan_SpecTime_Lekcii", "T_Plan_Spec", 2, "Time_Lekcii", "data integer", 0, "Лекционные Часы", 0, true},
        {"T_Plan_SpecKONTROL", "T_Plan_Spec", 8, "KONTROL", "lookup text", 10, "", 0, false},
    };
    for (const Row& r : rows)
        QTest::newRow(r.object) << QString::fromUtf8(r.object) << QString::fromUtf8(r.dataset)
                                << r.index << QString::fromUtf8(r.name)
                                << QString::fromUtf8(r.kindAndType) << r.size
                                << QString::fromUtf8(r.label) << r.width << r.visible;
}

void TestDataModule::declaredFields() {
    QFETCH(QString, objectName);
    QFETCH(QString, dataset);
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(QString, kindAndType);
    QFETCH(int, size);
    QFETCH(QString, label);
    QFETCH(int, width);
    QFETCH(bool, visible);

    Folder folder;
    platform::MessageRecorder messages;  // no database here: the reports are not the point
    TDM dm;
    Field* f = dm.field(objectName);
    QVERIFY(f);
    QCOMPARE(f->dataset()->objectName(), dataset);
    QCOMPARE(f->index(), index);
    QCOMPARE(f->name(), name);
    const QString kind = f->kind() == FieldKind::Data     ? QStringLiteral("data")
                         : f->kind() == FieldKind::Lookup ? QStringLiteral("lookup")
                                                          : QStringLiteral("calculated");
    QCOMPARE(kind + QLatin1Char(' ') + fieldTypeName(f->type()), kindAndType);
    QCOMPARE(f->size(), size);
    QCOMPARE(f->label(), label);
    if (width > 0) QCOMPARE(f->displayWidth(), width);
    QCOMPARE(f->isVisible(), visible);
    if (f->type() == FieldType::Counter || f->kind() == FieldKind::Lookup) QVERIFY(f->isReadOnly());
}

void TestDataModule::fieldMembersAreFoundByTheirNames() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    platform::MessageRecorder messages;
    TDM dm;
    QCOMPARE(dm.field(QStringLiteral("Q_StudentiFIO")), dm.Q_StudentiFIO);
    QCOMPARE(dm.field(QStringLiteral("Q_PrepodDSDesigner7"))->name(), QStringLiteral("Пол"));
    QCOMPARE(dm.field(QStringLiteral("T_OcenkiDIS"))->dataset(), dm.T_Ocenki);
    QCOMPARE(dm.field(QStringLiteral("no_such_field")), nullptr);
    // Every declared field is a member under its object name, so layouts find it both ways.
    for (Dataset* ds : dm.datasets())
        for (int i = 0; i < ds->fieldCount(); ++i)
            if (ds->hasDeclaredFields())
                QCOMPARE(dm.field(ds->field(i)->objectName()), ds->field(i));
}

void TestDataModule::cardRefreshReachesOnlyAShownWindow_data() {
    QTest::addColumn<bool>("window");
    QTest::addColumn<bool>("shown");
    QTest::newRow("no window") << false << false;
    QTest::newRow("a hidden window") << true << false;
    QTest::newRow("a shown window") << true << true;
}

void TestDataModule::cardRefreshReachesOnlyAShownWindow() {
    QFETCH(bool, window);
    QFETCH(bool, shown);
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    platform::MessageRecorder messages;
    TDM dm;
    std::unique_ptr<TStuds> students;
    std::unique_ptr<TPrep> teachers;
    if (window) {
        students = std::make_unique<TStuds>(shown);
        teachers = std::make_unique<TPrep>(shown);
        QCOMPARE(Studs.card(), students.get());
        QCOMPARE(Prep.card(), teachers.get());
    }
    dm.Q_Studenti->next();
    dm.Q_Studenti->last();
    dm.Q_Prepod->next();
    if (window) {
        QCOMPARE(students->shownNumbers,
                 shown ? QStringList({"0000002", "0000003"}) : QStringList());
        QCOMPARE(teachers->shownSurnames, shown ? QStringList{"Ким"} : QStringList());
    }
    students.reset();
    teachers.reset();
    QCOMPARE(Studs.card(), nullptr);
    QCOMPARE(Prep.card(), nullptr);
    dm.Q_Studenti->first();
    QCOMPARE(messages.texts(), QStringList());
}

void TestDataModule::deletingTheLastStudentRefreshesTheCard() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    platform::MessageRecorder messages;
    TDM dm;
    TStuds card(true);
    while (!dm.Q_Studenti->isEmpty()) dm.Q_Studenti->remove();
    // The card learns of every delete, the last one too, which leaves nobody to show.
    QCOMPARE(card.shownNumbers, QStringList({"0000002", "0000003", QString()}));
}

void TestDataModule::failedWindowCreationLeavesTheReferenceEmpty() {
    {
        TPrep older(true);
        QVERIFY_THROWS_EXCEPTION(DataError, TPrep(true, true));
        // A failed newer window never names itself afterwards.
        QCOMPARE(Prep.card(), nullptr);
    }
    QCOMPARE(Prep.card(), nullptr);
    QVERIFY_THROWS_EXCEPTION(DataError, std::make_unique<TPrep>(true, true));
    QCOMPARE(Prep.card(), nullptr);
}

void TestDataModule::teacherRefreshReachesEveryShownWindow() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    platform::MessageRecorder messages;
    TDM dm;
    TPrep older(true);
    {
        TPrep hidden(false);
        TPrep newest(true);
        QCOMPARE(Prep.card(), &newest);
        dm.Q_Prepod->next();
        QCOMPARE(hidden.shownSurnames, QStringList());
        QCOMPARE(newest.shownSurnames, QStringList{"Ким"});
    }
    // The newest gone, the reference is empty, and the older window still follows.
    QCOMPARE(Prep.card(), nullptr);
    dm.Q_Prepod->first();
    QCOMPARE(older.shownSurnames, (QStringList{"Ким", "Соколова"}));
    QCOMPARE(messages.texts(), QStringList());
}

void TestDataModule::newRowTakesTheNextNumber_data() {
    QTest::addColumn<QString>("dataset");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("next");
    QTest::newRow("teacher, above the highest")
        << "Q_Prepod"
        << "Q_PrepodID_Prepod"
        << "Q_PrepodDSDesigner"
        << "UPDATE Prepodavateli SET ID_Prepod = 7 WHERE ID_Prepod = 1" << 8;
    QTest::newRow("teacher, an empty table") << "Q_Prepod"
                                             << "Q_PrepodID_Prepod"
                                             << "Q_PrepodDSDesigner"
                                             << "DELETE FROM Prepodavateli" << 1;
    // The first faculty's departments are shown; the other faculty's count too.
    QTest::newRow("department, above the highest of every faculty")
        << "T_Kafedra"
        << "T_KafedraID_kafedra"
        << "T_KafedraNazvanie"
        << "UPDATE Kafedra SET ID_kafedra = 7 WHERE ID_kafedra = 10" << 21;
    QTest::newRow("department, an empty table") << "T_Kafedra"
                                                << "T_KafedraID_kafedra"
                                                << "T_KafedraNazvanie"
                                                << "DELETE FROM Kafedra" << 1;
}

void TestDataModule::newRowTakesTheNextNumber() {
    QFETCH(QString, dataset);
    QFETCH(QString, number);
    QFETCH(QString, name);
    QFETCH(QString, change);
    QFETCH(int, next);
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    {
        SqliteConnection c(folder.file(QStringLiteral("verdikon.mdb")));
        c.open();
        run(c, change);
    }
    platform::MessageRecorder messages;
    TDM dm;
    Dataset* ds = dm.dataset(dataset);
    Field* key = dm.field(number);
    ds->append();
    QCOMPARE(key->asInteger(), next);
    // The number alone is no change: the untouched row goes when it is settled.
    QVERIFY(!ds->isModified());
    ds->checkBrowseMode();
    QCOMPARE(ds->state(), DatasetState::Browse);
    ds->insert();
    dm.field(name)->setAsString(QStringLiteral("Зуев"));
    ds->post();
    QCOMPARE(key->asInteger(), next);
    ds->append();
    QCOMPARE(key->asInteger(), next + 1);
    QCOMPARE(messages.texts(), QStringList());
}

void TestDataModule::everyDatasetButTheReportIsOpenAfterStart() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    platform::MessageRecorder messages;
    TDM dm;
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(DM, &dm);
    for (Dataset* ds : dm.datasets()) QCOMPARE(ds->isActive(), ds != dm.Q_Report);
    QCOMPARE(dm.Q_Studenti->recordCount(), 3);
    QCOMPARE(dm.T_Ocenki->recordCount(), 2);
    // The fields of T_ID_Kontrol and Q_Ocenki are the columns.
    QCOMPARE(dm.T_ID_Kontrol->fieldCount(), 2);
    QVERIFY(dm.T_ID_Kontrol->findField(QStringLiteral("id_kontrol")));
    QCOMPARE(dm.Q_Ocenki->fieldCount(), 5);
    QVERIFY(dm.Q_PrepodID_Prepod->isRequired());

    // The report query opens for one group through its parameter.
    dm.Q_Report->setParameter(QStringLiteral("id_g"), QStringLiteral("1"));
    dm.Q_Report->open();
    QCOMPARE(dm.Q_Report->recordCount(), 1);
    QCOMPARE(dm.Q_Report->fieldByName(QStringLiteral("N_Student")).asString(),
             QStringLiteral("0000001"));
}

void TestDataModule::lookupsAndLinks() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    platform::MessageRecorder messages;
    TDM dm;
    // The key of ID_Plan is declared after it, so it is always empty.
    QVERIFY(dm.Q_StudentiID_Plan->isNull());
    // A student whose group does not exist has no specialty, and nothing fails.
    QVERIFY(dm.Q_Studenti->locate(QStringLiteral("N_student"), QStringLiteral("0000003")));
    QVERIFY(dm.Q_StudentiID_Spec->isNull());
    QCOMPARE(dm.T_Parents->recordCount(), 0);
    dm.Q_Studenti->first();
    QCOMPARE(dm.T_Parents->recordCount(), 1);

    // Title "3" (text) finds the title numbered 3; a lookup into a computed short name.
    dm.Q_Prepod->first();
    QCOMPARE(dm.Q_PrepodZvanie->asString(),
             QStringLiteral("Старший научный сотрудник"));
    QCOMPARE(dm.Q_PrepodKafedra->asString(),
             QStringLiteral("Программирования"));
    QCOMPARE(dm.T_GruppaFIO_KYRATOR->asString(),
             QStringLiteral("Соколова И.П."));

    // Grades show the result, discipline and kind of assessment through the plan.
    QCOMPARE(dm.T_Ocenki->viewDisplayText(0, dm.T_OcenkiDIS),
             QStringLiteral("Математический анали"));
    QCOMPARE(dm.T_Ocenki->viewDisplayText(1, dm.T_OcenkiKONTOL),
             QStringLiteral("Зачет"));
    // Each row's result although the results table is restricted to the current grade's.
    QCOMPARE(dm.T_ID_Result->recordCount(), 1);
    QCOMPARE(dm.T_Ocenki->viewDisplayText(0, dm.T_OcenkiResult),
             QStringLiteral("Отлично"));
    QCOMPARE(dm.T_Ocenki->viewDisplayText(1, dm.T_OcenkiResult),
             QStringLiteral("Зачтено"));
    QCOMPARE(dm.T_Ocenki->viewDisplayText(1, dm.T_OcenkiID_DISCIP),
             QStringLiteral("090304"));

    // Faculty → specialties and departments → groups and plan rows.
    QCOMPARE(dm.T_Spec->recordCount(), 2);
    QCOMPARE(dm.T_Kafedra->recordCount(), 1);
    const QString specialty = dm.T_SpecID_Spec->asString();
    QCOMPARE(dm.T_Gruppa->recordCount(), specialty == QLatin1String("090304") ? 2 : 1);
    dm.facultet->next();
    QCOMPARE(dm.T_Spec->recordCount(), 0);
    QCOMPARE(dm.T_Gruppa->recordCount(), 0);
    QCOMPARE(dm.T_Plan_Spec->recordCount(), 0);
    QCOMPARE(dm.T_Kafedra->recordCount(), 1);
    QCOMPARE(dm.T_KafedraFACULTET->asString(), QStringLiteral("Экономики"));
}

void TestDataModule::studentLookupsFollowTheirGroupWhateverTheRestriction() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    platform::MessageRecorder messages;
    TDM dm;
    QVERIFY(dm.T_Spec->locate(QStringLiteral("ID_Spec"), QStringLiteral("090303")));
    QCOMPARE(dm.T_Gruppa->recordCount(), 1);  // only ПРИ-21
    QVERIFY(dm.Q_Studenti->locate(QStringLiteral("N_student"), QStringLiteral("0000001")));
    QCOMPARE(dm.Q_StudentiID_Spec->asString(), QStringLiteral("090304"));
    QCOMPARE(dm.T_Gruppa->recordCount(), 1);  // the lookup did not move or widen the groups
}

void TestDataModule::closedPlanQueryEmptiesTheGradeLookups() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    platform::MessageRecorder messages;
    TDM dm;
    const Field* dis = dm.T_OcenkiDIS;
    QVERIFY(!dm.T_Ocenki->viewDisplayText(0, dis).isEmpty());
    dm.Q_Plan_Spec->setSql(QStringLiteral("Select * From PlanSpec where ID_Spec = :S"));
    QVERIFY(!dm.Q_Plan_Spec->isActive());
    QCOMPARE(dm.T_Ocenki->viewDisplayText(0, dis), QString());
    QCOMPARE(dm.T_Ocenki->viewDisplayText(1, dm.T_OcenkiKONTOL), QString());
    dm.Q_Plan_Spec->setSql(QStringLiteral("Select * From PlanSpec"));
    dm.Q_Plan_Spec->open();
    QCOMPARE(dm.T_Ocenki->viewDisplayText(0, dis), QStringLiteral("Математический анали"));
}

void TestDataModule::curatorNameKeepsUntilTheGroupIsPosted() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    platform::MessageRecorder messages;
    TDM dm;
    QVERIFY(dm.T_Gruppa->locate(QStringLiteral("Nazvanie"), QStringLiteral("ПИ-21")));
    Field* curator = dm.T_GruppaFIO_KYRATOR;
    QCOMPARE(curator->asString(), QStringLiteral("Соколова И.П."));
    dm.T_Gruppa->edit();
    dm.T_GruppaID_Kyrator->setValue(2);
    QCOMPARE(curator->asString(), QStringLiteral("Соколова И.П."));
    dm.T_Gruppa->post();
    QCOMPARE(curator->asString(), QStringLiteral("Ким О.."));
}

void TestDataModule::newParentTakesTheCurrentStudentsNumber() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    platform::MessageRecorder messages;
    TDM dm;
    QVERIFY(dm.Q_Studenti->locate(QStringLiteral("N_student"), QStringLiteral("0000002")));
    dm.T_Parents->insert();
    QCOMPARE(dm.T_ParentsN_Student->asString(), QStringLiteral("0000002"));
    dm.T_ParentsPFam->setValue(QStringLiteral("Петров"));
    dm.T_Parents->post();
    SqliteConnection other(QStringLiteral("verdikon.mdb"));
    auto st = other.prepare(QStringLiteral("SELECT N_Student FROM Parents WHERE PFam = 'Петров'"));
    QVERIFY(st->step());
    QCOMPARE(st->columnValue(0).toString(), QStringLiteral("0000002"));
}

void TestDataModule::shortName_data() {
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("patronymic");
    QTest::addColumn<QString>("expected");
    QTest::newRow("all parts") << "Иванов" << "Пётр" << "Сергеевич" << "Иванов П.С.";
    QTest::newRow("no patronymic") << "Ким" << "Олег" << "" << "Ким О..";
    QTest::newRow("no first name or patronymic") << "Ким" << "" << "" << "Ким ..";
    QTest::newRow("latin") << "Smith" << "john" << "Paul" << "Smith j.P.";
}

void TestDataModule::shortName() {
    QFETCH(QString, surname);
    QFETCH(QString, name);
    QFETCH(QString, patronymic);
    QFETCH(QString, expected);
    QCOMPARE(::shortName(surname, name, patronymic), expected);
}

void TestDataModule::shortNamesAreCutToTheirFieldSize() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    {
        SqliteConnection c(QStringLiteral("verdikon.mdb"));
        run(c, QStringLiteral("UPDATE Studenti SET Fam = 'Преображенская-Ли' WHERE N_student = "
                              "'0000001'"));  // 17 characters
        run(c, QStringLiteral("UPDATE Prepodavateli SET \"Фамилия\" = ? WHERE ID_Prepod = 1"),
            {QString(50, QChar(u'Ж'))});
    }
    platform::MessageRecorder messages;
    TDM dm;
    dm.Q_Studenti->first();
    QCOMPARE(dm.Q_StudentiFIO->asString(),
             QStringLiteral("Преображенская-Ли П."));
    dm.Q_Prepod->first();
    QCOMPARE(dm.Q_PrepodFIO->asString(),
             QString(50, QChar(u'Ж')) + QStringLiteral(" И.П."));
}

void TestDataModule::planResetShowsTwoMessagesAndReopens() {
    Folder folder;
    fill(folder.file(QStringLiteral("verdikon.mdb")));
    {
        SqliteConnection c(QStringLiteral("verdikon.mdb"));
        run(c, QStringLiteral("CREATE TRIGGER plan_semester BEFORE INSERT ON PlanSpec "
                              "WHEN NEW.Semestr NOT BETWEEN 1 AND 10 "
                              "BEGIN SELECT RAISE(ABORT, 'Семестр должен быть от 1 до 10'); END"));
    }
    platform::MessageRecorder messages;
    TDM dm;
    QCOMPARE(dm.T_SpecID_Spec->asString(), QStringLiteral("090304"));
    dm.T_Plan_Spec->last();
    dm.T_Plan_Spec->append();
    dm.T_Plan_SpecSemestr->setValue(11);
    try {
        dm.T_Plan_Spec->post();
        QFAIL("the database accepted semester 11");
    } catch (const DataError& e) {
        platform::showError(e);  // what the general error display does with it
    }
    QCOMPARE(messages.texts(), QStringList({QStringLiteral("Неправильно заполнены ячейки"),
                                            QStringLiteral("Семестр должен быть от 1 до 10.")}));
    QCOMPARE(messages.messages()[0].kind, platform::MessageKind::Plain);
    QCOMPARE(messages.messages()[1].kind, platform::MessageKind::Error);
    // Reopened on the current specialty's first plan row, the new row gone.
    QCOMPARE(dm.T_Plan_Spec->state(), DatasetState::Browse);
    QCOMPARE(dm.T_Plan_Spec->recordCount(), 2);
    QCOMPARE(dm.T_Plan_Spec->recNo(), 0);
    SqliteConnection other(QStringLiteral("verdikon.mdb"));
    auto st = other.prepare(QStringLiteral("SELECT count(*) FROM PlanSpec"));
    QVERIFY(st->step());
    QCOMPARE(st->columnInt64(0), int64_t(3));
}

void TestDataModule::startWithoutDatabaseReportsEveryAttempt() {
    Folder folder;
    platform::MessageRecorder messages;
    TDM dm;
    // The connection, each of the 17 datasets that open at start, and the creation step.
    const QStringList texts = messages.texts();
    QCOMPARE(texts.size(), 19);
    for (const QString& t : texts) {
        QVERIFY2(t.contains(QStringLiteral("verdikon.mdb")), qPrintable(t));
        QCOMPARE(t, texts.first());
    }
    for (const auto& m : messages.messages()) QCOMPARE(m.kind, platform::MessageKind::Error);
    QVERIFY(!QFile::exists(folder.file(QStringLiteral("verdikon.mdb"))));
    for (Dataset* ds : dm.datasets()) QVERIFY(!ds->isActive());
    // Later operations fail the same way, and nothing is shown for them by the engine itself.
    QVERIFY_THROWS_EXCEPTION(DataError, dm.Q_Studenti->next());
    QCOMPARE(dm.Q_StudentiFam->asString(), QString());
}

void TestDataModule::foreignFilesAreRefusedUnchanged_data() {
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("not a database") << QByteArray("text") << QStringLiteral("not a database");
    QTest::newRow("another program's database")
        << QByteArray("other") << QStringLiteral("is not a database of this program");
}

void TestDataModule::foreignFilesAreRefusedUnchanged() {
    QFETCH(QByteArray, kind);
    QFETCH(QString, expected);
    Folder folder;
    const QString path = folder.file(QStringLiteral("verdikon.mdb"));
    if (kind == "text") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("Фамилия;Имя\nИванов;Пётр\n").repeated(200));
    } else {
        SqliteConnection::createFile(path);
        SqliteConnection c(path);
        run(c, QStringLiteral("PRAGMA journal_mode=DELETE"));
        run(c, QStringLiteral("CREATE TABLE Notes (Body TEXT)"));
    }
    const QByteArray before = fileBytes(path);
    {
        platform::MessageRecorder messages;
        TDM dm;
        QCOMPARE(messages.texts().size(), 19);
        QVERIFY2(messages.texts().first().contains(expected), qPrintable(messages.texts().first()));
        for (Dataset* ds : dm.datasets()) QVERIFY(!ds->isActive());
    }
    QCOMPARE(fileBytes(path), before);
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
}

void TestDataModule::unreachableServerIsReportedLikeAMissingFile() {
    Folder folder;
    // No server listens on a socket in an empty folder; the password must never show.
    const QString conninfo =
        QStringLiteral("host=%1 dbname=verdikon user=clerk1 password=s3cret connect_timeout=5")
            .arg(folder.file(QString()));
    platform::MessageRecorder messages;
    TDM dm(nullptr, conninfo);
    const QStringList texts = messages.texts();
    QCOMPARE(texts.size(), 19);
    for (const QString& t : texts) {
        QVERIFY2(t.startsWith(QStringLiteral("Cannot open database \"")), qPrintable(t));
        QVERIFY2(t.contains(QStringLiteral("dbname=verdikon")), qPrintable(t));
        // libpq's own words for it.
        QVERIFY2(t.contains(QStringLiteral("connection to server on socket")), qPrintable(t));
        QVERIFY2(!t.contains(QStringLiteral("s3cret")), qPrintable(t));
    }
    for (Dataset* ds : dm.datasets()) QVERIFY(!ds->isActive());
    // Nothing of a file was made in the current folder.
    QVERIFY(!QFile::exists(folder.file(QStringLiteral("verdikon.mdb"))));
    QVERIFY(dm.databaseFile().isEmpty());
}

void TestDataModule::serverDatabaseServesTheModule() {
    PgTestServer& server = PgTestServer::shared();
    QVERIFY2(server.start(), qPrintable(server.error()));
    server.clear();
    try {
        PgConnection c(server.conninfo());
        fill(c);
    } catch (const DataError& e) {
        QFAIL(e.what());
    }
    Folder folder;
    platform::MessageRecorder messages;
    TDM dm(nullptr, server.conninfo());
    QCOMPARE(messages.texts(), QStringList());
    for (Dataset* ds : dm.datasets())
        if (ds != dm.Q_Report) QVERIFY2(ds->isActive(), qPrintable(ds->objectName()));
    QCOMPARE(dm.Q_Studenti->recordCount(), 3);
    QVERIFY(!QFile::exists(folder.file(QStringLiteral("verdikon.mdb"))));

    // The lookups read the server's rows as they read the file's.
    QVERIFY(dm.Q_Studenti->locate(QStringLiteral("N_student"), QStringLiteral("0000001")));
    QCOMPARE(dm.Q_StudentiFam->asString(), QStringLiteral("Иванов"));

    // Another desk changes the student; this desk's edit of the same row is refused
    // and keeps what was typed, and a refresh shows the other desk's surname.
    PgConnection other(server.conninfo());
    run(other, QStringLiteral("UPDATE \"Studenti\" SET \"Fam\" = 'Иваненко' "
                              "WHERE \"N_student\" = '0000001'"));
    dm.Q_Studenti->edit();
    dm.Q_StudentiFam->setValue(QStringLiteral("Иванов-Петров"));
    try {
        dm.Q_Studenti->post();
        QFAIL("the post of a row changed at another desk went through");
    } catch (const DataError& e) {
        QCOMPARE(e.text(), msg::rowChangedElsewhere());
    }
    QVERIFY(dm.Q_Studenti->isEditing());
    QCOMPARE(dm.Q_StudentiFam->asString(), QStringLiteral("Иванов-Петров"));
    dm.Q_Studenti->cancel();
    dm.Q_Studenti->refresh();
    QVERIFY(dm.Q_Studenti->locate(QStringLiteral("N_student"), QStringLiteral("0000001")));
    QCOMPARE(dm.Q_StudentiFam->asString(), QStringLiteral("Иваненко"));

    // Now the edit goes through, and the server's triggers journal it.
    dm.Q_Studenti->edit();
    dm.Q_StudentiFam->setValue(QStringLiteral("Иванов-Петров"));
    dm.Q_Studenti->post();
    auto st = other.prepare(QStringLiteral(
        "SELECT \"Fam\" FROM \"Studenti\" WHERE \"N_student\" = '0000001'"));
    QVERIFY(st->step());
    QCOMPARE(st->columnValue(0).toString(), QStringLiteral("Иванов-Петров"));
    st = other.prepare(QStringLiteral(
        "SELECT count(*) FROM \"Journal\" WHERE \"TableName\" = 'Studenti' "
        "AND \"Action\" = 'update' AND \"RowKey\" = '0000001'"));
    QVERIFY(st->step());
    QCOMPARE(st->columnInt64(0), int64_t(2));
}

void TestDataModule::foreignServerDatabaseIsRefused() {
    PgTestServer& server = PgTestServer::shared();
    QVERIFY2(server.start(), qPrintable(server.error()));
    server.clear();
    {
        PgConnection c(server.conninfo());
        run(c, QStringLiteral("CREATE TABLE \"Notes\" (\"Body\" text)"));
    }
    Folder folder;
    platform::MessageRecorder messages;
    TDM dm(nullptr, server.conninfo());
    QCOMPARE(messages.texts().size(), 19);
    QVERIFY2(messages.texts().first().startsWith(QStringLiteral("The database \"")),
             qPrintable(messages.texts().first()));
    QVERIFY2(messages.texts().first().contains(QStringLiteral("is not a database of this program")),
             qPrintable(messages.texts().first()));
    for (Dataset* ds : dm.datasets()) QVERIFY(!ds->isActive());
    // Refused unchanged: no table and no journal was added.
    PgConnection c(server.conninfo());
    QCOMPARE(c.tableName(QStringLiteral("Journal")), QString());
    QCOMPARE(c.tableName(QStringLiteral("Studenti")), QString());
}

QTEST_GUILESS_MAIN(TestDataModule)
#include "tst_data_module.moc"
