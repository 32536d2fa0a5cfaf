// The teacher window as the office uses it: the card and its pickers, the
// list, giving a photo, the navigator's questions, new teachers and their
// numbers, every open window following the current teacher, and how the main
// window opens teacher windows.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <functional>

#include "Application.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBNavigator.h"
#include "DBRadioGroup.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "FileBytes.h"
#include "GridModel.h"
#include "HandlerFailure.h"
#include "Messages.h"
#include "PictureDialog.h"
#include "Prepod.h"
#include "References.h"
#include "TESSALY_MainForm.h"
#include "TeachersFixture.h"
#include "TypeText.h"

namespace {

QString current(const Field* field) {
    return field->asString();
}

void press(DBNavigator* navigator, DBNavigator::Button b) {
    QTest::mouseClick(navigator->button(b), Qt::LeftButton);
}

QStringList panels(const TPrep* w) {
    QStringList texts;
    for (const QLabel* l : w->statusPanels) texts << l->text();
    return texts;
}

QStringList offered(const DBLookupComboBox* picker) {
    QStringList texts;
    for (int i = 0; i < picker->model()->rowCount(); ++i)
        texts << picker->model()->index(i, 0).data().toString();
    return texts;
}

void writePicture(const QString& path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.save(path);
}

}  // namespace

class TestTeacherWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void opensOnTheTeacherPage();
    void sexStoresItsLetter_data();
    void sexStoresItsLetter();
    void pickersFollowTheTeacher();
    void departmentOfAnotherFacultyShowsEmpty();
    void photoLoading();
    void navigatorDeleteAsks_data();
    void navigatorDeleteAsks();
    void newTeacherTakesTheNextNumber_data();
    void newTeacherTakesTheNextNumber();
    void untouchedNewTeacherIsDropped();
    void clearedNumberIsRefused();
    void everyShownWindowFollows();
    void unreadablePhotoIsReportedAndTheMoveStands();
    void closingHidesAndReopeningFindsTheSameTeacher();
    void buttonOpensANewWindowMenuOnlyTheFirst();
};

void TestTeacherWindow::opensOnTheTeacherPage() {
    TeachersFixture f;
    TPrep* w = f.openWindow();
    QVERIFY(w);
    QCOMPARE(Prep, w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Преподаватели"));
    QCOMPARE(w->PageControl1->currentIndex(), 0);
    QCOMPARE(w->PageControl1->tabText(1), QStringLiteral("Должности, научные звания, степени"));
    QStringList titles;
    for (int c = 0; c < w->DBGrid1->model()->columnCount(); ++c)
        titles << w->DBGrid1->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Фамилия", "Имя", "Отчество", "День рождения", "Место рожд",
                                  "Пол", "Гражданство", "Kur_Gr", "City", "Street", "House", "Apar",
                                  "Foto", "FIO"}));
    QCOMPARE(w->DBGrid1->columnWidth(0), 153);
    QCOMPARE(w->DBGrid1->columnWidth(13), 60);
    // From the start the card names the first teacher, number included.
    QCOMPARE(w->NumberEdit->text(), QStringLiteral("3"));
    QVERIFY(!w->NumberEdit->isEnabled());
    QCOMPARE(panels(w), (QStringList{"Номер", "3", "Соколова", "Анна", "Петровна"}));
    QVERIFY(w->Placeholder->isVisible());
    QVERIFY(!w->Photo->isVisible());
    QCOMPARE(w->DBNavigator1->button(DBNavigator::Cancel)->toolTip(),
             QStringLiteral("отмена изменений"));
}

void TestTeacherWindow::sexStoresItsLetter_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("stored");
    QTest::newRow("0 - Мужской") << 0 << "м";
    QTest::newRow("1 - Женский") << 1 << "ж";
}

void TestTeacherWindow::sexStoresItsLetter() {
    QFETCH(int, item);
    QFETCH(QString, stored);
    TeachersFixture f(QStringLiteral("UPDATE Prepodavateli SET \"Пол\" = NULL"));
    TPrep* w = f.openWindow();
    QCOMPARE(w->SexGroup->itemIndex(), -1);
    QTest::mouseClick(w->SexGroup->button(item), Qt::LeftButton);
    QCOMPARE(DM->Q_Prepod->state(), DatasetState::Edit);
    press(w->DBNavigator1, DBNavigator::Post);
    QCOMPARE(f.scalar("SELECT \"Пол\" FROM Prepodavateli WHERE ID_Prepod = 3").toString(), stored);
    const int row = DM->Q_Prepod->recNo();
    QCOMPARE(w->DBGrid1->model()->index(row, 5).data().toString(), stored);
}

void TestTeacherWindow::pickersFollowTheTeacher() {
    TeachersFixture f;
    TPrep* w = f.openWindow();
    QCOMPARE(w->KafedraPicker->displayText(), QStringLiteral("Алгебры"));
    QCOMPARE(w->GroupPicker->displayText(), QStringLiteral("ПИ-21"));
    QCOMPARE(w->DolgnostPicker->displayText(), QStringLiteral("доц."));
    QCOMPARE(w->ZvaniePicker->displayText(), QStringLiteral("доцент"));
    QCOMPARE(w->StepenPicker->displayText(), QStringLiteral("кандидат технических наук"));
    press(w->DBNavigator1, DBNavigator::Last);
    QCOMPARE(current(DM->Q_PrepodDSDesigner), QStringLiteral("Лебедев"));
    QCOMPARE(w->KafedraPicker->displayText(), QStringLiteral("Программирования"));
    QCOMPARE(current(DM->T_KafedraNazvanie), QStringLiteral("Программирования"));
    QCOMPARE(w->GroupPicker->displayText(), QStringLiteral("ПИ-22"));
    QCOMPARE(w->ZvaniePicker->displayText(), QString());
    // Choosing writes the chosen key into the teacher at once.
    w->ZvaniePicker->setFocus();
    QTest::keyClick(w->ZvaniePicker, Qt::Key_Down);
    QCOMPARE(DM->Q_Prepod->state(), DatasetState::Edit);
    QVERIFY(!current(DM->Q_PrepodDSDesigner11).isEmpty());
    QCOMPARE(w->ZvaniePicker->displayText(), current(DM->T_ZvanieNAME));
    press(w->DBNavigator1, DBNavigator::Post);
    QCOMPARE(f.scalar("SELECT \"Звание\" FROM Prepodavateli WHERE ID_Prepod = 5").toString(),
             current(DM->T_ZvanieID_Zvanie));
}

void TestTeacherWindow::departmentOfAnotherFacultyShowsEmpty() {
    TeachersFixture f;
    TPrep* w = f.openWindow();
    press(w->DBNavigator1, DBNavigator::Next);
    QCOMPARE(current(DM->Q_PrepodDSDesigner), QStringLiteral("Ким"));
    // Ким works for the other faculty and curates a group of its specialty.
    QCOMPARE(w->KafedraPicker->displayText(), QString());
    QCOMPARE(offered(w->KafedraPicker), (QStringList{"Алгебры", "Программирования"}));
    QCOMPARE(w->GroupPicker->displayText(), QString());
    QCOMPARE(offered(w->GroupPicker), (QStringList{"ПИ-21", "ПИ-22"}));
    // Another change keeps his department and group as they are.
    typeText(w->CityEdit, QStringLiteral("Омск"));
    press(w->DBNavigator1, DBNavigator::Post);
    QCOMPARE(f.scalar("SELECT ID_kafedra FROM Prepodavateli WHERE ID_Prepod = 8").toInt(), 21);
    QCOMPARE(f.scalar("SELECT Kur_Gr FROM Prepodavateli WHERE ID_Prepod = 8").toInt(), 3);
    QCOMPARE(f.scalar("SELECT City FROM Prepodavateli WHERE ID_Prepod = 8").toString(),
             QStringLiteral("Омск"));
}

void TestTeacherWindow::photoLoading() {
    TeachersFixture f;
    TPrep* w = f.openWindow();
    platform::PictureDialogRecorder dialog;
    platform::MessageRecorder messages;
    const QString png = f.path(QStringLiteral("face.png"));
    const QString lowerBmp = f.path(QStringLiteral("face.bmp"));
    const QString bmp = f.path(QStringLiteral("face.BMP"));
    const QString jpg = f.path(QStringLiteral("other.jpg"));
    writePicture(png, 40, 40);
    writePicture(lowerBmp, 40, 40);
    writePicture(bmp, 402, 185);
    writePicture(jpg, 100, 370);

    dialog.answer(QString());
    QTest::mouseClick(w->PhotoButton, Qt::LeftButton);
    QCOMPARE(dialog.requests().size(), size_t(1));
    QCOMPARE(dialog.requests()[0].filter,
             QStringLiteral("All (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp;*|JPEG Image File "
                            "(*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp"));
    QCOMPARE(DM->Q_Prepod->state(), DatasetState::Edit);
    QVERIFY(w->Placeholder->isVisible());

    for (const QString& refused : {png, lowerBmp}) {
        dialog.answer(refused);
        QTest::mouseClick(w->PhotoButton, Qt::LeftButton);
        QCOMPARE(current(DM->Q_PrepodFoto), QString());
        QVERIFY(w->Placeholder->isVisible());
    }
    QCOMPARE(QDir(f.photoFolder()).entryList(QDir::Files), QStringList());

    dialog.answer(bmp);
    QTest::mouseClick(w->PhotoButton, Qt::LeftButton);
    QCOMPARE(current(DM->Q_PrepodFoto), QStringLiteral("3.BMP"));
    QVERIFY(QFile::exists(f.photoFolder() + QStringLiteral("/3.BMP")));
    QVERIFY(w->Photo->isVisible());
    QVERIFY(!w->Placeholder->isVisible());
    // Shrunk proportionally into the 201 × 185 area.
    QCOMPARE(w->Photo->pixmap().size(), QSize(201, 92));

    // Stored by a move; cancelling afterwards changes nothing.
    press(w->DBNavigator1, DBNavigator::Next);
    QVERIFY(w->Placeholder->isVisible());
    press(w->DBNavigator1, DBNavigator::First);
    QCOMPARE(f.scalar("SELECT Foto FROM Prepodavateli WHERE ID_Prepod = 3").toString(),
             QStringLiteral("3.BMP"));
    QVERIFY(w->Photo->isVisible());
    dialog.answer(QString());
    QTest::mouseClick(w->PhotoButton, Qt::LeftButton);
    QVERIFY(w->Photo->isVisible());
    QCOMPARE(current(DM->Q_PrepodFoto), QStringLiteral("3.BMP"));

    // The other accepted kind makes a second file, which the teacher's photo now names.
    dialog.answer(jpg);
    QTest::mouseClick(w->PhotoButton, Qt::LeftButton);
    QCOMPARE(current(DM->Q_PrepodFoto), QStringLiteral("3.jpg"));
    QCOMPARE(w->Photo->pixmap().size(), QSize(50, 185));
    QCOMPARE(QDir(f.photoFolder()).entryList(QDir::Files), (QStringList{"3.BMP", "3.jpg"}));
    QVERIFY(messages.texts().isEmpty());
}

void TestTeacherWindow::navigatorDeleteAsks_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("Cancel keeps the teacher") << false;
    QTest::newRow("OK deletes the teacher") << true;
}

void TestTeacherWindow::navigatorDeleteAsks() {
    QFETCH(bool, ok);
    TeachersFixture f;
    TPrep* w = f.openWindow();
    platform::MessageRecorder messages;
    messages.answer(ok ? platform::Answer::Ok : platform::Answer::Cancel);
    press(w->DBNavigator1, DBNavigator::Delete);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Delete record?")});
    QCOMPARE(f.scalar("SELECT count(*) FROM Prepodavateli WHERE ID_Prepod = 3").toInt(),
             ok ? 0 : 1);
    QCOMPARE(current(DM->Q_PrepodDSDesigner),
             ok ? QStringLiteral("Ким") : QStringLiteral("Соколова"));
    QCOMPARE(panels(w)[2], current(DM->Q_PrepodDSDesigner));
}

void TestTeacherWindow::newTeacherTakesTheNextNumber_data() {
    QTest::addColumn<bool>("fromList");
    QTest::newRow("navigator's insert") << false;
    QTest::newRow("Insert in the list") << true;
}

void TestTeacherWindow::newTeacherTakesTheNextNumber() {
    QFETCH(bool, fromList);
    TeachersFixture f;
    TPrep* w = f.openWindow();
    platform::MessageRecorder messages;
    platform::PictureDialogRecorder dialog;
    if (fromList) {
        w->DBGrid1->setFocus();
        QTest::keyClick(w->DBGrid1, Qt::Key_Insert);
    } else {
        press(w->DBNavigator1, DBNavigator::Insert);
    }
    QCOMPARE(DM->Q_Prepod->state(), DatasetState::Insert);
    QCOMPARE(w->NumberEdit->text(), QStringLiteral("9"));
    QCOMPARE(panels(w), (QStringList{"Номер", "9", "", "", ""}));
    // In the list the surname is typed into its cell: leaving the list drops an untouched row.
    if (fromList)
        for (const QChar c : QStringLiteral("Зуев"))
            typeText(w->DBGrid1->editor() ? w->DBGrid1->editor() : w->DBGrid1, QString(c));
    else
        typeText(w->FamEdit, QStringLiteral("Зуев"));
    // The photo of the new teacher is named by its number.
    const QString bmp = f.path(QStringLiteral("new.BMP"));
    writePicture(bmp, 20, 20);
    dialog.answer(bmp);
    QTest::mouseClick(w->PhotoButton, Qt::LeftButton);
    QVERIFY(QFile::exists(f.photoFolder() + QStringLiteral("/9.BMP")));
    press(w->DBNavigator1, DBNavigator::Post);
    QCOMPARE(DM->Q_Prepod->state(), DatasetState::Browse);
    QCOMPARE(f.scalar("SELECT \"Фамилия\" || '/' || Foto FROM Prepodavateli WHERE ID_Prepod = 9")
                 .toString(),
             QStringLiteral("Зуев/9.BMP"));
    QVERIFY(messages.texts().isEmpty());
    // The next one goes on from there.
    press(w->DBNavigator1, DBNavigator::Insert);
    QCOMPARE(w->NumberEdit->text(), QStringLiteral("10"));
}

void TestTeacherWindow::untouchedNewTeacherIsDropped() {
    TeachersFixture f;
    TPrep* w = f.openWindow();
    platform::MessageRecorder messages;
    w->DBGrid1->setFocus();
    QTest::keyClick(w->DBGrid1, Qt::Key_Insert);
    QCOMPARE(DM->Q_Prepod->state(), DatasetState::Insert);
    // Leaving the list drops the row it started, number and all.
    w->FamEdit->setFocus();
    QVERIFY(QTest::qWaitFor([] { return DM->Q_Prepod->state() == DatasetState::Browse; }));
    QCOMPARE(DM->Q_Prepod->recordCount(), 3);
    press(w->DBNavigator1, DBNavigator::Insert);
    press(w->DBNavigator1, DBNavigator::Next);
    QCOMPARE(f.scalar("SELECT count(*) FROM Prepodavateli").toInt(), 3);
    QVERIFY(messages.texts().isEmpty());
}

void TestTeacherWindow::clearedNumberIsRefused() {
    TeachersFixture f;
    TPrep* w = f.openWindow();
    press(w->DBNavigator1, DBNavigator::Insert);
    typeText(w->FamEdit, QStringLiteral("Зуев"));
    DM->Q_PrepodID_Prepod->clear();
    QCOMPARE(w->NumberEdit->text(), QString());
    QCOMPARE(failureOf([w] { w->DBNavigator1->click(DBNavigator::Post); }),
             QStringLiteral("Field 'Код' must have a value"));
    QCOMPARE(DM->Q_Prepod->state(), DatasetState::Insert);
    QCOMPARE(f.scalar("SELECT count(*) FROM Prepodavateli").toInt(), 3);
}

void TestTeacherWindow::everyShownWindowFollows() {
    TeachersFixture f(
        QStringLiteral("UPDATE Prepodavateli SET Foto = '8.BMP' WHERE ID_Prepod = 8"));
    writePicture(f.photoFolder() + QStringLiteral("/8.BMP"), 50, 50);
    DM->Q_Prepod->next();
    TPrep* older = f.openWindow();
    // The photo is right from the moment the window opens.
    QVERIFY(older->Photo->isVisible());
    TPrep* hidden = f.openWindow();
    TPrep* newest = f.openWindow();
    QCOMPARE(Prep, newest);
    hidden->close();
    QVERIFY(!hidden->isVisible());
    DM->Q_Prepod->next();
    for (TPrep* w : {older, newest}) {
        QCOMPARE(panels(w), (QStringList{"Номер", "5", "Лебедев", "Иван", "Ильич"}));
        QVERIFY(w->Placeholder->isVisible());
    }
    QCOMPARE(panels(hidden)[2], QStringLiteral("Ким"));
    DM->Q_Prepod->prior();
    QVERIFY(older->Photo->isVisible());
    QCOMPARE(older->Photo->pixmap().size(), QSize(185, 185));
    QCOMPARE(panels(older)[2], QStringLiteral("Ким"));
    // A window coming back shows the teacher of now.
    hidden->show();
    QCOMPARE(panels(hidden)[2], QStringLiteral("Ким"));
    QVERIFY(hidden->Photo->isVisible());
}

void TestTeacherWindow::unreadablePhotoIsReportedAndTheMoveStands() {
    TeachersFixture f(
        QStringLiteral("UPDATE Prepodavateli SET Foto = '8.BMP' WHERE ID_Prepod = 8"));
    writeFile(f.photoFolder() + QStringLiteral("/8.BMP"), "BM not a picture");
    TPrep* older = f.openWindow();
    TPrep* newest = f.openWindow();
    QCOMPARE(failureOf([] { DM->Q_Prepod->next(); }), QStringLiteral("Bitmap image is not valid"));
    QCOMPARE(current(DM->Q_PrepodDSDesigner), QStringLiteral("Ким"));
    for (TPrep* w : {older, newest}) QCOMPARE(panels(w)[2], QStringLiteral("Соколова"));
    DM->Q_Prepod->next();
    for (TPrep* w : {older, newest}) QCOMPARE(panels(w)[2], QStringLiteral("Лебедев"));
}

void TestTeacherWindow::closingHidesAndReopeningFindsTheSameTeacher() {
    TeachersFixture f;
    platform::MessageRecorder messages;
    Tform_m form(f.path(QStringLiteral("bin/tessaly")));
    QTest::mouseClick(form.Button2, Qt::LeftButton);
    QPointer<TPrep> first(Prep);
    QVERIFY(first);
    QVERIFY(first->isVisible());
    press(first->DBNavigator1, DBNavigator::Next);
    first->PageControl1->setCurrentIndex(1);
    first->close();
    QApplication::processEvents();
    QVERIFY(first);
    QVERIFY(!first->isVisible());
    QCOMPARE(Prep, first.data());
    QCOMPARE(first->PageControl1->currentIndex(), 1);
    QTest::mouseClick(form.Button2, Qt::LeftButton);
    QVERIFY(Prep != first.data());
    QCOMPARE(Prep->FamEdit->text(), QStringLiteral("Ким"));
    QCOMPARE(panels(Prep)[2], QStringLiteral("Ким"));
    QCOMPARE(messages.texts(), QStringList());
}

void TestTeacherWindow::buttonOpensANewWindowMenuOnlyTheFirst() {
    TeachersFixture f;
    platform::MessageRecorder messages;
    {
        Tform_m form(f.path(QStringLiteral("bin/tessaly")));
        auto windows = [&] { return form.findChildren<TPrep*>(); };
        for (int i = 0; i < 3; ++i) QTest::mouseClick(form.Button2, Qt::LeftButton);
        QCOMPARE(windows().size(), 3);
        QCOMPARE(Prep, windows().last());
        for (TPrep* w : windows()) QVERIFY(w->isVisible());
        form.TeachersItem->trigger();
        QCOMPARE(windows().size(), 3);
        // Closed windows are only hidden, so the menu item still opens nothing.
        for (TPrep* w : windows()) w->close();
        form.TeachersItem->trigger();
        QCOMPARE(windows().size(), 3);
    }
    QCOMPARE(Prep, nullptr);
    Tform_m form(f.path(QStringLiteral("bin/tessaly")));
    form.TeachersItem->trigger();
    QCOMPARE(form.findChildren<TPrep*>().size(), 1);
    QVERIFY(Prep->isVisible());
    QCOMPARE(Prep->PageControl1->currentIndex(), 0);
    QCOMPARE(messages.texts(), QStringList());
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestTeacherWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_teacher_window.moc"
