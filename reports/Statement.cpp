// The exam statement of one group: the title block, a table of the group's
// students (headings at the top of the table and of every following page),
// and the dean's signature line once, on the page of the last student. Every
// value of the title block comes from the request.
#include <QString>

#include "DM_Tessaly.h"
#include "Documents.h"
#include "References.h"
#include "Report.h"

namespace documents {

using report::Align;
using report::Band;
using report::BandKind;
using report::Element;
using report::Frame;
using report::Layout;
using report::Side;

namespace {

const QString yearLabel = QStringLiteral("YearLabel");
const QString semesterLabel = QStringLiteral("SemesterLabel");
const QString examinerPosition = QStringLiteral("ExaminerPosition");
const QString examinerName = QStringLiteral("ExaminerName");
const QString groupName = QStringLiteral("GroupName");
const QString facultyName = QStringLiteral("FacultyName");
const QString disciplineName = QStringLiteral("DisciplineName");

void buildTitle(Layout& l) {
    Band& b = l.addBand(BandKind::Title, 119.3);
    put(b, l.label(TF_Report::branchName(), 68.8, 2.1, 38.6, 6.6)).font = arial(12);
    put(b, l.label(QStringLiteral(" ФГОУ ВПО \"%1\"").arg(TF_Report::institutionName()), 20.4, 10.6,
                   149.5, 6.6))
        .font = arial(12);
    put(b, l.label(QStringLiteral("Экзаменационная ведомость № ") + QString(8, u'_'), 44.5, 33.9,
                   104.8, 6.6))
        .font = times(16, true);
    hooked(b, l, yearLabel, 1.6, 44.5, 20.6, 5.8).font = times(14);
    put(b, l.label(QStringLiteral("учебный год"), 23.3, 44.5, 27.5, 6.6)).font = times(14);
    put(b, l.label(QStringLiteral("Группа"), 80.4, 44.5, 15.6, 6.6)).font = times(14);
    // The group, its faculty and the discipline the request names, filled by the hook.
    hooked(b, l, groupName, 99.5, 44.5, 20.1, 6.1).font = times(14, true);
    put(b, l.label(QStringLiteral("факультет: "), 0, 55.0, 23.8, 6.6)).font = times(14);
    hooked(b, l, facultyName, 25.4, 55.0, 18.0, 5.8).font = times(14);
    put(b, l.label(QStringLiteral("Название предмета : "), 0, 65.6, 44.5, 6.6)).font = times(14);
    hooked(b, l, disciplineName, 46.6, 65.6, 18.3, 5.8).font = times(14);
    put(b, l.label(QStringLiteral("Предмет сдается в обьеме: "), 0, 76.2, 58.5, 5.8)).font =
        times(14);
    Element& semester = hooked(b, l, semesterLabel, 58.7, 76.2, 9.3, 5.8);
    semester.font = times(14);
    semester.autoWidth = false;
    put(b, l.label(QStringLiteral("семестра,  в количестве часов"), 67.7, 76.2, 64.3, 5.8)).font =
        times(14);
    put(b, l.label(QStringLiteral("Экзаменатор: "), 0, 86.8, 30.2, 5.8)).font = times(14);
    // The chosen examiner's own position and short name, filled by the hook.
    hooked(b, l, examinerPosition, 31.8, 86.8, 14.3, 5.8).font = times(14);
    hooked(b, l, examinerName, 31.8, 93.1, 8.5, 5.8).font = times(14);
}

// A fixed box with word wrap: every cell of the table's heading and rows.
Element& cell(Band& b, Element e, const report::Font& f, report::Sides frame,
              Align align = Align::Left) {
    Element& c = put(b, std::move(e));
    c.autoWidth = false;
    c.font = f;
    c.align = align;
    c.frame.sides = frame;
    return c;
}

void buildHeading(Layout& l) {
    Band& b = l.addBand(BandKind::Heading, 19.8, Frame{Side::Left | Side::Right});
    const report::Font a10 = arial(10);
    const report::Font ms10 = font(QStringLiteral("MS Sans Serif"), 10);
    const auto topRight = Side::Top | Side::Right;
    const report::Sides right = Side::Right;
    cell(b, l.label(QStringLiteral("ФАМИЛИЯ"), 0, 0, 39.7, 19.8), a10, topRight, Align::Center);
    cell(b, l.label(QStringLiteral("Имя"), 39.7, 0, 26.5, 19.8), a10, topRight, Align::Center);
    cell(b, l.label(QStringLiteral("№ зач книжки"), 66.1, 0, 21.2, 19.8), a10, topRight);
    cell(b, l.label(QStringLiteral("ЗАЧЕТ"), 87.3, 0, 43.9, 6.3), a10, Side::Top | Side::Bottom,
         Align::Center);
    cell(b, l.label(QStringLiteral("ЭКЗАМЕН"), 131.2, 0, 58.2, 6.3), a10,
         Side::Top | Side::Bottom | Side::Left, Align::Center);
    const QString date = QStringLiteral("Дата сдачи");
    const QString grade = QStringLiteral("Оценка");
    const QString signature = QStringLiteral("Подпись");
    cell(b, l.label(date, 87.3, 6.6, 14.6, 13.2), ms10, right);
    cell(b, l.label(grade, 101.9, 6.6, 13.2, 13.2), ms10, right);
    cell(b, l.label(signature, 115.1, 6.6, 16.1, 13.2), ms10, right);
    cell(b, l.label(date, 131.2, 6.6, 17.2, 13.2), ms10, right);
    cell(b, l.label(grade, 148.7, 6.6, 15.9, 13.2), ms10, right);
    cell(b, l.label(signature, 165.1, 6.6, 23.8, 13.2), ms10, {});
}

void buildRow(Layout& l) {
    Band& b = l.addBand(BandKind::Row, 10.6, Frame{report::AllSides});
    const report::Font a12 = arial(12);
    const report::Font a10 = arial(10);
    const report::Sides right = Side::Right;
    const QString students = QStringLiteral("Q_Report");
    cell(b, l.data(students, QStringLiteral("Fam"), 0, 0, 39.7, 10.8), a12, right);
    cell(b, l.data(students, QStringLiteral("Name"), 39.7, 0, 26.5, 10.8), a12, right);
    cell(b, l.data(students, QStringLiteral("N_student"), 66.1, 0, 21.2, 10.6), a12, right);
    // The credit's and the examination's date, grade and signature, written in by hand.
    const QString blank = QStringLiteral(" ");
    cell(b, l.label(blank, 87.3, 0, 14.6, 10.6), a10, right);
    cell(b, l.label(blank, 101.9, 0, 13.2, 10.6), a10, right);
    cell(b, l.label(blank, 115.1, 0, 16.1, 10.6), a10, right);
    cell(b, l.label(blank, 131.2, 0, 17.2, 10.6), a10, right);
    cell(b, l.label(blank, 148.4, 0, 15.9, 10.6), a10, right);
    cell(b, l.label(blank, 165.1, 0, 23.5, 10.6), a10, {});
}

void buildClosing(Layout& l) {
    Band& b = l.addBand(BandKind::Closing, 35.2, Frame{Side::Bottom});
    put(b, l.label(QString(12, u'_'), 95.2, 10.6, 21.2, 4.5));
    put(b, l.label(QStringLiteral("Подпись декана"), 95.2, 16.9, 26.5, 4.5));
}

}  // namespace

Layout statementLayout() {
    Layout l;
    l.master = QStringLiteral("Q_Report");
    l.groupMode = report::GroupMode::Table;
    buildTitle(l);
    buildHeading(l);
    buildRow(l);
    buildClosing(l);
    return l;
}

void attachStatementHook(Layout& layout, const StatementRequest& request) {
    layout.beforePrint = [request](Layout& l) {
        setText(l, semesterLabel, request.semester);
        setText(l, yearLabel, request.year + u'/' + request.followingYear);
        const Placement placement = groupPlacement(request.group);
        setText(l, groupName, placement.group);
        setText(l, facultyName, placement.faculty);
        setText(l, disciplineName,
                DM ? shown(DM->T_Disciplins, QStringLiteral("Ndis"), request.discipline,
                           QStringLiteral("NameDis"))
                   : QString());
        const Teacher examiner = teacher(request.examiner);
        setText(l, examinerPosition, examiner.position);
        setText(l, examinerName, examiner.shortName);
    };
}

}  // namespace documents
