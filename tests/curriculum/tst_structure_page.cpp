// The page "Структура ВУЗа" as the office uses it: the faculty box with its
// name check and its dean, departments and groups added to the current
// faculty and specialty, the group box's specialty picker, the teacher window
// following deans, the "Удалить" buttons, and grids that only choose rows.
#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <functional>
#include <memory>

#include "Application.h"
#include "CurriculumFixture.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBText.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Driving.h"
#include "HandlerFailure.h"
#include "Messages.h"
#include "Prepod.h"
#include "References.h"
#include "StructurePage.h"
#include "TypeText.h"
#include "YMO.h"

namespace {

QString current(const Field* field) {
    return field->asString();
}

void press(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// One column of a grid, row by row.
QStringList column(const QAbstractItemView* grid, int c) {
    QStringList texts;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        texts << grid->model()->index(r, c).data().toString();
    return texts;
}

// What an edit shows, typed over as a user does: all selected, then the keys.
void typeOver(DBEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        typeText(edit, text);
}

// The three boxes of the page, each with its buttons, grid, dataset and table.
enum class Box { Faculty, Department, Group };

struct BoxParts {
    QPushButton* add;
    QPushButton* remove;
    std::function<void()> removeClick;
    DBGrid* grid;
    Dataset* dataset;
    QString table;
};

BoxParts partsOf(StructurePage* p, Box box) {
    switch (box) {
        case Box::Faculty:
            return {
                p->FacultyNewButton, p->FacultyDeleteButton, [p] { p->FacultyDeleteButtonClick(); },
                p->FacultyGrid,      DM->facultet,           QStringLiteral("Facultet")};
        case Box::Department:
            return {p->DepartmentAddButton,
                    p->DepartmentDeleteButton,
                    [p] { p->DepartmentDeleteButtonClick(); },
                    p->DepartmentGrid,
                    DM->T_Kafedra,
                    QStringLiteral("Kafedra")};
        case Box::Group:
            break;
    }
    return {p->GroupAddButton, p->GroupDeleteButton, [p] { p->GroupDeleteButtonClick(); },
            p->GroupGrid,      DM->T_Gruppa,         QStringLiteral("Gruppa")};
}

}  // namespace

Q_DECLARE_METATYPE(Box)

class TestStructurePage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void showsTheFacultyItsDepartmentsAndGroups();
    void facultySaveJudgesTheNameOnScreen_data();
    void facultySaveJudgesTheNameOnScreen();
    void facultySaveOnAnUnchangedFacultyIsRefused();
    void deanIsWrittenAtOnceAndStoredOnLeaving();
    void movingThroughFacultiesShowsTheDeanInTheTeacherWindow();
    void newDepartmentTakesTheFacultyAndTheNextNumber();
    void chosenSpecialtyTakesTheGroupsAndThePlan();
    void deleteButtons_data();
    void deleteButtons();
    void gridsOnlyChooseRows_data();
    void gridsOnlyChooseRows();
};

void TestStructurePage::showsTheFacultyItsDepartmentsAndGroups() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    StructurePage* p = w->Structure;
    QCOMPARE(w->PageControl1->currentWidget(), p);
    QVERIFY(p->FacultyBox->height() >= 300);
    QCOMPARE(column(p->FacultyGrid, 0), (QStringList{"Информатики", "Экономики"}));
    QCOMPARE(p->FacultyNameEdit->text(), QStringLiteral("Информатики"));
    QCOMPARE(p->DeanPicker->displayText(), QStringLiteral("Лебедев"));
    QCOMPARE(column(p->DepartmentGrid, 0), (QStringList{"Алгебры", "Программирования"}));
    QCOMPARE(p->DepartmentNameEdit->text(), QStringLiteral("Алгебры"));
    // Under "Факультет Кафедры" the department's own faculty.
    QCOMPARE(p->DepartmentFaculty->text(), QStringLiteral("Информатики"));
    QCOMPARE(column(p->GroupGrid, 1), (QStringList{"ПИ-21", "ПИ-22"}));
    QCOMPARE(p->CuratorPicker->displayText(), QStringLiteral("Соколова"));
    QCOMPARE(p->GroupSpecialtyPicker->displayText(), QString());

    press(p->FacultyNextButton);
    QCOMPARE(p->FacultyNameEdit->text(), QStringLiteral("Экономики"));
    QCOMPARE(p->DeanPicker->displayText(), QStringLiteral("Ким"));
    QCOMPARE(column(p->DepartmentGrid, 0), QStringList{"Финансов"});
    QCOMPARE(p->DepartmentFaculty->text(), QStringLiteral("Экономики"));
    QCOMPARE(column(p->GroupGrid, 1), QStringList{"ФК-11"});
    // The current group is the other faculty's: its curator shows.
    QCOMPARE(p->CuratorPicker->displayText(), QStringLiteral("Ким"));
    press(p->FacultyNextButton);
    QCOMPARE(p->FacultyNameEdit->text(), QStringLiteral("Экономики"));
    press(p->FacultyPriorButton);
    QCOMPARE(p->FacultyNameEdit->text(), QStringLiteral("Информатики"));
    QCOMPARE(current(DM->T_KafedraNazvanie), QStringLiteral("Алгебры"));
}

void TestStructurePage::facultySaveJudgesTheNameOnScreen_data() {
    QTest::addColumn<bool>("newFaculty");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("refused");
    QTest::newRow("new, nothing typed") << true << "" << true;
    QTest::newRow("new, a name") << true << "Права" << false;
    QTest::newRow("new, a single space") << true << " " << false;
    QTest::newRow("stored, its name wiped off the edit") << false << "" << true;
    QTest::newRow("stored, renamed") << false << "Математики" << false;
}

void TestStructurePage::facultySaveJudgesTheNameOnScreen() {
    QFETCH(bool, newFaculty);
    QFETCH(QString, shown);
    QFETCH(bool, refused);
    CurriculumFixture f;
    Typ* w = f.openWindow();
    StructurePage* p = w->Structure;
    platform::MessageRecorder messages;
    if (newFaculty) {
        press(p->FacultyNewButton);
        QCOMPARE(DM->facultet->state(), DatasetState::Insert);
        QCOMPARE(p->FacultyNameEdit->text(), QString());
    }
    if (!newFaculty || !shown.isEmpty()) typeOver(p->FacultyNameEdit, shown);
    QCOMPARE(p->FacultyNameEdit->text(), shown);
    press(p->FacultySaveButton);
    const int faculties = f.scalar(QStringLiteral("SELECT count(*) FROM Facultet")).toInt();
    const QString first =
        f.scalar(QStringLiteral("SELECT Nazvanie FROM Facultet WHERE ID_Facultet = 1")).toString();
    if (refused) {
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Введите название")});
        QVERIFY(messages.messages()[0].kind == platform::MessageKind::Plain);
        // Nothing is stored, and the faculty waits as it was.
        QCOMPARE(faculties, 2);
        QCOMPARE(first, QStringLiteral("Информатики"));
        QCOMPARE(DM->facultet->state(), newFaculty ? DatasetState::Insert : DatasetState::Edit);
        return;
    }
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(DM->facultet->state(), DatasetState::Browse);
    QCOMPARE(faculties, newFaculty ? 3 : 2);
    const QString stored =
        newFaculty ? f.scalar(QStringLiteral("SELECT Nazvanie FROM Facultet WHERE ID_Facultet = 3"))
                         .toString()
                   : first;
    QCOMPARE(stored, shown);
}

void TestStructurePage::facultySaveOnAnUnchangedFacultyIsRefused() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    StructurePage* p = w->Structure;
    platform::MessageRecorder messages;
    QCOMPARE(failureOf([p] { p->FacultySaveButtonClick(); }),
             QStringLiteral("Dataset not in edit or insert mode"));
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(DM->facultet->state(), DatasetState::Browse);
}

void TestStructurePage::deanIsWrittenAtOnceAndStoredOnLeaving() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    StructurePage* p = w->Structure;
    p->DeanPicker->setFocus();
    typeText(p->DeanPicker, QStringLiteral("Сок"));
    QCOMPARE(p->DeanPicker->displayText(), QStringLiteral("Соколова"));
    QCOMPARE(DM->facultet->state(), DatasetState::Edit);
    QCOMPARE(DM->facultetID_Dekan->asInteger(), 3);
    QCOMPARE(
        f.scalar(QStringLiteral("SELECT ID_Dekan FROM Facultet WHERE ID_Facultet = 1")).toInt(), 5);
    press(p->FacultyNextButton);
    QCOMPARE(
        f.scalar(QStringLiteral("SELECT ID_Dekan FROM Facultet WHERE ID_Facultet = 1")).toInt(), 3);
}

void TestStructurePage::movingThroughFacultiesShowsTheDeanInTheTeacherWindow() {
    // A third faculty without a dean.
    CurriculumFixture f(QStringLiteral("INSERT INTO Facultet (Nazvanie) VALUES ('Права')"));
    Typ* w = f.openWindow();
    StructurePage* p = w->Structure;
    const auto teachers = std::make_unique<TPrep>();
    QVERIFY(QTest::qWaitForWindowExposed(teachers.get()));
    clickCell(p->FacultyGrid, 1);
    QCOMPARE(current(DM->facultetNazvanie), QStringLiteral("Экономики"));
    QCOMPARE(teachers->FamEdit->text(), QStringLiteral("Ким"));
    // The dean, not the curator of the faculty's first group.
    press(p->FacultyPriorButton);
    QCOMPARE(p->CuratorPicker->displayText(), QStringLiteral("Соколова"));
    QCOMPARE(teachers->FamEdit->text(), QStringLiteral("Лебедев"));
    // A faculty without a dean leaves the teacher where he is.
    clickCell(p->FacultyGrid, 2);
    QCOMPARE(current(DM->facultetNazvanie), QStringLiteral("Права"));
    QCOMPARE(p->DeanPicker->displayText(), QString());
    QCOMPARE(teachers->FamEdit->text(), QStringLiteral("Лебедев"));
    // Choosing a curator moves the teacher window too.
    clickCell(p->FacultyGrid, 0);
    clickCell(p->GroupGrid, 1);
    QCOMPARE(current(DM->T_GruppaNazvanie), QStringLiteral("ПИ-22"));
    p->CuratorPicker->setFocus();
    typeText(p->CuratorPicker, QStringLiteral("Ки"));
    QCOMPARE(teachers->FamEdit->text(), QStringLiteral("Ким"));
    QCOMPARE(DM->T_Gruppa->state(), DatasetState::Edit);
    QCOMPARE(DM->T_GruppaID_Kyrator->asInteger(), 8);
}

void TestStructurePage::newDepartmentTakesTheFacultyAndTheNextNumber() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    StructurePage* p = w->Structure;
    platform::MessageRecorder messages;
    // A rename still being typed is stored before the new department starts.
    typeOver(p->DepartmentNameEdit, QStringLiteral("Геометрии"));
    QCOMPARE(DM->T_Kafedra->state(), DatasetState::Edit);
    press(p->DepartmentAddButton);
    QCOMPARE(
        f.scalar(QStringLiteral("SELECT Nazvanie FROM Kafedra WHERE ID_kafedra = 11")).toString(),
        QStringLiteral("Геометрии"));
    QCOMPARE(DM->T_Kafedra->state(), DatasetState::Insert);
    // One above the highest of every faculty's departments, not only this one's.
    QCOMPARE(DM->T_KafedraID_kafedra->asInteger(), 22);
    QCOMPARE(DM->T_KafedraID_facultet->asInteger(), 1);
    QCOMPARE(p->DepartmentFaculty->text(), QStringLiteral("Информатики"));
    QCOMPARE(p->DepartmentNameEdit->text(), QString());
    // Saving an untouched new department does nothing; it waits for its name.
    press(p->DepartmentSaveButton);
    QCOMPARE(DM->T_Kafedra->state(), DatasetState::Insert);
    QCOMPARE(f.scalar(QStringLiteral("SELECT count(*) FROM Kafedra")).toInt(), 3);

    typeText(p->DepartmentNameEdit, QStringLiteral("Анализа"));
    press(p->DepartmentSaveButton);
    QCOMPARE(DM->T_Kafedra->state(), DatasetState::Browse);
    QCOMPARE(f.scalar(QStringLiteral("SELECT Nazvanie || '/' || ID_facultet FROM Kafedra "
                                     "WHERE ID_kafedra = 22"))
                 .toString(),
             QStringLiteral("Анализа/1"));
    QCOMPARE(column(p->DepartmentGrid, 0),
             (QStringList{"Геометрии", "Программирования", "Анализа"}));
    // The next one goes on from there; "Удалить" drops it again.
    press(p->DepartmentAddButton);
    QCOMPARE(DM->T_KafedraID_kafedra->asInteger(), 23);
    press(p->DepartmentDeleteButton);
    QCOMPARE(DM->T_Kafedra->state(), DatasetState::Browse);
    // The teacher window's department picker offers the new one and links to it by its number.
    const auto teachers = std::make_unique<TPrep>();
    teachers->KafedraPicker->setFocus();
    typeText(teachers->KafedraPicker, QStringLiteral("Ана"));
    QCOMPARE(teachers->KafedraPicker->displayText(), QStringLiteral("Анализа"));
    QCOMPARE(DM->Q_PrepodID_kafedra->asInteger(), 22);
    QCOMPARE(messages.texts(), QStringList());
}

void TestStructurePage::chosenSpecialtyTakesTheGroupsAndThePlan() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    StructurePage* p = w->Structure;
    platform::MessageRecorder messages;
    // Merely opening the empty picker's list makes the faculty's first specialty current.
    press(w->SpecNextButton);
    QCOMPARE(current(DM->T_SpecID_Spec), QStringLiteral("090303"));
    p->GroupSpecialtyPicker->showPopup();
    QCOMPARE(current(DM->T_SpecID_Spec), QStringLiteral("090304"));
    p->GroupSpecialtyPicker->hidePopup();

    p->GroupSpecialtyPicker->setFocus();
    typeText(p->GroupSpecialtyPicker, QStringLiteral("Прик"));
    QCOMPARE(p->GroupSpecialtyPicker->displayText(), QStringLiteral("Прикладная информатика"));
    QCOMPARE(current(DM->T_SpecID_Spec), QStringLiteral("090303"));
    QCOMPARE(column(p->GroupGrid, 1), QStringList{"ПРИ-21"});
    // Page "Специальность" shows the same specialty and its plan.
    QCOMPARE(w->SpecNameEdit->text(), QStringLiteral("Прикладная информатика"));
    QCOMPARE(column(w->PlanGrid, 0), QStringList{"Физика"});
    // The picker does not follow later moves of the specialty list.
    press(w->SpecPriorButton);
    QCOMPARE(p->GroupSpecialtyPicker->displayText(), QStringLiteral("Прикладная информатика"));
    QCOMPARE(column(p->GroupGrid, 1), (QStringList{"ПИ-21", "ПИ-22"}));
    press(w->SpecNextButton);

    // A new group belongs to the chosen specialty and takes its curator at once.
    press(p->GroupAddButton);
    QCOMPARE(DM->T_Gruppa->state(), DatasetState::Insert);
    QCOMPARE(current(DM->T_GruppaID_Specialnost), QStringLiteral("090303"));
    typeText(p->GroupNameEdit, QStringLiteral("ПРИ-22"));
    p->CuratorPicker->setFocus();
    typeText(p->CuratorPicker, QStringLiteral("Леб"));
    QCOMPARE(DM->T_GruppaID_Kyrator->asInteger(), 5);
    QCOMPARE(DM->T_Gruppa->state(), DatasetState::Insert);
    press(p->GroupSaveButton);
    QCOMPARE(DM->T_Gruppa->state(), DatasetState::Browse);
    QCOMPARE(f.scalar(QStringLiteral("SELECT ID_Specialnost || '/' || ID_Kyrator FROM Gruppa "
                                     "WHERE Nazvanie = 'ПРИ-22'"))
                 .toString(),
             QStringLiteral("090303/5"));
    QCOMPARE(column(p->GroupGrid, 1), (QStringList{"ПРИ-21", "ПРИ-22"}));
    QCOMPARE(messages.texts(), QStringList());
}

void TestStructurePage::deleteButtons_data() {
    QTest::addColumn<Box>("box");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("stored");
    const QString empty = QStringLiteral("Cannot perform this operation on an empty dataset");
    const QString asFilled;
    QTest::newRow("faculty, empty list")
        << Box::Faculty << "DELETE FROM Facultet" << false << empty << 0;
    QTest::newRow("faculty, being added") << Box::Faculty << asFilled << true << QString() << 2;
    QTest::newRow("faculty, stored") << Box::Faculty << asFilled << false << QString() << 1;
    QTest::newRow("department, empty list")
        << Box::Department << "DELETE FROM Kafedra" << false << empty << 0;
    QTest::newRow("department, being added")
        << Box::Department << asFilled << true << QString() << 3;
    QTest::newRow("department, stored") << Box::Department << asFilled << false << QString() << 2;
    QTest::newRow("group, empty list") << Box::Group << "DELETE FROM Gruppa" << false << empty << 0;
    QTest::newRow("group, being added") << Box::Group << asFilled << true << QString() << 4;
    QTest::newRow("group, stored") << Box::Group << asFilled << false << QString() << 3;
}

void TestStructurePage::deleteButtons() {
    QFETCH(Box, box);
    QFETCH(QString, rows);
    QFETCH(bool, adding);
    QFETCH(QString, failure);
    QFETCH(int, stored);
    CurriculumFixture f(rows);
    Typ* w = f.openWindow();
    const BoxParts parts = partsOf(w->Structure, box);
    platform::MessageRecorder messages;
    const int shown = parts.dataset->recordCount();
    if (adding) press(parts.add);
    if (failure.isEmpty())
        press(parts.remove);
    else
        QCOMPARE(failureOf(parts.removeClick), failure);
    // Never a question.
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(parts.dataset->state(), DatasetState::Browse);
    QCOMPARE(f.scalar(QStringLiteral("SELECT count(*) FROM ") + parts.table).toInt(), stored);
    QCOMPARE(parts.grid->model()->rowCount(), adding || !failure.isEmpty() ? shown : shown - 1);
}

void TestStructurePage::gridsOnlyChooseRows_data() {
    QTest::addColumn<Box>("box");
    QTest::addColumn<int>("stored");
    QTest::newRow("faculties") << Box::Faculty << 2;
    QTest::newRow("departments") << Box::Department << 3;
    QTest::newRow("groups") << Box::Group << 4;
}

void TestStructurePage::gridsOnlyChooseRows() {
    QFETCH(Box, box);
    QFETCH(int, stored);
    CurriculumFixture f;
    Typ* w = f.openWindow();
    const BoxParts parts = partsOf(w->Structure, box);
    platform::MessageRecorder messages;
    messages.answer(platform::Answer::Ok);
    clickCell(parts.grid, 1);
    QCOMPARE(parts.dataset->recNo(), 1);
    QVERIFY(parts.grid->selectionModel()->isRowSelected(1, QModelIndex()));
    const QString before = parts.grid->model()->index(1, 0).data().toString();
    typeText(parts.grid, QStringLiteral("Жх"));
    QTest::keyClick(parts.grid, Qt::Key_Insert);
    QCOMPARE(parts.grid->editor(), nullptr);
    QCOMPARE(parts.dataset->state(), DatasetState::Browse);
    QCOMPARE(parts.grid->model()->index(1, 0).data().toString(), before);
    QTest::keyClick(parts.grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(f.scalar(QStringLiteral("SELECT count(*) FROM ") + parts.table).toInt(), stored);
    QCOMPARE(parts.dataset->recNo(), 1);
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestStructurePage test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_structure_page.moc"
