// The exam sheet and the credit sheet: one layout, one page, its kind written
// into the title and the return notice by the hook.
#include <QString>

#include "DM_Tessaly.h"
#include "Documents.h"
#include "References.h"
#include "Report.h"

namespace documents {

using report::Band;
using report::BandKind;
using report::Layout;
using report::Side;

namespace {

const QString sheetTitle = QStringLiteral("SheetTitle");
const QString hoursLabel = QStringLiteral("HoursLabel");
const QString examinerSurname = QStringLiteral("ExaminerSurname");
const QString examinerName = QStringLiteral("ExaminerName");
const QString studentFaculty = QStringLiteral("StudentFaculty");
const QString studentGroup = QStringLiteral("StudentGroup");
const QString deanName = QStringLiteral("DeanName");
const QString returnNotice = QStringLiteral("ReturnNotice");

}  // namespace

Layout examSheet() {
    Layout l;
    Band& b = l.addBand(BandKind::Title, 134.1);
    const QString students = QStringLiteral("Q_Studenti");
    auto& institution =
        put(b, l.label(u'"' + TF_Report::institutionName() + u'"', 33.1, 2.1, 125.4, 6.6));
    institution.font = times(12, true);
    institution.frame = report::Frame{Side::Bottom, 2.0};
    hooked(b, l, sheetTitle, 52.9, 10.6, 94.5, 7.4).font = arial(16, true);
    put(b,
        l.label(QStringLiteral("(подшивается к основной ведомости группы)"), 57.1, 16.9, 67.7, 4.5))
        .font = arial(9);
    put(b, l.label(QStringLiteral("Название предмета - "), 0, 27.5, 34.7, 4.5));
    put(b, l.data(QStringLiteral("T_Disciplins"), QStringLiteral("NameDis"), 40.2, 27.5, 14.3, 4.5))
        .frame.sides = Side::Bottom;
    put(b, l.label(QStringLiteral("предмет сдается в обьеме, пройденном за ___ семестр в "
                                  "количестве "),
                   0, 36.0, 112.2, 4.5));
    hooked(b, l, hoursLabel, 114.3, 36.0, 17.2, 4.5);
    put(b, l.label(QStringLiteral("Экзаменатор (ученое звание, фамилия и инициалы)"), 0, 44.5, 82.3,
                   4.5));
    hooked(b, l, examinerSurname, 84.7, 44.5, 14.8, 4.5);
    hooked(b, l, examinerName, 114.3, 44.5, 6.9, 4.5);
    put(b, l.label(QStringLiteral("Фамилия И. О. студента"), 0, 57.7, 39.2, 4.5));
    put(b, l.data(students, QStringLiteral("FIO"), 42.3, 57.1, 5.8, 4.5));
    put(b, l.label(QStringLiteral("№ Зачетной книжки"), 0, 66.1, 31.8, 4.5));
    put(b, l.data(students, QStringLiteral("N_student"), 36.0, 65.6, 15.9, 4.5));
    put(b, l.label(QStringLiteral("Факультет"), 0, 74.6, 16.7, 4.5));
    // A faculty's full name runs long: it wraps onto a second line in the place
    // before "Группа" instead of running under the group.
    report::Element& faculty = hooked(b, l, studentFaculty, 21.2, 74.1, 44.0, 9.0);
    faculty.autoWidth = false;
    put(b, l.label(QStringLiteral("Группа"), 65.6, 74.6, 11.4, 4.5));
    hooked(b, l, studentGroup, 84.7, 74.1, 9.5, 4.5);
    put(b, l.label(QStringLiteral("Направление действительно в течении"), 0, 85.2, 61.9, 4.5));
    put(b, l.label(QStringLiteral("Декан Факультета"), 50.8, 95.8, 29.1, 4.5));
    hooked(b, l, deanName, 82.6, 95.2, 0.3, 4.5);
    put(b, l.label(QStringLiteral("Дата выдачи"), 50.8, 102.1, 20.6, 4.5));
    put(b, l.date(74.1, 102.1, 9.5, 4.5));
    put(b, l.label(QStringLiteral("Оценка ") + QString(9, u'_') + QStringLiteral("  Дата сдачи ") +
                       QString(16, u'_'),
                   50.8, 108.5, 80.4, 4.5));
    put(b, l.label(QStringLiteral("Подпись экзаменатора ") + QString(23, u'_'), 50.8, 114.8, 80.4,
                   4.5));
    hooked(b, l, returnNotice, 40.2, 119.1, 99.0, 4.5).font = arial(8);
    return l;
}

void attachExamSheetHook(Layout& layout, const ReportRequester& requester) {
    layout.beforePrint = [&requester](Layout& l) {
        // The hours of the printed student's specialty for the printed discipline.
        const QVariant specialty = DM && DM->Q_Studenti->isActive() && DM->Q_Studenti->recNo() >= 0
                                       ? DM->Q_StudentiID_Spec->value()
                                       : QVariant();
        const QVariant discipline =
            DM && DM->T_Disciplins->isActive() && DM->T_Disciplins->recNo() >= 0
                ? DM->T_DisciplinsNdis->value()
                : QVariant();
        setText(l, hoursLabel, QString::number(planHours(specialty, discipline)));
        const QString kind = requester.sheetKindText();
        setText(l, sheetTitle, kind + QStringLiteral("  #______"));
        setText(l, returnNotice,
                kind + QStringLiteral(
                           " возвращается преподавателем в деканат немедленно после окончания"));
        const Teacher examiner = teacher(requester.sheetExaminerKey());
        setText(l, examinerSurname, examiner.surname);
        setText(l, examinerName, examiner.name);
        const Placement placement = currentStudentPlacement();
        setText(l, studentFaculty, placement.faculty);
        setText(l, studentGroup, placement.group);
        setText(l, deanName, placement.dean);
    };
}

}  // namespace documents
