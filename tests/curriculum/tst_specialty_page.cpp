// The educational-process window as the office uses it: opening and closing
// with the plan query, the faculty band, the specialty list and the plan's
// first sub-page with its messages, and how the main window opens the window.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "Application.h"
#include "CurriculumFixture.h"
#include "DBComboBox.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBText.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Driving.h"
#include "GridModel.h"
#include "HandlerFailure.h"
#include "Messages.h"
#include "Query.h"
#include "References.h"
#include "Studenti.h"
#include "TESSALY_MainForm.h"
#include "TypeText.h"
#include "YMO.h"

namespace {

// Opens a drop-down, moves to an entry with the keyboard and takes it with Enter.
void pickFromList(QComboBox* box, int entry) {
    box->showPopup();
    QAbstractItemView* list = box->view();
    QTRY_VERIFY(list->isVisible());
    list->setCurrentIndex(list->model()->index(entry, 0));
    QTest::keyClick(list, Qt::Key_Return);
}

// Chooses an entry of the plan grid's discipline column through its drop-down.
void chooseDiscipline(DBGrid* grid, int row, const QString& name) {
    clickCell(grid, row, 0);
    QTest::keyClick(grid, Qt::Key_F2);
    auto* box = qobject_cast<QComboBox*>(grid->editor());
    QVERIFY(box);
    const int entry = box->findText(name);
    QVERIFY(entry >= 0);
    pickFromList(box, entry);
}

// Chooses an entry of a closed picker's list by its text.
void choose(DBLookupComboBox* picker, const QString& text) {
    const int entry = picker->findText(text);
    QVERIFY(entry >= 0);
    pickFromList(picker, entry);
}

int planRows(CurriculumFixture& f, const QString& where = QStringLiteral("1 = 1")) {
    return f.scalar(QStringLiteral("SELECT count(*) FROM PlanSpec WHERE ") + where).toInt();
}

}  // namespace

class TestSpecialtyPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void opensOnTheStructurePage();
    void closingRestoresThePlanQueryAndTheReference();
    void gradeSheetFillsAfterTheWindowWasClosed();
    void facultyPickerSwitchesSpecialtiesAndPlan();
    void openingThePickersListMakesTheFirstFacultyCurrent();
    void specialtyCodeTakesSixCharacters();
    void specialtyNewPostsTheEditFirst();
    void specialtyFacultyEditShowsTheFaculty();
    void refusedSpecialtyStaysPending();
    void closingKeepsTypedTextInThePendingRow();
    void planSaveWithNothingChangedDoesNothing();
    void planSaveNeedsDisciplineSemesterAndControl_data();
    void planSaveNeedsDisciplineSemesterAndControl();
    void planSaveStoresAndLeavesABlankRow();
    void planNewWithUnsavedChangesAsksToSave();
    void planNewRightAfterSaveOpensAnotherRow();
    void lettersAreRefused_data();
    void lettersAreRefused();
    void editorModeFollowsTheSubPage();
    void refusedPlanPostReopensThePlan();
    void mainWindowOpensTheWindowAtPages();
    void noWindowWithoutADatabase();
};

void TestSpecialtyPage::opensOnTheStructurePage() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    QCOMPARE(yp, w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Учебный процесс"));
    QCOMPARE(w->size(), QSize(913, 826));
    QVERIFY(!w->isModal());
    QStringList pages;
    for (int i = 0; i < w->PageControl1->count(); ++i) pages << w->PageControl1->tabText(i);
    QCOMPARE(pages, (QStringList{QStringLiteral("Специальность"), QStringLiteral("Структура ВУЗа"),
                                 QStringLiteral("Дисциплины")}));
    QCOMPARE(w->PageControl1->currentIndex(), 1);
    QCOMPARE(w->PlanPages->currentIndex(), 0);
    QCOMPARE(w->PlanPages->tabText(1), QStringLiteral("Быстрое добавление дисциплин"));
    QCOMPARE(DM->Q_Plan_Spec->sqlText(), QStringLiteral("Select * From PlanSpec"));
    QVERIFY(DM->Q_Plan_Spec->isActive());
    QCOMPARE(DM->Q_Plan_Spec->recordCount(), 5);
    // The faculty picker starts empty; the band names the current specialty.
    QCOMPARE(w->FacultyPicker->displayText(), QString());
    QCOMPARE(w->SpecialtyName->text(), QStringLiteral("Программная инженерия"));
    QCOMPARE(shown(w->PlanGrid),
             (QStringList{QStringLiteral("Алгебра|18|36|1"), QStringLiteral("История|18|18|1"),
                          QStringLiteral("Физика|36|36|2")}));
}

void TestSpecialtyPage::closingRestoresThePlanQueryAndTheReference() {
    CurriculumFixture f;
    Typ* first = f.openWindow();
    Typ* second = f.openWindow();
    QVERIFY(first && second);
    QCOMPARE(yp, second);
    QPointer<Typ> closing = second;
    QVERIFY(second->close());
    QTRY_VERIFY(closing.isNull());
    QCOMPARE(yp, nullptr);
    QCOMPARE(DM->Q_Plan_Spec->sqlText(), QStringLiteral("Select * from PlanSpec Order By ID_Spec"));
    QVERIFY(DM->Q_Plan_Spec->isActive());
    QStringList order;
    for (DM->Q_Plan_Spec->first(); !DM->Q_Plan_Spec->isLast(); DM->Q_Plan_Spec->next())
        order << DM->Q_Plan_Spec->fieldByName(QStringLiteral("ID_Spec")).asString();
    order << DM->Q_Plan_Spec->fieldByName(QStringLiteral("ID_Spec")).asString();
    QCOMPARE(order, (QStringList{QStringLiteral("080105"), QStringLiteral("090303"),
                                 QStringLiteral("090304"), QStringLiteral("090304"),
                                 QStringLiteral("090304")}));
    // The older window still works on the shared datasets.
    first->PageControl1->setCurrentIndex(0);
    click(first->SpecNextButton);
    QCOMPARE(first->SpecialtyName->text(), QStringLiteral("Прикладная информатика"));
}

void TestSpecialtyPage::gradeSheetFillsAfterTheWindowWasClosed() {
    CurriculumFixture f;
    {
        Typ* w = f.openWindow();
        QVERIFY(w);
        // The grade sheet's discipline column reads the plan query while the window is open.
        QCOMPARE(DM->T_OcenkiDIS->asString(), QStringLiteral("Алгебра"));
        QVERIFY(w->close());
    }
    QCOMPARE(DM->T_OcenkiDIS->asString(), QStringLiteral("Алгебра"));
    QCOMPARE(DM->T_OcenkiKONTOL->asString(), QStringLiteral("Экзамен"));

    TStuds* students = f.openFirstSemesterSheet();
    QVERIFY(students);
    QCOMPARE(DM->Q_StudentiN_student->asString(), QStringLiteral("0000001"));
    platform::MessageRecorder messages;
    click(students->FillButton);
    QCOMPARE(messages.texts(),
             QStringList{QStringLiteral("Данные дисциплин по семестрам заполнены")});
    QCOMPARE(f.scalar(QStringLiteral("SELECT group_concat(ID_Plan) FROM (SELECT ID_Plan FROM "
                                     "Ocenki WHERE N_student = '0000001' ORDER BY ID_Plan)"))
                 .toString(),
             QStringLiteral("1,2"));
    QStringList disciplines;
    GridModel* model = students->GradeGrid->gridModel();
    for (int r = 0; r < model->rowCount(); ++r)
        disciplines << model->data(model->index(r, 0)).toString() + u'|' +
                           model->data(model->index(r, 2)).toString();
    QCOMPARE(disciplines,
             (QStringList{QStringLiteral("Алгебра|Экзамен"), QStringLiteral("История|Зачет")}));
}

void TestSpecialtyPage::facultyPickerSwitchesSpecialtiesAndPlan() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    DM->T_Spec->next();
    choose(w->FacultyPicker, QStringLiteral("Экономики"));
    QCOMPARE(DM->facultetNazvanie->asString(), QStringLiteral("Экономики"));
    QCOMPARE(shown(w->SpecGrid).size(), 1);
    QCOMPARE(w->SpecNameEdit->text(), QStringLiteral("Финансы и кредит"));
    QCOMPARE(w->SpecialtyName->text(), QStringLiteral("Финансы и кредит"));
    QCOMPARE(shown(w->PlanGrid), QStringList{QStringLiteral("Экономика|18|36|1")});
    QCOMPARE(shown(w->QuickPlanGrid), QStringList{QStringLiteral("Экономика")});
    // Back to the first faculty: its specialties from the first one.
    choose(w->FacultyPicker, QStringLiteral("Информатики"));
    QCOMPARE(DM->T_Spec->recNo(), 0);
    QCOMPARE(w->SpecCodeEdit->text(), QStringLiteral("090304"));
    QCOMPARE(shown(w->PlanGrid).size(), 3);
    // The picker does not follow a move of the faculties made elsewhere.
    DM->facultet->last();
    QCOMPARE(w->FacultyPicker->displayText(), QStringLiteral("Информатики"));
}

void TestSpecialtyPage::openingThePickersListMakesTheFirstFacultyCurrent() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    DM->facultet->last();
    QCOMPARE(w->SpecNameEdit->text(), QStringLiteral("Финансы и кредит"));
    w->FacultyPicker->showPopup();
    QCOMPARE(DM->facultet->recNo(), 0);
    QCOMPARE(w->SpecNameEdit->text(), QStringLiteral("Программная инженерия"));
    w->FacultyPicker->hidePopup();
}

void TestSpecialtyPage::specialtyCodeTakesSixCharacters() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    retype(w->SpecCodeEdit, QStringLiteral("0903051"));
    QCOMPARE(w->SpecCodeEdit->text(), QStringLiteral("090305"));
    click(w->SpecSaveButton);
    QCOMPARE(f.scalar(QStringLiteral("SELECT count(*) FROM Specialnost WHERE ID_Spec = '090305'"))
                 .toInt(),
             1);
}

void TestSpecialtyPage::specialtyNewPostsTheEditFirst() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    retype(w->SpecNameEdit, QStringLiteral("Программная инженерия и ИИ"));
    click(w->SpecNewButton);
    QCOMPARE(f.scalar(QStringLiteral("SELECT Nazvanie FROM Specialnost WHERE ID_Spec = '090304'"))
                 .toString(),
             QStringLiteral("Программная инженерия и ИИ"));
    QCOMPARE(DM->T_Spec->state(), DatasetState::Insert);
    QCOMPARE(DM->T_SpecID_Facultet->asInteger(), 1);
    // A new specialty of the current faculty, stored with its code and name.
    retype(w->SpecNameEdit, QStringLiteral("Кибербезопасность"));
    retype(w->SpecCodeEdit, QStringLiteral("100501"));
    click(w->SpecSaveButton);
    QCOMPARE(DM->T_Spec->state(), DatasetState::Browse);
    QCOMPARE(f.scalar(QStringLiteral("SELECT ID_Facultet || '|' || Nazvanie FROM Specialnost "
                                     "WHERE ID_Spec = '100501'"))
                 .toString(),
             QStringLiteral("1|Кибербезопасность"));
    // Nothing changed: "Сохранить" does nothing.
    platform::MessageRecorder messages;
    click(w->SpecSaveButton);
    QVERIFY(messages.texts().isEmpty());
}

void TestSpecialtyPage::specialtyFacultyEditShowsTheFaculty() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    QCOMPARE(w->SpecFacultyEdit->text(), QStringLiteral("Информатики"));
    // It shows the faculty and cannot change the name.
    retype(w->SpecFacultyEdit, QStringLiteral("Другой"));
    QCOMPARE(w->SpecFacultyEdit->text(), QStringLiteral("Информатики"));
    QCOMPARE(DM->T_Spec->state(), DatasetState::Browse);
    QCOMPARE(w->SpecNameEdit->text(), QStringLiteral("Программная инженерия"));
}

void TestSpecialtyPage::refusedSpecialtyStaysPending() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    // Another specialty's code: the database refuses the row.
    retype(w->SpecCodeEdit, QStringLiteral("090303"));
    const QString failure = failureOf([w] { w->SpecSaveButtonClick(); });
    QVERIFY2(failure.contains(QStringLiteral("UNIQUE")), qPrintable(failure));
    QCOMPARE(DM->T_Spec->state(), DatasetState::Edit);
    QCOMPARE(w->SpecCodeEdit->text(), QStringLiteral("090303"));
    QCOMPARE(f.scalar(QStringLiteral("SELECT count(*) FROM Specialnost WHERE ID_Spec = '090304'"))
                 .toInt(),
             1);
}

void TestSpecialtyPage::closingKeepsTypedTextInThePendingRow() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    retype(w->SpecNameEdit, QStringLiteral("Программная инженерия (бакалавр)"));
    QPointer<Typ> closing = w;
    QVERIFY(w->close());
    QTRY_VERIFY(closing.isNull());
    // The window is gone; what was typed waits in the pending row for the next settle.
    QCOMPARE(DM->T_Spec->state(), DatasetState::Edit);
    QCOMPARE(DM->T_SpecNazvanie->asString(), QStringLiteral("Программная инженерия (бакалавр)"));
    DM->T_Spec->checkBrowseMode();
    QCOMPARE(f.scalar(QStringLiteral("SELECT Nazvanie FROM Specialnost WHERE ID_Spec = '090304'"))
                 .toString(),
             QStringLiteral("Программная инженерия (бакалавр)"));
}

void TestSpecialtyPage::planSaveWithNothingChangedDoesNothing() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    platform::MessageRecorder messages;
    click(w->PlanSaveButton);
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Browse);
    QCOMPARE(DM->T_Plan_Spec->recordCount(), 3);
}

void TestSpecialtyPage::planSaveNeedsDisciplineSemesterAndControl_data() {
    QTest::addColumn<bool>("discipline");
    QTest::addColumn<QString>("semester");
    QTest::addColumn<bool>("control");
    QTest::newRow("no discipline") << false << "2" << true;
    QTest::newRow("no semester") << true << "" << true;
    QTest::newRow("no control type") << true << "2" << false;
}

void TestSpecialtyPage::planSaveNeedsDisciplineSemesterAndControl() {
    QFETCH(bool, discipline);
    QFETCH(QString, semester);
    QFETCH(bool, control);
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    click(w->PlanNewButton);
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Insert);
    if (discipline)
        chooseDiscipline(w->PlanGrid, DM->T_Plan_Spec->recNo(), QStringLiteral("Физика"));
    if (!semester.isEmpty()) retype(w->PlanSemesterBox, semester);
    retype(w->PlanLectureEdit, QStringLiteral("36"));
    if (control) choose(w->PlanControlPicker, QStringLiteral("Зачет"));
    platform::MessageRecorder messages;
    click(w->PlanSaveButton);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Пожалуйста заполните все ячейки")});
    QCOMPARE(messages.messages()[0].kind, platform::MessageKind::Plain);
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Insert);
    QCOMPARE(DM->T_Plan_SpecTime_Lekcii->asInteger(), 36);
    QCOMPARE(planRows(f), 5);
}

void TestSpecialtyPage::planSaveStoresAndLeavesABlankRow() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    click(w->PlanNewButton);
    chooseDiscipline(w->PlanGrid, DM->T_Plan_Spec->recNo(), QStringLiteral("Экономика"));
    // The read-only picker shows the discipline the grid chose.
    QCOMPARE(w->PlanDisciplinePicker->displayText(), QStringLiteral("Экономика"));
    retype(w->PlanSemesterBox, QStringLiteral("2"));
    retype(w->PlanLectureEdit, QStringLiteral("54"));
    retype(w->PlanPracticeEdit, QStringLiteral("18"));
    choose(w->PlanControlPicker, QStringLiteral("Экзамен"));
    platform::MessageRecorder messages;
    click(w->PlanSaveButton);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(planRows(f, QStringLiteral("ID_Spec = '090304' AND Ndis = 4 AND Semestr = 2 AND "
                                        "Time_Lekcii = 54 AND Time_Prakt = 18 AND ID_Kontrol = 1")),
             1);
    // A blank row waits for the next discipline; "<<" drops it untouched.
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Insert);
    QVERIFY(!DM->T_Plan_Spec->isModified());
    QCOMPARE(DM->T_Plan_Spec->recordCount(), 5);
    click(w->PlanPriorButton);
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Browse);
    QCOMPARE(DM->T_Plan_Spec->recordCount(), 4);
    QCOMPARE(planRows(f), 6);
    QVERIFY(messages.texts().isEmpty());
}

void TestSpecialtyPage::planNewWithUnsavedChangesAsksToSave() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    click(w->PlanNextButton);
    retype(w->PlanLectureEdit, QStringLiteral("40"));
    platform::MessageRecorder messages;
    click(w->PlanNewButton);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Пожалуйста сохраните изменения")});
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Edit);
    QCOMPARE(DM->T_Plan_Spec->recNo(), 1);
    QCOMPARE(DM->T_Plan_SpecTime_Lekcii->asInteger(), 40);
    QCOMPARE(planRows(f, QStringLiteral("Time_Lekcii = 40")), 0);
}

void TestSpecialtyPage::planNewRightAfterSaveOpensAnotherRow() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    click(w->PlanNextButton);
    retype(w->PlanPracticeEdit, QStringLiteral("24"));
    platform::MessageRecorder messages;
    click(w->PlanSaveButton);
    QCOMPARE(planRows(f, QStringLiteral("Ndis = 2 AND Time_Prakt = 24")), 1);
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Insert);
    QCOMPARE(DM->T_Plan_Spec->recordCount(), 4);
    // The untouched blank row is dropped and another opens in its place.
    click(w->PlanNewButton);
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Insert);
    QCOMPARE(DM->T_Plan_Spec->recordCount(), 4);
    QCOMPARE(planRows(f), 5);
}

void TestSpecialtyPage::lettersAreRefused_data() {
    QTest::addColumn<QString>("control");
    QTest::newRow("semester") << "PlanSemesterBox";
    QTest::newRow("lecture hours") << "PlanLectureEdit";
    QTest::newRow("practice hours") << "PlanPracticeEdit";
}

void TestSpecialtyPage::lettersAreRefused() {
    QFETCH(QString, control);
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    QWidget* target =
        control == QLatin1String("PlanSemesterBox")   ? static_cast<QWidget*>(w->PlanSemesterBox)
        : control == QLatin1String("PlanLectureEdit") ? static_cast<QWidget*>(w->PlanLectureEdit)
                                                      : static_cast<QWidget*>(w->PlanPracticeEdit);
    auto text = [&] {
        if (auto* box = qobject_cast<QComboBox*>(target)) return box->currentText();
        return qobject_cast<QLineEdit*>(target)->text();
    };
    const QString before = text();
    target->setFocus();
    typeText(target, QStringLiteral("аб"));
    QCOMPARE(text(), before);
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Browse);
    typeText(target, QStringLiteral("7"));
    QCOMPARE(text(), before + QStringLiteral("7"));
}

void TestSpecialtyPage::editorModeFollowsTheSubPage() {
    CurriculumFixture f;
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    // Selected on creation, the first sub-page leaves the grid as it was made.
    QVERIFY(!w->PlanGrid->testOption(DBGrid::AlwaysShowEditor));
    clickCell(w->PlanGrid, 1, 1);
    QVERIFY(!w->PlanGrid->editor());

    w->PlanPages->setCurrentIndex(1);
    clickCell(w->PlanGrid, 2, 1);
    QVERIFY(!w->PlanGrid->editor());
    w->PlanPages->setCurrentIndex(0);
    clickCell(w->PlanGrid, 0, 1);
    QVERIFY(w->PlanGrid->editor());
    QCOMPARE(DM->T_Plan_Spec->recNo(), 0);
}

void TestSpecialtyPage::refusedPlanPostReopensThePlan() {
    CurriculumFixture f(QStringLiteral(
        "CREATE TRIGGER no_semester_13 BEFORE UPDATE ON PlanSpec WHEN NEW.Semestr = 13 "
        "BEGIN SELECT RAISE(ABORT, 'semester 13 is refused'); END"));
    Typ* w = f.openWindow();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(0);
    click(w->PlanNextButton);
    click(w->PlanNextButton);
    retype(w->PlanSemesterBox, QStringLiteral("13"));
    retype(w->PlanLectureEdit, QStringLiteral("99"));
    platform::MessageRecorder messages;
    const QString failure = failureOf([w] { w->PlanSaveButtonClick(); });
    QVERIFY2(failure.contains(QStringLiteral("semester 13 is refused")), qPrintable(failure));
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Неправильно заполнены ячейки")});
    // The change is dropped: the plan shows the specialty's rows from the first.
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Browse);
    QCOMPARE(DM->T_Plan_Spec->recNo(), 0);
    QCOMPARE(DM->T_Plan_Spec->recordCount(), 3);
    QCOMPARE(w->PlanLectureEdit->text(), QStringLiteral("36"));
    QCOMPARE(planRows(f, QStringLiteral("Semestr = 13 OR Time_Lekcii = 99")), 0);
}

void TestSpecialtyPage::mainWindowOpensTheWindowAtPages() {
    CurriculumFixture f;
    Tform_m form(f.programPath());
    platform::MessageRecorder messages;
    QCOMPARE(yp, nullptr);
    form.FacultiesItem->trigger();
    Typ* first = yp;
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->PageControl1->currentIndex(), 1);
    form.DisciplinesItem->trigger();
    QCOMPARE(yp, first);
    QCOMPARE(first->PageControl1->currentIndex(), 2);

    // The button opens a second window; the menu items then act on it.
    click(form.Button3);
    Typ* second = yp;
    QVERIFY(second && second != first);
    QCOMPARE(second->PageControl1->currentIndex(), 1);
    const std::pair<QAction*, int> items[] = {{form.SpecialtiesItem, 0},
                                              {form.DepartmentsItem, 1},
                                              {form.DisciplinesItem, 2},
                                              {form.GroupsItem, 1},
                                              {form.SpecialtiesItem, 0}};
    for (const auto& [item, page] : items) {
        item->trigger();
        QCOMPARE(yp, second);
        QCOMPARE(second->PageControl1->currentIndex(), page);
        QCOMPARE(first->PageControl1->currentIndex(), 2);
    }

    // After a window closes, the next menu choice opens a new one.
    QPointer<Typ> closing = second;
    QVERIFY(second->close());
    QTRY_VERIFY(closing.isNull());
    form.DisciplinesItem->trigger();
    QVERIFY(yp && yp != first);
    QCOMPARE(yp->PageControl1->currentIndex(), 2);
    delete yp;
    delete first;
}

void TestSpecialtyPage::noWindowWithoutADatabase() {
    QTemporaryDir empty;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(empty.path());
    platform::MessageRecorder messages;
    {
        TDM dm;
        QVERIFY(!dm.Q_Plan_Spec->isActive());
        const QString failure = failureOf([] { new Typ; });
        QVERIFY(!failure.isEmpty());
        // The failed window leaves no reference behind and nothing on screen.
        QCOMPARE(yp, nullptr);
        for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(!qobject_cast<Typ*>(w));
    }
    QDir::setCurrent(previous);
}

QTEST_MAIN(TestSpecialtyPage)
#include "tst_specialty_page.moc"
