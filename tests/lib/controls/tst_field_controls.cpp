// The single-field controls and the record navigator, driven by keyboard and
// mouse on a small register of faculties, groups and students: what typing
// does to the dataset, what is written and when, what each control marks,
// and how a lookup picker moves its list.
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <tuple>

#include "DBComboBox.h"
#include "DBEdit.h"
#include "DBLookupComboBox.h"
#include "DBNavigator.h"
#include "DBRadioGroup.h"
#include "DBText.h"
#include "DataError.h"
#include "Dataset.h"
#include "EditBinding.h"
#include "Messages.h"
#include "TestDb.h"
#include "TypeText.h"

namespace {

const QString schema = QStringLiteral(R"(
CREATE TABLE Fak (ID_Fak INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT(40));
CREATE TABLE Grp (ID_Group INTEGER PRIMARY KEY AUTOINCREMENT, ID_Fak INTEGER, Name TEXT(10));
CREATE TABLE Stud (N TEXT(7), Fam TEXT(12), Sex TEXT(1), Family TEXT(20), ID_Group INTEGER,
    Kurs SMALLINT, Birth DATETIME);
INSERT INTO Fak (Name) VALUES ('Экономический'), ('Физический'), ('Юридический');
INSERT INTO Grp (ID_Fak, Name) VALUES (1, 'ЭК-11'), (1, 'ЭК-12'), (2, 'ФИ-21'), (3, 'ЮР-31');
INSERT INTO Stud VALUES ('101', 'Иванов', 'М', 'холост', 1, 1, '2004-05-06'),
    ('102', 'Петрова', 'Ж', NULL, 3, 2, NULL),
    ('103', 'Сидоров', 'м', 'женат', 4, 3, NULL)
)");

// The three tables with groups as the faculty's detail, as the card windows use them.
struct Register {
    TestDb db{schema};
    Table fak, grp, stud;
    DataSource fakSource, grpSource, studSource;

    Register() {
        fak.setConnection(&db.connection());
        fak.setTableName(QStringLiteral("Fak"));
        fak.setIndexFieldNames(QStringLiteral("ID_Fak"));
        grp.setConnection(&db.connection());
        grp.setTableName(QStringLiteral("Grp"));
        grp.setIndexFieldNames(QStringLiteral("ID_Fak;ID_Group"));
        stud.setConnection(&db.connection());
        stud.setTableName(QStringLiteral("Stud"));
        stud.setIndexFieldNames(QStringLiteral("N"));
        fakSource.setDataset(&fak);
        grpSource.setDataset(&grp);
        studSource.setDataset(&stud);
        fak.open();
        grp.setMaster(&fakSource, QStringLiteral("ID_Fak"));
        grp.open();
        stud.open();
    }
    QString studColumn(const QString& n, const QString& column) {
        return db.scalar(QStringLiteral("SELECT %1 FROM Stud WHERE N = '%2'").arg(column, n))
            .toString();
    }
};

// A window with the controls under test and somewhere else for the focus to go.
struct Window {
    QWidget widget;
    QLineEdit elsewhere{&widget};
    Window() {
        elsewhere.move(0, 200);
        widget.resize(400, 260);
    }
    void show() {
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QApplication::setActiveWindow(&widget);
    }
    void leave() { elsewhere.setFocus(); }
};

// A radio button takes clicks on its mark and caption only.
void clickRadio(QRadioButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
}

// A bound edit on a column of the students, in a window.
struct StudentEdit {
    Register r;
    Window w;
    DBEdit edit{&w.widget};
    explicit StudentEdit(const QString& column) {
        edit.setDataSource(&r.studSource);
        edit.setDataField(column);
    }
    std::tuple<Register&, Window&, DBEdit&> parts() { return {r, w, edit}; }
};

// An unbound picker offering the faculties, in a window.
struct FacultyPicker {
    Register r;
    Window w;
    DBLookupComboBox picker{&w.widget};
    FacultyPicker() {
        picker.setListSource(&r.fakSource);
        picker.setKeyField(QStringLiteral("ID_Fak"));
        picker.setListField(QStringLiteral("Name"));
    }
    std::tuple<Register&, Window&, DBLookupComboBox&> parts() { return {r, w, picker}; }
};

void typeInto(QWidget* w, const QString& text) {
    w->setFocus();
    typeText(w, text);
}

}  // namespace

class TestFieldControls : public QObject {
    Q_OBJECT

private slots:
    void editTypingEditsAndWritesOnLeaving();
    void editWritesWhenTheDatasetSettles();
    void editEscapeRestoresTheValue();
    void editLimits_data();
    void editLimits();
    void editRefusesCharactersTheFieldCannotHold();
    void editTypingIntoAnEmptyDatasetInsertsAndKeepsTheText();
    void editReadOnlyDatasetTakesNoTyping();
    void editRefusedTextIsReportedOnceAndKeptForCorrecting_data();
    void editRefusedTextIsReportedOnceAndKeptForCorrecting();

    void choiceBoxStoresItemsAndFreeText();

    void radioGroupMarksOnlyAnExactMatch_data();
    void radioGroupMarksOnlyAnExactMatch();
    void radioGroupClickEditsAndWritesTheItemValue();

    void pickerKeyLocatesTheList();
    void pickerUnboundRechoosingDoesNothing();
    void pickerBoundFollowsTheRowAndWritesAtOnce();
    void pickerReadOnlyIgnoresChoosing();
    void pickerOpeningLocatesTheCurrentEntry();
    void pickerTypingSearchesByPrefix();
    void pickerUpAndDownChooseNeighbours();

    void navigatorEnablesOnlyWhatCanAct();
    void navigatorDeleteAsksFirst();

    void labelShowsTheDisplayText();
};

void TestFieldControls::editTypingEditsAndWritesOnLeaving() {
    StudentEdit f(QStringLiteral("Fam"));
    auto [r, w, edit] = f.parts();
    w.show();
    QCOMPARE(edit.text(), QStringLiteral("Иванов"));
    edit.setFocus();
    QCOMPARE(r.stud.state(), DatasetState::Browse);
    QTest::keyClick(&edit, Qt::Key_End);
    QCOMPARE(r.stud.state(), DatasetState::Browse);
    typeText(&edit, QStringLiteral("а"));
    QCOMPARE(r.stud.state(), DatasetState::Edit);
    QCOMPARE(r.stud.fieldByName(QStringLiteral("Fam")).asString(), QStringLiteral("Иванов"));
    w.leave();
    QCOMPARE(r.stud.fieldByName(QStringLiteral("Fam")).asString(), QStringLiteral("Иванова"));
    QVERIFY(r.stud.isModified());
    QCOMPARE(r.studColumn("101", "Fam"), QStringLiteral("Иванов"));
    r.stud.post();
    QCOMPARE(r.studColumn("101", "Fam"), QStringLiteral("Иванова"));
}

void TestFieldControls::editWritesWhenTheDatasetSettles() {
    StudentEdit f(QStringLiteral("Family"));
    auto [r, w, edit] = f.parts();
    w.show();
    typeInto(&edit, QStringLiteral(" и дети"));
    // Moving settles the row while the edit still has the focus.
    r.stud.next();
    QCOMPARE(r.studColumn("101", "Family"), QStringLiteral("холост и дети"));
    QCOMPARE(edit.text(), QString());
    QCOMPARE(r.stud.state(), DatasetState::Browse);
}

void TestFieldControls::editEscapeRestoresTheValue() {
    StudentEdit f(QStringLiteral("Fam"));
    auto [r, w, edit] = f.parts();
    w.show();
    typeInto(&edit, QStringLiteral("xyz"));
    QTest::keyClick(&edit, Qt::Key_Escape);
    QCOMPARE(edit.text(), QStringLiteral("Иванов"));
    w.leave();
    r.stud.checkBrowseMode();
    QCOMPARE(r.studColumn("101", "Fam"), QStringLiteral("Иванов"));
    QVERIFY(!r.stud.isModified());
}

void TestFieldControls::editLimits_data() {
    QTest::addColumn<int>("windowLimit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    // The column holds 7 characters.
    QTest::newRow("column size") << 0 << QStringLiteral("12345678") << QStringLiteral("1234567");
    QTest::newRow("window limit") << 4 << QStringLiteral("123456") << QStringLiteral("1234");
}

void TestFieldControls::editLimits() {
    QFETCH(int, windowLimit);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    StudentEdit f(QStringLiteral("N"));
    auto [r, w, edit] = f.parts();
    edit.setLimit(windowLimit);
    w.show();
    edit.setFocus();
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    typeText(&edit, typed);
    QCOMPARE(edit.text(), stored);
    w.leave();
    r.stud.post();
    QCOMPARE(r.db.rows("SELECT N FROM Stud ORDER BY rowid").value(0), stored);
}

void TestFieldControls::editRefusesCharactersTheFieldCannotHold() {
    StudentEdit f(QStringLiteral("Kurs"));
    auto [r, w, kurs] = f.parts();
    w.show();
    kurs.setFocus();
    QTest::keyClick(&kurs, Qt::Key_End);
    typeText(&kurs, QStringLiteral("x"));
    QCOMPARE(kurs.text(), QStringLiteral("1"));
    QCOMPARE(r.stud.state(), DatasetState::Browse);
    typeText(&kurs, QStringLiteral("2"));
    QCOMPARE(kurs.text(), QStringLiteral("12"));
    w.leave();
    QCOMPARE(r.stud.fieldByName(QStringLiteral("Kurs")).asInteger(), 12);
}

void TestFieldControls::editTypingIntoAnEmptyDatasetInsertsAndKeepsTheText() {
    Register r;
    r.stud.setFilterText(QStringLiteral("N = '999'"));
    r.stud.setFiltered(true);
    QVERIFY(r.stud.isEmpty());
    Window w;
    DBEdit edit(&w.widget);
    edit.setDataSource(&r.studSource);
    edit.setDataField(QStringLiteral("N"));
    w.show();
    typeInto(&edit, QStringLiteral("999"));
    QCOMPARE(r.stud.state(), DatasetState::Insert);
    QCOMPARE(edit.text(), QStringLiteral("999"));
    w.leave();
    r.stud.post();
    QCOMPARE(r.db.scalar("SELECT count(*) FROM Stud WHERE N = '999'").toInt(), 1);
}

void TestFieldControls::editReadOnlyDatasetTakesNoTyping() {
    Register r;
    r.stud.close();
    r.stud.setReadOnly(true);
    r.stud.open();
    Window w;
    DBEdit edit(&w.widget);
    edit.setDataSource(&r.studSource);
    edit.setDataField(QStringLiteral("Fam"));
    w.show();
    typeInto(&edit, QStringLiteral("zz"));
    QCOMPARE(edit.text(), QStringLiteral("Иванов"));
    QCOMPARE(r.stud.state(), DatasetState::Browse);
}

void TestFieldControls::editRefusedTextIsReportedOnceAndKeptForCorrecting_data() {
    QTest::addColumn<bool>("leavingFirst");
    // Leaving the edit writes the text; the save that follows writes it again.
    QTest::newRow("leaving, then saving") << true;
    // The save writes the text; its message box then takes the focus.
    QTest::newRow("saving, then a message box") << false;
}

void TestFieldControls::editRefusedTextIsReportedOnceAndKeptForCorrecting() {
    QFETCH(bool, leavingFirst);
    StudentEdit f(QStringLiteral("Birth"));
    auto [r, w, edit] = f.parts();
    w.show();
    platform::MessageRecorder messages;
    edit.setFocus();
    edit.selectAll();
    typeText(&edit, QStringLiteral("31.02.2024"));
    QString refused;
    if (leavingFirst) {
        w.leave();
        QCOMPARE(messages.texts().size(), 1);
        refused = messages.texts().first();
        // The same text again ends the save without a second message.
        QVERIFY_THROWS_EXCEPTION(platform::SilentAbort, r.stud.post());
    } else {
        try {
            r.stud.post();
        } catch (const DataError& e) {
            refused = platform::errorText(QString::fromUtf8(e.what()));
        }
        {
            QWidget box;
            box.show();
            QApplication::setActiveWindow(&box);
        }
        // The box is closed: its window's own notices pass, then the window is active again.
        QApplication::processEvents();
        QApplication::setActiveWindow(&w.widget);
    }
    QVERIFY(refused.contains(QStringLiteral("31.02.2024")));
    QCOMPARE(messages.texts().size(), leavingFirst ? 1 : 0);
    QVERIFY(r.stud.isEditing());
    // The text waits in the edit, selected, and what is typed next corrects it.
    QTRY_COMPARE(edit.selectedText(), QStringLiteral("31.02.2024"));
    QCOMPARE(QApplication::focusWidget(), &edit);
    typeText(&edit, QStringLiteral("28.02.2024"));
    r.stud.post();
    QCOMPARE(r.studColumn("101", "Birth"), QStringLiteral("2024-02-28"));
    QCOMPARE(messages.texts().size(), leavingFirst ? 1 : 0);
}

void TestFieldControls::choiceBoxStoresItemsAndFreeText() {
    Register r;
    Window w;
    DBComboBox box(&w.widget);
    box.addItems({QStringLiteral("холост"), QStringLiteral("женат"), QStringLiteral("замужем")});
    box.setDataSource(&r.studSource);
    box.setDataField(QStringLiteral("Family"));
    w.show();
    QCOMPARE(box.currentText(), QStringLiteral("холост"));
    box.setFocus();
    // Down chooses the next item, as a user scrolling the closed box does.
    QTest::keyClick(&box, Qt::Key_Down);
    QCOMPARE(r.stud.state(), DatasetState::Edit);
    QCOMPARE(box.currentText(), QStringLiteral("женат"));
    r.stud.next();
    QCOMPARE(r.studColumn("101", "Family"), QStringLiteral("женат"));
    QCOMPARE(box.currentText(), QString());
    box.setFocus();
    typeText(box.lineEdit(), QStringLiteral("в разводе"));
    w.leave();
    r.stud.post();
    QCOMPARE(r.studColumn("102", "Family"), QStringLiteral("в разводе"));
}

void TestFieldControls::radioGroupMarksOnlyAnExactMatch_data() {
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("marked");
    const QStringList captionsOnly;
    QTest::newRow("caption М") << captionsOnly << 0 << 0;
    QTest::newRow("caption Ж") << captionsOnly << 1 << 1;
    QTest::newRow("lower-case м marks none") << captionsOnly << 2 << -1;
    QTest::newRow("values differ from captions")
        << QStringList{QStringLiteral("Ж"), QStringLiteral("М")} << 0 << 1;
}

void TestFieldControls::radioGroupMarksOnlyAnExactMatch() {
    QFETCH(QStringList, values);
    QFETCH(int, row);
    QFETCH(int, marked);
    Register r;
    DBRadioGroup group;
    group.setItems({QStringLiteral("М"), QStringLiteral("Ж")});
    group.setValues(values);
    group.setDataSource(&r.studSource);
    group.setDataField(QStringLiteral("Sex"));
    r.stud.setRecNo(row);
    QCOMPARE(group.itemIndex(), marked);
    for (int i = 0; i < 2; ++i) QCOMPARE(group.button(i)->isChecked(), i == marked);
}

void TestFieldControls::radioGroupClickEditsAndWritesTheItemValue() {
    Register r;
    Window w;
    DBRadioGroup group(&w.widget);
    group.setTitle(QStringLiteral("Пол"));
    group.setItems({QStringLiteral("М"), QStringLiteral("Ж")});
    group.setDataSource(&r.studSource);
    group.setDataField(QStringLiteral("Sex"));
    group.resize(120, 80);
    w.show();
    r.stud.setRecNo(2);
    QCOMPARE(group.itemIndex(), -1);
    clickRadio(group.button(1));
    QCOMPARE(r.stud.state(), DatasetState::Edit);
    QCOMPARE(group.itemIndex(), 1);
    // Clicking the marked item again keeps it marked.
    clickRadio(group.button(1));
    QCOMPARE(group.itemIndex(), 1);
    r.stud.post();
    QCOMPARE(r.studColumn("103", "Sex"), QStringLiteral("Ж"));
}

void TestFieldControls::pickerKeyLocatesTheList() {
    FacultyPicker f;
    auto [r, w, picker] = f.parts();
    QCOMPARE(picker.displayText(), QString());
    picker.setKeyValue(3);
    QCOMPARE(r.fak.recNo(), 2);
    QCOMPARE(picker.displayText(), QStringLiteral("Юридический"));
    // The list dataset moving drags its details: the faculty's groups.
    QCOMPARE(r.grp.recordCount(), 1);
    picker.setKeyValue(QVariant());
    QCOMPARE(r.fak.recNo(), 2);
    QCOMPARE(picker.displayText(), QString());
    picker.setKeyValue(42);
    QCOMPARE(r.fak.recNo(), 2);
    QCOMPARE(picker.displayText(), QString());
}

void TestFieldControls::pickerUnboundRechoosingDoesNothing() {
    FacultyPicker f;
    auto [r, w, picker] = f.parts();
    w.show();
    int changes = 0;
    connect(&picker, &DBLookupComboBox::keyValueChanged, [&] { ++changes; });
    picker.setFocus();
    QTest::keyClick(&picker, Qt::Key_Down);
    QCOMPARE(picker.keyValue().toInt(), 1);
    QCOMPARE(changes, 1);
    picker.showPopup();
    auto* list = qobject_cast<QListView*>(picker.view());
    QVERIFY(list);
    QCOMPARE(list->currentIndex().row(), 0);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(changes, 1);
    QCOMPARE(picker.keyValue().toInt(), 1);
}

void TestFieldControls::pickerBoundFollowsTheRowAndWritesAtOnce() {
    Register r;
    Window w;
    DBLookupComboBox picker(&w.widget);
    Table allGroups;
    allGroups.setConnection(&r.db.connection());
    allGroups.setTableName(QStringLiteral("Grp"));
    allGroups.open();
    DataSource allSource;
    allSource.setDataset(&allGroups);
    picker.setListSource(&allSource);
    picker.setKeyField(QStringLiteral("ID_Group"));
    picker.setListField(QStringLiteral("Name"));
    picker.setDataSource(&r.studSource);
    picker.setDataField(QStringLiteral("ID_Group"));
    w.show();
    QCOMPARE(picker.displayText(), QStringLiteral("ЭК-11"));
    r.stud.next();
    QCOMPARE(allGroups.recNo(), 2);
    QCOMPARE(picker.displayText(), QStringLiteral("ФИ-21"));
    // Choosing the shown group again still puts the student into edit.
    picker.showPopup();
    QTest::keyClick(picker.view(), Qt::Key_Return);
    QCOMPARE(r.stud.state(), DatasetState::Edit);
    r.stud.cancel();
    picker.setFocus();
    QTest::keyClick(&picker, Qt::Key_Up);
    QCOMPARE(r.stud.fieldByName(QStringLiteral("ID_Group")).asInteger(), 2);
    QCOMPARE(picker.displayText(), QStringLiteral("ЭК-12"));
    r.stud.post();
    QCOMPARE(r.studColumn("102", "ID_Group"), QStringLiteral("2"));
}

void TestFieldControls::pickerReadOnlyIgnoresChoosing() {
    FacultyPicker f;
    auto [r, w, picker] = f.parts();
    picker.setReadOnly(true);
    picker.setKeyValue(2);
    w.show();
    picker.setFocus();
    typeText(&picker, QStringLiteral("Ю"));
    QTest::keyClick(&picker, Qt::Key_Down);
    QCOMPARE(picker.keyValue().toInt(), 2);
    QCOMPARE(picker.displayText(), QStringLiteral("Физический"));
}

void TestFieldControls::pickerOpeningLocatesTheCurrentEntry() {
    FacultyPicker f;
    auto [r, w, picker] = f.parts();
    w.show();
    r.fak.last();
    // No key: the list opens on its first row.
    picker.showPopup();
    QCOMPARE(r.fak.recNo(), 0);
    QCOMPARE(picker.view()->currentIndex().row(), 0);
    picker.hidePopup();
    picker.setKeyValue(2);
    r.fak.first();
    picker.showPopup();
    QCOMPARE(r.fak.recNo(), 1);
    QCOMPARE(picker.view()->currentIndex().row(), 1);
    // Moving through the open list moves the list dataset, without choosing.
    QTest::keyClick(picker.view(), Qt::Key_Down);
    QCOMPARE(r.fak.recNo(), 2);
    QCOMPARE(picker.keyValue().toInt(), 2);
    picker.hidePopup();
}

void TestFieldControls::pickerTypingSearchesByPrefix() {
    FacultyPicker f;
    auto [r, w, picker] = f.parts();
    w.show();
    picker.setFocus();
    typeText(&picker, QStringLiteral("фи"));
    QCOMPARE(picker.keyValue().toInt(), 2);
    QCOMPARE(picker.searchText(), QStringLiteral("фи"));
    // A character that finds nothing is dropped; the hit stays.
    typeText(&picker, QStringLiteral("q"));
    QCOMPARE(picker.searchText(), QStringLiteral("фи"));
    QCOMPARE(picker.keyValue().toInt(), 2);
    // After two idle seconds typing starts a new search.
    QTest::qWait(DBLookupComboBox::SearchResetMs + 100);
    typeText(&picker, QStringLiteral("Э"));
    QCOMPARE(picker.keyValue().toInt(), 1);
    QCOMPARE(picker.searchText(), QStringLiteral("Э"));
}

void TestFieldControls::pickerUpAndDownChooseNeighbours() {
    FacultyPicker f;
    auto [r, w, picker] = f.parts();
    picker.setKeyValue(2);
    w.show();
    picker.setFocus();
    QTest::keyClick(&picker, Qt::Key_Down);
    QCOMPARE(picker.keyValue().toInt(), 3);
    QTest::keyClick(&picker, Qt::Key_Down);
    QCOMPARE(picker.keyValue().toInt(), 3);
    QTest::keyClick(&picker, Qt::Key_Up);
    QTest::keyClick(&picker, Qt::Key_Up);
    QCOMPARE(picker.keyValue().toInt(), 1);
    QCOMPARE(r.fak.recNo(), 0);
}

void TestFieldControls::navigatorEnablesOnlyWhatCanAct() {
    Register r;
    DBNavigator nav;
    nav.setDataSource(&r.studSource);
    auto enabled = [&] {
        QString s;
        for (int i = 0; i < DBNavigator::ButtonCount; ++i)
            s += nav.button(DBNavigator::Button(i))->isEnabled() ? u'1' : u'0';
        return s;
    };
    // first prior next last insert delete edit post cancel refresh
    QCOMPARE(enabled(), QStringLiteral("0011111001"));
    r.stud.last();
    QCOMPARE(enabled(), QStringLiteral("1100111001"));
    r.stud.edit();
    QCOMPARE(enabled(), QStringLiteral("1100110110"));
    r.stud.cancel();
    r.stud.setFilterText(QStringLiteral("N = 'none'"));
    r.stud.setFiltered(true);
    QCOMPARE(enabled(), QStringLiteral("0000101001"));
    r.stud.close();
    QCOMPARE(enabled(), QStringLiteral("0000000000"));
    nav.setShowHint(true);
    QCOMPARE(nav.button(DBNavigator::Cancel)->toolTip(), QStringLiteral("отмена изменений"));
    QCOMPARE(nav.button(DBNavigator::Refresh)->accessibleName(),
             QStringLiteral("Обновить данные"));
}

void TestFieldControls::navigatorDeleteAsksFirst() {
    Register r;
    Window w;
    DBNavigator nav(&w.widget);
    nav.setDataSource(&r.studSource);
    nav.resize(300, 25);
    w.show();
    platform::MessageRecorder recorder;
    recorder.answer(platform::Answer::Cancel);
    QTest::mouseClick(nav.button(DBNavigator::Delete), Qt::LeftButton);
    QCOMPARE(recorder.texts(), QStringList{QStringLiteral("Delete record?")});
    QCOMPARE(r.db.scalar("SELECT count(*) FROM Stud").toInt(), 3);
    recorder.answer(platform::Answer::Ok);
    QTest::mouseClick(nav.button(DBNavigator::Delete), Qt::LeftButton);
    QCOMPARE(r.db.scalar("SELECT count(*) FROM Stud WHERE N = '101'").toInt(), 0);
    QCOMPARE(r.stud.fieldByName(QStringLiteral("N")).asString(), QStringLiteral("102"));
}

void TestFieldControls::labelShowsTheDisplayText() {
    Register r;
    DBText label;
    QCOMPARE(label.text(), QString());
    label.setDataSource(&r.studSource);
    label.setDataField(QStringLiteral("Birth"));
    QCOMPARE(label.text(), QStringLiteral("06.05.2004"));
    r.stud.next();
    QCOMPARE(label.text(), QString());
    label.setDataField(QString());
    r.stud.first();
    QCOMPARE(label.text(), QString());
}

QTEST_MAIN(TestFieldControls)
#include "tst_field_controls.moc"
