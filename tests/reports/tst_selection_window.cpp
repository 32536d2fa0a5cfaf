// The report selection window as a user meets it: its defaults, the up-downs
// and their ends, the following year and the year's failures, the group that
// enables the statement, several windows each on its own controls, the menu
// item that makes them, and the two buttons that open the previews.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "Application.h"
#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "HandlerFailure.h"
#include "Messages.h"
#include "Preview.h"
#include "ReportsFixture.h"
#include "TESSALY_MainForm.h"
#include "TypeText.h"
#include "UpDown.h"
#include "otchet.h"

namespace {

void click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}

void clickTimes(QToolButton* arrow, int times) {
    for (int i = 0; i < times; ++i) click(arrow);
}

// Types over what the edit holds, with its change handler held back: a
// failure of the handler is then seen where the handler is called.
void typeQuietly(QLineEdit* edit, const QString& text) {
    const QSignalBlocker block(edit);
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Delete);
    } else {
        typeText(edit, text);
    }
}

void retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    typeText(edit, text);
}

}  // namespace

class TestSelectionWindow : public QObject {
    Q_OBJECT
private slots:
    void newWindowShowsItsDefaults();
    void upDownsStepWithinTheirEnds_data();
    void upDownsStepWithinTheirEnds();
    void badYearIsReportedAndKeepsTheFollowingYear_data();
    void badYearIsReportedAndKeepsTheFollowingYear();
    void choosingAGroupEnablesTheStatement();
    void eachWindowPrintsItsOwnChoices();
    void menuItemMakesANewWindowEveryTime();
    void printOpensTheSheetAtOnce();
    void databaseErrorOpensNoPreview();
};

void TestSelectionWindow::newWindowShowsItsDefaults() {
    ReportsFixture f;
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    QCOMPARE(f_otchet, w);
    QCOMPARE(w->windowTitle(), QStringLiteral("ОТЧЕТЫ И ДОКУМЕНТЫ"));
    QCOMPARE(w->size(), QSize(479, 340));
    QCOMPARE(w->PageControl1->count(), 2);
    const QString first = w->PageControl1->tabText(Tf_otchet::StatementIndex);
    QCOMPARE(first, QStringLiteral("Экзаменационная ведомо") + QChar(0x63) + QStringLiteral("ть"));
    QCOMPARE(w->PageControl1->tabText(Tf_otchet::SheetIndex),
             QStringLiteral("Экзаменационный лист"));
    QCOMPARE(w->PageControl1->currentIndex(), int(Tf_otchet::SheetIndex));

    QVERIFY(!w->ReportButton->isEnabled());
    QVERIFY(!w->SemesterEdit->isEnabled());
    QVERIFY(w->SemesterUpDown->isEnabled());
    QCOMPARE(w->SemesterEdit->text(), QStringLiteral("1"));
    QCOMPARE(w->YearEdit->text(), QStringLiteral("2003"));
    QCOMPARE(w->FollowingYearEdit->text(), QStringLiteral("2004"));
    QVERIFY(w->ExamSheetItem->isChecked());
    QVERIFY(!w->CreditSheetItem->isChecked());
    QVERIFY(w->PrintButton->isEnabled());
    for (DBLookupComboBox* p :
         {w->FacultyPicker, w->GroupPicker, w->ExaminerPicker, w->DisciplinePicker,
          w->StudentPicker, w->SheetDisciplinePicker, w->SheetExaminerPicker})
        QCOMPARE(p->displayText(), QString());

    // Tab order of the second page, from "Печать".
    w->PrintButton->setFocus();
    for (QWidget* next :
         {static_cast<QWidget*>(w->ExamSheetItem), static_cast<QWidget*>(w->SheetExaminerPicker),
          static_cast<QWidget*>(w->SheetDisciplinePicker),
          static_cast<QWidget*>(w->StudentPicker)}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    // And of the first, from "Отчет" once a group is chosen; the semester's
    // arrows come before its edit.
    w->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);
    QVERIFY(choose(w->FacultyPicker, QStringLiteral("Информатики")));
    QVERIFY(choose(w->GroupPicker, QStringLiteral("ПИ-21")));
    w->ReportButton->setFocus();
    for (QWidget* next :
         {static_cast<QWidget*>(w->GroupPicker), static_cast<QWidget*>(w->SemesterUpDown),
          static_cast<QWidget*>(w->SemesterEdit), static_cast<QWidget*>(w->YearEdit),
          static_cast<QWidget*>(w->FollowingYearEdit), static_cast<QWidget*>(w->YearUpDown),
          static_cast<QWidget*>(w->ExaminerPicker), static_cast<QWidget*>(w->DisciplinePicker),
          static_cast<QWidget*>(w->FacultyPicker)}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestSelectionWindow::upDownsStepWithinTheirEnds_data() {
    QTest::addColumn<bool>("year");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("ups");
    QTest::addColumn<int>("downs");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("following");
    // The semester's edit stays disabled: its arrows work all the same.
    QTest::newRow("semester up once") << false << "" << 1 << 0 << "2"
                                      << "";
    QTest::newRow("semester stops at 20") << false << "" << 25 << 0 << "20"
                                          << "";
    QTest::newRow("semester stops at 1") << false << "" << 0 << 3 << "1"
                                         << "";
    QTest::newRow("semester up and back") << false << "" << 5 << 2 << "4"
                                          << "";
    QTest::newRow("year right once") << true << "" << 1 << 0 << "2004"
                                     << "2005";
    QTest::newRow("year stops at 2003") << true << "" << 0 << 2 << "2003"
                                        << "2004";
    // Steps go on from a year typed by hand; no thousands separator at the top.
    QTest::newRow("year from a typed one") << true << "2250" << 1 << 0 << "2251"
                                           << "2252";
    QTest::newRow("year stops at 2500") << true << "2499" << 3 << 0 << "2500"
                                        << "2501";
    QTest::newRow("year down from the top") << true << "2500" << 0 << 1 << "2499"
                                            << "2500";
}

void TestSelectionWindow::upDownsStepWithinTheirEnds() {
    QFETCH(bool, year);
    QFETCH(QString, typed);
    QFETCH(int, ups);
    QFETCH(int, downs);
    QFETCH(QString, shown);
    QFETCH(QString, following);
    ReportsFixture f;
    platform::MessageRecorder messages;
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);
    UpDown* arrows = year ? w->YearUpDown : w->SemesterUpDown;
    QLineEdit* edit = year ? w->YearEdit : w->SemesterEdit;
    if (!typed.isEmpty()) retype(edit, typed);
    clickTimes(arrows->upButton(), ups);
    clickTimes(arrows->downButton(), downs);
    QCOMPARE(edit->text(), shown);
    if (year) QCOMPARE(w->FollowingYearEdit->text(), following);
    QVERIFY(!w->SemesterEdit->isEnabled());
    QCOMPARE(messages.texts(), QStringList());
}

void TestSelectionWindow::badYearIsReportedAndKeepsTheFollowingYear_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("failure");
    QTest::newRow("a letter") << "20a3"
                              << "'20a3' is not a valid integer value";
    QTest::newRow("nothing") << ""
                             << "'' is not a valid integer value";
    QTest::newRow("past 32 bits") << "2147483648"
                                  << "'2147483648' is not a valid integer value";
    QTest::newRow("no successor") << "2147483647"
                                  << "Integer overflow";
}

void TestSelectionWindow::badYearIsReportedAndKeepsTheFollowingYear() {
    QFETCH(QString, typed);
    QFETCH(QString, failure);
    ReportsFixture f;
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);
    typeQuietly(w->YearEdit, typed);
    QCOMPARE(w->YearEdit->text(), typed);
    QCOMPARE(failureOf([w] { w->YearEditChange(); }), failure);
    QCOMPARE(w->FollowingYearEdit->text(), QStringLiteral("2004"));
    // A good year afterwards writes its successor again.
    retype(w->YearEdit, QStringLiteral("2010"));
    QCOMPARE(w->FollowingYearEdit->text(), QStringLiteral("2011"));
}

void TestSelectionWindow::choosingAGroupEnablesTheStatement() {
    ReportsFixture f;
    report::PreviewRecorder previews;
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);
    // A faculty alone asks for no statement.
    QVERIFY(choose(w->FacultyPicker, QStringLiteral("Информатики")));
    QVERIFY(!w->ReportButton->isEnabled());
    QVERIFY(choose(w->GroupPicker, QStringLiteral("ПИ-21")));
    QVERIFY(w->ReportButton->isEnabled());
    QVERIFY(w->SemesterEdit->isEnabled());
    // Another faculty empties the group picker: no statement until a group is chosen again.
    QVERIFY(choose(w->FacultyPicker, QStringLiteral("Экономики")));
    QCOMPARE(w->GroupPicker->displayText(), QString());
    QVERIFY(!w->ReportButton->isEnabled());
    click(w->ReportButton);
    QCOMPARE(previews.previews().size(), size_t(0));
    // Back on the first faculty the picker shows the chosen group again, and may print it.
    QVERIFY(choose(w->FacultyPicker, QStringLiteral("Информатики")));
    QCOMPARE(w->GroupPicker->displayText(), QStringLiteral("ПИ-21"));
    QVERIFY(w->ReportButton->isEnabled());
    QVERIFY(choose(w->GroupPicker, QStringLiteral("ПИ-22")));
    QVERIFY(w->ReportButton->isEnabled());
    QVERIFY(choose(w->GroupPicker, QStringLiteral("ПИ-21")));
    click(w->ReportButton);
    QCOMPARE(previews.previews().size(), size_t(1));
    const QString dump = report::dump(previews.previews().front());
    QCOMPARE(linesWith(dump, QStringLiteral("\"Петров\"")).size(), 1);
    QCOMPARE(linesWith(dump, QStringLiteral("\"Орлов01\"")).size(), 0);
}

void TestSelectionWindow::eachWindowPrintsItsOwnChoices() {
    ReportsFixture f;
    report::PreviewRecorder previews;
    Tf_otchet* first = f.openSelection();
    Tf_otchet* second = f.openSelection();
    QVERIFY(first && second);
    QCOMPARE(f_otchet, second);
    for (Tf_otchet* w : {first, second})
        w->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);

    QVERIFY(choose(first->FacultyPicker, QStringLiteral("Информатики")));
    QVERIFY(choose(first->GroupPicker, QStringLiteral("ПИ-21")));
    QVERIFY(first->ReportButton->isEnabled());
    QVERIFY(!second->ReportButton->isEnabled());
    QVERIFY(!second->SemesterEdit->isEnabled());
    clickTimes(first->SemesterUpDown->upButton(), 2);
    clickTimes(second->YearUpDown->upButton(), 4);
    QCOMPARE(first->SemesterEdit->text(), QStringLiteral("3"));
    QCOMPARE(second->SemesterEdit->text(), QStringLiteral("1"));
    QCOMPARE(first->YearEdit->text(), QStringLiteral("2003"));
    QCOMPARE(second->FollowingYearEdit->text(), QStringLiteral("2008"));
    click(first->ReportButton);

    // The faculty's list is shared: the second window's faculty empties the first one's group.
    QVERIFY(choose(second->FacultyPicker, QStringLiteral("Экономики")));
    QVERIFY(choose(second->GroupPicker, QStringLiteral("ФК-11")));
    QVERIFY(!first->ReportButton->isEnabled());
    click(second->ReportButton);
    QCOMPARE(previews.previews().size(), size_t(2));
    const QString one = report::dump(previews.previews()[0]);
    const QString two = report::dump(previews.previews()[1]);
    QCOMPARE(linesWith(one, QStringLiteral(" 9.3x5.8 ")),
             QStringList{QStringLiteral(
                 "page 1 text 68.7,86.2 9.3x5.8 \"Times New Roman\" 14 wrap \"3\"")});
    QCOMPARE(linesWith(two, QStringLiteral(" 9.3x5.8 ")),
             QStringList{QStringLiteral(
                 "page 1 text 68.7,86.2 9.3x5.8 \"Times New Roman\" 14 wrap \"1\"")});
    QCOMPARE(linesWith(one, QStringLiteral("/")),
             QStringList{QStringLiteral(
                 "page 1 text 11.6,54.5 20.6x5.8 \"Times New Roman\" 14 \"2003/2004\"")});
    QCOMPARE(linesWith(two, QStringLiteral("/")),
             QStringList{QStringLiteral(
                 "page 1 text 11.6,54.5 20.6x5.8 \"Times New Roman\" 14 \"2007/2008\"")});
    QCOMPARE(linesWith(one, QStringLiteral("\"Петров\"")).size(), 1);
    QCOMPARE(linesWith(two, QStringLiteral("\"Орлов20\"")).size(), 1);
}

void TestSelectionWindow::menuItemMakesANewWindowEveryTime() {
    ReportsFixture f;
    platform::MessageRecorder messages;
    Tform_m form(f.programPath());
    form.ReportsItem->trigger();
    form.ReportsItem->trigger();
    const QList<Tf_otchet*> windows = form.findChildren<Tf_otchet*>();
    QCOMPARE(windows.size(), 2);
    QCOMPARE(f_otchet, windows.back());
    for (Tf_otchet* w : windows) {
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->PageControl1->currentIndex(), int(Tf_otchet::SheetIndex));
    }
    // Closing hides a window; it keeps its choices for the next showing.
    Tf_otchet* older = windows.front();
    older->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);
    click(older->SemesterUpDown->upButton());
    QVERIFY(older->close());
    QVERIFY(older->isHidden());
    QCOMPARE(form.findChildren<Tf_otchet*>().size(), 2);
    older->show();
    QCOMPARE(older->SemesterEdit->text(), QStringLiteral("2"));
    QCOMPARE(f_otchet, windows.back());
    QCOMPARE(messages.texts(), QStringList());
}

void TestSelectionWindow::printOpensTheSheetAtOnce() {
    ReportsFixture f;
    report::PreviewRecorder previews;
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    click(w->PrintButton);
    QCOMPARE(previews.previews().size(), size_t(1));
    const QString dump = report::dump(previews.previews().front());
    QCOMPARE(linesWith(dump, QStringLiteral("#______")),
             QStringList{QStringLiteral("page 1 text 62.9,20.6 94.5x7.4 \"Arial\" 16 bold "
                                        "\"Экзаменационный лист  #______\"")});
}

void TestSelectionWindow::databaseErrorOpensNoPreview() {
    ReportsFixture f;
    report::PreviewRecorder previews;
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);
    QVERIFY(choose(w->FacultyPicker, QStringLiteral("Информатики")));
    QVERIFY(choose(w->GroupPicker, QStringLiteral("ПИ-21")));
    // Another program takes the students' table away.
    f.exec(QStringLiteral("ALTER TABLE Studenti RENAME TO Studenti_old"));
    QCOMPARE(failureOf([w] { w->ReportButtonClick(); }), QStringLiteral("no such table: Studenti"));
    QVERIFY(!DM->Q_Report->isActive());
    QCOMPARE(previews.previews().size(), size_t(0));
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestSelectionWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_selection_window.moc"
