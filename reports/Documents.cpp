// The layouts' builders and the hooks' look-ups. A look-up goes through the
// looked-up dataset's key index (Dataset::lookup), whatever its view, and
// gives nothing for an empty key or a closed dataset; only the plan's hours
// walk the plan query's rows, a few hundred at most.
#include "Documents.h"

#include <stdexcept>

#include "DM_Tessaly.h"
#include "References.h"

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

Teacher teacher(const QVariant& key) {
    Dataset* teachers = DM ? DM->Q_Prepod : nullptr;
    if (!teachers || !teachers->isActive()) return {};
    if (isEmptyKey(key)) {
        return {DM->Q_PrepodFIO->asString(), DM->Q_PrepodDSDesigner->asString(),
                DM->Q_PrepodDSDesigner2->asString(), DM->Q_PrepodDolgnost->asString()};
    }
    const QString id = QStringLiteral("ID_Prepod");
    return {text(find(teachers, id, key, QStringLiteral("FIO"))),
            text(find(teachers, id, key, QStringLiteral("Фамилия"))),
            text(find(teachers, id, key, QStringLiteral("Имя"))),
            text(find(teachers, id, key, QStringLiteral("Dolgnost")))};
}

Placement currentStudentPlacement() {
    if (!DM || !DM->Q_Studenti->isActive() || DM->Q_Studenti->recNo() < 0) return {};
    Placement p;
    const QVariant specialty = DM->Q_StudentiID_Spec->value();
    p.group = groupName(DM->Q_StudentiID_group->value());
    p.specialty =
        text(find(DM->T_Spec, QStringLiteral("ID_Spec"), specialty, QStringLiteral("Nazvanie")));
    const QVariant faculty =
        find(DM->T_Spec, QStringLiteral("ID_Spec"), specialty, QStringLiteral("ID_Facultet"));
    const QString id = QStringLiteral("ID_Facultet");
    p.faculty = text(find(DM->facultet, id, faculty, QStringLiteral("Nazvanie")));
    const QVariant dean = find(DM->facultet, id, faculty, QStringLiteral("ID_Dekan"));
    p.dean = isEmptyKey(dean) ? QString() : teacher(dean).shortName;
    return p;
}

QString groupName(const QVariant& key) {
    if (!DM) return {};
    return text(find(DM->T_Gruppa, QStringLiteral("ID_GRoup"), key, QStringLiteral("Nazvanie")));
}

int planHours(const QVariant& specialty, const QVariant& discipline) {
    Dataset* plan = DM ? DM->Q_Plan_Spec : nullptr;
    if (!plan || !plan->isActive() || isEmptyKey(specialty) || isEmptyKey(discipline)) return 0;
    const Field* specialtyField = DM->Q_Plan_SpecID_Spec;
    const Field* disciplineField = DM->Q_Plan_SpecNdis;
    const Field* semester = DM->Q_Plan_SpecSemestr;
    const QString wantedSpecialty = specialty.toString();
    const QString wantedDiscipline = discipline.toString();
    int best = -1;
    QVariant bestSemester;
    const int rows = plan->recordCount();
    for (int i = 0; i < rows; ++i) {
        if (plan->viewValue(i, specialtyField).toString() != wantedSpecialty ||
            plan->viewValue(i, disciplineField).toString() != wantedDiscipline)
            continue;
        const QVariant s = plan->viewValue(i, semester);
        // A row without a semester counts after every numbered one.
        const bool earlier =
            best < 0 ||
            (!s.isNull() && (bestSemester.isNull() || s.toInt() < bestSemester.toInt()));
        if (earlier) {
            best = i;
            bestSemester = s;
        }
    }
    if (best < 0) return 0;
    return plan->viewValue(best, DM->Q_Plan_SpecTime_Lekcii).toInt() +
           plan->viewValue(best, DM->Q_Plan_SpecTime_Prakt).toInt();
}

}  // namespace documents
