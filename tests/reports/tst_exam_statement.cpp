// The exam statement as "Отчет" previews it: the title block from the chosen
// group, faculty, discipline, semester, years and examiner; the table of the
// group's students over one or two pages with one signature line; the
// examiner chosen in the window also when the teachers' current row has moved
// since; and the window read again whenever the pages are produced.
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "Application.h"
#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "ExportFilter.h"
#include "TextFit.h"
#include "Documents.h"
#include "Messages.h"
#include "Preview.h"
#include "Report.h"
#include "ReportsFixture.h"
#include "TypeText.h"
#include "UpDown.h"
#include "otchet.h"

namespace {

void click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}

// The window on its first page with a faculty and a group chosen.
Tf_otchet* openOnGroup(ReportsFixture& f, const QString& faculty, const QString& group) {
    Tf_otchet* w = f.openSelection();
    if (!w) return nullptr;
    w->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);
    if (!choose(w->FacultyPicker, faculty) || !choose(w->GroupPicker, group)) return nullptr;
    return w;
}

// "Отчет" pressed as a user presses it; the dump of the one preview it opened.
QString statementOf(Tf_otchet* w, const report::PreviewRecorder& previews) {
    const size_t before = previews.previews().size();
    click(w->ReportButton);
    if (previews.previews().size() != before + 1) return QStringLiteral("(no preview)");
    return report::dump(previews.previews().back());
}

QString text(int page, const QString& box, const QString& font, const QString& value) {
    return QStringLiteral("page %1 text %2 %3 \"%4\"").arg(page).arg(box, font, value);
}

const QString times14 = QStringLiteral("\"Times New Roman\" 14");
// The table's surname cells (a row at the foot of a page is cut at the margin),
// heading cells and signature line.
const QString surnameCell = QStringLiteral(" 39.7x10.");
const QString surnameHeading = QStringLiteral("\"ФАМИЛИЯ\"");
const QString signature = QStringLiteral("\"Подпись декана\"");

}  // namespace

class TestExamStatement : public QObject {
    Q_OBJECT
private slots:
    void titleBlockNamesTheChoices_data();
    void titleBlockNamesTheChoices();
    void tableHasARowPerStudent_data();
    void tableHasARowPerStudent();
    void examinerIsTheOneChosenInTheWindow_data();
    void examinerIsTheOneChosenInTheWindow();
    void aPreviewKeepsItsRequest();
    void titleNamesWhatWasAskedWhateverIsCurrent_data();
    void titleNamesWhatWasAskedWhateverIsCurrent();
    void nothingChosenPrintsEmptyPlaces();
    void theSignatureStaysWithTheLastStudent_data();
    void theSignatureStaysWithTheLastStudent();
    void longValuesPrintWholeInsideTheMargin();
};

void TestExamStatement::titleBlockNamesTheChoices_data() {
    QTest::addColumn<int>("semesterUps");
    QTest::addColumn<QString>("semester");
    QTest::addColumn<QString>("years");
    QTest::newRow("the window's defaults") << 0 << "1"
                                           << "2003/2004";
    QTest::newRow("the last semester") << 25 << "20"
                                       << "2003/2004";
}

void TestExamStatement::titleBlockNamesTheChoices() {
    QFETCH(int, semesterUps);
    QFETCH(QString, semester);
    QFETCH(QString, years);
    ReportsFixture f;
    platform::MessageRecorder messages;
    report::PreviewRecorder previews;
    Tf_otchet* w = openOnGroup(f, QStringLiteral("Информатики"), QStringLiteral("ПИ-21"));
    QVERIFY(w);
    QVERIFY(choose(w->ExaminerPicker, QStringLiteral("Соколова А.П.")));
    QVERIFY(choose(w->DisciplinePicker, QStringLiteral("История")));
    for (int i = 0; i < semesterUps; ++i) click(w->SemesterUpDown->upButton());

    const QString dump = statementOf(w, previews);
    const QStringList title = dump.split(u'\n').mid(0, 17);
    const QStringList expected{
        text(1, QStringLiteral("78.8,12.1 38.6x6.6"), QStringLiteral("\"Arial\" 12"),
             QStringLiteral("Филиал СГУ")),
        text(1, QStringLiteral("30.4,20.6 149.5x6.6"), QStringLiteral("\"Arial\" 12"),
             QStringLiteral(" ФГОУ ВПО \\\"Северный государственный университет\\\"")),
        text(1, QStringLiteral("54.5,43.9 104.8x6.6"),
             QStringLiteral("\"Times New Roman\" 16 bold"),
             QStringLiteral("Экзаменационная ведомость № ________")),
        text(1, QStringLiteral("11.6,54.5 20.6x5.8"), times14, years),
        // "2003/2004" runs 0.6 mm into "учебный год", which starts a blank after it.
        text(1, QStringLiteral("33.9,54.5 27.5x6.6"), times14, QStringLiteral("учебный год")),
        text(1, QStringLiteral("90.4,54.5 15.6x6.6"), times14, QStringLiteral("Группа")),
        text(1, QStringLiteral("109.5,54.5 20.1x6.1"), times14 + QStringLiteral(" bold"),
             QStringLiteral("ПИ-21")),
        text(1, QStringLiteral("10.0,65.0 23.8x6.6"), times14, QStringLiteral("факультет: ")),
        text(1, QStringLiteral("35.4,65.0 18.0x5.8"), times14, QStringLiteral("Информатики")),
        text(1, QStringLiteral("10.0,75.6 44.5x6.6"), times14,
             QStringLiteral("Название предмета : ")),
        text(1, QStringLiteral("56.6,75.6 18.3x5.8"), times14, QStringLiteral("История")),
        text(1, QStringLiteral("10.0,86.2 58.5x5.8"), times14,
             QStringLiteral("Предмет сдается в обьеме: ")),
        text(1, QStringLiteral("68.7,86.2 9.3x5.8"), times14 + QStringLiteral(" wrap"), semester),
        text(1, QStringLiteral("77.7,86.2 64.3x5.8"), times14,
             QStringLiteral("семестра,  в количестве часов")),
        text(1, QStringLiteral("10.0,96.8 30.2x5.8"), times14, QStringLiteral("Экзаменатор: ")),
        text(1, QStringLiteral("41.8,96.8 14.3x5.8"), times14, QStringLiteral("доцент")),
        text(1, QStringLiteral("41.8,103.1 8.5x5.8"), times14, QStringLiteral("Соколова А.П.")),
    };
    QCOMPARE(title, expected);
    QCOMPARE(messages.texts(), QStringList());
}

void TestExamStatement::tableHasARowPerStudent_data() {
    QTest::addColumn<QString>("faculty");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("headings");
    QTest::addColumn<QStringList>("firstRows");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("signatureLine");
    const QString heading = QStringLiteral("39.7x19.8 \"Arial\" 10 centred wrap \"ФАМИЛИЯ\"");
    const QString cell = QStringLiteral("39.7x10.8 \"Arial\" 12 wrap ");
    QTest::newRow("three students")
        << "Информатики"
        << "ПИ-21" << QStringList{QStringLiteral("page 1 text 10.0,129.3 ") + heading}
        << QStringList{QStringLiteral("page 1 text 10.0,149.1 ") + cell + "\"Петров\""} << 3
        << "page 1 text 105.2,197.8 26.5x4.5 \"Arial\" 10 \"Подпись декана\"";
    // No students: one row with empty cells, still under its headings.
    QTest::newRow("no students")
        << "Информатики"
        << "ПИ-22" << QStringList{QStringLiteral("page 1 text 10.0,129.3 ") + heading}
        << QStringList{QStringLiteral("page 1 text 10.0,149.1 ") + cell + "\"\""} << 1
        << "page 1 text 105.2,176.6 26.5x4.5 \"Arial\" 10 \"Подпись декана\"";
    // Thirteen rows fill the first page; the headings start the second again.
    QTest::newRow("two pages")
        << "Экономики"
        << "ФК-11"
        << QStringList{QStringLiteral("page 1 text 10.0,129.3 ") + heading,
                       QStringLiteral("page 2 text 10.0,10.0 ") + heading}
        << QStringList{QStringLiteral("page 1 text 10.0,149.1 ") + cell + "\"Орлов01\"",
                       QStringLiteral("page 2 text 10.0,29.8 ") + cell + "\"Орлов14\""}
        << ReportsFixture::LongGroupSize
        << "page 2 text 105.2,120.9 26.5x4.5 \"Arial\" 10 \"Подпись декана\"";
}

void TestExamStatement::tableHasARowPerStudent() {
    QFETCH(QString, faculty);
    QFETCH(QString, group);
    QFETCH(QStringList, headings);
    QFETCH(QStringList, firstRows);
    QFETCH(int, rows);
    QFETCH(QString, signatureLine);
    ReportsFixture f;
    report::PreviewRecorder previews;
    Tf_otchet* w = openOnGroup(f, faculty, group);
    QVERIFY(w);
    const QString dump = statementOf(w, previews);
    QCOMPARE(int(previews.previews().back().pages.size()), int(headings.size()));
    QCOMPARE(linesWith(dump, surnameHeading), headings);
    const QStringList cells = linesWith(dump, surnameCell);
    QCOMPARE(cells.size(), rows);
    QStringList firsts;
    for (int page = 1; page <= int(headings.size()); ++page)
        firsts << linesWith(dump, QStringLiteral("page %1 text").arg(page))
                      .filter(surnameCell)
                      .value(0);
    QCOMPARE(firsts, firstRows);
    QCOMPARE(linesWith(dump, signature), QStringList{signatureLine});
    // Every row carries the student's first name and record-book number beside the surname.
    QCOMPARE(linesWith(dump, QStringLiteral(" 26.5x10.")).size(), rows);
    QCOMPARE(linesWith(dump, QStringLiteral(" 21.2x10.6 ")).size(), rows);
}

void TestExamStatement::examinerIsTheOneChosenInTheWindow_data() {
    QTest::addColumn<QString>("examiner");
    QTest::addColumn<bool>("chosenFirst");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QString>("position");
    // Choosing the faculty and the group moves the teachers to the dean, then
    // the curator (Ким), while the educational-process window is open.
    QTest::newRow("chosen before the group") << "Лебедев И.И." << true << "Лебедев И.И."
                                             << "старший преподаватель";
    QTest::newRow("chosen after the group") << "Соколова А.П." << false << "Соколова А.П."
                                            << "доцент";
    // The curator is the current teacher then; the statement names nobody.
    QTest::newRow("none chosen: the places stay empty") << "" << false << ""
                                                        << "";
}

void TestExamStatement::examinerIsTheOneChosenInTheWindow() {
    QFETCH(QString, examiner);
    QFETCH(bool, chosenFirst);
    QFETCH(QString, printed);
    QFETCH(QString, position);
    ReportsFixture f;
    platform::MessageRecorder messages;
    report::PreviewRecorder previews;
    QVERIFY(f.openStudyWindow());
    Tf_otchet* w = f.openSelection();
    QVERIFY(w);
    w->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);
    if (chosenFirst) QVERIFY(choose(w->ExaminerPicker, examiner));
    QVERIFY(choose(w->FacultyPicker, QStringLiteral("Экономики")));
    QVERIFY(choose(w->GroupPicker, QStringLiteral("ФК-11")));
    QCOMPARE(DM->Q_PrepodFIO->asString(), QStringLiteral("Ким О.И."));
    if (!chosenFirst && !examiner.isEmpty()) QVERIFY(choose(w->ExaminerPicker, examiner));
    if (!examiner.isEmpty()) QCOMPARE(w->ExaminerPicker->displayText(), examiner);
    const QString current = DM->Q_PrepodFIO->asString();

    const QString dump = statementOf(w, previews);
    QCOMPARE(linesWith(dump, QStringLiteral(" 8.5x5.8 ")),
             QStringList{text(1, QStringLiteral("41.8,103.1 8.5x5.8"), times14, printed)});
    QCOMPARE(linesWith(dump, QStringLiteral(" 14.3x5.8 ")),
             QStringList{text(1, QStringLiteral("41.8,96.8 14.3x5.8"), times14, position)});
    // Printing moved no teacher.
    QCOMPARE(DM->Q_PrepodFIO->asString(), current);
    QCOMPARE(messages.texts(), QStringList());
}

void TestExamStatement::aPreviewKeepsItsRequest() {
    ReportsFixture f;
    report::PreviewRecorder previews;
    Tf_otchet* w = openOnGroup(f, QStringLiteral("Информатики"), QStringLiteral("ПИ-21"));
    QVERIFY(w);
    QVERIFY(choose(w->DisciplinePicker, QStringLiteral("История")));
    QVERIFY(choose(w->ExaminerPicker, QStringLiteral("Соколова А.П.")));
    // The document as the preview keeps it: print and save produce it again.
    const auto first = documents::statement(w->statementRequest());
    const QString shown = report::dump(first->produce());
    QCOMPARE(linesWith(shown, QStringLiteral("\"Петров\"")).size(), 1);

    // Meanwhile the same window asks for another group's statement with other
    // choices, and other windows move the shared rows.
    click(w->SemesterUpDown->upButton());
    click(w->YearUpDown->upButton());
    QVERIFY(choose(w->ExaminerPicker, QStringLiteral("Лебедев И.И.")));
    QVERIFY(choose(w->DisciplinePicker, QStringLiteral("Физика")));
    QVERIFY(choose(w->FacultyPicker, QStringLiteral("Экономики")));
    QVERIFY(choose(w->GroupPicker, QStringLiteral("ФК-11")));
    const QString second = statementOf(w, previews);
    QCOMPARE(linesWith(second, QStringLiteral("\"Орлов01\"")).size(), 1);
    DM->Q_Prepod->last();
    DM->T_Disciplins->first();

    QCOMPARE(report::dump(first->produce()), shown);
}

void TestExamStatement::titleNamesWhatWasAskedWhateverIsCurrent_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("another faculty chosen after the statement was asked for") << "faculty";
    QTest::newRow("another group made current elsewhere") << "curator";
    QTest::newRow("another discipline chosen on the sheet's page") << "sheet";
}

void TestExamStatement::titleNamesWhatWasAskedWhateverIsCurrent() {
    QFETCH(QString, path);
    ReportsFixture f;
    report::PreviewRecorder previews;
    Tf_otchet* w = openOnGroup(f, QStringLiteral("Информатики"), QStringLiteral("ПИ-21"));
    QVERIFY(w);
    QVERIFY(choose(w->DisciplinePicker, QStringLiteral("История")));
    if (path == QLatin1String("faculty")) {
        // A first statement, then another faculty empties the group picker.
        QVERIFY(statementOf(w, previews) != QLatin1String("(no preview)"));
        QVERIFY(choose(w->FacultyPicker, QStringLiteral("Экономики")));
        QVERIFY(!w->ReportButton->isEnabled());
        QVERIFY(choose(w->FacultyPicker, QStringLiteral("Информатики")));
    } else if (path == QLatin1String("curator")) {
        // Another window (the teacher window's curated group) makes another group current.
        QVERIFY(DM->T_Gruppa->locate(QStringLiteral("Nazvanie"), QStringLiteral("ПИ-22")));
        QVERIFY(w->ReportButton->isEnabled());
    } else {
        w->PageControl1->setCurrentIndex(Tf_otchet::SheetIndex);
        QVERIFY(choose(w->SheetDisciplinePicker, QStringLiteral("Физика")));
        w->PageControl1->setCurrentIndex(Tf_otchet::StatementIndex);
    }
    const QString dump = statementOf(w, previews);
    QCOMPARE(linesWith(dump, QStringLiteral("\"ПИ-21\"")).size(), 1);
    QCOMPARE(linesWith(dump, QStringLiteral("\"Информатики\"")).size(), 1);
    QCOMPARE(linesWith(dump, QStringLiteral("\"История\"")).size(), 1);
    QCOMPARE(linesWith(dump, QStringLiteral("\"Петров\"")).size(), 1);
    for (const char* other : {"\"ФК-11\"", "\"Экономики\"", "\"Физика\""})
        QCOMPARE(linesWith(dump, QString::fromUtf8(other)), QStringList());
}

void TestExamStatement::nothingChosenPrintsEmptyPlaces() {
    ReportsFixture f;
    report::PreviewRecorder previews;
    // A fresh window: only the group chosen; the shared discipline and teacher rows are current.
    Tf_otchet* w = openOnGroup(f, QStringLiteral("Информатики"), QStringLiteral("ПИ-21"));
    QVERIFY(w);
    QVERIFY(DM->T_Disciplins->recNo() >= 0 && DM->Q_Prepod->recNo() >= 0);
    const QString dump = statementOf(w, previews);
    for (const char* place : {" 18.3x5.8 ", " 14.3x5.8 ", " 8.5x5.8 "}) {
        const QStringList lines = linesWith(dump, QString::fromUtf8(place));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.front().endsWith(QLatin1String(" \"\"")), qPrintable(lines.front()));
    }
}

void TestExamStatement::theSignatureStaysWithTheLastStudent_data() {
    QTest::addColumn<int>("students");
    QTest::addColumn<int>("pages");
    // 13 rows fill the first page; the signature fits after 9. 34 to 37 reach a second
    // page's foot the same way.
    QTest::newRow("3: one page") << 3 << 1;
    QTest::newRow("12: the last student moves with the signature") << 12 << 2;
    QTest::newRow("36: the last student moves with the signature") << 36 << 3;
}

void TestExamStatement::theSignatureStaysWithTheLastStudent() {
    QFETCH(int, students);
    QFETCH(int, pages);
    ReportsFixture f;
    for (int i = 4; i <= students; ++i)
        f.exec(QStringLiteral("INSERT INTO Studenti (N_student, Fam, Name, ID_group) SELECT "
                              "'10000%1', 'Добавлен%1', 'Имя', ID_GRoup FROM Gruppa WHERE "
                              "Nazvanie = 'ПИ-21'")
                   .arg(i, 2, 10, QLatin1Char('0')));
    report::PreviewRecorder previews;
    Tf_otchet* w = openOnGroup(f, QStringLiteral("Информатики"), QStringLiteral("ПИ-21"));
    QVERIFY(w);
    click(w->ReportButton);
    QCOMPARE(previews.previews().size(), size_t(1));
    const report::PageList& list = previews.previews().front();
    QCOMPARE(int(list.pages.size()), pages);
    const QString dump = report::dump(list);
    QCOMPARE(linesWith(dump, surnameCell).size(), students);
    const QStringList signatures = linesWith(dump, signature);
    QCOMPARE(signatures.size(), 1);
    // The signature's page holds the last student's row, under its headings.
    const QString last = QStringLiteral("page %1 text").arg(pages);
    QVERIFY(signatures.front().startsWith(last));
    QVERIFY(!linesWith(dump, last).filter(surnameCell).isEmpty());
    QVERIFY(!linesWith(dump, last).filter(surnameHeading).isEmpty());
}

void TestExamStatement::longValuesPrintWholeInsideTheMargin() {
    ReportsFixture f;
    report::PreviewRecorder previews;
    // A 100-character discipline, a 42-character group and a 60-character teacher's name.
    const QString discipline = QStringLiteral(
        "Методы математического моделирования и оптимизации сложных технических систем "
        "управления, 2-й курс П");
    const QString group = QStringLiteral("ПИ-21-ЗАОЧНОЕ-УСКОРЕННОЕ-ВТОРОЕ-ВЫСШЕЕ-ОБР");
    const QString surname = QStringLiteral(
        "Римская-Корсакова-Голенищева-Кутузова-Оболенская-Трубец");
    QCOMPARE(discipline.size(), 100);
    QCOMPARE(group.size(), 42);
    QVERIFY(DM->T_Disciplins->locate(QStringLiteral("NameDis"), QStringLiteral("История")));
    DM->T_Disciplins->edit();
    DM->T_DisciplinsNameDis->setValue(discipline);
    DM->T_Disciplins->post();
    QVERIFY(DM->Q_Prepod->locate(QStringLiteral("ID_Prepod"), 3));
    DM->Q_Prepod->edit();
    DM->Q_PrepodDSDesigner->setValue(surname);
    DM->Q_Prepod->post();
    const QString examiner = surname + QStringLiteral(" А.П.");
    QCOMPARE(examiner.size(), 60);
    Tf_otchet* w = openOnGroup(f, QStringLiteral("Информатики"), QStringLiteral("ПИ-21"));
    QVERIFY(w);
    QVERIFY(DM->T_Gruppa->locate(QStringLiteral("Nazvanie"), QStringLiteral("ПИ-21")));
    DM->T_Gruppa->edit();
    DM->T_GruppaNazvanie->setValue(group);
    DM->T_Gruppa->post();
    QCOMPARE(w->GroupPicker->displayText(), group);
    QVERIFY(choose(w->DisciplinePicker, discipline));
    QVERIFY(choose(w->ExaminerPicker, examiner));
    f.exec(QStringLiteral("UPDATE Studenti SET Fam = 'Голенищева-Кутузова-Оболенская' "
                          "WHERE Fam = 'Петров'"));

    click(w->ReportButton);
    QCOMPARE(previews.previews().size(), size_t(1));
    const report::PageList& pages = previews.previews().front();
    QStringList printed;
    for (const report::Page& page : pages.pages)
        for (const report::Item& item : page.items) {
            const auto* t = std::get_if<report::TextItem>(&item);
            if (!t) continue;
            printed << QString(t->text).remove(QChar::LineSeparator);
            // Every line of every text ends inside the right margin.
            for (const QString& line : t->text.split(QChar::LineSeparator))
                QVERIFY2(t->box.left() + report::textWidth(t->font, line) <= 200.01,
                         qPrintable(line));
            QVERIFY(t->font.points >= 7);
        }
    for (const QString& whole : {discipline, group, examiner, QStringLiteral("Голенищева-Кутузова-Оболенская")})
        QVERIFY2(printed.contains(whole), qPrintable(whole));

    // The text file keeps every word of the heading and of the table, none cut.
    const QString text = QString::fromUtf8(F_Report->textFilter.write(pages));
    for (const QString& word : discipline.split(u' '))
        QVERIFY2(text.contains(word), qPrintable(word));
    for (const char* word : {"Оценка", "Подпись", "Кутузова-Оболенская", "Экзаменационная"})
        QVERIFY2(text.contains(QString::fromUtf8(word)), word);
    QVERIFY(text.contains(group));
    QVERIFY(text.contains(examiner));
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestExamStatement test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exam_statement.moc"
