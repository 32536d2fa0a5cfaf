// The student card and the teacher card printouts: the student or teacher the
// request names on one page, with the photo the photo store finds for
// printing. Neither hook reads or moves a current row.
#include <QImage>
#include <QString>
#include <algorithm>

#include "DM_Tessaly.h"
#include "Dataset.h"
#include "Documents.h"
#include "PhotoStore.h"
#include "PictureLoader.h"
#include "References.h"
#include "Report.h"

namespace documents {

using report::Align;
using report::Band;
using report::BandKind;
using report::Layout;
using report::Side;

namespace {

const QString photo = QStringLiteral("Photo");
const QString studentSpecialty = QStringLiteral("StudentSpecialty");
const QString studentFaculty = QStringLiteral("StudentFaculty");
const QString studentGroup = QStringLiteral("StudentGroup");
const QString curatedGroup = QStringLiteral("CuratedGroup");
constexpr double photoSide = 40.5;
constexpr double lineHeight = 4.5;
// The label and value boxes of a line; their text runs on as far as it needs.
constexpr double labelWidth = 34.0;
constexpr double valueWidth = 60.0;

// The institution's lines at the head of both cards.
void putHead(Band& b, const Layout& l, const QString& legalForm, double legalFormWidth,
             const QString& heading, double headingLeft, double headingWidth) {
    put(b, l.label(legalForm, 37.0, 2.1, legalFormWidth, 6.6)).font = arial(12);
    put(b, l.label(u'"' + TF_Report::institutionName() + u'"', 41.5, 10.6, 111.4, 6.6)).font =
        arial(12);
    put(b, l.label(TF_Report::branchName(), 72.0, 16.9, 38.1, 6.6)).font = arial(12);
    auto& h = put(b, l.label(heading, headingLeft, 31.8, headingWidth, 6.6));
    h.font = arial(16, true);
    h.align = Align::Center;
}

void putLine(Band& b, const Layout& l, double top, double labelLeft, const QString& text,
             double valueLeft, report::Element value) {
    // A label that ends where its value starts, at most the usual width.
    const double width = std::min(labelWidth, valueLeft - labelLeft);
    put(b, l.label(text, labelLeft, top, width, lineHeight));
    value.left = valueLeft;
    value.top = top;
    value.width = valueWidth;
    value.height = lineHeight;
    put(b, std::move(value));
}

// A value of the printed row, found by the element's name: the field's name
// after this prefix.
const QString fieldPrefix = QStringLiteral("field:");

report::Element valueOf(const Layout& l, const QString&, const char* field) {
    report::Element e = l.label(QString(), 0, 0, 0, 0);
    e.name = fieldPrefix + QString::fromUtf8(field);
    return e;
}

// Every value of the card from the row whose key field holds the key.
void fillValues(Layout& l, Dataset* rows, const QString& keyField, const QVariant& key) {
    for (report::Band& band : l.bands)
        for (report::Element& e : band.elements)
            if (e.name.startsWith(fieldPrefix))
                e.text = shown(rows, keyField, key, e.name.mid(fieldPrefix.size()));
}

void putValue(Band& b, report::Element value, double left, double top, double width) {
    value.left = left;
    value.top = top;
    value.width = width;
    value.height = lineHeight;
    put(b, std::move(value));
}

// A value the hook writes.
report::Element filled(const Layout& l, const QString& name) {
    report::Element e = l.label(QString(), 0, 0, 0, 0);
    e.name = name;
    return e;
}

// The stored photo for printing, or none; a file that is no picture fails
// with the loader's message, and so the card is not produced.
void loadPhoto(Layout& l, photos::Kind kind, const QString& foto) {
    report::Element* e = l.element(photo);
    e->picture = QImage();
    const QString path = photos::findForPrint(kind, foto);
    if (!path.isEmpty()) e->picture = platform::loadPicture(path);
}

}  // namespace

Layout studentCardLayout() {
    Layout l;
    l.title = QStringLiteral("Карточка Студента");
    Band& b = l.addBand(BandKind::Title, 187.1);
    const QString s = QStringLiteral("Q_Studenti");
    putHead(b, l, QStringLiteral("Федеральное государственное образовантельное учреждение"), 121.4,
            QStringLiteral("КАРТОЧКА СТУДЕНТА"), 61.4, 61.6);
    put(b, l.label(QStringLiteral("Зачетная книжка №"), 63.5, 42.3, 31.8, lineHeight));
    putValue(b, valueOf(l, s, "N_student"), 97.4, 42.3, 15.9);
    put(b, l.image(148.2, 59.3, photoSide, photoSide)).name = photo;

    const double label = 2.1;
    const double value = 38.1;
    putLine(b, l, 63.5, label, QStringLiteral("ФАМИЛИЯ"), value, valueOf(l, s, "Fam"));
    putLine(b, l, 72.0, label, QStringLiteral("Имя"), value, valueOf(l, s, "Name"));
    putLine(b, l, 82.6, label, QStringLiteral("Отчество"), value, valueOf(l, s, "SecName"));
    putLine(b, l, 93.1, label, QStringLiteral("Дата рождения"), value, valueOf(l, s, "BirthDate"));
    putLine(b, l, 103.7, label, QStringLiteral("Специальность"), value,
            filled(l, studentSpecialty));
    putLine(b, l, 112.2, label, QStringLiteral("Факультет"), value, filled(l, studentFaculty));
    putLine(b, l, 122.8, label, QStringLiteral("Группа"), value, filled(l, studentGroup));
    putLine(b, l, 133.3, label, QStringLiteral("Форма обучения"), value,
            valueOf(l, s, "Type_Stud"));
    putLine(b, l, 141.8, label, QStringLiteral("Город"), value, valueOf(l, s, "City"));
    putLine(b, l, 152.4, label, QStringLiteral("Улица"), value, valueOf(l, s, "Street"));
    put(b, l.label(QStringLiteral("Дом"), 86.8, 152.4, 10.0, lineHeight));
    putValue(b, valueOf(l, s, "House"), 97.4, 152.4, 30.0);
    put(b, l.label(QStringLiteral("Квартира"), 129.1, 152.4, 18.0, lineHeight));
    putValue(b, valueOf(l, s, "Apar"), 148.2, 152.4, 30.0);

    return l;
}

Layout teacherCardLayout() {
    Layout l;
    Band& title = l.addBand(BandKind::Title, 49.5);
    const QString t = QStringLiteral("Q_Prepod");
    putHead(title, l, QStringLiteral("Федеральное государственное образовантельное учереждение"),
            123.8, QStringLiteral("КАРТОЧКА ПРЕПОДАВАТЕЛЯ"), 51.1, 82.6);
    put(title, l.label(QStringLiteral("№ преподователя"), 63.5, 42.3, 28.8, lineHeight));
    putValue(title, valueOf(l, t, "ID_Prepod"), 97.4, 42.3, 16.1);

    Band& b = l.addBand(BandKind::Details, 152.4, report::Frame{Side::Top | Side::Bottom});
    put(b, l.image(150.3, 0, photoSide, photoSide)).name = photo;
    const double label = 4.2;
    const double value = 40.2;
    putLine(b, l, 6.3, label, QStringLiteral("ФАМИЛИЯ"), value, valueOf(l, t, "Фамилия"));
    putLine(b, l, 14.8, label, QStringLiteral("Имя"), value, valueOf(l, t, "Имя"));
    putLine(b, l, 25.4, label, QStringLiteral("Отчество"), value, valueOf(l, t, "Отчество"));
    putLine(b, l, 36.0, label, QStringLiteral("Дата рождения"), value,
            valueOf(l, t, "День рождения"));
    putLine(b, l, 46.6, label, QStringLiteral("Место Рождения"), value,
            valueOf(l, t, "Место рожд"));
    putLine(b, l, 57.1, label, QStringLiteral("Гражданство"), value, valueOf(l, t, "Гражданство"));
    // The department's number, as the teacher's row keeps it.
    putLine(b, l, 65.6, label, QStringLiteral("Кафедра"), value, valueOf(l, t, "ID_kafedra"));
    putLine(b, l, 76.2, label, QStringLiteral("Курируемая группа"), value, filled(l, curatedGroup));
    // Teachers have no form of study: the place stays empty.
    putLine(b, l, 86.8, label, QStringLiteral("Форма обучения"), value, filled(l, QString()));
    putLine(b, l, 95.2, label, QStringLiteral("Город"), value, valueOf(l, t, "City"));
    putLine(b, l, 105.8, label, QStringLiteral("Улица"), value, valueOf(l, t, "Street"));
    putLine(b, l, 114.3, label, QStringLiteral("Дом"), 14.8, valueOf(l, t, "House"));
    putLine(b, l, 124.9, label, QStringLiteral("Квартира"), 23.3, valueOf(l, t, "Apar"));

    return l;
}

namespace {
// The card's values and photo from the row whose key field holds the key.
void fillCard(Layout& card, Dataset* rows, const QString& keyField, const QVariant& key,
              photos::Kind kind) {
    fillValues(card, rows, keyField, key);
    loadPhoto(card, kind, shown(rows, keyField, key, QStringLiteral("Foto")));
}
}  // namespace

void attachStudentCardHook(Layout& layout, const QVariant& student) {
    layout.beforePrint = [student](Layout& card) {
        if (!DM) return;
        fillCard(card, DM->Q_Studenti, QStringLiteral("N_student"), student, photos::Kind::Student);
        const Placement placement = studentPlacement(student);
        setText(card, studentSpecialty, placement.specialty);
        setText(card, studentFaculty, placement.faculty);
        setText(card, studentGroup, placement.group);
    };
}

void attachTeacherCardHook(Layout& layout, const QVariant& teacher) {
    layout.beforePrint = [teacher](Layout& card) {
        if (!DM) return;
        const QString key = QStringLiteral("ID_Prepod");
        fillCard(card, DM->Q_Prepod, key, teacher, photos::Kind::Teacher);
        const QVariant curated = DM->Q_Prepod->isActive() && !teacher.toString().isEmpty()
                                     ? DM->Q_Prepod->lookup(key, teacher, QStringLiteral("Kur_Gr"))
                                     : QVariant();
        setText(card, curatedGroup, groupPlacement(curated).group);
    };
}

}  // namespace documents
