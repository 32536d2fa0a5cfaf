// Quick add of disciplines: moving the discipline chosen on the right into the
// current specialty's plan with the middle column's semester, control type and
// hours, and taking plan rows out again.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "Application.h"
#include "CurriculumFixture.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Driving.h"
#include "GridModel.h"
#include "HandlerFailure.h"
#include "Messages.h"
#include "References.h"
#include "Studenti.h"
#include "TypeText.h"
#include "YMO.h"

namespace {

int rowOf(DBGrid* grid, const QString& text) {
    GridModel* model = grid->gridModel();
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->data(model->index(r, 0)).toString() == text) return r;
    return -1;
}

// The window on its quick-add sub-page.
Typ* openOnQuickAdd(CurriculumFixture& f) {
    Typ* w = f.openWindow();
    if (!w) return nullptr;
    w->PageControl1->setCurrentIndex(0);
    w->PlanPages->setCurrentIndex(1);
    return w;
}

// The stored plan rows of a specialty and discipline, as
// "semester|lectures|practice|control".
QString storedRow(CurriculumFixture& f, const QString& specialty, int discipline) {
    return f
        .scalar(QStringLiteral("SELECT group_concat(ifnull(Semestr, '') || '|' || "
                               "ifnull(Time_Lekcii, '') || '|' || ifnull(Time_Prakt, '') || "
                               "'|' || ifnull(ID_Kontrol, ''), ';') FROM PlanSpec WHERE "
                               "ID_Spec = '%1' AND Ndis = %2")
                    .arg(specialty)
                    .arg(discipline))
        .toString();
}

int planRows(CurriculumFixture& f) {
    return f.scalar(QStringLiteral("SELECT count(*) FROM PlanSpec")).toInt();
}

}  // namespace

class TestQuickAdd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void layoutAndInitialValues();
    void addsWithTheInitialValues();
    void addsARunWithTheChosenValues();
    void badTextInsertsNothing_data();
    void badTextInsertsNothing();
    void removeDeletesWithoutAQuestion();
    void removeOnAnEmptyPlanFails();
    void removeDropsAPendingRow();
    void planListMovesTheDisciplineList();
    void listsAreNotEditable();
    void gradeSheetSeesThePlanWhileTheWindowIsOpen();
};

void TestQuickAdd::layoutAndInitialValues() {
    CurriculumFixture f;
    Typ* w = openOnQuickAdd(f);
    QVERIFY(w);
    QCOMPARE(w->PlanPages->tabText(1), QStringLiteral("Быстрое добавление дисциплин"));
    QCOMPARE(w->QuickSemesterBox->currentText(), QStringLiteral("1"));
    QStringList items;
    for (int i = 0; i < w->QuickSemesterBox->count(); ++i)
        items << w->QuickSemesterBox->itemText(i);
    QCOMPARE(items.size(), 14);
    QCOMPARE(items.first(), QStringLiteral("1"));
    QCOMPARE(items.last(), QStringLiteral("14"));
    QVERIFY(w->QuickSemesterBox->isEditable());
    QCOMPARE(w->QuickPracticeEdit->text(), QStringLiteral("20"));
    QCOMPARE(w->QuickLectureEdit->text(), QStringLiteral("20"));
    QVERIFY(w->QuickControlPicker->keyValue().isNull());
    QCOMPARE(w->QuickAddButton->size(), QSize(57, 57));
    QCOMPARE(w->QuickPlanGrid->columnWidth(0), 170);
    QCOMPARE(shown(w->QuickPlanGrid),
             (QStringList{QStringLiteral("Алгебра"), QStringLiteral("История"),
                          QStringLiteral("Физика")}));
    QCOMPARE(w->QuickPlanGrid->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Дисциплина"));
    QCOMPARE(w->QuickDisciplineGrid->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Название Дисциплины"));
    QCOMPARE(shown(w->QuickDisciplineGrid).size(), 4);
}

void TestQuickAdd::addsWithTheInitialValues() {
    CurriculumFixture f;
    Typ* w = openOnQuickAdd(f);
    QVERIFY(w);
    clickCell(w->QuickDisciplineGrid, rowOf(w->QuickDisciplineGrid, QStringLiteral("Экономика")));
    platform::MessageRecorder messages;
    click(w->QuickAddButton);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(storedRow(f, QStringLiteral("090304"), 4), QStringLiteral("1|20|20|"));
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Browse);
    QVERIFY(shown(w->QuickPlanGrid).contains(QStringLiteral("Экономика")));
    QCOMPARE(w->QuickSemesterBox->currentText(), QStringLiteral("1"));
}

void TestQuickAdd::addsARunWithTheChosenValues() {
    CurriculumFixture f;
    Typ* w = openOnQuickAdd(f);
    QVERIFY(w);
    // Another specialty of the faculty, and values set once for the run.
    DM->T_Spec->next();
    QCOMPARE(DM->T_SpecID_Spec->asString(), QStringLiteral("090303"));
    retype(w->QuickSemesterBox, QStringLiteral("15"));
    w->QuickControlPicker->showPopup();
    w->QuickControlPicker->view()->setCurrentIndex(w->QuickControlPicker->model()->index(1, 0));
    QTest::keyClick(w->QuickControlPicker->view(), Qt::Key_Return);
    QCOMPARE(w->QuickControlPicker->keyValue().toInt(), 2);
    retype(w->QuickPracticeEdit, QStringLiteral("12"));
    retype(w->QuickLectureEdit, QStringLiteral("34"));
    for (const QString& name : {QStringLiteral("Алгебра"), QStringLiteral("История")}) {
        clickCell(w->QuickDisciplineGrid, rowOf(w->QuickDisciplineGrid, name));
        click(w->QuickAddButton);
    }
    QCOMPARE(storedRow(f, QStringLiteral("090303"), 1), QStringLiteral("15|34|12|2"));
    QCOMPARE(storedRow(f, QStringLiteral("090303"), 2), QStringLiteral("15|34|12|2"));
    QCOMPARE(shown(w->QuickPlanGrid).size(), 3);
    QCOMPARE(w->QuickSemesterBox->currentText(), QStringLiteral("15"));
}

void TestQuickAdd::badTextInsertsNothing_data() {
    QTest::addColumn<QString>("semester");
    QTest::addColumn<QString>("lectures");
    QTest::addColumn<QString>("practice");
    QTest::addColumn<QString>("failure");
    QTest::newRow("letters for the semester") << "пятый"
                                              << "20"
                                              << "20"
                                              << "'пятый' is not a valid integer value";
    QTest::newRow("no semester") << ""
                                 << "20"
                                 << "20"
                                 << "'' is not a valid integer value";
    QTest::newRow("letters for lectures") << "1"
                                          << "2o"
                                          << "20"
                                          << "'2o' is not a valid integer value";
    QTest::newRow("practice too large") << "1"
                                        << "20"
                                        << "99999999999"
                                        << "'99999999999' is not a valid integer value";
}

void TestQuickAdd::badTextInsertsNothing() {
    QFETCH(QString, semester);
    QFETCH(QString, lectures);
    QFETCH(QString, practice);
    QFETCH(QString, failure);
    CurriculumFixture f;
    Typ* w = openOnQuickAdd(f);
    QVERIFY(w);
    w->QuickSemesterBox->setEditText(semester);
    w->QuickLectureEdit->setText(lectures);
    w->QuickPracticeEdit->setText(practice);
    clickCell(w->QuickDisciplineGrid, rowOf(w->QuickDisciplineGrid, QStringLiteral("Экономика")));
    QCOMPARE(failureOf([w] { w->QuickAddButtonClick(); }), failure);
    // No half-filled row is left for the next move to store.
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Browse);
    QCOMPARE(DM->T_Plan_Spec->recordCount(), 3);
    DM->T_Plan_Spec->first();
    QCOMPARE(planRows(f), 5);
    QCOMPARE(w->QuickSemesterBox->currentText(), semester);
}

void TestQuickAdd::removeDeletesWithoutAQuestion() {
    CurriculumFixture f;
    Typ* w = openOnQuickAdd(f);
    QVERIFY(w);
    clickCell(w->QuickPlanGrid, 1);
    platform::MessageRecorder messages;
    click(w->QuickRemoveButton);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(shown(w->QuickPlanGrid),
             (QStringList{QStringLiteral("Алгебра"), QStringLiteral("Физика")}));
    QCOMPARE(storedRow(f, QStringLiteral("090304"), 2), QString());
    QCOMPARE(planRows(f), 4);
}

void TestQuickAdd::removeOnAnEmptyPlanFails() {
    CurriculumFixture f(
        QStringLiteral("INSERT INTO Specialnost (Nazvanie, ID_Facultet, ID_Spec) VALUES ('Без "
                       "плана', 2, '080200')"));
    Typ* w = openOnQuickAdd(f);
    QVERIFY(w);
    DM->facultet->last();
    DM->T_Spec->last();
    QCOMPARE(DM->T_SpecID_Spec->asString(), QStringLiteral("080200"));
    QCOMPARE(shown(w->QuickPlanGrid), QStringList());
    QCOMPARE(failureOf([w] { w->QuickRemoveButtonClick(); }),
             QStringLiteral("Cannot perform this operation on an empty dataset"));
    QCOMPARE(planRows(f), 5);
}

void TestQuickAdd::removeDropsAPendingRow() {
    CurriculumFixture f;
    Typ* w = openOnQuickAdd(f);
    QVERIFY(w);
    DM->T_Plan_Spec->last();
    DM->T_Plan_Spec->insert();
    DM->T_Plan_SpecSemestr->setValue(3);
    click(w->QuickRemoveButton);
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Browse);
    QCOMPARE(shown(w->QuickPlanGrid).size(), 3);
    QCOMPARE(planRows(f), 5);
}

void TestQuickAdd::planListMovesTheDisciplineList() {
    CurriculumFixture f;
    Typ* w = openOnQuickAdd(f);
    QVERIFY(w);
    clickCell(w->QuickPlanGrid, 2);
    QCOMPARE(DM->T_DisciplinsNameDis->asString(), QStringLiteral("Физика"));
    QCOMPARE(w->QuickDisciplineGrid->currentIndex().row(),
             rowOf(w->QuickDisciplineGrid, QStringLiteral("Физика")));
    clickCell(w->QuickPlanGrid, 1);
    QCOMPARE(DM->T_DisciplinsNameDis->asString(), QStringLiteral("История"));
}

void TestQuickAdd::listsAreNotEditable() {
    CurriculumFixture f;
    Typ* w = openOnQuickAdd(f);
    QVERIFY(w);
    for (DBGrid* grid : {w->QuickPlanGrid, w->QuickDisciplineGrid}) {
        clickCell(grid, 0);
        const QString before = shown(grid).first();
        typeText(grid, QStringLiteral("Ы"));
        QTest::keyClick(grid, Qt::Key_F2);
        QVERIFY(!grid->editor());
        QCOMPARE(shown(grid).first(), before);
        // Ctrl+Del asks first; Cancel keeps the row.
        platform::MessageRecorder messages;
        messages.answer(platform::Answer::Cancel);
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(shown(grid).first(), before);
    }
    QCOMPARE(DM->T_Plan_Spec->state(), DatasetState::Browse);
    QCOMPARE(DM->T_Disciplins->state(), DatasetState::Browse);
    QCOMPARE(planRows(f), 5);
}

void TestQuickAdd::gradeSheetSeesThePlanWhileTheWindowIsOpen() {
    CurriculumFixture f;
    Typ* w = openOnQuickAdd(f);
    QVERIFY(w);
    // Физика joins the first semester of the student's specialty; История leaves it.
    clickCell(w->QuickDisciplineGrid, rowOf(w->QuickDisciplineGrid, QStringLiteral("Физика")));
    click(w->QuickAddButton);
    clickCell(w->QuickPlanGrid, rowOf(w->QuickPlanGrid, QStringLiteral("История")));
    click(w->QuickRemoveButton);
    QCOMPARE(DM->Q_Plan_Spec->recordCount(), 5);

    TStuds* students = f.openFirstSemesterSheet();
    QVERIFY(students);
    platform::MessageRecorder messages;
    click(students->FillButton);
    QStringList sheet;
    GridModel* model = students->GradeGrid->gridModel();
    for (int r = 0; r < model->rowCount(); ++r) sheet << model->data(model->index(r, 0)).toString();
    QCOMPARE(sheet, (QStringList{QStringLiteral("Алгебра"), QStringLiteral("Физика")}));
}

QTEST_MAIN(TestQuickAdd)
#include "tst_quick_add.moc"
