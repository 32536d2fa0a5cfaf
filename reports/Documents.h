// The four printed documents as layouts of the report engine, their
// before-print hooks, and what those hooks look up in the shared datasets.
// Every look-up searches all rows of a dataset and moves no current row, so
// printing never changes what a window shows.
#pragma once

#include <QString>
#include <QVariant>

#include "Layout.h"

class ReportRequester;

namespace documents {

// Builders shared by the layouts.
report::Font font(const QString& family, double points, bool bold = false);
report::Font arial(double points, bool bold = false);
report::Font times(double points, bool bold = false);
// Appends an element to a band and returns it for the settings that follow;
// the reference is good until the band's next element.
report::Element& put(report::Band& band, report::Element element);
// A label element a hook fills, found by its name.
report::Element& hooked(report::Band& band, const report::Layout& layout, const QString& name,
                        double left, double top, double width, double height);
// The named element's text; a layout without it is a programming error.
void setText(report::Layout& layout, const QString& name, const QString& text);

// The exam statement of the group in Q_Report: the title block, then a table
// of one row per student whose headings repeat at the top of each page, then
// the dean's signature once. The hook fills the academic year, the semester
// and the examiner from the requester.
report::Layout statement();
void attachStatementHook(report::Layout& layout, const ReportRequester& requester);

// The exam or credit sheet of the current student for the current discipline.
// The hook fills the title and the return notice from the chosen kind, the
// hours from the plan, the examiner, and the student's faculty, group and dean.
report::Layout examSheet();
void attachExamSheetHook(report::Layout& layout, const ReportRequester& requester);

// The cards of the current student and the current teacher, with the photo
// from the photo store; an unreadable photo fails with the loader's message.
report::Layout studentCard();
report::Layout teacherCard();

// ---- look-ups

struct Teacher {
    QString shortName, surname, name, position;
};
// The teacher with this ID_Prepod; with a null key, the current teacher.
Teacher teacher(const QVariant& key);

struct Placement {
    QString specialty, faculty, group, dean;
};
// Where the current student studies: the names of the student's specialty,
// faculty and group, and the short name of the faculty's dean.
Placement currentStudentPlacement();

// The name of the group with this ID_GRoup, empty when there is none.
QString groupName(const QVariant& key);

// Lecture plus practice hours of the specialty's plan row for the discipline,
// the earliest semester's where there are several; 0 where there is none.
int planHours(const QVariant& specialty, const QVariant& discipline);

}  // namespace documents
