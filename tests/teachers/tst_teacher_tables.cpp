// The page of positions, titles and degrees: rows added or renamed there are
// what the card's pickers offer and show at once, and the keys the database
// gives cannot be typed over.
#include <QLineEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "Application.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBNavigator.h"
#include "DM_Tessaly.h"
#include "Dataset.h"
#include "GridModel.h"
#include "Messages.h"
#include "Prepod.h"
#include "References.h"
#include "ReleaseSplitter.h"
#include "TeachersFixture.h"
#include "TypeText.h"

namespace {

int columnOf(const DBGrid* grid, const QString& title) {
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (grid->model()->headerData(c, Qt::Horizontal).toString() == title) return c;
    return -1;
}

// Clicks a cell of the current row and types into it, as the user would.
void typeInto(DBGrid* grid, const QString& title, const QString& text) {
    const QModelIndex cell =
        grid->model()->index(grid->gridModel()->dataset()->recNo(), columnOf(grid, title));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
    for (const QChar c : text) typeText(grid->editor() ? grid->editor() : grid, QString(c));
}

void press(DBNavigator* navigator, DBNavigator::Button b) {
    QTest::mouseClick(navigator->button(b), Qt::LeftButton);
}

QStringList offered(const DBLookupComboBox* picker) {
    QStringList texts;
    for (int i = 0; i < picker->model()->rowCount(); ++i)
        texts << picker->model()->index(i, 0).data().toString();
    return texts;
}

}  // namespace

class TestTeacherTables : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::setApplicationTitle(applicationTitle()); }

    void gridsShowTheirTablesColumns_data();
    void gridsShowTheirTablesColumns();
    void titleAddedHereIsOfferedByTheCard();
    void renamingAPositionChangesThePickersText_data();
    void renamingAPositionChangesThePickersText();
    void keysCannotBeTyped_data();
    void keysCannotBeTyped();
    void bordersMoveWhenTheButtonIsReleased_data();
    void bordersMoveWhenTheButtonIsReleased();
};

void TestTeacherTables::gridsShowTheirTablesColumns_data() {
    QTest::addColumn<int>("table");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("Научные Звания") << 0 << QStringList{"Код", "Название"};
    QTest::newRow("Должности") << 1 << QStringList{"SNAME", "NAME", "ID_Dolgnost"};
    QTest::newRow("Научная Степень") << 2 << QStringList{"код", "Сокр. назв", "Название"};
}

void TestTeacherTables::gridsShowTheirTablesColumns() {
    QFETCH(int, table);
    QFETCH(QStringList, titles);
    TeachersFixture f;
    TPrep* w = f.openWindow();
    w->PageControl1->setCurrentIndex(1);
    const DBGrid* grids[] = {w->ZvanieGrid, w->DolgnostGrid, w->StepenGrid};
    const DBNavigator* navigators[] = {w->ZvanieNavigator, w->DolgnostNavigator,
                                       w->StepenNavigator};
    QStringList shown;
    for (int c = 0; c < grids[table]->model()->columnCount(); ++c)
        shown << grids[table]->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(shown, titles);
    // All ten buttons, their hints not shown.
    for (int b = 0; b < DBNavigator::ButtonCount; ++b) {
        QVERIFY(navigators[table]->button(DBNavigator::Button(b))->isVisible());
        QCOMPARE(navigators[table]->button(DBNavigator::Button(b))->toolTip(), QString());
    }
}

void TestTeacherTables::titleAddedHereIsOfferedByTheCard() {
    TeachersFixture f;
    TPrep* w = f.openWindow();
    platform::MessageRecorder messages;
    w->PageControl1->setCurrentIndex(1);
    press(w->ZvanieNavigator, DBNavigator::Insert);
    typeInto(w->ZvanieGrid, QStringLiteral("Название"), QStringLiteral("академик"));
    press(w->ZvanieNavigator, DBNavigator::Post);
    QCOMPARE(f.scalar("SELECT ID_Zvanie FROM N_Zvanie WHERE NAME = 'академик'").toInt(), 3);
    w->PageControl1->setCurrentIndex(0);
    QCOMPARE(offered(w->ZvaniePicker), (QStringList{"доцент", "профессор", "академик"}));
    // Chosen for the teacher at once.
    w->ZvaniePicker->setFocus();
    typeText(w->ZvaniePicker, QStringLiteral("ак"));
    QCOMPARE(w->ZvaniePicker->displayText(), QStringLiteral("академик"));
    press(w->DBNavigator1, DBNavigator::Post);
    QCOMPARE(f.scalar("SELECT \"Звание\" FROM Prepodavateli WHERE ID_Prepod = 3").toInt(), 3);
    QVERIFY(messages.texts().isEmpty());
}

void TestTeacherTables::renamingAPositionChangesThePickersText_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("shown");
    QTest::newRow("SNAME") << "SNAME"
                           << "доц. (в.н.с.)";
    QTest::newRow("NAME") << "NAME"
                          << "доц.";
}

void TestTeacherTables::renamingAPositionChangesThePickersText() {
    QFETCH(QString, column);
    QFETCH(QString, shown);
    TeachersFixture f;
    TPrep* w = f.openWindow();
    QCOMPARE(w->DolgnostPicker->displayText(), QStringLiteral("доц."));
    // The teacher's position is the current row of the positions.
    w->PageControl1->setCurrentIndex(1);
    QCOMPARE(DM->T_DolgnostSNAME->asString(), QStringLiteral("доц."));
    typeInto(w->DolgnostGrid, column, QStringLiteral("доц. (в.н.с.)"));
    press(w->DolgnostNavigator, DBNavigator::Post);
    QCOMPARE(DM->T_Dolgnost->state(), DatasetState::Browse);
    w->PageControl1->setCurrentIndex(0);
    QCOMPARE(w->DolgnostPicker->displayText(), shown);
    // Лебедев holds the same position.
    press(w->DBNavigator1, DBNavigator::Last);
    QCOMPARE(w->DolgnostPicker->displayText(), shown);
}

void TestTeacherTables::keysCannotBeTyped_data() {
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("given");
    QTest::newRow("Научные Звания") << 0 << "Код"
                                    << "Название" << 3;
    QTest::newRow("Должности") << 1 << "ID_Dolgnost"
                               << "NAME" << 4;
    QTest::newRow("Научная Степень") << 2 << "код"
                                     << "Название" << 3;
}

void TestTeacherTables::keysCannotBeTyped() {
    QFETCH(int, table);
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(int, given);
    TeachersFixture f;
    TPrep* w = f.openWindow();
    platform::MessageRecorder messages;
    w->PageControl1->setCurrentIndex(1);
    DBGrid* grids[] = {w->ZvanieGrid, w->DolgnostGrid, w->StepenGrid};
    DBNavigator* navigators[] = {w->ZvanieNavigator, w->DolgnostNavigator, w->StepenNavigator};
    DBGrid* grid = grids[table];
    Dataset* ds = grid->gridModel()->dataset();
    const QString before = grid->model()->index(0, columnOf(grid, key)).data().toString();
    typeInto(grid, key, QStringLiteral("77"));
    QCOMPARE(ds->state(), DatasetState::Browse);
    QCOMPARE(grid->model()->index(0, columnOf(grid, key)).data().toString(), before);
    // A new row is given its key by the database when it is stored.
    press(navigators[table], DBNavigator::Insert);
    typeInto(grid, key, QStringLiteral("77"));
    typeInto(grid, name, QStringLiteral("новая"));
    press(navigators[table], DBNavigator::Post);
    QCOMPARE(ds->state(), DatasetState::Browse);
    const int row = ds->recNo();
    QCOMPARE(grid->model()->index(row, columnOf(grid, key)).data().toInt(), given);
    QVERIFY(messages.texts().isEmpty());
}


void TestTeacherTables::bordersMoveWhenTheButtonIsReleased_data() {
    QTest::addColumn<int>("border");
    QTest::addColumn<bool>("lineWhileDragging");
    QTest::newRow("above the positions: nothing drawn") << 1 << false;
    QTest::newRow("above the degrees: a hatched line") << 2 << true;
}

void TestTeacherTables::bordersMoveWhenTheButtonIsReleased() {
    QFETCH(int, border);
    QFETCH(bool, lineWhileDragging);
    TeachersFixture f;
    TPrep* w = f.openWindow();
    w->PageControl1->setCurrentIndex(1);
    ReleaseSplitter* splitter = w->TablesSplitter;
    QSplitterHandle* handle = splitter->handle(border);
    QTRY_VERIFY(handle->isVisible());
    const QList<int> before = splitter->sizes();
    const QPoint grip = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(0, -30)),
                     handle->mapToGlobal(QPointF(grip + QPoint(0, -30))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    // Nothing moves while dragging.
    QCOMPARE(splitter->sizes(), before);
    QCOMPARE(splitter->dragLine() && splitter->dragLine()->isVisible(), lineWhileDragging);
    if (lineWhileDragging)
        QCOMPARE(splitter->dragLine()->mapTo(w, QPoint()).y(),
                 handle->mapTo(w, QPoint()).y() - 30);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(0, -30));
    QVERIFY(!splitter->dragLine() || !splitter->dragLine()->isVisible());
    QCOMPARE(splitter->count(), 3);
    const QList<int> after = splitter->sizes();
    QCOMPARE(after[border - 1], before[border - 1] - 30);
    QCOMPARE(after[border], before[border] + 30);
}

int main(int argc, char** argv) {
    TessalyApplication app(argc, argv);
    TestTeacherTables test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_teacher_tables.moc"
