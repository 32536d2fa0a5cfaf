// The exam and credit sheet as "Печать" previews it: the kind in the title and
// the return notice, the hours of the student's plan for the discipline in the
// semester asked for, the student's faculty, group and dean, the examiner
// chosen in the window (else nobody), and the day of production.
#include <QDate>
#include <QLineEdit>
#include <QToolButton>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "Application.h"
#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "Documents.h"
#include "Messages.h"
#include "Preview.h"
#include "Production.h"
#include "Report.h"
#include "ReportsFixture.h"
#include "UpDown.h"
#include "otchet.h"

namespace {

void click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}

QString sheetOf(Tf_otchet* w, const report::PreviewRecorder& previews) {
    const size_t before = previews.previews().size();
    click(w->PrintButton);
    if (previews.previews().size() != before + 1) return QStringLiteral("(no preview)");
    return report::dump(previews.previews().back());
}

// The one text printed in this box, quoted as the dump quotes it: what
// follows the font's quoted name.
QString valueIn(const QString& dump, const QString& place) {
    const QStringList lines = linesWith(dump, QStringLiteral("page 1 text ") + place + u' ');
    if (lines.size() != 1) return QStringLiteral("(%1 texts there)").arg(lines.size());
    const QString& line = lines.front();
    const qsizetype fontEnd = line.indexOf(u'"', line.indexOf(u'"') + 1);
    return line.mid(line.indexOf(u'"', fontEnd + 1));
}

QString quoted(const QString& text) {
    return u'"' + text + u'"';
}

// The hours start a blank after "... в количестве ", which runs past their place at 114.3 mm.
const QString HoursPlace = QStringLiteral("125.0,46.0 17.2x4.5");

}  // namespace

class TestExamSheet : public QObject {
    Q_OBJECT
private slots:
    void kindNamesTheTitleAndTheNotice_data();
    void kindNamesTheTitleAndTheNotice();
    void hoursAreTheStudentsPlanForTheDiscipline_data();
    void hoursAreTheStudentsPlanForTheDiscipline();
    void sheetNamesStudentPlacementAndExaminer_data();
    void sheetNamesStudentPlacementAndExaminer();
    void dateIsTheDayOfProduction();
    void theStudentsWholeSurnamePrints();
};

void TestExamSheet::kindNamesTheTitleAndTheNotice_data() {
    QTest::addColumn<bool>("credit");
    QTest::addColumn<QString>("kind");
    QTest::newRow("examination") << false << "Экзаменационный лист";
    QTest::newRow("credit") << true << "Зачетный лист";
}

void TestExamSheet::kindNamesTheTitleAndTheNotice() {
    QFETCH(bool, credit);
    QFETCH(QString, kind);
    ReportsFixture f;
    report::PreviewRecorder previews;
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    // On the round mark, as a user clicks the item.
    if (credit)
        QTest::mouseClick(w->CreditSheetItem, Qt::LeftButton, {},
                          QPoint(8, w->CreditSheetItem->height() / 2));
    QCOMPARE(w->CreditSheetItem->isChecked(), credit);
    const QString dump = sheetOf(w, previews);
    QCOMPARE(linesWith(dump, QStringLiteral(" 94.5x7.4 ")),
             QStringList{QStringLiteral("page 1 text 62.9,20.6 94.5x7.4 \"Arial\" 16 bold ") +
                         quoted(kind + QStringLiteral("  #______"))});
    QCOMPARE(linesWith(dump, QStringLiteral(" 99.0x4.5 ")),
             QStringList{QStringLiteral("page 1 text 50.2,129.1 99.0x4.5 \"Arial\" 8 ") +
                         quoted(kind + QStringLiteral(" возвращается преподавателем в деканат "
                                                      "немедленно после окончания"))});
    QCOMPARE(linesWith(dump, QStringLiteral("СГУ")), QStringList());
    QCOMPARE(linesWith(dump, QStringLiteral("университет")),
             QStringList{QStringLiteral("page 1 text 43.1,12.1 125.4x6.6 \"Times New Roman\" 12 "
                                        "bold \"\\\"Северный государственный университет\\\"\"")});
    // Its frame line at the bottom, 2 pt wide.
    QVERIFY(dump.contains(QStringLiteral("page 1 line 43.1,18.7 168.5,18.7 2pt")));
}

void TestExamSheet::hoursAreTheStudentsPlanForTheDiscipline_data() {
    QTest::addColumn<QString>("student");
    QTest::addColumn<QString>("discipline");
    QTest::addColumn<int>("semester");  // clicks on the semester's up arrow; 0: none asked for
    QTest::addColumn<QString>("hours");
    // "Алгебра" is in two semesters of the specialty's plan: 4 (72 + 0) and 3 (36 + 18).
    QTest::newRow("the semester asked for") << "Петров П.С."
                                            << "Алгебра" << 3 << "54";
    QTest::newRow("the other semester") << "Петров П.С."
                                        << "Алгебра" << 4 << "72";
    QTest::newRow("two semesters, none asked for: no hours guessed")
        << "Петров П.С."
        << "Алгебра" << 0 << "";
    QTest::newRow("a semester without the discipline") << "Петров П.С."
                                                       << "Алгебра" << 5 << "0";
    QTest::newRow("a plan row without hours") << "Петров П.С."
                                              << "История" << 0 << "0";
    QTest::newRow("no plan row") << "Петров П.С."
                                 << "Физика" << 0 << "0";
    QTest::newRow("another specialty's only row") << "Орлов01 К.И."
                                                  << "Алгебра" << 0 << "20";
}

void TestExamSheet::hoursAreTheStudentsPlanForTheDiscipline() {
    QFETCH(QString, student);
    QFETCH(QString, discipline);
    QFETCH(int, semester);
    QFETCH(QString, hours);
    ReportsFixture f;
    report::PreviewRecorder previews;
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    QVERIFY(choose(w->StudentPicker, student));
    QVERIFY(choose(w->SheetDisciplinePicker, discipline));
    for (int i = 0; i < semester; ++i) click(w->SheetSemesterUpDown->upButton());
    QCOMPARE(w->SheetSemesterEdit->text(), semester ? QString::number(semester) : QString());
    const int planRow = DM->Q_Plan_Spec->recNo();
    const QString dump = sheetOf(w, previews);
    QCOMPARE(valueIn(dump, HoursPlace), quoted(hours));
    QCOMPARE(valueIn(dump, QStringLiteral("50.2,37.5 14.3x4.5")), quoted(discipline));
    QCOMPARE(DM->Q_Plan_Spec->recNo(), planRow);
}

void TestExamSheet::sheetNamesStudentPlacementAndExaminer_data() {
    QTest::addColumn<QString>("student");
    QTest::addColumn<QString>("examiner");
    QTest::addColumn<QStringList>("printed");  // name, number, faculty, group, dean, examiner
    QTest::newRow("a student and an examiner chosen")
        << "Петров П.С."
        << "Ким О.И." << QStringList{"Петров П.С.",  "0000001", "Информатики", "ПИ-21",
                                     "Лебедев И.И.", "Ким",     "Олег"};
    // What was not chosen prints empty, never the row that happens to be current.
    QTest::newRow("no examiner: the places stay empty")
        << "Орлов01 К.И."
        << "" << QStringList{"Орлов01 К.И.", "0000101", "Экономики", "ФК-11", "Ким О.И.", "", ""};
    QTest::newRow("nothing chosen") << ""
                                    << "" << QStringList{"", "", "", "", "", "", ""};
}

void TestExamSheet::sheetNamesStudentPlacementAndExaminer() {
    QFETCH(QString, student);
    QFETCH(QString, examiner);
    QFETCH(QStringList, printed);
    ReportsFixture f;
    platform::MessageRecorder messages;
    report::PreviewRecorder previews;
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    if (!student.isEmpty()) QVERIFY(choose(w->StudentPicker, student));
    if (!examiner.isEmpty()) QVERIFY(choose(w->SheetExaminerPicker, examiner));
    // Another teacher made current elsewhere after the choice does not print.
    DM->Q_Prepod->first();
    const QString dump = sheetOf(w, previews);
    const QStringList places{
        QStringLiteral("52.3,67.1 5.8x4.5"),  QStringLiteral("46.0,75.6 15.9x4.5"),
        QStringLiteral("31.2,84.1 44.0x9.0"), QStringLiteral("94.7,84.1 9.5x4.5"),
        QStringLiteral("92.6,105.2 0.3x4.5"),
        // The examiner's surname after the label's whole text, not under its end.
        QStringLiteral("97.1,54.5 14.8x4.5"),
        QStringLiteral("124.3,54.5 6.9x4.5")};
    QStringList shown;
    for (const QString& place : places) shown << valueIn(dump, place);
    QStringList expected;
    for (const QString& text : printed) expected << quoted(text);
    QCOMPARE(shown, expected);
    QCOMPARE(DM->Q_PrepodFIO->asString(), QStringLiteral("Соколова А.П."));
    QCOMPARE(messages.texts(), QStringList());
}

void TestExamSheet::dateIsTheDayOfProduction() {
    ReportsFixture f;
    report::PreviewRecorder previews;
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    const QString dayBefore = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    const QString dump = sheetOf(w, previews);
    const QString dayAfter = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    const QString date = valueIn(dump, QStringLiteral("84.1,112.1 9.5x4.5"));
    QVERIFY2(date == quoted(dayBefore) || date == quoted(dayAfter), qPrintable(date));
    // Printed again on a later day from the same request, the sheet carries that day.
    const auto sheet = documents::examSheet(w->sheetRequest());
    const QString later = report::dump(sheet->produce(QDate(2031, 2, 3)));
    QCOMPARE(valueIn(later, QStringLiteral("84.1,112.1 9.5x4.5")), quoted("03.02.2031"));
}

void TestExamSheet::theStudentsWholeSurnamePrints() {
    ReportsFixture f;
    report::PreviewRecorder previews;
    QVERIFY(DM->Q_Studenti->locate(QStringLiteral("N_student"), QStringLiteral("0000001")));
    DM->Q_Studenti->edit();
    DM->Q_StudentiFam->setValue(QStringLiteral("Голенищева-Кутузова"));
    DM->Q_Studenti->post();
    // The short name on screen keeps its 20 characters.
    QCOMPARE(DM->Q_StudentiFIO->asString(), QStringLiteral("Голенищева-Кутузова "));
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    QVERIFY(choose(w->StudentPicker, QStringLiteral("Голенищева-Кутузова ")));
    const QString dump = sheetOf(w, previews);
    QCOMPARE(linesWith(dump, QStringLiteral("\"Голенищева-Кутузова П.С.\"")).size(), 1);
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestExamSheet test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exam_sheet.moc"
