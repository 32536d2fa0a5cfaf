// The grade sheet of the student window: which rows it shows for the selected
// tabs and the current student, filling a semester from the specialty's plan,
// clearing it, and giving a grade its date and result.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "Application.h"
#include "DBGrid.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "GridModel.h"
#include "Messages.h"
#include "References.h"
#include "StudentsFixture.h"
#include "Studenti.h"
#include "TypeText.h"

namespace {

// Students whose record-book numbers are not plain digits, with grades of their own.
const QString oddNumbers = QStringLiteral(
    "INSERT INTO Studenti (N_student, Fam, Name, ID_group) VALUES "
    "('7''\"7', 'Кавычкин', 'Ян', 1), ('N_student', 'Колонкин', 'Ян', 1), "
    "('0000009', 'Бездомный', 'Ян', 99);"
    "INSERT INTO Ocenki (N_student, ID_Plan, Semestr) VALUES "
    "('7''\"7', 1, 3), ('N_student', 2, 3), ('N_student', 1, 3)");

// The sheet's rows as "discipline|semester|assessment|date|result".
QStringList sheet(TStuds* w) {
    GridModel* model = w->GradeGrid->gridModel();
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->data(model->index(r, c)).toString();
        rows << cells.join(u'|');
    }
    return rows;
}

TStuds* openOnSheet(StudentsFixture& f) {
    TStuds* w = f.openWindow();
    if (w) w->PageControl1->setCurrentIndex(1);
    return w;
}

void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

// Opens the result cell of a row with F2: its drop-down's entries.
QStringList offeredResults(DBGrid* grid, int row) {
    grid->setCurrentIndex(grid->model()->index(row, 4));
    QTest::keyClick(grid, Qt::Key_F2);
    QStringList offered;
    if (auto* box = qobject_cast<QComboBox*>(grid->editor()))
        for (int i = 0; i < box->count(); ++i) offered << box->itemText(i);
    return offered;
}

// Every grade row as "N_student|ID_Plan|Semestr", sorted: as the database holds them
// and as the grade dataset does, whatever its filter shows.
QStringList storedGrades(StudentsFixture& f) {
    QStringList rows =
        f.scalar(QStringLiteral("SELECT group_concat(coalesce(N_student, '') || '|' || "
                                "coalesce(ID_Plan, '') || '|' || coalesce(Semestr, ''), char(10)) "
                                "FROM Ocenki"))
            .toString()
            .split(u'\n', Qt::SkipEmptyParts);
    rows.sort();
    return rows;
}

QStringList datasetGrades() {
    Dataset* grades = DM->T_Ocenki;
    const bool filtered = grades->isFiltered();
    grades->setFiltered(false);
    QStringList rows;
    for (int i = 0; i < grades->recordCount(); ++i)
        rows << QStringList{grades->viewValue(i, DM->T_OcenkiN_student).toString(),
                            grades->viewValue(i, DM->T_OcenkiID_Plan).toString(),
                            grades->viewValue(i, DM->T_OcenkiSemestr).toString()}
                    .join(u'|');
    grades->setFiltered(filtered);
    rows.sort();
    return rows;
}

int count(StudentsFixture& f, const QString& where) {
    return f.scalar(QStringLiteral("SELECT count(*) FROM Ocenki WHERE ") + where).toInt();
}

}  // namespace

class TestGradeSheet : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void semesterNumbers_data();
    void semesterNumbers();
    void filterText_data();
    void filterText();
    void newWindowShowsSecondCourseAutumn();
    void sheetFollowsTabsAndStudent();
    void fillAddsTheMissingPlanRows();
    void fillWithoutSpecialtyAddsNothing();
    void clearRemovesOnlyThatStudentAndSemester_data();
    void clearRemovesOnlyThatStudentAndSemester();
    void datesAndResultsAreTypedIntoTheGrid();
    void lookedUpColumnsEmptyWhilePlanClosed();
    void clearSettlesAPendingGrade_data();
    void clearSettlesAPendingGrade();
    void numbersDifferingInLetterCaseHaveSheetsOfTheirOwn();
    void resultsAreOfferedInAWindowMadeWithoutDatabase();
    void refusedDateInACellIsReportedOnceAndKeptForCorrecting();
};

void TestGradeSheet::semesterNumbers_data() {
    QTest::addColumn<int>("course");
    QTest::addColumn<int>("term");
    QTest::addColumn<int>("semester");
    QTest::newRow("1 курс, осенний") << 0 << 0 << 1;
    QTest::newRow("1 курс, весенний") << 0 << 1 << 2;
    QTest::newRow("2 курс, осенний") << 1 << 0 << 3;
    QTest::newRow("5 курс, осенний") << 4 << 0 << 9;
    QTest::newRow("5 курс, весенний") << 4 << 1 << 10;
}

void TestGradeSheet::semesterNumbers() {
    QFETCH(int, course);
    QFETCH(int, term);
    QFETCH(int, semester);
    QCOMPARE(TStuds::semesterOf(course, term), semester);
}

void TestGradeSheet::filterText_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("filter");
    QTest::newRow("digits") << "1234567" << "(N_Student=1234567) and (Semestr=3)";
    QTest::newRow("leading zeros") << "0000001" << "(N_Student=0000001) and (Semestr=3)";
    QTest::newRow("letters") << "АБ-12" << "(N_Student='АБ-12') and (Semestr=3)";
    QTest::newRow("quote") << "7'7" << "(N_Student='7''7') and (Semestr=3)";
    QTest::newRow("empty") << "" << "(N_Student='') and (Semestr=3)";
}

void TestGradeSheet::filterText() {
    QFETCH(QString, number);
    QFETCH(QString, filter);
    QCOMPARE(TStuds::sheetFilter(number, 3), filter);
}

void TestGradeSheet::newWindowShowsSecondCourseAutumn() {
    StudentsFixture f;
    TStuds* w = openOnSheet(f);
    QVERIFY(w);
    QCOMPARE(w->CourseTabs->tabText(w->CourseTabs->currentIndex()), QStringLiteral("2 курс"));
    QCOMPARE(w->SemesterTabs->tabText(w->SemesterTabs->currentIndex()),
             QStringLiteral("осенний семестр"));
    QCOMPARE(w->semester(), 3);
    QCOMPARE(sheet(w), QStringList{QStringLiteral("Алгебра|3|Экзамен|15.01.2024|Отлично")});
    auto* model = w->GradeGrid->gridModel();
    QStringList titles;
    for (int c = 0; c < model->columnCount(); ++c)
        titles << model->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"DIS", "Semestr", "KONTOL", "Date", "Result"}));
    QCOMPARE(w->GradeGrid->columnWidth(0), 119);
}

void TestGradeSheet::sheetFollowsTabsAndStudent() {
    StudentsFixture f(oddNumbers);
    TStuds* w = openOnSheet(f);
    w->SemesterTabs->setCurrentIndex(1);
    QCOMPARE(sheet(w), QStringList{QStringLiteral("Физика|4|Экзамен||")});
    // The next student, while the page is visible.
    DM->Q_Studenti->next();
    QCOMPARE(sheet(w), QStringList());
    w->SemesterTabs->setCurrentIndex(0);
    QCOMPARE(sheet(w), QStringList{QStringLiteral("Физика|3|Экзамен||Хорошо")});
    // A number that is no plain digits matches exactly as text.
    DM->Q_Studenti->setRecNo(5);
    QCOMPARE(DM->Q_StudentiN_student->asString(), QStringLiteral("N_student"));
    QCOMPARE(sheet(w).size(), 2);
    DM->Q_Studenti->setRecNo(4);
    QCOMPARE(sheet(w), QStringList{QStringLiteral("Алгебра|3|Экзамен||")});
    // Moved while another page is active: the sheet catches up when shown.
    w->PageControl1->setCurrentIndex(0);
    DM->Q_Studenti->first();
    w->PageControl1->setCurrentIndex(1);
    QCOMPARE(sheet(w), QStringList{QStringLiteral("Алгебра|3|Экзамен|15.01.2024|Отлично")});
    w->CourseTabs->setCurrentIndex(4);
    w->SemesterTabs->setCurrentIndex(1);
    QCOMPARE(w->semester(), 10);
    QCOMPARE(sheet(w), QStringList());
}

void TestGradeSheet::fillAddsTheMissingPlanRows() {
    StudentsFixture f;
    TStuds* w = openOnSheet(f);
    platform::MessageRecorder messages;
    click(w->FillButton);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Данные дисциплин по семестрам заполнены")});
    QCOMPARE(messages.messages()[0].kind, platform::MessageKind::Plain);
    QCOMPARE(sheet(w), (QStringList{QStringLiteral("Алгебра|3|Экзамен|15.01.2024|Отлично"),
                                    QStringLiteral("История|3|Зачет||")}));
    QCOMPARE(count(f, "N_student = '0000001' AND Semestr = 3"), 2);
    QCOMPARE(count(f, "N_student = '0000001' AND Semestr = 3 AND ID_Plan = 2 AND Date IS NULL "
                      "AND ID_Result IS NULL"),
             1);
    // A second fill adds nothing, and says so all the same.
    click(w->FillButton);
    QCOMPARE(messages.texts().size(), 2);
    QCOMPARE(count(f, "N_student = '0000001' AND Semestr = 3"), 2);
    QCOMPARE(count(f, "1 = 1"), 4);
}

void TestGradeSheet::fillWithoutSpecialtyAddsNothing() {
    StudentsFixture f(oddNumbers);
    TStuds* w = openOnSheet(f);
    platform::MessageRecorder messages;
    DM->Q_Studenti->last();
    QCOMPARE(DM->Q_StudentiID_Spec->asString(), QString());
    click(w->FillButton);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Данные дисциплин по семестрам заполнены")});
    QCOMPARE(count(f, "N_student = '0000009'"), 0);
}

void TestGradeSheet::clearRemovesOnlyThatStudentAndSemester_data() {
    QTest::addColumn<int>("studentRow");
    QTest::addColumn<QString>("number");
    QTest::newRow("digits") << 0 << "0000001";
    QTest::newRow("a quote and a double quote") << 4 << "7'\"7";
    QTest::newRow("the name of a column") << 5 << "N_student";
}

void TestGradeSheet::clearRemovesOnlyThatStudentAndSemester() {
    QFETCH(int, studentRow);
    QFETCH(QString, number);
    StudentsFixture f(oddNumbers);
    TStuds* w = openOnSheet(f);
    DM->Q_Studenti->setRecNo(studentRow);
    QCOMPARE(DM->Q_StudentiN_student->asString(), number);
    const int before = count(f, "1 = 1");
    const int own = f.scalar(QStringLiteral("SELECT count(*) FROM Ocenki WHERE N_student = '%1' "
                                            "AND Semestr = 3")
                                 .arg(QString(number).replace(u'\'', QStringLiteral("''"))))
                        .toInt();
    QVERIFY(own > 0);
    platform::MessageRecorder messages;
    click(w->ClearButton);
    QCOMPARE(count(f, "1 = 1"), before - own);
    QCOMPARE(sheet(w), QStringList());
    QVERIFY(messages.texts().isEmpty());
    // The same student stays current, and the other semester is kept.
    QCOMPARE(DM->Q_StudentiN_student->asString(), number);
    QCOMPARE(count(f, "N_student = '0000001' AND Semestr = 4"), 1);
    QCOMPARE(count(f, "N_student = '0000002'"), 1);
    // The grades kept in memory are the stored ones, row for row.
    QCOMPARE(datasetGrades(), storedGrades(f));
}

void TestGradeSheet::datesAndResultsAreTypedIntoTheGrid() {
    StudentsFixture f;
    TStuds* w = openOnSheet(f);
    platform::MessageRecorder messages;
    click(w->FillButton);
    DBGrid* grid = w->GradeGrid;
    grid->setFocus();
    // The new row is the second; its date column is the fourth.
    DM->T_Ocenki->setRecNo(1);
    grid->setCurrentIndex(grid->model()->index(1, 3));
    // The first key opens the cell editor; the rest go to whatever has the focus then.
    for (const QChar c : QStringLiteral("20.06.2025")) typeText(QApplication::focusWidget(), c);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    // Every result is offered, not only the grade's own.
    QCOMPARE(offeredResults(grid, 1), (QStringList{"Отлично", "Хорошо", "Зачтено"}));
    auto* box = qobject_cast<QComboBox*>(grid->editor());
    QVERIFY(box);
    box->setCurrentIndex(2);
    emit box->activated(2);
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(count(f, "N_student = '0000001' AND ID_Plan = 2 AND Date = '2025-06-20' AND "
                      "ID_Result = 5"),
             1);
    QCOMPARE(sheet(w)[1], QStringLiteral("История|3|Зачет|20.06.2025|Зачтено"));
    // Seen again after moving away and back.
    DM->Q_Studenti->next();
    DM->Q_Studenti->prior();
    QCOMPARE(sheet(w)[1], QStringLiteral("История|3|Зачет|20.06.2025|Зачтено"));
    QCOMPARE(messages.texts().size(), 1);
}

void TestGradeSheet::lookedUpColumnsEmptyWhilePlanClosed() {
    StudentsFixture f;
    TStuds* w = openOnSheet(f);
    DM->Q_Plan_Spec->close();
    DM->T_Ocenki->refresh();
    QCOMPARE(sheet(w), QStringList{QStringLiteral("|3||15.01.2024|Отлично")});
}

void TestGradeSheet::clearSettlesAPendingGrade_data() {
    QTest::addColumn<bool>("cleared");
    // An edited grade of the semester being cleared goes with the others.
    QTest::newRow("one of the rows cleared") << true;
    // A new grade of another semester is stored, and stays.
    QTest::newRow("a row of another semester") << false;
}

void TestGradeSheet::clearSettlesAPendingGrade() {
    QFETCH(bool, cleared);
    StudentsFixture f;
    TStuds* w = openOnSheet(f);
    platform::MessageRecorder messages;
    Dataset* grades = DM->T_Ocenki;
    if (cleared) {
        grades->edit();
        DM->T_OcenkiDate->setAsString(QStringLiteral("20.06.2025"));
    } else {
        grades->append();
        DM->T_OcenkiN_student->setValue(QStringLiteral("0000001"));
        DM->T_OcenkiID_Plan->setValue(2);
        DM->T_OcenkiSemestr->setValue(4);
    }
    w->ClearButtonClick();
    QCOMPARE(grades->state(), DatasetState::Browse);
    QCOMPARE(sheet(w), QStringList());
    QCOMPARE(count(f, "N_student = '0000001' AND Semestr = 3"), 0);
    QCOMPARE(count(f, "N_student = '0000001' AND Semestr = 4"), cleared ? 1 : 2);
    // The next fill reads what is stored now: both plan rows of the semester come back.
    click(w->FillButton);
    QCOMPARE(sheet(w), (QStringList{"Алгебра|3|Экзамен||", "История|3|Зачет||"}));
    QCOMPARE(count(f, "N_student = '0000001' AND Semestr = 3"), 2);
    QCOMPARE(messages.texts(), QStringList{"Данные дисциплин по семестрам заполнены"});
}

void TestGradeSheet::numbersDifferingInLetterCaseHaveSheetsOfTheirOwn() {
    StudentsFixture f(QStringLiteral(
        "INSERT INTO Studenti (N_student, Fam, Name, ID_group) VALUES "
        "('ab1', 'Строчный', 'Ян', 1), ('AB1', 'Прописной', 'Ян', 1);"
        "INSERT INTO Ocenki (N_student, ID_Plan, Semestr) VALUES ('ab1', 1, 3), ('AB1', 2, 3)"));
    TStuds* w = openOnSheet(f);
    platform::MessageRecorder messages;
    QVERIFY(DM->Q_Studenti->locate(QStringLiteral("N_student"), QStringLiteral("ab1")));
    QCOMPARE(sheet(w), QStringList{QStringLiteral("Алгебра|3|Экзамен||")});
    click(w->FillButton);
    QCOMPARE(sheet(w), (QStringList{"Алгебра|3|Экзамен||", "История|3|Зачет||"}));
    w->ClearButtonClick();
    QCOMPARE(count(f, "N_student = 'ab1'"), 0);
    QCOMPARE(count(f, "N_student = 'AB1'"), 1);
    QVERIFY(DM->Q_Studenti->locate(QStringLiteral("N_student"), QStringLiteral("AB1")));
    QCOMPARE(sheet(w), QStringList{QStringLiteral("История|3|Зачет||")});
}

void TestGradeSheet::resultsAreOfferedInAWindowMadeWithoutDatabase() {
    StudentsFixture f;
    for (Dataset* ds : DM->datasets()) ds->close();
    DM->ADOConnection1.close();
    TStuds* w = f.openWindow();
    DM->DataModuleCreate();
    w->PageControl1->setCurrentIndex(1);
    DBGrid* grid = w->GradeGrid;
    grid->setFocus();
    QCOMPARE(offeredResults(grid, 0), (QStringList{"Отлично", "Хорошо", "Зачтено"}));
}

void TestGradeSheet::refusedDateInACellIsReportedOnceAndKeptForCorrecting() {
    StudentsFixture f;
    TStuds* w = openOnSheet(f);
    platform::MessageRecorder messages;
    DBGrid* grid = w->GradeGrid;
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, 3));
    QTest::keyClick(grid, Qt::Key_F2);
    auto* line = qobject_cast<QLineEdit*>(grid->editor());
    QVERIFY(line);
    line->selectAll();
    typeText(line, QStringLiteral("31.02.2024"));
    QTest::keyClick(line, Qt::Key_Return);
    QCOMPARE(messages.texts(), QStringList{"'31.02.2024' is not a valid date."});
    // Moving on with the same text ends without a second message.
    QVERIFY_THROWS_EXCEPTION(platform::SilentAbort, DM->T_Ocenki->next());
    QCOMPARE(messages.texts().size(), 1);
    QCOMPARE(grid->editor(), line);
    QTRY_COMPARE(line->selectedText(), QStringLiteral("31.02.2024"));
    QCOMPARE(QApplication::focusWidget(), line);
    typeText(line, QStringLiteral("30.01.2024"));
    QTest::keyClick(line, Qt::Key_Return);
    DM->T_Ocenki->checkBrowseMode();
    QCOMPARE(count(f, "N_student = '0000001' AND Date = '2024-01-30'"), 1);
    QCOMPARE(messages.texts().size(), 1);
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestGradeSheet test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_grade_sheet.moc"
