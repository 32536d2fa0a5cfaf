// The exam sheet and the credit sheet: one layout, one page, its kind written
// into the title and the return notice by the hook.
#include <QString>

#include "DM_Tessaly.h"
#include "Dataset.h"
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
const QString disciplineName = QStringLiteral("DisciplineName");
const QString studentName = QStringLiteral("StudentName");
const QString studentNumber = QStringLiteral("StudentNumber");

}  // namespace

Layout examSheetLayout() {
    Layout l;
    Band& b = l.addBand(BandKind::Title, 134.1);
    auto& institution =
        put(b, l.label(u'"' + TF_Report::institutionName() + u'"', 33.1, 2.1, 125.4, 6.6));
    institution.font = times(12, true);
    institution.frame = report::Frame{Side::Bottom, 2.0};
    hooked(b, l, sheetTitle, 52.9, 10.6, 94.5, 7.4).font = arial(16, true);
    put(b,
        l.label(QStringLiteral("(подшивается к основной ведомости группы)"), 57.1, 16.9, 67.7, 4.5))
        .font = arial(9);
    put(b, l.label(QStringLiteral("Название предмета - "), 0, 27.5, 34.7, 4.5));
    hooked(b, l, disciplineName, 40.2, 27.5, 14.3, 4.5).frame.sides = Side::Bottom;
    put(b, l.label(QStringLiteral("предмет сдается в обьеме, пройденном за ___ семестр в "
                                  "количестве "),
                   0, 36.0, 112.2, 4.5));
    hooked(b, l, hoursLabel, 114.3, 36.0, 17.2, 4.5);
    put(b, l.label(QStringLiteral("Экзаменатор (ученое звание, фамилия и инициалы)"), 0, 44.5, 82.3,
                   4.5));
    hooked(b, l, examinerSurname, 84.7, 44.5, 14.8, 4.5);
    hooked(b, l, examinerName, 114.3, 44.5, 6.9, 4.5);
    put(b, l.label(QStringLiteral("Фамилия И. О. студента"), 0, 57.7, 39.2, 4.5));
    hooked(b, l, studentName, 42.3, 57.1, 5.8, 4.5);
    put(b, l.label(QStringLiteral("№ Зачетной книжки"), 0, 66.1, 31.8, 4.5));
    hooked(b, l, studentNumber, 36.0, 65.6, 15.9, 4.5);
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

void attachExamSheetHook(Layout& layout, const SheetRequest& request) {
    layout.beforePrint = [request](Layout& l) {
        const QString student = QStringLiteral("N_student");
        Dataset* students = DM ? DM->Q_Studenti : nullptr;
        // The hours of the student's specialty for the discipline in the semester asked for.
        const QVariant specialty =
            students && students->isActive() && !request.student.toString().isEmpty()
                ? students->lookup(student, request.student, QStringLiteral("ID_Spec"))
                : QVariant();
        setText(l, hoursLabel, planHours(specialty, request.discipline, request.semester));
        setText(l, sheetTitle, request.kind + QStringLiteral("  #______"));
        setText(l, returnNotice,
                request.kind + QStringLiteral(
                                   " возвращается преподавателем в деканат немедленно после окончания"));
        setText(l, disciplineName,
                DM ? shown(DM->T_Disciplins, QStringLiteral("Ndis"), request.discipline,
                           QStringLiteral("NameDis"))
                   : QString());
        const Teacher examiner = teacher(request.examiner);
        setText(l, examinerSurname, examiner.surname);
        setText(l, examinerName, examiner.name);
        setText(l, studentName, studentFullShortName(request.student));
        setText(l, studentNumber, shown(students, student, request.student, student));
        const Placement placement = studentPlacement(request.student);
        setText(l, studentFaculty, placement.faculty);
        setText(l, studentGroup, placement.group);
        setText(l, deanName, placement.dean);
    };
}

}  // namespace documents
