// The student window as the office uses it: the card's buttons and their
// messages, the limits of the edits, the cascade of study pickers, the list's
// keys, the quick search, giving a photo, the parent's page, and the photo and
// status bar following the current student.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <functional>

#include "Application.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DM_Tessaly.h"
#include "FileBytes.h"
#include "HandlerFailure.h"
#include "Dataset.h"
#include "GridModel.h"
#include "Messages.h"
#include "PictureDialog.h"
#include "References.h"
#include "StudentsFixture.h"
#include "Studenti.h"
#include "TypeText.h"

namespace {

QString current(const Field* field) { return field->asString(); }

void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

QStringList panels(const TStuds* w) {
    QStringList texts;
    for (const QLabel* l : w->statusPanels) texts << l->text();
    return texts;
}

}  // namespace

class TestStudentWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void opensOnTheCardWithoutTheNumberColumn();
    void saveWithNothingChangedDoesNothing();
    void saveChecksSurnameAndFirstName_data();
    void saveChecksSurnameAndFirstName();
    void deleteReportsAndDiscardsANewRow();
    void deleteInAnEmptyListIsRefused();
    void editLimits_data();
    void editLimits();
    void cascadeNarrowsTheLists();
    void groupOfAnotherSpecialtyShowsEmptyAndIsKept();
    void listKeysActOnceAndOnlyInTheList_data();
    void listKeysActOnceAndOnlyInTheList();
    void quickSearch_data();
    void quickSearch();
    void photoLoading();
    void parentsPage();
    void cardFollowsTheCurrentStudent();
    void unreadablePhotoIsReportedAndTheMoveStands();
    void closingEmptiesTheReference();
    void deletingTheLastStudentEmptiesTheCard();
};

void TestStudentWindow::opensOnTheCardWithoutTheNumberColumn() {
    StudentsFixture f;
    TStuds* w = f.openWindow();
    QVERIFY(w);
    QCOMPARE(Studs, w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Студенты"));
    QCOMPARE(w->PageControl1->currentIndex(), 0);
    QStringList pages;
    for (int i = 0; i < w->PageControl1->count(); ++i) pages << w->PageControl1->tabText(i);
    QCOMPARE(pages, (QStringList{QStringLiteral("Основные данные"),
                                 QStringLiteral("Данные успеваемости"),
                                 QStringLiteral("Данные о Родителе")}));
    auto* model = qobject_cast<GridModel*>(w->DBGrid1->model());
    QVERIFY(model);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Фамилия"));
    for (int c = 0; c < model->columnCount(); ++c)
        QVERIFY(model->headerData(c, Qt::Horizontal).toString() != QStringLiteral("N_student"));
    QCOMPARE(w->NumberEdit->text(), QStringLiteral("0000001"));
    // From the start, the photo area and the status bar show the student the card shows.
    QVERIFY(w->Placeholder->isVisible());
    QCOMPARE(panels(w), (QStringList{QStringLiteral("Номер"), QStringLiteral("0000001"),
                                     QStringLiteral("Петров"), QStringLiteral("Пётр"),
                                     QStringLiteral("Специальность"), QStringLiteral("090304")}));
}

void TestStudentWindow::saveWithNothingChangedDoesNothing() {
    StudentsFixture f;
    TStuds* w = f.openWindow();
    platform::MessageRecorder messages;
    click(w->SaveButton);
    QCOMPARE(DM->Q_Studenti->state(), DatasetState::Browse);
    click(w->NewButton);
    QCOMPARE(DM->Q_Studenti->state(), DatasetState::Insert);
    click(w->SaveButton);
    QCOMPARE(DM->Q_Studenti->state(), DatasetState::Insert);
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(f.scalar("SELECT count(*) FROM Studenti").toInt(), 4);
}

void TestStudentWindow::saveChecksSurnameAndFirstName_data() {
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("firstName");
    QTest::addColumn<bool>("stored");
    QTest::newRow("only a first name") << QString() << QStringLiteral("Анна") << false;
    QTest::newRow("only a surname") << QStringLiteral("Орлова") << QString() << false;
    QTest::newRow("surname of blanks") << QStringLiteral("   ") << QStringLiteral("Анна") << true;
    QTest::newRow("both") << QStringLiteral("Орлова") << QStringLiteral("Анна") << true;
}

void TestStudentWindow::saveChecksSurnameAndFirstName() {
    QFETCH(QString, surname);
    QFETCH(QString, firstName);
    QFETCH(bool, stored);
    StudentsFixture f;
    TStuds* w = f.openWindow();
    platform::MessageRecorder messages;
    click(w->NewButton);
    typeText(w->NumberEdit, QStringLiteral("0000009"));
    if (!surname.isEmpty()) typeText(w->FamEdit, surname);
    if (!firstName.isEmpty()) typeText(w->NameEdit, firstName);
    click(w->SaveButton);
    const int rows = f.scalar("SELECT count(*) FROM Studenti WHERE N_student = '0000009'").toInt();
    if (stored) {
        QVERIFY(messages.texts().isEmpty());
        QCOMPARE(rows, 1);
        QCOMPARE(DM->Q_Studenti->state(), DatasetState::Browse);
    } else {
        QCOMPARE(messages.messages().size(), size_t(1));
        QCOMPARE(messages.messages()[0].kind, platform::MessageKind::Warning);
        QCOMPARE(messages.messages()[0].caption, QStringLiteral("Внимание"));
        QCOMPARE(messages.messages()[0].text, QStringLiteral("Заполните пожалуйста все поля"));
        QCOMPARE(rows, 0);
        QCOMPARE(DM->Q_Studenti->state(), DatasetState::Insert);
        QCOMPARE(w->NumberEdit->text(), QStringLiteral("0000009"));
    }
}

void TestStudentWindow::deleteReportsAndDiscardsANewRow() {
    StudentsFixture f;
    TStuds* w = f.openWindow();
    platform::MessageRecorder messages;
    click(w->NewButton);
    typeText(w->FamEdit, QStringLiteral("Новиков"));
    click(w->DeleteButton);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Запись удалена")});
    QCOMPARE(f.scalar("SELECT count(*) FROM Studenti").toInt(), 4);
    QCOMPARE(DM->Q_Studenti->state(), DatasetState::Browse);
    // A stored student goes at once, without a question; the parent row stays.
    DM->Q_Studenti->first();
    click(w->DeleteButton);
    QCOMPARE(f.scalar("SELECT count(*) FROM Studenti WHERE N_student = '0000001'").toInt(), 0);
    QCOMPARE(f.scalar("SELECT count(*) FROM Parents").toInt(), 1);
    QCOMPARE(messages.texts().size(), 2);
    QCOMPARE(current(DM->Q_StudentiN_student), QStringLiteral("0000002"));
}

void TestStudentWindow::deleteInAnEmptyListIsRefused() {
    StudentsFixture f;
    DM->Q_Studenti->setFilterText(QStringLiteral("Fam = 'нет такого'"));
    DM->Q_Studenti->setFiltered(true);
    TStuds* w = f.openWindow();
    platform::MessageRecorder messages;
    QCOMPARE(failureOf([w] { w->DeleteButtonClick(); }),
             QStringLiteral("Cannot perform this operation on an empty dataset"));
    QVERIFY(messages.texts().isEmpty());
}

void TestStudentWindow::editLimits_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("record-book number") << "NumberEdit" << "123456789" << "1234567";
    QTest::newRow("date of birth") << "BirthDateEdit" << "01.02.20034" << "01.02.2003";
}

void TestStudentWindow::editLimits() {
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    StudentsFixture f;
    TStuds* w = f.openWindow();
    DBEdit* e = edit == QLatin1String("NumberEdit") ? w->NumberEdit : w->BirthDateEdit;
    e->setFocus();
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    typeText(e, typed);
    QCOMPARE(e->text(), kept);
}

void TestStudentWindow::cascadeNarrowsTheLists() {
    StudentsFixture f;
    TStuds* w = f.openWindow();
    // Nothing is shown before the first choice.
    QCOMPARE(w->FacultyPicker->displayText(), QString());
    QCOMPARE(w->SpecialtyPicker->displayText(), QString());
    w->FacultyPicker->setFocus();
    typeText(w->FacultyPicker, QStringLiteral("э"));
    QCOMPARE(w->FacultyPicker->displayText(), QStringLiteral("Экономики"));
    QCOMPARE(DM->T_Spec->recordCount(), 1);
    QCOMPARE(w->SpecialtyPicker->model()->rowCount(), 1);
    QTest::keyClick(w->FacultyPicker, Qt::Key_Up);
    QCOMPARE(w->FacultyPicker->displayText(), QStringLiteral("Информатики"));
    QCOMPARE(w->SpecialtyPicker->model()->rowCount(), 2);
    w->SpecialtyPicker->setFocus();
    typeText(w->SpecialtyPicker, QStringLiteral("пр"));
    QCOMPARE(w->SpecialtyPicker->displayText(), QStringLiteral("Программная инженерия"));
    QCOMPARE(w->GroupPicker->model()->rowCount(), 2);
    // The group picker writes the chosen group into the student at once.
    w->GroupPicker->setFocus();
    QTest::keyClick(w->GroupPicker, Qt::Key_Down);
    QCOMPARE(DM->Q_Studenti->state(), DatasetState::Edit);
    QCOMPARE(current(DM->Q_StudentiID_group), QStringLiteral("2"));
    QCOMPARE(w->GroupPicker->displayText(), QStringLiteral("ПИ-22"));
    click(w->SaveButton);
    QCOMPARE(f.scalar("SELECT ID_group FROM Studenti WHERE N_student = '0000001'").toInt(), 2);
}

void TestStudentWindow::groupOfAnotherSpecialtyShowsEmptyAndIsKept() {
    StudentsFixture f;
    TStuds* w = f.openWindow();
    w->SpecialtyPicker->setKeyValue(QStringLiteral("090304"));
    click(w->NextButton);
    // Anna's group belongs to another specialty.
    QCOMPARE(current(DM->Q_StudentiFam), QStringLiteral("Иванова"));
    QCOMPARE(w->GroupPicker->displayText(), QString());
    typeText(w->CityEdit, QStringLiteral("Омск"));
    click(w->SaveButton);
    QCOMPARE(f.scalar("SELECT ID_group FROM Studenti WHERE N_student = '0000002'").toInt(), 3);
    QCOMPARE(f.scalar("SELECT City FROM Studenti WHERE N_student = '0000002'").toString(),
             QStringLiteral("Омск"));
}

void TestStudentWindow::listKeysActOnceAndOnlyInTheList_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("inList");
    QTest::addColumn<QString>("currentAfter");
    QTest::addColumn<int>("storedAfter");
    QTest::addColumn<QStringList>("messages");
    const QStringList none;
    const QStringList deleted{QStringLiteral("Запись удалена")};
    QTest::newRow("Right") << int(Qt::Key_Right) << 0 << true << "0000003" << 4 << none;
    QTest::newRow("Shift+Left") << int(Qt::Key_Left) << int(Qt::ShiftModifier) << true << "0000001"
                                << 4 << none;
    QTest::newRow("Ctrl+Delete") << int(Qt::Key_Delete) << int(Qt::ControlModifier) << true
                                 << "0000003" << 3 << deleted;
    QTest::newRow("Insert") << int(Qt::Key_Insert) << 0 << true << "" << 4 << none;
    QTest::newRow("Delete in the search box")
        << int(Qt::Key_Delete) << 0 << false << "0000002" << 4 << none;
    QTest::newRow("Right in the search box")
        << int(Qt::Key_Right) << int(Qt::AltModifier) << false << "0000002" << 4 << none;
}

void TestStudentWindow::listKeysActOnceAndOnlyInTheList() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, inList);
    QFETCH(QString, currentAfter);
    QFETCH(int, storedAfter);
    QFETCH(QStringList, messages);
    StudentsFixture f;
    TStuds* w = f.openWindow();
    DM->Q_Studenti->setRecNo(1);
    platform::MessageRecorder recorder;
    QWidget* target = inList ? static_cast<QWidget*>(w->DBGrid1) : w->SearchEdit;
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(current(DM->Q_StudentiN_student), currentAfter);
    QCOMPARE(f.scalar("SELECT count(*) FROM Studenti").toInt(), storedAfter);
    QCOMPARE(recorder.texts(), messages);
    if (key == Qt::Key_Insert) {
        QCOMPARE(DM->Q_Studenti->state(), DatasetState::Insert);
        QCOMPARE(DM->Q_Studenti->recNo(), 4);
        // The new student stays when the user goes on to fill in the card.
        QTest::mouseClick(w->FamEdit, Qt::LeftButton);
        QCOMPARE(DM->Q_Studenti->state(), DatasetState::Insert);
    }
}

void TestStudentWindow::quickSearch_data() {
    QTest::addColumn<int>("startRow");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("found");
    QTest::addColumn<bool>("focusInList");
    QTest::newRow("lower-case Cyrillic prefix") << 0 << "ив" << "0000002" << true;
    QTest::newRow("search from the top") << 3 << "и" << "0000002" << true;
    QTest::newRow("a second hit by case") << 0 << "иванов" << "0000002" << true;
    QTest::newRow("no hit") << 2 << "я" << "0000003" << false;
}

void TestStudentWindow::quickSearch() {
    QFETCH(int, startRow);
    QFETCH(QString, typed);
    QFETCH(QString, found);
    QFETCH(bool, focusInList);
    StudentsFixture f;
    TStuds* w = f.openWindow();
    DM->Q_Studenti->setRecNo(startRow);
    w->SearchEdit->setFocus();
    // Typed at once, as a paste would, so the focus move after a hit does not split the text.
    w->SearchEdit->setText(typed);
    QCOMPARE(current(DM->Q_StudentiN_student), found);
    QCOMPARE(w->DBGrid1->hasFocus(), focusInList);
    QCOMPARE(w->SearchEdit->hasFocus(), !focusInList);
    // The status bar follows the hit.
    QCOMPARE(w->statusPanels[1]->text(), found);
}

void TestStudentWindow::photoLoading() {
    StudentsFixture f;
    TStuds* w = f.openWindow();
    platform::PictureDialogRecorder dialog;
    platform::MessageRecorder messages;
    const QString png = f.path(QStringLiteral("face.png"));
    const QString bmp = f.path(QStringLiteral("face.BMP"));
    StudentsFixture::writePicture(png, 40, 40, Qt::red);
    StudentsFixture::writePicture(bmp, 300, 200, Qt::blue);
    QVERIFY(w->Placeholder->isVisible());

    dialog.answer(QString());
    click(w->PhotoButton);
    QCOMPARE(dialog.requests().size(), size_t(1));
    QCOMPARE(dialog.requests()[0].filter, TStuds::photoFilter());
    QCOMPARE(DM->Q_Studenti->state(), DatasetState::Edit);
    QVERIFY(w->Placeholder->isVisible());

    dialog.answer(png);
    click(w->PhotoButton);
    QCOMPARE(current(DM->Q_StudentiFoto), QString());
    QVERIFY(!QFile::exists(f.photoFolder() + QStringLiteral("/0000001.png")));
    QVERIFY(w->Placeholder->isVisible());

    dialog.answer(bmp);
    click(w->PhotoButton);
    QCOMPARE(current(DM->Q_StudentiFoto), QStringLiteral("0000001.BMP"));
    QVERIFY(QFile::exists(f.photoFolder() + QStringLiteral("/0000001.BMP")));
    QVERIFY(w->Photo->isVisible());
    QVERIFY(!w->Placeholder->isVisible());
    // Shrunk proportionally into the 170-pixel box.
    QCOMPARE(w->Photo->pixmap().size(), QSize(170, 113));
    QVERIFY(messages.texts().isEmpty());

    // Stored by a move; cancelling the dialog afterwards changes nothing.
    click(w->NextButton);
    click(w->PriorButton);
    QCOMPARE(f.scalar("SELECT Foto FROM Studenti WHERE N_student = '0000001'").toString(),
             QStringLiteral("0000001.BMP"));
    QVERIFY(w->Photo->isVisible());
    dialog.answer(QString());
    click(w->PhotoButton);
    QVERIFY(w->Photo->isVisible());
    QCOMPARE(current(DM->Q_StudentiFoto), QStringLiteral("0000001.BMP"));
}

void TestStudentWindow::parentsPage() {
    StudentsFixture f;
    TStuds* w = f.openWindow();
    platform::MessageRecorder messages;
    w->PageControl1->setCurrentIndex(2);
    QCOMPARE(w->parentEdits[0]->text(), QStringLiteral("Петрова"));
    // A change is stored by moving to the next student.
    typeText(w->parentEdits[3], QStringLiteral("Тула"));
    click(w->NextButton);
    QCOMPARE(f.scalar("SELECT City FROM Parents WHERE N_Student = '0000001'").toString(),
             QStringLiteral("Тула"));
    // Anna has no parent: the edits are empty and a new row takes her number.
    for (const DBEdit* e : w->parentEdits) QCOMPARE(e->text(), QString());
    click(w->ParentEditButton);
    QCOMPARE(DM->T_Parents->state(), DatasetState::Insert);
    typeText(w->parentEdits[0], QStringLiteral("Иванов"));
    click(w->ParentSaveButton);
    QCOMPARE(f.scalar("SELECT PFam FROM Parents WHERE N_Student = '0000002'").toString(),
             QStringLiteral("Иванов"));
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(failureOf([w] { w->ParentSaveButtonClick(); }),
             QStringLiteral("Dataset not in edit or insert mode"));
    QCOMPARE(f.scalar("SELECT count(*) FROM Parents").toInt(), 2);
}

void TestStudentWindow::cardFollowsTheCurrentStudent() {
    StudentsFixture f;
    StudentsFixture::writePicture(f.photoFolder() + QStringLiteral("/0000002.BMP"), 50, 60,
                                  Qt::green);
    DM->Q_Studenti->setRecNo(1);
    DM->Q_Studenti->edit();
    DM->Q_StudentiFoto->setAsString(QStringLiteral("0000002.BMP"));
    DM->Q_Studenti->post();
    DM->Q_Studenti->first();
    TStuds* w = f.openWindow();
    QVERIFY(w->Placeholder->isVisible());
    DM->Q_Studenti->next();
    QVERIFY(w->Photo->isVisible());
    QVERIFY(!w->Placeholder->isVisible());
    // A small photo is stretched, in proportion, to fill its box.
    QCOMPARE(w->Photo->pixmap().size(), QSize(141, 170));
    QCOMPARE(w->statusPanels[2]->text(), QStringLiteral("Иванова"));
    QCOMPARE(w->statusPanels[5]->text(), QStringLiteral("090303"));
    // On another page the status bar still follows; the photo waits for the card page.
    w->PageControl1->setCurrentIndex(2);
    DM->Q_Studenti->next();
    QCOMPARE(w->statusPanels[2]->text(), QStringLiteral("Сидоров"));
    QVERIFY(!w->Placeholder->isVisible());
    w->PageControl1->setCurrentIndex(0);
    QVERIFY(w->Placeholder->isVisible());
    // A hidden window is left alone.
    w->hide();
    DM->Q_Studenti->next();
    QCOMPARE(w->statusPanels[2]->text(), QStringLiteral("Сидоров"));
}

void TestStudentWindow::unreadablePhotoIsReportedAndTheMoveStands() {
    StudentsFixture f(QStringLiteral("UPDATE Studenti SET Foto = '0000002.BMP' WHERE N_student = '0000002'"));
    writeFile(f.photoFolder() + QStringLiteral("/0000002.BMP"), "BM not a picture");
    TStuds* w = f.openWindow();
    QCOMPARE(failureOf([] { DM->Q_Studenti->next(); }), QStringLiteral("Bitmap image is not valid"));
    QCOMPARE(current(DM->Q_StudentiN_student), QStringLiteral("0000002"));
    QCOMPARE(w->statusPanels[2]->text(), QStringLiteral("Петров"));
    DM->Q_Studenti->next();
    QCOMPARE(w->statusPanels[2]->text(), QStringLiteral("Сидоров"));
}

void TestStudentWindow::closingEmptiesTheReference() {
    StudentsFixture f;
    TStuds* w = f.openWindow();
    QPointer<TStuds> guard(w);
    w->close();
    QVERIFY(guard.isNull() || QTest::qWaitFor([&] { return guard.isNull(); }));
    QCOMPARE(Studs, nullptr);
    // Moving now reaches no window.
    DM->Q_Studenti->next();
}

void TestStudentWindow::deletingTheLastStudentEmptiesTheCard() {
    StudentsFixture f(QStringLiteral("UPDATE Studenti SET Foto = '0000004.BMP' WHERE N_student = '0000004'"));
    StudentsFixture::writePicture(f.photoFolder() + QStringLiteral("/0000004.BMP"), 40, 40,
                                  Qt::red);
    TStuds* w = f.openWindow();
    platform::MessageRecorder messages;
    while (DM->Q_Studenti->recordCount() > 1) w->DeleteButtonClick();
    QVERIFY(w->Photo->isVisible());
    QCOMPARE(panels(w)[2], QStringLiteral("иванов"));
    w->DeleteButtonClick();
    QCOMPARE(panels(w), (QStringList{"Номер", "", "", "", "Специальность", ""}));
    QVERIFY(w->Placeholder->isVisible());
    QVERIFY(!w->Photo->isVisible());
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestStudentWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_student_window.moc"
