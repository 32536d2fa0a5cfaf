// The four printed documents as layouts of the report engine, the requests
// they are printed for, and what their hooks look up in the shared datasets.
//
// A document prints what its request names and nothing else: every value is
// looked up by the request's keys, through the looked-up dataset's key index
// over all its rows, and no current row is read or moved. So moving a row in
// any window, or choosing again in the window that asked, changes neither a
// preview that is open nor what it prints or saves later. The program's
// windows and `tessaly-db print` make their pages through the same calls.
#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <memory>

#include "Layout.h"
#include "Pages.h"
#include "Production.h"

class Dataset;
class Query;

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

// ---- requests: the choices a document is printed for, taken when it is asked for

// The exam statement of a group. A null key is a place left unchosen, which
// prints empty.
struct StatementRequest {
    QVariant group;       // ID_GRoup
    QVariant discipline;  // Ndis
    QVariant examiner;    // ID_Prepod
    QString semester;     // as typed in the window
    QString year, followingYear;
};

// The exam or credit sheet of a student.
struct SheetRequest {
    QVariant student;     // N_student
    QVariant discipline;  // Ndis
    QVariant examiner;    // ID_Prepod
    QString kind;         // "Экзаменационный лист" or "Зачетный лист"
    int semester = 0;     // whose plan hours print; 0: none asked for
};

// A document made from a request: its layout with the hook bound to the
// request, and the datasets it reads, its own student query among them. It is
// produced again, from the same request, for print and export.
class Document {
public:
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    report::Layout layout;
    report::DatasetResolver datasets;

    report::PageList produce(const QDate& today = QDate::currentDate());

private:
    friend std::unique_ptr<Document> statement(const StatementRequest&);
    std::unique_ptr<Query> m_students;
};

// Each fails with DataError when the data module is not open.
std::unique_ptr<Document> statement(const StatementRequest& request);
std::unique_ptr<Document> examSheet(const SheetRequest& request);
std::unique_ptr<Document> studentCard(const QVariant& student);  // N_student
std::unique_ptr<Document> teacherCard(const QVariant& teacher);  // ID_Prepod

// The layouts' definitions without their hooks (the statement's and the
// sheet's rows and values come from a request).
report::Layout statementLayout();
report::Layout examSheetLayout();
report::Layout studentCardLayout();
report::Layout teacherCardLayout();

// The hooks that fill a layout from its request, every time it is produced.
void attachStatementHook(report::Layout& layout, const StatementRequest& request);
void attachExamSheetHook(report::Layout& layout, const SheetRequest& request);
void attachStudentCardHook(report::Layout& layout, const QVariant& student);
void attachTeacherCardHook(report::Layout& layout, const QVariant& teacher);

// ---- look-ups by key; empty texts for an empty key or a row that is not there

// The display text of a field of the dataset's row whose key field holds the value.
QString shown(Dataset* dataset, const QString& keyField, const QVariant& key,
              const QString& field);

struct Teacher {
    QString shortName, surname, name, position;
};
// The teacher with this ID_Prepod; the short name with the whole surname.
Teacher teacher(const QVariant& key);

struct Placement {
    QString specialty, faculty, group, dean;
};
// Where the group with this ID_GRoup belongs: its name, its specialty's and
// faculty's names, the faculty's dean's short name.
Placement groupPlacement(const QVariant& group);
// The same for the student with this N_student.
Placement studentPlacement(const QVariant& student);

// The student's surname whole with the initials ("Голенищева-Кутузова А.В."):
// a printed paper does not cut the name as the short name on screen does.
QString studentFullShortName(const QVariant& student);

// Lecture plus practice hours of the specialty's plan row for the discipline
// in the semester, as text. With no semester asked for, those of the only row
// for the discipline; empty when it is taught in several semesters. "0" where
// there is no such row.
QString planHours(const QVariant& specialty, const QVariant& discipline, int semester);

}  // namespace documents
