// The student and teacher card printouts as the windows' "Печать" previews
// them: the current row's values, the names looked up for it, the photo found
// for printing (none after a student who had one), a photo that cannot be
// read reported with no card, and the current row left where it was.
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <functional>

#include "Application.h"
#include "DBEdit.h"
#include "DBNavigator.h"
#include "DM_Tessaly.h"
#include "HandlerFailure.h"
#include "Messages.h"
#include "Prepod.h"
#include "Preview.h"
#include "ReportsFixture.h"
#include "Studenti.h"

// jpeglib.h expects FILE and size_t to be declared before it.
#include <jerror.h>
#include <jpeglib.h>
#include <cstdio>

namespace {

void click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}

// The texts printed at these places, each quoted as the dump quotes it.
QStringList valuesAt(const QString& dump, const QStringList& places) {
    QStringList values;
    for (const QString& place : places) {
        const QStringList lines = linesWith(dump, QStringLiteral("page 1 text ") + place + u' ');
        if (lines.size() != 1) {
            values << QStringLiteral("(%1 texts at %2)").arg(lines.size()).arg(place);
            continue;
        }
        const QString& line = lines.front();
        const qsizetype fontEnd = line.indexOf(u'"', line.indexOf(u'"') + 1);
        values << line.mid(line.indexOf(u'"', fontEnd + 1) + 1).chopped(1);
    }
    return values;
}

QStringList picturesIn(const QString& dump) {
    return linesWith(dump, QStringLiteral(" picture "));
}

// "Печать" clicked as a user clicks it; the preview it opened.
const report::PageList* printed(QPushButton* button, const report::PreviewRecorder& previews) {
    const size_t before = previews.previews().size();
    click(button);
    return previews.previews().size() == before + 1 ? &previews.previews().back() : nullptr;
}

// The value places of the student card, top to bottom and left to right.
const QStringList studentPlaces{
    QStringLiteral("107.4,52.3 15.9x4.5"), QStringLiteral("48.1,73.5 60.0x4.5"),
    QStringLiteral("48.1,82.0 60.0x4.5"),  QStringLiteral("48.1,92.6 60.0x4.5"),
    QStringLiteral("48.1,103.1 60.0x4.5"), QStringLiteral("48.1,113.7 60.0x4.5"),
    QStringLiteral("48.1,122.2 60.0x4.5"), QStringLiteral("48.1,132.8 60.0x4.5"),
    QStringLiteral("48.1,143.3 60.0x4.5"), QStringLiteral("48.1,151.8 60.0x4.5"),
    QStringLiteral("48.1,162.4 60.0x4.5"), QStringLiteral("107.4,162.4 30.0x4.5"),
    QStringLiteral("158.2,162.4 30.0x4.5")};

// And of the teacher card, the details band starting under the 49.5 mm title band.
const QStringList teacherPlaces{
    QStringLiteral("107.4,52.3 16.1x4.5"), QStringLiteral("50.2,65.8 60.0x4.5"),
    QStringLiteral("50.2,74.3 60.0x4.5"),  QStringLiteral("50.2,84.9 60.0x4.5"),
    QStringLiteral("50.2,95.5 60.0x4.5"),  QStringLiteral("50.2,106.1 60.0x4.5"),
    QStringLiteral("50.2,116.6 60.0x4.5"), QStringLiteral("50.2,125.1 60.0x4.5"),
    QStringLiteral("50.2,135.7 60.0x4.5"), QStringLiteral("50.2,146.3 60.0x4.5"),
    QStringLiteral("50.2,154.7 60.0x4.5"), QStringLiteral("50.2,165.3 60.0x4.5"),
    QStringLiteral("24.8,173.8 60.0x4.5"), QStringLiteral("33.3,184.4 60.0x4.5")};

}  // namespace

class TestCards : public QObject {
    Q_OBJECT
private slots:
    void studentCardIsTheCurrentStudents_data();
    void studentCardIsTheCurrentStudents();
    void teacherCardIsTheCurrentTeachers_data();
    void teacherCardIsTheCurrentTeachers();
    void unreadablePhotoProducesNoCard_data();
    void unreadablePhotoProducesNoCard();
};

void TestCards::studentCardIsTheCurrentStudents_data() {
    QTest::addColumn<int>("moves");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("pictures");
    QTest::newRow("with a photo") << 0 << QStringList{"0000001",     "Петров",
                                                      "Пётр",        "Сергеевич",
                                                      "06.05.2004",  "Программная инженерия",
                                                      "Информатики", "ПИ-21",
                                                      "Бюджет",      "Архангельск",
                                                      "Ленина",      "5",
                                                      "12"}
                                  // The 3:4 photo keeps its proportions, centred in its square.
                                  << QStringList{"page 1 picture 163.3,69.3 30.4x40.5 60x80"};
    // Printed right after the first student, whose photo does not stay behind.
    QTest::newRow("without a photo, after one with") << 2 << QStringList{"0000003",
                                                                         "Сидоров",
                                                                         "Иван",
                                                                         "Ильич",
                                                                         "",
                                                                         "Программная инженерия",
                                                                         "Информатики",
                                                                         "ПИ-21",
                                                                         "",
                                                                         "",
                                                                         "",
                                                                         "",
                                                                         ""}
                                                     << QStringList();
}

void TestCards::studentCardIsTheCurrentStudents() {
    QFETCH(int, moves);
    QFETCH(QStringList, values);
    QFETCH(QStringList, pictures);
    ReportsFixture f;
    platform::MessageRecorder messages;
    report::PreviewRecorder previews;
    TStuds* w = f.openStudents();
    QVERIFY(w);
    QVERIFY(printed(w->PrintButton, previews));
    for (int i = 0; i < moves; ++i) click(w->NextButton);
    const int current = DM->Q_Studenti->recNo();
    const QString number = w->NumberEdit->text();

    const report::PageList* card = printed(w->PrintButton, previews);
    QVERIFY(card);
    QCOMPARE(card->title, QStringLiteral("Карточка Студента"));
    QCOMPARE(int(card->pages.size()), 1);
    const QString dump = report::dump(*card);
    QCOMPARE(valuesAt(dump, studentPlaces), values);
    QCOMPARE(picturesIn(dump), pictures);
    QCOMPARE(
        linesWith(dump, QStringLiteral("\"КАРТОЧКА СТУДЕНТА\"")),
        QStringList{QStringLiteral(
            "page 1 text 71.4,41.8 61.6x6.6 \"Arial\" 16 bold centred \"КАРТОЧКА СТУДЕНТА\"")});
    QCOMPARE(DM->Q_Studenti->recNo(), current);
    QCOMPARE(w->NumberEdit->text(), number);
    QCOMPARE(messages.texts(), QStringList());
}

void TestCards::teacherCardIsTheCurrentTeachers_data() {
    QTest::addColumn<int>("moves");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("pictures");
    // The department prints as its number; "Форма обучения" stays empty.
    QTest::newRow("with a photo") << 0 << QStringList{"3",        "Соколова",    "Анна",
                                                      "Петровна", "14.03.1975",  "Котлас",
                                                      "РФ",       "11",          "ПИ-21",
                                                      "",         "Архангельск", "Садовая",
                                                      "7",        "21"}
                                  // Centred in what of its square lies inside the right
                                  // margin and under the band's frame line.
                                  << QStringList{"page 1 picture 165.2,60.0 30.0x40.0 90x120"};
    QTest::newRow("without a photo")
        << 1 << QStringList{"8",  "Ким",   "Олег", "Игоревич", "", "", "",
                            "21", "ФК-11", "",     "",         "", "", ""}
        << QStringList();
}

void TestCards::teacherCardIsTheCurrentTeachers() {
    QFETCH(int, moves);
    QFETCH(QStringList, values);
    QFETCH(QStringList, pictures);
    ReportsFixture f;
    platform::MessageRecorder messages;
    report::PreviewRecorder previews;
    TPrep* w = f.openTeachers();
    QVERIFY(w);
    for (int i = 0; i < moves; ++i) click(w->DBNavigator1->button(DBNavigator::Next));
    const int current = DM->Q_Prepod->recNo();
    const QString number = w->NumberEdit->text();

    const report::PageList* card = printed(w->PrintButton, previews);
    QVERIFY(card);
    QCOMPARE(card->title, QString());
    QCOMPARE(int(card->pages.size()), 1);
    const QString dump = report::dump(*card);
    QCOMPARE(valuesAt(dump, teacherPlaces), values);
    QCOMPARE(picturesIn(dump), pictures);
    // The details band's frame lines at its top and bottom.
    QVERIFY(dump.contains(QStringLiteral("page 1 line 10.0,59.5 200.0,59.5 1pt")));
    QVERIFY(dump.contains(QStringLiteral("page 1 line 10.0,211.9 200.0,211.9 1pt")));
    QCOMPARE(DM->Q_Prepod->recNo(), current);
    QCOMPARE(w->NumberEdit->text(), number);
    QCOMPARE(messages.texts(), QStringList());
}

void TestCards::unreadablePhotoProducesNoCard_data() {
    QTest::addColumn<bool>("teacher");
    QTest::addColumn<int>("moves");
    QTest::addColumn<QString>("failure");
    QTest::newRow("a damaged bitmap") << false << 1 << "Bitmap image is not valid";
    QTest::newRow("a damaged JPEG")
        << true << 2 << QStringLiteral("JPEG error #%1").arg(JERR_NO_SOI);
}

void TestCards::unreadablePhotoProducesNoCard() {
    QFETCH(bool, teacher);
    QFETCH(int, moves);
    QFETCH(QString, failure);
    ReportsFixture f;
    report::PreviewRecorder previews;
    std::function<void()> print;
    if (teacher) {
        TPrep* w = f.openTeachers();
        QVERIFY(w);
        for (int i = 0; i < moves; ++i) click(w->DBNavigator1->button(DBNavigator::Next));
        print = [w] { w->PrintButtonClick(); };
    } else {
        TStuds* w = f.openStudents();
        QVERIFY(w);
        for (int i = 0; i < moves; ++i) click(w->NextButton);
        print = [w] { w->PrintButtonClick(); };
    }
    QCOMPARE(failureOf(print), failure);
    QCOMPARE(previews.previews().size(), size_t(0));
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestCards test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cards.moc"
