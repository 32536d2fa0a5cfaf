// The layouts' builders, the documents made from requests, and the hooks'
// look-ups. A look-up goes through the looked-up dataset's key index
// (Dataset::lookup), whatever its view, and gives nothing for an empty key or
// a closed dataset; only the plan's hours walk the plan query's rows, a few
// hundred at most.
#include "Documents.h"

#include <stdexcept>

#include "DM_Tessaly.h"
#include "DataError.h"
#include "Query.h"
#include "References.h"
#include "Report.h"

namespace documents {

report::Font font(const QString& family, double points, bool bold) {
    return report::Font{family, points, bold};
}

report::Font arial(double points, bool bold) {
    return font(QStringLiteral("Arial"), points, bold);
}

report::Font times(double points, bool bold) {
    return font(QStringLiteral("Times New Roman"), points, bold);
}

report::Element& put(report::Band& band, report::Element element) {
    band.elements.push_back(std::move(element));
    return band.elements.back();
}

report::Element& hooked(report::Band& band, const report::Layout& layout, const QString& name,
                        double left, double top, double width, double height) {
    report::Element& e = put(band, layout.label(QString(), left, top, width, height));
    e.name = name;
    return e;
}

void setText(report::Layout& layout, const QString& name, const QString& text) {
    report::Element* e = layout.element(name);
    if (!e) throw std::logic_error("the layout has no element " + name.toStdString());
    e->text = text;
}

// ---- documents

Document::Document() = default;
Document::~Document() = default;

report::PageList Document::produce(const QDate& today) {
    return report::producePages(layout, datasets, today);
}

namespace {

TDM& dataModule() {
    if (!DM) throw DataError(QStringLiteral("Модуль данных не открыт"));
    return *DM;
}

std::unique_ptr<Document> document(report::Layout layout) {
    dataModule();
    auto d = std::make_unique<Document>();
    d->layout = std::move(layout);
    d->datasets = &TF_Report::datasetNamed;
    return d;
}

}  // namespace

std::unique_ptr<Document> statement(const StatementRequest& request) {
    TDM& dm = dataModule();
    std::unique_ptr<Document> d = document(statementLayout());
    // The preview's own copy of the students' query: print and export read the
    // same group again, whatever Q_Report has been opened for since.
    d->m_students = std::make_unique<Query>();
    Query& students = *d->m_students;
    students.setObjectName(QStringLiteral("Q_Report"));
    students.setConnection(&dm.ADOConnection1);
    students.setSql(TDM::reportSql());
    students.declareParameter(QStringLiteral("ID_G"), FieldType::Integer);
    students.setParameter(QStringLiteral("ID_G"), request.group);
    Query* own = &students;
    d->datasets = [own](const QString& name) -> Dataset* {
        if (name.compare(own->objectName(), Qt::CaseInsensitive) == 0) {
            // Each production reads the group's rows again.
            own->close();
            own->open();
            return own;
        }
        return TF_Report::datasetNamed(name);
    };
    attachStatementHook(d->layout, request);
    return d;
}

std::unique_ptr<Document> examSheet(const SheetRequest& request) {
    std::unique_ptr<Document> d = document(examSheetLayout());
    attachExamSheetHook(d->layout, request);
    return d;
}

std::unique_ptr<Document> studentCard(const QVariant& student) {
    std::unique_ptr<Document> d = document(studentCardLayout());
    attachStudentCardHook(d->layout, student);
    return d;
}

std::unique_ptr<Document> teacherCard(const QVariant& teacher) {
    std::unique_ptr<Document> d = document(teacherCardLayout());
    attachTeacherCardHook(d->layout, teacher);
    return d;
}

// ---- look-ups

namespace {

bool isEmptyKey(const QVariant& v) {
    return !v.isValid() || v.isNull() || v.toString().isEmpty();
}

QVariant find(Dataset* ds, const QString& key, const QVariant& value, const QString& result) {
    if (!ds || !ds->isActive() || isEmptyKey(value)) return {};
    return ds->lookup(key, value, result);
}

QString text(const QVariant& v) {
    return v.isNull() ? QString() : v.toString();
}

}  // namespace

QString shown(Dataset* ds, const QString& key, const QVariant& value, const QString& field) {
    if (!ds || !ds->isActive() || isEmptyKey(value)) return {};
    const Field* f = ds->findField(field);
    if (!f) return {};
    const QVariant v = ds->lookup(key, value, field);
    return v.isNull() ? QString() : f->formatDisplay(v);
}

Teacher teacher(const QVariant& key) {
    Dataset* teachers = DM ? DM->Q_Prepod : nullptr;
    const QString id = QStringLiteral("ID_Prepod");
    Teacher t{{},
              text(find(teachers, id, key, QStringLiteral("Фамилия"))),
              text(find(teachers, id, key, QStringLiteral("Имя"))),
              text(find(teachers, id, key, QStringLiteral("Dolgnost")))};
    // The whole surname: the short name on screen is cut at 60 characters.
    if (!t.surname.isEmpty())
        t.shortName =
            shortName(t.surname, t.name, text(find(teachers, id, key, QStringLiteral("Отчество"))));
    return t;
}

Placement groupPlacement(const QVariant& group) {
    if (!DM) return {};
    Placement p;
    const QString groupKey = QStringLiteral("ID_GRoup");
    p.group = text(find(DM->T_Gruppa, groupKey, group, QStringLiteral("Nazvanie")));
    const QVariant specialty =
        find(DM->T_Gruppa, groupKey, group, QStringLiteral("ID_Specialnost"));
    p.specialty =
        text(find(DM->T_Spec, QStringLiteral("ID_Spec"), specialty, QStringLiteral("Nazvanie")));
    const QVariant faculty =
        find(DM->T_Spec, QStringLiteral("ID_Spec"), specialty, QStringLiteral("ID_Facultet"));
    const QString id = QStringLiteral("ID_Facultet");
    p.faculty = text(find(DM->facultet, id, faculty, QStringLiteral("Nazvanie")));
    const QVariant dean = find(DM->facultet, id, faculty, QStringLiteral("ID_Dekan"));
    p.dean = teacher(dean).shortName;
    return p;
}

Placement studentPlacement(const QVariant& student) {
    if (!DM) return {};
    return groupPlacement(
        find(DM->Q_Studenti, QStringLiteral("N_student"), student, QStringLiteral("ID_group")));
}

QString studentFullShortName(const QVariant& student) {
    if (!DM) return {};
    const QString key = QStringLiteral("N_student");
    const QString surname = text(find(DM->Q_Studenti, key, student, QStringLiteral("Fam")));
    if (surname.isEmpty()) return {};
    return shortName(surname, text(find(DM->Q_Studenti, key, student, QStringLiteral("Name"))),
                     text(find(DM->Q_Studenti, key, student, QStringLiteral("SecName"))));
}

QString planHours(const QVariant& specialty, const QVariant& discipline, int semester) {
    Dataset* plan = DM ? DM->Q_Plan_Spec : nullptr;
    if (!plan || !plan->isActive() || isEmptyKey(specialty) || isEmptyKey(discipline))
        return QStringLiteral("0");
    const Field* specialtyField = DM->Q_Plan_SpecID_Spec;
    const Field* disciplineField = DM->Q_Plan_SpecNdis;
    const Field* semesterField = DM->Q_Plan_SpecSemestr;
    const QString wantedSpecialty = specialty.toString();
    const QString wantedDiscipline = discipline.toString();
    std::vector<int> found;
    const int rows = plan->recordCount();
    for (int i = 0; i < rows; ++i) {
        if (plan->viewValue(i, specialtyField).toString() != wantedSpecialty ||
            plan->viewValue(i, disciplineField).toString() != wantedDiscipline)
            continue;
        const QVariant s = plan->viewValue(i, semesterField);
        if (semester > 0 && (s.isNull() || s.toInt() != semester)) continue;
        found.push_back(i);
    }
    if (found.empty()) return QStringLiteral("0");
    // Several semesters and none asked for: no row is the right one.
    if (found.size() > 1 && semester <= 0) return QString();
    const int row = found.front();
    return QString::number(plan->viewValue(row, DM->Q_Plan_SpecTime_Lekcii).toInt() +
                           plan->viewValue(row, DM->Q_Plan_SpecTime_Prakt).toInt());
}

}  // namespace documents
